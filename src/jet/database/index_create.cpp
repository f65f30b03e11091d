// Database::createIndex: a new index on an empty or a filled table.
//
// Everything that can refuse the index (names, columns, limits, Nulls in a
// primary key, duplicate keys under a unique index) is settled before the
// first page changes, so a refused index leaves the table as it was. Then:
// a root page and a usage-map row for the index, the B-tree built from the
// table's rows in key order, and the table definition rewritten with the new
// physical and logical index.

#include <algorithm>
#include <cstring>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "jet/database/empty_database.h"
#include "jet/database/index_maintenance.h"
#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/file/datapage.h"
#include "jet/file/usagemap.h"
#include "jet/index/btree.h"
#include "jet/index/indexpage.h"
#include "jet/table/row_reader.h"
#include "jet/table/tdef_builder.h"
#include "jet/table/tdef_reader.h"
#include "jet/values/text.h"

namespace jet {
namespace {

constexpr std::size_t kMaxIndexColumns = 10;
constexpr std::uint8_t kUnique = 0x01;
constexpr std::uint8_t kIgnoreNulls = 0x02;
constexpr std::uint8_t kRequired = 0x08;

struct Entry {
    std::vector<std::uint8_t> key;
    std::uint32_t row;
    bool anyNull;
};

// Room for one usage-map row: on the page that holds the table's own maps
// when it has space, else on a new page.
std::uint32_t mapRowPage(Database::Impl& impl, PageAllocator& allocator, const TableDef& def,
                         std::size_t size) {
    const Format& f = *impl.format;
    const std::uint32_t page = bytes::pointerPage(def.ownedPagesMap);
    if (page > 0 && page < impl.pager->pageCount()) {
        PageRef p = impl.pager->page(page);
        if ((*p)[0] == kPageData && bytes::le32(p->data() + f.dataOwner) == 0 &&
            datapage::rowCount(*p, f) < datapage::maxRows &&
            datapage::roomForRow(*p, f) >= size + 2)
            return page;
    }
    const std::uint32_t fresh = allocator.allocate();
    datapage::init({impl.pager->modify(fresh), f.pageSize}, f, 0);
    return fresh;
}

// Throws what createIndex refuses; createIndex names the index, its table and the file.
struct Refusal {
    [[noreturn]] void operator()(Error::Kind kind, const std::string& why) const {
        throw Error(kind, "cannot create the index: " + why);
    }
    [[noreturn]] void operator()(Error::Kind kind, const std::string& column,
                                 const std::string& why) const {
        throw Error(kind, "cannot create the index: " + why).addColumn(column);
    }
};

// The name and the table's limits.
void checkIndexSpec(const Format& f, const TableDef& def, const IndexSpec& spec,
                    const Refusal& refuse) {
    if (spec.name.empty()) refuse(Error::Kind::Invalid, "an index needs a name");
    if (utf16Length(spec.name) > f.maxNameLength)
        refuse(Error::Kind::Invalid,
               "an index name may have at most " + std::to_string(f.maxNameLength) + " characters");
    std::vector<std::uint8_t> encodedName;
    if (!encodeName(f, spec.name, encodedName))
        refuse(Error::Kind::Invalid, "the name cannot be stored in this format");
    for (const LogicalIndex& l : def.indexes)
        if (namesEqual(l.name, spec.name))
            refuse(Error::Kind::Invalid, "the table already has an index of that name");
    if (def.indexes.size() >= f.maxIndexes)
        refuse(Error::Kind::Invalid,
               "a table may have at most " + std::to_string(f.maxIndexes) + " indexes");
    if (spec.columns.empty() || spec.columns.size() > kMaxIndexColumns)
        refuse(Error::Kind::Invalid, "an index has 1 to " + std::to_string(kMaxIndexColumns) +
                                         " columns, not " + std::to_string(spec.columns.size()));
    if (spec.primaryKey && std::any_of(def.indexes.begin(), def.indexes.end(),
                                       [](const LogicalIndex& l) { return l.isPrimaryKey(); }))
        refuse(Error::Kind::Invalid, "the table already has a primary key");
}

// The physical index that an index statement asks for: its columns and flags.
PhysicalIndex physicalIndexFor(const Format& f, const TableDef& def, const IndexSpec& spec,
                               const Refusal& refuse) {
    PhysicalIndex index;
    index.number = static_cast<int>(def.physicalIndexes.size());
    for (const auto& [columnName, ascending] : spec.columns) {
        const ColumnDef* column = def.findColumn(columnName);
        if (!column) refuse(Error::Kind::Invalid, columnName, "the table has no such column");
        if (!isIndexable(column->type, f.version))
            refuse(Error::Kind::Invalid, column->name,
                   column->type == ColumnType::Memo
                       ? "Memo columns cannot be indexed in an Access 95/97 database"
                       : "OLE Object columns cannot be indexed");
        // Access keys a memo by its first 255 characters only; it does not
        // let one identify a row.
        if (spec.primaryKey && column->type == ColumnType::Memo)
            refuse(Error::Kind::Invalid, column->name,
                   "a primary key cannot include a Memo column");
        for (const IndexColumn& c : index.columns)
            if (c.columnNumber == column->number)
                refuse(Error::Kind::Invalid, column->name, "the column is named twice");
        if ((column->type == ColumnType::Text || column->type == ColumnType::Memo) &&
            !isSupportedTextSortOrder(f.version, column->sortOrder))
            refuse(Error::Kind::Unsupported, column->name,
                   "the column uses a text sort order other than General");
        index.columns.push_back({column->number, ascending});
    }
    const bool unique = spec.unique || spec.primaryKey;
    const bool required = spec.required || spec.primaryKey;
    index.flags =
        static_cast<std::uint8_t>((unique ? kUnique : 0) | (spec.ignoreNulls ? kIgnoreNulls : 0) |
                                  (required ? kRequired : 0) | f.physicalIndexAlways);
    return index;
}

// The entries of the rows as they stand, sorted; counts the distinct keys
// into the definition's last physical index.
std::vector<Entry> collectEntries(Database::Impl& impl, TableDef& def, const IndexSpec& spec,
                                  const Refusal& refuse) {
    const Format& f = *impl.format;
    const PhysicalIndex& index = def.physicalIndexes.back();
    const bool unique = (index.flags & kUnique) != 0;
    const bool required = (index.flags & kRequired) != 0;
    const IndexLayout layout = indexLayout(def, index);
    const std::size_t maxKey = f.indexCapacity() / 4;
    std::vector<Entry> entries;
    {
        TableScanner scanner(*impl.pager, f, def, impl.codePage());
        Row row;
        while (scanner.next(row)) {
            RowKey k = rowKey(f.version, index, layout, row);
            if (k.anyNull && required)
                refuse(Error::Kind::Constraint,
                       "a row has no value in one of its columns, which " +
                           std::string(spec.primaryKey ? "a primary key" : "a required index") +
                           " needs");
            if (k.skip) continue;
            if (k.key.size() > maxKey)
                refuse(Error::Kind::Unsupported, "a row's key is too long for an index page");
            entries.push_back(
                {std::move(k.key),
                 bytes::rowPointer(scanner.page(), static_cast<std::uint8_t>(scanner.rowIndex())),
                 k.anyNull});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return compareEntries(a.key, a.row, b.key, b.row) < 0;
    });
    std::uint32_t distinct = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const bool same = i > 0 && entries[i].key == entries[i - 1].key;
        if (!same) ++distinct;
        if (same && unique && !entries[i].anyNull)
            refuse(Error::Kind::Constraint,
                   "the table holds rows with the same value in the "
                   "indexed columns, which a unique index forbids");
    }
    def.physicalIndexes.back().rowCount = distinct;
    return entries;
}

// The root page, its usage map and the tree of entries.
void writeTree(Database::Impl& impl, PageAllocator& allocator, TableDef& def,
               const std::vector<Entry>& entries) {
    const Format& f = *impl.format;
    const std::uint32_t root = allocator.allocate();
    const std::vector<std::uint32_t> rootOnly{root};
    const std::vector<std::uint8_t> mapRow = inlineMapRow(f, root, rootOnly);
    const std::uint32_t mapPage = mapRowPage(impl, allocator, def, mapRow.size());
    const std::uint8_t mapRowNumber =
        datapage::addRow({impl.pager->modify(mapPage), f.pageSize}, f, mapRow);
    def.physicalIndexes.back().usageMap = bytes::rowPointer(mapPage, mapRowNumber);
    def.physicalIndexes.back().rootPage = root;

    PagerIndexStore store(*impl.pager, f, def.physicalIndexes.back().usageMap);
    IndexTree::writeEmptyRoot(f, store, root, def.tdefPage);
    IndexTree tree(f, store, root, def.tdefPage);
    for (const Entry& e : entries) tree.insert(e.key, e.row);
    tree.flush();
}

}  // namespace

