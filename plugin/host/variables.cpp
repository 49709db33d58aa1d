#include "host/variables.h"

#include <cstring>

#include "support/bytes.h"

#include "support/memory.h"

namespace zorvan {
namespace {

bool has_tag(const HostVariable &v, int8_t tag) noexcept { return variable_tag(v) == tag; }

// The address of element i of width `width` at `offset` into the array
// data, or null when i is outside 0..n or the element lies beyond the data.
// Sizes are 64-bit here so that no product can wrap.
uint8_t *element_at(const ArrayView &view, int8_t tag, int32_t i, uint64_t width,
                    uint64_t offset = 0) noexcept {
  if (view.tag != tag || view.data == nullptr || i < 0 || i > view.count) return nullptr;
  uint64_t start = offset + width * static_cast<uint64_t>(i);
  if (start + width > view.data_size) return nullptr;
  return view.data + start;
}

uint8_t *element(const HostVariable &v, int8_t tag, int32_t i, uint64_t width) noexcept {
  if (!has_tag(v, tag)) return nullptr;
  return element_at(array_view(v), tag, i, width);
}

// String arrays: a 16-bit element size s, then element i at 2 + s * i.
uint8_t *string_element(const HostVariable &v, int32_t i, uint16_t *size) noexcept {
  if (!has_tag(v, abi::kTagStringArray)) return nullptr;
  ArrayView view = array_view(v);
  if (view.data == nullptr || view.data_size < abi::kStringArrayHeader) return nullptr;
  uint16_t s = load<uint16_t>(view.data);
  if (s == 0) return nullptr;
  *size = s;
  return element_at(view, abi::kTagStringArray, i, s, abi::kStringArrayHeader);
}

}  // namespace

int8_t variable_tag(const HostVariable &v) noexcept { return static_cast<int8_t>(v.bytes[0]); }

double variable_real(const HostVariable &v) noexcept {
  return has_tag(v, abi::kTagReal) ? load<double>(v.bytes + abi::kVarValue) : 0.0;
}

int32_t variable_long(const HostVariable &v) noexcept {
  return has_tag(v, abi::kTagLong) ? load<int32_t>(v.bytes + abi::kVarValue) : 0;
}

int32_t variable_time(const HostVariable &v) noexcept {
  return has_tag(v, abi::kTagTime) ? load<int32_t>(v.bytes + abi::kVarValue) : 0;
}

void variable_date(const HostVariable &v, int16_t *day, int16_t *month, int16_t *year) noexcept {
  if (!has_tag(v, abi::kTagDate)) return;
  if (day) *day = load<int16_t>(v.bytes + abi::kVarValue);
  if (month) *month = load<int16_t>(v.bytes + abi::kVarDateMonth);
  if (year) *year = load<int16_t>(v.bytes + abi::kVarDateYear);
}

uint32_t variable_text(const HostVariable &v, std::span<uint8_t> buffer) noexcept {
  if (!has_tag(v, abi::kTagText)) return 0;
  return host::text_from_handle(load<uint32_t>(v.bytes + abi::kVarTextHandle), buffer);
}

uint32_t variable_blob(const HostVariable &v, std::span<uint8_t> buffer) noexcept {
  if (!has_tag(v, abi::kTagBlob)) return 0;
  return host::bytes_from_handle(load<uint32_t>(v.bytes + abi::kVarBlobHandle), buffer);
}

void variable_string(const HostVariable &v, host::ZString *buffer) noexcept {
  if (buffer == nullptr) return;
  if (has_tag(v, abi::kTagString)) {
    host::string_to_zstr(v.bytes + abi::kVarStringChars, *buffer);
  } else if (has_tag(v, abi::kTagShortString)) {
    host::string_to_zstr(v.bytes + abi::kVarValue, *buffer);
  }
}

ArrayView array_view(const HostVariable &v) noexcept {
  ArrayView view;
  int8_t tag = variable_tag(v);
  if (tag < abi::kTagArrayFirst || tag > abi::kTagArrayLast) return view;
  view.tag = tag;
  view.count = load<int32_t>(v.bytes + abi::kVarArrayCount);
  view.handle = load<uint32_t>(v.bytes + abi::kVarArrayHandle);
  if (view.handle == 0) return view;
  // A memory handle is the address of a cell that holds the data's address.
  auto *cell = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(view.handle));
  view.data = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(load<uint32_t>(cell)));
  view.data_size = view.data ? host::handle_get_size(view.handle) : 0;
  return view;
}

