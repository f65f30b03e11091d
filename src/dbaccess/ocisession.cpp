// The Oracle driver: plain SQL over the Oracle Call Interface, loaded at run
// time, with array fetch. Each column is defined in the form that keeps its
// value exact: NUMBER in Oracle's own variable-length format (decoded here),
// DATE as its seven bytes, TIMESTAMPs through datetime descriptors (which need
// an environment in object mode), binary floats as IEEE values, text as UTF-8
// (the environment's character set for both CHAR and NCHAR data; national
// columns say so on their define, or their text would pass through the
// database character set), LOBs through locators with their length and first
// bytes prefetched, and LONG, LONG RAW and text too wide for one buffer piece
// by piece. Every define carries per-row return codes, so a value the client
// cut short is an error, never a value.

#include <QByteArray>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "dbaccess/ociapi.h"
#include "dbaccess/ocilibrary.h"
#include "dbaccess/ocinumber.h"
#include "dbaccess/oracledriver.h"

namespace dbaccess {

namespace {

using namespace oci;

constexpr size_t kBatchBytes = 1 << 20;  // buffer budget of one array fetch
constexpr ub4 kMaxBatchRows = 500;
constexpr oraub8 kLobChunkBytes = 1 << 18;
// Small LOBs arrive with the row: no round trip for their length or content.
constexpr ub4 kLobPrefetchBytes = 16 * 1024;
constexpr ub4 kLongPiece = 1 << 16;
// The largest buffer of one define; wider text is fetched piece by piece.
constexpr sb4 kMaxTextBytes = 32767;
constexpr ub2 kInternalTimestamp = 180;
constexpr ub2 kInternalTimestampTz = 181;
constexpr ub2 kInternalTimestampLtz = 231;
constexpr sb4 kTruncated = 1406;        // ORA-01406: fetched column value was truncated
constexpr sb4 kArrayTruncated = 24345;  // ORA-24345: a truncation or null fetch error occurred
constexpr sb2 kNullIndicator = -1;

// The error handle's first record, as "ORA-nnnnn: text".
QString errorText(const Api& api, void* handle, ub4 type, sb4* code = nullptr) {
    OraText buffer[3072] = {};
    sb4 errorCode = 0;
    if (api.errorGet(handle, 1, nullptr, &errorCode, buffer, sizeof buffer, type) != OCI_SUCCESS)
        return QStringLiteral("Unknown Oracle client error");
    if (code) *code = errorCode;
    return QString::fromUtf8(reinterpret_cast<const char*>(buffer)).trimmed();
}

class Environment {
public:
    Environment() : api_(oci::api()) {
        const sword rc = api_.envNlsCreate(&env_, OCI_THREADED | OCI_OBJECT, nullptr, nullptr,
                                           nullptr, nullptr, 0, nullptr, AL32UTF8, AL32UTF8);
        if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) {
            const QString detail = env_ ? errorText(api_, env_, OCI_HTYPE_ENV) : QString();
            if (env_) api_.handleFree(env_, OCI_HTYPE_ENV);
            env_ = nullptr;
            throw TOracleError(QStringLiteral("The Oracle client could not set up its "
                                              "environment (is ORACLE_HOME or the client's "
                                              "message files missing?) %1")
                                   .arg(detail)
                                   .trimmed());
        }
        void* error = nullptr;
        if (api_.handleAlloc(env_, &error, OCI_HTYPE_ERROR, 0, nullptr) != OCI_SUCCESS) {
            api_.handleFree(env_, OCI_HTYPE_ENV);
            throw TOracleError(QStringLiteral("The Oracle client could not allocate a handle"));
        }
        error_ = static_cast<OCIError*>(error);
    }
    ~Environment() {
        api_.handleFree(error_, OCI_HTYPE_ERROR);
        api_.handleFree(env_, OCI_HTYPE_ENV);
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    const Api& api() const { return api_; }
    OCIEnv* env() const { return env_; }
    OCIError* error() const { return error_; }

    // Throws on anything but success; a warning passes unless data was cut.
    void check(sword rc) const {
        if (rc == OCI_SUCCESS) return;
        if (rc == OCI_SUCCESS_WITH_INFO) {
            sb4 code = 0;
            const QString text = errorText(api_, error_, OCI_HTYPE_ERROR, &code);
            if (code != kTruncated && code != kArrayTruncated) return;
            throw TOracleError(text);
        }
        if (rc == OCI_ERROR) throw TOracleError(errorText(api_, error_, OCI_HTYPE_ERROR));
        if (rc == OCI_INVALID_HANDLE)
            throw TOracleError(QStringLiteral("Oracle client call on an invalid handle"));
        throw TOracleError(QStringLiteral("Oracle client call failed with status %1").arg(rc));
    }

private:
    const Api& api_;
    OCIEnv* env_ = nullptr;
    OCIError* error_ = nullptr;
};

enum class Form : std::uint8_t {
    Number,
    Text,
    Date,
    Timestamp,
    BinaryFloat,
    BinaryDouble,
    Raw,
    Clob,
    Blob,
    LongText,
    LongRaw,
    WideText,    // character data wider than one define buffer: fetched piecewise
    Unreadable,  // left undefined; reading its value is an error
};

bool isPiecewise(Form form) {
    return form == Form::LongText || form == Form::LongRaw || form == Form::WideText;
}

struct Column {
    QString name;
    Form form = Form::Text;
    ub2 oracleType = 0;
    ub1 charsetForm = SQLCS_IMPLICIT;
    QString unreadableType;
    ub4 descriptorType = 0;  // timestamps and LOBs: one descriptor per batch row
    sb4 width = 0;           // bytes per row in data
    std::vector<char> data;
    std::vector<sb2> indicators;
    std::vector<ub2> lengths;
    std::vector<ub2> codes;  // per-row return codes: 0, or the ORA- number of a fault
    std::vector<void*> descriptors;
    OCIDefine* define = nullptr;
    // LONG, LONG RAW and wide text arrive through a callback, one piece at a time.
    QByteArray longValue;
    ub4 longUsed = 0;
    ub4 longPiece = 0;
    sb2 longIndicator = 0;
    ub2 longCode = 0;
};

sb4 longPieceCallback(void* context, OCIDefine*, ub4, void** buffer, ub4** length, ub1* piece,
                      void** indicator, ub2** code) {
    auto* column = static_cast<Column*>(context);
    if (*piece == OCI_FIRST_PIECE || *piece == OCI_ONE_PIECE) {
        column->longValue.clear();
        column->longUsed = 0;
        *piece = OCI_FIRST_PIECE;
    } else {
        column->longUsed += column->longPiece;
        *piece = OCI_NEXT_PIECE;
    }
    column->longValue.resize(qsizetype(column->longUsed) + kLongPiece);
    column->longPiece = kLongPiece;
    column->longIndicator = 0;
    column->longCode = 0;
    *buffer = column->longValue.data() + column->longUsed;
    *length = &column->longPiece;
    *indicator = &column->longIndicator;
    *code = &column->longCode;
    return OCI_CONTINUE;
}

class OciSession;

class OciResult final : public OracleResult {
public:
    OciResult(std::shared_ptr<OciSession> session, const QString& sql);
    ~OciResult() override;

