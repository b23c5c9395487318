// Identification, configuration header and entries against the simulated device, over TCP and
// over a pseudo-terminal, including every way the device can fail an exchange.
#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "link/vr7prot.h"
#include "tests/common/simpeer.h"
#include "tests/common/testtext.h"

namespace {

SimDevice TestDevice() {
    SimDevice d;
    d.versionMajor = 3;
    d.versionMinor = 7;
    d.versionBuild = 0x1234;
    d.number = 0x01020304;
    d.headerValue2 = 0xA1B2C3D4;
    d.systems = {{W("Котельная"), "kot"}, {W("ИТП"), "itp"}};
    d.entries = {SimCalcEntry(1, "t1", 0x0A0B0C0D), SimConstEntry(2, "k1", 3.5f),
                 SimEventEntry("ev1", 5, 0x10, 77), SimEmptyEntry(), SimUnknownEntry(9)};
    std::vector<uint8_t> longEntry(20, 0xAB);
    longEntry[0] = 3;
    d.entries.push_back(longEntry);
    d.entries.push_back({3, 1, 'a', 'b', 0});
    return d;
}

class DeviceOverLink : public ::testing::TestWithParam<Transport> {
  protected:
    void SetUp() override { ASSERT_EQ(sim.Open(GetParam()), lr::Ok); }
    void Faults(std::vector<SimFault> faults) { sim.server->SetFaults(std::move(faults)); }
    size_t RequestsSent() { return sim.server->Requests().size(); }
    uint32_t number() const { return 0x01020304; }
    // What a device that stays silent ends an exchange with on this link.
    LinkResult SilentResult() const {
        return GetParam() == Transport::Tcp ? lr::TcpTimeout : lr::NoAnswer;
    }

