#pragma once

// Every offset and size that differs between Jet 3 (Access 95/97, 2048-byte
// pages) and Jet 4 (Access 2000, 4096-byte pages), in one record chosen when
// a file is opened. Code that reads or writes pages takes its positions from
// here instead of testing the version.

#include <cstddef>
#include <cstdint>

#include "jet/types.h"

namespace jet {

class Format {
public:
    static const Format& jet3();
    static const Format& jet4();
    static const Format& of(Version version);

    Version version;
    std::uint32_t pageSize;

    // Page 0. The masked region starts at 0x18 in both versions.
    std::size_t headerMaskLength;      // bytes XOR-masked from 0x18
    std::size_t headerSortOrder;       // database sort order (LCID)
    std::size_t headerPasswordLength;  // password field at 0x42

    // Data pages (also LVAL pages and pages holding usage-map rows):
    //   0 type 0x01, 1 0x01, 2 free space (2), 4 owning TDEF page (4),
    //   [Jet 4: 4 unknown], row count (2), then one 2-byte offset per row.
    std::size_t dataFreeSpace;  // 2
    std::size_t dataOwner;      // 4
    std::size_t dataRowCount;   // 8 / 12
    std::size_t dataRowTable;   // 10 / 14
    std::size_t maxRowSize;     // largest row Access accepts
    std::size_t lvalRowRoom;    // largest LVAL row: a page holding one row (2032 / 4076)

    // Rows.
    std::size_t rowColumnCountSize;  // 1 / 2: leading column count
    std::size_t rowVarOffsetSize;    // 1 / 2: variable offsets, the var count, the end offset
    bool rowJumpTable;               // Jet 3: one byte per 256-byte stretch of the row

    // Table definition (TDEF) pages; positions inside the assembled
    // definition (first page whole, continuation pages from byte 8 on).
    std::size_t tdefNextPage;  // 4
    std::size_t tdefLength;    // 8 (4 bytes)
    std::size_t tdefRowCount;
    std::size_t tdefAutoNumber;
    std::size_t tdefTableType;
    std::size_t tdefMaxColumns;
    std::size_t tdefVarColumns;
    std::size_t tdefColumnCount;
    std::size_t tdefLogicalIndexCount;
    std::size_t tdefPhysicalIndexCount;
    std::size_t tdefOwnedPagesMap;
    std::size_t tdefFreeSpaceMap;
    std::size_t tdefBlockEnd;            // first physical-index row-count entry
    std::size_t indexRowCountEntrySize;  // 8 / 12 per physical index
    std::size_t indexRowCountOffset;     // 4: the count inside that entry

    // Column descriptors.
    std::size_t columnEntrySize;    // 18 / 25
    std::size_t columnNumber;       // 1 / 5
    std::size_t columnVarIndex;     // 3 / 7
    std::size_t columnNumberCopy;   // 5 / 9
    std::size_t columnSortOrder;    // 9 / 11 (text)
    std::size_t columnCodePage;     // 11 / none (Jet 3 text); 0 = absent
    std::size_t columnPrecision;    // 11 (decimal)
    std::size_t columnScale;        // 12 (decimal)
    std::size_t columnFlags;        // 13 / 15
    std::size_t columnExtraFlags;   // none / 16; 0 = absent
    std::size_t columnFixedOffset;  // 14 / 21
    std::size_t columnLength;       // 16 / 23
    std::size_t nameLengthSize;     // 1 / 2: length prefix of names in a TDEF
    bool unicodeNames;              // Jet 4 names are UTF-16LE
    bool unicodeText;               // Jet 4 text values are UTF-16LE (maybe compressed)

    // Physical index definitions.
    std::size_t physicalIndexEntrySize;  // 39 / 52
    std::size_t physicalIndexColumns;    // 0 / 4: ten (2-byte column, 1-byte order) pairs
    std::size_t physicalIndexUsageMap;   // 30 / 34
    std::size_t physicalIndexRootPage;   // 34 / 38
    std::size_t physicalIndexFlags;      // 38 / 46

    // Logical index definitions.
    std::size_t logicalIndexEntrySize;     // 20 / 28
    std::size_t logicalIndexNumber;        // 0 / 4
    std::size_t logicalIndexPhysical;      // 4 / 8
    std::size_t logicalIndexRelTableType;  // 8 / 12
    std::size_t logicalIndexRelIndex;      // 9 / 13
    std::size_t logicalIndexRelTablePage;  // 13 / 17
    std::size_t logicalIndexCascadeUpd;    // 17 / 21
    std::size_t logicalIndexCascadeDel;    // 18 / 22
    std::size_t logicalIndexType;          // 19 / 23

    // Usage maps.
    std::size_t inlineMapBytes;  // 128 / 64 bitmap bytes in an inline map row
    std::size_t mapPageHeader;   // 4: header of a type 0x05 bitmap page

    // Index pages.
    std::size_t indexPrevPage;      // 8 / 12
    std::size_t indexNextPage;      // 12 / 16
    std::size_t indexTailPage;      // 16 / 20
    std::size_t indexPrefixLength;  // 20 / 24
    std::size_t indexBitmap;        // 0x16 / 0x1B
    std::size_t indexEntriesStart;  // 0xF8 / 0x1E0

    // Limits.
    std::size_t maxColumns;     // 255
    std::size_t maxIndexes;     // 32
    std::size_t maxNameLength;  // 64 characters
    std::size_t maxTextLength;  // 255 characters
};

}  // namespace jet
