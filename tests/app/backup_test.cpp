// The backups a store keeps of the device's gateway settings: the backups folder on its own, and
// the store, preview read and restore against the simulated device over TCP and a pty.
#include "app/backups.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "app/devicecommands.h"
#include "app/gatewayfile.h"
#include "app/messages.h"
#include "app/snvtlist.h"
#include "link/vr7prot.h"
#include "optlist/xmldocument.h"
#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"

namespace {

namespace fs = std::filesystem;

// 2026-12-08 10:20:30 local time.
std::time_t At(int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::vector<std::string> Names(const std::string& folder, uint32_t device) {
    Result<std::vector<BackupEntry>> listed = ListBackups(folder, device);
    EXPECT_TRUE(listed.ok());
    std::vector<std::string> names;
    if (listed)
        for (const BackupEntry& e : listed.value()) names.push_back(e.name);
    return names;
}

TEST(Backups, NamesNeverCollideAndTheOldestBeyondTheLimitGo) {
    TempDir dir;
    BackupPolicy policy{dir / "b", 3};
    struct Step {
        std::time_t now;
        std::string bytes;
        std::string expectedName;
    };
    const Step steps[] = {
        {At(10, 20, 30), "one", "2026-12-08_102030.cfg"},
        {At(10, 20, 30), "two", "2026-12-08_102030_2.cfg"},  // the same second
        {At(10, 20, 31), "three", "2026-12-08_102031.cfg"},
        // The clock went back to a second already taken: a counter, and the new one stays
        // although its name sorts before the others.
        {At(10, 20, 30), "four", "2026-12-08_102030_3.cfg"},
        {At(9, 0, 0), "five", "2026-12-08_090000.cfg"},
    };
    for (const Step& step : steps) {
        Result<std::string> saved = SaveBackup(policy, 7, step.bytes, step.now);
        ASSERT_TRUE(saved.ok()) << usertext::FailureLine(saved.failure());
        EXPECT_EQ(saved.value(), DeviceBackupFolder(policy.folder, 7) + "/" + step.expectedName);
        EXPECT_EQ(ReadBytes(saved.value()), step.bytes);
    }
    // Three kept: the newest written always among them.
    EXPECT_EQ(Names(policy.folder, 7),
              (std::vector<std::string>{"2026-12-08_090000.cfg", "2026-12-08_102030_3.cfg",
                                        "2026-12-08_102031.cfg"}));
    // No temporary file is left beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(DeviceBackupFolder(policy.folder, 7)),
                            fs::directory_iterator()),
              3);
}

// Two stores to one device at once (two windows, a window and a fleet): each backup gets a name
// of its own, even within one second.
TEST(Backups, StoresAtOnceKeepEveryBackup) {
    TempDir dir;
    const BackupPolicy policy{dir / "b", 100};
    constexpr int kStores = 8;
    std::vector<std::string> paths(kStores);
    std::vector<std::thread> stores;
    for (int i = 0; i < kStores; ++i) {
        stores.emplace_back([&, i] {
            Result<std::string> saved =
                SaveBackup(policy, 3, "store " + std::to_string(i), At(10, 20, 30));
            if (saved) paths[static_cast<size_t>(i)] = saved.value();
        });
    }
    for (std::thread& t : stores) t.join();
    std::set<std::string> distinct(paths.begin(), paths.end());
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kStores));
    for (int i = 0; i < kStores; ++i)
        EXPECT_EQ(ReadBytes(paths[static_cast<size_t>(i)]), "store " + std::to_string(i));
}

