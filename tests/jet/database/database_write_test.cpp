// Writing databases: new files, tables of every type, rows, long values,
// conversions and limits, dropping tables and adding to Access-made files.
// Every file written is read back by mdbtools and by our own reader.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "jet/database.h"
#include "jet/database/database_impl.h"
#include "jet/file/bytes.h"
#include "jet/file/usagemap.h"
#include "support/errorof.h"
#include "support/mdbtools.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using jet::ColumnSpec;
using jet::ColumnType;
using jet::Value;
using jet::Version;

const char* versionName(Version v) { return v == Version::Jet3 ? "JET3" : "JET4"; }

// Rows read back by our reader.
std::vector<jet::Row> readAll(jet::Database& db, const std::string& table) {
    std::vector<jet::Row> rows;
    auto cursor = db.scan(table);
    while (cursor.next()) rows.push_back(cursor.row());
    return rows;
}

// mdb-export of the table matches the expected rows value by value.
void expectMdbtools(const fs::path& file, const std::string& table, const jet::TableDef& def,
                    Version version, const std::vector<jet::Row>& expected) {
    if (!jettest::mdbtoolsAvailable()) return;
    const jettest::Export ex = jettest::mdbExport(file, table);
    ASSERT_EQ(ex.exitCode, 0) << ex.err;
    ASSERT_EQ(ex.rows.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(ex.rows[r].size(), def.columns.size());
        for (std::size_t c = 0; c < def.columns.size(); ++c) {
            const Value& v = expected[r][c];
            if (!jettest::dateIsComparable(v)) continue;
            SCOPED_TRACE("row " + std::to_string(r) + " column " + def.columns[c].name);
            if (v.isNull())
                EXPECT_TRUE(ex.rows[r][c].isNull()) << ex.rows[r][c].text;
            else
                EXPECT_EQ(ex.rows[r][c].text,
                          jettest::mdbExportText(v, def.columns[c].type, version));
        }
    }
}

class Writer : public ::testing::TestWithParam<Version> {
protected:
    jettest::TempDir dir;
    fs::path file = dir / "out.mdb";
};

INSTANTIATE_TEST_SUITE_P(BothFormats, Writer, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const auto& p) { return std::string(versionName(p.param)); });

