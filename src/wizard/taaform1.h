#pragma once

// Taaform1: the wizard's main window. Six pages in the page control pg (the
// second, a server page, is never shown) plus a never-shown store page that
// holds texts as label captions; a left panel of step labels and the logo; a
// strip of buttons. Handlers carry the names of their controls and events.
//
// Handlers throw as the steps below them do; a click on a button goes through
// perform(), which shows an error in the error box and lets a silent abort end
// the action quietly. Pressing a button from code (the batch run, a double
// click) calls its handler directly, enabled or not.
//
// The controls are the live copy of TConversionSettings: LoadSettings fills
// them from the stored settings at start, SaveSettings stores them when the
// window is destroyed. Started with an argument, the window walks its own
// pages as a batch run (TBatchRun) and ends the program itself.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "dbaccess/accesstarget.h"
#include "dbaccess/oraclesource.h"
#include "engine/conversionrun.h"
#include "engine/runlog.h"
#include "platform/dialogs.h"
#include "settings/batchrun.h"
#include "settings/conversionsettings.h"
#include "settings/settingsstore.h"
#include "wizard/logo.h"
#include "wizard/tradiogroup.h"

class Tcc;
class Tmarfrm_bat;
class TUnattendedDialogs;

// The run's signature, so that tests can put a stand-in in its place.
using TRunFunction =
    std::function<TRunOutcome(Tcc&, dbaccess::TOracleSource&, dbaccess::TAccessTarget&,
                              const TRunSettings&, const QStringList&, TRunLog&, bool&,
                              const TRunHooks&, const TRunTexts&)>;

// The target file dialog: what it holds between uses and how it is asked.
struct TSaveDialog {
    QString FileName;
    QString InitialDir;
    QString DefaultExt;
    QString Filter;
    // Runs the dialog through the platform's dialogs; on OK, FileName takes
    // the chosen path and the result is true.
    bool Execute(QWidget* owner);
};

class Taaform1 : public QWidget {
public:
    // arguments: the command line after the program's name; any makes a batch
    // run. store: where the settings are kept between runs (not owned); none
    // keeps nothing.
    explicit Taaform1(const QStringList& arguments = {}, TSettingsStore* store = nullptr,
                      QWidget* parent = nullptr);
    ~Taaform1() override;  // FormDestroy

    // Window state.
    int currentpage = 1;
    bool batchrun = false;
    bool stoprequested = false;
    QString languagecode;
    const QStringList arguments;

    // The shortcut window and the conversion module, created after the window.
    Tmarfrm_bat* marfrm_bat = nullptr;
    Tcc* ucc = nullptr;
    TRunFunction runConversion = RunConversion;

    // Operations.
    void FormCreate();
    void ShowPage(int p);
    void btnextClick();
    void btbackClick();
    void btcancelClick();  // AskClose, or AskStop while a run holds the button
    void AskClose();
    void AskStop();
    void step3Click();
    void step4Click();
    void step5Click();
    void step6Click();
    void bkstep5Click();
    void btbrowseClick();
    void bthelpClick();
    void Image1Click();
    void accessmodeClick();
    void btcreatebatClick();
    void ApplyLanguage();
    void LoadSettings();
    void SaveSettings();
    void Timer1Timer();

    // The controls as settings, and back. accessfilename sets both the name
    // field and the target file dialog.
    TConversionSettings controlSettings() const;
    void setControlSettings(const TConversionSettings& settings);

    // The batch run, when there is one.
    const TBatchRun* batch() const { return batch_ ? &*batch_ : nullptr; }
    // True once the program is to end: the window has been closed by the
    // batch run (its end, a failed start, a message nobody could answer).
    bool programEnded() const { return ended_; }
    // The program's exit status: 0, or the batch run's TBatchExit code.
    int exitStatus() const;

    // The table lists.
    void Button1Click();  // "Add >"
    void Button2Click();  // "Add all >"
    void Button3Click();  // "< Remove"
    void Button4Click();  // "< Remove all"
    void availabletablesDblClick();
    void selecttablesDblClick();
    // Adds a name to the available list: at the end, or in its alphabetical
    // place once the list is sorted.
    void addAvailableTable(const QString& name);
    QStringList availableNames() const;
    QStringList selectedNames() const;

