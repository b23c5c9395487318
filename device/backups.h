#pragma once
// The backups of the devices' gateway settings. Before a store uploads a new list, the device's
// "duxgate.cfg" is downloaded and kept as FOLDER/<line>/<device number>/<YYYY-MM-DD_HHMMSS>.cfg
// (local time of the backup): device numbers are unique on one line, not on a site, so a device
// is its line and its number. A second backup of a device within the same second, or after the
// clock went back to a name already taken, gets a counter: "<stamp>_2.cfg", "<stamp>_3.cfg"...
// Names are never reused and an existing backup is never replaced. Settings identical to the
// device's newest backup are not kept twice: that backup stands for the new one and is renamed
// after the time the device was found with them again (unless another store holds it).
//
// A backup is written as a whole and synced (file and folders) before the store may go on. It is
// made relative to the device folder's descriptor: no symbolic link in the folder (or as the
// line's or the number's folder) is followed. After each new one, the oldest of the device's
// backups beyond the number of settings to keep are removed (a run of identical backups, one
// after the other, is one setting), one store at a time (a lock on the device's
// folder); the newest is always kept, and so is a backup that another store has just taken and
// still holds (BackupHold), so two stores at once never remove each other's.
//
// Backups taken before they were filed by line are in FOLDER/<device number>/: their line is
// unknown. They are listed as such and never taken for a device's own.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/uniquefd.h"

inline constexpr size_t kDefaultBackupsKept = 20;

// Where the backups go and how many of a device are kept.
struct BackupPolicy {
    std::string folder;  // the backups folder; each device has a folder of its number in it
    size_t keep = kDefaultBackupsKept;  // at least the newest one is always kept
};

// The backups folder of a user: "backups" beside the program for a portable copy (programDir, the
// folder its ini files are in); for an installed copy (installed is true)
// "$XDG_DATA_HOME/vr7loncfgmaker/backups" ("~/.local/share/..." without XDG_DATA_HOME).
std::string DefaultBackupFolder(const std::string& programDir, bool installed);

// The device whose backups these are: its line (a folder name, see DeviceEndpoint::LineName) and
// its number on it. An empty line is the line unknown of the backups filed by number alone.
struct BackupDevice {
    std::string line;
    uint32_t number = 0;
};

// One backup of a device, as the folder holds it.
struct BackupEntry {
    std::string path;       // FOLDER/<line>/<number>/<name>
    std::string name;       // "2026-12-08_043000.cfg", "2026-12-08_043000_2.cfg"
    std::string taken;      // "2026-12-08 04:30:00", from the name
    unsigned sequence = 1;  // the counter of the name (1 for none)
    uint64_t size = 0;      // bytes
};

// The device's folder in the backups folder: FOLDER/<line>/<number>, or FOLDER/<number> for the
// line unknown.
std::string DeviceBackupFolder(const std::string& folder, const BackupDevice& device);

// The device's backups, oldest first (by the time in their names, then their counters); files of
// other names are not backups and are left out. A device without backups (no folder yet) has none;
// a folder that cannot be read is a File failure.
Result<std::vector<BackupEntry>> ListBackups(const std::string& folder, const BackupDevice& device);

// Makes sure a backup can be written into folder before anything is asked of a device: creates it
// (and its parents) when missing and checks that it may be written. A File failure names the
// folder.
Status PrepareBackupFolder(const std::string& folder);

// A backup held by the store that took it, until the store has reported it: while held, no other
// store's pruning removes it. Dropping the hold lets it age as any other.
class BackupHold {
  public:
    explicit BackupHold(UniqueFd fd) : fd_(std::move(fd)) {}

  private:
    UniqueFd fd_;  // the backup's file, with a shared lock on it
};

// Writes bytes as a new backup of the device taken at `now` and returns its path (that of the
// newest backup when it holds these bytes already, renamed after `now` as described above); then
// removes the device's oldest backups beyond policy.keep settings. The backup is in place and
// synced when this returns; only a failure to write it is a failure (a File failure naming the
// device's folder or the file): an old backup that cannot be removed stays. With hold, the backup
// is held (BackupHold) from before it has its name until *hold is dropped. Temporary files of the
// device's folder that a killed store left (its process gone) are removed first.
Result<std::string> SaveBackup(const BackupPolicy& policy, const BackupDevice& device,
                               std::string_view bytes, std::time_t now,
                               std::shared_ptr<BackupHold>* hold = nullptr);

// Removes the oldest of the device's backups so that at most policy.keep settings (at least 1)
// remain, a run of identical backups counting once;
// the backup at `spare` (one just taken) is never removed and counts as one of them, and one that
// another store holds stays.
void PruneBackups(const BackupPolicy& policy, const BackupDevice& device,
                  const std::string& spare = {});

// A backup as the lists of backups show it: its device, its entry and how many variables it
// holds, read as any gateway settings file is (none, with the reader's reason, when it cannot be).
struct BackupSummary {
    BackupDevice device;  // device.line empty: the line is unknown (filed by number alone)
    BackupEntry entry;
    std::optional<unsigned> variables;
    std::string problem;  // UTF-8, when variables is none
};

// What a list of backups takes in.
enum class BackupScope {
    Own,        // the device's own folder only (device.number 0: every device of device.line)
    WithOlder,  // and those filed by the device's number alone (line unknown)
};

// The backups of the device, oldest first, then with WithOlder those of its number whose line is
// unknown. With device.number 0, every device's: with an empty device.line every line's, by
// line then number, and then the line unknown's by number. A folder that cannot be read is a
// File failure.
Result<std::vector<BackupSummary>> ListBackupSummaries(const std::string& folder,
                                                       const BackupDevice& device,
                                                       BackupScope scope = BackupScope::Own);

// Checks that bytes are a complete gateway settings file, as a backup must be to be stored back:
// at least one row, every row whole and as the gateway file reader takes it (its lines as a store
// writes them), no control bytes, and the file ending at a row's end. Invalid, with the reader's
// reason and the line, otherwise.
Status CheckBackupBytes(std::string_view bytes);

// A backup's bytes, read whole and checked (CheckBackupBytes): what a restore uploads as it is.
// File when it cannot be read, Invalid (its path set) when it is no complete settings file.
Result<std::string> ReadBackupForRestore(const std::string& path);
