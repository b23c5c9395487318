#pragma once
// Windows only: the program's UTF-8 text at the Windows calls, which take UTF-16, and the
// errno value that stands for a Windows error code, so that the rest of the program tells
// failures apart as it does everywhere ("no such file", "in use", "line gone").
#include <cstdint>
#include <string>
#include <string_view>

// UTF-8 to UTF-16 and back; invalid sequences become U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// A path for CreateFileW and its kin: UTF-16, with '/' turned into '\\'.
std::wstring WidePath(std::string_view path);

// The errno value for GetLastError()'s code (EIO for what has no closer one).
int ErrnoFromWin32(uint32_t error);
// ErrnoFromWin32(GetLastError()).
int LastErrno();
