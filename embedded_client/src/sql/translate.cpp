// Queries and DML: FROM clauses and their sources, the select list with
// Oracle's column names, grouping, ordering, ROWNUM, set operations, and
// INSERT / UPDATE / DELETE with their columns' checks.
#include "src/sql/translate.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "src/sql/dictionary.h"
#include "src/sql/parser.h"
#include "src/sql/dictionary.h"
#include "src/sql/translate_internal.h"

namespace zec::sql {
namespace detail {
namespace {

bool is_aggregate_call(const Expr &e) {
  if (e.kind != Expr::Kind::Function || e.over) return false;
  const std::string &n = e.name.last();
  return e.name.parts.size() == 1 &&
         (n == "COUNT" || n == "SUM" || n == "AVG" || n == "MIN" || n == "MAX" || n == "STDDEV" ||
          n == "VARIANCE" || n == "LISTAGG" || n == "MEDIAN" || n == "STDDEV_SAMP" || n == "VAR_SAMP");
}

// Whether an expression holds an aggregate outside any subquery.
bool has_aggregate(const Expr *e) {
  if (e == nullptr) return false;
  if (is_aggregate_call(*e)) return true;
  if (e->kind == Expr::Kind::Subquery || e->kind == Expr::Kind::Exists || e->kind == Expr::Kind::InQuery) {
    return e->kind == Expr::Kind::InQuery && has_aggregate(e->args[0].get());
  }
  for (const ExprPtr &a : e->args)
    if (has_aggregate(a.get())) return true;
  return false;
}

bool is_rownum(const Expr &e) { return e.kind == Expr::Kind::RowNum; }

// A ROWNUM condition Oracle's top-N queries use: ROWNUM <= n, ROWNUM < n,
// ROWNUM = 1 (and the mirrored forms). Sets *limit to the SQL of the limit.
bool rownum_limit(const Expr &e, Translator &t, Scope &scope, std::string *limit) {
  if (e.kind != Expr::Kind::Compare || !e.quantifier.empty()) return false;
  const Expr *value = nullptr;
  std::string op = e.op;
  if (is_rownum(*e.args[0])) {
    value = e.args[1].get();
  } else if (is_rownum(*e.args[1])) {
    value = e.args[0].get();
    if (op == "<") op = ">";
    else if (op == ">") op = "<";
    else if (op == "<=") op = ">=";
    else if (op == ">=") op = "<=";
  } else {
    return false;
  }
  if (value->kind == Expr::Kind::RowNum) return false;
  T v = t.to_number(t.expr(*value, scope));
  // The count of rows ROWNUM lets through, as an integer.
  if (op == "<=") *limit = "z_num2int(" + v.sql + ",0)";
  else if (op == "<") *limit = "z_num2int(" + v.sql + ",-1)";
  else if (op == "=") *limit = "CASE WHEN z_num2int(" + v.sql + ",0) = 1 THEN 1 ELSE 0 END";
  else if (op == ">") *limit = "CASE WHEN z_num2int(" + v.sql + ",0) < 1 THEN -1 ELSE 0 END";
  else if (op == ">=") *limit = "CASE WHEN z_num2int(" + v.sql + ",0) <= 1 THEN -1 ELSE 0 END";
  else return false;  // <> n: every row but the n-th, which Oracle reads as ROWNUM < n
  return true;
}

void conjuncts(const Expr *e, std::vector<const Expr *> *out) {
  if (e == nullptr) return;
  if (e->kind == Expr::Kind::And) {
    conjuncts(e->args[0].get(), out);
    conjuncts(e->args[1].get(), out);
  } else {
    out->push_back(e);
  }
}

bool mentions_rownum(const Expr *e) {
  if (e == nullptr) return false;
  if (e->kind == Expr::Kind::RowNum) return true;
  for (const ExprPtr &a : e->args)
    if (mentions_rownum(a.get())) return true;
  return false;
}

}  // namespace

// ---- FROM ---------------------------------------------------------------------------------

Source Translator::table_source(const Name &name, const std::string &alias, std::string *sql) {
  const std::string &table_name = name.last();
  if (name.parts.size() > 2) fail(942);
  if (name.parts.size() == 2 && name.parts[0] != session_.user && name.parts[0] != "SYS" &&
      name.parts[0] != "PUBLIC")
    fail(942);
  Source src;
  src.name = alias.empty() ? table_name : alias;
  // A WITH name of the query.
  auto cte = ctes_.find(table_name);
  if (cte != ctes_.end() && name.parts.size() == 1) {
    std::string a = alias.empty() ? table_name : alias;
    *sql = quote(table_name) + " AS " + quote(a);
    for (const ResultColumn &c : cte->second)
      src.columns.push_back({c.name, c.type, quote(a) + "." + quote(c.name), c.nullable});
    return src;
  }
  const TableInfo *table = catalog_.table(table_name);
  if (table == nullptr && table_name == "DUAL") {
    sql->clear();
    Type t = Type::varchar2(1);
    src.columns.push_back({"DUMMY", t, "'X'", true});
    return src;
  }
  if (table == nullptr) {
    // The data dictionary: read-only views the catalog computes.
    const DictionaryView *view = dictionary_view(table_name);
    if (view == nullptr) fail(942);
    std::string a = alias.empty() ? table_name : alias;
    *sql = quote(view->sql_name) + " AS " + quote(a);
    for (const DictionaryColumn &c : view->columns)
      src.columns.push_back({c.name, c.type, quote(a) + "." + quote(c.name), true});
    return src;
  }
  src.table = table;
  src.table_id = table->id;
  std::string a = alias.empty() ? table->name : alias;
  if (table->kind == 'V') {
    // A view is its query, translated where it is used.
    StatementPtr parsed = parse_statement(table->view_text);
    std::vector<ResultColumn> columns;
    std::map<std::string, std::vector<ResultColumn>> saved;
    saved.swap(ctes_);
    std::string text;
    try {
      Translator inner(session_, table->view_text, env_);
      inner.next_alias_ = next_alias_ + 1000;
      text = inner.query(*parsed->query, nullptr, &columns);
      if (!inner.plan.params.empty()) fail(1027);  // bind variables not allowed for data definition operations
    } catch (...) {
      ctes_.swap(saved);
      throw;
    }
    ctes_.swap(saved);
    *sql = "(" + text + ") AS " + quote(a);
    for (size_t i = 0; i < table->columns.size() && i < columns.size(); ++i)
      src.columns.push_back({table->columns[i].name, columns[i].type,
                             quote(a) + "." + quote(columns[i].name), columns[i].nullable});
    src.table = nullptr;
    return src;
  }
  *sql = quote(table->name) + " AS " + quote(a);
  for (const ColumnInfo &c : table->columns)
    src.columns.push_back({c.name, c.type, quote(a) + "." + quote(c.name), c.nullable});
  src.rowid_sql = quote(a) + ".rowid";
  return src;
}

void Translator::from_item(const FromItem &f, Scope &scope, std::string *sql) {
  switch (f.kind) {
    case FromItem::Kind::Table:
    case FromItem::Kind::Dual: {
      std::string text;
      scope.sources.push_back(table_source(f.table, f.alias, &text));
      *sql = text;
      return;
    }
    case FromItem::Kind::Subquery: {
      std::vector<ResultColumn> columns;
      std::string sub = query(*f.query, scope.outer, &columns);
      std::string alias = f.alias.empty() ? new_alias() : f.alias;
      Source src;
      src.name = f.alias;  // an unnamed inline view is reached only by its columns
      for (const ResultColumn &c : columns)
        src.columns.push_back({c.name, c.type, quote(alias) + "." + quote(c.name), c.nullable});
      scope.sources.push_back(std::move(src));
      *sql = "(" + sub + ") AS " + quote(alias);
      return;
    }
    case FromItem::Kind::Join: {
      std::string left, right;
      from_item(*f.left, scope, &left);
      size_t left_end = scope.sources.size();
      from_item(*f.right, scope, &right);
      if (left.empty()) left = "(SELECT 'X' AS \"DUMMY\")";
      if (right.empty()) right = "(SELECT 'X' AS \"DUMMY\")";
      std::string kind = f.join == "CROSS" ? "CROSS JOIN" : f.join == "INNER" ? "JOIN" : f.join + " JOIN";
      std::vector<std::string> using_columns = f.using_columns;
      if (f.natural) {
        for (size_t i = left_end; i < scope.sources.size(); ++i)
          for (const SourceColumn &c : scope.sources[i].columns)
            for (size_t k = 0; k < left_end; ++k)
              for (const SourceColumn &l : scope.sources[k].columns)
                if (l.name == c.name &&
                    std::find(using_columns.begin(), using_columns.end(), c.name) == using_columns.end())
                  using_columns.push_back(c.name);
        if (kind == "CROSS JOIN") kind = "JOIN";
      }
      std::string on;
      if (!using_columns.empty()) {
        std::vector<std::string> parts;
        for (const std::string &name : using_columns) {
          const SourceColumn *l = nullptr;
          const SourceColumn *r = nullptr;
          for (size_t k = 0; k < left_end; ++k)
            for (const SourceColumn &c : scope.sources[k].columns)
              if (c.name == name) l = &c;
          Source *right_source = nullptr;
          for (size_t k = left_end; k < scope.sources.size(); ++k)
            for (const SourceColumn &c : scope.sources[k].columns)
              if (c.name == name) {
                r = &c;
                right_source = &scope.sources[k];
              }
          if (l == nullptr || r == nullptr) fail(904, quote(name));
          parts.push_back("(" + l->sql + " = " + r->sql + ")");
          // The column shows once: the right side's copy is reached only by qualifier.
          if (right_source) {
            auto &cols = right_source->columns;
            std::string right_sql = r->sql;
            for (auto it = cols.begin(); it != cols.end(); ++it)
              if (it->name == name) {
                cols.erase(it);
                break;
              }
            if (f.join == "RIGHT" || f.join == "FULL") {
              for (size_t k = 0; k < left_end; ++k)
                for (SourceColumn &c : scope.sources[k].columns)
                  if (c.name == name) c.sql = "coalesce(" + c.sql + "," + right_sql + ")";
            }
          }
        }
        on = join(parts, " AND ");
      } else if (f.on) {
        T c = condition(*f.on, scope);
        on = c.sql;
      }
      *sql = left + " " + kind + " " + right + (on.empty() ? "" : " ON " + on);
      return;
    }
  }
}

// ---- Oracle's outer joins -------------------------------------------------------------------

namespace {

// The columns of an expression, outside its subqueries; `marked` those under (+).
void columns_of(const Expr *e, std::vector<const Expr *> *plain, std::vector<const Expr *> *marked, bool under = false) {
  if (e == nullptr) return;
  if (e->kind == Expr::Kind::Outer) {
    for (const ExprPtr &a : e->args) columns_of(a.get(), plain, marked, true);
    return;
  }
  if (e->kind == Expr::Kind::Column) (under ? marked : plain)->push_back(e);
  for (const ExprPtr &a : e->args) columns_of(a.get(), plain, marked, under);
}

}  // namespace

// The FROM item a column belongs to, or -1 (an outer query's, a variable).
int Translator::item_of(const Expr &column, const Scope &scope, const std::vector<size_t> &source_item) {
  const Name &n = column.name;
  std::string qualifier = n.parts.size() >= 2 ? n.parts[n.parts.size() - 2] : "";
  int found = -1;
  for (size_t i = 0; i < scope.sources.size(); ++i) {
    const Source &src = scope.sources[i];
    if (!qualifier.empty() && src.name != qualifier) continue;
    for (const SourceColumn &c : src.columns)
      if (c.name == n.last()) {
        if (found >= 0 && qualifier.empty() && source_item[i] != static_cast<size_t>(found)) fail(918);
        found = static_cast<int>(source_item[i]);
      }
  }
  return found;
}

std::string Translator::outer_joins(Scope &scope, const std::vector<std::string> &from_parts,
                                    const std::vector<size_t> &source_item, std::vector<const Expr *> *where) {
  std::map<size_t, std::vector<const Expr *>> on;  // optional item -> its conditions
  std::map<size_t, std::set<size_t>> needs;        // optional item -> items its conditions read
  std::vector<const Expr *> rest;
  for (const Expr *c : *where) {
    std::vector<const Expr *> plain, marked;
    columns_of(c, &plain, &marked);
    if (marked.empty()) {
      rest.push_back(c);
      continue;
    }
    int optional = -1;
    for (const Expr *m : marked) {
      int item = item_of(*m, scope, source_item);
      if (item < 0) fail(904, quote(m->name.last()));
      if (optional >= 0 && item != optional) fail(1468);  // a predicate may reference only one outer-joined table
      optional = item;
    }
    if (c->kind == Expr::Kind::Or) fail(1719);  // outer join operator (+) not allowed in operand of OR or IN
    on[static_cast<size_t>(optional)].push_back(c);
    for (const Expr *p : plain) {
      int item = item_of(*p, scope, source_item);
      if (item == optional) continue;
      if (item >= 0) needs[static_cast<size_t>(optional)].insert(static_cast<size_t>(item));
    }
  }
  *where = rest;
  std::vector<std::string> parts;
  std::set<size_t> placed;
  for (size_t i = 0; i < from_parts.size(); ++i)
    if (!on.count(i)) {
      if (!from_parts[i].empty()) parts.push_back(from_parts[i]);
      placed.insert(i);
    }
  std::string sql = join(parts, ", ");
  if (sql.empty() && !on.empty()) sql = "(SELECT 'X' AS \"DUMMY\")";
  // Each optional item joins once the items its conditions read are there.
  while (placed.size() < from_parts.size()) {
    bool progress = false;
    for (auto &[item, conditions] : on) {
      if (placed.count(item)) continue;
      bool ready = true;
      for (size_t need : needs[item]) ready = ready && placed.count(need);
      if (!ready) continue;
      std::vector<std::string> parts_on;
      ++scope.outer_marks;
      for (const Expr *c : conditions) parts_on.push_back(condition(*c, scope).sql);
      --scope.outer_marks;
      std::string text = from_parts[item].empty() ? "(SELECT 'X' AS \"DUMMY\")" : from_parts[item];
      sql += " LEFT JOIN " + text + " ON " + join(parts_on, " AND ");
      placed.insert(item);
      progress = true;
    }
    if (!progress) fail(1416);  // two tables cannot be outer-joined to each other
  }
  return sql;
}

// ---- Hierarchical queries --------------------------------------------------------------

namespace {

void hierarchy_calls(const Expr *e, std::vector<const Expr *> *out) {
  if (e == nullptr) return;
  if ((e->kind == Expr::Kind::Function && e->name.parts.size() == 1 && e->name.last() == "SYS_CONNECT_BY_PATH") ||
      (e->kind == Expr::Kind::Unary && e->op == "CONNECT_BY_ROOT")) {
    out->push_back(e);
    return;
  }
  for (const ExprPtr &a : e->args) hierarchy_calls(a.get(), out);
}

}  // namespace

// The rows of the single FROM item as "$b" (with their rowid), and "$h":
// the START WITH rows at level 1, then each level's children joined by the
// CONNECT BY condition, PRIOR naming the parent. "$order" sorts depth
// first, siblings by ORDER SIBLINGS BY or as stored; "$ids" finds loops.
std::string Translator::hierarchy(const Query &q, Scope &scope, const std::string &from_sql, std::string *order_key) {
  Source &src = scope.sources[0];
  const std::vector<SourceColumn> original = src.columns;
  const std::string original_rowid = src.rowid_sql;
  std::vector<std::string> names, base_items;
  for (size_t i = 0; i < original.size(); ++i) {
    names.push_back(quote(original[i].name));
    base_items.push_back(original[i].sql + " AS " + quote(original[i].name));
  }
  base_items.push_back((original_rowid.empty() ? std::string("0") : original_rowid) + " AS \"$rid\"");
  std::string base = quote("$b") + " AS (SELECT " + join(base_items, ", ") +
                     (from_sql.empty() ? "" : " FROM " + from_sql) + ")";
  auto point = [&](const std::string &alias) {
    for (size_t i = 0; i < original.size(); ++i) src.columns[i].sql = quote(alias) + "." + quote(original[i].name);
    src.rowid_sql = quote(alias) + ".\"$rid\"";
  };
  auto restore_prior = [&] {
    scope.connect_by = false;
    scope.prior.clear();
  };

  // Sibling order keys, for a row aliased r.
  auto sort_keys = [&](const std::string &alias) {
    point(alias);
    std::string keys;
    if (q.order_siblings)
      for (const OrderItem &o : q.order_by) {
        T k = expr(*o.expr, scope);
        int nulls = o.nulls ? o.nulls : (o.descending ? 1 : 2);
        keys += "z_sortkey(" + text_literal(std::string(o.descending ? "D" : "A") + (nulls == 1 ? "F" : "L")) + "," +
                k.sql + ")||";
      }
    return keys + "z_sortkey('AL'," + quote(alias) + ".\"$rid\")";
  };

  // The anchor: START WITH over the base rows.
  std::vector<const Expr *> calls;
  for (const SelectItem &item : q.items) hierarchy_calls(item.expr.get(), &calls);
  std::vector<std::string> anchor_extra, step_extra, extra_names;
  point("$s");
  scope.level_sql = "z_num(1)";
  // Without START WITH every row is a root.
  std::string start = q.start_with ? condition(*q.start_with, scope).sql : "1";
  for (size_t i = 0; i < calls.size(); ++i) {
    const Expr &call = *calls[i];
    std::string column = "$x" + std::to_string(i + 1);
    extra_names.push_back(quote(column));
    scope.hierarchy_columns[normalized(call)] = quote("$h") + "." + quote(column);
    if (call.kind == Expr::Kind::Unary) {  // CONNECT_BY_ROOT x: the root row's x
      anchor_extra.push_back(expr(*call.args[0], scope).sql);
      step_extra.push_back(quote("$p") + "." + quote(column));
    } else {  // SYS_CONNECT_BY_PATH(x, 'sep')
      if (call.args.size() != 2) fail(909);
      T sep = to_text(expr(*call.args[1], scope));
      if (!sep.literal) fail(30003);  // illegal parameter in SYS_CONNECT_BY_PATH function
      anchor_extra.push_back("z_cat(" + sep.sql + "," + to_text(expr(*call.args[0], scope)).sql + ")");
    }
  }
  std::string anchor_key = sort_keys("$s");
  std::vector<std::string> anchor_items;
  for (const std::string &n : names) anchor_items.push_back(quote("$s") + "." + n);
  anchor_items.push_back(quote("$s") + ".\"$rid\"");
  anchor_items.push_back("1");
  anchor_items.push_back(anchor_key);
  anchor_items.push_back("','||" + quote("$s") + ".\"$rid\"||','");
  for (const std::string &x : anchor_extra) anchor_items.push_back(x);

  // The step: children of the rows found so far.
  point("$c");
  scope.connect_by = true;
  scope.level_sql = "z_num(" + quote("$p") + ".\"$level\" + 1)";
  for (size_t i = 0; i < original.size(); ++i) scope.prior[original[i].name] = quote("$p") + "." + quote(original[i].name);
  std::string connect;
  try {
    connect = condition(*q.connect_by, scope).sql;
    for (size_t i = 0; i < calls.size(); ++i) {
      if (calls[i]->kind == Expr::Kind::Unary) continue;
      std::string column = "$x" + std::to_string(i + 1);
      T sep = to_text(expr(*calls[i]->args[1], scope));
      step_extra.insert(step_extra.begin() + static_cast<long>(i),
                        "z_cat(" + quote("$p") + "." + quote(column) + "," + sep.sql + "," +
                            to_text(expr(*calls[i]->args[0], scope)).sql + ")");
    }
  } catch (...) {
    restore_prior();
    throw;
  }
  restore_prior();
  std::string step_key = sort_keys("$c");
  // Loops are found through PRIOR: without it (CONNECT BY LEVEL <= n) rows
  // repeat by design, and only the level ends the recursion.
  std::function<bool(const Expr *)> has_prior = [&](const Expr *x) {
    if (x == nullptr) return false;
    if (x->kind == Expr::Kind::Unary && x->op == "PRIOR") return true;
    for (const ExprPtr &a : x->args)
      if (has_prior(a.get())) return true;
    return false;
  };
  const bool prior = has_prior(q.connect_by.get());
  std::string seen = prior ? "instr(" + quote("$p") + ".\"$ids\", ','||" + quote("$c") + ".\"$rid\"||',') > 0" : "0";
  std::vector<std::string> step_items;
  for (const std::string &n : names) step_items.push_back(quote("$c") + "." + n);
  step_items.push_back(quote("$c") + ".\"$rid\"");
  step_items.push_back(quote("$p") + ".\"$level\" + 1");
  step_items.push_back(quote("$p") + ".\"$order\"||" + step_key);
  // A row met again on its own path is a loop: ORA-01436, or with NOCYCLE the path stops.
  step_items.push_back(quote("$p") + ".\"$ids\"||" + quote("$c") + ".\"$rid\"||','" +
                       (q.nocycle ? std::string() : "||CASE WHEN " + seen + " THEN z_raise(1436) ELSE '' END"));
  for (const std::string &x : step_extra) step_items.push_back(x);
  std::string step_where = connect;
  if (q.nocycle) step_where += " AND NOT (" + seen + ")";
  if (original_rowid.empty() || !prior) step_where += " AND " + quote("$p") + ".\"$level\" < 1000000";

  std::vector<std::string> h_names = names;
  for (const char *n : {"\"$rid\"", "\"$level\"", "\"$order\"", "\"$ids\""}) h_names.push_back(n);
  for (const std::string &n : extra_names) h_names.push_back(n);
  std::string h = quote("$h") + "(" + join(h_names, ",") + ") AS (SELECT " + join(anchor_items, ", ") + " FROM " +
                  quote("$b") + " AS " + quote("$s") + " WHERE " + start + " UNION ALL SELECT " +
                  join(step_items, ", ") + " FROM " + quote("$h") + " AS " + quote("$p") + " JOIN " + quote("$b") +
                  " AS " + quote("$c") + " ON " + step_where + ")";

  // CONNECT_BY_ISLEAF: whether the row has a child.
  point("$c");
  scope.connect_by = true;
  for (size_t i = 0; i < original.size(); ++i) scope.prior[original[i].name] = quote("$h") + "." + quote(original[i].name);
  try {
    std::string child = condition(*q.connect_by, scope).sql;
    scope.isleaf_sql = "(CASE WHEN EXISTS (SELECT 1 FROM " + quote("$b") + " AS " + quote("$c") + " WHERE " + child +
                       ") THEN X'80' ELSE X'C102' END)";
  } catch (...) {
    restore_prior();
    throw;
  }
  restore_prior();

  // The query reads "$h".
  point("$h");
  scope.level_sql = "z_num(" + quote("$h") + ".\"$level\")";
  *order_key = quote("$h") + ".\"$order\"";
  return base + ", " + h;
}

// ---- SELECT ------------------------------------------------------------------------------

std::string Translator::select_core(const Query &q, Scope *outer, std::vector<ResultColumn> *columns,
                                    const std::vector<Type> *want) {
  Scope scope;
  scope.outer = outer;
  // WITH: each name is a query the rest can read.
  std::map<std::string, std::vector<ResultColumn>> saved_ctes = ctes_;
  std::string with_sql;
  for (const Cte &cte : q.with) {
    std::vector<ResultColumn> cte_columns;
    std::string sub = query(*cte.query, outer, &cte_columns);
    if (!cte.columns.empty()) {
      if (cte.columns.size() != cte_columns.size()) fail(32039);  // number of WITH clause column names does not match
      for (size_t i = 0; i < cte_columns.size(); ++i) cte_columns[i].name = cte.columns[i];
      std::vector<std::string> names;
      for (const ResultColumn &c : cte_columns) names.push_back(quote(c.name));
      with_sql += (with_sql.empty() ? "WITH " : ", ") + quote(cte.name) + "(" + join(names, ",") + ") AS (" + sub + ")";
    } else {
      with_sql += (with_sql.empty() ? "WITH " : ", ") + quote(cte.name) + " AS (" + sub + ")";
    }
    ctes_[cte.name] = cte_columns;
  }
  struct Restore {
    std::map<std::string, std::vector<ResultColumn>> &target, saved;
    ~Restore() { target = saved; }
  } restore{ctes_, saved_ctes};

  // FROM: each item's text and the sources it brought.
  std::vector<std::string> from_parts;
  std::vector<size_t> source_item;  // scope.sources[i] came from q.from[source_item[i]]
  for (size_t i = 0; i < q.from.size(); ++i) {
    std::string text;
    from_item(*q.from[i], scope, &text);
    from_parts.push_back(text);
    while (source_item.size() < scope.sources.size()) source_item.push_back(i);
  }

  std::string hierarchy_order;
  if (q.connect_by) {
    if (source_item.empty() || scope.sources.size() != 1) fail(3001, "CONNECT BY over a join");
    if (q.where && [&] {
          std::vector<const Expr *> plain, marked;
          columns_of(q.where.get(), &plain, &marked);
          return !marked.empty();
        }())
      fail(3001, "(+) in a hierarchical query");
    std::string text = from_parts[0];
    std::string cte = hierarchy(q, scope, text, &hierarchy_order);
    if (!with_sql.empty()) with_sql.replace(0, 4, "WITH RECURSIVE");
    with_sql += (with_sql.empty() ? "WITH RECURSIVE " : ", ") + cte;
    from_parts.assign(1, quote("$h"));
  } else if (q.start_with) {
    fail(905);
  }

  // WHERE, with ROWNUM conditions taken out as a limit, and Oracle's (+)
  // conditions taken out as the ON clauses of outer joins.
  std::vector<const Expr *> where_parts;
  conjuncts(q.where.get(), &where_parts);
  std::string from_sql = outer_joins(scope, from_parts, source_item, &where_parts);
  std::vector<std::string> limits;
  std::vector<std::string> conditions;
  for (const Expr *c : where_parts) {
    std::string limit;
    if (mentions_rownum(c)) {
      if (rownum_limit(*c, *this, scope, &limit)) {
        limits.push_back(limit);
        continue;
      }
      fail(3001, "this use of ROWNUM");
    }
    conditions.push_back(condition(*c, scope).sql);
  }
  std::string where_sql = join(conditions, " AND ");
  std::string rownum_limit_sql;
  if (!limits.empty()) {
    rownum_limit_sql = limits[0];
    for (size_t i = 1; i < limits.size(); ++i)
      rownum_limit_sql = "min(" + rownum_limit_sql + "," + limits[i] + ")";
  }

  // Grouping.
  bool grouped = !q.group_by.empty() || q.having != nullptr;
  for (const SelectItem &item : q.items) grouped = grouped || has_aggregate(item.expr.get());
  for (const OrderItem &o : q.order_by) grouped = grouped || (has_aggregate(o.expr.get()) && !q.group_by.empty());

  // ROWNUM limits rows before grouping and ordering: the rows pass through
  // an inner query that stops at the limit.
  if (!rownum_limit_sql.empty() && (grouped || !q.order_by.empty() || q.distinct)) {
    std::vector<std::string> inner_items;
    int k = 0;
    for (Source &src : scope.sources) {
      for (SourceColumn &c : src.columns) {
        std::string name = "$w" + std::to_string(++k);
        inner_items.push_back(c.sql + " AS " + quote(name));
        c.sql = quote("$w") + "." + quote(name);
      }
      if (!src.rowid_sql.empty()) {
        std::string name = "$w" + std::to_string(++k);
        inner_items.push_back(src.rowid_sql + " AS " + quote(name));
        src.rowid_sql = quote("$w") + "." + quote(name);
      }
    }
    if (inner_items.empty()) inner_items.push_back("1");
    std::string inner = "SELECT " + join(inner_items, ", ") + (from_sql.empty() ? "" : " FROM " + from_sql) +
                        (where_sql.empty() ? "" : " WHERE " + where_sql) + " LIMIT " + rownum_limit_sql;
    from_sql = "(" + inner + ") AS " + quote("$w");
    where_sql.clear();
    rownum_limit_sql.clear();
  }

  std::string group_sql;
  if (grouped) {
    scope.grouped = true;
    scope.has_group_by = !q.group_by.empty();
    std::vector<std::string> keys;
    // The keys: the GROUP BY items, or the grouping set being expanded.
    std::vector<const Expr *> key_exprs;
    if (current_set_ != nullptr) {
      key_exprs = *current_set_;
      scope.grouping_sets = true;
      std::set<std::string> kept;
      for (const Expr *x : key_exprs) kept.insert(grouping_text(*x));
      for (const Expr *x : *all_grouping_) {
        scope.grouping_texts.push_back(grouping_text(*x));
        if (!kept.count(grouping_text(*x))) scope.rolled_up.insert(grouping_text(*x));
      }
    } else {
      for (const GroupingElement &g : q.group_by) {
        if (g.kind != GroupingElement::Kind::Expr) return grouping_sets(q, outer, columns, want);
        key_exprs.push_back(g.exprs[0].get());
        scope.grouping_texts.push_back(grouping_text(*g.exprs[0]));
      }
    }
    for (const Expr *key_expr : key_exprs) {
      const Expr &x = *key_expr;
      if (has_aggregate(&x)) fail(934);
      ++scope.group_ok;  // the keys themselves need no check
      T key = expr(x, scope);
      --scope.group_ok;
      keys.push_back(key.sql);
      scope.group_texts.insert(normalized(x));
      scope.group_texts.insert(grouping_text(x));
      if (x.kind == Expr::Kind::Column) {
        // Which source's column it is, for the select list's check.
        std::string qualifier = x.name.parts.size() >= 2 ? x.name.parts[x.name.parts.size() - 2] : "";
        for (const Source &src : scope.sources) {
          if (!qualifier.empty() && src.name != qualifier) continue;
          for (const SourceColumn &c : src.columns)
            if (c.name == x.name.last()) scope.group_columns.insert(src.name + '\x1f' + c.name);
        }
      }
    }
    group_sql = join(keys, ", ");
  }

  // The select list.
  scope.aggregates_allowed = true;
  scope.windows_allowed = true;
  scope.rownum_window = true;
  scope.rownum_order = hierarchy_order;
  std::vector<std::string> items;
  std::vector<std::pair<std::string, T>> aliases;
  std::vector<ResultColumn> result;
  auto add_item = [&](T value, const std::string &name) {
    size_t index = result.size();
    if (want && index < want->size() && (*want)[index].base != Base::Unknown) {
      Type target = (*want)[index];
      if (!(is_character(target.base) && is_character(value.type.base))) value = convert(std::move(value), target);
    }
    if (value.type.base == Base::Boolean) fail(920);
    items.push_back(value.sql + " AS " + quote(name));
    result.push_back({name, value.type, value.nullable});
    aliases.emplace_back(name, value);
  };
  for (const SelectItem &item : q.items) {
    if (item.star) {
      bool any = false;
      for (const Source &src : scope.sources) {
        if (!item.star_qualifier.empty() && src.name != item.star_qualifier.last()) continue;
        any = true;
        for (const SourceColumn &c : src.columns) {
          if (grouped && !scope.group_columns.count(src.name + '\x1f' + c.name)) fail(scope.has_group_by ? 979 : 937);
          T v;
          v.sql = c.sql;
          v.type = c.type;
          v.nullable = c.nullable;
          add_item(v, c.name);
        }
      }
      if (!any) fail(item.star_qualifier.empty() ? 936 : 904, item.star_qualifier.empty() ? "" : quote(item.star_qualifier.last()));
      continue;
    }
    T v = expr(*item.expr, scope);
    std::string name = !item.alias.empty() ? item.alias : column_name_of(*item.expr);
    add_item(std::move(v), name);
  }
  if (columns) *columns = result;

  // HAVING.
  std::string having_sql;
  if (q.having) having_sql = condition(*q.having, scope).sql;

  // ORDER BY: select-list positions and names, or any expression. A
  // grouping set's query is ordered by the union of them all.
  std::vector<std::string> order;
  scope.aliases = &aliases;
  static const std::vector<OrderItem> kNoOrder;
  const bool siblings = q.order_siblings && q.connect_by;
  for (const OrderItem &o : current_set_ || siblings ? kNoOrder : q.order_by) {
    std::string key;
    const Expr &x = *o.expr;
    if (x.kind == Expr::Kind::Number && x.text.find_first_not_of("0123456789") == std::string::npos) {
      size_t position = static_cast<size_t>(std::stol(x.text));
      if (position < 1 || position > result.size()) fail(1785);  // ORDER BY item must be the number of a SELECT-list expression
      key = std::to_string(position);
    } else if (x.kind == Expr::Kind::Column && x.name.parts.size() == 1) {
      for (size_t i = 0; i < aliases.size(); ++i)
        if (aliases[i].first == x.name.last()) {
          key = std::to_string(i + 1);
          break;
        }
    }
    if (key.empty()) {
      scope.in_order_by = !grouped;
      T k = expr(x, scope);
      scope.in_order_by = false;
      key = k.sql;
    }
    int nulls = o.nulls ? o.nulls : (o.descending ? 1 : 2);
    order.push_back(key + (o.descending ? " DESC" : " ASC") + (nulls == 1 ? " NULLS FIRST" : " NULLS LAST"));
  }

  // A hierarchy comes out depth first unless ordered otherwise.
  if (!hierarchy_order.empty() && order.empty() && !grouped && !q.distinct) order.push_back(hierarchy_order);
  std::string sql = with_sql.empty() ? "" : with_sql + " ";
  sql += std::string("SELECT ") + (q.distinct ? "DISTINCT " : "") + join(items, ", ");
  if (!from_sql.empty()) sql += " FROM " + from_sql;
  if (!where_sql.empty()) sql += " WHERE " + where_sql;
  if (!group_sql.empty()) sql += " GROUP BY " + group_sql;
  else if (!having_sql.empty()) sql += " GROUP BY ''";  // the empty grouping set: HAVING needs a GROUP BY here
  if (!having_sql.empty()) sql += " HAVING " + having_sql;
  if (!order.empty()) sql += " ORDER BY " + join(order, ", ");
  std::string limit = rownum_limit_sql;
  if (q.fetch && current_set_ == nullptr) {
    T f = to_number(expr(*q.fetch, scope));
    std::string fetch = "z_num2int(" + f.sql + ",0)";
    limit = limit.empty() ? fetch : "min(" + limit + "," + fetch + ")";
  }
  const bool offset = q.offset && current_set_ == nullptr;
  if (!limit.empty() || offset) {
    sql += " LIMIT " + (limit.empty() ? std::string("-1") : "max(" + limit + ",0)");
    if (offset) sql += " OFFSET max(z_num2int(" + to_number(expr(*q.offset, scope)).sql + ",0),0)";
  }
  if (q.for_update) plan.for_update = true;
  return sql;
}

namespace {

using GroupingSet = std::vector<const Expr *>;

void append_items(const Expr *x, GroupingSet *set) {
  if (x->kind == Expr::Kind::Row)
    for (const ExprPtr &a : x->args) set->push_back(a.get());
  else
    set->push_back(x);
}

std::vector<GroupingSet> expand(const std::vector<GroupingElement> &elements);

// The sets one element stands for.
std::vector<GroupingSet> sets_of(const GroupingElement &g) {
  std::vector<GroupingSet> out;
  switch (g.kind) {
    case GroupingElement::Kind::Expr: {
      GroupingSet one;
      append_items(g.exprs[0].get(), &one);
      out.push_back(one);
      break;
    }
    case GroupingElement::Kind::Empty:
      out.emplace_back();
      break;
    case GroupingElement::Kind::Rollup:  // (a, b, c): abc, ab, a, ()
      for (size_t keep = g.exprs.size() + 1; keep-- > 0;) {
        GroupingSet set;
        for (size_t i = 0; i < keep; ++i) append_items(g.exprs[i].get(), &set);
        out.push_back(set);
      }
      break;
    case GroupingElement::Kind::Cube: {  // every subset, the largest first
      if (g.exprs.size() > 12) fail(3001, "CUBE of more than 12 items");
      size_t n = g.exprs.size();
      for (size_t mask = (size_t{1} << n); mask-- > 0;) {
        GroupingSet set;
        for (size_t i = 0; i < n; ++i)
          if (mask & (size_t{1} << (n - 1 - i))) append_items(g.exprs[i].get(), &set);
        out.push_back(set);
      }
      break;
    }
    case GroupingElement::Kind::Sets:
      for (const std::vector<GroupingElement> &inner : g.sets)
        for (GroupingSet &set : expand(inner)) out.push_back(std::move(set));
      break;
  }
  return out;
}

// GROUP BY a, ROLLUP(b, c): the product of each element's sets.
std::vector<GroupingSet> expand(const std::vector<GroupingElement> &elements) {
  std::vector<GroupingSet> product{GroupingSet{}};
  for (const GroupingElement &g : elements) {
    std::vector<GroupingSet> next;
    for (const GroupingSet &left : product)
      for (const GroupingSet &right : sets_of(g)) {
        GroupingSet joined = left;
        joined.insert(joined.end(), right.begin(), right.end());
        next.push_back(std::move(joined));
      }
    product = std::move(next);
    if (product.size() > 4096) fail(3001, "more than 4096 grouping sets");
  }
  return product;
}

}  // namespace

// ROLLUP, CUBE and GROUPING SETS: the query once for each grouping set, the
// results put together, then ordered.
std::string Translator::grouping_sets(const Query &q, Scope *outer, std::vector<ResultColumn> *columns,
                                      const std::vector<Type> *want) {
  std::vector<GroupingSet> sets = expand(q.group_by);
  GroupingSet all;
  std::set<std::string> seen;
  for (const GroupingSet &set : sets)
    for (const Expr *x : set)
      if (seen.insert(grouping_text(*x)).second) all.push_back(x);
  std::vector<std::string> parts;
  std::vector<ResultColumn> result;
  for (const GroupingSet &set : sets) {
    current_set_ = &set;
    all_grouping_ = &all;
    std::vector<ResultColumn> part_columns;
    std::string sql;
    try {
      sql = select_core(q, outer, &part_columns, want);
    } catch (...) {
      current_set_ = all_grouping_ = nullptr;
      throw;
    }
    current_set_ = all_grouping_ = nullptr;
    if (result.empty()) {
      result = part_columns;
    } else {
      for (size_t i = 0; i < result.size() && i < part_columns.size(); ++i) {
        if (result[i].type.base == Base::Unknown) result[i].type = part_columns[i].type;
        result[i].nullable = true;
      }
    }
    parts.push_back("SELECT * FROM (" + sql + ")");
  }
  std::string sql = join(parts, " UNION ALL ");
  // ORDER BY positions, select-list names, or select-list expressions.
  std::vector<std::string> order;
  for (const OrderItem &o : q.order_by) {
    const Expr &x = *o.expr;
    size_t position = 0;
    if (x.kind == Expr::Kind::Number && x.text.find_first_not_of("0123456789") == std::string::npos) {
      position = static_cast<size_t>(std::stol(x.text));
      if (position < 1 || position > result.size()) fail(1785);
    }
    for (size_t i = 0; position == 0 && i < q.items.size(); ++i) {
      const SelectItem &item = q.items[i];
      if (item.star || !item.expr) continue;
      bool named = x.kind == Expr::Kind::Column && x.name.parts.size() == 1 && i < result.size() &&
                   result[i].name == x.name.last();
      if (named || normalized(*item.expr) == normalized(x)) position = i + 1;
    }
    if (position == 0) fail(3001, "ORDER BY of an expression not selected, with grouping sets");
    int nulls = o.nulls ? o.nulls : (o.descending ? 1 : 2);
    order.push_back(std::to_string(position) + (o.descending ? " DESC" : " ASC") +
                    (nulls == 1 ? " NULLS FIRST" : " NULLS LAST"));
  }
  if (!order.empty()) sql += " ORDER BY " + join(order, ", ");
  if (q.fetch || q.offset) fail(3001, "FETCH FIRST with grouping sets");
  if (columns) *columns = result;
  return sql;
}

std::string Translator::query(const Query &q, Scope *outer, std::vector<ResultColumn> *columns,
                              const std::vector<Type> *want) {
  if (q.kind == Query::Kind::Select) return select_core(q, outer, columns, want);
  std::vector<ResultColumn> left_columns, right_columns;
  std::string left = query(*q.left, outer, &left_columns, want);
  std::vector<Type> types;
  for (const ResultColumn &c : left_columns) types.push_back(c.type);
  std::string right = query(*q.right, outer, &right_columns, &types);
  if (left_columns.size() != right_columns.size()) fail(1789);  // query block has incorrect number of result columns
  for (size_t i = 0; i < left_columns.size(); ++i) {
    Type &l = left_columns[i].type;
    const Type &r = right_columns[i].type;
    if (l.base == Base::Unknown) l = r;
    else if (r.base != Base::Unknown && family_name(l) != family_name(r) &&
             !(is_character(l.base) && is_character(r.base)))
      fail(1790);  // expression must have same datatype as corresponding expression
    left_columns[i].nullable = left_columns[i].nullable || right_columns[i].nullable;
  }
  const char *op = q.kind == Query::Kind::Union ? " UNION " : q.kind == Query::Kind::UnionAll ? " UNION ALL "
                   : q.kind == Query::Kind::Intersect ? " INTERSECT " : " EXCEPT ";
  std::string sql = "SELECT * FROM (" + left + ")" + op + "SELECT * FROM (" + right + ")";
  if (!q.order_by.empty()) {
    std::vector<std::string> order;
    for (const OrderItem &o : q.order_by) {
      const Expr &x = *o.expr;
      std::string key;
      if (x.kind == Expr::Kind::Number) {
        size_t position = static_cast<size_t>(std::stol(x.text));
        if (position < 1 || position > left_columns.size()) fail(1785);
        key = std::to_string(position);
      } else if (x.kind == Expr::Kind::Column) {
        for (size_t i = 0; i < left_columns.size(); ++i)
          if (left_columns[i].name == x.name.last()) key = std::to_string(i + 1);
        if (key.empty()) fail(904, quote(x.name.last()));
      } else {
        fail(1785);
      }
      int nulls = o.nulls ? o.nulls : (o.descending ? 1 : 2);
      order.push_back(key + (o.descending ? " DESC" : " ASC") + (nulls == 1 ? " NULLS FIRST" : " NULLS LAST"));
    }
    sql += " ORDER BY " + join(order, ", ");
  }
  if (q.fetch || q.offset) {
    Scope none;
    none.outer = outer;
    std::string limit = q.fetch ? "z_num2int(" + to_number(expr(*q.fetch, none)).sql + ",0)" : "-1";
    sql += " LIMIT " + limit;
    if (q.offset) sql += " OFFSET z_num2int(" + to_number(expr(*q.offset, none)).sql + ",0)";
  }
  if (columns) *columns = left_columns;
  return sql;
}

// ---- DML --------------------------------------------------------------------------------

const TableInfo &Translator::dml_table(const Statement &s) {
  if (s.target_query) fail(3001, "DML on a subquery");
  if (s.table.parts.size() == 2 && s.table.parts[0] != session_.user) fail(942);
  const TableInfo *t = catalog_.table(s.table.last());
  if (t == nullptr) fail(942);
  if (t->kind == 'V') fail(1732);  // data manipulation operation not legal on this view
  return *t;
}

std::string Translator::default_for_column(const ColumnInfo &c, const TableInfo &t, Scope &scope) {
  (void)scope;
  if (!c.identity.empty())
    return "z_seq_next(" + text_literal(c.identity_sequence) + ")";
  if (c.default_text.empty()) return "NULL";
  StatementPtr parsed = parse_statement("SELECT " + c.default_text + " FROM DUAL");
  Scope none;
  Translator inner(session_, "SELECT " + c.default_text + " FROM DUAL", env_);
  const Expr &e = *parsed->query->items[0].expr;
  T v = inner.expr(e, none);
  if (!inner.plan.params.empty()) fail(1027);
  v = convert(std::move(v), c.type);
  if (is_lob(c.type.base)) return "z_lob_new(" + v.sql + ")";
  return fit_sql(v.sql, c.type, qualified_column(session_, t.name, c.name));
}

std::string Translator::value_for_column(const Expr *e, const ColumnInfo &c, const TableInfo &t, Scope &scope) {
  if (e == nullptr || e->kind == Expr::Kind::Default) return default_for_column(c, t, scope);
  std::string name = qualified_column(session_, t.name, c.name);
  if (e->kind == Expr::Kind::Placeholder && !is_lob(c.type.base)) {
    // Checked against the column as the value is bound.
    T p = placeholder(*e, &c.type);
    Param &param = plan.params[static_cast<size_t>(p.param)];
    param.fit = true;
    param.column_type = c.type;
    param.column_name = name;
    if (c.type.base == Base::Long) param.as = Type::of(Base::Long);
    return p.sql;
  }
  T v = expr(*e, scope);
  if (v.type.base == Base::Boolean) fail(920);
  if (is_lob(c.type.base)) {
    if (is_lob(v.type.base)) return "z_lob_copy(" + v.sql + ")";
    if (v.null) return "NULL";
    T content = c.type.base == Base::Blob ? to_raw(std::move(v)) : to_text(std::move(v));
    return "z_lob_new(" + content.sql + ")";
  }
  v = convert(std::move(v), c.type);
  return fit_sql(v.sql, c.type, name);
}

void Translator::returning(const Statement &s, const TableInfo &table, Plan &p, Scope &scope) {
  if (s.returning.empty()) return;
  if (s.returning.size() != s.returning_into.size()) fail(s.returning.size() > s.returning_into.size() ? 947 : 913);
  Scope r;
  r.returning = true;
  Source src;
  src.name = s.alias.empty() ? table.name : s.alias;
  for (const ColumnInfo &c : table.columns) src.columns.push_back({c.name, c.type, quote(c.name), c.nullable});
  src.rowid_sql = "rowid";
  src.table_id = table.id;
  r.sources.push_back(src);
  (void)scope;
  std::vector<std::string> items;
  for (const ExprPtr &e : s.returning) {
    T v = expr(*e, r);
    if (v.type.base == Base::Boolean) fail(920);
    items.push_back(v.sql);
    p.columns.push_back({column_name_of(*e), v.type, true});
  }
  for (const ExprPtr &target : s.returning_into) {
    Param into;
    if (target->kind == Expr::Kind::Placeholder) {
      Type type;
      if (!env_.placeholder(target->begin, target->text, &into.index, &type)) fail(1008);
      into.source = Param::Source::Placeholder;
      into.as = type;
    } else if (target->kind == Expr::Kind::Column) {
      if (!env_.variable(target->name, &into.index, &into.as)) fail(904, quote(target->name.last()));
      into.source = Param::Source::Variable;
    } else {
      fail(1744);  // inappropriate INTO
    }
    p.into.push_back(into);
  }
  p.returning = true;
  p.returning_sql = " RETURNING " + join(items, ", ");
  p.sql += p.returning_sql;
}

namespace {

// An INSERT's column list, in order (every column when it names none).
std::vector<const ColumnInfo *> insert_targets(const TableInfo &table, const std::vector<std::string> &columns) {
  std::vector<const ColumnInfo *> targets;
  if (columns.empty()) {
    for (const ColumnInfo &c : table.columns) targets.push_back(&c);
    return targets;
  }
  for (const std::string &name : columns) {
    const ColumnInfo *c = table.column(name);
    if (c == nullptr) fail(904, quote(name));
    for (const ColumnInfo *t : targets)
      if (t == c) fail(957);  // duplicate column name
    targets.push_back(c);
  }
  return targets;
}

}  // namespace

Plan Translator::insert(const Statement &s) {
  const TableInfo &table = dml_table(s);
  plan.kind = Plan::Kind::Insert;
  plan.table = table.name;
  plan.table_id = table.id;
  std::vector<const ColumnInfo *> targets = insert_targets(table, s.columns);
  for (const ColumnInfo *c : targets)
    if (c->identity == "ALWAYS") fail(32795);  // cannot insert into a generated always identity column
  std::vector<std::string> names;
  for (const ColumnInfo &c : table.columns) names.push_back(quote(c.name));
  Scope scope;
  std::string sql = "INSERT INTO " + quote(table.name) + " (" + join(names, ",") + ")";
  if (s.query) {
    std::vector<Type> want;
    for (const ColumnInfo *c : targets) want.push_back(c->type);
    std::vector<ResultColumn> columns;
    std::string sub = query(*s.query, nullptr, &columns, &want);
    if (columns.size() != targets.size()) fail(columns.size() > targets.size() ? 913 : 947);
    std::vector<std::string> values;
    std::vector<std::string> positional;
    for (size_t i = 0; i < columns.size(); ++i) positional.push_back(quote("c" + std::to_string(i + 1)));
    for (const ColumnInfo &c : table.columns) {
      size_t k = 0;
      while (k < targets.size() && targets[k] != &c) ++k;
      if (k == targets.size()) {
        values.push_back(default_for_column(c, table, scope));
        continue;
      }
      std::string v = quote("$i") + "." + positional[k];
      if (is_lob(c.type.base)) {
        values.push_back(is_lob(columns[k].type.base) ? "z_lob_copy(" + v + ")" : "z_lob_new(" + v + ")");
      } else {
        T t;
        t.sql = v;
        t.type = columns[k].type;
        values.push_back(fit_sql(convert(t, c.type).sql, c.type, qualified_column(session_, table.name, c.name)));
      }
    }
    std::string with = "WITH " + quote("$i") + "(" + join(positional, ",") + ") AS (" + sub + ") ";
    std::string select = "SELECT " + join(values, ", ") + " FROM " + quote("$i");
    plan.sql = with + sql + " " + select;
    plan.rows_sql = with + select;
    if (!s.returning.empty()) fail(3001, "RETURNING with INSERT ... SELECT");
    return plan;
  }
  std::vector<std::string> rows;
  for (const auto &row : s.rows) {
    if (row.size() != targets.size()) fail(row.size() > targets.size() ? 913 : 947);
    std::vector<std::string> values;
    for (const ColumnInfo &c : table.columns) {
      const Expr *value = nullptr;
      bool targeted = false;
      for (size_t k = 0; k < targets.size(); ++k)
        if (targets[k] == &c) {
          value = row[k].get();
          targeted = true;
        }
      if (targeted && value && value->kind != Expr::Kind::Default && c.identity == "BY DEFAULT ON NULL") {
        std::string v = value_for_column(value, c, table, scope);
        values.push_back("coalesce(" + v + "," + default_for_column(c, table, scope) + ")");
      } else {
        values.push_back(value_for_column(targeted ? value : nullptr, c, table, scope));
      }
    }
    rows.push_back("(" + join(values, ", ") + ")");
  }
  plan.sql = sql + " VALUES " + join(rows, ", ");
  plan.rows_sql = "VALUES " + join(rows, ", ");
  returning(s, table, plan, scope);
  return plan;
}

Plan Translator::update(const Statement &s) {
  const TableInfo &table = dml_table(s);
  plan.kind = Plan::Kind::Update;
  plan.table = table.name;
  plan.table_id = table.id;
  Scope scope;
  std::string from;
  Name target = s.table;
  scope.sources.push_back(table_source(target, s.alias, &from));
  std::vector<std::string> sets;
  std::map<std::string, std::string> new_values;  // column -> its SET value, for triggers
  for (const auto &item : s.set) {
    for (const std::string &name : item.columns)
      if (table.column(name) == nullptr) fail(904, quote(name));
    if (item.query) {
      std::vector<ResultColumn> columns;
      std::vector<Type> want;
      for (const std::string &name : item.columns) want.push_back(table.column(name)->type);
      std::string sub = query(*item.query, &scope, &columns, &want);
      if (columns.size() != item.columns.size()) fail(columns.size() > item.columns.size() ? 913 : 947);
      for (size_t k = 0; k < item.columns.size(); ++k) {
        const ColumnInfo &c = *table.column(item.columns[k]);
        if (c.identity == "ALWAYS") fail(32796);  // cannot update a generated always identity column
        std::string alias = new_alias();
        std::string v = "(SELECT z_single(" + quote(alias) + "." + quote(columns[k].name) + ") FROM (" + sub +
                        ") AS " + quote(alias) + ")";
        if (is_lob(c.type.base)) v = is_lob(columns[k].type.base) ? "z_lob_copy(" + v + ")" : "z_lob_new(" + v + ")";
        else v = fit_sql(v, c.type, qualified_column(session_, table.name, c.name));
        new_values[c.name] = v;
        sets.push_back(quote(c.name) + " = " + v);
      }
      continue;
    }
    const ColumnInfo &c = *table.column(item.columns[0]);
    if (c.identity == "ALWAYS") fail(32796);
    new_values[c.name] = value_for_column(item.value.get(), c, table, scope);
    sets.push_back(quote(c.name) + " = " + new_values[c.name]);
  }
  std::string where;
  if (s.where) where = " WHERE " + condition(*s.where, scope).sql;
  plan.sql = "UPDATE " + from + " SET " + join(sets, ", ") + where;
  {
    // The rows for triggers: rowid, old values, new values.
    const Source &target_source = scope.sources.front();
    std::vector<std::string> items{target_source.rowid_sql};
    for (const SourceColumn &c : target_source.columns) items.push_back(c.sql);
    for (const SourceColumn &c : target_source.columns) {
      auto set = new_values.find(c.name);
      items.push_back(set == new_values.end() ? c.sql : set->second);
    }
    for (const auto &item : s.set)
      for (const std::string &name : item.columns) plan.set_columns.push_back(name);
    plan.rows_sql = "SELECT " + join(items, ", ") + " FROM " + from + where;
  }
  returning(s, table, plan, scope);
  if (!plan.returning) {
    plan.sql += " RETURNING rowid";
    plan.rowid_last = true;
  }
  return plan;
}

Plan Translator::remove(const Statement &s) {
  const TableInfo &table = dml_table(s);
  plan.kind = Plan::Kind::Delete;
  plan.table = table.name;
  plan.table_id = table.id;
  Scope scope;
  std::string from;
  scope.sources.push_back(table_source(s.table, s.alias, &from));
  std::string where;
  if (s.where) where = " WHERE " + condition(*s.where, scope).sql;
  plan.sql = "DELETE FROM " + from + where;
  {
    const Source &target_source = scope.sources.front();
    std::vector<std::string> items{target_source.rowid_sql};
    for (const SourceColumn &c : target_source.columns) items.push_back(c.sql);
    plan.rows_sql = "SELECT " + join(items, ", ") + " FROM " + from + where;
  }
  returning(s, table, plan, scope);
  if (!plan.returning) {
    plan.sql += " RETURNING rowid";
    plan.rowid_last = true;
  }
  return plan;
}

// MERGE: a check that no target row matches twice (ORA-30926), then the
// UPDATE of matched rows, the INSERT of unmatched source rows, and the
// DELETE of updated rows its DELETE WHERE names, each a statement of its
// own with its own parameters, all in one execution.
Plan Translator::merge(const Statement &s) {
  const TableInfo &table = dml_table(s);
  for (const auto &[name, trigger] : catalog_.triggers)
    if (trigger.table == table.name) fail(3001, "MERGE on a table with triggers");
  plan.kind = Plan::Kind::Merge;
  plan.table = table.name;
  plan.table_id = table.id;
  const std::string target_alias = s.alias.empty() ? table.name : s.alias;

  // Each part is translated on its own: the target, the source and ON.
  struct Part {
    Translator t;
    Scope scope;
    std::string target, source, on;
    Part(Translator &outer, const Statement &s) : t(outer.session_, outer.source_, outer.env_) {
      t.next_alias_ = outer.next_alias_ + 100 * static_cast<int>(outer.plan.then.size() + 1);
      scope.sources.push_back(t.table_source(s.table, s.alias, &target));
      t.from_item(*s.using_source, scope, &source);
      if (source.empty()) source = "(SELECT 'X' AS \"DUMMY\")";
      on = t.condition(*s.merge_on, scope).sql;
    }
  };
  // ON's target columns cannot be updated.
  std::set<std::string> on_columns;
  {
    std::vector<const Expr *> plain, marked;
    columns_of(s.merge_on.get(), &plain, &marked);
    for (const Expr *c : plain) {
      std::string qualifier = c->name.parts.size() >= 2 ? c->name.parts[c->name.parts.size() - 2] : "";
      if ((qualifier.empty() || qualifier == target_alias) && table.column(c->name.last()))
        on_columns.insert(c->name.last());
    }
  }

  {
    Part check(*this, s);
    plan.sql = "SELECT z_raise(30926) FROM " + check.target + ", " + check.source + " WHERE " + check.on +
               " GROUP BY " + quote(target_alias) + ".rowid HAVING count(*) > 1 LIMIT 1";
    plan.params = check.t.plan.params;
  }
  if (s.has_matched) {
    Part u(*this, s);
    std::vector<std::string> sets;
    for (const auto &item : s.merge_update) {
      if (item.query || item.columns.size() != 1) fail(3001, "MERGE SET of several columns");
      const ColumnInfo *c = table.column(item.columns[0]);
      if (c == nullptr) fail(904, quote(item.columns[0]));
      if (on_columns.count(c->name)) fail(38104, quote(target_alias) + "." + quote(c->name));
      if (c->identity == "ALWAYS") fail(32796);
      sets.push_back(quote(c->name) + " = " + u.t.value_for_column(item.value.get(), *c, table, u.scope));
    }
    std::string where = u.on;
    if (s.merge_update_where) where += " AND " + u.t.condition(*s.merge_update_where, u.scope).sql;
    Plan &p = u.t.plan;
    p.kind = Plan::Kind::Update;
    p.table = table.name;
    p.table_id = table.id;
    p.sql = "UPDATE " + u.target + " SET " + join(sets, ", ") + " FROM " + u.source + " WHERE " + where +
            " RETURNING rowid";
    p.rowid_last = true;
    plan.then.push_back(std::move(p));
  }
  if (s.has_not_matched) {
    Part in(*this, s);
    // The VALUES see only the source: the target row does not exist.
    Scope values_scope;
    values_scope.sources.assign(in.scope.sources.begin() + 1, in.scope.sources.end());
    std::vector<const ColumnInfo *> targets = insert_targets(table, s.merge_insert_columns);
    if (targets.size() != s.merge_insert_values.size()) fail(targets.size() > s.merge_insert_values.size() ? 947 : 913);
    std::vector<std::string> names, values;
    for (const ColumnInfo &c : table.columns) {
      names.push_back(quote(c.name));
      const Expr *value = nullptr;
      for (size_t k = 0; k < targets.size(); ++k)
        if (targets[k] == &c) value = s.merge_insert_values[k].get();
      if (value && c.identity == "ALWAYS") fail(32795);
      values.push_back(in.t.value_for_column(value, c, table, values_scope));
    }
    std::string where = "NOT EXISTS (SELECT 1 FROM " + in.target + " WHERE " + in.on + ")";
    if (s.merge_insert_where) where += " AND " + in.t.condition(*s.merge_insert_where, values_scope).sql;
    Plan &p = in.t.plan;
    p.kind = Plan::Kind::Insert;
    p.table = table.name;
    p.table_id = table.id;
    p.sql = "INSERT INTO " + quote(table.name) + " (" + join(names, ",") + ") SELECT " + join(values, ", ") +
            " FROM " + in.source + " WHERE " + where;
    plan.then.push_back(std::move(p));
  }
  if (s.has_matched && s.merge_delete_where) {
    // DELETE WHERE sees the updated values of the rows the update changed.
    Part d(*this, s);
    std::string condition = d.t.condition(*s.merge_delete_where, d.scope).sql;
    Plan &dp = d.t.plan;
    dp.kind = Plan::Kind::Delete;
    dp.table = table.name;
    dp.table_id = table.id;
    dp.counted = false;  // the rows deleted were counted as updated
    // Run once for each row the update changed: its rowid is the last parameter.
    dp.sql = "DELETE FROM " + quote(table.name) + " WHERE rowid IN (SELECT " + quote(target_alias) + ".rowid FROM " +
             d.target + ", " + d.source + " WHERE " + d.on + " AND " + condition + " AND " + quote(target_alias) +
             ".rowid = ?" + std::to_string(dp.params.size() + 1) + ")";
    dp.per_updated_row = true;
    plan.then.push_back(std::move(dp));
  }
  return plan;
}

Plan Translator::statement(const Statement &s) {
  switch (s.kind) {
    case Statement::Kind::Select: {
      plan.kind = Plan::Kind::Query;
      plan.sql = query(*s.query, nullptr, &plan.columns);
      return plan;
    }
    case Statement::Kind::Insert: return insert(s);
    case Statement::Kind::Update: return update(s);
    case Statement::Kind::Delete: return remove(s);
    case Statement::Kind::Merge: return merge(s);
    default: fail(900);
  }
}

}  // namespace detail

Plan translate(Session &session, const Statement &statement, std::string_view source, Environment &env) {
  detail::Translator t(session, source, env);
  return t.statement(statement);
}

Plan translate_expression(Session &session, const Expr &expr, std::string_view source, Environment &env,
                          const Type *want) {
  detail::Translator t(session, source, env);
  detail::Scope scope;
  scope.aggregates_allowed = false;
  detail::T v = t.expr(expr, scope);
  if (want && want->base != Base::Unknown && v.type.base != Base::Boolean) v = t.convert(std::move(v), *want);
  t.plan.kind = Plan::Kind::Query;
  t.plan.sql = "SELECT " + v.sql;
  t.plan.columns.push_back({"VALUE", v.type, true});
  return t.plan;
}

std::vector<ResultColumn> describe_query(Session &session, const Query &query, std::string_view source,
                                         Environment &env) {
  detail::Translator t(session, source, env);
  std::vector<ResultColumn> columns;
  t.query(query, nullptr, &columns);
  return columns;
}

}  // namespace zec::sql
