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
        return InputTooLarge(path, maxBytes, static_cast<uint64_t>(info.st_size));
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags == -1 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return Failure::OfFile(path, errno);
    return Result<UniqueFd>(std::move(fd));
}
