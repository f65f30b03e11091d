// A stand-in Oracle client for the tests: a shared library named like Oracle's
// (libclntsh.so) that exports the OCI entry points the driver calls, over
// canned tables. It checks what a real client would check (handle types,
// define types against column types, buffer sizes) and answers in Oracle's
// formats, so the driver is tested through its real loading path. Where the
// real client fails quietly, so does this one:
// - national columns defined without SQLCS_NCHAR pass through a Latin-1
//   database character set, every other character becoming an inverted '?';
// - OCIDateTime calls fail (ORA-21301) unless the environment is in object mode;
// - a value cut short by its buffer is reported only through the per-row
//   return code and indicator, and through ORA-24345 on a full batch (the
//   last, partial batch ends in OCI_NO_DATA with no warning);
// - LOB reads stream as OCILobRead2 does: OCI_NEED_DATA while pieces remain.

#include <QString>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dbaccess/ociapi.h"

using namespace dbaccess::oci;

namespace {

// Some clients describe this type by its internal code rather than 232.
constexpr ub2 kInternalTimestampLtz = 231;

int liveObjects = 0;
int fetchCalls = 0;
int lobReads = 0;
int lobRoundTrips = 0;  // LOB calls the prefetched data could not answer

struct Object {
    explicit Object(ub4 t) : type(t) { ++liveObjects; }
    virtual ~Object() { --liveObjects; }
    ub4 type;
};

struct Env : Object {
    explicit Env(ub4 m) : Object(OCI_HTYPE_ENV), mode(m) {}
    ub4 mode;
};

struct Err : Object {
    Err() : Object(OCI_HTYPE_ERROR) {}
    std::string message;
};

struct Column {
    std::string name;
    ub2 type;
    ub2 size;
    ub1 form = SQLCS_IMPLICIT;
    std::string typeName = {};  // of an object type
};

// Types that only object, file, JSON or vector defines take.
bool unreadable(ub2 type) {
    return type == SQLT_NTY || type == SQLT_REF || type == SQLT_BFILE || type == SQLT_RSET ||
           type == SQLT_JSON || type == SQLT_VEC;
}

struct Cell {
    bool null = true;
    std::string bytes;  // the value in the server's form (see the helpers below)
};

struct Table {
    std::vector<Column> columns;
    std::vector<std::vector<Cell>> rows;
};

struct Define : Object {
    Define() : Object(OCI_HTYPE_DEFINE) {}
    void* value = nullptr;
    sb4 size = 0;
    ub2 type = 0;
    sb2* indicators = nullptr;
    ub2* lengths = nullptr;
    ub2* codes = nullptr;
    bool dynamic = false;
    void* context = nullptr;
    OCICallbackDefine callback = nullptr;
    ub1 form = SQLCS_IMPLICIT;
    bool lobPrefetchLength = false;
    ub4 lobPrefetchSize = 0;
};

struct Param : Object {
    Param() : Object(OCI_DTYPE_PARAM) {}
    const Column* column = nullptr;
};

struct Stmt : Object {
    Stmt() : Object(OCI_HTYPE_STMT) {}
    ~Stmt() override {
        for (auto& [position, define] : defines) delete define;
    }
    const Table* table = nullptr;
    bool executed = false;
    size_t next = 0;
    ub4 fetched = 0;
    std::map<ub4, Define*> defines;
};

struct Lob : Object {
    Lob() : Object(OCI_DTYPE_LOB) {}
    bool fetched = false;
    std::string data;
    bool character = false;
    ub1 form = SQLCS_IMPLICIT;
    bool lengthPrefetched = false;
    size_t prefetchedBytes = 0;
    // A streamed read in progress: byte position and end.
    bool streaming = false;
    size_t position = 0;
    size_t end = 0;
};

struct Stamp : Object {
    explicit Stamp(ub4 t) : Object(t) {}
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, fraction = 0;
    int zoneHours = 0, zoneMinutes = 0;
};

// Helpers that write cells in the server's form.
Cell null() { return {}; }
Cell bytes(std::string b) { return {false, std::move(b)}; }
Cell number(std::initializer_list<unsigned char> b) {
    return {false, std::string(b.begin(), b.end())};
}
Cell text(const char* s) { return {false, s}; }

// National text read without the national form: what a WE8ISO8859P1 database
// character set cannot hold becomes its replacement character.
std::string throughLatin1(const std::string& utf8) {
    const QString in = QString::fromUtf8(utf8);
    QString out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char32_t c = in.at(i).isHighSurrogate() && i + 1 < in.size()
                               ? QChar::surrogateToUcs4(in.at(i), in.at(i + 1))
                               : in.at(i).unicode();
        if (c > 0xFFFF) ++i;
        out += c <= 0xFF ? QChar(char16_t(c)) : QChar(0xBF);
    }
    return out.toUtf8().toStdString();
}

