#pragma once
// Strict reading of an unsigned 32-bit decimal number, as typed by a user or given on a command
// line (device numbers, TCP ports, speeds).
#include <cstdint>
#include <string>

// Decimal digits only, 0 to 4294967295, surrounding blanks (space, tab) allowed. False, with value
// untouched, for anything else (an empty text, a sign, a letter, an overflow).
bool ParseUint32(const std::string& text, uint32_t& value);
