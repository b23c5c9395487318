#pragma once
// Finding files of a folder copied from Windows, whose names may differ from the expected ones in
// letter case only ("CONFIG" or "config", "main.def" or "MAIN.DEF"). The exact name is always tried
// first; otherwise the one entry of the folder whose name equals it ignoring case (Latin and
// Cyrillic letters of UTF-8 names) is taken. For reading only: nothing is created or renamed.
#include <string>

namespace pathcase {

// The entry of folder `dir` named `name` ignoring case, as a path dir + '/' + found name. When the
// exact name exists, when nothing matches, or when several entries match, dir + '/' + name.
std::string ResolveInDir(const std::string& dir, const std::string& name);

// The path with its last component resolved as ResolveInDir does (a trailing '/' is kept).
std::string ResolveLast(const std::string& path);

// The path with every component that does not exist as written resolved in turn, from the first
// such component on; components after one that cannot be found are kept as written. A path that
// exists as written is returned unchanged.
std::string Resolve(const std::string& path);

// True when two file names are equal ignoring the letter case of Latin and Cyrillic letters
// (UTF-8; bytes that are not UTF-8 compare exactly).
bool EqualIgnoringCase(const std::string& a, const std::string& b);

}  // namespace pathcase