    const std::vector<TOracleColumn>& columns() const override { return described_; }
    bool fetch(std::vector<TOracleValue>& row) override;

private:
    void describe();
    // Reads the column's name, type, size and character set form; returns DATA_SIZE.
    ub2 describeColumn(Column& column, ub4 position);
    void defineColumn(Column& column, ub4 position);
    void setCharsetForm(Column& column);
    void fetchBatch();
    void checkReturnCodes() const;
    TOracleValue cell(Column& column, size_t r);
    TOracleValue readLob(Column& column, size_t r);

    std::shared_ptr<OciSession> session_;
    const Environment& environment_;
    OCIStmt* statement_ = nullptr;
    std::vector<Column> columns_;
    std::vector<TOracleColumn> described_;
    ub4 batchRows_ = 1;
    ub4 fetched_ = 0;
    ub4 position_ = 0;
    bool exhausted_ = false;
};

class OciSession final : public OracleSession, public std::enable_shared_from_this<OciSession> {
public:
    OciSession(const QString& database, const QString& user, const QString& password) {
        const QByteArray u = user.toUtf8();
        const QByteArray p = password.toUtf8();
        const QByteArray d = database.toUtf8();
        environment_.check(environment_.api().logon2(
            environment_.env(), environment_.error(), &service_,
            reinterpret_cast<const OraText*>(u.constData()), ub4(u.size()),
            reinterpret_cast<const OraText*>(p.constData()), ub4(p.size()),
            reinterpret_cast<const OraText*>(d.constData()), ub4(d.size()), OCI_DEFAULT));
    }
    ~OciSession() override {
        if (service_) environment_.api().logoff(service_, environment_.error());
    }

