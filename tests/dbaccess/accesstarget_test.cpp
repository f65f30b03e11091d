// TAccessTarget over the engine: the statements and cursor commands a
// conversion sends, on both file formats, each result read back by mdbtools.

#include "dbaccess/accesstarget.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>

#include "jet/database.h"

namespace dbaccess {
namespace {

// stdout of an mdbtools program, or "" with a test failure when it fails.
QString mdbtool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList tablesOf(const QString& file) {
    return mdbtool("mdb-tables", {"-1", file}).split(u'\n', Qt::SkipEmptyParts);
}

// Rows as mdb-export writes them: header line first, "|" between fields, no quotes.
QStringList exportOf(const QString& file, const QString& table) {
    return mdbtool("mdb-export",
                   {"-d", "|", "-Q", "-D", "%Y-%m-%d", "-T", "%Y-%m-%d %H:%M:%S", file, table})
        .split(u'\n', Qt::SkipEmptyParts);
}

QString errorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const TAccessError& e) {
        return e.message();
    }
    return {};
}

const QString kCreateT1 = QStringLiteral(
    "Create table [T1] (\r\n[ID] Integer , \r\n[TITLE] text(10) , \r\n[BORN] Date , \r\n"
    "[PRICE] Double , \r\n[NOTES] Memo , \r\n[PIC] OleObject\r\n ) ");

class AccessTargetTest : public ::testing::TestWithParam<jet::Version> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath("target.mdb");
        jet::Database::create(file.toStdString(), GetParam());
        target.accconnection.setConnectionString(accessConnectionString(file));
        target.accconnection.open();
    }

    void execute(const QString& sql) {
        target.accesssql.setCommandText(sql);
        target.accesssql.execute();
    }

    bool tableExists(const QString& name) {
        target.accdataset.close();
        target.accdataset.setCommandText("Select 1 from [" + name + "] where 1=0");
        try {
            target.accdataset.open();
            return true;
        } catch (const TAccessError&) {
            return false;
        }
    }

    void openRows(const QString& table) {
        target.accdataset.close();
        target.accdataset.setCommandText("select * from [" + table + "] where 1=0");
        target.accdataset.open();
    }

    QTemporaryDir dir;
    QString file;
    TAccessTarget target;
};

TEST_P(AccessTargetTest, StatementsTakeEffectAtOnce) {
    EXPECT_FALSE(tableExists("T1"));
    execute(kCreateT1);
    EXPECT_TRUE(tableExists("T1"));
    EXPECT_TRUE(tableExists("t1"));  // names ignore letter case, as in Access
    execute("create index [IX_T1] on [T1] (TITLE,BORN)");
    execute("create UNIQUE index [PK_T1] on T1 (ID)");
    execute("Create table [Two Words] (\r\n[A] text(5)\r\n ) ");
    execute("create UNIQUE index [UX] on Two Words (A)");
    target.accconnection.close();

    EXPECT_EQ(tablesOf(file), QStringList({"T1", "Two Words"}));
    const QString schema = mdbtool("mdb-schema", {"--indexes", file, "postgres"});
    for (const char* expected :
         {"CREATE INDEX \"t1_ix_t1_idx\" ON \"t1\" (\"title\", \"born\")",
          "CREATE UNIQUE INDEX \"t1_pk_t1_idx\" ON \"t1\" (\"id\")",
          "CREATE UNIQUE INDEX \"two words_ux_idx\" ON \"two words\" (\"a\")"})
        EXPECT_TRUE(schema.contains(expected)) << expected << "\n" << schema.toStdString();
    EXPECT_EQ(exportOf(file, "T1"), QStringList({"ID|TITLE|BORN|PRICE|NOTES|PIC"}));

    target.accconnection.open();
    execute("drop table [T1]");
    EXPECT_FALSE(tableExists("T1"));
    target.accconnection.close();
    EXPECT_EQ(tablesOf(file), QStringList({"Two Words"}));
}

