#pragma once

// Writing memo and OLE values.
//
// In the row a long value is a field in the variable area:
//   0  4  length (low 30 bits) with the storage kind in the top byte:
//         0x80 the data follows in the row itself,
//         0x40 the data is one LVAL row elsewhere,
//         0x00 the data is a chain of LVAL rows
//   4  4  row pointer of the (first) LVAL row (row in the low byte, page in
//         the upper three), zero when inline
//   8  4  unknown, zero
//   12 .. inline data
// A chain row starts with the 4-byte row pointer of the next piece (zero on
// the last), then its share of the data. LVAL rows live on data pages whose
// owner field reads "LVAL"; those pages belong to the column through its
// usage maps.

#include <cstdint>
#include <span>
#include <vector>

#include "jet/file/format.h"

namespace jet {

// Supplies room for LVAL rows of one column.
class LongValuePages {
public:
    virtual ~LongValuePages() = default;
    // Reserves a row of length bytes on an LVAL page of the column and
    // returns where to write it (valid until the transaction ends), with the
    // row's pointer.
    virtual std::uint8_t* reserve(std::size_t length, std::uint32_t& rowPointer) = 0;
};

// Values up to this size go inline when the row has room, as Access does.
inline constexpr std::size_t maxInlineLongValue = 64;

// Builds the row field for data. roomInRow is how many bytes the field may
// take in the row; data goes inline when it is small and fits there.
std::vector<std::uint8_t> writeLongValue(const Format& format, std::span<const std::uint8_t> data,
                                         std::size_t roomInRow, LongValuePages& pages);

// The field of a value stored inline (no pages needed).
std::vector<std::uint8_t> inlineLongValue(std::span<const std::uint8_t> data);

}  // namespace jet
