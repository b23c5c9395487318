#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "cfgtree/vr7cfgtree.h"
#include "link/vr7prot.h"
#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"

namespace {

// The tree as "caption|image" lines, two spaces of indent per level, for whole-shape assertions.
std::string Dump(const CfgTree& tree) {
    std::string out;
    tree.ForEach([&](const TreeNode& n) {
        out += std::string(2 * n.Level(), ' ') + cp1251::ToUtf8(Cp1251String(n.Text)) + "|" +
               std::to_string(n.ImageIndex) + "\n";
    });
    return out;
}

struct ProgressLog : IProgressSink {
    std::vector<float> fractions;
    void ShowProgress(const std::string& text, float fraction) override {
        EXPECT_EQ(text, "");
        fractions.push_back(fraction);
    }
};

class BuildFromDevice : public ::testing::TestWithParam<Transport> {
  protected:
    void Start(SimDevice device) {
        ASSERT_TRUE(sim_.Start(std::move(device), GetParam()));
        ASSERT_EQ(sim_.Open(conn_), lr::Ok);
    }
    // True when reading failed; failureKind then tells what failed.
    bool Build(uint8_t options, const XmlDocument* catalog = nullptr, uint32_t number = 1) {
        const Status built =
            BuildTreeFromDevice(tree_, conn_, number, &progress_, catalog, STreeOptions{options});
        if (!built) {
            failureKind = built.failure().kind;
            // An exchange's failure carries the link's result.
            if (failureKind == FailureKind::Link) {
                EXPECT_NE(built.failure().code, lr::Ok);
            }
        }
        return !built.ok();
    }
    int EntryRequests(uint16_t entry) {
        int count = 0;
        for (const auto& frame : sim_.server->Requests()) {
            if (frame.size() >= 9 && frame[6] == cmdReadEntry &&
                (frame[7] | (frame[8] << 8)) == entry)
                ++count;
        }
        return count;
    }

