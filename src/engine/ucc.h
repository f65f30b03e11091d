#pragma once

// Tcc: the conversion module's routines for the target file. The working
// folder, the empty database written where no target file exists yet, and the
// opening of the Access connection on the target.

#include <QString>
#include <stdexcept>

namespace dbaccess {
class TAccessConnection;
}

// The target file could not be written. The message names the file and gives
// the system's reason.
class TFileCreateError : public std::runtime_error {
public:
    explicit TFileCreateError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

class Tcc {
public:
    // The per-user folder for the program's own files, ending in a separator.
    // Needs no instance: the wizard asks for it before the module exists.
    static QString WorkingFolder();

    // Writes the empty database of the chosen format (index 1: Access 2000,
    // anything else: Access 95/97) when no file exists at targetPath. An
    // existing file is never touched.
    static void PrepareTargetFile(const QString& targetPath, int formatIndex);

    // Creates targetPath (never replacing a file) and writes the embedded
    // template resourceName ("mdb95" or "mdb2000") into it whole. On failure
    // nothing is left behind.
    static void WriteTemplate(const QString& resourceName, const QString& targetPath);

    // Closes accconnection and opens it again on the file at targetPath.
    static void OpenTarget(dbaccess::TAccessConnection& accconnection, const QString& targetPath);
};
