// Moving values between host variables and the buffers OCI reads and
// writes: into the bind buffers before execute, out of the define buffers
// and output binds after execute and fetch. The conversion follows the
// variable's tag at transfer time; every read and write stays inside the
// record's buffer, whatever the tag has become since the bind or define.
#pragma once

#include <cstdint>

#include "statement/records.h"

namespace zorvan {

// 0, or the first failure: 2 (a host type without a conversion), 3 (no
// memory for a piecewise value), 4 (a text array element longer than 4000
// bytes).
int transfer_bind_inputs(RegistryNode &statement) noexcept;
int bind_value_from_host(BindRecord &record, const VariableReference *ref, bool defaults) noexcept;
void shorts_from_host(const VariableReference *ref, uint16_t *entries, int32_t rows) noexcept;

struct Clock {
  int32_t hours, minutes, seconds;
};
Clock split_seconds(int32_t seconds) noexcept;

// Zeroes every define buffer before OCI fills it.
void clear_define_buffers(RegistryNode &statement) noexcept;

void transfer_define_outputs(RegistryNode &statement) noexcept;
void transfer_bind_outputs(RegistryNode &statement) noexcept;
int define_value_to_host(DefineRecord &record, const VariableReference *ref) noexcept;
int bind_value_to_host(BindRecord &record, const VariableReference *ref) noexcept;
void signed_shorts_to_host(const VariableReference *ref, const int16_t *entries, int32_t rows) noexcept;
void unsigned_shorts_to_host(const VariableReference *ref, const uint16_t *entries, int32_t rows) noexcept;

}  // namespace zorvan
