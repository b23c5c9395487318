#include "cli/devicesubcommands.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/atomicfilewriter.h"
#include "app/devicecommands.h"
#include "app/gatewayfile.h"
#include "app/messages.h"
#include "app/snvtlist.h"
#include "base/cp1251.h"
#include "base/wholefile.h"
#include "cli/clicommand.h"
#include "cli/devicesession.h"
#include "cli/exitstatus.h"
#include "cli/jsonprint.h"
#include "cli/listcommand.h"
#include "cli/listprint.h"
#include "cli/progressbar.h"
#include "cli/treeprint.h"
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
    "usage: vr7lon device [OPTIONS] read [--catalog FILE]\n"
    "Does what the window's Read from device does: identifies the device, checks its version,\n"
    "reads its configuration and downloads its duxgate.cfg (into duxgate.cfg of the working\n"
    "directory). Prints the tree as \"vr7lon tree\" does, then the list as \"vr7lon list\" does.\n"
    "  --catalog FILE  variable catalogue (default: calcbank.xml of the working directory)\n"
    "A catalogue without a usable LonCfg size is reported and, as in the window, gives\n"
    "capacity 0; the read goes on.\n"
    "Exit status: 0 done (a device without duxgate.cfg gives an empty list); 2 the catalogue or\n"
    "the local duxgate.cfg cannot be loaded or written, or the catalogue has no capacity (the\n"
    "tree and list are printed all the same); 4 the device did not answer, is too old, or a\n"
    "read broke; 64 wrong usage.\n";
const char kStoreUsage[] =
    "usage: vr7lon device [OPTIONS] store FILE [--verify]\n"
    "Does what the window's Store into device does with the rows of the gateway settings file\n"
    "FILE: writes them to DUXGate.cfg of the working directory and uploads that into the device\n"
    "as DUXGate.cfg. Prints the window's message about the outcome.\n"
    "  --verify        then download the device's DUXGate.cfg and compare it byte for byte with\n"
    "                  the copy uploaded\n"
    "Exit status: 0 stored (and, with --verify, the device holds exactly the copy uploaded);\n"
    "2 FILE cannot be loaded, is empty, or the copy cannot be written or read back; 4 the device\n"
    "did not answer, is too old, is write-protected, or the upload or the verifying download\n"
    "broke; 5 the device holds other bytes than the copy uploaded (the first differing offset\n"
    "is printed); 64 wrong usage.\n";
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
             CliArgs& parsed, int& status) {
    std::vector<CliOption> options = DeviceOptions();
    options.insert(options.end(), own.begin(), own.end());
    if (!ParseCommandArgs(ctx, args, options, usage, parsed, status)) return false;
    if (parsed.Positionals().size() != positionals) {
        status = UsageError(ctx, "wrong number of arguments", usage);
        return false;
    }
    std::string error;
    if (!session.SetUp(ctx, parsed, error)) {
        status = UsageError(ctx, error, usage);
        return false;
    }
    return true;
}

void PrintNotConnected(const CliContext& ctx, const connection& conn, LinkResult result) {
    ctx.err << "vr7lon: ";
    ctx.Err(LinkFailureText(conn, result));
    ctx.err << " (" << ResultText(result, conn.SystemErrorNumber()) << ")\n";
}

// After the window's message of a command that broke: when the serial port went away under it,
// the result that says so.
void PrintPortGone(const CliContext& ctx, const connection& conn) {
    const LinkResult failed = conn.LastFailedExchange();
    if (PortDisappeared(failed, conn.SystemErrorNumber()))
        ctx.err << "vr7lon: " << ResultText(failed, conn.SystemErrorNumber()) << '\n';
}

// Identifies the device as the window does before any exchange (any device while the number is
// 0, whose own number is then used); prints the failure.
bool Identify(const CliContext& ctx, DeviceSession& session, DeviceInfo& info) {
    const LinkResult r = IdentifyDevice(session.conn, session.DeviceNumber, info);
    if (r != lr::Ok) {
        PrintNotConnected(ctx, session.conn, r);
        return false;
    }
    return true;
}

// Identifies the device and checks that its firmware serves the gateway's files; prints why not.
bool IdentifyGatewayDevice(const CliContext& ctx, DeviceSession& session) {
    DeviceInfo info;
    if (!Identify(ctx, session, info)) return false;
    if (!ServesGatewayFiles(info)) {
        ctx.Err(usertext::UnsupportedVersion(info));
        ctx.err << '\n';
        return false;
    }
    return true;
}

// The failed download of the device's file `name`: a file the device refuses to open is one it
// does not have.
void PrintDownloadFailure(const CliContext& ctx, const connection& conn, const std::string& name,
                          LinkResult code) {
    const std::string result = ResultText(code, conn.SystemErrorNumber());
    if (code == lr::BadArgument) {
        ctx.err << "vr7lon: the device has no " << name << " (" << result << ")\n";
    } else {
        ctx.err << "vr7lon: " << name << ": " << result << '\n';
    }
}

