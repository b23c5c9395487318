// The device commands against the simulated device, over TCP on 127.0.0.1 and over a pty. The
// local files of the commands live in the working directory, so each test runs in its own.
#include "device/devicecommands.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "base/cp1251.h"
#include "gateway/gatewayfile.h"
#include "gateway/maxvariables.h"
#include "link/connection.h"
#include "link/vr7prot.h"
#include "sim/simfolder.h"
#include "sim/simserver.h"
#include "tests/common/commandtext.h"
#include "tests/common/simpeer.h"
#include "tests/common/testtext.h"
#include "tests/gateway/support/listfixture.h"

namespace {

const char kDemoConfig[] = VR7_SOURCE_DIR "/examples/vr7_12/CONFIG/";
const char kDemoCatalogue[] = VR7_SOURCE_DIR "/examples/calcbank.xml";
const std::string kReadAgain = usertext::ReadAgainStep().bytes();
const std::string kIncomplete = usertext::DeviceSettingsIncomplete().bytes();

struct Messages : IMessageSink {
    void ShowMessage(const Cp1251String& text) override { texts.push_back(text.bytes()); }
    std::vector<std::string> texts;
};

struct Progress : IProgressSink {
    void ShowProgress(const std::string& text, float fraction) override {
        EXPECT_EQ(text, "");
        fractions.push_back(fraction);
    }
    std::vector<float> fractions;
};

SimDevice DemoDevice() {
    return DemoSimDevice();
}

int CountLeaves(const CfgTree& tree) {
    int leaves = 0;
    tree.ForEach([&](const TreeNode& n) { leaves += n.Level() == 2 ? 1 : 0; });
    return leaves;
}

class DeviceCommands : public ::testing::TestWithParam<Transport>, protected SimPeer {
  protected:
    DeviceCommands() : list(catalogue), folderList(catalogue) {
        catalogue.SetFileName(kDemoCatalogue);
        EXPECT_TRUE(catalogue.Load().ok());
        list.SetMaxVariables(LoadMaxVariables(catalogue).value_or(0));
        EXPECT_TRUE(LoadGatewayFile(folderList, kDemoConfig).ok());
    }

    void Start(SimDevice device) {
        const bool started = SimPeer::Start(std::move(device), GetParam());
        // The command opens the link itself, from the settings as the window keeps them. They
        // point at the simulator even when it failed to start, so that no command can reach for
        // the default serial port or address.
        PointAt(conn);
        ASSERT_TRUE(started);
    }

    DeviceCommandTarget Target() { return {conn, number}; }
    DeviceReadResult Read() {
        return Shown(ReadFromDevice(Target(), tree, list, &catalogue, &progress), messages);
    }
    DeviceStoreResult Store(const DeviceCommandTarget& target, const SnvtList& rows) {
        return Shown(::Store(target, rows), messages);
    }

    // Something on show before a command, to see whether the command replaced it.
    void ShowEarlierConfiguration() {
        tree.AddRoot("earlier", nullptr);
        ASSERT_TRUE(list.AppendRowFromFile("1old", {"40001", "F", "105", "x"}));
    }

    bool Requested(uint8_t command) {
        const auto commands = Commands();
        return std::find(commands.begin(), commands.end(), command) != commands.end();
    }

