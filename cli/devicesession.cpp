#include "cli/devicesession.h"

#include <filesystem>

#include "base/parseuint.h"
#include "cli/clitext.h"
#include "device/connectionsettings.h"
#include "device/deviceendpoint.h"
#include "link/connectionkeys.h"

const std::vector<CliOption>& DeviceOptions() {
    static const std::vector<CliOption> options = {
        {"--port", true},   {"--ip", true},     {"--tcp-port", true}, {"--speed", true},
        {"--number", true}, {"--trace", false}, {"--echo", true},
    };
    return options;
}

bool DeviceSession::SetUp(const CliContext& ctx, const CliArgs& args, std::string& error) {
    conn.Timings = ctx.env.timings;
    EndpointChoice choice;
    if (args.Has("--port")) {
        choice.port = args.Value("--port");
        if (choice.port->empty()) {
            error = clitext::UsageText(clitext::Usage::PortNeedsName);
            return false;
        }
    }
    if (args.Has("--ip")) choice.ip = args.Value("--ip");
    if (args.Has("--tcp-port")) {
        uint16_t port = 0;
        if (!ParseTcpPort(args.Value("--tcp-port"), port)) {
            error = clitext::UsageText(clitext::Usage::TcpPortRange);
            return false;
        }
        choice.tcpPort = std::to_string(port);
    }
    if (args.Has("--speed")) {
        choice.speed.emplace();
        if (!ParseUint32(args.Value("--speed"), *choice.speed)) {
            error = clitext::UsageText(clitext::Usage::SpeedNeedsBaud);
            return false;
        }
    }
    if (args.Has("--number")) {
        choice.number.emplace();
        if (!ParseUint32(args.Value("--number"), *choice.number)) {
            error = clitext::UsageText(clitext::Usage::NumberRange);
            return false;
        }
    }
    // The window's saved settings give what the command line leaves out; when it gives every
    // setting of its endpoint, they are not read at all.
    const bool tcp = choice.port ? *choice.port == connkeys::kTcpIpPortName
                                 : choice.ip.has_value() || choice.tcpPort.has_value();
    const bool complete =
        choice.number && (tcp ? choice.ip && choice.tcpPort : choice.port && choice.speed);
    if (!complete) {
        const std::string& dir = ctx.env.programDir;
        std::error_code ec;
        if (std::filesystem::exists(ConnectionSettingsSource(dir), ec))
            LoadConnectionSettings(conn, dir);
        DeviceNumber = LoadDeviceNumber(dir);
    }
    ApplyEndpoint(ResolveEndpoint(EndpointOf(conn, DeviceNumber), choice), conn, DeviceNumber);
    if (args.Has("--echo") && !ParseLineEcho(args.Value("--echo"), conn.Echo)) {
        error = clitext::UsageText(clitext::Usage::EchoValues);
        return false;
    }
    if (args.Has("--trace")) {
        tracer_.emplace(ctx.err);
        conn.Trace = [this](FrameWay way, const uint8_t* bytes, int length) {
            (*tracer_)(way, bytes, length);
        };
    }
    return true;
}
