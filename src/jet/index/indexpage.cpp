#include "jet/index/indexpage.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "jet/error.h"
#include "jet/file/bytes.h"

namespace jet {
namespace {

using bytes::be32;
using bytes::le32;
using bytes::putBe32;
using bytes::putLe32;

// How many leading bytes a and b share, up to limit; eight at a time.
std::size_t commonPrefix(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) {
    std::size_t k = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; k + 8 <= limit; k += 8) {
            std::uint64_t x = 0;
            std::uint64_t y = 0;
            std::memcpy(&x, a + k, 8);
            std::memcpy(&y, b + k, 8);
            if (x != y) return k + static_cast<std::size_t>(std::countr_zero(x ^ y)) / 8;
        }
    }
    while (k < limit && a[k] == b[k]) ++k;
    return k;
}

// One bit per byte of the largest entry area.
constexpr std::size_t kMaxIndexEntries = 8 * 512;

[[noreturn]] void corrupt(std::uint32_t page, const std::string& what) {
    throw Error(Error::Kind::Corrupt, "the index page is damaged: " + what).addPage(page);
}

}  // namespace

std::uint32_t IndexPage::rowPointer(std::size_t i) const {
    auto e = entry(i);
    return be32(e.data() + e.size() - trailer());
}

std::uint32_t IndexPage::child(std::size_t i) const {
    auto e = entry(i);
    return be32(e.data() + e.size() - 4);
}

void IndexPage::insert(std::size_t i, std::span<const std::uint8_t> e) {
    // The shared prefix can only shrink: to what the new entry shares with any
    // one of the others.
    if (shared_ != kUnknown && !empty()) {
        const std::size_t limit = std::min(shared_, e.size() - (leaf ? 1 : 5));
        shared_ = commonPrefix(e.data(), entry(0).data(), limit);
    } else {
        shared_ = kUnknown;
    }
    const std::size_t at = begin(i);
    bytes_.insert(bytes_.begin() + static_cast<std::ptrdiff_t>(at), e.begin(), e.end());
    ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(i), static_cast<std::uint32_t>(at));
    for (std::size_t k = i; k < ends_.size(); ++k) ends_[k] += static_cast<std::uint32_t>(e.size());
}

void IndexPage::insertEntry(std::size_t i, std::span<const std::uint8_t> key,
                            std::uint32_t rowPointer) {
    std::uint8_t buffer[512];
    const std::size_t n = key.size() + 4;
    if (n > sizeof buffer) {
        insert(i, makeIndexEntry(key, rowPointer));
        return;
    }
    std::memcpy(buffer, key.data(), key.size());
    putBe32(buffer + key.size(), rowPointer);
    insert(i, std::span<const std::uint8_t>(buffer, n));
}

void IndexPage::erase(std::size_t i) {
    const std::size_t b = begin(i);
    const std::size_t n = ends_[i] - b;
    bytes_.erase(bytes_.begin() + static_cast<std::ptrdiff_t>(b),
                 bytes_.begin() + static_cast<std::ptrdiff_t>(b + n));
    ends_.erase(ends_.begin() + static_cast<std::ptrdiff_t>(i));
    for (std::size_t k = i; k < ends_.size(); ++k) ends_[k] -= static_cast<std::uint32_t>(n);
    shared_ = kUnknown;
}

void IndexPage::replace(std::size_t i, std::span<const std::uint8_t> e) {
    erase(i);
    insert(i, e);
}

void IndexPage::clear() {
    bytes_.clear();
    ends_.clear();
    shared_ = kUnknown;
}

void IndexPage::moveTail(std::size_t from, IndexPage& other) {
    if (from >= size()) return;
    const std::size_t b = begin(from);
    const auto base = static_cast<std::uint32_t>(other.bytes_.size());
    other.ends_.reserve(other.ends_.size() + (size() - from));
    other.bytes_.insert(other.bytes_.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(b),
                        bytes_.end());
    for (std::size_t k = from; k < ends_.size(); ++k)
        other.ends_.push_back(base + ends_[k] - static_cast<std::uint32_t>(b));
    bytes_.resize(b);
    ends_.resize(from);
    shared_ = kUnknown;
    other.shared_ = kUnknown;
}

