#pragma once
// Serves one simulated device over TCP on 127.0.0.1 and over a pseudo-terminal pair, on a thread
// of its own, until stopped. Tests start it in-process; vr7sim runs it for people.
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simresponder.h"
#include "uniquefd.h"

struct SimEndpoints {
    bool tcp = true;
    uint16_t tcpPort = 0;  // 0 picks a free port; TcpPort() tells which
    bool pty = false;
    // A frame left unfinished this long is noise: the device forgets it rather than wait forever.
    int stalePartialMs = 500;
    // On the pty, the wire of a serial line at this many baud (10 bits a byte): an answer is
    // complete only when the request and the answer could have crossed it. 0: at once.
    unsigned paceBaud = 0;
};

class SimServer {
  public:
    explicit SimServer(SimDevice device);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Opens the endpoints and starts serving; false (with a reason) when an endpoint fails.
    bool Start(const SimEndpoints& endpoints, std::string* error = nullptr);
    // Stops serving and closes every endpoint and connection. Safe to call more than once.
    void Stop();

    uint16_t TcpPort() const { return tcpPort_; }
    // The path of the terminal side a client opens (e.g. /dev/pts/5).
    const std::string& PtyPath() const { return ptyPath_; }

    // Changes or inspects the device while it serves.
    template <class Fn>
    auto With(Fn&& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(responder_);
    }
    void SetFaults(std::vector<SimFault> faults);
    std::vector<std::vector<uint8_t>> Requests();
    void ClearRequests();
    // The bytes of a file the device holds (served or uploaded) under this name spelt in exactly
    // this letter case; false when it has none.
    bool File(const std::string& name, std::vector<uint8_t>& bytes);

  private:
    struct Channel;

    bool OpenTcp(uint16_t port, std::string* error);
    bool OpenPty(std::string* error);
    void Run();
    void Serve(Channel& channel);
    bool Deliver(Channel& channel, const SimReply& reply);
    bool WaitForStop(int ms);
    void CloseAll();

    std::mutex mutex_;
    SimResponder responder_;

    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    UniqueFd listenFd_;
    UniqueFd ptyMaster_;
    int stalePartialMs_ = 500;
    unsigned paceBaud_ = 0;
    uint16_t tcpPort_ = 0;
    std::string ptyPath_;
    std::thread thread_;
};
