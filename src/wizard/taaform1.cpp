#include "wizard/taaform1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "dbaccess/oracleconnect.h"
#include "engine/abort.h"
#include "engine/ucc.h"
#include "settings/umarfrm_bat.h"
#include "settings/unattendeddialogs.h"
#include "wizard/languages.h"

bool TSaveDialog::Execute(QWidget* owner) {
    platform::SaveFileRequest request;
    request.fileName = FileName;
    request.initialDir = InitialDir;
    request.defaultExt = DefaultExt;
    request.filter = Filter;
    const std::optional<QString> chosen = platform::dialogs().saveFileName(owner, request);
    if (!chosen) return false;
    FileName = *chosen;
    return true;
}

Taaform1::Taaform1(const QStringList& args, TSettingsStore* store, QWidget* parent)
    : QWidget(parent), arguments(args), store_(store) {
    buildWindow();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    english = EnglishTable();
    chn = ChineseTable();
    SaveDialog1.DefaultExt = QStringLiteral("mdb");
    SaveDialog1.Filter = QStringLiteral("MS Access Databases (.mdb)|*.mdb");
    sc.setListener([this](TRunLog::Change change, const QString& line) {
        showLogChange(change, line);
    });
    connectActions();
    FormCreate();
}

Taaform1::~Taaform1() {
    SaveSettings();
    if (unattendedDialogs_) platform::setDialogs(previousDialogs_);
    sc.setListener({});
}

void Taaform1::connectActions() {
    auto onClick = [this](QPushButton* b, void (Taaform1::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { perform([this, handler] { (this->*handler)(); }); });
    };
    onClick(btnext, &Taaform1::btnextClick);
    onClick(btback, &Taaform1::btbackClick);
    onClick(btcancel, &Taaform1::btcancelClick);
    onClick(bthelp, &Taaform1::bthelpClick);
    onClick(btbrowse, &Taaform1::btbrowseClick);
    onClick(btcreatebat, &Taaform1::btcreatebatClick);
    onClick(Button1, &Taaform1::Button1Click);
    onClick(Button2, &Taaform1::Button2Click);
    onClick(Button3, &Taaform1::Button3Click);
    onClick(Button4, &Taaform1::Button4Click);
    onClick(step3, &Taaform1::step3Click);
    onClick(step4, &Taaform1::step4Click);
    onClick(step5, &Taaform1::step5Click);
    onClick(step6, &Taaform1::step6Click);
    onClick(bkstep5, &Taaform1::bkstep5Click);
    connect(availabletables, &QListWidget::itemDoubleClicked, this,
            [this] { perform([this] { availabletablesDblClick(); }); });
    connect(selecttables, &QListWidget::itemDoubleClicked, this,
            [this] { perform([this] { selecttablesDblClick(); }); });
    connect(&accessmode->buttons(), &QButtonGroup::idClicked, this,
            [this] { perform([this] { accessmodeClick(); }); });
    Image1->onClick = [this] { perform([this] { Image1Click(); }); };
}

void Taaform1::perform(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const TSilentAbort&) {
        // Ends the action; whoever aborted has said what there was to say.
    } catch (const std::exception& e) {
        platform::showErrorBox(this, QString::fromUtf8(e.what()));
    }
}

void Taaform1::FormCreate() {
    // One folder level, as the working folder's parent is the user's data folder.
    QDir().mkdir(Tcc::WorkingFolder());
    batchrun = !arguments.isEmpty();
    languagecode = QStringLiteral("en");
    ApplyLanguage();
    stoprequested = false;
    askStopOnCancel_ = false;
    setWindowTitle(QApplication::applicationName());
    LoadSettings();
    if (batchrun) batchStart();
    currentpage = 1;
    Panel4->move(1, 1);
    Panel4->raise();
    ShowPage(1);
}

QLabel* Taaform1::stepLabel(int page) const {
    QLabel* labels[] = {Label1, Label2, Label3, Label4, Label5, Label6};
    return labels[page - 1];
}

