// A site of simulated devices served at once: each device answers with its own number, files and
// faults, one device's misbehaviour never holds up another, and a whole site lives on one thread;
// and vr7sim serving the site its --device options and site files describe.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/inifile.h"
#include "base/uniquefd.h"
#include "link/connection.h"
#include "link/vr7prot.h"
#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"
#include "tests/common/testsite.h"
#include "tests/common/testtimings.h"
#include "tests/sim/support/loopback.h"
#include "tests/sim/support/simprogram.h"

namespace {

using Bytes = std::vector<uint8_t>;
const char kDemoFolder[] = VR7_SOURCE_DIR "/examples/vr7_12";

SimDevice NumberedDevice(uint32_t number, const std::string& fileA) {
    SimDevice device = SimDemoDevice();
    device.number = number;
    device.files["a"].assign(fileA.begin(), fileA.end());
    return device;
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
    out.read = ReadDeviceFile(conn, number, &file, "a", nullptr);
    out.bytes = file.str();
    conn.Close();
    conn.Open();
    std::istringstream upload("stored " + std::to_string(number));
    out.store = WriteDeviceFile(conn, number, &upload, "DUXGate.cfg", nullptr);
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
        {SiteFault::Refusing, kSimUnknownCommand, kSimUnknownCommand, lr::BadArgument},
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

// Devices sharing one serial line: each hears every request and answers its own number's; a
// request to any device is answered by all that answer, one answer after the other.
TEST(SimSite, DevicesOnOneLineAnswerTheirOwnNumber) {
    SimSite site;
    SimEndpoints line;
    line.tcp = false;
    line.pty = true;
    site.Add(NumberedDevice(1, "one"), {}, line);
    site.AddOnLine(0, NumberedDevice(2, "two"), {{SimFaultKind::Silent}});
    const size_t third = site.AddOnLine(1, NumberedDevice(3, "three"));
    ASSERT_TRUE(site.Start());
    ASSERT_EQ(site.PtyPath(third), site.PtyPath(0));

    connection conn;
    conn.Timings = kTestTimings;
    ASSERT_EQ(conn.OpenComLink(site.PtyPath(0), 115200), lr::Ok);
    for (const uint32_t number : {AnyDeviceAddress, 1u, 2u, 3u}) {
        SCOPED_TRACE(number);
        DeviceInfo info;
        const LinkResult identified = ReadDeviceInfo(conn, number, info);
        EXPECT_EQ(identified, number == 2                  ? lr::NoAnswer
                              : number == AnyDeviceAddress ? lr::TwoAnswers
                                                           : lr::Ok);
        if (identified == lr::Ok) {
            EXPECT_EQ(info.DeviceNumber(), number);
        }
    }
    std::istringstream upload("for three");
    ASSERT_EQ(WriteDeviceFile(conn, 3, &upload, "DUXGate.cfg", nullptr), lr::Ok);
    Bytes stored;
    EXPECT_FALSE(site.File(0, "DUXGate.cfg", stored));
    ASSERT_TRUE(site.File(third, "DUXGate.cfg", stored));
    EXPECT_EQ(std::string(stored.begin(), stored.end()), "for three");
    EXPECT_EQ(site.Requests(1).size(), site.Requests(third).size());  // every device heard all
}

// Two answers to one request, from two devices of one number on a shared line or from a device
// whose answer the line repeats (dup): the identification, which listens for a second answer,
// fails; after any other answer, a second one that comes before or after the next request went
// out fails that one.
TEST(SimSite, TwoAnswersToOneRequestFailTheExchange) {
    struct Case {
        const char* name;
        bool twoDevices;
        SimFault fault;
    };
    const Case cases[] = {
        {"two devices numbered 1", true, {SimFaultKind::Silent, -1, -1, 0, 0}},  // never
        {"identification repeated", false, {SimFaultKind::Duplicate, cmdIdentify}},
        {"header repeated", false, {SimFaultKind::Duplicate, cmdReadHeader}},
    };
    for (const Case& c : cases) {
        for (const unsigned baud : {0u, 9600u}) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(baud));
            SimSite site;
            SimEndpoints line;
            line.tcp = false;
            line.pty = true;
            line.paceBaud = baud;
            site.Add(NumberedDevice(1, "one"), {c.fault}, line);
            if (c.twoDevices) site.AddOnLine(0, NumberedDevice(1, "again"));
            ASSERT_TRUE(site.Start());
            connection conn;
            conn.Timings = LinkTimings{}.Scaled(0.2);
            ASSERT_EQ(conn.OpenComLink(site.PtyPath(0), baud == 0 ? 115200 : baud), lr::Ok);
            DeviceInfo info;
            const LinkResult identified = ReadDeviceInfo(conn, 1, info);
            SConfigInfo header;
            const LinkResult headerRead = ReadConfigHeader(conn, 1, header);
            if (c.fault.command == cmdReadHeader) {
                EXPECT_EQ(identified, lr::Ok);
                EXPECT_EQ(headerRead, lr::Ok);
                uint8_t entry[kConfigEntrySize];
                EXPECT_EQ(ReadConfigEntry(conn, 1, 1, entry, kConfigEntrySize, nullptr),
                          lr::TwoAnswers);
            } else {
                EXPECT_EQ(identified, lr::TwoAnswers);
            }
        }
    }
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

// Sends one whole frame on fd and reads one whole answer frame back; its bytes (empty when the
// answer did not come whole).
Bytes Exchange(int fd, const Bytes& frame) {
    if (::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()))
        return {};
    Bytes answer(kFrameSize);
    size_t got = 0, need = kFrameHeader;
    while (got < need && Readable(fd, 5000)) {
        const ssize_t n = ::recv(fd, answer.data() + got, need - got, 0);
        if (n <= 0) return {};
        got += static_cast<size_t>(n);
        if (got == static_cast<size_t>(kFrameHeader))
            need = static_cast<size_t>(FrameLength(answer.data())) + kFrameOverhead;
    }
    answer.resize(got == need ? got : 0);
    return answer;
}

