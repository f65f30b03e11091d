#include "jet/values/convert.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "jet/error.h"
#include "jet/file/format.h"
#include "jet/values/calendar.h"

namespace jet {

namespace {

// Decimal magnitudes are 128-bit.
__extension__ typedef unsigned __int128 U128;

[[noreturn]] void fail(const ConvertContext& ctx, const ColumnDef& col, const std::string& why) {
    throw Error(Error::Kind::Conversion, why).addTable(ctx.table).addColumn(col.name);
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Number in text form: a plain decimal with optional sign, fraction and exponent.
bool parseDouble(std::string_view text, double& out) {
    text = trim(text);
    if (text.empty() || text.size() > 400) return false;
    std::string s(text);
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || errno == ERANGE || !std::isfinite(out)) return false;
    // strtod also reads "inf", "nan" and hexadecimal; those are not numbers here.
    for (char c : s) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
              c == 'e' || c == 'E'))
            return false;
    }
    return true;
}

bool parseInt(std::string_view text, std::int64_t& out) {
    text = trim(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    unsigned long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        if (v > (std::numeric_limits<unsigned long long>::max() - 9) / 10) return false;
        v = v * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (negative) {
        if (v > 9223372036854775808ULL) return false;
        out = v == 9223372036854775808ULL ? std::numeric_limits<std::int64_t>::min()
                                          : -static_cast<std::int64_t>(v);
    } else {
        if (v > 9223372036854775807ULL) return false;
        out = static_cast<std::int64_t>(v);
    }
    return true;
}

bool digits(std::string_view s, std::size_t pos, std::size_t n, int& out) {
    if (pos + n > s.size()) return false;
    out = 0;
    for (std::size_t i = 0; i < n; ++i) {
        char c = s[pos + i];
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

// "YYYY-MM-DD", optionally followed by " HH:MM[:SS[.ffffff]]" (or 'T').
bool parseDateTime(std::string_view text, DateTime& out) {
    text = trim(text);
    int y, mo, d, h = 0, mi = 0, sec = 0;
    double frac = 0;
    if (!digits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' || !digits(text, 5, 2, mo) ||
        text[7] != '-' || !digits(text, 8, 2, d))
        return false;
    std::size_t p = 10;
    if (p < text.size()) {
        if (text[p] != ' ' && text[p] != 'T') return false;
        if (!digits(text, p + 1, 2, h) || p + 3 >= text.size() || text[p + 3] != ':' ||
            !digits(text, p + 4, 2, mi))
            return false;
        p += 6;
        if (p < text.size()) {
            if (text[p] != ':' || !digits(text, p + 1, 2, sec)) return false;
            p += 3;
            if (p < text.size()) {
                if (text[p] != '.' || p + 1 == text.size()) return false;
                double scale = 0.1;
                for (++p; p < text.size(); ++p, scale /= 10) {
                    if (text[p] < '0' || text[p] > '9') return false;
                    frac += (text[p] - '0') * scale;
                }
            }
        }
    }
    static constexpr int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 100 || mo < 1 || mo > 12 || d < 1 || d > monthDays[mo - 1] ||
        (mo == 2 && d == 29 && !leap) || h > 23 || mi > 59 || sec > 59)
        return false;
    double dayFraction = (h * 3600.0 + mi * 60.0 + sec + frac) / 86400.0;
    auto days = static_cast<double>(
        calendar::daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)));
    // Before 1899-12-30 the whole part counts back while the time counts forward.
    out.days = days >= 0 ? days + dayFraction : days - dayFraction;
    return true;
}

std::int64_t toInteger(const Value& v, const ColumnDef& col, const ConvertContext& ctx) {
    if (v.is<std::int64_t>()) return v.as<std::int64_t>();
    if (v.is<bool>()) return v.as<bool>() ? -1 : 0;  // Access's True is -1
    double d = 0;
    if (v.is<double>()) {
        d = v.as<double>();
    } else if (v.is<Currency>()) {
        d = static_cast<double>(v.as<Currency>().scaled) / 10000.0;
    } else if (v.is<std::string>()) {
        std::int64_t i = 0;
        if (parseInt(v.as<std::string>(), i)) return i;
        if (!parseDouble(v.as<std::string>(), d))
            fail(ctx, col, "'" + v.as<std::string>() + "' is not a number");
    } else if (v.is<Decimal>()) {
        const Decimal& dec = v.as<Decimal>();
        U128 m = 0;
        for (auto b : dec.magnitude) m = (m << 8) | b;
        d = static_cast<double>(m);
        for (int i = 0; i < dec.scale; ++i) d /= 10;
        if (dec.negative) d = -d;
    } else {
        fail(ctx, col,
             "a value of this kind cannot be stored in a " + std::string(columnTypeName(col.type)) +
                 " column");
    }
    if (!std::isfinite(d) || d >= 9.3e18 || d <= -9.3e18) fail(ctx, col, "number out of range");
    return static_cast<std::int64_t>(std::nearbyint(d));
}

