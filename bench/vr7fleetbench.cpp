// vr7fleetbench: commissioning a site with "vr7lon fleet": 200 simulated devices on 127.0.0.1,
// each storing and verifying a 2 KiB settings file, --jobs 8.
//   vr7fleetbench [--runs N] [--smoke]        (VR7LON=PATH, VR7SIM=PATH: another vr7lon, vr7sim)
// Prints the time of the whole site against (devices / jobs) x one device alone, measured
// run by run (the goal is at most 1.2), the peak memory of vr7lon with 50 and with 200 devices
// (the goal: flat), and a site with 10% faulty devices: every healthy device stored and verified,
// every faulty one reported with its cause. Then "fleet read" of 100 to 2000 devices served by
// one vr7sim against the same devices served by vr7sims of 50 devices each, with the simulator's
// processor time, and the simulator's growth: reading 50 devices of one serving many against
// reading 50 devices of one serving 50 (the smoke run fails when that is out of line).
// Every process of the benchmark runs on one CPU, so that no figure depends on where the
// scheduler put a process. Exit status 1 when a device is not what it should be.
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/scratchfolder.h"
#include "bench/benchtable.h"
#include "sim/simsite.h"

namespace {

constexpr unsigned kJobs = 8;
constexpr size_t kSettingsBytes = 2048;
// How long a device of the second healthy site takes to answer each request.
constexpr int kAnswerMs = 5;

// What a faulty device of the site does, and the result the fleet must report for it.
struct Fault {
    const char* name;
    int result;
};
const Fault kFaults[] = {
    {"silent", 1011},     // no answer in time over TCP
    {"refusing", 16},     // refuses every command with its code
    {"protected", 1001},  // refuses to store a file
    {"dropping", 1003},   // half an answer, then the connection closes
    {"too old", 2001},    // firmware that does not serve the gateway's files
};

// A device of the simulated site: its number and settings file, and its fault (-1: none).
struct SiteDevice {
    uint32_t number;
    std::string file;  // the plan's file, relative to the plan
    int fault = -1;
};

// A settings file of about 2 KiB, written as the program writes one (so that what the device
// holds after the store is the file itself).
std::string SettingsFile(uint32_t device) {
    std::string text;
    for (unsigned k = 0, ref = 40001; text.size() < kSettingsBytes; ++k, ref += 2) {
        char line[96];
        std::snprintf(line, sizeof line, "F %u %-22s d%uv%u C\r\n", ref, "105", device, k);
        text += line;
    }
    return text;
}

SimDevice Device(uint32_t number, int fault, std::vector<SimFault>& faults) {
    SimDevice device;
    device.number = number;
    device.versionMajor = 2;
    device.versionMinor = 1;
    device.versionBuild = 32;
    faults.clear();
    switch (fault) {
        case 0:
            faults.push_back({SimFaultKind::Silent});
            break;
        case 1: {
            SimFault refuse{SimFaultKind::Refuse};
            refuse.value = kSimUnknownCommand;
            faults.push_back(refuse);
            break;
        }
        case 2:
            device.writeProtected = true;
            break;
        case 3:
            faults.push_back({SimFaultKind::Close});
            break;
        case 4:
            device.versionBuild = 31;
            break;
    }
    return device;
}

// A site of `count` devices served in-process, every tenth one faulty when asked, and its plan.
class Site {
  public:
    // answerMs: how long a healthy device takes to answer each request (0: at once).
    Site(const std::string& dir, size_t count, bool faulty, int answerMs = 0) : dir_(dir) {
        std::filesystem::create_directories(dir + "/files");
        std::vector<SimFault> faults;
        for (size_t i = 0; i < count; ++i) {
            SiteDevice d;
            d.number = static_cast<uint32_t>(1000 + i);
            d.fault = faulty && i % 10 == 5 ? static_cast<int>((i / 10) % std::size(kFaults)) : -1;
            d.file = "files/d" + std::to_string(i) + ".cfg";
            std::ofstream(dir + "/" + d.file, std::ios::binary) << SettingsFile(d.number);
            SimDevice device = Device(d.number, d.fault, faults);
            if (d.fault < 0 && answerMs > 0) {
                SimFault delay{SimFaultKind::Delay};
                delay.value = answerMs;
                faults.push_back(delay);
            }
            site_.Add(std::move(device), faults);
            devices_.push_back(d);
        }
    }

