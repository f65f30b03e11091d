// The window's stored settings and its batch run in this process: the
// settings' round trip through the controls, and the batch walk from the
// timer's press to the batch end with a stand-in run, so that the page flow,
// the table choice and the exit status are checked without the engine.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "engine/ucc.h"
#include "fakedialogs.h"
#include "settings/settingfile.h"
#include "wizard/taaform1.h"

namespace {

const QString kService = QStringLiteral("sqlite:" FERROVANE_SAMPLE_SNAPSHOT);

class StoredSettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeDialogs dialogs;
    QString ini = dir.filePath(QStringLiteral("Glimmerstack.conf"));
    TQSettingsStore store{ini};
};

TEST_F(StoredSettingsTest, TheControlsTravelThroughTheStoreAndBack) {
    {
        Taaform1 first({}, &store);
        // First start: the initial values, and the dialog opens in the working folder.
        EXPECT_EQ(first.edtport->text(), QStringLiteral("3306"));
        EXPECT_EQ(first.processtable->itemIndex(), 0);
        EXPECT_EQ(first.cbaccessformat->currentIndex(), 0);
        EXPECT_EQ(first.SaveDialog1.InitialDir, Tcc::WorkingFolder());

        first.accessmode->setItemIndex(1);
        first.edtdatabase->setText(QStringLiteral("db"));
        first.edtpassword->setText(QStringLiteral("my pw"));
        first.edtport->setText(QString());
        first.edtservice->setText(QStringLiteral("orcl"));
        first.edtoracleusername->setText(QStringLiteral("scott"));
        first.edtoraclepassword->setText(QStringLiteral(" tiger= "));
        first.processtable->setItemIndex(2);
        first.chktabledefi->setChecked(true);
        first.chkuppercase->setChecked(true);
        first.chkblobtotext->setChecked(true);
        first.cbaccessformat->setCurrentIndex(1);
        first.editaccessname->setText(QStringLiteral("/data/out/new.mdb"));
    }
    QSettings written(ini, QSettings::IniFormat);
    EXPECT_EQ(written.value(QStringLiteral("oraclep")).toString(), QStringLiteral(" tiger= "));
    EXPECT_EQ(written.value(QStringLiteral("defaultaccessdir")).toString(),
              QStringLiteral("/data/out/"));
    EXPECT_FALSE(written.contains(QStringLiteral("accessfilename")));
    EXPECT_EQ(QFile::permissions(ini) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());

    {
        Taaform1 second({}, &store);
        EXPECT_EQ(second.accessmode->itemIndex(), 1);
        EXPECT_EQ(second.edtdatabase->text(), QStringLiteral("db"));
        EXPECT_EQ(second.edtpassword->text(), QStringLiteral("my pw"));
        EXPECT_EQ(second.edtport->text(), QStringLiteral("3306"));
        EXPECT_EQ(second.edtservice->text(), QStringLiteral("orcl"));
        EXPECT_EQ(second.edtoracleusername->text(), QStringLiteral("scott"));
        EXPECT_EQ(second.edtoraclepassword->text(), QStringLiteral(" tiger= "));
        EXPECT_EQ(second.processtable->itemIndex(), 2);
        EXPECT_TRUE(second.chktabledefi->isChecked());
        EXPECT_TRUE(second.chkuppercase->isChecked());
        EXPECT_FALSE(second.chkskipindex->isChecked());
        EXPECT_TRUE(second.chkblobtotext->isChecked());
        EXPECT_EQ(second.cbaccessformat->currentIndex(), 1);
        EXPECT_TRUE(second.editaccessname->text().isEmpty());
        EXPECT_EQ(second.SaveDialog1.InitialDir, QStringLiteral("/data/out/"));
        // Ended without a target file: the stored folder stays.
    }
    Taaform1 third({}, &store);
    EXPECT_EQ(third.SaveDialog1.InitialDir, QStringLiteral("/data/out/"));
}

TEST_F(StoredSettingsTest, OddStoredValuesReachTheControlsByTheIndexRules) {
    {
        QSettings raw(ini, QSettings::IniFormat);
        raw.setValue(QStringLiteral("processtable"), QStringLiteral("9"));
        raw.setValue(QStringLiteral("accessformat"), QStringLiteral("4"));
        raw.setValue(QStringLiteral("skipindex"), QStringLiteral("true"));
        raw.setValue(QStringLiteral("accessmode"), QStringLiteral("x"));
    }
    Taaform1 form({}, &store);
    EXPECT_EQ(form.processtable->itemIndex(), 2);
    EXPECT_EQ(form.cbaccessformat->currentIndex(), -1);
    EXPECT_FALSE(form.chkskipindex->isChecked());
    EXPECT_EQ(form.accessmode->itemIndex(), 0);
}

// The run's part in a batch run, as the engine plays it: the closing lines,
// the end line, the batch end, the last line.
struct StandIn {
    QStringList chosen;
    TRunSettings settings;
    int calls = 0;
    TRunOutcome outcome;

