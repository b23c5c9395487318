// A site of simulated devices served at once: each device answers with its own number, files and
// faults, one device's misbehaviour never holds up another, and a whole site lives on one thread.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "connection.h"
#include "simpeer.h"
#include "simsite.h"
#include "uniquefd.h"
#include "vr7prot.h"

namespace {

using Bytes = std::vector<uint8_t>;

SimDevice NumberedDevice(uint32_t number, const std::string& fileA) {
    SimDevice device = SimDemoDevice();
    device.number = number;
    device.files["a"].assign(fileA.begin(), fileA.end());
    return device;
}

UniqueFd ConnectLoopback(uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) fd.Reset();
    return fd;
}

bool Readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

// What one device of a site does with a read of file "a" and a store, each over a connection of
// its own.
struct Outcome {
    LinkResult identify;
    uint32_t number;
    LinkResult read;
    std::string bytes;
    LinkResult store;
};

Outcome Commission(const TestSite& site, size_t i, uint32_t number) {
    Outcome out{};
    connection conn;
    site.PointAt(conn, i);
    if (conn.Open() != lr::Ok) return out;
    DeviceInfo info;
    out.identify = ReadDeviceInfo(conn, AnyDeviceAddress, info);
    out.number = info.DeviceNumber();
    conn.Close();
    conn.Open();  // a dropping device closed the first connection
    std::ostringstream file;
    out.read = ReadDeviceFile(conn, number, &file, "a", nullptr, nullptr);
    out.bytes = file.str();
    conn.Close();
    conn.Open();
    std::istringstream upload("stored " + std::to_string(number));
    out.store = WriteDeviceFile(conn, number, &upload, "DUXGate.cfg", nullptr, nullptr);
    return out;
}

TEST(SimSite, EachDeviceAnswersWithItsOwnNumberFilesAndFaults) {
    struct Case {
        SiteFault fault;
        LinkResult identify;
        LinkResult read;
        LinkResult store;
    };
    const Case cases[] = {
        {SiteFault::None, lr::Ok, lr::Ok, lr::Ok},
        {SiteFault::Protected, lr::Ok, lr::Ok, lr::BadArgument},
        {SiteFault::Silent, lr::TcpTimeout, lr::TcpTimeout, lr::TcpTimeout},
        {SiteFault::Refusing, kSimUnknownCommand, lr::BadArgument, lr::BadArgument},
        {SiteFault::Dropping, lr::NotOpen, lr::BadLength, lr::BadLength},
        {SiteFault::None, lr::Ok, lr::Ok, lr::Ok},
    };
    TestSite site;
    for (size_t i = 0; i < std::size(cases); ++i)
        site.Add(NumberedDevice(40 + i, "file of " + std::to_string(40 + i)), cases[i].fault);
    ASSERT_TRUE(site.Start());

    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const uint32_t number = static_cast<uint32_t>(40 + i);
        SCOPED_TRACE(std::string(SiteFaultName(c.fault)) + " device " + std::to_string(number));
        const Outcome out = Commission(site, i, number);
        EXPECT_EQ(out.identify, c.identify);
        EXPECT_EQ(out.read, c.read);
        EXPECT_EQ(out.store, c.store);
        if (c.identify == lr::Ok) {
            EXPECT_EQ(out.number, number);
        }
        if (c.read == lr::Ok) {
            EXPECT_EQ(out.bytes, "file of " + std::to_string(number));
        }
        Bytes stored;
        const bool hasStored = site.site.File(i, "DUXGate.cfg", stored);
        EXPECT_EQ(hasStored, c.store == lr::Ok);
        if (hasStored) {
            EXPECT_EQ(std::string(stored.begin(), stored.end()),
                      "stored " + std::to_string(number));
        }
    }
}

// A device that holds its answer back holds up nothing else: another device of the site, and
// another connection to the same device, are answered meanwhile.
TEST(SimSite, AHeldBackAnswerHoldsUpNoOtherDeviceOrConnection) {
    SimSite site;
    SimFault delay{SimFaultKind::Delay};
    delay.value = 60000;
    delay.times = 1;
    site.Add(NumberedDevice(1, ""), {delay});
    SimFault trickle{SimFaultKind::Trickle};
    trickle.value = 60000;
    site.Add(NumberedDevice(2, ""), {trickle});
    site.Add(NumberedDevice(3, ""));
    ASSERT_TRUE(site.Start());

    const Bytes identify = MakeFrame(AnyDeviceAddress, cmdIdentify);
    const UniqueFd delayed = ConnectLoopback(site.TcpPort(0));
    const UniqueFd trickled = ConnectLoopback(site.TcpPort(1));
    const UniqueFd sameDevice = ConnectLoopback(site.TcpPort(0));
    const UniqueFd other = ConnectLoopback(site.TcpPort(2));
    for (const UniqueFd* fd : {&delayed, &trickled, &sameDevice, &other}) {
        ASSERT_TRUE(*fd);
        ASSERT_EQ(::send(fd->Get(), identify.data(), identify.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(identify.size()));
    }
    // Each answer that is not held back comes whole (46 bytes) while the others still wait.
    for (const UniqueFd* fd : {&sameDevice, &other}) {
        Bytes answer(64);
        size_t got = 0;
        while (got < 46 && Readable(fd->Get(), 5000)) {
            const ssize_t n = ::recv(fd->Get(), answer.data() + got, answer.size() - got, 0);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        EXPECT_EQ(got, 46u);
    }
    EXPECT_FALSE(Readable(delayed.Get(), 0));
    EXPECT_FALSE(Readable(trickled.Get(), 0));
    site.Stop();                                 // does not wait for the held-back answers
    EXPECT_TRUE(Readable(delayed.Get(), 1000));  // closed
}

TEST(SimSite, AnEndpointThatCannotOpenNamesItsDeviceAndServesNothing) {
    SimSite first;
    first.Add(SimDemoDevice());
    ASSERT_TRUE(first.Start());

    SimSite site;
    site.Add(SimDemoDevice());
    site.Add(SimDemoDevice(), {}, first.TcpPort(0));  // taken
    std::string error;
    size_t failed = 99;
    EXPECT_FALSE(site.Start(&error, &failed));
    EXPECT_EQ(failed, 1u);
    EXPECT_NE(error.find("tcp 127.0.0.1"), std::string::npos) << error;
    EXPECT_FALSE(site.Serving());
    EXPECT_FALSE(ConnectLoopback(site.TcpPort(0)));
}

int ThreadsOfThisProcess() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    return -1;
}

TEST(SimSite, TwoHundredDevicesAreServedByOneThread) {
    const int before = ThreadsOfThisProcess();
    TestSite site;
    for (uint32_t n = 1; n <= 200; ++n) site.Add(NumberedDevice(n, ""));
    ASSERT_TRUE(site.Start());
    EXPECT_EQ(ThreadsOfThisProcess(), before + 1);
    for (size_t i = 0; i < 200; ++i) {
        connection conn;
        site.PointAt(conn, i);
        ASSERT_EQ(conn.Open(), lr::Ok);
        DeviceInfo info;
        ASSERT_EQ(ReadDeviceInfo(conn, AnyDeviceAddress, info), lr::Ok);
        EXPECT_EQ(info.DeviceNumber(), i + 1);
    }
}

}  // namespace