    bool Start() {
        std::string error;
        if (site_.Start(&error)) return true;
        std::fprintf(stderr, "vr7fleetbench: simulator: %s\n", error.c_str());
        return false;
    }

    // A plan of the first `count` devices; its path.
    std::string Plan(size_t count) {
        const std::string path = dir_ + "/plan" + std::to_string(count) + ".csv";
        std::ofstream plan(path);
        plan << "name,ip,tcp_port,number,file\n";
        for (size_t i = 0; i < count; ++i)
            plan << "d" << i << ",127.0.0.1," << site_.TcpPort(i) << ',' << devices_[i].number
                 << ',' << devices_[i].file << '\n';
        return path;
    }

    const std::vector<SiteDevice>& Devices() const { return devices_; }
    // Whether device i holds exactly its settings file.
    bool Holds(size_t i) {
        std::vector<uint8_t> held;
        return site_.File(i, "DUXGate.cfg", held) &&
               std::string(held.begin(), held.end()) == SettingsFile(devices_[i].number);
    }

  private:
    std::string dir_;
    SimSite site_;
    std::vector<SiteDevice> devices_;
};

// A vr7sim process serving `count` built-in devices numbered from `first`, each on a TCP port of
// its own; stopped (by its pid) when this goes.
class SimProcess {
  public:
    SimProcess(const std::string& dir, uint32_t first, size_t count) {
        const std::string site =
            dir + "/site" + std::to_string(first) + "x" + std::to_string(count) + ".txt";
        {
            std::ofstream out(site);
            for (size_t i = 0; i < count; ++i) out << "-:" << first + i << "@0\n";
        }
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            // VR7SIM=PATH measures another vr7sim.
            const char* other = std::getenv("VR7SIM");
            const char* argv[] = {other != nullptr ? other : VR7SIM_PROGRAM, "--site", site.c_str(),
                                  nullptr};
            ::execv(argv[0], const_cast<char**>(argv));
            ::_exit(127);
        }
        ::close(out[1]);
        std::FILE* lines = ::fdopen(out[0], "r");
        if (lines == nullptr) {
            ::close(out[0]);
            return;
        }
        // Line by line: the simulator keeps its output open while it serves.
        char line[128];
        while (ports_.size() < count && std::fgets(line, sizeof line, lines) != nullptr) {
            size_t index = 0;
            unsigned number = 0, port = 0;
            if (std::sscanf(line, "listening %zu number %u tcp 127.0.0.1:%u", &index, &number,
                            &port) != 3)
                break;
            ports_.push_back(static_cast<uint16_t>(port));
        }
        std::fclose(lines);
        first_ = first;
    }
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Ok(size_t count) const { return pid_ > 0 && ports_.size() == count; }
    size_t Size() const { return ports_.size(); }

    // Plan lines for its devices [from, from + count).
    void PlanLines(std::ostream& plan, size_t from, size_t count) const {
        for (size_t i = from; i < from + count; ++i)
            plan << 'd' << first_ + i << ",127.0.0.1," << ports_[i] << ',' << first_ + i << '\n';
    }

    // The processor time of all its threads so far, to the nanosecond.
    double CpuSeconds() const {
        const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
        DIR* dir = ::opendir(tasks.c_str());
        if (dir == nullptr) return 0;
        unsigned long long ns = 0;
        while (const dirent* task = ::readdir(dir)) {
            if (task->d_name[0] == '.') continue;
            unsigned long long run = 0;
            std::ifstream(tasks + "/" + task->d_name + "/schedstat") >> run;
            ns += run;
        }
        ::closedir(dir);
        return static_cast<double>(ns) / 1e9;
    }

