#pragma once

// TConversionSettings: every setting the wizard collects, the stored settings
// keep and the setting file carries. Each field bears its setting key's name;
// the wizard's controls are its live copy and load from / save into it.

#include <QString>
#include <QStringList>
#include <optional>

#include "engine/conversionrun.h"

// Item counts of the controls the indexes point into.
inline constexpr int kAccessModeItems = 2;    // "&Local", "&Romote"
inline constexpr int kProcessTableItems = 3;  // "Overwrite", "Merge", "Skip"
inline constexpr int kAccessFormatItems = 2;  // "MS Access 95/97", "MS Access 2000"

// An index of -1 means that no item is chosen.
inline constexpr int kNoItem = -1;

struct TConversionSettings {
    int accessmode = 0;
    QString mysqldatabase;
    QString mysqlu;
    QString mysqlp;  // plain text, as stored
    QString host;
    QString port = QStringLiteral("3306");
    QString oracleh;
    QString oracleu;
    QString oraclep;  // plain text, as stored
    int processtable = 0;
    bool tabledefonly = false;
    bool nameuppercase = false;
    bool skipindex = false;
    bool blobtotext = false;
    int accessformat = 0;
    QString accessfilename;
    QString defaultaccessdir;  // folder the target-file dialog opens in
    int alltables = kNoItem;   // 1: every table of the user; other: the list below
    QStringList tables;

    // What the conversion run reads of these settings.
    TRunSettings toRunSettings() const;

    bool operator==(const TConversionSettings&) const = default;
};

// A decimal whole number as settings carry it: an optional sign and digits,
// nothing else, within 32 bits. No value otherwise.
std::optional<int> ParseSettingIndex(const QString& text);

// A flag is on only for the exact text "1".
inline bool ParseSettingFlag(const QString& text) { return text == QStringLiteral("1"); }
inline QString FlagText(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

// How an index reaches a radio group of `items` items: below -1 counts as -1,
// at or above the item count as the last item.
int ClampRadioIndex(int index, int items);
// How an index reaches a drop-down list: anything outside its items is no item.
int ClampListIndex(int index, int items);

// The folder part of a path, up to and including its last separator. On
// Linux a path that holds a "/" is split there only, since "\" and ":" are
// ordinary characters of its file names; a path without one (a Windows path
// carried in a setting file) is split at its last "\" or ":".
QString FolderPart(const QString& path);

// The folder the target-file dialog opens in: the stored folder, or the
// working folder when none is stored.
QString TargetDialogFolder(const TConversionSettings& settings, const QString& workingFolder);
