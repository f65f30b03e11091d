#include "jet/file/usagemap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

#include "jet/file/bytes.h"
#include "jet/file/datapage.h"

namespace jet {

namespace {
constexpr std::uint8_t kInline = 0x00;
constexpr std::uint8_t kReference = 0x01;
constexpr std::uint32_t kGlobalMap = bytes::rowPointer(1, 0);

// The whole row of an inline map: type, start page, bitmap (rest cleared).
void writeInline(std::span<std::uint8_t> row, std::uint32_t start,
                 std::span<const std::uint32_t> pages) {
    std::fill(row.begin(), row.end(), std::uint8_t{0});
    row[0] = kInline;
    bytes::putLe32(row.data() + 1, start);
    for (std::uint32_t p : pages) {
        const std::uint32_t bit = p - start;
        row[5 + bit / 8] = static_cast<std::uint8_t>(row[5 + bit / 8] | (1u << (bit % 8)));
    }
}

}  // namespace

UsageMap::UsageMap(Pager& pager, const Format& format, std::uint32_t rowPointer)
    : pager_(pager), format_(format), rowPointer_(rowPointer) {
    locate();
    PageRef holder = pager_.page(rowPage_);
    const std::uint8_t* row = holder->data() + rowStart_;
    if (rowSize_ < 1 || (row[0] != kInline && row[0] != kReference))
        throw corruptPage(pager_, rowPage_, "unknown usage map type");
    if (row[0] == kInline && rowSize_ < 5)
        throw corruptPage(pager_, rowPage_, "usage map row too short");
}

void UsageMap::locate() const {
    RowLocation loc = locateRow(pager_, format_, rowPointer_);
    rowPage_ = loc.page;
    rowStart_ = loc.start;
    rowSize_ = loc.size;
}

bool UsageMap::isInline() const {
    locate();
    return pager_.page(rowPage_)->data()[rowStart_] == kInline;
}

template <class Fn>
void UsageMap::forEachBitmap(Fn fn) const {
    locate();
    PageRef holder = pager_.page(rowPage_);
    const std::uint8_t* row = holder->data() + rowStart_;
    if (row[0] == kInline) {
        fn(bytes::le32(row + 1), row + 5, std::size_t{rowSize_} - 5u);
        return;
    }
    const std::uint32_t span = pagesPerBitmap();
    const std::size_t pointers = (rowSize_ - 1u) / 4;
    for (std::size_t k = 0; k < pointers; ++k) {
        const std::uint32_t mapPage = bytes::le32(row + 1 + 4 * k);
        if (mapPage == 0) continue;
        PageRef bitmap = pager_.page(mapPage);
        if ((*bitmap)[0] != kPageUsageBitmap)
            throw corruptPage(pager_, mapPage, "expected a usage bitmap page");
        if (!fn(static_cast<std::uint32_t>(k * span), bitmap->data() + format_.mapPageHeader,
                std::size_t{format_.pageSize} - format_.mapPageHeader))
            return;
    }
}

std::vector<std::uint32_t> UsageMap::pages() const {
    std::vector<std::uint32_t> out;
    forEachBitmap([&](std::uint32_t first, const std::uint8_t* bits, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (bits[i] == 0) continue;
            for (int bit = 0; bit < 8; ++bit)
                if (bits[i] & (1u << bit))
                    out.push_back(
                        first + static_cast<std::uint32_t>(i * 8 + static_cast<std::size_t>(bit)));
        }
        return true;
    });
    return out;
}

namespace {
// The bits of byte i of a stretch that stand for pages in [lo, hi), where
// bit 0 of byte 0 is page first.
unsigned bitsInRange(const std::uint8_t* bits, std::size_t i, std::uint64_t first, std::uint64_t lo,
                     std::uint64_t hi) {
    unsigned v = bits[i];
    const std::uint64_t base = first + i * 8;
    if (lo > base) v &= 0xFFu << (lo - base);
    if (hi < base + 8) v &= 0xFFu >> (base + 8 - hi);
    return v & 0xFFu;
}
}  // namespace

