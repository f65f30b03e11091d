// The snapshot driver over the sample schema: the dictionary answers the
// conversion's own queries as Oracle would, and row values come typed.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "cursorcontract.h"
#include "dbaccess/oracleconnect.h"
#include "dbaccess/oraclesource.h"

using namespace dbaccess;
using Kind = TOracleValue::Kind;

ContractSetup contractSetup() {
    ContractSetup s;
    s.service = QStringLiteral("sqlite:" FERROVANE_SAMPLE_SNAPSHOT);
    s.tables = {
        QStringLiteral("ARCHIVED_CUSTOMER_CONTACT_PREFERENCES_FOR_REGIONAL_MARKETING_CAMPAIGNS"),
        QStringLiteral("CAMPAIGN_RESPONSES"),
        QStringLiteral("DEPARTMENTS"),
        QStringLiteral("EMPLOYEES"),
        QStringLiteral("EMPTY_ARCHIVE"),
        QStringLiteral("EVENT_LOG"),
        QStringLiteral("LEGACY_IMAGES"),
        QStringLiteral("LEGACY_NOTES"),
        QStringLiteral("LOB_SAMPLES"),
        QStringLiteral("MEASUREMENTS"),
        QStringLiteral("MixedCase_Suppliers"),
        QStringLiteral("NUMBER_SAMPLES"),
        QStringLiteral("O'NEILL_ACCOUNTS"),
        QStringLiteral("ORDER_LINES"),
        QStringLiteral("Order Details"),
        QStringLiteral("TEXT_SAMPLES"),
    };
    s.rowsTable = QStringLiteral("LOB_SAMPLES");
    s.idColumn = QStringLiteral("B_ID");
    s.textColumn = QStringLiteral("B_KIND");
    s.blobColumn = QStringLiteral("B_DATA");
    s.firstBlob = QByteArray(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
        "{\\colortbl;\\red255\\green0\\blue0;}\\f0\\fs20 Quarterly report\\par "
        "Sales rose by {\\b 12%} in the {\\cf1 north}.\\par }");
    s.emptyTable = QStringLiteral("EMPTY_ARCHIVE");
    return s;
}

namespace {

const QString kColumnQuery =
    QStringLiteral("select * from user_tab_columns where table_name = '%1' order by column_id");
const QString kIndexQuery = QStringLiteral(
    "select   i.index_name key_name,i.uniqueness,C.Column_Name Column_name,c.column_position  "
    "Seq_in_index  from   user_indexes   i,user_ind_columns   c   where   "
    "i.index_name=c.index_name   and   i.table_name='%1'   order   by     "
    "i.index_name,c.column_position");

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override {
        openOracleConnection(source, contractSetup().service, QString(), QString());
    }

    TOracleCursor& run(const QString& sql) {
        TOracleCursor& cursor = source.oracledataset;
        cursor.close();
        cursor.setQuery(sql);
        cursor.open();
        cursor.first();
        return cursor;
    }

    // Every row of the cursor, values by name.
    std::vector<std::vector<TOracleValue>> rows(TOracleCursor& cursor, const QStringList& names) {
        std::vector<std::vector<TOracleValue>> out;
        for (; !cursor.atEnd(); cursor.next()) {
            std::vector<TOracleValue> row;
            for (const QString& name : names) row.push_back(cursor.valueByName(name));
            out.push_back(row);
        }
        return out;
    }

    TOracleSource source;
};

TOracleValue num(qint64 v) { return TOracleValue::integer(v); }
TOracleValue txt(const char* v) { return TOracleValue::text(QString::fromUtf8(v)); }
const TOracleValue null;

}  // namespace

