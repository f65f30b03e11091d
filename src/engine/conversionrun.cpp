#include "engine/conversionrun.h"

#include <QDateTime>
#include <QLocale>

#include "dbaccess/accesstarget.h"
#include "dbaccess/oraclesource.h"
#include "engine/abort.h"
#include "engine/names.h"
#include "engine/rowcopy.h"
#include "engine/ucc.h"

namespace {

constexpr int kMaxTargetName = 60;

// A source name too long for Access becomes its first 56 characters and a
// four-digit number, the first such name not yet taken (the last one tried
// when all are).
QString targetNameFor(dbaccess::TAccessDataset& accdataset, const QString& sourceName) {
    if (sourceName.size() <= kMaxTargetName) return sourceName;
    QString candidate;
    for (int n = 0; n <= 100; ++n) {
        candidate = sourceName.left(56) + QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0'));
        if (!Tcc::TableExists(accdataset, candidate)) break;
    }
    return candidate;
}

QString changedValuesLine(const TCopyResult& copy) {
    return QStringLiteral("Values not stored as the source had them: %1, the first in column %2")
        .arg(copy.changedValues)
        .arg(copy.firstChangedColumn);
}

}  // namespace

TRunOutcome RunConversion(Tcc& ucc, dbaccess::TOracleSource& source,
                          dbaccess::TAccessTarget& target, const TRunSettings& settings,
                          const QStringList& chosen, TRunLog& log, bool& stoprequested,
                          const TRunHooks& hooks, const TRunTexts& texts) {
    TRunOutcome outcome;
    const bool overwrite = settings.processtable == 0;
    const bool skip = settings.processtable == 2;
    const bool doIndexes = !settings.skipindex;
    stoprequested = false;

    Tcc::PrepareTargetFile(settings.accessfilename, settings.accessformat);
    Tcc::OpenTarget(target.accconnection, settings.accessfilename);

    TCopyContext copyContext{source.oracledata,   target.accconnection, target.accdataset,  log,
                             settings.blobtotext, stoprequested,        hooks.processEvents};

    const qsizetype count = chosen.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (stoprequested) {
            stoprequested = false;
            throw TSilentAbort();
        }
        ++outcome.tables;
        const QString sourceName = ApplyNameCase(chosen.at(i), settings.nameuppercase);
        const QString t = targetNameFor(target.accdataset, sourceName);
        const bool exists = Tcc::TableExists(target.accdataset, t);
        bool createFailed = false;

        if (exists && overwrite) {
            log.append(QStringLiteral("Drop table ") + t + QStringLiteral("... "));
            const TStepResult drop = Tcc::DropTable(target.accesssql, t);
            if (drop.ok) {
                log.replaceLast(QStringLiteral("Drop table ") + t + QStringLiteral("...Done"));
            } else {
                log.append(drop.failure);
                ++outcome.failedSteps;
            }
            log.append(QString());
        }
        if (exists && skip) {
            log.append(QStringLiteral("Skip table ") + t + QStringLiteral("... "));
            log.append(QString());
        }
        if (!exists || overwrite) {
            log.append(QStringLiteral("Create table ") + t + QStringLiteral("... "));
            const TStepResult create = ucc.CreateTable(source.oracledataset, target.accesssql,
                                                       sourceName, t, settings.blobtotext);
            if (create.ok) {
                log.replaceLast(QStringLiteral("Create table ") + t + QStringLiteral("...Done"));
            } else {
                log.append(create.failure);
                ++outcome.failedSteps;
            }
            log.append(QString());
            createFailed = !create.ok;
            if (doIndexes && create.ok) {
                const TStepResult indexes =
                    ucc.CreateIndexes(source.oracledataset, target.accesssql, sourceName, t);
                // A failed index would otherwise leave no trace.
                if (!indexes.ok) {
                    log.append(indexes.failure);
                    log.append(QString());
                    ++outcome.failedSteps;
                }
            }
        }
        if (!settings.tabledefonly) {
            if ((exists && skip) || createFailed) {
                log.append(QStringLiteral("Skip table ") + t);
                log.append(QString());
            } else {
                log.append(QStringLiteral("Insert table ") + t + QStringLiteral("... "));
                const TCopyResult copy = CopyRows(copyContext, sourceName, t);
                if (copy.ok) {
                    log.replaceLast(log.last() + QStringLiteral("...Done"));
                } else {
                    log.append(copy.failure);
                    ++outcome.failedSteps;
                }
                if (copy.changedValues > 0) {
                    log.append(changedValuesLine(copy));
                    ++outcome.tablesLosingValues;
                }
                log.append(QString());
            }
        }
    }

    AppendEndLines(log, hooks, texts);
    return outcome;
}

void AppendEndLines(TRunLog& log, const TRunHooks& hooks, const TRunTexts& texts) {
    log.append(texts.label29);
    log.append(texts.label30);
    if (hooks.batchEnd) {
        log.append(QStringLiteral("The end time:") + DateTimeText());
        hooks.batchEnd();
    }
    log.append(texts.label32);
}

QString DateTimeText() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    QString text = locale.toString(now.date(), QLocale::ShortFormat);
    if (now.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(now.time(), QLocale::LongFormat);
    return text;
}
