#include "dbaccess/oracleconnect.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

using namespace dbaccess;

TEST(OracleConnectionLines, CarryTheFieldsAsTyped) {
    const QStringList lines = oracleConnectionLines(
        QStringLiteral(" orcl "), QStringLiteral("scott"), QStringLiteral("ti=ger"));
    EXPECT_EQ(lines.mid(0, 3),
              (QStringList{QStringLiteral("Database= orcl "), QStringLiteral("User_Name=scott"),
                           QStringLiteral("Password=ti=ger")}));

    TOracleConnection connection;
    connection.setParams(lines);
    EXPECT_EQ(connection.param(QStringLiteral("password")), QStringLiteral("ti=ger"));
    EXPECT_EQ(connection.param(QStringLiteral("Database")), QStringLiteral(" orcl "));
    EXPECT_EQ(connection.param(QStringLiteral("ErrorResourceFile")), QString());
}

TEST(OpenOracleConnection, ReplacesTheLinesAndReopensWithTheNewService) {
    TOracleSource source;
    const QString sample = QStringLiteral("sqlite:" FERROVANE_SAMPLE_SNAPSHOT);
    openOracleConnection(source, sample, QStringLiteral("u"), QStringLiteral("p"));
    source.oracledata.setQuery(QStringLiteral("select * from DEPARTMENTS"));
    source.oracledata.open();

    // Going back and forth opens the connection again: earlier cursors close.
    const QString missing = QStringLiteral("sqlite:") + QDir::tempPath() +
                            QStringLiteral("/ferrovane-no-such-snapshot.sqlite");
    try {
        openOracleConnection(source, missing, QString(), QString());
        FAIL() << "opened a missing snapshot";
    } catch (const TOracleError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("not found"))) << e.what();
    }
    EXPECT_FALSE(source.oracleconn.isOpen());
    EXPECT_FALSE(source.oracledata.isOpen());
    EXPECT_EQ(source.oracleconn.params().size(), 12);
    EXPECT_EQ(source.oracleconn.params().first(), QStringLiteral("Database=") + missing);
    EXPECT_FALSE(QFileInfo::exists(missing.mid(7)));  // never created
}
