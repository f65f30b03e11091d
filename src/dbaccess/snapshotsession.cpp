// The local snapshot driver: an SQLite file holding Oracle-shaped tables and the
// four dictionary objects user_tables, user_tab_columns, user_indexes and
// user_ind_columns (tables or views). The SQL we send to Oracle runs on it
// unchanged; values are typed by the snapshot's own user_tab_columns so that
// they arrive as Oracle's driver would deliver them, names resolve as in Oracle
// (bare names in capitals, quoted ones exactly), and the failures Oracle reports
// by number carry Oracle's number and text.

#include <sqlite3.h>

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>

#include "dbaccess/oracledriver.h"
#include "dbaccess/oraclelexer.h"

namespace dbaccess {

namespace {

enum class ValueType : std::uint8_t {
    Native,        // no dictionary type known: SQLite's own storage class decides
    Number,        // NUMBER, FLOAT
    BinaryNumber,  // BINARY_DOUBLE, BINARY_FLOAT
    Text,          // character types where Oracle stores '' as Null
    LargeText,     // CLOB, NCLOB: may be empty without being Null
    DateTime,      // DATE, TIMESTAMP...
    Bytes,         // RAW, LONG RAW: empty is Null
    Blob,          // BLOB: may be empty without being Null
    Dictionary,    // a dictionary column of no known type: numbers as NUMBER, text as VARCHAR2
};

ValueType valueTypeOf(const QString& dataType) {
    if (dataType == QLatin1String("NUMBER") || dataType == QLatin1String("FLOAT"))
        return ValueType::Number;
    if (dataType == QLatin1String("BINARY_DOUBLE") || dataType == QLatin1String("BINARY_FLOAT"))
        return ValueType::BinaryNumber;
    if (dataType == QLatin1String("CLOB") || dataType == QLatin1String("NCLOB"))
        return ValueType::LargeText;
    if (dataType == QLatin1String("DATE") || dataType.startsWith(QLatin1String("TIMESTAMP")))
        return ValueType::DateTime;
    if (dataType == QLatin1String("BLOB")) return ValueType::Blob;
    if (dataType == QLatin1String("RAW") || dataType == QLatin1String("LONG RAW"))
        return ValueType::Bytes;
    return ValueType::Text;  // CHAR, NCHAR, VARCHAR2, NVARCHAR2, LONG, ROWID, INTERVAL...
}

// Types of the dictionary objects' own columns, by result name or by the name
// of the column it comes from.
ValueType dictionaryColumnType(const QString& name, const QString& origin) {
    static const QStringList numbers = {QStringLiteral("data_length"),
                                        QStringLiteral("data_precision"),
                                        QStringLiteral("data_scale"), QStringLiteral("column_id"),
                                        QStringLiteral("column_position")};
    static const QStringList texts = {QStringLiteral("table_name"), QStringLiteral("column_name"),
                                      QStringLiteral("data_type"),  QStringLiteral("nullable"),
                                      QStringLiteral("index_name"), QStringLiteral("uniqueness")};
    for (const QString& n : {name, origin}) {
        if (numbers.contains(n, Qt::CaseInsensitive)) return ValueType::Number;
        if (texts.contains(n, Qt::CaseInsensitive)) return ValueType::Text;
    }
    return ValueType::Dictionary;
}

bool isDictionaryObject(const QString& table) {
    static const QStringList names = {
        QStringLiteral("user_tables"), QStringLiteral("user_tab_columns"),
        QStringLiteral("user_indexes"), QStringLiteral("user_ind_columns")};
    return names.contains(table, Qt::CaseInsensitive);
}

const QString kNoSuchTable = QStringLiteral("ORA-00942: table or view does not exist");

// Oracle's messages for what SQLite reports in its own words, so that callers
// see the same text from either driver.
QString oracleMessage(sqlite3* db) {
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    const int code = sqlite3_errcode(db) & 0xFF;
    if (code == SQLITE_READONLY || code == SQLITE_AUTH || code == SQLITE_PERM)
        return QStringLiteral("ORA-01031: insufficient privileges");
    if (message.startsWith(QLatin1String("no such table:"))) return kNoSuchTable;
    if (message.startsWith(QLatin1String("no such column: "))) {
        const QString name = message.mid(16).toUpper();
        return QStringLiteral("ORA-00904: \"%1\": invalid identifier").arg(name);
    }
    if (message == QLatin1String("incomplete input"))
        return QStringLiteral("ORA-00921: unexpected end of SQL command");
    if (message.endsWith(QLatin1String(": syntax error")))
        return QStringLiteral("ORA-00933: SQL command not properly ended");
    return message;
}

// What the snapshot's dictionary says about its tables, looked up by the names
// SQLite reports: the name a table was created with may differ from the
// dictionary's in letter case only.
class SnapshotCatalog {
public:
    void addColumn(const QString& table, const QString& column, const QString& dataType) {
        types_[table][column] = dataType;
        addTable(table);
    }
    void addTable(const QString& table) {
        if (tables_.contains(table)) return;
        tables_.insert(table);
        const QString key = table.toLower();
        // Two dictionary names that differ in case only: no folding for either.
        folded_[key] = folded_.contains(key) ? QString() : table;
    }
    // Tables that dictionary views read (in lower case).
    void addDictionarySource(const QString& table) { dictionarySources_.insert(table.toLower()); }

