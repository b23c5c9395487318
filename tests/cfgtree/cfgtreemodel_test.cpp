#include "cfgtree/cfgtreemodel.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "base/cp1251.h"
#include "tests/common/testtext.h"

namespace {

std::unique_ptr<SNodeInfo> Calc(const char* name, uint8_t system = 1) {
    auto r = std::make_unique<SNodeInfo>(nkCalc);
    r->System = system;
    std::memcpy(r->Name, name, strnlen(name, 6));
    return r;
}

class Tree : public ::testing::Test {
  protected:
    void SetUp() override {
        root = tree.AddRoot(
            "VR7 \xB9"
            "12",
            std::make_unique<SVR7_Info>());
    }
    CfgTree tree;
    TreeNode* root = nullptr;
};

TEST_F(Tree, RootLevelAndRecord) {
    EXPECT_EQ(root->Level(), 0);
    EXPECT_EQ(root->ImageIndex, imgDevice);
    EXPECT_EQ(root->Data->Kind, nkDevice);
    EXPECT_EQ(root->Info(), nullptr);
    EXPECT_EQ(tree.FirstRoot(), root);
}

TEST_F(Tree, LeafUnderRootWithEmptyPath) {
    TreeNode* leaf = AddNodeByPath(tree, "", " ", Calc("t1"), imgCalc);
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->Parent, root);
    EXPECT_EQ(leaf->Level(), 1);
    EXPECT_EQ(leaf->Text, " ");
    EXPECT_EQ(leaf->ImageIndex, imgCalc);
}

TEST_F(Tree, FoldersAreFoundOrCreatedAndLeavesAlwaysAppended) {
    const std::string sys = W("Система №1 : Котельная") + "/";
    TreeNode* a = AddNodeByPath(tree, sys, " ", Calc("t1"), imgCalc);
    TreeNode* b = AddNodeByPath(tree, sys, " ", Calc("t1"), imgCalc);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    ASSERT_EQ(root->Children.size(), 1u);
    TreeNode* folder = root->Children[0].get();
    EXPECT_EQ(folder->Text, W("Система №1 : Котельная"));
    EXPECT_EQ(folder->Children.size(), 2u);
    EXPECT_EQ(a->Level(), 2);
}

TEST_F(Tree, FolderKindsByCaptionInOrder) {
    struct Case {
        std::string caption;
        int32_t kind;  // -1: no record
        int image;
    } cases[] = {
        {"Calc", nkCalcGroup, imgCalcGroup},
        {"Calculated", nkCalcGroup, imgCalcGroup},
        {"Const", nkConstGroup, imgConstGroup},
        {"Constants", nkConstGroup, imgConstGroup},
        {W("Система"), nkSystem, imgSystem},
        {W("Система №3"), nkSystem, imgSystem},
        {"Event", nkEventGroup, imgEventGroup},
        {"GEID 5", nkGeidGroup, imgEventGroup},
        {"Cal", -1, imgDevice},
        {W("Систем"), -1, imgDevice},
        {"calc", -1, imgDevice},
        {"Other", -1, imgDevice},
    };
    for (const auto& c : cases) {
        TreeNode* leaf = AddNodeByPath(tree, c.caption + "/", " ", Calc("x"), imgCalc);
        ASSERT_NE(leaf, nullptr);
        TreeNode* folder = leaf->Parent;
        EXPECT_EQ(folder->Text, c.caption);
        EXPECT_EQ(folder->ImageIndex, c.image) << c.caption;
        if (c.kind < 0) {
            EXPECT_EQ(folder->Data, nullptr) << c.caption;
        } else {
            ASSERT_NE(folder->Info(), nullptr) << c.caption;
            EXPECT_EQ(folder->Info()->Kind, c.kind) << c.caption;
        }
    }
}

TEST_F(Tree, GeidNumberFromTheSixthCharacter) {
    auto geidOf = [&](const std::string& caption) -> int {
        TreeNode* leaf = AddNodeByPath(tree, caption, " ", Calc("x"), imgCalc);
        EXPECT_NE(leaf, nullptr);
        const SNodeInfo* info = leaf->Parent->Info();
        EXPECT_NE(info, nullptr);
        EXPECT_EQ(info->Kind, nkGeidGroup);
        return info ? info->Geid : -1;
    };
    EXPECT_EQ(geidOf("GEID 5"), 5);
    EXPECT_EQ(geidOf("GEID 65535"), 65535);
    EXPECT_EQ(geidOf("Event/GEID 17"), 17);
}

