#pragma once

// The file under the engine: fixed-size pages read through a bounded cache,
// changed pages kept in memory until commit, and a rollback journal that
// makes each commit atomic.
//
// Journal "<file>-journal", holding the original bytes of every page the
// transaction overwrites, written and synced before the first such page is:
//   header, 36 bytes:
//     0  8  magic "FVJRNL03" ("FVJRNL02": records summed by FNV-1a 64)
//     8  4  page size
//     12 8  file length before the transaction
//     20 8  salt (differs per transaction)
//     28 8  FNV-1a 64 of bytes 0-27
//   records, each page size + 12 bytes:
//     0  4  page number
//     4  .. the page's original bytes
//     .. 8  checksum of salt, page number and bytes (recordSum in pager.cpp)
// All numbers little-endian. Playing a journal back writes every record up
// to the first one that is cut short or fails its checksum (those were
// never followed by a write to the database), cuts the file to its old
// length (removing appended pages), syncs, and deletes the journal. A journal
// whose header is bad (never acted on, or voided by a commit) is just
// deleted. A commit ends by zeroing the journal's header and syncing it:
// that is the commit point. The void journal stays for the next
// transaction, which saves creating, deleting and two folder syncs per
// commit; closing the pager deletes it.
//
// A commit in the background (commitInBackground()) hands its pages to a
// writer thread that journals, writes and syncs them as commit() would,
// while the caller goes on with the next transaction in memory. Commits
// handed over while the writer is busy join the one waiting for it, which
// the writer then writes as one: each page held and written once, one
// journal, one set of syncs. So a disk slower than the caller writes fewer,
// larger commits instead of holding the caller up; readers then see those
// transactions appear together. A call that writes the file itself (commit,
// spill, rollback, closing) first waits for the queue, and any call that
// finds a failed background commit throws it, after undoing it and
// everything since. So a background commit is as atomic as any, and durable
// by the end of the next call that waits: a crash before loses it and the
// queued ones after it.
//
// A transaction larger than the dirty-page limit spills at a safe point
// (spillIfNeeded(), between statements), and no page a reader can reach
// changes before the commit: appended pages go to the file past its
// committed end (the journal, synced first, records that end, so a crash
// cuts them off again), changed pages go to a private unnamed spill file.
// The commit journals and writes them like any other.
//
// Locks: open-file-description byte locks (fcntl F_OFD_SETLK), as SQLite
// takes them, on bytes far past any page the format can address (page
// numbers are 24 bits in row pointers, so no file reaches 64 GiB):
//   2^40      pending   writer: taken before exclusive; readers pass it
//                       (read lock, briefly) on their way to shared, so a
//                       waiting commit stops new readers and is not starved
//   2^40 + 1  reserved  the writer's, write lock, held while it is open:
//                       one writer at a time
//   2^40 + 2  shared    readers: read lock for one read transaction;
//                       the committing writer: write lock (exclusive)
//                       while it puts pages in place and deletes the journal
// Byte locks on the file itself also work where it is read-only (a read
// lock needs only read access), and leave no lock file behind; they are
// advisory, so readers that do not lock (mdbtools) are not hindered. Being
// per open file description, two Pagers in one process exclude each other
// like two processes. A writer also holds flock(), which is all that
// writers of earlier builds took, and recovery needs it too. Where the file
// system has no byte locks, the pager goes on without them.
//
// A journal is hot (left by a crash) when it exists while nobody holds the
// reserved lock. Whoever finds one under a shared lock plays it back under
// pending + exclusive, before taking reserved; a reader without write access
// reads through it instead. A journal beside a held reserved lock belongs to
// a live writer and is ignored, except that its recorded length bounds the
// reader's view. Waits are bounded (setBusyTimeout()); past it, Busy.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "jet/error.h"

namespace jet {

using Page = std::vector<std::uint8_t>;
using PageRef = std::shared_ptr<const Page>;

// One step of a commit or a recovery, seen by the write hook before it runs.
struct IoStep {
    enum class Kind { JournalWrite, JournalSync, PageWrite, FileSync, Truncate, JournalVoid };
    Kind kind;
    std::uint32_t page = 0;  // PageWrite: the page number
};
// Returns false to make the step fail as if the disk refused it.
using WriteHook = std::function<bool(const IoStep&)>;

class Pager {
public:
    // Opens an existing file. writable takes the writer's (reserved) lock and
    // needs a writable file and folder. A leftover journal is played back
    // first; a reader without write access reads through it instead.
    static std::unique_ptr<Pager> open(const std::filesystem::path& path, bool writable);
    // A read-only pager over bytes in memory (no file, no lock): for tests
    // and fuzzing. path only names it in messages.
    static std::unique_ptr<Pager> fromImage(std::vector<std::uint8_t> image, std::uint32_t pageSize,
                                            const std::filesystem::path& path = "<memory>");
    // Plays back a hot journal of path, if any. Returns true when it did.
    // Throws when it cannot (busy file, no write access).
    static bool recover(const std::filesystem::path& path,
                        std::chrono::milliseconds busyTimeout = std::chrono::seconds(10));
    static std::filesystem::path journalPath(const std::filesystem::path& path);

