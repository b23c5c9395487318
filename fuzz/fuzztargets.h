#pragma once
// The fuzz targets' entry functions: each takes arbitrary bytes as one input of the system (a file
// it reads, or what a device answers) and runs the code that reads it. libFuzzer calls them in
// the fuzz build; the normal test run replays the corpus of fuzz/corpus/<name>/ through them.
#include <cstddef>
#include <cstdint>

namespace fuzztarget {

using Entry = void (*)(const uint8_t* data, size_t size);

struct Target {
    const char* name;  // also the corpus folder's name
    Entry run;
};

// The definition file reader (main.def).
void DefFile(const uint8_t* data, size_t size);
// The gateway settings file reader (duxgate.cfg) into the SNVT list.
void GatewayFile(const uint8_t* data, size_t size);
// The catalogue and configuration XML lookups on a document of these bytes.
void XmlLookups(const uint8_t* data, size_t size);
// The ini reader, and a write into a copy of the file.
void IniFile(const uint8_t* data, size_t size);
// One protocol operation, chosen by the first byte (identification, header, entry, download,
// upload), fed the rest as the device's answers through a scripted link.
void Protocol(const uint8_t* data, size_t size);

// Two gateway settings files (the input split at its first NUL byte) compared as lists; a list
// compared with itself must show no difference, and every entry must point at real rows.
void ListDiff(const uint8_t* data, size_t size);
// A site commissioning plan (CSV), with and without the file column required; a plan taken must
// hold only safe, unique folder names.
void FleetPlan(const uint8_t* data, size_t size);
// A simulator site file.
void SimSite(const uint8_t* data, size_t size);

inline constexpr Target kTargets[] = {
    {"deffile", DefFile},     {"gatewayfile", GatewayFile}, {"xml", XmlLookups},
    {"ini", IniFile},         {"protocol", Protocol},       {"listdiff", ListDiff},
    {"fleetplan", FleetPlan}, {"simsite", SimSite},
};

}  // namespace fuzztarget
