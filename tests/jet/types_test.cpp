// Values of the engine's model: date-times, decimals, text decoding and
// their plain text.

#include "jet/types.h"

#include <gtest/gtest.h>

#include "jet/file/format.h"
#include "jet/values/text.h"

namespace {

using jet::DateTime;
using jet::Decimal;

TEST(DateTime, DaysSince1899CountTheTimeForwardEvenBeforeTheEpoch) {
    struct Case {
        double days;
        const char* iso;
        int y, mo, d, h, mi;
        double s;
    };
    const Case cases[] = {
        {0.0, "1899-12-30 00:00:00", 1899, 12, 30, 0, 0, 0},
        {1.5, "1899-12-31 12:00:00", 1899, 12, 31, 12, 0, 0},
        {2.0, "1900-01-01 00:00:00", 1900, 1, 1, 0, 0, 0},
        {-1.25, "1899-12-29 06:00:00", 1899, 12, 29, 6, 0, 0},
        {-0.75, "1899-12-30 18:00:00", 1899, 12, 30, 18, 0, 0},
        {36526.0, "2000-01-01 00:00:00", 2000, 1, 1, 0, 0, 0},
        {36526.5 + 1.0 / 86400 / 2, "2000-01-01 12:00:00.500", 2000, 1, 1, 12, 0, 0.5},
        {2958465.0 + 86399.0 / 86400, "9999-12-31 23:59:59", 9999, 12, 31, 23, 59, 59},
        {-657434.0, "0100-01-01 00:00:00", 100, 1, 1, 0, 0, 0},
        {-693593.5, "0001-01-01 12:00:00", 1, 1, 1, 12, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.iso);
        const DateTime dt{c.days};
        EXPECT_EQ(dt.toIsoString(), c.iso);
        const auto p = dt.parts();
        EXPECT_EQ(p.year, c.y);
        EXPECT_EQ(p.month, c.mo);
        EXPECT_EQ(p.day, c.d);
        EXPECT_EQ(p.hour, c.h);
        EXPECT_EQ(p.minute, c.mi);
        EXPECT_NEAR(p.second, c.s, 1e-6);
        // -0.75 and 0.75 are the same moment; fromParts gives the latter.
        const double canonical = c.days > -1 && c.days < 0 ? -c.days : c.days;
        EXPECT_NEAR(DateTime::fromParts(c.y, c.mo, c.d, c.h, c.mi, c.s).days, canonical, 1e-9);
    }
    // A time that rounds up to midnight belongs to the next day.
    EXPECT_EQ(DateTime{1.0 - 1e-10}.toIsoString(), "1899-12-31 00:00:00");
}

TEST(Decimal, ParsesToTheColumnScaleAndPrintsBack) {
    struct Case {
        const char* text;
        std::uint8_t scale;
        const char* printed;  // nullptr: rejected
    };
    const Case cases[] = {
        {"123.45", 2, "123.45"},
        {"123.4", 2, "123.40"},
        {"-7", 3, "-7.000"},
        {".5", 1, "0.5"},
        {"1.005", 2, "1.01"},  // half away from zero
        {"-1.005", 2, "-1.01"},
        {"1.004", 2, "1.00"},
        {"-0", 0, "0"},
        {" 42 ", 0, "42"},
        {"79228162514264337593543950335", 0, "79228162514264337593543950335"},
        {"340282366920938463463374607431768211455", 0, "340282366920938463463374607431768211455"},
        {"340282366920938463463374607431768211456", 0, nullptr},
        {"1e5", 0, nullptr},
        {"", 0, nullptr},
        {"-", 0, nullptr},
        {"1.2.3", 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto d = Decimal::parse(c.text, c.scale);
        if (!c.printed) {
            EXPECT_FALSE(d.has_value());
            continue;
        }
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(d->toString(), c.printed);
    }
}

TEST(ValueText, NumbersPrintPlainly) {
    EXPECT_EQ(jet::Value().toString(), "");
    EXPECT_EQ(jet::Value(true).toString(), "1");
    EXPECT_EQ(jet::Value(std::int64_t{-42}).toString(), "-42");
    EXPECT_EQ(jet::Value(0.1).toString(), "0.1");
    EXPECT_EQ(jet::Value(jet::Currency{-12345}).toString(), "-1.2345");
    EXPECT_EQ(jet::Value(jet::Currency{35000}).toString(), "3.5000");
    EXPECT_EQ(jet::Value(jet::Bytes{0x00, 0xAB}).toString(), "00AB");
    jet::Guid g{};
    for (int i = 0; i < 16; ++i) g[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 17);
    EXPECT_EQ(jet::Value(g).toString(), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
}

TEST(TextDecoding, Jet4CompressedTextSwitchesModesAtZeroBytes) {
    const std::vector<std::uint8_t> plain = {'a', 0, 'b', 0};
    EXPECT_EQ(jet::decodeJet4Text(plain), "ab");
    const std::vector<std::uint8_t> compressed = {0xFF, 0xFE, 'a', 'b', 0xE9};
    EXPECT_EQ(jet::decodeJet4Text(compressed), "ab\xC3\xA9");
    // Compressed "ab", then UTF-16 "кл", then compressed "c".
    const std::vector<std::uint8_t> mixed = {0xFF, 0xFE, 'a',  'b',  0x00, 0x3A,
                                             0x04, 0x3B, 0x04, 0x00, 'c'};
    EXPECT_EQ(jet::decodeJet4Text(mixed),
              "ab\xD0\xBA\xD0\xBB"
              "c");
    // A dangling half character is dropped, not read past the end.
    const std::vector<std::uint8_t> cut = {0xFF, 0xFE, 0x00, 0x3A};
    EXPECT_EQ(jet::decodeJet4Text(cut), "");
    // Surrogate pairs join; a lone surrogate becomes U+FFFD.
    const std::vector<std::uint8_t> emoji = {0x3D, 0xD8, 0x00, 0xDE, 0x3D, 0xD8};
    EXPECT_EQ(jet::decodeJet4Text(emoji), "\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

TEST(TextDecoding, Jet3CodePage1252AndBack) {
    const std::vector<std::uint8_t> bytes = {'A', 0x80, 0xE9, 0x9F, 0x81};
    const std::string utf8 = jet::decodeCodePage(bytes, 1252);
    EXPECT_EQ(utf8, "A\xE2\x82\xAC\xC3\xA9\xC5\xB8\xC2\x81");
    EXPECT_EQ(jet::encodeCodePage(utf8, 1252), bytes);
    EXPECT_FALSE(jet::encodeCodePage("\xD0\xBA", 1252).has_value());  // Cyrillic
    EXPECT_EQ(jet::utf16Length("a\xF0\x9F\x98\x80\xC3\xA9"), 4u);
    EXPECT_TRUE(jet::namesEqual("MSysObjects", "msysOBJECTS"));
    EXPECT_FALSE(jet::namesEqual("Table1", "Table10"));
}

TEST(TextDecoding, OtherCodePagesGoThroughTheSystemConverters) {
    EXPECT_EQ(jet::decodeCodePage(std::vector<std::uint8_t>{0xEA, 'a'}, 1251),
              "\xD0\xBA"
              "a");
    EXPECT_EQ(jet::decodeCodePage(std::vector<std::uint8_t>{0xCA, 0xC0}, 936), "\xE4\xB8\x96");
    // A lone lead byte cannot be read: it becomes U+FFFD, the rest survives.
    EXPECT_EQ(jet::decodeCodePage(std::vector<std::uint8_t>{'x', 0x81}, 936), "x\xEF\xBF\xBD");
    EXPECT_EQ(jet::encodeCodePage("\xD0\xBA", 1251), (std::vector<std::uint8_t>{0xEA}));
    EXPECT_FALSE(jet::encodeCodePage("\xE4\xB8\x96", 1251).has_value());
    // A code page the system does not know reads as Western.
    EXPECT_EQ(jet::decodeCodePage(std::vector<std::uint8_t>{0x80}, 65000 - 1), "\xE2\x82\xAC");
}

TEST(TableDefinition, FindsColumnsWithoutRegardToCase) {
    jet::TableDef t;
    t.columns.resize(3);
    t.columns[0].name = "ID";
    t.columns[0].flags = 0x01;
    t.columns[1].name = "Name";
    t.columns[2].name = "Flag";
    t.columns[2].flags = 0x01;
    ASSERT_NE(t.findColumn("name"), nullptr);
    EXPECT_EQ(t.findColumn("name")->name, "Name");
    EXPECT_EQ(t.findColumn("nam"), nullptr);
    EXPECT_EQ(t.fixedColumnCount(), 2);
    EXPECT_EQ(t.variableColumnCount(), 1);
    EXPECT_STREQ(jet::columnTypeName(jet::ColumnType::Guid), "Replication ID");
    EXPECT_TRUE(jet::isLongValue(jet::ColumnType::Memo));
    EXPECT_FALSE(jet::isIndexable(jet::ColumnType::Ole, jet::Version::Jet4));
    EXPECT_TRUE(jet::isIndexable(jet::ColumnType::Memo, jet::Version::Jet4));
    EXPECT_FALSE(jet::isIndexable(jet::ColumnType::Memo, jet::Version::Jet3));
    EXPECT_TRUE(jet::isVariableLength(jet::ColumnType::Binary));
}

}  // namespace
