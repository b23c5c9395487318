#include "optlist/defstorage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "tests/common/deffile.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"

namespace {

using winfile::FILE_SHARE_READ;
using winfile::GENERIC_READ;
using winfile::GENERIC_WRITE;
using winfile::OPEN_EXISTING;

std::string ByteWiseGetValueStaleSize(const std::string& path, const std::string& key,
                                      int64_t sizeAtOpen);

const std::string kFormatError = cp1251::FromUtf8(".def ошибка формата").bytes();
const std::string kReadError = cp1251::FromUtf8(".def ошибка чтения").bytes();
const std::string kEndError = cp1251::FromUtf8("ошибка формата").bytes();

class DefStorage : public ::testing::Test {
  protected:
    // Writes the bytes as main.def and returns the value of key.
    std::string Value(const std::string& bytes, const std::string& key) {
        Open(bytes);
        return Get(key);
    }
    void Open(const std::string& bytes) {
        const std::string path = dir.Write("main.def", bytes);
        storage.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
    }
    std::string Get(const std::string& key) {
        return storage.GetValue(CMystring(key.c_str())).Str();
    }

    TempDir dir;
    CDefStorage storage;
};

TEST(DefStorageTexts, ErrorTextsAreWindows1251) {
    EXPECT_EQ(std::string(defstorage::kFormatError), kFormatError);
    EXPECT_EQ(std::string(defstorage::kReadError), kReadError);
    EXPECT_EQ(std::string(defstorage::kEndError), kEndError);
    EXPECT_EQ(kFormatError.size(), 19u);
}

TEST_F(DefStorage, FindsTheValueOfARecord) {
    const std::string file =
        DefFile(DefRecord("syslink::sys1", "heat") + DefRecord("syslink::sys2", "water"));
    EXPECT_EQ(Value(file, "syslink::sys2"), "water");
    EXPECT_EQ(Get("syslink::sys1"), "heat");
    EXPECT_EQ(Get("syslink::sys3"), "");
    EXPECT_TRUE(storage.IsOpen());
}

// A FIFO, a device or a folder named main.def is no record store: not opened, without waiting
// for a writer, and every key reads as absent.
TEST_F(DefStorage, OnlyARegularFileIsOpened) {
    const std::string fifo = dir / "fifo.def";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        int error;
    } cases[] = {{fifo, EINVAL}, {"/dev/zero", EINVAL}, {dir.Path(), EISDIR}};
    for (const auto& c : cases) {
        CDefStorage def;
        def.Open(c.path.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
        EXPECT_FALSE(def.IsOpen()) << c.path;
        EXPECT_EQ(def.OpenError(), c.error) << c.path;
        EXPECT_EQ(def.GetValue(CMystring("syslink::sys1")).Str(), "") << c.path;
    }
}

TEST_F(DefStorage, LookupsAreIndependent) {
    Open(DefFile(DefRecord("a", "1") + DefRecord("b", "2")));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Get("b"), "2");
        EXPECT_EQ(Get("a"), "1");
        EXPECT_EQ(Get("zz"), "");
    }
}

TEST_F(DefStorage, UpperCaseKeyFindsLowerCaseNameLatinAndCyrillic) {
    Open(DefFile(DefRecord("syslink::sys1", "heat") + DefRecord(W("система"), W("отопление"))));
    EXPECT_EQ(Get("SYSLINK::SYS1"), "heat");
    EXPECT_EQ(Get(W("СИСТЕМА")), W("отопление"));
    EXPECT_EQ(Get(W("СиСтЕмА")), W("отопление"));
}

TEST_F(DefStorage, FoldingIsTheSignedDifferenceOf32) {
    Open(DefFile(DefRecord("a:b", "colon") + DefRecord("@x", "at") + DefRecord("\xA8", "yo")));
    EXPECT_EQ(Get("aZb"), "colon");  // ':' (0x3A) and 'Z' (0x5A)
    EXPECT_EQ(Get("`X"), "at");      // '@' (0x40) and '`' (0x60)
    EXPECT_EQ(Get("\xB8"), "");      // Ё and ё do not fold
    EXPECT_EQ(Get("\x88"), "yo");    // 0x88 and 0xA8 differ by 32 as signed bytes
}