TEST_P(AccessTargetTest, FailuresCarryTheEngineMessage) {
    execute(kCreateT1);
    EXPECT_TRUE(errorOf([&] { execute(kCreateT1); }).contains("T1"));
    EXPECT_TRUE(errorOf([&] { execute("drop table [NOPE]"); }).contains("NOPE"));
    EXPECT_TRUE(errorOf([&] { execute("Create table [T2] (\r\n[A]\r\n ) "); }).contains("no type"));
    EXPECT_TRUE(
        errorOf([&] { execute("create index [I] on [T1] (MISSING)"); }).contains("MISSING"));

    target.accdataset.setCommandText("Select 1 from [NOPE] where 1=0");
    const QString probe = errorOf([&] { target.accdataset.open(); });
    EXPECT_TRUE(probe.contains("NOPE")) << probe.toStdString();
    EXPECT_FALSE(target.accdataset.isOpen());

    // A probe opens but takes no rows.
    ASSERT_TRUE(tableExists("T1"));
    EXPECT_FALSE(errorOf([&] { target.accdataset.append(); }).isEmpty());
}

// A run's log is about one target file: its lines name the table, index and
// column that failed, and the file only where the file itself failed.
TEST_P(AccessTargetTest, MessagesNameTheFileOnlyWhenTheFileFailed) {
    execute(kCreateT1);
    EXPECT_EQ(errorOf([&] { execute("create index [I] on [T1] (MISSING)"); }),
              "Table 'T1', index 'I', column 'MISSING': cannot create the index: the table has "
              "no such column");
    execute("create UNIQUE index [PK_T1] on T1 (ID)");
    openRows("T1");
    for (int round = 0; round < 2; ++round) {
        target.accdataset.append();
        target.accdataset.setValue("ID", TOracleValue::integer(7));
        if (round == 0) target.accdataset.post();
    }
    const QString duplicate = errorOf([&] { target.accdataset.post(); });
    EXPECT_TRUE(duplicate.startsWith("Table 'T1', index 'PK_T1': the row would duplicate"))
        << duplicate.toStdString();
    EXPECT_FALSE(duplicate.contains(file)) << duplicate.toStdString();

    TAccessConnection other;
    const QString missing = dir.filePath("missing.mdb");
    other.setConnectionString(accessConnectionString(missing));
    EXPECT_EQ(errorOf([&] { other.open(); }),
              u'"' + missing + QStringLiteral("\": cannot open the file: no such file"));
}

TEST_P(AccessTargetTest, RowsAppendedThroughTheCursor) {
    execute(kCreateT1);
    target.accconnection.beginTrans();
    openRows("T1");
    EXPECT_EQ(target.accdataset.fieldCount(), 6);
    EXPECT_EQ(target.accdataset.fieldName(1), "TITLE");

    auto& ds = target.accdataset;
    ds.append();
    ds.setValue("id", TOracleValue::integer(1));  // letter case ignored
    ds.setValue("Title", TOracleValue::text(QStringLiteral("Straße")));
    TOracleDateTime born;
    born.year = 1961;
    born.month = 4;
    born.day = 12;
    born.hour = 9;
    born.minute = 7;
    ds.setValue("BORN", TOracleValue::dateTime(born));
    ds.setValue("PRICE", TOracleValue::real(12.5));
    ds.setValue("NOTES", QString(300, u'm'));
    ds.setValue("PIC", TOracleValue::bytes(QByteArray("\x01\x02\x03", 3)));
    ds.post();

    // A value the column cannot hold fails naming the column; the rest of the
    // row goes in, as the copy swallows such failures one column at a time.
    ds.append();
    ds.setValue("ID", TOracleValue::decimal("2"));
    const QString bad = errorOf([&] { ds.setValue("BORN", TOracleValue::text("not a date")); });
    EXPECT_TRUE(bad.contains("BORN")) << bad.toStdString();
    const QString missing = errorOf([&] { ds.setValue("NOSUCH", TOracleValue::integer(1)); });
    EXPECT_TRUE(missing.contains("NOSUCH")) << missing.toStdString();
    const QString tooLong = errorOf([&] { ds.setValue("TITLE", QString("eleven char")); });
    EXPECT_TRUE(tooLong.contains("TITLE")) << tooLong.toStdString();
    ds.setValue("PRICE", TOracleValue());
    ds.post();

    // Commit, then close and reopen the cursor, as the copy does in batches.
    target.accconnection.commitTrans();
    target.accconnection.beginTrans();
    openRows("T1");
    for (int id = 3; id <= 1200; ++id) {
        ds.append();
        ds.setValue("ID", TOracleValue::integer(id));
        ds.setValue("TITLE", TOracleValue::text(QString::number(id)));
        ds.post();
    }
    target.accconnection.commitTrans();
    ds.close();
    target.accconnection.close();

    const QStringList rows = exportOf(file, "T1");
    ASSERT_EQ(rows.size(), 1 + 1200);
    EXPECT_EQ(rows[1], "1|Straße|1961-04-12 09:07:00|12.5|" + QString(300, u'm') + "|\x01\x02\x03");
    EXPECT_EQ(rows[2], "2|||||");
    EXPECT_EQ(rows[1200], "1200|1200||||");
}

