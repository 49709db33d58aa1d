#include "statement/records.h"

#include <cstring>

#include "host/protocol.h"
#include "registry/registry.h"
#include "support/memory.h"

namespace zorvan {

HostVariableRef copy_variable_ref(const void *variable) noexcept {
  if (variable == nullptr) return nullptr;
  HostVariable v = host::variable_get(variable);
  if (variable_tag(v) == abi::kTagUndefined) return nullptr;
  return reference_copy(variable, nullptr);
}

namespace {

template <class T>
bool zeroed_rows(T **array, int32_t rows) noexcept {
  size_t bytes = static_cast<size_t>(rows) * sizeof(T);  // rows is checked by the buffer rule
  *array = static_cast<T *>(plugin_alloc(bytes));
  if (*array == nullptr) return false;
  std::memset(*array, 0, bytes);
  return true;
}

}  // namespace

bool make_side_arrays(SideArrays &sides, int32_t rows, bool lengths_always) noexcept {
  if (rows < 1) return false;
  bool ok = (sides.indicator_variable == nullptr || zeroed_rows(&sides.indicators, rows)) &&
            ((sides.length_variable == nullptr && !lengths_always) || zeroed_rows(&sides.lengths, rows)) &&
            (sides.return_code_variable == nullptr || zeroed_rows(&sides.return_codes, rows));
  if (!ok) {
    plugin_free(sides.indicators);
    plugin_free(sides.lengths);
    plugin_free(sides.return_codes);
    sides.indicators = nullptr;
    sides.lengths = nullptr;
    sides.return_codes = nullptr;
  }
  return ok;
}

void release_side_arrays(SideArrays &sides) noexcept {
  plugin_free(sides.indicator_variable);
  plugin_free(sides.indicators);
  plugin_free(sides.length_variable);
  plugin_free(sides.lengths);
  plugin_free(sides.return_code_variable);
  plugin_free(sides.return_codes);
  sides = SideArrays{};
}

namespace {

// The parts both kinds of record own: two value references, the buffer,
// and the side arrays.
template <class Record>
void release_parts(Record &parts) noexcept {
  plugin_free(parts.value_variable);
  plugin_free(parts.second_value_variable);
  plugin_free(parts.value_buffer);
  release_side_arrays(parts.sides);
  parts.value_variable = nullptr;
  parts.second_value_variable = nullptr;
  parts.value_buffer = nullptr;
}

}  // namespace

void release_bind_parts(BindRecord &parts) noexcept { release_parts(parts); }
void release_define_parts(DefineRecord &parts) noexcept { release_parts(parts); }

BindRecord *reserve_bind_record() noexcept { return heap_new<BindRecord>(); }
DefineRecord *reserve_define_record() noexcept { return heap_new<DefineRecord>(); }

BindRecord *link_bind_record(RegistryNode &statement, BindRecord *record, const BindRecord &filled) noexcept {
  *record = filled;
  record->dynamic_context = nullptr;
  record->bytes_remaining = static_cast<uint32_t>(filled.element_size);
  record->next = statement.binds;
  statement.binds = record;
  statement.last_fetch_status = 0;
  return record;
}

DefineRecord *link_define_record(RegistryNode &statement, DefineRecord *record, const DefineRecord &filled) noexcept {
  *record = filled;
  record->dynamic_context = nullptr;
  record->bytes_received = 0;
  record->next = statement.defines;
  statement.defines = record;
  return record;
}

BindRecord *add_bind_record(RegistryNode &statement, const BindRecord &filled) noexcept {
  BindRecord *record = reserve_bind_record();
  return record ? link_bind_record(statement, record, filled) : nullptr;
}

DefineRecord *add_define_record(RegistryNode &statement, const DefineRecord &filled) noexcept {
  DefineRecord *record = reserve_define_record();
  return record ? link_define_record(statement, record, filled) : nullptr;
}

void bind_list_free(BindRecord *head) noexcept {
  while (head != nullptr) {
    BindRecord *next = head->next;
    release_bind_parts(*head);
    heap_delete(head);
    head = next;
  }
}

void define_list_free(DefineRecord *head) noexcept {
  while (head != nullptr) {
    DefineRecord *next = head->next;
    release_define_parts(*head);
    heap_delete(head);
    head = next;
  }
}

}  // namespace zorvan
