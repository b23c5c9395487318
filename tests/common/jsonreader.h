#pragma once
// A small JSON reader for the tests: parses a whole text (RFC 8259: objects, arrays, strings with
// their escapes, numbers, true, false, null) into a tree of values, or says where it fails. Only
// for reading what the programs write; it keeps a number's text so that integers compare exactly.
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/cp1251.h"

class JsonValue {
  public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type() const { return type_; }
    bool IsNull() const { return type_ == Type::Null; }

    bool Bool() const { return Want(Type::Bool).bool_; }
    // The number's text as written, e.g. "12" or "0.125".
    const std::string& NumberText() const { return Want(Type::Number).text_; }
    double Number() const { return std::stod(NumberText()); }
    long long Integer() const {
        size_t used = 0;
        const long long value = std::stoll(NumberText(), &used);
        if (used != NumberText().size())
            throw std::runtime_error("not an integer: " + NumberText());
        return value;
    }
    const std::string& String() const { return Want(Type::String).text_; }

    // Arrays.
    size_t size() const {
        return type_ == Type::Object ? members_.size() : Want(Type::Array).items_.size();
    }
    const JsonValue& operator[](size_t index) const { return Want(Type::Array).items_.at(index); }
    const std::vector<JsonValue>& Items() const { return Want(Type::Array).items_; }

    // Objects: a member by its key (throws when absent), whether one is there, the keys in order.
    const JsonValue& operator[](const std::string& key) const {
        const JsonValue& object = Want(Type::Object);
        const auto at = object.index_.find(key);
        if (at == object.index_.end()) throw std::runtime_error("no member \"" + key + "\"");
        return object.members_[at->second].second;
    }
    bool Has(const std::string& key) const { return Want(Type::Object).index_.count(key) != 0; }
    std::vector<std::string> Keys() const {
        std::vector<std::string> keys;
        for (const auto& m : Want(Type::Object).members_) keys.push_back(m.first);
        return keys;
    }

  private:
    friend class JsonReader;

    const JsonValue& Want(Type type) const {
        if (type_ != type) throw std::runtime_error("a JSON value of another type");
        return *this;
    }

    Type type_ = Type::Null;
    bool bool_ = false;
    std::string text_;  // a string's bytes (UTF-8) or a number's text
    std::vector<JsonValue> items_;
    std::vector<std::pair<std::string, JsonValue>> members_;
    std::map<std::string, size_t> index_;
};

class JsonReader {
  public:
    // Parses text, which must hold one value and nothing after it but white space. Throws
    // std::runtime_error naming the offset of the fault.
    static JsonValue Parse(std::string_view text) {
        JsonReader reader(text);
        JsonValue value = reader.Value(0);
        reader.Blanks();
        if (reader.at_ != text.size()) reader.Fail("text after the value");
        return value;
    }

  private:
    static constexpr int kMaxDepth = 64;

    explicit JsonReader(std::string_view text) : text_(text) {}

    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("JSON at offset " + std::to_string(at_) + ": " + what);
    }
    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }
    char Peek() {
        Blanks();
        if (at_ >= text_.size()) Fail("unexpected end");
        return text_[at_];
    }
    void Expect(char c) {
        if (Peek() != c) Fail(std::string("expected '") + c + "'");
        ++at_;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    JsonValue Value(int depth) {
        if (depth > kMaxDepth) Fail("nested too deeply");
        JsonValue v;
        const char c = Peek();
        if (c == '{') {
            v.type_ = JsonValue::Type::Object;
            ++at_;
            if (Peek() == '}') {
                ++at_;
                return v;
            }
            for (;;) {
                if (Peek() != '"') Fail("expected a key");
                std::string key = StringText();
                Expect(':');
                JsonValue member = Value(depth + 1);
                if (!v.index_.emplace(key, v.members_.size()).second)
                    Fail("member \"" + key + "\" twice");
                v.members_.emplace_back(std::move(key), std::move(member));
                if (Peek() == ',') {
                    ++at_;
                    continue;
                }
                Expect('}');
                return v;
            }
        }
        if (c == '[') {
            v.type_ = JsonValue::Type::Array;
            ++at_;
            if (Peek() == ']') {
                ++at_;
                return v;
            }
            for (;;) {
                v.items_.push_back(Value(depth + 1));
                if (Peek() == ',') {
                    ++at_;
                    continue;
                }
                Expect(']');
                return v;
            }
        }
        if (c == '"') {
            v.type_ = JsonValue::Type::String;
            v.text_ = StringText();
            return v;
        }
        if (Word("true") || Word("false")) {
            v.type_ = JsonValue::Type::Bool;
            v.bool_ = text_[at_ - 1] == 'e' && text_[at_ - 4] == 't';
            return v;
        }
        if (Word("null")) return v;
        v.type_ = JsonValue::Type::Number;
        v.text_ = NumberText();
        return v;
    }

    std::string NumberText() {
        const size_t start = at_;
        auto digits = [&] {
            const size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
            if (at_ == from) Fail("expected a digit");
        };
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        if (at_ < text_.size() && text_[at_] == '0') {
            ++at_;
        } else {
            digits();
        }
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            digits();
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            digits();
        }
        return std::string(text_.substr(start, at_ - start));
    }

    unsigned Hex4() {
        if (at_ + 4 > text_.size()) Fail("a short \\u escape");
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[at_++];
            value <<= 4;
            if (h >= '0' && h <= '9') {
                value |= static_cast<unsigned>(h - '0');
            } else if (h >= 'a' && h <= 'f') {
                value |= static_cast<unsigned>(h - 'a' + 10);
            } else if (h >= 'A' && h <= 'F') {
                value |= static_cast<unsigned>(h - 'A' + 10);
            } else {
                Fail("a bad \\u escape");
            }
        }
        return value;
    }

    // A string at at_ (its opening quote), unescaped.
    std::string StringText() {
        ++at_;
        std::string out;
        for (;;) {
            if (at_ >= text_.size()) Fail("a string is not closed");
            const char c = text_[at_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) Fail("a control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) Fail("a string is not closed");
            const char e = text_[at_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    unsigned cp = Hex4();
                    if (cp >= 0xD800 && cp < 0xDC00) {
                        if (!Word("\\u")) Fail("a lone high surrogate");
                        const unsigned low = Hex4();
                        if (low < 0xDC00 || low >= 0xE000) Fail("a bad low surrogate");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else if (cp >= 0xDC00 && cp < 0xE000) {
                        Fail("a lone low surrogate");
                    }
                    cp1251::AppendUtf8(out, cp);
                    break;
                }
                default:
                    Fail("a bad escape");
            }
        }
    }

    std::string_view text_;
    size_t at_ = 0;
};
