#pragma once

// What a Database holds, shared by the engine's parts (reading here, the
// writers in database_write.cpp and the index code). Not part of the public
// interface.

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "jet/database/catalog.h"
#include "jet/error.h"
#include "jet/file/format.h"
#include "jet/file/header.h"
#include "jet/file/pager.h"
#include "jet/file/usagemap.h"
#include "jet/table/row_reader.h"

namespace jet {

struct IndexSession;

struct Database::Impl {
    std::filesystem::path path;
    const Format* format = nullptr;
    Header header;
    std::unique_ptr<Pager> pager;
    bool readOnly = true;
    bool inTransaction = false;
    // Index pages changed in memory (index_maintenance.h): written before each
    // commit, dropped on rollback.
    std::shared_ptr<IndexSession> indexSession;
    // The indexes of a table being filled, kept out of the file's definition
    // between its commits until the filling ends (index_maintenance.h). The
    // definitions read here carry them all the same.
    struct WithheldIndexes {
        std::string table;
        std::vector<PhysicalIndex> physical;
        std::vector<LogicalIndex> logical;
    };
    std::map<std::uint32_t, WithheldIndexes> withheldIndexes;  // by TDEF page

    // Caches, dropped by invalidate() whenever the catalog or a table
    // definition may have changed (and after a rollback).
    mutable std::optional<Catalog> catalog;
    mutable std::map<std::uint32_t, std::shared_ptr<const TableDef>> tables;  // by TDEF page
    // Database::table() hands out references: the last definition returned
    // per table stays alive, and the most recent replaced ones too (bounded,
    // so a long run of changes does not pile them up).
    mutable std::map<std::uint32_t, std::shared_ptr<const TableDef>> handedOut;
    mutable std::deque<std::shared_ptr<const TableDef>> retired;
    const TableDef& publish(std::shared_ptr<const TableDef> def) const;

    std::uint16_t textCodePage = 0;  // the caller's choice for Jet 3 text; 0: the header's
    std::uint16_t codePage() const {
        if (textCodePage != 0 && !format->unicodeText) return textCodePage;
        return header.codePage ? header.codePage : 1252;
    }
    const Catalog& catalogCache() const;
    // The catalog row of a local table; nullptr when there is none.
    const CatalogEntry* findTable(std::string_view name) const;
    // The definition of a table by name; Invalid when missing.
    std::shared_ptr<const TableDef> tableDef(std::string_view name) const;
    void invalidate() const;
    void invalidateTable(std::uint32_t tdefPage) const;
    // Drops the transaction's changes and all derived from them; a failed
    // background commit that surfaces here is undone too, unreported.
    void forgetChanges() noexcept;
    void commitTransaction(bool inBackground);
    // Builds the indexes of tables still being filled and commits them: the
    // last chance, as the Database closes. Failing leaves those tables
    // without their indexes, the file sound.
    void finishFillings() noexcept;

    // Fails with Invalid naming the file when the database is read-only.
    void requireWritable() const;
    // Names this file, and the table when given, in an error on its way out.
    void addContext(Error& e, std::string_view table = {}) const {
        e.addFile(path).addTable(table);
    }

    // Brackets one change made through the public interface: outside
    // begin()/commit() it commits by itself on commit() and discards the
    // change when destroyed without commit() (an error on the way).
    class WriteScope {
    public:
        explicit WriteScope(Impl& impl);
        ~WriteScope();
        WriteScope(const WriteScope&) = delete;
        WriteScope& operator=(const WriteScope&) = delete;
        void commit();

    private:
        Impl& impl_;
        bool implicit_;
        bool done_ = false;
    };
};

// Writes a table's definition anew, on as many pages as it now needs,
// keeping what the old one holds that the engine does not read.
void rewriteTableDefinition(Database::Impl& impl, PageAllocator& allocator, const TableDef& def);

struct RowCursor::State {
    std::optional<ReadSnapshot> snapshot;  // until the last row
    std::shared_ptr<const TableDef> table;
    std::unique_ptr<TableScanner> scanner;
    Row row;
};

}  // namespace jet
