// Readers and a writer of one file at the same time: readers see a commit
// whole or not at all, a waiting commit holds new readers back, and a new
// file appears complete or not at all.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <thread>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "jet/file/pager.h"
#include "support/errorof.h"
#include "support/tempdir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using jet::Database;
using jet::Error;
using jet::OpenMode;
using namespace std::chrono_literals;

const fs::path kRace = JET_RACE;

// Starts jet_race with its output going to outFile.
pid_t spawn(const std::vector<std::string>& args, const fs::path& outFile) {
    std::vector<std::string> all = {kRace.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int waitFor(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string text(const fs::path& file) {
    const auto bytes = jettest::readFile(file);
    return std::string(bytes.begin(), bytes.end());
}

long countRows(Database& db, const std::string& table) {
    long rows = 0;
    for (auto cursor = db.scan(table); cursor.next();) ++rows;
    return rows;
}

long field(const std::string& line, const std::string& name) {
    const auto at = line.find(name + "=");
    return at == std::string::npos ? -1 : std::atol(line.c_str() + at + name.size() + 1);
}

TEST(Locking, ReadersInOtherProcessesSeeOnlyWholeCommits) {
    jettest::TempDir dir;
    const fs::path file = dir / "race.mdb";
    ASSERT_EQ(waitFor(spawn({"create", file.string()}, dir / "create.out")), 0);

    // A small dirty limit makes every batch spill before its commit.
    const pid_t writer = spawn({"writer", file.string(), "2500", "500", "16"}, dir / "w.out");
    std::vector<pid_t> readers;
    for (int i = 0; i < 2; ++i)
        readers.push_back(spawn({"reader", file.string(), "2500", "500"},
                                dir / ("r" + std::to_string(i) + ".out")));
    EXPECT_EQ(waitFor(writer), 0) << text(dir / "w.out");
    const std::string w = text(dir / "w.out");
    EXPECT_GT(field(w, "commits"), 0) << w;
    for (std::size_t i = 0; i < readers.size(); ++i) {
        const fs::path out = dir / ("r" + std::to_string(i) + ".out");
        EXPECT_EQ(waitFor(readers[i]), 0) << text(out);
        EXPECT_GT(field(text(out), "reads"), 0) << text(out);
    }

    auto db = Database::open(file, OpenMode::ReadOnly);
    EXPECT_EQ(countRows(*db, "T"), field(w, "rows"));
    EXPECT_TRUE(db->verifyIndexes("T").empty());
    EXPECT_FALSE(fs::exists(jet::Pager::journalPath(file)));
}

class OneFile : public ::testing::Test {
protected:
    void SetUp() override {
        file = dir / "db.mdb";
        auto db = Database::create(file, jet::Version::Jet4);
        db->createTable("T", {{"ID", jet::ColumnType::Long}, {"NAME", jet::ColumnType::Text, 40}});
        db->createIndex("T", {"IX_NAME", {{"NAME", true}}});
        db->insertRow("T", jet::Row{1, "one"});
    }
    void insert(Database& db, int from, int count) {
        auto inserter = db.inserter("T");
        for (int i = from; i < from + count; ++i)
            inserter.insert(jet::Row{i, "row " + std::to_string(i * 7919 % 10007)});
    }
    jettest::TempDir dir;
    fs::path file;
};

TEST_F(OneFile, AReaderKeepsItsViewAndACommitWaitsForItThenFailsBusy) {
    auto writer = Database::open(file);
    writer->setBusyTimeout(200ms);
    auto reader = Database::open(file, OpenMode::ReadOnly);
    {
        auto cursor = reader->scan("T");  // holds the file until its last row
        writer->begin();
        insert(*writer, 2, 10);
        const Error e = jettest::errorOf([&] { writer->commit(); }, "committed under a reader");
        EXPECT_EQ(e.kind(), Error::Kind::Busy);
        EXPECT_NE(std::string(e.what()).find("reading"), std::string::npos) << e.what();
        long rows = 0;
        while (cursor.next()) ++rows;
        EXPECT_EQ(rows, 1);
    }
    // The cursor ended: the writer goes ahead, and the reader's next call
    // sees the commit, not its cached pages.
    writer->insertRow("T", jet::Row{100, "x"});
    EXPECT_EQ(countRows(*reader, "T"), 2);
    {
        const auto snapshot = reader->snapshot();
        EXPECT_EQ(countRows(*reader, "T"), 2);
        EXPECT_THROW(writer->insertRow("T", jet::Row{101, "y"}), Error);
        EXPECT_EQ(countRows(*reader, "T"), 2);
    }
    writer->insertRow("T", jet::Row{101, "y"});
    EXPECT_EQ(countRows(*reader, "T"), 3);
}

TEST_F(OneFile, PagesSpilledBeforeTheCommitStayInvisibleToReaders) {
    auto writer = Database::open(file);
    writer->impl().pager->setDirtyLimit(8);
    writer->begin();
    for (int i = 0; i < 40; ++i) insert(*writer, 1000 + 200 * i, 200);  // spills between
    EXPECT_LE(writer->impl().pager->dirtyPageCount(), 40u);
    ASSERT_TRUE(fs::exists(jet::Pager::journalPath(file)));

    // A live writer's journal is no crash to recover: readers read past it.
    auto reader = Database::open(file, OpenMode::ReadOnly);
    EXPECT_EQ(countRows(*reader, "T"), 1);
    EXPECT_TRUE(reader->verifyIndexes("T").empty());
    writer->commit();
    EXPECT_EQ(countRows(*reader, "T"), 8001);
    EXPECT_TRUE(reader->verifyIndexes("T").empty());

    const auto committed = jettest::readFile(file);
    writer->begin();
    for (int i = 0; i < 20; ++i) insert(*writer, 20000 + 200 * i, 200);
    EXPECT_EQ(countRows(*Database::open(file, OpenMode::ReadOnly), "T"), 8001);
    writer->rollback();
    EXPECT_EQ(jettest::readFile(file), committed);
    EXPECT_FALSE(fs::exists(jet::Pager::journalPath(file)));
}

// The pending lock: once a commit waits for the readers of the moment, a
// new read waits for the commit instead of keeping it out for ever.
TEST_F(OneFile, AWaitingCommitHoldsNewReadersBack) {
    auto writer = Database::open(file);
    writer->setBusyTimeout(5s);
    auto early = Database::open(file, OpenMode::ReadOnly);
    auto late = jet::Pager::open(file, false);
    late->setBusyTimeout(100ms);

    auto snapshot = early->snapshot();
    std::thread commit([&] { writer->insertRow("T", jet::Row{2, "two"}); });
    // Wait until the writer holds pending (new reads fail), then let it in.
    bool held = false;
    for (int i = 0; i < 100 && !held; ++i) {
        try {
            late->beginRead();
            late->endRead();
            std::this_thread::sleep_for(10ms);
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), Error::Kind::Busy);
            held = true;
        }
    }
    EXPECT_TRUE(held) << "a new reader got in while a commit waited";
    snapshot.release();
    commit.join();
    EXPECT_EQ(countRows(*early, "T"), 2);
    EXPECT_NO_THROW(late->beginRead());
    late->endRead();
}

// Killing a process that creates a database, at any moment, leaves either
// no file or the whole database, and nothing else in the folder.
TEST(NewFile, AKilledCreateLeavesNoFileOrAWholeDatabase) {
    std::mt19937 random(20261209);
    int absent = 0, whole = 0;
    for (int round = 0; round < 12; ++round) {
        jettest::TempDir dir;
        const fs::path file = dir / "new.mdb";
        const pid_t pid = spawn({"create", file.string()}, "/dev/null");
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 250000));
        ::kill(pid, SIGKILL);
        waitFor(pid);
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path() != jet::Pager::journalPath(file))  // a later commit's
                names.push_back(e.path().filename().string());
        if (names.empty()) {
            ++absent;
            continue;
        }
        ASSERT_EQ(names, std::vector<std::string>{"new.mdb"});
        // The table may not be made yet; the database opens either way.
        EXPECT_NO_THROW(Database::open(file, OpenMode::ReadOnly)->tableNames()) << round;
        EXPECT_FALSE(fs::exists(jet::Pager::journalPath(file)));
        ++whole;
    }
    RecordProperty("absent", absent);
    RecordProperty("whole", whole);
}

TEST(NewFile, CreateRefusesAnExistingFileAndLeavesNothingBehindOnFailure) {
    jettest::TempDir dir;
    const fs::path file = dir / "x.mdb";
    jettest::writeFile(file, {1, 2, 3});
    const std::string exists =
        jettest::errorOf([&] { Database::create(file, jet::Version::Jet3); }, "replaced a file")
            .what();
    EXPECT_NE(exists.find("already exists"), std::string::npos) << exists;
    EXPECT_EQ(jettest::readFile(file), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_THROW(Database::create(dir / "no folder" / "x.mdb", jet::Version::Jet4), Error);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1u);
}

}  // namespace
