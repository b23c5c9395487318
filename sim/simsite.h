#pragma once
// Serves any number of simulated devices, each on its own endpoints (TCP on 127.0.0.1 and/or a
// pseudo-terminal pair, which Windows does not have), from one thread: one event loop watches every
// endpoint and connection, and a wake-up handles only the connections that are ready or whose time
// has come. An answer that is delayed, trickled or paced waits in its connection's queue instead of
// holding the loop, so what one device does (a fault included) never slows another down.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/uniquefd.h"
#include "link/socket.h"
#include "sim/simresponder.h"

struct SimEndpoints {
    bool tcp = true;
    uint16_t tcpPort = 0;  // 0 picks a free port; TcpPort() tells which
    bool pty = false;
    // A frame left unfinished this long is noise: the device forgets it rather than wait forever.
    int stalePartialMs = 500;
    // On the pty, a serial line at this many baud (10 bits a byte): a request is in when its last
    // byte could have crossed the line, its answer goes out byte by byte at the line's speed,
    // one answer after another. 0: at once.
    unsigned paceBaud = 0;
    // On the pty, a line that hands every byte the host sends back to it (the local echo of an
    // RS-485 converter), each byte as it has crossed the line, so ahead of the answer.
    bool echo = false;
};

class SimSite {
  public:
    SimSite();
    ~SimSite();
    SimSite(const SimSite&) = delete;
    SimSite& operator=(const SimSite&) = delete;

    // Adds a device with its faults, served on 127.0.0.1:tcpPort (0: a free port) or on the given
    // endpoints; returns its index (0, 1, ... in the order added). Only while not serving.
    size_t Add(SimDevice device, std::vector<SimFault> faults = {}, uint16_t tcpPort = 0);
    size_t Add(SimDevice device, std::vector<SimFault> faults, const SimEndpoints& endpoints);
    // Adds a device on the line of device `first`: served on its endpoints, as devices sharing
    // one serial line are. Every device on a line hears every request; each whose number it is
    // addressed to answers, one answer after the other (a request to any address: every device
    // of the line), so that two devices of one number answer twice.
    size_t AddOnLine(size_t first, SimDevice device, std::vector<SimFault> faults = {});
    // Changes where device i (and any device on its line) is served from the next Start on. Only
    // while not serving.
    void SetEndpoints(size_t i, const SimEndpoints& endpoints);
    size_t Size() const { return devices_.size(); }

    // Opens every device's endpoints and starts serving them all. False, with the reason and the
    // index of the device whose endpoint failed, when one cannot be opened: nothing is served then.
    bool Start(std::string* error = nullptr, size_t* failedDevice = nullptr);
    // Stops serving and closes every endpoint and connection; the devices keep their state (files
    // stored, requests seen) and can be served again by Start. Safe to call more than once.
    void Stop();
    bool Serving() const { return thread_.joinable(); }

    // Where device i listens: its TCP port (the one picked when 0 was asked for) and the path of
    // the terminal side of its pty (e.g. /dev/pts/5). They stay readable after Stop.
    uint16_t TcpPort(size_t i) const;
    const std::string& PtyPath(size_t i) const;

    // Changes or inspects device i while it serves.
    template <class Fn>
    auto With(size_t i, Fn&& fn) {
        Device& d = *devices_.at(i);
        std::lock_guard<std::mutex> lock(d.mutex);
        return fn(d.responder);
    }
    void SetFaults(size_t i, std::vector<SimFault> faults);
    // Every intact request device i received (the most recent ones), oldest first; on a line,
    // what the line carried.
    std::vector<std::vector<uint8_t>> Requests(size_t i);
    void ClearRequests(size_t i);
    // How many requests the site keeps in its logs, over all its devices (a line's log counted
    // once).
    size_t RequestsLogged();
    // The bytes of a file device i holds (served or uploaded) under this name spelt in exactly
    // this letter case; false when it has none.
    bool File(size_t i, const std::string& name, std::vector<uint8_t>& bytes);
    // How many unfinished requests went stale (their line quiet for stalePartialMs) and were
    // forgotten, over every connection since the site was made.
    size_t StaleRequestsDropped() const { return staleDropped_.load(); }

    // What the serving loop has done since the site was made, for the tests that check that its
    // work follows the traffic and not the number of devices served.
    struct LoopCounters {
        size_t wakeups = 0;       // returns from waiting for events
        size_t watchChanges = 0;  // descriptors added to, changed on or taken off the watch list
        size_t connections = 0;   // connections held now (the ptys served included)
    };
    LoopCounters Counters() const {
        return {wakeups_.load(), watchChanges_.load(), liveChannels_.load()};
    }

  private:
    struct Device {
        explicit Device(SimDevice device) : responder(std::move(device)) {}
        std::mutex mutex;  // guards responder
        SimResponder responder;
        SimEndpoints endpoints;
        UniqueSocket listenFd;
        UniqueFd ptyMaster;
        uint16_t tcpPort = 0;
        std::string ptyPath;
        // The devices served on this one's endpoints, this one first; empty for a device on
        // another's line.
        std::vector<Device*> line;
        Device* lineOwner = this;
        // Every device of a line of several hears every request: the line keeps one log of them
        // for all its devices (in its first device), not one a device.
        std::mutex lineLogMutex;
        std::deque<std::vector<uint8_t>> lineLog;
        bool SharesLine() const { return lineOwner->line.size() > 1; }
    };
    struct Channel;
    class Loop;

    bool Open(Device& device, std::string* error);
    // What the devices on owner's line answer to a request: every one of them hears it.
    SimReply Answer(Device& owner, const std::vector<uint8_t>& frame);
    void Run();
    // Moves a connection on as far as it can go now: sends what is due of the answer on its way,
    // then answers the next whole request it holds, and so on.
    void Pump(Channel& channel);
    void CloseAll();

    std::vector<std::unique_ptr<Device>> devices_;
    // What wakes the serving loop to stop: a pipe on POSIX, a loopback socket on Windows.
    UniqueSocket wakeRead_;
    UniqueSocket wakeWrite_;
    std::atomic<size_t> staleDropped_{0};
    std::atomic<size_t> wakeups_{0};
    std::atomic<size_t> watchChanges_{0};
    std::atomic<size_t> liveChannels_{0};
    std::unique_ptr<Loop> loop_;  // while serving
    std::thread thread_;
};
