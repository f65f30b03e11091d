#pragma once

// Keeping a table's indexes in step with its rows.
//
// A row goes in in two steps. indexRowCheck() runs before anything of the row
// is stored and refuses it (Error::Kind::Constraint, naming the table, the
// index and its columns) when it would break an index: a Null where a primary
// key or a required index needs a value, or a key that a unique index already
// holds. indexRowInserted() then adds the row's entries once the row has its
// place.
//
// Nulls follow Access: a unique index accepts any number of rows whose key has
// a Null in one of its columns (Null equals nothing), and an index that
// ignores Nulls holds no entry for a row whose indexed columns are all Null.
//
// Indexes that refuse nothing (neither unique nor primary) queue their
// entries and take them in key order at the flush, which is cheaper than a
// descent per row.
//
// Changed index pages stay decoded in memory: flushIndexes() writes them to
// the pager (before every commit, and before anything reads index pages
// through the pager); discardIndexes() forgets them after a rollback.
// The per-index distinct-key counts in the table definition move with them.
//
// A table being filled while its indexes are all empty has its entries
// gathered in key sorters instead (keysorter.h), and each tree is built
// once, in key order, when a commit that is not a background one ends the
// filling: random keys would otherwise change about one leaf per row. The
// checks above still refuse each row as it comes. Until then the file must
// stay sound at every background commit, so the first one takes the table's
// indexes out of its definition and the filling's end puts them back: in
// between, the file holds the committed rows without those indexes, and a
// crash leaves it so (their emptied root pages unreferenced).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/file/pager.h"
#include "jet/index/btree.h"
#include "jet/index/indexkey.h"
#include "jet/types.h"

namespace jet {

class Format;
class PageAllocator;

// The pages of one index for the B-tree code: through the pager, new pages
// from the free-page map (through allocator when given) and listed in the
// index's usage map.
class PagerIndexStore : public IndexPageStore {
public:
    PagerIndexStore(Pager& pager, const Format& format, std::uint32_t usageMap,
                    PageAllocator* allocator = nullptr)
        : pager_(pager), format_(format), map_(usageMap), allocator_(allocator) {}
    std::span<const std::uint8_t> read(std::uint32_t page) override;
    void write(std::uint32_t page, std::span<const std::uint8_t> image) override;
    std::uint32_t allocate() override;

private:
    Pager& pager_;
    const Format& format_;
    std::uint32_t map_;
    PageAllocator* allocator_;
    PageRef held_;
};

struct IndexSession;

void indexRowCheck(Database::Impl& impl, const TableDef& table, const Row& row);
void indexRowInserted(Database::Impl& impl, const TableDef& table, const Row& row,
                      std::uint32_t page, std::uint8_t rowNumber);

enum class IndexFlush {
    Complete,     // every index complete, fillings ended
    KeepFilling,  // for a background commit: fillings go on, their indexes withheld
};
void flushIndexes(Database::Impl& impl, IndexFlush how = IndexFlush::Complete);
// After a rollback. A filling whose indexes the file lacks gathers its
// entries again from the table's rows when it goes on or ends.
void discardIndexes(Database::Impl& impl) noexcept;
// Whether some table's indexes wait for the end of its filling.
bool fillingsPending(const Database::Impl& impl);
// Pages the indexes of a table being filled will take when built.
std::uint64_t fillingPagesNeeded(const Database::Impl& impl, std::uint32_t tdefPage);
// Forgets one table's index pages without writing them (the table is going).
void discardTableIndexes(Database::Impl& impl, std::uint32_t tdefPage);

// Takes every entry out of an index: its pages go back to the free-page map
// but the root, which becomes an empty leaf.
void emptyIndex(Database::Impl& impl, PageAllocator& allocator, std::uint32_t tdefPage,
                const PhysicalIndex& index);

// How the columns of one physical index are keyed, and where their values sit
// in a Row. Corrupt when the index names a column the table does not have.
struct IndexLayout {
    std::vector<KeyColumn> columns;
    std::vector<std::size_t> valueAt;  // position in TableDef::columns
    std::vector<std::string> names;
};
IndexLayout indexLayout(const TableDef& table, const PhysicalIndex& index);
// The name users know an index by: its (first) logical index.
std::string indexName(const TableDef& table, const PhysicalIndex& index);
bool isPrimaryKeyIndex(const TableDef& table, const PhysicalIndex& index);

// What an index holds for one row.
struct RowKey {
    bool skip = false;     // no entry (an index ignoring Nulls, all Null)
    bool anyNull = false;  // unique indexes let it through
    std::vector<std::uint8_t> key;
};
RowKey rowKey(Version version, const PhysicalIndex& index, const IndexLayout& layout,
              const Row& row);
// The same into an existing RowKey, reusing its buffer.
void rowKeyInto(RowKey& out, Version version, const PhysicalIndex& index, const IndexLayout& layout,
                const Row& row);

}  // namespace jet
