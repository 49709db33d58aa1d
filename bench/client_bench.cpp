// The embedded client against SQLite itself: a 100,000-row array insert of
// NUMBER, FLOAT, VARCHAR2(20) and DATE, and the fetch of those rows in
// batches of 1,000, once through OCI as an Oracle program writes it and
// once written directly against SQLite's C API (the same journal and sync
// settings, the same values, prepared once and stepped). The target: OCI
// within 1.5x of SQLite. Then 32 and 64 MiB BLOBs written and read, set
// beside one copy of their bytes. And a 10,000-row population script in
// anonymous blocks beside the same INSERTs sent one by one (target: 2x).
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

// ---- LOBs ------------------------------------------------------------------

// A temporary BLOB of `mib` MiB written in one piece, and read back in
// polling mode through a 1 MiB buffer; beside them, one copy of the same
// bytes into a new buffer. Linear means the 64 MiB figure is twice the
// 32 MiB one.
std::string lob_bytes(size_t mib) {
  std::string bytes(mib << 20, '\0');
  for (size_t i = 0; i < bytes.size(); i += 4096) bytes[i] = static_cast<char>(i >> 12);
  return bytes;
}

OCILobLocator *temporary_blob(Oci &oci) {
  OCILobLocator *lob = nullptr;
  OCIDescriptorAlloc(oci.env, reinterpret_cast<void **>(&lob), OCI_DTYPE_LOB, 0, nullptr);
  check(OCILobCreateTemporary(oci.svc, oci.err, lob, 0, 0, OCI_TEMP_BLOB, 0, OCI_DURATION_SESSION) == OCI_SUCCESS,
        "temporary");
  return lob;
}

void write_whole(Oci &oci, OCILobLocator *lob, std::string &bytes) {
  ub4 amount = static_cast<ub4>(bytes.size());
  check(OCILobWrite(oci.svc, oci.err, lob, &amount, 1, bytes.data(), amount, OCI_ONE_PIECE, nullptr, nullptr, 0, 0) ==
            OCI_SUCCESS,
        "write");
}

void BM_LobWrite(benchmark::State &state) {
  Oci oci;
  std::string bytes = lob_bytes(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    OCILobLocator *lob = temporary_blob(oci);
    write_whole(oci, lob, bytes);
    OCILobFreeTemporary(oci.svc, oci.err, lob);
    OCIDescriptorFree(lob, OCI_DTYPE_LOB);
  }
}

void BM_LobRead(benchmark::State &state) {
  Oci oci;
  std::string bytes = lob_bytes(static_cast<size_t>(state.range(0)));
  OCILobLocator *lob = temporary_blob(oci);
  write_whole(oci, lob, bytes);
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    size_t total = 0;
    ub4 amount = 0;
    sword status;
    do {
      status = OCILobRead(oci.svc, oci.err, lob, &amount, 1, buffer.data(), static_cast<ub4>(buffer.size()), nullptr,
                          nullptr, 0, 0);
      total += amount;
    } while (status == OCI_NEED_DATA);
    check(status == OCI_SUCCESS && total == bytes.size(), "read");
  }
  OCIDescriptorFree(lob, OCI_DTYPE_LOB);
}

void BM_Copy(benchmark::State &state) {
  std::string bytes = lob_bytes(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    std::string copy(bytes);
    benchmark::DoNotOptimize(copy.data());
  }
}

ZORVAN_SIDE_BY_SIDE(BENCHMARK(BM_LobWrite)->Name("lob/write")->Arg(32)->Arg(64));
ZORVAN_SIDE_BY_SIDE(BENCHMARK(BM_LobRead)->Name("lob/read")->Arg(32)->Arg(64));
ZORVAN_SIDE_BY_SIDE(BENCHMARK(BM_Copy)->Name("lob/copy")->Arg(64));

// ---- A population script ---------------------------------------------------

// 10,000 INSERTs of literal rows, as install scripts write them: sent one
// by one, and the same statements in anonymous blocks of 100.
constexpr int kScriptRows = 10000;
constexpr int kBlockRows = 100;

std::string insert_text(int i) {
  char text[160];
  std::snprintf(text, sizeof text,
                "INSERT INTO people (id, name, born, salary) VALUES (%d, 'person %d', "
                "TO_DATE('%04d-%02d-%02d', 'YYYY-MM-DD'), %d.%02d)",
                i, i, 1950 + i % 50, 1 + i % 12, 1 + i % 28, 1000 + i % 9000, i % 100);
  return text;
}

void fresh_people(Oci &oci) {
  oci.run("DROP TABLE people");
  oci.run("CREATE TABLE people (id NUMBER(6) CONSTRAINT people_pk PRIMARY KEY, name VARCHAR2(30) NOT NULL, "
          "born DATE, salary NUMBER(8,2) CHECK (salary > 0))");
}

// Runs the statements into a fresh table, each prepared and executed once,
// then commits; the table's making is not timed.
void populate(benchmark::State &state, const std::vector<std::string> &statements) {
  Oci oci;
  for (auto _ : state) {
    state.PauseTiming();
    fresh_people(oci);
    state.ResumeTiming();
    for (const std::string &sql : statements) {
      OCIStmt *st = oci.prepare(sql.c_str());
      check(OCIStmtExecute(oci.svc, st, oci.err, 1, 0, nullptr, nullptr, OCI_DEFAULT) == OCI_SUCCESS, sql.c_str());
      OCIHandleFree(st, OCI_HTYPE_STMT);
    }
    check(OCITransCommit(oci.svc, oci.err, OCI_DEFAULT) == OCI_SUCCESS, "commit");
  }
}

void BM_PopulateOneByOne(benchmark::State &state) {
  std::vector<std::string> statements;
  for (int i = 0; i < kScriptRows; ++i) statements.push_back(insert_text(i));
  populate(state, statements);
}

void BM_PopulateBlocks(benchmark::State &state) {
  std::vector<std::string> blocks;
  for (int b = 0; b < kScriptRows / kBlockRows; ++b) {
    std::string block = "BEGIN\n";
    for (int i = b * kBlockRows; i < (b + 1) * kBlockRows; ++i) block += "  " + insert_text(i) + ";\n";
    blocks.push_back(block + "END;");
  }
  populate(state, blocks);
}

ZORVAN_SIDE_BY_SIDE(BENCHMARK(BM_PopulateBlocks)->Name("script/blocks"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK(BM_PopulateOneByOne)->Name("script/one-by-one"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_ArrayInsert, Oci)->Name("insert/oci"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_ArrayInsert, Direct)->Name("insert/sqlite"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_BatchFetch, Oci)->Name("fetch/oci"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_BatchFetch, Direct)->Name("fetch/sqlite"));

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter({{"insert 100,000 rows (ms, medians): OCI, SQLite", "insert/oci", "insert/sqlite", 1.5},
                          {"fetch 100,000 rows (ms, medians): OCI, SQLite", "fetch/oci", "fetch/sqlite", 1.5},
                          {"LOB write: 64 MiB, 32 MiB (linear: 2x)", "lob/write/64", "lob/write/32", 2.0},
                          {"LOB read: 64 MiB, 32 MiB (linear: 2x)", "lob/read/64", "lob/read/32", 2.0},
                          {"LOB write 64 MiB: OCI, one copy", "lob/write/64", "lob/copy/64", 0},
                          {"LOB read 64 MiB: OCI, one copy", "lob/read/64", "lob/copy/64", 0},
                          {"10,000-row script: in blocks of 100, one by one", "script/blocks",
                           "script/one-by-one", 2.0}});
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(scratch_directory(), ignored);
  return 0;
}
