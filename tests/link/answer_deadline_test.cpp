// The wait for an answer is a deadline: a device that trickles its answer a byte at a time cannot
// stretch an exchange beyond its timeout plus the link's allowance, over TCP/IP or a serial line.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "link/vr7prot.h"
#include "tests/common/simpeer.h"

namespace {

using Clock = std::chrono::steady_clock;

// What one attempt may take at most: the purge before it (over TCP/IP input that keeps coming
// holds it up to tcpPurgeMs), then the answer's timeout plus the allowance for answerBytes.
long AttemptBoundMs(Transport how, const CommandTiming& timing, int answerBytes) {
    const LinkTimings& t = kTestTimings;
    if (how == Transport::Tcp) return t.tcpPurgeMs + timing.timeoutMs + t.tcpReadExtraMs;
    return timing.timeoutMs + (static_cast<long>(t.byteUs) * answerBytes + 999) / 1000;
}

class AnswerDeadline : public ::testing::TestWithParam<Transport> {};

TEST_P(AnswerDeadline, TricklingDeviceCannotStretchAnExchange) {
    const LinkTimings& t = kTestTimings;
    const int identification = kDeviceInfoSize + kFrameOverhead;
    const bool tcp = GetParam() == Transport::Tcp;
    const struct {
        const char* what;
        int command;
        int gapMs;
        long boundMs;
    } cases[] = {
        // The whole answer (13 bytes) takes longer than its one attempt's deadline, while each
        // byte, and on a serial line each part of it, comes well within the timeout.
        {"open", cmdOpenFile, tcp ? 15 : 8, AttemptBoundMs(GetParam(), t.openFile, 13)},
        {"identify", cmdIdentify, 12,
         t.identify.attempts * AttemptBoundMs(GetParam(), t.identify, identification)},
        // A block that trickles: the first try and its eight repeats, each after the rest of the
        // answer before it was let in, then the transfer ends.
        {"download", cmdReadBlock, 5,
         static_cast<long>(t.openFile.timeoutMs) +
             FailingExchangesMs(9, t.block, AttemptBoundMs(GetParam(), t.block, kFrameSize))},
    };
    for (const auto& c : cases) {
        SimDevice device;
        device.number = 3;
        device.files["f"] = std::vector<uint8_t>(5000, 'z');
        SimConnection sim(device);
        ASSERT_EQ(sim.Open(GetParam()), lr::Ok);
        sim.server->SetFaults({{SimFaultKind::Trickle, c.command, -1, 0, -1, c.gapMs}});

        const auto start = Clock::now();
        LinkResult r;
        if (c.command == cmdOpenFile) {
            std::ostringstream dest;
            r = ReadDeviceFile(sim.conn, 3, &dest, "f", nullptr);
        } else if (c.command == cmdIdentify) {
            DeviceInfo info;
            r = ReadDeviceInfo(sim.conn, 3, info);
        } else {
            std::ostringstream dest;
            r = ReadDeviceFile(sim.conn, 3, &dest, "f", nullptr);
        }
        const long ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        // A timer restarted by each byte would let the whole answer in: the exchange fails only
        // because the answer has one deadline.
        EXPECT_NE(r, lr::Ok) << c.what;
        EXPECT_LE(ms, OwnWaitBoundMs(c.boundMs)) << c.what << ": result " << r;
        sim.server->Stop();
    }
}

INSTANTIATE_TEST_SUITE_P(Links, AnswerDeadline, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

}  // namespace
