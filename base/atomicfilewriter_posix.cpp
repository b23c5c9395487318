#include "base/atomicfilewriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/tempregistry.h"

namespace {

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

// The file a symbolic link points to, so that saving through a link keeps the link. error is set
// for a link that can never be resolved (a loop).
std::string FollowLinks(const std::string& path, int& error) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
    if (errno == ELOOP) error = ELOOP;
    return path;  // a dangling link: replace the link itself
}

// The temporary names of a file NAME: ".NAME.tmpPID_N" beside it, or ".tmpPID_N" where NAME is
// so long that the longer form would be no legal file name.
std::string TempStem(const std::string& name) {
    constexpr size_t kNameMax = 255;
    constexpr size_t kSuffix = 4 + 10 + 1 + 2;  // "tmp" + a pid + "_" + N, at most
    return name.size() + 2 + kSuffix <= kNameMax ? "." + name + ".tmp" : ".tmp";
}

// The process id in entry when entry is one of the temporary names with that stem, else 0.
pid_t TempOwner(std::string_view entry, std::string_view stem) {
    if (entry.substr(0, stem.size()) != stem) return 0;
    entry.remove_prefix(stem.size());
    const size_t underscore = entry.find('_');
    if (underscore == 0 || underscore == std::string_view::npos || underscore > 10 ||
        underscore + 1 == entry.size() || entry.size() - underscore - 1 > 2)
        return 0;
    long pid = 0;
    for (size_t i = 0; i < entry.size(); ++i) {
        if (i == underscore) continue;
        if (entry[i] < '0' || entry[i] > '9') return 0;
        if (i < underscore) pid = pid * 10 + (entry[i] - '0');
    }
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

// Removes the temporary files of stem in folder that a process left when it was killed (its id
// no longer names a process); those of a process still alive are its own business.
void RemoveStaleTemps(const std::string& folder, const std::string& stem) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* d = ::readdir(dir)) {
        const pid_t owner = TempOwner(d->d_name, stem);
        if (owner != 0 && owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(dir), d->d_name, 0);
    }
    ::closedir(dir);
}

}  // namespace

// Writes all of data to fd; the errno of a failure, or 0.
int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

AtomicFileWriter::~AtomicFileWriter() {
    Discard();
}

Status AtomicFileWriter::Open(const std::string& path) {
    Discard();
    path_ = path;
    int linkError = 0;
    target_ = FollowLinks(path, linkError);
    if (linkError != 0) return Fail(linkError);
    if (target_.empty() || target_.back() == '/') return Fail(EISDIR);

    struct stat existing;
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return Fail(errno);
    if (exists && S_ISDIR(existing.st_mode)) return Fail(EISDIR);
    // A file its owner made read-only stays as it is, as it would if written in place.
    if (exists && ::access(target_.c_str(), W_OK) != 0) return Fail(errno);
    if (exists && (S_ISFIFO(existing.st_mode) || S_ISCHR(existing.st_mode))) {
        // Written into, never replaced. Not blocking: a FIFO that no one reads fails (ENXIO)
        // instead of waiting for a reader for ever.
        fd_.Reset(::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd_) return Fail(errno);
        const int flags = ::fcntl(fd_.Get(), F_GETFL);
        if (flags < 0 || ::fcntl(fd_.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return Fail(errno);
        through_ = true;
        return Status();
    }
    if (exists && !S_ISREG(existing.st_mode)) return Fail(ENOTSUP);

    const std::string folder = FolderOf(target_);
    const std::string stem = TempStem(NameOf(target_));
    RemoveStaleTemps(folder, stem);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder;
        candidate.append("/").append(stem).append(std::to_string(::getpid()));
        candidate.append("_").append(std::to_string(attempt));
        // Listed before it exists, so that a signal can never leave it behind.
        const tempregistry::Making making;
        if (!making.Allowed()) return Fail(EINTR);
        entry_ = tempregistry::Add(candidate, false);
        fd_.Reset(::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd_) {
            temp_ = std::move(candidate);
            break;
        }
        const int error = errno;
        tempregistry::Remove(entry_);
        entry_ = nullptr;
        if (error != EEXIST) return Fail(error);
    }
    if (!fd_) return Fail(EEXIST);
    // Best effort: the new file keeps the access rights of the one it replaces.
    if (exists) (void)::fchmod(fd_.Get(), existing.st_mode & 07777);
    return Status();
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

Status AtomicFileWriter::Commit() {
    if (!fd_) return Fail(EBADF);
    if (through_) {
        const int error = WriteAll(fd_.Get(), pending_);
        if (error != 0) return Fail(error);
        if (fd_.Close() != 0) return Fail(errno);
        Discard();
        return Status();
    }
    if (::fsync(fd_.Get()) != 0) return Fail(errno);
    if (fd_.Close() != 0) return Fail(errno);
    {
        // A target that is itself listed (a staged file) is in place before a signal removes it.
        const tempregistry::Making making;
        if (!making.Allowed()) return Fail(EINTR);
        if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(errno);
        tempregistry::Remove(entry_);
        entry_ = nullptr;
    }
    temp_.clear();
    // The rename itself becomes durable with the folder; a failure here no longer loses data.
    const UniqueFd dir(::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) (void)::fsync(dir.Get());
    return Status();
}

Status AtomicFileWriter::CommitAsNew(const std::function<std::string(unsigned)>& nameFor,
                                     unsigned attempts, std::string& committed) {
    if (!fd_ || through_) return Fail(EBADF);
    if (::fsync(fd_.Get()) != 0) return Fail(errno);
    if (fd_.Close() != 0) return Fail(errno);
    const std::string folder = FolderOf(target_);
    for (unsigned attempt = 0; attempt < attempts; ++attempt) {
        std::string candidate = folder + "/" + nameFor(attempt);
        // A hard link is made only under a name no file has: the temporary file then goes.
        if (::link(temp_.c_str(), candidate.c_str()) != 0) {
            if (errno == EEXIST) continue;
            return Fail(errno);
        }
        Discard();
        const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!dir || ::fsync(dir.Get()) != 0) return Failure::OfFile(folder, errno);
        committed = std::move(candidate);
        return Status();
    }
    return Fail(EEXIST);
}

Failure AtomicFileWriter::Fail(int error) {
    Discard();
    return Failure::OfFile(path_, error);
}

void AtomicFileWriter::Discard() {
    fd_.Reset();
    through_ = false;
    pending_.clear();
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    tempregistry::Remove(entry_);
    entry_ = nullptr;
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
