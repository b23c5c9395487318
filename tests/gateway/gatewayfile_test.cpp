#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "gateway/gatewayfile.h"
#include "tests/common/testtext.h"
#include "tests/common/unprivileged.h"
#include "tests/gateway/support/listfixture.h"

namespace {

namespace fs = std::filesystem;
using Items = std::vector<std::string>;

std::string Spaces(size_t n) {
    return std::string(n, ' ');
}

// Names in the folder other than the ones a test put there: a failed save leaves nothing behind.
std::vector<std::string> Leftovers(const TempDir& dir, const std::vector<std::string>& known) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir.Path())) {
        const std::string name = e.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end()) out.push_back(name);
    }
    return out;
}

// Loads `bytes` as CONFIG/duxgate.cfg into the fixture's list.
Status LoadTextStatus(ListFixture& f, const std::string& bytes) {
    f.dir.Write("CONFIG/duxgate.cfg", bytes);
    return LoadGatewayFile(f.list, f.dir.Path() + "CONFIG/");
}

void LoadText(ListFixture& f, const std::string& bytes) {
    EXPECT_TRUE(LoadTextStatus(f, bytes).ok());
}

TEST(SaveGatewayFile, WritesTheExactFormat) {
    ListFixture f;
    f.list.AppendRowFromFile("1abc", {"40001", "F", "abc", "dim"});
    f.list.AppendRowFromFile("1v21", {"40003", "F", std::string(21, 'a'), "d"});
    f.list.AppendRowFromFile("1v22", {"40005", "F", std::string(22, 'b'), "d"});
    f.list.AppendRowFromFile("1v30", {"40007", "F", std::string(30, 'c'), "d"});
    // With a flags variable; with a flags variable without a name; with an empty dimension.
    f.list.AppendRowFromFile("2t1", {"40009", "F", "105", W("°C"), "2t1f", "40011", "B", "83"});
    f.list.AppendRowFromFile("2t2", {"40012", "F", "105", "K", "", "40014", "B", "83"});
    f.list.AppendRowFromFile("1q1", {"40015", "F", "15", ""});
    f.list.SetChecked(1, true);  // check boxes do not matter
    const std::string path = f.dir / "out.cfg";
    ASSERT_TRUE(SaveGatewayFile(f.list, path).ok());

    const std::string expected = "F 40001 abc" + Spaces(20) + "1abc dim\r\n" + "F 40003 " +
                                 std::string(21, 'a') + "  1v21 d\r\n" + "F 40005 " +
                                 std::string(22, 'b') + " 1v22 d\r\n" + "F 40007 " +
                                 std::string(30, 'c') + " 1v30 d\r\n" + "F 40009 105" + Spaces(20) +
                                 "2t1 \xB0"
                                 "C\r\n" +
                                 "B 40011 83" + Spaces(21) + "2t1f\r\n" + "F 40012 105" +
                                 Spaces(20) + "2t2 K\r\n" + "F 40015 15" + Spaces(21) + "1q1 \r\n";
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST(GatewayFile, RoundTripsTheRows) {
    ListFixture f;
    f.list.AddVariable(-1, "t1", 2);
    f.list.AddVariable(-1, "e2", 3);  // empty dimension, flags named after the caption
    f.list.AddVariable(-1, W("Тв1"), 1);
    f.list.AddVariable(-1, "q5", 9);
    f.list.MoveRow(3, 0);
    const std::string path = f.dir / "CONFIG/duxgate.cfg";
    fs::create_directories(f.dir / "CONFIG");
    ASSERT_TRUE(SaveGatewayFile(f.list, path).ok());
    const std::string first = ReadBytes(path);

    ListFixture g;
    EXPECT_TRUE(LoadGatewayFile(g.list, f.dir.Path() + "CONFIG/").ok());
    ASSERT_EQ(g.list.RowCount(), f.list.RowCount());
    for (size_t i = 0; i < f.list.RowCount(); ++i) {
        EXPECT_EQ(g.list.Row(i).caption, f.list.Row(i).caption);
        EXPECT_EQ(g.list.Row(i).subItems, f.list.Row(i).subItems);
    }
    EXPECT_EQ(g.list.UsedVariables(), f.list.UsedVariables());
    ASSERT_TRUE(SaveGatewayFile(g.list, path).ok());
    EXPECT_EQ(ReadBytes(path), first);
}

TEST(LoadGatewayFile, ReadsAHandWrittenFile) {
    ListFixture f;
    f.list.AddVariable(-1, "q1", 1);  // replaced by the file's rows
    LoadText(f, "F 40005 105 2t1 C\r\nB 40007 83 2t1f\r\n\r\nF 40100 15 1q1 m3\r\n");
    EXPECT_EQ(Captions(f.list), (Items{"2t1", "1q1"}));
    // References as read; the flags sub-items in column order: name, ref, type, id.
    EXPECT_EQ(f.list.Row(0).subItems,
              (Items{"40005", "F", "105", "C", "2t1f", "40007", "B", "83"}));
    EXPECT_EQ(f.list.Row(1).subItems, (Items{"40100", "F", "15", "m3"}));
    EXPECT_EQ(f.list.UsedVariables(), 3u);
    EXPECT_FALSE(f.list.Row(0).checked);
    // Counted before each row appears, from a cleared list.
    EXPECT_EQ(f.rec.usedAtInsert.back(), 3u);
    EXPECT_EQ(f.rec.usedAtInsert[f.rec.usedAtInsert.size() - 2], 2u);
    EXPECT_EQ(f.rec.counters, usertext::Counters(10, 3, 7).bytes());
}

TEST(LoadGatewayFile, LineEndsAndSeparatorsDoNotMatter) {
    const std::string crlf = "F 40005 105 2t1 C\r\nB 40007 83 2t1f\r\nF 40100 15 1q1 m3\r\n";
    std::vector<std::string> variants = {
        crlf,
        "F 40005 105 2t1 C\r\nB 40007 83 2t1f\r\nF 40100 15 1q1 m3",  // no final CR LF
        "F 40005 105 2t1 C\nB 40007 83 2t1f\nF 40100 15 1q1 m3\n",    // LF only
        "F\t40005\t105\t2t1\tC\r\nB\t40007 \t83\v2t1f\f\r\n  F 40100 15 1q1 m3\t\r\n",
        "\r\n\r\nF 40005 105 2t1 C extra fields\r\n  B 40007 83 2t1f more\r\n\r\nF 40100 15 1q1 "
        "m3\r\n\r\n ",
    };
    ListFixture reference;
    LoadText(reference, crlf);
    ASSERT_EQ(reference.list.RowCount(), 2u);
    for (const std::string& text : variants) {
        ListFixture f;
        LoadText(f, text);
        ASSERT_EQ(f.list.RowCount(), 2u) << text;
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(f.list.Row(i).caption, reference.list.Row(i).caption) << text;
            EXPECT_EQ(f.list.Row(i).subItems, reference.list.Row(i).subItems) << text;
        }
        EXPECT_EQ(f.list.UsedVariables(), 3u) << text;
    }
}

