#include "simframereader.h"

#include "vr7prot.h"

void SimFrameReader::Feed(const uint8_t* bytes, size_t count) {
    buffer_.insert(buffer_.end(), bytes, bytes + count);
}

bool SimFrameReader::Next(std::vector<uint8_t>& frame) {
    while (buffer_.size() >= static_cast<size_t>(kFrameHeader)) {
        const int length = FrameLength(buffer_.data());
        if (length > kMaxFrameData) {
            buffer_.erase(buffer_.begin());
            continue;
        }
        const size_t size = static_cast<size_t>(length) + kFrameOverhead;
        if (buffer_.size() < size) return false;
        if (FrameCheckFails(buffer_.data())) {
            buffer_.erase(buffer_.begin());
            continue;
        }
        frame.assign(buffer_.begin(), buffer_.begin() + static_cast<long>(size));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(size));
        return true;
    }
    return false;
}
