#include "jet/database/empty_database.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/file/datapage.h"
#include "jet/file/header.h"
#include "jet/file/usagemap.h"
#include "jet/index/indexkey.h"
#include "jet/index/indexpage.h"
#include "jet/table/row_builder.h"
#include "jet/table/table_layout.h"
#include "jet/table/tdef_builder.h"
#include "jet/values/convert.h"

namespace jet {

namespace {

struct ColumnFact {
    const char* name;
    ColumnType type;
    std::uint8_t flags;  // 0x13 fixed, 0x12 variable, 0x32 for the account columns
};

struct IndexFact {
    const char* name;  // logical name
    int number;        // logical index number
    int physical;
    std::uint8_t kind;
};

struct PhysicalFact {
    std::vector<std::uint16_t> columns;
    std::uint8_t flags;  // Jet 3; Jet 4 adds 0x80
};

struct TableFact {
    const char* name;
    std::vector<ColumnFact> columns;  // in column-number order
    std::vector<PhysicalFact> physical;
    std::vector<IndexFact> logical;  // sorted by name, as Jet writes them
};

std::vector<TableFact> tableFacts(const Format& f) {
    using T = ColumnType;
    std::vector<TableFact> t;
    t.push_back({"MSysObjects",
                 {{"Id", T::Long, 0x13},
                  {"ParentId", T::Long, 0x13},
                  {"Name", T::Text, 0x12},
                  {"Type", T::Integer, 0x13},
                  {"DateCreate", T::DateTime, 0x13},
                  {"DateUpdate", T::DateTime, 0x13},
                  {"Owner", T::Binary, 0x32},
                  {"Flags", T::Long, 0x13},
                  {"Database", T::Memo, 0x12},
                  {"Connect", T::Memo, 0x12},
                  {"ForeignName", T::Text, 0x12},
                  {"RmtInfoShort", T::Binary, 0x12},
                  {"RmtInfoLong", T::Ole, 0x12},
                  {"Lv", T::Ole, 0x12},
                  {"LvProp", T::Ole, 0x12},
                  {"LvModule", T::Ole, 0x12},
                  {"LvExtra", T::Ole, 0x12}},
                 {{{1, 2}, 0x01}, {{0}, 0x01}},
                 {{"Id", 1, 1, 1}, {"ParentIdName", 0, 0, 0}}});
    t.push_back({"MSysACEs",
                 {{"ObjectId", T::Long, 0x13},
                  {"SID", T::Binary, 0x32},
                  {"ACM", T::Long, 0x13},
                  {"FInheritable", T::Boolean, 0x13}},
                 {{{0}, 0x08}},
                 {{"ObjectId", 0, 0, 0}}});
    TableFact queries{"MSysQueries",
                      {{"ObjectId", T::Long, 0x13},
                       {"Attribute", T::Byte, 0x13},
                       {"Order", T::Binary, 0x12},
                       {"Name1", T::Text, 0x12},
                       {"Name2", T::Text, 0x12},
                       {"Expression", T::Memo, 0x12},
                       {"Flag", T::Integer, 0x13}},
                      {{{0, 1, 2}, 0x01}},
                      {{"ObjectIdAttribute", 0, 0, 1}}};
    if (f.queriesLvExtra) queries.columns.push_back({"LvExtra", T::Long, 0x13});
    t.push_back(queries);
    t.push_back(
        {"MSysRelationships",
         {{"szRelationship", T::Text, 0x12},
          {"grbit", T::Long, 0x13},
          {"ccolumn", T::Long, 0x13},
          {"icolumn", T::Long, 0x13},
          {"szObject", T::Text, 0x12},
          {"szColumn", T::Text, 0x12},
          {"szReferencedObject", T::Text, 0x12},
          {"szReferencedColumn", T::Text, 0x12}},
         {{{0}, 0x02}, {{4}, 0x02}, {{6}, 0x02}},
         {{"szObject", 1, 1, 0}, {"szReferencedObject", 2, 2, 0}, {"szRelationship", 0, 0, 0}}});
    return t;
}

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Access accounts in MSysACEs: 0 the database owner, 1 the users group,
// 2 the admins group.
const Bytes& aceAccount(const Format& f, int which) {
    if (which == 0) return f.aceOwner;
    return which == 1 ? f.aceUsers : f.aceAdmins;
}

}  // namespace

Bytes defaultOwnerSid(Version version) { return Format::of(version).databaseOwner; }

std::vector<Bytes> defaultTableAceSids(Version version) {
    const Format& f = Format::of(version);
    return {f.aceUsers, f.aceOwner, f.aceAdmins};
}

std::vector<TableDef> systemTableDefs(Version v) {
    const Format& f = Format::of(v);
    std::vector<TableDef> out;
    std::uint32_t tdefPage = 2;
    for (const TableFact& fact : tableFacts(f)) {
        TableLayoutBuilder layout(f);
        for (const ColumnFact& cf : fact.columns) {
            ColumnDef c;
            c.name = cf.name;
            c.type = cf.type;
            c.flags = cf.flags;
            // Every variable system column declares 255 units, binary ones too.
            if (!isLongValue(cf.type)) c.length = static_cast<std::uint16_t>(255 * f.textUnitSize);
            layout.add(std::move(c));
        }
        TableDef& t = layout.table();
        t.name = fact.name;
        t.tdefPage = tdefPage++;
        t.isSystem = true;
        for (const PhysicalFact& pf : fact.physical) {
            PhysicalIndex p;
            p.number = static_cast<int>(t.physicalIndexes.size());
            for (auto n : pf.columns) p.columns.push_back({n, true});
            p.flags = static_cast<std::uint8_t>(pf.flags | f.physicalIndexAlways);
            t.physicalIndexes.push_back(p);
        }
        for (const IndexFact& lf : fact.logical) {
            LogicalIndex l;
            l.name = lf.name;
            l.number = lf.number;
            l.physicalIndex = lf.physical;
            l.kind = lf.kind;
            // Jet sets these two bytes on its own system indexes.
            l.cascadeUpdates = 0x04;
            l.cascadeDeletes = 0x04;
            t.indexes.push_back(l);
        }
        out.push_back(std::move(t));
    }
    return out;
}

namespace {

// The image under construction, addressed by page number.
class Image {
public:
    Image(const Format& f, std::uint32_t pages)
        : f_(f), bytes_(static_cast<std::size_t>(pages) * f.pageSize, 0) {}
    std::span<std::uint8_t> page(std::uint32_t n) {
        return {bytes_.data() + static_cast<std::size_t>(n) * f_.pageSize, f_.pageSize};
    }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    const Format& f_;
    std::vector<std::uint8_t> bytes_;
};

// Where every page goes (the layout in empty_database.h), and what each
// usage-map row will list once the pages are known.
struct PagePlan {
    static constexpr std::uint32_t firstMapPage = 6;
    std::size_t mapsPerPage = 0;
    std::uint32_t mapPages = 0;
    std::uint32_t objectsPage = 0;
    std::uint32_t acesPage = 0;
    std::uint32_t pageCount = 0;
    std::vector<std::vector<std::uint32_t>> mapContents;