TEST(LoadGatewayFile, KeepsOnlyEntriesOfTypeF) {
    ListFixture f;
    // An unknown type goes with its flags line; "f" is not "F"; a "B" line after a tab is not a
    // flags line but an entry of its own, of type "B".
    LoadText(f,
             "X 1 2 1x d\r\nB 3 4 1fx\r\n"
             "f 5 6 1y d\r\n"
             "F 7 8 1a d\r\n\tB 9 10 1fa\r\n"
             "F 11 12 1b d\r\n");
    EXPECT_EQ(Captions(f.list), (Items{"1a", "1b"}));
    EXPECT_EQ(f.list.Row(0).subItems, (Items{"7", "F", "8", "d"}));
    EXPECT_EQ(f.list.UsedVariables(), 2u);
}

TEST(LoadGatewayFile, SkipsExtraFlagsLinesWithoutCounting) {
    ListFixture f;
    LoadText(f, "F 1 2 1a d\r\nB 3 83 1fa\r\nB 4 84 1fb\r\n B 5 85 1fc\r\nF 6 7 1b d\r\nB 8 9 1fd");
    EXPECT_EQ(Captions(f.list), (Items{"1a", "1b"}));
    EXPECT_EQ(f.list.Row(0).subItems, (Items{"1", "F", "2", "d", "1fa", "3", "B", "83"}));
    EXPECT_EQ(f.list.Row(1).subItems, (Items{"6", "F", "7", "d", "1fd", "8", "B", "9"}));
    EXPECT_EQ(f.list.UsedVariables(), 4u);
}

