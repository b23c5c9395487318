#include "base/inifile.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>
#include <vector>

#include "base/cp1251.h"
#include "base/replacefile.h"
#include "base/u8path.h"
#include "base/wholefile.h"

namespace ini {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

// How a file is written, so that a write keeps it so: Windows saves an ini file as 8-bit text or,
// once it holds text the code page lacks, as UTF-16LE with a byte order mark; editors also save
// it as UTF-8 with a mark, or as UTF-16 without one or big-endian. Its lines may end in CR LF, LF
// or a lone CR.
struct FileForm {
    enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };
    Encoding encoding = Encoding::Ansi;
    bool mark = false;              // a byte order mark begins the file
    std::string_view eol = "\r\n";  // a literal: "\r\n", "\n" or "\r"
    // The lines are held as UTF-8 (the values the program sees are Windows-1251).
    bool Unicode() const { return encoding != Encoding::Ansi; }
};

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr char kUtf16LeBom[] = "\xFF\xFE";
constexpr char kUtf16BeBom[] = "\xFE\xFF";

// The bytes of UTF-16 text with the bytes of every unit swapped: big-endian to little and back.
std::string Swapped(std::string_view bytes) {
    std::string out(bytes);
    for (size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
    return out;
}

// The file's encoding from its first bytes: a byte order mark, or text whose first character
// (an ASCII one in any ini: '[', ';', a key) has a zero byte beside it in UTF-16.
FileForm::Encoding DetectEncoding(std::string_view data, bool& mark) {
    mark = true;
    if (data.substr(0, 3) == kUtf8Bom) return FileForm::Encoding::Utf8;
    if (data.substr(0, 2) == kUtf16LeBom) return FileForm::Encoding::Utf16Le;
    if (data.substr(0, 2) == kUtf16BeBom) return FileForm::Encoding::Utf16Be;
    mark = false;
    if (data.size() >= 2 && data.size() % 2 == 0) {
        if (data[0] != 0 && data[1] == 0) return FileForm::Encoding::Utf16Le;
        if (data[0] == 0 && data[1] != 0) return FileForm::Encoding::Utf16Be;
    }
    return FileForm::Encoding::Ansi;
}

// UTF-16LE bytes (without the mark) as UTF-8; an unpaired surrogate becomes U+FFFD, an odd last
// byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&bytes](size_t i) {
        return static_cast<char32_t>(static_cast<uint8_t>(bytes[i]) |
                                     static_cast<uint8_t>(bytes[i + 1]) << 8);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        cp1251::AppendUtf8(out, cp);
    }
    return out;
}

