#pragma once

// Tcc: the conversion module. The table definition, index, existence and
// drop routines of one table, the working folder, the empty database written
// where no target file exists yet, and the opening of the Access connection.

#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>

namespace dbaccess {
class TAccessConnection;
class TAccessCommand;
class TAccessDataset;
class TOracleCursor;
class TOracleValue;
}  // namespace dbaccess

// The two results of a step: a success flag and, on failure, the message of
// the error that made it fail.
struct TStepResult {
    bool ok = true;
    QString failure;
};

// The Access type text (with its leading blank) for an Oracle column, or
// nothing when the type has no translation. length, precision and scale are
// the dictionary's values, Null included.
std::optional<QString> AccessTypeText(const QString& dataType, const dbaccess::TOracleValue& length,
                                      const dbaccess::TOracleValue& precision,
                                      const dbaccess::TOracleValue& scale, bool blobtotext);

// The message an error carries, as a step's failure text.
QString ErrorText(const std::exception& error);

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
    // Reads the source table's columns from the dictionary and creates the
    // target table with one statement. A failing statement is the result;
    // a failing dictionary query escapes.
    TStepResult CreateTable(dbaccess::TOracleCursor& oracledataset,
                            dbaccess::TAccessCommand& accesssql, const QString& sourceName,
                            const QString& targetName, bool blobtotext);

    // One index statement per index of the source table. Every statement is
    // sent; the result tells of the last one that failed.
    TStepResult CreateIndexes(dbaccess::TOracleCursor& oracledataset,
                              dbaccess::TAccessCommand& accesssql, const QString& sourceName,
                              const QString& targetName);

    // Whether the target has a table of that name: any error counts as no.
    static bool TableExists(dbaccess::TAccessDataset& accdataset, const QString& name);
    static TStepResult DropTable(dbaccess::TAccessCommand& accesssql, const QString& name);

    // The lines of the last table-creation statement.
    const QStringList& tmpmemo() const { return tmpmemo_; }
    // The index statements that the last CreateIndexes sent, in order.
    const QStringList& indexStatements() const { return indexStatements_; }

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

private:
    QStringList tmpmemo_;
    QStringList indexStatements_;
};
