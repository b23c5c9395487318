#include "tests/link/support/ptypair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

PtyPair::PtyPair() {
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    const char* name = ::ptsname(fd);
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || name == nullptr) {
        ::close(fd);
        return;
    }
    master_ = fd;
    slavePath_ = name;
}

PtyPair::~PtyPair() {
    CloseMaster();
}

void PtyPair::CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

bool PtyPair::ReadMaster(void* bytes, size_t count, int timeoutMs) {
    auto* p = static_cast<char*>(bytes);
    while (count > 0) {
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, timeoutMs) != 1) return false;
        const ssize_t n = ::read(master_, p, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}