template <class Fn>
void UsageMap::forEachByteIn(std::uint32_t from, std::uint32_t end, Fn fn) const {
    if (from >= end) return;
    forEachBitmap([&](std::uint32_t first, const std::uint8_t* bits, std::size_t n) {
        const std::uint64_t last = std::uint64_t{first} + n * 8;
        if (last <= from) return true;
        if (first >= end) return false;
        const std::uint64_t lo = std::max<std::uint64_t>(from, first);
        const std::uint64_t hi = std::min<std::uint64_t>(end, last);
        return fn(first, bits, static_cast<std::size_t>((lo - first) / 8),
                  static_cast<std::size_t>((hi - first + 7) / 8),
                  [&](std::size_t i) { return bitsInRange(bits, i, first, lo, hi); });
    });
}

std::uint32_t UsageMap::nextPage(std::uint32_t from, std::uint32_t end) const {
    std::uint32_t found = end;
    forEachByteIn(from, end,
                  [&](std::uint32_t first, const std::uint8_t* bits, std::size_t i,
                      std::size_t stop, auto bitsAt) {
                      while (i < stop) {
                          // Long runs of pages in use: eight bytes at a time.
                          if (i % 8 == 0 && i + 8 <= stop) {
                              std::uint64_t word;
                              std::memcpy(&word, bits + i, 8);
                              if (word == 0) {
                                  i += 8;
                                  continue;
                              }
                          }
                          if (const unsigned v = bitsAt(i); v != 0) {
                              found = static_cast<std::uint32_t>(
                                  first + i * 8 + static_cast<unsigned>(std::countr_zero(v)));
                              return false;
                          }
                          ++i;
                      }
                      return true;
                  });
    return found;
}

std::uint32_t UsageMap::countPages(std::uint32_t from, std::uint32_t end) const {
    std::uint32_t count = 0;
    forEachByteIn(
        from, end,
        [&](std::uint32_t, const std::uint8_t*, std::size_t i, std::size_t stop, auto bitsAt) {
            for (; i < stop; ++i) count += static_cast<std::uint32_t>(std::popcount(bitsAt(i)));
            return true;
        });
    return count;
}

std::uint32_t UsageMap::pagesPerBitmap() const {
    return static_cast<std::uint32_t>((format_.pageSize - format_.mapPageHeader) * 8);
}

std::size_t UsageMap::bitmapSlot(std::uint32_t page) const {
    const std::size_t k = page / pagesPerBitmap();
    if (k >= (rowSize_ - 1u) / 4)
        throw Error(Error::Kind::Unsupported,
                    "the usage map cannot cover page " + std::to_string(page))
            .addFile(pager_.path())
            .addPage(rowPage_);
    return k;
}

bool UsageMap::hasBitmapFor(std::uint32_t page) const {
    locate();
    PageRef holder = pager_.page(rowPage_);
    const std::uint8_t* row = holder->data() + rowStart_;
    if (row[0] != kReference) return false;
    const std::size_t k = page / pagesPerBitmap();
    return k < (rowSize_ - 1u) / 4 && bytes::le32(row + 1 + 4 * k) != 0;
}

void UsageMap::attachBitmap(std::uint32_t page, std::uint32_t bitmapPage) {
    locate();
    const std::uint32_t span = pagesPerBitmap();
    const std::size_t k = bitmapSlot(page);
    std::uint8_t* m = pager_.modify(bitmapPage);
    std::memset(m, 0, format_.pageSize);
    m[0] = kPageUsageBitmap;
    m[1] = 0x01;
    if (rowPointer_ == kGlobalMap) {
        // Pages not yet in the file count as free.
        const std::uint64_t first = std::uint64_t{k} * span;
        for (std::uint64_t p = std::max<std::uint64_t>(first, pager_.pageCount()); p < first + span;
             ++p) {
            const std::uint64_t bit = p - first;
            m[format_.mapPageHeader + bit / 8] =
                static_cast<std::uint8_t>(m[format_.mapPageHeader + bit / 8] | (1u << (bit % 8)));
        }
    }
    bytes::putLe32(rowForWrite() + 1 + 4 * k, bitmapPage);
}

