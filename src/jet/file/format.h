#pragma once

// Every fact that differs between Jet 3 (Access 95/97, 2048-byte pages) and
// Jet 4 (Access 2000, 4096-byte pages): offsets and sizes, and the few values
// a writer puts down differently. One record per version, chosen when a file
// is opened; code that reads or writes pages asks it instead of testing the
// version (format.cpp lists both records side by side).

#include <cstddef>
#include <cstdint>

#include "jet/types.h"

namespace jet {

// The first byte of every page but the header says what the page holds.
constexpr std::uint8_t kPageData = 0x01;
constexpr std::uint8_t kPageTdef = 0x02;
constexpr std::uint8_t kPageIndexNode = 0x03;
constexpr std::uint8_t kPageIndexLeaf = 0x04;
constexpr std::uint8_t kPageUsageBitmap = 0x05;

class Format {
public:
    static const Format& jet3();
    static const Format& jet4();
    static const Format& of(Version version);
    // The format of a file whose header has this version byte: 0 is Jet 3;
    // Access 2000 writes 1 and later versions more, all read as Jet 4.
    static const Format& ofHeaderVersion(std::uint8_t byte);

    Version version;
    std::uint32_t pageSize;
    // Access files cannot pass 1 GB (Jet 3) or 2 GB (Jet 4): the last page
    // ends exactly there.
    std::uint32_t maxPages;
    const char* maxSizeText;  // "1 GB" / "2 GB", as users know the limit
    const char* name;         // "Jet 3" / "Jet 4"

    // Page 0 (layout in header.h). The masked region starts at 0x18 in both
    // versions; an offset of 0 means the field is absent.
    std::uint8_t headerVersion;        // 0 / 1 at 0x14
    std::size_t headerMaskLength;      // bytes XOR-masked from 0x18
    std::size_t headerSortOrder;       // database sort order (LCID): 0x3A / 0x6E
    std::size_t headerSortVersion;     // 0x38 / none: Jet 3 writes 1
    std::size_t headerPasswordLength;  // password field at 0x42
    bool headerDatedPassword;          // Jet 4 XORs the password with the creation date
    std::size_t headerStamp;           // 0x66 / 0x6A: a constant every file carries
    std::uint16_t headerStampValue;    // 0x251E / 0x261C
    std::size_t headerCreationDate;    // none / 0x72 (double)
    bool headerEngineVersion;          // Jet 4 writes 0x0654 at 0x98 and "4.0" at 0x9C

    // Data pages, LVAL pages and pages of usage-map rows (layout in datapage.h).
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

    // Table definition (TDEF) pages (layout in tdef_reader.h); positions
    // inside the assembled definition (first page whole, continuation pages
    // from byte 8 on).
    bool tdefPageFreeSpace;    // bytes 2-3 of a page: Jet 3 "VC", Jet 4 its free bytes less 8
    std::size_t tdefNextPage;  // 4
    std::size_t tdefLength;    // 8 (4 bytes)
    std::size_t tdefMagic;     // none / 12: 1625
    std::size_t tdefUnknown;   // none / 24: up to the table type, 0x01 first; kept on rewrite
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
    bool entryMagic;  // Jet 4 leads column and logical-index entries with 1625, physical with 1923
    std::size_t columnEntrySize;     // 18 / 25
    std::size_t columnNumber;        // 1 / 5
    std::size_t columnVarIndex;      // 3 / 7
    std::size_t columnNumberCopy;    // 5 / 9 (0 in system tables)
    std::uint16_t columnNumberBase;  // 0 / 1: the copy is 1-based in Jet 4
    std::size_t columnAlwaysOne;     // 7 / none
    std::size_t columnSortOrder;     // 9 / 11 (text)
    std::size_t columnCodePage;      // 11 / none (Jet 3 text); 0 = absent
    std::size_t columnPrecision;     // 11 (decimal)
    std::size_t columnScale;         // 12 (decimal)
    std::size_t columnFlags;         // 13 / 15
    std::size_t columnExtraFlags;    // none / 16; 0 = absent
    std::size_t columnFixedOffset;   // 14 / 21
    std::size_t columnLength;        // 16 / 23
    std::size_t nameLengthSize;      // 1 / 2: length prefix of names in a TDEF
    bool unicodeNames;               // Jet 4 names are UTF-16LE
    bool unicodeText;                // Jet 4 text values are UTF-16LE (maybe compressed)
    std::uint16_t textUnitSize;      // 1 / 2: bytes per character in a Text column's length
    std::uint16_t textCodePage;      // 1252 / 0: the code page a new text column names
    std::uint8_t compressedText;     // 0 / 0x01: extra flag of new Text and Memo columns
    bool decimalColumns;             // Decimal (Numeric) columns exist from Jet 4 on
    bool memoIndexes;                // Memo columns can be indexed from Jet 4 on
    bool textKeys2000;  // text keys follow Access 2000's General order (its codes, an end-of-text
                        // mark); Jet 3's follow Access 97's

    // Physical index definitions.
    std::size_t physicalIndexEntrySize;  // 39 / 52
    std::size_t physicalIndexColumns;    // 0 / 4: ten (2-byte column, 1-byte order) pairs
    std::size_t physicalIndexUsageMap;   // 30 / 34
    std::size_t physicalIndexRootPage;   // 34 / 38
    std::size_t physicalIndexFlags;      // 38 / 46
    std::uint8_t physicalIndexAlways;    // 0 / 0x80: set on every index Access 2000 writes

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

    // Index pages (layout in index/indexpage.h).
    std::size_t indexPrevPage;      // 8 / 12
    std::size_t indexNextPage;      // 12 / 16
    std::size_t indexTailPage;      // 16 / 20
    std::size_t indexPrefixLength;  // 20 / 24
    std::size_t indexPrefixWidth;   // 1 / 2 bytes
    std::size_t indexNodeFlag;      // 21 / 26
    std::size_t indexBitmap;        // 0x16 / 0x1B
    std::size_t indexBitmapSize;    // 226 / 453
    std::size_t indexEntriesStart;  // 0xF8 / 0x1E0

    // Bytes of entry data one index page holds, and the longest shared prefix.
    std::size_t indexCapacity() const { return pageSize - indexEntriesStart; }
    std::size_t indexMaxPrefix() const { return indexPrefixWidth == 1 ? 0xFF : 0xFFFF; }

    // What the catalog of a new file holds that differs by version.
    bool queriesLvExtra;             // MSysQueries has an LvExtra column (Jet 4)
    bool systemColumnsByName;        // system TDEFs list their columns by name (Jet 4)
    Bytes databaseOwner;             // Owner of MSysDb (Access 97 leaves it empty)
    Bytes objectOwner;               // Owner of the other catalog rows
    Bytes aceOwner;                  // the owner's account in MSysACEs
    Bytes aceUsers;                  // the users group
    Bytes aceAdmins;                 // the admins group
    std::int32_t tablesOwnerRights;  // the owner's ACM on the Tables container
    bool tablesOwnerInherits;        // and whether it passes to new tables (Jet 3)

    // Limits.
    std::size_t maxColumns;     // 255
    std::size_t maxIndexes;     // 32
    std::size_t maxNameLength;  // 64 characters
    std::size_t maxTextLength;  // 255 characters
};

// Everything but OLE; Memo only in Jet 4 (Access 97 cannot index it).
bool isIndexable(ColumnType type, Version version);

}  // namespace jet
