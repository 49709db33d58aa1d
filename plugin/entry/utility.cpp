#include "entry/utility.h"

#include <cstdio>
#include <cstring>

#include "host/params.h"
#include "platform/platform.h"
#include "registry/registry.h"
#include "support/memory.h"

namespace zorvan {

void command_set_environment(const CommandCall &call) noexcept {
  host::ZString name;
  host::ZString value;
  param_text(call, 1, name);
  param_text(call, 2, value);
  size_t size = std::strlen(name) + std::strlen(value) + 2;
  HeapBytes assignment = heap_bytes(size);
  if (!assignment) {
    result_set_long(call, -1);
    return;
  }
  std::snprintf(reinterpret_cast<char *>(assignment.get()), size, "%s=%s", name, value);
  // The runtime keeps its own copy; what it reports does not change the result.
  platform::put_environment(reinterpret_cast<char *>(assignment.get()));
  result_set_long(call, 0);
}

void command_get_environment(const CommandCall &call) noexcept {
  host::ZString name;
  param_text(call, 1, name);
  const char *value = platform::get_environment(name);
  if (value == nullptr) {
    param_set_text(call, 2, "");
    result_set_long(call, 1);
    return;
  }
  // param_set_text passes at most 255 characters: a longer value arrives cut.
  param_set_text(call, 2, value);
  result_set_long(call, std::strlen(value) < host::kStringSize ? 0 : -1);
}

void command_version(const CommandCall &call) noexcept {
  result_set_text(call, "ZorvanOCI ANSI b1 1.0.2");
}

void command_oracle_home(const CommandCall &call) noexcept {
  char home[platform::kOracleHomeSize] = {};
  if (!platform::oracle_home(home)) {
    result_set_text(call, "Not found");
    return;
  }
  result_set_text(call, home);
}

void command_free_all(const CommandCall &call) noexcept {
  result_set_long(call, static_cast<int32_t>(registry_free_all()));
}

}  // namespace zorvan
