// The plug-in's statements, measured side by side with their baselines in
// one run (run from build/linux-i686 with LD_LIBRARY_PATH=embedded-client,
// so the plug-in finds the embedded client):
// - rows: a 100,000-row array insert (a long, a real, a 20-character
//   string, a date) in one execute and its fetch in batches of 1,000,
//   through the host emulator, the plug-in and the embedded client, against
//   the same work written directly with SQLite's C API (target 2x);
// - transfer: the plug-in's own cost per row moving long, real, string and
//   date arrays into bind buffers and out of define buffers, against a
//   plain copy loop of the same bytes (target 3x);
// - pieces: a LONG of 16, 32 and 64 MiB handed to OCI in pieces and
//   received in pieces (OCI's side played here: it takes each piece in
//   place and copies each piece it delivers), against one allocation and
//   copy of the data (linear, target 2x). The host's own copies of the
//   text, in and out, are not the plug-in's and are left out.
#include <cstring>
#include <filesystem>

#include "direct_sqlite.h"
#include "registry/registry.h"
#include "statement/pieces.h"
#include "statement/records.h"
#include "statement/transfer.h"
#include "zorvan_host.h"

extern "C" int32_t __cdecl ZorvanPack(int32_t, void *, int32_t, void *);

namespace {

using namespace zorvan;
using namespace zorvan::bench;
using emu::long_param;
using emu::string_param;
using emu::text_param;
using emu::variable_param;

emu::Param whole(const std::string &name) { return variable_param(name, -1); }
emu::Param none() { return variable_param("no_such_variable", -1); }

// A Zorvan program on the plug-in, in this process.
struct Program {
  emu::Host host{&ZorvanPack};
  int32_t env = 0, err = 0, svc = 0;

