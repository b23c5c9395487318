// Every answer against its command's length and layout, a second answer to one request, and the
// line's echo of the request, against a scripted link.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>

#include "link/vr7prot.h"
#include "tests/common/vr7wire.h"
#include "tests/link/support/prot_scriptlink.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace wire;

Bytes Frame7(uint8_t command, Bytes data) {
    return MakeFrame(7, command, data);
}
// The data of a whole frame.
Bytes DataOf(const Bytes& frame) {
    return Bytes(frame.begin() + kFrameHeader, frame.end() - kFrameCheckSize);
}
Bytes Shorter(const Bytes& frame) {
    Bytes data = DataOf(frame);
    data.pop_back();
    return Frame7(FrameCommand(frame.data()), data);
}
Bytes Longer(const Bytes& frame) {
    Bytes data = DataOf(frame);
    data.push_back(0);
    return Frame7(FrameCommand(frame.data()), data);
}
Bytes Empty(const Bytes& frame) {
    return Frame7(FrameCommand(frame.data()), {});
}

class AnswerCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto owned = std::make_unique<ProtScriptLink>();
        link = owned.get();
        conn.Timings = LinkTimings{}.Scaled(0.01);
        ASSERT_EQ(conn.SetLink(std::move(owned)), lr::Ok);
    }
    void Script(std::initializer_list<Bytes> answers, const Bytes& repeated = {}, int times = 0) {
        for (const Bytes& a : answers) link->answers.push_back({a});
        for (int i = 0; i < times; ++i) link->answers.push_back({repeated});
    }

    connection conn;
    ProtScriptLink* link = nullptr;
};

