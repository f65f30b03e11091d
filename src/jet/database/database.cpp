#include "jet/database.h"

#include "jet/database/database_impl.h"
#include "jet/database/index_maintenance.h"
#include "jet/table/row_reader.h"
#include "jet/table/tdef_reader.h"
#include "jet/values/text.h"

#include <utility>

namespace jet {

namespace {
constexpr std::size_t kHeaderPrefix = 0x18 + 128;
}  // namespace

// ---- Impl -------------------------------------------------------------------

const Catalog& Database::Impl::catalogCache() const {
    if (!catalog) catalog = readCatalog(*pager, *format, codePage());
    return *catalog;
}

const CatalogEntry* Database::Impl::findTable(std::string_view name) const {
    for (const CatalogEntry* e : catalogCache().tables())
        if (namesEqual(e->name, name)) return e;
    return nullptr;
}

std::shared_ptr<const TableDef> Database::Impl::tableDef(std::string_view name) const {
    const CatalogEntry* e = findTable(name);
    if (!e) throw Error(Error::Kind::Invalid, "no such table").addFile(path).addTable(name);
    auto it = tables.find(e->tdefPage());
    if (it != tables.end()) return it->second;
    TableDef def = readTableDef(*pager, *format, e->tdefPage(), codePage());
    def.name = e->name;
    def.isSystem = def.isSystem || e->isSystem();
    if (auto w = withheldIndexes.find(e->tdefPage());
        w != withheldIndexes.end() && def.physicalIndexes.empty()) {
        def.physicalIndexes = w->second.physical;
        def.indexes = w->second.logical;
    }
    auto shared = std::make_shared<const TableDef>(std::move(def));
    tables.emplace(e->tdefPage(), shared);
    return shared;
}

const TableDef& Database::Impl::publish(std::shared_ptr<const TableDef> def) const {
    auto& slot = handedOut[def->tdefPage];
    if (slot != def) {
        if (slot) retired.push_back(std::move(slot));
        if (retired.size() > 64) retired.pop_front();
        slot = std::move(def);
    }
    return *slot;
}

void Database::Impl::invalidate() const {
    catalog.reset();
    tables.clear();
}

void Database::Impl::invalidateTable(std::uint32_t tdefPage) const { tables.erase(tdefPage); }

void Database::Impl::requireWritable() const {
    if (readOnly) throw Error(Error::Kind::Invalid, "the file is open read-only").addFile(path);
}

Database::Impl::WriteScope::WriteScope(Impl& impl) : impl_(impl), implicit_(!impl.inTransaction) {
    impl_.requireWritable();
}

Database::Impl::WriteScope::~WriteScope() {
    if (implicit_ && !done_) impl_.forgetChanges();
}

void Database::Impl::forgetChanges() noexcept {
    try {
        pager->rollback();
    } catch (...) {
        // A background commit failed; it is undone, and so is all after it.
    }
    invalidate();
    discardIndexes(*this);
}

void Database::Impl::WriteScope::commit() {
    done_ = true;
    if (!implicit_) {
        // Between statements no page pointer is held: a safe point to spill.
        try {
            impl_.pager->spillIfNeeded();
        } catch (...) {
            // The pager dropped the transaction: so does what was derived
            // from its pages, and the transaction ends.
            impl_.inTransaction = false;
            impl_.forgetChanges();
            throw;
        }
        return;
    }
    try {
        flushIndexes(impl_);
        impl_.pager->commit();
    } catch (...) {
        // Rows must not outlive index entries that never made it.
        impl_.forgetChanges();
        throw;
    }
}

// ---- Database ---------------------------------------------------------------

Database::Database(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Database::~Database() {
    if (impl_) impl_->finishFillings();
}

void Database::Impl::finishFillings() noexcept {
    if (readOnly || !fillingsPending(*this)) return;
    try {
        // An open transaction is discarded, as closing does; what was
        // committed gets its indexes.
        if (inTransaction) {
            inTransaction = false;
            forgetChanges();
        }
        flushIndexes(*this);
        pager->commit();
    } catch (...) {
        forgetChanges();
    }
}

std::unique_ptr<Database> Database::open(const std::filesystem::path& path, OpenMode mode) try {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->readOnly = mode == OpenMode::ReadOnly;
    impl->pager = Pager::open(path, !impl->readOnly);
    const ReadSnapshot snapshot(*impl);
    impl->header = parseHeader(impl->pager->readPrefix(kHeaderPrefix), path);
    impl->format = &Format::of(impl->header.version);
    impl->pager->setPageSize(impl->format->pageSize);
    if (impl->pager->pageCount() <= kCatalogPage)
        throw Error(Error::Kind::Corrupt, "the file is damaged: it ends before its system catalog");
    // Reading the catalog now turns a damaged file into an error at open.
    impl->catalogCache();
    return std::unique_ptr<Database>(new Database(std::move(impl)));
} catch (Error& e) {
    e.addFile(path);
    throw;
}

const std::filesystem::path& Database::path() const { return impl_->path; }
void Database::setBusyTimeout(std::chrono::milliseconds timeout) {
    impl_->pager->setBusyTimeout(timeout);
}
ReadSnapshot Database::snapshot() const { return ReadSnapshot(*impl_); }
Version Database::version() const { return impl_->header.version; }
const Format& Database::format() const { return *impl_->format; }
std::uint16_t Database::codePage() const { return impl_->codePage(); }

void Database::setTextCodePage(std::uint16_t codePage) {
    if (impl_->inTransaction)
        throw Error(Error::Kind::Invalid,
                    "the text code page cannot change while a transaction is open")
            .addFile(impl_->path);
    if (codePage != 0 && !canDecodeCodePage(codePage))
        throw Error(Error::Kind::Unsupported,
                    "code page " + std::to_string(codePage) + " is not known on this system");
    impl_->textCodePage = codePage;
    // Names were read in the old code page.
    impl_->invalidate();
}

std::vector<std::string> Database::tableNames(bool includeSystem) const try {
    const ReadSnapshot snapshot(*impl_);
    std::vector<std::string> out;
    for (const CatalogEntry* e : impl_->catalogCache().tables())
        if (includeSystem || !e->isSystem()) out.push_back(e->name);
    return out;
} catch (Error& e) {
    impl_->addContext(e);
    throw;
}

bool Database::hasTable(std::string_view name) const try {
    const ReadSnapshot snapshot(*impl_);
    return impl_->findTable(name) != nullptr;
} catch (Error& e) {
    impl_->addContext(e);
    throw;
}

const TableDef& Database::table(std::string_view name) const try {
    const ReadSnapshot snapshot(*impl_);
    return impl_->publish(impl_->tableDef(name));
} catch (Error& e) {
    impl_->addContext(e, name);
    throw;
}

RowCursor Database::scan(std::string_view name) const try {
    auto state = std::make_unique<RowCursor::State>();
    state->snapshot.emplace(ReadSnapshot(*impl_));
    state->table = impl_->tableDef(name);
    state->scanner = std::make_unique<TableScanner>(*impl_->pager, *impl_->format, *state->table,
                                                    impl_->codePage());
    return RowCursor(std::move(state));
} catch (Error& e) {
    impl_->addContext(e, name);
    throw;
}

void Database::begin() {
    impl_->requireWritable();
    if (impl_->inTransaction)
        throw Error(Error::Kind::Invalid, "a transaction is already open").addFile(impl_->path);
    impl_->inTransaction = true;
}

void Database::commit() try {
    impl_->commitTransaction(false);
} catch (Error& e) {
    impl_->addContext(e);
    throw;
}

void Database::commitInBackground() try {
    impl_->commitTransaction(true);
} catch (Error& e) {
    impl_->addContext(e);
    throw;
}

void Database::Impl::commitTransaction(bool inBackground) {
    if (!inTransaction) throw Error(Error::Kind::Invalid, "no transaction is open");
    inTransaction = false;
    try {
        flushIndexes(*this, inBackground ? IndexFlush::KeepFilling : IndexFlush::Complete);
        if (inBackground)
            pager->commitInBackground();
        else
            pager->commit();
    } catch (...) {
        // Rows must not outlive index entries that never made it.
        forgetChanges();
        throw;
    }
}

void Database::rollback() try {
    if (!impl_->inTransaction) return;
    impl_->inTransaction = false;
    // What was derived from the pages goes even when the pager reports a
    // failed background commit.
    struct Forget {
        Impl& impl;
        ~Forget() {
            impl.invalidate();
            discardIndexes(impl);
        }
    } forget{*impl_};
    impl_->pager->rollback();
} catch (Error& e) {
    impl_->addContext(e);
    throw;
}

bool Database::inTransaction() const { return impl_->inTransaction; }

// ---- ReadSnapshot -----------------------------------------------------------

ReadSnapshot::ReadSnapshot(const Database::Impl& impl) : impl_(&impl) {
    // A fresh view: whatever was derived from the pages read before goes.
    if (impl.pager->beginRead()) impl.invalidate();
}
ReadSnapshot::ReadSnapshot(ReadSnapshot&& other) noexcept
    : impl_(std::exchange(other.impl_, nullptr)) {}
ReadSnapshot& ReadSnapshot::operator=(ReadSnapshot&& other) noexcept {
    if (this != &other) {
        release();
        impl_ = std::exchange(other.impl_, nullptr);
    }
    return *this;
}
ReadSnapshot::~ReadSnapshot() { release(); }
void ReadSnapshot::release() {
    if (impl_) impl_->pager->endRead();
    impl_ = nullptr;
}

// ---- RowCursor --------------------------------------------------------------

RowCursor::RowCursor(std::unique_ptr<State> state) : state_(std::move(state)) {}
RowCursor::RowCursor(RowCursor&&) noexcept = default;
RowCursor& RowCursor::operator=(RowCursor&&) noexcept = default;
RowCursor::~RowCursor() = default;

bool RowCursor::next() try {
    if (state_->scanner->next(state_->row)) return true;
    state_->snapshot.reset();
    return false;
} catch (Error& e) {
    e.addTable(state_->table->name);
    throw;
}
const Row& RowCursor::row() const { return state_->row; }
const TableDef& RowCursor::table() const { return *state_->table; }

}  // namespace jet
