// Indexes through the engine's API: CREATE [UNIQUE] INDEX on empty and filled
// tables, refusals that leave the table alone, every append keeping every
// index right (our tables and Access-made ones), unique keys and Nulls. Each
// file is held against verifyIndexes and, where installed, mdbtools.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "jet/error.h"
#include "support/errorof.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace jet {
namespace {

std::string problems(const Database& db, const std::string& table) {
    std::string out;
    for (const auto& l : db.verifyIndexes(table)) out += l + "\n";
    return out;
}

std::size_t rowCount(const Database& db, const std::string& table) {
    std::size_t n = 0;
    for (RowCursor c = db.scan(table); c.next();) ++n;
    return n;
}

std::string name(int i) {
    static const char* words[] = {"\u00c4rger",  "apple",      "Zebra",
                                  "stra\u00dfe", "na\u00efve", "co-op",
                                  "\u00e9clair", "O'Neil",     "Apple"};
    return std::string(words[i % 9]) + " " + std::to_string(i % 97);
}

class IndexedTable : public ::testing::TestWithParam<Version> {
protected:
    jettest::TempDir dir_;
    std::filesystem::path file_ = dir_ / "t.mdb";

    std::unique_ptr<Database> createPeople() {
        auto db = Database::create(file_, GetParam());
        db->createTable("People", {{"ID", ColumnType::Long},
                                   {"Name", ColumnType::Text, 60},
                                   {"Score", ColumnType::Double},
                                   {"Born", ColumnType::DateTime},
                                   {"Member", ColumnType::Boolean},
                                   {"Notes", ColumnType::Memo}});
        return db;
    }
    static Row person(std::int64_t id, const std::string& n, double score) {
        return {Value(id),          Value(n),
                Value(score),       Value(DateTime{30000.0 + static_cast<double>(id)}),
                Value(id % 2 == 0), Value("note " + n)};
    }
};

TEST_P(IndexedTable, CreateOnFilledTableThenAppendKeepsEveryIndex) {
    std::vector<std::int64_t> ids(3000);
    std::iota(ids.begin(), ids.end(), 1);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(5));
    {
        auto db = createPeople();
        db->begin();
        auto ins = db->inserter("People");
        for (std::int64_t id : ids)
            ins.insert(person(id, name(static_cast<int>(id)), static_cast<double>(id % 13)));
        db->commit();
        db->createIndex("People", {"PrimaryKey", {{"ID", true}}, true, true});
        db->createIndex("People", {"ByNameScore", {{"Name", true}, {"Score", false}}});
        db->createIndex("People",
                        {"ByMember", {{"Member", true}, {"Born", false}, {"ID", true}}, true});
        EXPECT_EQ(problems(*db, "People"), "");
        // Appends in and out of key order, across several transactions.
        for (int round = 0; round < 3; ++round) {
            db->begin();
            auto more = db->inserter("People");
            for (int i = 0; i < 700; ++i) {
                const std::int64_t id =
                    round == 1 ? 100000 - (round * 1000 + i) : 5000 + round * 1000 + i;
                more.insert(person(id, name(i * 7 + round), i * 0.5));
            }
            db->commit();
        }
        EXPECT_EQ(db->table("People").physicalIndexes.size(), 3u);
    }
    auto db = Database::open(file_, OpenMode::ReadOnly);
    EXPECT_EQ(rowCount(*db, "People"), 5100u);
    EXPECT_EQ(problems(*db, "People"), "");
    if (!jettest::mdbtoolsAvailable()) return;
    auto schema = jettest::run({"mdb-schema", "--indexes", file_.string(), "postgres"}).out;
    for (const char* expected : {"PRIMARY KEY (\"id\")", "(\"name\", \"score\" DESC)",
                                 "CREATE UNIQUE INDEX \"people_bymember_idx\" ON \"people\" "
                                 "(\"member\", \"born\" DESC, \"id\")"})
        EXPECT_NE(schema.find(expected), std::string::npos) << expected << "\n" << schema;
    EXPECT_EQ(jettest::mdbExport(file_, "People").rows.size(), 5100u);
}

