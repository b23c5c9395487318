// The local files of vr7lon: every input refused at once when it is no regular file, a backups
// folder that cannot be one named with what is wrong with it, and --work-dir choosing where
// read, store and restore leave their copies.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "tests/cli/support/clitest.h"

namespace {

namespace fs = std::filesystem;

// A device that must never be asked anything, and a working folder with the demo catalogue, a
// FIFO "in.fifo" and a plan of one device whose file is the FIFO.
class LocalFilesCli : public ::testing::Test {
  protected:
    LocalFilesCli() {
        fs::copy_file(kDemoCatalogue, work / "calcbank.xml");
        EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        sim.Start(SimDeviceFixture::DemoDevice());
        plan = work.Write("plan.csv", "name,ip,tcp_port,number,file\nd,127.0.0.1," +
                                          std::to_string(sim.server->TcpPort()) + ",12," + fifo +
                                          "\n");
    }
    std::vector<std::string> Device(const std::vector<std::string>& more) const {
        return sim.DeviceArgs(more);
    }

    TempDir work;
    const std::string fifo = work / "in.fifo";
    SimDeviceFixture sim{Transport::Tcp};
    std::string plan;
};

TEST_F(LocalFilesCli, EveryInputOptionRefusesAFifoAtOnce) {
    // A configuration folder whose main.xmc is a FIFO.
    const std::string folder = work.MakeDir("vr7_12");
    fs::copy(kDemoFolder, folder, fs::copy_options::recursive);
    fs::remove(folder + "CONFIG/main.xmc");
    ASSERT_EQ(::mkfifo((folder + "CONFIG/main.xmc").c_str(), 0600), 0);
    const std::string settings = kDemoSettings;

    const struct {
        std::vector<std::string> args;
        std::string path;  // the file the message names
    } cases[] = {
        {{"list", fifo}, fifo},
        {{"list", settings, "--catalog", fifo}, fifo},
        {{"tree", kDemoFolder, "--catalog", fifo}, fifo},
        {{"tree", folder}, folder + "CONFIG/main.xmc"},
        {{"build", "--out", "o.cfg", "--catalog", fifo, "1:t1"}, fifo},
        {{"build", "--out", "o.cfg", "--from", fifo, "1:t1"}, fifo},
        {{"diff", fifo, settings}, fifo},
        {{"diff", settings, fifo}, fifo},
        {Device({"--number", "12", "tree", "--catalog", fifo}), fifo},
        {Device({"--number", "12", "read", "--catalog", fifo}), fifo},
        {Device({"--number", "12", "read", "--work-dir", fifo}), fifo},
        {Device({"--number", "12", "put", fifo, "x.cfg"}), fifo},
        {Device({"--number", "12", "store", fifo}), fifo},
        {Device({"--number", "12", "store", settings, "--work-dir", fifo}), fifo},
        {Device({"--number", "12", "verify", fifo}), fifo},
        {Device({"--number", "12", "restore", fifo}), fifo},
        {{"fleet", fifo, "info"}, fifo},
        {{"fleet", plan, "store"}, fifo},
        {{"fleet", plan, "verify"}, fifo},
        {{"fleet", plan, "read", "--catalog", fifo}, fifo},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& arg : c.args) line += arg + ' ';
        // A FIFO without a writer would hold the program for ever: the limit is far above the
        // milliseconds a refusal takes.
        const CliResult r = RunProgram(c.args, work.Path(), kProgram, 20000);
        EXPECT_EQ(r.status, exitstatus::Input) << line << '\n' << r.err;
        EXPECT_NE(r.err.find(c.path), std::string::npos) << line << '\n' << r.err;
    }
    EXPECT_TRUE(sim.server->Requests().empty());
}

TEST_F(LocalFilesCli, ABackupsFolderThatCannotBeOneIsNamedWithWhatIsWrong) {
    ASSERT_EQ(::symlink("gone", (work / "dangle").c_str()), 0);
    const std::string file = work.Write("file", "x");
    const std::string storePlan = work.Write(
        "store.csv", "name,ip,tcp_port,number,file\nd,127.0.0.1," +
                         std::to_string(sim.server->TcpPort()) + ",12," + kDemoSettings + "\n");
    const struct {
        std::string folder, why;
    } cases[] = {
        {work / "dangle", "a symbolic link to gone, which does not exist"},
        {file, "not a folder"},
    };
    for (const auto& c : cases) {
        const std::string line = "vr7lon: backups folder " + c.folder + ": " + c.why + "\n";
        CliResult r =
            RunCli(Device({"--number", "12", "store", kDemoSettings, "--backup-dir", c.folder}),
                   work.Path());
        EXPECT_EQ(r.status, exitstatus::Input);
        EXPECT_EQ(r.err, line);
        r = RunCli({"fleet", storePlan, "store", "--backup-dir", c.folder}, work.Path());
        EXPECT_EQ(r.status, exitstatus::Input);
        EXPECT_EQ(r.err, line);
    }
    EXPECT_TRUE(sim.server->Requests().empty());
}

// Where read, store and restore leave their local copies: the working directory, or --work-dir.
class WorkDirCli : public DeviceCliTest {};

TEST_P(WorkDirCli, LocalCopiesGoWhereWorkDirSays) {
    sim.Start(SimDeviceFixture::DemoDevice());
    const std::string dir = work.MakeDir("copies");
    const std::string demo = ReadBytes(kDemoSettings);
    const struct {
        std::vector<std::string> args;
        std::string copy;  // the copy the command leaves in dir
    } cases[] = {
        {{"read", "--work-dir", dir}, "duxgate.cfg"},
        {{"store", kDemoSettings, "--no-backup", "--verify", "--work-dir", dir}, "DUXGate.cfg"},
        {{"restore", kDemoSettings, "--no-backup", "--work-dir", dir}, "DUXGate.cfg"},
    };
    for (const auto& c : cases) {
        fs::remove(dir + c.copy);
        std::vector<std::string> args = {"--number", "12"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = Device(args);
        EXPECT_EQ(r.status, exitstatus::Ok) << c.args[0] << '\n' << r.err;
        EXPECT_EQ(ReadBytes(dir + c.copy), demo) << c.args[0];
        EXPECT_FALSE(fs::exists(work / c.copy)) << c.args[0];
    }

    // A folder that is not there: said before the device is asked anything.
    sim.server->ClearRequests();
    const CliResult r = Device({"--number", "12", "read", "--work-dir", work / "none"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.err, "vr7lon: --work-dir " + work / "none" + ": No such file or directory\n");
    EXPECT_TRUE(sim.server->Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Transports, WorkDirCli, ::testing::Values(Transport::Tcp, Transport::Pty),
                         TransportParamName);

}  // namespace
