#pragma once
// The VR-7 frame, as both ends of the line see it: address (u32 LE, bytes 0-3), data length L
// (u16 LE, bytes 4-5), command (byte 6), L data bytes, XOR check, SUM check: L + 9 bytes, at most
// 1024. Pure functions and constants only, so that the connection, the protocol, the trace and
// the device simulator share one description of it without sharing anything else.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/lebytes.h"

// The address a device answers whatever its own number.
constexpr uint32_t AnyDeviceAddress = 0x51525354;

constexpr int kFrameSize = 1024;                                // the largest frame
constexpr int kFrameHeader = 7;                                 // address, length, command
constexpr int kFrameCheckSize = 2;                              // XOR and SUM
constexpr int kFrameOverhead = kFrameHeader + kFrameCheckSize;  // 9
constexpr int kMaxFrameData = kFrameSize - kFrameOverhead;      // 1015
constexpr int kFrameLengthAt = 4;
constexpr int kFrameCommandAt = 6;

enum Vr7Command : uint8_t {
    cmdIdentify = 0x01,
    cmdOpenFile = 0x05,
    cmdReadBlock = 0x06,
    cmdWriteBlock = 0x07,
    cmdReadEntry = 0x21,
    cmdReadHeader = 0x23,
};

// The data bytes of the file commands.
constexpr uint8_t kOpenForRead = 1;  // 0x05: mode byte, then the name
constexpr uint8_t kOpenForWrite = 2;
constexpr uint8_t kNextBlock = 0x5A;       // 0x06: the block after the last one sent
constexpr uint8_t kSameBlockAgain = 0x00;  // 0x06: the last block once more (its answer was lost)
constexpr uint8_t kBlockAccepted = 0xA5;   // the answer to a 0x07 block
// The device's answer code to an open for reading of a file it does not have. It is the only
// refusal that means "no such file": any other code is a refusal for another reason.
constexpr uint8_t kRefusedNoSuchFile = 0x02;
constexpr int kBlockPositionSize = 4;  // a 0x06 answer: position after the block (u32 LE), bytes
constexpr int kMaxBlockFileBytes = kMaxFrameData - kBlockPositionSize;
constexpr int kDeviceInfoSize = 37;   // the data of the answer to 0x01
constexpr int kConfigEntrySize = 17;  // the data of the answer to 0x21: one entry's descriptor
constexpr int kHeaderFixedSize = 8;   // 0x23: entry count, second value; then the systems
constexpr int kFileSizeSize = 4;      // 0x05 for reading: the file's size (u32 LE)

// Whether code is one of the protocol's commands: an answer carrying another command's code is
// no refusal but an answer to something else.
inline bool IsCommandCode(uint8_t code) {
    switch (code) {
        case cmdIdentify:
        case cmdOpenFile:
        case cmdReadBlock:
        case cmdWriteBlock:
        case cmdReadEntry:
        case cmdReadHeader:
            return true;
        default:
            return false;
    }
}

inline void SetFrameHeader(uint8_t* frame, uint32_t address, uint16_t length, uint8_t command) {
    PutLe32(frame, address);
    PutLe16(frame + kFrameLengthAt, length);
    frame[kFrameCommandAt] = command;
}
inline uint32_t FrameAddress(const uint8_t* frame) {
    return GetLe32(frame);
}
inline uint16_t FrameLength(const uint8_t* frame) {
    return GetLe16(frame + kFrameLengthAt);
}
inline uint8_t FrameCommand(const uint8_t* frame) {
    return frame[kFrameCommandAt];
}
inline uint8_t* FrameData(uint8_t* frame) {
    return frame + kFrameHeader;
}
inline const uint8_t* FrameData(const uint8_t* frame) {
    return frame + kFrameHeader;
}
// The whole frame's size as its length field announces it (no buffer holds more than kFrameSize).
inline int FrameSizeOf(const uint8_t* frame) {
    return FrameLength(frame) + kFrameOverhead;
}

namespace vr7frame_detail {
// The XOR and the sum (modulo 256) of the bytes 0..6+L, eight bytes at a time: the XOR of the
// words folds into the XOR of their bytes, and the bytes are summed in four 16-bit lanes, which a
// frame's at most 128 words cannot overflow.
inline void ComputeCheck(const uint8_t* frame, int length, uint8_t& x, uint8_t& s) {
    constexpr uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
    static_assert((kFrameSize / 8) * 2 * 255 <= 0xFFFF);
    const int n = kFrameHeader + length;
    uint64_t words = 0, lanes = 0;
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, frame + i, sizeof w);
        words ^= w;
        lanes += (w & kLowBytes) + ((w >> 8) & kLowBytes);
    }
    for (int shift = 32; shift >= 8; shift /= 2) words ^= words >> shift;
    x = static_cast<uint8_t>(words);
    s = static_cast<uint8_t>(lanes + (lanes >> 16) + (lanes >> 32) + (lanes >> 48));
    for (; i < n; ++i) {
        x ^= frame[i];
        s = static_cast<uint8_t>(s + frame[i]);
    }
}
}  // namespace vr7frame_detail

// Check bytes over bytes 0..6+L (L from the frame's own length field, held to kMaxFrameData).
inline void SetFrameCheck(uint8_t* frame) {
    const int length = std::min<int>(FrameLength(frame), kMaxFrameData);
    uint8_t x, s;
    vr7frame_detail::ComputeCheck(frame, length, x, s);
    frame[kFrameHeader + length] = x;
    frame[kFrameHeader + length + 1] = s;
}

// A length beyond kMaxFrameData never passes the check: no buffer holds such a frame.
inline bool FrameCheckFails(const uint8_t* frame) {
    const int length = FrameLength(frame);
    if (length > kMaxFrameData) return true;
    uint8_t x, s;
    vr7frame_detail::ComputeCheck(frame, length, x, s);
    return x != frame[kFrameHeader + length] || s != frame[kFrameHeader + length + 1];
}

// A whole frame with its check bytes; data beyond kMaxFrameData is left out.
inline std::vector<uint8_t> MakeFrame(uint32_t address, uint8_t command, const uint8_t* data,
                                      size_t length) {
    length = std::min<size_t>(length, kMaxFrameData);
    std::vector<uint8_t> frame(length + kFrameOverhead);
    SetFrameHeader(frame.data(), address, static_cast<uint16_t>(length), command);
    if (length > 0) std::copy_n(data, length, frame.begin() + kFrameHeader);
    SetFrameCheck(frame.data());
    return frame;
}
inline std::vector<uint8_t> MakeFrame(uint32_t address, uint8_t command,
                                      const std::vector<uint8_t>& data = {}) {
    return MakeFrame(address, command, data.data(), data.size());
}
