// Statements through ZorvanPack as a Zorvan program runs SQL: prepare,
// binds and defines of host variables and arrays, execute and fetch loops,
// LONG values in pieces, output binds, and the refusals that keep OCI
// inside the buffers it was given. Tables and rows are made with the
// plug-in's own commands.
#include <cstring>
#include <string>
#include <vector>

#include "oci.h"
#include "commands/sql_session.h"

namespace zorvan::test {
namespace {

using Statements = SqlSession;

TEST_F(Statements, ArraysGoInWithOneExecuteAndComeBackInFetchBatches) {
  sql("CREATE TABLE t (n NUMBER, r FLOAT, s VARCHAR2(20), d DATE)");
  const int rows = 100;
  std::vector<int32_t> n(rows + 1);
  std::vector<double> r(rows + 1);
  std::vector<std::string> s(rows + 1);
  std::vector<std::array<int16_t, 3>> d(rows + 1);
  for (int i = 1; i <= rows; ++i) {
    n[i] = i * 10;
    r[i] = i + 0.5;
    s[i] = "row " + std::to_string(i);
    d[i] = {static_cast<int16_t>(1 + i % 28), static_cast<int16_t>(1 + i % 12), 2004};
  }
  host().set_long_array("n", n);
  host().set_real_array("r", r);
  host().set_text_array("s", s);
  host().set_date_array("d", d);
  int32_t st = prepare("INSERT INTO t VALUES (:n, :r, :s, :d)");
  ASSERT_EQ(bind(st, 1, whole("n"), SQLT_INT).result, OCI_SUCCESS);
  ASSERT_EQ(bind(st, 2, whole("r"), SQLT_FLT).result, OCI_SUCCESS);
  ASSERT_EQ(bind(st, 3, whole("s"), SQLT_STR).result, OCI_SUCCESS);
  ASSERT_EQ(bind(st, 4, whole("d"), SQLT_ODT).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, rows), OCI_SUCCESS) << error_text();

  // Fetch into 30-row arrays: three full batches, then 10 rows and zeros.
  host().set_long_array("on", std::vector<int32_t>(31, -1));
  host().set_real_array("or", std::vector<double>(31, -1));
  host().set_text_array("os", std::vector<std::string>(31, "x"));
  st = prepare("SELECT n, r, s, TO_CHAR(d, 'YYYY-MM-DD') FROM t ORDER BY n");
  host().set_text_array("od", std::vector<std::string>(31, "x"));
  ASSERT_EQ(define(st, 1, whole("on"), SQLT_INT).result, OCI_SUCCESS);
  ASSERT_EQ(define(st, 2, whole("or"), SQLT_FLT).result, OCI_SUCCESS);
  ASSERT_EQ(define(st, 3, whole("os"), SQLT_STR).result, OCI_SUCCESS);
  ASSERT_EQ(define(st, 4, whole("od"), SQLT_STR).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 0), OCI_SUCCESS);
  std::vector<int32_t> seen;
  int32_t status = OCI_SUCCESS;
  while (status == OCI_SUCCESS) {
    status = fetch(st, 30);
    auto on = host().get_long_array("on");
    for (int i = 1; i <= 30 && on[i] != 0; ++i) seen.push_back(on[i]);
  }
  EXPECT_EQ(status, OCI_NO_DATA);
  ASSERT_EQ(seen.size(), 100u);
  EXPECT_EQ(seen.front(), 10);
  EXPECT_EQ(seen.back(), 1000);
  // The last batch had 10 rows: the rest of each array was cleared, element 0 kept.
  auto on = host().get_long_array("on");
  auto ors = host().get_real_array("or");
  auto os = host().get_text_array("os");
  auto od = host().get_text_array("od");
  EXPECT_EQ(on[0], -1);
  EXPECT_EQ(on[10], 1000);
  EXPECT_EQ(on[11], 0);
  EXPECT_EQ(ors[10], 100.5);
  EXPECT_EQ(os[10], "row 100");
  EXPECT_EQ(os[11], "");
  EXPECT_EQ(od[10], "2004-05-17");
}