// Waits until the site holds `count` connections, looking every millisecond; false when it still
// holds another number after kLongWaitMs (the serving thread notices a close at its next
// wake-up).
bool ConnectionsBecome(const SimSite& site, size_t count) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongWaitMs);
    while (site.Counters().connections != count && std::chrono::steady_clock::now() < giveUp)
        ::usleep(1000);
    return site.Counters().connections == count;
}

// The serving loop's work follows the traffic: exchanges on one connection change the watch list
// a few times each, as many times with 400 devices served as with one, and never rewrite it
// whole per wake-up.
TEST(SimSite, TheWatchListChangesWithTheTrafficNotWithTheDevicesServed) {
    constexpr int kExchanges = 50;
    size_t changes[2] = {};
    const size_t served[2] = {1, 400};
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(served[k]);
        SimSite site;
        for (size_t i = 0; i < served[k]; ++i) site.Add(NumberedDevice(1 + i, ""));
        ASSERT_TRUE(site.Start());
        ASSERT_TRUE(ConnectionsBecome(site, 0));
        const SimSite::LoopCounters before = site.Counters();
        {
            const UniqueFd fd = ConnectLoopback(site.TcpPort(0));
            ASSERT_TRUE(fd);
            for (int i = 0; i < kExchanges; ++i)
                ASSERT_EQ(Exchange(fd.Get(), MakeFrame(1, cmdIdentify)).size(), 46u) << i;
        }
        ASSERT_TRUE(ConnectionsBecome(site, 0));
        const SimSite::LoopCounters after = site.Counters();
        changes[k] = after.watchChanges - before.watchChanges;
        EXPECT_GE(after.wakeups - before.wakeups, static_cast<size_t>(kExchanges));
        // A rewrite per wake-up would be at least (devices + 1) x wake-ups.
        EXPECT_LE(changes[k], 4u * kExchanges + 4);
    }
    EXPECT_LE(changes[1], changes[0] + 4);
}

// A line of many devices keeps one log of what it carried, not one a device: every device still
// shows every request, and the one addressed answers.
TEST(SimSite, ALineOfManyDevicesKeepsOneLogOfItsRequests) {
    constexpr uint32_t kDevices = 100;
    SimSite site;
    site.Add(NumberedDevice(1, ""));
    for (uint32_t n = 2; n <= kDevices; ++n) site.AddOnLine(0, NumberedDevice(n, ""));
    ASSERT_TRUE(site.Start());
    const UniqueFd fd = ConnectLoopback(site.TcpPort(0));
    ASSERT_TRUE(fd);
    const uint32_t asked[] = {1, 37, kDevices, 37, AnyDeviceAddress};
    for (const uint32_t number : asked) {
        const Bytes answer = Exchange(fd.Get(), MakeFrame(number, cmdIdentify));
        ASSERT_EQ(answer.size(), 46u) << number;
        EXPECT_EQ(FrameAddress(answer.data()), number == AnyDeviceAddress ? 1u : number);
    }
    EXPECT_EQ(site.RequestsLogged(), std::size(asked));
    for (const size_t i : {size_t{0}, size_t{36}, size_t{kDevices - 1}})
        EXPECT_EQ(site.Requests(i).size(), std::size(asked)) << i;
    site.ClearRequests(5);
    EXPECT_EQ(site.RequestsLogged(), 0u);
}

