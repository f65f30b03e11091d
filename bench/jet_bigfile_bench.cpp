// Big files. Two runs, each on a new file:
//
//   jet_bigfile_bench overwrite [ROWS] [CYCLES] [jet4|jet3] [FILE]
//     What "Overwrite" does on every run: drops the table BENCH (when there)
//     and fills it again with ROWS rows (default 1,000,000, committed as the
//     conversion commits), CYCLES times
//     (default 10). Prints the file size after each cycle: freed pages are
//     used again, so the size stays near the first cycle's.
//
//   jet_bigfile_bench wall [jet4|jet3] [FILE]
//     Appends rows of a page or half a page until the file is full (2 GB in
//     Jet 4, 1 GB in Jet 3), committing every 5,000 rows in the background
//     and the last one plainly, as the conversion does. The refused row's
//     error is printed; the rows posted before it are committed, as the
//     conversion's row copy does. Then the file is opened again and its rows
//     counted. A second round drops the table and fills the full file again
//     from the freed pages. Takes a few minutes and the space on disk.
//
// BENCH has the columns and indexes of jet_index_bench. Check the files
// afterwards with mdbinspect verify, MdbCheck and mdb-export.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_table.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/file/format.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double megabytes(const std::filesystem::path& file) {
    return static_cast<double>(std::filesystem::file_size(file)) / 1e6;
}

const char* const kWords[] = {"alder", "birch", "cedar", "elm",  "fir",    "hazel",
                              "larch", "maple", "oak",   "pine", "spruce", "yew"};

// Row i; note holds padding extra characters.
void makeRow(long i, jet::Row& row, const std::string& padding) {
    const char* word = kWords[i % 12];
    row[0] = std::int64_t{i};
    row[1] = static_cast<double>(i % 100000) * 1.25;
    row[2] = std::string(word) + " " + std::to_string(i);
    row[3] = jet::DateTime{43831.0 + static_cast<double>(i) / 24.0};
    row[4] = "Row " + std::to_string(i) + ": " + word + ", checked and shelved." + padding;
    row[5] = std::to_string(i % 1000);
    row[6] = std::int64_t{i % 500};
    row[7] = 1.0 / static_cast<double>(1 + i % 97);
}

int overwrite(long rows, int cycles, jet::Version version, const std::filesystem::path& file) {
    std::printf("cycle  rows       seconds  file MB\n");
    auto db = jet::Database::create(file, version);
    jet::Row row(8);
    double first = 0;
    for (int c = 1; c <= cycles; ++c) {
        const auto start = Clock::now();
        if (db->hasTable("BENCH")) db->dropTable("BENCH");
        createBenchTable(*db);
        auto inserter = db->inserter("BENCH");
        db->begin();
        for (long i = 1; i <= rows; ++i) {
            makeRow(i, row, {});
            inserter.insert(row);
            if (i % 5000 == 0) {
                db->commitInBackground();
                db->begin();
            }
        }
        db->commit();
        const double size = megabytes(file);
        if (c == 1) first = size;
        std::printf("%5d  %-9ld  %7.1f  %7.1f  (%+.1f%% of cycle 1)\n", c, rows,
                    secondsSince(start), size, first > 0 ? (size / first - 1) * 100 : 0.0);
        std::fflush(stdout);
    }
    return 0;
}

long countRows(const std::filesystem::path& file) {
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    auto cursor = db->scan("BENCH");
    long n = 0;
    while (cursor.next()) ++n;
    return n;
}

// One round of wall(): fills BENCH until a row is refused. Returns whether
// the rows read back are the rows committed.
bool fillToTheWall(jet::Version version, const std::filesystem::path& file, int round) {
    const auto start = Clock::now();
    // Rows of 7/16 of a page in characters: nearly a page where the memo is
    // kept as UTF-16 (Jet 4), nearly half a page in Jet 3.
    const std::string padding(jet::Format::of(version).pageSize * 7 / 16, '.');
    long committed = 0;
    long posted = 0;
    std::string failure;
    {
        auto db = round == 1 ? jet::Database::create(file, version) : jet::Database::open(file);
        if (round > 1) db->dropTable("BENCH");
        createBenchTable(*db);
        auto inserter = db->inserter("BENCH");
        jet::Row row(8);
        db->begin();
        try {
            for (long i = 1;; ++i) {
                makeRow(i, row, padding);
                inserter.insert(row);
                posted = i;
                if (i % 5000 == 0) {
                    db->commitInBackground();
                    committed = i;
                    db->begin();
                }
            }
        } catch (const jet::Error& e) {
            failure = e.what();
        }
        // What was posted stays, as the row copy keeps it.
        try {
            db->commit();
            committed = posted;
        } catch (const jet::Error& e) {
            std::printf("commit after the error failed: %s\n", e.what());
        }
    }
    const double seconds = secondsSince(start);
    const long counted = countRows(file);
    std::printf("round           %d%s\n", round, round > 1 ? " (drop, then fill again)" : "");
    std::printf("error           %s\n", failure.c_str());
    std::printf("rows posted     %ld\n", posted);
    std::printf("rows committed  %ld\n", committed);
    std::printf("rows read back  %ld\n", counted);
    std::printf("file size       %ju bytes (%s)\n",
                static_cast<std::uintmax_t>(std::filesystem::file_size(file)), file.c_str());
    std::printf("seconds         %.1f\n\n", seconds);
    std::fflush(stdout);
    return counted == committed && !failure.empty();
}

int wall(jet::Version version, const std::filesystem::path& file) {
    const bool first = fillToTheWall(version, file, 1);
    const bool second = fillToTheWall(version, file, 2);
    return first && second ? 0 : 1;
}

jet::Version versionOf(const std::string& text) {
    return (text == "jet3" ? jet::Format::jet3() : jet::Format::jet4()).version;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "overwrite") {
            const long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
            const int cycles = argc > 3 ? std::atoi(argv[3]) : 10;
            const jet::Version version = versionOf(argc > 4 ? argv[4] : "jet4");
            const std::filesystem::path file =
                argc > 5 ? std::filesystem::path(argv[5])
                         : std::filesystem::temp_directory_path() / "jet_bigfile_overwrite.mdb";
            std::filesystem::remove(file);
            if (rows > 0 && cycles > 0) return overwrite(rows, cycles, version, file);
        } else if (mode == "wall") {
            const jet::Version version = versionOf(argc > 2 ? argv[2] : "jet4");
            const std::filesystem::path file =
                argc > 3 ? std::filesystem::path(argv[3])
                         : std::filesystem::temp_directory_path() / "jet_bigfile_wall.mdb";
            std::filesystem::remove(file);
            return wall(version, file);
        }
    } catch (const jet::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: jet_bigfile_bench overwrite [ROWS] [CYCLES] [jet4|jet3] [FILE]\n"
                 "       jet_bigfile_bench wall [jet4|jet3] [FILE]\n");
    return 2;
}
