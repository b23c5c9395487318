// vr7bench: how fast the program opens a large configuration folder and reads a device, each
// against a floor measured in the same run (what the machine and the wire allow), as a table.
//   vr7bench [--runs N] [--smoke]        (VR7LON=PATH measures another vr7lon)
// Each figure is the median of N runs with min and max; each ratio (program / floor) is taken run
// by run, so that a machine busy with something else shifts both sides alike.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "lebytes.h"
#include "simserver.h"
#include "vr7frame.h"
#include "workloads.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Runs a command line through the shell, its output discarded; the wall time in seconds, or a
// negative value when it failed.
double TimeShell(const std::string& command) {
    const auto t0 = Clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    const double s = Seconds(t0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -s;
}

struct Row {
    std::string work;
    std::vector<double> program, floor, ratio;
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void Print(const std::vector<Row>& rows) {
    std::printf("%-58s %9s %9s %9s %9s %7s %15s\n", "work", "median s", "min s", "max s",
                "floor s", "ratio", "ratio min-max");
    for (const Row& r : rows) {
        const auto [pmin, pmax] = std::minmax_element(r.program.begin(), r.program.end());
        const auto [rmin, rmax] = std::minmax_element(r.ratio.begin(), r.ratio.end());
        std::printf("%-58s %9.4f %9.4f %9.4f %9.4f %7.2f %7.2f-%-7.2f\n", r.work.c_str(),
                    Median(r.program), *pmin, *pmax, Median(r.floor), Median(r.ratio), *rmin,
                    *rmax);
    }
}

// Measures program against floor `runs` times, in turn.
Row Measure(const std::string& work, int runs, const std::function<double()>& program,
            const std::function<double()>& floor) {
    Row row{work, {}, {}, {}};
    for (int i = 0; i < runs; ++i) {
        const double p = program();
        const double f = floor();
        if (p < 0 || f < 0) {
            std::fprintf(stderr, "vr7bench: %s: a run failed\n", work.c_str());
            std::exit(1);
        }
        row.program.push_back(p);
        row.floor.push_back(f);
        row.ratio.push_back(p / f);
    }
    return row;
}

// The raw floor of a device read: the same requests as the program's tree read (identification,
// header, every entry), each written at once and its answer read whole, over a plain socket.
double RawDeviceRead(uint16_t port, uint32_t number, int entries) {
    const auto t0 = Clock::now();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
    auto exchange = [&](uint8_t command, std::vector<uint8_t> data) {
        const std::vector<uint8_t> frame = MakeFrame(number, command, data);
        if (::send(fd, frame.data(), frame.size(), 0) != static_cast<ssize_t>(frame.size()))
            return false;
        uint8_t answer[kFrameSize];
        size_t got = 0, need = kFrameHeader;
        while (got < need) {
            const ssize_t n = ::recv(fd, answer + got, sizeof answer - got, 0);
            if (n <= 0) return false;
            got += static_cast<size_t>(n);
            if (got >= static_cast<size_t>(kFrameHeader))
                need = static_cast<size_t>(FrameLength(answer)) + kFrameOverhead;
        }
        return true;
    };
    bool ok = exchange(cmdIdentify, {}) && exchange(cmdReadHeader, {});
    for (int i = 1; ok && i <= entries; ++i) {
        uint8_t index[2];
        PutLe16(index, static_cast<uint16_t>(i));
        ok = exchange(cmdReadEntry, {index[0], index[1]});
    }
    ::close(fd);
    return ok ? Seconds(t0) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    // The raw client as a process of its own, so that the floor pays a process start as vr7lon
    // does: vr7bench --raw-client PORT NUMBER ENTRIES.
    if (argc == 5 && std::string(argv[1]) == "--raw-client")
        return RawDeviceRead(static_cast<uint16_t>(std::atoi(argv[2])),
                             static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)), std::atoi(argv[4])) < 0;

    bool smoke = false;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--smoke") {
            smoke = true;
            runs = 1;
        } else if (a == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: vr7bench [--runs N] [--smoke]\n");
            return 64;
        }
    }
    // The vr7lon measured: the one built beside this program, or another one (an older build, to
    // compare) named by the environment.
    const char* other = std::getenv("VR7LON");
    const std::string program = other != nullptr ? other : VR7LON_PROGRAM;
    char templ[] = "/tmp/vr7bench.XXXXXX";
    if (::mkdtemp(templ) == nullptr) return 1;
    const std::string dir = templ;
    const bool haveXmllint = std::system("command -v xmllint >/dev/null 2>&1") == 0;
    std::vector<Row> rows;

    // Opening a configuration folder: the whole tree against parsing the same XML files and one
    // read of main.def; then the configuration doubled.
    const int variables = smoke ? 20 : 1000;
    const int entries = smoke ? 40 : 2000;
    const size_t defBytes = smoke ? 4096 : (1u << 20);
    std::string catalogue;
    for (int scale : {1, 2}) {
        const std::string sub = dir + "/open" + std::to_string(scale);
        const OpenWorkload w = MakeOpenWorkload(sub, 9, variables * scale, entries, defBytes);
        catalogue = w.catalogue;
        const std::string tree = program + " tree " + w.folder + " --catalog " + w.catalogue;
        const std::string floor = haveXmllint
                                      ? "xmllint --noout " + w.xmlFiles + " && cat " + w.defFile
                                      : "cat " + w.xmlFiles + " " + w.defFile;
        rows.push_back(Measure("vr7lon tree: 9 systems x " + std::to_string(variables * scale) +
                                   ", " + std::to_string(entries) + "-entry catalogue",
                               runs, [&] { return TimeShell(tree); },
                               [&] { return TimeShell(floor); }));
    }

    // Reading a device's tree over TCP from the simulator on 127.0.0.1, against a raw client
    // sending the same frames to the same simulator.
    const int deviceEntries = smoke ? 50 : 5004;
    SimServer server(MakeDeviceWorkload(deviceEntries));
    std::string error;
    if (!server.Start(SimEndpoints{}, &error)) {
        std::fprintf(stderr, "vr7bench: simulator: %s\n", error.c_str());
        return 1;
    }
    const std::string deviceTree = program + " device --ip 127.0.0.1 --tcp-port " +
                                   std::to_string(server.TcpPort()) +
                                   " --number 77 tree --catalog " + catalogue;
    std::error_code self;
    const std::string rawClient = std::filesystem::read_symlink("/proc/self/exe", self).string() +
                                  " --raw-client " +
                                  std::to_string(server.TcpPort()) + " 77 " +
                                  std::to_string(deviceEntries);
    rows.push_back(Measure("vr7lon device tree over TCP: " + std::to_string(deviceEntries) +
                               " entries",
                           runs, [&] { return TimeShell(deviceTree); },
                           [&] { return TimeShell(rawClient); }));
    server.Stop();

    Print(rows);
    if (!haveXmllint) std::printf("(xmllint is not installed: the open floor only reads files)\n");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
