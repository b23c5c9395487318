#include "link/socket.h"

#include <winsock2.h>

void CloseSocketHandle(SocketHandle socket) {
    ::closesocket(static_cast<SOCKET>(socket));
}

bool SocketsReady() {
    // Started once and never cleaned up: sockets may be in use until the program ends.
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
