#include "src/sql/ddl.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>

#include "src/sql/error.h"
#include "src/sql/lob_store.h"
#include "src/sql/parser.h"
#include "src/sql/sqlite_util.h"
#include "src/sql/translate_internal.h"

namespace zec::sql {
namespace {

using detail::Scope;
using detail::Source;
using detail::Translator;

std::string quoted_list(const std::vector<std::string> &names, const char *prefix = "") {
  std::vector<std::string> parts;
  for (const std::string &n : names) parts.push_back(prefix + quote(n));
  return join(parts, ",");
}

int64_t now_seconds() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  oracle::Date d{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
  return date_seconds(d);
}

// Names the engine keeps for itself, and Oracle's length limit.
void check_new_name(const std::string &name) {
  if (name.size() > 128) fail(972);  // identifier is too long
  std::string upper = name;
  for (char &c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.rfind("_ZEC", 0) == 0 || upper.rfind("$", 0) == 0 || upper.rfind("SQLITE_", 0) == 0) fail(903);
}

const std::string &object_name(const Session &s, const Name &name) {
  if (name.parts.size() > 2) fail(903);
  if (name.parts.size() == 2 && name.parts[0] != s.user) fail(1031);  // insufficient privileges
  return name.last();
}

// The table and schema names share one namespace with sequences, views,
// stored units and synonyms.
void check_name_free(Session &s, const std::string &name) {
  const Catalog &c = s.schema();
  if (c.name_used(name)) fail(955);
  SequenceInfo q;
  if (sequence_find(s, name, &q)) fail(955);
}

bool constraint_name_used(const Catalog &c, const std::string &name) {
  for (const auto &[table_name, t] : c.tables)
    for (const ConstraintInfo &k : t.constraints)
      if (k.name == name) return true;
  return false;
}

// The whole DDL runs in one transaction of its own.
class DdlTransaction {
 public:
  explicit DdlTransaction(Session &s) : s_(s) {
    commit(s);
    begin_transaction(s);
  }
  ~DdlTransaction() {
    if (!done_) {
      try {
        rollback(s_);
      } catch (...) {
      }
      sqlite3_exec(s_.db, "PRAGMA legacy_alter_table=OFF", nullptr, nullptr, nullptr);
    }
  }
  void finish() {
    catalog_bump(s_.db);
    commit(s_);
    s_.invalidate_schema();
    done_ = true;
  }