TEST_F(Snapshot, ColumnDictionaryGivesTypesSizesAndNullsInColumnOrder) {
    TOracleCursor& cursor = run(kColumnQuery.arg(QStringLiteral("NUMBER_SAMPLES")));
    const QStringList names = {QStringLiteral("column_name"), QStringLiteral("data_type"),
                               QStringLiteral("data_length"), QStringLiteral("data_precision"),
                               QStringLiteral("data_scale")};
    const std::vector<std::vector<TOracleValue>> expected = {
        {txt("N_ID"), txt("NUMBER"), num(22), num(9), num(0)},
        {txt("N_PLAIN"), txt("NUMBER"), num(22), null, null},
        {txt("N_INT"), txt("NUMBER"), num(22), null, num(0)},
        {txt("N_P10"), txt("NUMBER"), num(22), num(10), num(0)},
        {txt("N_15_4"), txt("NUMBER"), num(22), num(15), num(4)},
        {txt("N_16_2"), txt("NUMBER"), num(22), num(16), num(2)},
        {txt("N_10_5"), txt("NUMBER"), num(22), num(10), num(5)},
        {txt("N_5_NEG2"), txt("NUMBER"), num(22), num(5), num(-2)},
        {txt("N_20_NEG2"), txt("NUMBER"), num(22), num(20), num(-2)},
        {txt("N_FLOAT"), txt("FLOAT"), num(22), num(126), null},
        {txt("N_BDOUBLE"), txt("BINARY_DOUBLE"), num(8), null, null},
        {txt("N_BFLOAT"), txt("BINARY_FLOAT"), num(4), null, null},
    };
    EXPECT_EQ(rows(cursor, names), expected);
    // Oracle reports dictionary columns in capitals.
    EXPECT_EQ(cursor.columnName(cursor.columnIndex(QStringLiteral("data_type"))),
              QStringLiteral("DATA_TYPE"));
}

TEST_F(Snapshot, ColumnDictionaryCoversEveryTypeOfTheTranslationTable) {
    QStringList seen;
    for (const QString& table : listOracleTables(source)) {
        TOracleCursor& cursor =
            run(kColumnQuery.arg(QString(table).replace(u'\'', QStringLiteral("''"))));
        for (; !cursor.atEnd(); cursor.next()) {
            const QString type = cursor.valueByName(QStringLiteral("DATA_TYPE")).toText();
            const qint64 length = cursor.valueByName(QStringLiteral("DATA_LENGTH")).integerValue();
            if (type.endsWith(QLatin1String("CHAR2")) || type == QLatin1String("CHAR"))
                seen << type + QStringLiteral("/") + QString::number(length);
            else
                seen << type;
        }
    }
    for (const char* needed : {"VARCHAR2/250",
                               "VARCHAR2/251",
                               "NVARCHAR2/250",
                               "NVARCHAR2/252",
                               "CHAR/250",
                               "CHAR/251",
                               "BLOB",
                               "CLOB",
                               "NCLOB",
                               "LONG",
                               "LONG RAW",
                               "RAW",
                               "DATE",
                               "TIMESTAMP(6)",
                               "TIMESTAMP(6) WITH TIME ZONE",
                               "TIMESTAMP(6) WITH LOCAL TIME ZONE",
                               "INTERVAL YEAR(2) TO MONTH",
                               "INTERVAL DAY(2) TO SECOND(6)",
                               "BINARY_DOUBLE",
                               "BINARY_FLOAT",
                               "FLOAT",
                               "NCHAR",
                               "ROWID",
                               "TIMESTAMP(3)",
                               "NUMBER"})
        EXPECT_TRUE(seen.contains(QString::fromLatin1(needed))) << needed;
}

TEST_F(Snapshot, EveryNullableColumnHoldsANullSomewhere) {
    // Every column type of the sample arrives as Null at least once, through
    // the typed conversion of its own type.
    for (const QString& table : listOracleTables(source)) {
        QStringList nullable;
        TOracleCursor& columns =
            run(kColumnQuery.arg(QString(table).replace(u'\'', QStringLiteral("''"))));
        for (; !columns.atEnd(); columns.next())
            if (columns.valueByName(QStringLiteral("NULLABLE")).toText() == QLatin1String("Y"))
                nullable << columns.valueByName(QStringLiteral("COLUMN_NAME")).toText();
        if (table == QLatin1String("EMPTY_ARCHIVE")) continue;
        TOracleCursor& rows = run(QStringLiteral("select * from \"%1\"").arg(table));
        QStringList withNull;
        for (; !rows.atEnd(); rows.next())
            for (int i = 0; i < rows.columnCount(); ++i)
                if (rows.value(i).isNull()) withNull << rows.columnName(i);
        for (const QString& column : nullable)
            EXPECT_TRUE(withNull.contains(column))
                << (table + QLatin1Char('.') + column).toStdString();
    }
}

