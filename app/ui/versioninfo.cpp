#include "app/ui/versioninfo.h"

#include <cstring>
#include <string>

#include "base/cp1251.h"
#include "base/version.h"

namespace {

struct VersionEntry {
    const char* key;
    const char* utf8Value;
};

// Written as UTF-8 here and converted once per call into the system's Windows-1251.
constexpr const char* kProductName = "утилита формирования настроек VR-7 для работы в LON сети";

constexpr VersionEntry kVersionTable[] = {
    {"FileVersion", VR7_FILE_VERSION},  {"ProductVersion", "1.0.0.0"},
    {"InternalName", "Vr7LonCfgMaker"}, {"OriginalFilename", "Vr7LonCfgMaker"},
    {"ProductName", kProductName},
};

}  // namespace

const char* GetVersionString(const char* key) {
    static char buffer[256];
    buffer[0] = '\0';
    if (key == nullptr) return buffer;
    for (const VersionEntry& entry : kVersionTable) {
        if (std::strcmp(entry.key, key) != 0) continue;
        const std::string text = cp1251::FromUtf8(entry.utf8Value).bytes();
        const size_t length = text.size() < sizeof buffer - 1 ? text.size() : sizeof buffer - 1;
        std::memcpy(buffer, text.data(), length);
        buffer[length] = '\0';
        break;
    }
    return buffer;
}
