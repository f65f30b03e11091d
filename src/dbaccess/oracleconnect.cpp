#include "dbaccess/oracleconnect.h"

namespace dbaccess {

QStringList oracleConnectionLines(const QString& service, const QString& user,
                                  const QString& password) {
    return {
        QStringLiteral("Database=") + service,
        QStringLiteral("User_Name=") + user,
        QStringLiteral("Password=") + password,
        QStringLiteral("DriverName=Oracle"),
        QStringLiteral("RowsetSize=20"),
        QStringLiteral("BlobSize=-1"),
        QStringLiteral("LocaleCode=0000"),
        QStringLiteral("ErrorResourceFile="),
        QStringLiteral("Oracle TransIsolation=ReadCommited"),
        QStringLiteral("OS Authentication=False"),
        QStringLiteral("Multiple Transaction=False"),
        QStringLiteral("Trim Char=False"),
    };
}

void openOracleConnection(TOracleSource& source, const QString& service, const QString& user,
                          const QString& password) {
    source.oracleconn.close();
    source.oracleconn.setParams(oracleConnectionLines(service, user, password));
    source.oracleconn.open();
}

QStringList listOracleTables(TOracleSource& source) {
    TOracleCursor& cursor = source.oracledata;
    if (cursor.isOpen()) cursor.close();
    cursor.setQuery(kTableListQuery);
    cursor.open();
    QStringList names;
    for (cursor.first(); !cursor.atEnd(); cursor.next()) names.append(cursor.firstColumnText());
    cursor.close();
    return names;
}

}  // namespace dbaccess
