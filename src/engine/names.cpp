#include "engine/names.h"

#include <QSet>
#include <QStringList>

namespace {

bool isAsciiUpper(QChar c) { return c >= u'A' && c <= u'Z'; }
bool isAsciiLetter(QChar c) { return isAsciiUpper(c) || (c >= u'a' && c <= u'z'); }
bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Oracle's reserved words: a table of one of these names exists only quoted.
const QSet<QString>& oracleReservedWords() {
    static const QSet<QString> words = [] {
        const QStringList list =
            QStringLiteral(
                "ACCESS ADD ALL ALTER AND ANY AS ASC AUDIT BETWEEN BY CHAR CHECK CLUSTER COLUMN "
                "COMMENT COMPRESS CONNECT CREATE CURRENT DATE DECIMAL DEFAULT DELETE DESC DISTINCT "
                "DROP ELSE EXCLUSIVE EXISTS FILE FLOAT FOR FROM GRANT GROUP HAVING IDENTIFIED "
                "IMMEDIATE IN INCREMENT INDEX INITIAL INSERT INTEGER INTERSECT INTO IS LEVEL LIKE "
                "LOCK LONG MAXEXTENTS MINUS MLSLABEL MODE MODIFY NOAUDIT NOCOMPRESS NOT NOWAIT "
                "NULL "
                "NUMBER OF OFFLINE ON ONLINE OPTION OR ORDER PCTFREE PRIOR PUBLIC RAW RENAME "
                "RESOURCE "
                "REVOKE ROW ROWID ROWNUM ROWS SELECT SESSION SET SHARE SIZE SMALLINT START "
                "SUCCESSFUL "
                "SYNONYM SYSDATE TABLE THEN TO TRIGGER UID UNION UNIQUE UPDATE USER VALIDATE "
                "VALUES "
                "VARCHAR VARCHAR2 VIEW WHENEVER WHERE WITH")
                .split(u' ');
        return QSet<QString>(list.begin(), list.end());
    }();
    return words;
}

// Words of Access SQL that a bare column name in an index statement would
// be read as (compared in capitals).
const QSet<QString>& accessReservedWords() {
    static const QSet<QString> words = [] {
        const QStringList list =
            QStringLiteral(
                "ADD ALL ALPHANUMERIC ALTER AND ANY AS ASC AUTOINCREMENT AVG BETWEEN BINARY BIT "
                "BOOLEAN BY BYTE CHAR CHARACTER COLUMN COMP COMPRESSION CONSTRAINT COUNT COUNTER "
                "CREATE CURRENCY DATABASE DATE DATETIME DECIMAL DELETE DESC DISALLOW DISTINCT "
                "DISTINCTROW DOUBLE DROP EXISTS FLOAT FLOAT4 FLOAT8 FOREIGN FROM FULL GENERAL "
                "GROUP "
                "GUID HAVING IGNORE IMP IN INDEX INNER INSERT INT INTEGER INTEGER1 INTEGER2 "
                "INTEGER4 "
                "INTO IS JOIN KEY LEFT LEVEL LIKE LOGICAL LOGICAL1 LONG LONGBINARY LONGTEXT MAX "
                "MEMO "
                "MIN MOD MONEY NOT NOTE NULL NUMBER NUMERIC OLEOBJECT ON OPTION OR ORDER OUTER "
                "OWNERACCESS PARAMETERS PERCENT PIVOT PRIMARY PROCEDURE REAL REFERENCES RIGHT "
                "SELECT "
                "SET SHORT SINGLE SMALLINT SOME STDEV STDEVP STRING SUM TABLE TEXT TIME TIMESTAMP "
                "TOP TRANSFORM UNION UNIQUE UPDATE VALUE VALUES VAR VARBINARY VARCHAR VARP WHERE "
                "WITH YESNO")
                .split(u' ');
        return QSet<QString>(list.begin(), list.end());
    }();
    return words;
}

}  // namespace

QString ApplyNameCase(const QString& name, bool upper) {
    if (!upper) return name;
    QString out = name;
    for (QChar& c : out)
        if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - (u'a' - u'A'));
    return out;
}

QString OracleLiteralText(const QString& name) {
    QString out = name;
    return out.replace(u'\'', QStringLiteral("''"));
}

QString OracleTableReference(const QString& name) {
    bool bare = !name.isEmpty() && isAsciiUpper(name.front());
    for (QChar c : name)
        bare = bare && (isAsciiUpper(c) || isAsciiDigit(c) || c == u'_' || c == u'$' || c == u'#');
    if (bare && !oracleReservedWords().contains(name)) return name;
    QString inner = name;
    inner.replace(u'"', QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

QString AccessColumnName(const QString& oracleColumn) {
    return oracleColumn.left(kMaxAccessColumnName);
}

QString AccessIndexColumn(const QString& column) {
    bool plain = !column.isEmpty() && (isAsciiLetter(column.front()) || column.front() == u'_');
    for (QChar c : column) plain = plain && (isAsciiLetter(c) || isAsciiDigit(c) || c == u'_');
    if (plain && !accessReservedWords().contains(ApplyNameCase(column, true))) return column;
    return u'[' + column + u']';
}
