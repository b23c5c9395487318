// vr7lon fleet against a site of simulated devices on 127.0.0.1: every healthy device done, every
// faulty one reported with its cause, in the table, the report and the out folders.
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>

#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "tests/cli/support/clitest.h"
#include "tests/common/jsonreader.h"
#include "tests/common/testsite.h"

namespace {

namespace fs = std::filesystem;

// How one device of the test site fails, if it does.
enum class Trouble { None, Silent, Refusing, Protected, Dropping, TooOld };

SiteFault SiteFaultOf(Trouble t) {
    switch (t) {
        case Trouble::Silent:
            return SiteFault::Silent;
        case Trouble::Refusing:
            return SiteFault::Refusing;
        case Trouble::Protected:
            return SiteFault::Protected;
        case Trouble::Dropping:
            return SiteFault::Dropping;
        default:
            return SiteFault::None;
    }
}

// The devices of a report, after checking its frame: {"schema": 1, "action": ..., "devices":
// [...]}.
std::vector<JsonValue> ReportDevices(const std::string& json, const std::string& action) {
    const JsonValue report = JsonReader::Parse(json);
    EXPECT_EQ(report.Keys(), (std::vector<std::string>{"schema", "action", "devices"}));
    EXPECT_EQ(report["schema"].Integer(), 1);
    EXPECT_EQ(report["action"].String(), action);
    return report["devices"].Items();
}

// A line of the table: name, result, seconds and message.
struct TableRow {
    std::string name;
    int result = -1;
    double seconds = -1;
    std::string message;
};
TableRow ParseRow(const std::string& line) {
    std::smatch m;
    TableRow row;
    if (!std::regex_match(line, m, std::regex(R"re((\S+) +(-?\d+) +(\d+\.\d{3})  (.*))re"))) {
        ADD_FAILURE() << "not a table row: " << line;
        return row;
    }
    return {m[1], std::stoi(m[2]), std::stod(m[3]), m[4]};
}

class FleetCli : public ::testing::Test {
  protected:
    FleetCli() { fs::copy_file(kDemoCatalogue, work / "calcbank.xml"); }

    // Adds a demo device numbered number that fails as trouble says; its index.
    size_t AddDevice(uint32_t number, Trouble trouble = Trouble::None) {
        SimDevice device = DemoSimDevice();
        device.number = number;
        if (trouble == Trouble::TooOld) device.versionBuild = 31;
        return site.Add(std::move(device), SiteFaultOf(trouble));
    }

    // A settings file of its own for device i: the demo's, its first variable renamed.
    std::string SettingsFor(size_t i) {
        std::string text = ReadBytes(kDemoSettings);
        const size_t at = text.find(" 1t1 ");
        EXPECT_NE(at, std::string::npos);
        text.replace(at, 5, " n" + std::to_string(i) + " ");
        return text;
    }

    // A plan line "name,ip,tcp_port,number[,file]" reaching device i.
    std::string PlanLine(const std::string& name, size_t i, const std::string& number,
                         const std::optional<std::string>& file = std::nullopt) {
        return name + ",127.0.0.1," + site.PortText(i) + "," + number + (file ? "," + *file : "") +
               "\n";
    }

    CliResult Fleet(std::vector<std::string> args, bool errIsTerminal = false) {
        args.insert(args.begin(), "fleet");
        return RunCli(args, programDir.Path(), errIsTerminal);
    }

