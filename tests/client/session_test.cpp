// Transactions and the life of sessions on the embedded client: two sessions
// on one database, commit on success, DDL's implicit commit, and statements
// that outlive their session or server.
#include "client/oci_fixture.h"

namespace zorvan::client_test {
namespace {

using Sessions = Oci;

TEST_F(Sessions, ASecondWriterIsRefusedAtOnceUntilTheFirstCommits) {
  ok("CREATE TABLE t (n NUMBER)");
  OCISvcCtx *other = logon();
  ASSERT_NE(other, nullptr);
  ok("INSERT INTO t VALUES (1)");
  // Uncommitted work is the writer's own.
  EXPECT_EQ(one("SELECT count(*) FROM t"), "1");
  EXPECT_EQ(one("SELECT count(*) FROM t", other), "0");
  // One writer a database: the other session's write fails now, not after a wait.
  EXPECT_EQ(fails("INSERT INTO t VALUES (2)", other), 54);
  EXPECT_EQ(error_text(), "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired\n");
  // Its failed statement left it nothing to roll back, and reading still works.
  EXPECT_EQ(one("SELECT count(*) FROM t", other), "0");
  ASSERT_EQ(OCITransCommit(svc, err, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(one("SELECT count(*) FROM t", other), "1");
  ok("INSERT INTO t VALUES (2)", other);
  EXPECT_EQ(fails("INSERT INTO t VALUES (3)"), 54);
  ASSERT_EQ(OCITransRollback(other, err, OCI_DEFAULT), OCI_SUCCESS);
  ok("INSERT INTO t VALUES (3)");
  ASSERT_EQ(OCITransCommit(svc, err, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(rows("SELECT n FROM t ORDER BY n", other), "1;3");
  logoff(other);
}

TEST_F(Sessions, CommitOnSuccessAndDdlEndTheTransaction) {
  ok("CREATE TABLE t (n NUMBER)");
  OCISvcCtx *other = logon();
  ASSERT_NE(other, nullptr);
  OCIStmt *st = prepare("INSERT INTO t VALUES (1)");
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
  free(st);
  EXPECT_EQ(one("SELECT count(*) FROM t", other), "1");
  // A failed statement is not committed, and leaves earlier work pending.
  ok("INSERT INTO t VALUES (2)");
  st = prepare("INSERT INTO t VALUES ('x')");
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS), OCI_ERROR);
  EXPECT_EQ(error_code(), 1722);
  free(st);
  EXPECT_EQ(one("SELECT count(*) FROM t", other), "1");
  // DDL commits what was pending, whether or not it succeeds itself.
  ok("CREATE TABLE u (n NUMBER)");
  ASSERT_EQ(OCITransRollback(svc, err, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(one("SELECT count(*) FROM t", other), "2");
  logoff(other);
}

TEST_F(Sessions, RollbackToASavepointKeepsWhatCameBefore) {
  ok("CREATE TABLE t (n NUMBER)");
  ok("INSERT INTO t VALUES (1)");
  ok("SAVEPOINT a");
  ok("INSERT INTO t VALUES (2)");
  ok("ROLLBACK TO SAVEPOINT a");
  ok("COMMIT");
  EXPECT_EQ(rows("SELECT n FROM t"), "1");
  EXPECT_EQ(fails("ROLLBACK TO SAVEPOINT nowhere"), 1086);
}

// A session made the long way, so it can end while its handles live on.
class SessionLife : public Oci {
 protected:
  void begin() {
    ASSERT_EQ(OCIHandleAlloc(env, reinterpret_cast<void **>(&server), OCI_HTYPE_SERVER, 0, nullptr), OCI_SUCCESS);
    ASSERT_EQ(OCIHandleAlloc(env, reinterpret_cast<void **>(&context), OCI_HTYPE_SVCCTX, 0, nullptr), OCI_SUCCESS);
    ASSERT_EQ(OCIHandleAlloc(env, reinterpret_cast<void **>(&session), OCI_HTYPE_SESSION, 0, nullptr), OCI_SUCCESS);
    ASSERT_EQ(OCIServerAttach(server, err, reinterpret_cast<const OraText *>(""), 0, OCI_DEFAULT), OCI_SUCCESS);
    OCIAttrSet(context, OCI_HTYPE_SVCCTX, server, 0, OCI_ATTR_SERVER, err);
    OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char *>("zorvan"), 6, OCI_ATTR_USERNAME, err);
    OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char *>("zorvan"), 6, OCI_ATTR_PASSWORD, err);
    ASSERT_EQ(OCISessionBegin(context, err, session, OCI_CRED_RDBMS, OCI_DEFAULT), OCI_SUCCESS) << error_text();
    OCIAttrSet(context, OCI_HTYPE_SVCCTX, session, 0, OCI_ATTR_SESSION, err);
  }
  // An executed query with rows still to fetch.
  OCIStmt *open_query() {
    ok("CREATE TABLE kept (n NUMBER)", context);
    ok("INSERT INTO kept VALUES (1)", context);
    ok("INSERT INTO kept VALUES (2)", context);
    OCIStmt *st = prepare("SELECT n FROM kept");
    OCIDefine *d = nullptr;
    OCIDefineByPos(st, &d, err, 1, &value, sizeof value, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(context, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
    return st;
  }
  void TearDown() override {
    OCIHandleFree(session, OCI_HTYPE_SESSION);
    OCIHandleFree(context, OCI_HTYPE_SVCCTX);
    OCIHandleFree(server, OCI_HTYPE_SERVER);
    Oci::TearDown();
  }
  OCIServer *server = nullptr;
  OCISvcCtx *context = nullptr;
  OCISession *session = nullptr;
  int32_t value = 0;
};

TEST_F(SessionLife, AStatementAfterItsSessionEndedIsNotLoggedOn) {
  begin();
  OCIStmt *st = open_query();
  ASSERT_EQ(OCISessionEnd(context, err, session, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1012);
  EXPECT_EQ(OCIStmtExecute(context, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 1012);
  free(st);
  // Ending a session normally commits its work.
  EXPECT_EQ(rows("SELECT n FROM kept ORDER BY n"), "1;2");
}

TEST_F(SessionLife, AStatementAfterItsServerDetachedIsNotConnected) {
  begin();
  OCIStmt *st = open_query();
  ok("INSERT INTO kept VALUES (3)", context);
  ASSERT_EQ(OCIServerDetach(server, err, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 3114);
  EXPECT_EQ(OCIStmtExecute(context, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 3114);
  free(st);
  // A lost connection loses the work it had not committed.
  EXPECT_EQ(rows("SELECT n FROM kept ORDER BY n"), "");
}

}  // namespace
}  // namespace zorvan::client_test
