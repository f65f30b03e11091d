#include "engine/ucc.h"

#include <QFile>
#include <QFileInfo>

#include "dbaccess/accesstarget.h"
#include "dbaccess/oraclesource.h"
#include "engine/names.h"
#include "jet/newfile.h"
#include "platform/appdata.h"

using dbaccess::TOracleValue;

// The templates are compiled into the engine library as a Qt resource, which
// a static library must register by hand (outside any namespace).
static void initTemplates() {
    static const bool done = [] {
        Q_INIT_RESOURCE(templates);
        return true;
    }();
    (void)done;
}

QString Tcc::WorkingFolder() {
    return platform::applicationDataFolder() + QStringLiteral("/Quarrendell/");
}

void Tcc::PrepareTargetFile(const QString& targetPath, int formatIndex) {
    // A folder at the path is no file: creating the file there fails clearly.
    const QFileInfo info(targetPath);
    if (info.exists() && !info.isDir()) return;
    WriteTemplate(formatIndex == 1 ? QStringLiteral("mdb2000") : QStringLiteral("mdb95"),
                  targetPath);
}

void Tcc::WriteTemplate(const QString& resourceName, const QString& targetPath) {
    initTemplates();
    QFile resource(QStringLiteral(":/mdbfile/") + resourceName);
    if (!resource.open(QIODevice::ReadOnly))
        throw TFileCreateError(
            QStringLiteral("The empty database \"%1\" is missing from the program.")
                .arg(resourceName));
    const QByteArray bytes = resource.readAll();

    auto cannotCreate = [&](const QString& reason) {
        return TFileCreateError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(targetPath, reason));
    };
    // Complete or absent, even after a crash; a file that appeared since the
    // caller looked is not replaced.
    const std::string why = jet::writeNewFile(
        QFile::encodeName(targetPath).toStdString(),
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
         static_cast<std::size_t>(bytes.size())});
    if (!why.empty()) throw cannotCreate(QString::fromStdString(why));
}

void Tcc::OpenTarget(dbaccess::TAccessConnection& accconnection, const QString& targetPath) {
    accconnection.close();
    accconnection.setConnectionString(dbaccess::accessConnectionString(targetPath));
    accconnection.open();
}

// --- errors -----------------------------------------------------------------

QString ErrorText(const std::exception& error) {
    if (const auto* e = dynamic_cast<const dbaccess::TAccessError*>(&error)) return e->message();
    if (const auto* e = dynamic_cast<const dbaccess::TOracleError*>(&error)) return e->message();
    if (const auto* e = dynamic_cast<const TFileCreateError*>(&error)) return e->message();
    return QString::fromUtf8(error.what());
}

// --- table definition -------------------------------------------------------

namespace {

// Dictionary numbers: Null is below every number.
bool isNull(const TOracleValue& v) { return v.isNull(); }
bool atMost(const TOracleValue& v, double limit) { return v.isNull() || v.toDouble() <= limit; }
bool above(const TOracleValue& v, double limit) { return !v.isNull() && v.toDouble() > limit; }

std::optional<QString> numberTypeText(const TOracleValue& precision, const TOracleValue& scale) {
    const bool wholeNumber = isNull(scale) || scale.toDouble() == 0;
    if (wholeNumber)
        return atMost(precision, 9) ? QStringLiteral(" Integer") : QStringLiteral(" Double");
    const double s = scale.toDouble();
    if (s > 0 && s <= 4)
        return atMost(precision, 15) ? QStringLiteral(" Double") : QStringLiteral(" Text");
    if (s > 4) return QStringLiteral(" Text");
    // A negative scale.
    if (above(precision, 15)) return QStringLiteral(" Text");
    return std::nullopt;
}

}  // namespace

std::optional<QString> AccessTypeText(const QString& dataType, const TOracleValue& length,
                                      const TOracleValue& precision, const TOracleValue& scale,
                                      bool blobtotext) {
    if (dataType == u"NUMBER") return numberTypeText(precision, scale);
    if (dataType == u"VARCHAR2" || dataType == u"NVARCHAR2" || dataType == u"CHAR") {
        if (atMost(length, 250)) return QStringLiteral(" text(") + length.toText() + u')';
        return QStringLiteral(" Memo");
    }
    if (dataType == u"BLOB")
        return blobtotext ? QStringLiteral(" Memo") : QStringLiteral(" OleObject");
    if (dataType == u"CLOB" || dataType == u"NCLOB" || dataType == u"LONG" ||
        dataType == u"LONG RAW")
        return QStringLiteral(" Memo");
    if (dataType == u"DATE" || dataType == u"TIMESTAMP(6)" ||
        dataType == u"TIMESTAMP(6) WITH TIME ZONE" ||
        dataType == u"TIMESTAMP(6) WITH LOCAL TIME ZONE")
        return QStringLiteral(" Date");
    if (dataType == u"INTERVAL YEAR(2) TO MONTH" || dataType == u"INTERVAL DAY(2) TO SECOND(6)" ||
        dataType == u"BINARY_DOUBLE" || dataType == u"BINARY_FLOAT")
        return QStringLiteral(" text(20)");
    if (dataType == u"RAW") return QStringLiteral(" OleObject");
    return std::nullopt;
}

