#include <array>
#include <memory>
#include <string>

#include "base/cp1251.h"
#include "base/pathcase.h"
#include "cfgtree/vr7cfgtree.h"
#include "optlist/defstorage.h"
#include "optlist/optlist.h"

namespace {

constexpr int kSlots = 9;

// A path below the configuration folder. Names from main.def and main.xmc are Windows-1251 and
// may use '\' as Windows does; the file system's names are UTF-8. A folder copied from Windows
// may spell any part of it in another letter case.
std::string FilePath(const std::string& configDir, const std::string& cp1251Name) {
    std::string name = cp1251::ToUtf8(Cp1251String(cp1251Name));
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    return pathcase::Resolve(configDir + name);
}

// Adds the accepted "calc" children of the loaded system file as leaves of system `system`.
void AddSystemCalcs(CfgTree& tree, const XmlDocument& systemFile, uint8_t system,
                    const SConfigInfo& config, const XmlDocument* catalog, STreeOptions options) {
    if (!options.Calcs()) return;
    // Every leaf of the system goes into one folder: its path (which holds the system's name, of
    // any length) is walked once, at the first leaf, since folders appear only with a leaf.
    TreeNode* folder = nullptr;
    for (_xmlNode* child = XmlDocument::FirstChild(systemFile.DocumentElement()); child != nullptr;
         child = XmlDocument::NextSibling(child)) {
        if (XmlDocument::Tag(child) != "calc") continue;
        std::string name;
        if (!XmlDocument::AttributeLower(child, "name", name)) continue;
        // The catalogue is asked for the whole lower-cased name, not the 6 bytes kept.
        if (catalog != nullptr && GetVarOptions(*catalog, name).count == 0) continue;
        if (folder == nullptr) folder = FolderByPath(tree, CalcFolderPath(config, options, system));
        // A leaf that cannot be created skips the rest of this system.
        if (folder == nullptr || AddCalcLeafIn(tree, folder, system, name) == nullptr) return;
    }
}

}  // namespace

Result<TreeBuild> BuildTreeFromDir(CfgTree& tree, const std::string& configDir,
                                   uint32_t deviceNumber, IProgressSink* /*progress*/,
                                   const XmlDocument* catalog, STreeOptions options,
                                   XmlDocument& scratch) {
    tree.Clear();
    auto rootInfo = std::make_unique<SVR7_Info>();
    SConfigInfo& config = rootInfo->Config;

    // Optional; a read-only main.def (or folder) is read as a writable one. Closed on every way
    // out, the load error of main.xmc included.
    CDefStorage def;
    const std::string defPath = FilePath(configDir, "main.def");
    def.OpenForReading(defPath.c_str());

    scratch.SetFileName(FilePath(configDir, "main.xmc"));
    if (Status loaded = scratch.Load(); !loaded) return loaded.failure();  // the tree stays empty

    // The slots main.xmc declares, with main.def's overrides. Slots are read by their own number
    // below, so a gap or a "dummy" slot before a real one does not shift the systems.
    std::array<bool, kSlots> readSlot{};
    config.SystemCount = 0;
    for (int n = 1; n <= kSlots; ++n) {
        const std::string slot = "sys" + std::to_string(n);
        const std::string linked = FindChildText(scratch, "syslink", "name", slot);
        if (linked.empty()) continue;
        CMystring key;
        key.Format("syslink::%s", slot.c_str());
        CMystring value = def.GetValue(key);
        value.TrimLeft();
        config.SystemText2[n - 1] = value.Length() != 0 ? value.Str() : linked;
        if (value.Compare("dummy") != 0) {
            ++config.SystemCount;
            readSlot[n - 1] = true;
        }
    }

    TreeNode* root =
        tree.AddRoot("VR7 \xB9" + std::to_string(deviceNumber), std::move(rootInfo), imgDevice);
    SConfigInfo& rootConfig = static_cast<SVR7_Info*>(root->Data.get())->Config;

    for (int n = 1; n <= kSlots; ++n) {
        if (!readSlot[n - 1]) continue;
        scratch.SetFileName(FilePath(configDir, rootConfig.SystemText2[n - 1] + ".xms"));
        if (!scratch.Load()) {
            return TreeBuild::Partial;  // the nodes added so far stay; the root is not expanded
        }
        std::string displayName;
        if (XmlDocument::Attribute(scratch.DocumentElement(), "name", displayName)) {
            rootConfig.SystemName[n - 1] = ": " + displayName;
        }
        AddSystemCalcs(tree, scratch, static_cast<uint8_t>(n), rootConfig, catalog, options);
    }
    root->Expanded = true;
    return TreeBuild::Complete;
}
