// The buffer rule: which value buffer a bind or a define hands OCI for a
// host variable of a given type and an OCI data type. The bind commands,
// the define commands and both transfers follow the same table; its cases
// stand in the same order in each, so they can be read side by side.
#pragma once

#include <cstdint>

#include "host/variables.h"
#include "support/memory.h"

namespace zorvan {

// The largest value buffer made: a LONG is at most 2 GB - 1, and no row
// count times element size may exceed it either.
inline constexpr uint32_t kMaxValueBuffer = 0x7FFFFFFF;

// Above this, a value size given to OCI is cut to it, except for the long
// types (SQLT_LNG, SQLT_LBI, SQLT_LVC, SQLT_LVB).
inline constexpr int32_t kValueSizeCap = 4000;

struct ValueBuffer {
  int32_t element_size = 0;  // bytes a row as the rule allocates them; -1 for a LOB locator
  int32_t row_count = 1;
  int8_t tag = 0;            // the variable's host type when the rule read it
  HeapBytes bytes;           // zero-filled element size x row count bytes (4 for a locator)
};

enum class BufferRule : uint8_t {
  Made,
  Unsupported,  // no buffer for this type and data type
  EmptyArray,   // a whole array of no elements
  TooLarge,     // rows x element size beyond kMaxValueBuffer
  NoMemory,
};

// The array element a reference designates, or -1 for a whole variable.
int32_t designated_element(const VariableReference *ref) noexcept;

BufferRule size_value_buffer(const VariableReference *ref, uint16_t data_type, ValueBuffer *out) noexcept;

// The value size given to OCI for a buffer of that element size.
int32_t capped_value_size(int32_t element_size, uint16_t data_type) noexcept;

}  // namespace zorvan
