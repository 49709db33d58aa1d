#include "entry/error_path.h"

#include "host/params.h"
#include "host/variables.h"

namespace zorvan {
namespace {
int32_t g_method_id = -1;  // 0 and below: no handler
// A failing command inside the method calls it again, down to this depth;
// deeper failures answer with their status alone, so that a method that
// always fails again cannot recurse without end.
constexpr int kMaxHandlerDepth = 4;
int g_handler_depth = 0;
}  // namespace

void report_failure(const CommandCall &call, int32_t status, uint32_t handle) noexcept {
  if (g_method_id > 0 && g_handler_depth < kMaxHandlerDepth) {
    HostVariable arguments[2] = {};
    make_long(arguments[0], status);
    make_long(arguments[1], static_cast<int32_t>(handle));
    // The method runs while the command is still in progress; its result
    // does not change the command's.
    ++g_handler_depth;
    host::call_method(g_method_id, arguments);
    --g_handler_depth;
  }
  result_set_long(call, status);
}

void error_handler_reset() noexcept {
  g_method_id = -1;
  g_handler_depth = 0;
}
int32_t error_handler_id() noexcept { return g_method_id; }

void command_register_error_handler(const CommandCall &call) noexcept {
  host::ZString name;
  param_text(call, 1, name);
  g_method_id = name[0] == '\0' ? -1 : host::method_id(name);
}

}  // namespace zorvan
