#include "settings/settingsstore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include "testfiles.h"

namespace {

// A store in memory that records what is asked of it and can refuse.
class FakeStore : public TSettingsStore {
public:
    QMap<QString, QString> values;
    QStringList notText;  // values stored under a non-text type
    QString failWriteAt;  // the value whose write fails
    bool exists = true;
    bool writable = true;
    QStringList reads, writes;

    bool openRead() override { return exists; }
    bool openWrite() override { return writable; }
    QString readText(const QString& name) override {
        reads << name;
        if (notText.contains(name))
            throw TSettingsError(QStringLiteral("Invalid data type for '%1'").arg(name));
        return values.value(name);
    }
    void writeText(const QString& name, const QString& value) override {
        if (name == failWriteAt)
            throw TSettingsError(QStringLiteral("Failed to set data for '%1'").arg(name));
        writes << name;
        values[name] = value;
    }
    bool close() override { return true; }
};

TConversionSettings loaded(FakeStore& store) {
    TConversionSettings s;
    LoadSettings(store, s);
    return s;
}

}  // namespace

TEST(StoredSettings, FirstStartKeepsTheInitialValues) {
    FakeStore store;
    store.exists = false;
    const TConversionSettings s = loaded(store);
    EXPECT_TRUE(store.reads.isEmpty());
    EXPECT_EQ(s.oracleh, QString());
    EXPECT_EQ(s.port, QStringLiteral("3306"));
    EXPECT_EQ(s.processtable, 0);
    EXPECT_EQ(s.accessformat, 0);
    EXPECT_FALSE(s.tabledefonly || s.skipindex || s.blobtotext || s.nameuppercase);
    EXPECT_EQ(s.accessfilename, QString());
    EXPECT_EQ(TargetDialogFolder(s, QStringLiteral("/srv/jobs/")), QStringLiteral("/srv/jobs/"));
}

TEST(StoredSettings, ReadsAndWritesInTheirFixedOrder) {
    FakeStore store;
    TConversionSettings s = loaded(store);
    EXPECT_EQ(
        store.reads.join(u' '),
        QStringLiteral("accessmode mysqldatabase mysqlu mysqlp host port defaultaccessdir oracleh "
                       "oracleu oraclep processtable tabledefonly nameuppercase skipindex "
                       "blobtotext accessformat"));
    s.accessfilename = QStringLiteral("/data/new.mdb");
    EXPECT_EQ(SaveSettings(store, s), QString());
    EXPECT_EQ(
        store.writes.join(u' '),
        QStringLiteral("accessmode mysqldatabase mysqlu mysqlp host port oracleh oraclep oracleu "
                       "processtable tabledefonly nameuppercase skipindex blobtotext "
                       "defaultaccessdir accessformat"));
}

TEST(StoredSettings, IndexesFlagsAndPortFollowTheirTextRules) {
    struct Case {
        const char* name;
        const char* stored;
        int processtable, accessformat;
    };
    // processtable: radio group of 3; accessformat: list of 2.
    const Case cases[] = {
        {"two", "2", 2, kNoItem},
        {"nine", "9", 2, kNoItem},
        {"letters", "x", 0, 0},
        {"empty", "", 0, 0},
        {"one", "1", 1, 1},
        {"minus one", "-1", -1, kNoItem},
        {"minus five", "-5", -1, kNoItem},
        {"blank before", " 1", 0, 0},
        {"beyond 32 bits", "4294967296", 0, 0},
    };
    for (const Case& c : cases) {
        FakeStore store;
        store.values[QStringLiteral("processtable")] = QString::fromLatin1(c.stored);
        store.values[QStringLiteral("accessformat")] = QString::fromLatin1(c.stored);
        const TConversionSettings s = loaded(store);
        EXPECT_EQ(s.processtable, c.processtable) << c.name;
        EXPECT_EQ(s.accessformat, c.accessformat) << c.name;
    }
    for (const char* off : {"true", "01", " 1", "1 ", ""}) {
        FakeStore store;
        store.values[QStringLiteral("skipindex")] = QString::fromLatin1(off);
        EXPECT_FALSE(loaded(store).skipindex) << off;
    }
    FakeStore store;
    store.values[QStringLiteral("skipindex")] = QStringLiteral("1");
    store.values[QStringLiteral("port")] = QString();
    store.values[QStringLiteral("accessmode")] = QStringLiteral("7");
    const TConversionSettings s = loaded(store);
    EXPECT_TRUE(s.skipindex);
    EXPECT_EQ(s.port, QStringLiteral("3306"));
    EXPECT_EQ(s.accessmode, 1);
}

TEST(StoredSettings, ValuesThatAreNotTextArePassedOver) {
    FakeStore store;
    store.values[QStringLiteral("processtable")] = QStringLiteral("2");
    store.values[QStringLiteral("oracleu")] = QStringLiteral("scott");
    store.values[QStringLiteral("port")] = QStringLiteral("1");
    store.notText = {QStringLiteral("processtable"), QStringLiteral("port")};
    TConversionSettings s;
    const QStringList problems = LoadSettings(store, s);
    EXPECT_EQ(problems, QStringList({QStringLiteral("Invalid data type for 'port'"),
                                     QStringLiteral("Invalid data type for 'processtable'")}));
    EXPECT_EQ(s.processtable, 0);
    EXPECT_EQ(s.port, QStringLiteral("3306"));
    EXPECT_EQ(s.oracleu, QStringLiteral("scott"));  // loading went on
}