bool UsageMap::contains(std::uint32_t page) const {
    locate();
    PageRef holder = pager_.page(rowPage_);
    const std::uint8_t* row = holder->data() + rowStart_;
    if (row[0] == kInline) {
        const std::uint32_t start = bytes::le32(row + 1);
        if (page < start) return false;
        const std::uint64_t bit = page - start;
        if (bit >= (rowSize_ - 5u) * std::uint64_t{8}) return false;
        return (row[5 + bit / 8] & (1u << (bit % 8))) != 0;
    }
    const std::uint32_t span = pagesPerBitmap();
    const std::size_t k = page / span;
    if (k >= (rowSize_ - 1u) / 4) return false;
    const std::uint32_t mapPage = bytes::le32(row + 1 + 4 * k);
    if (mapPage == 0) return false;
    const std::uint32_t bit = page % span;
    return (pager_.page(mapPage)->data()[format_.mapPageHeader + bit / 8] & (1u << (bit % 8))) != 0;
}

std::uint8_t* UsageMap::rowForWrite() { return pager_.modify(rowPage_) + rowStart_; }

bool UsageMap::set(std::uint32_t page, bool value, PageAllocator* allocator) {
    locate();
    const std::uint8_t* row = pager_.page(rowPage_)->data() + rowStart_;
    if (row[0] == kInline) {
        const std::uint32_t start = bytes::le32(row + 1);
        const std::uint64_t bits = (rowSize_ - 5u) * std::uint64_t{8};
        if (page < start || page - start >= bits) return false;
        const std::uint32_t bit = page - start;
        std::uint8_t* w = rowForWrite();
        if (value)
            w[5 + bit / 8] = static_cast<std::uint8_t>(w[5 + bit / 8] | (1u << (bit % 8)));
        else
            w[5 + bit / 8] = static_cast<std::uint8_t>(w[5 + bit / 8] & ~(1u << (bit % 8)));
        return true;
    }
    const std::uint32_t span = pagesPerBitmap();
    const std::size_t k = bitmapSlot(page);
    std::uint32_t mapPage = bytes::le32(row + 1 + 4 * k);
    if (mapPage == 0) {
        if (!value) return true;
        if (!allocator)
            throw Error(Error::Kind::Invalid, "A reference usage map needs a page allocator");
        mapPage = allocator->allocate();
        attachBitmap(page, mapPage);
    }
    const std::uint32_t bit = page % span;
    std::uint8_t* m = pager_.modify(mapPage) + format_.mapPageHeader;
    if (value)
        m[bit / 8] = static_cast<std::uint8_t>(m[bit / 8] | (1u << (bit % 8)));
    else
        m[bit / 8] = static_cast<std::uint8_t>(m[bit / 8] & ~(1u << (bit % 8)));
    return true;
}

void UsageMap::rewriteInline(std::uint32_t start, const std::vector<std::uint32_t>& pages) {
    writeInline({rowForWrite(), rowSize_}, start, pages);
}

void UsageMap::promote(const std::vector<std::uint32_t>& pages, PageAllocator* allocator) {
    std::uint8_t* w = rowForWrite();
    std::memset(w, 0, rowSize_);
    w[0] = kReference;
    for (std::uint32_t p : pages) set(p, true, allocator);
}

void UsageMap::add(std::uint32_t page, PageAllocator* allocator) {
    if (set(page, true, allocator)) return;
    // Outside the inline range: slide the window if everything fits in it,
    // else switch to the reference form.
    std::vector<std::uint32_t> all = pages();
    all.push_back(page);
    std::sort(all.begin(), all.end());
    const std::uint64_t bits = (rowSize_ - 5u) * std::uint64_t{8};
    if (std::uint64_t{all.back()} - all.front() < bits) {
        rewriteInline(all.front(), all);
        return;
    }
    if (rowSize_ < 5)
        throw corruptPage(pager_, rowPage_, "usage map row too short to hold page pointers");
    promote(all, allocator);
}

void UsageMap::remove(std::uint32_t page) { set(page, false, nullptr); }

