#include "gateway/gatewaytokenreader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string GatewayTokenReader::FirstToken() {
    while (IsSpace(look_)) Advance();
    return Collect();
}

std::string GatewayTokenReader::LineToken() {
    while (IsSpace(look_) && look_ != '\n') {
        // A run of blanks already in the buffer (an SNVT id's padding) is passed over at once.
        while (pos_ < size_ && data_[pos_] == ' ') ++pos_;
        Advance();
    }
    if (look_ == '\n') return std::string();
    return Collect();
}

void GatewayTokenReader::SkipRestOfLine() {
    while (look_ != '\n' && look_ != kEnd) {
        // The rest of the line already in the buffer is passed over at once.
        const void* lf = std::memchr(data_ + pos_, '\n', size_ - pos_);
        pos_ = lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - data_) : size_;
        Advance();
    }
}

void GatewayTokenReader::SkipLineBreaks() {
    while (look_ == ' ' || look_ == '\r' || look_ == '\n') Advance();
}

std::string GatewayTokenReader::Collect() {
    std::string token;
    while (look_ != kEnd && !IsSpace(look_)) {
        // look_ is the buffer's byte before pos_: the token's bytes already in the buffer go in
        // one piece, and only a token that runs across a refill takes more than one.
        const size_t start = pos_ - 1;
        size_t end = pos_;
        while (end < size_ && !IsSpace(static_cast<unsigned char>(data_[end]))) ++end;
        token.append(data_ + start, end - start);
        pos_ = end;
        Advance();
    }
    return token;
}

void GatewayTokenReader::Refill() {
    if (pos_ == size_ && !ended_) {
        ssize_t n;
        do {
            n = ::read(fd_, buffer_, sizeof buffer_);
        } while (n < 0 && errno == EINTR);
        pos_ = 0;
        size_ = n > 0 ? static_cast<size_t>(n) : 0;
        ended_ = n <= 0;
    }
    look_ = pos_ < size_ ? static_cast<unsigned char>(data_[pos_++]) : kEnd;
}
