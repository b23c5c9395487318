#pragma once
// A socket as the platform has it: a file descriptor on POSIX, a Winsock SOCKET (closed by
// closesocket, not close) on Windows; and the start of Winsock, which POSIX does not need.
#include <cstdint>
#include <utility>

#include "base/uniquefd.h"

#ifdef _WIN32
using SocketHandle = uintptr_t;                       // SOCKET
constexpr SocketHandle kNoSocket = ~SocketHandle{0};  // INVALID_SOCKET

// Closes a socket (closesocket).
void CloseSocketHandle(SocketHandle socket);

// The one owner of a socket: closes it when it goes, moves but never copies.
class UniqueSocket {
  public:
    UniqueSocket() = default;
    explicit UniqueSocket(SocketHandle socket) : socket_(socket) {}
    ~UniqueSocket() { Reset(); }
    UniqueSocket(UniqueSocket&& other) noexcept : socket_(other.Release()) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    SocketHandle Get() const { return socket_; }
    bool Valid() const { return socket_ != kNoSocket; }
    explicit operator bool() const { return Valid(); }
    SocketHandle Release() { return std::exchange(socket_, kNoSocket); }
    void Reset(SocketHandle socket = kNoSocket) {
        if (socket_ != kNoSocket) CloseSocketHandle(socket_);
        socket_ = socket;
    }

  private:
    SocketHandle socket_ = kNoSocket;
};
#else
using SocketHandle = int;
constexpr SocketHandle kNoSocket = -1;
using UniqueSocket = UniqueFd;
#endif

// Whether sockets can be used: on Windows, Winsock started (once, for the whole program).
bool SocketsReady();
