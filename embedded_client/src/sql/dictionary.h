// The data dictionary a program or tool reads: USER_TABLES, USER_TAB_COLUMNS,
// USER_CONSTRAINTS and the rest, with Oracle's column names and types, and
// their ALL_ forms (the same rows with the owner first). Each view is a
// SQLite virtual table computed from the session's catalog whenever a query
// reads it, so it is never stale, and it is read-only.
#pragma once

#include <string>
#include <vector>

#include "src/sql/types.h"

struct sqlite3;

namespace zec::sql {

struct Session;

struct DictionaryColumn {
  std::string name;
  Type type;
};

struct DictionaryView {
  std::string name;     // USER_TABLES, ALL_TABLES ...
  std::string sql_name; // the virtual table's name in SQLite
  std::vector<DictionaryColumn> columns;
};

// The view of that name (upper case), or null.
const DictionaryView *dictionary_view(const std::string &name);
// Registers the views' virtual tables on a session's connection.
bool register_dictionary(sqlite3 *db, Session *session);

}  // namespace zec::sql
