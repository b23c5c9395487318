#include "link/comlink.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>

#include "base/wintext.h"
#include "link/pollwait.h"

namespace {

using namespace pollwait;

// The highest speed asked of a driver, as on the other platforms; the driver says what it can do.
constexpr uint32_t kHighestSpeed = 4000000;

HANDLE HandleOf(const UniqueFd& fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd.Get()));
}

// The port name without "\\.\", upper case: "COM5". Names the port's lock.
std::wstring PortKey(const std::string& devicePath) {
    std::wstring key = WideFromUtf8(devicePath);
    if (key.rfind(L"\\\\.\\", 0) == 0) key.erase(0, 4);
    for (wchar_t& c : key) c = c == L'\\' ? L'_' : static_cast<wchar_t>(::towupper(c));
    return key;
}

}  // namespace

struct CComLink::PortState {
    DCB original{};  // restored when the port is let go
    COMMTIMEOUTS originalTimeouts{};
    bool restore = false;
    // Windows lets one program at a time open a COM port; Wine does not refuse a second one, so
    // a named lock of the port's also keeps a second copy of this program off it.
    HANDLE lock = nullptr;
    // The timeouts set now, so that a read or a write with the same ones sets nothing.
    COMMTIMEOUTS timeouts{};
    bool timeoutsSet = false;

    ~PortState() {
        if (lock != nullptr) ::CloseHandle(lock);
    }
    bool SetTimeouts(HANDLE port, const COMMTIMEOUTS& t) {
        if (timeoutsSet && t.ReadIntervalTimeout == timeouts.ReadIntervalTimeout &&
            t.ReadTotalTimeoutMultiplier == timeouts.ReadTotalTimeoutMultiplier &&
            t.ReadTotalTimeoutConstant == timeouts.ReadTotalTimeoutConstant &&
            t.WriteTotalTimeoutMultiplier == timeouts.WriteTotalTimeoutMultiplier &&
            t.WriteTotalTimeoutConstant == timeouts.WriteTotalTimeoutConstant)
            return true;
        COMMTIMEOUTS copy = t;
        timeoutsSet = ::SetCommTimeouts(port, &copy) != 0;
        timeouts = t;
        return timeoutsSet;
    }
};

CComLink::CComLink(std::string portName, uint32_t speed, const LinkTimings& timings)
    : portName_(std::move(portName)), speed_(speed), timings_(timings) {}

CComLink::~CComLink() {
    CloseHandle();
}

std::string CComLink::PortText(const std::string& portName) {
    constexpr std::string_view kDevice = "\\\\.\\";
    std::string path = DevicePath(portName);
    if (path.rfind(kDevice, 0) != 0) return portName;
    path.erase(0, kDevice.size());
    for (char& c : path)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return path;
}

std::string CComLink::DevicePath(const std::string& portName) {
    // Port names in any case ("com3" opens COM3); COM10 and above only open by their device
    // path, which every COM port has.
    if (portName.size() >= 4 && portName.size() <= 6 && (portName[0] | 0x20) == 'c' &&
        (portName[1] | 0x20) == 'o' && (portName[2] | 0x20) == 'm' && portName[3] >= '1' &&
        portName[3] <= '9') {
        for (size_t i = 3; i < portName.size(); ++i)
            if (portName[i] < '0' || portName[i] > '9') return portName;
        return "\\\\.\\COM" + portName.substr(3);
    }
    return portName;
}

bool CComLink::SpeedPossible(uint32_t baud) {
    return baud != 0 && baud <= kHighestSpeed;
}

int CComLink::OpenPort() {
    const std::string path = DevicePath(portName_);
    auto state = std::make_unique<PortState>();
    state->lock =
        ::CreateMutexW(nullptr, FALSE, (L"Local\\vr7loncfgmaker-" + PortKey(path)).c_str());
    if (state->lock == nullptr) return Failure(lr::NotOpen, LastErrno());
    if (::GetLastError() == ERROR_ALREADY_EXISTS) return Failure(lr::NotOpen, EBUSY);
    // No sharing: the port is this program's alone until it lets go.
    const HANDLE handle = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A port held by another program is refused with "access denied".
        return Failure(lr::NotOpen, error == ERROR_ACCESS_DENIED ? EBUSY : ErrnoFromWin32(error));
    }
    UniqueFd fd(::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY));
    if (!fd) {
        ::CloseHandle(handle);
        return Failure(lr::NotOpen, EMFILE);
    }
    // A file or a pipe named as the port would take the frames as data.
    if (::GetFileType(handle) != FILE_TYPE_CHAR) return Failure(lr::NotOpen, ENOTTY);
    fd_ = std::move(fd);
    outputStuck_ = false;
    state_ = std::move(state);

    state_->original.DCBlength = sizeof(DCB);
    if (!::GetCommState(handle, &state_->original) ||
        !::GetCommTimeouts(handle, &state_->originalTimeouts))
        return Failure(lr::GetStateFailed, LastErrno());
    state_->restore = true;
    return ApplyLineSettings();
}

