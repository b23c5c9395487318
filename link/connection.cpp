#include "link/connection.h"

#include <new>

#include "base/parseuint.h"
#include "link/comlink.h"
#include "link/tcpiplink.h"

namespace {

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

ConnectionSettings connection::Settings() const {
    ConnectionSettings settings;
    settings.SetPortName(PortName);
    settings.speed = Speed;
    settings.host = IpAddress;
    settings.SetTcpPortText(TcpIpPort);
    settings.deviceNumber = DeviceNumber;
    settings.echo = Echo;
    return settings;
}

void connection::Apply(const ConnectionSettings& settings) {
    PortName = settings.PortName();
    Speed = settings.speed;
    IpAddress = settings.host;
    TcpIpPort = settings.TcpPortText();
    DeviceNumber = settings.deviceNumber;
    Echo = settings.echo;
}

void connection::LoadSettings(const std::string& iniPath) {
    LockHolder lock(*this);
    if (!lock.owns()) return;
    ConnectionSettings settings = Settings();
    settings.ReadIni(iniPath);
    Apply(settings);
}

bool connection::SaveSettings(const std::string& iniPath) {
    LockHolder lock(*this);
    if (!lock.owns()) return false;
    return Settings().WriteIni(iniPath);
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
        *deviceNumber = ParseDeviceNumber(dialog.DevNomText(), number) ? number : 0;
    }
}

LinkResult connection::Open() {
    const ConnectionSettings settings = Settings();
    if (settings.Tcp()) return OpenTcpIpLink(settings.host, settings.TcpPortText());
    return OpenComLink(settings.serialPort, settings.speed);
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
