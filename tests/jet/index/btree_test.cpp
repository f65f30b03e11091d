// Index pages and the B-tree: page round trips, prefix compression, splits,
// links and the tail convention, checked by walking the pages written.

#include "jet/index/btree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "jet/error.h"
#include "jet/index/indexkey.h"
#include "jet/index/indexpage.h"

namespace jet {
namespace {

class MemoryStore : public IndexPageStore {
public:
    explicit MemoryStore(std::uint32_t pageSize) : pageSize_(pageSize) {}
    std::span<const std::uint8_t> read(std::uint32_t page) override { return pages_.at(page); }
    void write(std::uint32_t page, std::span<const std::uint8_t> image) override {
        pages_[page].assign(image.begin(), image.end());
    }
    std::uint32_t allocate() override {
        pages_[next_].assign(pageSize_, 0);
        return next_++;
    }
    std::size_t pageCount() const { return pages_.size(); }

private:
    std::uint32_t pageSize_;
    std::uint32_t next_ = 100;
    std::map<std::uint32_t, std::vector<std::uint8_t>> pages_;
};

std::vector<std::uint8_t> longKey(std::int64_t v, bool asc = true) {
    std::vector<std::uint8_t> out;
    appendKeyValue(out, Version::Jet4, KeyColumn{ColumnType::Long, asc}, Value(v));
    return out;
}

struct Walked {
    std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> entries;
    int depth = 0;
};

// Walks the tree level by level through the next links, checking that every
// level is chained both ways, that each node entry names the last entry of
// its child, and that all leaves sit at one depth.
Walked walk(const Format& fmt, MemoryStore& store, std::uint32_t root) {
    Walked w;
    std::vector<std::uint32_t> level{root};
    for (;;) {
        ++w.depth;
        std::vector<std::uint32_t> below;
        std::uint32_t prev = 0;
        bool leaves = false;
        for (std::uint32_t no : level) {
            IndexPage p = readIndexPage(fmt, store.read(no), no);
            EXPECT_EQ(p.prev, prev) << "page " << no;
            if (prev != 0) {
                IndexPage before = readIndexPage(fmt, store.read(prev), prev);
                EXPECT_EQ(before.next, no);
            }
            prev = no;
            leaves = p.leaf;
            if (p.leaf) {
                for (std::size_t i = 0; i < p.size(); ++i)
                    w.entries.push_back({{p.key(i).begin(), p.key(i).end()}, p.rowPointer(i)});
                continue;
            }
            for (std::size_t i = 0; i < p.size(); ++i) {
                below.push_back(p.child(i));
                // The child's subtree ends with the entry the node names.
                std::uint32_t c = p.child(i);
                IndexPage cp = readIndexPage(fmt, store.read(c), c);
                while (!cp.leaf) {
                    c = cp.tail != 0 ? cp.tail : cp.child(cp.size() - 1);
                    cp = readIndexPage(fmt, store.read(c), c);
                }
                EXPECT_EQ(compareEntries(cp.key(cp.size() - 1), cp.rowPointer(cp.size() - 1),
                                         p.key(i), p.rowPointer(i)),
                          0);
            }
            if (p.tail != 0) below.push_back(p.tail);
            EXPECT_TRUE(p.tail != 0 || p.size() == 1) << "node " << no << " without a tail";
        }
        if (leaves) {
            EXPECT_TRUE(below.empty());
            break;
        }
        level = below;
    }
    return w;
}

TEST(IndexPage, RoundTripWithSharedPrefix) {
    for (const Format* fmt : {&Format::jet3(), &Format::jet4()}) {
        IndexPage page;
        page.tdefPage = 7;
        page.prev = 3;
        page.next = 9;
        for (int i = 0; i < 50; ++i)
            page.insert(page.size(),
                        makeIndexEntry(longKey(1024 + i), 0x100 + static_cast<std::uint32_t>(i)));
        // Keys 7F 80 00 03 xx and row pointers 00 01 00 yy: 4 shared bytes.
        EXPECT_EQ(page.prefixLength(*fmt), 4u);
        std::vector<std::uint8_t> image(fmt->pageSize);
        writeIndexPage(*fmt, page, image);
        IndexPage back = readIndexPage(*fmt, image, 1);
        ASSERT_EQ(back.size(), page.size());
        for (std::size_t i = 0; i < page.size(); ++i)
            EXPECT_TRUE(std::ranges::equal(back.entry(i), page.entry(i)));
        EXPECT_EQ(back.tdefPage, 7u);
        EXPECT_EQ(back.prev, 3u);
        EXPECT_EQ(back.next, 9u);
        const std::size_t used = 9 + 49 * 5;
        EXPECT_EQ(image[2] | (image[3] << 8), static_cast<int>(fmt->indexCapacity() - used));
    }
}

TEST(IndexPage, DamagedPagesAreErrors) {
    const auto& fmt = Format::jet4();
    std::vector<std::uint8_t> image(fmt.pageSize, 0);
    EXPECT_THROW(readIndexPage(fmt, image, 5), Error);  // type 0
    image[0] = kPageIndexLeaf;
    image[1] = 1;
    image[fmt.indexBitmap] = 0x04;  // a 2-byte entry: too short
    EXPECT_THROW(readIndexPage(fmt, image, 5), Error);
    image[fmt.indexBitmap] = 0;
    image[fmt.indexBitmap + fmt.indexBitmapSize - 1] = 0x80;  // past the page
    EXPECT_THROW(readIndexPage(fmt, image, 5), Error);
    image[fmt.indexBitmap + fmt.indexBitmapSize - 1] = 0;
    image[fmt.indexBitmap + 1] = 0x01;  // one 8-byte entry, prefix longer than it
    image[fmt.indexPrefixLength] = 20;
    EXPECT_THROW(readIndexPage(fmt, image, 5), Error);
    image[fmt.indexPrefixLength] = 0;
    EXPECT_EQ(readIndexPage(fmt, image, 5).size(), 1u);
    EXPECT_THROW(readIndexPage(fmt, std::span(image).first(100), 5), Error);
}

// An empty tree in memory, rooted on the store's first page.
class IndexTreeTest : public ::testing::TestWithParam<Version> {
protected:
    const Format& fmt = Format::of(GetParam());
    MemoryStore store{fmt.pageSize};
    const std::uint32_t root = emptyRoot();
    IndexTree tree{fmt, store, root, 2};

private:
    std::uint32_t emptyRoot() {
        const std::uint32_t page = store.allocate();
        IndexTree::writeEmptyRoot(fmt, store, page, 2);
        return page;
    }
};

TEST_P(IndexTreeTest, InOrderAppendsFillPagesAndUseTails) {
    const int n = 60000;
    for (int i = 0; i < n; ++i) {
        tree.insert(longKey(i), (static_cast<std::uint32_t>(10 + i / 100) << 8) | (i % 100));
        if (i % 5000 == 4999) tree.flush();
    }
    tree.flush();
    Walked w = walk(fmt, store, root);
    ASSERT_EQ(w.entries.size(), static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) EXPECT_EQ(w.entries[static_cast<std::size_t>(i)].first, longKey(i));
    EXPECT_GE(w.depth, 2);
    // In-order loading leaves full pages: with compression a Jet 4 leaf holds
    // about 3616 / 6 entries.
    const double perPage = static_cast<double>(n) / static_cast<double>(store.pageCount());
    EXPECT_GT(perPage, fmt.indexCapacity() / 7.0);
    for (int i : {0, 1, 59999}) EXPECT_TRUE(tree.containsKey(longKey(i)));
    EXPECT_FALSE(tree.containsKey(longKey(60000)));
}

// Sorted entries that all land before an entry already there: plain splits
// leave every page half full behind them, packed ones full.
TEST_P(IndexTreeTest, PackedSplitsFillPagesBeforeAnEarlierEntry) {
    const int n = 30000;
    tree.insert(longKey(n), 1);
    tree.setPackedSplits(true);
    for (int i = 0; i < n; ++i)
        tree.insert(longKey(i), (static_cast<std::uint32_t>(10 + i / 100) << 8) | (i % 100));
    tree.flush();
    Walked w = walk(fmt, store, root);
    ASSERT_EQ(w.entries.size(), static_cast<std::size_t>(n) + 1);
    EXPECT_TRUE(
        std::is_sorted(w.entries.begin(), w.entries.end(), [](const auto& a, const auto& b) {
            return compareEntries(a.first, a.second, b.first, b.second) < 0;
        }));
    const double perPage = static_cast<double>(n) / static_cast<double>(store.pageCount());
    EXPECT_GT(perPage, fmt.indexCapacity() / 7.0);
}

TEST_P(IndexTreeTest, RandomInsertsKeepOrderLinksAndParents) {
    std::mt19937 rng(7);
    std::vector<std::int64_t> values;
    for (int i = 0; i < 20000; ++i)
        values.push_back(static_cast<std::int64_t>(rng() % 5000) - 2500);
    std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> expected;
    for (std::size_t i = 0; i < values.size(); ++i) {
        // Descending keys with duplicates: the row pointer orders equal keys.
        const auto key = longKey(values[i], false);
        const auto row = static_cast<std::uint32_t>(((i / 200 + 1) << 8) | (i % 200));
        tree.insert(key, row);
        expected.push_back({key, row});
        if (i % 3000 == 0) {
            tree.flush();
            tree.discard();  // later inserts start from the written pages
        }
    }
    tree.flush();
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return compareEntries(a.first, a.second, b.first, b.second) < 0;
    });
    Walked w = walk(fmt, store, root);
    EXPECT_EQ(w.entries, expected);
    EXPECT_THROW(tree.insert(expected[5].first, expected[5].second), Error);
    EXPECT_TRUE(tree.containsKey(longKey(values[17], false)));
}