TEST_F(Statements, RowOffsetAndCountsBeyondTheBuffersAreRefusedBeforeOci) {
  sql("CREATE TABLE t (n NUMBER)");
  host().set_long_array("n", {0, 1, 2, 3, 4});
  int32_t st = prepare("INSERT INTO t VALUES (:1)");
  ASSERT_EQ(bind(st, 1, whole("n"), SQLT_INT).result, OCI_SUCCESS);
  // Four rows bound: five iterations would read past the buffer.
  EXPECT_EQ(execute(st, 5), OCI_INVALID_HANDLE);
  ASSERT_EQ(execute(st, 4, 2), OCI_SUCCESS) << error_text();
  host().set_long_array("got", std::vector<int32_t>(4, 0));
  int32_t q = prepare("SELECT n FROM t ORDER BY n");
  ASSERT_EQ(define(q, 1, whole("got"), SQLT_INT).result, OCI_SUCCESS);
  EXPECT_EQ(execute(q, 4), OCI_INVALID_HANDLE);  // a query's first rows need room too
  ASSERT_EQ(execute(q, 0), OCI_SUCCESS);
  EXPECT_EQ(fetch(q, 4), OCI_INVALID_HANDLE);
  EXPECT_EQ(fetch(q, 3), OCI_NO_DATA);
  EXPECT_EQ(host().get_long_array("got"), (std::vector<int32_t>{0, 3, 4, 0}));
}

TEST_F(Statements, OutputBindsComeBackFromABlockAndFromReturning) {
  sql("CREATE TABLE t (id NUMBER, name VARCHAR2(20))");
  host().set_long("in", 21);
  host().set_long("out", 0);
  host().set_string("name", "");
  int32_t st = prepare("BEGIN :o := :i * 2; SELECT 'answer' INTO :nm FROM dual; END;");
  ASSERT_EQ(bind(st, 1, variable_param("out", -1), SQLT_INT, none(), OCI_DEFAULT, 1).result, OCI_SUCCESS);
  ASSERT_EQ(bind(st, 2, variable_param("in", -1), SQLT_INT).result, OCI_SUCCESS);
  ASSERT_EQ(bind(st, 3, variable_param("name", -1), SQLT_STR, none(), OCI_DEFAULT, 1).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 1), OCI_SUCCESS) << error_text();
  EXPECT_EQ(host().get_long("out"), 42);
  EXPECT_EQ(host().get_string("name"), "answer");
  host().set_long("id", 0);
  st = prepare("INSERT INTO t VALUES (7, 'seven') RETURNING id INTO :id");
  ASSERT_EQ(bind(st, 1, variable_param("id", -1), SQLT_INT, none(), OCI_DEFAULT, 1).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 1), OCI_SUCCESS) << error_text();
  EXPECT_EQ(host().get_long("id"), 7);
}

TEST_F(Statements, NullsReachIndicatorsAndTheValueIsCleared) {
  sql("CREATE TABLE t (n NUMBER, s VARCHAR2(10))");
  sql("INSERT INTO t VALUES (NULL, 'abc')");
  host().set_long("n", 5);
  host().set_long("ind", 0);
  host().set_string("s", "old");
  host().set_long("sind", 7);
  int32_t st = prepare("SELECT n, s FROM t");
  ASSERT_EQ(define(st, 1, variable_param("n", -1), SQLT_INT, variable_param("ind", -1)).result, OCI_SUCCESS);
  ASSERT_EQ(define(st, 2, variable_param("s", -1), SQLT_STR, variable_param("sind", -1)).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 1), OCI_SUCCESS) << error_text();
  EXPECT_EQ(host().get_long("ind"), -1);
  EXPECT_EQ(host().get_long("n"), 0);
  EXPECT_EQ(host().get_long("sind"), 0);
  EXPECT_EQ(host().get_string("s"), "abc");
}

