// Statements run against a real database of each format, checked through the
// engine's catalog and read back by mdbtools.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/sql/sql.h"
#include "support/mdbtools.h"

namespace jet::sql {
namespace {

namespace fs = std::filesystem;

class SqlExecuteTest : public ::testing::TestWithParam<Version> {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir =
            fs::temp_directory_path() / ("ferrovane_sql_" + std::to_string(getpid()) + "_" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = dir / "t.mdb";
        db = Database::create(file, GetParam());
    }
    void TearDown() override {
        db.reset();
        fs::remove_all(dir);
    }
    // Closes the database so that mdbtools reads the file as it is on disk.
    void closeDb() { db.reset(); }

    fs::path dir;
    fs::path file;
    std::unique_ptr<Database> db;
};

TEST_P(SqlExecuteTest, TheConversionsStatements) {
    execute(*db,
            "Create table [T1] (\r\n[ID] Integer , \r\n[TITLE] text(10) , \r\n[BORN] Date , \r\n"
            "[PRICE] Double , \r\n[NOTES] Memo , \r\n[PIC] OleObject , \r\n[BIG] Text\r\n ) ");
    execute(*db, "create index [IX_T1] on [T1] (TITLE,BORN)");
    execute(*db, "create UNIQUE index [PK_T1] on T1 (ID)");

    const TableDef& t = db->table("T1");
    ASSERT_EQ(t.columns.size(), 7u);
    EXPECT_EQ(t.columns[0].type, ColumnType::Long);
    EXPECT_EQ(t.columns[1].type, ColumnType::Text);
    EXPECT_EQ(t.columns[5].type, ColumnType::Ole);
    ASSERT_EQ(t.indexes.size(), 2u);

    closeDb();
    const std::string schema =
        jettest::run({"mdb-schema", "--indexes", file.string(), "postgres"}).out;
    for (const char* expected :
         {"\"id\"", "\"title\"", "\"born\"", "\"price\"", "\"notes\"", "\"pic\"", "\"big\"",
          "CREATE INDEX \"t1_ix_t1_idx\" ON \"t1\" (\"title\", \"born\")",
          "CREATE UNIQUE INDEX \"t1_pk_t1_idx\" ON \"t1\" (\"id\")"})
        EXPECT_NE(schema.find(expected), std::string::npos) << expected << "\n" << schema;
    EXPECT_EQ(jettest::mdbExport(file, "T1").header,
              (std::vector<std::string>{"ID", "TITLE", "BORN", "PRICE", "NOTES", "PIC", "BIG"}));
    db = Database::open(file);

    const Select probe = std::get<Select>(parse("Select 1 from [T1] where 1=0"));
    EXPECT_EQ(resolve(*db, probe).columns.size(), 7u);

    execute(*db, "drop table [T1]");
    EXPECT_FALSE(db->hasTable("T1"));
    closeDb();
    EXPECT_TRUE(jettest::mdbTables(file).empty());
}

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

    try {
        resolve(*db, std::get<Select>(parse("select * from [Gone] where 1=0")));
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("t.mdb\": table 'Gone': no such table"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_THROW(resolve(*db, std::get<Select>(parse("select * from [A]"))), Error);
    closeDb();
    EXPECT_EQ(jettest::mdbTables(file), std::vector<std::string>{"A"});
}

INSTANTIATE_TEST_SUITE_P(BothFormats, SqlExecuteTest,
                         ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const auto& p) { return p.param == Version::Jet3 ? "Jet3" : "Jet4"; });

}  // namespace
}  // namespace jet::sql
