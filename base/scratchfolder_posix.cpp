#include "base/scratchfolder.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

Result<std::string> MakeScratchFolder(std::string_view prefix) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    std::string templ =
        ((ec ? std::filesystem::path("/tmp") : base) / (std::string(prefix) + ".XXXXXX")).string();
    if (::mkdtemp(templ.data()) == nullptr) return Failure::OfFile(templ, errno);
    return templ;
}

void RemoveScratchFolder(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Write access back first, so that read-only files and folders inside can be removed.
    for (auto it = fs::recursive_directory_iterator(path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code ignored;
        if (it->is_directory(ignored) || it->is_regular_file(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path, ec);
}