    std::size_t mapSlot(std::uint32_t pointer) const {
        return (bytes::pointerPage(pointer) - firstMapPage) * mapsPerPage +
               bytes::pointerRow(pointer);
    }
};

// Places the index roots, the two row pages and the usage-map rows, and
// points every table at its maps.
PagePlan planPages(const Format& f, std::vector<TableDef>& tables) {
    PagePlan plan;
    plan.mapsPerPage = (f.pageSize - f.dataRowTable) / (5 + f.inlineMapBytes + 2);
    std::size_t mapCount = 0;
    for (const TableDef& t : tables) {
        std::size_t lv = 0;
        for (const ColumnDef& c : t.columns) lv += isLongValue(c.type) ? 1 : 0;
        mapCount += 2 + 2 * lv + t.physicalIndexes.size();
    }
    plan.mapPages =
        static_cast<std::uint32_t>((mapCount + plan.mapsPerPage - 1) / plan.mapsPerPage);
    std::uint32_t next = PagePlan::firstMapPage + plan.mapPages;
    for (TableDef& t : tables)
        for (PhysicalIndex& p : t.physicalIndexes) p.rootPage = next++;
    plan.objectsPage = next++;
    plan.acesPage = next++;
    plan.pageCount = next;

    plan.mapContents.resize(mapCount);
    std::uint32_t mapIndex = 0;
    auto nextMap = [&] {
        const auto perPage = static_cast<std::uint32_t>(plan.mapsPerPage);
        std::uint32_t ptr = bytes::rowPointer(PagePlan::firstMapPage + mapIndex / perPage,
                                              static_cast<std::uint8_t>(mapIndex % perPage));
        ++mapIndex;
        return ptr;
    };
    for (TableDef& t : tables) {
        t.ownedPagesMap = nextMap();
        t.freeSpaceMap = nextMap();
        for (const ColumnDef& c : t.columns) {
            if (!isLongValue(c.type)) continue;
            LongValueMaps m;
            m.columnNumber = c.number;
            m.ownedPages = nextMap();
            m.freeSpacePages = nextMap();
            t.longValueMaps.push_back(m);
        }
        for (PhysicalIndex& p : t.physicalIndexes) {
            p.usageMap = nextMap();
            plan.mapContents[mapIndex - 1] = {p.rootPage};
        }
        // The definition lists long-value maps by column name.
        std::sort(t.longValueMaps.begin(), t.longValueMaps.end(),
                  [&](const LongValueMaps& a, const LongValueMaps& b) {
                      return lower(t.columns[a.columnNumber].name) <
                             lower(t.columns[b.columnNumber].name);
                  });
    }
    // MSysObjects and MSysACEs own their row pages.
    auto owns = [&](const TableDef& t, std::uint32_t page) {
        plan.mapContents[plan.mapSlot(t.ownedPagesMap)] = {page};
        plan.mapContents[plan.mapSlot(t.freeSpaceMap)] = {page};
    };
    owns(tables[0], plan.objectsPage);
    owns(tables[1], plan.acesPage);
    return plan;
}

// Rows of one system table on one page; returns their row pointers.
std::vector<std::uint32_t> writeRows(const Format& f, TableDef& t, std::span<std::uint8_t> page,
                                     std::uint32_t pageNumber, const std::vector<Row>& rows) {
    const ConvertContext ctx{f.version, t.name, 1252};
    datapage::init(page, f, t.tdefPage);
    const RowLayout layout = RowLayout::of(t);
    std::vector<std::uint32_t> pointers;
    for (const Row& values : rows) {
        Row stored;
        convertRow(values, t, ctx, stored);
        std::vector<std::uint8_t> bytesOut;
        buildRow(f, layout, stored, bytesOut);
        pointers.push_back(bytes::rowPointer(pageNumber, datapage::addRow(page, f, bytesOut)));
    }
    t.rowCount = static_cast<std::uint32_t>(rows.size());
    return pointers;
}

// The catalog: three containers, the database document, the system tables.
std::vector<Row> objectRows(const Format& f, const std::vector<TableDef>& tables) {
    namespace ids = catalogids;
    const DateTime created{kCreationDate};
    const auto sysFlags = static_cast<std::int64_t>(static_cast<std::int32_t>(ids::systemFlags));
    auto row = [&](std::int32_t id, std::int32_t parent, const std::string& name, std::int16_t type,
                   const Bytes& owner) {
        Row r(tables[0].columns.size());
        r[0] = std::int64_t{id};
        r[1] = std::int64_t{parent};
        r[2] = name;
        r[3] = std::int64_t{type};
        r[4] = created;
        r[5] = created;
        r[6] = owner;
        r[7] = sysFlags;
        return r;
    };
    std::vector<Row> rows = {
        row(ids::tables, ids::root, "Tables", ids::typeContainer, f.objectOwner),
        row(ids::databases, ids::root, "Databases", ids::typeContainer, f.objectOwner),
        row(ids::relationships, ids::root, "Relationships", ids::typeContainer, f.objectOwner),
        row(ids::msysDb, ids::databases, "MSysDb", ids::typeDatabase, f.databaseOwner),
    };
    for (const TableDef& t : tables)
        rows.push_back(row(static_cast<std::int32_t>(t.tdefPage), ids::tables, t.name,
                           ids::typeTable, f.objectOwner));
    return rows;
}

// Access entries as Jet writes them for a new database.
std::vector<Row> aceRows(const Format& f) {
    namespace ids = catalogids;
    struct Ace {
        std::int32_t object;
        int account;
        std::int32_t mask;
        bool inheritable;
    };
    const Ace aces[] = {
        {2, 0, 393216, false},
        {3, 0, 393216, false},
        {4, 0, 393216, false},
        {5, 0, 917504, false},
        {ids::tables, 1, 983294, true},
        {ids::tables, 0, f.tablesOwnerRights, f.tablesOwnerInherits},
        {ids::relationships, 1, 983294, true},
        {ids::relationships, 0, 393217, false},
        {ids::databases, 0, 393216, false},
        {ids::msysDb, 0, 393230, false},
        {ids::msysDb, 2, 14, false},
        {4, 2, 20, false},
        {5, 2, 20, false},
        {2, 2, 20, false},
        {ids::tables, 2, 1048319, true},
        {ids::relationships, 2, 1048575, true},
    };
    std::vector<Row> rows;
    for (const Ace& a : aces)
        rows.push_back({std::int64_t{a.object}, aceAccount(f, a.account), std::int64_t{a.mask},
                        a.inheritable});
    return rows;
}

using Entries = std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>>;

// One index root as a single leaf; the definition counts its distinct keys.
void writeLeaf(const Format& f, Image& image, const TableDef& t, PhysicalIndex& p,
               Entries entries) {
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return compareEntries(a.first, a.second, b.first, b.second) < 0;
    });
    IndexPage leaf;
    leaf.leaf = true;
    leaf.tdefPage = t.tdefPage;
    p.rowCount = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i == 0 || entries[i].first != entries[i - 1].first) ++p.rowCount;
        leaf.insert(leaf.size(), makeIndexEntry(entries[i].first, entries[i].second));
    }
    writeIndexPage(f, leaf, image.page(p.rootPage));
}

