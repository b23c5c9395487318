#include "simserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <list>

#include "simframereader.h"
#include "syserror.h"

namespace {

using Clock = std::chrono::steady_clock;

// While no terminal side is open the pty master reports a hang-up on every poll; look again this
// often instead of spinning.
constexpr int kPtyIdleRetryMs = 5;
constexpr int kWriteTimeoutMs = 2000;

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + SystemErrorText(errno);
}

void SetNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

}  // namespace

struct SimServer::Channel {
    UniqueFd fd;
    bool isPty = false;
    SimFrameReader reader;
    Clock::time_point lastByte;
};

SimServer::SimServer(SimDevice device) : responder_(std::move(device)) {}

SimServer::~SimServer() {
    Stop();
}

bool SimServer::Start(const SimEndpoints& endpoints, std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    if (thread_.joinable()) {
        why = "already serving";
        return false;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        why = ErrnoText("pipe");
        return false;
    }
    wakeRead_.Reset(pipeFds[0]);
    wakeWrite_.Reset(pipeFds[1]);
    stalePartialMs_ = endpoints.stalePartialMs;
    paceBaud_ = endpoints.paceBaud;
    if ((endpoints.tcp && !OpenTcp(endpoints.tcpPort, &why)) || (endpoints.pty && !OpenPty(&why))) {
        CloseAll();
        return false;
    }
    thread_ = std::thread(&SimServer::Run, this);
    return true;
}

void SimServer::Stop() {
    if (thread_.joinable()) {
        const char stop = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeWrite_.Get(), &stop, 1);
        thread_.join();
    }
    CloseAll();
}

void SimServer::CloseAll() {
    listenFd_.Reset();
    ptyMaster_.Reset();
    wakeRead_.Reset();
    wakeWrite_.Reset();
}

bool SimServer::OpenTcp(uint16_t port, std::string* error) {
    listenFd_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listenFd_) {
        *error = ErrnoText("socket");
        return false;
    }
    const int on = 1;
    ::setsockopt(listenFd_.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never reachable from another machine
    addr.sin_port = htons(port);
    if (::bind(listenFd_.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_.Get(), 8) != 0) {
        *error = ErrnoText("tcp 127.0.0.1");
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_.Get(), reinterpret_cast<sockaddr*>(&addr), &len);
    tcpPort_ = ntohs(addr.sin_port);
    return true;
}

bool SimServer::OpenPty(std::string* error) {
    ptyMaster_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    char name[128];
    if (!ptyMaster_ || ::grantpt(ptyMaster_.Get()) != 0 || ::unlockpt(ptyMaster_.Get()) != 0 ||
        ::ptsname_r(ptyMaster_.Get(), name, sizeof name) != 0) {
        *error = ErrnoText("pty");
        return false;
    }
    ptyPath_ = name;
    // A fresh terminal echoes and edits lines; the device line is raw bytes from the start, even
    // for a client that does not set the mode itself.
    const UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (slave) {
        termios tio{};
        if (::tcgetattr(slave.Get(), &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave.Get(), TCSANOW, &tio);
        }
    }
    SetNonBlocking(ptyMaster_.Get());
    return true;
}

void SimServer::SetFaults(std::vector<SimFault> faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    responder_.Faults() = std::move(faults);
}

std::vector<std::vector<uint8_t>> SimServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return responder_.Requests();
}

void SimServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    responder_.ClearRequests();
}

bool SimServer::File(const std::string& name, std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto& files = responder_.Device().files;
    auto it = files.find(name);
    if (it == files.end() || it->first != name) return false;  // as stored, in this letter case
    bytes = it->second;
    return true;
}

