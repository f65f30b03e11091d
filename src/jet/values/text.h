#pragma once

// Text as the file stores it, to and from UTF-8.
//
// Jet 4 text is UTF-16LE. A column with the compression flag may hold a
// value as FF FE followed by segments that alternate, starting compressed:
// a compressed segment has one byte per character (U+0000-U+00FF), an
// uncompressed one two bytes per character; a 0x00 byte switches between
// them. Jet 3 text is single bytes in the database code page.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

std::string utf16ToUtf8(std::span<const std::uint8_t> utf16le);
// A Jet 4 text value, compressed or not.
std::string decodeJet4Text(std::span<const std::uint8_t> data);
// Jet 3 text in a code page. 1252 (and 0, unknown) is mapped by our own
// table; other code pages go through the C library's converters (bytes
// they cannot read become U+FFFD), or as 1252 when there is none.
std::string decodeCodePage(std::span<const std::uint8_t> data, std::uint16_t codePage);
// Whether decodeCodePage() reads this code page as itself (not as 1252).
bool canDecodeCodePage(std::uint16_t codePage);

// UTF-8 to the code page; nullopt when a character has no byte there.
std::optional<std::vector<std::uint8_t>> encodeCodePage(std::string_view utf8,
                                                        std::uint16_t codePage);
// Number of UTF-16 code units of a UTF-8 string (Access counts lengths so).
std::size_t utf16Length(std::string_view utf8);

// Names compare without regard to the case of ASCII letters.
bool namesEqual(std::string_view a, std::string_view b);

}  // namespace jet
