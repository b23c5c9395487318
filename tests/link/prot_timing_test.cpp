// What exchanges cost in time: a silent device one wait per attempt, an answering device nothing
// but the round trips.
#include <cerrno>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "link/tcpiplink.h"
#include "link/vr7prot.h"
#include "tests/common/simpeer.h"
#include "tests/common/testtimings.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t0) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

TEST(Timing, SilentDeviceOnSerialCostsOneWaitPerAttempt) {
    SimConnection sim{SimDevice{}};
    ASSERT_EQ(sim.Open(Transport::Pty), lr::Ok);
    sim.server->SetFaults({{SimFaultKind::Silent}});
    DeviceInfo info;
    const auto t0 = Clock::now();
    EXPECT_EQ(ReadDeviceInfo(sim.conn, 1, info), lr::NoAnswer);
    const long ms = MsSince(t0);
    const CommandTiming identify = sim.conn.Timings.identify;
    EXPECT_GE(ms, identify.attempts * identify.timeoutMs);
    // One request an attempt, each waited out, and nothing beyond.
    EXPECT_EQ(sim.server->Requests().size(), identify.attempts);
    EXPECT_LT(ms, OwnWaitBoundMs(SilentSerialMs(identify)));
}

TEST(Timing, SilentDeviceOnTcpEndsAtTheFirstWait) {
    SimConnection sim{SimDevice{}};
    ASSERT_EQ(sim.Open(Transport::Tcp), lr::Ok);
    sim.server->SetFaults({{SimFaultKind::Silent}});
    DeviceInfo info;
    const auto t0 = Clock::now();
    EXPECT_EQ(ReadDeviceInfo(sim.conn, 1, info), lr::TcpTimeout);
    const long ms = MsSince(t0);
    const long wait = sim.conn.Timings.identify.timeoutMs + sim.conn.Timings.tcpReadExtraMs;
    EXPECT_GE(ms, wait);
    EXPECT_EQ(sim.server->Requests().size(), 1u) << "the first wait ends the exchange";
    EXPECT_LT(ms, OwnWaitBoundMs(wait));
}

TEST(Timing, DeviceThatDropsTheConnectionFailsAtOnce) {
    SimConnection sim{SimDevice{}};
    ASSERT_EQ(sim.Open(Transport::Tcp), lr::Ok);
    // Long waits, none of which may be waited out.
    sim.conn.Timings = LinkTimings{};
    sim.conn.Timings.identify.timeoutMs = kLongWaitMs;
    sim.server->SetFaults({{SimFaultKind::Close}});
    DeviceInfo info;
    const auto t0 = Clock::now();
    // The cut answer uses up the first attempt; the link has closed with the connection, so the
    // next attempt fails at once instead of waiting out the timeout on a dead socket.
    EXPECT_EQ(ReadDeviceInfo(sim.conn, 1, info), lr::NotOpen);
    EXPECT_LT(MsSince(t0), kPromptMs);
    EXPECT_EQ(sim.server->Requests().size(), 1u);
    // The reason says that the device closed it, for this exchange and the next.
    EXPECT_EQ(sim.conn.SystemErrorNumber(), ECONNRESET);
    EXPECT_EQ(ReadDeviceInfo(sim.conn, 1, info), lr::NotOpen);
    EXPECT_EQ(sim.conn.SystemErrorNumber(), ECONNRESET);
    // A link opened again owes nothing to the one before.
    sim.server->SetFaults({});
    ASSERT_EQ(sim.SimPeer::Open(sim.conn), lr::Ok);
    EXPECT_EQ(ReadDeviceInfo(sim.conn, 1, info), lr::Ok);
    EXPECT_EQ(sim.conn.SystemErrorNumber(), 0);
}

// With every wait twice the default, a wait of any kind in each exchange (the shortest, the listen
// for a second answer, is 60 ms) would take the count past limitMs.
void ExpectFastIdentifications(Transport transport, int count, long limitMs) {
    SimConnection sim{SimDevice{}};
    ASSERT_EQ(sim.Open(transport), lr::Ok);
    sim.conn.Timings = LinkTimings{}.Scaled(2);
    DeviceInfo info;
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) ASSERT_EQ(ReadDeviceInfo(sim.conn, 1, info), lr::Ok);
    const long ms = MsSince(t0);
    EXPECT_LT(ms, limitMs) << count << " identifications over " << TransportName(transport);
    std::cout << count << " identifications over " << TransportName(transport) << ": " << ms
              << " ms\n";
}

TEST(Timing, AnsweringDeviceIsNotSlowedDown) {
    ExpectFastIdentifications(Transport::Tcp, 1000, kPromptMs);
    ExpectFastIdentifications(Transport::Pty, 1000, kPromptMs);
}

// Counts the link's writes: each frame must leave in one piece.
class CountingLink : public CTCPIPLink {
  public:
    using CTCPIPLink::CTCPIPLink;
    int Write(const void* buffer, int count, int* written) override {
        ++writes;
        return CTCPIPLink::Write(buffer, count, written);
    }
    int writes = 0;
};

TEST(Timing, EveryFrameGoesOutInOneWrite) {
    SimDevice device;
    device.files["a"] = std::vector<uint8_t>(2500, 0x11);
    SimConnection sim{device};
    ASSERT_TRUE(sim.server->Start({}));
    auto owned = std::make_unique<CountingLink>("127.0.0.1", std::to_string(sim.server->TcpPort()));
    CountingLink* link = owned.get();
    ASSERT_EQ(link->Open(true), 0);
    ASSERT_EQ(sim.conn.SetLink(std::move(owned)), 0);

    std::istringstream src(std::string(2030, 'x'));
    ASSERT_EQ(WriteDeviceFile(sim.conn, 1, &src, "b", nullptr), lr::Ok);
    std::ostringstream dest;
    ASSERT_EQ(ReadDeviceFile(sim.conn, 1, &dest, "a", nullptr), lr::Ok);
    EXPECT_EQ(link->writes, static_cast<int>(sim.server->Requests().size()));
    EXPECT_EQ(link->writes, 4 + 5);
}

}  // namespace
