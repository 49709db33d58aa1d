// LOBs and BFILEs through ZorvanPack: locators defined from rows selected
// for update, whole LOBs written from and read into host BLOBs, editing
// round trips on temporaries, BFILEs loaded into LOBs, the refusals by
// registry type, and the host's memory running short.
#include <fstream>
#include <string>

#include "commands/sql_session.h"

namespace zorvan::test {
namespace {

using emu::blob_param;

class Lobs : public SqlSession {
 protected:
  int32_t descriptor(int32_t type) {
    auto r = host().call(60, {long_param(env), long_param(0), long_param(type)});
    EXPECT_EQ(r.result, OCI_SUCCESS);
    return r.long_at(2);
  }
  // A locator filled by a one-row query's define.
  int32_t select_locator(const std::string &query, int32_t dty) {
    int32_t locator = descriptor(OCI_DTYPE_LOB);
    host().set_long("loc", locator);
    int32_t st = prepare(query);
    EXPECT_EQ(define(st, 1, variable_param("loc", -1), dty).result, OCI_SUCCESS);
    EXPECT_EQ(execute(st, 1), OCI_SUCCESS) << error_text();
    return locator;
  }
  int32_t temporary(int32_t type) {
    int32_t locator = descriptor(OCI_DTYPE_LOB);
    EXPECT_EQ(host().call(5, {long_param(svc), long_param(err), long_param(locator), long_param(type), long_param(0),
                              long_param(OCI_DURATION_SESSION)})
                  .result,
              OCI_SUCCESS)
        << error_text();
    return locator;
  }
  int32_t write(int32_t locator, int32_t offset, const std::string &bytes) {
    return host().call(30, {long_param(svc), long_param(err), long_param(locator), long_param(offset),
                            blob_param(bytes)})
        .result;
  }
  int32_t append(int32_t locator, const std::string &bytes) {
    return host().call(1, {long_param(svc), long_param(err), long_param(locator), blob_param(bytes)}).result;
  }
  // Selector 32 into a new BLOB: the status and the BLOB's bytes.
  std::pair<int32_t, std::string> read(int32_t locator, int32_t offset = 1) {
    auto r = host().call(32, {long_param(svc), long_param(err), long_param(locator), long_param(offset),
                              emu::blob_handle_param(0)});
    uint32_t handle = r.handle_at(5);
    return {r.result, handle ? host().handle_bytes(handle) : "<no blob>"};
  }
  std::string text(int32_t locator) { return read(locator).second; }
  int32_t flag(int32_t selector, int32_t first, int32_t locator, int32_t second = -1) {
    auto r = host().call(selector, {long_param(first), long_param(second == -1 ? err : second), long_param(locator),
                                    long_param(-5)});
    EXPECT_TRUE(r.result == OCI_SUCCESS) << selector << ": " << r.result;
    return r.long_at(4);
  }
};

TEST_F(Lobs, RowLobsAreWrittenWholeAndReadBackIntoHostBlobs) {
  sql("CREATE TABLE docs (id NUMBER, c CLOB, b BLOB)");
  sql("INSERT INTO docs VALUES (1, EMPTY_CLOB(), EMPTY_BLOB())");
  sql("COMMIT");
  int32_t c = select_locator("SELECT c FROM docs FOR UPDATE", SQLT_CLOB);
  EXPECT_EQ(read(c), std::make_pair(OCI_SUCCESS, std::string()));  // an empty LOB: an empty BLOB
  ASSERT_EQ(write(c, 1, "Hello"), OCI_SUCCESS) << error_text();
  ASSERT_EQ(append(c, ", world"), OCI_SUCCESS) << error_text();
  ASSERT_EQ(append(c, ", world"), OCI_SUCCESS);
  EXPECT_EQ(text(c), "Hello, world, world");
  ASSERT_EQ(write(c, 8, "W"), OCI_SUCCESS);
  EXPECT_EQ(text(c), "Hello, World, world");

  int32_t b = select_locator("SELECT b FROM docs FOR UPDATE", SQLT_BLOB);
  std::string image("\x89PNG\0\x01\x02\x03\xff", 9);
  ASSERT_EQ(write(b, 1, image), OCI_SUCCESS);
  EXPECT_EQ(text(b), image);
  // From offset 3, the BLOB keeps the LOB's length; its front holds the data.
  auto [status, tail] = read(b, 3);
  EXPECT_EQ(status, OCI_SUCCESS);
  ASSERT_EQ(tail.size(), 9u);
  EXPECT_EQ(tail.substr(0, 7), image.substr(2));
  sql("COMMIT");
  EXPECT_EQ(write(b, 1, "x"), OCI_ERROR);  // the commit released the row
  EXPECT_NE(error_text().find("ORA-22920"), std::string::npos);

  // A BLOB parameter that holds a handle is resized and reused, not replaced.
  uint32_t old = host().new_handle(100);
  auto r = host().call(32, {long_param(svc), long_param(err), long_param(c), long_param(1), emu::blob_handle_param(old)});
  EXPECT_EQ(r.result, OCI_SUCCESS);
  EXPECT_EQ(r.handle_at(5), old);
  EXPECT_EQ(host().handle_bytes(old), "Hello, World, world");

  // Length and chunk size, written whatever the status.
  auto length = host().call(36, {long_param(svc), long_param(err), long_param(c), long_param(-5)});
  EXPECT_EQ(length.long_at(4), 19);
  auto chunk = host().call(3, {long_param(svc), long_param(err), long_param(c), long_param(-5)});
  EXPECT_EQ(chunk.long_at(4), 8132);
}

TEST_F(Lobs, LengthsOciOverstatesAreBounded) {
  int32_t c = temporary(OCI_TEMP_CLOB);
  ASSERT_EQ(write(c, 1, "twelve bytes"), OCI_SUCCESS) << error_text();
  // A read that claims to have delivered 2 GB gives what fits the BLOB.
  client.script_out("OCILobRead", 3, 0x7fffffffu, 4);
  EXPECT_EQ(read(c), std::make_pair(OCI_SUCCESS, std::string("twelve bytes")));
  // A length past what one host BLOB holds is refused before any read.
  client.script_out("OCILobGetLength", 3, 0xfffffff0u, 4);
  int reads = client.count_of("OCILobRead");
  EXPECT_EQ(read(c).first, OCI_ERROR);
  EXPECT_EQ(client.count_of("OCILobRead"), reads);
}

TEST_F(Lobs, TemporariesRoundTripThroughTheEditingCommands) {
  int32_t c = temporary(OCI_TEMP_CLOB);
  EXPECT_EQ(flag(2, env, c), 1);
  // The temporary CLOB was created with the implicit character set form.
  EXPECT_EQ(flag(45, env, c), SQLCS_IMPLICIT);
  EXPECT_EQ(flag(6, env, c), 873);
  ASSERT_EQ(write(c, 1, "abcdefgh"), OCI_SUCCESS);

  auto erased = host().call(41, {long_param(svc), long_param(err), long_param(c), long_param(3), long_param(2)});
  EXPECT_EQ(erased.result, OCI_SUCCESS);
  EXPECT_EQ(erased.long_at(4), 3);
  EXPECT_EQ(text(c), "a   efgh");
  EXPECT_EQ(host().call(31, {long_param(svc), long_param(err), long_param(c), long_param(6)}).result, OCI_SUCCESS);
  EXPECT_EQ(text(c), "a   ef");
  EXPECT_EQ(host().call(31, {long_param(svc), long_param(err), long_param(c), long_param(60)}).result, OCI_ERROR);

  int32_t d = temporary(OCI_TEMP_CLOB);
  ASSERT_EQ(write(d, 1, "XYZ"), OCI_SUCCESS);
  EXPECT_EQ(host().call(47, {long_param(svc), long_param(err), long_param(c), long_param(d)}).result, OCI_SUCCESS);
  EXPECT_EQ(text(c), "a   efXYZ");
  EXPECT_EQ(host().call(44, {long_param(svc), long_param(err), long_param(c), long_param(d), long_param(2),
                             long_param(11), long_param(2)})
                .result,
            OCI_SUCCESS);
  EXPECT_EQ(text(c), "a   efXYZ YZ");

  // Assign copies a temporary into another registered locator.
  int32_t e = descriptor(OCI_DTYPE_LOB);
  auto assigned = host().call(46, {long_param(env), long_param(err), long_param(c), long_param(e)});
  EXPECT_EQ(assigned.result, OCI_SUCCESS) << error_text();
  EXPECT_EQ(assigned.long_at(4), e);
  EXPECT_EQ(text(e), "a   efXYZ YZ");
  EXPECT_EQ(flag(35, env, c, c), 1);
  EXPECT_EQ(flag(35, env, c, e), 0);

  for (int32_t selector : {42, 43})
    EXPECT_EQ(host().call(selector, {long_param(svc), long_param(err), long_param(c)}).result, OCI_SUCCESS);
  EXPECT_EQ(host().call(37, {long_param(svc), long_param(err), long_param(c), long_param(OCI_LOB_BUFFER_FREE)}).result,
            OCI_SUCCESS);
  EXPECT_EQ(host().call(4, {long_param(svc), long_param(err), long_param(c)}).result, OCI_SUCCESS);
  EXPECT_EQ(flag(33, env, c), 0);
  EXPECT_EQ(flag(33, env, e), 1);

  // A BLOB and a CLOB do not mix.
  int32_t b = temporary(OCI_TEMP_BLOB);
  EXPECT_EQ(flag(45, env, b), 0);
  EXPECT_EQ(host().call(47, {long_param(svc), long_param(err), long_param(e), long_param(b)}).result, OCI_ERROR);
  EXPECT_NE(error_text().find("ORA-24805"), std::string::npos);
}

TEST_F(Lobs, BfilesAreNamedOpenedAndLoadedIntoLobs) {
  std::string files = fresh_directory();
  std::string name(200, 'n');
  std::ofstream(files + "/" + name, std::ios::binary) << "file bytes";
  std::string alias = "DOCUMENTS_OF_THE_ARCHIVE_2026X";  // 30 characters
  ASSERT_EQ(alias.size(), 30u);
  sql("CREATE DIRECTORY " + alias + " AS '" + files + "'");

  int32_t file = descriptor(OCI_DTYPE_FILE);
  auto named = host().call(48, {long_param(env), long_param(err), long_param(file), string_param(alias),
                                string_param(name)});
  ASSERT_EQ(named.result, OCI_SUCCESS) << error_text();
  EXPECT_EQ(named.long_at(3), file);
  auto names = host().call(51, {long_param(env), long_param(err), long_param(file), string_param(""),
                                string_param("")});
  ASSERT_EQ(names.result, OCI_SUCCESS);
  EXPECT_EQ(names.string_at(4), alias);
  EXPECT_EQ(names.string_at(5), name);

  EXPECT_EQ(flag(38, svc, file), 1);
  EXPECT_EQ(flag(50, svc, file), 0);
  int32_t b = temporary(OCI_TEMP_BLOB);
  auto load = [&] {
    return host().call(34, {long_param(svc), long_param(err), long_param(b), long_param(file), long_param(10),
                            long_param(1), long_param(1)})
        .result;
  };
  EXPECT_EQ(load(), OCI_ERROR);  // not open yet
  EXPECT_NE(error_text().find("ORA-22289"), std::string::npos);
  ASSERT_EQ(host().call(49, {long_param(svc), long_param(err), long_param(file), long_param(OCI_FILE_READONLY)}).result,
            OCI_SUCCESS)
      << error_text();
  EXPECT_EQ(flag(50, svc, file), 1);
  ASSERT_EQ(load(), OCI_SUCCESS) << error_text();
  EXPECT_EQ(text(b), "file bytes");
  EXPECT_EQ(host().call(39, {long_param(svc), long_param(err), long_param(file)}).result, OCI_SUCCESS);
  EXPECT_EQ(flag(50, svc, file), 0);
  ASSERT_EQ(host().call(49, {long_param(svc), long_param(err), long_param(file), long_param(OCI_FILE_READONLY)}).result,
            OCI_SUCCESS);
  EXPECT_EQ(host().call(40, {long_param(svc), long_param(err)}).result, OCI_SUCCESS);
  EXPECT_EQ(flag(50, svc, file), 0);

  // A missing file: the flag is 0, the status success.
  host().call(48, {long_param(env), long_param(err), long_param(file), string_param(alias), string_param("gone")});
  EXPECT_EQ(flag(38, svc, file), 0);

  // Registry types: a BFILE is no LOB for 36, both kinds do for 35.
  EXPECT_EQ(host().call(36, {long_param(svc), long_param(err), long_param(file), long_param(0)}).result,
            OCI_INVALID_HANDLE);
  EXPECT_EQ(flag(35, env, b, file), 0);
  EXPECT_EQ(host().call(35, {long_param(err), long_param(b), long_param(file), long_param(0)}).result,
            OCI_INVALID_HANDLE);
  EXPECT_EQ(host().call(49, {long_param(svc), long_param(err), long_param(b), long_param(1)}).result,
            OCI_INVALID_HANDLE);
}

TEST_F(Lobs, MultibyteClobsAreReadWholeWhateverTheirByteCount) {
  // A second environment in a multibyte client character set.
  host().call(175, {string_param("NLS_LANG"), string_param("AMERICAN_AMERICA.AL32UTF8")});
  int32_t utf8_env = host().call(55, {long_param(0), long_param(OCI_DEFAULT)}).long_at(1);
  host().call(175, {string_param("NLS_LANG"), string_param("")});
  int32_t utf8_err = host().call(53, {long_param(utf8_env), long_param(0), long_param(OCI_HTYPE_ERROR)}).long_at(2);
  auto logon = host().call(28, {long_param(utf8_env), long_param(utf8_err), long_param(0), string_param("zorvan"),
                                string_param("zorvan"), string_param("")});
  ASSERT_EQ(logon.result, OCI_SUCCESS);
  int32_t utf8_svc = logon.long_at(3);
  int32_t c = host().call(60, {long_param(utf8_env), long_param(0), long_param(OCI_DTYPE_LOB)}).long_at(2);
  ASSERT_EQ(host().call(5, {long_param(utf8_svc), long_param(utf8_err), long_param(c), long_param(OCI_TEMP_CLOB),
                            long_param(0), long_param(OCI_DURATION_SESSION)})
                .result,
            OCI_SUCCESS);
  // 3,000 characters of two and three bytes: 7,500 bytes in the client.
  std::string text;
  for (int i = 0; i < 1500; ++i) text += "\xce\xb1\xe2\x82\xac";
  // Selector 30's amount is the BLOB's byte count, at least its characters.
  ASSERT_EQ(host().call(30, {long_param(utf8_svc), long_param(utf8_err), long_param(c), long_param(1),
                             blob_param(text)})
                .result,
            OCI_SUCCESS);
  auto length = host().call(36, {long_param(utf8_svc), long_param(utf8_err), long_param(c), long_param(0)});
  EXPECT_EQ(length.long_at(4), 3000);
  auto r = host().call(32, {long_param(utf8_svc), long_param(utf8_err), long_param(c), long_param(1), emu::blob_handle_param(0)});
  ASSERT_EQ(r.result, OCI_SUCCESS);
  EXPECT_EQ(host().handle_bytes(r.handle_at(5)), text);
  host().call(29, {long_param(utf8_svc), long_param(utf8_err)});
}

TEST_F(Lobs, TheHostsMemoryAndItsNumbersAreCheckedBeforeOciMovesData) {
  int32_t b = temporary(OCI_TEMP_BLOB);
  ASSERT_EQ(write(b, 1, std::string(5000, 'x')), OCI_SUCCESS);
  int32_t handler = host().add_method("OnOracleError");
  host().call(105, {string_param("OnOracleError")});

  // The host cannot make a BLOB that large: nothing is read, -1, no handle.
  host().set_handle_size_limit(2000);  // room for the handler's arguments, not the LOB
  auto r = host().call(32, {long_param(svc), long_param(err), long_param(b), long_param(1), emu::blob_handle_param(0)});
  EXPECT_EQ(r.result, OCI_ERROR);
  EXPECT_EQ(r.handle_at(5), 0u);
  // Nor grow one it holds: the handle keeps its bytes.
  uint32_t small = host().new_handle(0);
  r = host().call(32, {long_param(svc), long_param(err), long_param(b), long_param(1), emu::blob_handle_param(small)});
  EXPECT_EQ(r.result, OCI_ERROR);
  EXPECT_EQ(host().handle_bytes(small), "");
  host().set_handle_size_limit(0);
  ASSERT_EQ(host().method_calls().size(), 2u);
  HandlerArgs args = handler_args(host().method_calls().back());
  EXPECT_EQ(host().method_calls().back().id, handler);
  EXPECT_EQ(args.status, OCI_ERROR);
  EXPECT_EQ(args.handle, 0);

  // Offset 0 is no LOB offset: refused before OCI runs.
  r = host().call(32, {long_param(svc), long_param(err), long_param(b), long_param(0), emu::blob_handle_param(0)});
  EXPECT_EQ(r.result, OCI_ERROR);
  EXPECT_EQ(r.handle_at(5), 0u);
  EXPECT_EQ(write(b, 0, "y"), OCI_ERROR);
  EXPECT_EQ(text(b), std::string(5000, 'x'));
  // An empty BLOB writes nothing: OCI refuses the amount 0.
  EXPECT_EQ(write(b, 1, ""), OCI_ERROR);
  // Unregistered handles never reach OCI.
  EXPECT_EQ(host().call(32, {long_param(svc), long_param(err), long_param(b + 1), long_param(1), emu::blob_handle_param(0)}).result,
            OCI_INVALID_HANDLE);
  EXPECT_EQ(host().call(30, {long_param(err), long_param(svc), long_param(b), long_param(1), blob_param("z")}).result,
            OCI_INVALID_HANDLE);
}

}  // namespace
}  // namespace zorvan::test
