#pragma once
// The tree of a configuration folder, built as the window's Open builds it.
#include <cstdint>
#include <string>

#include "cfgtreemodel.h"
#include "xmldocument.h"

// The device number a folder's path gives: the ASCII digits right after the first "vr7_" of the
// path in any letter case, modulo 2^32 (no digits: 0). False when the path has no "vr7_".
bool FolderDeviceNumber(const std::string& path, uint32_t& number);

// The folder's CONFIG folder (found in any letter case), ending in '/'.
std::string FolderConfigDir(const std::string& folder);

// BuildTreeFromDir with the window's options: 0 when the whole configuration was read, -1 when
// a system file failed. Throws XmlLoadError when main.xmc cannot be loaded.
int BuildFolderTree(CfgTree& tree, const std::string& folder, uint32_t deviceNumber,
                    const XmlDocument& catalogue);