    // Runs a handler the way a click does: an error goes to the error box, a
    // silent abort ends the action without one.
    void perform(const std::function<void()>& handler);

    // What the run reads of the controls.
    TRunSettings runSettings() const;
    TRunTexts runTexts() const;
    bool runInProgress() const { return inrun_; }

    // Left panel.
    QWidget* Panel1;
    QLabel* Label1;
    QLabel* Label2;  // on the store page
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    TLogoImage* Image1;

    // Right panel, page control and button strip.
    QWidget* Panel2;
    QStackedWidget* pg;
    QWidget* Panel3;
    QWidget* Panel4;
    QWidget* Panel5;
    QPushButton* btback;
    QPushButton* btnext;
    QPushButton* btcancel;
    QPushButton* bthelp;

    // Page 1.
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label10;

    // Page 2, never shown: its fields are only stored and carried along.
    QLabel* Label11;
    TRadioGroup* accessmode;
    QGroupBox* authorization;
    QLabel* Label12;
    QLabel* Label13;
    QLabel* Label15;
    QLineEdit* edtdatabase;
    QLineEdit* edtname;
    QLineEdit* edtpassword;
    QGroupBox* GroupBox2;
    QLabel* Label14;
    QLineEdit* edthost;
    QLabel* Label16;
    QGroupBox* GroupBox1;
    QLabel* edtport111;
    QLineEdit* edtport;
    QLabel* Label17;
    QPushButton* step2;

    // Page 3.
    QLabel* Label18;
    QLabel* Label19;
    QLabel* Label20;
    QLabel* Label21;
    QLabel* Label22;
    QLabel* Label23;
    QLineEdit* edtservice;
    QLineEdit* edtoracleusername;
    QLineEdit* edtoraclepassword;
    QPushButton* step3;

    // Page 4.
    QLabel* Label24;
    TRadioGroup* processtable;
    QCheckBox* chktabledefi;
    QCheckBox* chkskipindex;
    QCheckBox* chkblobtotext;
    QLabel* labelaccessformat;
    QComboBox* cbaccessformat;
    QLabel* labelaccessname;
    QLineEdit* editaccessname;
    QPushButton* btbrowse;
    QPushButton* step4;

    // Page 5.
    QLabel* Label26;
    QLabel* Label27;
    QLabel* Label28;
    QListWidget* availabletables;
    QListWidget* selecttables;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* btcreatebat;
    QPushButton* bkstep5;
    QPushButton* step5;

    // Page 6: the memo that shows the run log sc.
    QPlainTextEdit* scview;
    QPushButton* step6;

    // Store page.
    QWidget* PageControl1;
    QLabel* Label29;
    QLabel* Label30;
    QLabel* Label32;
    QLabel* helpurl;
    QLabel* queryclose;
    QLabel* nullaccessname;
    QLabel* linkmysqlerror;
    QCheckBox* chkuppercase;
    QStringList english;
    QStringList chn;

    // Non-visual parts.
    dbaccess::TOracleSource oracle;  // oracleconn, oracledataset, oracledata
    dbaccess::TAccessTarget access;  // accconnection, accesssql, accdataset
    TRunLog sc;
    TSaveDialog SaveDialog1;
    QTimer* Timer1;  // the batch run's one-shot start, 1000 ms

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void buildLeftPanel();
    void buildButtonStrip();
    void buildPage1(QWidget* page);
    void buildPage2(QWidget* page);
    void buildPage3(QWidget* page);
    void buildPage4(QWidget* page);
    void buildPage5(QWidget* page);
    void buildPage6(QWidget* page);
    void buildStorePage(QWidget* page);
    void connectActions();
    void showLogChange(TRunLog::Change change, const QString& line);
    void applyNextRule();
    void resortAvailable();
    QLabel* stepLabel(int page) const;
    void batchStart();
    void batchContinuation();
    void chooseBatchTables();
    void batchEnd();
    void endProgram();

    TSettingsStore* store_;
    std::optional<TBatchRun> batch_;
    std::unique_ptr<TUnattendedDialogs> unattendedDialogs_;
    platform::Dialogs* previousDialogs_ = nullptr;
    bool batchEnded_ = false;  // the run reached the batch end
    bool ended_ = false;
    bool askStopOnCancel_ = false;  // the button reads "Stop" and asks AskStop
    bool inrun_ = false;
};
