// The decoded summary of a trace line, for the frames of every command and their answers.
#include "link/frametext.h"

#include <gtest/gtest.h>

#include "tests/common/vr7wire.h"

namespace {

using namespace wire;

TEST(FrameText, SummarisesEachCommandAndAnswer) {
    const struct {
        bool sent;
        Bytes frame;
        const char* summary;
    } cases[] = {
        {true, kIdentify, "identify, device 7, length 0"},
        {false, kIdentification, "identify, device 7, length 37"},
        {true, kReadHeader, "read header, device 7, length 0"},
        {true, kReadEntry9, "read entry, device 7, length 2, entry 9"},
        {false, kEntry1, "read entry, device 7, length 17"},
        {true, kOpenAForRead, "open file, device 7, length 2, for reading \"a\""},
        {true, kOpenAForWrite, "open file, device 7, length 2, for writing \"a\""},
        {false, kFileSize2, "open file, device 7, length 4, size 2"},
        {true, kAskNextBlock, "read block, device 7, length 1, next block"},
        {true, kAskSameBlockAgain, "read block, device 7, length 1, same block again"},
        {false, kLastBlock, "read block, device 7, length 4, position 2"},
        {true, kWriteXy, "write block, device 7, length 2"},
        {false, kNoSuchEntry, "refusal 3, device 7, length 0"},
        {false, kWriteProtected, "refusal 21, device 7, length 0"},
        {true, Bytes{0x54, 0x53, 0x52, 0x51, 0x00, 0x00, 0x01, 0x00, 0x00},
         "identify, any device, length 0"},
        {false, Bytes{0x07, 0x00, 0x00}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FrameSummary(c.sent, c.frame.data(), static_cast<int>(c.frame.size())), c.summary)
            << c.summary;
    }
}

TEST(FrameText, LineHasTimeDirectionBytesCheckAndSummary) {
    EXPECT_EQ(FrameTraceLine(12, true, kIdentify.data(), static_cast<int>(kIdentify.size())),
              "      12 ms -> 07 00 00 00 00 00 01 06 08  check ok  identify, device 7, length 0");
    Bytes bad = kNoSuchEntry;
    bad.back() ^= 1;
    EXPECT_EQ(
        FrameTraceLine(3, false, bad.data(), static_cast<int>(bad.size())),
        "       3 ms <- 07 00 00 00 00 00 03 04 0b  check BAD  refusal 3, device 7, length 0");
    // A frame cut short still names what its header says.
    EXPECT_EQ(FrameTraceLine(0, false, kEntry1.data(), 9),
              "       0 ms <- 07 00 00 00 11 00 21 03 01  incomplete (9 of 26 bytes)  read entry, "
              "device 7, length 17");
    EXPECT_EQ(FrameCheckText(kEntry1.data(), 3), "incomplete header");
}

}  // namespace