// A positive integer below 10^8 in Oracle's NUMBER format.
Cell integer(unsigned value) {
    std::vector<unsigned char> digits;
    for (unsigned v = value; v > 0; v /= 100)
        digits.insert(digits.begin(), static_cast<unsigned char>(v % 100));
    int exponent = int(digits.size()) - 1;
    while (digits.size() > 1 && digits.back() == 0) digits.pop_back();
    std::string out(1, char(0xC1 + exponent));
    for (unsigned char d : digits) out += char(d + 1);
    return {false, out};
}

std::string repeat(const std::string& unit, size_t times) {
    std::string out;
    out.reserve(unit.size() * times);
    for (size_t i = 0; i < times; ++i) out += unit;
    return out;
}

std::string binaryBytes(size_t size) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = char((i * 131 + 7) % 256);
    return out;
}

const std::map<std::string, Table>& tables() {
    static const std::map<std::string, Table> all = [] {
        std::map<std::string, Table> t;
        t["USER_TABLES"] = {{{"TABLE_NAME", SQLT_CHR, 128}},
                            {{text("ALL_TYPES")},
                             {text("EMPTY_ARCHIVE")},
                             {text("LOB_SAMPLES")},
                             {text("LONG_RAW_DATA")},
                             {text("LONG_TEXT")},
                             {text("MANY_ROWS")}}};
        t["LOB_SAMPLES"] = {
            {{"B_ID", SQLT_NUM, 22}, {"B_KIND", SQLT_CHR, 40}, {"B_DATA", SQLT_BLOB, 4000}},
            {{integer(1), text("binary"), bytes(std::string("\x00\x01\xFE\xFF", 4))},
             {integer(2), text("text"), bytes("plain")},
             {integer(3), null(), null()}}};
        t["EMPTY_ARCHIVE"] = {{{"ARCHIVE_ID", SQLT_NUM, 22},
                               {"ARCHIVED_ON", SQLT_DAT, 7},
                               {"PAYLOAD", SQLT_BLOB, 4000}},
                              {}};
        Table many{{{"ID", SQLT_NUM, 22}, {"NAME", SQLT_CHR, 30}}, {}};
        for (unsigned i = 1; i <= 1234; ++i)
            many.rows.push_back({integer(i), bytes("row " + std::to_string(i))});
        t["MANY_ROWS"] = many;

        Table types{{{"N_INT", SQLT_NUM, 22},
                     {"N_FRACTION", SQLT_NUM, 22},
                     {"N_NEGATIVE", SQLT_NUM, 22},
                     {"N_BEYOND_INT64", SQLT_NUM, 22},
                     {"N_EXACT", SQLT_NUM, 22},
                     {"N_FLOAT", SQLT_NUM, 22},
                     {"N_ZERO", SQLT_NUM, 22},
                     {"N_BFLOAT", SQLT_IBFLOAT, 4},
                     {"N_BDOUBLE", SQLT_IBDOUBLE, 8},
                     {"C_VARCHAR2", SQLT_CHR, 40},
                     {"C_NVARCHAR2", SQLT_CHR, 20, SQLCS_NCHAR},
                     {"C_CHAR", SQLT_AFC, 6},
                     {"C_NCHAR", SQLT_AFC, 8, SQLCS_NCHAR},
                     {"D_DATE", SQLT_DAT, 7},
                     {"D_TS", SQLT_TIMESTAMP, 11},
                     {"D_TSTZ", SQLT_TIMESTAMP_TZ, 13},
                     {"D_TSLTZ", kInternalTimestampLtz, 11},
                     {"I_YM", SQLT_INTERVAL_YM, 5},
                     {"I_DS", SQLT_INTERVAL_DS, 11},
                     {"L_CLOB", SQLT_CLOB, 4000},
                     {"L_NCLOB", SQLT_CLOB, 4000, SQLCS_NCHAR},
                     {"L_BLOB", SQLT_BLOB, 4000},
                     {"R_RAW", SQLT_BIN, 16},
                     {"R_ROWID", SQLT_RDD, 10}},
                    {}};
        float bf = 1.1f;
        double bd = 2.5;
        types.rows.push_back({
            number({0xC1, 0x2B}),
            number({0xC2, 0x02, 0x18, 0x2E}),
            number({0x3D, 0x64, 0x4E, 0x38, 0x66}),
            number({0xCA, 0x0A, 0x17, 0x22, 0x49, 0x04, 0x45, 0x37, 0x4E, 0x3B, 0x09}),
            number({0xCA, 0x0D, 0x23, 0x39, 0x4F, 0x5B, 0x0D, 0x23, 0x39, 0x4F, 0x5B, 0x0D, 0x23,
                    0x39, 0x4F, 0x5B}),
            number({0xC0, 0x0B}),
            number({0x80}),
            bytes(std::string(reinterpret_cast<const char*>(&bf), sizeof bf)),
            bytes(std::string(reinterpret_cast<const char*>(&bd), sizeof bd)),
            text("héllo 世界"),
            text("ñandú 中文"),
            text("ab    "),
            text("Größe Ω "),
            bytes(std::string("\x78\x7C\x02\x1D\x0E\x2E\x08", 7)),  // 2024-02-29 13:45:07
            text("2024-01-31 23:59:59.123456789+00:00"),
            text("2024-01-31 23:59:59.500000000-05:30"),
            text("2000-02-29 12:00:00.000001000+00:00"),
            text("+02-06"),
            text("+01 02:03:04.500000"),
            text((repeat("é𝄞", 100000) + "END").c_str()),
            text("NCLOB ü ∑ 中"),
            bytes(binaryBytes(600000)),
            bytes(std::string("\xDE\xAD\xBE\xEF", 4)),
            text("AAAR3sAAEAAAACXAAA"),
        });
        types.rows.push_back(std::vector<Cell>(types.columns.size()));
        t["ALL_TYPES"] = types;

        // A server that sends more than the described size: the client truncates.
        t["OVERSIZED"] = {{{"CODE", SQLT_CHR, 2}}, {{bytes(std::string(300, 'z'))}}};
        t["LONG_TEXT"] = {{{"ID", SQLT_NUM, 22}, {"TXT", SQLT_LNG, 0}},
                          {{integer(1), text((repeat("long ", 40000) + "Ω").c_str())},
                           {integer(2), null()},
                           {integer(3), text("short")},
                           {integer(4), bytes(repeat("x", 65536))}}};
        t["LONG_RAW_DATA"] = {{{"ID", SQLT_NUM, 22}, {"DATA", SQLT_LBI, 0}},
                              {{integer(1), bytes(binaryBytes(150000))}, {integer(2), null()}}};

        // Names Oracle knows only in quotes.
        t["Mixed Case"] = {{{"ID", SQLT_NUM, 22}}, {{integer(5)}}};
        t["O\"Brien"] = {{{"ID", SQLT_NUM, 22}}, {{integer(6)}}};

        // A value cut short deep in a full first batch.
        Table later{{{"ID", SQLT_NUM, 22}, {"CODE", SQLT_CHR, 2}}, {}};
        for (unsigned i = 1; i <= 600; ++i)
            later.rows.push_back({integer(i), i == 10 ? bytes(std::string(300, 'z')) : text("ok")});
        t["TRUNCATED_LATER"] = later;

        // Extended VARCHAR2 and NVARCHAR2 (32767 bytes) holding multibyte text.
        t["WIDE_TEXT"] = {{{"ID", SQLT_NUM, 22},
                           {"BODY", SQLT_CHR, 32767},
                           {"NBODY", SQLT_CHR, 32767, SQLCS_NCHAR}},
                          {{integer(1), text((repeat("中𝄞", 8000) + "END").c_str()),
                            text((repeat("Ω中", 9000) + "END").c_str())},
                           {integer(2), null(), null()},
                           {integer(3), text("short"), text("kurz ∑")}}};

        // Types no define of the driver takes, between readable columns.
        t["ODD_TYPES"] = {{{"ID", SQLT_NUM, 22},
                           {"DOC", SQLT_NTY, 2000, SQLCS_IMPLICIT, "XMLTYPE"},
                           {"ADDR", SQLT_NTY, 2000, SQLCS_IMPLICIT, "ADDRESS_T"},
                           {"SCAN", SQLT_BFILE, 530},
                           {"META", SQLT_JSON, 8200},
                           {"EMBEDDING", SQLT_VEC, 8000},
                           {"NOTE", SQLT_CHR, 20}},
                          {{integer(1), text("<a/>"), text("x"), text("f"), text("{}"), text("[1]"),
                            text("first")},
                           {integer(2), null(), null(), null(), null(), null(), text("second")}}};
        return t;
    }();
    return all;
}