TEST_P(IndexedTable, RefusedIndexesLeaveTheTableAsItWas) {
    auto db = createPeople();
    db->insertRow("People", person(1, "a", 1));
    db->insertRow("People", person(2, "A", 2));  // same key as "a": text keys ignore case
    db->createIndex("People", {"ByName", {{"Name", true}}});
    const auto before = db->table("People");
    const auto tdef = *db->impl().pager->page(before.tdefPage);
    auto refused = [&](const IndexSpec& spec, Error::Kind kind, const std::string& words) {
        const Error e =
            jettest::errorOf([&] { db->createIndex("People", spec); }, spec.name + " was accepted");
        EXPECT_EQ(e.kind(), kind) << e.what();
        EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        EXPECT_EQ(db->table("People").indexes.size(), before.indexes.size());
        EXPECT_EQ(*db->impl().pager->page(before.tdefPage), tdef);
    };
    if (GetParam() == Version::Jet3)
        refused({"OnMemo", {{"Notes", true}}}, Error::Kind::Invalid,
                "Memo columns cannot be indexed in an Access 95/97 database");
    refused({"byname", {{"ID", true}}}, Error::Kind::Invalid, "already has an index");
    refused({"UniqueName", {{"Name", true}}, true}, Error::Kind::Constraint, "unique");
    refused({"Nothing", {}}, Error::Kind::Invalid, "1 to 10");
    refused({"Eleven", std::vector<std::pair<std::string, bool>>(11, {"ID", true})},
            Error::Kind::Invalid, "1 to 10");
    refused({"Twice", {{"ID", true}, {"id", false}}}, Error::Kind::Invalid, "twice");
    refused(
        {"Missing", {{"Nope", true}}}, Error::Kind::Invalid,
        "index 'Missing', column 'Nope': cannot create the index: the table has no such column");
    // Up to 32 indexes a table.
    for (int i = 1; i < 32; ++i)
        db->createIndex("People", {"I" + std::to_string(i), {{"Score", i % 2 == 0}, {"ID", true}}});
    EXPECT_EQ(db->table("People").indexes.size(), 32u);
    EXPECT_THROW(db->createIndex("People", {"I33", {{"ID", true}}}), Error);
    db->insertRow("People", person(3, "b", 3));
    EXPECT_EQ(problems(*db, "People"), "");
}

TEST_P(IndexedTable, UniqueKeysAndNulls) {
    auto db = createPeople();
    db->createIndex("People", {"PrimaryKey", {{"ID", true}}, true, true});
    db->createIndex("People", {"NameScore", {{"Name", true}, {"Score", true}}, true});
    db->insertRow("People", person(1, "Ann", 1));
    db->begin();
    db->insertRow("People", person(2, "Bob", 1));
    const Error e = jettest::errorOf([&] { db->insertRow("People", person(2, "Cy", 1)); },
                                     "duplicate primary key accepted");
    EXPECT_EQ(e.kind(), Error::Kind::Constraint);
    EXPECT_NE(std::string(e.what()).find("PrimaryKey"), std::string::npos) << e.what();
    // Text keys ignore case: "ANN" duplicates "Ann".
    EXPECT_THROW(db->insertRow("People", person(3, "ANN", 1)), Error);
    db->commit();
    // A primary key needs a value; a unique index lets Null-holding keys repeat.
    Row noId = person(0, "Dee", 1);
    noId[0] = Value();
    EXPECT_THROW(db->insertRow("People", noId), Error);
    Row noScore = person(4, "Eve", 0);
    noScore[2] = Value();
    db->insertRow("People", noScore);
    noScore[0] = Value(std::int64_t{5});
    db->insertRow("People", noScore);
    EXPECT_EQ(rowCount(*db, "People"), 4u);
    EXPECT_EQ(problems(*db, "People"), "");
}

TEST_P(IndexedTable, RollbackForgetsIndexChanges) {
    auto db = createPeople();
    db->createIndex("People", {"PrimaryKey", {{"ID", true}}, true, true});
    db->insertRow("People", person(1, "Ann", 1));
    db->begin();
    for (int i = 2; i < 2000; ++i) db->insertRow("People", person(i, name(i), i));
    db->rollback();
    db->insertRow("People", person(2, "Bob", 2));  // would collide with a forgotten entry
    EXPECT_EQ(rowCount(*db, "People"), 2u);
    EXPECT_EQ(problems(*db, "People"), "");
}

