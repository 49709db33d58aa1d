// The same rows written and read directly with SQLite's C API, the
// measure the benchmarks set the client and the plug-in beside.
#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "oci.h"

namespace zorvan::bench {

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

inline const Rows &rows() {
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

inline std::string scratch_directory() {
  static std::string dir = [] {
    char name[] = "/tmp/zorvan-bench-XXXXXX";
    return std::string(mkdtemp(name) ? name : "/tmp");
  }();
  return dir;
}

inline void check(bool ok, const char *what) {
  if (!ok) {
    std::fprintf(stderr, "benchmark setup failed: %s\n", what);
    std::exit(1);
  }
}

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

// The two measures every side offers: a fresh table filled by one array
// insert (the table's making is not timed), and every row fetched in batches.
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

// Prints the usual table, then for each pair of benchmarks the ratio of
// their medians (run them with Repetitions and ReportAggregatesOnly).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  struct Pair {
    std::string label, measured, baseline;
    double target;
  };
  explicit RatioReporter(std::vector<Pair> pairs) : pairs_(std::move(pairs)) {}
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs)
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        time_[run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
            run.GetAdjustedRealTime();
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const Pair &p : pairs_) {
      double measured = time_[p.measured];
      double baseline = time_[p.baseline];
      if (measured <= 0 || baseline <= 0) continue;
      std::printf("%-44s %10.3f against %10.3f: %.2fx", p.label.c_str(), measured, baseline, measured / baseline);
      if (p.target > 0) std::printf(" (target %.1fx)", p.target);
      std::printf("\n");
    }
  }

 private:
  std::vector<Pair> pairs_;
  std::map<std::string, double> time_;
};

// Medians of five runs each, so that one slow disk flush does not make the figure.
#define ZORVAN_SIDE_BY_SIDE(...) \
  __VA_ARGS__->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5)->ReportAggregatesOnly(true)

}  // namespace zorvan::bench
