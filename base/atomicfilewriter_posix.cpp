#include "base/atomicfilewriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "base/tempregistry.h"

using namespace atomicfile;

namespace {

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
        std::string candidate = TempName(folder, stem, attempt);
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
