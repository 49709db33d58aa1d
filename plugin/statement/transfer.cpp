#include "statement/transfer.h"

#include <algorithm>
#include <cstring>

#include "host/protocol.h"
#include "oci.h"
#include "registry/registry.h"
#include "statement/buffer_rule.h"
#include "support/bytes.h"
#include "support/memory.h"

namespace zorvan {
namespace {

// A record's buffer, and the bounded access every conversion goes through.
struct Buffer {
  uint8_t *data;
  size_t size;

  // The row of `length` bytes at `offset`, or null when it does not lie
  // wholly inside the buffer.
  uint8_t *at(size_t offset, size_t length) const noexcept {
    if (data == nullptr || offset > size || length > size - offset) return nullptr;
    return data + offset;
  }
  // The bytes from offset to the end of the row (or the buffer), at most row.
  size_t room(size_t offset, size_t row) const noexcept {
    if (data == nullptr || offset >= size) return 0;
    return std::min(row, size - offset);
  }
};

template <class T>
void put(const Buffer &b, size_t offset, T value) noexcept {
  if (uint8_t *p = b.at(offset, sizeof value)) store(p, value);
}

template <class T>
T get(const Buffer &b, size_t offset) noexcept {
  const uint8_t *p = b.at(offset, sizeof(T));
  return p ? load<T>(p) : T{};
}

// OCIDate: year (16 bits), month, day, hour, minute, second; byte 7 untouched.
void put_date(const Buffer &b, size_t offset, int16_t day, int16_t month, int16_t year) noexcept {
  if (uint8_t *p = b.at(offset, 4)) {
    store(p, year);
    p[2] = static_cast<uint8_t>(month);
    p[3] = static_cast<uint8_t>(day);
  }
}

void put_clock(const Buffer &b, size_t offset, const Clock &c) noexcept {
  if (uint8_t *p = b.at(offset + 4, 3)) {
    p[0] = static_cast<uint8_t>(c.hours);
    p[1] = static_cast<uint8_t>(c.minutes);
    p[2] = static_cast<uint8_t>(c.seconds);
  }
}

int32_t seconds_of_day(const Buffer &b, size_t offset) noexcept {
  const uint8_t *p = b.at(offset, 7);
  if (p == nullptr) return 0;
  return (p[4] * 60 + p[5]) * 60 + p[6];
}

void date_of(const Buffer &b, size_t offset, int16_t *day, int16_t *month, int16_t *year) noexcept {
  const uint8_t *p = b.at(offset, 4);
  *year = p ? load<int16_t>(p) : 0;
  *month = p ? p[2] : 0;
  *day = p ? p[3] : 0;
}

// Characters of a row up to its first zero byte, never past the row.
uint32_t text_length(const Buffer &b, size_t offset, size_t row) noexcept {
  size_t room = b.room(offset, row);
  if (room == 0) return 0;
  const void *zero = std::memchr(b.data + offset, 0, room);
  return static_cast<uint32_t>(zero ? static_cast<const uint8_t *>(zero) - (b.data + offset) : room);
}

// A text written into a row with its terminating zero, cut to fit the row.
uint32_t put_text(const Buffer &b, size_t offset, size_t row, uint32_t (*read)(std::span<uint8_t>, const void *),
                  const void *source) noexcept {
  size_t room = b.room(offset, row);
  if (room == 0) return 0;
  uint32_t full = read(std::span<uint8_t>(b.data + offset, room - 1), source);
  uint32_t kept = std::min<uint32_t>(full, static_cast<uint32_t>(room - 1));
  b.data[offset + kept] = 0;
  return kept;
}

struct Element {
  const HostVariable *v;
  int32_t i;
};

uint32_t read_variable_text(std::span<uint8_t> into, const void *source) {
  return variable_text(*static_cast<const HostVariable *>(source), into);
}
uint32_t read_element_text(std::span<uint8_t> into, const void *source) {
  auto *e = static_cast<const Element *>(source);
  return array_get_text(*e->v, e->i, into);
}

void put_string(const Buffer &b, size_t offset, size_t row, const char *text) noexcept {
  size_t room = b.room(offset, row);
  if (room == 0) return;
  size_t n = std::min(std::strlen(text), room - 1);
  std::memcpy(b.data + offset, text, n);
  b.data[offset + n] = 0;
}

// The rows an array transfer covers: elements 1 to n, n within the record's rows.
int32_t rows_of(const HostVariable &v, int32_t row_count) noexcept {
  return std::max(0, std::min(array_size(v), row_count));
}

// A piecewise bind hands OCI its value from the buffer through the
// callback, never by the buffer's address: its buffer can grow to hold the
// whole value (and a zero byte). False when memory fails.
bool room_for(BindRecord &r, uint32_t length) noexcept {
  if (r.bind_handle == 0 || length < r.buffer_size) return true;
  if (length >= kMaxValueBuffer) return false;
  auto *grown = static_cast<uint8_t *>(plugin_alloc(static_cast<size_t>(length) + 1));
  if (grown == nullptr) return false;
  plugin_free(r.value_buffer);
  r.value_buffer = grown;
  r.buffer_size = length + 1;
  return true;
}

}  // namespace

Clock split_seconds(int32_t s) noexcept {
  int32_t h = s / 3600;
  int32_t m = (s - 3600 * h) / 60;
  return {h, m, s - 3600 * h - 60 * m};
}

int bind_value_from_host(BindRecord &r, const VariableReference *ref, bool defaults) noexcept {
  HostVariable v = host::variable_get(ref);
  int32_t e = designated_element(ref);
  Buffer b{r.value_buffer, r.buffer_size};
  size_t stride = r.element_size > 0 ? static_cast<size_t>(r.element_size) : 0;
  int32_t n = rows_of(v, r.row_count);
  switch (variable_tag(v)) {
    case abi::kTagString: case abi::kTagShortString: {
      host::ZString text;
      variable_string(v, &text);
      put_string(b, 0, b.size, text);
      r.value_length = static_cast<uint32_t>(std::strlen(text));
      return 0;
    }
    case abi::kTagReal: put(b, 0, variable_real(v)); return 0;
    case abi::kTagText:
      if (!room_for(r, variable_text(v, {}))) return 3;
      b = Buffer{r.value_buffer, r.buffer_size};
      r.value_length = put_text(b, 0, b.size, read_variable_text, &v);
      return 0;
    case abi::kTagDate: {
      int16_t day, month, year;
      variable_date(v, &day, &month, &year);
      put_date(b, 0, day, month, year);
      if (defaults) put_clock(b, 0, {0, 0, 0});
      return 0;
    }
    case abi::kTagLong: put(b, 0, variable_long(v)); return 0;
    case abi::kTagTime:
      put_clock(b, 0, split_seconds(variable_time(v)));
      if (defaults) put_date(b, 0, 1, 1, 2000);
      return 0;
    case abi::kTagRealArray: {
      ArrayView view = array_view(v);
      if (e >= 0) put(b, 0, view_get_real(view, e));
      else for (int32_t i = 0; i < n; ++i) put(b, 8 * static_cast<size_t>(i), view_get_real(view, i + 1));
      return 0;
    }
    case abi::kTagIntegerArray: {
      ArrayView view = array_view(v);
      if (e >= 0) put(b, 0, static_cast<int32_t>(view_get_integer(view, e)));
      else for (int32_t i = 0; i < n; ++i) put(b, 4 * static_cast<size_t>(i), static_cast<int32_t>(view_get_integer(view, i + 1)));
      return 0;
    }
    case abi::kTagLongArray: {
      ArrayView view = array_view(v);
      if (e >= 0) put(b, 0, view_get_long(view, e));
      else for (int32_t i = 0; i < n; ++i) put(b, 4 * static_cast<size_t>(i), view_get_long(view, i + 1));
      return 0;
    }
    case abi::kTagDateArray: {
      ArrayView view = array_view(v);
      int16_t day, month, year;
      for (int32_t i = 0; i < (e >= 0 ? 1 : n); ++i) {
        view_get_date(view, e >= 0 ? e : i + 1, &day, &month, &year);
        put_date(b, 8 * static_cast<size_t>(i), day, month, year);
        if (defaults) put_clock(b, 8 * static_cast<size_t>(i), {0, 0, 0});
      }
      return 0;
    }
    case abi::kTagTextArray: {
      if (e >= 0) {
        Element element{&v, e};
        r.value_length = put_text(b, 0, b.size, read_element_text, &element);
        return 0;
      }
      if (static_cast<int32_t>(array_get_text(v, 1, {})) > kValueSizeCap) return 4;
      for (int32_t i = 0; i < n; ++i) {
        Element element{&v, i + 1};
        put_text(b, stride * static_cast<size_t>(i), stride, read_element_text, &element);
      }
      return 0;
    }
    case abi::kTagStringArray: {
      host::ZString text;
      for (int32_t i = 0; i < (e >= 0 ? 1 : n); ++i) {
        array_get_string(v, e >= 0 ? e : i + 1, text);
        put_string(b, stride * static_cast<size_t>(i), e >= 0 ? b.size : stride, text);
      }
      return 0;
    }
    case abi::kTagBlob: {
      if (!room_for(r, variable_blob(v, {}))) return 3;
      b = Buffer{r.value_buffer, r.buffer_size};
      uint32_t full = variable_blob(v, std::span<uint8_t>(b.data, b.size));
      r.value_length = std::min<uint32_t>(full, static_cast<uint32_t>(b.size));
      return 0;
    }
    default:
      return 2;
  }
}

void shorts_from_host(const VariableReference *ref, uint16_t *entries, int32_t rows) noexcept {
  if (entries == nullptr || rows < 1) return;
  HostVariable v = host::variable_get(ref);
  int32_t e = designated_element(ref);
  if (array_size(v) < 1) {
    entries[0] = static_cast<uint16_t>(variable_long(v));
  } else if (e >= 0) {
    entries[0] = static_cast<uint16_t>(array_get_long(v, e));
  } else {
    ArrayView view = array_view(v);
    int32_t n = rows_of(v, rows);
    for (int32_t i = 0; i < n; ++i) entries[i] = static_cast<uint16_t>(view_get_long(view, i + 1));
  }
}

int transfer_bind_inputs(RegistryNode &statement) noexcept {
  for (BindRecord *r = statement.binds; r != nullptr; r = r->next) {
    if (r->output != 0) continue;
    int code = 0;
    if (r->second_value_variable != nullptr) {
      code = bind_value_from_host(*r, r->value_variable, false);
      if (code == 0) code = bind_value_from_host(*r, r->second_value_variable, false);
    } else {
      code = bind_value_from_host(*r, r->value_variable, true);
    }
    if (code != 0) return code;
    shorts_from_host(r->sides.indicator_variable, reinterpret_cast<uint16_t *>(r->sides.indicators), r->row_count);
    shorts_from_host(r->sides.length_variable, r->sides.lengths, r->row_count);
    shorts_from_host(r->sides.return_code_variable, r->sides.return_codes, r->row_count);
    // A text bound as SQLT_STR ends within its value size.
    if (r->value_buffer != nullptr && r->data_type == SQLT_STR && r->element_size > 0 &&
        static_cast<uint32_t>(r->element_size) <= r->buffer_size &&
        std::memchr(r->value_buffer, 0, static_cast<size_t>(r->element_size) - 1) == nullptr)
      r->value_buffer[r->element_size - 1] = 0;
    // A piecewise bind sends its value again at every execute.
    r->bytes_remaining = r->value_length;
  }
  return 0;
}

void clear_define_buffers(RegistryNode &statement) noexcept {
  for (DefineRecord *r = statement.defines; r != nullptr; r = r->next) {
    if (r->dynamic) {
      // Pieces are counted afresh; what they write is read by its length.
      r->bytes_received = 0;
      r->element_size = 0;
      continue;
    }
    if (r->row_count > 0 && r->element_size > 0 && r->value_buffer != nullptr) {
      uint64_t bytes = static_cast<uint64_t>(r->row_count) * static_cast<uint64_t>(r->element_size);
      std::memset(r->value_buffer, 0, static_cast<size_t>(std::min<uint64_t>(bytes, r->buffer_size)));
    }
  }
}

namespace {

// The value of row 0 or of every row into the variable; false for a tag
// without a conversion. Defines and output binds differ only where noted.
bool value_to_host(HostVariable &v, int32_t e, const Buffer &b, int32_t element_size, int32_t row_count,
                   uint16_t data_type, bool define, uint32_t whole_length) noexcept {
  size_t stride = element_size > 0 ? static_cast<size_t>(element_size) : 0;
  int32_t n = e >= 0 ? 1 : rows_of(v, row_count);
  auto index = [e](int32_t i) { return e >= 0 ? e : i + 1; };
  switch (variable_tag(v)) {
    case abi::kTagString: case abi::kTagShortString: {
      host::ZString text{};
      uint32_t length = std::min<uint32_t>(text_length(b, 0, b.size), sizeof text - 1);
      if (length) std::memcpy(text, b.data, length);
      make_string(v, text);
      return true;
    }
    case abi::kTagReal: make_real(v, get<double>(b, 0)); return true;
    case abi::kTagText: {
      uint32_t length = whole_length != UINT32_MAX ? whole_length : text_length(b, 0, b.size);
      make_text(v, b.data, length);
      return true;
    }
    case abi::kTagDate: {
      int16_t day, month, year;
      date_of(b, 0, &day, &month, &year);
      make_date(v, day, month, year);
      return true;
    }
    case abi::kTagEight: case abi::kTagLong:
      if (!define && variable_tag(v) == abi::kTagEight) return false;
      make_long(v, define && data_type == SQLT_ODT ? seconds_of_day(b, 0) : get<int32_t>(b, 0));
      return true;
    case abi::kTagTime:
      if (!define) return false;
      make_time(v, seconds_of_day(b, 0));
      return true;
    case abi::kTagRealArray: {
      ArrayView view = array_view(v);
      for (int32_t i = 0; i < n; ++i) view_set_real(view, index(i), get<double>(b, 8 * static_cast<size_t>(i)));
      return true;
    }
    case abi::kTagIntegerArray: {
      ArrayView view = array_view(v);
      for (int32_t i = 0; i < n; ++i)
        view_set_integer(view, index(i), static_cast<int16_t>(get<uint16_t>(b, 4 * static_cast<size_t>(i))));
      return true;
    }
    case abi::kTagLongArray: {
      ArrayView view = array_view(v);
      for (int32_t i = 0; i < n; ++i) {
        int32_t value = define && data_type == SQLT_ODT ? seconds_of_day(b, 8 * static_cast<size_t>(i))
                                                        : get<int32_t>(b, 4 * static_cast<size_t>(i));
        view_set_long(view, index(i), value);
      }
      return true;
    }
    case abi::kTagDateArray: {
      ArrayView view = array_view(v);
      for (int32_t i = 0; i < n; ++i) {
        int16_t day, month, year;
        date_of(b, 8 * static_cast<size_t>(i), &day, &month, &year);
        view_set_date(view, index(i), day, month, year);
      }
      return true;
    }
    case abi::kTagTextArray:
      for (int32_t i = 0; i < n; ++i) {
        size_t offset = stride * static_cast<size_t>(i);
        uint32_t length = text_length(b, offset, stride);
        array_set_text(v, index(i), b.room(offset, stride) ? b.data + offset : nullptr, length);
      }
      return true;
    case abi::kTagStringArray:
      for (int32_t i = 0; i < n; ++i) {
        size_t offset = stride * static_cast<size_t>(i);
        host::ZString text{};
        uint32_t length = std::min<uint32_t>(text_length(b, offset, stride), sizeof text - 1);
        if (length) std::memcpy(text, b.data + offset, length);
        array_set_string(v, index(i), text);
      }
      return true;
    default:
      return false;
  }
}

void shorts_to_host(const VariableReference *ref, const uint16_t *entries, int32_t rows, bool sign) noexcept {
  if (entries == nullptr || ref == nullptr || rows < 1) return;
  HostVariable v = host::variable_get(ref);
  int32_t e = designated_element(ref);
  auto widen = [sign](uint16_t x) { return sign ? static_cast<int32_t>(static_cast<int16_t>(x)) : static_cast<int32_t>(x); };
  int32_t size = array_size(v);
  if (size == -1) {
    make_long(v, widen(entries[0]));
  } else if (size < 2) {
    return;
  } else if (e >= 0) {
    array_set_long(v, e, widen(entries[0]));
  } else {
    ArrayView view = array_view(v);
    int32_t n = rows_of(v, rows);
    for (int32_t i = 0; i < n; ++i) view_set_long(view, i + 1, widen(entries[i]));
  }
  host::variable_set(ref, v);
}

}  // namespace

void signed_shorts_to_host(const VariableReference *ref, const int16_t *entries, int32_t rows) noexcept {
  shorts_to_host(ref, reinterpret_cast<const uint16_t *>(entries), rows, true);
}

void unsigned_shorts_to_host(const VariableReference *ref, const uint16_t *entries, int32_t rows) noexcept {
  shorts_to_host(ref, entries, rows, false);
}

int define_value_to_host(DefineRecord &r, const VariableReference *ref) noexcept {
  if (ref == nullptr) return 0;
  HostVariable v = host::variable_get(ref);
  int32_t e = designated_element(ref);
  Buffer b{r.value_buffer, r.buffer_size};
  if (variable_tag(v) == abi::kTagBlob) {
    // The pieces of this fetch: the earlier ones and the last.
    uint64_t total = static_cast<uint64_t>(std::max(r.element_size, 0)) + static_cast<uint64_t>(std::max(r.bytes_received, 0));
    // In one piece: the length OCI reported (a 16-bit length says it only
    // for buffers it can count).
    if (!r.dynamic && r.sides.lengths != nullptr && r.buffer_size <= UINT16_MAX) total = r.sides.lengths[0];
    total = std::min<uint64_t>(total, r.buffer_size);
    if (r.dynamic) r.element_size = static_cast<int32_t>(total);
    r.bytes_received = 0;
    make_blob(v, r.value_buffer, static_cast<uint32_t>(total));
    host::variable_set(ref, v);
    return 1;
  }
  // A piecewise LONG into a text: exactly the bytes this fetch delivered.
  uint32_t whole = UINT32_MAX;
  if (r.dynamic) {
    uint64_t total = static_cast<uint64_t>(std::max(r.element_size, 0)) + static_cast<uint64_t>(std::max(r.bytes_received, 0));
    whole = static_cast<uint32_t>(std::min<uint64_t>(total, r.buffer_size));
  }
  if (!value_to_host(v, e, b, r.element_size, r.row_count, static_cast<uint16_t>(r.data_type), true, whole)) return 0;
  host::variable_set(ref, v);
  return 1;
}

int bind_value_to_host(BindRecord &r, const VariableReference *ref) noexcept {
  if (ref == nullptr) return 1;
  HostVariable v = host::variable_get(ref);
  Buffer b{r.value_buffer, r.buffer_size};
  value_to_host(v, designated_element(ref), b, r.element_size, r.row_count, r.data_type, false, UINT32_MAX);
  host::variable_set(ref, v);
  return 1;
}

void transfer_define_outputs(RegistryNode &statement) noexcept {
  for (DefineRecord *r = statement.defines; r != nullptr; r = r->next) {
    int done = define_value_to_host(*r, r->value_variable);
    if (r->second_value_variable != nullptr) done = define_value_to_host(*r, r->second_value_variable);
    if (done != 1) continue;
    signed_shorts_to_host(r->sides.indicator_variable, r->sides.indicators, r->row_count);
    unsigned_shorts_to_host(r->sides.length_variable, r->sides.lengths, r->row_count);
    unsigned_shorts_to_host(r->sides.return_code_variable, r->sides.return_codes, r->row_count);
  }
}

void transfer_bind_outputs(RegistryNode &statement) noexcept {
  for (BindRecord *r = statement.binds; r != nullptr; r = r->next) {
    if (r->output == 0) continue;
    bind_value_to_host(*r, r->value_variable);
    if (r->second_value_variable != nullptr) bind_value_to_host(*r, r->second_value_variable);
    signed_shorts_to_host(r->sides.indicator_variable, r->sides.indicators, r->row_count);
    unsigned_shorts_to_host(r->sides.length_variable, r->sides.lengths, r->row_count);
    unsigned_shorts_to_host(r->sides.return_code_variable, r->sides.return_codes, r->row_count);
  }
}

}  // namespace zorvan
