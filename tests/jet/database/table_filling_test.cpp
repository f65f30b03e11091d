// Filling a table whose indexes start empty, as a conversion does: keys in
// order go into the trees at once, the others are sorted and built into
// them when a plain commit (or closing) ends the filling. Between background
// commits the file must stay sound: it holds the committed rows without the
// indexes, which come back at the end. A duplicate is still refused at its
// row, wherever its twin waits.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "jet/database.h"
#include "jet/error.h"
#include "support/errorof.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace jet {
namespace {

class TableFilling : public ::testing::TestWithParam<Version> {
protected:
    jettest::TempDir dir_;
    std::filesystem::path file_ = dir_ / "t.mdb";

    std::unique_ptr<Database> create(bool nameIndex = true) {
        auto db = Database::create(file_, GetParam());
        db->createTable("T", {{"ID", ColumnType::Long}, {"Name", ColumnType::Text, 40}});
        db->createIndex("T", {"UX_ID", {{"ID", true}}, true});
        if (nameIndex) db->createIndex("T", {"IX_NAME", {{"Name", true}}});
        return db;
    }
    static Row row(std::int64_t id) {
        return {Value(id), Value("name " + std::to_string(id % 997))};
    }
    static std::vector<std::int64_t> shuffled(std::int64_t n) {
        std::vector<std::int64_t> ids(static_cast<std::size_t>(n));
        std::iota(ids.begin(), ids.end(), 1);
        std::shuffle(ids.begin(), ids.end(), std::mt19937_64(7));
        return ids;
    }
    // What another program opening the file now finds: rows, indexes, soundness.
    struct Seen {
        std::size_t rows = 0, indexes = 0;
        bool sound = false;
    };
    Seen seen() const {
        auto reader = Database::open(file_, OpenMode::ReadOnly);
        Seen s;
        for (RowCursor c = reader->scan("T"); c.next();) ++s.rows;
        s.indexes = reader->table("T").indexes.size();
        s.sound = reader->verifyIndexes("T").empty();
        return s;
    }
    static bool refused(const std::function<void()>& insert) {
        try {
            insert();
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), Error::Kind::Constraint) << e.what();
            return true;
        }
        return false;
    }
};

TEST_P(TableFilling, RandomKeysAreCheckedAtEachRowAndBuiltAtTheEnd) {
    // Enough rows that the sorted entries spill to disk in several runs.
    const std::vector<std::int64_t> ids = shuffled(60000);
    auto db = create();
    auto inserter = db->inserter("T");
    db->begin();
    for (std::size_t k = 0; k < ids.size(); ++k) {
        inserter.insert(row(ids[k]));
        if ((k + 1) % 5000 != 0) continue;
        db->commitInBackground();
        db->begin();
        if (k + 1 == 20000) {
            // Rows that a rollback takes back: their keys are free again,
            // and the keys gathered before must still be found.
            for (std::int64_t id = 100001; id <= 100003; ++id) inserter.insert(row(id));
            db->rollback();  // waits for the background commits
            const Seen mid = seen();
            EXPECT_EQ(mid.rows, 20000u);
            EXPECT_EQ(mid.indexes, 0u) << "indexes short of entries in the file";
            EXPECT_TRUE(mid.sound);
            db->begin();
        }
    }
    EXPECT_TRUE(refused([&] { inserter.insert(row(ids[10])); })) << "a key from an early run";
    EXPECT_TRUE(refused([&] { inserter.insert(row(ids.back())); })) << "a key of this transaction";
    EXPECT_FALSE(refused([&] { inserter.insert(row(100002)); })) << "a key rolled back";
    db->commit();

    EXPECT_EQ(db->table("T").indexes.size(), 2u);
    EXPECT_TRUE(db->verifyIndexes("T").empty());
    db.reset();
    const Seen end = seen();
    EXPECT_EQ(end.rows, ids.size() + 1);
    EXPECT_EQ(end.indexes, 2u);
    EXPECT_TRUE(end.sound);
    if (jettest::mdbtoolsAvailable()) {
        EXPECT_EQ(jettest::mdbExport(file_, "T").rows.size(), ids.size() + 1);
    }
}

// The last commit need not be a plain one: closing builds the indexes of
// what was committed, and discards a transaction left open, as ever.
TEST_P(TableFilling, ClosingEndsTheFilling) {
    const std::vector<std::int64_t> ids = shuffled(7000);
    {
        auto db = create();
        auto inserter = db->inserter("T");
        db->begin();
        for (std::size_t k = 0; k < ids.size(); ++k) {
            inserter.insert(row(ids[k]));
            if (k + 1 == 5000 || k + 1 == ids.size()) {
                db->commitInBackground();
                db->begin();
            }
        }
        for (std::int64_t id = 100001; id <= 100005; ++id) inserter.insert(row(id));
    }
    const Seen end = seen();
    EXPECT_EQ(end.rows, ids.size());
    EXPECT_EQ(end.indexes, 2u);
    EXPECT_TRUE(end.sound);
}

// Keys in order need no sorting: the trees are complete at every commit and
// the file keeps its indexes throughout.
TEST_P(TableFilling, KeysInOrderKeepTheIndexesInTheFile) {
    auto db = create(false);
    auto inserter = db->inserter("T");
    db->begin();
    for (std::int64_t id = 1; id <= 12000; ++id) {
        inserter.insert(row(id));
        if (id % 5000 == 0) {
            db->commitInBackground();
            db->begin();
        }
    }
    EXPECT_TRUE(refused([&] { inserter.insert(row(12000)); }));
    EXPECT_TRUE(refused([&] { inserter.insert(row(777)); }));
    db->rollback();
    const Seen mid = seen();
    EXPECT_EQ(mid.rows, 10000u);
    EXPECT_EQ(mid.indexes, 1u);
    EXPECT_TRUE(mid.sound);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, TableFilling, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const ::testing::TestParamInfo<Version>& p) {
                             return std::string(p.param == Version::Jet3 ? "Jet3" : "Jet4");
                         });

}  // namespace
}  // namespace jet
