#include "device/failurecause.h"

#include <algorithm>

#include "app/messages.h"
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

Cp1251String FailureCause(const connection& conn, LinkResult code, bool framesDecide,
                          uint32_t deviceNumber, const ExchangeTail& tail, FileOpenFor openFor) {
    if (framesDecide) {
        code = CodeFromFrames(conn, tail);
        if (code == lr::Ok) code = conn.LastFailedExchange();
    }
    const int error = conn.SystemErrorNumber();
    switch (code) {
        case lr::Ok:
        case lr::Cancelled:
            return Cp1251String();
        case lr::NoAnswer:
        case lr::TcpTimeout: {
            // The frames tell how often and how long the request was waited for (the link may
            // wait beyond the command's timeout); without them the command's timing is said (over
            // TCP/IP a request that times out is not sent again).
            const CommandTiming timing = TimingOf(conn.Timings, tail.sent);
            if (tail.sendings < 2)
                return usertext::NoAnswerCause(
                    deviceNumber,
                    tail.sendings == 1 || code == lr::TcpTimeout ? 1 : timing.attempts,
                    timing.timeoutMs);
            const long long wait = (tail.lastSentMs - tail.firstSentMs) / (tail.sendings - 1);
            return usertext::NoAnswerCause(deviceNumber, tail.sendings,
                                           static_cast<unsigned>((wait + 5) / 10 * 10));
        }
        case lr::BadCheck:
            return usertext::BadCheckCause(deviceNumber);
        case lr::BadLength:
        case lr::Garbled:
            return usertext::BrokenAnswerCause(deviceNumber);
        case lr::NoEcho:
            return usertext::NoEchoCause();
        case lr::TwoAnswers:
            return usertext::TwoAnswersCause(deviceNumber);
        case lr::BadArgument:
            // The device refused to open a file; what that means depends on what was asked.
            if (openFor == FileOpenFor::Unknown) openFor = OpenModeOf(tail.sent);
            if (openFor == FileOpenFor::Writing) return usertext::WriteProtectedCause(deviceNumber);
            if (openFor == FileOpenFor::Reading) return usertext::NoSuchFileCause(deviceNumber);
            return usertext::RefusalCause(deviceNumber, code);
        case lr::NotOpen:
            if (IsTcp(conn))
                return usertext::TcpConnectCause(conn.IpAddress, conn.TcpIpPort, error);
            if (error != 0) return usertext::SerialPortProblem(conn.PortName, error);
            return usertext::LinkErrorCause(deviceNumber, code);
        case lr::SystemError:
            if (!IsTcp(conn) && PortDisappeared(code, error))
                return usertext::SerialPortGone(CComLink::PortText(conn.PortName));
            return usertext::LinkErrorCause(deviceNumber, code);
        default:
            if (code >= 1 && code <= 255) return usertext::RefusalCause(deviceNumber, code);
            return usertext::LinkErrorCause(deviceNumber, code);
    }
}
