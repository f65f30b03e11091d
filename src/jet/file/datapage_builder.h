#pragma once

// Building data pages (also LVAL pages and the pages holding usage-map rows).
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
//          row, 0x4000 a row moved elsewhere; the low 13 bits are the offset.
// A row's length is the distance to the previous row's start (or the page
// end for row 0).

#include <cstdint>
#include <span>

#include "jet/file/format.h"

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
