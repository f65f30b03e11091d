// A file that reaches its size limit refuses the next row cleanly: a clear
// error naming the file and the table, nothing of the row stored, the rows
// before it committed and readable, the indexes sound. The real limits
// (2 GB / 1 GB) are run by bench/jet_bigfile_bench wall; here the pager's
// limit is lowered to a few dozen pages past the start.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "jet/file/format.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace {

class FileLimit : public ::testing::TestWithParam<jet::Version> {
protected:
    const jet::Format& format() const { return jet::Format::of(GetParam()); }

    // Id (unique index), Name (plain index), Body (memo).
    void createTable(jet::Database& db) {
        db.createTable("Stock", {{"Id", jet::ColumnType::Long},
                                 {"Name", jet::ColumnType::Text, 40},
                                 {"Body", jet::ColumnType::Memo}});
        db.createIndex("Stock", {"UX_ID", {{"Id", true}}, true});
        db.createIndex("Stock", {"IX_NAME", {{"Name", true}}});
    }

    // Rows of a sixth of a page or less, some with a memo of a few pages.
    jet::Row row(int i) const {
        const std::size_t body = i % 7 == 0 ? format().pageSize * 2 : format().pageSize / 6;
        return {jet::Value(i), jet::Value(std::to_string(i * 7919 % 100003) + " name"),
                jet::Value(std::string(body, static_cast<char>('a' + i % 26)))};
    }

    // Appends rows from first on, committing every 100, until one is
    // refused; then commits what was posted (whose queued index entries
    // still need pages). Returns the last row stored. Background commits
    // leave the name index's entries sorted for a build at the end, which
    // must still find its pages.
    int fillUntilFull(jet::Database& db, int first, std::optional<jet::Error>& refused,
                      bool background = false) {
        auto inserter = db.inserter("Stock");
        int last = first - 1;
        db.begin();
        try {
            for (int i = first; i < first + 100000; ++i) {
                inserter.insert(row(i));
                last = i;
                if (i % 100 == 0) {
                    background ? db.commitInBackground() : db.commit();
                    db.begin();
                }
            }
        } catch (const jet::Error& e) {
            refused = e;
        }
        db.commit();
        return last;
    }

    void expectRows(const std::filesystem::path& file, int count) {
        auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
        auto cursor = db->scan("Stock");
        int n = 0;
        while (cursor.next()) {
            const int id = static_cast<int>(cursor.row()[0].as<std::int64_t>());
            EXPECT_EQ(cursor.row()[2], row(id)[2]) << "row " << id;
            ++n;
        }
        EXPECT_EQ(n, count);
        EXPECT_TRUE(db->verifyIndexes("Stock").empty());
        EXPECT_TRUE(db->verifyIndexes("MSysObjects").empty());
        if (jettest::mdbtoolsAvailable()) {
            EXPECT_EQ(jettest::mdbExport(file, "Stock").rows.size(), static_cast<std::size_t>(n));
        }
    }

    jettest::TempDir dir;
};

TEST_P(FileLimit, RefusesTheRowThatDoesNotFitAndKeepsTheOthers) {
    const auto file = dir / "full.mdb";
    std::optional<jet::Error> refused;
    int stored = 0;
    std::uint32_t limit = 0;
    {
        auto db = jet::Database::create(file, GetParam());
        createTable(*db);
        limit = db->impl().pager->pageCount() + 200;
        db->impl().pager->setPageLimit(limit);
        stored = fillUntilFull(*db, 1, refused);
    }
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->kind(), jet::Error::Kind::Full);
    const std::string message = refused->what();
    EXPECT_EQ(message.find(jet::quoted(file) + ": table 'Stock': the database is full"), 0u)
        << message;
    EXPECT_NE(message.find(GetParam() == jet::Version::Jet4 ? "2 GB" : "1 GB"), std::string::npos);
    EXPECT_NE(message.find("'Stock'"), std::string::npos) << message;
    EXPECT_GT(stored, 150);
    EXPECT_LE(std::filesystem::file_size(file), std::uintmax_t{limit} * format().pageSize);
    expectRows(file, stored);

    // Dropping a table in a full file needs no page, and its pages take
    // rows again, committed in the background this time.
    {
        auto db = jet::Database::open(file);
        db->impl().pager->setPageLimit(limit);
        db->dropTable("Stock");
        createTable(*db);
        refused.reset();
        stored = fillUntilFull(*db, 1, refused, true);
        EXPECT_TRUE(refused.has_value());
        EXPECT_GT(stored, 150);
    }
    EXPECT_LE(std::filesystem::file_size(file), std::uintmax_t{limit} * format().pageSize);
    expectRows(file, stored);
}

// A transaction whose index entries cannot all be written is not committed:
// the file stays as the last commit left it.
TEST_P(FileLimit, ACommitThatCannotWriteItsIndexesLeavesTheLastCommit) {
    const auto file = dir / "flush.mdb";
    {
        auto db = jet::Database::create(file, GetParam());
        createTable(*db);
        auto inserter = db->inserter("Stock");
        db->begin();
        for (int i = 1; i <= 10; ++i) inserter.insert(row(i));
        db->commit();
        // Plenty of room for the rows of one transaction; its queued index
        // entries then find the file full when the commit writes them.
        db->begin();
        for (int i = 11; i <= 1000; ++i) inserter.insert(row(i));
        db->impl().pager->setPageLimit(db->impl().pager->pageCount());
        EXPECT_THROW(db->commit(), jet::Error);
        EXPECT_FALSE(db->inTransaction());
    }
    expectRows(file, 10);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, FileLimit,
                         ::testing::Values(jet::Version::Jet3, jet::Version::Jet4),
                         [](const auto& p) {
                             return p.param == jet::Version::Jet4 ? "Jet4" : "Jet3";
                         });

}  // namespace
