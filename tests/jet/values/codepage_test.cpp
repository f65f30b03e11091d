// Access 95/97 text in a code page other than the header's: read in the code
// page the caller names, by the engine and by the inspector.

#include <gtest/gtest.h>

#include <algorithm>

#include "jet/database.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

// A Jet 3 file (header: 1252) whose column name and one value hold GBK bytes,
// as a Chinese machine's Access 97 writes them.
fs::path gbkFile(const jettest::TempDir& dir) {
    const fs::path file = dir / "gbk.mdb";
    {
        auto db = jet::Database::create(file, jet::Version::Jet3);
        db->createTable("T", {{"ID", jet::ColumnType::Long}, {"NNNN", jet::ColumnType::Text, 20}});
        db->insertRow("T", jet::Row{1, "XXXX-1"});
    }
    auto bytes = jettest::readFile(file);
    auto patch = [&](const std::string& from, std::vector<std::uint8_t> to) {
        auto it = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
        ASSERT_NE(it, bytes.end()) << from;
        std::copy(to.begin(), to.end(), it);
    };
    patch("NNNN", {0xC3, 0xFB, 0xD7, 0xD6});  // 名字
    patch("XXXX", {0xD6, 0xD0, 0xCE, 0xC4});  // 中文
    jettest::writeFile(file, bytes);
    return file;
}

TEST(TextCodePage, Jet3TextReadsInTheNamedCodePage) {
    jettest::TempDir dir;
    const fs::path file = gbkFile(dir);
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    EXPECT_EQ(db->codePage(), 1252);
    EXPECT_EQ(db->table("T").columns[1].name, "\u00c3\u00fb\u00d7\u00d6");  // as 1252 reads it
    db->setTextCodePage(936);
    EXPECT_EQ(db->codePage(), 936);
    EXPECT_EQ(db->table("T").columns[1].name, "\u540d\u5b57");
    auto cursor = db->scan("T");
    ASSERT_TRUE(cursor.next());
    EXPECT_EQ(cursor.row()[1], jet::Value("\u4e2d\u6587-1"));
    db->setTextCodePage(0);  // back to the header's
    EXPECT_EQ(db->codePage(), 1252);
    EXPECT_THROW(db->setTextCodePage(12345), jet::Error);  // no such code page
}

TEST(TextCodePage, InspectorTakesTheCodePage) {
    const fs::path tool = fs::path(FERROVANE_BINARY_DIR) / "tools" / "mdbinspect";
    if (!fs::exists(tool)) GTEST_SKIP() << "mdbinspect not built";
    jettest::TempDir dir;
    const fs::path file = gbkFile(dir);
    auto r = jettest::run({tool.string(), "--codepage", "936", "csv", file.string(), "T"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ID,\u540d\u5b57\n1,\u4e2d\u6587-1\n");
    r = jettest::run({tool.string(), "csv", file.string(), "T"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\u00d6\u00d0\u00ce\u00c4-1"), std::string::npos) << r.out;
    r = jettest::run({tool.string(), "--codepage", "x", "csv", file.string(), "T"});
    EXPECT_EQ(r.exitCode, 1);
}

}  // namespace
