// The byte builders against the readers: rows, data pages, table
// definitions (our own and Access's), text encodings and conversions.

#include <gtest/gtest.h>

#include <cmath>

#include "jet/error.h"
#include "jet/file/datapage.h"
#include "jet/file/format.h"
#include "jet/file/pager.h"
#include "jet/table/row_builder.h"
#include "jet/table/row_reader.h"
#include "jet/table/tdef_builder.h"
#include "jet/table/tdef_reader.h"
#include "jet/values/convert.h"
#include "support/errorof.h"
#include "support/mdbtools.h"
#include "support/tabledef.h"

namespace {

using jet::ColumnType;
using jet::Format;
using jet::Value;
using jet::Version;

jet::ColumnDef column(const char* name, ColumnType type, std::uint16_t number, std::uint16_t length,
                      bool fixed, std::uint16_t at) {
    jet::ColumnDef c;
    c.name = name;
    c.type = type;
    c.number = number;
    c.length = length;
    c.flags = static_cast<std::uint8_t>(0x02 | (fixed ? 0x01 : 0x00));
    (fixed ? c.fixedOffset : c.varIndex) = at;
    c.sortOrder = 0x0409;
    return c;
}

// Five text columns and a Long: rows of every length from a few bytes to
// well past 256, so the Jet 3 jump table (and its filler byte) is exercised
// at every boundary.
TEST(RowBuilder, RowsOfEveryLengthReadBack) {
    for (Version v : {Version::Jet3, Version::Jet4}) {
        const Format& f = Format::of(v);
        jet::TableDef t;
        t.name = "T";
        const std::uint16_t text = v == Version::Jet4 ? 510 : 255;
        t.columns = {column("A", ColumnType::Text, 0, text, false, 0),
                     column("N", ColumnType::Long, 1, 4, true, 0),
                     column("B", ColumnType::Text, 2, text, false, 1),
                     column("Yes", ColumnType::Boolean, 3, 1, true, 0),
                     column("C", ColumnType::Text, 4, text, false, 2),
                     column("D", ColumnType::Binary, 5, 255, false, 3)};
        t.columns[2].extraFlags = 0x01;  // one compressed column in Jet 4
        t.maxColumnNumber = 6;
        const jet::RowLayout layout = jet::RowLayout::of(t);
        const jet::ConvertContext ctx{v, "T", 1252};
        for (std::size_t total = 0; total < 700; total += 3) {
            SCOPED_TRACE(std::to_string(total) + (v == Version::Jet3 ? " Jet 3" : " Jet 4"));
            const std::size_t a = std::min<std::size_t>(total, 200),
                              b = std::min<std::size_t>(total / 2, 255),
                              c = total % 7 == 0 ? 0 : std::min<std::size_t>(total / 3, 90);
            jet::Row in = {
                std::string(a, 'a'), std::int64_t(total), c ? Value(std::string(b, 'b')) : Value(),
                total % 2 == 0,      std::string(c, 'c'), jet::Bytes(total % 256, 0xEE)};
            jet::Row stored;
            jet::convertRow(in, t, ctx, stored);
            std::vector<std::uint8_t> bytes;
            jet::buildRow(f, layout, stored, bytes);
            EXPECT_EQ(jet::rowLength(f, layout, stored), bytes.size());
            jet::Row out = jet::decodeRow(bytes, t, f, 1252, nullptr);
            if (in[2].isNull()) in[2] = Value();
            ASSERT_EQ(out, in);
        }
        // Fixed columns only: no variable section at all.
        jet::TableDef fixedOnly = t;
        fixedOnly.columns = {t.columns[1], t.columns[3]};
        const jet::RowLayout fixedLayout = jet::RowLayout::of(fixedOnly);
        std::vector<std::uint8_t> bytes;
        const jet::Row stored = {std::int64_t{7}, true};
        jet::buildRow(f, fixedLayout, stored, bytes);
        EXPECT_EQ(jet::rowLength(f, fixedLayout, stored), bytes.size());
    }
}

// A damaged definition is refused before it lays out a single byte.
TEST(RowBuilder, RefusesDefinitionsNoRowCanHave) {
    auto layoutOf = [](jet::ColumnDef c) {
        jet::TableDef t;
        t.name = "T";
        t.columns = {c};
        return jet::RowLayout::of(t);
    };
    auto kind = [&](const jet::ColumnDef& c) {
        try {
            layoutOf(c);
        } catch (const jet::Error& e) {
            return e.kind();
        }
        return jet::Error::Kind::Io;  // not thrown
    };
    EXPECT_EQ(kind(column("A", ColumnType::Text, 0, 10, false, 300)), jet::Error::Kind::Corrupt);
    EXPECT_EQ(kind(column("A", ColumnType::Long, 0, 2, true, 0)), jet::Error::Kind::Corrupt);
    EXPECT_EQ(kind(column("A", ColumnType::Double, 0, 8, true, 60000)), jet::Error::Kind::Corrupt);
    EXPECT_EQ(kind(column("A", ColumnType::Long, 900, 4, true, 0)), jet::Error::Kind::Corrupt);
    EXPECT_EQ(kind(column("A", ColumnType::Long, 0, 4, true, 0)), jet::Error::Kind::Io);
}

TEST(DataPageBuilder, FillsDownwardsAndKeepsFreeSpace) {
    for (Version v : {Version::Jet3, Version::Jet4}) {
        const Format& f = Format::of(v);
        std::vector<std::uint8_t> page(f.pageSize);
        jet::datapage::init(page, f, 77);
        std::size_t added = 0;
        for (std::uint8_t i = 1;; ++i) {
            std::vector<std::uint8_t> row(10 + i % 50, i);
            if (jet::datapage::roomForRow(page, f) < row.size()) break;
            EXPECT_EQ(jet::datapage::addRow(page, f, row), added);
            ++added;
        }
        const std::size_t count = jet::datapage::rowCount(page, f);
        EXPECT_EQ(count, added);
        // Rows are where the offsets say, each ending where the previous begins.
        std::size_t end = f.pageSize, used = 0;
        for (std::size_t i = 0; i < count; ++i) {
            std::size_t start =
                page[f.dataRowTable + 2 * i] | (page[f.dataRowTable + 2 * i + 1] << 8);
            ASSERT_LT(start, end);
            EXPECT_EQ(end - start, 10 + (i + 1) % 50);
            EXPECT_EQ(page[start], static_cast<std::uint8_t>(i + 1));
            used += end - start;
            end = start;
        }
        const std::size_t free = page[2] | (page[3] << 8);
        EXPECT_EQ(free, f.pageSize - f.dataRowTable - 2 * count - used);
        EXPECT_THROW(jet::datapage::addRow(page, f, std::vector<std::uint8_t>(free + 1)),
                     jet::Error);
    }
    // At most 255 rows, whatever their size.
    const Format& f = Format::jet4();
    std::vector<std::uint8_t> page(f.pageSize);
    jet::datapage::init(page, f, 1);
    for (int i = 0; i < 255; ++i) jet::datapage::addRow(page, f, std::vector<std::uint8_t>(2, 1));
    EXPECT_EQ(jet::datapage::roomForRow(page, f), 0u);
}

// Definitions Access wrote come back the same after a build: what rewriting a
// definition (a new index, a new row count) relies on.
TEST(TdefBuilder, AccessDefinitionsSurviveARebuild) {
    if (jettest::accessSamples().empty()) GTEST_SKIP() << "no Access samples";
    int checked = 0;
    for (const auto& file : jettest::accessSamples()) {
        auto pager = jet::Pager::open(file, false);
        auto prefix = pager->readPrefix(0x20);
        const Format& f = Format::of(prefix[0x14] == 0 ? Version::Jet3 : Version::Jet4);
        pager->setPageSize(f.pageSize);
        for (std::uint32_t p = 2; p < pager->pageCount(); ++p) {
            auto page = pager->page(p);
            if ((*page)[0] != 0x02) continue;
            jet::TableDef original;
            try {
                original = jet::readTableDef(*pager, f, p, 1252);
            } catch (const jet::Error&) {
                continue;  // continuation pages of a chain
            }
            SCOPED_TRACE(file.filename().string() + " page " + std::to_string(p));
            original.tdefPage = p;
            const auto chain = jet::loadTdefChain(*pager, f, p);
            auto bytes = jet::buildTableDefinition(f, original, chain.bytes);
            // The table block comes back byte for byte (Jet 3 keeps no unknowns).
            for (std::size_t i = 12; i < f.tdefBlockEnd; ++i)
                EXPECT_EQ(bytes[i], chain.bytes[i]) << "offset " << i;
            jet::TableDef again = jet::parseTableDef(bytes, f, 1252);
            again.tdefPage = p;
            again.name = original.name;
            jettest::expectSameLayout(again, original, true);
            EXPECT_EQ(again.rowCount, original.rowCount);
            EXPECT_EQ(again.autoNumber, original.autoNumber);
            EXPECT_EQ(again.ownedPagesMap, original.ownedPagesMap);
            EXPECT_EQ(again.freeSpaceMap, original.freeSpaceMap);
            ASSERT_EQ(again.physicalIndexes.size(), original.physicalIndexes.size());
            for (std::size_t i = 0; i < again.physicalIndexes.size(); ++i) {
                EXPECT_EQ(again.physicalIndexes[i].rootPage, original.physicalIndexes[i].rootPage);
                EXPECT_EQ(again.physicalIndexes[i].usageMap, original.physicalIndexes[i].usageMap);
                EXPECT_EQ(again.physicalIndexes[i].rowCount, original.physicalIndexes[i].rowCount);
            }
            ASSERT_EQ(again.indexes.size(), original.indexes.size());
            for (std::size_t i = 0; i < again.indexes.size(); ++i)
                EXPECT_EQ(again.indexes[i].relatedTablePage, original.indexes[i].relatedTablePage);
            ASSERT_EQ(again.longValueMaps.size(), original.longValueMaps.size());
            // Split over pages and joined again, the stream is unchanged.
            std::vector<std::uint32_t> pages;
            for (std::size_t i = 0; i < jet::tableDefinitionPages(f, bytes.size()); ++i)
                pages.push_back(static_cast<std::uint32_t>(100 + i));
            auto images = jet::splitTableDefinition(f, bytes, pages);
            std::vector<std::uint8_t> joined(images[0].begin(), images[0].end());
            for (std::size_t i = 1; i < images.size(); ++i)
                joined.insert(joined.end(), images[i].begin() + 8, images[i].end());
            joined.resize(bytes.size());
            EXPECT_TRUE(std::equal(joined.begin() + 8, joined.end(), bytes.begin() + 8));
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);
}

TEST(TextEncoding, CompressesOnlyWhatOneByteHolds) {
    jet::Bytes out;
    jet::encodeJet4Text(u"Caf\u00e9 bar", true, out);
    EXPECT_EQ(out, (jet::Bytes{0xFF, 0xFE, 'C', 'a', 'f', 0xE9, ' ', 'b', 'a', 'r'}));
    jet::encodeJet4Text(u"\u03a9mega", true, out);  // beyond U+00FF: plain UTF-16
    EXPECT_EQ(out.size(), 10u);
    EXPECT_EQ(out[0], 0xA9);
    jet::encodeJet4Text(u"abc", false, out);
    EXPECT_EQ(out, (jet::Bytes{'a', 0, 'b', 0, 'c', 0}));
    EXPECT_TRUE(jet::encodeCp1252(u"\u20ac\u0178\u00ff", out));
    EXPECT_EQ(out, (jet::Bytes{0x80, 0x9F, 0xFF}));
    EXPECT_FALSE(jet::encodeCp1252(u"\u0100", out));
    std::u16string u;
    EXPECT_FALSE(jet::decodeUtf8("\xC3", u));
    EXPECT_FALSE(jet::decodeUtf8("\xC0\xAF", u));  // overlong
    EXPECT_TRUE(jet::decodeUtf8("\xF0\x9F\x98\x80", u));
    EXPECT_EQ(u, std::u16string(u"\U0001F600"));
}

// One Row converted into again and again (as the appender does) holds what a
// fresh conversion gives, whatever the column held before: text of every
// length around the eight-byte steps of the ASCII check, with a NUL, a
// character beyond ASCII or a bad UTF-8 byte at any place, Null and numbers.
TEST(Convert, ARowConvertedIntoAgainHoldsWhatAFreshConversionGives) {
    for (Version v : {Version::Jet3, Version::Jet4}) {
        jet::TableDef t;
        t.name = "T";
        t.columns = {column("A", ColumnType::Text, 0, 510, false, 0),
                     column("M", ColumnType::Memo, 1, 0, false, 1),
                     column("N", ColumnType::Long, 2, 4, true, 0)};
        t.columns[0].extraFlags = 0x01;
        t.columns[1].extraFlags = 0x01;
        const jet::ConvertContext ctx{v, "T", 1252};
        std::vector<jet::Row> rows;
        for (std::size_t length = 0; length < 20; ++length) {
            const std::string plain(length, 'x');
            rows.push_back({plain, plain, std::int64_t(length)});
            for (std::size_t at = 0; at < length; ++at) {
                for (const char* odd : {"\x01", "\x7F", "\xC3\xA9", "\xE2\x82\xAC"}) {
                    std::string s = plain;
                    s.replace(at, 1, odd);
                    rows.push_back({s, Value(), std::int64_t(at)});
                    rows.push_back({Value(), s, Value()});
                }
                std::string nul = plain;
                nul[at] = '\0';
                rows.push_back({nul, nul, Value()});
            }
        }
        rows.push_back({std::string("\xFF"), std::string("ok"), Value()});  // refused
        rows.push_back({std::int64_t{12}, 2.5, std::int64_t{1}});         // numbers as text
        jet::Row reused;
        for (const jet::Row& in : rows) {
            SCOPED_TRACE(jet::Value(in[0]).toString() + (v == Version::Jet3 ? " Jet 3" : " Jet 4"));
            jet::Row fresh;
            std::string freshError, reusedError;
            try {
                jet::convertRow(in, t, ctx, fresh);
            } catch (const jet::Error& e) {
                freshError = e.what();
            }
            try {
                jet::convertRow(in, t, ctx, reused);
            } catch (const jet::Error& e) {
                reusedError = e.what();
            }
            ASSERT_EQ(reusedError, freshError);
            if (!freshError.empty()) continue;
            ASSERT_EQ(reused, fresh);
            // Text against the long way: decoded, then encoded character by character.
            for (std::size_t c = 0; c < 2; ++c) {
                if (!in[c].is<std::string>()) continue;
                std::u16string text;
                ASSERT_TRUE(jet::decodeUtf8(in[c].as<std::string>(), text));
                jet::Bytes expected;
                if (v == Version::Jet4)
                    jet::encodeJet4Text(text, true, expected);
                else
                    ASSERT_TRUE(jet::encodeCp1252(text, expected));
                EXPECT_EQ(fresh[c], Value(expected));
            }
        }
    }
}

TEST(Convert, NumbersDatesAndLimits) {
    const jet::ConvertContext ctx{Version::Jet4, "T", 1252};
    auto col = [](ColumnType type, std::uint16_t length = 0) {
        jet::ColumnDef c;
        c.name = "C";
        c.type = type;
        c.length = length;
        c.flags = 0x02;
        c.precision = 10;
        c.scale = 2;
        return c;
    };
    auto kindOf = [&](const Value& v, const jet::ColumnDef& c) {
        try {
            jet::convertValue(v, c, ctx);
        } catch (const jet::Error& e) {
            return static_cast<int>(e.kind());
        }
        return -1;
    };
    const int conversion = static_cast<int>(jet::Error::Kind::Conversion);
    EXPECT_EQ(jet::convertValue(2.5, col(ColumnType::Long), ctx),
              Value(std::int64_t{2}));  // to even
    EXPECT_EQ(jet::convertValue(3.5, col(ColumnType::Integer), ctx), Value(std::int64_t{4}));
    EXPECT_EQ(kindOf(32768, col(ColumnType::Integer)), conversion);
    EXPECT_EQ(kindOf(1e300, col(ColumnType::Single)), conversion);
    EXPECT_EQ(kindOf("1e5x", col(ColumnType::Double)), conversion);
    EXPECT_EQ(kindOf("inf", col(ColumnType::Double)), conversion);
    EXPECT_EQ(jet::convertValue("12.34567", col(ColumnType::Currency), ctx),
              Value(jet::Currency{123457}));
    EXPECT_EQ(jet::convertValue(std::int64_t{5}, col(ColumnType::Currency), ctx),
              Value(jet::Currency{50000}));
    EXPECT_EQ(kindOf(std::int64_t{1} << 62, col(ColumnType::Currency)), conversion);
    EXPECT_EQ(jet::convertValue("yes", col(ColumnType::Boolean), ctx), Value(true));
    EXPECT_EQ(jet::convertValue("1899-12-30", col(ColumnType::DateTime), ctx),
              Value(jet::DateTime{0}));
    EXPECT_EQ(jet::convertValue("1899-12-29 06:00", col(ColumnType::DateTime), ctx),
              Value(jet::DateTime{-1.25}));
    EXPECT_EQ(jet::convertValue("2000-01-01T12:00:00", col(ColumnType::DateTime), ctx),
              Value(jet::DateTime{36526.5}));
    EXPECT_EQ(kindOf("2001-02-29", col(ColumnType::DateTime)), conversion);
    EXPECT_EQ(kindOf(jet::Bytes(6), col(ColumnType::Binary, 5)), conversion);
    EXPECT_EQ(kindOf("{6F9619FF-8B86-D011-B42D-00C04FC964FF}", col(ColumnType::Guid)), -1);
    EXPECT_EQ(kindOf("{6F9619FF-8B86-D011-B42D}", col(ColumnType::Guid)), conversion);
    auto dec = jet::convertValue("-123.456", col(ColumnType::Numeric), ctx).as<jet::Decimal>();
    EXPECT_TRUE(dec.negative);
    EXPECT_EQ(dec.magnitude[15], 12346 % 256);  // rounded to the column's two places
    EXPECT_EQ(kindOf("123456789", col(ColumnType::Numeric)), conversion);  // precision 10, scale 2
}

// Any number, or numeric text, goes into a Decimal column exactly when it
// fits; extra fraction digits round half away from zero, once; what does not
// fit is refused naming the column.
TEST(Convert, DecimalFromEveryKindOfNumber) {
    const jet::ConvertContext ctx{Version::Jet4, "T", 1252};
    jet::ColumnDef c;
    c.name = "Amount";
    c.type = ColumnType::Numeric;
    c.flags = 0x02;
    c.precision = 10;
    c.scale = 2;
    auto text = [&](const Value& v) {
        return jet::convertValue(v, c, ctx).as<jet::Decimal>().toString();
    };
    EXPECT_EQ(text(0.1), "0.10");  // the double's shortest text, not its binary expansion
    EXPECT_EQ(text(-1234.5), "-1234.50");
    EXPECT_EQ(text(1e7), "10000000.00");
    EXPECT_EQ(text(2.675), "2.68");  // half away from zero, as the digits read
    EXPECT_EQ(text(-2.675), "-2.68");
    EXPECT_EQ(text(0.125), "0.13");
    EXPECT_EQ(text("1.2349"), "1.23");  // one rounding, not one per dropped digit
    EXPECT_EQ(text("1.005"), "1.01");
    EXPECT_EQ(text("9999999.995"), "10000000.00");
    EXPECT_EQ(text("-0.004"), "0.00");  // no negative zero
    EXPECT_EQ(text("1.5e3"), "1500.00");
    EXPECT_EQ(text("12E-2"), "0.12");
    EXPECT_EQ(text(" 0.1000000000000000000000000000000000000000001 "), "0.10");
    EXPECT_EQ(text(std::int64_t{-7}), "-7.00");
    EXPECT_EQ(text(jet::Currency{123456}), "12.35");
    EXPECT_EQ(text(true), "-1.00");
    EXPECT_EQ(text(1e-300), "0.00");
    for (const Value& bad :
         {Value(1e8), Value(123456789.0), Value("99999999.995"), Value("1e8"), Value("1e99999"),
          Value(std::nan("")), Value("12,5"), Value("1e"), Value("."), Value(jet::Bytes{1})}) {
        const jet::Error e = jettest::errorOf([&] { jet::convertValue(bad, c, ctx); },
                                              bad.toString() + " was taken");
        EXPECT_EQ(e.kind(), jet::Error::Kind::Conversion) << bad.toString();
        EXPECT_NE(std::string(e.what()).find("'Amount'"), std::string::npos) << e.what();
    }
    // 28 digits, Access's widest Decimal.
    c.precision = 28;
    c.scale = 0;
    EXPECT_EQ(text("9999999999999999999999999999"), "9999999999999999999999999999");
    EXPECT_THROW(text("10000000000000000000000000000"), jet::Error);
}

}  // namespace
