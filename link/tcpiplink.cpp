#include "tcpiplink.h"

#include "pollwait.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>
#include <utility>

namespace {

using namespace pollwait;

// A non-blocking connect bounded in time: a blocking one waits about two minutes on Linux for
// an address that does not answer, with the window frozen all that time.
bool ConnectWithin(int fd, const addrinfo& ai, int timeoutMs) {
    if (::connect(fd, ai.ai_addr, ai.ai_addrlen) == 0) return true;
    if (errno != EINPROGRESS && errno != EINTR) return false;
    short revents = 0;
    if (PollUntil(fd, POLLOUT, Clock::now() + Millis(timeoutMs), revents) <= 0) return false;
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

}  // namespace

CTCPIPLink::CTCPIPLink(std::string host, std::string tcpPort, const LinkTimings& timings)
    : host_(std::move(host)), tcpPort_(std::move(tcpPort)), timings_(timings) {}

CTCPIPLink::~CTCPIPLink() = default;

int CTCPIPLink::Open(bool open) {
    socket_.Reset();
    if (!open) return lr::Ok;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host_.c_str(), tcpPort_.c_str(), &hints, &list) != 0) return lr::NotOpen;

    socket_.Reset(ConnectToFirst(list, static_cast<int>(timings_.tcpConnectMs)));
    ::freeaddrinfo(list);
    return socket_ ? lr::Ok : lr::NotOpen;
}

int CTCPIPLink::ConnectToFirst(const addrinfo* addresses, int timeoutMs) {
    for (const addrinfo* ai = addresses; ai != nullptr; ai = ai->ai_next) {
        // An address family the machine cannot use (IPv6 switched off, say) only rules out
        // that address; the next one may still connect.
        UniqueFd fd(::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                             ai->ai_protocol));
        if (!fd) continue;
        if (ConnectWithin(fd.Get(), *ai, timeoutMs)) {
            // Frames are written whole and answered at once; Nagle would only delay them.
            const int one = 1;
            ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return fd.Release();
        }
    }
    return -1;
}

int CTCPIPLink::Read(void* buffer, int count, int* got, unsigned timeoutMs) {
    return ReadUntil(
        buffer, count, got,
        Clock::now() + Millis(static_cast<int64_t>(timeoutMs) + timings_.tcpReadExtraMs));
}

int CTCPIPLink::ReadUntil(void* buffer, int count, int* got, Clock::time_point deadline) {
    if (buffer == nullptr || count <= 0) return lr::BadArgument;
    if (!socket_) return lr::NotOpen;

    // One deadline for the whole read: bytes that trickle in do not extend it.
    int total = 0, error = 0;
    const ReadStep end = ReadUpTo(
        socket_.Get(), static_cast<uint8_t*>(buffer), count, [deadline] { return deadline; }, total,
        error);
    if (got != nullptr) *got = total;
    // The peer closed the connection. The read ends with what came (the exchange sees a short
    // answer), and the link closes: the socket would stay readable for ever, and every later wait
    // for an answer would spin on it until its timeout instead of failing at once with 1003. Any
    // other failure, too, ends the read with a short count.
    if (end == ReadStep::Closed) socket_.Reset();
    return end == ReadStep::Timeout ? lr::TcpTimeout : lr::Ok;
}

int CTCPIPLink::Write(const void* buffer, int count, int* written) {
    if (buffer == nullptr || count <= 0) return lr::BadArgument;
    if (!socket_) return lr::NotOpen;

    const auto* in = static_cast<const uint8_t*>(buffer);
    int total = 0;
    int result = lr::Ok;
    while (total < count) {
        short revents = 0;
        const int r =
            PollUntil(socket_.Get(), POLLOUT, Clock::now() + Millis(timings_.tcpWriteMs), revents);
        if (r == 0) {
            socket_.Reset();
            result = lr::ShortWrite;
            break;
        }
        if (r < 0 || (revents & POLLNVAL) != 0) break;
        // MSG_NOSIGNAL: a peer that dropped the connection must not end the program by SIGPIPE.
        const ssize_t n = ::send(socket_.Get(), in + total, static_cast<size_t>(count - total),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            total += static_cast<int>(n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            break;
        }
    }
    if (written != nullptr) *written = total;
    return result;
}

int CTCPIPLink::Purge(int flags) {
    if (flags != kPurgeInput || !socket_) return 0;

    const auto deadline = Clock::now() + Millis(timings_.tcpPurgeMs);
    uint8_t sink[1024];
    while (Clock::now() < deadline) {
        pollfd p{socket_.Get(), POLLIN, 0};
        const timespec tenMicroseconds{0, 10000};
        const int r = ::ppoll(&p, 1, &tenMicroseconds, nullptr);
        if (r == 0) return 1;
        if (r < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if ((p.revents & POLLNVAL) != 0) return 0;
        // Whatever is pending goes at once rather than byte by byte.
        const ssize_t n = ::recv(socket_.Get(), sink, sizeof sink, MSG_DONTWAIT);
        if (n == 0) return 0;  // the peer closed: no exchange over this link can succeed
        if (n < 0 && errno != EINTR && errno != EAGAIN) return 0;
    }
    return 0;
}
