#include "base/heldfolder.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <utility>

#include "base/wintext.h"

ProcessId CurrentProcessId() {
    return ::GetCurrentProcessId();
}

bool ProcessGone(ProcessId id) {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool ended = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    ::CloseHandle(process);
    return ended;
}

int FolderWritable(const std::string& path) {
    // Access rights are lists on Windows: a file made and dropped at once is the one true test.
    const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastErrno();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
    const std::wstring probe =
        WidePath(path) + L"\\.vr7probe" + std::to_wstring(::GetCurrentProcessId());
    const HANDLE file =
        ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const int error = LastErrno();
        return error == EEXIST ? 0 : error;
    }
    ::CloseHandle(file);
    return 0;
}

int SyncFile(const UniqueFd& file) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.Get()));
    return ::FlushFileBuffers(handle) ? 0 : LastErrno();
}

namespace {

// The mutex that stands for a folder's lock, the same in every process: named by the folder's
// full path, upper-cased as Windows compares names.
HANDLE FolderMutex(const std::string& path) {
    std::wstring full(MAX_PATH, L'\0');
    const std::wstring wide = WidePath(path);
    DWORD n =
        ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    }
    full.resize(n < full.size() ? n : 0);
    if (full.empty()) full = wide;
    uint64_t hash = 1469598103934665603ULL;  // FNV-1a
    for (const wchar_t c : full) {
        hash ^= static_cast<uint64_t>(std::towupper(static_cast<wint_t>(c)));
        hash *= 1099511628211ULL;
    }
    wchar_t name[64];
    ::swprintf(name, 64, L"Local\\vr7folder-%016llx", static_cast<unsigned long long>(hash));
    return ::CreateMutexW(nullptr, FALSE, name);
}

}  // namespace

HeldFolder::~HeldFolder() {
    Close();
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, nullptr)),
      lock_(std::exchange(other.lock_, nullptr)) {}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
    if (this != &other) {
        Close();
        path_ = std::move(other.path_);
        handle_ = std::exchange(other.handle_, nullptr);
        lock_ = std::exchange(other.lock_, nullptr);
    }
    return *this;
}

void HeldFolder::Close() {
    if (handle_) ::CloseHandle(handle_);
    if (lock_) ::CloseHandle(lock_);
    handle_ = nullptr;
    lock_ = nullptr;
}

bool HeldFolder::IsOpen() const {
    return handle_ != nullptr;
}

int HeldFolder::Open(const std::string& path, bool followLink) {
    Close();
    path_ = path;
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE handle = ::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastErrno();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        const int error = LastErrno();
        ::CloseHandle(handle);
        return error;
    }
    int error = 0;
    if (!followLink && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        error = ELOOP;
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        error = ENOTDIR;
    if (error != 0) {
        ::CloseHandle(handle);
        return error;
    }
    handle_ = handle;
    return 0;
}

int HeldFolder::OpenChild(const std::string& name, bool create, HeldFolder& child) const {
    const std::string path = path_ + (!path_.empty() && path_.back() == '/' ? "" : "/") + name;
    if (create && !::CreateDirectoryW(WidePath(path).c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS)
        return LastErrno();
    return child.Open(path, false);
}

void HeldFolder::ForEach(const std::function<void(const std::string& name)>& each) const {
    WIN32_FIND_DATAW found{};
    const HANDLE find = ::FindFirstFileW((WidePath(path_) + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..") each(Utf8FromWide(name));
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
}

HeldFolder::Kind HeldFolder::KindOf(const std::string& name, uint64_t* size) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(WidePath(path_ + "/" + name).c_str(), GetFileExInfoStandard, &data))
        return Kind::Missing;
    if (size) *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Kind::Link;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Kind::Folder;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) return Kind::Other;
    return Kind::File;
}

int HeldFolder::CreateNew(const std::string& name, UniqueFd& file) const {
    // Others may delete or rename it (a pruning, a rename into place); a hold is a lock on it.
    const HANDLE handle = ::CreateFileW(WidePath(path_ + "/" + name).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastErrno();
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return EMFILE;
    }
    file.Reset(fd);
    return 0;
}

