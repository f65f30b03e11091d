#pragma once

// What TOracleSource asks of a driver: a session that runs one query at a time
// per result and hands back rows in order. Two drivers exist: the Oracle Call
// Interface loaded at run time, and the local SQLite snapshot.

#include <QString>
#include <memory>
#include <stdexcept>
#include <vector>

#include "dbaccess/oraclevalue.h"

namespace dbaccess {

// Every failure on the Oracle side. The message is the client's or server's own
// text ("ORA-00942: table or view does not exist") or ours where there is none.
class TOracleError : public std::runtime_error {
public:
    explicit TOracleError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

struct TOracleColumn {
    QString name;         // as the server reports it
    bool isBlob = false;  // a BLOB column: binary large object, not RAW or LONG RAW
    // The Oracle type of a column this program cannot read (an object type,
    // XMLTYPE, BFILE...); empty for every readable column. Such a column stays
    // in the result so that the rest of the row can be read.
    QString unreadableType = {};
};

class OracleResult {
public:
    virtual ~OracleResult() = default;
    virtual const std::vector<TOracleColumn>& columns() const = 0;
    // Fills row (sized to the column count) with the next row; false at the end.
    virtual bool fetch(std::vector<TOracleValue>& row) = 0;
};

class OracleSession {
public:
    virtual ~OracleSession() = default;
    virtual std::unique_ptr<OracleResult> query(const QString& sql) = 0;
};

// The service text that selects the snapshot driver: "sqlite:" + file path.
inline constexpr char kSnapshotPrefix[] = "sqlite:";

std::shared_ptr<OracleSession> openOciSession(const QString& database, const QString& user,
                                              const QString& password);
std::shared_ptr<OracleSession> openSnapshotSession(const QString& path);

}  // namespace dbaccess
