#pragma once

// Index keys: the bytes an index entry holds for a row's indexed values.
//
// Keys compare as plain unsigned bytes, so every encoding below is built to
// sort the way Access sorts the values. Each column of a key is a flag byte
// followed by that column's data; a multi-column key is the concatenation of
// its columns in index order.
//
//   flag  0x7F value, ascending     0x80 value, descending
//         0x00 Null, ascending      0xFF Null, descending (no data follows)
//
// Data of a descending column is the ascending data with every byte inverted
// (exceptions noted below), so Nulls sort first ascending and last descending.
//
//   Yes/No          one byte: 0x00 Yes, 0xFF No (descending swapped); never Null
//   Byte            the byte
//   Integer, Long,  big-endian two's complement with the top bit inverted
//   Currency        (8 bytes: the value x 10,000)
//   Single, Double, big-endian IEEE; values with the sign bit clear get it set,
//   Date/Time       negative values get every byte inverted
//   Decimal         the "legacy" order Jet 4 files use: the 17-byte value
//                   (sign byte, 16-byte big-endian magnitude at the column's
//                   scale) with every byte inverted when (negative == ascending),
//                   then the sign byte replaced by 0x00 (negative) / 0xFF
//   Binary, GUID    8-byte segments, each followed by a byte that is 9 when
//                   more segments follow, else the count of real bytes in this
//                   last (zero-padded) segment; descending inverts all but the
//                   9s. A GUID is its 16 bytes in the order it is printed.
//   Text, Memo      the General sort order of the format (see appendTextKey);
//                   the first 255 characters, trailing spaces ignored, case
//                   ignored.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/types.h"

namespace jet {

// One column of an index, with what its key encoding needs to know.
struct KeyColumn {
    ColumnType type = ColumnType::Long;
    bool ascending = true;
    std::uint8_t scale = 0;            // Decimal
    std::uint16_t sortOrder = 0x0409;  // Text, Memo
};

// Appends one column's part of a key. Values arrive as the row readers give
// them; a value the column type cannot hold fails with Error::Kind::Conversion.
void appendKeyValue(std::vector<std::uint8_t>& out, Version version, const KeyColumn& column,
                    const Value& value);

// Text in the General order of the format (Jet 4: by UTF-16 code unit;
// Jet 3: by character, characters beyond the code page's mostly ignored).
//
// Jet 4 layout after the flag byte: the inline codes of every character, 0x01,
// then only when needed: the accent ("extra") codes, one per inline character
// with trailing placeholders dropped; 0x01 0x01 and the packed "crazy" flags of
// extended letters; 0x01 and one position-tagged entry per unprintable
// character; last a 0x00. Descending: a 0x00 is added, everything is inverted,
// and another 0x00 ends the value.
//
// Jet 3 layout: the inline codes, then either a single 0x00 or, when some
// character carries an accent, a nibble string (0, one nibble per accent with
// 2-nibble placeholders for the unaccented significant letters before it, U+00DF
// counting as two letters; 0); descending inverts it all.
void appendTextKey(std::vector<std::uint8_t>& out, Version version, std::u16string_view text,
                   bool ascending);

// Whether the sort order of a text column is one we can encode keys for.
bool isSupportedTextSortOrder(Version version, std::uint16_t sortOrder);

// Convenience: the whole key of a row for the given columns and values.
std::vector<std::uint8_t> encodeKey(Version version, const std::vector<KeyColumn>& columns,
                                    const std::vector<const Value*>& values);

}  // namespace jet
