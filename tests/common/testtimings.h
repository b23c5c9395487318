#pragma once
// The waits the link tests run with: a tenth of the defaults, so that a silent device costs
// milliseconds. Bounds on how long something took are derived from these values.
#include "linktimings.h"

inline constexpr LinkTimings kTestTimings = LinkTimings{}.Scaled(0.1);

// The time a silent serial exchange of one command takes: every attempt waits its timeout and
// the one byte asked for.
inline long SilentSerialMs(const CommandTiming& timing) {
    return static_cast<long>(timing.attempts) *
           (timing.timeoutMs + static_cast<long>(kTestTimings.byteUs) / 1000);
}
