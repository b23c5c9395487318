#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/cp1251.h"
#include "cfgtree/vr7cfgtree.h"
#include "optlist/catalogueindex.h"
#include "optlist/defstorage.h"
#include "tests/common/deffile.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"

namespace {

// main.xmc declaring the given slots ("sys1" -> base name).
std::string Xmc(const std::vector<std::pair<std::string, std::string>>& slots) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n";
    for (const auto& [slot, base] : slots)
        x += "  <syslink name=\"" + slot + "\">" + base + "</syslink>\n";
    return x + "  <other name=\"sys9\">ignored</other>\n</config>\n";
}

// A system file in Windows-1251 (declared), with a display name (null: no attribute) and calc names
// given in UTF-8.
std::string Xms(const char* displayName, const std::vector<std::string>& calcs) {
    std::string x = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<system";
    if (displayName) x += " name=\"" + W(displayName) + "\"";
    x += ">\r\n";
    for (const auto& c : calcs) x += "  <calc name=\"" + W(c) + "\" type=\"float\"/>\r\n";
    return x + "</system>\r\n";
}

const char* kCatalog = R"(<?xml version="1.0" encoding="UTF-8"?>
<CalcBank>
  <LonCfg size="62"/>
  <Var name="t$" note="°C"><LonVar VSNVTid="105"/></Var>
  <Var name="q$" note="кВт"><LonVar VSNVTid="28" FSNVTid="83" flags="q$f"/></Var>
  <Var name="temper1" note="°C"><LonVar VSNVTid="105"/></Var>
  <Var name="т$" note="°C"><LonVar VSNVTid="105"/></Var>
  <Var name="Tout" note="°C"><LonVar VSNVTid="105"/></Var>
  <Var name="known" note=""/>
</CalcBank>
)";

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

class BuildFromDir : public ::testing::Test {
  protected:
    void SetUp() override {
        config = dir.MakeDir("vr7_12/CONFIG");
        catalog.SetFileName(dir.Write("calcbank.xml", kCatalog));
        EXPECT_TRUE(catalog.Load().ok());
    }
    void File(const std::string& name, const std::string& bytes) {
        dir.Write("vr7_12/CONFIG/" + name, bytes);
    }
    // 0: the whole configuration; -1: partial; kNotLoaded: main.xmc failed (failure says why).
    static constexpr int kNotLoaded = -2;
    int Build(uint8_t options = 0x89, const XmlDocument* cat = nullptr, uint32_t number = 12) {
        const Result<TreeBuild> built =
            BuildTreeFromDir(tree, config, number, nullptr, cat, STreeOptions{options}, scratch);
        if (!built) {
            failure = built.failure();
            return kNotLoaded;
        }
        return built.value() == TreeBuild::Complete ? 0 : -1;
    }
    int BuildWithCatalog(uint8_t options = 0x89) { return Build(options, &catalog); }

    TreeNode* Root() const { return tree.FirstRoot(); }
    const SConfigInfo& Config() const {
        return static_cast<const SVR7_Info*>(Root()->Data.get())->Config;
    }
    std::vector<std::string> Captions(const TreeNode* n) const {
        std::vector<std::string> out;
        for (const auto& c : n->Children) out.push_back(c->Text);
        return out;
    }
    std::vector<std::string> Leaves() const {
        std::vector<std::string> out;
        tree.ForEach([&](const TreeNode& n) {
            if (n.Info() && n.Info()->Kind == nkCalc) out.push_back(n.Text);
        });
        return out;
    }

    TempDir dir;
    std::string config;
    XmlDocument catalog;
    Failure failure;  // of the last Build that gave kNotLoaded
    XmlDocument scratch;
    CfgTree tree;
};

using Strings = std::vector<std::string>;

TEST_F(BuildFromDir, NoSyslinksGivesTheRootAloneExpanded) {
    File("main.xmc", "<config><param/></config>");
    EXPECT_EQ(Build(), 0);
    ASSERT_EQ(tree.Roots().size(), 1u);
    EXPECT_EQ(Root()->Text, W("VR7 №12"));
    EXPECT_EQ(Root()->ImageIndex, imgDevice);
    EXPECT_EQ(Root()->Data->Kind, nkDevice);
    EXPECT_TRUE(Root()->Expanded);
    EXPECT_TRUE(Root()->Children.empty());
    EXPECT_EQ(Config().SystemCount, 0);
}

TEST_F(BuildFromDir, RootCaptionIsTheUnsignedDeviceNumber) {
    File("main.xmc", "<config/>");
    EXPECT_EQ(Build(0x89, nullptr, 4294967295u), 0);
    EXPECT_EQ(Root()->Text, W("VR7 №4294967295"));
}