TEST_P(Writer, NewDatabaseReadsAsEmpty) {
    auto db = jet::Database::create(file, GetParam());
    EXPECT_EQ(db->version(), GetParam());
    EXPECT_TRUE(db->tableNames().empty());
    auto system = db->tableNames(true);
    std::sort(system.begin(), system.end());
    EXPECT_EQ(system, (std::vector<std::string>{"MSysACEs", "MSysObjects", "MSysQueries",
                                                "MSysRelationships"}));
    for (const auto& t : system) EXPECT_TRUE(db->verifyIndexes(t).empty()) << t;
    db.reset();
    EXPECT_THROW(jet::Database::create(file, GetParam()), jet::Error);
    if (!jettest::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools is not installed";
    EXPECT_EQ(jettest::mdbVer(file), versionName(GetParam()));
    EXPECT_TRUE(jettest::mdbTables(file).empty());
    auto listed = jettest::mdbTables(file, true);
    EXPECT_EQ(listed.size(), 4u);
    EXPECT_EQ(jettest::mdbExport(file, "MSysObjects").rows.size(), 8u);
    EXPECT_EQ(jettest::mdbExport(file, "MSysACEs").rows.size(), 16u);
}

std::vector<ColumnSpec> everyType() {
    return {{"ID", ColumnType::Long, 0, true, true},
            {"Flag", ColumnType::Boolean},
            {"Small", ColumnType::Byte},
            {"Int", ColumnType::Integer},
            {"Big", ColumnType::Long},
            {"Money", ColumnType::Currency},
            {"Float", ColumnType::Single},
            {"Real", ColumnType::Double},
            {"When", ColumnType::DateTime},
            {"Raw", ColumnType::Binary, 20},
            {"Name", ColumnType::Text, 40},
            {"Wide", ColumnType::Text},
            {"Notes", ColumnType::Memo},
            {"Blob", ColumnType::Ole}};
}

TEST_P(Writer, TableOfEveryTypeRoundTrips) {
    const Version v = GetParam();
    auto db = jet::Database::create(file, v);
    db->createTable("Every Type", everyType());
    db->createTable("Empty", {{"A", ColumnType::Text, 10}});
    const std::string accents =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x82\xAC 5";  // "Grüße € 5"
    const std::string wide = v == Version::Jet4 ? "\xCE\xA9 omega \xE4\xB8\xAD" : accents;
    std::vector<jet::Row> input = {
        {nullptr, true, 0, -32768, std::int64_t{-2147483647 - 1},
         jet::Currency{-9223372036854775807LL}, -3.5, -1.7976931348623157e308,
         jet::DateTime{36526.75}, jet::Bytes{0x7F, 0xFF, 0x10}, accents, wide,
         std::string(3000, 'm'), jet::Bytes(100, 0xAB)},
        {nullptr, false, 255, 32767, std::int64_t{2147483647}, jet::Currency{123456789}, 1.0e30,
         4.9e-324, jet::DateTime{-700000.25}, jet::Bytes(20, 0x01), std::string(40, 'x'),
         std::string(255, 'y'), std::string("short memo"), jet::Bytes{}},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
         std::string(""), nullptr, nullptr, nullptr},
    };
    for (const auto& r : input) db->insertRow("Every Type", r);

    // What the readers give back: AutoNumber filled in, Null Yes/No is No.
    std::vector<jet::Row> expected = input;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i][0] = std::int64_t(i + 1);
        if (expected[i][1].isNull()) expected[i][1] = false;
    }
    auto rows = readAll(*db, "Every Type");
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + " column " + std::to_string(c));
            const Value& want = expected[r][c];
            const Value& got = rows[r][c];
            if (want.is<double>() && c == 6) {  // Single keeps float precision
                EXPECT_EQ(got.as<double>(),
                          static_cast<double>(static_cast<float>(want.as<double>())));
            } else {
                EXPECT_EQ(got, want);
            }
        }
    }
    EXPECT_EQ(db->table("Every Type").rowCount, 3u);
    EXPECT_EQ(db->table("Every Type").autoNumber, 3u);
    const jet::TableDef def = db->table("Every Type");
    db.reset();

    if (!jettest::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools is not installed";
    auto tables = jettest::mdbTables(file);
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::string>{"Empty", "Every Type"}));
    expectMdbtools(file, "Every Type", def, v, rows);
    EXPECT_TRUE(jettest::mdbExport(file, "Empty").rows.empty());
    const std::string schema = jettest::mdbSchema(file);
    const std::pair<const char*, const char*> types[] = {
        {"ID", "Long Integer"},      {"Flag", "Boolean NOT NULL"},
        {"Small", "Byte"},           {"Int", "Integer"},
        {"Big", "Long Integer"},     {"Money", "Currency"},
        {"Float", "Single"},         {"Real", "Double"},
        {"When", "DateTime"},        {"Raw", "Binary"},
        {"Name", "Text (40)"},       {"Wide", "Text (255)"},
        {"Notes", "Memo/Hyperlink"}, {"Blob", "OLE"}};
    for (const auto& [column, type] : types)
        EXPECT_NE(schema.find("[" + std::string(column) + "]\t\t\t" + type), std::string::npos)
            << column << "\n"
            << schema;
}