TEST_P(AccessTargetTest, PostFailureStoresNothingAndTheCopyGoesOn) {
    execute(kCreateT1);
    execute("create UNIQUE index [PK_T1] on T1 (ID)");
    auto& ds = target.accdataset;
    target.accconnection.beginTrans();
    openRows("T1");
    ds.append();
    ds.setValue("ID", TOracleValue::integer(1));
    ds.post();
    ds.append();
    ds.setValue("ID", TOracleValue::integer(1));
    EXPECT_FALSE(errorOf([&] { ds.post(); }).isEmpty());
    EXPECT_FALSE(ds.isAppending());
    ds.append();
    ds.setValue("ID", TOracleValue::integer(2));
    ds.post();
    target.accconnection.commitTrans();
    target.accconnection.close();
    EXPECT_EQ(exportOf(file, "T1").mid(1), QStringList({"1|||||", "2|||||"}));
}

TEST_P(AccessTargetTest, ValuesThatDoNotFitAreLeftOutAndTheRowIsStored) {
    execute(kCreateT1);
    auto& ds = target.accdataset;
    openRows("T1");
    const int id = ds.fieldIndex("ID");
    const int title = ds.fieldIndex("TITLE");
    ds.append();
    ds.setUnconvertedValue(id, jet::Value(std::int64_t{1}));
    ds.setUnconvertedValue(title, jet::Value(std::string("fits")));
    EXPECT_TRUE(ds.postKeepingWhatFits().empty());
    ds.append();
    ds.setUnconvertedValue(id, jet::Value(std::int64_t{3000000000}));
    ds.setUnconvertedValue(title, jet::Value(std::string(11, 'x')));
    EXPECT_EQ(ds.postKeepingWhatFits(), std::vector<int>({id, title}));
    target.accconnection.close();
    EXPECT_EQ(exportOf(file, "T1").mid(1), QStringList({"1|fits||||", "|||||"}));
}

// Oracle values set straight into the row, as the copy does: each row holds
// its own values, whatever the rows before held in the same columns (a longer
// text, a text left out, a Null, a number).
TEST_P(AccessTargetTest, OracleValuesSetRowAfterRowKeepToTheirOwnRow) {
    execute(kCreateT1);
    auto& ds = target.accdataset;
    openRows("T1");
    const int id = ds.fieldIndex("ID");
    const int title = ds.fieldIndex("TITLE");
    const int price = ds.fieldIndex("PRICE");
    const int notes = ds.fieldIndex("NOTES");
    auto text = [](const char* utf8) { return TOracleValue::utf8Text(QByteArray(utf8)); };
    struct Row {
        TOracleValue title, price, notes;
    };
    const std::vector<Row> rows = {
        {text("ten chars!"), TOracleValue::real(1.5), text(std::string(300, 'n').c_str())},
        {text("short"), TOracleValue(), text("n")},
        {text("eleven char"), TOracleValue::integer(3), TOracleValue()},  // title left out
        {text("Stra\xC3\x9F" "e"), TOracleValue::decimal("4.25"), text("m\xC3\xA9mo")},
        {TOracleValue(), TOracleValue::real(5), text("")},
        {TOracleValue::integer(42), TOracleValue(), text("last")},
    };
    std::vector<std::vector<int>> leftOut;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ds.append();
        ds.setUnconvertedValue(id, TOracleValue::integer(static_cast<qint64>(i + 1)));
        ds.setUnconvertedValue(title, rows[i].title);
        ds.setUnconvertedValue(price, rows[i].price);
        ds.setUnconvertedValue(notes, rows[i].notes);
        leftOut.push_back(ds.postKeepingWhatFits());
    }
    EXPECT_EQ(leftOut, std::vector<std::vector<int>>({{}, {}, {title}, {}, {}, {}}));
    target.accconnection.close();
    EXPECT_EQ(exportOf(file, "T1").mid(1),
              QStringList({"1|ten chars!||1.5|" + QString(300, u'n') + "|", "2|short|||n|",
                           "3|||3||", QString::fromUtf8("4|Stra\xC3\x9F" "e||4.25|m\xC3\xA9mo|"),
                           "5|||5||", "6|42|||last|"}));
}

