// Pages a dropped table gives back are used again, also past the first stretch
// of the file that the free-page map covers when a database is new.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "jet/database.h"
#include "jet/file/format.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace {

class FreePages : public ::testing::TestWithParam<jet::Version> {};

// Enough rows, each with a memo of about one page, to pass the range the
// free-page map of a new file covers (512 pages in Jet 4, 1024 in Jet 3) by half.
void fillTable(jet::Database& db, jet::Version version) {
    const jet::Format& f = jet::Format::of(version);
    db.createTable("Big", {{"Id", jet::ColumnType::Long}, {"Body", jet::ColumnType::Memo}});
    const int rows = static_cast<int>(f.pageSize == 4096 ? 800 : 1600);
    const std::string body(f.pageSize - 100, 'x');
    auto inserter = db.inserter("Big");
    db.begin();
    for (int i = 0; i < rows; ++i) {
        jet::Row row{jet::Value(i), jet::Value(body + std::to_string(i))};
        inserter.insert(row);
    }
    db.commit();
}

TEST_P(FreePages, DroppedTablePagesAreReusedPastTheNewFileRange) {
    jettest::TempDir dir;
    const auto file = dir / "free.mdb";
    {
        auto db = jet::Database::create(file, GetParam());
        fillTable(*db, GetParam());
    }
    const auto filled = std::filesystem::file_size(file);
    {
        auto db = jet::Database::open(file);
        db->dropTable("Big");
        fillTable(*db, GetParam());
        EXPECT_TRUE(db->verifyIndexes("MSysObjects").empty());
    }
    // The second table lives in the first one's pages: the file barely grows.
    EXPECT_LT(std::filesystem::file_size(file), filled + filled / 20);

    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    auto cursor = db->scan("Big");
    int count = 0;
    while (cursor.next()) {
        ASSERT_EQ(cursor.row()[1].as<std::string>(),
                  std::string(jet::Format::of(GetParam()).pageSize - 100, 'x') +
                      std::to_string(cursor.row()[0].as<std::int64_t>()));
        ++count;
    }
    EXPECT_EQ(count, GetParam() == jet::Version::Jet4 ? 800 : 1600);
    EXPECT_EQ(jettest::mdbExport(file, "Big").rows.size(), static_cast<std::size_t>(count));
}

INSTANTIATE_TEST_SUITE_P(BothFormats, FreePages,
                         ::testing::Values(jet::Version::Jet3, jet::Version::Jet4),
                         [](const auto& p) {
                             return p.param == jet::Version::Jet4 ? "Jet4" : "Jet3";
                         });

}  // namespace
