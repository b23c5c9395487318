#include "sim/simfolder.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/pathcase.h"
#include "base/u8path.h"
#include "cfgtree/cfgtreemodel.h"
#include "cfgtree/configfolder.h"

namespace fs = std::filesystem;

namespace {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The folder reader shows system names as ": " + name; the device sends the name alone.
std::string DeviceSystemName(const std::string& shown) {
    return shown.rfind(": ", 0) == 0 ? shown.substr(2) : shown;
}

}  // namespace

uint32_t SimFolderDeviceNumber(const std::string& folder) {
    uint32_t number = 0;
    FolderDeviceNumber(folder, number);
    return number;
}

bool SimDeviceFromFolder(const std::string& folder, SimDevice& device, std::string* error) {
    std::error_code ec;
    if (!fs::is_directory(PathFromUtf8(folder), ec)) {
        if (error) *error = "not a folder: " + folder;
        return false;
    }
    // The folder may also be the CONFIG folder itself.
    std::string configDir = FolderConfigDir(folder);
    if (!fs::is_directory(PathFromUtf8(configDir), ec)) configDir = folder + "/";

    XmlDocument scratch;
    // Every variable, in no system folder: the device sends its entries with their systems.
    const FolderTree opened =
        BuildConfigTree(configDir, device.number, nullptr, scratch, STreeOptions{0x80});
    if (!opened.loaded) {
        if (error) *error = opened.loaded.failure().detail;
        return false;
    }
    const CfgTree& tree = opened.tree;
    const TreeNode* root = tree.FirstRoot();
    if (opened.build != TreeBuild::Complete || root == nullptr) {
        if (error) *error = "a system file of " + configDir + " cannot be read";
        return false;
    }

    const auto* info = dynamic_cast<const SVR7_Info*>(root->Data.get());
    device.systems.clear();
    for (int i = 0; info != nullptr && i < info->Config.SystemCount && i < 9; ++i)
        device.systems.push_back(
            {DeviceSystemName(info->Config.SystemName[i]), info->Config.SystemText2[i]});

    device.entries.clear();
    tree.ForEach([&device](const TreeNode& node) {
        const SNodeInfo* leaf = node.Info();
        if (leaf != nullptr && leaf->Kind == nkCalc)
            device.entries.push_back(SimCalcEntry(leaf->System, leaf->NameText()));
    });

    for (const std::string& dir : {folder, configDir.substr(0, configDir.size() - 1)}) {
        const std::string cfg = pathcase::ResolveInDir(dir, "duxgate.cfg");
        std::vector<uint8_t> bytes;
        if (ReadWholeFile(cfg, bytes)) {
            device.files["duxgate.cfg"] = std::move(bytes);
            break;
        }
    }
    return true;
}
