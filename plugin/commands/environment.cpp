// Environments, handles and descriptors: how handles enter and leave the
// registry.
#include "commands/commands.h"
#include "commands/pattern.h"

namespace zorvan {
namespace {

// A handle OCI made but the registry could not take: give it back to OCI so
// that nothing leaks, and say the command failed.
void undo_unregistered(const CommandCall &call, void *handle, ub4 type, bool descriptor) noexcept {
  if (descriptor) {
    if (auto free_descriptor = OCI_FUNCTION(OCIDescriptorFree)) free_descriptor(handle, type);
  } else {
    if (auto free_handle = OCI_FUNCTION(OCIHandleFree)) free_handle(handle, type);
  }
  report_failure(call, OCI_ERROR, 0);
}

}  // namespace

void command_env_create(const CommandCall &call) noexcept {
  auto create = COMMAND_OCI(call, OCIEnvCreate);
  if (create == nullptr) return;
  OCIEnv *environment = nullptr;
  sword status = create(&environment, static_cast<ub4>(param_long(call, 2)), nullptr, nullptr,
                        nullptr, nullptr, 0, nullptr);
  if (!is_success(status)) {
    report_failure(call, status, 0);
    return;
  }
  if (registry_add(handle_word(environment), OCI_HTYPE_ENV, 0) == RegistryAdd::NoMemory) {
    undo_unregistered(call, environment, OCI_HTYPE_ENV, false);
    return;
  }
  param_set_long(call, 1, static_cast<int32_t>(handle_word(environment)));
  result_set_long(call, status);
}

void command_terminate(const CommandCall &call) noexcept {
  auto terminate = COMMAND_OCI(call, OCITerminate);
  if (terminate == nullptr) return;
  // No report: the status is the result, whatever it is.
  result_set_long(call, terminate(OCI_DEFAULT));
}

void command_handle_alloc(const CommandCall &call) noexcept {
  uint32_t environment = typed_handle(call, 1, OCI_HTYPE_ENV);
  if (environment == 0) return refuse(call);
  auto type = static_cast<ub4>(param_long(call, 3));
  auto alloc = COMMAND_OCI(call, OCIHandleAlloc);
  if (alloc == nullptr) return;
  void *handle = nullptr;
  sword status = alloc(as_handle<void>(environment), &handle, type, 0, nullptr);
  // Only OCI_SUCCESS counts: with a warning the handle is not taken.
  if (status != OCI_SUCCESS) {
    report_failure(call, status, 0);
    return;
  }
  if (registry_add(handle_word(handle), static_cast<int32_t>(type), 0) == RegistryAdd::NoMemory) {
    undo_unregistered(call, handle, type, false);
    return;
  }
  param_set_long(call, 2, static_cast<int32_t>(handle_word(handle)));
  result_set_long(call, status);
}

void command_handle_free(const CommandCall &call) noexcept {
  uint32_t handle = handle_param(call, 1);
  int32_t type = handle != 0 ? registry_type(handle) : 0;
  if (type == 0) return refuse(call);
  auto free_handle = COMMAND_OCI(call, OCIHandleFree);
  if (free_handle == nullptr) return;
  sword status = free_handle(as_handle<void>(handle), static_cast<ub4>(type));
  if (status != OCI_SUCCESS) {
    report_failure(call, status, 0);
    return;
  }
  registry_remove(handle);
  param_set_long(call, 1, 0);
  result_set_long(call, status);
}

void command_descriptor_alloc(const CommandCall &call) noexcept {
  uint32_t environment = typed_handle(call, 1, OCI_HTYPE_ENV);
  if (environment == 0) return refuse(call);
  auto type = static_cast<ub4>(param_long(call, 3));
  auto alloc = COMMAND_OCI(call, OCIDescriptorAlloc);
  if (alloc == nullptr) return;
  void *descriptor = nullptr;
  sword status = alloc(as_handle<void>(environment), &descriptor, type, 0, nullptr);
  result_set_long(call, status);
  if (!is_success(status)) {
    report_failure(call, status, 0);
    return;
  }
  if (registry_add(handle_word(descriptor), static_cast<int32_t>(type), 0) ==
      RegistryAdd::NoMemory) {
    undo_unregistered(call, descriptor, type, true);
    return;
  }
  param_set_long(call, 2, static_cast<int32_t>(handle_word(descriptor)));
}

void command_descriptor_free(const CommandCall &call) noexcept {
  uint32_t descriptor = handle_param(call, 1);
  int32_t type = descriptor != 0 ? registry_type(descriptor) : 0;
  if (type == 0) return refuse(call);
  auto free_descriptor = COMMAND_OCI(call, OCIDescriptorFree);
  if (free_descriptor == nullptr) return;
  sword status = free_descriptor(as_handle<void>(descriptor), static_cast<ub4>(type));
  if (!is_success(status)) {
    report_failure(call, status, 0);
    return;
  }
  registry_remove(descriptor);
  param_set_long(call, 1, 0);
  result_set_long(call, status);
}

}  // namespace zorvan
