#include "src/sql/dictionary.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <new>

#include "src/sql/engine.h"
#include "src/sql/session.h"
#include "src/sql/value.h"

namespace zec::sql {
namespace {

using Row = std::vector<Value>;
using Rows = std::vector<Row>;

Type text(int32_t length) { return Type::varchar2(length); }
Type number() { return Type::number(); }
Type date() { return Type::of(Base::Date); }

Value str(const std::string &s) { return Value::text(s); }
Value num(int64_t n) { return Value::number_bytes(number_from_int64(n)); }
// A sequence keeps its numbers as decimal text.
Value decimal(const std::string &text) {
  std::string bytes;
  if (number_from_text(text, &bytes) != 0) return Value{};
  return Value::number_bytes(std::move(bytes));
}
Value when(int64_t seconds) { return Value::date(seconds); }
Value yes_no(bool b, const char *yes = "Y", const char *no = "N") { return str(b ? yes : no); }

// An index column as the catalog keeps it: a quoted name shows unquoted.
std::string column_text(const std::string &c) {
  if (c.size() >= 2 && c.front() == '"' && c.back() == '"' && c.find('"', 1) == c.size() - 1)
    return c.substr(1, c.size() - 2);
  return c;
}

std::string constraint_type(const ConstraintInfo &c) {
  switch (c.kind) {
    case 'P': return "P";
    case 'U': return "U";
    case 'R': return "R";
    default: return "C";  // checks and named NOT NULL constraints
  }
}

std::string condition_of(const ConstraintInfo &c) {
  if (c.kind == 'N' && !c.columns.empty()) return "\"" + c.columns[0] + "\" IS NOT NULL";
  return c.condition;
}

// The objects of the catalog as USER_OBJECTS lists them.
struct ObjectRow {
  std::string name, type;
  int64_t id, created;
  bool generated;
};

std::vector<ObjectRow> objects(Session &s) {
  const Catalog &c = s.schema();
  std::vector<ObjectRow> out;
  std::map<std::string, int64_t> table_created;
  for (const auto &[name, t] : c.tables) {
    out.push_back({name, t.kind == 'V' ? "VIEW" : "TABLE", t.id, t.created, false});
    table_created[name] = t.created;
  }
  int64_t next = 1;
  for (const auto &[name, i] : c.indexes)
    out.push_back({name, "INDEX", 900000 + next++, table_created[i.table], i.generated});
  for (const SequenceInfo &q : sequence_list(s)) out.push_back({q.name, "SEQUENCE", 900000 + next++, s.now, false});
  for (const auto &[name, t] : c.triggers) out.push_back({name, "TRIGGER", 900000 + next++, t.created, false});
  for (const auto &[name, u] : c.units)
    out.push_back({name, u.kind == 'F' ? "FUNCTION" : "PROCEDURE", 900000 + next++, u.created, false});
  for (const auto &[name, y] : c.synonyms) out.push_back({name, "SYNONYM", 900000 + next++, s.now, false});
  return out;
}

std::string timestamp_text(int64_t seconds) {
  oracle::Date d = date_of(seconds);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d:%02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute,
                d.second);
  return buffer;
}

// One view: its columns and how its rows are made.
struct Definition {
  const char *name;
  std::vector<DictionaryColumn> columns;
  std::function<void(Session &, Rows &)> rows;
};

std::vector<Definition> definitions() {
  std::vector<Definition> d;
  d.push_back({"TABLES",
               {{"TABLE_NAME", text(128)}, {"TABLESPACE_NAME", text(30)}, {"STATUS", text(8)},
                {"NUM_ROWS", number()}, {"TEMPORARY", text(1)}, {"IOT_TYPE", text(12)}, {"NESTED", text(3)},
                {"READ_ONLY", text(3)}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, t] : s.schema().tables)
                   if (t.kind == 'T')
                     out.push_back({str(name), str("USERS"), str("VALID"), Value{}, str("N"), Value{}, str("NO"),
                                    str("NO")});
               }});
  d.push_back({"TAB_COLUMNS",
               {{"TABLE_NAME", text(128)}, {"COLUMN_NAME", text(128)}, {"DATA_TYPE", text(128)},
                {"DATA_LENGTH", number()}, {"DATA_PRECISION", number()}, {"DATA_SCALE", number()},
                {"NULLABLE", text(1)}, {"COLUMN_ID", number()}, {"DATA_DEFAULT", text(4000)},
                {"CHAR_LENGTH", number()}, {"CHAR_USED", text(1)}, {"IDENTITY_COLUMN", text(3)}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, t] : s.schema().tables)
                   for (const ColumnInfo &c : t.columns) {
                     const Type &ty = c.type;
                     bool number_type = ty.base == Base::Number;
                     Value precision, scale;
                     if (number_type && ty.is_float) {
                       precision = num(ty.precision ? ty.precision : 126);
                     } else if (number_type) {
                       if (ty.precision) precision = num(ty.precision);
                       if (ty.scale != -127) scale = num(ty.scale);
                       else if (ty.precision) scale = num(0);
                     }
                     bool character = ty.base == Base::Varchar2 || ty.base == Base::NVarchar2 ||
                                      ty.base == Base::Char || ty.base == Base::NChar;
                     out.push_back({str(name), str(c.name), str(type_name(ty)), num(data_size(ty)), precision,
                                    scale, yes_no(c.nullable), num(c.position), str(c.default_text),
                                    num(character ? ty.length : 0),
                                    character ? yes_no(ty.char_semantics, "C", "B") : Value{},
                                    yes_no(!c.identity.empty(), "YES", "NO")});
                   }
               }});
  d.push_back({"CONSTRAINTS",
               {{"OWNER", text(128)}, {"CONSTRAINT_NAME", text(128)}, {"CONSTRAINT_TYPE", text(1)},
                {"TABLE_NAME", text(128)}, {"SEARCH_CONDITION", text(4000)}, {"R_OWNER", text(128)},
                {"R_CONSTRAINT_NAME", text(128)}, {"DELETE_RULE", text(9)}, {"STATUS", text(8)},
                {"DEFERRABLE", text(14)}, {"DEFERRED", text(9)}, {"VALIDATED", text(13)},
                {"GENERATED", text(14)}, {"INDEX_NAME", text(128)}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, t] : s.schema().tables) {
                   for (const ColumnInfo &col : t.columns)
                     if (!col.not_null.empty())
                       out.push_back({str(s.user), str(col.not_null), str("C"), str(name),
                                      str("\"" + col.name + "\" IS NOT NULL"), Value{}, Value{}, Value{},
                                      str("ENABLED"), str("NOT DEFERRABLE"), str("IMMEDIATE"), str("VALIDATED"),
                                      yes_no(col.not_null.rfind("SYS_C", 0) == 0, "GENERATED NAME", "USER NAME"),
                                      Value{}});
                   for (const ConstraintInfo &c : t.constraints) {
                     bool ref = c.kind == 'R';
                     out.push_back({str(s.user), str(c.name), str(constraint_type(c)), str(name),
                                    str(condition_of(c)), ref ? str(s.user) : Value{}, str(c.ref_constraint),
                                    ref ? str(c.delete_rule.empty() ? "NO ACTION" : c.delete_rule) : Value{},
                                    yes_no(c.enabled, "ENABLED", "DISABLED"), str("NOT DEFERRABLE"),
                                    str("IMMEDIATE"), yes_no(c.enabled, "VALIDATED", "NOT VALIDATED"),
                                    yes_no(c.generated, "GENERATED NAME", "USER NAME"), str(c.index_name)});
                   }
                   if (t.kind == 'V' && t.read_only)
                     out.push_back({str(s.user), str("SYS_O" + std::to_string(t.id)), str("O"), str(name), Value{},
                                    Value{}, Value{}, Value{}, str("ENABLED"), str("NOT DEFERRABLE"),
                                    str("IMMEDIATE"), str("NOT VALIDATED"), str("GENERATED NAME"), Value{}});
                 }
               }});
  d.push_back({"CONS_COLUMNS",
               {{"OWNER", text(128)}, {"CONSTRAINT_NAME", text(128)}, {"TABLE_NAME", text(128)},
                {"COLUMN_NAME", text(4000)}, {"POSITION", number()}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, t] : s.schema().tables) {
                   for (const ColumnInfo &col : t.columns)
                     if (!col.not_null.empty())
                       out.push_back({str(s.user), str(col.not_null), str(name), str(col.name), Value{}});
                   for (const ConstraintInfo &c : t.constraints) {
                     bool keyed = c.kind == 'P' || c.kind == 'U' || c.kind == 'R';
                     for (size_t i = 0; i < c.columns.size(); ++i)
                       out.push_back({str(s.user), str(c.name), str(name), str(c.columns[i]),
                                      keyed ? num(static_cast<int64_t>(i) + 1) : Value{}});
                   }
                 }
               }});
  d.push_back({"INDEXES",
               {{"INDEX_NAME", text(128)}, {"INDEX_TYPE", text(27)}, {"TABLE_OWNER", text(128)},
                {"TABLE_NAME", text(128)}, {"TABLE_TYPE", text(11)}, {"UNIQUENESS", text(9)},
                {"TABLESPACE_NAME", text(30)}, {"STATUS", text(8)}, {"GENERATED", text(1)}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, i] : s.schema().indexes)
                   out.push_back({str(name), str("NORMAL"), str(s.user), str(i.table), str("TABLE"),
                                  yes_no(i.unique, "UNIQUE", "NONUNIQUE"), str("USERS"), str("VALID"),
                                  yes_no(i.generated)});
               }});
  d.push_back({"IND_COLUMNS",
               {{"INDEX_NAME", text(128)}, {"TABLE_NAME", text(128)}, {"COLUMN_NAME", text(4000)},
                {"COLUMN_POSITION", number()}, {"DESCEND", text(4)}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, i] : s.schema().indexes)
                   for (size_t k = 0; k < i.columns.size(); ++k)
                     out.push_back({str(name), str(i.table), str(column_text(i.columns[k])),
                                    num(static_cast<int64_t>(k) + 1),
                                    yes_no(k < i.descending.size() && i.descending[k], "DESC", "ASC")});
               }});
  d.push_back({"SEQUENCES",
               {{"SEQUENCE_NAME", text(128)}, {"MIN_VALUE", number()}, {"MAX_VALUE", number()},
                {"INCREMENT_BY", number()}, {"CYCLE_FLAG", text(1)}, {"ORDER_FLAG", text(1)},
                {"CACHE_SIZE", number()}, {"LAST_NUMBER", number()}},
               [](Session &s, Rows &out) {
                 for (const SequenceInfo &q : sequence_list(s))
                   out.push_back({str(q.name), decimal(q.min_value), decimal(q.max_value), decimal(q.increment),
                                  yes_no(q.cycle), yes_no(q.ordered), decimal(q.cache), decimal(q.last_number)});
               }});
  d.push_back({"VIEWS",
               {{"VIEW_NAME", text(128)}, {"TEXT_LENGTH", number()}, {"TEXT", text(4000)},
                {"READ_ONLY", text(1)}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, t] : s.schema().tables)
                   if (t.kind == 'V')
                     out.push_back({str(name), num(static_cast<int64_t>(t.view_text.size())),
                                    str(t.view_text.substr(0, 4000)), yes_no(t.read_only)});
               }});
  d.push_back({"OBJECTS",
               {{"OBJECT_NAME", text(128)}, {"SUBOBJECT_NAME", text(128)}, {"OBJECT_ID", number()},
                {"DATA_OBJECT_ID", number()}, {"OBJECT_TYPE", text(23)}, {"CREATED", date()},
                {"LAST_DDL_TIME", date()}, {"TIMESTAMP", text(19)}, {"STATUS", text(7)},
                {"TEMPORARY", text(1)}, {"GENERATED", text(1)}},
               [](Session &s, Rows &out) {
                 for (const ObjectRow &o : objects(s)) {
                   bool has_data = o.type == "TABLE" || o.type == "INDEX";
                   out.push_back({str(o.name), Value{}, num(o.id), has_data ? num(o.id) : Value{}, str(o.type),
                                  when(o.created), when(o.created), str(timestamp_text(o.created)), str("VALID"),
                                  str("N"), yes_no(o.generated)});
                 }
               }});
  d.push_back({"TAB_COMMENTS",
               {{"TABLE_NAME", text(128)}, {"TABLE_TYPE", text(11)}, {"COMMENTS", text(4000)}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, t] : s.schema().tables)
                   out.push_back({str(name), str(t.kind == 'V' ? "VIEW" : "TABLE"), str(t.comment)});
               }});
  d.push_back({"COL_COMMENTS",
               {{"TABLE_NAME", text(128)}, {"COLUMN_NAME", text(128)}, {"COMMENTS", text(4000)}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, t] : s.schema().tables)
                   for (const ColumnInfo &c : t.columns) {
                     auto it = t.column_comments.find(c.name);
                     out.push_back({str(name), str(c.name), it == t.column_comments.end() ? Value{} : str(it->second)});
                   }
               }});
  d.push_back({"TRIGGERS",
               {{"TRIGGER_NAME", text(128)}, {"TRIGGER_TYPE", text(16)}, {"TRIGGERING_EVENT", text(246)},
                {"TABLE_OWNER", text(128)}, {"BASE_OBJECT_TYPE", text(18)}, {"TABLE_NAME", text(128)},
                {"STATUS", text(8)}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, t] : s.schema().triggers) {
                   std::string events;
                   for (const std::string &e : t.events) events += (events.empty() ? "" : " OR ") + e;
                   out.push_back({str(name), str(t.timing + (t.for_each_row ? " EACH ROW" : " STATEMENT")),
                                  str(events), str(s.user), str("TABLE"), str(t.table),
                                  yes_no(t.enabled, "ENABLED", "DISABLED")});
                 }
               }});
  d.push_back({"SOURCE",
               {{"NAME", text(128)}, {"TYPE", text(12)}, {"LINE", number()}, {"TEXT", text(4000)}},
               [](Session &s, Rows &out) {
                 auto add = [&](const std::string &name, const char *type, const std::string &source) {
                   int64_t line = 0;
                   size_t at = 0;
                   while (at <= source.size()) {
                     size_t end = source.find('\n', at);
                     if (end == std::string::npos) end = source.size();
                     out.push_back({str(name), str(type), num(++line), str(source.substr(at, end - at + 1))});
                     at = end + 1;
                   }
                 };
                 const Catalog &c = s.schema();
                 for (const auto &[name, u] : c.units) add(name, u.kind == 'F' ? "FUNCTION" : "PROCEDURE", u.source);
                 for (const auto &[name, t] : c.triggers) add(name, "TRIGGER", t.source);
               }});
  d.push_back({"SYNONYMS",
               {{"SYNONYM_NAME", text(128)}, {"TABLE_OWNER", text(128)}, {"TABLE_NAME", text(128)}},
               [](Session &s, Rows &out) {
                 for (const auto &[name, y] : s.schema().synonyms)
                   out.push_back({str(name), str(s.user), str(y.target)});
               }});
  return d;
}

