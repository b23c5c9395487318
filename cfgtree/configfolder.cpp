#include "cfgtree/configfolder.h"

#include "base/pathcase.h"

FolderNumber FolderDeviceNumber(const std::string& path, uint32_t& number) {
    // Lower-casing only ASCII finds the same "vr7_" as lower-casing the whole text: no other
    // letter lower-cases to v, r, 7 or _.
    static const std::string key = "vr7_";
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    number = 0;
    size_t at = std::string::npos;
    for (size_t i = 0; i + key.size() <= path.size() && at == std::string::npos; ++i) {
        size_t k = 0;
        while (k < key.size() && lower(path[i + k]) == key[k]) ++k;
        if (k == key.size()) at = i;
    }
    if (at == std::string::npos) return FolderNumber::NoVr7;
    size_t i = at + key.size();
    const size_t first = i;
    for (; i < path.size() && path[i] >= '0' && path[i] <= '9'; ++i)
        number = number * 10u + static_cast<uint32_t>(path[i] - '0');  // wraps modulo 2^32
    return i == first ? FolderNumber::NoDigits : FolderNumber::Digits;
}

std::string FolderConfigDir(const std::string& folder) {
    std::string dir = folder;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return pathcase::ResolveInDir(dir, "CONFIG") + "/";
}

FolderTree BuildConfigTree(const std::string& configDir, uint32_t deviceNumber,
                           const XmlDocument* catalogue, XmlDocument& scratch,
                           STreeOptions options) {
    FolderTree result;
    const Result<TreeBuild> built = BuildTreeFromDir(result.tree, configDir, deviceNumber, nullptr,
                                                     catalogue, options, scratch);
    if (!built) {
        result.loaded = built.failure();
        result.tree.Clear();
        return result;
    }
    result.build = built.value();
    return result;
}
