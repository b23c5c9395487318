#pragma once
// vr7lon's --trace: a line per frame (link/frametext.h) on the error stream.
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "link/connection.h"
#include "link/frametext.h"

// Writes a trace line per frame to err, timed from its own creation.
class FrameTracer {
  public:
    explicit FrameTracer(std::ostream& err) : err_(err), start_(std::chrono::steady_clock::now()) {}
    // The request handed back by the line is a line of its own: "request echo".
    void operator()(FrameWay way, const uint8_t* bytes, int length) const;

  private:
    std::ostream& err_;
    std::chrono::steady_clock::time_point start_;
};
