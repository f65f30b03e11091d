#pragma once

// Building a table definition (TDEF) and splitting it into its page chain.
//
// Every TDEF page starts with an 8-byte header:
//   0  0x02, 1  0x01, 2  Jet 3: "VC"; Jet 4: free bytes on this page less 8,
//   4  next TDEF page of the chain (0 on the last)
// The definition is read as one stream: the first page whole, then each
// continuation page from byte 8 on. Positions below are in that stream.
//
// Table block (Jet 3 / Jet 4 offsets):
//   8/8     4  length of the definition (the whole stream)
//   -/12    4  Jet 4: 1625, constant in every file seen
//   12/16   4  row count
//   16/20   4  last AutoNumber value handed out
//   -/24    1  Jet 4: 0x01 (AutoNumber bookkeeping; set in Access files)
//   20/40   1  table type: 0x4E user, 0x53 system
//   21/41   2  next column number (counts deleted columns)
//   23/43   2  variable-offset slots (variable columns, deleted ones too)
//   25/45   2  number of columns
//   27/47   4  number of logical indexes
//   31/51   4  number of physical indexes
//   35/55   4  row pointer of the owned-pages usage map
//   39/59   4  row pointer of the free-space usage map
// Then, per physical index, 8 / 12 bytes: 4 unknown (0), the number of
// distinct keys in it (the row count for a unique index), (Jet 4) 4 more
// unknown.
// Column descriptors, 18 / 25 bytes each, in the order given:
//   Jet 3: 0 type, 1 number (2), 3 var slot (2), 5 position (2), 7 always 1
//          (2), 9 sort order (2), 11 code page (2), 13 flags, 14 fixed
//          offset (2), 16 length (2)
//   Jet 4: 0 type, 1 1625 (4), 5 number (2), 7 var slot (2), 9 position (2;
//          1-based in user tables, 0 in system tables), 11 sort order (2;
//          for Decimal 11 precision, 12 scale), 13 sort version (2), 15
//          flags, 16 extra flags (0x01 Unicode compression), 17 unknown (4),
//          21 fixed offset (2), 23 length in bytes (2)
//   flags: 0x01 fixed length, 0x02 may be Null, 0x04 AutoNumber.
// Column names: Jet 3 1-byte length + code-page bytes; Jet 4 2-byte byte
// length + UTF-16LE.
// Physical indexes, 39 / 52 bytes: (Jet 4: 1923 (4)), ten (column number
// (2, 0xFFFF unused), order (1: 0x01 ascending, 0 descending)), usage map (4), root page
// (4), (Jet 4: 4 unknown), flags (1: 0x01 unique, 0x02 ignore Nulls, 0x08
// required; Access adds 0x80 in Jet 4), (Jet 4: 5 unknown).
// Logical indexes, 20 / 28 bytes: (Jet 4: 1625 (4)), index number (4),
// physical index (4), related table type (1), related index (4, -1 none),
// related TDEF page (4), cascade updates (1), cascade deletes (1), kind
// (1: 1 primary key, 2 foreign key), (Jet 4: 4 unknown). Then their names.
// Last, per memo/OLE column: column number (2), owned-pages map (4),
// free-space map (4); closed by 0xFFFF.

#include <cstdint>
#include <span>
#include <vector>

#include "jet/file/format.h"
#include "jet/types.h"

namespace jet {

// The definition as one stream (the first page's 8-byte header included,
// next-page pointer zero). Throws Error::Kind::Invalid for a name that the
// format cannot hold. When rewriting a definition, pass the stream it was
// read from as original: the table-block bytes whose meaning is unknown are
// kept as they were.
std::vector<std::uint8_t> buildTableDefinition(const Format& format, const TableDef& table,
                                               std::span<const std::uint8_t> original = {});

// How many pages a definition of size bytes needs.
std::size_t tableDefinitionPages(const Format& format, std::size_t size);

// Splits a definition over the given pages (pages[0] the first), linking
// them and filling each header. Returns one page image per page number.
std::vector<std::vector<std::uint8_t>> splitTableDefinition(
    const Format& format, std::span<const std::uint8_t> definition,
    std::span<const std::uint32_t> pages);

// Names as a TDEF stores them; false when Jet 3's code page lacks a character.
bool encodeName(const Format& format, std::string_view utf8, std::vector<std::uint8_t>& out);

}  // namespace jet
