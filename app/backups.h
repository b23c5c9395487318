#pragma once
// The backups of the devices' gateway settings. Before a store uploads a new list, the device's
// "duxgate.cfg" is downloaded and kept as FOLDER/<device number>/<YYYY-MM-DD_HHMMSS>.cfg (local
// time of the backup), so the settings a site ran on can always be stored back. A second backup
// of a device within the same second, or after the clock went back to a name already taken, gets
// a counter: "<stamp>_2.cfg", "<stamp>_3.cfg"... Names are never reused and an existing backup is
// never replaced.
//
// A backup is written as a whole and synced (file and folders) before the store may go on. After
// each new one, the oldest of the device's backups beyond the number to keep are removed; the
// newest is always kept, so a device's only copy is never deleted.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

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

// One backup of a device, as the folder holds it.
struct BackupEntry {
    std::string path;       // FOLDER/<number>/<name>
    std::string name;       // "2026-12-08_043000.cfg", "2026-12-08_043000_2.cfg"
    std::string taken;      // "2026-12-08 04:30:00", from the name
    unsigned sequence = 1;  // the counter of the name (1 for none)
    uint64_t size = 0;      // bytes
};

// The device's folder in the backups folder.
std::string DeviceBackupFolder(const std::string& folder, uint32_t deviceNumber);

// The device's backups, oldest first (by the time in their names, then their counters); files of
// other names are not backups and are left out. A device without backups (no folder yet) has none;
// a folder that cannot be read is a File failure.
Result<std::vector<BackupEntry>> ListBackups(const std::string& folder, uint32_t deviceNumber);

// Makes sure a backup can be written into folder before anything is asked of a device: creates it
// (and its parents) when missing and checks that it may be written. A File failure names the
// folder.
Status PrepareBackupFolder(const std::string& folder);

// Writes bytes as a new backup of the device taken at `now` and returns its path; then removes the
// device's oldest backups beyond policy.keep. The backup is in place and synced when this returns;
// only a failure to write it is a failure (a File failure naming the device's folder or the file):
// an old backup that cannot be removed stays.
Result<std::string> SaveBackup(const BackupPolicy& policy, uint32_t deviceNumber,
                               std::string_view bytes, std::time_t now);

// Removes the oldest of the device's backups so that at most policy.keep (at least 1) remain;
// the backup at `spare` (one just taken) is never removed and counts as one of them.
void PruneBackups(const BackupPolicy& policy, uint32_t deviceNumber, const std::string& spare = {});

// A backup as the lists of backups show it: its device, its entry and how many variables it
// holds, read as any gateway settings file is (none, with the reader's reason, when it cannot be).
struct BackupSummary {
    uint32_t device = 0;
    BackupEntry entry;
    std::optional<unsigned> variables;
    std::string problem;  // UTF-8, when variables is none
};

// The backups of the device, oldest first; with deviceNumber 0, those of every device that has a
// folder of its number, by device number. A folder that cannot be read is a File failure.
Result<std::vector<BackupSummary>> ListBackupSummaries(const std::string& folder,
                                                       uint32_t deviceNumber);
