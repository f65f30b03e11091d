#include "jet/pager.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "jet/bytes.h"
#include "jet/error.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[8] = {'F', 'V', 'J', 'R', 'N', 'L', '0', '1'};
constexpr std::size_t kJournalHeader = 24;

std::string quoted(const fs::path& p) { return "\"" + p.string() + "\""; }

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

// A journal read back from disk. valid is false when it is incomplete or
// damaged, which means the database was never touched by that commit.
struct Journal {
    bool valid = false;
    std::uint32_t pageSize = 0;
    std::uint64_t originalLength = 0;
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> records;
};

Journal readJournal(const fs::path& journal) {
    Journal j;
    int fd = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return j;
    std::uint64_t size = fileSize(fd);
    std::uint8_t header[kJournalHeader];
    if (size < kJournalHeader + 8 || !readExact(fd, header, kJournalHeader, 0) ||
        std::memcmp(header, kMagic, 8) != 0) {
        ::close(fd);
        return j;
    }
    j.pageSize = bytes::le32(header + 8);
    j.originalLength = bytes::le64(header + 12);
    std::uint32_t count = bytes::le32(header + 20);
    if (j.pageSize < 512 || j.pageSize > 65536 ||
        size != kJournalHeader + std::uint64_t{count} * (4 + j.pageSize) + 8) {
        ::close(fd);
        return j;
    }
    std::uint64_t h = fnv1a(header, kJournalHeader, kFnvSeed);
    std::uint64_t offset = kJournalHeader;
    std::vector<std::uint8_t> record(4 + j.pageSize);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!readExact(fd, record.data(), record.size(), offset)) {
            ::close(fd);
            return j;
        }
        h = fnv1a(record.data(), record.size(), h);
        j.records.emplace_back(bytes::le32(record.data()),
                               std::vector<std::uint8_t>(record.begin() + 4, record.end()));
        offset += record.size();
    }
    std::uint8_t sum[8];
    bool ok = readExact(fd, sum, 8, offset) && bytes::le64(sum) == h;
    ::close(fd);
    j.valid = ok;
    if (!ok) j.records.clear();
    return j;
}

}  // namespace

Error corruptPage(const Pager& pager, std::uint32_t page, const std::string& what) {
    return Error(Error::Kind::Corrupt, "The file " + quoted(pager.path()) + " is damaged: page " +
                                           std::to_string(page) + ": " + what);
}

fs::path Pager::journalPath(const fs::path& path) {
    fs::path j = path;
    j += "-journal";
    return j;
}

Pager::Pager(fs::path path, int fd, bool writable)
    : path_(std::move(path)), fd_(fd), writable_(writable) {}

Pager::~Pager() {
    if (fd_ >= 0) ::close(fd_);  // closing drops the flock
}

[[noreturn]] void Pager::ioError(const std::string& what) const {
    throw Error(Error::Kind::Io, "Cannot " + what + " " + quoted(path_) + ": " + sysError());
}

void Pager::step(const IoStep& s) const {
    if (hook_ && !hook_(s)) {
        errno = EIO;
        throw Error(Error::Kind::Io, "Write to " + quoted(path_) + " failed (injected fault)");
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

bool Pager::recover(const fs::path& path) {
    fs::path journal = journalPath(path);
    std::error_code ec;
    if (!fs::exists(journal, ec)) return false;

    const bool readOnly = isReadOnly(path);
    int fd = readOnly ? -1 : ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const std::string why = readOnly ? "the file is read-only" : sysError();
        throw Error(Error::Kind::Io, "Cannot recover " + quoted(path) +
                                         ": an interrupted commit left " + quoted(journal) +
                                         " and rolling it back needs write access (" + why + ")");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw Error(Error::Kind::Busy,
                    "Cannot open " + quoted(path) + ": another program is writing to it");
    }
    // Re-check under the lock: the writer may have finished meanwhile.
    if (!fs::exists(journal, ec)) {
        ::close(fd);
        return false;
    }
    Pager p(path, fd, true);
    Journal j = readJournal(journal);
    if (j.valid) {
        for (const auto& [number, data] : j.records)
            p.writeAll(fd, data.data(), data.size(), std::uint64_t{number} * j.pageSize,
                       {IoStep::Kind::PageWrite, number});
        if (::ftruncate(fd, static_cast<off_t>(j.originalLength)) != 0) p.ioError("truncate");
        p.syncFd(fd, IoStep::Kind::FileSync);
    }
    if (::unlink(journal.c_str()) != 0) p.ioError("remove the journal of");
    syncFolder(path);
    return true;  // p's destructor closes fd
}

std::unique_ptr<Pager> Pager::open(const fs::path& path, bool writable) {
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        throw Error(Error::Kind::Io, "Cannot open " + quoted(path) + ": no such file");
    if (fs::is_directory(status))
        throw Error(Error::Kind::Io, "Cannot open " + quoted(path) + ": it is a folder");

    recover(path);

    if (writable) {
        if (isReadOnly(path))
            throw Error(Error::Kind::Io,
                        "Cannot open " + quoted(path) + " for writing: the file is read-only");
        fs::path dir = path.parent_path();
        if (dir.empty()) dir = ".";
        if (isReadOnly(dir))
            throw Error(Error::Kind::Io, "Cannot open " + quoted(path) +
                                             " for writing: its folder is read-only, so the "
                                             "commit journal cannot be written");
    }
    int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        throw Error(Error::Kind::Io, "Cannot open " + quoted(path) +
                                         (writable ? " for writing: " : ": ") + std::strerror(err));
    }
    if (writable && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw Error(Error::Kind::Busy, "Cannot open " + quoted(path) +
                                           " for writing: another program is writing to it");
    }
    return std::unique_ptr<Pager>(new Pager(path, fd, writable));
}

