#pragma once
// A connection to an in-process simulated device, over TCP on 127.0.0.1 or over a pty, waiting
// with the scaled-down test timings.
#include <memory>
#include <string>

#include "connection.h"
#include "simserver.h"

enum class ProtTransport { Tcp, Pty };

std::string ProtTransportName(ProtTransport transport);

struct ProtSimConnection {
    explicit ProtSimConnection(SimDevice device) : server(std::move(device)) {}
    // Starts the device and opens the connection's link to it; 0 on success.
    LinkResult Open(ProtTransport transport);

    SimServer server;
    connection conn;
};
