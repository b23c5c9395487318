#include "cli/devicesession.h"

#include <filesystem>

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
            error = "--port needs a name";
            return false;
        }
    }
    if (args.Has("--ip")) choice.ip = args.Value("--ip");
    // Each value is checked as the port dialog checks it.
    ConnectionSettings given;
    if (args.Has("--tcp-port")) {
        given.SetTcpPortText(args.Value("--tcp-port"));
        if (!given.badTcpPort.empty()) {
            error = "--tcp-port needs 1 to 65535";
            return false;
        }
        choice.tcpPort = given.TcpPortText();
    }
    if (args.Has("--speed")) {
        if (!ParseSpeed(args.Value("--speed"), given.speed)) {
            error = "--speed needs a number of baud";
            return false;
        }
        choice.speed = given.speed;
    }
    if (args.Has("--number")) {
        if (!ParseDeviceNumber(args.Value("--number"), given.deviceNumber)) {
            error = "--number needs 0 to 4294967295";
            return false;
        }
        choice.number = given.deviceNumber;
    }
    if (args.Has("--echo") && !ParseLineEcho(args.Value("--echo"), given.echo)) {
        error = "--echo needs auto, on or off";
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
