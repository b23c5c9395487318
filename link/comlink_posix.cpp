#include "link/comlink.h"

#include "link/pollwait.h"
#include "link/serialspeed.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <memory>
#include <thread>
#include <utility>

namespace {

using namespace pollwait;

struct SpeedEntry {
    uint32_t baud;
    speed_t code;
};

// Speeds the tty layer accepts as a constant. 0 is left out on purpose: B0 hangs the line up.
constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},         {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

constexpr uint32_t HighestSpeed() {
    uint32_t highest = 0;
    for (const SpeedEntry& e : kSpeeds) highest = e.baud > highest ? e.baud : highest;
    return highest;
}

bool SpeedCode(uint32_t baud, speed_t& code) {
    for (const SpeedEntry& e : kSpeeds) {
        if (e.baud == baud) {
            code = e.code;
            return true;
        }
    }
    return false;
}

int TcSetAttr(int fd, const termios& t) {
    int r;
    do r = ::tcsetattr(fd, TCSANOW, &t);
    while (r != 0 && errno == EINTR);
    return r;
}

}  // namespace

struct CComLink::PortState {
    termios original{};  // restored when the port is let go
};

CComLink::CComLink(std::string portName, uint32_t speed, const LinkTimings& timings)
    : portName_(std::move(portName)), speed_(speed), timings_(timings) {}

CComLink::~CComLink() {
    CloseHandle();
}

std::string CComLink::PortText(const std::string& portName) {
    return DevicePath(portName);
}

std::string CComLink::DevicePath(const std::string& portName) {
    // Windows spells port names in any case ("com3" opens COM3 there too).
    if (portName.size() >= 4 && portName.size() <= 6 && (portName[0] | 0x20) == 'c' &&
        (portName[1] | 0x20) == 'o' && (portName[2] | 0x20) == 'm' && portName[3] >= '1' &&
        portName[3] <= '9') {
        unsigned n = 0;
        for (size_t i = 3; i < portName.size(); ++i) {
            if (portName[i] < '0' || portName[i] > '9') return portName;
            n = n * 10 + static_cast<unsigned>(portName[i] - '0');
        }
        return "/dev/ttyS" + std::to_string(n - 1);
    }
    return portName;
}

bool CComLink::SpeedPossible(uint32_t baud) {
    return baud != 0 && baud <= HighestSpeed();
}

int CComLink::OpenPort() {
    // Non-blocking so that the open does not wait for carrier; CLOCAL below makes the line
    // ignore carrier from then on. The descriptor stays non-blocking: every wait of Read and
    // Write goes through poll() with its deadline, so a stalled line can never hang a call.
    const std::string path = DevicePath(portName_);
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return Failure(lr::NotOpen, errno);
    // A file, a pipe or a socket named as the port would take the frames as data.
    if (::isatty(fd.Get()) != 1) return Failure(lr::NotOpen, ENOTTY);
    // A serial port belongs to one program at a time, as on Windows: flock() finds another
    // holder that locks its ports, TIOCEXCL keeps everyone else from opening it after us.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return Failure(lr::NotOpen, errno);
    ::ioctl(fd.Get(), TIOCEXCL);
    fd_ = std::move(fd);
    outputStuck_ = false;

    termios original{};
    if (::tcgetattr(fd_.Get(), &original) != 0) return Failure(lr::GetStateFailed, errno);
    state_ = std::make_unique<PortState>(PortState{original});
    return ApplyLineSettings();
}

int CComLink::ApplyLineSettings() {
    speed_t code = B9600;
    const bool standard = SpeedCode(speed_, code);

    // Raw 8N1 like a Windows COM port, which is always binary: no line editing, echo, signals,
    // CR/LF translation, stripping or software flow control. Hardware flow control (CRTSCTS)
    // stays as the port had it.
    termios t = state_->original;
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (standard && (::cfsetispeed(&t, code) != 0 || ::cfsetospeed(&t, code) != 0))
        return lr::SetStateFailed;
    if (TcSetAttr(fd_.Get(), t) != 0) return Failure(lr::SetStateFailed, errno);
    if (!standard && !serialspeed::SetOther(fd_.Get(), speed_))
        return Failure(lr::SetStateFailed, errno);

    // tcsetattr() succeeds when any part was applied; a driver that cannot do the speed falls
    // back to another one, which would talk to the device at the wrong rate.
    termios applied{};
    if (::tcgetattr(fd_.Get(), &applied) != 0 || (applied.c_cflag & CSIZE) != CS8 ||
        (applied.c_cflag & (PARENB | CSTOPB)) != 0)
        return lr::SetStateFailed;
    if (standard && ::cfgetospeed(&applied) != code) return lr::SetStateFailed;
    uint32_t actual = 0;
    if (!standard &&
        (!serialspeed::Read(fd_.Get(), actual) ||
         static_cast<uint64_t>(actual > speed_ ? actual - speed_ : speed_ - actual) * 50 > speed_))
        return lr::SetStateFailed;

    // Linux raises DTR on open. A pseudo-terminal has no modem lines (ENOTTY/EINVAL).
    int dtr = TIOCM_DTR;
    if (::ioctl(fd_.Get(), TIOCMBIC, &dtr) != 0 && errno != ENOTTY && errno != EINVAL)
        return lr::SetStateFailed;
    return lr::Ok;
}

