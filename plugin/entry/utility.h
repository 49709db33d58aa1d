// The commands that call no OCI function.
#pragma once

#include "entry/command_call.h"

namespace zorvan {

void command_set_environment(const CommandCall &call) noexcept;  // 175
void command_get_environment(const CommandCall &call) noexcept;  // 176
void command_version(const CommandCall &call) noexcept;          // 103
void command_oracle_home(const CommandCall &call) noexcept;      // 171
void command_free_all(const CommandCall &call) noexcept;         // 104

}  // namespace zorvan
