#pragma once
// Deadline-bound waits on one descriptor, shared by the serial and the TCP/IP link (on Windows,
// where a COM port has waits of its own, by the TCP/IP link alone: the handle is a socket).
#include <chrono>
#include <cstdint>

#include "link/socket.h"

namespace pollwait {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;
// What is waited on: a descriptor, or on Windows a socket.
#ifdef _WIN32
using Handle = SocketHandle;
#else
using Handle = int;
#endif

// Milliseconds left until deadline for poll(), 0 once it has passed.
int RemainingMs(Clock::time_point deadline);

// poll() on fd until deadline; EINTR resumes the wait with the time that is left. Returns poll()'s
// result (0 on timeout) with the events seen in revents.
int PollUntil(Handle fd, short events, Clock::time_point deadline, short& revents);

enum class ReadStep {
    Data,     // got bytes were read
    Timeout,  // nothing came before deadline
    Closed,   // readable yet empty: the peer closed or hung up
    Failed,   // a system call failed; error holds its errno
};

// Waits until deadline for fd (non-blocking) to be readable and reads what is there, at most
// count bytes. Bytes already pending are taken even when the deadline has passed; interrupted
// and would-block calls are resumed.
ReadStep ReadSome(Handle fd, uint8_t* out, int count, Clock::time_point deadline, int& got,
                  int& error);

// Reads until count bytes have come or a step ends otherwise, which it returns (Data when all
// came); got = the bytes read. nextDeadline() gives the end of each wait.
template <class NextDeadline>
ReadStep ReadUpTo(Handle fd, uint8_t* out, int count, NextDeadline nextDeadline, int& got,
                  int& error) {
    got = 0;
    while (got < count) {
        int n = 0;
        const ReadStep step = ReadSome(fd, out + got, count - got, nextDeadline(), n, error);
        if (step != ReadStep::Data) return step;
        got += n;
    }
    return ReadStep::Data;
}

}  // namespace pollwait
