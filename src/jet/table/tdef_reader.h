#pragma once

// Table definitions (TDEF pages): read here, built by tdef_builder.h.
//
// Page header, on the first page and every continuation page:
//   0 1 0x02, 1 1 0x01, 2 2 Jet 3 "VC" / Jet 4 free bytes on the page less 8,
//   4 4 next TDEF page (0 = last)
// The definition is read as one buffer: the first page whole, then each
// continuation page from byte 8 on. Positions below are in that buffer.
//
// Table block                                   Jet 3   Jet 4
//   definition length (4)                           8       8
//   1625, constant in every file seen (4)           -      12
//   row count (4)                                  12      16
//   last AutoNumber handed out (4)                 16      20
//   unknown; 0x01 first (AutoNumber bookkeeping)    -   24-39
//   table type: 0x4E user, 0x53 system (1)         20      40
//   next column number, deleted ones counted (2)   21      41
//   variable-offset slots, deleted ones too (2)    23      43
//   column count (2)                               25      45
//   logical index count (4)                        27      47
//   physical index count (4)                       31      51
//   owned-pages usage map row pointer (4)          35      55
//   free-space usage map row pointer (4)           39      59
//   end of block                                   43      63
// Then, in order:
//   per physical index: 8 / 12 bytes, the index's row count (distinct keys
//     of a unique index) at +4, the rest unknown
//   column descriptors, 18 / 25 bytes each, in any order:
//                                   Jet 3   Jet 4
//     type (1)                         0       0
//     1625 (4)                         -       1
//     column number (2)                1       5
//     variable-offset slot (2)         3       7
//     position (2; Jet 4: 1-based in   5       9
//       user tables, 0 in system ones)
//     always 1 (2)                     7       -
//     text sort order (2), or          9      11
//       Decimal precision, scale (1+1) 11     11
//     code page (2)                   11       -
//     sort version (2)                 -      13
//     flags (1)                       13      15
//     extra flags (1): 0x01 Unicode    -      16
//       compression
//     fixed-area offset (2)           14      21
//     length in bytes (2)             16      23
//     flags: 0x01 fixed, 0x02 nullable, 0x04 AutoNumber, 0x40 GUID AutoNumber
//   column names: length (1 / 2 bytes) + code-page bytes / UTF-16LE
//   physical index definitions, 39 / 52 bytes: [Jet 4: 1923 (4)] ten
//     (2-byte column number, 0xFFFF unused; 1-byte order, 1 ascending) pairs,
//     usage map row pointer (4), root page (4), [Jet 4: 4 unknown], flags
//     (1: 0x01 unique, 0x02 ignore nulls, 0x08 required; Access adds 0x80 in
//     Jet 4), [Jet 4: 5 unknown]
//   logical index definitions, 20 / 28 bytes: [Jet 4: 1625 (4)] number (4),
//     physical index (4), related table type (1), related index (4, -1
//     none), related TDEF page (4), cascade updates (1), cascade deletes
//     (1), kind (1: 1 primary key, 2 foreign key), [Jet 4: 4 unknown]
//   logical index names, same form as column names
//   long-value column maps: column number (2), owned-pages and free-space
//     map row pointers (4 + 4), until column number 0xFFFF or the end
// Descriptors need not be in column-number order (Jet 4 MSysObjects lists
// them by name); deleted columns leave gaps in the numbers. Every offset
// above is a Format field.

#include <cstdint>
#include <span>
#include <vector>

#include "jet/file/format.h"
#include "jet/file/pager.h"
#include "jet/types.h"

namespace jet {

struct TdefChain {
    std::vector<std::uint8_t> bytes;   // the assembled definition
    std::vector<std::uint32_t> pages;  // first page, then continuations
};

// Collects the pages of a definition; Corrupt for a page that is not a TDEF
// page or a chain that loops.
TdefChain loadTdefChain(const Pager& pager, const Format& format, std::uint32_t firstPage);

// Decodes a definition. codePage decodes Jet 3 names. The name is left empty
// (the catalog knows it); columns come sorted by column number.
TableDef parseTableDef(std::span<const std::uint8_t> definition, const Format& format,
                       std::uint16_t codePage);

// Both steps; errors name the file and the page.
TableDef readTableDef(const Pager& pager, const Format& format, std::uint32_t firstPage,
                      std::uint16_t codePage);

}  // namespace jet
