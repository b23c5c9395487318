#include "prot_simconnection.h"

#include "testtimings.h"

std::string ProtTransportName(ProtTransport transport) {
    return transport == ProtTransport::Tcp ? "Tcp" : "Pty";
}

LinkResult ProtSimConnection::Open(ProtTransport transport) {
    SimEndpoints endpoints;
    endpoints.tcp = transport == ProtTransport::Tcp;
    endpoints.pty = transport == ProtTransport::Pty;
    if (!server.Start(endpoints)) return lr::NotOpen;
    conn.Timings = kTestTimings;
    if (transport == ProtTransport::Tcp)
        return conn.OpenTcpIpLink("127.0.0.1", std::to_string(server.TcpPort()));
    return conn.OpenComLink(server.PtyPath(), 115200);
}