// A plain index takes its entries at the commit: a damaged one fails the
// commit, naming the index, and the rows go with it, in a statement's own
// transaction and in an explicit one. Later commits must not carry them.
TEST_P(IndexedTable, ADamagedIndexFailsTheCommitAndNothingIsStored) {
    std::uint32_t root = 0;
    {
        auto db = createPeople();
        db->createIndex("People", {"ByName", {{"Name", true}}});
        db->createTable("Other", {{"A", ColumnType::Long}});
        for (int i = 0; i < 5; ++i) db->insertRow("People", person(i, name(i), i));
        root = db->table("People").physicalIndexes[0].rootPage;
        Pager& pager = *db->impl().pager;
        pager.modify(root)[0] = 0x01;  // no longer an index page
        pager.commit();
    }
    auto db = Database::open(file_);
    auto expectIndexError = [](const Error& e) {
        EXPECT_EQ(e.kind(), Error::Kind::Corrupt) << e.what();
        EXPECT_NE(std::string(e.what()).find("index 'ByName'"), std::string::npos) << e.what();
    };
    expectIndexError(jettest::errorOf([&] { db->insertRow("People", person(9, "Zed", 9)); },
                                      "row accepted into a damaged index"));
    EXPECT_EQ(rowCount(*db, "People"), 5u);

    db->begin();
    for (int i = 10; i < 20; ++i) db->insertRow("People", person(i, name(i), i));
    expectIndexError(jettest::errorOf([&] { db->commit(); }, "commit through a damaged index"));
    EXPECT_EQ(rowCount(*db, "People"), 5u);
    db->begin();
    db->insertRow("Other", Row{Value(std::int64_t{1})});
    db->commit();
    db.reset();
    auto reopened = Database::open(file_);
    EXPECT_EQ(rowCount(*reopened, "People"), 5u);
    EXPECT_EQ(rowCount(*reopened, "Other"), 1u);
    EXPECT_NE(problems(*reopened, "People"), "");
}