void CComLink::CloseHandle() {
    if (!fd_) return;
    // close() waits up to half a minute for queued output; after a write that could not get
    // out (flow control holding the line), that output is dropped instead.
    if (outputStuck_) ::tcflush(fd_.Get(), TCOFLUSH);
    if (state_) TcSetAttr(fd_.Get(), state_->original);
    ::ioctl(fd_.Get(), TIOCNXCL);
    fd_.Reset();
    state_.reset();
    outputStuck_ = false;
}

int CComLink::ReadUntil(void* buffer, int count, int* got, Clock::time_point deadline) {
    if (buffer == nullptr || count <= 0) return lr::BadArgument;
    if (!fd_) return lr::NotOpen;

    int total = 0, error = 0;
    const ReadStep end = ReadUpTo(
        fd_.Get(), static_cast<uint8_t*>(buffer), count, [deadline] { return deadline; }, total,
        error);
    if (got != nullptr) *got = total;
    if (end == ReadStep::Failed) return SystemFailure(error);
    // A tty that is readable yet gives nothing has been hung up: its adapter was pulled out, or
    // the other side of a pseudo-terminal closed. Every later call fails (a write with EIO), so
    // the read says so now rather than pass it off as silence and wait out the timeout.
    if (end == ReadStep::Closed) return SystemFailure(EIO);
    return lr::Ok;
}

int CComLink::Write(const void* buffer, int count, int* written) {
    if (buffer == nullptr || count <= 0) return lr::BadArgument;
    if (!fd_) return lr::NotOpen;

    const auto deadline = Clock::now() + Millis(timings_.serialWriteMs) + PerByte(count);
    const auto* in = static_cast<const uint8_t*>(buffer);
    int total = 0;
    int error = 0;  // the errno of a write that failed outright (a line that went away: EIO)
    while (total < count) {
        const ssize_t n = ::write(fd_.Get(), in + total, static_cast<size_t>(count - total));
        if (n > 0) {
            total += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            error = errno;
            break;
        }
        short revents = 0;
        if (PollUntil(fd_.Get(), POLLOUT, deadline, revents) <= 0) break;
        if ((revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (revents & POLLOUT) == 0) break;
    }
    // Bytes the kernel still holds when time runs out have not gone out.
    if (total == count) total -= std::min(DrainOutput(deadline), count);
    if (written != nullptr) *written = total;
    if (total == count) return lr::Ok;
    outputStuck_ = true;
    return error != 0 ? SystemFailure(error) : lr::ShortWrite;
}

int CComLink::DrainOutput(Clock::time_point deadline) {
    // tcdrain() would also wait for the UART's own FIFO, but without any bound: a line held by
    // flow control would hang the call. The kernel's count of bytes still queued is polled
    // instead, each wait as long as the queued bytes need on the line; the few bytes in the
    // hardware FIFO are covered by the answer's deadline, which starts no earlier than the
    // request's wire time after the write began (WireTime). A pseudo-terminal reports nothing
    // queued: its bytes reach the other side at once.
    for (;;) {
        int queued = 0;
        if (::ioctl(fd_.Get(), TIOCOUTQ, &queued) != 0 || queued <= 0) return 0;
        const auto now = Clock::now();
        if (now >= deadline) return queued;
        const auto wait = std::min<Clock::duration>(WireTime(queued), deadline - now);
        std::this_thread::sleep_for(
            std::max<Clock::duration>(wait, std::chrono::microseconds(100)));
    }
}

int CComLink::Purge(int flags) {
    if (!fd_) return 0;
    // The Windows purge flags: 4 clears the output buffer, 8 the input buffer; 1 and 2 abort
    // overlapped operations, which this link never has.
    const bool output = (flags & 4) != 0, input = (flags & kPurgeInput) != 0;
    if (!input && !output) return 1;
    const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    return ::tcflush(fd_.Get(), queue) == 0 ? 1 : 0;
}
