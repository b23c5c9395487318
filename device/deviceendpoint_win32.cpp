#include "device/deviceendpoint.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <vector>

#include "link/comlink.h"
#include "link/socket.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

}  // namespace

namespace endpointplatform {

// COM ports have no links: "com3" and "COM3" are one port.
std::string RealPortPath(const std::string& port) {
    return Upper(CComLink::DevicePath(port));
}

std::string HostName(const std::string& host) {
    char text[INET6_ADDRSTRLEN];
    // inet_addr takes what inet_aton takes elsewhere ("127.1" is 127.0.0.1), but answers
    // INADDR_NONE for 255.255.255.255 too: inet_pton tells them apart.
    in_addr v4{};
    v4.s_addr = ::inet_addr(host.c_str());
    if ((v4.s_addr != INADDR_NONE || ::inet_pton(AF_INET, host.c_str(), &v4) == 1) &&
        ::inet_ntop(AF_INET, &v4, text, sizeof text))
        return text;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1 &&
        ::inet_ntop(AF_INET6, &v6, text, sizeof text))
        return text;
    std::string lower = host;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::vector<std::string> ResolvedPlaces(const std::string& ip, const std::string& tcpPort) {
    std::vector<std::string> places;
    if (!SocketsReady()) return places;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    if (::getaddrinfo(ip.c_str(), tcpPort.c_str(), &hints, &list) == 0) {
        for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
            char host[NI_MAXHOST];
            char service[NI_MAXSERV];
            if (::getnameinfo(a->ai_addr, static_cast<socklen_t>(a->ai_addrlen), host, sizeof host,
                              service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0)
                places.push_back(std::string(host) + " " + service);
        }
        ::freeaddrinfo(list);
    }
    return places;
}

}  // namespace endpointplatform

std::string SerialLineName(const std::string& devicePath, const std::string& /*byIdFolder*/) {
    constexpr std::string_view kDevice = "\\\\.\\";
    const std::string port = Upper(devicePath);
    return port.rfind(kDevice, 0) == 0 ? port.substr(kDevice.size()) : port;
}
