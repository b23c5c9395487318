#include "device/backups.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <tuple>

#include "app/messages.h"
#include "base/atomicfilewriter.h"
#include "base/cp1251.h"
#include "base/heldfolder.h"
#include "base/localclock.h"
#include "base/parseuint.h"
#include "base/tempregistry.h"
#include "base/u8path.h"
#include "base/uniquefd.h"
#include "base/wholefile.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
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
    const std::tm local = LocalTime(now);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d_%H%M%S", &local);
    return text;
}

// Creates folder and its parents as needed; errno of the step that failed, 0 when it is there.
int MakeFolders(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(PathFromUtf8(folder), ec);
    return ec.value();
}

// Calls each(folder, name) for every entry of folder; a folder that is not there has none. A
// folder that cannot be read is a File failure.
Status ForEachEntry(
    const std::string& folder,
    const std::function<void(const HeldFolder& held, const std::string& name)>& each) {
    HeldFolder held;
    if (const int error = held.Open(folder, true); error != 0) {
        if (error == ENOENT) return Status();
        return Failure::OfFile(folder, error);
    }
    held.ForEach([&](const std::string& name) { each(held, name); });
    return Status();
}

// name in folder ("." for none).
std::string Under(const std::string& folder, const std::string& name) {
    std::string path = folder.empty() ? std::string(".") : folder;
    if (path.back() != '/') path += '/';
    return path + name;
}

// A number as the store names a device's folder: no blanks, sign or leading zero.
bool IsNumberName(const std::string& name, uint32_t& number) {
    return ParseUint32(name, number) && std::to_string(number) == name;
}

// The components under the backups folder of a device's folder.
std::vector<std::string> DeviceFolderParts(const BackupDevice& device) {
    std::vector<std::string> parts;
    if (!device.line.empty()) parts.push_back(device.line);
    parts.push_back(std::to_string(device.number));
    return parts;
}

// Opens the device's folder, every step below the backups folder taken relative to the one above
// and never through a symbolic link; with create, the missing ones are made. A File failure names
// the step that failed (ELOOP or ENOTDIR for a link or a file in a folder's place; ENOENT when
// the device has none and create is false).
Result<HeldFolder> OpenDeviceFolder(const std::string& folder, const BackupDevice& device,
                                    bool create) {
    const std::string top = folder.empty() ? std::string(".") : folder;
    if (create) {
        if (const int error = MakeFolders(top); error != 0) return Failure::OfFile(top, error);
    }
    HeldFolder held;
    if (const int error = held.Open(top, true); error != 0) return Failure::OfFile(top, error);
    for (const std::string& part : DeviceFolderParts(device)) {
        HeldFolder next;
        if (const int error = held.OpenChild(part, create, next); error != 0)
            return Failure::OfFile(next.Path(), error);
        held = std::move(next);
    }
    return held;
}

// The temporary names of a backup being written: ".<name>.tmp<PID>_<N>".
std::string TempName(const std::string& name, unsigned attempt) {
    return "." + name + ".tmp" + std::to_string(CurrentProcessId()) + "_" + std::to_string(attempt);
}

// The process that writes the backup whose temporary name this is, or 0 for any other name.
ProcessId TempOwner(std::string_view entry) {
    if (entry.empty() || entry[0] != '.') return 0;
    const size_t tmp = entry.rfind(".tmp");
    if (tmp == std::string_view::npos || tmp == 0) return 0;
    std::string_view stamp;
    unsigned sequence = 1;
    if (!ParseName(entry.substr(1, tmp - 1), stamp, sequence)) return 0;
    const std::string_view rest = entry.substr(tmp + 4);
    const size_t underscore = rest.find('_');
    // No '_' (npos) is beyond any pid's ten digits too.
    if (underscore > 10 || !IsDigits(rest.substr(0, underscore)) ||
        !IsDigits(rest.substr(underscore + 1)) || rest.size() - underscore - 1 > 5)
        return 0;
    const unsigned long pid =
        std::strtoul(std::string(rest.substr(0, underscore)).c_str(), nullptr, 10);
    return pid > 0 && pid <= INT_MAX ? static_cast<ProcessId>(pid) : 0;
}

