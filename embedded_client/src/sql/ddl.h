// Data definition: CREATE, ALTER, DROP, TRUNCATE, COMMENT and RENAME, with
// Oracle's checks and errors. Each runs in a transaction of its own after
// committing what the session had pending, as Oracle's DDL does.
//
// The SQLite side of a table is generated from the catalog: its columns
// (without SQLite types, so values are stored exactly as the engine
// encodes them), NOT NULL, PRIMARY KEY, UNIQUE and named CHECK
// constraints, and triggers that enforce foreign keys with the
// constraint's name and clean up LOB values. A change SQLite cannot make
// in place rebuilds the table from the catalog, keeping its rows.
#pragma once

#include <string_view>

#include "src/sql/ast.h"
#include "src/sql/session.h"

namespace zec::sql {

class Environment;

// True when the statement is DDL this executor carries out.
bool is_ddl(const Statement &s);
// Runs it; throws SqlError.
void execute_ddl(Session &s, const Statement &statement, std::string_view source, Environment &env);

}  // namespace zec::sql
