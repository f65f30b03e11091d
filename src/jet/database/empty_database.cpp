#include "jet/database/empty_database.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/file/datapage_builder.h"
#include "jet/file/header.h"
#include "jet/file/usagemap.h"
#include "jet/index/indexkey.h"
#include "jet/index/indexpage.h"
#include "jet/table/row_builder.h"
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

struct Placed {
    std::uint32_t page = 0;
    std::vector<std::uint32_t> rows;  // row pointers, in insertion order
};

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
        TableDef t;
        t.name = fact.name;
        t.tdefPage = tdefPage++;
        t.isSystem = true;
        std::uint16_t fixedAt = 0, varSlot = 0;
        for (const ColumnFact& cf : fact.columns) {
            ColumnDef c;
            c.name = cf.name;
            c.type = cf.type;
            c.number = static_cast<std::uint16_t>(t.columns.size());
            c.flags = cf.flags;
            c.sortOrder = 0x0409;
            c.codePage = f.textCodePage;
            c.varIndex = varSlot;
            if (isVariableLength(cf.type)) {
                ++varSlot;
                c.length =
                    isLongValue(cf.type) ? 0 : static_cast<std::uint16_t>(255 * f.textUnitSize);
            } else {
                c.length = declaredFixedLength(cf.type);
                c.fixedOffset = cf.type == ColumnType::Boolean ? 0 : fixedAt;
                if (cf.type != ColumnType::Boolean)
                    fixedAt = static_cast<std::uint16_t>(fixedAt + c.length);
            }
            t.columns.push_back(c);
        }
        t.maxColumnNumber = static_cast<std::uint16_t>(t.columns.size());
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

