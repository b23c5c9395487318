#pragma once
// What the vr7lon tests share: running it in-process or as the built program, the demo data, a
// working directory of the test's own, and a simulated device to talk to.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/common/commandtext.h"
#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"

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

// The demo device (the demo folder's configuration and duxgate.cfg, number 12, build 32) served
// on 127.0.0.1 or a pty, and the device options that reach it. The options always name the
// loopback address, so that nothing can fall back to a default address.
struct SimDeviceFixture : SimPeer {
    explicit SimDeviceFixture(Transport how) { transport = how; }
    void Start(SimDevice device) { SimPeer::Start(std::move(device), transport); }
    std::vector<std::string> DeviceArgs(const std::vector<std::string>& more) const;

    static SimDevice DemoDevice() { return DemoSimDevice(); }
};

// A vr7lon device command test: a working folder of its own holding the demo catalogue as
// "calcbank.xml", a program directory without settings, and a simulated device on the transport
// the test is instantiated with.
class DeviceCliTest : public ::testing::TestWithParam<Transport> {
  protected:
    DeviceCliTest() : sim(GetParam()) {
        std::filesystem::copy_file(kDemoCatalogue, work / "calcbank.xml");
    }

    // Runs "vr7lon device <options reaching the simulator> more..." in the working folder.
    CliResult Device(const std::vector<std::string>& more, bool errIsTerminal = false) {
        return RunCli(sim.DeviceArgs(more), programDir.Path(), errIsTerminal);
    }
    // True when the device received a request with this command.
    bool Requested(uint8_t command) {
        for (const auto& frame : sim.server->Requests()) {
            if (FrameCommand(frame.data()) == command) return true;
        }
        return false;
    }

    TempDir work;
    TempDir programDir;
    WorkingDirectory cwd{work.Path()};
    SimDeviceFixture sim;
};

// Names a transport-parameterised test after its transport.
inline std::string TransportParamName(const ::testing::TestParamInfo<Transport>& info) {
    return TransportName(info.param);
}
