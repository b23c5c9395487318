#include "base/installpaths.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr char kDataFolder[] = "../share/vr7loncfgmaker/";

}  // namespace

std::string ExecutableDir() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string() + "/";
}

std::string InstalledDataDir() {
    const std::string program = ExecutableDir();
    if (program.empty()) return {};
    std::error_code ec;
    const fs::path data = fs::weakly_canonical(fs::path(program) / kDataFolder, ec);
    if (ec || !fs::is_directory(data, ec)) return {};
    return data.string() + "/";
}

std::string LocateManual() {
    std::error_code ec;
    const std::string own = "manual/index.html";
    if (fs::exists(own, ec)) return fs::absolute(own, ec).string();
    const std::string program = ExecutableDir();
    if (program.empty()) return {};
    const fs::path installed = fs::weakly_canonical(
        fs::path(program) / "../share/doc/vr7loncfgmaker/manual/index.html", ec);
    return !ec && fs::exists(installed, ec) ? installed.string() : std::string();
}

std::string LocateDataFile(const std::string& name) {
    return LocateDataFile(name, InstalledDataDir());
}

std::string LocateDataFile(const std::string& name, const std::string& dataDir) {
    std::error_code ec;
    if (fs::exists(name, ec)) return name;
    if (!dataDir.empty() && fs::exists(dataDir + name, ec)) return dataDir + name;
    return name;
}
