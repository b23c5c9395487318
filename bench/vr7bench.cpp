// vr7bench: how fast the program opens a large configuration folder and reads a device, each
// against a floor measured in the same run (what the machine and the wire allow), as a table.
//   vr7bench [--runs N] [--smoke]        (VR7LON=PATH measures another vr7lon)
// Each figure is the median of N runs with min and max; each ratio (program / floor) is taken run
// by run, so that a machine busy with something else shifts both sides alike.
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/lebytes.h"
#include "base/scratchfolder.h"
#include "bench/benchtable.h"
#include "bench/workloads.h"
#include "cfgtree/vr7cfgtree.h"
#include "device/devicecommands.h"
#include "gateway/catalogue.h"
#include "gateway/snvtlist.h"
#include "link/connection.h"
#include "link/vr7frame.h"
#include "link/vr7prot.h"
#include "optlist/xmldocument.h"
#include "sim/simserver.h"

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
    std::vector<uint8_t> data(1 + name.size(), mode);
    std::copy(name.begin(), name.end(), data.begin() + 1);
    return data;
}

// The raw client's work: the frames the program sends for the same job, nothing else.
bool RawTree(RawClient& client, int entries) {
    client.Exchange(cmdIdentify, {});
    client.Exchange(cmdReadHeader, {});
    for (int i = 1; client.Ok() && i <= entries; ++i) {
        uint8_t index[2];
        PutLe16(index, static_cast<uint16_t>(i));
        client.Exchange(cmdReadEntry, {index[0], index[1]});
    }
    return client.Ok();
}

// Downloads the file name into bytes.
bool RawGet(RawClient& client, const std::string& name, std::vector<uint8_t>& bytes) {
    client.Exchange(cmdOpenFile, OpenRequest(kOpenForRead, name));
    for (;;) {
        const std::vector<uint8_t> block = client.Exchange(cmdReadBlock, {kNextBlock});
        if (block.size() <= static_cast<size_t>(kBlockPositionSize)) break;
        bytes.insert(bytes.end(), block.begin() + kBlockPositionSize, block.end());
    }
    return client.Ok();
}

bool RawPut(RawClient& client, const std::string& name, size_t bytes) {
    client.Exchange(cmdOpenFile, OpenRequest(kOpenForWrite, name));
    for (size_t done = 0; client.Ok() && done < bytes; done += kMaxFrameData) {
        const std::vector<uint8_t> block(std::min<size_t>(kMaxFrameData, bytes - done), 0x5A);
        client.Exchange(cmdWriteBlock, block);
    }
    client.Exchange(cmdWriteBlock, {});
    return client.Ok();
}

// Stores bytes as path the way vr7lon replaces a file: a temporary file beside it, synced, renamed
// over it, and the folder synced.
bool StoreDurably(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temp = path + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
              ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok && ::rename(temp.c_str(), path.c_str()) == 0;
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ok = ::fsync(dir) == 0 && ok;
        ::close(dir);
    }
    return ok;
}

// vr7bench --raw tree|get|put PORT NUMBER ARG: the floor as a process of its own, so that it pays
// a process start as vr7lon does. ARG: the entries to read, (get) NAME:OUTFILE, or (put)
// NAME:BYTES. A download is stored as vr7lon stores it.
int RawMain(const std::string& what, uint16_t port, uint32_t number, const std::string& arg) {
    RawClient client(port, number);
    const size_t colon = arg.rfind(':');
    if (what == "tree") return RawTree(client, std::atoi(arg.c_str())) ? 0 : 1;
    if (colon == std::string::npos) return 64;
    if (what == "get") {
        std::vector<uint8_t> bytes;
        return RawGet(client, arg.substr(0, colon), bytes) &&
                       StoreDurably(arg.substr(colon + 1), bytes)
                   ? 0
                   : 1;
    }
    if (what == "put")
        return RawPut(client, arg.substr(0, colon),
                      std::strtoul(arg.c_str() + colon + 1, nullptr, 10))
                   ? 0
                   : 1;
    return 64;
}