// Queued entries go in at the flush in index order, among entries put in
// directly; keys that agree on their first 16 bytes and differ later, or are
// prefixes of one another, must still sort right. The queue also goes in by
// itself once it is long, and a discard drops it.
TEST_P(IndexTreeTest, QueuedEntriesGoInSortedAtTheFlush) {
    const Version version = GetParam();
    std::mt19937 rng(11);
    auto text = [&] {
        // A long shared stem, then a short random tail: heads often tie.
        std::string s = rng() % 2 ? "a common stem of twenty" : "a common";
        for (std::size_t n = rng() % 4; n > 0; --n) s += static_cast<char>('a' + rng() % 3);
        return s;
    };
    std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> expected;
    std::set<std::vector<std::uint8_t>> distinct;
    std::int64_t newKeys = 0;
    for (std::uint32_t i = 0; i < 70000; ++i) {
        std::vector<std::uint8_t> key;
        appendKeyValue(key, version, KeyColumn{ColumnType::Text, true}, Value(text()));
        const std::uint32_t row = ((i / 200 + 1) << 8) | (i % 200);
        if (i % 7 == 0) {
            if (tree.insert(key, row)) ++newKeys;
        } else {
            tree.defer(key, row);
        }
        expected.push_back({key, row});
        distinct.insert(key);
        if (i == 30000) {
            tree.flush();
            newKeys += tree.takeDeferredNewKeys();
        }
    }
    std::vector<std::uint8_t> dropped;
    appendKeyValue(dropped, version, KeyColumn{ColumnType::Text, true}, Value("zz dropped"));
    tree.flush();
    newKeys += tree.takeDeferredNewKeys();
    tree.defer(dropped, 0xFFFF01);
    tree.discard();
    tree.flush();
    EXPECT_EQ(tree.takeDeferredNewKeys(), 0);

    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return compareEntries(a.first, a.second, b.first, b.second) < 0;
    });
    Walked w = walk(fmt, store, root);
    EXPECT_EQ(w.entries.size(), expected.size());
    EXPECT_TRUE(w.entries == expected);
    EXPECT_EQ(newKeys, static_cast<std::int64_t>(distinct.size()));
    EXPECT_FALSE(tree.containsKey(dropped));
}

