#pragma once

// Data pages: rows of tables, long values (LVAL pages) and usage maps.
//
//   0   1  0x01
//   1   1  0x01
//   2   2  free space in bytes
//   4   4  owning TDEF page, or "LVAL" for long-value pages
//   [Jet 4: 4 unknown bytes]
//   8/12 2  row count
//   10/14   one 2-byte offset per row: bits 0-12 the row's start, 0x8000
//           deleted, 0x4000 overflow (the row holds a 4-byte row pointer to
//           where the row now lives; that copy is itself flagged deleted).
// Rows are packed from the page end downwards: row i ends where row i-1
// starts (row 0 ends at the page end).

#include <cstdint>
#include <span>

#include "jet/file/format.h"
#include "jet/file/pager.h"

namespace jet {

constexpr std::uint16_t kRowDeleted = 0x8000;
constexpr std::uint16_t kRowOverflow = 0x4000;
constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

struct RowSlot {
    std::uint16_t start = 0;  // from the page start
    std::uint16_t end = 0;    // exclusive
    bool deleted = false;
    bool overflow = false;
    std::uint16_t size() const { return static_cast<std::uint16_t>(end - start); }
};

class DataPage {
public:
    // Checks the page type and the row table; Corrupt otherwise.
    DataPage(const Pager& pager, const Format& format, std::uint32_t number);

    std::uint32_t number() const { return number_; }
    std::uint32_t owner() const;  // the TDEF page (or "LVAL")
    std::uint16_t rowCount() const { return rowCount_; }
    RowSlot slot(std::uint16_t row) const;  // Corrupt when the offsets are impossible
    std::span<const std::uint8_t> bytes(const RowSlot& slot) const {
        return {page_->data() + slot.start, slot.size()};
    }
    const PageRef& page() const { return page_; }

private:
    const Pager& pager_;
    const Format& format_;
    std::uint32_t number_;
    PageRef page_;
    std::uint16_t rowCount_ = 0;
};

// The bytes of the row a row pointer names, following nothing: the caller
// gets Corrupt for a missing page, a row out of range or a deleted row.
// holder keeps the page alive while the span is used.
std::span<const std::uint8_t> findRow(const Pager& pager, const Format& format,
                                      std::uint32_t rowPointer, PageRef& holder);

// Where a row lives, for writing it in place.
struct RowLocation {
    std::uint32_t page = 0;
    std::uint16_t start = 0;
    std::uint16_t size = 0;
};
RowLocation locateRow(const Pager& pager, const Format& format, std::uint32_t rowPointer);

}  // namespace jet
