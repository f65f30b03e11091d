// The table page's step: the run's start, Stop answered both ways, stopped
// and failed runs, and the log page showing each line as it is written. A
// stand-in run plays the engine's part; the last tests use the real one.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMetaObject>

#include "engine/abort.h"
#include "wizardfixture.h"

namespace {

// Clicks "Stop" as the user would: the click waits among the pending events
// until the run lets them through.
void queueStopClick(Taaform1& form) {
    QMetaObject::invokeMethod(form.btcancel, &QPushButton::click, Qt::QueuedConnection);
}

// Plays the engine: per table one line, events let through mid-table, the stop
// flag tested there and before each table, the closing lines at the end.
struct StandInRun {
    std::function<void(const QString& table)> midTable;  // before the events go through
    std::function<void()> atStart;
    QStringList chosenSeen;
    TRunSettings settingsSeen;

    TRunFunction function() {
        return [this](Tcc&, dbaccess::TOracleSource&, dbaccess::TAccessTarget&,
                      const TRunSettings& settings, const QStringList& chosen, TRunLog& log,
                      bool& stop, const TRunHooks& hooks, const TRunTexts& texts) {
            stop = false;
            chosenSeen = chosen;
            settingsSeen = settings;
            if (atStart) atStart();
            for (const QString& table : chosen) {
                if (stop) {
                    stop = false;
                    throw TSilentAbort();
                }
                log.append(QStringLiteral("Insert table ") + table + QStringLiteral("... "));
                if (midTable) midTable(table);
                hooks.processEvents();
                if (stop)
                    log.append(QStringLiteral("Operation aborted"));
                else
                    log.replaceLast(QStringLiteral("Insert table ") + table +
                                    QStringLiteral(" 100 Rows ...Done"));
                log.append(QString());
            }
            log.append(texts.label29);
            log.append(texts.label30);
            log.append(texts.label32);
            return TRunOutcome{};
        };
    }
};

class RunTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        form->runConversion = run.function();
        walkToTablePage();
        select(form->availabletables, {QStringLiteral("DEPARTMENTS"), QStringLiteral("EMPLOYEES")});
        form->Button1Click();
    }

    void expectStoppedState() {
        EXPECT_EQ(form->currentpage, 5);
        EXPECT_EQ(form->pg->currentIndex(), 5);
        EXPECT_TRUE(form->btback->isEnabled());
        EXPECT_FALSE(form->btnext->isEnabled());
        EXPECT_TRUE(form->btcancel->isEnabled());
        EXPECT_TRUE(form->bthelp->isEnabled());
        EXPECT_EQ(form->btcancel->text(), QStringLiteral("Close"));
    }

    StandInRun run;
};

}  // namespace

TEST_F(RunTest, TheRunStartsOnTheLogPageWithStopAndEndsOnPageSix) {
    form->chkblobtotext->setChecked(true);
    form->processtable->setItemIndex(2);
    form->cbaccessformat->setCurrentIndex(1);
    form->stoprequested = true;  // left over from an earlier run
    run.atStart = [&] {
        EXPECT_EQ(form->pg->currentIndex(), 5);
        EXPECT_EQ(form->currentpage, 5);
        EXPECT_FALSE(form->btback->isEnabled());
        EXPECT_FALSE(form->btnext->isEnabled());
        EXPECT_TRUE(form->btcancel->isEnabled());
        EXPECT_TRUE(form->bthelp->isEnabled());
        EXPECT_EQ(form->btcancel->text(), QStringLiteral("Stop"));
        EXPECT_FALSE(form->stoprequested);
        EXPECT_TRUE(form->runInProgress());
    };
    form->btnext->click();

    EXPECT_EQ(run.chosenSeen, (QStringList{"DEPARTMENTS", "EMPLOYEES"}));
    EXPECT_EQ(run.settingsSeen.processtable, 2);
    EXPECT_TRUE(run.settingsSeen.blobtotext);
    EXPECT_EQ(run.settingsSeen.accessformat, 1);
    EXPECT_EQ(run.settingsSeen.accessfilename, targetPath());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(form->runInProgress());

    EXPECT_EQ(form->currentpage, 6);
    EXPECT_EQ(form->btnext->text(), QStringLiteral("Finish"));
    EXPECT_TRUE(form->btnext->isEnabled());
    EXPECT_FALSE(form->btback->isEnabled());
    EXPECT_FALSE(form->btcancel->isEnabled());
    EXPECT_EQ(form->btcancel->text(), QStringLiteral("Close"));
    EXPECT_FALSE(form->bthelp->isEnabled());
    EXPECT_TRUE(form->Label6->font().bold());
    EXPECT_EQ(form->sc.lines().last(), QStringLiteral("Click 'Finish' to exit the wizard."));
    EXPECT_EQ(form->scview->toPlainText(), form->sc.lines().join(QLatin1Char('\n')));

    // "Finish" clears the log and the chosen list and closes the window.
    form->show();
    form->btnext->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->sc.isEmpty());
    EXPECT_TRUE(form->scview->toPlainText().isEmpty());
    EXPECT_EQ(form->selecttables->count(), 0);
    EXPECT_EQ(form->currentpage, 1);
}

