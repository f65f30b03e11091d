// The unattended demonstration: the bundled sample schema carried as far as
// the program goes today. It connects to the sample snapshot as the wizard
// would, lists the user's tables, writes the target file and opens it, and
// prints a run log. The table copy joins here once the conversion exists.
//
// Usage: ferrovane_demo SNAPSHOT TARGET.mdb

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

#include "dbaccess/accesstarget.h"
#include "dbaccess/oracleconnect.h"
#include "dbaccess/oraclesource.h"
#include "engine/ucc.h"
#include "jet/database.h"

namespace {

QTextStream out(stdout);

void logLine(const QString& line)
{
    out << line << '\n';
    out.flush();
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ferrovane_demo SNAPSHOT TARGET.mdb\n");
        return 2;
    }
    const QString service = QStringLiteral("sqlite:") + QString::fromLocal8Bit(argv[1]);
    const QString target = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();

    try {
        logLine(QStringLiteral("Start time:") +
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));

        dbaccess::TOracleSource source;
        logLine(QStringLiteral("Connecting to ") + service + QStringLiteral("..."));
        dbaccess::openOracleConnection(source, service, QStringLiteral("demo"), QString());
        const QStringList tables = dbaccess::listOracleTables(source);
        logLine(QStringLiteral("Tables of the Oracle user: %1").arg(tables.size()));
        for (const QString& name : tables)
            logLine(QStringLiteral("  ") + name);

        logLine(QStringLiteral("Preparing ") + target + QStringLiteral(" (MS Access 2000)..."));
        Tcc::PrepareTargetFile(target, 1);
        dbaccess::TAccessConnection accconnection;
        Tcc::OpenTarget(accconnection, target);
        accconnection.close();

        const auto db = jet::Database::open(target.toStdString(), jet::OpenMode::ReadOnly);
        logLine(QStringLiteral("Target format: %1, %2 user tables")
                    .arg(db->version() == jet::Version::Jet4 ? QStringLiteral("Jet 4")
                                                             : QStringLiteral("Jet 3"))
                    .arg(db->tableNames().size()));
        logLine(QStringLiteral("Copying tables is not built yet; the file holds the empty "
                               "database that new targets start from."));
        logLine(QStringLiteral("The file is at: ") + target);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ferrovane_demo: %s\n", e.what());
        return 1;
    }
    return 0;
}
