#pragma once
// Where the window keeps its connection settings and the device number: ini files in the
// program's own directory, section "CONNECTION". Saving always goes to "Vr7LonCfgMaker.ini";
// loading prefers it, so the settings the user last chose survive a restart, and falls back to
// "vr7CfgUpdate.ini" for installations that only have that one.
#include <cstdint>
#include <string>

class connection;

// programDir may or may not end in '/'; empty means the working directory.
std::string ProgramFilePath(const std::string& programDir, const std::string& name);

// The ini file the connection settings are loaded from: "Vr7LonCfgMaker.ini" when its
// [CONNECTION] section holds "port", otherwise "vr7CfgUpdate.ini" (whose absence gives the
// defaults).
std::string ConnectionSettingsSource(const std::string& programDir);

void LoadConnectionSettings(connection& conn, const std::string& programDir);
// Into "Vr7LonCfgMaker.ini"; a directory that cannot be written is ignored, as it always was.
void SaveConnectionSettings(connection& conn, const std::string& programDir);

// "dev_nom" of "Vr7LonCfgMaker.ini", default 1, read like atoi keeping the low 32 bits.
uint32_t LoadDeviceNumber(const std::string& programDir);
void SaveDeviceNumber(const std::string& programDir, uint32_t number);
