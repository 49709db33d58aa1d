// Every allocation fails in turn: a Zorvan session (connect, DDL, array
// DML and fetch, a LONG in pieces, a LOB, attributes, describe, bind
// information, a nested table, disconnect) runs again and again with the
// plug-in's 1st, 2nd, 3rd ... heap allocation failing, then with the host's
// 1st, 2nd, 3rd ... new memory handle refused, until a run meets no injected
// failure. Each run must answer every command with a clean status, and after
// event -2 leave no plug-in block, no host handle the plug-in asked for and
// no client handle behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "oci.h"
#include "support/memory.h"
#include "support/plugin_fixture.h"
#include "zorvan_host.h"

extern "C" int32_t __cdecl ZorvanPack(int32_t, void *, int32_t, void *);

namespace zorvan {
namespace {

using emu::long_param;
using emu::string_param;
using emu::text_param;
using emu::variable_param;

// The statuses a command may answer with: success, success with info, no
// data, a failure, a refused handle.
bool clean(int32_t status) {
  return status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO || status == OCI_NO_DATA || status == OCI_ERROR ||
         status == OCI_INVALID_HANDLE;
}

struct Session {
  emu::Host &host;
  std::vector<std::string> unclean;

  emu::CallResult call(int32_t selector, const std::vector<emu::Param> &params) {
    auto r = host.call(selector, params);
    if (!clean(r.result)) unclean.push_back(std::to_string(selector) + " -> " + std::to_string(r.result));
    return r;
  }
};

// The session; what it makes it frees again, whatever failed on the way.
void zorvan_session(emu::Host &host, std::vector<std::string> &unclean, const std::string &data) {
  Session s{host, {}};
  auto none = [] { return variable_param("nothing", -1); };
  s.call(175, {string_param("ZEC_DB_DIR"), string_param(data)});
  int32_t env = s.call(55, {long_param(0), long_param(OCI_DEFAULT)}).long_at(1);
  int32_t err = s.call(53, {long_param(env), long_param(0), long_param(OCI_HTYPE_ERROR)}).long_at(2);
  int32_t svc = s.call(28, {long_param(env), long_param(err), long_param(0), string_param("zorvan"),
                            string_param("zorvan"), string_param("")})
                    .long_at(3);
  int32_t st = s.call(53, {long_param(env), long_param(0), long_param(OCI_HTYPE_STMT)}).long_at(2);
  auto run = [&](const std::string &sql, int32_t iters) {
    s.call(16, {long_param(st), long_param(err), text_param(sql), long_param(OCI_DEFAULT)});
    return s.call(19, {long_param(svc), long_param(st), long_param(err), long_param(iters), long_param(0),
                       long_param(0), long_param(0), long_param(OCI_DEFAULT)});
  };
  auto bind = [&](int32_t position, const std::string &name, int32_t dty, int32_t mode = OCI_DEFAULT) {
    s.call(63, {long_param(st), long_param(0), long_param(err), long_param(position), variable_param(name, -1),
                long_param(dty), none(), none(), none(), long_param(mode), long_param(0)});
  };
  auto define = [&](int32_t position, const std::string &name, int32_t dty, int32_t mode = OCI_DEFAULT) {
    s.call(61, {long_param(st), long_param(0), long_param(err), long_param(position), variable_param(name, -1),
                long_param(dty), none(), none(), none(), long_param(mode)});
  };

  run("CREATE TABLE t (n NUMBER, s VARCHAR2(20), l LONG)", 1);
  s.call(16, {long_param(st), long_param(err), text_param("INSERT INTO t (n, s, l) VALUES (:n, :s, :l)"),
              long_param(OCI_DEFAULT)});
  bind(1, "n", SQLT_INT);
  bind(2, "s", SQLT_STR);
  bind(3, "long_in", SQLT_LNG, OCI_DATA_AT_EXEC);
  // One row: the LONG is a single variable, so the arrays' other rows stay unsent.
  s.call(19, {long_param(svc), long_param(st), long_param(err), long_param(1), long_param(0), long_param(0),
              long_param(0), long_param(OCI_DEFAULT)});
  s.call(16, {long_param(st), long_param(err), text_param("SELECT n, s, l FROM t ORDER BY n"),
              long_param(OCI_DEFAULT)});
  define(1, "on", SQLT_INT);
  define(2, "os", SQLT_STR);
  define(3, "long_out", SQLT_LNG, OCI_DYNAMIC_FETCH);
  s.call(19, {long_param(svc), long_param(st), long_param(err), long_param(0), long_param(0), long_param(0),
              long_param(0), long_param(OCI_DEFAULT)});
  s.call(18, {long_param(st), long_param(err), long_param(1)});
  int32_t column = s.call(27, {long_param(st), long_param(err), long_param(0), long_param(1)}).long_at(3);
  s.call(67, {long_param(column), long_param(0), long_param(OCI_ATTR_DATA_TYPE), long_param(err)});
  s.call(59, {long_param(column)});
  s.call(16, {long_param(st), long_param(err), text_param("SELECT :a, :b FROM dual"), long_param(OCI_DEFAULT)});
  s.call(17, {long_param(st), long_param(err), long_param(1), long_param(0), variable_param("names", -1),
              variable_param("indicators", -1), variable_param("duplicates", -1), variable_param("binds", -1)});
  s.call(67, {long_param(svc), long_param(0), long_param(OCI_ATTR_SESSION), long_param(err)});

  int32_t lob = s.call(60, {long_param(env), long_param(0), long_param(OCI_DTYPE_LOB)}).long_at(2);
  s.call(5, {long_param(svc), long_param(err), long_param(lob), long_param(OCI_TEMP_CLOB), long_param(0),
             long_param(OCI_DURATION_SESSION)});
  s.call(30, {long_param(svc), long_param(err), long_param(lob), long_param(1), emu::blob_param("a LOB's text")});
  auto back = s.call(32, {long_param(svc), long_param(err), long_param(lob), long_param(1),
                          emu::blob_handle_param(0)});
  if (back.handle_at(5) != 0) host.dispose_handle(back.handle_at(5));
  s.call(4, {long_param(svc), long_param(err), long_param(lob)});
  s.call(59, {long_param(lob)});

  s.call(15, {long_param(svc), long_param(err), long_param(0)});
  s.call(29, {long_param(svc), long_param(err)});
  s.call(52, {long_param(st)});
  s.call(52, {long_param(err)});
  s.call(52, {long_param(env)});
  for (auto &u : s.unclean) unclean.push_back(u);
}

class FaultInjection : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(client.open()); }

