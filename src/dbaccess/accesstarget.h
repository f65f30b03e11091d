#pragma once

// TAccessTarget: the Access side of a conversion, over our Jet engine. One
// connection (accconnection) to an .mdb file, one command (accesssql) that
// executes a statement, and one cursor (accdataset) that opens a query and,
// when it is opened on a table, appends rows to it.
//
// The connection string has the OLE DB form: "name=value" parts separated by
// ";", names without regard to letter case. A value holding ";" or a quote is
// enclosed in double quotes (a double quote inside doubled) or in single
// quotes. "Data Source" names the file; "Provider", when present, must be
// Microsoft.Jet.OLEDB.4.0; "Mode=Read" opens the file read-only; every other
// part is accepted and ignored. Unquoted values are taken exactly, blanks and
// all, so that the file opened is the file named.
//
// Every failure is a TAccessError carrying the engine's message.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "dbaccess/oraclevalue.h"
#include "jet/values/convert.h"
#include "jet/database.h"
#include "jet/error.h"

namespace dbaccess {

class TAccessError : public std::runtime_error {
public:
    explicit TAccessError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    // The engine's own message, and what kind of failure it was. The file is
    // named only where the failure is the file's own (it cannot be opened,
    // read, written or locked, it is damaged or full): a run's log is about one
    // target file and would repeat its path on every line.
    explicit TAccessError(const jet::Error& error) : TAccessError(error, namesFile(error.kind())) {}
    TAccessError(const jet::Error& error, bool withFile)
        : TAccessError(
              QString::fromStdString(withFile ? std::string(error.what()) : error.withoutFile())) {
        kind_ = error.kind();
    }

    const QString& message() const { return message_; }
    std::optional<jet::Error::Kind> kind() const { return kind_; }

private:
    static bool namesFile(jet::Error::Kind kind) {
        return kind == jet::Error::Kind::Io || kind == jet::Error::Kind::Busy ||
               kind == jet::Error::Kind::Corrupt || kind == jet::Error::Kind::Full;
    }

    QString message_;
    std::optional<jet::Error::Kind> kind_;
};

// The connection string that opens path. The path goes in as it is unless it
// holds ";" or a quote (or starts with a blank), which would otherwise end or
// change the value; then it is quoted.
QString accessConnectionString(const QString& path);

// Splits a connection string into its parts, in order, names as written.
// Throws TAccessError on an unterminated quote or a part without "=".
std::vector<std::pair<QString, QString>> parseConnectionString(const QString& text);

class TAccessDataset;

class TAccessConnection {
public:
    TAccessConnection() = default;
    TAccessConnection(const TAccessConnection&) = delete;
    TAccessConnection& operator=(const TAccessConnection&) = delete;
    ~TAccessConnection();

    void setConnectionString(const QString& text) { connectionString_ = text; }
    const QString& connectionString() const { return connectionString_; }

    // Opens the file that the connection string names (never creates one).
    void open();
    // Harmless when closed. Closes the cursors on the connection; an open
    // transaction is discarded.
    void close();
    bool isOpen() const { return db_ != nullptr; }

    void beginTrans();
    // Makes every row posted since beginTrans() permanent.
    void commitTrans();
    // The same, writing in the background while the next rows are posted;
    // a later commit or rollback waits for it and reports its failure.
    void commitTransInBackground();
    void rollbackTrans();
    bool inTransaction() const;

    // The open database; throws when closed.
    jet::Database& database() const;

private:
    friend class TAccessDataset;
    friend class TAccessCommand;
    // Cursors re-read their table before the next row: a statement or a
    // rollback may have changed or removed it.
    void detachCursors();

    QString connectionString_;
    std::unique_ptr<jet::Database> db_;
    std::vector<TAccessDataset*> datasets_;
};

class TAccessCommand {
public:
    explicit TAccessCommand(TAccessConnection& connection) : connection_(connection) {}

