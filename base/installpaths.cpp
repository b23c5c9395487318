#include "installpaths.h"

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

std::string LocateDataFile(const std::string& name) {
    std::error_code ec;
    if (fs::exists(name, ec)) return name;
    const std::string data = InstalledDataDir();
    if (!data.empty() && fs::exists(data + name, ec)) return data + name;
    return name;
}
