#include "cli/devicesession.h"

#include <filesystem>

#include "app/connectionsettings.h"
#include "base/parseuint.h"
#include "link/connectionkeys.h"

namespace {

using connkeys::kTcpIpPortName;

// The TCP port as digits, 1 to 65535.
bool ParseTcpPort(const std::string& text, std::string& port) {
    uint32_t value = 0;
    if (!ParseUint32(text, value) || value == 0 || value > 65535) return false;
    port = std::to_string(value);
    return true;
}

}  // namespace

const std::vector<CliOption>& DeviceOptions() {
    static const std::vector<CliOption> options = {
        {"--port", true},  {"--ip", true},     {"--tcp-port", true},
        {"--speed", true}, {"--number", true}, {"--trace", false},
    };
    return options;
}

bool DeviceSession::SetUp(const CliContext& ctx, const CliArgs& args, std::string& error) {
    const std::string& dir = ctx.env.programDir;
    std::error_code ec;
    if (std::filesystem::exists(ConnectionSettingsSource(dir), ec))
        LoadConnectionSettings(conn, dir);
    DeviceNumber = LoadDeviceNumber(dir);
    conn.Timings = ctx.env.timings;

    if (args.Has("--port")) {
        conn.PortName = args.Value("--port");
        if (conn.PortName.empty()) {
            error = "--port needs a name";
            return false;
        }
    }
    // An address or a TCP port alone means TCP/IP; with --port the port decides.
    if (args.Has("--ip")) {
        conn.IpAddress = args.Value("--ip");
        if (!args.Has("--port")) conn.PortName = kTcpIpPortName;
    }
    if (args.Has("--tcp-port")) {
        if (!ParseTcpPort(args.Value("--tcp-port"), conn.TcpIpPort)) {
            error = "--tcp-port needs 1 to 65535";
            return false;
        }
        if (!args.Has("--port")) conn.PortName = kTcpIpPortName;
    }
    if (args.Has("--speed") && !ParseUint32(args.Value("--speed"), conn.Speed)) {
        error = "--speed needs a number of baud";
        return false;
    }
    if (args.Has("--number") && !ParseUint32(args.Value("--number"), DeviceNumber)) {
        error = "--number needs 0 to 4294967295";
        return false;
    }
    if (args.Has("--trace")) {
        tracer_.emplace(ctx.err);
        conn.Trace = [this](bool sent, const uint8_t* bytes, int length) {
            (*tracer_)(sent, bytes, length);
        };
    }
    return true;
}
