#include "base/wholefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/uniquefd.h"

Result<std::string> ReadWholeFile(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return Failure::OfFile(path, errno);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) return Failure::OfFile(path, errno);
    if (S_ISDIR(info.st_mode)) return Failure::OfFile(path, EISDIR);
    std::string bytes;
    if (S_ISREG(info.st_mode) && info.st_size > 0) bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<size_t>(n));
        } else if (n == 0) {
            return bytes;
        } else if (errno != EINTR) {
            return Failure::OfFile(path, errno);
        }
    }
}
