#include "jet/file/pager.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <system_error>
#include <thread>

#include "jet/error.h"
#include "jet/file/bytes.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[8] = {'F', 'V', 'J', 'R', 'N', 'L', '0', '3'};
// Journals of earlier builds: the same layout, records summed byte by byte.
constexpr char kMagicFnv[8] = {'F', 'V', 'J', 'R', 'N', 'L', '0', '2'};
constexpr std::size_t kJournalHeader = 36;
constexpr std::size_t kRecordExtra = 12;  // page number + checksum
// Clean originals kept for the journal; past this, they are read back.
constexpr std::size_t kMaxOriginals = 1024;
// Changed pages held in memory, a commit being written included, before a
// transaction spills.
constexpr std::size_t kDirtyBytes = std::size_t{32} << 20;
// A journal kept between commits is cut back to its header past this.
constexpr std::uint64_t kKeptJournal = std::uint64_t{4} << 20;

std::string sysError() { return std::strerror(errno); }

std::uint64_t fnv1a(const std::uint8_t* data, std::size_t size, std::uint64_t h) {
    for (std::size_t i = 0; i < size; ++i) {
        h ^= data[i];
        h *= 1099511628211ULL;
    }
    return h;
}
constexpr std::uint64_t kFnvSeed = 14695981039346656037ULL;

void syncFolder(const fs::path& file) {
    fs::path dir = file.parent_path();
    if (dir.empty()) dir = ".";
    int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        ::fsync(d);
        ::close(d);
    }
}