int32_t array_size(const HostVariable &v) noexcept {
  int8_t tag = variable_tag(v);
  if (tag < abi::kTagArrayFirst || tag > abi::kTagArrayLast) return -1;
  return load<int32_t>(v.bytes + abi::kVarArrayCount);
}

uint16_t string_array_element_size(const HostVariable &v) noexcept {
  if (!has_tag(v, abi::kTagStringArray)) return 0;
  ArrayView view = array_view(v);
  if (view.data == nullptr || view.data_size < abi::kStringArrayHeader) return 0;
  return load<uint16_t>(view.data);
}

int16_t view_get_integer(const ArrayView &view, int32_t i) noexcept {
  const uint8_t *at = element_at(view, abi::kTagIntegerArray, i, abi::kIntegerElement);
  return at ? load<int16_t>(at) : 0;
}

int32_t view_get_long(const ArrayView &view, int32_t i) noexcept {
  const uint8_t *at = element_at(view, abi::kTagLongArray, i, abi::kLongElement);
  return at ? load<int32_t>(at) : 0;
}

double view_get_real(const ArrayView &view, int32_t i) noexcept {
  const uint8_t *at = element_at(view, abi::kTagRealArray, i, abi::kRealElement);
  return at ? load<double>(at) : 0.0;
}

void view_get_date(const ArrayView &view, int32_t i, int16_t *day, int16_t *month, int16_t *year) noexcept {
  const uint8_t *at = element_at(view, abi::kTagDateArray, i, abi::kDateElement);
  if (day) *day = at ? load<int16_t>(at) : 0;
  if (month) *month = at ? load<int16_t>(at + 2) : 0;
  if (year) *year = at ? load<int16_t>(at + 4) : 0;
}

int16_t array_get_integer(const HostVariable &v, int32_t i) noexcept { return view_get_integer(array_view(v), i); }
int32_t array_get_long(const HostVariable &v, int32_t i) noexcept { return view_get_long(array_view(v), i); }
double array_get_real(const HostVariable &v, int32_t i) noexcept { return view_get_real(array_view(v), i); }
void array_get_date(const HostVariable &v, int32_t i, int16_t *day, int16_t *month, int16_t *year) noexcept {
  view_get_date(array_view(v), i, day, month, year);
}

uint32_t array_get_text(const HostVariable &v, int32_t i, std::span<uint8_t> buffer) noexcept {
  const uint8_t *at = element(v, abi::kTagTextArray, i, abi::kTextElement);
  return at ? host::text_from_handle(load<uint32_t>(at + 2), buffer) : 0;
}

void array_get_string(const HostVariable &v, int32_t i, host::ZString &buffer) noexcept {
  uint16_t size = 0;
  const uint8_t *at = string_element(v, i, &size);
  buffer[0] = '\0';
  if (at == nullptr) return;
  // The host reads a length-prefixed string there; one that claims more
  // than its element holds is read only as far as the element goes.
  uint8_t bounded[host::kStringSize];
  size_t length = at[0] < size ? at[0] : static_cast<size_t>(size - 1);
  bounded[0] = static_cast<uint8_t>(length);
  std::memcpy(bounded + 1, at + 1, length);
  host::string_to_zstr(bounded, buffer);
}

