#include "settings/umarfrm_bat.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include "settings/batchrun.h"
#include "testfiles.h"

namespace {

struct ShortcutWindow : ::testing::Test {
    QTemporaryDir dir;
    Tmarfrm_bat window;
    QStringList messages;
    QString answer;  // the save dialog's answer
    QStringList asked;

    void SetUp() override {
        window.setShowMessage([this](const QString& text) { messages << text; });
        window.setAskShortcutPath([this](const QString& last) {
            asked << last;
            return answer;
        });
        window.setProgramPath(QStringLiteral("/opt/ferrovane/ferrovane"));
        TConversionSettings s;
        s.oracleh = QStringLiteral("orcl");
        s.oracleu = QStringLiteral("scott");
        s.oraclep = QStringLiteral("tiger");
        s.processtable = 1;
        s.accessmode = 1;
        s.accessformat = 0;
        s.skipindex = true;
        s.accessfilename = QStringLiteral("/out/a.mdb");
        window.fill(s, QStringLiteral("Merge"), {QStringLiteral("B"), QStringLiteral("A")});
    }

    void choose(int item) { window.rgselecttable->button(item)->click(); }
};

}  // namespace

TEST_F(ShortcutWindow, ShowsTheWizardsValuesAndTheListOnlyForSelectedTables) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("marfrm_bat"));
    EXPECT_EQ(window.edtoraclepassword->text(), QStringLiteral("tiger"));
    EXPECT_EQ(window.edtoraclepassword->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(window.edtoracleexits->text(), QStringLiteral("Merge"));
    EXPECT_EQ(window.mysqltableselect->count(), 2);
    EXPECT_EQ(window.rgselecttable->checkedId(), 1);
    EXPECT_TRUE(window.mysqltableselect->isHidden());
    EXPECT_TRUE(window.bttableselect->isHidden());
    choose(0);
    EXPECT_FALSE(window.mysqltableselect->isHidden());
    EXPECT_FALSE(window.bttableselect->isHidden());
    choose(1);
    EXPECT_TRUE(window.mysqltableselect->isHidden());
}

TEST_F(ShortcutWindow, ReselectTablesExplainsAndCloses) {
    window.bttableselectClick();
    EXPECT_EQ(messages,
              QStringList(QStringLiteral(
                  "This form will be closed.\rAfter you finish your choice,please click the button "
                  "\"Create Shortcut File\" to return to this form.")));
}

TEST_F(ShortcutWindow, CancellingTheDialogWritesNothing) {
    answer.clear();
    window.Button1Click();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ShortcutWindow, WritesTheSettingFileAndTheLauncher) {
    answer = dir.filePath(QStringLiteral("a.b.sh"));
    writeBytes(dir.filePath(QStringLiteral("a.b.kvtask")), QByteArray(500, 'x'));
    choose(0);
    window.chkblobtotext->setChecked(true);  // changed here, written to the file only
    window.cbaccessformat->setCurrentIndex(1);
    window.Button1Click();

    const QString setting = dir.filePath(QStringLiteral("a.b.kvtask"));
    EXPECT_EQ(fileBytes(setting),
              QByteArray("oracleh=orcl\r\noracleu=scott\r\noraclep=tiger\r\naccessmode=1\r\n"
                         "accessfilename=/out/a.mdb\r\naccessformat=1\r\nprocesstable=1\r\n"
                         "tabledefonly=0\r\nskipindex=1\r\nblobtotext=1\r\nalltables=0\r\n"
                         "tables1=B\r\ntables2=A\r\n"));
#ifndef Q_OS_WIN
    EXPECT_EQ(unixMode(setting), 0600u);
    EXPECT_TRUE(
        fileBytes(answer).contains("exec '/opt/ferrovane/ferrovane' '" + setting.toUtf8() + "'"));
#endif
    EXPECT_EQ(
        messages,
        QStringList(
            QStringLiteral(
                "Success to create \"%1\".\rCreate setting file \"%2\" OK.\rIt will build a log "
                "file \"%3\" after running with this Shortcut File.")
                .arg(answer, setting, dir.filePath(QStringLiteral("a.b.log")))));

    // The dialog starts from the last name; "All database tables" writes no table lines.
    choose(1);
    window.Button1Click();
    EXPECT_EQ(asked.last(), answer);
    const TSettingFile file = TSettingFile::load(setting);
    EXPECT_EQ(file.lineCount(), 11);
    EXPECT_EQ(file.value(QStringLiteral("alltables")), QStringLiteral("1"));
}

TEST_F(ShortcutWindow, ASelectedButEmptyListChoosesNoTable) {
    window.fill(TConversionSettings(), QStringLiteral("Overwrite"), {});
    choose(0);
    answer = dir.filePath(QStringLiteral("empty.sh"));
    window.Button1Click();
    const TSettingFile file = TSettingFile::load(dir.filePath(QStringLiteral("empty.kvtask")));
    EXPECT_EQ(file.value(QStringLiteral("alltables")), QStringLiteral("0"));
    EXPECT_TRUE(BatchTableChoice(file).names.isEmpty());
}

TEST_F(ShortcutWindow, FailuresAreShownAndNothingClaimsSuccess) {
    // A shortcut named like its own setting file would be overwritten by it.
    answer = dir.filePath(QStringLiteral("job.kvtask"));
    window.Button1Click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_FALSE(messages[0].startsWith(QStringLiteral("Success")));
    EXPECT_FALSE(QFile::exists(answer));

    messages.clear();
    answer = dir.filePath(QStringLiteral("missing/job.sh"));
    window.Button1Click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(
        messages[0].startsWith(QStringLiteral("Cannot create file \"%1\". ")
                                   .arg(dir.filePath(QStringLiteral("missing/job.kvtask")))));
}
