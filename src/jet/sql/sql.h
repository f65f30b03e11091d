#pragma once

// A small SQL front end over Database: the data-definition statements and the
// empty-result queries that a table copy sends, in the dialect Access users
// write.
//
//   DROP TABLE name
//   CREATE TABLE name ( column type [NOT NULL] [WITH COMPRESSION]
//                       [[CONSTRAINT c] PRIMARY KEY | UNIQUE] , ... )
//   CREATE [UNIQUE] INDEX name ON table ( column [ASC|DESC] , ... )
//                       [WITH PRIMARY | DISALLOW NULL | IGNORE NULL]
//   SELECT * | number FROM table [WHERE number = number]
//
// Keywords ignore letter case; names keep theirs. A name is either bracketed
// ([Order Details]) or a bare word. The table of CREATE INDEX may also be bare
// with blanks in it: everything between ON and the column list is the name.
// A trailing ";" is allowed. Every mistake is an Error of kind Invalid (or
// Unsupported for valid Access SQL this engine does not run) that quotes the
// part of the statement at fault.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "jet/types.h"

namespace jet {

class Database;

namespace sql {

// Access limits every object and column name to 64 characters.
constexpr std::size_t kMaxNameLength = 64;

struct DropTable {
    std::string table;
};

struct CreateTable {
    std::string table;
    std::vector<ColumnSpec> columns;
    std::vector<IndexSpec> indexes;  // from PRIMARY KEY / UNIQUE column constraints
};

struct CreateIndex {
    std::string table;
    IndexSpec index;
};

// SELECT ... FROM table WHERE a = b. Only results that are known to be empty
// (a != b) are run; the columns are those of the table, or one expression
// column for "SELECT 1".
struct Select {
    std::string table;
    bool allColumns = false;  // SELECT *
    bool empty = true;        // the WHERE condition is false
};

using Statement = std::variant<DropTable, CreateTable, CreateIndex, Select>;

// Reads one statement. Text is UTF-8.
Statement parse(std::string_view text);

// The column type that an Access SQL type word stands for, with its length,
// precision and scale, e.g. "Integer" -> Long, "text(20)" -> Text of 20.
// Exposed for tests and tools; parse() uses it for every column.
ColumnSpec parseColumnType(std::string_view typeText);

// Runs a data-definition statement against db: the change is made at once (or
// within the open transaction). A Select is refused: open it as a query.
void execute(Database& db, const Statement& statement);

// parse() + execute().
void execute(Database& db, std::string_view text);

// Checks a Select against db: the table must exist and the result be empty.
// Returns the table's definition.
const TableDef& resolve(const Database& db, const Select& select);

}  // namespace sql
}  // namespace jet
