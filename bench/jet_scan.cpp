// Reads every row of every user table of FILE (ROUNDS times, default 1) and
// reports rows per second and the peak resident memory: the reading side's
// counterpart of jet_append.
//
//   jet_scan FILE [ROUNDS]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "jet/database.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: jet_scan FILE [ROUNDS]\n");
        return 1;
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 1;
    try {
        const auto start = std::chrono::steady_clock::now();
        auto db = jet::Database::open(argv[1], jet::OpenMode::ReadOnly);
        std::size_t rows = 0, values = 0;
        for (int r = 0; r < rounds; ++r)
            for (const auto& name : db->tableNames()) {
                auto cursor = db->scan(name);
                while (cursor.next()) {
                    ++rows;
                    for (const auto& v : cursor.row()) values += v.isNull() ? 0 : 1;
                }
            }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%zu rows (%zu values) in %.3f s: %.0f rows/s, peak memory %.1f MB\n", rows,
                    values, seconds, static_cast<double>(rows) / seconds,
                    static_cast<double>(usage.ru_maxrss) / 1024.0);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "jet_scan: %s\n", e.what());
        return 1;
    }
}
