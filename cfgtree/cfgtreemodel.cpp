#include "cfgtree/cfgtreemodel.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/cp1251.h"

namespace {

// Folder captions the tree recognises, in Windows-1251. "Система" is 7 bytes.
constexpr const char* kSystemWord = "\xD1\xE8\xF1\xF2\xE5\xEC\xE0";
// "Система №"
constexpr const char* kSystemFolderPrefix = "\xD1\xE8\xF1\xF2\xE5\xEC\xE0 \xB9";

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// The group number of a "GEID" folder: the decimal integer written from the caption's 6th
// character on. A caption without one there (a "/" inside a system name can make a segment such as
// "GEIDx") gives 0 instead of failing; digits after the number are ignored. The number is kept in
// 16 bits, as the record's field holds it.
uint16_t GeidNumber(const std::string& caption) {
    if (caption.size() <= 5) return 0;
    size_t i = 5;
    while (i < caption.size() && caption[i] == ' ') ++i;
    bool negative = false;
    if (caption[i] == '+' || caption[i] == '-') negative = caption[i++] == '-';
    uint32_t value = 0;
    bool any = false;
    for (; i < caption.size() && caption[i] >= '0' && caption[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint32_t>(caption[i] - '0');
        any = true;
    }
    if (!any) return 0;
    return static_cast<uint16_t>(negative ? 0u - value : value);
}

// The record and image of a new folder, decided by the caption's beginning in this order.
std::unique_ptr<NodeRecord> FolderRecord(const std::string& caption, int& image) {
    int32_t kind;
    if (StartsWith(caption, "Calc")) {
        kind = nkCalcGroup, image = imgCalcGroup;
    } else if (StartsWith(caption, "Const")) {
        kind = nkConstGroup, image = imgConstGroup;
    } else if (StartsWith(caption, kSystemWord)) {
        kind = nkSystem, image = imgSystem;
    } else if (StartsWith(caption, "Event")) {
        kind = nkEventGroup, image = imgEventGroup;
    } else if (StartsWith(caption, "GEID")) {
        auto record = std::make_unique<SNodeInfo>(nkGeidGroup);
        record->Geid = GeidNumber(caption);
        image = imgEventGroup;
        return record;
    } else {
        image = imgDevice;
        return nullptr;
    }
    return std::make_unique<SNodeInfo>(kind);
}

std::string PadTo7(std::string name) {
    if (name.size() < 7) name.append(7 - name.size(), ' ');
    return name;
}

// The locale's decimal separator in Windows-1251.
std::string LocaleDecimalSeparator() {
    const lconv* lc = std::localeconv();
    const char* point = (lc && lc->decimal_point && *lc->decimal_point) ? lc->decimal_point : ".";
    return std::strlen(point) == 1 ? std::string(point) : cp1251::FromUtf8(point).bytes();
}

}  // namespace

std::string SNodeInfo::NameText() const {
    return std::string(Name, strnlen(Name, sizeof Name));
}

int TreeNode::Level() const {
    int level = 0;
    for (const TreeNode* p = Parent; p != nullptr; p = p->Parent) ++level;
    return level;
}

TreeNode* CfgTree::AddRoot(std::string text, std::unique_ptr<NodeRecord> data, int image) {
    auto node = std::make_unique<TreeNode>();
    node->Text = std::move(text);
    node->Data = std::move(data);
    node->ImageIndex = image;
    roots_.push_back(std::move(node));
    return roots_.back().get();
}

TreeNode* CfgTree::AddChild(TreeNode* parent, std::string text, std::unique_ptr<NodeRecord> data,
                            int image) {
    if (parent == nullptr) return nullptr;
    auto node = std::make_unique<TreeNode>();
    node->Text = std::move(text);
    node->Data = std::move(data);
    node->ImageIndex = image;
    node->Parent = parent;
    parent->Children.push_back(std::move(node));
    return parent->Children.back().get();
}

TreeNode* FolderByPath(CfgTree& tree, const std::string& path) {
    TreeNode* current = tree.FirstRoot();
    if (current == nullptr) return nullptr;
    const std::string_view whole(path);
    size_t pos = 0;
    while (pos < whole.size()) {
        const size_t slash = whole.find('/', pos);
        const size_t end = slash == std::string_view::npos ? whole.size() : slash;
        if (end == pos) break;  // an empty segment ends the walk
        const std::string_view segment = whole.substr(pos, end - pos);
        TreeNode* found = nullptr;
        for (const auto& child : current->Children) {
            if (child->Text == segment) {
                found = child.get();
                break;
            }
        }
        if (found == nullptr) {
            const std::string caption(segment);
            int folderImage = imgDevice;
            auto folderRecord = FolderRecord(caption, folderImage);
            found = tree.AddChild(current, caption, std::move(folderRecord), folderImage);
            if (found == nullptr) return nullptr;
        }
        current = found;
        pos = end + 1;
    }
    return current;
}

TreeNode* AddNodeByPath(CfgTree& tree, const std::string& path, const std::string& caption,
                        std::unique_ptr<NodeRecord> record, int image) {
    TreeNode* folder = FolderByPath(tree, path);
    if (folder == nullptr) return nullptr;
    // Leaves are always appended, never matched: two variables of one name give two leaves.
    return tree.AddChild(folder, caption, std::move(record), image);
}

std::string CalcNodeText(const SNodeInfo& info) {
    return info.NameText();
}

std::string ConstValueText(float value, const std::string& decimalSeparator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    const double v = value;
    char buf[128];
    if (std::fabs(v) >= 1e18) {
        // Too many integer digits for the pattern: general form with 15 significant digits.
        auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
        std::string s(buf, r.ptr);
        const size_t e = s.find('e');
        if (e != std::string::npos) {
            std::string exp = s.substr(e + 1);
            if (!exp.empty() && exp[0] == '+') exp.erase(0, 1);
            s = s.substr(0, e) + "E" + exp;
        }
        const size_t dot = s.find('.');
        if (dot != std::string::npos) s.replace(dot, 1, decimalSeparator);
        return s;
    }
    // Fixed form, six decimals at most, trailing zeros dropped; built without the C library's
    // locale so that only the separator follows it.
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    std::string s(buf, r.ptr);
    const size_t dot = s.find('.');
    if (dot != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    const size_t point = s.find('.');
    if (point != std::string::npos) s.replace(point, 1, decimalSeparator);
    return s;
}

std::string ConstNodeText(const SNodeInfo& info) {
    return PadTo7(info.NameText()) + "= " + ConstValueText(info.Value, LocaleDecimalSeparator());
}

std::string EventNodeText(const SNodeInfo& info) {
    char tail[64];
    std::snprintf(tail, sizeof tail, ": Mask: 0x%.8X, Code: %u", static_cast<unsigned>(info.Mask),
                  static_cast<unsigned>(info.Code));
    return PadTo7(info.NameText()) + tail;
}

void SetNodeText(TreeNode* leaf) {
    if (leaf == nullptr) return;
    const SNodeInfo* info = leaf->Info();
    if (info == nullptr) return;
    switch (info->Kind) {
        case nkCalc:
            leaf->Text = CalcNodeText(*info);
            break;
        case nkConst:
            leaf->Text = ConstNodeText(*info);
            break;
        case nkEvent:
            leaf->Text = EventNodeText(*info);
            break;
        default:
            break;
    }
}

std::string LeafFolderPath(const SConfigInfo& config, STreeOptions options, uint8_t system,
                           const std::string& groupSegment) {
    std::string path;
    if (options.SystemGroups() && system > 0) {
        path = kSystemFolderPrefix;
        path += static_cast<char>(0x30 + system);
        if (config.SystemCount != 0) {
            path += ' ';
            // Only systems 1 to 9 have a name; a higher number from a device shows none.
            if (system <= config.SystemName.size()) path += config.SystemName[system - 1];
        }
        path += '/';
    }
    if (!groupSegment.empty()) path += groupSegment + "/";
    return path;
}

std::string CalcFolderPath(const SConfigInfo& config, STreeOptions options, uint8_t system) {
    return LeafFolderPath(config, options, system, options.CalcGroup() ? "Calc" : "");
}

TreeNode* AddCalcLeafIn(CfgTree& tree, TreeNode* folder, uint8_t system,
                        const std::string& lowerName) {
    auto record = std::make_unique<SNodeInfo>(nkCalc);
    record->System = system;
    lowerName.copy(record->Name, sizeof record->Name);  // zero-terminated only when shorter
    TreeNode* leaf = tree.AddChild(folder, " ", std::move(record), imgCalc);
    SetNodeText(leaf);
    return leaf;
}

TreeNode* AddCalcLeaf(CfgTree& tree, const SConfigInfo& config, STreeOptions options,
                      uint8_t system, const std::string& lowerName) {
    TreeNode* folder = FolderByPath(tree, CalcFolderPath(config, options, system));
    if (folder == nullptr) return nullptr;
    return AddCalcLeafIn(tree, folder, system, lowerName);
}

bool MayAddToList(const TreeNode* node, AddGesture gesture) {
    if (node == nullptr) return false;
    const int level = node->Level();
    if (gesture == AddGesture::Drag ? level != 2 : level < 2) return false;
    const SNodeInfo* info = node->Info();
    return info != nullptr && info->HasSystemNumber();
}
