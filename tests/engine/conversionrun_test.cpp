// The whole run over snapshots: the lines it writes for every treatment and
// switch, Stop, the failures it logs and the ones that end it; and what it
// writes, read back by mdbtools value by value and checked by our inspector.

#include <QFile>
#include <cmath>

#include "engine/abort.h"
#include "engine/blobtext.h"
#include "engine/names.h"
#include "enginefixture.h"
#include "jet/database/database_impl.h"

using namespace enginetest;
using dbaccess::TOracleValue;

namespace {

const QString kDone = QStringLiteral("...Done");

QString s(const char* text) { return QString::fromUtf8(text); }

// The rows of a source table, read as the row copy reads them.
int sourceRowCount(dbaccess::TOracleSource& source, const QString& table) {
    dbaccess::TOracleCursor& c = source.oracledata;
    c.close();
    c.setQuery(QStringLiteral("select * from ") + OracleTableReference(table));
    c.open();
    int n = 0;
    for (; !c.atEnd(); c.next()) ++n;
    return n;
}

QString dateTimeText(const dbaccess::TOracleDateTime& d) {
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(d.year, 4, 10, QLatin1Char('0'))
        .arg(d.month, 2, 10, QLatin1Char('0'))
        .arg(d.day, 2, 10, QLatin1Char('0'))
        .arg(d.hour, 2, 10, QLatin1Char('0'))
        .arg(d.minute, 2, 10, QLatin1Char('0'))
        .arg(d.second, 2, 10, QLatin1Char('0'));
}

// Whether mdbtools shows what the source held, allowing for the type the
// column was given.
bool sameValue(const TOracleValue& v, jet::ColumnType type, const QString& shown, bool blobText) {
    const QString null = QStringLiteral("<NULL>");
    if (blobText) {
        // mdbtools shows an empty text as Null; our reader tells them apart.
        // mdbtools also ends a text at its first NUL character.
        QString text = BlobToText(v.isNull() ? QByteArray() : v.bytesValue());
        if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0) text.truncate(nul);
        return text.isEmpty() ? shown.isEmpty() || shown == null : shown == text;
    }
    if (v.isNull()) return shown == null;
    if (shown == null) return false;
    switch (type) {
        case jet::ColumnType::Byte:
        case jet::ColumnType::Integer:
        case jet::ColumnType::Long: {
            bool ok = false;
            const qint64 stored = shown.toLongLong(&ok);
            return ok && v.isNumber() && static_cast<double>(stored) == v.toDouble();
        }
        case jet::ColumnType::Double: {
            // A number a double cannot hold exactly is not stored as it was.
            if (v.kind() == TOracleValue::Kind::Decimal) return false;
            const double stored = shown.toDouble();
            return std::abs(stored - v.toDouble()) <= 1e-9 * std::max(1.0, std::abs(stored));
        }
        case jet::ColumnType::DateTime:
            return v.kind() == TOracleValue::Kind::DateTime &&
                   shown == dateTimeText(v.dateTimeValue());
        case jet::ColumnType::Ole:
        case jet::ColumnType::Binary:
            return shown.compare(QString::fromLatin1(v.bytesValue().toHex()),
                                 Qt::CaseInsensitive) == 0;
        default:
            return shown == v.toText();
    }
}