 private:
  Session &s_;
  bool done_ = false;
};

// An expression over a table's columns, as SQLite reaches them inside the
// table's own definition (CHECK, indexes) or its triggers (prefix NEW.).
std::string table_expression(Session &s, const TableInfo &t, const std::string &text, Environment &env,
                             bool condition, const char *prefix = "") {
  std::string source = "SELECT 1 FROM DUAL WHERE " + text;
  if (!condition) source = "SELECT " + text + " FROM DUAL";
  StatementPtr parsed = parse_statement(source);
  const Expr &e = condition ? *parsed->query->where : *parsed->query->items[0].expr;
  Translator tr(s, source, env);
  Scope scope;
  Source src;
  src.name = t.name;
  for (const ColumnInfo &c : t.columns) src.columns.push_back({c.name, c.type, prefix + quote(c.name), c.nullable});
  scope.sources.push_back(src);
  detail::T v = condition ? tr.condition(e, scope) : tr.expr(e, scope);
  if (!tr.plan.params.empty()) fail(1027);
  if (v.sql.find("z_sysdate") != std::string::npos || v.sql.find("z_user") != std::string::npos ||
      v.sql.find("z_seq_") != std::string::npos)
    fail(2436);  // date or system variable wrongly specified in CHECK constraint
  if (v.sql.find("SELECT") != std::string::npos) fail(2251);  // subquery not allowed here
  return v.sql;
}

std::string raise_sql(sb4 code, const std::string &parameter) {
  return "SELECT RAISE(ABORT, " + text_literal(std::string(kFunctionErrorPrefix) + std::to_string(code) + '\x1f' + parameter) + ")";
}

std::string constraint_label(const Session &s, const ConstraintInfo &k) { return s.user + "." + k.name; }

// The SQLite CREATE TABLE for a table of the catalog.
std::string create_table_sql(Session &s, const TableInfo &t, const std::string &sqlite_name, Environment &env) {
  std::vector<std::string> parts;
  for (const ColumnInfo &c : t.columns) parts.push_back(quote(c.name) + (c.nullable ? "" : " NOT NULL"));
  for (const ConstraintInfo &k : t.constraints) {
    if (!k.enabled) continue;
    if (k.kind == 'P') parts.push_back("CONSTRAINT " + quote("$" + k.name) + " PRIMARY KEY (" + quoted_list(k.columns) + ")");
    if (k.kind == 'U') parts.push_back("CONSTRAINT " + quote("$" + k.name) + " UNIQUE (" + quoted_list(k.columns) + ")");
    if (k.kind == 'C')
      parts.push_back("CONSTRAINT " + quote(k.name) + " CHECK (" + table_expression(s, t, k.condition, env, true) + ")");
  }
  return "CREATE TABLE " + quote(sqlite_name) + " (" + join(parts, ", ") + ")";
}

void drop_engine_triggers(Session &s, const std::string &table) {
  std::vector<std::string> names;
  {
    Stmt q(s.db, "SELECT name FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ? AND name LIKE '$%'");
    q.bind(1, table);
    while (q.step()) names.push_back(q.text(0));
  }
  for (const std::string &n : names) exec(s.db, ("DROP TRIGGER IF EXISTS " + quote(n)).c_str());
}

// The triggers of one table: its foreign keys as a child, the foreign keys
// of others that refer to it as a parent, and the clean-up of its LOBs.
void create_engine_triggers(Session &s, const Catalog &c, const TableInfo &t) {
  auto all_not_null = [](const std::vector<std::string> &cols, const char *row) {
    std::vector<std::string> parts;
    for (const std::string &col : cols) parts.push_back(std::string(row) + "." + quote(col) + " IS NOT NULL");
    return join(parts, " AND ");
  };
  auto match = [](const std::vector<std::string> &a, const std::string &a_prefix, const std::vector<std::string> &b,
                  const std::string &b_prefix) {
    std::vector<std::string> parts;
    for (size_t i = 0; i < a.size(); ++i) parts.push_back(a_prefix + quote(a[i]) + " = " + b_prefix + quote(b[i]));
    return join(parts, " AND ");
  };
  for (const ConstraintInfo &k : t.constraints) {
    if (k.kind != 'R' || !k.enabled) continue;
    const TableInfo *parent = c.table(k.ref_table);
    if (parent == nullptr) continue;
    std::string exists = "EXISTS (SELECT 1 FROM " + quote(parent->name) + " AS p WHERE " +
                         match(k.ref_columns, "p.", k.columns, "NEW.") + ")";
    std::string body = " BEGIN " + raise_sql(2291, constraint_label(s, k)) + "; END";
    exec(s.db, ("CREATE TRIGGER " + quote("$fk_i$" + k.name) + " BEFORE INSERT ON " + quote(t.name) +
                " FOR EACH ROW WHEN " + all_not_null(k.columns, "NEW") + " AND NOT " + exists + body)
                   .c_str());
    exec(s.db, ("CREATE TRIGGER " + quote("$fk_u$" + k.name) + " BEFORE UPDATE OF " + quoted_list(k.columns) +
                " ON " + quote(t.name) + " FOR EACH ROW WHEN " + all_not_null(k.columns, "NEW") + " AND NOT " +
                exists + body)
                   .c_str());
  }
  for (const auto &[name, child] : c.tables) {
    for (const ConstraintInfo &k : child.constraints) {
      if (k.kind != 'R' || !k.enabled || k.ref_table != t.name) continue;
      std::string children = "SELECT 1 FROM " + quote(child.name) + " AS c WHERE " +
                             match(k.columns, "c.", k.ref_columns, "OLD.");
      std::string where = match(k.columns, "", k.ref_columns, "OLD.");
      if (k.delete_rule == "CASCADE") {
        exec(s.db, ("CREATE TRIGGER " + quote("$fk_d$" + k.name) + " AFTER DELETE ON " + quote(t.name) +
                    " FOR EACH ROW BEGIN DELETE FROM " + quote(child.name) + " WHERE " + where + "; END")
                       .c_str());
      } else if (k.delete_rule == "SET NULL") {
        std::vector<std::string> sets;
        for (const std::string &col : k.columns) sets.push_back(quote(col) + " = NULL");
        exec(s.db, ("CREATE TRIGGER " + quote("$fk_d$" + k.name) + " AFTER DELETE ON " + quote(t.name) +
                    " FOR EACH ROW BEGIN UPDATE " + quote(child.name) + " SET " + join(sets, ", ") + " WHERE " +
                    where + "; END")
                       .c_str());
      } else {
        exec(s.db, ("CREATE TRIGGER " + quote("$fk_d$" + k.name) + " BEFORE DELETE ON " + quote(t.name) +
                    " FOR EACH ROW WHEN EXISTS (" + children + ") BEGIN " +
                    raise_sql(2292, constraint_label(s, k)) + "; END")
                       .c_str());
      }
      std::vector<std::string> changed;
      for (const std::string &col : k.ref_columns) changed.push_back("OLD." + quote(col) + " IS NOT NEW." + quote(col));
      exec(s.db, ("CREATE TRIGGER " + quote("$fk_p$" + k.name) + " BEFORE UPDATE OF " + quoted_list(k.ref_columns) +
                  " ON " + quote(t.name) + " FOR EACH ROW WHEN (" + join(changed, " OR ") + ") AND EXISTS (" +
                  children + ") BEGIN " + raise_sql(2292, constraint_label(s, k)) + "; END")
                     .c_str());
    }
  }
  std::vector<std::string> lob_columns;
  for (const ColumnInfo &col : t.columns)
    if (is_lob(col.type.base)) lob_columns.push_back(col.name);
  if (!lob_columns.empty()) {
    std::vector<std::string> drops;
    for (const std::string &col : lob_columns) drops.push_back("z_lob_drop(OLD." + quote(col) + ")");
    exec(s.db, ("CREATE TRIGGER " + quote("$lob_d$" + t.name) + " AFTER DELETE ON " + quote(t.name) +
                " FOR EACH ROW BEGIN SELECT " + join(drops, ", ") + "; END")
                   .c_str());
    for (const std::string &col : lob_columns) {
      exec(s.db, ("CREATE TRIGGER " + quote("$lob_u$" + t.name + "$" + col) + " AFTER UPDATE OF " + quote(col) +
                  " ON " + quote(t.name) + " FOR EACH ROW WHEN OLD." + quote(col) + " IS NOT NEW." + quote(col) +
                  " BEGIN SELECT z_lob_drop(OLD." + quote(col) + "); END")
                     .c_str());
    }
  }
}

// The tables whose engine triggers depend on this one's definition.
std::set<std::string> related_tables(const Catalog &c, const TableInfo &t) {
  std::set<std::string> names{t.name};
  for (const ConstraintInfo &k : t.constraints)
    if (k.kind == 'R') names.insert(k.ref_table);
  for (const auto &[name, other] : c.tables)
    for (const ConstraintInfo &k : other.constraints)
      if (k.kind == 'R' && k.ref_table == t.name) names.insert(name);
  return names;
}

void refresh_triggers(Session &s, const Catalog &c, const std::set<std::string> &tables) {
  for (const std::string &name : tables) {
    const TableInfo *t = c.table(name);
    if (t == nullptr || t->kind != 'T') continue;
    drop_engine_triggers(s, name);
  }
  for (const std::string &name : tables) {
    const TableInfo *t = c.table(name);
    if (t == nullptr || t->kind != 'T') continue;
    create_engine_triggers(s, c, *t);
  }
}

void create_user_indexes(Session &s, const Catalog &c, const std::string &table, Environment &env) {
  for (const auto &[name, index] : c.indexes) {
    if (index.table != table || index.generated) continue;
    const TableInfo *t = c.table(table);
    std::vector<std::string> keys;
    for (size_t i = 0; i < index.columns.size(); ++i) {
      std::string key = table_expression(s, *t, index.columns[i], env, false);
      if (i < index.descending.size() && index.descending[i]) key += " DESC";
      keys.push_back(key);
    }
    exec(s.db, ("CREATE " + std::string(index.unique ? "UNIQUE " : "") + "INDEX " + quote("$ix$" + name) + " ON " +
                quote(table) + " (" + join(keys, ", ") + ")")
                   .c_str());
  }
}

// A table's SQLite side again from the catalog, keeping its rows: new
// columns take their defaults; `sources` gives, for each column of the new
// definition, the SQL reading its value from the old table (or empty).
void rebuild_table(Session &s, Catalog &c, const TableInfo &t, const std::vector<std::string> &sources,
                   Environment &env) {
  exec(s.db, "PRAGMA legacy_alter_table=ON");
  std::set<std::string> related = related_tables(c, t);
  for (const std::string &name : related) drop_engine_triggers(s, name);
  exec(s.db, create_table_sql(s, t, "$rebuild", env).c_str());
  std::vector<std::string> columns{"rowid"};
  std::vector<std::string> values{"rowid"};
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const ColumnInfo &col = t.columns[i];
    columns.push_back(quote(col.name));
    std::string v = i < sources.size() ? sources[i] : std::string();
    if (v.empty()) {
      if (!col.default_text.empty()) {
        Translator tr(s, "", env);
        Scope none;
        std::string text = "SELECT " + col.default_text + " FROM DUAL";
        StatementPtr parsed = parse_statement(text);
        Translator inner(s, text, env);
        detail::T d = inner.expr(*parsed->query->items[0].expr, none);
        d = inner.convert(std::move(d), col.type);
        v = fit_sql(d.sql, col.type, qualified_column(s, t.name, col.name));
      } else if (!col.identity.empty()) {
        v = "z_seq_next(" + text_literal(col.identity_sequence) + ")";
      } else {
        v = "NULL";
      }
    }
    values.push_back(v);
  }
  int rc = sqlite3_exec(s.db,
                        ("INSERT INTO " + quote("$rebuild") + " (" + join(columns, ",") + ") SELECT " +
                         join(values, ",") + " FROM " + quote(t.name))
                            .c_str(),
                        nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    // Rows that break the new definition: Oracle's "cannot validate".
    std::string message = sqlite3_errmsg(s.db);
    int extended = sqlite3_extended_errcode(s.db);
    std::string parameter = s.user + "." + t.name;
    if (extended == SQLITE_CONSTRAINT_NOTNULL) fail(2296, parameter);
    if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY) fail(2299, parameter);
    if (extended == SQLITE_CONSTRAINT_CHECK) {
      size_t colon = message.rfind(": ");
      fail(2293, s.user + "." + (colon == std::string::npos ? t.name : message.substr(colon + 2)));
    }
    if (message.rfind(kFunctionErrorPrefix, 0) == 0) {
      size_t sep = message.find('\x1f');
      sb4 code = static_cast<sb4>(std::atol(message.c_str() + std::strlen(kFunctionErrorPrefix)));
      fail(code, sep == std::string::npos ? "" : message.substr(sep + 1));
    }
    fail(600, message);
  }
  exec(s.db, ("DROP TABLE " + quote(t.name)).c_str());
  exec(s.db, ("ALTER TABLE " + quote("$rebuild") + " RENAME TO " + quote(t.name)).c_str());
  c.tables[t.name] = t;
  create_user_indexes(s, c, t.name, env);
  refresh_triggers(s, c, related);
  exec(s.db, "PRAGMA legacy_alter_table=OFF");
}

