// vr7peakrun PROGRAM [ARGS...]: runs PROGRAM with its output discarded and prints its wall time in
// seconds, its peak resident memory in KiB and whether it succeeded ("0.0812 41234 ok"). A child
// takes over the peak of the process that started it (the kernel keeps the larger of the two),
// so the benchmarks start the programs they measure through this small one.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vr7peakrun PROGRAM [ARGS...]\n");
        return 64;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[1], &actions, nullptr, argv + 1, environ) != 0) return 1;
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::printf("%.6f %ld %s\n", seconds, usage.ru_maxrss, ok ? "ok" : "failed");
    return 0;
}
