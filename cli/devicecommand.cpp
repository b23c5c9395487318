#include "cli/devicecommand.h"

#include <map>

#include "cli/clicommand.h"
#include "cli/clitext.h"
#include "cli/devicesession.h"
#include "cli/devicesubcommands.h"
#include "cli/exitstatus.h"

namespace {

const char kUsage[] =
    "usage: vr7lon device [--port NAME] [--ip HOST] [--tcp-port N] [--speed N] [--number N]\n"
    "                     [--echo auto|on|off] [--trace] SUBCOMMAND [ARGS]\n"
    "Talks to a VR-7 device over a serial port or TCP/IP. The connection settings default to\n"
    "the window's (Vr7LonCfgMaker.ini, else vr7CfgUpdate.ini, beside this program), otherwise\n"
    "to COM1 at 9600 Bd; the options override them and nothing is saved.\n"
    "  --port NAME     serial port (COM1..COM9, or a device path), or TCP/IP\n"
    "  --ip HOST       the device's address; selects TCP/IP unless --port is given\n"
    "  --tcp-port N    the device's TCP port; selects TCP/IP unless --port is given\n"
    "  --speed N       serial speed in baud, as the window's port dialog takes it: one the\n"
    "                  system can set (0 is refused)\n"
    "  --number N      device number (0: whichever device answers)\n"
    "  --echo auto|on|off\n"
    "                  whether the serial line hands every request back before the answer,\n"
    "                  as many 2-wire RS-485 converters do: auto (the default) finds out\n"
    "                  from the first answer and costs nothing on a line without echo; on\n"
    "                  fails a request that does not come back (\"the line does not hand\n"
    "                  the request back\"); ignored over TCP/IP\n"
    "  --trace         every frame sent (->) and received (<-) on stderr, with milliseconds\n"
    "                  since the start, its bytes in hex and whether its check bytes hold;\n"
    "                  a request the line hands back is a line of its own, \"request echo\"\n"
    "Subcommands (each takes --help):\n"
    "  info                    identify the device: version and number\n"
    "  tree [--catalog FILE]   read the configuration and print its tree like \"vr7lon tree\"\n"
    "  get NAME OUTFILE        copy the device's file NAME into OUTFILE\n"
    "  put INFILE NAME         copy INFILE into the device as NAME\n"
    "  read [--catalog FILE] [--work-dir DIR]\n"
    "                          Read from device: tree, then the device's duxgate.cfg as a list\n"
    "  store FILE [--verify | --dry-run]\n"
    "                          Store into device: the rows of FILE as the device's settings,\n"
    "                          after keeping the device's own as a backup; --verify reads\n"
    "                          them back and compares them byte for byte; --dry-run prints\n"
    "                          what the store would change and stores nothing\n"
    "  backups [--json]        list the backups kept of the device's settings\n"
    "  restore [BACKUP]        store a backup (default: the newest) back into the device\n"
    "  verify FILE             compare FILE byte for byte with the device's duxgate.cfg\n"
    "Files written: read leaves the download duxgate.cfg, store and restore the copy they\n"
    "upload, DUXGate.cfg, in the working directory, as the window does, or in the folder their\n"
    "--work-dir DIR names; store and restore keep the device's own settings in the backups\n"
    "folder first; get writes OUTFILE. info, tree, put, verify and backups write nothing.\n"
    "Exit status: 0 done; 1 store --dry-run: the store would change the device's settings; 2 a\n"
    "local file, the catalogue or a backup cannot be loaded or written; 4 the device did not\n"
    "answer, refused, or an exchange broke; 5 store --verify, verify: the device holds\n"
    "something else; 64 wrong usage.\n";

using Subcommand = int (*)(const CliContext&, DeviceSession&, const std::vector<std::string>&);

const std::map<std::string, Subcommand>& Subcommands() {
    static const std::map<std::string, Subcommand> table = {
        {"info", RunDeviceInfo},     {"tree", RunDeviceTree},       {"get", RunDeviceGet},
        {"put", RunDevicePut},       {"read", RunDeviceRead},       {"store", RunDeviceStore},
        {"verify", RunDeviceVerify}, {"backups", RunDeviceBackups}, {"restore", RunDeviceRestore},
    };
    return table;
}

}  // namespace

int RunDeviceCommand(const CliContext& ctx, const std::vector<std::string>& args) {
    CliArgs parsed;
    int status = 0;
    if (!ParseCommandArgs(ctx, args, DeviceOptions(), kUsage, parsed, status, true)) return status;
    if (parsed.Rest().empty())
        return UsageError(ctx, clitext::UsageText(clitext::Usage::DeviceNeedsSubcommand), kUsage);
    const auto sub = Subcommands().find(parsed.Rest()[0]);
    if (sub == Subcommands().end())
        return UsageError(ctx, clitext::UnknownDeviceSubcommand(parsed.Rest()[0]), kUsage);

    // The subcommand parses its own arguments together with the device options, so that those
    // may also follow the subcommand.
    std::vector<std::string> subArgs;
    const size_t restAt = args.size() - parsed.Rest().size();
    for (size_t i = 0; i < restAt; ++i) {
        if (args[i] != "--") subArgs.push_back(args[i]);
    }
    subArgs.insert(subArgs.end(), parsed.Rest().begin() + 1, parsed.Rest().end());
    DeviceSession session;
    return sub->second(ctx, session, subArgs);
}