TEST(LoadGatewayFile, AMissingFieldNeverTakesTheNextLine) {
    ListFixture f;
    LoadText(f,
             "F 40001 105 2t1\r\n"             // no dimension
             "B 40003 83\r\n"                  // no flags name
             "F 40004 15\r\n"                  // neither name nor dimension
             "F 40006 15 1q2 \r\n"             // empty dimension as the writer leaves it
             "F 40008 \xFF 1\xFF\xFF y\r\n");  // 0xFF is a letter, not the end
    ASSERT_EQ(f.list.RowCount(), 4u);
    EXPECT_EQ(f.list.Row(0).subItems, (Items{"40001", "F", "105", "", "", "40003", "B", "83"}));
    EXPECT_EQ(f.list.Row(1).caption, "");
    EXPECT_EQ(f.list.Row(1).subItems, (Items{"40004", "F", "15", ""}));
    EXPECT_EQ(f.list.Row(2).subItems, (Items{"40006", "F", "15", ""}));
    EXPECT_EQ(f.list.Row(3).caption, "1\xFF\xFF");
    EXPECT_EQ(f.list.Row(3).subItems, (Items{"40008", "F", "\xFF", "y"}));
    EXPECT_EQ(f.list.UsedVariables(), 5u);
}

TEST(LoadGatewayFile, AMissingFileGivesAnEmptyList) {
    ListFixture f;
    f.list.AddVariable(-1, "t1", 1);
    EXPECT_TRUE(LoadGatewayFile(f.list, f.dir.Path() + "nowhere/").ok());
    EXPECT_EQ(f.list.RowCount(), 0u);
    EXPECT_EQ(f.list.UsedVariables(), 0u);
    EXPECT_TRUE(f.rec.mirror.empty());
    EXPECT_EQ(f.rec.counters, usertext::Counters(10, 0, 10).bytes());

    LoadText(f, "");
    EXPECT_EQ(f.list.RowCount(), 0u);
    LoadText(f, " \r\n\t\r\n");
    EXPECT_EQ(f.list.RowCount(), 0u);
}

TEST(LoadGatewayFile, FindsTheFileIgnoringLetterCase) {
    ListFixture f;
    f.dir.Write("config/DUXGate.cfg", "F 1 2 1a d\r\n");
    EXPECT_TRUE(LoadGatewayFile(f.list, f.dir.Path() + "CONFIG/").ok());
    EXPECT_EQ(Captions(f.list), (Items{"1a"}));

    // The exact name wins over another spelling.
    f.dir.Write("config/duxgate.cfg", "F 1 2 1b d\r\n");
    EXPECT_TRUE(LoadGatewayFile(f.list, f.dir.Path() + "config/").ok());
    EXPECT_EQ(Captions(f.list), (Items{"1b"}));

    // An empty prefix is the working directory, where "DUXGate.cfg" is the upload copy and
    // never stands in for a missing download.
    const fs::path cwd = fs::current_path();
    fs::current_path(f.dir.Path() + "config");
    EXPECT_TRUE(LoadGatewayFile(f.list, "").ok());
    const Items fromDownload = Captions(f.list);
    fs::remove("duxgate.cfg");
    EXPECT_TRUE(LoadGatewayFile(f.list, "").ok());
    fs::current_path(cwd);
    EXPECT_EQ(fromDownload, (Items{"1b"}));
    EXPECT_EQ(f.list.RowCount(), 0u);
}

