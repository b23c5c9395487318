// The folder tree is built in time linear in its input: a long system name or many variables cost
// in proportion, never the product of the two.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "cfgtree/vr7cfgtree.h"
#include "optlist/xmldocument.h"
#include "tests/common/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;

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

// Milliseconds of one build of the folder, checking that every variable became a leaf.
double BuildMs(const std::string& name, int variables) {
    TempDir dir;
    const std::string config = MakeFolder(dir, name, variables);
    CfgTree tree;
    XmlDocument scratch;
    const auto start = Clock::now();
    EXPECT_EQ(
        BuildTreeFromDir(tree, config, 1, nullptr, nullptr, nullptr, STreeOptions{0x89}, scratch)
            .value_or(TreeBuild::Partial),
        TreeBuild::Complete);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    int leaves = 0;
    tree.ForEach([&](const TreeNode& n) { leaves += n.Level() == 2 ? 1 : 0; });
    EXPECT_EQ(leaves, variables);
    return ms;
}

TEST(BuildFromDirScale, LongSystemNameAndManyVariablesCostInProportion) {
    const std::string longName(1 << 20, 'n');
    const double name1 = BuildMs(longName, 1);
    const double name4k = BuildMs(longName, 4000);
    const double short4k = BuildMs("s", 4000);
    const double short50k = BuildMs("s", 50000);
    const double short200k = BuildMs("s", 200000);
    std::printf(
        "1 MB name: 1 variable %.0f ms, 4000 %.0f ms; short name: 4000 %.0f ms, 50000 "
        "%.0f ms, 200000 %.0f ms\n",
        name1, name4k, short4k, short50k, short200k);
    // The name's length and the variables' count add up; they do not multiply.
    EXPECT_LT(name4k, 4 * (name1 + short4k) + 50);
    // Four times the variables: about four times the time when linear, sixteen when quadratic.
    EXPECT_LT(short200k, 8 * short50k + 50);
}

}  // namespace