// Compares a converted table value by value with its source, in row order.
// Returns how many values differ (they are listed in differences); a missing
// or extra row fails the test.
QStringList differences;
int differingValues(dbaccess::TOracleSource& source, const QString& sourceName, const QString& file,
                    const QString& targetName, bool blobtotext) {
    const auto db = jet::Database::open(file.toStdString(), jet::OpenMode::ReadOnly);
    const jet::TableDef& def = db->table(targetName.toStdString());
    const std::vector<QStringList> rows = mdbExport(file, targetName);

    dbaccess::TOracleCursor& c = source.oracledata;
    c.close();
    c.setQuery(QStringLiteral("select * from ") + OracleTableReference(sourceName));
    c.open();
    std::vector<int> at;  // target column of each source column
    for (int i = 0; i < c.columnCount(); ++i) {
        const std::string name = AccessColumnName(c.columnName(i)).toStdString();
        int found = -1;
        for (std::size_t k = 0; k < def.columns.size(); ++k)
            if (QString::fromStdString(def.columns[k].name)
                    .compare(QString::fromStdString(name), Qt::CaseInsensitive) == 0)
                found = static_cast<int>(k);
        EXPECT_GE(found, 0) << name;
        at.push_back(found);
    }
    int differing = 0;
    differences.clear();
    std::size_t row = 0;
    for (; !c.atEnd(); c.next(), ++row) {
        if (row >= rows.size()) {
            ADD_FAILURE() << "row " << row << " of " << sourceName.toStdString() << " is missing";
            return differing;
        }
        for (int i = 0; i < c.columnCount(); ++i) {
            if (at[static_cast<std::size_t>(i)] < 0) continue;
            const auto k = static_cast<std::size_t>(at[static_cast<std::size_t>(i)]);
            const bool blobText = blobtotext && c.isBlob(c.columnName(i));
            if (!sameValue(c.value(i), def.columns[k].type, rows[row].value(static_cast<int>(k)),
                           blobText)) {
                ++differing;
                differences << QStringLiteral("row %1, %2: %3")
                                   .arg(row)
                                   .arg(c.columnName(i),
                                        rows[row].value(static_cast<int>(k)).left(60));
            }
        }
    }
    EXPECT_EQ(rows.size(), row) << sourceName.toStdString();
    return differing;
}

// The number that a "Values not stored..." line after a table's insert
// result gives, 0 without such a line.
int reportedChanges(const QStringList& lines, const QString& sourceName) {
    const QString insert = QStringLiteral("Insert table ") + sourceName + u' ';
    for (int i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].startsWith(insert)) continue;
        const int next = lines[i].endsWith(kDone) ? i + 1 : i + 2;
        const QString prefix = QStringLiteral("Values not stored as the source had them: ");
        if (next < lines.size() && lines[next].startsWith(prefix))
            return lines[next].mid(prefix.size()).section(u',', 0, 0).toInt();
        return 0;
    }
    return -1;
}

class Run : public RunFixture {
protected:
    void useFile(const QString& name, int format = 1) {
        settings.accessformat = format;
        settings.accessfilename = path(name);
    }
    int targetRows(const QString& table) {
        closeTarget();
        return static_cast<int>(mdbExport(settings.accessfilename, table).size());
    }
    std::unique_ptr<jet::Database> readTarget() {
        closeTarget();
        return jet::Database::open(settings.accessfilename.toStdString(), jet::OpenMode::ReadOnly);
    }
};

// --- the whole sample --------------------------------------------------------

