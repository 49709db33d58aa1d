// OCI's statement calls on the embedded client, as an Oracle program uses
// them: binds and defines of every external type, array DML, fetch loops,
// indicators, truncation, pieces, bind information and describe.
#include <charconv>
#include <cmath>
#include <random>

#include "client/oci_fixture.h"

namespace zorvan::client_test {
namespace {

using Statements = Oci;

template <class T>
OCIBind *bind_pos(OCIStmt *st, OCIError *err, ub4 pos, T *value, ub2 dty, sb2 *ind = nullptr, ub2 *len = nullptr,
                  sb4 size = sizeof(T)) {
  OCIBind *b = nullptr;
  EXPECT_EQ(OCIBindByPos(st, &b, err, pos, value, size, dty, ind, len, nullptr, 0, nullptr, OCI_DEFAULT), OCI_SUCCESS);
  return b;
}

template <class T>
OCIDefine *define(OCIStmt *st, OCIError *err, ub4 pos, T *value, ub2 dty, sb2 *ind = nullptr, ub2 *len = nullptr,
                  ub2 *rcode = nullptr, sb4 size = sizeof(T)) {
  OCIDefine *d = nullptr;
  EXPECT_EQ(OCIDefineByPos(st, &d, err, pos, value, size, dty, ind, len, rcode, OCI_DEFAULT), OCI_SUCCESS);
  return d;
}

TEST_F(Statements, ArrayInsertRunsIterationsFromRowOffset) {
  ok("CREATE TABLE t (n NUMBER, s VARCHAR2(20))");
  OCIStmt *st = prepare("INSERT INTO t VALUES (:n, :s)");
  int32_t n[5] = {1, 2, 3, 4, 5};
  char s[5][8] = {"one", "two", "three", "four", "five"};
  bind_pos(st, err, 1, n, SQLT_INT, nullptr, nullptr, sizeof(int32_t));
  bind_pos(st, err, 2, s[0], SQLT_STR, nullptr, nullptr, 8);
  // iters 5, rowoff 2: rows 2, 3 and 4 of the arrays.
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 5, 2, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  ub4 count = 0;
  OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, err);
  EXPECT_EQ(count, 3u);
  free(st);
  EXPECT_EQ(rows("SELECT n, s FROM t ORDER BY n"), "3|three;4|four;5|five");
}

TEST_F(Statements, ArrayDmlStopsAtTheFailingIterationAndKeepsTheRowsBefore) {
  ok("CREATE TABLE t (n NUMBER PRIMARY KEY)");
  OCIStmt *st = prepare("INSERT INTO t VALUES (:1)");
  int32_t n[4] = {1, 2, 2, 3};
  bind_pos(st, err, 1, n, SQLT_INT);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 4, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1);
  ub4 count = 0;
  OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, err);
  EXPECT_EQ(count, 2u);
  free(st);
  EXPECT_EQ(rows("SELECT n FROM t ORDER BY n"), "1;2");
}

TEST_F(Statements, ZeroIterationsForDmlIsAnError) {
  ok("CREATE TABLE t (n NUMBER)");
  OCIStmt *st = prepare("INSERT INTO t VALUES (1)");
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 24333);
  free(st);
}