TEST_F(Snapshot, ColumnDictionaryMatchesNamesExactly) {
    EXPECT_TRUE(run(kColumnQuery.arg(QStringLiteral("MIXEDCASE_SUPPLIERS"))).atEnd());
    TOracleCursor& cursor = run(kColumnQuery.arg(QStringLiteral("MixedCase_Suppliers")));
    EXPECT_EQ(cursor.valueByName(QStringLiteral("COLUMN_NAME")), txt("SupplierId"));
}

TEST_F(Snapshot, IndexDictionaryGivesOneRowPerColumnByIndexNameAndPosition) {
    TOracleCursor& cursor = run(kIndexQuery.arg(QStringLiteral("EMPLOYEES")));
    QStringList reported;
    for (int i = 0; i < cursor.columnCount(); ++i) reported << cursor.columnName(i);
    EXPECT_EQ(reported,
              (QStringList{QStringLiteral("KEY_NAME"), QStringLiteral("UNIQUENESS"),
                           QStringLiteral("COLUMN_NAME"), QStringLiteral("SEQ_IN_INDEX")}));

    const QStringList names = {QStringLiteral("key_name"), QStringLiteral("uniqueness"),
                               QStringLiteral("Column_name"), QStringLiteral("Seq_in_index")};
    const std::vector<std::vector<TOracleValue>> expected = {
        {txt("IX_EMP_DEPT"), txt("NONUNIQUE"), txt("DEPT_ID"), num(1)},
        {txt("IX_EMP_DEPT_MGR_HIRE"), txt("NONUNIQUE"), txt("DEPT_ID"), num(1)},
        {txt("IX_EMP_DEPT_MGR_HIRE"), txt("NONUNIQUE"), txt("MANAGER_ID"), num(2)},
        {txt("IX_EMP_DEPT_MGR_HIRE"), txt("NONUNIQUE"), txt("HIRE_DATE"), num(3)},
        {txt("IX_EMP_EMAIL_UPPER"), txt("NONUNIQUE"), txt("SYS_NC00011$"), num(1)},
        {txt("IX_EMP_NAME"), txt("NONUNIQUE"), txt("LAST_NAME"), num(1)},
        {txt("IX_EMP_NAME"), txt("NONUNIQUE"), txt("FIRST_NAME"), num(2)},
        {txt("PK_EMPLOYEES"), txt("UNIQUE"), txt("EMP_ID"), num(1)},
    };
    EXPECT_EQ(rows(cursor, names), expected);

    // The LOB segment's index has no column rows and so does not appear.
    TOracleCursor& lobs = run(kIndexQuery.arg(QStringLiteral("LOB_SAMPLES")));
    EXPECT_EQ(rows(lobs, {QStringLiteral("key_name")}).size(), 1u);
    EXPECT_TRUE(run(kIndexQuery.arg(QStringLiteral("EMPTY_ARCHIVE"))).atEnd());
}

