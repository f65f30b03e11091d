// Database::verifyIndexes: walks every index of a table from its root and
// holds what it finds against the table's rows.
//
// Checked: every page is an index page of this table and is reached once;
// all leaves sit at one depth; each level is chained left to right by its
// previous/next links; each node entry names the last entry below its child;
// entries ascend (key, then row pointer) across the whole index; the index
// holds exactly one entry per row (none for a row an index ignoring Nulls
// leaves out), with the key freshly encoded from that row; no two rows share
// a key in a unique index unless a Null lets them.

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "jet/database/index_maintenance.h"
#include "jet/error.h"
#include "jet/index/indexpage.h"
#include "jet/table/row_reader.h"

namespace jet {
namespace {

constexpr std::size_t kMaxDepth = 32;
constexpr std::size_t kMaxReportedEntries = 5;

struct Entry {
    std::vector<std::uint8_t> key;
    std::uint32_t row = 0;
    bool operator==(const Entry&) const = default;
};

bool less(const Entry& a, const Entry& b) { return compareEntries(a.key, a.row, b.key, b.row) < 0; }

std::string pointerText(std::uint32_t row) {
    return "page " + std::to_string(row >> 8) + " row " + std::to_string(row & 0xFF);
}

class TreeWalker {
public:
    TreeWalker(const Pager& pager, const Format& fmt, std::uint32_t tdefPage, std::string where,
               std::vector<std::string>& problems)
        : pager_(pager),
          fmt_(fmt),
          tdef_(tdefPage),
          where_(std::move(where)),
          problems_(problems) {}

    // Walks the tree; false when its shape is too broken to trust the entries.
    bool walk(std::uint32_t root) {
        visit(root, 0);
        checkLinks();
        return sound_;
    }
    std::vector<Entry>& entries() { return entries_; }

private:
    struct Links {
        std::uint32_t prev, next;
    };

    void problem(const std::string& what) {
        problems_.push_back(where_ + ": " + what);
        sound_ = false;
    }

    std::optional<Entry> visit(std::uint32_t number, std::size_t depth) {
        if (depth >= kMaxDepth) {
            problem("the index is deeper than " + std::to_string(kMaxDepth) + " levels");
            return std::nullopt;
        }
        if (number == 0 || number >= pager_.pageCount()) {
            problem("a link points at page " + std::to_string(number) + ", outside the file");
            return std::nullopt;
        }
        if (!seen_.insert(number).second) {
            problem("page " + std::to_string(number) + " is reached twice");
            return std::nullopt;
        }
        IndexPage page;
        try {
            page = readIndexPage(fmt_, *pager_.page(number), number);
        } catch (const Error& e) {
            problem("page " + std::to_string(number) + ": " + e.detail());
            return std::nullopt;
        }
        if (page.tdefPage != tdef_)
            problem("page " + std::to_string(number) + " belongs to the table defined on page " +
                    std::to_string(page.tdefPage));
        if (levels_.size() <= depth) levels_.resize(depth + 1);
        levels_[depth].push_back(number);
        links_[number] = {page.prev, page.next};

        if (page.leaf) {
            if (leafDepth_ && *leafDepth_ != depth)
                problem("leaf page " + std::to_string(number) + " is at depth " +
                        std::to_string(depth) + ", other leaves at " + std::to_string(*leafDepth_));
            leafDepth_ = depth;
            if (page.tail != 0)
                problem("leaf page " + std::to_string(number) + " names a tail page");
            for (std::size_t i = 0; i < page.size(); ++i) {
                Entry e{{page.key(i).begin(), page.key(i).end()}, page.rowPointer(i)};
                if (!entries_.empty() && !less(entries_.back(), e))
                    problem("entries out of order on page " + std::to_string(number) + " (entry " +
                            std::to_string(i) + ", " + pointerText(e.row) + ")");
                entries_.push_back(std::move(e));
            }
            if (page.empty()) return std::nullopt;
            return entries_.back();
        }

        if (page.empty() && page.tail == 0) {
            problem("node page " + std::to_string(number) + " has no children");
            return std::nullopt;
        }
        std::optional<Entry> last;
        for (std::size_t i = 0; i < page.size(); ++i) {
            Entry named{{page.key(i).begin(), page.key(i).end()}, page.rowPointer(i)};
            const std::uint32_t child = page.child(i);
            last = visit(child, depth + 1);
            if (!last) {
                problem("child page " + std::to_string(child) + " of node page " +
                        std::to_string(number) + " holds no entries");
            } else if (!(*last == named)) {
                problem("node page " + std::to_string(number) + " entry " + std::to_string(i) +
                        " does not name the last entry of its child page " + std::to_string(child));
            }
        }
        if (page.tail != 0) last = visit(page.tail, depth + 1);
        return last;
    }

    // Each level, in key order, must be one chain of previous/next links.
    void checkLinks() {
        for (std::size_t d = 0; d < levels_.size(); ++d) {
            const auto& level = levels_[d];
            for (std::size_t i = 0; i < level.size(); ++i) {
                const Links& l = links_[level[i]];
                const std::uint32_t wantPrev = i == 0 ? 0 : level[i - 1];
                const std::uint32_t wantNext = i + 1 == level.size() ? 0 : level[i + 1];
                if (l.prev != wantPrev || l.next != wantNext) {
                    problem("page " + std::to_string(level[i]) + " links to previous " +
                            std::to_string(l.prev) + " and next " + std::to_string(l.next) +
                            " instead of " + std::to_string(wantPrev) + " and " +
                            std::to_string(wantNext));
                }
            }
        }
    }

