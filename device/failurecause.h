#pragma once
// The cause of a device command's failure in one line: the window's status bar and vr7lon name
// it in the same words. The frames of the last exchange, when someone traced them, tell how often
// and how long a request was waited for, and which answer came broken.
#include <cstdint>
#include <string>
#include <vector>

#include "device/failurefacts.h"
#include "link/connection.h"
#include "link/vr7types.h"

// The last exchange as the frames showed it: what was sent, how often in a row, and what came.
struct ExchangeTail {
    std::vector<uint8_t> sent;
    int sendings = 0;           // the same request in a row (its attempts)
    long long firstSentMs = 0;  // the first and the last of them
    long long lastSentMs = 0;
    std::vector<uint8_t> received;  // of the last sending; empty: nothing came

    // Takes a frame seen ms after the command began.
    void Note(FrameWay way, const uint8_t* bytes, int length, long long ms);
};

// The result the frames show: Ok when nothing was sent or the last answer was whole and answered
// the request; otherwise the exchange's failure (silence, a broken answer, a refusal).
LinkResult CodeFromFrames(const ExchangeTail& tail);
// The same, unless the serial port went away: its last request may have gone out with no answer
// to follow, which the frames alone would call silence.
LinkResult CodeFromFrames(const connection& conn, const ExchangeTail& tail);

// What the command asked of the device's file when the device refused to open it (lr::BadArgument):
// a refused read means the device has no such file, a refused write that its write protection
// (EN_PR) is on. Unknown: the frames tell, when they show the open request; otherwise it is named
// a refusal without its meaning.
enum class FileOpenFor { Unknown, Reading, Writing };

// The cause of a device command's failure, as facts (app/messages names it); empty when there is
// none (it succeeded or was cancelled). code is the command's result when it is known;
// framesDecide: it is not, and the frames decide it, or when they show nothing wrong, the
// connection's last failed exchange. deviceNumber is the number the command asked for.
FailureCauseFacts FailureCause(const connection& conn, LinkResult code, bool framesDecide,
                               uint32_t deviceNumber, const ExchangeTail& tail = ExchangeTail(),
                               FileOpenFor openFor = FileOpenFor::Unknown);
