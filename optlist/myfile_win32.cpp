#include "optlist/myfile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <utility>

#include "base/wintext.h"

namespace {

HANDLE HandleOf(const UniqueFd& fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd.Get()));
}

}  // namespace

int CMyFile::Open(const char* fileName, uint32_t desiredAccess, uint32_t shareMode,
                  uint32_t creationDisposition, uint32_t flagsAndAttributes) {
    // The system's own open, with the caller's access, sharing and disposition: a read-only
    // file refuses write access, a file another program holds without sharing refuses us.
    // Backup semantics let a folder open, so that it is told apart from a missing file.
    Close();
    openError_ = EINVAL;
    if (fileName == nullptr) return 0;
    const HANDLE handle = ::CreateFileW(WidePath(fileName).c_str(), desiredAccess, shareMode,
                                        nullptr, creationDisposition,
                                        flagsAndAttributes | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        openError_ = LastErrno();
        return 0;
    }
    UniqueFd fd(::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY));
    if (!fd) {
        ::CloseHandle(handle);
        openError_ = EMFILE;
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        openError_ = EINVAL;  // a pipe or a device named as the file
        return 0;
    }
    if (!::GetFileInformationByHandle(handle, &info)) {
        openError_ = LastErrno();
        return 0;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        openError_ = EISDIR;
        return 0;
    }
    const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > kMaxFileBytes) {
        openError_ = EFBIG;
        return 0;
    }
    openError_ = 0;
    fd_ = std::move(fd);
    fileName_.Assign(fileName);
    size_ = static_cast<uint32_t>(size);
    position_ = 0;
    buffer_.clear();
    bufferStart_ = 0;
    return 0;
}

bool CMyFile::RefreshSize() {
    LARGE_INTEGER size{};
    if (!fd_ || !::GetFileSizeEx(HandleOf(fd_), &size)) return false;
    size_ = static_cast<uint32_t>(size.QuadPart);
    return true;
}

int64_t CMyFile::ReadAt(uint8_t* out, size_t count, uint64_t offset) const {
    // A read at an offset of its own, as pread: the handle's file position is not used.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD asked = count > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(count);
    if (::ReadFile(HandleOf(fd_), out, asked, &got, &at)) return got;
    return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}
