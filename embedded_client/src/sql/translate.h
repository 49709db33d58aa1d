// From Oracle's statements to SQLite's: names resolved against the catalog,
// every expression typed, Oracle's implicit conversions made explicit,
// values checked against their columns' types, and Oracle's functions and
// operators replaced by the engine's SQLite functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "src/sql/ast.h"
#include "src/sql/catalog.h"
#include "src/sql/session.h"
#include "src/sql/value.h"

namespace zec::sql {

// Where a SQLite parameter's value comes from when the statement runs.
struct Param {
  enum class Source : uint8_t { Placeholder, Variable, Constant };
  Source source = Source::Placeholder;
  int index = 0;    // Placeholder: the occurrence (0-based); Variable: the PL/SQL slot
  Type as;          // the value's type in the statement
  bool fit = false; // the value goes straight into a column: checked against it
  Type column_type;
  std::string column_name;  // "ZORVAN"."T"."C", for the messages
  Value constant;
};

struct ResultColumn {
  std::string name;
  Type type;
  bool nullable = true;
};

// A translated statement, ready to prepare in SQLite.
struct Plan {
  enum class Kind : uint8_t { Query, Insert, Update, Delete, Merge };
  Kind kind = Kind::Query;
  std::string sql;
  std::vector<Param> params;
  std::vector<ResultColumn> columns;  // the select list, or what RETURNING gives
  std::string table;                  // the DML target
  int64_t table_id = 0;
  bool returning = false;             // RETURNING ... INTO: columns are the values
  std::vector<Param> into;            // where RETURNING's values go (placeholders or variables)
  bool rowid_last = false;            // the last result column is the row's rowid
  bool for_update = false;
  // DML on a table with triggers runs row by row from the rows the
  // statement works on: INSERT, the new rows (every column, in table
  // order); UPDATE, the rowid, the old columns, then the new; DELETE, the
  // rowid and the old columns. Its RETURNING clause ("" or " RETURNING ...")
  // goes on each row's statement.
  std::string rows_sql;
  std::string returning_sql;
  std::vector<std::string> set_columns;  // UPDATE: the columns SET names
  // Further statements run after the first, in the same execution (MERGE's
  // update, delete and insert), and whether the rows each processes count.
  std::vector<Plan> then;
  bool counted = true;
  bool per_updated_row = false;  // runs for each rowid the previous UPDATE gave, bound last
};

// What translation asks of the statement's surroundings.
class Environment {
 public:
  virtual ~Environment() = default;
  // The occurrence index of the placeholder at that source offset, and the
  // type its bind gives; false when the placeholder is not bound
  // (ORA-01008).
  virtual bool placeholder(size_t offset, const std::string &name, int *occurrence, Type *type) = 0;
  // A PL/SQL variable or parameter of that name, in scope here.
  virtual bool variable(const Name &name, int *slot, Type *type) {
    (void)name;
    (void)slot;
    (void)type;
    return false;
  }
  // A trigger's :NEW.column or :OLD.column.
  virtual bool correlation(const std::string &which, const std::string &column, int *slot, Type *type) {
    (void)which;
    (void)column;
    (void)slot;
    (void)type;
    return false;
  }
};

// The source text a statement was parsed from, for Oracle's column names.
Plan translate(Session &session, const Statement &statement, std::string_view source, Environment &env);

// A single expression as SELECT <expr>, for PL/SQL: its value's type.
Plan translate_expression(Session &session, const Expr &expr, std::string_view source, Environment &env,
                          const Type *want = nullptr);

// The Oracle types of a query's select list, for CREATE TABLE AS and views.
std::vector<ResultColumn> describe_query(Session &session, const Query &query, std::string_view source,
                                         Environment &env);

// The SQL expression that checks a value against a column's type: rounding
// NUMBER(p,s), ORA-12899 and ORA-01438. value_sql must already have the
// column's family.
std::string fit_sql(const std::string &value_sql, const Type &column, const std::string &column_name);
// '"ZORVAN"."T"."C"', as Oracle's messages name a column.
std::string qualified_column(const Session &s, const std::string &table, const std::string &column);

// SQL literals.
std::string text_literal(std::string_view text);
std::string blob_literal(std::string_view bytes);

// ROWIDs as Oracle shows them (functions.cpp).
std::string format_rowid(int64_t object, int64_t row);
bool parse_rowid(const std::string &text, int64_t *object, int64_t *row);

}  // namespace zec::sql