TEST_F(BuildFromDir, SystemsAsFoldersAndVariablesAsLeaves) {
    File("main.xmc", Xmc({{"sys1", "kotel"}, {"sys2", "gvs"}}));
    File("kotel.xms", Xms("Котельная", {"t1", "q1"}));
    File("gvs.xms", Xms("Горячая вода", {"t2"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_TRUE(Root()->Expanded);
    EXPECT_EQ(Captions(Root()),
              (Strings{W("Система №1 : Котельная"), W("Система №2 : Горячая вода")}));
    const TreeNode* sys1 = Root()->Children[0].get();
    EXPECT_EQ(sys1->ImageIndex, imgSystem);
    ASSERT_NE(sys1->Info(), nullptr);
    EXPECT_EQ(sys1->Info()->Kind, nkSystem);
    EXPECT_EQ(Captions(sys1), (Strings{"t1", "q1"}));
    const TreeNode* q1 = sys1->Children[1].get();
    EXPECT_EQ(q1->Level(), 2);
    EXPECT_EQ(q1->ImageIndex, imgCalc);
    EXPECT_EQ(q1->Info()->Kind, nkCalc);
    EXPECT_EQ(q1->Info()->System, 1);
    EXPECT_EQ(std::string(q1->Info()->Name, 6), std::string("q1\0\0\0\0", 6));
    for (uint8_t b : q1->Info()->Extra) EXPECT_EQ(b, 0);
    EXPECT_EQ(Root()->Children[1]->Children[0]->Info()->System, 2);
    EXPECT_EQ(Config().SystemCount, 2);
    EXPECT_EQ(Config().SystemName[0], W(": Котельная"));
    EXPECT_EQ(Config().SystemText2[0], "kotel");
    EXPECT_EQ(Config().SystemText2[1], "gvs");
    // The scratch document is left on the last system file loaded.
    std::string name;
    XmlDocument::Attribute(scratch.DocumentElement(), "name", name);
    EXPECT_EQ(name, W("Горячая вода"));
}

TEST_F(BuildFromDir, CatalogueHidesUnknownVariables) {
    File("main.xmc", Xmc({{"sys1", "kotel"}}));
    File("kotel.xms", Xms("K", {"t1", "zz", "q1", "tx", "known"}));
    EXPECT_EQ(BuildWithCatalog(), 0);
    EXPECT_EQ(Leaves(), (Strings{"t1", "q1"}));  // "known" has no LonVar: count 0
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Leaves(), (Strings{"t1", "zz", "q1", "tx", "known"}));
}

TEST_F(BuildFromDir, SystemWithoutAcceptedVariableGetsNoFolder) {
    File("main.xmc", Xmc({{"sys1", "a"}, {"sys2", "b"}}));
    File("a.xms", Xms("A", {"zz"}));
    File("b.xms", Xms("B", {"t1"}));
    EXPECT_EQ(BuildWithCatalog(), 0);
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №2 : B")}));
}

TEST_F(BuildFromDir, CatalogueNotLoadedHidesEverything) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", Xms("A", {"t1"}));
    XmlDocument empty("calcbank.xml");
    EXPECT_EQ(Build(0x89, &empty), 0);
    EXPECT_TRUE(Root()->Children.empty());
}

TEST_F(BuildFromDir, NamesAreLowerCasedAndCutToSixBytes) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", Xms("A", {"T1", "TEMPER1", "Т5", "ТЕМПЕРАТУРА", "TOUT"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Leaves(), (Strings{"t1", "temper", W("т5"), W("темпер"), "tout"}));
    const TreeNode* longLeaf = Root()->Children[0]->Children[1].get();
    EXPECT_EQ(std::string(longLeaf->Info()->Name, 6), "temper");  // no terminator
    // The catalogue sees the whole lower-cased name; "Tout" in the catalogue matches no "tout".
    EXPECT_EQ(BuildWithCatalog(), 0);
    EXPECT_EQ(Leaves(), (Strings{"t1", "temper", W("т5")}));
}

TEST_F(BuildFromDir, CalcWithoutNameIsSkippedAndEmptyNameGivesEmptyCaption) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", "<system name=\"A\"><calc/><calc name=\"\"/><calc name=\"t1\"/></system>");
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Leaves(), (Strings{"", "t1"}));
}

TEST_F(BuildFromDir, OnlyDirectCalcChildrenCount) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms",
         "<system name=\"A\"><group><calc name=\"t9\"/></group><Calc name=\"t8\"/>"
         "<calc Name=\"t7\"/><!-- <calc name=\"t6\"/> --><calc name=\"t1\"/></system>");
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Leaves(), (Strings{"t1"}));
}

