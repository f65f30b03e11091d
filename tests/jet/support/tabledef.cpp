#include "support/tabledef.h"

#include <gtest/gtest.h>

namespace jettest {

void expectSameLayout(const jet::TableDef& a, const jet::TableDef& b, bool withBooleanOffsets) {
    ASSERT_EQ(a.columns.size(), b.columns.size());
    for (std::size_t i = 0; i < a.columns.size(); ++i) {
        const jet::ColumnDef &x = a.columns[i], &y = b.columns[i];
        SCOPED_TRACE(x.name);
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(x.type, y.type);
        EXPECT_EQ(x.number, y.number);
        EXPECT_EQ(x.flags, y.flags);
        EXPECT_EQ(x.length, y.length);
        if (!x.isFixed()) {
            EXPECT_EQ(x.varIndex, y.varIndex);
        } else if (withBooleanOffsets || x.type != jet::ColumnType::Boolean) {
            EXPECT_EQ(x.fixedOffset, y.fixedOffset);
        }
    }
    ASSERT_EQ(a.physicalIndexes.size(), b.physicalIndexes.size());
    for (std::size_t i = 0; i < a.physicalIndexes.size(); ++i) {
        const jet::PhysicalIndex &x = a.physicalIndexes[i], &y = b.physicalIndexes[i];
        EXPECT_EQ(x.flags, y.flags);
        ASSERT_EQ(x.columns.size(), y.columns.size());
        for (std::size_t k = 0; k < x.columns.size(); ++k)
            EXPECT_EQ(x.columns[k].columnNumber, y.columns[k].columnNumber);
    }
    ASSERT_EQ(a.indexes.size(), b.indexes.size());
    for (std::size_t i = 0; i < a.indexes.size(); ++i) {
        EXPECT_EQ(a.indexes[i].name, b.indexes[i].name);
        EXPECT_EQ(a.indexes[i].number, b.indexes[i].number);
        EXPECT_EQ(a.indexes[i].physicalIndex, b.indexes[i].physicalIndex);
        EXPECT_EQ(a.indexes[i].kind, b.indexes[i].kind);
    }
}

}  // namespace jettest
