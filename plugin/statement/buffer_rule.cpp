#include "statement/buffer_rule.h"

#include <cstring>

#include "host/protocol.h"
#include "oci.h"
#include "support/bytes.h"

namespace zorvan {
namespace {

struct Shape {
  int32_t element_size = 0;  // 0: no buffer
  bool per_element = false;  // rows: the array's size, or 1 for one element
};

// The table of the rule: host type against data type.
Shape shape_of(const HostVariable &v, int8_t tag, uint16_t dty, int32_t element) noexcept {
  switch (tag) {
    case abi::kTagString: case abi::kTagShortString:
      return {dty == SQLT_STR ? 256 : 0, false};
    case abi::kTagReal:
      return {dty == SQLT_FLT ? 8 : 0, false};
    case abi::kTagText:
      return {dty == SQLT_STR ? 32000 : dty == SQLT_LNG ? 32001 : 0, false};
    case abi::kTagDate: case abi::kTagTime:
      return {dty == SQLT_ODT ? 8 : 0, false};
    case abi::kTagSix:
      return {dty == SQLT_INT ? 4 : 0, false};
    case abi::kTagEight: case abi::kTagLong:
      if (dty == SQLT_INT) return {4, false};
      if (dty == SQLT_ODT) return {8, false};
      if (dty == SQLT_CLOB || dty == SQLT_BLOB) return {-1, false};
      return {0, false};
    case abi::kTagRealArray:
      return {dty == SQLT_FLT ? 8 : 0, true};
    case abi::kTagIntegerArray: case abi::kTagLongArray:
      return {dty == SQLT_INT ? 4 : dty == SQLT_ODT ? 8 : 0, true};
    case abi::kTagDateArray:
      return {dty == SQLT_ODT ? 8 : 0, true};
    case abi::kTagTextArray:
      return {dty == SQLT_STR ? 4002 : dty == SQLT_LNG ? 32002 : 0, true};
    case abi::kTagStringArray: {
      if (dty != SQLT_STR) return {0, true};
      if (element >= 0) return {256, true};
      // The array's element size, as a signed 16-bit number, and its NUL.
      int32_t size = static_cast<int16_t>(string_array_element_size(v)) + 2;
      return {size > 2 ? size : 0, true};
    }
    case abi::kTagBlob: {
      if (dty != SQLT_LNG && dty != SQLT_LBI) return {0, false};
      uint32_t size = variable_blob(v, {});
      if (size > kMaxValueBuffer) return {0, false};
      return {size > 0 ? static_cast<int32_t>(size) : 16384, false};
    }
    default:
      return {0, false};
  }
}

}  // namespace

int32_t designated_element(const VariableReference *ref) noexcept {
  if (reference_kind(ref) != 0) return -1;
  return load<int32_t>(ref->bytes + abi::kRefElement);
}

BufferRule size_value_buffer(const VariableReference *ref, uint16_t data_type, ValueBuffer *out) noexcept {
  *out = ValueBuffer{};
  if (ref == nullptr) return BufferRule::Unsupported;
  HostVariable v = host::variable_get(ref);
  int8_t tag = variable_tag(v);
  out->tag = tag;
  int32_t element = designated_element(ref);
  Shape shape = shape_of(v, tag, data_type, element);
  if (shape.element_size == 0) return BufferRule::Unsupported;
  int32_t rows = 1;
  if (shape.per_element && element < 0) {
    rows = array_size(v);
    if (rows <= 0) return BufferRule::EmptyArray;
  }
  if (shape.element_size == -1) {
    // A LOB locator bind: one cell holding the locator handle the variable holds.
    out->bytes = heap_bytes(4);
    if (!out->bytes) return BufferRule::NoMemory;
    store(out->bytes.get(), variable_long(v));
    out->element_size = -1;
    return BufferRule::Made;
  }
  // A host-sized array times an element size: checked before it is trusted.
  uint64_t total = static_cast<uint64_t>(rows) * static_cast<uint64_t>(shape.element_size);
  if (total > kMaxValueBuffer) return BufferRule::TooLarge;
  out->bytes = heap_bytes(static_cast<size_t>(total));
  if (!out->bytes) return BufferRule::NoMemory;
  std::memset(out->bytes.get(), 0, static_cast<size_t>(total));
  out->element_size = shape.element_size;
  out->row_count = rows;
  return BufferRule::Made;
}

int32_t capped_value_size(int32_t element_size, uint16_t data_type) noexcept {
  bool long_type = data_type == SQLT_LNG || data_type == SQLT_LBI || data_type == SQLT_LVC || data_type == SQLT_LVB;
  return element_size > kValueSizeCap && !long_type ? kValueSizeCap : element_size;
}

}  // namespace zorvan