  // Runs the session on a fresh host with `inject` set up just before it;
  // false once a run met no injected failure.
  bool run_once(const std::function<void(emu::Host &)> &inject, const std::function<bool(emu::Host &)> &injected,
                const std::string &what) {
    emu::Host host(&ZorvanPack);
    host.initialize();
    host.event(0);  // the probe, once for the process
    host.add_method("OnOracleError");
    host.call(105, {string_param("OnOracleError")});
    host.set_long_array("n", {0, 1, 2, 3});
    host.set_text_array("s", {"", "one", "two", "three"});
    host.set_text_limit(1u << 20);
    host.set_text("long_in", std::string(70000, 'x'));
    host.set_long_array("on", {0, 0});
    host.set_text_array("os", {"", ""});
    host.set_text("long_out", "");
    host.set_string_array("names", std::vector<std::string>(5, ""), 30);
    host.set_string_array("indicators", std::vector<std::string>(5, ""), 30);
    host.set_boolean_array("duplicates", std::vector<bool>(5, false));
    host.set_long_array("binds", std::vector<int32_t>(5, 0));
    size_t host_handles = host.plugin_handles();
    int client_handles = client.live_handles();
    uint32_t blocks = memory_live_blocks();

    std::vector<std::string> unclean;
    inject(host);
    zorvan_session(host, unclean, test::fresh_directory());
    bool met = injected(host);
    if (!met) {
      // No failure met: the session's answers are all there.
      EXPECT_EQ(host.get_long_array("on").at(1), 1) << what;
      EXPECT_EQ(host.get_text_array("os").at(1), "one") << what;
      EXPECT_EQ(host.get_text("long_out").size(), 70000u) << what;
      EXPECT_EQ(host.method_calls().size(), 0u) << what;
    }
    memory_fail_at(0);
    host.fail_new_handle_at(0);
    host.event(-2);

    EXPECT_TRUE(unclean.empty()) << what << ": " << unclean.front();
    EXPECT_EQ(memory_live_blocks(), blocks) << what << ": plug-in blocks left";
    EXPECT_EQ(host.plugin_handles(), host_handles) << what << ": host handles left";
    EXPECT_EQ(client.live_handles(), client_handles) << what << ": client handles left";
    EXPECT_TRUE(host.faults().empty()) << what << ": " << host.faults().front();
    return met;
  }

  test::ClientControl client;
};

TEST_F(FaultInjection, EveryPluginAllocationFailsInTurn) {
  int runs = 0;
  for (uint32_t n = 1;; ++n) {
    bool met = run_once([n](emu::Host &) { memory_fail_at(n); },
                        [n](emu::Host &) { return memory_allocation_count() >= n; },
                        "plug-in allocation " + std::to_string(n));
    if (HasFailure() || !met) break;
    ++runs;
  }
  EXPECT_GT(runs, 30);  // the session allocates that often at least
  std::printf("plug-in allocations failed in turn: %d runs\n", runs);
}

TEST_F(FaultInjection, EveryHostHandleIsRefusedInTurn) {
  int runs = 0;
  for (int n = 1;; ++n) {
    bool met = run_once([n](emu::Host &host) { host.fail_new_handle_at(n); },
                        [n](emu::Host &host) { return host.new_handle_requests() >= n; },
                        "host handle " + std::to_string(n));
    if (HasFailure() || !met) break;
    ++runs;
  }
  EXPECT_GE(runs, 1);  // at least the BLOB that 32 makes
  std::printf("host handles refused in turn: %d runs\n", runs);
}

}  // namespace
}  // namespace zorvan
