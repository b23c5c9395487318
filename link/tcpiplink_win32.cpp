#include "link/tcpiplink.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cerrno>
#include <chrono>
#include <optional>

#include "base/wintext.h"
#include "link/pollwait.h"

namespace {

using namespace pollwait;

int LastSocketErrno() {
    return ErrnoFromWin32(static_cast<uint32_t>(::WSAGetLastError()));
}

// A non-blocking connect bounded in time (about 21 s is Windows' own, and too long for a
// frozen window). select(), not WSAPoll: WSAPoll does not report a connect that failed.
bool ConnectWithin(SOCKET s, const addrinfo& ai, int timeoutMs, int& error) {
    if (::connect(s, ai.ai_addr, static_cast<int>(ai.ai_addrlen)) == 0) return true;
    if (::WSAGetLastError() != WSAEWOULDBLOCK) {
        error = LastSocketErrno();
        return false;
    }
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{timeoutMs / 1000, timeoutMs % 1000 * 1000};
    if (::select(0, nullptr, &writable, &failed, &tv) <= 0) {
        error = ETIMEDOUT;
        return false;
    }
    int soError = 0;
    int length = sizeof soError;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length) != 0) {
        error = LastSocketErrno();
        return false;
    }
    // The connect's own failure (refused, unreachable), kept for the message.
    error = ErrnoFromWin32(static_cast<uint32_t>(soError));
    return soError == 0 && FD_ISSET(s, &writable);
}

}  // namespace

int CTCPIPLink::Open(bool open) {
    CloseSocket();
    Failure(lr::Ok, 0);  // a reason of the link before is not this one's
    if (!open) return lr::Ok;
    if (!SocketsReady()) return Failure(lr::NotOpen, ENOSYS);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host_.c_str(), tcpPort_.c_str(), &hints, &list) != 0) return lr::NotOpen;
    socket_.Reset(ConnectToFirst(list, static_cast<int>(timings_.tcpConnectMs)));
    const int error = socket_ ? 0 : errno;  // the last address's reason
    ::freeaddrinfo(list);
    // The socket stays non-blocking: a Winsock receive that ran into its timeout leaves the
    // connection in an undefined state, so every wait is WSAPoll's (receiveBlocks_ false).
    return socket_ ? lr::Ok : Failure(lr::NotOpen, error);
}

SocketHandle CTCPIPLink::ConnectToFirst(const addrinfo* addresses, int timeoutMs) {
    if (!SocketsReady()) return kNoSocket;
    for (const addrinfo* ai = addresses; ai != nullptr; ai = ai->ai_next) {
        // An address family the machine cannot use only rules out that address.
        UniqueSocket s(::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol));
        if (!s) {
            errno = LastSocketErrno();
            continue;
        }
        u_long nonBlocking = 1;
        int error = 0;
        if (::ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0 ||
            !ConnectWithin(s.Get(), *ai, timeoutMs, error)) {
            errno = error;
            continue;
        }
        // Frames are written whole and answered at once; Nagle would only delay them.
        const BOOL one = TRUE;
        ::setsockopt(s.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
                     sizeof one);
        return s.Release();
    }
    return kNoSocket;
}

ReadStep CTCPIPLink::Receive(Clock::time_point deadline, int& error) {
    int n = 0;
    inboxBegin_ = 0;
    const ReadStep step =
        ReadSome(socket_.Get(), inbox_.data(), static_cast<int>(inbox_.size()), deadline, n, error);
    inboxEnd_ = n;
    return step;
}

int CTCPIPLink::Write(const void* buffer, int count, int* written) {
    if (buffer == nullptr || count <= 0) return lr::BadArgument;
    if (!socket_) return lr::NotOpen;

    const auto* in = static_cast<const char*>(buffer);
    int total = 0;
    int result = lr::Ok;
    while (total < count) {
        // A frame normally goes at once; the wait for room comes only when it cannot.
        const int n = ::send(socket_.Get(), in + total, count - total, 0);
        if (n > 0) {
            total += n;
            continue;
        }
        if (n == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) break;
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

    // What the link holds goes, then whatever the socket has, without waiting for more.
    inboxBegin_ = inboxEnd_ = 0;
    std::optional<Clock::time_point> deadline;
    for (;;) {
        const int n = ::recv(socket_.Get(), reinterpret_cast<char*>(inbox_.data()),
                             static_cast<int>(inbox_.size()), 0);
        if (n > 0) {
            const auto now = Clock::now();
            if (!deadline) deadline = now + Millis(timings_.tcpPurgeMs);
            if (now >= *deadline) return 0;  // input kept coming
            continue;
        }
        if (n == 0) return 0;  // the peer closed: no exchange over this link can succeed
        return ::WSAGetLastError() == WSAEWOULDBLOCK ? 1 : 0;
    }
}
