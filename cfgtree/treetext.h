#pragma once
// The configuration tree as text: one line per node in tree order, two spaces of indent per
// level, the caption (UTF-8), a tab and "image=N".
#include <ostream>
#include <string>
#include <string_view>

#include "cfgtree/cfgtreemodel.h"

// Makes a node's caption (Windows-1251) the text of its line.
using CaptionText = std::string (*)(std::string_view cp1251);

// With caption null, each caption is written as UTF-8, byte for byte.
void PrintTree(const CfgTree& tree, std::ostream& out, CaptionText caption = nullptr);
