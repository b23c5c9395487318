#include "cli/frametrace.h"

void FrameTracer::operator()(FrameWay way, const uint8_t* bytes, int length) const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    const std::string line =
        way == FrameWay::Echo
            ? FrameTraceLine(elapsed.count(), false, bytes, length, "request echo", "")
            : FrameTraceLine(elapsed.count(), way == FrameWay::Sent, bytes, length);
    err_ << line << '\n' << std::flush;
}
