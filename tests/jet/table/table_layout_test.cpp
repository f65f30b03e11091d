// Where a new table's columns go: numbers in order, one variable slot per
// variable column, the fixed area packed in order without the Yes/No columns.

#include "jet/table/table_layout.h"

#include <gtest/gtest.h>

#include "jet/file/format.h"

namespace {

using jet::ColumnType;

struct Expected {
    ColumnType type;
    std::uint16_t varIndex;
    std::uint16_t fixedOffset;
    std::uint16_t length;  // Jet 3; text columns take twice as much in Jet 4
    bool fixed;
};

TEST(TableLayout, NumbersSlotsAndFixedOffsetsInOrder) {
    const Expected table[] = {
        {ColumnType::Long, 0, 0, 4, true},      {ColumnType::Text, 0, 0, 10, false},
        {ColumnType::Boolean, 1, 0, 1, true},   {ColumnType::Memo, 1, 0, 0, false},
        {ColumnType::Currency, 2, 4, 8, true},  {ColumnType::Binary, 2, 0, 10, false},
        {ColumnType::DateTime, 3, 12, 8, true},
    };
    for (const jet::Format* f : {&jet::Format::jet3(), &jet::Format::jet4()}) {
        jet::TableLayoutBuilder layout(*f);
        for (const Expected& e : table) {
            jet::ColumnDef c;
            c.name = "c";
            c.type = e.type;
            c.length = layout.variableLength(e.type, 10);
            layout.add(c);
        }
        const jet::TableDef& t = layout.table();
        ASSERT_EQ(t.columns.size(), std::size(table));
        EXPECT_EQ(t.maxColumnNumber, std::size(table));
        EXPECT_EQ(layout.longValueColumns(), 1u);
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            const jet::ColumnDef& c = t.columns[i];
            const Expected& e = table[i];
            SCOPED_TRACE(std::string(jet::columnTypeName(e.type)) + " in Jet " +
                         (f->version == jet::Version::Jet3 ? "3" : "4"));
            EXPECT_EQ(c.number, i);
            EXPECT_EQ(c.isFixed(), e.fixed);
            if (!e.fixed) {
                EXPECT_EQ(c.varIndex, e.varIndex);
            }
            EXPECT_EQ(c.fixedOffset, e.fixedOffset);
            const int unit = e.type == ColumnType::Text ? f->textUnitSize : 1;
            EXPECT_EQ(c.length, e.length * unit);
            EXPECT_EQ(c.codePage, f->textCodePage);
            EXPECT_EQ(c.sortOrder, 0x0409);
        }
    }
}

}  // namespace