TEST_F(Run, WholeSampleIntoBothFormats) {
    connect();
    const QStringList tables = dbaccess::listOracleTables(source);
    for (int format : {1, 0}) {
        SCOPED_TRACE(format);
        useFile(QStringLiteral("sample%1.mdb").arg(format), format);
        log.clear();
        const TRunOutcome outcome = run(tables);
        EXPECT_EQ(outcome.tables, tables.size());

        // Line by line: per table a create result, its empty line, the index
        // failure and its empty line when an index failed, then the insert
        // result (or the plain skip line after a failed create) and its empty line.
        const QStringList& lines = log.lines();
        int at = 0;
        QStringList created;
        for (const QString& name : tables) {
            SCOPED_TRACE(name.toStdString());
            const QString t = name.size() > 60 ? name.left(56) + QStringLiteral("0000") : name;
            ASSERT_LT(at + 3, lines.size());
            const bool createOk = lines[at] == QStringLiteral("Create table ") + t + kDone;
            if (!createOk) {
                EXPECT_EQ(lines[at], QStringLiteral("Create table ") + t + QStringLiteral("... "));
                EXPECT_FALSE(lines[++at].isEmpty());
            }
            EXPECT_EQ(lines[++at], QString());
            if (!createOk) {
                EXPECT_EQ(lines[++at], QStringLiteral("Skip table ") + t);
                EXPECT_EQ(lines[++at], QString());
                ++at;
                continue;
            }
            created << name;
            if (lines[at + 1].contains(QStringLiteral("cannot create the index"))) {
                at += 2;
                EXPECT_EQ(lines[at], QString());
            }
            const QString rows = QString::number(sourceRowCount(source, name));
            EXPECT_EQ(lines[++at], QStringLiteral("Insert table ") + name + u' ' + rows +
                                       QStringLiteral(" Rows ") + kDone);
            if (lines[at + 1].startsWith(QStringLiteral("Values not stored"))) ++at;
            EXPECT_EQ(lines[++at], QString());
            ++at;
        }
        EXPECT_EQ(lines.mid(at), endLines());

        // Tables whose definition needs no column without a type are all created.
        for (const char* name : {"DEPARTMENTS", "EMPLOYEES", "LOB_SAMPLES", "ORDER_LINES",
                                 "Order Details", "O'NEILL_ACCOUNTS", "CAMPAIGN_RESPONSES",
                                 "MEASUREMENTS", "MixedCase_Suppliers", "EMPTY_ARCHIVE"})
            EXPECT_TRUE(created.contains(s(name))) << name;

        // The expression index has no column in Access: its failure is logged.
        const qsizetype employees = lines.indexOf(QStringLiteral("Create table EMPLOYEES...Done"));
        ASSERT_GE(employees, 0);
        EXPECT_TRUE(lines[employees + 2].contains(QStringLiteral("IX_EMP_EMAIL_UPPER")));
        EXPECT_EQ(lines[employees + 3], QString());
        // A fraction rounded into an integer column, and a value beyond its range.
        EXPECT_TRUE(lines.contains(QStringLiteral(
            "Values not stored as the source had them: 3, the first in column M_VALUE")));

        closeTarget();
        expectVerified(settings.accessfilename);
        QStringList expectedTables;
        for (const QString& name : created)
            expectedTables << (name.size() > 60 ? name.left(56) + QStringLiteral("0000") : name);
        QStringList listed = mdbTables(settings.accessfilename);
        listed.sort();
        expectedTables.sort();
        EXPECT_EQ(listed, expectedTables);

        // Every value as the source had it, except exactly those the log counts.
        for (const QString& name : created) {
            SCOPED_TRACE(name.toStdString());
            const QString t = name.size() > 60 ? name.left(56) + QStringLiteral("0000") : name;
            EXPECT_EQ(differingValues(source, name, settings.accessfilename, t, false),
                      reportedChanges(lines, name))
                << differences.join(u'\n').toStdString();
        }

        // Indexes that need brackets or the cut column name are there.
        const auto db =
            jet::Database::open(settings.accessfilename.toStdString(), jet::OpenMode::ReadOnly);
        EXPECT_EQ(db->table("Order Details").indexes.size(), 2u);
        EXPECT_EQ(db->table("CAMPAIGN_RESPONSES").indexes.size(), 2u);
        EXPECT_EQ(db->table("O'NEILL_ACCOUNTS").indexes.size(), 1u);
    }
}

