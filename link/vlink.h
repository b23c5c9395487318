#pragma once
// A byte channel to the device: open and close, write a block, read a block within a timeout,
// discard pending input. The protocol sees only this interface.
#include <chrono>

#include "link/vr7types.h"

class CLink {
  public:
    virtual ~CLink() = default;
    // open = true: (re)open; open = false: close.
    virtual int Open(bool open) {
        (void)open;
        return -1;
    }
    // Reads up to count bytes; got (may be null) receives the count read.
    virtual int Read(void* buffer, int count, int* got, unsigned timeoutMs) {
        (void)buffer, (void)count, (void)got, (void)timeoutMs;
        return -1;
    }
    // Reads up to count bytes until deadline, with no allowance of the link's own added: what an
    // exchange uses so that one answer has one deadline. Results as Read's.
    virtual int ReadUntil(void* buffer, int count, int* got,
                          std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        return Read(buffer, count, got, left > 0 ? static_cast<unsigned>(left) : 0u);
    }
    // The time a link adds to an answer's timeout for an answer of count bytes: the time the
    // bytes take on a serial line, the extra wait of the TCP/IP link.
    virtual std::chrono::microseconds AnswerAllowance(int count) const {
        (void)count;
        return std::chrono::microseconds(0);
    }
    // The time count bytes take to cross the line once they are written (0 where the link does
    // not know it): an answer cannot begin before the request's last byte has arrived.
    virtual std::chrono::microseconds WireTime(int count) const {
        (void)count;
        return std::chrono::microseconds(0);
    }
    virtual int Write(const void* buffer, int count, int* written) {
        (void)buffer, (void)count, (void)written;
        return -1;
    }
    virtual bool IsOpen() { return false; }
    // flags 8 discards pending input; returns 1 when done.
    virtual int Purge(int flags) {
        (void)flags;
        return 0;
    }

    // The errno of the system call whose failure was last reported as 1020, or of the one that
    // made Open fail (0: none yet, or the failure had none).
    int SystemErrorNumber() const { return systemError_; }

  protected:
    // Reports a failed system call: 1020, with its errno kept for the message.
    int SystemFailure(int error) { return Failure(lr::SystemError, error); }
    // Reports result, with the errno behind it (0: none) kept for the message.
    int Failure(int result, int error) {
        systemError_ = error;
        return result;
    }

  private:
    int systemError_ = 0;
};

constexpr int kPurgeInput = 8;
