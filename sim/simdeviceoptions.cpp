#include "sim/simdeviceoptions.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "base/parseuint.h"
#include "base/u8path.h"
#include "sim/simfolder.h"

namespace {

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

bool ParseVersion(const std::string& text, SimVersion& version) {
    const size_t a = text.find('.');
    const size_t b = a == std::string::npos ? a : text.find('.', a + 1);
    if (b == std::string::npos) return false;
    return ParseUint(text.substr(0, a), version.major) &&
           ParseUint(text.substr(a + 1, b - a - 1), version.minor) &&
           ParseUint(text.substr(b + 1), version.build);
}

bool AddFile(const std::string& spec, SimDevice& device) {
    const size_t eq = spec.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    std::ifstream in(PathFromUtf8(spec.substr(eq + 1)), std::ios::binary);
    if (!in) return false;
    device.files[spec.substr(0, eq)].assign(std::istreambuf_iterator<char>(in),
                                            std::istreambuf_iterator<char>());
    return true;
}

SimOption Bad(std::string* error, const std::string& why) {
    Fail(error, why);
    return SimOption::Bad;
}

}  // namespace

const std::vector<CliOption>& SimDeviceOptions() {
    static const std::vector<CliOption> options = {
        {"--number", true}, {"--version", true}, {"--file", true},
        {"--store", true},  {"--fault", true},   {"--protect", false},
    };
    return options;
}

SimOption TakeSimDeviceOption(const CliItem& option, SimDeviceSpec& spec, std::string* error) {
    const std::string& value = option.value;
    if (option.name == "--protect") {
        spec.protect = true;
    } else if (option.name == "--number") {
        uint32_t number = 0;
        if (!ParseUint(value, number)) return Bad(error, "bad number: " + value);
        spec.number = number;
    } else if (option.name == "--version") {
        SimVersion version;
        if (!ParseVersion(value, version)) return Bad(error, "bad version: " + value);
        spec.version = version;
    } else if (option.name == "--file") {
        spec.files.push_back(value);
    } else if (option.name == "--store") {
        std::error_code ec;
        if (!std::filesystem::is_directory(PathFromUtf8(value), ec))
            return Bad(error, "not a folder: " + value);
        spec.storeDir = value;
    } else if (option.name == "--fault") {
        SimFault fault;
        if (!ParseSimFault(value, fault, error)) return SimOption::Bad;
        spec.faults.push_back(fault);
    } else {
        return SimOption::NotMine;
    }
    return SimOption::Taken;
}

bool ParseSimDeviceAddress(const std::string& text, SimDeviceSpec& spec, std::string* error) {
    const std::string expected = "FOLDER[:NUMBER]@TCPPORT expected: " + text;
    const size_t at = text.rfind('@');
    if (at == std::string::npos) return Fail(error, expected);
    std::string folder = text.substr(0, at);
    const std::string portText = text.substr(at + 1);
    if (!ParseUint(portText, spec.tcpPort)) return Fail(error, "bad port: " + portText);
    const size_t colon = folder.rfind(':');
    // A Windows drive ("C:/site", "C:\\site") is the folder's own, not a number's colon.
    const bool drive = colon == 1 && std::isalpha(static_cast<unsigned char>(folder[0])) &&
                       (folder.size() == 2 || folder[2] == '/' || folder[2] == '\\');
    if (colon != std::string::npos && !drive) {
        const std::string numberText = folder.substr(colon + 1);
        uint32_t number = 0;
        if (!ParseUint(numberText, number)) return Fail(error, "bad number: " + numberText);
        spec.number = number;
        folder.resize(colon);
    }
    if (folder.empty()) return Fail(error, expected);
    spec.folder = folder;
    return true;
}

bool ParseSimDeviceWords(const std::vector<std::string>& words, SimDeviceSpec& spec,
                         std::string* error) {
    if (words.empty()) return Fail(error, "FOLDER[:NUMBER]@TCPPORT expected");
    if (!ParseSimDeviceAddress(words[0], spec, error)) return false;
    CliArgs options;
    std::string why;
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (!options.Parse(rest, SimDeviceOptions(), why))
        return Fail(error,
                    "not a device option, or its value is missing: " + options.FailedArgument());
    if (!options.Positionals().empty())
        return Fail(error, "not a device option, or its value is missing: " +
                               options.Positionals().front());
    for (const CliItem& option : options.Items())
        if (TakeSimDeviceOption(option, spec, error) != SimOption::Taken) return false;
    return true;
}

bool SplitSimSiteLine(const std::string& line, std::vector<std::string>& words,
                      std::string* error) {
    words.clear();
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : line) {
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                word += c;
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (c == '#') {
            break;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) return Fail(error, "unterminated \"");
    if (inWord) words.push_back(std::move(word));
    return true;
}

bool ParseSimSiteText(const std::string& text, const std::string& fileName,
                      std::vector<SimDeviceSpec>& specs, std::string* error) {
    std::istringstream in(text);
    std::string line;
    std::vector<std::string> words;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string where = fileName;
        where += ':';
        where += std::to_string(number);
        std::string why;
        SimDeviceSpec spec;
        spec.origin = where;
        if (!SplitSimSiteLine(line, words, &why) ||
            (!words.empty() && !ParseSimDeviceWords(words, spec, &why))) {
            where += ": ";
            where += why;
            return Fail(error, where);
        }
        if (!words.empty()) specs.push_back(std::move(spec));
    }
    return true;
}

bool ReadSimSiteFile(const std::string& path, std::vector<SimDeviceSpec>& specs,
                     std::string* error) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) return Fail(error, "cannot read the site file: " + path);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ParseSimSiteText(text, path, specs, error);
}

bool MakeSimDevice(const SimDeviceSpec& spec, SimDevice& device, std::string* error) {
    device = SimDemoDevice();
    if (spec.version) {
        device.versionMajor = spec.version->major;
        device.versionMinor = spec.version->minor;
        device.versionBuild = spec.version->build;
    }
    device.storeDir = spec.storeDir;
    device.writeProtected = spec.protect;
    if (spec.number) device.number = *spec.number;
    if (!spec.folder.empty() && spec.folder != "-") {
        if (!SimDeviceFromFolder(spec.folder, device, error)) return false;
        const uint32_t folderNumber = SimFolderDeviceNumber(spec.folder);
        if (!spec.number && folderNumber != 0) device.number = folderNumber;
    }
    for (const std::string& file : spec.files)
        if (!AddFile(file, device)) return Fail(error, "cannot read file: " + file);
    return true;
}
