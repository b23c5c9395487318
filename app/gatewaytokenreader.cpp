#include "app/gatewaytokenreader.h"

#include <unistd.h>

#include <cerrno>

std::string GatewayTokenReader::FirstToken() {
    while (IsSpace(look_)) Advance();
    return Collect();
}

std::string GatewayTokenReader::LineToken() {
    while (IsSpace(look_) && look_ != '\n') Advance();
    if (look_ == '\n') return std::string();
    return Collect();
}

void GatewayTokenReader::SkipRestOfLine() {
    while (look_ != '\n' && look_ != kEnd) Advance();
}

void GatewayTokenReader::SkipLineBreaks() {
    while (look_ == ' ' || look_ == '\r' || look_ == '\n') Advance();
}

std::string GatewayTokenReader::Collect() {
    std::string token;
    while (look_ != kEnd && !IsSpace(look_)) {
        token += static_cast<char>(look_);
        Advance();
    }
    return token;
}

void GatewayTokenReader::Advance() {
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