// Index roots: the entries of the catalog rows, empty leaves elsewhere.
void writeIndexes(const Format& f, Image& image, std::vector<TableDef>& tables,
                  const std::vector<Row>& objects, std::span<const std::uint32_t> objectRows,
                  const std::vector<Row>& aces, std::span<const std::uint32_t> aceRows) {
    const KeyColumn longKey{ColumnType::Long, true, 0, 0x0409};
    const KeyColumn textKey{ColumnType::Text, true, 0, 0x0409};
    Entries byName, byId, byObject;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        byName.emplace_back(
            encodeKey(f.version, {longKey, textKey}, {&objects[i][1], &objects[i][2]}),
            objectRows[i]);
        byId.emplace_back(encodeKey(f.version, {longKey}, {&objects[i][0]}), objectRows[i]);
    }
    for (std::size_t i = 0; i < aces.size(); ++i)
        byObject.emplace_back(encodeKey(f.version, {longKey}, {&aces[i][0]}), aceRows[i]);
    writeLeaf(f, image, tables[0], tables[0].physicalIndexes[0], byName);
    writeLeaf(f, image, tables[0], tables[0].physicalIndexes[1], byId);
    writeLeaf(f, image, tables[1], tables[1].physicalIndexes[0], byObject);
    for (std::size_t t = 2; t < tables.size(); ++t)
        for (PhysicalIndex& p : tables[t].physicalIndexes) writeLeaf(f, image, tables[t], p, {});
}

