// What every caller of TOracleSource relies on, whichever driver serves it.

#include "cursorcontract.h"

#include <gtest/gtest.h>

#include <functional>

#include "dbaccess/oracleconnect.h"
#include "dbaccess/oraclesource.h"

using namespace dbaccess;

namespace {

class CursorContract : public ::testing::Test {
protected:
    void SetUp() override {
        setup = contractSetup();
        openOracleConnection(source, setup.service, setup.user, setup.password);
    }

    void openRows(TOracleCursor& cursor) {
        cursor.close();
        cursor.setQuery(QStringLiteral("select * from ") + setup.rowsTable);
        cursor.open();
        cursor.first();
    }

    ContractSetup setup;
    TOracleSource source;
};

QString expectMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const TOracleError& e) {
        return e.message();
    }
    ADD_FAILURE() << "no TOracleError";
    return QString();
}

}  // namespace

TEST_F(CursorContract, ListsTheUsersTablesInOrder) {
    EXPECT_EQ(listOracleTables(source), setup.tables);
    EXPECT_FALSE(source.oracledata.isOpen());
}

TEST_F(CursorContract, WalksForwardOnceAndStaysAtTheEnd) {
    TOracleCursor& cursor = source.oracledata;
    openRows(cursor);
    ASSERT_FALSE(cursor.atEnd());
    EXPECT_EQ(cursor.valueByName(setup.idColumn), TOracleValue::integer(1));
    EXPECT_EQ(cursor.firstColumnText(), QStringLiteral("1"));
    int rows = 0;
    for (; !cursor.atEnd(); cursor.next()) ++rows;
    EXPECT_GE(rows, 2);
    cursor.next();
    EXPECT_TRUE(cursor.atEnd());
    EXPECT_FALSE(expectMessage([&] { cursor.first(); }).isEmpty());
    EXPECT_FALSE(expectMessage([&] { cursor.value(0); }).isEmpty());
}

TEST_F(CursorContract, FindsColumnsByNameWhateverTheLetterCase) {
    TOracleCursor& cursor = source.oracledata;
    openRows(cursor);
    const int index = cursor.columnIndex(setup.textColumn);
    EXPECT_EQ(cursor.columnName(index), setup.textColumn);
    EXPECT_EQ(cursor.columnIndex(setup.textColumn.toLower()), index);
    EXPECT_EQ(cursor.valueByName(setup.textColumn.toLower()).kind(), TOracleValue::Kind::Text);
    EXPECT_TRUE(expectMessage([&] {
                    cursor.valueByName(QStringLiteral("NO_SUCH_COLUMN"));
                }).contains(QStringLiteral("NO_SUCH_COLUMN")));
}

TEST_F(CursorContract, TellsBlobsApartAndGivesTheirBytes) {
    TOracleCursor& cursor = source.oracledata;
    openRows(cursor);
    EXPECT_TRUE(cursor.isBlob(setup.blobColumn));
    EXPECT_TRUE(cursor.isBlob(setup.blobColumn.toLower()));
    EXPECT_FALSE(cursor.isBlob(setup.textColumn));
    EXPECT_FALSE(cursor.isBlob(setup.idColumn));
    EXPECT_EQ(cursor.blobContent(setup.blobColumn), setup.firstBlob);
}

TEST_F(CursorContract, EmptyResultIsAtEndAtOnceButHasItsColumns) {
    TOracleCursor& cursor = source.oracledata;
    cursor.setQuery(QStringLiteral("select * from ") + setup.emptyTable);
    cursor.open();
    cursor.first();
    EXPECT_TRUE(cursor.atEnd());
    EXPECT_GT(cursor.columnCount(), 0);
}

TEST_F(CursorContract, FailuresCarryTheServersMessage) {
    TOracleCursor& cursor = source.oracledataset;
    cursor.setQuery(QStringLiteral("select * from NO_SUCH_TABLE"));
    EXPECT_TRUE(expectMessage([&] {
                    cursor.open();
                }).startsWith(QStringLiteral("ORA-00942: table or view does not exist")));
    EXPECT_FALSE(cursor.isOpen());
}

TEST_F(CursorContract, TwoCursorsRunSideBySideAndCloseWithTheConnection) {
    openRows(source.oracledata);
    openRows(source.oracledataset);
    source.oracledataset.next();
    EXPECT_EQ(source.oracledata.valueByName(setup.idColumn), TOracleValue::integer(1));
    EXPECT_NE(source.oracledataset.valueByName(setup.idColumn), TOracleValue::integer(1));

    source.oracledata.close();
    source.oracledata.close();  // harmless when closed
    source.oracleconn.close();
    EXPECT_FALSE(source.oracledataset.isOpen());
    source.oracleconn.close();
    EXPECT_TRUE(
        expectMessage([&] { openRows(source.oracledata); }).contains(QStringLiteral("not open")));

    // Opening again serves both cursors.
    source.oracleconn.open();
    openRows(source.oracledata);
    EXPECT_FALSE(source.oracledata.atEnd());
}
