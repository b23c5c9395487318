// "vr7lon device backups" and "vr7lon device restore": the backups a store keeps of the device's
// gateway settings, listed and stored back.
#include <optional>

#include "app/messages.h"
#include "base/jsonwriter.h"
#include "cli/backupoptions.h"
#include "cli/clicommand.h"
#include "cli/clitext.h"
#include "cli/devicesession.h"
#include "cli/devicesubcommands.h"
#include "cli/exitstatus.h"
#include "cli/jsonprint.h"
#include "cli/listcommand.h"
#include "device/backups.h"
#include "device/devicecommands.h"
#include "gateway/snvtlist.h"
#include "link/connection.h"
#include "link/resulttext.h"
#include "optlist/xmldocument.h"

namespace {

const char kBackupsUsage[] =
    "usage: vr7lon device [OPTIONS] backups [--backup-dir DIR] [--json]\n"
    "Lists the backups that stores kept of the device's duxgate.cfg, oldest first, one a line\n"
    "(tab-separated): the line, the device number, when it was taken, its bytes, its variables\n"
    "(or \"unreadable\" and why) and its path. The line is the folder the backups are filed\n"
    "under (tcp-HOST-PORT, serial-NAME), or \"line unknown\" for a backup kept before backups\n"
    "were filed by line (DIR/<number>/): restore takes one of those only by its path. With\n"
    "--number N (or the window's device number) the backups of device N on the line the\n"
    "connection options name, then those of number N whose line is unknown; with number 0\n"
    "every backup of the folder. Nothing is asked of the device.\n"
    "  --backup-dir DIR     the backups folder (default: \"backups\" beside vr7lon; when\n"
    "                       installed, $XDG_DATA_HOME/vr7loncfgmaker/backups, or\n"
    "                       ~/.local/share/vr7loncfgmaker/backups without XDG_DATA_HOME)\n"
    "  --json               print them as JSON instead (its schema is in the README)\n"
    "Exit status: 0 done (also when there are none); 2 the folder cannot be read; 64 wrong\n"
    "usage.\n";
const char kRestoreUsage[] =
    "usage: vr7lon device [OPTIONS] restore [BACKUP] [--verify] [--work-dir DIR]\n"
    "                                [BACKUP OPTIONS]\n"
    "Stores a backup back into the device byte for byte, as the device held it (keeping the\n"
    "device's present settings as a backup of their own first). BACKUP with a '/' is the path\n"
    "of a file (./NAME for one in the working directory; the only way to restore a backup whose\n"
    "line is unknown); a bare name is a backup in the device's own folder\n"
    "DIR/<line>/<number>/; without it, the device's newest backup there (the device is\n"
    "identified first when the device number is 0). A backup that is no complete gateway\n"
    "settings file (cut short, a damaged or foreign line, control bytes) is refused with the\n"
    "reason and its line before the device is asked anything. Prints \"restoring PATH\", then\n"
    "what store prints, and leaves the copy DUXGate.cfg it uploads in the working directory\n"
    "(or DIR).\n"
    "  --verify             then download the device's DUXGate.cfg and compare it byte for byte\n"
    "                       with the copy uploaded\n" VR7_WORK_DIR_USAGE VR7_BACKUP_OPTIONS_USAGE
    "Exit status: as \"store\"; 2 also when there is no such backup or it is refused.\n";

void PrintBackupsJson(const std::string& folder, const std::vector<BackupSummary>& backups,
                      std::ostream& out) {
    JsonWriter json(out);
    BeginJsonDocument(json).Member("folder", folder).Key("backups").BeginArray();
    for (const BackupSummary& b : backups) {
        json.BeginObject().Key("line");
        if (b.device.line.empty()) {
            json.Null();
        } else {
            json.String(b.device.line);
        }
        json.Member("device", b.device.number)
            .Member("taken", b.entry.taken)
            .Member("name", b.entry.name)
            .Member("path", b.entry.path)
            .Member("size", b.entry.size)
            .Key("variables");
        if (b.variables) {
            json.Number(static_cast<int64_t>(*b.variables));
        } else {
            json.Null();
        }
        json.Key("problem");
        if (b.variables) {
            json.Null();
        } else {
            json.String(b.problem);
        }
        json.EndObject();
    }
    json.EndArray().EndObject();
}

void PrintBackups(const std::vector<BackupSummary>& backups, std::ostream& out) {
    for (const BackupSummary& b : backups) {
        out << (b.device.line.empty() ? "line unknown" : b.device.line) << '\t' << b.device.number
            << '\t' << b.entry.taken << '\t' << b.entry.size << " bytes\t";
        if (b.variables) {
            out << *b.variables << " variables";
        } else {
            out << "unreadable (" << b.problem << ')';
        }
        out << '\t' << b.entry.path << '\n';
    }
}

}  // namespace