// Each column read as it is: the identity mapping for a rebuild.
std::vector<std::string> same_columns(const TableInfo &t) {
  std::vector<std::string> sources;
  for (const ColumnInfo &c : t.columns) sources.push_back(quote(c.name));
  return sources;
}

std::string identity_sequence_name(int64_t table_id, int position) {
  return "ISEQ$$_" + std::to_string(table_id) + "_" + std::to_string(position);
}

void make_identity(Session &s, TableInfo &t, ColumnInfo &c, const ColumnDefinition &d) {
  if (c.type.base != Base::Number) fail(30675);  // identity column must be a numeric type
  c.identity = d.identity_kind;
  c.identity_sequence = identity_sequence_name(t.id, c.position);
  c.nullable = false;
  std::vector<std::pair<std::string, std::string>> options{{"START", d.identity_start},
                                                           {"INCREMENT", d.identity_increment}};
  sequence_create(s, c.identity_sequence, options, true);
}

// A NOT NULL column's constraint: the name the statement gave, else SYS_C...
void name_not_null(Session &s, ColumnInfo &col, const std::vector<ConstraintDefinition> &constraints) {
  if (!col.not_null.empty()) return;
  for (const ConstraintDefinition &d : constraints)
    if (d.kind == 'N' && !d.columns.empty() && d.columns[0] == col.name && !d.name.empty()) {
      col.not_null = d.name;
      return;
    }
  col.not_null = catalog_constraint_name(s.db);
}

ColumnInfo column_from(const ColumnDefinition &d, int position) {
  ColumnInfo c;
  c.name = d.name;
  c.type = d.type;
  c.nullable = !d.not_null;
  c.default_text = d.default_text;
  c.position = position;
  return c;
}

void check_default(Session &s, const ColumnInfo &c, Environment &env) {
  if (c.default_text.empty()) return;
  std::string text = "SELECT " + c.default_text + " FROM DUAL";
  StatementPtr parsed = parse_statement(text);
  Translator tr(s, text, env);
  Scope none;
  detail::T v;
  try {
    v = tr.expr(*parsed->query->items[0].expr, none);
  } catch (const SqlError &e) {
    if (e.code == 904) fail(984);  // column not allowed here
    throw;
  }
  if (!tr.plan.params.empty()) fail(1027);
  tr.convert(std::move(v), c.type);
}

// A constraint's definition, checked against its table and the catalog.
ConstraintInfo constraint_from(Session &s, const Catalog &c, const TableInfo &t, const ConstraintDefinition &d,
                               std::set<std::string> &names_taken) {
  ConstraintInfo k;
  k.kind = d.kind;
  k.table = t.name;
  k.columns = d.columns;
  k.enabled = !d.disabled;
  if (d.name.empty()) {
    k.name = catalog_constraint_name(s.db);
    k.generated = true;
  } else {
    check_new_name(d.name);
    k.name = d.name;
    if (names_taken.count(k.name) || constraint_name_used(c, k.name)) fail(2264);  // name already used by an existing constraint
  }
  names_taken.insert(k.name);
  for (const std::string &col : k.columns) {
    const ColumnInfo *column = t.column(col);
    if (column == nullptr) fail(904, quote(col));
    if ((k.kind == 'P' || k.kind == 'U') && (is_lob(column->type.base) || is_long(column->type.base)))
      fail(2329, type_name(column->type));  // column of datatype %s cannot be unique or a primary key
  }
  if (k.kind == 'C') {
    k.condition = d.check_text;
  }
  if (k.kind == 'R') {
    const std::string &parent_name = object_name(s, d.ref_table);
    const TableInfo *parent = parent_name == t.name ? &t : c.table(parent_name);
    if (parent == nullptr || parent->kind != 'T') fail(942);
    k.ref_table = parent->name;
    k.ref_columns = d.ref_columns;
    if (k.ref_columns.empty()) {
      const ConstraintInfo *pk = parent->primary_key();
      if (pk == nullptr) fail(2268);  // referenced table does not have a primary key
      k.ref_columns = pk->columns;
      k.ref_constraint = pk->name;
    }
    if (k.ref_columns.size() != k.columns.size()) fail(2256);  // number of referencing columns must match referenced columns
    bool matched = false;
    for (const ConstraintInfo &p : parent->constraints) {
      if ((p.kind == 'P' || p.kind == 'U') && p.columns == k.ref_columns) {
        matched = true;
        k.ref_constraint = p.name;
      }
    }
    if (!matched) fail(2270);  // no matching unique or primary key for this column-list
    for (size_t i = 0; i < k.columns.size(); ++i) {
      const ColumnInfo *a = t.column(k.columns[i]);
      const ColumnInfo *b = parent->column(k.ref_columns[i]);
      if (b == nullptr) fail(904, quote(k.ref_columns[i]));
      if (detail::family_name(a->type) != detail::family_name(b->type)) fail(2267);  // column type incompatible
    }
    k.delete_rule = d.on_delete.empty() ? "NO ACTION" : d.on_delete;
  }
  return k;
}

void check_keys(const TableInfo &t) {
  int primary = 0;
  for (size_t i = 0; i < t.constraints.size(); ++i) {
    const ConstraintInfo &k = t.constraints[i];
    if (k.kind == 'P') ++primary;
    if (k.kind != 'P' && k.kind != 'U') continue;
    for (size_t j = 0; j < i; ++j) {
      const ConstraintInfo &o = t.constraints[j];
      if ((o.kind == 'P' || o.kind == 'U') && o.columns == k.columns) fail(2261);  // such unique or primary key already exists
    }
  }
  if (primary > 1) fail(2260);  // table can have only one primary key
}

