#pragma once

// Long values (Memo, OLE Object): reading and writing the field a row keeps
// in its variable area.
//
//   0  4  length word: the value's length in bytes in the low 30 bits, the
//         storage in the top two: 0x80 (in byte 3) the data follows in the
//         row after these 12 bytes, 0x40 one LVAL row holds it all, 0x00 a
//         chain of LVAL rows
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
#include "jet/file/pager.h"
#include "jet/types.h"

namespace jet {

constexpr std::uint8_t kLongValueInline = 0x80;
constexpr std::uint8_t kLongValueSingle = 0x40;
constexpr std::uint8_t kLongValueChain = 0x00;
constexpr std::size_t kLongValueHeader = 12;

// Values up to this size go inline when the row has room, as Access does.
inline constexpr std::size_t maxInlineLongValue = 64;

// Reads the value a long-value field names; Corrupt for a chain that loops,
// runs short or points nowhere. pager may be null when only inline data is
// allowed (the decoders under test).
Bytes readLongValue(const Pager* pager, const Format& format, std::span<const std::uint8_t> field);

// Supplies room for LVAL rows of one column.
class LongValuePages {
public:
    virtual ~LongValuePages() = default;
    // Reserves a row of length bytes on an LVAL page of the column and
    // returns where to write it (valid until the transaction ends), with the
    // row's pointer.
    virtual std::uint8_t* reserve(std::size_t length, std::uint32_t& rowPointer) = 0;
};

// Builds the row field for data. roomInRow is how many bytes the field may
// take in the row; data goes inline when it is small and fits there.
std::vector<std::uint8_t> writeLongValue(const Format& format, std::span<const std::uint8_t> data,
                                         std::size_t roomInRow, LongValuePages& pages);

// The field of a value stored inline (no pages needed).
std::vector<std::uint8_t> inlineLongValue(std::span<const std::uint8_t> data);

}  // namespace jet