    std::unique_ptr<OracleResult> query(const QString& sql) override {
        return std::make_unique<OciResult>(shared_from_this(), sql);
    }

    const Environment& environment() const { return environment_; }
    OCISvcCtx* service() const { return service_; }

private:
    Environment environment_;
    OCISvcCtx* service_ = nullptr;
};

OciResult::OciResult(std::shared_ptr<OciSession> session, const QString& sql)
    : session_(std::move(session)), environment_(session_->environment()) {
    const Api& api = environment_.api();
    const QByteArray text = sql.toUtf8();
    environment_.check(api.stmtPrepare2(session_->service(), &statement_, environment_.error(),
                                        reinterpret_cast<const OraText*>(text.constData()),
                                        ub4(text.size()), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT));
    try {
        ub2 type = 0;
        environment_.check(api.attrGet(statement_, OCI_HTYPE_STMT, &type, nullptr,
                                       OCI_ATTR_STMT_TYPE, environment_.error()));
        const ub4 iterations = type == OCI_STMT_SELECT ? 0 : 1;
        environment_.check(api.stmtExecute(session_->service(), statement_, environment_.error(),
                                           iterations, 0, nullptr, nullptr, OCI_DEFAULT));
        if (type == OCI_STMT_SELECT)
            describe();
        else
            exhausted_ = true;
    } catch (...) {
        // The destructor does not run for a constructor that throws.
        for (Column& column : columns_)
            for (void* d : column.descriptors)
                if (d) api.descriptorFree(d, column.descriptorType);
        api.stmtRelease(statement_, environment_.error(), nullptr, 0, OCI_DEFAULT);
        throw;
    }
}

OciResult::~OciResult() {
    const Api& api = environment_.api();
    for (Column& column : columns_)
        for (void* d : column.descriptors)
            if (d) api.descriptorFree(d, column.descriptorType);
    api.stmtRelease(statement_, environment_.error(), nullptr, 0, OCI_DEFAULT);
}

// Types no define of ours can take. Their columns stay undefined, so the rest
// of the row still arrives.
QString unreadableTypeName(ub2 type) {
    switch (type) {
        case SQLT_NTY:
            return QStringLiteral("OBJECT");  // replaced by the type's own name
        case SQLT_REF:
            return QStringLiteral("REF");
        case SQLT_BFILE:
            return QStringLiteral("BFILE");
        case SQLT_RSET:
            return QStringLiteral("CURSOR");
        case SQLT_JSON:
            return QStringLiteral("JSON");
        case SQLT_VEC:
            return QStringLiteral("VECTOR");
        default:
            return QString();
    }
}

// How a described column is fetched: its form and buffer width. Returns the
// bytes a row needs beyond that width (LOB prefetch).
size_t chooseForm(Column& c, ub2 size) {
    size_t extra = 0;
    // Some clients describe timestamps by their internal codes.
    if (c.oracleType == kInternalTimestamp) c.oracleType = SQLT_TIMESTAMP;
    if (c.oracleType == kInternalTimestampTz) c.oracleType = SQLT_TIMESTAMP_TZ;
    if (c.oracleType == kInternalTimestampLtz) c.oracleType = SQLT_TIMESTAMP_LTZ;
    switch (c.oracleType) {
        case SQLT_NUM:
        case SQLT_VNU:
            c.form = Form::Number;
            c.width = 22;
            break;
        case SQLT_DAT:
            c.form = Form::Date;
            c.width = 7;
            break;
        case SQLT_TIMESTAMP:
        case SQLT_TIMESTAMP_TZ:
        case SQLT_TIMESTAMP_LTZ:
            c.form = Form::Timestamp;
            c.descriptorType = c.oracleType == SQLT_TIMESTAMP      ? OCI_DTYPE_TIMESTAMP
                               : c.oracleType == SQLT_TIMESTAMP_TZ ? OCI_DTYPE_TIMESTAMP_TZ
                                                                   : OCI_DTYPE_TIMESTAMP_LTZ;
            c.width = sizeof(void*);
            break;
        case SQLT_IBFLOAT:
            c.form = Form::BinaryFloat;
            c.width = sizeof(float);
            break;
        case SQLT_IBDOUBLE:
            c.form = Form::BinaryDouble;
            c.width = sizeof(double);
            break;
        case SQLT_BIN:
            c.form = Form::Raw;
            c.width = std::max<sb4>(size, 1);
            break;
        case SQLT_CLOB:
        case SQLT_BLOB:
            c.form = c.oracleType == SQLT_CLOB ? Form::Clob : Form::Blob;
            c.descriptorType = OCI_DTYPE_LOB;
            c.width = sizeof(void*);
            extra = kLobPrefetchBytes;
            break;
        case SQLT_LNG:
        case SQLT_LBI:
            c.form = c.oracleType == SQLT_LNG ? Form::LongText : Form::LongRaw;
            break;
        default: {
            if (!c.unreadableType.isEmpty()) {
                c.form = Form::Unreadable;
                break;
            }
            // Character types, intervals, ROWIDs: the server writes the text.
            // DATA_SIZE counts bytes of the database (or national) character
            // set; in UTF-8 one such byte takes at most 3 bytes (a UTF-16
            // unit of national data at most 1.5).
            const sb4 factor = c.charsetForm == SQLCS_NCHAR ? 2 : 3;
            const sb4 needed = std::max<sb4>(sb4(size) * factor, 64);
            if (needed > kMaxTextBytes) {
                c.form = Form::WideText;
            } else {
                c.form = Form::Text;
                c.width = needed;
            }
            break;
        }
    }
    return extra;
}

void OciResult::describe() {
    const Api& api = environment_.api();
    ub4 count = 0;
    environment_.check(api.attrGet(statement_, OCI_HTYPE_STMT, &count, nullptr,
                                   OCI_ATTR_PARAM_COUNT, environment_.error()));
    columns_.resize(count);
    bool piecewise = false;
    size_t rowBytes = 0;
    for (ub4 i = 0; i < count; ++i) {
        Column& c = columns_[i];
        const ub2 size = describeColumn(c, i + 1);
        rowBytes += chooseForm(c, size);
        if (isPiecewise(c.form)) piecewise = true;
        rowBytes += size_t(c.width) + sizeof(sb2) + 2 * sizeof(ub2);
        described_.push_back({c.name, c.form == Form::Blob, c.unreadableType});
    }

    // Piecewise columns are fetched one row at a time, as Oracle requires.
    batchRows_ = piecewise ? 1
                           : ub4(std::clamp<size_t>(kBatchBytes / std::max<size_t>(rowBytes, 1), 1,
                                                    kMaxBatchRows));
    for (ub4 i = 0; i < count; ++i) defineColumn(columns_[i], i + 1);
}

ub2 OciResult::describeColumn(Column& c, ub4 position) {
    const Api& api = environment_.api();
    OCIError* error = environment_.error();
    void* param = nullptr;
    environment_.check(api.paramGet(statement_, OCI_HTYPE_STMT, error, &param, position));
    OraText* name = nullptr;
    ub4 nameLength = 0;
    ub2 size = 0;
    environment_.check(
        api.attrGet(param, OCI_DTYPE_PARAM, &c.oracleType, nullptr, OCI_ATTR_DATA_TYPE, error));
    environment_.check(
        api.attrGet(param, OCI_DTYPE_PARAM, &name, &nameLength, OCI_ATTR_NAME, error));
    environment_.check(
        api.attrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, error));
    environment_.check(api.attrGet(param, OCI_DTYPE_PARAM, &c.charsetForm, nullptr,
                                   OCI_ATTR_CHARSET_FORM, error));
    c.name = QString::fromUtf8(reinterpret_cast<const char*>(name), qsizetype(nameLength));
    c.unreadableType = unreadableTypeName(c.oracleType);
    if (c.oracleType == SQLT_NTY) {
        OraText* typeName = nullptr;
        ub4 typeNameLength = 0;
        if (api.attrGet(param, OCI_DTYPE_PARAM, &typeName, &typeNameLength, OCI_ATTR_TYPE_NAME,
                        error) == OCI_SUCCESS &&
            typeName && typeNameLength > 0)
            c.unreadableType = QString::fromUtf8(reinterpret_cast<const char*>(typeName),
                                                 qsizetype(typeNameLength));
    }
    api.descriptorFree(param, OCI_DTYPE_PARAM);

