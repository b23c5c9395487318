#pragma once
// How a device is reached: a serial port (with its speed) or a TCP address and port, and the
// device's number. "vr7lon device" takes its options and "vr7lon fleet" a plan's cells over the
// same defaults (the window's saved settings, else the connection's), by the same rule.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class connection;

struct DeviceEndpoint {
    std::string port;  // "TCP/IP" or a serial port name (COM1.., a device path)
    std::string ip;
    std::string tcpPort;
    uint32_t speed = 0;
    uint32_t number = 0;  // 0: whichever device answers

    bool Tcp() const;
    // What devices that have to take turns share: "IP:PORT" over TCP/IP, else the serial port's
    // real device path (a port named by two links is one port).
    std::string Key() const;
    // Where the endpoint really leads, one "ADDRESS PORT" for each address the name resolves to
    // (127.1, 127.000.000.001 and localhost all lead to 127.0.0.1) or the serial port's real
    // device path; the name as given when it resolves to nothing.
    std::vector<std::string> Places() const;
    // As a report names it: "IP:PORT" over TCP/IP, else the serial port as named.
    std::string Text() const;
    // The line as a file name, what a device's backups are filed under with its number:
    // "tcp-HOST-PORT" (an address in its usual form, 127.1 and 127.0.0.1 alike; a host name in
    // lower case, never looked up) or "serial-NAME", NAME the port's stable name (SerialLineName).
    // Every character outside A-Z a-z 0-9 . _ - becomes '_'.
    std::string LineName() const;
};

// The stable name of a serial port at devicePath: its name in byIdFolder (the system's
// /dev/serial/by-id, which does not change when adapters are plugged in again) when one of its
// links leads to the port, else the port's real device path without "/dev/". On Windows a COM
// port's name is stable already: "COMn" (byIdFolder is not used).
std::string SerialLineName(const std::string& devicePath,
                           const std::string& byIdFolder = "/dev/serial/by-id");

// What the platform decides of an endpoint (deviceendpoint_posix.cpp, deviceendpoint_win32.cpp).
namespace endpointplatform {
// The serial port's device path with every link resolved (Windows: "\\.\COMn" in upper
// case), or as named when it does not resolve (the open will say why).
std::string RealPortPath(const std::string& port);
// A host as it names a line: an IPv4 or IPv6 address in its usual form ("127.1" is
// 127.0.0.1, as the window's address field takes it), a name in lower case.
std::string HostName(const std::string& host);
// "ADDRESS PORT" for each address ip resolves to, in no particular order; none when it does not.
std::vector<std::string> ResolvedPlaces(const std::string& ip, const std::string& tcpPort);
}  // namespace endpointplatform

// What the user gave for one device: a value for each thing given, nothing for the defaults.
struct EndpointChoice {
    std::optional<std::string> port;
    std::optional<std::string> ip;
    std::optional<std::string> tcpPort;  // 1 to 65535, as digits without leading zeros
    std::optional<uint32_t> speed;
    std::optional<uint32_t> number;
};

// The defaults with the choice over them. An address or a TCP port given without a port selects
// TCP/IP; a port given decides.
DeviceEndpoint ResolveEndpoint(const DeviceEndpoint& defaults, const EndpointChoice& choice);

// The endpoint a connection is set to, with the device number.
DeviceEndpoint EndpointOf(const connection& conn, uint32_t number);
// Sets the connection (and the device number) to reach the endpoint.
void ApplyEndpoint(const DeviceEndpoint& endpoint, connection& conn, uint32_t& number);
