// Bind and define records: what a statement's registry node owns for each
// host variable bound to a placeholder or defined on a select-list column.
// A record holds references to host variables, never their values, so each
// transfer reads or writes the variables as they are at that moment.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/variables.h"

namespace zorvan {

struct RegistryNode;

// A record's own heap copy of a 42-byte variable reference; null when the
// role is absent (a nil or undefined variable).
using HostVariableRef = VariableReference *;

// The reference of a variable parameter, or null for a nil or undefined
// variable (and when no memory can be had for the copy).
HostVariableRef copy_variable_ref(const void *variable) noexcept;

// The indicator, length and return-code arrays handed to OCI, each with
// the host variable that fills it or receives it; an array exists only
// when its variable does, with one 16-bit entry a row.
struct SideArrays {
  HostVariableRef indicator_variable = nullptr;
  int16_t *indicators = nullptr;
  HostVariableRef length_variable = nullptr;
  uint16_t *lengths = nullptr;
  HostVariableRef return_code_variable = nullptr;
  uint16_t *return_codes = nullptr;
};

// Makes the arrays whose variables are present, rows zeroed entries each;
// false (and nothing kept) when memory fails.
// With lengths_always, the length array is made even without its variable
// (for values whose length the plug-in itself needs).
bool make_side_arrays(SideArrays &sides, int32_t rows, bool lengths_always = false) noexcept;
// Frees the arrays and the references.
void release_side_arrays(SideArrays &sides) noexcept;

struct BindRecord {
  HostVariableRef value_variable = nullptr;
  HostVariableRef second_value_variable = nullptr;  // the time of a date-and-time bind
  uint8_t output = 0;                               // 0: filled before execute; else copied back after
  uint8_t *value_buffer = nullptr;
  uint32_t buffer_size = 0;                          // bytes allocated: the bound of every copy
  uint16_t data_type = 0;                            // SQLT code given to OCI
  int32_t element_size = 0;                          // value size given to OCI: the stride of rows
  int32_t row_count = 1;
  SideArrays sides;
  uint32_t bind_handle = 0;  // data-at-execute binds: how the callback finds its record
  void *dynamic_context = nullptr;
  uint32_t bytes_remaining = 0;  // of a data-at-execute value, not yet handed to OCI
  uint32_t value_length = 0;     // bytes the input transfer placed: what a piecewise bind sends
  BindRecord *next = nullptr;
};

struct DefineRecord {
  HostVariableRef value_variable = nullptr;
  HostVariableRef second_value_variable = nullptr;
  uint8_t *value_buffer = nullptr;
  uint32_t buffer_size = 0;
  int32_t row_count = 1;
  int32_t element_size = 0;  // a dynamic define's piece length is written here by OCI
  int32_t data_type = 0;
  SideArrays sides;
  uint32_t define_handle = 0;
  void *dynamic_context = nullptr;
  int32_t bytes_received = 0;  // of the current dynamic fetch, before this piece
  bool dynamic = false;        // pieces through the define callback; the buffer grows
  DefineRecord *next = nullptr;
};

// Moves a filled record onto the head of its statement's list (which then
// owns everything the record points at) and, for a bind, sets the
// statement's last fetch status to 0. Null when no memory can be had for
// the record; the caller still owns the parts then.
BindRecord *add_bind_record(RegistryNode &statement, const BindRecord &filled) noexcept;
DefineRecord *add_define_record(RegistryNode &statement, const DefineRecord &filled) noexcept;
// The same in two steps: the record's memory first (null when there is
// none; free it with heap_delete if it goes unused), then, once OCI has
// taken the buffers, the record filled and linked, which cannot fail.
BindRecord *reserve_bind_record() noexcept;
DefineRecord *reserve_define_record() noexcept;
BindRecord *link_bind_record(RegistryNode &statement, BindRecord *record, const BindRecord &filled) noexcept;
DefineRecord *link_define_record(RegistryNode &statement, DefineRecord *record, const DefineRecord &filled) noexcept;

// Frees what a record's parts own without the record itself: for a bind or
// define that fails before its record is made.
void release_bind_parts(BindRecord &parts) noexcept;
void release_define_parts(DefineRecord &parts) noexcept;

// Free a whole list with every buffer and reference copy its records own.
void bind_list_free(BindRecord *head) noexcept;
void define_list_free(DefineRecord *head) noexcept;

}  // namespace zorvan
