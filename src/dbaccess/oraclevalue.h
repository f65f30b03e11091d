#pragma once

// One value read from the Oracle side: Null, text, a number (integer, double
// or exact decimal text), a date-time or bytes. Built to be read in tight loops:
// no heap work for Null, numbers and date-times, and accessors return references.
// Text keeps the UTF-8 bytes the source delivered, so that on its way to a page
// it is converted only once, into the file's encoding.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

namespace dbaccess {

// A calendar date and wall-clock time as Oracle holds it, with nanoseconds and,
// for TIMESTAMP WITH TIME ZONE, the offset from UTC. Zone-less values carry no
// time zone at all, so no local daylight-saving rule can move them.
struct TOracleDateTime {
    int year = 1;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int nanosecond = 0;
    bool hasOffset = false;
    int offsetMinutes = 0;

    QDate date() const { return QDate(year, month, day); }
    QTime time() const { return QTime(hour, minute, second, nanosecond / 1000000); }
    // Zone-less values come back in UTC spec (a plain wall clock); values with an
    // offset keep it. date() and time() of the result are the stored wall clock.
    QDateTime toQDateTime() const;
    // "YYYY-MM-DD HH:MM:SS", then ".fffffffff" without trailing zeros when there
    // are fractional seconds, then "+HH:MM" when there is an offset.
    QString toText() const;
    // Accepts the form toText() writes ('T' is also accepted between date and time,
    // and the time may be left out). Returns nothing for anything else.
    static std::optional<TOracleDateTime> fromText(QStringView text);
    // The same from UTF-8 bytes (any byte beyond ASCII fails).
    static std::optional<TOracleDateTime> fromText(std::string_view text);

    friend bool operator==(const TOracleDateTime&, const TOracleDateTime&) = default;
};

class TOracleValue {
public:
    enum class Kind : std::uint8_t {
        Null,
        Text,
        Integer,
        Double,
        Decimal,  // a number a double would not hold exactly, as plain decimal text
        DateTime,
        Bytes,
    };

    TOracleValue() noexcept : integer_(0) {}
    static TOracleValue text(const QString& value);
    static TOracleValue utf8Text(QByteArray utf8);  // as the source delivered it
    static TOracleValue integer(qint64 value);
    static TOracleValue real(double value);
    static TOracleValue decimal(QString digits);  // already in canonical form
    static TOracleValue dateTime(const TOracleDateTime& value);
    static TOracleValue bytes(QByteArray value);
    // The number written as decimal text ("-12.5", "1E+40"), as the most exact of
    // integer, double or decimal text. Nothing when the text is not a number.
    static std::optional<TOracleValue> number(QStringView text);

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isNumber() const {
        return kind_ == Kind::Integer || kind_ == Kind::Double || kind_ == Kind::Decimal;
    }

    // Raw access, valid only for the matching kind.
    QString textValue() const;                              // Text and Decimal
    const QByteArray& utf8Value() const { return bytes_; }  // Text
    qint64 integerValue() const { return integer_; }
    double doubleValue() const { return double_; }
    const TOracleDateTime& dateTimeValue() const { return dateTime_; }
    const QByteArray& bytesValue() const { return bytes_; }

    // Any number as a double (decimal text rounded); 0 for other kinds.
    double toDouble() const;
    // The value as text: numbers in plain decimal, date-times as
    // TOracleDateTime::toText, bytes as UTF-8, Null as an empty text.
    QString toText() const;
    QVariant toVariant() const;

    // Data-dictionary comparison: numbers compare as numbers whatever their kind;
    // Null equals Null, differs from everything else and is below every number;
    // texts compare exactly, letter case included. Anything else is unordered.
    friend std::partial_ordering operator<=>(const TOracleValue& a, const TOracleValue& b);
    friend bool operator==(const TOracleValue& a, const TOracleValue& b) {
        return (a <=> b) == std::partial_ordering::equivalent;
    }

private:
    // Compact (72 bytes), because rows of these cross from the reading
    // thread to the converting one, cache line by cache line.
    Kind kind_ = Kind::Null;
    union {
        qint64 integer_;
        double double_;
        TOracleDateTime dateTime_;
    };
    QByteArray bytes_;  // Bytes, Text in UTF-8, Decimal digits
};

// Shortest decimal text that reads back as the same double ("0.1", "1e+30").
QString doubleToText(double value);

}  // namespace dbaccess
