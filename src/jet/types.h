#pragma once

// The engine's model of a database: versions, column and index definitions,
// values. Text is UTF-8 everywhere in this API; the engine converts to the
// file's own encoding (UTF-16 in Jet 4, the code page in Jet 3).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace jet {

enum class Version : std::uint8_t { Jet3 = 0, Jet4 = 1 };

// Column type codes as stored in a table definition.
enum class ColumnType : std::uint8_t {
    Boolean = 0x01,   // Yes/No: no data bytes, the value is the null-mask bit
    Byte = 0x02,
    Integer = 0x03,   // 16 bit
    Long = 0x04,      // 32 bit, also AutoNumber
    Currency = 0x05,  // 64 bit scaled by 10,000
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,  // double, days since 1899-12-30
    Binary = 0x09,    // up to 255 bytes
    Text = 0x0A,      // up to 255 characters
    Ole = 0x0B,       // long binary
    Memo = 0x0C,      // long text
    Guid = 0x0F,      // Replication ID
    Numeric = 0x10,   // Decimal (Jet 4)
};

const char* columnTypeName(ColumnType type);
bool isLongValue(ColumnType type);      // Memo, OLE
bool isVariableLength(ColumnType type); // Text, Binary, Memo, OLE
// Bytes a value takes in a row's fixed area: 0 for Yes/No (the value is its
// null-mask bit) and for the variable-length types.
std::uint16_t fixedDataSize(ColumnType type);
// The length a table definition gives a fixed-length column (Yes/No: 1).
std::uint16_t declaredFixedLength(ColumnType type);

// What a caller asks for when creating a column.
struct ColumnSpec {
    std::string name;
    ColumnType type = ColumnType::Text;
    int length = 0;  // Text: characters (0 = 255); Binary: bytes (0 = 255); ignored otherwise
    bool required = false;
    bool autoNumber = false;  // Long only
    std::uint8_t precision = 18;  // Numeric only
    std::uint8_t scale = 0;       // Numeric only
};

// A column as the table definition holds it.
struct ColumnDef {
    std::string name;
    ColumnType type = ColumnType::Text;
    std::uint16_t number = 0;        // column number; gaps where columns were deleted
    std::uint16_t varIndex = 0;      // slot in the variable-offset table (variable columns)
    std::uint16_t fixedOffset = 0;   // offset in the fixed area (fixed columns)
    std::uint16_t length = 0;        // bytes; Jet 4 text: 2 bytes per character
    std::uint8_t flags = 0;          // 0x01 fixed, 0x02 nullable, 0x04 autonumber, ...
    std::uint8_t extraFlags = 0;     // Jet 4: 0x01 Unicode compression
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    std::uint16_t sortOrder = 0;     // text: 0x0409 = General
    std::uint16_t codePage = 0;      // Jet 3 text

    bool isFixed() const { return (flags & 0x01) != 0; }
    bool isNullable() const { return (flags & 0x02) != 0; }
    bool isAutoNumber() const { return (flags & 0x04) != 0; }
    bool isRequired() const { return !isNullable(); }
};

struct IndexColumn {
    std::uint16_t columnNumber = 0;
    bool ascending = true;
};

// What a caller asks for when creating an index.
struct IndexSpec {
    std::string name;
    std::vector<std::pair<std::string, bool>> columns;  // column name, ascending
    bool unique = false;
    bool primaryKey = false;
    bool ignoreNulls = false;
    bool required = false;
};

// One physical index (B-tree) of a table.
struct PhysicalIndex {
    int number = 0;
    std::vector<IndexColumn> columns;  // 1 to 10
    std::uint32_t usageMap = 0;        // row pointer of its usage map
    std::uint32_t rootPage = 0;
    std::uint8_t flags = 0;            // 0x01 unique, 0x02 ignore nulls, 0x08 required
    std::uint32_t rowCount = 0;        // as stored in the table definition

    bool isUnique() const { return (flags & 0x01) != 0; }
    bool ignoresNulls() const { return (flags & 0x02) != 0; }
};

