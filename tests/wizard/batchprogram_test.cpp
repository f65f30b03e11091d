// The program itself, started with a setting file as a batch run in a child
// process on the offscreen platform, as cron would start it: its exit status,
// the log beside the setting file and the target file it leaves.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

#include "engine/ucc.h"
#include "fakedialogs.h"
#include "settings/batchrun.h"
#include "settings/settingfile.h"
#include "settings/umarfrm_bat.h"
#include "wizard/taaform1.h"

namespace {

const QString kProgram = QStringLiteral(FERROVANE_PROGRAM);
const QString kService = QStringLiteral("sqlite:" FERROVANE_SAMPLE_SNAPSHOT);

struct Finished {
    int exitCode = -1;
    QString errors;  // standard error
};

class BatchProgram : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }

    // Nobody at a display, and a settings store and data folder of the test's own.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        return env;
    }

    Finished start(const QString& program, const QStringList& arguments) const {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(dir.path());
        process.start(program, arguments);
        Finished f;
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the program did not end by itself";
            return f;
        }
        f.exitCode = process.exitCode();
        f.errors = QString::fromLocal8Bit(process.readAllStandardError());
        return f;
    }

    Finished run(const QString& settingFile) const { return start(kProgram, {settingFile}); }

    // A setting file as the shortcut window writes it, converting `tables`
    // (all of them when empty) of the sample into target.
    static TShortcutChoice sampleChoice(const QString& target, const QStringList& tables = {}) {
        TShortcutChoice c;
        c.oracleh = kService;
        c.oracleu = QStringLiteral("demo");
        c.oraclep = QStringLiteral("s3cret=pw");
        c.accessfilename = target;
        c.accessformat = 1;
        c.alltables = tables.isEmpty() ? 1 : 0;
        c.tables = tables;
        return c;
    }

    QString writeSetting(const QString& name, const QStringList& lines) const {
        const QString file = path(name);
        WriteTextFile(file, lines);
        return file;
    }

    static QStringList logOf(const QString& settingFile) {
        try {
            return ReadTextFile(LogFilePath(settingFile));
        } catch (const TTextFileError&) {
            return {};
        }
    }

    // mdbinspect's output; ok is its exit status 0.
    static QString inspect(const QStringList& arguments, bool* ok = nullptr) {
        QProcess p;
        p.start(QStringLiteral(FERROVANE_MDBINSPECT), arguments);
        p.waitForFinished(60000);
        if (ok) *ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    static void expectVerified(const QString& mdb) {
        bool ok = false;
        const QString out = inspect({QStringLiteral("verify"), mdb}, &ok);
        EXPECT_TRUE(ok) << out.toStdString();
    }

    // The target's table names, in the inspector's order.
    static QStringList tablesOf(const QString& mdb) {
        QStringList names;
        const QString out = inspect({QStringLiteral("tables"), mdb});
        for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
            names << line.section(u'\t', 0, 0);
        return names;
    }

    // The log of a run that reached its end: the start line, the run's lines,
    // the closing lines and the end line.
    static void expectCompleteLog(const QStringList& log) {
        ASSERT_GE(log.size(), 4);
        EXPECT_TRUE(log.first().startsWith(QStringLiteral("Start time:")));
        EXPECT_EQ(log.at(log.size() - 3), QStringLiteral("Conversion is Completed"));
        EXPECT_EQ(log.at(log.size() - 2),
                  QStringLiteral("Wizard has migrated your Oracle database to Access successfully."));
        EXPECT_TRUE(log.last().startsWith(QStringLiteral("The end time:")));
    }

    static qsizetype indexOf(const QStringList& log, const QString& line) { return log.indexOf(line); }
};

}  // namespace

TEST_F(BatchProgram, AllTablesOfTheSampleAndTheStoredSettingsAfterwards) {
    const QString target = path(QStringLiteral("all.mdb"));
    const QString setting = writeSetting(QStringLiteral("all.kvtask"),
                                         SettingFileLines(sampleChoice(target)));
    const Finished f = run(setting);
    const QStringList log = logOf(setting);
    // The sample holds an index on an expression, which Access cannot make:
    // the run goes on to its end, and the status tells of the failed step.
    EXPECT_EQ(f.exitCode, static_cast<int>(TBatchExit::TableStepsFailed)) << f.errors.toStdString();
    expectCompleteLog(log);
    EXPECT_TRUE(log.contains(QStringLiteral("Insert table ORDER_LINES 12000 Rows ...Done")));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString& line) {
        return line.startsWith(QStringLiteral(
            "Table 'EMPLOYEES', index 'IX_EMP_EMAIL_UPPER', column 'SYS_NC00011$': cannot create "
            "the index: the table has no such column"));
    }));
    EXPECT_FALSE(log.join(u'\n').contains(QStringLiteral("s3cret")));
    const QStringList tables = tablesOf(target);
    for (const char* name : {"DEPARTMENTS", "EMPLOYEES", "ORDER_LINES", "EMPTY_ARCHIVE"})
        EXPECT_TRUE(tables.contains(QLatin1String(name))) << name;
    expectVerified(target);

    // The stored settings hold what the run used: the file's values, empty
    // server fields and no upper-case names, readable by their owner only.
    const QString conf = path(QStringLiteral("config/Marrowline/Glimmerstack.conf"));
    QSettings stored(conf, QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("oracleh")).toString(), kService);
    EXPECT_EQ(stored.value(QStringLiteral("oraclep")).toString(), QStringLiteral("s3cret=pw"));
    EXPECT_EQ(stored.value(QStringLiteral("accessformat")).toString(), QStringLiteral("1"));
    EXPECT_EQ(stored.value(QStringLiteral("nameuppercase")).toString(), QStringLiteral("0"));
    EXPECT_EQ(stored.value(QStringLiteral("port")).toString(), QString());
    EXPECT_EQ(stored.value(QStringLiteral("defaultaccessdir")).toString(), dir.path() + u'/');
    EXPECT_EQ(QFile::permissions(conf) & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());
}

