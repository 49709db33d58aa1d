// The command handlers, one family to a source file. Each takes the
// CommandCall; a handler that serves several selectors also takes the
// selector to choose its OCI function.
#pragma once

#include <cstdint>

#include "entry/command_call.h"

namespace zorvan {

// Environments, handles and descriptors.
void command_env_create(const CommandCall &call) noexcept;        // 55
void command_terminate(const CommandCall &call) noexcept;         // 56
void command_handle_alloc(const CommandCall &call) noexcept;      // 53
void command_handle_free(const CommandCall &call) noexcept;       // 52
void command_descriptor_alloc(const CommandCall &call) noexcept;  // 60
void command_descriptor_free(const CommandCall &call) noexcept;   // 59

}  // namespace zorvan
