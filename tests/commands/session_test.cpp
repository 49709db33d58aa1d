// Connections, sessions, transactions, attributes, describe and error
// records, through ZorvanPack against the embedded client's databases.
#include <gtest/gtest.h>

#include <cstring>

#include "oci.h"
#include "support/plugin_fixture.h"

namespace zorvan::test {
namespace {

using emu::long_param;
using emu::ResultKind;
using emu::string_param;


struct Xid {
  int32_t format_id;
  int32_t gtrid_length;
  int32_t bqual_length;
  char data[128];
};

class Session : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    if (HasFatalFailure()) return;
    // A Zorvan program chooses where the embedded databases live.
    host().call(175, {string_param("ZEC_DB_DIR"), string_param(fresh_directory())});
    env = host().call(55, {long_param(0), long_param(OCI_DEFAULT)}).long_at(1);
    err = alloc(OCI_HTYPE_ERROR);
  }

  int32_t alloc(int32_t type) {
    auto r = host().call(53, {long_param(env), long_param(0), long_param(type)});
    EXPECT_EQ(r.result, OCI_SUCCESS);
    return r.long_at(2);
  }
  emu::CallResult logon(const std::string &user = "zorvan", const std::string &password = "zorvan",
                        const std::string &database = "") {
    return host().call(28, {long_param(env), long_param(err), long_param(0), string_param(user),
                            string_param(password), string_param(database)});
  }
  int32_t connect() {
    auto r = logon();
    EXPECT_EQ(r.result, OCI_SUCCESS);
    return r.long_at(3);
  }
  emu::CallResult attr(int32_t handle, int32_t attribute) {
    return host().call(67, {long_param(handle), long_param(0), long_param(attribute), long_param(err)});
  }
  std::string attr_text(int32_t handle, int32_t attribute, int32_t *result = nullptr) {
    auto r = host().call(68, {long_param(handle), string_param(""), long_param(attribute), long_param(err)});
    if (result) *result = r.result;
    return r.string_at(2);
  }
  emu::CallResult error_record(int32_t handle, int32_t record = 1) {
    return host().call(54, {long_param(handle), long_param(record), long_param(-7), string_param("x")});
  }
  void sql(int32_t service, const char *statement) {
    ASSERT_EQ(client.execute(reinterpret_cast<void *>(static_cast<uintptr_t>(service)), statement), 0)
        << statement;
  }
  std::string query(int32_t service, const char *statement) {
    char value[256];
    EXPECT_EQ(client.query(reinterpret_cast<void *>(static_cast<uintptr_t>(service)), statement,
                           value, sizeof value),
              0);
    return value;
  }
  int32_t commit(int32_t service) {
    return host().call(15, {long_param(service), long_param(err), long_param(OCI_DEFAULT)}).result;
  }

  int32_t env = 0;
  int32_t err = 0;
};

TEST_F(Session, LogonRegistersTheServiceContextAndLogoffForgetsAllThree) {
  int32_t service = connect();
  auto server = attr(service, OCI_ATTR_SERVER);
  auto session = attr(service, OCI_ATTR_SESSION);
  ASSERT_EQ(server.result, OCI_SUCCESS);
  ASSERT_EQ(session.result, OCI_SUCCESS);
  auto version = host().call(22, {long_param(server.long_at(2)), long_param(err), string_param("")});
  EXPECT_EQ(version.result, OCI_SUCCESS);
  EXPECT_EQ(version.string_at(3).rfind("ZorvanOCI embedded client", 0), 0u) << version.string_at(3);
  EXPECT_EQ(attr_text(session.long_at(2), OCI_ATTR_USERNAME), "zorvan");

  EXPECT_EQ(host().call(29, {long_param(service), long_param(err)}).result, OCI_SUCCESS);
  for (int32_t gone : {service, server.long_at(2), session.long_at(2)})
    EXPECT_EQ(host().call(22, {long_param(gone), long_param(err), string_param("")}).result,
              OCI_INVALID_HANDLE);
}

