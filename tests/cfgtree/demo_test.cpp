// The demo configuration folder and catalogue in examples/ read as documented there, and agree
// with each other.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "cfgtree/vr7cfgtree.h"
#include "optlist/defstorage.h"
#include "optlist/optlist.h"
#include "tests/common/testtext.h"

namespace {

const std::string kExamples = std::string(VR7_SOURCE_DIR) + "/examples/";
const std::string kConfig = kExamples + "vr7_12/CONFIG/";

std::vector<std::string> Split(const std::string& s, const std::string& sep) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (true) {
        const size_t at = s.find(sep, pos);
        if (at == std::string::npos) {
            out.push_back(s.substr(pos));
            return out;
        }
        out.push_back(s.substr(pos, at - pos));
        pos = at + sep.size();
    }
}

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string t;
    while (in >> t) out.push_back(t);
    return out;
}

class Demo : public ::testing::Test {
  protected:
    void SetUp() override {
        catalog.SetFileName(kExamples + "calcbank.xml");
        EXPECT_TRUE(catalog.Load().ok());
        const Result<TreeBuild> built =
            BuildTreeFromDir(tree, kConfig, 12, nullptr, &catalog, kWindowTreeOptions, scratch);
        result = !built ? -2 : built.value() == TreeBuild::Complete ? 0 : -1;
    }
    const SConfigInfo& Config() const {
        return static_cast<const SVR7_Info*>(tree.FirstRoot()->Data.get())->Config;
    }
    // Captions of the variables, as the list names them: system number + leaf text.
    std::map<std::string, const TreeNode*> Variables() const {
        std::map<std::string, const TreeNode*> out;
        tree.ForEach([&](const TreeNode& n) {
            if (n.Info() && n.Info()->Kind == nkCalc)
                out[std::to_string(n.Info()->System) + n.Text] = &n;
        });
        return out;
    }

    XmlDocument catalog;
    XmlDocument scratch;
    CfgTree tree;
    int result = -2;
};

TEST_F(Demo, CatalogueCapacity) {
    EXPECT_EQ(GetFirstChildAttr(catalog, "LonCfg", "size"), "62");
}

TEST_F(Demo, DefinitionFileRecords) {
    CDefStorage def;
    def.Open((kConfig + "main.def").c_str(), winfile::GENERIC_READ, winfile::FILE_SHARE_READ,
             winfile::OPEN_EXISTING, 0);
    ASSERT_TRUE(def.IsOpen());
    EXPECT_EQ(def.GetValue(CMystring("syslink::sys2")).Str(), "gvs");
    EXPECT_EQ(def.GetValue(CMystring("SYSLINK::SYS4")).Str(), "dummy");
    EXPECT_EQ(def.GetValue(CMystring("syslink::sys1")).Str(), "");
    EXPECT_EQ(def.GetValue(CMystring("config::object")).Str(), W("ЦТП-3, ул. Заводская, 14"));
}

TEST_F(Demo, TreeShape) {
    ASSERT_EQ(result, 0);
    const TreeNode* root = tree.FirstRoot();
    EXPECT_EQ(root->Text, W("VR7 №12"));
    EXPECT_TRUE(root->Expanded);
    EXPECT_EQ(Config().SystemCount, 3);
    EXPECT_EQ(Config().SystemText2[1], "gvs");
    EXPECT_EQ(Config().SystemText2[3], "dummy");
    ASSERT_EQ(root->Children.size(), 3u);
    EXPECT_EQ(root->Children[0]->Text, W("Система №1 : Котельная"));
    EXPECT_EQ(root->Children[1]->Text, W("Система №2 : Горячее водоснабжение"));
    EXPECT_EQ(root->Children[2]->Text, W("Система №3 : Приточная вентиляция"));
    EXPECT_EQ(root->Children[0]->Children.size(), 11u);
    EXPECT_EQ(root->Children[1]->Children.size(), 8u);
    EXPECT_EQ(root->Children[2]->Children.size(), 7u);
    tree.ForEach([](const TreeNode& n) {
        if (n.Info() && n.Info()->Kind == nkCalc) {
            EXPECT_EQ(n.Level(), 2);
            EXPECT_EQ(n.ImageIndex, imgCalc);
        }
    });
    const auto vars = Variables();
    EXPECT_TRUE(vars.count("1t1"));  // written "T1"
    EXPECT_TRUE(vars.count("1dt12"));
    EXPECT_TRUE(vars.count(W("2тхв")));  // written "ТХВ"
    EXPECT_TRUE(vars.count("3tnv"));
    EXPECT_FALSE(vars.count("1dtmin"));
    EXPECT_FALSE(vars.count("2gvsmod"));
    EXPECT_FALSE(vars.count("3alarm"));
}

