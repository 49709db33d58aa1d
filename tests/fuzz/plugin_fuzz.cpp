// libFuzzer target: the input becomes a stream of commands through
// ZorvanPack, each with parameters of the kinds its row of the command table
// gives and values taken from the input: handles both real (every long a
// command handed back) and invented, texts near and past every limit,
// variables of every kind and size (missing ones and element references out
// of range included), events -1 and -2 mid-stream, and the embedded client
// told to answer a chosen call with a chosen status. Any crash, sanitizer
// report or exception is a finding.
//   bash scripts/fuzz.sh [seconds]
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "entry/command_table.h"
#include "zec_control.h"
#include "zorvan_host.h"

extern "C" int32_t __cdecl ZorvanPack(int32_t, void *, int32_t, void *);

namespace {

using namespace zorvan;

struct Input {
  const uint8_t *data;
  size_t size;
  size_t at = 0;
  bool more() const { return at < size; }
  uint8_t byte() { return at < size ? data[at++] : 0; }
  uint16_t u16() { return static_cast<uint16_t>(byte() | (byte() << 8)); }
  int32_t i32() { return static_cast<int32_t>(u16() | (static_cast<uint32_t>(u16()) << 16)); }
  std::string bytes(size_t n) {
    std::string s;
    while (s.size() < n && more()) s += static_cast<char>(byte());
    return s;
  }
};

const char *const kSql[] = {
    "CREATE TABLE t (n NUMBER, s VARCHAR2(20), d DATE, l LONG)",
    "CREATE TABLE b (n NUMBER, c CLOB, r BLOB)",
    "INSERT INTO t VALUES (:1, :2, :3, :4)",
    "INSERT INTO b VALUES (:n, EMPTY_CLOB(), EMPTY_BLOB())",
    "SELECT n, s, d, l FROM t ORDER BY n",
    "SELECT c, r FROM b FOR UPDATE",
    "SELECT :a, :b, :a FROM dual",
    "BEGIN :x := :y * 2; END;",
    "UPDATE t SET s = :s WHERE n = :n RETURNING s INTO :o",
    "DELETE FROM t",
    "SELECT * FROM no_such_table",
    "COMMIT",
};

const char *const kScripted[] = {"OCIStmtExecute", "OCIStmtFetch", "OCIBindByPos", "OCIDefineByPos",
                                 "OCIAttrGet",     "OCILobRead",   "OCILobGetLength", "OCIHandleAlloc",
                                 "OCILogon",       "OCIParamGet",  "OCIStmtGetBindInfo"};

// Out-parameters through which OCI tells the plug-in a size, a count or an
// index: the client is made to answer them with hostile values.
struct Hostile {
  const char *function;
  int argument;
  int size;
};
const Hostile kHostile[] = {
    {"OCILobRead", 3, 4},          {"OCILobGetLength", 3, 4},     {"OCILobGetChunkSize", 3, 4},
    {"OCIRefToHex", 4, 4},         {"OCIAttrGet", 3, 4},          {"OCICollSize", 3, 4},
    {"OCIStmtGetPieceInfo", 3, 4}, {"OCIStmtGetPieceInfo", 4, 1}, {"OCIStmtGetPieceInfo", 5, 4},
    {"OCIStmtGetPieceInfo", 6, 4}, {"OCIStmtGetPieceInfo", 7, 1}, {"OCIStmtGetBindInfo", 4, 4},
    {"OCITableNext", 4, 4},        {"OCITableNext", 5, 4},        {"OCIIterNext", 5, 4},
    {"OCILobCharSetId", 3, 2},     {"OCIServerVersion", 2, 4},    {"OCINumberToText", 6, 4},
};
const uint32_t kHostileValues[] = {0, 1, 2, 0x7fffffffu, 0xffffffffu, 0x80000000u, 4000, 4001, 65536};

template <class Fn>
Fn client_function(const char *name) {
  static void *client = dlopen("libclntsh.so", RTLD_NOW);
  return client ? reinterpret_cast<Fn>(dlsym(client, name)) : nullptr;
}

std::string text_for(Input &in, const std::string &name) {
  uint8_t pick = in.byte();
  if (name == "user" || name == "password") return pick % 8 ? "zorvan" : in.bytes(pick % 40);
  if (name == "sql") return pick % 8 ? kSql[pick % std::size(kSql)] : in.bytes(pick);
  if (name == "name" && pick % 2) return pick % 4 ? ":1" : ":a";
  switch (pick % 4) {
    case 0: return "";
    case 1: return in.bytes(pick % 16);
    case 2: return std::string(250 + pick % 20, 'x');  // near and past 255
    default: return std::string(pick * 40u, 'y');      // long texts
  }
}

// Host variables the commands can name: every kind, sizes from empty to large.
void make_variables(emu::Host &host, Input &in) {
  int n = in.byte() % 12;
  for (int i = 0; i < n; ++i) {
    std::string name = "v" + std::to_string(i);
    uint8_t kind = in.byte();
    size_t count = static_cast<size_t>(in.byte() % 4 == 0 ? in.u16() % 3000 : in.byte() % 8);
    switch (kind % 9) {
      case 0: host.set_long(name, in.i32()); break;
      case 1: host.set_real(name, static_cast<double>(in.i32()) / 7.0); break;
      case 2: host.set_text(name, text_for(in, name)); break;
      case 3: host.set_date(name, static_cast<int16_t>(in.u16()), static_cast<int16_t>(in.byte()), static_cast<int16_t>(in.u16())); break;
      case 4: host.set_long_array(name, std::vector<int32_t>(count, in.i32())); break;
      case 5: host.set_real_array(name, std::vector<double>(count, 1.5)); break;
      case 6: host.set_text_array(name, std::vector<std::string>(count, text_for(in, name))); break;
      case 7: host.set_string_array(name, std::vector<std::string>(count, "s"), static_cast<uint16_t>(in.byte())); break;
      default: host.set_blob(name, in.bytes(in.byte())); break;
    }
  }
}

emu::Param param_for(Input &in, const std::string &described, std::vector<int32_t> &pool) {
  std::string name = described.substr(0, described.find(':'));
  std::string kind = described.substr(described.find(':') + 1);
  kind = kind.substr(0, kind.find(':'));
  uint8_t pick = in.byte();
  if (kind == "real") return emu::real_param(static_cast<double>(in.i32()) / 100.0);
  if (kind == "date") return emu::date_param(static_cast<int16_t>(in.u16()), static_cast<int16_t>(in.byte()), static_cast<int16_t>(in.u16()));
  if (kind == "string") return emu::string_param(text_for(in, name));
  if (kind == "text") return emu::text_param(text_for(in, name));
  if (kind == "blob") return pick % 4 ? emu::blob_param(in.bytes(pick)) : emu::blob_handle_param(0);
  if (kind == "variable") {
    int32_t element = pick % 4 == 0 ? in.i32() : (pick % 4 == 1 ? -1 : pick % 5);
    return emu::variable_param("v" + std::to_string(in.byte() % 14), element);
  }
  // Longs: a handle seen before, a small number, or anything.
  switch (pick % 4) {
    case 0: case 1: return emu::long_param(pool.empty() ? 0 : pool[in.byte() % pool.size()]);
    case 2: return emu::long_param(static_cast<int8_t>(in.byte()));
    default: return emu::long_param(in.i32());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  std::string dir = "/tmp/zorvan-fuzz-" + std::to_string(getpid());
  mkdir(dir.c_str(), 0700);
  setenv("ZEC_DB_DIR", dir.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static auto script = client_function<ZecScriptFn>("zec_script");
  static auto script_out = client_function<ZecScriptOutFn>("zec_script_out");
  static auto piece_length = client_function<ZecScriptPieceLengthFn>("zec_script_piece_length");
  static auto reset = client_function<ZecResetFn>("zec_reset");
  static auto free_handles = client_function<ZecTestFreeHandlesFn>("zectest_free_handles");
  Input in{data, size};
  emu::Host host(&ZorvanPack);
  host.initialize();
  host.set_text_limit(1u << 16);
  make_variables(host, in);
  if (in.byte() % 2) {
    host.add_method("OnError");
    host.call(105, {emu::string_param("OnError")});
  }
  std::vector<int32_t> pool = {0, 1, -1};
  auto rows = command_rows();
  for (int step = 0; step < 48 && in.more(); ++step) {
    uint8_t op = in.byte();
    if (op < 4) {
      // Event -1 abandons the registry's records on purpose; the fuzzer
      // frees them first with -2, so that its memory stays bounded.
      host.event(-2);
      if (op < 2) host.event(-1);
      continue;
    }
    if (op == 16 && piece_length) {
      piece_length(in.byte() % 2 ? kHostileValues[in.byte() % std::size(kHostileValues)] : in.u16());
      continue;
    }
    if (op < 16 && op >= 10 && script_out) {
      const Hostile &h = kHostile[in.byte() % std::size(kHostile)];
      uint8_t which = in.byte();
      uint32_t value = which % 2 ? kHostileValues[which / 2 % std::size(kHostileValues)] : static_cast<uint32_t>(in.i32());
      script_out(h.function, h.argument, value, h.size);
      continue;
    }
    if (op < 10 && script && reset) {
      script(kScripted[in.byte() % std::size(kScripted)], static_cast<int8_t>(in.byte()) % 4 == 0 ? 100 : static_cast<int8_t>(in.byte()) % 3 - 1, in.byte() % 2);
      continue;
    }
    const CommandRow &row = rows[in.byte() % rows.size()];
    std::vector<emu::Param> params;
    std::string all = row.params;
    for (size_t at = 0; at < all.size();) {
      size_t end = all.find(", ", at);
      if (end == std::string::npos) end = all.size();
      params.push_back(param_for(in, all.substr(at, end - at), pool));
      at = end + 2;
    }
    // The result slot is of the kind the command writes, as Zorvan's is.
    emu::ResultKind result = row.result == CommandResult::Text   ? emu::ResultKind::String
                             : row.result == CommandResult::Blob ? emu::ResultKind::Blob
                                                                 : emu::ResultKind::Long;
    auto r = host.call(row.selector, params, result);
    for (size_t i = 0; i < params.size(); ++i)
      if (params[i].kind == emu::Param::Long && pool.size() < 64) pool.push_back(r.long_at(static_cast<int>(i + 1)));
  }
  host.event(-2);
  if (reset) reset();
  if (free_handles) free_handles();
  return 0;
}