TEST(LoadGatewayFile, StopsWhenNoMoreRowsCanBeCreated) {
    ListFixture f("10", 2);
    const Status loaded =
        LoadTextStatus(f, "F 1 2 1a d\r\nF 3 4 1b d\r\nB 5 6 1fb\r\nF 7 8 1c d\r\nB 9 9 1fc\r\n");
    EXPECT_EQ(Captions(f.list), (Items{"1a", "1b"}));
    EXPECT_EQ(f.list.UsedVariables(), 3u);
    EXPECT_EQ(f.rec.counters, usertext::Counters(10, 3, 7).bytes());
    // The rows that did not fit are no secret: the file cannot be loaded whole.
    ASSERT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.failure().kind, FailureKind::Invalid);
    EXPECT_EQ(loaded.failure().path, f.dir.Path() + "CONFIG/duxgate.cfg");
    EXPECT_EQ(loaded.failure().detail, U(usertext::TooManyRows(3, 2)));
}

// Only a file with more entries than the list holds fails; flags lines and other types are no
// rows. The list is sized from the file before the rows come, so its caption index never grows.
TEST(LoadGatewayFile, FailsOnlyWhenMoreRowsThanTheLimit) {
    struct Case {
        const char* name;
        size_t limit;
        size_t rows;
        bool ok;
    };
    const Case cases[] = {
        {"below the limit", 100, 99, true},
        {"at the limit", 100, 100, true},
        {"one more", 100, 101, false},
        {"the default limit, one more", SnvtList::kDefaultRowLimit, SnvtList::kDefaultRowLimit + 1,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListFixture f("10", c.limit);
        std::string text;
        for (size_t i = 0; i < c.rows; ++i) {
            text += "F 40001 105                   r" + std::to_string(i) + " d\r\n";
            if (i % 2 == 0) text += "B 40003 83                    r" + std::to_string(i) + "f\r\n";
            if (i % 5 == 0) text += "X 1 2 other d\r\n";
        }
        const Status loaded = LoadTextStatus(f, text);
        EXPECT_EQ(loaded.ok(), c.ok);
        EXPECT_EQ(f.list.RowCount(), std::min(c.rows, c.limit));
        EXPECT_EQ(f.list.CaptionRehashes(), 0u);
        if (!c.ok) {
            EXPECT_NE(loaded.failure().detail.find(std::to_string(c.rows)), std::string::npos);
        }
        // The same from bytes in memory.
        EXPECT_EQ(LoadGatewayBytes(f.list, text).ok(), c.ok);
        EXPECT_EQ(f.list.RowCount(), std::min(c.rows, c.limit));
    }
}

TEST(SaveGatewayFile, RefusesRowsThatWouldReadBackDifferently) {
    struct Case {
        std::string caption;
        Items subItems;
        Cp1251String problem;
    };
    using usertext::EmptyField;
    using usertext::SpaceInField;
    const std::vector<Case> cases = {
        {"1a b", {"40003", "F", "15", "d"}, SpaceInField("Var Name")},
        {"1b", {"40003", "F", "", "d"}, EmptyField("SNVT_ID")},
        {"1b", {"", "F", "15", "d"}, EmptyField("Ref")},
        {"", {"40003", "F", "15", "d"}, EmptyField("Var Name")},
        {"1b", {"40003", "F", "15", "кВт\tч"}, SpaceInField("Dimention")},
        {"1b", {"40003", "F", "15", "d", "1f b", "40005", "B", "83"}, SpaceInField("Flags Name")},
        {"1b", {"40003", "F", "15", "d", "1fb", "40005", "B", ""}, EmptyField("SNVT_ID")},
        {"1b", {"40003", "F", "1\r5", "d"}, SpaceInField("SNVT_ID")},
    };
    for (const Case& c : cases) {
        ListFixture f;
        f.list.AppendRowFromFile("1a", {"40001", "F", "15", "d"});
        f.list.AppendRowFromFile(c.caption, c.subItems);
        const std::string path = f.dir.Write("duxgate.cfg", "old contents");
        const Status r = SaveGatewayFile(f.list, path);
        ASSERT_FALSE(r.ok()) << U(c.problem);
        EXPECT_EQ(r.failure().kind, FailureKind::Invalid) << U(c.problem);
        EXPECT_EQ(r.failure().at, 1u) << U(c.problem);
        EXPECT_EQ(usertext::FileFailureReason(usertext::FileStep::NotSaved, r.failure()),
                  usertext::RowRefused(2, c.caption, c.problem));
        EXPECT_EQ(ReadBytes(path), "old contents");
    }
}

TEST(SaveGatewayFile, FailsWithoutTouchingWhatIsThere) {
    ListFixture f;
    f.list.AddVariable(-1, "q1", 1);

    // A folder in the way.
    const std::string folder = f.dir.MakeDir("duxgate.cfg");
    f.dir.Write("duxgate.cfg/keep", "x");
    Status r = SaveGatewayFile(f.list, f.dir / "duxgate.cfg");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.failure().errorNumber, EISDIR);
    const std::string message =
        usertext::FileFailureReason(usertext::FileStep::NotSaved, r.failure()).bytes();
    EXPECT_EQ(message.rfind(usertext::FileWriteError("").bytes(), 0), 0u) << message;
    EXPECT_EQ(ReadBytes(f.dir / "duxgate.cfg/keep"), "x");

    // No folder, or a file where the folder should be.
    r = SaveGatewayFile(f.list, f.dir / "missing/duxgate.cfg");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.failure().errorNumber, ENOENT);
    f.dir.Write("plain", "p");
    r = SaveGatewayFile(f.list, f.dir / "plain/duxgate.cfg");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.failure().errorNumber, ENOTDIR);
    EXPECT_EQ(Leftovers(f.dir, {"calcbank.xml", "duxgate.cfg", "plain"}), Items{});
}

