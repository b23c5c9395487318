#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// What one spelling of a variable's name gives, worked out at its first appearance: the systems
// of a configuration repeat the same names, so each is converted and looked up once a build.
struct NameVerdict {
    std::string lower;  // Windows-1251, lower-cased
    bool accepted;      // known to the catalogue (or no catalogue is used)
};

// The verdicts by the name as the file spells it (UTF-8): an open-addressed table of the names'
// hashes over the entries in order of appearance, looked up without making a key.
class NameVerdicts {
  public:
    // The verdict of spelled, and true when it was just added (its fields still to be set). Valid
    // until the next call.
    std::pair<NameVerdict*, bool> Find(std::string_view spelled) {
        const size_t hash = std::hash<std::string_view>{}(spelled);
        size_t at = hash & (slots_.size() - 1);
        for (; slots_[at].entry != 0; at = (at + 1) & (slots_.size() - 1)) {
            Entry& e = entries_[slots_[at].entry - 1];
            if (slots_[at].hash == hash && e.spelled == spelled) return {&e.verdict, false};
        }
        entries_.push_back(Entry{std::string(spelled), {}});
        slots_[at] = Slot{hash, entries_.size()};
        if (2 * entries_.size() > slots_.size()) Grow();
        return {&entries_.back().verdict, true};
    }

  private:
    struct Slot {
        size_t hash = 0;
        size_t entry = 0;  // 1 + the entry's index; 0: free
    };
    struct Entry {
        std::string spelled;
        NameVerdict verdict;
    };
    void Grow() {
        std::vector<Slot> old(2 * slots_.size());
        old.swap(slots_);
        for (const Slot& s : old) {
            if (s.entry == 0) continue;
            size_t at = s.hash & (slots_.size() - 1);
            while (slots_[at].entry != 0) at = (at + 1) & (slots_.size() - 1);
            slots_[at] = s;
        }
    }

    std::vector<Slot> slots_ = std::vector<Slot>(1024);  // a power of two, at most half used
    std::vector<Entry> entries_;
};

// Adds the accepted "calc" children of the loaded system file as leaves of system `system`.
void AddSystemCalcs(CfgTree& tree, const XmlDocument& systemFile, uint8_t system,
                    const SConfigInfo& config, const XmlDocument* catalog, STreeOptions options,
                    NameVerdicts& verdicts) {
    if (!options.Calcs()) return;
    // Every leaf of the system goes into one folder: its path (which holds the system's name, of
    // any length) is walked once, at the first leaf, since folders appear only with a leaf.
    TreeNode* folder = nullptr;
    std::string storage;
    for (_xmlNode* child = XmlDocument::FirstChild(systemFile.DocumentElement()); child != nullptr;
         child = XmlDocument::NextSibling(child)) {
        if (!XmlDocument::HasTag(child, "calc")) continue;
        std::string_view spelled;
        if (!XmlDocument::AttributeUtf8(child, "name", storage, spelled)) continue;
        auto [found, first] = verdicts.Find(spelled);
        NameVerdict& verdict = *found;
        if (first) {
            verdict.lower = cp1251::FromUtf8Lower(spelled);
            // The catalogue is asked for the whole lower-cased name, not the 6 bytes kept.
            verdict.accepted = catalog == nullptr || HasVarOptions(*catalog, verdict.lower);
        }
        if (!verdict.accepted) continue;
        if (folder == nullptr) folder = FolderByPath(tree, CalcFolderPath(config, options, system));
        // A leaf that cannot be created skips the rest of this system.
        if (folder == nullptr || AddCalcLeafIn(tree, folder, system, verdict.lower) == nullptr)
            return;
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
    std::array<std::string, kSlots> linked;
    std::vector<int> linkedSlots;
    std::vector<CMystring> keys;
    for (int n = 1; n <= kSlots; ++n) {
        const std::string slot = "sys" + std::to_string(n);
        linked[n - 1] = FindChildText(scratch, "syslink", "name", slot);
        if (linked[n - 1].empty()) continue;
        linkedSlots.push_back(n);
        keys.emplace_back();
        keys.back().Format("syslink::%s", slot.c_str());
    }
    std::vector<CMystring> values = def.GetValues(keys);  // main.def read once for every slot
    config.SystemCount = 0;
    for (size_t i = 0; i < linkedSlots.size(); ++i) {
        const int n = linkedSlots[i];
        CMystring& value = values[i];
        value.TrimLeft();
        config.SystemText2[n - 1] = value.Length() != 0 ? value.Str() : linked[n - 1];
        if (value.Compare("dummy") != 0) {
            ++config.SystemCount;
            readSlot[n - 1] = true;
        }
    }

    TreeNode* root =
        tree.AddRoot("VR7 \xB9" + std::to_string(deviceNumber), std::move(rootInfo), imgDevice);
    SConfigInfo& rootConfig = static_cast<SVR7_Info*>(root->Data.get())->Config;

    NameVerdicts verdicts;
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
        AddSystemCalcs(tree, scratch, static_cast<uint8_t>(n), rootConfig, catalog, options,
                       verdicts);
    }
    root->Expanded = true;
    return TreeBuild::Complete;
}
