#include "optlist/myfile.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr size_t kReadAhead = 64 * 1024;
}

CMyFile::~CMyFile() {
    Close();
}

void CMyFile::Close() {
    fd_.Reset();
    buffer_.clear();
}

int CMyFile::ReadByteRefill() {
    if (!fd_) return -1;
    const uint64_t pos = position_;
    if (pos < bufferStart_ || pos >= bufferStart_ + buffer_.size()) {
        buffer_.resize(kReadAhead);
        const int64_t n = ReadAt(buffer_.data(), buffer_.size(), pos);
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
