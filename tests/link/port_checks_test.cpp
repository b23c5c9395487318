// A serial port is used only when it opened: a path that is no terminal, or a speed the platform
// cannot run at, fails the open and the first exchange with the open's result, and not one byte
// goes to the port. A rate without a constant is taken when the line, read back, runs at it.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "link/comlink.h"
#include "link/connection.h"
#include "link/serialspeed.h"
#include "link/vr7prot.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtimings.h"
#include "tests/link/support/ptypair.h"

namespace {

// True when the master side of the pair received nothing within timeoutMs.
bool NothingArrives(const PtyPair& pty, int timeoutMs) {
    pollfd p{pty.Master(), POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 0;
}

TEST(PortChecks, FileNamedAsThePortIsNeverWritten) {
    TempDir dir;
    const std::string path = dir.Write("port.bin", "before");
    connection conn;
    conn.Timings = kTestTimings;
    conn.PortName = path;
    EXPECT_EQ(conn.Open(), lr::NotOpen);
    EXPECT_EQ(conn.SystemErrorNumber(), ENOTTY);
    DeviceInfo info;
    EXPECT_EQ(ReadDeviceInfo(conn, 1, info), lr::NotOpen);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "before");
}

TEST(PortChecks, ImpossibleSpeedFailsBeforeAnyExchange) {
    EXPECT_FALSE(CComLink::SpeedPossible(0));
    EXPECT_FALSE(CComLink::SpeedPossible(4294967295u));
    EXPECT_TRUE(CComLink::SpeedPossible(9600));
    EXPECT_TRUE(CComLink::SpeedPossible(250000));
    for (uint32_t speed : {0u, 4294967295u, 4000001u}) {
        PtyPair pty;
        ASSERT_TRUE(pty.Ok());
        connection conn;
        conn.Timings = kTestTimings;
        conn.PortName = pty.SlavePath();
        conn.Speed = speed;
        EXPECT_EQ(conn.Open(), lr::SetStateFailed) << speed;
        DeviceInfo info;
        EXPECT_EQ(ReadDeviceInfo(conn, 1, info), lr::SetStateFailed) << speed;
        EXPECT_TRUE(NothingArrives(pty, 20)) << speed;
    }
}

TEST(PortChecks, NonStandardRateIsTakenWhenTheLineRunsAtIt) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    CComLink link(pty.SlavePath(), 250000);
    ASSERT_EQ(link.Open(true), lr::Ok);
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    uint32_t baud = 0;
    // The line is held exclusively; the master reports the same settings.
    EXPECT_TRUE(fd < 0 ? serialspeed::Read(pty.Master(), baud) : serialspeed::Read(fd, baud));
    if (fd >= 0) ::close(fd);
    EXPECT_EQ(baud, 250000u);
    int written = 0;
    EXPECT_EQ(link.Write("ab", 2, &written), lr::Ok);
    char got[2];
    EXPECT_TRUE(pty.ReadMaster(got, 2, 1000));
}

// The TCP port goes through atoi on its way from the ini file, so it can be any int: one outside
// 1-65535 is refused before any connection is tried, and the first exchange says why.
TEST(PortChecks, TcpPortOutsideItsRangeIsRefusedAtConnectTime) {
    TempDir dir;
    for (const char* value : {"75537", "4294977297", "0", "-1", "65536"}) {
        const std::string ini =
            dir.Write("v.ini", std::string("[CONNECTION]\r\nport=TCP/IP\r\nIP=127.0.0.1\r\n"
                                           "TCPIPport=") +
                                   value + "\r\n");
        connection conn;
        conn.Timings = kTestTimings;
        conn.LoadSettings(ini);
        // The refusal names the port as the file writes it, however large.
        EXPECT_EQ(conn.TcpIpPort, value);
        EXPECT_EQ(conn.Open(), lr::BadTcpPort) << value;
        DeviceInfo info;
        EXPECT_EQ(ReadDeviceInfo(conn, 1, info), lr::BadTcpPort) << value;
    }
    connection conn;
    EXPECT_EQ(conn.OpenTcpIpLink("127.0.0.1", ""), lr::BadTcpPort);
    EXPECT_EQ(conn.OpenTcpIpLink("127.0.0.1", "http"), lr::BadTcpPort);
}

}  // namespace
