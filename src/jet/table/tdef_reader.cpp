#include "jet/table/tdef_reader.h"

#include <algorithm>
#include <set>

#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/file/datapage.h"
#include "jet/values/text.h"

namespace jet {

namespace {

constexpr std::size_t kMaxTdefPages = 256;

// Reads forward through the definition; running off its end is damage.
class Cursor {
public:
    explicit Cursor(std::span<const std::uint8_t> data) : data_(data) {}
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return data_.size() - pos_; }
    const std::uint8_t* take(std::size_t n, const char* what) {
        if (n > remaining())
            throw Error(Error::Kind::Corrupt,
                        std::string("the table definition ends inside its ") + what);
        const std::uint8_t* p = data_.data() + pos_;
        pos_ += n;
        return p;
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

std::string readName(Cursor& c, const Format& f, std::uint16_t codePage, const char* what) {
    const std::uint8_t* len = c.take(f.nameLengthSize, what);
    const std::size_t n = f.nameLengthSize == 1 ? len[0] : bytes::le16(len);
    const std::uint8_t* p = c.take(n, what);
    if (f.unicodeNames) return decodeJet4Text({p, n});
    return decodeCodePage({p, n}, codePage);
}

ColumnDef readColumn(const Format& f, const std::uint8_t* e) {
    ColumnDef col;
    col.type = static_cast<ColumnType>(e[0]);
    col.number = bytes::le16(e + f.columnNumber);
    col.varIndex = bytes::le16(e + f.columnVarIndex);
    col.flags = e[f.columnFlags];
    if (f.columnExtraFlags) col.extraFlags = e[f.columnExtraFlags];
    col.fixedOffset = bytes::le16(e + f.columnFixedOffset);
    col.length = bytes::le16(e + f.columnLength);
    if (col.type == ColumnType::Numeric) {
        col.precision = e[f.columnPrecision];
        col.scale = e[f.columnScale];
    }
    if (col.type == ColumnType::Text || col.type == ColumnType::Memo) {
        col.sortOrder = bytes::le16(e + f.columnSortOrder);
        if (f.columnCodePage) col.codePage = bytes::le16(e + f.columnCodePage);
    }
    return col;
}

void readPhysicalIndex(const Format& f, const std::uint8_t* e, PhysicalIndex& pi) {
    for (int k = 0; k < 10; ++k) {
        const std::uint8_t* pair = e + f.physicalIndexColumns + 3 * k;
        const std::uint16_t number = bytes::le16(pair);
        if (number == 0xFFFF) continue;
        pi.columns.push_back({number, (pair[2] & 0x01) != 0});
    }
    pi.usageMap = bytes::le32(e + f.physicalIndexUsageMap);
    pi.rootPage = bytes::le32(e + f.physicalIndexRootPage);
    pi.flags = e[f.physicalIndexFlags];
}

LogicalIndex readLogicalIndex(const Format& f, const std::uint8_t* e) {
    LogicalIndex li;
    li.number = static_cast<int>(bytes::le32(e + f.logicalIndexNumber));
    li.physicalIndex = static_cast<int>(bytes::le32(e + f.logicalIndexPhysical));
    li.relatedTableType = e[f.logicalIndexRelTableType];
    li.relatedIndex = static_cast<std::int32_t>(bytes::le32(e + f.logicalIndexRelIndex));
    li.relatedTablePage = bytes::le32(e + f.logicalIndexRelTablePage);
    li.cascadeUpdates = e[f.logicalIndexCascadeUpd];
    li.cascadeDeletes = e[f.logicalIndexCascadeDel];
    li.kind = e[f.logicalIndexType];
    return li;
}

}  // namespace

TdefChain loadTdefChain(const Pager& pager, const Format& format, std::uint32_t firstPage) {
    TdefChain chain;
    std::set<std::uint32_t> seen;
    std::uint32_t page = firstPage;
    while (true) {
        if (!seen.insert(page).second || seen.size() > kMaxTdefPages)
            throw corruptPage(pager, page, "the table definition pages form a loop");
        PageRef p = pager.page(page);
        const std::uint8_t* d = p->data();
        if (d[0] != kPageTdef) throw corruptPage(pager, page, "expected a table definition page");
        chain.pages.push_back(page);
        const std::size_t from = chain.bytes.empty() ? 0 : 8;
        chain.bytes.insert(chain.bytes.end(), d + from, d + format.pageSize);
        const std::uint32_t next = bytes::le32(d + format.tdefNextPage);
        if (next == 0) break;
        page = next;
    }
    return chain;
}

TableDef parseTableDef(std::span<const std::uint8_t> all, const Format& f, std::uint16_t codePage) {
    if (all.size() < f.tdefBlockEnd)
        throw Error(Error::Kind::Corrupt, "the table definition is shorter than its header");
    // The stated length bounds the definition; garbage may follow it.
    const std::uint32_t stated = bytes::le32(all.data() + f.tdefLength);
    if (stated >= f.tdefBlockEnd && stated < all.size()) all = all.first(stated);
    const std::uint8_t* d = all.data();

    TableDef t;
    t.rowCount = bytes::le32(d + f.tdefRowCount);
    t.autoNumber = bytes::le32(d + f.tdefAutoNumber);
    t.isSystem = d[f.tdefTableType] == 0x53;
    t.maxColumnNumber = bytes::le16(d + f.tdefMaxColumns);
    const std::uint16_t columnCount = bytes::le16(d + f.tdefColumnCount);
    const std::uint32_t logicalCount = bytes::le32(d + f.tdefLogicalIndexCount);
    const std::uint32_t physicalCount = bytes::le32(d + f.tdefPhysicalIndexCount);
    t.ownedPagesMap = bytes::le32(d + f.tdefOwnedPagesMap);
    t.freeSpaceMap = bytes::le32(d + f.tdefFreeSpaceMap);
    if (columnCount > 4096 || logicalCount > 1024 || physicalCount > 1024 ||
        physicalCount > logicalCount + 64)
        throw Error(Error::Kind::Corrupt, "the table definition has impossible counts (" +
                                              std::to_string(columnCount) + " columns, " +
                                              std::to_string(logicalCount) + " indexes)");

    Cursor c(all);
    c.take(f.tdefBlockEnd, "header");
    for (std::uint32_t i = 0; i < physicalCount; ++i) {
        const std::uint8_t* e = c.take(f.indexRowCountEntrySize, "index row counts");
        PhysicalIndex pi;
        pi.number = static_cast<int>(i);
        pi.rowCount = bytes::le32(e + f.indexRowCountOffset);
        t.physicalIndexes.push_back(pi);
    }

    t.columns.resize(columnCount);
    for (auto& col : t.columns)
        col = readColumn(f, c.take(f.columnEntrySize, "column descriptors"));
    for (auto& col : t.columns) col.name = readName(c, f, codePage, "column names");

    for (auto& pi : t.physicalIndexes)
        readPhysicalIndex(f, c.take(f.physicalIndexEntrySize, "index definitions"), pi);

    for (std::uint32_t i = 0; i < logicalCount; ++i) {
        const LogicalIndex li =
            readLogicalIndex(f, c.take(f.logicalIndexEntrySize, "logical index definitions"));
        if (li.physicalIndex < 0 || static_cast<std::uint32_t>(li.physicalIndex) >= physicalCount)
            throw Error(Error::Kind::Corrupt,
                        "index " + std::to_string(i) + " refers to a missing physical index");
        t.indexes.push_back(li);
    }
    for (auto& li : t.indexes) li.name = readName(c, f, codePage, "index names");

    while (c.remaining() >= 2) {
        const std::uint16_t number = bytes::le16(c.take(2, "long-value maps"));
        if (number == 0xFFFF || c.remaining() < 8) break;
        const std::uint8_t* e = c.take(8, "long-value maps");
        t.longValueMaps.push_back({number, bytes::le32(e), bytes::le32(e + 4)});
    }

    std::stable_sort(t.columns.begin(), t.columns.end(),
                     [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
    for (std::size_t i = 1; i < t.columns.size(); ++i)
        if (t.columns[i].number == t.columns[i - 1].number)
            throw Error(Error::Kind::Corrupt,
                        "two columns share number " + std::to_string(t.columns[i].number));
    return t;
}

TableDef readTableDef(const Pager& pager, const Format& format, std::uint32_t firstPage,
                      std::uint16_t codePage) {
    TdefChain chain = loadTdefChain(pager, format, firstPage);
    try {
        TableDef t = parseTableDef(chain.bytes, format, codePage);
        t.tdefPage = firstPage;
        return t;
    } catch (const Error& e) {
        if (e.kind() != Error::Kind::Corrupt) throw;
        throw corruptPage(pager, firstPage, e.detail());
    }
}

}  // namespace jet