    TempDir dir;
    WorkingDirectory cwd{dir.Path()};
    XmlDocument catalogue;
    SnvtList list;
    SnvtList folderList;  // the demo folder's own settings file, for comparison
    CfgTree tree;
    connection conn;
    uint32_t number = 12;
    Messages messages;
    Progress progress;
};

TEST_P(DeviceCommands, ReadGivesTheDevicesTreeAndItsSettingsFile) {
    Start(DemoDevice());
    const DeviceReadResult r = Read();
    EXPECT_EQ(r.outcome, DeviceReadOutcome::Read);
    EXPECT_EQ(r.download, GatewayDownload::Loaded);
    EXPECT_TRUE(messages.texts.empty());

    ASSERT_NE(tree.FirstRoot(), nullptr);
    EXPECT_EQ(tree.FirstRoot()->Text, W("VR7 №12"));
    ASSERT_EQ(tree.FirstRoot()->Children.size(), 3u);
    EXPECT_EQ(tree.FirstRoot()->Children[0]->Text, W("Система №1 Котельная"));
    EXPECT_EQ(CountLeaves(tree), 11 + 8 + 7);

    ASSERT_EQ(list.RowCount(), 8u);
    EXPECT_EQ(Captions(list), Captions(folderList));
    EXPECT_EQ(list.UsedVariables(), 11u);
    EXPECT_EQ(ReadBytes("duxgate.cfg"), ReadBytes(std::string(kDemoConfig) + "duxgate.cfg"));

    ASSERT_FALSE(progress.fractions.empty());
    EXPECT_FLOAT_EQ(progress.fractions.back(), 1.0f);
    EXPECT_TRUE(std::is_sorted(progress.fractions.begin(), progress.fractions.end()));
    EXPECT_EQ(conn.Link(), nullptr);  // closed again
}

TEST_P(DeviceCommands, DeviceNumberZeroAsksAnyDeviceAndTakesItsNumber) {
    Start(DemoDevice());
    number = 0;
    EXPECT_EQ(Read().outcome, DeviceReadOutcome::Read);
    EXPECT_EQ(number, 12u);
    const auto requests = server->Requests();
    ASSERT_GT(requests.size(), 2u);
    EXPECT_EQ(FrameAddress(requests.front().data()), AnyDeviceAddress);
    for (size_t i = 1; i < requests.size(); ++i) EXPECT_EQ(FrameAddress(requests[i].data()), 12u);
    EXPECT_EQ(list.RowCount(), 8u);
}

TEST_P(DeviceCommands, AnOldFirmwareGetsTheVersionMessageAndNothingElse) {
    SimDevice device = DemoDevice();
    device.versionMajor = 2;
    device.versionMinor = 5;
    device.versionBuild = 31;
    Start(std::move(device));
    ShowEarlierConfiguration();

    const DeviceReadResult r = Read();
    EXPECT_EQ(r.outcome, DeviceReadOutcome::UnsupportedVersion);
    // The "c" before "Tervon" is the Latin letter.
    const std::string expected = usertext::UnsupportedVersion(r.info).bytes();
    EXPECT_EQ(r.info.VersionText(), "2.5.31");
    EXPECT_EQ(expected[expected.find("Tervon") - 2], 'c');
    // The message says what to do next on a line of its own.
    const std::string step = '\n' + usertext::UpdateFirmwareStep().bytes();
    EXPECT_EQ(messages.texts, std::vector<std::string>{expected + step});
    EXPECT_EQ(tree.FirstRoot()->Text, "earlier");
    EXPECT_EQ(Captions(list), std::vector<std::string>{"1old"});
    EXPECT_EQ(Commands(), std::vector<int>{cmdIdentify});

    messages.texts.clear();
    EXPECT_EQ(Store(Target(), folderList).outcome, DeviceStoreOutcome::UnsupportedVersion);
    EXPECT_EQ(messages.texts, std::vector<std::string>{expected + step});
    EXPECT_FALSE(Requested(cmdOpenFile));
    EXPECT_EQ(conn.Link(), nullptr);
}

TEST_P(DeviceCommands, ASilentDeviceIsNotConnected) {
    Start(DemoDevice());
    server->SetFaults({SimFault{SimFaultKind::Silent}});
    ShowEarlierConfiguration();

    const DeviceReadResult r = Read();
    EXPECT_EQ(r.outcome, DeviceReadOutcome::NotConnected);
    EXPECT_NE(r.code, lr::Ok);
    // The device number asked for, and the port, are what to check.
    const std::string notConnected =
        (usertext::NotConnected() + '\n' + usertext::NoAnswerStep(12)).bytes();
    EXPECT_EQ(messages.texts, std::vector<std::string>{notConnected});
    EXPECT_EQ(tree.FirstRoot()->Text, "earlier");
    EXPECT_EQ(list.RowCount(), 1u);
    EXPECT_EQ(conn.Link(), nullptr);

    messages.texts.clear();
    EXPECT_EQ(Store(Target(), folderList).outcome, DeviceStoreOutcome::NotConnected);
    EXPECT_EQ(messages.texts, std::vector<std::string>{notConnected});
}

TEST_P(DeviceCommands, ADeviceWithoutASettingsFileGivesItsTreeAndAnEmptyList) {
    SimDevice device = DemoDevice();
    device.files.clear();
    Start(std::move(device));
    ShowEarlierConfiguration();
    std::ofstream("duxgate.cfg", std::ios::binary) << "earlier\r\n";

    const DeviceReadResult r = Read();
    EXPECT_EQ(r.outcome, DeviceReadOutcome::Read);
    EXPECT_EQ(r.download, GatewayDownload::NoFile);
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(CountLeaves(tree), 26);
    EXPECT_EQ(list.RowCount(), 0u);
    EXPECT_EQ(list.UsedVariables(), 0u);
    EXPECT_EQ(ReadBytes("duxgate.cfg"), "earlier\r\n");
}

TEST_P(DeviceCommands, AnEntryThatFailsFiveTimesEndsTheReadWithAPartialTree) {
    Start(DemoDevice());
    // A bad check byte is never repeated within a call, so each of the five calls fails at once.
    server->SetFaults({SimFault{SimFaultKind::BadCheck, cmdReadEntry, 10, 0, 5}});
    ShowEarlierConfiguration();

    EXPECT_EQ(Read().outcome, DeviceReadOutcome::ReadFailed);
    EXPECT_EQ(messages.texts,
              std::vector<std::string>{usertext::ReadError().bytes() + '\n' + kReadAgain});
    ASSERT_NE(tree.FirstRoot(), nullptr);
    EXPECT_EQ(tree.FirstRoot()->Text, W("VR7 №12"));
    const int leaves = CountLeaves(tree);
    EXPECT_GT(leaves, 0);
    EXPECT_LT(leaves, 26);
    // The list stays what it was, and the device's file is not asked for.
    EXPECT_EQ(Captions(list), std::vector<std::string>{"1old"});
    EXPECT_FALSE(Requested(cmdOpenFile));
    EXPECT_EQ(conn.Link(), nullptr);
}

// A cancel at any exchange of a read, from the identification through the tree to the download:
// no message, the list as it was, and what was read of the tree never repeats a leaf.
TEST_P(DeviceCommands, ACancelAtAnyExchangeLeavesTheListAndNeverRepeatsALeaf) {
    for (int at : {1, 2, 3, 4, 10, 20, 30, 33, 34}) {
        SCOPED_TRACE(at);
        Start(DemoDevice());
        list.Clear();
        tree.Clear();
        ShowEarlierConfiguration();
        messages.texts.clear();
        int sent = 0;
        conn.ClearCancel();
        conn.Trace = [this, at, &sent](FrameWay way, const uint8_t*, int) {
            if (way == FrameWay::Sent && ++sent == at) conn.RequestCancel();
        };

        const DeviceReadResult r = Read();
        conn.Trace = nullptr;
        EXPECT_TRUE(r.cancelled);
        EXPECT_TRUE(messages.texts.empty());
        EXPECT_EQ(Captions(list), std::vector<std::string>{"1old"});
        std::set<std::pair<const TreeNode*, std::string>> leaves;
        tree.ForEach([&](const TreeNode& n) {
            if (n.Level() == 2) {
                EXPECT_TRUE(leaves.insert({n.Parent, n.Text}).second) << n.Text;
            }
        });
        EXPECT_EQ(conn.Link(), nullptr);
    }
    conn.ClearCancel();
}

TEST_P(DeviceCommands, ALocalFileThatCannotBeCreatedStopsTheDownload) {
    Start(DemoDevice());
    std::filesystem::create_directory("duxgate.cfg");
    ShowEarlierConfiguration();

    const DeviceReadResult r = Read();
    EXPECT_EQ(r.outcome, DeviceReadOutcome::Read);
    EXPECT_EQ(r.download, GatewayDownload::LocalFailed);
    EXPECT_EQ(list.RowCount(), 0u);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(
        messages.texts[0].rfind(usertext::FileFailure(usertext::FileStep::NotCreated,
                                                      dir.Path() + "duxgate.cfg", Cp1251String())
                                    .bytes(),
                                0),
        0u)
        << cp1251::ToUtf8(Cp1251String(messages.texts[0]));
    EXPECT_FALSE(Requested(cmdOpenFile));
}

TEST_P(DeviceCommands, ABrokenDownloadIsNotTakenForTheDevicesSettings) {
    // Large enough for several blocks: 60 rows of the demo kind.
    std::string big;
    for (int i = 0; i < 60; ++i)
        big += "F " + std::to_string(40001 + 2 * i) + " 105" + std::string(20, ' ') + " 1t" +
               std::to_string(i) + " C\r\n";
    ASSERT_GT(big.size(), 2u * kMaxFrameData);
    // skip 0: nothing of the file has come; skip 1: the first block has. Either way the local
    // file an earlier download left stays exactly as it was.
    const std::string earlier = ReadBytes(std::string(kDemoConfig) + "duxgate.cfg");
    std::ofstream(kDownloadFileName, std::ios::binary) << earlier;
    for (int skip : {0, 1}) {
        SCOPED_TRACE(skip);
        SimDevice device = DemoDevice();
        device.files["duxgate.cfg"].assign(big.begin(), big.end());
        Start(std::move(device));
        server->SetFaults(
            {SimFault{SimFaultKind::Refuse, cmdReadBlock, -1, skip, -1, kSimNoTransfer}});
        ShowEarlierConfiguration();
        messages.texts.clear();

        const DeviceReadResult r = Read();
        EXPECT_EQ(r.outcome, DeviceReadOutcome::Read);
        EXPECT_EQ(r.download, GatewayDownload::Broken);
        EXPECT_EQ(messages.texts,
                  std::vector<std::string>{usertext::ReadError().bytes() + '\n' + kReadAgain});
        EXPECT_EQ(list.RowCount(), 0u);
        EXPECT_EQ(list.UsedVariables(), 0u);
        EXPECT_EQ(ReadBytes("duxgate.cfg"), earlier);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."),
                                std::filesystem::directory_iterator()),
                  1);  // no temporary copy is left either
    }
}

