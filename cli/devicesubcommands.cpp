#include "cli/devicesubcommands.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "app/messages.h"
#include "base/atomicfilewriter.h"
#include "base/cp1251.h"
#include "base/syserror.h"
#include "base/wholefile.h"
#include "cfgtree/treetext.h"
#include "cli/backupoptions.h"
#include "cli/clicommand.h"
#include "cli/clitext.h"
#include "cli/devicesession.h"
#include "cli/exitstatus.h"
#include "cli/jsonprint.h"
#include "cli/listcommand.h"
#include "cli/listprint.h"
#include "cli/progressbar.h"
#include "cli/terminaltext.h"
#include "device/devicecommands.h"
#include "device/failurecause.h"
#include "gateway/gatewayfile.h"
#include "gateway/listdiff.h"
#include "gateway/snvtlist.h"
#include "link/resulttext.h"
#include "link/vr7prot.h"

namespace {

const char kInfoUsage[] =
    "usage: vr7lon device [OPTIONS] info [--json]\n"
    "Identifies the device and prints \"version MAJOR.MINOR.BUILD\" and \"number N\".\n"
    "  --json          print them as JSON instead (its schema is in the README)\n"
    "Exit status: 0 done; 4 the device did not answer; 64 wrong usage.\n";
const char kTreeUsage[] =
    "usage: vr7lon device [OPTIONS] tree [--catalog FILE] [--json]\n"
    "Reads the device's configuration entry by entry and prints its tree as \"vr7lon tree\"\n"
    "does.\n"
    "  --catalog FILE  variable catalogue (default: calcbank.xml of the working directory)\n"
    "  --json          print the tree as JSON instead (its schema is in the README)\n"
    "Exit status: 0 done; 2 the catalogue cannot be loaded; 4 the device did not answer or the\n"
    "read broke (the tree read so far is printed); 64 wrong usage.\n";
const char kGetUsage[] =
    "usage: vr7lon device [OPTIONS] get NAME OUTFILE\n"
    "Copies the device's file NAME into OUTFILE, which is replaced only by a complete copy.\n"
    "Exit status: 0 done; 2 OUTFILE cannot be written; 4 the device did not answer, has no such\n"
    "file, or the transfer broke; 64 wrong usage.\n";
const char kPutUsage[] =
    "usage: vr7lon device [OPTIONS] put INFILE NAME\n"
    "Copies INFILE into the device as its file NAME.\n"
    "Exit status: 0 done; 2 INFILE cannot be read; 4 the device did not answer, refused the file\n"
    "(write protection EN_PR on?) or the transfer broke; 64 wrong usage.\n";
const char kReadUsage[] =
    "usage: vr7lon device [OPTIONS] read [--catalog FILE] [--work-dir DIR]\n"
    "Does what the window's Read from device does: identifies the device, checks its version,\n"
    "reads its configuration and downloads its duxgate.cfg. Prints the tree as \"vr7lon tree\"\n"
    "does, then the list as \"vr7lon list\" does.\n"
    "Writes duxgate.cfg into the working directory (or DIR), as the window does, and leaves it\n"
    "there; only a complete download replaces an earlier one.\n"
    "  --catalog FILE       variable catalogue (default: calcbank.xml of the working "
    "directory)\n" VR7_WORK_DIR_USAGE
    "A catalogue without a usable LonCfg size is reported and, as in the window, gives\n"
    "capacity 0; the read goes on.\n"
    "Exit status: 0 done (a device without duxgate.cfg gives an empty list); 2 the catalogue or\n"
    "the local duxgate.cfg cannot be loaded or written, or the catalogue has no capacity (the\n"
    "tree and list are printed all the same); 4 the device did not answer, is too old, or a\n"
    "read broke; 64 wrong usage.\n";
const char kStoreUsage[] =
    "usage: vr7lon device [OPTIONS] store FILE [--verify] [--dry-run] [--work-dir DIR]\n"
    "                                [BACKUP OPTIONS]\n"
    "Does what the window's Store into device does with the rows of the gateway settings file\n"
    "FILE: keeps the device's duxgate.cfg as a backup (unless --no-backup), writes the rows to\n"
    "DUXGate.cfg of the working directory (or DIR) and uploads that into the device as\n"
    "DUXGate.cfg. The copy stays there, as the window leaves it; the backup goes to the backups\n"
    "folder. --dry-run writes neither.\n"
    "Prints the backup's path (or that the device had no duxgate.cfg to keep: only its answer\n"
    "that it has no such file, refusal code 0x02, counts as that) and the window's message\n"
    "about the outcome. Any other refusal or a broken answer to the backup's download stops\n"
    "the store before anything is uploaded.\n"
    "  --verify             then download the device's DUXGate.cfg and compare it byte for byte\n"
    "                       with the copy uploaded\n"
    "  --dry-run            store nothing and keep no backup: print what the store would\n"
    "                       change on the device, as \"vr7lon diff device: FILE\" prints "
    "it\n" VR7_WORK_DIR_USAGE VR7_BACKUP_OPTIONS_USAGE
    "Exit status: 0 stored (and, with --verify, the device holds exactly the copy uploaded);\n"
    "2 FILE cannot be loaded, is empty, the copy cannot be written or read back, or the backup\n"
    "cannot be written (nothing was stored); 4 the device did not answer, is too old, is\n"
    "write-protected, or the backup's download, the upload or the verifying download broke or\n"
    "was refused (a failed backup's download stores nothing: the code is named, and\n"
    "--no-backup stores without a backup); 5 the device holds other bytes than the copy\n"
    "uploaded (the first differing offset is printed); 64 wrong usage. With --dry-run: 0 the\n"
    "device holds the same list, 1 the store would change it, 2 and 4 as above.\n";
const char kVerifyUsage[] =
    "usage: vr7lon device [OPTIONS] verify FILE\n"
    "Compares the device's gateway settings file (duxgate.cfg) byte for byte with what\n"
    "\"store FILE\" uploads (the rows of FILE as the window writes them; for a file the window or\n"
    "vr7lon wrote, its own bytes), without storing anything: identifies the device, downloads\n"
    "the file into memory and prints whether they are the same or where they part.\n"
    "Exit status: 0 identical; 2 FILE cannot be read; 4 the device did not answer, is too old,\n"
    "has no duxgate.cfg, or the download broke; 5 the device holds other bytes (the first\n"
    "differing offset is printed); 64 wrong usage.\n";

// Reads the subcommand's arguments and sets the session up from them.
bool Prepare(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args,
             const std::vector<CliOption>& own, const char* usage, size_t positionals,
             CliArgs& parsed, int& status, size_t optionalPositionals = 0) {
    std::vector<CliOption> options = DeviceOptions();
    options.insert(options.end(), own.begin(), own.end());
    if (!ParseCommandArgs(ctx, args, options, usage, parsed, status)) return false;
    const size_t given = parsed.Positionals().size();
    if (given < positionals || given > positionals + optionalPositionals) {
        status = UsageError(ctx, clitext::UsageText(clitext::Usage::WrongArgumentCount), usage);
        return false;
    }
    std::string error;
    if (!session.SetUp(ctx, parsed, error)) {
        status = UsageError(ctx, error, usage);
        return false;
    }
    return true;
}

// The cause of a failure as the window's status bar names it, on a line of its own; code and
// framesDecide as app/failurecause.h takes them.
void PrintFailureCause(const CliContext& ctx, const DeviceSession& session, LinkResult code,
                       bool framesDecide = false, FileOpenFor openFor = FileOpenFor::Unknown) {
    const Cp1251String cause = usertext::FailureCauseText(FailureCause(
        session.conn, code, framesDecide, session.conn.DeviceNumber, ExchangeTail(), openFor));
    if (cause.empty()) return;
    ctx.err << "vr7lon: ";
    ctx.Err(cause);
    ctx.err << '\n';
}

void PrintNotConnected(const CliContext& ctx, const DeviceSession& session, LinkResult result) {
    const connection& conn = session.conn;
    ctx.err << "vr7lon: ";
    ctx.Err(usertext::CommandMessageText(LinkFailureMessage(conn, result)));
    ctx.err << " (" << ResultText(result, conn.SystemErrorNumber()) << ")\n";
    PrintFailureCause(ctx, session, result);
}

// After the window's message of a command that broke: when the serial port went away under it,
// the result that says so.
void PrintPortGone(const CliContext& ctx, const connection& conn) {
    const LinkResult failed = conn.LastFailedExchange();
    if (PortDisappeared(failed, conn.SystemErrorNumber()))
        ctx.err << "vr7lon: " << ResultText(failed, conn.SystemErrorNumber()) << '\n';
}

// A message of the core on its own line.
void PrintMessage(std::ostream& out, const Cp1251String& text) {
    out << cp1251::ToUtf8(text) << '\n';
}

// A failed identification: the window's message with the link's result, or the version message
// for a firmware that is too old.
void PrintIdentifyFailure(const CliContext& ctx, const DeviceSession& session,
                          const DeviceOutcome& outcome) {
    const Failure& failure = outcome.status.failure();
    if (failure.kind == FailureKind::TooOld) {
        PrintMessage(ctx.err, usertext::UnsupportedVersion(outcome.info));
    } else {
        PrintNotConnected(ctx, session, LinkCodeOf(failure));
    }
}

// Identifies the device as the window does before any exchange (any device while the number is
// 0, whose own number is then used; with need, its firmware must serve the gateway's files);
// prints the failure.
bool Identify(const CliContext& ctx, DeviceSession& session, DeviceInfo& info,
              Firmware need = Firmware::Any) {
    DeviceOutcome identified;
    identified.status =
        IdentifyDevice(session.conn, session.conn.DeviceNumber, identified.info, need);
    info = identified.info;
    if (identified.status) return true;
    PrintIdentifyFailure(ctx, session, identified);
    return false;
}

// The failed download of the device's file `name`: a file the device refuses to open is one it
// does not have.
void PrintDownloadFailure(const CliContext& ctx, const DeviceSession& session,
                          const std::string& name, LinkResult code) {
    const std::string result = ResultText(code, session.conn.SystemErrorNumber());
    if (code == lr::BadArgument) {
        ctx.err << "vr7lon: " << clitext::DeviceHasNo(name, result) << '\n';
    } else {
        ctx.err << "vr7lon: " << clitext::DeviceFileFailed(name, result) << '\n';
    }
    PrintFailureCause(ctx, session, code);
}

// A local file that could not be read: its path and why.
void PrintLocalFileFailure(const CliContext& ctx, const Failure& failure) {
    if (failure.errorNumber == EISDIR) {
        ctx.err << "vr7lon: " << clitext::IsAFolder(failure.path) << '\n';
    } else {
        ctx.err << "vr7lon: " << usertext::FailureLine(failure) << '\n';
    }
}

// The path of the local copy `name`: in the --work-dir folder, else in the working directory.
// False, with why printed, when that folder does not exist or is no folder.
bool LocalCopyPath(const CliContext& ctx, const CliArgs& parsed, const char* name,
                   std::string& path) {
    path = name;
    if (!parsed.Has(kWorkDirOption)) return true;
    const std::string& dir = parsed.Value(kWorkDirOption);
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) {
        ctx.err << "vr7lon: "
                << clitext::OptionPathProblem(kWorkDirOption, dir, SystemErrorText(errno)) << '\n';
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        ctx.err << "vr7lon: " << clitext::OptionNotAFolder(kWorkDirOption, dir) << '\n';
        return false;
    }
    path = (dir.back() == '/' ? dir : dir + '/') + name;
    return true;
}

