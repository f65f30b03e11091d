#pragma once

// The part of the Oracle Call Interface we call, declared from Oracle's public
// OCI documentation so that nothing of Oracle's is needed to build. The client
// library (libclntsh.so / oci.dll) is loaded at run time; see ocilibrary.h.

#include <cstddef>
#include <cstdint>

namespace dbaccess::oci {

using ub1 = std::uint8_t;
using sb1 = std::int8_t;
using ub2 = std::uint16_t;
using sb2 = std::int16_t;
using ub4 = std::uint32_t;
using sb4 = std::int32_t;
using oraub8 = std::uint64_t;
using sword = int;
using OraText = unsigned char;

// Opaque handles and descriptors.
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIDefine;
struct OCIParam;
struct OCISnapshot;
struct OCILobLocator;
struct OCIDateTime;

// Return codes.
inline constexpr sword OCI_SUCCESS = 0;
inline constexpr sword OCI_SUCCESS_WITH_INFO = 1;
inline constexpr sword OCI_NO_DATA = 100;
inline constexpr sword OCI_ERROR = -1;
inline constexpr sword OCI_INVALID_HANDLE = -2;
inline constexpr sword OCI_NEED_DATA = 99;
inline constexpr sb4 OCI_CONTINUE = -24200;

// Modes.
inline constexpr ub4 OCI_DEFAULT = 0;
inline constexpr ub4 OCI_THREADED = 1;
inline constexpr ub4 OCI_OBJECT = 2;  // needed by the OCIDateTime calls
inline constexpr ub4 OCI_NTV_SYNTAX = 1;
inline constexpr ub4 OCI_DYNAMIC_FETCH = 2;
inline constexpr ub2 OCI_FETCH_NEXT = 2;

// Handle and descriptor types.
inline constexpr ub4 OCI_HTYPE_ENV = 1;
inline constexpr ub4 OCI_HTYPE_ERROR = 2;
inline constexpr ub4 OCI_HTYPE_SVCCTX = 3;
inline constexpr ub4 OCI_HTYPE_STMT = 4;
inline constexpr ub4 OCI_HTYPE_DEFINE = 6;
inline constexpr ub4 OCI_DTYPE_LOB = 50;
inline constexpr ub4 OCI_DTYPE_PARAM = 53;
inline constexpr ub4 OCI_DTYPE_TIMESTAMP = 68;
inline constexpr ub4 OCI_DTYPE_TIMESTAMP_TZ = 69;
inline constexpr ub4 OCI_DTYPE_TIMESTAMP_LTZ = 70;

// Attributes.
inline constexpr ub4 OCI_ATTR_DATA_SIZE = 1;
inline constexpr ub4 OCI_ATTR_DATA_TYPE = 2;
inline constexpr ub4 OCI_ATTR_NAME = 4;
inline constexpr ub4 OCI_ATTR_TYPE_NAME = 8;  // of a named (object) type
inline constexpr ub4 OCI_ATTR_PREFETCH_ROWS = 11;
inline constexpr ub4 OCI_ATTR_PARAM_COUNT = 18;
inline constexpr ub4 OCI_ATTR_STMT_TYPE = 24;
inline constexpr ub4 OCI_ATTR_CHARSET_FORM = 32;
inline constexpr ub4 OCI_ATTR_ROWS_FETCHED = 197;
inline constexpr ub4 OCI_ATTR_LOBPREFETCH_SIZE = 439;    // define handle: bytes per locator
inline constexpr ub4 OCI_ATTR_LOBPREFETCH_LENGTH = 440;  // define handle: length and chunk size

inline constexpr ub2 OCI_STMT_SELECT = 1;

// Pieces of a piecewise fetch.
inline constexpr ub1 OCI_ONE_PIECE = 0;
inline constexpr ub1 OCI_FIRST_PIECE = 1;
inline constexpr ub1 OCI_NEXT_PIECE = 2;
inline constexpr ub1 OCI_LAST_PIECE = 3;

// Character set forms and ids.
inline constexpr ub1 SQLCS_IMPLICIT = 1;
inline constexpr ub1 SQLCS_NCHAR = 2;
inline constexpr ub2 AL32UTF8 = 873;

// External data types: as described (column types) and as defined (buffers).
inline constexpr ub2 SQLT_CHR = 1;   // VARCHAR2, NVARCHAR2
inline constexpr ub2 SQLT_NUM = 2;   // NUMBER, FLOAT
inline constexpr ub2 SQLT_STR = 5;   // null-terminated text
inline constexpr ub2 SQLT_VNU = 6;   // NUMBER with a length byte
inline constexpr ub2 SQLT_LNG = 8;   // LONG
inline constexpr ub2 SQLT_RID = 11;  // ROWID
inline constexpr ub2 SQLT_DAT = 12;  // DATE, 7 bytes
inline constexpr ub2 SQLT_BFLOAT = 21;
inline constexpr ub2 SQLT_BDOUBLE = 22;
inline constexpr ub2 SQLT_BIN = 23;  // RAW
inline constexpr ub2 SQLT_LBI = 24;  // LONG RAW
inline constexpr ub2 SQLT_AFC = 96;  // CHAR, NCHAR
inline constexpr ub2 SQLT_IBFLOAT = 100;
inline constexpr ub2 SQLT_IBDOUBLE = 101;
inline constexpr ub2 SQLT_RDD = 104;  // ROWID descriptor
inline constexpr ub2 SQLT_NTY = 108;  // object types, XMLType, collections
inline constexpr ub2 SQLT_REF = 110;
inline constexpr ub2 SQLT_CLOB = 112;
inline constexpr ub2 SQLT_BLOB = 113;
inline constexpr ub2 SQLT_BFILE = 114;
inline constexpr ub2 SQLT_RSET = 116;  // a cursor expression
inline constexpr ub2 SQLT_JSON = 119;
inline constexpr ub2 SQLT_VEC = 127;
inline constexpr ub2 SQLT_TIMESTAMP = 187;
inline constexpr ub2 SQLT_TIMESTAMP_TZ = 188;
inline constexpr ub2 SQLT_INTERVAL_YM = 189;
inline constexpr ub2 SQLT_INTERVAL_DS = 190;
inline constexpr ub2 SQLT_UROWID = 208;
inline constexpr ub2 SQLT_TIMESTAMP_LTZ = 232;

inline constexpr sb4 SB4MAXVAL = 0x7FFFFFFF;

using OCICallbackDefine = sb4 (*)(void* octxp, OCIDefine* defnp, ub4 iter, void** bufpp,
                                  ub4** alenpp, ub1* piecep, void** indpp, ub2** rcodep);

// The functions, as pointer types: one line per entry point we load.
extern "C" {
using OCIEnvNlsCreate_t = sword (*)(OCIEnv** envhpp, ub4 mode, void* ctxp,
                                    void* (*malocfp)(void*, size_t),
                                    void* (*ralocfp)(void*, void*, size_t),
                                    void (*mfreefp)(void*, void*), size_t xtramemsz,
                                    void** usrmempp, ub2 charset, ub2 ncharset);
using OCIHandleAlloc_t = sword (*)(const void* parenth, void** hndlpp, ub4 type, size_t xtramem_sz,
                                   void** usrmempp);
using OCIHandleFree_t = sword (*)(void* hndlp, ub4 type);
using OCIDescriptorAlloc_t = sword (*)(const void* parenth, void** descpp, ub4 type,
                                       size_t xtramem_sz, void** usrmempp);
using OCIDescriptorFree_t = sword (*)(void* descp, ub4 type);
using OCIErrorGet_t = sword (*)(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep,
                                OraText* bufp, ub4 bufsiz, ub4 type);
using OCILogon2_t = sword (*)(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp,
                              const OraText* username, ub4 uname_len, const OraText* password,
                              ub4 passwd_len, const OraText* dbname, ub4 dbname_len, ub4 mode);
using OCILogoff_t = sword (*)(OCISvcCtx* svchp, OCIError* errhp);
using OCIStmtPrepare2_t = sword (*)(OCISvcCtx* svchp, OCIStmt** stmthp, OCIError* errhp,
                                    const OraText* stmttext, ub4 stmt_len, const OraText* key,
                                    ub4 keylen, ub4 language, ub4 mode);
using OCIStmtRelease_t = sword (*)(OCIStmt* stmthp, OCIError* errhp, const OraText* key, ub4 keylen,
                                   ub4 mode);
using OCIStmtExecute_t = sword (*)(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters,
                                   ub4 rowoff, const OCISnapshot* snap_in, OCISnapshot* snap_out,
                                   ub4 mode);
using OCIParamGet_t = sword (*)(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp,
                                ub4 pos);
using OCIAttrGet_t = sword (*)(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                               ub4 attrtype, OCIError* errhp);
using OCIAttrSet_t = sword (*)(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size,
                               ub4 attrtype, OCIError* errhp);
using OCIDefineByPos_t = sword (*)(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* errhp,
                                   ub4 position, void* valuep, sb4 value_sz, ub2 dty, void* indp,
                                   ub2* rlenp, ub2* rcodep, ub4 mode);
using OCIDefineDynamic_t = sword (*)(OCIDefine* defnp, OCIError* errhp, void* octxp,
                                     OCICallbackDefine ocbfp);
using OCIStmtFetch2_t = sword (*)(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation,
                                  sb4 fetchOffset, ub4 mode);
using OCILobGetLength2_t = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp,
                                     oraub8* lenp);
using OCILobRead2_t = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp,
                                oraub8* byte_amtp, oraub8* char_amtp, oraub8 offset, void* bufp,
                                oraub8 bufl, ub1 piece, void* ctxp, void* cbfp, ub2 csid,
                                ub1 csfrm);
using OCIDateTimeGetDate_t = sword (*)(void* hndl, OCIError* err, const OCIDateTime* datetime,
                                       sb2* year, ub1* month, ub1* day);
using OCIDateTimeGetTime_t = sword (*)(void* hndl, OCIError* err, OCIDateTime* datetime, ub1* hour,
                                       ub1* min, ub1* sec, ub4* fsec);
using OCIDateTimeGetTimeZoneOffset_t = sword (*)(void* hndl, OCIError* err,
                                                 const OCIDateTime* datetime, sb1* hour, sb1* min);
}

}  // namespace dbaccess::oci