// Removes the temporary files that stores killed while writing a backup left in the device's
// folder (their process is gone); those of a store still at work are its own.
void RemoveStaleTemps(const HeldFolder& folder) {
    folder.ForEach([&folder](const std::string& name) {
        const ProcessId owner = TempOwner(name);
        if (owner != 0 && owner != CurrentProcessId() && ProcessGone(owner)) folder.Remove(name);
    });
}

// The backups of the device folder held, oldest first.
std::vector<BackupEntry> EntriesAt(const HeldFolder& folder, const std::string& deviceFolder) {
    std::vector<BackupEntry> entries;
    folder.ForEach([&](const std::string& name) {
        std::string_view stamp;
        unsigned sequence = 1;
        if (!ParseName(name, stamp, sequence)) return;
        uint64_t size = 0;
        // Only a regular file is a backup: a folder or a link of that name is not.
        if (folder.KindOf(name, &size) != HeldFolder::Kind::File) return;
        BackupEntry entry;
        entry.name = name;
        entry.path = Under(deviceFolder, entry.name);
        entry.size = size;
        entry.sequence = sequence;
        std::string taken(stamp);
        taken[10] = ' ';
        taken.insert(15, ":");
        taken.insert(13, ":");
        entry.taken = std::move(taken);
        entries.push_back(std::move(entry));
    });
    std::sort(entries.begin(), entries.end(), [](const BackupEntry& a, const BackupEntry& b) {
        return std::tie(a.taken, a.sequence) < std::tie(b.taken, b.sequence);
    });
    return entries;
}

std::optional<std::string> BackupBytesAt(const HeldFolder& folder, const std::string& name,
                                         uint64_t size) {
    UniqueFd file;
    if (folder.OpenToRead(name, file) != 0) return std::nullopt;
    return HeldFolder::ReadUpTo(file, size);
}

// Removes the oldest backups of the device folder held beyond keep settings (at least 1): a run
// of identical backups, one after the other, is one setting. spare (a name) is never among them
// and counts as one kept. One pruning at a time per folder: the folder is locked while it runs.
// A backup that a store holds (BackupHold) is not removed.
void PruneAt(const HeldFolder& folder, const std::string& deviceFolder, size_t keep,
             const std::string& spare) {
    folder.Lock();
    std::vector<BackupEntry> entries = EntriesAt(folder, deviceFolder);
    std::erase_if(entries, [&spare](const BackupEntry& e) { return e.name == spare; });
    const size_t others = std::max<size_t>(keep, 1) - (spare.empty() ? 0 : 1);
    std::optional<std::string> newer;  // the bytes of the entry after i, once read
    size_t settings = 0;
    for (size_t i = entries.size(); i-- > 0;) {
        std::optional<std::string> bytes;
        bool same = false;
        if (i + 1 < entries.size() && entries[i].size == entries[i + 1].size) {
            if (!newer) newer = BackupBytesAt(folder, entries[i + 1].name, entries[i + 1].size);
            bytes = BackupBytesAt(folder, entries[i].name, entries[i].size);
            same = newer && bytes && *newer == *bytes;
        }
        newer = std::move(bytes);
        if (!same) ++settings;
        if (settings > others) folder.RemoveUnlessHeld(entries[i].name);
    }
    folder.Unlock();
}

// Moves the file `from` of the folder held to the first name of stamp that no entry has (a
// planted link included): "<stamp>.cfg", then "<stamp>_2.cfg"... Its name, or a File failure.
Result<std::string> MoveUnderFreeName(const HeldFolder& folder, const std::string& deviceFolder,
                                      const std::string& from, const std::string& stamp) {
    for (unsigned attempt = 0; attempt < kMaxSequence; ++attempt) {
        std::string name = stamp;
        if (attempt != 0) name.append("_").append(std::to_string(attempt + 1));
        name += kSuffix;
        const int error = folder.MoveToNew(from, name);
        if (error == 0) return name;
        if (error != EEXIST) return Failure::OfFile(Under(deviceFolder, name), error);
    }
    return Failure::OfFile(Under(deviceFolder, stamp + kSuffix), EEXIST);
}