    // The dictionary's name of a stored table; empty when the dictionary lacks it.
    QString oracleName(const QString& stored) const {
        if (tables_.contains(stored)) return stored;
        return folded_.value(stored.toLower());
    }

    QString dataType(const QString& storedTable, const QString& storedColumn) const {
        const auto table = types_.constFind(oracleName(storedTable));
        if (table == types_.cend()) return QString();
        const auto exact = table->constFind(storedColumn);
        if (exact != table->cend()) return *exact;
        for (auto it = table->cbegin(); it != table->cend(); ++it)
            if (it.key().compare(storedColumn, Qt::CaseInsensitive) == 0) return it.value();
        return QString();
    }

    bool feedsDictionary(const QString& stored) const {
        return isDictionaryObject(stored) || dictionarySources_.contains(stored.toLower());
    }

private:
    QHash<QString, QHash<QString, QString>> types_;  // table -> column -> data_type
    QSet<QString> tables_;
    QHash<QString, QString> folded_;  // lower-case name -> dictionary name
    QSet<QString> dictionarySources_;
};

class SnapshotSession;

class SnapshotResult final : public OracleResult {
public:
    SnapshotResult(std::shared_ptr<sqlite3> db, std::shared_ptr<std::mutex> lock,
                   sqlite3_stmt* statement, const SnapshotCatalog& catalog)
        : db_(std::move(db)), lock_(std::move(lock)), statement_(statement) {
        const int count = sqlite3_column_count(statement_);
        for (int i = 0; i < count; ++i) {
            QString name = QString::fromUtf8(sqlite3_column_name(statement_, i));
            const char* table = sqlite3_column_table_name(statement_, i);
            const char* origin = sqlite3_column_origin_name(statement_, i);
            QString dataType;
            ValueType type = ValueType::Native;
            if (table && origin) {
                const QString tableName = QString::fromUtf8(table);
                const QString originName = QString::fromUtf8(origin);
                if (catalog.feedsDictionary(tableName)) {
                    type = dictionaryColumnType(name, originName);
                    name = name.toUpper();  // Oracle reports dictionary columns so
                } else {
                    dataType = catalog.dataType(tableName, originName);
                    if (!dataType.isEmpty()) type = valueTypeOf(dataType);
                    // An alias differs from the column; Oracle folds unquoted aliases.
                    if (name != originName) name = name.toUpper();
                }
            } else {
                name = name.toUpper();
            }
            columns_.push_back({name, dataType == QLatin1String("BLOB")});
            types_.push_back(type);
        }
    }

