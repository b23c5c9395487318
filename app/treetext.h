#pragma once
// The configuration tree as text: one line per node in tree order, two spaces of indent per
// level, the caption (UTF-8), a tab and "image=N".
#include <ostream>

#include "cfgtree/cfgtreemodel.h"

void PrintTree(const CfgTree& tree, std::ostream& out);