TEST_F(Statements, FetchInBatchesEndsWithNoDataOnThePartialBatch) {
  ok("CREATE TABLE t (n NUMBER)");
  for (int i = 1; i <= 7; ++i) ok("INSERT INTO t VALUES (" + std::to_string(i) + ")");
  OCIStmt *st = prepare("SELECT n FROM t ORDER BY n");
  int32_t n[3] = {};
  define(st, err, 1, n, SQLT_INT, nullptr, nullptr, nullptr, sizeof(int32_t));
  // iters 3: the first batch comes with the execute.
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 3, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  EXPECT_EQ(n[0], 1);
  EXPECT_EQ(n[2], 3);
  ASSERT_EQ(OCIStmtFetch(st, err, 3, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(n[0], 4);
  EXPECT_EQ(OCIStmtFetch(st, err, 3, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_NO_DATA);
  ub4 fetched = 0, total = 0;
  OCIAttrGet(st, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, err);
  OCIAttrGet(st, OCI_HTYPE_STMT, &total, nullptr, OCI_ATTR_ROW_COUNT, err);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(total, 7u);
  EXPECT_EQ(n[0], 7);
  EXPECT_EQ(OCIStmtFetch(st, err, 3, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1002);
  free(st);
}

TEST_F(Statements, QueriesNeedTheirColumnsDefinedAndStatementsExecuted) {
  ok("CREATE TABLE t (a NUMBER, b NUMBER)");
  ok("INSERT INTO t VALUES (1, 2)");
  OCIStmt *st = prepare("SELECT a, b FROM t");
  EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 24338);
  int32_t a = 0;
  define(st, err, 1, &a, SQLT_INT);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 24374);
  free(st);
  st = prepare("UPDATE t SET a = 3");
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1002);
  free(st);
  st = prepare("SELECT a FROM t WHERE a > 100");
  define(st, err, 1, &a, SQLT_INT);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_NO_DATA);
  free(st);
}

TEST_F(Statements, EveryTypeGoesInAndComesBack) {
  ok("CREATE TABLE t (i NUMBER(10), f FLOAT, s VARCHAR2(30), d DATE, l LONG, r RAW(10))");
  OCIStmt *st = prepare("INSERT INTO t VALUES (:i, :f, :s, :d, :l, :r)");
  int32_t i = -42;
  double f = 3.25;
  char s[] = "caf\xe9";  // the client's character set (WE8MSWIN1252)
  OCIDate d{};
  d.OCIDateYYYY = 2004;
  d.OCIDateMM = 7;
  d.OCIDateDD = 1;
  d.OCIDateTime.OCITimeHH = 9;
  d.OCIDateTime.OCITimeMI = 5;
  char l[] = "long text";
  ub2 l_len = 9;
  unsigned char r[3] = {0x01, 0xAB, 0xFF};
  bind_pos(st, err, 1, &i, SQLT_INT);
  bind_pos(st, err, 2, &f, SQLT_FLT);
  bind_pos(st, err, 3, s, SQLT_STR, nullptr, nullptr, sizeof s);
  bind_pos(st, err, 4, &d, SQLT_ODT);
  bind_pos(st, err, 5, l, SQLT_LNG, nullptr, &l_len, 9);
  bind_pos(st, err, 6, r, SQLT_BIN, nullptr, nullptr, 3);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  free(st);
  EXPECT_EQ(one("SELECT length(s) FROM t"), "4");  // four characters, five bytes in UTF-8
  st = prepare("SELECT i, f, s, d, l, r FROM t");
  int32_t i2 = 0;
  double f2 = 0;
  char s2[30] = {};
  OCIDate d2{};
  char l2[20] = {};
  ub2 l2_len = 0;
  unsigned char r2[10] = {};
  ub2 r2_len = 0;
  define(st, err, 1, &i2, SQLT_INT);
  define(st, err, 2, &f2, SQLT_FLT);
  define(st, err, 3, s2, SQLT_STR, nullptr, nullptr, nullptr, sizeof s2);
  define(st, err, 4, &d2, SQLT_ODT);
  define(st, err, 5, l2, SQLT_LNG, nullptr, &l2_len, nullptr, sizeof l2);
  define(st, err, 6, r2, SQLT_BIN, nullptr, &r2_len, nullptr, sizeof r2);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  EXPECT_EQ(i2, -42);
  EXPECT_EQ(f2, 3.25);
  EXPECT_STREQ(s2, "caf\xe9");
  EXPECT_EQ(d2.OCIDateYYYY, 2004);
  EXPECT_EQ(d2.OCIDateTime.OCITimeHH, 9);
  EXPECT_EQ(d2.OCIDateTime.OCITimeMI, 5);
  EXPECT_EQ(std::string(l2, l2_len), "long text");
  ASSERT_EQ(r2_len, 3);
  EXPECT_EQ(r2[1], 0xAB);
  free(st);
  EXPECT_EQ(one("SELECT r FROM t"), "01ABFF");
}

