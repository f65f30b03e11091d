// Appends N rows (default 1,000,000) to the table BENCH without its indexes in
// a new Jet 4 file, committing every 5,000 rows, and reports rows per
// second, the file size and the peak resident memory.
//
//   jet_append [N] [FILE]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_table.h"
#include "jet/database.h"
#include "jet/file/format.h"

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::filesystem::path file =
        argc > 2 ? std::filesystem::path(argv[2])
                 : std::filesystem::temp_directory_path() / "jet_append.mdb";
    std::filesystem::remove(file);
    std::filesystem::remove(file.string() + "-journal");

    auto db = jet::Database::create(file, jet::Format::jet4().version);
    createBenchTable(*db, false);
    auto inserter = db->inserter("BENCH");
    jet::Row row(8);
    const auto start = std::chrono::steady_clock::now();
    db->begin();
    for (long i = 0; i < n; ++i) {
        row[0] = std::int64_t{i};
        row[1] = i * 1.25;
        row[2] = "Customer name number " + std::to_string(i);
        row[3] = jet::DateTime{40000.0 + static_cast<double>(i % 10000) + 0.5};
        row[4] =
            "A remark of about sixty characters for row " + std::to_string(i) + ", kept short.";
        row[5] = "C" + std::to_string(i % 100000);
        row[6] = std::int64_t{i % 1000};
        row[7] = 0.01 * static_cast<double>(i % 777);
        inserter.insert(row);
        if ((i + 1) % 5000 == 0) {
            db->commit();
            db->begin();
        }
    }
    db->commit();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    db.reset();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("rows            %ld\n", n);
    std::printf("seconds         %.2f\n", seconds);
    std::printf("rows/second     %.0f\n", seconds > 0 ? static_cast<double>(n) / seconds : 0.0);
    std::printf("file size       %.1f MB (%s)\n",
                static_cast<double>(std::filesystem::file_size(file)) / 1e6, file.c_str());
    std::printf("peak memory     %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
