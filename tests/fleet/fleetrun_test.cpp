// How a fleet is scheduled: devices on one serial line take turns, devices on their own TCP
// endpoints run side by side, never more than the jobs allowed.
#include "fleet/fleetrun.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>

#include <gtest/gtest.h>

#include "optlist/xmldocument.h"
#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"
#include "tests/common/testsite.h"
#include "tests/common/testtext.h"
#include "tests/common/testtimings.h"

namespace {

// Records when each task started and finished, in the order the run told it.
class Recorder : public IFleetObserver {
  public:
    void Started(size_t task) override {
        events.emplace_back(task, true);
        maxRunning = std::max(maxRunning, ++running);
    }
    void Finished(size_t task, const FleetResult&) override {
        events.emplace_back(task, false);
        --running;
    }
    // Where in the events the task started and finished.
    std::pair<size_t, size_t> Span(size_t task) const {
        std::pair<size_t, size_t> span{0, 0};
        for (size_t e = 0; e < events.size(); ++e) {
            if (events[e].first != task) continue;
            (events[e].second ? span.first : span.second) = e;
        }
        return span;
    }

    std::vector<std::pair<size_t, bool>> events;
    int running = 0;
    int maxRunning = 0;
};

FleetSettings Settings(FleetAction action, unsigned jobs) {
    FleetSettings s;
    s.action = action;
    s.jobs = jobs;
    s.timings = kTestTimings;
    return s;
}

TEST(FleetRun, DevicesOnOneSerialLineTakeTurns) {
    // Two simulated devices on one pty line, as on a serial bus: the port can be open only once
    // at a time, so a second device worked on at the same time would fail to open it.
    SimSite site;
    SimEndpoints pty;
    pty.tcp = false;
    pty.pty = true;
    SimDevice other = DemoSimDevice();
    other.number = 13;
    site.AddOnLine(site.Add(DemoSimDevice(), {}, pty), std::move(other));
    std::string error;
    ASSERT_TRUE(site.Start(&error)) << error;
    TempDir out;
    const std::string file = VR7_SOURCE_DIR "/examples/vr7_12/CONFIG/duxgate.cfg";
    std::vector<FleetTask> tasks(2);
    for (size_t i = 0; i < tasks.size(); ++i) {
        tasks[i].name = "m" + std::to_string(i);
        tasks[i].endpoint = FleetEndpoint{site.PtyPath(0), "", "", 115200, 12 + uint32_t(i)};
        tasks[i].folder = out.Path() + tasks[i].name + "/";
        tasks[i].file = file;
    }
    Recorder recorder;
    const std::vector<FleetResult> results =
        RunFleet(tasks, Settings(FleetAction::Store, 8), &recorder);
    for (size_t i = 0; i < tasks.size(); ++i) {
        EXPECT_EQ(FleetResultCode(results[i].status), 0) << results[i].message;
        EXPECT_EQ(results[i].number, 12 + i);
        std::vector<uint8_t> held;
        EXPECT_TRUE(site.File(i, "DUXGate.cfg", held));
        EXPECT_EQ(std::string(held.begin(), held.end()), ReadBytes(file));
    }
    EXPECT_EQ(recorder.maxRunning, 1);
    const auto first = recorder.Span(0), second = recorder.Span(1);
    EXPECT_LT(first.second, second.first);  // in plan order, one after the other
}

TEST(FleetRun, EndpointsRunSideBySideUpToTheJobs) {
    // Each device takes 100 ms to answer its identification, so that every worker is seen at
    // work at once.
    TestSite site;
    constexpr size_t kDevices = 9;
    for (size_t i = 0; i < kDevices; ++i) {
        SimDevice device = DemoSimDevice();
        const size_t at = site.Add(std::move(device));
        site.site.SetFaults(at, {SimFault{SimFaultKind::Delay, cmdIdentify, -1, 0, -1, 100}});
    }
    ASSERT_TRUE(site.Start());
    std::vector<FleetTask> tasks(kDevices);
    for (size_t i = 0; i < kDevices; ++i) {
        tasks[i].name = "t" + std::to_string(i);
        tasks[i].endpoint = FleetEndpoint{"TCP/IP", "127.0.0.1", site.PortText(i), 0, 12};
    }
    for (unsigned jobs : {1u, 3u}) {
        Recorder recorder;
        const std::vector<FleetResult> results =
            RunFleet(tasks, Settings(FleetAction::Info, jobs), &recorder);
        ASSERT_EQ(results.size(), kDevices);
        for (const FleetResult& r : results) {
            EXPECT_EQ(FleetResultCode(r.status), 0) << r.message;
            EXPECT_EQ(r.message, "version 2.1.32, number 12");
            EXPECT_GE(r.seconds, 0.1);
        }
        EXPECT_EQ(recorder.maxRunning, static_cast<int>(jobs));
    }
}

TEST(FleetRun, AReadWithoutAFolderKeepsNothing) {
    // Without --out a read only counts what came: no tree.txt, no duxgate.cfg anywhere.
    TestSite site;
    site.Add(DemoSimDevice());
    SimDevice bare = DemoSimDevice();
    bare.files.clear();
    site.Add(std::move(bare));
    ASSERT_TRUE(site.Start());
    TempDir work;
    WorkingDirectory cwd(work.Path());
    const XmlDocument catalogue;
    FleetSettings settings = Settings(FleetAction::Read, 1);
    settings.catalogue = &catalogue;
    FleetTask task;
    task.endpoint = FleetEndpoint{"TCP/IP", "127.0.0.1", site.PortText(0), 0, 12};
    FleetResult r = RunFleetTask(task, settings);
    EXPECT_EQ(FleetResultCode(r.status), 0) << r.message;
    const std::string settingsFile =
        ReadBytes(VR7_SOURCE_DIR "/examples/vr7_12/CONFIG/duxgate.cfg");
    EXPECT_EQ(r.message.substr(r.message.find(", ")),
              ", duxgate.cfg " + std::to_string(settingsFile.size()) + " bytes")
        << r.message;
    EXPECT_EQ(r.version, "2.1.32");
    task.endpoint.tcpPort = site.PortText(1);
    r = RunFleetTask(task, settings);
    EXPECT_EQ(FleetResultCode(r.status), 0) << r.message;
    EXPECT_NE(r.message.find(", the device has no duxgate.cfg"), std::string::npos) << r.message;
    EXPECT_TRUE(std::filesystem::is_empty(work.Path()));
}

// The files of a folder, by name, with their content ("->target" for a symbolic link).
std::map<std::string, std::string> FolderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        files[name] = entry.is_symlink() ? "->" + std::filesystem::read_symlink(entry).string()
                                         : ReadBytes(entry.path().string());
    }
    return files;
}

