// Index keys: our encoding against the keys Access itself stored, the packed
// sort-code tables against the research tables, and order preservation.

#include "jet/index/indexkey.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "jet/database/index_maintenance.h"
#include "jet/index/indexpage.h"
#include "jet/table/row_reader.h"
#include "jet/values/sortorder.h"

namespace jet {
namespace {

const std::filesystem::path kSamples = std::filesystem::path(FERROVANE_SHARED_DIR) / "testdata/mdb";
const std::filesystem::path kResearch =
    std::filesystem::path(FERROVANE_SHARED_DIR) / "research/data";

struct Comparison {
    std::size_t entries = 0;
    std::vector<std::string> mismatches;  // "table.index: row text"
};

// Holds every leaf entry of every index against the key we encode for the
// row it points at.
Comparison compareWithAccess(const std::filesystem::path& file) {
    Comparison out;
    auto db = Database::open(file, OpenMode::ReadOnly);
    Database::Impl& impl = db->impl();
    const auto& fmt = Format::of(db->version());
    for (const std::string& name : db->tableNames(true)) {
        const TableDef& table = db->table(name);
        std::map<std::uint32_t, Row> rows;
        TableScanner scanner(*impl.pager, *impl.format, table, impl.codePage());
        Row row;
        while (scanner.next(row)) rows[(scanner.page() << 8) | (scanner.rowIndex() & 0xFF)] = row;
        for (const PhysicalIndex& index : table.physicalIndexes) {
            const IndexLayout layout = indexLayout(table, index);
            std::uint32_t page = index.rootPage;
            IndexPage ip = readIndexPage(fmt, *impl.pager->page(page), page);
            while (!ip.leaf) {
                page = ip.empty() ? ip.tail : ip.child(0);
                ip = readIndexPage(fmt, *impl.pager->page(page), page);
            }
            for (;;) {
                for (std::size_t i = 0; i < ip.size(); ++i) {
                    ++out.entries;
                    auto it = rows.find(ip.rowPointer(i));
                    const std::string what = name + "." + indexName(table, index);
                    if (it == rows.end()) {
                        out.mismatches.push_back(what + ": entry for a missing row");
                        continue;
                    }
                    RowKey k = rowKey(db->version(), index, layout, it->second);
                    auto stored = ip.key(i);
                    if (!std::equal(stored.begin(), stored.end(), k.key.begin(), k.key.end()))
                        out.mismatches.push_back(what + ": " +
                                                 it->second[layout.valueAt[0]].toString());
                }
                if (ip.next == 0) break;
                page = ip.next;
                ip = readIndexPage(fmt, *impl.pager->page(page), page);
            }
        }
    }
    return out;
}

TEST(IndexKeyAccess, OurKeysEqualTheKeysAccessStored) {
    const struct {
        const char* name;
        std::size_t entries;  // fewer would mean the sample was not read whole
    } samples[] = {
        // Text over U+0001-U+00FF ascending and descending, every other type,
        // two-column keys in each direction combination, an indexed memo.
        {"jet4/testIndexCodes_2009-11-14.mdb", 2000},
        {"jet3/testIndexCodesV1997.mdb", 3000},
        // German names that put U+00DF before accents and hyphens (it takes
        // two positions in the trailing sections).
        {"jet4/Northwind.mdb", 200},
        // Cyrillic, Greek, Japanese and every character U+0001-U+00FF in one string.
        {"jet4/testUnicodeCompV2003.mdb", 200},
    };
    for (const auto& [name, entries] : samples) {
        const auto file = kSamples / name;
        if (!std::filesystem::exists(file)) GTEST_SKIP() << "no Access samples at " << kSamples;
        Comparison c = compareWithAccess(file);
        EXPECT_GT(c.entries, entries) << name;
        EXPECT_TRUE(c.mismatches.empty())
            << name << ": " << c.mismatches.size() << " mismatches, first: " << c.mismatches[0];
    }
}

// The packed tables carry exactly the figures of the research tables.
TEST(SortOrderTables, MatchTheResearchTables) {
    if (!std::filesystem::exists(kResearch / "index_codes_genleg.txt"))
        GTEST_SKIP() << "no research tables at " << kResearch;
    auto hexBytes = [](std::string h) {
        std::vector<std::uint8_t> out;
        if (h.size() % 2) h = "0" + h;
        for (std::size_t i = 0; i < h.size(); i += 2)
            out.push_back(static_cast<std::uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
        return out;
    };
    auto check = [&](const sortorder::CharCode& code, const std::string& line, char32_t c) {
        SCOPED_TRACE("U+" + std::to_string(c) + " " + line);
        std::vector<std::string> parts;
        std::stringstream ss(line.substr(1));
        for (std::string p; std::getline(ss, p, ',');) parts.push_back(p);
        const std::vector<std::uint8_t> inl(code.inlineCodes, code.inlineCodes + code.inlineLen);
        const std::vector<std::uint8_t> extra(code.extraCodes, code.extraCodes + code.extraLen);
        const std::vector<std::uint8_t> unpr(code.unprintCodes,
                                             code.unprintCodes + code.unprintLen);
        switch (line[0]) {
            case 'X':
                EXPECT_EQ(code.cls, sortorder::CharClass::Ignored);
                break;
            case 'S':
            case 'G':
                EXPECT_EQ(inl, hexBytes(parts[0]));
                break;
            case 'I':
                EXPECT_EQ(inl, hexBytes(parts[0]));
                EXPECT_EQ(extra, hexBytes(parts[1]));
                break;
            case 'U':
                EXPECT_EQ(unpr, hexBytes(parts[0]));
                break;
            case 'P':
                EXPECT_EQ(extra, hexBytes(parts[0]));
                break;
            case 'Z':
                EXPECT_EQ(inl, hexBytes(parts[0]));
                EXPECT_EQ(extra,
                          parts[1].empty() ? std::vector<std::uint8_t>{} : hexBytes(parts[1]));
                EXPECT_EQ(code.crazy, parts.size() > 2 && parts[2] == "1" ? 2 : 3);
                break;
            default:
                ADD_FAILURE() << "unknown class";
        }
    };
    std::ifstream jet4(kResearch / "index_codes_genleg.txt"),
        jet4ext(kResearch / "index_codes_ext_genleg.txt");
    std::string line;
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        ASSERT_TRUE(std::getline(c < 0x100 ? jet4 : jet4ext, line));
        check(sortorder::jet4(static_cast<char16_t>(c)), line, c);
    }
    std::ifstream jet3(kResearch / "index_codes_gen_97.txt");
    for (char32_t c = 0; c < 0x100; ++c) {
        ASSERT_TRUE(std::getline(jet3, line));
        // U+0000: Access keys it as 0x10 where the table says ignored.
        if (c != 0) check(sortorder::jet3(static_cast<char16_t>(c)), line, c);
    }
    std::ifstream mapped(kResearch / "index_mappings_ext_gen_97.txt");
    while (std::getline(mapped, line)) {
        if (line.empty()) continue;
        const auto comma = line.find(',');
        const auto from = static_cast<char16_t>(std::stoi(line.substr(0, comma)));
        const auto to = static_cast<char16_t>(std::stoi(line.substr(comma + 1)));
        EXPECT_EQ(&sortorder::jet3(from), &sortorder::jet3(to));
    }
    EXPECT_EQ(sortorder::jet3(0x4E00).cls, sortorder::CharClass::Ignored);
}

std::vector<std::uint8_t> key(ColumnType type, const Value& v, bool asc = true,
                              Version ver = Version::Jet4, std::uint8_t scale = 0) {
    std::vector<std::uint8_t> out;
    appendKeyValue(out, ver, KeyColumn{type, asc, scale}, v);
    return out;
}

TEST(IndexKey, FixedWidthLayouts) {
    using B = std::vector<std::uint8_t>;
    EXPECT_EQ(key(ColumnType::Long, 1), (B{0x7F, 0x80, 0, 0, 1}));
    EXPECT_EQ(key(ColumnType::Long, 1, false), (B{0x80, 0x7F, 0xFF, 0xFF, 0xFE}));
    EXPECT_EQ(key(ColumnType::Integer, -1), (B{0x7F, 0x7F, 0xFF}));
    EXPECT_EQ(key(ColumnType::Long, Value()), (B{0x00}));
    EXPECT_EQ(key(ColumnType::Long, Value(), false), (B{0xFF}));
    EXPECT_EQ(key(ColumnType::Boolean, true), (B{0x7F, 0x00}));
    EXPECT_EQ(key(ColumnType::Boolean, Value()), (B{0x7F, 0xFF}));  // never Null: No
    EXPECT_EQ(key(ColumnType::Byte, 200, false), (B{0x80, 0x37}));
    EXPECT_EQ(key(ColumnType::Double, 0.0), (B{0x7F, 0x80, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(key(ColumnType::Currency, Currency{10000}),
              (B{0x7F, 0x80, 0, 0, 0, 0, 0, 0x27, 0x10}));
    Guid g{};
    for (int i = 0; i < 16; ++i) g[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(key(ColumnType::Guid, g),
              (B{0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 10, 11, 12, 13, 14, 15, 16, 8}));
    EXPECT_EQ(key(ColumnType::Binary, Bytes{0xAB}, false),
              (B{0x80, 0x54, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}));
    EXPECT_THROW(key(ColumnType::Long, std::int64_t{1} << 40), Error);
    std::vector<std::uint8_t> out;
    EXPECT_THROW(appendKeyValue(out, Version::Jet4, KeyColumn{ColumnType::Text, true, 0, 0x0419},
                                Value("x")),
                 Error);
}

TEST(IndexKey, TextIgnoresCaseAndTrailingSpacesAndKeeps255Characters) {
    for (Version v : {Version::Jet3, Version::Jet4}) {
        EXPECT_EQ(key(ColumnType::Text, "Hello", true, v),
                  key(ColumnType::Text, "hELLO  ", true, v));
        EXPECT_NE(key(ColumnType::Text, "Hello", true, v),
                  key(ColumnType::Text, "H\u00e9llo", true, v));
        const std::string a(300, 'a');
        EXPECT_EQ(key(ColumnType::Text, a, true, v),
                  key(ColumnType::Text, a.substr(0, 255) + "zzz", true, v));
    }
}

// Plain ASCII text takes a shortcut from the UTF-8 bytes; it must give the
// very keys the general path gives, for every character either may meet.
TEST(IndexKey, AsciiShortcutGivesTheGeneralKeys) {
    std::vector<std::pair<std::string, std::u16string>> texts = {
        {"", u""},
        {" ", u" "},
        {"a  ", u"a  "},
        {std::string(300, 'q'), std::u16string(300, u'q')},
        {std::string(254, 'x') + "\u00e9", std::u16string(254, u'x') + u"\u00e9"},
        {"caf\u00e9", u"caf\u00e9"}};
    for (char16_t c = 0; c < 128; ++c) {
        const char narrow = static_cast<char>(c);
        texts.push_back({std::string(1, narrow), std::u16string(1, c)});
        texts.push_back({"k" + std::string(1, narrow) + "-z", u"k" + std::u16string(1, c) + u"-z"});
    }
    for (Version v : {Version::Jet3, Version::Jet4}) {
        for (bool asc : {true, false}) {
            for (const auto& [narrow, wide] : texts) {
                std::vector<std::uint8_t> viaValue;
                appendKeyValue(viaValue, v, KeyColumn{ColumnType::Text, asc, 0, 0x0409},
                               Value(narrow));
                std::vector<std::uint8_t> general = {static_cast<std::uint8_t>(asc ? 0x7F : 0x80)};
                appendTextKey(general, v, wide, asc);
                EXPECT_EQ(viaValue, general) << "text of " << narrow.size() << " bytes, last "
                                             << (narrow.empty() ? -1 : int(narrow.back()));
            }
        }
    }
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// Two Jet 3 keys Access wrote (Northwind 97 and a system table) that the
// research tables alone do not predict.
TEST(IndexKey, Jet3SharpSAndNulAsAccessKeysThem) {
    // U+00DF is "ss": two placeholders in the accent part before the "ä".
    const std::string plutzer = hex(
        key(ColumnType::Text, "Plutzer Lebensmittelgroßmärkte AG", true, Version::Jet3));
    const std::string accessTail = "11606802222222222260";
    ASSERT_GE(plutzer.size(), accessTail.size());
    EXPECT_EQ(plutzer.substr(plutzer.size() - accessTail.size()), accessTail) << plutzer;
    // Without an accent after it, nothing changes: no accent part at all.
    EXPECT_EQ(hex(key(ColumnType::Text, "Straße", true, Version::Jet3)).substr(0, 2), "7f");
    EXPECT_EQ(key(ColumnType::Text, "Straße", true, Version::Jet3).back(), 0x00);
    // Descending is the same bytes inverted.
    auto desc =
        key(ColumnType::Text, "Plutzer Lebensmittelgroßmärkte AG", false, Version::Jet3);
    EXPECT_EQ(desc.back(), 0x9F);

    // U+0000 inside text keys as 0x10, by the ASCII shortcut and the general path.
    EXPECT_EQ(hex(key(ColumnType::Text, std::string("Lock\0", 5), true, Version::Jet3)),
              "7f6d72626c1000");
    std::vector<std::uint8_t> general = {0x7F};
    appendTextKey(general, Version::Jet3, std::u16string(u"Lock\0\u00e9", 6), true);
    EXPECT_EQ(hex(general).substr(0, 14), "7f6d72626c1066");
}

// Keys sort as the values do, both ways, Nulls first ascending.
TEST(IndexKey, OrderFollowsValues) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> real(-1e6, 1e6);
    for (bool asc : {true, false}) {
        for (int i = 0; i < 2000; ++i) {
            const double a = i % 50 == 0 ? 0.0 : real(rng), b = real(rng);
            const auto ia = static_cast<std::int64_t>(a), ib = static_cast<std::int64_t>(b);
            auto expectOrder = [&](ColumnType t, const Value& va, const Value& vb, bool aLess) {
                auto ka = key(t, va, asc), kb = key(t, vb, asc);
                if (ka == kb) return;
                EXPECT_EQ(ka < kb, aLess == asc)
                    << columnTypeName(t) << " " << va.toString() << " " << vb.toString();
            };
            expectOrder(ColumnType::Double, a, b, a < b);
            expectOrder(ColumnType::Single, a, b, static_cast<float>(a) < static_cast<float>(b));
            expectOrder(ColumnType::Long, ia, ib, ia < ib);
            expectOrder(ColumnType::Currency, Currency{ia}, Currency{ib}, ia < ib);
            expectOrder(ColumnType::DateTime, DateTime{a / 100}, DateTime{b / 100}, a < b);
            expectOrder(ColumnType::Long, Value(), ib, true);
        }
    }
}

}  // namespace
}  // namespace jet
