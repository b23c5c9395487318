#pragma once
// The description of one simulated VR-7 device: what it identifies as, its configuration header
// and entries, the files it holds, and whether it takes files at all.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "link/vr7frame.h"

// Answer codes the simulated device refuses with; any value but the command's own is a refusal.
constexpr uint8_t kSimNoSuchFile = kRefusedNoSuchFile;  // an open for reading of a file it lacks
constexpr uint8_t kSimNoSuchEntry = 0x03;
constexpr uint8_t kSimNoTransfer = 0x04;
constexpr uint8_t kSimUnknownCommand = 0x10;
constexpr uint8_t kSimBadRequest = 0x11;  // an open without a mode, or with an unknown one
constexpr uint8_t kSimWriteProtected = 0x15;
// A block that would make the file being written larger than the device keeps
// (kSimMaxFileBytes): refused, and the unfinished file dropped.
constexpr uint8_t kSimFileTooLarge = 0x16;
constexpr size_t kSimMaxFileBytes = 8u << 20;

constexpr int kSimEntrySize = 17;
constexpr int kSimIdentificationSize = kDeviceInfoSize;

struct SimSystem {
    std::string name;   // Windows-1251, as the device sends it
    std::string text2;  // the second text of the pair
};

// The device's file names ignore letter case (ASCII), as its own two spellings of the gateway's
// settings file show: what is stored as "DUXGate.cfg" is what is read back as "duxgate.cfg".
struct SimFileNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct SimDevice {
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 0;
    uint16_t versionBuild = 32;
    uint32_t number = 1;

    uint32_t headerValue2 = 0;
    std::vector<SimSystem> systems;
    // Each entry as the device sends it (normally 17 bytes: type, then the type's fields).
    std::vector<std::vector<uint8_t>> entries;

    // By name in any letter case; a key is spelt as the file was last stored.
    std::map<std::string, std::vector<uint8_t>, SimFileNameLess> files;
    std::string storeDir;  // when set, a completed upload is also written there
    bool writeProtected = false;

    // The data of the answers to identification and to the header request.
    std::vector<uint8_t> Identification() const;
    std::vector<uint8_t> Header() const;
};

// Configuration entries of each type.
std::vector<uint8_t> SimEmptyEntry();
std::vector<uint8_t> SimConstEntry(uint8_t system, const std::string& name, float value);
std::vector<uint8_t> SimEventEntry(const std::string& name, uint16_t geid, uint32_t mask,
                                   uint32_t code);
std::vector<uint8_t> SimCalcEntry(uint8_t system, const std::string& name, uint32_t extra = 0);
// An entry of a type this system does not know; its other bytes are filler.
std::vector<uint8_t> SimUnknownEntry(uint8_t type);

// A small device with every kind of entry, for people trying the program without a folder.
SimDevice SimDemoDevice();
