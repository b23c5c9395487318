#include "base/wholefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

const char* KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a file";
}

// "8 MiB", "64 KiB", or bytes.
std::string SizeText(uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

}  // namespace

Result<UniqueFd> OpenInputFile(const std::string& path, uint64_t maxBytes) {
    // Without O_NONBLOCK the open of a FIFO waits for a writer, for ever.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return Failure::OfFile(path, errno);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) return Failure::OfFile(path, errno);
    if (S_ISDIR(info.st_mode)) return Failure::OfFile(path, EISDIR);
    if (!S_ISREG(info.st_mode))
        return Failure::OfInvalid(std::string("not a regular file (") + KindOf(info.st_mode) + ")",
                                  path);
    if (static_cast<uint64_t>(info.st_size) > maxBytes)
        return Failure::OfInvalid("larger than " + SizeText(maxBytes) + " (" +
                                      std::to_string(info.st_size) + " bytes): not read",
                                  path);
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags == -1 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return Failure::OfFile(path, errno);
    return Result<UniqueFd>(std::move(fd));
}

Result<std::string> ReadWholeFile(const std::string& path, uint64_t maxBytes) {
    Result<UniqueFd> opened = OpenInputFile(path, maxBytes);
    if (!opened) return opened.failure();
    const UniqueFd fd = std::move(opened).value();
    struct stat info {};
    std::string bytes;
    if (::fstat(fd.Get(), &info) == 0 && info.st_size > 0)
        bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<size_t>(n));
            // A file that grows while it is read stops at the limit too.
            if (bytes.size() > maxBytes)
                return Failure::OfInvalid("larger than " + SizeText(maxBytes) + ": not read", path);
        } else if (n == 0) {
            return bytes;
        } else if (errno != EINTR) {
            return Failure::OfFile(path, errno);
        }
    }
}
