// Table definitions and indexes: the Access type of every Oracle column type,
// the statements sent for a table (byte for byte), the index statements and
// what happens when some of them fail; the names that need quoting or
// brackets on their way.

#include <gtest/gtest.h>

#include "dbaccess/oraclevalue.h"
#include "engine/names.h"
#include "enginefixture.h"

using namespace enginetest;
using dbaccess::TOracleValue;

namespace {

TOracleValue num(double v) { return TOracleValue::real(v); }
const TOracleValue null;

TEST(TypeTable, EveryRowAndItsIrregularPoints) {
    struct Case {
        const char* type;
        TOracleValue length, precision, scale;
        bool blob;
        const char* text;  // nullptr: no type text
    };
    const TOracleValue l22 = num(22);
    const Case cases[] = {
        {"NUMBER", l22, num(9), num(0), false, " Integer"},
        {"NUMBER", l22, num(10), num(0), false, " Double"},
        {"NUMBER", l22, null, null, false, " Integer"},
        {"NUMBER", l22, null, num(0), false, " Integer"},
        {"NUMBER", l22, num(12), null, false, " Double"},
        {"NUMBER", l22, num(15), num(4), false, " Double"},
        {"NUMBER", l22, null, num(2), false, " Double"},
        {"NUMBER", l22, num(16), num(2), false, " Text"},
        {"NUMBER", l22, num(10), num(5), false, " Text"},
        {"NUMBER", l22, num(5), num(-2), false, nullptr},
        {"NUMBER", l22, null, num(-2), false, nullptr},
        {"NUMBER", l22, num(20), num(-2), false, " Text"},
        {"VARCHAR2", num(250), null, null, false, " text(250)"},
        {"VARCHAR2", num(251), null, null, false, " Memo"},
        {"NVARCHAR2", num(250), null, null, false, " text(250)"},
        {"NVARCHAR2", num(252), null, null, false, " Memo"},
        {"CHAR", num(1), null, null, false, " text(1)"},
        {"BLOB", num(4000), null, null, true, " Memo"},
        {"BLOB", num(4000), null, null, false, " OleObject"},
        {"LONG RAW", num(0), null, null, false, " Memo"},
        {"LONG RAW", num(0), null, null, true, " Memo"},
        {"RAW", num(16), null, null, true, " OleObject"},
        {"RAW", num(16), null, null, false, " OleObject"},
        {"CLOB", num(4000), null, null, false, " Memo"},
        {"NCLOB", num(4000), null, null, false, " Memo"},
        {"LONG", num(0), null, null, false, " Memo"},
        {"DATE", num(7), null, null, false, " Date"},
        {"TIMESTAMP(6)", num(11), null, num(6), false, " Date"},
        {"TIMESTAMP(6) WITH TIME ZONE", num(13), null, num(6), false, " Date"},
        {"TIMESTAMP(6) WITH LOCAL TIME ZONE", num(11), null, num(6), false, " Date"},
        {"INTERVAL YEAR(2) TO MONTH", num(5), null, null, false, " text(20)"},
        {"INTERVAL DAY(2) TO SECOND(6)", num(11), null, null, false, " text(20)"},
        {"BINARY_DOUBLE", num(8), null, null, false, " text(20)"},
        {"BINARY_FLOAT", num(4), null, null, false, " text(20)"},
        {"FLOAT", l22, num(126), null, false, nullptr},
        {"NCHAR", num(10), null, null, false, nullptr},
        {"TIMESTAMP(3)", num(11), null, num(3), false, nullptr},
        {"ROWID", num(10), null, null, false, nullptr},
        {"number", l22, num(4), num(0), false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.length.toText().toStdString() + " " +
                     c.precision.toText().toStdString() + " " + c.scale.toText().toStdString());
        const std::optional<QString> text =
            AccessTypeText(QString::fromLatin1(c.type), c.length, c.precision, c.scale, c.blob);
        if (c.text)
            EXPECT_EQ(text.value_or(QStringLiteral("<none>")), QString::fromLatin1(c.text));
        else
            EXPECT_FALSE(text.has_value()) << text->toStdString();
    }
}

TEST(Names, CaseRuleQuotingAndBrackets) {
    EXPECT_EQ(ApplyNameCase(QStringLiteral("Müller_äb1"), true), QStringLiteral("MüLLER_äB1"));
    EXPECT_EQ(ApplyNameCase(QStringLiteral("Müller"), false), QStringLiteral("Müller"));

    EXPECT_EQ(OracleLiteralText(QStringLiteral("O'NEILL")), QStringLiteral("O''NEILL"));
    for (const char* bare : {"EMP", "ORDER_LINES", "A$B#C_1"})
        EXPECT_EQ(OracleTableReference(QString::fromLatin1(bare)), QString::fromLatin1(bare));
    EXPECT_EQ(OracleTableReference(QStringLiteral("MixedCase")), QStringLiteral("\"MixedCase\""));
    EXPECT_EQ(OracleTableReference(QStringLiteral("Order Details")),
              QStringLiteral("\"Order Details\""));
    EXPECT_EQ(OracleTableReference(QStringLiteral("1ST")), QStringLiteral("\"1ST\""));
    EXPECT_EQ(OracleTableReference(QStringLiteral("ORDER")), QStringLiteral("\"ORDER\""));
    EXPECT_EQ(OracleTableReference(QStringLiteral("A\"B")), QStringLiteral("\"A\"\"B\""));
    EXPECT_EQ(OracleTableReference(QStringLiteral("ÄRA")), QStringLiteral("\"ÄRA\""));

    EXPECT_EQ(AccessIndexColumn(QStringLiteral("TITLE")), QStringLiteral("TITLE"));
    EXPECT_EQ(AccessIndexColumn(QStringLiteral("Born_2")), QStringLiteral("Born_2"));
    for (const char* bracketed : {"ORDER", "Date", "Detail Id", "A$B", "1ST", "desc"})
        EXPECT_EQ(AccessIndexColumn(QString::fromLatin1(bracketed)),
                  u'[' + QString::fromLatin1(bracketed) + u']');
}

// Tcc over a snapshot of hand-made dictionary rows and a fresh target.
class Definitions : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        makeSnapshot(path(QStringLiteral("s.sqlite")), QStringLiteral(R"(
INSERT INTO user_tab_columns VALUES
  ('T1', 'ID', 'NUMBER', 22, 4, 0, 'N', 1), ('T1', 'TITLE', 'VARCHAR2', 10, NULL, NULL, 'Y', 2),
  ('T1', 'BORN', 'DATE', 7, NULL, NULL, 'Y', 3), ('T1', 'PRICE', 'NUMBER', 22, 7, 2, 'Y', 4),
  ('ONE', 'A', 'NUMBER', 22, 3, 0, 'Y', 1),
  ('T3', 'A', 'NUMBER', 22, 3, 0, 'Y', 1), ('T3', 'B', 'NUMBER', 22, 3, 0, 'Y', 2),
  ('T3', 'C', 'NUMBER', 22, 3, 0, 'Y', 3),
  ('BAD', 'A', 'NUMBER', 22, 3, 0, 'Y', 1);
INSERT INTO user_indexes VALUES ('PK_T1', 'T1', 'UNIQUE'), ('IX_T1', 'T1', 'NONUNIQUE'),
  ('IX_3', 'T3', 'NONUNIQUE'), ('I1', 'BAD', 'UNIQUE'), ('I2', 'BAD', 'NONUNIQUE'),
  ('I3', 'BAD', 'NONUNIQUE');
INSERT INTO user_ind_columns VALUES ('PK_T1', 'T1', 'ID', 1), ('IX_T1', 'T1', 'TITLE', 1),
  ('IX_T1', 'T1', 'BORN', 2), ('IX_3', 'T3', 'C', 3), ('IX_3', 'T3', 'A', 1),
  ('IX_3', 'T3', 'B', 2), ('I1', 'BAD', 'NO_ONE', 1), ('I2', 'BAD', 'NO_TWO', 1),
  ('I3', 'BAD', 'A', 1);
)"));
        connect(path(QStringLiteral("s.sqlite")));
        file = path(QStringLiteral("t.mdb"));
        Tcc::PrepareTargetFile(file, 1);
        Tcc::OpenTarget(target.accconnection, file);
    }

