// The conversion run against reading alone. A snapshot table BENCH of N rows
// (default 1,000,000) in the eight-column shape of the Jet benchmarks (ID
// NUMBER(9,0), AMOUNT NUMBER(12,3), NAME VARCHAR2(40), CREATED DATE, NOTE
// VARCHAR2(400), CODE VARCHAR2(10), QTY NUMBER(5,0), RATE NUMBER(15,4), a
// unique index on ID and a plain one on NAME) is
//   read:    walked through the Oracle source interface, every value touched;
//   convert: converted into a new Jet 4 file by the conversion run.
// Each phase runs in a child process of its own, so that its peak memory is
// its own. Reports seconds, rows per second, peak memory and the ratio.
//
//   conversion_bench [N] [SNAPSHOT] [MDB] [PHASE]
// The snapshot is made when missing; the file is kept when MDB is named ("-"
// for a temporary one). PHASE "read" or "convert" runs that phase alone, for
// a profiler or perf stat; both run by default.

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dbaccess/accesstarget.h"
#include "dbaccess/oracleconnect.h"
#include "dbaccess/oraclesource.h"
#include "engine/conversionrun.h"
#include "engine/ucc.h"

namespace {

const char* const kWords[] = {
    "alder",   "birch", "cedar",    "dogwood",  "elm",    "fir",     "ginkgo", "hazel",  "ironwood",
    "juniper", "kapok", "larch",    "maple",    "nutmeg", "oak",     "pine",   "quince", "rowan",
    "spruce",  "teak",  "umbrella", "viburnum", "willow", "xylosma", "yew",    "zelkova"};
constexpr int kWordCount = 26;

bool exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK) return true;
    std::fprintf(stderr, "%s\n", error);
    sqlite3_free(error);
    return false;
}

// The rows of the Jet benchmarks' generator, with the numbers at the scale
// their Oracle columns keep.
bool makeSnapshot(const std::string& path, long n) {
    const std::string temporary = path + ".part";
    std::filesystem::remove(temporary);
    sqlite3* db = nullptr;
    if (sqlite3_open(temporary.c_str(), &db) != SQLITE_OK) return false;
    bool ok = exec(db, R"(
PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN;
CREATE TABLE user_tables (table_name TEXT);
CREATE TABLE user_tab_columns (table_name TEXT, column_name TEXT, data_type TEXT,
  data_length INTEGER, data_precision INTEGER, data_scale INTEGER, nullable TEXT, column_id INTEGER);
CREATE TABLE user_indexes (index_name TEXT, table_name TEXT, uniqueness TEXT);
CREATE TABLE user_ind_columns (index_name TEXT, table_name TEXT, column_name TEXT,
  column_position INTEGER);
INSERT INTO user_tables VALUES ('BENCH');
INSERT INTO user_tab_columns VALUES
  ('BENCH', 'ID', 'NUMBER', 22, 9, 0, 'N', 1), ('BENCH', 'AMOUNT', 'NUMBER', 22, 12, 3, 'Y', 2),
  ('BENCH', 'NAME', 'VARCHAR2', 40, NULL, NULL, 'Y', 3), ('BENCH', 'CREATED', 'DATE', 7, NULL, NULL, 'Y', 4),
  ('BENCH', 'NOTE', 'VARCHAR2', 400, NULL, NULL, 'Y', 5), ('BENCH', 'CODE', 'VARCHAR2', 10, NULL, NULL, 'Y', 6),
  ('BENCH', 'QTY', 'NUMBER', 22, 5, 0, 'Y', 7), ('BENCH', 'RATE', 'NUMBER', 22, 15, 4, 'Y', 8);
INSERT INTO user_indexes VALUES ('UX_ID', 'BENCH', 'UNIQUE'), ('IX_NAME', 'BENCH', 'NONUNIQUE');
INSERT INTO user_ind_columns VALUES ('UX_ID', 'BENCH', 'ID', 1), ('IX_NAME', 'BENCH', 'NAME', 1);
CREATE TABLE BENCH (ID, AMOUNT, NAME, CREATED, NOTE, CODE, QTY, RATE);
)");
    sqlite3_stmt* insert = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO BENCH VALUES (?,?,?,?,?,?,?,?)", -1, &insert,
                                  nullptr) == SQLITE_OK;
    char note[160], name[48], code[24], created[64];
    for (long i = 1; ok && i <= n; ++i) {
        const char* word = kWords[i % kWordCount];
        const int noteLength =
            std::snprintf(note, sizeof note, "Row %08ld: %s %s, lot %04ld, checked and shelved.", i,
                          word, kWords[(i * 7) % kWordCount], i % 9973);
        const int nameLength = std::snprintf(name, sizeof name, "%s %ld", word, i);
        const int codeLength = std::snprintf(code, sizeof code, "%ld", i % 1000);
        // One hour a row from 2020-01-01.
        const QDate date = QDate(2020, 1, 1).addDays(i / 24);
        std::snprintf(created, sizeof created, "%04d-%02d-%02d %02d:00:00", date.year() % 10000,
                      date.month(), date.day(), static_cast<int>(i % 24));
        sqlite3_bind_int64(insert, 1, i);
        sqlite3_bind_double(
            insert, 2, static_cast<double>(i % 100000) * 1.25 + static_cast<double>(i) / 1000.0);
        sqlite3_bind_text(insert, 3, name, nameLength, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, created, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 5, note, noteLength, SQLITE_STATIC);
        sqlite3_bind_text(insert, 6, code, codeLength, SQLITE_STATIC);
        sqlite3_bind_int64(insert, 7, i % 500);
        sqlite3_bind_double(insert, 8,
                            std::round(10000.0 / static_cast<double>(1 + i % 97)) / 10000.0);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && exec(db, "COMMIT");
    sqlite3_close(db);
    if (ok) std::filesystem::rename(temporary, path);
    return ok;
}

