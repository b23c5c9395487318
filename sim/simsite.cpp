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
#include "link/vr7frame.h"
#include "sim/simframereader.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// While no terminal side is open the pty master reports a hang-up on every poll; look again this
// often instead of spinning.
constexpr int kPtyIdleRetryMs = 5;
// An answer the peer does not take in this long (from its start, or from a trickled byte) is
// given up: a socket is dropped, a pty loses the answer.
constexpr int kWriteTimeoutMs = 2000;

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

// The time from now until when, at least 0, to the nanosecond: a paced answer must not wait a
// millisecond rounded up, or a line of 115200 Bd would lose a third of its speed.
Clock::duration Until(Clock::time_point when, Clock::time_point now) {
    return when <= now ? Clock::duration::zero() : when - now;
}

// Bytes that cross a line one after another: byte k (counted from 1) of a run is due k steps
// after the run starts, a step being num/den ns (num 0: every byte at the start). Exact to the
// nanosecond over a whole run, so that a long answer at 9600 Bd does not drift.
struct ByteSteps {
    int64_t num = 0;
    int64_t den = 1;

    // A serial line of baud baud, 10 bits a byte (start, 8 data, stop).
    static ByteSteps Line(unsigned baud) { return {10'000'000'000, static_cast<int64_t>(baud)}; }
    static ByteSteps Every(std::chrono::nanoseconds gap) { return {gap.count(), 1}; }
    bool Longer(const ByteSteps& o) const {
        return static_cast<__int128>(num) * o.den > static_cast<__int128>(o.num) * den;
    }

    // From the start of a run until its byte k is due (at most a century: a fault's absurd gap
    // must not wrap the clock round).
    Clock::duration To(size_t k) const {
        constexpr __int128 kCentury = __int128{100} * 365 * 24 * 3600 * 1'000'000'000;
        return std::chrono::nanoseconds(
            static_cast<int64_t>(std::min(static_cast<__int128>(k) * num / den, kCentury)));
    }
    // How many of a run's first limit bytes are due when elapsed has passed since its start.
    size_t DueAfter(Clock::duration elapsed, size_t limit) const {
        if (elapsed < Clock::duration::zero()) return 0;
        if (num == 0) return limit;
        const __int128 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
        // The largest k with floor(k * num / den) <= ns.
        const __int128 k = ((ns + 1) * den - 1) / num;
        return k < static_cast<__int128>(limit) ? static_cast<size_t>(k) : limit;
    }
};

// The requests a line of several devices keeps in its log, the most recent ones.
constexpr size_t kLineLogLimit = 100000;

// Input not yet taken as requests is read no further beyond this: the peer waits, as a writer on
// a full line does.
constexpr size_t kMaxHeldInput = 64 * 1024;

}  // namespace

// One connection to one device: a TCP client or the device's pty.
//
// On a paced pty the connection is a serial line. Its receive side is busy from when bytes are
// first seen: the bytes of one read come in one a byte time after another, queued behind those
// still on their way, and a request is there when its last byte is. Its one transmitter sends
// an answer byte by byte at the line's speed, and only once the answer before it has left.
struct SimSite::Channel {
    Device* device = nullptr;
    UniqueFd fd;
    bool isPty = false;
    bool inputEnded = false;  // the TCP peer sent all it will; closed once it is answered
    bool paced = false;
    ByteSteps line;  // a byte's time on the line, when paced
    SimFrameReader reader;
    Clock::time_point lastByte;   // when the last byte read is (or will be) in
    Clock::time_point idleUntil;  // a pty with no terminal side open is not watched before this

    // The receive side: of the bytes read so far (received), those after the first rxBaseCount
    // are still coming in, the j-th of them at rxBase + line.To(j); the others are in.
    uint64_t received = 0;
    uint64_t rxBaseCount = 0;
    Clock::time_point rxBase;

    // The echo still to go back on a line that has one: the bytes read from the echoFrom-th on
    // (counted from 1), each due when it is in.
    bool echoes = false;
    std::deque<uint8_t> echo;
    uint64_t echoFrom = 1;

    // The request taken from the input, answered once its last byte is in.
    std::vector<uint8_t> request;
    bool holdsRequest = false;
    Clock::time_point requestIn;

    // The answer on its way: its bytes, how many are out, when byte k is due (sendAt +
    // steps.To(k)) and by when the peer must have taken the next one.
    std::vector<uint8_t> answer;
    size_t sent = 0;
    ByteSteps steps;
    bool closeAfter = false;
    Clock::time_point sendAt;
    Clock::time_point giveUpAt;
    Clock::time_point txFreeAt;  // when the last answer's last byte has left
    bool waitsForRoom = false;   // the peer's buffer was full at the last attempt