    ~SnapshotResult() override {
        if (reader_.joinable()) {
            {
                std::lock_guard guard(queueLock_);
                stopping_ = true;
            }
            queueChanged_.notify_all();
            reader_.join();
        }
        std::lock_guard guard(*lock_);
        sqlite3_finalize(statement_);
    }

    const std::vector<TOracleColumn>& columns() const override { return columns_; }

    // Long results are read ahead on a thread of their own, so that the
    // caller's work on one row overlaps the reading of the next; rows, values
    // and failures arrive in the same order as without. The reader keeps up
    // to a commit's worth of rows ahead: it reads on while the caller waits
    // for a commit to reach the disk.
    bool fetch(std::vector<TOracleValue>& row) override {
        if (!reader_.joinable() && !taking_) {
            if (readerStarted_ || ++fetched_ <= kRowsBeforeReadAhead) {
                std::lock_guard guard(*lock_);
                return fetchNow(row);
            }
            readerStarted_ = true;
            reader_ = std::thread([this] { readAhead(); });
        }
        for (;;) {
            if (taking_ && taken_ < taking_->rows) {
                // Swapped, not moved: the previous row goes back with the
                // batch and is freed by the reader that allocated it.
                row.swap(taking_->values[taken_]);
                ++taken_;
                return true;
            }
            if (taking_ && taking_->last) {
                // The reader has ended: its end or failure is reported, and
                // any later call reads on here.
                const std::exception_ptr failure = taking_->failure;
                taking_.reset();
                if (failure) std::rethrow_exception(failure);
                return false;
            }
            std::unique_lock guard(queueLock_);
            if (taking_) spare_.push_back(std::move(taking_));
            queueChanged_.wait(guard, [&] { return !ready_.empty(); });
            taking_ = std::move(ready_.front());
            ready_.pop_front();
            queuedBytes_ -= taking_->bytes;
            taken_ = 0;
            guard.unlock();
            queueChanged_.notify_all();
            if (taking_->last) reader_.join();
        }
    }

private:
    static constexpr long kRowsBeforeReadAhead = 1000;  // dictionary queries never start one
    static constexpr size_t kBatchRows = 128;
    static constexpr size_t kBatchesAhead = 64;
    static constexpr size_t kBytesAhead = size_t{32} << 20;  // fewer rows when they are long

    struct Batch {
        std::vector<std::vector<TOracleValue>> values;  // rows of width values
        size_t rows = 0;
        size_t bytes = 0;  // what the rows hold, roughly
        bool last = false;  // the result ends after these rows (failure set: with it)
        std::exception_ptr failure;
    };

    static size_t payload(const TOracleValue& v) {
        if (v.kind() == TOracleValue::Kind::Text) return static_cast<size_t>(v.utf8Value().size());
        if (v.kind() == TOracleValue::Kind::Bytes) return static_cast<size_t>(v.bytesValue().size());
        return 0;
    }

    bool fetchNow(std::vector<TOracleValue>& row) {
        const int rc = sqlite3_step(statement_);
        if (rc == SQLITE_DONE) return false;
        if (rc != SQLITE_ROW) throw TOracleError(oracleMessage(db_.get()));
        for (size_t i = 0; i < types_.size(); ++i) row[i] = cell(static_cast<int>(i));
        return true;
    }

