#pragma once
// Strict reading of an unsigned 32-bit decimal number, as typed by a user or given on a command
// line (device numbers, TCP ports, speeds).
#include <cstdint>
#include <limits>
#include <string>

// Decimal digits only, 0 to 4294967295, surrounding blanks (space, tab) allowed. False, with value
// untouched, for anything else (an empty text, a sign, a letter, an overflow).
bool ParseUint32(const std::string& text, uint32_t& value);

// The same for a narrower unsigned type: false, with value untouched, when the number does not
// fit in T.
template <class T>
bool ParseUint(const std::string& text, T& value) {
    uint32_t number = 0;
    if (!ParseUint32(text, number) || number > std::numeric_limits<T>::max()) return false;
    value = static_cast<T>(number);
    return true;
}

// A TCP port: 1 to 65535, read as ParseUint32 reads. False, with port untouched, otherwise.
bool ParseTcpPort(const std::string& text, uint16_t& port);
