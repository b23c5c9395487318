// The device on a line that behaves like a wire: the simulator takes each request over its time on
// the line and sends each answer byte by byte at the line's speed. At every speed the port dialog
// offers, with the protocol's real timings, every device command gives exactly what the device
// holds: the tree, each file of every block size, a store and a read of a settings file larger
// than one block, and a store's backup of it. On a line that echoes every request (an RS-485
// converter) the same holds with the echo setting "auto"; the wrong setting fails every command.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "app/messages.h"
#include "device/backups.h"
#include "device/devicecommands.h"
#include "device/failurecause.h"
#include "gateway/gatewayfile.h"
#include "gateway/maxvariables.h"
#include "link/vr7prot.h"
#include "tests/common/commandtext.h"
#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"
#include "tests/common/wiredevice.h"
#include "tests/gateway/support/listfixture.h"

namespace {

struct WireCase {
    unsigned baud;
    int treeEntries;
    std::vector<size_t> fileSizes;
    bool echo = false;  // the line hands every request back
};

std::string CaseName(const ::testing::TestParamInfo<WireCase>& info) {
    return "Baud" + std::to_string(info.param.baud) + (info.param.echo ? "Echo" : "");
}

class Wire : public ::testing::TestWithParam<WireCase> {
  protected:
    void SetUp() override {
        device_ = WireDevice(GetParam().treeEntries);
        for (size_t size : GetParam().fileSizes)
            device_.files["d" + std::to_string(size)] = WirePattern(size, 3);
        server_ = std::make_unique<SimServer>(device_);
        ASSERT_TRUE(StartPaced(*server_, GetParam().baud, GetParam().echo));
        PointAtPacedPty(conn_, *server_, GetParam().baud);
        EXPECT_EQ(conn_.Echo, LineEcho::Auto);
    }

