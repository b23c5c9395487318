// vr7sim's --fault: every kind and place by name, and what it refuses.
#include <gtest/gtest.h>

#include <string>

#include "link/vr7frame.h"
#include "sim/simfault.h"

namespace {

TEST(SimFaultParse, KindsPlacesAndSettings) {
    const struct {
        const char* text;
        SimFaultKind kind;
        int command, value, skip, times;
    } cases[] = {
        {"silent", SimFaultKind::Silent, -1, 0, 0, -1},
        {"garbage,at=tree,value=40", SimFaultKind::Garbage, cmdReadEntry, 40, 0, -1},
        {"badcheck,at=download,skip=1,times=2", SimFaultKind::BadCheck, cmdReadBlock, 0, 1, 2},
        {"wrongcommand,at=upload", SimFaultKind::WrongCommand, cmdWriteBlock, 0, 0, -1},
        {"refuse,at=open,value=0x15", SimFaultKind::Refuse, cmdOpenFile, 0x15, 0, -1},
        {"close,at=identify", SimFaultKind::Close, cmdIdentify, 0, 0, -1},
        {"trickle,at=header,value=1500", SimFaultKind::Trickle, cmdReadHeader, 1500, 0, -1},
        {"endless,at=download", SimFaultKind::EndlessFile, cmdReadBlock, 0, 0, -1},
        {"stuck,at=0x06", SimFaultKind::StuckPosition, cmdReadBlock, 0, 0, -1},
        {"wrongsize,at=open,value=5000", SimFaultKind::WrongSize, cmdOpenFile, 5000, 0, -1},
        {"delay,at=tree,value=300", SimFaultKind::Delay, cmdReadEntry, 300, 0, -1},
        // late is for one request unless times says more
        {"late,at=upload,skip=3,value=300", SimFaultKind::Late, cmdWriteBlock, 300, 3, 1},
        {"late,at=download,value=50,times=2", SimFaultKind::Late, cmdReadBlock, 50, 0, 2},
        {"late,times=-1", SimFaultKind::Late, -1, 0, 0, -1},
        {"dup,at=tree,skip=2", SimFaultKind::Duplicate, cmdReadEntry, 0, 2, -1},
    };
    for (const auto& c : cases) {
        SimFault f;
        std::string error;
        ASSERT_TRUE(ParseSimFault(c.text, f, &error)) << c.text << ": " << error;
        EXPECT_EQ(f.kind, c.kind) << c.text;
        EXPECT_EQ(f.command, c.command) << c.text;
        EXPECT_EQ(f.value, c.value) << c.text;
        EXPECT_EQ(f.skip, c.skip) << c.text;
        EXPECT_EQ(f.times, c.times) << c.text;
        EXPECT_EQ(f.entry, -1) << c.text;
    }
    for (const char* bad : {"", "loud", "silent,at=nowhere", "silent,value=x", "silent,skip=-1",
                            "silent,colour=red", "silent,at=0x100"}) {
        SimFault f;
        std::string error;
        EXPECT_FALSE(ParseSimFault(bad, f, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(SimFaultParse, HelpNamesEveryKindAndPlace) {
    const std::string help = SimFaultHelp();
    for (const char* word :
         {"silent",  "garbage", "badcheck",  "wrongcommand", "refuse", "close",    "trickle",
          "endless", "stuck",   "wrongsize", "cut",          "short",  "long",     "oversize",
          "noack",   "delay",   "late",      "dup",          "tree",   "download", "upload"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

}  // namespace
