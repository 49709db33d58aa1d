// One database session of the engine: its own SQLite connection (WAL, so
// that other sessions read what is committed while it writes), the catalog
// as this session last read it, its NLS settings, its transaction, and the
// sequence values it has seen.
//
// Transactions follow Oracle: the first change begins one (BEGIN IMMEDIATE,
// so that a session reads the latest committed data until it writes, as
// Oracle's statement-level consistency has it), COMMIT and ROLLBACK end it,
// DDL commits what is pending before and after it runs. SQLite allows one
// writer a file: while one session of this process has a transaction open,
// another session of the process that tries to write fails at once with
// ORA-00054, since this single-threaded process cannot wait for itself;
// writers in other processes are waited for up to 2 seconds.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "src/sql/catalog.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zec::sql {

struct Nls {
  std::string date_format = "DD-MON-RR";
  std::string timestamp_format = "DD-MON-RR HH.MI.SSXFF AM";
  std::string language = "AMERICAN";
  char decimal = '.';
  char group = ',';
  std::string currency = "$";
  std::string iso_currency = "AMERICA";
  // The NLS parameter text the number format code reads.
  std::string number_parameters() const;
};

class SequenceStore;
class Cursor;
struct StoredProgram;

struct Session {
  sqlite3 *db = nullptr;
  std::string path;
  std::string user = "ZORVAN";
  Catalog catalog;
  Nls nls;
  bool in_transaction = false;
  int64_t transaction_number = 0;  // counts the transactions begun
  int64_t now = 0;    // SYSDATE while a statement runs (seconds)
  std::map<std::string, std::string> currval;  // sequence -> NUMBER bytes
  std::shared_ptr<SequenceStore> sequences;
  std::vector<std::string> savepoints;
  int depth = 0;      // statements running inside statements (PL/SQL, triggers)
  int64_t statement_id = 0;
  std::string dbms_output;
  bool dbms_output_enabled = false;
  sqlite3_stmt *version_stmt = nullptr;
  std::set<Cursor *> cursors;  // statements with SQLite statements on this connection
  // Stored units and triggers as this session runs them, by name.
  std::map<std::string, std::shared_ptr<StoredProgram>> programs;

  ~Session();
  // The catalog, read again when DDL has changed it since.
  const Catalog &schema();
  void invalidate_schema() { catalog.version = -1; }
};

// Opens a session on the database file; null when it cannot be opened.
std::unique_ptr<Session> open_session(const std::string &path, const std::string &user);
// Makes the database's own tables when they are missing (accounts, catalog).
bool prepare_database(sqlite3 *db);
// Connection settings and the engine's SQL functions.
bool configure_connection(sqlite3 *db, Session *session);

// Transactions. Each throws SqlError.
void begin_transaction(Session &s);
void commit(Session &s);
void rollback(Session &s);
void savepoint(Session &s, const std::string &name);
void rollback_to(Session &s, const std::string &name);
// Ends the session: pending work is committed, as at logoff; the cursors
// that ran on it are detached with `reason` (ORA-01012 or ORA-03114).
void close_session(Session &s, sb4 reason = 1012);
void detach_cursors(Session &s, sb4 reason);

// Sequences, shared by the process's sessions of one database and kept in
// a file beside it, so that NEXTVAL is not undone by a rollback and takes
// no lock of the session's transaction.
struct SequenceInfo {
  std::string name;
  std::string min_value, max_value, increment, cache, last_number;  // decimal text
  bool cycle = false;
  bool ordered = false;
};
std::shared_ptr<SequenceStore> sequence_store(const std::string &database_path);
void sequence_create(Session &s, const std::string &name,
                     const std::vector<std::pair<std::string, std::string>> &options, bool replace = false);
void sequence_alter(Session &s, const std::string &name,
                    const std::vector<std::pair<std::string, std::string>> &options);
void sequence_drop(Session &s, const std::string &name);
bool sequence_find(Session &s, const std::string &name, SequenceInfo *out);
std::vector<SequenceInfo> sequence_list(Session &s);
// The next value (NUMBER bytes); ORA-02289 when there is no such
// sequence, ORA-08004 past its limit.
std::string sequence_next(Session &s, const std::string &name);
// CURRVAL: ORA-08002 before this session's first NEXTVAL.
std::string sequence_current(Session &s, const std::string &name);

// The SQLite custom functions of the engine (functions.cpp).
void register_functions(sqlite3 *db, Session *session);

}  // namespace zec::sql