bool readExact(int fd, std::uint8_t* data, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        ssize_t n = ::pread(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

// Read-only by permission, or by having no write bit at all: the latter
// also holds for the superuser, who would otherwise write anywhere.
bool isReadOnly(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return true;
    return ::access(p.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

std::uint64_t fileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t newSalt() {
    std::random_device device;
    return (std::uint64_t{device()} << 32) ^ device() ^
           static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

std::uint64_t recordSumFnv(std::uint64_t salt, const std::uint8_t* record, std::size_t size) {
    std::uint8_t s[8];
    bytes::putLe64(s, salt);
    return fnv1a(record, size, fnv1a(s, 8, kFnvSeed));
}

// Four lanes of 8-byte words, each step (lane ^ word) * odd prime: a step is
// a bijection of the lane, so any one changed word changes the sum. Eight
// bytes a step instead of one keeps journaling cheap next to the write.
std::uint64_t recordSum(std::uint64_t salt, const std::uint8_t* record, std::size_t size) {
    constexpr std::uint64_t kPrime = 1099511628211ULL;
    std::uint64_t lane[4] = {salt ^ kFnvSeed, salt + kFnvSeed, ~salt ^ kFnvSeed, salt * kPrime};
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32)
        for (std::size_t k = 0; k < 4; ++k)
            lane[k] = (lane[k] ^ bytes::le64(record + i + 8 * k)) * kPrime;
    std::uint64_t h = fnv1a(record + i, size - i, kFnvSeed ^ size);
    for (std::uint64_t l : lane) {
        h = (h ^ l ^ (l >> 29)) * 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 32;
    }
    return h;
}

// pwritev to the end, through short writes; false (errno set) on failure.
bool writeVectors(int fd, iovec* v, std::size_t count, std::uint64_t offset) {
    while (count > 0) {
        const ssize_t n = ::pwritev(fd, v, static_cast<int>(count), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        offset += static_cast<std::uint64_t>(n);
        for (auto left = static_cast<std::size_t>(n); left > 0;) {
            const std::size_t take = std::min(left, v->iov_len);
            v->iov_base = static_cast<std::uint8_t*>(v->iov_base) + take;
            v->iov_len -= take;
            left -= take;
            if (v->iov_len == 0) {
                ++v;
                --count;
            }
        }
    }
    return true;
}

// Reads a journal: calls record() for each intact record in order, stopping
// at the first one cut short or failing its checksum. Returns false when
// the header is unusable (the journal was never acted on).
bool readJournal(const fs::path& journal, std::uint32_t& pageSize, std::uint64_t& originalLength,
                 const std::function<void(std::uint32_t, const std::uint8_t*)>& record) {
    const int jfd = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC);
    if (jfd < 0) return false;
    std::uint8_t header[kJournalHeader];
    bool usable = readExact(jfd, header, kJournalHeader, 0);
    const bool fnv = usable && std::memcmp(header, kMagicFnv, 8) == 0;
    usable = usable && (fnv || std::memcmp(header, kMagic, 8) == 0) &&
             bytes::le64(header + 28) == fnv1a(header, 28, kFnvSeed);
    pageSize = usable ? bytes::le32(header + 8) : 0;
    if (!usable || pageSize < 512 || pageSize > 65536) {
        ::close(jfd);
        return false;
    }
    originalLength = bytes::le64(header + 12);
    const std::uint64_t salt = bytes::le64(header + 20);
    std::vector<std::uint8_t> buffer(pageSize + kRecordExtra);
    try {
        for (std::uint64_t offset = kJournalHeader;; offset += buffer.size()) {
            if (!readExact(jfd, buffer.data(), buffer.size(), offset)) break;
            const std::size_t body = 4 + pageSize;
            const std::uint64_t sum = fnv ? recordSumFnv(salt, buffer.data(), body)
                                          : recordSum(salt, buffer.data(), body);
            if (bytes::le64(buffer.data() + body) != sum) break;
            record(bytes::le32(buffer.data()), buffer.data() + 4);
        }
    } catch (...) {
        ::close(jfd);
        throw;
    }
    ::close(jfd);
    return true;
}

// The lock bytes (pager.h): past any page offset the format can reach.
constexpr std::uint64_t kPendingByte = std::uint64_t{1} << 40;
constexpr std::uint64_t kReservedByte = kPendingByte + 1;
constexpr std::uint64_t kSharedByte = kPendingByte + 2;

// Polling while a lock is taken: soon at first, then every 10 ms, so that a
// reader finds the gaps between a busy writer's commits.
void pause(int attempt) {
    static constexpr int kMs[] = {0, 1, 1, 2, 2, 5, 5};
    const int ms = attempt < 7 ? kMs[attempt] : 10;
    if (ms == 0)
        ::sched_yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The file length a journal's header records; 0 when the header is not
// (yet) whole.
std::uint64_t journalLength(const fs::path& journal) {
    const int jfd = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC);
    if (jfd < 0) return 0;
    std::uint8_t header[kJournalHeader];
    const bool whole =
        readExact(jfd, header, kJournalHeader, 0) &&
        (std::memcmp(header, kMagic, 8) == 0 || std::memcmp(header, kMagicFnv, 8) == 0) &&
        bytes::le64(header + 28) == fnv1a(header, 28, kFnvSeed);
    ::close(jfd);
    return whole ? bytes::le64(header + 12) : 0;
}

bool writableHere(const fs::path& path) {
    fs::path dir = path.parent_path();
    if (dir.empty()) dir = ".";
    return !isReadOnly(path) && !isReadOnly(dir);
}

}  // namespace

Error corruptPage(const Pager& pager, std::uint32_t page, const std::string& what) {
    return Error(Error::Kind::Corrupt, "the file is damaged: " + what)
        .addFile(pager.path())
        .addPage(page);
}

fs::path Pager::journalPath(const fs::path& path) {
    fs::path j = path;
    j += "-journal";
    return j;
}

Pager::Pager(fs::path path, int fd, bool writable)
    : path_(std::move(path)), fd_(fd), writable_(writable) {}

Pager::~Pager() {
    // An open transaction is discarded; pages it spilled are put back. A
    // background commit that failed is undone on the way, unreported.
    if (writable_) {
        try {
            settle();
        } catch (...) {
        }
        rollback();
        stopWriter();
    }
    dropSpill();
    if (journalFd_ >= 0) {
        // Void since the last commit, so no folder sync: were it to come
        // back after a crash, it would only be deleted.
        ::close(journalFd_);
        if (!broken_) ::unlink(journalPath(path_).c_str());
    }
    if (fd_ >= 0) ::close(fd_);  // closing drops the locks
}

[[noreturn]] void Pager::ioError(const std::string& what) const {
    throw Error(Error::Kind::Io, "cannot " + what + " the file: " + sysError()).addFile(path_);
}

void Pager::step(const IoStep& s) const {
    if (hook_ && !hook_(s)) {
        errno = EIO;
        throw Error(Error::Kind::Io, "writing to the file failed (injected fault)").addFile(path_);
    }
}

void Pager::writeAll(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset,
                     const IoStep& s) const {
    step(s);
    while (size > 0) {
        ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ioError("write to");
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
}

void Pager::syncFd(int fd, IoStep::Kind kind) const {
    step({kind, 0});
    if (::fsync(fd) != 0) ioError("flush");
}

// ---- locks ------------------------------------------------------------------

bool Pager::trySetLock(short type, std::uint64_t byte) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(byte);
    fl.l_len = 1;
    while (!noLocks_ && ::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return false;
        // A file system without byte locks: go on unlocked, as before them.
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL) {
            noLocks_ = true;
            break;
        }
        ioError("lock");
    }
    return true;
}

bool Pager::heldByOther(std::uint64_t byte) const {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(byte);
    fl.l_len = 1;
    while (!noLocks_ && ::fcntl(fd_, F_OFD_GETLK, &fl) != 0) {
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL)
            noLocks_ = true;
        else if (errno != EINTR)
            ioError("test the locks of");
    }
    return !noLocks_ && fl.l_type != F_UNLCK;
}

bool Pager::tryShared() {
    // Passing the pending byte keeps new readers out while a commit waits.
    if (!trySetLock(F_RDLCK, kPendingByte)) return false;
    const bool got = trySetLock(F_RDLCK, kSharedByte);
    trySetLock(F_UNLCK, kPendingByte);
    return got;
}

void Pager::lockShared() {
    const auto deadline = std::chrono::steady_clock::now() + busyTimeout_;
    for (int attempt = 0; !tryShared(); ++attempt) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw Error(Error::Kind::Busy,
                        "cannot read the file: another program is committing to it")
                .addFile(path_);
        pause(attempt);
    }
}

