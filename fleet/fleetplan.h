#pragma once
// The plan of "vr7lon fleet": a CSV file with a header line naming its columns (name, port, ip,
// tcp_port, speed, number, file; any of them but name may be left out, in any order) and one
// device a line. An empty cell takes the usual default. A cell may be enclosed in double quotes
// (a doubled quote inside stands for one); an unquoted cell loses the blanks around it. Empty lines
// and lines whose first character is '#' are skipped; a UTF-8 byte order mark and CR LF line ends
// are taken as they come.
#include <string>
#include <string_view>
#include <vector>

#include "device/deviceendpoint.h"

// One device as its line gives it: its endpoint cells (a value absent when its cell is empty or
// its column missing), its name and its file.
struct FleetDevice : EndpointChoice {
    int line = 0;      // the line of the plan, from 1
    std::string name;  // the device's folder name under --out, unique ignoring letter case
    std::string file;  // as written in the plan; empty when absent
};

struct FleetPlan {
    std::vector<FleetDevice> devices;  // in plan order
};

// Reads plan text. With fileNeeded every device must name its file. False, with the reason
// ("line N: ..."), when the plan has a fault: then no device is taken.
bool ParseFleetPlan(std::string_view text, bool fileNeeded, FleetPlan& plan, std::string& error);

// True when name can be a folder of its own under --out on any system: 1 to 64 bytes of UTF-8
// letters of any script, ASCII digits, '.', '_' and '-', beginning with neither '.' nor '-'. No
// space of any kind, no invisible or direction mark, no look-alike of a slash.
bool IsSafeFolderName(std::string_view name);
// The name with every letter in lower case (a final sigma as a sigma): two names that differ
// only in letter case, in any script, fold alike.
std::string FoldedFolderName(std::string_view name);

// A plan's file named relative to the plan's own folder (an absolute path stays as it is).
std::string PlanFilePath(const std::string& planPath, const std::string& file);

// How one device is reached: the defaults (the window's saved settings, else the connection's)
// with the device's cells over them (ResolveEndpoint), as "vr7lon device" takes its options.
using FleetEndpoint = DeviceEndpoint;
