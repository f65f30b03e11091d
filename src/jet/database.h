#pragma once

// The public face of the engine. A Database is one open .mdb file.
//
// Changes are made inside a transaction: begin(), any number of table, index
// and row changes, commit(). Changed pages stay in memory until the commit,
// which writes them through a rollback journal beside the file ("<file>-journal")
// so that a crash leaves the database as it was before the commit or after it;
// the next open rolls a leftover journal back. A change made outside begin()
// commits by itself. Closing or destroying the Database with a transaction open
// discards it.
//
// Several programs may open one file: one writer (ReadWrite) and any number
// of readers (ReadOnly). Every reading call of a reader, and each RowCursor
// until its end, sees the file as one committed state, before or after any
// commit, never between; a ReadSnapshot makes several calls see the same
// one. A commit waits for the readers of the moment to finish, while new
// ones wait for it; either side waits at most the busy timeout, then fails
// with Error::Kind::Busy (a commit failing so is rolled back, as any).

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "jet/error.h"
#include "jet/types.h"

namespace jet {

class Format;

enum class OpenMode { ReadOnly, ReadWrite };

class RowCursor;
class RowInserter;
class ReadSnapshot;

class Database {
public:
    // Writes a new, empty database of the given version at path. Fails when a
    // file already exists there.
    static std::unique_ptr<Database> create(const std::filesystem::path& path, Version version);
    // The bytes of a new, empty database: what create() writes. Deterministic.
    static std::vector<std::uint8_t> emptyImage(Version version);
    // Opens an existing database. ReadWrite takes the writer's lock; a second
    // writer gets Error::Kind::Busy.
    static std::unique_ptr<Database> open(const std::filesystem::path& path,
                                          OpenMode mode = OpenMode::ReadWrite);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::filesystem::path& path() const;
    // How long a read or a commit waits for the other side (default 10 s).
    void setBusyTimeout(std::chrono::milliseconds timeout);
    // Holds the file still for reading until the snapshot is destroyed (a
    // writer's own Database needs none: nobody else changes its file).
    ReadSnapshot snapshot() const;
    Version version() const;
    const Format& format() const;
    std::uint16_t codePage() const;  // Jet 3 text encoding (1252 unless the header says so)
    // Reads Jet 3 text (names and values) in this code page rather than the
    // header's; 0 returns to the header's. Access 97 files made on machines
    // with another ANSI code page hold their text in it while the header may
    // still say 1252. Jet 4 text is Unicode and unaffected. Writing text in a
    // code page other than 1252 stays refused.
    void setTextCodePage(std::uint16_t codePage);

    // Catalog. Names compare without regard to letter case, as in Access.
    std::vector<std::string> tableNames(bool includeSystem = false) const;
    bool hasTable(std::string_view name) const;
    const TableDef& table(std::string_view name) const;  // Invalid when missing

    // Definitions.
    void createTable(const std::string& name, const std::vector<ColumnSpec>& columns);
    void dropTable(std::string_view name);
    void createIndex(std::string_view table, const IndexSpec& index);

    // Rows. Values are converted to each column's type; a value that cannot be
    // converted, or a required column left Null, fails naming the column and
    // stores nothing.
    RowCursor scan(std::string_view table) const;
    void insertRow(std::string_view table, std::span<const Value> row);
    // For many rows into one table: resolves the table once.
    RowInserter inserter(std::string_view table);

    // Index checks: key order, page links and levels, one entry per row,
    // uniqueness. Returns one line per problem; empty when every index is sound.
    std::vector<std::string> verifyIndexes(std::string_view table) const;

    // Transactions.
    void begin();
    void commit();
    // Commits as commit() does, while the pages are written and synced in
    // the background: for a long run of transactions, where the next one
    // can be built meanwhile. Those committed while the disk is still busy
    // are written together, as one. A commit, rollback or statement that
    // must write the file waits for them; any call that finds one failed
    // throws its failure, after undoing it and all since; destroying the
    // Database waits too. Durable once such a call has returned.
    //
    // A table being filled while its indexes are empty gets them built in
    // key order when commit() or closing ends the filling; until then these
    // commits leave its indexes out of the file (a reader, or a crash, finds
    // the committed rows without them). Each row is still checked against
    // them as it comes.
    void commitInBackground();
    void rollback();
    bool inTransaction() const;

    struct Impl;
    Impl& impl() { return *impl_; }
    const Impl& impl() const { return *impl_; }

private:
    explicit Database(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class ReadSnapshot {
public:
    ReadSnapshot(ReadSnapshot&& other) noexcept;
    ReadSnapshot& operator=(ReadSnapshot&& other) noexcept;
    ~ReadSnapshot();
    void release();

private:
    friend class Database;
    friend class RowCursor;
    explicit ReadSnapshot(const Database::Impl& impl);
    const Database::Impl* impl_;
};

// Walks every row of a table in storage order. Long values are read whole.
class RowCursor {
public:
    RowCursor(RowCursor&&) noexcept;
    RowCursor& operator=(RowCursor&&) noexcept;
    ~RowCursor();
    bool next();                   // false at the end
    const Row& row() const;        // values in TableDef::columns order
    const TableDef& table() const;

    struct State;

private:
    friend class Database;
    explicit RowCursor(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Appends rows to one table. Rows go into pages in memory; the transaction
// decides when they reach the file.
class RowInserter {
public:
    RowInserter(RowInserter&&) noexcept;
    RowInserter& operator=(RowInserter&&) noexcept;
    ~RowInserter();
    const TableDef& table() const;
    void insert(std::span<const Value> row);

    struct State;

private:
    friend class Database;
    explicit RowInserter(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace jet
