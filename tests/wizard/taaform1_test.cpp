#include "wizard/taaform1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <algorithm>

#include "wizardfixture.h"

namespace {

bool isBold(const QLabel* label) { return label->font().bold(); }

}  // namespace

TEST_F(WizardTest, StartsOnTheWelcomePageWithTheTitleSizeAndButtons) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Ferrovane 4.0"));
    EXPECT_EQ(form->size(), QSize(594, 425));
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form->batchrun);
    EXPECT_FALSE(form->stoprequested);
    EXPECT_EQ(form->languagecode, QStringLiteral("en"));
    EXPECT_EQ(form->currentpage, 1);
    EXPECT_EQ(form->pg->currentIndex(), 0);
    EXPECT_EQ(form->Panel4->pos(), QPoint(1, 1));

    EXPECT_FALSE(form->btback->isEnabled());
    EXPECT_TRUE(form->btnext->isEnabled());
    EXPECT_TRUE(form->btcancel->isEnabled());
    EXPECT_TRUE(form->bthelp->isEnabled());
    EXPECT_EQ(form->btnext->text(), QStringLiteral("Next >"));
    EXPECT_EQ(form->btcancel->text(), QStringLiteral("Close"));
    EXPECT_TRUE(isBold(form->Label1));
    EXPECT_FALSE(isBold(form->Label3));
    EXPECT_EQ(LogoPixmap().size(), QSize(170, 50));
    EXPECT_EQ(form->Image1->size(), QSize(175, 47));
    EXPECT_EQ(form->Image1->cursor().shape(), Qt::PointingHandCursor);

    // The working folder is made at start.
    EXPECT_TRUE(QDir(Tcc::WorkingFolder()).exists());
    // Any argument makes a batch run.
    Taaform1 batch({scratch.filePath(QStringLiteral("job.kvtask"))});
    EXPECT_TRUE(batch.batchrun);
}

TEST_F(WizardTest, NextAndBackSkipTheServerPage) {
    form->btnextClick();
    EXPECT_EQ(form->currentpage, 3);
    EXPECT_EQ(form->pg->currentIndex(), 2);
    EXPECT_TRUE(form->btback->isEnabled());
    EXPECT_TRUE(isBold(form->Label3));
    EXPECT_FALSE(isBold(form->Label1));
    EXPECT_FALSE(isBold(form->Label2));
    EXPECT_EQ(form->focusWidget(), form->edtservice);

    form->btbackClick();
    EXPECT_EQ(form->currentpage, 1);
    EXPECT_EQ(form->pg->currentIndex(), 0);
    EXPECT_FALSE(form->btback->isEnabled());
    EXPECT_TRUE(isBold(form->Label1));
}

TEST_F(WizardTest, WalksToTheTablePageAndBackListingTheTablesAfresh) {
    form->btnextClick();
    form->edtservice->setText(kSampleService);
    form->btnextClick();
    ASSERT_EQ(form->currentpage, 4);
    EXPECT_TRUE(form->oracle.oracleconn.isOpen());
    EXPECT_EQ(form->oracle.oracleconn.params().first(),
              QStringLiteral("Database=") + kSampleService);

    form->editaccessname->setText(targetPath());
    form->btnextClick();
    ASSERT_EQ(form->currentpage, 5);
    EXPECT_EQ(form->pg->currentIndex(), 4);
    EXPECT_EQ(form->focusWidget(), form->availabletables);
    // In the order of the query, the first one marked but none selected.
    const QStringList listed = names(form->availabletables);
    ASSERT_GE(listed.size(), 10);
    EXPECT_EQ(listed.first(), QStringLiteral("ARCHIVED_CUSTOMER_CONTACT_PREFERENCES_FOR_REGIONAL_MARKETING_CAMPAIGNS"));
    QStringList binaryOrder = listed;
    std::sort(binaryOrder.begin(), binaryOrder.end());
    EXPECT_EQ(listed, binaryOrder);
    EXPECT_LT(listed.indexOf(QStringLiteral("MixedCase_Suppliers")),
              listed.indexOf(QStringLiteral("NUMBER_SAMPLES")));
    EXPECT_EQ(form->availabletables->currentRow(), 0);
    EXPECT_TRUE(form->availabletables->selectedItems().isEmpty());
    EXPECT_TRUE(form->selecttables->count() == 0);
    EXPECT_FALSE(form->btnext->isEnabled());

    form->btbackClick();
    EXPECT_EQ(form->currentpage, 4);
    EXPECT_EQ(form->availabletables->count(), 0);
    EXPECT_EQ(form->selecttables->count(), 0);
    form->btnextClick();
    EXPECT_EQ(names(form->availabletables), listed);
}

TEST_F(WizardTest, AFailedConnectionShowsTheErrorBoxAndStaysOnTheOraclePage) {
    form->btnextClick();
    form->edtservice->setText(QStringLiteral("sqlite:") + targetPath(QStringLiteral("none.sqlite")));
    form->edtoracleusername->setText(QStringLiteral("scott"));
    form->btnext->click();
    EXPECT_EQ(form->currentpage, 3);
    EXPECT_EQ(form->pg->currentIndex(), 2);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Ferrovane 4.0"));
    EXPECT_EQ(dialogs.messages[0].icon, platform::MessageIcon::Error);
    EXPECT_TRUE(dialogs.messages[0].text.endsWith(QLatin1Char('.')));
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("none.sqlite")))
        << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(form->edtoracleusername->text(), QStringLiteral("scott"));
}

