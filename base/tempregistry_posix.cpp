#include "base/tempregistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "base/tempregistryending.h"

namespace tempregistry {

// Removes the files directly in the folder, then the folder: system calls only.
void RemoveListedFolder(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (n <= 0) break;
            for (long at = 0; at < n;) {
                const auto* d = reinterpret_cast<const struct dirent64*>(buffer + at);
                at += d->d_reclen;
                if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
                    ::unlinkat(fd, d->d_name, 0);
            }
        }
        ::close(fd);
    }
    ::rmdir(path);
}

void RemoveListedFile(const char* path) {
    ::unlink(path);
}

void PauseMillisecond() {
    const timespec millisecond{0, 1000000};
    ::nanosleep(&millisecond, nullptr);
}

namespace {

extern "C" void RemoveAndEnd(int signal) {
    RemoveEverythingListed();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void RemoveOnTermination() {
    struct sigaction action {};
    action.sa_handler = RemoveAndEnd;
    sigemptyset(&action.sa_mask);
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
    for (int signal : signals) sigaddset(&action.sa_mask, signal);
    for (int signal : signals) {
        // A signal the program was started to ignore (nohup, a background job) stays ignored.
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace tempregistry
