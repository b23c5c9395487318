#include "base/syserror.h"

#include <cerrno>
#include <cstring>

namespace {

// The socket errors of <errno.h> that the C runtime has no text for, in the words the other
// platforms use.
struct ErrorText {
    int error;
    const char* text;
};
constexpr ErrorText kSocketTexts[] = {
    {ECONNREFUSED, "Connection refused"},
    {ETIMEDOUT, "Connection timed out"},
    {ECONNRESET, "Connection reset by peer"},
    {EHOSTUNREACH, "No route to host"},
    {ENETUNREACH, "Network is unreachable"},
    {EADDRINUSE, "Address already in use"},
    {EWOULDBLOCK, "Resource temporarily unavailable"},
    {ENOTSUP, "Operation not supported"},
};

}  // namespace

std::string SystemErrorText(int error) {
    for (const ErrorText& e : kSocketTexts)
        if (e.error == error) return e.text;
    // The runtime's table ends at its last errno; beyond it the text is "Unknown error".
    if (error > 0 && error <= EILSEQ) return std::strerror(error);
    return "error " + std::to_string(error);
}