void Pager::lockExclusive(bool holdingShared) {
    const auto deadline = std::chrono::steady_clock::now() + busyTimeout_;
    for (int attempt = 0; !trySetLock(F_WRLCK, kPendingByte); ++attempt) {
        // Readers pass the pending byte in a moment; someone holding it for
        // long is another program recovering the file, which waits for our
        // shared lock in turn: then we give way at once.
        if (holdingShared && attempt >= 3)
            throw Error(Error::Kind::Busy,
                        "cannot recover the file: another program is recovering it")
                .addFile(path_);
        if (std::chrono::steady_clock::now() >= deadline)
            throw Error(Error::Kind::Busy,
                        "cannot write to the file: another program is writing to it")
                .addFile(path_);
        pause(attempt);
    }
    for (int attempt = 0; !trySetLock(F_WRLCK, kSharedByte); ++attempt) {
        if (std::chrono::steady_clock::now() >= deadline) {
            trySetLock(F_UNLCK, kPendingByte);
            throw Error(Error::Kind::Busy,
                        "cannot write to the file: other programs are still reading it")
                .addFile(path_);
        }
        pause(attempt);
    }
    exclusive_ = true;
}

void Pager::unlockExclusive() {
    if (!exclusive_) return;
    trySetLock(F_UNLCK, kSharedByte);
    trySetLock(F_UNLCK, kPendingByte);
    exclusive_ = false;
}

void Pager::unlockAll() {
    trySetLock(F_UNLCK, kSharedByte);
    trySetLock(F_UNLCK, kPendingByte);
    exclusive_ = false;
}

bool Pager::hotJournal() const {
    std::error_code ec;
    return fs::exists(journalPath(path_), ec) && !heldByOther(kReservedByte);
}

bool Pager::playBackHot() {
    lockExclusive(true);
    bool done = false;
    try {
        // Another program may have put it right while we waited. A journal
        // whose header is bad was never acted on: it only goes.
        // Writers of earlier builds only held flock(): one of them alive
        // means the journal is not hot after all.
        if (hotJournal() && ::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            playBack();
            if (::unlink(journalPath(path_).c_str()) != 0) ioError("remove the journal of");
            syncFolder(path_);
            done = true;
        }
    } catch (...) {
        unlockExclusive();
        throw;
    }
    // Back to shared: the caller goes on reading or takes reserved.
    trySetLock(F_RDLCK, kSharedByte);
    trySetLock(F_UNLCK, kPendingByte);
    exclusive_ = false;
    return done;
}

bool Pager::recover(const fs::path& path, std::chrono::milliseconds busyTimeout) {
    fs::path journal = journalPath(path);
    std::error_code ec;
    if (!fs::exists(journal, ec)) return false;
    int fd = writableHere(path) ? ::open(path.c_str(), O_RDWR | O_CLOEXEC) : -1;
    if (fd < 0) {
        const std::string why =
            writableHere(path) ? sysError() : "the file or its folder is read-only";
        throw Error(Error::Kind::Io, "cannot recover the file: an interrupted commit left " +
                                         quoted(journal) +
                                         " and rolling it back needs write access (" + why + ")")
            .addFile(path);
    }
    Pager p(path, fd, true);  // closes fd, dropping its locks
    p.busyTimeout_ = busyTimeout;
    p.lockShared();
    return p.hotJournal() && p.playBackHot();
}

void Pager::openWriter() {
    const auto busy = [&]() -> Error {
        return Error(Error::Kind::Busy,
                     "cannot open the file for writing: another program is writing to it")
            .addFile(path_);
    };
    if (heldByOther(kReservedByte)) throw busy();
    const auto deadline = std::chrono::steady_clock::now() + busyTimeout_;
    for (int attempt = 0;; ++attempt) {
        lockShared();
        try {
            if (hotJournal()) playBackHot();
            break;
        } catch (const Error& e) {
            unlockAll();
            if (e.kind() != Error::Kind::Busy || std::chrono::steady_clock::now() >= deadline)
                throw;
            pause(attempt);
        }
    }
    try {
        if (!trySetLock(F_WRLCK, kReservedByte) || ::flock(fd_, LOCK_EX | LOCK_NB) != 0)
            throw busy();
        // A writer that died between our look and our lock left its journal.
        std::error_code ec;
        if (fs::exists(journalPath(path_), ec)) {
            unlockAll();  // shared, which a recovering reader would wait for
            lockExclusive();
            playBack();
            if (::unlink(journalPath(path_).c_str()) != 0) ioError("remove the journal of");
            syncFolder(path_);
        }
    } catch (...) {
        unlockAll();
        throw;
    }
    unlockAll();  // reserved stays
    viewLength_ = fileSize(fd_);
}

