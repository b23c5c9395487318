// vr7lon's commands that need no device, on the demo data.
#include <filesystem>

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "cli/exitstatus.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"
#include "tests/cli/support/clitest.h"

namespace {

namespace fs = std::filesystem;

// Every test runs in a folder of its own holding the demo catalogue as "calcbank.xml", as a
// user's working directory would.
class Offline : public ::testing::Test {
  protected:
    Offline() { fs::copy_file(kDemoCatalogue, dir / "calcbank.xml"); }
    CliResult Run(const std::vector<std::string>& args) { return RunCli(args, dir.Path()); }

    TempDir dir;
    WorkingDirectory cwd{dir.Path()};
};

TEST_F(Offline, TreePrintsTheFolderAsTheWindowBuildsIt) {
    const CliResult r = Run({"tree", kDemoFolder});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1u + 3u + 26u);
    EXPECT_EQ(lines[0], "VR7 №12\timage=0");
    EXPECT_EQ(lines[1], "  Система №1 : Котельная\timage=7");
    EXPECT_EQ(lines[2], "    t1\timage=6");
    EXPECT_EQ(lines[13], "  Система №2 : Горячее водоснабжение\timage=7");
    EXPECT_EQ(lines[16], "    тхв\timage=6");  // written "ТХВ" in its system file
}