TEST(StoredSettings, SavingStopsAtTheValueThatFails) {
    FakeStore store;
    store.failWriteAt = QStringLiteral("processtable");
    TConversionSettings s;
    EXPECT_EQ(SaveSettings(store, s), QStringLiteral("Failed to set data for 'processtable'"));
    EXPECT_EQ(store.writes.last(), QStringLiteral("oracleu"));
    EXPECT_FALSE(store.values.contains(QStringLiteral("tabledefonly")));

    FakeStore locked;
    locked.writable = false;
    EXPECT_EQ(SaveSettings(locked, s), QString());
    EXPECT_TRUE(locked.values.isEmpty());
}

TEST(StoredSettings, TargetFolderIsKeptWithItsSeparator) {
    FakeStore store;
    TConversionSettings s;
    s.accessfilename = QStringLiteral("/data/new.mdb");
    SaveSettings(store, s);
    TConversionSettings next = loaded(store);
    EXPECT_EQ(next.defaultaccessdir, QStringLiteral("/data/"));
    EXPECT_EQ(next.accessfilename, QString());
    EXPECT_EQ(TargetDialogFolder(next, QStringLiteral("/srv/jobs/")), QStringLiteral("/data/"));

    // Ending before any target file was chosen keeps the stored folder.
    SaveSettings(store, next);
    EXPECT_EQ(store.values[QStringLiteral("defaultaccessdir")], QStringLiteral("/data/"));
}

TEST(StoredSettings, FolderPartOfTargetPaths) {
    EXPECT_EQ(FolderPart(QStringLiteral("D:\\data\\new.mdb")), QStringLiteral("D:\\data\\"));
    EXPECT_EQ(FolderPart(QStringLiteral("D:new.mdb")), QStringLiteral("D:"));
    EXPECT_EQ(FolderPart(QStringLiteral("new.mdb")), QString());
#ifndef Q_OS_WIN
    // "\" and ":" are ordinary characters of Linux file names.
    EXPECT_EQ(FolderPart(QStringLiteral("/data/a:b\\c.mdb")), QStringLiteral("/data/"));
#endif
}

TEST(StoredSettings, IniFileRoundTripKeepsEveryTextExactly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("sub/Glimmerstack.conf"));
    TConversionSettings s;
    s.accessmode = 1;
    s.mysqldatabase = QStringLiteral("db");
    s.mysqlp = QStringLiteral("a,b");
    s.host = QStringLiteral("@host");
    s.port = QStringLiteral("3307");
    s.oracleh = QStringLiteral("sqlite:/x y/z.sqlite");
    s.oracleu = QStringLiteral(" scott ");
    s.oraclep = QStringLiteral("p=w;\"q\"\\ #ü€\nx");
    s.processtable = 2;
    s.tabledefonly = true;
    s.nameuppercase = true;
    s.blobtotext = true;
    s.accessformat = 1;
    s.accessfilename = QStringLiteral("/tmp/out/new.mdb");
    // One store serves the start's load and the end's save, as in the program.
    TQSettingsStore store(path);
    TConversionSettings first;
    EXPECT_TRUE(LoadSettings(store, first).isEmpty());
    EXPECT_EQ(first, TConversionSettings());
    EXPECT_EQ(SaveSettings(store, s), QString());
#ifndef Q_OS_WIN
    EXPECT_EQ(unixMode(path), 0600u);
#endif
    TQSettingsStore reopened(path);
    TConversionSettings back;
    EXPECT_TRUE(LoadSettings(reopened, back).isEmpty());
    // The target file itself is not kept, only its folder.
    s.accessfilename.clear();
    s.defaultaccessdir = QStringLiteral("/tmp/out/");
    EXPECT_EQ(back, s);
}

TEST(StoredSettings, IniValuesThatAreNotASingleText) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.conf"));
    writeBytes(
        path,
        "[General]\noracleu=scott\noraclep=a,b\naccessformat=@ByteArray(1)\nprocesstable=2\n");
    TQSettingsStore store(path);
    TConversionSettings s;
    const QStringList problems = LoadSettings(store, s);
    EXPECT_EQ(problems, QStringList({QStringLiteral("Invalid data type for 'oraclep'"),
                                     QStringLiteral("Invalid data type for 'accessformat'")}));
    EXPECT_EQ(s.oracleu, QStringLiteral("scott"));
    EXPECT_EQ(s.oraclep, QString());
    EXPECT_EQ(s.processtable, 2);
    EXPECT_EQ(s.accessformat, 0);
}

#ifndef Q_OS_WIN
TEST(StoredSettings, AnExistingStoreIsNarrowedToItsOwner) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.conf"));
    writeBytes(path, "");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup | QFileDevice::ReadOther));
    TQSettingsStore store(path);
    EXPECT_EQ(SaveSettings(store, TConversionSettings()), QString());
    EXPECT_EQ(unixMode(path), 0600u);
}
#endif

#ifndef Q_OS_WIN
TEST(StoredSettings, TheProgramsStoreIsItsOwnersFileUnderTheConfigFolder) {
    TQSettingsStore store;
    const QString path = store.fileName();
    EXPECT_EQ(path, qEnvironmentVariable("XDG_CONFIG_HOME") +
                        QStringLiteral("/Marrowline/Glimmerstack.conf"));
    TConversionSettings s;
    s.oraclep = QStringLiteral("tiger");
    EXPECT_EQ(SaveSettings(store, s), QString());
    EXPECT_EQ(unixMode(path), 0600u);
    EXPECT_TRUE(fileBytes(path).contains("oraclep=tiger"));
}
#endif