TEST_P(DeviceCommands, StoreUploadsExactlyWhatSaveToDiskWrites) {
    Start(DemoDevice());
    const DeviceStoreResult r = Store(Target(), folderList);
    EXPECT_EQ(r.outcome, DeviceStoreOutcome::Stored);
    EXPECT_EQ(messages.texts, std::vector<std::string>{usertext::Stored().bytes()});

    ASSERT_TRUE(SaveGatewayFile(folderList, dir / "saved.cfg").ok());
    const std::string saved = ReadBytes(dir / "saved.cfg");
    std::vector<uint8_t> stored;
    ASSERT_TRUE(server->File("DUXGate.cfg", stored));  // the name in exactly this case
    EXPECT_EQ(std::string(stored.begin(), stored.end()), saved);
    EXPECT_EQ(ReadBytes("DUXGate.cfg"), saved);
    EXPECT_EQ(conn.Link(), nullptr);
}

// A cancel before the upload stops the store, the device's file untouched; one at any frame of
// the upload (open, blocks, closing block) waits for its end: the device gets the whole file.
TEST_P(DeviceCommands, ACancelDuringTheUploadWaitsForItsEnd) {
    const std::string saved = GatewayFileText(folderList);
    const int last = 3 + static_cast<int>((saved.size() + kMaxFrameData - 1) / kMaxFrameData);
    for (int at = 1; at <= last; ++at) {  // 1: the identification
        SCOPED_TRACE(at);
        Start(DemoDevice());
        progress.fractions.clear();
        int sent = 0;
        conn.Trace = [this, at, &sent](FrameWay way, const uint8_t*, int) {
            if (way == FrameWay::Sent && ++sent == at) conn.RequestCancel();
        };
        const DeviceStoreResult r = ::Store(Target(), folderList, kUploadFileName, nullptr, nullptr,
                                            std::nullopt, StoreProgress{nullptr, &progress});
        conn.Trace = nullptr;
        conn.ClearCancel();
        std::vector<uint8_t> stored;
        EXPECT_EQ(server->File("DUXGate.cfg", stored), at > 1);
        EXPECT_EQ(r.code, at > 1 ? lr::Ok : lr::Cancelled);
        EXPECT_EQ(std::string(stored.begin(), stored.end()), at > 1 ? saved : "");
        // Told as the upload begins, then after each block.
        EXPECT_EQ(progress.fractions.size() > 1 && progress.fractions.back() == 1.0f, at > 1);
    }
}