// While it lives, this thread runs on one core only, and so do the threads and processes it starts
// (the simulator's thread, vr7lon, the raw client): the device's answer then never waits for a
// wake-up on another core, which on a small busy machine makes the figures jump.
class OneCore {
  public:
    OneCore() {
        ::sched_getaffinity(0, sizeof saved_, &saved_);
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
            if (CPU_ISSET(cpu, &saved_)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        ::sched_setaffinity(0, sizeof one, &one);
    }
    ~OneCore() { ::sched_setaffinity(0, sizeof saved_, &saved_); }
    OneCore(const OneCore&) = delete;
    OneCore& operator=(const OneCore&) = delete;

  private:
    cpu_set_t saved_{};
};

// The device work inside this process, on one core with the simulator's thread: the program's
// own core calls over a connection, against the raw client's exchanges. No process start, no
// catalogue load, no cross-core wake-ups: what is left is the cost of each exchange, the rate.
class InProcess {
  public:
    InProcess(int entries, size_t fileBytes, const std::string& catalogue)
        : entries_(entries), fileBytes_(fileBytes), catalogue_(catalogue) {
        SimDevice device = MakeDeviceWorkload(entries);
        device.files["big.bin"] = std::vector<uint8_t>(fileBytes, 0xA5);
        server_ = std::make_unique<SimServer>(std::move(device));
        ok_ = server_->Start(SimEndpoints{}) && LoadCatalogue(catalogue_, catalogue).document.ok();
    }
    ~InProcess() { server_->Stop(); }
    bool Ok() const { return ok_; }

    double ProgramTree() {
        return Program([&](connection& conn) {
            DeviceInfo info;
            CfgTree tree;
            return ReadDeviceInfo(conn, kNumber, info) == lr::Ok &&
                   ReadDeviceTree(conn, kNumber, tree, &catalogue_, nullptr) ==
                       TreeBuild::Complete &&
                   tree.Roots().size() == 1;
        });
    }
    double ProgramGet() {
        return Program([&](connection& conn) {
            std::string bytes;
            return ReadDeviceFileBytes(conn, kNumber, "big.bin", bytes, nullptr) == lr::Ok &&
                   bytes.size() == fileBytes_;
        });
    }
    double ProgramPut() {
        return Program([&](connection& conn) {
            std::istringstream in(std::string(fileBytes_, '\x5A'));
            return WriteDeviceFile(conn, kNumber, &in, "up.bin", nullptr) == lr::Ok;
        });
    }
    double RawTree() {
        return Raw([&](RawClient& client) { return ::RawTree(client, entries_); });
    }
    double RawGet() {
        return Raw([&](RawClient& client) {
            std::vector<uint8_t> bytes;
            return ::RawGet(client, "big.bin", bytes) && bytes.size() == fileBytes_;
        });
    }
    double RawPut() {
        return Raw([&](RawClient& client) { return ::RawPut(client, "up.bin", fileBytes_); });
    }

  private:
    static constexpr uint32_t kNumber = 77;

    // Seconds from the connect to the end of the work; negative when it failed.
    template <class Work>
    double Program(Work work) {
        const auto t0 = Clock::now();
        connection conn;
        const bool ok =
            conn.OpenTcpIpLink("127.0.0.1", std::to_string(server_->TcpPort())) == lr::Ok &&
            work(conn);
        conn.Close();
        const double s = Seconds(t0);
        return ok ? s : -s;
    }
    template <class Work>
    double Raw(Work work) {
        const auto t0 = Clock::now();
        bool ok = false;
        {
            RawClient client(server_->TcpPort(), kNumber);
            ok = work(client);
        }
        const double s = Seconds(t0);
        return ok ? s : -s;
    }

