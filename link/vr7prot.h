#pragma once
// The VR-7 request/response protocol. A frame is: address (u32 LE), length L (u16 LE), command,
// L data bytes, XOR check, SUM check: L + 9 bytes, at most 1024.
#include <cstdint>
#include <istream>
#include <ostream>

#include "connection.h"
#include "vr7types.h"

constexpr uint32_t AnyDeviceAddress = 0x51525354;
constexpr int kFrameSize = 1024;
constexpr int kFrameHeader = 7;
constexpr int kMaxFrameData = 1015;
constexpr int kFrameOverhead = 9;  // header and the two check bytes

inline uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

enum Vr7Command : uint8_t {
    cmdIdentify = 0x01,
    cmdOpenFile = 0x05,
    cmdReadBlock = 0x06,
    cmdWriteBlock = 0x07,
    cmdReadEntry = 0x21,
    cmdReadHeader = 0x23,
};

// Frame field helpers.
void SetFrameHeader(uint8_t* frame, uint32_t address, uint16_t length, uint8_t command);
uint32_t FrameAddress(const uint8_t* frame);
uint16_t FrameLength(const uint8_t* frame);
uint8_t FrameCommand(const uint8_t* frame);
inline uint8_t* FrameData(uint8_t* frame) {
    return frame + kFrameHeader;
}
inline const uint8_t* FrameData(const uint8_t* frame) {
    return frame + kFrameHeader;
}

// Check bytes over bytes 0..6+L (L from the frame's own length field). A length beyond
// kMaxFrameData never passes the check: no buffer holds such a frame.
void SetFrameCheck(uint8_t* frame);
bool FrameCheckFails(const uint8_t* frame);

// request and response are kFrameSize-byte buffers; the response is cleared first.
LinkResult Exchange(connection& conn, uint8_t* request, uint8_t* response, uint8_t attempts,
                    unsigned timeoutMs);

// The operations below return 0, a link or exchange code, or the device's refusal code (a
// refusal code of 0 is reported as 255). Bytes the device did not send read as 0.

// Identification; address is the device number or AnyDeviceAddress.
LinkResult ReadDeviceInfo(connection& conn, uint32_t address, DeviceInfo& info);
// Appends the device's file name to dest. 1001: the device refused to open it (or dest/name is
// missing); 1017: a block answer too short to hold its position.
LinkResult ReadDeviceFile(connection& conn, uint32_t deviceNumber, std::ostream* dest,
                          const char* name, ProgressProc progress, void* context);
// Sends the whole of src as the device's file name. 1001: refused (write protection); -1: a block
// not acknowledged, a source that gives fewer bytes than its size, or no src/name.
LinkResult WriteDeviceFile(connection& conn, uint32_t deviceNumber, std::istream* src,
                           const char* name, ProgressProc progress, void* context);
// Copies at most capacity bytes of entry index; *length (may be null) = bytes copied.
LinkResult ReadConfigEntry(connection& conn, uint32_t deviceNumber, uint16_t index, uint8_t* buffer,
                           int capacity, int* length);
// The header holds nine systems: a larger count is stored as 9 and the pairs beyond are ignored.
LinkResult ReadConfigHeader(connection& conn, uint32_t deviceNumber, SConfigInfo& header);
