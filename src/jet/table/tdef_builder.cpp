#include "jet/table/tdef_builder.h"

#include <algorithm>

#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/values/convert.h"

namespace jet {

namespace {

constexpr std::uint32_t tableMagic = 1625;
constexpr std::uint32_t indexMagic = 1923;

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    bytes::putLe16(b.data() + at, v);
}
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    bytes::putLe32(b.data() + at, v);
}

// Type and tag of a TDEF page; Jet 4 fills in the free space once the page is.
void putPageHeader(const Format& f, std::span<std::uint8_t> page) {
    page[0] = kPageTdef;
    page[1] = 0x01;
    if (!f.tdefPageFreeSpace) {
        page[2] = 'V';
        page[3] = 'C';
    }
}

std::size_t grow(std::vector<std::uint8_t>& b, std::size_t n) {
    std::size_t at = b.size();
    b.resize(at + n, 0);
    return at;
}

void appendName(const Format& f, std::vector<std::uint8_t>& b, const std::string& name,
                const std::string& table) {
    std::vector<std::uint8_t> enc;
    if (!encodeName(f, name, enc))
        throw Error(Error::Kind::Invalid, "the name '" + name + "' cannot be stored in this format")
            .addTable(table);
    if (f.nameLengthSize == 1) {
        b.push_back(static_cast<std::uint8_t>(enc.size()));
    } else {
        std::size_t at = grow(b, 2);
        put16(b, at, static_cast<std::uint16_t>(enc.size()));
    }
    b.insert(b.end(), enc.begin(), enc.end());
}

}  // namespace

bool encodeName(const Format& f, std::string_view utf8, std::vector<std::uint8_t>& out) {
    std::u16string text;
    if (!decodeUtf8(utf8, text) || text.empty() || text.size() > f.maxNameLength) return false;
    if (f.unicodeNames) return encodeJet4Text(text, false, out);
    return encodeCp1252(text, out);
}

namespace {

// The table block: the page header, counts and the two usage maps.
void putTableBlock(const Format& f, std::vector<std::uint8_t>& b, const TableDef& t,
                   std::span<const std::uint8_t> original) {
    putPageHeader(f, b);
    if (f.tdefMagic && original.size() >= f.tdefBlockEnd) {
        // Jet 4's unknown stretches: after the length, and between the
        // AutoNumber counter and the table type.
        std::copy_n(original.begin() + f.tdefMagic, 4, b.begin() + f.tdefMagic);
        std::copy(original.begin() + f.tdefUnknown, original.begin() + f.tdefTableType,
                  b.begin() + f.tdefUnknown);
    } else if (f.tdefMagic) {
        put32(b, f.tdefMagic, tableMagic);
        b[f.tdefUnknown] = 0x01;
    }
    put32(b, f.tdefRowCount, t.rowCount);
    put32(b, f.tdefAutoNumber, t.autoNumber);
    b[f.tdefTableType] = t.isSystem ? 0x53 : 0x4E;
    std::uint16_t maxNumber = t.maxColumnNumber;
    std::uint16_t varCount = 0;
    for (const ColumnDef& c : t.columns) {
        maxNumber = std::max<std::uint16_t>(maxNumber, static_cast<std::uint16_t>(c.number + 1));
        // Slots of deleted variable columns still count.
        if (!c.isFixed())
            varCount =
                std::max<std::uint16_t>(varCount, static_cast<std::uint16_t>(c.varIndex + 1));
    }
    if (original.size() >= f.tdefBlockEnd)
        varCount = std::max(varCount, bytes::le16(original.data() + f.tdefVarColumns));
    put16(b, f.tdefMaxColumns, maxNumber);
    put16(b, f.tdefVarColumns, varCount);
    put16(b, f.tdefColumnCount, static_cast<std::uint16_t>(t.columns.size()));
    put32(b, f.tdefLogicalIndexCount, static_cast<std::uint32_t>(t.indexes.size()));
    put32(b, f.tdefPhysicalIndexCount, static_cast<std::uint32_t>(t.physicalIndexes.size()));
    put32(b, f.tdefOwnedPagesMap, t.ownedPagesMap);
    put32(b, f.tdefFreeSpaceMap, t.freeSpaceMap);
}

// One descriptor per column, in the order given.
void putColumns(const Format& f, std::vector<std::uint8_t>& b, const TableDef& t) {
    for (const ColumnDef& c : t.columns) {
        std::size_t at = grow(b, f.columnEntrySize);
        b[at] = static_cast<std::uint8_t>(c.type);
        if (f.entryMagic) put32(b, at + 1, tableMagic);
        put16(b, at + f.columnNumber, c.number);
        put16(b, at + f.columnVarIndex, c.varIndex);
        put16(b, at + f.columnNumberCopy,
              t.isSystem ? 0 : static_cast<std::uint16_t>(c.number + f.columnNumberBase));
        if (f.columnAlwaysOne) put16(b, at + f.columnAlwaysOne, 1);
        if (c.type == ColumnType::Numeric) {
            b[at + f.columnPrecision] = c.precision;
            b[at + f.columnScale] = c.scale;
        } else {
            put16(b, at + f.columnSortOrder, c.sortOrder ? c.sortOrder : 0x0409);
            if (f.columnCodePage) put16(b, at + f.columnCodePage, c.codePage ? c.codePage : 1252);
        }
        b[at + f.columnFlags] = c.flags;
        if (f.columnExtraFlags) b[at + f.columnExtraFlags] = c.extraFlags;
        put16(b, at + f.columnFixedOffset, c.isFixed() ? c.fixedOffset : 0);
        put16(b, at + f.columnLength, c.length);
    }
}

void putPhysicalIndexes(const Format& f, std::vector<std::uint8_t>& b, const TableDef& t) {
    for (const PhysicalIndex& p : t.physicalIndexes) {
        std::size_t at = grow(b, f.physicalIndexEntrySize);
        if (f.entryMagic) put32(b, at, indexMagic);
        if (p.columns.size() > 10)
            throw Error(Error::Kind::Invalid, "an index may have at most 10 columns")
                .addTable(t.name);
        for (std::size_t k = 0; k < 10; ++k) {
            std::size_t e = at + f.physicalIndexColumns + 3 * k;
            if (k < p.columns.size()) {
                put16(b, e, p.columns[k].columnNumber);
                b[e + 2] = p.columns[k].ascending ? 0x01 : 0x00;
            } else {
                put16(b, e, 0xFFFF);
            }
        }
        put32(b, at + f.physicalIndexUsageMap, p.usageMap);
        put32(b, at + f.physicalIndexRootPage, p.rootPage);
        b[at + f.physicalIndexFlags] = p.flags;
    }
}

void putLogicalIndexes(const Format& f, std::vector<std::uint8_t>& b, const TableDef& t) {
    for (const LogicalIndex& l : t.indexes) {
        std::size_t at = grow(b, f.logicalIndexEntrySize);
        if (f.entryMagic) put32(b, at, tableMagic);
        put32(b, at + f.logicalIndexNumber, static_cast<std::uint32_t>(l.number));
        put32(b, at + f.logicalIndexPhysical, static_cast<std::uint32_t>(l.physicalIndex));
        b[at + f.logicalIndexRelTableType] = l.relatedTableType;
        put32(b, at + f.logicalIndexRelIndex, static_cast<std::uint32_t>(l.relatedIndex));
        put32(b, at + f.logicalIndexRelTablePage, l.relatedTablePage);
        b[at + f.logicalIndexCascadeUpd] = l.cascadeUpdates;
        b[at + f.logicalIndexCascadeDel] = l.cascadeDeletes;
        b[at + f.logicalIndexType] = l.kind;
    }
}

}  // namespace