    OneCore core_;  // first: the simulator's thread inherits it
    int entries_;
    size_t fileBytes_;
    XmlDocument catalogue_;
    std::unique_ptr<SimServer> server_;
    bool ok_ = false;
};

// vr7bench --serve ENTRIES: serves the benchmark's device (number 77, ENTRIES entries and a
// 256 KiB file big.bin) on 127.0.0.1, prints its port and serves until standard input ends, so
// that the device work can be profiled or traced by hand.
int ServeMain(int entries) {
    SimDevice device = MakeDeviceWorkload(entries);
    device.files["big.bin"] = std::vector<uint8_t>(kTransferBytes, 0xA5);
    SimServer server(std::move(device));
    std::string error;
    if (!server.Start(SimEndpoints{}, &error)) {
        std::fprintf(stderr, "vr7bench: simulator: %s\n", error.c_str());
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(server.TcpPort()));
    std::fflush(stdout);
    char buffer[256];
    while (::read(0, buffer, sizeof buffer) > 0) {
    }
    server.Stop();
    return 0;
}

}  // namespace

// A configuration folder under dir of one system named `name` with `variables` calculated
// variables; its CONFIG folder, ending in '/'.
std::string MakeGrowthFolder(const std::string& dir, const std::string& name, int variables) {
    const std::string config = dir + "/vr7_1/CONFIG";
    std::filesystem::create_directories(config);
    std::string xms =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<system name=\"" + name + "\">\n";
    for (int i = 0; i < variables; ++i) xms += "<calc name=\"v" + std::to_string(i) + "\"/>\n";
    xms += "</system>\n";
    const std::string xmc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<c><syslink name=\"sys1\">s</syslink></c>\n";
    if (!StoreDurably(config + "/main.xmc", std::vector<uint8_t>(xmc.begin(), xmc.end())) ||
        !StoreDurably(config + "/s.xms", std::vector<uint8_t>(xms.begin(), xms.end())))
        return {};
    return config + "/";
}

// Seconds of one in-process build of the folder tree (negative when it failed).
double TimeTreeBuild(const std::string& dir, const std::string& name, int variables) {
    const std::string config = MakeGrowthFolder(dir, name, variables);
    if (config.empty()) return -1;
    CfgTree tree;
    XmlDocument scratch;
    const auto t0 = bench::Clock::now();
    const bool built =
        BuildTreeFromDir(tree, config, 1, nullptr, nullptr, STreeOptions{0x89}, scratch)
            .value_or(TreeBuild::Partial) == TreeBuild::Complete;
    const double s = bench::Seconds(t0);
    std::error_code ec;
    std::filesystem::remove_all(dir + "/vr7_1", ec);
    return built ? s : -s;
}

// The folder tree's growth: four times the variables against four times the time of the smaller
// build (about 1 when linear, 4 when quadratic), and a long system name with many variables
// against the two costs added (about 1 when they add up, far more when they multiply). The smoke
// run fails when the best run's growth is out of line (above 3, or 4 for the name), whatever the
// machine's speed.
bool MeasureTreeGrowth(const std::string& dir, int runs, bool smoke, std::vector<Row>& rows) {
    // The best of at least three runs: a busy machine slows one build or the other, not the growth.
    runs = std::max(runs, 3);
    auto best = [](const Row& row) {
        return *std::min_element(row.ratio.begin(), row.ratio.end());
    };
    const std::string longName(1 << 20, 'n');
    rows.push_back(Measure(
        "folder tree: 200000 variables vs 4 x 50000", runs,
        [&] { return TimeTreeBuild(dir, "s", 200000); },
        [&] { return 4 * TimeTreeBuild(dir, "s", 50000); }));
    const double variablesRatio = best(rows.back());
    rows.push_back(Measure(
        "folder tree: 1 MB name x 4000 vs name + 4000 apart", runs,
        [&] { return TimeTreeBuild(dir, longName, 4000); },
        [&] { return TimeTreeBuild(dir, longName, 1) + TimeTreeBuild(dir, "s", 4000); }));
    const double nameRatio = best(rows.back());
    if (smoke && (variablesRatio > 3 || nameRatio > 4)) {
        std::fprintf(stderr,
                     "vr7bench: the folder tree grows out of line (x4 variables: %.2f, long name "
                     "with variables: %.2f)\n",
                     variablesRatio, nameRatio);
        return false;
    }
    return true;
}

