#include "engine/rowcopy.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "dbaccess/accesstarget.h"
#include "dbaccess/oraclesource.h"
#include "engine/abort.h"
#include "engine/blobtext.h"
#include "engine/names.h"
#include "engine/ucc.h"

using dbaccess::TOracleValue;

namespace {

// One source column and where its values go.
struct ColumnPlan {
    QString name;
    bool blobText = false;
    int field = -1;  // target column, -1 when the table has none of that name
    jet::ColumnType type = jet::ColumnType::Text;
};

// Matches a source column to the target's: by name, letter case ignored, and
// for a name too long for Access by the cut name its table was created with.
int targetField(const dbaccess::TAccessDataset& accdataset, const QString& name) {
    const int field = accdataset.fieldIndex(name);
    if (field >= 0 || name.size() <= kMaxAccessColumnName) return field;
    return accdataset.fieldIndex(AccessColumnName(name));
}

void planTargets(std::vector<ColumnPlan>& plan, const dbaccess::TAccessDataset& accdataset) {
    for (ColumnPlan& column : plan) {
        column.field = targetField(accdataset, column.name);
        column.type =
            column.field >= 0 ? accdataset.fieldType(column.field) : jet::ColumnType::Text;
    }
}

bool isWholeNumberType(jet::ColumnType type) {
    return type == jet::ColumnType::Byte || type == jet::ColumnType::Integer ||
           type == jet::ColumnType::Long;
}

// Whether the column stores something other than the value itself even though
// the conversion succeeds: a fraction rounded away, or digits a double drops.
bool changedOnTheWay(const TOracleValue& value, jet::ColumnType type) {
    if (isWholeNumberType(type)) {
        if (value.kind() == TOracleValue::Kind::Double)
            return value.doubleValue() != std::nearbyint(value.doubleValue());
        if (value.kind() == TOracleValue::Kind::Decimal) return value.textValue().contains(u'.');
        return false;
    }
    if (type == jet::ColumnType::Double || type == jet::ColumnType::Single) {
        if (value.kind() == TOracleValue::Kind::Decimal) return true;
        if (value.kind() == TOracleValue::Kind::Integer) {
            const qint64 i = value.integerValue();
            const double d = static_cast<double>(i);
            return d >= 9223372036854775807.0 || static_cast<qint64>(d) != i;
        }
    }
    return false;
}

QByteArray blobBytes(const TOracleValue& value) {
    if (value.kind() == TOracleValue::Kind::Bytes) return value.bytesValue();
    if (value.isNull()) return QByteArray();
    return value.toText().toUtf8();
}

QString progressLine(const QString& sourceName, qint64 rows) {
    return QStringLiteral("Insert table ") + sourceName + u' ' + QString::number(rows) +
           QStringLiteral(" Rows ");
}

}  // namespace

TCopyResult CopyRows(TCopyContext& context, const QString& sourceName, const QString& targetName) {
    dbaccess::TOracleCursor& source = context.oracledata;
    dbaccess::TAccessDataset& target = context.accdataset;
    TCopyResult result;
    bool transactionBegun = false;
    try {
        source.close();
        // Names Oracle knows only in quotes are quoted; all others go in bare.
        source.setQuery(QStringLiteral("select * from ") + OracleTableReference(sourceName));
        source.open();
        source.first();

        target.close();
        target.setCommandText(QStringLiteral("select * from [") + targetName +
                              QStringLiteral("] where 1=0"));
        target.open();

        std::vector<ColumnPlan> plan(static_cast<std::size_t>(source.columnCount()));
        for (int i = 0; i < source.columnCount(); ++i) {
            ColumnPlan& column = plan[static_cast<std::size_t>(i)];
            column.name = source.columnName(i);
            column.blobText = context.blobtotext && source.isBlob(column.name);
        }
        planTargets(plan, target);

        context.accconnection.beginTrans();
        transactionBegun = true;
        qint64 rowNumber = 1;
        // Per row, the source columns whose value was not stored as it was.
        std::vector<char> changed(plan.size());
        while (!source.atEnd()) {
            target.append();
            std::fill(changed.begin(), changed.end(), false);
            for (std::size_t i = 0; i < plan.size(); ++i) {
                const ColumnPlan& column = plan[i];
                // A column the table lacks stays empty, as a failed set would leave it.
                if (column.field < 0) continue;
                try {
                    const TOracleValue& value = source.value(static_cast<int>(i));
                    if (column.blobText) {
                        target.setUnconvertedValue(
                            column.field, jet::Value(BlobToText(blobBytes(value)).toStdString()));
                    } else {
                        changed[i] = changedOnTheWay(value, column.type);
                        target.setUnconvertedValue(column.field, value);
                    }
                } catch (const std::exception&) {
                    // The column keeps what the new row had; the row goes on.
                    changed[i] = true;
                }
            }
            // Values their column cannot hold are left out as the column step
            // would have left them: the row is still stored.
            for (int field : target.postKeepingWhatFits())
                for (std::size_t i = 0; i < plan.size(); ++i)
                    if (plan[i].field == field) changed[i] = true;
            result.rows = rowNumber;
            for (std::size_t i = 0; i < plan.size(); ++i) {
                if (!changed[i]) continue;
                if (result.changedValues == 0) result.firstChangedColumn = plan[i].name;
                ++result.changedValues;
            }
            source.next();
            if (rowNumber % 100 == 0) {
                if (rowNumber % 5000 == 100) {
                    // Written while the next batch is read; the last commit waits.
                    context.accconnection.commitTransInBackground();
                    context.accconnection.beginTrans();
                    target.close();
                    target.open();
                    planTargets(plan, target);
                }
                context.log.replaceLast(progressLine(sourceName, rowNumber));
                if (context.processEvents) context.processEvents();
                if (context.stoprequested) throw TSilentAbort();
            }
            ++rowNumber;
        }
        context.accconnection.commitTrans();
        context.log.replaceLast(progressLine(sourceName, rowNumber - 1));
        target.close();
    } catch (const std::exception& e) {
        result.ok = false;
        result.failure = ErrorText(e);
        // What was posted stays: the open transaction is committed.
        if (transactionBegun && context.accconnection.inTransaction()) {
            try {
                context.accconnection.commitTrans();
            } catch (const std::exception&) {
                try {
                    if (context.accconnection.inTransaction())
                        context.accconnection.rollbackTrans();
                } catch (const std::exception&) {
                }
            }
        }
        target.close();
    }
    return result;
}
