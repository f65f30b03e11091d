// The pager: cache, transactions, the rollback journal and the writer's lock.

#include "jet/file/pager.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

#include "support/errorof.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using jet::Error;
using jet::IoStep;
using jet::Pager;
using jettest::errorOf;

constexpr std::uint32_t kPage = 4096;

std::vector<std::uint8_t> patternFile(std::uint32_t pages, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(std::size_t{pages} * kPage);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i / kPage * 7 + i % 251);
    return bytes;
}

std::unique_ptr<Pager> openPager(const fs::path& file, bool writable) {
    auto p = Pager::open(file, writable);
    p->setPageSize(kPage);
    return p;
}

// The change every commit test makes: two pages rewritten, one page appended.
void makeChange(Pager& p) {
    std::memset(p.modify(1), 0xAB, kPage);
    std::memset(p.modify(3), 0xCD, 100);
    std::memset(p.modify(p.append()), 0xEF, kPage);
}

class PagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = dir / "db.mdb";
        before = patternFile(5, 1);
        jettest::writeFile(file, before);
        auto p = openPager(file, true);
        makeChange(*p);
        p->commit();
        after = jettest::readFile(file);
        jettest::writeFile(file, before);
    }
    // The write steps of a whole commit of makeChange; the file ends as after.
    int commitSteps() {
        int steps = 0;
        auto p = openPager(file, true);
        p->setWriteHook([&](const IoStep&) { return ++steps, true; });
        makeChange(*p);
        p->commit();
        return steps;
    }
    // From before, a commit of makeChange that dies before write step
    // `dieAt`, leaving what a crash there leaves.
    void crashCommit(int dieAt) {
        jettest::writeFile(file, before);
        auto p = openPager(file, true);
        int n = 0;
        p->setWriteHook([&](const IoStep&) { return ++n < dieAt; });
        makeChange(*p);
        EXPECT_THROW(p->commit(), Error);
    }

    jettest::TempDir dir;
    fs::path file;
    std::vector<std::uint8_t> before, after;
};

TEST_F(PagerTest, ChangesStayInMemoryUntilCommitAndRollbackDiscardsThem) {
    auto p = openPager(file, true);
    makeChange(*p);
    EXPECT_EQ(p->pageCount(), 6u);
    EXPECT_EQ((*p->page(1))[0], 0xAB);  // readers see the transaction's pages
    EXPECT_EQ(jettest::readFile(file), before);
    p->rollback();
    EXPECT_EQ(p->pageCount(), 5u);
    EXPECT_EQ((*p->page(1))[0], before[kPage]);
    EXPECT_EQ(jettest::readFile(file), before);

    makeChange(*p);
    p->commit();
    EXPECT_EQ(jettest::readFile(file), after);
    EXPECT_EQ(after.size(), 6u * kPage);
    p.reset();
    EXPECT_FALSE(fs::exists(Pager::journalPath(file)));
}

// The journal stays between commits with its header zeroed: were a crash to
// leave it so, the next open keeps the last commit and deletes it.
TEST_F(PagerTest, TheJournalKeptBetweenCommitsHoldsNothingToPlayBack) {
    auto p = openPager(file, true);
    makeChange(*p);
    p->commit();
    std::memset(p->modify(2), 0x5A, kPage);
    p->commit();
    const auto committed = jettest::readFile(file);
    const auto journal = jettest::readFile(Pager::journalPath(file));
    ASSERT_GE(journal.size(), 36u);
    EXPECT_TRUE(std::all_of(journal.begin(), journal.begin() + 36, [](auto b) { return b == 0; }));

    // What a killed writer leaves: the file as committed and the void journal.
    const fs::path copy = dir / "copy.mdb";
    jettest::writeFile(copy, committed);
    jettest::writeFile(Pager::journalPath(copy), journal);
    openPager(copy, false);
    EXPECT_EQ(jettest::readFile(copy), committed);
    EXPECT_FALSE(fs::exists(Pager::journalPath(copy)));
}

