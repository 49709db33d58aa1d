// Collections, iterators, REFs, raw values and the object cache.
//
// A collection holds elements of one fixed size (an OCINumber each for the
// collections the control interface makes): a varray with its limit, or a
// nested table (limit 0) whose deleted elements leave holes that keep their
// index. Indexes count from 0. Every object this file hands out is known by
// its address, so a pointer that is none of them is an invalid argument,
// never a crash. No SQL type makes these objects yet; the test-only control
// functions (zectest_...) do.
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "src/errors.h"
#include "src/handles.h"
#include "src/sql/error.h"
#include "src/trace.h"
#include "zec_control.h"

struct OCIColl {
  struct Slot {
    bool deleted = false;
    OCIInd indicator = OCI_IND_NOTNULL;
    std::vector<ub1> value;
  };
  ub4 element_size = sizeof(OCINumber);
  sb4 limit = 0;  // 0: a nested table
  std::vector<std::unique_ptr<Slot>> slots;
};

struct OCIIter {
  const OCIColl *collection = nullptr;
  sb4 position = -1;  // before the first element
};

struct OCIRef {
  bool null = true;
  std::array<ub1, 16> oid{};
};

struct OCIRaw {
  ub4 size = 0;
  std::vector<ub1> data;  // its size is the allocated size
};