TEST_F(DefStorage, NoFoldAcross0x7FAnd0x80) {
    Open(DefFile(DefRecord("\x70", "p") + DefRecord("\x90", "q")));
    EXPECT_EQ(Get("\x90"), "q");
    EXPECT_EQ(Get("\x70"), "p");
    EXPECT_EQ(Get("\x50"), "p");  // 'P' and 'p'
}

TEST_F(DefStorage, SameLengthNameDifferingInOneByteIsSkipped) {
    EXPECT_EQ(Value(DefFile(DefRecord("sys1", "a") + DefRecord("sys2", "b")), "sys2"), "b");
    EXPECT_EQ(Value(DefFile(DefRecord("xys2", "a") + DefRecord("sys2", "b")), "sys2"), "b");
    EXPECT_EQ(
        Value(DefFile(DefRecord("sys", "a") + DefRecord("sys22", "c") + DefRecord("sys2", "b")),
              "sys2"),
        "b");
}

TEST_F(DefStorage, FirstRecordWins) {
    EXPECT_EQ(Value(DefFile(DefRecord("k", "first") + DefRecord("K", "second")), "k"), "first");
}

TEST_F(DefStorage, ZeroBytesAreDroppedFromValues) {
    EXPECT_EQ(Value(DefFile(DefRecord("k", std::string("a\0b\0", 4))), "k"), "ab");
    EXPECT_EQ(Value(DefFile(DefRecord("k", std::string("\0", 1))), "k"), "");
}

TEST_F(DefStorage, OneByteFileIsAFormatError) {
    EXPECT_EQ(Value("\x01", "k"), kFormatError);
}

TEST_F(DefStorage, TwoByteFile) {
    EXPECT_EQ(Value("\x01\x10", "k"), "");
    EXPECT_EQ(Value("\x01\x11", "k"), kEndError);
}

TEST_F(DefStorage, EmptyFileGivesEmptyText) {
    EXPECT_EQ(Value("", "k"), "");
}

TEST_F(DefStorage, NotFoundAndLastByteNotTheEndMarker) {
    EXPECT_EQ(Value("\x01" + DefRecord("a", "1") + "\x11", "k"), kEndError);
    EXPECT_EQ(Value("\x01" + DefRecord("a", "1") + "\x11", "a"), "1");
}

TEST_F(DefStorage, BadValueLengthBeforeTheMatchIsAFormatError) {
    std::string bad = DefRecord("a", "1");
    bad[3] = '\0';  // value length 0
    EXPECT_EQ(Value(DefFile(bad + DefRecord("k", "v")), "k"), kFormatError);
    bad[3] = '\xFF';
    EXPECT_EQ(Value(DefFile(bad + DefRecord("k", "v")), "k"), kFormatError);
}

TEST_F(DefStorage, BadLengthsOfTheMatchingRecord) {
    std::string r = DefRecord("k", "v");
    r[3] = '\0';
    EXPECT_EQ(Value(DefFile(r), "k"), kFormatError);
    std::string n = DefRecord("k", "v");
    n[0] = '\xFF';
    EXPECT_EQ(Value(DefFile(n), "k"), kFormatError);
    n[0] = '\0';
    EXPECT_EQ(Value(DefFile(n), "k"), kFormatError);
}

TEST_F(DefStorage, NameEndAndRecordEndBytesAreChecked) {
    std::string r = DefRecord("k", "v");
    r[2] = '\x01';  // name end
    EXPECT_EQ(Value(DefFile(r), "k"), kFormatError);
    EXPECT_EQ(Value(DefFile(r), "x"), kFormatError);
    std::string e = DefRecord("k", "v");
    e.back() = '\x03';  // record end
    EXPECT_EQ(Value(DefFile(e), "k"), kFormatError);
    EXPECT_EQ(Value(DefFile(e + DefRecord("x", "y")), "x"), kFormatError);
}

TEST_F(DefStorage, ValueCutByTheEndOfTheFileIsAReadError) {
    const std::string cut = "\x01" + DefRecord("k", "value").substr(0, 6);  // "k\0" len "val"
    EXPECT_EQ(Value(cut, "k"), kReadError);
}

