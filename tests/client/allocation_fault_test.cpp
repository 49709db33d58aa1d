// The embedded client under allocation failure: an OCI program (logon, DDL,
// a trigger and a procedure, array DML with binds, a fetch, a PL/SQL block,
// a temporary LOB, commit, logoff) runs again and again with the client's
// 1st, 2nd, 3rd ... allocation failing (C++ allocations and SQLite's
// alike), until a run meets no injected failure. Each call must answer
// success or a clean error with an ORA code, never crash, and once the
// environment is freed no handle may be left. This program replaces the
// process's operator new and SQLite's allocator, so it runs where both are
// shared with the client (Linux); LeakSanitizer and valgrind check what a
// failed run leaves behind.
#include <execinfo.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "client/oci_fixture.h"
#include "oci.h"
#include "zec_control.h"

namespace {

// The countdown: -1 when off; the allocation that takes it to 0 fails.
long g_countdown = -1;
long g_counted = 0;
bool g_failed = false;

// Where the failure was injected, shown when a run goes wrong.
void *g_where[32];
int g_depth = 0;

bool should_fail() noexcept {
  if (g_countdown < 0) return false;
  ++g_counted;
  if (--g_countdown == 0) {
    g_failed = true;
    g_depth = backtrace(g_where, 32);
    return true;
  }
  return false;
}

void show_where() {
  std::fflush(stdout);
  backtrace_symbols_fd(g_where, g_depth, STDERR_FILENO);
}

// SQLite's allocator, wrapped.
sqlite3_mem_methods g_sqlite_default;

void *sqlite_malloc(int n) { return should_fail() ? nullptr : g_sqlite_default.xMalloc(n); }
void *sqlite_realloc(void *p, int n) { return should_fail() ? nullptr : g_sqlite_default.xRealloc(p, n); }

bool install_sqlite_allocator() {
  sqlite3_shutdown();
  sqlite3_config(SQLITE_CONFIG_GETMALLOC, &g_sqlite_default);
  sqlite3_mem_methods wrapped = g_sqlite_default;
  wrapped.xMalloc = sqlite_malloc;
  wrapped.xRealloc = sqlite_realloc;
  return sqlite3_config(SQLITE_CONFIG_MALLOC, &wrapped) == SQLITE_OK;
}

}  // namespace

