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
#include "jet/index/keysorter.h"
#include "jet/table/row_reader.h"
#include "jet/table/tdef_reader.h"

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

// Memory for the entries of one table being filled, shared by its indexes;
// past it they go to sorted runs on disk.
constexpr std::size_t kFillingMemory = 4 << 20;
// Entries a tree being built takes between writing its pages to the pager.
constexpr std::size_t kBuildWriteEvery = 8192;
// Pages a build holds in memory before they go to the file: built in key
// order, few of them change again.
constexpr std::size_t kBuildDirtyBytes = 8 << 20;

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

[[noreturn]] void duplicate(const TableDef& table, const PhysicalIndex& index, bool primary) {
    constraint(table, index,
               std::string("the row would duplicate a value of the unique ") +
                   (primary ? "primary key (" : "index (") + columnList(indexLayout(table, index)) +
                   "); it was not added");
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

    // One index of a table being filled. Entries that come in key order
    // go straight into the tree, at its end, which is cheap; from the first
    // that does not, they go to the sorter. The tree then holds a run of
    // keys from first to last.
    struct FillingIndex {
        std::unique_ptr<KeySorter> sorter;
        bool sorting = false;
        std::vector<std::uint8_t> first, last;
        std::uint32_t lastRow = 0;
        std::uint64_t inTree = 0;

        // Whether the index holds this key already.
        bool holds(std::span<const std::uint8_t> key, IndexTree& tree) {
            if (inTree > 0 && compareEntries(key, 0, first, 0) >= 0 &&
                compareEntries(key, 0, last, 0) <= 0) {
                if (std::ranges::equal(key, first) || std::ranges::equal(key, last)) return true;
                if (tree.containsKey(key)) return true;
            }
            return sorting && sorter->contains(key);
        }

        // Adds an entry; whether its key is new, when it can tell now.
        bool add(std::span<const std::uint8_t> key, std::uint32_t row, bool remember,
                 IndexTree& tree) {
            if (!sorting && (inTree == 0 || compareEntries(last, lastRow, key, row) < 0)) {
                const bool fresh = tree.insert(key, row);
                if (inTree++ == 0) first.assign(key.begin(), key.end());
                last.assign(key.begin(), key.end());
                lastRow = row;
                return fresh;
            }
            sorting = true;
            sorter->add(key, row, remember);
            return false;
        }
    };
    // A table being filled whose indexes were all empty.
    struct Filling {
        std::vector<FillingIndex> indexes;  // per physical index
        bool sorting() const {
            return std::any_of(indexes.begin(), indexes.end(),
                               [](const FillingIndex& i) { return i.sorting; });
        }
    };
    std::map<std::uint32_t, Filling> fillings;  // by TDEF page

    // What every row of one table needs, worked out once.
    struct TablePlan {
        std::vector<std::uint32_t> roots;  // to notice a changed definition
        std::vector<IndexLayout> layouts;
        std::vector<bool> primary;
        // Refuses nothing (neither unique nor primary): entries can wait
        // for the flush and go in sorted.
        std::vector<bool> deferred;
        std::vector<Tree*> trees;
        Filling* filling = nullptr;
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
            p.filling = startFilling(impl, table, p);
        }
        return p;
    }

    // A filling for a table whose indexes are all empty.
    Filling* startFilling(Database::Impl& impl, const TableDef& table, const TablePlan& p) {
        if (table.isSystem || p.trees.empty()) return nullptr;
        auto found = fillings.find(table.tdefPage);
        if (found != fillings.end()) return &found->second;
        // The file lacks the indexes since an earlier commit, and what was
        // gathered since is gone (a rollback): the trees start again empty,
        // the entries are gathered again from the rows.
        const bool withheld = impl.withheldIndexes.count(table.tdefPage) != 0;
        if (withheld) {
            PageAllocator allocator(*impl.pager, *impl.format, table.name);
            for (std::size_t n = 0; n < p.trees.size(); ++n) {
                emptyIndex(impl, allocator, table.tdefPage, table.physicalIndexes[n]);
                p.trees[n]->tree->discard();
                p.trees[n]->newKeys = 0;
            }
        } else {
            for (Tree* t : p.trees) {
                try {
                    if (!t->tree->empty()) return nullptr;
                } catch (const Error&) {
                    return nullptr;  // a damaged index fails where it is used
                }
            }
        }
        Filling& f = fillings[table.tdefPage];
        const std::size_t budget =
            std::max<std::size_t>(512 << 10, kFillingMemory / p.trees.size());
        f.indexes.resize(p.trees.size());
        for (FillingIndex& i : f.indexes)
            i.sorter = std::make_unique<KeySorter>(impl.path.parent_path(), budget);
        if (withheld) {
            TableScanner scanner(*impl.pager, *impl.format, table, impl.codePage());
            Row row;
            RowKey k;
            while (scanner.next(row)) {
                const std::uint32_t pointer = bytes::rowPointer(
                    scanner.page(), static_cast<std::uint8_t>(scanner.rowIndex()));
                for (std::size_t n = 0; n < p.trees.size(); ++n) {
                    rowKeyInto(k, impl.format->version, table.physicalIndexes[n], p.layouts[n],
                               row);
                    if (k.skip) continue;
                    f.indexes[n].sorting = true;
                    f.indexes[n].sorter->add(k.key, pointer, !p.deferred[n] && !k.anyNull);
                }
            }
        }
        return &f;
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

void emptyIndex(Database::Impl& impl, PageAllocator& allocator, std::uint32_t tdefPage,
                const PhysicalIndex& index) {
    const Format& f = *impl.format;
    for (std::uint32_t page : usageMapPages(*impl.pager, f, index.usageMap)) {
        if (page == index.rootPage) continue;
        UsageMap(*impl.pager, f, index.usageMap).remove(page);
        allocator.release(page);
    }
    PagerIndexStore store(*impl.pager, f, index.usageMap, &allocator);
    IndexTree::writeEmptyRoot(f, store, index.rootPage, tdefPage);
}

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
        if (plan.filling) {
            if (!plan.deferred[n] && !k.anyNull &&
                plan.filling->indexes[n].holds(k.key, *plan.trees[n]->tree))
                duplicate(table, p, primary);
            continue;
        }
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
        if (taken && !k.anyNull && (p.isUnique() || primary)) duplicate(table, p, primary);
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
            if (plan->filling) {
                if (plan->filling->indexes[n].add(
                        s.keys[n].key, pointer, !plan->deferred[n] && !s.keys[n].anyNull, *t.tree))
                    ++t.newKeys;
            } else if (plan->deferred[n])
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

namespace {

// The table's definition as the file holds it, whatever is withheld.
TableDef fileDefinition(const Database::Impl& impl, std::uint32_t tdefPage) {
    return readTableDef(*impl.pager, *impl.format, tdefPage, impl.codePage());
}

// Takes the indexes of tables being filled out of the file's definition,
// once a filling has gathered entries that their trees lack.
void withholdFillingIndexes(Database::Impl& impl, IndexSession& s) {
    for (auto& [tdefPage, filling] : s.fillings) {
        // Trees that took every entry in order are complete.
        if (impl.withheldIndexes.count(tdefPage) != 0 || !filling.sorting()) continue;
        TableDef def = fileDefinition(impl, tdefPage);
        const std::string name = s.plans.at(tdefPage).trees.front()->table;
        Database::Impl::WithheldIndexes withheld{name, def.physicalIndexes, def.indexes};
        def.physicalIndexes.clear();
        def.indexes.clear();
        PageAllocator allocator(*impl.pager, *impl.format, name);
        rewriteTableDefinition(impl, allocator, def);
        impl.withheldIndexes.emplace(tdefPage, std::move(withheld));
        impl.invalidateTable(tdefPage);
    }
}

// Ends every filling: the definition gets its indexes back, each tree takes
// its sorted entries.
void endFillings(Database::Impl& impl, IndexSession& s) {
    // Withheld indexes whose entries a rollback dropped: a filling gathers
    // them from the rows again.
    for (const auto& [tdefPage, withheld] : impl.withheldIndexes) {
        if (s.fillings.count(tdefPage) == 0) s.plan(impl, *impl.tableDef(withheld.table));
    }
    for (auto& [tdefPage, filling] : s.fillings) {
        IndexSession::TablePlan& plan = s.plans.at(tdefPage);
        if (auto w = impl.withheldIndexes.find(tdefPage); w != impl.withheldIndexes.end()) {
            TableDef def = fileDefinition(impl, tdefPage);
            def.physicalIndexes = w->second.physical;
            def.indexes = w->second.logical;
            PageAllocator allocator(*impl.pager, *impl.format, w->second.table);
            rewriteTableDefinition(impl, allocator, def);
            impl.withheldIndexes.erase(w);
            impl.invalidateTable(tdefPage);
        }
        for (std::size_t n = 0; n < plan.trees.size(); ++n) {
            IndexSession::Tree& t = *plan.trees[n];
            t.tree->setPackedSplits(true);
            struct Unpack {
                IndexTree& tree;
                ~Unpack() { tree.setPackedSplits(false); }
            } unpack{*t.tree};
            try {
                std::size_t sinceWrite = 0;
                filling.indexes[n].sorter->drain(
                    [&](std::span<const std::uint8_t> key, std::uint32_t row) {
                        if (t.tree->insert(key, row)) ++t.newKeys;
                        // A big index is more pages than the transaction may
                        // hold in memory: the finished ones go out as it grows.
                        if (++sinceWrite == kBuildWriteEvery) {
                            sinceWrite = 0;
                            t.tree->flush();
                            impl.pager->spillIfNeeded(kBuildDirtyBytes / impl.format->pageSize);
                        }
                    });
            } catch (Error& e) {
                s.failed = true;
                e.addFile(impl.path).addTable(t.table).addIndex(t.index);
                throw;
            } catch (...) {
                s.failed = true;
                throw;
            }
        }
        plan.filling = nullptr;
    }
    s.fillings.clear();
}

}  // namespace

void flushIndexes(Database::Impl& impl, IndexFlush how) {
    if (!impl.indexSession && (how == IndexFlush::KeepFilling || impl.withheldIndexes.empty()))
        return;
    IndexSession& s = session(impl);
    if (s.failed)
        throw Error(Error::Kind::Invalid,
                    "a row of this transaction was stored without all its index entries; the "
                    "transaction cannot be committed")
            .addFile(impl.path);
    if (how == IndexFlush::KeepFilling)
        withholdFillingIndexes(impl, s);
    else
        endFillings(impl, s);
    const Format& f = *impl.format;
    for (auto& [id, t] : s.trees) {
        (void)id;
        try {
            t.tree->flush();
        } catch (Error& e) {
            // Half-written trees: whatever happens next, no commit.
            s.failed = true;
            e.addFile(impl.path).addTable(t.table).addIndex(t.index);
            throw;
        }
        t.newKeys += t.tree->takeDeferredNewKeys();
        // Withheld, the definition has no counts; they wait for its indexes.
        if (t.newKeys != 0 && impl.withheldIndexes.count(t.tdefPage) == 0) {
            std::uint8_t* count = impl.pager->modify(t.tdefPage) + f.tdefBlockEnd +
                                  t.slot * f.indexRowCountEntrySize + f.indexRowCountOffset;
            const std::int64_t now = static_cast<std::int64_t>(bytes::le32(count)) + t.newKeys;
            bytes::putLe32(
                count, static_cast<std::uint32_t>(std::clamp<std::int64_t>(now, 0, 0xFFFFFFFF)));
            t.newKeys = 0;
        }
    }
}

void discardIndexes(Database::Impl& impl) noexcept {
    impl.indexSession.reset();
    // Indexes withheld by a commit that was undone are back in the file.
    for (auto it = impl.withheldIndexes.begin(); it != impl.withheldIndexes.end();) {
        bool back = false;
        try {
            back = !fileDefinition(impl, it->first).physicalIndexes.empty();
        } catch (...) {
        }
        it = back ? impl.withheldIndexes.erase(it) : std::next(it);
    }
}

bool fillingsPending(const Database::Impl& impl) {
    return !impl.withheldIndexes.empty() ||
           (impl.indexSession && !impl.indexSession->fillings.empty());
}

std::uint64_t fillingPagesNeeded(const Database::Impl& impl, std::uint32_t tdefPage) {
    if (!impl.indexSession) return 0;
    auto it = impl.indexSession->fillings.find(tdefPage);
    if (it == impl.indexSession->fillings.end()) return 0;
    // Built in order, leaves are full; a quarter more for the nodes above
    // them and for what the estimate misses.
    const std::uint64_t room = impl.format->indexCapacity();
    std::uint64_t pages = 0;
    for (const auto& index : it->second.indexes)
        pages += (index.sorter->entryBytes() + 2 * index.sorter->size()) * 5 / 4 / room + 4;
    return pages;
}

void discardTableIndexes(Database::Impl& impl, std::uint32_t tdefPage) {
    if (!impl.indexSession) return;
    impl.indexSession->plans.erase(tdefPage);
    impl.indexSession->fillings.erase(tdefPage);
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
