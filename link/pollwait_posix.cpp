#include "link/pollwait.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace pollwait {

int PollUntil(int fd, short events, Clock::time_point deadline, short& revents) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        revents = p.revents;
        return r;
    }
}

ReadStep ReadSome(int fd, uint8_t* out, int count, Clock::time_point deadline, int& got,
                  int& error) {
    got = 0;
    for (;;) {
        short revents = 0;
        const int r = PollUntil(fd, POLLIN, deadline, revents);
        if (r == 0) return ReadStep::Timeout;
        if (r < 0 || (revents & POLLNVAL) != 0) {
            error = r < 0 ? errno : EBADF;
            return ReadStep::Failed;
        }
        const ssize_t n = ::read(fd, out, static_cast<size_t>(count));
        if (n > 0) {
            got = static_cast<int>(n);
            return ReadStep::Data;
        }
        if (n == 0) return ReadStep::Closed;
        if (errno != EINTR && errno != EAGAIN) {
            error = errno;
            return ReadStep::Failed;
        }
    }
}

}  // namespace pollwait
