#include "base/inifile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"

namespace {

class IniFileTest : public ::testing::Test {
  protected:
    void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string Read() const { return ReadBytes(path_); }
    TempDir dir_;
    std::string path_ = dir_ / "settings.ini";
};

TEST_F(IniFileTest, ReadsWindowsFileIgnoringCaseAndTrimmingValues) {
    Write(
        "; comment\r\n[Other]\r\nport=COM7\r\n[connection]\r\n  PORT =  COM3  "
        "\r\nIp=\"10.0.0.1\"\r\n"
        "speed=\r\n");
    EXPECT_EQ(ini::ReadString(path_, "CONNECTION", "port", "COM1"), "COM3");
    EXPECT_EQ(ini::ReadString(path_, "CONNECTION", "IP", "x"), "10.0.0.1");
    EXPECT_EQ(ini::ReadString(path_, "CONNECTION", "speed", "115200"), "");
    EXPECT_EQ(ini::ReadString(path_, "CONNECTION", "dev_nom", "1"), "1");
    EXPECT_EQ(ini::ReadString(path_ + ".missing", "CONNECTION", "port", "COM1"), "COM1");
}

TEST_F(IniFileTest, LongValuesAreCutToTheBuffer) {
    Write("[A]\nk=" + std::string(300, 'x') + "\n");
    EXPECT_EQ(ini::ReadString(path_, "A", "k", "").size(), 254u);
}

TEST_F(IniFileTest, WritingOneKeyKeepsEveryOtherLine) {
    Write("; keep me\r\n[CONNECTION]\r\nport=COM3\r\nextra = 5\r\n\r\n[Other]\r\nport=COM7\r\n");
    ASSERT_TRUE(ini::WriteString(path_, "connection", "PORT", "TCP/IP"));
    ASSERT_TRUE(ini::WriteString(path_, "CONNECTION", "dev_nom", "12"));
    ASSERT_TRUE(ini::WriteString(path_, "New", "a", "b"));
    EXPECT_EQ(
        Read(),
        "; keep me\r\n[CONNECTION]\r\nPORT=TCP/IP\r\nextra = 5\r\ndev_nom=12\r\n\r\n[Other]\r\n"
        "port=COM7\r\n[New]\r\na=b\r\n");
}

TEST_F(IniFileTest, CreatesAMissingFileAndFailsQuietlyWhereItCannotWrite) {
    ASSERT_TRUE(ini::WriteString(path_, "CONNECTION", "speed", "9600"));
    EXPECT_EQ(Read(), "[CONNECTION]\r\nspeed=9600\r\n");
    EXPECT_FALSE(ini::WriteString(dir_ / "no/such/x.ini", "A", "b", "c"));
}

// An ini that is no regular file, or too large to be one, is neither read nor written over: its
// keys read as their defaults, without waiting on a FIFO or reading /dev/zero for ever.
TEST_F(IniFileTest, OnlyARegularFileOfASaneSizeIsAnIni) {
    ASSERT_EQ(::mkfifo((dir_ / "fifo.ini").c_str(), 0600), 0);
    const std::string huge = "[A]\nk=v\n" + std::string((1u << 20) + 1, ';') + "\n";
    const std::string hugePath = dir_.Write("huge.ini", huge);
    for (const std::string& path : {dir_ / "fifo.ini", std::string("/dev/zero"), hugePath}) {
        EXPECT_EQ(ini::ReadString(path, "A", "k", "default"), "default") << path;
        if (path != "/dev/zero") {
            EXPECT_FALSE(ini::WriteString(path, "A", "k", "new")) << path;
        }
    }
    EXPECT_EQ(ReadBytes(hugePath), huge);
}

TEST(IniAtoi, FollowsTheCLibraryRulesAndKeepsTheLow32Bits) {
    EXPECT_EQ(ini::AtoiLow32("  42abc"), 42u);
    EXPECT_EQ(ini::AtoiLow32("abc"), 0u);
    EXPECT_EQ(ini::AtoiLow32("010001"), 10001u);
    EXPECT_EQ(ini::AtoiLow32("-1"), 4294967295u);
    EXPECT_EQ(ini::AtoiLow32("4294967295"), 4294967295u);
    EXPECT_EQ(ini::AtoiLow32("+7"), 7u);
    EXPECT_EQ(ini::AtoiInt("-5"), -5);
}

}  // namespace
