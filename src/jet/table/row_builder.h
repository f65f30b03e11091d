#pragma once

// Building the bytes of one data row; the row layout, Jet 3 and Jet 4, is
// described in row_reader.h. Memo and OLE columns take their long-value
// field (longvalue.h) as Bytes.

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