std::vector<std::uint8_t> inlineMapRow(const Format& f, std::uint32_t start,
                                       std::span<const std::uint32_t> pages) {
    for (std::uint32_t page : pages) {
        if (page < start || page - start >= f.inlineMapBytes * 8)
            throw Error(Error::Kind::Invalid,
                        "page " + std::to_string(page) + " lies outside an inline usage map");
    }
    std::vector<std::uint8_t> row(5 + f.inlineMapBytes, 0);
    writeInline(row, start, pages);
    return row;
}

std::vector<std::uint32_t> usageMapPages(const Pager& pager, const Format& format,
                                         std::uint32_t rowPointer) {
    // Only reading: the map never calls modify() here.
    return UsageMap(const_cast<Pager&>(pager), format, rowPointer).pages();
}

PageAllocator::PageAllocator(Pager& pager, const Format& format, std::string table)
    : pager_(pager),
      format_(format),
      global_(pager, format, kGlobalMap),
      table_(std::move(table)) {}

bool PageAllocator::isFree(std::uint32_t page) const { return global_.contains(page); }

std::uint32_t PageAllocator::pageLimit() const {
    const std::uint32_t limit = format_.maxPages;
    return pager_.pageLimit() != 0 ? std::min(limit, pager_.pageLimit()) : limit;
}

void PageAllocator::full() const {
    throw Error(Error::Kind::Full, std::string("the database is full: Access files cannot pass ") +
                                       format_.maxSizeText)
        .addFile(pager_.path())
        .addTable(table_);
}

bool PageAllocator::hasRoom(std::uint32_t count) {
    const std::uint32_t pages = pager_.pageCount();
    const std::uint32_t limit = pageLimit();
    const std::uint32_t fresh = pages < limit ? limit - pages : 0;
    if (fresh >= count) return true;
    // Counting free pages walks the whole map: only when the estimate runs
    // low, or after a while, since other allocators (the indexes') take free
    // pages without lowering it.
    if (freeEstimate_ < std::uint64_t{count} + 1024 || ++checksSinceCount_ >= 256) {
        freeEstimate_ = global_.countPages(std::max<std::uint32_t>(hint_, 2), pages);
        checksSinceCount_ = 0;
    }
    return std::uint64_t{fresh} + freeEstimate_ >= count;
}

std::uint32_t PageAllocator::allocate() {
    const std::uint32_t count = pager_.pageCount();
    const std::uint32_t p = global_.nextPage(std::max<std::uint32_t>(hint_, 2), count);
    if (p < count) {
        global_.remove(p);
        std::memset(pager_.modify(p), 0, format_.pageSize);
        hint_ = p + 1;
        if (freeEstimate_ > 0) --freeEstimate_;
        return p;
    }
    hint_ = count;
    if (count >= pageLimit()) full();
    const std::uint32_t fresh = pager_.append();
    if (global_.contains(fresh)) global_.remove(fresh);
    hint_ = fresh + 1;
    return fresh;
}

void PageAllocator::release(std::uint32_t page) {
    std::uint8_t* data = pager_.modify(page);
    std::memset(data, 0, 4);
    hint_ = std::min(hint_, page);
    if (!global_.isInline() && !global_.hasBitmapFor(page)) {
        // The page becomes the bitmap of its own range: giving pages back
        // never needs a new one, not even in a full file.
        global_.attachBitmap(page, page);
        return;
    }
    ++freeEstimate_;
    if (global_.set(page, true, this)) return;
    // Past the free map's range: widen it while page 1 has room, as Access
    // does while a file grows; then switch it to the reference form.
    if (growFreeMap(page)) {
        global_.set(page, true, this);
        return;
    }
    toReferenceForm(page);
}