TEST_P(AccessTargetTest, RowsWithoutCommitAreDiscarded) {
    execute(kCreateT1);
    target.accconnection.beginTrans();
    openRows("T1");
    target.accdataset.append();
    target.accdataset.setValue("ID", TOracleValue::integer(7));
    target.accdataset.post();
    target.accconnection.close();  // closing with the transaction open discards it
    EXPECT_EQ(exportOf(file, "T1").size(), 1);
}

// Statements run while the cursor is open: it follows the table as it now is,
// and never writes a row shaped for the table as it was.
TEST_P(AccessTargetTest, CursorFollowsStatementsRunBesideIt) {
    execute(kCreateT1);
    auto& ds = target.accdataset;
    openRows("T1");
    ds.append();
    ds.setValue("ID", TOracleValue::integer(1));
    ds.post();
    execute("create index [IX] on [T1] (ID)");  // same columns: the copy goes on
    ds.append();
    ds.setValue("ID", TOracleValue::integer(2));
    ds.post();

    ds.append();
    ds.setValue("ID", TOracleValue::integer(3));
    execute("drop table [T1]");
    execute("Create table [T1] (\r\n[CODE] text(5)\r\n ) ");
    EXPECT_TRUE(errorOf([&] { ds.post(); }).contains("changed"));
    EXPECT_FALSE(ds.isAppending());

    ds.append();
    EXPECT_TRUE(errorOf([&] { ds.setValue("ID", TOracleValue::integer(4)); }).contains("ID"));
    ds.setValue("code", TOracleValue::text("abc"));
    ds.post();
    EXPECT_EQ(ds.fieldCount(), 1);

    execute("drop table [T1]");
    EXPECT_FALSE(errorOf([&] { ds.append(); }).isEmpty());
    ds.close();
    target.accconnection.close();
    EXPECT_EQ(tablesOf(file), QStringList());
}

INSTANTIATE_TEST_SUITE_P(BothFormats, AccessTargetTest,
                         ::testing::Values(jet::Version::Jet3, jet::Version::Jet4),
                         [](const auto& p) {
                             return p.param == jet::Version::Jet3 ? "Jet3" : "Jet4";
                         });

TEST(AccessConnectionString, PlainPathsGoInUnquoted) {
    EXPECT_EQ(accessConnectionString("/srv/u/db 1.mdb"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/u/db 1.mdb;Persist Security "
              "Info=False");
}

TEST(AccessConnectionString, EveryPathReadsBackExactly) {
    const QString paths[] = {"/tmp/a;b.mdb", "/tmp/say \"hi\".mdb",  "/tmp/it's \"x\";y.mdb",
                             "'quoted'.mdb", " lead and trail .mdb", "/tmp/a=b.mdb",
                             "/tmp/x.mdb"};
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        const auto parts = parseConnectionString(accessConnectionString(path));
        ASSERT_EQ(parts.size(), 3u);
        EXPECT_EQ(parts[0].second, "Microsoft.Jet.OLEDB.4.0");
        EXPECT_EQ(parts[1].first, "Data Source");
        EXPECT_EQ(parts[1].second, path);
        EXPECT_EQ(parts[2].second, "False");
    }
}

