#include "cli/backupoptions.h"

#include <cerrno>
#include <filesystem>

#include "base/installpaths.h"
#include "base/parseuint.h"
#include "base/syserror.h"
#include "base/u8path.h"
#include "cli/clitext.h"

namespace {
constexpr uint32_t kMostKept = 100000;
}

const std::vector<CliOption>& BackupOptions() {
    static const std::vector<CliOption> options = {
        {"--backup-dir", true}, {"--no-backup", false}, {"--keep-backups", true}};
    return options;
}

std::string BackupFolder(const CliContext& ctx, const CliArgs& args) {
    if (args.Has("--backup-dir")) return args.Value("--backup-dir");
    return DefaultBackupFolder(ctx.env.programDir, !InstalledDataDir().empty());
}

bool ParseBackupPolicy(const CliContext& ctx, const CliArgs& args,
                       std::optional<BackupPolicy>& policy, std::string& error) {
    policy.reset();
    if (args.Has("--no-backup")) return true;
    BackupPolicy chosen;
    chosen.folder = BackupFolder(ctx, args);
    if (chosen.folder.empty()) {
        error = clitext::UsageText(clitext::Usage::BackupDirNeedsFolder);
        return false;
    }
    if (args.Has("--keep-backups")) {
        uint32_t keep = 0;
        if (!ParseUint32(args.Value("--keep-backups"), keep) || keep == 0 || keep > kMostKept) {
            error = clitext::KeepBackupsRange(kMostKept);
            return false;
        }
        chosen.keep = keep;
    }
    policy = std::move(chosen);
    return true;
}

std::string BackupFolderProblem(const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path path = PathFromUtf8(folder);
    std::error_code ec;
    const fs::file_status own = fs::symlink_status(path, ec);
    if (ec || !fs::exists(own)) return {};
    fs::file_status status = own;
    if (fs::is_symlink(own)) {
        status = fs::status(path, ec);
        if (ec) {
            const int error = ec.value();
            std::error_code readEc;
            const std::string target = Utf8FromPath(fs::read_symlink(path, readEc));
            return error == ENOENT ? clitext::DanglingLink(folder, target)
                                   : clitext::LinkProblem(folder, target, SystemErrorText(error));
        }
    }
    if (!fs::is_directory(status)) return clitext::NotAFolder(folder);
    return {};
}
