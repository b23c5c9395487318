#include "sim/simsite.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <list>
#include <map>
#include <optional>

#include "base/syserror.h"
#include "base/wintext.h"
#include "sim/simsitechannel.h"

using namespace simsite;

namespace {

std::string SocketErrorText(const char* what) {
    return std::string(what) + ": " +
           SystemErrorText(ErrnoFromWin32(static_cast<uint32_t>(::WSAGetLastError())));
}

bool SetNonBlocking(SOCKET s) {
    u_long on = 1;
    return ::ioctlsocket(s, FIONBIO, &on) == 0;
}

// A socket on 127.0.0.1 (never reachable from another machine) of the given type, bound to port
// (0: a free one), which boundPort tells.
bool BindLoopback(int type, uint16_t port, UniqueSocket& s, uint16_t& boundPort) {
    s.Reset(::socket(AF_INET, type, 0));
    if (!s) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    int len = sizeof addr;
    if (::bind(s.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(s.Get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        !SetNonBlocking(s.Get()))
        return false;
    boundPort = ntohs(addr.sin_port);
    return true;
}

}  // namespace

namespace simsite {

SendStep SendSome(const UniqueSocket& fd, bool /*isPty*/, const uint8_t* bytes, size_t count,
                  size_t& sent) {
    const int n = ::send(fd.Get(), reinterpret_cast<const char*>(bytes),
                         static_cast<int>(std::min<size_t>(count, 1 << 30)), 0);
    sent = n > 0 ? static_cast<size_t>(n) : 0;
    if (n > 0) return SendStep::Sent;
    const int error = ::WSAGetLastError();
    if (n < 0 && error == WSAEINTR) return SendStep::Interrupted;
    if (n < 0 && error == WSAEWOULDBLOCK) return SendStep::WouldBlock;
    return SendStep::Failed;
}

}  // namespace simsite

void SimSite::Channel::Close() {
    watched = 0;
    fd.Reset();
}

// The serving loop: WSAPoll over the wake-up socket, every listening socket and every connection
// that waits for something, and the connections' timers. Windows has no pseudo-terminals: every
// connection is a TCP client.
class SimSite::Loop {
  public:
    explicit Loop(SimSite& site) : site_(site) {}
    ~Loop() {
        for (Channel& c : channels_) c.Close();
        site_.liveChannels_ = 0;
    }

    void WatchListening(Device& d) { listening_.push_back(&d); }

    Channel& Add(Device* device, UniqueSocket fd) {
        channels_.emplace_back();
        Channel& c = channels_.back();
        c.self = std::prev(channels_.end());
        c.device = device;
        c.fd = std::move(fd);
        ++site_.liveChannels_;
        return c;
    }

    std::vector<Channel*>& Ready() { return ready_; }
    void Touch(Channel& c) {
        if (c.touched) return;
        c.touched = true;
        ready_.push_back(&c);
    }

    bool Wait() {
        polled_.clear();
        polledChannels_.clear();
        polled_.push_back({static_cast<SOCKET>(site_.wakeRead_.Get()), POLLRDNORM, 0});
        for (Device* d : listening_)
            polled_.push_back({static_cast<SOCKET>(d->listenFd.Get()), POLLRDNORM, 0});
        for (Channel& c : channels_) {
            if (c.watched == 0) continue;
            polled_.push_back({static_cast<SOCKET>(c.fd.Get()), static_cast<short>(c.watched), 0});
            polledChannels_.push_back(&c);
        }
        int timeoutMs = -1;
        if (!timers_.empty()) {
            const auto left =
                std::chrono::ceil<milliseconds>(timers_.begin()->first - Clock::now());
            timeoutMs = static_cast<int>(std::clamp<int64_t>(left.count(), 0, 1 << 30));
        }
        const int n = ::WSAPoll(polled_.data(), static_cast<ULONG>(polled_.size()), timeoutMs);
        if (n == SOCKET_ERROR) return false;
        ++site_.wakeups_;
        const auto now = Clock::now();
        if (polled_[0].revents != 0) return false;  // asked to stop
        for (size_t i = 0; i < listening_.size(); ++i)
            if (polled_[1 + i].revents != 0) Accept(*listening_[i]);
        const size_t first = 1 + listening_.size();
        for (size_t i = 0; i < polledChannels_.size(); ++i) {
            const short revents = polled_[first + i].revents;
            if (revents == 0) continue;
            Channel& c = *polledChannels_[i];
            if ((c.watched & POLLRDNORM) != 0 && (revents & (POLLRDNORM | POLLHUP | POLLERR)) != 0)
                Read(c, now);
            Touch(c);
        }
        while (!timers_.empty() && timers_.begin()->first <= now) {
            Channel& c = *timers_.begin()->second;
            timers_.erase(timers_.begin());
            c.timed = false;
            Touch(c);
        }
        return true;
    }

    void Settle(Channel& c) {
        c.touched = false;
        if (!c.fd) {
            if (c.timed) timers_.erase(c.timer);
            channels_.erase(c.self);
            --site_.liveChannels_;
            return;
        }
        std::optional<Clock::time_point> due;
        const auto wakeAt = [&due](Clock::time_point when) {
            due = due ? std::min(*due, when) : when;
        };
        uint32_t events = !c.inputEnded && c.reader.Buffered() < kMaxHeldInput ? POLLRDNORM : 0;
        if (c.Sending()) {
            if (c.waitsForRoom) {
                events |= POLLWRNORM;
                wakeAt(c.giveUpAt);
            } else {
                wakeAt(c.NextByteDue());
            }
        } else if (c.holdsRequest) {
            wakeAt(c.requestIn);
        } else if (c.reader.Pending()) {
            wakeAt(c.lastByte + milliseconds(c.device->endpoints.stalePartialMs + 1));
        }
        if (events != c.watched) ++site_.watchChanges_;
        c.watched = events;
        if (c.timed && due && c.timer->first == *due) return;
        if (c.timed) timers_.erase(c.timer);
        c.timed = due.has_value();
        if (due) c.timer = timers_.emplace(*due, &c);
    }

  private:
    static void Read(Channel& c, Clock::time_point now) {
        uint8_t buffer[4096];
        const int n = ::recv(c.fd.Get(), reinterpret_cast<char*>(buffer), sizeof buffer, 0);
        if (n > 0) {
            c.Received(buffer, static_cast<size_t>(n), now);
        } else if (n == 0) {
            c.inputEnded = true;  // what it asked before is still answered
        } else if (::WSAGetLastError() != WSAEWOULDBLOCK) {
            c.Close();
        }
    }

    void Accept(Device& d) {
        UniqueSocket s(::accept(d.listenFd.Get(), nullptr, nullptr));
        if (!s || !SetNonBlocking(s.Get())) return;
        const BOOL on = TRUE;
        ::setsockopt(s.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                     sizeof on);
        Touch(Add(&d, std::move(s)));
    }

    SimSite& site_;
    std::vector<Device*> listening_;
    std::list<Channel> channels_;
    std::multimap<Clock::time_point, Channel*> timers_;
    std::vector<Channel*> ready_;
    std::vector<WSAPOLLFD> polled_;
    std::vector<Channel*> polledChannels_;
};

SimSite::SimSite() = default;

SimSite::~SimSite() {
    Stop();
}

bool SimSite::Open(Device& device, std::string* error) {
    if (device.lineOwner != &device) return true;  // served on its line's endpoints
    const SimEndpoints& e = device.endpoints;
    if (e.pty) {
        *error = "pty: Windows has no pseudo-terminals; serve the device over TCP";
        return false;
    }
    if (!e.tcp) return true;
    // No SO_REUSEADDR: on Windows it would let another program take the port from under us.
    if (!BindLoopback(SOCK_STREAM, e.tcpPort, device.listenFd, device.tcpPort) ||
        ::listen(device.listenFd.Get(), 8) != 0) {
        *error = SocketErrorText("tcp 127.0.0.1");
        device.listenFd.Reset();
        return false;
    }
    return true;
}

bool SimSite::Start(std::string* error, size_t* failedDevice) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    if (Serving()) {
        why = "already serving";
        return false;
    }
    if (!SocketsReady()) {
        why = "Winsock cannot be started";
        return false;
    }
    // The wake-up: a datagram to a socket of the loop's own on 127.0.0.1.
    uint16_t wakePort = 0, unused = 0;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!BindLoopback(SOCK_DGRAM, 0, wakeRead_, wakePort) ||
        !BindLoopback(SOCK_DGRAM, 0, wakeWrite_, unused) ||
        (to.sin_port = htons(wakePort),
         ::connect(wakeWrite_.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)) {
        why = SocketErrorText("wake-up socket");
        CloseAll();
        return false;
    }
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (!Open(*devices_[i], &why)) {
            if (failedDevice) *failedDevice = i;
            CloseAll();
            return false;
        }
    }
    loop_ = std::make_unique<Loop>(*this);
    for (auto& d : devices_)
        if (d->listenFd) loop_->WatchListening(*d);
    thread_ = std::thread(&SimSite::Run, this);
    return true;
}

void SimSite::Stop() {
    if (thread_.joinable()) {
        const char stop = 1;
        ::send(wakeWrite_.Get(), &stop, 1, 0);
        thread_.join();
    }
    loop_.reset();
    CloseAll();
}

void SimSite::CloseAll() {
    for (auto& d : devices_) d->listenFd.Reset();
    wakeRead_.Reset();
    wakeWrite_.Reset();
}

void SimSite::Run() {
    Loop& loop = *loop_;
    for (;;) {
        for (Channel* c : loop.Ready()) {
            Pump(*c);
            if (c->fd && !c->Sending() && !c->holdsRequest) {
                if (c->inputEnded)
                    c->Close();
                else if (c->reader.Pending() &&
                         Clock::now() - c->lastByte >
                             milliseconds(c->device->endpoints.stalePartialMs)) {
                    c->reader.Clear();
                    ++staleDropped_;
                }
            }
            loop.Settle(*c);
        }
        loop.Ready().clear();
        if (!loop.Wait()) break;
    }
}