double toDouble(const Value& v, const ColumnDef& col, const ConvertContext& ctx) {
    double d = 0;
    if (v.is<double>()) {
        d = v.as<double>();
    } else if (v.is<std::int64_t>()) {
        d = static_cast<double>(v.as<std::int64_t>());
    } else if (v.is<bool>()) {
        d = v.as<bool>() ? -1 : 0;
    } else if (v.is<Currency>()) {
        d = static_cast<double>(v.as<Currency>().scaled) / 10000.0;
    } else if (v.is<Decimal>()) {
        return static_cast<double>(toInteger(v, col, ctx));
    } else if (v.is<std::string>()) {
        if (!parseDouble(v.as<std::string>(), d))
            fail(ctx, col, "'" + v.as<std::string>() + "' is not a number");
    } else {
        fail(ctx, col,
             "a value of this kind cannot be stored in a " + std::string(columnTypeName(col.type)) +
                 " column");
    }
    if (!std::isfinite(d)) fail(ctx, col, "not a finite number");
    return d;
}

// Every byte in 0x01..0x7F, looked at eight at a time: no byte with its high
// bit set (UTF-8 beyond ASCII) and no NUL.
bool isPlainAscii(std::string_view s) {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    constexpr std::uint64_t highs = 0x8080808080808080u;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        if ((w & highs) != 0 || ((w - ones) & ~w & highs) != 0) return false;
    }
    for (; i < s.size(); ++i)
        if (static_cast<unsigned char>(s[i]) - 1u >= 0x7Fu) return false;
    return true;
}

// Text into the file's encoding, into out (its buffer reused).
void encodeText(std::string_view utf8, const ColumnDef& col, const ConvertContext& ctx,
                std::size_t maxChars, Bytes& out) {
    // Plain ASCII (the common case) needs no decoding: one character per byte.
    const bool ascii = isPlainAscii(utf8);
    const bool unicode = Format::of(ctx.version).unicodeText;
    if (ascii && (unicode || ctx.codePage == 1252)) {
        if (utf8.size() > maxChars)
            fail(ctx, col,
                 "text of " + std::to_string(utf8.size()) +
                     " characters is longer than the column's " + std::to_string(maxChars));
        const bool compress = unicode && (col.extraFlags & 0x01) != 0 &&
                              (col.type == ColumnType::Text || utf8.size() <= 1024) &&
                              utf8.size() > 2;
        if (!unicode) {
            out.assign(utf8.begin(), utf8.end());
        } else if (compress) {
            out.resize(utf8.size() + 2);
            out[0] = 0xFF;
            out[1] = 0xFE;
            std::memcpy(out.data() + 2, utf8.data(), utf8.size());
        } else {
            out.assign(utf8.size() * 2, 0);
            for (std::size_t i = 0; i < utf8.size(); ++i)
                out[2 * i] = static_cast<std::uint8_t>(utf8[i]);
        }
        return;
    }
    std::u16string text;
    if (!decodeUtf8(utf8, text)) fail(ctx, col, "text is not valid UTF-8");
    if (text.size() > maxChars)
        fail(ctx, col,
             "text of " + std::to_string(text.size()) + " characters is longer than the column's " +
                 std::to_string(maxChars));
    if (unicode) {
        // Access compresses memo text only up to 1024 characters.
        bool compress =
            (col.extraFlags & 0x01) != 0 && (col.type == ColumnType::Text || text.size() <= 1024);
        encodeJet4Text(text, compress, out);
    } else {
        if (ctx.codePage != 1252)
            throw Error(
                Error::Kind::Unsupported,
                "writing text in code page " + std::to_string(ctx.codePage) + " is not supported")
                .addTable(ctx.table)
                .addColumn(col.name);
        if (!encodeCp1252(text, out))
            fail(ctx, col, "the text holds a character that code page 1252 does not have");
    }
}

