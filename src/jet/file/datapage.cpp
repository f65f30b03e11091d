#include "jet/file/datapage.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"
#include "jet/file/bytes.h"

namespace jet {

DataPage::DataPage(const Pager& pager, const Format& format, std::uint32_t number)
    : pager_(pager), format_(format), number_(number), page_(pager.page(number)) {
    const std::uint8_t* p = page_->data();
    if (p[0] != kPageData) throw corruptPage(pager_, number_, "expected a data page");
    rowCount_ = bytes::le16(p + format_.dataRowCount);
    if (format_.dataRowTable + std::size_t{rowCount_} * 2 > format_.pageSize)
        throw corruptPage(pager_, number_,
                          "row count " + std::to_string(rowCount_) + " does not fit the page");
}

std::uint32_t DataPage::owner() const { return bytes::le32(page_->data() + format_.dataOwner); }

RowSlot DataPage::slot(std::uint16_t row) const {
    if (row >= rowCount_)
        throw corruptPage(
            pager_, number_,
            "no row " + std::to_string(row) + " (the page has " + std::to_string(rowCount_) + ")");
    const std::uint8_t* table = page_->data() + format_.dataRowTable;
    const std::uint16_t raw = bytes::le16(table + 2 * row);
    RowSlot s;
    s.start = raw & kRowOffsetMask;
    s.deleted = (raw & kRowDeleted) != 0;
    s.overflow = (raw & kRowOverflow) != 0;
    s.end = row == 0
                ? static_cast<std::uint16_t>(format_.pageSize)
                : static_cast<std::uint16_t>(bytes::le16(table + 2 * (row - 1)) & kRowOffsetMask);
    const std::size_t tableEnd = format_.dataRowTable + std::size_t{rowCount_} * 2;
    if (s.start < tableEnd || s.end > format_.pageSize || s.start > s.end) {
        // A deleted row's bounds do not matter; a live one must be sound.
        if (s.deleted) return RowSlot{0, 0, true, s.overflow};
        throw corruptPage(pager_, number_, "row " + std::to_string(row) + " has impossible bounds");
    }
    return s;
}

namespace {

// The live row a pointer names; Corrupt when it is deleted.
RowSlot liveRow(const DataPage& page, std::uint32_t rowPointer) {
    RowSlot s = page.slot(bytes::pointerRow(rowPointer));
    if (s.deleted)
        throw corruptPage(page.pager(), page.number(),
                          "row " + std::to_string(bytes::pointerRow(rowPointer)) + " is deleted");
    return s;
}

}  // namespace

std::span<const std::uint8_t> findRow(const Pager& pager, const Format& format,
                                      std::uint32_t rowPointer, PageRef& holder) {
    DataPage page(pager, format, bytes::pointerPage(rowPointer));
    const RowSlot s = liveRow(page, rowPointer);
    holder = page.page();
    return page.bytes(s);
}

RowLocation locateRow(const Pager& pager, const Format& format, std::uint32_t rowPointer) {
    DataPage page(pager, format, bytes::pointerPage(rowPointer));
    const RowSlot s = liveRow(page, rowPointer);
    return {page.number(), s.start, s.size()};
}

}  // namespace jet

namespace jet::datapage {

namespace {

// Start of the lowest row on the page (the page end when it has none).
std::size_t lowestRow(std::span<const std::uint8_t> page, const Format& f, std::size_t count) {
    std::size_t lowest = page.size();
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t off = bytes::le16(page.data() + f.dataRowTable + 2 * i) & 0x1FFF;
        if (off != 0) lowest = std::min(lowest, off);
    }
    return lowest;
}

}  // namespace

void init(std::span<std::uint8_t> page, const Format& f, std::uint32_t owner) {
    std::fill(page.begin(), page.end(), 0);
    page[0] = kPageData;
    page[1] = 0x01;
    bytes::putLe16(page.data() + f.dataFreeSpace,
                   static_cast<std::uint16_t>(f.pageSize - f.dataRowTable));
    bytes::putLe32(page.data() + f.dataOwner, owner);
}

std::size_t rowCount(std::span<const std::uint8_t> page, const Format& f) {
    return bytes::le16(page.data() + f.dataRowCount);
}

std::size_t roomForRow(std::span<const std::uint8_t> page, const Format& f) {
    std::size_t count = rowCount(page, f);
    if (count >= maxRows) return 0;
    std::size_t tableEnd = f.dataRowTable + 2 * (count + 1);
    std::size_t lowest = lowestRow(page, f, count);
    return lowest > tableEnd ? lowest - tableEnd : 0;
}

std::uint8_t* reserveRow(std::span<std::uint8_t> page, const Format& f, std::size_t length,
                         std::uint8_t& rowNumber) {
    std::size_t count = rowCount(page, f);
    if (length == 0 || roomForRow(page, f) < length)
        throw Error(Error::Kind::Invalid,
                    "a row of " + std::to_string(length) + " bytes does not fit the data page");
    std::size_t start = lowestRow(page, f, count) - length;
    bytes::putLe16(page.data() + f.dataRowTable + 2 * count, static_cast<std::uint16_t>(start));
    bytes::putLe16(page.data() + f.dataRowCount, static_cast<std::uint16_t>(count + 1));
    std::size_t tableEnd = f.dataRowTable + 2 * (count + 1);
    bytes::putLe16(page.data() + f.dataFreeSpace, static_cast<std::uint16_t>(start - tableEnd));
    rowNumber = static_cast<std::uint8_t>(count);
    return page.data() + start;
}

std::uint8_t addRow(std::span<std::uint8_t> page, const Format& f,
                    std::span<const std::uint8_t> row) {
    std::uint8_t number = 0;
    std::uint8_t* p = reserveRow(page, f, row.size(), number);
    std::memcpy(p, row.data(), row.size());
    return number;
}

}  // namespace jet::datapage
