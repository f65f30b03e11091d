#pragma once

// Page 0, the database header.
//
//   0x00  4  00 01 00 00
//   0x04 16  "Standard Jet DB" NUL-padded ("Standard ACE DB" in .accdb files)
//   0x14  4  version: 0 Jet 3, 1 Jet 4; 2 to 6 ACE (.accdb, under the ACE name)
//   0x18 ..  126 bytes (Jet 3) / 128 bytes (Jet 4) XOR-masked with the RC4
//            keystream of the key C7 DA 39 6B. Inside, by absolute offset:
//     0x38  2  Jet 3: 1
//     0x3A  2  Jet 3 database sort order (0x0409 General)
//     0x3C  2  code page (1252 in Western files)
//     0x3E  4  database key; non-zero means every other page is encrypted
//     0x42 20/40 password (Jet 4: further XORed with the creation date)
//     0x66  2  Jet 3: 0x251E, a constant of every file seen
//     0x6A  2  Jet 4: 0x261C, likewise
//     0x6E  4  Jet 4 sort order: LCID (2) and version (2)
//     0x72  8  Jet 4 creation date (double, days since 1899-12-30)
//   0x98  4  Jet 4: 0x0654, after the masked region
//   0x9C  4  Jet 4: "4.0"
// The rest of the page is not understood; writers keep it as found.

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "jet/file/format.h"
#include "jet/types.h"

namespace jet {

struct Header {
    Version version = Format::jet4().version;
    std::uint16_t codePage = 1252;
    std::uint16_t sortOrder = 0x0409;
    std::uint32_t databaseKey = 0;
};

// The RC4 keystream that masks the header region (n bytes).
std::vector<std::uint8_t> headerMask(std::size_t length);

// Reads the header from the first bytes of a file (at least 0x18 plus the
// masked region). Errors name the file: Corrupt for anything that is not a
// Jet database, Unsupported for .accdb, unknown versions and encrypted files.
Header parseHeader(std::span<const std::uint8_t> page0, const std::filesystem::path& file);

// Writes the header of a new, empty, unencrypted database into a zeroed
// page: General sort order, code page 1252, created on the given date.
void writeHeader(std::span<std::uint8_t> page0, const Format& format, double created);

// XORs the masked region of a header page in place (masking and unmasking
// are the same operation).
void applyHeaderMask(std::span<std::uint8_t> page0, Version version);

}  // namespace jet
