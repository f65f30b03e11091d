// The writing half of Database: new files, new and dropped tables, rows.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <set>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "jet/database/empty_database.h"
#include "jet/database/index_maintenance.h"
#include "jet/file/bytes.h"
#include "jet/file/datapage.h"
#include "jet/index/btree.h"
#include "jet/index/indexkey.h"
#include "jet/index/indexpage.h"
#include "jet/newfile.h"
#include "jet/table/longvalue.h"
#include "jet/table/row_builder.h"
#include "jet/table/table_layout.h"
#include "jet/table/tdef_builder.h"
#include "jet/table/tdef_reader.h"
#include "jet/values/convert.h"
#include "jet/values/text.h"

namespace jet {

namespace {

DateTime now() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    // Days since 1899-12-30 of the local civil date, plus the time of day.
    std::tm day = local;
    day.tm_hour = day.tm_min = day.tm_sec = 0;
    day.tm_isdst = 0;
    std::time_t dayUtc = timegm(&day);
    double days = static_cast<double>(dayUtc) / 86400.0 + 25569.0;
    return DateTime{days + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0};
}

// Characters Access refuses in object names.
std::string nameProblem(const Format& f, std::string_view name) {
    if (name.empty()) return "a name cannot be empty";
    if (utf16Length(name) > f.maxNameLength)
        return "a name may have at most " + std::to_string(f.maxNameLength) + " characters";
    if (name.front() == ' ') return "a name cannot begin with a space";
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']')
            return "a name cannot contain control characters or . ! ` [ ]";
    }
    std::vector<std::uint8_t> enc;
    if (!encodeName(f, name, enc)) return "the name cannot be stored in this format";
    return {};
}

[[noreturn]] void invalid(const std::string& message) {
    throw Error(Error::Kind::Invalid, message);
}

// Room for the long values of one memo/OLE column: its current LVAL page,
// and new pages listed in the column's usage maps.
class ColumnLongValues : public LongValuePages {
public:
    ColumnLongValues(Pager& pager, const Format& f, PageAllocator& allocator,
                     const LongValueMaps& maps)
        : pager_(pager), format_(f), allocator_(allocator), maps_(maps) {
        // Carry on filling the column's newest LVAL page.
        auto owned = usageMapPages(pager_, format_, maps_.ownedPages);
        if (!owned.empty()) page_ = owned.back();
    }

    std::uint8_t* reserve(std::size_t length, std::uint32_t& rowPointer) override {
        if (!usable(length)) {
            page_ = allocator_.allocate();
            datapage::init({pager_.modify(page_), format_.pageSize}, format_, datapage::lvalOwner);
            UsageMap(pager_, format_, maps_.ownedPages).add(page_, &allocator_);
            UsageMap(pager_, format_, maps_.freeSpacePages).add(page_, &allocator_);
        }
        std::uint8_t row = 0;
        std::uint8_t* p =
            datapage::reserveRow({pager_.modify(page_), format_.pageSize}, format_, length, row);
        rowPointer = bytes::rowPointer(page_, row);
        return p;
    }

private:
    bool usable(std::size_t length) const {
        if (page_ == 0 || page_ >= pager_.pageCount()) return false;
        PageRef p = pager_.page(page_);
        if ((*p)[0] != kPageData ||
            bytes::le32(p->data() + format_.dataOwner) != datapage::lvalOwner)
            return false;
        return datapage::roomForRow(*p, format_) >= length;
    }

    Pager& pager_;
    const Format& format_;
    PageAllocator& allocator_;
    LongValueMaps maps_;
    std::uint32_t page_ = 0;
};

