// vr7lon ended by SIGTERM, SIGINT or SIGHUP in the middle of a download leaves no temporary file
// beside its output, and the earlier output as it was; it still ends by that signal.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtimings.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

size_t Entries(const std::string& dir) {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++n;
    }
    return n;
}

// Starts vr7lon in cwd with its output thrown away.
pid_t Start(const std::vector<std::string>& args, const std::string& cwd) {
    std::vector<char*> argv{const_cast<char*>(VR7LON_PROGRAM)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        if (::chdir(cwd.c_str()) != 0) _exit(126);
        ::execv(VR7LON_PROGRAM, argv.data());
        _exit(127);
    }
    return pid;
}

// Waits for pid to end within timeoutMs; ends it by SIGKILL (and fails) when it does not.
int WaitFor(pid_t pid, unsigned timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ADD_FAILURE() << "vr7lon did not end";
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return status;
}

TEST(Vr7lonSignals, DownloadEndedBySignalLeavesNoTemporaryFile) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SimDevice device;
        device.number = 1;
        device.files["f"] = std::vector<uint8_t>(5000, 'a');
        SimPeer peer;
        ASSERT_TRUE(peer.Start(device, Transport::Tcp));
        // The blocks never come: the download waits through its repeats for many seconds.
        peer.server->SetFaults({{SimFaultKind::Silent, cmdReadBlock}});
        TempDir dir;
        dir.Write("out.bin", "earlier");

        const pid_t pid =
            Start({"device", "--ip", "127.0.0.1", "--tcp-port",
                   std::to_string(peer.server->TcpPort()), "--number", "1", "get", "f", "out.bin"},
                  dir.Path());
        ASSERT_GT(pid, 0);
        // The download is under way once its temporary file is there.
        const auto deadline = Clock::now() + std::chrono::milliseconds(kLongWaitMs);
        while (Entries(dir.Path()) < 2 && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_EQ(Entries(dir.Path()), 2u) << "no temporary file appeared";
        ::kill(pid, sig);
        const int status = WaitFor(pid, kLongWaitMs);

        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        EXPECT_EQ(Entries(dir.Path()), 1u) << "signal " << sig << " left a temporary file";
        std::ifstream in(dir / "out.bin", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier");
    }
}

// Every temporary file and folder a fleet makes goes, however many devices are at work: the
// downloads of a read with --out, the working copies of a store in its scratch folder.
TEST(Vr7lonSignals, AFleetEndedBySignalLeavesNothingBehind) {
    constexpr size_t kDevices = 24;  // more at once than any fixed table of temporary files
    std::vector<std::unique_ptr<SimPeer>> peers;
    std::string plan = "name,ip,tcp_port,number,file\n";
    for (size_t i = 0; i < kDevices; ++i) {
        SimDevice device = DemoSimDevice();
        device.number = 1;
        peers.push_back(std::make_unique<SimPeer>());
        ASSERT_TRUE(peers.back()->Start(device, Transport::Tcp));
        // Blocks read and written are never answered: each device waits through its repeats.
        peers.back()->server->SetFaults(
            {{SimFaultKind::Silent, cmdReadBlock}, {SimFaultKind::Silent, cmdWriteBlock}});
        plan += "d" + std::to_string(i) + ",127.0.0.1," +
                std::to_string(peers.back()->server->TcpPort()) + ",1,demo.cfg\n";
    }
    for (const char* action : {"read", "store"}) {
        SCOPED_TRACE(action);
        TempDir dir;
        dir.Write("plan.csv", plan);
        fs::copy_file(VR7_SOURCE_DIR "/examples/vr7_12/CONFIG/duxgate.cfg", dir / "demo.cfg");
        dir.MakeDir("tmp");
        const std::string tmp = dir / "tmp";
        ::setenv("TMPDIR", tmp.c_str(), 1);
        std::vector<std::string> args = {"fleet", "plan.csv", action, "--jobs", "24"};
        if (action == std::string("read"))
            args.insert(args.end(),
                        {"--catalog", VR7_SOURCE_DIR "/examples/calcbank.xml", "--out", "out"});
        const pid_t pid = Start(args, dir.Path());
        ::unsetenv("TMPDIR");
        ASSERT_GT(pid, 0);
        // Under way once every device has its temporary download (read) or working copy (store).
        auto made = [&] {
            size_t n = 0;
            std::error_code ec;
            for (auto e = fs::recursive_directory_iterator(dir.Path(), ec);
                 e != fs::recursive_directory_iterator(); e.increment(ec)) {
                const std::string name = e->path().filename().string();
                if (!e->is_directory(ec) && name != "plan.csv" && name != "demo.cfg") ++n;
            }
            return n;
        };
        const auto deadline = Clock::now() + std::chrono::milliseconds(kLongWaitMs);
        while (made() < kDevices && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_GE(made(), kDevices) << "the devices' work did not begin";
        ::kill(pid, SIGTERM);
        const int status = WaitFor(pid, kLongWaitMs);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        // Nothing but the device folders themselves, and an empty temporary folder.
        std::vector<std::string> left;
        for (const auto& e : fs::recursive_directory_iterator(dir.Path()))
            if (!e.is_directory()) left.push_back(e.path().lexically_relative(dir.Path()).string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<std::string>{"demo.cfg", "plan.csv"}));
        EXPECT_TRUE(fs::is_empty(tmp));
    }
}

}  // namespace
