#pragma once
// A link whose device is a script: each written frame takes the next scripted answer, which the
// following reads hand out at once. Counts what the exchange did with it.
#include <cstdint>
#include <deque>
#include <vector>

#include "link/vlink.h"

class ProtScriptLink : public CLink {
  public:
    struct Answer {
        std::vector<uint8_t> bytes;
        int writeResult = 0;  // returned by the Write that takes this answer
        int writtenLess = 0;  // the Write reports this many bytes fewer than asked
        int readResult = 0;   // returned by the first Read that finds nothing left
    };

    std::deque<Answer> answers;
    std::vector<std::vector<uint8_t>> writes;
    int purges = 0;
    int reads = 0;

    int Open(bool) override { return 0; }
    bool IsOpen() override { return true; }
    int Purge(int flags) override;
    int Write(const void* buffer, int count, int* written) override;
    int Read(void* buffer, int count, int* got, unsigned timeoutMs) override;

  private:
    std::vector<uint8_t> input_;
    int readResult_ = 0;
};
