#pragma once
// Ini files with the semantics of the Windows profile functions, so that a settings file written
// on Windows (CR LF, Windows-1251) reads the same here: section and key names are compared
// ignoring ASCII letter case, values are trimmed and unquoted and cut to 254 characters, and
// writing one key keeps every other line of the file as it was. A file Windows saved as UTF-16LE
// (with its byte order mark) and one whose lines end in a lone CR read as Windows reads them, and
// a write keeps the file's encoding and line ends; values cross to and from UTF-16 as
// Windows-1251.
#include <cstdint>
#include <string>

namespace ini {

// The value of key in section, or defaultValue when the file, the section or the key is missing.
std::string ReadString(const std::string& path, const std::string& section, const std::string& key,
                       const std::string& defaultValue, size_t bufferSize = 255);

// Sets key in section to value, creating the file, the section or the key as needed. The file is
// replaced through a temporary file, so a failed write leaves the old file intact. Returns false
// when the file cannot be written (the caller may ignore it, as Windows programs do).
bool WriteString(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& value);

// The C library's atoi on the value's text: leading white space, an optional sign, then digits;
// no digits give 0. Works on 64 bits and keeps the low 32 bits, so a "%u" value >= 2^31 written
// back by this program round-trips.
uint32_t AtoiLow32(const std::string& text);

// atoi as the Windows C library has it: a value beyond the int range gives INT_MAX (or INT_MIN
// when negative) rather than wrapping, so that "4294977297" can never pass for 10001.
int AtoiInt(const std::string& text);

}  // namespace ini