int HeldFolder::MoveToNew(const std::string& from, const std::string& to) const {
    // Without REPLACE_EXISTING the move fails when the name is taken.
    return ::MoveFileExW(WidePath(path_ + "/" + from).c_str(), WidePath(path_ + "/" + to).c_str(),
                         MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastErrno();
}

int HeldFolder::Rename(const std::string& from, const std::string& to) const {
    return ::MoveFileExW(WidePath(path_ + "/" + from).c_str(), WidePath(path_ + "/" + to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastErrno();
}

int HeldFolder::Remove(const std::string& name) const {
    return ::DeleteFileW(WidePath(path_ + "/" + name).c_str()) ? 0 : LastErrno();
}

int HeldFolder::Sync() const {
    // A folder has no buffers of its own to flush here: the moves were made write-through.
    return 0;
}

void HeldFolder::Lock() const {
    if (!lock_) lock_ = FolderMutex(path_);
    // An abandoned mutex (its holder was killed) is acquired all the same.
    if (lock_) ::WaitForSingleObject(lock_, INFINITE);
}

void HeldFolder::Unlock() const {
    if (lock_) ::ReleaseMutex(lock_);
}

void HeldFolder::Hold(const UniqueFd& file) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.Get()));
    OVERLAPPED at{};
    (void)::LockFileEx(handle, 0, 0, 1, 0, &at);
}

void HeldFolder::RemoveUnlessHeld(const std::string& name) const {
    const HANDLE handle =
        ::CreateFileW(WidePath(path_ + "/" + name).c_str(), GENERIC_READ | DELETE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;  // gone
    OVERLAPPED at{};
    if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        // Deleted through this handle: the very file that was found free.
        FILE_DISPOSITION_INFO gone{};
        gone.DeleteFile = TRUE;
        (void)::SetFileInformationByHandle(handle, FileDispositionInfo, &gone, sizeof gone);
        ::UnlockFileEx(handle, 0, 1, 0, &at);
    }
    ::CloseHandle(handle);
}

namespace {

HANDLE HandleOf(const UniqueFd& file) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(file.Get()));
}

}  // namespace

int HeldFolder::OpenToRead(const std::string& name, UniqueFd& file) const {
    const HANDLE handle =
        ::CreateFileW(WidePath(path_ + "/" + name).c_str(), GENERIC_READ,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastErrno();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        ::CloseHandle(handle);
        return ELOOP;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return EMFILE;
    }
    file.Reset(fd);
    return 0;
}

bool HeldFolder::IsNamed(const UniqueFd& file, const std::string& name) const {
    const HANDLE named =
        ::CreateFileW(WidePath(path_ + "/" + name).c_str(), 0,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    const bool same = ::GetFileInformationByHandle(HandleOf(file), &a) &&
                      ::GetFileInformationByHandle(named, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    ::CloseHandle(named);
    return same;
}

HeldFolder::HoldTaken HeldFolder::TryHold(const UniqueFd& file) {
    OVERLAPPED at{};
    if (::LockFileEx(HandleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &at))
        return HoldTaken::Alone;
    OVERLAPPED shared{};
    if (::LockFileEx(HandleOf(file), LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &shared))
        return HoldTaken::Shared;
    return HoldTaken::None;
}

void HeldFolder::ShareHold(const UniqueFd& file) {
    // A shared lock cannot overlap the handle's own exclusive one: that goes first.
    OVERLAPPED at{};
    (void)::UnlockFileEx(HandleOf(file), 0, 1, 0, &at);
    Hold(file);
}

std::optional<std::string> HeldFolder::ReadUpTo(const UniqueFd& file, uint64_t atMost) {
    std::string bytes(static_cast<size_t>(atMost) + 1, '\0');
    size_t got = 0;
    while (file && got < bytes.size()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - got, 1u << 20));
        if (!::ReadFile(HandleOf(file), bytes.data() + got, want, &n, nullptr)) return std::nullopt;
        if (n == 0) break;
        got += n;
    }
    if (!file || got > atMost) return std::nullopt;
    bytes.resize(got);
    return bytes;
}
