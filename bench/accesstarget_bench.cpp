// Times the row path of a conversion: rows appended through TAccessTarget's
// cursor, committed and the cursor reopened in batches, as the copy does.
// Usage: accesstarget_bench [rows] [jet3|jet4]

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dbaccess/accesstarget.h"
#include "jet/file/format.h"

using namespace dbaccess;

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const jet::Version version =
        (argc > 2 && std::strcmp(argv[2], "jet3") == 0 ? jet::Format::jet3() : jet::Format::jet4())
            .version;
    QTemporaryDir dir;
    const QString file = dir.filePath("bench.mdb");
    jet::Database::create(file.toStdString(), version);

    TAccessTarget target;
    target.accconnection.setConnectionString(accessConnectionString(file));
    target.accconnection.open();
    target.accesssql.setCommandText(
        "Create table [B] (\r\n[ID] Integer , \r\n[NAME] text(40) , \r\n[AMOUNT] Double , \r\n"
        "[BORN] Date , \r\n[NOTE] text(200)\r\n ) ");
    target.accesssql.execute();

    const QString names[] = {"ID", "NAME", "AMOUNT", "BORN", "NOTE"};
    TOracleDateTime born;
    born.year = 2001;
    born.month = 2;
    born.day = 3;
    auto& ds = target.accdataset;
    ds.setCommandText("select * from [B] where 1=0");

    const auto start = std::chrono::steady_clock::now();
    ds.open();
    target.accconnection.beginTrans();
    for (long i = 1; i <= rows; ++i) {
        ds.append();
        ds.setValue(names[0], TOracleValue::integer(i));
        ds.setValue(names[1], TOracleValue::text(QStringLiteral("name %1").arg(i)));
        ds.setValue(names[2], TOracleValue::real(i * 0.25));
        ds.setValue(names[3], TOracleValue::dateTime(born));
        ds.setValue(names[4], TOracleValue::text(QStringLiteral("a note of modest length")));
        ds.post();
        if (i % 5000 == 100) {
            target.accconnection.commitTrans();
            target.accconnection.beginTrans();
            ds.close();
            ds.open();
        }
    }
    target.accconnection.commitTrans();
    ds.close();
    target.accconnection.close();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld rows in %.2f s: %.0f rows/s\n", rows, seconds, rows / seconds);
    return 0;
}