void apply_not_null(TableInfo &t) {
  for (ConstraintInfo &k : t.constraints) {
    if (k.kind == 'P' && k.enabled)
      for (const std::string &col : k.columns)
        for (ColumnInfo &c : t.columns)
          if (c.name == col) c.nullable = false;
  }
}

// Indexes made for PRIMARY KEY and UNIQUE constraints, as Oracle lists them.
void constraint_indexes(Session &s, Catalog &c, TableInfo &t) {
  for (ConstraintInfo &k : t.constraints) {
    if (k.kind != 'P' && k.kind != 'U') continue;
    if (!k.index_name.empty()) continue;
    // A primary key takes over an index that already covers its columns.
    for (const auto &[name, index] : c.indexes) {
      if (index.table == t.name && !index.generated) {
        std::vector<std::string> cols;
        for (const std::string &col : index.columns) cols.push_back(col);
        if (cols == k.columns) k.index_name = name;
      }
    }
    if (!k.index_name.empty()) continue;
    IndexInfo index;
    index.name = k.name;
    index.table = t.name;
    index.unique = true;
    index.columns = k.columns;
    index.generated = true;
    if (!c.indexes.count(index.name)) {
      catalog_save_index(s.db, index);
      c.indexes[index.name] = index;
    }
    k.index_name = index.name;
  }
}

void drop_constraint_index(Session &s, Catalog &c, const ConstraintInfo &k) {
  auto it = c.indexes.find(k.index_name);
  if (it != c.indexes.end() && it->second.generated) {
    catalog_drop_index(s.db, it->first);
    c.indexes.erase(it);
  }
}

void create_table(Session &s, const Statement &st, std::string_view source, Environment &env) {
  const std::string name = object_name(s, st.object);
  check_new_name(name);
  DdlTransaction tx(s);
  Catalog c = s.schema();
  check_name_free(s, name);
  TableInfo t;
  t.name = name;
  t.kind = 'T';
  t.id = catalog_next_id(s.db);
  t.created = now_seconds();
  std::vector<ResultColumn> query_columns;
  if (st.query) {
    query_columns = describe_query(s, *st.query, source, env);
    if (st.column_defs.empty()) {
      for (const ResultColumn &r : query_columns) {
        ColumnDefinition d;
        d.name = r.name;
        d.type = r.type;
        if (d.type.base == Base::Unknown) fail(1723);  // zero-length columns are not allowed
        if (d.type.base == Base::Char && d.type.length == 0) d.type.length = 1;
        ColumnInfo col = column_from(d, static_cast<int>(t.columns.size()) + 1);
        col.nullable = true;
        t.columns.push_back(col);
      }
    } else {
      if (st.column_defs.size() != query_columns.size()) fail(1730);  // invalid number of column names specified
    }
  }
  std::set<std::string> seen;
  int longs = 0;
  for (size_t i = 0; i < st.column_defs.size(); ++i) {
    const ColumnDefinition &d = st.column_defs[i];
    if (seen.count(d.name)) fail(957);
    seen.insert(d.name);
    check_new_name(d.name);
    ColumnInfo col = column_from(d, static_cast<int>(t.columns.size()) + 1);
    if (!d.has_type) {
      if (!st.query) fail(2263);  // need to specify the datatype for this column
      col.type = query_columns[i].type;
    }
    if (is_long(col.type.base)) ++longs;
    check_default(s, col, env);
    t.columns.push_back(col);
    if (d.identity) make_identity(s, t, t.columns.back(), d);
  }
  if (t.columns.empty()) fail(904);
  if (longs > 1) fail(1754);  // a table may contain only one column of type LONG
  std::set<std::string> names;
  for (const ConstraintDefinition &d : st.constraints) {
    if (d.kind == 'N') {
      // A named NOT NULL: the column is NOT NULL; the name is kept.
      for (ColumnInfo &col : t.columns)
        if (col.name == d.columns[0]) col.nullable = false;
      continue;
    }
    t.constraints.push_back(constraint_from(s, c, t, d, names));
  }
  for (size_t i = 0; i < st.column_defs.size(); ++i)
    if (st.column_defs[i].not_null)
      if (ColumnInfo *col = const_cast<ColumnInfo *>(t.column(st.column_defs[i].name))) name_not_null(s, *col, st.constraints);
  check_keys(t);
  apply_not_null(t);
  c.tables[t.name] = t;
  constraint_indexes(s, c, c.tables[t.name]);
  t = c.tables[t.name];
  exec(s.db, create_table_sql(s, t, t.name, env).c_str());
  catalog_save_table(s.db, t);
  refresh_triggers(s, c, related_tables(c, t));
  if (st.query) {
    // The rows of CREATE TABLE ... AS SELECT.
    s.catalog = c;
    Statement insert(Statement::Kind::Insert);
    insert.table.parts = {t.name};
    insert.table.quoted = {false};
    auto &q = const_cast<Statement &>(st).query;
    insert.query = std::move(q);
    Plan p;
    try {
      p = translate(s, insert, source, env);
    } catch (...) {
      q = std::move(insert.query);
      throw;
    }
    q = std::move(insert.query);
    if (!p.params.empty()) fail(1027);
    exec(s.db, p.sql.c_str());
  }
  tx.finish();
}

void create_view(Session &s, const Statement &st, std::string_view source, Environment &env) {
  const std::string name = object_name(s, st.object);
  check_new_name(name);
  DdlTransaction tx(s);
  Catalog c = s.schema();
  const TableInfo *existing = c.table(name);
  if (existing != nullptr && (existing->kind != 'V' || !st.or_replace)) fail(955);
  if (existing == nullptr) check_name_free(s, name);
  std::vector<ResultColumn> columns;
  try {
    columns = describe_query(s, *st.query, source, env);
  } catch (const SqlError &) {
    if (!st.force) throw;
  }
  TableInfo v;
  v.name = name;
  v.kind = 'V';
  v.id = existing ? existing->id : catalog_next_id(s.db);
  v.created = existing ? existing->created : now_seconds();
  v.view_text = st.view_text;
  v.read_only = st.read_only;
  if (!st.view_columns.empty() && st.view_columns.size() != columns.size() && !columns.empty()) fail(1730);
  std::set<std::string> seen;
  for (size_t i = 0; i < columns.size(); ++i) {
    ColumnInfo col;
    col.name = st.view_columns.empty() ? columns[i].name : st.view_columns[i];
    if (seen.count(col.name)) fail(957);
    seen.insert(col.name);
    col.type = columns[i].type.base == Base::Unknown ? Type::varchar2(1) : columns[i].type;
    col.nullable = columns[i].nullable;
    col.position = static_cast<int>(i) + 1;
    v.columns.push_back(col);
  }
  catalog_save_table(s.db, v);
  tx.finish();
}

