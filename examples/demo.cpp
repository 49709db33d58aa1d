// A Zorvan program, played by the host emulator: it loads the plug-in from
// its file, as Zorvan does, and talks to the embedded Oracle client.
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "oci.h"
#include "zec_control.h"
#include "zorvan_host.h"

#if defined(_WIN32)
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

using namespace zorvan;
using emu::long_param;
using emu::string_param;

namespace {

void show(const char *what, int32_t status) { std::printf("  %-44s -> %d\n", what, status); }

// SQL as a Zorvan program runs it: host arrays bound and defined, one
// execute for thousands of rows, a fetch loop, and a LONG in pieces.
void run_statements(emu::Host &host, int32_t env, int32_t err, int32_t svc, int32_t st) {
  using emu::text_param;
  using emu::variable_param;
  auto none = [] { return variable_param("nothing", -1); };
  auto prepare = [&](const std::string &sql) {
    return host.call(16, {long_param(st), long_param(err), text_param(sql), long_param(OCI_DEFAULT)}).result;
  };
  auto execute = [&](int32_t iters) {
    return host.call(19, {long_param(svc), long_param(st), long_param(err), long_param(iters), long_param(0),
                          long_param(0), long_param(0), long_param(OCI_DEFAULT)})
        .result;
  };
  auto bind = [&](int32_t position, const std::string &name, int32_t dty, int32_t mode = OCI_DEFAULT) {
    return host.call(63, {long_param(st), long_param(0), long_param(err), long_param(position),
                          variable_param(name, -1), long_param(dty), none(), none(), none(), long_param(mode),
                          long_param(0)})
        .result;
  };
  auto define = [&](int32_t position, const std::string &name, int32_t dty, int32_t mode = OCI_DEFAULT) {
    return host.call(61, {long_param(st), long_param(0), long_param(err), long_param(position),
                          variable_param(name, -1), long_param(dty), none(), none(), none(), long_param(mode)})
        .result;
  };
  (void)env;
  std::printf("Statements:\n");
  prepare("BEGIN EXECUTE IMMEDIATE 'DROP TABLE demo_rows'; EXCEPTION WHEN OTHERS THEN NULL; END;");
  execute(1);
  prepare("CREATE TABLE demo_rows (id NUMBER, price NUMBER(10,2), name VARCHAR2(20), made DATE)");
  show("CREATE TABLE demo_rows", execute(1));

  const int rows = 3000;
  std::vector<int32_t> ids(rows + 1);
  std::vector<double> prices(rows + 1);
  std::vector<std::string> names(rows + 1);
  std::vector<std::array<int16_t, 3>> made(rows + 1);
  for (int i = 1; i <= rows; ++i) {
    ids[i] = i;
    prices[i] = i * 1.25;
    names[i] = "item " + std::to_string(i);
    made[i] = {static_cast<int16_t>(1 + i % 28), static_cast<int16_t>(1 + i % 12), 2026};
  }
  host.set_long_array("ids", ids);
  host.set_real_array("prices", prices);
  host.set_text_array("names", names);
  host.set_date_array("made", made);
  prepare("INSERT INTO demo_rows VALUES (:id, :price, :name, :made)");
  bind(1, "ids", SQLT_INT);
  bind(2, "prices", SQLT_FLT);
  bind(3, "names", SQLT_STR);
  bind(4, "made", SQLT_ODT);
  show("INSERT 3000 rows from host arrays, one execute", execute(rows));
  show("OCITransCommit", host.call(15, {long_param(svc), long_param(err), long_param(0)}).result);

  // Back into 500-row arrays, batch by batch.
  const int batch = 500;
  host.set_long_array("got_ids", std::vector<int32_t>(batch + 1));
  host.set_real_array("got_prices", std::vector<double>(batch + 1));
  host.set_text_array("got_names", std::vector<std::string>(batch + 1));
  prepare("SELECT id, price, name FROM demo_rows WHERE price > 100 ORDER BY id");
  define(1, "got_ids", SQLT_INT);
  define(2, "got_prices", SQLT_FLT);
  define(3, "got_names", SQLT_STR);
  execute(0);
  int fetched = 0;
  int batches = 0;
  double total = 0;
  std::string first, last;
  for (int32_t status = OCI_SUCCESS; status == OCI_SUCCESS;) {
    status = host.call(18, {long_param(st), long_param(err), long_param(batch)}).result;
    auto got_ids = host.get_long_array("got_ids");
    auto got_prices = host.get_real_array("got_prices");
    auto got_names = host.get_text_array("got_names");
    ++batches;
    for (int i = 1; i <= batch && got_ids[i] != 0; ++i) {
      ++fetched;
      total += got_prices[i];
      if (first.empty()) first = got_names[i];
      last = got_names[i];
    }
  }
  std::printf("    fetched %d rows in %d batches: '%s' to '%s', prices adding up to %.2f\n", fetched, batches,
              first.c_str(), last.c_str(), total);

  // A LONG of 200,000 characters, sent and read back in pieces.
  prepare("BEGIN EXECUTE IMMEDIATE 'DROP TABLE demo_notes'; EXCEPTION WHEN OTHERS THEN NULL; END;");
  execute(1);
  prepare("CREATE TABLE demo_notes (id NUMBER, body LONG)");
  execute(1);
  std::string body;
  while (body.size() < 200000) body += "Zorvan talks to Oracle. ";
  body.resize(200000);
  host.set_text_limit(1u << 20);
  host.set_text("body", body);
  host.set_long("note", 1);
  prepare("INSERT INTO demo_notes VALUES (:id, :body)");
  bind(1, "note", SQLT_INT);
  bind(2, "body", SQLT_LNG, OCI_DATA_AT_EXEC);
  host.reset_counts();
  show("INSERT a 200,000-character LONG in pieces", execute(1));
  std::printf("    pieces handed to OCI: %d\n", host.piece_notifications());
  host.set_text("read_back", "");
  prepare("SELECT body FROM demo_notes WHERE id = 1");
  define(1, "read_back", SQLT_LNG, OCI_DYNAMIC_FETCH);
  host.reset_counts();
  show("SELECT it back in pieces", execute(1));
  std::string back = host.get_text("read_back");
  std::printf("    %zu characters in %d pieces, %s\n", back.size(), host.piece_notifications(),
              back == body ? "the same text" : "NOT the same text");

  std::printf("An error reaches the handler with Oracle's text:\n");
  prepare("SELECT * FROM no_such_table");
  show("SELECT * FROM no_such_table", execute(0));
  auto record = host.call(54, {long_param(err), long_param(1), long_param(0), string_param("")});
  std::printf("    OCIErrorGet: %s", record.string_at(4).c_str());
  show("OCITransCommit", host.call(15, {long_param(svc), long_param(err), long_param(0)}).result);
}

// A document in a CLOB and a picture in a BLOB, written from and read back
// into host BLOBs; then a file on disk, read through a BFILE.
void run_lobs(emu::Host &host, int32_t env, int32_t err, int32_t svc, int32_t st, const std::string &data) {
  using emu::blob_param;
  using emu::text_param;
  using emu::variable_param;
  auto sql = [&](const std::string &text) {
    host.call(16, {long_param(st), long_param(err), text_param(text), long_param(OCI_DEFAULT)});
    return host.call(19, {long_param(svc), long_param(st), long_param(err), long_param(1), long_param(0),
                          long_param(0), long_param(0), long_param(OCI_DEFAULT)})
        .result;
  };
  auto locator = [&](int32_t type) {
    return host.call(60, {long_param(env), long_param(0), long_param(type)}).long_at(2);
  };
  std::printf("LOBs and BFILEs:\n");
  sql("BEGIN EXECUTE IMMEDIATE 'DROP TABLE demo_docs'; EXCEPTION WHEN OTHERS THEN NULL; END;");
  sql("CREATE TABLE demo_docs (id NUMBER, doc CLOB, photo BLOB)");
  show("INSERT EMPTY_CLOB(), EMPTY_BLOB()", sql("INSERT INTO demo_docs VALUES (1, EMPTY_CLOB(), EMPTY_BLOB())"));

  // The row is selected for update: its locators may then be written.
  host.set_long("doc", locator(OCI_DTYPE_LOB));
  host.set_long("photo", locator(OCI_DTYPE_LOB));
  host.call(16, {long_param(st), long_param(err), text_param("SELECT doc, photo FROM demo_docs FOR UPDATE"),
                 long_param(OCI_DEFAULT)});
  auto none = [] { return variable_param("nothing", -1); };
  for (auto [position, name, dty] : {std::tuple{1, "doc", SQLT_CLOB}, std::tuple{2, "photo", SQLT_BLOB}})
    host.call(61, {long_param(st), long_param(0), long_param(err), long_param(position), variable_param(name, -1),
                   long_param(dty), none(), none(), none(), long_param(OCI_DEFAULT)});
  show("SELECT ... FOR UPDATE into two locators",
       host.call(19, {long_param(svc), long_param(st), long_param(err), long_param(1), long_param(0), long_param(0),
                      long_param(0), long_param(OCI_DEFAULT)})
           .result);
  int32_t doc = host.get_long("doc"), photo = host.get_long("photo");
  show("OCILobWrite the document",
       host.call(30, {long_param(svc), long_param(err), long_param(doc), long_param(1),
                      blob_param("Minutes of the meeting. ")})
           .result);
  show("OCILobWriteAppend a paragraph",
       host.call(1, {long_param(svc), long_param(err), long_param(doc), blob_param("All present agreed.")}).result);
  auto length = host.call(36, {long_param(svc), long_param(err), long_param(doc), long_param(0)});
  auto back = host.call(32, {long_param(svc), long_param(err), long_param(doc), long_param(1), emu::blob_handle_param(0)});
  std::printf("    %d characters read back: '%s'\n", length.long_at(4), host.handle_bytes(back.handle_at(5)).c_str());
  std::string picture("\x89PNG\r\n\x1a\n", 8);
  picture += std::string(5000, '\x7f');
  host.call(30, {long_param(svc), long_param(err), long_param(photo), long_param(1), blob_param(picture)});
  auto image = host.call(32, {long_param(svc), long_param(err), long_param(photo), long_param(1), emu::blob_handle_param(0)});
  std::printf("    picture: %zu bytes back, %s\n", host.handle_bytes(image.handle_at(5)).size(),
              host.handle_bytes(image.handle_at(5)) == picture ? "the same bytes" : "NOT the same bytes");
  show("OCITransCommit", host.call(15, {long_param(svc), long_param(err), long_param(0)}).result);

  // A server file under a directory alias.
  std::string files = data + "/files";
  std::filesystem::create_directories(files);
  const std::string note = "A file the database reads through a BFILE.";
  std::ofstream(files + "/readme.txt", std::ios::binary) << note;
  show("CREATE OR REPLACE DIRECTORY demo_files", sql("CREATE OR REPLACE DIRECTORY demo_files AS '" + files + "'"));
  int32_t file = locator(OCI_DTYPE_FILE);
  host.call(48, {long_param(env), long_param(err), long_param(file), string_param("DEMO_FILES"),
                 string_param("readme.txt")});
  auto exists = host.call(38, {long_param(svc), long_param(err), long_param(file), long_param(0)});
  std::printf("    OCILobFileExists: %d\n", exists.long_at(4));
  show("OCILobFileOpen", host.call(49, {long_param(svc), long_param(err), long_param(file), long_param(1)}).result);
  int32_t copy = locator(OCI_DTYPE_LOB);
  host.call(5, {long_param(svc), long_param(err), long_param(copy), long_param(OCI_TEMP_BLOB), long_param(0),
                long_param(OCI_DURATION_SESSION)});
  show("OCILobLoadFromFile into a temporary BLOB",
       host.call(34, {long_param(svc), long_param(err), long_param(copy), long_param(file),
                      long_param(static_cast<int32_t>(note.size())),
                      long_param(1), long_param(1)})
           .result);
  auto loaded = host.call(32, {long_param(svc), long_param(err), long_param(copy), long_param(1), emu::blob_handle_param(0)});
  std::printf("    loaded: '%s'\n", host.handle_bytes(loaded.handle_at(5)).c_str());
  show("OCILobFileCloseAll", host.call(40, {long_param(svc), long_param(err)}).result);
  host.call(4, {long_param(svc), long_param(err), long_param(copy)});
  for (int32_t l : {doc, photo, copy}) host.call(59, {long_param(l)});
  host.call(59, {long_param(file)});
}

// The embedded client's test-only constructors: no command makes a
// collection, so the demo asks the client for one, as a bound object
// column would give it on Oracle.
void *client_symbol(const char *name) {
#if defined(_WIN32)
  return reinterpret_cast<void *>(GetProcAddress(LoadLibraryA("OCI.dll"), name));
#else
  static void *client = dlopen("libclntsh.so", RTLD_NOW);
  return client ? dlsym(client, name) : nullptr;
#endif
}

// A nested table of numbers: appended, one deleted, walked with an iterator.
void run_collections(emu::Host &host, int32_t env, int32_t err) {
  auto make = reinterpret_cast<ZecTestCollectionFn>(client_symbol("zectest_collection"));
  auto release = reinterpret_cast<ZecTestFreeFn>(client_symbol("zectest_free"));
  if (make == nullptr || release == nullptr) return;
  std::printf("A nested table of numbers:\n");
  void *table = make(reinterpret_cast<void *>(static_cast<uintptr_t>(env)), 0);
  auto word = [](const void *p) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(p)); };
  std::vector<OCINumber> numbers(5);
  for (int i = 0; i < 5; ++i) {
    int value = (i + 1) * 11;  // an OCINumber of 1 to 99: length 2, exponent, one base-100 digit
    numbers[static_cast<size_t>(i)].OCINumberPart[0] = 2;
    numbers[static_cast<size_t>(i)].OCINumberPart[1] = 0xC1;
    numbers[static_cast<size_t>(i)].OCINumberPart[2] = static_cast<ub1>(value + 1);
    host.call(169, {long_param(env), long_param(err), long_param(word(&numbers[static_cast<size_t>(i)])),
                    long_param(0), long_param(word(table))});
  }
  show("OCITableDelete (index 2)", host.call(111, {long_param(env), long_param(err), long_param(2),
                                                   long_param(word(table))}).result);
  auto size = host.call(170, {long_param(env), long_param(err), long_param(word(table)), long_param(0)});
  auto count = host.call(164, {long_param(env), long_param(err), long_param(word(table)), long_param(0)});
  std::printf("    OCITableSize %d, OCICollSize %d (the hole still counts)\n", size.long_at(4), count.long_at(4));
  int32_t iterator = host.call(154, {long_param(env), long_param(err), long_param(word(table)), long_param(0)}).long_at(4);
  std::string walked;
  for (;;) {
    auto next = host.call(150, {long_param(env), long_param(err), long_param(iterator), long_param(0), long_param(0),
                                long_param(0)});
    if (next.result != OCI_SUCCESS || next.long_at(6) == 1) break;
    auto *n = reinterpret_cast<const OCINumber *>(static_cast<uintptr_t>(static_cast<uint32_t>(next.long_at(4))));
    walked += (walked.empty() ? "" : ", ") + std::to_string(n->OCINumberPart[2] - 1);
  }
  std::printf("    iterated: %s\n", walked.c_str());
  host.call(153, {long_param(env), long_param(err), long_param(iterator)});
  release(table);
}

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
  run_statements(host, envhp, errhp, svchp, stmt.long_at(2));
  run_lobs(host, envhp, errhp, svchp, stmt.long_at(2), argc > 2 ? argv[2] : "zorvan-data");
  run_collections(host, envhp, errhp);
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
