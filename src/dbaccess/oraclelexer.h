#pragma once

// Just enough of Oracle's SQL lexing for the snapshot driver to answer as
// Oracle would: names as Oracle resolves them (a bare name in capitals, a
// quoted one exactly), and the errors Oracle's parser raises before any table
// is looked at (an unclosed quote, a reserved word used as a table name).

#include <QSet>
#include <QString>

namespace dbaccess {

struct OracleLexResult {
    // Every identifier of the statement as Oracle resolves it.
    QSet<QString> names;
    // Empty, or Oracle's message ("ORA-01740: missing double quote in identifier").
    QString error;
};

// Quoted identifiers may hold a doubled quote for a quote, as SQLite reads them.
OracleLexResult lexOracleSql(QStringView sql);

// True for the words Oracle reserves (V$RESERVED_WORDS with RESERVED = 'Y').
bool isOracleReservedWord(const QString& upperWord);

}  // namespace dbaccess