// Each command's answer, one fault at a time; the answers before it are the right ones. An answer
// that does not fit is garbled and asked for again as often as the command's attempts allow (a
// block read: once, then eight repeats); it is never read.
TEST_F(AnswerCheckTest, EveryCommandTakesOnlyAnAnswerOfItsOwnLengthAndLayout) {
    conn.Echo = LineEcho::Off;
    using Run = std::function<LinkResult(connection&)>;
    const Run identify = [](connection& c) {
        DeviceInfo info;
        return ReadDeviceInfo(c, 7, info);
    };
    const Run header = [](connection& c) {
        SConfigInfo h;
        return ReadConfigHeader(c, 7, h);
    };
    const Run entry = [](connection& c) {
        uint8_t e[kConfigEntrySize];
        return ReadConfigEntry(c, 7, 1, e, kConfigEntrySize, nullptr);
    };
    const Run download = [](connection& c) {
        std::ostringstream out;
        const LinkResult r = ReadDeviceFile(c, 7, &out, "a", nullptr);
        return r == lr::Ok && out.str() != "hi" ? lr::Incomplete : r;
    };
    const Run upload = [](connection& c) {
        std::istringstream in("xy");
        return WriteDeviceFile(c, 7, &in, "a", nullptr);
    };
    const Bytes headerWithCutText = Frame7(cmdReadHeader, {1, 0, 0, 0, 0, 0, 0, 0, 1, 'k', 0, 'i'});
    const Bytes headerWithTextAfter =
        Frame7(cmdReadHeader, {1, 0, 0, 0, 0, 0, 0, 0, 1, 'k', 0, 'i', 0, 'x'});
    struct Case {
        const char* name;
        const Run& run;
        std::initializer_list<Bytes> before;  // the right answers before the one under test
        Bytes answer;
        int attempts;
        LinkResult expected;
    };
    const Case cases[] = {
        {"identify short", identify, {}, Shorter(kIdentification), 3, lr::Garbled},
        {"identify long", identify, {}, Longer(kIdentification), 3, lr::Garbled},
        {"identify empty (its own request)", identify, {}, Empty(kIdentification), 3, lr::Garbled},
        {"identify, header's answer", identify, {}, kHeader, 3, lr::Garbled},
        {"header short", header, {}, Frame7(cmdReadHeader, Bytes(7, 0)), 3, lr::Garbled},
        {"header text cut", header, {}, headerWithCutText, 3, lr::Garbled},
        {"header long", header, {}, Longer(kHeader), 3, lr::Garbled},
        {"header text after its systems", header, {}, headerWithTextAfter, 3, lr::Garbled},
        {"header empty", header, {}, Empty(kHeader), 3, lr::Garbled},
        {"header, identification", header, {}, kIdentification, 3, lr::Garbled},
        {"header of its 8 bytes alone", header, {}, Frame7(cmdReadHeader, Bytes(8, 0)), 1, 0},
        {"entry short", entry, {}, Shorter(kEntry1), 3, lr::Garbled},
        {"entry long", entry, {}, Longer(kEntry1), 3, lr::Garbled},
        {"entry empty", entry, {}, Empty(kEntry1), 3, lr::Garbled},
        {"entry, identification", entry, {}, kIdentification, 3, lr::Garbled},
        {"entry refused", entry, {}, kNoSuchEntry, 1, 3},
        {"open for reading short", download, {}, Shorter(kFileSize2), 1, lr::Garbled},
        {"open for reading long", download, {}, Longer(kFileSize2), 1, lr::Garbled},
        {"open for reading empty", download, {}, Empty(kFileSize2), 1, lr::Garbled},
        {"open for reading, identification", download, {}, kIdentification, 1, lr::Garbled},
        {"open for writing short", upload, {}, Frame7(cmdOpenFile, {0, 0, 0}), 1, lr::Garbled},
        {"open for writing, its own request", upload, {}, kOpenAForWrite, 1, lr::Garbled},
        {"open for writing, identification", upload, {}, kIdentification, 1, lr::Garbled},
        {"block short", download, {kFileSize2}, Frame7(cmdReadBlock, {2, 0, 0}), 9, lr::Garbled},
        {"block empty", download, {kFileSize2}, Empty(kBlockHi), 9, lr::Garbled},
        {"block, identification", download, {kFileSize2}, kIdentification, 9, lr::Garbled},
        {"block written short", upload, {kReadyForFile}, Empty(kAckBlock), 1, lr::Garbled},
        {"block written long", upload, {kReadyForFile}, Longer(kAckBlock), 1, lr::Garbled},
        {"block written, identification", upload, {kReadyForFile}, kIdentification, 1, lr::Garbled},
        {"closing block long",
         upload,
         {kReadyForFile, kAckBlock},
         Longer(kAckBlock),
         1,
         lr::Garbled},
        {"closing block, identification",
         upload,
         {kReadyForFile, kAckBlock},
         kIdentification,
         1,
         lr::Garbled},
        {"closing block acknowledged by its own request",
         upload,
         {kReadyForFile, kAckBlock},
         kWriteEnd,
         1,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link->answers.clear();
        link->writes.clear();
        Script(c.before, c.answer, c.attempts);
        EXPECT_EQ(c.run(conn), c.expected);
        EXPECT_EQ(link->writes.size(), c.before.size() + static_cast<size_t>(c.attempts));
    }
}

// Two answers to one request: two devices of one number, or a line that repeats answers.
TEST_F(AnswerCheckTest, ASecondWholeAnswerFailsTheExchangeAndIsNeverTakenForTheNext) {
    conn.Echo = LineEcho::Off;
    Bytes twice = kIdentification;
    twice.insert(twice.end(), kIdentification.begin(), kIdentification.end());
    struct Case {
        const char* name;
        Bytes first;        // the answer to the first request (a header read)
        LinkResult second;  // what the entry read after it gives
    };
    Bytes headerTwice = kHeader;
    headerTwice.insert(headerTwice.end(), kHeader.begin(), kHeader.end());
    Bytes headerAndNoise = kHeader;
    headerAndNoise.insert(headerAndNoise.end(), {0xEE, 0xEE, 0xEE});
    Bytes headerAndCut = kHeader;
    headerAndCut.insert(headerAndCut.end(), kHeader.begin(), kHeader.end() - 1);
    const Case cases[] = {
        {"the header twice", headerTwice, lr::TwoAnswers},
        {"stray bytes after it", headerAndNoise, lr::Ok},
        {"a second answer cut short", headerAndCut, lr::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link->answers.clear();
        link->writes.clear();
        Script({c.first, kEntry1});
        SConfigInfo header;
        ASSERT_EQ(ReadConfigHeader(conn, 7, header), lr::Ok);
        uint8_t entry[kConfigEntrySize] = {};
        EXPECT_EQ(ReadConfigEntry(conn, 7, 1, entry, kConfigEntrySize, nullptr), c.second);
        // The entry's request never went out after a second answer.
        EXPECT_EQ(link->writes.size(), c.second == lr::Ok ? 2u : 1u);
    }
    // The identification listens for a second answer itself: the number it finds must be one
    // device's.
    link->answers.clear();
    Script({twice});
    DeviceInfo info;
    EXPECT_EQ(ReadDeviceInfo(conn, 7, info), lr::TwoAnswers);
    EXPECT_EQ(conn.LastFailedExchange(), lr::TwoAnswers);
}

// The echo setting against a line that hands the request back and one that does not.
TEST_F(AnswerCheckTest, EchoIsDroppedWhereTheLineHasItAndMissingEchoIsALineFault) {
    auto echoed = [](const Bytes& request, const Bytes& answer) {
        Bytes bytes = request;
        bytes.insert(bytes.end(), answer.begin(), answer.end());
        return bytes;
    };
    struct Case {
        const char* name;
        LineEcho setting;
        bool lineEchoes;
        LinkResult identified;
        LinkResult headerRead;
        bool found;
    };
    const Case cases[] = {
        {"auto, echo", LineEcho::Auto, true, lr::Ok, lr::Ok, true},
        {"auto, none", LineEcho::Auto, false, lr::Ok, lr::Ok, false},
        {"on, echo", LineEcho::On, true, lr::Ok, lr::Ok, true},
        {"off, none", LineEcho::Off, false, lr::Ok, lr::Ok, false},
        {"on, none", LineEcho::On, false, lr::NoEcho, lr::NoEcho, true},
        {"off, echo: the request taken for the answer", LineEcho::Off, true, lr::Garbled,
         lr::Garbled, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        conn.Echo = c.setting;
        auto owned = std::make_unique<ProtScriptLink>();
        link = owned.get();
        ASSERT_EQ(conn.SetLink(std::move(owned)), lr::Ok);
        // A garbled answer is asked for three times; a missing echo ends the exchange at once.
        const int sendings = c.identified == lr::Garbled ? 3 : 1;
        for (int i = 0; i < sendings; ++i)
            link->answers.push_back(
                {c.lineEchoes ? echoed(kIdentify, kIdentification) : kIdentification});
        for (int i = 0; i < sendings; ++i)
            link->answers.push_back({c.lineEchoes ? echoed(kReadHeader, kHeader) : kHeader});
        std::vector<FrameWay> ways;
        conn.Trace = [&ways](FrameWay way, const uint8_t*, int) { ways.push_back(way); };
        DeviceInfo info;
        EXPECT_EQ(ReadDeviceInfo(conn, 7, info), c.identified);
        if (c.identified == lr::Ok) {
            EXPECT_EQ(info.DeviceNumber(), 7u);
        }
        SConfigInfo header;
        EXPECT_EQ(ReadConfigHeader(conn, 7, header), c.headerRead);
        EXPECT_EQ(conn.EchoFound(), c.found);
        conn.Trace = nullptr;
        if (c.found && c.lineEchoes) {
            ASSERT_GE(ways.size(), 3u);
            EXPECT_EQ(ways[0], FrameWay::Sent);
            EXPECT_EQ(ways[1], FrameWay::Echo);
            EXPECT_EQ(ways[2], FrameWay::Received);
        }
    }
}

}  // namespace
