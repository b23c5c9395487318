// The rule that names a device command's failure, as the window's status bar and vr7lon say it:
// from the command's result, or from the frames of its last exchange and the connection's last
// failed exchange when the frames decide.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/failurecause.h"
#include "link/connection.h"
#include "link/connectionkeys.h"
#include "link/vr7frame.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"

namespace {

constexpr uint32_t kNumber = 5;

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
    const std::string config = std::to_string(timings.config.timeoutMs);
    const struct {
        const char* what;
        bool tcp;
        LinkResult code;
        bool framesDecide;
        std::vector<Frame> frames;
        LinkResult lastFailed;  // the connection's last failed exchange
        const char* cause;      // UTF-8; empty: none
    } cases[] = {
        {"success", false, lr::Ok, false, {}, lr::Ok, ""},
        {"cancelled", false, lr::Cancelled, false, {}, lr::BadCheck, ""},
        {"silence over a serial port: the command's attempts",
         false,
         lr::NoAnswer,
         false,
         {},
         lr::Ok,
         "нет ответа от прибора № 5 (3 попытки по 800 мс)"},
        {"silence over TCP/IP: asked once",
         true,
         lr::TcpTimeout,
         false,
         {},
         lr::Ok,
         "нет ответа от прибора № 5 (1 попытка по 800 мс)"},
        {"wrong check bytes",
         false,
         lr::BadCheck,
         false,
         {},
         lr::Ok,
         "неверная контрольная сумма в ответе прибора № 5"},
        {"a broken answer",
         false,
         lr::BadLength,
         false,
         {},
         lr::Ok,
         "ответ прибора № 5 искажён или неполон"},
        {"a refusal", false, 3, false, {}, lr::Ok, "прибор № 5 отказал (код 3)"},
        {"a link that did not open, no reason known",
         false,
         lr::NotOpen,
         false,
         {},
         lr::Ok,
         "ошибка связи с прибором № 5 (код 1003)"},
        {"any other link result",
         false,
         lr::Incomplete,
         false,
         {},
         lr::Ok,
         "ошибка связи с прибором № 5 (код 1018)"},
        // The frames decide.
        {"a request sent three times without an answer: how often and how long",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 1000},
          {true, Request(cmdReadEntry), 1102},
          {true, Request(cmdReadEntry), 1199}},
         lr::NoAnswer,
         "нет ответа от прибора № 5 (3 попытки по 100 мс)"},
        {"an answer to the request before does not count for the last",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdIdentify), 0},
          {false, Answer(cmdIdentify), 5},
          {true, Request(cmdReadHeader), 10}},
         lr::NoAnswer,
         nullptr},
        {"an answer with wrong check bytes",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 0}, {false, WithBadCheck(Answer(cmdReadEntry)), 5}},
         lr::Ok,
         "неверная контрольная сумма в ответе прибора № 5"},
        {"an answer cut short",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 0}, {false, {0x05, 0, 0, 0, 9}, 5}},
         lr::Ok,
         "ответ прибора № 5 искажён или неполон"},
        {"an answer with the refusal's command byte",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 0}, {false, Answer(3), 5}},
         lr::Ok,
         "прибор № 5 отказал (код 3)"},
        {"a refusal with command byte 0 is 255",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 0}, {false, Answer(0), 5}},
         lr::Ok,
         "прибор № 5 отказал (код 255)"},
        {"whole frames: the last failed exchange decides",
         false,
         lr::Ok,
         true,
         {{true, Request(cmdReadEntry), 0}, {false, Answer(cmdReadEntry), 5}},
         lr::BadCheck,
         "неверная контрольная сумма в ответе прибора № 5"},
        {"no frames and no failed exchange: nothing to name", false, lr::Ok, true, {}, lr::Ok, ""},
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
        const std::string expected =
            c.cause != nullptr ? W(c.cause)
                               : W("нет ответа от прибора № 5 (1 попытка по " + config + " мс)");
        EXPECT_EQ(FailureCause(conn, c.code, c.framesDecide, kNumber, tail).str(), expected);
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
        const char* cause;
    } cases[] = {
        {"a store's upload",
         FileOpenFor::Writing,
         {},
         "прибор № 5 отказал в записи: включена защита (снимите EN_PR)"},
        {"a download", FileOpenFor::Reading, {}, "прибор № 5 отказал: такого файла в приборе нет"},
        {"the frames show an open for writing", FileOpenFor::Unknown, OpenRequest(kOpenForWrite),
         "прибор № 5 отказал в записи: включена защита (снимите EN_PR)"},
        {"the frames show an open for reading", FileOpenFor::Unknown, OpenRequest(kOpenForRead),
         "прибор № 5 отказал: такого файла в приборе нет"},
        {"nothing tells what was asked", FileOpenFor::Unknown, {}, "прибор № 5 отказал (код 1001)"},
        {"another request", FileOpenFor::Unknown, Request(cmdReadEntry),
         "прибор № 5 отказал (код 1001)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        connection conn;
        conn.PortName = "COM1";
        ExchangeTail tail;
        if (!c.lastSent.empty())
            tail.Note(FrameWay::Sent, c.lastSent.data(), static_cast<int>(c.lastSent.size()), 0);
        EXPECT_EQ(FailureCause(conn, lr::BadArgument, false, kNumber, tail, c.openFor).str(),
                  W(c.cause));
    }
}

TEST(FailureCause, ASerialPortThatDoesNotOpenIsNamedWithTheSystemsReason) {
    TempDir dir;
    connection conn;
    conn.PortName = dir.Path() + "ttyMissing";  // never a real port
    ASSERT_NE(conn.OpenComLink(conn.PortName, 9600), lr::Ok);
    EXPECT_EQ(FailureCause(conn, lr::NotOpen, false, kNumber).str(),
              W("Порт " + conn.PortName +
                ": такого устройства нет (проверьте имя порта и подключение адаптера)."));
}

}  // namespace