// One named (logical) index; several may share one physical index.
struct LogicalIndex {
    std::string name;
    int number = 0;
    int physicalIndex = 0;
    std::uint8_t kind = 0;  // 1 primary key, 2 foreign key, 0 plain
    // Foreign-key facts kept so a rewritten definition does not lose them.
    std::uint8_t relatedTableType = 0;
    std::int32_t relatedIndex = -1;
    std::uint32_t relatedTablePage = 0;
    std::uint8_t cascadeUpdates = 0;
    std::uint8_t cascadeDeletes = 0;

    bool isPrimaryKey() const { return kind == 1; }
    bool isForeignKey() const { return kind == 2; }
};

// Memo/OLE columns have a pair of usage maps of their own.
struct LongValueMaps {
    std::uint16_t columnNumber = 0;
    std::uint32_t ownedPages = 0;
    std::uint32_t freeSpacePages = 0;
};

struct TableDef {
    std::string name;
    std::uint32_t tdefPage = 0;
    bool isSystem = false;
    std::uint32_t rowCount = 0;
    std::uint32_t autoNumber = 0;  // last value handed out
    std::uint16_t maxColumnNumber = 0;  // next column number (counts deleted ones)
    std::uint32_t ownedPagesMap = 0;    // row pointer
    std::uint32_t freeSpaceMap = 0;     // row pointer
    std::vector<ColumnDef> columns;     // in column-number order
    std::vector<PhysicalIndex> physicalIndexes;
    std::vector<LogicalIndex> indexes;
    std::vector<LongValueMaps> longValueMaps;

    const ColumnDef* findColumn(std::string_view name) const;  // letter case ignored
    int fixedColumnCount() const;
    int variableColumnCount() const;
};

// A date-time as Jet keeps it: days since 1899-12-30, the fraction the time
// of day. Negative values count the day backwards and the time forwards.
struct DateTime {
    double days = 0;

    static DateTime fromParts(int year, int month, int day, int hour = 0, int minute = 0,
                              double second = 0);
    struct Parts {
        int year, month, day, hour, minute;
        double second;
    };
    Parts parts() const;
    std::string toIsoString() const;  // YYYY-MM-DD HH:MM:SS[.fff]
    bool operator==(const DateTime&) const = default;
};

// Decimal: an unscaled 128-bit magnitude, a sign and a scale.
struct Decimal {
    std::array<std::uint8_t, 16> magnitude{};  // big-endian
    bool negative = false;
    std::uint8_t scale = 0;

    static std::optional<Decimal> parse(std::string_view text, std::uint8_t scale);
    std::string toString() const;
    bool operator==(const Decimal&) const = default;
};

using Bytes = std::vector<std::uint8_t>;
using Guid = std::array<std::uint8_t, 16>;  // in text order (as printed in braces)

// A value going into or coming out of a row. Integers of every width arrive
// as std::int64_t; Currency as Currency (scaled by 10,000).
struct Currency {
    std::int64_t scaled = 0;
    bool operator==(const Currency&) const = default;
};

class Value {
public:
    using Storage = std::variant<std::monostate, bool, std::int64_t, double, Currency, DateTime,
                                 std::string, Bytes, Guid, Decimal>;
    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(std::int64_t{i}) {}
    Value(std::int64_t i) : v_(i) {}
    Value(double d) : v_(d) {}
    Value(Currency c) : v_(c) {}
    Value(DateTime d) : v_(d) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(Bytes b) : v_(std::move(b)) {}
    Value(Guid g) : v_(g) {}
    Value(Decimal d) : v_(d) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
    template <class T>
    bool is() const { return std::holds_alternative<T>(v_); }
    template <class T>
    const T& as() const { return std::get<T>(v_); }
    // The value's own T to change in place (its buffer reused), or null.
    template <class T>
    T* getIf() { return std::get_if<T>(&v_); }
    const Storage& storage() const { return v_; }
    std::string toString() const;  // for tools and messages: text as is, numbers plainly
    bool operator==(const Value&) const = default;

private:
    Storage v_;
};

using Row = std::vector<Value>;  // one value per column, in TableDef::columns order

}  // namespace jet
