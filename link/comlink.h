#pragma once
// The link over a serial port: a tty device on POSIX, a COM port on Windows.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "base/uniquefd.h"
#include "link/linktimings.h"
#include "link/vlink.h"

class CComLink : public CLink {
  public:
    CComLink(std::string portName, uint32_t speed, const LinkTimings& timings = {});
    ~CComLink() override;
    CComLink(const CComLink&) = delete;
    CComLink& operator=(const CComLink&) = delete;

    // Open(true): 0, 1003 (cannot open, is no terminal (ENOTTY kept as SystemErrorNumber()), or
    // the port is in use by another program), 1051 (line settings unreadable), 1052 (settings or
    // speed not accepted). A speed that is 0 or beyond SpeedPossible() gives 1052 without touching
    // the port. Whatever fails, the port is let go again (IsOpen() false), so nothing is ever
    // written to a port that did not open.
    int Open(bool open) override;
    // Waits at most timeoutMs + 1 ms per byte asked (LinkTimings::byteUs); silence gives 0 with
    // a short count, a failing system call 1020, and so does a line that went away (its errno:
    // EIO when the tty was hung up, as a pulled-out adapter's is; ENODEV or ENXIO from some
    // drivers), at once.
    int Read(void* buffer, int count, int* got, unsigned timeoutMs) override;
    int ReadUntil(void* buffer, int count, int* got,
                  std::chrono::steady_clock::time_point deadline) override;
    // The time each byte takes on the line at the port's speed, at least 1 ms a byte
    // (LinkTimings::byteUs).
    std::chrono::microseconds AnswerAllowance(int count) const override { return PerByte(count); }
    // count bytes at the port's speed, 10 bits a byte.
    std::chrono::microseconds WireTime(int count) const override;
    // Returns when the bytes have left the port (the kernel holds none of them any more), bounded
    // by 300 ms plus the allowance per byte (LinkTimings::serialWriteMs, PerByte); 1010 when not
    // all of them went out in that time, 1020 when the write failed (a line that went away: EIO).
    int Write(const void* buffer, int count, int* written) override;
    bool IsOpen() override { return fd_.Valid(); }
    int Purge(int flags) override;

    const std::string& PortName() const { return portName_; }
    uint32_t Speed() const { return speed_; }

    // The device path of a port name: "COMn" is /dev/ttyS(n-1) on POSIX and \\.\COMn on
    // Windows; any other name is a path as is.
    static std::string DevicePath(const std::string& portName);
    // The port as a message names it: its device path on POSIX ("COM1" is /dev/ttyS0 there),
    // on Windows the name the user knows ("COM7", never \\.\COM7).
    static std::string PortText(const std::string& portName);
    // A speed this platform can ask a line for: 1 Bd up to its highest B-constant (4 000 000 Bd
    // on Windows). A standard rate goes by its constant; any other is asked of the driver and
    // taken only when the line, read back, runs within 2 % of it (what a UART tolerates).
    static bool SpeedPossible(uint32_t baud);

  private:
    int OpenPort();
    int ApplyLineSettings();
    // The allowance for count bytes: their wire time, at least LinkTimings::byteUs a byte.
    std::chrono::microseconds PerByte(int count) const;
    // Waits until the kernel has sent every byte written; the bytes it still holds when deadline
    // comes (0: all went out).
    int DrainOutput(std::chrono::steady_clock::time_point deadline);
    void CloseHandle();

    // What the open port holds besides its handle: the line's settings as found, to restore.
    struct PortState;

    std::string portName_;
    uint32_t speed_;
    LinkTimings timings_;
    UniqueFd fd_;
    bool outputStuck_ = false;          // a write could not get all its bytes out
    std::unique_ptr<PortState> state_;  // while open
};