TEST_F(Statements, LongValuesMoveInPiecesBothWays) {
  sql("CREATE TABLE t (id NUMBER, l LONG)");
  host().set_text_limit(8u << 20);
  const std::vector<size_t> sizes = {0, 1, 65535, 65536, 65537, 5000000};
  for (size_t k = 0; k < sizes.size(); ++k) {
    std::string value(sizes[k], ' ');
    for (size_t i = 0; i < value.size(); ++i) value[i] = static_cast<char>('a' + (i * 7 + k) % 26);
    host().set_text("value", value);
    host().set_long("id", static_cast<int32_t>(k));
    int32_t st = prepare("INSERT INTO t VALUES (:id, :l)");
    ASSERT_EQ(bind(st, 1, variable_param("id", -1), SQLT_INT).result, OCI_SUCCESS);
    ASSERT_EQ(bind(st, 2, variable_param("value", -1), SQLT_LNG, none(), OCI_DATA_AT_EXEC).result, OCI_SUCCESS);
    ASSERT_EQ(execute(st, 1), OCI_SUCCESS) << sizes[k] << ": " << error_text();
    // A second execute sends the value again, whole.
    host().set_long("id", static_cast<int32_t>(k + 100));
    ASSERT_EQ(execute(st, 1), OCI_SUCCESS) << error_text();
  }
  host().set_text("got", "");
  host().set_long("id", 0);
  int32_t st = prepare("SELECT id, l FROM t ORDER BY id");
  ASSERT_EQ(define(st, 1, variable_param("id", -1), SQLT_INT).result, OCI_SUCCESS);
  ASSERT_EQ(define(st, 2, variable_param("got", -1), SQLT_LNG, none(), OCI_DYNAMIC_FETCH).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 0), OCI_SUCCESS);
  for (size_t k = 0; k < 2 * sizes.size(); ++k) {
    ASSERT_EQ(fetch(st, 1), OCI_SUCCESS) << k << ": " << error_text();
    size_t id = static_cast<size_t>(host().get_long("id"));
    size_t which = id >= 100 ? id - 100 : id;
    std::string got = host().get_text("got");
    // Exactly this value's bytes, however long the one before it was.
    ASSERT_EQ(got.size(), sizes[which]) << "id " << id;
    for (size_t i = 0; i < got.size(); i += 4099)
      ASSERT_EQ(got[i], static_cast<char>('a' + (i * 7 + which) % 26)) << "id " << id << " at " << i;
  }
  EXPECT_EQ(fetch(st, 1), OCI_NO_DATA);
}

TEST_F(Statements, ADynamicDefineCountsNoMoreThanItsBufferHolds) {
  sql("CREATE TABLE t (l LONG)");
  host().set_text_limit(1u << 20);
  std::string value(200000, 'x');
  host().set_text("value", value);
  int32_t in = prepare("INSERT INTO t VALUES (:l)");
  ASSERT_EQ(bind(in, 1, variable_param("value", -1), SQLT_LNG, none(), OCI_DATA_AT_EXEC).result, OCI_SUCCESS);
  ASSERT_EQ(execute(in, 1), OCI_SUCCESS) << error_text();
  host().set_text("got", "");
  int32_t st = prepare("SELECT l FROM t");
  ASSERT_EQ(define(st, 1, variable_param("got", -1), SQLT_LNG, none(), OCI_DYNAMIC_FETCH).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 0), OCI_SUCCESS);
  // The first piece claims 1,000,000 bytes more than its room: the plug-in
  // counts at most what its buffer holds (a copy past it would be caught
  // by the sanitizers), and the value stays within the bytes it has.
  client.script_piece_length(1000000);
  EXPECT_EQ(fetch(st, 1), OCI_SUCCESS) << error_text();
  std::string got = host().get_text("got");
  EXPECT_LE(got.size(), value.size());
  EXPECT_GT(got.size(), 0u);
  EXPECT_EQ(got.find_first_not_of('x'), std::string::npos);
}