bool array_get_boolean(const HostVariable &v, int32_t i) noexcept {
  if (!has_tag(v, abi::kTagBooleanArray)) return false;
  ArrayView view = array_view(v);
  if (view.data == nullptr || i < 0 || i > view.count) return false;
  uint32_t byte = static_cast<uint32_t>(i) / 8;
  if (byte >= view.data_size) return false;
  return (view.data[byte] >> (i % 8)) & 1;
}

void view_set_integer(const ArrayView &view, int32_t i, int16_t value) noexcept {
  if (uint8_t *at = element_at(view, abi::kTagIntegerArray, i, abi::kIntegerElement)) store(at, value);
}

void view_set_long(const ArrayView &view, int32_t i, int32_t value) noexcept {
  if (uint8_t *at = element_at(view, abi::kTagLongArray, i, abi::kLongElement)) store(at, value);
}

void view_set_real(const ArrayView &view, int32_t i, double value) noexcept {
  if (uint8_t *at = element_at(view, abi::kTagRealArray, i, abi::kRealElement)) store(at, value);
}

void view_set_date(const ArrayView &view, int32_t i, int16_t day, int16_t month, int16_t year) noexcept {
  uint8_t *at = element_at(view, abi::kTagDateArray, i, abi::kDateElement);
  if (at == nullptr) return;
  store(at, day);
  store(at + 2, month);
  store(at + 4, year);
}

void array_set_integer(const HostVariable &v, int32_t i, int16_t value) noexcept {
  view_set_integer(array_view(v), i, value);
}
void array_set_long(const HostVariable &v, int32_t i, int32_t value) noexcept { view_set_long(array_view(v), i, value); }
void array_set_real(const HostVariable &v, int32_t i, double value) noexcept { view_set_real(array_view(v), i, value); }
void array_set_date(const HostVariable &v, int32_t i, int16_t day, int16_t month, int16_t year) noexcept {
  view_set_date(array_view(v), i, day, month, year);
}

void array_set_boolean(const HostVariable &v, int32_t i, int32_t value) noexcept {
  if (!has_tag(v, abi::kTagBooleanArray)) return;
  ArrayView view = array_view(v);
  if (view.data == nullptr || i < 0 || i > view.count) return;
  uint32_t byte = static_cast<uint32_t>(i) / 8;
  if (byte >= view.data_size) return;
  auto mask = static_cast<uint8_t>(1u << (i % 8));
  if (value != 0) {
    view.data[byte] |= mask;
  } else {
    view.data[byte] &= static_cast<uint8_t>(~mask);
  }
}

void array_set_string(const HostVariable &v, int32_t i, const char *text) noexcept {
  if (text == nullptr) return;
  uint16_t size = 0;
  uint8_t *at = string_element(v, i, &size);
  if (at == nullptr) return;
  // The host writes a length byte and the characters: keep them inside the
  // element by cutting the text to size - 1 characters.
  host::ZString bounded;
  size_t room = static_cast<size_t>(size - 1) < host::kStringSize - 1 ? size - 1u
                                                                      : host::kStringSize - 1;
  size_t length = strnlen(text, room);
  std::memcpy(bounded, text, length);
  bounded[length] = '\0';
  host::string_from_zstr(bounded, at);
}

void array_set_text(const HostVariable &v, int32_t i, const uint8_t *text,
                    uint32_t length) noexcept {
  if (text == nullptr || !has_tag(v, abi::kTagTextArray)) return;
  ArrayView view = array_view(v);
  if (element_at(view, abi::kTagTextArray, i, abi::kTextElement) == nullptr) return;
  // Locked while the element changes hands: the old text handle is released
  // and the new one stored in its place.
  auto *data = static_cast<uint8_t *>(host::handle_lock(view.handle));
  if (data == nullptr) return;
  view.data = data;
  uint8_t *at = element_at(view, abi::kTagTextArray, i, abi::kTextElement);
  if (at != nullptr) {
    host::handle_dispose(load<uint32_t>(at + 2));
    uint32_t kept = length;
    uint32_t handle = host::text_to_handle(text, kept);
    store(at + 2, handle);
    store(at, static_cast<uint16_t>(kept));
  }
  host::handle_unlock(view.handle);
}