TEST_P(Writer, DecimalAndReplicationId) {
    const Version v = GetParam();
    auto db = jet::Database::create(file, v);
    ColumnSpec dec{"Amount", ColumnType::Numeric};
    dec.precision = 12;
    dec.scale = 3;
    if (v == Version::Jet3) {  // Jet 3 has no Decimal type
        EXPECT_THROW(db->createTable("D", {dec}), jet::Error);
        return;
    }
    db->createTable("D", {dec, {"Key", ColumnType::Guid}});
    const jet::Guid guid = {0x6F, 0x96, 0x19, 0xFF, 0x8B, 0x86, 0xD0, 0x11,
                            0xB4, 0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF};
    db->insertRow("D", jet::Row{"-123456789.125", guid});
    db->insertRow("D", jet::Row{std::int64_t{42}, "{00000000-0000-0000-0000-000000000001}"});
    auto rows = readAll(*db, "D");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].as<jet::Decimal>().toString(), "-123456789.125");
    EXPECT_EQ(rows[1][0].as<jet::Decimal>().toString(), "42.000");
    EXPECT_EQ(rows[0][1], Value(guid));
    const jet::TableDef def = db->table("D");
    db.reset();
    expectMdbtools(file, "D", def, v, rows);
}

TEST_P(Writer, LongValuesOfEverySize) {
    const Version v = GetParam();
    const std::size_t page = v == Version::Jet3 ? 2048 : 4096;
    auto db = jet::Database::create(file, v);
    db->createTable("LV",
                    {{"N", ColumnType::Long}, {"M", ColumnType::Memo}, {"O", ColumnType::Ole}});
    std::vector<std::size_t> sizes = {0,        1,    64,       65,           page - 30,
                                      page - 1, page, page + 1, 3 * page + 7, 5 * 1024 * 1024};
    std::vector<jet::Row> expected;
    db->begin();
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        std::string text(sizes[i], 'a');
        for (std::size_t k = 0; k < text.size(); ++k)
            text[k] = static_cast<char>('a' + (k * 7 + i) % 26);
        jet::Bytes blob(sizes[i]);
        for (std::size_t k = 0; k < blob.size(); ++k)
            blob[k] = static_cast<std::uint8_t>(k * 31 + i);
        jet::Row r = {std::int64_t(i), text, blob};
        db->insertRow("LV", r);
        expected.push_back(r);
    }
    db->commit();
    auto rows = readAll(*db, "LV");
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("size " + std::to_string(sizes[i]));
        EXPECT_EQ(rows[i][0], expected[i][0]);
        EXPECT_TRUE(rows[i][1] == expected[i][1]);
        EXPECT_TRUE(rows[i][2] == expected[i][2]);
    }
    const jet::TableDef def = db->table("LV");
    db.reset();
    if (!jettest::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools is not installed";
    // mdbtools 1.0 cuts memo text beyond 64 KB in exports; compare the rest.
    const jettest::Export ex = jettest::mdbExport(file, "LV");
    ASSERT_EQ(ex.exitCode, 0) << ex.err;
    ASSERT_EQ(ex.rows.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("size " + std::to_string(sizes[i]));
        if (sizes[i] < 60000) {
            EXPECT_EQ(ex.rows[i][1].text, expected[i][1].as<std::string>());
        }
        EXPECT_EQ(ex.rows[i][2].text, jettest::mdbExportText(expected[i][2], ColumnType::Ole, v));
    }
}