// The usage-map rows, and the free-page map: nothing inside the file is
// free, everything after it is.
void writeMaps(const Format& f, Image& image, const PagePlan& plan) {
    for (std::uint32_t m = 0; m < plan.mapPages; ++m)
        datapage::init(image.page(PagePlan::firstMapPage + m), f, 0);
    for (std::size_t i = 0; i < plan.mapContents.size(); ++i) {
        const auto page = static_cast<std::uint32_t>(i / plan.mapsPerPage);
        datapage::addRow(image.page(PagePlan::firstMapPage + page), f,
                         inlineMapRow(f, 0, plan.mapContents[i]));
    }
    datapage::init(image.page(1), f, 1);
    std::vector<std::uint32_t> free;
    for (std::uint32_t n = plan.pageCount; n < f.inlineMapBytes * 8; ++n) free.push_back(n);
    datapage::addRow(image.page(1), f, inlineMapRow(f, 0, free));
    datapage::addRow(image.page(1), f, inlineMapRow(f, 0, {}));
}

// Definitions; Jet 4 lists the system tables' columns by name.
void writeDefinitions(const Format& f, Image& image, const std::vector<TableDef>& tables) {
    for (const TableDef& t : tables) {
        TableDef ordered = t;
        if (f.systemColumnsByName) {
            std::stable_sort(ordered.columns.begin(), ordered.columns.end(),
                             [](const ColumnDef& a, const ColumnDef& b) {
                                 return lower(a.name) < lower(b.name);
                             });
        }
        auto def = buildTableDefinition(f, ordered);
        std::uint32_t pages[] = {t.tdefPage};
        auto images = splitTableDefinition(f, def, pages);
        std::copy(images[0].begin(), images[0].end(), image.page(t.tdefPage).begin());
    }
}

}  // namespace

std::vector<std::uint8_t> buildEmptyDatabase(Version v) {
    const Format& f = Format::of(v);
    std::vector<TableDef> tables = systemTableDefs(v);
    const PagePlan plan = planPages(f, tables);
    Image image(f, plan.pageCount);

    const std::vector<Row> objects = objectRows(f, tables);
    const std::vector<Row> aces = aceRows(f);
    const auto objectPointers =
        writeRows(f, tables[0], image.page(plan.objectsPage), plan.objectsPage, objects);
    const auto acePointers =
        writeRows(f, tables[1], image.page(plan.acesPage), plan.acesPage, aces);
    writeIndexes(f, image, tables, objects, objectPointers, aces, acePointers);
    writeMaps(f, image, plan);
    writeDefinitions(f, image, tables);
    writeHeader(image.page(0), f, kCreationDate);
    return image.take();
}

}  // namespace jet
