#pragma once

// Finds and loads the Oracle client library at run time, once per process.

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "dbaccess/ociapi.h"

namespace dbaccess::oci {

struct Api {
    OCIEnvNlsCreate_t envNlsCreate;
    OCIHandleAlloc_t handleAlloc;
    OCIHandleFree_t handleFree;
    OCIDescriptorAlloc_t descriptorAlloc;
    OCIDescriptorFree_t descriptorFree;
    OCIErrorGet_t errorGet;
    OCILogon2_t logon2;
    OCILogoff_t logoff;
    OCIStmtPrepare2_t stmtPrepare2;
    OCIStmtRelease_t stmtRelease;
    OCIStmtExecute_t stmtExecute;
    OCIParamGet_t paramGet;
    OCIAttrGet_t attrGet;
    OCIAttrSet_t attrSet;
    OCIDefineByPos_t defineByPos;
    OCIDefineDynamic_t defineDynamic;
    OCIStmtFetch2_t stmtFetch2;
    OCILobGetLength2_t lobGetLength2;
    OCILobRead2_t lobRead2;
    OCIDateTimeGetDate_t dateTimeGetDate;
    OCIDateTimeGetTime_t dateTimeGetTime;
    OCIDateTimeGetTimeZoneOffset_t dateTimeGetTimeZoneOffset;
};

// "libclntsh.so" on Linux, "oci.dll" on Windows.
QString clientLibraryName();

// Where the client is looked for, in order: the program's own folder, the
// system loader's search (bare names), then $ORACLE_HOME/lib ($ORACLE_HOME/bin
// on Windows); in each, the plain name and the versioned names Oracle ships.
QStringList clientCandidates(const QString& programFolder, const QString& oracleHome);

// The error text when no candidate loads: each candidate with the loader's
// reason (an empty reason: not found), and the cure for a missing libaio.
QString clientLoadFailure(const std::vector<std::pair<QString, QString>>& attempts);

// Opens the first candidate that loads and returns its handle (never closed);
// throws TOracleError with clientLoadFailure's text when none does.
void* openClientLibrary(const QStringList& candidates, QString* loaded = nullptr);

// The loaded entry points. Throws TOracleError naming the library and saying
// that Oracle Instant Client is needed when no client can be loaded; a later
// call tries again, so installing the client needs no restart.
const Api& api();

}  // namespace dbaccess::oci
