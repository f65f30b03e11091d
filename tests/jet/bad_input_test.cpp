// Bad input: files that are not Jet databases, cut short, damaged,
// .accdb or encrypted, read-only. Each gives a jet::Error that names the
// file, never a crash, and leaves the file as it was.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "jet/database.h"
#include "jet/file/header.h"
#include "support/errorof.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using jet::Error;

fs::path sample(const char* relative) { return jettest::accessSamplesDir() / relative; }

#define REQUIRE_SAMPLE(path) \
    if (!fs::exists(path)) GTEST_SKIP() << "sample missing: " << (path)

// Opens and reads every table; returns the error message, or "" when the
// whole file read without complaint.
std::string readEverything(const fs::path& file, jet::OpenMode mode = jet::OpenMode::ReadOnly) {
    try {
        auto db = jet::Database::open(file, mode);
        for (const auto& name : db->tableNames(true)) {
            auto cursor = db->scan(name);
            while (cursor.next()) {
            }
        }
        return {};
    } catch (const Error& e) {
        return e.what();
    }
}

Error::Kind openError(const fs::path& file, std::string& message) {
    const Error e = jettest::errorOf([&] { jet::Database::open(file, jet::OpenMode::ReadOnly); },
                                     "opened " + file.string());
    message = e.what();
    return e.kind();
}

TEST(BadInput, FilesThatAreNotJetDatabasesAreRejectedByName) {
    jettest::TempDir dir;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"empty.mdb", {}},
        {"text.mdb", std::vector<std::uint8_t>(5000, 'x')},
        {"short.mdb", {0x00, 0x01, 0x00, 0x00, 'S', 't', 'a', 'n'}},
    };
    std::vector<std::uint8_t> wrongName(4096, 0);
    wrongName[1] = 1;
    std::memcpy(wrongName.data() + 4, "Standard XYZ DB", 15);
    cases.push_back({"wrongname.mdb", wrongName});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir / c.name;
        jettest::writeFile(file, c.bytes);
        std::string message;
        EXPECT_EQ(openError(file, message), Error::Kind::Corrupt);
        EXPECT_NE(message.find(file.string()), std::string::npos) << message;
        EXPECT_EQ(jettest::readFile(file), c.bytes);
    }
    std::string message;
    EXPECT_EQ(openError(dir / "missing.mdb", message), Error::Kind::Io);
    EXPECT_NE(message.find("missing.mdb"), std::string::npos);
    EXPECT_EQ(openError(dir.path(), message), Error::Kind::Io);
}

// An unknown version byte is named as such, with its value, and not taken
// for an .accdb file.
TEST(BadInput, AccdbEncryptedAndUnknownVersionsAreUnsupported) {
    const fs::path source = sample("jet4/adox_jet4.mdb");
    REQUIRE_SAMPLE(source);
    jettest::TempDir dir;
    const auto bytes = jettest::readFile(source);
    const struct {
        const char* name;
        int version;  // the version byte, or -1 to keep it
        bool ace;     // the engine name of Access 2007 and later
        bool keyBitFlipped;
        const char* said;
        const char* notSaid;
    } cases[] = {
        {"new.accdb", 0x02, true, false, "Access 2007 or later", nullptr},
        {"known.accdb", 0x03, true, false, "Access 2007 or later", nullptr},
        {"future.mdb", 7, false, false, "unknown database version (7)", "accdb"},
        {"future42.mdb", 0x2A, false, false, "unknown database version (42)", "accdb"},
        // The database key sits inside the masked region: flip a bit there.
        {"locked.mdb", -1, false, true, "encrypted", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto content = bytes;
        if (c.version >= 0) content.at(0x14) = static_cast<std::uint8_t>(c.version);
        if (c.ace) std::memcpy(&content.at(4), "Standard ACE DB", 15);
        if (c.keyBitFlipped) content.at(0x3E) ^= 0x01;
        const fs::path file = dir / c.name;
        jettest::writeFile(file, content);
        std::string message;
        EXPECT_EQ(openError(file, message), Error::Kind::Unsupported);
        EXPECT_NE(message.find(file.string()), std::string::npos) << message;
        EXPECT_NE(message.find(c.said), std::string::npos) << message;
        if (c.notSaid) {
            EXPECT_EQ(message.find(c.notSaid), std::string::npos) << message;
        }
    }
}

TEST(BadInput, TruncatedFilesFailCleanly) {
    const fs::path source = sample("jet4/Northwind.mdb");
    REQUIRE_SAMPLE(source);
    jettest::TempDir dir;
    const auto bytes = jettest::readFile(source);
    int failures = 0;
    for (std::size_t cut :
         {std::size_t{100}, std::size_t{4096}, std::size_t{3 * 4096}, bytes.size() / 4,
          bytes.size() / 2, bytes.size() - 4096, bytes.size() - 1}) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const fs::path file = dir / "cut.mdb";
        std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        jettest::writeFile(file, part);
        const std::string message = readEverything(file);
        if (!message.empty()) {
            ++failures;
            EXPECT_NE(message.find(file.string()), std::string::npos) << message;
        }
        EXPECT_EQ(jettest::readFile(file), part);
    }
    EXPECT_GE(failures, 5);
}

