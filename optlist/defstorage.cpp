#include "optlist/defstorage.h"

#include <array>
#include <cerrno>
#include <string>

namespace defstorage {
const char* const kFormatError = ".def \xEE\xF8\xE8\xE1\xEA\xE0 \xF4\xEE\xF0\xEC\xE0\xF2\xE0";
const char* const kReadError = ".def \xEE\xF8\xE8\xE1\xEA\xE0 \xF7\xF2\xE5\xED\xE8\xFF";
const char* const kEndError = "\xEE\xF8\xE8\xE1\xEA\xE0 \xF4\xEE\xF0\xEC\xE0\xF2\xE0";
}  // namespace defstorage

namespace {

constexpr int kEndMarker = 0x10;
constexpr int kRecordEnd = 0x02;

// A length byte of 0 or 255 is invalid; a read past the end (-1) counts as 255.
bool BadLength(int byte) {
    const auto low = static_cast<uint8_t>(byte);
    return low == 0 || low == 255;
}

// Names compare ignoring case: bytes that are equal, or whose values read as signed 8-bit numbers
// differ by exactly 32 (Latin and Windows-1251 Cyrillic letters, and some other pairs).
bool SameLetter(int fileByte, uint8_t keyByte) {
    const int a = static_cast<int8_t>(static_cast<uint8_t>(fileByte));
    const int b = static_cast<int8_t>(keyByte);
    return a == b || a - b == 32 || b - a == 32;
}

CMystring Text(const char* text) {
    return CMystring(text);
}

}  // namespace

void CDefStorage::OpenForReading(const char* fileName) {
    Open(fileName, winfile::GENERIC_READ | winfile::GENERIC_WRITE, winfile::FILE_SHARE_READ,
         winfile::OPEN_EXISTING, 0);
    if (IsOpen() || (OpenError() != EACCES && OpenError() != EROFS)) return;
    Open(fileName, winfile::GENERIC_READ, winfile::FILE_SHARE_READ, winfile::OPEN_EXISTING, 0);
}

CDefStorage::Match CDefStorage::MatchName(const CMystring& key) {
    const int n = ReadByte();
    if (BadLength(n)) return Match::Bad;
    const uint32_t length = static_cast<uint8_t>(n);
    uint32_t read = 0;
    bool same = key.Length() == length;
    if (same) {
        for (uint32_t i = 0; i < length; ++i) {
            const int byte = ReadByte();
            ++read;
            if (!SameLetter(byte, static_cast<uint8_t>(*key.At(i)))) {
                same = false;
                break;
            }
        }
    }
    if (!same) {
        Seek(static_cast<int32_t>(length - read), winfile::FILE_CURRENT);
        return ReadByte() == 0 ? Match::Other : Match::Bad;
    }
    return ReadByte() == 0 ? Match::Found : Match::Bad;
}

bool CDefStorage::SkipValue() {
    const int m = ReadByte();
    if (BadLength(m)) return false;
    Seek(static_cast<uint8_t>(m), winfile::FILE_CURRENT);
    return ReadByte() == kRecordEnd;
}

CMystring CDefStorage::GetValue(const CMystring& key) {
    CMystring value;
    if (!IsOpen()) return value;
    Seek(0, winfile::FILE_BEGIN);
    if (Size() == 0) return value;
    Seek(1, winfile::FILE_BEGIN);  // the first byte is not interpreted

    while (Position() != Size() - 1) {
        switch (MatchName(key)) {
            case Match::Bad:
                return Text(defstorage::kFormatError);
            case Match::Other:
                if (!SkipValue()) return Text(defstorage::kFormatError);
                break;
            case Match::Found: {
                const int m = ReadByte();
                if (BadLength(m)) return Text(defstorage::kFormatError);
                for (int i = 0; i < static_cast<uint8_t>(m); ++i) {
                    const int byte = ReadByte();
                    if (byte == -1) return Text(defstorage::kReadError);
                    value.AppendChar(static_cast<uint8_t>(byte));  // zero bytes are dropped
                }
                if (ReadByte() != kRecordEnd) return Text(defstorage::kFormatError);
                return value;
            }
        }
    }
    return ReadByte() == kEndMarker ? CMystring() : Text(defstorage::kEndError);
}

std::vector<CMystring> CDefStorage::GetValues(const std::vector<CMystring>& keys) {
    std::vector<CMystring> values(keys.size());
    if (!IsOpen()) return values;
    Seek(0, winfile::FILE_BEGIN);
    if (Size() == 0) return values;
    Seek(1, winfile::FILE_BEGIN);

    // Every key still open walks the same records to the same positions as long as each byte read
    // is there and the size holds: a record either ends every key's walk alike (a bad one) or
    // answers the keys whose name it is.
    std::vector<std::string> bytes;
    for (const CMystring& key : keys) bytes.push_back(key.Str());
    std::vector<bool> open(keys.size(), true);
    // By a name's length, the low five bits of the keys' first bytes: letters that match differ
    // by 0 or 32, so a record whose first byte is not among them matches no key.
    std::array<uint32_t, 256> firstBytes{};
    for (const std::string& key : bytes) {
        if (!key.empty() && key.size() < firstBytes.size())
            firstBytes[key.size()] |= 1u << (static_cast<uint8_t>(key[0]) & 31);
    }
    size_t pending = keys.size();
    const uint32_t size = Size();
    bool plain = true;
    uint8_t record[1 + 254 + 2];  // the name's length, the name, 0 and the value's length
    uint8_t value[254 + 1];       // the value and the record's end
    auto read = [&](uint8_t* out, uint32_t count) {
        plain = plain && ReadBytes(out, count) == count && Size() == size;
        return plain;
    };
    auto answerAll = [&](const CMystring& text) {
        for (size_t k = 0; k < keys.size(); ++k) {
            if (open[k]) values[k] = text;
        }
        pending = 0;
    };
    while (pending > 0 && plain && Position() != Size() - 1) {
        if (!read(record, 1)) break;
        if (BadLength(record[0])) {
            answerAll(Text(defstorage::kFormatError));
            break;
        }
        const uint32_t length = record[0];
        if (!read(record + 1, length + 2)) break;
        const int m = record[1 + length + 1];
        if (record[1 + length] != 0 || BadLength(m)) {
            answerAll(Text(defstorage::kFormatError));
            break;
        }
        if (!read(value, static_cast<uint32_t>(m) + 1)) break;
        if (value[m] != kRecordEnd) {
            answerAll(Text(defstorage::kFormatError));
            break;
        }
        if ((firstBytes[length] >> (record[1] & 31) & 1) == 0) continue;
        for (size_t k = 0; k < keys.size(); ++k) {
            const std::string& key = bytes[k];
            if (!open[k] || key.size() != length) continue;
            bool same = true;
            for (uint32_t i = 0; i < length && same; ++i)
                same = SameLetter(record[1 + i], static_cast<uint8_t>(key[i]));
            if (!same) continue;
            for (int i = 0; i < m; ++i) values[k].AppendChar(value[i]);  // zero bytes are dropped
            open[k] = false;
            --pending;
        }
    }
    if (pending > 0 && plain && Position() == Size() - 1) {
        uint8_t last = 0;
        if (read(&last, 1))
            answerAll(last == kEndMarker ? CMystring() : Text(defstorage::kEndError));
    }
    for (size_t k = 0; k < keys.size(); ++k) {
        if (open[k] && pending > 0) values[k] = GetValue(keys[k]);
    }
    return values;
}
