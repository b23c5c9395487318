#include "app/deviceendpoint.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

#include "link/comlink.h"
#include "link/connection.h"
#include "link/connectionkeys.h"

bool DeviceEndpoint::Tcp() const {
    return port == connkeys::kTcpIpPortName;
}

namespace {

// The serial port's device path with every symbolic link resolved, or as named when it does not
// resolve (the open will say why).
std::string RealPortPath(const std::string& port) {
    const std::string path = CComLink::DevicePath(port);
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

}  // namespace

std::string DeviceEndpoint::Key() const {
    return Tcp() ? ip + ":" + tcpPort : RealPortPath(port);
}

std::vector<std::string> DeviceEndpoint::Places() const {
    if (!Tcp()) return {RealPortPath(port)};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    std::vector<std::string> places;
    if (::getaddrinfo(ip.c_str(), tcpPort.c_str(), &hints, &list) == 0) {
        for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
            char host[NI_MAXHOST];
            char service[NI_MAXSERV];
            if (::getnameinfo(a->ai_addr, a->ai_addrlen, host, sizeof host, service, sizeof service,
                              NI_NUMERICHOST | NI_NUMERICSERV) == 0)
                places.push_back(std::string(host) + " " + service);
        }
        ::freeaddrinfo(list);
    }
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
