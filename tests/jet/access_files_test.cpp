// Every Access-made sample reads through our reader with the tables, columns
// and rows that mdbtools reports.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "jet/database.h"
#include "support/mdbtools.h"

namespace {

namespace fs = std::filesystem;

class AccessFile : public ::testing::TestWithParam<fs::path> {};

void compareTable(const jet::Database& db, const fs::path& file, const std::string& name,
                  bool withSchema) {
    SCOPED_TRACE("table " + name);
    {
        if (withSchema) {
            const auto schema = jettest::mdbSchemaColumns(file);
            const jet::TableDef& def = db.table(name);
            jettest::SchemaColumns mine;
            for (const auto& c : def.columns)
                mine.emplace_back(c.name, jettest::mdbSchemaType(c, db.version()));
            ASSERT_TRUE(schema.count(name)) << "mdb-schema lists no table " << name;
            EXPECT_EQ(mine, schema.at(name));
        }
        const jettest::Export ex = jettest::mdbExport(file, name);
        ASSERT_EQ(ex.exitCode, 0) << ex.err;
        auto cursor = db.scan(name);
        const jet::TableDef& def = cursor.table();
        std::vector<std::string> columns;
        for (const auto& c : def.columns) columns.push_back(c.name);
        ASSERT_EQ(columns, ex.header);

        // Rows as mdbtools would print them; Null is "<null>".
        std::vector<std::vector<std::string>> mine, theirs;
        std::vector<bool> comparable(def.columns.size(), true);
        // mdbtools prints nothing for types it does not know (Access's private
        // long binary 0x11 in MSysAccessObjects); those columns are not compared.
        for (std::size_t c = 0; c < def.columns.size(); ++c)
            if (std::string(jet::columnTypeName(def.columns[c].type)) == "Unknown")
                comparable[c] = false;
        while (cursor.next()) {
            std::vector<std::string> r;
            for (std::size_t c = 0; c < def.columns.size(); ++c) {
                const jet::Value& v = cursor.row()[c];
                // Dates mdbtools prints wrongly: DatesOutsideMdbtoolsRange checks them.
                if (!jettest::dateIsComparable(v)) comparable[c] = false;
                std::string text =
                    v.isNull() ? "" : jettest::mdbExportText(v, def.columns[c].type, db.version());
                // An empty Binary prints like Null.
                if (v.isNull() || (text.empty() && def.columns[c].type == jet::ColumnType::Binary))
                    text = "<null>";
                r.push_back(text);
            }
            mine.push_back(std::move(r));
        }
        for (const auto& er : ex.rows) {
            ASSERT_EQ(er.size(), def.columns.size());
            std::vector<std::string> r;
            for (const auto& f : er) r.push_back(f.isNull() ? "<null>" : f.text);
            theirs.push_back(std::move(r));
        }
        for (auto* rows : {&mine, &theirs})
            for (auto& r : *rows)
                for (std::size_t c = 0; c < r.size(); ++c)
                    if (!comparable[c]) r[c] = "<not compared>";
        ASSERT_EQ(mine.size(), theirs.size()) << "row count";
        if (mine != theirs) {
            // mdbtools visits moved (overflow) rows in another order.
            std::sort(mine.begin(), mine.end());
            std::sort(theirs.begin(), theirs.end());
        }
        int reported = 0;
        for (std::size_t r = 0; r < mine.size() && reported < 10; ++r)
            for (std::size_t c = 0; c < def.columns.size(); ++c)
                if (mine[r][c] != theirs[r][c] && reported++ < 10)
                    ADD_FAILURE() << "row " << r << " column " << def.columns[c].name << " ("
                                  << jet::columnTypeName(def.columns[c].type) << "): ours ["
                                  << mine[r][c] << "], mdbtools [" << theirs[r][c] << "]";
    }
}

TEST(AccessSamples, ArePresent) {
    if (jettest::accessSamples().empty())
        GTEST_SKIP() << "no Access samples in " << jettest::accessSamplesDir();
    EXPECT_GE(jettest::accessSamples().size(), 10u);
}

TEST_P(AccessFile, ReadsLikeMdbtools) {
    if (!jettest::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools is not installed";
    const fs::path file = GetParam();
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);

    EXPECT_EQ(jettest::mdbVer(file), db->version() == jet::Version::Jet3 ? "JET3" : "JET4");

    auto ours = db->tableNames();
    auto listed = jettest::mdbTables(file);
    std::sort(ours.begin(), ours.end());
    std::sort(listed.begin(), listed.end());
    ASSERT_EQ(ours, listed);

    for (const auto& name : ours) compareTable(*db, file, name, true);
}

TEST_P(AccessFile, SystemTablesReadLikeMdbtools) {
    if (!jettest::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools is not installed";
    const fs::path file = GetParam();
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    auto ours = db->tableNames(true);
    auto listed = jettest::mdbTables(file, true);
    std::sort(ours.begin(), ours.end());
    std::sort(listed.begin(), listed.end());
    ASSERT_EQ(ours, listed);
    for (const auto& name : ours)
        if (db->table(name).isSystem) compareTable(*db, file, name, false);
}

std::string sampleName(const ::testing::TestParamInfo<fs::path>& info) {
    std::string s = info.param.parent_path().filename().string() + "_" + info.param.stem().string();
    for (char& c : s)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return s;
}

INSTANTIATE_TEST_SUITE_P(Samples, AccessFile, ::testing::ValuesIn(jettest::accessSamples()),
                         sampleName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(AccessFile);

}  // namespace

namespace {

// mdbtools 1.0 prints dates before 1900 and in 9999 wrongly; these are the
// values Access shows for DateTestDatabase.mdb (its rows say so in words).
TEST(AccessSamples, DatesOutsideMdbtoolsRange) {
    const fs::path file = jettest::accessSamplesDir() / "jet4" / "DateTestDatabase.mdb";
    if (!fs::exists(file)) GTEST_SKIP() << "sample missing: " << file;
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    std::map<std::int64_t, std::vector<std::string>> dates;
    auto cursor = db->scan("DateTest");
    while (cursor.next()) {
        const auto& r = cursor.row();
        for (int c = 1; c <= 3; ++c)
            dates[r[0].as<std::int64_t>()].push_back(r[static_cast<std::size_t>(c)].toString());
    }
    using V = std::vector<std::string>;
    EXPECT_EQ(dates[2], (V{"9999-01-01 00:00:00", "9999-01-01 00:00:00", "9999-01-01 00:00:00"}));
    EXPECT_EQ(dates[3], (V{"1898-01-01 00:00:00", "1899-01-01 00:00:00", "1900-01-01 00:00:00"}));
    EXPECT_EQ(dates[4], (V{"0632-01-01 00:00:00", "0633-01-01 00:00:00", "0634-01-01 00:00:00"}));
}

// Rows moved to another page (overflow) are read once, at their new place.
TEST(AccessSamples, OverflowRowsAreFollowedNotLost) {
    for (const char* name : {"jet3/overflowTestV1997.mdb", "jet4/overflowTestV2000.mdb"}) {
        const fs::path file = jettest::accessSamplesDir() / name;
        if (!fs::exists(file)) continue;
        auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
        auto cursor = db->scan("Table1");
        std::set<std::string> seen;
        std::size_t rows = 0;
        while (cursor.next()) {
            ++rows;
            std::string key;
            for (const auto& v : cursor.row()) key += v.toString() + "|";
            seen.insert(key);
        }
        EXPECT_EQ(rows, db->table("Table1").rowCount) << name;
        EXPECT_EQ(seen.size(), rows) << name << ": a row came twice";
    }
}

}  // namespace
