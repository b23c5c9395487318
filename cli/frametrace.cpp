#include "cli/frametrace.h"

void FrameTracer::operator()(bool sent, const uint8_t* bytes, int length) const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    err_ << FrameTraceLine(elapsed.count(), sent, bytes, length) << '\n' << std::flush;
}
