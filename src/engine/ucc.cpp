#include "engine/ucc.h"

#include <QFile>
#include <QFileInfo>

#include "dbaccess/accesstarget.h"
#include "jet/newfile.h"
#include "platform/appdata.h"

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
