// connection::Transact: one request frame out, one response frame in, with repeats for the
// failures a repeat can cure (a short write, silence, a bad length or a short body).
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/connection.h"
#include "link/vr7frame.h"

LinkResult connection::Transact(const uint8_t* request, int requestLength, uint8_t* response,
                                int responseCapacity, unsigned timeoutMs, uint8_t attempts,
                                const AnswerRules& rules) {
    using Clock = std::chrono::steady_clock;
    // A non-zero capacity must hold at least a header and the check bytes: the header is read
    // into it before its length can be examined.
    if (request == nullptr || requestLength <= 0 || responseCapacity < 0 ||
        (responseCapacity != 0 &&
         (response == nullptr || responseCapacity < kFrameHeader + kFrameCheckSize)))
        return lr::BadArgument;

    LockHolder lock(*this);
    if (!lock.owns()) return lr::LockFailed;
    if (!link_) return lr::NotOpen;
    // A link that failed to open is never written to; the exchange fails as the open did.
    if (openResult_ != lr::Ok && !link_->IsOpen()) return openResult_;

    CLink& link = *link_;
    // A failed system call is reported as 1020, a link that closed as 1003; the errno behind
    // either stays with the connection.
    auto fail = [this, &link](LinkResult rc) {
        if (rc == lr::SystemError || rc == lr::NotOpen) systemError_ = link.SystemErrorNumber();
        return rc;
    };
    const auto timeout = std::chrono::milliseconds(timeoutMs);
    int remaining = attempts == 0 ? 1 : attempts;
    LinkResult pending = lr::Ok;

    // What came after the last whole answer, before this request goes out, is counted: a whole
    // second answer to that request means two devices answer it (or the line repeats answers),
    // and it must never be taken for this request's answer. Late answers owed are the drain's.
    // Nothing is waited for here: a wait before every request would slow every exchange down.
    // A second answer still on its way when the request goes out is no answer to it (another
    // command's layout is garbled, a block's position does not follow) or, taken for it, leaves
    // the real answer behind for this check at the next request.
    const bool afterAnswer = answered_ && lateAnswers_.owed == 0;
    if (answered_) {
        answered_ = false;
        if (lateAnswers_.owed == 0) {
            const LinkResult second = SecondAnswer(link, Clock::now());
            if (second != lr::Ok) return fail(second);
        }
    }

    // Answers to attempts of an earlier exchange that timed out may still be on their way; one
    // of them would be taken for this request's answer. A line that stays quiet here proves
    // little (the device may only be busier than this wait), so they stay owed until the device
    // is heard again.
    if (lateAnswers_.owed > 0) {
        const LinkResult drained = DropLateAnswers(link, false);
        if (drained != lr::Ok) return fail(drained);
    }

    // Hands whatever came of an answer to the trace, so that a broken answer can be seen too.
    auto traceReceived = [this, response, responseCapacity](int count) {
        if (Trace && count > 0)
            Trace(FrameWay::Received, response, std::min(count, responseCapacity));
    };
    // An attempt that ran out of time: its answer may still come, and the line must stay quiet
    // for the timeout of the longest command owed before it can be trusted again.
    auto timedOut = [this, timeout, &link](LinkResult why) {
        LateAnswers& late = lateAnswers_;
        ++late.owed;
        late.quiet = std::max<std::chrono::microseconds>(
            late.quiet, timeout + link.AnswerAllowance(kFrameHeader));
        late.answerTime = std::max<std::chrono::microseconds>(
            late.answerTime, timeout + link.AnswerAllowance(kFrameSize));
        return why;
    };

    // A read that ends the exchange: over TCP/IP a timeout ends it at once (1011), and that
    // attempt's answer, too, may still come.
    auto readFailed = [&](LinkResult rc) {
        if (rc == lr::TcpTimeout) timedOut(rc);
        return fail(rc);
    };

    for (; remaining > 0; --remaining) {
        // A cancel is honoured between exchanges, never in the middle of one.
        if (CancelRequested()) return lr::Cancelled;
        link.Purge(kPurgeInput);

        int written = 0;
        const auto writeStart = Clock::now();
        LinkResult rc = link.Write(request, requestLength, &written);
        if (Trace && written > 0) Trace(FrameWay::Sent, request, std::min(written, requestLength));
        if (rc != lr::Ok) return fail(rc);
        if (written != requestLength) {
            pending = lr::ShortWrite;
            continue;
        }
        if (responseCapacity == 0) return lr::Ok;

        // The answer has one deadline, however its bytes trickle in: the timeout plus the link's
        // allowance for the answer's size (the time its bytes take on a serial line, the extra
        // wait over TCP/IP), counted from when the request's last byte reached the device. Until
        // the header tells the size, the allowance is the header's.
        auto start = std::max(Clock::now(), writeStart + link.WireTime(requestLength));

        // A line that hands the request back: the echo comes first, whole and unchanged, and
        // the answer's wait starts once it is in. A line without it is never waited on.
        if (echo_ == EchoState::Found) {
            const auto echoEnd = start + link.AnswerAllowance(requestLength) +
                                 std::chrono::milliseconds(Timings.echoMs);
            rc = ReadEcho(link, request, requestLength, echoEnd);
            if (rc != lr::Ok) {
                // The device may answer all the same: its answer is let in and dropped before
                // anything else is sent.
                if (rc == lr::NoEcho) timedOut(rc);
                return fail(rc);
            }
            start = Clock::now();
        }
        auto answerEnd = [&link, &start, timeout](int answerBytes) {
            return start + timeout + link.AnswerAllowance(answerBytes);
        };

        // The first frame that comes on a link whose echo is not known yet decides it, once for
        // the link's life: the request itself, byte for byte, is its echo (the identification,
        // a link's first exchange, never answers with its own request), anything else is the
        // answer.
        bool judgingEcho = echo_ == EchoState::Unknown;
        int got = 0;
        for (;;) {
            // The link's ReadUntil waits for data itself; the loop only covers links whose read
            // returns early with nothing (a serial read can end before its deadline).
            for (;;) {
                rc = link.ReadUntil(response, 1, &got, answerEnd(kFrameHeader));
                if (rc != lr::Ok) return readFailed(rc);
                if (got != 0 || Clock::now() >= answerEnd(kFrameHeader)) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (got == 0) break;

            int headerGot = 0;
            rc =
                link.ReadUntil(response + 1, kFrameHeader - 1, &headerGot, answerEnd(kFrameHeader));
            got = 1 + headerGot;
            if (rc != lr::Ok || headerGot != kFrameHeader - 1) break;
            const int need = FrameLength(response) + kFrameCheckSize;
            if (need > responseCapacity - kFrameHeader) break;
            int bodyGot = 0;
            rc = link.ReadUntil(response + kFrameHeader, need, &bodyGot,
                                answerEnd(kFrameHeader + need));
            got += bodyGot;
            if (rc != lr::Ok || bodyGot != need || !judgingEcho) break;

            judgingEcho = false;
            if (got != requestLength || std::memcmp(response, request, static_cast<size_t>(got))) {
                echo_ = EchoState::None;
                break;
            }
            echo_ = EchoState::Found;
            if (Trace) Trace(FrameWay::Echo, response, got);
            start = Clock::now();
        }
        if (got == 0) {
            pending = timedOut(lr::NoAnswer);
            continue;
        }
        traceReceived(got);
        if (rc != lr::Ok) return readFailed(rc);
        // A header cut short cannot give a trustworthy length (the buffer may hold bytes of an
        // earlier attempt); the body read would only time out on it too.
        if (got < kFrameHeader) {
            pending = timedOut(lr::BadLength);
            continue;
        }
        const int need = FrameLength(response) + kFrameCheckSize;
        if (need > responseCapacity - kFrameHeader) {
            pending = lr::BadLength;
            continue;
        }
        if (got != kFrameHeader + need) {
            pending = timedOut(lr::BadLength);
            continue;
        }
        // A whole answer that its command cannot give is repeated like a broken one. Wrong check
        // bytes are the caller's to find (and are not repeated).
        // The device's own answer may still be on its way behind it (the request's echo taken for
        // the answer on a line set to have none): it is let in and dropped first, or the next
        // attempt would read the two mixed.
        if (rules.fits != nullptr && !FrameCheckFails(response) && !rules.fits(request, response)) {
            pending = timedOut(lr::Garbled);
            const LinkResult drained = DropLateAnswers(link, true);
            if (drained != lr::Ok) return fail(drained);
            // A whole answer to the request before, come after its own: a second answer that
            // was still on its way when this request went out.
            if (afterAnswer && FrameCommand(response) == FrameCommand(previous_.data()) &&
                FrameCommand(request) != FrameCommand(previous_.data()) &&
                rules.fits(previous_.data(), response))
                return lr::TwoAnswers;
            continue;
        }
        // This answer may be the late one of an earlier attempt: the same request, so the same
        // answer. The answers to the attempts after it are still to come and are let in and
        // dropped now, before the caller sends anything else; the device has shown that it
        // answers again, so a quiet line from here on settles what was owed.
        if (lateAnswers_.owed > 0) {
            const LinkResult drained = DropLateAnswers(link, true);
            if (drained != lr::Ok) return fail(drained);
            return lr::Ok;
        }
        // Once a link: the first answer tells whether two devices answer (commands open a link
        // each and begin with the identification).
        if (rules.listenForSecond && !heardOnce_) {
            const LinkResult second =
                SecondAnswer(link, Clock::now() + link.WireTime(kFrameHeader) +
                                       std::chrono::milliseconds(Timings.secondAnswerMs));
            if (second != lr::Ok) return fail(second);
        }
        answered_ = true;
        heardOnce_ = true;
        std::memcpy(previous_.data(), request,
                    static_cast<size_t>(std::min<int>(requestLength, kFrameSize)));
        return lr::Ok;
    }
    return pending;
}

LinkResult connection::ReadEcho(CLink& link, const uint8_t* request, int requestLength,
                                std::chrono::steady_clock::time_point deadline) {
    uint8_t echo[kFrameSize];
    int got = 0;
    const LinkResult rc = link.ReadUntil(echo, requestLength, &got, deadline);
    if (got > 0 && Trace) Trace(FrameWay::Echo, echo, got);
    if (rc != lr::Ok && rc != lr::TcpTimeout) return rc;
    if (got != requestLength || std::memcmp(echo, request, static_cast<size_t>(got)) != 0)
        return lr::NoEcho;
    return lr::Ok;
}

LinkResult connection::SecondAnswer(CLink& link, std::chrono::steady_clock::time_point waitUntil) {
    using Clock = std::chrono::steady_clock;
    uint8_t frame[kFrameSize];
    int got = 0;
    LinkResult rc = link.ReadUntil(frame, 1, &got, waitUntil);
    // The rest of a frame whose first byte is in comes at the line's speed, with a byte's
    // allowance each and the moment a second answer is listened for.
    const auto heard = Clock::now();
    auto restEnd = [&](int bytes) {
        return heard + link.WireTime(bytes) + std::chrono::microseconds(Timings.byteUs) * bytes +
               std::chrono::milliseconds(Timings.secondAnswerMs);
    };
    if (rc == lr::Ok && got == 1) {
        int more = 0;
        rc = link.ReadUntil(frame + 1, kFrameHeader - 1, &more, restEnd(kFrameHeader));
        got += more;
        if (rc == lr::Ok && got == kFrameHeader && FrameLength(frame) <= kMaxFrameData) {
            const int need = FrameLength(frame) + kFrameCheckSize;
            rc = link.ReadUntil(frame + kFrameHeader, need, &more, restEnd(kFrameHeader + need));
            got += more;
        }
    }
    if (got > 0 && Trace) Trace(FrameWay::Received, frame, got);
    if (rc != lr::Ok && rc != lr::TcpTimeout) return rc;
    const bool whole = got >= kFrameHeader && got == FrameSizeOf(frame);
    return whole && !FrameCheckFails(frame) ? lr::TwoAnswers : lr::Ok;
}

LinkResult connection::DropLateAnswers(CLink& link, bool settle) {
    using Clock = std::chrono::steady_clock;
    // The line must stay quiet for a whole timeout before it can be trusted again; a device that
    // keeps talking longer than the late answers can take is garbling the line. No command makes
    // more than three attempts, so no more than three answers are waited for.
    const LateAnswers late = lateAnswers_;
    if (settle) lateAnswers_ = {};
    const auto begin = Clock::now();
    const auto giveUp = begin + late.quiet + late.answerTime * std::min(late.owed, 3);
    auto lastHeard = begin;
    uint8_t dropped[256];
    for (;;) {
        const auto deadline = std::min(lastHeard + late.quiet, giveUp);
        // One byte is waited for, then whatever else has come is taken without waiting.
        int got = 0;
        LinkResult rc = link.ReadUntil(dropped, 1, &got, deadline);
        if (rc == lr::Ok && got == 1) {
            int more = 0;
            rc = link.ReadUntil(dropped + 1, sizeof dropped - 1, &more, Clock::now());
            got += more;
        }
        if (got > 0 && Trace) Trace(FrameWay::Received, dropped, got);
        if (rc == lr::TcpTimeout) rc = lr::Ok;  // nothing came in time
        // Once the device has been heard, its late answers have come (or the line is garbled,
        // and the next attempt's purge and its check bytes deal with that): nothing is owed.
        if (got > 0) lateAnswers_ = {};
        if (rc != lr::Ok) return rc;
        if (got == 0) {
            // Quiet for the whole time, or the link has nothing more to give (closed, hung up):
            // either way no late answer can follow. Only a wait cut short by giveUp is no proof.
            return lastHeard + late.quiet <= giveUp || Clock::now() < giveUp ? lr::Ok
                                                                             : lr::BadLength;
        }
        lastHeard = Clock::now();
        if (lastHeard >= giveUp) return lr::BadLength;
    }
}