    TempDir work;
    TempDir programDir;
    WorkingDirectory cwd{work.Path()};
    TestSite site;
};

TEST_F(FleetCli, StoreCommissionsEveryHealthyDeviceAndNamesEachFaultsCause) {
    // 54 devices, two of each trouble among them.
    const Trouble troubles[] = {Trouble::Silent, Trouble::Refusing, Trouble::Protected,
                                Trouble::Dropping, Trouble::TooOld};
    constexpr size_t kDevices = 54;
    std::vector<Trouble> trouble(kDevices, Trouble::None);
    for (size_t k = 0; k < 10; ++k) trouble[3 + 5 * k] = troubles[k % 5];
    for (size_t i = 0; i < kDevices; ++i) AddDevice(100 + i, trouble[i]);
    ASSERT_TRUE(site.Start());
    std::string plan = "name,ip,tcp_port,number,file\n";
    std::vector<std::string> files;
    for (size_t i = 0; i < kDevices; ++i) {
        files.push_back(SettingsFor(i));
        work.Write("site/files/dev" + std::to_string(i) + ".cfg", files.back());
        // Some devices are asked for as whichever device answers.
        const std::string number = i % 7 == 0 ? "0" : std::to_string(100 + i);
        plan += PlanLine("dev" + std::to_string(i), i, number,
                         "files/dev" + std::to_string(i) + ".cfg");
    }
    work.Write("site/plan.csv", plan);

    const CliResult r =
        Fleet({"site/plan.csv", "store", "--jobs", "8", "--out", "out", "--report", "report.json"});
    EXPECT_EQ(r.status, exitstatus::Device) << r.err;
    EXPECT_EQ(r.err, "");
    const auto table = Lines(r.out);
    ASSERT_EQ(table.size(), kDevices + 2) << r.out;
    EXPECT_EQ(table[0], "name   result  seconds  message");
    EXPECT_EQ(table.back(), "54 devices: 44 succeeded, 10 failed");
    const auto report = ReportDevices(ReadBytes(work / "report.json"), "store");
    ASSERT_EQ(report.size(), kDevices);

    // What each trouble comes out as: its result and a part of its message.
    const std::string notConnected = U(usertext::NotConnected());
    const std::map<Trouble, std::pair<int, std::string>> causes = {
        {Trouble::None, {0, "stored and verified, "}},
        {Trouble::Silent, {1011, notConnected + " (result 1011: no answer in time over TCP)"}},
        {Trouble::Refusing,
         {16, notConnected + " (result 16: the device answered with this refusal code)"}},
        {Trouble::Protected, {1001, "EN_PR"}},
        {Trouble::Dropping, {1003, notConnected + " (result 1003"}},
        {Trouble::TooOld, {2001, U(usertext::UnsupportedVersion(InfoOf(2, 1, 31)))}},
    };
    for (size_t i = 0; i < kDevices; ++i) {
        SCOPED_TRACE("device " + std::to_string(i));
        const std::string name = "dev" + std::to_string(i);
        const auto& [result, message] = causes.at(trouble[i]);
        // The table, in plan order.
        const TableRow row = ParseRow(table[i + 1]);
        EXPECT_EQ(row.name, name);
        EXPECT_EQ(row.result, result);
        EXPECT_NE(row.message.find(message), std::string::npos) << row.message;
        if (trouble[i] == Trouble::None) {
            EXPECT_EQ(row.message, message + std::to_string(files[i].size()) + " bytes");
        }

        // The report.
        const JsonValue& d = report[i];
        EXPECT_EQ(d.Keys(), (std::vector<std::string>{"name", "endpoint", "number", "version",
                                                      "result", "message", "seconds", "bytes_sent",
                                                      "bytes_received", "backup"}));
        // Each device stored kept what it held before; one that never answered has no backup.
        if (trouble[i] == Trouble::None) {
            EXPECT_EQ(ReadBytes(d["backup"].String()), ReadBytes(kDemoSettings));
        } else if (trouble[i] == Trouble::Silent) {
            EXPECT_TRUE(d["backup"].IsNull());
        }
        EXPECT_EQ(d["name"].String(), name);
        EXPECT_EQ(d["endpoint"].String(), "127.0.0.1:" + site.PortText(i));
        EXPECT_EQ(d["result"].Integer(), result);
        EXPECT_EQ(d["message"].String(), row.message);
        EXPECT_GE(d["seconds"].Number(), 0.0);
        const bool answered = trouble[i] != Trouble::Silent && trouble[i] != Trouble::Refusing &&
                              trouble[i] != Trouble::Dropping;
        // A device asked for as number 0 is reported with its own number once it answered.
        EXPECT_EQ(d["number"].Integer(),
                  answered || i % 7 != 0 ? 100 + static_cast<long long>(i) : 0);
        if (answered) {
            EXPECT_EQ(d["version"].String(), trouble[i] == Trouble::TooOld ? "2.1.31" : "2.1.32");
        } else {
            EXPECT_TRUE(d["version"].IsNull());
        }
        EXPECT_GT(d["bytes_sent"].Integer(), 0);
        if (trouble[i] == Trouble::Silent) {
            EXPECT_EQ(d["bytes_received"].Integer(), 0);
        }
        if (trouble[i] == Trouble::None) {
            EXPECT_GT(d["bytes_received"].Integer(), static_cast<long long>(files[i].size()));
        }

        // The device holds its own file exactly, and the out folder the copy that was stored.
        std::vector<uint8_t> held;
        const bool holds = site.site.File(i, "DUXGate.cfg", held);
        if (trouble[i] == Trouble::None) {
            EXPECT_TRUE(holds);
            EXPECT_EQ(std::string(held.begin(), held.end()), files[i]);
            EXPECT_EQ(ReadBytes(work / ("out/" + name + "/DUXGate.cfg")), files[i]);
        } else {
            EXPECT_TRUE(!holds ||
                        std::string(held.begin(), held.end()) == ReadBytes(kDemoSettings));
            // A copy the device never took is not kept as if it had been stored.
            EXPECT_FALSE(fs::exists(work / ("out/" + name + "/DUXGate.cfg"))) << name;
        }
    }
}

TEST_F(FleetCli, ReadWritesEachDevicesTreeAndCompleteDownload) {
    AddDevice(21);
    SimDevice bare = DemoSimDevice();
    bare.number = 22;
    bare.files.clear();  // no gateway settings yet
    site.Add(std::move(bare));
    AddDevice(23, Trouble::Silent);
    ASSERT_TRUE(site.Start());
    work.Write("plan.csv", "name,ip,tcp_port,number\n" + PlanLine("a", 0, "0") +
                               PlanLine("b", 1, "22") + PlanLine("c", 2, "23"));
    // What an earlier run left for the silent device stays: it may be the only copy, and the
    // table says this run did not read the device.
    work.Write("out/c/duxgate.cfg", "stale");
    work.Write("out/c/tree.txt", "stale");

    const CliResult r = Fleet({"plan.csv", "read", "--out", "out"});
    EXPECT_EQ(r.status, exitstatus::Device) << r.err;
    const auto table = Lines(r.out);
    ASSERT_EQ(table.size(), 5u) << r.out;
    TableRow row = ParseRow(table[1]);
    EXPECT_EQ(row.result, 0);
    EXPECT_EQ(row.message, "tree of 30 lines, duxgate.cfg " +
                               std::to_string(ReadBytes(kDemoSettings).size()) + " bytes");
    EXPECT_EQ(ParseRow(table[2]).message, "tree of 30 lines, the device has no duxgate.cfg");
    row = ParseRow(table[3]);
    EXPECT_EQ(row.name, "c");
    EXPECT_EQ(row.result, 1011);

    // The tree is what "vr7lon device tree" prints.
    const CliResult tree = RunCli(
        {"device", "--ip", "127.0.0.1", "--tcp-port", site.PortText(0), "--number", "21", "tree"},
        programDir.Path());
    ASSERT_EQ(tree.status, exitstatus::Ok) << tree.err;
    EXPECT_EQ(ReadBytes(work / "out/a/tree.txt"), tree.out);
    EXPECT_EQ(ReadBytes(work / "out/a/duxgate.cfg"), ReadBytes(kDemoSettings));
    EXPECT_TRUE(fs::exists(work / "out/b/tree.txt"));
    EXPECT_FALSE(fs::exists(work / "out/b/duxgate.cfg"));
    EXPECT_EQ(ReadBytes(work / "out/c/tree.txt"), "stale");
    EXPECT_EQ(ReadBytes(work / "out/c/duxgate.cfg"), "stale");
    EXPECT_EQ(std::distance(fs::directory_iterator(work / "out/c"), fs::directory_iterator()), 2);
    // Nothing lands in the working directory.
    EXPECT_FALSE(fs::exists(work / "duxgate.cfg"));
}

TEST_F(FleetCli, VerifyComparesEachDevicesFileAndInfoIdentifies) {
    AddDevice(31);
    SimDevice other = DemoSimDevice();
    other.number = 32;
    std::string changed = ReadBytes(kDemoSettings);
    changed[40] ^= 1;
    other.files["duxgate.cfg"].assign(changed.begin(), changed.end());
    site.Add(std::move(other));
    SimDevice bare = DemoSimDevice();
    bare.number = 33;
    bare.files.clear();
    site.Add(std::move(bare));
    ASSERT_TRUE(site.Start());
    fs::copy_file(kDemoSettings, work / "demo.cfg");
    std::string plan = "name,ip,tcp_port,number,file\n";
    for (size_t i = 0; i < 3; ++i)
        plan += PlanLine("v" + std::to_string(i), i, std::to_string(31 + i), "demo.cfg");
    work.Write("plan.csv", plan);

    CliResult r = Fleet({"plan.csv", "verify", "--report", "report.json", "--html", "site.html"});
    EXPECT_EQ(r.status, exitstatus::Device) << r.err;
    const size_t size = ReadBytes(kDemoSettings).size();
    auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_NE(lines[1].find("     0  "), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("identical, " + std::to_string(size) + " bytes"), std::string::npos);
    EXPECT_NE(lines[2].find("  2002  "), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("the device's duxgate.cfg differs from demo.cfg at offset 40 "
                            "(expected " +
                            std::to_string(size) + " bytes, the device holds " +
                            std::to_string(size) + ")"),
              std::string::npos)
        << lines[2];
    EXPECT_NE(lines[3].find("  1001  "), std::string::npos) << lines[3];
    EXPECT_NE(lines[3].find("the device has no duxgate.cfg"), std::string::npos) << lines[3];
    // The report gives the same numbers as the table.
    const auto report = ReportDevices(ReadBytes(work / "report.json"), "verify");
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[0]["result"].Integer(), 0);
    EXPECT_EQ(report[1]["result"].Integer(), 2002);
    EXPECT_EQ(report[2]["result"].Integer(), 1001);
    // The site report shows the same devices, in the plan's order, with the same results.
    const std::string siteReport = ReadBytes(work / "site.html");
    size_t at = 0;
    for (const JsonValue& device : report) {
        for (const std::string& field :
             {device["name"].String(), device["endpoint"].String(),
              "<td class=\"num\">" + std::to_string(device["result"].Integer()) + "</td>"}) {
            const size_t found = siteReport.find(field, at);
            ASSERT_NE(found, std::string::npos) << field;
            at = found;
        }
    }
    // Nothing was stored.
    std::vector<uint8_t> held;
    EXPECT_FALSE(site.site.File(2, "DUXGate.cfg", held));

