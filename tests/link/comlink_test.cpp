#include "link/comlink.h"

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/common/testtimings.h"
#include "tests/link/support/ptypair.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class ComLinkTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pty_.Ok()) << "no pseudo-terminals on this machine"; }
    // The settings as the port has them (the master sees the slave's line settings).
    termios Line() {
        termios t{};
        EXPECT_EQ(::tcgetattr(pty_.Master(), &t), 0);
        return t;
    }
    void WriteMaster(const void* bytes, size_t count) {
        ASSERT_EQ(::write(pty_.Master(), bytes, count), static_cast<ssize_t>(count));
    }
    PtyPair pty_;
};

TEST(ComLinkNames, ComNamesMapToSerialDevicesOtherNamesAreUsedAsGiven) {
    EXPECT_EQ(CComLink::DevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(CComLink::DevicePath("COM9"), "/dev/ttyS8");
    EXPECT_EQ(CComLink::DevicePath("com3"), "/dev/ttyS2");
    EXPECT_EQ(CComLink::DevicePath("COM12"), "/dev/ttyS11");
    EXPECT_EQ(CComLink::DevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(CComLink::DevicePath("COM0"), "COM0");
    EXPECT_EQ(CComLink::DevicePath("COM1x"), "COM1x");
    EXPECT_EQ(CComLink::DevicePath("tcp/ip"), "tcp/ip");
}

TEST(ComLinkNames, MissingPortStaysClosed) {
    CComLink link("/nonexistent/ttyVR7", 9600);
    EXPECT_EQ(link.Open(false), 0);
    EXPECT_EQ(link.Open(true), 1003);
    EXPECT_FALSE(link.IsOpen());
    char buffer[4];
    int count = -1;
    EXPECT_EQ(link.Read(buffer, 0, &count, 10), 1001);
    EXPECT_EQ(link.Read(nullptr, 4, &count, 10), 1001);
    EXPECT_EQ(link.Read(buffer, 4, &count, 10), 1003);
    EXPECT_EQ(link.Write(buffer, 4, &count), 1003);
    EXPECT_EQ(link.Purge(kPurgeInput), 0);
}

TEST(ComLinkNames, FileThatIsNotATerminalFailsToOpenAndIsNotHeld) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vr7comlink_" + std::to_string(::getpid()) + ".bin");
    std::ofstream(path) << "x";
    CComLink link(path.string(), 9600);
    EXPECT_EQ(link.Open(true), 1003);
    EXPECT_EQ(link.SystemErrorNumber(), ENOTTY);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.Open(false), 0);
    EXPECT_FALSE(link.IsOpen());
    std::filesystem::remove(path);
}

TEST_F(ComLinkTest, OpensRaw8N1AtItsSpeedAndRestoresTheLineOnClose) {
    termios cooked = Line();
    cooked.c_iflag |= ICRNL | IXON | IXOFF;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ICANON | ECHO | ISIG;
    cooked.c_cflag |= CSTOPB | CRTSCTS;
    ::cfsetispeed(&cooked, B9600);
    ::cfsetospeed(&cooked, B9600);
    ASSERT_EQ(::tcsetattr(pty_.Master(), TCSANOW, &cooked), 0);

    {
        CComLink link(pty_.SlavePath(), 115200);
        ASSERT_EQ(link.Open(true), 0);
        EXPECT_TRUE(link.IsOpen());
        const termios t = Line();
        EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
        EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B115200));
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
        EXPECT_NE(t.c_cflag & CLOCAL, 0u);
        EXPECT_NE(t.c_cflag & CRTSCTS, 0u) << "hardware flow control is kept as found";
        EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    }  // the destructor closes the port

    const termios restored = Line();
    EXPECT_EQ(::cfgetospeed(&restored), static_cast<speed_t>(B9600));
    EXPECT_NE(restored.c_cflag & CSTOPB, 0u);
    EXPECT_NE(restored.c_lflag & ICANON, 0u);
    EXPECT_NE(restored.c_iflag & IXON, 0u);
}