// A catalogue of `count` plain variables v0, v1, ... without flags.
std::string MakeListCatalogue(const std::string& dir, int count) {
    std::string cat = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<calcbank>\n  <LonCfg size=\"" +
                      std::to_string(count) + "\"/>\n";
    for (int i = 0; i < count; ++i)
        cat += "  <calc name=\"v" + std::to_string(i) + "\"><LonVar VSNVTid=\"105\"/></calc>\n";
    cat += "</calcbank>\n";
    const std::string path = dir + "/listcatalogue.xml";
    return StoreDurably(path, std::vector<uint8_t>(cat.begin(), cat.end())) ? path : std::string();
}

// Seconds of adding `count` variables of system 1 one after another at the end of a list, as
// vr7lon build and the window's double-clicks do (negative when one was not added).
double TimeListBuild(const CatalogueLoad& catalogue, XmlDocument& document, int count) {
    SnvtList list(document);
    list.SetMaxVariables(catalogue.maxVariables);
    CfgTree tree;
    tree.AddRoot(std::string(), std::make_unique<SVR7_Info>());
    std::vector<const TreeNode*> nodes;
    for (int i = 0; i < count; ++i)
        nodes.push_back(
            AddCalcLeaf(tree, SConfigInfo{}, kWindowTreeOptions, 1, "v" + std::to_string(i)));
    const auto t0 = bench::Clock::now();
    for (const TreeNode* node : nodes) {
        if (node == nullptr ||
            list.AddVariable(-1, node->Text, node->Info()->System) != SnvtList::AddResult::Added)
            return -bench::Seconds(t0);
    }
    return bench::Seconds(t0);
}

// The list's growth as variables are added: four times the variables against four times the
// time of the smaller list (about 1 when linear, 4 when every addition touches every row). The
// smoke run fails when the best run's growth is above 3.
bool MeasureListGrowth(const std::string& dir, int runs, bool smoke, std::vector<Row>& rows) {
    runs = std::max(runs, 3);
    const int small = smoke ? 1000 : 3000;
    XmlDocument document;
    const CatalogueLoad catalogue = LoadCatalogue(document, MakeListCatalogue(dir, 4 * small));
    if (!catalogue.document || !catalogue.capacity) {
        std::fprintf(stderr, "vr7bench: the list workload's catalogue did not load\n");
        return false;
    }
    rows.push_back(Measure(
        "list: adding " + std::to_string(4 * small) + " variables vs 4 x " + std::to_string(small),
        runs, [&] { return TimeListBuild(catalogue, document, 4 * small); },
        [&] { return 4 * TimeListBuild(catalogue, document, small); }));
    const double ratio = *std::min_element(rows.back().ratio.begin(), rows.back().ratio.end());
    if (smoke && ratio > 3) {
        std::fprintf(stderr, "vr7bench: the list grows out of line (x4 variables: %.2f)\n", ratio);
        return false;
    }
    return true;
}

// A gateway settings file of `rows` rows written as the program writes them, every fourth with a
// flags line; its path.
std::string MakeListFile(const std::string& dir, size_t rows) {
    std::string text;
    text.reserve(rows * 56);
    char line[128];
    for (size_t i = 0; i < rows; ++i) {
        const unsigned ref = 40001 + static_cast<unsigned>(i % 12000) * 2;
        std::snprintf(line, sizeof line, "F %u %-22s v%zu C\r\n", ref, "105", i);
        text += line;
        if (i % 4 == 0) {
            std::snprintf(line, sizeof line, "B %u %-22s v%zuf\r\n", ref + 1, "83", i);
            text += line;
        }
    }
    const std::string path = dir + "/list" + std::to_string(rows) + ".cfg";
    return StoreDurably(path, std::vector<uint8_t>(text.begin(), text.end())) ? path
                                                                              : std::string();
}

