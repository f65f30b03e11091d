#include "settings/settingfile.h"

TSettingFile TSettingFile::load(const QString& path) { return TSettingFile(ReadTextFile(path)); }

QString TSettingFile::value(const QString& key) const {
    for (const QString& line : lines_) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) continue;
        if (QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

namespace {

int requiredIndex(const TSettingFile& file, const char* key) {
    const std::optional<int> index = ParseSettingIndex(file.value(QLatin1String(key)));
    if (!index)
        throw TSettingFileError(
            QStringLiteral("The setting \"%1\" is missing or not a whole number.")
                .arg(QLatin1String(key)));
    return *index;
}

}  // namespace

void ApplySettingFile(const TSettingFile& file, TConversionSettings& settings) {
    const int accessmode = requiredIndex(file, "accessmode");
    const int accessformat = requiredIndex(file, "accessformat");
    const int processtable = requiredIndex(file, "processtable");
    auto text = [&](const char* key) { return file.value(QLatin1String(key)); };
    auto flag = [&](const char* key) { return ParseSettingFlag(text(key)); };

    settings.accessmode = ClampRadioIndex(accessmode, kAccessModeItems);
    settings.mysqldatabase = text("mysqldatabase");
    settings.mysqlu = text("mysqlu");
    settings.mysqlp = text("mysqlp");
    settings.host = text("host");
    settings.port = text("port");
    settings.oracleh = text("oracleh");
    settings.oracleu = text("oracleu");
    settings.oraclep = text("oraclep");
    settings.accessformat = ClampListIndex(accessformat, kAccessFormatItems);
    settings.accessfilename = text("accessfilename");
    settings.processtable = ClampRadioIndex(processtable, kProcessTableItems);
    settings.tabledefonly = flag("tabledefonly");
    settings.nameuppercase = flag("nameuppercase");
    settings.skipindex = flag("skipindex");
    settings.blobtotext = flag("blobtotext");
}

TTableChoice BatchTableChoice(const TSettingFile& file) {
    TTableChoice choice;
    if (file.value(QStringLiteral("alltables")) == QStringLiteral("1")) {
        choice.addAll = true;
        return choice;
    }
    for (qsizetype i = 0; i < file.lineCount(); ++i) {
        const QString name = file.value(QStringLiteral("tables%1").arg(i));
        if (!name.isEmpty()) choice.names << name;
    }
    return choice;
}

QStringList ChooseTables(const TTableChoice& choice, const QStringList& available) {
    if (choice.addAll) return available;
    QStringList remaining = available;
    QStringList chosen;
    for (const QString& name : choice.names) {
        const qsizetype at = remaining.indexOf(name);
        if (at < 0) continue;
        chosen << remaining.takeAt(at);
    }
    return chosen;
}

QStringList SettingFileLines(const TShortcutChoice& c) {
    const QString number = QStringLiteral("%1");
    QStringList lines = {
        QStringLiteral("oracleh=") + c.oracleh,
        QStringLiteral("oracleu=") + c.oracleu,
        QStringLiteral("oraclep=") + c.oraclep,
        QStringLiteral("accessmode=") + number.arg(c.accessmode),
        QStringLiteral("accessfilename=") + c.accessfilename,
        QStringLiteral("accessformat=") + number.arg(c.accessformat),
        QStringLiteral("processtable=") + number.arg(c.processtable),
        QStringLiteral("tabledefonly=") + FlagText(c.tabledefonly),
        QStringLiteral("skipindex=") + FlagText(c.skipindex),
        QStringLiteral("blobtotext=") + FlagText(c.blobtotext),
        QStringLiteral("alltables=") + number.arg(c.alltables),
    };
    if (c.alltables == 0) {
        for (qsizetype i = 0; i < c.tables.size(); ++i)
            lines << QStringLiteral("tables") + number.arg(i + 1) + u'=' + c.tables[i];
    }
    return lines;
}