void create_index(Session &s, const Statement &st, std::string_view source, Environment &env) {
  (void)source;
  const std::string name = object_name(s, st.object);
  check_new_name(name);
  DdlTransaction tx(s);
  Catalog c = s.schema();
  if (c.indexes.count(name)) fail(955);
  const TableInfo *t = c.table(object_name(s, st.table));
  if (t == nullptr || t->kind != 'T') fail(942);
  IndexInfo index;
  index.name = name;
  index.table = t->name;
  index.unique = st.unique;
  for (const OrderItem &item : st.index_columns) {
    std::string text(source.substr(item.expr->begin, item.expr->end - item.expr->begin));
    if (item.expr->kind == Expr::Kind::Column) {
      if (t->column(item.expr->name.last()) == nullptr) fail(904, quote(item.expr->name.last()));
      text = item.expr->name.last();
    }
    index.columns.push_back(text);
    index.descending.push_back(item.descending);
  }
  for (const auto &[other_name, other] : c.indexes)
    if (other.table == t->name && other.columns == index.columns) fail(1408);  // such column list already indexed
  c.indexes[name] = index;
  catalog_save_index(s.db, index);
  std::vector<std::string> keys;
  for (size_t i = 0; i < index.columns.size(); ++i) {
    std::string key = table_expression(s, *t, index.columns[i], env, false);
    if (index.descending[i]) key += " DESC";
    keys.push_back(key);
  }
  int rc = sqlite3_exec(s.db,
                        ("CREATE " + std::string(index.unique ? "UNIQUE " : "") + "INDEX " + quote("$ix$" + name) +
                         " ON " + quote(t->name) + " (" + join(keys, ", ") + ")")
                            .c_str(),
                        nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    if (sqlite3_extended_errcode(s.db) == SQLITE_CONSTRAINT_UNIQUE) fail(1452);  // cannot CREATE UNIQUE INDEX; duplicate keys found
    fail(600, sqlite3_errmsg(s.db));
  }
  tx.finish();
}

void drop_table(Session &s, const Statement &st) {
  const std::string name = object_name(s, st.object);
  DdlTransaction tx(s);
  Catalog c = s.schema();
  const TableInfo *found = c.table(name);
  if (found == nullptr || found->kind != 'T' || c.tables.find(name) == c.tables.end()) fail(942);
  TableInfo t = *found;
  // Foreign keys of other tables that refer to this one.
  std::set<std::string> children;
  for (auto &[other_name, other] : c.tables) {
    if (other_name == name) continue;
    for (const ConstraintInfo &k : other.constraints)
      if (k.kind == 'R' && k.ref_table == name) children.insert(other_name);
  }
  if (!children.empty() && !st.cascade_constraints) fail(2449);  // unique/primary keys in table referenced by foreign keys
  for (const std::string &child_name : children) {
    TableInfo &child = c.tables[child_name];
    child.constraints.erase(std::remove_if(child.constraints.begin(), child.constraints.end(),
                                           [&](const ConstraintInfo &k) { return k.kind == 'R' && k.ref_table == name; }),
                            child.constraints.end());
    catalog_save_table(s.db, child);
  }
  std::set<std::string> related = related_tables(c, t);
  for (const std::string &r : related) drop_engine_triggers(s, r);
  for (const ColumnInfo &col : t.columns) {
    if (is_lob(col.type.base))
      exec(s.db, ("DELETE FROM _zec_lobs WHERE id IN (SELECT " + quote(col.name) + " FROM " + quote(name) +
                  "); DELETE FROM _zec_lob_heads WHERE id IN (SELECT " + quote(col.name) + " FROM " + quote(name) + ")")
                     .c_str());
    if (!col.identity_sequence.empty()) {
      try {
        sequence_drop(s, col.identity_sequence);
      } catch (const SqlError &) {
      }
    }
  }
  exec(s.db, ("DROP TABLE " + quote(name)).c_str());
  catalog_drop_table(s.db, name);
  for (auto it = c.indexes.begin(); it != c.indexes.end();) it = it->second.table == name ? c.indexes.erase(it) : std::next(it);
  for (auto it = c.triggers.begin(); it != c.triggers.end();) it = it->second.table == name ? c.triggers.erase(it) : std::next(it);
  c.tables.erase(name);
  related.erase(name);
  refresh_triggers(s, c, related);
  tx.finish();
}

void truncate_table(Session &s, const Statement &st) {
  const std::string name = object_name(s, st.table);
  DdlTransaction tx(s);
  const Catalog &c = s.schema();
  const TableInfo *t = c.table(name);
  if (t == nullptr || t->kind != 'T') fail(942);
  for (const auto &[other_name, other] : c.tables) {
    if (other_name == name) continue;
    for (const ConstraintInfo &k : other.constraints)
      if (k.kind == 'R' && k.enabled && k.ref_table == name) fail(2266);  // unique/primary keys referenced by enabled foreign keys
  }
  exec(s.db, ("DELETE FROM " + quote(name)).c_str());
  tx.finish();
}

void comment_on(Session &s, const Statement &st) {
  DdlTransaction tx(s);
  Catalog c = s.schema();
  std::string table, column;
  if (st.comment_kind == "TABLE") {
    table = object_name(s, st.object);
  } else {
    if (st.object.parts.size() < 2) fail(942);
    column = st.object.last();
    table = st.object.parts[st.object.parts.size() - 2];
    if (st.object.parts.size() == 3 && st.object.parts[0] != s.user) fail(942);
  }
  auto it = c.tables.find(table);
  if (it == c.tables.end()) fail(942);
  TableInfo t = it->second;
  if (column.empty()) {
    t.comment = st.comment;
  } else {
    if (t.column(column) == nullptr) fail(904, quote(column));
    t.column_comments[column] = st.comment;
  }
  catalog_save_table(s.db, t);
  tx.finish();
}

// Identifiers equal to `from` in an Oracle text, renamed.
std::string rename_identifier(const std::string &text, const std::string &from, const std::string &to) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    char ch = text[i];
    if (ch == '\'') {
      size_t close = text.find('\'', i + 1);
      while (close != std::string::npos && close + 1 < text.size() && text[close + 1] == '\'')
        close = text.find('\'', close + 2);
      size_t end = close == std::string::npos ? text.size() : close + 1;
      out += text.substr(i, end - i);
      i = end;
    } else if (std::isalpha(static_cast<unsigned char>(ch)) || ch == '"') {
      size_t end = i;
      std::string word;
      if (ch == '"') {
        end = text.find('"', i + 1);
        end = end == std::string::npos ? text.size() : end + 1;
        word = text.substr(i + 1, end - i - 2);
      } else {
        while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_' ||
                                     text[end] == '$' || text[end] == '#'))
          ++end;
        word = text.substr(i, end - i);
        for (char &w : word) w = static_cast<char>(std::toupper(static_cast<unsigned char>(w)));
      }
      out += word == from ? quote(to) : text.substr(i, end - i);
      i = end;
    } else {
      out.push_back(ch);
      ++i;
    }
  }
  return out;
}

