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

// A Decimal column without the fixed flag, as Access makes them, given text:
// once a C++ library exception out of the row builder.
TEST(FuzzRegressions, AppendTakesADecimalInAVariableSlot) {
    const std::vector<std::uint8_t> input = {
        0x01, 0x01,              // Jet 4, one column
        0x10, 0x02, 17, 29 * 2,  // Decimal, nullable, not fixed, length 17, scale 2
        26,  '1', '.', '5'};     // text "1.5"
    EXPECT_TRUE(jetfuzz::runEntry("append", input));
}

// The entries accept anything, including nothing at all.
TEST(FuzzRegressions, EntriesTakeEmptyAndTinyInputs) {
    for (const char* target : {"header", "tdef", "row", "pages", "append"})
        for (std::size_t n : {0u, 1u, 2u, 17u}) {
            std::vector<std::uint8_t> bytes(n, 0x01);
            EXPECT_TRUE(jetfuzz::runEntry(target, bytes));
        }
}

}  // namespace