    void setCommandText(const QString& text) { commandText_ = text; }
    const QString& commandText() const { return commandText_; }
    // Runs a drop, create table or create index. The change is visible at once.
    void execute();

private:
    TAccessConnection& connection_;
    QString commandText_;
};

class TAccessDataset {
public:
    explicit TAccessDataset(TAccessConnection& connection);
    TAccessDataset(const TAccessDataset&) = delete;
    TAccessDataset& operator=(const TAccessDataset&) = delete;
    ~TAccessDataset();

    void setCommandText(const QString& text) { commandText_ = text; }
    const QString& commandText() const { return commandText_; }
    // Runs the query: "select * | 1 from [T] where 1=0". Fails when T is missing.
    void open();
    // Harmless when closed; a row appended and not posted is dropped.
    void close();
    bool isOpen() const { return open_; }

    // The result's columns: the table's for "select *", one for "select 1".
    int fieldCount() const;
    QString fieldName(int i) const;
    // Position of a column, letter case ignored, or -1.
    int fieldIndex(const QString& name) const;
    // The type of a column of a table's result (Text for "select 1").
    jet::ColumnType fieldType(int i) const;
    // The results this cursor opens are empty.
    bool eof() const { return true; }

    // Starts a new row, every column Null. A row still pending is posted first.
    void append();
    // Sets a column of the new row. The value is converted to the column's type
    // now; a name the table lacks or a value the column cannot hold fails naming
    // the column and leaves the row as it was.
    void setValue(const QString& name, jet::Value value);
    void setValue(const QString& name, const TOracleValue& value);
    void setValue(const QString& name, const QString& text);
    void setValue(int field, jet::Value value);
    // Inserts the new row, or fails with the engine's message and stores nothing.
    // Either way the row is finished.
    void post();

    // For copy loops, where each value is converted once, on its way into the
    // row: the value is kept as given and converted by postKeepingWhatFits().
    void setUnconvertedValue(int field, jet::Value value);
    // The same for a value read from Oracle (toJetValue), reusing the buffer
    // the column's text had in earlier rows.
    void setUnconvertedValue(int field, const TOracleValue& value);
    // Like post(), except that a value its column cannot hold is left out (the
    // column stays empty) instead of failing the row. Returns the fields left
    // out, in order; almost always none.
    std::vector<int> postKeepingWhatFits();
    bool isAppending() const { return appending_; }

private:
    friend class TAccessConnection;
    void requireAppending() const;
    jet::Value& unconvertedSlot(int field);  // throws unless appending and field exists
    void detach();

    void load(const jet::TableDef& table);
    // Reads the table again after a statement or rollback, before the next use.
    void refresh();

    TAccessConnection& connection_;
    QString commandText_;
    bool open_ = false;
    bool updatable_ = false;
    bool stale_ = false;  // a statement ran since the columns were read
    std::vector<jet::ColumnDef> columns_;
    QStringList fieldNames_;
    QHash<QString, int> exact_;   // names as stored: the usual hit
    QHash<QString, int> folded_;  // case-folded names
    std::optional<jet::RowInserter> inserter_;
    jet::ConvertContext context_;
    std::string tableName_;
    jet::Row row_;
    // Per column, the buffer of a text posted earlier, for the next one.
    std::vector<std::string> spareText_;
    bool appending_ = false;
};

class TAccessTarget {
public:
    TAccessTarget() = default;
    TAccessTarget(const TAccessTarget&) = delete;
    TAccessTarget& operator=(const TAccessTarget&) = delete;

    TAccessConnection accconnection;
    TAccessCommand accesssql{accconnection};
    TAccessDataset accdataset{accconnection};
};

// The engine's value for a value read from Oracle: texts as UTF-8, exact
// decimals as their digits, date-times as their wall clock (an offset from UTC
// is dropped, as Access keeps none).
jet::Value toJetValue(const TOracleValue& value);

}  // namespace dbaccess