TEST_F(PagerTest, ACrashAtAnyWriteOfACommitLeavesTheFileBeforeOrAfter) {
    // Count the steps of a clean commit.
    int steps = 0;
    {
        auto p = openPager(file, true);
        p->setWriteHook([&](const IoStep&) { return ++steps, true; });
        makeChange(*p);
        p->commit();
        ASSERT_EQ(jettest::readFile(file), after);
    }
    ASSERT_GT(steps, 5);
    int sawBefore = 0, sawAfter = 0;
    for (int failAt = 1; failAt <= steps; ++failAt) {
        SCOPED_TRACE("failing from step " + std::to_string(failAt));
        jettest::writeFile(file, before);
        {
            auto p = openPager(file, true);
            int n = 0;
            // From failAt on the "disk" refuses everything, as after a crash.
            p->setWriteHook([&](const IoStep&) { return ++n < failAt; });
            makeChange(*p);
            EXPECT_THROW(p->commit(), Error);
        }
        // The next open recovers.
        auto reopened = openPager(file, false);
        EXPECT_FALSE(fs::exists(Pager::journalPath(file)));
        const auto now = jettest::readFile(file);
        if (now == before)
            ++sawBefore;
        else if (now == after)
            ++sawAfter;
        else
            ADD_FAILURE() << "the file is neither as before nor as after the commit";
    }
    EXPECT_GT(sawBefore, 0);
}

TEST_F(PagerTest, AWriteThatFailsOnceIsUndoneAtOnceAndThePagerStaysUsable) {
    int steps = 0;
    {
        auto p = openPager(file, true);
        p->setWriteHook([&](const IoStep&) { return ++steps, true; });
        makeChange(*p);
        p->commit();
    }
    for (int failAt = 1; failAt <= steps; ++failAt) {
        SCOPED_TRACE("failing step " + std::to_string(failAt));
        jettest::writeFile(file, before);
        auto p = openPager(file, true);
        int n = 0;
        p->setWriteHook([&](const IoStep&) { return ++n != failAt; });
        makeChange(*p);
        const Error e = errorOf([&] { p->commit(); }, "commit did not report the failure");
        EXPECT_EQ(e.kind(), Error::Kind::Io);
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos);
        EXPECT_EQ(jettest::readFile(file), before);
        EXPECT_FALSE(fs::exists(Pager::journalPath(file)));
        p->setWriteHook({});
        makeChange(*p);
        p->commit();
        EXPECT_EQ(jettest::readFile(file), after);
    }
}

// A transaction bigger than the dirty-page limit: pages rewritten several
// times and appended, with safe points between the changes.
void bigChange(Pager& p) {
    for (int i = 0; i < 12; ++i) {
        std::memset(p.modify(static_cast<std::uint32_t>(i % 5)), 0x10 + i, kPage / 2);
        std::memset(p.modify(p.append()), 0x40 + i, kPage);
        p.spillIfNeeded();
    }
}

TEST_F(PagerTest, BigTransactionsSpillWithoutTouchingCommittedPagesAndStillCommitOrRollBack) {
    std::vector<std::uint8_t> big;
    {
        auto p = openPager(file, true);
        p->setDirtyLimit(4);
        p->setCacheLimit(16);
        bigChange(*p);
        EXPECT_LE(p->dirtyPageCount(), 6u);
        // Appended pages went past the end; the committed ones, which
        // readers see, are as they were.
        const auto now = jettest::readFile(file);
        EXPECT_GT(now.size(), before.size());
        EXPECT_TRUE(std::equal(before.begin(), before.end(), now.begin()));
        EXPECT_EQ((*p->page(0))[0], 0x10 + 10);  // the writer reads its changes back
        auto reader = openPager(file, false);
        EXPECT_EQ(reader->pageCount(), 5u);  // bounded by the live journal
        p->commit();
        big = jettest::readFile(file);
        EXPECT_EQ(big.size(), 17u * kPage);
    }
    for (bool destroy : {false, true}) {
        jettest::writeFile(file, before);
        auto p = openPager(file, true);
        p->setDirtyLimit(4);
        bigChange(*p);
        if (destroy) {
            p.reset();  // closing discards the transaction
        } else {
            p->rollback();
            EXPECT_EQ(p->pageCount(), 5u);
            EXPECT_EQ((*p->page(0))[0], before[0]);
        }
        EXPECT_EQ(jettest::readFile(file), before);
        EXPECT_FALSE(fs::exists(Pager::journalPath(file)));
    }

    // A crash at any write, spills included, leaves the file before or after.
    int steps = 0;
    {
        jettest::writeFile(file, before);
        auto p = openPager(file, true);
        p->setDirtyLimit(4);
        p->setWriteHook([&](const IoStep&) { return ++steps, true; });
        bigChange(*p);
        p->commit();
        ASSERT_EQ(jettest::readFile(file), big);
    }
    for (int failAt = 1; failAt <= steps; ++failAt) {
        SCOPED_TRACE("failing from step " + std::to_string(failAt));
        jettest::writeFile(file, before);
        {
            auto p = openPager(file, true);
            p->setDirtyLimit(4);
            int n = 0;
            p->setWriteHook([&](const IoStep&) { return ++n < failAt; });
            EXPECT_THROW(
                {
                    bigChange(*p);
                    p->commit();
                },
                Error);
        }
        openPager(file, false);
        const auto now = jettest::readFile(file);
        EXPECT_TRUE(now == before || now == big) << "neither before nor after";
        EXPECT_FALSE(fs::exists(Pager::journalPath(file)));
    }
}

