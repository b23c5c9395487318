#pragma once
// Where the window keeps its connection settings and the device number: ini files, section
// "CONNECTION". Saving always goes to "Vr7LonCfgMaker.ini"; loading prefers it, so the settings
// the user last chose survive a restart, and falls back to "vr7CfgUpdate.ini" for installations
// that only have that one.
//
// A portable copy (a program folder it may write) keeps the files beside the program. An
// installed copy, whose program folder is the system's, keeps them in the user's configuration
// folder ($XDG_CONFIG_HOME, else ~/.config, then "vr7loncfgmaker/"), and reads the program
// folder's files only where the user's folder has none.
#include <string>
#include <vector>

#include "link/connectionsettings.h"

// programDir may or may not end in '/'; empty means the working directory.
std::string ProgramFilePath(const std::string& programDir, const std::string& name);

// The folders the settings are read from, in order, and the one they are written to.
struct SettingsFolders {
    std::vector<std::string> read;
    std::string write;
};
// programWritable: whether the program folder may be written (an installed copy's may not).
SettingsFolders SettingsFoldersFor(const std::string& programDir, bool programWritable);
// The same for the program folder as it is.
SettingsFolders SettingsFoldersFor(const std::string& programDir);

// The ini file every setting is written to ("Vr7LonCfgMaker.ini" of the write folder).
std::string MainSettingsFile(const std::string& programDir);

// The ini file the connection settings are loaded from: the first "Vr7LonCfgMaker.ini" whose
// [CONNECTION] section holds "port", otherwise the first "vr7CfgUpdate.ini" there is (none: the
// first read folder's, whose absence gives the defaults).
std::string ConnectionSettingsSource(const std::string& programDir);

// The settings the window and vr7lon start from: the connection's from ConnectionSettingsSource
// (the ini's defaults where it has none), the device number from "dev_nom" of the first
// "Vr7LonCfgMaker.ini" that has it (default 1).
ConnectionSettings LoadConnectionSettings(const std::string& programDir);
// Every one, the device number too, into MainSettingsFile (its folder made when missing); false
// when one could not be written, so that the caller can say so.
bool SaveConnectionSettings(const ConnectionSettings& settings, const std::string& programDir);
