#include "jet/database/catalog.h"

#include "jet/error.h"
#include "jet/table/row_reader.h"
#include "jet/table/tdef_reader.h"

namespace jet {

namespace {
constexpr std::int16_t kTypeTable = 1;
constexpr std::int16_t kTypeContainer = 3;
}  // namespace

std::vector<const CatalogEntry*> Catalog::tables() const {
    std::vector<const CatalogEntry*> out;
    for (const auto& o : objects)
        if ((o.type & 0x7F) == kTypeTable &&
            (tablesContainer == 0 || o.parentId == tablesContainer))
            out.push_back(&o);
    return out;
}

Catalog readCatalog(const Pager& pager, const Format& format, std::uint16_t codePage) {
    TableDef def = readTableDef(pager, format, kCatalogPage, codePage);
    def.name = "MSysObjects";
    auto column = [&](const char* name, ColumnType type) -> std::size_t {
        for (std::size_t i = 0; i < def.columns.size(); ++i)
            if (def.columns[i].name == name && def.columns[i].type == type) return i;
        throw corruptPage(pager, kCatalogPage,
                          std::string("the system catalog has no column ") + name);
    };
    const std::size_t id = column("Id", ColumnType::Long);
    const std::size_t parent = column("ParentId", ColumnType::Long);
    const std::size_t name = column("Name", ColumnType::Text);
    const std::size_t type = column("Type", ColumnType::Integer);
    const std::size_t flags = column("Flags", ColumnType::Long);

    // Only the columns we need are decoded: cracking is cheap, long values
    // (LvProp and friends) are not read at all.
    Catalog cat;
    TableScanner scan(pager, format, def, codePage);
    std::span<const std::uint8_t> raw;
    while (scan.nextRaw(raw)) {
        std::vector<Field> fields;
        try {
            fields = crackRow(raw, def, format);
        } catch (const Error& e) {
            throw corruptPage(pager, scan.page(), e.detail())
                .addTable(def.name)
                .addColumn(e.column());
        }
        auto value = [&](std::size_t c) {
            return decodeField(fields[c], def.columns[c], format, codePage, nullptr);
        };
        CatalogEntry e;
        const Value vName = value(name);
        if (vName.is<std::string>()) e.name = vName.as<std::string>();
        const Value vId = value(id), vParent = value(parent), vType = value(type),
                    vFlags = value(flags);
        if (vId.is<std::int64_t>()) e.id = static_cast<std::int32_t>(vId.as<std::int64_t>());
        if (vParent.is<std::int64_t>())
            e.parentId = static_cast<std::int32_t>(vParent.as<std::int64_t>());
        if (vType.is<std::int64_t>()) e.type = static_cast<std::int16_t>(vType.as<std::int64_t>());
        if (vFlags.is<std::int64_t>())
            e.flags = static_cast<std::uint32_t>(vFlags.as<std::int64_t>());
        if ((e.type & 0x7F) == kTypeContainer && e.name == "Tables") cat.tablesContainer = e.id;
        cat.objects.push_back(std::move(e));
    }
    return cat;
}

}  // namespace jet
