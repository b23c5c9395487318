#include "base/atomicfilewriter.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <climits>

#include "base/heldfolder.h"
#include "base/replacefile.h"
#include "base/tempregistry.h"
#include "base/wintext.h"

using namespace atomicfile;

namespace {

HANDLE HandleOf(const UniqueFd& fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd.Get()));
}

// A descriptor for handle (which it then owns), or an invalid one with the handle closed.
UniqueFd Adopt(HANDLE handle) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) ::CloseHandle(handle);
    return UniqueFd(fd);
}

}  // namespace

int WriteAll(int fd, std::string_view data) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) return EBADF;
    while (!data.empty()) {
        const DWORD chunk = data.size() > (1U << 30) ? (1U << 30) : static_cast<DWORD>(data.size());
        DWORD written = 0;
        if (!::WriteFile(handle, data.data(), chunk, &written, nullptr)) return LastErrno();
        if (written == 0) return EIO;
        data.remove_prefix(written);
    }
    return 0;
}

Status AtomicFileWriter::Open(const std::string& path) {
    Discard();
    path_ = path;
    // Windows programs save over a link's target only where the link is a folder's: the path is
    // replaced as named.
    target_ = path;
    if (target_.empty() || target_.back() == '/' || target_.back() == '\\') return Fail(EISDIR);

    const std::wstring wide = WidePath(target_);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Fail(EISDIR);
    // A file its owner made read-only stays as it is, as it would if written in place.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return Fail(EACCES);
    if (!exists) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            // A device (NUL, CON, a pipe) has no attributes: it is written into, never replaced.
            const HANDLE device =
                ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
            if (device == INVALID_HANDLE_VALUE) return Fail(ErrnoFromWin32(error));
            if (::GetFileType(device) == FILE_TYPE_DISK) {
                ::CloseHandle(device);
                return Fail(ErrnoFromWin32(error));
            }
            fd_ = Adopt(device);
            if (!fd_) return Fail(EMFILE);
            through_ = true;
            return Status();
        }
        if (error == ERROR_PATH_NOT_FOUND) return Fail(ENOENT);
    }

    const std::string folder = FolderOf(target_);
    const std::string stem = TempStem(NameOf(target_));
    RemoveStaleTemps(folder, stem);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = TempName(folder, stem, attempt);
        // Listed before it exists, so that a console's end can never leave it behind.
        const tempregistry::Making making;
        if (!making.Allowed()) return Fail(EINTR);
        entry_ = tempregistry::Add(candidate, false);
        const HANDLE file = ::CreateFileW(WidePath(candidate).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            fd_ = Adopt(file);
            if (!fd_) {
                ::DeleteFileW(WidePath(candidate).c_str());
                return Fail(EMFILE);
            }
            temp_ = std::move(candidate);
            break;
        }
        const int error = LastErrno();
        tempregistry::Remove(entry_);
        entry_ = nullptr;
        if (error != EEXIST) return Fail(error);
    }
    if (!fd_) return Fail(EEXIST);
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
    if (!::FlushFileBuffers(HandleOf(fd_))) return Fail(LastErrno());
    if (fd_.Close() != 0) return Fail(errno);
    {
        // A target that is itself listed (a staged file) is in place before the console's end
        // removes it.
        const tempregistry::Making making;
        if (!making.Allowed()) return Fail(EINTR);
        if (!MoveIntoPlace(temp_, target_)) return Fail(errno);
        tempregistry::Remove(entry_);
        entry_ = nullptr;
    }
    temp_.clear();
    return Status();
}

Status AtomicFileWriter::CommitAsNew(const std::function<std::string(unsigned)>& nameFor,
                                     unsigned attempts, std::string& committed) {
    if (!fd_ || through_) return Fail(EBADF);
    if (!::FlushFileBuffers(HandleOf(fd_))) return Fail(LastErrno());
    if (fd_.Close() != 0) return Fail(errno);
    const std::string folder = FolderOf(target_);
    for (unsigned attempt = 0; attempt < attempts; ++attempt) {
        std::string candidate = folder + "/" + nameFor(attempt);
        // A move without REPLACE_EXISTING takes only a name no file has.
        if (!::MoveFileExW(WidePath(temp_).c_str(), WidePath(candidate).c_str(),
                           MOVEFILE_WRITE_THROUGH)) {
            const int error = LastErrno();
            if (error == EEXIST) continue;
            return Fail(error);
        }
        temp_.clear();
        Discard();
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
        ::DeleteFileW(WidePath(temp_).c_str());
        temp_.clear();
    }
    tempregistry::Remove(entry_);
    entry_ = nullptr;
}
