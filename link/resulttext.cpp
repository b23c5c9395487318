#include "link/resulttext.h"

#include <cerrno>

#include "base/syserror.h"

namespace {

const char* Explanation(LinkResult result) {
    switch (result) {
        case lr::Ok:
            return "success";
        case lr::Unacknowledged:
            return "a file block was not acknowledged, or the local file could not be read";
        case lr::BadArgument:
            return "refused: the device would not open the file, or a bad argument";
        case lr::NotOpen:
            return "the link is not open (port or host could not be opened)";
        case lr::LockFailed:
            return "the connection is busy";
        case lr::NoLinkObject:
            return "no link could be made";
        case lr::ShortWrite:
            return "the request could not be written in full";
        case lr::TcpTimeout:
            return "no answer in time over TCP";
        case lr::BadCheck:
            return "the answer's check bytes are wrong";
        case lr::BadTcpPort:
            return "the TCP port setting (TCPIPport) is no number from 1 to 65535";
        case lr::SystemError:
            return "input/output error on the link";
        case lr::Cancelled:
            return "cancelled by the user";
        case lr::NoAnswer:
            return "no answer";
        case lr::BadLength:
            return "the answer has a wrong length or was cut short";
        case lr::Incomplete:
            return "incomplete transfer: the file's blocks do not add up to the size the device "
                   "announced";
        case lr::FileTooLarge:
            return "the device announces a file larger than 8 MiB: not read";
        case lr::Garbled:
            return "the answer does not have its command's length and layout";
        case lr::NoEcho:
            return "the line did not hand the request back: set the echo off";
        case lr::TwoAnswers:
            return "two answers came to one request: two devices have this number (or the line "
                   "repeats answers)";
        case lr::GetStateFailed:
            return "the serial port's settings could not be read";
        case lr::SetStateFailed:
            return "the serial port's settings could not be applied (speed?)";
        case lr::SetMaskFailed:
            return "the serial port's event mask could not be set";
        default:
            return nullptr;
    }
}

}  // namespace

bool PortDisappeared(LinkResult result, int systemError) {
    return result == lr::SystemError &&
           (systemError == EIO || systemError == ENODEV || systemError == ENXIO);
}

ResultFacts DescribeResult(LinkResult result, int systemError) {
    ResultFacts facts;
    facts.result = result;
    facts.systemError = systemError;
    if (PortDisappeared(result, systemError)) {
        facts.kind = ResultFacts::Kind::PortGone;
    } else if (result == lr::NotOpen && systemError == ECONNRESET) {
        facts.kind = ResultFacts::Kind::PeerClosed;
    } else if (Explanation(result) != nullptr) {
        facts.kind = ResultFacts::Kind::Known;
        if (result == lr::NotOpen && systemError == ENOTTY)
            facts.note = ResultFacts::Note::NotTerminal;
        else if ((result == lr::SystemError || result == lr::NotOpen) && systemError != 0)
            facts.note = ResultFacts::Note::SystemError;
    } else if (result >= 1 && result <= 255) {
        facts.kind = ResultFacts::Kind::Refusal;
    }
    return facts;
}

std::string ResultText(LinkResult result, int systemError) {
    const ResultFacts facts = DescribeResult(result, systemError);
    std::string text = "result " + std::to_string(result) + ": ";
    switch (facts.kind) {
        case ResultFacts::Kind::PortGone:
            return text +
                   "the port disappeared (adapter unplugged?): " + SystemErrorText(systemError);
        case ResultFacts::Kind::PeerClosed:
            return text + "the link is not open: the device closed the connection";
        case ResultFacts::Kind::Known:
            text += Explanation(result);
            break;
        case ResultFacts::Kind::Refusal:
            return text + "the device answered with this refusal code";
        case ResultFacts::Kind::Unknown:
            return text + "unknown result";
    }
    switch (facts.note) {
        case ResultFacts::Note::None:
            break;
        case ResultFacts::Note::NotTerminal:
            text += " (not a terminal, so not a serial port)";
            break;
        case ResultFacts::Note::SystemError:
            text += " (" + SystemErrorText(systemError) + ")";
            break;
    }
    return text;
}
