#pragma once
// CMystring: the small owned byte string (at most 2048 bytes) in which the definition file reader
// carries keys and values. Bytes are Windows-1251; a null block is the empty string.
#include <cstdint>
#include <string>

class CMystring {
  public:
    static constexpr uint32_t kCapacity = 2048;

    CMystring() = default;
    explicit CMystring(const char* text) { Assign(text); }
    CMystring(const CMystring& other);
    CMystring(CMystring&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    CMystring& operator=(const CMystring& other);
    CMystring& operator=(CMystring&& other) noexcept;
    ~CMystring();

    uint32_t Length() const;
    // The byte at index, clamped to the length: At(Length()) is the terminating zero, and At(0)
    // is the zero-terminated text (a shared empty text for the empty string).
    const char* At(uint32_t index) const;

    // Copies a zero-terminated text; null empties the string. A text of 2048 bytes or more leaves
    // the string unchanged.
    void Assign(const char* text);
    // Appends one byte; a zero byte is ignored, and so is every byte once the length is 2048.
    void AppendChar(uint8_t byte);
    // 0 when equal to the zero-terminated text byte for byte, 1 otherwise.
    int Compare(const char* text) const;
    // Removes leading 0x09..0x0D, 0x20 and 0xA0.
    void TrimLeft();
    // printf-style formatting; the result is cut to 2048 bytes.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    std::string Str() const { return std::string(At(0), Length()); }

  private:
    // The block: a 32-bit length, the bytes, a terminating zero.
    struct Block {
        uint32_t length;
        char bytes[1];
    };
    static Block* NewBlock(const char* bytes, uint32_t length);
    void SetBytes(const char* bytes, uint32_t length);

    Block* block_ = nullptr;
};
