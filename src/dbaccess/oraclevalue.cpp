#include "dbaccess/oraclevalue.h"

#include <QTimeZone>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace dbaccess {

namespace {

// A number as sign, significant digits (no leading or trailing zeros) and a
// power of ten: value = digits * 10^exponent. Zero has no digits.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;

    void normalize() {
        const auto first = digits.find_first_not_of('0');
        if (first == std::string::npos) {
            digits.clear();
            negative = false;
            exponent = 0;
            return;
        }
        digits.erase(0, first);
        const auto last = digits.find_last_not_of('0');
        exponent += static_cast<int>(digits.size() - 1 - last);
        digits.erase(last + 1);
    }
};

std::optional<Decimal> parseDecimal(std::string_view s) {
    Decimal d;
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) d.negative = s[i++] == '-';
    bool anyDigit = false;
    int fractionDigits = 0;
    bool inFraction = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            d.digits.push_back(c);
            anyDigit = true;
            if (inFraction) ++fractionDigits;
        } else if (c == '.' && !inFraction) {
            inFraction = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return std::nullopt;
    int exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) negativeExponent = s[i++] == '-';
        const auto [end, ec] = std::from_chars(s.data() + i, s.data() + s.size(), exponent);
        if (ec != std::errc() || end == s.data() + i || exponent > 100000) return std::nullopt;
        i = static_cast<size_t>(end - s.data());
        if (negativeExponent) exponent = -exponent;
    }
    if (i != s.size()) return std::nullopt;
    d.exponent = exponent - fractionDigits;
    d.normalize();
    return d;
}

Decimal decimalOfDouble(double v) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific);
    return *parseDecimal(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
}

Decimal decimalOfInteger(qint64 v) {
    Decimal d;
    d.negative = v < 0;
    const std::string s = std::to_string(v);
    d.digits = d.negative ? s.substr(1) : s;
    d.normalize();
    return d;
}

QString plainText(const Decimal& d) {
    if (d.digits.empty()) return QStringLiteral("0");
    std::string out = d.negative ? "-" : "";
    const int length = static_cast<int>(d.digits.size());
    if (d.exponent >= 0) {
        out += d.digits;
        out.append(static_cast<size_t>(d.exponent), '0');
    } else if (length + d.exponent > 0) {
        const auto point = static_cast<size_t>(length + d.exponent);
        out += d.digits.substr(0, point) + "." + d.digits.substr(point);
    } else {
        out += "0.";
        out.append(static_cast<size_t>(-(length + d.exponent)), '0');
        out += d.digits;
    }
    return QString::fromLatin1(out);
}

std::optional<qint64> integerOf(const Decimal& d) {
    if (d.digits.empty()) return 0;
    if (d.exponent < 0 || d.digits.size() + static_cast<size_t>(d.exponent) > 19) return {};
    unsigned long long magnitude = 0;
    for (const char c : d.digits) magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
    for (int i = 0; i < d.exponent; ++i) magnitude *= 10;  // at most 19 digits: no overflow
    const unsigned long long limit =
        static_cast<unsigned long long>(std::numeric_limits<qint64>::max()) + (d.negative ? 1 : 0);
    if (magnitude > limit) return {};
    if (d.negative) return static_cast<qint64>(0ULL - magnitude);
    return static_cast<qint64>(magnitude);
}

std::strong_ordering compareDecimals(const Decimal& a, const Decimal& b) {
    const int signA = a.digits.empty() ? 0 : (a.negative ? -1 : 1);
    const int signB = b.digits.empty() ? 0 : (b.negative ? -1 : 1);
    if (signA != signB || signA == 0) return signA <=> signB;
    // Same sign: compare magnitudes by the place of the leading digit, then digits.
    const int leadA = static_cast<int>(a.digits.size()) + a.exponent;
    const int leadB = static_cast<int>(b.digits.size()) + b.exponent;
    std::strong_ordering magnitude = leadA <=> leadB;
    if (magnitude == 0) {
        const int c = a.digits.compare(b.digits);  // aligned at the leading digit
        magnitude = c <=> 0;
    }
    return signA > 0 ? magnitude : 0 <=> magnitude;
}

Decimal decimalOfValue(const TOracleValue& v) {
    switch (v.kind()) {
        case TOracleValue::Kind::Integer:
            return decimalOfInteger(v.integerValue());
        case TOracleValue::Kind::Double:
            return decimalOfDouble(v.doubleValue());
        default:
            return parseDecimal(v.textValue().toStdString()).value_or(Decimal{});
    }
}

QString twoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

}  // namespace