void alter_table(Session &s, const Statement &st, std::string_view source, Environment &env) {
  (void)source;
  const std::string name = object_name(s, st.table);
  DdlTransaction tx(s);
  Catalog c = s.schema();
  auto it = c.tables.find(name);
  if (it == c.tables.end() || it->second.kind != 'T') fail(942);
  TableInfo t = it->second;
  std::vector<std::string> sources = same_columns(t);
  bool rebuild = false;
  bool triggers_only = false;
  std::string renamed_to;
  using A = Statement::AlterAction;
  std::set<std::string> names;
  for (const A &a : st.alter) {
    switch (a.kind) {
      case A::Kind::AddColumns: {
        for (const ColumnDefinition &d : a.columns) {
          if (t.column(d.name)) fail(1430);  // column being added already exists in table
          check_new_name(d.name);
          if (!d.has_type) fail(2263);
          ColumnInfo col = column_from(d, static_cast<int>(t.columns.size()) + 1);
          if (is_long(col.type.base))
            for (const ColumnInfo &other : t.columns)
              if (is_long(other.type.base)) fail(1754);
          check_default(s, col, env);
          if (d.not_null) name_not_null(s, col, a.constraints);
          t.columns.push_back(col);
          sources.emplace_back();  // takes its default
          if (d.identity) make_identity(s, t, t.columns.back(), d);
        }
        for (const ConstraintDefinition &d : a.constraints) {
          if (d.kind == 'N') {
            for (ColumnInfo &col : t.columns)
              if (col.name == d.columns[0]) col.nullable = false;
            continue;
          }
          t.constraints.push_back(constraint_from(s, c, t, d, names));
        }
        rebuild = true;
        break;
      }
      case A::Kind::AddConstraint: {
        for (const ConstraintDefinition &d : a.constraints) {
          ConstraintInfo k = constraint_from(s, c, t, d, names);
          if (k.kind == 'R' && k.enabled) {
            // Existing rows must have their parents.
            const TableInfo *parent = k.ref_table == t.name ? &t : c.table(k.ref_table);
            std::vector<std::string> notnull, match;
            for (size_t i = 0; i < k.columns.size(); ++i) {
              notnull.push_back("c." + quote(k.columns[i]) + " IS NOT NULL");
              match.push_back("p." + quote(k.ref_columns[i]) + " = c." + quote(k.columns[i]));
            }
            Stmt orphan(s.db, "SELECT 1 FROM " + quote(t.name) + " AS c WHERE " + join(notnull, " AND ") +
                                  " AND NOT EXISTS (SELECT 1 FROM " + quote(parent->name) + " AS p WHERE " +
                                  join(match, " AND ") + ") LIMIT 1");
            if (orphan.step()) fail(2298, s.user + "." + k.name);  // cannot validate - parent keys not found
            triggers_only = true;
          } else {
            rebuild = true;
          }
          t.constraints.push_back(k);
        }
        break;
      }
      case A::Kind::ModifyColumns: {
        for (const ColumnDefinition &d : a.columns) {
          ColumnInfo *col = nullptr;
          for (ColumnInfo &x : t.columns)
            if (x.name == d.name) col = &x;
          if (col == nullptr) fail(904, quote(d.name));
          if (d.has_type) {
            bool same_family = detail::family_name(col->type) == detail::family_name(d.type) ||
                               (is_character(col->type.base) && is_character(d.type.base));
            Stmt any(s.db, "SELECT 1 FROM " + quote(t.name) + " WHERE " + quote(col->name) + " IS NOT NULL LIMIT 1");
            bool has_values = any.step();
            if (!same_family && has_values) fail(1439);  // column to be modified must be empty to change datatype
            if (is_character(d.type.base) && is_character(col->type.base) && has_values) {
              std::string measure = d.type.char_semantics ? "z_length" : "length(CAST(";
              std::string probe = d.type.char_semantics
                                      ? "SELECT 1 FROM " + quote(t.name) + " WHERE z_length(" + quote(col->name) +
                                            ") > " + std::to_string(d.type.length) + " LIMIT 1"
                                      : "SELECT 1 FROM " + quote(t.name) + " WHERE length(CAST(" + quote(col->name) +
                                            " AS BLOB)) > " + std::to_string(d.type.length) + " LIMIT 1";
              (void)measure;
              Stmt too_big(s.db, probe);
              if (too_big.step()) fail(1441);  // cannot decrease column length because some value is too big
            }
            if (d.type.base == Base::Number && col->type.base == Base::Number && has_values &&
                (d.type.precision != 0 && (col->type.precision == 0 || d.type.precision < col->type.precision ||
                                           d.type.scale < col->type.scale))) {
              fail(1440);  // column to be modified must be empty to decrease precision or scale
            }
            col->type = d.type;
          }
          if (!d.default_text.empty()) {
            col->default_text = d.default_text;
            check_default(s, *col, env);
          }
          if (d.not_null) {
            col->nullable = false;
            name_not_null(s, *col, a.constraints);
          }
          if (d.identity_kind == "NULL") {
            for (const ConstraintInfo &k : t.constraints)
              if (k.kind == 'P')
                for (const std::string &pc : k.columns)
                  if (pc == col->name) fail(1451);  // column to be modified to NULL cannot be modified to NULL
            col->nullable = true;
            col->not_null.clear();
          }
        }
        for (const ConstraintDefinition &d : a.constraints) {
          if (d.kind == 'N') continue;
          t.constraints.push_back(constraint_from(s, c, t, d, names));
        }
        rebuild = true;
        break;
      }
      case A::Kind::ModifyIdentity: {
        for (const ColumnDefinition &d : a.columns) {
          const ColumnInfo *col = t.column(d.name);
          if (col == nullptr) fail(904, quote(d.name));
          if (col->identity.empty()) fail(30673);  // column to be modified is not an identity column
          if (d.identity_start == "LIMIT") {
            Stmt top(s.db, "SELECT max(" + quote(col->name) + ") FROM " + quote(t.name));
            std::string next = "1";
            if (top.step() && !top.is_null(0)) {
              oracle::Number n, one, r;
              decode_number(top.blob(0), &n);
              oracle::from_plain("1", &one);
              oracle::add(n, one, &r);
              next = oracle::to_plain(r);
            }
            sequence_alter(s, col->identity_sequence, {{"START", next}});
          } else {
            sequence_alter(s, col->identity_sequence, {{"START", d.identity_start}});
          }
        }
        break;
      }
      case A::Kind::DropColumns: {
        for (const std::string &col_name : a.names) {
          size_t index = 0;
          while (index < t.columns.size() && t.columns[index].name != col_name) ++index;
          if (index == t.columns.size()) fail(904, quote(col_name));
          if (t.columns.size() == 1) fail(12983);  // cannot drop all columns in a table
          // Constraints on the column go with it; a multi-column one needs CASCADE CONSTRAINTS.
          std::vector<ConstraintInfo> kept;
          for (const ConstraintInfo &k : t.constraints) {
            bool uses = std::find(k.columns.begin(), k.columns.end(), col_name) != k.columns.end();
            if (k.kind == 'C' && !uses) {
              std::string renamed = rename_identifier(k.condition, col_name, "\x01");
              uses = renamed != k.condition;
            }
            if (!uses) {
              kept.push_back(k);
              continue;
            }
            if (k.columns.size() > 1 && !a.cascade) fail(12991, col_name);  // column is referenced in a multi-column constraint
            for (const auto &[other_name, other] : c.tables)
              for (const ConstraintInfo &fk : other.constraints)
                if (fk.kind == 'R' && fk.ref_constraint == k.name && !a.cascade) fail(12992);
            drop_constraint_index(s, c, k);
          }
          t.constraints = kept;
          for (auto ix = c.indexes.begin(); ix != c.indexes.end();) {
            if (ix->second.table == t.name &&
                std::find(ix->second.columns.begin(), ix->second.columns.end(), col_name) != ix->second.columns.end()) {
              catalog_drop_index(s.db, ix->first);
              ix = c.indexes.erase(ix);
            } else {
              ++ix;
            }
          }
          if (is_lob(t.columns[index].type.base))
            exec(s.db, ("SELECT z_lob_drop(" + quote(col_name) + ") FROM " + quote(t.name)).c_str());
          t.columns.erase(t.columns.begin() + static_cast<long>(index));
          sources.erase(sources.begin() + static_cast<long>(index));
        }
        for (size_t i = 0; i < t.columns.size(); ++i) t.columns[i].position = static_cast<int>(i) + 1;
        rebuild = true;
        break;
      }
      case A::Kind::DropConstraint: case A::Kind::DropPrimaryKey: {
        auto k = std::find_if(t.constraints.begin(), t.constraints.end(), [&](const ConstraintInfo &x) {
          return a.kind == A::Kind::DropPrimaryKey ? x.kind == 'P' : x.name == a.names[0];
        });
        if (k == t.constraints.end()) fail(2443, a.names.empty() ? "PRIMARY KEY" : a.names[0]);  // cannot drop nonexistent constraint
        for (auto &[other_name, other] : c.tables) {
          for (auto fk = other.constraints.begin(); fk != other.constraints.end();) {
            if (fk->kind == 'R' && fk->ref_constraint == k->name) {
              if (!a.cascade) fail(2273);  // this unique/primary key is referenced by some foreign keys
              fk = other.constraints.erase(fk);
              if (other_name != t.name) catalog_save_table(s.db, other);
            } else {
              ++fk;
            }
          }
        }
        bool was_fk = k->kind == 'R';
        drop_constraint_index(s, c, *k);
        t.constraints.erase(k);
        if (was_fk) triggers_only = true;
        else rebuild = true;
        break;
      }
      case A::Kind::EnableConstraint: case A::Kind::DisableConstraint: {
        auto k = std::find_if(t.constraints.begin(), t.constraints.end(), [&](const ConstraintInfo &x) {
          return a.names[0] == "\x01PRIMARY" ? x.kind == 'P' : x.name == a.names[0];
        });
        if (k == t.constraints.end()) fail(2431, a.names[0]);  // cannot disable constraint - no such constraint
        bool enable = a.kind == A::Kind::EnableConstraint;
        if (!enable && (k->kind == 'P' || k->kind == 'U')) {
          for (const auto &[other_name, other] : c.tables)
            for (const ConstraintInfo &fk : other.constraints)
              if (fk.kind == 'R' && fk.enabled && fk.ref_constraint == k->name && !a.cascade) fail(2297);
        }
        k->enabled = enable;
        if (k->kind == 'R') triggers_only = true;
        else rebuild = true;
        break;
      }
      case A::Kind::RenameColumn: {
        ColumnInfo *col = nullptr;
        for (ColumnInfo &x : t.columns)
          if (x.name == a.names[0]) col = &x;
        if (col == nullptr) fail(904, quote(a.names[0]));
        if (t.column(a.new_name)) fail(957);
        check_new_name(a.new_name);
        col->name = a.new_name;
        for (ConstraintInfo &k : t.constraints) {
          for (std::string &kc : k.columns)
            if (kc == a.names[0]) kc = a.new_name;
          if (k.kind == 'C') k.condition = rename_identifier(k.condition, a.names[0], a.new_name);
        }
        for (auto &[other_name, other] : c.tables)
          for (ConstraintInfo &fk : other.constraints)
            if (fk.kind == 'R' && fk.ref_table == t.name) {
              for (std::string &rc : fk.ref_columns)
                if (rc == a.names[0]) rc = a.new_name;
              if (other_name != t.name) catalog_save_table(s.db, other);
            }
        if (t.column_comments.count(a.names[0])) {
          t.column_comments[a.new_name] = t.column_comments[a.names[0]];
          t.column_comments.erase(a.names[0]);
        }
        for (auto &[ix_name, index] : c.indexes)
          if (index.table == t.name) {
            for (std::string &ic : index.columns) ic = rename_identifier(ic, a.names[0], a.new_name);
            catalog_save_index(s.db, index);
          }
        rebuild = true;
        break;
      }
      case A::Kind::RenameConstraint: {
        auto k = std::find_if(t.constraints.begin(), t.constraints.end(),
                              [&](const ConstraintInfo &x) { return x.name == a.names[0]; });
        if (k == t.constraints.end()) fail(23292, a.names[0]);  // the constraint does not exist
        if (constraint_name_used(c, a.new_name)) fail(2264);
        k->name = a.new_name;
        k->generated = false;
        rebuild = true;
        break;
      }
      case A::Kind::RenameTable: {
        check_new_name(a.new_name);
        check_name_free(s, a.new_name);
        renamed_to = a.new_name;
        break;
      }
    }
  }
  check_keys(t);
  apply_not_null(t);
  if (!renamed_to.empty()) {
    std::set<std::string> related = related_tables(c, t);
    for (const std::string &r : related) drop_engine_triggers(s, r);
    exec(s.db, "PRAGMA legacy_alter_table=ON");
    exec(s.db, ("ALTER TABLE " + quote(t.name) + " RENAME TO " + quote(renamed_to)).c_str());
    exec(s.db, "PRAGMA legacy_alter_table=OFF");
    std::string old_name = t.name;
    catalog_drop_table(s.db, old_name);
    c.tables.erase(old_name);
    t.name = renamed_to;
    for (ConstraintInfo &k : t.constraints) {
      k.table = renamed_to;
      if (k.ref_table == old_name) k.ref_table = renamed_to;
    }
    for (auto &[other_name, other] : c.tables)
      for (ConstraintInfo &fk : other.constraints)
        if (fk.ref_table == old_name) {
          fk.ref_table = renamed_to;
          catalog_save_table(s.db, other);
        }
    for (auto &[ix_name, index] : c.indexes)
      if (index.table == old_name) {
        index.table = renamed_to;
        catalog_save_index(s.db, index);
      }
    c.tables[t.name] = t;
    related.erase(old_name);
    related.insert(renamed_to);
    catalog_save_table(s.db, t);
    refresh_triggers(s, c, related);
    tx.finish();
    return;
  }
  c.tables[t.name] = t;
  constraint_indexes(s, c, c.tables[t.name]);
  t = c.tables[t.name];
  catalog_save_table(s.db, t);
  if (rebuild) {
    rebuild_table(s, c, t, sources, env);
  } else if (triggers_only) {
    refresh_triggers(s, c, related_tables(c, t));
  }
  tx.finish();
}

