#pragma once
// Putting a finished file in place of another in one step, which a reader never sees half done.
#include <string>

// Renames from to to, replacing a file to that exists (POSIX rename; on Windows MoveFileExW with
// REPLACE_EXISTING and WRITE_THROUGH, since a rename there refuses an existing target). False
// with errno set when it cannot.
bool MoveIntoPlace(const std::string& from, const std::string& to);
