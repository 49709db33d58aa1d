// The SQL the embedded client runs, through OCI: values as Oracle gives
// them back, and Oracle's errors for what it refuses.
#include "client/oci_fixture.h"

namespace zorvan::client_test {
namespace {

using Sql = Oci;

TEST_F(Sql, NumbersAreExactToThirtyEightDigits) {
  ok("CREATE TABLE n (big NUMBER(38), price NUMBER(10,2), x NUMBER)");
  ok("INSERT INTO n VALUES (12345678901234567890123456789012345678, 10.456, 0.1)");
  ok("INSERT INTO n VALUES (1, 0.1, 0.2)");
  EXPECT_EQ(one("SELECT big FROM n WHERE price = 10.46"), "12345678901234567890123456789012345678");
  EXPECT_EQ(one("SELECT sum(x) FROM n"), ".3");
  EXPECT_EQ(one("SELECT sum(price) FROM n"), "10.56");
  EXPECT_EQ(one("SELECT 1/3 FROM dual"), ".3333333333333333333333333333333333333333");
  EXPECT_EQ(one("SELECT count(*) FROM n WHERE x > 0.15"), "1");
  EXPECT_EQ(rows("SELECT x FROM n ORDER BY x DESC"), ".2;.1");
}

TEST_F(Sql, ValuesBeyondTheirColumnsAreRefused) {
  ok("CREATE TABLE v (p NUMBER(3,1), s VARCHAR2(5), c CHAR(3))");
  EXPECT_EQ(fails("INSERT INTO v (p) VALUES (123.4)"), 1438);
  EXPECT_EQ(fails("INSERT INTO v (s) VALUES ('abcdef')"), 12899);
  EXPECT_EQ(error_text(), "ORA-12899: value too large for column \"ZORVAN\".\"V\".\"S\" (actual: 6, maximum: 5)\n");
  ok("INSERT INTO v VALUES (12.34, 'ab', 'x')");
  EXPECT_EQ(one("SELECT p FROM v"), "12.3");
  EXPECT_EQ(one("SELECT '[' || c || ']' FROM v"), "[x  ]");
  EXPECT_EQ(one("SELECT count(*) FROM v WHERE c = 'x'"), "1");
}

TEST_F(Sql, TheEmptyStringIsNull) {
  ok("CREATE TABLE e (s VARCHAR2(10))");
  ok("INSERT INTO e VALUES ('')");
  EXPECT_EQ(one("SELECT count(*) FROM e WHERE s IS NULL"), "1");
  EXPECT_EQ(one("SELECT nvl(s, 'none') FROM e"), "none");
  EXPECT_EQ(one("SELECT 'a' || NULL || 'b' FROM dual"), "ab");
}

TEST_F(Sql, DatesKeepTheirTimeOfDay) {
  ok("CREATE TABLE d (at DATE)");
  ok("INSERT INTO d VALUES (TO_DATE('2004-07-01 09:05:00', 'YYYY-MM-DD HH24:MI:SS'))");
  EXPECT_EQ(one("SELECT TO_CHAR(at, 'YYYY-MM-DD HH24:MI:SS') FROM d"), "2004-07-01 09:05:00");
  EXPECT_EQ(one("SELECT TO_CHAR(at + 1/24, 'HH24:MI') FROM d"), "10:05");
  EXPECT_EQ(one("SELECT at - TO_DATE('2004-06-30', 'YYYY-MM-DD') FROM d"), "1.37847222222222222222222222222222222222");
  EXPECT_EQ(one("SELECT at FROM d"), "01-JUL-04");
  EXPECT_EQ(fails("SELECT TO_DATE('2004-13-01', 'YYYY-MM-DD') FROM dual"), 1843);
}

TEST_F(Sql, SequencesGiveNextAndCurrentValues) {
  ok("CREATE SEQUENCE s START WITH 10 INCREMENT BY 5");
  EXPECT_EQ(fails("SELECT s.CURRVAL FROM dual"), 8002);
  EXPECT_EQ(one("SELECT s.NEXTVAL FROM dual"), "10");
  EXPECT_EQ(one("SELECT s.NEXTVAL FROM dual"), "15");
  EXPECT_EQ(one("SELECT s.CURRVAL FROM dual"), "15");
  ok("CREATE TABLE t (id NUMBER, name VARCHAR2(10))");
  ok("INSERT INTO t VALUES (s.NEXTVAL, 'a')");
  EXPECT_EQ(one("SELECT id FROM t"), "20");
  EXPECT_EQ(fails("SELECT nothere.NEXTVAL FROM dual"), 2289);
}

TEST_F(Sql, QueriesJoinGroupOrderAndNest) {
  ok("CREATE TABLE dept (id NUMBER PRIMARY KEY, name VARCHAR2(20))");
  ok("CREATE TABLE emp (id NUMBER PRIMARY KEY, dept_id NUMBER REFERENCES dept(id), sal NUMBER(8,2))");
  ok("INSERT INTO dept VALUES (1, 'sales')");
  ok("INSERT INTO dept VALUES (2, 'it')");
  ok("INSERT INTO emp VALUES (10, 1, 100)");
  ok("INSERT INTO emp VALUES (11, 1, 200.5)");
  ok("INSERT INTO emp VALUES (12, 2, 300)");
  EXPECT_EQ(rows("SELECT d.name, sum(e.sal) FROM dept d JOIN emp e ON e.dept_id = d.id GROUP BY d.name ORDER BY 1"),
            "it|300;sales|300.5");
  EXPECT_EQ(rows("SELECT name FROM dept WHERE id IN (SELECT dept_id FROM emp WHERE sal > 250)"), "it");
  EXPECT_EQ(one("SELECT (SELECT max(sal) FROM emp) FROM dual"), "300");
  EXPECT_EQ(rows("SELECT id FROM emp WHERE ROWNUM <= 2 ORDER BY id"), "10;11");
  EXPECT_EQ(rows("SELECT * FROM (SELECT id FROM emp ORDER BY sal DESC) WHERE ROWNUM = 1"), "12");
  EXPECT_EQ(fails("SELECT dept_id, sal FROM emp GROUP BY dept_id"), 979);
  EXPECT_EQ(fails("SELECT (SELECT id FROM emp) FROM dual"), 1427);
}

TEST_F(Sql, AnalyticFunctionsMoveWithTheirWindow) {
  ok("CREATE TABLE t (n NUMBER)");
  for (const char *n : {"1", "2", "3", "4.5"}) ok(std::string("INSERT INTO t VALUES (") + n + ")");
  EXPECT_EQ(rows("SELECT n, sum(n) OVER (ORDER BY n), count(*) OVER (), row_number() OVER (ORDER BY n DESC) "
                 "FROM t ORDER BY n"),
            "1|1|4|4;2|3|4|3;3|6|4|2;4.5|10.5|4|1");
  // A frame that slides: rows leave it as well as join it.
  EXPECT_EQ(rows("SELECT sum(n) OVER (ORDER BY n ROWS BETWEEN 1 PRECEDING AND CURRENT ROW), "
                 "avg(n) OVER (ORDER BY n ROWS BETWEEN 1 PRECEDING AND 1 FOLLOWING) FROM t ORDER BY n"),
            "1|1.5;3|2;5|3.16666666666666666666666666666666666667;7.5|3.75");
}

TEST_F(Sql, ConstraintsGiveOraclesErrors) {
  ok("CREATE TABLE p (id NUMBER CONSTRAINT p_pk PRIMARY KEY, code VARCHAR2(5) NOT NULL, "
     "CONSTRAINT p_code_uk UNIQUE (code), CONSTRAINT p_id_ck CHECK (id > 0))");
  ok("CREATE TABLE c (id NUMBER, p_id NUMBER CONSTRAINT c_p_fk REFERENCES p(id))");
  ok("INSERT INTO p VALUES (1, 'a')");
  EXPECT_EQ(fails("INSERT INTO p VALUES (1, 'b')"), 1);
  EXPECT_EQ(error_text(), "ORA-00001: unique constraint (ZORVAN.P_PK) violated\n");
  EXPECT_EQ(fails("INSERT INTO p VALUES (2, 'a')"), 1);
  EXPECT_EQ(error_text(), "ORA-00001: unique constraint (ZORVAN.P_CODE_UK) violated\n");
  EXPECT_EQ(fails("INSERT INTO p (id) VALUES (3)"), 1400);
  EXPECT_EQ(error_text(), "ORA-01400: cannot insert NULL into (\"ZORVAN\".\"P\".\"CODE\")\n");
  EXPECT_EQ(fails("INSERT INTO p VALUES (-1, 'z')"), 2290);
  EXPECT_EQ(error_text(), "ORA-02290: check constraint (ZORVAN.P_ID_CK) violated\n");
  EXPECT_EQ(fails("INSERT INTO c VALUES (1, 99)"), 2291);
  EXPECT_EQ(error_text(), "ORA-02291: integrity constraint (ZORVAN.C_P_FK) violated - parent key not found\n");
  ok("INSERT INTO c VALUES (1, 1)");
  EXPECT_EQ(fails("DELETE FROM p WHERE id = 1"), 2292);
  EXPECT_EQ(error_text(), "ORA-02292: integrity constraint (ZORVAN.C_P_FK) violated - child record found\n");
}

TEST_F(Sql, UnknownNamesAndBadStatements) {
  EXPECT_EQ(fails("SELECT * FROM nosuch"), 942);
  ok("CREATE TABLE t (a NUMBER)");
  EXPECT_EQ(fails("SELECT b FROM t"), 904);
  EXPECT_EQ(error_text(), "ORA-00904: \"B\": invalid identifier\n");
  EXPECT_EQ(fails("FROBNICATE t"), 900);
  EXPECT_EQ(fails("SELECT a FROM t garbage more"), 933);
  EXPECT_EQ(fails("SELECT FROM t"), 936);
  EXPECT_EQ(fails("SELECT a FROM t;"), 911);
  EXPECT_EQ(fails("SELECT 1 FROM dual; SELECT 2 FROM dual"), 911);
  EXPECT_EQ(fails("SELECT to_number('x') FROM dual"), 1722);
  EXPECT_EQ(fails("CREATE TABLE two_longs (a LONG, b LONG)"), 1754);
}

TEST_F(Sql, FunctionsOfEveryDay) {
  EXPECT_EQ(one("SELECT TO_CHAR(1234.5, '9,999.00') FROM dual"), " 1,234.50");
  EXPECT_EQ(one("SELECT TO_NUMBER('1,234.50', '9,999.99') FROM dual"), "1234.5");
  EXPECT_EQ(one("SELECT upper(substr('hello world', 7)) FROM dual"), "WORLD");
  EXPECT_EQ(one("SELECT instr('banana', 'an', 1, 2) FROM dual"), "4");
  EXPECT_EQ(one("SELECT lpad('7', 3, '0') FROM dual"), "007");
  EXPECT_EQ(one("SELECT decode(2, 1, 'one', 2, 'two', 'many') FROM dual"), "two");
  EXPECT_EQ(one("SELECT CASE WHEN 1 > 2 THEN 'a' ELSE 'b' END FROM dual"), "b");
  EXPECT_EQ(one("SELECT round(2.567, 2) FROM dual"), "2.57");
  EXPECT_EQ(one("SELECT trunc(-2.567) FROM dual"), "-2");
  EXPECT_EQ(one("SELECT mod(10, 3) FROM dual"), "1");
  EXPECT_EQ(one("SELECT TO_CHAR(add_months(DATE '2024-01-31', 1), 'YYYY-MM-DD') FROM dual"), "2024-02-29");
  EXPECT_EQ(one("SELECT length('abc') FROM dual"), "3");
  EXPECT_EQ(one("SELECT greatest(3, 7, 5) FROM dual"), "7");
  EXPECT_EQ(one("SELECT TO_CHAR(DATE '2024-03-21', 'fmDdspth Month') FROM dual"), "Twenty-First March");
  EXPECT_EQ(one("SELECT TO_CHAR(-6.573978625E-130, '9.999999999EEEE') FROM dual"), "-6.573978625E-130");
}

}  // namespace
}  // namespace zorvan::client_test