TStepResult Tcc::CreateTable(dbaccess::TOracleCursor& oracledataset,
                             dbaccess::TAccessCommand& accesssql, const QString& sourceName,
                             const QString& targetName, bool blobtotext) {
    TStepResult result;
    tmpmemo_.clear();
    oracledataset.close();
    // Quotes are doubled so that a name holding one stays one literal.
    oracledataset.setQuery(QStringLiteral("select * from user_tab_columns where table_name = '") +
                           OracleLiteralText(sourceName) + QStringLiteral("' order by column_id"));
    oracledataset.open();
    oracledataset.first();
    tmpmemo_.append(QStringLiteral("Create table [") + targetName + QStringLiteral("] ("));
    while (!oracledataset.atEnd()) {
        const QString name =
            AccessColumnName(oracledataset.valueByName(QStringLiteral("column_name")).toText());
        QString line = u'[' + name + u']';
        const std::optional<QString> type =
            AccessTypeText(oracledataset.valueByName(QStringLiteral("data_type")).toText(),
                           oracledataset.valueByName(QStringLiteral("data_length")),
                           oracledataset.valueByName(QStringLiteral("data_precision")),
                           oracledataset.valueByName(QStringLiteral("data_scale")), blobtotext);
        if (type) line += *type;
        oracledataset.next();
        if (!oracledataset.atEnd()) line += QStringLiteral(" , ");
        tmpmemo_.append(line);
    }
    tmpmemo_.append(QStringLiteral(" ) "));
    accesssql.setCommandText(tmpmemo_.join(QStringLiteral("\r\n")));
    try {
        accesssql.execute();
    } catch (const std::exception& e) {
        result.ok = false;
        result.failure = ErrorText(e);
    }
    return result;
}

// --- indexes ----------------------------------------------------------------

TStepResult Tcc::CreateIndexes(dbaccess::TOracleCursor& oracledataset,
                               dbaccess::TAccessCommand& accesssql, const QString& sourceName,
                               const QString& targetName) {
    TStepResult result;
    indexStatements_.clear();
    oracledataset.close();
    oracledataset.setQuery(
        QStringLiteral("select   i.index_name key_name,i.uniqueness,C.Column_Name "
                       "Column_name,c.column_position  Seq_in_index  from   user_indexes   "
                       "i,user_ind_columns   c   where   i.index_name=c.index_name   and   "
                       "i.table_name='") +
        OracleLiteralText(sourceName) +
        QStringLiteral("'   order   by     i.index_name,c.column_position"));
    oracledataset.open();
    oracledataset.first();

    QString buffer;
    auto send = [&] {
        buffer += u')';
        indexStatements_.append(buffer);
        accesssql.setCommandText(buffer);
        try {
            accesssql.execute();
        } catch (const std::exception& e) {
            result.ok = false;
            result.failure = ErrorText(e);
        }
        buffer.clear();
    };

    int rowCounter = 1;
    while (!oracledataset.atEnd()) {
        const TOracleValue& seq = oracledataset.valueByName(QStringLiteral("Seq_in_index"));
        const bool first = seq.isNumber() ? seq.toDouble() == 1 : seq.toText() == u"1";
        const bool unique =
            oracledataset.valueByName(QStringLiteral("uniqueness")).toText() == u"UNIQUE";
        // The index names the column that the table got, cut as it was cut.
        const QString column = AccessIndexColumn(
            AccessColumnName(oracledataset.valueByName(QStringLiteral("Column_name")).toText()));
        if (rowCounter > 1 && first) send();
        if (first) {
            const QString keyName = oracledataset.valueByName(QStringLiteral("key_name")).toText();
            if (unique)
                buffer += QStringLiteral("create UNIQUE index [") + keyName +
                          QStringLiteral("] on ") + targetName + QStringLiteral(" (") + column;
            else
                buffer += QStringLiteral("create index [") + keyName + QStringLiteral("] on [") +
                          targetName + QStringLiteral("] (") + column;
        } else {
            buffer += u',' + column;
        }
        oracledataset.next();
        ++rowCounter;
    }
    if (rowCounter > 1) send();
    oracledataset.close();
    return result;
}

// --- existence and drop -----------------------------------------------------

bool Tcc::TableExists(dbaccess::TAccessDataset& accdataset, const QString& name) {
    accdataset.close();
    accdataset.setCommandText(QStringLiteral("Select 1 from [") + name +
                              QStringLiteral("] where 1=0"));
    try {
        accdataset.open();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

TStepResult Tcc::DropTable(dbaccess::TAccessCommand& accesssql, const QString& name) {
    TStepResult result;
    accesssql.setCommandText(QStringLiteral("drop table [") + name + u']');
    try {
        accesssql.execute();
    } catch (const std::exception& e) {
        result.ok = false;
        result.failure = ErrorText(e);
    }
    return result;
}