TEST_F(Statements, DoublesBecomeTheShortestNumberThatReadsBack) {
  ok("CREATE TABLE t (id NUMBER, x NUMBER, p NUMBER(7,2))");
  std::vector<double> values = {0.1, -0.1, 0.125, 1.0 / 3, 2.5e-15, 123456.789, -9007199254740991.0, 1e-7, 0.3,
                                0.1 + 0.2, 6.02214076e23, 4503599627370495.5,
                                1.3299000206269494e17};
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i)
    values.push_back(std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random), static_cast<int>(random() % 120) - 60));
  OCIStmt *st = prepare("INSERT INTO t (id, x) VALUES (:1, :2)");
  std::vector<int32_t> ids(values.size());
  for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<int32_t>(i);
  bind_pos(st, err, 1, ids.data(), SQLT_INT);
  bind_pos(st, err, 2, values.data(), SQLT_FLT);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, static_cast<ub4>(values.size()), 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS)
      << error_text();
  free(st);
  st = prepare("SELECT x, TO_CHAR(x) FROM t ORDER BY id");
  double x = 0;
  char text[64];
  define(st, err, 1, &x, SQLT_FLT);
  define(st, err, 2, text, SQLT_STR, nullptr, nullptr, nullptr, sizeof text);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
  for (double v : values) {
    ASSERT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_SUCCESS) << error_text();
    EXPECT_EQ(x, v) << text;
    // No more significant digits than the shortest text that reads back.
    char shortest[64];
    auto end = std::to_chars(shortest, shortest + sizeof shortest, v, std::chars_format::scientific).ptr;
    size_t wanted = static_cast<size_t>(std::find(shortest, end, 'e') - shortest) - (v < 0) - (end - shortest > 2 && shortest[(v < 0) + 1] == '.');
    std::string digits;
    for (const char *c = text; *c && *c != 'E'; ++c)
      if (std::isdigit(static_cast<unsigned char>(*c))) digits += *c;
    digits.erase(0, digits.find_first_not_of('0'));
    digits.erase(digits.find_last_not_of('0') + 1);
    EXPECT_LE(digits.size(), wanted) << text << " for " << std::string(shortest, end);
  }
  free(st);
  // Below NUMBER's range a double becomes zero.
  double tiny = -1.5e-200;
  st = prepare("INSERT INTO t (id, x) VALUES (999, :1)");
  bind_pos(st, err, 1, &tiny, SQLT_FLT);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  free(st);
  EXPECT_EQ(one("SELECT x FROM t WHERE id = 999"), "0");
  // Values that fit a NUMBER(7,2) as they are, and values it must round or refuse.
  ok("INSERT INTO t (id, p) VALUES (1000, 12345.67)");
  ok("INSERT INTO t (id, p) VALUES (1001, -0.5)");
  ok("INSERT INTO t (id, p) VALUES (1002, 0.005)");
  ok("INSERT INTO t (id, p) VALUES (1003, 99999.994)");
  EXPECT_EQ(fails("INSERT INTO t (id, p) VALUES (1004, 99999.995)"), 1438);
  EXPECT_EQ(fails("INSERT INTO t (id, p) VALUES (1005, 123456)"), 1438);
  EXPECT_EQ(rows("SELECT p FROM t WHERE id >= 1000 ORDER BY id"), "12345.67;-.5;.01;99999.99");
}

