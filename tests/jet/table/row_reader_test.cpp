// Row cracking and long values on rows built by hand, where the samples
// do not reach: Jet 3 jump tables, columns added after a row was written,
// damaged offsets, long-value chains that loop or run short.

#include "jet/table/row_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "jet/file/bytes.h"
#include "jet/table/longvalue.h"
#include "support/errorof.h"

namespace {

using jet::ColumnType;
using jet::Error;
using Bytes = std::vector<std::uint8_t>;

void append(Bytes& to, std::initializer_list<std::uint8_t> bytes) {
    for (auto b : bytes) to.push_back(b);
}

jet::ColumnDef column(const char* name, ColumnType type, std::uint16_t number, bool fixed,
                      std::uint16_t slot) {
    jet::ColumnDef c;
    c.name = name;
    c.type = type;
    c.number = number;
    c.flags = static_cast<std::uint8_t>((fixed ? 0x01 : 0) | 0x02);
    if (fixed)
        c.fixedOffset = slot;
    else
        c.varIndex = slot;
    c.length = static_cast<std::uint16_t>(jet::fixedSize(type, 0));
    return c;
}

// Jet 4: Long (fixed at 0), Text (variable slot 0), Yes/No.
jet::TableDef jet4Table() {
    jet::TableDef t;
    t.columns = {column("Id", ColumnType::Long, 0, true, 0),
                 column("Name", ColumnType::Text, 1, false, 0),
                 column("Done", ColumnType::Boolean, 2, true, 0)};
    return t;
}

// Column count, Id, "hi" (UTF-16), end offset, start offset, var count, null mask.
Bytes jet4Row(std::uint8_t mask, std::uint16_t columns = 3) {
    Bytes r = {static_cast<std::uint8_t>(columns), 0, 42, 0, 0, 0, 'h', 0, 'i', 0};
    append(r, {10, 0, 6, 0, 1, 0, mask});
    return r;
}

TEST(RowReader, Jet4FixedVariableAndYesNoColumns) {
    const auto& f = jet::Format::jet4();
    const auto t = jet4Table();
    auto row = jet::decodeRow(jet4Row(0b111), t, f, 1252, nullptr);
    EXPECT_EQ(row[0], jet::Value(std::int64_t{42}));
    EXPECT_EQ(row[1], jet::Value("hi"));
    EXPECT_EQ(row[2], jet::Value(true));
    // Null text and a No: their mask bits are clear.
    row = jet::decodeRow(jet4Row(0b001), t, f, 1252, nullptr);
    EXPECT_TRUE(row[1].isNull());
    EXPECT_EQ(row[2], jet::Value(false));
}

TEST(RowReader, ColumnsAddedAfterARowWasWrittenReadAsNull) {
    auto t = jet4Table();
    t.columns.push_back(column("Added", ColumnType::Double, 3, true, 4));
    const auto row = jet::decodeRow(jet4Row(0b111), t, jet::Format::jet4(), 1252, nullptr);
    EXPECT_EQ(row[0], jet::Value(std::int64_t{42}));
    EXPECT_TRUE(row[3].isNull());
}

TEST(RowReader, Jet3JumpTableCarriesOffsetsPast256) {
    jet::TableDef t;
    t.columns = {column("A", ColumnType::Text, 0, false, 0),
                 column("B", ColumnType::Text, 1, false, 1)};
    Bytes r = {2};
    r.insert(r.end(), 200, 'a');
    r.insert(r.end(), 100, 'b');
    // Offsets last to first (low bytes of 301, 201, 1), the jump table (the
    // second stretch starts at variable entry 2), var count, null mask.
    append(r, {45, 201, 1, 2, 2, 0b11});
    ASSERT_EQ(r.size(), 307u);
    const auto row = jet::decodeRow(r, t, jet::Format::jet3(), 1252, nullptr);
    EXPECT_EQ(row[0].as<std::string>(), std::string(200, 'a'));
    EXPECT_EQ(row[1].as<std::string>(), std::string(100, 'b'));
}

// A row just over 256 bytes whose variable data all lies below 256: the one
// jump entry is filler (0xFF) but still takes its byte.
TEST(RowReader, Jet3FillerJumpEntryStillTakesItsByte) {
    jet::TableDef t;
    for (std::uint16_t i = 0; i < 12; ++i)
        t.columns.push_back(column("c", ColumnType::Text, i, false, i));
    Bytes r = {12};
    for (int i = 0; i < 12; ++i) r.insert(r.end(), 20, static_cast<std::uint8_t>('a' + i));
    for (int i = 12; i >= 0; --i) r.push_back(static_cast<std::uint8_t>(1 + 20 * i));
    append(r, {0xFF, 12, 0xFF, 0x0F});  // jump filler, var count, null mask
    ASSERT_EQ(r.size(), 258u);
    const auto row = jet::decodeRow(r, t, jet::Format::jet3(), 1252, nullptr);
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(row[i].as<std::string>(), std::string(20, static_cast<char>('a' + i)));
}

TEST(RowReader, ImpossibleRowsAreCorruptNotCrashes) {
    const auto& f = jet::Format::jet4();
    const auto t = jet4Table();
    std::vector<Bytes> bad = {
        {},                     // nothing at all
        {3},                    // cut inside the column count
        {0xFF, 0xFF, 1, 2, 3},  // null mask larger than the row
    };
    auto past = jet4Row(0b111);
    past[11] = 0x40;  // end of variable data far beyond the row
    bad.push_back(past);
    auto backwards = jet4Row(0b111);
    backwards[12] = 9;  // the value starts after it ends
    backwards[10] = 7;
    bad.push_back(backwards);
    auto tooMany = jet4Row(0b111);
    tooMany[14] = 200;  // more variable columns than the row can hold
    bad.push_back(tooMany);
    for (const auto& r : bad) {
        const Error e =
            jettest::errorOf([&] { jet::decodeRow(r, t, f, 1252, nullptr); },
                             "accepted a damaged row of " + std::to_string(r.size()) + " bytes");
        EXPECT_EQ(e.kind(), Error::Kind::Corrupt);
    }
}

// A Jet 4 image: page 1 a data page with the given rows.
std::unique_ptr<jet::Pager> imageWithRows(const std::vector<Bytes>& rows) {
    const auto& f = jet::Format::jet4();
    Bytes image(3 * f.pageSize, 0);
    std::uint8_t* page = image.data() + f.pageSize;
    page[0] = 0x01;
    page[1] = 0x01;
    std::memcpy(page + 4, "LVAL", 4);
    jet::bytes::putLe16(page + f.dataRowCount, static_cast<std::uint16_t>(rows.size()));
    std::size_t end = f.pageSize;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        end -= rows[i].size();
        std::memcpy(page + end, rows[i].data(), rows[i].size());
        jet::bytes::putLe16(page + f.dataRowTable + 2 * i, static_cast<std::uint16_t>(end));
    }
    return jet::Pager::fromImage(std::move(image), f.pageSize);
}

