#include "link/connection.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <tuple>

#include "base/inifile.h"
#include "link/comlink.h"
#include "link/tcpiplink.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"
#include "tests/link/support/loopserver.h"
#include "tests/link/support/ptypair.h"

namespace {

class ConnectionSettingsTest : public ::testing::Test {
  protected:
    void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string Read() const { return ReadBytes(path_); }
    std::string Key(const std::string& key) {
        return ini::ReadString(path_, "CONNECTION", key, "<missing>");
    }
    TempDir dir_;
    std::string path_ = dir_ / "Vr7LonCfgMaker.ini";
};

TEST(Connection, StartsWithItsInitialValuesAndNoLink) {
    connection conn;
    EXPECT_EQ(conn.PortName, "COM1");
    EXPECT_EQ(conn.TcpIpPort, "10001");
    EXPECT_EQ(conn.IpAddress, "192.168.0.1");
    EXPECT_EQ(conn.Speed, 9600u);
    EXPECT_EQ(conn.DeviceNumber, 0u);
    EXPECT_EQ(conn.Link(), nullptr);
    EXPECT_FALSE(conn.Locked());
}

TEST_F(ConnectionSettingsTest, MissingFileGivesTheDefaults) {
    connection conn;
    conn.LoadSettings(path_);
    EXPECT_EQ(conn.PortName, "COM1");
    EXPECT_EQ(conn.IpAddress, "192.168.0.1");
    EXPECT_EQ(conn.TcpIpPort, "10001");
    EXPECT_EQ(conn.Speed, 115200u);
    EXPECT_EQ(conn.Echo, LineEcho::Auto);
}

TEST_F(ConnectionSettingsTest, NumbersAreReadTheWayAtoiReadsThem) {
    Write(
        "[CONNECTION]\r\nport=/dev/ttyUSB0\r\nIP=device.local\r\nTCPIPport=  42abc\r\n"
        "speed=fast\r\n");
    connection conn;
    conn.LoadSettings(path_);
    EXPECT_EQ(conn.PortName, "/dev/ttyUSB0");
    EXPECT_EQ(conn.IpAddress, "device.local");
    EXPECT_EQ(conn.TcpIpPort, "42");
    EXPECT_EQ(conn.Speed, 0u);

    Write("[connection]\r\nTCPIPport=010001\r\nspeed=-1\r\n");
    conn.LoadSettings(path_);
    EXPECT_EQ(conn.TcpIpPort, "10001");
    EXPECT_EQ(conn.Speed, 4294967295u);
    conn.SaveSettings(path_);
    EXPECT_EQ(Key("speed"), "4294967295");

    Write("[CONNECTION]\r\nTCPIPport=port\r\n");
    conn.LoadSettings(path_);
    EXPECT_EQ(conn.TcpIpPort, "0");
}

TEST_F(ConnectionSettingsTest, SaveWritesTheFourKeysInOrderAndKeepsTheRest) {
    Write("[CONNECTION]\r\ndev_nom=77\r\n[Other]\r\nport=COM5\r\n");
    connection conn;
    conn.LoadSettings(path_);  // defaults for the four keys
    conn.SaveSettings(path_);
    const std::string text = Read();
    const size_t port = text.find("\nport=COM1"), ip = text.find("\nIP=192.168.0.1"),
                 tcp = text.find("\nTCPIPport=10001"), speed = text.find("\nspeed=115200");
    ASSERT_NE(port, std::string::npos) << text;
    ASSERT_NE(speed, std::string::npos) << text;
    EXPECT_LT(port, ip);
    EXPECT_LT(ip, tcp);
    EXPECT_LT(tcp, speed);
    EXPECT_LT(speed, text.find("[Other]"));
    EXPECT_EQ(Key("dev_nom"), "77");
    EXPECT_EQ(ini::ReadString(path_, "Other", "port", ""), "COM5");

    connection edited;
    edited.PortName = "TCP/IP";
    edited.IpAddress = "10.1.2.3";
    edited.TcpIpPort = "4001";
    edited.Speed = 57600;
    edited.Echo = LineEcho::Off;
    edited.SaveSettings(path_);
    EXPECT_EQ(Key("echo"), "off");
    connection loaded;
    loaded.LoadSettings(path_);
    EXPECT_EQ(loaded.Echo, LineEcho::Off);
    EXPECT_EQ(loaded.PortName, "TCP/IP");
    EXPECT_EQ(loaded.IpAddress, "10.1.2.3");
    EXPECT_EQ(loaded.TcpIpPort, "4001");
    EXPECT_EQ(loaded.Speed, 57600u);
}

// The checks the ini, the port dialog and vr7lon's options share.
TEST(ConnectionSettingsValue, EachValueIsCheckedOneWayWhereverItComesFrom) {
    const std::tuple<const char*, uint16_t, const char*> tcpPorts[] = {
        {"10001", 10001, "10001"},       {"010001", 10001, "10001"},
        {"65535", 65535, "65535"},       {"0", 0, "0"},
        {"65536", 0, "65536"},           {"", 0, "0"},
        {"4294977297", 0, "4294977297"}, {"http", 0, "http"}};
    for (const auto& [text, port, written] : tcpPorts) {
        ConnectionSettings s;
        s.SetTcpPortText(text);
        EXPECT_EQ(s.tcpPort, port) << '"' << text << '"';
        EXPECT_EQ(s.TcpPortText(), written) << '"' << text << '"';
        EXPECT_EQ(s.badTcpPort.empty(), port != 0) << '"' << text << '"';
    }
    uint32_t value = 7;
    for (const char* refused : {"0", "", "-1", "9600x", "4294967296"})
        EXPECT_FALSE(ParseSpeed(refused, value)) << '"' << refused << '"';
    EXPECT_TRUE(ParseSpeed(" 57600", value));
    EXPECT_EQ(value, 57600u);
    EXPECT_TRUE(ParseDeviceNumber("4294967295", value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_FALSE(ParseDeviceNumber("4294967296", value));

    // Only the exact name chooses the network; the serial port is kept for a switch back.
    ConnectionSettings s;
    s.SetPortName("/dev/ttyUSB1");
    s.SetPortName("tcp/ip");
    EXPECT_FALSE(s.Tcp());
    s.SetPortName("TCP/IP");
    EXPECT_TRUE(s.Tcp());
    EXPECT_EQ(s.serialPort, "tcp/ip");
    EXPECT_EQ(s.PortName(), "TCP/IP");
}

// The connection's fields are the value's, and a port the value refuses never opens a link.
TEST(ConnectionSettingsValue, TheConnectionIsBuiltOnTheValue) {
    ConnectionSettings s;
    s.SetPortName("TCP/IP");
    s.SetTcpPortText("70000");
    s.deviceNumber = 3000000000u;
    connection conn;
    conn.Apply(s);
    EXPECT_EQ(conn.TcpIpPort, "70000");
    EXPECT_EQ(conn.Open(), lr::BadTcpPort);
    EXPECT_EQ(conn.Settings().deviceNumber, 3000000000u);
}

TEST_F(ConnectionSettingsTest, HeldLockMakesEveryOperationFailOrDoNothing) {
    connection conn;
    ASSERT_TRUE(conn.TryLock());
    EXPECT_FALSE(conn.TryLock()) << "the lock is not re-entrant";
    auto* kept = new CLink;
    conn.Unlock();
    ASSERT_EQ(conn.SetLink(std::unique_ptr<CLink>(kept)), 0);
    ASSERT_TRUE(conn.TryLock());

    EXPECT_EQ(conn.OpenComLink("/nonexistent/ttyVR7", 9600), 1005);
    EXPECT_EQ(conn.OpenTcpIpLink("127.0.0.1", "1"), 1005);
    EXPECT_EQ(conn.Open(), 1005);
    EXPECT_EQ(conn.SetLink(nullptr), 1005);
    conn.Close();
    EXPECT_EQ(conn.Link(), kept);
    Write("[CONNECTION]\r\nport=COM4\r\n");
    conn.LoadSettings(path_);
    EXPECT_EQ(conn.PortName, "COM1");
    conn.PortName = "COM2";
    conn.SaveSettings(path_);
    EXPECT_EQ(Key("port"), "COM4");
    EXPECT_TRUE(conn.Locked()) << "a refused operation leaves the holder's lock alone";

    conn.Unlock();
    conn.Unlock();  // releasing a free lock changes nothing
    EXPECT_FALSE(conn.Locked());
    conn.Close();
    EXPECT_EQ(conn.Link(), nullptr);
    conn.Close();  // no link: nothing to do
    EXPECT_FALSE(conn.Locked());
}

TEST(ConnectionOpen, OnlyTheExactTextTcpIpChoosesTheNetwork) {
    connection conn;
    conn.PortName = "tcp/ip";
    EXPECT_EQ(conn.Open(), 1003);
    auto* serial = dynamic_cast<CComLink*>(conn.Link());
    ASSERT_NE(serial, nullptr) << "lower case names a serial port";
    EXPECT_EQ(serial->PortName(), "tcp/ip");
    EXPECT_FALSE(serial->IsOpen());
    EXPECT_FALSE(conn.Locked());

    LoopServer server([](int, LoopServer& self) { self.WaitForStop(5000); });
    conn.PortName = "TCP/IP";
    conn.IpAddress = "127.0.0.1";
    conn.TcpIpPort = server.Port();
    EXPECT_EQ(conn.Open(), 0);
    auto* tcp = dynamic_cast<CTCPIPLink*>(conn.Link());
    ASSERT_NE(tcp, nullptr);
    EXPECT_TRUE(tcp->IsOpen());
    EXPECT_EQ(tcp->Host(), "127.0.0.1");
    EXPECT_FALSE(conn.Locked());
    conn.Close();
    EXPECT_EQ(conn.Link(), nullptr);
}

TEST(ConnectionOpen, FailedOpenKeepsTheLinkCurrent) {
    connection conn;
    EXPECT_EQ(conn.OpenTcpIpLink("127.0.0.1", UnusedLoopbackPort()), 1003);
    ASSERT_NE(dynamic_cast<CTCPIPLink*>(conn.Link()), nullptr);
    EXPECT_FALSE(conn.Link()->IsOpen());
    char byte;
    EXPECT_EQ(conn.Link()->Read(&byte, 1, nullptr, 10), 1003);
}

class CountingLink : public CLink {
  public:
    explicit CountingLink(int& destroyed) : destroyed_(destroyed) {}
    ~CountingLink() override { ++destroyed_; }

  private:
    int& destroyed_;
};

TEST(ConnectionOpen, OpeningAgainReplacesTheLinkBeforeMakingTheNewOne) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    connection conn;
    int destroyed = 0;
    ASSERT_EQ(conn.SetLink(std::make_unique<CountingLink>(destroyed)), 0);
    conn.PortName = pty.SlavePath();
    conn.Speed = 115200;
    EXPECT_EQ(conn.Open(), 0);
    EXPECT_EQ(destroyed, 1);
    CLink* first = conn.Link();
    ASSERT_NE(dynamic_cast<CComLink*>(first), nullptr);
    EXPECT_TRUE(first->IsOpen());
    // The port is held exclusively, so the second open only succeeds when the first link has
    // already let go of it.
    EXPECT_EQ(conn.Open(), 0);
    EXPECT_TRUE(conn.Link()->IsOpen());
}

class FakePortDialog : public IPortDialog {
  public:
    void SetDevNomEnabled(bool enabled) override { devNomEnabled = enabled; }
    void Place(int l, int t) override {
        left = l;
        top = t;
    }
    int ShowModal(connection& conn) override {
        ++shown;
        devNomText = std::to_string(conn.DeviceNumber);
        lockedWhileShown = conn.Locked();
        openWhileShown = conn.OpenComLink("/nonexistent/ttyVR7", 9600);
        if (user) user(conn, devNomText);
        return 1;
    }
    std::string DevNomText() const override { return devNomText; }

    // What the user does in the dialog: edits the device-number text, and presses OK (writing
    // the fields) or Cancel (writing nothing).
    std::function<void(connection&, std::string&)> user;
    std::string devNomText;
    bool devNomEnabled = false, lockedWhileShown = false;
    int left = -1, top = -1, shown = 0, openWhileShown = 0;
};

TEST(ConnectionPortDialog, RunsUnderTheLockAndHandsBackTheDeviceNumber) {
    connection conn;
    FakePortDialog dialog;
    dialog.user = [](connection& c, std::string& devNom) {
        c.PortName = "COM3";  // OK writes the fields
        devNom = "123";
    };
    uint32_t number = 42;
    conn.ShowPortDialog(dialog, 10, 20, &number, true);
    EXPECT_EQ(dialog.shown, 1);
    EXPECT_EQ(dialog.left, 10);
    EXPECT_EQ(dialog.top, 20);
    EXPECT_TRUE(dialog.devNomEnabled);
    EXPECT_TRUE(dialog.lockedWhileShown);
    EXPECT_EQ(dialog.openWhileShown, 1005);
    EXPECT_EQ(conn.Link(), nullptr);
    EXPECT_FALSE(conn.Locked());
    EXPECT_EQ(conn.DeviceNumber, 42u) << "the dialog was filled from the caller's number";
    EXPECT_EQ(conn.PortName, "COM3");
    EXPECT_EQ(number, 123u);
}

TEST(ConnectionPortDialog, CancelStillHandsBackTheEditedNumber) {
    connection conn;
    FakePortDialog dialog;
    dialog.user = [](connection&, std::string& devNom) { devNom = "456"; };
    uint32_t number = 7;
    conn.ShowPortDialog(dialog, 0, 0, &number, true);
    EXPECT_EQ(number, 456u);
    EXPECT_EQ(conn.PortName, "COM1");
}

TEST(ConnectionPortDialog, DeviceNumberIsAnUnsigned32BitDecimalOrZero) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"4294967295", 4294967295u},
        {"2147483648", 2147483648u},
        {"0", 0},
        {"", 0},
        {"4294967296", 0},
        {"12a", 0},
        {"-1", 0},
        {"99999999999999999999", 0},
    };
    for (const auto& [text, expected] : cases) {
        connection conn;
        FakePortDialog dialog;
        const std::string typed = text;
        dialog.user = [&typed](connection&, std::string& devNom) { devNom = typed; };
        uint32_t number = 5;
        conn.ShowPortDialog(dialog, 0, 0, &number, true);
        EXPECT_EQ(number, expected) << '"' << text << '"';
    }
}