// When the device's newest backup holds the bytes already, it stands for a new one: renamed
// after `now` (the last time the device was found with these settings) unless another store
// holds it (that store reports it by its name), then held as a new one would be. Its name, or
// none when it differs or a pruning has it. Runs under the folder's lock, as pruning does.
std::optional<std::string> SeenAgain(const HeldFolder& folder, const std::string& deviceFolder,
                                     std::string_view bytes, std::time_t now,
                                     std::shared_ptr<BackupHold>* hold) {
    const std::vector<BackupEntry> entries = EntriesAt(folder, deviceFolder);
    if (entries.empty() || entries.back().size != bytes.size()) return std::nullopt;
    std::string name = entries.back().name;
    UniqueFd file;
    if (folder.OpenToRead(name, file) != 0) return std::nullopt;
    // Held before it is compared; no pruning can take it while the folder is locked.
    const HeldFolder::HoldTaken taken = HeldFolder::TryHold(file);
    if (taken == HeldFolder::HoldTaken::None || !folder.IsNamed(file, name)) return std::nullopt;
    const std::optional<std::string> kept = HeldFolder::ReadUpTo(file, bytes.size());
    if (!kept || *kept != bytes) return std::nullopt;
    const bool alone = taken == HeldFolder::HoldTaken::Alone;
    const std::string stamp = StampOf(now);
    // Never renamed back in time (a clock put back) nor within its own second.
    if (alone && stamp > name.substr(0, kStampLength)) {
        if (Result<std::string> renamed = MoveUnderFreeName(folder, deviceFolder, name, stamp)) {
            name = std::move(renamed).value();
            (void)folder.Sync();
        }
    }
    if (alone) HeldFolder::ShareHold(file);
    if (hold) *hold = std::make_shared<BackupHold>(std::move(file));
    return name;
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

std::string DeviceBackupFolder(const std::string& folder, const BackupDevice& device) {
    std::string path = folder.empty() ? std::string(".") : folder;
    for (const std::string& part : DeviceFolderParts(device)) path = Under(path, part);
    return path;
}

Result<std::vector<BackupEntry>> ListBackups(const std::string& folder,
                                             const BackupDevice& device) {
    Result<HeldFolder> opened = OpenDeviceFolder(folder, device, false);
    if (!opened) {
        // No folder yet: no backups.
        if (opened.failure().errorNumber == ENOENT) return std::vector<BackupEntry>();
        return opened.failure();
    }
    return EntriesAt(opened.value(), DeviceBackupFolder(folder, device));
}

Status PrepareBackupFolder(const std::string& folder) {
    const std::string path = folder.empty() ? std::string(".") : folder;
    if (const int error = MakeFolders(path); error != 0) return Failure::OfFile(path, error);
    if (const int error = FolderWritable(path); error != 0) return Failure::OfFile(path, error);
    return Status();
}

Result<std::string> SaveBackup(const BackupPolicy& policy, const BackupDevice& device,
                               std::string_view bytes, std::time_t now,
                               std::shared_ptr<BackupHold>* hold) {
    const std::string deviceFolder = DeviceBackupFolder(policy.folder, device);
    Result<HeldFolder> opened = OpenDeviceFolder(policy.folder, device, true);
    if (!opened) return opened.failure();
    const HeldFolder& dir = opened.value();
    RemoveStaleTemps(dir);
    dir.Lock();
    const std::optional<std::string> seen = SeenAgain(dir, deviceFolder, bytes, now, hold);
    dir.Unlock();
    if (seen) {
        PruneAt(dir, deviceFolder, policy.keep, *seen);
        return Under(deviceFolder, *seen);
    }

    const std::string stamp = StampOf(now);
    const std::string first = stamp + kSuffix;
    std::string temp;
    UniqueFd file;
    tempregistry::Entry* listed = nullptr;
    for (unsigned attempt = 0; attempt < 100 && !file; ++attempt) {
        temp = TempName(first, attempt);
        // Listed before it exists, so that a termination signal never leaves it behind.
        const tempregistry::Making making;
        if (!making.Allowed()) return Failure::OfFile(Under(deviceFolder, first), EINTR);
        listed = tempregistry::Add(Under(deviceFolder, temp), false);
        const int error = dir.CreateNew(temp, file);
        if (error == 0) break;
        tempregistry::Remove(listed);
        listed = nullptr;
        if (error != EEXIST) return Failure::OfFile(Under(deviceFolder, temp), error);
    }
    if (!file) return Failure::OfFile(Under(deviceFolder, first), EEXIST);
    struct TempGone {
        const HeldFolder& dir;
        const std::string& name;
        tempregistry::Entry*& entry;
        ~TempGone() {
            if (!name.empty()) dir.Remove(name);
            tempregistry::Remove(entry);
        }
    } gone{dir, temp, listed};

    // Held from before it has a name: no pruning can take it between its naming and its store's
    // report.
    HeldFolder::Hold(file);
    const std::string tempPath = Under(deviceFolder, temp);
    if (const int error = WriteAll(file.Get(), bytes); error != 0)
        return Failure::OfFile(tempPath, error);
    if (const int error = SyncFile(file); error != 0) return Failure::OfFile(tempPath, error);

    Result<std::string> moved = MoveUnderFreeName(dir, deviceFolder, temp, stamp);
    if (!moved) return moved.failure();
    const std::string name = std::move(moved).value();
    // Gone now, and by name only once: another writer of this process may take the name next.
    temp.clear();
    if (const int error = dir.Sync(); error != 0) return Failure::OfFile(deviceFolder, error);

    // The backup just taken stays whatever its name: after the clock went back it sorts first.
    PruneAt(dir, deviceFolder, policy.keep, name);
    if (hold) *hold = std::make_shared<BackupHold>(std::move(file));
    return Under(deviceFolder, name);
}

void PruneBackups(const BackupPolicy& policy, const BackupDevice& device,
                  const std::string& spare) {
    Result<HeldFolder> opened = OpenDeviceFolder(policy.folder, device, false);
    if (!opened) return;
    const std::string deviceFolder = DeviceBackupFolder(policy.folder, device);
    std::string spareName;
    if (!spare.empty()) {
        const size_t slash = spare.rfind('/');
        spareName = slash == std::string::npos ? spare : spare.substr(slash + 1);
    }
    PruneAt(opened.value(), deviceFolder, policy.keep, spareName);
}

namespace {

// The numbers of the devices that have a folder in folder, in order.
Result<std::vector<uint32_t>> NumberFolders(const std::string& folder) {
    std::vector<uint32_t> devices;
    const Status read =
        ForEachEntry(folder, [&devices](const HeldFolder&, const std::string& name) {
            uint32_t number = 0;
            if (IsNumberName(name, number)) devices.push_back(number);
        });
    if (!read) return read.failure();
    std::sort(devices.begin(), devices.end());
    return devices;
}

// The lines that have a folder in the backups folder, in order: every folder but a number's (the
// line unknown's devices) and a hidden one.
Result<std::vector<std::string>> LineFolders(const std::string& folder) {
    std::vector<std::string> lines;
    const Status read =
        ForEachEntry(folder, [&lines](const HeldFolder& held, const std::string& name) {
            uint32_t number = 0;
            if (name[0] == '.' || IsNumberName(name, number)) return;
            if (held.KindOf(name) == HeldFolder::Kind::Folder) lines.push_back(name);
        });
    if (!read) return read.failure();
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The summaries of the device's backups, appended to summaries.
Status Summarize(const std::string& folder, const BackupDevice& device,
                 std::vector<BackupSummary>& summaries) {
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
            summary.problem = usertext::FailureReason(loaded.failure()).str();
        }
        summary.entry = std::move(entry);
        summaries.push_back(std::move(summary));
    }
    return Status();
}

}  // namespace

