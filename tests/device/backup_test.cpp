// The backups a store keeps of the device's gateway settings: the backups folder on its own, and
// the store, preview read and restore against the simulated device over TCP and a pty.
#include "device/backups.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <latch>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "device/devicecommands.h"
#include "device/deviceendpoint.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
#include "link/vr7prot.h"
#include "optlist/xmldocument.h"
#include "sim/simresponder.h"
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

// A device of a line as the store files it.
const BackupDevice kDevice7{"tcp-127.0.0.1-10001", 7};

std::vector<std::string> Names(const std::string& folder, const BackupDevice& device) {
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
        Result<std::string> saved = SaveBackup(policy, kDevice7, step.bytes, step.now);
        ASSERT_TRUE(saved.ok()) << usertext::FailureLine(saved.failure());
        EXPECT_EQ(saved.value(), dir / "b/tcp-127.0.0.1-10001/7/" + step.expectedName);
        EXPECT_EQ(ReadBytes(saved.value()), step.bytes);
    }
    // Three kept: the newest written always among them.
    EXPECT_EQ(Names(policy.folder, kDevice7),
              (std::vector<std::string>{"2026-12-08_090000.cfg", "2026-12-08_102030_3.cfg",
                                        "2026-12-08_102031.cfg"}));
    // No temporary file is left beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(DeviceBackupFolder(policy.folder, kDevice7)),
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
            Result<std::string> saved = SaveBackup(policy, {"serial-ttyUSB0", 3},
                                                   "store " + std::to_string(i), At(10, 20, 30));
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
        dir.Write(std::string("b/tcp-h-1/5/") + name, "F 40001 105 1a C\r\n");
    dir.MakeDir("b/tcp-h-1/5/2026-12-08_111111.cfg");  // a folder is no backup
    const BackupDevice device{"tcp-h-1", 5};
    EXPECT_EQ(Names(dir / "b", device),
              (std::vector<std::string>{"2025-01-01_000000.cfg", "2026-12-08_102030.cfg",
                                        "2026-12-08_102030_9.cfg", "2026-12-08_102030_10.cfg"}));
    const BackupEntry first = ListBackups(dir / "b", device).value().front();
    EXPECT_EQ(first.taken, "2025-01-01 00:00:00");
    EXPECT_EQ(first.size, 18u);
    EXPECT_TRUE(ListBackups(dir / "b", {"tcp-h-1", 6}).value().empty());  // no folder yet: none
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

// A line as its backups' folder is named: readable, a file name's characters only, and one name
// for one line however it is spelt.
TEST(Backups, ALineIsNamedByItsAddressOrItsPortsStableName) {
    struct Case {
        DeviceEndpoint endpoint;
        const char* name;
    };
    const Case cases[] = {
        {{"TCP/IP", "127.0.0.1", "10001"}, "tcp-127.0.0.1-10001"},
        {{"TCP/IP", "127.1", "010001"}, "tcp-127.0.0.1-10001"},
        {{"TCP/IP", "Gate-7.Site.Local", "502"}, "tcp-gate-7.site.local-502"},
        {{"TCP/IP", "::1", "10001"}, "tcp-__1-10001"},
        {{"/dev/vr7 line/ttyUSB9", "", ""}, "serial-vr7_line_ttyUSB9"},
        {{"/tmp/nonexistent-port", "", ""}, "serial-_tmp_nonexistent-port"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.endpoint.LineName(), c.name) << c.endpoint.Text();

    // A port that the system names under by-id is filed under that name, whatever its path now.
    TempDir dir;
    const std::string port = dir.Write("ttyUSB3", "");
    const std::string byId = dir.MakeDir("by-id");
    fs::create_symlink(port, byId + "usb-FTDI_FT232R_USB_UART_A12-if00-port0");
    EXPECT_EQ(SerialLineName(port, byId), "usb-FTDI_FT232R_USB_UART_A12-if00-port0");
    EXPECT_EQ(SerialLineName(dir / "elsewhere2", byId), (dir / "elsewhere2"));
}

// Two stores to one device at once, each keeping only one backup: neither removes the one the
// other has just taken, so both report a backup that is there, and one is always left.
TEST(Backups, TwoStoresAtOnceNeverRemoveEachOthersBackup) {
    TempDir dir;
    const BackupPolicy policy{dir / "b", 1};
    constexpr int kRounds = 50;
    int bothThere = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::latch start(2);
        std::string paths[2];
        std::shared_ptr<BackupHold> holds[2];
        bool there[2] = {false, false};
        std::latch reported(2);  // both report while both are at work
        std::vector<std::thread> stores;
        for (int i = 0; i < 2; ++i) {
            stores.emplace_back([&, i] {
                start.arrive_and_wait();
                Result<std::string> saved =
                    SaveBackup(policy, kDevice7, "round " + std::to_string(round),
                               At(10, 20, round % 60), &holds[i]);
                if (saved) paths[i] = saved.value();
                reported.arrive_and_wait();
                there[i] = !paths[i].empty() && fs::exists(paths[i]);
            });
        }
        for (std::thread& t : stores) t.join();
        bothThere += there[0] && there[1] ? 1 : 0;
        holds[0].reset();
        holds[1].reset();
        ASSERT_FALSE(Names(policy.folder, kDevice7).empty()) << "round " << round;
    }
    EXPECT_EQ(bothThere, kRounds);
    // Once no store holds them, the next one prunes down to what is kept.
    ASSERT_TRUE(SaveBackup(policy, kDevice7, "last", At(11, 0, 0)).ok());
    EXPECT_EQ(Names(policy.folder, kDevice7), (std::vector<std::string>{"2026-12-08_110000.cfg"}));
}

