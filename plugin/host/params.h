// Reading a command's parameters and writing its result. Parameter i counts
// from 1. A parameter whose storage the host did not supply reads as a
// neutral value and takes no write.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

#include "entry/command_call.h"
#include "host/protocol.h"
#include "support/bytes.h"

namespace zorvan {

// The storage of parameter i, or null when the host gave none. Inline with
// the long accessors below: every command reads its handles through them.
inline uint8_t *param_storage(const CommandCall &call, int16_t i) noexcept {
  if (call.parameters == nullptr || i < 1) return nullptr;
  void *pointer;
  std::memcpy(&pointer, static_cast<uint8_t *>(call.parameters) + (i - 1) * sizeof(void *),
              sizeof pointer);
  return static_cast<uint8_t *>(pointer);
}

inline int32_t param_long(const CommandCall &call, int16_t i) noexcept {
  const uint8_t *at = param_storage(call, i);
  return at ? load<int32_t>(at) : 0;
}

inline void param_set_long(const CommandCall &call, int16_t i, int32_t value) noexcept {
  if (uint8_t *at = param_storage(call, i)) store(at, value);
}

double param_real(const CommandCall &call, int16_t i) noexcept;
void param_set_real(const CommandCall &call, int16_t i, double value) noexcept;
void param_date(const CommandCall &call, int16_t i, int16_t *day, int16_t *month,
                int16_t *year) noexcept;
void param_set_date(const CommandCall &call, int16_t i, int16_t day, int16_t month,
                    int16_t year) noexcept;
void param_text(const CommandCall &call, int16_t i, host::ZString &buffer) noexcept;
void param_set_text(const CommandCall &call, int16_t i, const char *text) noexcept;
// The length of a text parameter; fills at most buffer.size() bytes of it
// (no NUL). An empty buffer asks for the length only.
uint32_t param_text_handle(const CommandCall &call, int16_t i, std::span<uint8_t> buffer) noexcept;
// The byte count of a BLOB parameter; fills at most buffer.size() bytes.
uint32_t param_blob(const CommandCall &call, int16_t i, std::span<uint8_t> buffer) noexcept;
void param_set_blob(const CommandCall &call, int16_t i, uint32_t new_handle) noexcept;
// The address of the host variable given as parameter i, or null.
void *param_variable(const CommandCall &call, int16_t i) noexcept;

inline void result_set_long(const CommandCall &call, int32_t value) noexcept {
  if (call.result != nullptr) store(static_cast<uint8_t *>(call.result), value);
}
void result_set_text(const CommandCall &call, const char *text) noexcept;
void result_set_blob(const CommandCall &call, const uint8_t *data, uint32_t length) noexcept;

}  // namespace zorvan
