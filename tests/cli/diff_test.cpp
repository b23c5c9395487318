// vr7lon diff: its lines and exit statuses on files, and the device as a side over TCP.
#include <gtest/gtest.h>

#include "cli/exitstatus.h"
#include "sim/simresponder.h"
#include "tests/cli/support/clitest.h"

namespace {

class DiffFiles : public ::testing::Test {
  protected:
    CliResult Diff(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"diff"};
        all.insert(all.end(), args.begin(), args.end());
        return RunCli(all, dir.Path());
    }
    TempDir dir;
};

TEST_F(DiffFiles, OneLineForEachVariableThatDiffers) {
    const std::string a = dir.Write("a.cfg", W("F 40001 105 1t1 °C\r\n"
                                               "F 40003 28 1q1 м3/ч\r\n"
                                               "B 40005 83 1q1f\r\n"
                                               "F 40006 15 2v1 м3\r\n"
                                               "F 40008 13 3w1 x\r\n"
                                               "F 40010 105 2т1 °C\r\n"));
    const std::string b = dir.Write("b.cfg", W("F 40001 105 1t1 °C\r\n"
                                               "F 40003 28 1q1 м3/ч\r\n"
                                               "F 40005 13 3w1 x\r\n"
                                               "F 40007 105 2т1\r\n"
                                               "B 40009 83 2т1f\r\n"
                                               "F 40010 15 2v1 м3\r\n"
                                               "F 40012 124 1terr\r\n"));
    const CliResult r = Diff({a, b});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "changed 1q1: Flags Name 1q1f → none, Flags Ref 40005 → none, Flags Type B → none, "
              "Flags SNVT_ID 83 → none\n"
              "changed 3w1: Ref 40008 → 40005\n"
              "changed 2т1: Ref 40010 → 40007, Dimention °C → \"\", Flags Name none → 2т1f, "
              "Flags Ref none → 40009, Flags Type none → B, Flags SNVT_ID none → 83\n"
              "moved 2v1 from row 3 to row 5; changed: Ref 40006 → 40010\n"
              "added 1terr at row 6: Ref 40012, Type F, SNVT_ID 124, Dimention \"\"\n");

    // Back the other way, a variable is removed after the one that preceded it.
    const std::string c = dir.Write("c.cfg", W("F 40001 105 1t1 °C\r\nF 40003 28 1q1 м3/ч\r\n"));
    EXPECT_EQ(Diff({b, c}).out,
              "removed 3w1 from row 3\nremoved 2т1 from row 4\n"
              "removed 2v1 from row 5\nremoved 1terr from row 6\n");

    // A file cut after its reference has a row without a name: it still reads as a name.
    const std::string cut = dir.Write("cut.cfg", W("F 40001 105 1t1 °C\r\nF 40013"));
    EXPECT_EQ(Diff({c, cut}).out.rfind("removed 1q1 from row 2\nadded \"\" at row 2: Ref 40013", 0),
              0u);
}

TEST_F(DiffFiles, ExitStatusesAsDiffs) {
    const std::string a = dir.Write("a.cfg", "F 40001 105 1t1 C\r\n");
    // The same list written differently is the same list.
    const std::string same = dir.Write("same.cfg", "F   40001 105 1t1   C\n\n");
    CliResult r = Diff({a, same});
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, "");

    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{a, dir / "missing.cfg"}, exitstatus::Input},
        {{dir.Path(), a}, exitstatus::Input},
        {{a}, exitstatus::Usage},
        {{a, a, a}, exitstatus::Usage},
        {{a, "device:", "--tcp-port", "0"}, exitstatus::Usage},
        {{a, a, "--unknown"}, exitstatus::Usage},
    };
    for (const auto& c : cases) {
        r = Diff(c.args);
        EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err, "");
    }
}

class DiffDevice : public DeviceCliTest {
  protected:
    CliResult Diff(const std::string& a, const std::string& b) {
        std::vector<std::string> args = sim.DeviceArgs({"--number", "12"});
        args[0] = b;
        args.insert(args.begin(), {"diff", a});
        return RunCli(args, programDir.Path());
    }
};

TEST_P(DiffDevice, TheDevicesSettingsAsASide) {
    sim.Start(SimDeviceFixture::DemoDevice());
    CliResult r = Diff(kDemoSettings, "device:");
    EXPECT_EQ(r.status, exitstatus::Ok) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");

    std::string held = ReadBytes(kDemoSettings);
    held.replace(held.find("F 40003 105"), 11, "F 40003 106");
    sim.server->With(
        [&](SimResponder& s) { s.Device().files["duxgate.cfg"].assign(held.begin(), held.end()); });
    r = Diff("device:", kDemoSettings);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "changed 1t2: SNVT_ID 106 → 105\n");

    // A side that cannot be read, whichever it is, is status 2.
    r = Diff("device:", work / "missing.cfg");
    EXPECT_EQ(r.status, exitstatus::Input);
    sim.server->With([](SimResponder& s) { return s.Device().files.erase("duxgate.cfg"); });
    r = Diff(kDemoSettings, "device:");
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("vr7lon: the device has no duxgate.cfg (result 1001", 0), 0u) << r.err;
    sim.server->Stop();
    r = Diff(kDemoSettings, "device:");
    EXPECT_EQ(r.status, exitstatus::Input);
    EXPECT_NE(r.err.find(U(usertext::NotConnected())), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Transports, DiffDevice, ::testing::Values(Transport::Tcp, Transport::Pty),
                         TransportParamName);

}  // namespace
