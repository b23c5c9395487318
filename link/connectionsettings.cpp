#include "link/connectionsettings.h"

#include <charconv>
#include <climits>

#include "base/inifile.h"
#include "base/parseuint.h"
#include "link/comlink.h"
#include "link/connectionkeys.h"

namespace {

using namespace connkeys;

// No value read from a file can hold a line break, so this default tells an absent key apart.
const char kAbsent[] = "\n";

template <typename Number>
std::string Decimal(Number value) {
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// The number text begins with, as written: the sign and digits after any blanks.
std::string LeadingNumber(const std::string& text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    size_t end = start;
    if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    return text.substr(start, end - start);
}

}  // namespace

const char* LineEchoKey(LineEcho echo) {
    switch (echo) {
        case LineEcho::On:
            return "on";
        case LineEcho::Off:
            return "off";
        case LineEcho::Auto:
            break;
    }
    return "auto";
}

bool ParseLineEcho(const std::string& text, LineEcho& echo) {
    for (const LineEcho e : {LineEcho::Auto, LineEcho::On, LineEcho::Off}) {
        if (text == LineEchoKey(e)) {
            echo = e;
            return true;
        }
    }
    return false;
}

std::string ConnectionSettings::PortName() const {
    return Tcp() ? std::string(kTcpIpPortName) : serialPort;
}

void ConnectionSettings::SetPortName(const std::string& name) {
    kind = name == kTcpIpPortName ? PortKind::Tcp : PortKind::Serial;
    if (!Tcp()) serialPort = name;
}

std::string ConnectionSettings::TcpPortText() const {
    return badTcpPort.empty() ? Decimal(tcpPort) : badTcpPort;
}

void ConnectionSettings::SetTcpPortText(const std::string& text) {
    uint16_t port = 0;
    const bool valid = ParseTcpPort(text, port);
    tcpPort = port;
    // An empty text still has to say something when it is refused.
    badTcpPort = valid ? std::string() : text.empty() ? std::string("0") : text;
}

void ConnectionSettings::ReadIni(const std::string& iniPath) {
    SetPortName(ini::ReadString(iniPath, kSection, kPort, "COM1"));
    host = ini::ReadString(iniPath, kSection, kIp, "192.168.0.1");
    // Through the number, so "010001" comes back as "10001" and letters as "0". A number beyond
    // an int is kept as the file writes it: its refusal shows what the file says, not the int it
    // would saturate to.
    const std::string tcp = ini::ReadString(iniPath, kSection, kTcpIpPort, "10001");
    const int value = ini::AtoiInt(tcp);
    SetTcpPortText(value == INT_MAX || value == INT_MIN ? LeadingNumber(tcp) : Decimal(value));
    speed = ini::AtoiLow32(ini::ReadString(iniPath, kSection, kSpeed, "115200"));
    // A value that is none of the three reads as the default.
    if (!ParseLineEcho(ini::ReadString(iniPath, kSection, kEcho, "auto"), echo))
        echo = LineEcho::Auto;
}

bool ConnectionSettings::WriteIni(const std::string& iniPath) const {
    // Every key is tried, so that one that fails leaves the others saved.
    bool saved = ini::WriteString(iniPath, kSection, kPort, PortName());
    saved = ini::WriteString(iniPath, kSection, kIp, host) && saved;
    saved = ini::WriteString(iniPath, kSection, kTcpIpPort, TcpPortText()) && saved;
    saved = ini::WriteString(iniPath, kSection, kSpeed, Decimal(speed)) && saved;
    return ini::WriteString(iniPath, kSection, kEcho, LineEchoKey(echo)) && saved;
}

bool ConnectionSettings::ReadDeviceNumber(const std::string& iniPath) {
    const std::string text = ini::ReadString(iniPath, kSection, kDeviceNumber, kAbsent, 255);
    if (text == kAbsent) return false;
    deviceNumber = ini::AtoiLow32(text);
    return true;
}

bool ConnectionSettings::WriteDeviceNumber(const std::string& iniPath) const {
    return ini::WriteString(iniPath, kSection, kDeviceNumber, Decimal(deviceNumber));
}

bool ParseDeviceNumber(const std::string& text, uint32_t& number) {
    return ParseUint32(text, number);
}

bool ParseSpeed(const std::string& text, uint32_t& baud) {
    uint32_t value = 0;
    if (!ParseUint32(text, value) || !CComLink::SpeedPossible(value)) return false;
    baud = value;
    return true;
}