// Built in fixed arrays: GCC 12 at -O3 misreads stores through vector::data().
Bytes header(std::uint32_t length, std::uint8_t storage, std::uint32_t pointer) {
    std::array<std::uint8_t, 12> h{};
    jet::bytes::putLe32(h.data(), length);
    h[3] = storage;
    jet::bytes::putLe32(h.data() + 4, pointer);
    return Bytes(h.begin(), h.end());
}

Bytes piece(std::uint32_t next, const std::string& text) {
    std::array<std::uint8_t, 4> link{};
    jet::bytes::putLe32(link.data(), next);
    Bytes b(link.begin(), link.end());
    for (char c : text) b.push_back(static_cast<std::uint8_t>(c));
    return b;
}

TEST(LongValues, InlineSingleRowAndChainedForms) {
    const auto& f = jet::Format::jet4();
    using jet::bytes::rowPointer;
    auto pager = imageWithRows(
        {Bytes{'w', 'h', 'o', 'l', 'e'}, piece(rowPointer(1, 2), "first "), piece(0, "second")});
    auto in = header(3, 0x80, 0);
    append(in, {'a', 'b', 'c'});
    EXPECT_EQ(jet::readLongValue(pager.get(), f, in), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(jet::readLongValue(pager.get(), f, header(5, 0x40, rowPointer(1, 0))),
              (Bytes{'w', 'h', 'o', 'l', 'e'}));
    const auto chained = jet::readLongValue(pager.get(), f, header(12, 0x00, rowPointer(1, 1)));
    EXPECT_EQ(std::string(chained.begin(), chained.end()), "first second");
}

TEST(LongValues, LoopsShortChainsAndOverlongLengthsAreCorrupt) {
    const auto& f = jet::Format::jet4();
    using jet::bytes::rowPointer;
    auto pager =
        imageWithRows({piece(rowPointer(1, 1), "ab"), piece(rowPointer(1, 0), "cd"), Bytes{'x'}});
    const std::vector<Bytes> bad = {
        header(100, 0x00, rowPointer(1, 0)),  // the chain loops
        header(10, 0x40, rowPointer(1, 2)),   // longer than its row
        header(5, 0x80, 0),                   // inline, but no data follows
        header(3, 0x40, rowPointer(9, 0)),    // page beyond the end
        header(3, 0x40, rowPointer(1, 7)),    // no such row
        Bytes{1, 2, 3},                       // header cut short
    };
    for (const auto& h : bad) {
        const Error e = jettest::errorOf([&] { jet::readLongValue(pager.get(), f, h); },
                                         "accepted a damaged long value");
        EXPECT_EQ(e.kind(), Error::Kind::Corrupt) << e.what();
    }
}

}  // namespace
