#pragma once
// A whole file read into memory, for the small files the system compares and parses (settings
// files, plans, catalogues).
#include <string>

#include "base/result.h"

// The file's content, or a File failure with the path and the errno of the failing step (EISDIR
// for a folder).
Result<std::string> ReadWholeFile(const std::string& path);
