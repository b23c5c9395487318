#include "link/tcpiplink.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "tests/common/testtimings.h"
#include "tests/link/support/loopserver.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool ReceiveExactly(int socket, void* bytes, size_t count) {
    auto* p = static_cast<char*>(bytes);
    while (count > 0) {
        const ssize_t n = ::recv(socket, p, count, 0);
        if (n <= 0) return false;
        p += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

TEST(TcpIpLink, ExchangesBytesWithAServer) {
    LoopServer server([](int s, LoopServer&) {
        char request[5];
        if (ReceiveExactly(s, request, sizeof request) && std::memcmp(request, "hello", 5) == 0)
            SendAll(s, "answer!", 7);
    });
    CTCPIPLink link("127.0.0.1", server.Port());
    EXPECT_FALSE(link.IsOpen());
    ASSERT_EQ(link.Open(true), 0);
    EXPECT_TRUE(link.IsOpen());

    int written = -1;
    EXPECT_EQ(link.Write("hello", 5, &written), 0);
    EXPECT_EQ(written, 5);
    char answer[8] = {};
    int got = -1;
    EXPECT_EQ(link.Read(answer, 7, &got, 500), 0);
    EXPECT_EQ(got, 7);
    EXPECT_STREQ(answer, "answer!");

    EXPECT_EQ(link.Read(nullptr, 7, &got, 10), 1001);
    EXPECT_EQ(link.Read(answer, 0, &got, 10), 1001);
    EXPECT_EQ(link.Write("x", 0, &written), 1001);
    EXPECT_EQ(link.Open(false), 0);
    EXPECT_FALSE(link.IsOpen());
}

TEST(TcpIpLink, RefusedConnectionLeavesTheLinkClosed) {
    CTCPIPLink link("127.0.0.1", UnusedLoopbackPort());
    const auto start = Clock::now();
    EXPECT_EQ(link.Open(true), 1003);
    EXPECT_LT(MsSince(start), kPromptMs) << "the refusal ends the connect, not its time limit";
    EXPECT_FALSE(link.IsOpen());
    char buffer[4];
    int count = -1;
    EXPECT_EQ(link.Read(buffer, 4, &count, 10), 1003);
    EXPECT_EQ(link.Write("abcd", 4, &count), 1003);
    EXPECT_EQ(link.Purge(kPurgeInput), 0);
}

TEST(TcpIpLink, HostThatDoesNotResolveFailsToOpen) {
    // A label longer than 63 characters cannot be put into a name server query, so the name
    // fails to resolve without one being asked.
    CTCPIPLink link(std::string(64, 'x') + ".invalid", "10001");
    EXPECT_EQ(link.Open(true), 1003);
    EXPECT_FALSE(link.IsOpen());
    CTCPIPLink badPort("127.0.0.1", "no-such-service-name");
    EXPECT_EQ(badPort.Open(true), 1003);
}

TEST(TcpIpLink, TriesTheNextAddressWhenTheFirstRefuses) {
    LoopServer server([](int s, LoopServer&) { SendAll(s, "v4", 2); });
    // As "localhost" usually resolves: ::1 first, then 127.0.0.1. The server is only on the
    // latter, so the walk has to get past a refusing first address. Numeric addresses only:
    // nothing is looked up.
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo *v6 = nullptr, *v4 = nullptr;
    ASSERT_EQ(::getaddrinfo("127.0.0.1", server.Port().c_str(), &hints, &v4), 0);
    if (::getaddrinfo("::1", server.Port().c_str(), &hints, &v6) != 0) {
        ::freeaddrinfo(v4);
        GTEST_SKIP() << "no IPv6 loopback address on this machine";
    }
    v6->ai_next = v4;
    const int socket = CTCPIPLink::ConnectToFirst(v6, 3000);
    v6->ai_next = nullptr;
    ::freeaddrinfo(v6);
    ::freeaddrinfo(v4);
    ASSERT_GE(socket, 0);
    ::fcntl(socket, F_SETFL, 0);  // the link's socket is non-blocking
    char answer[2];
    EXPECT_TRUE(ReceiveExactly(socket, answer, 2));
    EXPECT_EQ(std::string(answer, 2), "v4");
    ::close(socket);
}

sockaddr_in Loopback(const std::string& port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    return address;
}

addrinfo StreamAddress(int family, sockaddr_in& address, addrinfo* next) {
    addrinfo ai{};
    ai.ai_family = family;
    ai.ai_socktype = SOCK_STREAM;
    ai.ai_protocol = IPPROTO_TCP;
    ai.ai_addrlen = sizeof address;
    ai.ai_addr = reinterpret_cast<sockaddr*>(&address);
    ai.ai_next = next;
    return ai;
}

TEST(TcpIpLink, ConnectsToTheFirstAddressThatAccepts) {
    LoopServer server([](int s, LoopServer&) { SendAll(s, "ok", 2); });
    sockaddr_in refusing = Loopback(UnusedLoopbackPort()), listening = Loopback(server.Port());
    addrinfo second = StreamAddress(AF_INET, listening, nullptr);
    addrinfo first = StreamAddress(AF_INET, refusing, &second);
    // A family the machine has no sockets for is passed over like a refusing address.
    addrinfo unusable = StreamAddress(AF_MAX + 1, refusing, &first);

    const int socket = CTCPIPLink::ConnectToFirst(&unusable, 3000);
    ASSERT_GE(socket, 0);
    ::fcntl(socket, F_SETFL, 0);  // the link's socket is non-blocking
    char answer[2];
    EXPECT_TRUE(ReceiveExactly(socket, answer, 2));
    EXPECT_EQ(std::string(answer, 2), "ok");
    ::close(socket);

    second.ai_next = nullptr;
    first.ai_next = nullptr;
    EXPECT_EQ(CTCPIPLink::ConnectToFirst(&first, 3000), -1);
    EXPECT_EQ(CTCPIPLink::ConnectToFirst(nullptr, 3000), -1);
}

TEST(TcpIpLink, PeerSilentMidAnswerTimesOutAfterTimeoutPlusOneSecond) {
    LoopServer server([](int s, LoopServer& self) {
        SendAll(s, "abc", 3);
        self.WaitForStop(10000);
    });
    CTCPIPLink link("127.0.0.1", server.Port(), kTestTimings);
    ASSERT_EQ(link.Open(true), 0);
    char answer[7];
    int got = -1;
    const auto start = Clock::now();
    EXPECT_EQ(link.Read(answer, 7, &got, 20), 1011);
    const auto elapsed = MsSince(start);
    const long long wait = 20 + kTestTimings.tcpReadExtraMs;
    EXPECT_EQ(got, 3);
    EXPECT_GE(elapsed, wait);
    EXPECT_LT(elapsed, OwnWaitBoundMs(wait));
    EXPECT_TRUE(link.IsOpen());
}

// The link waits in its receive with the socket's receive timeout, which it keeps from one read
// to the next: a read with a shorter deadline than the one before still ends at its own.
TEST(TcpIpLink, EachReadEndsAtItsOwnDeadlineWhateverTheReadBefore) {
    // Answers every byte it is sent.
    LoopServer server([](int s, LoopServer&) {
        char request;
        while (ReceiveExactly(s, &request, 1)) SendAll(s, "A", 1);
    });
    CTCPIPLink link("127.0.0.1", server.Port(), kTestTimings);
    ASSERT_EQ(link.Open(true), 0);
    char byte = 0;
    int got = -1;
    for (const unsigned timeoutMs : {200u, 20u, 0u}) {
        // A read with a long deadline, ended by the answer, comes before each short one.
        ASSERT_EQ(link.Write("a", 1, nullptr), 0);
        auto start = Clock::now();
        ASSERT_EQ(link.Read(&byte, 1, &got, kLongWaitMs), 0);
        EXPECT_EQ(byte, 'A');
        EXPECT_LT(MsSince(start), kPromptMs) << "an answer ends the wait at once";

        start = Clock::now();
        EXPECT_EQ(link.Read(&byte, 1, &got, timeoutMs), 1011);
        const long long wait = timeoutMs + kTestTimings.tcpReadExtraMs;
        const long long elapsed = MsSince(start);
        EXPECT_EQ(got, 0);
        EXPECT_GE(elapsed, wait);
        EXPECT_LT(elapsed, OwnWaitBoundMs(wait)) << "timeout " << timeoutMs;
    }
}

TEST(TcpIpLink, PeerClosingMidAnswerEndsTheReadShort) {
    LoopServer server([](int s, LoopServer&) { SendAll(s, "abc", 3); });
    CTCPIPLink link("127.0.0.1", server.Port());
    ASSERT_EQ(link.Open(true), 0);
    char answer[7];
    int got = -1;
    auto start = Clock::now();
    EXPECT_EQ(link.Read(answer, 7, &got, kLongWaitMs), 0);
    EXPECT_EQ(got, 3);
    EXPECT_LT(MsSince(start), kPromptMs) << "the close ends the read, not the timeout";
    // The link is closed with the connection: every further use fails at once.
    EXPECT_FALSE(link.IsOpen());
    start = Clock::now();
    EXPECT_EQ(link.Read(answer, 7, &got, kLongWaitMs), 1003);
    EXPECT_EQ(link.Write("x", 1, &got), 1003);
    EXPECT_LT(MsSince(start), kPromptMs) << "nothing waits for the closed connection";
    EXPECT_EQ(link.Purge(kPurgeInput), 0);
}

TEST(TcpIpLink, WriteToAPeerThatStopsReadingClosesTheLink) {
    LoopServer server([](int, LoopServer& self) { self.WaitForStop(60000); }, 4096);
    CTCPIPLink link("127.0.0.1", server.Port(), kTestTimings);
    ASSERT_EQ(link.Open(true), 0);
    const std::vector<char> chunk(256 * 1024, 'x');
    int result = 0, written = 0;
    Clock::time_point lastStart;
    for (int i = 0; i < 400 && result == 0; ++i) {
        lastStart = Clock::now();
        result = link.Write(chunk.data(), static_cast<int>(chunk.size()), &written);
    }
    const auto lastElapsed = MsSince(lastStart);
    EXPECT_EQ(result, 1010);
    EXPECT_LT(written, static_cast<int>(chunk.size()));
    EXPECT_GE(lastElapsed, kTestTimings.tcpWriteMs);
    EXPECT_LT(lastElapsed, OwnWaitBoundMs(kTestTimings.tcpWriteMs));
    EXPECT_FALSE(link.IsOpen());
    char buffer[4];
    EXPECT_EQ(link.Write("abcd", 4, &written), 1003);
    EXPECT_EQ(link.Read(buffer, 4, &written, 10), 1003);
}

TEST(TcpIpLink, WriteToADroppedConnectionReportsAShortCountWithoutSigpipe) {
    LoopServer server([](int s, LoopServer&) {
        char hello;
        ReceiveExactly(s, &hello, 1);
        const linger reset{1, 0};  // close with a reset, as a device that is switched off
        ::setsockopt(s, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    });
    CTCPIPLink link("127.0.0.1", server.Port());
    ASSERT_EQ(link.Open(true), 0);
    ASSERT_EQ(link.Write("h", 1, nullptr), 0);
    server.Join();
    char buffer[4];
    int count = -1;
    const auto start = Clock::now();
    EXPECT_EQ(link.Read(buffer, 4, &count, kLongWaitMs), 0);
    EXPECT_LT(MsSince(start), kPromptMs) << "the reset ends the read, not the timeout";
    EXPECT_EQ(count, 0);
    // Without MSG_NOSIGNAL the write below would end the test program.
    EXPECT_EQ(link.Write("abcd", 4, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(link.IsOpen());
}

TEST(TcpIpLink, PurgeDropsPendingInputOnly) {
    LoopServer server([](int s, LoopServer&) {
        const std::string noise(100, 'n');
        SendAll(s, noise.data(), noise.size());
        char go;
        if (ReceiveExactly(s, &go, 1)) SendAll(s, "AB", 2);
    });
    LinkTimings timings;
    timings.tcpPurgeMs = kLongWaitMs;
    CTCPIPLink link("127.0.0.1", server.Port(), timings);
    ASSERT_EQ(link.Open(true), 0);
    char byte = 0;
    int got = 0;
    ASSERT_EQ(link.Read(&byte, 1, &got, 1000), 0);  // the noise has arrived
    const auto start = Clock::now();
    EXPECT_EQ(link.Purge(kPurgeInput), 1);
    EXPECT_LT(MsSince(start), kPromptMs) << "the noise goes at once";
    EXPECT_EQ(link.Purge(kPurgeInput), 1);  // nothing pending: done at once

    ASSERT_EQ(link.Write("g", 1, nullptr), 0);
    ASSERT_EQ(link.Read(&byte, 1, &got, 1000), 0);
    EXPECT_EQ(byte, 'A');
    EXPECT_EQ(link.Purge(1), 0);  // any other flag leaves the input alone
    ASSERT_EQ(link.Read(&byte, 1, &got, 1000), 0);
    EXPECT_EQ(byte, 'B');
}

}  // namespace