TEST_F(Tree, GeidCaptionWithoutANumberGivesZero) {
    for (const std::string caption : {"GEID", "GEID ", "GEIDx", "GEID abc", "GEID-", "GEIDERA 1"}) {
        TreeNode* leaf = AddNodeByPath(tree, caption + "/", " ", Calc("x"), imgCalc);
        ASSERT_NE(leaf, nullptr) << caption;
        ASSERT_NE(leaf->Parent->Info(), nullptr) << caption;
        EXPECT_EQ(leaf->Parent->Info()->Geid, 0) << caption;
    }
}

TEST_F(Tree, EmptySegmentEndsTheWalk) {
    TreeNode* leaf = AddNodeByPath(tree, "A//B/", " ", Calc("x"), imgCalc);
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->Parent->Text, "A");
    EXPECT_EQ(leaf->Level(), 2);
    TreeNode* top = AddNodeByPath(tree, "/A/", " ", Calc("y"), imgCalc);
    EXPECT_EQ(top->Parent, root);
}

TEST_F(Tree, SlashNestsFolders) {
    TreeNode* leaf = AddNodeByPath(tree, "A/B/C", " ", Calc("x"), imgCalc);
    EXPECT_EQ(leaf->Level(), 4);
    EXPECT_EQ(leaf->Parent->Text, "C");
}

TEST(TreeEmpty, AddNodeByPathWithoutRootGivesNone) {
    CfgTree tree;
    EXPECT_EQ(AddNodeByPath(tree, "A/", " ", Calc("x"), imgCalc), nullptr);
}

TEST(NodeText, CalcNameUpToSixBytes) {
    EXPECT_EQ(CalcNodeText(*Calc("t1")), "t1");
    EXPECT_EQ(CalcNodeText(*Calc("abcdefgh")), "abcdef");
    EXPECT_EQ(CalcNodeText(*Calc("")), "");
}

TEST(NodeText, SetNodeTextByKind) {
    CfgTree tree;
    TreeNode* root = tree.AddRoot("root", std::make_unique<SVR7_Info>());
    TreeNode* leaf = AddNodeByPath(tree, "", " ", Calc("q12"), imgCalc);
    SetNodeText(leaf);
    EXPECT_EQ(leaf->Text, "q12");
    TreeNode* folder = tree.AddChild(root, "Calc", std::make_unique<SNodeInfo>(nkCalcGroup), 5);
    SetNodeText(folder);
    EXPECT_EQ(folder->Text, "Calc");
    SetNodeText(root);
    EXPECT_EQ(root->Text, "root");
    TreeNode* bare = tree.AddChild(root, "bare", nullptr, 0);
    SetNodeText(bare);
    EXPECT_EQ(bare->Text, "bare");
    SetNodeText(nullptr);
}

TEST(NodeText, EventCaption) {
    SNodeInfo ev(nkEvent);
    std::memcpy(ev.Name, "ev1", 3);
    ev.Mask = 16;
    ev.Code = 5;
    EXPECT_EQ(EventNodeText(ev), "ev1    : Mask: 0x00000010, Code: 5");
    std::memcpy(ev.Name, "abcdef", 6);
    ev.Mask = 0xDEADBEEF;
    ev.Code = 4294967295u;
    EXPECT_EQ(EventNodeText(ev), "abcdef : Mask: 0xDEADBEEF, Code: 4294967295");
}

