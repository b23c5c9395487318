#include "base/parseuint.h"

bool ParseUint32(const std::string& text, uint32_t& value) {
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    if (begin == end) return false;
    uint64_t number = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        number = number * 10 + static_cast<uint64_t>(text[i] - '0');
        if (number > UINT32_MAX) return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

bool ParseTcpPort(const std::string& text, uint16_t& port) {
    uint16_t value = 0;
    if (!ParseUint(text, value) || value == 0) return false;
    port = value;
    return true;
}