TEST_F(Statements, DateAndTimeVariablesShareOneColumn) {
  sql("CREATE TABLE t (at DATE)");
  host().set_date("day", 1, 7, 2004);
  host().set_time("time", 9 * 3600 + 5 * 60);
  int32_t st = prepare("INSERT INTO t VALUES (:1)");
  auto r = host().call(172, {long_param(st), long_param(0), long_param(err), long_param(1), variable_param("day", -1),
                             variable_param("time", -1), long_param(SQLT_ODT), none(), none(), none(),
                             long_param(OCI_DEFAULT), long_param(0)});
  ASSERT_EQ(r.result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 1), OCI_SUCCESS) << error_text();
  host().set_string("text", "");
  host().set_long("seconds", 0);
  st = prepare("SELECT TO_CHAR(at, 'YYYY-MM-DD HH24:MI:SS'), at FROM t");
  ASSERT_EQ(define(st, 1, variable_param("text", -1), SQLT_STR).result, OCI_SUCCESS);
  ASSERT_EQ(define(st, 2, variable_param("seconds", -1), SQLT_ODT).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 1), OCI_SUCCESS);
  EXPECT_EQ(host().get_string("text"), "2004-07-01 09:05:00");
  EXPECT_EQ(host().get_long("seconds"), 32700);
  // A pair whose second variable needs more room than the first is refused.
  host().set_long("small", 1);
  host().set_text("big", "x");
  r = host().call(172, {long_param(st), long_param(0), long_param(err), long_param(1), variable_param("small", -1),
                        variable_param("big", -1), long_param(SQLT_INT), none(), none(), none(),
                        long_param(OCI_DEFAULT), long_param(0)});
  EXPECT_EQ(r.result, OCI_INVALID_HANDLE);
}

TEST_F(Statements, BindInformationFillsOnlyTheEntriesOciGave) {
  int32_t st = prepare("SELECT :a + :b + :a FROM dual");
  auto info = [&](int32_t start, int32_t size) {
    host().set_string_array("names", std::vector<std::string>(static_cast<size_t>(size) + 1, "-"), 30);
    host().set_string_array("inds", std::vector<std::string>(static_cast<size_t>(size) + 1, "-"), 30);
    host().set_boolean_array("dups", std::vector<bool>(static_cast<size_t>(size) + 1, true));
    host().set_long_array("binds", std::vector<int32_t>(static_cast<size_t>(size) + 1, -1));
    return host().call(17, {long_param(st), long_param(err), long_param(start), long_param(0), whole("names"),
                            whole("inds"), whole("dups"), whole("binds")});
  };
  auto r = info(1, 10);
  ASSERT_EQ(r.result, OCI_SUCCESS) << error_text();
  EXPECT_EQ(r.long_at(4), 3);
  auto names = host().get_string_array("names");
  EXPECT_EQ(names[0], "-");
  EXPECT_EQ(names[1], "A");
  EXPECT_EQ(names[2], "B");
  EXPECT_EQ(names[3], "A");
  EXPECT_EQ(names[4], "-");  // past what OCI gave: untouched
  EXPECT_EQ(host().get_boolean_array("dups"), (std::vector<bool>{true, false, false, true, true, true, true, true,
                                                                   true, true, true}));
  EXPECT_EQ(host().get_string_array("inds")[1], "");
  // From the second placeholder, room for one: a negative count, one entry.
  r = info(2, 1);
  ASSERT_EQ(r.result, OCI_SUCCESS);
  EXPECT_EQ(r.long_at(4), -3);
  EXPECT_EQ(host().get_string_array("names"), (std::vector<std::string>{"-", "B"}));
  // No placeholders: OCI_NO_DATA through the error path, nothing written.
  st = prepare("SELECT 1 FROM dual");
  r = info(1, 10);
  EXPECT_EQ(r.result, OCI_NO_DATA);
  EXPECT_EQ(host().get_string_array("names")[1], "-");
  // A names array claiming 2^31 - 1 elements: its working arrays are refused,
  // not wrapped into a small allocation OCI would then overrun.
  st = prepare("SELECT :a FROM dual");
  info(1, 2);
  emu::Variable huge = host().variable("names");
  std::memcpy(huge.bytes + abi::kVarArrayCount, "\xFF\xFF\xFF\x7F", 4);
  host().set_variable("names", huge);
  r = host().call(17, {long_param(st), long_param(err), long_param(1), long_param(0), whole("names"), whole("inds"),
                       whole("dups"), whole("binds")});
  EXPECT_EQ(r.result, OCI_ERROR);
  // A handles array of another kind is refused before OCI.
  host().set_integer_array("binds", {0, 0});
  r = host().call(17, {long_param(st), long_param(err), long_param(1), long_param(0), whole("names"), whole("inds"),
                       whole("dups"), whole("binds")});
  EXPECT_EQ(r.result, OCI_INVALID_HANDLE);
}

