#include "link/tcpiplink.h"

#include "link/pollwait.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

namespace {

using namespace pollwait;

// An answer is waited for in its receive: the socket blocks with a receive timeout, and one
// system call both waits and takes the answer. The kernel counts that timeout in its clock ticks,
// so it ends pollStretch before the deadline at the latest, and poll(), exact to the millisecond,
// waits the rest. The timeout is set in steps, so that the next wait of about the same length
// finds it set already.
constexpr Millis kPollStretch{10};
constexpr int64_t kTimeoutStepMs = 16;

bool SetReceiveTimeout(int fd, int64_t ms) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>(ms % 1000 * 1000);
    return ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

// A non-blocking connect bounded in time: a blocking one waits about two minutes on Linux for
// an address that does not answer, with the window frozen all that time.
bool ConnectWithin(int fd, const addrinfo& ai, int timeoutMs) {
    if (::connect(fd, ai.ai_addr, ai.ai_addrlen) == 0) return true;
    if (errno != EINPROGRESS && errno != EINTR) return false;
    short revents = 0;
    if (PollUntil(fd, POLLOUT, Clock::now() + Millis(timeoutMs), revents) <= 0) {
        errno = ETIMEDOUT;
        return false;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
    // The connect's own failure (refused, unreachable), kept in errno for the message.
    if (error != 0) errno = error;
    return error == 0;
}

}  // namespace

int CTCPIPLink::Open(bool open) {
    CloseSocket();
    Failure(lr::Ok, 0);  // a reason of the link before is not this one's
    if (!open) return lr::Ok;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host_.c_str(), tcpPort_.c_str(), &hints, &list) != 0) return lr::NotOpen;

    socket_.Reset(ConnectToFirst(list, static_cast<int>(timings_.tcpConnectMs)));
    const int error = socket_ ? 0 : errno;  // the last address's reason
    ::freeaddrinfo(list);
    // Receives block, bounded by the receive timeout (see Receive); sends and the purge never do.
    if (socket_) {
        const int flags = ::fcntl(socket_.Get(), F_GETFL);
        receiveBlocks_ = flags != -1 && ::fcntl(socket_.Get(), F_SETFL, flags & ~O_NONBLOCK) == 0;
    }
    return socket_ ? lr::Ok : Failure(lr::NotOpen, error);
}

SocketHandle CTCPIPLink::ConnectToFirst(const addrinfo* addresses, int timeoutMs) {
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

ReadStep CTCPIPLink::Receive(Clock::time_point deadline, int& error) {
    const int fd = socket_.Get();
    inboxBegin_ = inboxEnd_ = 0;
    for (;;) {
        const int64_t blockMs =
            std::chrono::floor<Millis>(deadline - Clock::now() - kPollStretch).count();
        if (receiveBlocks_ && blockMs >= kTimeoutStepMs &&
            (receiveTimeoutMs_ == 0 || receiveTimeoutMs_ > blockMs)) {
            const int64_t step = blockMs / kTimeoutStepMs * kTimeoutStepMs;
            receiveTimeoutMs_ = SetReceiveTimeout(fd, step) ? step : 0;
        }
        if (blockMs < kTimeoutStepMs || receiveTimeoutMs_ == 0) {
            // The last stretch, or a socket that cannot block with a timeout: poll(), then the
            // read.
            int n = 0;
            const ReadStep step =
                ReadSome(fd, inbox_.data(), static_cast<int>(inbox_.size()), deadline, n, error);
            inboxEnd_ = n;
            return step;
        }
        const ssize_t n = ::recv(fd, inbox_.data(), inbox_.size(), 0);
        if (n > 0) {
            inboxEnd_ = static_cast<int>(n);
            return ReadStep::Data;
        }
        if (n == 0) return ReadStep::Closed;
        // The receive timeout ran out (or a signal came): wait for what is left.
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            error = errno;
            return ReadStep::Failed;
        }
    }
}

int CTCPIPLink::Write(const void* buffer, int count, int* written) {
    if (buffer == nullptr || count <= 0) return lr::BadArgument;
    if (!socket_) return lr::NotOpen;

    const auto* in = static_cast<const uint8_t*>(buffer);
    int total = 0;
    int result = lr::Ok;
    while (total < count) {
        // MSG_NOSIGNAL: a peer that dropped the connection must not end the program by SIGPIPE.
        // A frame normally goes at once; the wait for room comes only when it cannot.
        const ssize_t n = ::send(socket_.Get(), in + total, static_cast<size_t>(count - total),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            total += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno != EAGAIN) break;
        short revents = 0;
        const int r =
            PollUntil(socket_.Get(), POLLOUT, Clock::now() + Millis(timings_.tcpWriteMs), revents);
        if (r == 0) {
            CloseSocket();
            result = lr::ShortWrite;
            break;
        }
        if (r < 0 || (revents & POLLNVAL) != 0) break;
    }
    if (written != nullptr) *written = total;
    return result;
}

int CTCPIPLink::Purge(int flags) {
    if (flags != kPurgeInput || !socket_) return 0;

    // What the link holds goes, then whatever the socket has, without waiting for more. The clock
    // is read only once input turns out to be pending, which it normally is not.
    inboxBegin_ = inboxEnd_ = 0;
    std::optional<Clock::time_point> deadline;
    for (;;) {
        const ssize_t n = ::recv(socket_.Get(), inbox_.data(), inbox_.size(), MSG_DONTWAIT);
        if (n > 0) {
            const auto now = Clock::now();
            if (!deadline) deadline = now + Millis(timings_.tcpPurgeMs);
            if (now >= *deadline) return 0;  // input kept coming
            continue;
        }
        if (n == 0) return 0;  // the peer closed: no exchange over this link can succeed
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 1;
        if (errno != EINTR) return 0;
    }
}
