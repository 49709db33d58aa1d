#include "src/sql/engine.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#include "src/sql/ddl.h"
#include "src/sql/error.h"
#include "src/sql/lexer.h"
#include "src/sql/lob_store.h"
#include "src/sql/parser.h"
#include "src/sql/plsql.h"
#include "src/sql/stored.h"
#include "src/sql/sqlite_util.h"

namespace zec::sql {
namespace {

oracle::Date date_default(Session &s) {
  oracle::Date now = date_of(s.now != 0 ? s.now : date_seconds(oracle::system_date()));
  now.day = 1;
  now.hour = now.minute = now.second = 0;
  return now;
}

std::string text_of_number(Session &s, const std::string &bytes) {
  std::string text = number_to_text(bytes);
  if (s.nls.decimal != '.')
    for (char &c : text)
      if (c == '.') c = s.nls.decimal;
  return text;
}

// Placeholders of a statement, translated for the engine.
class CursorEnvironment : public Environment {
 public:
  CursorEnvironment(const std::vector<Placeholder> &placeholders, Binds &binds, bool describing)
      : placeholders_(placeholders), binds_(binds), describing_(describing) {}
  bool placeholder(size_t offset, const std::string &name, int *occurrence, Type *type) override {
    (void)name;
    for (size_t i = 0; i < placeholders_.size(); ++i) {
      if (placeholders_[i].offset != offset) continue;
      *occurrence = static_cast<int>(i);
      if (binds_.type_of(static_cast<int>(i), type)) return true;
      // A statement only described needs no values.
      if (describing_) {
        *type = Type::varchar2(kMaxVarchar);
        return true;
      }
      return false;
    }
    return false;
  }

