#include "simfolder.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cfgtreemodel.h"
#include "vr7cfgtree.h"

namespace fs = std::filesystem;

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// A folder copied from Windows may spell its names in another case.
fs::path FindEntry(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    if (fs::exists(dir / name, ec)) return dir / name;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (EqualIgnoringAsciiCase(entry.path().filename().string(), name)) return entry.path();
    return {};
}

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
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
    std::string lower;
    for (char c : folder) lower.push_back(AsciiLower(c));
    const size_t at = lower.find("vr7_");
    if (at == std::string::npos) return 0;
    uint32_t number = 0;
    for (size_t i = at + 4; i < lower.size() && lower[i] >= '0' && lower[i] <= '9'; ++i)
        number = number * 10 + static_cast<uint32_t>(lower[i] - '0');
    return number;
}

bool SimDeviceFromFolder(const std::string& folder, SimDevice& device, std::string* error) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (error) *error = "not a folder: " + folder;
        return false;
    }
    fs::path configDir = FindEntry(folder, "CONFIG");
    if (configDir.empty() || !fs::is_directory(configDir, ec)) configDir = folder;

    CfgTree tree;
    XmlDocument scratch;
    int result;
    try {
        result = BuildTreeFromDir(tree, configDir.string() + "/", device.number, nullptr, nullptr,
                                  nullptr, STreeOptions{0x80}, scratch);
    } catch (const XmlLoadError& e) {
        if (error) *error = e.what();
        return false;
    }
    const TreeNode* root = tree.FirstRoot();
    if (result != 0 || root == nullptr) {
        if (error) *error = "a system file of " + configDir.string() + " cannot be read";
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

    for (const fs::path& dir : {fs::path(folder), configDir}) {
        const fs::path cfg = FindEntry(dir, "duxgate.cfg");
        std::vector<uint8_t> bytes;
        if (!cfg.empty() && ReadWholeFile(cfg, bytes)) {
            device.files["duxgate.cfg"] = std::move(bytes);
            break;
        }
    }
    return true;
}
