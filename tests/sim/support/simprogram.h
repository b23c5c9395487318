#pragma once
// The vr7sim program, run as people run it: started with its arguments, its lines read as it
// prints them, stopped by a signal; or run to its end when it refuses its arguments.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/testtimings.h"

class Program {
  public:
    explicit Program(std::vector<std::string> args) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        if (::pipe2(err, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(kPath)};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(kPath, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Program() {
        if (pid_ > 0 && !Ended()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
        if (err_ >= 0) ::close(err_);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The next line the program prints, waiting at most 5 s for it.
    std::string NextLine() {
        std::string line;
        for (;;) {
            pollfd p{out_, POLLIN, 0};
            char c = 0;
            if (::poll(&p, 1, 5000) <= 0 || ::read(out_, &c, 1) != 1 || c == '\n') return line;
            line.push_back(c);
        }
    }
    std::string FirstLine() { return NextLine(); }

    // Sends signal and waits (bounded) for the program to end; its exit status, or -1.
    int Stop(int signal) {
        ::kill(pid_, signal);
        return Wait();
    }
    // Waits (bounded by kLongWaitMs, looking every 10 ms) for the program to end by itself; its
    // exit status, or -1.
    int Wait() {
        const auto giveUp =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongWaitMs);
        while (!Ended() && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return status_;
    }
    // Everything the program wrote on stderr, once it has ended.
    std::string Errors() {
        std::string text;
        char buffer[512];
        for (ssize_t n; (n = ::read(err_, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
        return text;
    }
    static constexpr const char* kPath = VR7_BINARY_DIR "/sim/vr7sim";

  private:
    bool Ended() {
        int status = 0;
        if (status_ != -1) return true;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = -1;
};
