#pragma once
// A simulated device for the tests that talk to one: served in-process on 127.0.0.1 or on a
// pseudo-terminal, and the connection settings that reach it. The settings always name the
// loopback address or the pty, so that nothing can fall back to a default port or address, and
// they carry the scaled-down test timings, so that a silent device costs milliseconds.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/connection.h"
#include "link/vr7frame.h"
#include "sim/simfolder.h"
#include "sim/simserver.h"
#include "tests/common/testtimings.h"

enum class Transport { Tcp, Pty };

inline std::string TransportName(Transport transport) {
    return transport == Transport::Tcp ? "Tcp" : "Pty";
}

// The demo device: the demo folder's configuration and duxgate.cfg, number 12, firmware 2.1.32
// (the oldest build that serves the gateway's files).
inline SimDevice DemoSimDevice() {
    SimDevice device;
    std::string error;
    EXPECT_TRUE(SimDeviceFromFolder(VR7_SOURCE_DIR "/examples/vr7_12", device, &error)) << error;
    device.number = 12;
    device.versionMajor = 2;
    device.versionMinor = 1;
    device.versionBuild = 32;
    return device;
}

struct SimPeer {
    SimPeer() = default;
    // Makes the device's server now (faults can be set before it starts).
    explicit SimPeer(SimDevice device) : server(std::make_unique<SimServer>(std::move(device))) {}

    // Serves the device on the transport; false (with a test failure) when it cannot start.
    bool Start(SimDevice device, Transport how) {
        server = std::make_unique<SimServer>(std::move(device));
        return Start(how);
    }
    bool Start(Transport how) {
        transport = how;
        SimEndpoints endpoints;
        endpoints.tcp = how == Transport::Tcp;
        endpoints.pty = how == Transport::Pty;
        std::string error;
        const bool started = server->Start(endpoints, &error);
        EXPECT_TRUE(started) << error;
        return started;
    }

    // Points the connection's settings at the device (a command opens the link itself).
    void PointAt(connection& conn) const {
        conn.Timings = kTestTimings;
        if (transport == Transport::Tcp) {
            conn.PortName = "TCP/IP";
            conn.IpAddress = "127.0.0.1";
            conn.TcpIpPort = std::to_string(server->TcpPort());
        } else {
            conn.PortName = server->PtyPath();
            conn.Speed = 115200;
        }
    }

    // Opens the connection's link to the device; 0 on success.
    LinkResult Open(connection& conn) const {
        PointAt(conn);
        if (transport == Transport::Tcp)
            return conn.OpenTcpIpLink("127.0.0.1", std::to_string(server->TcpPort()));
        return conn.OpenComLink(server->PtyPath(), 115200);
    }

    // The commands of the requests the device received, in order.
    std::vector<int> Commands() const {
        std::vector<int> out;
        for (const auto& frame : server->Requests()) out.push_back(FrameCommand(frame.data()));
        return out;
    }

    Transport transport = Transport::Tcp;
    std::unique_ptr<SimServer> server;
};

// A simulated device with a connection whose link is open to it.
struct SimConnection : SimPeer {
    using SimPeer::SimPeer;
    // Starts the device and opens the connection's link to it; 0 on success.
    LinkResult Open(Transport how) {
        if (!Start(how)) return lr::NotOpen;
        return SimPeer::Open(conn);
    }

    connection conn;
};
