#include "dbaccess/oraclesource.h"

#include <algorithm>

namespace dbaccess {

TOracleConnection::~TOracleConnection() { close(); }

QString TOracleConnection::param(const QString& name) const {
    for (const QString& line : params_) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals >= 0 && QStringView(line).left(equals).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1);
    }
    return QString();
}

void TOracleConnection::open() {
    close();
    const QString database = param(QStringLiteral("Database"));
    if (database.startsWith(QLatin1String(kSnapshotPrefix)))
        session_ = openSnapshotSession(database.mid(qsizetype(sizeof kSnapshotPrefix) - 1));
    else
        session_ = openOciSession(database, param(QStringLiteral("User_Name")),
                                  param(QStringLiteral("Password")));
}

void TOracleConnection::close() {
    for (TOracleCursor* cursor : cursors_) cursor->close();
    session_.reset();
}

OracleSession& TOracleConnection::session() const {
    if (!session_) throw TOracleError(QStringLiteral("The Oracle connection is not open"));
    return *session_;
}

TOracleCursor::TOracleCursor(TOracleConnection& connection) : connection_(connection) {
    connection_.cursors_.push_back(this);
}

TOracleCursor::~TOracleCursor() {
    auto& list = connection_.cursors_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TOracleCursor::close() {
    result_.reset();
    row_.clear();
    atEnd_ = true;
    moved_ = false;
}

void TOracleCursor::open() {
    close();
    std::unique_ptr<OracleResult> result = connection_.session().query(query_);
    row_.resize(result->columns().size());
    anyUnreadable_ = std::any_of(result->columns().begin(), result->columns().end(),
                                 [](const TOracleColumn& c) { return !c.unreadableType.isEmpty(); });
    atEnd_ = !result->fetch(row_);
    result_ = std::move(result);
}

void TOracleCursor::first() {
    if (!result_) throw TOracleError(QStringLiteral("The cursor is not open"));
    if (moved_)
        throw TOracleError(QStringLiteral("A forward-only cursor cannot go back to its first row"));
}

void TOracleCursor::next() {
    if (!result_) throw TOracleError(QStringLiteral("The cursor is not open"));
    if (atEnd_) return;
    moved_ = true;
    atEnd_ = !result_->fetch(row_);
}

const std::vector<TOracleColumn>& TOracleCursor::columns() const {
    static const std::vector<TOracleColumn> none;
    return result_ ? result_->columns() : none;
}

int TOracleCursor::columnIndex(const QString& name) const {
    if (!result_) throw TOracleError(QStringLiteral("The cursor is not open"));
    // Called per value in row loops: no allocation, exact spelling first.
    const std::vector<TOracleColumn>& list = result_->columns();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name) return static_cast<int>(i);
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name.compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    throw TOracleError(QStringLiteral("Field '%1' not found").arg(name));
}

void TOracleCursor::requireRow() const {
    if (!result_) throw TOracleError(QStringLiteral("The cursor is not open"));
    if (atEnd_) throw TOracleError(QStringLiteral("The cursor has no current row"));
}

const TOracleValue& TOracleCursor::checkedValue(int i) const {
    requireRow();
    if (i < 0 || static_cast<size_t>(i) >= row_.size())
        throw TOracleError(QStringLiteral("The cursor has no column %1").arg(i));
    const TOracleColumn& column = result_->columns()[static_cast<size_t>(i)];
    if (!column.unreadableType.isEmpty())
        throw TOracleError(QStringLiteral("Column %1 has the Oracle type %2, which cannot be read.")
                               .arg(column.name, column.unreadableType));
    return row_[static_cast<size_t>(i)];
}

bool TOracleCursor::isBlob(const QString& name) const {
    return columns().at(static_cast<size_t>(columnIndex(name))).isBlob;
}

QByteArray TOracleCursor::blobContent(const QString& name) const {
    const TOracleValue& v = valueByName(name);
    if (v.kind() == TOracleValue::Kind::Bytes) return v.bytesValue();
    if (v.isNull()) return QByteArray();
    return v.toText().toUtf8();
}

}  // namespace dbaccess