bool SimServer::WaitForStop(int ms) {
    pollfd p{wakeRead_.Get(), POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

bool SimServer::Deliver(Channel& channel, const SimReply& reply) {
    // Asked to stop meanwhile: the loop ends at its next poll.
    if (reply.delayMs > 0 && WaitForStop(reply.delayMs)) return true;
    size_t sent = 0;
    auto deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    while (sent < reply.bytes.size()) {
        const int fd = channel.fd.Get();
        // A trickling device sends its answer a byte at a time.
        const size_t chunk = reply.byteGapMs > 0 ? 1 : reply.bytes.size() - sent;
        const ssize_t n = channel.isPty
                              ? ::write(fd, reply.bytes.data() + sent, chunk)
                              : ::send(fd, reply.bytes.data() + sent, chunk, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            if (reply.byteGapMs > 0 && sent < reply.bytes.size()) {
                if (WaitForStop(reply.byteGapMs)) return true;
                deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && Clock::now() < deadline) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 10);
            continue;
        }
        return channel.isPty;  // a socket that cannot take the answer is dropped
    }
    return !(reply.close && !channel.isPty);
}

void SimServer::Serve(Channel& channel) {
    std::vector<uint8_t> frame;
    while (channel.fd && channel.reader.Next(frame)) {
        SimReply reply;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            reply = responder_.Handle(frame);
        }
        // A paced line: the answer is there when the request's and the answer's bytes have had
        // their time on the wire, counted from the request's last byte.
        if (channel.isPty && paceBaud_ > 0 && !reply.bytes.empty()) {
            const auto wire = std::chrono::microseconds((frame.size() + reply.bytes.size()) * 10 *
                                                        1000000ull / paceBaud_);
            std::this_thread::sleep_until(channel.lastByte + wire);
        }
        if (!Deliver(channel, reply)) {
            if (!channel.isPty) channel.fd.Reset();
            return;
        }
    }
}

void SimServer::Run() {
    const auto stalePartial = std::chrono::milliseconds(stalePartialMs_);
    std::list<Channel> clients;
    Channel pty;
    pty.fd = std::move(ptyMaster_);  // served from here on, closed when serving ends
    pty.isPty = true;
    Clock::time_point ptyRetry{};
    uint8_t buffer[4096];

    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({wakeRead_.Get(), POLLIN, 0});
        if (listenFd_) fds.push_back({listenFd_.Get(), POLLIN, 0});
        const bool ptyWatched = pty.fd && Clock::now() >= ptyRetry;
        if (ptyWatched) fds.push_back({pty.fd.Get(), POLLIN, 0});
        for (Channel& c : clients) fds.push_back({c.fd.Get(), POLLIN, 0});

        int timeoutMs = -1;
        bool partial = pty.reader.Pending();
        for (const Channel& c : clients) partial = partial || c.reader.Pending();
        if (partial) timeoutMs = std::min(100, stalePartialMs_);
        if (pty.fd && !ptyWatched) timeoutMs = kPtyIdleRetryMs;

        if (::poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) break;
        if (fds[0].revents) break;  // asked to stop
        const auto now = Clock::now();

        size_t i = 1;
        const size_t listenIndex = listenFd_ ? i++ : 0;
        const size_t ptyIndex = ptyWatched ? i++ : 0;

        // Only the connections that were polled: one accepted below waits for the next round.
        for (auto it = clients.begin(); it != clients.end() && i < fds.size(); ++i) {
            Channel& c = *it;
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::recv(c.fd.Get(), buffer, sizeof buffer, 0);
                if (n > 0) {
                    c.reader.Feed(buffer, static_cast<size_t>(n));
                    c.lastByte = now;
                    Serve(c);
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    c.fd.Reset();
                }
            }
            if (c.fd && c.reader.Pending() && now - c.lastByte > stalePartial) c.reader.Clear();
            it = !c.fd ? clients.erase(it) : std::next(it);
        }
        if (ptyIndex != 0 && (fds[ptyIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::read(pty.fd.Get(), buffer, sizeof buffer);
            if (n > 0) {
                pty.reader.Feed(buffer, static_cast<size_t>(n));
                pty.lastByte = now;
                Serve(pty);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // No terminal side is open: nothing can be said to the device now.
                pty.reader.Clear();
                ptyRetry = now + std::chrono::milliseconds(kPtyIdleRetryMs);
            }
        }
        if (listenIndex != 0 && (fds[listenIndex].revents & POLLIN)) {
            UniqueFd fd(::accept4(listenFd_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (fd) {
                const int on = 1;
                ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                clients.emplace_back();
                clients.back().fd = std::move(fd);
            }
        }
        if (pty.reader.Pending() && now - pty.lastByte > stalePartial) pty.reader.Clear();
    }
}