void drop_simple(Session &s, const Statement &st) {
  const std::string name = object_name(s, st.object);
  DdlTransaction tx(s);
  Catalog c = s.schema();
  switch (st.kind) {
    case Statement::Kind::DropView: {
      auto it = c.tables.find(name);
      if (it == c.tables.end() || it->second.kind != 'V') fail(942);
      catalog_drop_table(s.db, name);
      break;
    }
    case Statement::Kind::DropIndex: {
      auto it = c.indexes.find(name);
      if (it == c.indexes.end()) fail(1418);  // specified index does not exist
      if (it->second.generated) fail(2429);   // cannot drop index used for enforcement of unique/primary key
      for (const auto &[table_name, t] : c.tables)
        for (const ConstraintInfo &k : t.constraints)
          if (k.index_name == name) fail(2429);
      exec(s.db, ("DROP INDEX IF EXISTS " + quote("$ix$" + name)).c_str());
      catalog_drop_index(s.db, name);
      break;
    }
    case Statement::Kind::DropSequence:
      sequence_drop(s, name);
      break;
    case Statement::Kind::DropTrigger:
      if (!c.triggers.count(name)) fail(4080, name);  // trigger does not exist
      catalog_drop_trigger(s.db, name);
      break;
    case Statement::Kind::DropProcedure: case Statement::Kind::DropFunction: {
      auto it = c.units.find(name);
      if (it == c.units.end() || it->second.kind != (st.kind == Statement::Kind::DropProcedure ? 'P' : 'F')) fail(4043, name);
      catalog_drop_unit(s.db, name);
      break;
    }
    case Statement::Kind::DropSynonym:
      if (!c.synonyms.count(name)) fail(1434);  // private synonym to be dropped does not exist
      catalog_drop_synonym(s.db, name);
      break;
    case Statement::Kind::DropDirectory:
      if (!c.directories.count(name)) fail(4043, name);
      catalog_drop_directory(s.db, name);
      break;
    default:
      fail(950);
  }
  tx.finish();
}

}  // namespace

