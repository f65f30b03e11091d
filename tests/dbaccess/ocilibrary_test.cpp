// Finding the Oracle client: where it is looked for, and what the user is told
// when it cannot be loaded.

#include "dbaccess/ocilibrary.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "dbaccess/oracledriver.h"

using namespace dbaccess;

TEST(OciLibrary, LooksBesideTheProgramThenOnTheLoaderPathThenInOracleHome) {
    const QStringList list = oci::clientCandidates(QStringLiteral("/opt/ferrovane"),
                                                   QStringLiteral("/opt/oracle/product"));
    ASSERT_FALSE(list.isEmpty());
    EXPECT_EQ(list.first(), QStringLiteral("/opt/ferrovane/libclntsh.so"));
    const auto at = [&](const char* candidate) {
        return list.indexOf(QString::fromLatin1(candidate));
    };
    // Instant Client packages often carry only the versioned names.
    for (const char* name : {"libclntsh.so.23.1", "libclntsh.so.21.1", "libclntsh.so.20.1",
                             "libclntsh.so.19.1", "libclntsh.so.12.1", "libclntsh.so.11.1"})
        EXPECT_GE(list.indexOf(QString::fromLatin1(name)), 0) << name;
    EXPECT_LT(at("/opt/ferrovane/libclntsh.so.19.1"), at("libclntsh.so"));
    EXPECT_LT(at("libclntsh.so.11.1"), at("/opt/oracle/product/lib/libclntsh.so"));
    EXPECT_GE(at("/opt/oracle/product/lib/libclntsh.so.21.1"), 0);

    const QStringList bare = oci::clientCandidates(QString(), QString());
    EXPECT_EQ(bare.first(), QStringLiteral("libclntsh.so"));
    for (const QString& candidate : bare) EXPECT_FALSE(candidate.contains(QLatin1Char('/')));
}

TEST(OciLibrary, AFailedLoadNamesEveryCandidateAndItsReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fake = dir.filePath(QStringLiteral("libclntsh.so"));
    QFile file(fake);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a shared library");
    file.close();
    const QString absent = dir.filePath(QStringLiteral("lib/libclntsh.so.19.1"));

    try {
        oci::openClientLibrary({fake, absent, QStringLiteral("libclntsh.so.0.0-none")});
        FAIL() << "loaded a text file";
    } catch (const TOracleError& e) {
        const QString text = e.message();
        EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot load the Oracle client library")));
        EXPECT_TRUE(text.contains(QStringLiteral("Found but not loaded: ") + fake + " ("))
            << e.what();
        EXPECT_TRUE(text.contains(QStringLiteral("Not found: ") + absent +
                                  QStringLiteral(", libclntsh.so.0.0-none.")))
            << e.what();
        EXPECT_FALSE(text.contains(QStringLiteral("libaio")));
    }
}

TEST(OciLibrary, AMissingLibaioIsNamedWithItsCure) {
    // What the loader says when the client is there but its libaio is not.
    const QString text = oci::clientLoadFailure(
        {{QStringLiteral("libclntsh.so.21.1"),
          QStringLiteral("libaio.so.1: cannot open shared object file: No such file or directory")},
         {QStringLiteral("libclntsh.so.19.1"),
          QStringLiteral("libclntsh.so.19.1: cannot open shared object file: No such file or "
                         "directory")}});
    EXPECT_TRUE(
        text.contains(QStringLiteral("Found but not loaded: libclntsh.so.21.1 (libaio.so.1")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Not found: libclntsh.so.19.1.")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("install the libaio package"))) << text.toStdString();
}
