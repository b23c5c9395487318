#include "link/connection.h"

#include <charconv>
#include <climits>
#include <new>

#include "base/inifile.h"
#include "base/parseuint.h"
#include "link/comlink.h"
#include "link/connectionkeys.h"
#include "link/tcpiplink.h"

namespace {

using namespace connkeys;

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

// The link object, or null when memory for it cannot be had.
template <typename Link, typename... Args>
std::unique_ptr<CLink> MakeLink(const Args&... args) {
    try {
        return std::unique_ptr<CLink>(new (std::nothrow) Link(args...));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
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

connection::~connection() {
    link_.reset();
}

bool connection::TryLock() {
    bool expected = false;
    return locked_.compare_exchange_strong(expected, true);
}

void connection::Unlock() {
    locked_.store(false);
}

void connection::LoadSettings(const std::string& iniPath) {
    LockHolder lock(*this);
    if (!lock.owns()) return;
    PortName = ini::ReadString(iniPath, kSection, kPort, "COM1");
    IpAddress = ini::ReadString(iniPath, kSection, kIp, "192.168.0.1");
    // Normalised through the number, so "010001" comes back as "10001" and letters as "0". A
    // number beyond an int is kept as the file writes it: its refusal shows what the file says,
    // not the int it would saturate to.
    const std::string tcpPort = ini::ReadString(iniPath, kSection, kTcpIpPort, "10001");
    const int value = ini::AtoiInt(tcpPort);
    TcpIpPort = value == INT_MAX || value == INT_MIN ? LeadingNumber(tcpPort) : Decimal(value);
    Speed = ini::AtoiLow32(ini::ReadString(iniPath, kSection, kSpeed, "115200"));
    // A value that is none of the three reads as the default.
    if (!ParseLineEcho(ini::ReadString(iniPath, kSection, kEcho, "auto"), Echo))
        Echo = LineEcho::Auto;
}

bool connection::SaveSettings(const std::string& iniPath) {
    LockHolder lock(*this);
    if (!lock.owns()) return false;
    // Every key is tried, so that one that fails leaves the others saved.
    bool saved = ini::WriteString(iniPath, kSection, kPort, PortName);
    saved = ini::WriteString(iniPath, kSection, kIp, IpAddress) && saved;
    saved = ini::WriteString(iniPath, kSection, kTcpIpPort, TcpIpPort) && saved;
    saved = ini::WriteString(iniPath, kSection, kSpeed, Decimal(Speed)) && saved;
    return ini::WriteString(iniPath, kSection, kEcho, LineEchoKey(Echo)) && saved;
}

void connection::ShowPortDialog(IPortDialog& dialog, int left, int top, uint32_t* deviceNumber,
                                bool deviceNumberEditable) {
    // The lock stays held while the dialog runs, so nothing can use the link meanwhile; the
    // dialog writes the fields directly.
    LockHolder lock(*this);
    if (!lock.owns()) return;
    if (deviceNumber != nullptr) DeviceNumber = *deviceNumber;
    dialog.SetDevNomEnabled(deviceNumberEditable);
    dialog.Place(left, top);
    dialog.ShowModal(*this);
    // Whichever button closed the dialog, the number in its field is handed back.
    if (deviceNumberEditable && deviceNumber != nullptr) {
        uint32_t number = 0;
        *deviceNumber = ParseUint32(dialog.DevNomText(), number) ? number : 0;
    }
}

LinkResult connection::Open() {
    if (PortName == kTcpIpPortName) return OpenTcpIpLink(IpAddress, TcpIpPort);
    return OpenComLink(PortName, Speed);
}

LinkResult connection::OpenComLink(const std::string& portName, uint32_t speed) {
    return OpenLink(MakeLink<CComLink>(portName, speed, Timings), true);
}

LinkResult connection::OpenTcpIpLink(const std::string& host, const std::string& tcpPort) {
    // The ini file's value has been through atoi, so it may be anything an int can be; the port
    // name service would take it modulo 65536 or as a service name.
    uint16_t port = 0;
    const bool inRange = ParseTcpPort(tcpPort, port);
    return OpenLink(MakeLink<CTCPIPLink>(host, tcpPort, Timings), false,
                    inRange ? lr::Ok : lr::BadTcpPort);
}

void connection::ResetLineState(bool serial) {
    lateAnswers_ = {};
    answered_ = false;
    heardOnce_ = false;
    openResult_ = lr::Ok;
    // Every link is judged afresh: another port, or the same one with another converter.
    if (!serial || Echo == LineEcho::Off)
        echo_ = EchoState::None;
    else
        echo_ = Echo == LineEcho::On ? EchoState::Found : EchoState::Unknown;
}

LinkResult connection::OpenLink(std::unique_ptr<CLink> link, bool serial, LinkResult refused) {
    LockHolder lock(*this);
    if (!lock.owns()) return lr::LockFailed;
    link_ = std::move(link);
    lastFailedExchange_ = lr::Ok;
    ResetLineState(serial);
    if (!link_) return lr::NoLinkObject;
    if (refused != lr::Ok) {
        systemError_ = 0;
        return openResult_ = refused;
    }
    // The link stays current even when it fails to open: the next exchange reports its error.
    // The reason of a link before does not carry over to this one.
    openResult_ = link_->Open(true);
    systemError_ = link_->SystemErrorNumber();
    return openResult_;
}

void connection::Close() {
    LockHolder lock(*this);
    if (!lock.owns()) return;
    link_.reset();
}

LinkResult connection::SetLink(std::unique_ptr<CLink> link) {
    LockHolder lock(*this);
    if (!lock.owns()) return lr::LockFailed;
    link_ = std::move(link);
    ResetLineState(true);
    return lr::Ok;
}