void Taaform1::ShowPage(int p) {
    btback->setEnabled(true);
    btnext->setEnabled(true);
    btcancel->setEnabled(true);
    bthelp->setEnabled(true);
    btnext->setText(QStringLiteral("Next >"));
    if (p == 1) btback->setEnabled(false);
    if (p == 6) {
        btback->setEnabled(false);
        btnext->setText(QStringLiteral("Finish"));
        // The run left it as "Stop"; on the last page it is an inactive "Close".
        btcancel->setText(QStringLiteral("Close"));
        askStopOnCancel_ = false;
        btcancel->setEnabled(false);
        bthelp->setEnabled(false);
    }
    pg->setCurrentIndex(p - 1);
    for (int i = 1; i <= 6; ++i) {
        QFont f = stepLabel(i)->font();
        f.setBold(i == p);
        stepLabel(i)->setFont(f);
    }
    applyNextRule();
    if (p == 2) edtdatabase->setFocus();
    if (p == 3) edtservice->setFocus();
    if (p == 5) availabletables->setFocus();
}

void Taaform1::btnextClick() {
    switch (currentpage) {
    case 3: step3Click(); break;
    case 4: step4Click(); break;
    case 5: step5Click(); break;
    case 6: step6Click(); break;
    default: break;
    }
    if (currentpage == 5 && stoprequested) {
        // A stop confirmed during the last table: the log stays in view.
    } else if (currentpage < 6) {
        if (currentpage == 1) currentpage = 2;
        ++currentpage;
        ShowPage(currentpage);
    } else if (!batchrun) {
        currentpage = 1;
        ShowPage(1);
    }
    if (batchrun) batchContinuation();
}

void Taaform1::btbackClick() {
    if (currentpage == 5) bkstep5Click();
    if (currentpage == 3) currentpage = 2;
    --currentpage;
    ShowPage(currentpage);
}

void Taaform1::btcancelClick() {
    if (askStopOnCancel_)
        AskStop();
    else
        AskClose();
}

void Taaform1::AskClose() {
    if (platform::dialogs().question(this, QStringLiteral("Information"), queryclose->text()))
        close();
}

void Taaform1::AskStop() {
    if (platform::dialogs().question(this, QStringLiteral("Info"), QStringLiteral("Stop"))) {
        stoprequested = true;
        btback->setEnabled(true);
        btcancel->setText(QStringLiteral("Close"));
        askStopOnCancel_ = false;
    } else {
        stoprequested = false;
    }
}

void Taaform1::closeEvent(QCloseEvent* event) {
    // A run only hears of a closed window through the stop flag; without it
    // the program would go on copying, unseen, to the last table. The batch
    // end closes the window from inside a run that is about to return.
    if (inrun_ && !batchEnded_) stoprequested = true;
    if (batch_ && !batchEnded_) batch_->walkStopped();
    event->accept();
}

void Taaform1::step3Click() {
    dbaccess::openOracleConnection(oracle, edtservice->text(), edtoracleusername->text(),
                                   edtoraclepassword->text());
}

