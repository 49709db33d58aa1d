// The shape every OCI command shares: check the handle parameters against
// the registry, bind the OCI function, call it, and judge the status: the
// result on success, the error path otherwise.
#pragma once

#include <cstdint>

#include "entry/command_call.h"
#include "entry/error_path.h"
#include "host/params.h"
#include "oci/binding.h"
#include "registry/registry.h"

namespace zorvan {

inline bool is_success(sword status) noexcept {
  return status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO;
}

// A handle parameter is trusted only when the registry has it under the
// required type.
inline bool has_type(uint32_t handle, int32_t type) noexcept {
  return handle != 0 && registry_type(handle) == type;
}

// A handle parameter's word, as the host passed it.
inline uint32_t handle_param(const CommandCall &call, int16_t i) noexcept {
  return static_cast<uint32_t>(param_long(call, i));
}

// A handle parameter that must be registered under `type`: its word, or 0
// when the registry does not have it so (the command then refuses).
inline uint32_t typed_handle(const CommandCall &call, int16_t i, int32_t type) noexcept {
  uint32_t handle = handle_param(call, i);
  return has_type(handle, type) ? handle : 0;
}

// Ends a command whose handle parameters failed their check: -2, no handle,
// no OCI call.
inline void refuse(const CommandCall &call) noexcept {
  report_failure(call, OCI_INVALID_HANDLE, 0);
}

// The result on success (0 or 1), the error path with error_handle otherwise.
inline void finish(const CommandCall &call, sword status, uint32_t error_handle) noexcept {
  if (is_success(status)) {
    result_set_long(call, status);
  } else {
    report_failure(call, status, error_handle);
  }
}

// The OCI function, or null after ending the command with OCI_ERROR and no
// handle because the installed client lacks it (the user has been told).
template <class Pointer>
Pointer bind_or_report(const CommandCall &call, oci::Fn fn) noexcept {
  void *address = oci::resolve(fn);
  if (address == nullptr) report_failure(call, OCI_ERROR, 0);
  return reinterpret_cast<Pointer>(address);
}

inline uint32_t handle_word(const void *handle) noexcept {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

template <class T>
T *as_handle(uint32_t word) noexcept {
  return reinterpret_cast<T *>(static_cast<uintptr_t>(word));
}

}  // namespace zorvan

#define COMMAND_OCI(call, name) \
  ::zorvan::bind_or_report<decltype(&::name)>(call, ::zorvan::oci::Fn::name)