TEST_F(DefStorage, SkippedValueRunningPastTheEndIsAFormatError) {
    const std::string cut = "\x01" + DefRecord("a", "value").substr(0, 6);
    EXPECT_EQ(Value(cut, "k"), kFormatError);
}

TEST_F(DefStorage, NameRunningPastTheEndIsAFormatError) {
    EXPECT_EQ(Value("\x01\x05sy", "sys12"), kFormatError);
    EXPECT_EQ(Value("\x01\x05sy", "k"), kFormatError);
}

TEST_F(DefStorage, KeyLongerThan254NeverMatches) {
    const std::string longName(254, 'n');
    const std::string file = DefFile(DefRecord(longName, "v"));
    EXPECT_EQ(Value(file, longName), "v");
    EXPECT_EQ(Get(longName + "n"), "");
}

TEST_F(DefStorage, LongValue) {
    const std::string v(254, 'v');
    EXPECT_EQ(Value(DefFile(DefRecord("k", v)), "k"), v);
}

TEST_F(DefStorage, NotOpenGivesEmptyText) {
    CDefStorage s;
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.GetValue(CMystring("k")).Length(), 0u);
    const std::string missing = dir / "main.def";
    s.Open(missing.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.GetValue(CMystring("k")).Length(), 0u);
}

TEST_F(DefStorage, ReadOnlyFileReadsAsAbsentBecauseTheOpenAsksForWriteAccess) {
    const std::string path = dir.Write("main.def", DefFile(DefRecord("k", "v")));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    CDefStorage s;
    s.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.OpenError(), EACCES);
    EXPECT_EQ(s.GetValue(CMystring("k")).Length(), 0u);
    s.Open(path.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    EXPECT_TRUE(s.IsOpen());
    EXPECT_EQ(s.OpenError(), 0);
    EXPECT_EQ(s.GetValue(CMystring("k")).Str(), "v");
}

// The reader of a configuration folder falls back to reading alone where writing is refused,
// and only there: a missing file or a folder stays not open.
TEST_F(DefStorage, OpenForReadingReadsAFileItMayNotWrite) {
    const std::string path = dir.Write("main.def", DefFile(DefRecord("k", "v")));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    CDefStorage s;
    s.OpenForReading(path.c_str());
    EXPECT_TRUE(s.IsOpen());
    EXPECT_EQ(s.GetValue(CMystring("k")).Str(), "v");

    s.OpenForReading((dir / "absent.def").c_str());
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.OpenError(), ENOENT);
    s.OpenForReading(dir.MakeDir("folder.def").c_str());
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.OpenError(), EISDIR);
}

