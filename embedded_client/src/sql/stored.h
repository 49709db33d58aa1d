// Stored procedures, functions and triggers at run time. A unit's CREATE
// text, kept in the catalog, is parsed once for each catalog version and
// the program made from it is kept by the session; a recursive call gets a
// program of its own.
//
// DML on a table with triggers runs row by row: the rows the statement
// works on are read first, then for each one the BEFORE row triggers may
// change :NEW, the row is written by rowid, and the AFTER row triggers
// see it. Statement triggers run before and after. What the triggers and
// the statement did is undone together when any of them fails.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "src/sql/ast.h"
#include "src/sql/engine.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zec::sql {

// The parsed CREATE statement of a stored procedure or function, or null.
const Statement *stored_unit(Session &s, const std::string &name);
// A parameter's or function's type: t.column%TYPE read from the catalog,
// a bare VARCHAR2 or RAW of any length.
Type parameter_type(Session &s, const Type &declared, const Name &type_of);
// Calls it: arguments in parameter order (`given` false where the default
// applies); OUT and IN OUT values come back in args; a function's value is
// returned. Throws SqlError.
Value call_stored(Session &s, const std::string &name, std::vector<Value> &args, const std::vector<bool> &given);

// Whether DML of the plan fires triggers of its table.
bool fires_triggers(Session &s, const Plan &plan);
// Runs one iteration of such DML; each RETURNING row is handed to
// `returned` on the statement that gave it. The rows processed.
uint64_t run_triggered(Session &s, const Plan &plan, Binds &binds, uint32_t iteration,
                       const std::function<void(sqlite3_stmt *)> &returned, int64_t *last_rowid);

// z_call(name, args...): a stored function in SQL.
void register_stored_functions(sqlite3 *db, Session *session);

}  // namespace zec::sql
