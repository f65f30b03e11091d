#pragma once

// The widget-free half of a batch run: its exit status, whether anybody can
// answer a message box, and the batch start and end around the wizard's walk.

#include <QString>

#include "engine/conversionrun.h"
#include "engine/runlog.h"
#include "settings/conversionsettings.h"
#include "settings/settingfile.h"

// How a batch run ended, as the program's exit status. When several apply,
// the first of SettingFileNotLoaded, WalkStopped, LogNotWritten,
// TableStepsFailed counts.
enum class TBatchExit : int {
    Normal = 0,                // the conversion ran to its end, every step succeeded
    SettingFileNotLoaded = 2,  // missing, unreadable, or its indexes are not whole numbers
    WalkStopped = 3,           // a failure (or Stop) ended the walk before the run's end
    TableStepsFailed = 4,      // the run ended, but a table step failed or values were lost
    LogNotWritten = 5,         // the log file could not be saved
};

TBatchExit ExitForOutcome(const TRunOutcome& outcome);

// Whether a display is at hand, judged from the environment alone, so that it
// can be asked before the application object exists: DISPLAY or
// WAYLAND_DISPLAY set, and QT_QPA_PLATFORM not "offscreen" or "minimal".
// Always true on Windows and macOS unless the platform says otherwise.
bool DisplayAvailable();
// The same from given values; runningPlatform is the platform plugin in use
// (empty before the application object exists), and decides alone once known.
bool DisplayAvailableIn(const QString& display, const QString& waylandDisplay,
                        const QString& qpaPlatform, const QString& runningPlatform);
// To be called before the application object exists. A batch run without a
// display starts on the offscreen platform, since a windowed one would refuse
// to start at all; returns true when the run is thus unattended.
bool PrepareBatchPlatform(bool batchrun);
// Writes message as one line to standard error, where a run nobody watches
// reports what it cannot show.
void ToStandardError(const QString& message);

// Whether a user can answer a message box in this process: a display and a
// platform plugin that shows windows.
bool CanAnswerMessages();

class TBatchRun {
public:
    // settingPath: the program's first argument. unattended: nobody can answer
    // a message box (see CanAnswerMessages).
    TBatchRun(QString settingPath, bool unattended);

    const QString& settingPath() const { return settingPath_; }
    QString logPath() const { return LogFilePath(settingPath_); }
    bool unattended() const { return unattended_; }
    const TSettingFile& settingFile() const { return file_; }
    TBatchExit exitCode() const { return exit_; }

    // The batch start, after the stored settings are loaded: the line
    // "Start time:...", the setting file loaded and applied onto settings.
    // False when it could not be loaded: the log then holds the reason, a save
    // of it has been tried (saveLog; logError() tells whether it failed), no
    // value was applied, and the program ends.
    bool start(TRunLog& log, TConversionSettings& settings);

    // The table choice for the table page, from the loaded file.
    TTableChoice tableChoice() const { return BatchTableChoice(file_); }

    // Saves the log to the log file. On failure returns the message
    // ("Cannot create file ..."), which an unattended run also writes to
    // standard error; an empty text means saved.
    QString saveLog(const TRunLog& log);
    // The message of the last save that failed; empty after a good one.
    const QString& logError() const { return logError_; }

    // A message that would wait for a user. Unattended, it goes into the log
    // and to standard error, the log is saved and true is returned: the
    // program is to end now. With a display, false: show the box as usual.
    // Either way the walk has stopped.
    bool reportUnattended(TRunLog& log, const QString& message);

    // The walk ended without reaching the batch end (a failure shown in a box
    // and the window closed by the user, or a Stop).
    void walkStopped() { raise(TBatchExit::WalkStopped); }
    // The run returned after the batch end.
    void finished(const TRunOutcome& outcome) { raise(ExitForOutcome(outcome)); }

private:
    void raise(TBatchExit code);

    QString settingPath_;
    bool unattended_;
    TSettingFile file_;
    TBatchExit exit_ = TBatchExit::Normal;
    QString logError_;
};
