// Statements: prepare, bind, define, execute and fetch, and bind
// information. Around execute and fetch the statement's records are
// transferred: inputs before, outputs after. The piece callbacks the LONG
// binds and defines install are in statement/pieces.
#include <algorithm>
#include <cstring>
#include <utility>

#include "commands/commands.h"
#include "commands/pattern.h"
#include "host/protocol.h"
#include "statement/buffer_rule.h"
#include "statement/pieces.h"
#include "statement/records.h"
#include "statement/transfer.h"
#include "support/bytes.h"

namespace zorvan {
namespace {

bool is_long_type(uint16_t dty) noexcept { return dty == SQLT_LNG || dty == SQLT_LBI; }
bool is_locator_type(int32_t dty) noexcept { return dty == SQLT_CLOB || dty == SQLT_BLOB || dty == SQLT_BFILEE; }

// A bind or define handle parameter: one the registry has under `type` is
// reused, any other value lets OCI make a new one.
bool reusable_handle(uint32_t handle, int32_t type, uint32_t *out) noexcept {
  int32_t registered = handle != 0 ? registry_type(handle) : 0;
  *out = registered == type ? handle : 0;
  return registered == 0 || registered == type;
}

// A record set aside before OCI is called, freed unless it was taken.
template <class Record>
struct Reserved {
  Record *record;
  Record *take() noexcept { return std::exchange(record, nullptr); }
  ~Reserved() { heap_delete(record); }
};

// Refused parameters end a bind or define: -2 with no handle, after the
// parts made so far are released.
template <class Parts, class Release>
void refuse_with(const CommandCall &call, Parts &parts, Release release, sword status = OCI_INVALID_HANDLE) noexcept {
  release(parts);
  report_failure(call, status, 0);
}

// A LOB bind or define names its locator in a cell taken at bind or define
// time: OCI must not write through one the host has freed since.
bool locators_registered(const RegistryNode &st) noexcept {
  auto live = [](const uint8_t *cell) {
    if (cell == nullptr) return false;
    int32_t type = registry_type(load<uint32_t>(cell));
    return type == OCI_DTYPE_LOB || type == OCI_DTYPE_FILE;
  };
  for (const BindRecord *r = st.binds; r != nullptr; r = r->next)
    if (is_locator_type(r->data_type) && !live(r->value_buffer)) return false;
  for (const DefineRecord *r = st.defines; r != nullptr; r = r->next)
    if (is_locator_type(r->data_type) && !live(r->value_buffer)) return false;
  return true;
}

// The rows OCI may write into every define, and read from every bind.
int32_t define_rows(const RegistryNode &st) noexcept {
  int32_t rows = INT32_MAX;
  for (const DefineRecord *r = st.defines; r != nullptr; r = r->next) rows = std::min(rows, r->row_count);
  return rows;
}
int32_t bind_rows(const RegistryNode &st) noexcept {
  int32_t rows = INT32_MAX;
  for (const BindRecord *r = st.binds; r != nullptr; r = r->next) rows = std::min(rows, r->row_count);
  return rows;
}

// The side arrays' variables, read from three consecutive parameters.
void read_sides(const CommandCall &call, int16_t first, SideArrays &sides) noexcept {
  sides.indicator_variable = copy_variable_ref(param_variable(call, first));
  sides.length_variable = copy_variable_ref(param_variable(call, static_cast<int16_t>(first + 1)));
  sides.return_code_variable = copy_variable_ref(param_variable(call, static_cast<int16_t>(first + 2)));
}

// A second value variable must fit the first's buffer, row for row.
bool second_fits(const VariableReference *second, uint16_t dty, const ValueBuffer &first) noexcept {
  ValueBuffer b;
  if (size_value_buffer(second, dty, &b) != BufferRule::Made) return false;
  return b.element_size <= first.element_size && b.row_count <= first.row_count;
}

}  // namespace

void command_stmt_prepare(const CommandCall &call) noexcept {
  uint32_t statement = handle_param(call, 1);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  uint32_t length = param_text_handle(call, 3, {});
  HeapBytes text = heap_bytes(length);
  if (!text) return report_failure(call, OCI_ERROR, 0);
  param_text_handle(call, 3, std::span<uint8_t>(text.get(), length));
  ub4 mode = static_cast<ub4>(param_long(call, 4));
  RegistryNode *node = statement_node(statement);
  if (node == nullptr || error == 0) return refuse(call);
  auto prepare = COMMAND_OCI(call, OCIStmtPrepare);
  if (prepare == nullptr) return;
  plugin_free(node->statement_text);
  node->statement_text = reinterpret_cast<char *>(text.data.release());
  sword status = prepare(as_handle<OCIStmt>(statement), as_handle<OCIError>(error),
                         reinterpret_cast<const OraText *>(node->statement_text), length, OCI_NTV_SYNTAX, mode);
  finish(call, status, error);
}

void command_stmt_execute(const CommandCall &call) noexcept {
  uint32_t service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  uint32_t statement = handle_param(call, 2);
  uint32_t error = typed_handle(call, 3, OCI_HTYPE_ERROR);
  ub4 iters = static_cast<ub4>(param_long(call, 4));
  ub4 rowoff = static_cast<ub4>(param_long(call, 5));
  uint32_t snap_in = handle_param(call, 6);
  uint32_t snap_out = handle_param(call, 7);
  ub4 mode = static_cast<ub4>(param_long(call, 8));
  RegistryNode *node = statement_node(statement);
  if (service == 0 || node == nullptr || error == 0 ||
      (snap_in != 0 && !has_type(snap_in, OCI_DTYPE_SNAP)) || (snap_out != 0 && !has_type(snap_out, OCI_DTYPE_SNAP)))
    return refuse(call);
  auto execute = COMMAND_OCI(call, OCIStmtExecute);
  if (execute == nullptr) return;
  // OCI reads iters rows of every bind of a DML statement and writes iters
  // rows into every define of a query: no more than their buffers hold.
  // Only a count beyond one of the two needs the statement's type.
  int32_t defines = define_rows(*node);
  int32_t binds = bind_rows(*node);
  if (iters > static_cast<ub4>(std::min(defines, binds))) {
    auto attr_get = COMMAND_OCI(call, OCIAttrGet);
    if (attr_get == nullptr) return;
    ub2 type = 0;
    attr_get(as_handle<void>(statement), OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE,
             as_handle<OCIError>(error));
    if (iters > static_cast<ub4>(type == OCI_STMT_SELECT ? defines : binds)) return refuse(call);
  }
  if (!locators_registered(*node)) return refuse(call);
  if (int code = transfer_bind_inputs(*node); code != 0)
    return report_failure(call, code == 4 ? 4 : OCI_INVALID_HANDLE, error);
  clear_define_buffers(*node);
  sword status = execute(as_handle<OCISvcCtx>(service), as_handle<OCIStmt>(statement), as_handle<OCIError>(error),
                         iters, rowoff, as_handle<OCISnapshot>(snap_in), as_handle<OCISnapshot>(snap_out), mode);
  if (!is_success(status) && status != OCI_NO_DATA) return report_failure(call, status, error);
  transfer_define_outputs(*node);
  transfer_bind_outputs(*node);
  result_set_long(call, status);
}

void command_stmt_fetch(const CommandCall &call) noexcept {
  uint32_t statement = handle_param(call, 1);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  ub4 rows = static_cast<ub4>(param_long(call, 3));
  RegistryNode *node = statement_node(statement);
  if (node == nullptr || error == 0) return refuse(call);
  if (rows > static_cast<ub4>(define_rows(*node)) || !locators_registered(*node)) return refuse(call);
  auto fetch = COMMAND_OCI(call, OCIStmtFetch);
  if (fetch == nullptr) return;
  clear_define_buffers(*node);
  sword status = fetch(as_handle<OCIStmt>(statement), as_handle<OCIError>(error), rows, OCI_FETCH_NEXT, OCI_DEFAULT);
  node->last_fetch_status = status;
  // What the fetch delivered reaches the host whatever it answered.
  transfer_define_outputs(*node);
  transfer_bind_outputs(*node);
  result_set_long(call, status);
  if (!is_success(status) && status != OCI_NO_DATA) report_failure(call, status, error);
}

void command_bind(const CommandCall &call, int32_t selector) noexcept {
  bool by_name = selector == 64 || selector == 173;
  bool pair = selector == 172 || selector == 173;
  int16_t shift = pair ? 1 : 0;
  uint32_t statement = handle_param(call, 1);
  uint32_t given_bind = handle_param(call, 2);
  uint32_t error = typed_handle(call, 3, OCI_HTYPE_ERROR);
  host::ZString name{};
  int32_t position = 0;
  if (by_name) param_text(call, 4, name);
  else position = param_long(call, 4);
  BindRecord parts;
  parts.value_variable = copy_variable_ref(param_variable(call, 5));
  if (pair) parts.second_value_variable = copy_variable_ref(param_variable(call, 6));
  auto dty = static_cast<uint16_t>(param_long(call, static_cast<int16_t>(6 + shift)));
  read_sides(call, static_cast<int16_t>(7 + shift), parts.sides);
  ub4 mode = static_cast<ub4>(param_long(call, static_cast<int16_t>(10 + shift)));
  parts.output = static_cast<uint8_t>(param_long(call, static_cast<int16_t>(11 + shift)));

  RegistryNode *node = statement_node(statement);
  uint32_t bind = 0;
  if (node == nullptr || error == 0 || !reusable_handle(given_bind, OCI_HTYPE_BIND, &bind))
    return refuse_with(call, parts, release_bind_parts);
  ValueBuffer buffer;
  BufferRule rule = size_value_buffer(parts.value_variable, dty, &buffer);
  if (rule != BufferRule::Made) return refuse_with(call, parts, release_bind_parts, rule == BufferRule::NoMemory ? OCI_ERROR : OCI_INVALID_HANDLE);
  if (pair && !second_fits(parts.second_value_variable, dty, buffer)) return refuse_with(call, parts, release_bind_parts);
  parts.element_size = capped_value_size(buffer.element_size, dty);
  parts.row_count = buffer.row_count;
  parts.data_type = dty;
  parts.buffer_size = static_cast<uint32_t>(buffer.bytes.size);
  parts.value_buffer = buffer.bytes.data.release();
  if (!make_side_arrays(parts.sides, parts.row_count)) return refuse_with(call, parts, release_bind_parts, OCI_ERROR);
  // Once OCI has the buffers it keeps them: the record and the registry
  // node are made sure of first, so nothing can fail after OCI took them.
  Reserved<BindRecord> reserved{reserve_bind_record()};
  if (!reserved.record || !registry_reserve()) return refuse_with(call, parts, release_bind_parts, OCI_ERROR);

  auto *handle = as_handle<OCIBind>(bind);
  sword status;
  if (by_name) {
    auto by = COMMAND_OCI(call, OCIBindByName);
    if (by == nullptr) return release_bind_parts(parts);
    status = by(as_handle<OCIStmt>(statement), &handle, as_handle<OCIError>(error),
                reinterpret_cast<const OraText *>(name), static_cast<sb4>(std::strlen(name)), parts.value_buffer,
                parts.element_size, dty, parts.sides.indicators, parts.sides.lengths, parts.sides.return_codes, 0,
                nullptr, mode);
  } else {
    auto by = COMMAND_OCI(call, OCIBindByPos);
    if (by == nullptr) return release_bind_parts(parts);
    status = by(as_handle<OCIStmt>(statement), &handle, as_handle<OCIError>(error), static_cast<ub4>(position),
                parts.value_buffer, parts.element_size, dty, parts.sides.indicators, parts.sides.lengths,
                parts.sides.return_codes, 0, nullptr, mode);
  }
  if (!is_success(status)) {
    release_bind_parts(parts);
    return report_failure(call, status, error);
  }
  uint32_t word = handle_word(handle);
  registry_add(word, OCI_HTYPE_BIND, statement);  // takes the reserved node
  BindRecord *record = link_bind_record(*node, reserved.take(), parts);
  param_set_long(call, 2, static_cast<int32_t>(word));
  if (mode == OCI_DATA_AT_EXEC && is_long_type(dty)) {
    record->bind_handle = word;
    auto dynamic = COMMAND_OCI(call, OCIBindDynamic);
    if (dynamic == nullptr) return;
    status = dynamic(handle, as_handle<OCIError>(error), record->dynamic_context, dynamic_bind_callback, nullptr,
                     nullptr);
  }
  finish(call, status, error);
}

void command_define(const CommandCall &call, int32_t selector) noexcept {
  bool pair = selector == 174;
  int16_t shift = pair ? 1 : 0;
  uint32_t statement = handle_param(call, 1);
  uint32_t given_define = handle_param(call, 2);
  uint32_t error = typed_handle(call, 3, OCI_HTYPE_ERROR);
  ub4 position = static_cast<ub4>(param_long(call, 4));
  DefineRecord parts;
  parts.value_variable = copy_variable_ref(param_variable(call, 5));
  if (pair) parts.second_value_variable = copy_variable_ref(param_variable(call, 6));
  auto dty = static_cast<uint16_t>(param_long(call, static_cast<int16_t>(6 + shift)));
  read_sides(call, static_cast<int16_t>(7 + shift), parts.sides);
  ub4 mode = static_cast<ub4>(param_long(call, static_cast<int16_t>(10 + shift)));

  RegistryNode *node = statement_node(statement);
  uint32_t define = 0;
  if (node == nullptr || error == 0 ||
      !reusable_handle(given_define, OCI_HTYPE_DEFINE, &define))
    return refuse_with(call, parts, release_define_parts);
  ValueBuffer buffer;
  switch (size_value_buffer(parts.value_variable, dty, &buffer)) {
    case BufferRule::Made: break;
    case BufferRule::EmptyArray: return refuse_with(call, parts, release_define_parts, OCI_ERROR);
    case BufferRule::NoMemory: return refuse_with(call, parts, release_define_parts, OCI_ERROR);
    default: return refuse_with(call, parts, release_define_parts);
  }
  if (pair && !second_fits(parts.second_value_variable, dty, buffer)) return refuse_with(call, parts, release_define_parts);
  parts.element_size = buffer.element_size;
  parts.row_count = buffer.row_count;
  parts.data_type = dty;
  parts.dynamic = mode == OCI_DYNAMIC_FETCH && is_long_type(dty);
  parts.buffer_size = static_cast<uint32_t>(buffer.bytes.size);
  parts.value_buffer = buffer.bytes.data.release();
  // A BLOB defined whole takes the length OCI reports, not its whole buffer.
  bool blob = buffer.tag == abi::kTagBlob;
  if (!make_side_arrays(parts.sides, parts.row_count, blob && !parts.dynamic))
    return refuse_with(call, parts, release_define_parts, OCI_ERROR);
  Reserved<DefineRecord> reserved{reserve_define_record()};
  if (!reserved.record || !registry_reserve()) return refuse_with(call, parts, release_define_parts, OCI_ERROR);
  auto by_pos = COMMAND_OCI(call, OCIDefineByPos);
  if (by_pos == nullptr) return release_define_parts(parts);
  auto *handle = as_handle<OCIDefine>(define);
  sb4 size = parts.dynamic ? static_cast<sb4>(kMaxValueBuffer) : parts.element_size;
  sword status = by_pos(as_handle<OCIStmt>(statement), &handle, as_handle<OCIError>(error), position,
                        parts.value_buffer, size, dty, parts.sides.indicators, parts.sides.lengths,
                        parts.sides.return_codes, mode);
  if (!is_success(status)) {
    release_define_parts(parts);
    return report_failure(call, status, error);
  }
  uint32_t word = handle_word(handle);
  parts.define_handle = word;
  registry_add(word, OCI_HTYPE_DEFINE, statement);  // takes the reserved node
  DefineRecord *record = link_define_record(*node, reserved.take(), parts);
  param_set_long(call, 2, static_cast<int32_t>(word));
  if (parts.dynamic) {
    auto dynamic = COMMAND_OCI(call, OCIDefineDynamic);
    if (dynamic == nullptr) return;
    status = dynamic(handle, as_handle<OCIError>(error), record->dynamic_context, dynamic_define_callback);
  }
  finish(call, status, error);
}

}  // namespace zorvan

