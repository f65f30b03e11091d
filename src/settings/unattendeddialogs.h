#pragma once

// The message boxes of a batch run that nobody watches. A box would wait for
// ever, so each message goes into the run log and to standard error, the log
// is saved, and the program is told to end. Questions are answered No, and no
// file is chosen.

#include <functional>

#include "engine/runlog.h"
#include "platform/dialogs.h"
#include "settings/batchrun.h"

class TUnattendedDialogs final : public platform::Dialogs {
public:
    // endProgram: closes the main window; called after each message.
    TUnattendedDialogs(TBatchRun& batch, TRunLog& log, std::function<void()> endProgram)
        : batch_(batch), log_(log), endProgram_(std::move(endProgram)) {}

    void message(QWidget*, const QString&, const QString& text, platform::MessageIcon) override {
        if (batch_.reportUnattended(log_, text) && endProgram_) endProgram_();
    }
    bool question(QWidget*, const QString&, const QString&) override { return false; }
    std::optional<QString> saveFileName(QWidget*, const platform::SaveFileRequest&) override {
        return std::nullopt;
    }
    bool openUrl(QWidget*, const QString&) override { return false; }

private:
    TBatchRun& batch_;
    TRunLog& log_;
    std::function<void()> endProgram_;
};
