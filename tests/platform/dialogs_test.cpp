#include "platform/dialogs.h"

#include <gtest/gtest.h>

TEST(ErrorBoxText, AddsAFullStopOnlyAfterCharactersAboveIt)
{
    using platform::errorBoxText;
    EXPECT_EQ(errorBoxText(QStringLiteral("ORA-12154: TNS:could not resolve")),
              QStringLiteral("ORA-12154: TNS:could not resolve."));
    EXPECT_EQ(errorBoxText(QStringLiteral("Done.")), QStringLiteral("Done."));
    // Below "." in the code table: no full stop.
    EXPECT_EQ(errorBoxText(QStringLiteral("Stopped!")), QStringLiteral("Stopped!"));
    EXPECT_EQ(errorBoxText(QStringLiteral("value -")), QStringLiteral("value -"));
    EXPECT_EQ(errorBoxText(QStringLiteral("file \"a.mdb\"")), QStringLiteral("file \"a.mdb\""));
    EXPECT_EQ(errorBoxText(QStringLiteral("path /")), QStringLiteral("path /."));
    EXPECT_EQ(errorBoxText(QStringLiteral("42")), QStringLiteral("42."));
    EXPECT_EQ(errorBoxText(QStringLiteral("表")), QStringLiteral("表."));
    EXPECT_EQ(errorBoxText(QString()), QString());
}

TEST(QtFilter, TurnsPipeSeparatedPairsIntoQtFilters)
{
    EXPECT_EQ(platform::qtFilter(QStringLiteral("MS Access Databases (.mdb)|*.mdb")),
              QStringLiteral("MS Access Databases (.mdb) (*.mdb)"));
    EXPECT_EQ(platform::qtFilter(QStringLiteral("Tasks|*.kvtask|All|*.a;*.b")),
              QStringLiteral("Tasks (*.kvtask);;All (*.a *.b)"));
}