    TRunFunction function() {
        return [this](Tcc&, dbaccess::TOracleSource&, dbaccess::TAccessTarget&,
                      const TRunSettings& s, const QStringList& names, TRunLog& log, bool& stop,
                      const TRunHooks& hooks, const TRunTexts& texts) {
            ++calls;
            stop = false;
            chosen = names;
            settings = s;
            for (const QString& name : names) log.append(QStringLiteral("Insert table ") + name);
            AppendEndLines(log, hooks, texts);
            return outcome;
        };
    }
};

class BatchWalkTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeDialogs dialogs;
    Tcc ucc;
    StandIn run;
    QString setting = dir.filePath(QStringLiteral("job.kvtask"));

    std::unique_ptr<Taaform1> start(const QStringList& lines) {
        WriteTextFile(setting, lines);
        auto form = std::make_unique<Taaform1>(QStringList{setting});
        form->ucc = &ucc;
        form->runConversion = run.function();
        return form;
    }

    QStringList lines(const QString& target, const QStringList& tableLines) const {
        QStringList l = {"oracleh=" + kService, "oracleu=u", "oraclep=p", "accessmode=1",
                         "accessfilename=" + target, "accessformat=1", "processtable=1",
                         "tabledefonly=0", "skipindex=1", "blobtotext=0", "alltables=0",
                         "nameuppercase=1"};
        return l + tableLines;
    }
};

TEST_F(BatchWalkTest, TheTimersPressWalksToTheRunAndTheBatchEndEndsTheProgram) {
    const QString target = dir.filePath(QStringLiteral("t.mdb"));
    auto form = start(lines(target, {"tables3=NOT_A_TABLE", "tables2=DEPARTMENTS",
                                     "tables0=EMPTY_ARCHIVE", "tables1=EMPLOYEES",
                                     "tables5=DEPARTMENTS", "tables4=employees"}));
    // The batch start: the file applied, the timer waiting, page 1 shown.
    EXPECT_TRUE(form->batchrun);
    EXPECT_EQ(form->sc.lines().size(), 1);
    EXPECT_TRUE(form->sc.lines().first().startsWith(QStringLiteral("Start time:")));
    EXPECT_EQ(form->edtservice->text(), kService);
    EXPECT_EQ(form->accessmode->itemIndex(), 1);
    EXPECT_EQ(form->editaccessname->text(), target);
    EXPECT_EQ(form->SaveDialog1.FileName, target);
    EXPECT_EQ(form->edtport->text(), QString());
    EXPECT_TRUE(form->chkuppercase->isChecked());
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(form->Timer1->isSingleShot());
    EXPECT_EQ(form->Timer1->interval(), 1000);
    EXPECT_EQ(form->currentpage, 1);

    form->Timer1Timer();
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(run.calls, 1);
    // Key order, exact names, a name chosen once; key 0 counts.
    EXPECT_EQ(run.chosen, (QStringList{"EMPTY_ARCHIVE", "EMPLOYEES", "DEPARTMENTS"}));
    EXPECT_EQ(run.settings.processtable, 1);
    EXPECT_TRUE(run.settings.skipindex);
    EXPECT_EQ(run.settings.accessfilename, target);
    EXPECT_TRUE(form->programEnded());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->exitStatus(), 0);
    EXPECT_TRUE(dialogs.messages.empty());
    // The log file ends with the end line; the last closing line comes after the save.
    const QStringList log = ReadTextFile(LogFilePath(setting));
    EXPECT_EQ(log, form->sc.lines().mid(0, form->sc.lines().size() - 1));
    EXPECT_TRUE(log.last().startsWith(QStringLiteral("The end time:")));
}

TEST_F(BatchWalkTest, AFailedTableStepGivesItsExitStatus) {
    run.outcome.failedSteps = 1;
    auto form = start(lines(dir.filePath(QStringLiteral("t.mdb")), {"tables1=DEPARTMENTS"}));
    form->Timer1Timer();
    EXPECT_TRUE(form->programEnded());
    EXPECT_EQ(form->exitStatus(), static_cast<int>(TBatchExit::TableStepsFailed));
}

TEST_F(BatchWalkTest, AMessageNobodyCanAnswerEndsTheWalkInTheLog) {
    // No target file: the table listing's step stops at its message.
    auto form = start(lines(QString(), {"tables1=DEPARTMENTS"}));
    form->Timer1Timer();
    EXPECT_EQ(run.calls, 0);
    EXPECT_TRUE(dialogs.messages.empty());  // not shown: nobody is there
    EXPECT_TRUE(form->programEnded());
    EXPECT_EQ(form->exitStatus(), static_cast<int>(TBatchExit::WalkStopped));
    const QStringList log = ReadTextFile(LogFilePath(setting));
    ASSERT_EQ(log.size(), 2);
    EXPECT_EQ(log.at(1), QStringLiteral("Please input Access database name"));
    EXPECT_EQ(form->currentpage, 4);
}

TEST_F(BatchWalkTest, TheLogOfAFailedStartThatCannotBeWrittenEndsAllTheSame) {
    // The setting file's folder is a regular file: neither file can be.
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    Taaform1 form({dir.filePath(QStringLiteral("plain/job.kvtask"))});
    EXPECT_TRUE(form.programEnded());
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_EQ(form.exitStatus(), static_cast<int>(TBatchExit::SettingFileNotLoaded));
    EXPECT_TRUE(form.batch()->logError().startsWith(QStringLiteral("Cannot create file")));
}

}  // namespace
