#include "app/backups.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <tuple>

#include "app/atomicfilewriter.h"
#include "app/gatewayfile.h"
#include "app/messages.h"
#include "app/snvtlist.h"
#include "base/parseuint.h"
#include "base/uniquefd.h"
#include "optlist/xmldocument.h"

namespace {

constexpr char kSuffix[] = ".cfg";
constexpr size_t kStampLength = 17;  // "YYYY-MM-DD_HHMMSS"
// More backups of one device in one second than any store could make: a bound on the search for
// a free name.
constexpr unsigned kMaxSequence = 10000;

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The stamp and counter of a backup's name; false for a name that is not a backup's.
bool ParseName(std::string_view name, std::string_view& stamp, unsigned& sequence) {
    constexpr size_t suffix = sizeof kSuffix - 1;
    if (name.size() < kStampLength + suffix || name.substr(name.size() - suffix) != kSuffix)
        return false;
    stamp = name.substr(0, kStampLength);
    const std::string_view shape = "dddd-dd-dd_dddddd";
    for (size_t i = 0; i < kStampLength; ++i) {
        const bool digit = stamp[i] >= '0' && stamp[i] <= '9';
        if (shape[i] == 'd' ? !digit : stamp[i] != shape[i]) return false;
    }
    const std::string_view rest = name.substr(kStampLength, name.size() - suffix - kStampLength);
    sequence = 1;
    if (rest.empty()) return true;
    if (rest[0] != '_' || rest.size() > 6 || !IsDigits(rest.substr(1))) return false;
    sequence =
        static_cast<unsigned>(std::strtoul(std::string(rest.substr(1)).c_str(), nullptr, 10));
    return sequence >= 2;
}

std::string StampOf(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d_%H%M%S", &local);
    return text;
}

// Creates folder and its parents as needed; errno of the step that failed, 0 when it is there.
int MakeFolders(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return ec.value();
}

// Calls each(folder's descriptor, name) for every entry of folder; a folder that is not there has
// none. A folder that cannot be read is a File failure.
Status ForEachEntry(const std::string& folder,
                    const std::function<void(int folderFd, const char* name)>& each) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        if (errno == ENOENT) return Status();
        return Failure::OfFile(folder, errno);
    }
    while (const dirent* e = ::readdir(dir)) each(::dirfd(dir), e->d_name);
    ::closedir(dir);
    return Status();
}

}  // namespace

std::string DefaultBackupFolder(const std::string& programDir, bool installed) {
    if (!installed) return programDir + "backups";
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
        data = std::string(home) + "/.local/share";
    } else {
        data = ".local/share";
    }
    return data + "/vr7loncfgmaker/backups";
}

std::string DeviceBackupFolder(const std::string& folder, uint32_t deviceNumber) {
    std::string path = folder;
    if (path.empty()) path = ".";
    if (path.back() != '/') path += '/';
    return path + std::to_string(deviceNumber);
}

Result<std::vector<BackupEntry>> ListBackups(const std::string& folder, uint32_t deviceNumber) {
    const std::string deviceFolder = DeviceBackupFolder(folder, deviceNumber);
    std::vector<BackupEntry> entries;
    const Status read = ForEachEntry(deviceFolder, [&](int folderFd, const char* name) {
        std::string_view stamp;
        unsigned sequence = 1;
        if (!ParseName(name, stamp, sequence)) return;
        struct stat st;
        // Only a regular file is a backup: a folder or a link of that name is not.
        if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            return;
        BackupEntry entry;
        entry.name = name;
        entry.path = deviceFolder + "/" + entry.name;
        entry.size = static_cast<uint64_t>(st.st_size);
        entry.sequence = sequence;
        std::string taken(stamp);
        taken[10] = ' ';
        taken.insert(15, ":");
        taken.insert(13, ":");
        entry.taken = std::move(taken);
        entries.push_back(std::move(entry));
    });
    if (!read) return read.failure();
    std::sort(entries.begin(), entries.end(), [](const BackupEntry& a, const BackupEntry& b) {
        return std::tie(a.taken, a.sequence) < std::tie(b.taken, b.sequence);
    });
    return entries;
}

