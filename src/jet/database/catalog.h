#pragma once

// The system catalog, MSysObjects, whose definition is always on page 2.
// Every object has a row: Id (Long; for tables the TDEF page in the low 24
// bits), ParentId (the container), Name, Type (1 local table, 2 database
// document, 3 container, 4 ODBC link, 5 query, 6 linked table, 8
// relationship; high bits may be set), Flags (0x80000000 and 0x00000002
// mark system objects). Local tables hang under the container named
// "Tables".

#include <cstdint>
#include <string>
#include <vector>

#include "jet/file/format.h"
#include "jet/file/pager.h"

namespace jet {

constexpr std::uint32_t kCatalogPage = 2;
constexpr std::uint32_t kSystemObjectFlags = 0x80000002;

struct CatalogEntry {
    std::string name;
    std::int32_t id = 0;
    std::int32_t parentId = 0;
    std::int16_t type = 0;
    std::uint32_t flags = 0;
    std::uint32_t tdefPage() const { return static_cast<std::uint32_t>(id) & 0x00FFFFFF; }
    bool isSystem() const { return (flags & kSystemObjectFlags) != 0; }
};

struct Catalog {
    std::vector<CatalogEntry> objects;  // every row, in storage order
    std::int32_t tablesContainer = 0;   // Id of "Tables" (0 when missing)

    // Local tables (Type 1 under "Tables"), system ones included, in
    // storage order.
    std::vector<const CatalogEntry*> tables() const;
};

Catalog readCatalog(const Pager& pager, const Format& format, std::uint16_t codePage);

}  // namespace jet
