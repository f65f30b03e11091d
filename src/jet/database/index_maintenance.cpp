#include "jet/database/index_maintenance.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "jet/database/database_impl.h"
#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/file/usagemap.h"
#include "jet/index/btree.h"
#include "jet/index/indexpage.h"

namespace jet {

std::span<const std::uint8_t> PagerIndexStore::read(std::uint32_t page) {
    if (page >= pager_.pageCount())
        throw Error(Error::Kind::Corrupt, "the index page lies beyond the end of the file")
            .addFile(pager_.path())
            .addPage(page);
    held_ = pager_.page(page);
    return {held_->data(), held_->size()};
}

void PagerIndexStore::write(std::uint32_t page, std::span<const std::uint8_t> image) {
    std::memcpy(pager_.modify(page), image.data(), image.size());
}

std::uint32_t PagerIndexStore::allocate() {
    PageAllocator local(pager_, format_);
    PageAllocator& allocator = allocator_ ? *allocator_ : local;
    const std::uint32_t page = allocator.allocate();
    UsageMap(pager_, format_, map_).add(page, &allocator);
    return page;
}

namespace {

[[noreturn]] void constraint(const TableDef& table, const PhysicalIndex& index,
                             const std::string& why) {
    throw Error(Error::Kind::Constraint, why)
        .addTable(table.name)
        .addIndex(indexName(table, index));
}

// Names the index, its table and the file in an error from the index's tree.
void addIndexContext(Error& e, const Database::Impl& impl, const TableDef& table,
                     const PhysicalIndex& index) {
    e.addFile(impl.path).addTable(table.name).addIndex(indexName(table, index));
}

std::string columnList(const IndexLayout& layout) {
    std::string out;
    for (const std::string& n : layout.names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

}  // namespace

struct IndexSession {
    struct Tree {
        std::uint32_t tdefPage = 0;
        std::size_t slot = 0;  // position of the index's count in the definition
        std::unique_ptr<PagerIndexStore> store;
        std::unique_ptr<IndexTree> tree;
        std::int64_t newKeys = 0;
        std::string table, index;  // named in errors at flush
    };
    std::map<std::pair<std::uint32_t, std::uint32_t>, Tree> trees;  // (TDEF page, root page)

    // An entry failed to go in after its row was stored: this transaction
    // must not commit.
    bool failed = false;

    // Keys worked out by the check, reused by the insert of the same row.
    const Row* checkedRow = nullptr;
    std::uint32_t checkedTable = 0;
    std::vector<RowKey> keys;

    // What every row of one table needs, worked out once.
    struct TablePlan {
        std::vector<std::uint32_t> roots;  // to notice a changed definition
        std::vector<IndexLayout> layouts;
        std::vector<bool> primary;
        // Refuses nothing (neither unique nor primary): entries can wait
        // for the flush and go in sorted.
        std::vector<bool> deferred;
        std::vector<Tree*> trees;
    };
    std::map<std::uint32_t, TablePlan> plans;
    // The plan asked for last: every row of a load asks twice.
    std::uint32_t lastTdef = 0;
    TablePlan* lastPlan = nullptr;

    TablePlan& plan(Database::Impl& impl, const TableDef& table) {
        TablePlan& p = lastPlan && lastTdef == table.tdefPage ? *lastPlan : plans[table.tdefPage];
        lastTdef = table.tdefPage;
        lastPlan = &p;
        bool same = p.roots.size() == table.physicalIndexes.size();
        for (std::size_t n = 0; same && n < p.roots.size(); ++n)
            same = p.roots[n] == table.physicalIndexes[n].rootPage;
        if (!same) {
            p = TablePlan{};
            for (std::size_t n = 0; n < table.physicalIndexes.size(); ++n) {
                const PhysicalIndex& index = table.physicalIndexes[n];
                p.roots.push_back(index.rootPage);
                p.layouts.push_back(indexLayout(table, index));
                p.layouts.back().names.clear();
                p.primary.push_back(isPrimaryKeyIndex(table, index));
                p.deferred.push_back(!p.primary.back() && !index.isUnique());
                p.trees.push_back(&tree(impl, table, n));
            }
        }
        return p;
    }

    Tree& tree(Database::Impl& impl, const TableDef& table, std::size_t slot) {
        const PhysicalIndex& p = table.physicalIndexes[slot];
        auto [it, fresh] = trees.try_emplace({table.tdefPage, p.rootPage});
        Tree& t = it->second;
        if (fresh) {
            t.tdefPage = table.tdefPage;
            t.slot = slot;
            t.store = std::make_unique<PagerIndexStore>(*impl.pager, *impl.format, p.usageMap);
            t.tree =
                std::make_unique<IndexTree>(*impl.format, *t.store, p.rootPage, table.tdefPage);
            t.table = table.name;
            t.index = indexName(table, p);
        }
        return t;
    }
};

namespace {

IndexSession& session(Database::Impl& impl) {
    if (!impl.indexSession) impl.indexSession = std::make_shared<IndexSession>();
    return *impl.indexSession;
}

// The keys of a row for every index of the table, into s.keys.
IndexSession::TablePlan& rowKeys(Database::Impl& impl, IndexSession& s, const TableDef& table,
                                 const Row& row) {
    IndexSession::TablePlan& plan = s.plan(impl, table);
    s.keys.resize(table.physicalIndexes.size());
    for (std::size_t n = 0; n < table.physicalIndexes.size(); ++n)
        rowKeyInto(s.keys[n], impl.format->version, table.physicalIndexes[n], plan.layouts[n], row);
    return plan;
}

}  // namespace

IndexLayout indexLayout(const TableDef& table, const PhysicalIndex& index) {
    IndexLayout layout;
    for (const IndexColumn& ic : index.columns) {
        auto it = std::find_if(table.columns.begin(), table.columns.end(),
                               [&](const ColumnDef& c) { return c.number == ic.columnNumber; });
        if (it == table.columns.end())
            throw Error(Error::Kind::Corrupt, "the index names column " +
                                                  std::to_string(ic.columnNumber) +
                                                  ", which the table does not have")
                .addTable(table.name)
                .addIndex(indexName(table, index));
        layout.columns.push_back({it->type, ic.ascending, it->scale,
                                  it->sortOrder ? it->sortOrder : std::uint16_t{0x0409}});
        layout.valueAt.push_back(static_cast<std::size_t>(it - table.columns.begin()));
        layout.names.push_back(it->name);
    }
    return layout;
}

std::string indexName(const TableDef& table, const PhysicalIndex& index) {
    const LogicalIndex* best = nullptr;
    for (const LogicalIndex& l : table.indexes) {
        if (l.physicalIndex != index.number) continue;
        if (!best || (best->isForeignKey() && !l.isForeignKey())) best = &l;
    }
    return best ? best->name : "#" + std::to_string(index.number);
}

bool isPrimaryKeyIndex(const TableDef& table, const PhysicalIndex& index) {
    return std::any_of(table.indexes.begin(), table.indexes.end(), [&](const LogicalIndex& l) {
        return l.isPrimaryKey() && l.physicalIndex == index.number;
    });
}

RowKey rowKey(Version version, const PhysicalIndex& index, const IndexLayout& layout,
              const Row& row) {
    RowKey out;
    rowKeyInto(out, version, index, layout, row);
    return out;
}

void rowKeyInto(RowKey& out, Version version, const PhysicalIndex& index, const IndexLayout& layout,
                const Row& row) {
    static const Value kNull;
    out.key.clear();
    std::size_t nulls = 0;
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        const std::size_t at = layout.valueAt[i];
        const Value& v = at < row.size() ? row[at] : kNull;
        // A Yes/No value is never Null: a missing one is No.
        if (v.isNull() && layout.columns[i].type != ColumnType::Boolean) ++nulls;
        appendKeyValue(out.key, version, layout.columns[i], v);
    }
    out.anyNull = nulls > 0;
    out.skip = index.ignoresNulls() && nulls == layout.columns.size();
}

void indexRowCheck(Database::Impl& impl, const TableDef& table, const Row& row) {
    IndexSession& s = session(impl);
    s.checkedRow = nullptr;
    if (table.physicalIndexes.empty()) return;
    IndexSession::TablePlan& plan = rowKeys(impl, s, table, row);
    const std::size_t maxKey = impl.format->indexCapacity() / 4;
    for (std::size_t n = 0; n < table.physicalIndexes.size(); ++n) {
        const PhysicalIndex& p = table.physicalIndexes[n];
        const RowKey& k = s.keys[n];
        const bool primary = plan.primary[n];
        if (k.anyNull && (primary || (p.flags & 0x08) != 0)) {
            constraint(table, p,
                       std::string("the row leaves a column of ") +
                           (primary ? "the primary key (" : "the required index (") +
                           columnList(indexLayout(table, p)) + ") empty; it was not added");
        }
        if (k.skip) continue;
        if (k.key.size() > maxKey)
            throw Error(Error::Kind::Unsupported,
                        "the index key for this row is too long to store; it was not added")
                .addTable(table.name)
                .addIndex(indexName(table, p));
        // A unique index is looked up now, and the insert starts from the
        // lookup; the others take their entries at the flush.
        if (plan.deferred[n]) continue;
        bool taken = false;
        try {
            taken = plan.trees[n]->tree->containsKey(k.key);
        } catch (Error& e) {
            addIndexContext(e, impl, table, p);
            throw;
        }
        if (taken && !k.anyNull && (p.isUnique() || primary)) {
            constraint(table, p,
                       std::string("the row would duplicate a value of the unique ") +
                           (primary ? "primary key (" : "index (") +
                           columnList(indexLayout(table, p)) + "); it was not added");
        }
    }
    s.checkedRow = &row;
    s.checkedTable = table.tdefPage;
}

void indexRowInserted(Database::Impl& impl, const TableDef& table, const Row& row,
                      std::uint32_t page, std::uint8_t rowNumber) {
    IndexSession& s = session(impl);
    if (table.physicalIndexes.empty()) return;
    IndexSession::TablePlan* plan = nullptr;
    if (s.checkedRow == &row && s.checkedTable == table.tdefPage &&
        s.keys.size() == table.physicalIndexes.size())
        plan = &s.plan(impl, table);
    else
        plan = &rowKeys(impl, s, table, row);
    s.checkedRow = nullptr;
    const std::uint32_t pointer = bytes::rowPointer(page, rowNumber);
    for (std::size_t n = 0; n < table.physicalIndexes.size(); ++n) {
        if (s.keys[n].skip) continue;
        IndexSession::Tree& t = *plan->trees[n];
        try {
            if (plan->deferred[n])
                t.tree->defer(s.keys[n].key, pointer);
            else if (t.tree->insert(s.keys[n].key, pointer))
                ++t.newKeys;
        } catch (Error& e) {
            s.failed = true;
            addIndexContext(e, impl, table, table.physicalIndexes[n]);
            throw;
        } catch (...) {
            s.failed = true;
            throw;
        }
    }
}

void flushIndexes(Database::Impl& impl) {
    if (!impl.indexSession) return;
    if (impl.indexSession->failed)
        throw Error(Error::Kind::Invalid,
                    "a row of this transaction was stored without all its index entries; the "
                    "transaction cannot be committed")
            .addFile(impl.path);
    const Format& f = *impl.format;
    for (auto& [id, t] : impl.indexSession->trees) {
        (void)id;
        try {
            t.tree->flush();
        } catch (Error& e) {
            // Half-written trees: whatever happens next, no commit.
            impl.indexSession->failed = true;
            e.addFile(impl.path).addTable(t.table).addIndex(t.index);
            throw;
        }
        t.newKeys += t.tree->takeDeferredNewKeys();
        if (t.newKeys != 0) {
            std::uint8_t* count = impl.pager->modify(t.tdefPage) + f.tdefBlockEnd +
                                  t.slot * f.indexRowCountEntrySize + f.indexRowCountOffset;
            const std::int64_t now = static_cast<std::int64_t>(bytes::le32(count)) + t.newKeys;
            bytes::putLe32(
                count, static_cast<std::uint32_t>(std::clamp<std::int64_t>(now, 0, 0xFFFFFFFF)));
            t.newKeys = 0;
        }
    }
}

void discardIndexes(Database::Impl& impl) { impl.indexSession.reset(); }

void discardTableIndexes(Database::Impl& impl, std::uint32_t tdefPage) {
    if (!impl.indexSession) return;
    impl.indexSession->plans.erase(tdefPage);
    impl.indexSession->lastPlan = nullptr;
    impl.indexSession->checkedRow = nullptr;
    auto& trees = impl.indexSession->trees;
    for (auto it = trees.begin(); it != trees.end();) {
        if (it->first.first == tdefPage)
            it = trees.erase(it);
        else
            ++it;
    }
}

}  // namespace jet
