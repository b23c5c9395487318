#include "optlist/myfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

int CMyFile::Open(const char* fileName, uint32_t desiredAccess, uint32_t /*shareMode*/,
                  uint32_t creationDisposition, uint32_t /*flagsAndAttributes*/) {
    // The share mode has no mandatory counterpart on Linux (other programs could still write);
    // the reader never writes itself.
    Close();
    openError_ = EINVAL;
    if (fileName == nullptr) return 0;

    const bool wantRead = desiredAccess & winfile::GENERIC_READ;
    const bool wantWrite = desiredAccess & winfile::GENERIC_WRITE;
    // Not blocking: the open of a FIFO would wait for a writer for ever; it is refused below.
    int flags = O_CLOEXEC | O_NONBLOCK;
    flags |= wantWrite ? (wantRead ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (creationDisposition) {
        case winfile::CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case winfile::CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case winfile::OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case winfile::TRUNCATE_EXISTING:
            flags |= O_TRUNC;
            break;
        case winfile::OPEN_EXISTING:
            break;
        default:
            return 0;  // Windows refuses an unknown disposition
    }
    openError_ = 0;
    UniqueFd fd;
    do {
        fd.Reset(::open(fileName, flags, 0666));
    } while (!fd && errno == EINTR);
    if (!fd) {
        openError_ = errno;
        return 0;
    }

    struct stat st;
    if (::fstat(fd.Get(), &st) != 0) {
        openError_ = errno;
        return 0;
    }
    if (S_ISDIR(st.st_mode)) {
        openError_ = EISDIR;
        return 0;
    }
    // Only a regular file of a size the records can have: a FIFO or a device named as one is
    // no such file.
    if (!S_ISREG(st.st_mode)) {
        openError_ = EINVAL;
        return 0;
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxFileBytes) {
        openError_ = EFBIG;
        return 0;
    }
    // Windows' read-only attribute refuses write access to everyone; root would pass here.
    if (wantWrite && (st.st_mode & 0222) == 0) {
        openError_ = EACCES;
        return 0;
    }
    fd_ = std::move(fd);
    fileName_.Assign(fileName);
    size_ = static_cast<uint32_t>(st.st_size);
    position_ = 0;
    buffer_.clear();
    bufferStart_ = 0;
    return 0;
}

bool CMyFile::RefreshSize() {
    struct stat st;
    if (!fd_ || ::fstat(fd_.Get(), &st) != 0) return false;
    size_ = static_cast<uint32_t>(st.st_size);
    return true;
}

int64_t CMyFile::ReadAt(uint8_t* out, size_t count, uint64_t offset) const {
    ssize_t n;
    do {
        n = ::pread(fd_.Get(), out, count, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    return n;
}