// A local file's bytes; prints why on err and returns false when it cannot be read.
bool ReadLocalFile(const CliContext& ctx, const std::string& path, std::string& bytes) {
    Result<std::string> read = ReadWholeFile(path);
    if (read) {
        bytes = std::move(read).value();
        return true;
    }
    bytes.clear();
    if (read.failure().errorNumber == EISDIR) {
        ctx.err << "vr7lon: " << path << ": is a folder\n";
    } else {
        ctx.err << "vr7lon: " << usertext::FailureLine(read.failure()) << '\n';
    }
    return false;
}

// Downloads the device's file `name` and compares it with `expected`, the bytes of `local`;
// prints the outcome (the sameness on out, a difference or a failure on err) and returns the
// command's status.
int VerifyAgainstDevice(const CliContext& ctx, DeviceSession& session, const std::string& name,
                        const std::string& local, const std::string& expected) {
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const FileVerification v =
        VerifyDeviceFile(session.conn, session.DeviceNumber, name, expected,
                         ctx.env.errIsTerminal ? ProgressBar::Proc : nullptr, &bar);
    bar.Finish();
    if (v.code != lr::Ok) {
        PrintDownloadFailure(ctx, session.conn, name, v.code);
        return exitstatus::Device;
    }
    if (!v.identical) {
        ctx.err << "vr7lon: " << MismatchText(name, local, v, expected.size()) << '\n';
        return exitstatus::Mismatch;
    }
    ctx.out << "the device's " << name << " is the same as " << local << " (" << expected.size()
            << " bytes)\n";
    return exitstatus::Ok;
}

// After a store: the device's copy against the working copy that was uploaded.
int VerifyStored(const CliContext& ctx, DeviceSession& session) {
    std::string uploaded;
    if (!ReadLocalFile(ctx, kUploadFileName, uploaded)) return exitstatus::Input;
    connection::OpenedLink link(session.conn);
    return VerifyAgainstDevice(ctx, session, kUploadFileName,
                               std::string("the stored copy ") + kUploadFileName, uploaded);
}

}  // namespace

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
    ctx.out << "version " << unsigned{info.VersionMajor()} << '.' << unsigned{info.VersionMinor()}
            << '.' << info.VersionBuild() << '\n'
            << "number " << info.DeviceNumber() << '\n';
    return exitstatus::Ok;
}

int RunDeviceTree(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {{"--catalog", true}, {"--json", false}}, kTreeUsage, 0,
                 parsed, status))
        return status;
    XmlDocument catalogue;
    if (LoadCommandCatalogue(ctx, parsed.Value("--catalog"), catalogue) != CatalogueStatus::Loaded)
        return exitstatus::Input;

    connection::OpenedLink link(session.conn);
    DeviceInfo info;
    if (!Identify(ctx, session, info)) return exitstatus::Device;
    CfgTree tree;
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const TreeBuild built = ReadDeviceTree(session.conn, session.DeviceNumber, tree, &catalogue,
                                           ctx.env.errIsTerminal ? &bar : nullptr);
    bar.Finish();
    if (parsed.Has("--json")) {
        PrintTreeJson(tree, ctx.out, built == TreeBuild::Complete);
    } else {
        PrintTree(tree, ctx.out);
    }
    if (built == TreeBuild::Partial) {
        ctx.err << "vr7lon: ";
        ctx.Err(BrokenCommandText(session.conn, session.conn.LastFailedExchange(),
                                  usertext::ReadError()));
        ctx.err << '\n';
        PrintPortGone(ctx, session.conn);
        return exitstatus::Device;
    }
    return exitstatus::Ok;
}

int RunDeviceGet(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {}, kGetUsage, 2, parsed, status)) return status;
    const std::string& nameArg = parsed.Positionals()[0];
    const std::string& outPath = parsed.Positionals()[1];
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
    const FileDownload r =
        DownloadDeviceFile(session.conn, session.DeviceNumber, cp1251::FromUtf8(nameArg).bytes(),
                           out, ctx.env.errIsTerminal ? ProgressBar::Proc : nullptr, &bar);
    bar.Finish();
    if (r.code != lr::Ok) {
        ctx.err << "vr7lon: " << nameArg << ": "
                << ResultText(r.code, session.conn.SystemErrorNumber()) << '\n';
        return exitstatus::Device;
    }
    if (!r.local) {
        ctx.err << "vr7lon: " << usertext::FailureLine(r.local.failure()) << '\n';
        return exitstatus::Input;
    }
    ctx.out << nameArg << ": " << r.size << " bytes into " << outPath << '\n';
    return exitstatus::Ok;
}

