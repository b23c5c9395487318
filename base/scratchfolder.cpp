#include "base/scratchfolder.h"

#include <filesystem>
#include <system_error>

#include "base/u8path.h"

void RemoveScratchFolder(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Write access back first, so that read-only files and folders inside can be removed.
    for (auto it = fs::recursive_directory_iterator(PathFromUtf8(path), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code ignored;
        if (it->is_directory(ignored) || it->is_regular_file(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(PathFromUtf8(path), ec);
}
