#include "cli/terminaltext.h"

#include <cstdint>

#include "base/cp1251.h"

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr unsigned char kC1Lead = 0xC2;  // UTF-8 of U+0080..U+00BF: 0xC2, then 0x80..0xBF

bool IsC1Trail(unsigned char c) {
    return c >= 0x80 && c <= 0x9F;
}

// A byte of ASCII that is shown as an escape: a control, DEL or the backslash.
bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '\\';
}

void AppendEscape(std::string& out, unsigned char c) {
    out += '\\';
    switch (c) {
        case 0x1B:
            out += 'e';
            return;
        case '\a':
            out += 'a';
            return;
        case '\b':
            out += 'b';
            return;
        case '\t':
            out += 't';
            return;
        case '\n':
            out += 'n';
            return;
        case '\v':
            out += 'v';
            return;
        case '\f':
            out += 'f';
            return;
        case '\r':
            out += 'r';
            return;
        case '\\':
            out += '\\';
            return;
        default:
            out += 'x';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
    }
}

// U+0080..U+009F, given the second byte of its UTF-8.
void AppendC1Escape(std::string& out, unsigned char trail) {
    out += "\\u00";
    out += kHex[trail >> 4];
    out += kHex[trail & 0x0F];
}

// Appends utf8 as it is shown; with keepLayout, tab, LF and CR pass as they are. With holdLead,
// a lead byte 0xC2 that ends utf8 is not appended, as the byte after it decides what it is;
// true when it was held back so.
bool AppendShownBytes(std::string& out, std::string_view utf8, bool keepLayout, bool holdLead) {
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c == kC1Lead && i + 1 == utf8.size() && holdLead) return true;
        if (c == kC1Lead && i + 1 < utf8.size() &&
            IsC1Trail(static_cast<unsigned char>(utf8[i + 1]))) {
            AppendC1Escape(out, static_cast<unsigned char>(utf8[++i]));
        } else if (NeedsEscape(c) && !(keepLayout && (c == '\t' || c == '\n' || c == '\r'))) {
            AppendEscape(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return false;
}

}  // namespace

namespace terminaltext {

void AppendShown(std::string& out, std::string_view utf8) {
    AppendShownBytes(out, utf8, false, false);
}

void AppendShownCp1251(std::string& out, std::string_view cp1251) {
    // Windows-1251 has no C1 controls: its bytes 0x80..0xBF are letters and signs.
    for (const char c : cp1251) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            cp1251::AppendUtf8(out, cp1251::ToUnicode(byte));
        } else if (NeedsEscape(byte)) {
            AppendEscape(out, byte);
        } else {
            out += c;
        }
    }
}

std::string Shown(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    AppendShown(out, utf8);
    return out;
}

std::string ShownCp1251(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size());
    AppendShownCp1251(out, cp1251);
    return out;
}

}  // namespace terminaltext

ShownStreamBuf::~ShownStreamBuf() {
    if (pendingLead_) target_->sputc(static_cast<char>(kC1Lead));
}

ShownStreamBuf::int_type ShownStreamBuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize ShownStreamBuf::xsputn(const char* s, std::streamsize n) {
    if (n <= 0) return 0;
    std::string text;
    text.reserve(static_cast<size_t>(n) + 1);
    if (pendingLead_) text += static_cast<char>(kC1Lead);
    text.append(s, static_cast<size_t>(n));
    std::string shown;
    shown.reserve(text.size());
    // A 0xC2 that ends this piece waits for the next one.
    pendingLead_ = AppendShownBytes(shown, text, true, true);
    const auto size = static_cast<std::streamsize>(shown.size());
    return target_->sputn(shown.data(), size) == size ? n : 0;
}

int ShownStreamBuf::sync() {
    return target_->pubsync();
}
