// Replays every input the fuzzers once crashed on through the same entry
// functions, in the normal (sanitized) build.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/fuzz_entries.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

TEST(FuzzRegressions, EveryKeptInputRunsCleanly) {
    const fs::path root = fs::path(FERROVANE_SOURCE_DIR) / "tests" / "jet" / "fuzz_regressions";
    if (!fs::is_directory(root)) GTEST_SKIP() << "no fuzz regressions kept";
    int replayed = 0;
    for (const auto& target : fs::directory_iterator(root)) {
        if (!target.is_directory()) continue;
        for (const auto& input : fs::directory_iterator(target.path())) {
            SCOPED_TRACE(input.path().string());
            const auto bytes = jettest::readFile(input.path());
            EXPECT_TRUE(jetfuzz::runEntry(target.path().filename().string(), bytes))
                << "unknown fuzz target folder";
            ++replayed;
        }
    }
    RecordProperty("replayed", replayed);
}

// The entries accept anything, including nothing at all.
TEST(FuzzRegressions, EntriesTakeEmptyAndTinyInputs) {
    for (const char* target : {"header", "tdef", "row", "pages"})
        for (std::size_t n : {0u, 1u, 2u, 17u}) {
            std::vector<std::uint8_t> bytes(n, 0x01);
            EXPECT_TRUE(jetfuzz::runEntry(target, bytes));
        }
}

}  // namespace
