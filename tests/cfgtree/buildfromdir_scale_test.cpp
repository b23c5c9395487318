// A folder of a system with a very long name or very many variables builds whole.
#include <gtest/gtest.h>

#include <string>

#include "cfgtree/vr7cfgtree.h"
#include "optlist/xmldocument.h"
#include "tests/common/tempdir.h"

namespace {

// A configuration folder of one system named `name` with `variables` calculated variables.
std::string MakeFolder(const TempDir& dir, const std::string& name, int variables) {
    const std::string config = dir.MakeDir("vr7_1/CONFIG");
    dir.Write("vr7_1/CONFIG/main.xmc",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<c><syslink name=\"sys1\">s</syslink>"
              "</c>\n");
    std::string xms =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<system name=\"" + name + "\">\n";
    for (int i = 0; i < variables; ++i) xms += "<calc name=\"v" + std::to_string(i) + "\"/>\n";
    dir.Write("vr7_1/CONFIG/s.xms", xms + "</system>\n");
    return config;
}

// Builds the folder, checking that every variable became a leaf. How the build's time grows with
// the name and the count is measured by the benchmark (vr7bench), whose smoke run fails on growth
// out of line.
void BuildEveryLeaf(const std::string& name, int variables) {
    TempDir dir;
    const std::string config = MakeFolder(dir, name, variables);
    CfgTree tree;
    XmlDocument scratch;
    EXPECT_EQ(BuildTreeFromDir(tree, config, 1, nullptr, nullptr, STreeOptions{0x89}, scratch)
                  .value_or(TreeBuild::Partial),
              TreeBuild::Complete);
    int leaves = 0;
    tree.ForEach([&](const TreeNode& n) { leaves += n.Level() == 2 ? 1 : 0; });
    EXPECT_EQ(leaves, variables);
}

TEST(BuildFromDirScale, LongSystemNameAndManyVariablesBuildEveryLeaf) {
    const std::string longName(1 << 20, 'n');
    BuildEveryLeaf(longName, 1);
    BuildEveryLeaf(longName, 4000);
    BuildEveryLeaf("s", 200000);
}

}  // namespace