int CComLink::ApplyLineSettings() {
    const HANDLE handle = HandleOf(fd_);
    ::SetupComm(handle, 4096, 4096);

    // 8N1, binary, DTR off, and no flow control of any kind: neither hardware (CTS, DSR) nor
    // software (XON/XOFF, which must be switched off explicitly: Wine leaves it on otherwise).
    DCB dcb = state_->original;
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = speed_;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(handle, &dcb)) return Failure(lr::SetStateFailed, LastErrno());

    // A driver may take the call and run at another speed: read the line back.
    DCB applied{};
    applied.DCBlength = sizeof(DCB);
    if (!::GetCommState(handle, &applied) || applied.ByteSize != 8 || applied.Parity != NOPARITY ||
        applied.StopBits != ONESTOPBIT)
        return lr::SetStateFailed;
    const uint32_t actual = applied.BaudRate;
    if (static_cast<uint64_t>(actual > speed_ ? actual - speed_ : speed_ - actual) * 50 > speed_)
        return lr::SetStateFailed;
    return lr::Ok;
}

void CComLink::CloseHandle() {
    if (!fd_) {
        state_.reset();
        return;
    }
    const HANDLE handle = HandleOf(fd_);
    // Output a write could not get out is dropped rather than waited for.
    if (outputStuck_) ::PurgeComm(handle, PURGE_TXABORT | PURGE_TXCLEAR);
    if (state_ && state_->restore) {
        ::SetCommState(handle, &state_->original);
        ::SetCommTimeouts(handle, &state_->originalTimeouts);
    }
    fd_.Reset();
    state_.reset();
    outputStuck_ = false;
}

int CComLink::ReadUntil(void* buffer, int count, int* got, Clock::time_point deadline) {
    if (buffer == nullptr || count <= 0) return lr::BadArgument;
    if (!fd_) return lr::NotOpen;

    const HANDLE handle = HandleOf(fd_);
    auto* out = static_cast<uint8_t*>(buffer);
    int total = 0;
    int result = lr::Ok;
    while (total < count) {
        // Each read returns as soon as bytes are there, or after the time left with none; once
        // the deadline has passed, only the bytes already in are taken.
        const int leftMs = RemainingMs(deadline);
        COMMTIMEOUTS t = state_->timeouts;
        t.ReadIntervalTimeout = MAXDWORD;
        t.ReadTotalTimeoutMultiplier = leftMs > 0 ? MAXDWORD : 0;
        t.ReadTotalTimeoutConstant = static_cast<DWORD>(leftMs);
        if (!state_->SetTimeouts(handle, t)) {
            result = SystemFailure(LastErrno());
            break;
        }
        DWORD n = 0;
        if (!::ReadFile(handle, out + total, static_cast<DWORD>(count - total), &n, nullptr)) {
            // A line that went away: its adapter was pulled out, or the pty behind it closed.
            const int error = LastErrno();
            DWORD errors = 0;
            ::ClearCommError(handle, &errors, nullptr);
            result = SystemFailure(error);
            break;
        }
        total += static_cast<int>(n);
        if (n == 0) break;  // nothing came in the time left
    }
    if (got != nullptr) *got = total;
    return result;
}

int CComLink::Write(const void* buffer, int count, int* written) {
    if (buffer == nullptr || count <= 0) return lr::BadArgument;
    if (!fd_) return lr::NotOpen;

    const HANDLE handle = HandleOf(fd_);
    const auto deadline = Clock::now() + Millis(timings_.serialWriteMs) + PerByte(count);
    COMMTIMEOUTS t = state_->timeouts;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = static_cast<DWORD>(std::max(RemainingMs(deadline), 1));
    int error = 0;
    DWORD n = 0;
    if (!state_->SetTimeouts(handle, t)) {
        error = LastErrno();
    } else if (!::WriteFile(handle, buffer, static_cast<DWORD>(count), &n, nullptr)) {
        error = LastErrno();
        DWORD errors = 0;
        ::ClearCommError(handle, &errors, nullptr);
    }
    int total = static_cast<int>(n);
    // Bytes the driver still holds when time runs out have not gone out.
    if (total == count) total -= std::min(DrainOutput(deadline), count);
    if (written != nullptr) *written = total;
    if (total == count) return lr::Ok;
    outputStuck_ = true;
    return error != 0 ? SystemFailure(error) : lr::ShortWrite;
}

int CComLink::DrainOutput(Clock::time_point deadline) {
    // A write returns once its bytes have left, as on the other platforms: the driver's count of
    // bytes still queued is watched, each wait as long as they need on the line.
    const HANDLE handle = HandleOf(fd_);
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(handle, &errors, &status) || status.cbOutQue == 0) return 0;
        const int queued = static_cast<int>(std::min<DWORD>(status.cbOutQue, 0x7FFFFFFF));
        const auto now = Clock::now();
        if (now >= deadline) return queued;
        const auto wait = std::min<Clock::duration>(WireTime(queued), deadline - now);
        std::this_thread::sleep_for(
            std::max<Clock::duration>(wait, std::chrono::microseconds(100)));
    }
}

int CComLink::Purge(int flags) {
    if (!fd_) return 0;
    // The flags are Windows' own: 1 and 2 abort a write or a read under way, 4 clears the
    // output buffer, 8 the input buffer.
    const DWORD purge =
        static_cast<DWORD>(flags) & (PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (purge == 0) return 1;
    return ::PurgeComm(HandleOf(fd_), purge) ? 1 : 0;
}