  Program() {
    host.initialize(-200);
    host.call(175, {string_param("ZEC_DB_DIR"), string_param(scratch_directory())});
    env = host.call(55, {long_param(0), long_param(OCI_DEFAULT)}).long_at(1);
    err = alloc(OCI_HTYPE_ERROR);
    auto r = host.call(28, {long_param(env), long_param(err), long_param(0), string_param("zorvan"),
                            string_param("zorvan"), string_param("plugin")});
    check(r.result == OCI_SUCCESS, "logon through the plug-in (is LD_LIBRARY_PATH set?)");
    svc = r.long_at(3);
  }
  ~Program() {
    host.call(29, {long_param(svc), long_param(err)});
    host.event(-2);
  }
  int32_t alloc(int32_t type) { return host.call(53, {long_param(env), long_param(0), long_param(type)}).long_at(2); }
  int32_t prepare(const std::string &sql) {
    int32_t st = alloc(OCI_HTYPE_STMT);
    host.call(16, {long_param(st), long_param(err), text_param(sql), long_param(OCI_DEFAULT)});
    return st;
  }
  int32_t execute(int32_t st, int32_t iters) {
    return host.call(19, {long_param(svc), long_param(st), long_param(err), long_param(iters), long_param(0),
                          long_param(0), long_param(0), long_param(OCI_DEFAULT)})
        .result;
  }
  void bind(int32_t st, int32_t position, const emu::Param &value, int32_t dty, int32_t mode = OCI_DEFAULT) {
    auto r = host.call(63, {long_param(st), long_param(0), long_param(err), long_param(position), value,
                            long_param(dty), none(), none(), none(), long_param(mode), long_param(0)});
    check(r.result == OCI_SUCCESS, "bind");
  }
  void define(int32_t st, int32_t position, const emu::Param &value, int32_t dty, int32_t mode = OCI_DEFAULT) {
    auto r = host.call(61, {long_param(st), long_param(0), long_param(err), long_param(position), value,
                            long_param(dty), none(), none(), none(), long_param(mode)});
    check(r.result == OCI_SUCCESS, "define");
  }
  void free(int32_t st) { host.call(52, {long_param(st)}); }
  void run(const std::string &sql) {
    int32_t st = prepare(sql);
    execute(st, 1);
    free(st);
  }
  RegistryNode &node(int32_t st) {
    RegistryNode *n = nullptr;
    registry_find(static_cast<uint32_t>(st), &n);
    check(n != nullptr, "statement node");
    return *n;
  }
};

// ---- Rows through the plug-in ------------------------------------------------

struct Plugin {
  Program p;
  Plugin() {
    const Rows &r = rows();
    std::vector<int32_t> n(kRows + 1);
    std::vector<double> f(kRows + 1);
    std::vector<std::string> s(kRows + 1);
    std::vector<std::array<int16_t, 3>> d(kRows + 1);
    for (ub4 i = 0; i < kRows; ++i) {
      n[i + 1] = r.number[i];
      f[i + 1] = r.real[i];
      s[i + 1] = &r.text[i * kText];
      d[i + 1] = {r.date[i].OCIDateDD, r.date[i].OCIDateMM, r.date[i].OCIDateYYYY};
    }
    p.host.set_long_array("n", n);
    p.host.set_real_array("f", f);
    p.host.set_text_array("s", s);
    p.host.set_date_array("d", d);
    p.host.set_long_array("on", std::vector<int32_t>(kBatch + 1));
    p.host.set_real_array("of", std::vector<double>(kBatch + 1));
    p.host.set_text_array("os", std::vector<std::string>(kBatch + 1));
    p.host.set_date_array("od", std::vector<std::array<int16_t, 3>>(kBatch + 1));
  }
  void fresh_table() {
    p.run("BEGIN EXECUTE IMMEDIATE 'DROP TABLE bench_rows'; EXCEPTION WHEN OTHERS THEN NULL; END;");
    p.run("CREATE TABLE bench_rows (n NUMBER, f FLOAT, s VARCHAR2(20), d DATE)");
  }
  void insert_all() {
    int32_t st = p.prepare("INSERT INTO bench_rows (n, f, s, d) VALUES (:n, :f, :s, :d)");
    p.bind(st, 1, whole("n"), SQLT_INT);
    p.bind(st, 2, whole("f"), SQLT_FLT);
    p.bind(st, 3, whole("s"), SQLT_STR);
    p.bind(st, 4, whole("d"), SQLT_ODT);
    check(p.execute(st, kRows) == OCI_SUCCESS, "array insert");
    p.free(st);
    check(p.host.call(15, {long_param(p.svc), long_param(p.err), long_param(0)}).result == OCI_SUCCESS, "commit");
  }
  ub4 fetch_all() {
    int32_t st = p.prepare("SELECT n, f, s, d FROM bench_rows");
    p.define(st, 1, whole("on"), SQLT_INT);
    p.define(st, 2, whole("of"), SQLT_FLT);
    p.define(st, 3, whole("os"), SQLT_STR);
    p.define(st, 4, whole("od"), SQLT_ODT);
    check(p.execute(st, 0) == OCI_SUCCESS, "query");
    while (p.host.call(18, {long_param(st), long_param(p.err), long_param(kBatch)}).result == OCI_SUCCESS) {
    }
    auto count = p.host.call(67, {long_param(st), long_param(0), long_param(OCI_ATTR_ROW_COUNT), long_param(p.err)});
    auto total = static_cast<ub4>(count.long_at(2));
    p.free(st);
    return total;
  }
};

// ---- The transfers alone ------------------------------------------------------

constexpr int32_t kTransferRows = 1000;

// One statement with one 1,000-row array bound and one defined, of a type.
struct Transfer {
  Program p;
  int32_t st = 0;
  int32_t dty;
  std::vector<int32_t> longs;
  std::vector<double> reals;
  std::vector<std::string> texts;
  std::vector<std::array<int16_t, 3>> dates;

