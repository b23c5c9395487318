// A paced pty is a serial line: a request is in when its last byte has crossed the line, the
// answer goes out byte by byte at the line's speed, one answer after another. And a device that
// is busy for a moment (the late fault) answers what came meanwhile in order behind it, over TCP
// and over a paced pty alike. Every time here is a lower bound; upper bounds are generous.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/lebytes.h"
#include "base/uniquefd.h"
#include "link/connection.h"
#include "link/vr7prot.h"
#include "sim/simfault.h"
#include "sim/simserver.h"
#include "tests/common/vr7wire.h"
#include "tests/sim/support/loopback.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// Rounding in the two clocks' arithmetic, not a margin for slowness.
constexpr auto kTolerance = std::chrono::microseconds(1);
// Generous: the machine is shared and may be loaded.
constexpr auto kSlack = std::chrono::seconds(3);

// The time count bytes take on a line of baud baud (10 bits a byte); none unpaced.
nanoseconds Wire(size_t count, unsigned baud) {
    return baud == 0 ? nanoseconds(0) : nanoseconds(count * 10'000'000'000ull / baud);
}

// The device of the literal frames (number 7, one calc entry, file "a"), here with a file of
// fileSize bytes.
SimDevice WireDevice(size_t fileSize = 2) {
    SimDevice device;
    device.number = 7;
    device.entries = {SimCalcEntry(1, "t1", 0x01020304)};
    device.files["a"] = fileSize == 2 ? Bytes{'h', 'i'} : Bytes(fileSize, 0x41);
    return device;
}

UniqueFd OpenRawPty(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios tio{};
    if (fd && ::tcgetattr(fd.Get(), &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd.Get(), TCSANOW, &tio);
    }
    return fd;
}

void WriteAll(int fd, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        ASSERT_GT(n, 0);
        bytes += n;
        count -= static_cast<size_t>(n);
    }
}

// One answer as the client saw it: its bytes and when its first and last byte came, from t0.
struct Seen {
    Bytes bytes;
    Clock::duration first{};
    Clock::duration last{};
};

// Reads one whole frame (or what comes of it within the slack), reading no byte beyond it.
Seen ReadFrame(int fd, Clock::time_point t0) {
    Seen seen;
    const auto giveUp = Clock::now() + kSlack;
    size_t want = kFrameHeader;
    uint8_t buffer[2048];
    while (seen.bytes.size() < want && Clock::now() < giveUp) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, want - seen.bytes.size()));
        if (n <= 0) break;
        const auto at = Clock::now() - t0;
        if (seen.bytes.empty()) seen.first = at;
        seen.last = at;
        seen.bytes.insert(seen.bytes.end(), buffer, buffer + n);
        if (seen.bytes.size() == static_cast<size_t>(kFrameHeader))
            want = static_cast<size_t>(FrameLength(seen.bytes.data())) + kFrameOverhead;
    }
    return seen;
}

Bytes Concat(const std::vector<Bytes>& frames) {
    Bytes all;
    for (const Bytes& f : frames) all.insert(all.end(), f.begin(), f.end());
    return all;
}

TEST(SimPace, AnAnswerTakesTheWireTimeOfTheRequestAndTheAnswer) {
    SimDevice device;
    device.number = 7;
    SimEndpoints endpoints;
    endpoints.tcp = false;
    endpoints.pty = true;
    endpoints.paceBaud = 9600;
    SimServer server(device);
    ASSERT_TRUE(server.Start(endpoints));
    connection conn;
    ASSERT_EQ(conn.OpenComLink(server.PtyPath(), 9600), lr::Ok);

    // The identification: a 9-byte request and a 46-byte answer, 10 bits a byte at 9600 Bd.
    const auto wire = std::chrono::microseconds((9 + 46) * 10 * 1000000 / 9600);
    DeviceInfo info;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(ReadDeviceInfo(conn, 7, info), lr::Ok);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, wire);
    EXPECT_EQ(info.DeviceNumber(), 7u);
}

