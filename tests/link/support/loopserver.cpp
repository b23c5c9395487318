#include "tests/link/support/loopserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int ListenOnLoopback(int& port, int receiveBuffer) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // Set on the listener so that the accepted socket starts with it (the window is fixed then).
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

LoopServer::LoopServer(Script script, int receiveBuffer) {
    listener_ = ListenOnLoopback(port_, receiveBuffer);
    thread_ = std::thread(&LoopServer::Run, this, std::move(script));
}

LoopServer::~LoopServer() {
    Stop();
    if (listener_ >= 0) ::close(listener_);
}

void LoopServer::Run(Script script) {
    if (listener_ < 0) return;
    // Ten seconds for the test to connect, given up at once when the test is over.
    for (int waited = 0;; waited += 50) {
        if (waited >= 10000 || WaitForStop(0)) return;
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) == 1) break;
    }
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    accepted_ = true;
    script(fd, *this);
    ::close(fd);
}

void LoopServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    stopped_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void LoopServer::Join() {
    if (thread_.joinable()) thread_.join();
}

bool LoopServer::WaitForStop(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return stopped_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return stop_; });
}

std::string UnusedLoopbackPort() {
    int port = 0;
    const int fd = ListenOnLoopback(port, 0);
    if (fd >= 0) ::close(fd);
    return std::to_string(port);
}

bool SendAll(int socket, const void* bytes, size_t count) {
    const auto* p = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t n = ::send(socket, p, count, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}