// Whatever ends a connection (the client, the device, a request left half sent, an answer still
// held back) the site keeps nothing of it: its count of connections goes back to what it was.
TEST(SimSite, AnEndedConnectionLeavesNothingBehind) {
    struct Case {
        const char* name;
        std::vector<SimFault> faults;
        size_t sendBytes;  // of the identify request; 0: nothing
        bool readAnswer;
        bool deviceCloses;
    };
    SimFault held{SimFaultKind::Delay};
    held.value = 300;  // the answer still goes to a client that only stopped sending
    const Bytes identify = MakeFrame(AnyDeviceAddress, cmdIdentify);
    const Case cases[] = {
        {"closed by the client after an answer", {}, identify.size(), true, false},
        {"closed by the client without a word", {}, 0, false, false},
        {"closed with half a request sent", {}, identify.size() / 2, false, false},
        {"closed by the device", {{SimFaultKind::Close}}, identify.size(), true, true},
        {"closed while the answer is held back", {held}, identify.size(), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimSite site;
        site.Add(NumberedDevice(1, ""), c.faults);
        site.Add(NumberedDevice(2, ""));
        ASSERT_TRUE(site.Start());
        std::vector<UniqueFd> clients;
        for (int i = 0; i < 20; ++i) {
            clients.push_back(ConnectLoopback(site.TcpPort(0)));
            ASSERT_TRUE(clients.back());
            ASSERT_EQ(::send(clients.back().Get(), identify.data(), c.sendBytes, MSG_NOSIGNAL),
                      static_cast<ssize_t>(c.sendBytes));
        }
        const UniqueFd other = ConnectLoopback(site.TcpPort(1));
        if (!c.deviceCloses) {
            ASSERT_TRUE(ConnectionsBecome(site, clients.size() + 1));
        }
        for (UniqueFd& fd : clients) {
            if (c.readAnswer) {
                ASSERT_TRUE(Readable(fd.Get(), 5000));
            }
            fd.Reset();
        }
        EXPECT_TRUE(ConnectionsBecome(site, 1)) << site.Counters().connections;
        EXPECT_EQ(Exchange(other.Get(), MakeFrame(2, cmdIdentify)).size(), 46u);
    }
}

}  // namespace