TEST(NodeText, ConstValuePattern) {
    EXPECT_EQ(ConstValueText(3.5f, "."), "3.5");
    EXPECT_EQ(ConstValueText(0.0f, "."), "0");
    EXPECT_EQ(ConstValueText(-0.0f, "."), "0");
    EXPECT_EQ(ConstValueText(2.0f, "."), "2");
    EXPECT_EQ(ConstValueText(-1.25f, "."), "-1.25");
    EXPECT_EQ(ConstValueText(0.1f, "."), "0.1");
    EXPECT_EQ(ConstValueText(0.5f, ","), "0,5");
    EXPECT_EQ(ConstValueText(1e-7f, "."), "0");
    EXPECT_EQ(ConstValueText(0.0000015f, "."), "0.000002");
    EXPECT_EQ(ConstValueText(123456.0f, "."), "123456");
    EXPECT_EQ(ConstValueText(1234.5678f, "."), "1234.567749");
    EXPECT_EQ(ConstValueText(1e10f, "."), "10000000000");
    EXPECT_EQ(ConstValueText(-1e-7f, "."), "0");
    EXPECT_EQ(ConstValueText(std::numeric_limits<float>::quiet_NaN(), "."), "NAN");
    EXPECT_EQ(ConstValueText(std::numeric_limits<float>::infinity(), "."), "INF");
    EXPECT_EQ(ConstValueText(-std::numeric_limits<float>::infinity(), "."), "-INF");
    EXPECT_EQ(ConstValueText(3.4028235e38f, "."), "3.40282346638529E38");
}

TEST(NodeText, ConstCaptionUnderTheCLocale) {
    SNodeInfo k(nkConst);
    std::memcpy(k.Name, "k1", 2);
    k.Value = 3.5f;
    EXPECT_EQ(ConstNodeText(k), "k1     = 3.5");
    std::memcpy(k.Name, "abcdef", 6);
    k.Value = -2;
    EXPECT_EQ(ConstNodeText(k), "abcdef = -2");
}

// Switches LC_NUMERIC to a Russian locale: an installed one, or the one the build compiled into
// its own folder. False when neither is there.
bool UseRussianNumericLocale() {
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "ru_RU.CP1251", "ru_RU"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) return true;
    }
    ::setenv("LOCPATH", VR7_BINARY_DIR "/locale", 1);
    const bool ok = std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") != nullptr;
    ::unsetenv("LOCPATH");
    return ok;
}

TEST(NodeText, ConstCaptionFollowsTheLocaleDecimalSeparator) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!UseRussianNumericLocale()) GTEST_SKIP() << "no Russian locale can be had on this machine";
    SNodeInfo k(nkConst);
    std::memcpy(k.Name, "k1", 2);
    k.Value = 3.5f;
    const std::string text = ConstNodeText(k);
    k.Value = 1e10f;
    const std::string big = ConstNodeText(k);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "k1     = 3,5");
    EXPECT_EQ(big, "k1     = 10000000000");  // no thousands separator
}

TEST(LeafFolderPath, SystemSegmentAndGroup) {
    SConfigInfo config;
    config.SystemCount = 2;
    config.SystemName[0] = W(": Котельная");
    config.SystemName[1] = "";
    const STreeOptions opts{0x89};
    EXPECT_EQ(LeafFolderPath(config, opts, 1, ""), W("Система №1 : Котельная/"));
    EXPECT_EQ(LeafFolderPath(config, opts, 2, ""), W("Система №2 /"));
    EXPECT_EQ(LeafFolderPath(config, opts, 0, ""), "");
    EXPECT_EQ(LeafFolderPath(config, STreeOptions{0xC9}, 1, "Calc"),
              W("Система №1 : Котельная/Calc/"));
    EXPECT_EQ(LeafFolderPath(config, STreeOptions{0xC1}, 1, "Calc"), "Calc/");
    EXPECT_EQ(LeafFolderPath(config, STreeOptions{0x81}, 1, ""), "");
    config.SystemCount = 0;
    EXPECT_EQ(LeafFolderPath(config, opts, 3, ""), W("Система №3/"));
}

TEST(LeafFolderPath, SystemNumbersAboveNineHaveNoName) {
    SConfigInfo config;
    config.SystemCount = 9;
    config.SystemName.fill("x");
    const std::string path = LeafFolderPath(config, STreeOptions{0x08}, 12, "");
    EXPECT_EQ(path, W("Система №") + std::string(1, static_cast<char>(0x30 + 12)) + " /");
}

TEST(LeafFolderPath, KindWindowOptions) {
    EXPECT_TRUE(kWindowTreeOptions.Calcs());
    EXPECT_TRUE(kWindowTreeOptions.SystemGroups());
    EXPECT_FALSE(kWindowTreeOptions.CalcGroup());
    EXPECT_FALSE(kWindowTreeOptions.Consts());
    EXPECT_FALSE(kWindowTreeOptions.Events());
}

}  // namespace