bool is_ddl(const Statement &s) {
  switch (s.kind) {
    case Statement::Kind::CreateTable: case Statement::Kind::CreateView: case Statement::Kind::CreateIndex:
    case Statement::Kind::CreateSequence: case Statement::Kind::CreateTrigger: case Statement::Kind::CreateProcedure:
    case Statement::Kind::CreateFunction: case Statement::Kind::CreateSynonym: case Statement::Kind::CreateDirectory:
    case Statement::Kind::DropTable: case Statement::Kind::DropView: case Statement::Kind::DropIndex:
    case Statement::Kind::DropSequence: case Statement::Kind::DropTrigger: case Statement::Kind::DropProcedure:
    case Statement::Kind::DropFunction: case Statement::Kind::DropSynonym: case Statement::Kind::DropDirectory:
    case Statement::Kind::AlterTable: case Statement::Kind::AlterSequence: case Statement::Kind::Truncate:
    case Statement::Kind::Comment: case Statement::Kind::Rename:
      return true;
    default:
      return false;
  }
}

void execute_ddl(Session &s, const Statement &st, std::string_view source, Environment &env) {
  switch (st.kind) {
    case Statement::Kind::CreateTable: return create_table(s, st, source, env);
    case Statement::Kind::CreateView: return create_view(s, st, source, env);
    case Statement::Kind::CreateIndex: return create_index(s, st, source, env);
    case Statement::Kind::CreateSequence: {
      const std::string name = object_name(s, st.object);
      check_new_name(name);
      commit(s);
      check_name_free(s, name);
      sequence_create(s, name, st.options);
      return;
    }
    case Statement::Kind::AlterSequence: {
      if (st.comment_kind == "NOTHING") {
        commit(s);
        return;
      }
      commit(s);
      sequence_alter(s, object_name(s, st.object), st.options);
      return;
    }
    case Statement::Kind::DropTable: return drop_table(s, st);
    case Statement::Kind::Truncate: return truncate_table(s, st);
    case Statement::Kind::Comment: return comment_on(s, st);
    case Statement::Kind::Rename: {
      Statement alter(Statement::Kind::AlterTable);
      alter.table = st.object;
      Statement::AlterAction a{};
      a.kind = Statement::AlterAction::Kind::RenameTable;
      a.new_name = st.comment;
      alter.alter.push_back(std::move(a));
      return alter_table(s, alter, source, env);
    }
    case Statement::Kind::AlterTable: return alter_table(s, st, source, env);
    case Statement::Kind::CreateSynonym: {
      const std::string name = object_name(s, st.object);
      DdlTransaction tx(s);
      const Catalog &c = s.schema();
      if (c.synonyms.count(name) && !st.or_replace) fail(955);
      if (!c.synonyms.count(name)) check_name_free(s, name);
      catalog_save_synonym(s.db, SynonymInfo{name, object_name(s, st.table)});
      tx.finish();
      return;
    }
    case Statement::Kind::CreateDirectory: {
      const std::string name = object_name(s, st.object);
      DdlTransaction tx(s);
      const Catalog &c = s.schema();
      if (c.directories.count(name) && !st.or_replace) fail(955);
      catalog_save_directory(s.db, name, st.path);
      tx.finish();
      return;
    }
    case Statement::Kind::CreateProcedure: case Statement::Kind::CreateFunction: {
      const std::string name = object_name(s, st.object);
      DdlTransaction tx(s);
      const Catalog &c = s.schema();
      auto it = c.units.find(name);
      char kind = st.kind == Statement::Kind::CreateFunction ? 'F' : 'P';
      if (it != c.units.end() && (!st.or_replace || it->second.kind != kind)) fail(955);
      if (it == c.units.end()) check_name_free(s, name);
      catalog_save_unit(s.db, UnitInfo{name, kind, std::string(source), s.now});
      tx.finish();
      return;
    }
    case Statement::Kind::CreateTrigger: {
      const std::string name = object_name(s, st.object);
      if (st.timing == "INSTEAD OF") fail(3001, "INSTEAD OF triggers");
      DdlTransaction tx(s);
      const Catalog &c = s.schema();
      const TableInfo *table = c.table(object_name(s, st.table));
      if (table == nullptr) fail(942);
      if (table->kind == 'V') fail(25001);  // cannot create this trigger type on views
      if (c.triggers.count(name) && !st.or_replace) fail(4081, name);  // trigger already exists
      for (const std::string &col : st.update_columns)
        if (table->column(col) == nullptr) fail(904, quote(col));
      TriggerInfo t;
      t.name = name;
      t.table = table->name;
      t.timing = st.timing;
      t.events = st.events;
      t.update_columns = st.update_columns;
      t.for_each_row = st.for_each_row;
      t.source = std::string(source);
      t.created = s.now;
      catalog_save_trigger(s.db, t);
      tx.finish();
      return;
    }
    default:
      return drop_simple(s, st);
  }
}

}  // namespace zec::sql