QString doubleToText(double value) {
    if (std::isnan(value)) return QStringLiteral("Nan");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("Inf") : QStringLiteral("-Inf");
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

QDateTime TOracleDateTime::toQDateTime() const {
    if (hasOffset) return QDateTime(date(), time(), QTimeZone(offsetMinutes * 60));
    return QDateTime(date(), time(), QTimeZone::utc());
}

QString TOracleDateTime::toText() const {
    QString out = QStringLiteral("%1-%2-%3 %4:%5:%6")
                      .arg(year, 4, 10, QLatin1Char('0'))
                      .arg(twoDigits(month), twoDigits(day), twoDigits(hour), twoDigits(minute),
                           twoDigits(second));
    if (nanosecond != 0) {
        QString fraction = QStringLiteral("%1").arg(nanosecond, 9, 10, QLatin1Char('0'));
        while (fraction.endsWith(QLatin1Char('0'))) fraction.chop(1);
        out += QLatin1Char('.') + fraction;
    }
    if (hasOffset) {
        const int magnitude = std::abs(offsetMinutes);
        out += (offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
               twoDigits(magnitude / 60) + QLatin1Char(':') + twoDigits(magnitude % 60);
    }
    return out;
}

std::optional<TOracleDateTime> TOracleDateTime::fromText(QStringView text) {
    const QByteArray latin = text.toLatin1();
    return fromText(std::string_view(latin.constData(), static_cast<std::size_t>(latin.size())));
}

std::optional<TOracleDateTime> TOracleDateTime::fromText(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    auto number = [&](int width, int& out) {
        if (end - p < width) return false;
        out = 0;
        for (int i = 0; i < width; ++i, ++p) {
            if (*p < '0' || *p > '9') return false;
            out = out * 10 + (*p - '0');
        }
        return true;
    };
    auto expect = [&](char c) {
        if (p == end || *p != c) return false;
        ++p;
        return true;
    };
    TOracleDateTime v;
    if (!number(4, v.year) || !expect('-') || !number(2, v.month) || !expect('-') ||
        !number(2, v.day))
        return std::nullopt;
    if (p != end && (*p == ' ' || *p == 'T')) {
        ++p;
        if (!number(2, v.hour) || !expect(':') || !number(2, v.minute) || !expect(':') ||
            !number(2, v.second))
            return std::nullopt;
        if (p != end && *p == '.') {
            ++p;
            int digits = 0;
            while (p != end && *p >= '0' && *p <= '9') {
                if (digits < 9) v.nanosecond = v.nanosecond * 10 + (*p - '0');
                ++digits;
                ++p;
            }
            if (digits == 0) return std::nullopt;
            for (; digits < 9; ++digits) v.nanosecond *= 10;
        }
        if (p != end && (*p == '+' || *p == '-')) {
            const bool negative = *p == '-';
            ++p;
            int hours = 0;
            int minutes = 0;
            if (!number(2, hours) || !expect(':') || !number(2, minutes) || hours > 14 ||
                minutes > 59)
                return std::nullopt;
            v.hasOffset = true;
            v.offsetMinutes = (negative ? -1 : 1) * (hours * 60 + minutes);
        } else if (p != end && *p == 'Z') {
            ++p;
            v.hasOffset = true;
        }
    }
    if (p != end || !QDate::isValid(v.year, v.month, v.day) || v.hour > 23 || v.minute > 59 ||
        v.second > 59)
        return std::nullopt;
    return v;
}

TOracleValue TOracleValue::text(const QString& value) { return utf8Text(value.toUtf8()); }

TOracleValue TOracleValue::utf8Text(QByteArray utf8) {
    // Malformed sequences become U+FFFD here, as decoding would have made them.
    if (!utf8.isValidUtf8()) utf8 = QString::fromUtf8(utf8).toUtf8();
    TOracleValue v;
    v.kind_ = Kind::Text;
    v.bytes_ = std::move(utf8);
    return v;
}

QString TOracleValue::textValue() const {
    if (kind_ == Kind::Text) return QString::fromUtf8(bytes_);
    return kind_ == Kind::Decimal ? QString::fromLatin1(bytes_) : QString();
}

TOracleValue TOracleValue::integer(qint64 value) {
    TOracleValue v;
    v.kind_ = Kind::Integer;
    v.integer_ = value;
    return v;
}

TOracleValue TOracleValue::real(double value) {
    TOracleValue v;
    v.kind_ = Kind::Double;
    v.double_ = value;
    return v;
}

TOracleValue TOracleValue::decimal(QString digits) {
    TOracleValue v;
    v.kind_ = Kind::Decimal;
    v.bytes_ = std::move(digits).toLatin1();
    return v;
}

TOracleValue TOracleValue::dateTime(const TOracleDateTime& value) {
    TOracleValue v;
    v.kind_ = Kind::DateTime;
    v.dateTime_ = value;
    return v;
}

TOracleValue TOracleValue::bytes(QByteArray value) {
    TOracleValue v;
    v.kind_ = Kind::Bytes;
    v.bytes_ = std::move(value);
    return v;
}

std::optional<TOracleValue> TOracleValue::number(QStringView text) {
    const std::optional<Decimal> d = parseDecimal(text.trimmed().toLatin1().toStdString());
    if (!d) return std::nullopt;
    if (const auto i = integerOf(*d)) return integer(*i);
    // A double is used only when its shortest text gives back every digit.
    const std::string scientific = (d->negative ? "-" : "") +
                                   (d->digits.empty() ? "0" : d->digits) + "e" +
                                   std::to_string(d->exponent);
    double value = 0;
    const auto result =
        std::from_chars(scientific.data(), scientific.data() + scientific.size(), value);
    if (result.ec == std::errc() && std::isfinite(value)) {
        const Decimal back = decimalOfDouble(value);
        if (back.digits == d->digits && back.exponent == d->exponent) return real(value);
    }
    return decimal(plainText(*d));
}

double TOracleValue::toDouble() const {
    switch (kind_) {
        case Kind::Integer:
            return static_cast<double>(integer_);
        case Kind::Double:
            return double_;
        case Kind::Decimal: {
            const std::string s = bytes_.toStdString();
            double value = 0;
            std::from_chars(s.data(), s.data() + s.size(), value);
            return value;
        }
        default:
            return 0;
    }
}

QString TOracleValue::toText() const {
    switch (kind_) {
        case Kind::Null:
            return QString();
        case Kind::Text:
        case Kind::Decimal:
            return textValue();
        case Kind::Integer:
            return QString::number(integer_);
        case Kind::Double:
            if (!std::isfinite(double_)) return doubleToText(double_);
            return plainText(decimalOfDouble(double_));
        case Kind::DateTime:
            return dateTime_.toText();
        case Kind::Bytes:
            return QString::fromUtf8(bytes_);
    }
    return QString();
}

QVariant TOracleValue::toVariant() const {
    switch (kind_) {
        case Kind::Null:
            return QVariant();
        case Kind::Text:
        case Kind::Decimal:
            return textValue();
        case Kind::Integer:
            return integer_;
        case Kind::Double:
            return double_;
        case Kind::DateTime:
            return dateTime_.toQDateTime();
        case Kind::Bytes:
            return bytes_;
    }
    return QVariant();
}

std::partial_ordering operator<=>(const TOracleValue& a, const TOracleValue& b) {
    using Kind = TOracleValue::Kind;
    if (a.isNull() || b.isNull()) {
        if (a.isNull() && b.isNull()) return std::partial_ordering::equivalent;
        if (a.isNull() && b.isNumber()) return std::partial_ordering::less;
        if (b.isNull() && a.isNumber()) return std::partial_ordering::greater;
        return std::partial_ordering::unordered;
    }
    if (a.isNumber() && b.isNumber()) {
        if (a.kind() == Kind::Integer && b.kind() == Kind::Integer)
            return a.integerValue() <=> b.integerValue();
        if (a.kind() == Kind::Double && b.kind() == Kind::Double)
            return a.doubleValue() <=> b.doubleValue();
        if ((a.kind() == Kind::Double && !std::isfinite(a.doubleValue())) ||
            (b.kind() == Kind::Double && !std::isfinite(b.doubleValue())))
            return a.toDouble() <=> b.toDouble();
        return compareDecimals(decimalOfValue(a), decimalOfValue(b));
    }
    if (a.kind() != b.kind()) return std::partial_ordering::unordered;
    switch (a.kind()) {
        case Kind::Text:
            return a.textValue().compare(b.textValue(), Qt::CaseSensitive) <=> 0;
        case Kind::Bytes:
            return a.bytesValue().compare(b.bytesValue()) <=> 0;
        case Kind::DateTime: {
            const TOracleDateTime& x = a.dateTimeValue();
            const TOracleDateTime& y = b.dateTimeValue();
            // Values in different zones compare by the instant they name.
            auto key = [](const TOracleDateTime& t) {
                const qint64 days = t.date().toJulianDay();
                const qint64 seconds =
                    days * 86400 + t.hour * 3600 + t.minute * 60 + t.second - t.offsetMinutes * 60;
                return std::pair(seconds, t.nanosecond);
            };
            if (x.hasOffset != y.hasOffset) return std::partial_ordering::unordered;
            return key(x) <=> key(y);
        }
        default:
            return std::partial_ordering::unordered;
    }
}

}  // namespace dbaccess