TEST_F(Run, BlobToTextStoresTheTextOfEachBlob) {
    connect();
    settings.blobtotext = true;
    for (int format : {1, 0}) {
        useFile(QStringLiteral("lobs%1.mdb").arg(format), format);
        log.clear();
        run({QStringLiteral("LOB_SAMPLES"), QStringLiteral("LEGACY_IMAGES")});
        EXPECT_EQ(log.lines().mid(0, 3),
                  QStringList({QStringLiteral("Create table LOB_SAMPLES...Done"), QString(),
                               QStringLiteral("Insert table LOB_SAMPLES 9 Rows ...Done")}));
        const auto db = readTarget();
        EXPECT_EQ(db->table("LOB_SAMPLES").findColumn("B_DATA")->type, jet::ColumnType::Memo);
        // Only BLOB follows the switch; LONG RAW is a Memo either way.
        EXPECT_EQ(differingValues(source, QStringLiteral("LOB_SAMPLES"), settings.accessfilename,
                                  QStringLiteral("LOB_SAMPLES"), true),
                  reportedChanges(log.lines(), QStringLiteral("LOB_SAMPLES")))
            << differences.join(u'\n').toStdString();
        const std::vector<QStringList> rows =
            mdbExport(settings.accessfilename, QStringLiteral("LOB_SAMPLES"));
        ASSERT_EQ(rows.size(), 9u);
        EXPECT_EQ(rows[0][2],
                  QStringLiteral("Quarterly report\r\nSales rose by 12% in the north.\r\n"));
        // Empty and Null BLOBs give an empty text, not Null.
        jet::RowCursor cursor = db->scan("LOB_SAMPLES");
        for (int row = 0; cursor.next(); ++row) {
            if (row != 6 && row != 7) continue;
            const jet::Value& v = cursor.row()[2];
            ASSERT_FALSE(v.isNull()) << row;
            EXPECT_TRUE(v.as<std::string>().empty()) << row;
        }
    }
}

// --- treatments and switches -------------------------------------------------

TEST_F(Run, TreatmentsOfExistingAndMissingTables) {
    connect();
    const QString dept = QStringLiteral("Order Details");
    const QString empty = QStringLiteral("EMPTY_ARCHIVE");
    const QStringList created = {QStringLiteral("Create table EMPTY_ARCHIVE...Done"), QString()};
    const QStringList filled = {QStringLiteral("Insert table EMPTY_ARCHIVE 0 Rows ...Done"),
                                QString()};
    struct Case {
        int processtable;
        bool tabledefonly;
        QStringList deptLines;
        int deptRows;
    };
    const QStringList drop = {QStringLiteral("Drop table Order Details...Done"), QString(),
                              QStringLiteral("Create table Order Details...Done"), QString()};
    const QStringList insert = {QStringLiteral("Insert table Order Details 3 Rows ...Done"),
                                QString()};
    const QStringList skipDots = {QStringLiteral("Skip table Order Details... "), QString()};
    const QStringList skipPlain = {QStringLiteral("Skip table Order Details"), QString()};
    const Case cases[] = {
        {0, false, drop + insert, 3}, {0, true, drop, 0},
        {1, false, insert, 3},        {1, true, {}, 0},
        {-1, false, insert, 3},       {2, false, skipDots + skipPlain, 0},
        {2, true, skipDots, 0},
    };
    for (int format : {1, 0}) {
        // The existing table: made, empty, by a definitions-only run.
        const QString base = path(QStringLiteral("base%1.mdb").arg(format));
        useFile(QStringLiteral("base%1.mdb").arg(format), format);
        settings.tabledefonly = true;
        run({dept});
        closeTarget();
        int n = 0;
        for (const Case& c : cases) {
            SCOPED_TRACE(QStringLiteral("format %1, treatment %2, definitions only %3")
                             .arg(format)
                             .arg(c.processtable)
                             .arg(c.tabledefonly)
                             .toStdString());
            useFile(QStringLiteral("case%1_%2.mdb").arg(format).arg(n++), format);
            ASSERT_TRUE(QFile::copy(base, settings.accessfilename));
            settings.processtable = c.processtable;
            settings.tabledefonly = c.tabledefonly;
            log.clear();
            run({dept, empty});
            const QStringList expected =
                c.deptLines + created + (c.tabledefonly ? QStringList() : filled) + endLines();
            EXPECT_EQ(log.lines(), expected);
            EXPECT_EQ(targetRows(dept), c.deptRows);
            EXPECT_EQ(readTarget()->table("Order Details").indexes.size(), 2u);
            expectVerified(settings.accessfilename);
        }
    }
}

