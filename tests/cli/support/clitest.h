#pragma once
// What the vr7lon tests share: running it in-process or as the built program, the demo data, a
// working directory of the test's own, and a simulated device to talk to.
#include <memory>
#include <string>
#include <vector>

#include "simserver.h"
#include "tempdir.h"

inline const std::string kDemoFolder = VR7_SOURCE_DIR "/examples/vr7_12";
inline const std::string kDemoSettings = VR7_SOURCE_DIR "/examples/vr7_12/CONFIG/duxgate.cfg";
inline const std::string kDemoCatalogue = VR7_SOURCE_DIR "/examples/calcbank.xml";

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs vr7lon's entry in-process; programDir is where it looks for the window's ini files.
CliResult RunCli(const std::vector<std::string>& args, const std::string& programDir,
                 bool errIsTerminal = false);

// The vr7lon program the build made.
inline const std::string kProgram = VR7LON_PROGRAM;

// Runs the program (vr7lon or a copy of it) in cwd, its output through pipes; a run longer than
// timeoutMs is ended (by its pid) and fails the test.
CliResult RunProgram(const std::vector<std::string>& args, const std::string& cwd,
                     const std::string& program = kProgram, int timeoutMs = 60000);

std::string ReadBytes(const std::string& path);
std::vector<std::string> Lines(const std::string& text);

// Runs a test in a folder of its own and returns to where it was.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const std::string& path);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

  private:
    std::string previous_;
};

enum class Transport { Tcp, Pty };

// The demo device (the demo folder's configuration and duxgate.cfg, number 12, build 32) served
// on 127.0.0.1 or a pty, and the device options that reach it. The options always name the
// loopback address, so that nothing can fall back to a default address.
struct SimDeviceFixture {
    explicit SimDeviceFixture(Transport transport);
    void Start(SimDevice device);
    std::vector<std::string> DeviceArgs(const std::vector<std::string>& more) const;

    static SimDevice DemoDevice();

    Transport transport;
    std::unique_ptr<SimServer> server;
};