std::size_t IndexPage::prefixLength(const Format& fmt) const {
    if (size() < 2) return 0;
    return std::min<std::size_t>(sharedPrefix(), fmt.indexMaxPrefix());
}

std::size_t IndexPage::sharedPrefix() const {
    if (shared_ != kUnknown) return shared_;
    if (empty()) return kUnknown;
    auto first = entry(0);
    // Never into the row byte (the last byte before the child page on nodes).
    std::size_t limit = first.size() - (leaf ? 1 : 5);
    for (std::size_t i = 1; i < size() && limit > 0; ++i) {
        auto e = entry(i);
        limit = commonPrefix(e.data(), first.data(), std::min(limit, e.size() - (leaf ? 1 : 5)));
    }
    shared_ = limit;
    return limit;
}

std::size_t IndexPage::encodedBytes(const Format& fmt) const {
    if (size() < 2) return dataBytes();
    return dataBytes() - (size() - 1) * prefixLength(fmt);
}

bool IndexPage::fits(const Format& fmt) const {
    if (dataBytes() <= fmt.indexCapacity()) return true;
    return encodedBytes(fmt) <= fmt.indexCapacity();
}

std::vector<std::uint8_t> makeIndexEntry(std::span<const std::uint8_t> key,
                                         std::uint32_t rowPointer) {
    std::vector<std::uint8_t> e(key.size() + 4);
    std::copy(key.begin(), key.end(), e.begin());
    putBe32(e.data() + key.size(), rowPointer);
    return e;
}

std::vector<std::uint8_t> makeNodeEntry(std::span<const std::uint8_t> key, std::uint32_t rowPointer,
                                        std::uint32_t child) {
    std::vector<std::uint8_t> e(key.size() + 8);
    std::copy(key.begin(), key.end(), e.begin());
    putBe32(e.data() + key.size(), rowPointer);
    putBe32(e.data() + key.size() + 4, child);
    return e;
}

int compareEntries(std::span<const std::uint8_t> keyA, std::uint32_t rowA,
                   std::span<const std::uint8_t> keyB, std::uint32_t rowB) {
    const std::size_t n = std::min(keyA.size(), keyB.size());
    if (n != 0) {
        const int c = std::memcmp(keyA.data(), keyB.data(), n);
        if (c != 0) return c < 0 ? -1 : 1;
    }
    if (keyA.size() != keyB.size()) return keyA.size() < keyB.size() ? -1 : 1;
    if (rowA != rowB) return rowA < rowB ? -1 : 1;
    return 0;
}

