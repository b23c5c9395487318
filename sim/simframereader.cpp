#include "sim/simframereader.h"

#include "link/vr7frame.h"

namespace {

// The size of the intact frame starting at p (avail bytes there), 0 when there is none yet.
size_t IntactFrameAt(const uint8_t* p, size_t avail) {
    if (avail < static_cast<size_t>(kFrameOverhead)) return 0;
    const int length = FrameLength(p);
    if (length > kMaxFrameData) return 0;
    const size_t size = static_cast<size_t>(length) + kFrameOverhead;
    if (avail < size || FrameCheckFails(p)) return 0;
    return size;
}

}  // namespace

void SimFrameReader::Feed(const uint8_t* bytes, size_t count) {
    buffer_.insert(buffer_.end(), bytes, bytes + count);
}

bool SimFrameReader::Next(std::vector<uint8_t>& frame) {
    while (buffer_.size() >= static_cast<size_t>(kFrameHeader)) {
        const int length = FrameLength(buffer_.data());
        const size_t size = static_cast<size_t>(length) + kFrameOverhead;
        if (length <= kMaxFrameData && buffer_.size() < size) {
            // Noise can look like the start of a long frame; an intact frame further on shows it
            // was noise, so the device need not wait for bytes that will never come.
            for (size_t k = 1; k + kFrameOverhead <= buffer_.size(); ++k) {
                if (IntactFrameAt(buffer_.data() + k, buffer_.size() - k) != 0) {
                    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(k));
                    break;
                }
            }
            if (IntactFrameAt(buffer_.data(), buffer_.size()) == 0) return false;
            continue;
        }
        const size_t intact = IntactFrameAt(buffer_.data(), buffer_.size());
        if (intact == 0) {
            buffer_.erase(buffer_.begin());
            continue;
        }
        frame.assign(buffer_.begin(), buffer_.begin() + static_cast<long>(intact));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(intact));
        return true;
    }
    return false;
}
