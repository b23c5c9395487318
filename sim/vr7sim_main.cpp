// vr7sim: serves one simulated VR-7 device over TCP on 127.0.0.1 and/or a pseudo-terminal, or a
// whole site of devices each on its own TCP port, until SIGINT or SIGTERM (Ctrl+C on Windows).
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/cliargs.h"
#include "base/inifile.h"
#include "base/parseuint.h"
#include "link/connectionkeys.h"
#include "sim/simdeviceoptions.h"
#include "sim/simfault.h"
#include "sim/simprocess.h"
#include "sim/simsite.h"

namespace {

const char kUsage[] =
    "usage: vr7sim [--folder FOLDER] [--tcp PORT] [--pty] [--number N]\n"
    "              [--version MAJOR.MINOR.BUILD] [--file NAME=PATH]... [--store DIR] [--protect]\n"
    "              [--settings INI] [--pace BAUD] [--echo]\n"
    "              [--fault KIND[,at=WHERE][,value=N][,skip=N][,times=N]]...\n"
    "Serves one simulated VR-7 device on 127.0.0.1:PORT (0 picks a free port) and/or a\n"
    "pseudo-terminal; without --tcp and --pty it listens on TCP port 10001.\n"
    "--settings points the program's ini file INI at this device before the listening line\n"
    "is printed: port TCP/IP, IP 127.0.0.1, TCPIPport and dev_nom, keeping every other key.\n"
    "--pace BAUD makes the pty a serial line at BAUD (10 bits a byte): a request is taken\n"
    "over its wire time and answered once its last byte is in, each answer goes out byte by\n"
    "byte at the line's speed, one answer after another, as a real device's line would.\n"
    "--echo makes the pty a line that hands the host every byte it sends back, each as it has\n"
    "crossed the line (at the --pace speed), ahead of the answer: the local echo of many\n"
    "2-wire RS-485 converters.\n";

const char kSiteUsage[] =
    "   or: vr7sim (--device FOLDER[:NUMBER]@TCPPORT [DEVICE-OPTION]... | --site FILE)...\n"
    "              [--settings INI]\n"
    "Serves a site of devices at once, each on its own TCP port of 127.0.0.1 (0 picks a free\n"
    "port). FOLDER is the device's configuration folder, or - for the built-in device; NUMBER\n"
    "is its number (as --number). DEVICE-OPTIONs are --number, --version, --file, --store,\n"
    "--protect and --fault; after a --device they belong to that device alone. A site FILE\n"
    "holds one device a line, written as after --device:\n"
    "    FOLDER[:NUMBER]@TCPPORT [DEVICE-OPTION]...\n"
    "Blanks separate the words, \"double quotes\" keep blanks in one, '#' starts a comment;\n"
    "relative paths are taken from the working folder. One line a device is printed, counting\n"
    "the devices from 1 in the order given:\n"
    "    listening N number NUMBER tcp 127.0.0.1:PORT\n"
    "Devices given the same TCPPORT (not 0) share it, as devices on one line do: each hears\n"
    "every request and answers those addressed to its number.\n"
    "With --device or --site, --settings needs a site of exactly one device.\n";

void PrintUsage(FILE* to) {
    std::fputs(kUsage, to);
    std::fputs(kSiteUsage, to);
    std::fputs(SimFaultHelp(), to);
}

// The program reads its connection settings from this file when its [CONNECTION] holds "port",
// and its device number from "dev_nom" there, so these four keys are enough for it to reach the
// simulated device at once.
bool PointSettingsAt(const std::string& iniPath, uint16_t tcpPort, uint32_t deviceNumber) {
    using namespace connkeys;
    return ini::WriteString(iniPath, kSection, kPort, kTcpIpPortName) &&
           ini::WriteString(iniPath, kSection, kIp, "127.0.0.1") &&
           ini::WriteString(iniPath, kSection, kTcpIpPort, std::to_string(tcpPort)) &&
           ini::WriteString(iniPath, kSection, kDeviceNumber, std::to_string(deviceNumber));
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "vr7sim: %s\n", message.c_str());
    return 2;
}

int Usage() {
    PrintUsage(stderr);
    return 2;
}

std::string SingleDeviceOnly(const std::string& option) {
    return option +
           " describes the single device; with --device or --site each device is "
           "FOLDER[:NUMBER]@TCPPORT followed by its own options";
}

}  // namespace

