// The table BENCH of the Jet benchmarks: eight columns in the shape of the
// peer's benchmark, a unique index on ID and a plain one on NAME.
#pragma once

#include "jet/database.h"

inline void createBenchTable(jet::Database& db, bool indexes = true) {
    using jet::ColumnType;
    db.createTable("BENCH", {{"ID", ColumnType::Long},
                             {"AMOUNT", ColumnType::Double},
                             {"NAME", ColumnType::Text, 40},
                             {"CREATED", ColumnType::DateTime},
                             {"NOTE", ColumnType::Memo},
                             {"CODE", ColumnType::Text, 10},
                             {"QTY", ColumnType::Long},
                             {"RATE", ColumnType::Double}});
    if (!indexes) return;
    db.createIndex("BENCH", {"UX_ID", {{"ID", true}}, true});
    db.createIndex("BENCH", {"IX_NAME", {{"NAME", true}}});
}
