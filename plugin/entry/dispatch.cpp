#include "entry/dispatch.h"

#include "entry/command_table.h"
#include "entry/error_path.h"
#include "entry/probe.h"
#include "entry/utility.h"
#include "host/protocol.h"
#include "registry/registry.h"

namespace zorvan {
namespace {

bool g_probe_tried = false;
bool g_client_available = false;  // once true, true for the life of the process

// Host events that never load the Oracle client.
bool skips_probe(int32_t selector) noexcept {
  switch (selector) {
    case -250: case -220: case -207: case -206: case -205: case -202: case -201:
    case -200: case -10: case -4: case -3: case -2: case -1:
      return true;
    default:
      return false;
  }
}

}  // namespace

int32_t dispatch_command(int32_t selector, const CommandCall *call) noexcept {
  if (!skips_probe(selector) && !g_probe_tried) {
    g_probe_tried = true;
    g_client_available = oci_probe();
  }
  if (selector >= 1 && selector <= 176) {
    // Without the client no command runs: parameters and result stay as the
    // host left them.
    // A selector without a row (69 to 97) has no command and does nothing.
    if (g_client_available)
      if (const CommandRow *row = command_row(selector)) row->run(*call, selector);
    return 0;
  }
  switch (selector) {
    case -1:  // initialisation; the entry has stored the callback
      registry_clear();
      host::reset_text_settings();
      error_handler_reset();
      return 0;
    case -2:  // shutdown: the plug-in's records go, OCI's handles stay
      return static_cast<int32_t>(registry_free_all());
    default:
      return 0;
  }
}

bool client_probe_tried() noexcept { return g_probe_tried; }
bool client_available() noexcept { return g_client_available; }

}  // namespace zorvan