std::vector<std::uint8_t> buildTableDefinition(const Format& f, const TableDef& t,
                                               std::span<const std::uint8_t> original) {
    std::vector<std::uint8_t> b(f.tdefBlockEnd, 0);
    putTableBlock(f, b, t, original);
    for (const PhysicalIndex& p : t.physicalIndexes) {
        std::size_t at = grow(b, f.indexRowCountEntrySize);
        put32(b, at + f.indexRowCountOffset, p.rowCount);
    }
    putColumns(f, b, t);
    for (const ColumnDef& c : t.columns) appendName(f, b, c.name, t.name);
    putPhysicalIndexes(f, b, t);
    putLogicalIndexes(f, b, t);
    for (const LogicalIndex& l : t.indexes) appendName(f, b, l.name, t.name);
    for (const LongValueMaps& m : t.longValueMaps) {
        std::size_t at = grow(b, 10);
        put16(b, at, m.columnNumber);
        put32(b, at + 2, m.ownedPages);
        put32(b, at + 6, m.freeSpacePages);
    }
    std::size_t at = grow(b, 2);
    put16(b, at, 0xFFFF);

    put32(b, f.tdefLength, static_cast<std::uint32_t>(b.size()));
    return b;
}

std::size_t tableDefinitionPages(const Format& f, std::size_t size) {
    if (size <= f.pageSize) return 1;
    return 1 + (size - f.pageSize + (f.pageSize - 8) - 1) / (f.pageSize - 8);
}

std::vector<std::vector<std::uint8_t>> splitTableDefinition(const Format& f,
                                                            std::span<const std::uint8_t> def,
                                                            std::span<const std::uint32_t> pages) {
    if (pages.size() != tableDefinitionPages(f, def.size()))
        throw Error(Error::Kind::Invalid, "table definition needs " +
                                              std::to_string(tableDefinitionPages(f, def.size())) +
                                              " pages, given " + std::to_string(pages.size()));
    std::vector<std::vector<std::uint8_t>> out;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        std::vector<std::uint8_t> page(f.pageSize, 0);
        std::size_t n;
        if (i == 0) {
            n = std::min<std::size_t>(def.size(), f.pageSize);
            std::copy_n(def.begin(), n, page.begin());
        } else {
            n = std::min<std::size_t>(def.size() - pos, f.pageSize - 8);
            std::copy_n(def.begin() + static_cast<std::ptrdiff_t>(pos), n, page.begin() + 8);
            putPageHeader(f, page);
            n += 8;
        }
        pos += i == 0 ? n : n - 8;
        // Jet counts 8 bytes more than the data takes (observed on every page).
        if (f.tdefPageFreeSpace)
            bytes::putLe16(page.data() + 2,
                           static_cast<std::uint16_t>(n + 8 < f.pageSize ? f.pageSize - n - 8 : 0));
        bytes::putLe32(page.data() + f.tdefNextPage, i + 1 < pages.size() ? pages[i + 1] : 0);
        out.push_back(std::move(page));
    }
    return out;
}

}  // namespace jet