TEST_F(Session, WrongCredentialsAreReportedWithTheErrorHandle) {
  host().add_method("Handler");
  host().call(105, {string_param("Handler")});
  auto r = logon("zorvan", "wrong");
  EXPECT_EQ(r.result, OCI_ERROR);
  EXPECT_EQ(r.long_at(3), 0);
  ASSERT_EQ(host().method_calls().size(), 1u);
  EXPECT_EQ(handler_args(host().method_calls()[0]).status, OCI_ERROR);
  EXPECT_EQ(handler_args(host().method_calls()[0]).handle, err);

  auto record = error_record(err);
  EXPECT_EQ(record.result, OCI_SUCCESS);
  EXPECT_EQ(record.long_at(3), 1017);
  EXPECT_EQ(record.string_at(4), "ORA-01017: invalid username/password; logon denied\n");
  auto past = error_record(err, 2);
  EXPECT_EQ(past.result, OCI_NO_DATA);
  EXPECT_EQ(past.long_at(3), 0);
  EXPECT_EQ(past.string_at(4), "");
  EXPECT_EQ(logon("nobody", "zorvan").result, OCI_ERROR);
  EXPECT_EQ(host().method_calls().size(), 2u);  // 54 never reports
}

TEST_F(Session, ErrorGetRefusesHandlesOfOtherKindsWithoutReporting) {
  host().add_method("Handler");
  host().call(105, {string_param("Handler")});
  int32_t service = connect();
  auto r = error_record(service);
  EXPECT_EQ(r.result, OCI_INVALID_HANDLE);
  EXPECT_EQ(r.long_at(3), 0);
  EXPECT_EQ(r.string_at(4), "");
  EXPECT_TRUE(host().method_calls().empty());
}

