// Usage maps and page allocation on a copy of a Jet-written database.

#include "jet/file/usagemap.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "jet/file/bytes.h"
#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

class UsageMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        source = jettest::accessSamplesDir() / "jet4" / "adox_jet4.mdb";
        if (!fs::exists(source)) GTEST_SKIP() << "sample missing: " << source;
        file = dir / "maps.mdb";
        jettest::copyWritable(source, file);
    }
    // The owned-pages map of MSysACEs (TDEF page 3), and its pages.
    std::uint32_t acesMap(jet::Database& db) { return db.table("MSysACEs").ownedPagesMap; }

    jettest::TempDir dir;
    fs::path source, file;
};

TEST_F(UsageMapTest, AddsAndRemovesPagesInsideAndOutsideTheInlineRange) {
    std::vector<std::uint32_t> original;
    {
        auto db = jet::Database::open(file);
        auto& impl = db->impl();
        jet::UsageMap map(*impl.pager, *impl.format, acesMap(*db));
        ASSERT_TRUE(map.isInline());
        original = map.pages();
        ASSERT_FALSE(original.empty());
        jet::PageAllocator allocator(*impl.pager, *impl.format);

        map.add(40, &allocator);                      // inside the range
        map.add(original.front() + 500, &allocator);  // outside, but fits after re-basing
        EXPECT_TRUE(map.isInline());
        map.add(100000, &allocator);  // far away: becomes a reference map
        EXPECT_FALSE(map.isInline());
        map.remove(40);
        auto expected = original;
        expected.push_back(original.front() + 500);
        expected.push_back(100000);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(map.pages(), expected);
        EXPECT_TRUE(map.contains(100000));
        EXPECT_FALSE(map.contains(40));
        // Searching and counting without the list, across bitmap pages and
        // with bounds inside a byte.
        const std::uint32_t far = 100000;
        EXPECT_EQ(map.nextPage(0, 200000), expected.front());
        EXPECT_EQ(map.nextPage(expected[expected.size() - 2] + 1, 200000), far);
        EXPECT_EQ(map.nextPage(expected[expected.size() - 2] + 1, far), far);  // none: end
        EXPECT_EQ(map.nextPage(far + 1, 200000), 200000u);
        EXPECT_EQ(map.countPages(0, 200000), expected.size());
        EXPECT_EQ(map.countPages(expected.front() + 1, far), expected.size() - 2);
        EXPECT_EQ(map.countPages(far, far + 1), 1u);
        impl.pager->commit();
    }
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    auto& impl = db->impl();
    const auto pages = jet::usageMapPages(*impl.pager, *impl.format, acesMap(*db));
    EXPECT_TRUE(std::find(pages.begin(), pages.end(), 100000u) != pages.end());
    EXPECT_EQ(pages.size(), original.size() + 2);
    // The table still reads through the reshaped map, here and in mdbtools.
    auto cursor = db->scan("MSysACEs");
    std::size_t rows = 0;
    while (cursor.next()) ++rows;
    EXPECT_EQ(rows, 16u);
    if (jettest::mdbtoolsAvailable()) {
        const auto ex = jettest::mdbExport(file, "MSysACEs");
        EXPECT_EQ(ex.exitCode, 0) << ex.err;
        EXPECT_EQ(ex.rows.size(), 16u);
    }
}

TEST_F(UsageMapTest, AllocationAppendsThenReusesReleasedPages) {
    auto db = jet::Database::open(file);
    auto& impl = db->impl();
    jet::PageAllocator allocator(*impl.pager, *impl.format);
    const std::uint32_t count = impl.pager->pageCount();
    EXPECT_TRUE(allocator.isFree(count));  // the free map marks the pages beyond the end
    const std::uint32_t a = allocator.allocate();
    EXPECT_EQ(a, count);
    EXPECT_FALSE(allocator.isFree(a));
    const std::uint32_t b = allocator.allocate();
    EXPECT_EQ(b, count + 1);
    std::fill_n(impl.pager->modify(a), 16, 0x01);
    allocator.release(a);
    EXPECT_TRUE(allocator.isFree(a));
    EXPECT_EQ((*impl.pager->page(a))[0], 0);
    EXPECT_EQ(allocator.allocate(), a);  // reused before the file grows
    impl.pager->commit();
    EXPECT_EQ(fs::file_size(file), std::uintmax_t{count + 2} * 4096);
}

}  // namespace