// A local file's bytes; prints why on err and returns false when it cannot be read.
bool ReadLocalFile(const CliContext& ctx, const std::string& path, std::string& bytes) {
    Result<std::string> read = ReadWholeFile(path, inputlimit::kSettingsFile);
    if (read) {
        bytes = std::move(read).value();
        return true;
    }
    bytes.clear();
    PrintLocalFileFailure(ctx, read.failure());
    return false;
}

// The check of a verification, as its outcome tells it: the sameness on out, a difference or a
// failed download on err; the command's status. name is the device's file, local what it was
// compared with.
int PrintCheck(const CliContext& ctx, const DeviceSession& session, const DeviceOutcome& outcome,
               const FileVerification& check, const std::string& name, const std::string& local,
               size_t expectedSize) {
    if (outcome.status) {
        ctx.out << reporttext::Same(name, local, expectedSize) << '\n';
        return exitstatus::Ok;
    }
    const Failure& failure = outcome.status.failure();
    if (failure.kind == FailureKind::Mismatch) {
        ctx.err << "vr7lon: "
                << reporttext::Mismatch(name, local, check.firstDifference, expectedSize,
                                        check.deviceSize)
                << '\n';
        return exitstatus::Mismatch;
    }
    PrintDownloadFailure(ctx, session, name, LinkCodeOf(failure));
    return exitstatus::Device;
}

}  // namespace