    const Pager& pager_;
    const Format& fmt_;
    std::uint32_t tdef_;
    std::string where_;
    std::vector<std::string>& problems_;
    bool sound_ = true;
    std::set<std::uint32_t> seen_;
    std::vector<std::vector<std::uint32_t>> levels_;
    std::map<std::uint32_t, Links> links_;
    std::optional<std::size_t> leafDepth_;
    std::vector<Entry> entries_;
};

bool keysSupported(Version version, const IndexLayout& layout) {
    return std::all_of(layout.columns.begin(), layout.columns.end(), [&](const KeyColumn& c) {
        return (c.type != ColumnType::Text && c.type != ColumnType::Memo) ||
               isSupportedTextSortOrder(version, c.sortOrder);
    });
}

void verifyIndex(Database::Impl& impl, const TableDef& table, const PhysicalIndex& index,
                 std::vector<std::string>& problems) {
    const Version version = impl.format->version;
    const std::string where = "Table '" + table.name + "', index '" + indexName(table, index) + "'";
    TreeWalker walker(*impl.pager, *impl.format, table.tdefPage, where, problems);
    if (!walker.walk(index.rootPage)) return;
    std::vector<Entry>& actual = walker.entries();

    const IndexLayout layout = indexLayout(table, index);
    if (!keysSupported(version, layout)) {
        // Keys in a sort order we cannot encode: only the count can be held
        // against the rows.
        TableScanner scanner(*impl.pager, *impl.format, table, impl.codePage());
        std::span<const std::uint8_t> raw;
        std::size_t rows = 0;
        while (scanner.nextRaw(raw)) ++rows;
        if (!index.ignoresNulls() && rows != actual.size())
            problems.push_back(where + ": " + std::to_string(actual.size()) + " entries for " +
                               std::to_string(rows) + " rows");
        return;
    }

    std::vector<Entry> expected;
    std::vector<bool> exempt;  // per expected entry, in scan order: a Null in the key
    std::map<std::uint32_t, bool> nullRows;
    {
        TableScanner scanner(*impl.pager, *impl.format, table, impl.codePage());
        Row row;
        while (scanner.next(row)) {
            RowKey k = rowKey(version, index, layout, row);
            if (k.skip) continue;
            const std::uint32_t pointer = (scanner.page() << 8) | (scanner.rowIndex() & 0xFF);
            nullRows[pointer] = k.anyNull;
            expected.push_back({std::move(k.key), pointer});
        }
    }
    std::sort(expected.begin(), expected.end(), less);

    if (actual.size() != expected.size())
        problems.push_back(where + ": " + std::to_string(actual.size()) + " entries for " +
                           std::to_string(expected.size()) + " rows");
    std::vector<Entry> missing, extra;
    std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(),
                        std::back_inserter(missing), less);
    std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(),
                        std::back_inserter(extra), less);
    for (std::size_t i = 0; i < missing.size() && i < kMaxReportedEntries; ++i)
        problems.push_back(where + ": no entry (or a wrong key) for the row at " +
                           pointerText(missing[i].row));
    for (std::size_t i = 0; i < extra.size() && i < kMaxReportedEntries; ++i)
        problems.push_back(where + ": an entry for " + pointerText(extra[i].row) +
                           " matches no row's key");
    if (missing.size() + extra.size() > 2 * kMaxReportedEntries)
        problems.push_back(where + ": " + std::to_string(missing.size()) +
                           " rows without entries, " + std::to_string(extra.size()) +
                           " entries without rows in all");

    if (index.isUnique() || isPrimaryKeyIndex(table, index)) {
        for (std::size_t i = 1; i < expected.size(); ++i) {
            if (expected[i].key != expected[i - 1].key) continue;
            if (nullRows[expected[i].row] || nullRows[expected[i - 1].row]) continue;
            problems.push_back(where + ": the rows at " + pointerText(expected[i - 1].row) +
                               " and " + pointerText(expected[i].row) +
                               " share a key in a unique index");
        }
    }
}

}  // namespace

std::vector<std::string> Database::verifyIndexes(std::string_view tableName) const {
    // Index pages changed in this transaction reach the pager first.
    Impl& impl = const_cast<Impl&>(*impl_);
    if (!impl.readOnly && impl.inTransaction) flushIndexes(impl);
    const ReadSnapshot snapshot = this->snapshot();
    const std::shared_ptr<const TableDef> table = impl.tableDef(tableName);
    std::vector<std::string> problems;
    // Withheld while the table is filled: the file holds none of them yet.
    if (impl.withheldIndexes.count(table->tdefPage) != 0) return problems;
    for (const PhysicalIndex& index : table->physicalIndexes) {
        try {
            verifyIndex(impl, *table, index, problems);
        } catch (Error& e) {
            problems.push_back(
                e.addTable(table->name).addIndex(indexName(*table, index)).withoutFile());
        }
    }
    return problems;
}

}  // namespace jet
