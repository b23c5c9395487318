// vr7lon's checks of what a device holds, "device verify" and "device store --verify", against
// the simulated device over TCP on 127.0.0.1 and a pty.
#include <algorithm>

#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "link/vr7prot.h"
#include "sim/simresponder.h"
#include "tests/cli/support/clitest.h"

namespace {

const std::string kStored = U(usertext::Stored()) + "\n";

class VerifyCli : public DeviceCliTest {
  protected:
    void SetDeviceSettings(const std::string& bytes) {
        sim.server->With([&](SimResponder& s) {
            s.Device().files["duxgate.cfg"].assign(bytes.begin(), bytes.end());
        });
    }
    static std::string Differs(const std::string& name, const std::string& local, size_t at,
                               size_t expected, size_t held) {
        return "vr7lon: the device's " + name + " differs from " + local + " at offset " +
               std::to_string(at) + " (expected " + std::to_string(expected) +
               " bytes, the device holds " + std::to_string(held) + ")\n";
    }
};

TEST_P(VerifyCli, VerifyComparesTheFileWithTheDevicesSettings) {
    sim.Start(SimDeviceFixture::DemoDevice());
    const std::string demo = ReadBytes(kDemoSettings);
    ASSERT_EQ(demo.size(), 432u);
    CliResult r = Device({"--number", "0", "verify", kDemoSettings});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, "the device's duxgate.cfg is the same as " + kDemoSettings + " (432 bytes)\n");
    EXPECT_EQ(r.err, "");
    // The device is identified first, and nothing is stored.
    EXPECT_EQ(sim.Commands().at(0), cmdIdentify);
    EXPECT_FALSE(Requested(cmdWriteBlock));

    // The same rows spaced by hand are what a store of them uploads: the same.
    std::string spaced;
    for (char c : demo) spaced += c == ' ' ? std::string("  ") : std::string(1, c);
    r = Device({"--number", "12", "verify", work.Write("spaced.cfg", spaced)});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;

    std::string changed = demo;
    changed[100] ^= 1;
    const struct {
        std::string held;
        size_t at;
    } cases[] = {{changed, 100}, {demo.substr(0, 50), 50}, {demo + "x", 432}, {"", 0}};
    for (const auto& c : cases) {
        SetDeviceSettings(c.held);
        r = Device({"--number", "12", "verify", kDemoSettings});
        EXPECT_EQ(r.status, exitstatus::Mismatch) << c.at;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, Differs("duxgate.cfg", kDemoSettings, c.at, 432, c.held.size()));
    }
}

TEST_P(VerifyCli, VerifyFailures) {
    SimDevice device = SimDeviceFixture::DemoDevice();
    device.versionBuild = 31;
    sim.Start(std::move(device));

    // A FILE that cannot be read: the device is not asked.
    CliResult r = Device({"--number", "12", "verify", work / "missing.cfg"});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_NE(r.err.find("missing.cfg: No such file"), std::string::npos) << r.err;
    r = Device({"--number", "12", "verify", work.Path()});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_NE(r.err.find(": is a folder"), std::string::npos) << r.err;
    // More rows than a list holds: no store sends it whole, so it is nothing to compare with.
    std::string rows;
    for (int i = 0; i < 65536; ++i) rows += "F 40001 105 v" + std::to_string(i) + " C\r\n";
    r = Device({"--number", "12", "verify", work.Write("long.cfg", rows)});
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_NE(r.err.find("65536"), std::string::npos) << r.err;
    EXPECT_TRUE(sim.server->Requests().empty());

    r = Device({"--number", "12", "verify", kDemoSettings});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.err, U(usertext::UnsupportedVersion(InfoOf(2, 1, 31))) + "\n");
    EXPECT_FALSE(Requested(cmdOpenFile));

    sim.server->With([](SimResponder& s) { return s.Device().versionBuild = 32; });
    r = Device({"--number", "13", "verify", kDemoSettings});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_NE(r.err.find(U(usertext::NotConnected()) + " (result 10"), std::string::npos) << r.err;

    sim.server->SetFaults({SimFault{SimFaultKind::BadCheck, cmdReadBlock, -1, 0, -1, 0}});
    r = Device({"--number", "12", "verify", kDemoSettings});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.err.rfind("vr7lon: duxgate.cfg: result 10", 0), 0u) << r.err;

    sim.server->SetFaults({});
    sim.server->With([](SimResponder& s) { return s.Device().files.erase("DUXGATE.CFG"); });
    r = Device({"--number", "12", "verify", kDemoSettings});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.err.rfind("vr7lon: the device has no duxgate.cfg (result 1001", 0), 0u) << r.err;
}