TEST_F(BuildFromDir, SystemFileWithoutNameLeavesATrailingSpace) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", Xms(nullptr, {"t1"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №1 ")}));
    EXPECT_EQ(Config().SystemName[0], "");
}

TEST_F(BuildFromDir, SlashInSystemNameNestsFolders) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", Xms("ГВС/Бойлер", {"t1"}));
    EXPECT_EQ(Build(), 0);
    ASSERT_EQ(Captions(Root()), (Strings{W("Система №1 : ГВС")}));
    EXPECT_EQ(Captions(Root()->Children[0].get()), (Strings{W("Бойлер")}));
    EXPECT_EQ(Root()->Children[0]->Children[0]->Data, nullptr);  // no kind: no record, image 0
    EXPECT_EQ(Root()->Children[0]->Children[0]->Children[0]->Level(), 3);
}

TEST_F(BuildFromDir, SlashInSystemNameCanMakeAGeidFolderWithoutNumber) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", Xms("x/GEIDx", {"t1"}));
    EXPECT_EQ(Build(), 0);
    const TreeNode* geid = Root()->Children[0]->Children[0].get();
    EXPECT_EQ(geid->Text, "GEIDx");
    ASSERT_NE(geid->Info(), nullptr);
    EXPECT_EQ(geid->Info()->Kind, nkGeidGroup);
    EXPECT_EQ(geid->Info()->Geid, 0);
}

TEST_F(BuildFromDir, SameNameTwiceGivesTwoLeaves) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", Xms("A", {"t1", "T1"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Leaves(), (Strings{"t1", "t1"}));
}

TEST_F(BuildFromDir, TreeShapeByOptions) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", Xms("A", {"t1"}));

    EXPECT_EQ(Build(0x81), 0);  // no folders: leaves under the root
    ASSERT_EQ(Root()->Children.size(), 1u);
    EXPECT_EQ(Root()->Children[0]->Text, "t1");
    EXPECT_EQ(Root()->Children[0]->Level(), 1);

    EXPECT_EQ(Build(0xC9), 0);  // system folder, then "Calc"
    const TreeNode* calc = Root()->Children[0]->Children[0].get();
    EXPECT_EQ(calc->Text, "Calc");
    EXPECT_EQ(calc->ImageIndex, imgCalcGroup);
    EXPECT_EQ(calc->Info()->Kind, nkCalcGroup);
    EXPECT_EQ(calc->Children[0]->Level(), 3);

    EXPECT_EQ(Build(0xC0), 0);  // "Calc" under the root
    EXPECT_EQ(Captions(Root()), (Strings{"Calc"}));

    EXPECT_EQ(Build(0x7F), 0);  // no calculated variables at all
    EXPECT_TRUE(Root()->Children.empty());
    EXPECT_EQ(Config().SystemName[0], ": A");  // the system file was still read
}

