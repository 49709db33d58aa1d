#include "entry/error_path.h"

#include "host/params.h"
#include "host/variables.h"

namespace zorvan {
namespace {
int32_t g_method_id = -1;  // 0 and below: no handler
bool g_in_handler = false;
}  // namespace

void report_failure(const CommandCall &call, int32_t status, uint32_t handle) noexcept {
  // The method is not entered again while it runs: a command it calls that
  // fails answers with its status alone, so failures cannot nest without end.
  if (g_method_id > 0 && !g_in_handler) {
    HostVariable arguments[2] = {};
    make_long(arguments[0], status);
    make_long(arguments[1], static_cast<int32_t>(handle));
    // The method runs while the command is still in progress; its result
    // does not change the command's.
    g_in_handler = true;
    host::call_method(g_method_id, arguments);
    g_in_handler = false;
  }
  result_set_long(call, status);
}

void error_handler_reset() noexcept {
  g_method_id = -1;
  g_in_handler = false;
}
int32_t error_handler_id() noexcept { return g_method_id; }

void command_register_error_handler(const CommandCall &call) noexcept {
  host::ZString name;
  param_text(call, 1, name);
  g_method_id = name[0] == '\0' ? -1 : host::method_id(name);
}

}  // namespace zorvan
