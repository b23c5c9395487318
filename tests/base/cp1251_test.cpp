#include "base/cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>

namespace {

template <class T>
concept Streamable = requires(std::ostream& out, const T& text) {
    out << text;
};

// The two encodings never pass for each other, nor for the core's plain bytes: a conversion is
// always written out. A UTF-8 text goes to the terminal as it is; a Windows-1251 one cannot.
static_assert(!std::is_convertible_v<Utf8String, std::string>);
static_assert(!std::is_convertible_v<std::string, Utf8String>);
static_assert(!std::is_convertible_v<Cp1251String, std::string>);
static_assert(!std::is_convertible_v<std::string, Cp1251String>);
static_assert(!std::is_convertible_v<Cp1251String, Utf8String>);
static_assert(!std::is_convertible_v<Utf8String, Cp1251String>);
static_assert(Streamable<Utf8String>);
static_assert(!Streamable<Cp1251String>);

TEST(Utf8String, ReachesTheTerminalAndTheCodePageAsItsBytes) {
    const std::string utf8 = "\u041f\u043e\u0440\u0442 COM1";
    const Utf8String text(utf8);
    std::ostringstream out;
    out << text;
    EXPECT_EQ(out.str(), utf8);
    EXPECT_EQ(cp1251::FromUtf8(text).bytes(), "\xCF\xEE\xF0\xF2 COM1");
}

// glibc's own converter is the reference for the whole code page.
std::string IconvCp1251ToUtf8(const std::string& in) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "";
    std::string out(in.size() * 4, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

TEST(Cp1251, EveryAssignedByteMatchesTheSystemConverterBothWays) {
    for (int b = 1; b < 256; ++b) {
        if (b == 0x98) continue;  // unassigned in the code page
        const std::string one(1, static_cast<char>(b));
        const std::string reference = IconvCp1251ToUtf8(one);
        ASSERT_FALSE(reference.empty()) << "byte " << b;
        EXPECT_EQ(cp1251::ToUtf8(Cp1251String(one)), reference) << "byte " << b;
        EXPECT_EQ(cp1251::FromUtf8(reference).bytes(), one) << "byte " << b;
    }
}

TEST(Cp1251, UnmappableAndMalformedInputBecomesQuestionMarks) {
    EXPECT_EQ(cp1251::FromUtf8("a\xE4\xB8\xAD"
                               "b")
                  .bytes(),
              "a?b");  // a CJK letter
    EXPECT_EQ(cp1251::FromUtf8("a\xC3"
                               "b")
                  .bytes(),
              "a?b");                                              // cut sequence
    EXPECT_EQ(cp1251::FromUtf8("\xF0\x9F\x98\x80").bytes(), "?");  // emoji
    EXPECT_EQ(cp1251::FromUtf8("x\xD0").bytes(), "x?");            // cut at the end
    EXPECT_FALSE(cp1251::IsValidUtf8("\xCF\xF0\xE8"));             // Windows-1251 bytes
    EXPECT_TRUE(cp1251::IsValidUtf8("Привет"));
}

TEST(Cp1251, LowerCasesCyrillicAndLatinThroughUnicode) {
    EXPECT_EQ(cp1251::FromUtf8Lower("ТЕМП Ab ЁЇІЎҐЄЂ"),
              cp1251::FromUtf8("темп ab ёїіўґєђ").bytes());
    EXPECT_EQ(cp1251::Lower(cp1251::FromUtf8("Система Я").bytes()),
              cp1251::FromUtf8("система я").bytes());
    EXPECT_EQ(cp1251::Lower(std::string(1, '\x98')), std::string(1, '\x98'));
    EXPECT_EQ(cp1251::Lower("1_Z:"), "1_z:");
    // UTF-8 stays UTF-8: characters the code page lacks are kept, not turned into '?'.
    EXPECT_EQ(cp1251::LowerUtf8("КОТЁЛ-1 Ab 日本"), "котёл-1 ab 日本");
}

}  // namespace
