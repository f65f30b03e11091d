// The table BENCH of the Jackcess peer benchmark (shared/tools/mdbbench):
// the same eight columns, the unique index UX_ID on ID and the plain index
// IX_NAME on NAME, the same row generator. Writes N rows (default 1,000,000)
// into a new Jet 4 file (Jet 3 with --jet3) through the engine's API,
// committing every 5,000 rows in the background as the conversion does (the
// last commit waits), and reports rows per second (creating and
// closing the file included), the file size and the peak resident memory.
//
//   jet_index_bench [--jet3] [N] [in-order | shuffled | no-index] [FILE]
//
// Run each mode in its own process: the peak memory is the process's.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench_table.h"
#include "jet/database.h"
#include "jet/file/format.h"

namespace {

const char* const kWords[] = {
    "alder",   "birch", "cedar",    "dogwood",  "elm",    "fir",     "ginkgo", "hazel",  "ironwood",
    "juniper", "kapok", "larch",    "maple",    "nutmeg", "oak",     "pine",   "quince", "rowan",
    "spruce",  "teak",  "umbrella", "viburnum", "willow", "xylosma", "yew",    "zelkova"};
constexpr int kWordCount = 26;

// Writes v (not negative) in decimal, zero-padded to width digits; returns
// the end. The generator formats by hand: snprintf alone cost a tenth of a run.
char* putNumber(char* out, long v, int width) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0);
    while (n < width) digits[n++] = '0';
    while (n > 0) *out++ = digits[--n];
    return out;
}

char* putText(char* out, const char* text) {
    while (*text) *out++ = *text++;
    return out;
}

// Row i (1-based), as the peer benchmark makes it.
void makeRow(long i, jet::Row& row, const jet::DateTime& base) {
    const char* word = kWords[i % kWordCount];
    char note[160];
    // "Row %08ld: %s %s, lot %04ld, checked and shelved."
    char* end = putText(note, "Row ");
    end = putNumber(end, i, 8);
    end = putText(end, ": ");
    end = putText(end, word);
    end = putText(end, " ");
    end = putText(end, kWords[(i * 7) % kWordCount]);
    end = putText(end, ", lot ");
    end = putNumber(end, i % 9973, 4);
    end = putText(end, ", checked and shelved.");
    char name[48];
    char* nameEnd = putText(name, word);
    nameEnd = putText(nameEnd, " ");
    nameEnd = putNumber(nameEnd, i, 0);
    char code[8];
    char* codeEnd = putNumber(code, i % 1000, 0);

    row[0] = std::int64_t{i};
    row[1] = static_cast<double>(i % 100000) * 1.25 + static_cast<double>(i) / 1000.0;
    row[2] = std::string(name, nameEnd);
    row[3] = jet::DateTime{base.days + static_cast<double>(i) / 24.0};
    row[4] = std::string(note, end);
    row[5] = std::string(code, codeEnd);
    row[6] = std::int64_t{i % 500};
    row[7] = 1.0 / static_cast<double>(1 + i % 97);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto jet3 = std::find(args.begin(), args.end(), "--jet3");
    const bool wantJet3 = jet3 != args.end();
    if (wantJet3) args.erase(jet3);
    const jet::Format& format = wantJet3 ? jet::Format::jet3() : jet::Format::jet4();
    const long n = !args.empty() ? std::atol(args[0].c_str()) : 1000000;
    const std::string mode = args.size() > 1 ? args[1] : "in-order";
    if (n < 0 || args.size() > 3 ||
        (mode != "in-order" && mode != "shuffled" && mode != "no-index")) {
        std::fprintf(stderr,
                     "usage: jet_index_bench [--jet3] [N] [in-order|shuffled|no-index] [FILE]\n");
        return 2;
    }
    const std::filesystem::path file =
        args.size() > 2 ? std::filesystem::path(args[2])
                        : std::filesystem::temp_directory_path() /
                              ("jet_index_bench_" + std::string(wantJet3 ? "jet3" : "jet4") + "_" +
                               mode + ".mdb");
    std::filesystem::remove(file);
    std::filesystem::remove(file.string() + "-journal");

    // Only the shuffled run keeps its order, in 4-byte IDs: the peak memory
    // reported is to be the writer's.
    std::vector<std::uint32_t> order;
    if (mode == "shuffled") {
        order.resize(static_cast<std::size_t>(n));
        std::iota(order.begin(), order.end(), 1U);
        std::shuffle(order.begin(), order.end(), std::mt19937_64(20200101));
    }
    const jet::DateTime base = jet::DateTime::fromParts(2020, 1, 1);

    const auto start = std::chrono::steady_clock::now();
    auto db = jet::Database::create(file, format.version);
    createBenchTable(*db, mode != "no-index");
    auto inserter = db->inserter("BENCH");
    jet::Row row(8);
    db->begin();
    for (long k = 0; k < n; ++k) {
        makeRow(order.empty() ? k + 1 : order[static_cast<std::size_t>(k)], row, base);
        inserter.insert(row);
        if ((k + 1) % 5000 == 0) {
            db->commitInBackground();
            db->begin();
        }
    }
    db->commit();
    db.reset();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("format          %s\n", format.name);
    std::printf("mode            %s\n", mode.c_str());
    std::printf("rows            %ld\n", n);
    std::printf("seconds         %.2f (create to close)\n", seconds);
    std::printf("rows/second     %.0f\n", seconds > 0 ? static_cast<double>(n) / seconds : 0.0);
    std::printf("file size       %.1f MB (%s)\n",
                static_cast<double>(std::filesystem::file_size(file)) / 1e6, file.c_str());
    std::printf("peak memory     %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