TEST_F(Demo, WithoutCatalogueEveryVariableIsShown) {
    ASSERT_EQ(BuildTreeFromDir(tree, kConfig, 12, nullptr, nullptr, kWindowTreeOptions, scratch)
                  .value_or(TreeBuild::Partial),
              TreeBuild::Complete);
    const auto vars = Variables();
    EXPECT_EQ(vars.size(), 12u + 9u + 8u);
    EXPECT_TRUE(vars.count("2gvsmod"));  // cut to 6 bytes
    EXPECT_TRUE(vars.count("3alarm"));
}

TEST_F(Demo, GatewayFileNamesVariablesOfTheTreeWithTheirCatalogueData) {
    ASSERT_EQ(result, 0);
    const auto vars = Variables();
    const std::string file = ReadBytes(kConfig + "duxgate.cfg");
    ASSERT_FALSE(file.empty());
    ASSERT_EQ(file.substr(file.size() - 2), "\r\n");
    std::vector<std::string> lines = Split(file.substr(0, file.size() - 2), "\r\n");
    unsigned expectedRef = 40001;
    int mainLines = 0, flagsLines = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto t = Tokens(lines[i]);
        ASSERT_EQ(t.size(), 5u) << lines[i];
        EXPECT_EQ(t[0], "F");
        EXPECT_EQ(t[1], std::to_string(expectedRef));
        expectedRef += 2;
        ++mainLines;
        // The id is padded to 22 columns and followed by one space.
        EXPECT_EQ(lines[i].substr(2 + t[1].size() + 1 + 22, 1), " ");
        const std::string& name = t[3];
        ASSERT_TRUE(vars.count(name)) << name;
        const std::string leafText = vars.at(name)->Text;
        const SOptions o = GetVarOptions(catalog, leafText);
        ASSERT_GT(o.count, 0) << name;
        EXPECT_EQ(t[2], o.items[0].value) << name;
        EXPECT_EQ(t[4], GetVarNote(catalog, leafText)) << name;
        const bool hasFlags = o.items[1].name == "FSNVTid";
        const bool nextIsFlags = i + 1 < lines.size() && lines[i + 1].rfind("B ", 0) == 0;
        EXPECT_EQ(hasFlags, nextIsFlags) << name;
        if (nextIsFlags) {
            const auto b = Tokens(lines[++i]);
            ASSERT_EQ(b.size(), 4u);
            EXPECT_EQ(b[1], std::to_string(expectedRef));
            expectedRef += 1;
            ++flagsLines;
            EXPECT_EQ(b[2], o.items[1].value);
            const std::string system = std::to_string(vars.at(name)->Info()->System);
            const std::string flagsName = (o.items[2].name == "flags" && !o.items[2].value.empty())
                                              ? system + o.items[2].value
                                              : name;
            EXPECT_EQ(b[3], flagsName);
        }
    }
    EXPECT_EQ(mainLines, 8);
    EXPECT_EQ(flagsLines, 3);
}

TEST_F(Demo, SystemFilesAreDeclaredWindows1251) {
    for (const char* name : {"kotel.xms", "gvs.xms", "vent.xms"}) {
        const std::string text = ReadBytes(kConfig + name);
        EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"windows-1251\"?>", 0), 0u) << name;
        EXPECT_FALSE(cp1251::IsValidUtf8(text)) << name;
    }
}

}  // namespace
