#include "base/tempregistry.h"

#include <windows.h>

#include <string>

#include "base/tempregistryending.h"
#include "base/wintext.h"

namespace tempregistry {

void RemoveListedFile(const char* path) {
    ::DeleteFileW(WidePath(path).c_str());
}

// The files directly in the folder, then the folder; a file a test made read-only goes too.
void RemoveListedFolder(const char* path) {
    const std::wstring folder = WidePath(path);
    WIN32_FIND_DATAW found{};
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
            const std::wstring file = folder + L"\\" + found.cFileName;
            ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(file.c_str());
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}

void PauseMillisecond() {
    ::Sleep(1);
}

namespace {

// Windows calls this on a thread of its own for Ctrl+C, Ctrl+Break, the console window closed,
// logoff and shutdown. FALSE lets the next handler (the default one: the process ends) go on.
BOOL WINAPI RemoveAndEnd(DWORD /*event*/) {
    RemoveEverythingListed();
    return FALSE;
}

}  // namespace

void RemoveOnTermination() {
    ::SetConsoleCtrlHandler(RemoveAndEnd, TRUE);
}

}  // namespace tempregistry