std::string numberText(const Value& v) {
    if (v.is<std::int64_t>()) return std::to_string(v.as<std::int64_t>());
    if (v.is<bool>()) return v.as<bool>() ? "True" : "False";
    if (v.is<double>()) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.15g", v.as<double>());
        return buf;
    }
    return {};
}

// A number as decimal digits: value = digits x 10^exponent.
struct DecimalDigits {
    std::string digits;  // no leading zeros; empty for zero
    long exponent = 0;
    bool negative = false;
};

// Plain decimal text with optional sign, fraction and exponent ("-1.5e3").
bool parseDecimalText(std::string_view text, DecimalDigits& out) {
    text = trim(text);
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';
    bool any = false, point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            any = true;
            if (!(out.digits.empty() && c == '0')) out.digits += c;
            if (point) --out.exponent;
        } else {
            break;
        }
    }
    if (!any) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        if (i == text.size()) return false;
        long e = 0;
        for (; i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            // Far beyond any Decimal either way; kept bounded.
            if (e < 100000) e = e * 10 + (text[i] - '0');
        }
        out.exponent += negative ? -e : e;
    }
    return i == text.size();
}

// Numbers of every kind to a Decimal at the column's scale. Digits beyond
// the scale are rounded half away from zero, as Oracle's own NUMBER rounding
// does; a value with more integer digits than the precision allows is refused.
Decimal toDecimal(const Value& v, const ColumnDef& col, const ConvertContext& ctx) {
    DecimalDigits n;
    std::string text;
    if (v.is<Decimal>() || v.is<Currency>() || v.is<std::int64_t>()) {
        text = v.toString();
    } else if (v.is<bool>()) {
        text = v.as<bool>() ? "-1" : "0";  // Access's True is -1
    } else if (v.is<double>()) {
        const double d = v.as<double>();
        if (!std::isfinite(d)) fail(ctx, col, "not a finite number");
        // The shortest text that reads back as the same double: 0.1 is 0.1,
        // not the binary fraction's 55 digits.
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, d);
        text.assign(buf, r.ptr);
    } else if (v.is<std::string>()) {
        text = v.as<std::string>();
    } else {
        fail(ctx, col, "a value of this kind cannot be stored in a Decimal column");
    }
    if (!parseDecimalText(text, n)) fail(ctx, col, "'" + text + "' is not a decimal number");
    const int precision = col.precision ? std::min<int>(col.precision, 38) : 18;
    const int scale = std::min<int>(col.scale, precision);
    auto outOfRange = [&] {
        fail(ctx, col,
             text + " does not fit the column's precision and scale (" + std::to_string(precision) +
                 ", " + std::to_string(scale) + ")");
    };
    // Unscaled digits at the column's scale.
    std::string& digits = n.digits;
    const long shift = n.exponent + scale;
    if (!digits.empty() && shift >= 0) {
        if (static_cast<long>(digits.size()) + shift > precision) outOfRange();
        digits.append(static_cast<std::size_t>(shift), '0');
    } else if (!digits.empty()) {
        const auto drop = static_cast<std::size_t>(-shift);
        const bool roundUp = drop <= digits.size() && digits[digits.size() - drop] >= '5';
        digits.resize(drop < digits.size() ? digits.size() - drop : 0);
        if (roundUp) {
            std::size_t k = digits.size();
            while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
            if (k == 0)
                digits.insert(digits.begin(), '1');
            else
                ++digits[k - 1];
        }
    }
    if (static_cast<int>(digits.size()) > precision) outOfRange();
    U128 m = 0;
    for (char c : digits) m = m * 10 + static_cast<unsigned>(c - '0');
    Decimal d;
    for (int i = 15; i >= 0; --i) {
        d.magnitude[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(m);
        m >>= 8;
    }
    d.negative = n.negative && !digits.empty();
    d.scale = static_cast<std::uint8_t>(scale);
    return d;
}

}  // namespace