TEST_F(DefStorage, AFolderIsNoFile) {
    const std::string sub = dir.MakeDir("main.def");
    CDefStorage s;
    s.Open(sub.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
    EXPECT_FALSE(s.IsOpen());
}

TEST_F(DefStorage, OpenTracksNameSizeAndPosition) {
    Open(DefFile(DefRecord("k", "v")));
    EXPECT_EQ(storage.Size(), 8u);
    EXPECT_EQ(storage.Position(), 0u);
    EXPECT_EQ(storage.FileName().Str(), dir / "main.def");
    EXPECT_EQ(storage.ReadByte(), 1);
    EXPECT_EQ(storage.Position(), 1u);
    EXPECT_EQ(storage.Seek(-2, winfile::FILE_CURRENT), -1);
    EXPECT_EQ(storage.Position(), 1u);
    EXPECT_EQ(storage.Seek(100, winfile::FILE_BEGIN), 0);
    EXPECT_EQ(storage.ReadByte(), -1);
    EXPECT_EQ(storage.Position(), 100u);
    EXPECT_EQ(storage.Seek(-1, winfile::FILE_END), 0);
    EXPECT_EQ(storage.ReadByte(), 0x10);
    EXPECT_EQ(storage.ReadByte(), -1);
}

TEST_F(DefStorage, OpeningAgainReplacesTheFile) {
    Open(DefFile(DefRecord("k", "one")));
    const std::string other = dir.Write("other.def", DefFile(DefRecord("k", "two")));
    storage.Open(other.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
    EXPECT_EQ(Get("k"), "two");
    storage.Open((dir / "absent").c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                 OPEN_EXISTING, 0);
    EXPECT_FALSE(storage.IsOpen());
    EXPECT_EQ(Get("k"), "");
}

TEST_F(DefStorage, EachLookupReadsTheFileAfresh) {
    const std::string path = dir.Write("main.def", DefFile(DefRecord("a", "1")));
    storage.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
    EXPECT_EQ(Get("a"), "1");
    dir.Write("main.def", DefFile(DefRecord("a", "2")));
    EXPECT_EQ(Get("a"), "2");
}

TEST_F(DefStorage, SizeIsTheOneSeenAtOpenUntilAReadReachesIt) {
    // As with byte-wise reads: the size known from the open stands, so a file grown after the
    // open ends its scan at the old last byte.
    const std::string path = dir.Write("main.def", DefFile(DefRecord("a", "1")));
    storage.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
    dir.Write("main.def", DefFile(DefRecord("a", "1") + DefRecord("b", "2")));
    EXPECT_EQ(ByteWiseGetValueStaleSize(path, "b", 8), kEndError);
    EXPECT_EQ(Get("b"), kEndError);
    // Reading the old last byte reached the old size, which fetched the size again.
    EXPECT_EQ(Get("b"), "2");
}

// The reader as first written: one system call per byte, seeks as system calls. The buffered
// reader must give the same result for every file.
std::string ByteWiseGetValueStaleSize(const std::string& path, const std::string& key,
                                      int64_t sizeAtOpen) {
    const int fd = ::open(path.c_str(), O_RDWR);
    if (fd < 0) return "";
    struct stat st;
    ::fstat(fd, &st);
    uint32_t size = static_cast<uint32_t>(sizeAtOpen >= 0 ? sizeAtOpen : st.st_size);
    uint32_t position = 0;
    auto readByte = [&]() -> int {
        unsigned char c;
        if (::read(fd, &c, 1) != 1) return -1;
        ++position;
        if (position >= size) {
            ::fstat(fd, &st);
            size = static_cast<uint32_t>(st.st_size);
        }
        return c;
    };
    auto seekCur = [&](int32_t d) {
        const off_t r = ::lseek(fd, d, SEEK_CUR);
        if (r >= 0) position = static_cast<uint32_t>(r);
    };
    auto bad = [](int b) { return static_cast<uint8_t>(b) == 0 || static_cast<uint8_t>(b) == 255; };
    std::string result;
    auto finish = [&](std::string r) {
        ::close(fd);
        return r;
    };
    if (size == 0) return finish("");
    ::lseek(fd, 1, SEEK_SET);
    position = 1;
    while (position != size - 1) {
        const int n = readByte();
        if (bad(n)) return finish(kFormatError);
        uint32_t count = 0;
        bool same = key.size() == static_cast<uint8_t>(n);
        for (uint32_t i = 0; same && i < static_cast<uint8_t>(n); ++i) {
            const int a = static_cast<int8_t>(static_cast<uint8_t>(readByte()));
            const int b = static_cast<int8_t>(key[i]);
            ++count;
            if (!(a == b || a - b == 32 || b - a == 32)) same = false;
        }
        if (!same) {
            seekCur(static_cast<uint8_t>(n) - count);
            if (readByte() != 0) return finish(kFormatError);
            const int m = readByte();
            if (bad(m)) return finish(kFormatError);
            seekCur(static_cast<uint8_t>(m));
            if (readByte() != 2) return finish(kFormatError);
            continue;
        }
        if (readByte() != 0) return finish(kFormatError);
        const int m = readByte();
        if (bad(m)) return finish(kFormatError);
        for (int i = 0; i < static_cast<uint8_t>(m); ++i) {
            const int b = readByte();
            if (b == -1) return finish(kReadError);
            if (b != 0) result += static_cast<char>(b);
        }
        if (readByte() != 2) return finish(kFormatError);
        return finish(result);
    }
    return finish(readByte() == 0x10 ? "" : kEndError);
}

std::string ByteWiseGetValue(const std::string& path, const std::string& key) {
    return ByteWiseGetValueStaleSize(path, key, -1);
}

TEST_F(DefStorage, SameResultsAsTheByteWiseReaderOnDamagedFiles) {
    std::mt19937 rng(12345);
    const std::string keys[] = {"sys1", "SYS2", "k", "", "syslink::sys3", std::string(300, 'a')};
    const std::string base =
        DefFile(DefRecord("sys1", "heat") + DefRecord("SYS2", std::string("w\0t", 3)) +
                DefRecord("syslink::sys3", "x") + DefRecord("k", "kv"));
    for (int round = 0; round < 400; ++round) {
        std::string bytes = base;
        const int edits = 1 + static_cast<int>(rng() % 3);
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng() % bytes.size();
            switch (rng() % 4) {
                case 0:
                    bytes[at] = static_cast<char>(rng() % 256);
                    break;
                case 1:
                    bytes.resize(at);
                    break;
                case 2:
                    bytes.insert(at, 1, static_cast<char>(rng() % 256));
                    break;
                default:
                    bytes.erase(at, 1);
                    break;
            }
            if (bytes.empty()) break;
        }
        const std::string path = dir.Write("main.def", bytes);
        CDefStorage s;
        s.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
        for (const auto& key : keys) {
            ASSERT_EQ(s.GetValue(CMystring(key.c_str())).Str(), ByteWiseGetValue(path, key))
                << "round " << round << " key " << key;
        }
    }
}

// Reading several keys in one pass answers each as its own lookup does, on damaged files too:
// cut records, bad lengths, a missing end marker, a key asked twice or in another letter case.
TEST_F(DefStorage, GetValuesAnswersAsGetValueOnDamagedFiles) {
    std::mt19937 rng(777);
    const std::vector<std::string> keys = {
        "syslink::sys1",      "SYSLINK::SYS2", "syslink::sys9", "syslink::sys1", "k", "",
        std::string(300, 'a')};
    // A small file, and one of many records that run across the reader's 64 KiB read-ahead.
    std::string small, large;
    for (int i = 0; i < 30; ++i) small += DefRecord("param::p" + std::to_string(i), "v");
    for (int i = 0; i < 9000; ++i)
        large += DefRecord("param::p" + std::to_string(i), std::string(i % 40 + 1, 'v'));
    const std::string tail = DefRecord("syslink::sys2", std::string("w\0t", 3)) +
                             DefRecord("k", "kv") + DefRecord("syslink::sys1", "heat") +
                             DefRecord("Syslink::Sys1", "second");
    std::vector<CMystring> asked;
    for (const auto& key : keys) asked.emplace_back(key.c_str());
    for (int round = 0; round < 300; ++round) {
        std::string bytes = DefFile((round % 2 == 0 ? small : large) + tail);
        for (int e = round < 2 ? 0 : 1 + static_cast<int>(rng() % 2); e > 0 && !bytes.empty();
             --e) {
            const size_t at = bytes.size() - 1 - rng() % std::min<size_t>(bytes.size(), 120);
            switch (rng() % 3) {
                case 0:
                    bytes[at] = static_cast<char>(rng() % 256);
                    break;
                case 1:
                    bytes.resize(at);
                    break;
                default:
                    bytes.erase(at, 1);
                    break;
            }
        }
        const std::string path = dir.Write("main.def", bytes);
        CDefStorage one, batch;
        one.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
        batch.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
        const std::vector<CMystring> values = batch.GetValues(asked);
        ASSERT_EQ(values.size(), keys.size());
        for (size_t k = 0; k < keys.size(); ++k)
            ASSERT_EQ(values[k].Str(), one.GetValue(asked[k]).Str())
                << "round " << round << " key " << keys[k];
        if (round < 2) {
            EXPECT_EQ(values[0].Str(), "heat");
            EXPECT_EQ(values[1].Str(), "wt");
            EXPECT_EQ(values[2].Str(), "");
        }
    }
    CDefStorage closed;
    EXPECT_EQ(closed.GetValues(asked).size(), keys.size());
}

}  // namespace
