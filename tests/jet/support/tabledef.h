#pragma once

// Two table definitions laid out alike: columns (name, type, number, flags,
// length and place in the row), physical indexes (flags and columns) and
// logical indexes (name, number, physical index, kind). Page numbers and
// counts are for each test to compare as it needs. Yes/No columns have a
// fixed offset only in name; withBooleanOffsets compares it too.

#include "jet/types.h"

namespace jettest {

void expectSameLayout(const jet::TableDef& a, const jet::TableDef& b, bool withBooleanOffsets);

}  // namespace jettest