TEST_F(Snapshot, RowValuesAreTypedByTheDictionary) {
    TOracleCursor& numbers = run(QStringLiteral("select * from NUMBER_SAMPLES"));
    EXPECT_EQ(numbers.valueByName(QStringLiteral("N_15_4")).kind(), Kind::Double);
    EXPECT_EQ(numbers.valueByName(QStringLiteral("N_20_NEG2")).kind(), Kind::Decimal);
    EXPECT_EQ(numbers.valueByName(QStringLiteral("N_20_NEG2")).toText(),
              QStringLiteral("12345678901234567800"));
    EXPECT_EQ(numbers.valueByName(QStringLiteral("N_BFLOAT")), TOracleValue::real(1.5));
    numbers.next();
    numbers.next();
    EXPECT_EQ(numbers.valueByName(QStringLiteral("N_PLAIN")),
              TOracleValue::decimal(QStringLiteral("12345678901234567890.123456789")));
    EXPECT_EQ(numbers.valueByName(QStringLiteral("N_16_2")).toText(),
              QStringLiteral("99999999999999.99"));
    numbers.next();
    for (int i = 1; i < numbers.columnCount(); ++i) EXPECT_TRUE(numbers.value(i).isNull());

    TOracleCursor& events = run(QStringLiteral("select * from EVENT_LOG"));
    const TOracleValue& tz = events.valueByName(QStringLiteral("EVENT_TS_TZ"));
    ASSERT_EQ(tz.kind(), Kind::DateTime);
    EXPECT_EQ(tz.dateTimeValue().toText(), QStringLiteral("2024-01-31 23:59:59.123456+05:30"));
    EXPECT_EQ(events.valueByName(QStringLiteral("EVENT_DATE")).kind(), Kind::DateTime);
    EXPECT_EQ(events.valueByName(QStringLiteral("DURATION")), txt("+01 02:03:04.500000"));
    EXPECT_EQ(events.valueByName(QStringLiteral("SOURCE_ROW")), txt("AAAR3sAAEAAAACXAAA"));

    TOracleCursor& texts = run(QStringLiteral("select * from TEXT_SAMPLES"));
    EXPECT_EQ(texts.valueByName(QStringLiteral("T_CHAR251")).textValue().size(), 251);
    texts.next();
    EXPECT_EQ(texts.valueByName(QStringLiteral("T_NVC250")), txt("中文字符测试"));
    EXPECT_EQ(texts.valueByName(QStringLiteral("T_NCHAR")).textValue(),
              QStringLiteral("Größe     "));
    texts.next();
    texts.next();
    EXPECT_EQ(texts.valueByName(QStringLiteral("T_CLOB")).textValue().size(), 120003);
    EXPECT_EQ(texts.valueByName(QStringLiteral("T_NCLOB")).textValue().size(), 50000);
    texts.next();
    // An empty CLOB is not Null; an empty VARCHAR2 would be.
    EXPECT_EQ(texts.valueByName(QStringLiteral("T_CLOB")), txt(""));
}

TEST_F(Snapshot, BinaryValuesComeAsBytesAndOnlyBlobColumnsPassTheBlobTest) {
    TOracleCursor& lobs = run(QStringLiteral("select * from LOB_SAMPLES order by B_ID"));
    std::vector<TOracleValue> values;
    for (; !lobs.atEnd(); lobs.next()) values.push_back(lobs.valueByName(QStringLiteral("B_DATA")));
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values[2].bytesValue().left(2), QByteArray("\xFF\xFE"));
    EXPECT_EQ(values[4].bytesValue().left(4), QByteArray("\x89PNG"));
    EXPECT_EQ(values[6].kind(), Kind::Bytes);  // empty BLOB, not Null
    EXPECT_TRUE(values[6].bytesValue().isEmpty());
    EXPECT_TRUE(values[7].isNull());
    EXPECT_EQ(values[8].bytesValue().size(), 70003);

    TOracleCursor& images = run(QStringLiteral("select * from LEGACY_IMAGES"));
    EXPECT_FALSE(images.isBlob(QStringLiteral("IMG_DATA")));
    EXPECT_EQ(images.valueByName(QStringLiteral("IMG_DATA")).bytesValue().left(6),
              QByteArray("GIF89a"));
    TOracleCursor& notes = run(QStringLiteral("select * from LEGACY_NOTES"));
    EXPECT_FALSE(notes.isBlob(QStringLiteral("NOTE_TEXT")));
    EXPECT_EQ(notes.valueByName(QStringLiteral("NOTE_RAW")).bytesValue().size(), 16);
}

TEST_F(Snapshot, NamesBehaveAsInOracle) {
    // An unquoted mixed-case name is folded to capitals by Oracle and not found.
    source.oracledata.setQuery(QStringLiteral("select * from MixedCase_Suppliers"));
    EXPECT_THROW(source.oracledata.open(), TOracleError);
    TOracleCursor& quoted = run(QStringLiteral("select * from \"MixedCase_Suppliers\""));
    EXPECT_EQ(quoted.columnName(0), QStringLiteral("SupplierId"));
    EXPECT_EQ(quoted.valueByName(QStringLiteral("SupplierName")), txt("Müller Werkzeuge GmbH"));

    TOracleCursor& aliased =
        run(QStringLiteral("select dept_id x, count(*) from EMPLOYEES group by dept_id"));
    EXPECT_EQ(aliased.columnName(0), QStringLiteral("X"));
    EXPECT_EQ(aliased.columnName(1), QStringLiteral("COUNT(*)"));
}

