// jet::Error: one message form built from its places, and the engine's scopes
// filling in the places they know, each once.

#include "jet/error.h"

#include <gtest/gtest.h>

#include <cstring>

#include "jet/database.h"
#include "jet/file/bytes.h"
#include "jet/file/format.h"
#include "jet/sql/sql.h"
#include "support/errorof.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using jet::Error;
using jettest::errorOf;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(ErrorForm, PlacesStandInOneOrderBeforeTheDetail) {
    Error e(Error::Kind::Conversion, "not a number");
    EXPECT_STREQ(e.what(), "Not a number");  // alone, it starts a sentence
    e.addPage(0).addColumn("Amount").addIndex("ByAmount").addTable("Orders").addFile("/d/out.mdb");
    EXPECT_STREQ(e.what(),
                 "\"/d/out.mdb\": table 'Orders', index 'ByAmount', column 'Amount', page 0: "
                 "not a number");
    EXPECT_EQ(e.withoutFile(),
              "Table 'Orders', index 'ByAmount', column 'Amount', page 0: not a number");
    EXPECT_EQ(e.detail(), "not a number");
    EXPECT_EQ(e.kind(), Error::Kind::Conversion);

    Error columnOnly(Error::Kind::Invalid, "the name is used twice");
    columnOnly.addColumn("A");
    EXPECT_STREQ(columnOnly.what(), "Column 'A': the name is used twice");
}

TEST(ErrorForm, APlaceIsFilledOnceAndTheInnerScopeWins) {
    Error e(Error::Kind::Corrupt, "the file is damaged: expected a data page");
    e.addTable("").addColumn("");  // nothing known adds nothing
    EXPECT_STREQ(e.what(), "The file is damaged: expected a data page");
    e.addPage(7).addTable("Inner").addFile("inner.mdb");
    e.addPage(9).addTable("Outer").addFile("outer.mdb");
    EXPECT_EQ(e.page(), 7u);
    EXPECT_EQ(e.table(), "Inner");
    EXPECT_EQ(e.file(), fs::path("inner.mdb"));
    EXPECT_EQ(occurrences(e.what(), "Inner"), 1u);
    EXPECT_EQ(occurrences(e.what(), "outer"), 0u);
    EXPECT_EQ(occurrences(e.what(), "page"), 2u);  // the place and the detail's "data page"
}

class ErrorScopes : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir / "scopes.mdb";
        db = jet::Database::create(path, jet::Version::Jet4);
        jet::sql::execute(*db,
                          "create table [Orders] ([Id] Integer not null primary key, "
                          "[Note] Text(5), [Amount] Double)");
        const jet::Value row[] = {jet::Value(std::int64_t{1}), jet::Value(std::string("ok")),
                                  jet::Value(1.5)};
        db->insertRow("Orders", row);
    }

    // The message names the file and the table exactly once each.
    void expectNamedOnce(const Error& e) {
        EXPECT_EQ(occurrences(e.what(), path.string()), 1u) << e.what();
        EXPECT_EQ(occurrences(e.what(), "'Orders'"), 1u) << e.what();
        EXPECT_EQ(e.file(), path);
        EXPECT_EQ(e.table(), "Orders");
    }

    jettest::TempDir dir;
    fs::path path;
    std::unique_ptr<jet::Database> db;
};

TEST_F(ErrorScopes, ARowThatFailsNamesItsColumnTableAndFile) {
    auto inserter = db->inserter("Orders");
    const jet::Value tooLong[] = {jet::Value(std::int64_t{2}),
                                  jet::Value(std::string("far too long")), jet::Value()};
    const Error conversion = errorOf([&] { inserter.insert(tooLong); });
    EXPECT_EQ(conversion.kind(), Error::Kind::Conversion);
    EXPECT_EQ(conversion.column(), "Note");
    expectNamedOnce(conversion);
    EXPECT_EQ(conversion.withoutFile(),
              "Table 'Orders', column 'Note': text of 12 characters is longer than the column's 5");

    const jet::Value duplicate[] = {jet::Value(std::int64_t{1}), jet::Value(), jet::Value()};
    const Error constraint = errorOf([&] { inserter.insert(duplicate); });
    EXPECT_EQ(constraint.kind(), Error::Kind::Constraint);
    EXPECT_FALSE(constraint.index().empty());
    expectNamedOnce(constraint);

    const jet::Value noKey[] = {jet::Value(), jet::Value(), jet::Value()};
    const Error required = errorOf([&] { db->insertRow("Orders", noKey); });
    EXPECT_EQ(required.kind(), Error::Kind::Constraint);
    EXPECT_EQ(required.column(), "Id");
    expectNamedOnce(required);
}

TEST_F(ErrorScopes, NestedScopesOfAStatementNameEachPlaceOnce) {
    // sql::execute, Database::createIndex and the refusal each know something.
    const Error e = errorOf([&] { jet::sql::execute(*db, "create index [ByX] on [Orders] (X)"); });
    EXPECT_EQ(e.kind(), Error::Kind::Invalid);
    EXPECT_EQ(e.index(), "ByX");
    EXPECT_EQ(e.column(), "X");
    expectNamedOnce(e);
    EXPECT_EQ(e.withoutFile(),
              "Table 'Orders', index 'ByX', column 'X': cannot create the index: the table has "
              "no such column");

    const Error missing = errorOf([&] { jet::sql::execute(*db, "drop table [Nope]"); });
    EXPECT_EQ(missing.table(), "Nope");
    EXPECT_EQ(missing.file(), path);
    EXPECT_EQ(occurrences(missing.what(), path.string()), 1u);
}

TEST_F(ErrorScopes, DamageNamesTheFileTableAndPage) {
    const jet::Format& f = jet::Format::jet4();
    const std::uint32_t tdef = db->table("Orders").tdefPage;
    db.reset();
    std::vector<std::uint8_t> bytes = jettest::readFile(path);
    std::uint32_t damaged = 0;
    for (std::uint32_t p = 1; p * f.pageSize < bytes.size(); ++p) {
        std::uint8_t* page = bytes.data() + std::size_t{p} * f.pageSize;
        if (page[0] != jet::kPageData || jet::bytes::le32(page + f.dataOwner) != tdef) continue;
        jet::bytes::putLe16(page + f.dataRowTable, 1);  // the row starts inside the header
        damaged = p;
    }
    ASSERT_NE(damaged, 0u);
    jettest::writeFile(path, bytes);

    db = jet::Database::open(path, jet::OpenMode::ReadOnly);
    const Error e = errorOf([&] {
        auto cursor = db->scan("Orders");
        while (cursor.next()) {
        }
    });
    EXPECT_EQ(e.kind(), Error::Kind::Corrupt);
    EXPECT_EQ(e.page(), damaged);
    expectNamedOnce(e);
    EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
}

}  // namespace
