// --json on tree, list, device info and device tree: the documents for the demo data, and
// failures that keep their statuses and their text on stderr.
#include <filesystem>

#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "link/vr7frame.h"
#include "tests/cli/support/clitest.h"

namespace {

namespace fs = std::filesystem;

// The expected documents, checked with a JSON parser when they were written.
std::string Expected(const std::string& name) {
    return ReadBytes(VR7_SOURCE_DIR "/tests/cli/expected/" + name);
}

const std::string kIncomplete = "{\n  \"complete\": false,\n  \"nodes\": [\n";

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
    EXPECT_EQ(r.err,
              "vr7lon: Ошибка чтения!!!\n"
              "vr7lon: неверная контрольная сумма в ответе прибора № 12\n");

    r = Device({"--number", "13", "info", "--json"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("VR-7 не подключен!!! (result 10"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Tcp, JsonDevice, ::testing::Values(Transport::Tcp), TransportParamName);

}  // namespace