TEST_F(Statements, ConversionsFailAsOracleFails) {
  ok("CREATE TABLE t (n NUMBER, s VARCHAR2(10), d DATE)");
  OCIStmt *st = prepare("INSERT INTO t (n) VALUES (:1)");
  char text[] = "12x";
  bind_pos(st, err, 1, text, SQLT_STR, nullptr, nullptr, sizeof text);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1722);
  free(st);
  st = prepare("INSERT INTO t (d) VALUES (:1)");
  char date_text[] = "2004-01-01";
  bind_pos(st, err, 1, date_text, SQLT_STR, nullptr, nullptr, sizeof date_text);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1861);  // against DD-MON-RR
  free(st);
  ok("INSERT INTO t VALUES (123456789012, 'x', SYSDATE)");
  st = prepare("SELECT n FROM t WHERE n IS NOT NULL");
  int32_t small = 0;
  define(st, err, 1, &small, SQLT_INT);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1455);
  free(st);
  // Text that is no number, read as one.
  st = prepare("SELECT s FROM t WHERE s IS NOT NULL");
  define(st, err, 1, &small, SQLT_INT);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1722);
  free(st);
}

TEST_F(Statements, NullsAndTruncationReachIndicatorsLengthsAndReturnCodes) {
  ok("CREATE TABLE t (s VARCHAR2(20))");
  ok("INSERT INTO t VALUES (NULL)");
  ok("INSERT INTO t VALUES ('abcdefghij')");
  OCIStmt *st = prepare("SELECT s FROM t ORDER BY s NULLS FIRST");
  char s[2][6] = {};
  sb2 ind[2] = {99, 99};
  ub2 len[2] = {99, 99};
  ub2 code[2] = {99, 99};
  define(st, err, 1, s[0], SQLT_STR, ind, len, code, 6);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 2, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS_WITH_INFO);
  EXPECT_EQ(error_code(), 24345);
  EXPECT_EQ(ind[0], -1);
  EXPECT_EQ(code[0], 1405);
  EXPECT_EQ(ind[1], 10);  // the original length
  EXPECT_EQ(code[1], 1406);
  EXPECT_EQ(len[1], 5);
  EXPECT_STREQ(s[1], "abcde");
  free(st);
  // Without indicators the same rows fail the call.
  st = prepare("SELECT s FROM t WHERE s IS NULL");
  char plain[30];
  define(st, err, 1, plain, SQLT_STR, nullptr, nullptr, nullptr, sizeof plain);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1405);
  free(st);
  st = prepare("SELECT s FROM t WHERE s IS NOT NULL");
  define(st, err, 1, plain, SQLT_STR, nullptr, nullptr, nullptr, 4);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1406);
  free(st);
  // An IN indicator of -1 sends NULL whatever the buffer holds.
  st = prepare("INSERT INTO t VALUES (:1)");
  char value[] = "ignored";
  sb2 null_ind = -1;
  bind_pos(st, err, 1, value, SQLT_STR, &null_ind, nullptr, sizeof value);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
  free(st);
  EXPECT_EQ(one("SELECT count(*) FROM t WHERE s IS NULL"), "2");
}

