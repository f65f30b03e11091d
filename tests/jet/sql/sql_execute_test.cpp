// Statements run against a real database of each format, checked through the
// engine's catalog and read back by mdbtools.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/sql/sql.h"
#include "support/errorof.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace jet::sql {
namespace {

namespace fs = std::filesystem;

class SqlExecuteTest : public ::testing::TestWithParam<Version> {
protected:
    void SetUp() override {
        file = dir / "t.mdb";
        db = Database::create(file, GetParam());
    }
    // Closes the database so that mdbtools reads the file as it is on disk.
    void closeDb() { db.reset(); }

    jettest::TempDir dir;
    fs::path file;
    std::unique_ptr<Database> db;
};

TEST_P(SqlExecuteTest, FailuresLeaveTheDatabaseAsItWas) {
    execute(*db, "create table [A] (x long)");
    auto message = [&](std::string_view sql) -> std::string {
        try {
            execute(*db, sql);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_NE(message("create table [a] (y long)").find("already exists"), std::string::npos);
    EXPECT_NE(message("drop table [B]").find("table 'B': no such table"), std::string::npos);
    EXPECT_NE(message("create index [i] on [B] (x)").find("table 'B': no such table"),
              std::string::npos);
    EXPECT_NE(message("Select 1 from [A] where 1=0").find("open it as a query"), std::string::npos);
    // The constraint's index cannot be made (a memo is not indexable): no table either.
    EXPECT_NE(message("create table [C] (m memo primary key)"), "");
    EXPECT_FALSE(db->hasTable("C"));

    const std::string gone =
        jettest::errorOf([&] {
            resolve(*db, std::get<Select>(parse("select * from [Gone] where 1=0")));
        }).what();
    EXPECT_NE(gone.find("t.mdb\": table 'Gone': no such table"), std::string::npos) << gone;
    EXPECT_THROW(resolve(*db, std::get<Select>(parse("select * from [A]"))), Error);
    EXPECT_THROW(resolve(*db, std::get<Select>(parse("select * from [A] where 1=1"))), Error);
    closeDb();
    EXPECT_EQ(jettest::mdbTables(file), std::vector<std::string>{"A"});
}

INSTANTIATE_TEST_SUITE_P(BothFormats, SqlExecuteTest,
                         ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const auto& p) { return p.param == Version::Jet3 ? "Jet3" : "Jet4"; });

}  // namespace
}  // namespace jet::sql