// Settings the device is found with again are not kept twice: the newest backup stands for them
// and records when they were seen. What is kept counts settings, not files.
TEST(Backups, SettingsSeenAgainAreKeptOnceAndRetentionCountsSettings) {
    TempDir dir;
    BackupPolicy policy{dir / "b", 2};
    const std::string folder = DeviceBackupFolder(policy.folder, kDevice7) + "/";
    ASSERT_TRUE(SaveBackup(policy, kDevice7, "A\r\n", At(10, 0, 0)).ok());
    std::shared_ptr<BackupHold> hold;
    const std::string seen = folder + "2026-12-08_100500.cfg";
    EXPECT_EQ(SaveBackup(policy, kDevice7, "A\r\n", At(10, 5, 0), &hold).value(), seen);
    ASSERT_NE(hold, nullptr) << "the backup is held as a new one would be";
    // Held by a store at work, it keeps the name that store reports.
    EXPECT_EQ(SaveBackup(policy, kDevice7, "A\r\n", At(10, 6, 0)).value(), seen);
    EXPECT_EQ(Names(policy.folder, kDevice7), std::vector<std::string>{"2026-12-08_100500.cfg"});
    hold.reset();

    // Another backup of the same size is no match; a later one of the first bytes is new again.
    for (const auto& [bytes, minute] : {std::pair{"B\r\n", 10}, {"C\r\n", 20}, {"A\r\n", 30}})
        ASSERT_TRUE(SaveBackup(policy, kDevice7, bytes, At(10, minute, 0)).ok());
    EXPECT_EQ(Names(policy.folder, kDevice7),
              (std::vector<std::string>{"2026-12-08_102000.cfg", "2026-12-08_103000.cfg"}));

    // Identical backups one after the other (as older versions left them) count once.
    TempDir legacy;
    const BackupPolicy two{legacy / "b", 2};
    const std::pair<const char*, const char*> files[] = {{"2026-12-08_090000.cfg", "A"},
                                                         {"2026-12-08_090100.cfg", "B"},
                                                         {"2026-12-08_090200.cfg", "B"},
                                                         {"2026-12-08_090300.cfg", "B"},
                                                         {"2026-12-08_090400.cfg", "C"}};
    for (const auto& [name, bytes] : files)
        legacy.Write(std::string("b/tcp-127.0.0.1-10001/7/") + name, bytes);
    ASSERT_TRUE(SaveBackup(two, kDevice7, "C", At(9, 5, 0)).ok());
    EXPECT_EQ(Names(two.folder, kDevice7),
              (std::vector<std::string>{"2026-12-08_090100.cfg", "2026-12-08_090200.cfg",
                                        "2026-12-08_090300.cfg", "2026-12-08_090500.cfg"}));
}

