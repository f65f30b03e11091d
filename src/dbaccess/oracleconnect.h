#pragma once

// The two wizard steps that talk to Oracle before a conversion, without widgets:
// opening the connection from the Oracle page, and listing the user's tables.

#include <QString>
#include <QStringList>

#include "dbaccess/oraclesource.h"

namespace dbaccess {

inline const QString kTableListQuery =
    QStringLiteral("select  table_name   from   user_tables order by table_name");

// The twelve connection lines, in order; the three texts go in as typed.
QStringList oracleConnectionLines(const QString& service, const QString& user,
                                  const QString& password);

// Closes the connection, replaces its lines by the twelve above and opens it.
// A failure propagates with the client's message.
void openOracleConnection(TOracleSource& source, const QString& service, const QString& user,
                          const QString& password);

// Runs the table-list query on oracledata and returns the first column of each
// row, in the query's order; the cursor is closed afterwards.
QStringList listOracleTables(TOracleSource& source);

}  // namespace dbaccess
