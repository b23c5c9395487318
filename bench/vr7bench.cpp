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

#include "benchtable.h"
#include "lebytes.h"
#include "simserver.h"
#include "vr7frame.h"
#include "workloads.h"

namespace {

using namespace bench;

// The size of the files moved up and down.
constexpr size_t kTransferBytes = 256 * 1024;

// The raw floor of the device work: the same requests as the program's, each written at once and
// its answer read whole, over a plain socket, with nothing else done.
class RawClient {
  public:
    RawClient(uint16_t port, uint32_t number) : number_(number) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~RawClient() { ::close(fd_); }
    bool Ok() const { return ok_; }

    // One exchange; the answer's data (empty on a failure, which also ends the client).
    std::vector<uint8_t> Exchange(uint8_t command, const std::vector<uint8_t>& data) {
        if (!ok_) return {};
        const std::vector<uint8_t> frame = MakeFrame(number_, command, data);
        if (::send(fd_, frame.data(), frame.size(), 0) != static_cast<ssize_t>(frame.size()))
            ok_ = false;
        uint8_t answer[kFrameSize];
        size_t got = 0, need = kFrameHeader;
        while (ok_ && got < need) {
            const ssize_t n = ::recv(fd_, answer + got, sizeof answer - got, 0);
            if (n <= 0) ok_ = false;
            got += n > 0 ? static_cast<size_t>(n) : 0;
            if (got >= static_cast<size_t>(kFrameHeader))
                need = static_cast<size_t>(FrameLength(answer)) + kFrameOverhead;
        }
        if (!ok_) return {};
        return std::vector<uint8_t>(answer + kFrameHeader, answer + need - kFrameCheckSize);
    }

