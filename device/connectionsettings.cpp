#include "device/connectionsettings.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/inifile.h"
#include "link/connectionkeys.h"

namespace {

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

ConnectionSettings LoadConnectionSettings(const std::string& programDir) {
    ConnectionSettings settings;
    settings.ReadIni(ConnectionSettingsSource(programDir));
    settings.deviceNumber = 1;
    for (const std::string& dir : SettingsFoldersFor(programDir).read) {
        if (settings.ReadDeviceNumber(ProgramFilePath(dir, kMainIniName))) break;
    }
    return settings;
}

bool SaveConnectionSettings(const ConnectionSettings& settings, const std::string& programDir) {
    const std::string path = WritableMainFile(programDir);
    // Both are tried, so that one that fails leaves the other saved.
    const bool saved = settings.WriteIni(path);
    return settings.WriteDeviceNumber(path) && saved;
}
