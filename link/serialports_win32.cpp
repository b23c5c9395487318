#include "link/serialports.h"

#include <windows.h>
// After <windows.h>:
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "base/wintext.h"

namespace {

// "COM12" -> 12, for the order COM2 before COM10; names without a number last.
unsigned PortNumber(const std::string& name) {
    unsigned n = 0;
    bool digits = false;
    for (char c : name) {
        if (c >= '0' && c <= '9') {
            n = n * 10 + static_cast<unsigned>(c - '0');
            digits = true;
        } else {
            n = 0;
            digits = false;
        }
    }
    return digits ? n : ~0u;
}

// The ports the system has: the values of HARDWARE\DEVICEMAP\SERIALCOMM, each a port name.
std::vector<std::string> RegistryPorts() {
    std::vector<std::string> ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0; i < 4096; ++i) {
        wchar_t name[256];
        wchar_t data[256];
        DWORD nameLength = 256, dataBytes = sizeof data - sizeof(wchar_t), type = 0;
        const LONG r = ::RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                       reinterpret_cast<BYTE*>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        size_t length = dataBytes / sizeof(wchar_t);
        while (length > 0 && data[length - 1] == L'\0') --length;
        if (length > 0) ports.push_back(Utf8FromWide(std::wstring_view(data, length)));
    }
    ::RegCloseKey(key);
    return ports;
}

std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[512];
    DWORD type = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                             reinterpret_cast<BYTE*>(text),
                                             sizeof text - sizeof(wchar_t), nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    text[511] = L'\0';
    return Utf8FromWide(text);  // a multi-string's first string
}

// "USB\VID_0403&PID_6001\..." -> "0403:6001".
std::string UsbId(const std::string& hardwareId) {
    const size_t vid = hardwareId.find("VID_"), pid = hardwareId.find("PID_");
    if (vid == std::string::npos || pid == std::string::npos) return {};
    std::string id = hardwareId.substr(vid + 4, 4) + ":" + hardwareId.substr(pid + 4, 4);
    for (char& c : id) c = static_cast<char>(c >= 'A' && c <= 'F' ? c + ('a' - 'A') : c);
    return id;
}

// What Windows' device manager says of each port in the Ports class, by port name: its
// friendly name ("USB Serial Port (COM7)"), maker, driver and USB ids.
std::map<std::string, SerialPortInfo> DeviceDescriptions() {
    std::map<std::string, SerialPortInfo> found;
    const HDEVINFO set =
        ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return found;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; i < 4096 && ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const HKEY key =
            ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t name[64];
        DWORD bytes = sizeof name - sizeof(wchar_t), type = 0;
        const bool named =
            ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name),
                               &bytes) == ERROR_SUCCESS &&
            type == REG_SZ;
        ::RegCloseKey(key);
        if (!named) continue;
        name[std::min<size_t>(bytes / sizeof(wchar_t), 63)] = L'\0';
        SerialPortInfo info;
        info.path = Utf8FromWide(name);
        info.product = DeviceProperty(set, device, SPDRP_FRIENDLYNAME);
        info.vendor = DeviceProperty(set, device, SPDRP_MFG);
        info.driver = DeviceProperty(set, device, SPDRP_SERVICE);
        info.usbId = UsbId(DeviceProperty(set, device, SPDRP_HARDWAREID));
        found.emplace(info.path, std::move(info));
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return found;
}

}  // namespace

std::vector<SerialPortInfo> DescribeSerialPorts(const SerialPortRoots& /*roots*/) {
    std::map<std::string, SerialPortInfo> described = DeviceDescriptions();
    std::vector<SerialPortInfo> ports;
    for (const std::string& name : RegistryPorts()) {
        if (std::any_of(ports.begin(), ports.end(),
                        [&name](const SerialPortInfo& p) { return p.path == name; }))
            continue;
        const auto it = described.find(name);
        if (it != described.end()) {
            ports.push_back(it->second);
        } else {
            SerialPortInfo info;
            info.path = name;
            ports.push_back(std::move(info));
        }
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        const unsigned na = PortNumber(a.path), nb = PortNumber(b.path);
        return na != nb ? na < nb : a.path < b.path;
    });
    return ports;
}
