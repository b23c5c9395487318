#include "base/wholefile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "tests/common/tempdir.h"

TEST(WholeFile, ReadsEveryByteOrSaysWhyNot) {
    TempDir dir;
    const std::string big(200000, '\x98');  // more than one read's worth
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const struct {
        std::string path;
        uint64_t limit;
        int error;           // a File failure's errno
        std::string detail;  // an Invalid failure's reason
        std::string bytes;
    } cases[] = {
        {dir.Write("a.cfg", std::string("F 1\r\n\0x", 7)), 100, 0, "",
         std::string("F 1\r\n\0x", 7)},
        {dir.Write("empty.cfg", ""), 0, 0, "", ""},
        {dir.Write("big.cfg", big), big.size(), 0, "", big},
        {dir / "big.cfg", big.size() - 1, 0, "larger than 199999 bytes (200000 bytes): not read",
         ""},
        {dir / "big.cfg", 64 * 1024, 0, "larger than 64 KiB (200000 bytes): not read", ""},
        {dir.Path() + "missing.cfg", 100, ENOENT, "", ""},
        {dir.Path(), 100, EISDIR, "", ""},
        // Neither waits for a writer nor reads for ever.
        {dir / "fifo", 100, 0, "not a regular file (a FIFO)", ""},
        {"/dev/zero", 8u << 20, 0, "not a regular file (a character device)", ""},
    };
    for (const auto& c : cases) {
        const Result<std::string> read = ReadWholeFile(c.path, c.limit);
        EXPECT_EQ(read.ok(), c.error == 0 && c.detail.empty()) << c.path;
        EXPECT_EQ(read.value_or(""), c.bytes) << c.path;
        // A failure names the file it concerns, for the message chosen from it.
        if (!read) {
            EXPECT_EQ(read.failure().path, c.path);
            EXPECT_EQ(read.failure().errorNumber, c.error) << c.path;
            EXPECT_EQ(read.failure().detail, c.detail) << c.path;
        }
    }
}
