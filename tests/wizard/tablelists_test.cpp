// The two table lists: the four moves, double clicks, the sorted mode that a
// move back switches on for good, and the Next rule.

#include <gtest/gtest.h>

#include "wizardfixture.h"

namespace {

class TableListsTest : public WizardTest {
protected:
    // The table page with the given lists, as a listing would leave them.
    void onTablePage(const QStringList& available, const QStringList& chosen) {
        form->bkstep5Click();
        for (const QString& name : available) form->addAvailableTable(name);
        for (const QString& name : chosen) form->selecttables->addItem(name);
        form->currentpage = 5;
        form->ShowPage(5);
    }
    QStringList available() const { return names(form->availabletables); }
    QStringList chosen() const { return names(form->selecttables); }
};

const QStringList kABCD = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                           QStringLiteral("D")};

}  // namespace

TEST_F(TableListsTest, AddMovesExactlyTheSelectedNamesInTheirOrder) {
    onTablePage(kABCD, {QStringLiteral("X")});
    EXPECT_TRUE(form->btnext->isEnabled());

    form->Button1Click();  // nothing selected
    EXPECT_EQ(available(), kABCD);
    EXPECT_EQ(chosen(), QStringList{QStringLiteral("X")});

    select(form->availabletables, {QStringLiteral("B"), QStringLiteral("D")});
    form->Button1Click();
    EXPECT_EQ(chosen(), (QStringList{"X", "B", "D"}));
    EXPECT_EQ(available(), (QStringList{"A", "C"}));
    EXPECT_TRUE(form->selecttables->selectedItems().isEmpty());
    EXPECT_TRUE(form->availabletables->selectedItems().isEmpty());
}

TEST_F(TableListsTest, AddAllKeepsTheAvailableOrder) {
    onTablePage({}, {});
    form->Button2Click();
    EXPECT_TRUE(chosen().isEmpty());
    EXPECT_FALSE(form->btnext->isEnabled());

    onTablePage({"C", "A", "B"}, {"X"});
    form->Button2Click();
    EXPECT_EQ(chosen(), (QStringList{"X", "C", "A", "B"}));
    EXPECT_TRUE(available().isEmpty());
}

TEST_F(TableListsTest, MovingBackSortsTheAvailableListForGood) {
    onTablePage({"D", "C"}, {"B", "A"});
    form->Button4Click();
    EXPECT_EQ(available(), kABCD);
    EXPECT_TRUE(chosen().isEmpty());
    EXPECT_FALSE(form->btnext->isEnabled());

    // A later listing takes alphabetical places at once, regardless of case.
    form->bkstep5Click();
    for (const char* name : {"beta", "DELTA", "Alpha", "charlie"})
        form->addAvailableTable(QString::fromLatin1(name));
    EXPECT_EQ(available(), (QStringList{"Alpha", "beta", "charlie", "DELTA"}));
}

TEST_F(TableListsTest, RemoveMovesTheSelectedNamesBackAndSorts) {
    onTablePage({"Q", "M"}, {"b", "Z", "a"});
    select(form->selecttables, {"Z", "a"});
    form->Button3Click();
    EXPECT_EQ(chosen(), QStringList{"b"});
    EXPECT_EQ(available(), (QStringList{"a", "M", "Q", "Z"}));
    EXPECT_TRUE(form->btnext->isEnabled());

    select(form->selecttables, {"b"});
    form->Button3Click();
    EXPECT_FALSE(form->btnext->isEnabled());  // the last one went back
    select(form->availabletables, {"M"});
    form->Button1Click();
    EXPECT_TRUE(form->btnext->isEnabled());
}

TEST_F(TableListsTest, DoubleClicksMoveTheNameUnderThePointer) {
    onTablePage(kABCD, {});
    // A plain click selects only the clicked name; the double click then moves it.
    select(form->availabletables, {"C"});
    form->availabletablesDblClick();
    EXPECT_EQ(chosen(), QStringList{"C"});
    EXPECT_EQ(available(), (QStringList{"A", "B", "D"}));

    select(form->selecttables, {"C"});
    form->selecttablesDblClick();
    EXPECT_TRUE(chosen().isEmpty());
    EXPECT_EQ(available(), kABCD);
}

TEST_F(TableListsTest, ANameListedTwiceCanBeChosenTwice) {
    onTablePage({"T", "T"}, {});
    form->Button2Click();
    EXPECT_EQ(chosen(), (QStringList{"T", "T"}));
}

TEST_F(TableListsTest, TheNextRuleHoldsOnlyOnTheTablePage) {
    form->currentpage = 4;
    form->ShowPage(4);
    form->selecttables->addItem(QStringLiteral("X"));
    select(form->selecttables, {"X"});
    form->Button3Click();
    EXPECT_TRUE(form->btnext->isEnabled());
}
