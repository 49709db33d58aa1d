// The client's handle model: every OCI handle and descriptor is a Handle
// with its type, its environment and, for error and environment handles,
// the error records of the latest failing call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "oci.h"

namespace zec {

struct ErrorRecord {
  sb4 code;
  std::string text;  // "ORA-NNNNN: message\n"
};

struct Handle {
  uint32_t magic;
  ub4 type;
  bool descriptor;
  Handle *environment;  // null for an environment itself
  std::vector<ErrorRecord> errors;
};

// A live handle of that type (0: any type), or null for anything else:
// null, freed, foreign or mistyped pointers alike.
Handle *live_handle(const void *pointer, ub4 type = 0) noexcept;
Handle *new_handle(ub4 type, bool descriptor, Handle *environment) noexcept;
// Frees the handle and, for an environment, every handle made under it.
void free_handle(Handle *handle) noexcept;
int live_count() noexcept;

// Replaces the error records of an error or environment handle with one
// record for an ORA code; the text comes from the message table. Extra
// texts fill its %s parameters in order.
void set_error(const void *error_handle, sb4 code, const char *parameter = nullptr) noexcept;
void clear_errors(const void *error_handle) noexcept;
std::string ora_message(sb4 code, const char *parameter) noexcept;

}  // namespace zec
