// Oracle's own dialect on the embedded client: a schema install script as
// Oracle's sample schemas write them, the data dictionary a tool reads,
// stored procedures, functions and triggers, with Oracle's answers and
// errors.
#include "client/oci_fixture.h"

namespace zorvan::client_test {
namespace {

using Dialect = Oci;

// A small company's schema: named constraints added after the tables,
// primary keys taking over unique indexes, a foreign key cycle loaded with
// the constraint disabled, a read-only view, comments, sequences, a
// procedure and the triggers that call it.
const char kCompanySchema[] = R"(
ALTER SESSION SET NLS_LANGUAGE = American;

CREATE TABLE regions
    ( region_id      NUMBER
       CONSTRAINT  region_id_nn NOT NULL
    , region_name    VARCHAR2(25)
    );
CREATE UNIQUE INDEX reg_id_pk
ON regions (region_id);
ALTER TABLE regions
ADD ( CONSTRAINT reg_id_pk
       		 PRIMARY KEY (region_id)
    ) ;

CREATE TABLE offices
    ( office_id      NUMBER(4)
    , city           VARCHAR2(30)
	CONSTRAINT     off_city_nn  NOT NULL
    , region_id      NUMBER
    , CONSTRAINT     off_id_pk PRIMARY KEY (office_id)
    , CONSTRAINT     off_reg_fk FOREIGN KEY (region_id) REFERENCES regions
    ) ORGANIZATION INDEX;

CREATE TABLE teams
    ( team_id    NUMBER(4)
    , team_name  VARCHAR2(30)
	CONSTRAINT  team_name_nn  NOT NULL
    , lead_id    NUMBER(6)
    , office_id  NUMBER(4)
    ) ;
CREATE UNIQUE INDEX team_id_pk ON teams (team_id) ;
ALTER TABLE teams
ADD ( CONSTRAINT team_id_pk PRIMARY KEY (team_id)
    , CONSTRAINT team_off_fk FOREIGN KEY (office_id) REFERENCES offices (office_id)
    ) ;
CREATE SEQUENCE teams_seq START WITH 280 INCREMENT BY 10 MAXVALUE 9990 NOCACHE NOCYCLE;

CREATE TABLE staff
    ( staff_id       NUMBER(6)
    , first_name     VARCHAR2(20)
    , last_name      VARCHAR2(25)
	 CONSTRAINT     staff_last_name_nn  NOT NULL
    , email          VARCHAR2(25)
	CONSTRAINT     staff_email_nn  NOT NULL
    , hire_date      DATE
	CONSTRAINT     staff_hire_date_nn  NOT NULL
    , role           VARCHAR2(10)
    , salary         NUMBER(8,2)
    , commission_pct NUMBER(2,2)
    , lead_id        NUMBER(6)
    , team_id        NUMBER(4)
    , CONSTRAINT     staff_salary_min CHECK (salary > 0)
    , CONSTRAINT     staff_email_uk UNIQUE (email)
    ) ;
CREATE UNIQUE INDEX staff_id_pk ON staff (staff_id) ;
ALTER TABLE staff
ADD ( CONSTRAINT     staff_id_pk PRIMARY KEY (staff_id)
    , CONSTRAINT     staff_team_fk FOREIGN KEY (team_id) REFERENCES teams
    , CONSTRAINT     staff_lead_fk FOREIGN KEY (lead_id) REFERENCES staff
    ) ;
ALTER TABLE teams
ADD ( CONSTRAINT team_lead_fk FOREIGN KEY (lead_id) REFERENCES staff (staff_id) ) ;
CREATE SEQUENCE staff_seq START WITH 207 INCREMENT BY 1 NOCACHE NOCYCLE;

CREATE TABLE role_history
    ( staff_id   NUMBER(6) CONSTRAINT rhist_staff_nn NOT NULL
    , start_date DATE      CONSTRAINT rhist_start_nn NOT NULL
    , end_date   DATE      CONSTRAINT rhist_end_nn NOT NULL
    , role       VARCHAR2(10)
    , team_id    NUMBER(4)
    , CONSTRAINT rhist_date_interval CHECK (end_date > start_date)
    , CONSTRAINT rhist_pk PRIMARY KEY (staff_id, start_date)
    , CONSTRAINT rhist_staff_fk FOREIGN KEY (staff_id) REFERENCES staff
    ) ;

CREATE OR REPLACE VIEW staff_details
  (staff_id, first_name, last_name, salary, team_name, city, region_name)
AS SELECT s.staff_id, s.first_name, s.last_name, s.salary, t.team_name, o.city, r.region_name
FROM staff s, teams t, offices o, regions r
WHERE s.team_id = t.team_id
  AND t.office_id = o.office_id
  AND o.region_id = r.region_id
WITH READ ONLY;

COMMENT ON TABLE regions IS 'Regions the offices are in.';
COMMENT ON COLUMN regions.region_name IS 'Names of regions, such as ''Europe''.';
COMMENT ON COLUMN staff.salary IS 'Monthly salary. Greater than zero (staff_salary_min)';

INSERT INTO regions VALUES ( 1 , 'Europe' );
INSERT INTO regions VALUES ( 2 , 'Americas' );
INSERT INTO offices VALUES ( 1700 , 'Seattle' , 2 );
INSERT INTO offices VALUES ( 2400 , 'London' , 1 );

ALTER TABLE teams DISABLE CONSTRAINT team_lead_fk;
BEGIN
  INSERT INTO teams VALUES ( 10 , 'Administration' , 200 , 1700 );
  INSERT INTO teams VALUES ( 40 , 'People' , 203 , 2400 );
  INSERT INTO teams VALUES ( 90 , 'Executive' , 100 , 1700 );
END;
/
DECLARE
  hired DATE := TO_DATE('17-06-2003', 'dd-MM-yyyy');
BEGIN
  INSERT INTO staff VALUES ( 100 , 'Steven' , 'King' , 'SKING' , hired , 'PRES' , 24000 , NULL , NULL , 90 );
  INSERT INTO staff VALUES ( 101 , 'Neena' , 'Kochhar' , 'NKOCHHAR' , hired + 826 , 'VP' , 17000 , NULL , 100 , 90 );
  INSERT INTO staff VALUES ( 200 , 'Jennifer' , 'Whalen' , 'JWHALEN' , hired + 92 , 'ASST' , 4400.10 , NULL , 101 , 10 );
  INSERT INTO staff VALUES ( 203 , 'Susan' , 'Mavris' , 'SMAVRIS' , hired - 375 , 'REP' , 6500.35 , .15 , 101 , 40 );
END;
/
ALTER TABLE teams ENABLE CONSTRAINT team_lead_fk;
COMMIT;

CREATE OR REPLACE PROCEDURE add_role_history
  (  p_staff_id    role_history.staff_id%type
   , p_start_date  role_history.start_date%type
   , p_end_date    role_history.end_date%type
   , p_role        role_history.role%type
   , p_team_id     role_history.team_id%type
   )
IS
BEGIN
  INSERT INTO role_history (staff_id, start_date, end_date, role, team_id)
    VALUES(p_staff_id, p_start_date, p_end_date, p_role, p_team_id);
END add_role_history;
/
CREATE OR REPLACE TRIGGER update_role_history
  AFTER UPDATE OF role, team_id ON staff
  FOR EACH ROW
BEGIN
  add_role_history(:old.staff_id, :old.hire_date, DATE '2024-12-31',
                   :old.role, :old.team_id);
END;
/
CREATE OR REPLACE TRIGGER staff_ids
  BEFORE INSERT ON staff
  FOR EACH ROW
  WHEN (new.staff_id IS NULL)
BEGIN
  SELECT staff_seq.NEXTVAL INTO :NEW.staff_id FROM dual;
END;
/
)";

TEST_F(Dialect, SchemaScriptInstallsAndAnswersAsOracleDoes) {
  EXPECT_EQ(script(kCompanySchema), 31);
  EXPECT_EQ(rows("SELECT first_name, city, region_name FROM staff_details ORDER BY staff_id"),
            "Steven|Seattle|Americas;Neena|Seattle|Americas;Jennifer|Seattle|Americas;Susan|London|Europe");
  EXPECT_EQ(rows("SELECT sum(salary), avg(salary), count(DISTINCT team_id) FROM staff"), "51900.45|12975.1125|3");
  EXPECT_EQ(one("SELECT TO_CHAR(hire_date, 'YYYY-MM-DD') FROM staff WHERE staff_id = 101"), "2005-09-20");

  // The trigger calls the procedure, which records the old role.
  ok("UPDATE staff SET role = 'VP' WHERE staff_id = 200");
  EXPECT_EQ(rows("SELECT staff_id, role, TO_CHAR(end_date, 'YYYY') FROM role_history"), "200|ASST|2024");
  ok("UPDATE staff SET salary = salary + 1 WHERE staff_id = 200");  // not a column the trigger names
  EXPECT_EQ(one("SELECT count(*) FROM role_history"), "1");
  // The id comes from the sequence when none is given.
  ok("INSERT INTO staff (first_name, last_name, email, hire_date, role, salary, team_id) "
     "VALUES ('Pat', 'Fay', 'PFAY', DATE '2005-08-17', 'REP', 6000, 40)");
  EXPECT_EQ(one("SELECT staff_id FROM staff WHERE email = 'PFAY'"), "207");

  // Constraints name themselves as Oracle names them.
  EXPECT_EQ(fails("INSERT INTO staff VALUES (300, 'X', 'Y', 'SKING', SYSDATE, 'REP', 1, NULL, NULL, 90)"), 1);
  EXPECT_EQ(error_text(), "ORA-00001: unique constraint (ZORVAN.STAFF_EMAIL_UK) violated\n");
  EXPECT_EQ(fails("INSERT INTO staff VALUES (300, 'X', 'Y', 'XY', SYSDATE, 'REP', -1, NULL, NULL, 90)"), 2290);
  EXPECT_EQ(error_text(), "ORA-02290: check constraint (ZORVAN.STAFF_SALARY_MIN) violated\n");
  EXPECT_EQ(fails("INSERT INTO staff VALUES (300, 'X', 'Y', 'XY', SYSDATE, 'REP', 1, NULL, NULL, 55)"), 2291);
  EXPECT_EQ(error_text(), "ORA-02291: integrity constraint (ZORVAN.STAFF_TEAM_FK) violated - parent key not found\n");
  EXPECT_EQ(fails("DELETE FROM teams WHERE team_id = 90"), 2292);
  EXPECT_EQ(fails("UPDATE staff_details SET salary = 1"), 1732);
  EXPECT_EQ(fails("INSERT INTO role_history VALUES (100, DATE '2020-01-02', DATE '2020-01-01', 'X', 10)"), 2290);
  EXPECT_EQ(error_text(), "ORA-02290: check constraint (ZORVAN.RHIST_DATE_INTERVAL) violated\n");
  ok("DROP TABLE role_history CASCADE CONSTRAINTS PURGE");
  EXPECT_EQ(fails("SELECT count(*) FROM role_history"), 942);
}

TEST_F(Dialect, TheDictionaryDescribesTheSchema) {
  script(kCompanySchema);
  EXPECT_EQ(rows("SELECT table_name FROM user_tables ORDER BY 1"), "OFFICES;REGIONS;ROLE_HISTORY;STAFF;TEAMS");
  EXPECT_EQ(rows("SELECT owner, table_name FROM all_tables WHERE table_name LIKE 'R%' ORDER BY 2"),
            "ZORVAN|REGIONS;ZORVAN|ROLE_HISTORY");
  EXPECT_EQ(rows("SELECT column_name, data_type, data_length, data_precision, data_scale, nullable FROM "
                 "user_tab_columns WHERE table_name = 'STAFF' AND column_id IN (1, 2, 5, 7, 8) ORDER BY column_id"),
            "STAFF_ID|NUMBER|22|6|0|N;FIRST_NAME|VARCHAR2|20|<null>|<null>|Y;HIRE_DATE|DATE|7|<null>|<null>|N;"
            "SALARY|NUMBER|22|8|2|Y;COMMISSION_PCT|NUMBER|22|2|2|Y");
  EXPECT_EQ(rows("SELECT constraint_name, constraint_type, r_constraint_name, status FROM user_constraints "
                 "WHERE table_name = 'STAFF' ORDER BY 1"),
            "STAFF_EMAIL_NN|C|<null>|ENABLED;STAFF_EMAIL_UK|U|<null>|ENABLED;STAFF_HIRE_DATE_NN|C|<null>|ENABLED;"
            "STAFF_ID_PK|P|<null>|ENABLED;STAFF_LAST_NAME_NN|C|<null>|ENABLED;STAFF_LEAD_FK|R|STAFF_ID_PK|ENABLED;"
            "STAFF_SALARY_MIN|C|<null>|ENABLED;STAFF_TEAM_FK|R|TEAM_ID_PK|ENABLED");
  EXPECT_EQ(one("SELECT search_condition FROM user_constraints WHERE constraint_name = 'STAFF_EMAIL_NN'"),
            "\"EMAIL\" IS NOT NULL");
  // An unnamed NOT NULL gets a name of the database's, as Oracle's do.
  ok("ALTER TABLE regions MODIFY (region_name NOT NULL)");
  EXPECT_EQ(rows("SELECT substr(constraint_name, 1, 5), generated FROM user_constraints "
                 "WHERE table_name = 'REGIONS' AND search_condition LIKE '%REGION_NAME%'"),
            "SYS_C|GENERATED NAME");
  ok("ALTER TABLE regions MODIFY (region_name NULL)");
  EXPECT_EQ(one("SELECT count(*) FROM user_constraints WHERE table_name = 'REGIONS' AND constraint_type = 'C'"), "1");
  EXPECT_EQ(one("SELECT search_condition FROM user_constraints WHERE constraint_name = 'STAFF_SALARY_MIN'"),
            "salary > 0");
  EXPECT_EQ(rows("SELECT constraint_type FROM user_constraints WHERE table_name = 'STAFF_DETAILS'"), "O");
  EXPECT_EQ(rows("SELECT column_name, position FROM user_cons_columns WHERE constraint_name = 'RHIST_PK' ORDER BY 2"),
            "STAFF_ID|1;START_DATE|2");
  EXPECT_EQ(rows("SELECT index_name, uniqueness FROM user_indexes WHERE table_name = 'STAFF' ORDER BY 1"),
            "STAFF_EMAIL_UK|UNIQUE;STAFF_ID_PK|UNIQUE");
  EXPECT_EQ(rows("SELECT sequence_name, last_number, increment_by, max_value FROM user_sequences ORDER BY 1"),
            "STAFF_SEQ|207|1|9999999999999999999999999999;TEAMS_SEQ|280|10|9990");
  EXPECT_EQ(rows("SELECT object_type, count(*) FROM user_objects GROUP BY object_type ORDER BY 1"),
            "INDEX|6;PROCEDURE|1;SEQUENCE|2;TABLE|5;TRIGGER|2;VIEW|1");
  EXPECT_EQ(rows("SELECT view_name, read_only FROM user_views"), "STAFF_DETAILS|Y");
  EXPECT_EQ(one("SELECT comments FROM user_tab_comments WHERE table_name = 'REGIONS'"), "Regions the offices are in.");
  EXPECT_EQ(rows("SELECT column_name, comments FROM user_col_comments WHERE table_name = 'REGIONS' ORDER BY 1"),
            "REGION_ID|<null>;REGION_NAME|Names of regions, such as 'Europe'.");
  EXPECT_EQ(rows("SELECT trigger_name, trigger_type, triggering_event, table_name FROM user_triggers ORDER BY 1"),
            "STAFF_IDS|BEFORE EACH ROW|INSERT|STAFF;UPDATE_ROLE_HISTORY|AFTER EACH ROW|UPDATE|STAFF");
  // The dictionary follows DDL at once, and cannot be written.
  ok("CREATE TABLE later (x NUMBER)");
  EXPECT_EQ(one("SELECT count(*) FROM user_tables WHERE table_name = 'LATER'"), "1");
  EXPECT_NE(fails("DELETE FROM user_tables"), 0);
}

TEST_F(Dialect, StoredFunctionsRunInSqlAndBlocks) {
  ok("CREATE OR REPLACE FUNCTION twice (x NUMBER) RETURN NUMBER IS BEGIN RETURN x * 2; END;");
  EXPECT_EQ(one("SELECT twice(21) FROM dual"), "42");
  EXPECT_EQ(one("SELECT zorvan.twice(x => 0.5) FROM dual"), "1");
  ok("CREATE OR REPLACE FUNCTION fact (n NUMBER) RETURN NUMBER IS BEGIN IF n <= 1 THEN RETURN 1; END IF; "
     "RETURN n * fact(n - 1); END;");
  EXPECT_EQ(one("SELECT fact(25) FROM dual"), "15511210043330985984000000");
  ok("CREATE OR REPLACE FUNCTION greet (who VARCHAR2, greeting VARCHAR2 DEFAULT 'Hello') RETURN VARCHAR2 IS "
     "BEGIN RETURN greeting || ', ' || who; END;");
  EXPECT_EQ(rows("SELECT greet('Ann'), greet('Bob', 'Hi') FROM dual"), "Hello, Ann|Hi, Bob");
  EXPECT_EQ(fails("SELECT greet() FROM dual"), 6553);
  EXPECT_EQ(error_text(), "ORA-06553: PLS-306: wrong number or types of arguments in call to 'GREET'\n");
  ok("CREATE OR REPLACE FUNCTION nothing (x NUMBER) RETURN NUMBER IS BEGIN NULL; END;");
  EXPECT_EQ(fails("SELECT nothing(1) FROM dual"), 6503);
  // Replacing a function takes effect in statements prepared after it.
  ok("CREATE OR REPLACE FUNCTION twice (x NUMBER) RETURN NUMBER IS BEGIN RETURN x + x + 1; END;");
  EXPECT_EQ(one("SELECT twice(1) FROM dual"), "3");
  EXPECT_EQ(fails("CREATE FUNCTION twice (x NUMBER) RETURN NUMBER IS BEGIN RETURN x; END;"), 955);
  ok("DROP FUNCTION twice");
  EXPECT_EQ(fails("SELECT twice(1) FROM dual"), 904);
  EXPECT_EQ(fails("DROP PROCEDURE fact"), 4043);
}

TEST_F(Dialect, StoredProceduresTakeAndGiveParameters) {
  ok("CREATE TABLE words (w VARCHAR2(20))");
  ok("CREATE OR REPLACE PROCEDURE split_name (full VARCHAR2, first OUT VARCHAR2, last IN OUT VARCHAR2) IS\n"
     "BEGIN\n"
     "  first := SUBSTR(full, 1, INSTR(full, ' ') - 1);\n"
     "  last := last || SUBSTR(full, INSTR(full, ' ') + 1);\n"
     "  INSERT INTO words VALUES (first);\n"
     "END;");
  ok("DECLARE a VARCHAR2(20); b VARCHAR2(20) := '>'; BEGIN split_name('Ada Lovelace', a, b);\n"
     "INSERT INTO words VALUES (b); split_name(last => b, full => 'Alan Turing', first => a);\n"
     "INSERT INTO words VALUES (b); END;");
  EXPECT_EQ(rows("SELECT w FROM words"), "Ada;>Lovelace;Alan;>LovelaceTuring");
  // An error inside shows where, in the procedure and in the caller; the
  // block's work is undone.
  ok("CREATE OR REPLACE PROCEDURE fails_deep IS\nBEGIN\n  RAISE_APPLICATION_ERROR(-20042, 'deep failure');\nEND;");
  EXPECT_EQ(fails("BEGIN\n  INSERT INTO words VALUES ('lost');\n  fails_deep;\nEND;"), 20042);
  EXPECT_EQ(error_text(),
            "ORA-20042: deep failure\nORA-06512: at \"ZORVAN.FAILS_DEEP\", line 3\nORA-06512: at line 3\n");
  EXPECT_EQ(one("SELECT count(*) FROM words WHERE w = 'lost'"), "0");
  EXPECT_EQ(fails("BEGIN split_name('x y'); END;"), 6550);
  EXPECT_EQ(fails("BEGIN nosuch_procedure; END;"), 6550);
}

TEST_F(Dialect, RowTriggersChangeNewRowsAndSeeOldOnes) {
  ok("CREATE SEQUENCE item_seq");
  ok("CREATE TABLE items (id NUMBER PRIMARY KEY, name VARCHAR2(10), changed DATE)");
  ok("CREATE TABLE item_log (what VARCHAR2(40))");
  ok("CREATE OR REPLACE TRIGGER items_bi BEFORE INSERT ON items FOR EACH ROW\n"
     "BEGIN IF :NEW.id IS NULL THEN SELECT item_seq.NEXTVAL INTO :NEW.id FROM dual; END IF; END;");
  ok("CREATE OR REPLACE TRIGGER items_bu BEFORE UPDATE ON items FOR EACH ROW WHEN (new.name <> old.name)\n"
     "BEGIN :NEW.changed := DATE '2020-01-01'; :new.name := UPPER(:new.name); END;");
  ok("CREATE OR REPLACE TRIGGER items_log AFTER INSERT OR DELETE ON items FOR EACH ROW\n"
     "BEGIN IF DELETING THEN INSERT INTO item_log VALUES ('deleted ' || :OLD.id);\n"
     "ELSE INSERT INTO item_log VALUES ('inserted ' || :NEW.id); END IF; END;");
  ok("INSERT INTO items (name) VALUES ('a')");
  ok("INSERT INTO items (name) SELECT 'b' FROM dual UNION ALL SELECT 'c' FROM dual");
  ok("INSERT INTO items VALUES (50, 'x', NULL)");
  ok("UPDATE items SET name = 'zz' WHERE id = 2");
  ok("UPDATE items SET name = 'c' WHERE id = 3");  // unchanged: WHEN is false
  EXPECT_EQ(rows("SELECT id, name, TO_CHAR(changed, 'YYYY') FROM items ORDER BY id"),
            "1|a|<null>;2|ZZ|2020;3|c|<null>;50|x|<null>");
  // RETURNING sees the id the trigger gave.
  ok("DECLARE n NUMBER; BEGIN INSERT INTO items (name) VALUES ('d') RETURNING id INTO n;\n"
     "IF n <> 4 THEN RAISE_APPLICATION_ERROR(-20001, 'got ' || n); END IF; END;");
  ok("DELETE FROM items WHERE id < 3");
  EXPECT_EQ(rows("SELECT what FROM item_log ORDER BY what"),
            "deleted 1;deleted 2;inserted 1;inserted 2;inserted 3;inserted 4;inserted 50");
  // A trigger that fails undoes the whole statement, its triggers' work too.
  ok("CREATE OR REPLACE TRIGGER items_guard BEFORE DELETE ON items FOR EACH ROW\n"
     "BEGIN IF :OLD.id = 50 THEN RAISE_APPLICATION_ERROR(-20500, 'row 50 stays'); END IF; END;");
  EXPECT_EQ(fails("DELETE FROM items"), 20500);
  EXPECT_EQ(error_text(),
            "ORA-20500: row 50 stays\nORA-06512: at \"ZORVAN.ITEMS_GUARD\", line 1\n"
            "ORA-04088: error during execution of trigger 'ZORVAN.ITEMS_GUARD'\n");
  EXPECT_EQ(one("SELECT count(*) FROM items"), "3");
  EXPECT_EQ(one("SELECT count(*) FROM item_log"), "7");
  // A value a trigger gives is checked against its column.
  ok("CREATE OR REPLACE TRIGGER items_long BEFORE INSERT ON items FOR EACH ROW BEGIN :NEW.name := 'much too long'; END;");
  EXPECT_EQ(fails("INSERT INTO items (name) VALUES ('e')"), 6502);
  ok("DROP TRIGGER items_long");
  EXPECT_EQ(fails("DROP TRIGGER items_long"), 4080);
  EXPECT_EQ(fails("CREATE TRIGGER t_none BEFORE INSERT ON nosuch FOR EACH ROW BEGIN NULL; END;"), 942);
}

TEST_F(Dialect, StatementTriggersRunOncePerStatement) {
  ok("CREATE TABLE n (x NUMBER)");
  ok("CREATE TABLE counts (k VARCHAR2(10))");
  ok("CREATE OR REPLACE TRIGGER n_once AFTER INSERT OR UPDATE ON n BEGIN INSERT INTO counts VALUES ('once'); END;");
  ok("INSERT INTO n SELECT 1 FROM dual UNION ALL SELECT 2 FROM dual");
  ok("UPDATE n SET x = x + 1");
  EXPECT_EQ(one("SELECT count(*) FROM counts"), "2");
  EXPECT_EQ(rows("SELECT x FROM n ORDER BY x"), "2;3");
}

TEST_F(Dialect, SequencesStepByOneWhenNothingIsSaid) {
  ok("CREATE SEQUENCE plain");
  EXPECT_EQ(one("SELECT plain.NEXTVAL FROM dual"), "1");
  EXPECT_EQ(one("SELECT plain.NEXTVAL FROM dual"), "2");
  EXPECT_EQ(rows("SELECT increment_by, cache_size FROM user_sequences"), "1|20");
}

TEST_F(Dialect, BlocksNamingMissingTablesFailCleanly) {
  // Translating the block's statement fails; its half-made plan must not
  // be finalized as if it were whole.
  EXPECT_EQ(fails("DECLARE v NUMBER; BEGIN SELECT a INTO v FROM nothere; END;"), 942);
  EXPECT_EQ(fails("BEGIN UPDATE nothere SET a = 1; END;"), 942);
}

}  // namespace
}  // namespace zorvan::client_test

