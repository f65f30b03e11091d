#pragma once

// Tmarfrm_bat: the shortcut window. It shows what the wizard holds, lets the
// user change the format, the three switches and the table choice, and writes
// a setting file and the shortcut (launcher) that starts a batch run from it.
// Message boxes and the save dialog go through the platform's dialogs unless
// replaced by callbacks.

#include <QDialog>
#include <QStringList>
#include <functional>

#include "settings/conversionsettings.h"
#include "settings/settingfile.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

class Tmarfrm_bat : public QDialog {
    Q_OBJECT
public:
    // Shows a plain message with one OK button.
    using ShowMessage = std::function<void(const QString& text)>;
    // Asks for the shortcut's path, starting from the last one chosen; an
    // empty result means cancelled.
    using AskShortcutPath = std::function<QString(const QString& lastPath)>;

    explicit Tmarfrm_bat(QWidget* parent = nullptr);

    void setShowMessage(ShowMessage show) { showMessage_ = std::move(show); }
    void setAskShortcutPath(AskShortcutPath ask) { askShortcutPath_ = std::move(ask); }
    // The program the shortcut starts; the running program unless set.
    void setProgramPath(const QString& path) { programPath_ = path; }

    // Refills the window from the wizard (its settings, the caption of the
    // chosen treatment, the chosen tables in order). The table choice and the
    // last shortcut path are kept.
    void fill(const TConversionSettings& settings, const QString& treatmentCaption,
              const QStringList& chosenTables);

    // What "Create Shortcut File" writes, from the window's controls.
    TShortcutChoice choice() const;

    void rgselecttableClick();
    void bttableselectClick();
    void Button1Click();

    // The controls, named as the wizard's code refers to them.
    QLineEdit* edtoracleservice;
    QLineEdit* edtoracleusername;
    QLineEdit* edtoraclepassword;
    QComboBox* cbaccessformat;
    QLineEdit* editaccessname;
    QLineEdit* edtoracleexits;
    QCheckBox* chktabledefi;
    QCheckBox* chkskipindex;
    QCheckBox* chkblobtotext;
    QButtonGroup* rgselecttable;
    QListWidget* mysqltableselect;
    QPushButton* bttableselect;
    QPushButton* Button1;

private:
    void message(const QString& text);
    QString askPath();

    ShowMessage showMessage_;
    AskShortcutPath askShortcutPath_;
    QString programPath_;
    QString lastShortcutPath_;
    // Carried from the wizard into the setting file, not shown.
    int accessmode_ = 0;
    int processtable_ = 0;
};

// The default extension of the shortcut: "lnk" on Windows; the Linux launcher
// is a shell script, "sh".
QString ShortcutExtension();
