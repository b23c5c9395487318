#pragma once
// CMyFile: a file handle that tracks the file's size and the current read position, reading one
// byte at a time. The open takes the Windows access, share and creation values, so that its rules
// stay as on Windows: asking for write access on a read-only file fails.
#include <cstdint>
#include <vector>

#include "base/uniquefd.h"
#include "optlist/mystring.h"

namespace winfile {
constexpr uint32_t GENERIC_READ = 0x80000000u;
constexpr uint32_t GENERIC_WRITE = 0x40000000u;
constexpr uint32_t FILE_SHARE_READ = 0x00000001u;
constexpr uint32_t FILE_SHARE_WRITE = 0x00000002u;
constexpr uint32_t CREATE_NEW = 1;
constexpr uint32_t CREATE_ALWAYS = 2;
constexpr uint32_t OPEN_EXISTING = 3;
constexpr uint32_t OPEN_ALWAYS = 4;
constexpr uint32_t TRUNCATE_EXISTING = 5;
constexpr uint32_t FILE_BEGIN = 0;
constexpr uint32_t FILE_CURRENT = 1;
constexpr uint32_t FILE_END = 2;
}  // namespace winfile

class CMyFile {
  public:
    CMyFile() = default;
    virtual ~CMyFile();
    CMyFile(const CMyFile&) = delete;
    CMyFile& operator=(const CMyFile&) = delete;

    // The largest file opened: 64 MiB, far beyond any configuration's records.
    static constexpr uint64_t kMaxFileBytes = 64u << 20;

    // Opens fileName (closing a file held before). Always returns 0; a file that cannot be opened
    // as asked leaves the object not open. Write access is refused, as by Windows, on a file that
    // has no write permission bit (even for root) and on a read-only file system. Only a regular
    // file of at most kMaxFileBytes is opened (OpenError EINVAL, EFBIG), a FIFO without waiting.
    int Open(const char* fileName, uint32_t desiredAccess, uint32_t shareMode,
             uint32_t creationDisposition, uint32_t flagsAndAttributes);
    void Close();
    bool IsOpen() const { return fd_.Valid(); }
    // Why the last Open left the object not open (an errno value: EACCES also for the read-only
    // permission bits), 0 when it opened.
    int OpenError() const { return openError_; }

    // One byte as 0..255, or -1 when no byte can be read (end of file, error, not open).
    int ReadByte() {
        // Inline while the byte is in the read-ahead and not the file's last one (after which the
        // size is looked at again); the rest, and every failure, takes the whole path.
        const uint64_t pos = position_;
        if (fd_.Valid() && pos >= bufferStart_ && pos - bufferStart_ < buffer_.size() &&
            pos + 1 < size_) {
            ++position_;
            return buffer_[pos - bufferStart_];
        }
        return ReadByteRefill();
    }
    // Up to count bytes into out, as count calls of ReadByte would read them; stops at the first
    // byte that cannot be read. Returns the bytes read.
    uint32_t ReadBytes(uint8_t* out, uint32_t count);
    // Moves the read position (method 0 from the start, 1 from the current position, 2 from the
    // end). Returns 0, or -1 with the position unchanged when the target would be negative.
    int Seek(int32_t distance, uint32_t method);

    uint32_t Size() const { return size_; }
    uint32_t Position() const { return position_; }
    const CMystring& FileName() const { return fileName_; }

  private:
    bool RefreshSize();
    int ReadByteRefill();
    // Up to count bytes of the file from offset on, without moving a file position: how many
    // were read, 0 at the end, -1 on an error.
    int64_t ReadAt(uint8_t* out, size_t count, uint64_t offset) const;

    UniqueFd fd_;
    int openError_ = 0;
    CMystring fileName_;
    uint32_t size_ = 0;
    uint32_t position_ = 0;
    // Bytes read ahead from bufferStart_; reads are served from here, with the same results as one
    // system call per byte.
    std::vector<uint8_t> buffer_;
    uint64_t bufferStart_ = 0;
};
