// Ini values as the Windows profile functions and C library give them, where they differ from a
// naive reading: atoi saturates instead of wrapping.
#include <gtest/gtest.h>

#include <climits>

#include "inifile.h"

namespace {

TEST(IniAtoiInt, SaturatesAtTheIntRangeLikeTheWindowsCLibrary) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"10001abc", 10001},
        {"75537", 75537},
        {"4294977297", INT_MAX},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN},
        {"  +010001", 10001},
        {"x", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ini::AtoiInt(c.text), c.value) << c.text;
}

}  // namespace
