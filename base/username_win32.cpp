#include "base/username.h"

#include <windows.h>

#include <cstdlib>

#include "base/wintext.h"

std::string SystemUserName() {
    wchar_t name[257];
    DWORD size = sizeof name / sizeof name[0];
    if (::GetUserNameW(name, &size) && size > 1)
        return Utf8FromWide(std::wstring_view(name, size - 1));
    if (const wchar_t* user = ::_wgetenv(L"USERNAME"); user && user[0]) return Utf8FromWide(user);
    return "?";
}