// Appends rows to one table: converts, builds, places the row on the
// table's current data page, writes long values, keeps the counters in the
// definition and the indexes up to date. Holds no page pointers between
// rows, so it survives commits and rollbacks.
class Appender {
public:
    Appender(Database::Impl& impl, std::shared_ptr<const TableDef> def)
        : impl_(impl),
          f_(*impl.format),
          def_(std::move(def)),
          layout_(RowLayout::of(*def_)),
          allocator_(*impl.pager, f_, def_->name) {
        ctx_ = {f_.version, def_->name, impl.codePage()};
        for (const LongValueMaps& m : def_->longValueMaps)
            lv_.emplace(m.columnNumber,
                        std::make_unique<ColumnLongValues>(*impl.pager, f_, allocator_, m));
        // Only the columns some index covers need their key form.
        for (const PhysicalIndex& index : def_->physicalIndexes)
            for (std::size_t at : indexLayout(*def_, index).valueAt)
                if (std::find(keyColumns_.begin(), keyColumns_.end(), at) == keyColumns_.end())
                    keyColumns_.push_back(at);
        // Continue on the last data page of the table when it still has room.
        auto owned = usageMapPages(*impl.pager, f_, def_->ownedPagesMap);
        for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
            if (ours(*it)) {
                page_ = *it;
                break;
            }
        }
    }

    const TableDef& table() const { return *def_; }

    // AutoNumber values handed out from now on stay above floor.
    void setAutoNumberFloor(std::uint32_t floor) { autoNumberFloor_ = floor; }

    std::uint32_t append(std::span<const Value> values) {
        Pager& pager = *impl_.pager;
        convertRow(values, *def_, ctx_, stored_);

        // Counters live in the definition's first page.
        const std::uint8_t* tdef = pager.page(def_->tdefPage)->data();
        std::uint32_t rowCount = bytes::le32(tdef + f_.tdefRowCount);
        std::uint32_t autoNumber =
            std::max(bytes::le32(tdef + f_.tdefAutoNumber), autoNumberFloor_);
        for (std::size_t i = 0; i < def_->columns.size(); ++i) {
            if (!def_->columns[i].isAutoNumber() || def_->columns[i].type != ColumnType::Long)
                continue;
            if (stored_[i].isNull()) {
                if (autoNumber >= 0x7FFFFFFF)
                    throw Error(Error::Kind::Invalid, "the AutoNumber values are used up")
                        .addTable(def_->name)
                        .addColumn(def_->columns[i].name);
                stored_[i] = std::int64_t{++autoNumber};
            } else if (stored_[i].as<std::int64_t>() > static_cast<std::int64_t>(autoNumber)) {
                autoNumber = static_cast<std::uint32_t>(stored_[i].as<std::int64_t>());
            }
        }
        requireRoom();
        // The indexes may refuse the row: before anything is stored.
        if (needKeys()) {
            keyValues(values);
            indexRowCheck(impl_, *def_, keyRow_);
        }

        placeLongValues();
        row_.clear();
        buildRow(f_, layout_, stored_, row_);
        if (row_.size() > f_.maxRowSize) tooLarge(row_.size());

        if (!ours(page_) || datapage::roomForRow(*pager.page(page_), f_) < row_.size()) newPage();
        std::uint8_t rowNumber = datapage::addRow({pager.modify(page_), f_.pageSize}, f_, row_);
        const std::uint32_t pointer = bytes::rowPointer(page_, rowNumber);

        std::uint8_t* t = pager.modify(def_->tdefPage);
        bytes::putLe32(t + f_.tdefRowCount, rowCount + 1);
        bytes::putLe32(t + f_.tdefAutoNumber, autoNumber);
        updateIndexes(pointer, rowNumber);
        impl_.invalidateTable(def_->tdefPage);
        return pointer;
    }

