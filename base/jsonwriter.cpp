#include "base/jsonwriter.h"

#include <cmath>
#include <cstdio>

namespace {

// The length of the UTF-8 sequence starting at s[i], or 0 when it is not a valid one.
size_t Utf8Length(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    uint32_t min = 0;
    uint32_t code = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string JsonQuoted(std::string_view utf8) {
    std::string quoted;
    quoted.reserve(utf8.size() + 2);
    quoted += '"';
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const size_t length = Utf8Length(utf8, i);
        if (length == 0) {
            quoted += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
            continue;
        }
        if (length > 1) {
            quoted.append(utf8.substr(i, length));
        } else if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\r') {
            quoted += "\\r";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
        i += length;
    }
    quoted += '"';
    return quoted;
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) return;
    out_ << (levels_.back().empty ? "\n" : ",\n");
    levels_.back().empty = false;
    out_ << std::string(2 * levels_.size(), ' ');
}

void JsonWriter::Open(char bracket) {
    BeforeValue();
    out_ << bracket;
    levels_.push_back({});
}

void JsonWriter::Close(char bracket) {
    const bool empty = levels_.empty() || levels_.back().empty;
    if (!levels_.empty()) levels_.pop_back();
    if (!empty) out_ << '\n' << std::string(2 * levels_.size(), ' ');
    out_ << bracket;
    if (levels_.empty()) out_ << '\n';
}

JsonWriter& JsonWriter::BeginObject() {
    Open('{');
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    Close('}');
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Open('[');
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    Close(']');
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    BeforeValue();
    out_ << JsonQuoted(name) << ": ";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    out_ << JsonQuoted(utf8);
    return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
    BeforeValue();
    out_ << value;
    return *this;
}

JsonWriter& JsonWriter::Number(double value) {
    if (!std::isfinite(value)) return Null();
    BeforeValue();
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    // No trailing zeros: 0.250000 is 0.25, 3.000000 is 3.
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
    out_ << s;
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    out_ << (value ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    out_ << "null";
    return *this;
}
