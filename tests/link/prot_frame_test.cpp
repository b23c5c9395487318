// Frames, check bytes and the exchange itself, against a scripted link.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <sstream>

#include "link/vr7prot.h"
#include "tests/common/testtimings.h"
#include "tests/common/vr7wire.h"
#include "tests/link/support/prot_scriptlink.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(FrameBytes, MatchTheDeviceExamples) {
    EXPECT_EQ(MakeFrame(1, cmdIdentify, {}), (Bytes{0x01, 0, 0, 0, 0, 0, 0x01, 0x00, 0x02}));
    EXPECT_EQ(MakeFrame(AnyDeviceAddress, cmdIdentify, {}),
              (Bytes{0x54, 0x53, 0x52, 0x51, 0, 0, 0x01, 0x05, 0x4B}));
    EXPECT_EQ(MakeFrame(7, cmdReadEntry, {0x03, 0x00}),
              (Bytes{0x07, 0, 0, 0, 0x02, 0x00, 0x21, 0x03, 0x00, 0x27, 0x2D}));
}

TEST(FrameBytes, CheckFailsOnAnyChangedByteOrImpossibleLength) {
    Bytes frame = MakeFrame(7, cmdReadEntry, {0x03, 0x00});
    frame.resize(kFrameSize);
    EXPECT_FALSE(FrameCheckFails(frame.data()));
    for (int i : {0, 6, 8, 9, 10}) {
        Bytes broken = frame;
        broken[i] ^= 0x40;
        EXPECT_TRUE(FrameCheckFails(broken.data())) << "byte " << i;
    }
    // A length no 1024-byte buffer can hold is never taken for a frame, even when its bytes are
    // all zero (XOR and SUM of zeros would match).
    Bytes zeros(kFrameSize, 0);
    zeros[4] = 0xF8;
    zeros[5] = 0x03;  // 1016
    EXPECT_TRUE(FrameCheckFails(zeros.data()));
}

// The check bytes are the XOR and the sum (modulo 256) of every byte before them, for every frame
// length and for bytes that would carry between the words they are summed in.
TEST(FrameBytes, CheckBytesAreTheXorAndSumOfEveryByteBeforeThem) {
    std::mt19937 random(15);
    for (const bool allOnes : {true, false}) {
        for (int length = 0; length <= kMaxFrameData; ++length) {
            Bytes data(static_cast<size_t>(length), 0xFF);
            if (!allOnes)
                for (uint8_t& b : data) b = static_cast<uint8_t>(random());
            const Bytes frame = MakeFrame(0xFFFFFFFF, 0xFF, data);
            uint8_t x = 0, sum = 0;
            for (int i = 0; i < kFrameHeader + length; ++i) {
                x ^= frame[static_cast<size_t>(i)];
                sum = static_cast<uint8_t>(sum + frame[static_cast<size_t>(i)]);
            }
            ASSERT_EQ(frame[frame.size() - 2], x) << "length " << length;
            ASSERT_EQ(frame[frame.size() - 1], sum) << "length " << length;
            ASSERT_FALSE(FrameCheckFails(frame.data())) << "length " << length;
        }
    }
}

class TransactTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto owned = std::make_unique<ProtScriptLink>();
        link = owned.get();
        ASSERT_EQ(conn.SetLink(std::move(owned)), 0);
        request = MakeFrame(3, cmdIdentify, {});
    }
    LinkResult Transact(uint8_t attempts, unsigned timeoutMs = 20) {
        return conn.Transact(request.data(), static_cast<int>(request.size()), response, kFrameSize,
                             timeoutMs, attempts);
    }

    connection conn;
    ProtScriptLink* link = nullptr;
    Bytes request;
    uint8_t response[kFrameSize] = {};
};

TEST_F(TransactTest, RejectsMissingBuffersAndZeroLengthWithoutTouchingTheLink) {
    EXPECT_EQ(conn.Transact(nullptr, 9, response, kFrameSize, 10, 1), lr::BadArgument);
    EXPECT_EQ(conn.Transact(request.data(), 0, response, kFrameSize, 10, 1), lr::BadArgument);
    EXPECT_EQ(conn.Transact(request.data(), 9, nullptr, kFrameSize, 10, 1), lr::BadArgument);
    // Too small to hold even a header: reading one into it would overrun it.
    EXPECT_EQ(conn.Transact(request.data(), 9, response, 5, 10, 1), lr::BadArgument);
    EXPECT_TRUE(link->writes.empty());
}

