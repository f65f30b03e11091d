#include "dbaccess/oracleconnect.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

using namespace dbaccess;

TEST(OracleConnectionLines, AreTheTwelveLinesInOrderWithTheFieldsAsTyped) {
    const QStringList expected = {
        QStringLiteral("Database= orcl "),
        QStringLiteral("User_Name=scott"),
        QStringLiteral("Password=ti=ger"),
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
    EXPECT_EQ(oracleConnectionLines(QStringLiteral(" orcl "), QStringLiteral("scott"),
                                    QStringLiteral("ti=ger")),
              expected);

    const QStringList empty = oracleConnectionLines(QString(), QString(), QString());
    EXPECT_EQ(empty.mid(0, 3),
              (QStringList{QStringLiteral("Database="), QStringLiteral("User_Name="),
                           QStringLiteral("Password=")}));

    TOracleConnection connection;
    connection.setParams(expected);
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
