#pragma once

// Turning a caller's jet::Value into what a column stores, and text into the
// file's encoding.
//
// A converted ("stored") value has one shape per column type:
//   Boolean                     bool
//   Byte, Integer, Long         std::int64_t, in the column's range
//   Single, Double              double (finite; Single within float range)
//   Currency                    Currency
//   DateTime                    DateTime
//   Text, Memo                  Bytes: the text in the file's encoding
//   Binary, OLE                 Bytes
//   Guid                        Guid
//   Numeric                     Decimal at the column's scale
//   Null                        std::monostate
// The row builder relies on exactly these shapes.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "jet/file/format.h"
#include "jet/types.h"

namespace jet {

// What a conversion needs to know besides the column.
struct ConvertContext {
    Version version = Format::jet4().version;
    std::string_view table;         // for messages
    std::uint16_t codePage = 1252;  // Jet 3 text
};

// Largest memo or OLE value in bytes: the length word keeps 30 bits.
inline constexpr std::size_t maxLongValueBytes = 0x3FFFFFFF;

// Converts one value for a column. A Decimal column takes any number or
// numeric text (a double as its shortest decimal text), rounded half away
// from zero to the column's scale. Throws Error::Kind::Conversion naming the
// table and column when the value cannot be held, Error::Kind::Constraint when
// a required column is left Null. Null for Yes/No becomes No: the format
// cannot store a Null there.
Value convertValue(const Value& value, const ColumnDef& column, const ConvertContext& context);

// Converts a whole row (one value per column of table, in column order; a
// shorter span leaves the remaining columns Null). Autonumber columns get
// Null here; the inserter assigns them.
void convertRow(std::span<const Value> values, const TableDef& table, const ConvertContext& context,
                Row& out);

// UTF-8 to UTF-16; false on malformed input, or with replaceMalformed set,
// each byte that starts no sound sequence becomes U+FFFD.
bool decodeUtf8(std::string_view utf8, std::u16string& out, bool replaceMalformed = false);

// Text in the file's encoding. Jet 4: UTF-16LE, or with compress set and
// every character U+0001..U+00FF, the marker FF FE followed by one byte per
// character. Jet 3: code page 1252; returns false when a character has no
// byte there.
bool encodeJet4Text(std::u16string_view text, bool compress, Bytes& out);
bool encodeCp1252(std::u16string_view text, Bytes& out);

}  // namespace jet
