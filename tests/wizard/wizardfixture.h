#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "engine/ucc.h"
#include "fakedialogs.h"
#include "wizard/taaform1.h"

inline const QString kSampleService = QStringLiteral("sqlite:" FERROVANE_SAMPLE_SNAPSHOT);

// A fresh wizard with answered dialogs and a scratch folder for targets.
class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<Taaform1>();
        form->ucc = &ucc;
    }

    QString targetPath(const QString& name = QStringLiteral("target.mdb")) const {
        return scratch.filePath(name);
    }

    // Page 3, then page 4 on the sample snapshot, then page 5 with a target.
    void walkToTablePage() {
        form->btnextClick();
        form->edtservice->setText(kSampleService);
        form->btnextClick();
        form->editaccessname->setText(targetPath());
        form->SaveDialog1.FileName = targetPath();
        form->btnextClick();
        ASSERT_EQ(form->currentpage, 5);
    }

    // Selects the named entries of list, and nothing else.
    static void select(QListWidget* list, const QStringList& names) {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setSelected(names.contains(list->item(i)->text()));
    }

    static QStringList names(const QListWidget* list) {
        QStringList result;
        for (int i = 0; i < list->count(); ++i) result.append(list->item(i)->text());
        return result;
    }

    FakeDialogs dialogs;
    Tcc ucc;
    QTemporaryDir scratch;
    std::unique_ptr<Taaform1> form;
};
