#pragma once

// Where the columns of a new table sit: column numbers in the order given,
// one variable-offset slot per variable-length column, the fixed area packed
// in order (Yes/No columns live in the null mask and take no room there).
// The one place that lays out both a new user table and the system tables
// of a new file.

#include <cstdint>

#include "jet/file/format.h"
#include "jet/types.h"

namespace jet {

class TableLayoutBuilder {
public:
    explicit TableLayoutBuilder(const Format& format) : format_(format) {}

    // Appends a column. The caller gives name, type, flags and, for text,
    // binary and Decimal columns, length, extra flags, precision and scale;
    // the builder sets its number, slot, fixed offset, sort order, code page
    // and, for fixed-length types, the fixed flag and length.
    ColumnDef& add(ColumnDef column);

    // Bytes a text or binary column of this many characters declares.
    std::uint16_t variableLength(ColumnType type, int characters) const;

    // The table laid out so far (maxColumnNumber included).
    TableDef& table() { return table_; }
    std::size_t longValueColumns() const { return longValues_; }

private:
    const Format& format_;
    TableDef table_;
    std::uint16_t fixedAt_ = 0;
    std::uint16_t varSlot_ = 0;
    std::size_t longValues_ = 0;
};

}  // namespace jet
