#include "cli/devicesession.h"

#include <filesystem>

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
    // Each value is checked as the port dialog checks it.
    ConnectionSettings given;
    if (args.Has("--tcp-port")) {
        given.SetTcpPortText(args.Value("--tcp-port"));
        if (!given.badTcpPort.empty()) {
            error = clitext::UsageText(clitext::Usage::TcpPortRange);
            return false;
        }
        choice.tcpPort = given.TcpPortText();
    }
    if (args.Has("--speed")) {
        if (!ParseSpeed(args.Value("--speed"), given.speed)) {
            error = clitext::UsageText(clitext::Usage::SpeedNeedsBaud);
            return false;
        }
        choice.speed = given.speed;
    }
    if (args.Has("--number")) {
        if (!ParseDeviceNumber(args.Value("--number"), given.deviceNumber)) {
            error = clitext::UsageText(clitext::Usage::NumberRange);
            return false;
        }
        choice.number = given.deviceNumber;
    }
    if (args.Has("--echo") && !ParseLineEcho(args.Value("--echo"), given.echo)) {
        error = clitext::UsageText(clitext::Usage::EchoValues);
        return false;
    }
    // The window's saved settings give what the command line leaves out; when it gives every
    // setting of its endpoint, they are not read at all.
    const bool tcp = choice.port ? *choice.port == connkeys::kTcpIpPortName
                                 : choice.ip.has_value() || choice.tcpPort.has_value();
    const bool complete =
        choice.number && (tcp ? choice.ip && choice.tcpPort : choice.port && choice.speed);
    if (!complete) {
        const std::string& dir = ctx.env.programDir;
        const ConnectionSettings saved = LoadConnectionSettings(dir);
        std::error_code ec;
        if (std::filesystem::exists(ConnectionSettingsSource(dir), ec)) conn.Apply(saved);
        conn.DeviceNumber = saved.deviceNumber;
    }
    ApplyEndpoint(ResolveEndpoint(EndpointOf(conn, conn.DeviceNumber), choice), conn,
                  conn.DeviceNumber);
    if (args.Has("--echo")) conn.Echo = given.echo;
    if (args.Has("--trace")) {
        tracer_.emplace(ctx.err);
        conn.Trace = [this](FrameWay way, const uint8_t* bytes, int length) {
            (*tracer_)(way, bytes, length);
        };
    }
    return true;
}
