#pragma once
// Inside SimSite: a connection to a device and the pacing of its bytes, shared by the serving
// loops of both platforms (epoll on POSIX, WSAPoll on Windows), and what each platform supplies
// to them.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <vector>

#include "link/socket.h"
#include "sim/simframereader.h"
#include "sim/simsite.h"

namespace simsite {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// An answer the peer does not take in this long (from its start, or from a trickled byte) is
// given up: a socket is dropped, a pty loses the answer.
constexpr int kWriteTimeoutMs = 2000;

// The requests a line of several devices keeps in its log, the most recent ones.
constexpr size_t kLineLogLimit = 100000;

// Input not yet taken as requests is read no further beyond this: the peer waits, as a writer on
// a full line does.
constexpr size_t kMaxHeldInput = 64 * 1024;

// The time from now until when, at least 0, to the nanosecond: a paced answer must not wait a
// millisecond rounded up, or a line of 115200 Bd would lose a third of its speed.
inline Clock::duration Until(Clock::time_point when, Clock::time_point now) {
    return when <= now ? Clock::duration::zero() : when - now;
}

// Bytes that cross a line one after another: byte k (counted from 1) of a run is due k steps
// after the run starts, a step being num/den ns (num 0: every byte at the start). Exact to the
// nanosecond over a whole run, so that a long answer at 9600 Bd does not drift.
struct ByteSteps {
    int64_t num = 0;
    int64_t den = 1;

    // A serial line of baud baud, 10 bits a byte (start, 8 data, stop).
    static ByteSteps Line(unsigned baud) { return {10'000'000'000, static_cast<int64_t>(baud)}; }
    static ByteSteps Every(std::chrono::nanoseconds gap) { return {gap.count(), 1}; }
    bool Longer(const ByteSteps& o) const {
        return static_cast<__int128>(num) * o.den > static_cast<__int128>(o.num) * den;
    }

    // From the start of a run until its byte k is due (at most a century: a fault's absurd gap
    // must not wrap the clock round).
    Clock::duration To(size_t k) const {
        constexpr __int128 kCentury = __int128{100} * 365 * 24 * 3600 * 1'000'000'000;
        return std::chrono::nanoseconds(
            static_cast<int64_t>(std::min(static_cast<__int128>(k) * num / den, kCentury)));
    }
    // How many of a run's first limit bytes are due when elapsed has passed since its start.
    size_t DueAfter(Clock::duration elapsed, size_t limit) const {
        if (elapsed < Clock::duration::zero()) return 0;
        if (num == 0) return limit;
        const __int128 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
        // The largest k with floor(k * num / den) <= ns.
        const __int128 k = ((ns + 1) * den - 1) / num;
        return k < static_cast<__int128>(limit) ? static_cast<size_t>(k) : limit;
    }
};

// How a send of an answer's bytes went.
enum class SendStep {
    Sent,         // sent bytes went out
    Interrupted,  // nothing went: try again at once
    WouldBlock,   // the peer's buffer is full
    Failed,       // the peer cannot take the answer
};

// Sends up to count bytes on a connection (a socket, or a pty master on POSIX) without waiting.
SendStep SendSome(const UniqueSocket& fd, bool isPty, const uint8_t* bytes, size_t count,
                  size_t& sent);

}  // namespace simsite

// One connection to one device: a TCP client or the device's pty.
//
// On a paced pty the connection is a serial line. Its receive side is busy from when bytes are
// first seen: the bytes of one read come in one a byte time after another, queued behind those
// still on their way, and a request is there when its last byte is. Its one transmitter sends
// an answer byte by byte at the line's speed, and only once the answer before it has left.
struct SimSite::Channel {
    using Clock = simsite::Clock;
    using ByteSteps = simsite::ByteSteps;

    Device* device = nullptr;
    UniqueSocket fd;  // the TCP connection, or the pty master on POSIX
    bool isPty = false;
    bool inputEnded = false;  // the TCP peer sent all it will; closed once it is answered
    bool paced = false;
    ByteSteps line;  // a byte's time on the line, when paced
    SimFrameReader reader;
    Clock::time_point lastByte;   // when the last byte read is (or will be) in
    Clock::time_point idleUntil;  // a pty with no terminal side open is not watched before this

    // The receive side: of the bytes read so far (received), those after the first rxBaseCount
    // are still coming in, the j-th of them at rxBase + line.To(j); the others are in.
    uint64_t received = 0;
    uint64_t rxBaseCount = 0;
    Clock::time_point rxBase;

    // The echo still to go back on a line that has one: the bytes read from the echoFrom-th on
    // (counted from 1), each due when it is in.
    bool echoes = false;
    std::deque<uint8_t> echo;
    uint64_t echoFrom = 1;

    // The request taken from the input, answered once its last byte is in.
    std::vector<uint8_t> request;
    bool holdsRequest = false;
    Clock::time_point requestIn;

    // The answer on its way: its bytes, how many are out, when byte k is due (sendAt +
    // steps.To(k)) and by when the peer must have taken the next one.
    std::vector<uint8_t> answer;
    size_t sent = 0;
    ByteSteps steps;
    bool closeAfter = false;
    Clock::time_point sendAt;
    Clock::time_point giveUpAt;
    Clock::time_point txFreeAt;  // when the last answer's last byte has left
    bool waitsForRoom = false;   // the peer's buffer was full at the last attempt

    // Its place in the serving loop: in its list of connections, on the watch list (the events
    // watched, 0: not on it) and among the timers.
    std::list<Channel>::iterator self;
    int epoll = -1;  // POSIX: the loop's epoll descriptor
    uint32_t watched = 0;
    bool touched = false;  // among the connections to move on after this wake-up
    bool timed = false;
    std::multimap<Clock::time_point, Channel*>::iterator timer;

    bool Sending() const { return sent < answer.size(); }
    // Closes the connection (the platform's own: it leaves the loop's watch list first).
    void Close();
    Clock::time_point NextByteDue() const { return sendAt + steps.To(sent + 1); }

    // When the count-th byte read (from 1) is in.
    Clock::time_point InAt(uint64_t count) const {
        return count <= rxBaseCount ? rxBase : rxBase + line.To(count - rxBaseCount);
    }
    // Takes n bytes read now.
    void Received(const uint8_t* bytes, size_t n, Clock::time_point now) {
        reader.Feed(bytes, n);
        if (echoes) echo.insert(echo.end(), bytes, bytes + n);
        if (paced && InAt(received) <= now) {  // the line was quiet: these start a new run
            rxBase = now;
            rxBaseCount = received;
        }
        received += n;
        lastByte = paced ? InAt(received) : now;
    }
};