// A long transaction puts queued entries in before its commit. When a
// damaged index fails then, the row that set it off is already stored: the
// insert fails, and so must the commit, taking every row with it.
TEST_P(IndexedTable, AnIndexFailingMidTransactionMakesTheCommitFail) {
    {
        auto db = Database::create(file_, GetParam());
        db->createTable("T", {{"A", ColumnType::Long}});
        db->createIndex("T", {"ByA", {{"A", true}}});
        for (std::int64_t i = 0; i < 3; ++i) db->insertRow("T", Row{Value(i)});
        Pager& pager = *db->impl().pager;
        pager.modify(db->table("T").physicalIndexes[0].rootPage)[0] = 0x01;
        pager.commit();
    }
    auto db = Database::open(file_);
    db->begin();
    auto inserter = db->inserter("T");
    int failures = 0;
    for (std::int64_t i = 0; i < 70000 && failures == 0; ++i) {
        try {
            inserter.insert(Row{Value(i)});
        } catch (const Error& e) {
            ++failures;
            EXPECT_NE(std::string(e.what()).find("index 'ByA'"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(failures, 1);
    EXPECT_THROW(db->commit(), Error);
    EXPECT_EQ(rowCount(*db, "T"), 3u);
}

// Access 2000 indexes Memo columns by their first 255 characters; Access 97
// cannot index them at all (refused above).
TEST_P(IndexedTable, MemoIndexesInJet4) {
    if (GetParam() == Version::Jet3) GTEST_SKIP() << "Access 95/97 has no Memo indexes";
    auto db = createPeople();
    EXPECT_THROW(db->createIndex("People", {"PrimaryKey", {{"Notes", true}}, true, true}), Error);
    db->createIndex("People", {"ByNotes", {{"Notes", false}}});
    db->begin();
    const std::string lead(255, 'n');
    for (int i = 0; i < 60; ++i) {
        Row r = person(i, name(i), i);
        // Long values inline and on their own pages; some alike in their
        // first 255 characters.
        if (i % 3 == 0) r[5] = Value(lead + std::to_string(i));
        if (i % 3 == 1) r[5] = Value(name(i) + std::string(6000 + i, 'x'));
        if (i % 10 == 2) r[5] = Value();
        db->insertRow("People", r);
    }
    db->commit();
    EXPECT_EQ(problems(*db, "People"), "");
    db->createIndex("People", {"ByNotesToo", {{"Notes", true}, {"ID", true}}});
    EXPECT_EQ(problems(*db, "People"), "");
    db.reset();
    if (jettest::mdbtoolsAvailable()) {
        EXPECT_EQ(jettest::mdbExport(file_, "People").rows.size(), 60u);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, IndexedTable, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const ::testing::TestParamInfo<Version>& p) {
                             return p.param == Version::Jet3 ? std::string("Jet3")
                                                             : std::string("Jet4");
                         });

// Appending to tables Access made, with its primary keys, multi-column and
// descending indexes, on copies of the samples.
TEST(AccessIndexedTables, AppendsKeepEveryIndex) {
    const auto samples = jettest::accessSamplesDir();
    if (!std::filesystem::exists(samples / "jet4/Northwind.mdb"))
        GTEST_SKIP() << "no Access samples";
    jettest::TempDir dir;
    struct Target {
        const char* file;
        const char* table;
        std::function<Row(int)> row;
        std::size_t columns;
    };
    const std::vector<Target> targets = {
        {"jet4/Northwind.mdb", "Customers",
         [](int i) {
             return Row{Value("Q" + std::to_string(1000 + i)),
                        Value("Stra\u00dfe-Caf\u00e9 " + std::to_string(i)),
                        Value(),
                        Value(),
                        Value(),
                        Value(i % 2 ? "K\u00f6ln" : "Lule\u00e5"),
                        Value(),
                        Value(std::to_string(50000 + i)),
                        Value("Deutschland"),
                        Value(),
                        Value()};
         },
         11},
        {"jet4/Northwind.mdb", "Order Details",
         [](int i) {
             return Row{Value(10248 + i % 800), Value(78 + i), Value(Currency{125000}),
                        Value(i % 9), Value(0.05)};
         },
         5},
        {"jet3/testIndexCodesV1997.mdb", "Table12_desc_asc",
         [](int i) {
             return Row{Value("n" + std::to_string(i)),
                        Value("\u00c5ngstr\u00f6m " + std::to_string(i % 5)), Value(i)};
         },
         3},
        {"jet4/testIndexCodes_2009-11-14.mdb", "Table1_desc",
         [](int i) {
             return Row{Value("new" + std::to_string(i)),
                        Value("na\u00efve-\u00df" + std::to_string(i % 7))};
         },
         2},
    };
    for (const Target& t : targets) {
        SCOPED_TRACE(std::string(t.file) + " " + t.table);
        const auto copy = dir / (std::string(t.table) + ".mdb");
        jettest::copyWritable(samples / t.file, copy);
        std::size_t before = 0;
        {
            auto db = Database::open(copy);
            ASSERT_EQ(db->table(t.table).columns.size(), t.columns);
            before = rowCount(*db, t.table);
            db->begin();
            auto ins = db->inserter(t.table);
            for (int i = 0; i < 400; ++i) ins.insert(t.row(i));
            db->commit();
            // A new index over the filled table rewrites Access's definition.
            const auto& columns = db->table(t.table).columns;
            db->createIndex(t.table,
                            {"Added", {{columns[1].name, false}, {columns[0].name, true}}});
        }
        auto db = Database::open(copy, OpenMode::ReadOnly);
        EXPECT_EQ(rowCount(*db, t.table), before + 400);
        EXPECT_EQ(problems(*db, t.table), "");
        if (jettest::mdbtoolsAvailable()) {
            EXPECT_EQ(jettest::mdbExport(copy, t.table).rows.size(), before + 400);
        }
    }
}

}  // namespace
}  // namespace jet
