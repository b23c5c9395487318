#pragma once
// The connection's settings as one value: the port (a serial port at a speed, or TCP/IP with a
// host and a TCP port), the serial line's echo and the device's number. The ini files'
// [CONNECTION] section, the port dialog and vr7lon's options are read into it through the checks
// here, and it is written back in the ini's form.
#include <cstdint>
#include <string>

// Whether the serial line hands every request back before the answer, as many 2-wire RS-485
// converters do (their receiver stays on while they send). Auto: judged from the first answer
// on each opened link, and kept for the link's life.
enum class LineEcho : uint8_t { Auto, On, Off };
// The ini and vr7lon spelling: "auto", "on", "off"; false for any other text.
const char* LineEchoKey(LineEcho echo);
bool ParseLineEcho(const std::string& text, LineEcho& echo);

enum class PortKind : uint8_t { Serial, Tcp };

struct ConnectionSettings {
    PortKind kind = PortKind::Serial;
    std::string serialPort = "COM1";  // COM1..COM9 or a device path
    uint32_t speed = 9600;            // of the serial port, in baud
    std::string host = "192.168.0.1";
    uint16_t tcpPort = 10001;  // 1 to 65535, or 0 with badTcpPort
    // The TCP port as it was given when it names none from 1 to 65535 (the ini's, read as atoi
    // reads it, or the dialog's text): a link refuses to open with it, naming it. Else empty.
    std::string badTcpPort;
    uint32_t deviceNumber = 0;       // 0: whichever device answers
    LineEcho echo = LineEcho::Auto;  // of the serial line; a TCP/IP link never has one

    bool Tcp() const { return kind == PortKind::Tcp; }
    // The port as the ini names it: "TCP/IP" (exactly) or the serial port's name.
    std::string PortName() const;
    void SetPortName(const std::string& name);
    // The TCP port as the ini writes it: its number, or badTcpPort.
    std::string TcpPortText() const;
    void SetTcpPortText(const std::string& text);

    // The [CONNECTION] section's port, IP, TCPIPport, speed and echo, each with its default when
    // absent; the device number is left as it is (the window keeps it in its own file).
    void ReadIni(const std::string& iniPath);
    // Those five keys, in that order, every one tried; false when one could not be written.
    bool WriteIni(const std::string& iniPath) const;
    // "dev_nom" of the section: read like atoi keeping the low 32 bits; false when it is absent.
    bool ReadDeviceNumber(const std::string& iniPath);
    bool WriteDeviceNumber(const std::string& iniPath) const;
};

// The checks of what a user types (the dialog, vr7lon's options), each false for a text it
// refuses, value untouched:
// a device number, 0 to 4294967295 in decimal;
bool ParseDeviceNumber(const std::string& text, uint32_t& number);
// a serial port's speed: a decimal number of baud the system can set (never 0).
bool ParseSpeed(const std::string& text, uint32_t& baud);
