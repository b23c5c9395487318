#pragma once
// A TCP server on 127.0.0.1 for link tests: accepts one connection and runs a script on it in its
// own thread. Every wait is bounded, so a failing test cannot hang.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class LoopServer {
  public:
    // The script gets the accepted socket (closed after it returns) and the server, whose
    // WaitForStop lets it stay connected and silent until the test is done. receiveBuffer > 0
    // shrinks the accepted socket's receive buffer (a peer that stops reading fills up sooner).
    using Script = std::function<void(int socket, LoopServer& server)>;
    explicit LoopServer(Script script, int receiveBuffer = 0);
    ~LoopServer();
    LoopServer(const LoopServer&) = delete;
    LoopServer& operator=(const LoopServer&) = delete;

    std::string Port() const { return std::to_string(port_); }
    bool Accepted() const { return accepted_; }
    // Ends WaitForStop and waits for the script to return (a script not yet started never starts).
    void Stop();
    // Waits for the script to accept and run to its end by itself.
    void Join();
    // True when Stop was called, false when timeoutMs passed first.
    bool WaitForStop(int timeoutMs);

  private:
    void Run(Script script);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> accepted_{false};
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::thread thread_;
};

// A loopback port on which nothing listens (connections to it are refused).
std::string UnusedLoopbackPort();

// Sends all bytes; false when the socket fails first.
bool SendAll(int socket, const void* bytes, size_t count);
