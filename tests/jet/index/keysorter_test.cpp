// The key sorter: entries come back in index order across runs spilled to
// disk, and remembered keys are found exactly, through its fingerprints'
// growth and whatever the keys share.

#include "jet/index/keysorter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "jet/error.h"
#include "jet/index/indexpage.h"
#include "support/tempdir.h"

namespace jet {
namespace {

using Key = std::vector<std::uint8_t>;

Key keyOf(std::uint64_t n, std::size_t size) {
    Key k(size);
    for (std::size_t i = 0; i < size; ++i) k[i] = static_cast<std::uint8_t>(n >> (8 * (i % 8)));
    return k;
}

TEST(KeySorter, DrainsEveryEntryInIndexOrderAcrossRuns) {
    jettest::TempDir dir;
    // A small budget: many runs on disk beside the entries still in memory.
    KeySorter sorter(dir.path(), 4096);
    std::mt19937_64 random(3);
    std::vector<std::pair<Key, std::uint32_t>> expected;
    for (std::uint32_t row = 1; row <= 5000; ++row) {
        // Few distinct keys of many lengths: equal keys, and keys that are
        // prefixes of others, sort by their row.
        Key key = keyOf(random() % 300, 1 + random() % 40);
        sorter.add(key, row);
        expected.emplace_back(std::move(key), row);
    }
    EXPECT_EQ(sorter.size(), expected.size());
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return compareEntries(a.first, a.second, b.first, b.second) < 0;
    });
    std::vector<std::pair<Key, std::uint32_t>> drained;
    sorter.drain([&](std::span<const std::uint8_t> key, std::uint32_t row) {
        drained.emplace_back(Key(key.begin(), key.end()), row);
    });
    EXPECT_TRUE(drained == expected);
    EXPECT_EQ(sorter.size(), 0u);

    // Emptied, it sorts again from nothing.
    sorter.add(keyOf(2, 3), 9);
    sorter.add(keyOf(1, 3), 8);
    std::vector<std::uint32_t> rows;
    sorter.drain([&](std::span<const std::uint8_t>, std::uint32_t row) { rows.push_back(row); });
    EXPECT_EQ(rows, (std::vector<std::uint32_t>{8, 9}));
}

TEST(KeySorter, FindsExactlyTheKeysItWasToRemember) {
    jettest::TempDir dir;
    KeySorter sorter(dir.path(), 8192);
    std::set<Key> remembered;
    for (std::uint32_t i = 0; i < 20000; ++i) {
        const Key key = keyOf(i * 2654435761U, 4 + i % 9);
        const bool remember = i % 5 != 0;
        sorter.add(key, i + 1, remember);
        if (remember) remembered.insert(key);
    }
    for (std::uint32_t i = 0; i < 20000; ++i) {
        const Key key = keyOf(i * 2654435761U, 4 + i % 9);
        EXPECT_EQ(sorter.contains(key), remembered.count(key) == 1) << i;
        // Same bytes one longer or shorter: another key.
        Key longer = key;
        longer.push_back(0);
        EXPECT_FALSE(sorter.contains(longer) && remembered.count(longer) == 0) << i;
    }
    EXPECT_FALSE(sorter.contains(keyOf(12345, 20)));
    // A row pointer past any Access file is refused, not mistaken for a mark.
    EXPECT_THROW(sorter.add(keyOf(1, 4), 0x80000001U), Error);
}

}  // namespace
}  // namespace jet