TEST_P(Writer, ConversionsFailNamingTheColumnAndStoreNothing) {
    const Version v = GetParam();
    auto db = jet::Database::create(file, v);
    db->createTable("T", {{"Num", ColumnType::Long},
                          {"Tiny", ColumnType::Byte},
                          {"Short", ColumnType::Text, 5},
                          {"Must", ColumnType::Text, 10, true},
                          {"When", ColumnType::DateTime}});
    struct Case {
        jet::Row row;
        jet::Error::Kind kind;
        const char* column;
    };
    const std::vector<Case> cases = {
        {{"twelve", 1, "a", "m", nullptr}, jet::Error::Kind::Conversion, "Num"},
        {{std::int64_t{1} << 31, 1, "a", "m", nullptr}, jet::Error::Kind::Conversion, "Num"},
        {{1, 256, "a", "m", nullptr}, jet::Error::Kind::Conversion, "Tiny"},
        {{1, -1, "a", "m", nullptr}, jet::Error::Kind::Conversion, "Tiny"},
        {{1, 1, "toolong", "m", nullptr}, jet::Error::Kind::Conversion, "Short"},
        {{1, 1, "a", nullptr, nullptr}, jet::Error::Kind::Constraint, "Must"},
        {{1, 1, "a", "m", "yesterday"}, jet::Error::Kind::Conversion, "When"},
        {{1, 1, "a", "m", jet::Bytes{1}}, jet::Error::Kind::Conversion, "When"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        const jet::Error e = jettest::errorOf([&] { db->insertRow("T", c.row); });
        EXPECT_EQ(e.kind(), c.kind) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.column), std::string::npos) << e.what();
    }
    // A character Jet 3's code page lacks; Jet 4 stores it.
    jet::Row greek = {1, 1, "\xCE\xA9", "m", nullptr};
    if (v == Version::Jet3) {
        const jet::Error e = jettest::errorOf([&] { db->insertRow("T", greek); });
        EXPECT_EQ(e.kind(), jet::Error::Kind::Conversion);
        EXPECT_NE(std::string(e.what()).find("Short"), std::string::npos) << e.what();
        EXPECT_TRUE(readAll(*db, "T").empty());
    } else {
        db->insertRow("T", greek);
        ASSERT_EQ(readAll(*db, "T").size(), 1u);
        EXPECT_EQ(readAll(*db, "T")[0][2], Value("\xCE\xA9"));
    }
    // Text and numbers convert where Access would.
    db->insertRow("T", jet::Row{" 42 ", 7.0, 12345, "ok", "2024-02-29 13:45:30"});
    auto rows = readAll(*db, "T");
    const jet::Row& last = rows.back();
    EXPECT_EQ(last[0], Value(std::int64_t{42}));
    EXPECT_EQ(last[1], Value(std::int64_t{7}));
    EXPECT_EQ(last[2], Value("12345"));
    EXPECT_EQ(last[4].as<jet::DateTime>().toIsoString(), "2024-02-29 13:45:30");
}