namespace zec {
namespace {

using sql::fail;

enum class Kind { Collection, Iterator, Ref, Raw };

// Each object with its kind and the environment it was made under, which
// frees it when it is freed itself (as Oracle's object cache is).
struct Owned {
  Kind kind;
  const void *environment;
};

std::map<const void *, Owned> &objects() {
  static std::map<const void *, Owned> live;
  return live;
}

template <class T>
T *adopt(std::unique_ptr<T> object, Kind kind, const void *environment) {
  objects()[object.get()] = Owned{kind, environment};
  return object.release();
}

template <class T>
T *object_of(const void *pointer, Kind kind) noexcept {
  auto it = objects().find(pointer);
  return it != objects().end() && it->second.kind == kind ? static_cast<T *>(const_cast<void *>(pointer)) : nullptr;
}

void drop(const void *pointer, Kind kind) noexcept {
  auto it = objects().find(pointer);
  if (it == objects().end() || it->second.kind != kind) return;
  objects().erase(it);
  switch (kind) {
    case Kind::Collection: delete static_cast<const OCIColl *>(pointer); break;
    case Kind::Iterator: delete static_cast<const OCIIter *>(pointer); break;
    case Kind::Ref: delete static_cast<const OCIRef *>(pointer); break;
    case Kind::Raw: delete static_cast<const OCIRaw *>(pointer); break;
  }
}

OCIColl &collection(const void *p, const char *argument) {
  auto *c = object_of<OCIColl>(p, Kind::Collection);
  if (c == nullptr) fail(21560, argument);
  return *c;
}

OCIRef &ref(const void *p, const char *argument) {
  auto *r = object_of<OCIRef>(p, Kind::Ref);
  if (r == nullptr) fail(21560, argument);
  return *r;
}

OCIRaw &raw(const void *p, const char *argument) {
  auto *r = object_of<OCIRaw>(p, Kind::Raw);
  if (r == nullptr) fail(21560, argument);
  return *r;
}

template <class T>
T &out(T *pointer, const char *argument) {
  if (pointer == nullptr) fail(21560, argument);
  return *pointer;
}

bool env_ok(OCIEnv *env, OCIError *err) noexcept {
  if (live_handle(env, OCI_HTYPE_ENV) == nullptr || live_handle(err, OCI_HTYPE_ERROR) == nullptr) return false;
  clear_errors(err);
  return true;
}

template <class F>
sword guarded(const void *error, F body) noexcept {
  return guarded_call(error, "object", body);
}

std::string index_range(sb4 index, sb4 last) {
  return std::to_string(index) + "\x1f" "0\x1f" + std::to_string(last);
}

bool exists_at(const OCIColl &c, sb4 index) {
  return index >= 0 && index < static_cast<sb4>(c.slots.size()) && !c.slots[static_cast<size_t>(index)]->deleted;
}

void store(OCIColl::Slot &slot, const OCIColl &c, const void *elem, const void *elemind) {
  slot.value.assign(static_cast<const ub1 *>(elem), static_cast<const ub1 *>(elem) + c.element_size);
  slot.indicator = elemind ? *static_cast<const OCIInd *>(elemind) : OCI_IND_NOTNULL;
  slot.deleted = false;
}

void give(const OCIColl &c, sb4 index, void **elem, void **elemind) {
  OCIColl::Slot &slot = *c.slots[static_cast<size_t>(index)];
  if (elem) *elem = slot.value.data();
  if (elemind) *elemind = &slot.indicator;
}

// The next existing index after `from` (or before it), -1 when none.
sb4 step(const OCIColl &c, sb4 from, int direction) {
  for (sb4 i = from + direction; i >= 0 && i < static_cast<sb4>(c.slots.size()); i += direction)
    if (!c.slots[static_cast<size_t>(i)]->deleted) return i;
  return -1;
}

// The REF's text: 20 bytes (a 4-byte header and the object id) in hex.
constexpr ub4 kRefHexSize = 40;

std::string ref_hex(const OCIRef &r) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex = "00020000";  // the header: a REF with an object id
  for (ub1 b : r.oid) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A raw's allocation: its size rounded up to whole 8-byte words.
ub4 allocation_for(ub4 size) { return size == 0 ? 0 : (size + 7) / 8 * 8; }

void resize(OCIRaw &r, ub4 size) {
  r.data.assign(allocation_for(size), 0);
  r.size = size;
}

// The iterator and its collection, both still alive.
OCIIter &iterator_of(const void *itr) {
  auto *i = object_of<OCIIter>(itr, Kind::Iterator);
  if (i == nullptr || object_of<OCIColl>(i->collection, Kind::Collection) == nullptr) fail(21560, "3");
  return *i;
}

sword iter_step(OCIError *err, OCIIter *itr, void **elem, void **elemind, OCIBoolean *edge, int direction) {
  return guarded(err, [&] {
    OCIIter &i = iterator_of(itr);
    OCIBoolean &at_edge = out(edge, "6");
    const OCIColl &c = *i.collection;
    sb4 next = direction > 0 ? step(c, i.position, 1) : (i.position < 0 ? -1 : step(c, i.position, -1));
    at_edge = next < 0 ? 1 : 0;
    // At the edge the iterator stays, and gives its current element again.
    if (next >= 0) i.position = next;
    if (exists_at(c, i.position)) {
      give(c, i.position, elem, elemind);
    } else {
      if (elem) *elem = nullptr;
      if (elemind) *elemind = nullptr;
    }
    return OCI_SUCCESS;
  });
}

sword table_end(OCIError *err, const OCITable *tbl, sb4 *index, bool first) {
  return guarded(err, [&] {
    const OCIColl &c = collection(tbl, "3");
    sb4 &at = out(index, "4");
    sb4 found = first ? step(c, -1, 1) : step(c, static_cast<sb4>(c.slots.size()), -1);
    if (found < 0) fail(22166);
    at = found;
    return OCI_SUCCESS;
  });
}

sword table_step(OCIError *err, sb4 index, const OCITable *tbl, sb4 *next_index, OCIBoolean *exists, int direction) {
  return guarded(err, [&] {
    const OCIColl &c = collection(tbl, "4");
    sb4 &at = out(next_index, "5");
    OCIBoolean &found = out(exists, "6");
    auto size = static_cast<sb4>(c.slots.size());
    // From outside the table the search starts at its edge.
    sb4 from = index < -1 ? -1 : (index > size ? size : index);
    sb4 next = step(c, from, direction);
    found = next >= 0 ? 1 : 0;
    if (next >= 0) at = next;
    return OCI_SUCCESS;
  });
}

OCIRaw &raw_target(const void *env, OCIRaw **lhs, const char *argument) {
  OCIRaw *&to = out(lhs, argument);
  if (to == nullptr) to = adopt(std::make_unique<OCIRaw>(), Kind::Raw, env);
  return raw(to, argument);
}

bool cache_ok(OCIEnv *env, OCIError *err, const OCISvcCtx *svc) {
  return env_ok(env, err) && live_handle(svc, OCI_HTYPE_SVCCTX) != nullptr;
}

}  // namespace

void free_objects_of(const void *environment) noexcept {
  std::vector<std::pair<const void *, Kind>> doomed;
  for (const auto &[pointer, owned] : objects())
    if (owned.environment == environment) doomed.emplace_back(pointer, owned.kind);
  for (const auto &[pointer, kind] : doomed) drop(pointer, kind);
}

}  // namespace zec