    ~Pager();
    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    const std::filesystem::path& path() const { return path_; }
    bool writable() const { return writable_; }

    // A reader's read transaction: holds the shared lock (waiting, bounded,
    // while a commit is under way) and sees the file as one committed state
    // until the matching endRead(). Nested calls share the outermost one.
    // Returns true when the outermost begins: clean pages read earlier were
    // dropped, and so must be whatever the caller derived from them. A
    // writer, which no one else can change the file under, gets false.
    bool beginRead();
    void endRead();
    void setBusyTimeout(std::chrono::milliseconds timeout) { busyTimeout_ = timeout; }

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

    bool hasChanges() const {
        return !dirty_.empty() || pageCount_ != queuedEnd() || !spilled_.empty();
    }
    std::size_t dirtyPageCount() const { return dirty_.size(); }
    void commit();
    // Commits as commit() does, writing in the background (see above). A
    // transaction that spilled commits at once.
    void commitInBackground();
    // Discards the transaction's changes (playing back the journal if some
    // pages were already spilled).
    void rollback();

    // Moves the transaction's pages out of memory early (see above) when
    // more than the limit are held; first waits for background commits
    // while their pages and these are more than the limit. Only call it when
    // no pointer from modify() is in use: spilled pages get new buffers on
    // their next modify(). A lower limit may be given for this call.
    void spillIfNeeded(std::size_t limit = 0);
    // The limit in pages; by default 32 MB of them, whatever the page size.
    void setDirtyLimit(std::size_t pages) {
        dirtyLimit_ = pages < 4 ? 4 : pages;
        dirtyLimitSet_ = true;
    }

    void setWriteHook(WriteHook hook) { hook_ = std::move(hook); }
    // Fewer pages than the format allows, so that tests reach a full file
    // cheaply; 0 = the format's limit (PageAllocator enforces either).
    void setPageLimit(std::uint32_t pages) { pageLimit_ = pages; }
    std::uint32_t pageLimit() const { return pageLimit_; }
    void setCacheLimit(std::size_t pages);
    std::size_t cachedPageCount() const { return cache_.size(); }

private:
    Pager(std::filesystem::path path, int fd, bool writable);
    void step(const IoStep& s) const;
    bool playBack();
    void openJournal(std::uint32_t base);
    void voidJournal(std::uint32_t base);
    void syncJournal();
    // base: the pages in the file before the transaction being journaled.
    void journalHeader(std::uint8_t* header, std::uint32_t base) const;
    using DirtyPages = std::unordered_map<std::uint32_t, std::shared_ptr<Page>>;
    using Originals = std::unordered_map<std::uint32_t, PageRef>;
    // Journals the pages' originals, puts the pages in place, and voids the
    // journal. The exclusive lock is held on return, and on a throw.
    void writeCommit(const DirtyPages& pages, Originals& originals,
                     std::unordered_set<std::uint32_t>& journaled, std::uint32_t base);
    void journalPages(const DirtyPages& pages, const Originals& originals,
                      std::unordered_set<std::uint32_t>& journaled, std::uint32_t base);
    void writeDirtyPages(const DirtyPages& pages, std::uint32_t base);
    struct Background;
    // Waits for every background commit (all) or the oldest, then reaps.
    void settle(bool all = true);
    // Takes finished background commits off the queue; undoes a failed one
    // and everything since, and throws its failure.
    void reap();
    // The pages in the file once every queued commit is written.
    std::uint32_t queuedEnd() const {
        return inflight_.empty() ? filePages_ : inflight_.back()->pageCount;
    }
    // Pages held by background commits (only the caller changes them).
    std::size_t inflightPages() const {
        std::size_t n = 0;
        for (const auto& job : inflight_) n += job->pages.size();
        return n;
    }
    void writeQueued();  // the writer thread
    void writeBackground(const Background& job);
    void stopWriter();
    void spillPage(std::uint32_t number, const Page& page);
    void readSpilled(std::uint32_t number, std::uint8_t* out) const;
    void dropSpill();
    // Locks (see above). try*/held return at once; lock* wait up to the
    // busy timeout and then throw Busy naming what they waited for.
    bool trySetLock(short type, std::uint64_t byte);
    bool heldByOther(std::uint64_t byte) const;
    bool tryShared();
    void lockShared();
    void lockExclusive(bool holdingShared = false);
    void unlockExclusive();  // back to no lock but reserved (if held)
    void unlockAll();
    bool hotJournal() const;
    bool playBackHot();  // under shared; takes and releases exclusive
    void openWriter();
    void refreshView();
    void undoInPlace();
    // The transaction spilled: the spill file, the file or the journal holds some of it.
    bool wroteEarly() const { return !spilled_.empty() || grown_ || journalEnd_ != 0; }
    void endTransaction();
    void writeAll(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset,
                  const IoStep& s) const;
    void syncFd(int fd, IoStep::Kind kind) const;
    std::vector<std::uint32_t> dirtyInOrder(const DirtyPages& pages) const;
    void failIfBroken() const;
    void remember(std::uint32_t number, PageRef page) const;
    [[noreturn]] void ioError(const std::string& what) const;