TEST(ConnectionPortDialog, FixedOrAbsentNumberIsLeftAlone) {
    connection conn;
    conn.DeviceNumber = 9;
    FakePortDialog dialog;
    dialog.user = [](connection&, std::string& devNom) { devNom = "321"; };
    uint32_t number = 3000000000u;
    conn.ShowPortDialog(dialog, 0, 0, &number, false);
    EXPECT_FALSE(dialog.devNomEnabled);
    EXPECT_EQ(number, 3000000000u);
    EXPECT_EQ(conn.DeviceNumber, 3000000000u);
    EXPECT_EQ(dialog.devNomText, "321");

    conn.ShowPortDialog(dialog, 0, 0, nullptr, true);
    EXPECT_EQ(dialog.shown, 2);
    EXPECT_EQ(conn.DeviceNumber, 3000000000u);
}

TEST(ConnectionPortDialog, HeldLockKeepsTheDialogFromShowing) {
    connection conn;
    FakePortDialog dialog;
    uint32_t number = 8;
    ASSERT_TRUE(conn.TryLock());
    conn.ShowPortDialog(dialog, 0, 0, &number, true);
    EXPECT_EQ(dialog.shown, 0);
    EXPECT_EQ(number, 8u);
    EXPECT_TRUE(conn.Locked());
    conn.Unlock();
}

}  // namespace