private:
    bool ours(std::uint32_t page) const {
        if (page < 3 || page >= impl_.pager->pageCount()) return false;
        PageRef p = impl_.pager->page(page);
        return (*p)[0] == kPageData && bytes::le32(p->data() + f_.dataOwner) == def_->tdefPage;
    }

    // A full file refuses the row before anything of it is stored, so the
    // rows before it can still be committed: room for a data page, its
    // long values, bitmap pages of the maps, and the index pages the row
    // (and, unless flushed, the entries queued before it) may need.
    void requireRoom() {
        std::uint64_t need = 3;
        for (std::size_t i = 0; i < def_->columns.size(); ++i) {
            if (!isLongValue(def_->columns[i].type) || stored_[i].isNull()) continue;
            need += stored_[i].as<Bytes>().size() / (f_.lvalRowRoom / 2) + 3;
        }
        const std::uint64_t indexes = def_->physicalIndexes.size();
        const auto room = [&](std::uint64_t pages) {
            return allocator_.hasRoom(
                static_cast<std::uint32_t>(std::min<std::uint64_t>(pages, 0xFFFFFFFF)));
        };
        // Entries gathered for a build when the table's filling ends take
        // their pages then.
        if (room(need + indexes * 64 + fillingPagesNeeded(impl_, def_->tdefPage))) return;
        // Near the limit, queued entries (of any table) take their pages now.
        flushIndexes(impl_);
        if (room(need + indexes * 8)) return;
        allocator_.full();
    }

    void newPage() {
        Pager& pager = *impl_.pager;
        page_ = allocator_.allocate();
        datapage::init({pager.modify(page_), f_.pageSize}, f_, def_->tdefPage);
        UsageMap(pager, f_, def_->ownedPagesMap).add(page_, &allocator_);
        UsageMap(pager, f_, def_->freeSpaceMap).add(page_, &allocator_);
    }

    // Small memo/OLE values go inline while the row has room; the rest to
    // LVAL pages. Nothing is written to pages before the row is known to fit.
    void placeLongValues() {
        if (lv_.empty()) return;
        // The values trade places with the buffers of the previous row's, and
        // a 12-byte placeholder holds their place while the row is measured.
        std::size_t count = 0;
        for (std::size_t i = 0; i < def_->columns.size(); ++i) {
            if (!isLongValue(def_->columns[i].type) || stored_[i].isNull()) continue;
            if (count == longData_.size()) longData_.emplace_back();
            auto& [index, bytes] = longData_[count++];
            index = i;
            Bytes& value = *stored_[i].getIf<Bytes>();
            std::swap(bytes, value);
            value.assign(12, 0);
        }
        if (count == 0) return;
        const std::span data(longData_.data(), count);
        std::size_t base = rowLength(f_, layout_, stored_);
        if (base > f_.maxRowSize) tooLarge(base);
        std::size_t room = f_.maxRowSize - base;
        for (auto& [index, bytes] : data) {
            const ColumnDef& col = def_->columns[index];
            auto it = lv_.find(col.number);
            if (it == lv_.end())
                throw Error(Error::Kind::Corrupt, "the column has no long-value usage maps")
                    .addTable(def_->name)
                    .addColumn(col.name);
            auto field = writeLongValue(f_, bytes, room + 12, *it->second);
            room -= field.size() - 12;
            *stored_[index].getIf<Bytes>() = std::move(field);
        }
    }

    [[noreturn]] void tooLarge(std::size_t size) const {
        throw Error(Error::Kind::Invalid, "a row of " + std::to_string(size) +
                                              " bytes is larger than the format allows (" +
                                              std::to_string(f_.maxRowSize) + ")")
            .addTable(def_->name);
    }

    bool needKeys() const { return !def_->physicalIndexes.empty(); }

    // The row as readers give it (text as UTF-8, from the very bytes
    // stored), for index keys.
    // Columns no index covers stay Null here: the keys never read them.
    void keyValues(std::span<const Value> given) {
        keyRow_.resize(stored_.size());
        for (std::size_t i : keyColumns_) {
            if (i >= stored_.size()) continue;
            const Value& v = stored_[i];
            ColumnType type = def_->columns[i].type;
            if (v.isNull() || (type != ColumnType::Text && type != ColumnType::Memo)) {
                keyRow_[i] = v;
                continue;
            }
            // Text given as text is stored as exactly that text (or refused):
            // it keys as given, and the stored bytes are not decoded back.
            if (i < given.size() && given[i].is<std::string>()) {
                keyRow_[i] = given[i];
                continue;
            }
            const Bytes& b = v.as<Bytes>();
            keyRow_[i] = f_.unicodeText ? decodeJet4Text(b) : decodeCodePage(b, ctx_.codePage);
        }
    }

    void updateIndexes(std::uint32_t pointer, std::uint8_t rowNumber) {
        if (needKeys())
            indexRowInserted(impl_, *def_, keyRow_, bytes::pointerPage(pointer), rowNumber);
    }

    Database::Impl& impl_;
    const Format& f_;
    std::shared_ptr<const TableDef> def_;
    RowLayout layout_;
    PageAllocator allocator_;
    ConvertContext ctx_;
    std::map<std::uint16_t, std::unique_ptr<ColumnLongValues>> lv_;
    std::uint32_t page_ = 0;
    std::uint32_t autoNumberFloor_ = 0;
    Row stored_;
    Row keyRow_;
    std::vector<std::size_t> keyColumns_;  // positions in def_->columns
    std::vector<std::pair<std::size_t, Bytes>> longData_;  // placeLongValues' values
    std::vector<std::uint8_t> row_;
};