    // Its place in the serving loop: in its list of connections, on the watch list (the events
    // watched, 0: not on it) and among the timers.
    std::list<Channel>::iterator self;
    int epoll = -1;
    uint32_t watched = 0;
    bool touched = false;  // among the connections to move on after this wake-up
    bool timed = false;
    std::multimap<Clock::time_point, Channel*>::iterator timer;

    bool Sending() const { return sent < answer.size(); }
    // Closes the connection. It leaves the watch list first: a child forked meanwhile may still
    // hold the descriptor, and closing it alone would not take it off.
    void Close() {
        if (watched != 0) ::epoll_ctl(epoll, EPOLL_CTL_DEL, fd.Get(), nullptr);
        watched = 0;
        fd.Reset();
    }
    Clock::time_point NextByteDue() const { return sendAt + steps.To(sent + 1); }

    // When the count-th byte read (from 1) is in.
    Clock::time_point InAt(uint64_t count) const {
        return count <= rxBaseCount ? rxBase : rxBase + line.To(count - rxBaseCount);
    }
    // Takes n bytes read now.
    void Received(const uint8_t* bytes, size_t n, Clock::time_point now) {
        reader.Feed(bytes, n);
        if (echoes) echo.insert(echo.end(), bytes, bytes + n);
        if (paced && InAt(received) <= now) {  // the line was quiet: these start a new run
            rxBase = now;
            rxBaseCount = received;
        }
        received += n;
        lastByte = paced ? InAt(received) : now;
    }
};

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

size_t SimSite::Add(SimDevice device, std::vector<SimFault> faults, uint16_t tcpPort) {
    SimEndpoints endpoints;
    endpoints.tcpPort = tcpPort;
    return Add(std::move(device), std::move(faults), endpoints);
}

size_t SimSite::Add(SimDevice device, std::vector<SimFault> faults, const SimEndpoints& endpoints) {
    devices_.push_back(std::make_unique<Device>(std::move(device)));
    Device& added = *devices_.back();
    added.responder.Faults() = std::move(faults);
    added.endpoints = endpoints;
    added.line.push_back(&added);
    return devices_.size() - 1;
}

size_t SimSite::AddOnLine(size_t first, SimDevice device, std::vector<SimFault> faults) {
    Device& owner = *devices_.at(first)->lineOwner;
    devices_.push_back(std::make_unique<Device>(std::move(device)));
    Device& added = *devices_.back();
    added.responder.Faults() = std::move(faults);
    added.lineOwner = &owner;
    owner.line.push_back(&added);
    return devices_.size() - 1;
}

void SimSite::SetEndpoints(size_t i, const SimEndpoints& endpoints) {
    devices_.at(i)->lineOwner->endpoints = endpoints;
}

uint16_t SimSite::TcpPort(size_t i) const {
    return devices_.at(i)->lineOwner->tcpPort;
}

const std::string& SimSite::PtyPath(size_t i) const {
    return devices_.at(i)->lineOwner->ptyPath;
}

void SimSite::SetFaults(size_t i, std::vector<SimFault> faults) {
    With(i, [&faults](SimResponder& r) { r.Faults() = std::move(faults); });
}

std::vector<std::vector<uint8_t>> SimSite::Requests(size_t i) {
    Device& owner = *devices_.at(i)->lineOwner;
    if (!owner.SharesLine()) return With(i, [](SimResponder& r) { return r.Requests(); });
    std::lock_guard<std::mutex> lock(owner.lineLogMutex);
    return std::vector<std::vector<uint8_t>>(owner.lineLog.begin(), owner.lineLog.end());
}

void SimSite::ClearRequests(size_t i) {
    Device& owner = *devices_.at(i)->lineOwner;
    if (!owner.SharesLine()) return With(i, [](SimResponder& r) { r.ClearRequests(); });
    std::lock_guard<std::mutex> lock(owner.lineLogMutex);
    owner.lineLog.clear();
}

size_t SimSite::RequestsLogged() {
    size_t count = 0;
    for (size_t i = 0; i < devices_.size(); ++i) {
        Device& d = *devices_[i];
        if (!d.SharesLine()) {
            count += With(i, [](SimResponder& r) { return r.RequestCount(); });
        } else if (d.lineOwner == &d) {
            std::lock_guard<std::mutex> lock(d.lineLogMutex);
            count += d.lineLog.size();
        }
    }
    return count;
}

bool SimSite::File(size_t i, const std::string& name, std::vector<uint8_t>& bytes) {
    return With(i, [&](SimResponder& r) {
        const auto& files = r.Device().files;
        auto it = files.find(name);
        if (it == files.end() || it->first != name) return false;  // as stored, in this case
        bytes = it->second;
        return true;
    });
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

SimReply SimSite::Answer(Device& owner, const std::vector<uint8_t>& frame) {
    const uint32_t address = FrameAddress(frame.data());
    if (!owner.SharesLine()) {
        std::lock_guard<std::mutex> lock(owner.mutex);
        return owner.responder.Handle(frame);
    }
    {
        std::lock_guard<std::mutex> lock(owner.lineLogMutex);
        if (owner.lineLog.size() >= kLineLogLimit) owner.lineLog.pop_front();
        owner.lineLog.push_back(frame);
    }
    // Every device hears it; each it is addressed to carries it out and answers, one answer after
    // the other (the timing of the first, the rest right behind it).
    SimReply answer;
    bool answered = false;
    for (Device* d : owner.line) {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (address != AnyDeviceAddress && d->responder.Device().number != address) continue;
        SimReply reply = d->responder.Respond(frame);
        if (!answered) {
            answer = std::move(reply);
            answered = !answer.bytes.empty();
        } else {
            answer.bytes.insert(answer.bytes.end(), reply.bytes.begin(), reply.bytes.end());
        }
    }
    return answer;
}

void SimSite::Pump(Channel& c) {
    while (c.fd) {
        const auto now = Clock::now();
        // The echo of what has crossed the line goes back first, in one write: it is the
        // converter's, not the device's, and comes ahead of any answer to those bytes.
        if (!c.echo.empty()) {
            size_t due = 0;
            while (due < c.echo.size() && c.InAt(c.echoFrom + due) <= now) ++due;
            if (due > 0) {
                const std::vector<uint8_t> bytes(c.echo.begin(),
                                                 c.echo.begin() + static_cast<long>(due));
                const ssize_t n = ::write(c.fd.Get(), bytes.data(), bytes.size());
                // A host that does not read its echo loses it, as on a real line.
                const size_t gone = n > 0 ? static_cast<size_t>(n) : (errno == EINTR ? 0 : due);
                c.echo.erase(c.echo.begin(), c.echo.begin() + static_cast<long>(gone));
                c.echoFrom += gone;
                if (gone > 0) continue;
            }
        }
        if (c.Sending()) {
            if (now < c.sendAt) return;  // the loop wakes for it
            // Every byte whose time has come goes in one write.
            const size_t due = c.steps.DueAfter(now - c.sendAt, c.answer.size());
            if (due <= c.sent) return;
            const uint8_t* bytes = c.answer.data() + c.sent;
            const size_t chunk = due - c.sent;
            const ssize_t n = c.isPty ? ::write(c.fd.Get(), bytes, chunk)
                                      : ::send(c.fd.Get(), bytes, chunk, MSG_NOSIGNAL);
            if (n > 0) {
                c.sent += static_cast<size_t>(n);
                c.waitsForRoom = false;
                if (c.Sending()) c.giveUpAt = c.NextByteDue() + milliseconds(kWriteTimeoutMs);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && now < c.giveUpAt) {
                c.waitsForRoom = true;
                return;
            }
            // The peer cannot take the answer: a socket is dropped, a pty loses the answer.
            if (!c.isPty) {
                c.Close();
                return;
            }
            c.answer.clear();
            c.sent = 0;
            continue;
        }
        if (!c.answer.empty()) {  // the whole answer is out
            c.answer.clear();
            c.sent = 0;
            if (c.closeAfter && !c.isPty) {
                c.Close();
                return;
            }
        }
        if (!c.holdsRequest) {
            if (!c.reader.Next(c.request)) return;
            c.holdsRequest = true;
            c.requestIn = c.InAt(c.received - c.reader.Buffered());
        }
        if (now < c.requestIn) return;  // its last byte is still on the line
        c.holdsRequest = false;
        SimReply reply = Answer(*c.device, c.request);
        if (reply.bytes.empty()) {
            if (reply.close && !c.isPty) c.Close();
            continue;
        }
        // The answer starts when the request is in and the answer before it has left (a device
        // takes one request at a time), later by what the device takes to think.
        c.steps = c.paced ? c.line : ByteSteps{};
        if (reply.byteGapMs > 0) {
            const ByteSteps gap = ByteSteps::Every(milliseconds(reply.byteGapMs));
            if (gap.Longer(c.steps)) c.steps = gap;
        }
        const auto start = c.paced ? std::max(c.requestIn, c.txFreeAt) : now;
        c.answer = std::move(reply.bytes);
        c.sent = 0;
        c.closeAfter = reply.close;
        c.sendAt = start + milliseconds(reply.delayMs);
        c.txFreeAt = c.sendAt + c.steps.To(c.answer.size());
        c.giveUpAt = c.NextByteDue() + milliseconds(kWriteTimeoutMs);
        c.waitsForRoom = false;
    }
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