struct Registered {
  DictionaryView view;
  std::function<void(Session &, Rows &)> rows;
  bool all = false;  // ALL_: OWNER first, unless the view has one
};

const std::vector<Registered> &registry() {
  static const std::vector<Registered> views = [] {
    std::vector<Registered> out;
    for (Definition &d : definitions()) {
      bool has_owner = !d.columns.empty() && d.columns[0].name == "OWNER";
      for (bool all : {false, true}) {
        Registered r;
        r.view.name = std::string(all ? "ALL_" : "USER_") + d.name;
        r.view.sql_name = "$dict_" + r.view.name;
        if (all && !has_owner) r.view.columns.push_back({"OWNER", text(128)});
        for (const DictionaryColumn &c : d.columns) r.view.columns.push_back(c);
        r.rows = d.rows;
        r.all = all && !has_owner;
        out.push_back(std::move(r));
      }
    }
    return out;
  }();
  return views;
}

// ---- The virtual table ---------------------------------------------------------------

struct Module {
  const Registered *view;
  Session *session;
};

struct Table {
  sqlite3_vtab base{};
  const Module *module = nullptr;
};

struct Scan {
  sqlite3_vtab_cursor base{};
  Rows rows;
  size_t at = 0;
};

int connect(sqlite3 *db, void *aux, int, const char *const *, sqlite3_vtab **out, char **) {
  const Module *m = static_cast<const Module *>(aux);
  std::string ddl = "CREATE TABLE x(";
  for (size_t i = 0; i < m->view->view.columns.size(); ++i)
    ddl += (i ? ", \"" : "\"") + m->view->view.columns[i].name + "\"";
  ddl += ")";
  int rc = sqlite3_declare_vtab(db, ddl.c_str());
  if (rc != SQLITE_OK) return rc;
  Table *t = new (std::nothrow) Table;
  if (t == nullptr) return SQLITE_NOMEM;
  t->module = m;
  *out = &t->base;
  return SQLITE_OK;
}

