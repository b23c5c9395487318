#include "cli/fleetcommand.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>

#include "app/messages.h"
#include "base/atomicfilewriter.h"
#include "base/heldfolder.h"
#include "base/jsonwriter.h"
#include "base/parseuint.h"
#include "base/scratchfolder.h"
#include "base/syserror.h"
#include "base/wholefile.h"
#include "cli/backupoptions.h"
#include "cli/clicommand.h"
#include "cli/clitext.h"
#include "cli/devicesession.h"
#include "cli/exitstatus.h"
#include "cli/jsonprint.h"
#include "cli/terminaltext.h"
#include "fleet/fleetplan.h"
#include "fleet/fleetrun.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"
#include "report/commissioningreport.h"
#include "report/sitereport.h"

namespace {

const char kUsage[] =
    "usage: vr7lon fleet PLAN ACTION [--jobs N] [--out DIR] [--report FILE] [--html FILE]\n"
    "                               [--catalog FILE]\n"
    "Does ACTION on every device of PLAN: devices on different endpoints at the same time,\n"
    "devices that share one serial port (or one TCP address and port) one after another. One\n"
    "device's failure never stops the others.\n"
    "ACTION:\n"
    "  info    identify each device: version and number\n"
    "  read    identify, check the version, read the configuration and download duxgate.cfg\n"
    "  store   identify, check the version, keep the device's duxgate.cfg as a backup, store\n"
    "          the rows of the device's file as its DUXGate.cfg, then download that and\n"
    "          compare it byte for byte\n"
    "  verify  compare the device's duxgate.cfg byte for byte with what store would put there\n"
    "          (the rows of the device's file as the window writes them)\n"
    "PLAN is a CSV file: a header line naming the columns, then one device a line, e.g.\n"
    "  name,ip,tcp_port,number,file\n"
    "  boiler-1,10.0.0.11,10001,12,boiler.cfg\n"
    "Columns: name (required; a folder name: letters, digits, '.', '_', '-'), port (TCP/IP,\n"
    "COM1..COM9 or a device path), ip, tcp_port, speed, number (0: whichever device answers),\n"
    "file (store, verify: the gateway settings file, relative to PLAN's folder). An empty cell or\n"
    "a column left out takes the default of \"vr7lon device\": the window's saved settings, else\n"
    "COM1 at 9600 Bd and number 1; an ip or tcp_port alone selects TCP/IP. A cell may be quoted\n"
    "(\"...\", \"\" for a quote); lines starting with # are comments.\n"
    "  --jobs N        devices worked on at once (default 8)\n"
    "  --out DIR       each device's folder DIR/NAME/: read writes tree.txt (as \"vr7lon device\n"
    "                  tree\" prints it) and duxgate.cfg, both replacing an earlier run's only\n"
    "                  when the read is complete (a device that fails keeps what it had);\n"
    "                  store keeps the working copy DUXGate.cfg it sent. Without it read\n"
    "                  writes nothing and store works in a temporary folder.\n"
    "  --report FILE   a JSON report: {\"action\", \"devices\": [{name, endpoint, number,\n"
    "                  version, result, message, seconds, bytes_sent, bytes_received,\n"
    "                  and for store backup: its backup's path, or null}]};\n"
    "                  never the plan, a file it names or the catalogue\n"
    "  --html FILE     a printable site report in Russian (one HTML file): a summary of the\n"
    "                  devices, those that succeeded and the failures by cause, then a row per\n"
    "                  device with the data of --report; never an input, nor the --report FILE\n"
    "  --catalog FILE  read: the variable catalogue (default: calcbank.xml of the working\n"
    "                  directory)\n"
    "store keeps each device's duxgate.cfg as a backup before its upload, as \"vr7lon device\n"
    "store\" does, in the device's folder of its line and number; a device whose backup fails\n"
    "(the device's file refused for any reason but \"no such file\", or its download broken)\n"
    "is not stored and counts as failed:\n" VR7_BACKUP_OPTIONS_USAGE
    "Prints a table (name, result, seconds, message) in plan order. A device's result is 0 on\n"
    "success, else the link's result code, or 2001 the firmware is too old, 2002 the device\n"
    "holds other bytes than the file, 2003 a local file could not be read or written.\n"
    "Exit status: 0 every device succeeded; 2 the plan, a file it names, the catalogue, --out,\n"
    "the backups folder or a report cannot be loaded or written (a plan's fault names its line;\n"
    "no device is touched); 4 a device failed; 64 wrong usage.\n";

// Checks every file the plan names before any device is touched: a store's file must load as a
// gateway settings file with rows, a verify's must be readable.
bool CheckPlanFiles(const CliContext& ctx, const std::string& planPath, const FleetPlan& plan,
                    FleetAction action) {
    std::set<std::string> checked;
    for (const FleetDevice& device : plan.devices) {
        const std::string path = PlanFilePath(planPath, device.file);
        if (!checked.insert(path).second) continue;
        auto fail = [&](const std::string& why) {
            ctx.err << "vr7lon: " << clitext::PlanFileProblem(planPath, device.line, path, why)
                    << '\n';
            return false;
        };
        const Result<std::string> bytes = ReadWholeFile(path, inputlimit::kSettingsFile);
        if (!bytes) return fail(usertext::FailureReason(bytes.failure()).str());
        // A file with more rows than a list holds can be neither stored nor verified whole.
        XmlDocument noCatalogue;
        SnvtList list(noCatalogue);
        if (const Status loaded = LoadGatewayBytes(list, bytes.value()); !loaded)
            return fail(usertext::FailureReason(loaded.failure()).str());
        if (action == FleetAction::Store && list.RowCount() == 0)
            return fail(clitext::NoVariablesToStore());
    }
    return true;
}

// What an existing --report FILE is of this run's inputs, by its device and inode: the plan, a
// file the plan names (with its line), or the catalogue; empty when it is none of them. A report
// written over one of them would destroy it.
std::string ReportOverwritesInput(const std::string& reportPath, const std::string& planPath,
                                  const FleetPlan& plan, bool needsFile,
                                  const std::string& cataloguePath) {
    std::error_code ec;
    auto same = [&](const std::string& input) {
        return !input.empty() && std::filesystem::equivalent(reportPath, input, ec);
    };
    if (!std::filesystem::exists(reportPath, ec)) return {};
    if (same(planPath)) return clitext::ThePlan();
    if (same(cataloguePath)) return clitext::TheCatalogue();
    if (needsFile) {
        for (const FleetDevice& device : plan.devices)
            if (same(PlanFilePath(planPath, device.file)))
                return clitext::PlanFileOfLine(device.line);
    }
    return {};
}

// The line "fleet: DONE/TOTAL devices, N failed" redrawn on a terminal's error stream.
class ProgressLine : public IFleetObserver {
  public:
    ProgressLine(std::ostream& err, bool enabled, size_t total)
        : err_(err), enabled_(enabled), total_(total) {}
    void Started(size_t) override {}
    void Finished(size_t, const FleetResult& result) override {
        ++done_;
        if (!result.status) ++failed_;
        if (!enabled_) return;
        err_ << '\r' << clitext::FleetProgress(done_, total_, failed_) << std::flush;
        drawn_ = true;
    }
    void End() {
        if (drawn_) err_ << '\n';
        drawn_ = false;
    }

