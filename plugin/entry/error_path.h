// The error path every command ends through when it fails: the programmer's
// error-handler method, if one is registered, hears the status and the
// handle; then the status becomes the command's result.
#pragma once

#include <cstdint>

#include "entry/command_call.h"

namespace zorvan {

void report_failure(const CommandCall &call, int32_t status, uint32_t handle) noexcept;

// Event -1: no handler.
void error_handler_reset() noexcept;
int32_t error_handler_id() noexcept;

// Selector 105: registers the method named by parameter 1 (an empty name or
// an unknown method turns the handler off).
void command_register_error_handler(const CommandCall &call) noexcept;

}  // namespace zorvan
