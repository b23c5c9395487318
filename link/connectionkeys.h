#pragma once
// The [CONNECTION] section of the program's ini files, as the connection, the window's settings,
// vr7lon and the simulator's --settings all read and write it.
namespace connkeys {

inline constexpr char kSection[] = "CONNECTION";
inline constexpr char kPort[] = "port";  // "TCP/IP" or a serial port name
inline constexpr char kIp[] = "IP";
inline constexpr char kTcpIpPort[] = "TCPIPport";
inline constexpr char kSpeed[] = "speed";
inline constexpr char kDeviceNumber[] = "dev_nom";
// Whether the serial line hands the request back: "auto", "on" or "off".
inline constexpr char kEcho[] = "echo";

// The port name that chooses the network (compared exactly: "tcp/ip" names a serial port).
inline constexpr char kTcpIpPortName[] = "TCP/IP";

// Saving always goes to the main file; loading falls back to the legacy one.
inline constexpr char kMainIniName[] = "Vr7LonCfgMaker.ini";
inline constexpr char kLegacyIniName[] = "vr7CfgUpdate.ini";

}  // namespace connkeys