// Seconds of a shell command whose exit status must be `expected` (negative when it is not).
double TimeShellStatus(const std::string& command, int expected) {
    const auto t0 = Clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    const double s = Seconds(t0);
    return WIFEXITED(status) && WEXITSTATUS(status) == expected ? s : -s;
}

// "vr7lon list FILE" and "vr7lon build --from FILE" against the least a program can do to print
// the same rows (vr7listfloor: fread, split, one buffered stdout), and a file with more rows than
// the list takes refused against reading and splitting it.
void MeasureList(const std::string& program, const std::string& dir, int runs, bool smoke,
                 std::vector<Row>& rows) {
    const std::string catalogue = dir + "/capacity.xml";
    const std::string cat =
        "<?xml version=\"1.0\"?>\n<calcbank><LonCfg size=\"12767\"/></calcbank>\n";
    const std::string floor = VR7_LIST_FLOOR;
    if (!StoreDurably(catalogue, std::vector<uint8_t>(cat.begin(), cat.end()))) std::exit(1);
    const std::vector<size_t> sizes =
        smoke ? std::vector<size_t>{1000} : std::vector<size_t>{1000, 10000, 65535};
    for (const size_t n : sizes) {
        const std::string file = MakeListFile(dir, n);
        if (file.empty()) std::exit(1);
        const std::string out = dir + "/built.cfg";
        rows.push_back(Measure(
            "vr7lon list: " + std::to_string(n) + " rows", runs,
            [&] { return TimeShell(program + " list " + file + " --catalog " + catalogue); },
            [&] { return TimeShell(floor + " " + file); }));
        rows.push_back(Measure(
            "vr7lon build --from: " + std::to_string(n) + " rows", runs,
            [&] {
                return TimeShell(program + " build --out " + out + " --from " + file +
                                 " --catalog " + catalogue);
            },
            [&] { return TimeShell("{ " + floor + " " + file + " >" + out + "; }"); }));
    }
    const size_t over = smoke ? 70000 : 200000;
    const std::string file = MakeListFile(dir, over);
    if (file.empty()) std::exit(1);
    rows.push_back(Measure(
        "vr7lon list refusing " + std::to_string(over) + " rows vs reading them", runs,
        [&] { return TimeShellStatus(program + " list " + file + " --catalog " + catalogue, 2); },
        [&] { return TimeShell(floor + " " + file + " --count"); }));
}

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "--raw")
        return RawMain(argv[2], static_cast<uint16_t>(std::atoi(argv[3])),
                       static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)), argv[5]);
    if (argc == 3 && std::string(argv[1]) == "--serve") return ServeMain(std::atoi(argv[2]));

    bench::Args args;
    if (!bench::ParseArgs(argc, argv, "vr7bench", args)) return 64;
    const bool smoke = args.smoke;
    const int runs = args.runs;
    // The vr7lon measured: the one built beside this program, or another one (an older build, to
    // compare) named by the environment.
    const char* other = std::getenv("VR7LON");
    const std::string program = other != nullptr ? other : VR7LON_PROGRAM;
    const Result<std::string> made = MakeScratchFolder("vr7bench");
    if (!made) return 1;
    const std::string dir = made.value();
    const bool haveXmllint = std::system("command -v xmllint >/dev/null 2>&1") == 0;
    std::vector<Row> rows;

    // Opening a configuration folder: the whole tree against parsing the same XML files and one
    // read of main.def, at sizes from a small site to a large one.
    const std::vector<int> treeSizes =
        smoke ? std::vector<int>{20, 40} : std::vector<int>{500, 1000, 2000, 4000, 8000, 16000};
    const int entries = smoke ? 40 : 2000;
    const size_t defBytes = smoke ? 4096 : (1u << 20);
    std::string catalogue;
    for (int variables : treeSizes) {
        const std::string sub = dir + "/open" + std::to_string(variables);
        const OpenWorkload w = MakeOpenWorkload(sub, 9, variables, entries, defBytes);
        catalogue = w.catalogue;
        const std::string tree = program + " tree " + w.folder + " --catalog " + w.catalogue;
        const std::string floor = haveXmllint
                                      ? "xmllint --noout " + w.xmlFiles + " && cat " + w.defFile
                                      : "cat " + w.xmlFiles + " " + w.defFile;
        rows.push_back(Measure(
            "vr7lon tree: 9 systems x " + std::to_string(variables) + ", " +
                std::to_string(entries) + "-entry catalogue",
            runs, [&] { return TimeShell(tree); }, [&] { return TimeShell(floor); }));
        std::error_code removed;  // the catalogue stays for the device rows
        std::filesystem::remove_all(w.folder, removed);
    }

    MeasureList(program, dir, runs, smoke, rows);

    const bool treeInLine = MeasureTreeGrowth(dir, runs, smoke, rows);
    const bool growthInLine = MeasureListGrowth(dir, runs, smoke, rows) && treeInLine;

    // The device over TCP, served by the simulator on 127.0.0.1: reading its tree, and moving a
    // file down and up, each against a raw client sending the same frames to the same simulator.
    const int deviceEntries = smoke ? 50 : 5004;
    const size_t fileBytes = smoke ? 4096 : kTransferBytes;  // each way
    const std::string upload = dir + "/upload.bin";
    if (!MakeUploadFile(upload, fileBytes, 0x5A)) {
        std::fprintf(stderr, "vr7bench: cannot write %s\n", upload.c_str());
        return 1;
    }
    const std::string kib = std::to_string(fileBytes / 1024) + " KiB";
    std::error_code self;
    const std::string bench = std::filesystem::read_symlink("/proc/self/exe", self).string();
    // Each piece of work as vr7lon does it and as the raw client does it, against a simulator
    // started for it; "where" names the cores they run on.
    auto measureDevice = [&](const std::string& where) {
        SimDevice device = MakeDeviceWorkload(deviceEntries);
        device.files["big.bin"] = std::vector<uint8_t>(fileBytes, 0xA5);
        SimServer server(std::move(device));
        std::string error;
        if (!server.Start(SimEndpoints{}, &error)) {
            std::fprintf(stderr, "vr7bench: simulator: %s\n", error.c_str());
            std::exit(1);
        }
        const std::string port = std::to_string(server.TcpPort());
        const std::string vr7lon =
            program + " device --ip 127.0.0.1 --tcp-port " + port + " --number 77 ";
        const std::string raw = bench + " --raw ";
        struct DeviceWork {
            std::string name, command, floor;
        };
        const DeviceWork works[] = {
            {"vr7lon device tree over TCP" + where + ": " + std::to_string(deviceEntries) +
                 " entries",
             vr7lon + "tree --catalog " + catalogue,
             raw + "tree " + port + " 77 " + std::to_string(deviceEntries)},
            {"vr7lon device get over TCP" + where + ": " + kib,
             vr7lon + "get big.bin " + dir + "/down.bin",
             raw + "get " + port + " 77 big.bin:" + dir + "/down-raw.bin"},
            {"vr7lon device put over TCP" + where + ": " + kib,
             vr7lon + "put " + upload + " up.bin",
             raw + "put " + port + " 77 up.bin:" + std::to_string(fileBytes)},
        };
        for (const DeviceWork& work : works)
            rows.push_back(Measure(
                work.name, runs, [&] { return TimeShell(work.command); },
                [&] { return TimeShell(work.floor); }));
        server.Stop();
    };
    measureDevice("");
    {
        OneCore core;
        measureDevice(", one core");
    }

    // The same device work inside this process, on one core.
    {
        InProcess one(deviceEntries, fileBytes, catalogue);
        if (!one.Ok()) {
            std::fprintf(stderr, "vr7bench: the in-process simulator did not start\n");
            return 1;
        }
        // Several passes each, so that a figure is not one scheduler tick.
        const int passes = smoke ? 1 : 5;
        auto repeat = [passes](auto work) {
            return [passes, work] {
                double total = 0;
                for (int i = 0; i < passes; ++i) {
                    const double s = work();
                    if (s < 0) return s;
                    total += s;
                }
                return total / passes;
            };
        };
        rows.push_back(Measure(
            "in one process, one core: device tree, " + std::to_string(deviceEntries) + " entries",
            runs, repeat([&] { return one.ProgramTree(); }),
            repeat([&] { return one.RawTree(); })));
        rows.push_back(Measure("in one process, one core: device get, " + kib, runs,
                               repeat([&] { return one.ProgramGet(); }),
                               repeat([&] { return one.RawGet(); })));
        rows.push_back(Measure("in one process, one core: device put, " + kib, runs,
                               repeat([&] { return one.ProgramPut(); }),
                               repeat([&] { return one.RawPut(); })));
    }

    // The device over a serial line: the simulator takes the requests and gives the answers on a
    // pty at the wire's speed, and the floor is the wire time of every byte exchanged (each
    // request and the answer the device gives it, 10 bits a byte). On a line that echoes the
    // requests (an RS-485 converter) each request comes back as it crosses: the floor is the same.
    // The echo setting stays "auto" throughout: it must cost nothing on a line without echo.
    auto measurePaced = [&](const std::string& name, const SimDevice& device, unsigned baud,
                            const std::string& work, bool echo) {
        SimServer paced(device);
        SimEndpoints line;
        line.tcp = false;
        line.pty = true;
        line.paceBaud = baud;
        line.echo = echo;
        std::string error;
        if (!paced.Start(line, &error)) {
            std::fprintf(stderr, "vr7bench: simulator: %s\n", error.c_str());
            std::exit(1);
        }
        const std::string command = program + " device --port " + paced.PtyPath() + " --speed " +
                                    std::to_string(baud) + " --number 77 " + work;
        double wireSeconds = 0;
        rows.push_back(Measure(
            name + (echo ? ", echo" : ""), runs,
            [&] {
                paced.ClearRequests();
                const double s = TimeShell(command);
                SimResponder replay(device);
                size_t bytes = 0;
                for (const auto& request : paced.Requests())
                    bytes += request.size() + replay.Handle(request).bytes.size();
                wireSeconds = static_cast<double>(bytes) * 10 / baud;
                return s;
            },
            [&] { return wireSeconds; }));
        paced.Stop();
    };
    const int serialEntries = smoke ? 20 : 500;
    for (const bool echo : {false, true})
        measurePaced(
            "vr7lon device tree at 115200 Bd: " + std::to_string(serialEntries) + " entries",
            MakeDeviceWorkload(serialEntries), 115200, "tree --catalog " + catalogue, echo);
    // A settings file's size, at the slowest speed of the port dialog, down and up.
    const size_t slowBytes = smoke ? 1500 : 4096;
    const std::string slowFile = dir + "/slow.bin";
    if (!MakeUploadFile(slowFile, slowBytes, 0x3C)) {
        std::fprintf(stderr, "vr7bench: cannot write %s\n", slowFile.c_str());
        return 1;
    }
    SimDevice slowDevice = MakeDeviceWorkload(1);
    slowDevice.files["slow.bin"] = std::vector<uint8_t>(slowBytes, 0xC3);
    const std::string slowSize = std::to_string(slowBytes) + " bytes";
    for (const bool echo : {false, true}) {
        measurePaced("vr7lon device get at 9600 Bd: " + slowSize, slowDevice, 9600,
                     "get slow.bin " + dir + "/slow-down.bin", echo);
        measurePaced("vr7lon device put at 9600 Bd: " + slowSize, slowDevice, 9600,
                     "put " + slowFile + " slow-up.bin", echo);
    }

    Print(rows);
    if (!haveXmllint) std::printf("(xmllint is not installed: the open floor only reads files)\n");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return growthInLine ? 0 : 1;
}
