#include "dbaccess/oraclevalue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using dbaccess::TOracleDateTime;
using dbaccess::TOracleValue;
using Kind = TOracleValue::Kind;

TEST(OracleNumber, TakesTheMostExactKindThatHoldsEveryDigit) {
    struct Case {
        const char* text;
        Kind kind;
        const char* asText;
    };
    const Case cases[] = {
        {"42", Kind::Integer, "42"},
        {"-0.000", Kind::Integer, "0"},
        {"1e5", Kind::Integer, "100000"},
        {"9223372036854775807", Kind::Integer, "9223372036854775807"},
        {"-9223372036854775808", Kind::Integer, "-9223372036854775808"},
        {"9223372036854775808", Kind::Decimal, "9223372036854775808"},
        {"1.50", Kind::Double, "1.5"},
        {"0.1", Kind::Double, "0.1"},
        {"-0.00001", Kind::Double, "-0.00001"},
        {"1E+40", Kind::Double, "10000000000000000000000000000000000000000"},
        {"12345678901234567890.123456789", Kind::Decimal, "12345678901234567890.123456789"},
        {"-0.12345678901234567891", Kind::Decimal, "-0.12345678901234567891"},
        {"123456789012345678900", Kind::Decimal, "123456789012345678900"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto v = TOracleValue::number(QString::fromLatin1(c.text));
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->kind(), c.kind);
        EXPECT_EQ(v->toText(), QString::fromLatin1(c.asText));
    }
    for (const char* bad : {"", ".", "abc", "1.2.3", "1e", "--1", "12a"})
        EXPECT_FALSE(TOracleValue::number(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(OracleNumber, DoublesReadBackAsTheirShortestText) {
    EXPECT_EQ(TOracleValue::real(0.1).toText(), QStringLiteral("0.1"));
    EXPECT_EQ(TOracleValue::real(1e-7).toText(), QStringLiteral("0.0000001"));
    EXPECT_EQ(TOracleValue::real(std::numeric_limits<double>::infinity()).toText(),
              QStringLiteral("Inf"));
    EXPECT_EQ(TOracleValue::decimal(QStringLiteral("1.25")).toDouble(), 1.25);
}

TEST(DictionaryValues, CompareAsTheDataDictionaryRulesSay) {
    const TOracleValue null;
    const TOracleValue one = TOracleValue::integer(1);
    const TOracleValue text1 = TOracleValue::text(QStringLiteral("1"));

    // Null equals Null, is below every number and unordered against text.
    EXPECT_EQ(null, TOracleValue());
    EXPECT_TRUE(null < TOracleValue::integer(-1000000));
    EXPECT_TRUE(null < TOracleValue::real(-1e300));
    EXPECT_FALSE(null == text1);
    EXPECT_FALSE(null < text1 || null > text1);

    // Numbers compare as numbers whatever their kind.
    EXPECT_EQ(one, TOracleValue::real(1.0));
    EXPECT_EQ(TOracleValue::real(0.1), TOracleValue::decimal(QStringLiteral("0.1")));
    EXPECT_TRUE(TOracleValue::integer(9) < TOracleValue::integer(10));
    EXPECT_TRUE(TOracleValue::decimal(QStringLiteral("-5.5")) < TOracleValue::integer(-5));
    EXPECT_TRUE(TOracleValue::integer(std::numeric_limits<qint64>::max()) <
                TOracleValue::decimal(QStringLiteral("9223372036854775807.5")));
    EXPECT_TRUE(TOracleValue::real(15.0) > TOracleValue::integer(9));

    // Texts compare exactly; a text is never equal to a number.
    EXPECT_EQ(TOracleValue::text(QStringLiteral("UNIQUE")),
              TOracleValue::text(QStringLiteral("UNIQUE")));
    EXPECT_NE(TOracleValue::text(QStringLiteral("UNIQUE")),
              TOracleValue::text(QStringLiteral("unique")));
    EXPECT_NE(one, text1);
}

TEST(OracleDateTime, ReadsAndWritesTheSnapshotForm) {
    const auto stamp = TOracleDateTime::fromText(u"2024-01-31 23:59:59.123456+05:30");
    ASSERT_TRUE(stamp.has_value());
    EXPECT_EQ(stamp->nanosecond, 123456000);
    EXPECT_TRUE(stamp->hasOffset);
    EXPECT_EQ(stamp->offsetMinutes, 330);
    EXPECT_EQ(stamp->toText(), QStringLiteral("2024-01-31 23:59:59.123456+05:30"));
    EXPECT_EQ(stamp->toQDateTime().time(), QTime(23, 59, 59, 123));
    EXPECT_EQ(stamp->toQDateTime().offsetFromUtc(), 330 * 60);

    const auto day = TOracleDateTime::fromText(u"2000-02-29");
    ASSERT_TRUE(day.has_value());
    EXPECT_EQ(day->toText(), QStringLiteral("2000-02-29 00:00:00"));

    // A wall clock that does not exist in some local zone still comes back unchanged.
    const auto gap = TOracleDateTime::fromText(u"2024-03-31T02:30:00");
    ASSERT_TRUE(gap.has_value());
    EXPECT_EQ(gap->toQDateTime().time(), QTime(2, 30));

    for (const char16_t* bad : {u"2023-02-29 00:00:00", u"2024-01-01 24:00:00", u"2024-1-01",
                                u"2024-01-01 10:00", u"2024-01-01 10:00:00.", u"yesterday"})
        EXPECT_FALSE(TOracleDateTime::fromText(bad).has_value());
}