TEST_F(ComLinkTest, SpeedTheLineCannotTakeFailsWith1052AndLetsThePortGo) {
    for (uint32_t speed : {4294967295u, 0u}) {
        const termios before = Line();
        CComLink link(pty_.SlavePath(), speed);
        EXPECT_EQ(link.Open(true), 1052) << speed;
        EXPECT_FALSE(link.IsOpen());
        const termios after = Line();
        EXPECT_EQ(::cfgetospeed(&before), ::cfgetospeed(&after));
    }
}

TEST_F(ComLinkTest, PortHeldByAnotherUserFailsToOpen) {
    CComLink first(pty_.SlavePath(), 9600);
    CComLink second(pty_.SlavePath(), 9600);
    ASSERT_EQ(first.Open(true), 0);
    EXPECT_EQ(second.Open(true), 1003);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(first.Open(true), 0) << "reopening does not trip over its own lock";
    EXPECT_EQ(first.Open(false), 0);
    EXPECT_EQ(second.Open(true), 0);
}

TEST_F(ComLinkTest, PassesEveryByteValueUnchangedBothWays) {
    CComLink link(pty_.SlavePath(), 9600);
    ASSERT_EQ(link.Open(true), 0);
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);

    int written = -1;
    ASSERT_EQ(link.Write(all.data(), 256, &written), 0);
    EXPECT_EQ(written, 256);
    std::vector<uint8_t> seen(256);
    ASSERT_TRUE(pty_.ReadMaster(seen.data(), 256, 1000));
    EXPECT_EQ(seen, all);

    WriteMaster(all.data(), 256);
    std::vector<uint8_t> got(256);
    int count = -1;
    EXPECT_EQ(link.Read(got.data(), 256, &count, 1000), 0);
    EXPECT_EQ(count, 256);
    EXPECT_EQ(got, all);
}

TEST_F(ComLinkTest, SilentLineReturnsNothingAfterTheTimeoutPlusOneMsPerByte) {
    CComLink link(pty_.SlavePath(), 9600, kTestTimings);
    ASSERT_EQ(link.Open(true), 0);
    char buffer[300];
    int got = -1;
    const auto start = Clock::now();
    EXPECT_EQ(link.Read(buffer, 300, &got, 20), 0);
    const auto elapsed = MsSince(start);
    const long long expected = 20 + 300LL * kTestTimings.byteUs / 1000;
    EXPECT_EQ(got, 0);
    EXPECT_GE(elapsed, expected);
    EXPECT_LT(elapsed, OwnWaitBoundMs(expected));
}

