#include "sim/simsite.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <list>
#include <map>
#include <optional>

#include "base/syserror.h"
#include "sim/simsitechannel.h"

using namespace simsite;

namespace {

// While no terminal side is open the pty master reports a hang-up on every poll; look again this
// often instead of spinning.
constexpr int kPtyIdleRetryMs = 5;

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + SystemErrorText(errno);
}

void SetNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

bool OpenTcp(uint16_t port, UniqueFd& listenFd, uint16_t& boundPort, std::string* error) {
    listenFd.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listenFd) {
        *error = ErrnoText("socket");
        return false;
    }
    const int on = 1;
    ::setsockopt(listenFd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never reachable from another machine
    addr.sin_port = htons(port);
    if (::bind(listenFd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd.Get(), 8) != 0) {
        *error = ErrnoText("tcp 127.0.0.1");
        listenFd.Reset();
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd.Get(), reinterpret_cast<sockaddr*>(&addr), &len);
    boundPort = ntohs(addr.sin_port);
    return true;
}

bool OpenPty(UniqueFd& master, std::string& path, std::string* error) {
    master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    char name[128];
    if (!master || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0 ||
        ::ptsname_r(master.Get(), name, sizeof name) != 0) {
        *error = ErrnoText("pty");
        master.Reset();
        return false;
    }
    path = name;
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
    SetNonBlocking(master.Get());
    return true;
}

}  // namespace

namespace simsite {

SendStep SendSome(const UniqueSocket& fd, bool isPty, const uint8_t* bytes, size_t count,
                  size_t& sent) {
    const ssize_t n =
        isPty ? ::write(fd.Get(), bytes, count) : ::send(fd.Get(), bytes, count, MSG_NOSIGNAL);
    sent = n > 0 ? static_cast<size_t>(n) : 0;
    if (n > 0) return SendStep::Sent;
    if (n < 0 && errno == EINTR) return SendStep::Interrupted;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return SendStep::WouldBlock;
    return SendStep::Failed;
}

}  // namespace simsite

// It leaves the watch list first: a child forked meanwhile may still hold the descriptor, and
// closing it alone would not take it off.
void SimSite::Channel::Close() {
    if (watched != 0) ::epoll_ctl(epoll, EPOLL_CTL_DEL, fd.Get(), nullptr);
    watched = 0;
    fd.Reset();
}

namespace {

// Where an event of the serving loop comes from: the stop pipe (0), a device's listening socket
// (its Device*, tagged in the lowest bit) or a connection (its Channel*).
constexpr uint64_t kListenTag = 1;

}  // namespace

// The serving loop's watch list and timers, kept up to date one connection at a time: a wake-up
// costs what its ready connections and due timers cost, whatever the number of devices served.
class SimSite::Loop {
  public:
    explicit Loop(SimSite& site) : site_(site), epoll_(::epoll_create1(EPOLL_CLOEXEC)) {}
    ~Loop() {
        for (Channel& c : channels_) Forget(c);
        site_.liveChannels_ = 0;
    }

