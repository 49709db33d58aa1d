// A Zorvan program, played by the host emulator: it loads the plug-in from
// its file, as Zorvan does, and talks to the embedded Oracle client.
#include <cstdio>
#include <cstring>
#include <string>

#include "oci.h"
#include "zorvan_host.h"

using namespace zorvan;
using emu::long_param;
using emu::string_param;

namespace {

void show(const char *what, int32_t status) { std::printf("  %-44s -> %d\n", what, status); }

}  // namespace

int main(int argc, char **argv) {
  std::string file = argc > 1 ? argv[1] : "ZorvanOCI.so";
  emu::Plugin plugin = emu::load_plugin(file, false);
  if (plugin.entry == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", file.c_str(), plugin.error.c_str());
    return 1;
  }
  emu::Host host(plugin.entry);
  std::printf("Zorvan starts the plug-in: reply 0x%X\n", host.initialize());

  std::printf("Version: %s\n", host.call(103, {}, emu::ResultKind::String).result_text.c_str());
  host.call(175, {string_param("NLS_LANG"), string_param("AMERICAN_AMERICA.WE8MSWIN1252")});
  auto nls = host.call(176, {string_param("NLS_LANG"), string_param("")});
  std::printf("NLS_LANG for the client: %s\n", nls.string_at(2).c_str());

  // The programmer's error handler hears every failure.
  host.add_method("OnOracleError", [](std::span<const emu::Variable> args) {
    int32_t status;
    int32_t handle;
    std::memcpy(&status, args[0].bytes + 2, 4);
    std::memcpy(&handle, args[1].bytes + 2, 4);
    std::printf("    OnOracleError(status %d, handle %d)\n", status, handle);
    return emu::Variable{};
  });
  host.call(105, {string_param("OnOracleError")});

  std::printf("Handles:\n");
  auto env = host.call(55, {long_param(0), long_param(OCI_DEFAULT)});
  show("OCIEnvCreate", env.result);
  int32_t envhp = env.long_at(1);
  auto err = host.call(53, {long_param(envhp), long_param(0), long_param(OCI_HTYPE_ERROR)});
  show("OCIHandleAlloc (error handle)", err.result);
  auto stmt = host.call(53, {long_param(envhp), long_param(0), long_param(OCI_HTYPE_STMT)});
  show("OCIHandleAlloc (statement)", stmt.result);
  auto lob = host.call(60, {long_param(envhp), long_param(0), long_param(OCI_DTYPE_LOB)});
  show("OCIDescriptorAlloc (LOB locator)", lob.result);

  std::printf("A handle the plug-in never handed out is refused:\n");
  show("OCIHandleAlloc on a made-up environment",
       host.call(53, {long_param(12345), long_param(0), long_param(OCI_HTYPE_STMT)}).result);

  std::printf("Connecting to the embedded database:\n");
  host.call(175, {string_param("ZEC_DB_DIR"), string_param(argc > 2 ? argv[2] : "zorvan-data")});
  int32_t errhp = err.long_at(2);
  auto wrong = host.call(28, {long_param(envhp), long_param(errhp), long_param(0), string_param("zorvan"),
                              string_param("guess"), string_param("")});
  show("OCILogon with a wrong password", wrong.result);
  auto record = host.call(54, {long_param(errhp), long_param(1), long_param(0), string_param("")});
  std::printf("    OCIErrorGet: %s", record.string_at(4).c_str());
  auto logon = host.call(28, {long_param(envhp), long_param(errhp), long_param(0), string_param("zorvan"),
                              string_param("zorvan"), string_param("")});
  show("OCILogon as zorvan/zorvan", logon.result);
  int32_t svchp = logon.long_at(3);
  auto version = host.call(22, {long_param(svchp), long_param(errhp), string_param("")});
  std::printf("    OCIServerVersion: %s\n", version.string_at(3).c_str());
  auto session = host.call(67, {long_param(svchp), long_param(0), long_param(OCI_ATTR_SESSION), long_param(errhp)});
  auto user = host.call(68, {long_param(session.long_at(2)), string_param(""), long_param(OCI_ATTR_USERNAME),
                             long_param(errhp)});
  std::printf("    session user: %s\n", user.string_at(2).c_str());
  show("OCITransCommit", host.call(15, {long_param(svchp), long_param(errhp), long_param(0)}).result);

  std::printf("Oracle NUMBER and DATE:\n");
  auto third = host.call(142, {long_param(errhp), emu::real_param(1), emu::real_param(3), emu::real_param(0)});
  std::printf("    OCINumberDiv(1, 3) = %.15g\n", third.real_at(4));
  auto text = host.call(126, {long_param(errhp), emu::real_param(1234567.891), string_param("L999G999G999D99"),
                              string_param("NLS_NUMERIC_CHARACTERS=',.' NLS_CURRENCY='EUR '"), string_param("")});
  std::printf("    OCINumberToText(1234567.891) = '%s'\n", text.string_at(5).c_str());
  auto months = host.call(161, {long_param(errhp), emu::date_param(31, 1, 2024), long_param(1),
                                emu::date_param(0, 0, 0)});
  int16_t day, month, year;
  months.date_at(4, &day, &month, &year);
  std::printf("    OCIDateAddMonths(2024-01-31, 1) = %d-%02d-%02d\n", year, month, day);
  auto date_text = host.call(156, {long_param(errhp), emu::date_param(29, 2, 2024), long_param(14 * 3600 + 30 * 60),
                                   string_param("FMDay, Month DD, YYYY HH:MI AM"), string_param(""), string_param("")});
  std::printf("    OCIDateToText = '%s'\n", date_text.string_at(6).c_str());
  show("OCILogoff", host.call(29, {long_param(svchp), long_param(errhp)}).result);

  std::printf("Freeing:\n");
  show("OCIDescriptorFree", host.call(59, {long_param(lob.long_at(2))}).result);
  show("OCIHandleFree (statement)", host.call(52, {long_param(stmt.long_at(2))}).result);
  show("OCIHandleFree (statement, again)", host.call(52, {long_param(stmt.long_at(2))}).result);
  show("free all registered handles (count)", host.call(104, {}).result);
  std::printf("Zorvan shuts the plug-in down: %d records freed\n", host.event(-2));
  emu::unload_plugin(plugin);
  return 0;
}
