// Collections, iterators, nested tables, REFs, raw values and the object
// cache. The objects cross as host longs holding their addresses and are
// not registered (programs get them from OCI calls the plug-in never sees);
// only the environment, the error handle and, for the cache, the service
// context are checked. The family's rule: OCI's status is the result and
// never goes down the error path; out-parameters are written on 0 or 1.
// A zero object that OCI would dereference is refused like a wrong handle,
// except by the silent commands (165, 121, 119, 117), which then do nothing.
#include <algorithm>
#include <cstring>

#include "commands/commands.h"
#include "commands/pattern.h"
#include "support/memory.h"

namespace zorvan {
namespace {

bool succeeded(sword status) noexcept { return status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO; }

// P1 the environment and P2 the error handle, both as registered; zero
// words when either is wrong.
struct EnvError {
  uint32_t env = 0, error = 0;
  explicit operator bool() const noexcept { return env != 0 && error != 0; }
  OCIEnv *e() const noexcept { return as_handle<OCIEnv>(env); }
  OCIError *r() const noexcept { return as_handle<OCIError>(error); }
};

EnvError env_error(const CommandCall &call) noexcept {
  return EnvError{typed_handle(call, 1, OCI_HTYPE_ENV), typed_handle(call, 2, OCI_HTYPE_ERROR)};
}

// An object parameter: its address, or null for a zero long.
template <class T>
T *object_param(const CommandCall &call, int16_t i) noexcept {
  return as_handle<T>(handle_param(call, i));
}

// The REF texts OCI gives are short; a larger hex size is not believed.
constexpr ub4 kMaxHexText = 4096;

int32_t word_of(const void *pointer) noexcept { return static_cast<int32_t>(handle_word(pointer)); }

// The result is the status; nothing is reported.
void status_result(const CommandCall &call, sword status) noexcept { result_set_long(call, status); }

}  // namespace

// ---- Collections ------------------------------------------------------------

void command_coll_append(const CommandCall &call) noexcept {  // 169
  EnvError h = env_error(call);
  auto *element = object_param<void>(call, 3);
  auto *collection = object_param<OCIColl>(call, 5);
  if (!h || element == nullptr || collection == nullptr) return refuse(call);
  auto append = COMMAND_OCI(call, OCICollAppend);
  if (append == nullptr) return;
  status_result(call, append(h.e(), h.r(), element, object_param<void>(call, 4), collection));
}

void command_coll_assign(const CommandCall &call) noexcept {  // 168
  EnvError h = env_error(call);
  auto *source = object_param<OCIColl>(call, 3);
  auto *target = object_param<OCIColl>(call, 4);
  if (!h || source == nullptr || target == nullptr) return refuse(call);
  auto assign = COMMAND_OCI(call, OCICollAssign);
  if (assign == nullptr) return;
  status_result(call, assign(h.e(), h.r(), source, target));
}

void command_coll_assign_elem(const CommandCall &call) noexcept {  // 167
  EnvError h = env_error(call);
  auto *element = object_param<void>(call, 4);
  auto *collection = object_param<OCIColl>(call, 6);
  if (!h || element == nullptr || collection == nullptr) return refuse(call);
  auto assign = COMMAND_OCI(call, OCICollAssignElem);
  if (assign == nullptr) return;
  status_result(call, assign(h.e(), h.r(), param_long(call, 3), element, object_param<void>(call, 5), collection));
}

void command_coll_get_elem(const CommandCall &call) noexcept {  // 166
  EnvError h = env_error(call);
  auto *collection = object_param<OCIColl>(call, 3);
  if (!h || collection == nullptr) return refuse(call);
  auto get = COMMAND_OCI(call, OCICollGetElem);
  if (get == nullptr) return;
  OCIBoolean exists = 0;
  void *element = nullptr;
  void *indicator = nullptr;
  sword status = get(h.e(), h.r(), collection, param_long(call, 4), &exists, &element, &indicator);
  if (succeeded(status)) {
    param_set_long(call, 5, exists == 1 ? 1 : 0);
    param_set_long(call, 6, word_of(element));
    param_set_long(call, 7, word_of(indicator));
  }
  status_result(call, status);
}

// 165: silent on a wrong environment or no collection; the result is the
// maximum OCI gives.
void command_coll_max(const CommandCall &call) noexcept {
  uint32_t env = typed_handle(call, 1, OCI_HTYPE_ENV);
  auto *collection = object_param<OCIColl>(call, 2);
  if (env == 0 || collection == nullptr) return;
  auto max = COMMAND_OCI(call, OCICollMax);
  if (max == nullptr) return;
  result_set_long(call, max(as_handle<OCIEnv>(env), collection));
}

// 164 collection size and 170 table size.
void command_coll_size(const CommandCall &call, int32_t selector) noexcept {
  EnvError h = env_error(call);
  auto *collection = object_param<OCIColl>(call, 3);
  if (!h || collection == nullptr) return refuse(call);
  auto size_of = selector == 164 ? COMMAND_OCI(call, OCICollSize) : COMMAND_OCI(call, OCITableSize);
  if (size_of == nullptr) return;
  sb4 size = 0;
  sword status = size_of(h.e(), h.r(), collection, &size);
  if (succeeded(status)) param_set_long(call, 4, size);
  status_result(call, status);
}

void command_coll_trim(const CommandCall &call) noexcept {  // 163
  EnvError h = env_error(call);
  auto *collection = object_param<OCIColl>(call, 4);
  if (!h || collection == nullptr) return refuse(call);
  auto trim = COMMAND_OCI(call, OCICollTrim);
  if (trim == nullptr) return;
  status_result(call, trim(h.e(), h.r(), param_long(call, 3), collection));
}

// ---- Iterators --------------------------------------------------------------

void command_iter_create(const CommandCall &call) noexcept {  // 154
  EnvError h = env_error(call);
  auto *collection = object_param<OCIColl>(call, 3);
  if (!h || collection == nullptr) return refuse(call);
  auto create = COMMAND_OCI(call, OCIIterCreate);
  if (create == nullptr) return;
  OCIIter *iterator = nullptr;
  sword status = create(h.e(), h.r(), collection, &iterator);
  if (succeeded(status)) param_set_long(call, 4, word_of(iterator));
  status_result(call, status);
}

void command_iter_delete(const CommandCall &call) noexcept {  // 153
  EnvError h = env_error(call);
  auto *iterator = object_param<OCIIter>(call, 3);
  if (!h || iterator == nullptr) return refuse(call);
  auto remove = COMMAND_OCI(call, OCIIterDelete);
  if (remove == nullptr) return;
  sword status = remove(h.e(), h.r(), &iterator);
  param_set_long(call, 3, word_of(iterator));
  status_result(call, status);
}

void command_iter_get_current(const CommandCall &call) noexcept {  // 152
  EnvError h = env_error(call);
  auto *iterator = object_param<OCIIter>(call, 3);
  if (!h || iterator == nullptr) return refuse(call);
  auto current = COMMAND_OCI(call, OCIIterGetCurrent);
  if (current == nullptr) return;
  void *element = nullptr;
  void *indicator = nullptr;
  sword status = current(h.e(), h.r(), iterator, &element, &indicator);
  if (succeeded(status)) {
    param_set_long(call, 4, word_of(element));
    param_set_long(call, 5, word_of(indicator));
  }
  status_result(call, status);
}

void command_iter_init(const CommandCall &call) noexcept {  // 151
  EnvError h = env_error(call);
  auto *collection = object_param<OCIColl>(call, 3);
  auto *iterator = object_param<OCIIter>(call, 4);
  if (!h || collection == nullptr || iterator == nullptr) return refuse(call);
  auto init = COMMAND_OCI(call, OCIIterInit);
  if (init == nullptr) return;
  status_result(call, init(h.e(), h.r(), collection, iterator));
}

// 150 next and 149 previous: the element and the end flag (= 1).
void command_iter_step(const CommandCall &call, int32_t selector) noexcept {
  EnvError h = env_error(call);
  auto *iterator = object_param<OCIIter>(call, 3);
  if (!h || iterator == nullptr) return refuse(call);
  auto step = selector == 150 ? COMMAND_OCI(call, OCIIterNext) : COMMAND_OCI(call, OCIIterPrev);
  if (step == nullptr) return;
  void *element = nullptr;
  void *indicator = nullptr;
  OCIBoolean edge = 0;
  sword status = step(h.e(), h.r(), iterator, &element, &indicator, &edge);
  if (succeeded(status)) {
    param_set_long(call, 4, word_of(element));
    param_set_long(call, 5, word_of(indicator));
    param_set_long(call, 6, edge == 1 ? 1 : 0);
  }
  status_result(call, status);
}

// ---- Nested tables ----------------------------------------------------------

void command_table_delete(const CommandCall &call) noexcept {  // 111
  EnvError h = env_error(call);
  auto *table = object_param<OCITable>(call, 4);
  if (!h || table == nullptr) return refuse(call);
  auto remove = COMMAND_OCI(call, OCITableDelete);
  if (remove == nullptr) return;
  status_result(call, remove(h.e(), h.r(), param_long(call, 3), table));
}

void command_table_exists(const CommandCall &call) noexcept {  // 110
  EnvError h = env_error(call);
  auto *table = object_param<OCITable>(call, 3);
  if (!h || table == nullptr) return refuse(call);
  auto exists = COMMAND_OCI(call, OCITableExists);
  if (exists == nullptr) return;
  OCIBoolean flag = 0;
  sword status = exists(h.e(), h.r(), table, param_long(call, 4), &flag);
  if (succeeded(status)) param_set_long(call, 5, flag != 0 ? 1 : 0);
  status_result(call, status);
}

// 109 first and 108 last.
void command_table_end(const CommandCall &call, int32_t selector) noexcept {
  EnvError h = env_error(call);
  auto *table = object_param<OCITable>(call, 3);
  if (!h || table == nullptr) return refuse(call);
  auto end = selector == 109 ? COMMAND_OCI(call, OCITableFirst) : COMMAND_OCI(call, OCITableLast);
  if (end == nullptr) return;
  sb4 index = 0;
  sword status = end(h.e(), h.r(), table, &index);
  if (succeeded(status)) param_set_long(call, 4, index);
  status_result(call, status);
}

// 107 next and 106 previous: the index and the exists flag (≠ 0).
void command_table_step(const CommandCall &call, int32_t selector) noexcept {
  EnvError h = env_error(call);
  auto *table = object_param<OCITable>(call, 4);
  if (!h || table == nullptr) return refuse(call);
  auto step = selector == 107 ? COMMAND_OCI(call, OCITableNext) : COMMAND_OCI(call, OCITablePrev);
  if (step == nullptr) return;
  sb4 index = 0;
  OCIBoolean exists = 0;
  sword status = step(h.e(), h.r(), param_long(call, 3), table, &index, &exists);
  if (succeeded(status)) {
    param_set_long(call, 5, index);
    param_set_long(call, 6, exists != 0 ? 1 : 0);
  }
  status_result(call, status);
}

// ---- REFs -------------------------------------------------------------------

void command_ref_assign(const CommandCall &call) noexcept {  // 118
  EnvError h = env_error(call);
  auto *source = object_param<OCIRef>(call, 3);
  if (!h || source == nullptr) return refuse(call);
  auto assign = COMMAND_OCI(call, OCIRefAssign);
  if (assign == nullptr) return;
  auto *target = object_param<OCIRef>(call, 4);  // OCI makes one when there is none
  sword status = assign(h.e(), h.r(), source, &target);
  if (succeeded(status)) param_set_long(call, 4, word_of(target));
  status_result(call, status);
}

// 117: silent, and never writes a result.
void command_ref_clear(const CommandCall &call) noexcept {
  uint32_t env = typed_handle(call, 1, OCI_HTYPE_ENV);
  auto *ref = object_param<OCIRef>(call, 2);
  if (env == 0 || ref == nullptr) return;
  if (auto clear = oci::typed<decltype(&::OCIRefClear)>(oci::resolve(oci::Fn::OCIRefClear)))
    clear(as_handle<OCIEnv>(env), ref);
}

void command_ref_from_hex(const CommandCall &call) noexcept {  // 116
  EnvError h = env_error(call);
  if (!h) return refuse(call);
  host::ZString hex;
  param_text(call, 4, hex);
  auto from_hex = COMMAND_OCI(call, OCIRefFromHex);
  if (from_hex == nullptr) return;
  auto *ref = object_param<OCIRef>(call, 5);
  sword status = from_hex(h.e(), h.r(), object_param<OCISvcCtx>(call, 3), reinterpret_cast<const OraText *>(hex),
                          static_cast<ub4>(std::strlen(hex)), &ref);
  if (succeeded(status)) param_set_long(call, 5, word_of(ref));
  status_result(call, status);
}

// 115 hex size, 114 equality and 113 null test: the result is OCI's answer.
void command_ref_query(const CommandCall &call, int32_t selector) noexcept {
  uint32_t env = typed_handle(call, 1, OCI_HTYPE_ENV);
  auto *ref = object_param<OCIRef>(call, 2);
  // Only 114 has a third parameter: the others' blocks end at P2.
  auto *other = selector == 114 ? object_param<OCIRef>(call, 3) : nullptr;
  if (env == 0 || ref == nullptr || (selector == 114 && other == nullptr)) return refuse(call);
  auto *e = as_handle<OCIEnv>(env);
  if (selector == 115) {
    auto hex_size = COMMAND_OCI(call, OCIRefHexSize);
    if (hex_size != nullptr) result_set_long(call, static_cast<int32_t>(hex_size(e, ref)));
  } else if (selector == 114) {
    auto is_equal = COMMAND_OCI(call, OCIRefIsEqual);
    if (is_equal != nullptr) result_set_long(call, is_equal(e, ref, other) == 1 ? 1 : 0);
  } else {
    auto is_null = COMMAND_OCI(call, OCIRefIsNull);
    if (is_null != nullptr) result_set_long(call, is_null(e, ref) == 1 ? 1 : 0);
  }
}

// 112: the text takes no more than OCI says it wrote, and never more than
// the buffer the hex size asked for.
void command_ref_to_hex(const CommandCall &call) noexcept {
  EnvError h = env_error(call);
  auto *ref = object_param<OCIRef>(call, 3);
  if (!h || ref == nullptr) return refuse(call);
  auto hex_size = COMMAND_OCI(call, OCIRefHexSize);
  if (hex_size == nullptr) return;
  auto to_hex = COMMAND_OCI(call, OCIRefToHex);
  if (to_hex == nullptr) return;
  ub4 size = hex_size(h.e(), ref);
  if (size > kMaxHexText) size = kMaxHexText;
  HeapBytes buffer = heap_bytes(size);
  if (!buffer && size > 0) return status_result(call, OCI_ERROR);
  uint8_t none[1] = {};
  uint8_t *text = buffer ? buffer.get() : none;
  ub4 length = size;
  sword status = to_hex(h.e(), h.r(), ref, text, &length);
  if (succeeded(status)) {
    text[std::min(length, size)] = '\0';  // heap_bytes keeps a spare byte
    param_set_text(call, 4, reinterpret_cast<const char *>(text));
  }
  status_result(call, status);
}

// ---- Raw values -------------------------------------------------------------

void command_raw_alloc_size(const CommandCall &call) noexcept {  // 124
  EnvError h = env_error(call);
  auto *raw = object_param<OCIRaw>(call, 3);
  if (!h || raw == nullptr) return refuse(call);
  auto alloc_size = COMMAND_OCI(call, OCIRawAllocSize);
  if (alloc_size == nullptr) return;
  ub4 size = 0;
  sword status = alloc_size(h.e(), h.r(), raw, &size);
  if (succeeded(status)) param_set_long(call, 4, static_cast<int32_t>(size));
  status_result(call, status);
}

// 123: the BLOB's bytes are read twice (size, then content); OCI gets the
// count the second read delivered.
void command_raw_assign_bytes(const CommandCall &call) noexcept {
  EnvError h = env_error(call);
  uint32_t announced = param_blob(call, 3, {});
  HeapBytes bytes = heap_bytes(announced);
  if (!bytes && announced > 0) return status_result(call, OCI_ERROR);
  uint8_t none[1] = {};
  uint8_t *data = bytes ? bytes.get() : none;
  uint32_t count = announced > 0 ? param_blob(call, 3, std::span<uint8_t>(data, announced)) : 0;
  count = std::min(count, announced);
  if (!h) return refuse(call);
  auto assign = COMMAND_OCI(call, OCIRawAssignBytes);
  if (assign == nullptr) return;
  auto *raw = object_param<OCIRaw>(call, 4);
  sword status = assign(h.e(), h.r(), data, count, &raw);
  if (succeeded(status)) param_set_long(call, 4, word_of(raw));
  status_result(call, status);
}

void command_raw_assign_raw(const CommandCall &call) noexcept {  // 122
  EnvError h = env_error(call);
  auto *source = object_param<OCIRaw>(call, 3);
  if (!h || source == nullptr) return refuse(call);
  auto assign = COMMAND_OCI(call, OCIRawAssignRaw);
  if (assign == nullptr) return;
  auto *target = object_param<OCIRaw>(call, 4);
  sword status = assign(h.e(), h.r(), source, &target);
  if (succeeded(status)) param_set_long(call, 4, word_of(target));
  status_result(call, status);
}

// 121: silent; the result is a new host BLOB of the raw's bytes.
void command_raw_to_blob(const CommandCall &call) noexcept {
  uint32_t env = typed_handle(call, 1, OCI_HTYPE_ENV);
  auto *raw = object_param<OCIRaw>(call, 2);
  if (env == 0 || raw == nullptr) return;
  auto size_of = oci::typed<decltype(&::OCIRawSize)>(oci::resolve(oci::Fn::OCIRawSize));
  auto pointer = oci::typed<decltype(&::OCIRawPtr)>(oci::resolve(oci::Fn::OCIRawPtr));
  if (size_of == nullptr || pointer == nullptr) return;
  ub4 size = size_of(as_handle<OCIEnv>(env), raw);
  const ub1 *data = pointer(as_handle<OCIEnv>(env), raw);
  result_set_blob(call, data, data != nullptr ? size : 0);
}

// 120: the new size is passed as its low 16 bits.
void command_raw_resize(const CommandCall &call) noexcept {
  EnvError h = env_error(call);
  if (!h) return refuse(call);
  auto resize = COMMAND_OCI(call, OCIRawResize);
  if (resize == nullptr) return;
  auto *raw = object_param<OCIRaw>(call, 4);  // OCI makes one when there is none
  auto size = static_cast<uint16_t>(param_long(call, 3));
  sword status = resize(h.e(), h.r(), size, &raw);
  if (succeeded(status)) param_set_long(call, 4, word_of(raw));
  status_result(call, status);
}

// 119: silent; the result is the raw's size.
void command_raw_size(const CommandCall &call) noexcept {
  uint32_t env = typed_handle(call, 1, OCI_HTYPE_ENV);
  auto *raw = object_param<OCIRaw>(call, 2);
  if (env == 0 || raw == nullptr) return;
  if (auto size_of = oci::typed<decltype(&::OCIRawSize)>(oci::resolve(oci::Fn::OCIRawSize)))
    result_set_long(call, static_cast<int32_t>(size_of(as_handle<OCIEnv>(env), raw)));
}

// ---- The object cache -------------------------------------------------------

namespace {

struct CacheTarget {
  EnvError h;
  uint32_t service = 0;
  explicit operator bool() const noexcept { return static_cast<bool>(h) && service != 0; }
  const OCISvcCtx *s() const noexcept { return as_handle<OCISvcCtx>(service); }
};

CacheTarget cache_target(const CommandCall &call) noexcept {
  return CacheTarget{env_error(call), typed_handle(call, 3, OCI_HTYPE_SVCCTX)};
}

}  // namespace

void command_cache_flush(const CommandCall &call) noexcept {  // 102
  CacheTarget t = cache_target(call);
  if (!t) return refuse(call);
  auto flush = COMMAND_OCI(call, OCICacheFlush);
  if (flush == nullptr) return;
  OCIRef *ref = nullptr;
  sword status = flush(t.h.e(), t.h.r(), t.s(), nullptr, nullptr, &ref);
  if (succeeded(status)) param_set_long(call, 4, word_of(ref));
  status_result(call, status);
}

void command_cache_refresh(const CommandCall &call) noexcept {  // 100
  CacheTarget t = cache_target(call);
  if (!t) return refuse(call);
  auto refresh = COMMAND_OCI(call, OCICacheRefresh);
  if (refresh == nullptr) return;
  // Any non-zero option is OCI_REFRESH_LOADED.
  auto option = static_cast<OCIRefreshOpt>(param_long(call, 4) != 0 ? OCI_REFRESH_LOADED : 0);
  OCIRef *ref = nullptr;
  sword status = refresh(t.h.e(), t.h.r(), t.s(), option, nullptr, nullptr, &ref);
  if (succeeded(status)) param_set_long(call, 5, word_of(ref));
  status_result(call, status);
}

// 98 unpin, 99 unmark, 101 free.
void command_cache_all(const CommandCall &call, int32_t selector) noexcept {
  CacheTarget t = cache_target(call);
  if (!t) return refuse(call);
  using CacheFn = decltype(&::OCICacheUnpin);
  CacheFn all = nullptr;
  switch (selector) {
    case 98: all = COMMAND_OCI(call, OCICacheUnpin); break;
    case 99: all = COMMAND_OCI(call, OCICacheUnmark); break;
    case 101: all = COMMAND_OCI(call, OCICacheFree); break;
    default: return;
  }
  if (all == nullptr) return;
  status_result(call, all(t.h.e(), t.h.r(), t.s()));
}

}  // namespace zorvan