TEST_P(Writer, CreateTableRefusesBadNamesAndLimits) {
    const Version v = GetParam();
    auto db = jet::Database::create(file, v);
    db->createTable(std::string(64, 'n'), {{"A", ColumnType::Long}});
    auto expectInvalid = [&](const std::string& name, const std::vector<ColumnSpec>& cols,
                             const char* why) {
        SCOPED_TRACE(why);
        const jet::Error e = jettest::errorOf([&] { db->createTable(name, cols); }, "accepted");
        EXPECT_EQ(e.kind(), jet::Error::Kind::Invalid) << e.what();
    };
    const std::vector<ColumnSpec> one = {{"A", ColumnType::Long}};
    expectInvalid(std::string(65, 'n'), one, "65 characters");
    expectInvalid(std::string(64, 'N'), one, "duplicate ignoring case");
    expectInvalid("MSysObjects", one, "system table name");
    expectInvalid("a.b", one, "dot");
    expectInvalid(" lead", one, "leading space");
    expectInvalid("", one, "empty");
    expectInvalid("T", {}, "no columns");
    expectInvalid("T", {{"A", ColumnType::Long}, {"a", ColumnType::Text}}, "duplicate column");
    expectInvalid("T", {{"A", ColumnType::Text, 256}}, "text too long");
    expectInvalid("T", {{"A", ColumnType::Text, -1}}, "negative size");
    expectInvalid("T", {{"A", ColumnType::Text, 10, false, true}}, "AutoNumber text");
    std::vector<ColumnSpec> many;
    for (int i = 0; i < 256; ++i) many.push_back({"c" + std::to_string(i), ColumnType::Byte});
    expectInvalid("T", many, "256 columns");
    many.pop_back();
    db->createTable("Widest", many);  // 255 columns are fine
    std::vector<ColumnSpec> heavy;
    for (int i = 0; i < (v == Version::Jet3 ? 252 : 255); ++i)
        heavy.push_back({"d" + std::to_string(i), ColumnType::Guid});
    expectInvalid("T", heavy, "rows too large");
    EXPECT_FALSE(db->hasTable("T"));

    // A row longer than the format allows is refused whole.
    std::vector<ColumnSpec> fat;
    jet::Row full;
    const std::string omega = "\xCE\xA9";  // UTF-16 in Jet 4, never compressed
    for (int i = 0; i < 10; ++i) {
        fat.push_back({"t" + std::to_string(i), ColumnType::Text});
        std::string text;
        for (int k = 0; k < 255; ++k) text += v == Version::Jet4 ? omega : "x";
        full.push_back(text);
    }
    db->createTable("Fat", fat);
    const jet::Error tooLong = jettest::errorOf([&] { db->insertRow("Fat", full); }, "accepted");
    EXPECT_EQ(tooLong.kind(), jet::Error::Kind::Invalid) << tooLong.what();
    EXPECT_EQ(db->table("Fat").rowCount, 0u);
    full.resize(3);
    db->insertRow("Fat", full);
    EXPECT_EQ(db->table("Fat").rowCount, 1u);

    // Text(0) is Text(255); wide definitions span several pages.
    std::vector<ColumnSpec> texts;
    for (int i = 0; i < 200; ++i)
        texts.push_back({"A rather long column name " + std::to_string(i), ColumnType::Text, 0});
    db->createTable("Texts", texts);
    EXPECT_EQ(db->table("Texts").columns.size(), 200u);
    EXPECT_EQ(db->table("Texts").columns[5].length, v == Version::Jet3 ? 255 : 510);
    db->insertRow("Texts", jet::Row{"first", "second"});
    const jet::TableDef def = db->table("Texts");
    db.reset();
    if (!jettest::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools is not installed";
    EXPECT_EQ(jettest::mdbTables(file).size(), 4u);
    const auto ex = jettest::mdbExport(file, "Texts");
    ASSERT_EQ(ex.header.size(), 200u);
    ASSERT_EQ(ex.rows.size(), 1u);
    EXPECT_EQ(ex.rows[0][1].text, "second");
}

TEST_P(Writer, DropTableFreesItsPagesForReuse) {
    const Version v = GetParam();
    auto db = jet::Database::create(file, v);
    db->createTable("Keep", {{"A", ColumnType::Long}});
    db->createTable("Gone", {{"A", ColumnType::Long}, {"M", ColumnType::Memo}});
    db->begin();
    for (int i = 0; i < 300; ++i) db->insertRow("Gone", jet::Row{i, std::string(5000, 'z')});
    db->commit();
    const auto sizeBefore = fs::file_size(file);
    const std::uint32_t gonePage = db->table("Gone").tdefPage;
    db->dropTable("Gone");
    EXPECT_FALSE(db->hasTable("Gone"));
    EXPECT_THROW(db->dropTable("Gone"), jet::Error);
    EXPECT_THROW(db->dropTable("MSysObjects"), jet::Error);
    EXPECT_TRUE(db->verifyIndexes("MSysObjects").empty());
    EXPECT_TRUE(db->verifyIndexes("MSysACEs").empty());
    {
        jet::PageAllocator allocator(*db->impl().pager, db->format());
        EXPECT_TRUE(allocator.isFree(gonePage));
    }
    // A new table of the same size reuses the pages: the file does not grow.
    db->createTable("Again", {{"A", ColumnType::Long}, {"M", ColumnType::Memo}});
    db->begin();
    for (int i = 0; i < 100; ++i) db->insertRow("Again", jet::Row{i, std::string(5000, 'q')});
    db->commit();
    EXPECT_LE(fs::file_size(file), sizeBefore);
    EXPECT_EQ(readAll(*db, "Again").size(), 100u);
    // Access entries: three for each user table, none left for the dropped one.
    const std::uint32_t againPage = db->table("Again").tdefPage;
    const std::uint32_t keepPage = db->table("Keep").tdefPage;
    for (const auto& r : readAll(*db, "MSysACEs")) {
        auto id = r[0].as<std::int64_t>();
        EXPECT_TRUE(id < 0x100 ? (id <= 5 || id == againPage || id == keepPage) : true) << id;
    }
    db.reset();
    if (!jettest::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools is not installed";
    auto tables = jettest::mdbTables(file);
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::string>{"Again", "Keep"}));
    EXPECT_EQ(jettest::mdbExport(file, "Again").rows.size(), 100u);
}