namespace zorvan::client_test {
namespace {

// A few rows for the query tests: a hierarchy of staff in two departments.
class Queries : public Oci {
 protected:
  void SetUp() override {
    Oci::SetUp();
    script(R"(
CREATE TABLE emp (id NUMBER PRIMARY KEY, name VARCHAR2(20), mgr NUMBER, dept NUMBER, sal NUMBER(8,2));
CREATE TABLE dept (id NUMBER, dname VARCHAR2(20));
INSERT INTO emp VALUES (100, 'king', NULL, 10, 5000);
INSERT INTO emp VALUES (101, 'blake', 100, 30, 2850);
INSERT INTO emp VALUES (102, 'clark', 100, 10, 2450.5);
INSERT INTO emp VALUES (103, 'allen', 101, 30, 1600);
INSERT INTO emp VALUES (104, 'miller', 102, 10, 1300);
INSERT INTO emp VALUES (105, 'ward', 101, NULL, 1250);
INSERT INTO dept VALUES (10, 'acct');
INSERT INTO dept VALUES (30, 'sales');
INSERT INTO dept VALUES (40, 'ops');
)");
  }
};

TEST_F(Queries, OraclesOuterJoinMarkerKeepsUnmatchedRows) {
  EXPECT_EQ(rows("SELECT e.name, m.name FROM emp e, emp m WHERE e.mgr = m.id(+) AND e.id < 103 ORDER BY e.id"),
            "king|<null>;blake|king;clark|king");
  EXPECT_EQ(rows("SELECT d.dname, count(e.id) FROM emp e, dept d WHERE e.dept(+) = d.id GROUP BY d.dname ORDER BY 1"),
            "acct|3;ops|0;sales|2");
  // A constant on the optional side belongs to the join, not the filter.
  EXPECT_EQ(rows("SELECT e.name, d.dname FROM emp e, dept d WHERE e.dept = d.id(+) AND d.dname(+) = 'sales' "
                 "AND e.id IN (100, 101) ORDER BY e.id"),
            "king|<null>;blake|sales");
  // Chains join in the order their conditions need.
  EXPECT_EQ(rows("SELECT e.name, d.dname FROM emp e, emp m, dept d WHERE e.mgr = m.id(+) AND m.dept = d.id(+) "
                 "AND e.id IN (100, 103) ORDER BY e.id"),
            "king|<null>;allen|sales");
  EXPECT_EQ(fails("SELECT e.name FROM emp e, dept d WHERE e.dept = d.id(+) OR d.id(+) = 1"), 1719);
  EXPECT_EQ(fails("SELECT e.name FROM emp e, emp m, dept d WHERE e.mgr(+) = m.id AND e.dept(+) = d.id(+)"), 1468);
  EXPECT_EQ(fails("SELECT e.name(+) FROM emp e"), 30563);
}

TEST_F(Queries, HierarchiesComeOutDepthFirst) {
  EXPECT_EQ(rows("SELECT LPAD(' ', 2 * (LEVEL - 1)) || name, LEVEL FROM emp START WITH mgr IS NULL "
                 "CONNECT BY PRIOR id = mgr"),
            "king|1;  blake|2;    allen|3;    ward|3;  clark|2;    miller|3");
  EXPECT_EQ(rows("SELECT name FROM emp START WITH mgr IS NULL CONNECT BY PRIOR id = mgr ORDER SIBLINGS BY name DESC"),
            "king;clark;miller;blake;ward;allen");
  EXPECT_EQ(rows("SELECT SYS_CONNECT_BY_PATH(name, '/'), CONNECT_BY_ROOT name, CONNECT_BY_ISLEAF FROM emp "
                 "START WITH id = 101 CONNECT BY PRIOR id = mgr"),
            "/blake|blake|0;/blake/allen|blake|1;/blake/ward|blake|1");
  // WHERE filters the rows the hierarchy found; LEVEL bounds the walk.
  EXPECT_EQ(rows("SELECT name FROM emp WHERE sal > 1500 START WITH mgr IS NULL CONNECT BY PRIOR id = mgr"),
            "king;blake;allen;clark");
  EXPECT_EQ(one("SELECT count(*) FROM emp START WITH mgr IS NULL CONNECT BY PRIOR id = mgr AND LEVEL <= 2"), "3");
  EXPECT_EQ(rows("SELECT name, LEVEL FROM emp e START WITH e.id = 104 CONNECT BY PRIOR e.mgr = e.id"),
            "miller|1;clark|2;king|3");
  EXPECT_EQ(rows("SELECT TO_CHAR(ADD_MONTHS(DATE '2024-01-31', LEVEL - 1), 'MM-DD') FROM dual CONNECT BY LEVEL <= 3"),
            "01-31;02-29;03-31");
  // ROWNUM counts the rows in the order the hierarchy gives them.
  EXPECT_EQ(rows("SELECT ROWNUM, name FROM emp START WITH mgr IS NULL CONNECT BY PRIOR id = mgr"),
            "1|king;2|blake;3|allen;4|ward;5|clark;6|miller");
  ok("UPDATE emp SET mgr = 104 WHERE id = 100");
  EXPECT_EQ(fails("SELECT name FROM emp START WITH id = 100 CONNECT BY PRIOR id = mgr"), 1436);
  EXPECT_EQ(one("SELECT count(*) FROM emp START WITH id = 100 CONNECT BY NOCYCLE PRIOR id = mgr"), "6");
  EXPECT_EQ(fails("SELECT SYS_CONNECT_BY_PATH(name, '/') FROM emp"), 30002);
}

TEST_F(Queries, GroupingSetsAddSubtotals) {
  EXPECT_EQ(rows("SELECT dept, count(*), sum(sal) FROM emp GROUP BY ROLLUP(dept) ORDER BY 1"),
            "10|3|8750.5;30|2|4450;<null>|1|1250;<null>|6|14450.5");
  EXPECT_EQ(rows("SELECT DECODE(GROUPING(dept), 1, 'all', dept), sum(sal) FROM emp WHERE dept IS NOT NULL "
                 "GROUP BY ROLLUP(dept) ORDER BY 1"),
            "10|8750.5;30|4450;all|13200.5");
  EXPECT_EQ(rows("SELECT dept, mgr, count(*), GROUPING_ID(dept, mgr) FROM emp WHERE dept = 30 "
                 "GROUP BY CUBE(dept, mgr) ORDER BY 4, 2"),
            "30|100|1|0;30|101|1|0;30|<null>|2|1;<null>|100|1|2;<null>|101|1|2;<null>|<null>|2|3");
  EXPECT_EQ(rows("SELECT dept, mgr, count(*) FROM emp WHERE dept = 10 GROUP BY GROUPING SETS((dept), (mgr), ()) "
                 "ORDER BY 1, 2"),
            "10|<null>|3;<null>|100|1;<null>|102|1;<null>|<null>|1;<null>|<null>|3");
  EXPECT_EQ(rows("SELECT dept FROM emp GROUP BY ROLLUP(dept) HAVING count(*) > 2 ORDER BY 1"), "10;<null>");
  EXPECT_EQ(fails("SELECT GROUPING(sal) FROM emp GROUP BY dept"), 30481);
}

TEST_F(Queries, ListaggJoinsEachGroupInItsOrder) {
  EXPECT_EQ(one("SELECT LISTAGG(name, ', ') WITHIN GROUP (ORDER BY name) FROM emp"),
            "allen, blake, clark, king, miller, ward");
  EXPECT_EQ(rows("SELECT dept, LISTAGG(name, ';') WITHIN GROUP (ORDER BY sal DESC) FROM emp GROUP BY dept "
                 "ORDER BY dept"),
            "10|king;clark;miller;30|blake;allen;<null>|ward");
  EXPECT_EQ(one("SELECT LISTAGG(id) WITHIN GROUP (ORDER BY id DESC) FROM emp WHERE dept = 30"), "103101");
  EXPECT_EQ(one("SELECT LISTAGG(name, ',') WITHIN GROUP (ORDER BY name) FROM emp WHERE 1 = 0"), "<null>");
  EXPECT_EQ(fails("SELECT LISTAGG(RPAD('x', 3000, 'x'), ',') WITHIN GROUP (ORDER BY id) FROM emp"), 1489);
}

TEST_F(Queries, MergeUpdatesInsertsAndDeletesInOneStatement) {
  ok("CREATE TABLE bonus (id NUMBER PRIMARY KEY, amount NUMBER)");
  ok("INSERT INTO bonus VALUES (100, 10)");
  ok("INSERT INTO bonus VALUES (101, 10)");
  OCIStmt *st = prepare("MERGE INTO bonus b USING (SELECT id, sal FROM emp WHERE dept = 30 OR id = 100) e "
                        "ON (b.id = e.id) WHEN MATCHED THEN UPDATE SET b.amount = b.amount + e.sal / 100 "
                        "DELETE WHERE b.amount > 50 WHEN NOT MATCHED THEN INSERT (id, amount) VALUES (e.id, 1)");
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  ub4 count = 0;
  OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, err);
  free(st);
  EXPECT_EQ(count, 3u);  // two updated, one inserted
  EXPECT_EQ(rows("SELECT id, amount FROM bonus ORDER BY id"), "101|38.5;103|1");
  EXPECT_EQ(fails("MERGE INTO bonus b USING (SELECT 101 id FROM dual UNION ALL SELECT 101 FROM dual) s "
                  "ON (b.id = s.id) WHEN MATCHED THEN UPDATE SET b.amount = 0"),
            30926);
  EXPECT_EQ(fails("MERGE INTO bonus b USING dual ON (b.id = 1) WHEN MATCHED THEN UPDATE SET b.id = 2"), 38104);
  ok("MERGE INTO bonus b USING dual ON (b.id = 7) WHEN NOT MATCHED THEN INSERT VALUES (7, 70)");
  EXPECT_EQ(one("SELECT amount FROM bonus WHERE id = 7"), "70");
}

TEST_F(Queries, CreateTableAsSelectCopiesRowsAndTypes) {
  ok("CREATE TABLE rich AS SELECT id, name, sal FROM emp WHERE sal > 2000");
  EXPECT_EQ(rows("SELECT name FROM rich ORDER BY id"), "king;blake;clark");
  ok("CREATE TABLE doubled (a, b) TABLESPACE users AS (SELECT id, sal * 2 FROM emp WHERE id = 102)");
  EXPECT_EQ(rows("SELECT a, b FROM doubled"), "102|4901");
  EXPECT_EQ(rows("SELECT column_name, data_type, data_precision, data_scale FROM user_tab_columns "
                 "WHERE table_name = 'RICH' ORDER BY column_id"),
            "ID|NUMBER|<null>|<null>;NAME|VARCHAR2|<null>|<null>;SAL|NUMBER|8|2");
  EXPECT_EQ(fails("CREATE TABLE bad (a) AS SELECT id, name FROM emp"), 1730);
}

}  // namespace
}  // namespace zorvan::client_test

