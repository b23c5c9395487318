// The rule that names a device command's failure, as the window's status bar and vr7lon say it:
// from the command's result, or from the frames of its last exchange and the connection's last
// failed exchange when the frames decide.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "app/messages.h"
#include "device/failurecause.h"
#include "link/connection.h"
#include "link/connectionkeys.h"
#include "link/vr7frame.h"
#include "tests/common/tempdir.h"

namespace {

constexpr uint32_t kNumber = 5;

// The cause's words, as the status bar shows them.
Cp1251String CauseOf(const connection& conn, LinkResult code, bool framesDecide,
                     const ExchangeTail& tail = ExchangeTail(),
                     FileOpenFor openFor = FileOpenFor::Unknown) {
    return usertext::FailureCauseText(
        FailureCause(conn, code, framesDecide, kNumber, tail, openFor));
}

struct Frame {
    bool sent;
    std::vector<uint8_t> bytes;
    long long ms;
};

std::vector<uint8_t> Request(uint8_t command) {
    return MakeFrame(kNumber, command, {1, 0});
}

// A whole answer to command, with one byte of data.
std::vector<uint8_t> Answer(uint8_t command) {
    return MakeFrame(kNumber, command, {7});
}

std::vector<uint8_t> WithBadCheck(std::vector<uint8_t> frame) {
    frame.back() ^= 0xFF;
    return frame;
}

TEST(FailureCause, NamesTheCauseFromTheResultOrTheFrames) {
    const LinkTimings timings;
    const struct {
        const char* what;
        bool tcp;
        LinkResult code;
        bool framesDecide;
        std::vector<Frame> frames;
        LinkResult lastFailed;  // the connection's last failed exchange
        Cp1251String cause;     // empty: none
    } cases[] = {
        {"success", false, lr::Ok, false, {}, lr::Ok, {}},
        {"cancelled", false, lr::Cancelled, false, {}, lr::BadCheck, {}},
        {"silence over a serial port: the command's attempts",
         false,
         lr::NoAnswer,
         false,
         {},
         lr::Ok,
         usertext::NoAnswerCause(kNumber, 3, 800)},
        {"silence over TCP/IP: asked once",
         true,
         lr::TcpTimeout,
         false,
         {},
         lr::Ok,
         usertext::NoAnswerCause(kNumber, 1, 800)},
        {"wrong check bytes",
         false,
         lr::BadCheck,
         false,
         {},
         lr::Ok,
         usertext::BadCheckCause(kNumber)},
        {"a broken answer",
         false,
         lr::BadLength,
         false,
         {},
         lr::Ok,
         usertext::BrokenAnswerCause(kNumber)},
        {"a refusal", false, 3, false, {}, lr::Ok, usertext::RefusalCause(kNumber, 3)},
        {"a link that did not open, no reason known",
         false,
         lr::NotOpen,
         false,
         {},
         lr::Ok,
         usertext::LinkErrorCause(kNumber, lr::NotOpen)},
        {"any other link result",
         false,
         lr::Incomplete,
         false,
         {},
         lr::Ok,
         usertext::LinkErrorCause(kNumber, lr::Incomplete)},
        // The frames decide.
        {"a request sent three times without an answer: how often and how long",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 1000},
          {true, Request(cmdReadEntry), 1102},
          {true, Request(cmdReadEntry), 1199}},
         lr::NoAnswer,
         usertext::NoAnswerCause(kNumber, 3, 100)},
        {"an answer to the request before does not count for the last",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdIdentify), 0},
          {false, Answer(cmdIdentify), 5},
          {true, Request(cmdReadHeader), 10}},
         lr::NoAnswer,
         usertext::NoAnswerCause(kNumber, 1, timings.config.timeoutMs)},
        {"an answer with wrong check bytes",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 0}, {false, WithBadCheck(Answer(cmdReadEntry)), 5}},
         lr::Ok,
         usertext::BadCheckCause(kNumber)},
        {"an answer cut short",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 0}, {false, {0x05, 0, 0, 0, 9}, 5}},
         lr::Ok,
         usertext::BrokenAnswerCause(kNumber)},
        {"an answer with the refusal's command byte",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 0}, {false, Answer(3), 5}},
         lr::Ok,
         usertext::RefusalCause(kNumber, 3)},
        {"a refusal with command byte 0 is 255",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 0}, {false, Answer(0), 5}},
         lr::Ok,
         usertext::RefusalCause(kNumber, 255)},
        {"whole frames: the last failed exchange decides",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 0}, {false, Answer(cmdReadEntry), 5}},
         lr::BadCheck,
         usertext::BadCheckCause(kNumber)},
        {"no frames and no failed exchange: nothing to name", false, lr::Ok, true, {}, lr::Ok, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        connection conn;
        conn.Timings = timings;
        conn.PortName = c.tcp ? connkeys::kTcpIpPortName : "COM1";
        conn.IpAddress = "127.0.0.1";
        if (c.lastFailed != lr::Ok) conn.NoteFailedExchange(c.lastFailed);
        ExchangeTail tail;
        for (const Frame& f : c.frames)
            tail.Note(f.sent ? FrameWay::Sent : FrameWay::Received, f.bytes.data(),
                      static_cast<int>(f.bytes.size()), f.ms);
        EXPECT_EQ(CauseOf(conn, c.code, c.framesDecide, tail), c.cause);
    }
}

// An open request for a file, mode first, then the name.
std::vector<uint8_t> OpenRequest(uint8_t mode) {
    return MakeFrame(kNumber, cmdOpenFile, {mode, 'X'});
}

TEST(FailureCause, ARefusedFileOpenIsARefusalWithItsMeaning) {
    const struct {
        const char* what;
        FileOpenFor openFor;
        std::vector<uint8_t> lastSent;  // empty: no frames seen
        Cp1251String cause;
    } cases[] = {
        {"a store's upload", FileOpenFor::Writing, {}, usertext::WriteProtectedCause(kNumber)},
        {"a download", FileOpenFor::Reading, {}, usertext::NoSuchFileCause(kNumber)},
        {"the frames show an open for writing", FileOpenFor::Unknown, OpenRequest(kOpenForWrite),
         usertext::WriteProtectedCause(kNumber)},
        {"the frames show an open for reading", FileOpenFor::Unknown, OpenRequest(kOpenForRead),
         usertext::NoSuchFileCause(kNumber)},
        {"nothing tells what was asked",
         FileOpenFor::Unknown,
         {},
         usertext::RefusalCause(kNumber, lr::BadArgument)},
        {"another request", FileOpenFor::Unknown, Request(cmdReadEntry),
         usertext::RefusalCause(kNumber, lr::BadArgument)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        connection conn;
        conn.PortName = "COM1";
        ExchangeTail tail;
        if (!c.lastSent.empty())
            tail.Note(FrameWay::Sent, c.lastSent.data(), static_cast<int>(c.lastSent.size()), 0);
        EXPECT_EQ(CauseOf(conn, lr::BadArgument, false, tail, c.openFor), c.cause);
    }
}

TEST(FailureCause, ASerialPortThatDoesNotOpenIsNamedWithTheSystemsReason) {
    TempDir dir;
    connection conn;
    conn.PortName = dir.Path() + "ttyMissing";  // never a real port
    ASSERT_NE(conn.OpenComLink(conn.PortName, 9600), lr::Ok);
    EXPECT_EQ(CauseOf(conn, lr::NotOpen, false),
              usertext::SerialPortProblem(conn.PortName, ENOENT));
}

}  // namespace
