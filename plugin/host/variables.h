// Host variables and arrays: reading and writing values inside a
// HostVariable record and the arrays it leads to, making records of each
// kind, and the 42-byte variable references. Readers given a record of the
// wrong kind yield neutral values; writers given one do nothing.
#pragma once

#include <cstdint>
#include <span>

#include "host/protocol.h"

namespace zorvan {

using host::HostVariable;

int8_t variable_tag(const HostVariable &v) noexcept;
double variable_real(const HostVariable &v) noexcept;
int32_t variable_long(const HostVariable &v) noexcept;
int32_t variable_time(const HostVariable &v) noexcept;
void variable_date(const HostVariable &v, int16_t *day, int16_t *month, int16_t *year) noexcept;
// Text and BLOB values: the full length, with at most buffer.size() bytes of
// it delivered (an empty buffer asks for the length only).
uint32_t variable_text(const HostVariable &v, std::span<uint8_t> buffer) noexcept;
uint32_t variable_blob(const HostVariable &v, std::span<uint8_t> buffer) noexcept;
void variable_string(const HostVariable &v, host::ZString *buffer) noexcept;

// Arrays have elements 0 to n. The data is reached through the array's
// memory handle; its size, as the host reports it, bounds every element
// access as well as n does.
struct ArrayView {
  int8_t tag = 0;
  int32_t count = -1;  // n; -1 when the record is not an array
  uint32_t handle = 0;
  uint8_t *data = nullptr;
  uint32_t data_size = 0;
};
ArrayView array_view(const HostVariable &v) noexcept;

int32_t array_size(const HostVariable &v) noexcept;
uint16_t string_array_element_size(const HostVariable &v) noexcept;

// The element accessors on a view taken once: a loop over an array asks the
// host for its data once, not once an element. Same bounds and neutral
// values as the accessors below, which take a fresh view each call.
int16_t view_get_integer(const ArrayView &view, int32_t i) noexcept;
int32_t view_get_long(const ArrayView &view, int32_t i) noexcept;
double view_get_real(const ArrayView &view, int32_t i) noexcept;
void view_get_date(const ArrayView &view, int32_t i, int16_t *day, int16_t *month, int16_t *year) noexcept;
void view_set_integer(const ArrayView &view, int32_t i, int16_t value) noexcept;
void view_set_long(const ArrayView &view, int32_t i, int32_t value) noexcept;
void view_set_real(const ArrayView &view, int32_t i, double value) noexcept;
void view_set_date(const ArrayView &view, int32_t i, int16_t day, int16_t month, int16_t year) noexcept;

int16_t array_get_integer(const HostVariable &v, int32_t i) noexcept;
int32_t array_get_long(const HostVariable &v, int32_t i) noexcept;
double array_get_real(const HostVariable &v, int32_t i) noexcept;
void array_get_date(const HostVariable &v, int32_t i, int16_t *day, int16_t *month,
                    int16_t *year) noexcept;
uint32_t array_get_text(const HostVariable &v, int32_t i, std::span<uint8_t> buffer) noexcept;
void array_get_string(const HostVariable &v, int32_t i, host::ZString &buffer) noexcept;
bool array_get_boolean(const HostVariable &v, int32_t i) noexcept;

void array_set_integer(const HostVariable &v, int32_t i, int16_t value) noexcept;
void array_set_long(const HostVariable &v, int32_t i, int32_t value) noexcept;
void array_set_real(const HostVariable &v, int32_t i, double value) noexcept;
void array_set_date(const HostVariable &v, int32_t i, int16_t day, int16_t month,
                    int16_t year) noexcept;
void array_set_boolean(const HostVariable &v, int32_t i, int32_t value) noexcept;
void array_set_string(const HostVariable &v, int32_t i, const char *text) noexcept;
void array_set_text(const HostVariable &v, int32_t i, const uint8_t *text,
                    uint32_t length) noexcept;

void make_real(HostVariable &v, double value) noexcept;
void make_long(HostVariable &v, int32_t value) noexcept;
void make_time(HostVariable &v, int32_t seconds) noexcept;
void make_date(HostVariable &v, int16_t day, int16_t month, int16_t year) noexcept;
// length may come back shorter: the host keeps what it can.
void make_text(HostVariable &v, const uint8_t *text, uint32_t &length) noexcept;
void make_blob(HostVariable &v, const uint8_t *bytes, uint32_t length) noexcept;
void make_string(HostVariable &v, const char *text) noexcept;

// A copy of a 42-byte variable reference.
struct VariableReference {
  uint8_t bytes[abi::kReferenceSize];
};
static_assert(sizeof(VariableReference) == 42);

// Copies source into destination, or into a new heap block when destination
// is null (null if none can be had). Null for a null source.
VariableReference *reference_copy(const void *source, VariableReference *destination) noexcept;
int reference_kind(const VariableReference *ref) noexcept;
int16_t reference_numbers(const VariableReference *ref, int16_t *first, int16_t *second) noexcept;
HostVariable variable_from_reference(const VariableReference *ref, int32_t *element) noexcept;

}  // namespace zorvan
