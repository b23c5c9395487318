// vr7lon's backups of the device's settings: "device store" keeping them, "store --dry-run",
// "device backups" and "device restore", against the simulated device over TCP and a pty.
#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "link/vr7prot.h"
#include "sim/simresponder.h"
#include "tests/cli/support/clitest.h"
#include "tests/common/jsonreader.h"

namespace {

class BackupsCli : public DeviceCliTest {
  protected:
    std::string Held() {
        std::vector<uint8_t> held;
        if (!sim.server->File("DUXGate.cfg", held) && !sim.server->File("duxgate.cfg", held))
            return "<none>";
        return std::string(held.begin(), held.end());
    }
    bool Wrote() { return Requested(cmdWriteBlock); }
};

TEST_P(BackupsCli, StoreKeepsTheDevicesSettingsAndRestoreBringsThemBack) {
    sim.Start(SimDeviceFixture::DemoDevice());
    const std::string demo = ReadBytes(kDemoSettings);
    // A list of the demo's rows but its first.
    const std::string fewer = work.Write("fewer.cfg", demo.substr(demo.find('\n') + 1));

    // What the store would change, with nothing stored.
    CliResult r = Device({"--number", "12", "store", fewer, "--dry-run"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "removed 1t1 from row 1\n");
    EXPECT_FALSE(Wrote());
    r = Device({"--number", "12", "store", kDemoSettings, "--dry-run"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, "");

    r = Device({"--number", "12", "store", fewer});
    ASSERT_EQ(r.status, exitstatus::Ok) << r.err;
    const std::string folder = programDir / "backups/12/";
    ASSERT_EQ(r.out.rfind("backup of duxgate.cfg, 432 bytes: " + folder, 0), 0u) << r.out;
    const std::string backup =
        r.out.substr(r.out.find(folder), r.out.find('\n') - r.out.find(folder));
    EXPECT_EQ(ReadBytes(backup), demo);
    EXPECT_NE(Held(), demo);

    r = Device({"--number", "12", "backups", "--json"});
    ASSERT_EQ(r.status, exitstatus::Ok) << r.err;
    const JsonValue listed = JsonReader::Parse(r.out);
    EXPECT_EQ(listed["schema"].Integer(), 1);
    ASSERT_EQ(listed["backups"].size(), 1u);
    EXPECT_EQ(listed["backups"][0]["path"].String(), backup);
    EXPECT_EQ(listed["backups"][0]["size"].Integer(), 432);
    EXPECT_EQ(listed["backups"][0]["variables"].Integer(), 11);

    // The newest backup goes back, with one of what the device held first.
    sim.server->ClearRequests();
    r = Device({"--number", "12", "restore", "--verify"});
    ASSERT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out.rfind("restoring " + backup + "\n", 0), 0u) << r.out;
    EXPECT_EQ(Held(), demo);
    r = Device({"--number", "12", "verify", backup});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    r = Device({"--number", "12", "backups"});
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
}

TEST_P(BackupsCli, NothingIsStoredWithoutACompleteBackupOrFromABrokenOne) {
    sim.Start(SimDeviceFixture::DemoDevice());
    const std::string demo = ReadBytes(kDemoSettings);

    // A backups folder that cannot be made: named, and the device is not asked.
    work.Write("plain", "x");
    CliResult r =
        Device({"--number", "12", "store", kDemoSettings, "--backup-dir", work / "plain/b"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_NE(r.err.find("Резервная копия настроек шлюза не сохранена: " + work / "plain/b"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Настройки в VR-7 не изменены."), std::string::npos);
    EXPECT_TRUE(sim.server->Requests().empty());

    // A backup cut short in the middle of its first row is refused as any such settings file is:
    // its row has no name.
    work.Write("b/12/2026-01-01_000000.cfg", demo.substr(0, 20));
    r = Device({"--number", "12", "restore", "--backup-dir", work / "b"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_NE(r.err.find("пустое поле \"Var Name\""), std::string::npos) << r.err;
    EXPECT_TRUE(sim.server->Requests().empty());
    EXPECT_EQ(Held(), demo);

    // None yet for another device.
    r = Device({"--number", "13", "restore", "--backup-dir", work / "b"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.err, "vr7lon: device 13 has no backup in " + work / "b" + "\n");
}

INSTANTIATE_TEST_SUITE_P(Transports, BackupsCli, ::testing::Values(Transport::Tcp, Transport::Pty),
                         TransportParamName);

}  // namespace