    void readAhead() {
        const size_t width = types_.size();
        std::vector<TOracleValue> row(width);
        for (;;) {
            std::unique_ptr<Batch> batch;
            {
                std::unique_lock guard(queueLock_);
                queueChanged_.wait(guard, [&] {
                    return stopping_ || ready_.empty() ||
                           (ready_.size() < kBatchesAhead && queuedBytes_ < kBytesAhead);
                });
                if (stopping_) return;
                if (!spare_.empty()) {
                    batch = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            if (!batch) batch = std::make_unique<Batch>();
            batch->values.resize(kBatchRows);
            for (std::vector<TOracleValue>& values : batch->values) values.resize(width);
            batch->rows = 0;
            batch->bytes = 0;
            try {
                std::lock_guard guard(*lock_);
                while (batch->rows < kBatchRows) {
                    if (!fetchNow(row)) {
                        batch->last = true;
                        break;
                    }
                    std::vector<TOracleValue>& values = batch->values[batch->rows];
                    for (size_t i = 0; i < width; ++i) {
                        batch->bytes += sizeof(TOracleValue) + payload(row[i]);
                        values[i] = std::move(row[i]);
                    }
                    ++batch->rows;
                }
            } catch (...) {
                batch->failure = std::current_exception();
                batch->last = true;
            }
            const bool last = batch->last;
            {
                std::lock_guard guard(queueLock_);
                queuedBytes_ += batch->bytes;
                ready_.push_back(std::move(batch));
            }
            queueChanged_.notify_all();
            if (last) return;
        }
    }

    QString textOf(int i) const {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement_, i));
        return QString::fromUtf8(data, sqlite3_column_bytes(statement_, i));
    }

    // The text as SQLite holds it, UTF-8, without decoding it.
    QByteArray utf8Of(int i) const {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement_, i));
        return QByteArray(data, sqlite3_column_bytes(statement_, i));
    }

    std::string_view viewOf(int i) const {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement_, i));
        return std::string_view(data, static_cast<size_t>(sqlite3_column_bytes(statement_, i)));
    }

    QByteArray bytesOf(int i) const {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(statement_, i));
        return QByteArray(data, sqlite3_column_bytes(statement_, i));
    }

    [[noreturn]] void badValue(int i, const QString& what) const {
        throw TOracleError(QStringLiteral("Snapshot value of column %1 is not %2: '%3'")
                               .arg(columns_[static_cast<size_t>(i)].name, what, textOf(i)));
    }

    TOracleValue cell(int i) const {
        const int storage = sqlite3_column_type(statement_, i);
        if (storage == SQLITE_NULL) return TOracleValue();
        switch (types_[static_cast<size_t>(i)]) {
            case ValueType::Native:
                if (storage == SQLITE_INTEGER)
                    return TOracleValue::integer(sqlite3_column_int64(statement_, i));
                if (storage == SQLITE_FLOAT)
                    return TOracleValue::real(sqlite3_column_double(statement_, i));
                if (storage == SQLITE_BLOB) return TOracleValue::bytes(bytesOf(i));
                return TOracleValue::utf8Text(utf8Of(i));
            case ValueType::Number: {
                if (storage == SQLITE_INTEGER)
                    return TOracleValue::integer(sqlite3_column_int64(statement_, i));
                if (storage == SQLITE_FLOAT) {
                    // An integral NUMBER arrives as an integer, as from Oracle.
                    const double d = sqlite3_column_double(statement_, i);
                    if (std::trunc(d) == d && std::fabs(d) < 9.2e18)
                        return TOracleValue::integer(static_cast<qint64>(d));
                    return TOracleValue::real(d);
                }
                if (auto number = TOracleValue::number(textOf(i))) return *number;
                badValue(i, QStringLiteral("a number"));
            }
            case ValueType::BinaryNumber: {
                if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                    return TOracleValue::real(sqlite3_column_double(statement_, i));
                const QString text = textOf(i);
                if (text == QLatin1String("Inf"))
                    return TOracleValue::real(std::numeric_limits<double>::infinity());
                if (text == QLatin1String("-Inf"))
                    return TOracleValue::real(-std::numeric_limits<double>::infinity());
                if (text == QLatin1String("Nan"))
                    return TOracleValue::real(std::numeric_limits<double>::quiet_NaN());
                if (auto number = TOracleValue::number(text))
                    return TOracleValue::real(number->toDouble());
                badValue(i, QStringLiteral("a number"));
            }
            case ValueType::Text: {
                QByteArray text = utf8Of(i);
                return text.isEmpty() ? TOracleValue() : TOracleValue::utf8Text(std::move(text));
            }
            case ValueType::LargeText:
                return TOracleValue::utf8Text(utf8Of(i));
            case ValueType::DateTime:
                if (storage == SQLITE_TEXT) {
                    if (auto dt = TOracleDateTime::fromText(viewOf(i)))
                        return TOracleValue::dateTime(*dt);
                }
                badValue(i, QStringLiteral("a date-time"));
            case ValueType::Bytes: {
                QByteArray bytes = bytesOf(i);
                return bytes.isEmpty() ? TOracleValue() : TOracleValue::bytes(std::move(bytes));
            }
            case ValueType::Blob:
                return TOracleValue::bytes(bytesOf(i));
            case ValueType::Dictionary:
                if (storage == SQLITE_INTEGER)
                    return TOracleValue::integer(sqlite3_column_int64(statement_, i));
                if (storage == SQLITE_FLOAT)
                    return TOracleValue::real(sqlite3_column_double(statement_, i));
                if (storage == SQLITE_BLOB) return TOracleValue::bytes(bytesOf(i));
                return textOf(i).isEmpty() ? TOracleValue() : TOracleValue::utf8Text(utf8Of(i));
        }
        return TOracleValue();
    }

    std::shared_ptr<sqlite3> db_;
    std::shared_ptr<std::mutex> lock_;  // the connection's: one thread at a time
    sqlite3_stmt* statement_;
    std::vector<TOracleColumn> columns_;
    std::vector<ValueType> types_;

    long fetched_ = 0;
    bool readerStarted_ = false;
    std::thread reader_;
    std::mutex queueLock_;
    std::condition_variable queueChanged_;
    bool stopping_ = false;
    std::deque<std::unique_ptr<Batch>> ready_;
    size_t queuedBytes_ = 0;
    std::vector<std::unique_ptr<Batch>> spare_;
    std::unique_ptr<Batch> taking_;
    size_t taken_ = 0;
};