namespace zorvan::client_test {
namespace {

using Values = Oci;

TEST_F(Values, TimestampsKeepFractionsOfASecond) {
  ok("CREATE TABLE ev (id NUMBER, at TIMESTAMP, at3 TIMESTAMP(3), d DATE)");
  ok("INSERT INTO ev VALUES (1, TIMESTAMP '2024-01-02 03:04:05.123456', TIMESTAMP '2024-01-02 03:04:05.1236', "
     "DATE '2024-01-02')");
  ok("INSERT INTO ev (id, at) VALUES (2, TO_TIMESTAMP('2024-06-30 23:59:59.9999', 'YYYY-MM-DD HH24:MI:SS.FF'))");
  ok("INSERT INTO ev (id, at) VALUES (3, '05-MAR-24 01.02.03.500000 PM')");  // NLS_TIMESTAMP_FORMAT
  EXPECT_EQ(rows("SELECT at FROM ev ORDER BY id"),
            "02-JAN-24 03.04.05.123456 AM;30-JUN-24 11.59.59.999900 PM;05-MAR-24 01.02.03.500000 PM");
  // TIMESTAMP(3) rounds to milliseconds.
  EXPECT_EQ(one("SELECT TO_CHAR(at3, 'HH24:MI:SS.FF3') FROM ev WHERE id = 1"), "03:04:05.124");
  EXPECT_EQ(rows("SELECT EXTRACT(SECOND FROM at), EXTRACT(MONTH FROM at) FROM ev WHERE id = 1"), "5.123456|1");
  // With days it is DATE arithmetic; a DATE compares as a timestamp.
  EXPECT_EQ(one("SELECT TO_CHAR(at + 1.5, 'YYYY-MM-DD HH24:MI:SS') FROM ev WHERE id = 1"), "2024-01-03 15:04:05");
  EXPECT_EQ(one("SELECT count(*) FROM ev WHERE at > DATE '2024-03-05'"), "2");
  EXPECT_EQ(one("SELECT count(*) FROM ev WHERE at = CAST(d AS TIMESTAMP)"), "0");
  EXPECT_EQ(rows("SELECT CAST(at AS DATE), TRUNC(at) FROM ev WHERE id = 2"), "30-JUN-24|30-JUN-24");
  EXPECT_EQ(one("SELECT count(*) FROM dual WHERE SYSTIMESTAMP > TIMESTAMP '2020-01-01 00:00:00'"), "1");
  ok("ALTER SESSION SET NLS_TIMESTAMP_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF3'");
  EXPECT_EQ(one("SELECT at FROM ev WHERE id = 3"), "2024-03-05 13:02:03.500");
  EXPECT_EQ(one("SELECT data_type FROM user_tab_columns WHERE table_name = 'EV' AND column_name = 'AT3'"),
            "TIMESTAMP(3)");
  EXPECT_EQ(fails("SELECT TO_TIMESTAMP('2024-13-01', 'YYYY-MM-DD') FROM dual"), 1843);
}

TEST_F(Values, WhatCannotRunIsNamed) {
  ok("CREATE TABLE ev (at TIMESTAMP)");
  EXPECT_EQ(fails("SELECT at - at FROM ev"), 3001);
  EXPECT_EQ(error_text(), "ORA-03001: unimplemented feature: INTERVAL DAY TO SECOND\n");
  EXPECT_EQ(fails("SELECT REGEXP_SUBSTR('abc1', '[0-9]') FROM dual"), 3001);
  EXPECT_EQ(error_text(), "ORA-03001: unimplemented feature: REGEXP_SUBSTR\n");
  EXPECT_EQ(fails("SELECT INTERVAL '1' DAY FROM dual"), 3001);
  EXPECT_EQ(fails("CREATE OR REPLACE TRIGGER v_io INSTEAD OF INSERT ON ev BEGIN NULL; END;"), 3001);
}

}  // namespace
}  // namespace zorvan::client_test