  private:
    pid_t pid_ = -1;
    uint32_t first_ = 0;
    std::vector<uint16_t> ports_;
};

// Sims serving `count` devices in all, `each` a sim (one sim: each == count), numbered from 1000.
class SimGroup {
  public:
    SimGroup(const std::string& dir, size_t count, size_t each) {
        for (size_t from = 0; from < count; from += each) {
            const size_t n = std::min(each, count - from);
            sims_.push_back(std::make_unique<SimProcess>(dir, 1000 + from, n));
            ok_ = ok_ && sims_.back()->Ok(n);
        }
    }
    bool Ok() const { return ok_; }
    // A plan reading the first `count` devices; its path.
    std::string Plan(const std::string& path, size_t count) const {
        std::ofstream plan(path);
        plan << "name,ip,tcp_port,number\n";
        size_t left = count;
        for (const auto& sim : sims_) {
            const size_t n = std::min(left, sim->Size());
            sim->PlanLines(plan, 0, n);
            left -= n;
        }
        return path;
    }
    double CpuSeconds() const {
        double s = 0;
        for (const auto& sim : sims_) s += sim->CpuSeconds();
        return s;
    }

  private:
    std::vector<std::unique_ptr<SimProcess>> sims_;
    bool ok_ = true;
};

// Pins this process, and what it starts from now on, to one CPU (the last one it may use).
int PinToOneCpu() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    ::sched_getaffinity(0, sizeof allowed, &allowed);
    for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        return ::sched_setaffinity(0, sizeof one, &one) == 0 ? cpu : -1;
    }
    return -1;
}

struct ProgramRun {
    int status = -1;
    double seconds = 0;
    long maxRssKiB = 0;
};

// Runs a program with its output discarded: its exit status, wall time and peak memory.
ProgramRun Run(const std::vector<std::string>& args) {
    ProgramRun run;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto t0 = bench::Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int wstatus = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &wstatus, 0, &usage) != pid) return run;
    run.seconds = bench::Seconds(t0);
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    run.maxRssKiB = usage.ru_maxrss;
    return run;
}

// The "result" of each device of a report, in plan order.
std::vector<int> ReportResults(const std::string& path) {
    std::ifstream in(path);
    std::vector<int> results;
    const std::regex result(R"re(^\s*"result": (-?\d+),?$)re");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, result)) results.push_back(std::stoi(m[1]));
    }
    return results;
}

// Reading a site with "fleet read": one vr7sim serving every device against vr7sims of
// kFloorSimDevices devices each (the same devices, the same plan order), with the simulators'
// processor time; then the simulator's own growth, which the smoke run checks: reading the same
// 50 devices of a vr7sim serving many against one serving only them.
constexpr size_t kFloorSimDevices = 50;