bool PrepareDeviceCommand(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args,
                          const std::vector<CliOption>& own, const char* usage, size_t positionals,
                          CliArgs& parsed, int& status, size_t optionalPositionals) {
    return Prepare(ctx, session, args, own, usage, positionals, parsed, status,
                   optionalPositionals);
}

int RunDeviceInfo(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {{"--json", false}}, kInfoUsage, 0, parsed, status))
        return status;
    connection::OpenedLink link(session.conn);
    DeviceInfo info;
    if (!Identify(ctx, session, info)) return exitstatus::Device;
    if (parsed.Has("--json")) {
        PrintDeviceInfoJson(info, ctx.out);
        return exitstatus::Ok;
    }
    ctx.out << clitext::Identified(info.VersionText(), info.DeviceNumber()) << '\n';
    return exitstatus::Ok;
}

int RunDeviceTree(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {{"--catalog", true}, {"--json", false}}, kTreeUsage, 0,
                 parsed, status))
        return status;
    HeldToExit<XmlDocument> catalogue(ctx);
    if (LoadCommandCatalogue(ctx, parsed.Value("--catalog"), *catalogue) != CatalogueStatus::Loaded)
        return exitstatus::Input;

    connection::OpenedLink link(session.conn);
    DeviceInfo info;
    if (!Identify(ctx, session, info)) return exitstatus::Device;
    HeldToExit<CfgTree> tree(ctx);
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const TreeBuild built = ReadDeviceTree(session.conn, session.conn.DeviceNumber, *tree,
                                           &*catalogue, ctx.env.errIsTerminal ? &bar : nullptr);
    bar.Finish();
    if (parsed.Has("--json")) {
        PrintTreeJson(*tree, ctx.out, built == TreeBuild::Complete);
    } else {
        PrintTree(*tree, ctx.out, terminaltext::ShownCp1251);
    }
    if (built == TreeBuild::Partial) {
        ctx.err << "vr7lon: ";
        ctx.Err(usertext::CommandMessageText(BrokenCommandMessage(
            session.conn, session.conn.LastFailedExchange(), CommandMessageKind::ReadError)));
        ctx.err << '\n';
        PrintPortGone(ctx, session.conn);
        PrintFailureCause(ctx, session, lr::Ok, true);
        return exitstatus::Device;
    }
    return exitstatus::Ok;
}