void connect(dbaccess::TOracleSource& source, const std::string& snapshot) {
    dbaccess::openOracleConnection(source,
                                   QStringLiteral("sqlite:") + QString::fromStdString(snapshot),
                                   QStringLiteral("bench"), QString());
}

long readAlone(const std::string& snapshot) {
    dbaccess::TOracleSource source;
    connect(source, snapshot);
    dbaccess::TOracleCursor& rows = source.oracledata;
    rows.close();
    rows.setQuery(QStringLiteral("select * from BENCH"));
    rows.open();
    rows.first();
    long n = 0;
    long nulls = 0;
    for (; !rows.atEnd(); rows.next(), ++n)
        for (int i = 0; i < rows.columnCount(); ++i) nulls += rows.value(i).isNull();
    if (nulls < 0) std::puts("");
    return n;
}

long convert(const std::string& snapshot, const std::string& file) {
    dbaccess::TOracleSource source;
    connect(source, snapshot);
    dbaccess::TAccessTarget target;
    Tcc ucc;
    TRunSettings settings;
    settings.accessformat = 1;
    settings.accessfilename = QString::fromStdString(file);
    TRunLog log;
    bool stop = false;
    RunConversion(ucc, source, target, settings, {QStringLiteral("BENCH")}, log, stop, {});
    target.accconnection.close();
    for (const QString& line : log.lines())
        if (!line.isEmpty()) std::fprintf(stderr, "  log: %s\n", line.toLocal8Bit().constData());
    return log.lines().value(2).endsWith(QStringLiteral("...Done"))
               ? log.lines().value(2).section(u' ', 3, 3).toLong()
               : -1;
}

struct Phase {
    double seconds = 0;
    double peakMB = 0;
    double cpuSeconds = 0;  // user + system
    long rows = 0;
};

// Runs work in a child process; its time and its own peak memory.
template <class Work>
Phase inChild(Work work) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) std::exit(1);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        const long rows = work();
        if (write(pipeFds[1], &rows, sizeof rows) != sizeof rows) _exit(1);
        _exit(0);
    }
    close(pipeFds[1]);
    Phase phase;
    if (read(pipeFds[0], &phase.rows, sizeof phase.rows) != sizeof phase.rows) phase.rows = -1;
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    phase.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    phase.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    phase.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return phase;
}

void report(const char* what, const Phase& p) {
    std::printf("%-8s %9ld rows  %7.2f s (cpu %6.2f s)  %9.0f rows/s  peak %6.1f MB\n", what,
                p.rows, p.seconds, p.cpuSeconds,
                p.seconds > 0 ? static_cast<double>(p.rows) / p.seconds : 0.0, p.peakMB);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string snapshot =
        argc > 2 ? argv[2]
                 : (std::filesystem::temp_directory_path() /
                    ("ferrovane_conversion_bench_" + std::to_string(n) + ".sqlite"))
                       .string();
    if (!std::filesystem::exists(snapshot)) {
        std::fprintf(stderr, "making %s...\n", snapshot.c_str());
        if (!makeSnapshot(snapshot, n)) return 1;
    }
    QTemporaryDir dir;
    const bool named = argc > 3 && std::string(argv[3]) != "-";
    const std::string file =
        named ? argv[3] : dir.filePath(QStringLiteral("bench.mdb")).toStdString();
    if (named) std::filesystem::remove(file);
    const std::string phase = argc > 4 ? argv[4] : "both";
    if (phase == "read") {
        const long rows = readAlone(snapshot);
        std::printf("read     %ld rows\n", rows);
        return rows == n ? 0 : 1;
    }
    if (phase == "convert") {
        const long rows = convert(snapshot, file);
        std::printf("convert  %ld rows\n", rows);
        return rows == n ? 0 : 1;
    }

    const Phase read = inChild([&] { return readAlone(snapshot); });
    const Phase conversion = inChild([&] { return convert(snapshot, file); });
    report("read", read);
    report("convert", conversion);
    std::printf("ratio    %.2f (conversion time / reading time)\n",
                read.seconds > 0 ? conversion.seconds / read.seconds : 0.0);
    std::printf("file     %.1f MB\n", static_cast<double>(std::filesystem::file_size(file)) / 1e6);
    return read.rows == n && conversion.rows == n ? 0 : 1;
}