// Appends at the end interleaved with inserts further left: the kept path to
// the rightmost leaf must follow every split.
TEST_P(IndexTreeTest, AppendsMixedWithEarlierKeys) {
    std::mt19937 rng(17);
    std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> expected;
    std::set<std::vector<std::uint8_t>> keys;
    std::uint32_t row = 0x100;
    for (int i = 0; i < 30000; ++i) {
        const std::int64_t v = i % 3 == 2 ? static_cast<std::int64_t>(rng() % 30000) : 100000 + i;
        const auto key = longKey(v);
        EXPECT_EQ(tree.containsKey(key), keys.count(key) == 1) << v;
        EXPECT_EQ(tree.insert(key, ++row), keys.insert(key).second) << v;
        expected.push_back({key, row});
        if (i % 7000 == 6999) tree.flush();
        if (i % 11000 == 10999) {
            tree.flush();
            tree.discard();
        }
    }
    tree.flush();
    std::sort(expected.begin(), expected.end());
    Walked w = walk(fmt, store, root);
    EXPECT_EQ(w.entries, expected);
}

// One transaction of random keys over far more pages than an index keeps
// decoded: changed pages go to the store early, and the tree stays whole
// whether entries went in directly, after a lookup or from the queue. The long
// keys split nodes as well as leaves; a key larger than a page is refused.
TEST_P(IndexTreeTest, LargeTransactionsKeepFewPagesDecoded) {
    const Version version = GetParam();
    std::mt19937 rng(23);
    std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> expected;
    std::size_t held = 0;
    for (std::uint32_t i = 0; i < 40000; ++i) {
        // Long keys: few to a page, so the pages outnumber the bound.
        std::string text(120, 'k');
        for (std::size_t c = 0; c < 8; ++c) text[c] = static_cast<char>('a' + rng() % 26);
        std::vector<std::uint8_t> key;
        appendKeyValue(key, version, KeyColumn{ColumnType::Text, true}, Value(text));
        const std::uint32_t row = ((i / 200 + 1) << 8) | (i % 200);
        if (i % 3 == 0) {
            tree.defer(key, row);
        } else {
            if (i % 3 == 1) tree.containsKey(key);
            tree.insert(key, row);
        }
        expected.push_back({key, row});
        held = std::max(held, tree.cachedPages());
    }
    tree.flush();
    EXPECT_GT(store.pageCount(), 1600u);
    EXPECT_LT(held, 1600u);
    EXPECT_LE(tree.cachedPages(), 512u);
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return compareEntries(a.first, a.second, b.first, b.second) < 0;
    });
    Walked w = walk(fmt, store, root);
    EXPECT_TRUE(w.entries == expected);
    EXPECT_GE(w.depth, 3);
    std::vector<std::uint8_t> huge(fmt.indexCapacity(), 0x7F);
    EXPECT_THROW(tree.insert(huge, 0x300), Error);
}

INSTANTIATE_TEST_SUITE_P(Formats, IndexTreeTest, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const ::testing::TestParamInfo<Version>& p) {
                             return p.param == Version::Jet3 ? std::string("Jet3")
                                                             : std::string("Jet4");
                         });

}  // namespace
}  // namespace jet
