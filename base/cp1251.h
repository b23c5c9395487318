#pragma once
// Windows-1251 is the system's own text: every file, wire and comparison text in the core is held
// as Windows-1251 bytes in std::string. These conversions are the only border to Unicode (UTF-8),
// used where XML text enters the system and where text reaches the screen or a terminal.
#include <cstdint>
#include <string>
#include <string_view>

namespace cp1251 {

// Unicode code point of a Windows-1251 byte (0x98, the one unassigned byte, gives U+FFFD).
char32_t ToUnicode(uint8_t byte);

// Windows-1251 byte of a code point, or '?' when the code page has none.
uint8_t FromUnicode(char32_t cp);

// UTF-8 to Windows-1251; characters the code page lacks and malformed UTF-8 become '?'.
std::string FromUtf8(std::string_view utf8);

// Appends the UTF-8 bytes of a code point.
void AppendUtf8(std::string& out, char32_t cp);

// Windows-1251 to UTF-8.
std::string ToUtf8(std::string_view text);

// Lower-cases a code point the way a Unicode locale does for the letters Windows-1251 can hold
// (Latin A-Z, Cyrillic А-Я, Ё, Ђ-Џ, Ґ, Є, І, Ї, Ў, ...).
char32_t ToLower(char32_t cp);

// UTF-8 text lower-cased on its Unicode form, then converted to Windows-1251.
std::string FromUtf8Lower(std::string_view utf8);

// UTF-8 text lower-cased, still UTF-8: the letters ToLower knows, every other character as it is.
std::string LowerUtf8(std::string_view utf8);

// Windows-1251 text lower-cased through Unicode.
std::string Lower(std::string_view text);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

}  // namespace cp1251