TEST_F(TransactTest, WithoutResponseBufferSendsOnceAndReadsNothing) {
    EXPECT_EQ(conn.Transact(request.data(), 9, nullptr, 0, 10, 3), lr::Ok);
    EXPECT_EQ(link->writes.size(), 1u);
    EXPECT_EQ(link->reads, 0);
}

TEST_F(TransactTest, HeldLockGives1005AndALockTakenIsAlwaysGivenBack) {
    ASSERT_TRUE(conn.TryLock());
    EXPECT_EQ(Transact(1), lr::LockFailed);
    EXPECT_TRUE(link->writes.empty());
    conn.Unlock();

    link->answers.push_back({MakeFrame(3, cmdIdentify, {1, 2})});
    EXPECT_EQ(Transact(1), lr::Ok);
    EXPECT_FALSE(conn.Locked());
    EXPECT_EQ(Transact(2), lr::NoAnswer);
    EXPECT_FALSE(conn.Locked());
}

TEST(Transact, NoLinkGives1003) {
    connection conn;
    uint8_t request[9] = {}, response[kFrameSize];
    EXPECT_EQ(conn.Transact(request, 9, response, kFrameSize, 10, 1), lr::NotOpen);
    EXPECT_FALSE(conn.Locked());
}

TEST_F(TransactTest, AnswerIsReadWholeIntoTheBufferAfterOnePurgeAndOneWrite) {
    const Bytes answer = MakeFrame(3, cmdIdentify, {9, 8, 7});
    link->answers.push_back({answer});
    EXPECT_EQ(Transact(3), lr::Ok);
    EXPECT_EQ(Bytes(response, response + answer.size()), answer);
    EXPECT_EQ(link->purges, 1);
    ASSERT_EQ(link->writes.size(), 1u);
    EXPECT_EQ(link->writes[0], request);  // the whole frame in one write
}

TEST_F(TransactTest, LinkErrorsEndTheExchangeAtOnce) {
    link->answers.push_back({{}, 1003});
    EXPECT_EQ(Transact(3), 1003);
    EXPECT_EQ(link->writes.size(), 1u);

    link->writes.clear();
    link->answers.push_back({{}, 0, 0, lr::TcpTimeout});
    EXPECT_EQ(Transact(3), lr::TcpTimeout);
    EXPECT_EQ(link->writes.size(), 1u);
}

TEST_F(TransactTest, RepeatableFailuresUseEveryAttemptAndReportTheLast) {
    // Short write, then silence, then a length beyond the buffer.
    Bytes oversize = MakeFrame(3, cmdIdentify, {});
    oversize[4] = 0xF7;
    oversize[5] = 0x03;  // 1015 + 9 = 1024 fits ...
    Bytes tooLong = oversize;
    tooLong[4] = 0xF8;  // ... 1016 does not
    link->answers.push_back({{}, 0, 1});
    link->answers.push_back({});
    link->answers.push_back({tooLong});
    EXPECT_EQ(Transact(3), lr::BadLength);
    EXPECT_EQ(link->writes.size(), 3u);
    EXPECT_EQ(link->purges, 3);

    link->answers.push_back({{}, 0, 1});
    EXPECT_EQ(Transact(1), lr::ShortWrite);
    link->answers.push_back({});
    EXPECT_EQ(Transact(0), lr::NoAnswer);  // 0 attempts means one
}

TEST_F(TransactTest, LaterAttemptSucceedsAfterABrokenAnswer) {
    Bytes cut = MakeFrame(3, cmdIdentify, {1, 2, 3, 4});
    cut.resize(cut.size() - 3);
    link->answers.push_back({cut});
    Bytes headerOnly = MakeFrame(3, cmdIdentify, {1, 2, 3, 4});
    headerOnly.resize(4);
    link->answers.push_back({headerOnly});
    link->answers.push_back({MakeFrame(3, cmdIdentify, {5})});
    EXPECT_EQ(Transact(3), lr::Ok);
    EXPECT_EQ(response[7], 5);
    EXPECT_EQ(link->writes.size(), 3u);
}

TEST_F(TransactTest, SilenceWaitsOneTimeoutPerAttempt) {
    constexpr unsigned kTimeoutMs = 100;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Transact(3, kTimeoutMs), lr::NoAnswer);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_GE(ms, 3 * kTimeoutMs);
    // One write and one wait per attempt, and nothing after the last: no further attempt.
    EXPECT_EQ(link->writes.size(), 3u);
    EXPECT_LT(ms, OwnWaitBoundMs(3 * kTimeoutMs));
}

