#include "src/sql/stored.h"

#include <sqlite3.h>

#include <memory>
#include <new>

#include "src/sql/error.h"
#include "src/sql/parser.h"
#include "src/sql/plsql.h"
#include "src/sql/sqlite_util.h"

namespace zec::sql {

struct StoredProgram {
  int64_t version = -1;
  std::string text;
  std::vector<Placeholder> placeholders;  // none: the program keeps a reference
  StatementPtr statement;
  std::unique_ptr<PlsqlProgram> program;
  bool busy = false;
};

namespace {

std::shared_ptr<StoredProgram> make_program(const std::string &text) {
  auto p = std::make_shared<StoredProgram>();
  p->text = text;
  p->statement = parse_statement(p->text);
  p->program = std::make_unique<PlsqlProgram>(*p->statement, p->text, p->placeholders);
  return p;
}

// The session's entry for a unit or trigger, parsed again when the catalog
// has changed since.
StoredProgram &entry_for(Session &s, const std::string &key, const std::string &text) {
  int64_t version = s.schema().version;
  auto &entry = s.programs[key];
  if (!entry || entry->version != version || entry->text != text) {
    auto fresh = make_program(text);
    fresh->version = version;
    entry = fresh;
  }
  return *entry;
}

// A program to run: the entry's own, or one of its own for a recursive call.
std::shared_ptr<StoredProgram> program_for(Session &s, const std::string &key, const std::string &text) {
  entry_for(s, key, text);
  std::shared_ptr<StoredProgram> entry = s.programs[key];
  if (entry->busy) return make_program(text);
  return entry;
}

struct Busy {
  StoredProgram &p;
  explicit Busy(StoredProgram &program) : p(program) { p.busy = true; }
  ~Busy() { p.busy = false; }
};

std::string unit_name(const Session &s, const std::string &name) {
  std::string prefix = s.user + ".";
  return name.rfind(prefix, 0) == 0 ? name.substr(prefix.size()) : name;
}

}  // namespace

Type parameter_type(Session &s, const Type &declared, const Name &type_of) {
  if (!type_of.empty() && type_of.parts.size() >= 2) {
    const TableInfo *t = s.schema().table(type_of.parts[type_of.parts.size() - 2]);
    if (t != nullptr)
      if (const ColumnInfo *c = t->column(type_of.last())) return c->type;
    fail(6550, "1\x1f" "1\x1f" "PLS-00201: identifier '" + type_of.last() + "' must be declared");
  }
  Type t = declared;
  if ((is_character(t.base) || t.base == Base::Raw) && t.length == 0) t.length = 32767;
  return t;
}

const Statement *stored_unit(Session &s, const std::string &name) {
  const Catalog &c = s.schema();
  auto it = c.units.find(unit_name(s, name));
  if (it == c.units.end()) return nullptr;
  return entry_for(s, "unit:" + it->first, it->second.source).statement.get();
}

Value call_stored(Session &s, const std::string &name, std::vector<Value> &args, const std::vector<bool> &given) {
  const Catalog &c = s.schema();
  auto it = c.units.find(unit_name(s, name));
  if (it == c.units.end()) fail(6576, name);  // not a valid function or procedure name
  std::shared_ptr<StoredProgram> p = program_for(s, "unit:" + it->first, it->second.source);
  Busy busy(*p);
  return p->program->call(s, args, given);
}

// ---- Triggers -----------------------------------------------------------------------------

namespace {

const char *event_of(const Plan &plan) {
  switch (plan.kind) {
    case Plan::Kind::Insert: return "INSERT";
    case Plan::Kind::Update: return "UPDATE";
    case Plan::Kind::Delete: return "DELETE";
    default: return "";
  }
}

bool fires_on(const TriggerInfo &t, const Plan &plan) {
  if (!t.enabled || t.table != plan.table) return false;
  const std::string event = event_of(plan);
  bool listed = false;
  for (const std::string &e : t.events) listed = listed || e == event;
  if (!listed) return false;
  if (event != "UPDATE" || t.update_columns.empty()) return true;
  for (const std::string &c : t.update_columns)
    for (const std::string &set : plan.set_columns)
      if (c == set) return true;
  return false;
}

void fire(Session &s, const TriggerInfo &t, const TableInfo &table, const std::string &event,
          std::vector<Value> *new_row, const std::vector<Value> *old_row) {
  std::shared_ptr<StoredProgram> p = program_for(s, "trigger:" + t.name, t.source);
  Busy busy(*p);
  try {
    p->program->fire(s, table, event, new_row, old_row);
  } catch (SqlError &e) {
    std::string line = "ORA-04088: error during execution of trigger '" + s.user + "." + t.name + "'";
    e.trailer += (e.trailer.empty() ? "" : "\n") + line;
    throw;
  }
}

// A prepared statement finalized when it goes.
struct Prepared {
  sqlite3_stmt *stmt = nullptr;
  Prepared(Session &s, const std::string &sql, const Plan &plan) {
    if (sqlite3_prepare_v2(s.db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) throw map_error(s, &plan);
  }
  ~Prepared() { sqlite3_finalize(stmt); }
  Prepared(const Prepared &) = delete;
  Prepared &operator=(const Prepared &) = delete;
};

}  // namespace

bool fires_triggers(Session &s, const Plan &plan) {
  // The catalog the plan was just made or checked with: no second look at
  // the version on every DML execution.
  const Catalog &c = s.catalog;
  if (c.triggers.empty() || plan.rows_sql.empty()) return false;
  for (const auto &[name, t] : c.triggers)
    if (fires_on(t, plan)) return true;
  return false;
}

uint64_t run_triggered(Session &s, const Plan &plan, Binds &binds, uint32_t iteration,
                       const std::function<void(sqlite3_stmt *)> &returned, int64_t *last_rowid) {
  // Copies: a trigger's own statements may read the catalog again.
  const Catalog &c = s.schema();
  const TableInfo *found = c.table(plan.table);
  if (found == nullptr) fail(942);
  const TableInfo table = *found;
  std::vector<TriggerInfo> before_statement, before_row, after_row, after_statement;
  for (const auto &[name, t] : c.triggers) {
    if (!fires_on(t, plan)) continue;
    bool before = t.timing == "BEFORE";
    (t.for_each_row ? (before ? before_row : after_row) : (before ? before_statement : after_statement)).push_back(t);
  }
  const std::string event = event_of(plan);
  const size_t n = table.columns.size();
  const int first = static_cast<int>(plan.params.size()) + 1;  // the row's values follow the plan's parameters

  begin_transaction(s);
  exec(s.db, "SAVEPOINT \"$trigger\"");
  uint64_t count = 0;
  try {
    for (const TriggerInfo &t : before_statement) fire(s, t, table, event, nullptr, nullptr);

    // The rows the statement works on, read before any is changed.
    struct Row {
      int64_t rowid = 0;
      std::vector<Value> old_values, new_values;
    };
    std::vector<Row> rows;
    {
      Prepared source(s, plan.rows_sql, plan);
      bind_params(s, plan, source.stmt, binds, iteration);
      for (;;) {
        int rc = sqlite3_step(source.stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) throw map_error(s, &plan);
        Row r;
        int at = 0;
        if (plan.kind != Plan::Kind::Insert) r.rowid = sqlite3_column_int64(source.stmt, at++);
        if (plan.kind != Plan::Kind::Insert)
          for (size_t i = 0; i < n; ++i) r.old_values.push_back(read_column(source.stmt, at++, table.columns[i].type));
        if (plan.kind != Plan::Kind::Delete)
          for (size_t i = 0; i < n; ++i) r.new_values.push_back(read_column(source.stmt, at++, table.columns[i].type));
        rows.push_back(std::move(r));
      }
    }

    std::string sql;
    std::vector<std::string> names;
    for (const ColumnInfo &col : table.columns) names.push_back(quote(col.name));
    auto param = [&](size_t k) { return "?" + std::to_string(first + static_cast<int>(k)); };
    if (plan.kind == Plan::Kind::Insert) {
      std::vector<std::string> values;
      for (size_t k = 0; k < n; ++k) values.push_back(param(k));
      sql = "INSERT INTO " + quote(table.name) + " (" + join(names, ",") + ") VALUES (" + join(values, ",") + ")";
    } else if (plan.kind == Plan::Kind::Update) {
      std::vector<std::string> sets;
      for (size_t k = 0; k < n; ++k) sets.push_back(names[k] + " = " + param(k));
      sql = "UPDATE " + quote(table.name) + " SET " + join(sets, ", ") + " WHERE rowid = " + param(n);
    } else {
      sql = "DELETE FROM " + quote(table.name) + " WHERE rowid = " + param(0);
    }
    Prepared write(s, sql + plan.returning_sql, plan);

    for (Row &r : rows) {
      std::vector<Value> *new_row = plan.kind == Plan::Kind::Delete ? nullptr : &r.new_values;
      const std::vector<Value> *old_row = plan.kind == Plan::Kind::Insert ? nullptr : &r.old_values;
      for (const TriggerInfo &t : before_row) fire(s, t, table, event, new_row, old_row);
      sqlite3_reset(write.stmt);
      sqlite3_clear_bindings(write.stmt);
      if (!plan.returning_sql.empty()) bind_params(s, plan, write.stmt, binds, iteration);
      if (new_row != nullptr) {
        for (size_t k = 0; k < n; ++k) {
          const ColumnInfo &col = table.columns[k];
          Value &v = (*new_row)[k];
          if (!is_lob(col.type.base)) {
            v = coerce(s, v, col.type);
            fit_to_column(col.type, qualified_column(s, table.name, col.name), &v);
          }
          bind_value(write.stmt, first + static_cast<int>(k), v);
        }
      }
      if (plan.kind != Plan::Kind::Insert)
        sqlite3_bind_int64(write.stmt, first + static_cast<int>(plan.kind == Plan::Kind::Update ? n : 0), r.rowid);
      for (;;) {
        int rc = sqlite3_step(write.stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) {
          SqlError e = map_error(s, &plan);
          sqlite3_reset(write.stmt);
          throw e;
        }
        returned(write.stmt);
      }
      sqlite3_reset(write.stmt);
      *last_rowid = plan.kind == Plan::Kind::Insert ? sqlite3_last_insert_rowid(s.db) : r.rowid;
      ++count;
      for (const TriggerInfo &t : after_row) fire(s, t, table, event, new_row, old_row);
    }
    for (const TriggerInfo &t : after_statement) fire(s, t, table, event, nullptr, nullptr);
  } catch (...) {
    if (s.in_transaction) {
      sqlite3_exec(s.db, "ROLLBACK TO \"$trigger\"", nullptr, nullptr, nullptr);
      sqlite3_exec(s.db, "RELEASE \"$trigger\"", nullptr, nullptr, nullptr);
    }
    throw;
  }
  if (s.in_transaction) exec(s.db, "RELEASE \"$trigger\"");
  return count;
}

// ---- Functions in SQL ---------------------------------------------------------------------

namespace {

void call_function(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  Session *s = static_cast<Session *>(sqlite3_user_data(ctx));
  try {
    if (argc < 1) throw SqlError{909, ""};
    const unsigned char *text = sqlite3_value_text(argv[0]);
    std::string name(text ? reinterpret_cast<const char *>(text) : "", static_cast<size_t>(sqlite3_value_bytes(argv[0])));
    const Statement *unit = stored_unit(*s, name);
    if (unit == nullptr || unit->kind != Statement::Kind::CreateFunction) throw SqlError{904, quote(name)};
    std::vector<Value> args;
    std::vector<bool> given;
    for (size_t i = 0; i < unit->parameters.size(); ++i) {
      bool present = static_cast<int>(i) + 1 < argc;
      given.push_back(present);
      if (!present) {
        args.emplace_back();
        continue;
      }
      // The translator converted each argument to its parameter's family.
      const PlParameter &p = unit->parameters[i];
      Value value = read_value(argv[i + 1], parameter_type(*s, p.type, p.type_of));
      args.push_back(std::move(value));
    }
    result_value(ctx, call_stored(*s, name, args, given));
  } catch (const SqlError &e) {
    std::string message = kFunctionErrorPrefix + std::to_string(e.code) + '\x1f' + e.parameter +
                          (e.trailer.empty() ? "" : '\x1e' + e.trailer);
    sqlite3_result_error(ctx, message.data(), static_cast<int>(message.size()));
  } catch (const std::bad_alloc &) {
    sqlite3_result_error_nomem(ctx);
  } catch (...) {
    sqlite3_result_error(ctx, "stored function failed", -1);
  }
}

}  // namespace

void register_stored_functions(sqlite3 *db, Session *session) {
  sqlite3_create_function_v2(db, "z_call", -1, SQLITE_UTF8, session, call_function, nullptr, nullptr, nullptr);
}

}  // namespace zec::sql
