#pragma once
// A raw TCP client of the simulator on 127.0.0.1, for the tests that look at its bytes and timing
// themselves.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

#include "base/uniquefd.h"

// A socket connected to 127.0.0.1:port, or an empty one when nothing accepts there.
inline UniqueFd ConnectLoopback(uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) fd.Reset();
    return fd;
}