    FailureKind failureKind = FailureKind::Cancelled;  // of the last Build that failed
    SimPeer sim_;
    connection conn_;
    CfgTree tree_;
    ProgressLog progress_;
};

TEST_P(BuildFromDevice, WindowOptionsGiveSystemFoldersOfCalculatedVariables) {
    Start(SimDemoDevice());
    EXPECT_FALSE(Build(0x89));
    EXPECT_EQ(Dump(tree_),
              "VR7 №1|0\n"
              "  Система №1 Boiler|7\n"
              "    t1|6\n"
              "    p1|6\n"
              "  Система №2 Heating|7\n"
              "    q2|6\n"
              "    v2|6\n");
    ASSERT_NE(tree_.FirstRoot(), nullptr);
    EXPECT_TRUE(tree_.FirstRoot()->Expanded);
    const auto* root = static_cast<const SVR7_Info*>(tree_.FirstRoot()->Data.get());
    EXPECT_EQ(root->Info.VersionBuild(), 40);
    EXPECT_EQ(root->Config.EntryCount, 9u);
    EXPECT_EQ(root->Config.SystemText2[1], "sys_heat");

    // The q2 leaf carries the entry's bytes unchanged.
    const TreeNode* q2 = tree_.FirstRoot()->Children[1]->Children[0].get();
    ASSERT_NE(q2->Info(), nullptr);
    EXPECT_EQ(q2->Info()->Kind, nkCalc);
    EXPECT_EQ(q2->Info()->System, 2);
    EXPECT_EQ(q2->Info()->Extra[0], 0x04);
    EXPECT_EQ(q2->Info()->Extra[3], 0x01);

    // One report per non-empty entry (entry 3 is empty), ending at 1 with the last entry.
    ASSERT_EQ(progress_.fractions.size(), 8u);
    EXPECT_FLOAT_EQ(progress_.fractions.front(), 1.0f / 9);
    EXPECT_FLOAT_EQ(progress_.fractions.back(), 1.0f);
}

TEST_P(BuildFromDevice, AllOptionsPlaceConstantsEventsAndGeidGroups) {
    Start(SimDemoDevice());
    EXPECT_FALSE(Build(0xFF));
    EXPECT_EQ(Dump(tree_),
              "VR7 №1|0\n"
              "  Система №1 Boiler|7\n"
              "    Calc|5\n"
              "      t1|6\n"
              "      p1|6\n"
              "    Const|3\n"
              "      k1     = 3.5|4\n"
              "  Event|1\n"
              "    ev1    : Mask: 0x00000010, Code: 5|2\n"
              "    GEID 5|1\n"
              "      ev2    : Mask: 0x00000020, Code: 7|2\n"
              "  Система №2 Heating|7\n"
              "    Calc|5\n"
              "      q2|6\n"
              "      v2|6\n");
    const TreeNode* k1 = tree_.FirstRoot()->Children[0]->Children[1]->Children[0].get();
    EXPECT_EQ(k1->Info()->Index, 4);
    const TreeNode* geid = tree_.FirstRoot()->Children[1]->Children[1].get();
    EXPECT_EQ(geid->Info()->Kind, nkGeidGroup);
    EXPECT_EQ(geid->Info()->Geid, 5);
}

TEST_P(BuildFromDevice, CatalogueFiltersOnTheNameAsTheDeviceSentIt) {
    SimDevice device = SimDemoDevice();
    device.entries = {SimCalcEntry(1, "t1"), SimCalcEntry(1, "T1"), SimCalcEntry(1, "zz")};
    Start(device);
    TempDir dir;
    const std::string path = dir.Path() + "calcbank.xml";
    std::ofstream(path) << "<LonVars><LonCfg size=\"10\"/>"
                           "<v name=\"t$\" note=\"C\"><LonVar VSNVTid=\"105\"/></v></LonVars>";
    XmlDocument catalog(path);
    EXPECT_TRUE(catalog.Load().ok());
    EXPECT_FALSE(Build(0x89, &catalog));
    EXPECT_EQ(Dump(tree_), "VR7 №1|0\n  Система №1 Boiler|7\n    t1|6\n");
    // Unknown variables still count for the progress report.
    EXPECT_EQ(progress_.fractions.size(), 3u);
}

TEST_P(BuildFromDevice, EntryFailingFiveTimesEndsWithWhatWasRead) {
    Start(SimDemoDevice());
    sim_.server->SetFaults({{SimFaultKind::Refuse, cmdReadEntry, 2, 0, -1, 0x03}});
    EXPECT_TRUE(Build(0x89));
    EXPECT_EQ(failureKind, FailureKind::Link);
    EXPECT_EQ(Dump(tree_), "VR7 №1|0\n  Система №1 Boiler|7\n    t1|6\n");
    EXPECT_FALSE(tree_.FirstRoot()->Expanded);
    EXPECT_EQ(EntryRequests(2), 5);
    EXPECT_EQ(EntryRequests(3), 0);
}

TEST_P(BuildFromDevice, EntryFailingFourTimesIsReadOnTheFifthCall) {
    Start(SimDemoDevice());
    sim_.server->SetFaults({{SimFaultKind::Refuse, cmdReadEntry, 2, 0, 4, 0x03}});
    EXPECT_FALSE(Build(0x89));
    EXPECT_EQ(EntryRequests(2), 5);
    EXPECT_NE(Dump(tree_).find("p1|6"), std::string::npos);
}

TEST_P(BuildFromDevice, IdentificationOrHeaderFailureLeavesTheTreeEmpty) {
    Start(SimDemoDevice());
    sim_.server->SetFaults({{SimFaultKind::Refuse, cmdReadHeader, -1, 0, -1, 0x10}});
    EXPECT_TRUE(Build(0x89));
    EXPECT_TRUE(tree_.Empty());

    sim_.server->SetFaults({{SimFaultKind::Refuse, cmdIdentify, -1, 0, -1, 0}});
    EXPECT_TRUE(Build(0x89));
    EXPECT_TRUE(tree_.Empty());
}

TEST_P(BuildFromDevice, ShortEntryAnswerNeverRepeatsThePreviousEntry) {
    Start(SimDemoDevice());
    // Entry 2 answers with no data at all: garbled, so the read fails, never with a second t1.
    sim_.server->SetFaults({{SimFaultKind::CutData, cmdReadEntry, 2, 0, -1, 0}});
    EXPECT_TRUE(Build(0x89));
    EXPECT_EQ(Dump(tree_).find("p1"), std::string::npos);
    EXPECT_EQ(tree_.FirstRoot()->Children[0]->Children.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Links, BuildFromDevice, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

class BuildFromDeviceTcp : public BuildFromDevice {};

TEST_P(BuildFromDeviceTcp, EmptyConfigurationGivesTheRootAloneWithoutProgress) {
    SimDevice device = SimDemoDevice();
    device.entries.clear();
    device.number = 4000000000u;
    Start(device);
    EXPECT_FALSE(Build(0x89, nullptr, AnyDeviceAddress));
    EXPECT_EQ(Dump(tree_), "VR7 №4000000000|0\n");
    EXPECT_TRUE(tree_.FirstRoot()->Expanded);
    EXPECT_TRUE(progress_.fractions.empty());
}

TEST_P(BuildFromDeviceTcp, SystemNumberAboveNineGetsAFolderWithoutAName) {
    SimDevice device = SimDemoDevice();
    device.entries = {SimCalcEntry(12, "x1"), SimCalcEntry(0, "r0")};
    Start(device);
    EXPECT_FALSE(Build(0x89));
    EXPECT_EQ(Dump(tree_), "VR7 №1|0\n  Система №< |7\n    x1|6\n  r0|6\n");
}

TEST_P(BuildFromDeviceTcp, EntryCountBeyondSixteenBitsFailsBeforeAnyEntryIsRequested) {
    SimDevice device = SimDemoDevice();
    device.entries.assign(65536, SimEmptyEntry());
    Start(device);
    EXPECT_TRUE(Build(0x89));
    EXPECT_EQ(failureKind, FailureKind::Invalid);  // no exchange failed: the count is unusable
    EXPECT_EQ(EntryRequests(1), 0);
    EXPECT_TRUE(progress_.fractions.empty());
}

INSTANTIATE_TEST_SUITE_P(Links, BuildFromDeviceTcp, ::testing::Values(Transport::Tcp),
                         [](const auto&) { return "Tcp"; });

}  // namespace