TEST_F(Run, SwitchesSkipIndexesAndUppercaseNames) {
    connect();
    useFile(QStringLiteral("switches.mdb"));
    settings.skipindex = true;
    settings.nameuppercase = true;
    run({QStringLiteral("DEPARTMENTS"), QStringLiteral("MixedCase_Suppliers")});
    const QStringList& lines = log.lines();
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines.mid(0, 4),
              QStringList({QStringLiteral("Create table DEPARTMENTS...Done"), QString(),
                           QStringLiteral("Insert table DEPARTMENTS 5 Rows ...Done"), QString()}));
    // The dictionary knows the mixed-case name only as it is spelled.
    EXPECT_EQ(lines[4], QStringLiteral("Create table MIXEDCASE_SUPPLIERS... "));
    EXPECT_EQ(
        lines.mid(6, 3),
        QStringList({QString(), QStringLiteral("Skip table MIXEDCASE_SUPPLIERS"), QString()}));
    EXPECT_TRUE(readTarget()->table("DEPARTMENTS").indexes.empty());
}

// --- long names ---------------------------------------------------------------

TEST_F(Run, LongNamesTakeTheFirstFreeNumberedName) {
    const QString n60 = QString(60, u'A');
    const QString n61 = QString(60, u'B') + u'C';
    makeSnapshot(path(QStringLiteral("long.sqlite")),
                 QStringLiteral("CREATE TABLE %1 (X); INSERT INTO %1 VALUES (1);"
                                "CREATE TABLE %2 (X); INSERT INTO %2 VALUES (2);"
                                "INSERT INTO user_tab_columns VALUES ('%1', 'X', 'NUMBER', 22, 3, "
                                "0, 'Y', 1), ('%2', 'X', 'NUMBER', 22, 3, 0, 'Y', 1);")
                     .arg(n60, n61));
    connect(path(QStringLiteral("long.sqlite")));
    useFile(QStringLiteral("long.mdb"));
    // Two of the numbered names are taken already.
    Tcc::PrepareTargetFile(settings.accessfilename, 1);
    Tcc::OpenTarget(target.accconnection, settings.accessfilename);
    for (const char* n : {"0000", "0001"}) {
        target.accesssql.setCommandText(QStringLiteral("create table [%1] (A Integer)")
                                            .arg(n61.left(56) + QString::fromLatin1(n)));
        target.accesssql.execute();
    }
    run({n60, n61});
    const QString t = n61.left(56) + QStringLiteral("0002");
    EXPECT_EQ(
        log.lines(),
        QStringList({QStringLiteral("Create table ") + n60 + kDone, QString(),
                     QStringLiteral("Insert table ") + n60 + QStringLiteral(" 1 Rows ") + kDone,
                     QString(), QStringLiteral("Create table ") + t + kDone, QString(),
                     QStringLiteral("Insert table ") + n61 + QStringLiteral(" 1 Rows ") + kDone,
                     QString()}) +
            endLines());
    EXPECT_EQ(targetRows(t), 1);

    // All 101 numbered names taken: the treatment applies to the last one.
    log.clear();
    Tcc::OpenTarget(target.accconnection, settings.accessfilename);
    for (int n = 3; n <= 100; ++n) {
        target.accesssql.setCommandText(QStringLiteral("create table [%1%2] (A Integer)")
                                            .arg(n61.left(56))
                                            .arg(n, 4, 10, QLatin1Char('0')));
        target.accesssql.execute();
    }
    run({n61});
    const QString last = n61.left(56) + QStringLiteral("0100");
    EXPECT_EQ(log.lines().mid(0, 4),
              QStringList({QStringLiteral("Drop table ") + last + kDone, QString(),
                           QStringLiteral("Create table ") + last + kDone, QString()}));
    EXPECT_EQ(targetRows(last), 1);
}