void Taaform1::step4Click() {
    if (editaccessname->text().trimmed().isEmpty()) {
        platform::showMessage(this, nullaccessname->text());
        btbrowse->setFocus();
        throw TSilentAbort();
    }
    const QStringList names = dbaccess::listOracleTables(oracle);
    for (const QString& name : names) addAvailableTable(name);
    // The focus mark on the first name, with nothing selected.
    if (availabletables->count() > 0)
        availabletables->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

TRunSettings Taaform1::runSettings() const {
    TRunSettings s;
    s.processtable = processtable->itemIndex();
    s.tabledefonly = chktabledefi->isChecked();
    s.skipindex = chkskipindex->isChecked();
    s.blobtotext = chkblobtotext->isChecked();
    s.nameuppercase = chkuppercase->isChecked();
    s.accessformat = cbaccessformat->currentIndex();
    s.accessfilename = SaveDialog1.FileName;
    return s;
}

TRunTexts Taaform1::runTexts() const {
    TRunTexts t;
    t.label29 = Label29->text();
    t.label30 = Label30->text();
    t.label32 = Label32->text();
    return t;
}

void Taaform1::step5Click() {
    if (!ucc) throw std::logic_error("The conversion module is not there.");
    // The log page comes into view; currentpage stays at the table page.
    pg->setCurrentIndex(5);
    btback->setEnabled(false);
    btnext->setEnabled(false);
    btcancel->setText(QStringLiteral("Stop"));
    btcancel->setEnabled(true);
    askStopOnCancel_ = true;
    stoprequested = false;

    TRunHooks hooks;
    hooks.processEvents = [] { QCoreApplication::processEvents(); };
    if (batch_) hooks.batchEnd = [this] { batchEnd(); };

    inrun_ = true;
    struct RunningFlag {
        bool& flag;
        ~RunningFlag() { flag = false; }
    } running{inrun_};
    const TRunOutcome outcome = runConversion(*ucc, oracle, access, runSettings(),
                                              selectedNames(), sc, stoprequested, hooks, runTexts());
    if (batch_ && batchEnded_) batch_->finished(outcome);
}

void Taaform1::step6Click() {
    sc.clear();
    selecttables->clear();
    close();
}

void Taaform1::showLogChange(TRunLog::Change change, const QString& line) {
    switch (change) {
    case TRunLog::Change::Cleared:
        scview->clear();
        return;
    case TRunLog::Change::Appended:
        if (sc.lines().size() == 1)
            scview->setPlainText(line);
        else
            scview->appendPlainText(line);
        break;
    case TRunLog::Change::ReplacedLast: {
        QTextCursor cursor(scview->document()->lastBlock());
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(line);
        break;
    }
    }
    scview->verticalScrollBar()->setValue(scview->verticalScrollBar()->maximum());
}

void Taaform1::btbrowseClick() {
    SaveDialog1.FileName = editaccessname->text();
    if (SaveDialog1.Execute(this)) editaccessname->setText(SaveDialog1.FileName);
}

void Taaform1::bthelpClick() {
    // A page that cannot be opened is not reported.
    platform::dialogs().openUrl(this, helpurl->text());
}

void Taaform1::Image1Click() { bthelpClick(); }

void Taaform1::accessmodeClick() {
    const bool local = accessmode->itemIndex() == 0;
    edthost->setEnabled(!local);
    QPalette palette = edthost->palette();
    palette.setColor(QPalette::Base,
                     palette.color(local ? QPalette::Button : QPalette::Window));
    edthost->setPalette(palette);
    edtport->setEnabled(true);
}

void Taaform1::btcreatebatClick() {
    if (!marfrm_bat) return;
    const int treatment = processtable->itemIndex();
    marfrm_bat->fill(controlSettings(),
                     treatment >= 0 ? processtable->item(treatment)->text() : QString(),
                     selectedNames());
    marfrm_bat->exec();
}

void Taaform1::ApplyLanguage() {
    auto applyTable = [this](const QStringList& table) {
        for (QObject* component : findChildren<QObject*>()) {
            const QString text =
                LanguageValue(table, component->objectName()).value_or(QString());
            if (auto* l = qobject_cast<QLabel*>(component))
                l->setText(text);
            else if (auto* g = qobject_cast<QGroupBox*>(component))  // radio groups too
                g->setTitle(text);
            else if (auto* c = qobject_cast<QCheckBox*>(component))
                c->setText(text);
        }
    };
    if (languagecode == QStringLiteral("en")) {
        applyTable(english);
        btcreatebat->setText(QStringLiteral("Create Shortcut File"));
    }
    if (languagecode == QStringLiteral("cn")) {
        applyTable(chn);
        btcreatebat->setText(QStringLiteral("创建快捷方式"));
        Button1->setText(QStringLiteral("添加>"));
        Button2->setText(QStringLiteral("添加全部>"));
        Button3->setText(QStringLiteral("<去除"));
        Button4->setText(QStringLiteral("<去除全部"));
        btbrowse->setText(QStringLiteral("浏览..."));
        bthelp->setText(QStringLiteral("帮助"));
    }
}
