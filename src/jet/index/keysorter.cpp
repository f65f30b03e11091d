#include "jet/index/keysorter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/index/indexpage.h"

namespace jet {
namespace {

// Row pointers use 27 bits at most (2 GB of 4 KB pages, 256 rows a page):
// the top bit marks, inside the sorter, a key that contains() must find.
constexpr std::uint32_t kRemembered = 0x80000000U;
// A run record: 2-byte key size, the key, 4-byte row pointer.
constexpr std::size_t kReadBuffer = 64 * 1024;

std::uint64_t hashKey(std::span<const std::uint8_t> key) {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ (key.size() * 0xFF51AFD7ED558CCDULL);
    std::size_t i = 0;
    for (; i + 8 <= key.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, key.data() + i, 8);
        h = (h ^ w) * 0xC2B2AE3D27D4EB4FULL;
        h ^= h >> 29;
    }
    std::uint64_t tail = 0;
    for (std::size_t s = 0; i < key.size(); ++i, s += 8) tail |= std::uint64_t{key[i]} << s;
    h = (h ^ tail) * 0x94D049BB133111EBULL;
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ULL;
    return h ^ (h >> 32);
}

// A fingerprint: 24 bits of the hash that do not choose the slot; 0 marks
// a free slot.
std::uint32_t tagOf(std::uint64_t hash) {
    const auto tag = static_cast<std::uint32_t>(hash >> 40);
    return tag != 0 ? tag : 1;
}

[[noreturn]] void ioFailure(const std::string& what, const std::filesystem::path& folder) {
    throw Error(Error::Kind::Io,
                "cannot " + what + " the temporary file for sorting index keys in " +
                    folder.string() + ": " + std::system_category().message(errno));
}

}  // namespace

// Reads one run back, record by record.
class KeySorter::RunReader {
public:
    RunReader(int fd, const Run& run, const std::filesystem::path& folder)
        : fd_(fd), next_(run.offset), end_(run.offset + run.size), folder_(&folder) {
        buffer_.resize(kReadBuffer);
    }

    // The next entry; its key stays valid until the next call.
    bool next(std::span<const std::uint8_t>& key, std::uint32_t& row) {
        if (!have(2)) return false;
        const std::size_t size = bytes::le16(buffer_.data() + pos_);
        if (!have(2 + size + 4))
            throw Error(Error::Kind::Io, "the temporary file for sorting index keys ends early");
        key = {buffer_.data() + pos_ + 2, size};
        row = bytes::le32(buffer_.data() + pos_ + 2 + size);
        pos_ += 2 + size + 4;
        return true;
    }

private:
    // Whether n more bytes are buffered, reading on as needed.
    bool have(std::size_t n) {
        if (held_ - pos_ >= n) return true;
        std::memmove(buffer_.data(), buffer_.data() + pos_, held_ - pos_);
        held_ -= pos_;
        pos_ = 0;
        while (held_ < n && next_ < end_) {
            const auto want = static_cast<std::size_t>(
                std::min<std::uint64_t>(buffer_.size() - held_, end_ - next_));
            const ssize_t got =
                ::pread(fd_, buffer_.data() + held_, want, static_cast<off_t>(next_));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) ioFailure("read", *folder_);
            held_ += static_cast<std::size_t>(got);
            next_ += static_cast<std::uint64_t>(got);
        }
        return held_ - pos_ >= n;
    }

    int fd_;
    std::uint64_t next_;  // file offset of the next read
    std::uint64_t end_;   // of the run
    std::vector<std::uint8_t> buffer_;
    std::size_t held_ = 0;
    std::size_t pos_ = 0;
    const std::filesystem::path* folder_;
};

KeySorter::KeySorter(std::filesystem::path spillFolder, std::size_t memoryBudget)
    : folder_(std::move(spillFolder)), budget_(memoryBudget) {
    if (folder_.empty()) folder_ = ".";
}

KeySorter::~KeySorter() {
    if (fd_ >= 0) ::close(fd_);
}

void KeySorter::add(std::span<const std::uint8_t> key, std::uint32_t row, bool remember) {
    if ((row & kRemembered) != 0)
        throw Error(Error::Kind::Invalid, "a row pointer beyond any Access file's pages");
    // Before the key joins the batch: a growing fingerprint table hashes
    // the keys already there.
    if (remember) this->remember(hashKey(key));
    batch_.add(key, remember ? row | kRemembered : row);
    ++count_;
    keyBytes_ += key.size();
    if (batch_.memory() >= budget_) spill();
}

namespace {

// The slot a hash starts from, over any table size.
std::size_t homeSlot(std::uint64_t hash, std::size_t slots) {
    return static_cast<std::size_t>((std::uint64_t{static_cast<std::uint32_t>(hash)} * slots) >>
                                    32);
}

std::uint32_t tagAt(const std::vector<std::uint8_t>& table, std::size_t slot) {
    const std::uint8_t* p = table.data() + 3 * slot;
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
}

void place(std::vector<std::uint8_t>& table, std::uint64_t hash) {
    const std::size_t slots = table.size() / 3;
    std::size_t i = homeSlot(hash, slots);
    while (tagAt(table, i) != 0)
        if (++i == slots) i = 0;
    const std::uint32_t tag = tagOf(hash);
    std::uint8_t* p = table.data() + 3 * i;
    p[0] = static_cast<std::uint8_t>(tag);
    p[1] = static_cast<std::uint8_t>(tag >> 8);
    p[2] = static_cast<std::uint8_t>(tag >> 16);
}

}  // namespace