bool encodeJet4Text(std::u16string_view text, bool compress, Bytes& out) {
    out.clear();
    // Compressed form: only when every character fits one byte (and is not
    // NUL, which switches modes) and it saves space.
    if (compress && text.size() > 2) {
        bool fits = true;
        for (char16_t c : text) fits = fits && c >= 0x01 && c <= 0xFF;
        if (fits) {
            out.reserve(text.size() + 2);
            out.push_back(0xFF);
            out.push_back(0xFE);
            for (char16_t c : text) out.push_back(static_cast<std::uint8_t>(c));
            return true;
        }
    }
    out.resize(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<std::uint8_t>(text[i]);
        out[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    return true;
}

namespace {

// Yes/No: Access's words for true and false, or any number.
Value toBoolean(const Value& v, const ColumnDef& col, const ConvertContext& ctx) {
    if (v.is<bool>()) return v;
    if (v.is<std::string>()) {
        std::string s(trim(v.as<std::string>()));
        for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (s == "true" || s == "yes" || s == "on" || s == "-1" || s == "1") return true;
        if (s == "false" || s == "no" || s == "off" || s == "0") return false;
        fail(ctx, col, "'" + v.as<std::string>() + "' is not Yes or No");
    }
    return toDouble(v, col, ctx) != 0;
}

// Byte, Integer and Long: within the type's range.
Value toWholeNumber(const Value& v, const ColumnDef& col, const ConvertContext& ctx) {
    std::int64_t i = toInteger(v, col, ctx);
    std::int64_t lo = col.type == ColumnType::Byte      ? 0
                      : col.type == ColumnType::Integer ? -32768
                                                        : std::numeric_limits<std::int32_t>::min();
    std::int64_t hi = col.type == ColumnType::Byte      ? 255
                      : col.type == ColumnType::Integer ? 32767
                                                        : std::numeric_limits<std::int32_t>::max();
    if (i < lo || i > hi)
        fail(ctx, col,
             std::to_string(i) + " is out of range for " + columnTypeName(col.type) + " (" +
                 std::to_string(lo) + " to " + std::to_string(hi) + ")");
    return i;
}

// Currency: exact from integers, text and Decimal; rounded from doubles.
Value toCurrency(const Value& v, const ColumnDef& col, const ConvertContext& ctx) {
    if (v.is<Currency>()) return v;
    if (v.is<std::int64_t>()) {
        std::int64_t i = v.as<std::int64_t>();
        if (i > 922337203685477 || i < -922337203685477)
            fail(ctx, col, "number out of range for Currency");
        return Currency{i * 10000};
    }
    if (v.is<std::string>() || v.is<Decimal>()) {
        ColumnDef four = col;
        four.scale = 4;
        four.precision = 19;
        Decimal d = toDecimal(v, four, ctx);
        U128 m = 0;
        for (auto b : d.magnitude) m = (m << 8) | b;
        if (m > static_cast<U128>(std::numeric_limits<std::int64_t>::max()))
            fail(ctx, col, "number out of range for Currency");
        auto s = static_cast<std::int64_t>(m);
        return Currency{d.negative ? -s : s};
    }
    double d = toDouble(v, col, ctx) * 10000.0;
    if (d >= 9.2233720368547e18 || d <= -9.2233720368547e18)
        fail(ctx, col, "number out of range for Currency");
    return Currency{static_cast<std::int64_t>(std::nearbyint(d))};
}

// Date/Time: dates as they come, ISO text, or day numbers.
Value toDateTime(const Value& v, const ColumnDef& col, const ConvertContext& ctx) {
    if (v.is<DateTime>()) {
        if (!std::isfinite(v.as<DateTime>().days)) fail(ctx, col, "not a date");
        return v;
    }
    if (v.is<std::string>()) {
        DateTime dt;
        if (!parseDateTime(v.as<std::string>(), dt))
            fail(ctx, col, "'" + v.as<std::string>() + "' is not a date and time");
        return dt;
    }
    if (v.is<double>() || v.is<std::int64_t>()) return DateTime{toDouble(v, col, ctx)};
    fail(ctx, col, "a value of this kind cannot be stored in a Date/Time column");
}

std::size_t maxTextChars(const ColumnDef& col, const ConvertContext& ctx) {
    return col.type == ColumnType::Memo
               ? maxLongValueBytes / 2
               : std::size_t{col.length} / Format::of(ctx.version).textUnitSize;
}

// Text and Memo: text, or the text of a number or date, into out.
void toText(const Value& v, const ColumnDef& col, const ConvertContext& ctx, Bytes& out) {
    const std::size_t maxChars = maxTextChars(col, ctx);
    if (v.is<std::string>()) return encodeText(v.as<std::string>(), col, ctx, maxChars, out);
    std::string s = numberText(v);
    if (v.is<Currency>())
        s = std::to_string(static_cast<double>(v.as<Currency>().scaled) / 10000.0);
    if (v.is<DateTime>()) s = v.as<DateTime>().toIsoString();
    if (v.is<Decimal>()) s = v.as<Decimal>().toString();
    if (s.empty()) fail(ctx, col, "a value of this kind cannot be stored as text");
    encodeText(s, col, ctx, maxChars, out);
}

// Binary and OLE Object: bytes up to the column's size, or a GUID's.
Value toBinary(const Value& v, const ColumnDef& col, const ConvertContext& ctx) {
    std::size_t limit = col.type == ColumnType::Binary ? col.length : maxLongValueBytes;
    if (v.is<Bytes>()) {
        if (v.as<Bytes>().size() > limit)
            fail(ctx, col,
                 std::to_string(v.as<Bytes>().size()) + " bytes are more than the column holds (" +
                     std::to_string(limit) + ")");
        return v;
    }
    if (v.is<Guid>() && limit >= 16) return Bytes(v.as<Guid>().begin(), v.as<Guid>().end());
    fail(
        ctx, col,
        "only binary data can be stored in a " + std::string(columnTypeName(col.type)) + " column");
}

// Replication ID: a GUID, or its text with or without braces.
Value toGuid(const Value& v, const ColumnDef& col, const ConvertContext& ctx) {
    if (v.is<Guid>()) return v;
    if (v.is<std::string>()) {
        std::string_view s = trim(v.as<std::string>());
        if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
        Guid g{};
        std::size_t k = 0;
        for (std::size_t i = 0; i < s.size() && k < 32; ++i) {
            if ((i == 8 || i == 13 || i == 18 || i == 23) && s[i] == '-') continue;
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
            int n = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (n < 0) break;
            g[k / 2] = static_cast<std::uint8_t>(g[k / 2] | (n << (k % 2 ? 0 : 4)));
            ++k;
        }
        if (k == 32 && s.size() == 36) return g;
    }
    fail(ctx, col, "not a Replication ID");
}

}  // namespace

Value convertValue(const Value& v, const ColumnDef& col, const ConvertContext& ctx) {
    if (v.isNull()) {
        if (col.type == ColumnType::Boolean) return false;
        if (!col.isNullable() && !col.isAutoNumber())
            throw Error(Error::Kind::Constraint, "the column is required and cannot be left empty")
                .addTable(ctx.table)
                .addColumn(col.name);
        return {};
    }
    switch (col.type) {
        case ColumnType::Boolean:
            return toBoolean(v, col, ctx);
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
            return toWholeNumber(v, col, ctx);
        case ColumnType::Single: {
            double d = toDouble(v, col, ctx);
            if (std::fabs(d) > std::numeric_limits<float>::max())
                fail(ctx, col, "number out of range for Single");
            return d;
        }
        case ColumnType::Double:
            return toDouble(v, col, ctx);
        case ColumnType::Currency:
            return toCurrency(v, col, ctx);
        case ColumnType::DateTime:
            return toDateTime(v, col, ctx);
        case ColumnType::Text:
        case ColumnType::Memo: {
            Bytes out;
            toText(v, col, ctx, out);
            return out;
        }
        case ColumnType::Binary:
        case ColumnType::Ole:
            return toBinary(v, col, ctx);
        case ColumnType::Guid:
            return toGuid(v, col, ctx);
        case ColumnType::Numeric:
            return toDecimal(v, col, ctx);
    }
    throw Error(Error::Kind::Unsupported, "unsupported column type")
        .addTable(ctx.table)
        .addColumn(col.name);
}

void convertRow(std::span<const Value> values, const TableDef& table, const ConvertContext& ctx,
                Row& out) {
    if (values.size() > table.columns.size())
        throw Error(Error::Kind::Invalid, "the table has " + std::to_string(table.columns.size()) +
                                              " columns, but the row has " +
                                              std::to_string(values.size()) + " values")
            .addTable(table.name);
    out.resize(table.columns.size());
    static const Value null;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDef& col = table.columns[i];
        const Value& v = i < values.size() ? values[i] : null;
        // Text is encoded into the buffer the column's previous value left,
        // so that a run of rows allocates nothing for it.
        Bytes* reuse = out[i].getIf<Bytes>();
        if (reuse && !v.isNull() && (col.type == ColumnType::Text || col.type == ColumnType::Memo))
            toText(v, col, ctx, *reuse);
        else
            out[i] = col.isAutoNumber() && v.isNull() ? Value{} : convertValue(v, col, ctx);
    }
}

}  // namespace jet