// A commit in the background, held at its first write: its pages read back
// as committed though the cache cannot hold them, the file is untouched, and
// the next transaction builds on them. A later background commit that fails
// surfaces at the next commit, undone together with what came after it.
TEST_F(PagerTest, BackgroundCommitsServeTheirPagesMeanwhileAndReportAFailureNext) {
    std::atomic<bool> entered = false;
    std::atomic<bool> held = true;
    std::atomic<int> fileSyncs = 0;
    auto p = openPager(file, true);
    p->setCacheLimit(16);
    p->setWriteHook([&](const IoStep& s) {
        entered = true;
        while (held) std::this_thread::yield();
        return s.kind != IoStep::Kind::FileSync || ++fileSyncs != 2;
    });
    // Let the commit go even when a check throws, so the pager can close.
    const std::shared_ptr<void> release(nullptr, [&](void*) { held = false; });
    makeChange(*p);
    for (int i = 0; i < 40; ++i) std::memset(p->modify(p->append()), i, kPage);
    auto expectFirst = [&](Pager& q) {
        ASSERT_EQ(q.pageCount(), 46u);
        EXPECT_EQ((*q.page(1))[0], 0xAB);
        EXPECT_EQ((*q.page(3))[99], 0xCD);
        EXPECT_EQ((*q.page(5))[0], 0xEF);
        for (std::uint32_t n = 6; n < 46; ++n) EXPECT_EQ((*q.page(n))[kPage - 1], n - 6);
    };
    p->commitInBackground();
    while (!entered) std::this_thread::yield();  // taken alone, not with the next
    expectFirst(*p);
    EXPECT_EQ(jettest::readFile(file), before);
    std::memset(p->modify(2), 0x5A, kPage);
    EXPECT_EQ((*p->page(2))[0], 0x5A);
    held = false;
    p->commitInBackground();  // the first one ends well; this one fails
    std::memset(p->modify(4), 0x77, kPage);
    const Error e = errorOf([&] { p->commit(); }, "the failed commit went unreported");
    EXPECT_EQ(e.kind(), Error::Kind::Io);
    expectFirst(*p);
    EXPECT_EQ((*p->page(2))[0], before[2 * kPage]);
    EXPECT_EQ((*p->page(4))[0], before[4 * kPage]);
    EXPECT_FALSE(fs::exists(Pager::journalPath(file)));

    std::memset(p->modify(2), 0x5A, kPage);
    p->commit();
    p.reset();
    auto reopened = openPager(file, false);
    expectFirst(*reopened);
    EXPECT_EQ((*reopened->page(2))[0], 0x5A);
}

