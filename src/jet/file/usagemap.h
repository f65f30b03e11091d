#pragma once

// Usage maps: which pages belong to a table, an index or a long-value column
// (and which of those have free space), and, on page 1 row 0, which pages of
// the file are free. A map is one row on a data page, found through a 4-byte
// row pointer in the TDEF.
//
// Inline map (type 0):
//   0  1  0x00
//   1  4  start page
//   5  .. bitmap, least significant bit first: bit i = page start + i.
//         Access makes the bitmap 128 bytes (Jet 3) / 64 bytes (Jet 4),
//         so the row is 133 / 69 bytes; we read whatever the row holds.
// Reference map (type 1):
//   0  1  0x01
//   1  .. 4-byte page numbers of bitmap pages (type 0x05), 0 = none yet.
//         Bitmap page k covers pages k*B .. k*B+B-1, B = (page size - 4) * 8;
//         its bitmap starts at byte 4 (after 05 01 00 00).
// The free-page map has the same layout; a set bit there means "free".
// It starts inline and grows while page 1 has room (about 128 MB of file in
// Jet 4, 30 MB in Jet 3); past that it takes the reference form, whose row
// is no longer than the inline one (17 / 33 pointers reach the 2 GB / 1 GB
// limit). A bitmap page of the free map starts with every page at or past
// the end of the file marked free, as Access keeps them; a range without a
// bitmap page has no free pages.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/file/format.h"
#include "jet/file/pager.h"

namespace jet {

class PageAllocator;

class UsageMap {
public:
    UsageMap(Pager& pager, const Format& format, std::uint32_t rowPointer);

    std::uint32_t rowPointer() const { return rowPointer_; }
    bool isInline() const;
    std::vector<std::uint32_t> pages() const;  // ascending
    bool contains(std::uint32_t page) const;

    // Changes go through the pager (part of the open transaction). add()
    // re-bases an inline map, or turns it into a reference map, when the page
    // lies outside its range; allocator supplies bitmap pages then.
    void add(std::uint32_t page, PageAllocator* allocator);
    void remove(std::uint32_t page);
    // Sets or clears one page's bit without reshaping the map; false when
    // the page lies outside an inline map's range.
    bool set(std::uint32_t page, bool value, PageAllocator* allocator);

    // The first listed page in [from, end), or end when there is none; and
    // how many listed pages lie in [from, end). Without building a list.
    std::uint32_t nextPage(std::uint32_t from, std::uint32_t end) const;
    std::uint32_t countPages(std::uint32_t from, std::uint32_t end) const;

    // Reference maps: pages each bitmap page covers, and whether the range
    // of page has its bitmap page yet.
    std::uint32_t pagesPerBitmap() const;
    bool hasBitmapFor(std::uint32_t page) const;
    // Makes bitmapPage the (empty) bitmap page of the range holding page.
    void attachBitmap(std::uint32_t page, std::uint32_t bitmapPage);

private:
    // Calls fn(first page, bitmap bytes, byte count) for each stretch of
    // bitmap the map holds, in page order, until fn returns false.
    template <class Fn>
    void forEachBitmap(Fn fn) const;
    // The same, clipped to pages [from, end): calls fn(first page, bitmap
    // bytes, first byte, end byte, bitsAt) where bitsAt(i) gives byte i's
    // bits of pages inside the range.
    template <class Fn>
    void forEachByteIn(std::uint32_t from, std::uint32_t end, Fn fn) const;
    // Rows on a map's page can move (the free-page row grows): every call
    // finds its row afresh.
    void locate() const;
    // The pointer of a reference map that covers page (the row must be
    // located); throws when the row has none that far.
    std::size_t bitmapSlot(std::uint32_t page) const;
    std::uint8_t* rowForWrite();
    void rewriteInline(std::uint32_t start, const std::vector<std::uint32_t>& pages);
    void promote(const std::vector<std::uint32_t>& pages, PageAllocator* allocator);

    Pager& pager_;
    const Format& format_;
    std::uint32_t rowPointer_;
    mutable std::uint32_t rowPage_ = 0;
    mutable std::uint16_t rowStart_ = 0;
    mutable std::uint16_t rowSize_ = 0;
};

// A new inline map row (type 0) starting at page start and listing pages;
// Invalid when a page lies outside its range.
std::vector<std::uint8_t> inlineMapRow(const Format& format, std::uint32_t start,
                                       std::span<const std::uint32_t> pages);

// The pages a map lists, for readers.
std::vector<std::uint32_t> usageMapPages(const Pager& pager, const Format& format,
                                         std::uint32_t rowPointer);

// Page allocation through the free-page map on page 1, row 0.
class PageAllocator {
public:
    // table names the table the pages are for in the error of a full file.
    PageAllocator(Pager& pager, const Format& format, std::string table = {});
    // A page for new content: a free page of the file when the map lists one,
    // else a new page at the end. Returned zero-filled and already changed
    // in the pager. Invalid when the file has reached its size limit.
    std::uint32_t allocate();
    // Gives a page back: its first bytes are cleared (type 0) and the free
    // map marks it free. Never needs a new page.
    void release(std::uint32_t page);
    // Whether the free-page map marks this page free.
    bool isFree(std::uint32_t page) const;

    // Whether count more pages can still be had, free or new.
    bool hasRoom(std::uint32_t count);
    // The error of a full file.
    [[noreturn]] void full() const;
    // The file's page limit: the format's, or the pager's when lower.
    std::uint32_t pageLimit() const;

private:
    bool growFreeMap(std::uint32_t page);
    void toReferenceForm(std::uint32_t page);

    Pager& pager_;
    const Format& format_;
    UsageMap global_;
    std::string table_;
    // No free page lies below this one (pages this allocator gave back
    // lower it; others' only cost a page of growth).
    std::uint32_t hint_ = 2;
    // Free pages below the end of the file, as last counted less those
    // taken since: hasRoom() counts afresh when it runs low.
    std::uint32_t freeEstimate_ = 0;
    std::uint32_t checksSinceCount_ = 0;
};

}  // namespace jet
