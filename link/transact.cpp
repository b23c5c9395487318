// connection::Transact: one request frame out, one response frame in, with repeats for the
// failures a repeat can cure (a short write, silence, a bad length or a short body).
#include <algorithm>
#include <chrono>
#include <thread>

#include "link/connection.h"
#include "link/vr7frame.h"

LinkResult connection::Transact(const uint8_t* request, int requestLength, uint8_t* response,
                                int responseCapacity, unsigned timeoutMs, uint8_t attempts) {
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
        if (Trace && count > 0) Trace(false, response, std::min(count, responseCapacity));
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
        const auto writeStart = std::chrono::steady_clock::now();
        LinkResult rc = link.Write(request, requestLength, &written);
        if (Trace && written > 0) Trace(true, request, std::min(written, requestLength));
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
        const auto start =
            std::max(std::chrono::steady_clock::now(), writeStart + link.WireTime(requestLength));
        auto answerEnd = [&link, start, timeout](int answerBytes) {
            return start + timeout + link.AnswerAllowance(answerBytes);
        };

        // The link's ReadUntil waits for data itself; the loop only covers links whose read
        // returns early with nothing (a serial read can end before its deadline).
        int got = 0;
        for (;;) {
            rc = link.ReadUntil(response, 1, &got, answerEnd(kFrameHeader));
            if (rc != lr::Ok) return readFailed(rc);
            if (got != 0 || std::chrono::steady_clock::now() >= answerEnd(kFrameHeader)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (got == 0) {
            pending = timedOut(lr::NoAnswer);
            continue;
        }

        int headerGot = 0;
        rc = link.ReadUntil(response + 1, kFrameHeader - 1, &headerGot, answerEnd(kFrameHeader));
        if (rc != lr::Ok) {
            traceReceived(1 + headerGot);
            return readFailed(rc);
        }
        // A header cut short cannot give a trustworthy length (the buffer may hold bytes of an
        // earlier attempt); the body read would only time out on it too.
        if (headerGot != kFrameHeader - 1) {
            traceReceived(1 + headerGot);
            pending = timedOut(lr::BadLength);
            continue;
        }

        const int need = FrameLength(response) + kFrameCheckSize;
        if (need > responseCapacity - kFrameHeader) {
            traceReceived(kFrameHeader);
            pending = lr::BadLength;
            continue;
        }

        int bodyGot = 0;
        rc =
            link.ReadUntil(response + kFrameHeader, need, &bodyGot, answerEnd(kFrameHeader + need));
        traceReceived(kFrameHeader + bodyGot);
        if (rc != lr::Ok) return readFailed(rc);
        if (bodyGot != need) {
            pending = timedOut(lr::BadLength);
            continue;
        }
        // This answer may be the late one of an earlier attempt: the same request, so the same
        // answer. The answers to the attempts after it are still to come and are let in and
        // dropped now, before the caller sends anything else; the device has shown that it
        // answers again, so a quiet line from here on settles what was owed.
        if (lateAnswers_.owed > 0) {
            const LinkResult drained = DropLateAnswers(link, true);
            if (drained != lr::Ok) return fail(drained);
        }
        return lr::Ok;
    }
    return pending;
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
        if (got > 0 && Trace) Trace(false, dropped, got);
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
