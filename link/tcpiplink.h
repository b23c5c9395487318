#pragma once
// The link over a TCP connection to the device (or to a serial-to-network adapter in front of it).
#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "link/linktimings.h"
#include "link/pollwait.h"
#include "link/socket.h"
#include "link/vlink.h"

struct addrinfo;

class CTCPIPLink : public CLink {
  public:
    CTCPIPLink(std::string host, std::string tcpPort, const LinkTimings& timings = {});
    ~CTCPIPLink() override;
    CTCPIPLink(const CTCPIPLink&) = delete;
    CTCPIPLink& operator=(const CTCPIPLink&) = delete;

    // Open(true): 0, or 1003 when the name does not resolve or no address accepts the
    // connection. Each connection attempt is bounded by LinkTimings::tcpConnectMs.
    int Open(bool open) override;
    // Ends at most timeoutMs + 1000 ms (LinkTimings::tcpReadExtraMs) after it began, however the
    // bytes trickle in; a read that times out gives 1011.
    // Other failures, and the peer closing the connection, end the read with 0 and a short count.
    int Read(void* buffer, int count, int* got, unsigned timeoutMs) override;
    int ReadUntil(void* buffer, int count, int* got,
                  std::chrono::steady_clock::time_point deadline) override;
    // LinkTimings::tcpReadExtraMs, whatever the answer's size.
    std::chrono::microseconds AnswerAllowance(int) const override {
        return std::chrono::milliseconds(timings_.tcpReadExtraMs);
    }
    // 1010 (and the link closed) when the socket stays unwritable for a second (tcpWriteMs).
    int Write(const void* buffer, int count, int* written) override;
    bool IsOpen() override { return socket_.Valid(); }
    // flags 8: drops pending input (what the link holds and what the socket has), without
    // waiting for more; 1 when nothing was left pending, 0 on a failure or when input kept
    // coming for a second (tcpPurgeMs). Other flags: 0.
    int Purge(int flags) override;

    const std::string& Host() const { return host_; }
    const std::string& TcpPort() const { return tcpPort_; }

    // Tries the addresses in turn and returns the socket connected to the first that accepts,
    // or kNoSocket (-1 on POSIX). An address whose socket cannot be made is passed over like
    // one that refuses.
    static SocketHandle ConnectToFirst(const addrinfo* addresses,
                                       int timeoutMs = LinkTimings{}.tcpConnectMs);

  private:
    void CloseSocket();
    // Waits until deadline for bytes and takes what the socket has into the empty inbox.
    pollwait::ReadStep Receive(std::chrono::steady_clock::time_point deadline, int& error);

    std::string host_;
    std::string tcpPort_;
    LinkTimings timings_;
    UniqueSocket socket_;
    // Bytes received but not yet read: an answer normally comes in one receive, and its header
    // and body are then read from here.
    std::array<uint8_t, 2048> inbox_{};
    int inboxBegin_ = 0;
    int inboxEnd_ = 0;
    // The socket's receive timeout (SO_RCVTIMEO) in milliseconds; 0 while none is set.
    int64_t receiveTimeoutMs_ = 0;
    // The socket's receives block (for at most the receive timeout); false: only poll() waits.
    bool receiveBlocks_ = false;
};
