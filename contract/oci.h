// The Oracle Call Interface as the plug-in and the embedded client see it:
// types, constants, callback types and the prototypes of the functions the
// plug-in calls, with Oracle's published ABI on 32-bit x86 (Win32 and Linux
// i686). Pure contract: no logic lives here. Every prototype is __cdecl, as
// Oracle's headers compile by default, and is written so explicitly so that a
// build with another default convention cannot change it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cdecl.h"

extern "C" {

// ---- Scalar types ---------------------------------------------------------
typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef signed short sb2;
typedef unsigned int ub4;
typedef signed int sb4;
typedef signed int sword;
typedef unsigned int uword;
typedef unsigned char OraText;
typedef ub2 OCIDuration;
typedef ub2 OCITypeCode;
typedef sb2 OCIInd;
// OCI's boolean is a 4-byte int. It is not the 1-byte boolean of the Windows
// headers; this name keeps the two apart.
typedef int OCIBoolean;
enum OCIRefreshOpt { OCI_REFRESH_LOADED = 1 };

// ---- Structures -------------------------------------------------------------
struct OCITime {
  ub1 OCITimeHH;
  ub1 OCITimeMI;
  ub1 OCITimeSS;
};
struct OCIDate {
  sb2 OCIDateYYYY;
  ub1 OCIDateMM;
  ub1 OCIDateDD;
  OCITime OCIDateTime;
};
#define OCI_NUMBER_SIZE 22
struct OCINumber {
  ub1 OCINumberPart[OCI_NUMBER_SIZE];
};

// ---- Opaque handles, descriptors and object types -------------------------
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIBind;
struct OCIDefine;
struct OCIDescribe;
struct OCIServer;
struct OCISession;
struct OCITrans;
struct OCIComplexObject;
struct OCISnapshot;
struct OCIParam;
struct OCIComplexObjectComp;
struct OCIRowid;
struct OCILobLocator;
struct OCIRef;
struct OCIRaw;
struct OCIString;
struct OCIType;
struct OCIColl;
struct OCIIter;
typedef OCIColl OCIArray;
typedef OCIColl OCITable;

// ---- Callbacks handed to OCI ----------------------------------------------
typedef sb4(__cdecl *OCICallbackInBind)(void *ictxp, OCIBind *bindp, ub4 iter, ub4 index,
                                         void **bufpp, ub4 *alenp, ub1 *piecep, void **indp);
typedef sb4(__cdecl *OCICallbackOutBind)(void *octxp, OCIBind *bindp, ub4 iter, ub4 index,
                                          void **bufpp, ub4 **alenp, ub1 *piecep, void **indp,
                                          ub2 **rcodep);
typedef sb4(__cdecl *OCICallbackDefine)(void *octxp, OCIDefine *defnp, ub4 iter, void **bufpp,
                                         ub4 **alenp, ub1 *piecep, void **indp, ub2 **rcodep);
typedef sb4(__cdecl *OCICallbackLobRead)(void *ctxp, const void *bufp, ub4 len, ub1 piece);
typedef sb4(__cdecl *OCICallbackLobWrite)(void *ctxp, void *bufp, ub4 *lenp, ub1 *piece);
typedef sb4(__cdecl *OCICallbackFailover)(void *svcctx, void *envctx, void *fo_ctx, ub4 fo_type,
                                           ub4 fo_event);
struct OCIFocbkStruct {
  OCICallbackFailover callback_function;
  void *fo_ctx;
};

// ---- Statuses ---------------------------------------------------------------
#define OCI_SUCCESS 0
#define OCI_SUCCESS_WITH_INFO 1
#define OCI_NEED_DATA 99
#define OCI_NO_DATA 100
#define OCI_ERROR (-1)
#define OCI_INVALID_HANDLE (-2)
#define OCI_STILL_EXECUTING (-3123)
#define OCI_CONTINUE (-24200)

// ---- Handle and descriptor types -------------------------------------------
#define OCI_HTYPE_ENV 1
#define OCI_HTYPE_ERROR 2
#define OCI_HTYPE_SVCCTX 3
#define OCI_HTYPE_STMT 4
#define OCI_HTYPE_BIND 5
#define OCI_HTYPE_DEFINE 6
#define OCI_HTYPE_DESCRIBE 7
#define OCI_HTYPE_SERVER 8
#define OCI_HTYPE_SESSION 9
#define OCI_HTYPE_AUTHINFO 9
#define OCI_HTYPE_TRANS 10
#define OCI_HTYPE_COMPLEXOBJECT 11
#define OCI_HTYPE_SECURITY 12
#define OCI_HTYPE_SUBSCRIPTION 13
#define OCI_HTYPE_DIRPATH_CTX 14
#define OCI_HTYPE_DIRPATH_COLUMN_ARRAY 15
#define OCI_HTYPE_DIRPATH_STREAM 16
#define OCI_HTYPE_PROC 17
#define OCI_HTYPE_CPOOL 26
#define OCI_HTYPE_SPOOL 27
#define OCI_HTYPE_ADMIN 28
#define OCI_HTYPE_EVENT 29

#define OCI_DTYPE_LOB 50
#define OCI_DTYPE_SNAP 51
#define OCI_DTYPE_RSET 52
#define OCI_DTYPE_PARAM 53
#define OCI_DTYPE_ROWID 54
#define OCI_DTYPE_COMPLEXOBJECTCOMP 55
#define OCI_DTYPE_FILE 56
#define OCI_DTYPE_AQENQ_OPTIONS 57
#define OCI_DTYPE_AQDEQ_OPTIONS 58
#define OCI_DTYPE_AQMSG_PROPERTIES 59
#define OCI_DTYPE_AQAGENT 60
#define OCI_DTYPE_LOCATOR 61
#define OCI_DTYPE_INTERVAL_YM 62
#define OCI_DTYPE_INTERVAL_DS 63
#define OCI_DTYPE_AQNFY_DESCRIPTOR 64
#define OCI_DTYPE_DATE 65
#define OCI_DTYPE_TIME 66
#define OCI_DTYPE_TIME_TZ 67
#define OCI_DTYPE_TIMESTAMP 68
#define OCI_DTYPE_TIMESTAMP_TZ 69
#define OCI_DTYPE_TIMESTAMP_LTZ 70
#define OCI_DTYPE_UCB 71
#define OCI_DTYPE_SRVDN 72

// ---- External data types ----------------------------------------------------
#define SQLT_CHR 1
#define SQLT_NUM 2
#define SQLT_INT 3
#define SQLT_FLT 4
#define SQLT_STR 5
#define SQLT_VNU 6
#define SQLT_PDN 7
#define SQLT_LNG 8
#define SQLT_VCS 9
#define SQLT_NON 10
#define SQLT_RID 11
#define SQLT_DAT 12
#define SQLT_VBI 15
#define SQLT_BFLOAT 21
#define SQLT_BDOUBLE 22
#define SQLT_BIN 23
#define SQLT_LBI 24
#define SQLT_UIN 68
#define SQLT_SLS 91
#define SQLT_LVC 94
#define SQLT_LVB 95
#define SQLT_AFC 96
#define SQLT_AVC 97
#define SQLT_IBFLOAT 100
#define SQLT_IBDOUBLE 101
#define SQLT_CUR 102
#define SQLT_RDD 104
#define SQLT_LAB 105
#define SQLT_OSL 106
#define SQLT_NTY 108
#define SQLT_REF 110
#define SQLT_CLOB 112
#define SQLT_BLOB 113
#define SQLT_BFILEE 114
#define SQLT_CFILEE 115
#define SQLT_RSET 116
#define SQLT_NCO 122
#define SQLT_VST 155
#define SQLT_ODT 156
#define SQLT_DATE 184
#define SQLT_TIME 185
#define SQLT_TIME_TZ 186
#define SQLT_TIMESTAMP 187
#define SQLT_TIMESTAMP_TZ 188
#define SQLT_INTERVAL_YM 189
#define SQLT_INTERVAL_DS 190
#define SQLT_TIMESTAMP_LTZ 232
#define SQLT_FILE SQLT_BFILEE
#define SQLT_BFILE SQLT_BFILEE
#define SQLT_CFILE SQLT_CFILEE

// ---- Character set forms ----------------------------------------------------
#define SQLCS_IMPLICIT 1
#define SQLCS_NCHAR 2

// ---- Modes ------------------------------------------------------------------
#define OCI_DEFAULT 0x00000000
#define OCI_THREADED 0x00000001
#define OCI_OBJECT 0x00000002
#define OCI_NTV_SYNTAX 1
#define OCI_BATCH_MODE 0x01
#define OCI_EXACT_FETCH 0x02
#define OCI_DESCRIBE_ONLY 0x10
#define OCI_COMMIT_ON_SUCCESS 0x20
#define OCI_SB2_IND_PTR 0x01
#define OCI_DATA_AT_EXEC 0x02
#define OCI_DYNAMIC_FETCH 0x02
#define OCI_PIECEWISE 0x04
#define OCI_FETCH_CURRENT 0x01
#define OCI_FETCH_NEXT 0x02
#define OCI_ONE_PIECE 0
#define OCI_FIRST_PIECE 1
#define OCI_NEXT_PIECE 2
#define OCI_LAST_PIECE 3
#define OCI_CRED_RDBMS 1
#define OCI_CRED_EXT 2
#define OCI_TRANS_NEW 0x00000001
#define OCI_TRANS_TWOPHASE 0x01000000
#define OCI_OTYPE_NAME 1
#define OCI_OTYPE_REF 2
#define OCI_OTYPE_PTR 3
#define OCI_IND_NOTNULL 0
#define OCI_IND_NULL (-1)
#define OCI_ERROR_MAXMSG_SIZE 1024
#define OCI_DURATION_SESSION 10
#define OCI_TEMP_BLOB 1
#define OCI_TEMP_CLOB 2
#define OCI_FILE_READONLY 1
#define OCI_LOB_BUFFER_FREE 1
#define OCI_LOB_BUFFER_NOFREE 2

// ---- Attributes ---------------------------------------------------------------
#define OCI_ATTR_FNCODE 1
#define OCI_ATTR_DATA_SIZE 1
#define OCI_ATTR_OBJECT 2
#define OCI_ATTR_DATA_TYPE 2
#define OCI_ATTR_NONBLOCKING_MODE 3
#define OCI_ATTR_SQLCODE 4
#define OCI_ATTR_NAME 4
#define OCI_ATTR_ENV 5
#define OCI_ATTR_PRECISION 5
#define OCI_ATTR_SERVER 6
#define OCI_ATTR_SCALE 6
#define OCI_ATTR_SESSION 7
#define OCI_ATTR_IS_NULL 7
#define OCI_ATTR_TRANS 8
#define OCI_ATTR_ROW_COUNT 9
#define OCI_ATTR_PREFETCH_ROWS 11
#define OCI_ATTR_PARAM_COUNT 18
#define OCI_ATTR_ROWID 19
#define OCI_ATTR_USERNAME 22
#define OCI_ATTR_PASSWORD 23
#define OCI_ATTR_STMT_TYPE 24
#define OCI_ATTR_XID 27
#define OCI_ATTR_CHARSET_ID 31
#define OCI_ATTR_CHARSET_FORM 32
#define OCI_ATTR_PARAM 124
#define OCI_ATTR_SERVER_STATUS 143
#define OCI_ATTR_TYPE_NAME 8
#define OCI_ATTR_SCHEMA_NAME 9
#define OCI_ATTR_POSITION 11
#define OCI_ATTR_PREFETCH_MEMORY 13
#define OCI_ATTR_INTERNAL_NAME 25
#define OCI_ATTR_EXTERNAL_NAME 26
#define OCI_ATTR_TRANS_NAME 29
#define OCI_ATTR_ENV_CHARSET_ID 31
#define OCI_ATTR_CACHE_OPT_SIZE 34
#define OCI_ATTR_CACHE_MAX_SIZE 35
#define OCI_ATTR_PINOPTION 36
#define OCI_ATTR_ALLOC_DURATION 37
#define OCI_ATTR_PIN_DURATION 38
#define OCI_ATTR_FOCBK 43
#define OCI_ATTR_NUM_COLS 102
#define OCI_ATTR_LIST_COLUMNS 103
#define OCI_ATTR_MIN 112
#define OCI_ATTR_MAX 113
#define OCI_ATTR_INCR 114
#define OCI_ATTR_CACHE 115
#define OCI_ATTR_ORDER 116
#define OCI_ATTR_HW_MARK 117
#define OCI_ATTR_TIMESTAMP 119
#define OCI_ATTR_NUM_PARAMS 121
#define OCI_ATTR_OBJID 122
#define OCI_ATTR_PTYPE 123
#define OCI_ATTR_OBJ_NAME 134
#define OCI_ATTR_OBJ_SCHEMA 135
#define OCI_ATTR_TRANS_TIMEOUT 142
#define OCI_ATTR_STATEMENT 144
#define OCI_ATTR_BIND_COUNT 190
#define OCI_ATTR_ROWS_FETCHED 197
#define OCI_ATTR_CHAR_USED 285
#define OCI_ATTR_CHAR_SIZE 286
#define OCI_ATTR_DML_ROW_OFFSET 74
#define OCI_ATTR_SQLFNCODE 10

// ---- Statement types (OCI_ATTR_STMT_TYPE) ----------------------------------------
#define OCI_STMT_UNKNOWN 0
#define OCI_STMT_SELECT 1
#define OCI_STMT_UPDATE 2
#define OCI_STMT_DELETE 3
#define OCI_STMT_INSERT 4
#define OCI_STMT_CREATE 5
#define OCI_STMT_DROP 6
#define OCI_STMT_ALTER 7
#define OCI_STMT_BEGIN 8
#define OCI_STMT_DECLARE 9
#define OCI_STMT_CALL 10
#define OCI_STMT_MERGE 16

// ---- Describe parameter types (OCI_ATTR_PTYPE) --------------------------------
#define OCI_PTYPE_UNK 0
#define OCI_PTYPE_TABLE 1
#define OCI_PTYPE_VIEW 2
#define OCI_PTYPE_SEQ 8
#define OCI_PTYPE_COL 9
#define OCI_PTYPE_LIST 11

// ---- The functions ------------------------------------------------------------
sword __cdecl OCIEnvCreate(OCIEnv **envp, ub4 mode, void *ctxp, void *(__cdecl *malocfp)(void *ctxp, size_t size), void *(__cdecl *ralocfp)(void *ctxp, void *memptr, size_t newsize), void (__cdecl *mfreefp)(void *ctxp, void *memptr), size_t xtramem_sz, void **usrmempp);
sword __cdecl OCITerminate(ub4 mode);
sword __cdecl OCIHandleAlloc(const void *parenth, void **hndlpp, const ub4 type, const size_t xtramem_sz, void **usrmempp);
sword __cdecl OCIHandleFree(void *hndlp, const ub4 type);
sword __cdecl OCIDescriptorAlloc(const void *parenth, void **descpp, const ub4 type, const size_t xtramem_sz, void **usrmempp);
sword __cdecl OCIDescriptorFree(void *descp, const ub4 type);
sword __cdecl OCIAttrGet(const void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 *sizep, ub4 attrtype, OCIError *errhp);
sword __cdecl OCIAttrSet(void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size, ub4 attrtype, OCIError *errhp);
sword __cdecl OCIParamGet(const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp, ub4 pos);
sword __cdecl OCIParamSet(void *hdlp, ub4 htyp, OCIError *errhp, const void *dscp, ub4 dtyp, ub4 pos);
sword __cdecl OCIDescribeAny(OCISvcCtx *svchp, OCIError *errhp, void *objptr, ub4 objnm_len, ub1 objptr_typ, ub1 info_level, ub1 objtyp, OCIDescribe *dschp);
sword __cdecl OCIErrorGet(void *hndlp, ub4 recordno, OraText *sqlstate, sb4 *errcodep, OraText *bufp, ub4 bufsiz, ub4 type);
sword __cdecl OCIServerAttach(OCIServer *srvhp, OCIError *errhp, const OraText *dblink, sb4 dblink_len, ub4 mode);
sword __cdecl OCIServerDetach(OCIServer *srvhp, OCIError *errhp, ub4 mode);
sword __cdecl OCISessionBegin(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 credt, ub4 mode);
sword __cdecl OCISessionEnd(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 mode);
sword __cdecl OCILogon(OCIEnv *envhp, OCIError *errhp, OCISvcCtx **svchp, const OraText *username, ub4 uname_len, const OraText *password, ub4 passwd_len, const OraText *dbname, ub4 dbname_len);
sword __cdecl OCILogoff(OCISvcCtx *svchp, OCIError *errhp);
sword __cdecl OCIPasswordChange(OCISvcCtx *svchp, OCIError *errhp, const OraText *user_name, ub4 usernm_len, const OraText *opasswd, ub4 opasswd_len, const OraText *npasswd, ub4 npasswd_len, ub4 mode);
sword __cdecl OCIServerVersion(void *hndlp, OCIError *errhp, OraText *bufp, ub4 bufsz, ub1 hndltype);
sword __cdecl OCIBreak(void *hndlp, OCIError *errhp);
sword __cdecl OCIReset(void *hndlp, OCIError *errhp);
sword __cdecl OCITransStart(OCISvcCtx *svchp, OCIError *errhp, uword timeout, ub4 flags);
sword __cdecl OCITransCommit(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword __cdecl OCITransRollback(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword __cdecl OCITransPrepare(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword __cdecl OCITransForget(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword __cdecl OCITransDetach(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword __cdecl OCIDurationBegin(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, OCIDuration parent, OCIDuration *dur);
sword __cdecl OCIDurationEnd(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, OCIDuration duration);
sword __cdecl OCIStmtPrepare(OCIStmt *stmtp, OCIError *errhp, const OraText *stmt, ub4 stmt_len, ub4 language, ub4 mode);
sword __cdecl OCIStmtExecute(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters, ub4 rowoff, const OCISnapshot *snap_in, OCISnapshot *snap_out, ub4 mode);
sword __cdecl OCIStmtFetch(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, ub4 mode);
sword __cdecl OCIStmtGetBindInfo(OCIStmt *stmtp, OCIError *errhp, ub4 size, ub4 startloc, sb4 *found, OraText * bvnp[], ub1 bvnl[], OraText * invp[], ub1 inpl[], ub1 dupl[], OCIBind **hndl);
sword __cdecl OCIBindByName(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, const OraText *placeholder, sb4 placeh_len, void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4 maxarr_len, ub4 *curelep, ub4 mode);
sword __cdecl OCIBindByPos(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, ub4 position, void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4 maxarr_len, ub4 *curelep, ub4 mode);
sword __cdecl OCIBindDynamic(OCIBind *bindp, OCIError *errhp, void *ictxp, OCICallbackInBind icbfp, void *octxp, OCICallbackOutBind ocbfp);
sword __cdecl OCIDefineByPos(OCIStmt *stmtp, OCIDefine **defnp, OCIError *errhp, ub4 position, void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *rlenp, ub2 *rcodep, ub4 mode);
sword __cdecl OCIDefineDynamic(OCIDefine *defnp, OCIError *errhp, void *octxp, OCICallbackDefine ocbfp);
sword __cdecl OCILobAppend(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_locp);
sword __cdecl OCILobAssign(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *src_locp, OCILobLocator **dst_locpp);
sword __cdecl OCILobCharSetForm(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub1 *csfrm);
sword __cdecl OCILobCharSetId(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub2 *csid);
sword __cdecl OCILobCopy(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_locp, ub4 amount, ub4 dst_offset, ub4 src_offset);
sword __cdecl OCILobCreateTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub2 csid, ub1 csfrm, ub1 lobtype, OCIBoolean cache, OCIDuration duration);
sword __cdecl OCILobDisableBuffering(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp);
sword __cdecl OCILobEnableBuffering(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp);
sword __cdecl OCILobErase(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amount, ub4 offset);
sword __cdecl OCILobFileClose(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep);
sword __cdecl OCILobFileCloseAll(OCISvcCtx *svchp, OCIError *errhp);
sword __cdecl OCILobFileExists(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, OCIBoolean *flag);
sword __cdecl OCILobFileGetName(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *filep, OraText *dir_alias, ub2 *d_length, OraText *filename, ub2 *f_length);
sword __cdecl OCILobFileIsOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, OCIBoolean *flag);
sword __cdecl OCILobFileOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, ub1 mode);
sword __cdecl OCILobFileSetName(OCIEnv *envhp, OCIError *errhp, OCILobLocator **filepp, const OraText *dir_alias, ub2 d_length, const OraText *filename, ub2 f_length);
sword __cdecl OCILobFlushBuffer(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 flag);
sword __cdecl OCILobFreeTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp);
sword __cdecl OCILobGetChunkSize(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *chunksizep);
sword __cdecl OCILobGetLength(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *lenp);
sword __cdecl OCILobIsEqual(OCIEnv *envhp, const OCILobLocator *x, const OCILobLocator *y, OCIBoolean *is_equal);
sword __cdecl OCILobIsTemporary(OCIEnv *envp, OCIError *errhp, OCILobLocator *locp, OCIBoolean *is_temporary);
sword __cdecl OCILobLoadFromFile(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_filep, ub4 amount, ub4 dst_offset, ub4 src_offset);
sword __cdecl OCILobLocatorIsInit(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, OCIBoolean *is_initialized);
sword __cdecl OCILobRead(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp, ub4 offset, void *bufp, ub4 bufl, void *ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm);
sword __cdecl OCILobTrim(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 newlen);
sword __cdecl OCILobWrite(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp, ub4 offset, void *bufp, ub4 buflen, ub1 piece, void *ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm);
sword __cdecl OCILobWriteAppend(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *lobp, ub4 *amtp, void *bufp, ub4 bufl, ub1 piece, void *ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm);
sword __cdecl OCINumberFromReal(OCIError *err, const void *rnum, uword rnum_length, OCINumber *number);
sword __cdecl OCINumberToReal(OCIError *err, const OCINumber *number, uword rsl_length, void *rsl);
sword __cdecl OCINumberFromText(OCIError *err, const OraText *str, ub4 str_length, const OraText *fmt, ub4 fmt_length, const OraText *nls_params, ub4 nls_p_length, OCINumber *number);
sword __cdecl OCINumberToText(OCIError *err, const OCINumber *number, const OraText *fmt, ub4 fmt_length, const OraText *nls_params, ub4 nls_p_length, ub4 *buf_size, OraText *buf);
sword __cdecl OCINumberAdd(OCIError *err, const OCINumber *number1, const OCINumber *number2, OCINumber *result);
sword __cdecl OCINumberSub(OCIError *err, const OCINumber *number1, const OCINumber *number2, OCINumber *result);
sword __cdecl OCINumberMul(OCIError *err, const OCINumber *number1, const OCINumber *number2, OCINumber *result);
sword __cdecl OCINumberDiv(OCIError *err, const OCINumber *number1, const OCINumber *number2, OCINumber *result);
sword __cdecl OCINumberPower(OCIError *err, const OCINumber *base, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberLog(OCIError *err, const OCINumber *base, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberArcTan2(OCIError *err, const OCINumber *number1, const OCINumber *number2, OCINumber *result);
sword __cdecl OCINumberIntPower(OCIError *err, const OCINumber *base, const sword exp, OCINumber *result);
sword __cdecl OCINumberRound(OCIError *err, const OCINumber *number, sword decplace, OCINumber *result);
sword __cdecl OCINumberTrunc(OCIError *err, const OCINumber *number, sword decplace, OCINumber *result);
sword __cdecl OCINumberSqrt(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberExp(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberLn(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberSin(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberCos(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberTan(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberArcSin(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberArcCos(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberArcTan(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberHypSin(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberHypCos(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCINumberHypTan(OCIError *err, const OCINumber *number, OCINumber *result);
sword __cdecl OCIDateSysDate(OCIError *err, OCIDate *sys_date);
sword __cdecl OCIDateAddDays(OCIError *err, const OCIDate *date, sb4 num_days, OCIDate *result);
sword __cdecl OCIDateAddMonths(OCIError *err, const OCIDate *date, sb4 num_months, OCIDate *result);
sword __cdecl OCIDateLastDay(OCIError *err, const OCIDate *date, OCIDate *last_day);
sword __cdecl OCIDateNextDay(OCIError *err, const OCIDate *date, const OraText *day_p, ub4 day_length, OCIDate *next_day);
sword __cdecl OCIDateZoneToZone(OCIError *err, const OCIDate *date1, const OraText *zon1, ub4 zon1_length, const OraText *zon2, ub4 zon2_length, OCIDate *date2);
sword __cdecl OCIDateFromText(OCIError *err, const OraText *date_str, ub4 d_str_length, const OraText *fmt, ub1 fmt_length, const OraText *lang_name, ub4 lang_length, OCIDate *date);
sword __cdecl OCIDateToText(OCIError *err, const OCIDate *date, const OraText *fmt, ub1 fmt_length, const OraText *lang_name, ub4 lang_length, ub4 *buf_size, OraText *buf);
sword __cdecl OCICollAppend(OCIEnv *env, OCIError *err, const void *elem, const void *elemind, OCIColl *coll);
sword __cdecl OCICollAssign(OCIEnv *env, OCIError *err, const OCIColl *rhs, OCIColl *lhs);
sword __cdecl OCICollAssignElem(OCIEnv *env, OCIError *err, sb4 index, const void *elem, const void *elemind, OCIColl *coll);
sword __cdecl OCICollGetElem(OCIEnv *env, OCIError *err, const OCIColl *coll, sb4 index, OCIBoolean *exists, void **elem, void **elemind);
sb4 __cdecl OCICollMax(OCIEnv *env, const OCIColl *coll);
sword __cdecl OCICollSize(OCIEnv *env, OCIError *err, const OCIColl *coll, sb4 *size);
sword __cdecl OCICollTrim(OCIEnv *env, OCIError *err, sb4 trim_num, OCIColl *coll);
sword __cdecl OCIIterCreate(OCIEnv *env, OCIError *err, const OCIColl *coll, OCIIter **itr);
sword __cdecl OCIIterDelete(OCIEnv *env, OCIError *err, OCIIter **itr);
sword __cdecl OCIIterInit(OCIEnv *env, OCIError *err, const OCIColl *coll, OCIIter *itr);
sword __cdecl OCIIterGetCurrent(OCIEnv *env, OCIError *err, const OCIIter *itr, void **elem, void **elemind);
sword __cdecl OCIIterNext(OCIEnv *env, OCIError *err, OCIIter *itr, void **elem, void **elemind, OCIBoolean *eoc);
sword __cdecl OCIIterPrev(OCIEnv *env, OCIError *err, OCIIter *itr, void **elem, void **elemind, OCIBoolean *boc);
sword __cdecl OCITableSize(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *size);
sword __cdecl OCITableExists(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 index, OCIBoolean *exists);
sword __cdecl OCITableDelete(OCIEnv *env, OCIError *err, sb4 index, OCITable *tbl);
sword __cdecl OCITableFirst(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *index);
sword __cdecl OCITableLast(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *index);
sword __cdecl OCITableNext(OCIEnv *env, OCIError *err, sb4 index, const OCITable *tbl, sb4 *next_index, OCIBoolean *exists);
sword __cdecl OCITablePrev(OCIEnv *env, OCIError *err, sb4 index, const OCITable *tbl, sb4 *prev_index, OCIBoolean *exists);
sword __cdecl OCIRefAssign(OCIEnv *env, OCIError *err, const OCIRef *source, OCIRef **target);
void __cdecl OCIRefClear(OCIEnv *env, OCIRef *ref);
sword __cdecl OCIRefFromHex(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, const OraText *hex, ub4 length, OCIRef **ref);
ub4 __cdecl OCIRefHexSize(OCIEnv *env, const OCIRef *ref);
OCIBoolean __cdecl OCIRefIsEqual(OCIEnv *env, const OCIRef *x, const OCIRef *y);
OCIBoolean __cdecl OCIRefIsNull(OCIEnv *env, const OCIRef *ref);
sword __cdecl OCIRefToHex(OCIEnv *env, OCIError *err, const OCIRef *ref, OraText *hex, ub4 *hex_length);
sword __cdecl OCIRawAllocSize(OCIEnv *env, OCIError *err, const OCIRaw *raw, ub4 *allocsize);
sword __cdecl OCIRawAssignBytes(OCIEnv *env, OCIError *err, const ub1 *rhs, ub4 rhs_len, OCIRaw **lhs);
sword __cdecl OCIRawAssignRaw(OCIEnv *env, OCIError *err, const OCIRaw *rhs, OCIRaw **lhs);
ub1 * __cdecl OCIRawPtr(OCIEnv *env, const OCIRaw *raw);
sword __cdecl OCIRawResize(OCIEnv *env, OCIError *err, ub4 new_size, OCIRaw **raw);
ub4 __cdecl OCIRawSize(OCIEnv *env, const OCIRaw *raw);
sword __cdecl OCICacheFlush(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, void *context, OCIRef *(__cdecl *get)(void *context, ub1 *last), OCIRef **ref);
sword __cdecl OCICacheRefresh(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, OCIRefreshOpt option, void *context, OCIRef *(__cdecl *get)(void *context), OCIRef **ref);
sword __cdecl OCICacheUnpin(OCIEnv *env, OCIError *err, const OCISvcCtx *svc);
sword __cdecl OCICacheUnmark(OCIEnv *env, OCIError *err, const OCISvcCtx *svc);
sword __cdecl OCICacheFree(OCIEnv *env, OCIError *err, const OCISvcCtx *svc);

}  // extern "C"
