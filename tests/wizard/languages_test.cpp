// The interface texts: both tables, and what ApplyLanguage does with them.

#include <gtest/gtest.h>

#include "wizard/languages.h"
#include "wizardfixture.h"

namespace {

QStringList keys(const QStringList& table) {
    QStringList result;
    for (const QString& line : table) result.append(line.section(QLatin1Char('='), 0, 0));
    return result;
}

}  // namespace

TEST(LanguageTables, HoldTheSame48KeysInTheSameOrder) {
    EXPECT_EQ(EnglishTable().size(), 48);
    EXPECT_EQ(keys(EnglishTable()), keys(ChineseTable()));
    // Case-blind keys, the first line wins, the value is all after the first "=".
    const QStringList table = {QStringLiteral("a=b=c"), QStringLiteral("A=second"),
                               QStringLiteral("empty=")};
    EXPECT_EQ(LanguageValue(table, QStringLiteral("a")), QStringLiteral("b=c"));
    EXPECT_EQ(LanguageValue(table, QStringLiteral("EMPTY")), QString());
    EXPECT_FALSE(LanguageValue(table, QStringLiteral("missing")).has_value());
}

TEST_F(WizardTest, EnglishCaptionsComeFromTheTable) {
    EXPECT_EQ(form->Label1->text(), QStringLiteral("Welcome"));
    EXPECT_EQ(form->Label2->text(), QStringLiteral("Connect to Mysql server"));
    EXPECT_EQ(form->Label7->text(), QStringLiteral("Welcome to the Database"));
    EXPECT_EQ(form->Label8->text(), QStringLiteral("Conversion Wizard"));
    EXPECT_EQ(form->Label21->text(), QStringLiteral("&Service:"));
    EXPECT_EQ(form->edtport111->text(), QStringLiteral("Port number:"));
    EXPECT_EQ(form->processtable->title(), QStringLiteral("How to process existing tables:"));
    EXPECT_EQ(form->authorization->title(), QStringLiteral("Authorization settings"));
    EXPECT_EQ(form->chkuppercase->text(), QStringLiteral("Make names uppercase"));
    EXPECT_EQ(form->chkblobtotext->text(), QStringLiteral("Convert BLOB to text"));
    EXPECT_EQ(form->queryclose->text(), QStringLiteral("Close this Wizard ?"));
    EXPECT_EQ(form->nullaccessname->text(), QStringLiteral("Please input Access database name"));
    EXPECT_EQ(form->btcreatebat->text(), QStringLiteral("Create Shortcut File"));
    EXPECT_EQ(form->Button1->text(), QStringLiteral("Add >"));
    EXPECT_EQ(form->processtable->item(0)->text(), QStringLiteral("Overwrite"));
    EXPECT_EQ(form->cbaccessformat->itemText(1), QStringLiteral("MS Access 2000"));

    // Every label, group and check box carries its key's text, or none.
    for (QObject* c : form->findChildren<QObject*>()) {
        const QString expected =
            LanguageValue(form->english, c->objectName()).value_or(QString());
        const std::string name = c->objectName().toStdString();
        if (auto* l = qobject_cast<QLabel*>(c)) {
            EXPECT_EQ(l->text(), expected) << name;
        } else if (auto* g = qobject_cast<QGroupBox*>(c)) {
            EXPECT_EQ(g->title(), expected) << name;
        } else if (auto* b = qobject_cast<QCheckBox*>(c)) {
            EXPECT_EQ(b->text(), expected) << name;
        }
    }

    // A caption set in between is overwritten; a control with no key loses its text.
    form->Label9->setText(QStringLiteral("changed"));
    auto* stray = new QLabel(QStringLiteral("stray"), form->pg->widget(0));
    stray->setObjectName(QStringLiteral("Label25x"));
    form->ApplyLanguage();
    EXPECT_EQ(form->Label9->text(),
              QStringLiteral("This wizard helps you move Oracle database to Access."));
    EXPECT_TRUE(stray->text().isEmpty());
}

TEST_F(WizardTest, ChineseChangesLabelsAndTheListButtonsButNotTheStripOrItems) {
    form->languagecode = QStringLiteral("cn");
    form->ApplyLanguage();
    EXPECT_EQ(form->Label7->text(), QStringLiteral("欢迎使用数据库转换向导"));
    EXPECT_TRUE(form->Label8->text().isEmpty());
    EXPECT_TRUE(form->Label19->text().isEmpty());
    EXPECT_TRUE(form->Label20->text().isEmpty());
    EXPECT_EQ(form->queryclose->text(), QStringLiteral("退出向导 ?"));
    EXPECT_EQ(form->runTexts().label29, QStringLiteral("已经完成转换"));
    EXPECT_EQ(form->Button4->text(), QStringLiteral("<去除全部"));
    EXPECT_EQ(form->btbrowse->text(), QStringLiteral("浏览..."));
    EXPECT_EQ(form->bthelp->text(), QStringLiteral("帮助"));
    EXPECT_EQ(form->btcreatebat->text(), QStringLiteral("创建快捷方式"));
    EXPECT_EQ(form->btback->text(), QStringLiteral("< Back"));
    EXPECT_EQ(form->btnext->text(), QStringLiteral("Next >"));
    EXPECT_EQ(form->btcancel->text(), QStringLiteral("Close"));
    EXPECT_EQ(form->processtable->item(1)->text(), QStringLiteral("Merge"));
    EXPECT_EQ(form->accessmode->item(1)->text(), QStringLiteral("&Romote"));

    // The Close question follows the language.
    form->btcancelClick();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].text, QStringLiteral("退出向导 ?"));
    EXPECT_EQ(dialogs.questions[0].title, QStringLiteral("Information"));
}