TEST_P(VerifyCli, StoreVerifyReadsBackWhatWasUploaded) {
    sim.Start(SimDeviceFixture::DemoDevice());
    CliResult r = Device({"--number", "12", "store", kDemoSettings, "--verify", "--no-backup"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, kStored +
                         "the device's DUXGate.cfg is the same as the stored copy "
                         "DUXGate.cfg (" +
                         std::to_string(ReadBytes(work / "DUXGate.cfg").size()) + " bytes)\n");
    EXPECT_EQ(r.err, "");
    // The download comes after the upload.
    const std::vector<int> commands = sim.Commands();
    const auto written = std::find(commands.begin(), commands.end(), cmdWriteBlock);
    EXPECT_NE(std::find(written, commands.end(), cmdReadBlock), commands.end());

    // Without --verify nothing is read back.
    sim.server->ClearRequests();
    r = Device({"--number", "12", "store", kDemoSettings, "--no-backup"});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, kStored);
    EXPECT_FALSE(Requested(cmdReadBlock));
}

TEST_P(VerifyCli, StoreVerifyFindsABlockTheDeviceAcknowledgedButDidNotKeep) {
    // A settings file of three blocks; the device acknowledges the second without keeping it.
    std::string big;
    for (int i = 0; i < 80; ++i)
        big += "F " + std::to_string(40001 + 2 * i) + " 105 1v" + std::to_string(i) + " C\r\n";
    const std::string path = work.Write("big.cfg", big);
    sim.Start(SimDeviceFixture::DemoDevice());
    sim.server->SetFaults(
        {SimFault{SimFaultKind::NoAck, cmdWriteBlock, -1, 1, 1, static_cast<int>(kBlockAccepted)}});
    const CliResult r = Device({"--number", "12", "store", path, "--verify", "--no-backup"});
    EXPECT_EQ(r.status, exitstatus::Mismatch) << r.err;
    EXPECT_EQ(r.out, kStored);
    const std::string stored = ReadBytes(work / "DUXGate.cfg");
    ASSERT_GT(stored.size(), 2u * kMaxFrameData);
    const std::string held = stored.substr(0, kMaxFrameData) + stored.substr(2 * kMaxFrameData);
    std::vector<uint8_t> device;
    ASSERT_TRUE(sim.server->File("DUXGate.cfg", device));
    ASSERT_EQ(std::string(device.begin(), device.end()), held);
    const size_t at = static_cast<size_t>(
        std::mismatch(held.begin(), held.end(), stored.begin()).first - held.begin());
    EXPECT_EQ(r.err, Differs("DUXGate.cfg", "the stored copy DUXGate.cfg", at, stored.size(),
                             held.size()));
}

TEST_P(VerifyCli, StoreVerifyWhoseDownloadFails) {
    sim.Start(SimDeviceFixture::DemoDevice());
    sim.server->SetFaults(
        {SimFault{SimFaultKind::Refuse, cmdReadBlock, -1, 0, -1, kSimNoTransfer}});
    const CliResult r =
        Device({"--number", "12", "store", kDemoSettings, "--verify", "--no-backup"});
    EXPECT_EQ(r.status, exitstatus::Device);
    EXPECT_EQ(r.out, kStored);
    EXPECT_EQ(r.err.rfind("vr7lon: DUXGate.cfg: result ", 0), 0u) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Transports, VerifyCli, ::testing::Values(Transport::Tcp, Transport::Pty),
                         TransportParamName);

}  // namespace
