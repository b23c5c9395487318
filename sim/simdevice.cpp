#include "sim/simdevice.h"

#include <algorithm>
#include <cstring>

#include "base/lebytes.h"

namespace {

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t v) {
    PutLe16(&bytes[at], v);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    PutLe32(&bytes[at], v);
}

void Append32(std::vector<uint8_t>& bytes, uint32_t v) {
    bytes.resize(bytes.size() + 4);
    Put32(bytes, bytes.size() - 4, v);
}

// Names are 6 bytes, zero-terminated when shorter; a longer name is cut.
void PutName(std::vector<uint8_t>& bytes, size_t at, const std::string& name) {
    std::memcpy(bytes.data() + at, name.data(), std::min<size_t>(name.size(), 6));
}

}  // namespace

std::vector<uint8_t> SimDevice::Identification() const {
    std::vector<uint8_t> bytes(kSimIdentificationSize, 0);
    bytes[0] = 0x07;  // device family; not interpreted by the system
    Put16(bytes, 2, versionBuild);
    bytes[4] = versionMinor;
    bytes[5] = versionMajor;
    Put32(bytes, 21, number);
    return bytes;
}

std::vector<uint8_t> SimDevice::Header() const {
    std::vector<uint8_t> bytes;
    Append32(bytes, static_cast<uint32_t>(entries.size()));
    Append32(bytes, headerValue2);
    bytes.push_back(static_cast<uint8_t>(std::min<size_t>(systems.size(), 255)));
    for (const SimSystem& s : systems) {
        bytes.insert(bytes.end(), s.name.begin(), s.name.end());
        bytes.push_back(0);
        bytes.insert(bytes.end(), s.text2.begin(), s.text2.end());
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<uint8_t> SimEmptyEntry() {
    return std::vector<uint8_t>(kSimEntrySize, 0);
}

std::vector<uint8_t> SimConstEntry(uint8_t system, const std::string& name, float value) {
    std::vector<uint8_t> e(kSimEntrySize, 0);
    e[0] = 1;
    e[1] = system;
    PutName(e, 2, name);
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    Put32(e, 8, bits);
    return e;
}

std::vector<uint8_t> SimEventEntry(const std::string& name, uint16_t geid, uint32_t mask,
                                   uint32_t code) {
    std::vector<uint8_t> e(kSimEntrySize, 0);
    e[0] = 2;
    PutName(e, 1, name);
    Put16(e, 7, geid);
    Put32(e, 9, mask);
    Put32(e, 13, code);
    return e;
}

std::vector<uint8_t> SimCalcEntry(uint8_t system, const std::string& name, uint32_t extra) {
    std::vector<uint8_t> e(kSimEntrySize, 0);
    e[0] = 3;
    e[1] = system;
    PutName(e, 2, name);
    Put32(e, 8, extra);
    return e;
}

std::vector<uint8_t> SimUnknownEntry(uint8_t type) {
    std::vector<uint8_t> e(kSimEntrySize, 0xCC);
    e[0] = type;
    return e;
}

SimDevice SimDemoDevice() {
    SimDevice d;
    d.versionMajor = 2;
    d.versionMinor = 1;
    d.versionBuild = 40;
    d.number = 1;
    d.systems = {{"Boiler", "sys_boil"}, {"Heating", "sys_heat"}};
    d.entries = {
        SimCalcEntry(1, "t1"),
        SimCalcEntry(1, "p1"),
        SimEmptyEntry(),
        SimConstEntry(1, "k1", 3.5f),
        SimEventEntry("ev1", 0, 0x10, 5),
        SimEventEntry("ev2", 5, 0x20, 7),
        SimCalcEntry(2, "q2", 0x01020304),
        SimUnknownEntry(9),
        SimCalcEntry(2, "v2"),
    };
    return d;
}

bool SimFileNameLess::operator()(const std::string& a, const std::string& b) const {
    auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a')
                                    : static_cast<unsigned char>(c);
    };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return lower(x) < lower(y); });
}
