#pragma once
// Where an installed copy of the program finds its data. A portable copy keeps everything in its
// working folder (the catalogue "calcbank.xml", the help) and beside the program (the ini files);
// an installed one ("PREFIX/bin/vr7loncfgmaker") also has its data folder "PREFIX/share/
// vr7loncfgmaker", used for whatever the working folder lacks.
#include <string>

// The folder of the running program, ending in '/' ("" when it cannot be told).
std::string ExecutableDir();

// The installed data folder beside the running program, ending in '/'; "" when there is none.
std::string InstalledDataDir();

// A data file by its name: the working folder's own when it has one (so a site's own catalogue
// wins), else the installed data folder's when that has one, else the name as given (the working
// folder's, so that a message names where it was looked for first).
std::string LocateDataFile(const std::string& name);
// The same rule with the data folder given (ending in '/'; "" for none).
std::string LocateDataFile(const std::string& name, const std::string& dataDir);

// The HTML manual's first page: "manual/index.html" of the working folder (a portable copy), else
// the installed one ("PREFIX/share/doc/vr7loncfgmaker/manual/index.html"); "" when neither is.
std::string LocateManual();
