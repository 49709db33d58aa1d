#include "entry/dispatch.h"

#include "commands/commands.h"
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

// Runs the command of a selector from 1 to 176. A selector whose family has
// no handler yet, like one without a command, does nothing.
void run_command(int32_t selector, const CommandCall &call) noexcept {
  switch (selector) {
    // Servers, sessions, transactions and errors.
    case 7: return command_duration_end(call);
    case 8: return command_duration_begin(call);
    case 9: return command_break_or_reset(call, selector);
    case 10: return command_trans_start(call);
    case 11: case 12: case 13: case 14: case 15: return command_trans_end(call, selector);
    case 20: return command_session_end(call);
    case 21: return command_session_begin(call);
    case 22: return command_server_version(call);
    case 23: return command_server_detach(call);
    case 24: return command_server_attach(call);
    case 25: return command_password_change(call);
    case 28: return command_logon(call);
    case 29: return command_logoff(call);
    case 54: return command_error_get(call);
    case 62: return command_break_or_reset(call, selector);

    // Attributes, parameters and describe.
    case 26: return command_param_set(call);
    case 27: return command_param_get(call);
    case 57: case 58: return command_describe_any(call, selector);
    case 65: return command_attr_set(call);
    case 66: return command_attr_set_text(call);
    case 67: return command_attr_get(call);
    case 68: return command_attr_get_text(call);

    // Environments, handles and descriptors.
    case 52: return command_handle_free(call);
    case 53: return command_handle_alloc(call);
    case 55: return command_env_create(call);
    case 56: return command_terminate(call);
    case 59: return command_descriptor_free(call);
    case 60: return command_descriptor_alloc(call);

    // Statements.
    case 16: return command_stmt_prepare(call);
    case 17: return command_get_bind_info(call);
    case 18: return command_stmt_fetch(call);
    case 19: return command_stmt_execute(call);
    case 61: case 174: return command_define(call, selector);
    case 63: case 64: case 172: case 173: return command_bind(call, selector);

    // LOBs and BFILEs.
    case 32: return command_lob_read(call);
    case 30: return command_lob_write(call);
    case 1: return command_lob_write_append(call);
    case 36: case 3: return command_lob_size(call, selector);
    case 31: return command_lob_trim(call);
    case 41: return command_lob_erase(call);
    case 47: return command_lob_append(call);
    case 44: case 34: return command_lob_copy(call, selector);
    case 46: return command_lob_assign(call);
    case 6: case 45: return command_lob_charset(call, selector);
    case 42: case 43: case 4: case 39: return command_lob_plain(call, selector);
    case 37: return command_lob_flush(call);
    case 5: return command_lob_create_temporary(call);
    case 2: case 33: return command_lob_env_flag(call, selector);
    case 35: return command_lob_is_equal(call);
    case 48: return command_lob_file_set_name(call);
    case 51: return command_lob_file_get_name(call);
    case 49: return command_lob_file_open(call);
    case 40: return command_lob_file_close_all(call);
    case 38: case 50: return command_lob_file_flag(call, selector);

    // Collections, iterators, nested tables, REFs, raw values and the cache.
    case 169: return command_coll_append(call);
    case 168: return command_coll_assign(call);
    case 167: return command_coll_assign_elem(call);
    case 166: return command_coll_get_elem(call);
    case 165: return command_coll_max(call);
    case 164: case 170: return command_coll_size(call, selector);
    case 163: return command_coll_trim(call);
    case 154: return command_iter_create(call);
    case 153: return command_iter_delete(call);
    case 152: return command_iter_get_current(call);
    case 151: return command_iter_init(call);
    case 150: case 149: return command_iter_step(call, selector);
    case 111: return command_table_delete(call);
    case 110: return command_table_exists(call);
    case 109: case 108: return command_table_end(call, selector);
    case 107: case 106: return command_table_step(call, selector);
    case 118: return command_ref_assign(call);
    case 117: return command_ref_clear(call);
    case 116: return command_ref_from_hex(call);
    case 115: case 114: case 113: return command_ref_query(call, selector);
    case 112: return command_ref_to_hex(call);
    case 124: return command_raw_alloc_size(call);
    case 123: return command_raw_assign_bytes(call);
    case 122: return command_raw_assign_raw(call);
    case 121: return command_raw_to_blob(call);
    case 120: return command_raw_resize(call);
    case 119: return command_raw_size(call);
    case 102: return command_cache_flush(call);
    case 100: return command_cache_refresh(call);
    case 98: case 99: case 101: return command_cache_all(call, selector);

    // Numbers and dates.
    case 148: case 128: case 133: case 142: case 132: case 134: case 144:
      return command_number_two(call, selector);
    case 127: case 129: case 130: case 135: case 137: case 138: case 139: case 141: case 143:
    case 145: case 146: case 147:
      return command_number_one(call, selector);
    case 125: case 131: case 136: return command_number_integer(call, selector);
    case 126: return command_number_to_text(call);
    case 140: return command_number_from_text(call);
    case 155: return command_date_zone_to_zone(call);
    case 156: return command_date_to_text(call);
    case 157: return command_date_sys_date(call);
    case 158: return command_date_next_day(call);
    case 159: return command_date_last_day(call);
    case 160: return command_date_from_text(call);
    case 161: case 162: return command_date_add(call, selector);

    // No OCI call.
    case 103: return command_version(call);
    case 104: return command_free_all(call);
    case 105: return command_register_error_handler(call);
    case 171: return command_oracle_home(call);
    case 175: return command_set_environment(call);
    case 176: return command_get_environment(call);

    default: return;  // 69 to 97 have no command
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
    if (g_client_available) run_command(selector, *call);
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
