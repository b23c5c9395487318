#include "cli/vr7lon.h"

#include <map>

#include "cli/buildcommand.h"
#include "cli/clicommand.h"
#include "cli/clitext.h"
#include "cli/devicecommand.h"
#include "cli/diffcommand.h"
#include "cli/exitstatus.h"
#include "cli/fleetcommand.h"
#include "cli/listcommand.h"
#include "cli/portscommand.h"
#include "cli/terminaltext.h"
#include "cli/treecommand.h"

namespace {

const char kUsage[] =
    "usage: vr7lon COMMAND [ARGS]\n"
    "The command-line companion of the VR-7 LON settings window: the same configuration tree,\n"
    "SNVT list, gateway settings file and device commands, without a display. Texts are printed\n"
    "as UTF-8; files are written exactly as the window writes them.\n"
    "Commands (each takes --help):\n"
    "  tree FOLDER [--catalog FILE] [--number N]\n"
    "        the tree of a configuration folder, as the window's Open builds it\n"
    "  list FILE [--catalog FILE] [--json | --csv]\n"
    "        the SNVT list of a gateway settings file\n"
    "  build --out FILE [--catalog FILE] [--from FILE] SYS:NAME...\n"
    "        a gateway settings file made of the variables NAME of systems SYS\n"
    "  device [--port NAME] [--ip HOST] [--tcp-port N] [--speed N] [--number N]\n"
    "         [--echo auto|on|off] [--trace]\n"
    "         info | tree | get | put | read | store | verify | backups | restore\n"
    "        talk to a VR-7 device\n"
    "  diff A B [device options]\n"
    "        compare two gateway settings files (either may be device:) as SNVT lists\n"
    "  fleet PLAN info|read|store|verify [--jobs N] [--out DIR] [--report FILE]\n"
    "        the same action on every device of a plan, in parallel\n"
    "  ports [--json]\n"
    "        the serial ports of this machine, with their stable names and what they are\n"
    "Exit status: 0 done; 1 a partial tree, or store --dry-run would change the device; 2 an\n"
    "input cannot be loaded or an output written; 3 a variable was left out; 4 the device\n"
    "failed; 5 the device holds other settings than expected; 64 wrong usage. diff: 0 the\n"
    "same, 1 different, 2 a side cannot be read.\n";

using Command = int (*)(const CliContext&, const std::vector<std::string>&);

}  // namespace

int RunVr7lon(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const CliEnvironment& env) {
    // Whatever a message quotes (a file's line, a plan's cell, a device's answer) reaches the
    // terminal with its control characters shown.
    ShownStreamBuf shownErr(err.rdbuf());
    std::ostream errShown(&shownErr);
    const CliContext ctx{out, errShown, env};
    static const std::map<std::string, Command> commands = {
        {"tree", RunTreeCommand},     {"list", RunListCommand},   {"build", RunBuildCommand},
        {"device", RunDeviceCommand}, {"fleet", RunFleetCommand}, {"diff", RunDiffCommand},
        {"ports", RunPortsCommand},
    };
    if (args.empty())
        return UsageError(ctx, clitext::UsageText(clitext::Usage::CommandNeeded), kUsage);
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << kUsage;
        return exitstatus::Ok;
    }
    const auto command = commands.find(args[0]);
    if (command == commands.end()) return UsageError(ctx, clitext::UnknownCommand(args[0]), kUsage);
    return command->second(ctx, std::vector<std::string>(args.begin() + 1, args.end()));
}
