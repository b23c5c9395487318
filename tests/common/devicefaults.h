#pragma once
// The ways a device can misbehave, as the fault matrix tests put them to the window's device
// commands and to vr7lon: each fault on every path (tree read, download, upload), and the faults
// that only a download can show.
#include <vector>

#include "sim/simfault.h"

struct DeviceFault {
    const char* name;
    SimFaultKind kind;
    int value;
    bool downloadOnly;
};

inline const std::vector<DeviceFault>& DeviceFaults() {
    static const std::vector<DeviceFault> faults = {
        {"silent", SimFaultKind::Silent, 0, false},
        {"garbage", SimFaultKind::Garbage, 40, false},
        {"badcheck", SimFaultKind::BadCheck, 0, false},
        {"wrongcommand", SimFaultKind::WrongCommand, 0, false},
        {"refuse", SimFaultKind::Refuse, 0x15, false},
        {"close", SimFaultKind::Close, 0, false},
        {"trickle", SimFaultKind::Trickle, 50, false},
        {"endless", SimFaultKind::EndlessFile, 0, true},
        {"stuck", SimFaultKind::StuckPosition, 0, true},
    };
    return faults;
}