namespace zorvan {

// Selector 17: the placeholders of a prepared statement into four host
// arrays, element 1 onwards, each array written in place.
void command_get_bind_info(const CommandCall &call) noexcept {
  uint32_t statement = typed_handle(call, 1, OCI_HTYPE_STMT);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  ub4 start = static_cast<ub4>(param_long(call, 3));
  HostVariable arrays[4];
  for (int16_t i = 0; i < 4; ++i) {
    auto *ref = static_cast<const VariableReference *>(param_variable(call, static_cast<int16_t>(5 + i)));
    arrays[i] = variable_from_reference(ref, nullptr);  // by name, whole arrays
  }
  const HostVariable &names = arrays[0], &indicators = arrays[1], &duplicates = arrays[2], &handles = arrays[3];
  if (statement == 0 || error == 0 ||
      variable_tag(names) != abi::kTagStringArray || variable_tag(indicators) != abi::kTagStringArray ||
      variable_tag(duplicates) != abi::kTagBooleanArray || variable_tag(handles) != abi::kTagLongArray)
    return refuse(call);
  int32_t n = std::max(array_size(names), 0);
  auto get_bind_info = COMMAND_OCI(call, OCIStmtGetBindInfo);
  if (get_bind_info == nullptr) return;
  // One block for the six working arrays, N entries each; N is the host's,
  // so the product is checked before it is allocated.
  size_t entries = static_cast<size_t>(std::max(n, 1));
  uint64_t wanted = static_cast<uint64_t>(entries) * (2 * sizeof(OraText *) + 3 + sizeof(OCIBind *));
  if (wanted > kMaxValueBuffer) return report_failure(call, OCI_ERROR, error);
  auto bytes = static_cast<size_t>(wanted);
  HeapBytes work = heap_bytes(bytes);
  if (!work) return report_failure(call, OCI_ERROR, error);
  std::memset(work.get(), 0, bytes);
  auto *name_at = reinterpret_cast<OraText **>(work.get());
  auto *indicator_at = name_at + entries;
  auto *bind_at = reinterpret_cast<OCIBind **>(indicator_at + entries);
  auto *name_length = reinterpret_cast<ub1 *>(bind_at + entries);
  ub1 *indicator_length = name_length + entries;
  ub1 *duplicate = indicator_length + entries;
  sb4 found = 0;
  sword status = get_bind_info(as_handle<OCIStmt>(statement), as_handle<OCIError>(error), static_cast<ub4>(n), start,
                               &found, name_at, name_length, indicator_at, indicator_length, duplicate, bind_at);
  if (!is_success(status)) return report_failure(call, status, error);
  param_set_long(call, 4, found);
  // Only the entries OCI filled: those from the start position, at most N.
  int64_t total = found < 0 ? -static_cast<int64_t>(found) : found;
  int64_t filled = std::clamp<int64_t>(total - (static_cast<int64_t>(start) - 1), 0, n);
  // Names are taken by the lengths OCI gives: they need not end with a zero.
  auto text_of = [](const OraText *text, ub1 length, host::ZString &out) {
    size_t k = text != nullptr ? std::min<size_t>(length, sizeof out - 1) : 0;
    if (k) std::memcpy(out, text, k);
    out[k] = '\0';
  };
  for (int32_t i = 0; i < filled; ++i) {
    host::ZString text;
    text_of(name_at[i], name_length[i], text);
    array_set_string(names, i + 1, text);
    text_of(indicator_at[i], indicator_length[i], text);
    array_set_string(indicators, i + 1, text);
    array_set_boolean(duplicates, i + 1, duplicate[i] != 0);
    array_set_long(handles, i + 1, static_cast<int32_t>(handle_word(bind_at[i])));
  }
  result_set_long(call, status);
}

}  // namespace zorvan
