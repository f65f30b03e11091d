#pragma once

// The bodies of the fuzz targets (fuzz/*.cpp), shared with the regression
// test that replays tests/jet/fuzz_regressions/<target>/* in the normal
// build. Each takes arbitrary bytes; a jet::Error is an accepted outcome,
// anything else (crash, sanitizer report, other exception) is a bug: another
// exception aborts with its message.

#include <cstdint>
#include <span>
#include <string>

namespace jetfuzz {

// Page 0 parsing: signature, version, masked region.
void header(std::span<const std::uint8_t> data);
// A table definition: byte 0 picks Jet 3 / Jet 4, the rest is the TDEF.
void tdef(std::span<const std::uint8_t> data);
// Row cracking and value decoding: byte 0 version, byte 1 column count,
// six bytes per column (type, flags, number, variable slot, fixed offset,
// length), the rest is the row.
void row(std::span<const std::uint8_t> data);
// A whole file image (byte 0 version, the rest pages): data pages and their
// row tables, usage maps, TDEF chains, table scans with long values, the
// catalog.
void pages(std::span<const std::uint8_t> data);

// The write path without a file: byte 0 version, byte 1 column count, four
// bytes per column (type, flags, length, scale), then values (a kind byte and
// its payload each). Converts the values, builds the row, reads it back and
// encodes each column's index key.
void append(std::span<const std::uint8_t> data);

// Runs the named entry ("header", "tdef", "row", "pages", "append"); false
// for an unknown name.
bool runEntry(const std::string& target, std::span<const std::uint8_t> data);

}  // namespace jetfuzz
