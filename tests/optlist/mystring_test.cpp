#include "optlist/mystring.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CMystring, EmptyStringPointsAtASharedEmptyText) {
    CMystring s;
    EXPECT_EQ(s.Length(), 0u);
    ASSERT_NE(s.At(0), nullptr);
    EXPECT_STREQ(s.At(0), "");
    EXPECT_STREQ(s.At(5), "");
    EXPECT_EQ(s.Compare(""), 0);
    EXPECT_EQ(s.Compare("a"), 1);
}

TEST(CMystring, AtClampsToTheTerminatingZero) {
    CMystring s("abc");
    EXPECT_EQ(s.Length(), 3u);
    EXPECT_EQ(*s.At(1), 'b');
    EXPECT_EQ(*s.At(3), '\0');
    EXPECT_EQ(s.At(100), s.At(3));
}

TEST(CMystring, AssignNullEmpties) {
    CMystring s("abc");
    s.Assign(nullptr);
    EXPECT_EQ(s.Length(), 0u);
}

TEST(CMystring, AssignOfCapacityOrMoreLeavesTheStringUnchanged) {
    CMystring s("keep");
    const std::string big(2048, 'x');
    s.Assign(big.c_str());
    EXPECT_STREQ(s.At(0), "keep");
    const std::string fits(2047, 'y');
    s.Assign(fits.c_str());
    EXPECT_EQ(s.Length(), 2047u);
}

TEST(CMystring, AppendCharDropsZeroAndStopsAtCapacity) {
    CMystring s;
    s.AppendChar('a');
    s.AppendChar(0);
    s.AppendChar(0xFF);
    EXPECT_EQ(s.Str(), "a\xFF");
    for (int i = 0; i < 3000; ++i) s.AppendChar('z');
    EXPECT_EQ(s.Length(), 2048u);
}

TEST(CMystring, CompareIsByteForByte) {
    CMystring s("Dummy");
    EXPECT_EQ(s.Compare("Dummy"), 0);
    EXPECT_EQ(s.Compare("dummy"), 1);
    EXPECT_EQ(s.Compare("Dumm"), 1);
    EXPECT_EQ(s.Compare("Dummy "), 1);
}

TEST(CMystring, TrimLeftRemovesControlSpacesAndNoBreakSpace) {
    CMystring s(
        " \t\n\v\f\r\xA0"
        "abc ");
    s.TrimLeft();
    EXPECT_EQ(s.Str(), "abc ");
    CMystring blank(" \xA0 ");
    blank.TrimLeft();
    EXPECT_EQ(blank.Length(), 0u);
    CMystring cyr("\xE0\xA0");  // 'а' is no white space
    cyr.TrimLeft();
    EXPECT_EQ(cyr.Str(), "\xE0\xA0");
}

TEST(CMystring, FormatBuildsTheKeyAndIsCut) {
    CMystring s;
    s.Format("syslink::sys%c", '3');
    EXPECT_EQ(s.Str(), "syslink::sys3");
    const std::string big(5000, 'q');
    s.Format("%s", big.c_str());
    EXPECT_EQ(s.Length(), 2048u);
}

TEST(CMystring, CopiesOwnTheirBlock) {
    CMystring a("one");
    CMystring b(a);
    a.AppendChar('!');
    EXPECT_EQ(b.Str(), "one");
    CMystring c;
    c = a;
    a.Assign("x");
    EXPECT_EQ(c.Str(), "one!");
    CMystring d(std::move(c));
    EXPECT_EQ(d.Str(), "one!");
    c = d;  // a moved-from string can be assigned again
    EXPECT_EQ(c.Str(), "one!");
}

}  // namespace
