#pragma once

// Stand-in dialogs: they record what the window asks and answer from the
// test's script, so that no box ever waits for a person.

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "platform/dialogs.h"

struct FakeDialogs : platform::Dialogs {
    struct Shown {
        QString title;
        QString text;
        platform::MessageIcon icon = platform::MessageIcon::None;
    };

    std::vector<Shown> messages;
    std::vector<Shown> questions;
    std::deque<bool> answers;  // Yes/No in turn; No once they run out
    std::optional<QString> chosenFile;
    std::vector<platform::SaveFileRequest> saveRequests;
    QStringList openedUrls;

    FakeDialogs() { platform::setDialogs(this); }
    ~FakeDialogs() override { platform::setDialogs(nullptr); }

    void message(QWidget*, const QString& title, const QString& text,
                 platform::MessageIcon icon) override {
        messages.push_back({title, text, icon});
    }
    bool question(QWidget*, const QString& title, const QString& text) override {
        questions.push_back({title, text, platform::MessageIcon::None});
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    std::optional<QString> saveFileName(QWidget*, const platform::SaveFileRequest& r) override {
        saveRequests.push_back(r);
        return chosenFile;
    }
    bool openUrl(QWidget*, const QString& address) override {
        openedUrls.append(address);
        return true;
    }
};
