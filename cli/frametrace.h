#pragma once
// The --trace line of one frame: milliseconds since the command started, the direction ("->"
// sent, "<-" received), the bytes in hex, and whether the frame's check bytes hold.
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

// "ok", "BAD", or why the bytes are not a whole frame.
std::string FrameCheckText(const uint8_t* bytes, int length);

std::string FrameTraceLine(long long elapsedMs, bool sent, const uint8_t* bytes, int length);

// Writes a trace line per frame to err, timed from its own creation.
class CFrameTracer {
  public:
    explicit CFrameTracer(std::ostream& err)
        : err_(err), start_(std::chrono::steady_clock::now()) {}
    void operator()(bool sent, const uint8_t* bytes, int length) const;

  private:
    std::ostream& err_;
    std::chrono::steady_clock::time_point start_;
};
