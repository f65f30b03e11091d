#include "dbaccess/ocilibrary.h"

#include <QDir>
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
// Instant Client's folder is on PATH; a full client keeps oci.dll in bin.
QStringList candidates() {
    QStringList list = {QStringLiteral("oci.dll")};
    const QString home = qEnvironmentVariable("ORACLE_HOME");
    if (!home.isEmpty()) list << QDir(home).filePath(QStringLiteral("bin/oci.dll"));
    return list;
}
#else
using Handle = void*;
Handle openLibrary(const QString& path, QString& error) {
    Handle h = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!h) error = QString::fromLocal8Bit(dlerror());
    return h;
}
void* symbol(Handle h, const char* name) { return dlsym(h, name); }
// The bare name is searched the way the system loader searches (LD_LIBRARY_PATH,
// the loader cache, the default folders); then a full client's ORACLE_HOME.
// Instant Client installed by package often has only the versioned name.
QStringList candidates() {
    QStringList list = {QStringLiteral("libclntsh.so")};
    const QString home = qEnvironmentVariable("ORACLE_HOME");
    if (!home.isEmpty()) {
        list << QDir(home).filePath(QStringLiteral("lib/libclntsh.so"))
             << QDir(home).filePath(QStringLiteral("libclntsh.so"));
    }
    for (const char* version : {"23.1", "21.1", "19.1", "18.1", "12.1", "11.1"})
        list << QStringLiteral("libclntsh.so.") + QLatin1String(version);
    return list;
}
#endif

template <typename T>
void bind(Handle h, T& slot, const char* name, QStringList& missing) {
    slot = reinterpret_cast<T>(symbol(h, name));
    if (!slot) missing << QLatin1String(name);
}

std::unique_ptr<Api> load() {
    QString firstError;
    Handle h = nullptr;
    QString loaded;
    for (const QString& candidate : candidates()) {
        QString error;
        h = openLibrary(candidate, error);
        if (h) {
            loaded = candidate;
            break;
        }
        if (firstError.isEmpty()) firstError = error;
    }
    if (!h) {
        QString where = QStringLiteral("on the system library path");
        if (!qEnvironmentVariable("ORACLE_HOME").isEmpty())
            where += QStringLiteral(" and in $ORACLE_HOME");
        throw TOracleError(
            QStringLiteral("Cannot load the Oracle client library %1 (looked for it %2: %3). "
                           "Oracle Instant Client is needed to connect to Oracle; install it and "
                           "make its folder known to the system loader (for example with "
                           "LD_LIBRARY_PATH)")
                .arg(clientLibraryName(), where, firstError));
    }
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