 private:
  const std::vector<Placeholder> &placeholders_;
  Binds &binds_;
  bool describing_;
};

class NoBinds : public Binds {
 public:
  bool type_of(int, Type *) override { return false; }
  Value value(int, uint32_t) override { return Value{}; }
  void assign(int, uint32_t, const Value &, const Type &) override {}
};

// A constraint of the table by the columns SQLite names in its message.
std::string unique_constraint_name(Session &s, const std::string &message, std::string *table) {
  // "UNIQUE constraint failed: T.A, T.B" or "... failed: index '$ix$NAME'"
  size_t colon = message.find(": ");
  std::string rest = colon == std::string::npos ? "" : message.substr(colon + 2);
  const Catalog &c = s.schema();
  if (rest.rfind("index '", 0) == 0) {
    std::string index = rest.substr(7, rest.size() - 8);
    if (index.rfind("$ix$", 0) == 0) index = index.substr(4);
    return index;
  }
  std::vector<std::string> columns;
  size_t at = 0;
  while (at < rest.size()) {
    size_t comma = rest.find(", ", at);
    std::string part = rest.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    size_t dot = part.find('.');
    if (dot != std::string::npos) {
      *table = part.substr(0, dot);
      columns.push_back(part.substr(dot + 1));
    }
    if (comma == std::string::npos) break;
    at = comma + 2;
  }
  const TableInfo *t = c.table(*table);
  if (t != nullptr) {
    for (const ConstraintInfo &k : t->constraints)
      if ((k.kind == 'P' || k.kind == 'U') && k.enabled && k.columns == columns) return k.name;
  }
  for (const auto &[name, index] : c.indexes)
    if (index.table == *table && index.unique && index.columns == columns) return name;
  return *table;
}

}  // namespace

// ---- Values -------------------------------------------------------------------------

Value coerce(Session &s, const Value &v, const Type &to) {
  if (v.is_null()) return v;
  using K = Value::Kind;
  switch (to.base) {
    case Base::Unknown:
      return v;
    case Base::Number: {
      switch (v.kind) {
        case K::Number: return v;
        case K::Real: {
          std::string bytes;
          if (int code = number_from_double(v.real, &bytes)) fail(code == oracle::kOverflow ? 1426 : 1722);
          return Value::number_bytes(bytes);
        }
        case K::Text: {
          std::string text = v.bytes;
          if (s.nls.decimal != '.')
            for (char &c : text) {
              if (c == s.nls.decimal) c = '.';
              else if (c == '.') c = '\x01';
            }
          std::string bytes;
          if (int code = number_from_text(text, &bytes)) fail(code);
          return Value::number_bytes(bytes);
        }
        case K::Boolean: return Value::number_bytes(number_from_int64(v.integer));
        default: fail(932, "NUMBER\x1f" + std::string(v.kind == K::Date ? "DATE" : "BINARY"));
      }
    }
    case Base::BinaryDouble: case Base::BinaryFloat: {
      Value r;
      r.kind = K::Real;
      if (v.kind == K::Real) return v;
      Value n = coerce(s, v, Type::number());
      r.real = number_to_double(n.bytes);
      return r;
    }
    case Base::Varchar2: case Base::NVarchar2: case Base::Char: case Base::NChar: case Base::Long:
    case Base::Rowid: {
      switch (v.kind) {
        case K::Text: return v;
        case K::Number: return Value::text(text_of_number(s, v.bytes));
        case K::Real: {
          std::string bytes;
          number_from_double(v.real, &bytes);
          return Value::text(text_of_number(s, bytes));
        }
        case K::Date: {
          std::string out;
          if (int code = oracle::to_text(date_of(v.integer), s.nls.date_format, s.nls.language, &out)) fail(code);
          return Value::text(out);
        }
        case K::Timestamp: {
          std::string out;
          if (int code = oracle::to_text(timestamp_of(v.integer), s.nls.timestamp_format, s.nls.language, &out))
            fail(code);
          return Value::text(out);
        }
        case K::Raw: return Value::text(raw_to_hex(v.bytes));
        case K::Lob: return Value::text(lob_read_all(s.db, v.integer));
        case K::Boolean: fail(6550, "1\x1f" "1\x1fPLS-00306: wrong number or types of arguments");
        default: return v;
      }
    }
    case Base::Date: {
      switch (v.kind) {
        case K::Date: return v;
        case K::Timestamp: {
          int64_t seconds = v.integer / kMicrosPerSecond - (v.integer % kMicrosPerSecond < 0 ? 1 : 0);
          return Value::date(seconds);
        }
        case K::Text: {
          oracle::Date d;
          if (int code = oracle::from_text(v.bytes, s.nls.date_format, s.nls.language, date_default(s), &d)) fail(code);
          return Value::date(date_seconds(d));
        }
        default: fail(932, "DATE\x1fNUMBER");
      }
    }
    case Base::Timestamp: {
      switch (v.kind) {
        case K::Timestamp: return v;
        case K::Date: return timestamp_value(v.integer * kMicrosPerSecond);
        case K::Text: {
          oracle::Date d;
          if (int code = oracle::from_text(v.bytes, s.nls.timestamp_format, s.nls.language, date_default(s), &d))
            fail(code);
          return timestamp_value(timestamp_micros(d));
        }
        default: fail(932, "TIMESTAMP\x1fNUMBER");
      }
    }
    case Base::Raw: case Base::LongRaw: {
      switch (v.kind) {
        case K::Raw: return v;
        case K::Text: {
          std::string raw;
          if (int code = raw_from_hex(v.bytes, &raw)) fail(code);
          return Value::raw(raw);
        }
        case K::Lob: return Value::raw(lob_read_all(s.db, v.integer));
        default: fail(932, "BINARY\x1fNUMBER");
      }
    }
    case Base::Clob: case Base::NClob: case Base::Blob:
      return v;  // text and raw become LOBs in the statement (z_lob_new)
    case Base::Boolean: {
      if (v.kind == K::Boolean) return v;
      fail(6550, "1\x1f" "1\x1fPLS-00382: expression is of wrong type");
    }
    default:
      return v;
  }
}

namespace {

// Whether coerce would give the value back as it is: a bind of the type
// its column has, the usual case, is not copied.
bool unchanged_by_coerce(const Value &v, const Type &to) {
  using K = Value::Kind;
  if (v.is_null()) return true;
  switch (to.base) {
    case Base::Unknown: case Base::Clob: case Base::NClob: case Base::Blob: return true;
    case Base::Number: return v.kind == K::Number;
    case Base::BinaryDouble: case Base::BinaryFloat: return v.kind == K::Real;
    case Base::Varchar2: case Base::NVarchar2: case Base::Char: case Base::NChar: case Base::Long:
    case Base::Rowid:
      return v.kind == K::Text;
    case Base::Date: return v.kind == K::Date;
    case Base::Raw: case Base::LongRaw: return v.kind == K::Raw;
    case Base::Boolean: return v.kind == K::Boolean;
    default: return false;
  }
}

}  // namespace

void fit_to_column(const Type &column, const std::string &column_name, Value *v) {
  if (v->is_null()) return;
  switch (column.base) {
    case Base::Number:
      if (v->kind == Value::Kind::Number) {
        if (column.precision == 0 && column.scale == -127 && !column.is_float) return;
        if (int code = number_fit(column, &v->bytes)) fail(code, column_name);
      }
      return;
    case Base::Varchar2: case Base::NVarchar2: {
      size_t size = column.char_semantics ? utf8_length(v->bytes) : v->bytes.size();
      if (static_cast<int64_t>(size) > column.length)
        fail(12899, column_name + '\x1f' + std::to_string(size) + '\x1f' + std::to_string(column.length));
      return;
    }
    case Base::Char: case Base::NChar: {
      size_t size = column.char_semantics ? utf8_length(v->bytes) : v->bytes.size();
      while (static_cast<int64_t>(size) > column.length && !v->bytes.empty() && v->bytes.back() == ' ') {
        v->bytes.pop_back();
        --size;
      }
      if (static_cast<int64_t>(size) > column.length)
        fail(12899, column_name + '\x1f' + std::to_string(size) + '\x1f' + std::to_string(column.length));
      v->bytes.append(static_cast<size_t>(column.length - static_cast<int64_t>(size)), ' ');
      return;
    }
    case Base::Raw:
      if (static_cast<int64_t>(v->bytes.size()) > column.length)
        fail(12899, column_name + '\x1f' + std::to_string(v->bytes.size()) + '\x1f' + std::to_string(column.length));
      return;
    case Base::Date:
      if (v->integer < 0 || !oracle::valid_julian_day(static_cast<long>(v->integer / kSecondsPerDay))) fail(1841);
      return;
    default:
      return;
  }
}

void result_value(sqlite3_context *ctx, const Value &v) {
  switch (v.kind) {
    case Value::Kind::Null: sqlite3_result_null(ctx); return;
    case Value::Kind::Number: case Value::Kind::Raw:
      sqlite3_result_blob(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
      return;
    case Value::Kind::Text:
      sqlite3_result_text(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
      return;
    case Value::Kind::Real: sqlite3_result_double(ctx, v.real); return;
    default: sqlite3_result_int64(ctx, v.integer); return;
  }
}

void bind_value(sqlite3_stmt *stmt, int i, const Value &v, bool copy) {
  auto lifetime = copy ? SQLITE_TRANSIENT : SQLITE_STATIC;
  switch (v.kind) {
    case Value::Kind::Null: sqlite3_bind_null(stmt, i); return;
    case Value::Kind::Number: case Value::Kind::Raw:
      bound(sqlite3_bind_blob(stmt, i, v.bytes.data(), static_cast<int>(v.bytes.size()), lifetime));
      return;
    case Value::Kind::Text:
      bound(sqlite3_bind_text(stmt, i, v.bytes.data(), static_cast<int>(v.bytes.size()), lifetime));
      return;
    case Value::Kind::Real: sqlite3_bind_double(stmt, i, v.real); return;
    default: sqlite3_bind_int64(stmt, i, v.integer); return;
  }
}

Value read_column(sqlite3_stmt *stmt, int i, const Type &type) {
  // One call into the statement; the value's own accessors take no lock.
  return read_value(sqlite3_column_value(stmt, i), type);
}

Value read_value(sqlite3_value *column, const Type &type) {
  Value v;
  switch (sqlite3_value_type(column)) {
    case SQLITE_NULL:
      return v;
    case SQLITE_BLOB: {
      const void *b = sqlite3_value_blob(column);
      v.bytes.assign(static_cast<const char *>(b ? b : ""), static_cast<size_t>(sqlite3_value_bytes(column)));
      v.kind = is_numeric(type.base) || type.base == Base::Unknown ? Value::Kind::Number : Value::Kind::Raw;
      oracle::Number probe;
      if (type.base == Base::Unknown && !decode_number(v.bytes, &probe)) v.kind = Value::Kind::Raw;
      return v;
    }
    case SQLITE_INTEGER:
      v.integer = sqlite3_value_int64(column);
      if (type.base == Base::Date) v.kind = Value::Kind::Date;
      else if (is_lob(type.base)) v.kind = Value::Kind::Lob;
      else if (type.base == Base::Boolean) v.kind = Value::Kind::Boolean;
      else if (type.base == Base::Timestamp) v.kind = Value::Kind::Timestamp;
      else {
        v.kind = Value::Kind::Number;
        v.bytes = number_from_int64(v.integer);
      }
      return v;
    case SQLITE_FLOAT:
      v.real = sqlite3_value_double(column);
      v.kind = Value::Kind::Real;
      if (type.base == Base::Number) {
        std::string bytes;
        number_from_double(v.real, &bytes);
        return Value::number_bytes(bytes);
      }
      return v;
    default: {
      const unsigned char *t = sqlite3_value_text(column);
      v.kind = Value::Kind::Text;
      v.bytes.assign(reinterpret_cast<const char *>(t ? t : reinterpret_cast<const unsigned char *>("")),
                     static_cast<size_t>(sqlite3_value_bytes(column)));
      if (v.bytes.empty()) v.kind = Value::Kind::Null;
      return v;
    }
  }
}

SqlError map_error(Session &s, const Plan *plan) {
  std::string message = sqlite3_errmsg(s.db);
  int extended = sqlite3_extended_errcode(s.db);
  size_t prefix = std::strlen(kFunctionErrorPrefix);
  size_t at = message.find(kFunctionErrorPrefix);
  if (at != std::string::npos) {
    size_t sep = message.find('\x1f', at);
    sb4 code = static_cast<sb4>(std::atol(message.c_str() + at + prefix));
    std::string parameter = sep == std::string::npos ? "" : message.substr(sep + 1);
    // A stored function's error brings its PL/SQL trailer.
    size_t trailer = parameter.find('\x1e');
    if (trailer != std::string::npos)
      return SqlError{code, parameter.substr(0, trailer), parameter.substr(trailer + 1)};
    return SqlError{code, parameter};
  }
  switch (extended) {
    case SQLITE_CONSTRAINT_NOTNULL: {
      // "NOT NULL constraint failed: T.C"
      size_t colon = message.find(": ");
      std::string rest = colon == std::string::npos ? "" : message.substr(colon + 2);
      size_t dot = rest.find('.');
      std::string column = dot == std::string::npos ? quote(rest)
                                                    : quote(s.user) + "." + quote(rest.substr(0, dot)) + "." +
                                                          quote(rest.substr(dot + 1));
      bool update = plan != nullptr && plan->kind == Plan::Kind::Update;
      return SqlError{update ? 1407 : 1400, column};
    }
    case SQLITE_CONSTRAINT_UNIQUE: case SQLITE_CONSTRAINT_PRIMARYKEY: {
      std::string table;
      return SqlError{1, s.user + "." + unique_constraint_name(s, message, &table)};
    }
    case SQLITE_CONSTRAINT_CHECK: {
      size_t colon = message.find(": ");
      return SqlError{2290, s.user + "." + (colon == std::string::npos ? std::string("?") : message.substr(colon + 2))};
    }
    default:
      break;
  }
  switch (extended & 0xFF) {
    case SQLITE_BUSY: case SQLITE_LOCKED: return SqlError{54, ""};
    case SQLITE_INTERRUPT: return SqlError{1013, ""};
    case SQLITE_NOMEM: return SqlError{4030, "sqlite"};
    case SQLITE_FULL: return SqlError{1653, ""};
    case SQLITE_READONLY: return SqlError{16000, ""};
    case SQLITE_CORRUPT: case SQLITE_NOTADB: return SqlError{1578, ""};
    default: return SqlError{600, message};
  }
}

// ---- Cursors ------------------------------------------------------------------------

void register_cursor(Session &s, Cursor *c) { s.cursors.insert(c); }
void unregister_cursor(Session &s, Cursor *c) { s.cursors.erase(c); }

void detach_cursors(Session &s, sb4 reason) {
  std::set<Cursor *> cursors;
  cursors.swap(s.cursors);
  for (Cursor *c : cursors) c->detach(reason);
}

Cursor::Cursor() = default;

Cursor::~Cursor() {
  finalize_all();
  if (session_) unregister_cursor(*session_, this);
}

void Cursor::finalize_all() {
  query_ = nullptr;
  for (auto &c : compiled_) {
    sqlite3_finalize(c->stmt);
    for (sqlite3_stmt *t : c->then) sqlite3_finalize(t);
  }
  compiled_.clear();
  program_.reset();
}

void Cursor::detach(sb4 reason) {
  finalize_all();
  session_ = nullptr;
  detached_ = reason;
}

void Cursor::attach(Session &s) {
  if (session_ == &s) return;
  finalize_all();
  if (session_) unregister_cursor(*session_, this);
  session_ = &s;
  detached_ = 0;
  register_cursor(s, this);
}

void Cursor::prepare(std::string text) {
  close();
  finalize_all();
  parsed_.reset();
  text_ = std::move(text);
  prepared_ = true;
  type_ = ::zec::sql::statement_type(text_);
  placeholders_.clear();
  for (auto &[name, offset] : find_placeholders(text_)) placeholders_.push_back({name, offset});
  columns_.clear();
}

void Cursor::close() {
  if (query_ != nullptr) sqlite3_reset(query_);
  query_ = nullptr;
}

Cursor::Compiled &Cursor::compile(Session &s, Binds &binds) {
  std::vector<Base> signature;
  for (size_t i = 0; i < placeholders_.size(); ++i) {
    Type t;
    signature.push_back(binds.type_of(static_cast<int>(i), &t) ? t.base : Base::Unknown);
  }
  int64_t version = s.schema().version;
  for (auto &c : compiled_)
    if (c->signature == signature && c->version == version) return *c;
  // Plans made for another catalog version are of no more use.
  for (auto it = compiled_.begin(); it != compiled_.end();) {
    if ((*it)->version != version) {
      if (query_ == (*it)->stmt) query_ = nullptr;
      sqlite3_finalize((*it)->stmt);
      for (sqlite3_stmt *t : (*it)->then) sqlite3_finalize(t);
      it = compiled_.erase(it);
    } else {
      ++it;
    }
  }
  auto c = std::make_unique<Compiled>();
  c->signature = signature;
  c->version = version;
  CursorEnvironment env(placeholders_, binds, false);
  c->plan = translate(s, *parsed_, text_, env);
  if (sqlite3_prepare_v2(s.db, c->plan.sql.c_str(), -1, &c->stmt, nullptr) != SQLITE_OK) {
    SqlError e = map_error(s, &c->plan);
    if (e.code == 600) e.parameter += " [" + c->plan.sql + "]";
    throw e;
  }
  compiled_.push_back(std::move(c));
  return *compiled_.back();
}

void bind_params(Session &s, const Plan &plan, sqlite3_stmt *stmt, Binds &binds, uint32_t iteration,
                 std::vector<Value> *held) {
  // Sized before any element is bound: growing it later would move the
  // bytes SQLite already points at.
  if (held != nullptr) held->resize(plan.params.size());
  for (size_t i = 0; i < plan.params.size(); ++i) {
    const Param &p = plan.params[i];
    Value v = p.source == Param::Source::Constant ? p.constant : binds.value(p.index, iteration);
    if (!unchanged_by_coerce(v, p.as)) v = coerce(s, v, p.as);
    if (p.fit) fit_to_column(p.column_type, p.column_name, &v);
    if (held == nullptr) {
      bind_value(stmt, static_cast<int>(i) + 1, v, true);
    } else {
      (*held)[i] = std::move(v);
      bind_value(stmt, static_cast<int>(i) + 1, (*held)[i], false);
    }
  }
}

uint64_t run_then(Session &s, const Plan &plan, std::vector<sqlite3_stmt *> &stmts, Binds &binds,
                  uint32_t iteration) {
  if (stmts.size() != plan.then.size()) {
    for (sqlite3_stmt *t : stmts) sqlite3_finalize(t);
    stmts.clear();
    for (const Plan &part : plan.then) {
      sqlite3_stmt *t = nullptr;
      if (sqlite3_prepare_v2(s.db, part.sql.c_str(), -1, &t, nullptr) != SQLITE_OK) {
        SqlError e = map_error(s, &part);
        for (sqlite3_stmt *made : stmts) sqlite3_finalize(made);
        stmts.clear();
        throw e;
      }
      stmts.push_back(t);
    }
  }
  uint64_t rows = 0;
  std::vector<int64_t> updated;  // the rowids the last UPDATE part gave
  auto step_all = [&](const Plan &part, sqlite3_stmt *t, std::vector<int64_t> *rowids) {
    uint64_t returned = 0;
    for (;;) {
      int rc = sqlite3_step(t);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) {
        SqlError e = map_error(s, &part);
        sqlite3_reset(t);
        throw e;
      }
      ++returned;
      if (rowids && part.rowid_last) rowids->push_back(sqlite3_column_int64(t, sqlite3_column_count(t) - 1));
    }
    sqlite3_reset(t);
    return returned;
  };
  for (size_t i = 0; i < plan.then.size(); ++i) {
    const Plan &part = plan.then[i];
    sqlite3_stmt *t = stmts[i];
    sqlite3_reset(t);
    bind_params(s, part, t, binds, iteration);
    if (part.per_updated_row) {
      for (int64_t rowid : updated) {
        sqlite3_reset(t);
        sqlite3_bind_int64(t, static_cast<int>(part.params.size()) + 1, rowid);
        step_all(part, t, nullptr);
      }
      continue;
    }
    if (part.kind == Plan::Kind::Update) updated.clear();
    uint64_t returned = step_all(part, t, part.kind == Plan::Kind::Update ? &updated : nullptr);
    if (!part.counted) continue;
    rows += part.kind == Plan::Kind::Insert ? static_cast<uint64_t>(sqlite3_changes(s.db)) : returned;
  }
  return rows;
}

void Cursor::run_dml(Session &s, Compiled &c, Binds &binds, uint32_t iters, uint32_t rowoff, uint64_t *rows) {
  const Plan &plan = c.plan;
  begin_transaction(s);
  last_table_id_ = plan.table_id;
  const bool triggered = fires_triggers(s, plan);
  for (uint32_t iteration = rowoff; iteration < iters; ++iteration) {
    if (triggered) {
      uint64_t returned = 0;
      *rows += run_triggered(s, plan, binds, iteration, [&](sqlite3_stmt *row) {
        if (!plan.returning) return;
        if (++returned > 1) fail(1422);  // exact fetch returns more than requested number of rows
        for (size_t k = 0; k < plan.into.size() && k < plan.columns.size(); ++k)
          binds.assign(plan.into[k].index, iteration, read_column(row, static_cast<int>(k), plan.columns[k].type),
                       plan.columns[k].type);
      }, &last_rowid_);
      continue;
    }
    sqlite3_reset(c.stmt);
    bind_params(s, plan, c.stmt, binds, iteration, &c.bound);
    uint64_t returned = 0;
    for (;;) {
      int rc = sqlite3_step(c.stmt);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) {
        SqlError e = map_error(s, &plan);
        sqlite3_reset(c.stmt);
        throw e;
      }
      ++returned;
      int columns = sqlite3_column_count(c.stmt);
      if (plan.rowid_last) last_rowid_ = sqlite3_column_int64(c.stmt, columns - 1);
      if (plan.returning) {
        if (returned > 1) {
          sqlite3_reset(c.stmt);
          fail(1422);  // exact fetch returns more than requested number of rows
        }
        for (size_t k = 0; k < plan.into.size() && k < plan.columns.size(); ++k)
          binds.assign(plan.into[k].index, iteration, read_column(c.stmt, static_cast<int>(k), plan.columns[k].type),
                       plan.columns[k].type);
      }
    }
    if (plan.kind == Plan::Kind::Insert) {
      *rows += static_cast<uint64_t>(sqlite3_changes(s.db));
      last_rowid_ = sqlite3_last_insert_rowid(s.db);
    } else {
      *rows += returned;
    }
    if (!plan.then.empty()) {
      sqlite3_reset(c.stmt);
      *rows += run_then(s, plan, c.then, binds, iteration);
    }
  }
  sqlite3_reset(c.stmt);
}

void Cursor::execute(Session &s, Binds &binds, uint32_t iters, uint32_t rowoff, bool describe_only, uint64_t *rows) {
  if (!prepared_) fail(24337);  // statement handle not prepared
  *rows = 0;
  attach(s);
  close();
  if (!parsed_) {
    parsed_ = parse_statement(text_);
    if (parsed_->kind == Statement::Kind::Call) plsql_call_ = true;
  }
  const Statement &st = *parsed_;
  s.now = date_seconds(oracle::system_date());
  struct ResetClock {
    Session &s;
    ~ResetClock() {
      if (s.depth == 0) s.now = 0;
    }
  } reset_clock{s};
  switch (st.kind) {
    case Statement::Kind::Select: {
      if (describe_only) {
        CursorEnvironment env(placeholders_, binds, true);
        columns_ = translate(s, st, text_, env).columns;
        return;
      }
      Compiled &c = compile(s, binds);
      if (c.plan.for_update) begin_transaction(s);
      sqlite3_reset(c.stmt);
      bind_params(s, c.plan, c.stmt, binds, 0, &c.bound);
      columns_ = c.plan.columns;
      query_ = c.stmt;
      return;
    }
    case Statement::Kind::Insert: case Statement::Kind::Update: case Statement::Kind::Delete:
    case Statement::Kind::Merge: {
      if (iters == 0) fail(24333);  // zero iteration count
      if (rowoff >= iters) return;
      if (describe_only) return;
      Compiled &c = compile(s, binds);
      run_dml(s, c, binds, iters, rowoff, rows);
      return;
    }
    case Statement::Kind::Commit:
      if (iters == 0) fail(24333);
      commit(s);
      return;
    case Statement::Kind::Rollback:
      if (iters == 0) fail(24333);
      if (!st.savepoint.empty()) rollback_to(s, st.savepoint);
      else rollback(s);
      return;
    case Statement::Kind::Savepoint:
      if (iters == 0) fail(24333);
      savepoint(s, st.savepoint);
      return;
    case Statement::Kind::SetTransaction:
      if (iters == 0) fail(24333);
      return;
    case Statement::Kind::LockTable: {
      if (iters == 0) fail(24333);
      if (s.schema().table(st.table.last()) == nullptr) fail(942);
      begin_transaction(s);
      return;
    }
    case Statement::Kind::AlterSession: {
      if (iters == 0) fail(24333);
      for (const auto &[name, value] : st.session_settings) {
        if (name == "NLS_DATE_FORMAT") {
          std::string probe;
          if (int code = oracle::to_text(oracle::Date{2000, 1, 1, 0, 0, 0}, value, s.nls.language, &probe)) fail(code);
          s.nls.date_format = value;
        } else if (name == "NLS_DATE_LANGUAGE" || name == "NLS_LANGUAGE") {
          std::string probe;
          if (oracle::to_text(oracle::Date{2000, 1, 1, 0, 0, 0}, "MON", value, &probe) != 0) fail(12705);
          s.nls.language = value;
        } else if (name == "NLS_NUMERIC_CHARACTERS") {
          if (value.size() != 2 || value[0] == value[1]) fail(12705);
          s.nls.decimal = value[0];
          s.nls.group = value[1];
        } else if (name == "NLS_TIMESTAMP_FORMAT") {
          s.nls.timestamp_format = value;
        } else if (name == "NLS_CURRENCY") {
          s.nls.currency = value;
        } else if (name == "NLS_TERRITORY" || name == "NLS_SORT" || name == "NLS_COMP" || name == "TIME_ZONE" ||
                   name == "NLS_ISO_CURRENCY" || name == "CURRENT_SCHEMA" || name == "OPTIMIZER_MODE" ||
                   name == "NLS_LENGTH_SEMANTICS" || name == "NLS_TIMESTAMP_TZ_FORMAT" ||
                   name == "PLSQL_WARNINGS" || name == "DDL_LOCK_TIMEOUT" || name == "EDITION") {
          if (name == "CURRENT_SCHEMA" && value != s.user) fail(1435);  // user does not exist
        } else {
          fail(2248);  // invalid option for ALTER SESSION
        }
      }
      return;
    }
    case Statement::Kind::Block: case Statement::Kind::Call: {
      if (iters == 0) fail(24333);
      if (describe_only) return;
      if (!program_) program_ = std::make_unique<PlsqlProgram>(st, text_, placeholders_);
      program_->run(s, binds);
      return;
    }
    default: {
      if (iters == 0) fail(24333);
      if (describe_only) return;
      if (!is_ddl(st)) fail(900);
      CursorEnvironment env(placeholders_, binds, false);
      // A trigger's :NEW and :OLD are not placeholders.
      if (!placeholders_.empty() && st.kind != Statement::Kind::CreateTrigger)
        fail(1027);  // bind variables not allowed for data definition operations
      finalize_all();  // plans of this cursor may refer to what the DDL changes
      execute_ddl(s, st, text_, env);
      return;
    }
  }
}

bool Cursor::next() {
  if (query_ == nullptr) return false;
  int rc = sqlite3_step(query_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) {
    close();
    return false;
  }
  SqlError e = map_error(*session_, nullptr);
  close();
  throw e;
}

Value Cursor::column(int i) const {
  if (query_ == nullptr || i < 0 || static_cast<size_t>(i) >= columns_.size()) return Value{};
  return read_column(query_, i, columns_[static_cast<size_t>(i)].type);
}

bool Cursor::column_is_null(int i) const {
  return query_ == nullptr || sqlite3_column_type(query_, i) == SQLITE_NULL;
}

void execute_text(Session &s, const std::string &text) {
  Cursor c;
  c.prepare(text);
  NoBinds binds;
  uint64_t rows = 0;
  c.execute(s, binds, 1, 0, false, &rows);
  if (c.open()) c.close();
}

}  // namespace zec::sql