TEST(Backups, ListingOrdersByTimeThenCounterAndSkipsOtherFiles) {
    TempDir dir;
    for (const char* name : {"2026-12-08_102030_10.cfg", "2026-12-08_102030_9.cfg",
                             "2026-12-08_102030.cfg", "2025-01-01_000000.cfg", "notes.txt",
                             "2026-12-08_102030_1.cfg", "2026-12-08_1020.cfg", "x.cfg"})
        dir.Write(std::string("b/5/") + name, "F 40001 105 1a C\r\n");
    dir.MakeDir("b/5/2026-12-08_111111.cfg");  // a folder is no backup
    EXPECT_EQ(Names(dir / "b", 5),
              (std::vector<std::string>{"2025-01-01_000000.cfg", "2026-12-08_102030.cfg",
                                        "2026-12-08_102030_9.cfg", "2026-12-08_102030_10.cfg"}));
    const BackupEntry first = ListBackups(dir / "b", 5).value().front();
    EXPECT_EQ(first.taken, "2025-01-01 00:00:00");
    EXPECT_EQ(first.size, 18u);
    EXPECT_TRUE(ListBackups(dir / "b", 6).value().empty());  // no folder yet: none
}

TEST(Backups, AFolderThatCannotBeMadeIsNamed) {
    TempDir dir;
    dir.Write("file", "x");
    const Status ready = PrepareBackupFolder(dir / "file/backups");
    ASSERT_FALSE(ready.ok());
    EXPECT_EQ(ready.failure().kind, FailureKind::File);
    EXPECT_EQ(ready.failure().path, dir / "file/backups");
    EXPECT_TRUE(PrepareBackupFolder(dir / "new/deep/backups").ok());
    EXPECT_TRUE(fs::is_directory(dir / "new/deep/backups"));
}

TEST(Backups, TheDefaultFolderFollowsTheCopy) {
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    EXPECT_EQ(DefaultBackupFolder("/opt/v/", false), "/opt/v/backups");
    ::setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(DefaultBackupFolder("/usr/bin/", true), "/data/vr7loncfgmaker/backups");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(DefaultBackupFolder("/usr/bin/", true),
              "/home/u/.local/share/vr7loncfgmaker/backups");
    ::setenv("HOME", savedHome.c_str(), 1);
}

class StoreWithBackup : public ::testing::TestWithParam<Transport>, protected SimPeer {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SimPeer::Start(DemoSimDevice(), GetParam()));
        PointAt(conn);
        std::vector<uint8_t> held;
        ASSERT_TRUE(server->File("duxgate.cfg", held));
        before.assign(held.begin(), held.end());
        // A new list: the device's own without its first row.
        const size_t firstLine = before.find('\n');
        ASSERT_NE(firstLine, std::string::npos);
        ASSERT_TRUE(LoadGatewayBytes(list, before.substr(firstLine + 1)).ok());
        request.workingCopy = dir / "DUXGate.cfg";
        request.backup = &policy;
    }

    std::string Held(const std::string& name = "DUXGate.cfg") {
        std::vector<uint8_t> held;
        if (!server->File(name, held)) return "<none>";
        return std::string(held.begin(), held.end());
    }

    TempDir dir;
    BackupPolicy policy{dir / "backups", 20};
    XmlDocument noCatalogue;
    SnvtList list{noCatalogue};
    StoreRequest request;
    connection conn;
    uint32_t number = 12;
    std::string before;
};

TEST_P(StoreWithBackup, KeepsTheDevicesBytesThenRestoreBringsThemBack) {
    const DeviceStore stored = StoreAndVerify(conn, number, list, request);
    ASSERT_TRUE(stored.status.ok()) << usertext::FailureLine(stored.status.failure());
    ASSERT_TRUE(stored.backup.hadFile);
    EXPECT_EQ(ReadBytes(stored.backup.path), before);
    EXPECT_EQ(stored.backup.bytes, before);
    const std::string afterFirst = Held();
    EXPECT_NE(afterFirst, before);

    // The backup stored back (with a backup of its own first), checked by a verify.
    SnvtList restored(noCatalogue);
    ASSERT_TRUE(LoadGatewayFileAt(restored, stored.backup.path).ok());
    request.verify = true;
    const DeviceStore back = StoreAndVerify(conn, number, restored, request);
    ASSERT_TRUE(back.status.ok()) << usertext::FailureLine(back.status.failure());
    EXPECT_EQ(Held(), before);
    EXPECT_EQ(ReadBytes(back.backup.path), afterFirst);
    const DeviceVerify verified = VerifyGatewayFile(conn, number, before, nullptr);
    EXPECT_TRUE(verified.status.ok());
    EXPECT_EQ(Names(policy.folder, 12).size(), 2u);
}

