#include "dbaccess/ocilibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <memory>
#include <mutex>

#include "dbaccess/oracledriver.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace dbaccess::oci {

namespace {

#ifdef _WIN32
using Handle = HMODULE;
Handle openLibrary(const QString& path, QString& error) {
    Handle h = LoadLibraryW(reinterpret_cast<const wchar_t*>(path.utf16()));
    if (!h) error = QStringLiteral("Windows error %1").arg(GetLastError());
    return h;
}
void* symbol(Handle h, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(h, name));
}
#else
using Handle = void*;
// Lazy binding: the client's own dependencies resolve as they are used, as
// Oracle's clients load it.
Handle openLibrary(const QString& path, QString& error) {
    Handle h = dlopen(QFile::encodeName(path).constData(), RTLD_LAZY | RTLD_LOCAL);
    if (!h) error = QString::fromLocal8Bit(dlerror());
    return h;
}
void* symbol(Handle h, const char* name) { return dlsym(h, name); }
#endif

// The names Oracle ships the client under: the plain name, which only a full
// client or a hand-made link provides, then the versioned names of Instant
// Client releases.
QStringList libraryNames() {
#ifdef _WIN32
    return {QStringLiteral("oci.dll")};
#else
    QStringList names = {QStringLiteral("libclntsh.so")};
    for (const char* version : {"23.1", "21.1", "20.1", "19.1", "18.1", "12.1", "11.1"})
        names << QStringLiteral("libclntsh.so.") + QLatin1String(version);
    return names;
#endif
}

QString programFolder() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
#ifdef _WIN32
    return QString();
#else
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return program.isEmpty() ? QString() : QFileInfo(program).absolutePath();
#endif
}

// A candidate that simply is not there, as opposed to one that failed to load.
bool isMissing(const QString& candidate, const QString& reason) {
    return reason.startsWith(candidate + QLatin1Char(':')) &&
           reason.contains(QLatin1String("No such file or directory"));
}

template <typename T>
void bind(Handle h, T& slot, const char* name, QStringList& missing) {
    slot = reinterpret_cast<T>(symbol(h, name));
    if (!slot) missing << QLatin1String(name);
}

std::unique_ptr<Api> load() {
    const QStringList candidates =
        clientCandidates(programFolder(), qEnvironmentVariable("ORACLE_HOME"));
    QString loaded;
    auto h = static_cast<Handle>(openClientLibrary(candidates, &loaded));
    auto api = std::make_unique<Api>();
    QStringList missing;
    bind(h, api->envNlsCreate, "OCIEnvNlsCreate", missing);
    bind(h, api->handleAlloc, "OCIHandleAlloc", missing);
    bind(h, api->handleFree, "OCIHandleFree", missing);
    bind(h, api->descriptorAlloc, "OCIDescriptorAlloc", missing);
    bind(h, api->descriptorFree, "OCIDescriptorFree", missing);
    bind(h, api->errorGet, "OCIErrorGet", missing);
    bind(h, api->logon2, "OCILogon2", missing);
    bind(h, api->logoff, "OCILogoff", missing);
    bind(h, api->stmtPrepare2, "OCIStmtPrepare2", missing);
    bind(h, api->stmtRelease, "OCIStmtRelease", missing);
    bind(h, api->stmtExecute, "OCIStmtExecute", missing);
    bind(h, api->paramGet, "OCIParamGet", missing);
    bind(h, api->attrGet, "OCIAttrGet", missing);
    bind(h, api->attrSet, "OCIAttrSet", missing);
    bind(h, api->defineByPos, "OCIDefineByPos", missing);
    bind(h, api->defineDynamic, "OCIDefineDynamic", missing);
    bind(h, api->stmtFetch2, "OCIStmtFetch2", missing);
    bind(h, api->lobGetLength2, "OCILobGetLength2", missing);
    bind(h, api->lobRead2, "OCILobRead2", missing);
    bind(h, api->dateTimeGetDate, "OCIDateTimeGetDate", missing);
    bind(h, api->dateTimeGetTime, "OCIDateTimeGetTime", missing);
    bind(h, api->dateTimeGetTimeZoneOffset, "OCIDateTimeGetTimeZoneOffset", missing);
    if (!missing.isEmpty()) {
        // The library stays loaded: unloading an Oracle client is not safe.
        throw TOracleError(QStringLiteral("The Oracle client library %1 lacks %2; Oracle "
                                          "Instant Client 11.2 or later is needed")
                               .arg(loaded, missing.join(QStringLiteral(", "))));
    }
    return api;
}

}  // namespace

QStringList clientCandidates(const QString& programFolder, const QString& oracleHome) {
    const QStringList names = libraryNames();
    QStringList list;
    if (!programFolder.isEmpty())
        for (const QString& name : names) list << QDir(programFolder).filePath(name);
    list << names;  // the system loader's own search: LD_LIBRARY_PATH, its cache, /usr/lib...
    if (!oracleHome.isEmpty()) {
#ifdef _WIN32
        const QString folder = QDir(oracleHome).filePath(QStringLiteral("bin"));
#else
        const QString folder = QDir(oracleHome).filePath(QStringLiteral("lib"));
#endif
        for (const QString& name : names) list << QDir(folder).filePath(name);
    }
    return list;
}

QString clientLoadFailure(const std::vector<std::pair<QString, QString>>& attempts) {
    QStringList missing;
    QStringList failed;
    bool libaio = false;
    for (const auto& [candidate, reason] : attempts) {
        if (reason.isEmpty() || isMissing(candidate, reason)) {
            missing << candidate;
        } else {
            failed << QStringLiteral("%1 (%2)").arg(candidate, reason);
            libaio = libaio || reason.contains(QLatin1String("libaio"));
        }
    }
    QString text =
        QStringLiteral("Cannot load the Oracle client library %1.").arg(clientLibraryName());
    if (!failed.isEmpty())
        text += QStringLiteral(" Found but not loaded: %1.").arg(failed.join(QStringLiteral("; ")));
    if (!missing.isEmpty())
        text += QStringLiteral(" Not found: %1.").arg(missing.join(QStringLiteral(", ")));
    if (libaio)
        text += QStringLiteral(
            " The client needs the asynchronous I/O library libaio: install "
            "the libaio package (libaio1, or libaio1t64 on newer systems).");
    text += QStringLiteral(
        " Oracle Instant Client is needed to connect to Oracle; install it "
        "beside this program, in $ORACLE_HOME/lib, or in a folder the system "
        "loader searches (for example one named in LD_LIBRARY_PATH)");
    return text;
}

void* openClientLibrary(const QStringList& candidates, QString* loaded) {
    std::vector<std::pair<QString, QString>> attempts;
    for (const QString& candidate : candidates) {
        // A path that is not there needs no loader to say so.
        if (candidate.contains(QLatin1Char('/')) && !QFileInfo::exists(candidate)) {
            attempts.emplace_back(candidate, QString());
            continue;
        }
        QString error;
        if (Handle h = openLibrary(candidate, error)) {
            if (loaded) *loaded = candidate;
            return reinterpret_cast<void*>(h);
        }
        attempts.emplace_back(candidate, error);
    }
    throw TOracleError(clientLoadFailure(attempts));
}

QString clientLibraryName() {
#ifdef _WIN32
    return QStringLiteral("oci.dll");
#else
    return QStringLiteral("libclntsh.so");
#endif
}

const Api& api() {
    static std::mutex mutex;
    static std::unique_ptr<Api> loaded;
    std::lock_guard lock(mutex);
    if (!loaded) loaded = load();
    return *loaded;
}

}  // namespace dbaccess::oci
