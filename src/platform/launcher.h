#pragma once

// The file that starts a batch run: a shell link on Windows, an executable
// launcher script elsewhere.

#include <QString>
#include <stdexcept>

namespace platform {

class TShortcutError : public std::runtime_error {
public:
    explicit TShortcutError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// Makes linkPath start target with arguments, from target's folder.
//
// Windows: a shell link (.lnk) with that path, arguments and working folder.
// Elsewhere: a POSIX sh script at linkPath, made executable, that changes to
// target's folder and execs target with arguments as its one argument; the
// double quotes enclosing arguments, as the caller writes them for a command
// line, are taken off, and the text is quoted so that every character
// (blanks, quotes, $, `, \, newlines) reaches the program unchanged. An
// existing file at linkPath is replaced. Throws TShortcutError on failure.
void CreateShortcut(const QString& target, const QString& arguments, const QString& linkPath);

// The launcher script's text (not on Windows); exposed for the tests.
QByteArray LauncherScript(const QString& target, const QString& arguments);

}  // namespace platform