std::size_t columnIndex(const TableDef& t, std::string_view name) {
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (namesEqual(t.columns[i].name, name)) return i;
    throw Error(Error::Kind::Corrupt, "the system table has no such column")
        .addTable(t.name)
        .addColumn(name);
}

// A page with room for count usage-map rows: the page that holds the
// catalog's own maps, else a new one.
std::uint32_t mapPage(Database::Impl& impl, PageAllocator& allocator, std::size_t count) {
    const Format& f = *impl.format;
    const std::size_t need = count * (5 + f.inlineMapBytes + 2);
    std::vector<std::uint32_t> candidates;
    std::uint32_t newest = 0;
    for (const CatalogEntry* e : impl.catalogCache().tables())
        newest = std::max(newest, e->tdefPage());
    if (newest > 0) {
        auto def = readTableDef(*impl.pager, f, newest, impl.codePage());
        candidates.push_back(bytes::pointerPage(def.ownedPagesMap));
    }
    auto catalog = readTableDef(*impl.pager, f, kCatalogPage, impl.codePage());
    candidates.push_back(bytes::pointerPage(catalog.ownedPagesMap));
    for (std::uint32_t c : candidates) {
        if (c < 1 || c >= impl.pager->pageCount()) continue;
        PageRef p = impl.pager->page(c);
        if ((*p)[0] != kPageData || bytes::le32(p->data() + f.dataOwner) != 0) continue;
        if (datapage::rowCount(*p, f) + count > datapage::maxRows) continue;
        if (datapage::roomForRow(*p, f) + 2 >= need) return c;
    }
    std::uint32_t page = allocator.allocate();
    datapage::init({impl.pager->modify(page), f.pageSize}, f, 0);
    return page;
}

// Rows of a table matching a test, as row pointers.
template <class Test>
std::vector<std::uint32_t> findRows(Database::Impl& impl, const TableDef& t, Test test) {
    std::vector<std::uint32_t> out;
    TableScanner scanner(*impl.pager, *impl.format, t, impl.codePage());
    Row row;
    while (scanner.next(row)) {
        if (test(row))
            out.push_back(
                bytes::rowPointer(scanner.page(), static_cast<std::uint8_t>(scanner.rowIndex())));
    }
    return out;
}

// Builds every index of a (system) table afresh from its live rows: the root
// page stays, the other pages go back to the free-page map. Taking entries
// out of a B-tree in place would leave parents naming entries that are gone;
// the catalog is small, so rebuilding is the simple sound way.
void rebuildIndexes(Database::Impl& impl, const TableDef& t) {
    const Format& f = *impl.format;
    PageAllocator allocator(*impl.pager, f);
    for (std::size_t n = 0; n < t.physicalIndexes.size(); ++n) {
        const PhysicalIndex& p = t.physicalIndexes[n];
        const IndexLayout layout = indexLayout(t, p);
        std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> entries;
        {
            TableScanner scanner(*impl.pager, f, t, impl.codePage());
            Row row;
            while (scanner.next(row)) {
                RowKey key = rowKey(f.version, p, layout, row);
                if (key.skip) continue;
                entries.emplace_back(std::move(key.key),
                                     bytes::rowPointer(scanner.page(), static_cast<std::uint8_t>(
                                                                           scanner.rowIndex())));
            }
        }
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
            return compareEntries(a.first, a.second, b.first, b.second) < 0;
        });
        emptyIndex(impl, allocator, t.tdefPage, p);
        PagerIndexStore store(*impl.pager, f, p.usageMap, &allocator);
        IndexTree tree(f, store, p.rootPage, t.tdefPage);
        std::uint32_t distinct = 0;
        for (const auto& [key, pointer] : entries) distinct += tree.insert(key, pointer) ? 1 : 0;
        tree.flush();
        bytes::putLe32(impl.pager->modify(t.tdefPage) + f.tdefBlockEnd +
                           n * f.indexRowCountEntrySize + f.indexRowCountOffset,
                       distinct);
    }
}

// A deleted row keeps its bytes; its offset gets both flag bits, as Access's
// own writers leave it (readers that take 0x4000 alone for "deleted", such as
// mdbtools, then skip it too).
void deleteRow(Database::Impl& impl, std::uint32_t pointer) {
    const Format& f = *impl.format;
    std::uint8_t* p = impl.pager->modify(bytes::pointerPage(pointer));
    std::uint8_t* slot = p + f.dataRowTable + 2 * bytes::pointerRow(pointer);
    bytes::putLe16(slot,
                   static_cast<std::uint16_t>(bytes::le16(slot) | kRowDeleted | kRowOverflow));
}