int RunDevicePut(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {}, kPutUsage, 2, parsed, status)) return status;
    const std::string& inPath = parsed.Positionals()[0];
    const std::string& nameArg = parsed.Positionals()[1];
    std::error_code ec;
    if (std::filesystem::is_directory(inPath, ec)) {
        ctx.err << "vr7lon: " << inPath << ": is a folder\n";
        return exitstatus::Input;
    }
    std::ifstream in(inPath, std::ios::binary);
    if (!in) {
        ctx.err << "vr7lon: " << usertext::FailureLine(Failure::OfFile(inPath, errno)) << '\n';
        return exitstatus::Input;
    }

    connection::OpenedLink link(session.conn);
    DeviceInfo info;
    if (!Identify(ctx, session, info)) return exitstatus::Device;
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const std::string name = cp1251::FromUtf8(nameArg).bytes();
    const LinkResult r = WriteDeviceFile(session.conn, session.DeviceNumber, &in, name.c_str(),
                                         ctx.env.errIsTerminal ? ProgressBar::Proc : nullptr, &bar);
    bar.Finish();
    if (r != lr::Ok) {
        ctx.err << "vr7lon: " << nameArg << ": " << ResultText(r, session.conn.SystemErrorNumber());
        if (r == lr::BadArgument) ctx.err << " (write protection EN_PR on?)";
        ctx.err << '\n';
        return exitstatus::Device;
    }
    ctx.out << inPath << ": stored as " << nameArg << '\n';
    return exitstatus::Ok;
}

int RunDeviceRead(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {{"--catalog", true}}, kReadUsage, 0, parsed, status))
        return status;
    XmlDocument catalogue;
    SnvtList list(catalogue);
    const CatalogueStatus loaded =
        LoadCommandCatalogue(ctx, parsed.Value("--catalog"), catalogue, &list);
    if (loaded == CatalogueStatus::NotLoaded) return exitstatus::Input;
    CfgTree tree;
    MessageLog messages;
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const DeviceReadResult r =
        ReadFromDevice({session.conn, session.DeviceNumber, messages}, tree, list, &catalogue,
                       ctx.env.errIsTerminal ? &bar : nullptr);
    bar.Finish();

    switch (r.outcome) {
        case DeviceReadOutcome::NotConnected:
            PrintNotConnected(ctx, session.conn, r.code);
            return exitstatus::Device;
        case DeviceReadOutcome::UnsupportedVersion:
            messages.PrintTo(ctx.err);
            return exitstatus::Device;
        case DeviceReadOutcome::ReadFailed:
            PrintTree(tree, ctx.out);
            messages.PrintTo(ctx.err);
            PrintPortGone(ctx, session.conn);
            return exitstatus::Device;
        case DeviceReadOutcome::Read:
            break;
    }
    PrintTree(tree, ctx.out);
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
            return exitstatus::Device;
    }
    return exitstatus::Device;
}

int RunDeviceStore(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args) {
    CliArgs parsed;
    int status = 0;
    if (!Prepare(ctx, session, args, {{"--verify", false}}, kStoreUsage, 1, parsed, status))
        return status;
    XmlDocument noCatalogue;  // storing never looks variables up
    SnvtList list(noCatalogue);
    if (!LoadSettingsFile(ctx, list, parsed.Positionals()[0])) return exitstatus::Input;

    MessageLog messages;
    const DeviceStoreResult r = Store({session.conn, session.DeviceNumber, messages}, list);
    switch (r.outcome) {
        case DeviceStoreOutcome::Stored:
            messages.PrintTo(ctx.out);
            return parsed.Has("--verify") ? VerifyStored(ctx, session) : exitstatus::Ok;
        case DeviceStoreOutcome::EmptyList:
        case DeviceStoreOutcome::NotSaved:
            messages.PrintTo(ctx.err);
            return exitstatus::Input;
        case DeviceStoreOutcome::NotConnected:
            PrintNotConnected(ctx, session.conn, r.code);  // the window's message, with the result
            return exitstatus::Device;
        case DeviceStoreOutcome::Broken:
            messages.PrintTo(ctx.err);
            ctx.err << "vr7lon: " << ResultText(r.code, session.conn.SystemErrorNumber()) << '\n';
            return exitstatus::Device;
        case DeviceStoreOutcome::UnsupportedVersion:
        case DeviceStoreOutcome::Protected:
            messages.PrintTo(ctx.err);
            return exitstatus::Device;
    }
    return exitstatus::Device;
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
    const std::string expected = StoredGatewayText(bytes);

    connection::OpenedLink link(session.conn);
    if (!IdentifyGatewayDevice(ctx, session)) return exitstatus::Device;
    return VerifyAgainstDevice(ctx, session, kDownloadFileName, path, expected);
}

std::string MismatchText(const std::string& name, const std::string& local,
                         const FileVerification& v, size_t expectedSize) {
    return "the device's " + name + " differs from " + local + " at offset " +
           std::to_string(v.firstDifference) + " (expected " + std::to_string(expectedSize) +
           " bytes, the device holds " + std::to_string(v.deviceSize) + ")";
}

bool DownloadGatewaySettings(const CliContext& ctx, DeviceSession& session, std::string& bytes) {
    connection::OpenedLink link(session.conn);
    if (!IdentifyGatewayDevice(ctx, session)) return false;
    ProgressBar bar(ctx.err, ctx.env.errIsTerminal);
    const LinkResult r =
        ReadDeviceFileBytes(session.conn, session.DeviceNumber, kDownloadFileName, bytes,
                            ctx.env.errIsTerminal ? ProgressBar::Proc : nullptr, &bar);
    bar.Finish();
    if (r != lr::Ok) {
        PrintDownloadFailure(ctx, session.conn, kDownloadFileName, r);
        return false;
    }
    return true;
}
