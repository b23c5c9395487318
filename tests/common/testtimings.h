#pragma once
// The waits the link tests run with: a tenth of the defaults, so that a silent device costs
// milliseconds. Bounds on how long something took are derived from these values.
#include <algorithm>

#include "link/linktimings.h"

inline constexpr LinkTimings kTestTimings = LinkTimings{}.Scaled(0.1);

// The time a silent serial exchange of one command takes: every attempt waits its timeout and
// the one byte asked for.
inline long SilentSerialMs(const CommandTiming& timing) {
    return static_cast<long>(timing.attempts) *
           (timing.timeoutMs + static_cast<long>(kTestTimings.byteUs) / 1000);
}

// After an exchange whose attempts timed out, the next one first lets the late answers in and
// drops them: it waits for the line to stay quiet for the timeout, and while the device talks, for
// at most one whole answer per attempt that timed out. attemptMs is the longest an attempt takes.
inline long LateAnswerDrainMs(const CommandTiming& timing, long attemptMs) {
    return attemptMs * (1 + std::min<long>(timing.attempts, 3));
}

// The longest `calls` exchanges of a command against a faulty device take: every attempt of each,
// and the drain of late answers before each but the first.
inline long FailingExchangesMs(int calls, const CommandTiming& timing, long attemptMs) {
    return calls * timing.attempts * attemptMs + (calls - 1) * LateAnswerDrainMs(timing, attemptMs);
}

// Waits that an event has to end (an answer, a reset, a refusal, a signal) are checked this way:
// the wait the code would otherwise run into is made kLongWaitMs, and the event must end it
// within kPromptMs. That bound is far beyond any delay a loaded machine adds, and still proves
// that the event, not the long wait, ended it.
inline constexpr unsigned kLongWaitMs = 60000;
inline constexpr long kPromptMs = kLongWaitMs / 3;

// The most a wait that runs out may take beyond its own length: far beyond any delay a loaded
// machine adds, so that only a wait that does not end by itself (or one of the default timings,
// ten times as long, in a test that sets them long) goes past it.
inline long OwnWaitBoundMs(long waitMs) {
    return waitMs + kPromptMs;
}