int disconnect(sqlite3_vtab *t) {
  delete reinterpret_cast<Table *>(t);
  return SQLITE_OK;
}

int best_index(sqlite3_vtab *, sqlite3_index_info *info) {
  info->estimatedCost = 1000;
  return SQLITE_OK;
}

int open_scan(sqlite3_vtab *, sqlite3_vtab_cursor **out) {
  Scan *c = new (std::nothrow) Scan;
  if (c == nullptr) return SQLITE_NOMEM;
  *out = &c->base;
  return SQLITE_OK;
}

int close_scan(sqlite3_vtab_cursor *c) {
  delete reinterpret_cast<Scan *>(c);
  return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor *cursor, int, const char *, int, sqlite3_value **) {
  Scan *c = reinterpret_cast<Scan *>(cursor);
  const Module *m = reinterpret_cast<Table *>(cursor->pVtab)->module;
  c->rows.clear();
  c->at = 0;
  try {
    m->view->rows(*m->session, c->rows);
    if (m->view->all)
      for (Row &r : c->rows) r.insert(r.begin(), str(m->session->user));
  } catch (const std::bad_alloc &) {
    return SQLITE_NOMEM;
  } catch (...) {
    return SQLITE_ERROR;
  }
  return SQLITE_OK;
}

int next(sqlite3_vtab_cursor *cursor) {
  ++reinterpret_cast<Scan *>(cursor)->at;
  return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor *cursor) {
  Scan *c = reinterpret_cast<Scan *>(cursor);
  return c->at >= c->rows.size();
}

