// Writer and readers of one file in separate processes, for the locking
// tests and for longer race runs by hand:
//   jet_race create FILE                          a new database with table T
//   jet_race writer FILE MILLIS BATCH [DIRTY]     commits BATCH-row transactions,
//                                                 every other one in the background
//                                                 (every fourth rolled back; DIRTY
//                                                 pages held before spilling)
//   jet_race reader FILE MILLIS BATCH             opens, counts and verifies in a loop
// Each prints one line of counts; a reader exits 1 when it saw a state no
// commit left (a row count not a multiple of BATCH, a damaged page, an
// index problem).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "jet/database.h"
#include "jet/database/database_impl.h"

namespace {

using Clock = std::chrono::steady_clock;

jet::Row makeRow(long id, long batch) {
    // Names out of key order, so index inserts land all over the tree.
    const unsigned long scrambled = static_cast<unsigned long>(id) * 2654435761UL % 1000003UL;
    return jet::Row{std::int64_t{id}, std::int64_t{batch}, "name " + std::to_string(scrambled)};
}

int create(const std::string& file) {
    auto db = jet::Database::create(file, jet::Version::Jet4);
    db->createTable("T", {{"ID", jet::ColumnType::Long},
                          {"BATCH", jet::ColumnType::Long},
                          {"NAME", jet::ColumnType::Text, 40}});
    db->createIndex("T", {"UX_ID", {{"ID", true}}, true});
    db->createIndex("T", {"IX_NAME", {{"NAME", true}}});
    return 0;
}

long countRows(jet::Database& db) {
    long rows = 0;
    for (auto cursor = db.scan("T"); cursor.next();) ++rows;
    return rows;
}

int writer(const std::string& file, long millis, long batch, long dirty) {
    auto db = jet::Database::open(file, jet::OpenMode::ReadWrite);
    if (dirty > 0) db->impl().pager->setDirtyLimit(static_cast<std::size_t>(dirty));
    long next = countRows(*db);
    long commits = 0, rollbacks = 0, busy = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(millis);
    // A commit refused for readers that would not finish (Busy) takes the
    // batches queued behind it along; the rows are counted again.
    auto refused = [&](const jet::Error& e) {
        if (e.kind() != jet::Error::Kind::Busy) throw e;
        ++busy;
        if (db->inTransaction()) db->rollback();
        next = countRows(*db);
    };
    for (long round = 0; Clock::now() < end; ++round) {
        try {
            db->begin();
            auto inserter = db->inserter("T");
            for (long i = 0; i < batch; ++i) inserter.insert(makeRow(next + i, round));
            if (round % 4 == 3) {
                db->rollback();
                ++rollbacks;
                continue;
            }
            // Every other batch in the background, so that some queue up.
            if (round % 2 == 0)
                db->commitInBackground();
            else
                db->commit();
            next += batch;
            ++commits;
        } catch (const jet::Error& e) {
            refused(e);
        }
    }
    try {
        db->begin();
        db->commit();  // waits for the queue
    } catch (const jet::Error& e) {
        refused(e);
    }
    std::printf("commits=%ld rollbacks=%ld busy=%ld rows=%ld\n", commits, rollbacks, busy, next);
    return 0;
}

int reader(const std::string& file, long millis, long batch) {
    long reads = 0, verifies = 0, busy = 0, bad = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(millis);
    while (Clock::now() < end) {
        try {
            auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
            const long rows = countRows(*db);
            ++reads;
            if (rows % batch != 0) {
                std::fprintf(stderr, "saw %ld rows\n", rows);
                ++bad;
            }
            if (reads % 4 == 0) {
                for (const auto& problem : db->verifyIndexes("T")) {
                    std::fprintf(stderr, "%s\n", problem.c_str());
                    ++bad;
                }
                ++verifies;
            }
        } catch (const jet::Error& e) {
            if (e.kind() == jet::Error::Kind::Busy) {
                ++busy;
            } else {
                std::fprintf(stderr, "%s\n", e.what());
                ++bad;
            }
        }
    }
    std::printf("reads=%ld verifies=%ld busy=%ld bad=%ld\n", reads, verifies, busy, bad);
    return bad == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    auto number = [&](int i, long fallback) { return argc > i ? std::atol(argv[i]) : fallback; };
    try {
        if (mode == "create" && argc == 3) return create(argv[2]);
        if (mode == "writer" && argc >= 5)
            return writer(argv[2], number(3, 0), number(4, 1), number(5, 0));
        if (mode == "reader" && argc == 5) return reader(argv[2], number(3, 0), number(4, 1));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "jet_race: %s\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "usage: jet_race create|writer|reader FILE [MILLIS BATCH [DIRTY]]\n");
    return 2;
}
