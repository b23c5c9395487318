#include "device/deviceendpoint.h"

#include <algorithm>
#include <vector>

#include "link/comlink.h"
#include "link/connection.h"
#include "link/connectionkeys.h"

bool DeviceEndpoint::Tcp() const {
    return port == connkeys::kTcpIpPortName;
}

namespace {

// text with every character outside A-Z a-z 0-9 . _ - replaced by '_': a file name's part.
std::string FileNameSafe(std::string text) {
    for (char& c : text) {
        const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!safe) c = '_';
    }
    return text;
}

// A TCP port without leading zeros ("010001" is 10001); any other text as it is.
std::string PortNumber(const std::string& port) {
    const size_t first = port.find_first_not_of('0');
    if (port.empty() || port.find_first_not_of("0123456789") != std::string::npos) return port;
    return first == std::string::npos ? "0" : port.substr(first);
}

}  // namespace

std::string DeviceEndpoint::LineName() const {
    if (Tcp())
        return FileNameSafe("tcp-" + endpointplatform::HostName(ip) + "-" + PortNumber(tcpPort));
    return FileNameSafe("serial-" + SerialLineName(CComLink::DevicePath(port)));
}

std::string DeviceEndpoint::Key() const {
    return Tcp() ? ip + ":" + tcpPort : endpointplatform::RealPortPath(port);
}

std::vector<std::string> DeviceEndpoint::Places() const {
    if (!Tcp()) return {endpointplatform::RealPortPath(port)};
    std::vector<std::string> places = endpointplatform::ResolvedPlaces(ip, tcpPort);
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    if (places.empty()) places.push_back(ip + " " + tcpPort);
    return places;
}

std::string DeviceEndpoint::Text() const {
    return Tcp() ? ip + ":" + tcpPort : port;
}

DeviceEndpoint ResolveEndpoint(const DeviceEndpoint& defaults, const EndpointChoice& choice) {
    DeviceEndpoint e = defaults;
    if (choice.ip) e.ip = *choice.ip;
    if (choice.tcpPort) e.tcpPort = *choice.tcpPort;
    if (choice.port) {
        e.port = *choice.port;
    } else if (choice.ip || choice.tcpPort) {
        e.port = connkeys::kTcpIpPortName;
    }
    if (choice.speed) e.speed = *choice.speed;
    if (choice.number) e.number = *choice.number;
    return e;
}

DeviceEndpoint EndpointOf(const connection& conn, uint32_t number) {
    return DeviceEndpoint{conn.PortName, conn.IpAddress, conn.TcpIpPort, conn.Speed, number};
}

void ApplyEndpoint(const DeviceEndpoint& endpoint, connection& conn, uint32_t& number) {
    conn.PortName = endpoint.port;
    conn.IpAddress = endpoint.ip;
    conn.TcpIpPort = endpoint.tcpPort;
    conn.Speed = endpoint.speed;
    number = endpoint.number;
}