TEST_P(DeviceCommands, AWriteProtectedDeviceGetsOnlyTheProtectionMessage) {
    SimDevice device = DemoDevice();
    device.writeProtected = true;
    Start(std::move(device));
    const DeviceStoreResult r = Store(Target(), folderList);
    EXPECT_EQ(r.outcome, DeviceStoreOutcome::Protected);
    EXPECT_EQ(messages.texts, std::vector<std::string>{usertext::WriteProtected().bytes()});
    std::vector<uint8_t> stored;
    EXPECT_FALSE(server->File("DUXGate.cfg", stored));
}

TEST_P(DeviceCommands, ABrokenUploadGetsOnlyTheInterruptedMessage) {
    Start(DemoDevice());
    server->SetFaults({SimFault{SimFaultKind::NoAck, cmdWriteBlock, -1, 0, 1, 0}});
    const DeviceStoreResult r = Store(Target(), folderList);
    EXPECT_EQ(r.outcome, DeviceStoreOutcome::Broken);
    EXPECT_EQ(messages.texts,
              std::vector<std::string>{usertext::StoreBroken().bytes() + '\n' + kIncomplete});
    EXPECT_EQ(conn.Link(), nullptr);
}

TEST_P(DeviceCommands, StoreStopsBeforeTheLinkWhenThereIsNothingWhole) {
    Start(DemoDevice());
    EXPECT_EQ(Store(Target(), list).outcome, DeviceStoreOutcome::EmptyList);
    EXPECT_EQ(messages.texts, std::vector<std::string>{usertext::EmptyList().bytes()});

    // A working copy that cannot be written: nothing goes to the device, and the user is told.
    messages.texts.clear();
    std::filesystem::create_directory("DUXGate.cfg");
    EXPECT_EQ(Store(Target(), folderList).outcome, DeviceStoreOutcome::NotSaved);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(
        messages.texts[0].rfind(usertext::FileFailure(usertext::FileStep::NotSaved,
                                                      dir.Path() + "DUXGate.cfg", Cp1251String())
                                    .bytes(),
                                0),
        0u)
        << cp1251::ToUtf8(Cp1251String(messages.texts[0]));
    EXPECT_TRUE(server->Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Transports, DeviceCommands,
                         ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

}  // namespace

TEST(FirstDifference, OffsetWhereTheBytesPart) {
    const struct {
        std::string a, b;
        size_t at;
    } cases[] = {
        {"", "", std::string::npos},
        {"F 1\r\n", "F 1\r\n", std::string::npos},
        {"F 1\r\n", "F 2\r\n", 2},
        {"abc", "abcd", 3},
        {"abcd", "abc", 3},
        {"", "x", 0},
        {std::string("a\0b", 3), std::string("a\0c", 3), 2},
    };
    for (const auto& c : cases) EXPECT_EQ(FirstDifference(c.a, c.b), c.at) << c.a << " | " << c.b;
}

// A verify compares the device's file with the bytes expected as its blocks come: it finds the
// first difference wherever it falls, in any block, as the whole comparison would.
TEST(VerifyDeviceFile, FindsTheFirstDifferenceBlockByBlock) {
    std::string base(2500, 'a');
    for (size_t i = 0; i < base.size(); ++i) base[i] = static_cast<char>('a' + i % 23);
    std::string late = base;
    late[2000] = '#';
    const struct {
        const char* what;
        std::string held;
    } cases[] = {
        {"same", base},
        {"in the third block", late},
        {"shorter", base.substr(0, 1500)},
        {"longer", base + "zz"},
        {"empty", ""},
        {"first byte", "#" + base.substr(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimDevice device;
        device.number = 3;
        device.files["f"] = std::vector<uint8_t>(c.held.begin(), c.held.end());
        SimConnection sim(device);
        ASSERT_EQ(sim.Open(Transport::Tcp), lr::Ok);
        const FileVerification v = VerifyDeviceFile(sim.conn, 3, "f", base, nullptr);
        ASSERT_EQ(v.code, lr::Ok);
        const size_t at = FirstDifference(base, c.held);
        EXPECT_EQ(v.identical, at == std::string::npos);
        if (!v.identical) {
            EXPECT_EQ(v.firstDifference, at);
        }
        EXPECT_EQ(v.deviceSize, c.held.size());
    }
}
