#include "dbaccess/oraclelexer.h"

#include <QStringList>

namespace dbaccess {

namespace {

bool isIdentifierChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c == QLatin1Char('#');
}

}  // namespace

bool isOracleReservedWord(const QString& upperWord) {
    static const QSet<QString> words = [] {
        const char* list[] = {
            "ACCESS",   "ADD",        "ALL",       "ALTER",     "AND",        "ANY",
            "AS",       "ASC",        "AUDIT",     "BETWEEN",   "BY",         "CHAR",
            "CHECK",    "CLUSTER",    "COLUMN",    "COMMENT",   "COMPRESS",   "CONNECT",
            "CREATE",   "CURRENT",    "DATE",      "DECIMAL",   "DEFAULT",    "DELETE",
            "DESC",     "DISTINCT",   "DROP",      "ELSE",      "EXCLUSIVE",  "EXISTS",
            "FILE",     "FLOAT",      "FOR",       "FROM",      "GRANT",      "GROUP",
            "HAVING",   "IDENTIFIED", "IMMEDIATE", "IN",        "INCREMENT",  "INDEX",
            "INITIAL",  "INSERT",     "INTEGER",   "INTERSECT", "INTO",       "IS",
            "LEVEL",    "LIKE",       "LOCK",      "LONG",      "MAXEXTENTS", "MINUS",
            "MLSLABEL", "MODE",       "MODIFY",    "NOAUDIT",   "NOCOMPRESS", "NOT",
            "NOWAIT",   "NULL",       "NUMBER",    "OF",        "OFFLINE",    "ON",
            "ONLINE",   "OPTION",     "OR",        "ORDER",     "PCTFREE",    "PRIOR",
            "PUBLIC",   "RAW",        "RENAME",    "RESOURCE",  "REVOKE",     "ROW",
            "ROWID",    "ROWNUM",     "ROWS",      "SELECT",    "SESSION",    "SET",
            "SHARE",    "SIZE",       "SMALLINT",  "START",     "SUCCESSFUL", "SYNONYM",
            "SYSDATE",  "TABLE",      "THEN",      "TO",        "TRIGGER",    "UID",
            "UNION",    "UNIQUE",     "UPDATE",    "USER",      "VALIDATE",   "VALUES",
            "VARCHAR",  "VARCHAR2",   "VIEW",      "WHENEVER",  "WHERE",      "WITH"};
        QSet<QString> set;
        for (const char* word : list) set.insert(QString::fromLatin1(word));
        return set;
    }();
    return words.contains(upperWord);
}

OracleLexResult lexOracleSql(QStringView sql) {
    OracleLexResult result;
    QString previous;  // the last bare word, in capitals
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            while (i < n && sql[i] != QLatin1Char('\n')) ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('\'')) {
            // A literal; '' stands for one quote.
            for (++i;; ++i) {
                if (i >= n) {
                    result.error =
                        QStringLiteral("ORA-01756: quoted string not properly terminated");
                    return result;
                }
                if (sql[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && sql[i + 1] == QLatin1Char('\'')) {
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
            }
            previous.clear();
        } else if (c == QLatin1Char('"')) {
            QString name;
            for (++i;; ++i) {
                if (i >= n) {
                    result.error = QStringLiteral("ORA-01740: missing double quote in identifier");
                    return result;
                }
                if (sql[i] == QLatin1Char('"')) {
                    if (i + 1 < n && sql[i + 1] == QLatin1Char('"')) {
                        name += QLatin1Char('"');
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                name += sql[i];
            }
            if (name.isEmpty()) {
                result.error = QStringLiteral("ORA-01741: illegal zero-length identifier");
                return result;
            }
            result.names.insert(name);
            previous.clear();
        } else if (isIdentifierChar(c)) {
            const qsizetype start = i;
            while (i < n && isIdentifierChar(sql[i])) ++i;
            const QString word = sql.mid(start, i - start).toString().toUpper();
            // A table name that is a reserved word, as in "select * from ORDER".
            if ((previous == QLatin1String("FROM") || previous == QLatin1String("JOIN")) &&
                isOracleReservedWord(word) && word != QLatin1String("SELECT")) {
                result.error = QStringLiteral("ORA-00903: invalid table name");
                return result;
            }
            result.names.insert(word);
            previous = word;
        } else {
            previous.clear();
            ++i;
        }
    }
    return result;
}

}  // namespace dbaccess
