// The simulator as a running peer: endpoints, connections, stopping, the device built from the
// demo folder, and the vr7sim program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/cp1251.h"
#include "base/inifile.h"
#include "cfgtree/vr7cfgtree.h"
#include "link/vr7prot.h"
#include "optlist/optlist.h"
#include "sim/simfolder.h"
#include "sim/simserver.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtimings.h"
#include "tests/sim/support/simprogram.h"

namespace {

using Bytes = std::vector<uint8_t>;
const std::string kDemoFolder = VR7_SOURCE_DIR "/examples/vr7_12";

int ConnectLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Up to count bytes, waiting at most timeoutMs for each piece; fewer when the peer goes quiet.
Bytes Receive(int fd, size_t count, int timeoutMs) {
    Bytes bytes;
    uint8_t buffer[2048];
    while (bytes.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) break;
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

void Send(int fd, const Bytes& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

TEST(SimServer, PicksAFreePortAndStopsCleanly) {
    SimServer server(SimDemoDevice());
    std::string error;
    SimEndpoints endpoints{true, 0, true};
    endpoints.stalePartialMs = kLongWaitMs;  // a timer that stopping must not wait for
    ASSERT_TRUE(server.Start(endpoints, &error)) << error;
    ASSERT_NE(server.TcpPort(), 0);
    struct stat st {};
    ASSERT_EQ(::stat(server.PtyPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    SimServer second(SimDemoDevice());  // the port is taken
    EXPECT_FALSE(second.Start({true, server.TcpPort(), false}, &error));
    EXPECT_NE(error, "");

    const int fd = ConnectLoopback(server.TcpPort());
    ASSERT_GE(fd, 0);
    const auto t0 = std::chrono::steady_clock::now();
    server.Stop();
    server.Stop();
    // Stopping waits for none of the device's own timers.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(kPromptMs));
    EXPECT_TRUE(Receive(fd, 1, 1000).empty());  // the connection was closed
    ::close(fd);
    EXPECT_LT(ConnectLoopback(server.TcpPort()), 0);
}

TEST(SimServer, ServesSeveralConnectionsAndForgetsAnUnfinishedFrame) {
    SimServer server(SimDemoDevice());
    SimEndpoints endpoints;
    endpoints.stalePartialMs = 50;
    ASSERT_TRUE(server.Start(endpoints));
    const int a = ConnectLoopback(server.TcpPort());
    const int b = ConnectLoopback(server.TcpPort());
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    const Bytes id = MakeFrame(1, cmdIdentify);
    Send(a, Bytes(id.begin(), id.begin() + 4));  // then the line goes quiet
    Send(b, id);
    EXPECT_EQ(Receive(b, 46, 1000).size(), 46u);
    // Until the unfinished frame has gone stale and the device has forgotten it.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongWaitMs);
    while (server.StaleRequestsDropped() == 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(server.StaleRequestsDropped(), 1u);
    Send(a, id);
    EXPECT_EQ(Receive(a, 46, 1000).size(), 46u);
    ::close(a);
    ::close(b);
}

TEST(SimServer, PtyServesTheSameProtocol) {
    SimServer server(SimDemoDevice());
    ASSERT_TRUE(server.Start({false, 0, true}));
    for (int round = 0; round < 2; ++round) {  // the terminal side can be opened again
        const int fd = ::open(server.PtyPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        Send(fd, MakeFrame(AnyDeviceAddress, cmdIdentify));
        const Bytes answer = Receive(fd, 46, 1000);
        ASSERT_EQ(answer.size(), 46u);
        EXPECT_FALSE(FrameCheckFails(answer.data()));
        ::close(fd);
    }
}

TEST(SimServer, CloseFaultDropsTheConnection) {
    SimServer server(SimDemoDevice());
    ASSERT_TRUE(server.Start({}));
    server.SetFaults({{SimFaultKind::Close}});
    const int fd = ConnectLoopback(server.TcpPort());
    Send(fd, MakeFrame(1, cmdIdentify));
    EXPECT_EQ(Receive(fd, 100, 1000).size(), 23u);  // half of the 46-byte answer, then the end
    ::close(fd);
}

// The demo device and the demo folder describe the same configuration: the tree read from the
// device over the link has the leaves of the tree read from the folder.
std::vector<std::pair<int, std::string>> Leaves(const CfgTree& tree) {
    std::vector<std::pair<int, std::string>> leaves;
    tree.ForEach([&leaves](const TreeNode& node) {
        if (const SNodeInfo* info = node.Info(); info && info->Kind == nkCalc)
            leaves.push_back({info->System, node.Text});
    });
    return leaves;
}

TEST(SimFolder, DemoDeviceAgreesWithTheDemoFolder) {
    SimDevice device;
    std::string error;
    ASSERT_TRUE(SimDeviceFromFolder(kDemoFolder, device, &error)) << error;
    device.number = SimFolderDeviceNumber(kDemoFolder);
    EXPECT_EQ(device.number, 12u);
    ASSERT_EQ(device.systems.size(), 3u);
    EXPECT_EQ(device.systems[0].name, cp1251::FromUtf8("Котельная").bytes());
    EXPECT_EQ(device.systems[0].text2, "kotel");
    EXPECT_EQ(device.systems[1].text2, "gvs");
    EXPECT_TRUE(device.files.count("duxgate.cfg"));

    SimServer server(device);
    ASSERT_TRUE(server.Start({}));
    connection conn;
    ASSERT_EQ(conn.OpenTcpIpLink("127.0.0.1", std::to_string(server.TcpPort())), 0);

    XmlDocument catalog(VR7_SOURCE_DIR "/examples/calcbank.xml");
    EXPECT_TRUE(catalog.Load().ok());
    const std::vector<const XmlDocument*> filters{nullptr, &catalog};
    for (const XmlDocument* filter : filters) {
        CfgTree fromDir, fromDevice;
        XmlDocument scratch;
        ASSERT_EQ(BuildTreeFromDir(fromDir, kDemoFolder + "/CONFIG/", 12, nullptr, filter,
                                   kWindowTreeOptions, scratch)
                      .value_or(TreeBuild::Partial),
                  TreeBuild::Complete);
        ASSERT_TRUE(
            BuildTreeFromDevice(fromDevice, conn, 12, nullptr, filter, kWindowTreeOptions).ok());
        EXPECT_EQ(fromDevice.FirstRoot()->Text, fromDir.FirstRoot()->Text);
        EXPECT_EQ(Leaves(fromDevice), Leaves(fromDir));
        EXPECT_GT(Leaves(fromDir).size(), 20u);
    }
    std::ostringstream cfg;
    ASSERT_EQ(ReadDeviceFile(conn, 12, &cfg, "duxgate.cfg", nullptr), 0);
    std::ifstream local(kDemoFolder + "/CONFIG/duxgate.cfg", std::ios::binary);
    EXPECT_EQ(cfg.str(), std::string(std::istreambuf_iterator<char>(local), {}));
}

TEST(SimFolder, MissingFolderIsReported) {
    SimDevice device;
    std::string error;
    EXPECT_FALSE(SimDeviceFromFolder(VR7_SOURCE_DIR "/examples/no_such", device, &error));
    EXPECT_NE(error, "");
}

uint16_t PortOf(const std::string& line) {
    const std::string prefix = "listening tcp 127.0.0.1:";
    if (line.rfind(prefix, 0) != 0) return 0;
    return static_cast<uint16_t>(std::stoi(line.substr(prefix.size())));
}

TEST(Vr7simProgram, ServesWhatItsOptionsSay) {
    if (::access(Program::kPath, X_OK) != 0) GTEST_SKIP() << "vr7sim is not built";
    const auto dir =
        std::filesystem::temp_directory_path() / ("vr7sim_program_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "store");
    std::ofstream(dir / "served.txt") << "served bytes";

    Program sim({"--tcp", "0", "--number", "9", "--version", "4.5.66", "--file",
                 "x.cfg=" + (dir / "served.txt").string(), "--store", (dir / "store").string()});
    const uint16_t port = PortOf(sim.FirstLine());
    ASSERT_NE(port, 0);
    connection conn;
    ASSERT_EQ(conn.OpenTcpIpLink("127.0.0.1", std::to_string(port)), 0);
    DeviceInfo info;
    ASSERT_EQ(ReadDeviceInfo(conn, AnyDeviceAddress, info), 0);
    EXPECT_EQ(info.DeviceNumber(), 9u);
    EXPECT_EQ(info.VersionMajor(), 4);
    EXPECT_EQ(info.VersionMinor(), 5);
    EXPECT_EQ(info.VersionBuild(), 66);
    std::ostringstream served;
    ASSERT_EQ(ReadDeviceFile(conn, 9, &served, "x.cfg", nullptr), 0);
    EXPECT_EQ(served.str(), "served bytes");
    std::istringstream upload("uploaded");
    ASSERT_EQ(WriteDeviceFile(conn, 9, &upload, "DUXGate.cfg", nullptr), 0);
    std::ifstream stored(dir / "store" / "DUXGate.cfg");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), {}), "uploaded");
    conn.Close();
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    std::filesystem::remove_all(dir);
}

TEST(Vr7simProgram, PointsTheProgramsConnectionSettingsAtItself) {
    if (::access(Program::kPath, X_OK) != 0) GTEST_SKIP() << "vr7sim is not built";
    TempDir dir;
    const std::string ini = dir / "Vr7LonCfgMaker.ini";
    std::ofstream(ini) << "[connection]\r\nPORT=COM3\r\nspeed=19200\r\ndev_nom=7\r\n"
                          "[Other]\r\nkey=1\r\n";

    Program sim({"--folder", kDemoFolder, "--tcp", "0", "--settings", ini});
    const uint16_t port = PortOf(sim.FirstLine());
    ASSERT_NE(port, 0);
    // Written before the line, so the program started after it finds the device at once.
    connection conn;
    conn.LoadSettings(ini);
    EXPECT_EQ(conn.PortName, "TCP/IP");
    EXPECT_EQ(conn.IpAddress, "127.0.0.1");
    EXPECT_EQ(conn.TcpIpPort, std::to_string(port));
    EXPECT_EQ(conn.Speed, 19200u);
    EXPECT_EQ(ini::ReadString(ini, "CONNECTION", "dev_nom", ""), "12");
    EXPECT_EQ(ini::ReadString(ini, "Other", "key", ""), "1");
    ASSERT_EQ(conn.Open(), 0);
    DeviceInfo info;
    EXPECT_EQ(ReadDeviceInfo(conn, 12, info), 0);
    conn.Close();
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST(Vr7simProgram, ServesTheDemoFolderProtectedOverAPty) {
    if (::access(Program::kPath, X_OK) != 0) GTEST_SKIP() << "vr7sim is not built";
    Program sim({"--folder", kDemoFolder, "--pty", "--protect"});
    const std::string line = sim.FirstLine();
    ASSERT_EQ(line.rfind("listening pty /dev/", 0), 0u) << line;
    connection conn;
    ASSERT_EQ(conn.OpenComLink(line.substr(std::string("listening pty ").size()), 115200), 0);
    DeviceInfo info;
    ASSERT_EQ(ReadDeviceInfo(conn, AnyDeviceAddress, info), 0);
    EXPECT_EQ(info.DeviceNumber(), 12u);
    std::istringstream upload("x");
    EXPECT_EQ(WriteDeviceFile(conn, 12, &upload, "DUXGate.cfg", nullptr), 1001);
    conn.Close();
    EXPECT_EQ(sim.Stop(SIGINT), 0);
}

}  // namespace