    bool Watch(int fd, uint64_t tag) {
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.u64 = tag;
        ++site_.watchChanges_;
        return epoll_ && ::epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &e) == 0;
    }

    Channel& Add(Device* device, UniqueFd fd, bool isPty) {
        channels_.emplace_back();
        Channel& c = channels_.back();
        c.self = std::prev(channels_.end());
        c.device = device;
        c.fd = std::move(fd);
        c.isPty = isPty;
        c.epoll = epoll_.Get();
        ++site_.liveChannels_;
        return c;
    }

    // The connections to move on now: those an event or a timer woke, and new ones.
    std::vector<Channel*>& Ready() { return ready_; }
    void Touch(Channel& c) {
        if (c.touched) return;
        c.touched = true;
        ready_.push_back(&c);
    }

    // Waits for the next event or timer; false when the loop must end (asked to stop, or the
    // wait itself failed).
    bool Wait() {
        timespec timeout{};
        const bool timed = !timers_.empty();
        if (timed) {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                Until(timers_.begin()->first, Clock::now()))
                                .count();
            timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns % 1000000000);
        }
        const int n = ::epoll_pwait2(epoll_.Get(), events_, static_cast<int>(std::size(events_)),
                                     timed ? &timeout : nullptr, nullptr);
        if (n < 0 && errno != EINTR) return false;
        ++site_.wakeups_;
        const auto now = Clock::now();
        for (int i = 0; i < n; ++i) {
            const uint64_t tag = events_[i].data.u64;
            if (tag == 0) return false;  // asked to stop
            if (tag & kListenTag) {
                Accept(*reinterpret_cast<Device*>(tag & ~kListenTag));
                continue;
            }
            Channel& c = *reinterpret_cast<Channel*>(tag);
            if (c.watched & EPOLLIN) Read(c, now);
            Touch(c);
        }
        // Every connection whose time has come: an answer's next byte, a request fully in, a
        // stale partial request, a pty to look at again.
        while (!timers_.empty() && timers_.begin()->first <= now) {
            Channel& c = *timers_.begin()->second;
            timers_.erase(timers_.begin());
            c.timed = false;
            Touch(c);
        }
        return true;
    }

    // After a connection has moved on: drops it when it is closed, or brings its watched events
    // and its timer up to date.
    void Settle(Channel& c) {
        c.touched = false;
        if (!c.fd) {
            Forget(c);
            channels_.erase(c.self);
            --site_.liveChannels_;
            return;
        }
        const auto now = Clock::now();
        std::optional<Clock::time_point> due;
        const auto wakeAt = [&due](Clock::time_point when) {
            due = due ? std::min(*due, when) : when;
        };
        // Requests are read while an answer is on its way, as a line carries both ways at once;
        // they are answered in turn.
        uint32_t events =
            !c.inputEnded && c.reader.Buffered() < kMaxHeldInput ? uint32_t{EPOLLIN} : 0u;
        if (c.Sending()) {
            if (c.waitsForRoom) {
                events |= EPOLLOUT;
                wakeAt(c.giveUpAt);
            } else {
                wakeAt(c.NextByteDue());
            }
        } else if (c.holdsRequest) {
            wakeAt(c.requestIn);
        } else if (c.reader.Pending()) {
            wakeAt(c.lastByte + milliseconds(c.device->endpoints.stalePartialMs + 1));
        }
        if (!c.echo.empty()) wakeAt(c.InAt(c.echoFrom));
        if (c.isPty && now < c.idleUntil) {
            // A pty master without its terminal side reports a hang-up whatever it is watched
            // for: it leaves the watch list until then.
            events = 0;
            wakeAt(c.idleUntil);
        }
        SetEvents(c, events);
        SetTimer(c, due);
    }

  private:
    static void Read(Channel& c, Clock::time_point now) {
        uint8_t buffer[4096];
        const ssize_t n = c.isPty ? ::read(c.fd.Get(), buffer, sizeof buffer)
                                  : ::recv(c.fd.Get(), buffer, sizeof buffer, 0);
        if (n > 0) {
            c.Received(buffer, static_cast<size_t>(n), now);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            if (c.isPty) {
                // No terminal side is open: nothing can be said to the device now.
                c.reader.Clear();
                c.idleUntil = now + milliseconds(kPtyIdleRetryMs);
            } else if (n == 0) {
                c.inputEnded = true;  // what it asked before is still answered
            } else {
                c.Close();
            }
        }
    }

    void Accept(Device& d) {
        UniqueFd fd(::accept4(d.listenFd.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) return;
        const int on = 1;
        ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Touch(Add(&d, std::move(fd), false));
    }

    void SetEvents(Channel& c, uint32_t events) {
        if (events == c.watched) return;
        epoll_event e{};
        e.events = events;
        e.data.u64 = reinterpret_cast<uint64_t>(&c);
        const int op = c.watched == 0 ? EPOLL_CTL_ADD : events == 0 ? EPOLL_CTL_DEL : EPOLL_CTL_MOD;
        ++site_.watchChanges_;
        if (::epoll_ctl(epoll_.Get(), op, c.fd.Get(), &e) == 0 || op == EPOLL_CTL_DEL)
            c.watched = events;
    }

    void SetTimer(Channel& c, std::optional<Clock::time_point> due) {
        if (c.timed && due && c.timer->first == *due) return;
        if (c.timed) timers_.erase(c.timer);
        c.timed = due.has_value();
        if (due) c.timer = timers_.emplace(*due, &c);
    }

    // Closes a connection and takes it off the timers.
    void Forget(Channel& c) {
        c.Close();
        if (c.timed) timers_.erase(c.timer);
        c.timed = false;
    }

    SimSite& site_;
    UniqueFd epoll_;
    std::list<Channel> channels_;
    std::multimap<Clock::time_point, Channel*> timers_;
    std::vector<Channel*> ready_;
    epoll_event events_[256];
};

SimSite::SimSite() = default;

SimSite::~SimSite() {
    Stop();
}

bool SimSite::Open(Device& device, std::string* error) {
    if (device.lineOwner != &device) return true;  // served on its line's endpoints
    const SimEndpoints& e = device.endpoints;
    return (!e.tcp || OpenTcp(e.tcpPort, device.listenFd, device.tcpPort, error)) &&
           (!e.pty || OpenPty(device.ptyMaster, device.ptyPath, error));
}

bool SimSite::Start(std::string* error, size_t* failedDevice) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    if (Serving()) {
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
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (!Open(*devices_[i], &why)) {
            if (failedDevice) *failedDevice = i;
            CloseAll();
            return false;
        }
    }
    // Everything served is on the watch list before the serving thread starts.
    loop_ = std::make_unique<Loop>(*this);
    bool watching = loop_->Watch(wakeRead_.Get(), 0);
    for (auto& d : devices_) {
        if (d->listenFd)
            watching = watching && loop_->Watch(d->listenFd.Get(),
                                                reinterpret_cast<uint64_t>(d.get()) | kListenTag);
        if (!d->ptyMaster) continue;
        // Served from here on, closed when the site stops.
        Channel& c = loop_->Add(d.get(), std::move(d->ptyMaster), true);
        if (d->endpoints.paceBaud > 0) {
            c.paced = true;
            c.line = ByteSteps::Line(d->endpoints.paceBaud);
        }
        c.echoes = d->endpoints.echo;
        loop_->Touch(c);
    }
    if (!watching) {
        why = ErrnoText("epoll");
        loop_.reset();
        CloseAll();
        return false;
    }
    thread_ = std::thread(&SimSite::Run, this);
    return true;
}

void SimSite::Stop() {
    if (thread_.joinable()) {
        const char stop = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeWrite_.Get(), &stop, 1);
        thread_.join();
    }
    loop_.reset();
    CloseAll();
}

void SimSite::CloseAll() {
    for (auto& d : devices_) {
        d->listenFd.Reset();
        d->ptyMaster.Reset();
    }
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