Result<std::vector<BackupSummary>> ListBackupSummaries(const std::string& folder,
                                                       const BackupDevice& device,
                                                       BackupScope scope) {
    std::vector<BackupDevice> devices;
    if (device.number != 0) {
        devices.push_back(device);
        if (scope == BackupScope::WithOlder && !device.line.empty())
            devices.push_back({std::string(), device.number});
    } else {
        std::vector<std::string> lines{device.line};
        if (device.line.empty()) {
            Result<std::vector<std::string>> found = LineFolders(folder);
            if (!found) return found.failure();
            lines = std::move(found).value();
        }
        for (const std::string& line : lines) {
            Result<std::vector<uint32_t>> numbers = NumberFolders(Under(folder, line));
            if (!numbers) return numbers.failure();
            for (const uint32_t number : numbers.value()) devices.push_back({line, number});
        }
        if (scope == BackupScope::WithOlder) {
            Result<std::vector<uint32_t>> numbers =
                NumberFolders(folder.empty() ? std::string(".") : folder);
            if (!numbers) return numbers.failure();
            for (const uint32_t number : numbers.value())
                devices.push_back({std::string(), number});
        }
    }
    std::vector<BackupSummary> summaries;
    for (const BackupDevice& d : devices) {
        if (const Status listed = Summarize(folder, d, summaries); !listed) return listed.failure();
    }
    return summaries;
}

