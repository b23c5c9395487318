// A gateway settings file read from memory (a download) gives exactly the rows the same bytes
// give when read from a file.
#include <gtest/gtest.h>

#include "gateway/gatewayfile.h"
#include "tests/common/testtext.h"
#include "tests/gateway/support/listfixture.h"

namespace {

std::vector<std::vector<std::string>> RowTexts(const SnvtList& list) {
    std::vector<std::vector<std::string>> rows;
    for (const SnvtRow& row : list.Rows()) {
        rows.push_back(row.subItems);
        rows.back().insert(rows.back().begin(), row.caption);
    }
    return rows;
}

// More than the file reader's 64 KiB buffer.
std::string Long() {
    std::string text;
    for (int i = 0; i < 4000; ++i) {
        text += "F " + std::to_string(40001 + 3 * i) + " 105 v" + std::to_string(i) + " C\r\n";
        if (i % 3 == 0) text += "B " + std::to_string(40003 + 3 * i) + " 83 f\r\n";
    }
    return text;
}

TEST(GatewayBytes, ReadLikeTheFile) {
    const std::string texts[] = {
        Long(),
        "",
        " \r\n\t\r\n",
        "F 40005 105 2t1 C\r\nB 40007 83 2t1f\r\n\r\nF 40100 15 1q1 m3\r\n",
        "F 1 2 1a d\r\nB 3 83 1fa\r\nB 4 84 1fb\r\n B 5 85 1fc\r\nF 6 7 1b d\r\nB 8 9 1fd",
        "X 1 2 skipped\r\nF 1 2 1a\r\nF 3\r\n" + W("F 5 6 1тв м3/ч\n"),
        std::string("F 1 2 a\0b d\r\n", 14) + "F 3 4 \xFF\xFF\r\n",
    };
    for (const std::string& text : texts) {
        ListFixture fromFile, fromBytes;
        ASSERT_TRUE(LoadGatewayFileAt(fromFile.list, fromFile.dir.Write("duxgate.cfg", text)));
        fromBytes.list.AppendRowFromFile("old", {"1", "F", "2", ""});
        EXPECT_TRUE(LoadGatewayBytes(fromBytes.list, text).ok());
        EXPECT_EQ(RowTexts(fromBytes.list), RowTexts(fromFile.list)) << text;
        EXPECT_EQ(fromBytes.list.UsedVariables(), fromFile.list.UsedVariables()) << text;
        EXPECT_EQ(fromBytes.rec.counters, fromFile.rec.counters) << text;
    }
}

// The same rows written by hand: one tab between fields, LF line ends.
std::string HandWritten(const std::string& text) {
    std::string hand;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' && !hand.empty() && hand.back() == '\t') continue;
        if (text[i] == '\r') continue;
        hand += text[i] == ' ' ? '\t' : text[i];
    }
    return hand;
}

TEST(GatewayBytes, StoredTextIsTheRowsAsTheWindowWritesThem) {
    ListFixture saved;
    saved.list.AppendRowFromFile("1t1", {"40001", "F", "105", W("°C")});
    saved.list.AppendRowFromFile("1q1", {"40003", "F", "28", "kW", "1q1f", "40005", "B", "83"});
    const std::string path = saved.dir.Path() + "duxgate.cfg";
    ASSERT_TRUE(SaveGatewayFile(saved.list, path));
    const std::string written = ReadBytes(path);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(GatewayFileText(saved.list), written);

    // A file the window wrote is stored as it is; the same rows spaced by hand as the window
    // would write them.
    EXPECT_EQ(StoredGatewayText(written).value_or("?"), written);
    EXPECT_NE(HandWritten(written), written);
    EXPECT_EQ(StoredGatewayText(HandWritten(written)).value_or("?"), written);
    EXPECT_EQ(StoredGatewayText("").value_or("?"), "");
}

}  // namespace
