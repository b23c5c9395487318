// One libFuzzer program per target: VR7_FUZZ_TARGET names it (see fuzztargets.h).
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzztargets.h"

namespace {

fuzztarget::Entry Find(const char* name) {
    for (const fuzztarget::Target& t : fuzztarget::kTargets)
        if (std::strcmp(t.name, name) == 0) return t.run;
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzztarget::Entry run = Find(VR7_FUZZ_TARGET);
    run(data, size);
    return 0;
}
