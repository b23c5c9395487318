#include "base/installpaths.h"

#include <filesystem>

#include "base/u8path.h"

namespace fs = std::filesystem;

namespace {

constexpr char kDataFolder[] = "../share/vr7loncfgmaker/";

}  // namespace

std::string InstalledDataDir() {
    const std::string program = ExecutableDir();
    if (program.empty()) return {};
    std::error_code ec;
    const fs::path data = fs::weakly_canonical(PathFromUtf8(program) / kDataFolder, ec);
    if (ec || !fs::is_directory(data, ec)) return {};
    return Utf8FromPath(data) + "/";
}

std::string LocateManual() {
    std::error_code ec;
    const std::string own = "manual/index.html";
    if (fs::exists(own, ec)) return Utf8FromPath(fs::absolute(own, ec));
    const std::string program = ExecutableDir();
    if (program.empty()) return {};
    const fs::path installed = fs::weakly_canonical(
        PathFromUtf8(program) / "../share/doc/vr7loncfgmaker/manual/index.html", ec);
    return !ec && fs::exists(installed, ec) ? Utf8FromPath(installed) : std::string();
}

std::string LocateDataFile(const std::string& name) {
    return LocateDataFile(name, InstalledDataDir());
}

std::string LocateDataFile(const std::string& name, const std::string& dataDir) {
    std::error_code ec;
    if (fs::exists(PathFromUtf8(name), ec)) return name;
    if (!dataDir.empty() && fs::exists(PathFromUtf8(dataDir + name), ec)) return dataDir + name;
    return name;
}
