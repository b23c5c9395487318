#pragma once
// Cuts request frames out of a byte stream. Bytes that cannot start an intact frame (a length
// beyond any frame, wrong check bytes, or an unfinished start followed by an intact frame) are
// dropped until a frame lines up again, as a device listening on a noisy line would.
#include <cstddef>
#include <cstdint>
#include <vector>

class SimFrameReader {
  public:
    void Feed(const uint8_t* bytes, size_t count);
    // Takes the next whole intact frame; false when none is complete yet.
    bool Next(std::vector<uint8_t>& frame);
    bool Pending() const { return !buffer_.empty(); }
    // The bytes fed and not yet taken or dropped.
    size_t Buffered() const { return buffer_.size(); }
    void Clear() { buffer_.clear(); }

  private:
    std::vector<uint8_t> buffer_;
};
