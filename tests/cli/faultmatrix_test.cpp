// vr7lon's side of the fault matrix: "device read" (the tree read and the download) and "device
// store" (the upload) against every device fault, over TCP and a pty: exit status 4, the path's
// message, within the bound of the path, and the local duxgate.cfg as before. The outcomes
// themselves are decided in the device commands (tests/app/faultmatrix_test.cpp).
#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "link/vr7frame.h"
#include "tests/cli/support/clitest.h"
#include "tests/common/devicefaults.h"
#include "tests/common/testtimings.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class Vr7lonFaultMatrix : public ::testing::TestWithParam<Transport> {};

TEST_P(Vr7lonFaultMatrix, EveryFaultGivesStatus4AndThePathsMessageInTime) {
    const LinkTimings& t = kTestTimings;
    const bool tcp = GetParam() == Transport::Tcp;
    auto attempt = [&](const CommandTiming& c) {
        return tcp ? long{t.tcpPurgeMs} + c.timeoutMs + t.tcpReadExtraMs
                   : c.timeoutMs + (long{t.byteUs} * kFrameSize + 999) / 1000;
    };
    const struct {
        const char* path;
        int command;
        long boundMs;
    } paths[] = {
        {"tree", cmdReadEntry, FailingExchangesMs(5, t.config, attempt(t.config))},
        {"download", cmdReadBlock, FailingExchangesMs(9, t.block, attempt(t.block))},
        {"upload", cmdWriteBlock, FailingExchangesMs(2, t.block, attempt(t.block))},
    };
    const std::string earlier = "F 40001 1t1                    105 1t1f 83\r\nB\r\n";
    for (const auto& p : paths) {
        for (const DeviceFault& f : DeviceFaults()) {
            if (f.downloadOnly && p.command != cmdReadBlock) continue;
            SCOPED_TRACE(std::string(p.path) + " " + f.name);
            TempDir work, programDir;
            WorkingDirectory cwd(work.Path());
            fs::copy_file(kDemoCatalogue, work / "calcbank.xml");
            work.Write("duxgate.cfg", earlier);
            SimDeviceFixture sim(GetParam());
            sim.Start(SimDeviceFixture::DemoDevice());
            sim.server->SetFaults(
                {{f.kind, p.command, -1, p.command == cmdReadEntry ? 1 : 0, -1, f.value}});

            const bool upload = p.command == cmdWriteBlock;
            const auto start = Clock::now();
            // "read" takes the working folder's calcbank.xml, as the window does.
            const CliResult r =
                RunCli(sim.DeviceArgs(upload ? std::vector<std::string>{"--number", "12", "store",
                                                                        kDemoSettings}
                                             : std::vector<std::string>{"--number", "12", "read"}),
                       programDir.Path());
            const long ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            std::printf("vr7lon fault matrix: %s %-8s %-12s %5ld ms (bound %ld ms)\n",
                        TransportName(GetParam()).c_str(), p.path, f.name, ms, p.boundMs);
            EXPECT_EQ(r.status, exitstatus::Device) << r.err;
            const std::string message = U(upload ? usertext::StoreBroken() : usertext::ReadError());
            EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
            EXPECT_LE(ms, OwnWaitBoundMs(p.boundMs));
            EXPECT_EQ(ReadBytes(work / "duxgate.cfg"), earlier);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Links, Vr7lonFaultMatrix,
                         ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

}  // namespace