TEST_F(TransactTest, TraceSeesEveryFrameSentAndWhatCameBack) {
    std::vector<std::pair<bool, Bytes>> seen;
    conn.Trace = [&seen](FrameWay way, const uint8_t* bytes, int length) {
        seen.push_back({way == FrameWay::Sent, Bytes(bytes, bytes + length)});
    };
    Bytes cut = MakeFrame(3, cmdIdentify, {1, 2, 3, 4});
    cut.resize(9);
    const Bytes good = MakeFrame(3, cmdIdentify, {6});
    link->answers.push_back({cut});
    link->answers.push_back({good});
    EXPECT_EQ(Transact(2), lr::Ok);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], std::make_pair(true, request));
    EXPECT_EQ(seen[1], std::make_pair(false, cut));
    EXPECT_EQ(seen[2], std::make_pair(true, request));
    EXPECT_EQ(seen[3], std::make_pair(false, good));
}

// Exchange over the scripted link: check bytes, and nothing of an earlier answer survives.
TEST_F(TransactTest, ExchangeRejectsAWrongCheckByteWithoutRepeating) {
    Bytes bad = MakeFrame(3, cmdIdentify, {1});
    bad.back() ^= 1;
    link->answers.push_back({bad});
    link->answers.push_back({MakeFrame(3, cmdIdentify, {1})});
    uint8_t req[kFrameSize];
    SetFrameHeader(req, 3, 0, cmdIdentify);
    EXPECT_EQ(Exchange(conn, req, response, 3, 20), lr::BadCheck);
    EXPECT_EQ(link->writes.size(), 1u);
    EXPECT_EQ(link->writes[0], request);  // the check bytes were set by Exchange
}

TEST_F(TransactTest, ExchangeClearsTheResponseFirst) {
    std::fill(std::begin(response), std::end(response), 0x77);
    link->answers.push_back({MakeFrame(3, cmdIdentify, {1})});
    uint8_t req[kFrameSize];
    SetFrameHeader(req, 3, 0, cmdIdentify);
    EXPECT_EQ(Exchange(conn, req, response, 1, 20), lr::Ok);
    EXPECT_EQ(response[10], 0);
    EXPECT_EQ(response[kFrameSize - 1], 0);
}

}  // namespace

namespace {

// Every request the protocol sends and every answer it takes, against literal bytes.
TEST_F(TransactTest, EveryCommandGoesOutAsTheseBytesAndItsAnswerIsTaken) {
    using namespace wire;
    auto answer = [this](const Bytes& bytes) { link->answers.push_back({bytes}); };
    answer(kIdentification);
    answer(kHeader);
    answer(kEntry1);
    answer(kNoSuchEntry);
    Bytes damaged = kBlockHi;
    damaged.back() ^= 0xFF;
    for (const Bytes& a : {kFileSize2, damaged, kBlockHi, kLastBlock}) answer(a);
    for (const Bytes& a : {kReadyForFile, kAckBlock, kAckBlock}) answer(a);
    answer(kWriteProtected);

    DeviceInfo info;
    ASSERT_EQ(ReadDeviceInfo(conn, 7, info), lr::Ok);
    EXPECT_EQ(info.VersionMajor(), 1);
    EXPECT_EQ(info.VersionBuild(), 32);
    EXPECT_EQ(info.DeviceNumber(), 7u);
    SConfigInfo header;
    ASSERT_EQ(ReadConfigHeader(conn, 7, header), lr::Ok);
    EXPECT_EQ(header.EntryCount, 1u);
    uint8_t entry[17] = {};
    ASSERT_EQ(ReadConfigEntry(conn, 7, 1, entry, 17, nullptr), lr::Ok);
    EXPECT_EQ(Bytes(entry, entry + 17), Bytes(kEntry1.begin() + 7, kEntry1.end() - 2));
    EXPECT_EQ(ReadConfigEntry(conn, 7, 9, entry, 17, nullptr), 3);
    std::ostringstream file;
    ASSERT_EQ(ReadDeviceFile(conn, 7, &file, "a", nullptr), lr::Ok);
    EXPECT_EQ(file.str(), "hi");
    std::istringstream xy("xy");
    ASSERT_EQ(WriteDeviceFile(conn, 7, &xy, "a", nullptr), lr::Ok);
    std::istringstream again("xy");
    EXPECT_EQ(WriteDeviceFile(conn, 7, &again, "a", nullptr), lr::BadArgument);

    const std::vector<Bytes> sent{kIdentify,          kReadHeader,   kReadEntry1,
                                  kReadEntry9,        kOpenAForRead, kAskNextBlock,
                                  kAskSameBlockAgain, kAskNextBlock, kOpenAForWrite,
                                  kWriteXy,           kWriteEnd,     kOpenAForWrite};
    EXPECT_EQ(link->writes, sent);
}

}  // namespace
