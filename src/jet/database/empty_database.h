#pragma once

// A new, empty database as one in-memory image: what Database::emptyImage
// returns and the two templates are made of.
//
// Layout (page numbers; Jet 3 needs three pages for the map rows, Jet 4 one):
//   0        header (its masked region built clear, then masked)
//   1        free-page map (row 0, inline, a set bit = free page; every page
//            past the end of the file is marked free) and one empty map row
//   2..5     definitions of MSysObjects, MSysACEs, MSysQueries, MSysRelationships
//   6..      the usage-map rows of those tables, their long-value columns and
//            indexes, in that order per table (31 rows)
//   then     one leaf page per system index (root of its B-tree): MSysObjects
//            ParentIdName and Id, MSysACEs ObjectId, MSysQueries
//            ObjectIdAttribute, MSysRelationships szRelationship, szObject,
//            szReferencedObject
//   then     the MSysObjects rows and the MSysACEs rows, one page each
//
// The catalog holds the containers Tables, Databases and Relationships, the
// database document MSysDb and the four system tables; MSysACEs the access
// entries of those objects for three built-in accounts, as Jet writes them.
// Every date is one fixed creation date so the image never changes.

#include <cstdint>
#include <span>
#include <vector>

#include "jet/file/format.h"
#include "jet/types.h"

namespace jet {

namespace catalogids {
inline constexpr std::int32_t root = 0x0F000000;
inline constexpr std::int32_t tables = 0x0F000001;
inline constexpr std::int32_t databases = 0x0F000002;
inline constexpr std::int32_t relationships = 0x0F000003;
inline constexpr std::int32_t msysDb = 0x10000000;
inline constexpr std::int16_t typeTable = 1;
inline constexpr std::int16_t typeDatabase = 2;
inline constexpr std::int16_t typeContainer = 3;
inline constexpr std::uint32_t systemFlags = 0x80000000;
}  // namespace catalogids

// The creation date of every database this engine makes (2020-01-01).
inline constexpr double kCreationDate = 43831.0;

std::vector<std::uint8_t> buildEmptyDatabase(Version version);

// The account that owns new objects, and the accounts that get full access
// to a new table, when the database does not say otherwise.
Bytes defaultOwnerSid(Version version);
std::vector<Bytes> defaultTableAceSids(Version version);

// Definitions of the four system tables as the empty image lays them out,
// columns in column-number order.
std::vector<TableDef> systemTableDefs(Version version);

}  // namespace jet
