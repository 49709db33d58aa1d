// One command, repeated: the program bench/command_cost.sh runs under
// callgrind to count the instructions the plug-in's own code spends on a
// command, from ZorvanPack to the OCI call and back (the host's callbacks
// and OCI's work are left out by the script).
//   command_cost attr N   selector 67 on a service context, N times
//   command_cost fetch N  a one-row fetch into five defined variables, N times
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "oci.h"
#include "zorvan_host.h"

extern "C" int32_t __cdecl ZorvanPack(int32_t, void *, int32_t, void *);

using namespace zorvan;
using emu::long_param;
using emu::string_param;
using emu::variable_param;

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: command_cost attr|fetch N\n");
    return 2;
  }
  std::string what = argv[1];
  int n = std::atoi(argv[2]);
  char dir[] = "/tmp/zorvan-cost-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 1;
  emu::Host host(&ZorvanPack);
  host.initialize(-200);
  host.call(175, {string_param("ZEC_DB_DIR"), string_param(dir)});
  int32_t env = host.call(55, {long_param(0), long_param(OCI_DEFAULT)}).long_at(1);
  int32_t err = host.call(53, {long_param(env), long_param(0), long_param(OCI_HTYPE_ERROR)}).long_at(2);
  auto logon = host.call(28, {long_param(env), long_param(err), long_param(0), string_param("zorvan"),
                              string_param("zorvan"), string_param("")});
  if (logon.result != OCI_SUCCESS) {
    std::fprintf(stderr, "logon failed: is LD_LIBRARY_PATH set to the embedded client?\n");
    return 1;
  }
  int32_t svc = logon.long_at(3);
  auto statement = [&](const std::string &sql) {
    int32_t st = host.call(53, {long_param(env), long_param(0), long_param(OCI_HTYPE_STMT)}).long_at(2);
    host.call(16, {long_param(st), long_param(err), emu::text_param(sql), long_param(OCI_DEFAULT)});
    return st;
  };
  auto execute = [&](int32_t st, int32_t iters) {
    return host.call(19, {long_param(svc), long_param(st), long_param(err), long_param(iters), long_param(0),
                          long_param(0), long_param(0), long_param(OCI_DEFAULT)})
        .result;
  };
  int status = 0;
  if (what == "attr") {
    for (int i = 0; i < n; ++i)
      status |= host.call(67, {long_param(svc), long_param(0), long_param(OCI_ATTR_SESSION), long_param(err)}).result;
  } else {
    execute(statement("CREATE TABLE five (a NUMBER, b NUMBER, c NUMBER, d NUMBER, e NUMBER)"), 1);
    std::vector<int32_t> values(static_cast<size_t>(n) + 1);
    for (int i = 1; i <= n; ++i) values[static_cast<size_t>(i)] = i;
    host.set_long_array("v", values);
    int32_t insert = statement("INSERT INTO five VALUES (:1, :1 + 1, :1 + 2, :1 + 3, :1 + 4)");
    host.call(63, {long_param(insert), long_param(0), long_param(err), long_param(1), variable_param("v", -1),
                   long_param(SQLT_INT), variable_param("none", -1), variable_param("none", -1),
                   variable_param("none", -1), long_param(OCI_DEFAULT), long_param(0)});
    execute(insert, n);
    int32_t query = statement("SELECT a, b, c, d, e FROM five");
    for (int k = 0; k < 5; ++k) {
      std::string name(1, static_cast<char>('a' + k));
      host.set_long(name, 0);
      host.call(61, {long_param(query), long_param(0), long_param(err), long_param(k + 1), variable_param(name, -1),
                     long_param(SQLT_INT), variable_param("none", -1), variable_param("none", -1),
                     variable_param("none", -1), long_param(OCI_DEFAULT)});
    }
    execute(query, 0);
    for (int i = 0; i < n; ++i) status |= host.call(18, {long_param(query), long_param(err), long_param(1)}).result;
  }
  host.event(-2);
  std::string clean = std::string("rm -rf ") + dir;
  if (std::system(clean.c_str()) != 0) return 1;
  return status == 0 ? 0 : 1;
}