TEST(FleetRun, AReadReplacesTheEarlierOutputsOnlyWhenItIsComplete) {
    TestSite site;
    site.Add(DemoSimDevice());
    SimDevice bare = DemoSimDevice();
    bare.files.clear();
    site.Add(std::move(bare));
    ASSERT_TRUE(site.Start());
    TempDir out;
    const XmlDocument catalogue;
    FleetSettings settings = Settings(FleetAction::Read, 1);
    settings.catalogue = &catalogue;
    FleetTask task;
    task.name = "d1";
    task.folder = out.Path() + "d1/";
    task.endpoint = FleetEndpoint{"TCP/IP", "127.0.0.1", site.PortText(0), 0, 12};
    FleetResult r = RunFleetTask(task, settings);
    ASSERT_EQ(FleetResultCode(r.status), 0) << r.message;
    const auto first = FolderFiles(task.folder);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first.at("duxgate.cfg"),
              ReadBytes(VR7_SOURCE_DIR "/examples/vr7_12/CONFIG/duxgate.cfg"));

    // The device does not answer this time: its only copy elsewhere stays as it was.
    task.endpoint.number = 99;
    r = RunFleetTask(task, settings);
    EXPECT_NE(FleetResultCode(r.status), 0);
    EXPECT_EQ(FolderFiles(task.folder), first);

    // A device that holds no gateway file: the earlier download is not kept as if it did.
    task.endpoint = FleetEndpoint{"TCP/IP", "127.0.0.1", site.PortText(1), 0, 12};
    r = RunFleetTask(task, settings);
    EXPECT_EQ(FleetResultCode(r.status), 0) << r.message;
    const auto second = FolderFiles(task.folder);
    EXPECT_EQ(second.size(), 1u);
    EXPECT_EQ(second.count("tree.txt"), 1u);
}

TEST(FleetRun, SymbolicLinksUnderTheOutFolderAreNeverFollowed) {
    TestSite site;
    site.Add(DemoSimDevice());
    ASSERT_TRUE(site.Start());
    TempDir out;
    const std::string victim = out.Path() + "victim/";
    std::filesystem::create_directories(victim);
    out.Write("victim/duxgate.cfg", "precious");
    out.Write("victim/tree.txt", "precious tree");
    out.Write("victim.cfg", "precious file");
    std::filesystem::create_directory_symlink("victim", out.Path() + "linked");
    std::filesystem::create_directories(out.Path() + "inner");
    std::filesystem::create_symlink("../victim.cfg", out.Path() + "inner/duxgate.cfg");
    std::filesystem::create_symlink("../victim/tree.txt", out.Path() + "inner/.tree.txt.new");
    const XmlDocument catalogue;
    const std::string settingsFile = VR7_SOURCE_DIR "/examples/vr7_12/CONFIG/duxgate.cfg";
    for (const FleetAction action : {FleetAction::Read, FleetAction::Store}) {
        FleetSettings settings = Settings(action, 1);
        settings.catalogue = &catalogue;
        FleetTask task;
        task.endpoint = FleetEndpoint{"TCP/IP", "127.0.0.1", site.PortText(0), 0, 12};
        task.file = settingsFile;
        // The device's folder is a link: the device is refused, nothing is written.
        task.folder = out.Path() + "linked/";
        FleetResult r = RunFleetTask(task, settings);
        EXPECT_EQ(FleetResultCode(r.status), fleetresult::LocalFile);
        EXPECT_EQ(r.message, out.Path() +
                                 "linked is a symbolic link: a device's folder is never "
                                 "followed");
        // Links inside the folder are replaced as names; their targets stay as they were.
        task.folder = out.Path() + "inner/";
        r = RunFleetTask(task, settings);
        EXPECT_EQ(FleetResultCode(r.status), 0) << r.message;
    }
    EXPECT_EQ(FolderFiles(victim),
              (std::map<std::string, std::string>{{"duxgate.cfg", "precious"},
                                                  {"tree.txt", "precious tree"}}));
    EXPECT_EQ(ReadBytes(out.Path() + "victim.cfg"), "precious file");
    const auto inner = FolderFiles(out.Path() + "inner");
    EXPECT_EQ(inner.at("duxgate.cfg"), ReadBytes(settingsFile));
    EXPECT_EQ(inner.count(".tree.txt.new"), 0u);
}

