#pragma once

// The file under the engine: fixed-size pages read through a bounded cache,
// changed pages kept in memory until commit, and a rollback journal that
// makes each commit atomic.
//
// Journal "<file>-journal", written before any page of the database changes:
//   0   8  magic "FVJRNL01"
//   8   4  page size
//   12  8  file length before the commit
//   20  4  number of page records
//   24  .. records: 4-byte page number, then the page's original bytes
//   end 8  FNV-1a 64 checksum of everything before it
// All numbers little-endian. The journal is synced before the first page is
// written and deleted (then the folder synced) once the pages are synced.
// A journal that is incomplete or fails its checksum was never acted on and
// is simply removed; a complete one is played back: original pages written,
// the file cut to its old length, synced, journal removed. Pages appended by
// the commit need no record: cutting the length removes them.
//
// One writer at a time: a writable Pager holds an exclusive flock() on the
// file (per open file, so two Databases in one process exclude each other
// too). Readers take no lock; they only need it to recover a journal.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/error.h"

namespace jet {

using Page = std::vector<std::uint8_t>;
using PageRef = std::shared_ptr<const Page>;

// One step of a commit or a recovery, seen by the write hook before it runs.
struct IoStep {
    enum class Kind { JournalWrite, JournalSync, PageWrite, FileSync, Truncate, JournalDelete };
    Kind kind;
    std::uint32_t page = 0;  // PageWrite: the page number
};
// Returns false to make the step fail as if the disk refused it.
using WriteHook = std::function<bool(const IoStep&)>;

class Pager {
public:
    // Opens an existing file. writable takes the writer's lock and needs a
    // writable file and folder. A leftover journal is played back first.
    static std::unique_ptr<Pager> open(const std::filesystem::path& path, bool writable);
    // Creates a new, empty file (fails if one exists) and holds the lock.
    static std::unique_ptr<Pager> create(const std::filesystem::path& path, std::uint32_t pageSize);
    // A read-only pager over bytes in memory (no file, no lock): for tests
    // and fuzzing. path only names it in messages.
    static std::unique_ptr<Pager> fromImage(std::vector<std::uint8_t> image, std::uint32_t pageSize,
                                            const std::filesystem::path& path = "<memory>");
    // Plays back a leftover journal of path, if any. Returns true when one was
    // found. Throws when it cannot (busy file, no write access).
    static bool recover(const std::filesystem::path& path);
    static std::filesystem::path journalPath(const std::filesystem::path& path);

    ~Pager();
    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    const std::filesystem::path& path() const { return path_; }
    bool writable() const { return writable_; }

    // Raw bytes from the start of the file, for reading the header before
    // the page size is known. Returns fewer bytes at end of file.
    std::vector<std::uint8_t> readPrefix(std::size_t length) const;
    void setPageSize(std::uint32_t pageSize);
    std::uint32_t pageSize() const { return pageSize_; }
    // Pages in the file plus pages appended in this transaction.
    std::uint32_t pageCount() const { return pageCount_; }

    // A page as it is now (with this transaction's changes). Corrupt when the
    // page lies beyond the end of the file.
    PageRef page(std::uint32_t number) const;
    // The page's bytes for changing; it becomes part of the next commit. The
    // pointer stays valid until commit() or rollback().
    std::uint8_t* modify(std::uint32_t number);
    // A new zero-filled page at the end of the file; returns its number.
    std::uint32_t append();

    bool hasChanges() const { return !dirty_.empty() || pageCount_ != filePages_; }
    std::size_t dirtyPageCount() const { return dirty_.size(); }
    void commit();
    void rollback();

    void setWriteHook(WriteHook hook) { hook_ = std::move(hook); }
    void setCacheLimit(std::size_t pages);
    std::size_t cachedPageCount() const { return cache_.size(); }

private:
    Pager(std::filesystem::path path, int fd, bool writable);
    void step(const IoStep& s) const;
    void writeAll(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset,
                  const IoStep& s) const;
    void syncFd(int fd, IoStep::Kind kind) const;
    void failIfBroken() const;
    void remember(std::uint32_t number, PageRef page) const;
    [[noreturn]] void ioError(const std::string& what) const;

    std::filesystem::path path_;
    int fd_ = -1;
    std::vector<std::uint8_t> image_;  // fromImage(): the whole "file"
    bool writable_ = false;
    bool broken_ = false;  // a commit failed and could not be undone in place
    std::uint32_t pageSize_ = 0;
    std::uint32_t filePages_ = 0;  // pages on disk
    std::uint32_t pageCount_ = 0;  // with appended pages
    std::map<std::uint32_t, std::shared_ptr<Page>> dirty_;

    // Clean pages, least recently used first.
    std::size_t cacheLimit_ = 4096;
    mutable std::list<std::uint32_t> lru_;
    struct Cached {
        PageRef page;
        std::list<std::uint32_t>::iterator position;
    };
    mutable std::unordered_map<std::uint32_t, Cached> cache_;
    WriteHook hook_;
};

}  // namespace jet

namespace jet {
// The error for a damaged structure: names the file and the page.
Error corruptPage(const Pager& pager, std::uint32_t page, const std::string& what);
}  // namespace jet