// Takes every row of one object off a system table, then rebuilds its
// indexes and counts.
void removeObjectRows(Database::Impl& impl, const TableDef& t, std::vector<std::uint32_t> rows) {
    if (rows.empty()) return;
    const Format& f = *impl.format;
    for (std::uint32_t pointer : rows) deleteRow(impl, pointer);
    std::uint8_t* count = impl.pager->modify(t.tdefPage) + f.tdefRowCount;
    bytes::putLe32(count, bytes::le32(count) -
                              std::min<std::uint32_t>(bytes::le32(count),
                                                      static_cast<std::uint32_t>(rows.size())));
    rebuildIndexes(impl, t);
}

// Every page a usage map lists, and a reference map's own bitmap pages.
void collectMapPages(Database::Impl& impl, std::uint32_t map, std::set<std::uint32_t>& pages) {
    if (map == 0) return;
    for (std::uint32_t p : usageMapPages(*impl.pager, *impl.format, map)) pages.insert(p);
    PageRef holder;
    auto row = findRow(*impl.pager, *impl.format, map, holder);
    if (!row.empty() && row[0] == 0x01) {
        for (std::size_t i = 1; i + 4 <= row.size(); i += 4) {
            std::uint32_t p = bytes::le32(row.data() + i);
            if (p != 0) pages.insert(p);
        }
    }
}

}  // namespace

void rewriteTableDefinition(Database::Impl& impl, PageAllocator& allocator, const TableDef& def) {
    const Format& f = *impl.format;
    TdefChain chain = loadTdefChain(*impl.pager, f, def.tdefPage);
    // Bytes of the table block whose meaning is unknown stay as they were.
    const std::vector<std::uint8_t> definition = buildTableDefinition(f, def, chain.bytes);
    std::vector<std::uint32_t> pages = std::move(chain.pages);
    const std::size_t need = tableDefinitionPages(f, definition.size());
    while (pages.size() < need) pages.push_back(allocator.allocate());
    while (pages.size() > need) {
        allocator.release(pages.back());
        pages.pop_back();
    }
    const auto images = splitTableDefinition(f, definition, pages);
    for (std::size_t i = 0; i < images.size(); ++i)
        std::memcpy(impl.pager->modify(pages[i]), images[i].data(), f.pageSize);
}

// ---- creating files -----------------------------------------------------

std::vector<std::uint8_t> Database::emptyImage(Version version) {
    return buildEmptyDatabase(version);
}

std::unique_ptr<Database> Database::create(const std::filesystem::path& path, Version version) {
    // Complete or absent after a crash, never an empty file in the way.
    const std::string why = writeNewFile(path, buildEmptyDatabase(version));
    if (!why.empty()) throw Error(Error::Kind::Io, "cannot create the file: " + why).addFile(path);
    return open(path, OpenMode::ReadWrite);
}

// ---- tables -------------------------------------------------------------