    SimConnection sim{TestDevice()};
    connection& conn = sim.conn;
};

TEST_P(DeviceOverLink, IdentifiesByAnyAddressAndByItsNumber) {
    for (uint32_t address : {AnyDeviceAddress, number()}) {
        DeviceInfo info;
        ASSERT_EQ(ReadDeviceInfo(conn, address, info), lr::Ok);
        EXPECT_EQ(info.VersionMajor(), 3);
        EXPECT_EQ(info.VersionMinor(), 7);
        EXPECT_EQ(info.VersionBuild(), 0x1234);
        EXPECT_EQ(info.DeviceNumber(), number());
    }
}

TEST_P(DeviceOverLink, ReadsTheHeaderWithSystemNamesAndTexts) {
    SConfigInfo header;
    ASSERT_EQ(ReadConfigHeader(conn, number(), header), lr::Ok);
    EXPECT_EQ(header.EntryCount, 7u);
    EXPECT_EQ(header.HeaderValue2, 0xA1B2C3D4u);
    EXPECT_EQ(header.SystemCount, 2);
    EXPECT_EQ(header.SystemName[0], W("Котельная"));
    EXPECT_EQ(header.SystemText2[0], "kot");
    EXPECT_EQ(header.SystemName[1], W("ИТП"));
    EXPECT_EQ(header.SystemText2[1], "itp");
    EXPECT_EQ(header.SystemName[2], "");
}

TEST_P(DeviceOverLink, ReadsEntriesOfEveryTypeAndNoneOfAnotherLength) {
    const SimDevice device = TestDevice();
    for (uint16_t i = 1; i <= 5; ++i) {
        uint8_t entry[17] = {};
        int length = -1;
        ASSERT_EQ(ReadConfigEntry(conn, number(), i, entry, 17, &length), lr::Ok) << i;
        EXPECT_EQ(length, 17);
        EXPECT_EQ(std::vector<uint8_t>(entry, entry + 17), device.entries[i - 1]) << i;
    }
    // An entry of 20 bytes and one of 5 are no entries: garbled, nothing copied.
    uint8_t entry[20] = {};
    int length = -1;
    EXPECT_EQ(ReadConfigEntry(conn, number(), 6, entry, 17, &length), lr::Garbled);
    EXPECT_EQ(ReadConfigEntry(conn, number(), 7, entry, 17, &length), lr::Garbled);
    EXPECT_EQ(length, -1);
    EXPECT_EQ(entry[0], 0);
}

TEST_P(DeviceOverLink, RefusalCodesComeBackAsTheDeviceSentThemAndZeroAs255) {
    EXPECT_EQ(ReadConfigEntry(conn, number(), 99, nullptr, 0, nullptr), kSimNoSuchEntry);
    Faults({{SimFaultKind::Refuse, -1, -1, 0, -1, 0}});
    DeviceInfo info;
    SConfigInfo header;
    uint8_t entry[17];
    EXPECT_EQ(ReadDeviceInfo(conn, number(), info), 255);
    EXPECT_EQ(ReadConfigHeader(conn, number(), header), 255);
    EXPECT_EQ(ReadConfigEntry(conn, number(), 1, entry, 17, nullptr), 255);
    Faults({{SimFaultKind::Refuse, -1, -1, 0, -1, 0x15}});
    EXPECT_EQ(ReadDeviceInfo(conn, number(), info), 21);
    EXPECT_EQ(ReadConfigHeader(conn, number(), header), 21);
    EXPECT_EQ(ReadConfigEntry(conn, number(), 1, entry, 17, nullptr), 21);
}

TEST_P(DeviceOverLink, WrongCheckByteGives1013WithoutRepeating) {
    Faults({{SimFaultKind::BadCheck, cmdReadHeader}});
    sim.server->ClearRequests();
    SConfigInfo header;
    EXPECT_EQ(ReadConfigHeader(conn, number(), header), lr::BadCheck);
    EXPECT_EQ(RequestsSent(), 1u);
}

TEST_P(DeviceOverLink, OverlongLengthFieldUsesAnAttemptAndTheNextOneSucceeds) {
    Faults({{SimFaultKind::OversizeLength, cmdIdentify, -1, 0, 1, 1100}});
    sim.server->ClearRequests();
    DeviceInfo info;
    EXPECT_EQ(ReadDeviceInfo(conn, number(), info), lr::Ok);
    EXPECT_EQ(info.DeviceNumber(), number());
    EXPECT_EQ(RequestsSent(), 2u);

    Faults({{SimFaultKind::OversizeLength, cmdIdentify, -1, 0, -1, 1100}});
    EXPECT_EQ(ReadDeviceInfo(conn, number(), info), lr::BadLength);
}

TEST_P(DeviceOverLink, StrayBytesAfterAnAnswerDoNotSpoilTheNextExchange) {
    Faults({{SimFaultKind::LongAnswer, cmdIdentify, -1, 0, 1, 40}});
    DeviceInfo info;
    EXPECT_EQ(ReadDeviceInfo(conn, number(), info), lr::Ok);
    SConfigInfo header;
    EXPECT_EQ(ReadConfigHeader(conn, number(), header), lr::Ok);
    EXPECT_EQ(header.EntryCount, 7u);
}

TEST_P(DeviceOverLink, AnswerCutShortFailsTheExchange) {
    // Over a serial line the body read times out with a short count (1017, repeated); over TCP
    // the link itself reports the missing bytes as a timeout.
    Faults({{SimFaultKind::ShortAnswer, cmdReadEntry, -1, 0, -1, 3}});
    sim.server->ClearRequests();
    uint8_t entry[17];
    const LinkResult r = ReadConfigEntry(conn, number(), 1, entry, 17, nullptr);
    if (GetParam() == Transport::Tcp) {
        EXPECT_EQ(r, lr::TcpTimeout);
        EXPECT_EQ(RequestsSent(), 1u);
    } else {
        EXPECT_EQ(r, lr::BadLength);
        EXPECT_EQ(RequestsSent(), 3u);
    }
}

TEST_P(DeviceOverLink, FramesForAnotherDeviceGetNoAnswer) {
    uint8_t entry[17];
    EXPECT_EQ(ReadConfigEntry(conn, number() + 1, 1, entry, 17, nullptr), SilentResult());
}

TEST_P(DeviceOverLink, EntryFailingTwiceIsReadOnTheThirdAttempt) {
    Faults({{SimFaultKind::Silent, cmdReadEntry, 2, 0, 2}});
    uint8_t entry[17] = {};
    if (GetParam() == Transport::Tcp) {
        // A TCP timeout is not repeated inside the exchange; the caller's own repeats carry on.
        EXPECT_EQ(ReadConfigEntry(conn, number(), 2, entry, 17, nullptr), lr::TcpTimeout);
        EXPECT_EQ(ReadConfigEntry(conn, number(), 2, entry, 17, nullptr), lr::TcpTimeout);
    }
    EXPECT_EQ(ReadConfigEntry(conn, number(), 2, entry, 17, nullptr), lr::Ok);
    EXPECT_EQ(entry[0], 1);
}

TEST_P(DeviceOverLink, DelayedAnswerWithinTheTimeoutIsTaken) {
    // The answer comes after a quarter of the timeout; only the delay is waited.
    conn.Timings.identify.timeoutMs = 400;
    Faults({{SimFaultKind::Delay, cmdIdentify, -1, 0, 1, 100}});
    DeviceInfo info;
    EXPECT_EQ(ReadDeviceInfo(conn, number(), info), lr::Ok);
    EXPECT_EQ(info.VersionBuild(), 0x1234);
}

// Answers cut short are garbled, never read with zeros for what did not come: an identification
// of 22 bytes, a header cut inside a system's name. Every attempt is made.
TEST_P(DeviceOverLink, AnswersCutShortAreGarbledAfterEveryAttempt) {
    Faults({{SimFaultKind::CutData, cmdIdentify, -1, 0, -1, 22},
            {SimFaultKind::CutData, cmdReadHeader, -1, 0, -1, 9 + 10 + 4 + 2}});
    sim.server->ClearRequests();
    DeviceInfo info;
    info.Bytes.fill(0x99);
    EXPECT_EQ(ReadDeviceInfo(conn, number(), info), lr::Garbled);
    EXPECT_EQ(info.Bytes[36], 0x99);
    SConfigInfo header;
    header.SystemName[0] = "old";
    EXPECT_EQ(ReadConfigHeader(conn, number(), header), lr::Garbled);
    EXPECT_EQ(header.SystemName[0], "old");
    EXPECT_EQ(RequestsSent(), 6u);
}

TEST_P(DeviceOverLink, HeaderOfItsEightBytesAloneGivesNineEmptySystems) {
    Faults({{SimFaultKind::CutData, cmdReadHeader, -1, 0, -1, 8}});
    SConfigInfo header;
    header.SystemName[0] = "old";
    ASSERT_EQ(ReadConfigHeader(conn, number(), header), lr::Ok);
    EXPECT_EQ(header.SystemCount, 9);
    EXPECT_EQ(header.SystemName[0], "");
    EXPECT_EQ(header.EntryCount, 7u);
    EXPECT_EQ(header.HeaderValue2, 0xA1B2C3D4u);
}

TEST_P(DeviceOverLink, HeaderWithMoreThanNineSystemsKeepsNine) {
    sim.server->With([](SimResponder& r) {
        r.Device().systems.clear();
        for (int i = 1; i <= 12; ++i)
            r.Device().systems.push_back({"s" + std::to_string(i), "f" + std::to_string(i)});
    });
    SConfigInfo header;
    ASSERT_EQ(ReadConfigHeader(conn, number(), header), lr::Ok);
    EXPECT_EQ(header.SystemCount, 9);
    EXPECT_EQ(header.SystemName[8], "s9");
    EXPECT_EQ(header.SystemText2[8], "f9");
}

TEST_P(DeviceOverLink, ConnectionStateFailures) {
    DeviceInfo info;
    ASSERT_TRUE(conn.TryLock());
    EXPECT_EQ(ReadDeviceInfo(conn, number(), info), lr::LockFailed);
    conn.Unlock();
    conn.Close();
    EXPECT_EQ(ReadDeviceInfo(conn, number(), info), lr::NotOpen);
}

INSTANTIATE_TEST_SUITE_P(Links, DeviceOverLink, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

TEST(DeviceOverTcp, LinkThatCannotConnectGives1003) {
    SimServer server(SimDevice{});
    ASSERT_TRUE(server.Start({}));
    const std::string port = std::to_string(server.TcpPort());
    server.Stop();  // nobody listens there any more
    connection conn;
    EXPECT_EQ(conn.OpenTcpIpLink("127.0.0.1", port), lr::NotOpen);
    DeviceInfo info;
    EXPECT_EQ(ReadDeviceInfo(conn, 1, info), lr::NotOpen);
}

}  // namespace