TEST_F(Statements, StatementAttributesRowidAndSelectListDescribe) {
  sql("CREATE TABLE t (id NUMBER(6), name VARCHAR2(30))");
  int32_t st = prepare("INSERT INTO t VALUES (1, 'one')");
  auto attr = [&](int32_t handle, int32_t attribute) {
    return host().call(67, {long_param(handle), long_param(0), long_param(attribute), long_param(err)});
  };
  EXPECT_EQ(attr(st, OCI_ATTR_STMT_TYPE).long_at(2), OCI_STMT_INSERT);
  ASSERT_EQ(execute(st, 1), OCI_SUCCESS);
  EXPECT_EQ(attr(st, OCI_ATTR_ROW_COUNT).long_at(2), 1);
  // The ROWID comes in a descriptor the host owns and frees.
  auto rowid = attr(st, OCI_ATTR_ROWID);
  ASSERT_EQ(rowid.result, OCI_SUCCESS) << error_text();
  int32_t descriptor = rowid.long_at(2);
  ASSERT_NE(descriptor, 0);
  host().set_long("rid", descriptor);
  int32_t q = prepare("SELECT name FROM t WHERE ROWID = :r");
  auto b = host().call(63, {long_param(q), long_param(0), long_param(err), long_param(1), variable_param("rid", -1),
                            long_param(SQLT_RDD), none(), none(), none(), long_param(0), long_param(0)});
  EXPECT_EQ(b.result, OCI_INVALID_HANDLE);  // not among the bind buffer's types
  EXPECT_EQ(host().call(59, {long_param(descriptor)}).result, OCI_SUCCESS);
  // Prefetch set and read back; the select list described after execute.
  q = prepare("SELECT id, name FROM t");
  EXPECT_EQ(host().call(65, {long_param(q), long_param(50), long_param(OCI_ATTR_PREFETCH_ROWS), long_param(err)}).result,
            OCI_SUCCESS);
  EXPECT_EQ(attr(q, OCI_ATTR_PREFETCH_ROWS).long_at(2), 50);
  ASSERT_EQ(execute(q, 0), OCI_SUCCESS);
  EXPECT_EQ(attr(q, OCI_ATTR_PARAM_COUNT).long_at(2), 2);
  auto param = host().call(27, {long_param(q), long_param(err), long_param(0), long_param(2)});
  ASSERT_EQ(param.result, OCI_SUCCESS);
  int32_t column = param.long_at(3);
  EXPECT_EQ(attr(column, OCI_ATTR_DATA_TYPE).long_at(2), SQLT_CHR);
  EXPECT_EQ(attr(column, OCI_ATTR_DATA_SIZE).long_at(2), 30);
  auto name = host().call(68, {long_param(column), string_param(""), long_param(OCI_ATTR_NAME), long_param(err)});
  EXPECT_EQ(name.string_at(2), "NAME");
}