namespace {

struct Listening {
    size_t index = 0;
    uint32_t number = 0;
    uint16_t port = 0;
};

// "listening N number NUMBER tcp 127.0.0.1:PORT"; all zero when the line is not one.
Listening ParseListening(const std::string& line) {
    Listening l;
    unsigned port = 0;
    int end = 0;
    if (std::sscanf(line.c_str(), "listening %zu number %u tcp 127.0.0.1:%u%n", &l.index, &l.number,
                    &port, &end) != 3 ||
        static_cast<size_t>(end) != line.size())
        return {};
    l.port = static_cast<uint16_t>(port);
    return l;
}

TEST(Vr7simSite, ServesTheDevicesOfItsDeviceOptionsAndSiteFilesInTheirOrder) {
    if (::access(Program::kPath, X_OK) != 0) GTEST_SKIP() << "vr7sim is not built";
    TempDir dir;
    const std::string served = dir.Write("served.txt", "served bytes");
    const std::string site = dir.Write("site.txt",
                                       "# two devices of the boiler house\n"
                                       "-:21@0 --protect\n"
                                       "\n"
                                       "-:22@0 --fault silent   # never answers\n");
    Program sim({"--device", "-:5@0", "--file", "x.cfg=" + served, "--site", site, "--device",
                 std::string(kDemoFolder) + "@0"});
    const uint32_t numbers[] = {5, 21, 22, 12};
    std::vector<Listening> lines;
    for (size_t i = 0; i < std::size(numbers); ++i) {
        const std::string line = sim.NextLine();
        lines.push_back(ParseListening(line));
        EXPECT_EQ(lines[i].index, i + 1) << line;
        EXPECT_EQ(lines[i].number, numbers[i]) << line;
        ASSERT_NE(lines[i].port, 0) << line;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(numbers[i]);
        connection conn;
        conn.Timings = kTestTimings;
        ASSERT_EQ(conn.OpenTcpIpLink("127.0.0.1", std::to_string(lines[i].port)), lr::Ok);
        DeviceInfo info;
        const LinkResult identified = ReadDeviceInfo(conn, AnyDeviceAddress, info);
        EXPECT_EQ(identified, numbers[i] == 22 ? lr::TcpTimeout : lr::Ok);
        if (identified == lr::Ok) {
            EXPECT_EQ(info.DeviceNumber(), numbers[i]);
        }
        std::ostringstream file;
        const LinkResult read = ReadDeviceFile(conn, numbers[i], &file, "x.cfg", nullptr);
        EXPECT_EQ(read == lr::Ok, numbers[i] == 5);
        std::istringstream upload("x");
        const LinkResult stored =
            WriteDeviceFile(conn, numbers[i], &upload, "DUXGate.cfg", nullptr);
        EXPECT_EQ(stored, numbers[i] == 21   ? lr::BadArgument
                          : numbers[i] == 22 ? lr::TcpTimeout
                                             : lr::Ok);
    }
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// A port no one listens on now: bound to pick it, then let go.
uint16_t FreePort() {
    const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

TEST(Vr7simSite, DevicesGivenOnePortShareIt) {
    if (::access(Program::kPath, X_OK) != 0) GTEST_SKIP() << "vr7sim is not built";
    const std::string port = std::to_string(FreePort());
    Program sim({"--device", "-:7@" + port, "--device", "-:8@" + port, "--protect"});
    EXPECT_EQ(sim.NextLine(), "listening 1 number 7 tcp 127.0.0.1:" + port);
    EXPECT_EQ(sim.NextLine(), "listening 2 number 8 tcp 127.0.0.1:" + port);
    connection conn;
    conn.Timings = kTestTimings;
    ASSERT_EQ(conn.OpenTcpIpLink("127.0.0.1", port), lr::Ok);
    for (const uint32_t number : {7u, 8u}) {
        DeviceInfo info;
        ASSERT_EQ(ReadDeviceInfo(conn, number, info), lr::Ok);
        EXPECT_EQ(info.DeviceNumber(), number);
        std::istringstream upload("x");
        EXPECT_EQ(WriteDeviceFile(conn, number, &upload, "DUXGate.cfg", nullptr),
                  number == 8 ? lr::BadArgument : lr::Ok);
    }
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST(Vr7simSite, PointsTheSettingsAtTheOneDeviceOfASite) {
    if (::access(Program::kPath, X_OK) != 0) GTEST_SKIP() << "vr7sim is not built";
    TempDir dir;
    const std::string ini = dir / "Vr7LonCfgMaker.ini";
    Program sim({"--device", std::string(kDemoFolder) + ":44@0", "--settings", ini});
    const Listening l = ParseListening(sim.NextLine());
    ASSERT_NE(l.port, 0);
    EXPECT_EQ(ini::ReadString(ini, "CONNECTION", "TCPIPport", ""), std::to_string(l.port));
    EXPECT_EQ(ini::ReadString(ini, "CONNECTION", "dev_nom", ""), "44");
    EXPECT_EQ(sim.Stop(SIGINT), 0);
}

TEST(Vr7simSite, RefusesWhatASiteCannotTake) {
    if (::access(Program::kPath, X_OK) != 0) GTEST_SKIP() << "vr7sim is not built";
    TempDir dir;
    const std::string site = dir.Write("site.txt", "-@0\n");
    const std::string badSite = dir.Write("bad.txt", "-@0\n-@0 --version x\n");
    const std::string emptySite = dir.Write("empty.txt", "# nothing yet\n");
    SimSite taken;
    taken.Add(SimDemoDevice());
    ASSERT_TRUE(taken.Start());
    const std::string takenPort = std::to_string(taken.TcpPort(0));
    const std::string single =
        " describes the single device; with --device or --site each device is "
        "FOLDER[:NUMBER]@TCPPORT followed by its own options";
    struct Case {
        std::vector<std::string> args;
        std::string message;  // what stderr starts with
    };
    const Case cases[] = {
        {{"--device", "-@0", "--device", "-@0", "--settings", dir / "x.ini"},
         "--settings points the program at one device; this site has 2\n"},
        {{"--tcp", "0", "--device", "-@0"}, "--tcp" + single + "\n"},
        {{"--protect", "--site", site}, "--protect" + single + "\n"},
        {{"--device", "-@0", "--pty"}, "--pty" + single + "\n"},
        {{"--site", site, "--folder", "x"}, "--folder" + single + "\n"},
        {{"--site", site, "--protect"}, "--protect must follow the --device it belongs to\n"},
        {{"--device", "-@x"}, "bad port: x\n"},
        {{"--device", "-@0", "--fault", "sleepy"}, "unknown fault kind: sleepy\n"},
        {{"--site", badSite}, badSite + ":2: bad version: x\n"},
        {{"--site", emptySite}, "no device to serve\n"},
        {{"--device", "-@0", "--device", "-@" + takenPort},
         "--device -@" + takenPort + ": tcp 127.0.0.1: "},
        {{"--site", site, "--device", dir / "none@0"}, "--device " + dir / "none@0: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args.back());
        Program sim(c.args);
        EXPECT_EQ(sim.Wait(), 2);
        EXPECT_EQ(sim.Errors().rfind("vr7sim: " + c.message, 0), 0u);
    }
}

}  // namespace