// A device file name the open request can carry: not empty, at most kMaxDeviceFileName bytes in
// the device's code page. False, with the reason said, otherwise (no device is touched).
bool CheckDeviceFileName(const CliContext& ctx, const std::string& nameArg,
                         const std::string& name) {
    if (name.empty()) {
        ctx.err << "vr7lon: " << clitext::EmptyDeviceFileName() << '\n';
        return false;
    }
    if (name.size() > static_cast<size_t>(kMaxDeviceFileName)) {
        ctx.err << "vr7lon: "
                << clitext::DeviceFileNameTooLong(nameArg, static_cast<size_t>(kMaxDeviceFileName),
                                                  name.size())
                << '\n';
        return false;
    }
    return true;
}

int RunDeviceGet(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {}, kGetUsage, 2, parsed, status)) return status;
    const std::string& nameArg = parsed.Positionals()[0];
    const std::string& outPath = parsed.Positionals()[1];
    const std::string name = cp1251::FromUtf8(nameArg).bytes();
    if (!CheckDeviceFileName(ctx, nameArg, name)) return exitstatus::Usage;
    // The local side is made ready first: a copy with nowhere to go is not worth the transfer.
    AtomicFileWriter out;
    if (const Status opened = out.Open(outPath); !opened) {
        ctx.err << "vr7lon: " << usertext::FailureLine(opened.failure()) << '\n';
        return exitstatus::Input;
    }

    connection::OpenedLink link(session.conn);
    DeviceInfo info;
    if (!Identify(ctx, session, info)) return exitstatus::Device;
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const FileDownload r = DownloadDeviceFile(session.conn, session.conn.DeviceNumber, name, out,
                                              ctx.env.errIsTerminal ? &bar : nullptr);
    bar.Finish();
    if (r.code != lr::Ok) {
        ctx.err << "vr7lon: "
                << clitext::DeviceFileFailed(nameArg,
                                             ResultText(r.code, session.conn.SystemErrorNumber()))
                << '\n';
        PrintFailureCause(ctx, session, r.code, false, FileOpenFor::Reading);
        return exitstatus::Device;
    }
    if (!r.local) {
        ctx.err << "vr7lon: " << usertext::FailureLine(r.local.failure()) << '\n';
        return exitstatus::Input;
    }
    ctx.out << clitext::Downloaded(nameArg, r.size, outPath) << '\n';
    return exitstatus::Ok;
}