    TStepResult create(const QString& sourceName, const QString& targetName) {
        return ucc.CreateTable(source.oracledataset, target.accesssql, sourceName, targetName,
                               false);
    }
    TStepResult indexes(const QString& sourceName, const QString& targetName) {
        return ucc.CreateIndexes(source.oracledataset, target.accesssql, sourceName, targetName);
    }

    QString file;
};

TEST_F(Definitions, WorkedExamplesByteForByte) {
    const TStepResult table = create(QStringLiteral("T1"), QStringLiteral("T1"));
    EXPECT_TRUE(table.ok) << table.failure.toStdString();
    EXPECT_EQ(target.accesssql.commandText(),
              QStringLiteral("Create table [T1] (\r\n[ID] Integer , \r\n[TITLE] text(10) , \r\n"
                             "[BORN] Date , \r\n[PRICE] Double\r\n ) "));

    const TStepResult index = indexes(QStringLiteral("T1"), QStringLiteral("T1"));
    EXPECT_TRUE(index.ok) << index.failure.toStdString();
    EXPECT_EQ(ucc.indexStatements(),
              QStringList({QStringLiteral("create index [IX_T1] on [T1] (TITLE,BORN)"),
                           QStringLiteral("create UNIQUE index [PK_T1] on T1 (ID)")}));
    const jet::TableDef& def = target.accconnection.database().table("T1");
    EXPECT_EQ(def.indexes.size(), 2u);

    // One column: three lines, no separator. Three index columns in position order.
    EXPECT_TRUE(create(QStringLiteral("T3"), QStringLiteral("T3")).ok);
    EXPECT_TRUE(indexes(QStringLiteral("T3"), QStringLiteral("T3")).ok);
    EXPECT_EQ(ucc.indexStatements(),
              QStringList({QStringLiteral("create index [IX_3] on [T3] (A,B,C)")}));
    EXPECT_TRUE(create(QStringLiteral("ONE"), QStringLiteral("ONE")).ok);
    EXPECT_EQ(ucc.tmpmemo(), QStringList({QStringLiteral("Create table [ONE] ("),
                                          QStringLiteral("[A] Integer"), QStringLiteral(" ) ")}));
}

