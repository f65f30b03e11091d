// The SQL front end: what each statement the conversion sends reads as, the
// type words, and the mistakes it must report rather than guess at.

#include "jet/sql/sql.h"

#include <gtest/gtest.h>

#include <string>

#include "jet/error.h"
#include "support/errorof.h"

namespace jet::sql {
namespace {

template <class T>
T parseAs(std::string_view text) {
    Statement s = parse(text);
    EXPECT_TRUE(std::holds_alternative<T>(s)) << text;
    return std::holds_alternative<T>(s) ? std::get<T>(s) : T{};
}

// The message of the Error that parse() throws, or "" when it does not.
std::string parseError(std::string_view text) {
    try {
        parse(text);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(SqlParse, NamesKeepTheirCaseAndBlanksKeywordsDoNot) {
    const auto create = parseAs<CreateTable>("CREATE TABLE [Order Details] ([Unit Price] MONEY)");
    EXPECT_EQ(create.table, "Order Details");
    EXPECT_EQ(create.columns.at(0).name, "Unit Price");
    EXPECT_EQ(create.columns.at(0).type, ColumnType::Currency);

    EXPECT_EQ(parseAs<DropTable>("drop table [Mixed Case]").table, "Mixed Case");
    EXPECT_EQ(parseAs<DropTable>("DROP TABLE plain;").table, "plain");
    EXPECT_EQ(parseAs<CreateTable>("create table t (a int)").columns.at(0).name, "a");
}

TEST(SqlParse, IndexStatements) {
    const auto plain = parseAs<CreateIndex>("create index [IX_T1] on [T1] (TITLE,BORN)");
    EXPECT_EQ(plain.table, "T1");
    EXPECT_EQ(plain.index.name, "IX_T1");
    EXPECT_FALSE(plain.index.unique);
    ASSERT_EQ(plain.index.columns.size(), 2u);
    EXPECT_EQ(plain.index.columns[0].first, "TITLE");
    EXPECT_EQ(plain.index.columns[1].first, "BORN");
    EXPECT_TRUE(plain.index.columns[1].second);

    // The unique form names its table bare; blanks belong to the name.
    const auto unique = parseAs<CreateIndex>("create UNIQUE index [PK_T1] on My Table 2 (ID)");
    EXPECT_EQ(unique.table, "My Table 2");
    EXPECT_TRUE(unique.index.unique);
    EXPECT_FALSE(unique.index.primaryKey);
    EXPECT_EQ(unique.index.columns.at(0).first, "ID");

    const auto options = parseAs<CreateIndex>(
        "CREATE UNIQUE INDEX pk ON [T] ([A] DESC, B asc) WITH PRIMARY DISALLOW NULL");
    EXPECT_TRUE(options.index.primaryKey);
    EXPECT_TRUE(options.index.required);
    EXPECT_FALSE(options.index.columns.at(0).second);
    EXPECT_TRUE(options.index.columns.at(1).second);

    EXPECT_TRUE(parseAs<CreateIndex>("create index i on t (a) with ignore null").index.ignoreNulls);
}

TEST(SqlParse, ColumnConstraints) {
    const auto create = parseAs<CreateTable>(
        "create table t (id counter primary key, code text(5) not null constraint uq unique, "
        "n long null, memo1 memo with compression)");
    ASSERT_EQ(create.columns.size(), 4u);
    EXPECT_TRUE(create.columns[0].autoNumber);
    EXPECT_TRUE(create.columns[0].required);
    EXPECT_TRUE(create.columns[1].required);
    EXPECT_FALSE(create.columns[2].required);
    ASSERT_EQ(create.indexes.size(), 2u);
    EXPECT_EQ(create.indexes[0].name, "PrimaryKey");
    EXPECT_TRUE(create.indexes[0].primaryKey);
    EXPECT_EQ(create.indexes[1].name, "uq");
    EXPECT_TRUE(create.indexes[1].unique);

    const auto tableLevel =
        parseAs<CreateTable>("create table t (a long, b long, constraint pk primary key (a, b))");
    ASSERT_EQ(tableLevel.indexes.size(), 1u);
    EXPECT_EQ(tableLevel.indexes[0].columns.size(), 2u);
}

struct TypeCase {
    const char* text;
    ColumnType type;
    int length = 0;
    int precision = 18;
    int scale = 0;
};

TEST(SqlParse, TypeWordsAndSynonyms) {
    const TypeCase cases[] = {
        {"Integer", ColumnType::Long},
        {"LONG", ColumnType::Long},
        {"int", ColumnType::Long},
        {"integer4", ColumnType::Long},
        {"SHORT", ColumnType::Integer},
        {"smallint", ColumnType::Integer},
        {"integer2", ColumnType::Integer},
        {"byte", ColumnType::Byte},
        {"TINYINT", ColumnType::Byte},
        {"single", ColumnType::Single},
        {"REAL", ColumnType::Single},
        {"Double", ColumnType::Double},
        {"float", ColumnType::Double},
        {"double precision", ColumnType::Double},
        {"currency", ColumnType::Currency},
        {"money", ColumnType::Currency},
        {"Date", ColumnType::DateTime},
        {"DATETIME", ColumnType::DateTime},
        {"time", ColumnType::DateTime},
        {"text(20)", ColumnType::Text, 20},
        {"text ( 250 )", ColumnType::Text, 250},
        {"Text", ColumnType::Text, 255},
        {"varchar(1)", ColumnType::Text, 1},
        {"char(255)", ColumnType::Text, 255},
        {"national character varying (30)", ColumnType::Text, 30},
        {"Memo", ColumnType::Memo},
        {"longtext", ColumnType::Memo},
        {"OleObject", ColumnType::Ole},
        {"LONGBINARY", ColumnType::Ole},
        {"bit", ColumnType::Boolean},
        {"YESNO", ColumnType::Boolean},
        {"logical", ColumnType::Boolean},
        {"binary(16)", ColumnType::Binary, 16},
        {"guid", ColumnType::Guid},
        {"decimal(10,2)", ColumnType::Numeric, 0, 10, 2},
        {"NUMERIC(28)", ColumnType::Numeric, 0, 28, 0},
        {"decimal", ColumnType::Numeric, 0, 18, 0},
        {"autoincrement", ColumnType::Long},
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(c.text);
        const ColumnSpec spec = parseColumnType(c.text);
        EXPECT_EQ(spec.type, c.type);
        if (c.type == ColumnType::Text || c.type == ColumnType::Binary) {
            EXPECT_EQ(spec.length, c.length);
        }
        if (c.type == ColumnType::Numeric) {
            EXPECT_EQ(spec.precision, c.precision);
            EXPECT_EQ(spec.scale, c.scale);
        }
    }
    EXPECT_TRUE(parseColumnType("COUNTER").autoNumber);
    EXPECT_FALSE(parseColumnType("long").autoNumber);
}

TEST(SqlParse, MistakesAreClearErrors) {
    const std::string tooLong(65, 'x');
    const std::string longest(64, 'x');
    const std::pair<std::string, std::string> cases[] = {
        {"Create table [T] (\r\n[A] , \r\n[B] Integer\r\n ) ",
         "Table 'T', column 'A': the column has no type"},
        {"Create table [T] (\r\n[A]\r\n ) ", "has no type"},
        {"Create table [T] (\r\n ) ", "without columns"},
        {"Create table [T] (\r\n[A] Varchar2(10)\r\n ) ", "unknown column type 'varchar2'"},

        {"create table t (a text(0))", "size 0"},
        {"create table t (a text(256))", "size 256"},
        {"create table t (a decimal(5,6))", "scale 6"},
        {"create table t (a long, A text)", "column 'A': the column name appears twice"},
        {"create table [" + tooLong + "] (a long)", "too long"},
        {"create table t ([" + tooLong + "] long)", "too long"},
        {"create index [" + tooLong + "] on t (a)", "too long"},
        {"create index i on t (a, A)", "index 'i', column 'A': the column appears twice"},
        {"create index i on t ()", "expected a column name"},
        {"create index i on t", "expected '('"},
        {"create table [T (a long)", "'[' without its ']'"},
        {"create table t (a long) extra", "unexpected text"},
        {"create table t (a long", "',' or ')'"},
        {"drop table", "expected a table name"},
        {"drop table []", "empty table name"},
        {"select * from t where x=0", "expected a number"},
        {"update t set a=1", "expected CREATE, DROP or SELECT"},
        {"", "empty statement"},
        {"create table t (a long, constraint pk primary key (b))", "does not have"},
        {"create table t (a long primary key, b long primary key)", "more than one primary key"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        const std::string message = parseError(text);
        EXPECT_NE(message.find(expected), std::string::npos) << message;
    }
    EXPECT_EQ(parseError("create table [" + longest + "] ([" + longest + "] long)"), "");

    EXPECT_EQ(jettest::errorOf([] { parse("create table t (a text(300))"); }).kind(),
              Error::Kind::Invalid);
}

// Cut-off and garbled statements end in an Error, never in a crash or a
// statement that reads past the text.
TEST(SqlParse, EveryPrefixFailsCleanly) {
    const std::string statements[] = {
        "Create table [T1] (\r\n[ID] Integer , \r\n[TITLE] text(10)\r\n ) ",
        "create UNIQUE index [PK] on My T (A,B) with primary",
        "create table t (a decimal(10,2) not null constraint c unique, constraint p primary key "
        "(a))",
        "Select 1 from [EMP] where 1=0",
    };
    for (const std::string& full : statements) {
        for (std::size_t n = 0; n <= full.size(); ++n) {
            const std::string cut = full.substr(0, n);
            try {
                parse(cut);
            } catch (const Error&) {
            }
            std::string garbled = full;
            if (n < garbled.size()) garbled[n] = garbled[n] == '(' ? ']' : '(';
            try {
                parse(garbled);
            } catch (const Error&) {
            }
        }
    }
}

}  // namespace
}  // namespace jet::sql
