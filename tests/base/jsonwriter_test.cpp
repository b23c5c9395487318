#include "base/jsonwriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

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
