// A download is whole only when its blocks add up to the size the device announced, each block
// starting where the one before ended; anything else ends it with 1018 at the first block that
// does not fit, so that no device can keep a download going for ever.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "base/lebytes.h"
#include "link/vr7prot.h"
#include "tests/common/simpeer.h"
#include "tests/link/support/prot_scriptlink.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kNumber = 7;

Bytes SizeAnswer(uint32_t size) {
    Bytes data(4);
    PutLe32(data.data(), size);
    return MakeFrame(kNumber, cmdOpenFile, data);
}

// A block answer: the position after it, then count file bytes.
Bytes Block(uint32_t position, size_t count) {
    Bytes data(4 + count, 'x');
    PutLe32(data.data(), position);
    return MakeFrame(kNumber, cmdReadBlock, data);
}

struct BlockSpec {
    uint32_t position;
    size_t bytes;
};

TEST(DownloadChecks, BlocksMustAddUpToTheAnnouncedSize) {
    const struct {
        const char* what;
        uint32_t announced;
        std::vector<BlockSpec> blocks;
        LinkResult result;
        size_t kept;      // bytes appended to the destination
        size_t requests;  // block requests sent
    } cases[] = {
        {"whole", 1500, {{1000, 1000}, {1500, 500}, {1500, 0}}, lr::Ok, 1500, 3},
        {"empty file", 0, {{0, 0}}, lr::Ok, 0, 1},
        {"ends early", 5000, {{700, 700}, {700, 0}}, lr::Incomplete, 700, 2},
        {"first block empty", 5000, {{0, 0}}, lr::Incomplete, 0, 1},
        {"more than announced", 1000, {{800, 800}, {1600, 800}}, lr::Incomplete, 800, 2},
        {"never ends", 100, {{100, 100}, {200, 100}, {300, 100}}, lr::Incomplete, 100, 2},
        {"position repeats", 3000, {{500, 500}, {500, 500}, {500, 500}}, lr::Incomplete, 500, 2},
        {"position jumps", 3000, {{500, 500}, {2000, 500}}, lr::Incomplete, 500, 2},
        {"position behind", 3000, {{400, 500}}, lr::Incomplete, 0, 1},
        {"last block elsewhere", 500, {{500, 500}, {0, 0}}, lr::Incomplete, 500, 2},
        // The largest download taken, and beyond it: refused before any block is asked for.
        {"largest", 8u << 20, {{1000, 1000}, {1000, 0}}, lr::Incomplete, 1000, 2},
        {"too large", (8u << 20) + 1, {{1000, 1000}}, lr::FileTooLarge, 0, 0},
        {"announces 4 GiB", 0xFFFFFFFF, {{1000, 1000}}, lr::FileTooLarge, 0, 0},
    };
    for (const auto& c : cases) {
        connection conn;
        auto owned = std::make_unique<ProtScriptLink>();
        ProtScriptLink& link = *owned;
        ASSERT_EQ(conn.SetLink(std::move(owned)), lr::Ok);
        link.answers.push_back({SizeAnswer(c.announced)});
        for (const BlockSpec& b : c.blocks) link.answers.push_back({Block(b.position, b.bytes)});

        std::ostringstream dest;
        EXPECT_EQ(ReadDeviceFile(conn, kNumber, &dest, "f", nullptr), c.result) << c.what;
        EXPECT_EQ(dest.str().size(), c.kept) << c.what;
        EXPECT_EQ(link.writes.size(), 1 + c.requests) << c.what;
    }
}

// A repeat request after a lost answer brings the same block again: that is no repeat of its
// position, since nothing of the lost answer was kept.
TEST(DownloadChecks, RepeatedBlockAfterALostAnswerIsTaken) {
    connection conn;
    auto owned = std::make_unique<ProtScriptLink>();
    ProtScriptLink& link = *owned;
    ASSERT_EQ(conn.SetLink(std::move(owned)), lr::Ok);
    Bytes damaged = Block(600, 600);
    damaged.back() ^= 0xFF;
    for (const Bytes& a : {SizeAnswer(900), Block(300, 300), damaged, Block(600, 300),
                           Block(900, 300), Block(900, 0)})
        link.answers.push_back({a});
    std::ostringstream dest;
    EXPECT_EQ(ReadDeviceFile(conn, kNumber, &dest, "f", nullptr), lr::Ok);
    EXPECT_EQ(dest.str().size(), 900u);
    ASSERT_EQ(link.writes.size(), 6u);
    EXPECT_EQ(link.writes[3][7], kSameBlockAgain);
    EXPECT_EQ(link.writes[4][7], kNextBlock);
}

// The same against the simulated device's faults, over both links: the download stops at once.
class DownloadChecksOverLink : public ::testing::TestWithParam<Transport> {};

TEST_P(DownloadChecksOverLink, DeviceFaultsEndTheDownloadWith1018) {
    const struct {
        const char* what;
        SimFault fault;
        size_t maxRequests;
    } cases[] = {
        {"announces more", {SimFaultKind::WrongSize, cmdOpenFile, -1, 0, -1, 5000}, 3},
        {"announces less", {SimFaultKind::WrongSize, cmdOpenFile, -1, 0, -1, 100}, 3},
        {"empty block first", {SimFaultKind::CutData, cmdReadBlock, -1, 0, -1, 4}, 3},
        {"never ends", {SimFaultKind::EndlessFile, cmdReadBlock, -1, 0, -1, 0}, 4},
        {"stuck position", {SimFaultKind::StuckPosition, cmdReadBlock, -1, 0, -1, 0}, 4},
    };
    for (const auto& c : cases) {
        SimDevice device;
        device.number = kNumber;
        device.files["f"] = Bytes(700, 'a');
        SimConnection sim(device);
        ASSERT_EQ(sim.Open(GetParam()), lr::Ok);
        sim.server->SetFaults({c.fault});
        std::ostringstream dest;
        EXPECT_EQ(ReadDeviceFile(sim.conn, kNumber, &dest, "f", nullptr), lr::Incomplete) << c.what;
        EXPECT_LE(sim.server->Requests().size(), c.maxRequests) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Links, DownloadChecksOverLink,
                         ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

}  // namespace
