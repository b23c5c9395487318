#pragma once
// One frame as an engineer reads it in a trace: milliseconds since the command started, the
// direction ("->" sent, "<-" received), the bytes in hex, whether the check bytes hold, and what
// the frame says (command, device, length, entry or file position). vr7lon's --trace and the
// window's exchange log print the same lines.
#include <cstdint>
#include <string>

// "check ok", "check BAD", or why the bytes are not a whole frame.
std::string FrameCheckText(const uint8_t* bytes, int length);

// "read entry, device 12, length 2, entry 3"; a received frame whose command byte is no command
// is the device's refusal ("refusal 4, device 12, length 0"). Empty when the header is incomplete.
std::string FrameSummary(bool sent, const uint8_t* bytes, int length);

std::string FrameTraceLine(long long elapsedMs, bool sent, const uint8_t* bytes, int length);