int column(sqlite3_vtab_cursor *cursor, sqlite3_context *ctx, int i) {
  Scan *c = reinterpret_cast<Scan *>(cursor);
  if (c->at >= c->rows.size() || i < 0 || static_cast<size_t>(i) >= c->rows[c->at].size()) {
    sqlite3_result_null(ctx);
    return SQLITE_OK;
  }
  result_value(ctx, c->rows[c->at][static_cast<size_t>(i)]);
  return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor *cursor, sqlite3_int64 *out) {
  *out = static_cast<sqlite3_int64>(reinterpret_cast<Scan *>(cursor)->at);
  return SQLITE_OK;
}

const sqlite3_module kModule = {
    0,        nullptr, connect, best_index, disconnect, disconnect, open_scan, close_scan, filter, next, eof,
    column,   rowid,   nullptr, nullptr,    nullptr,    nullptr,    nullptr,   nullptr,    nullptr, nullptr,
    nullptr,  nullptr, nullptr,
};

void free_module(void *m) { delete static_cast<Module *>(m); }

}  // namespace

const DictionaryView *dictionary_view(const std::string &name) {
  if (name.rfind("USER_", 0) != 0 && name.rfind("ALL_", 0) != 0) return nullptr;
  for (const Registered &r : registry())
    if (r.view.name == name) return &r.view;
  return nullptr;
}

bool register_dictionary(sqlite3 *db, Session *session) {
  for (const Registered &r : registry()) {
    Module *m = new (std::nothrow) Module{&r, session};
    if (m == nullptr) return false;
    // Eponymous: the module's name is the table's, with nothing to create.
    if (sqlite3_create_module_v2(db, r.view.sql_name.c_str(), &kModule, m, free_module) != SQLITE_OK) return false;
  }
  return true;
}

}  // namespace zec::sql
