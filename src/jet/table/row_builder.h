#pragma once

// Building the bytes of one data row.
//
// Jet 4 row (offsets from the row start, all numbers little-endian):
//   0       2  column count (the table's highest column number + 1)
//   2       .. fixed area: every fixed-length column at its fixed offset
//              (+2); a Null leaves zeros. Yes/No columns take no room.
//   ..      .. variable area: the non-null variable values in var-slot order
//   then       end-of-data offset (2), the variable offsets from the last
//              slot down to slot 0 (2 each), the variable count (2)
//   last    n  null mask, (column count + 7) / 8 bytes, bit k (LSB first)
//              for column number k: 1 = has a value. A Yes/No column's bit
//              is its value.
// A table without variable columns has no offsets and no count.
//
// Jet 3 is the same with a 1-byte column count, 1-byte offsets and a 1-byte
// variable count. An offset keeps only its low byte; the high bytes come
// from the jump table between the offsets and the variable count: entry j
// (counting from the variable count backwards) names the first offset slot
// (slot = variable count for the end-of-data offset) whose value is at
// least 256 * (j + 1). The table has (row length - 1) / 256 entries; when
// that is one more than the data needs, the extra entry, a 0xFF filler,
// sits farthest from the row end.
//
// Memo and OLE columns take their field (the 12-byte long-value header with
// any inline data, made by longvalue_writer) as Bytes. A column of a
// fixed-size type without the fixed flag (Access's own Decimal columns) keeps
// its fixed-area bytes in its variable slot.

#include <cstdint>
#include <span>
#include <vector>

#include "jet/file/format.h"
#include "jet/types.h"

namespace jet {

// Where each column goes, worked out once per table.
struct RowLayout {
    struct Fixed {
        std::size_t index;  // into TableDef::columns / the row
        ColumnType type;
        std::uint16_t offset;
        std::uint16_t length;
    };
    std::vector<Fixed> fixed;
    std::vector<int> varSlots;  // column index per var slot, -1 for a deleted column's slot
    std::vector<Fixed> varColumns;  // per var slot: type and, for fixed-size types, their size
    std::vector<std::uint16_t> numbers;  // column number per column index
    std::vector<bool> isBoolean;
    std::uint16_t columnCount = 0;  // in the row header: highest column number + 1
    std::size_t fixedSize = 0;
    std::size_t maskBytes = 0;

    static RowLayout of(const TableDef& table);
};

// Appends the row built from stored values (convert.h shapes) to out and
// returns its length. Throws Error::Kind::Invalid when the row cannot be
// laid out (Jet 3 offsets beyond what the jump table can express).
std::size_t buildRow(const Format& format, const RowLayout& layout, std::span<const Value> stored,
                     std::vector<std::uint8_t>& out);

// The length buildRow() would give, without building the row where the
// format allows (Jet 4); throws as buildRow() does.
std::size_t rowLength(const Format& format, const RowLayout& layout, std::span<const Value> stored);

}  // namespace jet