namespace {

[[noreturn]] void invalidColumn(const std::string& column, const std::string& why) {
    throw Error(Error::Kind::Invalid, why).addColumn(column);
}

// The new table's columns, checked and laid out.
TableDef layOutTable(const Format& f, const std::string& name,
                     const std::vector<ColumnSpec>& specs) {
    TableLayoutBuilder layout(f);
    for (const ColumnSpec& s : specs) {
        if (auto why = nameProblem(f, s.name); !why.empty()) invalidColumn(s.name, why);
        for (const ColumnDef& other : layout.table().columns)
            if (namesEqual(other.name, s.name)) invalidColumn(s.name, "the name is used twice");
        ColumnDef c;
        c.name = s.name;
        c.type = s.type;
        c.flags = s.required ? 0x00 : 0x02;
        if (s.autoNumber) {
            if (s.type != ColumnType::Long)
                invalidColumn(s.name, "only a Long Integer can be AutoNumber");
            c.flags = 0x06;  // as Access: AutoNumber and "may be Null" (it never is)
        }
        if (s.type == ColumnType::Text || s.type == ColumnType::Binary) {
            int n = s.length == 0 ? 255 : s.length;
            if (n < 1 || n > 255)
                invalidColumn(s.name, "the size must be 1 to 255, not " + std::to_string(s.length));
            c.length = layout.variableLength(s.type, n);
        }
        if (s.type == ColumnType::Text || s.type == ColumnType::Memo)
            c.extraFlags = f.compressedText;
        if (s.type == ColumnType::Numeric) {
            if (!f.decimalColumns)
                invalidColumn(s.name, "Decimal columns need an Access 2000 database");
            if (s.precision < 1 || s.precision > 28 || s.scale > s.precision)
                invalidColumn(s.name,
                              "Decimal precision must be 1 to 28 and scale at most the precision");
            c.precision = s.precision;
            c.scale = s.scale;
        }
        layout.add(std::move(c));
    }
    TableDef def = std::move(layout.table());
    def.name = name;
    return def;
}

// The smallest row this table can have must fit the format.
void checkSmallestRow(const Format& f, const TableDef& def) {
    RowLayout layout = RowLayout::of(def);
    Row minimal(def.columns.size());
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (isLongValue(def.columns[i].type)) minimal[i] = Bytes(12, 0);
    std::vector<std::uint8_t> bytesOut;
    std::size_t size = buildRow(f, layout, minimal, bytesOut);
    if (size > f.maxRowSize)
        invalid("the table's rows would take " + std::to_string(size) +
                " bytes, more than the format's limit of " + std::to_string(f.maxRowSize));
}

// Empty usage maps: the table's two, two per memo/OLE column.
void placeUsageMaps(Database::Impl& impl, PageAllocator& allocator, TableDef& def) {
    const Format& f = *impl.format;
    std::size_t longValues = 0;
    for (const ColumnDef& c : def.columns) longValues += isLongValue(c.type) ? 1 : 0;
    const std::size_t mapCount = 2 + 2 * longValues;
    const std::uint32_t maps = mapPage(impl, allocator, mapCount);
    std::vector<std::uint32_t> pointers;
    for (std::size_t i = 0; i < mapCount; ++i) {
        std::uint8_t row =
            datapage::addRow({impl.pager->modify(maps), f.pageSize}, f, inlineMapRow(f, 0, {}));
        pointers.push_back(bytes::rowPointer(maps, row));
    }
    def.ownedPagesMap = pointers[0];
    def.freeSpaceMap = pointers[1];
    std::size_t next = 2;
    for (const ColumnDef& c : def.columns) {
        if (!isLongValue(c.type)) continue;
        def.longValueMaps.push_back({c.number, pointers[next], pointers[next + 1]});
        next += 2;
    }
}

// The definition, on as many pages as it needs; sets def.tdefPage.
void writeDefinition(Database::Impl& impl, PageAllocator& allocator, TableDef& def) {
    const Format& f = *impl.format;
    std::vector<std::uint8_t> definition = buildTableDefinition(f, def);
    std::vector<std::uint32_t> tdefPages;
    for (std::size_t i = 0; i < tableDefinitionPages(f, definition.size()); ++i)
        tdefPages.push_back(allocator.allocate());
    def.tdefPage = tdefPages[0];
    auto images = splitTableDefinition(f, definition, tdefPages);
    for (std::size_t i = 0; i < images.size(); ++i)
        std::memcpy(impl.pager->modify(tdefPages[i]), images[i].data(), f.pageSize);
}

// The catalog row of a new table, owned by the database's owner.
void addCatalogRow(Database::Impl& impl, const Catalog& catalog, const TableDef& def) {
    const Format& f = *impl.format;
    auto objects = impl.tableDef("MSysObjects");
    const std::size_t nameCol = columnIndex(*objects, "Name");
    const std::size_t ownerCol = columnIndex(*objects, "Owner");
    const std::size_t parentCol = columnIndex(*objects, "ParentId");
    Bytes owner = defaultOwnerSid(f.version);
    {
        TableScanner scanner(*impl.pager, f, *objects, impl.codePage());
        Row row;
        while (scanner.next(row)) {
            if (row[nameCol].is<std::string>() && row[nameCol].as<std::string>() == "MSysDb" &&
                row[parentCol] == Value(std::int64_t{catalogids::databases})) {
                if (row[ownerCol].is<Bytes>()) owner = row[ownerCol].as<Bytes>();
                break;
            }
        }
    }
    const DateTime created = now();
    Row entry(objects->columns.size());
    entry[columnIndex(*objects, "Id")] = std::int64_t{def.tdefPage};
    entry[parentCol] =
        std::int64_t{catalog.tablesContainer ? catalog.tablesContainer : catalogids::tables};
    entry[nameCol] = def.name;
    entry[columnIndex(*objects, "Type")] = std::int64_t{catalogids::typeTable};
    entry[columnIndex(*objects, "DateCreate")] = created;
    entry[columnIndex(*objects, "DateUpdate")] = created;
    entry[ownerCol] = owner;
    entry[columnIndex(*objects, "Flags")] = std::int64_t{0};
    Appender(impl, objects).append(entry);
}

// Access rights: full access for every account the Tables container
// names, as Access itself does for new tables.
void addAccessRights(Database::Impl& impl, const Catalog& catalog, std::uint32_t tdefPage) {
    const Format& f = *impl.format;
    auto aces = impl.tableDef("MSysACEs");
    const std::size_t objectCol = columnIndex(*aces, "ObjectId");
    const std::size_t sidCol = columnIndex(*aces, "SID");
    std::vector<Bytes> sids;
    {
        TableScanner scanner(*impl.pager, f, *aces, impl.codePage());
        Row row;
        const Value container = std::int64_t{catalog.tablesContainer};
        while (scanner.next(row)) {
            if (row[objectCol] == container && row[sidCol].is<Bytes>() &&
                std::find(sids.begin(), sids.end(), row[sidCol].as<Bytes>()) == sids.end())
                sids.push_back(row[sidCol].as<Bytes>());
        }
    }
    if (sids.empty()) sids = defaultTableAceSids(f.version);
    Appender aceWriter(impl, aces);
    for (const Bytes& sid : sids) {
        Row ace(aces->columns.size());
        ace[objectCol] = std::int64_t{tdefPage};
        ace[sidCol] = sid;
        ace[columnIndex(*aces, "ACM")] = std::int64_t{1048575};
        ace[columnIndex(*aces, "FInheritable")] = false;
        aceWriter.append(ace);
    }
}

}  // namespace

