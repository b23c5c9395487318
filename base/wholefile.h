#pragma once
// A whole file read into memory, for the small files the system compares and parses (settings
// files, plans, catalogues).
#include <string>

// Replaces bytes with the file's content. Returns 0, or the errno of the failing step (EISDIR for a
// folder); bytes then holds what was read before the failure.
int ReadWholeFile(const std::string& path, std::string& bytes);
