#include "sim/simsite.h"

#include <algorithm>

#include "link/vr7frame.h"
#include "sim/simsitechannel.h"

using namespace simsite;

size_t SimSite::Add(SimDevice device, std::vector<SimFault> faults, uint16_t tcpPort) {
    SimEndpoints endpoints;
    endpoints.tcpPort = tcpPort;
    return Add(std::move(device), std::move(faults), endpoints);
}

size_t SimSite::Add(SimDevice device, std::vector<SimFault> faults, const SimEndpoints& endpoints) {
    devices_.push_back(std::make_unique<Device>(std::move(device)));
    Device& added = *devices_.back();
    added.responder.Faults() = std::move(faults);
    added.endpoints = endpoints;
    added.line.push_back(&added);
    return devices_.size() - 1;
}

size_t SimSite::AddOnLine(size_t first, SimDevice device, std::vector<SimFault> faults) {
    Device& owner = *devices_.at(first)->lineOwner;
    devices_.push_back(std::make_unique<Device>(std::move(device)));
    Device& added = *devices_.back();
    added.responder.Faults() = std::move(faults);
    added.lineOwner = &owner;
    owner.line.push_back(&added);
    return devices_.size() - 1;
}

void SimSite::SetEndpoints(size_t i, const SimEndpoints& endpoints) {
    devices_.at(i)->lineOwner->endpoints = endpoints;
}

uint16_t SimSite::TcpPort(size_t i) const {
    return devices_.at(i)->lineOwner->tcpPort;
}

const std::string& SimSite::PtyPath(size_t i) const {
    return devices_.at(i)->lineOwner->ptyPath;
}

void SimSite::SetFaults(size_t i, std::vector<SimFault> faults) {
    With(i, [&faults](SimResponder& r) { r.Faults() = std::move(faults); });
}

std::vector<std::vector<uint8_t>> SimSite::Requests(size_t i) {
    Device& owner = *devices_.at(i)->lineOwner;
    if (!owner.SharesLine()) return With(i, [](SimResponder& r) { return r.Requests(); });
    std::lock_guard<std::mutex> lock(owner.lineLogMutex);
    return std::vector<std::vector<uint8_t>>(owner.lineLog.begin(), owner.lineLog.end());
}

void SimSite::ClearRequests(size_t i) {
    Device& owner = *devices_.at(i)->lineOwner;
    if (!owner.SharesLine()) return With(i, [](SimResponder& r) { r.ClearRequests(); });
    std::lock_guard<std::mutex> lock(owner.lineLogMutex);
    owner.lineLog.clear();
}

size_t SimSite::RequestsLogged() {
    size_t count = 0;
    for (size_t i = 0; i < devices_.size(); ++i) {
        Device& d = *devices_[i];
        if (!d.SharesLine()) {
            count += With(i, [](SimResponder& r) { return r.RequestCount(); });
        } else if (d.lineOwner == &d) {
            std::lock_guard<std::mutex> lock(d.lineLogMutex);
            count += d.lineLog.size();
        }
    }
    return count;
}

bool SimSite::File(size_t i, const std::string& name, std::vector<uint8_t>& bytes) {
    return With(i, [&](SimResponder& r) {
        const auto& files = r.Device().files;
        auto it = files.find(name);
        if (it == files.end() || it->first != name) return false;  // as stored, in this case
        bytes = it->second;
        return true;
    });
}

SimReply SimSite::Answer(Device& owner, const std::vector<uint8_t>& frame) {
    const uint32_t address = FrameAddress(frame.data());
    if (!owner.SharesLine()) {
        std::lock_guard<std::mutex> lock(owner.mutex);
        return owner.responder.Handle(frame);
    }
    {
        std::lock_guard<std::mutex> lock(owner.lineLogMutex);
        if (owner.lineLog.size() >= kLineLogLimit) owner.lineLog.pop_front();
        owner.lineLog.push_back(frame);
    }
    // Every device hears it; each it is addressed to carries it out and answers, one answer after
    // the other (the timing of the first, the rest right behind it).
    SimReply answer;
    bool answered = false;
    for (Device* d : owner.line) {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (address != AnyDeviceAddress && d->responder.Device().number != address) continue;
        SimReply reply = d->responder.Respond(frame);
        if (!answered) {
            answer = std::move(reply);
            answered = !answer.bytes.empty();
        } else {
            answer.bytes.insert(answer.bytes.end(), reply.bytes.begin(), reply.bytes.end());
        }
    }
    return answer;
}

