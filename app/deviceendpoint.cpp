#include "app/deviceendpoint.h"

#include "link/comlink.h"
#include "link/connection.h"
#include "link/connectionkeys.h"

bool DeviceEndpoint::Tcp() const {
    return port == connkeys::kTcpIpPortName;
}

std::string DeviceEndpoint::Key() const {
    return Tcp() ? ip + ":" + tcpPort : CComLink::DevicePath(port);
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
