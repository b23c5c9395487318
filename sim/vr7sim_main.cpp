// vr7sim: serves one simulated VR-7 device over TCP on 127.0.0.1 and/or a pseudo-terminal until
// SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "connectionkeys.h"
#include "inifile.h"
#include "parseuint.h"
#include "simfault.h"
#include "simfolder.h"
#include "simserver.h"

namespace {

const char kUsage[] =
    "usage: vr7sim [--folder FOLDER] [--tcp PORT] [--pty] [--number N]\n"
    "              [--version MAJOR.MINOR.BUILD] [--file NAME=PATH]... [--store DIR] [--protect]\n"
    "              [--settings INI] [--pace BAUD]\n"
    "              [--fault KIND[,at=WHERE][,value=N][,skip=N][,times=N]]...\n"
    "Serves one simulated VR-7 device on 127.0.0.1:PORT (0 picks a free port) and/or a\n"
    "pseudo-terminal; without --tcp and --pty it listens on TCP port 10001.\n"
    "--settings points the program's ini file INI at this device before the listening line\n"
    "is printed: port TCP/IP, IP 127.0.0.1, TCPIPport and dev_nom, keeping every other key.\n"
    "--pace BAUD delivers the answers on the pty at the wire speed of a serial line at BAUD\n"
    "(10 bits a byte, the request's bytes counted too), as a real device's line would.\n";

void PrintUsage(FILE* to) {
    std::fputs(kUsage, to);
    std::fputs(SimFaultHelp(), to);
}

template <class T>
bool ParseNumber(const std::string& text, T& value) {
    uint32_t number = 0;
    if (!ParseUint32(text, number) || number > std::numeric_limits<T>::max()) return false;
    value = static_cast<T>(number);
    return true;
}

bool ParseVersion(const std::string& text, SimDevice& device) {
    const size_t a = text.find('.');
    const size_t b = a == std::string::npos ? a : text.find('.', a + 1);
    if (b == std::string::npos) return false;
    return ParseNumber(text.substr(0, a), device.versionMajor) &&
           ParseNumber(text.substr(a + 1, b - a - 1), device.versionMinor) &&
           ParseNumber(text.substr(b + 1), device.versionBuild);
}

bool AddFile(const std::string& spec, SimDevice& device) {
    const size_t eq = spec.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    std::ifstream in(spec.substr(eq + 1), std::ios::binary);
    if (!in) return false;
    device.files[spec.substr(0, eq)].assign(std::istreambuf_iterator<char>(in),
                                            std::istreambuf_iterator<char>());
    return true;
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

}  // namespace

int main(int argc, char** argv) {
    SimDevice device = SimDemoDevice();
    SimEndpoints endpoints;
    endpoints.tcp = false;
    std::string folder;
    bool numberGiven = false;
    std::vector<std::string> fileSpecs;
    std::string settingsIni;
    std::vector<SimFault> faults;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        } else if (arg == "--pty") {
            endpoints.pty = true;
        } else if (arg == "--pace" && hasValue) {
            if (!ParseNumber(argv[++i], endpoints.paceBaud) || endpoints.paceBaud == 0)
                return Fail("bad speed: " + std::string(argv[i]));
        } else if (arg == "--settings" && hasValue) {
            settingsIni = argv[++i];
        } else if (arg == "--protect") {
            device.writeProtected = true;
        } else if (arg == "--folder" && hasValue) {
            folder = argv[++i];
        } else if (arg == "--tcp" && hasValue) {
            endpoints.tcp = true;
            if (!ParseNumber(argv[++i], endpoints.tcpPort))
                return Fail("bad port: " + std::string(argv[i]));
        } else if (arg == "--number" && hasValue) {
            numberGiven = true;
            if (!ParseNumber(argv[++i], device.number))
                return Fail("bad number: " + std::string(argv[i]));
        } else if (arg == "--version" && hasValue) {
            if (!ParseVersion(argv[++i], device))
                return Fail("bad version: " + std::string(argv[i]));
        } else if (arg == "--file" && hasValue) {
            fileSpecs.push_back(argv[++i]);
        } else if (arg == "--store" && hasValue) {
            device.storeDir = argv[++i];
            std::error_code ec;
            if (!std::filesystem::is_directory(device.storeDir, ec))
                return Fail("not a folder: " + device.storeDir);
        } else if (arg == "--fault" && hasValue) {
            SimFault fault;
            std::string why;
            if (!ParseSimFault(argv[++i], fault, &why)) return Fail(why);
            faults.push_back(fault);
        } else {
            PrintUsage(stderr);
            return 2;
        }
    }
    if (!endpoints.tcp && !endpoints.pty) {
        endpoints.tcp = true;
        endpoints.tcpPort = 10001;
    }
    if (!folder.empty()) {
        std::string error;
        if (!SimDeviceFromFolder(folder, device, &error)) return Fail(error);
        const uint32_t folderNumber = SimFolderDeviceNumber(folder);
        if (!numberGiven && folderNumber != 0) device.number = folderNumber;
    }
    for (const std::string& spec : fileSpecs)
        if (!AddFile(spec, device)) return Fail("cannot read file: " + spec);

    // The signals are taken by sigwait below, not by a handler on the serving thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const uint32_t deviceNumber = device.number;
    SimServer server(std::move(device));
    server.SetFaults(faults);
    std::string error;
    if (!server.Start(endpoints, &error)) return Fail(error);
    if (!settingsIni.empty()) {
        if (!endpoints.tcp) return Fail("--settings needs the TCP endpoint");
        if (!PointSettingsAt(settingsIni, server.TcpPort(), deviceNumber))
            return Fail("cannot write the settings file: " + settingsIni);
    }

    std::string where = "listening";
    if (endpoints.tcp) where += " tcp 127.0.0.1:" + std::to_string(server.TcpPort());
    if (endpoints.pty) where += " pty " + server.PtyPath();
    std::printf("%s\n", where.c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
    return 0;
}