// Permissions do not bind root: as root the saves run as an ordinary user.
TEST(SaveGatewayFile, AnUnwritableFolderOrFileKeepsTheOldFile) {
    ListFixture f;
    f.list.AddVariable(-1, "q1", 1);
    const std::string folder = f.dir.MakeDir("ro");
    const std::string inFolder = f.dir.Write("ro/duxgate.cfg", "old");
    // A read-only file in a writable folder is not replaced either.
    const std::string readOnly = f.dir.Write("duxgate.cfg", "old");
    ::chmod(folder.c_str(), 0555);
    ::chmod(readOnly.c_str(), 0444);
    ::chmod(f.dir.Path().c_str(), 0777);
    const std::string failure = RunUnprivileged([&]() -> std::string {
        const Status r = SaveGatewayFile(f.list, inFolder);
        if (r.ok()) return "saved into a folder it may not write";
        if (r.failure().errorNumber != EACCES)
            return "error " + std::to_string(r.failure().errorNumber);
        if (ReadBytes(inFolder) != "old") return "the file in the read-only folder changed";
        if (SaveGatewayFile(f.list, readOnly).ok()) return "a read-only file was replaced";
        if (ReadBytes(readOnly) != "old") return "the read-only file changed";
        if (!Leftovers(f.dir, {"calcbank.xml", "ro", "duxgate.cfg"}).empty()) return "leftovers";
        return "";
    });
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(failure, "");
}