    std::filesystem::path path_;
    int fd_ = -1;
    std::vector<std::uint8_t> image_;  // fromImage(): the whole "file"
    // A reader's view of a file whose leftover journal it may not play back:
    // the journal's pages and length stand in for the file's.
    std::unordered_map<std::uint32_t, std::vector<std::uint8_t>> overlay_;
    std::uint64_t overlayLength_ = 0;
    std::uint32_t overlayPageSize_ = 0;
    bool writable_ = false;
    // What the file holds for this reader: its length, or less (see above).
    std::uint64_t viewLength_ = 0;
    int readDepth_ = 0;
    bool exclusive_ = false;
    mutable bool noLocks_ = false;  // the file system has no byte locks
    std::chrono::milliseconds busyTimeout_{10000};
    // A commit failed and could not be undone in place. Set by a background
    // commit too, while the caller reads it.
    std::atomic<bool> broken_ = false;
    std::uint32_t pageSize_ = 0;
    std::uint32_t filePages_ = 0;  // pages on disk
    std::uint32_t pageCount_ = 0;  // with appended pages
    DirtyPages dirty_;

    // The journal, kept open between transactions; journalEnd_ is 0 until
    // the open transaction writes its header.
    int journalFd_ = -1;
    std::uint64_t journalEnd_ = 0;
    std::uint64_t salt_ = 0;
    std::unordered_set<std::uint32_t> journaled_;  // pages whose original is saved
    // Clean copies of changed pages, taken from the cache, for the journal.
    Originals originals_;
    std::vector<std::uint8_t> journalBuffer_;  // records on their way out
    // Spilled pages that were in the file: their slot in spillFd_.
    std::unordered_map<std::uint32_t, std::uint64_t> spilled_;
    int spillFd_ = -1;
    bool grown_ = false;       // appended pages spilled past the committed end
    bool touched_ = false;     // committed pages were overwritten
    bool journalNew_ = false;  // its folder entry not yet synced
    std::size_t dirtyLimit_ = 8192;
    bool dirtyLimitSet_ = false;

    // Clean pages, least recently used first.
    std::size_t cacheLimit_ = 4096;
    mutable std::list<std::uint32_t> lru_;
    struct Cached {
        PageRef page;
        std::list<std::uint32_t>::iterator position;
    };
    mutable std::unordered_map<std::uint32_t, Cached> cache_;
    WriteHook hook_;
    std::uint32_t pageLimit_ = 0;

    // A commit on its way to the file in the background. Its pages are read
    // from here until it is written (the cache may drop them before they are
    // in the file). The writer only reads them; of the pager it uses the file,
    // the journal and the locks, which the caller leaves alone while any
    // commit is queued (calls that touch them wait for the queue first).
    struct Background {
        DirtyPages pages;
        std::uint32_t base = 0;       // pages in the file before it
        std::uint32_t pageCount = 0;  // and after it
        // Set by the writer, under writerLock_.
        bool done = false;
        std::exception_ptr failure;
    };
    // Queued or being written, oldest first; the caller's.
    std::deque<std::shared_ptr<Background>> inflight_;
    // Shared with the writer, under writerLock_.
    std::mutex writerLock_;
    std::condition_variable writerChanged_;
    // Not yet taken; later commits join it.
    std::shared_ptr<Background> queued_;
    std::exception_ptr writerFailure_;  // the writer stopped at it
    bool writerStop_ = false;
    std::thread writer_;
};

}  // namespace jet

namespace jet {
// The error for a damaged structure: names the file and the page.
Error corruptPage(const Pager& pager, std::uint32_t page, const std::string& what);
}  // namespace jet
