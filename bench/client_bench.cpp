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

#include "oci.h"

namespace {

constexpr ub4 kRows = 100000;
constexpr ub4 kBatch = 1000;
constexpr size_t kText = 21;

// The rows both sides insert: the same values in the forms each takes.
struct Rows {
  std::vector<int32_t> number;
  std::vector<double> real;
  std::vector<char> text;  // kText bytes a row, NUL-terminated
  std::vector<OCIDate> date;
  std::vector<int64_t> seconds;  // the same dates, as seconds for SQLite
};

const Rows &rows() {
  static Rows r = [] {
    Rows r;
    r.number.resize(kRows);
    r.real.resize(kRows);
    r.text.resize(kRows * kText);
    r.date.resize(kRows);
    r.seconds.resize(kRows);
    for (ub4 i = 0; i < kRows; ++i) {
      r.number[i] = static_cast<int32_t>(i * 7 + 1);
      r.real[i] = i * 0.25 + 0.125;
      std::snprintf(&r.text[i * kText], kText, "name %u", i);
      OCIDate &d = r.date[i];
      std::memset(&d, 0, sizeof d);
      d.OCIDateYYYY = static_cast<sb2>(2000 + i % 20);
      d.OCIDateMM = static_cast<ub1>(1 + i % 12);
      d.OCIDateDD = static_cast<ub1>(1 + i % 28);
      d.OCIDateTime.OCITimeHH = static_cast<ub1>(i % 24);
      d.OCIDateTime.OCITimeMI = static_cast<ub1>(i % 60);
      d.OCIDateTime.OCITimeSS = static_cast<ub1>(i % 60);
      r.seconds[i] = 946684800LL + i * 86400LL;
    }
    return r;
  }();
  return r;
}

std::string scratch_directory() {
  static std::string dir = [] {
    char name[] = "/tmp/zorvan-bench-XXXXXX";
    return std::string(mkdtemp(name) ? name : "/tmp");
  }();
  return dir;
}

void check(bool ok, const char *what) {
  if (!ok) {
    std::fprintf(stderr, "benchmark setup failed: %s\n", what);
    std::exit(1);
  }
}

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

// ---- Directly on SQLite -----------------------------------------------------

struct Direct {
  sqlite3 *db = nullptr;

  Direct() {
    std::string path = scratch_directory() + "/direct.db";
    check(sqlite3_open(path.c_str(), &db) == SQLITE_OK, "open");
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
  }
  ~Direct() { sqlite3_close(db); }
  void fresh_table() {
    sqlite3_exec(db, "DROP TABLE IF EXISTS bench_rows; CREATE TABLE bench_rows (n NUMERIC, f REAL, s TEXT, d INTEGER)",
                 nullptr, nullptr, nullptr);
  }
  void insert_all() {
    const Rows &r = rows();
    sqlite3_stmt *st = nullptr;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO bench_rows (n, f, s, d) VALUES (?, ?, ?, ?)", -1, &st, nullptr);
    for (ub4 i = 0; i < kRows; ++i) {
      sqlite3_bind_int(st, 1, r.number[i]);
      sqlite3_bind_double(st, 2, r.real[i]);
      sqlite3_bind_text(st, 3, &r.text[i * kText], -1, SQLITE_STATIC);
      sqlite3_bind_int64(st, 4, r.seconds[i]);
      check(sqlite3_step(st) == SQLITE_DONE, "insert");
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK, "commit");
  }
  ub4 fetch_all() {
    std::vector<int32_t> n(kBatch);
    std::vector<double> f(kBatch);
    std::vector<char> s(kBatch * kText);
    std::vector<int64_t> d(kBatch);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT n, f, s, d FROM bench_rows", -1, &st, nullptr);
    ub4 total = 0;
    ub4 in_batch = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      n[in_batch] = sqlite3_column_int(st, 0);
      f[in_batch] = sqlite3_column_double(st, 1);
      const unsigned char *text = sqlite3_column_text(st, 2);
      std::snprintf(&s[in_batch * kText], kText, "%s", text ? reinterpret_cast<const char *>(text) : "");
      d[in_batch] = sqlite3_column_int64(st, 3);
      if (++in_batch == kBatch) {
        benchmark::DoNotOptimize(n.data());
        total += in_batch;
        in_batch = 0;
      }
    }
    total += in_batch;
    sqlite3_finalize(st);
    return total;
  }
};

template <class Side>
void BM_ArrayInsert(benchmark::State &state) {
  Side side;
  for (auto _ : state) {
    state.PauseTiming();
    side.fresh_table();
    state.ResumeTiming();
    side.insert_all();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRows);
}

template <class Side>
void BM_BatchFetch(benchmark::State &state) {
  Side side;
  side.fresh_table();
  side.insert_all();
  for (auto _ : state) check(side.fetch_all() == kRows, "every row fetched");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRows);
}

// Medians of five runs each, so that one slow disk flush does not make the figure.
#define ZORVAN_SIDE_BY_SIDE(...) \
  __VA_ARGS__->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5)->ReportAggregatesOnly(true)
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_ArrayInsert, Oci)->Name("insert/oci"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_ArrayInsert, Direct)->Name("insert/sqlite"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_BatchFetch, Oci)->Name("fetch/oci"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_BatchFetch, Direct)->Name("fetch/sqlite"));

// Prints the usual table, then each OCI figure against SQLite's.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs)
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        time_[run.run_name.function_name] = run.GetAdjustedRealTime();
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char *work : {"insert", "fetch"}) {
      double oci = time_[std::string(work) + "/oci"];
      double direct = time_[std::string(work) + "/sqlite"];
      if (oci <= 0 || direct <= 0) continue;
      std::printf("%-6s 100,000 rows, medians: OCI %8.1f ms, SQLite %8.1f ms: %.2fx (target 1.5x)\n", work, oci, direct,
                  oci / direct);
    }
  }

 private:
  std::map<std::string, double> time_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(scratch_directory(), ignored);
  return 0;
}
