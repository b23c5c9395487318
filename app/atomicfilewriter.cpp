#include "app/atomicfilewriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

// The temporary files being written, for a termination signal's handler to remove: fixed slots,
// since the handler may only read memory and call async-signal-safe functions.
constexpr int kSlots = 16;
struct TempSlot {
    std::atomic<bool> used{false};
    char path[PATH_MAX];
};
TempSlot g_temps[kSlots];

// Lists path; -1 when every slot is taken (the file is then only removed by the writer).
int ListTemp(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!g_temps[i].used.load() && g_temps[i].used.compare_exchange_strong(expected, true)) {
            // Marked used first, so that no other writer takes the slot; the handler may see it
            // before the path is there, which costs an unlink of a stale or empty name.
            std::memcpy(g_temps[i].path, path.c_str(), path.size() + 1);
            return i;
        }
    }
    return -1;
}

void UnlistTemp(int& slot) {
    if (slot >= 0) g_temps[slot].used.store(false);
    slot = -1;
}

extern "C" void RemoveTempsAndEnd(int signal) {
    for (TempSlot& t : g_temps)
        if (t.used.load()) ::unlink(t.path);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

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

// Writes all of data to fd.
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

}  // namespace

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

    const std::string stem = FolderOf(target_) + "/." + NameOf(target_) + ".tmp";
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = stem + std::to_string(::getpid()) + "_" + std::to_string(attempt);
        // Listed before it exists, so that a signal can never leave it behind.
        slot_ = ListTemp(candidate);
        fd_.Reset(::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd_) {
            temp_ = std::move(candidate);
            break;
        }
        const int error = errno;
        UnlistTemp(slot_);
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
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(errno);
    UnlistTemp(slot_);
    temp_.clear();
    // The rename itself becomes durable with the folder; a failure here no longer loses data.
    const UniqueFd dir(::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) (void)::fsync(dir.Get());
    return Status();
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
    UnlistTemp(slot_);
}

void AtomicFileWriter::RemoveTemporaryFilesOnTermination() {
    struct sigaction action {};
    action.sa_handler = RemoveTempsAndEnd;
    sigemptyset(&action.sa_mask);
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
    for (int signal : signals) sigaddset(&action.sa_mask, signal);
    for (int signal : signals) {
        // A signal the program was started to ignore (nohup, a background job) stays ignored.
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}
