#pragma once

// Data pages: rows of tables, long values (LVAL pages) and usage-map rows.
// DataPage reads one; the datapage:: functions build and change one.
//
//   0   1  0x01
//   1   1  0x01
//   2   2  free space: bytes between the end of the row-offset table and the
//          lowest row
//   4   4  owning TDEF page; "LVAL" on long-value pages; 0 for map rows
//   8   4  Jet 4 only: unknown, written as zero
//   8/12 2 row count
//   10/14  one 2-byte offset per row, the row's first byte. Rows are packed
//          from the page end downwards, row 0 highest. 0x8000 flags a deleted
//          row, 0x4000 a row moved elsewhere (it holds a 4-byte row pointer
//          to where the row now lives; that copy is itself flagged deleted);
//          the low 13 bits are the offset.
// A row's length is the distance to the previous row's start (or the page
// end for row 0). The offsets per version are Format's data* fields.

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
    const Pager& pager() const { return pager_; }

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

namespace jet::datapage {

// Most rows one page may hold: a row pointer keeps the row number in a byte.
inline constexpr std::size_t maxRows = 255;

// The owner field of long-value pages.
inline constexpr std::uint32_t lvalOwner = 0x4C41564C;  // "LVAL"

// Makes page (format.pageSize bytes) an empty data page of owner.
void init(std::span<std::uint8_t> page, const Format& format, std::uint32_t owner);

std::size_t rowCount(std::span<const std::uint8_t> page, const Format& format);

// Free bytes for one more row, its offset entry already taken off; 0 when
// the page cannot take another row.
std::size_t roomForRow(std::span<const std::uint8_t> page, const Format& format);

// Copies row onto the page and returns its row number. The caller checks
// roomForRow first; a row that does not fit is a logic error (Invalid).
std::uint8_t addRow(std::span<std::uint8_t> page, const Format& format,
                    std::span<const std::uint8_t> row);

// Reserves a row of length bytes and returns where to write it.
std::uint8_t* reserveRow(std::span<std::uint8_t> page, const Format& format, std::size_t length,
                         std::uint8_t& rowNumber);

}  // namespace jet::datapage
