#pragma once

// Running mdbtools from tests: an independent reader to check our files
// against. Every function runs the program directly (no shell) and returns
// what it printed; tests decide what a failure means.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "jet/types.h"

namespace jettest {

struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs argv[0] found on PATH with the arguments; captures both streams.
CommandResult run(const std::vector<std::string>& argv);

// True when mdb-ver, mdb-tables, mdb-schema and mdb-export are installed.
bool mdbtoolsAvailable();

// The folder of Access-made samples (FERROVANE_SHARED_DIR/testdata/mdb) and
// every .mdb file under it, sorted; empty when the folder is absent.
std::filesystem::path accessSamplesDir();
std::vector<std::filesystem::path> accessSamples();

// "JET3", "JET4", ... as mdb-ver prints it (trimmed).
std::string mdbVer(const std::filesystem::path& file);
// mdb-tables -1 [-S]: one name per line.
std::vector<std::string> mdbTables(const std::filesystem::path& file, bool includeSystem = false);
// mdb-schema FILE BACKEND.
std::string mdbSchema(const std::filesystem::path& file, const std::string& backend = "access");

// The columns mdb-schema (access back end) declares, per table: name and
// type text such as "Text (50)" or "Long Integer" (NOT NULL dropped: it
// comes from column properties, not from the table definition).
using SchemaColumns = std::vector<std::pair<std::string, std::string>>;
std::map<std::string, SchemaColumns> mdbSchemaColumns(const std::filesystem::path& file);
// Our column as that type text.
std::string mdbSchemaType(const jet::ColumnDef& column, jet::Version version);

struct CsvField {
    std::string text;
    bool quoted = false;  // mdb-export quotes text-like values; an unquoted empty field is Null
    bool isNull() const { return !quoted && text.empty(); }
};
using CsvRow = std::vector<CsvField>;

// RFC 4180 CSV with doubled quotes; quoted fields may span lines.
std::vector<CsvRow> parseCsv(std::string_view text);

struct Export {
    int exitCode = -1;
    std::string err;
    std::vector<std::string> header;
    std::vector<CsvRow> rows;
};
// mdb-export with options that make values comparable: binary as upper-case
// hex (-b hex), dates as "%Y-%m-%d %H:%M:%S" (-D and -T), default quoting.
Export mdbExport(const std::filesystem::path& file, const std::string& table);

// The text mdb-export (with the options above) prints for a value of a
// column type. Null is "". Where mdbtools' text is not a plain rendering:
//  - Single prints as %.8g of the float, Double as %.16g;
//  - Currency with four decimals;
//  - Yes/No as 0/1;
//  - Replication ID (with -b hex) as the hex of its text form
//    "{XXXXXXXX-XXXX-XXXX-XXXXXXXXXXXXXXXX}" (no dash after the fourth group);
//  - Binary and OLE as upper-case hex; Binary only up to its first 0x00
//    byte (mdbtools copies it as a C string), so it may print as empty;
//  - Decimal as its digits with the column's scale.
//  - Date/Time: the day's fraction rounded to seconds as mdbtools does it.
// Dates before 1900 or after 9998 print wrongly in mdbtools 1.0; callers
// must compare those some other way (see dateIsComparable).
//  - text ends at a NUL character (mdbtools uses C strings);
//  - Jet 3 text: the five bytes cp1252 leaves unassigned (we read them as
//    U+0081, U+008D, U+008F, U+0090, U+009D) print as "?".
std::string mdbExportText(const jet::Value& value, jet::ColumnType type, jet::Version version);
bool dateIsComparable(const jet::Value& value);

}  // namespace jettest
