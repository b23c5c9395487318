#include "tests/link/support/prot_scriptlink.h"

#include <algorithm>
#include <cstring>

#include "link/vr7prot.h"

int ProtScriptLink::Purge(int) {
    ++purges;
    input_.clear();
    return 1;
}

int ProtScriptLink::Write(const void* buffer, int count, int* written) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    writes.emplace_back(bytes, bytes + count);
    Answer answer;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    input_ = answer.bytes;
    readResult_ = answer.readResult;
    if (written) *written = count - answer.writtenLess;
    return answer.writeResult;
}

int ProtScriptLink::Read(void* buffer, int count, int* got, unsigned) {
    ++reads;
    const int n = std::min<int>(count, static_cast<int>(input_.size()));
    if (n > 0) std::memcpy(buffer, input_.data(), static_cast<size_t>(n));
    input_.erase(input_.begin(), input_.begin() + n);
    if (got) *got = n;
    return n == 0 ? readResult_ : 0;
}
