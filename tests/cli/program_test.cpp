// The vr7lon program as people run it: a process of its own, its output through pipes.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "tests/cli/support/clitest.h"

namespace {

namespace fs = std::filesystem;

TEST(Program, HelpUsageAndTheTreeOfTheDemoFolder) {
    TempDir work;
    fs::copy_file(kDemoCatalogue, work / "calcbank.xml");

    CliResult r = RunProgram({"--help"}, work.Path());
    EXPECT_EQ(r.status, exitstatus::Ok);
    EXPECT_EQ(r.out.rfind("usage: vr7lon COMMAND", 0), 0u) << r.out;

    r = RunProgram({}, work.Path());
    EXPECT_EQ(r.status, exitstatus::Usage);
    EXPECT_EQ(r.out, "");

    // The catalogue of the working directory; the same text as the entry function gives.
    r = RunProgram({"tree", kDemoFolder}, work.Path());
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    const CliResult inProcess = [&] {
        WorkingDirectory cwd(work.Path());
        return RunCli({"tree", kDemoFolder}, work.Path());
    }();
    EXPECT_EQ(r.out, inProcess.out);
    EXPECT_EQ(Lines(r.out).at(0), "VR7 №12\timage=0");

    r = RunProgram({"tree", work.Path()}, work.Path());
    EXPECT_EQ(r.status, exitstatus::Input);
}

// Output that cannot be written (a full disk, stdout closed) is said on stderr, status 2.
TEST(Program, AnOutputThatCannotBeWrittenIsSaid) {
    TempDir work;
    const struct {
        const char* redirect;
        std::string err;
    } cases[] = {
        {">/dev/full", "vr7lon: the output could not be written: No space left on device\n"},
        {">&-", "vr7lon: the output could not be written: Bad file descriptor\n"},
    };
    for (const auto& c : cases) {
        const std::string command = "'" + std::string(kProgram) + "' --help " + c.redirect +
                                    " 2>'" + (work / "err.txt") + "'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << c.redirect;
        EXPECT_EQ(WEXITSTATUS(status), exitstatus::Input) << c.redirect;
        EXPECT_EQ(ReadBytes(work / "err.txt"), c.err) << c.redirect;
    }
}

TEST(Program, TalksToTheDeviceAndTracesOnStderr) {
    TempDir work;
    SimDeviceFixture sim(Transport::Tcp);
    sim.Start(SimDeviceFixture::DemoDevice());
    CliResult r = RunProgram(
        sim.DeviceArgs({"--number", "12", "--trace", "get", "duxgate.cfg", work / "got.cfg"}),
        work.Path());
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(ReadBytes(work / "got.cfg"), ReadBytes(kDemoSettings));
    // Only trace lines: a pipe gets no progress bar.
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    for (const std::string& line : Lines(r.err)) EXPECT_NE(line.find(" ms "), std::string::npos);
    EXPECT_GE(Lines(r.err).size(), 6u);

    sim.server->Stop();
    r = RunProgram(sim.DeviceArgs({"--number", "12", "info"}), work.Path());
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_NE(r.err.find(U(usertext::NotConnected())), std::string::npos) << r.err;
}

TEST(Program, TheWindowsSettingsBesideTheProgramAreUsed) {
    // A copy of the program in a folder of its own, with the window's settings beside it.
    TempDir install, work;
    fs::copy_file(kProgram, install / "vr7lon");
    SimDeviceFixture sim(Transport::Tcp);
    sim.Start(SimDeviceFixture::DemoDevice());
    install.Write("Vr7LonCfgMaker.ini", "[CONNECTION]\r\nport=TCP/IP\r\nTCPIPport=" +
                                            std::to_string(sim.server->TcpPort()) +
                                            "\r\ndev_nom=12\r\n");
    const CliResult r =
        RunProgram({"device", "--ip", "127.0.0.1", "info"}, work.Path(), install / "vr7lon");
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, "version 2.1.32\nnumber 12\n");
}

}  // namespace
