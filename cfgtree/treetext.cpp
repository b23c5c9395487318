#include "cfgtree/treetext.h"

#include "base/cp1251.h"

void PrintTree(const CfgTree& tree, std::ostream& out, CaptionText caption) {
    tree.ForEach([&out, caption](const TreeNode& node) {
        out << std::string(2 * static_cast<size_t>(node.Level()), ' ')
            << (caption ? caption(node.Text) : cp1251::ToUtf8(Cp1251String(node.Text)))
            << "\timage=" << node.ImageIndex << '\n';
    });
}