TEST_F(Statements, UnboundAndUnknownPlaceholdersAreErrors) {
  ok("CREATE TABLE t (a NUMBER, b NUMBER)");
  OCIStmt *st = prepare("INSERT INTO t VALUES (:a, :b)");
  int32_t a = 1;
  OCIBind *b = nullptr;
  EXPECT_EQ(OCIBindByName(st, &b, err, reinterpret_cast<const OraText *>(":nope"), 5, &a, 4, SQLT_INT, nullptr,
                          nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_ERROR);
  EXPECT_EQ(error_code(), 1036);
  EXPECT_EQ(OCIBindByPos(st, &b, err, 3, &a, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_ERROR);
  EXPECT_EQ(error_code(), 1036);
  ASSERT_EQ(OCIBindByName(st, &b, err, reinterpret_cast<const OraText *>("A"), 1, &a, 4, SQLT_INT, nullptr, nullptr,
                          nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1008);
  // Binding again replaces the earlier bind.
  int32_t a2 = 7, b2 = 8;
  OCIBind *again = b;
  ASSERT_EQ(OCIBindByName(st, &again, err, reinterpret_cast<const OraText *>(":a"), 2, &a2, 4, SQLT_INT, nullptr,
                          nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  EXPECT_EQ(again, b);
  bind_pos(st, err, 2, &b2, SQLT_INT);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  free(st);
  EXPECT_EQ(rows("SELECT a, b FROM t"), "7|8");
}

TEST_F(Statements, AHandleGivenAgainLeavesItsOldPlaceOrColumn) {
  ok("CREATE TABLE t (a NUMBER, b NUMBER)");
  OCIStmt *st = prepare("INSERT INTO t VALUES (:a, :b)");
  int32_t a = 1;
  OCIBind *b = bind_pos(st, err, 1, &a, SQLT_INT);
  OCIBind *same = b;
  ASSERT_EQ(OCIBindByPos(st, &same, err, 2, &a, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  EXPECT_EQ(same, b);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1008);
  free(st);
  ok("INSERT INTO t VALUES (1, 2)");
  st = prepare("SELECT a, b FROM t");
  OCIDefine *d = define(st, err, 1, &a, SQLT_INT);
  OCIDefine *again = d;
  ASSERT_EQ(OCIDefineByPos(st, &again, err, 2, &a, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(again, d);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 24374);
  free(st);
}

TEST_F(Statements, ANameUsedTwiceIsOnePlaceholderForBindByName) {
  ok("CREATE TABLE t (a NUMBER, b NUMBER)");
  OCIStmt *st = prepare("INSERT INTO t VALUES (:x, :x + 1)");
  int32_t x = 5;
  OCIBind *b = nullptr;
  ASSERT_EQ(OCIBindByName(st, &b, err, reinterpret_cast<const OraText *>(":x"), 2, &x, 4, SQLT_INT, nullptr, nullptr,
                          nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  free(st);
  EXPECT_EQ(rows("SELECT a, b FROM t"), "5|6");
}

TEST_F(Statements, StatementTypesAndPlaceholdersAreKnownAtPrepare) {
  struct {
    const char *sql;
    ub2 type;
  } cases[] = {{"SELECT 1 FROM dual", OCI_STMT_SELECT},    {"  with q as (select 1 from dual) select * from q", OCI_STMT_SELECT},
               {"UPDATE t SET a = 1", OCI_STMT_UPDATE},    {"DELETE FROM t", OCI_STMT_DELETE},
               {"INSERT INTO t VALUES (1)", OCI_STMT_INSERT}, {"CREATE TABLE t (a NUMBER)", OCI_STMT_CREATE},
               {"DROP TABLE t", OCI_STMT_DROP},            {"ALTER TABLE t ADD (b NUMBER)", OCI_STMT_ALTER},
               {"BEGIN NULL; END;", OCI_STMT_BEGIN},       {"DECLARE x NUMBER; BEGIN NULL; END;", OCI_STMT_DECLARE},
               {"not sql at all", OCI_STMT_UNKNOWN}};
  for (const auto &c : cases) {
    OCIStmt *st = prepare(c.sql);
    ub2 type = 99;
    EXPECT_EQ(OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err), OCI_SUCCESS);
    EXPECT_EQ(type, c.type) << c.sql;
    free(st);
  }
  // A text that is not SQL fails when it runs, not when it is prepared.
  EXPECT_EQ(fails("not sql at all"), 900);
}

TEST_F(Statements, BindInfoListsPlaceholdersAsOracleDoes) {
  OCIStmt *st = prepare("select :value1 + :VaLue_2 + :value1 -- :hidden\n from dual where ':x' = /* :y */ 'a'");
  OraText *names[10] = {};
  ub1 lengths[10] = {};
  OraText *indicators[10] = {};
  ub1 indicator_lengths[10] = {};
  ub1 dups[10] = {};
  OCIBind *binds[10] = {};
  sb4 found = 0;
  ASSERT_EQ(OCIStmtGetBindInfo(st, err, 10, 1, &found, names, lengths, indicators, indicator_lengths, dups, binds),
            OCI_SUCCESS);
  EXPECT_EQ(found, 3);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(names[0]), lengths[0]), "VALUE1");
  EXPECT_EQ(std::string(reinterpret_cast<char *>(names[1]), lengths[1]), "VALUE_2");
  EXPECT_EQ(dups[2], 1);
  EXPECT_EQ(dups[1], 0);
  EXPECT_EQ(binds[0], nullptr);
  // More placeholders than the arrays hold: a negative count.
  ASSERT_EQ(OCIStmtGetBindInfo(st, err, 2, 1, &found, names, lengths, indicators, indicator_lengths, dups, binds),
            OCI_SUCCESS);
  EXPECT_EQ(found, -3);
  free(st);
  st = prepare("select 1 from dual");
  EXPECT_EQ(OCIStmtGetBindInfo(st, err, 10, 1, &found, names, lengths, indicators, indicator_lengths, dups, binds),
            OCI_NO_DATA);
  free(st);
}

TEST_F(Statements, SelectListDescribeAnswersOraclesValues) {
  ok("CREATE TABLE t (id NUMBER(10,2) NOT NULL, name VARCHAR2(20 CHAR), code CHAR(3), at DATE, n NUMBER, "
     "i INTEGER)");
  OCIStmt *st = prepare("SELECT id, name, code, at, n, i, id * 2 AS twice FROM t");
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), OCI_SUCCESS) << error_text();
  ub4 count = 0;
  OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
  ASSERT_EQ(count, 7u);
  struct Expected {
    const char *name;
    ub2 type;
    ub2 size;
    sb2 precision;
    sb1 scale;
    ub1 nullable;
  } expected[] = {{"ID", SQLT_NUM, 22, 10, 2, 0},  {"NAME", SQLT_CHR, 80, 0, 0, 1},  {"CODE", SQLT_AFC, 3, 0, 0, 1},
                  {"AT", SQLT_DAT, 7, 0, 0, 1},   {"N", SQLT_NUM, 22, 0, -127, 1}, {"I", SQLT_NUM, 22, 38, 0, 1},
                  {"TWICE", SQLT_NUM, 22, 0, -127, 1}};
  for (ub4 i = 0; i < count; ++i) {
    OCIParam *p = nullptr;
    ASSERT_EQ(OCIParamGet(st, OCI_HTYPE_STMT, err, reinterpret_cast<void **>(&p), i + 1), OCI_SUCCESS);
    OraText *name = nullptr;
    ub4 name_len = 0;
    ub2 type = 0, size = 0;
    // Oracle writes the precision of a select-list column as an sb2.
    unsigned char precision[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    sb1 scale = 0;
    ub1 nullable = 9;
    OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &name_len, OCI_ATTR_NAME, err);
    OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
    OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err);
    OCIAttrGet(p, OCI_DTYPE_PARAM, precision, nullptr, OCI_ATTR_PRECISION, err);
    OCIAttrGet(p, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, err);
    OCIAttrGet(p, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, err);
    sb2 precision_value;
    std::memcpy(&precision_value, precision, 2);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(name), name_len), expected[i].name);
    EXPECT_EQ(type, expected[i].type) << expected[i].name;
    EXPECT_EQ(size, expected[i].size) << expected[i].name;
    EXPECT_EQ(precision_value, expected[i].precision) << expected[i].name;
    EXPECT_EQ(precision[2], 0xEE) << "two bytes written";
    EXPECT_EQ(scale, expected[i].scale) << expected[i].name;
    EXPECT_EQ(nullable, expected[i].nullable) << expected[i].name;
    OCIDescriptorFree(p, OCI_DTYPE_PARAM);
  }
  free(st);
}

TEST_F(Statements, PlsqlBlocksAssignToPlaceholders) {
  OCIStmt *st = prepare("BEGIN :out := :in * 2; :text := 'got ' || :in; END;");
  int32_t in = 21, out = 0;
  char text[20] = {};
  OCIBind *b = nullptr;
  OCIBindByName(st, &b, err, reinterpret_cast<const OraText *>(":in"), 3, &in, 4, SQLT_INT, nullptr, nullptr, nullptr,
                0, nullptr, OCI_DEFAULT);
  b = nullptr;
  OCIBindByName(st, &b, err, reinterpret_cast<const OraText *>(":out"), 4, &out, 4, SQLT_INT, nullptr, nullptr,
                nullptr, 0, nullptr, OCI_DEFAULT);
  b = nullptr;
  OCIBindByName(st, &b, err, reinterpret_cast<const OraText *>(":text"), 5, text, sizeof text, SQLT_STR, nullptr,
                nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  EXPECT_EQ(out, 42);
  EXPECT_STREQ(text, "got 21");
  free(st);
}

TEST_F(Statements, PlsqlRunsSqlAndRaisesOraclesExceptions) {
  ok("CREATE TABLE t (n NUMBER)");
  ok("BEGIN FOR i IN 1..5 LOOP INSERT INTO t VALUES (i); END LOOP; END;");
  EXPECT_EQ(one("SELECT sum(n) FROM t"), "15");
  OCIStmt *st = prepare("DECLARE v NUMBER; BEGIN SELECT n INTO v FROM t WHERE n > 10; END;");
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_NO_DATA);
  EXPECT_EQ(error_text(), "ORA-01403: no data found\nORA-06512: at line 1\n");
  free(st);
  EXPECT_EQ(fails("DECLARE v NUMBER; BEGIN SELECT n INTO v FROM t; END;"), 1422);
  EXPECT_EQ(fails("BEGIN RAISE_APPLICATION_ERROR(-20042, 'custom failure'); END;"), 20042);
  EXPECT_EQ(error_text(), "ORA-20042: custom failure\nORA-06512: at line 1\n");
  ok("DECLARE v NUMBER; BEGIN SELECT n INTO v FROM t WHERE n > 10; EXCEPTION WHEN NO_DATA_FOUND THEN "
     "INSERT INTO t VALUES (100); END;");
  EXPECT_EQ(one("SELECT max(n) FROM t"), "100");
  // A block is one statement: an unhandled exception undoes its changes.
  EXPECT_EQ(fails("BEGIN INSERT INTO t VALUES (200); RAISE_APPLICATION_ERROR(-20001, 'no'); END;"), 20001);
  EXPECT_EQ(one("SELECT count(*) FROM t WHERE n = 200"), "0");
}

TEST_F(Statements, InsertReturningGivesTheNewValues) {
  ok("CREATE SEQUENCE ids");
  ok("CREATE TABLE t (id NUMBER, name VARCHAR2(10))");
  OCIStmt *st = prepare("INSERT INTO t VALUES (ids.NEXTVAL, :name) RETURNING id, upper(name) INTO :id, :shout");
  char name[] = "ann";
  int32_t id = 0;
  char shout[10] = {};
  OCIBind *b = nullptr;
  OCIBindByName(st, &b, err, reinterpret_cast<const OraText *>(":name"), 5, name, sizeof name, SQLT_STR, nullptr,
                nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
  b = nullptr;
  OCIBindByName(st, &b, err, reinterpret_cast<const OraText *>(":id"), 3, &id, 4, SQLT_INT, nullptr, nullptr, nullptr,
                0, nullptr, OCI_DEFAULT);
  b = nullptr;
  OCIBindByName(st, &b, err, reinterpret_cast<const OraText *>(":shout"), 6, shout, sizeof shout, SQLT_STR, nullptr,
                nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  EXPECT_EQ(id, 1);
  EXPECT_STREQ(shout, "ANN");
  free(st);
}

}  // namespace
}  // namespace zorvan::client_test