// --- failures -----------------------------------------------------------------

TEST_F(Run, FailingDropAndCreateAreLoggedAndTheRunGoesOn) {
    connect();
    useFile(QStringLiteral("fail.mdb"));
    run({QStringLiteral("MSysObjects"), QStringLiteral("NO_SUCH_TABLE"),
         QStringLiteral("EMPTY_ARCHIVE")});
    const QStringList& l = log.lines();
    ASSERT_EQ(l.size(), 17 + 3);
    EXPECT_EQ(l[0], QStringLiteral("Drop table MSysObjects... "));
    EXPECT_FALSE(l[1].isEmpty());
    EXPECT_EQ(l[2], QString());
    EXPECT_EQ(l[3], QStringLiteral("Create table MSysObjects... "));
    EXPECT_FALSE(l[4].isEmpty());
    EXPECT_EQ(l.mid(5, 3),
              QStringList({QString(), QStringLiteral("Skip table MSysObjects"), QString()}));
    EXPECT_EQ(l[8], QStringLiteral("Create table NO_SUCH_TABLE... "));
    EXPECT_EQ(l.mid(10, 3),
              QStringList({QString(), QStringLiteral("Skip table NO_SUCH_TABLE"), QString()}));
    EXPECT_EQ(l[13], QStringLiteral("Create table EMPTY_ARCHIVE...Done"));
    EXPECT_EQ(l.mid(14),
              QStringList({QString(), QStringLiteral("Insert table EMPTY_ARCHIVE 0 Rows ...Done"),
                           QString()}) +
                  endLines());
}

TEST_F(Run, ErrorsNoStepCatchesEndTheRun) {
    connect();
    // The target file cannot be made: nothing is written.
    useFile(QStringLiteral("no/such/folder/x.mdb"));
    EXPECT_THROW(run({QStringLiteral("DEPARTMENTS")}), TFileCreateError);
    EXPECT_TRUE(log.isEmpty());

    // The Oracle connection is gone: the dictionary query escapes the create step.
    useFile(QStringLiteral("lost.mdb"));
    source.oracleconn.close();
    EXPECT_THROW(run({QStringLiteral("DEPARTMENTS")}), std::exception);
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Create table DEPARTMENTS... ")}));

    // A row step that fails is logged: the source table is missing.
    connect();
    log.clear();
    useFile(QStringLiteral("rows.mdb"));
    makeSnapshot(path(QStringLiteral("gone.sqlite")),
                 QStringLiteral("INSERT INTO user_tab_columns VALUES "
                                "('GONE', 'X', 'NUMBER', 22, 3, 0, 'Y', 1);"));
    closeTarget();
    source.oracleconn.close();
    connect(path(QStringLiteral("gone.sqlite")));
    run({QStringLiteral("GONE")});
    ASSERT_EQ(log.lines().size(), 5 + 3);
    EXPECT_EQ(log.lines()[2], QStringLiteral("Insert table GONE... "));
    EXPECT_FALSE(log.lines()[3].isEmpty());
    EXPECT_EQ(log.lines()[4], QString());
}

// --- rows: cadence, Stop, batch end ------------------------------------------