namespace {

TEST(ConnectionTimings, DefaultsAreWhatDevicesAreUsedTo) {
    const LinkTimings t = connection().Timings;
    const std::pair<CommandTiming, CommandTiming> commands[] = {
        {t.identify, {3, 800}}, {t.openFile, {1, 500}}, {t.block, {1, 1000}}, {t.config, {3, 500}}};
    for (const auto& [actual, expected] : commands) {
        EXPECT_EQ(actual.attempts, expected.attempts);
        EXPECT_EQ(actual.timeoutMs, expected.timeoutMs);
    }
    EXPECT_EQ(t.serialWriteMs, 300u);
    EXPECT_EQ(t.byteUs, 1000u);
    EXPECT_EQ(t.tcpReadExtraMs, 1000u);
    EXPECT_EQ(t.tcpWriteMs, 1000u);
    EXPECT_EQ(t.tcpPurgeMs, 1000u);
    EXPECT_EQ(t.tcpConnectMs, 21000u);
}

TEST(ConnectionTimings, ScalingShortensEveryWaitButKeepsTheAttempts) {
    const LinkTimings t = LinkTimings{}.Scaled(0.1);
    EXPECT_EQ(t.identify.attempts, 3);
    EXPECT_EQ(t.identify.timeoutMs, 80u);
    EXPECT_EQ(t.block.timeoutMs, 100u);
    EXPECT_EQ(t.byteUs, 100u);
    EXPECT_EQ(t.tcpConnectMs, 2100u);
    EXPECT_EQ(LinkTimings{}.Scaled(0.0001).serialWriteMs, 1u) << "no wait shrinks to nothing";
}

TEST(ConnectionTimings, LinksTheConnectionOpensTakeItsTimings) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    connection conn;
    conn.Timings.byteUs = 5000;  // 5 ms a byte
    ASSERT_EQ(conn.OpenComLink(pty.SlavePath(), 9600), 0);
    char buffer[20];
    int got = -1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(conn.Link()->Read(buffer, 20, &got, 0), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

// A line that goes away while the connection uses it: the exchange reports a system error and
// the connection keeps its errno for the message, also after the link is closed.
TEST(ConnectionSystemError, LineThatWentAwayIsReportedWithItsErrno) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    connection conn;
    ASSERT_EQ(conn.OpenComLink(pty.SlavePath(), 115200), 0);
    EXPECT_EQ(conn.SystemErrorNumber(), 0);
    pty.CloseMaster();
    const uint8_t request[9] = {1, 0, 0, 0, 0, 0, 1, 0, 2};
    uint8_t response[64];
    EXPECT_EQ(conn.Transact(request, 9, response, sizeof response, 10, 3), lr::SystemError);
    conn.Close();
    EXPECT_EQ(conn.SystemErrorNumber(), EIO);
}

}  // namespace
