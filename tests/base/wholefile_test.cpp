#include "base/wholefile.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "tests/common/tempdir.h"

TEST(WholeFile, ReadsEveryByteOrSaysWhyNot) {
    TempDir dir;
    const std::string big(200000, '\x98');  // more than one read's worth
    const struct {
        std::string path;
        int error;
        std::string bytes;
    } cases[] = {
        {dir.Write("a.cfg", std::string("F 1\r\n\0x", 7)), 0, std::string("F 1\r\n\0x", 7)},
        {dir.Write("empty.cfg", ""), 0, ""},
        {dir.Write("big.cfg", big), 0, big},
        {dir.Path() + "missing.cfg", ENOENT, ""},
        {dir.Path(), EISDIR, ""},
    };
    for (const auto& c : cases) {
        const Result<std::string> read = ReadWholeFile(c.path);
        EXPECT_EQ(read.ok() ? 0 : read.failure().errorNumber, c.error) << c.path;
        EXPECT_EQ(read.value_or(""), c.bytes) << c.path;
        // A failure names the file it concerns, for the message chosen from it.
        if (!read) {
            EXPECT_EQ(read.failure().path, c.path);
        }
    }
}
