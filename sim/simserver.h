#pragma once
// Serves one simulated device over TCP on 127.0.0.1 and over a pseudo-terminal pair, on a thread
// of its own, until stopped: a site of one device. Tests start it in-process; vr7sim runs it for
// people.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/simsite.h"

class SimServer {
  public:
    explicit SimServer(SimDevice device) { site_.Add(std::move(device)); }
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Opens the endpoints and starts serving; false (with a reason) when an endpoint fails.
    bool Start(const SimEndpoints& endpoints, std::string* error = nullptr);
    // Stops serving and closes every endpoint and connection. Safe to call more than once.
    void Stop() { site_.Stop(); }

    uint16_t TcpPort() const { return site_.TcpPort(0); }
    // The path of the terminal side a client opens (e.g. /dev/pts/5).
    const std::string& PtyPath() const { return site_.PtyPath(0); }

    // Changes or inspects the device while it serves.
    template <class Fn>
    auto With(Fn&& fn) {
        return site_.With(0, std::forward<Fn>(fn));
    }
    void SetFaults(std::vector<SimFault> faults) { site_.SetFaults(0, std::move(faults)); }
    std::vector<std::vector<uint8_t>> Requests() { return site_.Requests(0); }
    void ClearRequests() { site_.ClearRequests(0); }
    // The bytes of a file the device holds (served or uploaded) under this name spelt in exactly
    // this letter case; false when it has none.
    bool File(const std::string& name, std::vector<uint8_t>& bytes) {
        return site_.File(0, name, bytes);
    }
    size_t StaleRequestsDropped() const { return site_.StaleRequestsDropped(); }

  private:
    SimSite site_;
};
