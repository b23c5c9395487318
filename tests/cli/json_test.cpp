// --json on tree, list, device info and device tree: the documents for the demo data, and
// failures that keep their statuses and their text on stderr; every JSON document vr7lon prints
// opens with its schema and has lower-case keys. list --csv prints the core's CSV table.
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "gateway/gatewayfile.h"
#include "gateway/listcsv.h"
#include "gateway/snvtlist.h"
#include "link/vr7frame.h"
#include "optlist/xmldocument.h"
#include "tests/cli/support/clitest.h"
#include "tests/common/jsonreader.h"

namespace {

namespace fs = std::filesystem;

// The expected documents, checked with a JSON parser when they were written.
std::string Expected(const std::string& name) {
    return ReadBytes(VR7_SOURCE_DIR "/tests/cli/expected/" + name);
}

const std::string kIncomplete = "{\n  \"schema\": 1,\n  \"complete\": false,\n  \"nodes\": [\n";

// Keys of scripts' documents: lower-case words joined by '_', never a column's caption.
bool IsSnakeCase(const std::string& key) {
    if (key.empty() || key.front() == '_' || key.back() == '_') return false;
    for (char c : key) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
    }
    return true;
}

// Every key of the value and of the values it holds that is not snake_case.
void CollectBadKeys(const JsonValue& value, std::vector<std::string>& bad) {
    if (value.type() == JsonValue::Type::Object) {
        for (const std::string& key : value.Keys()) {
            if (!IsSnakeCase(key)) bad.push_back(key);
            CollectBadKeys(value[key], bad);
        }
    } else if (value.type() == JsonValue::Type::Array) {
        for (const JsonValue& item : value.Items()) CollectBadKeys(item, bad);
    }
}

class JsonOffline : public ::testing::Test {
  protected:
    JsonOffline() { fs::copy_file(kDemoCatalogue, dir / "calcbank.xml"); }
    CliResult Run(const std::vector<std::string>& args) { return RunCli(args, dir.Path()); }

    TempDir dir;
    WorkingDirectory cwd{dir.Path()};
};

TEST_F(JsonOffline, TreeAndListOfTheDemoData) {
    CliResult r = Run({"tree", kDemoFolder, "--json"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, Expected("tree.json"));
    EXPECT_EQ(r.err, "");

    r = Run({"list", "--json", kDemoSettings});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, Expected("list.json"));
    EXPECT_EQ(r.err, "");
}

TEST_F(JsonOffline, ListCsvPrintsTheCoresTableAndExcludesJson) {
    CliResult r = Run({"list", kDemoSettings, "--csv"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.err, "");
    XmlDocument noCatalogue;
    SnvtList list(noCatalogue);
    ASSERT_TRUE(LoadGatewayFileAt(list, kDemoSettings).ok());
    EXPECT_EQ(r.out, ListCsvText(list));

    r = Run({"list", kDemoSettings, "--csv", "--json"});
    EXPECT_EQ(r.status, exitstatus::Usage);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--json and --csv"), std::string::npos) << r.err;
}

TEST_F(JsonOffline, FailuresKeepTheirStatusesAndTexts) {
    // A partial tree is printed, marked incomplete.
    fs::copy(kDemoFolder, dir / "vr7_5", fs::copy_options::recursive);
    fs::remove(dir / "vr7_5/CONFIG/gvs.xms");
    CliResult r = Run({"tree", dir / "vr7_5", "--json"});
    EXPECT_EQ(r.status, exitstatus::Partial);
    EXPECT_EQ(r.out.rfind(kIncomplete, 0), 0u) << r.out;
    EXPECT_EQ(r.err, Run({"tree", dir / "vr7_5"}).err);

    r = Run({"list", dir / "missing.cfg", "--json"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("missing.cfg: No such file"), std::string::npos) << r.err;
}

class JsonDevice : public DeviceCliTest {};

TEST_P(JsonDevice, InfoAndTreeOfTheDemoDevice) {
    sim.Start(SimDeviceFixture::DemoDevice());
    CliResult r = Device({"--number", "0", "info", "--json"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, Expected("deviceinfo.json"));

    r = Device({"--number", "12", "tree", "--json"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, Expected("devicetree.json"));
    EXPECT_EQ(r.err, "");

    sim.server->SetFaults({SimFault{SimFaultKind::BadCheck, cmdReadEntry, 3, 0, 5}});
    r = Device({"--number", "12", "tree", "--json"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.out.rfind(kIncomplete, 0), 0u) << r.out;
    EXPECT_EQ(r.err, "vr7lon: " + U(usertext::ReadError()) +
                         "\nvr7lon: " + U(usertext::BadCheckCause(12)) + "\n");

    r = Device({"--number", "13", "info", "--json"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(U(usertext::NotConnected()) + " (result 10"), std::string::npos) << r.err;
}

TEST_P(JsonDevice, EveryDocumentOpensWithItsSchemaAndHasLowerCaseKeys) {
    sim.Start(SimDeviceFixture::DemoDevice());
    work.Write("plan.csv", "name,ip,tcp_port,number\nboiler,127.0.0.1," +
                               std::to_string(sim.server->TcpPort()) + ",12\n");
    const struct {
        const char* what;
        std::function<std::string()> document;
    } cases[] = {
        {"tree",
         [&] {
             return RunCli({"tree", kDemoFolder, "--json"}, programDir.Path()).out;
         }},
        {"list",
         [&] {
             return RunCli({"list", kDemoSettings, "--json"}, programDir.Path()).out;
         }},
        {"device info",
         [&] {
             return Device({"--number", "12", "info", "--json"}).out;
         }},
        {"device tree",
         [&] {
             return Device({"--number", "12", "tree", "--json"}).out;
         }},
        {"ports",
         [&] {
             return RunCli({"ports", "--json"}, programDir.Path()).out;
         }},
        {"device backups",
         [&] {
             // One backup of each kind: readable, and cut short in its first row.
             const std::string demo = ReadBytes(kDemoSettings);
             work.Write("bk/12/2026-01-02_030405.cfg", demo);
             work.Write("bk/12/2026-01-02_030405_2.cfg", demo.substr(0, 20));
             const CliResult r =
                 Device({"--number", "12", "backups", "--backup-dir", "bk", "--json"});
             EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
             const JsonValue listed = JsonReader::Parse(r.out);
             EXPECT_EQ(listed["backups"].size(), 2u);
             for (const JsonValue& b : listed["backups"].Items())
                 EXPECT_EQ(b.Keys(),
                           (std::vector<std::string>{"line", "device", "taken", "name", "path",
                                                     "size", "variables", "problem"}));
             return r.out;
         }},
        {"fleet report",
         [&] {
             const CliResult r = RunCli({"fleet", "plan.csv", "info", "--report", "report.json"},
                                        programDir.Path());
             EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
             return ReadBytes(work / "report.json");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const JsonValue document = JsonReader::Parse(c.document());
        ASSERT_FALSE(document.Keys().empty());
        EXPECT_EQ(document.Keys().front(), "schema");
        EXPECT_EQ(document["schema"].NumberText(), "1");
        std::vector<std::string> bad;
        CollectBadKeys(document, bad);
        EXPECT_TRUE(bad.empty()) << ::testing::PrintToString(bad);
    }
}

INSTANTIATE_TEST_SUITE_P(Tcp, JsonDevice, ::testing::Values(Transport::Tcp), TransportParamName);

}  // namespace
