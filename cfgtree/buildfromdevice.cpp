#include <cstring>
#include <memory>
#include <string>

#include "base/lebytes.h"
#include "cfgtree/vr7cfgtree.h"
#include "link/vr7prot.h"
#include "optlist/optlist.h"

namespace {

constexpr int kEntrySize = 17;
constexpr int kEntryCalls = 5;
// Entry numbers travel as 16 bits; a larger count could never be read to its end.
constexpr uint32_t kMaxEntryCount = 0xFFFF;

enum EntryType : uint8_t { etEmpty = 0, etConst = 1, etEvent = 2, etCalc = 3 };

// Reads one entry, calling the device up to five times; the buffer starts cleared so that a short
// or empty answer never repeats the previous entry. The last call's result.
LinkResult ReadEntry(connection& conn, uint32_t deviceNumber, uint16_t index, uint8_t* entry) {
    LinkResult code = lr::Ok;
    for (int call = 0; call < kEntryCalls; ++call) {
        std::memset(entry, 0, kEntrySize);
        int length = 0;
        code = ReadConfigEntry(conn, deviceNumber, index, entry, kEntrySize, &length);
        if (code == lr::Ok) return code;
    }
    return code;
}

std::string EntryName(const uint8_t* name) {
    const auto* chars = reinterpret_cast<const char*>(name);
    return std::string(chars, strnlen(chars, 6));
}

// A leaf to add for an entry: its record, image, system number and group segment.
struct Leaf {
    std::unique_ptr<SNodeInfo> record;
    int image = 0;
    uint8_t system = 0;
    std::string group;
};

Leaf LeafForEntry(const uint8_t* e, uint16_t index, const XmlDocument* catalog,
                  STreeOptions options) {
    Leaf leaf;
    switch (e[0]) {
        case etConst:
            if (!options.Consts()) break;
            leaf.record = std::make_unique<SNodeInfo>(nkConst);
            leaf.record->System = e[1];
            std::memcpy(leaf.record->Name, e + 2, 6);
            std::memcpy(&leaf.record->Value, e + 8, 4);
            leaf.record->Index = index;
            leaf.image = imgConst;
            leaf.system = e[1];
            if (options.ConstGroup()) leaf.group = "Const";
            break;
        case etEvent: {
            if (!options.Events()) break;
            leaf.record = std::make_unique<SNodeInfo>(nkEvent);
            std::memcpy(leaf.record->Name, e + 1, 6);
            leaf.record->Geid = GetLe16(e + 7);
            leaf.record->Mask = GetLe32(e + 9);
            leaf.record->Code = GetLe32(e + 13);
            leaf.image = imgEvent;
            leaf.group = "Event";
            if (options.GeidGroups() && leaf.record->Geid > 1) {
                leaf.group += "/GEID " + std::to_string(leaf.record->Geid);
            }
            break;
        }
        case etCalc:
            if (!options.Calcs()) break;
            // The device's names are looked up as they were sent, case and all.
            if (catalog != nullptr && !HasVarOptions(*catalog, EntryName(e + 2))) break;
            leaf.record = std::make_unique<SNodeInfo>(nkCalc);
            leaf.record->System = e[1];
            std::memcpy(leaf.record->Name, e + 2, 6);
            std::memcpy(leaf.record->Extra, e + 8, 4);
            leaf.image = imgCalc;
            leaf.system = e[1];
            if (options.CalcGroup()) leaf.group = "Calc";
            break;
        default:
            break;
    }
    return leaf;
}

}  // namespace

Status BuildTreeFromDevice(CfgTree& tree, connection& conn, uint32_t deviceNumber,
                           IProgressSink* progress, const XmlDocument* catalog,
                           STreeOptions options) {
    tree.Clear();
    auto rootInfo = std::make_unique<SVR7_Info>();
    if (const LinkResult code = ReadDeviceInfo(conn, deviceNumber, rootInfo->Info); code != lr::Ok)
        return Failure::OfLink(code);
    if (const LinkResult code = ReadConfigHeader(conn, deviceNumber, rootInfo->Config);
        code != lr::Ok)
        return Failure::OfLink(code);
    if (rootInfo->Config.EntryCount > kMaxEntryCount)
        return Failure::OfInvalid("the device names " +
                                  std::to_string(rootInfo->Config.EntryCount) +
                                  " configuration entries, more than can be read");

    const uint32_t entryCount = rootInfo->Config.EntryCount;
    // "VR7 №" followed by the device's own number. The caption is made before the record moves
    // into the node: the order in which call arguments are evaluated is unspecified.
    std::string caption = "VR7 \xB9" + std::to_string(rootInfo->Info.DeviceNumber());
    TreeNode* root = tree.AddRoot(std::move(caption), std::move(rootInfo), imgDevice);
    const auto& rootConfig = static_cast<const SVR7_Info*>(root->Data.get())->Config;

    uint8_t entry[kEntrySize];
    for (uint32_t n = 1; n <= entryCount; ++n) {
        const auto index = static_cast<uint16_t>(n);
        if (const LinkResult code = ReadEntry(conn, deviceNumber, index, entry); code != lr::Ok)
            return Failure::OfLink(code);
        if (entry[0] == etEmpty) continue;

        Leaf leaf = LeafForEntry(entry, index, catalog, options);
        if (leaf.record) {
            const std::string path = LeafFolderPath(rootConfig, options, leaf.system, leaf.group);
            TreeNode* node = AddNodeByPath(tree, path, " ", std::move(leaf.record), leaf.image);
            if (node == nullptr) break;  // the tree keeps what was read; not a failure
            SetNodeText(node);
        }
        if (progress != nullptr) {
            progress->ShowProgress(std::string(),
                                   static_cast<float>(n) / static_cast<float>(entryCount));
        }
    }
    root->Expanded = true;
    return Status();
}
