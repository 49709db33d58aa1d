// The embedded client against SQLite itself: a 100,000-row array insert of
// NUMBER, FLOAT, VARCHAR2(20) and DATE, and the fetch of those rows in
// batches of 1,000, once through OCI as an Oracle program writes it and
// once written directly against SQLite's C API (the same journal and sync
// settings, the same values, prepared once and stepped). The target: OCI
// within 1.5x of SQLite.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "direct_sqlite.h"
#include "oci.h"

namespace {

using namespace zorvan::bench;

// ---- Through OCI ----------------------------------------------------------

struct Oci {
  OCIEnv *env = nullptr;
  OCIError *err = nullptr;
  OCISvcCtx *svc = nullptr;

  Oci() {
    setenv("ZEC_DB_DIR", scratch_directory().c_str(), 1);
    check(OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr) == OCI_SUCCESS, "env");
    OCIHandleAlloc(env, reinterpret_cast<void **>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    check(OCILogon(env, err, &svc, reinterpret_cast<const OraText *>("zorvan"), 6,
                   reinterpret_cast<const OraText *>("zorvan"), 6, reinterpret_cast<const OraText *>("oci"), 3) ==
              OCI_SUCCESS,
          "logon");
  }
  ~Oci() {
    OCILogoff(svc, err);
    OCIHandleFree(env, OCI_HTYPE_ENV);
  }
  OCIStmt *prepare(const char *sql) {
    OCIStmt *st = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void **>(&st), OCI_HTYPE_STMT, 0, nullptr);
    check(OCIStmtPrepare(st, err, reinterpret_cast<const OraText *>(sql), static_cast<ub4>(std::strlen(sql)),
                         OCI_NTV_SYNTAX, OCI_DEFAULT) == OCI_SUCCESS,
          sql);
    return st;
  }
  void run(const char *sql) {
    OCIStmt *st = prepare(sql);
    OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(st, OCI_HTYPE_STMT);
  }
  void fresh_table() {
    run("DROP TABLE bench_rows");
    run("CREATE TABLE bench_rows (n NUMBER, f FLOAT, s VARCHAR2(20), d DATE)");
  }
  void insert_all() {
    const Rows &r = rows();
    OCIStmt *st = prepare("INSERT INTO bench_rows (n, f, s, d) VALUES (:n, :f, :s, :d)");
    OCIBind *b = nullptr;
    OCIBindByPos(st, &b, err, 1, const_cast<int32_t *>(r.number.data()), sizeof(int32_t), SQLT_INT, nullptr, nullptr,
                 nullptr, 0, nullptr, OCI_DEFAULT);
    b = nullptr;
    OCIBindByPos(st, &b, err, 2, const_cast<double *>(r.real.data()), sizeof(double), SQLT_FLT, nullptr, nullptr,
                 nullptr, 0, nullptr, OCI_DEFAULT);
    b = nullptr;
    OCIBindByPos(st, &b, err, 3, const_cast<char *>(r.text.data()), kText, SQLT_STR, nullptr, nullptr, nullptr, 0,
                 nullptr, OCI_DEFAULT);
    b = nullptr;
    OCIBindByPos(st, &b, err, 4, const_cast<OCIDate *>(r.date.data()), sizeof(OCIDate), SQLT_ODT, nullptr, nullptr,
                 nullptr, 0, nullptr, OCI_DEFAULT);
    check(OCIStmtExecute(svc, st, err, kRows, 0, nullptr, nullptr, OCI_DEFAULT) == OCI_SUCCESS, "array insert");
    OCIHandleFree(st, OCI_HTYPE_STMT);
    check(OCITransCommit(svc, err, OCI_DEFAULT) == OCI_SUCCESS, "commit");
  }
  ub4 fetch_all() {
    std::vector<int32_t> n(kBatch);
    std::vector<double> f(kBatch);
    std::vector<char> s(kBatch * kText);
    std::vector<OCIDate> d(kBatch);
    std::vector<sb2> ind(kBatch * 4);
    OCIStmt *st = prepare("SELECT n, f, s, d FROM bench_rows");
    OCIDefine *def = nullptr;
    OCIDefineByPos(st, &def, err, 1, n.data(), sizeof(int32_t), SQLT_INT, &ind[0], nullptr, nullptr, OCI_DEFAULT);
    def = nullptr;
    OCIDefineByPos(st, &def, err, 2, f.data(), sizeof(double), SQLT_FLT, &ind[kBatch], nullptr, nullptr, OCI_DEFAULT);
    def = nullptr;
    OCIDefineByPos(st, &def, err, 3, s.data(), kText, SQLT_STR, &ind[2 * kBatch], nullptr, nullptr, OCI_DEFAULT);
    def = nullptr;
    OCIDefineByPos(st, &def, err, 4, d.data(), sizeof(OCIDate), SQLT_ODT, &ind[3 * kBatch], nullptr, nullptr,
                   OCI_DEFAULT);
    check(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT) == OCI_SUCCESS, "query");
    ub4 total = 0;
    for (;;) {
      sword status = OCIStmtFetch(st, err, kBatch, OCI_FETCH_NEXT, OCI_DEFAULT);
      ub4 got = 0;
      OCIAttrGet(st, OCI_HTYPE_STMT, &got, nullptr, OCI_ATTR_ROWS_FETCHED, err);
      total += got;
      benchmark::DoNotOptimize(n.data());
      if (status != OCI_SUCCESS) break;
    }
    OCIHandleFree(st, OCI_HTYPE_STMT);
    return total;
  }
};

ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_ArrayInsert, Oci)->Name("insert/oci"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_ArrayInsert, Direct)->Name("insert/sqlite"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_BatchFetch, Oci)->Name("fetch/oci"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_BatchFetch, Direct)->Name("fetch/sqlite"));

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter({{"insert 100,000 rows (ms, medians): OCI, SQLite", "insert/oci", "insert/sqlite", 1.5},
                          {"fetch 100,000 rows (ms, medians): OCI, SQLite", "fetch/oci", "fetch/sqlite", 1.5}});
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(scratch_directory(), ignored);
  return 0;
}
