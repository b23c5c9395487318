#include "link/tcpiplink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

using namespace pollwait;

CTCPIPLink::CTCPIPLink(std::string host, std::string tcpPort, const LinkTimings& timings)
    : host_(std::move(host)), tcpPort_(std::move(tcpPort)), timings_(timings) {}

CTCPIPLink::~CTCPIPLink() = default;

void CTCPIPLink::CloseSocket() {
    socket_.Reset();
    inboxBegin_ = inboxEnd_ = 0;
    receiveTimeoutMs_ = 0;
    receiveBlocks_ = false;
}

int CTCPIPLink::Read(void* buffer, int count, int* got, unsigned timeoutMs) {
    return ReadUntil(
        buffer, count, got,
        Clock::now() + Millis(static_cast<int64_t>(timeoutMs) + timings_.tcpReadExtraMs));
}

int CTCPIPLink::ReadUntil(void* buffer, int count, int* got, Clock::time_point deadline) {
    if (buffer == nullptr || count <= 0) return lr::BadArgument;
    if (!socket_) return lr::NotOpen;

    // One deadline for the whole read: bytes that trickle in do not extend it. Whatever the
    // socket has is taken into the inbox at once, so the rest of an answer costs no system call.
    auto* out = static_cast<uint8_t*>(buffer);
    int total = 0;
    ReadStep end = ReadStep::Data;
    while (total < count) {
        if (inboxBegin_ == inboxEnd_) {
            int error = 0;
            end = Receive(deadline, error);
            if (end != ReadStep::Data) break;
        }
        const int take = std::min(count - total, inboxEnd_ - inboxBegin_);
        std::memcpy(out + total, inbox_.data() + inboxBegin_, static_cast<size_t>(take));
        inboxBegin_ += take;
        total += take;
    }
    if (got != nullptr) *got = total;
    // The peer closed the connection. The read ends with what came (the exchange sees a short
    // answer), and the link closes: the socket would stay readable for ever, and every later wait
    // for an answer would spin on it until its timeout instead of failing at once with 1003. Any
    // other failure, too, ends the read with a short count.
    // ECONNRESET is kept as the reason, so that the 1003 of every later exchange over this link
    // says that the device closed it rather than that it could not be opened.
    if (end == ReadStep::Closed) {
        CloseSocket();
        Failure(lr::Ok, ECONNRESET);
    }
    return end == ReadStep::Timeout ? lr::TcpTimeout : lr::Ok;
}
