// The target file and working folder: what is written where no file exists,
// what is left alone where one does, and how the connection finds the file.

#include "engine/ucc.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "dbaccess/accesstarget.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray templateBytes(const char* name) {
    return readAll(QStringLiteral(FERROVANE_SOURCE_DIR "/src/engine/templates/") + name);
}

QString mdbVersion(const QString& file) {
    QProcess p;
    p.start("mdb-ver", {file});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

class TargetFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
};

TEST_F(TargetFileTest, MissingFileGetsTheTemplateOfItsFormat) {
    struct Case {
        int formatIndex;
        const char* templ;
        char versionByte;
        const char* mdbVer;
    };
    for (const Case& c : {Case{1, "mdb2000.mdb", 1, "JET4"}, Case{0, "mdb95.mdb", 0, "JET3"},
                          Case{-1, "mdb95.mdb", 0, "JET3"}, Case{7, "mdb95.mdb", 0, "JET3"}}) {
        SCOPED_TRACE(c.formatIndex);
        const QString path = dir.filePath(QStringLiteral("t%1.mdb").arg(c.formatIndex));
        Tcc::PrepareTargetFile(path, c.formatIndex);
        const QByteArray written = readAll(path);
        const QByteArray expected = templateBytes(c.templ);
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_EQ(written, expected);
        EXPECT_EQ(written.left(20), QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20));
        EXPECT_EQ(written.at(0x14), c.versionByte);
        EXPECT_EQ(mdbVersion(path), c.mdbVer);

        // The written file opens and takes a table.
        dbaccess::TAccessTarget target;
        Tcc::OpenTarget(target.accconnection, path);
        target.accesssql.setCommandText("Create table [T] (\r\n[A] Integer\r\n ) ");
        target.accesssql.execute();
    }
}

TEST_F(TargetFileTest, ExistingFileIsLeftByteForByte) {
    const QString path = dir.filePath("mine.mdb");
    const QByteArray mine("not a database, and not ours to replace");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(mine);
    f.close();
    for (int index : {-1, 0, 1}) Tcc::PrepareTargetFile(path, index);
    EXPECT_EQ(readAll(path), mine);

    // Opening it is what fails, with the engine's message; the file stays.
    dbaccess::TAccessTarget target;
    EXPECT_THROW(Tcc::OpenTarget(target.accconnection, path), dbaccess::TAccessError);
    EXPECT_EQ(readAll(path), mine);
}

TEST_F(TargetFileTest, UncreatableFileNamesPathAndReason) {
    const QString path = dir.filePath("no such folder/target.mdb");
    try {
        Tcc::PrepareTargetFile(path, 1);
        FAIL() << "no error";
    } catch (const TFileCreateError& e) {
        const QString prefix = "Cannot create file \"" + path + "\". ";
        EXPECT_TRUE(e.message().startsWith(prefix)) << e.message().toStdString();
        EXPECT_GT(e.message().size(), prefix.size());  // the system's reason follows
    }
    EXPECT_FALSE(QFileInfo::exists(path));

    // A folder at the path is no file: it is not "existing", and cannot be created.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mdb"));
    EXPECT_THROW(Tcc::PrepareTargetFile(dir.filePath("folder.mdb"), 0), TFileCreateError);
}

TEST_F(TargetFileTest, SemicolonInPathOpensThePreparedFile) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("x;Data Source=other.mdb"));
    const QString path = dir.filePath("x;Data Source=other.mdb/target.mdb");
    Tcc::PrepareTargetFile(path, 0);
    dbaccess::TAccessTarget target;
    Tcc::OpenTarget(target.accconnection, path);
    EXPECT_EQ(QString::fromStdString(target.accconnection.database().path().string()), path);
}

TEST(WorkingFolder, AppDataFolderAndQuarrendellWithFinalSeparator) {
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/srv/u1/.local/share");
    EXPECT_EQ(Tcc::WorkingFolder(), "/srv/u1/.local/share/Quarrendell/");
    if (old.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", old);
}

}  // namespace
