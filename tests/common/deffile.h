#pragma once
// Definition files (main.def) made in a test: a start byte, records "name length, name, 0, value
// length, value, 2", and an end byte.
#include <string>
#include <utility>
#include <vector>

inline std::string DefRecord(const std::string& name, const std::string& value) {
    std::string r;
    r += static_cast<char>(name.size());
    r += name;
    r += '\0';
    r += static_cast<char>(value.size());
    r += value;
    r += '\x02';
    return r;
}

// A whole file around records already joined.
inline std::string DefFile(const std::string& records) {
    return std::string("\x01") + records + "\x10";
}

inline std::string DefFile(const std::vector<std::pair<std::string, std::string>>& records) {
    std::string joined;
    for (const auto& [name, value] : records) joined += DefRecord(name, value);
    return DefFile(joined);
}
