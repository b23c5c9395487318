#pragma once
// The benchmark's workloads, made in a scratch folder so that no large file lives in the
// repository.
#include <cstddef>
#include <string>

#include "sim/simdevice.h"

// A configuration folder "<dir>/vr7_77" with `systems` system files of `variables` calculated
// variables each, a main.def of about `defBytes` bytes (its "syslink" records at the end, as
// real ones have them), and a catalogue "<dir>/calcbank.xml" of `entries` entries: plain names
// and "$" patterns spread through it, so that most variables are found, some late, some never.
struct OpenWorkload {
    std::string folder;     // the configuration folder (holding CONFIG)
    std::string catalogue;  // the catalogue file
    std::string xmlFiles;   // every XML file of the workload, separated by spaces (for the floor)
    std::string defFile;    // main.def
};
OpenWorkload MakeOpenWorkload(const std::string& dir, int systems, int variables, int entries,
                              size_t defBytes);

// A file of `size` bytes, each `fill`, to upload; false when it cannot be written.
bool MakeUploadFile(const std::string& path, size_t size, unsigned char fill);

// A simulated device of `entries` configuration entries (calculated variables in 9 systems).
SimDevice MakeDeviceWorkload(int entries);
