// Replays every kept input of one fuzz target through its entry point: the
// seeds in fuzz/corpus/<target> and the inputs that once failed, in
// fuzz/regressions/<target>. Built with each target in the ordinary trees.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> keptInputs() {
    std::vector<fs::path> inputs;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path folder = fs::path(QV_FUZZ_INPUTS) / kind / QV_FUZZ_TARGET;
        if (!fs::is_directory(folder)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                inputs.push_back(entry.path());
            }
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

std::vector<std::uint8_t> bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(FuzzReplay, EveryKeptInputRunsCleanly) {
    const std::vector<fs::path> inputs = keptInputs();
    ASSERT_FALSE(inputs.empty()) << "no kept inputs for the fuzz target " QV_FUZZ_TARGET;
    for (const fs::path& input : inputs) {
        SCOPED_TRACE(input.string());
        // Named before the run, so a crash says which input it was.
        std::fprintf(stderr, "replaying %s\n", input.c_str());
        const std::vector<std::uint8_t> bytes = bytesOf(input);
        EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
    }
}