void Database::createIndex(std::string_view tableName, const IndexSpec& spec) try {
    Impl& impl = *impl_;
    Impl::WriteScope scope(impl);
    const Format& f = *impl.format;
    // Index pages still in memory reach the pager: the rows are read below
    // and the definition is rewritten.
    flushIndexes(impl);

    TableDef def = *impl.tableDef(tableName);
    const Refusal refuse;
    checkIndexSpec(f, def, spec, refuse);
    const PhysicalIndex index = physicalIndexFor(f, def, spec, refuse);

    LogicalIndex logical;
    logical.name = spec.name;
    logical.physicalIndex = index.number;
    logical.kind = spec.primaryKey ? 1 : 0;
    for (const LogicalIndex& l : def.indexes)
        logical.number = std::max(logical.number, l.number + 1);
    def.physicalIndexes.push_back(index);
    def.indexes.push_back(logical);
    const std::vector<Entry> entries = collectEntries(impl, def, spec, refuse);

    // Nothing was refused: now the pages.
    PageAllocator allocator(*impl.pager, f, def.name);
    writeTree(impl, allocator, def, entries);
    rewriteTableDefinition(impl, allocator, def);

    discardTableIndexes(impl, def.tdefPage);
    impl.invalidateTable(def.tdefPage);
    scope.commit();
} catch (Error& e) {
    impl_->addContext(e, tableName);
    e.addIndex(spec.name);
    throw;
}

}  // namespace jet
