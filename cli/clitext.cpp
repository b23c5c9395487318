#include "cli/clitext.h"

namespace clitext {

const char* UsageText(Usage usage) {
    switch (usage) {
        case Usage::CommandNeeded:
            return "a COMMAND is needed";
        case Usage::WrongArgumentCount:
            return "wrong number of arguments";
        case Usage::DeviceNeedsSubcommand:
            return "device needs a SUBCOMMAND";
        case Usage::BuildNeedsOut:
            return "build needs --out FILE";
        case Usage::BuildNeedsVariable:
            return "build needs at least one SYS:NAME";
        case Usage::DiffNeedsTwo:
            return "diff needs A and B";
        case Usage::FleetNeedsPlanAndAction:
            return "fleet needs PLAN and ACTION";
        case Usage::ListNeedsFile:
            return "list needs one FILE";
        case Usage::TreeNeedsFolder:
            return "tree needs one FOLDER";
        case Usage::PortsTakesNothing:
            return "ports takes no arguments";
        case Usage::JsonOrCsv:
            return "--json and --csv exclude each other";
        case Usage::OnlyStoreKeepsBackups:
            return "only store keeps backups";
        case Usage::TwoReportFiles:
            return "--html and --report need two different files";
        case Usage::OutNeedsFolder:
            return "--out needs a folder";
        case Usage::JobsRange:
            return "--jobs needs 1 to 256";
        case Usage::DryRunVerifiesNothing:
            return "--dry-run stores nothing to verify";
        case Usage::PortNeedsName:
            return "--port needs a name";
        case Usage::TcpPortRange:
            return "--tcp-port needs 1 to 65535";
        case Usage::SpeedNeedsBaud:
            return "--speed needs a number of baud";
        case Usage::NumberRange:
            return "--number needs 0 to 4294967295";
        case Usage::EchoValues:
            return "--echo needs auto, on or off";
        case Usage::BackupDirNeedsFolder:
            return "--backup-dir needs a folder";
    }
    return "";
}

std::string UnknownCommand(const std::string& name) {
    return "unknown command " + name;
}

std::string UnknownDeviceSubcommand(const std::string& name) {
    return "unknown device subcommand " + name;
}

std::string UnknownFleetAction(const std::string& name) {
    return "unknown fleet action " + name;
}

std::string NotSysName(const std::string& arg) {
    return arg + ": not SYS:NAME (SYS 0 to 255)";
}

std::string KeepBackupsRange(unsigned most) {
    return "--keep-backups needs a number from 1 to " + std::to_string(most);
}

std::string IsAFolder(const std::string& path) {
    return path + ": is a folder";
}

std::string NotASettingsFile(const std::string& path) {
    return IsAFolder(path) + ", not a settings file";
}

std::string NotAFolder(const std::string& path) {
    return path + ": not a folder";
}

std::string OptionNotAFolder(const std::string& option, const std::string& dir) {
    return NotAFolder(option + ' ' + dir);
}

std::string OptionPathProblem(const std::string& option, const std::string& dir,
                              const std::string& reason) {
    return option + ' ' + dir + ": " + reason;
}

std::string DanglingLink(const std::string& folder, const std::string& target) {
    return LinkProblem(folder, target, "does not exist");
}

std::string LinkProblem(const std::string& folder, const std::string& target,
                        const std::string& reason) {
    return folder + ": a symbolic link to " + target + ", which " + reason;
}

std::string CatalogueProblem(const std::string& file, const std::string& reason) {
    return "catalogue " + file + ": " + reason;
}

std::string PartialTree(const std::string& folder) {
    return folder + ": a system file could not be read; the tree is partial";
}

std::string OutputNotWritten(const std::string& reason) {
    return "the output could not be written: " + reason;
}

std::string NotPublished(const std::string& arg) {
    return arg + ": not a variable the catalogue publishes";
}

std::string NotAListNode(const std::string& arg) {
    return arg + ": not a tree node the list may take";
}

std::string AlreadyInList(const std::string& arg) {
    return arg + ": already in the list";
}

std::string Identified(const std::string& version, uint32_t number) {
    return "version " + version + "\nnumber " + std::to_string(number);
}

std::string DeviceHasNo(const std::string& name, const std::string& result) {
    return "the device has no " + name + " (" + result + ")";
}

std::string DeviceFileFailed(const std::string& name, const std::string& result) {
    return name + ": " + result;
}

std::string UploadRefused(const std::string& name, const std::string& result) {
    return DeviceFileFailed(name, result) + " (write protection EN_PR on?)";
}

const char* EmptyDeviceFileName() {
    return "the device file name is empty";
}

std::string DeviceFileNameTooLong(const std::string& name, size_t max, size_t size) {
    return name.substr(0, 40) + "...: a device file name has at most " + std::to_string(max) +
           " bytes, this one " + std::to_string(size);
}

std::string Downloaded(const std::string& name, size_t size, const std::string& out) {
    return name + ": " + std::to_string(size) + " bytes into " + out;
}

std::string Uploaded(const std::string& in, const std::string& name) {
    return in + ": stored as " + name;
}

std::string BackupsFolderProblem(const std::string& problem) {
    return "backups folder " + problem;
}

const char* NothingStoredWithoutBackup() {
    return "nothing was stored; --no-backup stores without a backup";
}

std::string BackupsFolderNotWritable(const std::string& reason) {
    return "the backups folder cannot be written: " + reason;
}

std::string NoBackupOf(uint32_t number, const std::string& folder) {
    return "device " + std::to_string(number) + " has no backup in " + folder;
}

std::string Restoring(const std::string& path) {
    return "restoring " + path;
}

std::string DeviceSideUnreadable(const std::string& reason) {
    return "device: " + reason;
}

const char* NoSerialPort() {
    return "no serial port found";
}

const char* NothingKnown() {
    return "nothing known of it";
}

std::string MadeBy(const std::string& product, const std::string& vendor) {
    return product + " by " + vendor;
}

std::string Driver(const std::string& driver) {
    return "driver " + driver;
}

std::string UsbId(const std::string& id) {
    return "USB " + id;
}

std::string SerialNumber(const std::string& serial) {
    return "serial " + serial;
}

std::string StableName(const std::string& path) {
    return "stable name " + path;
}

std::string Added(const std::string& caption, size_t row, const std::string& columns) {
    return "added " + caption + " at row " + std::to_string(row) + ": " + columns;
}

std::string Removed(const std::string& caption, size_t row) {
    return "removed " + caption + " from row " + std::to_string(row);
}

std::string Moved(const std::string& caption, size_t from, size_t to) {
    return "moved " + caption + " from row " + std::to_string(from) + " to row " +
           std::to_string(to);
}

std::string AlsoChanged(const std::string& changes) {
    return "; changed: " + changes;
}

std::string Changed(const std::string& caption, const std::string& changes) {
    return "changed " + caption + ": " + changes;
}

const char* NoValue() {
    return "none";
}

std::string PlanFileProblem(const std::string& plan, size_t line, const std::string& path,
                            const std::string& why) {
    return plan + ": line " + std::to_string(line) + ": " + path + ": " + why;
}

const char* NoVariablesToStore() {
    return "holds no variables to store";
}

const char* ThePlan() {
    return "the plan";
}

const char* TheCatalogue() {
    return "the catalogue";
}

std::string PlanFileOfLine(size_t line) {
    return "the file of line " + std::to_string(line) + " of the plan";
}

std::string ReportOverwrites(const std::string& option, const std::string& path,
                             const std::string& input) {
    return option + ' ' + path + " is " + input + " of this run: the report would overwrite it";
}

std::string OutNotWritable(const std::string& dir, const std::string& reason) {
    return "--out " + dir + " cannot be written: " + reason;
}

std::string NoScratchFolder(const std::string& reason) {
    return "no temporary folder for the working copies: " + reason;
}

std::string SameDevice(const std::string& plan, size_t lineA, size_t lineB,
                       const std::string& deviceA, const std::string& deviceB) {
    return plan + ": lines " + std::to_string(lineA) + " and " + std::to_string(lineB) +
           " may name one device (" + deviceA + ", " + deviceB +
           "; number 0 is whichever device answers)";
}

std::string PlanDevice(const std::string& name, const std::string& endpoint, uint32_t number) {
    return name + ": " + endpoint + " number " + std::to_string(number);
}

std::string FleetProgress(size_t done, size_t total, size_t failed) {
    return "fleet: " + std::to_string(done) + '/' + std::to_string(total) + " devices, " +
           std::to_string(failed) + " failed";
}

const char* NameColumn() {
    return "name";
}

const char* OtherColumns() {
    return "  result  seconds  message";
}

std::string FleetTotals(size_t devices, size_t failed) {
    return std::to_string(devices) + (devices == 1 ? " device: " : " devices: ") +
           std::to_string(devices - failed) + " succeeded, " + std::to_string(failed) + " failed";
}

}  // namespace clitext
