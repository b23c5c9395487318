#include "base/wholefile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "base/wintext.h"

namespace {

const char* KindOf(DWORD type) {
    if (type == FILE_TYPE_PIPE) return "a pipe";
    if (type == FILE_TYPE_CHAR) return "a character device";
    return "not a file";
}

}  // namespace

Result<UniqueFd> OpenInputFile(const std::string& path, uint64_t maxBytes) {
    // Others may go on reading, writing, renaming or deleting it, as on the other platforms;
    // backup semantics let a folder open, so that it is told apart from a missing file.
    HANDLE handle = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Failure::OfFile(path, LastErrno());
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return Failure::OfFile(path, EMFILE);
    }
    UniqueFd owned(fd);  // closes the handle with the descriptor
    const DWORD type = ::GetFileType(handle);
    if (type != FILE_TYPE_DISK)
        return Failure::OfInvalid(std::string("not a regular file (") + KindOf(type) + ")", path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return Failure::OfFile(path, LastErrno());
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Failure::OfFile(path, EISDIR);
    const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > maxBytes) return InputTooLarge(path, maxBytes, size);
    return Result<UniqueFd>(std::move(owned));
}
