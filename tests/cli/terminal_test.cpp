// Text vr7lon prints for people shows control characters as escapes, by one rule; --json keeps
// the bytes. The rule itself, then printouts of text from a device and from a plan.
#include <sstream>

#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "cli/terminaltext.h"
#include "tests/cli/support/clitest.h"

namespace {

const std::string kTitle = "\x1B]0;pwned\x07";  // sets a terminal's title
const std::string kTitleShown = "\\e]0;pwned\\a";

TEST(TerminalText, ShowsEveryControlCharacterAndTheBackslash) {
    const struct {
        std::string utf8, shown;
    } cases[] = {
        {"Тв °C", "Тв °C"},
        {kTitle, kTitleShown},
        {"\a\b\t\n\v\f\r\\", "\\a\\b\\t\\n\\v\\f\\r\\\\"},
        {std::string("\0\x1F\x7F", 3), "\\x00\\x1F\\x7F"},
        {"\xC2\x9B"
         "1m\xC2\xA0\xC2",
         "\\u009B1m\xC2\xA0\xC2"},  // C1 CSI; no-break space
    };
    for (const auto& c : cases) EXPECT_EQ(terminaltext::Shown(c.utf8), c.shown) << c.shown;
    EXPECT_EQ(terminaltext::ShownCp1251("\xD2\xE2\x1B\x9B"), "Тв\\e›");  // no C1 in Windows-1251

    // The error stream keeps its own layout, and a C1 control split between writes is one.
    std::ostringstream target;
    {
        ShownStreamBuf shown(target.rdbuf());
        std::ostream(&shown) << "\r[#] 5%\tx\n" << kTitle << "\xC2" << std::flush << "\x9B\xC2";
    }
    EXPECT_EQ(target.str(), "\r[#] 5%\tx\n" + kTitleShown + "\\u009B\xC2");
}

class TerminalCli : public DeviceCliTest {};

TEST_P(TerminalCli, ACaptionFromTheDeviceIsShownAndJsonKeepsIt) {
    SimDevice device = SimDeviceFixture::DemoDevice();
    device.systems.at(0).name = kTitle;
    sim.Start(device);
    CliResult r = Device({"--number", "12", "tree"});
    EXPECT_NE(r.out.find("Система №1 " + kTitleShown + "\t"), std::string::npos) << r.out;
    r = Device({"--number", "12", "tree", "--json"});
    EXPECT_NE(r.out.find("\\u001b]0;pwned\\u0007"), std::string::npos) << r.out;

    // A plan's cell, in the fleet's table.
    work.Write("plan.csv", "name,port,number\nx," + work / kTitle + ",1\n");
    r = RunCli({"fleet", work / "plan.csv", "info"}, programDir.Path());
    EXPECT_NE(r.out.find(work / kTitleShown), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1B'), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Transports, TerminalCli, ::testing::Values(Transport::Tcp, Transport::Pty),
                         TransportParamName);

}  // namespace