int RunDevicePut(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {}, kPutUsage, 2, parsed, status)) return status;
    const std::string& inPath = parsed.Positionals()[0];
    const std::string& nameArg = parsed.Positionals()[1];
    const std::string name = cp1251::FromUtf8(nameArg).bytes();
    if (!CheckDeviceFileName(ctx, nameArg, name)) return exitstatus::Usage;
    // The file is read first: a FIFO, a device or a file larger than any the device gives back
    // is refused before the device is asked.
    std::string bytes;
    if (!ReadLocalFile(ctx, inPath, bytes)) return exitstatus::Input;
    std::istringstream in(std::move(bytes));

    connection::OpenedLink link(session.conn);
    DeviceInfo info;
    if (!Identify(ctx, session, info)) return exitstatus::Device;
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const LinkResult r = WriteDeviceFile(session.conn, session.conn.DeviceNumber, &in, name.c_str(),
                                         ctx.env.errIsTerminal ? &bar : nullptr);
    bar.Finish();
    if (r != lr::Ok) {
        const std::string result = ResultText(r, session.conn.SystemErrorNumber());
        ctx.err << "vr7lon: "
                << (r == lr::BadArgument ? clitext::UploadRefused(nameArg, result)
                                         : clitext::DeviceFileFailed(nameArg, result))
                << '\n';
        PrintFailureCause(ctx, session, r, false, FileOpenFor::Writing);
        return exitstatus::Device;
    }
    ctx.out << clitext::Uploaded(inPath, nameArg) << '\n';
    return exitstatus::Ok;
}

int RunDeviceRead(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {{"--catalog", true}, {kWorkDirOption, true}}, kReadUsage, 0,
                 parsed, status))
        return status;
    std::string downloadPath;
    if (!LocalCopyPath(ctx, parsed, kDownloadFileName, downloadPath)) return exitstatus::Input;
    XmlDocument catalogue;
    SnvtList list(catalogue);
    const CatalogueStatus loaded =
        LoadCommandCatalogue(ctx, parsed.Value("--catalog"), catalogue, &list);
    if (loaded == CatalogueStatus::NotLoaded) return exitstatus::Input;
    CfgTree tree;
    MessageLog messages;
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const DeviceReadResult r =
        ReadFromDevice({session.conn, session.conn.DeviceNumber}, tree, list, &catalogue,
                       ctx.env.errIsTerminal ? &bar : nullptr, downloadPath);
    bar.Finish();
    if (const Cp1251String message = usertext::CommandMessageWithStep(r.message, r.next);
        !message.empty())
        messages.ShowMessage(message);

    switch (r.outcome) {
        case DeviceReadOutcome::NotConnected:
            PrintNotConnected(ctx, session, r.code);
            return exitstatus::Device;
        case DeviceReadOutcome::UnsupportedVersion:
            messages.PrintTo(ctx.err);
            return exitstatus::Device;
        case DeviceReadOutcome::ReadFailed:
            PrintTree(tree, ctx.out, terminaltext::ShownCp1251);
            messages.PrintTo(ctx.err);
            PrintPortGone(ctx, session.conn);
            if (!r.cancelled) PrintFailureCause(ctx, session, lr::Ok, true);
            return exitstatus::Device;
        case DeviceReadOutcome::Read:
            break;
    }
    PrintTree(tree, ctx.out, terminaltext::ShownCp1251);
    PrintList(list, ctx.out);
    messages.PrintTo(ctx.err);
    switch (r.download) {
        case GatewayDownload::Loaded:
        case GatewayDownload::NoFile:
            // A catalogue without a capacity gives capacity 0, as in the window.
            return loaded == CatalogueStatus::Loaded ? exitstatus::Ok : exitstatus::Input;
        case GatewayDownload::LocalFailed:
            return exitstatus::Input;
        case GatewayDownload::Broken:
            PrintPortGone(ctx, session.conn);
            PrintFailureCause(ctx, session, lr::Ok, true);
            return exitstatus::Device;
    }
    return exitstatus::Device;
}

