#include "base/scratchfolder.h"

#include <windows.h>

#include <random>

#include "base/wintext.h"

Result<std::string> MakeScratchFolder(std::string_view prefix) {
    // The user's own temporary folder (%TMP%, %TEMP%, else the profile's): other users cannot
    // look into it.
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    std::string base = n > 0 && n <= MAX_PATH ? Utf8FromWide(std::wstring_view(temp, n)) : "C:\\";
    for (char& c : base)
        if (c == '\\') c = '/';
    if (base.back() != '/') base += '/';
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 pick(seed());
    std::uniform_int_distribution<size_t> letter(0, sizeof kLetters - 2);
    std::string path;
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = base + std::string(prefix) + ".";
        for (int i = 0; i < 6; ++i) path += kLetters[letter(pick)];
        if (::CreateDirectoryW(WidePath(path).c_str(), nullptr)) return path;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return Failure::OfFile(path, LastErrno());
}