// Random damage to pages of real files: reading must end in a result or a
// jet::Error naming the file; the sanitizers catch anything worse.
TEST(BadInput, DamagedPagesNeverCrashTheReader) {
    jettest::TempDir dir;
    std::mt19937 random(20261209);
    for (const char* name : {"jet3/test2V1997.mdb", "jet4/testV2000.mdb",
                             "jet3/overflowTestV1997.mdb", "jet4/test2V2000.mdb"}) {
        const fs::path source = sample(name);
        if (!fs::exists(source)) continue;
        const auto bytes = jettest::readFile(source);
        const std::size_t pageSize = bytes[0x14] == 0 ? 2048 : 4096;
        const std::size_t pages = bytes.size() / pageSize;
        for (int round = 0; round < 100; ++round) {
            auto damaged = bytes;
            // Hit one page (never the header, which has its own test) hard.
            const std::size_t page = 1 + random() % (pages - 1);
            const int hits = 1 + static_cast<int>(random() % 40);
            for (int h = 0; h < hits; ++h)
                damaged[page * pageSize + random() % pageSize] =
                    static_cast<std::uint8_t>(random());
            const fs::path file = dir / "damaged.mdb";
            jettest::writeFile(file, damaged);
            const std::string message = readEverything(file);
            if (!message.empty()) {
                ASSERT_NE(message.find(file.string()), std::string::npos)
                    << name << " round " << round << ": " << message;
            }
        }
    }
}

TEST(BadInput, ReadOnlyFileOpensForReadingOnlyAndStaysUnchanged) {
    const fs::path source = sample("jet3/testV1997.mdb");
    REQUIRE_SAMPLE(source);
    jettest::TempDir dir;
    const fs::path file = dir / "ro.mdb";
    jettest::copyWritable(source, file);
    const auto bytes = jettest::readFile(file);
    fs::permissions(file, fs::perms::owner_read);
    const Error e = jettest::errorOf([&] { jet::Database::open(file, jet::OpenMode::ReadWrite); },
                                     "opened a read-only file for writing");
    EXPECT_EQ(e.kind(), Error::Kind::Io);
    EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos);
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    EXPECT_TRUE(db->hasTable("table1"));
    EXPECT_THROW(db->begin(), Error);
    EXPECT_EQ(jettest::readFile(file), bytes);
}

TEST(Transactions, BeginCommitRollbackAtTheDatabaseLevel) {
    const fs::path source = sample("jet4/adox_jet4.mdb");
    REQUIRE_SAMPLE(source);
    jettest::TempDir dir;
    const fs::path file = dir / "t.mdb";
    jettest::copyWritable(source, file);
    const auto bytes = jettest::readFile(file);
    auto db = jet::Database::open(file);
    EXPECT_THROW(db->commit(), Error);
    db->begin();
    EXPECT_TRUE(db->inTransaction());
    EXPECT_THROW(db->begin(), Error);
    db->rollback();
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(jettest::readFile(file), bytes);
    EXPECT_EQ(jettest::errorOf([&] { jet::Database::open(file); }, "second writer").kind(),
              Error::Kind::Busy);
    EXPECT_NO_THROW(jet::Database::open(file, jet::OpenMode::ReadOnly));
}

}  // namespace