TEST_F(Definitions, SourceNameForTheDictionaryTargetNameForAccess) {
    EXPECT_TRUE(create(QStringLiteral("T1"), QStringLiteral("My T1")).ok);
    EXPECT_TRUE(indexes(QStringLiteral("T1"), QStringLiteral("My T1")).ok);
    EXPECT_EQ(ucc.indexStatements(),
              QStringList({QStringLiteral("create index [IX_T1] on [My T1] (TITLE,BORN)"),
                           QStringLiteral("create UNIQUE index [PK_T1] on My T1 (ID)")}));
    EXPECT_TRUE(target.accconnection.database().hasTable("My T1"));
}

TEST_F(Definitions, FailingStatements) {
    // No dictionary rows: the bare statement is still sent, and fails.
    const TStepResult none = create(QStringLiteral("NOWHERE"), QStringLiteral("NOWHERE"));
    EXPECT_FALSE(none.ok);
    EXPECT_FALSE(none.failure.isEmpty());
    EXPECT_EQ(ucc.tmpmemo(),
              QStringList({QStringLiteral("Create table [NOWHERE] ("), QStringLiteral(" ) ")}));

    // Two failing index statements of three: the third is still sent, and the
    // failure text is the second one's.
    ASSERT_TRUE(create(QStringLiteral("BAD"), QStringLiteral("BAD")).ok);
    const TStepResult r = indexes(QStringLiteral("BAD"), QStringLiteral("BAD"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.failure.contains(QStringLiteral("NO_TWO"))) << r.failure.toStdString();
    EXPECT_EQ(ucc.indexStatements().size(), 3);
    EXPECT_EQ(target.accconnection.database().table("BAD").indexes.size(), 1u);

    // A table without indexes sends nothing and succeeds.
    EXPECT_TRUE(indexes(QStringLiteral("ONE"), QStringLiteral("ONE")).ok);
    EXPECT_TRUE(ucc.indexStatements().isEmpty());
}

TEST_F(Definitions, ExistenceAndDrop) {
    EXPECT_FALSE(Tcc::TableExists(target.accdataset, QStringLiteral("T1")));
    ASSERT_TRUE(create(QStringLiteral("T1"), QStringLiteral("T1")).ok);
    EXPECT_TRUE(Tcc::TableExists(target.accdataset, QStringLiteral("T1")));
    EXPECT_TRUE(Tcc::TableExists(target.accdataset, QStringLiteral("t1")));
    EXPECT_EQ(target.accdataset.commandText(), QStringLiteral("Select 1 from [t1] where 1=0"));
    EXPECT_FALSE(Tcc::TableExists(target.accdataset, QStringLiteral("a]b")));

    EXPECT_TRUE(Tcc::DropTable(target.accesssql, QStringLiteral("T1")).ok);
    EXPECT_EQ(target.accesssql.commandText(), QStringLiteral("drop table [T1]"));
    EXPECT_FALSE(Tcc::TableExists(target.accdataset, QStringLiteral("T1")));
    const TStepResult again = Tcc::DropTable(target.accesssql, QStringLiteral("T1"));
    EXPECT_FALSE(again.ok);
    EXPECT_FALSE(again.failure.isEmpty());
}

}  // namespace
