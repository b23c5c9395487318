#include "base/wholefile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// "8 MiB", "64 KiB", or bytes.
std::string SizeText(uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

}  // namespace

Failure InputTooLarge(const std::string& path, uint64_t maxBytes, uint64_t size) {
    return Failure::OfInvalid(
        "larger than " + SizeText(maxBytes) + " (" + std::to_string(size) + " bytes): not read",
        path);
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
