// Running statements: what OCIStmtPrepare, OCIStmtExecute and OCIStmtFetch
// ask of the engine. A Cursor holds one statement's text, its
// placeholders, and for each combination of bind types it has met one
// translated plan and one prepared SQLite statement, which every execution
// and every iteration of an array DML steps again. Cursors are registered
// with the session they run on, so that ending the session finalizes their
// SQLite statements (never leaving a zombie connection) and they answer
// ORA-01012 afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "src/sql/ast.h"
#include "src/sql/error.h"
#include "src/sql/session.h"
#include "src/sql/translate.h"
#include "src/sql/value.h"

struct sqlite3_stmt;
struct sqlite3_value;
struct sqlite3_context;

namespace zec::sql {

struct Placeholder {
  std::string name;  // upper case unless quoted, without the colon
  size_t offset = 0; // in the statement's text
};

// The values of a statement's placeholders, and where values go back.
class Binds {
 public:
  virtual ~Binds() = default;
  // The type the bind of an occurrence gives its value; false when unbound.
  virtual bool type_of(int occurrence, Type *type) = 0;
  // The value of an occurrence for an iteration of the execution. Throws
  // SqlError for a value OCI cannot read (ORA-01480 and the like).
  virtual Value value(int occurrence, uint32_t iteration) = 0;
  // A value assigned to an occurrence (PL/SQL OUT, RETURNING INTO).
  virtual void assign(int occurrence, uint32_t iteration, const Value &value, const Type &type) = 0;
};

// Coerces a value to a type by Oracle's implicit conversions (ORA-01722,
// ORA-01858 ...), then checks it against a column's type when one is given.
Value coerce(Session &s, const Value &v, const Type &to);
void fit_to_column(const Type &column, const std::string &column_name, Value *v);
// A value as SQLite stores it, bound to parameter i: copied, or pointed at
// when the caller keeps it unchanged until the statement is bound again.
// ORA-04030 when SQLite cannot take a copy.
void bind_value(sqlite3_stmt *stmt, int i, const Value &v, bool copy = true);
// A stored value back, knowing its Oracle type: a statement's column, or
// any SQLite value (a function's argument).
Value read_column(sqlite3_stmt *stmt, int i, const Type &type);
Value read_value(sqlite3_value *value, const Type &type);
// A value as a SQL function's result, stored as bind_value stores it.
void result_value(sqlite3_context *ctx, const Value &v);

// Binds a plan's parameters for one iteration: each value coerced to the
// type the statement gives it and checked against its column.
// With `held`, the values are kept there and bound without a copy; the
// caller keeps `held` until the statement is bound again or finalized.
void bind_params(Session &s, const Plan &plan, sqlite3_stmt *stmt, Binds &binds, uint32_t iteration,
                 std::vector<Value> *held = nullptr);

// The further statements of a plan (MERGE's parts) for one iteration,
// prepared into `stmts` when it is empty: the rows they count.
uint64_t run_then(Session &s, const Plan &plan, std::vector<sqlite3_stmt *> &stmts, Binds &binds,
                  uint32_t iteration);

// SQLite's latest error on the connection, as the ORA error Oracle gives.
SqlError map_error(Session &s, const Plan *plan);

class PlsqlProgram;

class Cursor {
 public:
  Cursor();
  ~Cursor();
  Cursor(const Cursor &) = delete;
  Cursor &operator=(const Cursor &) = delete;

  // OCIStmtPrepare: the text (UTF-8) is kept; its placeholders and type are
  // read now, everything else at execution.
  void prepare(std::string text);
  bool prepared() const { return prepared_; }
  ub2 statement_type() const { return type_; }
  bool is_query() const { return type_ == 1; }
  bool is_plsql() const { return type_ == 8 || type_ == 9 || plsql_call_; }
  const std::vector<Placeholder> &placeholders() const { return placeholders_; }
  const std::string &text() const { return text_; }

  // OCIStmtExecute. A query is opened (and, with describe_only, only
  // described); other statements run for iterations rowoff .. iters - 1.
  // *rows receives the rows processed. Throws SqlError; rows done before a
  // failing iteration stay done.
  void execute(Session &s, Binds &binds, uint32_t iters, uint32_t rowoff, bool describe_only, uint64_t *rows);

  // The open query.
  bool open() const { return query_ != nullptr; }
  const std::vector<ResultColumn> &columns() const { return columns_; }
  // The next row; false at the end (the cursor then closes). Throws SqlError.
  bool next();
  Value column(int i) const;
  bool column_is_null(int i) const;
  sqlite3_stmt *raw() const { return query_; }
  void close();

  // The rowid of the last row an INSERT, UPDATE or DELETE processed.
  int64_t last_rowid() const { return last_rowid_; }
  int64_t last_table_id() const { return last_table_id_; }
  // The session ended under it: its SQLite statements are gone.
  void detach(sb4 reason);
  sb4 detached() const { return detached_; }
  Session *session() const { return session_; }

 private:
  struct Compiled {
    std::vector<Base> signature;
    int64_t version = -1;
    Plan plan;
    sqlite3_stmt *stmt = nullptr;
    std::vector<sqlite3_stmt *> then;
    std::vector<Value> bound;  // what stmt's parameters point at
  };
  Compiled &compile(Session &s, Binds &binds);
  void run_dml(Session &s, Compiled &c, Binds &binds, uint32_t iters, uint32_t rowoff, uint64_t *rows);
  void finalize_all();
  void attach(Session &s);

  std::string text_;
  bool prepared_ = false;
  ub2 type_ = 0;
  bool plsql_call_ = false;
  std::vector<Placeholder> placeholders_;
  StatementPtr parsed_;
  sb4 parse_error_ = 0;
  std::vector<std::unique_ptr<Compiled>> compiled_;
  std::unique_ptr<PlsqlProgram> program_;
  Session *session_ = nullptr;
  sqlite3_stmt *query_ = nullptr;  // the open query's statement (owned by a Compiled)
  std::vector<ResultColumn> columns_;
  int64_t last_rowid_ = 0;
  int64_t last_table_id_ = 0;
  sb4 detached_ = 0;
};

// Runs one statement of text on a session without binds (zec_execute, DDL
// inside the engine). Throws SqlError.
void execute_text(Session &s, const std::string &text);

// Session bookkeeping of cursors (session.h keeps the set).
void register_cursor(Session &s, Cursor *c);
void unregister_cursor(Session &s, Cursor *c);
void detach_cursors(Session &s, sb4 reason);

}  // namespace zec::sql
