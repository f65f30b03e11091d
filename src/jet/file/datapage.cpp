#include "jet/file/datapage.h"

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

std::span<const std::uint8_t> findRow(const Pager& pager, const Format& format,
                                      std::uint32_t rowPointer, PageRef& holder) {
    const std::uint32_t number = bytes::pointerPage(rowPointer);
    DataPage page(pager, format, number);
    RowSlot s = page.slot(bytes::pointerRow(rowPointer));
    if (s.deleted)
        throw corruptPage(pager, number,
                          "row " + std::to_string(bytes::pointerRow(rowPointer)) + " is deleted");
    holder = page.page();
    return page.bytes(s);
}

RowLocation locateRow(const Pager& pager, const Format& format, std::uint32_t rowPointer) {
    const std::uint32_t number = bytes::pointerPage(rowPointer);
    DataPage page(pager, format, number);
    RowSlot s = page.slot(bytes::pointerRow(rowPointer));
    if (s.deleted)
        throw corruptPage(pager, number,
                          "row " + std::to_string(bytes::pointerRow(rowPointer)) + " is deleted");
    return {number, s.start, s.size()};
}

}  // namespace jet
