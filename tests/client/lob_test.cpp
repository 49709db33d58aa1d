// Large objects as an OCI program uses them: row LOBs selected for update
// and written, reads in polling mode and through a callback, temporaries,
// the editing calls, multibyte CLOBs, and BFILEs under directory aliases.
#include <fstream>

#include "client/oci_fixture.h"

namespace zorvan::client_test {
namespace {

class Lobs : public Oci {
 protected:
  OCILobLocator *locator(ub4 type = OCI_DTYPE_LOB) {
    OCILobLocator *l = nullptr;
    EXPECT_EQ(OCIDescriptorAlloc(env, reinterpret_cast<void **>(&l), type, 0, nullptr), OCI_SUCCESS);
    locators.push_back({l, type});
    return l;
  }
  void TearDown() override {
    for (auto &[l, type] : locators) OCIDescriptorFree(l, type);
    Oci::TearDown();
  }

  // Selects column `column` of the row into `l`, FOR UPDATE when asked.
  void select_into(OCILobLocator *l, const std::string &sql, ub2 dty) {
    OCIStmt *st = prepare(sql);
    OCIDefine *d = nullptr;
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, &l, -1, dty, nullptr, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
    free(st);
  }

  sword write(OCILobLocator *l, ub4 offset, const std::string &data, ub4 *amount = nullptr) {
    ub4 n = static_cast<ub4>(data.size());
    sword status = OCILobWrite(svc, err, l, &n, offset, const_cast<char *>(data.data()), static_cast<ub4>(data.size()),
                               OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT);
    if (amount) *amount = n;
    return status;
  }

  // The whole LOB from `offset`, read in polling mode through a buffer of
  // `room` bytes; `polls` counts the OCI_NEED_DATA answers.
  std::string read(OCILobLocator *l, ub4 offset = 1, ub4 room = 65536, int *polls = nullptr) {
    std::string all, buffer(room, '\0');
    ub4 amount = 0;
    sword status;
    int needed = 0;
    while ((status = OCILobRead(svc, err, l, &amount, offset, buffer.data(), room, nullptr, nullptr, 0,
                                SQLCS_IMPLICIT)) == OCI_NEED_DATA) {
      all.append(buffer, 0, amount);
      ++needed;
    }
    EXPECT_TRUE(status == OCI_SUCCESS || status == OCI_NO_DATA) << error_text();
    if (status == OCI_SUCCESS) all.append(buffer, 0, amount);
    if (polls) *polls = needed;
    return all;
  }

  ub4 length(OCILobLocator *l) {
    ub4 n = 0;
    EXPECT_EQ(OCILobGetLength(svc, err, l, &n), OCI_SUCCESS) << error_text();
    return n;
  }

  OCILobLocator *temporary(ub1 type) {
    OCILobLocator *l = locator();
    EXPECT_EQ(OCILobCreateTemporary(svc, err, l, 0, 0, type, 0, OCI_DURATION_SESSION), OCI_SUCCESS) << error_text();
    return l;
  }