TEST_F(Statements, CopiesStayInsideTheirRowsWhateverTheHostHolds) {
  sql("CREATE TABLE t (id NUMBER, s VARCHAR2(4000))");
  // A text array's rows are 4000 bytes apart: a longer element is cut to its row.
  host().set_text_array("s", {"", "short", std::string(5000, 'x'), "after"});
  host().set_long_array("id", {0, 1, 2, 3});
  int32_t st = prepare("INSERT INTO t VALUES (:1, :2)");
  ASSERT_EQ(bind(st, 1, whole("id"), SQLT_INT).result, OCI_SUCCESS);
  ASSERT_EQ(bind(st, 2, whole("s"), SQLT_STR).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 3), OCI_SUCCESS) << error_text();
  host().set_long_array("lengths", {0, 0, 0, 0});
  host().set_long_array("ids", {0, 0, 0, 0});
  int32_t q = prepare("SELECT length(s), id FROM t ORDER BY id");
  ASSERT_EQ(define(q, 1, whole("lengths"), SQLT_INT).result, OCI_SUCCESS);
  ASSERT_EQ(define(q, 2, whole("ids"), SQLT_INT).result, OCI_SUCCESS);
  ASSERT_EQ(execute(q, 3), OCI_SUCCESS) << error_text();
  EXPECT_EQ(host().get_long_array("lengths"), (std::vector<int32_t>{0, 5, 3999, 5}));
  // A variable defined as a long and turned into a real reads no more than
  // the four bytes its row has.
  host().set_long("n", 0);
  q = prepare("SELECT 7 FROM dual");
  ASSERT_EQ(define(q, 1, variable_param("n", -1), SQLT_INT).result, OCI_SUCCESS);
  host().set_real("n", 99.5);
  ASSERT_EQ(execute(q, 1), OCI_SUCCESS);
  EXPECT_EQ(host().get_real("n"), 0.0);
}

TEST_F(Statements, AFreedLocatorIsRefusedBeforeOciWritesThroughIt) {
  sql("CREATE TABLE t (c CLOB)");
  sql("INSERT INTO t VALUES (TO_CLOB('text'))");
  auto d = host().call(60, {long_param(env), long_param(0), long_param(OCI_DTYPE_LOB)});
  ASSERT_EQ(d.result, OCI_SUCCESS);
  host().set_long("loc", d.long_at(2));
  int32_t q = prepare("SELECT c FROM t");
  ASSERT_EQ(define(q, 1, variable_param("loc", -1), SQLT_CLOB).result, OCI_SUCCESS);
  ASSERT_EQ(host().call(59, {long_param(d.long_at(2))}).result, OCI_SUCCESS);
  EXPECT_EQ(execute(q, 1), OCI_INVALID_HANDLE);
}

TEST_F(Statements, FailuresReachTheErrorHandlerAndLeaveNothingBehind) {
  int32_t handler = host().add_method("OnOracleError");
  host().call(105, {string_param("OnOracleError")});
  int32_t st = prepare("SELECT :a FROM dual");
  host().set_long("v", 1);
  // OCI refuses the name: the buffers made for it are released, no handle is written.
  auto r = host().call(64, {long_param(st), long_param(0), long_param(err), string_param(":nope"),
                            variable_param("v", -1), long_param(SQLT_INT), none(), none(), none(),
                            long_param(OCI_DEFAULT), long_param(0)});
  EXPECT_EQ(r.result, OCI_ERROR);
  EXPECT_EQ(r.long_at(2), 0);
  EXPECT_EQ(error_text(), "ORA-01036: illegal variable name/number\n");
  ASSERT_EQ(host().method_calls().size(), 1u);
  EXPECT_EQ(host().method_calls()[0].id, handler);
  HandlerArgs args = handler_args(host().method_calls()[0]);
  EXPECT_EQ(args.status, OCI_ERROR);
  EXPECT_EQ(args.handle, err);
  // Unbound at execute: Oracle's error, through the handler again.
  EXPECT_EQ(execute(st, 1), OCI_ERROR);
  EXPECT_EQ(error_text(), "ORA-01008: not all variables bound\n");
  EXPECT_EQ(host().method_calls().size(), 2u);
}

