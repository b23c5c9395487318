#pragma once
// vr7lon's own English texts (UTF-8), chosen here by what happened, so that every line a command
// prints about an outcome is spelled once: the wrong usages (a table by kind), the refusals of
// its inputs, the device's answers it reports and its tables' words. The usage texts stay with
// their commands; the device's messages and causes come from app/messages, as the window shows
// them.
#include <cstddef>
#include <cstdint>
#include <string>

namespace clitext {

// What was wrong with a command line; the usage text follows it.
enum class Usage {
    CommandNeeded,            // "a COMMAND is needed"
    WrongArgumentCount,       // "wrong number of arguments"
    DeviceNeedsSubcommand,    // "device needs a SUBCOMMAND"
    BuildNeedsOut,            // "build needs --out FILE"
    BuildNeedsVariable,       // "build needs at least one SYS:NAME"
    DiffNeedsTwo,             // "diff needs A and B"
    FleetNeedsPlanAndAction,  // "fleet needs PLAN and ACTION"
    ListNeedsFile,            // "list needs one FILE"
    TreeNeedsFolder,          // "tree needs one FOLDER"
    PortsTakesNothing,        // "ports takes no arguments"
    JsonOrCsv,                // "--json and --csv exclude each other"
    OnlyStoreKeepsBackups,    // "only store keeps backups"
    TwoReportFiles,           // "--html and --report need two different files"
    OutNeedsFolder,           // "--out needs a folder"
    JobsRange,                // "--jobs needs 1 to 256"
    DryRunVerifiesNothing,    // "--dry-run stores nothing to verify"
    PortNeedsName,            // "--port needs a name"
    TcpPortRange,             // "--tcp-port needs 1 to 65535"
    SpeedNeedsBaud,           // "--speed needs a number of baud"
    NumberRange,              // "--number needs 0 to 4294967295"
    EchoValues,               // "--echo needs auto, on or off"
    BackupDirNeedsFolder,     // "--backup-dir needs a folder"
};
const char* UsageText(Usage usage);
std::string UnknownCommand(const std::string& name);           // "unknown command NAME"
std::string UnknownDeviceSubcommand(const std::string& name);  // "unknown device subcommand ..."
std::string UnknownFleetAction(const std::string& name);       // "unknown fleet action NAME"
std::string NotSysName(const std::string& arg);                // "ARG: not SYS:NAME (SYS 0 to 255)"
// "--keep-backups needs a number from 1 to MAX"
std::string KeepBackupsRange(unsigned most);

// Local files and folders.
std::string IsAFolder(const std::string& path);         // "PATH: is a folder"
std::string NotASettingsFile(const std::string& path);  // "PATH: is a folder, not a settings file"
std::string NotAFolder(const std::string& path);        // "PATH: not a folder"
// "--work-dir DIR: not a folder", or with the system's reason: "--work-dir DIR: REASON".
std::string OptionNotAFolder(const std::string& option, const std::string& dir);
std::string OptionPathProblem(const std::string& option, const std::string& dir,
                              const std::string& reason);
// "FOLDER: a symbolic link to TARGET, which does not exist" (or the system's reason).
std::string DanglingLink(const std::string& folder, const std::string& target);
std::string LinkProblem(const std::string& folder, const std::string& target,
                        const std::string& reason);
std::string CatalogueProblem(const std::string& file,
                             const std::string& reason);  // "catalogue ..."
// "FOLDER: a system file could not be read; the tree is partial"
std::string PartialTree(const std::string& folder);
std::string OutputNotWritten(const std::string& reason);  // "the output could not be written: ..."

// "build"'s refusals of a variable.
std::string NotPublished(const std::string& arg);   // "ARG: not a variable the catalogue publishes"
std::string NotAListNode(const std::string& arg);   // "ARG: not a tree node the list may take"
std::string AlreadyInList(const std::string& arg);  // "ARG: already in the list"

// The device's own answers.
std::string Identified(const std::string& version, uint32_t number);  // "version V\nnumber N"
// The device refused to open its file NAME: "the device has no NAME (RESULT)".
std::string DeviceHasNo(const std::string& name, const std::string& result);
// An exchange about a device file that failed: "NAME: RESULT".
std::string DeviceFileFailed(const std::string& name, const std::string& result);
// The same for an upload the device refused: it adds " (write protection EN_PR on?)".
std::string UploadRefused(const std::string& name, const std::string& result);

// The device file names "get" and "put" take.
const char* EmptyDeviceFileName();  // "the device file name is empty"
// "NAME...: a device file name has at most MAX bytes, this one SIZE": NAME cut to 40 bytes.
std::string DeviceFileNameTooLong(const std::string& name, size_t max, size_t size);

// What "get" and "put" did: "NAME: N bytes into OUT", "IN: stored as NAME".
std::string Downloaded(const std::string& name, size_t size, const std::string& out);
std::string Uploaded(const std::string& in, const std::string& name);

// The store's backups.
std::string BackupsFolderProblem(const std::string& problem);  // "backups folder PROBLEM"
const char* NothingStoredWithoutBackup();  // "nothing was stored; --no-backup stores ..."
// "the backups folder cannot be written: REASON"
std::string BackupsFolderNotWritable(const std::string& reason);
// "device N has no backup in FOLDER"
std::string NoBackupOf(uint32_t number, const std::string& folder);
std::string Restoring(const std::string& path);  // "restoring PATH"
// The device's side of a dry run that could not be read: "device: REASON".
std::string DeviceSideUnreadable(const std::string& reason);

// The ports.
const char* NoSerialPort();  // "no serial port found"
const char* NothingKnown();  // "nothing known of it"
std::string MadeBy(const std::string& product, const std::string& vendor);  // "P by V"
std::string Driver(const std::string& driver);                              // "driver D"
std::string UsbId(const std::string& id);                                   // "USB 0403:6001"
std::string SerialNumber(const std::string& serial);                        // "serial S"
std::string StableName(const std::string& path);                            // "stable name PATH"

// A list's differences, one a line: CAPTION and COLUMNS as the terminal shows them.
std::string Added(const std::string& caption, size_t row, const std::string& columns);
std::string Removed(const std::string& caption, size_t row);
std::string Moved(const std::string& caption, size_t from, size_t to);
std::string AlsoChanged(const std::string& changes);  // "; changed: CHANGES"
std::string Changed(const std::string& caption, const std::string& changes);
const char* NoValue();  // "none": a column without a value

// The fleet.
// A file the plan names that cannot serve: "PLAN: line N: PATH: WHY".
std::string PlanFileProblem(const std::string& plan, size_t line, const std::string& path,
                            const std::string& why);
const char* NoVariablesToStore();  // "holds no variables to store"
// What a report would overwrite: "the plan", "the catalogue", "the file of line N of the plan".
const char* ThePlan();
const char* TheCatalogue();
std::string PlanFileOfLine(size_t line);
// "OPTION PATH is INPUT of this run: the report would overwrite it"
std::string ReportOverwrites(const std::string& option, const std::string& path,
                             const std::string& input);
// "--out DIR cannot be written: REASON"
std::string OutNotWritable(const std::string& dir, const std::string& reason);
// A fleet's store without --out: "no temporary folder for the working copies: REASON".
std::string NoScratchFolder(const std::string& reason);
// Two lines of the plan that may reach one device, each "NAME: ENDPOINT number N".
std::string SameDevice(const std::string& plan, size_t lineA, size_t lineB,
                       const std::string& deviceA, const std::string& deviceB);
std::string PlanDevice(const std::string& name, const std::string& endpoint, uint32_t number);
// "fleet: DONE/TOTAL devices, N failed", redrawn while the fleet runs.
std::string FleetProgress(size_t done, size_t total, size_t failed);
// The table: its first column's caption, the others' after it, and the totals line.
const char* NameColumn();                                // "name"
const char* OtherColumns();                              // "  result  seconds  message"
std::string FleetTotals(size_t devices, size_t failed);  // "N devices: S succeeded, F failed"

}  // namespace clitext