Status CheckBackupBytes(std::string_view bytes) {
    // The line of an offset, counted from 1.
    const auto lineAt = [bytes](size_t offset) {
        return static_cast<size_t>(
                   std::count(bytes.begin(), bytes.begin() + static_cast<long>(offset), '\n')) +
               1;
    };
    const auto refuse = [](const Cp1251String& why, size_t line) {
        return Failure::OfInvalid(cp1251::ToUtf8(why), std::string(), line);
    };
    if (bytes.empty()) return refuse(usertext::BackupEmpty(), 0);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if ((byte < 0x20 && byte != '\r' && byte != '\n') || byte == 0x7F)
            return refuse(usertext::BackupBadByte(lineAt(i), byte), lineAt(i));
    }
    if (bytes.size() < 2 || bytes.substr(bytes.size() - 2) != "\r\n")
        return refuse(usertext::BackupCut(lineAt(bytes.size())), lineAt(bytes.size()));
    XmlDocument noCatalogue;  // reading rows never looks variables up
    SnvtList list(noCatalogue);
    if (const Status loaded = LoadGatewayBytes(list, bytes); !loaded) return loaded;
    if (list.RowCount() == 0) return refuse(usertext::BackupNoRows(), 0);
    // Every line is one the reader takes whole when the rows it read give back the very bytes:
    // a line it skips, or reads otherwise than it stands, is where they part.
    const std::string text = GatewayFileText(list);
    if (text != bytes) {
        const size_t common = std::min(text.size(), bytes.size());
        const size_t at = static_cast<size_t>(
            std::mismatch(bytes.begin(), bytes.begin() + static_cast<long>(common), text.begin())
                .first -
            bytes.begin());
        return refuse(usertext::BackupBadLine(lineAt(at)), lineAt(at));
    }
    return Status();
}

Result<std::string> ReadBackupForRestore(const std::string& path) {
    Result<std::string> read = ReadWholeFile(path, inputlimit::kSettingsFile);
    if (!read) return read.failure();
    if (const Status checked = CheckBackupBytes(read.value()); !checked) {
        Failure failure = checked.failure();
        failure.path = path;
        return failure;
    }
    return read;
}