TEST_F(Session, TheLongRoadAttachesBeginsEndsAndDetaches) {
  int32_t server = alloc(OCI_HTYPE_SERVER);
  int32_t service = alloc(OCI_HTYPE_SVCCTX);
  int32_t session = alloc(OCI_HTYPE_SESSION);
  EXPECT_EQ(host().call(24, {long_param(server), long_param(err), string_param("")}).result, OCI_SUCCESS);
  EXPECT_EQ(host().call(65, {long_param(service), long_param(server), long_param(OCI_ATTR_SERVER),
                             long_param(err)}).result,
            OCI_SUCCESS);
  for (auto [attribute, value] : {std::pair{OCI_ATTR_USERNAME, "ZORVAN"}, {OCI_ATTR_PASSWORD, "zorvan"}})
    EXPECT_EQ(host().call(66, {long_param(session), string_param(value), long_param(attribute),
                               long_param(err)}).result,
              OCI_SUCCESS);
  auto begun = host().call(21, {long_param(service), long_param(err), long_param(session),
                                long_param(OCI_CRED_RDBMS), long_param(OCI_DEFAULT)});
  ASSERT_EQ(begun.result, OCI_SUCCESS);
  EXPECT_EQ(begun.long_at(3), session);
  EXPECT_EQ(host().call(65, {long_param(service), long_param(session), long_param(OCI_ATTR_SESSION),
                             long_param(err)}).result,
            OCI_SUCCESS);
  EXPECT_EQ(attr(server, OCI_ATTR_SERVER_STATUS).long_at(2), 1);

  auto ended = host().call(20, {long_param(service), long_param(err), long_param(session)});
  EXPECT_EQ(ended.result, OCI_SUCCESS);
  EXPECT_EQ(ended.long_at(3), 0);
  EXPECT_EQ(host().call(52, {long_param(session)}).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(host().call(23, {long_param(server), long_param(err)}).result, OCI_SUCCESS);
  EXPECT_EQ(attr(server, OCI_ATTR_SERVER_STATUS).long_at(2), 0);
  EXPECT_EQ(host().call(52, {long_param(service)}).result, OCI_SUCCESS);
  EXPECT_EQ(host().call(52, {long_param(server)}).result, OCI_SUCCESS);
}

TEST_F(Session, ConnectStringsNameDatabases) {
  int32_t server = alloc(OCI_HTYPE_SERVER);
  auto r = host().call(24, {long_param(server), long_param(err), string_param("(DESCRIPTION=(ADDRESS=))")});
  EXPECT_EQ(r.result, OCI_ERROR);
  EXPECT_EQ(error_record(err).long_at(3), 12154);
  EXPECT_EQ(host().call(24, {long_param(server), long_param(err), string_param("dbhost:1521/sales")}).result,
            OCI_SUCCESS);

  // Two databases are two worlds.
  auto sales = logon("zorvan", "zorvan", "sales");
  auto other = logon("zorvan", "zorvan", "other");
  ASSERT_EQ(sales.result, OCI_SUCCESS);
  ASSERT_EQ(other.result, OCI_SUCCESS);
  sql(sales.long_at(3), "CREATE TABLE only_in_sales (n NUMBER)");
  char value[64];
  EXPECT_EQ(client.query(reinterpret_cast<void *>(static_cast<uintptr_t>(other.long_at(3))),
                         "SELECT count(*) FROM only_in_sales", value, sizeof value),
            942);
}

TEST_F(Session, PasswordChangesNeedTheOldPassword) {
  int32_t service = connect();
  auto change = [&](const char *old_password, const char *new_password) {
    return host().call(25, {long_param(service), long_param(err), string_param("zorvan"),
                            string_param(old_password), string_param(new_password), long_param(0)});
  };
  EXPECT_EQ(change("wrong", "secret").result, OCI_ERROR);
  EXPECT_EQ(error_record(err).long_at(3), 28008);
  EXPECT_EQ(change("zorvan", "secret").result, OCI_SUCCESS);
  EXPECT_EQ(host().call(29, {long_param(service), long_param(err)}).result, OCI_SUCCESS);
  EXPECT_EQ(logon("zorvan", "zorvan").result, OCI_ERROR);
  EXPECT_EQ(logon("ZORVAN", "secret").result, OCI_SUCCESS);
}

TEST_F(Session, CommitAndRollbackAreSeenFromASecondSession) {
  int32_t writer = connect();
  int32_t reader = connect();
  sql(writer, "CREATE TABLE accounts (id NUMBER(10), owner VARCHAR2(40))");
  sql(writer, "INSERT INTO accounts VALUES (1, 'ann')");
  EXPECT_EQ(query(reader, "SELECT count(*) FROM accounts"), "0");
  EXPECT_EQ(query(writer, "SELECT count(*) FROM accounts"), "1");
  EXPECT_EQ(commit(writer), OCI_SUCCESS);
  EXPECT_EQ(query(reader, "SELECT count(*) FROM accounts"), "1");

  sql(writer, "INSERT INTO accounts VALUES (2, 'bob')");
  EXPECT_EQ(host().call(11, {long_param(writer), long_param(err), long_param(0)}).result, OCI_SUCCESS);
  EXPECT_EQ(query(writer, "SELECT count(*) FROM accounts"), "1");
  EXPECT_EQ(query(reader, "SELECT count(*) FROM accounts"), "1");
}

TEST_F(Session, DefinitionsCommitWhatIsPending) {
  int32_t writer = connect();
  int32_t reader = connect();
  sql(writer, "CREATE TABLE audit_log (entry VARCHAR2(100))");
  sql(writer, "INSERT INTO audit_log VALUES ('pending')");
  EXPECT_EQ(query(reader, "SELECT count(*) FROM audit_log"), "0");
  sql(writer, "CREATE TABLE other (n NUMBER)");
  EXPECT_EQ(query(reader, "SELECT count(*) FROM audit_log"), "1");
  // And logging off keeps the work, as Oracle does.
  sql(writer, "INSERT INTO audit_log VALUES ('at logoff')");
  EXPECT_EQ(host().call(29, {long_param(writer), long_param(err)}).result, OCI_SUCCESS);
  EXPECT_EQ(query(reader, "SELECT count(*) FROM audit_log"), "2");
}

TEST_F(Session, TransactionSelectorsReachTheirFunctions) {
  int32_t service = connect();
  const char *expected[] = {"OCITransRollback", "OCITransPrepare", "OCITransForget",
                            "OCITransDetach", "OCITransCommit"};
  for (int32_t selector = 11; selector <= 15; ++selector) {
    host().call(selector, {long_param(service), long_param(err), long_param(0)});
    char name[32];
    client.call(client.call_count() - 1, name, sizeof name, nullptr, 0);
    EXPECT_STREQ(name, expected[selector - 11]);
  }
  // Without a global transaction there is nothing to prepare.
  EXPECT_EQ(host().call(12, {long_param(service), long_param(err), long_param(0)}).result, OCI_ERROR);
  EXPECT_EQ(error_record(err).long_at(3), 24756);
}

TEST_F(Session, GlobalTransactionsPrepareAndCommitInTwoPhases) {
  int32_t service = connect();
  int32_t reader = connect();
  sql(service, "CREATE TABLE ledger (n NUMBER)");
  int32_t transaction = alloc(OCI_HTYPE_TRANS);
  static Xid xid{4711, 3, 2, "gtrbq"};
  EXPECT_EQ(host().call(65, {long_param(service), long_param(transaction), long_param(OCI_ATTR_TRANS),
                             long_param(err)}).result,
            OCI_SUCCESS);
  EXPECT_EQ(host().call(65, {long_param(transaction),
                             long_param(static_cast<int32_t>(reinterpret_cast<uintptr_t>(&xid))),
                             long_param(OCI_ATTR_XID), long_param(err)}).result,
            OCI_SUCCESS);
  auto start = [&](int32_t flags) {
    return host().call(10, {long_param(service), long_param(err), long_param(60), long_param(flags)}).result;
  };
  EXPECT_EQ(start(OCI_TRANS_NEW), OCI_SUCCESS);
  EXPECT_EQ(start(OCI_TRANS_NEW), OCI_ERROR);
  EXPECT_EQ(error_record(err).long_at(3), 24757);
  sql(service, "INSERT INTO ledger VALUES (1)");
  EXPECT_EQ(host().call(14, {long_param(service), long_param(err), long_param(0)}).result, OCI_SUCCESS);
  EXPECT_EQ(host().call(12, {long_param(service), long_param(err), long_param(0)}).result, OCI_SUCCESS);
  EXPECT_EQ(query(reader, "SELECT count(*) FROM ledger"), "0");
  EXPECT_EQ(host().call(15, {long_param(service), long_param(err), long_param(OCI_TRANS_TWOPHASE)}).result,
            OCI_SUCCESS);
  EXPECT_EQ(query(reader, "SELECT count(*) FROM ledger"), "1");
  // The transaction identifier reads back as a value the registry keeps.
  auto read = attr(transaction, OCI_ATTR_XID);
  EXPECT_EQ(read.result, OCI_SUCCESS);
  EXPECT_NE(read.long_at(2), 0);
}

TEST_F(Session, DescribeGivesEachOracleColumnType) {
  int32_t service = connect();
  sql(service,
      "CREATE TABLE everything (amount NUMBER(10,2) NOT NULL, name VARCHAR2(40), born DATE, "
      "notes CLOB, picture BLOB, story LONG, code RAW(16), anything NUMBER, flag CHAR(1))");
  int32_t describe = alloc(OCI_HTYPE_DESCRIBE);
  auto r = host().call(58, {long_param(service), long_param(err), string_param("everything"),
                            long_param(OCI_OTYPE_NAME), long_param(0), long_param(OCI_PTYPE_TABLE),
                            long_param(describe)});
  ASSERT_EQ(r.result, OCI_SUCCESS);
  int32_t table = attr(describe, OCI_ATTR_PARAM).long_at(2);
  ASSERT_NE(table, 0);
  EXPECT_EQ(attr(table, OCI_ATTR_PTYPE).long_at(2), OCI_PTYPE_TABLE);
  EXPECT_EQ(attr(table, OCI_ATTR_NUM_COLS).long_at(2), 9);
  int32_t list = attr(table, OCI_ATTR_LIST_COLUMNS).long_at(2);
  ASSERT_NE(list, 0);

  struct Expected {
    const char *name;
    int32_t type, size, precision, scale, nullable;
  };
  const Expected columns[] = {
      {"AMOUNT", SQLT_NUM, 22, 10, 2, 0},   {"NAME", SQLT_CHR, 40, 0, 0, 1},
      {"BORN", SQLT_DAT, 7, 0, 0, 1},       {"NOTES", SQLT_CLOB, 4000, 0, 0, 1},
      {"PICTURE", SQLT_BLOB, 4000, 0, 0, 1}, {"STORY", SQLT_LNG, 0, 0, 0, 1},
      {"CODE", SQLT_BIN, 16, 0, 0, 1},      {"ANYTHING", SQLT_NUM, 22, 0, 129, 1},
      {"FLAG", SQLT_AFC, 1, 0, 0, 1},
  };
  for (int32_t i = 0; i < 9; ++i) {
    auto got = host().call(27, {long_param(list), long_param(err), long_param(0), long_param(i + 1)});
    ASSERT_EQ(got.result, OCI_SUCCESS);
    int32_t column = got.long_at(3);
    const Expected &e = columns[i];
    EXPECT_EQ(attr_text(column, OCI_ATTR_NAME), e.name);
    EXPECT_EQ(attr(column, OCI_ATTR_DATA_TYPE).long_at(2), e.type) << e.name;
    EXPECT_EQ(attr(column, OCI_ATTR_DATA_SIZE).long_at(2), e.size) << e.name;
    EXPECT_EQ(attr(column, OCI_ATTR_PRECISION).long_at(2), e.precision) << e.name;
    // A scale of -127 reaches the host as one byte, zero-extended.
    EXPECT_EQ(attr(column, OCI_ATTR_SCALE).long_at(2), e.scale) << e.name;
    EXPECT_EQ(attr(column, OCI_ATTR_IS_NULL).long_at(2), e.nullable) << e.name;
  }

  auto missing = host().call(58, {long_param(service), long_param(err), string_param("no_such_table"),
                                  long_param(OCI_OTYPE_NAME), long_param(0), long_param(0),
                                  long_param(describe)});
  EXPECT_EQ(missing.result, OCI_ERROR);
  EXPECT_EQ(error_record(err).long_at(3), 4043);
}

TEST_F(Session, HandleAttributesAreRegisteredOnce) {
  int32_t service = connect();
  sql(service, "CREATE TABLE t (n NUMBER)");
  int32_t describe = alloc(OCI_HTYPE_DESCRIBE);
  host().call(58, {long_param(service), long_param(err), string_param("t"), long_param(OCI_OTYPE_NAME),
                   long_param(0), long_param(0), long_param(describe)});
  int32_t first = attr(describe, OCI_ATTR_PARAM).long_at(2);
  int32_t second = attr(describe, OCI_ATTR_PARAM).long_at(2);
  EXPECT_NE(first, 0);
  EXPECT_EQ(first, second);
  // The environment, the error handle, the service context, the describe
  // handle and the parameter: five nodes, not six.
  EXPECT_EQ(host().call(104, {}).result, 5);
}

TEST_F(Session, AttributeKindsDecideWhatMovesAndWhatIsRefused) {
  int32_t service = connect();
  sql(service, "CREATE TABLE t (n NUMBER)");
  int32_t describe = alloc(OCI_HTYPE_DESCRIBE);
  host().call(58, {long_param(service), long_param(err), string_param("t"), long_param(OCI_OTYPE_NAME),
                   long_param(0), long_param(0), long_param(describe)});
  int32_t table = attr(describe, OCI_ATTR_PARAM).long_at(2);
  int calls = client.call_count();
  // The parameter table has no row count; text attributes move only as text.
  EXPECT_EQ(attr(table, OCI_ATTR_ROW_COUNT).result, OCI_INVALID_HANDLE);
  int32_t result = 0;
  attr_text(service, OCI_ATTR_ROW_COUNT, &result);
  EXPECT_EQ(result, OCI_INVALID_HANDLE);
  EXPECT_EQ(attr(service, OCI_ATTR_USERNAME).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(client.call_count(), calls);  // refused before OCI is called

  // An attribute a handle does not have is OCI's error, on the error handle.
  auto refused = attr(service, OCI_ATTR_ROW_COUNT);
  EXPECT_EQ(refused.result, OCI_ERROR);
  EXPECT_EQ(error_record(err).long_at(3), 24315);
  // A handle attribute OCI rejects leaves 0 and registers nothing.
  int32_t server = alloc(OCI_HTYPE_SERVER);
  auto rejected = attr(server, OCI_ATTR_SESSION);
  EXPECT_EQ(rejected.result, OCI_ERROR);
  EXPECT_EQ(rejected.long_at(2), 0);
}

TEST_F(Session, NumberAttributesReachTheHostAsWholeLongs) {
  int32_t service = connect();
  sql(service, "CREATE SEQUENCE order_numbers START WITH 10 INCREMENT BY -5 MINVALUE -1000 MAXVALUE 2000.9 ORDER");
  sql(service, "CREATE SEQUENCE unbounded");
  int32_t describe = alloc(OCI_HTYPE_DESCRIBE);
  auto describe_sequence = [&](const char *name) {
    EXPECT_EQ(host().call(58, {long_param(service), long_param(err), string_param(name),
                               long_param(OCI_OTYPE_NAME), long_param(0), long_param(OCI_PTYPE_SEQ),
                               long_param(describe)}).result,
              OCI_SUCCESS);
    return attr(describe, OCI_ATTR_PARAM).long_at(2);
  };
  int32_t sequence = describe_sequence("order_numbers");
  EXPECT_EQ(attr(sequence, OCI_ATTR_PTYPE).long_at(2), OCI_PTYPE_SEQ);
  struct Expected {
    int32_t attribute;
    int32_t value;
  };
  // MIN, MAX (2000.9 rounds toward zero), INCR, CACHE and HW_MARK arrive
  // as NUMBER bytes behind a pointer; ORDER is one byte.
  for (Expected e : {Expected{OCI_ATTR_MIN, -1000}, {OCI_ATTR_MAX, 2000}, {OCI_ATTR_INCR, -5},
                     {OCI_ATTR_CACHE, 20}, {OCI_ATTR_HW_MARK, 10}, {OCI_ATTR_ORDER, 1}}) {
    auto r = attr(sequence, e.attribute);
    EXPECT_EQ(r.result, OCI_SUCCESS) << e.attribute;
    EXPECT_EQ(r.long_at(2), e.value) << e.attribute;
  }
  // A value that does not fit a long fails and leaves the parameter alone.
  int32_t unbounded = describe_sequence("unbounded");
  auto too_big = host().call(67, {long_param(unbounded), long_param(-7), long_param(OCI_ATTR_MAX), long_param(err)});
  EXPECT_EQ(too_big.result, OCI_ERROR);
  EXPECT_EQ(too_big.long_at(2), -7);
  // The timestamp attribute is a DATE behind its pointer, not a NUMBER: refused.
  EXPECT_EQ(attr(sequence, OCI_ATTR_TIMESTAMP).result, OCI_INVALID_HANDLE);
}

TEST_F(Session, AnErrorHandlerReadsTheOracleText) {
  std::string seen;
  host().add_method("OnError", [&](std::span<const emu::Variable> args) {
    int32_t handle;
    std::memcpy(&handle, args[1].bytes + 2, 4);
    seen = error_record(handle).string_at(4);
    return emu::Variable{};
  });
  host().call(105, {string_param("OnError")});
  logon("zorvan", "not-this");
  EXPECT_EQ(seen, "ORA-01017: invalid username/password; logon denied\n");
}

TEST_F(Session, AHandlerThatAlwaysFailsAgainIsNotEnteredWithoutEnd) {
  int entered = 0;
  std::vector<int32_t> inner;
  host().add_method("OnError", [&](std::span<const emu::Variable>) {
    ++entered;
    // The handler itself calls a command that fails, every time.
    inner.push_back(host().call(53, {long_param(4321), long_param(0), long_param(OCI_HTYPE_STMT)}).result);
    return emu::Variable{};
  });
  host().call(105, {string_param("OnError")});
  EXPECT_EQ(host().call(53, {long_param(1234), long_param(0), long_param(OCI_HTYPE_STMT)}).result,
            OCI_INVALID_HANDLE);
  EXPECT_EQ(entered, 4);  // four levels deep, then the status alone
  EXPECT_EQ(inner, std::vector<int32_t>(4, OCI_INVALID_HANDLE));
  // The next failure outside the handler reaches it again.
  host().call(53, {long_param(1234), long_param(0), long_param(OCI_HTYPE_STMT)});
  EXPECT_EQ(entered, 8);
}

TEST_F(Session, DurationsBreakAndReset) {
  int32_t service = connect();
  auto begun = host().call(8, {long_param(err), long_param(service), long_param(10), long_param(0)});
  EXPECT_EQ(begun.result, OCI_SUCCESS);
  EXPECT_GE(begun.long_at(4), 16);
  auto child = host().call(8, {long_param(err), long_param(service), long_param(begun.long_at(4)),
                               long_param(0)});
  EXPECT_EQ(child.result, OCI_SUCCESS);
  EXPECT_EQ(host().call(7, {long_param(err), long_param(service), long_param(begun.long_at(4))}).result,
            OCI_SUCCESS);
  EXPECT_EQ(host().call(7, {long_param(err), long_param(service), long_param(child.long_at(4))}).result,
            OCI_ERROR);
  auto failed = host().call(8, {long_param(err), long_param(service), long_param(999), long_param(-5)});
  EXPECT_EQ(failed.result, OCI_ERROR);
  EXPECT_EQ(failed.long_at(4), 0);  // written even so

  EXPECT_EQ(host().call(62, {long_param(service), long_param(err)}).result, OCI_SUCCESS);
  EXPECT_EQ(host().call(9, {long_param(service), long_param(err)}).result, OCI_SUCCESS);
  EXPECT_EQ(host().call(62, {long_param(err), long_param(err)}).result, OCI_INVALID_HANDLE);
}

}  // namespace
}  // namespace zorvan::test