    SimDevice device_;
    std::unique_ptr<SimServer> server_;
    connection conn_;
};

TEST_P(Wire, IdentifyAndTreeAreTheDevicesOwn) {
    connection::OpenedLink open(conn_);
    DeviceInfo info;
    ASSERT_EQ(ReadDeviceInfo(conn_, kWireDeviceNumber, info), lr::Ok);
    EXPECT_EQ(info.DeviceNumber(), kWireDeviceNumber);
    EXPECT_EQ(info.VersionBuild(), device_.versionBuild);

    CfgTree tree;
    ASSERT_EQ(ReadDeviceTree(conn_, kWireDeviceNumber, tree, nullptr, nullptr),
              TreeBuild::Complete);
    EXPECT_EQ(TreeTexts(tree), ExpectedTreeTexts(device_));
    EXPECT_EQ(conn_.EchoFound(), GetParam().echo);
}

// The setting that does not match the line: "off" where it echoes takes the request for the
// answer (garbled), "on" where it does not finds no echo. Every command fails within its attempts
// and says why; none is taken for a success.
class WrongEcho : public Wire {};

TEST_P(WrongEcho, FailsEveryCommandWithItsMessage) {
    conn_.Echo = GetParam().echo ? LineEcho::Off : LineEcho::On;
    const LinkResult expected = GetParam().echo ? lr::Garbled : lr::NoEcho;
    const Cp1251String cause =
        GetParam().echo ? usertext::BrokenAnswerCause(kWireDeviceNumber) : usertext::NoEchoCause();
    // Three attempts, each waiting for a whole answer, and the late answers let in before the next.
    const auto bound = std::chrono::milliseconds(12 * (800 + 20480000 / int(GetParam().baud)));
    auto check = [&](const char* what, auto command) {
        SCOPED_TRACE(what);
        const auto began = std::chrono::steady_clock::now();
        const LinkResult r = command();
        EXPECT_EQ(r, expected);
        EXPECT_EQ(usertext::FailureCauseText(FailureCause(conn_, r, false, kWireDeviceNumber)),
                  cause);
        EXPECT_LT(std::chrono::steady_clock::now() - began, bound);
    };
    const uint32_t n = kWireDeviceNumber;
    {
        connection::OpenedLink open(conn_);
        DeviceInfo info;
        uint8_t entry[kConfigEntrySize];
        std::ostringstream got;
        std::istringstream src(AsString(WirePattern(2 * kMaxFrameData, 4)));
        check("info", [&] { return ReadDeviceInfo(conn_, n, info); });
        check("tree", [&] { return ReadConfigEntry(conn_, n, 1, entry, sizeof entry, nullptr); });
        check("get", [&] { return ReadDeviceFile(conn_, n, &got, "d1", nullptr); });
        check("put", [&] { return WriteDeviceFile(conn_, n, &src, "u", nullptr); });
        EXPECT_EQ(got.str(), "");
    }
    TempDir dir;
    WorkingDirectory cwd{dir.Path()};
    XmlDocument catalogue;
    SnvtList list(catalogue);
    list.SetMaxVariables(10);
    FillBeyondOneBlock(list);
    struct : IMessageSink {
        void ShowMessage(const Cp1251String&) override {}
    } messages;
    uint32_t number = n;
    const BackupPolicy policy{dir / "backups", 2};
    check("store", [&] {
        return Shown(Store({conn_, number}, list, kUploadFileName, &policy), messages).code;
    });
    std::vector<uint8_t> stored;
    EXPECT_FALSE(server_->File("u", stored) || server_->File(kUploadFileName, stored));
}

TEST_P(Wire, EveryBlockSizeGoesDownAndUpByteForByte) {
    connection::OpenedLink open(conn_);
    for (size_t size : GetParam().fileSizes) {
        SCOPED_TRACE(size);
        const std::string down = "d" + std::to_string(size);
        std::ostringstream got;
        ASSERT_EQ(ReadDeviceFile(conn_, kWireDeviceNumber, &got, down.c_str(), nullptr), lr::Ok);
        EXPECT_TRUE(got.str() == AsString(device_.files[down]));

        const std::string up = "u" + std::to_string(size);
        const std::vector<uint8_t> sent = WirePattern(size, 11);
        std::istringstream src(AsString(sent));
        ASSERT_EQ(WriteDeviceFile(conn_, kWireDeviceNumber, &src, up.c_str(), nullptr), lr::Ok);
        std::vector<uint8_t> stored;
        ASSERT_TRUE(server_->File(up, stored));
        EXPECT_TRUE(stored == sent);
    }
}

TEST_P(Wire, StoreAndReadOfASettingsFileLargerThanOneBlock) {
    TempDir dir;
    WorkingDirectory cwd{dir.Path()};
    XmlDocument catalogue;
    catalogue.SetFileName(VR7_SOURCE_DIR "/examples/calcbank.xml");
    EXPECT_TRUE(catalogue.Load().ok());
    SnvtList list(catalogue);
    list.SetMaxVariables(LoadMaxVariables(catalogue).value_or(0));
    FillBeyondOneBlock(list);

    uint32_t number = kWireDeviceNumber;
    const DeviceCommandTarget target{conn_, number};
    const DeviceStoreResult stored = Store(target, list);
    ASSERT_EQ(stored.outcome, DeviceStoreOutcome::Stored) << stored.code;
    const std::string sent = ReadBytes(kUploadFileName);
    ASSERT_GT(sent.size(), static_cast<size_t>(kMaxFrameData));
    std::vector<uint8_t> onDevice;
    ASSERT_TRUE(server_->File(kUploadFileName, onDevice));
    EXPECT_TRUE(AsString(onDevice) == sent);

    CfgTree tree;
    SnvtList read(catalogue);
    read.SetMaxVariables(LoadMaxVariables(catalogue).value_or(0));
    const DeviceReadResult r = ReadFromDevice(target, tree, read, &catalogue, nullptr);
    ASSERT_EQ(r.outcome, DeviceReadOutcome::Read);
    EXPECT_EQ(r.download, GatewayDownload::Loaded);
    EXPECT_TRUE(ReadBytes(kDownloadFileName) == sent);
    EXPECT_EQ(Captions(read), Captions(list));

    // A store that keeps the device's file first: the backup holds every block of it.
    const BackupPolicy policy{dir / "backups", 2};
    DeviceBackup backup;
    ASSERT_EQ(Store(target, read, kUploadFileName, &policy, &backup).outcome,
              DeviceStoreOutcome::Stored);
    ASSERT_TRUE(backup.hadFile);
    EXPECT_TRUE(ReadBytes(backup.path) == sent);
}

// A block refused in the middle of an upload: the transfer ends there, without the closing block
// that would have the device take the part it has for its file, which stays as it was.
TEST_P(Wire, AnUploadRefusedMidwayLeavesTheDevicesFile) {
    const std::vector<uint8_t> held = WirePattern(700, 5);
    server_->With([&](SimResponder& r) { r.Device().files[kUploadFileName] = held; });
    server_->SetFaults({{SimFaultKind::Refuse, cmdWriteBlock, -1, 1, 1, 0x33}});
    server_->ClearRequests();
    connection::OpenedLink open(conn_);
    std::istringstream src(AsString(WirePattern(2 * kMaxFrameData + 10, 9)));
    EXPECT_EQ(WriteDeviceFile(conn_, kWireDeviceNumber, &src, kUploadFileName, nullptr), 0x33);
    const auto requests = server_->Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(FrameCommand(requests.back().data()), cmdWriteBlock);
    EXPECT_GT(FrameLength(requests.back().data()), 0);  // the refused block, no closing one
    std::vector<uint8_t> stored;
    ASSERT_TRUE(server_->File(kUploadFileName, stored));
    EXPECT_TRUE(stored == held);
}

// The slow speeds move small files; the largest file crosses the slowest line once.
INSTANTIATE_TEST_SUITE_P(PortDialogSpeeds, Wire,
                         ::testing::Values(WireCase{9600, 12, {1, 1011, 1012, 5000}},
                                           WireCase{19200, 24, {1, 1011, 1012}},
                                           WireCase{38400, 48, {1, 1011, 1012}},
                                           WireCase{57600, 96, {1, 1011, 1012}},
                                           WireCase{115200, 300, {1, 1011, 1012, 5000}},
                                           WireCase{9600, 12, {1, 1011, 1012, 5000}, true},
                                           WireCase{115200, 300, {1, 1011, 1012, 5000}, true}),
                         CaseName);
// A wrong echo setting at the slowest and the fastest speed, on a line with and without echo.
INSTANTIATE_TEST_SUITE_P(PortDialogSpeeds, WrongEcho,
                         ::testing::Values(WireCase{9600, 12, {1}}, WireCase{115200, 300, {1}},
                                           WireCase{9600, 12, {1}, true},
                                           WireCase{115200, 300, {1}, true}),
                         CaseName);

}  // namespace
