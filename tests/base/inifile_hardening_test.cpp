// Ini files and values as the Windows profile functions and C library give them, where they differ
// from a naive reading: atoi saturates instead of wrapping; a file in UTF-16 (either byte order,
// with or without a mark), UTF-8 with a mark, or with lone-CR line ends reads as what it says and
// stays in its form when written.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/cp1251.h"
#include "base/inifile.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"

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

// The bytes of UTF-16 text as a file holds it: little-endian, after the byte order mark.
std::string Utf16File(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

TEST(IniFileForms, Utf16FileReadsAndStaysUtf16WithEveryOtherLineKept) {
    TempDir dir;
    const std::u16string before =
        u"; \u6CE8\u91CA \u043F\u043E\u0440\u0442 \U0001F600\r\n[CONNECTION]\r\nport = "
        u"COM3\r\nIP=\u0445\u043E\u0441\u0442\r\n";
    const std::string path = dir.Write("u.ini", Utf16File(before));
    EXPECT_EQ(ini::ReadString(path, "connection", "PORT", "x"), "COM3");
    EXPECT_EQ(ini::ReadString(path, "CONNECTION", "IP", "x"), cp1251::FromUtf8("хост").bytes());

    ASSERT_TRUE(ini::WriteString(path, "CONNECTION", "dev_nom", "12"));
    ASSERT_TRUE(ini::WriteString(path, "CONNECTION", "name", cp1251::FromUtf8("Котёл").bytes()));
    EXPECT_EQ(ReadBytes(path),
              Utf16File(before.substr(0, before.size()) + u"dev_nom=12\r\nname=\u041A\u043E"
                                                          u"\u0442\u0451\u043B\r\n"));
    EXPECT_EQ(ini::ReadString(path, "CONNECTION", "name", "x"), cp1251::FromUtf8("Котёл").bytes());
}

// The other forms editors save an ini in: UTF-8 with a mark, UTF-16 without one, UTF-16BE. Each
// reads as what it says (never the defaults) and keeps its form when a key is written.
TEST(IniFileForms, EveryUnicodeFormReadsAndStaysInItsForm) {
    const std::u16string text = u"[CONNECTION]\r\nport=COM3\r\nIP=\u0445\u043E\u0441\u0442\r\n";
    const std::u16string after = text + u"dev_nom=12\r\n";
    auto utf16 = [](const std::u16string& t, bool bigEndian, bool mark) {
        std::string bytes = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
        for (char16_t u : t) {
            const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
            bytes += bigEndian ? high : low;
            bytes += bigEndian ? low : high;
        }
        return bytes;
    };
    const std::string utf8 = "[CONNECTION]\r\nport=COM3\r\nIP=хост\r\n";
    const struct {
        const char* form;
        std::string before, written;
    } forms[] = {
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + utf8, "\xEF\xBB\xBF" + utf8 + "dev_nom=12\r\n"},
        {"UTF-16LE without a mark", utf16(text, false, false), utf16(after, false, false)},
        {"UTF-16BE with a mark", utf16(text, true, true), utf16(after, true, true)},
        {"UTF-16BE without a mark", utf16(text, true, false), utf16(after, true, false)},
    };
    TempDir dir;
    for (const auto& f : forms) {
        SCOPED_TRACE(f.form);
        const std::string path = dir.Write("f.ini", f.before);
        EXPECT_EQ(ini::ReadString(path, "connection", "PORT", "x"), "COM3");
        EXPECT_EQ(ini::ReadString(path, "CONNECTION", "IP", "x"), cp1251::FromUtf8("хост").bytes());
        ASSERT_TRUE(ini::WriteString(path, "CONNECTION", "dev_nom", "12"));
        EXPECT_EQ(ReadBytes(path), f.written);
    }
}

TEST(IniFileForms, LoneCarriageReturnsEndLinesAndAreKept) {
    TempDir dir;
    const std::string path = dir.Write("cr.ini", "[A]\rk=1\r; note\rj = 2\r[B]\rk=3\r");
    EXPECT_EQ(ini::ReadString(path, "A", "k", "x"), "1");
    EXPECT_EQ(ini::ReadString(path, "A", "j", "x"), "2");
    EXPECT_EQ(ini::ReadString(path, "B", "k", "x"), "3");
    ASSERT_TRUE(ini::WriteString(path, "A", "m", "4"));
    EXPECT_EQ(ReadBytes(path), "[A]\rk=1\r; note\rj = 2\rm=4\r[B]\rk=3\r");

    // A file with LF line ends stays so, and CR LF stays CR LF.
    const std::string lf = dir.Write("lf.ini", "[A]\nk=1\n");
    ASSERT_TRUE(ini::WriteString(lf, "A", "k", "2"));
    EXPECT_EQ(ReadBytes(lf), "[A]\nk=2\n");
}

}  // namespace
