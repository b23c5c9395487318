#include "optlist/myfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {
constexpr size_t kReadAhead = 64 * 1024;
}

CMyFile::~CMyFile() {
    Close();
}

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

void CMyFile::Close() {
    fd_.Reset();
    buffer_.clear();
}

bool CMyFile::RefreshSize() {
    struct stat st;
    if (!fd_ || ::fstat(fd_.Get(), &st) != 0) return false;
    size_ = static_cast<uint32_t>(st.st_size);
    return true;
}

int CMyFile::ReadByteRefill() {
    if (!fd_) return -1;
    const uint64_t pos = position_;
    if (pos < bufferStart_ || pos >= bufferStart_ + buffer_.size()) {
        buffer_.resize(kReadAhead);
        ssize_t n;
        do {
            n = ::pread(fd_.Get(), buffer_.data(), buffer_.size(), static_cast<off_t>(pos));
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            buffer_.clear();
            return -1;
        }
        buffer_.resize(static_cast<size_t>(n));
        bufferStart_ = pos;
    }
    const int byte = buffer_[pos - bufferStart_];
    ++position_;
    if (position_ >= size_) RefreshSize();
    return byte;
}

uint32_t CMyFile::ReadBytes(uint8_t* out, uint32_t count) {
    uint32_t done = 0;
    while (done < count) {
        // The bytes of the read-ahead before the file's last one come in one copy; the rest, one
        // at a time.
        const uint64_t pos = position_;
        if (fd_ && pos >= bufferStart_ && pos - bufferStart_ < buffer_.size() && pos + 1 < size_) {
            const uint64_t inBuffer = bufferStart_ + buffer_.size() - pos;
            const uint64_t beforeLast = size_ - 1 - pos;
            const auto n = static_cast<uint32_t>(
                std::min<uint64_t>({inBuffer, beforeLast, static_cast<uint64_t>(count - done)}));
            std::memcpy(out + done, buffer_.data() + (pos - bufferStart_), n);
            position_ += n;
            done += n;
            continue;
        }
        const int byte = ReadByteRefill();
        if (byte < 0) break;
        out[done++] = static_cast<uint8_t>(byte);
    }
    return done;
}

int CMyFile::Seek(int32_t distance, uint32_t method) {
    if (!fd_) return -1;
    int64_t base;
    switch (method) {
        case winfile::FILE_BEGIN:
            base = 0;
            break;
        case winfile::FILE_CURRENT:
            base = position_;
            break;
        case winfile::FILE_END:
            RefreshSize();
            base = size_;
            break;
        default:
            return -1;
    }
    const int64_t target = base + distance;
    // The low 32 bits of the file pointer are all the reader keeps.
    if (target < 0 || target > 0xFFFFFFFFll) return -1;
    position_ = static_cast<uint32_t>(target);
    // The read-ahead is dropped when a scan restarts, so that each lookup sees the file as it is.
    if (target == 0) buffer_.clear();
    return 0;
}