TEST(SaveGatewayFile, AWriteFailingHalfwayKeepsTheOldFile) {
    ListFixture f("100");
    for (int system = 1; system <= 5; ++system) f.list.AddVariable(-1, "t1", uint8_t(system));
    const std::string path = f.dir.Write("duxgate.cfg", "old");

    // A file size limit stands in for a full disk: the third entry no longer fits.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 150;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status r = SaveGatewayFile(f.list, path);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.failure().errorNumber, EFBIG);
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(Leftovers(f.dir, {"calcbank.xml", "duxgate.cfg"}), Items{});
}

TEST(SaveGatewayFile, ReplacesAnExistingFileWhole) {
    ListFixture f;
    f.list.AddVariable(-1, "q1", 1);
    const std::string path = f.dir.Write("duxgate.cfg", std::string(500, 'z'));
    ::chmod(path.c_str(), 0640);
    const std::string target = f.dir.Write("real.cfg", "old");
    fs::create_symlink(target, f.dir / "link.cfg");

    ASSERT_TRUE(SaveGatewayFile(f.list, path).ok());
    const std::string expected = "F 40001 15" + Spaces(21) + "1q1 " + W("м3/ч") + "\r\n";
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // Saving through a link replaces the file it points to and keeps the link.
    ASSERT_TRUE(SaveGatewayFile(f.list, f.dir / "link.cfg").ok());
    EXPECT_TRUE(fs::is_symlink(f.dir / "link.cfg"));
    EXPECT_EQ(ReadBytes(target), expected);
    EXPECT_EQ(Leftovers(f.dir, {"calcbank.xml", "duxgate.cfg", "real.cfg", "link.cfg"}), Items{});
}

}  // namespace

namespace {

// A file is read from disk in 64 KiB pieces: a token, a run of blanks or the rest of a line cut
// by a piece's end reads as it does from the bytes in memory.
TEST(LoadGatewayFile, ReadsTheSameWhereverThePiecesOfTheFileEnd) {
    constexpr size_t kPiece = 65536;
    struct Case {
        const char* name;
        size_t cutAt;  // where in the second row the first piece ends
    };
    const std::string row = "F 40003 105                    v1234567890 C junk\r\n";
    const Case cases[] = {
        {"in the type", 0},
        {"after the type", 1},
        {"in the reference", 4},
        {"in the blanks", 15},
        {"in the caption", 36},
        {"after the dimension", 44},
        {"in the rest of the line", 48},
        {"between CR and LF", 51},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A first row padded so that the second one starts cutAt bytes before the piece's end.
        std::string text = "F 40001 105 v0 C ";
        text.append(kPiece - c.cutAt - text.size() - 2, 'x');
        text += "\r\n";
        ASSERT_EQ(text.size() + c.cutAt, kPiece);
        text += row;
        text += "F 40005 83 v2 d\r\nB 40006 83 v2f\r\n";
        ListFixture fromFile;
        ASSERT_TRUE(LoadTextStatus(fromFile, text).ok());
        ListFixture fromBytes;
        ASSERT_TRUE(LoadGatewayBytes(fromBytes.list, text).ok());
        ASSERT_EQ(fromFile.list.RowCount(), 3u);
        ASSERT_EQ(fromBytes.list.RowCount(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(fromFile.list.Row(i).caption, fromBytes.list.Row(i).caption) << i;
            EXPECT_EQ(fromFile.list.Row(i).subItems, fromBytes.list.Row(i).subItems) << i;
        }
        EXPECT_EQ(fromFile.list.Row(1).caption, "v1234567890");
        EXPECT_EQ(fromFile.list.Row(1).subItems,
                  (std::vector<std::string>{"40003", "F", "105", "C"}));
        EXPECT_EQ(fromFile.list.Row(2).subItems,
                  (std::vector<std::string>{"40005", "F", "83", "d", "v2f", "40006", "B", "83"}));
    }
}

}  // namespace
