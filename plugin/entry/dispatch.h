// The client gate and the switch from selector to handler.
#pragma once

#include <cstdint>

#include "entry/command_call.h"

namespace zorvan {

int32_t dispatch_command(int32_t selector, const CommandCall *call) noexcept;

// Whether the client probe has run, and what it found.
bool client_probe_tried() noexcept;
bool client_available() noexcept;

}  // namespace zorvan