int RunDeviceBackups(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!PrepareDeviceCommand(ctx, session, args, {{"--backup-dir", true}, {"--json", false}},
                              kBackupsUsage, 0, parsed, status))
        return status;
    const std::string folder = BackupFolder(ctx, parsed);
    // Number 0: the whole folder, every line's.
    const BackupDevice device = session.conn.DeviceNumber == 0
                                    ? BackupDevice{}
                                    : BackupDeviceOf(session.conn, session.conn.DeviceNumber);
    Result<std::vector<BackupSummary>> listed =
        ListBackupSummaries(folder, device, BackupScope::WithOlder);
    if (!listed) {
        ctx.err << "vr7lon: " << usertext::FailureLine(listed.failure()) << '\n';
        return exitstatus::Input;
    }
    const std::vector<BackupSummary>& backups = listed.value();
    if (parsed.Has("--json")) {
        PrintBackupsJson(folder, backups, ctx.out);
    } else {
        PrintBackups(backups, ctx.out);
    }
    return exitstatus::Ok;
}

int RunDeviceRestore(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    std::vector<CliOption> own = {{"--verify", false}, {kWorkDirOption, true}};
    own.insert(own.end(), BackupOptions().begin(), BackupOptions().end());
    if (!PrepareDeviceCommand(ctx, session, args, own, kRestoreUsage, 0, parsed, status, 1))
        return status;
    const std::string folder = BackupFolder(ctx, parsed);
    const std::string given = parsed.Positionals().empty() ? "" : parsed.Positionals()[0];

    std::string path = given;
    // A name with a '/' is a file's path; a bare name, or none, a backup in the device's folder.
    if (given.find('/') == std::string::npos) {
        // The device's own folder: its number is needed, from the options or from the device.
        if (session.conn.DeviceNumber == 0) {
            connection::OpenedLink link(session.conn);
            DeviceInfo info;
            const Status identified = IdentifyDevice(session.conn, session.conn.DeviceNumber, info);
            if (!identified) {
                ctx.err << "vr7lon: ";
                ctx.Err(usertext::CommandMessageText(
                    LinkFailureMessage(session.conn, LinkCodeOf(identified.failure()))));
                ctx.err << '\n';
                return exitstatus::Device;
            }
        }
        const BackupDevice device = BackupDeviceOf(session.conn, session.conn.DeviceNumber);
        if (!given.empty()) {
            path = DeviceBackupFolder(folder, device) + "/" + given;
        } else {
            Result<std::vector<BackupEntry>> entries = ListBackups(folder, device);
            if (!entries) {
                ctx.err << "vr7lon: " << usertext::FailureLine(entries.failure()) << '\n';
                return exitstatus::Input;
            }
            if (entries.value().empty()) {
                ctx.err << "vr7lon: "
                        << clitext::NoBackupOf(session.conn.DeviceNumber,
                                               DeviceBackupFolder(folder, device))
                        << '\n';
                return exitstatus::Input;
            }
            path = entries.value().back().path;
        }
    }
    Result<std::string> bytes = ReadBackupForRestore(path);
    if (!bytes) {
        ctx.err << "vr7lon: " << usertext::FailureLine(bytes.failure()) << '\n';
        return exitstatus::Input;
    }
    XmlDocument noCatalogue;
    SnvtList list(noCatalogue);
    ctx.out << clitext::Restoring(path) << '\n';
    return StoreListIntoDevice(ctx, session, list, parsed, std::move(bytes).value());
}
