#include <type_traits>
#include <variant>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/sql/sql.h"

namespace jet::sql {
namespace {

// Runs fn as one change: inside the caller's transaction when one is open,
// otherwise in a transaction of its own so that a statement that makes several
// changes (a table and its constraint indexes) happens whole or not at all.
template <class Fn>
void asOneChange(Database& db, Fn fn) {
    if (db.inTransaction()) return fn();
    db.begin();
    try {
        fn();
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

void requireTable(const Database& db, const std::string& table) {
    if (!db.hasTable(table)) throw Error(Error::Kind::Invalid, "no such table").addTable(table);
}

}  // namespace

void execute(Database& db, const Statement& statement) try {
    std::visit(
        [&](const auto& s) {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, DropTable>) {
                requireTable(db, s.table);
                db.dropTable(s.table);
            } else if constexpr (std::is_same_v<S, CreateTable>) {
                if (db.hasTable(s.table))
                    throw Error(Error::Kind::Invalid, "the table already exists").addTable(s.table);
                asOneChange(db, [&] {
                    db.createTable(s.table, s.columns);
                    for (const IndexSpec& index : s.indexes) db.createIndex(s.table, index);
                });
            } else if constexpr (std::is_same_v<S, CreateIndex>) {
                requireTable(db, s.table);
                db.createIndex(s.table, s.index);
            } else {
                throw Error(Error::Kind::Invalid,
                            "a SELECT returns rows: open it as a query, not as a statement.");
            }
        },
        statement);
} catch (Error& e) {
    e.addFile(db.path());
    throw;
}

void execute(Database& db, std::string_view text) try {
    execute(db, parse(text));
} catch (Error& e) {
    e.addFile(db.path());
    throw;
}

const TableDef& resolve(const Database& db, const Select& select) try {
    requireTable(db, select.table);
    if (!select.empty)
        throw Error(Error::Kind::Unsupported,
                    "only queries with an empty result (WHERE 1=0) can be opened.");
    return db.table(select.table);
} catch (Error& e) {
    e.addFile(db.path());
    throw;
}

}  // namespace jet::sql