bool MeasureRead(const std::string& program, const std::string& dir, const bench::Args& args,
                 std::vector<bench::Row>& rows) {
    const std::vector<size_t> sizes =
        args.smoke ? std::vector<size_t>{50, 100} : std::vector<size_t>{100, 500, 1000, 2000};
    const std::string jobs = std::to_string(kJobs);
    auto read = [&](const std::string& plan) {
        return Run(
            {program, "fleet", plan, "read", "--jobs", jobs, "--catalog", VR7_DEMO_CATALOGUE});
    };
    // Seconds of a read of plan, negative when it failed; adds the simulators' processor time.
    auto timed = [&](const SimGroup& sims, const std::string& plan, std::vector<double>& cpu) {
        const double c0 = sims.CpuSeconds();
        const ProgramRun r = read(plan);
        cpu.push_back(sims.CpuSeconds() - c0);
        return r.status == 0 ? r.seconds : -r.seconds;
    };
    struct SimCpu {
        size_t devices;
        std::vector<double> one, floor;
        double perDevice, floorPerDevice;
    };
    std::vector<SimCpu> cpu;
    for (const size_t n : sizes) {
        const SimGroup one(dir, n, n);
        const SimGroup floor(dir, n, kFloorSimDevices);
        if (!one.Ok() || !floor.Ok()) {
            std::fprintf(stderr, "vr7fleetbench: the simulators of %zu devices did not start\n", n);
            return false;
        }
        const std::string planOne = one.Plan(dir + "/read-one.csv", n);
        const std::string planFloor = floor.Plan(dir + "/read-floor.csv", n);
        cpu.push_back({n, {}, {}, 0, 0});
        SimCpu& c = cpu.back();
        rows.push_back(bench::Measure(
            "fleet read: " + std::to_string(n) + " devices, one vr7sim", args.runs,
            [&] { return timed(one, planOne, c.one); },
            [&] { return timed(floor, planFloor, c.floor); }));
        c.perDevice = bench::Median(rows.back().program) / static_cast<double>(n);
        c.floorPerDevice = bench::Median(rows.back().floor) / static_cast<double>(n);
    }

    // The growth: the same work, far more devices served.
    const size_t served = 2000;
    std::vector<double> small, large;
    {
        const SimGroup few(dir, kFloorSimDevices, kFloorSimDevices);
        const SimGroup many(dir, served, served);
        if (!few.Ok() || !many.Ok()) {
            std::fprintf(stderr, "vr7fleetbench: the simulators of the growth did not start\n");
            return false;
        }
        const std::string planFew = few.Plan(dir + "/growth-few.csv", kFloorSimDevices);
        const std::string planMany = many.Plan(dir + "/growth-many.csv", kFloorSimDevices);
        // The best of at least three runs: a busy machine slows one side or the other, not the
        // growth.
        const bench::Row row = bench::Measure(
            "vr7sim CPU: reading 50 devices of " + std::to_string(served) + " vs of 50",
            std::max(args.runs, 3),
            [&] {
                std::vector<double> c;
                return timed(many, planMany, c) < 0 ? -1 : c.back();
            },
            [&] {
                std::vector<double> c;
                return timed(few, planFew, c) < 0 ? -1 : c.back();
            });
        rows.push_back(row);
    }
    std::printf("\n%-40s %12s %12s %14s %14s\n", "fleet read, one vr7sim vs vr7sims of 50",
                "ms a device", "floor ms", "vr7sim CPU s", "floor CPU s");
    for (const SimCpu& c : cpu)
        std::printf("%-40s %12.3f %12.3f %14.3f %14.3f\n",
                    (std::to_string(c.devices) + " devices").c_str(), 1000 * c.perDevice,
                    1000 * c.floorPerDevice, bench::Median(c.one), bench::Median(c.floor));
    const double growth = *std::min_element(rows.back().ratio.begin(), rows.back().ratio.end());
    if (args.smoke && growth > 2) {
        std::fprintf(stderr,
                     "vr7fleetbench: the simulator grows out of line with the devices it serves "
                     "(%.2f)\n",
                     growth);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Args args;
    if (!bench::ParseArgs(argc, argv, "vr7fleetbench", args)) return 64;
    const int cpu = PinToOneCpu();
    const char* other = std::getenv("VR7LON");
    const std::string program = other != nullptr ? other : VR7LON_PROGRAM;
    const Result<std::string> made = MakeScratchFolder("vr7fleetbench");
    if (!made) return 1;
    const std::string dir = made.value();
    const size_t many = args.smoke ? 16 : 200;
    const size_t some = args.smoke ? 4 : 50;
    const std::string jobs = std::to_string(kJobs);
    int status = 0;

    // Healthy sites: one device alone, `some` and `many` devices, each run against
    // (devices / jobs) x the device alone measured just before it; once with devices that answer
    // at once (the program's own cost: processor and file system), once with devices that take
    // kAnswerMs to answer each request, as devices on a network do.
    auto store = [&](const std::string& plan) {
        return Run({program, "fleet", plan, "store", "--jobs", jobs});
    };
    std::vector<bench::Row> rows;
    std::vector<long> rss[2];
    for (const int answerMs : {0, kAnswerMs}) {
        Site site(dir + "/healthy" + std::to_string(answerMs), many, false, answerMs);
        if (!site.Start()) return 1;
        const std::string plans[] = {site.Plan(1), site.Plan(some), site.Plan(many)};
        const std::string answers =
            answerMs == 0 ? "answers at once" : std::to_string(answerMs) + " ms an answer";
        for (int k = answerMs == 0 ? 0 : 1; k < 2; ++k) {
            const size_t count = k == 0 ? some : many;
            const double turns = static_cast<double>((count + kJobs - 1) / kJobs);
            rows.push_back(bench::Measure(
                "fleet store+verify: " + std::to_string(count) + " devices, " + answers, args.runs,
                [&] {
                    const ProgramRun r = store(plans[1 + k]);
                    if (answerMs == 0) rss[k].push_back(r.maxRssKiB);
                    return r.status == 0 ? r.seconds : -r.seconds;
                },
                [&] {
                    const ProgramRun r = store(plans[0]);
                    return r.status == 0 ? turns * r.seconds : -r.seconds;
                }));
        }
        for (size_t i = 0; i < many; ++i) {
            if (!site.Holds(i)) {
                std::fprintf(stderr, "vr7fleetbench: healthy device d%zu does not hold its file\n",
                             i);
                status = 1;
            }
        }
    }
    std::printf(
        "--jobs %u; floor: (devices / jobs, rounded up) x one device alone; goal: ratio at "
        "most 1.2\n",
        kJobs);
    bench::Print(rows);

    std::printf("\n%-58s %9s %9s %9s\n", "peak memory of vr7lon (ru_maxrss)", "median KiB",
                "min KiB", "max KiB");
    for (int k = 0; k < 2; ++k) {
        std::vector<double> v(rss[k].begin(), rss[k].end());
        std::printf("%-58s %9.0f %9.0f %9.0f\n",
                    (std::to_string(k == 0 ? some : many) + " devices").c_str(), bench::Median(v),
                    *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
    }
    std::printf("goal: flat\n");

    // A site with every tenth device faulty.
    Site faulty(dir + "/faulty", many, true);
    if (!faulty.Start()) return 1;
    const std::string report = dir + "/faulty/report.json";
    const ProgramRun r =
        Run({program, "fleet", faulty.Plan(many), "store", "--jobs", jobs, "--report", report});
    const std::vector<int> results = ReportResults(report);
    size_t healthy = 0, stored = 0, bad = 0, named = 0;
    for (size_t i = 0; i < faulty.Devices().size(); ++i) {
        const SiteDevice& d = faulty.Devices()[i];
        const int got = i < results.size() ? results[i] : -999;
        if (d.fault < 0) {
            ++healthy;
            if (got == 0 && faulty.Holds(i)) {
                ++stored;
            } else {
                std::fprintf(stderr, "vr7fleetbench: healthy device d%zu: result %d\n", i, got);
            }
        } else {
            ++bad;
            if (got == kFaults[d.fault].result) {
                ++named;
            } else {
                std::fprintf(stderr, "vr7fleetbench: %s device d%zu: result %d, not %d\n",
                             kFaults[d.fault].name, i, got, kFaults[d.fault].result);
            }
        }
    }
    std::printf(
        "\n%zu devices, %zu faulty (silent, refusing, protected, dropping, too old), "
        "--jobs %u: %.2f s, exit status %d\n",
        many, bad, kJobs, r.seconds, r.status);
    std::printf(
        "healthy devices stored and verified: %zu of %zu; faulty ones reported with their "
        "cause: %zu of %zu\n",
        stored, healthy, named, bad);
    if (stored != healthy || named != bad || r.status != 4) status = 1;

    rows.clear();
    if (!MeasureRead(program, dir, args, rows)) status = 1;
    bench::Print(rows);
    std::printf("every process on CPU %d\n", cpu);

    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return status;
}