// UTF-8 (as Utf16ToUtf8 gives it, or converted from Windows-1251) as UTF-16LE bytes; a malformed
// sequence becomes U+FFFD.
std::string Utf8ToUtf16(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (size_t i = 0; i < text.size();) {
        const uint8_t b = static_cast<uint8_t>(text[i]);
        const int length = b < 0x80         ? 1
                           : (b >> 5) == 6  ? 2
                           : (b >> 4) == 14 ? 3
                           : (b >> 3) == 30 ? 4
                                            : 0;
        char32_t cp = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
        bool ok = length != 0 && i + length <= text.size();
        for (int k = 1; ok && k < length; ++k) {
            const uint8_t c = static_cast<uint8_t>(text[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = cp << 6 | (c & 0x3F);
        }
        if (!ok) {
            put(0xFFFD);
            ++i;
            continue;
        }
        i += static_cast<size_t>(length);
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

enum class IniRead { Read, Missing, Refused };

IniRead ReadLines(const std::string& path, std::vector<std::string>& lines, FileForm& form) {
    // Only a regular file of a sane size: /dev/zero or a FIFO named as the ini is no ini, and
    // is never written over either.
    Result<std::string> read = ReadWholeFile(path, inputlimit::kIni);
    if (!read) {
        const Failure& failure = read.failure();
        return failure.kind == FailureKind::File && failure.errorNumber == ENOENT
                   ? IniRead::Missing
                   : IniRead::Refused;
    }
    std::string data = std::move(read).value();
    form.encoding = DetectEncoding(data, form.mark);
    switch (form.encoding) {
        case FileForm::Encoding::Ansi:
            break;
        case FileForm::Encoding::Utf8:
            data.erase(0, 3);
            break;
        case FileForm::Encoding::Utf16Le:
            data = Utf16ToUtf8(std::string_view(data).substr(form.mark ? 2 : 0));
            break;
        case FileForm::Encoding::Utf16Be:
            data = Utf16ToUtf8(Swapped(std::string_view(data).substr(form.mark ? 2 : 0)));
            break;
    }
    // The file's own line end: CR LF when it has one (or no line end at all), else LF, else CR.
    if (data.find("\r\n") != std::string::npos)
        form.eol = "\r\n";
    else if (data.find('\n') != std::string::npos)
        form.eol = "\n";
    else if (data.find('\r') != std::string::npos)
        form.eol = "\r";
    else
        form.eol = "\r\n";
    // A line ends at CR LF, LF or a lone CR, as the Windows profile functions read it.
    size_t start = 0;
    while (start < data.size()) {
        const size_t end = data.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(data.substr(start));
            break;
        }
        lines.push_back(data.substr(start, end - start));
        start = end + (data.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return IniRead::Read;
}

// Text of the system (Windows-1251) in the form the file's lines are held in.
std::string InForm(const FileForm& form, const std::string& text) {
    return form.Unicode() ? cp1251::ToUtf8(Cp1251String(text)) : text;
}

// "[name]" gives name; anything else gives false.
bool SectionName(const std::string& line, std::string& name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

// "key = value" gives key and value; comment lines and lines without '=' give false.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';') return false;
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

// A temporary file that did not take the ini file's place goes.
void RemoveQuietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(PathFromUtf8(path), ec);
}

}  // namespace

std::string ReadString(const std::string& path, const std::string& section, const std::string& key,
                       const std::string& defaultValue, size_t bufferSize) {
    std::vector<std::string> lines;
    FileForm form;
    std::string result = defaultValue;
    if (ReadLines(path, lines, form) == IniRead::Read) {
        const std::string wantedSection = InForm(form, section), wantedKey = InForm(form, key);
        bool inSection = false;
        for (const auto& line : lines) {
            std::string name, k, v;
            if (SectionName(line, name)) {
                inSection = EqualsNoCase(name, wantedSection);
            } else if (inSection && KeyValue(line, k, v) && EqualsNoCase(k, wantedKey)) {
                if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') &&
                    v.back() == v.front()) {
                    v = v.substr(1, v.size() - 2);
                }
                result = form.Unicode() ? cp1251::FromUtf8(v).bytes() : v;
                break;
            }
        }
    }
    if (bufferSize > 0 && result.size() > bufferSize - 1) result.resize(bufferSize - 1);
    return result;
}

bool WriteString(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& value) {
    std::vector<std::string> lines;
    FileForm form;
    if (ReadLines(path, lines, form) == IniRead::Refused) return false;
    const std::string wantedSection = InForm(form, section), wantedKey = InForm(form, key);

    const std::string entry = wantedKey + "=" + InForm(form, value);
    bool inSection = false;
    bool sectionFound = false;
    size_t insertAt = std::string::npos;  // after the last key line of the section
    bool done = false;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name, k, v;
        if (SectionName(lines[i], name)) {
            if (inSection) break;
            inSection = EqualsNoCase(name, wantedSection);
            if (inSection) {
                sectionFound = true;
                insertAt = i + 1;
            }
        } else if (inSection) {
            if (KeyValue(lines[i], k, v)) {
                if (EqualsNoCase(k, wantedKey)) {
                    lines[i] = entry;
                    done = true;
                } else {
                    insertAt = i + 1;
                }
            }
        }
    }
    if (!done) {
        if (sectionFound) {
            lines.insert(lines.begin() + static_cast<long>(insertAt), entry);
        } else {
            lines.push_back("[" + wantedSection + "]");
            lines.push_back(entry);
        }
    }

    std::string data;
    for (const auto& line : lines) {
        data += line;
        data += form.eol;
    }
    switch (form.encoding) {
        case FileForm::Encoding::Ansi:
            break;
        case FileForm::Encoding::Utf8:
            if (form.mark) data.insert(0, kUtf8Bom);
            break;
        case FileForm::Encoding::Utf16Le:
            data = (form.mark ? kUtf16LeBom : "") + Utf8ToUtf16(data);
            break;
        case FileForm::Encoding::Utf16Be:
            data = (form.mark ? kUtf16BeBom : "") + Swapped(Utf8ToUtf16(data));
            break;
    }
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(PathFromUtf8(tmp), std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        out.flush();
        if (!out) {
            out.close();
            RemoveQuietly(tmp);
            return false;
        }
    }
    if (!MoveIntoPlace(tmp, path)) {
        RemoveQuietly(tmp);
        return false;
    }
    return true;
}

uint32_t AtoiLow32(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');  // wraps mod 2^64, never UB
    }
    return static_cast<uint32_t>(negative ? (~value + 1) : value);
}

int AtoiInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const int64_t limit = negative ? -static_cast<int64_t>(INT_MIN) : INT_MAX;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) {
            value = limit;  // saturated: the digits that follow cannot bring it back
        }
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace ini