// A commit being written counts against the dirty-page limit: past it, the
// spill point waits for that commit instead of holding both.
TEST_F(PagerTest, ASpillPointPastTheLimitWaitsForTheBackgroundCommit) {
    std::atomic<bool> held = true;
    auto p = openPager(file, true);
    p->setDirtyLimit(4);
    p->setWriteHook([&](const IoStep&) {
        while (held) std::this_thread::yield();
        return true;
    });
    const std::shared_ptr<void> release(nullptr, [&](void*) { held = false; });
    makeChange(*p);
    p->commitInBackground();
    std::memset(p->modify(2), 0x5A, kPage);
    std::memset(p->modify(4), 0x5B, kPage);
    auto spill = std::async(std::launch::async, [&] { p->spillIfNeeded(); });
    EXPECT_EQ(spill.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    held = false;
    spill.get();
    EXPECT_EQ(jettest::readFile(file), after);
    EXPECT_EQ(p->dirtyPageCount(), 2u);
    p->commit();
}

// Commits queued behind one being written go out together, with one file
// sync. Each page's journaled original is from before the first of them, so
// a failure takes the file back to the commit before them, not to a page
// state in between.
TEST_F(PagerTest, QueuedBackgroundCommitsAreWrittenTogether) {
    for (const bool fail : {false, true}) {
        SCOPED_TRACE(fail ? "failing" : "succeeding");
        jettest::writeFile(file, before);
        std::atomic<bool> entered = false;
        std::atomic<bool> held = true;
        std::atomic<int> fileSyncs = 0;
        auto p = openPager(file, true);
        p->setWriteHook([&](const IoStep& s) {
            entered = true;
            while (held) std::this_thread::yield();
            return s.kind != IoStep::Kind::FileSync || ++fileSyncs != 2 || !fail;
        });
        const std::shared_ptr<void> release(nullptr, [&](void*) { held = false; });
        makeChange(*p);
        p->commitInBackground();
        while (!entered) std::this_thread::yield();  // the writer has taken it alone
        std::memset(p->modify(1), 0x11, kPage);
        std::memset(p->modify(4), 0x44, kPage);
        std::memset(p->modify(p->append()), 0x66, kPage);
        p->commitInBackground();
        std::memset(p->modify(1), 0x22, kPage);
        std::memset(p->modify(6), 0x67, kPage);
        std::memset(p->modify(2), 0x33, kPage);
        p->commitInBackground();
        held = false;
        auto expected = after;
        if (fail) {
            EXPECT_EQ(errorOf([&] { p->commit(); }, "the failure went unreported").kind(),
                      Error::Kind::Io);
            EXPECT_EQ((*p->page(1))[0], 0xAB);
        } else {
            p->commit();
            EXPECT_EQ(fileSyncs, 2);
            expected.resize(7 * kPage);
            for (const auto& [page, fill] :
                 {std::pair{1, 0x22}, {2, 0x33}, {4, 0x44}, {6, 0x67}})
                std::memset(expected.data() + page * kPage, fill, kPage);
        }
        p.reset();
        EXPECT_EQ(jettest::readFile(file), expected);
        EXPECT_FALSE(fs::exists(Pager::journalPath(file)));
    }
}

TEST_F(PagerTest, AReaderWithoutWriteAccessReadsThroughALeftoverJournal) {
    crashCommit(commitSteps());  // dies just before removing the journal: every page is written
    const auto crashed = jettest::readFile(file);
    ASSERT_EQ(crashed, after);
    ASSERT_TRUE(fs::exists(Pager::journalPath(file)));
    fs::permissions(file, fs::perms::owner_read);
    {
        auto p = openPager(file, false);
        ASSERT_EQ(p->pageCount(), 5u);
        for (std::uint32_t n = 0; n < 5; ++n)
            EXPECT_EQ(
                0, std::memcmp(p->page(n)->data(), before.data() + std::size_t{n} * kPage, kPage))
                << "page " << n;
        EXPECT_THROW(Pager::open(file, true), Error);
    }
    EXPECT_EQ(jettest::readFile(file), crashed);  // nothing was touched
    EXPECT_TRUE(fs::exists(Pager::journalPath(file)));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    openPager(file, false);  // now it can recover
    EXPECT_EQ(jettest::readFile(file), before);
    EXPECT_FALSE(fs::exists(Pager::journalPath(file)));
}

// Several programs finding the same hot journal at once: one plays it
// back, the others give way and then read the file as it was before.
TEST_F(PagerTest, ReadersAndAWriterMeetingAHotJournalAllEndUpBeforeTheCrash) {
    const int steps = commitSteps();
    for (int round = 0; round < 5; ++round) {
        crashCommit(steps - 1);  // dies mid-commit
        ASSERT_TRUE(fs::exists(Pager::journalPath(file)));
        std::vector<std::thread> openers;
        std::vector<std::string> failures(4);
        for (int i = 0; i < 4; ++i)
            openers.emplace_back([&, i] {
                try {
                    auto p = openPager(file, i == 0);
                    for (std::uint32_t page = 0; page < 5; ++page)
                        if (std::memcmp(p->page(page)->data(), before.data() + page * kPage,
                                        kPage) != 0)
                            failures[i] = "page " + std::to_string(page) + " is not as before";
                } catch (const std::exception& e) {
                    failures[i] = e.what();
                }
            });
        for (auto& t : openers) t.join();
        for (const auto& f : failures) EXPECT_EQ(f, "");
        EXPECT_EQ(jettest::readFile(file), before);
        EXPECT_FALSE(fs::exists(Pager::journalPath(file)));
    }
}

// Writers of earlier builds held only flock(): while one does, its journal
// is no crash to roll back, and readers read the file as the journal has it.
TEST_F(PagerTest, AJournalBesideAnEarlierBuildsLiveWriterIsLeftAlone) {
    crashCommit(commitSteps());
    const int old = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(old, LOCK_EX | LOCK_NB), 0);
    {
        auto reader = openPager(file, false);
        EXPECT_EQ(reader->pageCount(), 5u);
        EXPECT_EQ(0, std::memcmp(reader->page(1)->data(), before.data() + kPage, kPage));
        EXPECT_TRUE(fs::exists(Pager::journalPath(file)));
        EXPECT_EQ(jettest::readFile(file), after);
        EXPECT_EQ(errorOf([&] { Pager::open(file, true); }, "a second writer got in").kind(),
                  Error::Kind::Busy);
    }
    ::close(old);
    openPager(file, false);
    EXPECT_EQ(jettest::readFile(file), before);
    EXPECT_FALSE(fs::exists(Pager::journalPath(file)));
}

