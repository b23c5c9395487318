#include "device/connectionsettings.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/inifile.h"
#include "link/connection.h"
#include "link/connectionkeys.h"

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

SettingsFolders SettingsFoldersFor(const std::string& programDir, bool programWritable) {
    SettingsFolders folders;
    if (!programWritable) {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        const char* home = std::getenv("HOME");
        std::string user;
        if (config != nullptr && config[0] == '/') {
            user = config;
        } else if (home != nullptr && home[0] != '\0') {
            user = std::string(home) + "/.config";
        }
        if (!user.empty()) {
            folders.write = user + "/vr7loncfgmaker/";
            folders.read.push_back(folders.write);
        }
    }
    folders.read.push_back(programDir);
    if (folders.write.empty()) folders.write = programDir;
    return folders;
}

SettingsFolders SettingsFoldersFor(const std::string& programDir) {
    const std::string dir = programDir.empty() ? "." : programDir;
    return SettingsFoldersFor(programDir, ::access(dir.c_str(), W_OK) == 0);
}

std::string MainSettingsFile(const std::string& programDir) {
    return ProgramFilePath(SettingsFoldersFor(programDir).write, kMainIniName);
}

std::string ConnectionSettingsSource(const std::string& programDir) {
    const SettingsFolders folders = SettingsFoldersFor(programDir);
    for (const std::string& dir : folders.read) {
        const std::string mainIni = ProgramFilePath(dir, kMainIniName);
        if (ini::ReadString(mainIni, kSection, kPort, kAbsent) != kAbsent) return mainIni;
    }
    std::error_code ec;
    for (const std::string& dir : folders.read) {
        const std::string legacy = ProgramFilePath(dir, kLegacyIniName);
        if (std::filesystem::exists(legacy, ec)) return legacy;
    }
    return ProgramFilePath(folders.read.front(), kLegacyIniName);
}

void LoadConnectionSettings(connection& conn, const std::string& programDir) {
    conn.LoadSettings(ConnectionSettingsSource(programDir));
}

namespace {

// The ini file to write, its folder made first (the user's configuration folder may not exist
// yet); empty when the folder cannot be made.
std::string WritableMainFile(const std::string& programDir) {
    const SettingsFolders folders = SettingsFoldersFor(programDir);
    std::error_code ec;
    if (!folders.write.empty()) std::filesystem::create_directories(folders.write, ec);
    return ProgramFilePath(folders.write, kMainIniName);
}

}  // namespace

bool SaveConnectionSettings(connection& conn, const std::string& programDir) {
    return conn.SaveSettings(WritableMainFile(programDir));
}

uint32_t LoadDeviceNumber(const std::string& programDir) {
    for (const std::string& dir : SettingsFoldersFor(programDir).read) {
        const std::string path = ProgramFilePath(dir, kMainIniName);
        if (ini::ReadString(path, kSection, kDeviceNumber, kAbsent) != kAbsent)
            return ini::AtoiLow32(ini::ReadString(path, kSection, kDeviceNumber, "1", 255));
    }
    return 1;
}

bool SaveDeviceNumber(const std::string& programDir, uint32_t number) {
    return ini::WriteString(WritableMainFile(programDir), kSection, kDeviceNumber,
                            std::to_string(number));
}
