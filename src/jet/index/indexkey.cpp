#include "jet/index/indexkey.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "jet/error.h"
#include "jet/file/format.h"
#include "jet/values/convert.h"
#include "jet/values/sortorder.h"

namespace jet {
namespace {

constexpr std::uint8_t kAscValue = 0x7F;
constexpr std::uint8_t kDescValue = 0x80;
constexpr std::uint8_t kAscNull = 0x00;
constexpr std::uint8_t kDescNull = 0xFF;

constexpr std::size_t kMaxIndexedChars = 255;
constexpr std::uint8_t kEndText = 0x01;
constexpr std::uint8_t kEndValue = 0x00;
constexpr std::uint8_t kExtraPlaceholder = 0x02;

__extension__ typedef unsigned __int128 U128;

void invert(std::vector<std::uint8_t>& out, std::size_t from) {
    for (std::size_t i = from; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
}

[[noreturn]] void cannotHold(ColumnType type, const Value& value) {
    throw Error(Error::Kind::Conversion, std::string("index key: the value '") + value.toString() +
                                             "' cannot be held by a " + columnTypeName(type) +
                                             " column");
}

std::int64_t integerOf(ColumnType type, const Value& v, std::int64_t lo, std::int64_t hi) {
    std::int64_t n = 0;
    if (v.is<std::int64_t>()) {
        n = v.as<std::int64_t>();
    } else if (v.is<bool>()) {
        n = v.as<bool>() ? -1 : 0;
    } else if (v.is<double>()) {
        double d = v.as<double>();
        if (!(d >= static_cast<double>(lo) && d <= static_cast<double>(hi)) || d != std::trunc(d))
            cannotHold(type, v);
        n = static_cast<std::int64_t>(d);
    } else {
        cannotHold(type, v);
    }
    if (n < lo || n > hi) cannotHold(type, v);
    return n;
}

double doubleOf(ColumnType type, const Value& v) {
    if (v.is<double>()) return v.as<double>();
    if (v.is<std::int64_t>()) return static_cast<double>(v.as<std::int64_t>());
    if (v.is<DateTime>()) return v.as<DateTime>().days;
    if (v.is<Currency>()) return static_cast<double>(v.as<Currency>().scaled) / 10000.0;
    cannotHold(type, v);
}

void appendBigEndian(std::vector<std::uint8_t>& out, std::uint64_t bits, int width) {
    const std::size_t from = out.size();
    out.resize(from + static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i)
        out[from + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(bits >> (8 * (width - 1 - i)));
}

void appendInteger(std::vector<std::uint8_t>& out, std::int64_t n, int width, bool asc) {
    const std::size_t from = out.size();
    appendBigEndian(out, static_cast<std::uint64_t>(n), width);
    out[from] ^= 0x80;
    if (!asc) invert(out, from);
}

void appendFloat(std::vector<std::uint8_t>& out, std::uint64_t bits, int width, bool asc) {
    const std::size_t from = out.size();
    appendBigEndian(out, bits, width);
    const bool negative = (out[from] & 0x80) != 0;
    if (!negative) out[from] ^= 0x80;
    if (negative == asc) invert(out, from);
}

void appendSegmented(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size,
                     bool asc) {
    std::size_t pos = 0;
    while (size - pos > 8) {
        const std::size_t from = out.size();
        out.insert(out.end(), data + pos, data + pos + 8);
        if (!asc) invert(out, from);
        out.push_back(9);
        pos += 8;
    }
    if (pos < size) {
        const std::size_t from = out.size();
        const std::size_t n = size - pos;
        out.insert(out.end(), data + pos, data + size);
        out.insert(out.end(), 8 - n, 0);
        out.push_back(static_cast<std::uint8_t>(n));
        if (!asc) invert(out, from);
    }
}

U128 magnitudeOf(const Decimal& d) {
    U128 m = 0;
    for (std::uint8_t b : d.magnitude) m = (m << 8) | b;
    return m;
}

// The 16-byte magnitude of a value at the column's scale.
U128 scaledMagnitude(const Decimal& d, std::uint8_t scale, const Value& v) {
    U128 m = magnitudeOf(d);
    const U128 limit = ~U128{0} / 10;
    for (int s = d.scale; s < scale; ++s) {
        if (m > limit) cannotHold(ColumnType::Numeric, v);
        m *= 10;
    }
    for (int s = scale; s < d.scale; ++s) {
        const bool roundUp = (m % 10) >= 5;
        m = m / 10 + (roundUp ? 1 : 0);
    }
    return m;
}

void appendDecimal(std::vector<std::uint8_t>& out, const KeyColumn& col, const Value& v) {
    U128 m = 0;
    bool negative = false;
    if (v.is<Decimal>()) {
        m = scaledMagnitude(v.as<Decimal>(), col.scale, v);
        negative = v.as<Decimal>().negative && m != 0;
    } else if (v.is<std::int64_t>()) {
        const std::int64_t n = v.as<std::int64_t>();
        negative = n < 0;
        Decimal d;
        std::uint64_t a =
            negative ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
        for (int i = 15; i >= 8; --i, a >>= 8) d.magnitude[i] = static_cast<std::uint8_t>(a);
        m = scaledMagnitude(d, col.scale, v);
    } else {
        cannotHold(ColumnType::Numeric, v);
    }
    const std::size_t from = out.size();
    out.push_back(negative ? 0x80 : 0x00);
    for (int i = 15; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(m >> (8 * i)));
    if (negative == col.ascending) invert(out, from);
    out[from] = negative ? 0x00 : 0xFF;
}

// --- Jet 4 text ---------------------------------------------------------------

// Accent codes, one per inline character, plus how many characters they cover.
struct ExtraCodes {
    std::vector<std::uint8_t> bytes;
    std::size_t chars = 0;
    std::size_t unprintablePrefix = 0;  // a modifier with no earlier code to modify
    bool used = false;
};

void addExtra(ExtraCodes& extra, std::size_t charPos, const sortorder::CharCode& code) {
    extra.used = true;
    if (extra.chars < charPos) {
        extra.bytes.insert(extra.bytes.end(), charPos - extra.chars, kExtraPlaceholder);
        extra.chars = charPos;
    }
    if (code.cls != sortorder::CharClass::UnprintableModifier) {
        extra.bytes.insert(extra.bytes.end(), code.extraCodes, code.extraCodes + code.extraLen);
        ++extra.chars;
    } else if (!extra.bytes.empty()) {
        extra.bytes.back() = static_cast<std::uint8_t>(extra.bytes.back() + code.extraCodes[0]);
    } else {
        extra.bytes.push_back(code.extraCodes[0]);
        extra.unprintablePrefix = 1;
    }
}

void appendJet4Text(std::vector<std::uint8_t>& out, std::u16string_view text, bool asc) {
    const std::size_t from = out.size();
    ExtraCodes extra;
    std::vector<std::uint8_t> unprintable;
    std::vector<std::uint8_t> crazy;
    std::size_t charPos = 0;
    char16_t previous = 0;
    for (char16_t c : text) {
        const sortorder::CharCode& code = sortorder::jet4(c);
        const std::size_t pos = charPos;
        if (code.inlineLen != 0) {
            out.insert(out.end(), code.inlineCodes, code.inlineCodes + code.inlineLen);
            // Access counts U+00DF once right after a thorn (seen in its keys
            // for "\u00DE\u00DF"), twice everywhere else it was seen.
            const bool afterThorn = c == 0xDF && (previous == 0xDE || previous == 0xFE);
            charPos += afterThorn ? 1 : code.elements;
        }
        previous = c;
        if (code.cls == sortorder::CharClass::Simple) continue;
        if (code.extraLen != 0) addExtra(extra, pos, code);
        if (code.unprintLen != 0) {
            // The tag counts positions in the accent codes as they stand, plus
            // the characters they do not cover yet.
            std::size_t tagPos = pos;
            if (extra.used)
                tagPos = extra.bytes.size() + (pos - extra.chars) - extra.unprintablePrefix;
            const unsigned tag = (7 + 4 * static_cast<unsigned>(tagPos)) | 0x8000;
            unprintable.push_back(static_cast<std::uint8_t>(tag >> 8));
            unprintable.push_back(static_cast<std::uint8_t>(tag));
            unprintable.push_back(0x06);
            unprintable.insert(unprintable.end(), code.unprintCodes,
                               code.unprintCodes + code.unprintLen);
        }
        if (code.crazy != 0) crazy.push_back(code.crazy);
    }
    out.push_back(kEndText);

    while (!extra.bytes.empty() && extra.bytes.back() <= kExtraPlaceholder) extra.bytes.pop_back();
    const bool hasUnprintable = !unprintable.empty();
    const bool hasCrazy = !crazy.empty();
    out.insert(out.end(), extra.bytes.begin(), extra.bytes.end());
    if (hasCrazy || hasUnprintable) {
        out.push_back(kEndText);
        out.push_back(kEndText);
        if (hasCrazy) {
            while (!crazy.empty() && crazy.back() == 3) crazy.pop_back();
            // Three 2-bit flags to a byte, under a 0x80 marker.
            for (std::size_t i = 0; i < crazy.size(); i += 3) {
                std::uint8_t b = 0x80;
                for (std::size_t k = 0; k < 3 && i + k < crazy.size(); ++k)
                    b = static_cast<std::uint8_t>(b | (crazy[i + k] << (2 * (2 - k))));
                out.push_back(b);
            }
            for (std::uint8_t b : {0xFF, 0x02, 0x80, 0xFF, 0x80}) out.push_back(b);
            if (hasUnprintable) out.push_back(0xFF);
        }
        if (hasUnprintable) {
            out.push_back(kEndText);
            out.insert(out.end(), unprintable.begin(), unprintable.end());
        }
    }
    if (!asc) {
        out.push_back(kEndValue);
        invert(out, from);
    }
    out.push_back(kEndValue);
}

// --- Jet 3 text ---------------------------------------------------------------

void appendJet3Text(std::vector<std::uint8_t>& out, std::u16string_view text, bool asc) {
    const std::size_t from = out.size();
    std::vector<std::uint8_t> nibbles;
    std::size_t significant = 0;
    const sortorder::CharCode& sharpS = sortorder::jet3(0xDF);
    for (char16_t c : text) {
        const sortorder::CharCode& code = sortorder::jet3(c);
        out.insert(out.end(), code.inlineCodes, code.inlineCodes + code.inlineLen);
        // U+00DF stands for "ss" there, two letters that could carry an
        // accent: Access keeps a placeholder for each. Other ligatures (Æ, Œ)
        // count as no letter, as their Jet 4 keys count them as one.
        if (&code == &sharpS) significant += 2;
        if (code.cls == sortorder::CharClass::Simple) continue;
        if (code.cls == sortorder::CharClass::Significant) {
            ++significant;
            continue;
        }
        if (code.extraLen == 0) continue;
        if (nibbles.empty()) nibbles.push_back(0);
        nibbles.insert(nibbles.end(), significant, kExtraPlaceholder);
        nibbles.push_back(code.extraCodes[0] & 0x0F);
        significant = 0;
    }
    if (nibbles.empty()) {
        out.push_back(kEndValue);
    } else {
        nibbles.push_back(0);
        for (std::size_t i = 0; i < nibbles.size(); i += 2) {
            const std::uint8_t lo = i + 1 < nibbles.size() ? nibbles[i + 1] : 0;
            out.push_back(static_cast<std::uint8_t>((nibbles[i] << 4) | lo));
        }
    }
    if (!asc) invert(out, from);
}

// Text of plain ASCII characters (the common case) keys straight from its
// UTF-8 bytes; returns false, writing nothing, for anything else.
bool appendSimpleText(std::vector<std::uint8_t>& out, Version version, std::string_view s,
                      bool asc) {
    struct Codes {
        std::uint8_t len[128];  // 0xFF: not a simple character
        std::uint8_t codes[128][4];
    };
    static const std::array<Codes, 2> tables = [] {
        std::array<Codes, 2> t{};
        for (std::size_t v = 0; v < 2; ++v) {
            for (char16_t c = 0; c < 128; ++c) {
                const sortorder::CharCode& code = v == 0 ? sortorder::jet4(c) : sortorder::jet3(c);
                t[v].len[c] = code.cls == sortorder::CharClass::Simple ? code.inlineLen : 0xFF;
                std::memcpy(t[v].codes[c], code.inlineCodes, 4);
            }
        }
        return t;
    }();
    const bool general2000 = Format::of(version).textKeys2000;
    const Codes& t = tables[general2000 ? 0 : 1];
    if (s.size() > kMaxIndexedChars) s = s.substr(0, kMaxIndexedChars);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    // One pass: codes in place (four bytes written, len kept), terminators.
    const std::size_t from = out.size();
    out.resize(from + 4 * s.size() + 2);
    std::uint8_t* at = out.data() + from;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || t.len[c] == 0xFF) {
            out.resize(from);
            return false;
        }
        std::memcpy(at, t.codes[c], 4);
        at += t.len[c];
    }
    if (general2000) {
        *at++ = kEndText;
        if (!asc) *at++ = kEndValue;
        out.resize(static_cast<std::size_t>(at - out.data()));
        if (!asc) invert(out, from);
        out.push_back(kEndValue);
    } else {
        *at++ = kEndValue;
        out.resize(static_cast<std::size_t>(at - out.data()));
        if (!asc) invert(out, from);
    }
    return true;
}

}  // namespace

bool isSupportedTextSortOrder(Version, std::uint16_t sortOrder) {
    // 0 appears in some older definitions and means the database default, General.
    return sortOrder == 0x0409 || sortOrder == 0;
}

void appendTextKey(std::vector<std::uint8_t>& out, Version version, std::u16string_view text,
                   bool ascending) {
    if (text.size() > kMaxIndexedChars) text = text.substr(0, kMaxIndexedChars);
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
    if (Format::of(version).textKeys2000)
        appendJet4Text(out, text, ascending);
    else
        appendJet3Text(out, text, ascending);
}

namespace {

// Yes/No has no Null: a missing value is No.
void appendYesNo(std::vector<std::uint8_t>& out, const KeyColumn& col, const Value& v) {
    bool yes = false;
    if (v.is<bool>())
        yes = v.as<bool>();
    else if (v.is<std::int64_t>())
        yes = v.as<std::int64_t>() != 0;
    else if (!v.isNull())
        cannotHold(col.type, v);
    out.push_back(col.ascending ? kAscValue : kDescValue);
    out.push_back((yes == col.ascending) ? 0x00 : 0xFF);
}

// A Currency key holds the value in ten-thousandths.
std::int64_t currencyOf(ColumnType type, const Value& v) {
    if (v.is<Currency>()) return v.as<Currency>().scaled;
    if (v.is<std::int64_t>()) {
        const std::int64_t n = v.as<std::int64_t>();
        if (n > std::numeric_limits<std::int64_t>::max() / 10000 ||
            n < std::numeric_limits<std::int64_t>::min() / 10000)
            cannotHold(type, v);
        return n * 10000;
    }
    if (v.is<double>()) {
        const double d = std::round(v.as<double>() * 10000.0);
        if (!(std::fabs(d) < 9.2e18)) cannotHold(type, v);
        return static_cast<std::int64_t>(d);
    }
    cannotHold(type, v);
}

// Text keys: plain ASCII straight from its bytes, anything else decoded once.
void appendTextValue(std::vector<std::uint8_t>& out, Version version, const KeyColumn& col,
                     const Value& v) {
    if (!isSupportedTextSortOrder(version, col.sortOrder))
        throw Error(Error::Kind::Unsupported, "index key: text sort order " +
                                                  std::to_string(col.sortOrder) +
                                                  " is not supported (only General)");
    if (v.is<std::string>() && appendSimpleText(out, version, v.as<std::string>(), col.ascending))
        return;
    thread_local std::u16string text;
    if (v.is<std::string>())
        decodeUtf8(v.as<std::string>(), text, true);
    else
        decodeUtf8(v.toString(), text, true);
    appendTextKey(out, version, text, col.ascending);
}

}  // namespace

void appendKeyValue(std::vector<std::uint8_t>& out, Version version, const KeyColumn& col,
                    const Value& v) {
    const bool asc = col.ascending;
    if (col.type == ColumnType::Boolean) {
        appendYesNo(out, col, v);
        return;
    }
    if (v.isNull()) {
        out.push_back(asc ? kAscNull : kDescNull);
        return;
    }
    out.push_back(asc ? kAscValue : kDescValue);
    switch (col.type) {
        case ColumnType::Byte:
            out.push_back(static_cast<std::uint8_t>(integerOf(col.type, v, 0, 255)));
            if (!asc) out.back() = static_cast<std::uint8_t>(~out.back());
            return;
        case ColumnType::Integer:
            appendInteger(out, integerOf(col.type, v, -32768, 32767), 2, asc);
            return;
        case ColumnType::Long:
            appendInteger(out,
                          integerOf(col.type, v, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max()),
                          4, asc);
            return;
        case ColumnType::Currency:
            appendInteger(out, currencyOf(col.type, v), 8, asc);
            return;
        case ColumnType::Single: {
            const float f = static_cast<float>(doubleOf(col.type, v));
            std::uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            appendFloat(out, bits, 4, asc);
            return;
        }
        case ColumnType::Double:
        case ColumnType::DateTime: {
            const double d = doubleOf(col.type, v);
            std::uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            appendFloat(out, bits, 8, asc);
            return;
        }
        case ColumnType::Numeric:
            appendDecimal(out, col, v);
            return;
        case ColumnType::Guid: {
            if (!v.is<Guid>()) cannotHold(col.type, v);
            const Guid& g = v.as<Guid>();
            appendSegmented(out, g.data(), g.size(), asc);
            return;
        }
        case ColumnType::Binary: {
            if (!v.is<Bytes>()) cannotHold(col.type, v);
            const Bytes& b = v.as<Bytes>();
            appendSegmented(out, b.data(), b.size(), asc);
            return;
        }
        case ColumnType::Text:
        case ColumnType::Memo:
            appendTextValue(out, version, col, v);
            return;
        default:
            throw Error(Error::Kind::Unsupported, std::string("index key: a ") +
                                                      columnTypeName(col.type) +
                                                      " column cannot be indexed");
    }
}

std::vector<std::uint8_t> encodeKey(Version version, const std::vector<KeyColumn>& columns,
                                    const std::vector<const Value*>& values) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        static const Value kNull;
        appendKeyValue(out, version, columns[i],
                       i < values.size() && values[i] ? *values[i] : kNull);
    }
    return out;
}

}  // namespace jet