TEST_F(PagerTest, ADamagedOrIncompleteJournalIsDiscardedWithoutTouchingTheFile) {
    const auto journal = Pager::journalPath(file);
    jettest::writeFile(journal, {'F', 'V', 'J', 'R', 'N', 'L', '0', '1', 0, 16, 0, 0});
    openPager(file, false);
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_EQ(jettest::readFile(file), before);
}

// The journal of an earlier build summed its records byte by byte (FNV-1a);
// one left behind by a crash must still roll the file back.
TEST_F(PagerTest, AJournalOfAnEarlierBuildStillRollsBack) {
    auto fnv = [](const std::uint8_t* data, std::size_t size, std::uint64_t h) {
        for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ULL;
        return h;
    };
    auto put = [](std::vector<std::uint8_t>& out, std::uint64_t v, int size) {
        for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const std::uint64_t seed = 14695981039346656037ULL;
    const std::uint64_t salt = 0x1234567890ABCDEFULL;
    std::vector<std::uint8_t> journal = {'F', 'V', 'J', 'R', 'N', 'L', '0', '2'};
    put(journal, kPage, 4);
    put(journal, before.size(), 8);
    put(journal, salt, 8);
    put(journal, fnv(journal.data(), journal.size(), seed), 8);
    for (std::uint32_t page : {1u, 3u}) {
        std::vector<std::uint8_t> record;
        put(record, page, 4);
        record.insert(record.end(), before.begin() + page * kPage,
                      before.begin() + (page + 1) * kPage);
        std::uint8_t s[8];
        for (int i = 0; i < 8; ++i) s[i] = static_cast<std::uint8_t>(salt >> (8 * i));
        put(record, fnv(record.data(), record.size(), fnv(s, 8, seed)), 8);
        journal.insert(journal.end(), record.begin(), record.end());
    }
    jettest::writeFile(file, after);
    jettest::writeFile(Pager::journalPath(file), journal);
    openPager(file, false);
    EXPECT_EQ(jettest::readFile(file), before);
    EXPECT_FALSE(fs::exists(Pager::journalPath(file)));
}

TEST_F(PagerTest, OneWriterAtATimeBesideReaders) {
    auto writer = openPager(file, true);
    const Error busy = errorOf([&] { Pager::open(file, true); }, "a second writer got in");
    EXPECT_EQ(busy.kind(), Error::Kind::Busy);
    EXPECT_NE(std::string(busy.what()).find(file.string()), std::string::npos);
    auto reader = openPager(file, false);
    EXPECT_EQ(reader->pageCount(), 5u);
    writer.reset();
    EXPECT_NO_THROW(Pager::open(file, true));
}

TEST_F(PagerTest, ReadOnlyFilesAndFoldersRefuseWritersWithAClearMessage) {
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string readOnlyFile =
        errorOf([&] { Pager::open(file, true); }, "opened a read-only file for writing").what();
    EXPECT_NE(readOnlyFile.find(file.string()), std::string::npos);
    EXPECT_NE(readOnlyFile.find("read-only"), std::string::npos);
    EXPECT_NO_THROW(Pager::open(file, false));
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);

    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const std::string readOnlyFolder =
        errorOf([&] { Pager::open(file, true); }, "opened a file in a read-only folder for writing")
            .what();
    EXPECT_NE(readOnlyFolder.find("folder is read-only"), std::string::npos);
    EXPECT_NO_THROW(Pager::open(file, false));
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(jettest::readFile(file), before);
}

TEST_F(PagerTest, TheCleanPageCacheIsBounded) {
    jettest::writeFile(file, patternFile(300, 3));
    auto p = openPager(file, false);
    p->setCacheLimit(64);
    const auto whole = patternFile(300, 3);
    for (std::uint32_t n = 0; n < 300; ++n)
        ASSERT_EQ(0, std::memcmp(p->page(n)->data(), whole.data() + std::size_t{n} * kPage, kPage));
    EXPECT_LE(p->cachedPageCount(), 64u);
    // Evicted pages read right again.
    for (std::uint32_t n : {0u, 150u, 299u})
        EXPECT_EQ(0, std::memcmp(p->page(n)->data(), whole.data() + std::size_t{n} * kPage, kPage));
    EXPECT_EQ(errorOf([&] { p->page(300); }, "read past the end").kind(), Error::Kind::Corrupt);
}

}  // namespace