TEST_F(BuildFromDir, DummySlotIsNotASystem) {
    File("main.xmc", Xmc({{"sys1", "a"}, {"sys2", "b"}}));
    File("main.def", DefFile({{"syslink::sys2", "dummy"}}));
    File("a.xms", Xms("A", {"t1"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Config().SystemCount, 1);
    EXPECT_EQ(Config().SystemText2[1], "dummy");
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №1 : A")}));
}

TEST_F(BuildFromDir, DummyTestIsExact) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("main.def", DefFile({{"syslink::sys1", "Dummy"}}));
    File("Dummy.xms", Xms("D", {"t1"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Config().SystemCount, 1);
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №1 : D")}));
}

TEST_F(BuildFromDir, XmcTextDummyCountsAsASystem) {
    File("main.xmc", Xmc({{"sys1", "dummy"}}));
    File("dummy.xms", Xms("D", {"t1"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Config().SystemCount, 1);
    EXPECT_EQ(Leaves(), (Strings{"t1"}));
}

TEST_F(BuildFromDir, DefValueNamesTheSystemFile) {
    File("main.xmc", Xmc({{"sys1", "old"}}));
    File("main.def", DefFile({{"device::type", "VR-7"}, {"SYSLINK::SYS1", " \t new"}}));
    File("new.xms", Xms("New", {"t1"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Config().SystemText2[0], "new");
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №1 : New")}));
}

TEST_F(BuildFromDir, DefValueForAnUndeclaredSlotIsNotUsed) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("main.def", DefFile({{"syslink::sys2", "b"}}));
    File("a.xms", Xms("A", {"t1"}));
    File("b.xms", Xms("B", {"t2"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Config().SystemCount, 1);
    EXPECT_EQ(Leaves(), (Strings{"t1"}));
}

// The definition file is asked for write access first; refused, it is read all the same.
TEST_F(BuildFromDir, ReadOnlyDefIsReadAsAWritableOne) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("main.def", DefFile({{"syslink::sys1", "b"}}));
    ASSERT_EQ(chmod((config + "main.def").c_str(), 0444), 0);
    File("b.xms", Xms("B", {"t1"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Config().SystemText2[0], "b");
    EXPECT_EQ(Leaves(), Strings{"t1"});
}

TEST_F(BuildFromDir, DamagedDefGivesItsErrorTextAsFileNameAndFails) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("main.def", "\x01\x05sy");
    File("a.xms", Xms("A", {"t1"}));
    EXPECT_EQ(Build(), -1);
    EXPECT_EQ(Config().SystemText2[0], std::string(defstorage::kFormatError));
    ASSERT_EQ(tree.Roots().size(), 1u);
    EXPECT_FALSE(Root()->Expanded);
    EXPECT_TRUE(Root()->Children.empty());
}

TEST_F(BuildFromDir, DefWithoutEndMarkerGivesTheShortErrorText) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("main.def", "\x01" + DefRecord("x", "y") + "\x11");
    EXPECT_EQ(Build(), -1);
    EXPECT_EQ(Config().SystemText2[0], W("ошибка формата"));
}

TEST_F(BuildFromDir, MissingSystemFileStopsWithMinusOneKeepingEarlierSystems) {
    File("main.xmc", Xmc({{"sys1", "a"}, {"sys2", "missing"}, {"sys3", "c"}}));
    File("a.xms", Xms("A", {"t1"}));
    File("c.xms", Xms("C", {"t3"}));
    EXPECT_EQ(Build(), -1);
    EXPECT_FALSE(Root()->Expanded);
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №1 : A")}));
    EXPECT_FALSE(scratch.IsActive());
}

TEST_F(BuildFromDir, MalformedSystemFileStopsWithMinusOne) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", "<system name=\"A\"><calc name=\"t1\"></system>");
    EXPECT_EQ(Build(), -1);
    EXPECT_TRUE(Root()->Children.empty());
}

TEST_F(BuildFromDir, MissingXmcThrowsTheLibraryTextLeavesTheTreeEmptyAndClosesDef) {
    File("main.def", DefFile({{"syslink::sys1", "a"}}));
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", Xms("A", {"t1"}));
    EXPECT_EQ(Build(), 0);
    ASSERT_FALSE(tree.Empty());
    std::remove((config + "main.xmc").c_str());
    const int before = OpenDescriptors();
    ASSERT_EQ(Build(), kNotLoaded) << "no error";
    EXPECT_NE(failure.detail.find("main.xmc"), std::string::npos) << failure.detail;
    EXPECT_TRUE(tree.Empty());
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(BuildFromDir, MalformedXmcFails) {
    File("main.xmc", "<config><syslink name=\"sys1\">a</config>");
    EXPECT_EQ(Build(), kNotLoaded);
    EXPECT_TRUE(tree.Empty());
}

TEST_F(BuildFromDir, SlotsAreReadUnderTheirOwnNumberAcrossAGap) {
    File("main.xmc", Xmc({{"sys1", "a"}, {"sys3", "c"}}));
    File("a.xms", Xms("A", {"t1"}));
    File("c.xms", Xms("C", {"t3"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Config().SystemCount, 2);
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №1 : A"), W("Система №3 : C")}));
    EXPECT_EQ(Root()->Children[1]->Children[0]->Info()->System, 3);
    EXPECT_EQ(Config().SystemName[2], ": C");
    EXPECT_EQ(Config().SystemName[1], "");
}

TEST_F(BuildFromDir, DummySlotBeforeARealOne) {
    File("main.xmc", Xmc({{"sys1", "a"}, {"sys2", "b"}}));
    File("main.def", DefFile({{"syslink::sys1", "dummy"}}));
    File("b.xms", Xms("B", {"t2"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Config().SystemCount, 1);
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №2 : B")}));
    EXPECT_EQ(Root()->Children[0]->Children[0]->Info()->System, 2);
}

TEST_F(BuildFromDir, SlotsAreReadInSlotOrderWhateverTheXmcOrder) {
    File("main.xmc", Xmc({{"sys2", "b"}, {"sys1", "a"}}));
    File("a.xms", Xms("A", {"t1"}));
    File("b.xms", Xms("B", {"t2"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №1 : A"), W("Система №2 : B")}));
}

TEST_F(BuildFromDir, FolderCopiedFromWindowsWithOtherLetterCase) {
    const std::string upper = dir.MakeDir("vr7_13/config");
    dir.Write("vr7_13/config/MAIN.DEF", DefFile({{"syslink::sys2", "Boiler"}}));
    dir.Write("vr7_13/config/Main.Xmc", Xmc({{"sys1", "KOTEL"}, {"sys2", "x"}}));
    dir.Write("vr7_13/config/kotel.XMS", Xms("K", {"t1"}));
    dir.Write("vr7_13/config/BOILER.xms", Xms("B", {"t2"}));
    const Result<TreeBuild> r = BuildTreeFromDir(tree, dir.Path() + "vr7_13/CONFIG/", 13, nullptr,
                                                 nullptr, kWindowTreeOptions, scratch);
    EXPECT_EQ(r.value_or(TreeBuild::Partial), TreeBuild::Complete);
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №1 : K"), W("Система №2 : B")}));
}

TEST_F(BuildFromDir, BackslashInBaseNameIsAFolderSeparator) {
    File("main.xmc", Xmc({{"sys1", "systems\\kotel"}}));
    File("systems/kotel.xms", Xms("K", {"t1"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Leaves(), (Strings{"t1"}));
}

TEST_F(BuildFromDir, CyrillicBaseNameFindsTheUtf8FileName) {
    File("main.xmc", "<?xml version=\"1.0\" encoding=\"windows-1251\"?><c><syslink name=\"sys1\">" +
                         W("котельная") + "</syslink></c>");
    File("котельная.xms", Xms("K", {"t1"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Config().SystemText2[0], W("котельная"));
    EXPECT_EQ(Leaves(), (Strings{"t1"}));
}

TEST_F(BuildFromDir, Utf8SystemFile) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><s name=\"Вентиляция\"><calc "
         "name=\"ТЕМП1\"/></s>");
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Captions(Root()), (Strings{W("Система №1 : Вентиляция")}));
    EXPECT_EQ(Leaves(), (Strings{W("темп1")}));
}

TEST_F(BuildFromDir, RebuildingReplacesTheTree) {
    File("main.xmc", Xmc({{"sys1", "a"}}));
    File("a.xms", Xms("A", {"t1"}));
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(tree.Roots().size(), 1u);
    EXPECT_EQ(Leaves().size(), 1u);
}

// The systems of a configuration repeat their variables' names: the catalogue is asked once for
// each name a build meets, whichever system meets it first, and every leaf is still there.
TEST_F(BuildFromDir, CatalogueIsAskedOncePerDistinctName) {
    File("main.xmc", Xmc({{"sys1", "a"}, {"sys2", "b"}, {"sys3", "c"}}));
    File("a.xms", Xms("A", {"t1", "zz", "q1", "t1", "Т5"}));
    File("b.xms", Xms("B", {"zz", "t1", "q2", "q1"}));
    File("c.xms", Xms("C", {"t1", "Т5", "zz", "t1"}));
    const uint64_t before = CatalogueIndex::Of(catalog).Lookups();
    EXPECT_EQ(BuildWithCatalog(), 0);
    EXPECT_EQ(CatalogueIndex::Of(catalog).Lookups() - before, 5u);  // t1 zz q1 Т5 q2
    EXPECT_EQ(Leaves(),
              (Strings{"t1", "q1", "t1", W("т5"), "t1", "q2", "q1", "t1", W("т5"), "t1"}));

    // Thousands of names, each met in every system: still one question a name.
    std::vector<std::string> many;
    for (int i = 0; i < 3000; ++i) many.push_back("t" + std::to_string(i % 1500));
    File("a.xms", Xms("A", many));
    File("b.xms", Xms("B", many));
    File("c.xms", Xms("C", {}));
    const uint64_t start = CatalogueIndex::Of(catalog).Lookups();
    EXPECT_EQ(BuildWithCatalog(), 0);
    EXPECT_EQ(CatalogueIndex::Of(catalog).Lookups() - start, 1500u);
    EXPECT_EQ(Leaves().size(), 2u * 2 * 10);  // t0 .. t9 match "t$", twice in each system
    File("a.xms", Xms("A", {"t1", "zz", "q1", "t1", "Т5"}));
    File("b.xms", Xms("B", {"zz", "t1", "q2", "q1"}));
    File("c.xms", Xms("C", {"t1", "Т5", "zz", "t1"}));

    // A second build asks again: what a build learns is not kept past it.
    EXPECT_EQ(BuildWithCatalog(), 0);
    EXPECT_EQ(CatalogueIndex::Of(catalog).Lookups() - start, 1500u + 5);
}

}  // namespace
