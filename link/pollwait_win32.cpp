#include "link/pollwait.h"

#include <winsock2.h>

#include <cerrno>

#include "base/wintext.h"

namespace pollwait {

int PollUntil(Handle fd, short events, Clock::time_point deadline, short& revents) {
    WSAPOLLFD p{static_cast<SOCKET>(fd), events, 0};
    const int r = ::WSAPoll(&p, 1, RemainingMs(deadline));
    revents = p.revents;
    return r == SOCKET_ERROR ? -1 : r;
}

ReadStep ReadSome(Handle fd, uint8_t* out, int count, Clock::time_point deadline, int& got,
                  int& error) {
    got = 0;
    for (;;) {
        short revents = 0;
        const int r = PollUntil(fd, POLLIN, deadline, revents);
        if (r == 0) return ReadStep::Timeout;
        if (r < 0 || (revents & POLLNVAL) != 0) {
            error = r < 0 ? ErrnoFromWin32(static_cast<uint32_t>(::WSAGetLastError())) : EBADF;
            return ReadStep::Failed;
        }
        const int n = ::recv(static_cast<SOCKET>(fd), reinterpret_cast<char*>(out), count, 0);
        if (n > 0) {
            got = n;
            return ReadStep::Data;
        }
        if (n == 0) return ReadStep::Closed;
        const int wsaError = ::WSAGetLastError();
        if (wsaError != WSAEWOULDBLOCK && wsaError != WSAEINTR) {
            error = ErrnoFromWin32(static_cast<uint32_t>(wsaError));
            return ReadStep::Failed;
        }
    }
}

}  // namespace pollwait
