#pragma once
// Types shared by the device protocol, the connection and the configuration tree.
#include <array>
#include <cstdint>
#include <string>

#include "base/lebytes.h"

// Result of every link, connection and protocol operation: 0 success, 1001..1053 the system's own
// codes, 1..255 the device's refusal code, -1 an unacknowledged file block. A system call that
// failed on the link gives 1020; its errno is kept by the link and the connection
// (SystemErrorNumber()) for the message.
using LinkResult = int;

namespace lr {
constexpr LinkResult Ok = 0;
constexpr LinkResult Unacknowledged = -1;
// Missing buffer or zero length; an open refused: for reading, the device has no such file; for
// writing, its write protection is on.
constexpr LinkResult BadArgument = 1001;
constexpr LinkResult NotOpen = 1003;  // link not open / cannot be opened / no link
constexpr LinkResult LockFailed = 1005;
constexpr LinkResult NoLinkObject = 1007;
constexpr LinkResult ShortWrite = 1010;
constexpr LinkResult TcpTimeout = 1011;
constexpr LinkResult BadCheck = 1013;
// The TCP port setting (TCPIPport) is no number from 1 to 65535: nothing was connected to.
constexpr LinkResult BadTcpPort = 1019;
constexpr LinkResult SystemError = 1020;  // a system call on the link failed (errno kept aside)
// The user cancelled the command (connection::RequestCancel): no exchange was begun after that.
constexpr LinkResult Cancelled = 1021;
constexpr LinkResult NoAnswer = 1016;
constexpr LinkResult BadLength = 1017;
// A download that does not add up: its blocks bring more bytes than the device announced, fewer
// by the time it ends, or a block's position is not where the one before ended (a position that
// repeats or runs ahead).
constexpr LinkResult Incomplete = 1018;
// The device announced a file larger than any it holds for the gateway (kMaxDeviceFileBytes):
// nothing of it was read.
constexpr LinkResult FileTooLarge = 1022;
// A whole answer with good check bytes that does not have the length and layout its command
// defines (another command's answer, one cut short or too long, the request's own echo): it is
// never read, and the attempt is repeated as for a broken answer.
constexpr LinkResult Garbled = 1023;
// The line is set to hand the request back (local echo of an RS-485 converter) and did not: the
// request did not come back whole and unchanged within its wire time and allowance.
constexpr LinkResult NoEcho = 1024;
// A second whole answer came to one request: two devices answer the number (or the line repeats
// answers). Neither answer is taken.
constexpr LinkResult TwoAnswers = 1025;
constexpr LinkResult GetStateFailed = 1051;
constexpr LinkResult SetStateFailed = 1052;
constexpr LinkResult SetMaskFailed = 1053;
}  // namespace lr

// The device's 37-byte identification block.
struct DeviceInfo {
    std::array<uint8_t, 37> Bytes{};
    uint16_t VersionBuild() const { return GetLe16(&Bytes[2]); }
    uint8_t VersionMinor() const { return Bytes[4]; }
    uint8_t VersionMajor() const { return Bytes[5]; }
    uint32_t DeviceNumber() const { return GetLe32(&Bytes[21]); }
    // The firmware version as the device's users write it: "MAJOR.MINOR.BUILD".
    std::string VersionText() const {
        return std::to_string(VersionMajor()) + "." + std::to_string(VersionMinor()) + "." +
               std::to_string(VersionBuild());
    }
};

// The configuration header. Entry i of the arrays belongs to system i + 1.
struct SConfigInfo {
    uint32_t EntryCount = 0;
    uint32_t HeaderValue2 = 0;
    uint8_t SystemCount = 0;
    std::array<std::string, 9> SystemName;  // Windows-1251
    std::array<std::string, 9> SystemText2;
};
