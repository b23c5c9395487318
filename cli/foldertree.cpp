#include "foldertree.h"

#include "pathcase.h"
#include "vr7cfgtree.h"

namespace {

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool FolderDeviceNumber(const std::string& path, uint32_t& number) {
    // Lower-casing only ASCII finds the same "vr7_": no other letter lower-cases to v, r, 7 or _.
    static const std::string key = "vr7_";
    size_t at = std::string::npos;
    for (size_t i = 0; i + key.size() <= path.size() && at == std::string::npos; ++i) {
        size_t k = 0;
        while (k < key.size() && AsciiLower(path[i + k]) == key[k]) ++k;
        if (k == key.size()) at = i;
    }
    if (at == std::string::npos) return false;
    number = 0;
    for (size_t i = at + key.size(); i < path.size() && path[i] >= '0' && path[i] <= '9'; ++i)
        number = number * 10u + static_cast<uint32_t>(path[i] - '0');  // wraps modulo 2^32
    return true;
}

std::string FolderConfigDir(const std::string& folder) {
    std::string dir = folder;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return pathcase::ResolveInDir(dir, "CONFIG") + "/";
}

int BuildFolderTree(CfgTree& tree, const std::string& folder, uint32_t deviceNumber,
                    const XmlDocument& catalogue) {
    XmlDocument scratch;
    return BuildTreeFromDir(tree, FolderConfigDir(folder), deviceNumber, nullptr, nullptr,
                            &catalogue, kWindowTreeOptions, scratch);
}
