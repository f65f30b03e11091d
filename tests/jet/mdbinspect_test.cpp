// The inspector, run as users run it.

#include <gtest/gtest.h>

#include <set>

#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kTool = fs::path(FERROVANE_BINARY_DIR) / "tools" / "mdbinspect";

class Inspector : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kTool)) GTEST_SKIP() << "mdbinspect not built";
        file = jettest::accessSamplesDir() / "jet3" / "testV1997.mdb";
        if (!fs::exists(file)) GTEST_SKIP() << "sample missing: " << file;
    }
    fs::path file;
};

TEST_F(Inspector, ListsTablesWithRowCounts) {
    const auto r = jettest::run({kTool.string(), "tables", file.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Table1\t2\nTable2\t0\nTable3\t0\nTable4\t0\n");
}

TEST_F(Inspector, ShowsColumnsAndIndexes) {
    const auto r = jettest::run({kTool.string(), "columns", file.string(), "table1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("  A\tText\t50\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tCurrency\t8\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("primary key\t(A)"), std::string::npos) << r.out;
}

TEST_F(Inspector, ExportsCsvThatParsesBackToTheRows) {
    const auto r = jettest::run({kTool.string(), "csv", file.string(), "Table1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto rows = jettest::parseCsv(r.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0].text, "A");
    std::set<std::string> firsts = {rows[1][0].text, rows[2][0].text};
    EXPECT_EQ(firsts, (std::set<std::string>{"a", "abcdefg"}));
}

TEST_F(Inspector, ReportsErrorsOnStderrWithExitCodeOne) {
    jettest::TempDir dir;
    const fs::path bogus = dir / "bogus.mdb";
    jettest::writeFile(bogus, std::vector<std::uint8_t>(100, 'x'));
    for (const auto& argv : std::vector<std::vector<std::string>>{
             {kTool.string(), "tables", bogus.string()},
             {kTool.string(), "csv", file.string(), "NoSuchTable"},
             {kTool.string(), "frobnicate"}}) {
        const auto r = jettest::run(argv);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(r.err.empty());
    }
}

}  // namespace