TEST(SnapshotFile, MissingOrForeignFilesFailWithoutBeingTouched) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TOracleSource source;
    const QString missing = dir.filePath(QStringLiteral("none.sqlite"));
    source.oracleconn.setParams({QStringLiteral("Database=sqlite:") + missing});
    EXPECT_THROW(source.oracleconn.open(), TOracleError);
    EXPECT_FALSE(QFile::exists(missing));

    // An SQLite file without the dictionary is not a snapshot.
    const QString foreign = dir.filePath(QStringLiteral("foreign.sqlite"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(foreign.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "create table t(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const qint64 size = QFileInfo(foreign).size();
    source.oracleconn.setParams({QStringLiteral("Database=sqlite:") + foreign});
    try {
        source.oracleconn.open();
        FAIL() << "opened a file that is no snapshot";
    } catch (const TOracleError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("not an Oracle snapshot"))) << e.what();
    }
    EXPECT_EQ(QFileInfo(foreign).size(), size);
    EXPECT_FALSE(source.oracleconn.isOpen());
}

namespace {

// A snapshot made by another tool: dictionary views over tables of its own,
// a data table created in lower case, and names Oracle knows only in quotes.
class HandMadeSnapshot : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("hand.sqlite"));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        const char* schema = R"sql(
            create table dict_tables (tname);
            create table dict_cols (tname, cname, dtype, dlen, dprec, dscale, nul, cid);
            create table dict_idx (iname, tname, uniq);
            create table dict_idxcols (iname, tname, cname, pos);
            create view user_tables as select tname as table_name from dict_tables;
            create view user_tab_columns as
                select tname table_name, cname column_name, dtype data_type, dlen data_length,
                       dprec data_precision, dscale data_scale, nul nullable, cid column_id
                from dict_cols;
            create view user_indexes as
                select iname index_name, tname table_name, uniq uniqueness from dict_idx;
            create view user_ind_columns as
                select iname index_name, tname table_name, cname column_name, pos column_position
                from dict_idxcols;

            create table employees (emp_id, hired);
            insert into employees values ('7', '2024-01-02 03:04:05');
            create table "Mixed Case" (id, label);
            insert into "Mixed Case" values (1, 'mixed');
            create table "O'Brien" (id);
            insert into "O'Brien" values (2);
            create table "O""Brien" (id);
            insert into "O""Brien" values (3);
            create table "ORDER" (id);
            insert into "ORDER" values (4);

            insert into dict_tables values
                ('EMPLOYEES'), ('Mixed Case'), ('O''Brien'), ('O"Brien'), ('ORDER');
            insert into dict_cols values
                ('EMPLOYEES', 'EMP_ID', 'NUMBER', 22, 9, 0, 'N', 1),
                ('EMPLOYEES', 'HIRED', 'DATE', 7, null, null, 'Y', 2),
                ('Mixed Case', 'ID', 'NUMBER', 22, null, null, 'N', 1),
                ('Mixed Case', 'LABEL', 'VARCHAR2', 20, null, null, 'Y', 2),
                ('O''Brien', 'ID', 'NUMBER', 22, null, null, 'N', 1),
                ('O"Brien', 'ID', 'NUMBER', 22, null, null, 'N', 1),
                ('ORDER', 'ID', 'NUMBER', 22, null, null, 'N', 1);
            insert into dict_idx values ('PK_EMP', 'EMPLOYEES', 'UNIQUE');
            insert into dict_idxcols values ('PK_EMP', 'EMPLOYEES', 'EMP_ID', 1);
        )sql";
        char* error = nullptr;
        const int rc = sqlite3_exec(db, schema, nullptr, nullptr, &error);
        EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
        openOracleConnection(source, QStringLiteral("sqlite:") + path, QString(), QString());
    }

    TOracleCursor& run(const QString& sql) {
        TOracleCursor& cursor = source.oracledataset;
        cursor.close();
        cursor.setQuery(sql);
        cursor.open();
        cursor.first();
        return cursor;
    }

    QString failure(const QString& sql) {
        try {
            run(sql);
        } catch (const TOracleError& e) {
            return e.message();
        }
        ADD_FAILURE() << "ran " << sql.toStdString();
        return QString();
    }

    QTemporaryDir dir;
    TOracleSource source;
};

}  // namespace