IndexPage readIndexPage(const Format& fmt, std::span<const std::uint8_t> image,
                        std::uint32_t pageNumber) {
    if (image.size() < fmt.pageSize) corrupt(pageNumber, "short page");
    const std::uint8_t* p = image.data();
    if ((p[0] != kPageIndexLeaf && p[0] != kPageIndexNode) || p[1] != 0x01)
        corrupt(pageNumber, "not an index page (type " + std::to_string(p[0]) + ")");
    IndexPage page;
    page.leaf = p[0] == kPageIndexLeaf;
    page.tdefPage = le32(p + 4);
    page.prev = le32(p + fmt.indexPrevPage);
    page.next = le32(p + fmt.indexNextPage);
    page.tail = le32(p + fmt.indexTailPage);
    std::size_t prefix = p[fmt.indexPrefixLength];
    if (fmt.indexPrefixWidth == 2)
        prefix |= static_cast<std::size_t>(p[fmt.indexPrefixLength + 1]) << 8;

    const std::uint8_t* mask = p + fmt.indexBitmap;
    const std::uint8_t* data = p + fmt.indexEntriesStart;
    const std::size_t capacity = fmt.indexCapacity();
    const std::size_t minEntry = page.leaf ? 5 : 9;
    // Where each entry ends in the entry area, from the bitmap a word at a time.
    std::uint32_t ends[kMaxIndexEntries];
    std::size_t entries = 0;
    for (std::size_t byte = 0; byte < fmt.indexBitmapSize; byte += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, mask + byte, std::min<std::size_t>(8, fmt.indexBitmapSize - byte));
        word = bytes::le64(reinterpret_cast<const std::uint8_t*>(&word));
        for (; word != 0; word &= word - 1) {
            const std::size_t end = byte * 8 + static_cast<std::size_t>(std::countr_zero(word));
            if (end > capacity) corrupt(pageNumber, "entry bitmap runs past the page");
            ends[entries++] = static_cast<std::uint32_t>(end);
        }
    }
    if (entries > 0 && prefix > ends[0]) corrupt(pageNumber, "prefix longer than the first entry");
    // Every entry but the first gets the first entry's first `prefix` bytes back.
    const std::size_t total = entries == 0 ? 0 : ends[entries - 1] + (entries - 1) * prefix;
    // Room for some inserts to come.
    page.ends_.reserve(entries + 16);
    page.bytes_.reserve(std::max(total, capacity) + 256);
    page.bytes_.resize(total);
    std::uint8_t* out = page.bytes_.data();
    std::size_t start = 0;
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t end = ends[i];
        const std::size_t shared = i == 0 ? 0 : prefix;
        if (end <= start) corrupt(pageNumber, "empty entry");
        if (shared + (end - start) < minEntry)
            corrupt(pageNumber, "entry of " + std::to_string(shared + end - start) + " bytes");
        std::memcpy(out, data, shared);
        std::memcpy(out + shared, data + start, end - start);
        out += shared + (end - start);
        page.ends_.push_back(static_cast<std::uint32_t>(out - page.bytes_.data()));
        start = end;
    }
    if (!page.leaf && page.empty() && page.tail == 0)
        corrupt(pageNumber, "node page without children");
    return page;
}

void writeIndexPage(const Format& fmt, const IndexPage& page, std::span<std::uint8_t> image) {
    std::uint8_t* p = image.data();
    std::memset(p, 0, fmt.pageSize);
    const std::size_t prefix = page.prefixLength(fmt);
    p[0] = page.leaf ? kPageIndexLeaf : kPageIndexNode;
    p[1] = 0x01;
    putLe32(p + 4, page.tdefPage);
    putLe32(p + fmt.indexPrevPage, page.prev);
    putLe32(p + fmt.indexNextPage, page.next);
    putLe32(p + fmt.indexTailPage, page.tail);
    p[fmt.indexPrefixLength] = static_cast<std::uint8_t>(prefix);
    if (fmt.indexPrefixWidth == 2)
        p[fmt.indexPrefixLength + 1] = static_cast<std::uint8_t>(prefix >> 8);
    p[fmt.indexNodeFlag] = page.leaf ? 0 : 1;

    std::uint8_t* mask = p + fmt.indexBitmap;
    std::uint8_t* data = p + fmt.indexEntriesStart;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < page.size(); ++i) {
        auto e = page.entry(i);
        const std::size_t skip = i == 0 ? 0 : prefix;
        const std::size_t n = e.size() - skip;
        if (pos + n > fmt.indexCapacity()) throw Error(Error::Kind::Invalid, "index page overfull");
        std::memcpy(data + pos, e.data() + skip, n);
        pos += n;
        mask[pos / 8] = static_cast<std::uint8_t>(mask[pos / 8] | (1u << (pos % 8)));
    }
    const std::size_t free = fmt.pageSize - fmt.indexEntriesStart - pos;
    p[2] = static_cast<std::uint8_t>(free);
    p[3] = static_cast<std::uint8_t>(free >> 8);
}

}  // namespace jet