  private:
    std::ostream& err_;
    bool enabled_;
    size_t total_;
    size_t done_ = 0;
    size_t failed_ = 0;
    bool drawn_ = false;
};

// Characters of UTF-8 text, for lining up the table.
size_t Width(const std::string& utf8) {
    size_t n = 0;
    for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// The table's cells come from the plan and the devices: shown as a terminal shows text safely.
void PrintTable(std::ostream& out, const std::vector<FleetTask>& tasks,
                const std::vector<FleetResult>& results) {
    std::vector<std::string> names;
    names.reserve(tasks.size());
    size_t nameWidth = 4;
    for (const FleetTask& t : tasks) {
        names.push_back(terminaltext::Shown(t.name));
        nameWidth = std::max(nameWidth, Width(names.back()));
    }
    auto pad = [&](const std::string& name) { return std::string(nameWidth - Width(name), ' '); };
    out << clitext::NameColumn() << pad(clitext::NameColumn()) << clitext::OtherColumns() << '\n';
    size_t failed = 0;
    for (size_t i = 0; i < tasks.size(); ++i) {
        const FleetResult& r = results[i];
        char figures[64];
        std::snprintf(figures, sizeof figures, "  %6d  %7.3f  ", FleetResultCode(r.status),
                      r.seconds);
        out << names[i] << pad(names[i]) << figures << terminaltext::Shown(r.message) << '\n';
        failed += !r.status;
    }
    out << clitext::FleetTotals(tasks.size(), failed) << '\n';
}

std::string Report(FleetAction action, const std::vector<FleetTask>& tasks,
                   const std::vector<FleetResult>& results) {
    std::ostringstream text;
    JsonWriter json(text);
    BeginJsonDocument(json).Member("action", FleetActionName(action)).Key("devices").BeginArray();
    for (size_t i = 0; i < tasks.size(); ++i) {
        const FleetResult& r = results[i];
        json.BeginObject()
            .Member("name", tasks[i].name)
            .Member("endpoint", tasks[i].endpoint.Text())
            .Member("number", r.number)
            .Key("version");
        if (r.version.empty()) {
            json.Null();
        } else {
            json.String(r.version);
        }
        json.Member("result", FleetResultCode(r.status))
            .Member("message", r.message)
            .Member("seconds", r.seconds)
            .Member("bytes_sent", r.bytesSent)
            .Member("bytes_received", r.bytesReceived);
        if (action == FleetAction::Store) {
            json.Key("backup");
            if (r.backup.empty()) {
                json.Null();
            } else {
                json.String(r.backup);
            }
        }
        json.EndObject();
    }
    json.EndArray().EndObject();
    text << '\n';
    return std::move(text).str();
}

}  // namespace

int RunFleetCommand(const CliContext& ctx, const std::vector<std::string>& args) {
    CliArgs parsed;
    int status = 0;
    std::vector<CliOption> options = {{"--jobs", true},
                                      {"--out", true},
                                      {"--report", true},
                                      {"--html", true},
                                      {"--catalog", true}};
    options.insert(options.end(), BackupOptions().begin(), BackupOptions().end());
    if (!ParseCommandArgs(ctx, args, options, kUsage, parsed, status)) return status;
    if (parsed.Positionals().size() != 2)
        return UsageError(ctx, clitext::UsageText(clitext::Usage::FleetNeedsPlanAndAction), kUsage);
    const std::string& planPath = parsed.Positionals()[0];
    FleetSettings settings;
    settings.timings = ctx.env.timings;
    if (!ParseFleetAction(parsed.Positionals()[1], settings.action))
        return UsageError(ctx, clitext::UnknownFleetAction(parsed.Positionals()[1]), kUsage);
    if (parsed.Has("--jobs") && (!ParseUint32(parsed.Value("--jobs"), settings.jobs) ||
                                 settings.jobs == 0 || settings.jobs > 256))
        return UsageError(ctx, clitext::UsageText(clitext::Usage::JobsRange), kUsage);
    const bool needsFile =
        settings.action == FleetAction::Store || settings.action == FleetAction::Verify;
    std::optional<BackupPolicy> backup;
    if (settings.action == FleetAction::Store) {
        std::string error;
        if (!ParseBackupPolicy(ctx, parsed, backup, error)) return UsageError(ctx, error, kUsage);
    } else if (parsed.Has("--backup-dir") || parsed.Has("--no-backup") ||
               parsed.Has("--keep-backups")) {
        return UsageError(ctx, clitext::UsageText(clitext::Usage::OnlyStoreKeepsBackups), kUsage);
    }

    // Everything local is checked before any device is touched.
    const Result<std::string> planText = ReadWholeFile(planPath, inputlimit::kPlan);
    if (!planText) {
        ctx.err << "vr7lon: " << usertext::FailureLine(planText.failure()) << '\n';
        return exitstatus::Input;
    }
    FleetPlan plan;
    std::string planError;
    if (!ParseFleetPlan(planText.value(), needsFile, plan, planError)) {
        ctx.err << "vr7lon: " << planPath << ": " << planError << '\n';
        return exitstatus::Input;
    }
    if (needsFile && !CheckPlanFiles(ctx, planPath, plan, settings.action))
        return exitstatus::Input;
    XmlDocument catalogue;
    if (settings.action == FleetAction::Read) {
        if (LoadCommandCatalogue(ctx, parsed.Value("--catalog"), catalogue) !=
            CatalogueStatus::Loaded)
            return exitstatus::Input;
        settings.catalogue = &catalogue;
    }
    std::string outDir = parsed.Value("--out");
    if (parsed.Has("--out")) {
        std::error_code ec;
        if (outDir.empty())
            return UsageError(ctx, clitext::UsageText(clitext::Usage::OutNeedsFolder), kUsage);
        std::filesystem::create_directories(outDir, ec);
        if (ec) {
            ctx.err << "vr7lon: " << usertext::FailureLine(Failure::OfFile(outDir, ec.value()))
                    << '\n';
            return exitstatus::Input;
        }
        if (outDir.back() != '/') outDir += '/';
        // A folder that exists but cannot be written is said before any device is touched.
        if (const int error = FolderWritable(outDir); error != 0) {
            ctx.err << "vr7lon: "
                    << clitext::OutNotWritable(parsed.Value("--out"), SystemErrorText(error))
                    << '\n';
            return exitstatus::Input;
        }
    }
    // The reports are opened before any device is touched; neither may be an input of the run,
    // nor the two one file.
    if (parsed.Has("--report") && parsed.Has("--html")) {
        std::error_code ec;

        // Canonical from the absolute path: a relative one whose first part does not exist yet
        // would stay as it was written.
        auto canonical = [&ec](const std::string& path) {
            return std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
        };
        const auto report = canonical(parsed.Value("--report"));
        const auto html = canonical(parsed.Value("--html"));
        if (report == html ||
            std::filesystem::equivalent(parsed.Value("--report"), parsed.Value("--html"), ec))
            return UsageError(ctx, clitext::UsageText(clitext::Usage::TwoReportFiles), kUsage);
    }
    AtomicFileWriter report;
    AtomicFileWriter htmlReport;
    for (auto [option, writer] :
         {std::pair{"--report", &report}, std::pair{"--html", &htmlReport}}) {
        if (!parsed.Has(option)) continue;
        const std::string& path = parsed.Value(option);
        const std::string input =
            ReportOverwritesInput(path, planPath, plan, needsFile, parsed.Value("--catalog"));
        if (!input.empty()) {
            ctx.err << "vr7lon: " << clitext::ReportOverwrites(option, path, input) << '\n';
            return exitstatus::Input;
        }
        if (const Status opened = writer->Open(path); !opened) {
            ctx.err << "vr7lon: " << usertext::FailureLine(opened.failure()) << '\n';
            return exitstatus::Input;
        }
    }
    // A backup with nowhere to go is said before any device is touched.
    if (backup) {
        if (const std::string problem = BackupFolderProblem(backup->folder); !problem.empty()) {
            ctx.err << "vr7lon: " << clitext::BackupsFolderProblem(problem) << '\n';
            return exitstatus::Input;
        }
        if (const Status ready = PrepareBackupFolder(backup->folder); !ready) {
            ctx.err << "vr7lon: "
                    << clitext::BackupsFolderNotWritable(
                           usertext::FailureLine(ready.failure()).str())
                    << '\n';
            return exitstatus::Input;
        }
        settings.backup = &*backup;
    }
    // A store without --out keeps its working copies in a temporary folder, removed with them.
    std::optional<ScratchFolder> scratch;
    if (settings.action == FleetAction::Store && outDir.empty()) {
        scratch.emplace("vr7fleet");
        if (const Status made = scratch->Made(); !made) {
            ctx.err << "vr7lon: "
                    << clitext::NoScratchFolder(usertext::FailureReason(made.failure()).str())
                    << '\n';
            return exitstatus::Input;
        }
    }

    // The defaults of every endpoint: what "vr7lon device" takes without options.
    DeviceSession defaults;
    std::string setupError;
    defaults.SetUp(ctx, CliArgs{}, setupError);
    const FleetEndpoint base = EndpointOf(defaults.conn, defaults.conn.DeviceNumber);

    std::vector<FleetTask> tasks;
    tasks.reserve(plan.devices.size());
    // Only read and store write into a device's folder.
    const bool writes =
        settings.action == FleetAction::Read || settings.action == FleetAction::Store;
    for (const FleetDevice& device : plan.devices) {
        FleetTask task;
        task.name = device.name;
        task.endpoint = ResolveEndpoint(base, device);
        if (writes && !outDir.empty()) task.folder = outDir + device.name + "/";
        if (scratch) task.scratchCopy = scratch->Path() + device.name + ".cfg";
        if (needsFile) task.file = PlanFilePath(planPath, device.file);
        tasks.push_back(std::move(task));
    }

    // Two rows for one device would both report success while the device keeps one file.
    if (const std::optional<RepeatedDevice> repeated = FindRepeatedDevice(tasks)) {
        const FleetTask& a = tasks[repeated->first];
        const FleetTask& b = tasks[repeated->second];
        ctx.err << "vr7lon: "
                << clitext::SameDevice(
                       planPath, plan.devices[repeated->first].line,
                       plan.devices[repeated->second].line,
                       clitext::PlanDevice(a.name, a.endpoint.Text(), a.endpoint.number),
                       clitext::PlanDevice(b.name, b.endpoint.Text(), b.endpoint.number))
                << '\n';
        return exitstatus::Input;
    }

    const std::string started = LocalTimeText(std::time(nullptr));
    ProgressLine progress(ctx.err, ctx.env.errIsTerminal, tasks.size());
    const std::vector<FleetResult> results = RunFleet(tasks, settings, &progress);
    progress.End();
    PrintTable(ctx.out, tasks, results);

    auto write = [&](AtomicFileWriter& writer, const std::string& text) {
        Status written = writer.Write(text);
        if (written) written = writer.Commit();
        if (!written) ctx.err << "vr7lon: " << usertext::FailureLine(written.failure()) << '\n';
        return static_cast<bool>(written);
    };
    bool reported = true;
    if (parsed.Has("--report")) reported = write(report, Report(settings.action, tasks, results));
    if (parsed.Has("--html"))
        reported =
            write(htmlReport, SiteReportHtml(settings.action, started, tasks, results)) && reported;
    if (!reported) return exitstatus::Input;
    for (const FleetResult& r : results) {
        if (!r.status) return exitstatus::Device;
    }
    return exitstatus::Ok;
}
