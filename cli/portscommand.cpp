#include "cli/portscommand.h"

#include "base/jsonwriter.h"
#include "cli/clicommand.h"
#include "cli/clitext.h"
#include "cli/exitstatus.h"
#include "cli/jsonprint.h"
#include "link/serialports.h"

namespace {

const char kUsage[] =
    "usage: vr7lon ports [--json]\n"
    "Lists the serial ports of this machine, one a line: the device path, two spaces, then what\n"
    "the system says of it: the adapter's product and maker, the driver, the USB vendor and\n"
    "product ids and the serial number, and its stable name under /dev/serial/by-id. A USB\n"
    "adapter's ttyUSB or ttyACM name depends on the order adapters were plugged in; its stable\n"
    "name does not, so that is the one to give as --port or keep in the settings.\n"
    "  --json          print them as JSON instead (its schema is in the README)\n"
    "Exit status: 0 done, also when no port is found (\"no serial port found\" is printed);\n"
    "64 wrong usage.\n";

void OptionalMember(JsonWriter& json, const char* name, const std::string& value) {
    json.Key(name);
    if (value.empty())
        json.Null();
    else
        json.String(value);
}

void PrintJson(const std::vector<SerialPortInfo>& ports, std::ostream& out) {
    JsonWriter json(out);
    BeginJsonDocument(json).Key("ports").BeginArray();
    for (const SerialPortInfo& port : ports) {
        json.BeginObject().Member("path", port.path);
        OptionalMember(json, "by_id", port.byIdPath);
        OptionalMember(json, "driver", port.driver);
        OptionalMember(json, "vendor", port.vendor);
        OptionalMember(json, "product", port.product);
        OptionalMember(json, "usb_id", port.usbId);
        OptionalMember(json, "serial", port.serial);
        json.EndObject();
    }
    json.EndArray().EndObject();
}

}  // namespace

std::string PortDescription(const SerialPortInfo& port) {
    std::string text;
    auto add = [&text](const std::string& part) {
        if (!text.empty()) text += ", ";
        text += part;
    };
    if (!port.product.empty() && !port.vendor.empty())
        add(clitext::MadeBy(port.product, port.vendor));
    else if (!port.product.empty() || !port.vendor.empty())
        add(port.product + port.vendor);
    if (!port.driver.empty()) add(clitext::Driver(port.driver));
    if (!port.usbId.empty()) add(clitext::UsbId(port.usbId));
    if (!port.serial.empty()) add(clitext::SerialNumber(port.serial));
    if (!port.byIdPath.empty()) add(clitext::StableName(port.byIdPath));
    return text.empty() ? clitext::NothingKnown() : text;
}

int RunPortsCommand(const CliContext& ctx, const std::vector<std::string>& args) {
    CliArgs parsed;
    int status = 0;
    if (!ParseCommandArgs(ctx, args, {{"--json", false}}, kUsage, parsed, status)) return status;
    if (!parsed.Positionals().empty())
        return UsageError(ctx, clitext::UsageText(clitext::Usage::PortsTakesNothing), kUsage);

    const std::vector<SerialPortInfo> ports = DescribeSerialPorts(ctx.env.ports);
    if (parsed.Has("--json")) {
        PrintJson(ports, ctx.out);
        return exitstatus::Ok;
    }
    if (ports.empty()) ctx.out << clitext::NoSerialPort() << '\n';
    for (const SerialPortInfo& port : ports)
        ctx.out << port.path << "  " << PortDescription(port) << '\n';
    return exitstatus::Ok;
}
