#pragma once
// Paths are UTF-8 inside the program. On Windows the file system's names are UTF-16, and a path
// made from a std::string would read its bytes in another code page: a path made from the
// program's text, or turned back into it, goes through these. Elsewhere a path is its bytes.
// Neither throws: on Windows a byte sequence that is not UTF-8 becomes U+FFFD.
#include <filesystem>
#include <string>
#include <string_view>

#ifdef _WIN32
#include "base/wintext.h"
#endif

inline std::filesystem::path PathFromUtf8(std::string_view text) {
#ifdef _WIN32
    return std::filesystem::path(WideFromUtf8(text));
#else
    return std::filesystem::path(text);
#endif
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return Utf8FromWide(path.native());
#else
    return path.string();
#endif
}

// The same with '/' between the components, as the program writes paths everywhere.
inline std::string GenericUtf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return Utf8FromWide(path.generic_wstring());
#else
    return path.generic_string();
#endif
}