// SQLite finds tables whatever the letter case of the name in the query; Oracle
// folds a bare name to capitals and takes a quoted one exactly. A table the
// statement names itself (not through a view) is therefore accepted only when
// the statement spells its dictionary name the way Oracle resolves names.
struct NameCheck {
    const QSet<QString>& spelled;  // the statement's names, as Oracle resolves them
    const SnapshotCatalog& catalog;
    bool denied = false;

    static int authorize(void* context, int action, const char* table, const char*, const char*,
                         const char* view) {
        auto* self = static_cast<NameCheck*>(context);
        if (action != SQLITE_READ || !table || view) return SQLITE_OK;
        const QString name = QString::fromUtf8(table);
        if (isDictionaryObject(name)) return SQLITE_OK;
        const QString oracle = self->catalog.oracleName(name);
        if (oracle.isEmpty() || self->spelled.contains(oracle)) return SQLITE_OK;
        self->denied = true;
        return SQLITE_DENY;
    }
};

// Collects the tables a statement reads, views followed through.
int collectReads(void* context, int action, const char* table, const char*, const char*,
                 const char*) {
    if (action == SQLITE_READ && table)
        static_cast<QSet<QString>*>(context)->insert(QString::fromUtf8(table));
    return SQLITE_OK;
}

class SnapshotSession final : public OracleSession {
public:
    explicit SnapshotSession(const QString& path) {
        if (!QFileInfo(path).isFile())
            throw TOracleError(QStringLiteral("Snapshot file not found: %1").arg(path));
        sqlite3* handle = nullptr;
        const int rc = sqlite3_open_v2(path.toUtf8().constData(), &handle,
                                       SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        db_.reset(handle, sqlite3_close);
        if (rc != SQLITE_OK)
            throw TOracleError(QStringLiteral("Cannot open snapshot %1: %2")
                                   .arg(path, QString::fromUtf8(sqlite3_errmsg(handle))));
        // "name" is always a name, never a string literal in disguise.
        sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        loadCatalog(path);
    }

    std::unique_ptr<OracleResult> query(const QString& sql) override {
        std::lock_guard guard(*lock_);
        const OracleLexResult lexed = lexOracleSql(sql);
        if (!lexed.error.isEmpty()) throw TOracleError(lexed.error);
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt* statement = nullptr;
        NameCheck check{lexed.names, catalog_};
        sqlite3_set_authorizer(db_.get(), &NameCheck::authorize, &check);
        const int rc =
            sqlite3_prepare_v2(db_.get(), text.constData(), int(text.size()), &statement, nullptr);
        sqlite3_set_authorizer(db_.get(), nullptr, nullptr);
        if (check.denied) {
            sqlite3_finalize(statement);
            throw TOracleError(kNoSuchTable);
        }
        if (rc != SQLITE_OK) throw TOracleError(oracleMessage(db_.get()));
        if (!statement) throw TOracleError(QStringLiteral("ORA-00900: invalid SQL statement"));
        // A snapshot is read only, as a schema the user may only query.
        if (!sqlite3_stmt_readonly(statement)) {
            sqlite3_finalize(statement);
            throw TOracleError(QStringLiteral("ORA-01031: insufficient privileges"));
        }
        return std::make_unique<SnapshotResult>(db_, lock_, statement, catalog_);
    }

private:
    [[noreturn]] void notASnapshot(const QString& path) const {
        throw TOracleError(QStringLiteral("%1 is not an Oracle snapshot: %2")
                               .arg(path, QString::fromUtf8(sqlite3_errmsg(db_.get()))));
    }

    void loadCatalog(const QString& path) {
        sqlite3_stmt* statement = nullptr;
        const char* sql = "select table_name, column_name, data_type from user_tab_columns";
        if (sqlite3_prepare_v2(db_.get(), sql, -1, &statement, nullptr) != SQLITE_OK)
            notASnapshot(path);
        auto text = [&](int i) {
            return QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
        };
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
            catalog_.addColumn(text(0), text(1), text(2));
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE) notASnapshot(path);

        if (sqlite3_prepare_v2(db_.get(), "select table_name from user_tables", -1, &statement,
                               nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) catalog_.addTable(text(0));
            sqlite3_finalize(statement);
        }

        // The tables behind dictionary views answer for the views.
        if (sqlite3_prepare_v2(db_.get(), "select name from sqlite_master where type = 'view'", -1,
                               &statement, nullptr) != SQLITE_OK)
            notASnapshot(path);
        QStringList views;
        while (sqlite3_step(statement) == SQLITE_ROW)
            if (isDictionaryObject(text(0))) views << text(0);
        sqlite3_finalize(statement);
        for (const QString& view : views) {
            QSet<QString> reads;
            const QByteArray select = "select * from \"" + view.toUtf8().replace('"', "\"\"") + '"';
            sqlite3_set_authorizer(db_.get(), &collectReads, &reads);
            sqlite3_stmt* probe = nullptr;
            sqlite3_prepare_v2(db_.get(), select.constData(), -1, &probe, nullptr);
            sqlite3_set_authorizer(db_.get(), nullptr, nullptr);
            sqlite3_finalize(probe);
            for (const QString& table : reads) catalog_.addDictionarySource(table);
        }
    }

    std::shared_ptr<sqlite3> db_;
    // Results read ahead on threads of their own; the connection is opened
    // without SQLite's mutex, so its users take this one.
    std::shared_ptr<std::mutex> lock_ = std::make_shared<std::mutex>();
    SnapshotCatalog catalog_;
};

}  // namespace

std::shared_ptr<OracleSession> openSnapshotSession(const QString& path) {
    return std::make_shared<SnapshotSession>(path);
}

}  // namespace dbaccess