namespace {

// The rows of the free map's page, to write it again with one row changed.
struct MapPage {
    std::uint32_t owner = 0;
    std::vector<std::vector<std::uint8_t>> rows;
};

// Empty when a row cannot be moved (deleted, or an overflow pointer).
std::optional<MapPage> readMapPage(Pager& pager, const Format& format) {
    DataPage dp(pager, format, bytes::pointerPage(kGlobalMap));
    MapPage out;
    out.owner = dp.owner();
    for (std::uint16_t r = 0; r < dp.rowCount(); ++r) {
        const RowSlot s = dp.slot(r);
        if (s.deleted || s.overflow) return std::nullopt;
        const auto b = dp.bytes(s);
        out.rows.emplace_back(b.begin(), b.end());
    }
    if (bytes::pointerRow(kGlobalMap) >= out.rows.size()) return std::nullopt;
    return out;
}

bool fitsOnPage(const Format& format, const MapPage& page) {
    std::size_t used = format.dataRowTable + 2 * page.rows.size();
    for (const auto& row : page.rows) used += row.size();
    return used <= format.pageSize;
}

// Writes the page again with every row in its place and number.
void writeMapPage(Pager& pager, const Format& format, const MapPage& page) {
    std::span<std::uint8_t> w{pager.modify(bytes::pointerPage(kGlobalMap)), format.pageSize};
    datapage::init(w, format, page.owner);
    for (const auto& row : page.rows) datapage::addRow(w, format, row);
}

}  // namespace

// The free map is the inline row 0 of page 1, starting at page 0. The new
// bits say "in use" for the file's pages and "free" past its end, as Access
// has them.
bool PageAllocator::growFreeMap(std::uint32_t page) {
    std::optional<MapPage> mp = readMapPage(pager_, format_);
    if (!mp) return false;
    std::vector<std::uint8_t>& map = mp->rows[bytes::pointerRow(kGlobalMap)];
    if (map.size() < 5 || map[0] != kInline || bytes::le32(map.data() + 1) != 0) return false;

    const std::uint64_t pageCount = pager_.pageCount();
    const std::uint64_t cover = std::max<std::uint64_t>(page + std::uint64_t{1}, pageCount);
    const std::size_t bitmap = static_cast<std::size_t>((cover + 31) / 32 * 4);
    const std::uint64_t oldBits = (map.size() - 5) * std::uint64_t{8};
    if (5 + bitmap <= map.size()) return false;
    map.resize(5 + bitmap, 0);
    if (!fitsOnPage(format_, *mp)) return false;
    for (std::uint64_t p = std::max(oldBits, pageCount); p < bitmap * std::uint64_t{8}; ++p)
        map[5 + p / 8] = static_cast<std::uint8_t>(map[5 + p / 8] | (1u << (p % 8)));
    writeMapPage(pager_, format_, *mp);
    return true;
}

// The inline free map can grow no further: it becomes a reference map with
// as many pointers as the file's size limit needs. Free pages stay free, but
// the first one of each range serves as that range's bitmap page.
void PageAllocator::toReferenceForm(std::uint32_t page) {
    const std::uint32_t count = pager_.pageCount();
    std::vector<std::uint32_t> free;
    for (std::uint32_t p : global_.pages())
        if (p >= 2 && p < count) free.push_back(p);
    free.push_back(page);
    std::sort(free.begin(), free.end());
    free.erase(std::unique(free.begin(), free.end()), free.end());

    const std::uint32_t span = global_.pagesPerBitmap();
    const std::size_t pointers = (std::size_t{format_.maxPages} + span - 1) / span;
    std::vector<std::uint8_t> row(1 + 4 * pointers, 0);
    row[0] = kReference;
    std::optional<MapPage> mp = readMapPage(pager_, format_);
    if (mp) {
        mp->rows[bytes::pointerRow(kGlobalMap)] = row;
        writeMapPage(pager_, format_, *mp);
    } else {
        // Page 1 cannot be rebuilt: the row changes form in place.
        RowLocation loc = locateRow(pager_, format_, kGlobalMap);
        if (loc.size < row.size()) return;  // too short to point anywhere: the pages stay unused
        std::uint8_t* w = pager_.modify(loc.page) + loc.start;
        std::memset(w, 0, loc.size);
        w[0] = kReference;
    }
    for (std::uint32_t p : free) {
        if (!global_.hasBitmapFor(p))
            global_.attachBitmap(p, p);
        else
            global_.set(p, true, this);
    }
}

}  // namespace jet
