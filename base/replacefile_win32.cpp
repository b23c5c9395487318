#include "base/replacefile.h"

#include <windows.h>

#include <cerrno>

#include "base/wintext.h"

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    if (::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = LastErrno();
    return false;
}
