// The OCI functions the embedded client does not carry out yet. Each one is
// recorded and scripted like every other, then fails as an unfinished
// client should: OCI_ERROR with "ORA-03001: unimplemented feature" on its
// error handle.
#include "oci.h"
#include "src/trace.h"

extern "C" {

ZEC_EXPORT sword __cdecl OCILobAppend(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_locp) {
  ZEC_ENTER("OCILobAppend", svchp, errhp, dst_locp, src_locp);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobAssign(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *src_locp, OCILobLocator **dst_locpp) {
  ZEC_ENTER("OCILobAssign", envhp, errhp, src_locp, dst_locpp);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobCharSetForm(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub1 *csfrm) {
  ZEC_ENTER("OCILobCharSetForm", envhp, errhp, locp, csfrm);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobCharSetId(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub2 *csid) {
  ZEC_ENTER("OCILobCharSetId", envhp, errhp, locp, csid);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobCopy(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_locp, ub4 amount, ub4 dst_offset, ub4 src_offset) {
  ZEC_ENTER("OCILobCopy", svchp, errhp, dst_locp, src_locp, amount, dst_offset, src_offset);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobCreateTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub2 csid, ub1 csfrm, ub1 lobtype, OCIBoolean cache, OCIDuration duration) {
  ZEC_ENTER("OCILobCreateTemporary", svchp, errhp, locp, csid, csfrm, lobtype, cache, duration);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobDisableBuffering(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp) {
  ZEC_ENTER("OCILobDisableBuffering", svchp, errhp, locp);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobEnableBuffering(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp) {
  ZEC_ENTER("OCILobEnableBuffering", svchp, errhp, locp);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobErase(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amount, ub4 offset) {
  ZEC_ENTER("OCILobErase", svchp, errhp, locp, amount, offset);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobFileClose(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep) {
  ZEC_ENTER("OCILobFileClose", svchp, errhp, filep);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobFileCloseAll(OCISvcCtx *svchp, OCIError *errhp) {
  ZEC_ENTER("OCILobFileCloseAll", svchp, errhp);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobFileExists(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, OCIBoolean *flag) {
  ZEC_ENTER("OCILobFileExists", svchp, errhp, filep, flag);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobFileGetName(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *filep, OraText *dir_alias, ub2 *d_length, OraText *filename, ub2 *f_length) {
  ZEC_ENTER("OCILobFileGetName", envhp, errhp, filep, dir_alias, d_length, filename, f_length);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobFileIsOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, OCIBoolean *flag) {
  ZEC_ENTER("OCILobFileIsOpen", svchp, errhp, filep, flag);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobFileOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, ub1 mode) {
  ZEC_ENTER("OCILobFileOpen", svchp, errhp, filep, mode);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobFileSetName(OCIEnv *envhp, OCIError *errhp, OCILobLocator **filepp, const OraText *dir_alias, ub2 d_length, const OraText *filename, ub2 f_length) {
  ZEC_ENTER("OCILobFileSetName", envhp, errhp, filepp, dir_alias, d_length, filename, f_length);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobFlushBuffer(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 flag) {
  ZEC_ENTER("OCILobFlushBuffer", svchp, errhp, locp, flag);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobFreeTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp) {
  ZEC_ENTER("OCILobFreeTemporary", svchp, errhp, locp);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobGetChunkSize(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *chunksizep) {
  ZEC_ENTER("OCILobGetChunkSize", svchp, errhp, locp, chunksizep);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobGetLength(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *lenp) {
  ZEC_ENTER("OCILobGetLength", svchp, errhp, locp, lenp);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobIsEqual(OCIEnv *envhp, const OCILobLocator *x, const OCILobLocator *y, OCIBoolean *is_equal) {
  ZEC_ENTER("OCILobIsEqual", envhp, x, y, is_equal);
  return zec::unimplemented(nullptr);
}

ZEC_EXPORT sword __cdecl OCILobIsTemporary(OCIEnv *envp, OCIError *errhp, OCILobLocator *locp, OCIBoolean *is_temporary) {
  ZEC_ENTER("OCILobIsTemporary", envp, errhp, locp, is_temporary);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobLoadFromFile(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_filep, ub4 amount, ub4 dst_offset, ub4 src_offset) {
  ZEC_ENTER("OCILobLoadFromFile", svchp, errhp, dst_locp, src_filep, amount, dst_offset, src_offset);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobLocatorIsInit(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, OCIBoolean *is_initialized) {
  ZEC_ENTER("OCILobLocatorIsInit", envhp, errhp, locp, is_initialized);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobRead(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp, ub4 offset, void *bufp, ub4 bufl, void *ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm) {
  ZEC_ENTER("OCILobRead", svchp, errhp, locp, amtp, offset, bufp, bufl, ctxp, cbfp, csid, csfrm);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobTrim(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 newlen) {
  ZEC_ENTER("OCILobTrim", svchp, errhp, locp, newlen);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobWrite(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp, ub4 offset, void *bufp, ub4 buflen, ub1 piece, void *ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm) {
  ZEC_ENTER("OCILobWrite", svchp, errhp, locp, amtp, offset, bufp, buflen, piece, ctxp, cbfp, csid, csfrm);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCILobWriteAppend(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *lobp, ub4 *amtp, void *bufp, ub4 bufl, ub1 piece, void *ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm) {
  ZEC_ENTER("OCILobWriteAppend", svchp, errhp, lobp, amtp, bufp, bufl, piece, ctxp, cbfp, csid, csfrm);
  return zec::unimplemented(errhp);
}

ZEC_EXPORT sword __cdecl OCICollAppend(OCIEnv *env, OCIError *err, const void *elem, const void *elemind, OCIColl *coll) {
  ZEC_ENTER("OCICollAppend", env, err, elem, elemind, coll);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCICollAssign(OCIEnv *env, OCIError *err, const OCIColl *rhs, OCIColl *lhs) {
  ZEC_ENTER("OCICollAssign", env, err, rhs, lhs);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCICollAssignElem(OCIEnv *env, OCIError *err, sb4 index, const void *elem, const void *elemind, OCIColl *coll) {
  ZEC_ENTER("OCICollAssignElem", env, err, index, elem, elemind, coll);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCICollGetElem(OCIEnv *env, OCIError *err, const OCIColl *coll, sb4 index, OCIBoolean *exists, void **elem, void **elemind) {
  ZEC_ENTER("OCICollGetElem", env, err, coll, index, exists, elem, elemind);
  return zec::unimplemented(err);
}

ZEC_EXPORT sb4 __cdecl OCICollMax(OCIEnv *env, const OCIColl *coll) {
  ZEC_RECORD("OCICollMax", env, coll);
  return 0;
}

ZEC_EXPORT sword __cdecl OCICollSize(OCIEnv *env, OCIError *err, const OCIColl *coll, sb4 *size) {
  ZEC_ENTER("OCICollSize", env, err, coll, size);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCICollTrim(OCIEnv *env, OCIError *err, sb4 trim_num, OCIColl *coll) {
  ZEC_ENTER("OCICollTrim", env, err, trim_num, coll);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCIIterCreate(OCIEnv *env, OCIError *err, const OCIColl *coll, OCIIter **itr) {
  ZEC_ENTER("OCIIterCreate", env, err, coll, itr);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCIIterDelete(OCIEnv *env, OCIError *err, OCIIter **itr) {
  ZEC_ENTER("OCIIterDelete", env, err, itr);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCIIterInit(OCIEnv *env, OCIError *err, const OCIColl *coll, OCIIter *itr) {
  ZEC_ENTER("OCIIterInit", env, err, coll, itr);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCIIterGetCurrent(OCIEnv *env, OCIError *err, const OCIIter *itr, void **elem, void **elemind) {
  ZEC_ENTER("OCIIterGetCurrent", env, err, itr, elem, elemind);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCIIterNext(OCIEnv *env, OCIError *err, OCIIter *itr, void **elem, void **elemind, OCIBoolean *eoc) {
  ZEC_ENTER("OCIIterNext", env, err, itr, elem, elemind, eoc);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCIIterPrev(OCIEnv *env, OCIError *err, OCIIter *itr, void **elem, void **elemind, OCIBoolean *boc) {
  ZEC_ENTER("OCIIterPrev", env, err, itr, elem, elemind, boc);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCITableSize(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *size) {
  ZEC_ENTER("OCITableSize", env, err, tbl, size);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCITableExists(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 index, OCIBoolean *exists) {
  ZEC_ENTER("OCITableExists", env, err, tbl, index, exists);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCITableDelete(OCIEnv *env, OCIError *err, sb4 index, OCITable *tbl) {
  ZEC_ENTER("OCITableDelete", env, err, index, tbl);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCITableFirst(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *index) {
  ZEC_ENTER("OCITableFirst", env, err, tbl, index);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCITableLast(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *index) {
  ZEC_ENTER("OCITableLast", env, err, tbl, index);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCITableNext(OCIEnv *env, OCIError *err, sb4 index, const OCITable *tbl, sb4 *next_index, OCIBoolean *exists) {
  ZEC_ENTER("OCITableNext", env, err, index, tbl, next_index, exists);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCITablePrev(OCIEnv *env, OCIError *err, sb4 index, const OCITable *tbl, sb4 *prev_index, OCIBoolean *exists) {
  ZEC_ENTER("OCITablePrev", env, err, index, tbl, prev_index, exists);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCIRefAssign(OCIEnv *env, OCIError *err, const OCIRef *source, OCIRef **target) {
  ZEC_ENTER("OCIRefAssign", env, err, source, target);
  return zec::unimplemented(err);
}

ZEC_EXPORT void __cdecl OCIRefClear(OCIEnv *env, OCIRef *ref) {
  ZEC_ENTER_VOID("OCIRefClear", env, ref);
}

ZEC_EXPORT sword __cdecl OCIRefFromHex(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, const OraText *hex, ub4 length, OCIRef **ref) {
  ZEC_ENTER("OCIRefFromHex", env, err, svc, hex, length, ref);
  return zec::unimplemented(err);
}

ZEC_EXPORT ub4 __cdecl OCIRefHexSize(OCIEnv *env, const OCIRef *ref) {
  ZEC_RECORD("OCIRefHexSize", env, ref);
  return 0;
}

ZEC_EXPORT OCIBoolean __cdecl OCIRefIsEqual(OCIEnv *env, const OCIRef *x, const OCIRef *y) {
  ZEC_RECORD("OCIRefIsEqual", env, x, y);
  return 0;
}

ZEC_EXPORT OCIBoolean __cdecl OCIRefIsNull(OCIEnv *env, const OCIRef *ref) {
  ZEC_RECORD("OCIRefIsNull", env, ref);
  return 0;
}

ZEC_EXPORT sword __cdecl OCIRefToHex(OCIEnv *env, OCIError *err, const OCIRef *ref, OraText *hex, ub4 *hex_length) {
  ZEC_ENTER("OCIRefToHex", env, err, ref, hex, hex_length);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCIRawAllocSize(OCIEnv *env, OCIError *err, const OCIRaw *raw, ub4 *allocsize) {
  ZEC_ENTER("OCIRawAllocSize", env, err, raw, allocsize);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCIRawAssignBytes(OCIEnv *env, OCIError *err, const ub1 *rhs, ub4 rhs_len, OCIRaw **lhs) {
  ZEC_ENTER("OCIRawAssignBytes", env, err, rhs, rhs_len, lhs);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCIRawAssignRaw(OCIEnv *env, OCIError *err, const OCIRaw *rhs, OCIRaw **lhs) {
  ZEC_ENTER("OCIRawAssignRaw", env, err, rhs, lhs);
  return zec::unimplemented(err);
}

ZEC_EXPORT ub1 * __cdecl OCIRawPtr(OCIEnv *env, const OCIRaw *raw) {
  ZEC_RECORD("OCIRawPtr", env, raw);
  return nullptr;
}

ZEC_EXPORT sword __cdecl OCIRawResize(OCIEnv *env, OCIError *err, ub4 new_size, OCIRaw **raw) {
  ZEC_ENTER("OCIRawResize", env, err, new_size, raw);
  return zec::unimplemented(err);
}

ZEC_EXPORT ub4 __cdecl OCIRawSize(OCIEnv *env, const OCIRaw *raw) {
  ZEC_RECORD("OCIRawSize", env, raw);
  return 0;
}

ZEC_EXPORT sword __cdecl OCICacheFlush(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, void *context, OCIRef *(__cdecl *get)(void *context, ub1 *last), OCIRef **ref) {
  ZEC_ENTER("OCICacheFlush", env, err, svc, context, get, ref);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCICacheRefresh(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, OCIRefreshOpt option, void *context, OCIRef *(__cdecl *get)(void *context), OCIRef **ref) {
  ZEC_ENTER("OCICacheRefresh", env, err, svc, option, context, get, ref);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCICacheUnpin(OCIEnv *env, OCIError *err, const OCISvcCtx *svc) {
  ZEC_ENTER("OCICacheUnpin", env, err, svc);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCICacheUnmark(OCIEnv *env, OCIError *err, const OCISvcCtx *svc) {
  ZEC_ENTER("OCICacheUnmark", env, err, svc);
  return zec::unimplemented(err);
}

ZEC_EXPORT sword __cdecl OCICacheFree(OCIEnv *env, OCIError *err, const OCISvcCtx *svc) {
  ZEC_ENTER("OCICacheFree", env, err, svc);
  return zec::unimplemented(err);
}

}  // extern "C"
