#pragma once

// Rows on data pages: read here, built by row_builder.h. Offsets from the
// row start, numbers little-endian; Jet 3 / Jet 4 widths.
//
//   0        1 / 2   number of columns the row was written with (the table's
//                    highest column number + 1)
//   1 / 2    ..      fixed area: every fixed-length column at its fixed
//                    offset (counted from here); a Null leaves zeros; Yes/No
//                    columns take no room
//            ..      variable area: the non-null variable values in
//                    variable-slot order
//   from the end, backwards:
//            nb      null mask, (column count + 7) / 8 bytes, bit k (LSB
//                    first) for column number k: 1 = has a value; a Yes/No
//                    column's bit is its value
//            1 / 2   number of variable columns in the row
//            ..      Jet 3 only: the jump table (below)
//            ..      (count + 1) offsets of 1 / 2 bytes, last to first: the
//                    start of each variable value, then the end of the
//                    variable data
// A table without variable columns has no offsets and no count. Columns
// added after a row was written lie beyond its column count and read as Null.
//
// Jet 3 offsets keep only their low byte; the high bytes come from the jump
// table between the offsets and the variable count: entry j (counting from
// the variable count backwards) names the first offset slot (slot = variable
// count for the end-of-data offset) whose value is at least 256 * (j + 1).
// The table has (row length - 1) / 256 entries; when that is one more than
// the data needs, the extra entry, a 0xFF filler, sits farthest from the row
// end.
//
// Values: Byte/Integer/Long little-endian signed (Byte unsigned); Currency a
// 64-bit integer of 1/10,000; Single/Double IEEE; Date/Time a double of days
// since 1899-12-30; Replication ID 16 bytes with the first three groups
// little-endian; Decimal a sign byte (0x80 negative) then the 128-bit
// magnitude as four 32-bit little-endian words, most significant first.
// Memo and OLE columns hold a long-value field (longvalue.h). A column of a
// fixed-size type without the fixed flag (Access's own Decimal columns)
// keeps its fixed-area bytes in its variable slot.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "jet/file/datapage.h"
#include "jet/file/format.h"
#include "jet/file/pager.h"
#include "jet/types.h"

namespace jet {

// One column's raw bytes within a row.
struct Field {
    bool null = true;
    bool boolValue = false;  // Yes/No: the null-mask bit
    std::span<const std::uint8_t> bytes;
};

// Splits a row into its fields, one per column of the table in the order of
// table.columns. Corrupt when the row's structure is impossible.
std::vector<Field> crackRow(std::span<const std::uint8_t> row, const TableDef& table,
                            const Format& format);

// Turns one field into a value. pager (may be null) resolves long values.
Value decodeField(const Field& field, const ColumnDef& column, const Format& format,
                  std::uint16_t codePage, const Pager* pager);

// Both steps for a whole row.
Row decodeRow(std::span<const std::uint8_t> row, const TableDef& table, const Format& format,
              std::uint16_t codePage, const Pager* pager);

// The bytes of a type in the fixed area (0 for variable-length types).
std::size_t fixedSize(ColumnType type, std::uint16_t declaredLength);

// Reads every live row of a table in storage order: the data pages its
// owned-pages map lists, each row once (overflow pointers followed, moved
// copies skipped).
class TableScanner {
public:
    TableScanner(const Pager& pager, const Format& format, const TableDef& table,
                 std::uint16_t codePage);
    // The next row's bytes; false at the end. The span stays valid until the
    // next call.
    bool nextRaw(std::span<const std::uint8_t>& row);
    bool next(Row& row);
    // Where the last row came from (its slot, not where an overflow led).
    std::uint32_t page() const { return page_; }
    std::uint16_t rowIndex() const { return static_cast<std::uint16_t>(row_ - 1); }

private:
    const Pager& pager_;
    const Format& format_;
    const TableDef& table_;
    std::uint16_t codePage_;
    std::vector<std::uint32_t> pages_;
    std::size_t pageIndex_ = 0;
    std::uint32_t page_ = 0;
    std::optional<DataPage> current_;
    PageRef target_;  // keeps an overflow row's page alive
    std::uint32_t row_ = 0;
};

}  // namespace jet