TEST_F(HandMadeSnapshot, DictionaryViewsAnswerAsDictionaryTablesDo) {
    TOracleCursor& columns = run(kColumnQuery.arg(QStringLiteral("EMPLOYEES")));
    EXPECT_EQ(columns.columnName(0), QStringLiteral("TABLE_NAME"));
    EXPECT_EQ(columns.columnName(3), QStringLiteral("DATA_LENGTH"));
    EXPECT_EQ(columns.valueByName(QStringLiteral("column_name")), txt("EMP_ID"));
    EXPECT_EQ(columns.valueByName(QStringLiteral("data_length")).kind(), Kind::Integer);
    columns.next();
    EXPECT_EQ(columns.valueByName(QStringLiteral("data_type")), txt("DATE"));
    EXPECT_TRUE(columns.valueByName(QStringLiteral("data_precision")).isNull());

    TOracleCursor& indexes = run(kIndexQuery.arg(QStringLiteral("EMPLOYEES")));
    EXPECT_EQ(indexes.columnName(0), QStringLiteral("KEY_NAME"));
    EXPECT_EQ(indexes.columnName(3), QStringLiteral("SEQ_IN_INDEX"));
    EXPECT_EQ(indexes.valueByName(QStringLiteral("Seq_in_index")), num(1));
    EXPECT_EQ(indexes.valueByName(QStringLiteral("Column_name")), txt("EMP_ID"));

    EXPECT_EQ(listOracleTables(source),
              (QStringList{QStringLiteral("EMPLOYEES"), QStringLiteral("Mixed Case"),
                           QStringLiteral("O\"Brien"), QStringLiteral("O'Brien"),
                           QStringLiteral("ORDER")}));
}

TEST_F(HandMadeSnapshot, ATableStoredInOtherLetterCaseKeepsItsTypes) {
    for (const char* sql : {"select * from EMPLOYEES", "select * from employees"}) {
        TOracleCursor& rows = run(QString::fromLatin1(sql));
        EXPECT_EQ(rows.valueByName(QStringLiteral("EMP_ID")), num(7)) << sql;
        EXPECT_EQ(rows.valueByName(QStringLiteral("HIRED")).kind(), Kind::DateTime) << sql;
    }
    // Quoted, the name is taken as written, and Oracle has no table "employees".
    EXPECT_EQ(failure(QStringLiteral("select * from \"employees\"")),
              QStringLiteral("ORA-00942: table or view does not exist"));
}

TEST_F(HandMadeSnapshot, QuotedNamesAreCaseSensitiveAndMayHoldQuotes) {
    EXPECT_EQ(
        run(QStringLiteral("select * from \"Mixed Case\"")).valueByName(QStringLiteral("LABEL")),
        txt("mixed"));
    EXPECT_EQ(failure(QStringLiteral("select * from \"mixed case\"")),
              QStringLiteral("ORA-00942: table or view does not exist"));
    EXPECT_EQ(run(QStringLiteral("select * from \"O\"\"Brien\"")).valueByName(QStringLiteral("ID")),
              num(3));
    EXPECT_EQ(run(QStringLiteral("select * from \"O'Brien\"")).valueByName(QStringLiteral("ID")),
              num(2));
    EXPECT_EQ(run(QStringLiteral("select * from \"ORDER\"")).valueByName(QStringLiteral("ID")),
              num(4));
    TOracleCursor& columns = run(kColumnQuery.arg(QStringLiteral("O''Brien")));
    EXPECT_EQ(columns.valueByName(QStringLiteral("TABLE_NAME")), txt("O'Brien"));
    columns.next();
    EXPECT_TRUE(columns.atEnd());
}

TEST_F(HandMadeSnapshot, FailuresCarryOraclesCodeAndText) {
    EXPECT_EQ(failure(QStringLiteral("select * from NO_SUCH_TABLE")),
              QStringLiteral("ORA-00942: table or view does not exist"));
    EXPECT_EQ(failure(QStringLiteral("select * from ORDER")),
              QStringLiteral("ORA-00903: invalid table name"));
    EXPECT_EQ(failure(QStringLiteral("select * from O\"Brien")),
              QStringLiteral("ORA-01740: missing double quote in identifier"));
    EXPECT_EQ(failure(kColumnQuery.arg(QStringLiteral("O'Brien"))),
              QStringLiteral("ORA-01756: quoted string not properly terminated"));
    EXPECT_EQ(failure(QStringLiteral("delete from \"Mixed Case\"")),
              QStringLiteral("ORA-01031: insufficient privileges"));
    EXPECT_EQ(failure(QStringLiteral("select nope from EMPLOYEES")),
              QStringLiteral("ORA-00904: \"NOPE\": invalid identifier"));
}