TEST(FleetRun, RowsThatMayReachOneDeviceAreFound) {
    TempDir dir;
    dir.Write("ttyX", "");
    dir.Write("ttyY", "");
    std::filesystem::create_symlink(dir / "ttyX", dir / "by-id-X");
    const std::string x = dir / "ttyX", linkX = dir / "by-id-X", y = dir / "ttyY";
    auto tcp = [](const std::string& ip, const std::string& port, uint32_t number) {
        return FleetEndpoint{"TCP/IP", ip, port, 0, number};
    };
    auto serial = [](const std::string& port, uint32_t number) {
        return FleetEndpoint{port, "", "", 9600, number};
    };
    const struct {
        const char* what;
        std::vector<FleetEndpoint> endpoints;
        std::optional<std::pair<size_t, size_t>> repeated;
    } cases[] = {
        {"one address spelt three ways",
         {tcp("127.0.0.1", "5000", 12), tcp("127.000.000.001", "5000", 3),
          tcp("127.1", "5000", 12)},
         std::pair<size_t, size_t>{0, 2}},
        {"localhost",
         {tcp("localhost", "5000", 7), tcp("127.0.0.1", "5000", 7)},
         std::pair<size_t, size_t>{0, 1}},
        {"other numbers and ports",
         {tcp("127.0.0.1", "5000", 1), tcp("127.0.0.1", "5000", 2), tcp("127.0.0.1", "5001", 1)},
         std::nullopt},
        {"whichever answers",
         {tcp("127.0.0.1", "5000", 4), tcp("127.0.0.1", "5000", 0)},
         std::pair<size_t, size_t>{0, 1}},
        {"a port and its link",
         {serial(y, 1), serial(x, 5), serial(linkX, 5)},
         std::pair<size_t, size_t>{1, 2}},
        {"two ports", {serial(x, 5), serial(y, 5)}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<FleetTask> tasks(c.endpoints.size());
        for (size_t i = 0; i < tasks.size(); ++i) tasks[i].endpoint = c.endpoints[i];
        const std::optional<RepeatedDevice> found = FindRepeatedDevice(tasks);
        ASSERT_EQ(found.has_value(), c.repeated.has_value());
        if (found) {
            EXPECT_EQ(std::make_pair(found->first, found->second), *c.repeated);
        }
    }
    // A port named two ways is one line: its devices take turns.
    std::vector<FleetTask> tasks(2);
    tasks[0].endpoint = serial(x, 1);
    tasks[1].endpoint = serial(linkX, 2);
    EXPECT_EQ(FleetTurns(tasks).size(), 1u);
}

TEST(FleetRun, ADevicesFailureKeepsTheReportsNumber) {
    // Users' scripts read these numbers from the report.
    const struct {
        Status status;
        int code;
    } cases[] = {
        {Status(), 0},
        {Failure::OfLink(lr::TcpTimeout), lr::TcpTimeout},
        {Failure::OfLink(16), 16},
        {Failure::Of(FailureKind::Cancelled), lr::Cancelled},
        {Failure::Of(FailureKind::TooOld), fleetresult::TooOld},
        {Failure::OfMismatch(40), fleetresult::Mismatch},
        {Failure::OfFile("a.cfg", ENOENT), fleetresult::LocalFile},
        {Failure::OfInvalid("no place for the working copy"), fleetresult::LocalFile},
    };
    EXPECT_EQ(fleetresult::TooOld, 2001);
    EXPECT_EQ(fleetresult::Mismatch, 2002);
    EXPECT_EQ(fleetresult::LocalFile, 2003);
    for (const auto& c : cases) EXPECT_EQ(FleetResultCode(c.status), c.code) << c.code;
}

}  // namespace
