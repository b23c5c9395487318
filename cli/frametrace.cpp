#include "frametrace.h"

#include <cstdio>

#include "vr7frame.h"

std::string FrameCheckText(const uint8_t* bytes, int length) {
    if (length < kFrameHeader) return "incomplete header";
    const int data = FrameLength(bytes);
    if (data > kMaxFrameData) return "length " + std::to_string(data) + " too long";
    const int whole = FrameSizeOf(bytes);
    if (length < whole) {
        return "incomplete (" + std::to_string(length) + " of " + std::to_string(whole) + " bytes)";
    }
    return FrameCheckFails(bytes) ? "check BAD" : "check ok";
}

std::string FrameTraceLine(long long elapsedMs, bool sent, const uint8_t* bytes, int length) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%8lld ms %s", elapsedMs, sent ? "->" : "<-");
    std::string line = stamp;
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < length; ++i) {
        line += ' ';
        line += kHex[bytes[i] >> 4];
        line += kHex[bytes[i] & 0x0F];
    }
    line += "  ";
    line += FrameCheckText(bytes, length);
    return line;
}

void CFrameTracer::operator()(bool sent, const uint8_t* bytes, int length) const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    err_ << FrameTraceLine(elapsed.count(), sent, bytes, length) << '\n' << std::flush;
}