TEST_F(RunTest, TheLogPageShowsEachLineAsItIsWritten) {
    QStringList shown;
    run.midTable = [&](const QString&) { shown.append(form->scview->toPlainText()); };
    form->sc.append(QStringLiteral("Start time:earlier"));  // a run appends below what is there
    form->btnextClick();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], QStringLiteral("Start time:earlier\nInsert table DEPARTMENTS... "));
    EXPECT_TRUE(shown[1].endsWith(QStringLiteral(
        "Insert table DEPARTMENTS 100 Rows ...Done\n\nInsert table EMPLOYEES... ")));
}

TEST_F(RunTest, StopAnsweredYesEndsTheRunBeforeTheNextTable) {
    run.midTable = [&](const QString& table) {
        if (table == QStringLiteral("DEPARTMENTS")) queueStopClick(*form);
    };
    dialogs.answers = {true};
    form->btnext->click();  // the silent abort shows no box
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, QStringLiteral("Info"));
    EXPECT_EQ(dialogs.questions[0].text, QStringLiteral("Stop"));
    EXPECT_FALSE(form->stoprequested);  // the run cleared it when it honoured it
    expectStoppedState();
    EXPECT_EQ(form->sc.lines().last(), QStringLiteral(""));
    EXPECT_TRUE(form->sc.lines().contains(QStringLiteral("Operation aborted")));
    EXPECT_FALSE(form->sc.lines().contains(QStringLiteral("Conversion is Completed")));

    // "Close" is the Close question again; "< Back" leads to page 4 with the
    // lists emptied, and the wizard works normally from there.
    form->btcancel->click();
    EXPECT_EQ(dialogs.questions.back().text, QStringLiteral("Close this Wizard ?"));
    form->btback->click();
    EXPECT_EQ(form->currentpage, 4);
    EXPECT_EQ(form->selecttables->count(), 0);
    EXPECT_EQ(form->availabletables->count(), 0);
    form->btnext->click();
    EXPECT_EQ(form->currentpage, 5);
    EXPECT_GT(form->availabletables->count(), 0);
    // The stopped run's log stays; the next run writes below it.
    EXPECT_TRUE(form->sc.lines().contains(QStringLiteral("Operation aborted")));
}

TEST_F(RunTest, AFailedRunShowsTheErrorAndKeepsStopUntilAnswered) {
    form->runConversion = [](Tcc&, dbaccess::TOracleSource&, dbaccess::TAccessTarget&,
                             const TRunSettings&, const QStringList&, TRunLog& log, bool&,
                             const TRunHooks&, const TRunTexts&) -> TRunOutcome {
        log.append(QStringLiteral("Create table DEPARTMENTS... "));
        throw std::runtime_error("ORA-00942: table or view does not exist");
    };
    form->btnext->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("ORA-00942: table or view does not exist."));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Ferrovane 4.0"));
    EXPECT_EQ(dialogs.messages[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(form->currentpage, 5);
    EXPECT_EQ(form->pg->currentIndex(), 5);
    EXPECT_FALSE(form->btback->isEnabled());
    EXPECT_FALSE(form->btnext->isEnabled());
    EXPECT_EQ(form->btcancel->text(), QStringLiteral("Stop"));
    EXPECT_EQ(form->sc.lines().last(), QStringLiteral("Create table DEPARTMENTS... "));

    dialogs.answers = {false, true};
    form->btcancel->click();
    EXPECT_EQ(form->btcancel->text(), QStringLiteral("Stop"));
    form->btcancel->click();
    expectStoppedState();
    form->btback->click();
    EXPECT_EQ(form->currentpage, 4);
}

TEST_F(RunTest, ClosingTheWindowDuringARunStopsIt) {
    form->show();
    run.midTable = [&](const QString&) {
        QMetaObject::invokeMethod(form.get(), &QWidget::close, Qt::QueuedConnection);
    };
    form->perform([&] { form->btnextClick(); });
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->sc.lines().contains(QStringLiteral("Insert table EMPLOYEES... ")));
}

