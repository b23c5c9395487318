// vr7lon's local files: every input option refuses a FIFO at once, a folder that cannot serve
// is named with what is wrong, and --work-dir takes the copies read, store and restore leave.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "tests/cli/support/clitest.h"

namespace {

namespace fs = std::filesystem;

TEST(LocalFilesCliOffline, InputsThatCannotServeAreRefusedBeforeAnyDevice) {
    TempDir work;
    const std::string f = work / "in.fifo", cfg = kDemoSettings;
    ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0);
    fs::copy_file(kDemoCatalogue, work / "calcbank.xml");
    const std::string plan =
        work.Write("plan.csv", "name,ip,tcp_port,number,file\nd,127.0.0.1,1,12," + f);
    // No device is reached: each ends before (a device's failure would be status 4).
    auto device = [](std::vector<std::string> more) {
        more.insert(more.begin(),
                    {"device", "--ip", "127.0.0.1", "--tcp-port", "1", "--number", "12"});
        return more;
    };
    const std::vector<std::string> cases[] = {
        {"list", f},
        {"list", cfg, "--catalog", f},
        {"tree", f},
        {"tree", kDemoFolder, "--catalog", f},
        {"build", "--out", "o.cfg", "--catalog", f, "1:t1"},
        {"build", "--out", "o.cfg", "--from", f, "1:t1"},
        {"diff", f, cfg},
        {"diff", cfg, f},
        {"fleet", f, "info"},
        {"fleet", plan, "store"},
        {"fleet", plan, "verify"},
        {"fleet", plan, "read", "--catalog", f},
        device({"tree", "--catalog", f}),
        device({"read", "--catalog", f}),
        device({"read", "--work-dir", f}),
        device({"put", f, "x.cfg"}),
        device({"store", f}),
        device({"store", cfg, "--work-dir", f}),
        device({"verify", f}),
        device({"restore", f}),
    };
    for (const auto& args : cases) {
        // A FIFO without a writer would hold the program for ever; a refusal takes milliseconds.
        const CliResult r = RunProgram(args, work.Path(), kProgram, 20000);
        EXPECT_EQ(r.status, exitstatus::Input) << args[0] << ' ' << args[1] << '\n' << r.err;
        EXPECT_NE(r.err.find(f), std::string::npos) << args[0] << ' ' << args[1] << '\n' << r.err;
    }

    // Folders that cannot serve, named with what is wrong with them.
    ASSERT_EQ(::symlink("gone", (work / "dangle").c_str()), 0);
    const std::string none = work / "none", dangle = work / "dangle";
    const std::pair<std::vector<std::string>, std::string> named[] = {
        {device({"store", cfg, "--backup-dir", dangle}),
         "backups folder " + dangle + ": a symbolic link to gone, which does not exist"},
        {device({"store", cfg, "--backup-dir", cfg}), "backups folder " + cfg + ": not a folder"},
        {device({"read", "--work-dir", none}),
         "--work-dir " + none + ": No such file or directory"},
    };
    for (const auto& [args, why] : named) {
        const CliResult r = RunCli(args, work.Path());
        EXPECT_EQ(r.status, exitstatus::Input);
        EXPECT_EQ(r.err, "vr7lon: " + why + "\n");
    }
}

class LocalFilesCli : public DeviceCliTest {};

TEST_P(LocalFilesCli, LocalCopiesGoWhereWorkDirSays) {
    sim.Start(SimDeviceFixture::DemoDevice());
    const std::string dir = work.MakeDir("copies");
    const std::vector<std::string> cases[] = {
        {"read", "duxgate.cfg"},
        {"store", "DUXGate.cfg", kDemoSettings, "--no-backup", "--verify"},
        {"restore", "DUXGate.cfg", kDemoSettings, "--no-backup"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--number", "12", c[0], "--work-dir", dir};
        args.insert(args.end(), c.begin() + 2, c.end());
        const CliResult r = Device(args);
        EXPECT_EQ(r.status, exitstatus::Ok) << c[0] << '\n' << r.err;
        EXPECT_EQ(ReadBytes(dir + c[1]), ReadBytes(kDemoSettings)) << c[0];
        EXPECT_FALSE(fs::exists(work / c[1])) << c[0];
        fs::remove(dir + c[1]);
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, LocalFilesCli,
                         ::testing::Values(Transport::Tcp, Transport::Pty), TransportParamName);

}  // namespace
