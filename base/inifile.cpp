#include "inifile.h"

#include <climits>

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

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

bool ReadLines(const std::string& path, std::vector<std::string>& lines, std::string& eol) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string data = ss.str();
    eol = data.find("\r\n") != std::string::npos || data.find('\n') == std::string::npos ? "\r\n"
                                                                                         : "\n";
    size_t start = 0;
    while (start < data.size()) {
        size_t nl = data.find('\n', start);
        std::string line =
            data.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return true;
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

}  // namespace

std::string ReadString(const std::string& path, const std::string& section, const std::string& key,
                       const std::string& defaultValue, size_t bufferSize) {
    std::vector<std::string> lines;
    std::string eol;
    std::string result = defaultValue;
    if (ReadLines(path, lines, eol)) {
        bool inSection = false;
        for (const auto& line : lines) {
            std::string name, k, v;
            if (SectionName(line, name)) {
                inSection = EqualsNoCase(name, section);
            } else if (inSection && KeyValue(line, k, v) && EqualsNoCase(k, key)) {
                if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') &&
                    v.back() == v.front()) {
                    v = v.substr(1, v.size() - 2);
                }
                result = v;
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
    std::string eol = "\r\n";
    ReadLines(path, lines, eol);

    const std::string entry = key + "=" + value;
    bool inSection = false;
    bool sectionFound = false;
    size_t insertAt = std::string::npos;  // after the last key line of the section
    bool done = false;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name, k, v;
        if (SectionName(lines[i], name)) {
            if (inSection) break;
            inSection = EqualsNoCase(name, section);
            if (inSection) {
                sectionFound = true;
                insertAt = i + 1;
            }
        } else if (inSection) {
            if (KeyValue(lines[i], k, v)) {
                if (EqualsNoCase(k, key)) {
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
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        }
    }

    std::string data;
    for (const auto& line : lines) data += line + eol;
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
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
