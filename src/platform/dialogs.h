#pragma once

// Message boxes, Yes/No questions, the save-file dialog and the opening of a
// web address, behind one interface so that tests can answer them. The program
// uses the Qt implementation; a test installs its own with setDialogs().

#include <QString>
#include <optional>

class QWidget;

namespace platform {

enum class MessageIcon { None, Information, Error };

// What a save-file dialog is asked: the file name it starts with, the folder
// it opens in, the extension added to a name typed without one, and filters
// in the form "Description|*.ext|Description|*.ext".
struct SaveFileRequest {
    QString fileName;
    QString initialDir;
    QString defaultExt;
    QString filter;
    bool confirmOverwrite = false;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message with one OK button.
    virtual void message(QWidget* owner, const QString& title, const QString& text,
                         MessageIcon icon) = 0;
    // A question with the buttons Yes and No; true for Yes.
    virtual bool question(QWidget* owner, const QString& title, const QString& text) = 0;
    // The chosen file, or nothing when the dialog is cancelled.
    virtual std::optional<QString> saveFileName(QWidget* owner, const SaveFileRequest& request) = 0;
    // Asks the desktop to open address; false when it could not.
    virtual bool openUrl(QWidget* owner, const QString& address) = 0;
};

// The dialogs in effect: the Qt ones unless a test installed its own.
Dialogs& dialogs();
// Installs replacement (not owned); nullptr restores the Qt dialogs.
void setDialogs(Dialogs* replacement);

// The text of the application's error box for an error's message: a "." is
// added when the code of the last character is above that of ".".
QString errorBoxText(const QString& message);

// The error box: the text above, the application title, an error icon, OK.
void showErrorBox(QWidget* owner, const QString& message);

// A plain message to the user: one OK button, the application title.
void showMessage(QWidget* owner, const QString& text);

// Qt's filter form ("Description (*.ext);;...") of a "Description|*.ext" list.
QString qtFilter(const QString& filter);

}  // namespace platform
