#pragma once

// Long values (Memo, OLE Object). In the row, a 12-byte header sits in the
// variable area:
//   0  3  length of the value in bytes
//   3  1  storage: 0x80 the data follows in the row (after these 12 bytes),
//         0x40 one LVAL row holds it all, 0x00 a chain of LVAL rows
//   4  4  row pointer of the (first) LVAL row
//   8  4  unknown
// The length is read as the low 30 bits of the first 4 bytes.
// A chained LVAL row starts with the 4-byte row pointer of the next piece
// (0 on the last), then data; the pieces together make the value. LVAL rows
// live on data pages whose owner field reads "LVAL".

#include <cstdint>
#include <span>

#include "jet/file/format.h"
#include "jet/file/pager.h"
#include "jet/types.h"

namespace jet {

constexpr std::uint8_t kLongValueInline = 0x80;
constexpr std::uint8_t kLongValueSingle = 0x40;
constexpr std::uint8_t kLongValueChain = 0x00;
constexpr std::size_t kLongValueHeader = 12;

// Reads the value a long-value header names; Corrupt for a chain that loops,
// runs short or points nowhere. pager may be null when only inline data is
// allowed (the decoders under test).
Bytes readLongValue(const Pager* pager, const Format& format, std::span<const std::uint8_t> field);

}  // namespace jet
