#include "serialports.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string_view>

namespace fs = std::filesystem;

namespace {

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

// The kernel creates ttyS0..ttyS31 whether or not there is a UART behind them; such a port
// reports the type 0 (unknown) and cannot be used.
bool IsPlaceholderPort(const fs::path& classEntry) {
    std::ifstream in(classEntry / "type");
    int type = -1;
    return in >> type && type == 0;
}

// Name order with a trailing number compared as a number: ttyS2 before ttyS10.
bool NaturalLess(const std::string& a, const std::string& b) {
    const auto split = [](const std::string& s) {
        size_t digits = s.size();
        while (digits > 0 && s[digits - 1] >= '0' && s[digits - 1] <= '9') --digits;
        return digits;
    };
    const size_t da = split(a), db = split(b);
    const std::string_view stemA(a.data(), da), stemB(b.data(), db);
    if (stemA != stemB) return stemA < stemB;
    const size_t la = a.size() - da, lb = b.size() - db;
    if (la != lb) return la < lb;  // no leading zeros in device numbers
    return a.compare(da, la, b, db, lb) < 0;
}

}  // namespace

std::vector<std::string> ListSerialPorts(const std::string& sysClassTty, const std::string& dev) {
    std::set<std::string> names;
    std::error_code ec;
    // Every tty with hardware behind it has a "device" link in sysfs; virtual consoles and
    // pseudo-terminals have none.
    for (fs::directory_iterator it(sysClassTty, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        if (!Exists(entry / "device") || IsPlaceholderPort(entry)) continue;
        const std::string name = entry.filename().string();
        if (Exists(fs::path(dev) / name)) names.insert(name);
    }
    // USB adapters and modems also when sysfs is not there to ask (some containers).
    ec.clear();
    for (fs::directory_iterator it(dev, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) names.insert(name);
    }

    std::vector<std::string> sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end(), NaturalLess);
    for (std::string& name : sorted) name = (fs::path(dev) / name).string();
    return sorted;
}