TEST(AccessConnectionString, MalformedTextsFail) {
    for (const QString text : {"Data Source=\"/tmp/x.mdb", "Data Source='a'b", "Provider"}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_FALSE(errorOf([&] { parseConnectionString(text); }).isEmpty());
    }
    EXPECT_TRUE(parseConnectionString(";;Mode=Read;").size() == 1);
}

TEST(AccessConnection, RefusesWhatIsNotADatabase) {
    QTemporaryDir dir;
    const QString text = dir.filePath("notes.mdb");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();

    TAccessTarget target;
    target.accconnection.setConnectionString(accessConnectionString(text));
    EXPECT_TRUE(errorOf([&] { target.accconnection.open(); }).contains("notes.mdb"));
    EXPECT_FALSE(target.accconnection.isOpen());

    target.accconnection.setConnectionString(accessConnectionString(dir.filePath("none.mdb")));
    EXPECT_TRUE(errorOf([&] { target.accconnection.open(); }).contains("none.mdb"));
    EXPECT_FALSE(QFile::exists(dir.filePath("none.mdb")));  // opening never creates

    target.accconnection.setConnectionString("Provider=SQLOLEDB;Data Source=" + text);
    EXPECT_TRUE(errorOf([&] { target.accconnection.open(); }).contains("SQLOLEDB"));
    target.accconnection.close();  // harmless when closed
    EXPECT_FALSE(errorOf([&] { target.accesssql.execute(); }).isEmpty());
}

// Files that Access made: a table and its rows are added beside what is there,
// and the file's own tables still read as before.
TEST(AccessTargetOnAccessFiles, AddsATableBesideTheExistingOnes) {
    const QDir samples(QStringLiteral(FERROVANE_SHARED_DIR "/testdata/mdb"));
    if (!samples.exists())
        GTEST_SKIP() << "no Access-made samples at " << samples.path().toStdString();
    for (const QString& format : {QStringLiteral("jet3"), QStringLiteral("jet4")}) {
        const QDir folder(samples.filePath(format));
        for (const QString& name : folder.entryList({"*.mdb"}, QDir::Files, QDir::Name)) {
            SCOPED_TRACE((format + "/" + name).toStdString());
            QTemporaryDir dir;
            const QString file = dir.filePath(name);
            ASSERT_TRUE(QFile::copy(folder.filePath(name), file));
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
            const QStringList before = tablesOf(file);

            TAccessTarget target;
            target.accconnection.setConnectionString(accessConnectionString(file));
            target.accconnection.open();
            target.accesssql.setCommandText(
                "Create table [Ferrovane Added] (\r\n[ID] Integer , \r\n[NAME] text(20)\r\n ) ");
            target.accesssql.execute();
            target.accdataset.setCommandText("select * from [Ferrovane Added] where 1=0");
            target.accdataset.open();
            target.accconnection.beginTrans();
            for (int id = 1; id <= 3; ++id) {
                target.accdataset.append();
                target.accdataset.setValue("ID", TOracleValue::integer(id));
                target.accdataset.setValue("NAME", TOracleValue::text(QString("row %1").arg(id)));
                target.accdataset.post();
            }
            target.accconnection.commitTrans();
            target.accconnection.close();

            QStringList after = before;
            after.append("Ferrovane Added");
            QStringList listed = tablesOf(file);
            listed.sort(Qt::CaseInsensitive);
            after.sort(Qt::CaseInsensitive);
            EXPECT_EQ(listed, after);
            EXPECT_EQ(exportOf(file, "Ferrovane Added"),
                      QStringList({"ID|NAME", "1|row 1", "2|row 2", "3|row 3"}));
            for (const QString& table : before)
                EXPECT_EQ(exportOf(file, table), exportOf(folder.filePath(name), table))
                    << table.toStdString();
        }
    }
}

}  // namespace
}  // namespace dbaccess
