#pragma once
// Runs part of a test as an ordinary user, since file permissions do not bind root: directly when
// the test runs unprivileged, otherwise in a forked child that drops to the user and group
// "nobody" (65534) first. The files the round uses must be reachable by that user (a TempDir is
// made for its owner alone: open it with chmod).
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

// What `round` returned (empty when it passed), or why it could not be run as an ordinary user.
inline std::string RunUnprivileged(const std::function<std::string()>& round) {
    if (::geteuid() != 0) return round();
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "no pipe for the unprivileged child";
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return "cannot fork the unprivileged child";
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string failure = "cannot drop root's privileges";
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0 &&
            ::geteuid() != 0)
            failure = round();
        if (!failure.empty()) (void)!::write(pipeFds[1], failure.data(), failure.size());
        // No destructor of the parent's objects runs in the child.
        ::_exit(failure.empty() ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string failure;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) failure.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return "the unprivileged child was lost";
    }
    if (!WIFEXITED(status)) return "the unprivileged child was killed: " + failure;
    if (WEXITSTATUS(status) != 0 && failure.empty()) return "the unprivileged child failed";
    return failure;
}
