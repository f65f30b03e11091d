#pragma once

// Building a table definition (TDEF) and splitting it into its page chain.
// The layout, Jet 3 and Jet 4 side by side, is described in tdef_reader.h.

#include <cstdint>
#include <span>
#include <vector>

#include "jet/file/format.h"
#include "jet/types.h"

namespace jet {

// The definition as one stream (the first page's 8-byte header included,
// next-page pointer zero). Throws Error::Kind::Invalid for a name that the
// format cannot hold. When rewriting a definition, pass the stream it was
// read from as original: the table-block bytes whose meaning is unknown are
// kept as they were.
std::vector<std::uint8_t> buildTableDefinition(const Format& format, const TableDef& table,
                                               std::span<const std::uint8_t> original = {});

// How many pages a definition of size bytes needs.
std::size_t tableDefinitionPages(const Format& format, std::size_t size);

// Splits a definition over the given pages (pages[0] the first), linking
// them and filling each header. Returns one page image per page number.
std::vector<std::vector<std::uint8_t>> splitTableDefinition(
    const Format& format, std::span<const std::uint8_t> definition,
    std::span<const std::uint32_t> pages);

// Names as a TDEF stores them; false when Jet 3's code page lacks a character.
bool encodeName(const Format& format, std::string_view utf8, std::vector<std::uint8_t>& out);

}  // namespace jet
