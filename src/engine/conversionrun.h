#pragma once

// The conversion run: the body of the wizard's page-5 step, without widgets.
// It takes the settings, the chosen names, the run log, a callback that lets
// pending interface events through, the stop flag and, in a batch run, a hook
// for the batch end. The wizard does the button and page changes around it.

#include <QString>
#include <QStringList>
#include <functional>

#include "engine/runlog.h"

namespace dbaccess {
class TOracleSource;
class TAccessTarget;
}  // namespace dbaccess

class Tcc;

// What the run reads of the settings; none of it changes while it runs.
struct TRunSettings {
    int processtable = 0;  // 0 Overwrite, 1 Merge, 2 Skip; anything else acts as Merge
    bool tabledefonly = false;
    bool skipindex = false;
    bool blobtotext = false;
    bool nameuppercase = false;
    int accessformat = 0;    // 1: MS Access 2000; anything else: MS Access 95/97
    QString accessfilename;  // the target file
};

// The closing lines, which follow the interface language.
struct TRunTexts {
    QString label29 = QStringLiteral("Conversion is Completed");
    QString label30 =
        QStringLiteral("Wizard has migrated your Oracle database to Access successfully.");
    QString label32 = QStringLiteral("Click 'Finish' to exit the wizard.");
};

struct TRunHooks {
    // Lets pending interface events through; the row copy calls it every 100
    // rows. A Stop confirmed there sets the stop flag.
    std::function<void()> processEvents;
    // Set only in a batch run: called after the line "The end time:..." is
    // appended, to save the log and close the window. The run then appends
    // the last closing line.
    std::function<void()> batchEnd;
};

// How the run went, for callers that report it (a batch run's exit status).
struct TRunOutcome {
    int tables = 0;          // chosen tables the run reached
    int failedSteps = 0;     // drop, create, index or row steps that failed
    int tablesLosingValues = 0;  // tables with values not stored as the source had them
};

// Runs the conversion over chosen (the chosen-tables list, in order). Clears
// stoprequested at its start. Ends normally, by TSilentAbort (a Stop seen
// before a table), or by letting an uncaught error escape (the target file
// cannot be made or opened, a dictionary query fails).
TRunOutcome RunConversion(Tcc& ucc, dbaccess::TOracleSource& source,
                          dbaccess::TAccessTarget& target, const TRunSettings& settings,
                          const QStringList& chosen, TRunLog& log, bool& stoprequested,
                          const TRunHooks& hooks, const TRunTexts& texts = {});

// The current local date and time as the log lines show it: the system's short
// date, a blank and its long time; the time is left out at exactly midnight.
QString DateTimeText();

// The run's closing lines: Label29 and Label30; in a batch run the end time,
// then the batch end; then Label32.
void AppendEndLines(TRunLog& log, const TRunHooks& hooks, const TRunTexts& texts);