// The writer never follows a link planted where a backup or a device's folder will be, and it
// clears the temporary files a killed store left.
TEST(Backups, PlantedLinksAreNeverFollowedAndDeadStoresTempsGo) {
    TempDir dir;
    const BackupPolicy policy{dir / "b", 20};
    const std::string folder = DeviceBackupFolder(policy.folder, kDevice7);
    dir.MakeDir("b/tcp-127.0.0.1-10001/7");
    const std::string outside = dir.Write("outside.cfg", "theirs");
    fs::create_symlink(outside, folder + "/2026-12-08_102030.cfg");
    Result<std::string> saved = SaveBackup(policy, kDevice7, "ours", At(10, 20, 30));
    ASSERT_TRUE(saved.ok()) << usertext::FailureLine(saved.failure());
    EXPECT_EQ(saved.value(), folder + "/2026-12-08_102030_2.cfg");
    EXPECT_EQ(ReadBytes(saved.value()), "ours");
    EXPECT_EQ(ReadBytes(outside), "theirs");

    // A link as the device's or the line's folder is refused, naming it.
    dir.MakeDir("elsewhere");
    fs::create_symlink(dir / "elsewhere", dir / "b/tcp-127.0.0.1-10001/8");
    fs::create_symlink(dir / "elsewhere", dir / "b/serial-ttyS0");
    for (const BackupDevice& linked :
         {BackupDevice{"tcp-127.0.0.1-10001", 8}, BackupDevice{"serial-ttyS0", 1}}) {
        saved = SaveBackup(policy, linked, "ours", At(10, 20, 30));
        ASSERT_FALSE(saved.ok());
        EXPECT_EQ(saved.failure().errorNumber, ELOOP) << saved.failure().path;
    }
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));

    // A temporary file of a store whose process is gone goes; one of a living process stays.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    const std::string dead = ".2026-01-01_000001.cfg.tmp" + std::to_string(child) + "_0";
    const std::string alive = ".2026-01-01_000002.cfg.tmp1_0";
    dir.Write("b/tcp-127.0.0.1-10001/7/" + dead, "half");
    dir.Write("b/tcp-127.0.0.1-10001/7/" + alive, "half");
    ASSERT_TRUE(SaveBackup(policy, kDevice7, "ours", At(10, 20, 31)).ok());
    EXPECT_FALSE(fs::exists(folder + "/" + dead));
    EXPECT_TRUE(fs::exists(folder + "/" + alive));
}

// A backup is stored back only when it is a complete gateway settings file; the reason names the
// line where it is not.
TEST(Backups, OnlyACompleteSettingsFileIsRestorable) {
    const std::string row1 = "F 40001 28                     1q1 C\r\n";
    const std::string flags = "B 40003 83                     1q1f\r\n";
    const std::string row2 = "F 40004 105                    1t2 C\r\n";
    const std::string whole = row1 + flags + row2;
    struct Case {
        const char* what;
        std::string bytes;
        std::string reason;  // empty: restorable
    };
    const Case cases[] = {
        {"whole", whole, ""},
        {"cut in a row", whole.substr(0, row1.size() + 20), U(usertext::BackupCut(2))},
        {"cut before the last line end", whole.substr(0, whole.size() - 1),
         U(usertext::BackupCut(3))},
        {"binary garbage line", row1 + std::string("\x01\x02\xfe\x00garbage\r\n", 13) + row2,
         U(usertext::BackupBadByte(2, 0x01))},
        {"a line the reader skips", row1 + "X 1 2 3\r\n" + row2, U(usertext::BackupBadLine(2))},
        {"empty", "", U(usertext::BackupEmpty())},
        {"no rows", "\r\n", U(usertext::BackupNoRows())},
    };
    for (const Case& c : cases) {
        const Status checked = CheckBackupBytes(c.bytes);
        EXPECT_EQ(checked.ok(), c.reason.empty()) << c.what;
        if (!checked.ok()) {
            EXPECT_EQ(checked.failure().detail, c.reason) << c.what;
        }
    }
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

    // The backup stored back as it is (with a backup of its own first), checked by a verify.
    Result<std::string> restored = ReadBackupForRestore(stored.backup.path);
    ASSERT_TRUE(restored.ok()) << usertext::FailureLine(restored.failure());
    request.verify = true;
    request.asIs = restored.value();
    const DeviceStore back = StoreAndVerify(conn, number, SnvtList(noCatalogue), request);
    ASSERT_TRUE(back.status.ok()) << usertext::FailureLine(back.status.failure());
    EXPECT_EQ(Held(), before);
    EXPECT_EQ(ReadBytes(back.backup.path), afterFirst);
    const DeviceVerify verified = VerifyGatewayFile(conn, number, before, nullptr);
    EXPECT_TRUE(verified.status.ok());
    EXPECT_EQ(Names(policy.folder, BackupDeviceOf(conn, 12)).size(), 2u);
}

// Previews declined and stores of a list the device holds already leave one backup of each of
// the device's settings, and each store names the one its settings are in.
TEST_P(StoreWithBackup, DeclinedPreviewsAndRepeatedStoresKeepOneBackupOfEachSettings) {
    for (int declined = 0; declined < 2; ++declined) {
        const DeviceCurrentFile current = ReadCurrentGatewayFile(conn, number, &policy, nullptr);
        EXPECT_EQ(ReadBytes(current.backup.path), before);
    }
    const DeviceStore stored = StoreAndVerify(conn, number, list, request);
    ASSERT_TRUE(stored.status.ok());
    EXPECT_EQ(ReadBytes(stored.backup.path), before);
    EXPECT_EQ(Names(policy.folder, BackupDeviceOf(conn, 12)).size(), 1u);
    const std::string storedBytes = Held();
    std::string last;
    for (int again = 0; again < 2; ++again) {
        const DeviceStore repeated = StoreAndVerify(conn, number, list, request);
        ASSERT_TRUE(repeated.status.ok());
        EXPECT_EQ(ReadBytes(repeated.backup.path), storedBytes);
        last = repeated.backup.path;
    }
    const std::vector<BackupEntry> kept =
        ListBackups(policy.folder, BackupDeviceOf(conn, 12)).value();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(ReadBytes(kept[0].path), before);
    EXPECT_EQ(kept[1].path, last);
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
    EXPECT_TRUE(Names(policy.folder, BackupDeviceOf(conn, 12)).empty());
}