TEST_F(Statements, BadHandlesAndUnsupportedTypesAreRefused) {
  int32_t st = prepare("SELECT 1 FROM dual");
  host().set_real("real", 1.5);
  EXPECT_EQ(bind(st, 1, variable_param("real", -1), SQLT_INT).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(define(err, 1, variable_param("real", -1), SQLT_FLT).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(host().call(16, {long_param(err), long_param(err), text_param("SELECT 1 FROM dual"), long_param(0)}).result,
            OCI_INVALID_HANDLE);
  host().set_long_array("empty", {});
  EXPECT_EQ(define(st, 1, whole("empty"), SQLT_INT).result, OCI_ERROR);
  // A statement OCI refuses reaches the error path with Oracle's text.
  int32_t bad = prepare("SELECT nothing FROM nowhere");
  EXPECT_EQ(execute(bad, 0), OCI_ERROR);
  EXPECT_EQ(error_text(), "ORA-00942: table or view does not exist\n");
}

TEST_F(Statements, IntegerAndStringArraysScalarStringsAndBlobsRoundTrip) {
  sql("CREATE TABLE h (n NUMBER, s VARCHAR2(40), r LONG RAW)");
  host().set_integer_array("ia", {0, -7, 300, 32767});
  host().set_string_array("sa", {"", "alpha", "beta", "a longer string than fits"}, 12);
  int32_t st = prepare("INSERT INTO h (n, s) VALUES (:n, :s)");
  ASSERT_EQ(bind(st, 1, whole("ia"), SQLT_INT).result, OCI_SUCCESS);
  ASSERT_EQ(bind(st, 2, whole("sa"), SQLT_STR).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 3), OCI_SUCCESS) << error_text();
  // A scalar string and a BLOB as LONG RAW, one more row.
  host().set_string("one", "scalar");
  host().set_blob("raw", std::string("\x00\x01\xff", 3));
  host().set_long("n", 9);
  st = prepare("INSERT INTO h VALUES (:n, :s, :r)");
  ASSERT_EQ(bind(st, 1, whole("n"), SQLT_INT).result, OCI_SUCCESS);
  ASSERT_EQ(bind(st, 2, whole("one"), SQLT_STR).result, OCI_SUCCESS);
  ASSERT_EQ(bind(st, 3, whole("raw"), SQLT_LBI).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 1), OCI_SUCCESS) << error_text();

  host().set_integer_array("oi", std::vector<int16_t>(5, 1));
  host().set_string_array("os", std::vector<std::string>(5, "x"), 30);
  st = prepare("SELECT n, s FROM h ORDER BY n");
  ASSERT_EQ(define(st, 1, whole("oi"), SQLT_INT).result, OCI_SUCCESS);
  ASSERT_EQ(define(st, 2, whole("os"), SQLT_STR).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 4), OCI_SUCCESS) << error_text();
  EXPECT_EQ(host().get_integer_array("oi"), (std::vector<int16_t>{1, -7, 9, 300, 32767}));
  // Each string element holds at most its size less the length byte.
  EXPECT_EQ(host().get_string_array("os"), (std::vector<std::string>{"x", "alpha", "scalar", "beta", "a longer st"}));

  host().set_blob("back", "");
  host().set_short_string("word", "");
  st = prepare("SELECT r, s FROM h WHERE n = 9");
  ASSERT_EQ(define(st, 1, whole("back"), SQLT_LBI).result, OCI_SUCCESS);
  ASSERT_EQ(define(st, 2, whole("word"), SQLT_STR).result, OCI_SUCCESS);
  ASSERT_EQ(execute(st, 1), OCI_SUCCESS) << error_text();
  EXPECT_EQ(host().get_blob("back"), std::string("\x00\x01\xff", 3));
  EXPECT_EQ(host().get_string("word"), "scalar");
}

}  // namespace
}  // namespace zorvan::test
