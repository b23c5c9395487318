#include "base/jsonwriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/common/jsonreader.h"

TEST(JsonQuoted, EscapesWhatJsonForbidsAndKeepsUtf8) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", "\"\""},
        {"plain", "\"plain\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"line\r\nnext\tx", "\"line\\r\\nnext\\tx\""},
        {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
        {"Температура", "\"Температура\""},
        {"\xF0\x9F\x94\xA5", "\"\xF0\x9F\x94\xA5\""},
        // Windows-1251 bytes, a cut sequence, an overlong form, a surrogate: each byte U+FFFD.
        {"\xD2\xE5x", "\"\xEF\xBF\xBD\xEF\xBF\xBDx\""},
        {"\xD0", "\"\xEF\xBF\xBD\""},
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonQuoted(c.in), c.out) << c.in;
}

TEST(JsonWriter, NestsObjectsAndArraysOneMemberALine) {
    std::ostringstream out;
    JsonWriter json(out);
    json.BeginObject()
        .Member("name", "vr7_12")
        .Member("number", 12)
        .Member("ok", true)
        .Member("seconds", 0.25)
        .Key("empty")
        .BeginArray()
        .EndArray()
        .Key("devices")
        .BeginArray()
        .BeginObject()
        .Member("result", 1021)
        .Key("message")
        .Null()
        .EndObject()
        .Number(int64_t{-3})
        .EndArray()
        .EndObject();
    EXPECT_EQ(out.str(),
              "{\n"
              "  \"name\": \"vr7_12\",\n"
              "  \"number\": 12,\n"
              "  \"ok\": true,\n"
              "  \"seconds\": 0.25,\n"
              "  \"empty\": [],\n"
              "  \"devices\": [\n"
              "    {\n"
              "      \"result\": 1021,\n"
              "      \"message\": null\n"
              "    },\n"
              "    -3\n"
              "  ]\n"
              "}\n");
}

TEST(JsonWriter, NumbersWithoutTrailingZerosAndNoNan) {
    const struct {
        double in;
        const char* out;
    } cases[] = {{3.0, "3"}, {0.5, "0.5"}, {1.234567, "1.234567"},
                 {0.0, "0"}, {12.0, "12"}, {std::nan(""), "null"}};
    for (const auto& c : cases) {
        std::ostringstream out;
        JsonWriter json(out);
        json.BeginArray().Number(c.in).EndArray();
        EXPECT_EQ(out.str(), std::string("[\n  ") + c.out + "\n]\n") << c.in;
    }
}

// The tests read the programs' JSON with tests/common/jsonreader.h: what the writer writes comes
// back as it went in, and broken texts are refused rather than read as something.
TEST(JsonReader, ReadsWhatTheWriterWritesAndRefusesBrokenText) {
    std::ostringstream out;
    JsonWriter json(out);
    const std::string text = std::string("a\"b\\c\r\n\t\x01 Температура \xF0\x9F\x94\xA5");
    json.BeginObject()
        .Member("text", text)
        .Member("count", int64_t{-1234567890123})
        .Member("seconds", 0.25)
        .Member("ok", true)
        .Member("no", false)
        .Key("none")
        .Null()
        .Key("list")
        .BeginArray()
        .Number(int64_t{1})
        .BeginObject()
        .EndObject()
        .EndArray()
        .EndObject();
    const JsonValue v = JsonReader::Parse(out.str());
    EXPECT_EQ(v.Keys(),
              (std::vector<std::string>{"text", "count", "seconds", "ok", "no", "none", "list"}));
    EXPECT_EQ(v["text"].String(), text);
    EXPECT_EQ(v["count"].Integer(), -1234567890123);
    EXPECT_EQ(v["seconds"].Number(), 0.25);
    EXPECT_TRUE(v["ok"].Bool());
    EXPECT_FALSE(v["no"].Bool());
    EXPECT_TRUE(v["none"].IsNull());
    ASSERT_EQ(v["list"].size(), 2u);
    EXPECT_EQ(v["list"][0].Integer(), 1);
    EXPECT_EQ(v["list"][1].size(), 0u);
    EXPECT_EQ(JsonReader::Parse(R"("\u00e9\ud83d\udd25")").String(), "\xC3\xA9\xF0\x9F\x94\xA5");
    EXPECT_THROW(v["absent"], std::runtime_error);
    EXPECT_THROW(v["seconds"].Integer(), std::runtime_error);
    EXPECT_THROW(v["text"].Number(), std::runtime_error);

    for (const char* broken :
         {"", "{", "{\"a\":1,}", "[1,]", "[1 2]", "{\"a\":1}x", "\"open", "01", "1.", "-", "tru",
          "nul", "{\"a\":1,\"a\":2}", "\"\\x\"", "\"\\ud800\"", "\"a\nb\"", "{1:2}"}) {
        EXPECT_THROW(JsonReader::Parse(broken), std::runtime_error) << broken;
    }
}