TEST_F(Offline, TreeTakesTheNumberFromTheOptionAndFindsConfigInAnyCase) {
    // A copy whose path has no "vr7_" and whose CONFIG folder is spelled in lower case.
    fs::create_directories(dir / "plant/config");
    fs::copy(kDemoFolder + "/CONFIG", dir / "plant/config", fs::copy_options::recursive);
    CliResult r = Run({"tree", dir / "plant"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(U(usertext::NoConfiguration())), std::string::npos) << r.err;

    r = Run({"tree", dir / "plant", "--number", "4294967295"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(Lines(r.out).at(0), "VR7 №4294967295\timage=0");

    // Digits after "VR7_" in any case, wrapping modulo 2^32 like the window's number.
    fs::copy(dir / "plant", dir / "Site_VR7_4294967297x", fs::copy_options::recursive);
    r = Run({"tree", dir / "Site_VR7_4294967297x"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(Lines(r.out).at(0), "VR7 №1\timage=0");

    // A folder named relative to the working directory is the folder the window would pick.
    fs::copy(dir / "plant", dir / "vr7_7", fs::copy_options::recursive);
    {
        WorkingDirectory inside(dir / "vr7_7");
        r = Run({"tree", ".", "--catalog", dir / "calcbank.xml"});
    }
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(Lines(r.out).at(0), "VR7 №7\timage=0");
}

TEST_F(Offline, TreeFailuresHaveTheirStatuses) {
    // A system file that cannot be read: what was built is printed, with status 1.
    fs::copy(kDemoFolder, dir / "vr7_5", fs::copy_options::recursive);
    fs::remove(dir / "vr7_5/CONFIG/gvs.xms");
    CliResult r = Run({"tree", dir / "vr7_5"});
    EXPECT_EQ(r.status, exitstatus::Partial);
    EXPECT_EQ(Lines(r.out).at(0), "VR7 №5\timage=0");
    EXPECT_NE(r.err, "");

    // main.xmc that cannot be loaded: the library's text, nothing printed, status 2.
    fs::remove(dir / "vr7_5/CONFIG/main.xmc");
    r = Run({"tree", dir / "vr7_5"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("vr7_5"), std::string::npos) << r.err;

    // A catalogue that cannot be loaded.
    r = Run({"tree", kDemoFolder, "--catalog", dir / "none.xml"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("none.xml"), std::string::npos) << r.err;
}

TEST_F(Offline, ListPrintsTheRowsAndTheCounters) {
    const CliResult r = Run({"list", kDemoSettings});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "1t1\t40001\tF\t105\t°C");
    EXPECT_EQ(lines[2], "1q1\t40005\tF\t28\tкВт\t1q1f\t40007\tB\t83");
    EXPECT_EQ(lines[8], U(usertext::Counters(62, 11, 51)));
}

TEST_F(Offline, ListFailures) {
    CliResult r = Run({"list", dir / "missing.cfg"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_NE(r.err.find("No such file"), std::string::npos) << r.err;
    r = Run({"list", dir.Path()});
    EXPECT_EQ(r.status, exitstatus::Input);
}

TEST_F(Offline, ListWithACatalogueWithoutCapacityPrintsTheListAsTheWindowShowsIt) {
    // A capacity that is not a number, and none at all: the message, then capacity 0.
    dir.Write("bad.xml", "<calcbank><LonCfg size=\"many\"/></calcbank>");
    dir.Write("none.xml", "<calcbank/>");
    for (const char* name : {"bad.xml", "none.xml"}) {
        SCOPED_TRACE(name);
        const CliResult r = Run({"list", kDemoSettings, "--catalog", dir / name});
        EXPECT_EQ(r.status, exitstatus::Input);
        EXPECT_EQ(r.err.rfind("vr7lon: catalogue " + (dir / name) + ": '", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("' is not a valid integer value\n"), std::string::npos) << r.err;
        const auto lines = Lines(r.out);
        ASSERT_EQ(lines.size(), 9u);
        EXPECT_EQ(lines[0], "1t1\t40001\tF\t105\t°C");
        EXPECT_EQ(lines[8], U(usertext::Counters(0, 11, -11)));
    }
}

TEST_F(Offline, BuildWritesWhatSaveToDiskWrites) {
    const CliResult r = Run({"build", "--out", dir / "out.cfg", "1:t1", "2:тхв", "1:q1"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string expected = "F 40001 105" + std::string(19, ' ') + " 1t1 " + W("°C") + "\r\n" +
                                 "F 40003 105" + std::string(19, ' ') + " 2" + W("тхв °C") +
                                 "\r\n" + "F 40005 28" + std::string(20, ' ') + " 1q1 " + W("кВт") +
                                 "\r\n" + "B 40007 83" + std::string(20, ' ') + " 1q1f\r\n";
    EXPECT_EQ(ReadBytes(dir / "out.cfg"), expected);
}

TEST_F(Offline, BuildFromAFileRenumbersAndReportsWhatWasLeftOut) {
    const CliResult r = Run(
        {"build", "--out", dir / "out.cfg", "--from", kDemoSettings, "1:t1", "3:q1", "1:nosuch"});
    EXPECT_EQ(r.status, exitstatus::Refused);
    EXPECT_NE(r.err.find("1:t1: already in the list"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1:nosuch: not a variable"), std::string::npos) << r.err;

    // The file holds the demo rows and 3q1, as the window would save that list.
    XmlDocument catalogue(kDemoCatalogue);
    EXPECT_TRUE(catalogue.Load().ok());
    SnvtList list(catalogue);
    list.SetMaxVariables(62);
    EXPECT_TRUE(LoadGatewayFile(list, kDemoFolder + "/CONFIG/").ok());
    ASSERT_EQ(list.AddVariable(-1, "q1", 3), SnvtList::AddResult::Added);
    ASSERT_TRUE(SaveGatewayFile(list, dir / "expected.cfg").ok());
    EXPECT_EQ(ReadBytes(dir / "out.cfg"), ReadBytes(dir / "expected.cfg"));
}

TEST_F(Offline, BuildTakesWhatADoubleClickOnTheTreeTakes) {
    // Names as the tree shows them (lower-cased); system 0 has no folder, so no node to take.
    const CliResult r = Run({"build", "--out", dir / "out.cfg", "0:t1", "1:T1"});
    EXPECT_EQ(r.status, exitstatus::Refused);
    EXPECT_EQ(r.err, "vr7lon: 0:t1: not a tree node the list may take\n");
    EXPECT_EQ(ReadBytes(dir / "out.cfg"),
              "F 40001 105" + std::string(19, ' ') + " 1t1 " + W("°C") + "\r\n");
}

TEST_F(Offline, BuildBeyondTheCapacityShowsTheWindowsMessageAndKeepsWhatFits) {
    std::vector<std::string> args = {"build", "--out", dir / "out.cfg"};
    for (int system = 1; system <= 63; ++system) args.push_back(std::to_string(system) + ":t1");
    const CliResult r = Run(args);
    EXPECT_EQ(r.status, exitstatus::Refused);
    EXPECT_EQ(r.err, "vr7lon: 63:t1: " + U(usertext::NoRoom(1)) + "\n");
    EXPECT_EQ(Lines(ReadBytes(dir / "out.cfg")).size(), 62u);
}

TEST_F(Offline, BuildFailures) {
    // Nothing added: an empty list is never written.
    CliResult r = Run({"build", "--out", dir / "out.cfg", "1:nosuch"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_NE(r.err.find(U(usertext::EmptyList())), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.cfg"));
    // An output that cannot be written.
    r = Run({"build", "--out", dir / "no/such/folder.cfg", "1:t1"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_NE(r.err.find("folder.cfg"), std::string::npos) << r.err;
    // A --from file that cannot be read.
    r = Run({"build", "--out", dir / "out.cfg", "--from", dir / "missing.cfg", "1:t1"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_FALSE(fs::exists(dir / "out.cfg"));
}

TEST_F(Offline, WrongUsageGivesTheUsageStatusAndHelpGivesTheUsage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"frobnicate"},
             {"tree"},
             {"tree", "a", "b"},
             {"tree", kDemoFolder, "--number", "-1"},
             {"tree", kDemoFolder, "--bogus"},
             {"list"},
             {"build", "1:t1"},
             {"build", "--out", "x.cfg", "t1"},
             {"build", "--out", "x.cfg", "256:t1"},
             {"build", "--out"},
             {"device"},
             {"device", "blink"},
             {"device", "--tcp-port", "70000", "--ip", "127.0.0.1", "info"},
             {"device", "--ip", "127.0.0.1", "--number", "x", "info"},
             {"device", "--ip", "127.0.0.1", "get", "onlyname"},
         }) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, exitstatus::Usage) << ::testing::PrintToString(args);
        EXPECT_NE(r.err.find("usage: vr7lon"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help"},
             {"tree", "--help"},
             {"list", "--help"},
             {"build", "--help"},
             {"device", "--help"},
             {"device", "info", "--help"},
             {"device", "tree", "--help"},
             {"device", "get", "--help"},
             {"device", "put", "--help"},
             {"device", "read", "--help"},
             {"device", "store", "--help"},
         }) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, exitstatus::Ok) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out.rfind("usage: vr7lon", 0), 0u) << ::testing::PrintToString(args);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(fs::exists("x.cfg"));
}

}  // namespace