  explicit Transfer(int kind) : dty(kind == 0 ? SQLT_INT : kind == 1 ? SQLT_FLT : kind == 2 ? SQLT_STR : SQLT_ODT) {
    size_t n = kTransferRows + 1;
    if (kind == 0) longs.assign(n, 123456), p.host.set_long_array("v", longs);
    if (kind == 1) reals.assign(n, 1.25), p.host.set_real_array("v", reals);
    if (kind == 2) texts.assign(n, "twenty characters..."), p.host.set_text_array("v", texts);
    if (kind == 3) dates.assign(n, {9, 12, 2026}), p.host.set_date_array("v", dates);
    st = p.prepare("SELECT :1 FROM dual");
    p.bind(st, 1, whole("v"), dty);
    p.define(st, 1, whole("v"), dty);
  }
  // The plain copy of the same bytes, into a buffer of the same layout.
  size_t plain_in(std::vector<uint8_t> &buffer) const {
    uint8_t *b = buffer.data();
    for (int32_t i = 0; i < kTransferRows; ++i) {
      size_t k = static_cast<size_t>(i) + 1;
      if (!longs.empty()) std::memcpy(b + 4 * i, &longs[k], 4);
      if (!reals.empty()) std::memcpy(b + 8 * i, &reals[k], 8);
      if (!texts.empty()) std::memcpy(b + 4000 * static_cast<size_t>(i), texts[k].c_str(), texts[k].size() + 1);
      if (!dates.empty()) std::memcpy(b + 8 * i, dates[k].data(), 4);
    }
    return buffer.size();
  }
  void plain_out(const std::vector<uint8_t> &buffer) {
    const uint8_t *b = buffer.data();
    for (int32_t i = 0; i < kTransferRows; ++i) {
      size_t k = static_cast<size_t>(i) + 1;
      if (!longs.empty()) std::memcpy(&longs[k], b + 4 * i, 4);
      if (!reals.empty()) std::memcpy(&reals[k], b + 8 * i, 8);
      if (!texts.empty()) texts[k].assign(reinterpret_cast<const char *>(b + 4002 * static_cast<size_t>(i)));
      if (!dates.empty()) std::memcpy(dates[k].data(), b + 8 * i, 4);
    }
  }
};

const char *const kTransferNames[] = {"long", "real", "string", "date"};

void BM_TransferPlugin(benchmark::State &state) {
  Transfer t(static_cast<int>(state.range(0)));
  RegistryNode &node = t.p.node(t.st);
  for (auto _ : state) {
    transfer_bind_inputs(node);
    transfer_define_outputs(node);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kTransferRows);
}

void BM_TransferPlain(benchmark::State &state) {
  Transfer t(static_cast<int>(state.range(0)));
  std::vector<uint8_t> buffer(4002 * kTransferRows, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.plain_in(buffer));
    t.plain_out(buffer);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kTransferRows);
}

// ---- Pieces -------------------------------------------------------------------

// A LONG of the given size bound in pieces and defined in pieces; OCI's side
// of the callbacks is played here, taking each piece in place and copying
// each piece it delivers.
struct Pieces {
  Program p;
  int32_t st = 0;
  std::string value;
  explicit Pieces(size_t size) : value(size, 'z') {
    p.host.set_text_limit(static_cast<uint32_t>(size) + 1);
    p.host.set_text("in", value);
    p.host.set_text("out", "");
    reset();
  }
  // A fresh statement: the define starts from its first buffer, as a new
  // one does, so every run pays for the buffer's growth.
  void reset() {
    if (st != 0) p.free(st);
    st = p.prepare("SELECT :1 FROM dual");
    p.bind(st, 1, variable_param("in", -1), SQLT_LNG, OCI_DATA_AT_EXEC);
    p.define(st, 1, variable_param("out", -1), SQLT_LNG, OCI_DYNAMIC_FETCH);
    transfer_bind_inputs(p.node(st));
  }
  void run() {
    RegistryNode &node = p.node(st);
    BindRecord &b = *node.binds;
    DefineRecord &d = *node.defines;
    // Every piece of the bind (the host's text was placed by the input
    // transfer once, in the constructor: that copy is the host's work).
    b.bytes_remaining = b.value_length;
    size_t sent = 0;
    for (ub1 piece = OCI_FIRST_PIECE;;) {
      void *buffer = nullptr;
      ub4 length = 0;
      void *indicator = nullptr;
      dynamic_bind_callback(nullptr, zorvan_handle<OCIBind>(b.bind_handle), 0, 0, &buffer, &length, &piece,
                            &indicator);
      sent += length;
      if (piece == OCI_LAST_PIECE) break;
      piece = OCI_NEXT_PIECE;
    }
    check(sent == value.size(), "every byte sent");
    // A fetch: the define's pieces filled as OCI fills them, then its output transfer.
    clear_define_buffers(node);
    size_t given = 0;
    for (ub1 piece = OCI_FIRST_PIECE;; piece = OCI_NEXT_PIECE) {
      void *buffer = nullptr;
      ub4 *length = nullptr;
      void *indicator = nullptr;
      ub2 *rcode = nullptr;
      dynamic_define_callback(nullptr, zorvan_handle<OCIDefine>(d.define_handle), 0, &buffer, &length, &piece,
                              &indicator, &rcode);
      size_t n = std::min<size_t>(*length, value.size() - given);
      std::memcpy(buffer, value.data() + given, n);
      *length = static_cast<ub4>(n);
      given += n;
      if (given == value.size()) break;
    }
    check(given == value.size(), "every byte received");
  }
  template <class T>
  static T *zorvan_handle(uint32_t word) {
    return reinterpret_cast<T *>(static_cast<uintptr_t>(word));
  }
};

