#include "base/heldfolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

ProcessId CurrentProcessId() {
    return ::getpid();
}

bool ProcessGone(ProcessId id) {
    return ::kill(id, 0) != 0 && errno == ESRCH;
}

int FolderWritable(const std::string& path) {
    return ::access(path.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

int SyncFile(const UniqueFd& file) {
    return ::fsync(file.Get()) == 0 ? 0 : errno;
}

HeldFolder::~HeldFolder() = default;
HeldFolder::HeldFolder(HeldFolder&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::move(other.fd_)) {}
HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
    path_ = std::move(other.path_);
    fd_ = std::move(other.fd_);
    return *this;
}

void HeldFolder::Close() {
    fd_.Reset();
}

bool HeldFolder::IsOpen() const {
    return fd_.Valid();
}

int HeldFolder::Open(const std::string& path, bool followLink) {
    path_ = path;
    const int noFollow = followLink ? 0 : O_NOFOLLOW;
    fd_.Reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | noFollow | O_CLOEXEC));
    if (fd_) return 0;
    int error = errno;
    // A symbolic link in a folder's place is said to be one (O_DIRECTORY says ENOTDIR).
    struct stat st;
    if (!followLink && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) error = ELOOP;
    return error;
}

int HeldFolder::OpenChild(const std::string& name, bool create, HeldFolder& child) const {
    child.path_ = path_ + (!path_.empty() && path_.back() == '/' ? "" : "/") + name;
    if (create && ::mkdirat(fd_.Get(), name.c_str(), 0777) != 0 && errno != EEXIST) return errno;
    child.fd_.Reset(
        ::openat(fd_.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (child.fd_) return 0;
    return KindOf(name) == Kind::Link ? ELOOP : errno;
}

void HeldFolder::ForEach(const std::function<void(const std::string& name)>& each) const {
    // A descriptor of its own: readdir moves the one it reads.
    const int own = ::openat(fd_.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0) return;
    DIR* dir = ::fdopendir(own);
    if (!dir) {
        ::close(own);
        return;
    }
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") each(e->d_name);
    }
    ::closedir(dir);
}

HeldFolder::Kind HeldFolder::KindOf(const std::string& name, uint64_t* size) const {
    struct stat st;
    if (::fstatat(fd_.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Kind::Missing;
    if (size) *size = static_cast<uint64_t>(st.st_size);
    if (S_ISREG(st.st_mode)) return Kind::File;
    if (S_ISDIR(st.st_mode)) return Kind::Folder;
    if (S_ISLNK(st.st_mode)) return Kind::Link;
    return Kind::Other;
}

int HeldFolder::CreateNew(const std::string& name, UniqueFd& file) const {
    file.Reset(::openat(fd_.Get(), name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    return file ? 0 : errno;
}

int HeldFolder::MoveToNew(const std::string& from, const std::string& to) const {
    // A hard link is made only under a name no entry has (a planted link included).
    if (::linkat(fd_.Get(), from.c_str(), fd_.Get(), to.c_str(), 0) != 0) return errno;
    ::unlinkat(fd_.Get(), from.c_str(), 0);
    return 0;
}

int HeldFolder::Rename(const std::string& from, const std::string& to) const {
    return ::renameat(fd_.Get(), from.c_str(), fd_.Get(), to.c_str()) == 0 ? 0 : errno;
}

int HeldFolder::Remove(const std::string& name) const {
    return ::unlinkat(fd_.Get(), name.c_str(), 0) == 0 ? 0 : errno;
}

int HeldFolder::Sync() const {
    return ::fsync(fd_.Get()) == 0 ? 0 : errno;
}

void HeldFolder::Lock() const {
    while (::flock(fd_.Get(), LOCK_EX) != 0 && errno == EINTR) {
    }
}

void HeldFolder::Unlock() const {
    ::flock(fd_.Get(), LOCK_UN);
}

void HeldFolder::Hold(const UniqueFd& file) {
    (void)::flock(file.Get(), LOCK_SH);
}

void HeldFolder::RemoveUnlessHeld(const std::string& name) const {
    const UniqueFd file(
        ::openat(fd_.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file || ::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) return;  // held, or gone
    // Only the very file that was found free goes, not one put in its place since.
    if (IsNamed(file, name)) (void)::unlinkat(fd_.Get(), name.c_str(), 0);
}

int HeldFolder::OpenToRead(const std::string& name, UniqueFd& file) const {
    file.Reset(::openat(fd_.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    return file ? 0 : errno;
}

bool HeldFolder::IsNamed(const UniqueFd& file, const std::string& name) const {
    struct stat opened;
    struct stat named;
    return ::fstat(file.Get(), &opened) == 0 &&
           ::fstatat(fd_.Get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
}

HeldFolder::HoldTaken HeldFolder::TryHold(const UniqueFd& file) {
    if (::flock(file.Get(), LOCK_EX | LOCK_NB) == 0) return HoldTaken::Alone;
    if (::flock(file.Get(), LOCK_SH | LOCK_NB) == 0) return HoldTaken::Shared;
    return HoldTaken::None;
}

void HeldFolder::ShareHold(const UniqueFd& file) {
    (void)::flock(file.Get(), LOCK_SH);
}

std::optional<std::string> HeldFolder::ReadUpTo(const UniqueFd& file, uint64_t atMost) {
    std::string bytes(static_cast<size_t>(atMost) + 1, '\0');
    size_t got = 0;
    while (file && got < bytes.size()) {
        const ssize_t n = ::read(file.Get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    if (!file || got > atMost) return std::nullopt;
    bytes.resize(got);
    return bytes;
}
