// verifyIndexes: sound on every Access-made file, and it notices damage.

#include <gtest/gtest.h>

#include <cstring>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "jet/index/indexpage.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace jet {
namespace {

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

TEST(VerifyIndexes, AccessMadeFilesAreSound) {
    const auto files = jettest::accessSamples();
    if (files.empty()) GTEST_SKIP() << "no Access samples";
    std::size_t indexes = 0;
    for (const auto& file : files) {
        auto db = Database::open(file, OpenMode::ReadOnly);
        for (const std::string& name : db->tableNames(true)) {
            indexes += db->table(name).physicalIndexes.size();
            EXPECT_EQ(joined(db->verifyIndexes(name)), "") << file.filename() << " " << name;
        }
    }
    EXPECT_GT(indexes, 300u);
}

// Damage written into a copy of an Access file: each is reported.
TEST(VerifyIndexes, ReportsDamage) {
    const auto source = jettest::accessSamplesDir() / "jet4/compIndexTestV2000.mdb";
    if (!std::filesystem::exists(source)) GTEST_SKIP() << "no Access samples";
    jettest::TempDir dir;
    struct Case {
        const char* what;
        std::function<void(IndexPage&)> damage;
        const char* expect;
    };
    const std::vector<Case> cases = {
        {"swapped entries",
         [](IndexPage& p) {
             std::vector<std::uint8_t> first(p.entry(0).begin(), p.entry(0).end());
             p.erase(0);
             p.insert(1, first);
         },
         "out of order"},
        {"lost entry", [](IndexPage& p) { p.erase(3); }, "no entry"},
        {"broken link", [](IndexPage& p) { p.next = 0; }, "links to previous"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = dir / (std::string(c.what) + ".mdb");
        jettest::copyWritable(source, file);
        std::string table;
        {
            auto db = Database::open(file);
            for (const auto& name : db->tableNames())
                if (!db->table(name).physicalIndexes.empty()) table = name;
            ASSERT_FALSE(table.empty());
            const PhysicalIndex& index = db->table(table).physicalIndexes[0];
            const auto& fmt = Format::of(db->version());
            Pager& pager = *db->impl().pager;
            // The first leaf of the index, down the left edge.
            std::uint32_t no = index.rootPage;
            IndexPage page = readIndexPage(fmt, *pager.page(no), no);
            while (!page.leaf) {
                no = page.child(0);
                page = readIndexPage(fmt, *pager.page(no), no);
            }
            ASSERT_GT(page.size(), 4u);
            c.damage(page);
            std::vector<std::uint8_t> image(fmt.pageSize);
            writeIndexPage(fmt, page, image);
            std::memcpy(pager.modify(no), image.data(), image.size());
            pager.commit();
        }
        auto db = Database::open(file, OpenMode::ReadOnly);
        const std::string problems = joined(db->verifyIndexes(table));
        EXPECT_NE(problems.find(c.expect), std::string::npos) << problems;
    }
}

}  // namespace
}  // namespace jet
