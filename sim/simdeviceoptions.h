#pragma once
// One simulated device as vr7sim's options describe it, and the readers of those options: a
// device's own options (the same on the command line and on a line of a site file), the
// FOLDER[:NUMBER]@TCPPORT that names a device of a site, and the site file itself.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/cliargs.h"
#include "sim/simdevice.h"
#include "sim/simfault.h"

struct SimVersion {
    uint8_t major = 0;
    uint8_t minor = 0;
    uint16_t build = 0;
};

struct SimDeviceSpec {
    std::string folder;  // "" or "-": the built-in demo device
    std::optional<uint32_t> number;
    std::optional<SimVersion> version;
    std::vector<std::string> files;  // NAME=PATH, read when the device is made
    std::string storeDir;
    bool protect = false;
    std::vector<SimFault> faults;
    uint16_t tcpPort = 0;
    std::string origin;  // where the device was given, for messages ("site.txt:3", "--device ...")
};

enum class SimOption {
    Taken,    // one of a device's own options, taken into the device's description
    NotMine,  // some other option: nothing was taken
    Bad,      // a device's option with a value it cannot take: error says why
};

// A device's own options: --number N, --version MAJOR.MINOR.BUILD, --file NAME=PATH, --store DIR,
// --protect and --fault KIND[,...].
const std::vector<CliOption>& SimDeviceOptions();

// Takes the option when it is one of a device's own.
SimOption TakeSimDeviceOption(const CliItem& option, SimDeviceSpec& spec, std::string* error);

// Reads FOLDER[:NUMBER]@TCPPORT into spec (folder, number, port). FOLDER "-" is the built-in
// device.
bool ParseSimDeviceAddress(const std::string& text, SimDeviceSpec& spec, std::string* error);

// One device of a site: its address and then its own options, as words (a --device value and the
// options after it, or the words of a site file's line).
bool ParseSimDeviceWords(const std::vector<std::string>& words, SimDeviceSpec& spec,
                         std::string* error);

// The words of a site file's line: blanks separate them, "double quotes" keep blanks in one, and
// '#' outside quotes starts a comment that runs to the end of the line.
bool SplitSimSiteLine(const std::string& line, std::vector<std::string>& words, std::string* error);

// A site file: one device a line (blank and comment-only lines skipped). Each device's origin
// is "FILE:LINE"; a message about a line starts with it too.
bool ParseSimSiteText(const std::string& text, const std::string& fileName,
                      std::vector<SimDeviceSpec>& specs, std::string* error);
bool ReadSimSiteFile(const std::string& path, std::vector<SimDeviceSpec>& specs,
                     std::string* error);

// The device spec describes: the folder's configuration (or the built-in device), its number (the
// one given, else the folder's "vr7_" digits, else the built-in's), version, files, store folder
// and write protection. False, with the reason, when a folder or file cannot be read.
bool MakeSimDevice(const SimDeviceSpec& spec, SimDevice& device, std::string* error);