using namespace zec;

extern "C" {

// ---- Collections ------------------------------------------------------------

ZEC_EXPORT sword __cdecl OCICollAppend(OCIEnv *env, OCIError *err, const void *elem, const void *elemind, OCIColl *coll) {
  ZEC_ENTER("OCICollAppend", env, err, elem, elemind, coll);
  if (!env_ok(env, err)) ZEC_RETURN("OCICollAppend", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCICollAppend", guarded(err, [&] {
    OCIColl &c = collection(coll, "5");
    if (elem == nullptr) fail(21560, "3");
    auto size = static_cast<sb4>(c.slots.size());
    if (c.limit > 0 && size >= c.limit) fail(22165, index_range(size, c.limit - 1));
    auto slot = std::make_unique<OCIColl::Slot>();
    store(*slot, c, elem, elemind);
    c.slots.push_back(std::move(slot));
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCICollAssign(OCIEnv *env, OCIError *err, const OCIColl *rhs, OCIColl *lhs) {
  ZEC_ENTER("OCICollAssign", env, err, rhs, lhs);
  if (!env_ok(env, err)) ZEC_RETURN("OCICollAssign", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCICollAssign", guarded(err, [&] {
    const OCIColl &source = collection(rhs, "3");
    OCIColl &target = collection(lhs, "4");
    if (source.element_size != target.element_size) fail(21560, "3");
    if (target.limit > 0 && static_cast<sb4>(source.slots.size()) > target.limit) fail(22152);
    if (&source == &target) return OCI_SUCCESS;
    std::vector<std::unique_ptr<OCIColl::Slot>> copy;
    for (const auto &slot : source.slots) copy.push_back(std::make_unique<OCIColl::Slot>(*slot));
    target.slots = std::move(copy);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCICollAssignElem(OCIEnv *env, OCIError *err, sb4 index, const void *elem, const void *elemind,
                                           OCIColl *coll) {
  ZEC_ENTER("OCICollAssignElem", env, err, index, elem, elemind, coll);
  if (!env_ok(env, err)) ZEC_RETURN("OCICollAssignElem", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCICollAssignElem", guarded(err, [&] {
    OCIColl &c = collection(coll, "6");
    if (elem == nullptr) fail(21560, "4");
    auto size = static_cast<sb4>(c.slots.size());
    if (index < 0 || index >= size) fail(22165, index_range(index, size - 1));
    store(*c.slots[static_cast<size_t>(index)], c, elem, elemind);  // a deleted element comes back
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCICollGetElem(OCIEnv *env, OCIError *err, const OCIColl *coll, sb4 index, OCIBoolean *exists,
                                        void **elem, void **elemind) {
  ZEC_ENTER("OCICollGetElem", env, err, coll, index, exists, elem, elemind);
  if (!env_ok(env, err)) ZEC_RETURN("OCICollGetElem", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCICollGetElem", guarded(err, [&] {
    const OCIColl &c = collection(coll, "3");
    OCIBoolean &found = out(exists, "5");
    found = exists_at(c, index) ? 1 : 0;
    if (found) give(c, index, elem, elemind);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sb4 __cdecl OCICollMax(OCIEnv *env, const OCIColl *coll) {
  ZEC_RECORD("OCICollMax", env, coll);
  const auto *c = object_of<OCIColl>(coll, Kind::Collection);
  return c != nullptr && live_handle(env, OCI_HTYPE_ENV) ? c->limit : 0;
}

ZEC_EXPORT sword __cdecl OCICollSize(OCIEnv *env, OCIError *err, const OCIColl *coll, sb4 *size) {
  ZEC_ENTER("OCICollSize", env, err, coll, size);
  if (!env_ok(env, err)) ZEC_RETURN("OCICollSize", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCICollSize", guarded(err, [&] {
    // Holes left by deletes still count.
    out(size, "4") = static_cast<sb4>(collection(coll, "3").slots.size());
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCICollTrim(OCIEnv *env, OCIError *err, sb4 trim_num, OCIColl *coll) {
  ZEC_ENTER("OCICollTrim", env, err, trim_num, coll);
  if (!env_ok(env, err)) ZEC_RETURN("OCICollTrim", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCICollTrim", guarded(err, [&] {
    OCIColl &c = collection(coll, "4");
    auto size = static_cast<sb4>(c.slots.size());
    if (trim_num < 0 || trim_num > size)
      fail(22167, std::to_string(trim_num) + "\x1f" + std::to_string(size));
    c.slots.resize(static_cast<size_t>(size - trim_num));
    return OCI_SUCCESS;
  }));
}

// ---- Iterators --------------------------------------------------------------

ZEC_EXPORT sword __cdecl OCIIterCreate(OCIEnv *env, OCIError *err, const OCIColl *coll, OCIIter **itr) {
  ZEC_ENTER("OCIIterCreate", env, err, coll, itr);
  if (!env_ok(env, err)) ZEC_RETURN("OCIIterCreate", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIIterCreate", guarded(err, [&] {
    const OCIColl &c = collection(coll, "3");
    OCIIter *&result = out(itr, "4");
    auto iterator = std::make_unique<OCIIter>();
    iterator->collection = &c;
    result = adopt(std::move(iterator), Kind::Iterator, env);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCIIterDelete(OCIEnv *env, OCIError *err, OCIIter **itr) {
  ZEC_ENTER("OCIIterDelete", env, err, itr);
  if (!env_ok(env, err)) ZEC_RETURN("OCIIterDelete", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIIterDelete", guarded(err, [&] {
    OCIIter *&iterator = out(itr, "3");
    if (object_of<OCIIter>(iterator, Kind::Iterator) == nullptr) fail(21560, "3");
    drop(iterator, Kind::Iterator);
    iterator = nullptr;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCIIterInit(OCIEnv *env, OCIError *err, const OCIColl *coll, OCIIter *itr) {
  ZEC_ENTER("OCIIterInit", env, err, coll, itr);
  if (!env_ok(env, err)) ZEC_RETURN("OCIIterInit", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIIterInit", guarded(err, [&] {
    const OCIColl &c = collection(coll, "3");
    auto *i = object_of<OCIIter>(itr, Kind::Iterator);
    if (i == nullptr) fail(21560, "4");
    i->collection = &c;
    i->position = -1;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCIIterGetCurrent(OCIEnv *env, OCIError *err, const OCIIter *itr, void **elem, void **elemind) {
  ZEC_ENTER("OCIIterGetCurrent", env, err, itr, elem, elemind);
  if (!env_ok(env, err)) ZEC_RETURN("OCIIterGetCurrent", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIIterGetCurrent", guarded(err, [&] {
    OCIIter &i = iterator_of(itr);
    if (!exists_at(*i.collection, i.position)) fail(22160, std::to_string(i.position));
    give(*i.collection, i.position, elem, elemind);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCIIterNext(OCIEnv *env, OCIError *err, OCIIter *itr, void **elem, void **elemind,
                                     OCIBoolean *eoc) {
  ZEC_ENTER("OCIIterNext", env, err, itr, elem, elemind, eoc);
  if (!env_ok(env, err)) ZEC_RETURN("OCIIterNext", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIIterNext", iter_step(err, itr, elem, elemind, eoc, 1));
}

ZEC_EXPORT sword __cdecl OCIIterPrev(OCIEnv *env, OCIError *err, OCIIter *itr, void **elem, void **elemind,
                                     OCIBoolean *boc) {
  ZEC_ENTER("OCIIterPrev", env, err, itr, elem, elemind, boc);
  if (!env_ok(env, err)) ZEC_RETURN("OCIIterPrev", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIIterPrev", iter_step(err, itr, elem, elemind, boc, -1));
}

// ---- Nested tables ----------------------------------------------------------

ZEC_EXPORT sword __cdecl OCITableSize(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *size) {
  ZEC_ENTER("OCITableSize", env, err, tbl, size);
  if (!env_ok(env, err)) ZEC_RETURN("OCITableSize", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCITableSize", guarded(err, [&] {
    const OCIColl &c = collection(tbl, "3");
    sb4 &count = out(size, "4");
    count = 0;
    for (const auto &slot : c.slots) count += slot->deleted ? 0 : 1;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCITableExists(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 index, OCIBoolean *exists) {
  ZEC_ENTER("OCITableExists", env, err, tbl, index, exists);
  if (!env_ok(env, err)) ZEC_RETURN("OCITableExists", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCITableExists", guarded(err, [&] {
    out(exists, "5") = exists_at(collection(tbl, "3"), index) ? 1 : 0;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCITableDelete(OCIEnv *env, OCIError *err, sb4 index, OCITable *tbl) {
  ZEC_ENTER("OCITableDelete", env, err, index, tbl);
  if (!env_ok(env, err)) ZEC_RETURN("OCITableDelete", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCITableDelete", guarded(err, [&] {
    OCIColl &c = collection(tbl, "4");
    if (c.limit > 0) fail(22164);
    if (index < 0 || index >= static_cast<sb4>(c.slots.size())) fail(22160, std::to_string(index));
    OCIColl::Slot &slot = *c.slots[static_cast<size_t>(index)];
    if (slot.deleted) fail(22162, std::to_string(index));
    slot.deleted = true;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCITableFirst(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *index) {
  ZEC_ENTER("OCITableFirst", env, err, tbl, index);
  if (!env_ok(env, err)) ZEC_RETURN("OCITableFirst", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCITableFirst", table_end(err, tbl, index, true));
}

ZEC_EXPORT sword __cdecl OCITableLast(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *index) {
  ZEC_ENTER("OCITableLast", env, err, tbl, index);
  if (!env_ok(env, err)) ZEC_RETURN("OCITableLast", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCITableLast", table_end(err, tbl, index, false));
}

ZEC_EXPORT sword __cdecl OCITableNext(OCIEnv *env, OCIError *err, sb4 index, const OCITable *tbl, sb4 *next_index,
                                      OCIBoolean *exists) {
  ZEC_ENTER("OCITableNext", env, err, index, tbl, next_index, exists);
  if (!env_ok(env, err)) ZEC_RETURN("OCITableNext", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCITableNext", table_step(err, index, tbl, next_index, exists, 1));
}

ZEC_EXPORT sword __cdecl OCITablePrev(OCIEnv *env, OCIError *err, sb4 index, const OCITable *tbl, sb4 *prev_index,
                                      OCIBoolean *exists) {
  ZEC_ENTER("OCITablePrev", env, err, index, tbl, prev_index, exists);
  if (!env_ok(env, err)) ZEC_RETURN("OCITablePrev", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCITablePrev", table_step(err, index, tbl, prev_index, exists, -1));
}

// ---- REFs -------------------------------------------------------------------

ZEC_EXPORT sword __cdecl OCIRefAssign(OCIEnv *env, OCIError *err, const OCIRef *source, OCIRef **target) {
  ZEC_ENTER("OCIRefAssign", env, err, source, target);
  if (!env_ok(env, err)) ZEC_RETURN("OCIRefAssign", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIRefAssign", guarded(err, [&] {
    const OCIRef &from = ref(source, "3");
    OCIRef *&to = out(target, "4");
    // No target yet: one is made, as in the object cache.
    if (to == nullptr) to = adopt(std::make_unique<OCIRef>(), Kind::Ref, env);
    ref(to, "4") = from;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT void __cdecl OCIRefClear(OCIEnv *env, OCIRef *r) {
  ZEC_ENTER_VOID("OCIRefClear", env, r);
  if (live_handle(env, OCI_HTYPE_ENV) == nullptr) return;
  if (auto *cleared = object_of<OCIRef>(r, Kind::Ref)) *cleared = OCIRef{};
}

ZEC_EXPORT sword __cdecl OCIRefFromHex(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, const OraText *hex, ub4 length,
                                       OCIRef **r) {
  ZEC_ENTER("OCIRefFromHex", env, err, svc, hex, length, r);
  if (!env_ok(env, err) || live_handle(svc, OCI_HTYPE_SVCCTX) == nullptr) ZEC_RETURN("OCIRefFromHex", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIRefFromHex", guarded(err, [&] {
    OCIRef *&to = out(r, "6");
    if (hex == nullptr || length != kRefHexSize) fail(1465);
    OCIRef parsed;
    std::string text(reinterpret_cast<const char *>(hex), length);
    if (text.substr(0, 8) != "00020000") fail(1465);
    for (size_t i = 0; i < parsed.oid.size(); ++i) {
      int high = hex_digit(text[8 + 2 * i]), low = hex_digit(text[9 + 2 * i]);
      if (high < 0 || low < 0) fail(1465);
      parsed.oid[i] = static_cast<ub1>(high * 16 + low);
    }
    parsed.null = false;
    if (to == nullptr) to = adopt(std::make_unique<OCIRef>(), Kind::Ref, env);
    ref(to, "6") = parsed;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT ub4 __cdecl OCIRefHexSize(OCIEnv *env, const OCIRef *r) {
  ZEC_RECORD("OCIRefHexSize", env, r);
  return live_handle(env, OCI_HTYPE_ENV) && object_of<OCIRef>(r, Kind::Ref) ? kRefHexSize : 0;
}

ZEC_EXPORT OCIBoolean __cdecl OCIRefIsEqual(OCIEnv *env, const OCIRef *x, const OCIRef *y) {
  ZEC_RECORD("OCIRefIsEqual", env, x, y);
  const auto *a = object_of<OCIRef>(x, Kind::Ref);
  const auto *b = object_of<OCIRef>(y, Kind::Ref);
  // Two null REFs are not equal.
  return live_handle(env, OCI_HTYPE_ENV) && a && b && !a->null && !b->null && a->oid == b->oid ? 1 : 0;
}

ZEC_EXPORT OCIBoolean __cdecl OCIRefIsNull(OCIEnv *env, const OCIRef *r) {
  ZEC_RECORD("OCIRefIsNull", env, r);
  const auto *a = object_of<OCIRef>(r, Kind::Ref);
  return a == nullptr || a->null ? 1 : 0;
}

ZEC_EXPORT sword __cdecl OCIRefToHex(OCIEnv *env, OCIError *err, const OCIRef *r, OraText *hex, ub4 *hex_length) {
  ZEC_ENTER("OCIRefToHex", env, err, r, hex, hex_length);
  if (!env_ok(env, err)) ZEC_RETURN("OCIRefToHex", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIRefToHex", guarded(err, [&] {
    const OCIRef &from = ref(r, "3");
    ub4 &length = out(hex_length, "5");
    if (from.null) {
      length = 0;
      return OCI_SUCCESS;
    }
    std::string text = ref_hex(from);
    if (hex == nullptr || length < text.size()) fail(21560, "5");
    std::memcpy(hex, text.data(), text.size());  // no NUL: the length says where it ends
    length = static_cast<ub4>(text.size());
    return OCI_SUCCESS;
  }));
}

// ---- Raw values ---------------------------------------------------------------

ZEC_EXPORT sword __cdecl OCIRawAllocSize(OCIEnv *env, OCIError *err, const OCIRaw *r, ub4 *allocsize) {
  ZEC_ENTER("OCIRawAllocSize", env, err, r, allocsize);
  if (!env_ok(env, err)) ZEC_RETURN("OCIRawAllocSize", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIRawAllocSize", guarded(err, [&] {
    out(allocsize, "4") = static_cast<ub4>(raw(r, "3").data.size());
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCIRawAssignBytes(OCIEnv *env, OCIError *err, const ub1 *rhs, ub4 rhs_len, OCIRaw **lhs) {
  ZEC_ENTER("OCIRawAssignBytes", env, err, rhs, rhs_len, lhs);
  if (!env_ok(env, err)) ZEC_RETURN("OCIRawAssignBytes", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIRawAssignBytes", guarded(err, [&] {
    if (rhs == nullptr && rhs_len > 0) fail(21560, "3");
    OCIRaw &to = raw_target(env, lhs, "5");
    resize(to, rhs_len);
    if (rhs_len > 0) std::memcpy(to.data.data(), rhs, rhs_len);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCIRawAssignRaw(OCIEnv *env, OCIError *err, const OCIRaw *rhs, OCIRaw **lhs) {
  ZEC_ENTER("OCIRawAssignRaw", env, err, rhs, lhs);
  if (!env_ok(env, err)) ZEC_RETURN("OCIRawAssignRaw", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIRawAssignRaw", guarded(err, [&] {
    const OCIRaw &from = raw(rhs, "3");
    OCIRaw &to = raw_target(env, lhs, "4");
    if (&from == &to) return OCI_SUCCESS;
    std::vector<ub1> bytes(from.data.begin(), from.data.begin() + from.size);
    resize(to, from.size);
    if (!bytes.empty()) std::memcpy(to.data.data(), bytes.data(), bytes.size());
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT ub1 *__cdecl OCIRawPtr(OCIEnv *env, const OCIRaw *r) {
  ZEC_RECORD("OCIRawPtr", env, r);
  auto *found = object_of<OCIRaw>(r, Kind::Raw);
  return live_handle(env, OCI_HTYPE_ENV) && found && !found->data.empty() ? found->data.data() : nullptr;
}

ZEC_EXPORT sword __cdecl OCIRawResize(OCIEnv *env, OCIError *err, ub4 new_size, OCIRaw **r) {
  ZEC_ENTER("OCIRawResize", env, err, new_size, r);
  if (!env_ok(env, err)) ZEC_RETURN("OCIRawResize", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCIRawResize", guarded(err, [&] {
    OCIRaw *&pointer = out(r, "4");
    if (new_size == 0) {
      // Size 0 frees the raw.
      if (pointer != nullptr) {
        raw(pointer, "4");
        drop(pointer, Kind::Raw);
      }
      pointer = nullptr;
      return OCI_SUCCESS;
    }
    resize(raw_target(env, r, "4"), new_size);  // the contents are not kept
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT ub4 __cdecl OCIRawSize(OCIEnv *env, const OCIRaw *r) {
  ZEC_RECORD("OCIRawSize", env, r);
  const auto *found = object_of<OCIRaw>(r, Kind::Raw);
  return live_handle(env, OCI_HTYPE_ENV) && found ? found->size : 0;
}

// ---- The object cache ---------------------------------------------------------
// No SQL object type fills the cache, so it is always empty: every call
// succeeds and returns no REF.

ZEC_EXPORT sword __cdecl OCICacheFlush(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, void *context,
                                       OCIRef *(__cdecl *get)(void *context, ub1 *last), OCIRef **r) {
  ZEC_ENTER("OCICacheFlush", env, err, svc, context, get, r);
  if (!cache_ok(env, err, svc)) ZEC_RETURN("OCICacheFlush", OCI_INVALID_HANDLE);
  if (r) *r = nullptr;
  ZEC_RETURN("OCICacheFlush", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCICacheRefresh(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, OCIRefreshOpt option,
                                         void *context, OCIRef *(__cdecl *get)(void *context), OCIRef **r) {
  ZEC_ENTER("OCICacheRefresh", env, err, svc, option, context, get, r);
  if (!cache_ok(env, err, svc)) ZEC_RETURN("OCICacheRefresh", OCI_INVALID_HANDLE);
  if (r) *r = nullptr;
  ZEC_RETURN("OCICacheRefresh", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCICacheUnpin(OCIEnv *env, OCIError *err, const OCISvcCtx *svc) {
  ZEC_ENTER("OCICacheUnpin", env, err, svc);
  ZEC_RETURN("OCICacheUnpin", cache_ok(env, err, svc) ? OCI_SUCCESS : OCI_INVALID_HANDLE);
}

ZEC_EXPORT sword __cdecl OCICacheUnmark(OCIEnv *env, OCIError *err, const OCISvcCtx *svc) {
  ZEC_ENTER("OCICacheUnmark", env, err, svc);
  ZEC_RETURN("OCICacheUnmark", cache_ok(env, err, svc) ? OCI_SUCCESS : OCI_INVALID_HANDLE);
}

ZEC_EXPORT sword __cdecl OCICacheFree(OCIEnv *env, OCIError *err, const OCISvcCtx *svc) {
  ZEC_ENTER("OCICacheFree", env, err, svc);
  ZEC_RETURN("OCICacheFree", cache_ok(env, err, svc) ? OCI_SUCCESS : OCI_INVALID_HANDLE);
}

// ---- Test-only constructors -------------------------------------------------

ZEC_EXPORT void *__cdecl zectest_collection(void *envhp, int limit) {
  if (live_handle(envhp, OCI_HTYPE_ENV) == nullptr || limit < 0) return nullptr;
  try {
    auto c = std::make_unique<OCIColl>();
    c->limit = limit;
    return adopt(std::move(c), Kind::Collection, envhp);
  } catch (...) {
    return nullptr;
  }
}

ZEC_EXPORT void *__cdecl zectest_ref(void *envhp, const char *object_id) {
  if (live_handle(envhp, OCI_HTYPE_ENV) == nullptr) return nullptr;
  try {
    auto r = std::make_unique<OCIRef>();
    if (object_id != nullptr) {
      r->null = false;
      std::memcpy(r->oid.data(), object_id, strnlen(object_id, r->oid.size()));
    }
    return adopt(std::move(r), Kind::Ref, envhp);
  } catch (...) {
    return nullptr;
  }
}

ZEC_EXPORT void *__cdecl zectest_raw(void *envhp, const void *bytes, unsigned size) {
  if (live_handle(envhp, OCI_HTYPE_ENV) == nullptr || (bytes == nullptr && size > 0)) return nullptr;
  try {
    auto r = std::make_unique<OCIRaw>();
    resize(*r, size);
    if (size > 0) std::memcpy(r->data.data(), bytes, size);
    return adopt(std::move(r), Kind::Raw, envhp);
  } catch (...) {
    return nullptr;
  }
}

ZEC_EXPORT void __cdecl zectest_free(void *object) {
  auto it = objects().find(object);
  if (it != objects().end()) drop(object, it->second.kind);
}

}  // extern "C"
