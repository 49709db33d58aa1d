// PL/SQL anonymous blocks: declarations, assignments (to variables and to
// placeholders, which is how programs get values back), IF, CASE, loops,
// SQL statements with SELECT ... INTO and RETURNING ... INTO, cursors,
// EXECUTE IMMEDIATE, exceptions with their handlers, RAISE and
// RAISE_APPLICATION_ERROR, COMMIT and ROLLBACK, DBMS_OUTPUT.
//
// Every expression is evaluated by SQLite through the SQL translator, so a
// block computes exactly as SQL does; each expression and statement is
// translated and prepared once and stepped again on every evaluation. A
// block is one statement to its caller: an unhandled exception undoes what
// it changed (statement-level rollback) and is reported with Oracle's
// "ORA-06512: at line n".
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "src/sql/engine.h"

namespace zec::sql {

class PlsqlProgram {
 public:
  PlsqlProgram(const Statement &block, std::string_view source, const std::vector<Placeholder> &placeholders);
  ~PlsqlProgram();
  PlsqlProgram(const PlsqlProgram &) = delete;
  PlsqlProgram &operator=(const PlsqlProgram &) = delete;

  // Throws SqlError for an unhandled exception; ORA-01403 reaches OCI as
  // OCI_NO_DATA.
  void run(Session &s, Binds &binds);
  // A stored procedure or function (its CREATE statement): the arguments in
  // parameter order, `given` false where the default applies; OUT and IN OUT
  // values come back in args. A function's value is returned.
  Value call(Session &s, std::vector<Value> &args, const std::vector<bool> &given);
  // A trigger's body on one row (none for a statement trigger): :NEW may
  // change the new row; event is INSERT, UPDATE or DELETE.
  void fire(Session &s, const TableInfo &table, const std::string &event, std::vector<Value> *new_row,
            const std::vector<Value> *old_row);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace zec::sql