TEST_F(Run, ProgressEveryHundredRowsAndCommitsInBatches) {
    connect();
    useFile(QStringLiteral("cadence.mdb"));
    QStringList progress;
    log.setListener([&](TRunLog::Change change, const QString& line) {
        if (change == TRunLog::Change::ReplacedLast) progress << line;
    });
    // What another reader of the file sees when a progress line is written.
    std::map<int, int> committedAt;
    int events = 0;
    hooks.processEvents = [&] {
        ++events;
        const int rows = log.last().section(u' ', 3, 3).toInt();
        if (rows == 5000 || rows == 5100 || rows == 10000 || rows == 10100) {
            const auto db =
                jet::Database::open(settings.accessfilename.toStdString(), jet::OpenMode::ReadOnly);
            committedAt[rows] = static_cast<int>(db->table("ORDER_LINES").rowCount);
        }
    };
    run({QStringLiteral("ORDER_LINES")});
    EXPECT_EQ(events, 120);
    ASSERT_EQ(progress.size(), 1 + 120 + 1 + 1);  // create, 120 progress lines, end, Done
    EXPECT_EQ(progress[1], QStringLiteral("Insert table ORDER_LINES 100 Rows "));
    EXPECT_EQ(progress[120], QStringLiteral("Insert table ORDER_LINES 12000 Rows "));
    EXPECT_EQ(progress[122], QStringLiteral("Insert table ORDER_LINES 12000 Rows ...Done"));
    // Batches go to disk while the next ones are read, those queued meanwhile
    // together: a reader sees only whole batches, and never fewer than before.
    ASSERT_EQ(committedAt.size(), 4u);
    int seen = 0;
    for (const auto& [posted, committed] : committedAt) {
        EXPECT_TRUE(committed == 0 || (committed - 100) % 5000 == 0)
            << committed << " rows at row " << posted;
        EXPECT_LE(committed, posted);
        EXPECT_GE(committed, seen);
        seen = committed;
    }
    EXPECT_EQ(targetRows(QStringLiteral("ORDER_LINES")), 12000);
}

TEST_F(Run, StopAtRow300KeepsThoseRowsAndEndsTheRunSilently) {
    connect();
    for (int format : {1, 0}) {
        useFile(QStringLiteral("stop%1.mdb").arg(format), format);
        log.clear();
        hooks.processEvents = [&] {
            if (log.last() == QStringLiteral("Insert table ORDER_LINES 300 Rows "))
                stoprequested = true;
        };
        EXPECT_THROW(run({QStringLiteral("ORDER_LINES"), QStringLiteral("DEPARTMENTS")}),
                     TSilentAbort);
        EXPECT_FALSE(stoprequested);
        EXPECT_EQ(log.lines(),
                  QStringList({QStringLiteral("Create table ORDER_LINES...Done"), QString(),
                               QStringLiteral("Insert table ORDER_LINES 300 Rows "),
                               QStringLiteral("Operation aborted"), QString()}));
        EXPECT_EQ(targetRows(QStringLiteral("ORDER_LINES")), 300);
        EXPECT_FALSE(readTarget()->hasTable("DEPARTMENTS"));
        expectVerified(settings.accessfilename);
    }

    // Stopped in the last table: the run ends normally, the flag still set.
    useFile(QStringLiteral("stoplast.mdb"));
    log.clear();
    run({QStringLiteral("ORDER_LINES")});
    EXPECT_TRUE(stoprequested);
    EXPECT_EQ(log.lines().mid(3),
              QStringList({QStringLiteral("Operation aborted"), QString()}) + endLines());
}

TEST_F(Run, BatchEndWritesTheEndTimeBeforeTheLastLine) {
    connect();
    useFile(QStringLiteral("batch.mdb"));
    QStringList atBatchEnd;
    hooks.batchEnd = [&] { atBatchEnd = log.lines(); };
    run({});
    const TRunTexts texts;
    ASSERT_EQ(atBatchEnd.size(), 3);
    EXPECT_EQ(atBatchEnd.mid(0, 2), QStringList({texts.label29, texts.label30}));
    EXPECT_TRUE(atBatchEnd[2].startsWith(QStringLiteral("The end time:")));
    EXPECT_FALSE(atBatchEnd[2].startsWith(QStringLiteral("The end time: ")));
    EXPECT_EQ(log.lines(), atBatchEnd + QStringList({texts.label32}));
}

// --- merge into files Access made ---------------------------------------------

