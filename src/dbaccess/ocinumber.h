#pragma once

#include <optional>

#include "dbaccess/oraclevalue.h"

namespace dbaccess {

// Decodes a NUMBER in Oracle's internal format (the bytes after SQLT_VNU's
// length byte) into the most exact value kind. Nothing when the bytes are not
// a valid number.
//
// Format: byte 0 holds the sign (bit 7 set for positive) and the base-100
// exponent (biased by 65, and complemented for negatives); each following byte
// is one base-100 digit, stored as digit + 1 for positives and 101 - digit for
// negatives, where a trailing 102 ends a negative number of fewer than 20
// digits. Zero is the single byte 0x80; 0x00 and 0xFF 0x65 are minus and plus
// infinity.
std::optional<TOracleValue> decodeOracleNumber(const unsigned char* bytes, int size);

}  // namespace dbaccess
