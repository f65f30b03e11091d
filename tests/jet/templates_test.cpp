// The two committed templates are exactly what the engine makes today.

#include <gtest/gtest.h>

#include "jet/database.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace {

TEST(Templates, MatchTheEmptyImageByteForByte) {
    const std::filesystem::path folder = FERROVANE_SOURCE_DIR "/src/engine/templates";
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

}  // namespace
