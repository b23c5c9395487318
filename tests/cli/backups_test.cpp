// vr7lon's backups of the device's settings: "device store" keeping them, "store --dry-run",
// "device backups" and "device restore", against the simulated device over TCP and a pty.
#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "device/backups.h"
#include "device/devicecommands.h"
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
    // The simulator's line as the backups folder names it.
    std::string Line() {
        connection conn;
        sim.PointAt(conn);
        return BackupDeviceOf(conn, 12).line;
    }
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
    const std::string folder = programDir / ("backups/" + Line() + "/12/");
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
    // The message with the folder, then why (the system's words), then that nothing changed.
    const std::string notSaved = U(usertext::BackupNotSaved(work / "plain/b", Utf8String()));
    const size_t reasonAt = notSaved.find('\n') - 2;
    EXPECT_NE(r.err.find(notSaved.substr(0, reasonAt)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(notSaved.substr(reasonAt + 3)), std::string::npos) << r.err;
    EXPECT_TRUE(sim.server->Requests().empty());

    // A backup cut short is refused with the reader's reason before the device is asked.
    const std::string cut = "b/" + Line() + "/12/2026-01-01_000001.cfg";
    work.Write(cut, demo.substr(0, 200));
    r = Device({"--number", "12", "restore", "2026-01-01_000001.cfg", "--backup-dir", work / "b"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.err, "vr7lon: " + work / cut + ": " + U(usertext::BackupCut(6)) + "\n");
    EXPECT_TRUE(sim.server->Requests().empty());
    EXPECT_EQ(Held(), demo);

    // None yet for another device.
    r = Device({"--number", "13", "restore", "--backup-dir", work / "b"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.err, "vr7lon: device 13 has no backup in " + work / ("b/" + Line() + "/13") + "\n");
}

// A bare name is a backup of the device's own folder, never a file of the working folder; a path
// is that file. A backup filed by number alone is listed as "line unknown" and stored back only by
// its path.
TEST_P(BackupsCli, ABareNameIsTheDevicesBackupAndAnOldOneIsRestoredOnlyByPath) {
    sim.Start(SimDeviceFixture::DemoDevice());
    const std::string demo = ReadBytes(kDemoSettings);
    const std::string fewer = demo.substr(demo.find('\n') + 1);
    const std::string name = "2026-01-01_000001.cfg";
    work.Write("b/" + Line() + "/12/" + name, fewer);
    work.Write(name, "F 40001 105                    9z9 C\r\n");  // another device's
    const std::string old = work.Write("b/12/2025-06-01_120000.cfg", demo);

    CliResult r = Device({"--number", "12", "backups", "--backup-dir", work / "b"});
    ASSERT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, Line() + "\t12\t2026-01-01 00:00:01\t" + std::to_string(fewer.size()) +
                         " bytes\t10 variables\t" + work / ("b/" + Line() + "/12/" + name) +
                         "\nline unknown\t12\t2025-06-01 12:00:00\t432 bytes\t11 variables\t" +
                         old + "\n");
    r = Device({"--number", "12", "backups", "--json", "--backup-dir", work / "b"});
    const JsonValue listed = JsonReader::Parse(r.out);
    ASSERT_EQ(listed["backups"].size(), 2u);
    EXPECT_EQ(listed["backups"][0]["line"].String(), Line());
    EXPECT_TRUE(listed["backups"][1]["line"].IsNull());

    struct Case {
        std::string backup;
        std::string restored;
    };
    const Case cases[] = {
        {name, fewer}, {"./" + name, "F 40001 105                    9z9 C\r\n"}, {old, demo}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.backup);
        r = Device(
            {"--number", "12", "restore", c.backup, "--no-backup", "--backup-dir", work / "b"});
        ASSERT_EQ(r.status, exitstatus::Ok) << r.err;
        EXPECT_EQ(Held(), c.restored);
    }
    // Without a name, the newest of the device's own folder: never the line unknown's.
    r = Device({"--number", "12", "restore", "--no-backup", "--backup-dir", work / "b"});
    ASSERT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(Held(), fewer);
}

// A backup's download refused for any reason but "no such file" stops the store: exit 4, the
// code named, and how to store without a backup.
TEST_P(BackupsCli, ARefusedBackupStopsTheStoreAndNamesTheWayOn) {
    sim.Start(SimDeviceFixture::DemoDevice());
    sim.server->SetFaults({SimFault{SimFaultKind::Refuse, cmdOpenFile, -1, 0, 1, 0x10}});
    CliResult r = Device({"--number", "12", "store", kDemoSettings});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_NE(r.err.find("duxgate.cfg: result 16"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("vr7lon: nothing was stored; --no-backup stores without a backup\n"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(Wrote());
}

INSTANTIATE_TEST_SUITE_P(Transports, BackupsCli, ::testing::Values(Transport::Tcp, Transport::Pty),
                         TransportParamName);

}  // namespace
