// The SNVT list as CSV for the LON side: the gateway's numbering of the variables (flags
// companions included, unnamed ones left out as the gateway leaves them out), quoting, the text
// converted to UTF-8, the byte order mark, CR LF, and the file written whole.
#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "gateway/listcsv.h"
#include "tests/common/testtext.h"
#include "tests/gateway/support/listfixture.h"

namespace {

using Items = std::vector<std::string>;

// The byte order mark, then the captions in UTF-8 separated by ';'.
const std::string kHead = [] {
    std::string head = "\xEF\xBB\xBF";
    for (const Cp1251String* caption : usertext::ListCsvCaptions())
        head += (head.size() > 3 ? ";" : "") + U(*caption);
    return head + "\r\n";
}();

TEST(CsvField, QuotesOnlyWhatASpreadsheetWouldSplit) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},           {"40001", "40001"},   {"a,b", "a,b"},  // a comma separates nothing here
        {" x ", " x "},     {"a;b", "\"a;b\""},   {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""}, {"a\rb", "\"a\rb\""}, {"a\nb", "\"a\nb\""},
        {"м3/ч", "м3/ч"},
    };
    for (const auto& c : cases) EXPECT_EQ(CsvField(c.in), c.out) << c.in;
}

// A spreadsheet runs a cell that begins with = + - @ tab or CR; a leading apostrophe makes it
// text. Control characters other than tab, CR and LF are written as their pictures.
TEST(CsvField, NeutralisesFormulasAndShowsControlCharacters) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+cmd|'/C calc'!A0", "'+cmd|'/C calc'!A0"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\t=1", "'\t=1"},
        {"\r=1", "\"'\r=1\""},
        {"-", "'-"},
        {"-1.5.2", "'-1.5.2"},
        {"-1,5", "-1,5"},  // plain numbers stay values
        {"+12", "+12"},
        {"a=b", "a=b"},
        {std::string("\x1B]0;\0\x7F", 6), "\"␛]0;␀␡\""},
    };
    for (const auto& c : cases) EXPECT_EQ(CsvField(c.in), c.out) << c.in;
}

struct Row {
    std::string caption;
    Items subItems;  // UTF-8; converted to the list's Windows-1251
};

TEST(ListCsvText, OneLinePerPublishedVariableInTheGatewaysOrder) {
    const struct {
        const char* what;
        std::vector<Row> rows;
        std::string lines;  // after the header
    } cases[] = {
        {"empty list: the header alone", {}, ""},
        {"plain rows",
         {{"1t1", {"40001", "F", "105", "°C"}}, {"1q1", {"40003", "F", "15", ""}}},
         "1;1t1;40001;F;105;°C\r\n2;1q1;40003;F;15;\r\n"},
        {"a flags companion on its own line, numbered next",
         {{"2t1", {"40001", "F", "105", "°C", "2t1f", "40003", "B", "83"}},
          {"2q1", {"40004", "F", "15", "м3/ч"}}},
         "1;2t1;40001;F;105;°C\r\n2;2t1f;40003;B;83;\r\n3;2q1;40004;F;15;м3/ч\r\n"},
        {"an unnamed flags companion is not published and takes no number",
         {{"2t2", {"40001", "F", "105", "K", "", "40003", "B", "83"}},
          {"2t3", {"40004", "F", "105", "K", "2t3f", "40006", "B", "83"}}},
         "1;2t2;40001;F;105;K\r\n2;2t3;40004;F;105;K\r\n3;2t3f;40006;B;83;\r\n"},
        {"Cyrillic names as UTF-8",
         {{"1Тв", {"40001", "F", "3", "ГДж"}}},
         "1;1Тв;40001;F;3;ГДж\r\n"},
        {"fields a spreadsheet would split are quoted",
         {{"1a;b", {"40001", "F", "1", "\"x\""}}},
         "1;\"1a;b\";40001;F;1;\"\"\"x\"\"\"\r\n"},
        {"references as the list shows them, not renumbered",
         {{"1t1", {"40101", "F", "105", "K"}}},
         "1;1t1;40101;F;105;K\r\n"},
    };
    for (const auto& c : cases) {
        ListFixture f;
        for (const Row& row : c.rows) {
            Items items;
            for (const std::string& item : row.subItems) items.push_back(W(item));
            ASSERT_TRUE(f.list.AppendRowFromFile(W(row.caption), items)) << c.what;
        }
        EXPECT_EQ(ListCsvText(f.list), kHead + c.lines) << c.what;
    }
}

TEST(SaveListCsv, WritesTheTextWholeOrReportsTheFile) {
    ListFixture f;
    ASSERT_TRUE(f.list.AppendRowFromFile("1t1", {"40001", "F", "105", "K"}));
    const std::string path = f.dir / "duxgate.csv";
    ASSERT_TRUE(SaveListCsv(f.list, path).ok());
    EXPECT_EQ(ReadBytes(path), ListCsvText(f.list));

    const std::string missing = f.dir / "no-such-folder/duxgate.csv";
    const Status failed = SaveListCsv(f.list, missing);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.failure().kind, FailureKind::File);
    EXPECT_EQ(failed.failure().path, missing);
    EXPECT_EQ(failed.failure().errorNumber, ENOENT);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