void SimSite::Pump(Channel& c) {
    while (c.fd) {
        const auto now = Clock::now();
        // The echo of what has crossed the line goes back first, in one write: it is the
        // converter's, not the device's, and comes ahead of any answer to those bytes.
        if (!c.echo.empty()) {
            size_t due = 0;
            while (due < c.echo.size() && c.InAt(c.echoFrom + due) <= now) ++due;
            if (due > 0) {
                const std::vector<uint8_t> bytes(c.echo.begin(),
                                                 c.echo.begin() + static_cast<long>(due));
                size_t n = 0;
                const SendStep step = SendSome(c.fd, c.isPty, bytes.data(), bytes.size(), n);
                // A host that does not read its echo loses it, as on a real line.
                const size_t gone = step == SendStep::Sent          ? n
                                    : step == SendStep::Interrupted ? 0
                                                                    : due;
                c.echo.erase(c.echo.begin(), c.echo.begin() + static_cast<long>(gone));
                c.echoFrom += gone;
                if (gone > 0) continue;
            }
        }
        if (c.Sending()) {
            if (now < c.sendAt) return;  // the loop wakes for it
            // Every byte whose time has come goes in one write.
            const size_t due = c.steps.DueAfter(now - c.sendAt, c.answer.size());
            if (due <= c.sent) return;
            const uint8_t* bytes = c.answer.data() + c.sent;
            const size_t chunk = due - c.sent;
            size_t n = 0;
            const SendStep step = SendSome(c.fd, c.isPty, bytes, chunk, n);
            if (step == SendStep::Sent) {
                c.sent += n;
                c.waitsForRoom = false;
                if (c.Sending()) c.giveUpAt = c.NextByteDue() + milliseconds(kWriteTimeoutMs);
                continue;
            }
            if (step == SendStep::Interrupted) continue;
            if (step == SendStep::WouldBlock && now < c.giveUpAt) {
                c.waitsForRoom = true;
                return;
            }
            // The peer cannot take the answer: a socket is dropped, a pty loses the answer.
            if (!c.isPty) {
                c.Close();
                return;
            }
            c.answer.clear();
            c.sent = 0;
            continue;
        }
        if (!c.answer.empty()) {  // the whole answer is out
            c.answer.clear();
            c.sent = 0;
            if (c.closeAfter && !c.isPty) {
                c.Close();
                return;
            }
        }
        if (!c.holdsRequest) {
            if (!c.reader.Next(c.request)) return;
            c.holdsRequest = true;
            c.requestIn = c.InAt(c.received - c.reader.Buffered());
        }
        if (now < c.requestIn) return;  // its last byte is still on the line
        c.holdsRequest = false;
        SimReply reply = Answer(*c.device, c.request);
        if (reply.bytes.empty()) {
            if (reply.close && !c.isPty) c.Close();
            continue;
        }
        // The answer starts when the request is in and the answer before it has left (a device
        // takes one request at a time), later by what the device takes to think.
        c.steps = c.paced ? c.line : ByteSteps{};
        if (reply.byteGapMs > 0) {
            const ByteSteps gap = ByteSteps::Every(milliseconds(reply.byteGapMs));
            if (gap.Longer(c.steps)) c.steps = gap;
        }
        const auto start = c.paced ? std::max(c.requestIn, c.txFreeAt) : now;
        c.answer = std::move(reply.bytes);
        c.sent = 0;
        c.closeAfter = reply.close;
        c.sendAt = start + milliseconds(reply.delayMs);
        c.txFreeAt = c.sendAt + c.steps.To(c.answer.size());
        c.giveUpAt = c.NextByteDue() + milliseconds(kWriteTimeoutMs);
        c.waitsForRoom = false;
    }
}
