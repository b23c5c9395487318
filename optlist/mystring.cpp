#include "optlist/mystring.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {
const char kEmpty[1] = {0};
}

CMystring::Block* CMystring::NewBlock(const char* bytes, uint32_t length) {
    void* mem = std::malloc(offsetof(Block, bytes) + length + 1);
    if (mem == nullptr) throw std::bad_alloc();
    auto* block = static_cast<Block*>(mem);
    block->length = length;
    if (length) std::memcpy(block->bytes, bytes, length);
    block->bytes[length] = 0;
    return block;
}

void CMystring::SetBytes(const char* bytes, uint32_t length) {
    Block* fresh = length ? NewBlock(bytes, length) : nullptr;
    std::free(block_);
    block_ = fresh;
}

CMystring::CMystring(const CMystring& other) {
    if (other.block_) block_ = NewBlock(other.block_->bytes, other.block_->length);
}

CMystring& CMystring::operator=(const CMystring& other) {
    if (this != &other) SetBytes(other.At(0), other.Length());
    return *this;
}

CMystring& CMystring::operator=(CMystring&& other) noexcept {
    if (this != &other) {
        std::free(block_);
        block_ = other.block_;
        other.block_ = nullptr;
    }
    return *this;
}

CMystring::~CMystring() {
    std::free(block_);
}

uint32_t CMystring::Length() const {
    return block_ ? block_->length : 0;
}

const char* CMystring::At(uint32_t index) const {
    if (block_ == nullptr) return kEmpty;
    return block_->bytes + (index < block_->length ? index : block_->length);
}

void CMystring::Assign(const char* text) {
    if (text == nullptr) {
        SetBytes(nullptr, 0);
        return;
    }
    const size_t length = strnlen(text, kCapacity);
    if (length >= kCapacity) return;
    SetBytes(text, static_cast<uint32_t>(length));
}

void CMystring::AppendChar(uint8_t byte) {
    const uint32_t length = Length();
    if (byte == 0 || length >= kCapacity) return;
    Block* grown = NewBlock(At(0), length + 1);
    grown->bytes[length] = static_cast<char>(byte);
    std::free(block_);
    block_ = grown;
}

int CMystring::Compare(const char* text) const {
    if (text == nullptr) text = kEmpty;
    return std::strcmp(At(0), text) == 0 && std::strlen(text) == Length() ? 0 : 1;
}

void CMystring::TrimLeft() {
    const uint32_t length = Length();
    uint32_t i = 0;
    for (; i < length; ++i) {
        const auto b = static_cast<uint8_t>(*At(i));
        if (!((b >= 0x09 && b <= 0x0D) || b == 0x20 || b == 0xA0)) break;
    }
    if (i > 0) SetBytes(At(i), length - i);
}

void CMystring::Format(const char* format, ...) {
    std::vector<char> buf(kCapacity + 1);
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf.data(), buf.size(), format, args);
    va_end(args);
    if (n < 0) {
        SetBytes(nullptr, 0);
        return;
    }
    const uint32_t length =
        static_cast<uint32_t>(n) < kCapacity ? static_cast<uint32_t>(n) : kCapacity;
    SetBytes(buf.data(), static_cast<uint32_t>(strnlen(buf.data(), length)));
}
