#pragma once
// What both benchmark programs share: their arguments, timing a command, measuring the program
// against its floor run by run, and printing the table.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/cliargs.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Runs a command line through the shell, its output discarded; the wall time in seconds, or a
// negative value when it failed.
inline double TimeShell(const std::string& command) {
    const auto t0 = Clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    const double s = Seconds(t0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -s;
}

// A child process's wall time in seconds (negative when it failed) and its peak resident memory
// in MiB.
struct ChildRun {
    double seconds = -1;
    double peakMiB = 0;
};

// Runs argv (argv[0] a path) through the launcher peakRun (vr7peakrun), which times it and takes
// its peak memory.
inline ChildRun RunChild(const std::string& peakRun, const std::vector<std::string>& argv) {
    std::string command = "'" + peakRun + "'";
    for (const std::string& a : argv) command += " '" + a + "'";
    ChildRun run;
    std::FILE* out = ::popen(command.c_str(), "r");
    if (out == nullptr) return run;
    double seconds = 0;
    long kib = 0;
    char outcome[16] = {};
    const bool read = std::fscanf(out, "%lf %ld %15s", &seconds, &kib, outcome) == 3;
    ::pclose(out);
    if (!read) return run;
    run.seconds = std::string(outcome) == "ok" ? seconds : -seconds;
    run.peakMiB = static_cast<double>(kib) / 1024;
    return run;
}

// --runs N (default 5) and --smoke (tiny sizes, one run); false after printing the usage.
struct Args {
    int runs = 5;
    bool smoke = false;
};
inline bool ParseArgs(int argc, char** argv, const char* name, Args& args) {
    CliArgs parsed;
    std::string error;
    const bool ok = parsed.Parse(std::vector<std::string>(argv + 1, argv + argc),
                                 {{"--smoke", false}, {"--runs", true}}, error) &&
                    parsed.Positionals().empty();
    if (!ok) {
        std::fprintf(stderr, "usage: %s [--runs N] [--smoke]\n", name);
        return false;
    }
    if (parsed.Has("--runs")) args.runs = std::max(1, std::atoi(parsed.Value("--runs").c_str()));
    if (parsed.Has("--smoke")) {
        args.smoke = true;
        args.runs = 1;
    }
    return true;
}

struct Row {
    std::string work;
    std::vector<double> program, floor, ratio;
    std::string unit = "s";  // of program and floor: seconds, ms for a stall, or MiB for memory
};

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Measures program against floor `runs` times, in turn, so that a machine busy with something
// else shifts both sides alike; a failed run ends the benchmark.
inline Row Measure(const std::string& work, int runs, const std::function<double()>& program,
                   const std::function<double()>& floor) {
    Row row{work, {}, {}, {}};
    for (int i = 0; i < runs; ++i) {
        const double p = program();
        const double f = floor();
        if (p < 0 || f < 0) {
            std::fprintf(stderr, "%s: a run failed\n", work.c_str());
            std::exit(1);
        }
        row.program.push_back(p);
        row.floor.push_back(f);
        row.ratio.push_back(p / f);
    }
    return row;
}

inline void Print(const std::vector<Row>& rows) {
    std::printf("%-58s %4s %9s %9s %9s %9s %7s %15s\n", "work", "unit", "median", "min", "max",
                "floor", "ratio", "ratio min-max");
    for (const Row& r : rows) {
        const auto [pmin, pmax] = std::minmax_element(r.program.begin(), r.program.end());
        const auto [rmin, rmax] = std::minmax_element(r.ratio.begin(), r.ratio.end());
        const int digits = r.unit == "s" ? 4 : 1;
        std::printf("%-58s %4s %9.*f %9.*f %9.*f %9.*f %7.2f %7.2f-%-7.2f\n", r.work.c_str(),
                    r.unit.c_str(), digits, Median(r.program), digits, *pmin, digits, *pmax, digits,
                    Median(r.floor), Median(r.ratio), *rmin, *rmax);
    }
}

}  // namespace bench