  private:
    int fd_ = -1;
    uint32_t number_;
    bool ok_ = false;
};

std::vector<uint8_t> OpenRequest(uint8_t mode, const std::string& name) {
    std::vector<uint8_t> data{mode};
    data.insert(data.end(), name.begin(), name.end());
    return data;
}

// vr7bench --raw tree|get|put PORT NUMBER ARG: the floor as a process of its own, so that it pays
// a process start as vr7lon does. ARG: the entries to read, the file's name, or (put) NAME:BYTES.
int RawMain(const std::string& what, uint16_t port, uint32_t number, const std::string& arg) {
    RawClient client(port, number);
    if (what == "tree") {
        client.Exchange(cmdIdentify, {});
        client.Exchange(cmdReadHeader, {});
        const int entries = std::atoi(arg.c_str());
        for (int i = 1; client.Ok() && i <= entries; ++i) {
            uint8_t index[2];
            PutLe16(index, static_cast<uint16_t>(i));
            client.Exchange(cmdReadEntry, {index[0], index[1]});
        }
    } else if (what == "get") {
        client.Exchange(cmdOpenFile, OpenRequest(kOpenForRead, arg));
        while (client.Ok() && client.Exchange(cmdReadBlock, {kNextBlock}).size() >
                                  static_cast<size_t>(kBlockPositionSize)) {
        }
    } else if (what == "put") {
        const size_t colon = arg.rfind(':');
        const size_t bytes = std::strtoul(arg.c_str() + colon + 1, nullptr, 10);
        client.Exchange(cmdOpenFile, OpenRequest(kOpenForWrite, arg.substr(0, colon)));
        for (size_t done = 0; client.Ok() && done < bytes; done += kMaxFrameData) {
            const std::vector<uint8_t> block(std::min<size_t>(kMaxFrameData, bytes - done), 0x5A);
            client.Exchange(cmdWriteBlock, block);
        }
        client.Exchange(cmdWriteBlock, {});
    } else {
        return 64;
    }
    return client.Ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "--raw")
        return RawMain(argv[2], static_cast<uint16_t>(std::atoi(argv[3])),
                       static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)), argv[5]);

    bench::Args args;
    if (!bench::ParseArgs(argc, argv, "vr7bench", args)) return 64;
    const bool smoke = args.smoke;
    const int runs = args.runs;
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
        rows.push_back(Measure(
            "vr7lon tree: 9 systems x " + std::to_string(variables * scale) + ", " +
                std::to_string(entries) + "-entry catalogue",
            runs, [&] { return TimeShell(tree); }, [&] { return TimeShell(floor); }));
    }

    // The device over TCP, served by the simulator on 127.0.0.1: reading its tree, and moving a
    // file down and up, each against a raw client sending the same frames to the same simulator.
    const int deviceEntries = smoke ? 50 : 5004;
    const size_t fileBytes = smoke ? 4096 : kTransferBytes;  // each way
    SimDevice device = MakeDeviceWorkload(deviceEntries);
    device.files["big.bin"] = std::vector<uint8_t>(fileBytes, 0xA5);
    SimServer server(std::move(device));
    std::string error;
    if (!server.Start(SimEndpoints{}, &error)) {
        std::fprintf(stderr, "vr7bench: simulator: %s\n", error.c_str());
        return 1;
    }
    const std::string port = std::to_string(server.TcpPort());
    const std::string device_ =
        program + " device --ip 127.0.0.1 --tcp-port " + port + " --number 77 ";
    std::error_code self;
    const std::string raw = std::filesystem::read_symlink("/proc/self/exe", self).string() +
                            " --raw %s " + port + " 77 ";
    auto rawCommand = [&](const std::string& what, const std::string& arg) {
        std::string command = raw;
        command.replace(command.find("%s"), 2, what);
        return command + arg;
    };
    const std::string upload = dir + "/upload.bin";
    {
        std::FILE* f = std::fopen(upload.c_str(), "wb");
        const std::vector<uint8_t> bytes(fileBytes, 0x5A);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const std::string kib = std::to_string(fileBytes / 1024) + " KiB";
    struct DeviceWork {
        std::string name, command, floor;
    };
    const DeviceWork works[] = {
        {"vr7lon device tree over TCP: " + std::to_string(deviceEntries) + " entries",
         device_ + "tree --catalog " + catalogue,
         rawCommand("tree", std::to_string(deviceEntries))},
        {"vr7lon device get over TCP: " + kib, device_ + "get big.bin " + dir + "/down.bin",
         rawCommand("get", "big.bin")},
        {"vr7lon device put over TCP: " + kib, device_ + "put " + upload + " up.bin",
         rawCommand("put", "up.bin:" + std::to_string(fileBytes))},
    };
    for (const DeviceWork& work : works)
        rows.push_back(Measure(
            work.name, runs, [&] { return TimeShell(work.command); },
            [&] { return TimeShell(work.floor); }));
    server.Stop();

    // Reading a device's tree over a serial line at 115200 Bd: the simulator delivers its answers
    // on a pty at the wire's speed, and the floor is the wire time of every byte exchanged.
    {
        const int serialEntries = smoke ? 20 : 500;
        constexpr unsigned kBaud = 115200;
        const SimDevice serialDevice = MakeDeviceWorkload(serialEntries);
        SimServer paced(serialDevice);
        SimEndpoints line;
        line.tcp = false;
        line.pty = true;
        line.paceBaud = kBaud;
        if (!paced.Start(line, &error)) {
            std::fprintf(stderr, "vr7bench: simulator: %s\n", error.c_str());
            return 1;
        }
        const std::string serialTree = program + " device --port " + paced.PtyPath() + " --speed " +
                                       std::to_string(kBaud) + " --number 77 tree --catalog " +
                                       catalogue;
        double wireSeconds = 0;
        rows.push_back(Measure(
            "vr7lon device tree at 115200 Bd: " + std::to_string(serialEntries) + " entries", runs,
            [&] {
                paced.ClearRequests();
                const double s = TimeShell(serialTree);
                // Every request and the answer the device gives it, 10 bits a byte.
                SimResponder device(serialDevice);
                size_t bytes = 0;
                for (const auto& request : paced.Requests())
                    bytes += request.size() + device.Handle(request).bytes.size();
                wireSeconds = static_cast<double>(bytes) * 10 / kBaud;
                return s;
            },
            [&] { return wireSeconds; }));
        paced.Stop();
    }

    Print(rows);
    if (!haveXmllint) std::printf("(xmllint is not installed: the open floor only reads files)\n");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
