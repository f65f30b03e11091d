#pragma once

// CopyRows: every row of one Oracle table appended to the Access table of the
// same columns, in one forward pass, committed in batches. The last line of
// the run log shows the progress every 100 rows; pending interface events are
// let through there and a Stop is honoured.

#include <QString>
#include <functional>

#include "engine/runlog.h"

namespace dbaccess {
class TOracleCursor;
class TAccessConnection;
class TAccessDataset;
}  // namespace dbaccess

struct TCopyResult {
    bool ok = true;
    QString failure;
    qint64 rows = 0;  // rows posted
    // Values not stored as the source had them: left empty after a
    // conversion error, rounded into an integer column, or cut to a double's
    // precision. The first column concerned is named.
    qint64 changedValues = 0;
    QString firstChangedColumn;
};

struct TCopyContext {
    dbaccess::TOracleCursor& oracledata;
    dbaccess::TAccessConnection& accconnection;
    dbaccess::TAccessDataset& accdataset;
    TRunLog& log;
    bool blobtotext = false;
    bool& stoprequested;
    std::function<void()> processEvents;
};

TCopyResult CopyRows(TCopyContext& context, const QString& sourceName, const QString& targetName);
