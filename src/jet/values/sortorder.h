#pragma once

// Per-character sort codes of the "General" text order of each format: Jet 4's
// (LCID 1033, version 0; "General legacy" in later Access) and Jet 3's. A text
// index key is built from these codes (indexkey.cpp); the figures themselves
// live in sortorder_tables.cpp, written by tools/gen_sortorder_tables.py.

#include <cstdint>

namespace jet::sortorder {

enum class CharClass : std::uint8_t {
    Ignored,              // contributes nothing
    Simple,               // inline codes only
    International,        // inline codes of the base letter + an accent ("extra") code
    Unprintable,          // no inline code; a position-tagged code in a trailing section
    UnprintableModifier,  // adds its code to the previous extra code
    ExtInternational,     // like International, plus a 2-bit "crazy" flag
    Significant,          // Jet 3: inline codes; counts toward the accent placeholders
    Surrogate,            // Jet 4 UTF-16 surrogate halves: computed inline codes
};

struct CharCode {
    CharClass cls = CharClass::Ignored;
    std::uint8_t inlineLen = 0;
    std::uint8_t extraLen = 0;
    std::uint8_t unprintLen = 0;
    std::uint8_t crazy = 0;  // ExtInternational: 2 or 3
    // Positions this character takes when Jet 4 numbers accent and
    // unprintable codes (U+00DF, sorting as "ss", takes two).
    std::uint8_t elements = 1;
    std::uint8_t inlineCodes[4] = {};
    std::uint8_t extraCodes[2] = {};
    std::uint8_t unprintCodes[2] = {};
};

// Codes of one UTF-16 code unit in the Jet 4 General order.
const CharCode& jet4(char16_t c);
// Codes of one character in the Jet 3 General order. Characters above U+00FF
// sort as the code-page character they map to, or are ignored. U+0000 keys
// as the control characters do (0x10), as Access's own keys show.
const CharCode& jet3(char16_t c);

}  // namespace jet::sortorder
