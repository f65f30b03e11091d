// Every Access-made sample reads through our reader with the tables, columns
// and rows that mdbtools reports.

#include <gtest/gtest.h>

#include "jet/database.h"
#include "support/mdbtools.h"

namespace {

namespace fs = std::filesystem;

class AccessFile : public ::testing::TestWithParam<fs::path> {};

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

    for (const auto& name : ours) {
        SCOPED_TRACE("table " + name);
        const jettest::Export ex = jettest::mdbExport(file, name);
        ASSERT_EQ(ex.exitCode, 0) << ex.err;
        auto cursor = db->scan(name);
        const jet::TableDef& def = cursor.table();
        std::vector<std::string> columns;
        for (const auto& c : def.columns) columns.push_back(c.name);
        ASSERT_EQ(columns, ex.header);

        // Rows as mdbtools would print them; Null is "<null>".
        std::vector<std::vector<std::string>> mine, theirs;
        std::vector<bool> comparable(def.columns.size(), true);
        while (cursor.next()) {
            std::vector<std::string> r;
            for (std::size_t c = 0; c < def.columns.size(); ++c) {
                const jet::Value& v = cursor.row()[c];
                // Dates mdbtools prints wrongly: DatesOutsideMdbtoolsRange checks them.
                if (!jettest::dateIsComparable(v)) comparable[c] = false;
                r.push_back(v.isNull()
                                ? "<null>"
                                : jettest::mdbExportText(v, def.columns[c].type, db->version()));
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
