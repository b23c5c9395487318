#include "base/installpaths.h"

#include <windows.h>

#include <string>

#include "base/wintext.h"

std::string ExecutableDir() {
    // The module's path can be longer than MAX_PATH: grow the buffer until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    std::string dir = Utf8FromWide(std::wstring_view(path).substr(0, slash));
    for (char& c : dir)
        if (c == '\\') c = '/';
    return dir + "/";
}