bool KeySorter::contains(std::span<const std::uint8_t> key) {
    if (fingerprints_.empty()) return false;
    const std::uint64_t hash = hashKey(key);
    const std::uint32_t tag = tagOf(hash);
    const std::size_t slots = fingerprints_.size() / 3;
    bool maybe = false;
    for (std::size_t i = homeSlot(hash, slots); tagAt(fingerprints_, i) != 0;) {
        if (tagAt(fingerprints_, i) == tag) {
            maybe = true;
            break;
        }
        if (++i == slots) i = 0;
    }
    if (!maybe) return false;
    // Nearly always a true duplicate: confirm it on the keys.
    bool found = false;
    forEachRemembered([&](std::span<const std::uint8_t> k) {
        found = k.size() == key.size() && std::equal(k.begin(), k.end(), key.begin());
        return !found;
    });
    return found;
}

void KeySorter::remember(std::uint64_t hash) {
    // Up to four slots in five taken: linear probing stays short, and a
    // slot is 3 bytes.
    if ((remembered_ + 1) * 5 > fingerprints_.size() / 3 * 4) growFingerprints();
    place(fingerprints_, hash);
    ++remembered_;
}

void KeySorter::growFingerprints() {
    // The slots a key hashes to change with the table's size, and only the
    // high bits are kept: the keys are hashed again.
    fingerprints_.assign(3 * std::max<std::size_t>(1024, (remembered_ + 1) * 2), 0);
    remembered_ = 0;
    forEachRemembered([&](std::span<const std::uint8_t> key) {
        place(fingerprints_, hashKey(key));
        ++remembered_;
        return true;
    });
}

void KeySorter::forEachRemembered(const std::function<bool(std::span<const std::uint8_t>)>& visit) {
    for (std::size_t i = 0; i < batch_.size(); ++i)
        if ((batch_.row(i) & kRemembered) != 0 && !visit(batch_.key(i))) return;
    for (const Run& run : runs_) {
        RunReader reader(fd_, run, folder_);
        std::span<const std::uint8_t> key;
        std::uint32_t row = 0;
        while (reader.next(key, row))
            if ((row & kRemembered) != 0 && !visit(key)) return;
    }
}

void KeySorter::spill() {
    if (batch_.empty()) return;
    if (fd_ < 0) {
        // Unnamed where the file system allows it, so nothing is left behind.
        fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            std::string name = (folder_ / ".ferrovane-sort-XXXXXX").string();
            fd_ = ::mkstemp(name.data());
            if (fd_ < 0) ioFailure("create", folder_);
            ::unlink(name.c_str());
        }
    }
    batch_.sort();
    Run run{fileEnd_, 0};
    std::vector<std::uint8_t> out;
    out.reserve(1 << 20);
    for (std::size_t i = 0; i < batch_.size(); ++i) {
        const auto key = batch_.key(i);
        std::uint8_t head[2];
        bytes::putLe16(head, static_cast<std::uint16_t>(key.size()));
        out.insert(out.end(), head, head + 2);
        out.insert(out.end(), key.begin(), key.end());
        std::uint8_t row[4];
        bytes::putLe32(row, batch_.row(i));
        out.insert(out.end(), row, row + 4);
        if (out.size() >= (1 << 20) || i + 1 == batch_.size()) {
            write(out.data(), out.size());
            run.size += out.size();
            out.clear();
        }
    }
    runs_.push_back(run);
    batch_.clear();
}

void KeySorter::write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(fileEnd_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ioFailure("write", folder_);
        data += n;
        size -= static_cast<std::size_t>(n);
        fileEnd_ += static_cast<std::uint64_t>(n);
    }
}

void KeySorter::drain(const Visit& visit) {
    // Nothing is looked up any more.
    std::vector<std::uint8_t>().swap(fingerprints_);
    remembered_ = 0;
    batch_.sort();
    // One source per run and one for the batch; the smallest entry first.
    struct Source {
        std::unique_ptr<RunReader> reader;  // none: the batch
        std::size_t at = 0;
        std::span<const std::uint8_t> key;
        std::uint32_t row = 0;
    };
    std::vector<Source> sources(runs_.size() + 1);
    auto advance = [&](Source& s) {
        if (s.reader) return s.reader->next(s.key, s.row);
        if (s.at >= batch_.size()) return false;
        s.key = batch_.key(s.at);
        s.row = batch_.row(s.at);
        ++s.at;
        return true;
    };
    std::vector<Source*> heap;
    for (std::size_t i = 0; i < runs_.size(); ++i)
        sources[i].reader = std::make_unique<RunReader>(fd_, runs_[i], folder_);
    for (Source& s : sources)
        if (advance(s)) heap.push_back(&s);
    auto later = [](const Source* a, const Source* b) {
        return compareEntries(a->key, a->row & ~kRemembered, b->key, b->row & ~kRemembered) > 0;
    };
    std::make_heap(heap.begin(), heap.end(), later);
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        Source* s = heap.back();
        visit(s->key, s->row & ~kRemembered);
        if (advance(*s))
            std::push_heap(heap.begin(), heap.end(), later);
        else
            heap.pop_back();
    }
    batch_.clear();
    runs_.clear();
    fileEnd_ = 0;
    if (fd_ >= 0 && ::ftruncate(fd_, 0) != 0) ioFailure("empty", folder_);
    count_ = 0;
    keyBytes_ = 0;
}

}  // namespace jet