void make_real(HostVariable &v, double value) noexcept {
  v.bytes[0] = static_cast<uint8_t>(abi::kTagReal);
  store(v.bytes + abi::kVarValue, value);
}

void make_long(HostVariable &v, int32_t value) noexcept {
  v.bytes[0] = static_cast<uint8_t>(abi::kTagLong);
  store(v.bytes + abi::kVarValue, value);
}

void make_time(HostVariable &v, int32_t seconds) noexcept {
  v.bytes[0] = static_cast<uint8_t>(abi::kTagTime);
  store(v.bytes + abi::kVarValue, seconds);
}

void make_date(HostVariable &v, int16_t day, int16_t month, int16_t year) noexcept {
  v.bytes[0] = static_cast<uint8_t>(abi::kTagDate);
  store(v.bytes + abi::kVarValue, day);
  store(v.bytes + abi::kVarDateMonth, month);
  store(v.bytes + abi::kVarDateYear, year);
}

void make_text(HostVariable &v, const uint8_t *text, uint32_t &length) noexcept {
  v.bytes[0] = static_cast<uint8_t>(abi::kTagText);
  uint32_t handle = host::text_to_handle(text, length);
  store(v.bytes + abi::kVarTextHandle, handle);
  store(v.bytes + abi::kVarValue, static_cast<uint16_t>(host::handle_get_size(handle)));
}

void make_blob(HostVariable &v, const uint8_t *bytes, uint32_t length) noexcept {
  v.bytes[0] = static_cast<uint8_t>(abi::kTagBlob);
  store(v.bytes + abi::kVarBlobHandle, host::bytes_to_handle(bytes, length));
  store(v.bytes + abi::kVarValue, length);
}

void make_string(HostVariable &v, const char *text) noexcept {
  v.bytes[0] = static_cast<uint8_t>(abi::kTagString);
  store(v.bytes + abi::kVarValue, abi::kStringCapacity);
  host::string_from_zstr(text, v.bytes + abi::kVarStringChars);
}

VariableReference *reference_copy(const void *source, VariableReference *destination) noexcept {
  if (source == nullptr) return nullptr;
  if (destination == nullptr) {
    destination = static_cast<VariableReference *>(plugin_alloc(sizeof(VariableReference)));
    if (destination == nullptr) return nullptr;
  }
  std::memcpy(destination->bytes, source, sizeof destination->bytes);
  return destination;
}

int reference_kind(const VariableReference *ref) noexcept {
  if (ref == nullptr) return -1;
  if (ref->bytes[abi::kRefKind] == 1) return 0;
  return load<int16_t>(ref->bytes + abi::kRefNumber1) != 0 ? 2 : 1;
}

int16_t reference_numbers(const VariableReference *ref, int16_t *first, int16_t *second) noexcept {
  int16_t at2 = 0;
  int16_t at4 = 0;
  if (ref != nullptr && ref->bytes[abi::kRefKind] == 0) {
    at2 = load<int16_t>(ref->bytes + abi::kRefNumber1);
    at4 = load<int16_t>(ref->bytes + abi::kRefNumber2);
  }
  if (first) *first = at4;
  if (second) *second = at2;
  return at2;
}

HostVariable variable_from_reference(const VariableReference *ref, int32_t *element) noexcept {
  if (element) *element = 0;
  HostVariable variable{};
  variable.bytes[0] = static_cast<uint8_t>(abi::kTagUndefined);
  if (ref == nullptr || ref->bytes[abi::kRefKind] != 1) return variable;

  // The name field of a reference holds at most 31 characters.
  variable = host::variable_by_host_name(ref->bytes + abi::kRefName, abi::kRefNameSize - 1,
                                         ref->bytes[abi::kRefScope] == 2);
  if (element) *element = load<int32_t>(ref->bytes + abi::kRefElement);
  return variable;
}

}  // namespace zorvan