TEST_F(WizardTest, AMissingTargetAsksForOneAndStaysWithoutListing) {
    form->btnextClick();
    form->edtservice->setText(kSampleService);
    form->btnextClick();
    form->editaccessname->setText(QStringLiteral("   "));
    form->btnext->click();  // through the click: the abort must show nothing more
    EXPECT_EQ(form->currentpage, 4);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Please input Access database name"));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Ferrovane 4.0"));
    EXPECT_EQ(dialogs.messages[0].icon, platform::MessageIcon::None);
    EXPECT_EQ(form->focusWidget(), form->btbrowse);
    EXPECT_EQ(form->availabletables->count(), 0);
    EXPECT_TRUE(form->oracle.oracleconn.isOpen());
}

TEST_F(WizardTest, CloseAsksAndOnlyYesClosesTheWindow) {
    form->show();
    form->btnextClick();
    form->edtservice->setText(QStringLiteral("orcl"));

    form->btcancel->click();  // no answer scripted: No
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, QStringLiteral("Information"));
    EXPECT_EQ(dialogs.questions[0].text, QStringLiteral("Close this Wizard ?"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->currentpage, 3);
    EXPECT_EQ(form->edtservice->text(), QStringLiteral("orcl"));

    dialogs.answers = {true};
    form->btcancel->click();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(WizardTest, BrowseStartsFromTheFieldAndKeepsItOnCancel) {
    EXPECT_TRUE(form->editaccessname->isReadOnly());
    form->editaccessname->setText(QStringLiteral("old.mdb"));

    form->btbrowseClick();  // cancelled
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].fileName, QStringLiteral("old.mdb"));
    EXPECT_EQ(dialogs.saveRequests[0].defaultExt, QStringLiteral("mdb"));
    EXPECT_EQ(dialogs.saveRequests[0].filter, QStringLiteral("MS Access Databases (.mdb)|*.mdb"));
    EXPECT_FALSE(dialogs.saveRequests[0].confirmOverwrite);
    EXPECT_EQ(form->editaccessname->text(), QStringLiteral("old.mdb"));

    dialogs.chosenFile = targetPath(QStringLiteral("new.mdb"));
    form->btbrowseClick();
    EXPECT_EQ(form->editaccessname->text(), targetPath(QStringLiteral("new.mdb")));
    EXPECT_EQ(form->runSettings().accessfilename, targetPath(QStringLiteral("new.mdb")));
}

TEST_F(WizardTest, HelpAndTheLogoOpenTheHelpPageOfTheLanguage) {
    form->bthelp->click();
    ASSERT_EQ(dialogs.openedUrls.size(), 1);
    EXPECT_EQ(dialogs.openedUrls[0], form->helpurl->text());
    EXPECT_TRUE(dialogs.openedUrls[0].contains(QStringLiteral("/en/")));

    // On page 6 "Help" is off, the logo still works.
    form->currentpage = 6;
    form->ShowPage(6);
    EXPECT_FALSE(form->bthelp->isEnabled());
    form->Image1Click();
    EXPECT_EQ(dialogs.openedUrls.size(), 2);

    form->languagecode = QStringLiteral("cn");
    form->ApplyLanguage();
    form->Image1Click();
    EXPECT_TRUE(dialogs.openedUrls.last().contains(QStringLiteral("/cn/")));
}

TEST_F(WizardTest, TheServerPageHostFieldFollowsTheAccessMode) {
    EXPECT_EQ(form->accessmode->itemIndex(), 0);
    EXPECT_EQ(form->edtport->text(), QStringLiteral("3306"));
    form->accessmodeClick();
    EXPECT_FALSE(form->edthost->isEnabled());
    form->accessmode->setItemIndex(1);
    form->accessmodeClick();
    EXPECT_TRUE(form->edthost->isEnabled());
    EXPECT_TRUE(form->edtport->isEnabled());
}

// The platform's own font is wider than the classic one: every caption that
// stands in a fixed place must still fit there.
TEST_F(WizardTest, FixedPlaceCaptionsFitWithThePlatformFont) {
    form->show();
    for (QPushButton* b : form->findChildren<QPushButton*>()) {
        if (b->isHidden()) continue;
        const QFontMetrics fm(b->font());
        EXPECT_LE(fm.horizontalAdvance(b->text()) + 8, b->width()) << b->objectName().toStdString();
    }
    for (QLabel* l : {form->Label27, form->Label28}) {
        const QFontMetrics fm(l->font());
        EXPECT_LE(fm.horizontalAdvance(l->text()), l->width()) << l->objectName().toStdString();
    }
    for (int page = 1; page <= 6; ++page) {
        form->currentpage = page;
        form->ShowPage(page);
        for (QLabel* l : form->pg->currentWidget()->findChildren<QLabel*>()) {
            if (!l->isVisible()) continue;
            EXPECT_GE(l->height(), l->heightForWidth(l->width()) > 0 ? l->heightForWidth(l->width())
                                                                    : l->sizeHint().height())
                << l->objectName().toStdString();
        }
    }
    for (QLabel* l : {form->Label1, form->Label3, form->Label4, form->Label5, form->Label6}) {
        QFont bold = l->font();
        bold.setBold(true);
        const QFontMetrics fm(bold);
        const QRect needed =
            fm.boundingRect(QRect(0, 0, l->width(), 1000), Qt::TextWordWrap, l->text());
        EXPECT_LE(needed.height(), l->height()) << l->objectName().toStdString();
    }
}
