#include "settings/conversionsettings.h"

#include <limits>

TRunSettings TConversionSettings::toRunSettings() const {
    TRunSettings run;
    run.processtable = processtable;
    run.tabledefonly = tabledefonly;
    run.skipindex = skipindex;
    run.blobtotext = blobtotext;
    run.nameuppercase = nameuppercase;
    run.accessformat = accessformat;
    run.accessfilename = accessfilename;
    return run;
}

std::optional<int> ParseSettingIndex(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

int ClampRadioIndex(int index, int items) {
    if (index < kNoItem) return kNoItem;
    if (index >= items) return items - 1;
    return index;
}

int ClampListIndex(int index, int items) { return index >= 0 && index < items ? index : kNoItem; }

QString FolderPart(const QString& path) {
    qsizetype cut = -1;
#ifdef Q_OS_WIN
    for (qsizetype i = 0; i < path.size(); ++i)
        if (path[i] == u'\\' || path[i] == u':' || path[i] == u'/') cut = i;
#else
    cut = path.lastIndexOf(u'/');
    if (cut < 0) {
        for (qsizetype i = 0; i < path.size(); ++i)
            if (path[i] == u'\\' || path[i] == u':') cut = i;
    }
#endif
    return cut < 0 ? QString() : path.left(cut + 1);
}

QString TargetDialogFolder(const TConversionSettings& settings, const QString& workingFolder) {
    return settings.defaultaccessdir.isEmpty() ? workingFolder : settings.defaultaccessdir;
}