int StoreListIntoDevice(const CliContext& ctx, DeviceSession& session, const SnvtList& list,
                        const CliArgs& parsed, std::optional<std::string> asIs) {
    std::optional<BackupPolicy> policy;
    std::string error;
    if (!ParseBackupPolicy(ctx, parsed, policy, error)) {
        ctx.err << "vr7lon: " << error << '\n';
        return exitstatus::Usage;
    }
    if (const std::string problem = policy ? BackupFolderProblem(policy->folder) : "";
        !problem.empty()) {
        ctx.err << "vr7lon: " << clitext::BackupsFolderProblem(problem) << '\n';
        return exitstatus::Input;
    }
    StoreRequest request;
    if (!LocalCopyPath(ctx, parsed, kUploadFileName, request.workingCopy)) return exitstatus::Input;
    request.verify = parsed.Has("--verify");
    request.backup = policy ? &*policy : nullptr;
    request.asIs = std::move(asIs);
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    request.progress = ctx.env.errIsTerminal ? &bar : nullptr;
    const DeviceStore r = StoreAndVerify(session.conn, session.conn.DeviceNumber, list, request);
    bar.Finish();
    const Cp1251String message =
        usertext::CommandMessageText(StoreMessage(session.conn, r, request.workingCopy));
    switch (r.step) {
        case DeviceStep::Done:
        case DeviceStep::Check:
            break;
        case DeviceStep::List:
        case DeviceStep::Save:
        case DeviceStep::Open:
            PrintMessage(ctx.err, message);
            return exitstatus::Input;
        case DeviceStep::Identify:
            if (r.status.failure().kind == FailureKind::TooOld) {
                PrintMessage(ctx.err, message);
            } else {
                // The window's message, with the result.
                PrintNotConnected(ctx, session, LinkCodeOf(r.status.failure()));
            }
            return exitstatus::Device;
        case DeviceStep::Backup:
            PrintMessage(ctx.err, message);
            if (r.status.failure().kind == FailureKind::File) return exitstatus::Input;
            PrintDownloadFailure(ctx, session, kDownloadFileName, LinkCodeOf(r.status.failure()));
            if (r.status.failure().kind != FailureKind::Cancelled)
                ctx.err << "vr7lon: " << clitext::NothingStoredWithoutBackup() << '\n';
            return exitstatus::Device;
        default: {
            PrintMessage(ctx.err, message);
            const LinkResult code = LinkCodeOf(r.status.failure());
            // A write-protected device says so in the message alone.
            if (code != lr::BadArgument)
                ctx.err << "vr7lon: " << ResultText(code, session.conn.SystemErrorNumber()) << '\n';
            PrintFailureCause(
                ctx, session, code, false,
                r.step == DeviceStep::Upload ? FileOpenFor::Writing : FileOpenFor::Reading);
            return exitstatus::Device;
        }
    }
    if (policy) {
        ctx.out << (r.backup.hadFile ? reporttext::BackupKept(r.backup.path, r.backup.bytes.size())
                                     : reporttext::NothingToBackUp())
                << '\n';
    }
    PrintMessage(ctx.out, message);
    if (!request.verify) return exitstatus::Ok;
    // The device's copy against the working copy that was uploaded.
    if (!r.status && r.status.failure().kind == FailureKind::File) {
        PrintLocalFileFailure(ctx, r.status.failure());
        return exitstatus::Input;
    }
    return PrintCheck(ctx, session, r, r.check, kUploadFileName,
                      reporttext::StoredCopy(request.workingCopy), r.size);
}

