#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString invalidType(const QString& name) {
    return QStringLiteral("Invalid data type for '%1'").arg(name);
}

QString failedToSet(const QString& name) {
    return QStringLiteral("Failed to set data for '%1'").arg(name);
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The file must be owner-only before QSettings writes it: QSettings replaces
// the file by a new one that takes over the old one's permissions.
bool prepareOwnerOnlyFile(const QString& path) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return true;
#else
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) return false;
    QFile file(path);
    if (!info.exists()) {
        if (!file.open(QIODevice::WriteOnly, kOwnerOnly)) return false;
        file.close();
    }
    return file.setPermissions(kOwnerOnly);
#endif
}

}  // namespace

TQSettingsStore::TQSettingsStore() = default;

TQSettingsStore::TQSettingsStore(const QString& iniPath) : iniPath_(iniPath) {}

TQSettingsStore::~TQSettingsStore() = default;

QSettings& TQSettingsStore::settings() {
    if (!settings_)
        settings_ = iniPath_.isEmpty()
                        ? std::make_unique<QSettings>(QStringLiteral("Marrowline"),
                                                      QStringLiteral("Glimmerstack"))
                        : std::make_unique<QSettings>(iniPath_, QSettings::IniFormat);
    return *settings_;
}

QString TQSettingsStore::fileName() { return settings().fileName(); }

bool TQSettingsStore::openRead() {
    if (settings().status() != QSettings::NoError) return false;
#ifdef Q_OS_WIN
    return !settings().allKeys().isEmpty();
#else
    return QFileInfo::exists(settings().fileName());
#endif
}

bool TQSettingsStore::openWrite() {
    return prepareOwnerOnlyFile(fileName()) && settings().isWritable();
}

QString TQSettingsStore::readText(const QString& name) {
    const QVariant value = settings().value(name);
    if (!value.isValid()) return QString();
    if (value.typeId() != QMetaType::QString) throw TSettingsError(invalidType(name));
    return value.toString();
}

void TQSettingsStore::writeText(const QString& name, const QString& value) {
    if (!settings().isWritable()) throw TSettingsError(failedToSet(name));
    settings().setValue(name, value);
}

bool TQSettingsStore::close() {
    if (!settings_) return true;
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

namespace {

// An index value: a failed read or a failed conversion gives 0.
int readIndex(TSettingsStore& store, const QString& name, QStringList& problems) {
    try {
        return ParseSettingIndex(store.readText(name)).value_or(0);
    } catch (const TSettingsError& e) {
        problems << e.message();
        return 0;
    }
}

QString readText(TSettingsStore& store, const QString& name, QStringList& problems) {
    try {
        return store.readText(name);
    } catch (const TSettingsError& e) {
        problems << e.message();
        return QString();
    }
}

}  // namespace

QStringList LoadSettings(TSettingsStore& store, TConversionSettings& settings) {
    QStringList problems;
    if (!store.openRead()) return problems;

    auto text = [&](const char* name) { return readText(store, QLatin1String(name), problems); };
    auto index = [&](const char* name) { return readIndex(store, QLatin1String(name), problems); };
    auto flag = [&](const char* name) { return ParseSettingFlag(text(name)); };

    settings.accessmode = ClampRadioIndex(index("accessmode"), kAccessModeItems);
    settings.mysqldatabase = text("mysqldatabase");
    settings.mysqlu = text("mysqlu");
    settings.mysqlp = text("mysqlp");
    settings.host = text("host");
    settings.port = text("port");
    if (settings.port.isEmpty()) settings.port = QStringLiteral("3306");
    settings.defaultaccessdir = text("defaultaccessdir");
    settings.oracleh = text("oracleh");
    settings.oracleu = text("oracleu");
    settings.oraclep = text("oraclep");
    settings.processtable = ClampRadioIndex(index("processtable"), kProcessTableItems);
    settings.tabledefonly = flag("tabledefonly");
    settings.nameuppercase = flag("nameuppercase");
    settings.skipindex = flag("skipindex");
    settings.blobtotext = flag("blobtotext");
    settings.accessformat = ClampListIndex(index("accessformat"), kAccessFormatItems);
    store.close();
    return problems;
}

QString SaveSettings(TSettingsStore& store, const TConversionSettings& s) {
    if (!store.openWrite()) return QString();
    const QString number = QStringLiteral("%1");
    const std::pair<const char*, QString> values[] = {
        {"accessmode", number.arg(s.accessmode)},
        {"mysqldatabase", s.mysqldatabase},
        {"mysqlu", s.mysqlu},
        {"mysqlp", s.mysqlp},
        {"host", s.host},
        {"port", s.port},
        {"oracleh", s.oracleh},
        {"oraclep", s.oraclep},
        {"oracleu", s.oracleu},
        {"processtable", number.arg(s.processtable)},
        {"tabledefonly", FlagText(s.tabledefonly)},
        {"nameuppercase", FlagText(s.nameuppercase)},
        {"skipindex", FlagText(s.skipindex)},
        {"blobtotext", FlagText(s.blobtotext)},
    };
    try {
        for (const auto& [name, value] : values) store.writeText(QLatin1String(name), value);
        if (!s.accessfilename.isEmpty())
            store.writeText(QStringLiteral("defaultaccessdir"), FolderPart(s.accessfilename));
        store.writeText(QStringLiteral("accessformat"), number.arg(s.accessformat));
    } catch (const TSettingsError& e) {
        store.close();
        return e.message();
    }
    // The INI store keeps nothing until the end: if that fails, not even the
    // first value was set.
    if (!store.close()) return failedToSet(QStringLiteral("accessmode"));
    return QString();
}
