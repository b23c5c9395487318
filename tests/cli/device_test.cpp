// vr7lon's device commands against the simulated device over TCP on 127.0.0.1 and a pty.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "cli/exitstatus.h"
#include "cli/frametrace.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
#include "link/vr7prot.h"
#include "optlist/xmldocument.h"
#include "tests/cli/support/clitest.h"

namespace {

namespace fs = std::filesystem;

const std::string kNotConnected = U(usertext::NotConnected());
// The cause the window's status bar shows, after the messages of a read that broke on an answer
// with wrong check bytes.
const std::string kBadCheckCause = "vr7lon: " + U(usertext::BadCheckCause(12)) + "\n";

// text up to and with the first c: a text whose end depends on the transport's timings.
std::string UpTo(const std::string& text, char c) {
    return text.substr(0, text.find(c) + 1);
}

class DeviceCli : public DeviceCliTest {};

TEST_P(DeviceCli, InfoIdentifiesTheDevice) {
    sim.Start(SimDeviceFixture::DemoDevice());
    for (const char* number : {"12", "0"}) {
        const CliResult r = Device({"--number", number, "info"});
        EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
        EXPECT_EQ(r.out, "version 2.1.32\nnumber 12\n");
        EXPECT_EQ(r.err, "");
    }
    // Nobody answers to another number.
    const CliResult r = Device({"--number", "13", "info"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(kNotConnected + " (result 10"), std::string::npos) << r.err;
}

TEST_P(DeviceCli, ReadPrintsTheTreeThenTheList) {
    sim.Start(SimDeviceFixture::DemoDevice());
    const CliResult r = Device({"--number", "0", "read"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 30u + 9u);
    EXPECT_EQ(lines[0], "VR7 №12\timage=0");
    EXPECT_EQ(lines[1], "  Система №1 Котельная\timage=7");
    EXPECT_EQ(lines[30], "1t1\t40001\tF\t105\t°C");
    EXPECT_EQ(lines[38], U(usertext::Counters(62, 11, 51)));
    // The download stays in the working directory, as the window leaves it.
    EXPECT_EQ(ReadBytes(work / "duxgate.cfg"), ReadBytes(kDemoSettings));

    // "device tree" prints the same tree.
    const CliResult tree = Device({"--number", "12", "tree"});
    EXPECT_EQ(tree.status, exitstatus::Ok) << tree.err;
    EXPECT_EQ(Lines(tree.out), std::vector<std::string>(lines.begin(), lines.begin() + 30));
}

TEST_P(DeviceCli, ReadFailuresHaveTheWindowsMessages) {
    SimDevice device = SimDeviceFixture::DemoDevice();
    device.versionBuild = 31;
    sim.Start(std::move(device));
    CliResult r = Device({"--number", "12", "read"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, U(usertext::UnsupportedVersion(InfoOf(2, 1, 31))) + "\n" +
                         U(usertext::UpdateFirmwareStep()) + "\n");

    sim.server->With([](SimResponder& s) { return s.Device().versionBuild = 32; });
    sim.server->SetFaults({SimFault{SimFaultKind::BadCheck, cmdReadEntry, 10, 0, 5}});
    r = Device({"--number", "12", "read"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(Lines(r.out).at(0), "VR7 №12\timage=0");  // the partial tree
    EXPECT_LT(Lines(r.out).size(), 30u);
    EXPECT_EQ(r.err, U(usertext::ReadError()) + "\n" + U(usertext::ReadAgainStep()) + "\n" +
                         kBadCheckCause);

    // A download that has nowhere to go.
    fs::create_directory(work / "duxgate.cfg");
    r = Device({"--number", "12", "read"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_NE(
        r.err.find("duxgate.cfg" + U(usertext::FileFailureAfter(usertext::FileStep::NotCreated))),
        std::string::npos)
        << r.err;
}

TEST_P(DeviceCli, AnEntryThatFailsEndsTheTreeWithWhatWasRead) {
    sim.Start(SimDeviceFixture::DemoDevice());
    sim.server->SetFaults({SimFault{SimFaultKind::BadCheck, cmdReadEntry, 3, 0, 5}});
    const CliResult r = Device({"--number", "12", "tree"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(Lines(r.out).at(0), "VR7 №12\timage=0");
    EXPECT_EQ(r.err, "vr7lon: " + U(usertext::ReadError()) + "\n" + kBadCheckCause);
}

TEST_P(DeviceCli, GetAndPutCopyFilesWhole) {
    SimDevice device = SimDeviceFixture::DemoDevice();
    std::string big;
    for (int i = 0; i < 3000; ++i) big += static_cast<char>(i * 7);
    device.files["big.bin"].assign(big.begin(), big.end());
    sim.Start(std::move(device));

    CliResult r = Device({"--number", "12", "get", "big.bin", work / "got.bin"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(ReadBytes(work / "got.bin"), big);
    EXPECT_EQ(r.err, "");  // no progress bar: the error stream is no terminal

    work.Write("up.bin", big + "tail");
    r = Device({"--number", "12", "put", work / "up.bin", "UP.BIN"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    std::vector<uint8_t> stored;
    ASSERT_TRUE(sim.server->File("UP.BIN", stored));
    EXPECT_EQ(std::string(stored.begin(), stored.end()), big + "tail");
}

TEST_P(DeviceCli, GetAndPutFailures) {
    SimDevice device = SimDeviceFixture::DemoDevice();
    device.writeProtected = true;
    sim.Start(std::move(device));

    // A file the device does not have: nothing is written locally.
    CliResult r = Device({"--number", "12", "get", "nosuch.cfg", work / "got.cfg"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_NE(r.err.find("nosuch.cfg: result 1001"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(work / "got.cfg"));

    // Nowhere to put the copy: the device is not even asked.
    sim.server->ClearRequests();
    r = Device({"--number", "12", "get", "duxgate.cfg", work / "no/folder/got.cfg"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_TRUE(sim.server->Requests().empty());

    r = Device({"--number", "12", "put", work / "missing.bin", "X"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_TRUE(sim.server->Requests().empty());

    work.Write("up.bin", "data");
    r = Device({"--number", "12", "put", work / "up.bin", "X"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_NE(r.err.find("write protection EN_PR"), std::string::npos) << r.err;

    // A device file name the open request cannot carry: said as such, the device not asked.
    sim.server->ClearRequests();
    const std::string longest(1014, 'n');
    const struct {
        std::vector<std::string> args;
        std::string err;
    } names[] = {
        {{"put", work / "up.bin", ""}, "vr7lon: the device file name is empty\n"},
        {{"get", "", work / "got.cfg"}, "vr7lon: the device file name is empty\n"},
        {{"put", work / "up.bin", longest + "n"},
         "vr7lon: " + longest.substr(0, 40) +
             "...: a device file name has at most 1014 bytes, this one 1015\n"},
        {{"get", longest + "\xD0\xAF", work / "got.cfg"},  // one byte in the device's code page
         "vr7lon: " + longest.substr(0, 40) +
             "...: a device file name has at most 1014 bytes, this one 1015\n"},
    };
    for (const auto& c : names) {
        std::vector<std::string> args = {"--number", "12"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        r = Device(args);
        EXPECT_EQ(r.status, exitstatus::Usage);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_TRUE(sim.server->Requests().empty());
    EXPECT_FALSE(fs::exists(work / "got.cfg"));
}

TEST_P(DeviceCli, AFailureEndsWithTheCauseTheWindowsStatusBarShows) {
    SimDevice device = SimDeviceFixture::DemoDevice();
    device.writeProtected = true;
    sim.Start(std::move(device));
    work.Write("up.bin", "data");
    const struct {
        std::vector<std::string> args;
        std::string lastLine;  // its beginning
    } cases[] = {
        {{"--number", "13", "info"}, "vr7lon: " + UpTo(U(usertext::NoAnswerCause(13, 0, 0)), '(')},
        {{"--number", "12", "get", "nosuch.cfg", work / "got.cfg"},
         "vr7lon: " + U(usertext::NoSuchFileCause(12))},
        {{"--number", "12", "put", work / "up.bin", "X"},
         "vr7lon: " + U(usertext::WriteProtectedCause(12))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const CliResult r = Device(c.args);
        EXPECT_EQ(r.status, exitstatus::Device);
        const auto lines = Lines(r.err);
        ASSERT_GE(lines.size(), 2u) << r.err;
        EXPECT_EQ(lines.back().rfind(c.lastLine, 0), 0u) << r.err;
    }
    // The line's echo: a request that does not come back (over TCP/IP there is none to wait
    // for), and a second answer to one request.
    CliResult r = Device({"--echo", "on", "--number", "12", "info"});
    if (GetParam() == Transport::Pty) {
        EXPECT_EQ(r.status, exitstatus::Device);
        EXPECT_EQ(Lines(r.err).back(), "vr7lon: " + U(usertext::NoEchoCause()));
    } else {
        EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    }
    r = Device({"--echo", "sometimes", "info"});
    EXPECT_EQ(r.status, exitstatus::Usage);
    EXPECT_NE(r.err.find("--echo needs auto, on or off"), std::string::npos) << r.err;
    // The connection options are checked as the port dialog checks its fields.
    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {{"--speed", "0"}, "--speed needs a number of baud"},
        {{"--tcp-port", "65536"}, "--tcp-port needs 1 to 65535"},
        {{"--number", "4294967296"}, "--number needs 0 to 4294967295"}};
    for (const auto& [options, message] : refused) {
        std::vector<std::string> args{"device"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back("info");
        r = RunCli(args, programDir.Path());
        EXPECT_EQ(r.status, exitstatus::Usage) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    sim.server->SetFaults({{SimFaultKind::Duplicate, cmdIdentify}});
    r = Device({"--number", "12", "info"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(Lines(r.err).back(), "vr7lon: " + U(usertext::TwoAnswersCause(12)));
}

TEST_P(DeviceCli, StoreUploadsTheFileAsTheWindowWouldSaveIt) {
    sim.Start(SimDeviceFixture::DemoDevice());
    const CliResult r = Device({"--number", "0", "store", kDemoSettings, "--no-backup"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, U(usertext::Stored()) + "\n");
    EXPECT_EQ(r.err, "");

    XmlDocument noCatalogue;
    SnvtList list(noCatalogue);
    EXPECT_TRUE(LoadGatewayFile(list, kDemoFolder + "/CONFIG/").ok());
    ASSERT_TRUE(SaveGatewayFile(list, work / "expected.cfg").ok());
    std::vector<uint8_t> stored;
    ASSERT_TRUE(sim.server->File("DUXGate.cfg", stored));
    EXPECT_EQ(std::string(stored.begin(), stored.end()), ReadBytes(work / "expected.cfg"));
}

TEST_P(DeviceCli, StoreFailuresHaveTheWindowsMessages) {
    SimDevice device = SimDeviceFixture::DemoDevice();
    device.writeProtected = true;
    sim.Start(std::move(device));
    CliResult r = Device({"--number", "12", "store", kDemoSettings});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, U(usertext::WriteProtected()) +
                         "\nvr7lon: " + U(usertext::WriteProtectedCause(12)) + "\n");

    sim.server->With([](SimResponder& s) { return s.Device().writeProtected = false; });
    sim.server->SetFaults({SimFault{SimFaultKind::NoAck, cmdWriteBlock, -1, 0, 1, 0}});
    r = Device({"--number", "12", "store", kDemoSettings});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.err.rfind(U(usertext::StoreBroken()) + "\nvr7lon: result ", 0), 0u) << r.err;

    // Nothing to store: the device is not asked.
    sim.server->ClearRequests();
    work.Write("empty.cfg", "");
    r = Device({"--number", "12", "store", work / "empty.cfg"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.err, U(usertext::EmptyList()) + "\n");
    r = Device({"--number", "12", "store", work / "missing.cfg"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_TRUE(sim.server->Requests().empty());
}

// The request as the line handed it back is a line of its own, without a check of its own.
TEST(DeviceTrace, TheRequestsEchoIsALineOfItsOwn) {
    std::ostringstream err;
    const FrameTracer trace(err);
    const std::vector<uint8_t> request = MakeFrame(12, cmdIdentify);
    trace(FrameWay::Echo, request.data(), static_cast<int>(request.size()));
    EXPECT_TRUE(std::regex_match(
        err.str(), std::regex(R"( *\d+ ms <- 0c 00 00 00 00 00 01 0d 0d  request echo\n)")))
        << err.str();
}

TEST_P(DeviceCli, TraceShowsEveryFrameWithItsCheck) {
    sim.Start(SimDeviceFixture::DemoDevice());
    CliResult r = Device({"--number", "12", "--trace", "info"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    auto lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_TRUE(std::regex_match(lines[0],
                                 std::regex(R"( *\d+ ms -> 0c 00 00 00 00 00 01 0d 0d  check ok  )"
                                            R"(identify, device 12, length 0)")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(
        lines[1], std::regex(R"( *\d+ ms <- 0c 00 00 00 25 00 01( [0-9a-f]{2}){39}  check ok  )"
                             R"(identify, device 12, length 37)")))
        << lines[1];

    // A damaged answer is shown as it came; the device options may also follow the subcommand.
    sim.server->SetFaults({SimFault{SimFaultKind::BadCheck, cmdIdentify, -1, 0, 1}});
    r = Device({"info", "--number", "12", "--trace"});
    EXPECT_EQ(r.status, exitstatus::Device);
    lines = Lines(r.err);
    ASSERT_GE(lines.size(), 3u) << r.err;
    EXPECT_NE(lines[1].find("<- 0c 00 00 00 25 00 01"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("check BAD"), std::string::npos) << lines[1];
    EXPECT_NE(r.err.find("result 1013"), std::string::npos) << r.err;
}

TEST_P(DeviceCli, ProgressBarOnlyOnATerminal) {
    sim.Start(SimDeviceFixture::DemoDevice());
    const CliResult r = Device({"--number", "12", "get", "duxgate.cfg", work / "got.cfg"}, true);
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.err.rfind("\r[", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("] 100%\n"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Transports, DeviceCli, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) {
                             return info.param == Transport::Tcp ? "Tcp" : "Pty";
                         });

// The window's settings, when it has saved any, say how to reach the device.
class DeviceSettings : public ::testing::Test {
  protected:
    DeviceSettings() : sim(Transport::Tcp) { sim.Start(SimDeviceFixture::DemoDevice()); }
    std::string Port() const { return std::to_string(sim.server->TcpPort()); }

    TempDir programDir;
    SimDeviceFixture sim;
};

TEST_F(DeviceSettings, TheWindowsSavedSettingsAreUsedAndLeftAlone) {
    // The TCP port and the device number come from the settings file only.
    const std::string ini = "[CONNECTION]\r\nport=TCP/IP\r\nIP=127.0.0.1\r\nTCPIPport=" + Port() +
                            "\r\nspeed=9600\r\ndev_nom=12\r\n";
    programDir.Write("Vr7LonCfgMaker.ini", ini);
    const CliResult r = RunCli({"device", "--ip", "127.0.0.1", "info"}, programDir.Path());
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, "version 2.1.32\nnumber 12\n");
    EXPECT_EQ(ReadBytes(programDir / "Vr7LonCfgMaker.ini"), ini);
}

TEST_F(DeviceSettings, AnOlderSettingsFileIsUsedWhenTheNewerHasNone) {
    programDir.Write("vr7CfgUpdate.ini",
                     "[CONNECTION]\r\nport=COM1\r\nTCPIPport=" + Port() + "\r\n");
    // The address selects TCP/IP over the file's serial port; the TCP port is the file's.
    const CliResult r =
        RunCli({"device", "--ip", "127.0.0.1", "--number", "12", "info"}, programDir.Path());
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
}

TEST_F(DeviceSettings, NoDeviceListeningIsNotConnected) {
    // A port that was free a moment ago: the connection is refused at once.
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    const CliResult r = RunCli(
        {"device", "--ip", "127.0.0.1", "--tcp-port", std::to_string(ntohs(a.sin_port)), "info"},
        programDir.Path());
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.err, "vr7lon: " + kNotConnected +
                         " (result 1003: the link is not open (port or host could not be opened) "
                         "(Connection refused))\n"
                         "vr7lon: " +
                         U(usertext::TcpConnectCause("127.0.0.1", std::to_string(ntohs(a.sin_port)),
                                                     ECONNREFUSED)) +
                         "\n");
}

}  // namespace
