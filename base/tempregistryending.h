#pragma once
// Inside tempregistry: what the platform's handler of a request to end calls, and what each
// platform supplies to it. On POSIX these run in a signal handler: system calls only.
#include <cstddef>

namespace tempregistry {

// The longest path listed, in bytes with its terminating NUL.
constexpr size_t kMaxPath = 4096;

// No new making may begin; waits (up to a second) for the makings under way in other threads,
// then removes every listed file, then every listed folder with its files.
void RemoveEverythingListed();

// The platform's own.
void RemoveListedFile(const char* path);
void RemoveListedFolder(const char* path);
void PauseMillisecond();

}  // namespace tempregistry
