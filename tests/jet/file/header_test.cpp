// The header of a new file reads back as written, in both formats.

#include "jet/file/header.h"

#include <gtest/gtest.h>

#include <vector>

#include "jet/file/format.h"

namespace {

TEST(Header, NewHeadersReadBackInBothFormats) {
    for (const jet::Format* f : {&jet::Format::jet3(), &jet::Format::jet4()}) {
        std::vector<std::uint8_t> page(f->pageSize, 0);
        jet::writeHeader(page, *f, 43831.0);
        const jet::Header h = jet::parseHeader(page, "new.mdb");
        EXPECT_EQ(h.version, f->version);
        EXPECT_EQ(h.codePage, 1252);
        EXPECT_EQ(h.sortOrder, 0x0409);
        EXPECT_EQ(h.databaseKey, 0u);
    }
}

}  // namespace
