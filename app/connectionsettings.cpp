#include "connectionsettings.h"

#include "connection.h"
#include "connectionkeys.h"
#include "inifile.h"

namespace {

using connkeys::kDeviceNumber;
using connkeys::kLegacyIniName;
using connkeys::kMainIniName;
using connkeys::kPort;
using connkeys::kSection;
// No value read from a file can hold a line break, so this default tells an absent key apart.
const char kAbsent[] = "\n";

}  // namespace

std::string ProgramFilePath(const std::string& programDir, const std::string& name) {
    if (programDir.empty() || programDir.back() == '/') return programDir + name;
    return programDir + "/" + name;
}

std::string ConnectionSettingsSource(const std::string& programDir) {
    const std::string mainIni = ProgramFilePath(programDir, kMainIniName);
    if (ini::ReadString(mainIni, kSection, kPort, kAbsent) != kAbsent) return mainIni;
    return ProgramFilePath(programDir, kLegacyIniName);
}

void LoadConnectionSettings(connection& conn, const std::string& programDir) {
    conn.LoadSettings(ConnectionSettingsSource(programDir));
}

void SaveConnectionSettings(connection& conn, const std::string& programDir) {
    conn.SaveSettings(ProgramFilePath(programDir, kMainIniName));
}

uint32_t LoadDeviceNumber(const std::string& programDir) {
    return ini::AtoiLow32(ini::ReadString(ProgramFilePath(programDir, kMainIniName), kSection,
                                          kDeviceNumber, "1", 255));
}

void SaveDeviceNumber(const std::string& programDir, uint32_t number) {
    ini::WriteString(ProgramFilePath(programDir, kMainIniName), kSection, kDeviceNumber,
                     std::to_string(number));
}
