// Every answer against its command's length and layout, against a scripted link. (A second answer
// and the line's echo meet the simulator: tests/sim/sim_site_test.cpp, tests/app/wire_test.cpp.)
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "link/vr7prot.h"
#include "tests/common/vr7wire.h"
#include "tests/link/support/prot_scriptlink.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace wire;

// The frame with its data changed: by (-1) one byte fewer, (+1) one more, (0) none at all.
Bytes Resized(const Bytes& frame, int by) {
    Bytes data(frame.begin() + kFrameHeader, frame.end() - kFrameCheckSize);
    data.resize(by == 0 ? 0 : data.size() + static_cast<size_t>(by));
    return MakeFrame(7, FrameCommand(frame.data()), data);
}

enum class Op { Identify, Header, Entry, Download, Upload };

LinkResult RunOp(connection& conn, Op op) {
    DeviceInfo info;
    SConfigInfo header;
    uint8_t entry[kConfigEntrySize];
    std::ostringstream down;
    std::istringstream up("xy");
    switch (op) {
        case Op::Identify:
            return ReadDeviceInfo(conn, 7, info);
        case Op::Header:
            return ReadConfigHeader(conn, 7, header);
        case Op::Entry:
            return ReadConfigEntry(conn, 7, 1, entry, kConfigEntrySize, nullptr);
        case Op::Download:
            return ReadDeviceFile(conn, 7, &down, "a", nullptr);
        case Op::Upload:
            return WriteDeviceFile(conn, 7, &up, "a", nullptr);
    }
    return lr::Ok;
}

// Each command's answer, one fault at a time, after the right answers before it. An answer that
// does not fit is garbled and asked for again as often as the command's attempts allow (a block
// read: once, then eight repeats); it is never read.
TEST(AnswerCheck, EveryCommandTakesOnlyAnAnswerOfItsOwnLengthAndLayout) {
    const Bytes cutText = MakeFrame(7, cmdReadHeader, {1, 0, 0, 0, 0, 0, 0, 0, 1, 'k', 0, 'i'});
    const Bytes textAfter =
        MakeFrame(7, cmdReadHeader, {1, 0, 0, 0, 0, 0, 0, 0, 1, 'k', 0, 'i', 0, 'x'});
    const Bytes open = kFileSize2, ready = kReadyForFile, ack = kAckBlock;
    constexpr LinkResult G = lr::Garbled;
    const struct {
        const char* name;
        Op op;
        std::vector<Bytes> before;  // the right answers before the one under test
        Bytes answer;
        int sendings;
        LinkResult expected;
    } cases[] = {
        {"identify short", Op::Identify, {}, Resized(kIdentification, -1), 3, G},
        {"identify long", Op::Identify, {}, Resized(kIdentification, 1), 3, G},
        {"identify empty (its own request)", Op::Identify, {}, kIdentify, 3, G},
        {"identify, the header's answer", Op::Identify, {}, kHeader, 3, G},
        {"header short", Op::Header, {}, MakeFrame(7, cmdReadHeader, Bytes(7, 0)), 3, G},
        {"header text cut", Op::Header, {}, cutText, 3, G},
        {"header long", Op::Header, {}, Resized(kHeader, 1), 3, G},
        {"header text after its systems", Op::Header, {}, textAfter, 3, G},
        {"header empty", Op::Header, {}, kReadHeader, 3, G},
        {"header, identification", Op::Header, {}, kIdentification, 3, G},
        {"header of its 8 bytes alone", Op::Header, {}, Resized(kHeader, -1), 1, lr::Ok},
        {"entry short", Op::Entry, {}, Resized(kEntry1, -1), 3, G},
        {"entry long", Op::Entry, {}, Resized(kEntry1, 1), 3, G},
        {"entry empty", Op::Entry, {}, Resized(kEntry1, 0), 3, G},
        {"entry, identification", Op::Entry, {}, kIdentification, 3, G},
        {"entry refused", Op::Entry, {}, kNoSuchEntry, 1, 3},
        {"open for reading short", Op::Download, {}, Resized(open, -1), 1, G},
        {"open for reading long", Op::Download, {}, Resized(open, 1), 1, G},
        {"open for reading empty", Op::Download, {}, Resized(open, 0), 1, G},
        {"open for reading, identification", Op::Download, {}, kIdentification, 1, G},
        {"open for writing short", Op::Upload, {}, Resized(open, -1), 1, G},
        {"open for writing, its own request", Op::Upload, {}, kOpenAForWrite, 1, G},
        {"open for writing, identification", Op::Upload, {}, kIdentification, 1, G},
        {"block short", Op::Download, {open}, Resized(kLastBlock, -1), 9, G},
        {"block empty", Op::Download, {open}, Resized(kLastBlock, 0), 9, G},
        {"block, identification", Op::Download, {open}, kIdentification, 9, G},
        {"block written short", Op::Upload, {ready}, Resized(ack, 0), 1, G},
        {"block written long", Op::Upload, {ready}, Resized(ack, 1), 1, G},
        {"block written, identification", Op::Upload, {ready}, kIdentification, 1, G},
        {"closing block long", Op::Upload, {ready, ack}, Resized(ack, 1), 1, G},
        {"closing block, identification", Op::Upload, {ready, ack}, kIdentification, 1, G},
        {"closing block acknowledged by its own request",
         Op::Upload,
         {ready, ack},
         kWriteEnd,
         1,
         lr::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        connection conn;
        conn.Timings = LinkTimings{}.Scaled(0.01);
        conn.Echo = LineEcho::Off;  // an answer equal to its request is taken as an answer
        auto owned = std::make_unique<ProtScriptLink>();
        ProtScriptLink& link = *owned;
        ASSERT_EQ(conn.SetLink(std::move(owned)), lr::Ok);
        for (const Bytes& a : c.before) link.answers.push_back({a});
        for (int i = 0; i < c.sendings; ++i) link.answers.push_back({c.answer});
        EXPECT_EQ(RunOp(conn, c.op), c.expected);
        EXPECT_EQ(link.writes.size(), c.before.size() + static_cast<size_t>(c.sendings));
    }
}

}  // namespace