namespace {

// store --dry-run: what a store of list would change on the device, as "vr7lon diff" prints it.
int PrintStoreChanges(const CliContext& ctx, DeviceSession& session, const SnvtList& list) {
    if (list.RowCount() == 0) {
        PrintMessage(ctx.err, usertext::EmptyList());
        return exitstatus::Input;
    }
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const DeviceCurrentFile current = ReadCurrentGatewayFile(
        session.conn, session.conn.DeviceNumber, nullptr, ctx.env.errIsTerminal ? &bar : nullptr);
    bar.Finish();
    if (current.step == DeviceStep::Identify) {
        PrintIdentifyFailure(ctx, session, current);
        return exitstatus::Device;
    }
    if (!current.status) {
        PrintDownloadFailure(ctx, session, kDownloadFileName, LinkCodeOf(current.status.failure()));
        return exitstatus::Device;
    }
    XmlDocument noCatalogue;
    SnvtList before(noCatalogue);
    if (current.backup.hadFile) {
        if (const Status loaded = LoadGatewayBytes(before, current.backup.bytes); !loaded) {
            ctx.err << "vr7lon: "
                    << clitext::DeviceSideUnreadable(
                           usertext::FailureReason(loaded.failure()).str())
                    << '\n';
            return exitstatus::Input;
        }
    } else {
        ctx.err << "vr7lon: " << reporttext::NoDeviceFile(kDownloadFileName) << '\n';
    }
    const std::vector<ListDiffEntry> entries = DiffLists(before.Rows(), list.Rows());
    PrintListDiff(entries, ctx.out);
    return entries.empty() ? exitstatus::Ok : exitstatus::Differs;
}

}  // namespace

int RunDeviceStore(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    std::vector<CliOption> own = {
        {"--verify", false}, {"--dry-run", false}, {kWorkDirOption, true}};
    own.insert(own.end(), BackupOptions().begin(), BackupOptions().end());
    if (!Prepare(ctx, session, args, own, kStoreUsage, 1, parsed, status)) return status;
    if (parsed.Has("--dry-run") && parsed.Has("--verify"))
        return UsageError(ctx, clitext::UsageText(clitext::Usage::DryRunVerifiesNothing),
                          kStoreUsage);
    XmlDocument noCatalogue;  // storing never looks variables up
    SnvtList list(noCatalogue);
    if (!LoadSettingsFile(ctx, list, parsed.Positionals()[0])) return exitstatus::Input;
    if (parsed.Has("--dry-run")) return PrintStoreChanges(ctx, session, list);
    return StoreListIntoDevice(ctx, session, list, parsed);
}

int RunDeviceVerify(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {}, kVerifyUsage, 1, parsed, status)) return status;
    const std::string& path = parsed.Positionals()[0];
    std::string bytes;
    if (!ReadLocalFile(ctx, path, bytes)) return exitstatus::Input;
    // The device is expected to hold what a store of FILE uploads: its rows as the window writes
    // them, which for a file the window or vr7lon wrote are its own bytes.
    Result<std::string> stored = StoredGatewayText(bytes);
    if (!stored) {
        ctx.err << "vr7lon: " << path << ": " << usertext::FailureReason(stored.failure()) << '\n';
        return exitstatus::Input;
    }
    const std::string expected = std::move(stored).value();

    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const DeviceVerify v = VerifyGatewayFile(session.conn, session.conn.DeviceNumber, expected,
                                             ctx.env.errIsTerminal ? &bar : nullptr);
    bar.Finish();
    if (v.step == DeviceStep::Identify) {
        PrintIdentifyFailure(ctx, session, v);
        return exitstatus::Device;
    }
    return PrintCheck(ctx, session, v, v.check, kDownloadFileName, path, expected.size());
}

bool DownloadGatewaySettings(const CliContext& ctx, DeviceSession& session, std::string& bytes) {
    connection::OpenedLink link(session.conn);
    DeviceInfo info;
    if (!Identify(ctx, session, info, Firmware::GatewayFiles)) return false;
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const LinkResult r =
        ReadDeviceFileBytes(session.conn, session.conn.DeviceNumber, kDownloadFileName, bytes,
                            ctx.env.errIsTerminal ? &bar : nullptr);
    bar.Finish();
    if (r != lr::Ok) {
        PrintDownloadFailure(ctx, session, kDownloadFileName, r);
        return false;
    }
    return true;
}