    return size;
}

void OciResult::defineColumn(Column& c, ub4 position) {
    const Api& api = environment_.api();
    OCIError* error = environment_.error();
    if (c.form == Form::Unreadable) return;
    c.indicators.assign(batchRows_, 0);
    c.lengths.assign(batchRows_, 0);
    c.codes.assign(batchRows_, 0);
    if (isPiecewise(c.form)) {
        const ub2 type = c.form == Form::WideText ? SQLT_CHR : c.oracleType;
        environment_.check(api.defineByPos(statement_, &c.define, error, position, nullptr,
                                           SB4MAXVAL, type, nullptr, nullptr, nullptr,
                                           OCI_DYNAMIC_FETCH));
        setCharsetForm(c);
        environment_.check(api.defineDynamic(c.define, error, &c, &longPieceCallback));
        return;
    }
    ub2 defineType = SQLT_CHR;
    switch (c.form) {
        case Form::Number:
            defineType = SQLT_VNU;
            break;
        case Form::Date:
            defineType = SQLT_DAT;
            break;
        case Form::Timestamp:
            defineType = c.oracleType;
            break;
        case Form::BinaryFloat:
            defineType = SQLT_BFLOAT;
            break;
        case Form::BinaryDouble:
            defineType = SQLT_BDOUBLE;
            break;
        case Form::Raw:
            defineType = SQLT_BIN;
            break;
        case Form::Clob:
            defineType = SQLT_CLOB;
            break;
        case Form::Blob:
            defineType = SQLT_BLOB;
            break;
        default:
            break;
    }
    void* target = nullptr;
    if (c.descriptorType != 0) {
        c.descriptors.assign(batchRows_, nullptr);
        for (void*& d : c.descriptors)
            environment_.check(
                api.descriptorAlloc(environment_.env(), &d, c.descriptorType, 0, nullptr));
        target = c.descriptors.data();
    } else {
        c.data.assign(size_t(c.width) * batchRows_, 0);
        target = c.data.data();
    }
    environment_.check(api.defineByPos(statement_, &c.define, error, position, target, c.width,
                                       defineType, c.indicators.data(), c.lengths.data(),
                                       c.codes.data(), OCI_DEFAULT));
    setCharsetForm(c);
    if (c.form == Form::Clob || c.form == Form::Blob) {
        int prefetchLength = 1;  // OCI's boolean
        ub4 prefetchSize = kLobPrefetchBytes;
        environment_.check(api.attrSet(c.define, OCI_HTYPE_DEFINE, &prefetchLength, 0,
                                       OCI_ATTR_LOBPREFETCH_LENGTH, error));
        environment_.check(api.attrSet(c.define, OCI_HTYPE_DEFINE, &prefetchSize, 0,
                                       OCI_ATTR_LOBPREFETCH_SIZE, error));
    }
}

// NCHAR, NVARCHAR2 and NCLOB data keep their national form only when the
// define says so; otherwise the server converts them through the database
// character set and replaces what that set lacks.
void OciResult::setCharsetForm(Column& c) {
    if (c.charsetForm != SQLCS_NCHAR) return;
    ub1 form = SQLCS_NCHAR;
    environment_.check(environment_.api().attrSet(c.define, OCI_HTYPE_DEFINE, &form, 0,
                                                  OCI_ATTR_CHARSET_FORM, environment_.error()));
}

void OciResult::fetchBatch() {
    const Api& api = environment_.api();
    const sword rc = api.stmtFetch2(statement_, environment_.error(), batchRows_, OCI_FETCH_NEXT, 0,
                                    OCI_DEFAULT);
    if (rc == OCI_NO_DATA) {
        exhausted_ = true;
    } else if (rc != OCI_SUCCESS_WITH_INFO) {
        environment_.check(rc);
    }
    ub4 rows = 0;
    environment_.check(api.attrGet(statement_, OCI_HTYPE_STMT, &rows, nullptr,
                                   OCI_ATTR_ROWS_FETCHED, environment_.error()));
    fetched_ = std::min(rows, batchRows_);
    position_ = 0;
    // The last, partial batch ends in OCI_NO_DATA, which carries no warning:
    // only the return codes tell of a value cut short there.
    checkReturnCodes();
    if (rc == OCI_SUCCESS_WITH_INFO) environment_.check(rc);
}

void OciResult::checkReturnCodes() const {
    for (const Column& c : columns_) {
        if (c.form == Form::Unreadable) continue;
        const bool piecewise = isPiecewise(c.form);
        for (ub4 r = 0; r < (piecewise ? std::min<ub4>(fetched_, 1) : fetched_); ++r) {
            const sb2 indicator = piecewise ? c.longIndicator : c.indicators[r];
            const ub2 code = piecewise ? c.longCode : c.codes[r];
            if (code == 0 || indicator == kNullIndicator) continue;
            if (code == kTruncated || indicator == -2 || indicator > 0)
                throw TOracleError(
                    QStringLiteral("ORA-01406: fetched column value was truncated (column %1)")
                        .arg(c.name));
            throw TOracleError(
                QStringLiteral("ORA-%1: column %2 could not be fetched")
                    .arg(QString::number(code).rightJustified(5, QLatin1Char('0')), c.name));
        }
    }
}

bool OciResult::fetch(std::vector<TOracleValue>& row) {
    if (position_ >= fetched_) {
        if (exhausted_) return false;
        fetchBatch();
        if (fetched_ == 0) return false;
    }
    for (size_t i = 0; i < columns_.size(); ++i) row[i] = cell(columns_[i], position_);
    ++position_;
    return true;
}

TOracleValue OciResult::cell(Column& c, size_t r) {
    if (c.form == Form::Unreadable) return TOracleValue();
    if (isPiecewise(c.form)) {
        if (c.longIndicator == kNullIndicator) return TOracleValue();
        c.longValue.resize(qsizetype(c.longUsed + c.longPiece));
        if (c.form == Form::LongRaw) return TOracleValue::bytes(c.longValue);
        return TOracleValue::utf8Text(c.longValue);
    }
    if (c.indicators[r] == kNullIndicator) return TOracleValue();
    const char* data = c.data.data() + size_t(c.width) * r;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const ub2 length = c.lengths[r];
    switch (c.form) {
        case Form::Number: {
            // SQLT_VNU: a length byte, then the number in Oracle's format.
            const int size = std::min<int>(bytes[0], 21);
            if (auto value = decodeOracleNumber(bytes + 1, size)) return *value;
            throw TOracleError(QStringLiteral("Column %1 holds a NUMBER this program cannot "
                                              "read")
                                   .arg(c.name));
        }
        case Form::Date: {
            TOracleDateTime t;
            t.year = (bytes[0] - 100) * 100 + (bytes[1] - 100);
            t.month = bytes[2];
            t.day = bytes[3];
            t.hour = bytes[4] - 1;
            t.minute = bytes[5] - 1;
            t.second = bytes[6] - 1;
            return TOracleValue::dateTime(t);
        }
        case Form::Timestamp: {
            const Api& api = environment_.api();
            auto* stamp = static_cast<OCIDateTime*>(c.descriptors[r]);
            sb2 year = 0;
            ub1 month = 0, day = 0, hour = 0, minute = 0, second = 0;
            ub4 fraction = 0;
            void* env = environment_.env();
            environment_.check(
                api.dateTimeGetDate(env, environment_.error(), stamp, &year, &month, &day));
            environment_.check(api.dateTimeGetTime(env, environment_.error(), stamp, &hour, &minute,
                                                   &second, &fraction));
            TOracleDateTime t{year, month, day, hour, minute, second, int(fraction), false, 0};
            if (c.oracleType == SQLT_TIMESTAMP_TZ) {
                sb1 zoneHours = 0, zoneMinutes = 0;
                environment_.check(api.dateTimeGetTimeZoneOffset(env, environment_.error(), stamp,
                                                                 &zoneHours, &zoneMinutes));
                const int magnitude = std::abs(zoneHours) * 60 + std::abs(zoneMinutes);
                t.hasOffset = true;
                t.offsetMinutes = (zoneHours < 0 || zoneMinutes < 0) ? -magnitude : magnitude;
            }
            return TOracleValue::dateTime(t);
        }
        case Form::BinaryFloat: {
            float f = 0;
            std::memcpy(&f, data, sizeof f);
            // The float's own shortest text, so 1.1f reads as 1.1 and not 1.100000023841858.
            if (std::isfinite(f)) {
                char text[32];
                const auto end = std::to_chars(text, text + sizeof text, f).ptr;
                double d = 0;
                std::from_chars(text, end, d);
                return TOracleValue::real(d);
            }
            return TOracleValue::real(double(f));
        }
        case Form::BinaryDouble: {
            double d = 0;
            std::memcpy(&d, data, sizeof d);
            return TOracleValue::real(d);
        }
        case Form::Raw:
            return TOracleValue::bytes(QByteArray(data, length));
        case Form::Clob:
        case Form::Blob:
            return readLob(c, r);
        default:
            return TOracleValue::utf8Text(QByteArray(data, length));
    }
}

// Reads the whole LOB in one streamed read (polling): the first call asks for
// everything from offset 1, and OCI_NEED_DATA says another piece follows. So
// no character counting is needed for CLOBs, and a LOB whose length came with
// the row's prefetch needs no call at all when it is empty.
TOracleValue OciResult::readLob(Column& c, size_t r) {
    const Api& api = environment_.api();
    auto* locator = static_cast<OCILobLocator*>(c.descriptors[r]);
    OCISvcCtx* service = session_->service();
    OCIError* error = environment_.error();
    oraub8 length = 0;  // bytes for a BLOB, characters for a CLOB
    environment_.check(api.lobGetLength2(service, error, locator, &length));
    QByteArray content;
    if (length > 0) {
        content.reserve(qsizetype(std::min<oraub8>(length, oraub8(1) << 30)));
        std::vector<char> buffer(kLobChunkBytes);
        ub1 piece = OCI_FIRST_PIECE;
        for (;;) {
            oraub8 bytes = 0;  // 0 and 0: to the end of the LOB
            oraub8 chars = 0;
            const sword rc = api.lobRead2(service, error, locator, &bytes, &chars, 1, buffer.data(),
                                          buffer.size(), piece, nullptr, nullptr, 0, c.charsetForm);
            if (rc != OCI_NEED_DATA) environment_.check(rc);
            content.append(buffer.data(), qsizetype(std::min<oraub8>(bytes, buffer.size())));
            if (rc != OCI_NEED_DATA) break;
            // A piece of nothing with more to come would never end.
            if (bytes == 0)
                throw TOracleError(
                    QStringLiteral("The Oracle client read nothing of the LOB in column %1")
                        .arg(c.name));
            piece = OCI_NEXT_PIECE;
        }
    }
    if (c.form == Form::Blob) return TOracleValue::bytes(content);
    return TOracleValue::utf8Text(content);
}

}  // namespace

std::shared_ptr<OracleSession> openOciSession(const QString& database, const QString& user,
                                              const QString& password) {
    return std::make_shared<OciSession>(database, user, password);
}

}  // namespace dbaccess
