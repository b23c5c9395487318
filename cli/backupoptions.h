#pragma once
// The options that decide a store's backup of the device's settings, shared by "vr7lon device
// store", "device restore", "device backups" and "vr7lon fleet ... store".
#include <optional>
#include <string>
#include <vector>

#include "app/backups.h"
#include "base/cliargs.h"
#include "cli/clicontext.h"

// --backup-dir DIR, --no-backup, --keep-backups N.
const std::vector<CliOption>& BackupOptions();

// The usage lines of the options, for a command's usage text.
#define VR7_BACKUP_OPTIONS_USAGE                                                                \
    "  --backup-dir DIR     keep the device's duxgate.cfg in DIR/<device number>/ before the\n" \
    "                       upload (default: \"backups\" beside vr7lon, or\n"                   \
    "                       ~/.local/share/vr7loncfgmaker/backups when installed)\n"            \
    "  --keep-backups N     keep the newest N backups of a device (default 20; the newest is\n" \
    "                       always kept)\n"                                                     \
    "  --no-backup          store without keeping the device's settings first\n"

// The backups folder the options name, else the user's (beside vr7lon for a portable copy,
// "~/.local/share/vr7loncfgmaker/backups" for an installed one).
std::string BackupFolder(const CliContext& ctx, const CliArgs& args);

// The store's backup policy from the options: none with --no-backup (which wins over the others).
// False, with error set, for a --keep-backups that is no number from 1 to 100000.
bool ParseBackupPolicy(const CliContext& ctx, const CliArgs& args,
                       std::optional<BackupPolicy>& policy, std::string& error);
