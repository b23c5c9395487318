#include "device/failurecause.h"

#include <algorithm>

#include "link/comlink.h"
#include "link/connection.h"
#include "link/connectionkeys.h"
#include "link/resulttext.h"
#include "link/vr7frame.h"

namespace {

bool IsTcp(const connection& conn) {
    return conn.PortName == connkeys::kTcpIpPortName;
}

// The exchange's wait per attempt, by the command of its request.
CommandTiming TimingOf(const LinkTimings& timings, const std::vector<uint8_t>& request) {
    if (request.size() <= static_cast<size_t>(kFrameCommandAt)) return timings.identify;
    switch (request[kFrameCommandAt]) {
        case cmdOpenFile:
            return timings.openFile;
        case cmdReadBlock:
        case cmdWriteBlock:
            return timings.block;
        case cmdReadEntry:
        case cmdReadHeader:
            return timings.config;
        default:
            return timings.identify;
    }
}

// What an open request asked for, by its mode byte; Unknown for any other request.
FileOpenFor OpenModeOf(const std::vector<uint8_t>& request) {
    if (request.size() <= static_cast<size_t>(kFrameHeader) ||
        request[kFrameCommandAt] != cmdOpenFile)
        return FileOpenFor::Unknown;
    switch (request[kFrameHeader]) {
        case kOpenForRead:
            return FileOpenFor::Reading;
        case kOpenForWrite:
            return FileOpenFor::Writing;
        default:
            return FileOpenFor::Unknown;
    }
}

}  // namespace

void ExchangeTail::Note(FrameWay way, const uint8_t* bytes, int length, long long ms) {
    // The request handed back by the line says nothing of the device's answer.
    if (way == FrameWay::Echo) return;
    const size_t size = static_cast<size_t>(std::max(0, length));
    if (way == FrameWay::Sent) {
        if (sent.size() == size && std::equal(sent.begin(), sent.end(), bytes)) {
            ++sendings;
        } else {
            sendings = 1;
            firstSentMs = ms;
        }
        lastSentMs = ms;
        sent.assign(bytes, bytes + size);
        received.clear();
    } else {
        received.assign(bytes, bytes + size);
    }
}

LinkResult CodeFromFrames(const ExchangeTail& tail) {
    if (tail.sent.empty()) return lr::Ok;
    const std::vector<uint8_t>& answer = tail.received;
    if (answer.empty()) return lr::NoAnswer;
    const int length = static_cast<int>(answer.size());
    if (length < kFrameHeader || length < FrameSizeOf(answer.data())) return lr::BadLength;
    if (FrameCheckFails(answer.data())) return lr::BadCheck;
    const uint8_t command = FrameCommand(answer.data());
    if (tail.sent.size() > static_cast<size_t>(kFrameCommandAt) &&
        command != tail.sent[kFrameCommandAt])
        return command == 0 ? 255 : command;
    return lr::Ok;
}

LinkResult CodeFromFrames(const connection& conn, const ExchangeTail& tail) {
    if (PortDisappeared(conn.LastFailedExchange(), conn.SystemErrorNumber()))
        return conn.LastFailedExchange();
    return CodeFromFrames(tail);
}

FailureCauseFacts FailureCause(const connection& conn, LinkResult code, bool framesDecide,
                               uint32_t deviceNumber, const ExchangeTail& tail,
                               FileOpenFor openFor) {
    if (framesDecide) {
        code = CodeFromFrames(conn, tail);
        if (code == lr::Ok) code = conn.LastFailedExchange();
    }
    FailureCauseFacts cause;
    cause.deviceNumber = deviceNumber;
    cause.code = code;
    cause.systemError = conn.SystemErrorNumber();
    const auto is = [&cause](FailureCauseKind kind) {
        cause.kind = kind;
        return cause;
    };
    switch (code) {
        case lr::Ok:
        case lr::Cancelled:
            return is(FailureCauseKind::None);
        case lr::NoAnswer:
        case lr::TcpTimeout: {
            // The frames tell how often and how long the request was waited for (the link may
            // wait beyond the command's timeout); without them the command's timing is said (over
            // TCP/IP a request that times out is not sent again).
            const CommandTiming timing = TimingOf(conn.Timings, tail.sent);
            if (tail.sendings < 2) {
                cause.attempts = tail.sendings == 1 || code == lr::TcpTimeout ? 1 : timing.attempts;
                cause.timeoutMs = timing.timeoutMs;
            } else {
                const long long wait = (tail.lastSentMs - tail.firstSentMs) / (tail.sendings - 1);
                cause.attempts = tail.sendings;
                cause.timeoutMs = static_cast<unsigned>((wait + 5) / 10 * 10);
            }
            return is(FailureCauseKind::NoAnswer);
        }
        case lr::BadCheck:
            return is(FailureCauseKind::BadCheck);
        case lr::BadLength:
        case lr::Garbled:
            return is(FailureCauseKind::BrokenAnswer);
        case lr::NoEcho:
            return is(FailureCauseKind::NoEcho);
        case lr::TwoAnswers:
            return is(FailureCauseKind::TwoAnswers);
        case lr::BadArgument:
            // The device refused to open a file; what that means depends on what was asked.
            if (openFor == FileOpenFor::Unknown) openFor = OpenModeOf(tail.sent);
            if (openFor == FileOpenFor::Writing) return is(FailureCauseKind::WriteProtected);
            if (openFor == FileOpenFor::Reading) return is(FailureCauseKind::NoSuchFile);
            return is(FailureCauseKind::Refusal);
        case lr::NotOpen:
            if (IsTcp(conn)) {
                cause.host = conn.IpAddress;
                cause.port = conn.TcpIpPort;
                return is(FailureCauseKind::TcpConnect);
            }
            if (cause.systemError != 0) {
                cause.port = conn.PortName;
                return is(FailureCauseKind::SerialPortProblem);
            }
            return is(FailureCauseKind::LinkError);
        case lr::SystemError:
            if (!IsTcp(conn) && PortDisappeared(code, cause.systemError)) {
                cause.port = CComLink::PortText(conn.PortName);
                return is(FailureCauseKind::SerialPortGone);
            }
            return is(FailureCauseKind::LinkError);
        default:
            if (code >= 1 && code <= 255) return is(FailureCauseKind::Refusal);
            return is(FailureCauseKind::LinkError);
    }
}
