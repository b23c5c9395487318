#pragma once
// Opening a device's configuration folder, as the window's Open, "vr7lon tree" and the simulator
// do: the folder's path names the device ("...\vr7_12"), and its CONFIG folder (in any letter
// case) holds main.xmc, main.def and the system files.
#include <cstdint>
#include <string>

#include "cfgtree/cfgtreemodel.h"
#include "cfgtree/vr7cfgtree.h"
#include "optlist/xmldocument.h"

// What a folder's path says about the device's number.
enum class FolderNumber {
    NoVr7,     // the path has no "vr7_": not a device's configuration folder
    NoDigits,  // "vr7_" is not followed by a digit: number 0
    Digits,    // the number follows "vr7_"
};

// The device number of a folder's path: the ASCII digits right after the first "vr7_" of the
// whole path in any letter case, accumulated modulo 2^32. number is 0 unless digits follow.
FolderNumber FolderDeviceNumber(const std::string& path, uint32_t& number);

// The folder's CONFIG folder, found in any letter case, ending in '/'.
std::string FolderConfigDir(const std::string& folder);

// A tree built aside, so that a failure leaves the caller's tree (and what goes with it) as it
// was until the caller takes this one.
struct FolderTree {
    Status loaded;  // main.xmc could not be loaded (Invalid, the XML library's text); tree empty
    TreeBuild build = TreeBuild::Complete;  // Partial: a system file failed to load
    CfgTree tree;
};

// Builds the tree of a CONFIG folder (configDir ends in '/') with the window's options unless
// others are given; only names the catalogue publishes become leaves (no catalogue: every name).
FolderTree BuildConfigTree(const std::string& configDir, uint32_t deviceNumber,
                           const XmlDocument* catalogue, XmlDocument& scratch,
                           STreeOptions options = kWindowTreeOptions);