TEST_P(StoreWithBackup, AFailedBackupLeavesTheDeviceUntouched) {
    // No place for the backup: the device is not even asked.
    dir.Write("backups", "a file where the folder should be");
    DeviceStore stored = StoreAndVerify(conn, number, list, request);
    EXPECT_EQ(stored.step, DeviceStep::Backup);
    EXPECT_EQ(stored.status.failure().kind, FailureKind::File);
    EXPECT_TRUE(server->Requests().empty());

    // The download of the device's file breaks: nothing is uploaded.
    fs::remove(dir / "backups");
    server->SetFaults({SimFault{SimFaultKind::Refuse, cmdReadBlock, -1, 0, -1, kSimNoTransfer}});
    stored = StoreAndVerify(conn, number, list, request);
    EXPECT_EQ(stored.step, DeviceStep::Backup);
    EXPECT_EQ(stored.status.failure().kind, FailureKind::Link);
    const std::vector<int> commands = Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), cmdWriteBlock), 0);
    EXPECT_EQ(Held("duxgate.cfg"), before);
    EXPECT_TRUE(Names(policy.folder, 12).empty());
}

TEST_P(StoreWithBackup, ADeviceWithoutSettingsIsNotedAndStored) {
    server->With([](SimResponder& s) { return s.Device().files.erase("DUXGATE.CFG"); });
    const DeviceStore stored = StoreAndVerify(conn, number, list, request);
    ASSERT_TRUE(stored.status.ok());
    EXPECT_TRUE(stored.backup.read);
    EXPECT_FALSE(stored.backup.hadFile);
    EXPECT_EQ(stored.backup.path, "");
    EXPECT_TRUE(Names(policy.folder, 12).empty());
    EXPECT_NE(Held(), "<none>");
}

// Without a backup the store's frames are those of a store alone; with one, the backup's
// download comes between the identification and the upload and changes nothing else.
TEST_P(StoreWithBackup, WithoutABackupTheFramesAreTheStoresAlone) {
    request.backup = nullptr;
    ASSERT_TRUE(StoreAndVerify(conn, number, list, request).status.ok());
    const std::vector<std::vector<uint8_t>> plain = server->Requests();
    EXPECT_EQ(std::count_if(plain.begin(), plain.end(),
                            [](const auto& f) { return FrameCommand(f.data()) == cmdReadBlock; }),
              0);

    server->ClearRequests();
    request.backup = &policy;
    ASSERT_TRUE(StoreAndVerify(conn, number, list, request).status.ok());
    std::vector<std::vector<uint8_t>> backedUp = server->Requests();
    // The backup's exchanges: the open of duxgate.cfg for reading and its blocks.
    const auto firstRead = std::find_if(backedUp.begin(), backedUp.end(), [](const auto& f) {
        return FrameCommand(f.data()) == cmdReadBlock;
    });
    ASSERT_NE(firstRead, backedUp.end());
    const auto open = firstRead - 1;
    ASSERT_EQ(FrameCommand(open->data()), cmdOpenFile);
    auto afterReads = std::find_if(firstRead, backedUp.end(), [](const auto& f) {
        return FrameCommand(f.data()) != cmdReadBlock;
    });
    backedUp.erase(open, afterReads);
    EXPECT_EQ(backedUp, plain);
}

TEST_P(StoreWithBackup, ThePreviewReadKeepsOrOnlyReads) {
    DeviceCurrentFile current = ReadCurrentGatewayFile(conn, number, nullptr, nullptr);
    ASSERT_TRUE(current.status.ok());
    EXPECT_EQ(current.backup.bytes, before);
    EXPECT_EQ(current.backup.path, "");
    EXPECT_FALSE(fs::exists(policy.folder));

    current = ReadCurrentGatewayFile(conn, number, &policy, nullptr);
    ASSERT_TRUE(current.status.ok());
    EXPECT_EQ(ReadBytes(current.backup.path), before);
    const std::vector<int> commands = Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), cmdWriteBlock), 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, StoreWithBackup,
                         ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

}  // namespace