void Database::createTable(const std::string& name, const std::vector<ColumnSpec>& specs) try {
    Impl& impl = *impl_;
    Impl::WriteScope scope(impl);
    const Format& f = *impl.format;

    if (auto why = nameProblem(f, name); !why.empty()) invalid(why);
    const Catalog& catalog = impl.catalogCache();
    for (const CatalogEntry& e : catalog.objects) {
        if ((e.parentId == catalog.tablesContainer || e.type == 1) && namesEqual(e.name, name))
            invalid("an object of that name exists");
    }
    if (specs.empty()) invalid("a table needs at least one column");
    if (specs.size() > f.maxColumns)
        invalid("a table may have at most " + std::to_string(f.maxColumns) + " columns");

    TableDef def = layOutTable(f, name, specs);
    checkSmallestRow(f, def);
    PageAllocator allocator(*impl.pager, f);
    placeUsageMaps(impl, allocator, def);
    writeDefinition(impl, allocator, def);
    addCatalogRow(impl, catalog, def);
    addAccessRights(impl, catalog, def.tdefPage);

    impl.invalidate();
    scope.commit();
} catch (Error& e) {
    impl_->addContext(e, name);
    throw;
}

void Database::dropTable(std::string_view name) try {
    Impl& impl = *impl_;
    Impl::WriteScope scope(impl);
    const Format& f = *impl.format;
    const CatalogEntry* entry = impl.findTable(name);
    if (!entry) invalid("cannot drop the table: there is no such table");
    if (entry->isSystem() || entry->tdefPage() <= 5)
        invalid("cannot drop the table: it is a system table");
    const std::int32_t id = entry->id;
    const std::uint32_t tdefPage = entry->tdefPage();
    auto def = impl.tableDef(name);
    // Index pages held in memory reach the pager first: the catalog's are
    // edited below, the table's are freed.
    flushIndexes(impl);
    discardTableIndexes(impl, tdefPage);

    // Every page the table owns.
    std::set<std::uint32_t> pages;
    for (std::uint32_t p : loadTdefChain(*impl.pager, f, tdefPage).pages) pages.insert(p);
    collectMapPages(impl, def->ownedPagesMap, pages);
    for (const LongValueMaps& m : def->longValueMaps) collectMapPages(impl, m.ownedPages, pages);
    for (const PhysicalIndex& p : def->physicalIndexes) {
        pages.insert(p.rootPage);
        collectMapPages(impl, p.usageMap, pages);
    }
    // The map rows go; pages are given back.
    std::vector<std::uint32_t> mapRows = {def->ownedPagesMap, def->freeSpaceMap};
    for (const LongValueMaps& m : def->longValueMaps) {
        mapRows.push_back(m.ownedPages);
        mapRows.push_back(m.freeSpacePages);
    }
    for (const PhysicalIndex& p : def->physicalIndexes) mapRows.push_back(p.usageMap);
    std::set<std::uint32_t> uniqueMaps(mapRows.begin(), mapRows.end());
    for (std::uint32_t m : uniqueMaps)
        if (m != 0) deleteRow(impl, m);
    PageAllocator allocator(*impl.pager, f);
    std::size_t released = 0;
    for (std::uint32_t p : pages) {
        if (p <= 1 || p >= impl.pager->pageCount()) continue;
        allocator.release(p);
        // Each freed page is changed: a big table would otherwise be held
        // in memory whole until the commit.
        if (++released % 1024 == 0) impl.pager->spillIfNeeded();
    }

    // Catalog row and access entries.
    auto objects = impl.tableDef("MSysObjects");
    const std::size_t idCol = columnIndex(*objects, "Id");
    const Value idValue = std::int64_t{id};
    removeObjectRows(impl, *objects,
                     findRows(impl, *objects, [&](const Row& r) { return r[idCol] == idValue; }));
    auto aces = impl.tableDef("MSysACEs");
    const std::size_t objectCol = columnIndex(*aces, "ObjectId");
    removeObjectRows(impl, *aces,
                     findRows(impl, *aces, [&](const Row& r) { return r[objectCol] == idValue; }));
    // The catalog's index pages changed under any copies held in memory.
    discardIndexes(impl);

    impl.invalidate();
    scope.commit();
} catch (Error& e) {
    impl_->addContext(e, name);
    throw;
}

