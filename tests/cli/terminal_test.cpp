// Text vr7lon prints for people shows control characters as escapes, by one rule; --json keeps
// the bytes. The rule itself, then the printouts that take text from a device, a file or a plan.
#include <sstream>

#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "cli/terminaltext.h"
#include "tests/cli/support/clitest.h"
#include "tests/common/jsonreader.h"

namespace {

const std::string kTitle = "\x1B]0;pwned\x07";  // sets a terminal's title
const std::string kTitleShown = "\\e]0;pwned\\a";

TEST(TerminalText, ShowsEveryControlCharacterAndTheBackslash) {
    const struct {
        std::string utf8, shown;
    } cases[] = {
        {"plain Тв °C", "plain Тв °C"},
        {kTitle, kTitleShown},
        {"\a\b\t\n\v\f\r\x1B", "\\a\\b\\t\\n\\v\\f\\r\\e"},
        {std::string("\0\x01\x1F\x7F", 4), "\\x00\\x01\\x1F\\x7F"},
        {"a\\e", "a\\\\e"},
        {"\xC2\x9B"
         "31m",
         "\\u009B31m"},                    // C1 CSI in UTF-8
        {"\xC2\xA0\xC2", "\xC2\xA0\xC2"},  // no-break space; a lone lead byte is no control
    };
    for (const auto& c : cases) EXPECT_EQ(terminaltext::Shown(c.utf8), c.shown) << c.shown;
    // Windows-1251 text: its upper half is letters, never C1.
    EXPECT_EQ(terminaltext::ShownCp1251("\xD2\xE2\x1B\x9B"), "Тв\\e›");
}

TEST(TerminalText, ErrorStreamKeepsItsLayoutAndJoinsSplitCharacters) {
    std::ostringstream target;
    {
        ShownStreamBuf shown(target.rdbuf());
        std::ostream err(&shown);
        err << "\r[##  ] 50%\tline\n" << kTitle << "\xC2";
        err << "\x9B"
            << "x\xC2" << std::flush;
        err << "\xA0";
    }
    EXPECT_EQ(target.str(), "\r[##  ] 50%\tline\n" + kTitleShown + "\\u009Bx\xC2\xA0");
}

class TerminalCli : public DeviceCliTest {};

TEST_P(TerminalCli, DeviceTreeShowsACaptionsEscapesAndJsonKeepsThem) {
    SimDevice device = SimDeviceFixture::DemoDevice();
    ASSERT_FALSE(device.systems.empty());
    device.systems[0].name = kTitle;
    sim.Start(device);

    CliResult r = Device({"--number", "12", "tree"});
    ASSERT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out.find('\x1B'), std::string::npos);
    EXPECT_NE(r.out.find(kTitleShown), std::string::npos) << r.out;

    r = Device({"--number", "12", "tree", "--json"});
    ASSERT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_NE(r.out.find("\\u001b]0;pwned\\u0007"), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Transports, TerminalCli, ::testing::Values(Transport::Tcp, Transport::Pty),
                         TransportParamName);

// A file's names and a plan's cells, in the printouts that show them.
TEST(TerminalCliOffline, ListDiffAndFleetTableShowControlCharacters) {
    TempDir dir;
    WorkingDirectory cwd{dir.Path()};
    std::filesystem::copy_file(kDemoCatalogue, dir / "calcbank.xml");
    const std::string demo = ReadBytes(kDemoSettings);
    std::string renamed = demo;
    renamed.replace(demo.find("1t1"), 3, "\x1B[J");  // clears the screen below
    const std::string file = dir.Write("renamed.cfg", renamed);
    dir.Write("plan.csv", "name,port,number\nx," + dir.Path() + "none" + kTitle + ",1\n");

    const struct {
        std::vector<std::string> args;
        std::string shown;
    } cases[] = {
        {{"list", file}, "\\e[J\t"},
        {{"diff", kDemoSettings, file}, "added \\e[J at row 1"},
        {{"fleet", "plan.csv", "info"}, "none" + kTitleShown},
    };
    for (const auto& c : cases) {
        const CliResult r = RunCli(c.args, dir.Path());
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << c.args[0] << "\n" << r.out;
        EXPECT_EQ(r.out.find('\x1B'), std::string::npos) << c.args[0];
        EXPECT_EQ(r.err.find('\x1B'), std::string::npos) << c.args[0];
    }
}

}  // namespace
