// Loads SQL text files into a new SQLite file: how the build turns the sample
// schema into a snapshot. The file is written beside the target and renamed
// into place, so a failed load never leaves a half-built snapshot behind.
//
//   ferrovane_snapshotload OUTPUT.sqlite INPUT.sql...

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool run(const std::string& output, int count, char** inputs) {
    const std::string temporary = output + ".tmp";
    std::remove(temporary.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(temporary.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", temporary.c_str(), sqlite3_errmsg(db));
        sqlite3_close(db);
        return false;
    }
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (int i = 0; ok && i < count; ++i) {
        std::ifstream in(inputs[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot read\n", inputs[i]);
            ok = false;
            break;
        }
        std::ostringstream text;
        text << in.rdbuf();
        char* error = nullptr;
        if (sqlite3_exec(db, text.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::fprintf(stderr, "%s: %s\n", inputs[i], error ? error : "error");
            sqlite3_free(error);
            ok = false;
        }
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    if (ok && std::rename(temporary.c_str(), output.c_str()) != 0) {
        std::perror(output.c_str());
        ok = false;
    }
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.sqlite INPUT.sql...\n", argv[0]);
        return 2;
    }
    return run(argv[1], argc - 2, argv + 2) ? 0 : 1;
}