// The real conversion over the sample snapshot.
class RealRunTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        walkToTablePage();
    }
};

TEST_F(RealRunTest, AWholeInteractiveRunOverTheSample) {
    form->Button2Click();
    form->btnext->click();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form->currentpage, 6);
    EXPECT_TRUE(QFileInfo::exists(targetPath()));
    const QStringList& log = form->sc.lines();
    EXPECT_TRUE(log.contains(QStringLiteral("Create table ORDER_LINES...Done")));
    EXPECT_TRUE(log.contains(QStringLiteral("Insert table ORDER_LINES 12000 Rows ...Done")));
    EXPECT_EQ(log.mid(log.size() - 3),
              (QStringList{"Conversion is Completed",
                           "Wizard has migrated your Oracle database to Access successfully.",
                           "Click 'Finish' to exit the wizard."}));
    EXPECT_EQ(form->scview->toPlainText(), log.join(QLatin1Char('\n')));
}

TEST_F(RealRunTest, StopDuringTheLargeTable) {
    const QString large = QStringLiteral("ORDER_LINES");
    struct Case {
        const char* name;
        QString other;  // chosen with the large table; the list keeps binary order
        bool yes;
    };
    const Case cases[] = {
        {"Yes, a table follows", QStringLiteral("TEXT_SAMPLES"), true},
        {"Yes, the last table", QStringLiteral("DEPARTMENTS"), true},
        {"No", QStringLiteral("TEXT_SAMPLES"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Back to page 4 and on again: a fresh listing.
        form->bkstep5Click();
        form->currentpage = 4;
        form->btnextClick();
        ASSERT_EQ(form->currentpage, 5);
        select(form->availabletables, {large, c.other});
        form->Button1Click();
        form->sc.clear();
        dialogs.answers = {c.yes};
        queueStopClick(*form);  // waits for the row copy's first look at the events
        form->btnext->click();
        EXPECT_TRUE(dialogs.messages.empty());
        ASSERT_FALSE(dialogs.questions.empty());
        EXPECT_EQ(dialogs.questions.back().text, QStringLiteral("Stop"));
        const QStringList& log = form->sc.lines();
        const bool largeIsLast = form->selectedNames().last() == large;
        const QString done = QStringLiteral("Insert table ORDER_LINES 12000 Rows ...Done");
        if (!c.yes) {
            EXPECT_TRUE(log.contains(done));
            EXPECT_EQ(form->currentpage, 6);
            form->currentpage = 5;
        } else {
            // The copy ends at once with the abort's text; the run ends before
            // the next table, or completes its log when none follows.
            EXPECT_FALSE(log.contains(done));
            EXPECT_TRUE(log.contains(QStringLiteral("Operation aborted")));
            EXPECT_EQ(log.contains(QStringLiteral("Conversion is Completed")), largeIsLast);
            if (!largeIsLast) {
                EXPECT_FALSE(log.contains(QStringLiteral("Create table ") + c.other +
                                          QStringLiteral("...Done")));
            }
            EXPECT_EQ(form->stoprequested, largeIsLast);
            EXPECT_EQ(form->currentpage, 5);
            EXPECT_EQ(form->pg->currentIndex(), 5);
            EXPECT_TRUE(form->btback->isEnabled());
            EXPECT_FALSE(form->btnext->isEnabled());
            EXPECT_EQ(form->btcancel->text(), QStringLiteral("Close"));
        }
        form->btbackClick();
        ASSERT_EQ(form->currentpage, 4);
    }
}
