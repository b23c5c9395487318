#pragma once
// A site of simulated devices for the tests that talk to many: every device served in-process on
// 127.0.0.1 by one SimSite, the connection settings that reach device i, and the ways a whole
// device fails as a site's commissioning meets them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/connection.h"
#include "sim/simdevice.h"
#include "sim/simsite.h"
#include "tests/common/testtimings.h"

// How a whole device misbehaves: on every request it is addressed with.
enum class SiteFault {
    None,
    Silent,     // never answers
    Refusing,   // refuses every command (answer code kSimUnknownCommand, no data)
    Protected,  // answers everything but refuses to store a file (write protection)
    Dropping,   // half of every answer, then it closes the connection
};

inline const char* SiteFaultName(SiteFault fault) {
    switch (fault) {
        case SiteFault::None:
            return "none";
        case SiteFault::Silent:
            return "silent";
        case SiteFault::Refusing:
            return "refusing";
        case SiteFault::Protected:
            return "protected";
        case SiteFault::Dropping:
            return "dropping";
    }
    return "?";
}

// The device's faults for one of the ways above; write protection is set on the device itself.
inline std::vector<SimFault> SiteFaults(SiteFault fault, SimDevice& device) {
    switch (fault) {
        case SiteFault::Silent:
            return {{SimFaultKind::Silent}};
        case SiteFault::Refusing: {
            SimFault refuse{SimFaultKind::Refuse};
            refuse.value = kSimUnknownCommand;
            return {refuse};
        }
        case SiteFault::Protected:
            device.writeProtected = true;
            return {};
        case SiteFault::Dropping:
            return {{SimFaultKind::Close}};
        case SiteFault::None:
            break;
    }
    return {};
}

struct TestSite {
    // Adds a device served on a free TCP port; its index.
    size_t Add(SimDevice device, SiteFault fault = SiteFault::None) {
        std::vector<SimFault> faults = SiteFaults(fault, device);
        return site.Add(std::move(device), std::move(faults));
    }

    // Serves every device added; false (with a test failure) when one cannot start.
    bool Start() {
        std::string error;
        const bool started = site.Start(&error);
        EXPECT_TRUE(started) << error;
        return started;
    }

    std::string PortText(size_t i) const { return std::to_string(site.TcpPort(i)); }

    // Points the connection's settings at device i, with the scaled-down test timings.
    void PointAt(connection& conn, size_t i) const {
        conn.Timings = kTestTimings;
        conn.PortName = "TCP/IP";
        conn.IpAddress = "127.0.0.1";
        conn.TcpIpPort = PortText(i);
    }

    SimSite site;
};
