// Every input kept in fuzz/corpus/<target>/ goes through its target again, so that whatever a
// fuzzer once found stays found (under the sanitizers too, in the test script's second build).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzztargets.h"

namespace {

namespace fs = std::filesystem;

class CorpusReplay : public ::testing::TestWithParam<fuzztarget::Target> {};

TEST_P(CorpusReplay, EveryKeptInputRunsThrough) {
    const fuzztarget::Target& target = GetParam();
    target.run(nullptr, 0);
    const fs::path folder = fs::path(VR7_FUZZ_CORPUS) / target.name;
    size_t inputs = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        SCOPED_TRACE(entry.path().string());
        target.run(bytes.data(), bytes.size());
        ++inputs;
    }
    EXPECT_GT(inputs, 0u) << "no corpus in " << folder;
}

INSTANTIATE_TEST_SUITE_P(Targets, CorpusReplay, ::testing::ValuesIn(fuzztarget::kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
