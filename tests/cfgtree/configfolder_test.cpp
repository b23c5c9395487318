// Opening a configuration folder: the device number of its path, its CONFIG folder, the tree built
// aside; and the rule for which tree node the SNVT list may take.
#include "cfgtree/configfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "base/cp1251.h"
#include "tests/common/tempdir.h"

namespace {

namespace fs = std::filesystem;

const std::string kDemoFolder = VR7_SOURCE_DIR "/examples/vr7_12";

TEST(FolderDeviceNumber, Cases) {
    const struct {
        const char* path;
        FolderNumber kind;
        uint32_t number;
    } cases[] = {
        {"/home/u/vr7_12", FolderNumber::Digits, 12},
        {"/home/u/VR7_12x/sub", FolderNumber::Digits, 12},    // any case, digits end at a letter
        {"/home/u/Site_Vr7_0042", FolderNumber::Digits, 42},  // leading zeros
        {"/a/vr7_3/b/vr7_9", FolderNumber::Digits, 3},        // the first "vr7_" counts
        {"/a/vr7_x/vr7_9", FolderNumber::NoDigits, 0},        // ... even without digits
        {"/a/vr7_", FolderNumber::NoDigits, 0},               // at the very end
        {"/a/vr7_4294967295", FolderNumber::Digits, 4294967295u},
        {"/a/vr7_4294967297", FolderNumber::Digits, 1},                     // modulo 2^32
        {"/a/vr7_99999999999999999999", FolderNumber::Digits, 1661992959},  // 20 digits wrap
        {"/a/vr7_\xd9\xa3", FolderNumber::NoDigits, 0},  // a non-ASCII digit is no digit
        {"/a/vr7-12", FolderNumber::NoVr7, 0},
        {"/a/vr712", FolderNumber::NoVr7, 0},
        {"", FolderNumber::NoVr7, 0},
        {"/\xd0\xbf\xd0\xbb\xd0\xb0\xd0\xbd/VR7_5", FolderNumber::Digits, 5},  // Cyrillic before it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        uint32_t number = 77;
        EXPECT_EQ(FolderDeviceNumber(c.path, number), c.kind);
        EXPECT_EQ(number, c.number);
    }
}

TEST(FolderConfigDir, FindsConfigInAnyCaseAndKeepsTheNameWhenAbsent) {
    TempDir dir;
    dir.MakeDir("a/config");
    dir.MakeDir("b");
    EXPECT_EQ(FolderConfigDir(dir / "a"), dir / "a/config/");
    EXPECT_EQ(FolderConfigDir(dir / "a//"), dir / "a/config/");
    EXPECT_EQ(FolderConfigDir(dir / "b"), dir / "b/CONFIG/");
}

class ConfigTree : public ::testing::Test {
  protected:
    ConfigTree() { fs::copy(kDemoFolder, dir / "vr7_12", fs::copy_options::recursive); }
    std::string Config() const { return dir / "vr7_12/CONFIG/"; }

    TempDir dir;
    XmlDocument scratch;
};

TEST_F(ConfigTree, AWholeFolderIsComplete) {
    const FolderTree t = BuildConfigTree(Config(), 7, nullptr, scratch);
    ASSERT_TRUE(t.loaded.ok()) << t.loaded.failure().detail;
    EXPECT_EQ(t.build, TreeBuild::Complete);
    ASSERT_NE(t.tree.FirstRoot(), nullptr);
    EXPECT_EQ(t.tree.FirstRoot()->Text, cp1251::FromUtf8("VR7 №7").bytes());
    EXPECT_TRUE(t.tree.FirstRoot()->Expanded);
}

TEST_F(ConfigTree, AMissingSystemFileGivesAPartialTree) {
    fs::remove(Config() + "gvs.xms");
    const FolderTree t = BuildConfigTree(Config(), 7, nullptr, scratch);
    ASSERT_TRUE(t.loaded.ok());
    EXPECT_EQ(t.build, TreeBuild::Partial);
    ASSERT_NE(t.tree.FirstRoot(), nullptr);
    EXPECT_FALSE(t.tree.FirstRoot()->Children.empty());  // the systems read before it stay
    EXPECT_FALSE(t.tree.FirstRoot()->Expanded);
}

TEST_F(ConfigTree, AMainXmcThatCannotBeLoadedGivesTheLibrarysTextAndNoTree) {
    dir.Write("vr7_12/CONFIG/main.xmc", "<config><syslink");
    const FolderTree t = BuildConfigTree(Config(), 7, nullptr, scratch);
    ASSERT_FALSE(t.loaded.ok());
    EXPECT_NE(t.loaded.failure().detail.find("main.xmc"), std::string::npos)
        << t.loaded.failure().detail;
    EXPECT_TRUE(t.tree.Empty());
}

// A tree with a node of each kind that matters at depths 1, 2 and 3.
struct RuleTree {
    RuleTree() {
        root = tree.AddRoot("root", std::make_unique<SVR7_Info>());
        TreeNode* system = tree.AddChild(root, "sys", std::make_unique<SNodeInfo>(nkSystem), 7);
        TreeNode* nested = tree.AddChild(system, "nested", nullptr, 0);
        calc1 = tree.AddChild(root, "c1", Record(nkCalc), imgCalc);
        calc2 = tree.AddChild(system, "c2", Record(nkCalc), imgCalc);
        const2 = tree.AddChild(system, "k2", Record(nkConst), imgConst);
        event2 = tree.AddChild(system, "e2", Record(nkEvent), imgEvent);
        calc3 = tree.AddChild(nested, "c3", Record(nkCalc), imgCalc);
        folder2 = nested;
    }
    static std::unique_ptr<SNodeInfo> Record(int32_t kind) {
        auto r = std::make_unique<SNodeInfo>(kind);
        r->System = 1;
        return r;
    }
    CfgTree tree;
    TreeNode *root, *calc1, *calc2, *const2, *event2, *calc3, *folder2;
};

TEST(MayAddToList, DepthKindAndGesture) {
    RuleTree t;
    const struct {
        const TreeNode* node;
        bool doubleClick;
        bool drag;
    } cases[] = {
        {nullptr, false, false},   {t.root, false, false}, {t.calc1, false, false},
        {t.calc2, true, true},     {t.const2, true, true}, {t.event2, false, false},
        {t.folder2, false, false}, {t.calc3, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.node ? c.node->Text : "null");
        EXPECT_EQ(MayAddToList(c.node, AddGesture::DoubleClick), c.doubleClick);
        EXPECT_EQ(MayAddToList(c.node, AddGesture::Drag), c.drag);
    }
}

TEST(AddCalcLeaf, GoesUnderTheSystemsFolderWithItsShortName) {
    CfgTree tree;
    tree.AddRoot("root", std::make_unique<SVR7_Info>());
    const TreeNode* leaf = AddCalcLeaf(tree, SConfigInfo{}, kWindowTreeOptions, 3, "abcdefgh");
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->Text, "abcdef");
    EXPECT_EQ(leaf->Level(), 2);
    EXPECT_EQ(leaf->Parent->Text, cp1251::FromUtf8("Система №3").bytes());
    EXPECT_EQ(leaf->Info()->System, 3);
    // System 0 has no folder: its leaf hangs under the root, where the list may not take it.
    const TreeNode* bare = AddCalcLeaf(tree, SConfigInfo{}, kWindowTreeOptions, 0, "t1");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->Level(), 1);
}

}  // namespace