// A reader's view under its shared lock: the file, bounded by a live
// writer's journal, or read through a hot one it may not play back.
void Pager::refreshView() {
    overlay_.clear();
    overlayLength_ = 0;
    overlayPageSize_ = 0;
    cache_.clear();
    lru_.clear();
    std::uint64_t length = fileSize(fd_);
    const fs::path journal = journalPath(path_);
    std::error_code ec;
    if (fs::exists(journal, ec)) {
        if (heldByOther(kReservedByte)) {
            // Pages past this end are a live transaction's, spilled early.
            if (const std::uint64_t committed = journalLength(journal); committed != 0)
                length = std::min(length, committed);
        } else {
            std::unordered_map<std::uint32_t, std::vector<std::uint8_t>> overlay;
            std::uint32_t pageSize = 0;
            std::uint64_t original = 0;
            if (readJournal(journal, pageSize, original,
                            [&](std::uint32_t number, const std::uint8_t* data) {
                                overlay.try_emplace(number, data, data + pageSize);
                            })) {
                overlay_ = std::move(overlay);
                overlayLength_ = original;
                overlayPageSize_ = pageSize;
                length = std::min(length, original);
            }
        }
    }
    viewLength_ = length;
    if (pageSize_ != 0) {
        if (overlayPageSize_ != 0 && overlayPageSize_ != pageSize_)
            throw Error(Error::Kind::Corrupt, "the journal does not match the file's page size")
                .addFile(path_);
        filePages_ = static_cast<std::uint32_t>(viewLength_ / pageSize_);
        pageCount_ = filePages_;
    }
}

bool Pager::beginRead() {
    if (writable_ || fd_ < 0) return false;
    if (readDepth_ > 0) {
        ++readDepth_;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + busyTimeout_;
    bool readThrough = !writableHere(path_);
    for (int attempt = 0;; ++attempt) {
        lockShared();
        try {
            if (readThrough || !hotJournal()) {
                refreshView();
                break;
            }
        } catch (...) {
            unlockAll();
            throw;
        }
        // A crash left the journal: put the file right, then read.
        unlockAll();
        try {
            // Not played back though hot: a writer of an earlier build holds
            // it; read through it.
            if (!recover(path_, busyTimeout_)) readThrough = true;
        } catch (const Error& e) {
            // Where it cannot be put right, it is read through.
            if (e.kind() == Error::Kind::Io) readThrough = true;
            if (e.kind() == Error::Kind::Busy && std::chrono::steady_clock::now() >= deadline)
                throw;
            if (e.kind() != Error::Kind::Io && e.kind() != Error::Kind::Busy) throw;
            pause(attempt);
        }
    }
    readDepth_ = 1;
    return true;
}

void Pager::endRead() {
    if (writable_ || fd_ < 0 || readDepth_ == 0) return;
    if (--readDepth_ == 0) unlockAll();
}

// ---- opening ----------------------------------------------------------------

std::unique_ptr<Pager> Pager::open(const fs::path& path, bool writable) {
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        throw Error(Error::Kind::Io, "cannot open the file: no such file").addFile(path);
    if (fs::is_directory(status))
        throw Error(Error::Kind::Io, "cannot open the file: it is a folder").addFile(path);

    if (writable) {
        if (isReadOnly(path))
            throw Error(Error::Kind::Io, "cannot open the file for writing: the file is read-only")
                .addFile(path);
        fs::path dir = path.parent_path();
        if (dir.empty()) dir = ".";
        if (isReadOnly(dir))
            throw Error(Error::Kind::Io,
                        "cannot open the file for writing: its folder is read-only, so the "
                        "commit journal cannot be written")
                .addFile(path);
    }
    int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        throw Error(Error::Kind::Io, std::string("cannot open the file") +
                                         (writable ? " for writing: " : ": ") + std::strerror(err))
            .addFile(path);
    }
    std::unique_ptr<Pager> p(new Pager(path, fd, writable));
    if (writable) {
        p->openWriter();
    } else {
        // Recovers a leftover journal now, or reads through it.
        p->beginRead();
        p->endRead();
    }
    return p;
}

std::unique_ptr<Pager> Pager::fromImage(std::vector<std::uint8_t> image, std::uint32_t pageSize,
                                        const fs::path& path) {
    std::unique_ptr<Pager> p(new Pager(path, -1, false));
    p->image_ = std::move(image);
    p->viewLength_ = p->image_.size();
    p->setPageSize(pageSize);
    return p;
}

