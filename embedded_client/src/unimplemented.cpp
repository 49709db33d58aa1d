// The OCI functions the embedded client does not carry out yet. Each one is
// recorded and scripted like every other, then fails as an unfinished
// client should: OCI_ERROR with "ORA-03001: unimplemented feature" on its
// error handle.
#include "oci.h"
#include "src/trace.h"

extern "C" {

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
