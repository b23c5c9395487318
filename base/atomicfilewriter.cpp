#include "base/atomicfilewriter.h"

#include <cerrno>
#include <climits>
#include <string_view>

#include "base/heldfolder.h"
#include "base/tempregistry.h"

namespace atomicfile {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TempStem(const std::string& name) {
    constexpr size_t kNameMax = 255;
    constexpr size_t kSuffix = 4 + 10 + 1 + 2;  // "tmp" + a pid + "_" + N, at most
    return name.size() + 2 + kSuffix <= kNameMax ? "." + name + ".tmp" : ".tmp";
}

namespace {

// The process id in entry when entry is one of the temporary names with that stem, else 0.
ProcessId TempOwner(std::string_view entry, std::string_view stem) {
    if (entry.substr(0, stem.size()) != stem) return 0;
    entry.remove_prefix(stem.size());
    const size_t underscore = entry.find('_');
    if (underscore == 0 || underscore == std::string_view::npos || underscore > 10 ||
        underscore + 1 == entry.size() || entry.size() - underscore - 1 > 2)
        return 0;
    long long pid = 0;
    for (size_t i = 0; i < entry.size(); ++i) {
        if (i == underscore) continue;
        if (entry[i] < '0' || entry[i] > '9') return 0;
        if (i < underscore) pid = pid * 10 + (entry[i] - '0');
    }
    return pid > 0 && pid <= INT_MAX ? static_cast<ProcessId>(pid) : 0;
}

}  // namespace

void RemoveStaleTemps(const std::string& folder, const std::string& stem) {
    HeldFolder held;
    if (held.Open(folder, true) != 0) return;
    held.ForEach([&](const std::string& name) {
        const ProcessId owner = TempOwner(name, stem);
        if (owner != 0 && owner != CurrentProcessId() && ProcessGone(owner)) held.Remove(name);
    });
}

std::string TempName(const std::string& folder, const std::string& stem, unsigned attempt) {
    std::string name = folder;
    name.append("/").append(stem).append(std::to_string(CurrentProcessId()));
    return name.append("_").append(std::to_string(attempt));
}

}  // namespace atomicfile

AtomicFileWriter::~AtomicFileWriter() {
    Discard();
}

Status AtomicFileWriter::Write(std::string_view data) {
    if (!fd_) return Fail(EBADF);
    if (through_) {
        pending_.append(data);
        return Status();
    }
    const int error = WriteAll(fd_.Get(), data);
    if (error != 0) return Fail(error);
    return Status();
}

Failure AtomicFileWriter::Fail(int error) {
    Discard();
    return Failure::OfFile(path_, error);
}

void AtomicFileWriter::RemoveTemporaryFilesOnTermination() {
    tempregistry::RemoveOnTermination();
}

Status WriteFileWhole(const std::string& path, std::string_view bytes) {
    AtomicFileWriter file;
    if (Status opened = file.Open(path); !opened) return opened;
    if (Status written = file.Write(bytes); !written) return written;
    return file.Commit();
}