std::unique_ptr<Pager> Pager::create(const fs::path& path, std::uint32_t pageSize) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        std::string why = errno == EEXIST ? "a file already exists there" : sysError();
        throw Error(Error::Kind::Io, "Cannot create " + quoted(path) + ": " + why);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw Error(Error::Kind::Busy, "Cannot create " + quoted(path) + ": it is locked");
    }
    std::unique_ptr<Pager> p(new Pager(path, fd, true));
    p->setPageSize(pageSize);
    return p;
}

std::unique_ptr<Pager> Pager::fromImage(std::vector<std::uint8_t> image, std::uint32_t pageSize,
                                        const fs::path& path) {
    std::unique_ptr<Pager> p(new Pager(path, -1, false));
    p->image_ = std::move(image);
    p->setPageSize(pageSize);
    return p;
}

std::vector<std::uint8_t> Pager::readPrefix(std::size_t length) const {
    if (fd_ < 0) {
        const std::size_t n = std::min(length, image_.size());
        return std::vector<std::uint8_t>(image_.begin(), image_.begin() + static_cast<long>(n));
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
    const std::uint64_t size = fd_ < 0 ? image_.size() : fileSize(fd_);
    filePages_ = static_cast<std::uint32_t>(size / pageSize);
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
        throw Error(Error::Kind::Io, "The database " + quoted(path_) +
                                         " needs recovery after a failed commit; open it again");
}

void Pager::remember(std::uint32_t number, PageRef page) const {
    if (cache_.size() >= cacheLimit_) {
        cache_.erase(lru_.front());
        lru_.pop_front();
    }
    lru_.push_back(number);
    cache_.emplace(number, Cached{std::move(page), std::prev(lru_.end())});
}

PageRef Pager::page(std::uint32_t number) const {
    failIfBroken();
    if (auto d = dirty_.find(number); d != dirty_.end()) return d->second;
    if (number >= pageCount_)
        throw Error(Error::Kind::Corrupt, "The file " + quoted(path_) + " is damaged: page " +
                                              std::to_string(number) + " lies beyond its end (" +
                                              std::to_string(pageCount_) + " pages)");
    if (auto c = cache_.find(number); c != cache_.end()) {
        lru_.splice(lru_.end(), lru_, c->second.position);
        return c->second.page;
    }
    auto page = std::make_shared<Page>(pageSize_);
    if (fd_ < 0) {
        std::memcpy(page->data(), image_.data() + std::size_t{number} * pageSize_, pageSize_);
    } else if (!readExact(fd_, page->data(), pageSize_, std::uint64_t{number} * pageSize_)) {
        ioError("read page " + std::to_string(number) + " of");
    }
    remember(number, page);
    return page;
}

std::uint8_t* Pager::modify(std::uint32_t number) {
    if (!writable_)
        throw Error(Error::Kind::Invalid, "The database " + quoted(path_) + " is open read-only");
    if (auto d = dirty_.find(number); d != dirty_.end()) return d->second->data();
    auto copy = std::make_shared<Page>(*page(number));
    if (auto c = cache_.find(number); c != cache_.end()) {
        lru_.erase(c->second.position);
        cache_.erase(c);
    }
    std::uint8_t* data = copy->data();
    dirty_.emplace(number, std::move(copy));
    return data;
}

std::uint32_t Pager::append() {
    if (!writable_)
        throw Error(Error::Kind::Invalid, "The database " + quoted(path_) + " is open read-only");
    failIfBroken();
    std::uint32_t number = pageCount_++;
    dirty_.emplace(number, std::make_shared<Page>(pageSize_));
    return number;
}

void Pager::rollback() {
    dirty_.clear();
    pageCount_ = filePages_;
}

void Pager::commit() {
    failIfBroken();
    if (!hasChanges()) return;
    const std::uint64_t originalLength = fileSize(fd_);
    const fs::path journal = journalPath(path_);

    // 1. The journal: original bytes of every page that exists on disk.
    std::vector<std::uint32_t> saved;
    for (const auto& [number, _] : dirty_)
        if (number < filePages_) saved.push_back(number);

    int jfd = ::open(journal.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (jfd < 0) ioError("write the commit journal of");
    bool journalDone = false;
    try {
        std::uint8_t header[kJournalHeader];
        std::memcpy(header, kMagic, 8);
        bytes::putLe32(header + 8, pageSize_);
        bytes::putLe64(header + 12, originalLength);
        bytes::putLe32(header + 20, static_cast<std::uint32_t>(saved.size()));
        std::uint64_t h = fnv1a(header, kJournalHeader, kFnvSeed);
        writeAll(jfd, header, kJournalHeader, 0, {IoStep::Kind::JournalWrite, 0});
        std::uint64_t offset = kJournalHeader;
        // Records are gathered into large writes; memory stays at one buffer.
        std::vector<std::uint8_t> buffer;
        const std::size_t batch = std::size_t{256} * (4 + pageSize_);
        buffer.reserve(batch);
        auto flush = [&] {
            if (buffer.empty()) return;
            writeAll(jfd, buffer.data(), buffer.size(), offset, {IoStep::Kind::JournalWrite, 0});
            offset += buffer.size();
            buffer.clear();
        };
        std::vector<std::uint8_t> record(4 + pageSize_);
        for (std::uint32_t number : saved) {
            bytes::putLe32(record.data(), number);
            if (!readExact(fd_, record.data() + 4, pageSize_, std::uint64_t{number} * pageSize_))
                ioError("read page " + std::to_string(number) + " of");
            h = fnv1a(record.data(), record.size(), h);
            buffer.insert(buffer.end(), record.begin(), record.end());
            if (buffer.size() >= batch) flush();
        }
        flush();
        std::uint8_t sum[8];
        bytes::putLe64(sum, h);
        writeAll(jfd, sum, 8, offset, {IoStep::Kind::JournalWrite, 0});
        syncFd(jfd, IoStep::Kind::JournalSync);
        ::close(jfd);
        jfd = -1;
        syncFolder(journal);
        journalDone = true;

        // 2. The pages, in file order so appended pages extend the file.
        for (const auto& [number, data] : dirty_)
            writeAll(fd_, data->data(), pageSize_, std::uint64_t{number} * pageSize_,
                     {IoStep::Kind::PageWrite, number});
        syncFd(fd_, IoStep::Kind::FileSync);

        // 3. Done: the journal goes.
        step({IoStep::Kind::JournalDelete, 0});
        if (::unlink(journal.c_str()) != 0) ioError("remove the journal of");
        syncFolder(path_);
    } catch (...) {
        if (jfd >= 0) ::close(jfd);
        dirty_.clear();
        cache_.clear();
        lru_.clear();
        pageCount_ = filePages_;
        if (!journalDone) {
            // The database is untouched; the partial journal is worthless.
            ::unlink(journal.c_str());
        } else {
            // Put the old pages back now; if that fails too, the journal
            // stays for the next open.
            try {
                Journal j = readJournal(journal);
                if (!j.valid) throw Error(Error::Kind::Io, "journal unreadable");
                for (const auto& [number, data] : j.records)
                    writeAll(fd_, data.data(), data.size(), std::uint64_t{number} * pageSize_,
                             {IoStep::Kind::PageWrite, number});
                step({IoStep::Kind::Truncate, 0});
                if (::ftruncate(fd_, static_cast<off_t>(j.originalLength)) != 0)
                    ioError("truncate");
                syncFd(fd_, IoStep::Kind::FileSync);
                step({IoStep::Kind::JournalDelete, 0});
                ::unlink(journal.c_str());
                syncFolder(path_);
            } catch (...) {
                broken_ = true;
            }
        }
        throw;
    }

    // Committed: the written pages become clean cache entries.
    for (auto& [number, data] : dirty_) {
        if (cache_.size() < cacheLimit_) remember(number, std::move(data));
    }
    dirty_.clear();
    filePages_ = pageCount_;
}

}  // namespace jet