std::vector<std::uint8_t> Pager::readPrefix(std::size_t length) const {
    if (fd_ < 0) {
        const std::size_t n = std::min(length, image_.size());
        return std::vector<std::uint8_t>(image_.begin(), image_.begin() + static_cast<long>(n));
    }
    if (auto o = overlay_.find(0); o != overlay_.end()) {
        const std::size_t n = std::min(length, o->second.size());
        return std::vector<std::uint8_t>(o->second.begin(),
                                         o->second.begin() + static_cast<long>(n));
    }
    std::vector<std::uint8_t> out(length);
    std::size_t got = 0;
    while (got < length) {
        ssize_t n = ::pread(fd_, out.data() + got, length - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ioError("read");
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return out;
}

void Pager::setPageSize(std::uint32_t pageSize) {
    pageSize_ = pageSize;
    if (!dirtyLimitSet_ && pageSize != 0) dirtyLimit_ = kDirtyBytes / pageSize;
    if (overlayPageSize_ != 0 && overlayPageSize_ != pageSize)
        throw Error(Error::Kind::Corrupt, "the journal does not match the file's page size")
            .addFile(path_);
    filePages_ = static_cast<std::uint32_t>(viewLength_ / pageSize);
    pageCount_ = filePages_;
    dirty_.clear();
    cache_.clear();
    lru_.clear();
}

void Pager::setCacheLimit(std::size_t pages) {
    cacheLimit_ = pages < 16 ? 16 : pages;
    while (cache_.size() > cacheLimit_) {
        cache_.erase(lru_.front());
        lru_.pop_front();
    }
}

void Pager::failIfBroken() const {
    if (broken_)
        throw Error(Error::Kind::Io, "the file needs recovery after a failed commit; open it again")
            .addFile(path_);
}

void Pager::remember(std::uint32_t number, PageRef page) const {
    if (cache_.size() >= cacheLimit_) {
        cache_.erase(lru_.front());
        lru_.pop_front();
    }
    lru_.push_back(number);
    cache_.emplace(number, Cached{std::move(page), std::prev(lru_.end())});
}

// ---- pages ------------------------------------------------------------------

PageRef Pager::page(std::uint32_t number) const {
    failIfBroken();
    if (auto d = dirty_.find(number); d != dirty_.end()) return d->second;
    if (number >= pageCount_)
        throw corruptPage(
            *this, number,
            "the page lies beyond the end of the file (" + std::to_string(pageCount_) + " pages)");
    // A cached page is the latest clean one: a page leaves the cache when it
    // is changed, and a commit puts it back.
    if (auto c = cache_.find(number); c != cache_.end()) {
        lru_.splice(lru_.end(), lru_, c->second.position);
        return c->second.page;
    }
    for (auto job = inflight_.rbegin(); job != inflight_.rend(); ++job)
        if (auto b = (*job)->pages.find(number); b != (*job)->pages.end()) return b->second;
    auto page = std::make_shared<Page>(pageSize_);
    if (auto o = overlay_.find(number); o != overlay_.end()) {
        std::memcpy(page->data(), o->second.data(), pageSize_);
    } else if (fd_ < 0) {
        std::memcpy(page->data(), image_.data() + std::size_t{number} * pageSize_, pageSize_);
    } else if (spilled_.count(number)) {
        readSpilled(number, page->data());
    } else if (!readExact(fd_, page->data(), pageSize_, std::uint64_t{number} * pageSize_)) {
        ioError("read page " + std::to_string(number) + " of");
    }
    remember(number, page);
    return page;
}

std::uint8_t* Pager::modify(std::uint32_t number) {
    if (!writable_) throw Error(Error::Kind::Invalid, "the file is open read-only").addFile(path_);
    if (auto d = dirty_.find(number); d != dirty_.end()) return d->second->data();
    auto copy = std::make_shared<Page>(*page(number));
    if (auto c = cache_.find(number); c != cache_.end()) {
        // The clean page is the original the journal wants: no read then
        // (unless it is a spilled page, which is not the original).
        if (number < filePages_ && originals_.size() < kMaxOriginals && !journaled_.count(number) &&
            !spilled_.count(number))
            originals_.emplace(number, c->second.page);
        lru_.erase(c->second.position);
        cache_.erase(c);
    }
    std::uint8_t* data = copy->data();
    dirty_.emplace(number, std::move(copy));
    return data;
}

std::uint32_t Pager::append() {
    if (!writable_) throw Error(Error::Kind::Invalid, "the file is open read-only").addFile(path_);
    failIfBroken();
    std::uint32_t number = pageCount_++;
    dirty_.emplace(number, std::make_shared<Page>(pageSize_));
    return number;
}

// ---- journal and commit -----------------------------------------------------

bool Pager::playBack() {
    std::uint32_t pageSize = 0;
    std::uint64_t originalLength = 0;
    const bool usable =
        readJournal(journalPath(path_), pageSize, originalLength,
                    [&](std::uint32_t number, const std::uint8_t* data) {
                        writeAll(fd_, data, pageSize, std::uint64_t{number} * pageSize,
                                 {IoStep::Kind::PageWrite, number});
                    });
    if (!usable) return false;
    step({IoStep::Kind::Truncate, 0});
    if (::ftruncate(fd_, static_cast<off_t>(originalLength)) != 0) ioError("truncate");
    syncFd(fd_, IoStep::Kind::FileSync);
    return true;
}

void Pager::openJournal(std::uint32_t base) {
    if (journalEnd_ != 0) return;
    if (journalFd_ < 0) {
        const fs::path journal = journalPath(path_);
        journalFd_ = ::open(journal.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (journalFd_ < 0) ioError("write the commit journal of");
        journalNew_ = true;
    }
    // Records an earlier transaction left further on fail their checksum
    // under the new salt.
    salt_ = newSalt();
    std::uint8_t header[kJournalHeader];
    journalHeader(header, base);
    writeAll(journalFd_, header, kJournalHeader, 0, {IoStep::Kind::JournalWrite, 0});
    journalEnd_ = kJournalHeader;
}

// A journal just created also needs its folder entry on disk.
void Pager::syncJournal() {
    syncFd(journalFd_, IoStep::Kind::JournalSync);
    if (journalNew_) syncFolder(journalPath(path_));
    journalNew_ = false;
}

void Pager::journalHeader(std::uint8_t* header, std::uint32_t base) const {
    std::memcpy(header, kMagic, 8);
    bytes::putLe32(header + 8, pageSize_);
    bytes::putLe64(header + 12, std::uint64_t{base} * pageSize_);
    bytes::putLe64(header + 20, salt_);
    bytes::putLe64(header + 28, fnv1a(header, 28, kFnvSeed));
}

// The commit point. Its length unchanged, the journal needs only a data sync.
void Pager::voidJournal(std::uint32_t base) {
    const std::uint8_t zeros[kJournalHeader] = {};
    writeAll(journalFd_, zeros, kJournalHeader, 0, {IoStep::Kind::JournalVoid, 0});
    try {
        step({IoStep::Kind::JournalSync, 0});
        if (::fdatasync(journalFd_) != 0) ioError("flush");
    } catch (...) {
        // Not known to be on disk, so not committed: the header goes back
        // (past the hook, which may refuse everything by now), so that the
        // rollback, here or on the next open, finds the originals.
        std::uint8_t header[kJournalHeader];
        journalHeader(header, base);
        if (::pwrite(journalFd_, header, kJournalHeader, 0) != static_cast<ssize_t>(kJournalHeader))
            broken_ = true;
        throw;
    }
    // A journal grown by a large transaction gives its room back; failing
    // that costs only room.
    if (journalEnd_ > kKeptJournal) {
        [[maybe_unused]] const int ignored = ::ftruncate(journalFd_, kJournalHeader);
    }
}

void Pager::journalPages(const DirtyPages& pages, const Originals& originals,
                         std::unordered_set<std::uint32_t>& journaled, std::uint32_t base) {
    openJournal(base);
    // Records are built in one kept buffer and go out in large writes.
    const std::size_t recordSize = pageSize_ + kRecordExtra;
    const std::size_t batch = 64;
    journalBuffer_.resize(batch * recordSize);
    std::size_t filled = 0;
    std::vector<std::uint32_t> pending;
    auto flush = [&] {
        if (filled == 0) return;
        writeAll(journalFd_, journalBuffer_.data(), filled * recordSize, journalEnd_,
                 {IoStep::Kind::JournalWrite, 0});
        journalEnd_ += filled * recordSize;
        filled = 0;
        journaled.insert(pending.begin(), pending.end());
        pending.clear();
    };
    // Committed pages are untouched until the commit writes them: the file
    // still holds every original.
    auto add = [&](std::uint32_t number) {
        if (number >= base || journaled.count(number)) return;
        std::uint8_t* record = journalBuffer_.data() + filled * recordSize;
        bytes::putLe32(record, number);
        if (auto o = originals.find(number); o != originals.end())
            std::memcpy(record + 4, o->second->data(), pageSize_);
        else if (!readExact(fd_, record + 4, pageSize_, std::uint64_t{number} * pageSize_))
            ioError("read page " + std::to_string(number) + " of");
        bytes::putLe64(record + 4 + pageSize_, recordSum(salt_, record, 4 + pageSize_));
        pending.push_back(number);
        if (++filled == batch) flush();
    };
    for (const auto& entry : pages) add(entry.first);
    for (const auto& entry : spilled_) add(entry.first);
    flush();
    syncJournal();
}

std::vector<std::uint32_t> Pager::dirtyInOrder(const DirtyPages& pages) const {
    std::vector<std::uint32_t> order;
    order.reserve(pages.size() + spilled_.size());
    for (const auto& entry : pages) order.push_back(entry.first);
    for (const auto& entry : spilled_)
        if (!pages.count(entry.first)) order.push_back(entry.first);
    std::sort(order.begin(), order.end());
    return order;
}

void Pager::writeDirtyPages(const DirtyPages& pages, std::uint32_t base) {
    // In file order, so appended pages extend the file; neighbouring pages
    // go out in one call. Spilled pages come back from the cache or the
    // spill file.
    const std::vector<std::uint32_t> order = dirtyInOrder(pages);
    constexpr std::size_t kRun = 256;
    std::vector<iovec> run;
    std::vector<std::uint8_t> scratch;
    for (std::size_t i = 0; i < order.size();) {
        run.clear();
        std::size_t used = 0;
        std::size_t j = i;
        do {
            const std::uint32_t number = order[j];
            step({IoStep::Kind::PageWrite, number});
            if (number < base) touched_ = true;
            std::uint8_t* data = nullptr;
            if (auto d = pages.find(number); d != pages.end()) {
                data = d->second->data();
            } else if (auto c = cache_.find(number); c != cache_.end()) {
                data = const_cast<std::uint8_t*>(c->second.page->data());
            } else {
                if (scratch.empty()) scratch.resize(kRun * pageSize_);
                data = scratch.data() + used++ * pageSize_;
                readSpilled(number, data);
            }
            run.push_back({data, pageSize_});
            ++j;
        } while (j < order.size() && order[j] == order[j - 1] + 1 && run.size() < kRun);
        if (!writeVectors(fd_, run.data(), run.size(), std::uint64_t{order[i]} * pageSize_))
            ioError("write to");
        i = j;
    }
}

void Pager::spillPage(std::uint32_t number, const Page& page) {
    if (spillFd_ < 0) {
        // Unnamed, so nothing is left behind; beside the file, where there
        // is room for it, or else in the temporary folder.
        fs::path dir = path_.parent_path();
        if (dir.empty()) dir = ".";
        spillFd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (spillFd_ < 0)
            spillFd_ =
                ::open(fs::temp_directory_path().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (spillFd_ < 0) ioError("make room for the changes to");
    }
    auto [slot, added] = spilled_.try_emplace(number, spilled_.size());
    std::uint64_t at = slot->second * pageSize_;
    const std::uint8_t* data = page.data();
    for (std::size_t left = pageSize_; left > 0;) {
        const ssize_t n = ::pwrite(spillFd_, data, left, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ioError("make room for the changes to");
        data += n;
        left -= static_cast<std::size_t>(n);
        at += static_cast<std::uint64_t>(n);
    }
    (void)added;
}

void Pager::readSpilled(std::uint32_t number, std::uint8_t* out) const {
    if (!readExact(spillFd_, out, pageSize_, spilled_.at(number) * pageSize_))
        ioError("read back the changes to");
}

void Pager::dropSpill() {
    if (spillFd_ >= 0) ::close(spillFd_);
    spillFd_ = -1;
    spilled_.clear();
}

void Pager::endTransaction() {
    journalEnd_ = 0;
    journaled_.clear();
    originals_.clear();
    dropSpill();
    grown_ = false;
    touched_ = false;
}

void Pager::undoInPlace() {
    dirty_.clear();
    cache_.clear();
    lru_.clear();
    pageCount_ = filePages_;
    const bool hadJournal = journalEnd_ != 0;
    if (journalFd_ >= 0) {
        ::close(journalFd_);
        journalFd_ = -1;
    }
    const fs::path journal = journalPath(path_);
    try {
        if (touched_) {
            // Only a commit overwrites committed pages, under the exclusive
            // lock, which is held until this is done.
            if (!playBack())
                throw Error(Error::Kind::Io, "the journal is unreadable").addFile(path_);
        } else if (grown_) {
            // Spilled pages past the committed end: cut them off.
            step({IoStep::Kind::Truncate, 0});
            if (::ftruncate(fd_, static_cast<off_t>(std::uint64_t{filePages_} * pageSize_)) != 0)
                ioError("truncate");
            syncFd(fd_, IoStep::Kind::FileSync);
        }
        if (hadJournal && (touched_ || grown_)) {
            step({IoStep::Kind::JournalVoid, 0});
            if (::unlink(journal.c_str()) != 0) ioError("remove the journal of");
            syncFolder(path_);
        } else {
            // The file was not written: the journal, if any, is worthless.
            ::unlink(journal.c_str());
        }
    } catch (...) {
        // The journal stays; the next open puts the file right. Readers are
        // kept out until then (the exclusive lock stays, if held).
        broken_ = true;
    }
    endTransaction();
    if (!broken_) unlockExclusive();
}

void Pager::rollback() {
    settle();
    if (broken_) return;
    if (wroteEarly()) {
        undoInPlace();
        return;
    }
    dirty_.clear();
    originals_.clear();
    pageCount_ = filePages_;
}

void Pager::spillIfNeeded(std::size_t limit) {
    if (broken_) return;
    limit = limit != 0 ? std::min(limit, dirtyLimit_) : dirtyLimit_;
    // Commits still being written hold their pages too: together with
    // these they keep to the limit.
    while (!inflight_.empty() && dirty_.size() + inflightPages() > limit) settle(false);
    if (dirty_.size() <= limit) return;
    settle();  // the journal is the writer's until then
    try {
        std::vector<std::uint32_t> appended;
        for (const auto& [number, data] : dirty_) {
            if (number < filePages_)
                spillPage(number, *data);
            else
                appended.push_back(number);
        }
        if (!appended.empty()) {
            // The committed length is on disk before the file grows past it.
            if (journalEnd_ == 0) {
                openJournal(filePages_);
                syncJournal();
            }
            std::sort(appended.begin(), appended.end());
            for (std::size_t i = 0; i < appended.size();) {
                std::vector<iovec> run;
                std::size_t j = i;
                do {
                    step({IoStep::Kind::PageWrite, appended[j]});
                    grown_ = true;
                    run.push_back({dirty_.at(appended[j])->data(), pageSize_});
                    ++j;
                } while (j < appended.size() && appended[j] == appended[j - 1] + 1 &&
                         run.size() < 256);
                if (!writeVectors(fd_, run.data(), run.size(),
                                  std::uint64_t{appended[i]} * pageSize_))
                    ioError("write to");
                i = j;
            }
        }
    } catch (...) {
        undoInPlace();
        throw;
    }
    // Least recently used pages make room: pages just written are the
    // likeliest to be read again.
    for (auto& [number, data] : dirty_) remember(number, std::move(data));
    dirty_.clear();
}

void Pager::writeCommit(const DirtyPages& pages, Originals& originals,
                        std::unordered_set<std::uint32_t>& journaled, std::uint32_t base) {
    journalPages(pages, originals, journaled, base);
    originals.clear();
    // Readers finish and new ones wait while pages are put in place.
    lockExclusive();
    writeDirtyPages(pages, base);
    syncFd(fd_, IoStep::Kind::FileSync);
    voidJournal(base);
}

void Pager::commit() {
    settle();
    failIfBroken();
    if (!hasChanges()) return;
    try {
        writeCommit(dirty_, originals_, journaled_, filePages_);
    } catch (...) {
        undoInPlace();
        throw;
    }
    unlockExclusive();
    // Committed: the written pages become clean cache entries.
    // Least recently used pages make room: pages just written are the
    // likeliest to be read again.
    for (auto& [number, data] : dirty_) remember(number, std::move(data));
    dirty_.clear();
    filePages_ = pageCount_;
    endTransaction();
}

void Pager::commitInBackground() {
    reap();
    failIfBroken();
    if (!hasChanges()) return;
    // A spilled transaction has written already; it commits the plain way.
    // (Spilling waits for the queue, so only one with nothing queued can
    // have spilled.)
    if (inflight_.empty() && wroteEarly()) {
        commit();
        return;
    }
    // The pages become clean cache entries now; until the commit is
    // written they are read from its job, which keeps them whether cached
    // or not.
    for (const auto& [number, data] : dirty_) remember(number, data);
    std::shared_ptr<Background> job;
    {
        std::lock_guard lock(writerLock_);
        if (queued_) {
            // The writer has not taken the waiting commit yet: this one joins
            // it, so a page changed by both is held and written once.
            for (auto& [number, data] : dirty_)
                queued_->pages.insert_or_assign(number, std::move(data));
            queued_->pageCount = pageCount_;
            dirty_.clear();
            originals_.clear();
            return;
        }
        // No originals go with it: the writer reads them from the file, which
        // holds them until it writes the commit, and memory goes to pages.
        job = std::make_shared<Background>();
        job->pages = std::move(dirty_);
        job->base = queuedEnd();
        job->pageCount = pageCount_;
        dirty_.clear();
        originals_.clear();
        inflight_.push_back(job);
        if (writerFailure_) {
            // Built on a commit that failed: it goes with it.
            job->done = true;
            job->failure = writerFailure_;
            return;
        }
        queued_ = job;
        if (!writer_.joinable()) {
            try {
                writer_ = std::thread([this] { writeQueued(); });
            } catch (const std::system_error&) {
                queued_.reset();
            }
        }
    }
    writerChanged_.notify_all();
    if (!writer_.joinable()) {
        // No thread to be had: the commit is written here.
        try {
            writeBackground(*job);
        } catch (...) {
            job->failure = std::current_exception();
        }
        job->done = true;
        reap();
    }
}

void Pager::writeQueued() {
    std::unique_lock lock(writerLock_);
    for (;;) {
        writerChanged_.wait(lock, [&] { return writerStop_ || queued_; });
        if (!queued_) return;
        const std::shared_ptr<Background> job = std::move(queued_);
        queued_.reset();
        lock.unlock();
        std::exception_ptr failure;
        try {
            writeBackground(*job);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        job->done = true;
        job->failure = failure;
        if (failure) {
            // What waits was built on the failed commit: it is not written.
            if (queued_) {
                queued_->done = true;
                queued_->failure = failure;
                queued_.reset();
            }
            writerFailure_ = failure;
            writerChanged_.notify_all();
            return;
        }
        writerChanged_.notify_all();
    }
}

void Pager::writeBackground(const Background& job) {
    Originals originals;
    std::unordered_set<std::uint32_t> journaled;
    writeCommit(job.pages, originals, journaled, job.base);
    unlockExclusive();
    journalEnd_ = 0;
    touched_ = false;
}

void Pager::settle(bool all) {
    if (inflight_.empty()) return;
    {
        std::unique_lock lock(writerLock_);
        const Background& awaited = all ? *inflight_.back() : *inflight_.front();
        writerChanged_.wait(lock, [&] { return awaited.done; });
    }
    reap();
}

void Pager::reap() {
    if (inflight_.empty()) return;
    std::exception_ptr failure;
    {
        std::lock_guard lock(writerLock_);
        while (!inflight_.empty() && inflight_.front()->done) {
            const Background& job = *inflight_.front();
            if (job.failure) {
                failure = job.failure;
                break;
            }
            filePages_ = job.pageCount;
            inflight_.pop_front();
        }
    }
    if (!failure) return;
    // Undone as a failed commit() is; what was queued after it, and the
    // transaction begun on top, go too, having been made from it.
    stopWriter();
    inflight_.clear();
    originals_.clear();
    undoInPlace();
    std::rethrow_exception(failure);
}

void Pager::stopWriter() {
    if (!writer_.joinable()) return;
    {
        std::lock_guard lock(writerLock_);
        writerStop_ = true;
    }
    writerChanged_.notify_all();
    writer_.join();
    writerStop_ = false;
    writerFailure_ = nullptr;
}

}  // namespace jet