// ---- rows ---------------------------------------------------------------

void Database::insertRow(std::string_view table, std::span<const Value> row) try {
    Impl& impl = *impl_;
    Impl::WriteScope scope(impl);
    auto def = impl.tableDef(table);
    if (def->isSystem) invalid("rows cannot be added to a system table directly");
    Appender(impl, def).append(row);
    scope.commit();
} catch (Error& e) {
    impl_->addContext(e, table);
    throw;
}

struct RowInserter::State {
    Database::Impl* impl;
    std::unique_ptr<Appender> appender;
};

RowInserter Database::inserter(std::string_view table) try {
    impl_->requireWritable();
    auto def = impl_->tableDef(table);
    if (def->isSystem) invalid("rows cannot be added to a system table directly");
    auto state = std::make_unique<RowInserter::State>();
    state->impl = impl_.get();
    state->appender = std::make_unique<Appender>(*impl_, def);
    // Some files hold AutoNumber values above the counter in their definition
    // (Northwind's Orders does): new values start above the largest present.
    for (std::size_t i = 0; i < def->columns.size(); ++i) {
        if (!def->columns[i].isAutoNumber() || def->rowCount == 0) continue;
        std::int64_t largest = 0;
        TableScanner scanner(*impl_->pager, *impl_->format, *def, impl_->codePage());
        std::span<const std::uint8_t> raw;
        while (scanner.nextRaw(raw)) {
            auto fields = crackRow(raw, *def, *impl_->format);
            Value v =
                decodeField(fields[i], def->columns[i], *impl_->format, impl_->codePage(), nullptr);
            if (v.is<std::int64_t>()) largest = std::max(largest, v.as<std::int64_t>());
        }
        state->appender->setAutoNumberFloor(
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(largest, 0, 0x7FFFFFFF)));
    }
    return RowInserter(std::move(state));
} catch (Error& e) {
    impl_->addContext(e, table);
    throw;
}

RowInserter::RowInserter(std::unique_ptr<State> state) : state_(std::move(state)) {}
RowInserter::RowInserter(RowInserter&&) noexcept = default;
RowInserter& RowInserter::operator=(RowInserter&&) noexcept = default;
RowInserter::~RowInserter() = default;

const TableDef& RowInserter::table() const { return state_->appender->table(); }

void RowInserter::insert(std::span<const Value> row) try {
    Database::Impl::WriteScope scope(*state_->impl);
    state_->appender->append(row);
    scope.commit();
} catch (Error& e) {
    state_->impl->addContext(e, table().name);
    throw;
}

}  // namespace jet