TEST_F(Run, MergeIntoAccessMadeIndexedTablesKeepsThemValid) {
    const QString shared = QStringLiteral(FERROVANE_SHARED_DIR "/testdata/mdb/");
    if (!QFile::exists(shared)) GTEST_SKIP() << "no shared test data at " << shared.toStdString();
    makeSnapshot(path(QStringLiteral("merge.sqlite")), QStringLiteral(R"(
CREATE TABLE SHIPPERS (SHIPPERID, COMPANYNAME, PHONE);
INSERT INTO SHIPPERS VALUES (100, 'Fjord Freight', '(47) 22 00 11'), (101, 'Rhône Cargo', NULL);
CREATE TABLE TABLE2 (ID, DATA);
INSERT INTO TABLE2 VALUES (1000, 'merged one'), (1001, 'merged two');
INSERT INTO user_tab_columns VALUES
  ('SHIPPERS', 'SHIPPERID', 'NUMBER', 22, 9, 0, 'N', 1),
  ('SHIPPERS', 'COMPANYNAME', 'VARCHAR2', 40, NULL, NULL, 'N', 2),
  ('SHIPPERS', 'PHONE', 'VARCHAR2', 24, NULL, NULL, 'Y', 3),
  ('TABLE2', 'ID', 'NUMBER', 22, 9, 0, 'N', 1),
  ('TABLE2', 'DATA', 'VARCHAR2', 50, NULL, NULL, 'Y', 2);
)"));
    connect(path(QStringLiteral("merge.sqlite")));
    settings.processtable = 1;
    struct Case {
        const char* file;
        const char* chosen;
        const char* table;
    };
    for (const Case& c : {Case{"jet4/Northwind.mdb", "SHIPPERS", "Shippers"},
                          Case{"jet3/indexTestV1997.mdb", "TABLE2", "Table2"}}) {
        SCOPED_TRACE(c.file);
        useFile(QStringLiteral("merge%1.mdb").arg(QString::fromLatin1(c.file).section(u'/', 0, 0)));
        ASSERT_TRUE(QFile::copy(shared + QString::fromLatin1(c.file), settings.accessfilename));
        QFile::setPermissions(settings.accessfilename, QFile::ReadOwner | QFile::WriteOwner);
        const int before = targetRows(QString::fromLatin1(c.table));
        log.clear();
        run({QString::fromLatin1(c.chosen)});
        EXPECT_EQ(log.lines(),
                  QStringList({QStringLiteral("Insert table %1 2 Rows ...Done").arg(s(c.chosen)),
                               QString()}) +
                      endLines());
        EXPECT_EQ(targetRows(QString::fromLatin1(c.table)), before + 2);
        expectVerified(settings.accessfilename);
    }
}

// A file that reaches its size limit (lowered here) ends the table's copy like
// any refused row: the error in the log, the rows before it kept.
TEST_F(Run, AFullFileEndsTheCopyWithItsErrorAndKeepsThePostedRows) {
    connect();
    useFile(QStringLiteral("full.mdb"));
    bool limited = false;
    hooks.processEvents = [&] {
        if (limited || log.last() != QStringLiteral("Insert table ORDER_LINES 300 Rows ")) return;
        jet::Pager& pager = *target.accconnection.database().impl().pager;
        pager.setPageLimit(pager.pageCount() + 60);
        limited = true;
    };
    const TRunOutcome outcome = run({QStringLiteral("ORDER_LINES")});
    EXPECT_EQ(outcome.failedSteps, 1);
    const QString full = QStringLiteral("\"%1\": table 'ORDER_LINES': the database is full: "
                                        "Access files cannot pass 2 GB")
                             .arg(settings.accessfilename);
    EXPECT_TRUE(log.lines().contains(full)) << log.lines().join(u'\n').toStdString();
    const int rows = targetRows(QStringLiteral("ORDER_LINES"));
    EXPECT_GT(rows, 300);
    EXPECT_LT(rows, 12000);
    EXPECT_EQ(static_cast<int>(readTarget()->table("ORDER_LINES").rowCount), rows);
    expectVerified(settings.accessfilename);
}

}  // namespace
