#pragma once

// Finds and loads the Oracle client library at run time, once per process.

#include <QString>

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

// The loaded entry points. Throws TOracleError naming the library and saying
// that Oracle Instant Client is needed when no client can be loaded; a later
// call tries again, so installing the client needs no restart.
const Api& api();

}  // namespace dbaccess::oci
