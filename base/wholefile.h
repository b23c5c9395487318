#pragma once
// The files the system reads as input (settings files, plans, catalogues, configuration files,
// the ini): regular files of a bounded size. A FIFO, a device or a folder named as one is refused
// at once (a FIFO never holds up the open), and so is a file above its kind's limit, before
// anything of it is read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/result.h"
#include "base/uniquefd.h"

// The limits, by kind of input. The gateway's settings are kilobytes: a list of 65 535 rows, the
// most a list holds, stays far below 8 MiB (which is also the largest download taken from a
// device). A plan of thousands of devices is some hundred kilobytes.
namespace inputlimit {
constexpr uint64_t kSettingsFile = 8u << 20;  // a gateway settings file, any file put or stored
constexpr uint64_t kPlan = 4u << 20;          // a site plan
constexpr uint64_t kXml = 64u << 20;          // a catalogue or a configuration folder's file
constexpr uint64_t kIni = 1u << 20;           // the program's settings
}  // namespace inputlimit

// Opens path for reading when it is a regular file of at most maxBytes. A File failure with the
// errno of the failing step (EISDIR for a folder), or an Invalid one naming what the file is
// ("not a regular file (a FIFO)") or its size ("larger than 8 MiB (N bytes): not read").
Result<UniqueFd> OpenInputFile(const std::string& path, uint64_t maxBytes);

// The failure of such a file above its limit: "larger than 8 MiB (N bytes): not read".
Failure InputTooLarge(const std::string& path, uint64_t maxBytes, uint64_t size);

// The content of such a file, read whole.
Result<std::string> ReadWholeFile(const std::string& path, uint64_t maxBytes);
