#include "link/serialports.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
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

// The names (ttyS0, ttyUSB0, ...) of the serial ports that exist, in no order.
std::set<std::string> PortNames(const std::string& sysClassTty, const std::string& dev) {
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
    return names;
}

std::vector<std::string> Sorted(const std::set<std::string>& names) {
    std::vector<std::string> sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end(), NaturalLess);
    return sorted;
}

// A sysfs attribute's first line without the blanks around it ("" when absent). Attributes are
// short; more than a few hundred bytes is not one of the files asked for.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    char buffer[256];
    in.read(buffer, sizeof buffer);
    std::string text(buffer, static_cast<size_t>(in.gcount()));
    text = text.substr(0, text.find('\n'));
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The driver of the device behind a tty. Since kernel 6.5 a UART's tty hangs below objects of
// the serial core's own bus ("serial-base", drivers "port" and "ctrl"); the driver that tells
// the hardware (serial8250, or serial for a PNP port) is the one above them.
std::string DriverOf(const fs::path& device) {
    fs::path dir = device;
    for (int level = 0; level < 4 && !dir.empty(); ++level) {
        std::error_code ec;
        const fs::path driver = fs::read_symlink(dir / "driver", ec);
        if (ec) return std::string();
        // .../bus/<bus>/drivers/<driver>
        if (driver.parent_path().parent_path().filename() != "serial-base")
            return driver.filename().string();
        dir = dir.parent_path();
    }
    return std::string();
}

// For a USB adapter: the USB device above the tty's device (the folder with idVendor and
// idProduct: the interface and the usb-serial port lie below it).
void DescribeUsb(const fs::path& device, SerialPortInfo& info) {
    fs::path dir = device;
    for (int level = 0; level < 6 && dir.has_relative_path(); ++level, dir = dir.parent_path()) {
        const std::string vendorId = Attribute(dir / "idVendor");
        const std::string productId = Attribute(dir / "idProduct");
        if (vendorId.empty() || productId.empty()) continue;
        info.usbId = vendorId;
        info.usbId += ':';
        info.usbId += productId;
        info.vendor = Attribute(dir / "manufacturer");
        info.product = Attribute(dir / "product");
        info.serial = Attribute(dir / "serial");
        return;
    }
}

}  // namespace

std::vector<SerialPortInfo> DescribeSerialPorts(const SerialPortRoots& roots) {
    std::set<std::string> names = PortNames(roots.sysClassTty, roots.dev);

    // The stable names, each resolved to the node it names; the first by name wins for a port
    // that has several. A name whose node lies in the device folder is a port even when sysfs
    // did not say so.
    std::error_code ec;
    const fs::path devDir = fs::canonical(roots.dev, ec);
    std::vector<fs::path> links;
    ec.clear();
    for (fs::directory_iterator it(roots.byId, ec), end; !ec && it != end; it.increment(ec))
        links.push_back(it->path());
    std::sort(links.begin(), links.end());
    std::map<std::string, std::string> stable;  // port name -> by-id path
    for (const fs::path& link : links) {
        std::error_code resolve;
        const fs::path node = fs::canonical(link, resolve);
        if (resolve || devDir.empty() || node.parent_path() != devDir) continue;
        const std::string name = node.filename().string();
        names.insert(name);
        stable.emplace(name, (fs::path(roots.byId) / link.filename()).string());
    }

    std::vector<SerialPortInfo> ports;
    for (const std::string& name : Sorted(names)) {
        SerialPortInfo info;
        info.path = (fs::path(roots.dev) / name).string();
        if (const auto found = stable.find(name); found != stable.end())
            info.byIdPath = found->second;
        std::error_code resolve;
        const fs::path device =
            fs::canonical(fs::path(roots.sysClassTty) / name / "device", resolve);
        if (!resolve) {
            info.driver = DriverOf(device);
            DescribeUsb(device, info);
        }
        ports.push_back(std::move(info));
    }
    return ports;
}
