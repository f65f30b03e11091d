#pragma once

// What the engine tests share: snapshots made from SQL text, a connected
// source and target, the run with its log, and readers of the written file
// that nobody here wrote (mdbtools) beside our own inspector.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "dbaccess/accesstarget.h"
#include "dbaccess/oracleconnect.h"
#include "dbaccess/oraclesource.h"
#include "engine/conversionrun.h"
#include "engine/runlog.h"
#include "engine/ucc.h"
#include "jet/database.h"

// Readable failure messages for texts and lists of lines.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& lines, std::ostream* os) {
    *os << "{\n";
    for (const QString& line : lines) *os << "  \"" << line.toStdString() << "\"\n";
    *os << "}";
}

namespace enginetest {

inline const char* kDictionary = R"(
CREATE TABLE user_tables (table_name TEXT NOT NULL PRIMARY KEY);
CREATE TABLE user_tab_columns (table_name TEXT, column_name TEXT, data_type TEXT,
    data_length INTEGER, data_precision INTEGER, data_scale INTEGER, nullable TEXT,
    column_id INTEGER);
CREATE TABLE user_indexes (index_name TEXT, table_name TEXT, uniqueness TEXT);
CREATE TABLE user_ind_columns (index_name TEXT, table_name TEXT, column_name TEXT,
    column_position INTEGER);
)";

// A snapshot at path holding the dictionary tables and whatever sql adds.
inline void makeSnapshot(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const QByteArray text = QByteArray(kDictionary) + sql.toUtf8();
    const int rc = sqlite3_exec(db, text.constData(), nullptr, nullptr, &error);
    const QString message = error ? QString::fromUtf8(error) : QString();
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message.toStdString();
}

inline QString sampleSnapshot() { return QStringLiteral(FERROVANE_SAMPLE_SNAPSHOT); }

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ProcessResult runProgram(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(300000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// Rows of a table as mdb-export reads them: one list of field texts per row,
// Null as "<NULL>", dates as "YYYY-MM-DD HH:MM:SS", binary as hex.
inline std::vector<QStringList> mdbExport(const QString& file, const QString& table) {
    const ProcessResult r = runProgram(
        QStringLiteral("mdb-export"),
        {QStringLiteral("-H"), QStringLiteral("-Q"), QStringLiteral("-d"), QStringLiteral("\x1f"),
         QStringLiteral("-R"), QStringLiteral("\x1e"), QStringLiteral("-0"),
         QStringLiteral("<NULL>"), QStringLiteral("-b"), QStringLiteral("hex"),
         QStringLiteral("-T"), QStringLiteral("%Y-%m-%d %H:%M:%S"), file, table});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::vector<QStringList> rows;
    for (const QString& row : QString::fromUtf8(r.out).split(QChar(0x1e), Qt::SkipEmptyParts))
        rows.push_back(row.split(QChar(0x1f)));
    return rows;
}

inline QStringList mdbTables(const QString& file) {
    const ProcessResult r = runProgram(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), file});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
}

// Our inspector's index check over every table of the file.
inline void expectVerified(const QString& file) {
    const ProcessResult r = runProgram(QStringLiteral(FERROVANE_BINARY_DIR "/tools/mdbinspect"),
                                       {QStringLiteral("verify"), file});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
}

// A source on a snapshot, a target and the run around them.
class RunFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { target.accconnection.close(); }

    void connect(const QString& snapshot = sampleSnapshot()) {
        dbaccess::openOracleConnection(source, QStringLiteral("sqlite:") + snapshot,
                                       QStringLiteral("demo"), QString());
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    TRunOutcome run(const QStringList& chosen) {
        return RunConversion(ucc, source, target, settings, chosen, log, stoprequested, hooks);
    }
    // The log from line `from` on.
    QStringList linesFrom(int from) const { return log.lines().mid(from); }
    void closeTarget() { target.accconnection.close(); }

    QTemporaryDir dir;
    dbaccess::TOracleSource source;
    dbaccess::TAccessTarget target;
    Tcc ucc;
    TRunSettings settings;
    TRunLog log;
    bool stoprequested = false;
    TRunHooks hooks;
};

// The end lines of a run that is not a batch run.
inline QStringList endLines() {
    const TRunTexts texts;
    return {texts.label29, texts.label30, texts.label32};
}

}  // namespace enginetest
