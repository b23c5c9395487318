#pragma once
// Deadline-bound waits on one descriptor, shared by the serial and the TCP/IP link.
#include <chrono>

namespace pollwait {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

// Milliseconds left until deadline for poll(), 0 once it has passed.
int RemainingMs(Clock::time_point deadline);

// poll() on fd until deadline; EINTR resumes the wait with the time that is left. Returns poll()'s
// result (0 on timeout) with the events seen in revents.
int PollUntil(int fd, short events, Clock::time_point deadline, short& revents);

}  // namespace pollwait
