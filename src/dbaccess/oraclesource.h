#pragma once

// TOracleSource: one Oracle connection (oracleconn) and two forward-only query
// cursors on it (oracledataset for dictionary queries, oracledata for the table
// list and table rows).
//
// The connection is set up by name=value lines. "Database=" names the service: a
// TNS alias or Easy Connect string for Oracle, or "sqlite:" + path for a local
// snapshot. "User_Name=" and "Password=" log on; other lines are kept but unused.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "dbaccess/oracledriver.h"
#include "dbaccess/oraclevalue.h"

namespace dbaccess {

class TOracleCursor;

class TOracleConnection {
public:
    TOracleConnection() = default;
    TOracleConnection(const TOracleConnection&) = delete;
    TOracleConnection& operator=(const TOracleConnection&) = delete;
    ~TOracleConnection();

    // Replaces all earlier lines.
    void setParams(const QStringList& lines) { params_ = lines; }
    const QStringList& params() const { return params_; }
    // The value of the first line "name=..." (name without regard to case).
    QString param(const QString& name) const;

    // Logs on with the current lines; throws TOracleError with the client's text.
    void open();
    // Harmless when closed; closes every cursor that runs on the connection.
    void close();
    bool isOpen() const { return session_ != nullptr; }

    OracleSession& session() const;

private:
    friend class TOracleCursor;
    QStringList params_;
    std::shared_ptr<OracleSession> session_;
    std::vector<TOracleCursor*> cursors_;
};

class TOracleCursor {
public:
    explicit TOracleCursor(TOracleConnection& connection);
    TOracleCursor(const TOracleCursor&) = delete;
    TOracleCursor& operator=(const TOracleCursor&) = delete;
    ~TOracleCursor();

    void close();  // harmless when closed
    void setQuery(const QString& sql) { query_ = sql; }
    const QString& query() const { return query_; }
    // Runs the query on the connection and stands on the first row.
    void open();
    bool isOpen() const { return result_ != nullptr; }

    // Forward only: first() is allowed while no row has been passed.
    void first();
    void next();
    bool atEnd() const { return atEnd_; }

    int columnCount() const { return static_cast<int>(columns().size()); }
    const QString& columnName(int i) const { return columns().at(static_cast<size_t>(i)).name; }
    // Position of a column, letter case ignored; throws when the result lacks it.
    int columnIndex(const QString& name) const;
    // Called per value in row loops: the usual case inline, the checks out of line.
    const TOracleValue& value(int i) const {
        if (result_ && !atEnd_ && !anyUnreadable_ && i >= 0 && static_cast<size_t>(i) < row_.size())
            return row_[static_cast<size_t>(i)];
        return checkedValue(i);
    }
    const TOracleValue& valueByName(const QString& name) const { return value(columnIndex(name)); }
    QString firstColumnText() const { return value(0).toText(); }
    bool isBlob(const QString& name) const;
    // Every byte of the column's value; empty for Null.
    QByteArray blobContent(const QString& name) const;

private:
    friend class TOracleConnection;
    const std::vector<TOracleColumn>& columns() const;
    void requireRow() const;
    const TOracleValue& checkedValue(int i) const;

    TOracleConnection& connection_;
    QString query_;
    std::unique_ptr<OracleResult> result_;
    std::vector<TOracleValue> row_;
    bool atEnd_ = true;
    bool moved_ = false;
    bool anyUnreadable_ = false;  // value() checks the column only then
};

class TOracleSource {
public:
    TOracleSource() = default;
    TOracleSource(const TOracleSource&) = delete;
    TOracleSource& operator=(const TOracleSource&) = delete;

    TOracleConnection oracleconn;
    TOracleCursor oracledataset{oracleconn};
    TOracleCursor oracledata{oracleconn};
};

}  // namespace dbaccess
