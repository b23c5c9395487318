#pragma once
// JSON for scripts: objects and arrays written as they are built, one member or element a line,
// strings escaped from UTF-8 (a byte that is not UTF-8 becomes U+FFFD, so the output is always
// valid JSON).
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/cp1251.h"

class JsonWriter {
  public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}

    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // The name of the next member of the object being written.
    JsonWriter& Key(std::string_view name);

    JsonWriter& String(std::string_view utf8);
    // The core's Windows-1251 text is converted first (cp1251::ToUtf8), never written as it is.
    JsonWriter& String(const Cp1251String&) = delete;
    JsonWriter& Number(int64_t value);
    JsonWriter& Number(double value);  // with up to 6 decimals; not a number or infinite: null
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // A member in one call.
    template <class T>
    JsonWriter& Member(std::string_view name, const T& value) {
        Key(name);
        return Value(value);
    }

  private:
    JsonWriter& Value(std::string_view v) { return String(v); }
    JsonWriter& Value(const std::string& v) { return String(v); }
    JsonWriter& Value(const char* v) { return String(v); }
    JsonWriter& Value(bool v) { return Bool(v); }
    JsonWriter& Value(const Cp1251String&) = delete;
    JsonWriter& Value(double v) { return Number(v); }
    template <class T>
    JsonWriter& Value(T v) {
        return Number(static_cast<int64_t>(v));
    }

    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);

    struct Level {
        bool empty = true;
    };
    std::ostream& out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

// utf8 as a JSON string, quotes included.
std::string JsonQuoted(std::string_view utf8);