// Requests written at once (in two pieces, the second seen while the first is still on the line)
// are taken over their wire time one after another; each answer starts a byte time after its
// request is in and the answer before it has left, and its bytes come at the line's speed.
TEST(SimPace, RequestsAndAnswersCrossTheLineByteByByte) {
    const Bytes block200 = [] {
        Bytes data(4 + 200, 0x41);
        PutLe32(data.data(), 200);
        return MakeFrame(7, cmdReadBlock, data);
    }();
    const Bytes size200 = MakeFrame(7, cmdOpenFile, {200, 0, 0, 0});
    const Bytes fullFrame = MakeFrame(7, cmdWriteBlock, Bytes(kMaxFrameData, 0x55));  // 1024 bytes
    const struct {
        const char* name;
        unsigned baud;
        std::vector<Bytes> requests;
        std::vector<Bytes> answers;
    } cases[] = {
        {"identify", 9600, {wire::kIdentify}, {wire::kIdentification}},
        {"identify fast", 115200, {wire::kIdentify}, {wire::kIdentification}},
        {"back to back",
         9600,
         {wire::kIdentify, wire::kReadHeader},
         {wire::kIdentification, wire::kHeader}},
        {"a whole frame", 9600, {fullFrame}, {wire::kNoTransfer}},
        // Slow enough that its first byte comes long before its last, on a loaded machine too.
        {"a long answer", 2400, {wire::kOpenAForRead, wire::kAskNextBlock}, {size200, block200}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimServer server(WireDevice(200));
        SimEndpoints endpoints;
        endpoints.tcp = false;
        endpoints.pty = true;
        endpoints.paceBaud = c.baud;
        ASSERT_TRUE(server.Start(endpoints));
        const UniqueFd fd = OpenRawPty(server.PtyPath());
        ASSERT_TRUE(fd);

        const Bytes all = Concat(c.requests);
        const auto t0 = Clock::now();
        WriteAll(fd.Get(), all.data(), all.size() / 2);
        WriteAll(fd.Get(), all.data() + all.size() / 2, all.size() - all.size() / 2);

        size_t requestBytes = 0;
        nanoseconds lineFree(0);  // when the answer before has left, from t0
        for (size_t i = 0; i < c.answers.size(); ++i) {
            SCOPED_TRACE(i);
            const Seen seen = ReadFrame(fd.Get(), t0);
            ASSERT_EQ(seen.bytes, c.answers[i]);
            requestBytes += c.requests[i].size();
            const nanoseconds start = std::max(Wire(requestBytes, c.baud), lineFree);
            const nanoseconds firstDue = start + Wire(1, c.baud);
            const nanoseconds lastDue = start + Wire(seen.bytes.size(), c.baud);
            EXPECT_GE(seen.first, firstDue - kTolerance);
            EXPECT_GE(seen.last, lastDue - kTolerance);
            EXPECT_LT(seen.last, lastDue + kSlack);
            // A long answer is seen to begin well before all of it could have crossed the line:
            // it is not sent in one burst at the end.
            if (Wire(seen.bytes.size(), c.baud) >= milliseconds(800)) {
                EXPECT_LT(seen.first, lastDue - Wire(seen.bytes.size(), c.baud) / 2);
            }
            lineFree = lastDue;
        }
    }
}

// The late fault: one answer comes value ms late; the device carries the request out as usual,
// and what was asked meanwhile (a retry first) is answered in order behind it, each after the one
// before, and none of those late again. At the file blocks written the closing empty block
// counts too: skip=1 makes it late for a file of one block.
TEST(SimPace, ALateAnswerIsFollowedByTheAnswersToWhatCameMeanwhile) {
    constexpr int kLateMs = 2000;  // far beyond what a loaded machine adds to an answer
    const struct {
        const char* fault;
        std::vector<Bytes> requests;
        std::vector<Bytes> answers;
        size_t late;
    } cases[] = {
        {"late,at=tree,value=2000",
         {wire::kReadEntry1, wire::kReadEntry1, wire::kReadEntry9},
         {wire::kEntry1, wire::kEntry1, wire::kNoSuchEntry},
         0},
        {"late,at=upload,skip=1,value=2000",
         {wire::kOpenAForWrite, wire::kWriteXy, wire::kWriteEnd, wire::kIdentify},
         {wire::kReadyForFile, wire::kAckBlock, wire::kAckBlock, wire::kIdentification},
         2},
    };
    for (const unsigned baud : {0u, 9600u}) {  // 0: over TCP
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.fault) + (baud == 0 ? " over TCP" : " over a paced pty"));
            SimFault fault;
            ASSERT_TRUE(ParseSimFault(c.fault, fault));
            SimServer server(WireDevice());
            server.SetFaults({fault});
            SimEndpoints endpoints;
            endpoints.tcp = baud == 0;
            endpoints.pty = baud != 0;
            endpoints.paceBaud = baud;
            ASSERT_TRUE(server.Start(endpoints));
            const UniqueFd fd =
                baud == 0 ? ConnectLoopback(server.TcpPort()) : OpenRawPty(server.PtyPath());
            ASSERT_TRUE(fd);

            const Bytes all = Concat(c.requests);
            const auto t0 = Clock::now();
            WriteAll(fd.Get(), all.data(), all.size());

            size_t requestBytes = 0;
            nanoseconds lineFree(0);
            for (size_t i = 0; i < c.answers.size(); ++i) {
                SCOPED_TRACE(i);
                const Seen seen = ReadFrame(fd.Get(), t0);
                ASSERT_EQ(seen.bytes, c.answers[i]);
                requestBytes += c.requests[i].size();
                nanoseconds start = std::max(Wire(requestBytes, baud), lineFree);
                if (i == c.late) start += milliseconds(kLateMs);
                const nanoseconds lastDue = start + Wire(seen.bytes.size(), baud);
                EXPECT_GE(seen.last, lastDue - kTolerance);
                // Only the one answer is late: those before it come before its delay is over,
                // those after it before a second delay could be.
                EXPECT_LT(seen.last, milliseconds(kLateMs * (i < c.late ? 1 : 2)));
                lineFree = lastDue;
            }
            Bytes stored;
            if (c.late == 2) {
                EXPECT_TRUE(server.File("a", stored));
                EXPECT_EQ(stored, (Bytes{'x', 'y'}));
            }
        }
    }
}

}  // namespace
