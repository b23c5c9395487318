#pragma once
// A device on the master side of a pseudo-terminal that vanishes in the middle of a download, as
// a serial adapter pulled out does: the link's side (the slave) is hung up.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "link/vr7frame.h"
#include "sim/simresponder.h"

namespace vanishing {

inline bool WriteAll(int fd, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace vanishing

// A device on the master side of a pseudo-terminal that answers until it has answered `answered`
// requests of the command `command` (cmdReadBlock: file blocks), then sends half of the next
// answer and closes the master: to the slave, as to a tty whose USB adapter was pulled out, the
// line is hung up.
class VanishingDevice {
  public:
    VanishingDevice(SimDevice device, uint8_t command, int answered)
        : responder_(std::move(device)), command_(command), answered_(answered) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        const char* name = master_ >= 0 ? ::ptsname(master_) : nullptr;
        if (name == nullptr || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        path_ = name;
        thread_ = std::thread([this] { Serve(); });
    }
    ~VanishingDevice() {
        if (thread_.joinable()) thread_.join();
        if (master_ >= 0) ::close(master_);
    }
    // The slave's path, the "port" to open; empty when no pseudo-terminal could be had.
    const std::string& Path() const { return path_; }
    bool Vanished() const { return vanished_.load(); }

  private:
    void Serve() {
        std::vector<uint8_t> in;
        uint8_t buffer[kFrameSize];
        int answered = 0;
        for (;;) {
            // Bounded: a link that stops asking ends the device too.
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 10000) != 1) return;
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            in.insert(in.end(), buffer, buffer + n);
            while (static_cast<int>(in.size()) >= kFrameHeader &&
                   static_cast<int>(in.size()) >= FrameSizeOf(in.data())) {
                const std::vector<uint8_t> frame(in.begin(), in.begin() + FrameSizeOf(in.data()));
                in.erase(in.begin(), in.begin() + static_cast<long>(frame.size()));
                const SimReply reply = responder_.Handle(frame);
                if (FrameCommand(frame.data()) == command_ && answered++ == answered_) {
                    vanishing::WriteAll(master_, reply.bytes.data(), reply.bytes.size() / 2);
                    ::close(master_);
                    master_ = -1;
                    vanished_ = true;
                    return;
                }
                if (!vanishing::WriteAll(master_, reply.bytes.data(), reply.bytes.size())) return;
            }
        }
    }

    SimResponder responder_;
    uint8_t command_;
    int answered_;
    int master_ = -1;
    std::string path_;
    std::atomic<bool> vanished_{false};
    std::thread thread_;
};
