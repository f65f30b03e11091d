// The unattended demonstration: every table of the bundled sample schema
// converted into a new Access 2000 file by the conversion run, as a batch run
// would do it. Prints the run log and the path of the file.
//
// Usage: ferrovane_demo SNAPSHOT TARGET.mdb

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

#include "dbaccess/accesstarget.h"
#include "dbaccess/oracleconnect.h"
#include "dbaccess/oraclesource.h"
#include "engine/conversionrun.h"
#include "engine/ucc.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ferrovane_demo SNAPSHOT TARGET.mdb\n");
        return 2;
    }
    const QString service = QStringLiteral("sqlite:") + QString::fromLocal8Bit(argv[1]);
    const QString target = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();

    QTextStream out(stdout);
    TRunLog log;
    // On a terminal each line shows as it is written, a replaced line (the
    // progress of a long table) over the one before; elsewhere the log is
    // printed when the run is over.
    const bool live = isatty(fileno(stdout)) != 0;
    if (live) {
        log.setListener([&](TRunLog::Change change, const QString& line) {
            if (change == TRunLog::Change::ReplacedLast) out << "\x1b[1A\x1b[2K";
            out << line << '\n';
            out.flush();
        });
    }
    auto printLog = [&] {
        if (live) return;
        for (const QString& line : log.lines()) out << line << '\n';
        out.flush();
    };
    try {
        log.append(QStringLiteral("Start time:") + DateTimeText());
        dbaccess::TOracleSource source;
        dbaccess::openOracleConnection(source, service, QStringLiteral("demo"), QString());
        const QStringList tables = dbaccess::listOracleTables(source);

        dbaccess::TAccessTarget access;
        Tcc ucc;
        TRunSettings settings;
        settings.processtable = 0;
        settings.accessformat = 1;
        settings.accessfilename = target;
        bool stoprequested = false;
        TRunHooks hooks;
        hooks.batchEnd = [] {};
        RunConversion(ucc, source, access, settings, tables, log, stoprequested, hooks);
    } catch (const std::exception& e) {
        printLog();
        std::fprintf(stderr, "ferrovane_demo: %s\n", ErrorText(e).toLocal8Bit().constData());
        return 1;
    }
    printLog();
    out << "The file is at: " << target << '\n';
    return 0;
}
