#pragma once
// The configuration tree: the device as root, folders, and variable leaves, each node owning its
// record. Toolkit-free; the main window mirrors it into its tree widget.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/vr7types.h"

enum NodeKind : int32_t {
    nkDevice = 0,
    nkSystem = 1,
    nkEventGroup = 2,
    nkGeidGroup = 3,
    nkEvent = 4,
    nkConstGroup = 5,
    nkConst = 6,
    nkCalcGroup = 7,
    nkCalc = 8,
};

// Image indexes of the tree's image list.
enum TreeImage : int {
    imgDevice = 0,      // root, and folders of no known kind
    imgEventGroup = 1,  // "Event" and "GEID" folders
    imgEvent = 2,
    imgConstGroup = 3,
    imgConst = 4,
    imgCalcGroup = 5,
    imgCalc = 6,
    imgSystem = 7,
};

// Every node record starts with its kind.
struct NodeRecord {
    explicit NodeRecord(int32_t kind) : Kind(kind) {}
    virtual ~NodeRecord() = default;
    int32_t Kind;
};

// The record of every node but the root. Which fields mean something depends on Kind:
// nkGeidGroup: Geid; nkCalc: System, Name, Extra; nkConst: System, Name, Value, Index;
// nkEvent: Name, Geid, Mask, Code. Folder kinds carry nothing else.
struct SNodeInfo : NodeRecord {
    explicit SNodeInfo(int32_t kind) : NodeRecord(kind) {}
    uint8_t System = 0;     // 1-based system number
    char Name[6] = {};      // zero-terminated when shorter than 6, not terminated at 6
    uint8_t Extra[4] = {};  // carried from the device entry, never interpreted
    float Value = 0;
    uint16_t Index = 0;  // 1-based entry number of a constant
    uint16_t Geid = 0;
    uint32_t Mask = 0;
    uint32_t Code = 0;

    // The name up to its first zero byte, at most 6 bytes.
    std::string NameText() const;
    // Only calculated variables and constants carry a system number.
    bool HasSystemNumber() const { return Kind == nkCalc || Kind == nkConst; }
};

// The root record.
struct SVR7_Info : NodeRecord {
    SVR7_Info() : NodeRecord(nkDevice) {}
    SConfigInfo Config;
    DeviceInfo Info;
};

struct TreeNode {
    std::string Text;    // caption, Windows-1251
    int ImageIndex = 0;  // the selected image always equals it
    std::unique_ptr<NodeRecord> Data;
    TreeNode* Parent = nullptr;
    std::vector<std::unique_ptr<TreeNode>> Children;
    bool Expanded = false;

    int Level() const;  // root = 0
    // The node's SNodeInfo, or null for the root and for folders without a record.
    const SNodeInfo* Info() const { return dynamic_cast<const SNodeInfo*>(Data.get()); }
};

class CfgTree {
  public:
    void Clear() { roots_.clear(); }
    bool Empty() const { return roots_.empty(); }
    // Appends a top-level node.
    TreeNode* AddRoot(std::string text, std::unique_ptr<NodeRecord> data, int image = imgDevice);
    // Appends a child under parent.
    TreeNode* AddChild(TreeNode* parent, std::string text, std::unique_ptr<NodeRecord> data,
                       int image);
    TreeNode* FirstRoot() const { return roots_.empty() ? nullptr : roots_.front().get(); }
    const std::vector<std::unique_ptr<TreeNode>>& Roots() const { return roots_; }

    // Calls fn(node) for every node in tree order (pre-order).
    template <class Fn>
    void ForEach(Fn&& fn) const {
        for (const auto& r : roots_) Visit(r.get(), fn);
    }

  private:
    template <class Fn>
    static void Visit(const TreeNode* n, Fn& fn) {
        fn(*n);
        for (const auto& c : n->Children) Visit(c.get(), fn);
    }
    std::vector<std::unique_ptr<TreeNode>> roots_;
};

// Options of a tree build; the main window always passes 0x89.
struct STreeOptions {
    uint8_t bits = 0;
    bool GeidGroups() const { return bits & 0x02; }
    bool Events() const { return bits & 0x04; }
    bool SystemGroups() const { return bits & 0x08; }
    bool ConstGroup() const { return bits & 0x10; }
    bool Consts() const { return bits & 0x20; }
    bool CalcGroup() const { return bits & 0x40; }
    bool Calcs() const { return bits & 0x80; }
};
constexpr STreeOptions kWindowTreeOptions{0x89};

// Finds or creates the folder chain of path below the first root and appends a leaf under its last
// folder. Returns the leaf, or null when a node cannot be created.
TreeNode* AddNodeByPath(CfgTree& tree, const std::string& path, const std::string& caption,
                        std::unique_ptr<NodeRecord> record, int image);
// The folder chain part of it: the last folder of path (the first root for an empty path), found
// or created; null when a node cannot be created. While leaves are added only under the folder it
// gives, asking again for the same path gives the same folder, so a caller adding many leaves
// under one path may walk it once.
TreeNode* FolderByPath(CfgTree& tree, const std::string& path);

// Adds the leaf of calculated variable lowerName (Windows-1251, lower-cased; the first 6 bytes are
// kept) of system `system` below the first root, in the folder the options give it, with its
// caption. Null when a node cannot be created.
TreeNode* AddCalcLeaf(CfgTree& tree, const SConfigInfo& config, STreeOptions options,
                      uint8_t system, const std::string& lowerName);
// The folder path AddCalcLeaf gives the calculated variables of system `system`.
std::string CalcFolderPath(const SConfigInfo& config, STreeOptions options, uint8_t system);
// The leaf AddCalcLeaf adds, under folder (as FolderByPath(CalcFolderPath(...)) gives it).
TreeNode* AddCalcLeafIn(CfgTree& tree, TreeNode* folder, uint8_t system,
                        const std::string& lowerName);

// How the user asks for a tree node to be added to the SNVT list.
enum class AddGesture {
    DoubleClick,  // on the node; also "vr7lon build"
    Drag,         // from the tree onto the list
};

// The one rule for which tree node the SNVT list may take: a node whose record carries a system
// number (a calculated variable or a constant; a "/" in a system name nests plain folders down
// to depth 2 and beyond), at depth 2 or deeper for a double-click and at depth 2 exactly for a
// drag. The list adds it as its caption of that system.
bool MayAddToList(const TreeNode* node, AddGesture gesture);

// Sets a leaf's caption from its record (calc, const and event leaves); others keep theirs.
void SetNodeText(TreeNode* leaf);

// The three leaf captions. Calc: the name (at most 6 bytes). Const: the name padded with spaces to
// 7, "= ", then the value as "#0.######" with the locale's decimal separator. Event: the name
// padded to 7, then ": Mask: 0x%.8X, Code: %u".
std::string CalcNodeText(const SNodeInfo& info);
std::string ConstNodeText(const SNodeInfo& info);
std::string EventNodeText(const SNodeInfo& info);
// A constant's value as "#0.######": at least one integer digit, at most six decimals, no
// trailing zeros, the given decimal separator.
std::string ConstValueText(float value, const std::string& decimalSeparator);

// The folder path of a leaf: the system folder segment (with SystemGroups and k > 0), then the
// group segment, each ending in "/".
std::string LeafFolderPath(const SConfigInfo& config, STreeOptions options, uint8_t system,
                           const std::string& groupSegment);