namespace zorvan::client_test {
namespace {

using Everyday = Oci;

TEST_F(Everyday, IdentityColumnsAndAlteredTables) {
  ok("CREATE TABLE orders (id NUMBER GENERATED ALWAYS AS IDENTITY (START WITH 10), item VARCHAR2(10), "
     "qty NUMBER(4) DEFAULT 1 CONSTRAINT qty_ck CHECK (qty > 0))");
  ok("INSERT INTO orders (item) VALUES ('pen')");
  ok("INSERT INTO orders (item, qty) VALUES ('ink', 3)");
  EXPECT_EQ(rows("SELECT id, item, qty FROM orders ORDER BY id"), "10|pen|1;11|ink|3");
  EXPECT_EQ(fails("INSERT INTO orders (id, item) VALUES (5, 'x')"), 32795);
  ok("ALTER TABLE orders ADD (note VARCHAR2(20), placed DATE DEFAULT DATE '2024-05-01')");
  ok("ALTER TABLE orders MODIFY (note VARCHAR2(40))");
  ok("ALTER TABLE orders RENAME COLUMN note TO remark");
  EXPECT_EQ(rows("SELECT remark, TO_CHAR(placed, 'YYYY-MM-DD') FROM orders WHERE id = 10"), "<null>|2024-05-01");
  ok("ALTER TABLE orders DROP COLUMN remark");
  EXPECT_EQ(fails("SELECT remark FROM orders"), 904);
  ok("ALTER TABLE orders DISABLE CONSTRAINT qty_ck");
  ok("INSERT INTO orders (item, qty) VALUES ('neg', -1)");
  EXPECT_EQ(fails("ALTER TABLE orders ENABLE CONSTRAINT qty_ck"), 2293);
  ok("DELETE FROM orders WHERE qty < 0");
  ok("ALTER TABLE orders ENABLE CONSTRAINT qty_ck");
  ok("ALTER TABLE orders MODIFY id GENERATED ALWAYS AS IDENTITY (START WITH LIMIT VALUE)");
  ok("INSERT INTO orders (item) VALUES ('cap')");
  // LIMIT VALUE restarts after the highest id now in the table (12 was given, then deleted).
  EXPECT_EQ(one("SELECT max(id) FROM orders"), "12");
  ok("TRUNCATE TABLE orders");
  EXPECT_EQ(one("SELECT count(*) FROM orders"), "0");
}

TEST_F(Everyday, SessionSettingsChangeConversions) {
  ok("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI'");
  EXPECT_EQ(one("SELECT DATE '2024-02-29' + 1/24 FROM dual"), "2024-02-29 01:00");
  EXPECT_EQ(one("SELECT TO_DATE('2024-03-01 10:30') - DATE '2024-02-29' FROM dual"), "1.4375");
  ok("ALTER SESSION SET NLS_NUMERIC_CHARACTERS = ',.'");
  EXPECT_EQ(one("SELECT 1234.5 FROM dual"), "1234,5");
  EXPECT_EQ(one("SELECT TO_CHAR(1234.5, '9G999D99') FROM dual"), " 1.234,50");
  ok("ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,'");
  EXPECT_EQ(fails("ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '..'"), 12705);
  EXPECT_EQ(fails("ALTER SESSION SET NO_SUCH_PARAMETER = 1"), 2248);
}

TEST_F(Everyday, NamesLiteralsAndComparisons) {
  ok("CREATE TABLE \"Mixed\" (\"Col\" NUMBER, code CHAR(5), label VARCHAR2(20))");
  ok("INSERT INTO \"Mixed\" VALUES (1, 'K', q'[it's]')");
  ok("INSERT INTO \"Mixed\" VALUES (2, 'K  ', 'two\nlines')");
  EXPECT_EQ(one("SELECT count(*) FROM \"Mixed\" WHERE code = 'K'"), "2");  // blank-padded
  EXPECT_EQ(one("SELECT label FROM \"Mixed\" WHERE \"Col\" = 1"), "it's");
  EXPECT_EQ(one("SELECT label FROM \"Mixed\" WHERE \"Col\" = 2"), "two\nlines");
  EXPECT_EQ(fails("SELECT col FROM \"Mixed\""), 904);
  EXPECT_EQ(fails("SELECT 1 FROM mixed"), 942);
  EXPECT_EQ(one("SELECT 'a''b' || NULL FROM dual"), "a'b");
  EXPECT_EQ(rows("SELECT \"Col\" FROM \"Mixed\" MINUS SELECT 2 FROM dual"), "1");
  EXPECT_EQ(one("SELECT count(DISTINCT code) FROM \"Mixed\""), "1");
}

}  // namespace
}  // namespace zorvan::client_test
