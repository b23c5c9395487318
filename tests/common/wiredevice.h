#pragma once
// A device served on a pseudo-terminal that the simulator paces like a serial line, for the tests
// that must hold on a real wire: its entries are all different, so that an answer taken for
// another request's shows as a changed tree, and its files are patterns that show a shifted or
// mixed-up block.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cfgtree/cfgtreemodel.h"
#include "cfgtree/vr7cfgtree.h"
#include "gateway/snvtlist.h"
#include "link/connection.h"
#include "sim/simserver.h"

inline constexpr uint32_t kWireDeviceNumber = 5;

// A device serving the gateway's files, with `entries` calc entries named "t0", "t1", ... spread
// over two systems.
inline SimDevice WireDevice(int entries) {
    SimDevice device;
    device.number = kWireDeviceNumber;
    device.versionMajor = 2;
    device.versionMinor = 1;
    device.versionBuild = 32;
    device.systems = {{"Boiler", "b"}, {"Pumps", "p"}};
    for (int i = 0; i < entries; ++i)
        device.entries.push_back(
            SimCalcEntry(static_cast<uint8_t>(1 + i % 2), "t" + std::to_string(i)));
    return device;
}

// size bytes in which no two neighbouring blocks look alike.
inline std::vector<uint8_t> WirePattern(size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

inline std::string AsString(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Serves the server's device on a pty paced at baud (TCP off); echo: the line hands every request
// back before the answer.
inline bool StartPaced(SimServer& server, unsigned baud, bool echo = false) {
    SimEndpoints endpoints;
    endpoints.tcp = false;
    endpoints.pty = true;
    endpoints.paceBaud = baud;
    endpoints.echo = echo;
    std::string error;
    const bool started = server.Start(endpoints, &error);
    EXPECT_TRUE(started) << error;
    return started;
}

// Settings that reach the paced pty at its speed, with the protocol's real timings.
inline void PointAtPacedPty(connection& conn, SimServer& server, unsigned baud) {
    conn.Timings = LinkTimings{};
    conn.PortName = server.PtyPath();
    conn.Speed = baud;
}

// Every caption of the tree in order, each with its depth.
inline std::vector<std::string> TreeTexts(const CfgTree& tree) {
    std::vector<std::string> texts;
    tree.ForEach(
        [&](const TreeNode& n) { texts.push_back(std::to_string(n.Level()) + " " + n.Text); });
    return texts;
}

// The tree a device gives over a link without delays: what every read of it must give.
inline std::vector<std::string> ExpectedTreeTexts(const SimDevice& device) {
    SimServer server(device);
    SimEndpoints endpoints;
    std::string error;
    EXPECT_TRUE(server.Start(endpoints, &error)) << error;
    connection conn;
    conn.OpenTcpIpLink("127.0.0.1", std::to_string(server.TcpPort()));
    CfgTree tree;
    EXPECT_TRUE(
        BuildTreeFromDevice(tree, conn, device.number, nullptr, nullptr, kWindowTreeOptions).ok());
    return TreeTexts(tree);
}

// Rows until the settings file the list makes is larger than one block.
inline void FillBeyondOneBlock(SnvtList& list) {
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(list.AppendRowFromFile("v" + std::to_string(i), {"0", "F", "105", "x"}));
}