// Enough tables for the catalog's indexes to grow several levels; dropping
// every other one must leave them sound.
TEST_P(Writer, DroppingManyTablesKeepsTheCatalogIndexesSound) {
    auto db = jet::Database::create(file, GetParam());
    db->begin();
    for (int i = 0; i < 160; ++i)
        db->createTable("A table with a long name, number " + std::to_string(i),
                        {{"A", ColumnType::Long}});
    db->commit();
    db->begin();
    for (int i = 0; i < 160; i += 2)
        db->dropTable("A table with a long name, number " + std::to_string(i));
    db->commit();
    EXPECT_EQ(db->verifyIndexes("MSysObjects"), std::vector<std::string>{});
    EXPECT_EQ(db->verifyIndexes("MSysACEs"), std::vector<std::string>{});
    EXPECT_EQ(db->tableNames().size(), 80u);
    db.reset();
    if (!jettest::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools is not installed";
    EXPECT_EQ(jettest::mdbTables(file).size(), 80u);
}

TEST_P(Writer, InserterAcrossCommitsAndRollback) {
    const Version v = GetParam();
    auto db = jet::Database::create(file, v);
    db->createTable("Many", {{"ID", ColumnType::Long, 0, false, true},
                             {"N", ColumnType::Long},
                             {"T", ColumnType::Text, 20}});
    auto ins = db->inserter("Many");
    db->begin();
    for (int i = 0; i < 5000; ++i) {
        ins.insert(jet::Row{nullptr, i, "row " + std::to_string(i)});
        if (i % 1000 == 999) {
            db->commit();
            db->begin();
        }
    }
    db->commit();
    db->begin();
    for (int i = 0; i < 10; ++i) ins.insert(jet::Row{nullptr, -1, "discarded"});
    db->rollback();
    ins.insert(jet::Row{nullptr, 5000, "after"});  // commits by itself
    auto rows = readAll(*db, "Many");
    ASSERT_EQ(rows.size(), 5001u);
    EXPECT_EQ(rows.back()[0], Value(std::int64_t{5001}));
    EXPECT_EQ(rows.back()[2], Value("after"));
    EXPECT_EQ(db->table("Many").rowCount, 5001u);
    db.reset();
    if (!jettest::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools is not installed";
    const auto ex = jettest::mdbExport(file, "Many");
    ASSERT_EQ(ex.rows.size(), 5001u);
    EXPECT_EQ(ex.rows[4999][2].text, "row 4999");
}

// Access-made files: a new table and rows appended to an existing one leave
// every original row as it was.
TEST(WriterOnAccessFiles, AddTableAndAppendRows) {
    if (jettest::accessSamples().empty()) GTEST_SKIP() << "no Access samples";
    for (const char* name : {"jet4/testV2000.mdb", "jet3/testV1997.mdb"}) {
        SCOPED_TRACE(name);
        const fs::path source = jettest::accessSamplesDir() / name;
        if (!fs::exists(source)) continue;
        jettest::TempDir dir;
        const fs::path copy = dir / "copy.mdb";
        fs::copy_file(source, copy);
        fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
        std::map<std::string, jettest::Export> before;
        for (const auto& t : jettest::mdbTables(copy)) before[t] = jettest::mdbExport(copy, t);

        auto db = jet::Database::open(copy);
        db->createTable("Added", {{"K", ColumnType::Long}, {"V", ColumnType::Text, 30}});
        for (int i = 0; i < 50; ++i)
            db->insertRow("Added", jet::Row{i, "value " + std::to_string(i)});
        // An existing indexed table takes rows too, its indexes kept.
        const std::string appended = "Table1";
        db->insertRow(appended, jet::Row{"zz new key", "new row", 1, 2, 3, 4.5,
                                         jet::DateTime{40000}, jet::Currency{10000}, true});
        EXPECT_THROW(db->insertRow(appended, jet::Row{"zz new key"}), jet::Error);  // unique
        EXPECT_TRUE(db->verifyIndexes(appended).empty());
        db.reset();
        if (!jettest::mdbtoolsAvailable()) continue;
        // Rows compared as sets: a new row may land on any page.
        auto texts = [](const jettest::Export& ex) {
            std::vector<std::vector<std::string>> rows;
            for (const auto& r : ex.rows) {
                std::vector<std::string> t;
                for (const auto& f : r) t.push_back(f.text);
                rows.push_back(t);
            }
            std::sort(rows.begin(), rows.end());
            return rows;
        };
        for (const auto& [table, ex] : before) {
            const auto now = jettest::mdbExport(copy, table);
            ASSERT_EQ(now.exitCode, 0) << now.err;
            auto was = texts(ex), is = texts(now);
            ASSERT_EQ(is.size(), was.size() + (table == appended ? 1 : 0)) << table;
            EXPECT_TRUE(std::includes(is.begin(), is.end(), was.begin(), was.end())) << table;
        }
        const auto grown = jettest::mdbExport(copy, appended);
        EXPECT_TRUE(std::any_of(grown.rows.begin(), grown.rows.end(), [](const auto& r) {
            return r[0].text == "zz new key" && r[1].text == "new row";
        }));
        const auto added = jettest::mdbExport(copy, "Added");
        ASSERT_EQ(added.rows.size(), 50u);
        EXPECT_EQ(added.rows[49][1].text, "value 49");
        auto reopened = jet::Database::open(copy, jet::OpenMode::ReadOnly);
        EXPECT_EQ(readAll(*reopened, "Added").size(), 50u);
        EXPECT_TRUE(reopened->verifyIndexes("MSysObjects").empty());
        EXPECT_TRUE(reopened->verifyIndexes("MSysACEs").empty());
    }
}

// Access keeps its Decimal columns in variable slots (no fixed flag); rows
// appended there hold the value in that layout, and its index stays sound.
TEST(WriterOnAccessFiles, AppendsToAccessDecimalColumns) {
    const fs::path source = jettest::accessSamplesDir() / "jet4/testIndexCodes_2009-11-14.mdb";
    if (!fs::exists(source)) GTEST_SKIP() << "no " << source;
    jettest::TempDir dir;
    const fs::path copy = dir / "copy.mdb";
    jettest::copyWritable(source, copy);
    {
        auto db = jet::Database::open(copy);
        const jet::ColumnDef* data = db->table("Table7").findColumn("data");
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(data->type, ColumnType::Numeric);
        ASSERT_FALSE(data->isFixed());
        db->begin();
        db->insertRow("Table7", jet::Row{"new1", "-12.5"});
        db->insertRow("Table7", jet::Row{"new2", 1234.56789});  // a Double, as Oracle gives it
        db->insertRow("Table7", jet::Row{"new3", std::int64_t{7}});
        db->insertRow("Table7", jet::Row{"new4", Value()});
        // 20 digits, 10 of them after the point: 11 integer digits do not fit.
        EXPECT_THROW(db->insertRow("Table7", jet::Row{"new5", 12345678901.0}), jet::Error);
        db->commit();
        EXPECT_EQ(db->verifyIndexes("Table7"), std::vector<std::string>{});
    }
    auto db = jet::Database::open(copy, jet::OpenMode::ReadOnly);
    std::map<std::string, std::string> values;
    for (const auto& r : readAll(*db, "Table7")) values[r[0].toString()] = r[1].toString();
    EXPECT_EQ(values["new1"], "-12.5000000000");
    EXPECT_EQ(values["new2"], "1234.5678900000");
    EXPECT_EQ(values["new3"], "7.0000000000");
    EXPECT_EQ(values["new4"], "");
    EXPECT_EQ(values.count("new5"), 0u);
    EXPECT_EQ(values["row3"], "-23.0000000000");  // Access's rows as they were
    if (!jettest::mdbtoolsAvailable()) return;
    const auto ex = jettest::mdbExport(copy, "Table7");
    ASSERT_EQ(ex.exitCode, 0) << ex.err;
    EXPECT_TRUE(std::any_of(ex.rows.begin(), ex.rows.end(), [](const auto& r) {
        return r[0].text == "new2" && r[1].text == "1234.5678900000";
    }));
}

}  // namespace

namespace {

// Northwind's Orders holds ids above the counter in its definition; new rows
// must not reuse them.
TEST(WriterOnAccessFiles, AutoNumberStartsAboveTheLargestValue) {
    const fs::path source = jettest::accessSamplesDir() / "jet4/Northwind.mdb";
    if (!fs::exists(source)) GTEST_SKIP() << "no " << source;
    jettest::TempDir dir;
    const fs::path copy = dir / "copy.mdb";
    fs::copy_file(source, copy);
    fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
    auto db = jet::Database::open(copy);
    std::int64_t largest = 0;
    for (const auto& r : readAll(*db, "Orders"))
        largest = std::max(largest, r[0].as<std::int64_t>());
    ASSERT_LT(db->table("Orders").autoNumber, largest);
    auto ins = db->inserter("Orders");
    ins.insert(jet::Row(db->table("Orders").columns.size()));
    EXPECT_EQ(readAll(*db, "Orders").back()[0], Value(largest + 1));
    EXPECT_EQ(db->table("Orders").autoNumber, static_cast<std::uint32_t>(largest + 1));
    EXPECT_TRUE(db->verifyIndexes("Orders").empty());
}

}  // namespace

namespace {

// Every Access sample takes a new table with rows, and a table created and
// dropped, with its catalog indexes sound and every original table unchanged.
class EveryAccessSample : public ::testing::TestWithParam<fs::path> {};

TEST_P(EveryAccessSample, TakesNewTablesAndDrops) {
    jettest::TempDir dir;
    const fs::path copy = dir / "copy.mdb";
    fs::copy_file(GetParam(), copy);
    fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
    const bool mdbtools = jettest::mdbtoolsAvailable();
    std::map<std::string, std::size_t> before;
    if (mdbtools)
        for (const auto& t : jettest::mdbTables(copy))
            before[t] = jettest::mdbExport(copy, t).rows.size();
    {
        auto db = jet::Database::open(copy);
        db->createTable(
            "Added",
            {{"K", ColumnType::Long}, {"V", ColumnType::Text, 30}, {"M", ColumnType::Memo}});
        db->begin();
        for (int i = 0; i < 100; ++i)
            db->insertRow("Added", jet::Row{i, "v" + std::to_string(i), std::string(i * 50, 'm')});
        db->commit();
        db->createTable("Dropped", {{"K", ColumnType::Long}});
        db->dropTable("Dropped");
        EXPECT_EQ(db->verifyIndexes("MSysObjects"), std::vector<std::string>{});
        EXPECT_EQ(db->verifyIndexes("MSysACEs"), std::vector<std::string>{});
    }
    auto db = jet::Database::open(copy, jet::OpenMode::ReadOnly);
    EXPECT_EQ(readAll(*db, "Added").size(), 100u);
    EXPECT_FALSE(db->hasTable("Dropped"));
    if (!mdbtools) return;
    for (const auto& [table, rows] : before)
        EXPECT_EQ(jettest::mdbExport(copy, table).rows.size(), rows) << table;
    EXPECT_EQ(jettest::mdbExport(copy, "Added").rows.size(), 100u);
}

INSTANTIATE_TEST_SUITE_P(Samples, EveryAccessSample, ::testing::ValuesIn(jettest::accessSamples()),
                         [](const auto& p) {
                             std::string name = p.param.parent_path().filename().string() + "_" +
                                                p.param.stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(EveryAccessSample);

}  // namespace