TEST_P(StoreWithBackup, ADeviceWithoutSettingsIsNotedAndStored) {
    server->With([](SimResponder& s) { return s.Device().files.erase("DUXGATE.CFG"); });
    const DeviceStore stored = StoreAndVerify(conn, number, list, request);
    ASSERT_TRUE(stored.status.ok());
    EXPECT_TRUE(stored.backup.read);
    EXPECT_FALSE(stored.backup.hadFile);
    EXPECT_EQ(stored.backup.path, "");
    EXPECT_TRUE(Names(policy.folder, BackupDeviceOf(conn, 12)).empty());
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

// Only the device's answer that it has no such file lets a store go on without a backup; any other
// refusal or odd answer to the backup's open stops it before anything is uploaded.
TEST_P(StoreWithBackup, OnlyNoSuchFileLetsAStoreGoOnWithoutABackup) {
    struct Case {
        const char* what;
        SimFault fault;
        bool stores;
    };
    const Case cases[] = {
        {"no such file", {SimFaultKind::Refuse, cmdOpenFile, -1, 0, 1, kRefusedNoSuchFile}, true},
        {"refused 0x10", {SimFaultKind::Refuse, cmdOpenFile, -1, 0, 1, 0x10}, false},
        {"refused 0x15", {SimFaultKind::Refuse, cmdOpenFile, -1, 0, 1, 0x15}, false},
        {"refused 0x04", {SimFaultKind::Refuse, cmdOpenFile, -1, 0, 1, 0x04}, false},
        {"another command's answer",
         {SimFaultKind::Refuse, cmdOpenFile, -1, 0, 1, cmdIdentify},
         false},
        {"wrong command byte", {SimFaultKind::WrongCommand, cmdOpenFile, -1, 0, 1, 0}, false},
        {"an open answer without a size", {SimFaultKind::CutData, cmdOpenFile, -1, 0, 1, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server->With([this](SimResponder& s) {
            s.Device().files.clear();
            s.Device().files["duxgate.cfg"].assign(before.begin(), before.end());
            return true;
        });
        server->SetFaults({c.fault});
        server->ClearRequests();
        const DeviceStore stored = StoreAndVerify(conn, number, list, request);
        const std::vector<int> commands = Commands();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), cmdWriteBlock) > 0, c.stores);
        EXPECT_TRUE(Names(policy.folder, BackupDeviceOf(conn, 12)).empty());
        EXPECT_EQ(stored.step, c.stores ? DeviceStep::Done : DeviceStep::Backup);
        if (!c.stores) {
            EXPECT_EQ(Held("duxgate.cfg"), before);
        }
    }
}

// Two devices numbered alike on two lines: each one's backups are its own, and the newest backup
// of one is never the other's settings.
TEST_P(StoreWithBackup, DevicesNumberedAlikeOnTwoLinesKeepTheirOwnBackups) {
    SimPeer other;
    SimDevice second = DemoSimDevice();
    const std::string theirs = "F 40001 105 2t1                    Other C\r\n";
    second.files.clear();
    second.files["duxgate.cfg"].assign(theirs.begin(), theirs.end());
    ASSERT_TRUE(other.Start(std::move(second), GetParam()));
    connection otherConn;
    other.PointAt(otherConn);
    uint32_t otherNumber = 12;
    policy.keep = 1;
    ASSERT_TRUE(StoreAndVerify(conn, number, list, request).status.ok());
    ASSERT_TRUE(StoreAndVerify(otherConn, otherNumber, list, request).status.ok());

    const BackupDevice mine = BackupDeviceOf(conn, 12);
    const BackupDevice its = BackupDeviceOf(otherConn, 12);
    ASSERT_NE(mine.line, its.line);
    ASSERT_EQ(Names(policy.folder, mine).size(), 1u);
    ASSERT_EQ(Names(policy.folder, its).size(), 1u);
    EXPECT_EQ(ReadBytes(ListBackups(policy.folder, mine).value()[0].path), before);
    EXPECT_EQ(ReadBytes(ListBackups(policy.folder, its).value()[0].path), theirs);
}

INSTANTIATE_TEST_SUITE_P(Transports, StoreWithBackup,
                         ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

}  // namespace