Status PrepareBackupFolder(const std::string& folder) {
    const std::string path = folder.empty() ? std::string(".") : folder;
    if (const int error = MakeFolders(path); error != 0) return Failure::OfFile(path, error);
    if (::access(path.c_str(), W_OK | X_OK) != 0) return Failure::OfFile(path, errno);
    return Status();
}

Result<std::string> SaveBackup(const BackupPolicy& policy, uint32_t deviceNumber,
                               std::string_view bytes, std::time_t now) {
    const std::string deviceFolder = DeviceBackupFolder(policy.folder, deviceNumber);
    if (const int error = MakeFolders(deviceFolder); error != 0)
        return Failure::OfFile(deviceFolder, error);
    const std::string stamp = StampOf(now);
    AtomicFileWriter writer;
    if (Status opened = writer.Open(deviceFolder + "/" + stamp + kSuffix); !opened)
        return opened.failure();
    if (Status written = writer.Write(bytes); !written) return written.failure();
    std::string committed;
    const Status put = writer.CommitAsNew(
        [&stamp](unsigned attempt) {
            return attempt == 0 ? stamp + kSuffix
                                : stamp + "_" + std::to_string(attempt + 1) + kSuffix;
        },
        kMaxSequence, committed);
    if (!put) return put.failure();
    // The backup just taken stays whatever its name: after the clock went back it sorts first.
    PruneBackups(policy, deviceNumber, committed);
    return committed;
}

void PruneBackups(const BackupPolicy& policy, uint32_t deviceNumber, const std::string& spare) {
    Result<std::vector<BackupEntry>> listed = ListBackups(policy.folder, deviceNumber);
    if (!listed) return;
    std::vector<BackupEntry>& entries = listed.value();
    std::erase_if(entries, [&spare](const BackupEntry& e) { return e.path == spare; });
    const size_t keep = std::max<size_t>(policy.keep, 1) - (spare.empty() ? 0 : 1);
    for (size_t i = 0; i + keep < entries.size(); ++i) (void)::unlink(entries[i].path.c_str());
}

namespace {

// The numbers of the devices that have a folder in the backups folder, in order.
Result<std::vector<uint32_t>> DevicesWithBackups(const std::string& folder) {
    std::vector<uint32_t> devices;
    const Status read = ForEachEntry(folder, [&devices](int, const char* name) {
        uint32_t number = 0;
        // Only a number as the store names it: no blanks, sign or leading zero.
        if (ParseUint32(name, number) && std::to_string(number) == name) devices.push_back(number);
    });
    if (!read) return read.failure();
    std::sort(devices.begin(), devices.end());
    return devices;
}

}  // namespace

Result<std::vector<BackupSummary>> ListBackupSummaries(const std::string& folder,
                                                       uint32_t deviceNumber) {
    std::vector<uint32_t> devices{deviceNumber};
    if (deviceNumber == 0) {
        Result<std::vector<uint32_t>> found = DevicesWithBackups(folder);
        if (!found) return found.failure();
        devices = std::move(found).value();
    }
    std::vector<BackupSummary> summaries;
    for (const uint32_t device : devices) {
        Result<std::vector<BackupEntry>> entries = ListBackups(folder, device);
        if (!entries) return entries.failure();
        for (BackupEntry& entry : entries.value()) {
            BackupSummary summary;
            summary.device = device;
            XmlDocument noCatalogue;  // counting never looks variables up
            SnvtList list(noCatalogue);
            if (const Status loaded = LoadGatewayFileAt(list, entry.path); loaded) {
                summary.variables = list.UsedVariables();
            } else {
                summary.problem = usertext::FailureReason(loaded.failure());
            }
            summary.entry = std::move(entry);
            summaries.push_back(std::move(summary));
        }
    }
    return summaries;
}