sword fail(OCIError* error, const std::string& message) {
    if (error) static_cast<Err*>(static_cast<void*>(error))->message = message;
    return OCI_ERROR;
}

template <typename T>
T* as(const void* handle, ub4 type) {
    auto* object = static_cast<Object*>(const_cast<void*>(handle));
    return object && object->type == type ? static_cast<T*>(object) : nullptr;
}

// The statement with runs of blanks as one and bare words in capitals, as
// Oracle resolves names; quoted names stay as written.
std::string normalized(const OraText* sql, ub4 length) {
    std::string out;
    bool quoted = false;
    for (ub4 i = 0; i < length; ++i) {
        const char c = char(sql[i]);
        if (c == '"') quoted = !quoted;
        if (quoted || c == '"') {
            out += c;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += char(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

bool compatible(ub2 column, ub2 define) {
    switch (column) {
        case kInternalTimestampLtz:
            return define == SQLT_TIMESTAMP_LTZ;
        case SQLT_NUM:
            return define == SQLT_VNU;
        case SQLT_DAT:
            return define == SQLT_DAT;
        case SQLT_IBFLOAT:
            return define == SQLT_BFLOAT;
        case SQLT_IBDOUBLE:
            return define == SQLT_BDOUBLE;
        case SQLT_BIN:
            return define == SQLT_BIN;
        case SQLT_CLOB:
        case SQLT_BLOB:
        case SQLT_TIMESTAMP:
        case SQLT_TIMESTAMP_TZ:
        case SQLT_TIMESTAMP_LTZ:
        case SQLT_LNG:
        case SQLT_LBI:
            return define == column;
        default:
            return define == SQLT_CHR;  // text, intervals, ROWID
    }
}

// Byte position of a character offset (UTF-16 units, as Oracle counts them).
size_t bytePosition(const std::string& utf8, oraub8 units) {
    size_t at = 0;
    for (oraub8 seen = 0; at < utf8.size() && seen < units;) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const size_t width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        seen += width == 4 ? 2 : 1;
        at += width;
    }
    return std::min(at, utf8.size());
}

// The OCIDateTime calls are valid only in an environment created in object mode.
const Stamp* stampOf(void* handle, OCIError* error, const OCIDateTime* value, sword& rc) {
    const auto* env = as<Env>(handle, OCI_HTYPE_ENV);
    const auto* stamp =
        static_cast<const Stamp*>(static_cast<const Object*>(static_cast<const void*>(value)));
    rc = OCI_SUCCESS;
    if (!env || !stamp || stamp->type < OCI_DTYPE_TIMESTAMP ||
        stamp->type > OCI_DTYPE_TIMESTAMP_LTZ)
        rc = OCI_INVALID_HANDLE;
    else if (!(env->mode & OCI_OBJECT))
        rc = fail(error, "ORA-21301: not initialized in object mode");
    return rc == OCI_SUCCESS ? stamp : nullptr;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void ferrovane_stub_counts(int* live, int* fetches,
                                                                  int* reads, int* trips) {
    *live = liveObjects;
    *fetches = fetchCalls;
    *reads = lobReads;
    *trips = lobRoundTrips;
}

__attribute__((visibility("default"))) sword OCIEnvNlsCreate(OCIEnv** env, ub4 mode, void*,
                                                             void* (*)(void*, size_t),
                                                             void* (*)(void*, void*, size_t),
                                                             void (*)(void*, void*), size_t, void**,
                                                             ub2 charset, ub2 ncharset) {
    if (charset != AL32UTF8 || ncharset != AL32UTF8) return OCI_ERROR;
    *env = reinterpret_cast<OCIEnv*>(static_cast<Object*>(new Env(mode)));
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIHandleAlloc(const void* parent, void** handle,
                                                            ub4 type, size_t, void**) {
    if (!as<Object>(parent, OCI_HTYPE_ENV) || type != OCI_HTYPE_ERROR) return OCI_INVALID_HANDLE;
    *handle = static_cast<Object*>(new Err);
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIHandleFree(void* handle, ub4 type) {
    auto* object = static_cast<Object*>(handle);
    if (!object || object->type != type) return OCI_INVALID_HANDLE;
    delete object;
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIDescriptorAlloc(const void* parent,
                                                                void** descriptor, ub4 type, size_t,
                                                                void**) {
    if (!as<Object>(parent, OCI_HTYPE_ENV)) return OCI_INVALID_HANDLE;
    if (type == OCI_DTYPE_LOB)
        *descriptor = static_cast<Object*>(new Lob);
    else if (type == OCI_DTYPE_TIMESTAMP || type == OCI_DTYPE_TIMESTAMP_TZ ||
             type == OCI_DTYPE_TIMESTAMP_LTZ)
        *descriptor = static_cast<Object*>(new Stamp(type));
    else
        return OCI_ERROR;
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIDescriptorFree(void* descriptor, ub4 type) {
    return OCIHandleFree(descriptor, type);
}

__attribute__((visibility("default"))) sword OCIErrorGet(void* handle, ub4 record, OraText*,
                                                         sb4* code, OraText* buffer, ub4 size,
                                                         ub4 type) {
    Err* error = type == OCI_HTYPE_ERROR ? as<Err>(handle, type) : nullptr;
    if (!error || record != 1 || error->message.empty()) return OCI_NO_DATA;
    *code = std::atoi(error->message.c_str() + 4);
    std::snprintf(reinterpret_cast<char*>(buffer), size, "%s\n", error->message.c_str());
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCILogon2(OCIEnv* env, OCIError* error,
                                                       OCISvcCtx** service, const OraText* user,
                                                       ub4 userLength, const OraText* password,
                                                       ub4 passwordLength, const OraText* database,
                                                       ub4 databaseLength, ub4) {
    if (!as<Object>(env, OCI_HTYPE_ENV) || !as<Err>(error, OCI_HTYPE_ERROR))
        return OCI_INVALID_HANDLE;
    const std::string u(reinterpret_cast<const char*>(user), userLength);
    const std::string p(reinterpret_cast<const char*>(password), passwordLength);
    const std::string d(reinterpret_cast<const char*>(database), databaseLength);
    if (d != "stubhost/STUB")
        return fail(error, "ORA-12154: TNS:could not resolve the connect identifier specified");
    if (u != "scott" || p != "tiger")
        return fail(error, "ORA-01017: invalid username/password; logon denied");
    *service = reinterpret_cast<OCISvcCtx*>(new Object(OCI_HTYPE_SVCCTX));
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCILogoff(OCISvcCtx* service, OCIError*) {
    return OCIHandleFree(service, OCI_HTYPE_SVCCTX);
}

__attribute__((visibility("default"))) sword OCIStmtPrepare2(OCISvcCtx* service,
                                                             OCIStmt** statement, OCIError* error,
                                                             const OraText* sql, ub4 length,
                                                             const OraText*, ub4, ub4, ub4) {
    if (!as<Object>(service, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
    const std::string text = normalized(sql, length);
    auto* s = new Stmt;
    const std::string star = "SELECT * FROM ";
    const auto& all = tables();
    if (text == "SELECT TABLE_NAME FROM USER_TABLES ORDER BY TABLE_NAME") {
        s->table = &all.at("USER_TABLES");
    } else if (text.rfind(star, 0) == 0) {
        std::string name = text.substr(star.size());
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
            std::string inner;
            for (size_t i = 1; i + 1 < name.size(); ++i) {
                if (name[i] == '"' && name[i + 1] == '"') ++i;  // "" stands for "
                inner += name[i];
            }
            name = inner;
        }
        const auto found = all.find(name);
        if (found != all.end()) s->table = &found->second;
    } else {
        delete s;
        return fail(error, "ORA-00900: invalid SQL statement");
    }
    *statement = reinterpret_cast<OCIStmt*>(static_cast<Object*>(s));
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIStmtRelease(OCIStmt* statement, OCIError*,
                                                            const OraText*, ub4, ub4) {
    return OCIHandleFree(statement, OCI_HTYPE_STMT);
}

__attribute__((visibility("default"))) sword OCIStmtExecute(OCISvcCtx* service, OCIStmt* statement,
                                                            OCIError* error, ub4 iterations, ub4,
                                                            const OCISnapshot*, OCISnapshot*, ub4) {
    Stmt* s = as<Stmt>(statement, OCI_HTYPE_STMT);
    if (!s || !as<Object>(service, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
    if (iterations != 0) return fail(error, "ORA-24333: zero iteration count");
    if (!s->table) return fail(error, "ORA-00942: table or view does not exist");
    s->executed = true;
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIParamGet(const void* handle, ub4 type,
                                                         OCIError* error, void** param,
                                                         ub4 position) {
    Stmt* s = type == OCI_HTYPE_STMT ? as<Stmt>(handle, type) : nullptr;
    if (!s) return OCI_INVALID_HANDLE;
    if (!s->executed || position < 1 || position > s->table->columns.size())
        return fail(error, "ORA-24334: no descriptor for this position");
    auto* p = new Param;
    p->column = &s->table->columns[position - 1];
    *param = static_cast<Object*>(p);
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIAttrGet(const void* handle, ub4 type, void* value,
                                                        ub4* size, ub4 attribute, OCIError* error) {
    Stmt* s = type == OCI_HTYPE_STMT ? as<Stmt>(handle, type) : nullptr;
    Param* p = type == OCI_DTYPE_PARAM ? as<Param>(handle, type) : nullptr;
    if (s) {
        switch (attribute) {
            case OCI_ATTR_STMT_TYPE:
                *static_cast<ub2*>(value) = OCI_STMT_SELECT;
                return OCI_SUCCESS;
            case OCI_ATTR_PARAM_COUNT:
                *static_cast<ub4*>(value) = ub4(s->table ? s->table->columns.size() : 0);
                return OCI_SUCCESS;
            case OCI_ATTR_ROWS_FETCHED:
                *static_cast<ub4*>(value) = s->fetched;
                return OCI_SUCCESS;
        }
    } else if (p) {
        switch (attribute) {
            case OCI_ATTR_DATA_TYPE:
                *static_cast<ub2*>(value) = p->column->type;
                return OCI_SUCCESS;
            case OCI_ATTR_DATA_SIZE:
                *static_cast<ub2*>(value) = p->column->size;
                return OCI_SUCCESS;
            case OCI_ATTR_CHARSET_FORM:
                *static_cast<ub1*>(value) = p->column->form;
                return OCI_SUCCESS;
            case OCI_ATTR_NAME:
                *static_cast<const char**>(value) = p->column->name.c_str();
                *size = ub4(p->column->name.size());
                return OCI_SUCCESS;
            case OCI_ATTR_TYPE_NAME:
                *static_cast<const char**>(value) = p->column->typeName.c_str();
                *size = ub4(p->column->typeName.size());
                return OCI_SUCCESS;
        }
    } else {
        return OCI_INVALID_HANDLE;
    }
    return fail(error, "ORA-24315: illegal attribute type");
}

__attribute__((visibility("default"))) sword OCIAttrSet(void* handle, ub4 type, void* value, ub4,
                                                        ub4 attribute, OCIError* error) {
    Define* d = type == OCI_HTYPE_DEFINE ? as<Define>(handle, type) : nullptr;
    if (!d) return OCI_INVALID_HANDLE;
    switch (attribute) {
        case OCI_ATTR_CHARSET_FORM:
            d->form = *static_cast<ub1*>(value);
            return OCI_SUCCESS;
        case OCI_ATTR_LOBPREFETCH_LENGTH:
            d->lobPrefetchLength = *static_cast<int*>(value) != 0;
            return OCI_SUCCESS;
        case OCI_ATTR_LOBPREFETCH_SIZE:
            d->lobPrefetchSize = *static_cast<ub4*>(value);
            return OCI_SUCCESS;
    }
    return fail(error, "ORA-24315: illegal attribute type");
}

__attribute__((visibility("default"))) sword OCIDefineByPos(OCIStmt* statement, OCIDefine** define,
                                                            OCIError* error, ub4 position,
                                                            void* value, sb4 size, ub2 type,
                                                            void* indicators, ub2* lengths,
                                                            ub2* codes, ub4 mode) {
    Stmt* s = as<Stmt>(statement, OCI_HTYPE_STMT);
    if (!s) return OCI_INVALID_HANDLE;
    if (position < 1 || position > s->table->columns.size())
        return fail(error, "ORA-01007: variable not in select list");
    const Column& column = s->table->columns[position - 1];
    if (unreadable(column.type) || !compatible(column.type, type))
        return fail(error, "ORA-00932: inconsistent datatypes: cannot define " + column.name);
    const bool dynamic = mode == OCI_DYNAMIC_FETCH;
    if ((type == SQLT_LNG || type == SQLT_LBI) && !dynamic)
        return fail(error, "ORA-24344: stand-in expects LONG columns to be fetched piecewise");
    if (dynamic && type != SQLT_LNG && type != SQLT_LBI && type != SQLT_CHR)
        return fail(error, "ORA-24344: stand-in fetches only LONG and text piecewise");
    if (!dynamic && (!value || !indicators || !lengths || !codes))
        return fail(error,
                    "ORA-24338: stand-in expects buffers, indicators, lengths and return codes");
    if (!dynamic && size > 32767 && type == SQLT_CHR)
        return fail(error, "ORA-01489: stand-in takes text buffers of at most 32767 bytes");
    auto*& d = s->defines[position];
    delete d;
    d = new Define;
    d->value = value;
    d->size = size;
    d->type = type;
    d->indicators = static_cast<sb2*>(indicators);
    d->lengths = lengths;
    d->codes = codes;
    d->dynamic = dynamic;
    *define = reinterpret_cast<OCIDefine*>(static_cast<Object*>(d));
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIDefineDynamic(OCIDefine* define, OCIError*,
                                                              void* context,
                                                              OCICallbackDefine callback) {
    Define* d = as<Define>(define, 6);
    if (!d) return OCI_INVALID_HANDLE;
    d->context = context;
    d->callback = callback;
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIStmtFetch2(OCIStmt* statement, OCIError* error,
                                                           ub4 rows, ub2 orientation, sb4, ub4) {
    Stmt* s = as<Stmt>(statement, OCI_HTYPE_STMT);
    if (!s) return OCI_INVALID_HANDLE;
    if (!s->executed || orientation != OCI_FETCH_NEXT)
        return fail(error, "ORA-01002: fetch out of sequence");
    ++fetchCalls;
    const Table& table = *s->table;
    for (size_t c = 0; c < table.columns.size(); ++c)
        if (!unreadable(table.columns[c].type) && !s->defines.count(ub4(c + 1)))
            return fail(error, "ORA-24374: define not done before fetch or execute and fetch");
    bool truncated = false;
    ub4 done = 0;
    for (; done < rows && s->next < table.rows.size(); ++done, ++s->next) {
        const auto& row = table.rows[s->next];
        for (size_t c = 0; c < table.columns.size(); ++c) {
            const auto defined = s->defines.find(ub4(c + 1));
            if (defined == s->defines.end()) continue;  // an undefined object column
            Define& d = *defined->second;
            const Column& column = table.columns[c];
            Cell cell = row[c];
            if (column.form == SQLCS_NCHAR && d.form != SQLCS_NCHAR && !cell.null)
                cell.bytes = throughLatin1(cell.bytes);
            if (d.dynamic) {
                if (!d.callback) return fail(error, "ORA-24343: user defined callback error");
                size_t offset = 0;
                bool first = true;
                do {
                    void* buffer = nullptr;
                    ub4* length = nullptr;
                    ub1 piece = first ? OCI_FIRST_PIECE : OCI_NEXT_PIECE;
                    void* indicator = nullptr;
                    ub2* code = nullptr;
                    if (d.callback(d.context,
                                   reinterpret_cast<OCIDefine*>(static_cast<Object*>(&d)), done,
                                   &buffer, &length, &piece, &indicator, &code) != OCI_CONTINUE)
                        return fail(error, "ORA-24343: user defined callback error");
                    if (code) *code = 0;
                    if (cell.null) {
                        *static_cast<sb2*>(indicator) = -1;
                        *length = 0;
                        break;
                    }
                    const size_t n = std::min<size_t>(*length, cell.bytes.size() - offset);
                    std::memcpy(buffer, cell.bytes.data() + offset, n);
                    *length = ub4(n);
                    *static_cast<sb2*>(indicator) = 0;
                    offset += n;
                    first = false;
                } while (offset < cell.bytes.size());
                continue;
            }
            d.indicators[done] = cell.null ? -1 : 0;
            d.lengths[done] = 0;
            d.codes[done] = 0;
            char* slot = static_cast<char*>(d.value) + size_t(d.size) * done;
            if (d.type == SQLT_CLOB || d.type == SQLT_BLOB) {
                Lob* lob = as<Lob>(reinterpret_cast<void**>(d.value)[done], OCI_DTYPE_LOB);
                if (!lob) return OCI_INVALID_HANDLE;
                lob->fetched = true;
                lob->data = cell.bytes;
                lob->character = d.type == SQLT_CLOB;
                lob->form = column.form;
                lob->lengthPrefetched = d.lobPrefetchLength;
                lob->prefetchedBytes = d.lobPrefetchLength ? d.lobPrefetchSize : 0;
                lob->streaming = false;
                continue;
            }
            if (d.type == SQLT_TIMESTAMP || d.type == SQLT_TIMESTAMP_TZ ||
                d.type == SQLT_TIMESTAMP_LTZ) {
                auto* stamp = static_cast<Stamp*>(
                    static_cast<Object*>(reinterpret_cast<void**>(d.value)[done]));
                if (!stamp || stamp->type < OCI_DTYPE_TIMESTAMP ||
                    stamp->type > OCI_DTYPE_TIMESTAMP_LTZ)
                    return OCI_INVALID_HANDLE;
                if (!cell.null) {
                    char sign = '+';
                    std::sscanf(cell.bytes.c_str(), "%d-%d-%d %d:%d:%d.%d%c%d:%d", &stamp->year,
                                &stamp->month, &stamp->day, &stamp->hour, &stamp->minute,
                                &stamp->second, &stamp->fraction, &sign, &stamp->zoneHours,
                                &stamp->zoneMinutes);
                    if (sign == '-') {
                        stamp->zoneHours = -stamp->zoneHours;
                        stamp->zoneMinutes = -stamp->zoneMinutes;
                    }
                }
                continue;
            }
            if (cell.null) continue;
            std::string value = cell.bytes;
            if (d.type == SQLT_VNU) value.insert(value.begin(), char(value.size()));
            if (value.size() > size_t(d.size)) {
                // The indicator keeps the full length where it fits, -2 otherwise.
                d.indicators[done] = value.size() <= 32767 ? sb2(value.size()) : sb2(-2);
                d.codes[done] = 1406;
                value.resize(size_t(d.size));
                truncated = true;
            }
            std::memcpy(slot, value.data(), value.size());
            d.lengths[done] = ub2(value.size());
        }
    }
    s->fetched = done;
    if (done < rows) return OCI_NO_DATA;  // no warning, whatever the return codes say
    if (truncated) {
        fail(error, "ORA-24345: A Truncation or null fetch error occurred");
        return OCI_SUCCESS_WITH_INFO;
    }
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCILobGetLength2(OCISvcCtx* service, OCIError* error,
                                                              OCILobLocator* locator,
                                                              oraub8* length) {
    Lob* lob = as<Lob>(locator, OCI_DTYPE_LOB);
    if (!lob || !as<Object>(service, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
    if (!lob->fetched) return fail(error, "ORA-22275: invalid LOB locator specified");
    if (!lob->lengthPrefetched) ++lobRoundTrips;
    *length = lob->character ? oraub8(QString::fromUtf8(lob->data).size()) : lob->data.size();
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCILobRead2(OCISvcCtx* service, OCIError* error,
                                                         OCILobLocator* locator, oraub8* byteAmount,
                                                         oraub8* charAmount, oraub8 offset,
                                                         void* buffer, oraub8 bufferLength,
                                                         ub1 piece, void*, void* callback, ub2,
                                                         ub1 form) {
    Lob* lob = as<Lob>(locator, OCI_DTYPE_LOB);
    if (!lob || !as<Object>(service, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
    if (!lob->fetched) return fail(error, "ORA-22275: invalid LOB locator specified");
    if (callback) return fail(error, "ORA-24801: stand-in reads without callbacks");
    if (lob->character && form != lob->form) return fail(error, "ORA-24806: LOB form mismatch");
    ++lobReads;
    if (piece == OCI_NEXT_PIECE) {
        if (!lob->streaming)
            return fail(error, "ORA-24801: illegal parameter value in OCI lob function");
        ++lobRoundTrips;
    } else {
        if (lob->streaming)
            return fail(error,
                        "ORA-24804: Lob read/write functions called while another OCI "
                        "LOB read/write streaming is in progress");
        if ((piece != OCI_ONE_PIECE && piece != OCI_FIRST_PIECE) || offset < 1)
            return fail(error, "ORA-24801: illegal parameter value in OCI lob function");
        // Amounts of 0 read to the end; a CLOB counts characters when asked to.
        const size_t start = lob->character ? bytePosition(lob->data, offset - 1)
                                            : std::min<size_t>(offset - 1, lob->data.size());
        size_t end = lob->data.size();
        if (lob->character && *charAmount > 0)
            end = std::min(end, bytePosition(lob->data, offset - 1 + *charAmount));
        else if (*byteAmount > 0)
            end = std::min<size_t>(end, start + *byteAmount);
        lob->position = start;
        lob->end = end;
        lob->streaming = true;
        if (end > lob->prefetchedBytes) ++lobRoundTrips;
    }
    const size_t n = std::min<size_t>(bufferLength, lob->end - lob->position);
    std::memcpy(buffer, lob->data.data() + lob->position, n);
    oraub8 units = 0;
    for (size_t i = lob->position; i < lob->position + n; ++i) {
        const auto byte = static_cast<unsigned char>(lob->data[i]);
        if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
    }
    lob->position += n;
    *byteAmount = n;
    *charAmount = lob->character ? units : 0;
    if (lob->position < lob->end) return OCI_NEED_DATA;
    lob->streaming = false;
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIDateTimeGetDate(void* handle, OCIError* error,
                                                                const OCIDateTime* value, sb2* year,
                                                                ub1* month, ub1* day) {
    sword rc = OCI_SUCCESS;
    const Stamp* s = stampOf(handle, error, value, rc);
    if (!s) return rc;
    *year = sb2(s->year);
    *month = ub1(s->month);
    *day = ub1(s->day);
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIDateTimeGetTime(void* handle, OCIError* error,
                                                                OCIDateTime* value, ub1* hour,
                                                                ub1* minute, ub1* second,
                                                                ub4* fraction) {
    sword rc = OCI_SUCCESS;
    const Stamp* s = stampOf(handle, error, value, rc);
    if (!s) return rc;
    *hour = ub1(s->hour);
    *minute = ub1(s->minute);
    *second = ub1(s->second);
    *fraction = ub4(s->fraction);
    return OCI_SUCCESS;
}

__attribute__((visibility("default"))) sword OCIDateTimeGetTimeZoneOffset(
    void* handle, OCIError* error, const OCIDateTime* value, sb1* hours, sb1* minutes) {
    sword rc = OCI_SUCCESS;
    const Stamp* s = stampOf(handle, error, value, rc);
    if (!s) return rc;
    if (s->type != OCI_DTYPE_TIMESTAMP_TZ)
        return fail(error, "ORA-01878: the value has no time zone");
    *hours = sb1(s->zoneHours);
    *minutes = sb1(s->zoneMinutes);
    return OCI_SUCCESS;
}

}  // extern "C"
