// End to end: a commit of real table, row, long-value and index changes,
// failed at every write, leaves a database that reads as before or after.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "support/errorof.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using jet::ColumnType;

class CommitAtomicity : public ::testing::TestWithParam<jet::Version> {};

void insertRows(jet::Database& db, int from, int count) {
    for (int i = from; i < from + count; ++i) {
        const jet::Row row = {jet::Value(std::int64_t{i}), jet::Value("name " + std::to_string(i)),
                              jet::Value(std::string(i % 7 == 0 ? 3000 : 20, 'm'))};
        db.insertRow("T", row);
    }
}

std::size_t rowCount(const fs::path& file) {
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    auto cursor = db->scan("T");
    std::size_t n = 0;
    while (cursor.next()) ++n;
    EXPECT_TRUE(db->verifyIndexes("T").empty());
    return n;
}

TEST_P(CommitAtomicity, FailingEveryWriteOfACommitLeavesBeforeOrAfter) {
    jettest::TempDir dir;
    const fs::path file = dir / "atomic.mdb";
    {
        auto db = jet::Database::create(file, GetParam());
        db->createTable(
            "T",
            {{"Id", ColumnType::Long}, {"Name", ColumnType::Text, 50}, {"Note", ColumnType::Memo}});
        jet::IndexSpec pk;
        pk.name = "PrimaryKey";
        pk.columns = {{"Id", true}};
        pk.unique = pk.primaryKey = true;
        db->createIndex("T", pk);
        insertRows(*db, 0, 20);
    }
    const auto before = jettest::readFile(file);

    int steps = 0;
    {
        auto db = jet::Database::open(file);
        db->impl().pager->setWriteHook([&](const jet::IoStep&) { return ++steps, true; });
        db->begin();
        insertRows(*db, 20, 80);
        db->commit();
    }
    const auto after = jettest::readFile(file);
    ASSERT_EQ(rowCount(file), 100u);
    ASSERT_GT(steps, 4);

    int sawBefore = 0;
    for (int failAt = 1; failAt <= steps; ++failAt) {
        SCOPED_TRACE("failing from write " + std::to_string(failAt) + " of " +
                     std::to_string(steps));
        jettest::writeFile(file, before);
        {
            auto db = jet::Database::open(file);
            int n = 0;
            // From failAt on every write fails, as if the process had died.
            db->impl().pager->setWriteHook([&](const jet::IoStep&) { return ++n < failAt; });
            db->begin();
            insertRows(*db, 20, 80);
            EXPECT_THROW(db->commit(), jet::Error);
        }
        const std::size_t rows = rowCount(file);  // opening recovers
        const auto now = jettest::readFile(file);
        if (now == before) {
            ++sawBefore;
            EXPECT_EQ(rows, 20u);
        } else {
            EXPECT_EQ(now, after) << "the file is neither as before nor as after the commit";
            EXPECT_EQ(rows, 100u);
        }
        EXPECT_FALSE(fs::exists(jet::Pager::journalPath(file)));
    }
    EXPECT_EQ(sawBefore, steps);  // the commit point is the journal's removal
    if (jettest::mdbtoolsAvailable()) {
        const auto ex = jettest::mdbExport(file, "T");
        EXPECT_EQ(ex.exitCode, 0) << ex.err;
        EXPECT_EQ(ex.rows.size(), 20u);
    }
}

// Batches committed in the background, the second failing on its way to
// disk: the next commit reports it, the database holds the first batch with
// sound indexes, and the batches after it can be written again.
TEST_P(CommitAtomicity, ABackgroundCommitThatFailsIsReportedNextWithTheDatabaseAtTheOneBefore) {
    jettest::TempDir dir;
    const fs::path file = dir / "background.mdb";
    auto db = jet::Database::create(file, GetParam());
    db->createTable("T", {{"Id", ColumnType::Long},
                          {"Name", ColumnType::Text, 50},
                          {"Note", ColumnType::Memo}});
    jet::IndexSpec pk;
    pk.name = "PrimaryKey";
    pk.columns = {{"Id", true}};
    pk.unique = pk.primaryKey = true;
    db->createIndex("T", pk);
    // The first batch is held on its way until the second is queued, so
    // that the two are written apart.
    std::atomic<bool> entered = false;
    std::atomic<bool> held = true;
    std::atomic<int> fileSyncs = 0;
    db->impl().pager->setWriteHook([&](const jet::IoStep& s) {
        entered = true;
        while (held) std::this_thread::yield();
        return s.kind != jet::IoStep::Kind::FileSync || ++fileSyncs != 2;
    });
    const std::shared_ptr<void> release(nullptr, [&](void*) { held = false; });
    db->begin();
    insertRows(*db, 0, 100);
    db->commitInBackground();
    while (!entered) std::this_thread::yield();
    db->begin();
    insertRows(*db, 100, 100);
    db->commitInBackground();  // fails on its way
    held = false;
    db->begin();
    insertRows(*db, 200, 100);
    EXPECT_EQ(jettest::errorOf([&] { db->commit(); }, "the failure went unreported").kind(),
              jet::Error::Kind::Io);
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(db->table("T").rowCount, 100u);
    EXPECT_TRUE(db->verifyIndexes("T").empty());

    db->begin();
    insertRows(*db, 100, 200);
    db->commitInBackground();
    db.reset();  // waits for it
    EXPECT_EQ(rowCount(file), 300u);
    if (jettest::mdbtoolsAvailable()) {
        const auto ex = jettest::mdbExport(file, "T");
        EXPECT_EQ(ex.exitCode, 0) << ex.err;
        EXPECT_EQ(ex.rows.size(), 300u);
    }
}

std::string versionName(const ::testing::TestParamInfo<jet::Version>& param) {
    return param.param == jet::Version::Jet3 ? "Jet3" : "Jet4";
}

INSTANTIATE_TEST_SUITE_P(BothFormats, CommitAtomicity,
                         ::testing::Values(jet::Version::Jet3, jet::Version::Jet4), versionName);

}  // namespace