TEST_F(BatchProgram, AKeyNamingNoTableConvertsNothingAndStillEnds) {
    const QString target = path(QStringLiteral("none.mdb"));
    const QString setting = writeSetting(
        QStringLiteral("none.kvtask"),
        SettingFileLines(sampleChoice(target, {QStringLiteral("NOT_A_TABLE")})));
    const Finished f = run(setting);
    const QStringList log = logOf(setting);
    EXPECT_EQ(f.exitCode, 0) << f.errors.toStdString();
    expectCompleteLog(log);
    EXPECT_EQ(log.size(), 4);
    EXPECT_TRUE(tablesOf(target).isEmpty());
    expectVerified(target);
}

TEST_F(BatchProgram, AMissingSettingFileLeavesTheTwoLineLog) {
    const QString setting = path(QStringLiteral("missing.kvtask"));
    const Finished f = run(setting);
    EXPECT_EQ(f.exitCode, static_cast<int>(TBatchExit::SettingFileNotLoaded));
    const QStringList log = logOf(setting);
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log.at(0).startsWith(QStringLiteral("Start time:")));
    EXPECT_TRUE(log.at(1).startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(setting)))
        << log.at(1).toStdString();
    EXPECT_TRUE(f.errors.contains(log.at(1)));
    // Nothing else was touched: no target, and the stored settings saved back as loaded.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"missing.log"});
}

TEST_F(BatchProgram, SettingFilesWithByteOrderMarksAreRead) {
    // The target's name is not ASCII, so a wrong decoding would miss it.
    const QString target = path(QStringLiteral("Zürich-数据.mdb"));
    TShortcutChoice c = sampleChoice(target, {QStringLiteral("DEPARTMENTS")});
    c.tabledefonly = true;
    const QString text = SettingFileLines(c).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    const struct {
        const char* name;
        QStringConverter::Encoding encoding;
    } cases[] = {
        {"UTF-8", QStringConverter::Utf8},
        {"UTF-16LE", QStringConverter::Utf16LE},
        {"UTF-16BE", QStringConverter::Utf16BE},
    };
    for (const auto& e : cases) {
        SCOPED_TRACE(e.name);
        QFile::remove(target);
        QStringEncoder encode(e.encoding, QStringEncoder::Flag::WriteBom);
        const QString setting = path(QStringLiteral("bom.kvtask"));
        QFile file(setting);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(encode(text)));
        file.close();
        const Finished f = run(setting);
        const QStringList log = logOf(setting);
        EXPECT_EQ(f.exitCode, 0) << f.errors.toStdString();
        expectCompleteLog(log);
        EXPECT_EQ(tablesOf(target), QStringList{"DEPARTMENTS"});
        expectVerified(target);
    }
}