    r = Fleet({"plan.csv", "info"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_NE(lines[2].find("version 2.1.32, number 32"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[4], "3 devices: 3 succeeded, 0 failed");
}

TEST_F(FleetCli, StoreWithoutOutKeepsNoCopyAnywhere) {
    AddDevice(61);
    AddDevice(62, Trouble::Protected);
    ASSERT_TRUE(site.Start());
    fs::copy_file(kDemoSettings, work / "demo.cfg");
    work.Write("plan.csv", "name,ip,tcp_port,number,file\n" + PlanLine("a", 0, "61", "demo.cfg") +
                               PlanLine("b", 1, "62", "demo.cfg"));
    const std::string scratch = work.MakeDir("tmp");
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string saved = tmpdir != nullptr ? tmpdir : "";
    ::setenv("TMPDIR", scratch.c_str(), 1);
    const CliResult r = Fleet({"plan.csv", "store"});
    if (tmpdir != nullptr) {
        ::setenv("TMPDIR", saved.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    EXPECT_EQ(r.status, exitstatus::Device) << r.err;
    EXPECT_EQ(ParseRow(Lines(r.out).at(1)).result, 0);
    EXPECT_EQ(ParseRow(Lines(r.out).at(2)).result, 1001);
    std::vector<uint8_t> held;
    EXPECT_TRUE(site.site.File(0, "DUXGate.cfg", held));
    EXPECT_EQ(std::string(held.begin(), held.end()), ReadBytes(kDemoSettings));
    // The working copies lived in a temporary folder, gone with them; the working directory
    // holds what it held.
    EXPECT_TRUE(fs::is_empty(scratch));
    EXPECT_FALSE(fs::exists(work / "DUXGate.cfg"));
}

TEST_F(FleetCli, AStoreWithNowhereForItsBackupsTouchesNoDeviceUnlessItKeepsNone) {
    AddDevice(71);
    AddDevice(72);
    ASSERT_TRUE(site.Start());
    const std::string settings = SettingsFor(0);
    work.Write("new.cfg", settings);
    work.Write("plan.csv", "name,ip,tcp_port,number,file\n" + PlanLine("a", 0, "71", "new.cfg") +
                               PlanLine("b", 1, "72", "new.cfg"));
    // A folder under a regular file can never be made.
    work.Write("plain", "x");

    CliResult r = Fleet({"plan.csv", "store", "--backup-dir", "plain/b", "--report", "r.json"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.err.rfind("vr7lon: the backups folder cannot be written: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("plain/b"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(work / "r.json"));
    for (size_t i = 0; i < 2; ++i) EXPECT_TRUE(site.site.Requests(i).empty()) << i;

    // Without backups the same folder does not matter, and nothing is kept anywhere.
    r = Fleet(
        {"plan.csv", "store", "--backup-dir", "plain/b", "--no-backup", "--report", "r.json"});
    ASSERT_EQ(r.status, exitstatus::Ok) << r.err << r.out;
    const auto report = ReportDevices(ReadBytes(work / "r.json"), "store");
    ASSERT_EQ(report.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(report[i]["result"].Integer(), 0);
        EXPECT_TRUE(report[i]["backup"].IsNull());
        std::vector<uint8_t> held;
        ASSERT_TRUE(site.site.File(i, "DUXGate.cfg", held));
        EXPECT_EQ(std::string(held.begin(), held.end()), settings);
    }
    EXPECT_FALSE(fs::exists(programDir / "backups"));
    EXPECT_TRUE(fs::is_regular_file(work / "plain"));
}

TEST_F(FleetCli, AFaultyPlanOrFileTouchesNoDevice) {
    AddDevice(41);
    ASSERT_TRUE(site.Start());
    work.Write("empty.cfg", "");
    fs::copy_file(kDemoSettings, work / "demo.cfg");
    fs::create_hard_link(work / "demo.cfg", work / "hardlink.cfg");
    fs::copy_file(VR7_SOURCE_DIR "/examples/calcbank.xml", work / "cat.xml");
    const std::string catalogue = ReadBytes(work / "cat.xml");
    const std::string ok = PlanLine("ok", 0, "41", "demo.cfg");
    const struct {
        std::string plan;
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {"name,ip,tcp_port,number,file\n" + ok + "ok,127.0.0.1,1,1,demo.cfg\n",
         {"store"},
         "vr7lon: plan.csv: line 3: the name ok is taken by an earlier line\n"},
        {"name,ip,tcp_port,number,file\n" + ok + PlanLine("x", 0, "41", ""),
         {"verify"},
         "vr7lon: plan.csv: line 3: no file for x\n"},
        {"name,ip,tcp_port,number,file\n" + ok + PlanLine("x", 0, "41", "missing.cfg"),
         {"verify"},
         "vr7lon: plan.csv: line 3: missing.cfg: No such file or directory\n"},
        {"name,ip,tcp_port,number,file\n" + PlanLine("x", 0, "41", "empty.cfg"),
         {"store"},
         "vr7lon: plan.csv: line 2: empty.cfg: holds no variables to store\n"},
        {"name,ip,tcp_port,number,file\n" + ok,
         {"read", "--catalog", "nowhere.xml"},
         "vr7lon: catalogue nowhere.xml: "},
        {"name,ip,tcp_port,number,file\n" + ok,
         {"info", "--report", "no/such/folder/r.json"},
         "vr7lon: no/such/folder/r.json: No such file or directory\n"},
        {"name,ip,tcp_port,number,file\n" + ok + PlanLine("again", 0, "41", "demo.cfg"),
         {"store"},
         "vr7lon: plan.csv: lines 2 and 3 may name one device (ok: 127.0.0.1:"},
        // A folder that exists but takes no files (read-only even for root).
        {"name,ip,tcp_port,number,file\n" + ok,
         {"read", "--out", "/proc/self"},
         "vr7lon: --out /proc/self cannot be written: "},
        // A report never overwrites an input of the run, however it is named.
        {"name,ip,tcp_port,number,file\n" + ok,
         {"store", "--report", "./plan.csv"},
         "vr7lon: --report ./plan.csv is the plan of this run: the report would overwrite it\n"},
        {"name,ip,tcp_port,number,file\n" + ok,
         {"verify", "--report", "hardlink.cfg"},
         "vr7lon: --report hardlink.cfg is the file of line 2 of the plan of this run: the "
         "report would overwrite it\n"},
        {"name,ip,tcp_port,number,file\n" + ok,
         {"read", "--catalog", "cat.xml", "--report", "cat.xml"},
         "vr7lon: --report cat.xml is the catalogue of this run: the report would overwrite it\n"},
        {"name,ip,tcp_port,number,file\n" + ok,
         {"verify", "--html", "hardlink.cfg"},
         "vr7lon: --html hardlink.cfg is the file of line 2 of the plan of this run: the "
         "report would overwrite it\n"},
    };
    for (const auto& c : cases) {
        work.Write("plan.csv", c.plan);
        std::vector<std::string> args = {"plan.csv"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = Fleet(args);
        EXPECT_EQ(r.status, exitstatus::Input) << c.plan;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(ReadBytes(work / "plan.csv"), c.plan);
    }
    EXPECT_EQ(ReadBytes(work / "demo.cfg"), ReadBytes(kDemoSettings));
    EXPECT_EQ(ReadBytes(work / "cat.xml"), catalogue);
    EXPECT_EQ(Fleet({"absent.csv", "info"}).err, "vr7lon: absent.csv: No such file or directory\n");
    EXPECT_TRUE(site.site.Requests(0).empty());

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"plan.csv"},
             {"plan.csv", "erase"},
             {"plan.csv", "info", "--jobs", "0"},
             {"plan.csv", "info", "--jobs", "x"},
             {"plan.csv", "info", "--out", ""},
             {"plan.csv", "info", "--report", "r.json", "--html", "./r.json"}})
        EXPECT_EQ(Fleet(args).status, exitstatus::Usage) << args.back();
    EXPECT_TRUE(site.site.Requests(0).empty());
    const CliResult help = Fleet({"--help"});
    EXPECT_EQ(help.status, exitstatus::Ok);
    EXPECT_EQ(help.out.rfind("usage: vr7lon fleet PLAN ACTION", 0), 0u);
}

TEST_F(FleetCli, AProgressLineOnATerminalOnly) {
    AddDevice(51);
    AddDevice(52);
    ASSERT_TRUE(site.Start());
    work.Write("plan.csv",
               "name,ip,tcp_port,number\n" + PlanLine("a", 0, "51") + PlanLine("b", 1, "99"));
    CliResult r = Fleet({"plan.csv", "info"}, true);
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_NE(r.err.find("\rfleet: 2/2 devices, 1 failed"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.back(), '\n');
    r = Fleet({"plan.csv", "info"}, false);
    EXPECT_EQ(r.err, "");
}

}  // namespace