std::vector<std::uint8_t> buildEmptyDatabase(Version v) {
    const Format& f = Format::of(v);
    std::vector<TableDef> tables = systemTableDefs(v);
    namespace ids = catalogids;
    TableDef& objects = tables[0];
    TableDef& aces = tables[1];

    // Page plan.
    const std::size_t mapRowSize = 5 + f.inlineMapBytes;
    const std::size_t mapsPerPage = (f.pageSize - f.dataRowTable) / (mapRowSize + 2);
    std::size_t mapCount = 0;
    for (const TableDef& t : tables) {
        std::size_t lv = 0;
        for (const ColumnDef& c : t.columns) lv += isLongValue(c.type) ? 1 : 0;
        mapCount += 2 + 2 * lv + t.physicalIndexes.size();
    }
    const std::uint32_t firstMapPage = 6;
    const auto mapPages = static_cast<std::uint32_t>((mapCount + mapsPerPage - 1) / mapsPerPage);
    std::uint32_t next = firstMapPage + mapPages;
    for (TableDef& t : tables) {
        for (PhysicalIndex& p : t.physicalIndexes) p.rootPage = next++;
    }
    const std::uint32_t objectsPage = next++;
    const std::uint32_t acesPage = next++;
    const std::uint32_t pageCount = next;

    std::vector<std::uint8_t> image(static_cast<std::size_t>(pageCount) * f.pageSize, 0);
    auto page = [&](std::uint32_t n) {
        return std::span<std::uint8_t>(image.data() + static_cast<std::size_t>(n) * f.pageSize,
                                       f.pageSize);
    };

    // Usage-map rows: pointers first, contents once every page is known.
    std::uint32_t mapIndex = 0;
    auto nextMap = [&] {
        std::uint32_t ptr =
            bytes::rowPointer(firstMapPage + mapIndex / static_cast<std::uint32_t>(mapsPerPage),
                              static_cast<std::uint8_t>(mapIndex % mapsPerPage));
        ++mapIndex;
        return ptr;
    };
    std::vector<std::vector<std::uint32_t>> mapContents(mapCount);
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
            mapContents[mapIndex - 1] = {p.rootPage};
        }
        // The definition lists long-value maps by column name.
        std::sort(t.longValueMaps.begin(), t.longValueMaps.end(),
                  [&](const LongValueMaps& a, const LongValueMaps& b) {
                      return lower(t.columns[a.columnNumber].name) <
                             lower(t.columns[b.columnNumber].name);
                  });
    }
    auto mapSlot = [&](std::uint32_t ptr) {
        return (bytes::pointerPage(ptr) - firstMapPage) * mapsPerPage + bytes::pointerRow(ptr);
    };
    mapContents[mapSlot(objects.ownedPagesMap)] = {objectsPage};
    mapContents[mapSlot(objects.freeSpaceMap)] = {objectsPage};
    mapContents[mapSlot(aces.ownedPagesMap)] = {acesPage};
    mapContents[mapSlot(aces.freeSpaceMap)] = {acesPage};

    // Catalog rows.
    const DateTime created{kCreationDate};
    const auto sysFlags = static_cast<std::int64_t>(static_cast<std::int32_t>(ids::systemFlags));
    struct Object {
        std::int32_t id, parent;
        const char* name;
        std::int16_t type;
        Bytes owner;
    };
    std::vector<Object> rows = {
        {ids::tables, ids::root, "Tables", ids::typeContainer, f.objectOwner},
        {ids::databases, ids::root, "Databases", ids::typeContainer, f.objectOwner},
        {ids::relationships, ids::root, "Relationships", ids::typeContainer, f.objectOwner},
        {ids::msysDb, ids::databases, "MSysDb", ids::typeDatabase, f.databaseOwner},
    };
    for (const TableDef& t : tables)
        rows.push_back({static_cast<std::int32_t>(t.tdefPage), ids::tables, t.name.c_str(),
                        ids::typeTable, f.objectOwner});

    ConvertContext ctx{v, "MSysObjects", 1252};
    datapage::init(page(objectsPage), f, objects.tdefPage);
    RowLayout objectLayout = RowLayout::of(objects);
    std::vector<std::uint32_t> objectPointers;
    for (const Object& o : rows) {
        Row values(objects.columns.size());
        values[0] = std::int64_t{o.id};
        values[1] = std::int64_t{o.parent};
        values[2] = std::string(o.name);
        values[3] = std::int64_t{o.type};
        values[4] = created;
        values[5] = created;
        values[6] = o.owner;
        values[7] = sysFlags;
        Row stored;
        convertRow(values, objects, ctx, stored);
        std::vector<std::uint8_t> bytesOut;
        buildRow(f, objectLayout, stored, bytesOut);
        std::uint8_t row = datapage::addRow(page(objectsPage), f, bytesOut);
        objectPointers.push_back(bytes::rowPointer(objectsPage, row));
    }
    objects.rowCount = static_cast<std::uint32_t>(rows.size());

    struct Ace {
        std::int32_t object;
        int account;
        std::int32_t mask;
        bool inheritable;
    };
    // Access entries as Jet writes them for a new database.
    const std::vector<Ace> aceRows = {
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
    ctx.table = "MSysACEs";
    datapage::init(page(acesPage), f, aces.tdefPage);
    RowLayout aceLayout = RowLayout::of(aces);
    std::vector<std::uint32_t> acePointers;
    for (const Ace& a : aceRows) {
        Row values = {std::int64_t{a.object}, aceAccount(f, a.account), std::int64_t{a.mask},
                      a.inheritable};
        Row stored;
        convertRow(values, aces, ctx, stored);
        std::vector<std::uint8_t> bytesOut;
        buildRow(f, aceLayout, stored, bytesOut);
        std::uint8_t row = datapage::addRow(page(acesPage), f, bytesOut);
        acePointers.push_back(bytes::rowPointer(acesPage, row));
    }
    aces.rowCount = static_cast<std::uint32_t>(aceRows.size());

    // Index roots: empty leaves, or the entries of the catalog rows.
    // The definition counts the distinct keys of each index.
    auto writeLeaf = [&](const TableDef& t, PhysicalIndex& p,
                         std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> entries) {
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
        writeIndexPage(f, leaf, page(p.rootPage));
    };
    const KeyColumn longKey{ColumnType::Long, true, 0, 0x0409};
    const KeyColumn textKey{ColumnType::Text, true, 0, 0x0409};
    {
        std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> byName, byId;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            Value id = std::int64_t{rows[i].id}, parent = std::int64_t{rows[i].parent};
            Value name = std::string(rows[i].name);
            byName.emplace_back(encodeKey(v, {longKey, textKey}, {&parent, &name}),
                                objectPointers[i]);
            byId.emplace_back(encodeKey(v, {longKey}, {&id}), objectPointers[i]);
        }
        writeLeaf(objects, objects.physicalIndexes[0], byName);
        writeLeaf(objects, objects.physicalIndexes[1], byId);
        std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> byObject;
        for (std::size_t i = 0; i < aceRows.size(); ++i) {
            Value id = std::int64_t{aceRows[i].object};
            byObject.emplace_back(encodeKey(v, {longKey}, {&id}), acePointers[i]);
        }
        writeLeaf(aces, aces.physicalIndexes[0], byObject);
        for (std::size_t t = 2; t < tables.size(); ++t) {
            for (PhysicalIndex& p : tables[t].physicalIndexes) writeLeaf(tables[t], p, {});
        }
    }
    // Usage-map rows.
    for (std::uint32_t m = 0; m < mapPages; ++m) datapage::init(page(firstMapPage + m), f, 0);
    for (std::size_t i = 0; i < mapCount; ++i) {
        auto row = inlineMapRow(f, 0, mapContents[i]);
        datapage::addRow(page(firstMapPage + static_cast<std::uint32_t>(i / mapsPerPage)), f, row);
    }

    // Free-page map: nothing inside the file is free; everything after is.
    datapage::init(page(1), f, 1);
    std::vector<std::uint32_t> free;
    for (std::uint32_t n = pageCount; n < f.inlineMapBytes * 8; ++n) free.push_back(n);
    datapage::addRow(page(1), f, inlineMapRow(f, 0, free));
    datapage::addRow(page(1), f, inlineMapRow(f, 0, {}));

    // Definitions; Jet 4 lists the system tables' columns by name.
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
        std::copy(images[0].begin(), images[0].end(), page(t.tdefPage).begin());
    }

    writeHeader(page(0), f, kCreationDate);
    return image;
}

}  // namespace jet