// The process's operator new: the client's allocations come here too. They
// take their memory from malloc, so free gives it back.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void *operator new(size_t size) {
  if (should_fail()) throw std::bad_alloc();
  void *p = std::malloc(size ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void *operator new[](size_t size) { return operator new(size); }
void *operator new(size_t size, const std::nothrow_t &) noexcept {
  if (should_fail()) return nullptr;
  return std::malloc(size ? size : 1);
}
void *operator new[](size_t size, const std::nothrow_t &t) noexcept { return operator new(size, t); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, size_t) noexcept { std::free(p); }
void operator delete[](void *p, size_t) noexcept { std::free(p); }

namespace zorvan::client_test {
namespace {

// One run of the program. Only the client's own work is counted: the
// countdown is armed around each OCI call and off between them.
struct Program {
  explicit Program(long n) : fail_at(n) {}
  long fail_at;
  OCIEnv *env = nullptr;
  OCIError *err = nullptr;
  OCISvcCtx *svc = nullptr;
  bool stopped = false;  // a call failed: the program gives up, as programs do
  std::vector<std::string> problems;

  template <class Call>
  sword call(const char *what, Call c) {
    if (stopped) return OCI_ERROR;
    g_countdown = fail_at;
    g_counted = 0;
    sword status = OCI_ERROR;
    try {
      status = c();
    } catch (...) {
      g_countdown = -1;
      problems.push_back(std::string("an exception crossed ") + what);
      show_where();
      stopped = true;
      return OCI_ERROR;
    }
    long left = g_countdown;
    g_countdown = -1;
    fail_at = left;  // the rest of the countdown goes on to the next call
    if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO || status == OCI_NO_DATA) return status;
    if (status == OCI_ERROR) {
      sb4 code = 0;
      char text[512] = {};
      if (err) OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText *>(text), sizeof text, OCI_HTYPE_ERROR);
      // The handle allocators have no error handle to report on.
      bool records = std::strncmp(what, "OCIHandleAlloc", 14) != 0 && std::strncmp(what, "OCIDescriptorAlloc", 18) != 0 &&
                     std::strncmp(what, "OCIEnvCreate", 12) != 0;
      if (err && records && code == 0) problems.push_back(std::string(what) + ": an error without a code");
      if (!g_failed) problems.push_back(std::string(what) + " failed with nothing injected: " + text);
    } else {
      problems.push_back(std::string(what) + ": status " + std::to_string(status));
    }
    stopped = true;
    return status;
  }

  sword sql(const char *text, ub4 iters = 1) {
    OCIStmt *st = nullptr;
    sword s = call("OCIHandleAlloc stmt", [&] {
      return OCIHandleAlloc(env, reinterpret_cast<void **>(&st), OCI_HTYPE_STMT, 0, nullptr);
    });
    if (s != OCI_SUCCESS) return s;
    s = call(text, [&] {
      sword r = OCIStmtPrepare(st, err, reinterpret_cast<const OraText *>(text), static_cast<ub4>(std::strlen(text)),
                               OCI_NTV_SYNTAX, OCI_DEFAULT);
      if (r != OCI_SUCCESS) return r;
      return OCIStmtExecute(svc, st, err, iters, 0, nullptr, nullptr, OCI_DEFAULT);
    });
    OCIHandleFree(st, OCI_HTYPE_STMT);
    return s;
  }

  void program() {
    if (call("OCIEnvCreate", [&] {
          return OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        }) != OCI_SUCCESS)
      return;
    call("OCIHandleAlloc error",
         [&] { return OCIHandleAlloc(env, reinterpret_cast<void **>(&err), OCI_HTYPE_ERROR, 0, nullptr); });
    call("OCILogon", [&] {
      return OCILogon(env, err, &svc, reinterpret_cast<const OraText *>("zorvan"), 6,
                      reinterpret_cast<const OraText *>("zorvan"), 6, reinterpret_cast<const OraText *>(""), 0);
    });
    sql("CREATE TABLE item (id NUMBER(6) PRIMARY KEY, name VARCHAR2(20) NOT NULL, at DATE)");
    sql("CREATE SEQUENCE item_seq");
    sql("CREATE TABLE item_log (what VARCHAR2(40))");
    sql("CREATE OR REPLACE PROCEDURE note (w VARCHAR2) IS BEGIN INSERT INTO item_log VALUES (w); END;");
    sql("CREATE OR REPLACE TRIGGER item_bi BEFORE INSERT ON item FOR EACH ROW BEGIN "
        "IF :NEW.id IS NULL THEN :NEW.id := item_seq.NEXTVAL; END IF; note('new ' || :NEW.name); END;");

    // Array insert with binds.
    OCIStmt *st = nullptr;
    if (call("OCIHandleAlloc insert",
             [&] { return OCIHandleAlloc(env, reinterpret_cast<void **>(&st), OCI_HTYPE_STMT, 0, nullptr); }) ==
        OCI_SUCCESS) {
      char names[3][8] = {"pen", "ink", "cap"};
      sb2 null_ids[3] = {-1, -1, -1};
      int32_t ids[3] = {0, 0, 0};
      const char *text = "INSERT INTO item (id, name, at) VALUES (:id, :name, SYSDATE)";
      call("insert", [&] {
        OCIBind *b1 = nullptr, *b2 = nullptr;
        sword r = OCIStmtPrepare(st, err, reinterpret_cast<const OraText *>(text), static_cast<ub4>(std::strlen(text)),
                                 OCI_NTV_SYNTAX, OCI_DEFAULT);
        if (r == OCI_SUCCESS)
          r = OCIBindByPos(st, &b1, err, 1, ids, sizeof(int32_t), SQLT_INT, null_ids, nullptr, nullptr, 0, nullptr,
                           OCI_DEFAULT);
        if (r == OCI_SUCCESS)
          r = OCIBindByPos(st, &b2, err, 2, names, 8, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIStmtExecute(svc, st, err, 3, 0, nullptr, nullptr, OCI_DEFAULT);
        return r;
      });
      OCIHandleFree(st, OCI_HTYPE_STMT);
    }

    // A query fetched in a batch.
    st = nullptr;
    if (call("OCIHandleAlloc query",
             [&] { return OCIHandleAlloc(env, reinterpret_cast<void **>(&st), OCI_HTYPE_STMT, 0, nullptr); }) ==
        OCI_SUCCESS) {
      char out[4][21] = {};
      int32_t id[4] = {};
      const char *text = "SELECT i.id, i.name || '/' || (SELECT count(*) FROM item_log) FROM item i ORDER BY i.id";
      call("query", [&] {
        OCIDefine *d1 = nullptr, *d2 = nullptr;
        sword r = OCIStmtPrepare(st, err, reinterpret_cast<const OraText *>(text), static_cast<ub4>(std::strlen(text)),
                                 OCI_NTV_SYNTAX, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIDefineByPos(st, &d1, err, 1, id, sizeof(int32_t), SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIDefineByPos(st, &d2, err, 2, out, 21, SQLT_STR, nullptr, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIStmtFetch(st, err, 4, OCI_FETCH_NEXT, OCI_DEFAULT);
        return r;
      });
      if (!stopped && (id[0] != 1 || std::string(out[2]) != "cap/3"))
        problems.push_back("query gave " + std::to_string(id[0]) + " " + out[2]);
      OCIHandleFree(st, OCI_HTYPE_STMT);
    }

    sql("BEGIN FOR r IN (SELECT name FROM item) LOOP UPDATE item SET name = UPPER(r.name) WHERE name = r.name; "
        "END LOOP; note('done'); END;");
    sql("MERGE INTO item_log l USING (SELECT 'done' w FROM dual) s ON (l.what = s.w) "
        "WHEN NOT MATCHED THEN INSERT VALUES (s.w)");

    // A temporary LOB written and read.
    OCILobLocator *lob = nullptr;
    if (call("OCIDescriptorAlloc lob", [&] {
          return OCIDescriptorAlloc(env, reinterpret_cast<void **>(&lob), OCI_DTYPE_LOB, 0, nullptr);
        }) == OCI_SUCCESS) {
      call("lob", [&] {
        sword r = OCILobCreateTemporary(svc, err, lob, 0, 0, OCI_TEMP_CLOB, 0, OCI_DURATION_SESSION);
        char text[] = "some text for the lob";
        ub4 amount = sizeof text - 1;
        if (r == OCI_SUCCESS) r = OCILobWrite(svc, err, lob, &amount, 1, text, amount, OCI_ONE_PIECE, nullptr, nullptr, 0, 0);
        char back[64] = {};
        amount = 0;
        if (r == OCI_SUCCESS) r = OCILobRead(svc, err, lob, &amount, 1, back, sizeof back, nullptr, nullptr, 0, 0);
        if (r == OCI_SUCCESS) r = OCILobFreeTemporary(svc, err, lob);
        return r;
      });
      OCIDescriptorFree(lob, OCI_DTYPE_LOB);
    }
    call("OCITransCommit", [&] { return OCITransCommit(svc, err, OCI_DEFAULT); });
  }

  void finish() {
    // What the program set up is given back whatever happened.
    if (svc) OCILogoff(svc, err);
    if (env) OCIHandleFree(env, OCI_HTYPE_ENV);
    if (zec_live_handles() != 0) problems.push_back(std::to_string(zec_live_handles()) + " handles left");
  }
};

TEST(ClientAllocation, EveryAllocationFailsInTurn) {
  ASSERT_TRUE(install_sqlite_allocator());
  std::string base = fresh_directory();
  int failures_met = 0;
  long n = 1;
  // FAULT_STRIDE=k fails every k-th allocation only (the sanitizer run,
  // where each run costs more).
  long stride = std::getenv("FAULT_STRIDE") ? std::max(1L, std::atol(std::getenv("FAULT_STRIDE"))) : 1;
  // FAULT_AT=n runs that one failure only, for a debugger.
  const char *only = std::getenv("FAULT_AT");
  if (only) n = std::atol(only);
  // FAULT_FROM=n starts the sweep there.
  if (const char *from = std::getenv("FAULT_FROM")) n = std::atol(from);
  for (;; n += stride) {
    // Each run on a database of its own: a failed run leaves its work behind.
    std::string directory = base + "/run" + std::to_string(n);
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    ASSERT_FALSE(error) << directory;
    set_environment("ZEC_DB_DIR", directory);
    g_failed = false;
    Program run(n);
    run.program();
    g_countdown = -1;
    run.finish();
    std::filesystem::remove_all(directory, error);
    for (const std::string &p : run.problems) ADD_FAILURE() << "allocation " << n << ": " << p;
    if (!run.problems.empty() && g_failed) show_where();
    if (!run.problems.empty() || only) break;
    if (!g_failed) break;  // the whole program ran: every allocation has failed once
    ++failures_met;
    ASSERT_LT(n, 200000) << "the program never completes";
  }
  std::printf("allocations failed in turn: %ld runs, %d failures met\n", n, failures_met);
  if (!only && !std::getenv("FAULT_FROM")) {
    EXPECT_GT(failures_met, 100);  // the program does allocate
  }
  std::error_code error;
  std::filesystem::remove_all(base, error);
}

}  // namespace
}  // namespace zorvan::client_test
