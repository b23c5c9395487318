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
