// Pages a dropped table gives back are used again, also past the first stretch
// of the file that the free-page map covers when a database is new, and once
// the map has outgrown page 1 and taken the reference form.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "jet/file/bytes.h"
#include "jet/file/datapage.h"
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

int countRows(const std::filesystem::path& file, jet::Version version) {
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    auto cursor = db->scan("Big");
    int count = 0;
    while (cursor.next()) {
        EXPECT_EQ(cursor.row()[1].as<std::string>(),
                  std::string(jet::Format::of(version).pageSize - 100, 'x') +
                      std::to_string(cursor.row()[0].as<std::int64_t>()));
        ++count;
    }
    return count;
}

// The first byte of the free-page map's row: 0 inline, 1 reference.
int freeMapType(jet::Database& db) {
    auto& impl = db.impl();
    jet::PageRef holder;
    return jet::findRow(*impl.pager, *impl.format, jet::bytes::rowPointer(1, 0), holder)[0];
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

    const int count = countRows(file, GetParam());
    EXPECT_EQ(count, GetParam() == jet::Version::Jet4 ? 800 : 1600);
    EXPECT_EQ(jettest::mdbExport(file, "Big").rows.size(), static_cast<std::size_t>(count));
}

// A row that fills page 1 leaves the free-page map no room to grow, so the
// first table past its inline range moves it to the reference form, as a
// file past about 128 MB (30 MB in Jet 3) does.
TEST_P(FreePages, MapTakesTheReferenceFormWhenPageOneIsFull) {
    jettest::TempDir dir;
    const auto file = dir / "reference.mdb";
    const int rows = GetParam() == jet::Version::Jet4 ? 800 : 1600;
    {
        auto db = jet::Database::create(file, GetParam());
        auto& impl = db->impl();
        const jet::Format& f = *impl.format;
        db->begin();
        std::span<std::uint8_t> page1{impl.pager->modify(1), f.pageSize};
        const std::size_t room = jet::datapage::roomForRow(page1, f);
        jet::datapage::addRow(page1, f, std::vector<std::uint8_t>(room - 4, 0xEE));
        db->commit();
        fillTable(*db, GetParam());
        ASSERT_EQ(freeMapType(*db), 0);
    }
    const auto filled = std::filesystem::file_size(file);
    for (int cycle = 0; cycle < 3; ++cycle) {
        auto db = jet::Database::open(file);
        db->dropTable("Big");
        EXPECT_EQ(freeMapType(*db), 1);
        fillTable(*db, GetParam());
        EXPECT_TRUE(db->verifyIndexes("MSysObjects").empty());
    }
    // A few bitmap pages more, no second copy of the table.
    EXPECT_LT(std::filesystem::file_size(file), filled + filled / 20);
    EXPECT_EQ(countRows(file, GetParam()), rows);
    EXPECT_EQ(jettest::mdbExport(file, "Big").rows.size(), static_cast<std::size_t>(rows));
}

INSTANTIATE_TEST_SUITE_P(BothFormats, FreePages,
                         ::testing::Values(jet::Version::Jet3, jet::Version::Jet4),
                         [](const auto& p) {
                             return p.param == jet::Version::Jet4 ? "Jet4" : "Jet3";
                         });

}  // namespace
