// The translator's working state, shared by its parts (expressions,
// queries, DML). Not for use outside the translator.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "src/sql/error.h"
#include "src/sql/sqlite_util.h"
#include "src/sql/translate.h"

namespace zec::sql::detail {

// A translated expression: its SQLite text and Oracle type.
struct T {
  std::string sql;
  Type type;
  bool literal = false;    // a literal of the statement
  bool null = false;       // the NULL literal
  bool aggregate = false;  // holds an aggregate (outside subqueries)
  bool nullable = true;
  std::string text_value;  // literal: its value
  int param = -1;          // a bare placeholder: its parameter, whose type can still be chosen
};

struct SourceColumn {
  std::string name;
  Type type;
  std::string sql;  // how the generated SQL reaches it
  bool nullable = true;
};

// One table, view or subquery of a FROM clause, as its columns are reached.
struct Source {
  std::string name;  // as the statement refers to it (alias, or table name)
  std::vector<SourceColumn> columns;
  const TableInfo *table = nullptr;
  std::string rowid_sql;  // the row's rowid in the generated SQL, when it has one
  int64_t table_id = 0;
};

struct Scope {
  Scope *outer = nullptr;
  std::vector<Source> sources;
  // Aggregation: a query with GROUP BY or an aggregate in its select list.
  bool grouped = false;
  bool has_group_by = false;
  std::set<std::string> group_texts;          // GROUP BY items, as normalized text
  std::set<std::string> group_columns;        // GROUP BY columns, as "source\x1fcolumn"
  bool aggregates_allowed = false;
  bool windows_allowed = false;
  int in_aggregate = 0;
  int group_ok = 0;  // inside an expression GROUP BY names: its columns need no check
  // Select-list names, for ORDER BY.
  const std::vector<std::pair<std::string, T>> *aliases = nullptr;
  bool in_order_by = false;
  bool rownum_window = false;  // ROWNUM in a select list: row_number()
  std::string rownum_order;    // a hierarchy numbers its rows depth first
  bool connect_by = false;
  std::string level_sql;       // LEVEL in a hierarchical query
  std::map<std::string, std::string> prior;  // column -> the parent row's column
  bool returning = false;      // RETURNING: columns are unqualified
  int outer_marks = 0;         // translating an outer join's ON: (+) marks are allowed
  // One grouping set of ROLLUP, CUBE or GROUPING SETS: the grouping
  // expressions (normalized) it leaves out read as NULL, GROUPING() as 1.
  std::set<std::string> rolled_up;
  std::vector<std::string> grouping_texts;  // all grouping expressions, for GROUPING_ID
  bool grouping_sets = false;
  // A hierarchical query's computed columns, by the expression's normalized
  // text: SYS_CONNECT_BY_PATH and CONNECT_BY_ROOT; CONNECT_BY_ISLEAF's SQL.
  std::map<std::string, std::string> hierarchy_columns;
  std::string isleaf_sql;
};

class Translator {
 public:
  Translator(Session &s, std::string_view source, Environment &env)
      : session_(s), catalog_(s.schema()), source_(source), env_(env) {}

  Plan plan;

  // Expressions (translate_expr.cpp).
  T expr(const Expr &e, Scope &scope);
  T condition(const Expr &e, Scope &scope);
  T to_number(T x);
  T to_text(T x);
  T to_date(T x);
  T to_timestamp(T x);
  T to_raw(T x);
  T to_real(T x);
  T convert(T x, const Type &target);
  void unify_compare(T &a, T &b);
  std::string normalized(const Expr &e) const;
  // As normalized, without parentheses around the whole: GROUP BY (a) is a.
  std::string grouping_text(const Expr &e) const;
  std::string column_name_of(const Expr &e) const;
  T placeholder(const Expr &e, const Type *want);

  // Queries and DML (translate.cpp).
  std::string query(const Query &q, Scope *outer, std::vector<ResultColumn> *columns,
                    const std::vector<Type> *want = nullptr);
  Plan statement(const Statement &s);

  Session &session_;
  const Catalog &catalog_;
  std::string_view source_;
  Environment &env_;
  int next_alias_ = 0;
  std::map<std::string, std::vector<ResultColumn>> ctes_;  // WITH names in scope

  std::string new_alias() { return "$" + std::to_string(++next_alias_); }
  std::string add_param(Param p) {
    plan.params.push_back(std::move(p));
    return "?" + std::to_string(plan.params.size());
  }

 private:
  T column(const Expr &e, Scope &scope);
  T function(const Expr &e, Scope &scope);
  T stored_function(const Expr &e, Scope &scope, const std::string &name);
  T aggregate(const Expr &e, Scope &scope, const std::string &name);
  T analytic(const Expr &e, Scope &scope, const std::string &name);
  T binary(const Expr &e, Scope &scope);
  T compare(const Expr &e, Scope &scope);
  T case_expr(const Expr &e, Scope &scope);
  T in_list(const Expr &e, Scope &scope);
  T subquery_value(const Expr &e, Scope &scope);
  T sequence(const Expr &e);
  T rowid(const Expr &e, Scope &scope);
  bool group_check(const Expr &e, Scope &scope, T *out);

  void from_item(const FromItem &f, Scope &scope, std::string *sql);
  Source table_source(const Name &name, const std::string &alias, std::string *sql);
  int item_of(const Expr &column, const Scope &scope, const std::vector<size_t> &source_item);
  std::string outer_joins(Scope &scope, const std::vector<std::string> &from_parts,
                          const std::vector<size_t> &source_item, std::vector<const Expr *> *where);
  std::string select_core(const Query &q, Scope *outer, std::vector<ResultColumn> *columns,
                          const std::vector<Type> *want);
  std::string grouping_sets(const Query &q, Scope *outer, std::vector<ResultColumn> *columns,
                            const std::vector<Type> *want);
  // CONNECT BY: the recursive WITH the query then reads as its FROM.
  std::string hierarchy(const Query &q, Scope &scope, const std::string &from_sql, std::string *order_key);
  // The grouping set select_core translates now, when expanding one.
  const std::vector<const Expr *> *current_set_ = nullptr;
  const std::vector<const Expr *> *all_grouping_ = nullptr;
  Plan insert(const Statement &s);
  Plan update(const Statement &s);
  Plan remove(const Statement &s);
  Plan merge(const Statement &s);
  void returning(const Statement &s, const TableInfo &table, Plan &p, Scope &scope);
  const TableInfo &dml_table(const Statement &s);
  std::string value_for_column(const Expr *e, const ColumnInfo &c, const TableInfo &t, Scope &scope);
  std::string default_for_column(const ColumnInfo &c, const TableInfo &t, Scope &scope);
};

// Oracle type names, for ORA-00932.
std::string family_name(const Type &t);
[[noreturn]] void inconsistent(const Type &expected, const Type &got);

}  // namespace zec::sql::detail
