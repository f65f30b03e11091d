#include "dbaccess/accesstarget.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "jet/sql/sql.h"

namespace dbaccess {
namespace {

constexpr char kProvider[] = "Microsoft.Jet.OLEDB.4.0";

// Runs fn, turning an engine failure into ours with the same message.
template <class Fn>
decltype(auto) guarded(Fn&& fn) {
    try {
        return fn();
    } catch (const jet::Error& e) {
        throw TAccessError(e);
    }
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

std::filesystem::path toPath(const QString& text) {
    return std::filesystem::path(text.toStdU16String());
}

}  // namespace

QString accessConnectionString(const QString& path) {
    QString value = path;
    qsizetype firstNonBlank = 0;
    while (firstNonBlank < path.size() && isBlank(path[firstNonBlank])) ++firstNonBlank;
    const bool startsQuoted = firstNonBlank < path.size() &&
                              (path[firstNonBlank] == u'\'' || path[firstNonBlank] == u'"');
    if (path.contains(u';') || path.contains(u'"') || startsQuoted) {
        if (path.contains(u'"') && !path.contains(u'\''))
            value = u'\'' + path + u'\'';
        else
            value = u'"' + QString(path).replace(u'"', QStringLiteral("\"\"")) + u'"';
    }
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + value +
           QStringLiteral(";Persist Security Info=False");
}

std::vector<std::pair<QString, QString>> parseConnectionString(const QString& text) {
    std::vector<std::pair<QString, QString>> parts;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(u'=', i);
        const qsizetype semi = text.indexOf(u';', i);
        if (semi != -1 && (eq == -1 || semi < eq)) {
            if (!text.mid(i, semi - i).trimmed().isEmpty())
                throw TAccessError(QStringLiteral("The connection string part \"%1\" has no \"=\".")
                                       .arg(text.mid(i, semi - i)));
            i = semi + 1;  // an empty part
            continue;
        }
        if (eq == -1) {
            if (!text.mid(i).trimmed().isEmpty())
                throw TAccessError(QStringLiteral("The connection string part \"%1\" has no \"=\".")
                                       .arg(text.mid(i)));
            break;
        }
        const QString name = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        qsizetype q = i;
        while (q < n && isBlank(text[q])) ++q;
        QString value;
        if (q < n && (text[q] == u'"' || text[q] == u'\'')) {
            // Quoted: up to the matching quote; a doubled quote stands for one.
            const QChar quote = text[q];
            qsizetype j = q + 1;
            bool closed = false;
            while (j < n) {
                if (text[j] == quote) {
                    if (j + 1 < n && text[j + 1] == quote) {
                        value += quote;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += text[j++];
            }
            if (!closed)
                throw TAccessError(
                    QStringLiteral("The connection string value of \"%1\" lacks its closing quote.")
                        .arg(name));
            while (j < n && isBlank(text[j])) ++j;
            if (j < n && text[j] != u';')
                throw TAccessError(
                    QStringLiteral("Unexpected text after the quoted value of \"%1\" in the "
                                   "connection string.")
                        .arg(name));
            i = j + 1;
        } else {
            const qsizetype end = semi == -1 ? n : semi;
            value = text.mid(i, end - i);
            i = end + 1;
        }
        parts.emplace_back(name, value);
    }
    return parts;
}

// --- connection -------------------------------------------------------------

TAccessConnection::~TAccessConnection() { close(); }

void TAccessConnection::open() {
    close();
    QString source;
    bool haveSource = false;
    jet::OpenMode mode = jet::OpenMode::ReadWrite;
    for (const auto& [name, value] : parseConnectionString(connectionString_)) {
        if (name.compare(u"Data Source", Qt::CaseInsensitive) == 0) {
            source = value;
            haveSource = true;
        } else if (name.compare(u"Provider", Qt::CaseInsensitive) == 0) {
            if (value.trimmed().compare(QLatin1String(kProvider), Qt::CaseInsensitive) != 0)
                throw TAccessError(
                    QStringLiteral("The provider \"%1\" is not supported.").arg(value));
        } else if (name.compare(u"Mode", Qt::CaseInsensitive) == 0) {
            if (value.trimmed().compare(u"Read", Qt::CaseInsensitive) == 0)
                mode = jet::OpenMode::ReadOnly;
        }
    }
    if (!haveSource || source.isEmpty())
        throw TAccessError(QStringLiteral("The connection string names no Data Source."));
    try {
        db_ = jet::Database::open(toPath(source), mode);
    } catch (const jet::Error& e) {
        throw TAccessError(e, true);  // which file would not open
    }
}

void TAccessConnection::close() {
    for (TAccessDataset* dataset : datasets_) dataset->close();
    db_.reset();
}

jet::Database& TAccessConnection::database() const {
    if (!db_)
        throw TAccessError(QStringLiteral("The connection to the Access database is closed."));
    return *db_;
}

void TAccessConnection::beginTrans() {
    guarded([&] { database().begin(); });
}

void TAccessConnection::commitTrans() {
    guarded([&] { database().commit(); });
}

void TAccessConnection::commitTransInBackground() {
    guarded([&] { database().commitInBackground(); });
}

void TAccessConnection::rollbackTrans() {
    detachCursors();
    guarded([&] { database().rollback(); });
}

void TAccessConnection::detachCursors() {
    for (TAccessDataset* dataset : datasets_) dataset->detach();
}

bool TAccessConnection::inTransaction() const { return db_ && db_->inTransaction(); }

// --- command ----------------------------------------------------------------

void TAccessCommand::execute() {
    jet::Database& db = connection_.database();
    connection_.detachCursors();
    guarded([&] { jet::sql::execute(db, commandText_.toStdString()); });
}

// --- cursor -----------------------------------------------------------------

TAccessDataset::TAccessDataset(TAccessConnection& connection) : connection_(connection) {
    connection_.datasets_.push_back(this);
}

TAccessDataset::~TAccessDataset() {
    close();
    auto& list = connection_.datasets_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TAccessDataset::open() {
    close();
    jet::Database& db = connection_.database();
    guarded([&] {
        const jet::sql::Statement statement = jet::sql::parse(commandText_.toStdString());
        const auto* select = std::get_if<jet::sql::Select>(&statement);
        if (!select)
            throw TAccessError(
                QStringLiteral("The cursor opens queries only, not \"%1\".").arg(commandText_));
        const jet::TableDef& table = jet::sql::resolve(db, *select);
        tableName_ = table.name;
        updatable_ = select->allColumns;
        load(table);
    });
    context_ = jet::ConvertContext{db.version(), tableName_, db.codePage()};
    open_ = true;
}

void TAccessDataset::close() {
    open_ = false;
    stale_ = false;
    columns_.clear();
    updatable_ = false;
    appending_ = false;
    fieldNames_.clear();
    exact_.clear();
    folded_.clear();
    inserter_.reset();
    row_.clear();
    spareText_.clear();
    tableName_.clear();
}

void TAccessDataset::detach() {
    inserter_.reset();
    stale_ = open_;
}

void TAccessDataset::load(const jet::TableDef& table) {
    columns_ = table.columns;
    fieldNames_.clear();
    exact_.clear();
    folded_.clear();
    if (updatable_) {
        for (const jet::ColumnDef& column : table.columns)
            fieldNames_.push_back(QString::fromStdString(column.name));
    } else {
        fieldNames_.push_back(QStringLiteral("Expr1000"));
    }
    for (int i = 0; i < fieldNames_.size(); ++i) {
        exact_.insert(fieldNames_[i], i);
        folded_.insert(fieldNames_[i].toCaseFolded(), i);
    }
}

void TAccessDataset::refresh() {
    if (!stale_) return;
    stale_ = false;
    const std::vector<jet::ColumnDef> before = columns_;
    guarded([&] { load(connection_.database().table(tableName_)); });
    auto sameShape = [&] {
        return before.size() == columns_.size() &&
               std::equal(before.begin(), before.end(), columns_.begin(),
                          [](const jet::ColumnDef& a, const jet::ColumnDef& b) {
                              return a.name == b.name && a.type == b.type;
                          });
    };
    if (appending_ && !sameShape()) {
        appending_ = false;
        throw TAccessError(
            QStringLiteral("Table '%1' changed while a row was being added; the row was dropped.")
                .arg(QString::fromStdString(tableName_)));
    }
}

int TAccessDataset::fieldCount() const { return static_cast<int>(fieldNames_.size()); }

QString TAccessDataset::fieldName(int i) const { return fieldNames_.value(i); }

jet::ColumnType TAccessDataset::fieldType(int i) const {
    if (!updatable_ || i < 0 || static_cast<std::size_t>(i) >= columns_.size())
        return jet::ColumnType::Text;
    return columns_[static_cast<std::size_t>(i)].type;
}

int TAccessDataset::fieldIndex(const QString& name) const {
    if (auto it = exact_.constFind(name); it != exact_.constEnd()) return it.value();
    return folded_.value(name.toCaseFolded(), -1);
}

void TAccessDataset::append() {
    if (!open_) throw TAccessError(QStringLiteral("The cursor is not open."));
    if (!updatable_)
        throw TAccessError(
            QStringLiteral("The result of \"%1\" cannot take new rows.").arg(commandText_));
    if (appending_) post();
    refresh();
    const auto width = static_cast<std::size_t>(fieldNames_.size());
    spareText_.resize(width);
    row_.resize(width);
    for (std::size_t i = 0; i < width; ++i) {
        if (row_[i].isNull()) continue;
        if (std::string* text = row_[i].getIf<std::string>()) spareText_[i].swap(*text);
        row_[i] = jet::Value();
    }
    appending_ = true;
}

void TAccessDataset::requireAppending() const {
    if (!appending_)
        throw TAccessError(QStringLiteral("No new row: append one before setting values."));
}

void TAccessDataset::setValue(const QString& name, jet::Value value) {
    requireAppending();
    refresh();
    const int field = fieldIndex(name);
    if (field < 0)
        throw TAccessError(QStringLiteral("Table '%1' has no column '%2'.")
                               .arg(QString::fromStdString(tableName_), name));
    setValue(field, std::move(value));
}

void TAccessDataset::setValue(const QString& name, const TOracleValue& value) {
    setValue(name, toJetValue(value));
}

void TAccessDataset::setValue(const QString& name, const QString& text) {
    setValue(name, jet::Value(text.toStdString()));
}

void TAccessDataset::setValue(int field, jet::Value value) {
    requireAppending();
    refresh();
    if (field < 0 || field >= fieldNames_.size())
        throw TAccessError(QStringLiteral("No column %1 in table '%2'.")
                               .arg(field)
                               .arg(QString::fromStdString(tableName_)));
    const auto index = static_cast<std::size_t>(field);
    // Converting now lets the caller learn which value failed; the row keeps the
    // caller's value, which the inserter converts again when storing.
    guarded([&] { jet::convertValue(value, columns_[index], context_); });
    row_[index] = std::move(value);
}

void TAccessDataset::post() {
    requireAppending();
    refresh();
    appending_ = false;
    guarded([&] {
        if (!inserter_) inserter_.emplace(connection_.database().inserter(tableName_));
        inserter_->insert(row_);
    });
}

jet::Value& TAccessDataset::unconvertedSlot(int field) {
    if (appending_ && field >= 0 && field < fieldNames_.size())
        return row_[static_cast<std::size_t>(field)];
    requireAppending();
    if (field < 0 || field >= fieldNames_.size())
        throw TAccessError(QStringLiteral("No column %1 in table '%2'.")
                               .arg(field)
                               .arg(QString::fromStdString(tableName_)));
    return row_[static_cast<std::size_t>(field)];
}

void TAccessDataset::setUnconvertedValue(int field, jet::Value value) {
    unconvertedSlot(field) = std::move(value);
}

void TAccessDataset::setUnconvertedValue(int field, const TOracleValue& value) {
    jet::Value& slot = unconvertedSlot(field);
    const auto index = static_cast<std::size_t>(field);
    // The usual kinds are set here directly, text through the column's spare buffer.
    switch (value.kind()) {
        case TOracleValue::Kind::Integer:
            slot = jet::Value(std::int64_t{value.integerValue()});
            return;
        case TOracleValue::Kind::Double:
            slot = jet::Value(value.doubleValue());
            return;
        case TOracleValue::Kind::Text:
            if (index < spareText_.size()) {
                std::string& text = spareText_[index];
                const QByteArray& utf8 = value.utf8Value();
                text.assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
                slot = jet::Value(std::move(text));
                return;
            }
            break;
        default:
            break;
    }
    slot = toJetValue(value);
}

std::vector<int> TAccessDataset::postKeepingWhatFits() {
    requireAppending();
    refresh();
    appending_ = false;
    std::vector<int> leftOut;
    guarded([&] {
        if (!inserter_) inserter_.emplace(connection_.database().inserter(tableName_));
        // The engine converts the whole row before it stores anything, so a
        // refused conversion leaves nothing behind and the row can be tried
        // again without the values that do not fit.
        try {
            inserter_->insert(row_);
            return;
        } catch (const jet::Error& e) {
            if (e.kind() != jet::Error::Kind::Conversion) throw;
        }
        for (std::size_t i = 0; i < row_.size(); ++i) {
            if (row_[i].isNull()) continue;
            try {
                jet::convertValue(row_[i], columns_[i], context_);
            } catch (const jet::Error& e) {
                if (e.kind() != jet::Error::Kind::Conversion) throw;
                row_[i] = jet::Value();
                leftOut.push_back(static_cast<int>(i));
            }
        }
        inserter_->insert(row_);
    });
    return leftOut;
}

// --- values -----------------------------------------------------------------

jet::Value toJetValue(const TOracleValue& value) {
    switch (value.kind()) {
        case TOracleValue::Kind::Null:
            return {};
        case TOracleValue::Kind::Text: {
            // The source's UTF-8 as it came: the writer converts it once, into the page.
            const QByteArray& utf8 = value.utf8Value();
            return jet::Value(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        }
        case TOracleValue::Kind::Decimal:
            return jet::Value(value.textValue().toStdString());
        case TOracleValue::Kind::Integer:
            return jet::Value(std::int64_t{value.integerValue()});
        case TOracleValue::Kind::Double:
            return jet::Value(value.doubleValue());
        case TOracleValue::Kind::DateTime: {
            const TOracleDateTime& d = value.dateTimeValue();
            return jet::Value(jet::DateTime::fromParts(d.year, d.month, d.day, d.hour, d.minute,
                                                       d.second + d.nanosecond / 1e9));
        }
        case TOracleValue::Kind::Bytes: {
            const QByteArray& b = value.bytesValue();
            return jet::Value(jet::Bytes(b.begin(), b.end()));
        }
    }
    return {};
}

}  // namespace dbaccess