int main(int argc, char** argv) {
    // A site serves each device on a socket of its own, with its connections besides: a site of
    // a thousand devices needs more descriptors than the usual soft limit of 1024 allows.
    simprocess::Prepare();
    const std::vector<std::string> args(argv + 1, argv + argc);
    // The single device of the first form, and where it is served.
    SimDeviceSpec single;
    SimEndpoints endpoints;
    endpoints.tcp = false;
    std::string singleOption;  // the first option given that only the single device takes
    // The devices of a site (--device, --site); options after a --device belong to it.
    std::vector<SimDeviceSpec> site;
    bool siteForm = false;
    bool afterDevice = false;
    std::string settingsIni;

    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
    }
    std::vector<CliOption> known = SimDeviceOptions();
    known.insert(known.end(), {{"--settings", true},
                               {"--device", true},
                               {"--site", true},
                               {"--folder", true},
                               {"--tcp", true},
                               {"--pty", false},
                               {"--pace", true},
                               {"--echo", false}});
    CliArgs parsed;
    std::string why;
    if (!parsed.Parse(args, known, why) || !parsed.Positionals().empty()) return Usage();

    for (const CliItem& option : parsed.Items()) {
        const std::string& arg = option.name;
        const std::string& value = option.value;
        if (arg == "--settings") {
            settingsIni = value;
        } else if (arg == "--device") {
            siteForm = afterDevice = true;
            site.emplace_back();
            site.back().origin = "--device " + value;
            if (!ParseSimDeviceAddress(value, site.back(), &why)) return Fail(why);
        } else if (arg == "--site") {
            siteForm = true;
            afterDevice = false;
            if (!ReadSimSiteFile(value, site, &why)) return Fail(why);
        } else if (siteForm) {
            SimDeviceSpec scratch;
            switch (TakeSimDeviceOption(option, afterDevice ? site.back() : scratch, &why)) {
                case SimOption::Bad:
                    return Fail(why);
                case SimOption::Taken:
                    if (!afterDevice) return Fail(arg + " must follow the --device it belongs to");
                    break;
                case SimOption::NotMine:
                    return Fail(SingleDeviceOnly(arg));
            }
        } else {
            if (singleOption.empty()) singleOption = arg;
            if (arg == "--pty") {
                endpoints.pty = true;
            } else if (arg == "--echo") {
                endpoints.echo = true;
            } else if (arg == "--pace") {
                if (!ParseUint(value, endpoints.paceBaud) || endpoints.paceBaud == 0)
                    return Fail("bad speed: " + value);
            } else if (arg == "--folder") {
                single.folder = value;
            } else if (arg == "--tcp") {
                endpoints.tcp = true;
                if (!ParseUint(value, endpoints.tcpPort)) return Fail("bad port: " + value);
            } else if (TakeSimDeviceOption(option, single, &why) == SimOption::Bad) {
                return Fail(why);
            }
        }
    }

    std::vector<SimDeviceSpec> specs;
    if (siteForm) {
        if (!singleOption.empty()) return Fail(SingleDeviceOnly(singleOption));
        if (site.empty()) return Fail("no device to serve");
        if (!settingsIni.empty() && site.size() > 1)
            return Fail("--settings points the program at one device; this site has " +
                        std::to_string(site.size()));
        specs = std::move(site);
    } else {
        if (endpoints.echo && !endpoints.pty) return Fail("--echo is a line's: it needs --pty");
        if (!endpoints.tcp && !endpoints.pty) {
            endpoints.tcp = true;
            endpoints.tcpPort = 10001;
        }
        specs.push_back(std::move(single));
    }

    SimSite served;
    std::vector<uint32_t> numbers;
    std::map<uint16_t, size_t> lineOfPort;
    for (const SimDeviceSpec& spec : specs) {
        SimDevice device;
        std::string error;
        if (!MakeSimDevice(spec, device, &error))
            return Fail(siteForm ? spec.origin + ": " + error : error);
        numbers.push_back(device.number);
        if (siteForm) {
            // Devices given one port share it, as devices on one line behind one converter do.
            auto first = lineOfPort.find(spec.tcpPort);
            if (spec.tcpPort != 0 && first != lineOfPort.end()) {
                served.AddOnLine(first->second, std::move(device), spec.faults);
            } else {
                lineOfPort[spec.tcpPort] = served.Add(std::move(device), spec.faults, spec.tcpPort);
            }
        } else {
            served.Add(std::move(device), spec.faults, endpoints);
        }
    }

    std::string error;
    size_t failed = 0;
    if (!served.Start(&error, &failed))
        return Fail(siteForm ? specs[failed].origin + ": " + error : error);
    if (!settingsIni.empty()) {
        if (!siteForm && !endpoints.tcp) return Fail("--settings needs the TCP endpoint");
        if (!PointSettingsAt(settingsIni, served.TcpPort(0), numbers[0]))
            return Fail("cannot write the settings file: " + settingsIni);
    }

    if (siteForm) {
        for (size_t i = 0; i < served.Size(); ++i)
            std::printf("listening %zu number %u tcp 127.0.0.1:%u\n", i + 1, numbers[i],
                        static_cast<unsigned>(served.TcpPort(i)));
    } else {
        std::string where = "listening";
        if (endpoints.tcp) where += " tcp 127.0.0.1:" + std::to_string(served.TcpPort(0));
        if (endpoints.pty) where += " pty " + served.PtyPath(0);
        std::printf("%s\n", where.c_str());
    }
    std::fflush(stdout);

    simprocess::WaitForStop();
    served.Stop();
    return 0;
}
