#pragma once

// The setting file of a batch run: key=value lines. The key is the text
// before a line's first "="; the value everything after it, untrimmed. Keys
// are found regardless of letter case, and the first line with a key wins; a
// key that no line has reads as empty text.

#include <QString>
#include <QStringList>

#include "settings/conversionsettings.h"
#include "settings/textfile.h"

class TSettingFile {
public:
    TSettingFile() = default;
    explicit TSettingFile(QStringList lines) : lines_(std::move(lines)) {}

    // Reads the whole file; throws TTextFileError("Cannot open file ...").
    static TSettingFile load(const QString& path);

    QString value(const QString& key) const;
    // The number of lines as read, empty ones included.
    qsizetype lineCount() const { return lines_.size(); }
    const QStringList& lines() const { return lines_; }

private:
    QStringList lines_;
};

// A setting file whose indexes are not whole numbers; the batch run ends as
// after a failed load. The message names the key, never its value.
class TSettingFileError : public std::runtime_error {
public:
    explicit TSettingFileError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// Copies the file's values into settings: accessmode, the five MySQL texts,
// the three Oracle texts, accessformat, accessfilename, processtable, then the
// four flags. Every key replaces its field, a missing one with empty text or
// off. The three indexes must be whole numbers: a missing or malformed one
// throws TSettingFileError before anything is changed, since guessing a
// treatment of existing tables could overwrite the user's data.
// alltables and the table keys are left to the table choice.
void ApplySettingFile(const TSettingFile& file, TConversionSettings& settings);

// The batch run's table choice on the table page.
struct TTableChoice {
    bool addAll = false;  // alltables is exactly "1": "Add all >"
    // Otherwise the non-empty values of tables0 .. tables<L-1>, L being the
    // file's line count, in key order: each is looked for in the available
    // list and, when there, added with "Add >".
    QStringList names;
};
TTableChoice BatchTableChoice(const TSettingFile& file);

// The chosen list that a choice makes from an available list: every entry for
// "Add all >"; else each name found (exactly, letter case included) among the
// entries not yet chosen, in the choice's order.
QStringList ChooseTables(const TTableChoice& choice, const QStringList& available);

// What the shortcut window writes into the setting file.
struct TShortcutChoice {
    QString oracleh;
    QString oracleu;
    QString oraclep;
    int accessmode = 0;
    QString accessfilename;
    int accessformat = 0;
    int processtable = 0;
    bool tabledefonly = false;
    bool skipindex = false;
    bool blobtotext = false;
    int alltables = 1;  // index of "Select MySQL tables": 0 selected tables, 1 all
    QStringList tables;
};

// The setting file's lines in their written order; the table lines only when
// alltables is 0.
QStringList SettingFileLines(const TShortcutChoice& choice);

// The setting file and log file beside a shortcut or setting file path.
inline QString SettingFilePath(const QString& shortcutPath) {
    return ChangeFileExt(shortcutPath, QStringLiteral(".kvtask"));
}
inline QString LogFilePath(const QString& path) {
    return ChangeFileExt(path, QStringLiteral(".log"));
}
