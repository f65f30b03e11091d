#pragma once

// How names travel between the two sides: the name-case rule, the quoting that
// Oracle statements need for names it knows only in quotes, and the column
// names that Access tables get.

#include <QString>

// With upper set, the 26 ASCII small letters become capitals; every other
// character stays as it is.
QString ApplyNameCase(const QString& name, bool upper);

// name as it goes inside an Oracle string literal ('...'): quotes doubled.
QString OracleLiteralText(const QString& name);

// name as a table reference in an Oracle statement. Names Oracle reads bare
// (capitals, digits, _ $ #, a letter first, no reserved word) stay bare; any
// other is double-quoted, with inner double quotes doubled.
QString OracleTableReference(const QString& name);

// Access column names are cut at 60 characters when a table is created.
inline constexpr int kMaxAccessColumnName = 60;
QString AccessColumnName(const QString& oracleColumn);

// A column as an index statement names it: bare when it is a plain word that
// is no Access SQL keyword, otherwise in square brackets.
QString AccessIndexColumn(const QString& column);
