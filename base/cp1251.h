#pragma once
// Windows-1251 is the system's own text: file, wire and comparison texts. Where it meets UTF-8
// (std::string) it travels as a Cp1251String, so that the compiler tells the two apart: the
// conversions below (the only border to Unicode), the messages of app/messages and their sinks,
// Qt, JSON and the terminal. Inside the core (tree, list rows, catalogue lookups) the bytes may
// stay in a std::string.
#include <compare>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

class Cp1251String {
  public:
    Cp1251String() = default;
    // Takes bytes that are Windows-1251 (the caller says so by naming the type).
    explicit Cp1251String(std::string bytes) : bytes_(std::move(bytes)) {}

    const std::string& bytes() const& { return bytes_; }
    std::string bytes() && { return std::move(bytes_); }
    const std::string& str() const { return bytes_; }
    bool empty() const { return bytes_.empty(); }
    size_t size() const { return bytes_.size(); }

    Cp1251String& operator+=(const Cp1251String& more) {
        bytes_ += more.bytes_;
        return *this;
    }
    // ASCII, which reads the same in both encodings: line breaks, separators, digits.
    Cp1251String& operator+=(char ascii) {
        bytes_ += ascii;
        return *this;
    }
    friend Cp1251String operator+(Cp1251String a, const Cp1251String& b) { return a += b; }
    friend Cp1251String operator+(Cp1251String a, char ascii) { return a += ascii; }

    friend bool operator==(const Cp1251String&, const Cp1251String&) = default;
    friend std::strong_ordering operator<=>(const Cp1251String&, const Cp1251String&) = default;

  private:
    std::string bytes_;
};

// UTF-8 text of the program's own where a text function could as well give Windows-1251 (a
// failure's reason, a port's description): the type says which, so that neither passes for the
// other or for the core's bytes. It goes to the terminal as it is; Qt and the core take its bytes
// by name (str()).
class Utf8String {
  public:
    Utf8String() = default;
    explicit Utf8String(std::string bytes) : bytes_(std::move(bytes)) {}

    const std::string& str() const& { return bytes_; }
    std::string str() && { return std::move(bytes_); }
    bool empty() const { return bytes_.empty(); }

    friend bool operator==(const Utf8String&, const Utf8String&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Utf8String& text) {
        return out << text.bytes_;
    }

  private:
    std::string bytes_;
};

namespace cp1251 {

// Unicode code point of a Windows-1251 byte (0x98, the one unassigned byte, gives U+FFFD).
char32_t ToUnicode(uint8_t byte);

// Windows-1251 byte of a code point, or '?' when the code page has none.
uint8_t FromUnicode(char32_t cp);

// UTF-8 to Windows-1251; characters the code page lacks and malformed UTF-8 become '?'.
Cp1251String FromUtf8(std::string_view utf8);
inline Cp1251String FromUtf8(const Utf8String& text) {
    return FromUtf8(std::string_view(text.str()));
}

// Appends the UTF-8 bytes of a code point.
void AppendUtf8(std::string& out, char32_t cp);

// Windows-1251 to UTF-8.
std::string ToUtf8(const Cp1251String& text);

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
