#include "jet/types.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "jet/values/calendar.h"
#include "jet/values/text.h"

namespace jet {

const char* columnTypeName(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
            return "Yes/No";
        case ColumnType::Byte:
            return "Byte";
        case ColumnType::Integer:
            return "Integer";
        case ColumnType::Long:
            return "Long Integer";
        case ColumnType::Currency:
            return "Currency";
        case ColumnType::Single:
            return "Single";
        case ColumnType::Double:
            return "Double";
        case ColumnType::DateTime:
            return "Date/Time";
        case ColumnType::Binary:
            return "Binary";
        case ColumnType::Text:
            return "Text";
        case ColumnType::Ole:
            return "OLE Object";
        case ColumnType::Memo:
            return "Memo";
        case ColumnType::Guid:
            return "Replication ID";
        case ColumnType::Numeric:
            return "Decimal";
    }
    return "Unknown";
}

bool isLongValue(ColumnType type) { return type == ColumnType::Memo || type == ColumnType::Ole; }

bool isVariableLength(ColumnType type) {
    return type == ColumnType::Text || type == ColumnType::Binary || isLongValue(type);
}

std::uint16_t fixedDataSize(ColumnType type) {
    switch (type) {
        case ColumnType::Byte:
            return 1;
        case ColumnType::Integer:
            return 2;
        case ColumnType::Long:
        case ColumnType::Single:
            return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::DateTime:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Numeric:
            return 17;
        default:
            return 0;
    }
}

std::uint16_t declaredFixedLength(ColumnType type) {
    return type == ColumnType::Boolean ? 1 : fixedDataSize(type);
}

const ColumnDef* TableDef::findColumn(std::string_view wanted) const {
    for (const auto& c : columns)
        if (namesEqual(c.name, wanted)) return &c;
    return nullptr;
}

int TableDef::fixedColumnCount() const {
    int n = 0;
    for (const auto& c : columns) n += c.isFixed() ? 1 : 0;
    return n;
}

int TableDef::variableColumnCount() const {
    return static_cast<int>(columns.size()) - fixedColumnCount();
}

DateTime DateTime::fromParts(int year, int month, int day, int hour, int minute, double second) {
    const std::int64_t dayNumber =
        calendar::daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // Before the epoch the day counts backwards but the time still forwards.
    const double days = dayNumber >= 0 ? static_cast<double>(dayNumber) + time
                                       : static_cast<double>(dayNumber) - time;
    return DateTime{days};
}

DateTime::Parts DateTime::parts() const {
    Parts p{};
    if (!std::isfinite(days)) return p;
    double whole = std::trunc(days);
    long long dayNumber = static_cast<long long>(whole);
    long long ms = std::llround(std::fabs(days - whole) * 86400000.0);
    if (ms >= 86400000LL) {
        ms -= 86400000LL;
        dayNumber += 1;
    }
    calendar::civilFromDays(dayNumber, p.year, p.month, p.day);
    p.hour = static_cast<int>(ms / 3600000);
    p.minute = static_cast<int>(ms / 60000 % 60);
    p.second = static_cast<double>(ms % 60000) / 1000.0;
    return p;
}

std::string DateTime::toIsoString() const {
    const Parts p = parts();
    const long long ms = std::llround(p.second * 1000.0);
    char buf[64];
    if (ms % 1000 != 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02lld.%03lld", p.year, p.month,
                      p.day, p.hour, p.minute, ms / 1000, ms % 1000);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02lld", p.year, p.month, p.day,
                      p.hour, p.minute, ms / 1000);
    return buf;
}

namespace {

// magnitude = magnitude * 10 + digit; false on overflow of 128 bits.
bool mulAdd(std::array<std::uint8_t, 16>& m, unsigned digit) {
    unsigned carry = digit;
    for (int i = 15; i >= 0; --i) {
        const unsigned v = m[static_cast<std::size_t>(i)] * 10u + carry;
        m[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v & 0xFF);
        carry = v >> 8;
    }
    return carry == 0;
}

// magnitude /= 10, returns the remainder.
unsigned divTen(std::array<std::uint8_t, 16>& m) {
    unsigned rem = 0;
    for (auto& byte : m) {
        const unsigned v = (rem << 8) | byte;
        byte = static_cast<std::uint8_t>(v / 10);
        rem = v % 10;
    }
    return rem;
}

bool isZero(const std::array<std::uint8_t, 16>& m) {
    for (auto b : m)
        if (b) return false;
    return true;
}

}  // namespace

std::optional<Decimal> Decimal::parse(std::string_view text, std::uint8_t scale) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    Decimal d;
    d.scale = scale;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) d.negative = text[i++] == '-';
    bool digits = false, point = false;
    unsigned fraction = 0;
    int roundDigit = -1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        digits = true;
        if (point && fraction >= scale) {
            if (roundDigit < 0) roundDigit = c - '0';
            continue;
        }
        if (point) ++fraction;
        if (!mulAdd(d.magnitude, static_cast<unsigned>(c - '0'))) return std::nullopt;
    }
    if (!digits) return std::nullopt;
    for (; fraction < scale; ++fraction)
        if (!mulAdd(d.magnitude, 0)) return std::nullopt;
    if (roundDigit >= 5) {
        // Add one unit in the last place, half away from zero.
        unsigned carry = 1;
        for (int k = 15; k >= 0 && carry; --k) {
            const unsigned v = d.magnitude[static_cast<std::size_t>(k)] + carry;
            d.magnitude[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v & 0xFF);
            carry = v >> 8;
        }
        if (carry) return std::nullopt;
    }
    if (isZero(d.magnitude)) d.negative = false;
    return d;
}

std::string Decimal::toString() const {
    auto m = magnitude;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + divTen(m)));
    } while (!isZero(m));
    while (digits.size() <= scale) digits.insert(digits.begin(), '0');
    if (scale > 0) digits.insert(digits.end() - scale, '.');
    if (negative && !isZero(magnitude)) digits.insert(digits.begin(), '-');
    return digits;
}

std::string Value::toString() const {
    struct Visitor {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(bool b) const { return b ? "1" : "0"; }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const {
            char buf[64];
            auto r = std::to_chars(buf, buf + sizeof buf, d);
            return std::string(buf, r.ptr);
        }
        std::string operator()(Currency c) const {
            const bool neg = c.scaled < 0;
            const unsigned long long a = neg ? 0ULL - static_cast<unsigned long long>(c.scaled)
                                             : static_cast<unsigned long long>(c.scaled);
            char buf[48];
            std::snprintf(buf, sizeof buf, "%s%llu.%04llu", neg ? "-" : "", a / 10000, a % 10000);
            return buf;
        }
        std::string operator()(const DateTime& d) const { return d.toIsoString(); }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const Bytes& b) const {
            static const char hex[] = "0123456789ABCDEF";
            std::string out;
            out.reserve(b.size() * 2);
            for (auto x : b) {
                out += hex[x >> 4];
                out += hex[x & 15];
            }
            return out;
        }
        std::string operator()(const Guid& g) const {
            char buf[40];
            std::snprintf(buf, sizeof buf,
                          "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                          g[0], g[1], g[2], g[3], g[4], g[5], g[6], g[7], g[8], g[9], g[10], g[11],
                          g[12], g[13], g[14], g[15]);
            return buf;
        }
        std::string operator()(const Decimal& d) const { return d.toString(); }
    };
    return std::visit(Visitor{}, v_);
}

}  // namespace jet
