#pragma once

// The interface texts in both languages: key=value lines whose keys are the
// names of the wizard's controls, the same 48 keys in the same order.

#include <QString>
#include <QStringList>
#include <optional>

QStringList EnglishTable();
QStringList ChineseTable();

// The value of the first line whose key (the text before the first "=")
// equals name without regard to case; nothing when no line has that key.
std::optional<QString> LanguageValue(const QStringList& table, const QString& name);