  std::vector<std::pair<OCILobLocator *, ub4>> locators;
};

TEST_F(Lobs, RowLobsAreWrittenOnlyWhileTheirRowIsLocked) {
  ok("CREATE TABLE docs (id NUMBER, c CLOB, b BLOB)");
  ok("INSERT INTO docs VALUES (1, EMPTY_CLOB(), EMPTY_BLOB())");
  ok("COMMIT");
  OCILobLocator *c = locator();
  select_into(c, "SELECT c FROM docs WHERE id = 1", SQLT_CLOB);
  EXPECT_EQ(length(c), 0u);
  EXPECT_EQ(write(c, 1, "text"), OCI_ERROR);
  EXPECT_EQ(error_code(), 22920);

  select_into(c, "SELECT c FROM docs WHERE id = 1 FOR UPDATE", SQLT_CLOB);
  ub4 amount = 0;
  ASSERT_EQ(write(c, 1, "Gr\xfc\xdf" "e, world", &amount), OCI_SUCCESS) << error_text();
  EXPECT_EQ(amount, 12u);
  EXPECT_EQ(length(c), 12u);
  EXPECT_EQ(read(c), "Gr\xfc\xdf" "e, world");
  EXPECT_EQ(read(c, 8), "world");
  ok("COMMIT");
  EXPECT_EQ(one("SELECT DBMS_LOB.GETLENGTH(c) FROM docs"), "12");
  // The commit ended the lock.
  EXPECT_EQ(write(c, 1, "x"), OCI_ERROR);
  EXPECT_EQ(error_code(), 22920);

  // A BLOB written past its end fills the gap with zero bytes.
  OCILobLocator *b = locator();
  select_into(b, "SELECT b FROM docs WHERE id = 1 FOR UPDATE", SQLT_BLOB);
  ASSERT_EQ(write(b, 3, std::string("\x01\x02", 2)), OCI_SUCCESS) << error_text();
  EXPECT_EQ(read(b), std::string("\0\0\x01\x02", 4));
  // The wrong kind of locator, an offset of 0, an uninitialised locator.
  EXPECT_EQ(write(locator(), 1, "x"), OCI_ERROR);
  EXPECT_EQ(error_code(), 22275);
  EXPECT_EQ(write(b, 0, "x"), OCI_ERROR);
  EXPECT_EQ(error_code(), 24801);
  OCILobLocator *file = locator(OCI_DTYPE_FILE);
  EXPECT_EQ(OCILobGetLength(svc, err, file, &amount), OCI_ERROR);
  EXPECT_EQ(error_code(), 22275);
  ok("ROLLBACK");
}

sb4 __cdecl collect(void *context, const void *buffer, ub4 length, ub1 piece) {
  auto *pieces = static_cast<std::vector<std::pair<std::string, int>> *>(context);
  pieces->push_back({std::string(static_cast<const char *>(buffer), length), piece});
  return OCI_CONTINUE;
}

TEST_F(Lobs, ReadsThatDoNotFitTheirBufferPollOrCallBack) {
  OCILobLocator *b = temporary(OCI_TEMP_BLOB);
  std::string data(100000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  ASSERT_EQ(write(b, 1, data), OCI_SUCCESS) << error_text();
  int polls = 0;
  EXPECT_EQ(read(b, 1, 30000, &polls), data);
  EXPECT_EQ(polls, 3);
  EXPECT_EQ(read(b, 99001, 30000, &polls), data.substr(99000));
  EXPECT_EQ(polls, 0);

  // A stated amount is all a read delivers; past the end there is no data.
  std::string buffer(100, '\0');
  ub4 amount = 10;
  EXPECT_EQ(OCILobRead(svc, err, b, &amount, 5, buffer.data(), 100, nullptr, nullptr, 0, 0), OCI_SUCCESS);
  EXPECT_EQ(amount, 10u);
  EXPECT_EQ(buffer.substr(0, 10), data.substr(4, 10));
  amount = 0;
  EXPECT_EQ(OCILobRead(svc, err, b, &amount, 100001, buffer.data(), 100, nullptr, nullptr, 0, 0), OCI_NO_DATA);
  EXPECT_EQ(amount, 0u);

  std::vector<std::pair<std::string, int>> pieces;
  amount = 0;
  ASSERT_EQ(OCILobRead(svc, err, b, &amount, 1, buffer.data(), 100, &pieces, collect, 0, 0),
            OCI_SUCCESS);
  ASSERT_EQ(pieces.size(), 1000u);
  EXPECT_EQ(pieces.front().second, OCI_FIRST_PIECE);
  EXPECT_EQ(pieces[1].second, OCI_NEXT_PIECE);
  EXPECT_EQ(pieces.back().second, OCI_LAST_PIECE);
  std::string joined;
  for (auto &p : pieces) joined += p.first;
  EXPECT_EQ(joined, data);
  EXPECT_EQ(amount, 100000u);
}

TEST_F(Lobs, TemporariesAreEditedInPlace) {
  OCILobLocator *c = temporary(OCI_TEMP_CLOB);
  OCIBoolean flag = 0;
  EXPECT_EQ(OCILobIsTemporary(env, err, c, &flag), OCI_SUCCESS);
  EXPECT_EQ(flag, 1);
  ub1 form = 9;
  EXPECT_EQ(OCILobCharSetForm(env, err, c, &form), OCI_SUCCESS);
  EXPECT_EQ(form, SQLCS_IMPLICIT);  // form 0 at creation reads as implicit
  ub2 id = 0;
  EXPECT_EQ(OCILobCharSetId(env, err, c, &id), OCI_SUCCESS);
  EXPECT_EQ(id, 873);
  ub4 chunk = 0;
  EXPECT_EQ(OCILobGetChunkSize(svc, err, c, &chunk), OCI_SUCCESS);
  EXPECT_EQ(chunk, 8132u);

  ASSERT_EQ(write(c, 1, "abcdefgh"), OCI_SUCCESS) << error_text();
  ub4 amount = 3;
  EXPECT_EQ(OCILobErase(svc, err, c, &amount, 2), OCI_SUCCESS);
  EXPECT_EQ(amount, 3u);
  EXPECT_EQ(read(c), "a   efgh");
  amount = 50;
  EXPECT_EQ(OCILobErase(svc, err, c, &amount, 7), OCI_SUCCESS);
  EXPECT_EQ(amount, 2u);  // the end came first
  EXPECT_EQ(OCILobTrim(svc, err, c, 6), OCI_SUCCESS);
  EXPECT_EQ(read(c), "a   ef");
  EXPECT_EQ(OCILobTrim(svc, err, c, 7), OCI_ERROR);
  EXPECT_EQ(error_code(), 22926);

  OCILobLocator *d = temporary(OCI_TEMP_CLOB);
  ASSERT_EQ(write(d, 1, "XYZ"), OCI_SUCCESS);
  EXPECT_EQ(OCILobAppend(svc, err, c, d), OCI_SUCCESS) << error_text();
  EXPECT_EQ(read(c), "a   efXYZ");
  EXPECT_EQ(OCILobCopy(svc, err, c, d, 2, 12, 2), OCI_SUCCESS) << error_text();
  EXPECT_EQ(read(c), "a   efXYZ  YZ");
  ub4 more = 2;
  char tail[] = "!!";
  EXPECT_EQ(OCILobWriteAppend(svc, err, c, &more, tail, 2, OCI_ONE_PIECE, nullptr, nullptr, 0, 0), OCI_SUCCESS);
  EXPECT_EQ(read(c), "a   efXYZ  YZ!!");
  OCILobLocator *b = temporary(OCI_TEMP_BLOB);
  EXPECT_EQ(OCILobAppend(svc, err, c, b), OCI_ERROR);
  EXPECT_EQ(error_code(), 24805);

  // Assigning a temporary copies it; equality is of the value, not content.
  OCILobLocator *e = locator();
  EXPECT_EQ(OCILobAssign(env, err, c, &e), OCI_SUCCESS) << error_text();
  EXPECT_EQ(OCILobIsEqual(env, c, c, &flag), OCI_SUCCESS);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(OCILobIsEqual(env, c, e, &flag), OCI_SUCCESS);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(OCILobTrim(svc, err, e, 1), OCI_SUCCESS);
  EXPECT_EQ(read(c), "a   efXYZ  YZ!!");
  EXPECT_EQ(read(e), "a");

  EXPECT_EQ(OCILobEnableBuffering(svc, err, c), OCI_SUCCESS);
  EXPECT_EQ(OCILobFlushBuffer(svc, err, c, OCI_LOB_BUFFER_NOFREE), OCI_SUCCESS);
  EXPECT_EQ(OCILobFlushBuffer(svc, err, c, 7), OCI_ERROR);
  EXPECT_EQ(OCILobDisableBuffering(svc, err, c), OCI_SUCCESS);

  EXPECT_EQ(OCILobFreeTemporary(svc, err, c), OCI_SUCCESS);
  EXPECT_EQ(OCILobLocatorIsInit(env, err, c, &flag), OCI_SUCCESS);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(OCILobGetLength(svc, err, c, &amount), OCI_ERROR);
  EXPECT_EQ(error_code(), 22275);
}

TEST_F(Lobs, TemporariesGoIntoRowsAndOutOfThemAsValues) {
  ok("CREATE TABLE docs (id NUMBER, c CLOB)");
  OCILobLocator *c = temporary(OCI_TEMP_CLOB);
  ASSERT_EQ(write(c, 1, "from a temporary"), OCI_SUCCESS);
  OCIStmt *st = prepare("INSERT INTO docs VALUES (1, :c)");
  OCIBind *bind = nullptr;
  ASSERT_EQ(OCIBindByPos(st, &bind, err, 1, &c, -1, SQLT_CLOB, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  free(st);
  ok("COMMIT");
  EXPECT_EQ(OCILobFreeTemporary(svc, err, c), OCI_SUCCESS);
  EXPECT_EQ(one("SELECT DBMS_LOB.GETLENGTH(c) FROM docs"), "16");
  OCILobLocator *row = locator();
  select_into(row, "SELECT c FROM docs", SQLT_CLOB);
  EXPECT_EQ(read(row), "from a temporary");
  OCIBoolean flag = 1;
  EXPECT_EQ(OCILobIsTemporary(env, err, row, &flag), OCI_SUCCESS);
  EXPECT_EQ(flag, 0);
}

TEST(LobCharacters, MultibyteClobsCountCharactersAndDeliverBytes) {
  std::string directory = fresh_directory();
  set_environment("ZEC_DB_DIR", directory);
  set_environment("NLS_LANG", "AMERICAN_AMERICA.AL32UTF8");
  OCIEnv *env = nullptr;
  OCIError *err = nullptr;
  OCISvcCtx *svc = nullptr;
  ASSERT_EQ(OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
  set_environment("NLS_LANG", "");
  ASSERT_EQ(OCIHandleAlloc(env, reinterpret_cast<void **>(&err), OCI_HTYPE_ERROR, 0, nullptr), OCI_SUCCESS);
  ASSERT_EQ(OCILogon(env, err, &svc, reinterpret_cast<const OraText *>("zorvan"), 6,
                     reinterpret_cast<const OraText *>("zorvan"), 6, reinterpret_cast<const OraText *>(""), 0),
            OCI_SUCCESS);
  OCILobLocator *c = nullptr;
  ASSERT_EQ(OCIDescriptorAlloc(env, reinterpret_cast<void **>(&c), OCI_DTYPE_LOB, 0, nullptr), OCI_SUCCESS);
  ASSERT_EQ(OCILobCreateTemporary(svc, err, c, 0, SQLCS_IMPLICIT, OCI_TEMP_CLOB, 0, OCI_DURATION_SESSION), OCI_SUCCESS);
  std::string text = "\xce\xb1\xce\xb2\xce\xb3 \xe2\x82\xac\xe2\x82\xac";  // "αβγ €€": 6 characters, 14 bytes
  ub4 amount = 6;
  ASSERT_EQ(OCILobWrite(svc, err, c, &amount, 1, text.data(), static_cast<ub4>(text.size()), OCI_ONE_PIECE, nullptr,
                        nullptr, 0, SQLCS_IMPLICIT),
            OCI_SUCCESS);
  EXPECT_EQ(amount, 6u);
  ub4 length = 0;
  ASSERT_EQ(OCILobGetLength(svc, err, c, &length), OCI_SUCCESS);
  EXPECT_EQ(length, 6u);
  // A buffer of the length in characters is too small: the read polls, and
  // each piece ends on a character.
  std::string all, buffer(length, '\0');
  amount = 0;
  sword status;
  std::vector<ub4> pieces;
  while ((status = OCILobRead(svc, err, c, &amount, 1, buffer.data(), length, nullptr, nullptr, 0, SQLCS_IMPLICIT)) ==
         OCI_NEED_DATA) {
    all.append(buffer, 0, amount);
    pieces.push_back(amount);
  }
  ASSERT_EQ(status, OCI_SUCCESS);
  all.append(buffer, 0, amount);
  pieces.push_back(amount);
  EXPECT_EQ(all, text);
  EXPECT_EQ(pieces, (std::vector<ub4>{6, 4, 3}));
  OCIDescriptorFree(c, OCI_DTYPE_LOB);
  EXPECT_EQ(OCILogoff(svc, err), OCI_SUCCESS);
  OCIHandleFree(env, OCI_HTYPE_ENV);
}

TEST_F(Lobs, BfilesAreReadUnderTheirDirectoryAlias) {
  {
    std::ofstream(directory + "/photo.bin", std::ios::binary) << std::string("\x89PNG\r\n\x1a\n-image-bytes", 20);
  }
  ok("CREATE DIRECTORY media AS '" + directory + "'");
  OCILobLocator *file = nullptr;  // OCI makes the locator
  const char alias[] = "MEDIA", name[] = "photo.bin";
  ASSERT_EQ(OCILobFileSetName(env, err, &file, reinterpret_cast<const OraText *>(alias), 5,
                              reinterpret_cast<const OraText *>(name), 9),
            OCI_SUCCESS);
  ASSERT_NE(file, nullptr);
  locators.push_back({file, OCI_DTYPE_FILE});
  char got_alias[64], got_name[64];
  ub2 alias_length = sizeof got_alias, name_length = sizeof got_name;
  ASSERT_EQ(OCILobFileGetName(env, err, file, reinterpret_cast<OraText *>(got_alias), &alias_length,
                              reinterpret_cast<OraText *>(got_name), &name_length),
            OCI_SUCCESS);
  EXPECT_EQ(std::string(got_alias, alias_length), "MEDIA");
  EXPECT_EQ(std::string(got_name, name_length), "photo.bin");
  alias_length = 3;
  EXPECT_EQ(OCILobFileGetName(env, err, file, reinterpret_cast<OraText *>(got_alias), &alias_length,
                              reinterpret_cast<OraText *>(got_name), &name_length),
            OCI_ERROR);

  OCIBoolean flag = 0;
  EXPECT_EQ(OCILobFileExists(svc, err, file, &flag), OCI_SUCCESS);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(OCILobFileIsOpen(svc, err, file, &flag), OCI_SUCCESS);
  EXPECT_EQ(flag, 0);
  ub4 amount = 0;
  char buffer[64];
  EXPECT_EQ(OCILobRead(svc, err, file, &amount, 1, buffer, sizeof buffer, nullptr, nullptr, 0, 0), OCI_ERROR);
  EXPECT_EQ(error_code(), 22289);
  ASSERT_EQ(OCILobFileOpen(svc, err, file, OCI_FILE_READONLY), OCI_SUCCESS) << error_text();
  EXPECT_EQ(OCILobFileIsOpen(svc, err, file, &flag), OCI_SUCCESS);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(length(file), 20u);
  EXPECT_EQ(read(file, 9), "-image-bytes");

  OCILobLocator *b = temporary(OCI_TEMP_BLOB);
  EXPECT_EQ(OCILobLoadFromFile(svc, err, b, file, 20, 1, 1), OCI_SUCCESS) << error_text();
  EXPECT_EQ(read(b), std::string("\x89PNG\r\n\x1a\n-image-bytes", 20));
  EXPECT_EQ(OCILobLoadFromFile(svc, err, b, file, 20, 1, 2), OCI_ERROR);
  EXPECT_EQ(error_code(), 21560);

  EXPECT_EQ(OCILobFileCloseAll(svc, err), OCI_SUCCESS);
  EXPECT_EQ(OCILobFileIsOpen(svc, err, file, &flag), OCI_SUCCESS);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(OCILobLoadFromFile(svc, err, b, file, 20, 1, 1), OCI_ERROR);
  EXPECT_EQ(error_code(), 22289);

  // A missing file, an unknown alias, a name that leaves the directory.
  const char missing[] = "none.bin", unknown[] = "ELSEWHERE", escape[] = "../photo.bin";
  ASSERT_EQ(OCILobFileSetName(env, err, &file, reinterpret_cast<const OraText *>(alias), 5,
                              reinterpret_cast<const OraText *>(missing), 8),
            OCI_SUCCESS);
  EXPECT_EQ(OCILobFileExists(svc, err, file, &flag), OCI_SUCCESS);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(OCILobFileOpen(svc, err, file, OCI_FILE_READONLY), OCI_ERROR);
  EXPECT_EQ(error_code(), 22285);
  ASSERT_EQ(OCILobFileSetName(env, err, &file, reinterpret_cast<const OraText *>(unknown), 9,
                              reinterpret_cast<const OraText *>(name), 9),
            OCI_SUCCESS);
  EXPECT_EQ(OCILobFileExists(svc, err, file, &flag), OCI_ERROR);
  EXPECT_EQ(error_code(), 22285);
  ASSERT_EQ(OCILobFileSetName(env, err, &file, reinterpret_cast<const OraText *>(alias), 5,
                              reinterpret_cast<const OraText *>(escape), 12),
            OCI_SUCCESS);
  EXPECT_EQ(OCILobFileOpen(svc, err, file, OCI_FILE_READONLY), OCI_ERROR);
  EXPECT_EQ(error_code(), 22285);
}

}  // namespace
}  // namespace zorvan::client_test
