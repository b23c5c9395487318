#pragma once
// The VR-7 request/response protocol over a connection; the frame itself is in vr7frame.h.
#include <cstdint>
#include <istream>
#include <ostream>

#include "base/progresssink.h"
#include "link/connection.h"
#include "link/vr7frame.h"
#include "link/vr7types.h"

// request and response are kFrameSize-byte buffers; the response is cleared first. Any whole frame
// with good check bytes is taken: the operations below use their commands' own rules.
LinkResult Exchange(connection& conn, uint8_t* request, uint8_t* response, uint8_t attempts,
                    unsigned timeoutMs);
// The same with a command's timing (one of conn.Timings).
LinkResult Exchange(connection& conn, uint8_t* request, uint8_t* response, CommandTiming timing);

// The longest file name the device's open request carries (the mode byte comes first).
inline constexpr int kMaxDeviceFileName = kMaxFrameData - 1;
// The largest file a download takes: 8 MiB. The gateway's settings are kilobytes; the longest
// list a settings file can hold (65 535 rows) stays well below it. A device announcing more is
// refused before any block is read, so a download never holds more than this.
inline constexpr uint64_t kMaxDeviceFileBytes = 8u << 20;

// Whether a whole answer has the length and layout request's command defines: the identification
// block (37 bytes), the header (8 bytes, then as many pairs of zero-terminated texts as its count
// says and nothing after them), an entry (17 bytes), a file opened for reading with its size (4
// bytes; for writing nothing, or the size), a block read (its 4-byte position and up to a block of
// file bytes), a block written acknowledged in one byte (the closing block: that byte or
// nothing). A refusal is any code but a command's; another command's answer never fits.
bool AnswerFits(const uint8_t* request, const uint8_t* response);

// The operations below return 0, a link or exchange code, or the device's refusal code (a
// refusal code of 0 is reported as 255). Each answer is checked with AnswerFits: one that does
// not fit is garbled (lr::Garbled, repeated as the command's attempts allow) and never read. The
// identification listens for a second answer (lr::TwoAnswers).

// Identification; address is the device number or AnyDeviceAddress.
LinkResult ReadDeviceInfo(connection& conn, uint32_t address, DeviceInfo& info);
// Appends the device's file name to dest. 1001: the device answered that it has no such file (or
// dest/name is missing); 1..255: it refused the open with another code; 1023: an answer that does
// not fit its command (an open answer without the file's size); 1018: the blocks do not add up to
// the size the device announced (more bytes than it, fewer when the empty last block comes, or a
// block whose position is not where the previous one ended). The transfer stops at the
// first block that does not fit, so a device whose blocks never end cannot keep it going, and
// that block is not appended.
LinkResult ReadDeviceFile(connection& conn, uint32_t deviceNumber, std::ostream* dest,
                          const char* name, IProgressSink* progress);
// Sends the whole of src as the device's file name, then the empty block on which the device
// commits it. 1001: refused (write protection); -1: a block not acknowledged, a source that gives
// fewer bytes than its size, or no src/name; the empty block unanswered or refused: its result.
LinkResult WriteDeviceFile(connection& conn, uint32_t deviceNumber, std::istream* src,
                           const char* name, IProgressSink* progress);
// Copies at most capacity bytes of entry index (17 at most); *length (may be null) = bytes copied.
LinkResult ReadConfigEntry(connection& conn, uint32_t deviceNumber, uint16_t index, uint8_t* buffer,
                           int capacity, int* length);
// The header holds nine systems: a larger count is stored as 9 and the pairs beyond are ignored;
// a header of its fixed 8 bytes alone names nine systems with empty names.
LinkResult ReadConfigHeader(connection& conn, uint32_t deviceNumber, SConfigInfo& header);