namespace {

// A table long enough to be read ahead: 5000 rows numbered in order, the text
// of each in UTF-8 (one not sound), and row 3001 holding a date that is none.
class LongSnapshot : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("long.sqlite"));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        const char* schema = R"sql(
            create table user_tables (table_name);
            create table user_tab_columns (table_name, column_name, data_type, data_length,
                data_precision, data_scale, nullable, column_id);
            create table user_indexes (index_name, table_name, uniqueness);
            create table user_ind_columns (index_name, table_name, column_name, column_position);
            insert into user_tables values ('LONGT');
            insert into user_tab_columns values
                ('LONGT', 'ID', 'NUMBER', 22, 9, 0, 'N', 1),
                ('LONGT', 'LABEL', 'VARCHAR2', 40, null, null, 'Y', 2),
                ('LONGT', 'DAY', 'DATE', 7, null, null, 'Y', 3);
            create table LONGT (ID, LABEL, DAY);
            with recursive n(i) as (select 1 union all select i + 1 from n where i < 5000)
            insert into LONGT select i, 'Größe ' || i, '2024-01-02 03:04:05' from n;
            update LONGT set DAY = 'not a date' where ID = 3001;
            update LONGT set LABEL = cast(x'41ff42' as text) where ID = 2;
        )sql";
        char* error = nullptr;
        const int rc = sqlite3_exec(db, schema, nullptr, nullptr, &error);
        EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
        openOracleConnection(source, QStringLiteral("sqlite:") + path, QString(), QString());
    }

    TOracleCursor& open(TOracleCursor& cursor, const QString& sql) {
        cursor.close();
        cursor.setQuery(sql);
        cursor.open();
        cursor.first();
        return cursor;
    }

    QTemporaryDir dir;
    TOracleSource source;
};

}  // namespace

TEST_F(LongSnapshot, RowsAndTheFailureArriveInOrderWhileTheSessionServesOtherQueries) {
    TOracleCursor& rows =
        open(source.oracledata, QStringLiteral("select * from LONGT order by ID"));
    qint64 expected = 1;
    QString failure;
    try {
        for (; !rows.atEnd(); rows.next(), ++expected) {
            ASSERT_EQ(rows.value(0).integerValue(), expected);
            if (expected == 2) {
                EXPECT_EQ(rows.value(1).textValue(), QStringLiteral("A\uFFFDB"));
            } else {
                EXPECT_EQ(rows.value(1).textValue(), QStringLiteral("Größe %1").arg(expected));
                EXPECT_EQ(rows.value(1).utf8Value(),
                          QStringLiteral("Größe %1").arg(expected).toUtf8());
            }
            if (expected == 2500) {
                // The dictionary is asked in the middle of the long read.
                TOracleCursor& other =
                    open(source.oracledataset, QStringLiteral("select count(*) from LONGT"));
                EXPECT_EQ(other.value(0).integerValue(), 5000);
            }
        }
    } catch (const TOracleError& e) {
        failure = e.message();
    }
    EXPECT_EQ(expected, 3000);  // the row before the bad one was the last read
    EXPECT_EQ(failure,
              QStringLiteral("Snapshot value of column DAY is not a date-time: 'not a date'"));
}

TEST_F(LongSnapshot, ACursorClosedOrReopenedInTheMiddleOfAReadStartsAfresh) {
    TOracleCursor& rows =
        open(source.oracledata, QStringLiteral("select ID from LONGT order by ID"));
    for (int i = 0; i < 1500; ++i) rows.next();
    EXPECT_EQ(rows.value(0).integerValue(), 1501);
    open(rows, QStringLiteral("select ID from LONGT where ID > 4000 order by ID"));
    qint64 last = 0;
    for (; !rows.atEnd(); rows.next()) last = rows.value(0).integerValue();
    EXPECT_EQ(last, 5000);
    open(rows, QStringLiteral("select ID from LONGT order by ID"));
    for (int i = 0; i < 2000; ++i) rows.next();
    rows.close();
    EXPECT_TRUE(rows.atEnd());
}
