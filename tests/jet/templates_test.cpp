// The two committed templates are exactly what the engine makes today, and
// their system tables are defined as in databases Jet and Access made.

#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/format.h"
#include "jet/pager.h"
#include "jet/tdef_reader.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

TEST(Templates, MatchTheEmptyImageByteForByte) {
    const fs::path folder = FERROVANE_SOURCE_DIR "/src/engine/templates";
    const struct {
        const char* name;
        jet::Version version;
    } templates[] = {{"mdb95.mdb", jet::Version::Jet3}, {"mdb2000.mdb", jet::Version::Jet4}};
    for (const auto& t : templates) {
        SCOPED_TRACE(t.name);
        const auto image = jet::Database::emptyImage(t.version);
        EXPECT_EQ(image, jet::Database::emptyImage(t.version));  // deterministic
        EXPECT_EQ(jettest::readFile(folder / t.name), image)
            << "regenerate with: mktemplates src/engine/templates";
        if (!jettest::mdbtoolsAvailable()) continue;
        EXPECT_EQ(jettest::mdbVer(folder / t.name),
                  t.version == jet::Version::Jet3 ? "JET3" : "JET4");
    }
}

// Pages 2-5 of our image against a database Jet wrote (Jet 4) and one Access
// 97 wrote (Jet 3): same columns, flags, sizes and indexes.
TEST(Templates, SystemTablesAreDefinedAsJetDefinesThem) {
    const struct {
        const char* sample;
        jet::Version version;
    } cases[] = {{"jet4/adox_jet4.mdb", jet::Version::Jet4},
                 {"jet3/size97.mdb", jet::Version::Jet3}};
    for (const auto& c : cases) {
        const fs::path sample = jettest::accessSamplesDir() / c.sample;
        if (!fs::exists(sample)) GTEST_SKIP() << "no " << sample;
        SCOPED_TRACE(c.sample);
        jettest::TempDir dir;
        jettest::writeFile(dir / "ours.mdb", jet::Database::emptyImage(c.version));
        const jet::Format& f = jet::Format::of(c.version);
        auto theirs = jet::Pager::open(sample, false);
        auto ours = jet::Pager::open(dir / "ours.mdb", false);
        theirs->setPageSize(f.pageSize);
        ours->setPageSize(f.pageSize);
        for (std::uint32_t page = 2; page <= 5; ++page) {
            const jet::TableDef a = jet::readTableDef(*theirs, f, page, 1252);
            const jet::TableDef b = jet::readTableDef(*ours, f, page, 1252);
            ASSERT_EQ(a.columns.size(), b.columns.size()) << page;
            for (std::size_t i = 0; i < a.columns.size(); ++i) {
                SCOPED_TRACE(a.columns[i].name);
                EXPECT_EQ(a.columns[i].name, b.columns[i].name);
                EXPECT_EQ(a.columns[i].type, b.columns[i].type);
                EXPECT_EQ(a.columns[i].number, b.columns[i].number);
                EXPECT_EQ(a.columns[i].flags, b.columns[i].flags);
                EXPECT_EQ(a.columns[i].length, b.columns[i].length);
                if (a.columns[i].isFixed() && a.columns[i].type != jet::ColumnType::Boolean) {
                    EXPECT_EQ(a.columns[i].fixedOffset, b.columns[i].fixedOffset);
                }
                if (!a.columns[i].isFixed()) {
                    EXPECT_EQ(a.columns[i].varIndex, b.columns[i].varIndex);
                }
            }
            ASSERT_EQ(a.physicalIndexes.size(), b.physicalIndexes.size()) << page;
            for (std::size_t i = 0; i < a.physicalIndexes.size(); ++i) {
                EXPECT_EQ(a.physicalIndexes[i].flags, b.physicalIndexes[i].flags);
                ASSERT_EQ(a.physicalIndexes[i].columns.size(), b.physicalIndexes[i].columns.size());
                for (std::size_t k = 0; k < a.physicalIndexes[i].columns.size(); ++k)
                    EXPECT_EQ(a.physicalIndexes[i].columns[k].columnNumber,
                              b.physicalIndexes[i].columns[k].columnNumber);
            }
            ASSERT_EQ(a.indexes.size(), b.indexes.size()) << page;
            for (std::size_t i = 0; i < a.indexes.size(); ++i) {
                EXPECT_EQ(a.indexes[i].name, b.indexes[i].name);
                EXPECT_EQ(a.indexes[i].number, b.indexes[i].number);
                EXPECT_EQ(a.indexes[i].physicalIndex, b.indexes[i].physicalIndex);
                EXPECT_EQ(a.indexes[i].kind, b.indexes[i].kind);
            }
            EXPECT_EQ(a.longValueMaps.size(), b.longValueMaps.size());
        }
    }
}

}  // namespace