TEST_F(BatchProgram, AnUnreachableServiceStopsTheWalkWithTheReasonInTheLog) {
    const QString target = path(QStringLiteral("never.mdb"));
    TShortcutChoice c = sampleChoice(target);
    c.oracleh = QStringLiteral("127.0.0.1:9/NOSERVICE");
    const QString setting = writeSetting(QStringLiteral("refused.kvtask"), SettingFileLines(c));
    const Finished f = run(setting);
    EXPECT_EQ(f.exitCode, static_cast<int>(TBatchExit::WalkStopped));
    const QStringList log = logOf(setting);
    ASSERT_EQ(log.size(), 2) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.at(0).startsWith(QStringLiteral("Start time:")));
    EXPECT_FALSE(log.at(1).isEmpty());
    EXPECT_TRUE(f.errors.contains(log.at(1)));
    EXPECT_FALSE(log.join(u'\n').contains(QStringLiteral("s3cret")));
    EXPECT_FALSE(f.errors.contains(QStringLiteral("s3cret")));
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(BatchProgram, ATargetThatCannotBeWrittenStopsTheWalk) {
    // A folder below a regular file cannot be made, not even by root.
    QFile plain(path(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString target = path(QStringLiteral("plain/sub/t.mdb"));
    const QString setting = writeSetting(
        QStringLiteral("unwritable.kvtask"),
        SettingFileLines(sampleChoice(target, {QStringLiteral("DEPARTMENTS")})));
    const Finished f = run(setting);
    const QStringList log = logOf(setting);
    EXPECT_EQ(f.exitCode, static_cast<int>(TBatchExit::WalkStopped)) << f.errors.toStdString();
    ASSERT_EQ(log.size(), 2) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.at(1).contains(target)) << log.at(1).toStdString();
    EXPECT_TRUE(f.errors.contains(log.at(1)));
}

// With a display somebody may be there: the failure waits in its box, no log
// is written and the program does not end by itself.
TEST_F(BatchProgram, WithADisplayAFailureWaitsForTheUser) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) GTEST_SKIP() << "no Xvfb to serve as a display";
    QProcess server;
    server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("800x600x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
    QByteArray number;
    while (!number.contains('\n') && server.waitForReadyRead(10000)) number += server.readAll();
    if (number.trimmed().isEmpty()) GTEST_SKIP() << "Xvfb did not start";

    TShortcutChoice c = sampleChoice(path(QStringLiteral("never.mdb")));
    c.oracleh = QStringLiteral("127.0.0.1:9/NOSERVICE");
    const QString setting = writeSetting(QStringLiteral("shown.kvtask"), SettingFileLines(c));
    QProcessEnvironment env = environment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("DISPLAY"), u':' + QString::fromLatin1(number.trimmed()));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(dir.path());
    program.start(kProgram, {setting});
    // The timer fires after a second; the refusal comes at once.
    EXPECT_FALSE(program.waitForFinished(4000)) << program.readAllStandardError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(LogFilePath(setting)));
    program.kill();
    program.waitForFinished();
    server.kill();
    server.waitForFinished();
}

// The wizard's "Create Shortcut File" writes the setting file and the
// launcher; the launcher starts a real batch run that leaves its log beside
// the setting file.
TEST_F(BatchProgram, TheShortcutWindowsFilesStartARealBatchRun) {
    FakeDialogs dialogs;
    TQSettingsStore store(path(QStringLiteral("wizard.ini")));
    Taaform1 form({}, &store);
    Tmarfrm_bat marfrm_bat;
    marfrm_bat.setProgramPath(kProgram);
    form.marfrm_bat = &marfrm_bat;

    const QString target = path(QStringLiteral("job out/t.mdb"));
    QDir(dir.path()).mkdir(QStringLiteral("job out"));
    form.edtservice->setText(kService);
    form.edtoracleusername->setText(QStringLiteral("demo"));
    form.edtoraclepassword->setText(QStringLiteral("pw=1"));
    form.processtable->setItemIndex(2);
    form.chkskipindex->setChecked(true);
    form.cbaccessformat->setCurrentIndex(1);
    form.editaccessname->setText(target);
    form.selecttables->addItems({QStringLiteral("EMPLOYEES"), QStringLiteral("DEPARTMENTS")});

    const QString shortcut = path(QStringLiteral("night job.sh"));
    dialogs.chosenFile = shortcut;
    // The window is modal: choose "Selected tables" and press its button from
    // inside its own event loop.
    QTimer::singleShot(0, &marfrm_bat, [&] {
        marfrm_bat.rgselecttable->button(0)->click();
        marfrm_bat.Button1Click();
    });
    form.btcreatebatClick();
    ASSERT_FALSE(dialogs.messages.empty());
    const QString setting = path(QStringLiteral("night job.kvtask"));
    EXPECT_EQ(dialogs.messages.back().text,
              QStringLiteral("Success to create \"%1\".\rCreate setting file \"%2\" OK.\rIt will "
                             "build a log file \"%3\" after running with this Shortcut File.")
                  .arg(shortcut, setting, path(QStringLiteral("night job.log"))));

    const QByteArray expected = "oracleh=" + kService.toLocal8Bit() +
                                "\r\noracleu=demo\r\noraclep=pw=1\r\naccessmode=0\r\n"
                                "accessfilename=" + target.toLocal8Bit() +
                                "\r\naccessformat=1\r\nprocesstable=2\r\ntabledefonly=0\r\n"
                                "skipindex=1\r\nblobtotext=0\r\nalltables=0\r\n"
                                "tables1=EMPLOYEES\r\ntables2=DEPARTMENTS\r\n";
    QFile written(setting);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), expected);
    EXPECT_EQ(written.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());

    const Finished f = start(shortcut, {});
    const QStringList log = logOf(setting);
    EXPECT_EQ(f.exitCode, 0) << f.errors.toStdString();
    expectCompleteLog(log);
    EXPECT_LT(indexOf(log, QStringLiteral("Create table EMPLOYEES...Done")),
              indexOf(log, QStringLiteral("Create table DEPARTMENTS...Done")));
    QStringList tables = tablesOf(target);
    tables.sort();
    EXPECT_EQ(tables, (QStringList{"DEPARTMENTS", "EMPLOYEES"}));
    expectVerified(target);
}
