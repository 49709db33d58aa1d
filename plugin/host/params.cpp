#include "host/params.h"

#include <cstring>

#include "support/bytes.h"

namespace zorvan {
namespace {

uint8_t *storage(const CommandCall &call, int16_t i) noexcept { return param_storage(call, i); }

constexpr size_t kTextHandleOffset = 2;  // text parameters: 16-bit length, then the handle

}  // namespace

double param_real(const CommandCall &call, int16_t i) noexcept {
  const uint8_t *at = storage(call, i);
  return at ? load<double>(at) : 0.0;
}

void param_set_real(const CommandCall &call, int16_t i, double value) noexcept {
  if (uint8_t *at = storage(call, i)) store(at, value);
}

void param_date(const CommandCall &call, int16_t i, int16_t *day, int16_t *month,
                int16_t *year) noexcept {
  if (day == nullptr && month == nullptr && year == nullptr) return;
  const uint8_t *at = storage(call, i);
  if (at == nullptr) return;
  if (day) *day = load<int16_t>(at);
  if (month) *month = load<int16_t>(at + 2);
  if (year) *year = load<int16_t>(at + 4);
}

void param_set_date(const CommandCall &call, int16_t i, int16_t day, int16_t month,
                    int16_t year) noexcept {
  uint8_t *at = storage(call, i);
  if (at == nullptr) return;
  store(at, day);
  store(at + 2, month);
  store(at + 4, year);
}

void param_text(const CommandCall &call, int16_t i, host::ZString &buffer) noexcept {
  host::string_to_zstr(storage(call, i), buffer);
}

void param_set_text(const CommandCall &call, int16_t i, const char *text) noexcept {
  host::string_from_zstr(text, storage(call, i));
}

uint32_t param_text_handle(const CommandCall &call, int16_t i, std::span<uint8_t> buffer) noexcept {
  const uint8_t *at = storage(call, i);
  if (at == nullptr) return 0;
  return host::text_from_handle(load<uint32_t>(at + kTextHandleOffset), buffer);
}

uint32_t param_blob(const CommandCall &call, int16_t i, std::span<uint8_t> buffer) noexcept {
  const uint8_t *at = storage(call, i);
  if (at == nullptr) return 0;
  return host::bytes_from_handle(load<uint32_t>(at), buffer);
}

void param_set_blob(const CommandCall &call, int16_t i, uint32_t new_handle) noexcept {
  uint8_t *at = storage(call, i);
  if (at == nullptr) return;
  uint32_t old_handle = load<uint32_t>(at);
  if (old_handle != 0 && old_handle != new_handle) host::handle_dispose(old_handle);
  store(at, new_handle);
}

void *param_variable(const CommandCall &call, int16_t i) noexcept {
  uint8_t *at = storage(call, i);
  if (at == nullptr || !host::indirect_variable_mode()) return at;
  // A pointer record: tag 23, then the address of a word that holds the
  // variable's address.
  if (static_cast<int8_t>(at[0]) != abi::kTagPointer) return nullptr;
  auto *word = reinterpret_cast<uint8_t *>(
      static_cast<uintptr_t>(load<uint32_t>(at + abi::kVarPointerTarget)));
  if (word == nullptr) return nullptr;
  return reinterpret_cast<void *>(static_cast<uintptr_t>(load<uint32_t>(word)));
}

void result_set_text(const CommandCall &call, const char *text) noexcept {
  if (call.result == nullptr) return;
  void *host_string = reinterpret_cast<void *>(
      static_cast<uintptr_t>(load<uint32_t>(static_cast<uint8_t *>(call.result))));
  host::string_from_zstr(text, host_string);
}

void result_set_blob(const CommandCall &call, const uint8_t *data, uint32_t length) noexcept {
  if (call.result == nullptr) return;
  store(static_cast<uint8_t *>(call.result), host::bytes_to_handle(data, length));
}

}  // namespace zorvan
