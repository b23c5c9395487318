#pragma once
// The options that decide a store's backup of the device's settings, shared by "vr7lon device
// store", "device restore", "device backups" and "vr7lon fleet ... store".
#include <optional>
#include <string>
#include <vector>

#include "base/cliargs.h"
#include "cli/clicontext.h"
#include "device/backups.h"

// --backup-dir DIR, --no-backup, --keep-backups N.
const std::vector<CliOption>& BackupOptions();

// The usage lines of the options, for a command's usage text.
#define VR7_BACKUP_OPTIONS_USAGE                                                               \
    "  --backup-dir DIR     keep the device's duxgate.cfg in DIR/<line>/<device number>/\n"    \
    "                       before the upload, <line> being tcp-HOST-PORT or serial-NAME\n"    \
    "                       (see the manual; default: \"backups\" beside vr7lon; when\n"       \
    "                       installed,\n"                                                      \
    "                       $XDG_DATA_HOME/vr7loncfgmaker/backups, or\n"                       \
    "                       ~/.local/share/vr7loncfgmaker/backups without XDG_DATA_HOME)\n"    \
    "  --keep-backups N     after each backup, remove the device's oldest ones beyond the\n"   \
    "                       newest N settings (1 to 100000, default 20); settings identical\n" \
    "                       to the newest backup are not kept twice\n"                         \
    "  --no-backup          store without keeping the device's settings first\n"

// The backups folder the options name, else the user's (beside vr7lon for a portable copy,
// "$XDG_DATA_HOME/vr7loncfgmaker/backups" or "~/.local/share/..." for an installed one).
std::string BackupFolder(const CliContext& ctx, const CliArgs& args);

// The store's backup policy from the options: none with --no-backup (which wins over the others).
// False, with error set, for a --keep-backups that is no number from 1 to 100000.
bool ParseBackupPolicy(const CliContext& ctx, const CliArgs& args,
                       std::optional<BackupPolicy>& policy, std::string& error);

// What is wrong with folder as the backups folder, said before a device is touched: a symbolic
// link to nothing, or something that is not a folder ("PATH: ..."); empty when it is a folder or
// does not exist yet (it is made then).
std::string BackupFolderProblem(const std::string& folder);