void BM_PiecesPlugin(benchmark::State &state) {
  Pieces pieces(static_cast<size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    state.PauseTiming();
    pieces.reset();
    state.ResumeTiming();
    pieces.run();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (state.range(0) << 20));
}

void BM_PiecesCopy(benchmark::State &state) {
  std::string value(static_cast<size_t>(state.range(0)) << 20, 'z');
  for (auto _ : state) {
    auto *copy = static_cast<char *>(std::malloc(value.size()));
    std::memcpy(copy, value.data(), value.size());
    benchmark::DoNotOptimize(copy);
    std::free(copy);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (state.range(0) << 20));
}

ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_ArrayInsert, Plugin)->Name("rows/insert/plugin"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_ArrayInsert, Direct)->Name("rows/insert/sqlite"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_BatchFetch, Plugin)->Name("rows/fetch/plugin"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK_TEMPLATE(BM_BatchFetch, Direct)->Name("rows/fetch/sqlite"));
ZORVAN_SIDE_BY_SIDE(BENCHMARK(BM_TransferPlugin)->Name("transfer/plugin")->DenseRange(0, 3));
ZORVAN_SIDE_BY_SIDE(BENCHMARK(BM_TransferPlain)->Name("transfer/plain")->DenseRange(0, 3));
ZORVAN_SIDE_BY_SIDE(BENCHMARK(BM_PiecesPlugin)->Name("pieces/plugin")->Arg(16)->Arg(32)->Arg(64));
ZORVAN_SIDE_BY_SIDE(BENCHMARK(BM_PiecesCopy)->Name("pieces/copy")->Arg(16)->Arg(32)->Arg(64));

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  std::vector<RatioReporter::Pair> pairs = {
      {"insert 100,000 rows (ms): plug-in, SQLite", "rows/insert/plugin", "rows/insert/sqlite", 2},
      {"fetch 100,000 rows (ms): plug-in, SQLite", "rows/fetch/plugin", "rows/fetch/sqlite", 2}};
  for (int k = 0; k < 4; ++k)
    pairs.push_back({std::string("transfer 1,000 ") + kTransferNames[k] + " rows in and out (ms)",
                     "transfer/plugin/" + std::to_string(k), "transfer/plain/" + std::to_string(k), 3});
  for (int mib : {16, 32, 64})
    pairs.push_back({"LONG of " + std::to_string(mib) + " MiB in pieces (ms): plug-in, one copy",
                     "pieces/plugin/" + std::to_string(mib), "pieces/copy/" + std::to_string(mib), 2});
  RatioReporter reporter(pairs);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(scratch_directory(), ignored);
  return 0;
}
