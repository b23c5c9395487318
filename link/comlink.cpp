#include "link/comlink.h"

#include <algorithm>

#include "link/pollwait.h"

using namespace pollwait;

std::chrono::microseconds CComLink::WireTime(int count) const {
    // 10 bits a byte: start, 8 data, stop. Rounded up, so that a wait is never short of it.
    if (speed_ == 0 || count <= 0) return std::chrono::microseconds(0);
    const uint64_t bits = static_cast<uint64_t>(count) * 10u * 1000000u;
    return std::chrono::microseconds(static_cast<int64_t>((bits + speed_ - 1) / speed_));
}

std::chrono::microseconds CComLink::PerByte(int count) const {
    // Never less than the allowance a byte always had (1 ms at the real timings), nor than the
    // bytes' time on the line at the port's speed.
    const std::chrono::microseconds allowance(static_cast<int64_t>(timings_.byteUs) * count);
    return std::max(allowance, WireTime(count));
}

int CComLink::Open(bool open) {
    CloseHandle();
    if (!open) return lr::Ok;
    // 0 would hang the line up (B0); the port is not even opened for a speed it cannot run at.
    if (!SpeedPossible(speed_)) return Failure(lr::SetStateFailed, 0);
    const int r = OpenPort();
    if (r != lr::Ok) CloseHandle();
    return r;
}

int CComLink::Read(void* buffer, int count, int* got, unsigned timeoutMs) {
    return ReadUntil(buffer, count, got, Clock::now() + Millis(timeoutMs) + PerByte(count));
}
