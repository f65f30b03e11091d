#include "jet/file/usagemap.h"

#include <algorithm>
#include <cstring>

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

std::vector<std::uint32_t> UsageMap::pages() const {
    locate();
    std::vector<std::uint32_t> out;
    PageRef holder = pager_.page(rowPage_);
    const std::uint8_t* row = holder->data() + rowStart_;
    if (row[0] == kInline) {
        const std::uint32_t start = bytes::le32(row + 1);
        for (std::size_t i = 5; i < rowSize_; ++i)
            for (int bit = 0; bit < 8; ++bit)
                if (row[i] & (1u << bit))
                    out.push_back(start + static_cast<std::uint32_t>((i - 5) * 8 + bit));
        return out;
    }
    const std::uint32_t span = (format_.pageSize - format_.mapPageHeader) * 8;
    const std::size_t pointers = (rowSize_ - 1u) / 4;
    for (std::size_t k = 0; k < pointers; ++k) {
        const std::uint32_t mapPage = bytes::le32(row + 1 + 4 * k);
        if (mapPage == 0) continue;
        PageRef bitmap = pager_.page(mapPage);
        const std::uint8_t* b = bitmap->data();
        if (b[0] != kPageUsageBitmap)
            throw corruptPage(pager_, mapPage, "expected a usage bitmap page");
        for (std::size_t i = format_.mapPageHeader; i < format_.pageSize; ++i) {
            if (b[i] == 0) continue;
            for (int bit = 0; bit < 8; ++bit)
                if (b[i] & (1u << bit))
                    out.push_back(static_cast<std::uint32_t>(k * span +
                                                             (i - format_.mapPageHeader) * 8 +
                                                             static_cast<std::size_t>(bit)));
        }
    }
    return out;
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
    const std::uint32_t span = (format_.pageSize - format_.mapPageHeader) * 8;
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
    const std::uint32_t span = (format_.pageSize - format_.mapPageHeader) * 8;
    const std::size_t k = page / span;
    if (k >= (rowSize_ - 1u) / 4)
        throw Error(Error::Kind::Unsupported,
                    "the usage map cannot cover page " + std::to_string(page))
            .addFile(pager_.path())
            .addPage(rowPage_);
    std::uint32_t mapPage = bytes::le32(row + 1 + 4 * k);
    if (mapPage == 0) {
        if (!value) return true;
        if (!allocator)
            throw Error(Error::Kind::Invalid, "A reference usage map needs a page allocator");
        mapPage = allocator->allocate();
        std::uint8_t* m = pager_.modify(mapPage);
        m[0] = kPageUsageBitmap;
        m[1] = 0x01;
        bytes::putLe32(rowForWrite() + 1 + 4 * k, mapPage);
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

PageAllocator::PageAllocator(Pager& pager, const Format& format)
    : pager_(pager), format_(format), global_(pager, format, kGlobalMap) {}

bool PageAllocator::isFree(std::uint32_t page) const { return global_.contains(page); }

std::uint32_t PageAllocator::allocate() {
    for (std::uint32_t p : global_.pages()) {
        if (p < 2 || p >= pager_.pageCount()) continue;
        global_.remove(p);
        std::uint8_t* data = pager_.modify(p);
        std::memset(data, 0, format_.pageSize);
        return p;
    }
    const std::uint32_t p = pager_.append();
    if (global_.contains(p)) global_.remove(p);
    return p;
}

void PageAllocator::release(std::uint32_t page) {
    std::uint8_t* data = pager_.modify(page);
    std::memset(data, 0, 4);
    if (global_.set(page, true, this)) return;
    // Past the free map's range: widen it, as Access does while a file grows.
    // Where page 1 has no room left the page stays unused until a compact.
    if (growFreeMap(page)) global_.set(page, true, this);
}

// The free map is the inline row 0 of page 1, starting at page 0. Widening it
// rewrites page 1 with every row in its place and number; the new bits say
// "in use" for the file's pages and "free" past its end, as Access has them.
bool PageAllocator::growFreeMap(std::uint32_t page) {
    const std::uint32_t mapPage = bytes::pointerPage(kGlobalMap);
    const std::uint8_t mapRow = bytes::pointerRow(kGlobalMap);
    DataPage dp(pager_, format_, mapPage);
    std::vector<std::vector<std::uint8_t>> rows;
    for (std::uint16_t r = 0; r < dp.rowCount(); ++r) {
        const RowSlot s = dp.slot(r);
        if (s.deleted || s.overflow) return false;
        const auto b = dp.bytes(s);
        rows.emplace_back(b.begin(), b.end());
    }
    if (mapRow >= rows.size()) return false;
    std::vector<std::uint8_t>& map = rows[mapRow];
    if (map.size() < 5 || map[0] != kInline || bytes::le32(map.data() + 1) != 0) return false;

    const std::uint64_t pageCount = pager_.pageCount();
    const std::uint64_t cover = std::max<std::uint64_t>(page + std::uint64_t{1}, pageCount);
    const std::size_t bitmap = static_cast<std::size_t>((cover + 31) / 32 * 4);
    const std::uint64_t oldBits = (map.size() - 5) * std::uint64_t{8};
    if (5 + bitmap <= map.size()) return false;
    std::size_t used = format_.dataRowTable + 2 * rows.size() + 5 + bitmap;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (r != mapRow) used += rows[r].size();
    if (used > format_.pageSize) return false;

    map.resize(5 + bitmap, 0);
    for (std::uint64_t p = std::max(oldBits, pageCount); p < bitmap * std::uint64_t{8}; ++p)
        map[5 + p / 8] = static_cast<std::uint8_t>(map[5 + p / 8] | (1u << (p % 8)));
    const std::uint32_t owner = dp.owner();
    std::span<std::uint8_t> w{pager_.modify(mapPage), format_.pageSize};
    datapage::init(w, format_, owner);
    for (const auto& row : rows) datapage::addRow(w, format_, row);
    return true;
}

}  // namespace jet