TEST_F(ComLinkTest, ShortAnswerEndsWithWhatCameWhenTimeRunsOut) {
    CComLink link(pty_.SlavePath(), 9600);
    ASSERT_EQ(link.Open(true), 0);
    WriteMaster("abc", 3);
    char buffer[7];
    int got = -1;
    const auto start = Clock::now();
    EXPECT_EQ(link.Read(buffer, 7, &got, 100), 0);
    EXPECT_EQ(got, 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_GE(MsSince(start), 95);
}

TEST_F(ComLinkTest, AnswerArrivingInPiecesEndsTheReadWhenComplete) {
    CComLink link(pty_.SlavePath(), 9600);
    ASSERT_EQ(link.Open(true), 0);
    // The device's pace, not a wait of the test: the pieces come apart (or, on a busy machine,
    // together), and either way the read ends with the last of them.
    std::thread device([this] {
        WriteMaster("abc", 3);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        WriteMaster("defg", 4);
    });
    char buffer[7];
    int got = -1;
    const auto start = Clock::now();
    EXPECT_EQ(link.Read(buffer, 7, &got, kLongWaitMs), 0);
    const auto elapsed = MsSince(start);
    device.join();
    EXPECT_EQ(got, 7);
    EXPECT_EQ(std::string(buffer, 7), "abcdefg");
    EXPECT_LT(elapsed, kPromptMs) << "the last piece ends the read, not the timeout";
}

TEST_F(ComLinkTest, LineThatGoesAwayEndsTheReadAtOnce) {
    CComLink link(pty_.SlavePath(), 9600);
    ASSERT_EQ(link.Open(true), 0);
    pty_.CloseMaster();
    char buffer[7];
    int got = -1;
    const auto start = Clock::now();
    const int result = link.Read(buffer, 7, &got, kLongWaitMs);
    EXPECT_LT(MsSince(start), kPromptMs) << "the hang-up ends the read, not the timeout";
    EXPECT_EQ(got, 0);
    // Some kernels fail the read with EIO, a system error whose errno the link keeps; others
    // report an end of file.
    EXPECT_TRUE(result == lr::SystemError || result == 0) << result;
    if (result == lr::SystemError) {
        EXPECT_EQ(link.SystemErrorNumber(), EIO);
    }
}

TEST_F(ComLinkTest, WriteToALineThatWentAwayIsASystemErrorWithItsErrno) {
    CComLink link(pty_.SlavePath(), 9600);
    ASSERT_EQ(link.Open(true), 0);
    EXPECT_EQ(link.SystemErrorNumber(), 0);
    pty_.CloseMaster();
    int written = -1;
    EXPECT_EQ(link.Write("abc", 3, &written), lr::SystemError);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(link.SystemErrorNumber(), EIO);
}

TEST_F(ComLinkTest, WriteLargerThanTheLineBufferWaitsForRoom) {
    CComLink link(pty_.SlavePath(), 9600);
    ASSERT_EQ(link.Open(true), 0);
    std::vector<uint8_t> data(256 * 1024);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> seen(data.size());
    bool complete = false;
    std::thread device([&] { complete = pty_.ReadMaster(seen.data(), seen.size(), 5000); });
    int written = -1;
    EXPECT_EQ(link.Write(data.data(), static_cast<int>(data.size()), &written), 0);
    device.join();
    EXPECT_EQ(written, static_cast<int>(data.size()));
    EXPECT_TRUE(complete);
    EXPECT_TRUE(seen == data);
}

TEST_F(ComLinkTest, WriteToAStalledLineGivesUpAfter300MsPlusOneMsPerByte) {
    CComLink link(pty_.SlavePath(), 9600, kTestTimings);
    ASSERT_EQ(link.Open(true), 0);
    // Nobody reads the master, so the line's buffers fill up and a write finds no room.
    const std::vector<char> block(1000, 'w');
    int result = 0, written = 0;
    long long elapsed = 0;
    for (int i = 0; i < 1000 && result == 0; ++i) {
        const auto start = Clock::now();
        result = link.Write(block.data(), 1000, &written);
        elapsed = MsSince(start);
    }
    const long long bound = kTestTimings.serialWriteMs + 1000LL * kTestTimings.byteUs / 1000;
    EXPECT_EQ(result, 1010);
    EXPECT_LT(written, 1000);
    EXPECT_GE(elapsed, bound);
    EXPECT_LT(elapsed, OwnWaitBoundMs(bound));
    // Closing drops the output that cannot get out instead of waiting for it (the close of a
    // line with output pending would otherwise wait for it without end).
    const auto start = Clock::now();
    EXPECT_EQ(link.Open(false), 0);
    EXPECT_LT(MsSince(start), kPromptMs);
}

TEST_F(ComLinkTest, PurgeDropsPendingInput) {
    CComLink link(pty_.SlavePath(), 9600);
    ASSERT_EQ(link.Open(true), 0);
    WriteMaster("noise", 5);
    char byte = 0;
    ASSERT_EQ(link.Read(&byte, 1, nullptr, 1000), 0);  // the noise has arrived
    EXPECT_EQ(link.Purge(kPurgeInput), 1);
    WriteMaster("Z", 1);
    int got = -1;
    EXPECT_EQ(link.Read(&byte, 1, &got, 1000), 0);
    EXPECT_EQ(got, 1);
    EXPECT_EQ(byte, 'Z');
}

}  // namespace
