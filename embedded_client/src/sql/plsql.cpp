#include "src/sql/plsql.h"

#include <sqlite3.h>

#include <algorithm>

#include "src/errors.h"
#include "src/sql/error.h"
#include "src/sql/sqlite_util.h"
#include "src/sql/stored.h"

namespace zec::sql {
namespace {

enum class Flow { Next, Exit, Continue, Return };

struct Control {
  Flow flow = Flow::Next;
  std::string label;
};

// Oracle's predefined exceptions.
sb4 predefined_code(const std::string &name) {
  static const std::pair<const char *, sb4> kExceptions[] = {
      {"NO_DATA_FOUND", 1403},       {"TOO_MANY_ROWS", 1422},    {"DUP_VAL_ON_INDEX", 1},
      {"VALUE_ERROR", 6502},         {"ZERO_DIVIDE", 1476},      {"INVALID_NUMBER", 1722},
      {"INVALID_CURSOR", 1001},      {"CURSOR_ALREADY_OPEN", 6511}, {"LOGIN_DENIED", 1017},
      {"NOT_LOGGED_ON", 1012},       {"PROGRAM_ERROR", 6501},    {"STORAGE_ERROR", 6500},
      {"TIMEOUT_ON_RESOURCE", 51},   {"CASE_NOT_FOUND", 6592},   {"ROWTYPE_MISMATCH", 6504},
      {"SYS_INVALID_ROWID", 1410},   {"COLLECTION_IS_NULL", 6531}, {"SUBSCRIPT_BEYOND_COUNT", 6533},
      {"ACCESS_INTO_NULL", 6530},    {"SELF_IS_NULL", 30625}};
  for (const auto &[n, code] : kExceptions)
    if (name == n) return code;
  return 0;
}

bool handler_matches(const std::string &name, const SqlError &e) {
  if (name == "OTHERS") return true;
  if (e.code == 6510) return e.parameter == "\x02" + name;  // a user-defined exception
  sb4 code = predefined_code(name);
  if (code == 0) return false;
  if (code == e.code) return true;
  // Conversions PL/SQL reports as VALUE_ERROR reach here with SQL's codes.
  if (name == "VALUE_ERROR") return e.code == 1426 || e.code == 1438 || e.code == 12899;
  return false;
}

// "PL/SQL: ..." errors at a statement: ORA-06550 with PLS text.
[[noreturn]] void pls_error(std::string_view source, size_t offset, const std::string &text) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset && i < source.size(); ++i) {
    if (source[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  fail(6550, std::to_string(line) + '\x1f' + std::to_string(column) + '\x1f' + text);
}

size_t line_of(std::string_view source, size_t offset) {
  size_t line = 1;
  for (size_t i = 0; i < offset && i < source.size(); ++i)
    if (source[i] == '\n') ++line;
  return line;
}

}  // namespace

struct PlsqlProgram::Impl : Environment {
  struct Slot {
    std::string name;
    Type type;
    Value value;
    bool constant = false;
    bool not_null = false;
    bool assigned = false;
  };
  struct Frame {
    std::map<std::string, int> names;
    std::map<std::string, bool> exceptions;
    std::map<std::string, const PlDeclaration *> cursors;
    std::string label;
  };
  struct Compiled {
    Plan plan;
    sqlite3_stmt *stmt = nullptr;
    std::vector<sqlite3_stmt *> then;  // the plan's further statements, once prepared
    int64_t version = -1;
  };
  struct OpenCursor {
    Compiled *compiled = nullptr;
    bool open = false;
    bool found = false;
    bool fetched = false;
    int64_t rowcount = 0;
  };

  // Reads the program's slots for the SQL it runs.
  class SlotBinds : public Binds {
   public:
    explicit SlotBinds(Impl &p) : p_(p) {}
    bool type_of(int i, Type *type) override {
      if (i < 0 || static_cast<size_t>(i) >= p_.slots.size()) return false;
      *type = p_.slots[static_cast<size_t>(i)].type;
      return true;
    }
    Value value(int i, uint32_t) override { return p_.slots.at(static_cast<size_t>(i)).value; }
    void assign(int i, uint32_t, const Value &v, const Type &) override { p_.assign(i, v, 0); }

   private:
    Impl &p_;
  };

  const Statement &unit;
  std::string_view source;
  const std::vector<Placeholder> &placeholders;
  std::vector<Slot> slots;
  std::map<std::string, int> placeholder_slots;
  std::map<const void *, std::vector<int>> allocated;
  std::map<const void *, std::unique_ptr<Compiled>> compiled;
  std::map<std::string, OpenCursor> open_cursors;
  std::vector<Frame> frames;
  int sql_rowcount = -1, sql_found = -1, sql_notfound = -1, sql_isopen = -1, sqlcode = -1, sqlerrm = -1;
  Session *s = nullptr;
  Binds *binds = nullptr;
  bool savepoint_active = false;
  std::vector<SqlError> handling;  // errors whose handlers run, innermost last
  SlotBinds slot_binds{*this};
  // A stored unit's call: the arguments in parameter order (OUT values come
  // back in them) and whether each was given; a function's value.
  std::vector<Value> *call_args = nullptr;
  const std::vector<bool> *call_given = nullptr;
  Value return_value;
  bool returned = false;
  // A trigger's rows and event; its line numbers count from its block.
  const TableInfo *trigger_table = nullptr;
  std::vector<Value> *new_row = nullptr;
  const std::vector<Value> *old_row = nullptr;
  std::string trigger_event;
  size_t line_base = 0;

  Impl(const Statement &u, std::string_view src, const std::vector<Placeholder> &p)
      : unit(u), source(src), placeholders(p) {}

  ~Impl() {
    // An entry whose translation failed stays empty.
    for (auto &[key, c] : compiled)
      if (c) {
        sqlite3_finalize(c->stmt);
        for (sqlite3_stmt *t : c->then) sqlite3_finalize(t);
      }
  }

  int new_slot(const std::string &name, const Type &type) {
    slots.push_back(Slot{name, type, Value{}, false, false, false});
    return static_cast<int>(slots.size()) - 1;
  }

  // Slots made once for a declaration or statement, the same on every run.
  int slot_for(const void *owner, size_t index, const std::string &name, const Type &type) {
    auto &list = allocated[owner];
    while (list.size() <= index) list.push_back(new_slot(name, type));
    int slot = list[index];
    slots[static_cast<size_t>(slot)].name = name;
    slots[static_cast<size_t>(slot)].type = type;
    return slot;
  }

  // ---- Environment ------------------------------------------------------------------
  bool placeholder(size_t offset, const std::string &name, int *occurrence, Type *type) override {
    (void)offset;
    auto it = placeholder_slots.find(name);
    if (it == placeholder_slots.end()) return false;
    *occurrence = it->second;
    *type = slots[static_cast<size_t>(it->second)].type;
    return true;
  }

  // :NEW.column and :OLD.column (and NEW.column in WHEN): one slot a column.
  bool correlation(const std::string &which, const std::string &column, int *slot, Type *type) override {
    if (trigger_table == nullptr) return false;
    bool is_new = which == unit.referencing_new;
    if (!is_new && which != unit.referencing_old) return false;
    for (size_t i = 0; i < trigger_table->columns.size(); ++i) {
      const ColumnInfo &c = trigger_table->columns[i];
      if (c.name != column) continue;
      *slot = slot_for(is_new ? static_cast<const void *>(&new_row) : &old_row, i, ":" + which + "." + c.name, c.type);
      *type = c.type;
      return true;
    }
    return false;
  }

  bool variable(const Name &name, int *slot, Type *type) override {
    std::string key;
    if (trigger_table != nullptr) {
      if (name.parts.size() == 1 &&
          (name.parts[0] == "INSERTING" || name.parts[0] == "UPDATING" || name.parts[0] == "DELETING")) {
        *slot = slot_for(&trigger_event, name.parts[0][0] == 'I' ? 0 : name.parts[0][0] == 'U' ? 1 : 2,
                         name.parts[0], Type::of(Base::Boolean));
        Value v;
        v.kind = Value::Kind::Boolean;
        v.integer = trigger_event.rfind(name.parts[0].substr(0, 5), 0) == 0;  // INSER, UPDAT, DELET
        slots[static_cast<size_t>(*slot)].value = v;
        *type = Type::of(Base::Boolean);
        return true;
      }
      if (name.parts.size() == 2) {
        const std::string &which = name.parts[0];
        if (correlation(!which.empty() && which[0] == ':' ? which.substr(1) : which, name.parts[1], slot, type))
          return true;
      }
    }
    if (name.parts.size() == 2 && name.parts[1][0] == '%') {
      // SQL%ROWCOUNT and cursor%ATTRIBUTE.
      const std::string &attribute = name.parts[1];
      if (name.parts[0] == "SQL") {
        *slot = attribute == "%ROWCOUNT" ? sql_rowcount : attribute == "%FOUND" ? sql_found
                : attribute == "%NOTFOUND" ? sql_notfound : sql_isopen;
      } else {
        if (find_cursor(name.parts[0]) == nullptr) return false;
        *slot = slot_for(find_cursor(name.parts[0]), attribute == "%ROWCOUNT" ? 1 : attribute == "%FOUND" ? 2
                                                     : attribute == "%NOTFOUND" ? 3 : 4,
                         name.parts[0] + attribute,
                         attribute == "%ROWCOUNT" ? Type::number() : Type::of(Base::Boolean));
      }
      *type = slots[static_cast<size_t>(*slot)].type;
      return true;
    }
    if (name.parts.size() == 1 && (name.parts[0] == "SQLCODE" || name.parts[0] == "SQLERRM")) {
      *slot = name.parts[0] == "SQLCODE" ? sqlcode : sqlerrm;
      *type = slots[static_cast<size_t>(*slot)].type;
      return true;
    }
    if (name.parts.size() == 1) {
      key = name.parts[0];
      for (auto f = frames.rbegin(); f != frames.rend(); ++f) {
        auto it = f->names.find(key);
        if (it != f->names.end()) {
          *slot = it->second;
          *type = slots[static_cast<size_t>(*slot)].type;
          return true;
        }
      }
      return false;
    }
    if (name.parts.size() == 2) {
      // label.variable, or record.field.
      for (auto f = frames.rbegin(); f != frames.rend(); ++f) {
        if (f->label == name.parts[0]) {
          auto it = f->names.find(name.parts[1]);
          if (it != f->names.end()) {
            *slot = it->second;
            *type = slots[static_cast<size_t>(*slot)].type;
            return true;
          }
        }
        auto it = f->names.find(name.parts[0] + "." + name.parts[1]);
        if (it != f->names.end()) {
          *slot = it->second;
          *type = slots[static_cast<size_t>(*slot)].type;
          return true;
        }
      }
    }
    return false;
  }

  const PlDeclaration *find_cursor(const std::string &name) {
    for (auto f = frames.rbegin(); f != frames.rend(); ++f) {
      auto it = f->cursors.find(name);
      if (it != f->cursors.end()) return it->second;
    }
    return nullptr;
  }

  // ---- Values ---------------------------------------------------------------------------
  void assign(int slot, Value v, size_t offset) {
    Slot &target = slots.at(static_cast<size_t>(slot));
    if (target.constant) pls_error(source, offset, "PLS-00363: expression '" + target.name + "' cannot be used as an assignment target");
    try {
      v = coerce(*s, v, target.type);
    } catch (const SqlError &e) {
      if (e.code == 1722) fail(6502, ": character to number conversion error");
      throw;
    }
    if (!v.is_null()) {
      const Type &t = target.type;
      if ((t.base == Base::Varchar2 || t.base == Base::Char) && t.length > 0) {
        size_t size = t.char_semantics ? utf8_length(v.bytes) : v.bytes.size();
        if (static_cast<int64_t>(size) > t.length) fail(6502, ": character string buffer too small");
        if (t.base == Base::Char) v.bytes.append(static_cast<size_t>(t.length) - size, ' ');
      }
      if (t.base == Base::Number && v.kind == Value::Kind::Number && number_fit(t, &v.bytes) != 0)
        fail(6502, ": number precision too large");
    } else if (target.not_null) {
      fail(6502, "");
    }
    target.value = std::move(v);
    target.assigned = true;
  }

  // A statement or expression of the block, prepared once and again only
  // when the schema has changed since.
  template <class Translate>
  Compiled &compile(const void *key, Translate translate_it) {
    auto &entry = compiled[key];
    int64_t version = s->schema().version;
    if (!entry || entry->version != version) {
      auto c = std::make_unique<Compiled>();
      c->plan = translate_it();
      c->version = version;
      if (sqlite3_prepare_v2(s->db, c->plan.sql.c_str(), -1, &c->stmt, nullptr) != SQLITE_OK) throw map_error(*s, &c->plan);
      if (entry) {
        sqlite3_finalize(entry->stmt);
        for (sqlite3_stmt *t : entry->then) sqlite3_finalize(t);
      }
      entry = std::move(c);
    }
    return *entry;
  }
  Compiled &compile_expression(const Expr &e) {
    return compile(&e, [&] { return translate_expression(*s, e, source, *this); });
  }
  Compiled &compile_statement(const Statement &st) {
    return compile(&st, [&] { return translate(*s, st, source, *this); });
  }

  Value evaluate(const Expr &e, Type *type = nullptr) {
    // Literals and variables are read directly.
    switch (e.kind) {
      case Expr::Kind::Null:
        if (type) *type = Type::of(Base::Unknown);
        return Value{};
      case Expr::Kind::String:
        if (type) *type = Type::varchar2(static_cast<int32_t>(std::max<size_t>(1, e.text.size())));
        return Value::text(e.text);
      case Expr::Kind::Column: {
        int slot;
        Type t;
        if (variable(e.name, &slot, &t)) {
          if (type) *type = t;
          return slots[static_cast<size_t>(slot)].value;
        }
        break;
      }
      case Expr::Kind::Placeholder: {
        auto it = placeholder_slots.find(e.text);
        if (it != placeholder_slots.end()) {
          if (type) *type = slots[static_cast<size_t>(it->second)].type;
          return slots[static_cast<size_t>(it->second)].value;
        }
        break;
      }
      default:
        break;
    }
    Compiled &c = compile_expression(e);
    sqlite3_reset(c.stmt);
    bind_params(*s, c.plan, c.stmt, slot_binds, 0);
    int rc = sqlite3_step(c.stmt);
    if (rc != SQLITE_ROW) {
      SqlError error = map_error(*s, &c.plan);
      sqlite3_reset(c.stmt);
      throw error;
    }
    const Type &t = c.plan.columns[0].type;
    Value v = read_column(c.stmt, 0, t);
    sqlite3_reset(c.stmt);
    if (type) *type = t;
    return v;
  }

  // A condition: true, or false for FALSE and NULL.
  bool truth(const Expr &e) {
    Type t;
    Value v = evaluate(e, &t);
    if (t.base != Base::Boolean && !v.is_null())
      pls_error(source, e.begin, "PLS-00382: expression is of wrong type");
    return !v.is_null() && v.integer != 0;
  }

  int target_slot(const Expr &e) {
    if (e.kind == Expr::Kind::Placeholder) {
      auto it = placeholder_slots.find(e.text);
      if (it == placeholder_slots.end()) fail(1008);
      return it->second;
    }
    if (e.kind == Expr::Kind::Column) {
      int slot;
      Type t;
      if (variable(e.name, &slot, &t)) return slot;
      pls_error(source, e.begin, "PLS-00201: identifier '" + e.name.last() + "' must be declared");
    }
    pls_error(source, e.begin, "PLS-00103: Encountered the symbol \":=\"");
  }

  void set_sql_attributes(int64_t rows) {
    slots[static_cast<size_t>(sql_rowcount)].value = Value::number_bytes(number_from_int64(rows));
    Value found;
    found.kind = Value::Kind::Boolean;
    found.integer = rows > 0;
    slots[static_cast<size_t>(sql_found)].value = found;
    found.integer = rows == 0;
    slots[static_cast<size_t>(sql_notfound)].value = found;
  }

  void ensure_savepoint() {
    begin_transaction(*s);
    if (!savepoint_active) {
      exec(s->db, "SAVEPOINT \"$plsql\"");
      savepoint_active = true;
    }
  }

  // ---- Declarations --------------------------------------------------------------------
  Type declared_type(const PlDeclaration &d) {
    if (d.type_of.empty()) return d.type;
    // t.col%TYPE or variable%TYPE.
    int slot;
    Type t;
    if (d.type_of.parts.size() == 1 && variable(d.type_of, &slot, &t)) return t;
    if (d.type_of.parts.size() >= 2) {
      const TableInfo *table = s->schema().table(d.type_of.parts[d.type_of.parts.size() - 2]);
      if (table) {
        const ColumnInfo *c = table->column(d.type_of.last());
        if (c) return c->type;
      }
    }
    pls_error(source, 0, "PLS-00201: identifier '" + d.type_of.last() + "' must be declared");
  }

  void declare(Frame &frame, const PlDeclaration &d) {
    switch (d.kind) {
      case PlDeclaration::Kind::Exception:
        frame.exceptions[d.name] = true;
        return;
      case PlDeclaration::Kind::Cursor:
        frame.cursors[d.name] = &d;
        open_cursors[d.name] = OpenCursor{};
        return;
      case PlDeclaration::Kind::Pragma: case PlDeclaration::Kind::Type: case PlDeclaration::Kind::Procedure:
      case PlDeclaration::Kind::Function:
        return;
      default:
        break;
    }
    if (d.row_type) {
      // t%ROWTYPE: one slot for each column, named record.column.
      const TableInfo *table = s->schema().table(d.type_of.last());
      if (table == nullptr) pls_error(source, 0, "PLS-00201: identifier '" + d.type_of.last() + "' must be declared");
      for (size_t i = 0; i < table->columns.size(); ++i) {
        const ColumnInfo &c = table->columns[i];
        int slot = slot_for(&d, i, d.name + "." + c.name, c.type);
        slots[static_cast<size_t>(slot)].value = Value{};
        frame.names[d.name + "." + c.name] = slot;
      }
      return;
    }
    Type t = declared_type(d);
    int slot = slot_for(&d, 0, d.name, t);
    Slot &sl = slots[static_cast<size_t>(slot)];
    sl.value = Value{};
    sl.constant = false;
    sl.not_null = false;
    frame.names[d.name] = slot;
    if (d.init) {
      Value v = evaluate(*d.init);
      assign(slot, v, d.init->begin);
    } else if (d.kind == PlDeclaration::Kind::Constant || d.not_null) {
      pls_error(source, 0, "PLS-00218: a variable declared NOT NULL must have an initialization assignment");
    }
    slots[static_cast<size_t>(slot)].constant = d.kind == PlDeclaration::Kind::Constant;
    slots[static_cast<size_t>(slot)].not_null = d.not_null;
  }

  // ---- Statements ------------------------------------------------------------------------
  Control run_block(const PlBlock &b) {
    frames.push_back(Frame{});
    frames.back().label = b.label;
    struct Pop {
      std::vector<Frame> &frames;
      ~Pop() { frames.pop_back(); }
    } pop{frames};
    for (const PlDeclaration &d : b.declarations) declare(frames.back(), d);
    try {
      return run_body(b.body);
    } catch (const SqlError &e) {
      for (const PlHandler &h : b.handlers) {
        bool matches = false;
        for (const std::string &name : h.exceptions) matches = matches || handler_matches(name, e);
        if (!matches) continue;
        handling.push_back(e);
        struct Done {
          std::vector<SqlError> &handling;
          ~Done() { handling.pop_back(); }
        } done{handling};
        slots[static_cast<size_t>(sqlcode)].value = Value::number_bytes(number_from_int64(e.code == 6510 ? 1 : -e.code));
        std::string message = e.code == 6510 ? "User-Defined Exception" : error_text(e);
        slots[static_cast<size_t>(sqlerrm)].value = Value::text(message);
        return run_body(h.body);
      }
      throw;
    }
  }

  static std::string error_text(const SqlError &e);

  Control run_body(const PlBody &body) {
    for (const PlStatementPtr &st : body) {
      Control c;
      try {
        c = run(*st);
      } catch (SqlError &e) {
        if (e.trailer.empty()) e.trailer = "ORA-06512: at " + where() + "line " + std::to_string(line(st->begin));
        throw;
      }
      if (c.flow != Flow::Next) return c;
    }
    return Control{};
  }

  // Runs a loop body once: false when the loop ends here.
  bool loop_step(const PlStatement &st, Control *out) {
    Control c = run_body(st.body);
    if (c.flow == Flow::Exit && (c.label.empty() || c.label == st.name)) return false;
    if (c.flow == Flow::Continue && (c.label.empty() || c.label == st.name)) return true;
    if (c.flow != Flow::Next) {
      *out = c;
      return false;
    }
    return true;
  }

  Control run(const PlStatement &st) {
    using K = PlStatement::Kind;
    switch (st.kind) {
      case K::Null:
        return {};
      case K::Assign: {
        int slot = target_slot(*st.target);
        Value v = evaluate(*st.value);
        assign(slot, v, st.target->begin);
        return {};
      }
      case K::If: {
        for (const auto &[condition, body] : st.branches)
          if (truth(*condition)) return run_body(body);
        if (st.has_else) return run_body(st.else_body);
        return {};
      }
      case K::Case: {
        if (st.value) {
          Value selector = evaluate(*st.value);
          for (const auto &[when, body] : st.branches) {
            Value candidate = evaluate(*when);
            if (!selector.is_null() && !candidate.is_null()) {
              Value a = selector, b = coerce(*s, candidate, Type::of(Base::Unknown));
              if (a.kind != b.kind && a.kind == Value::Kind::Number) b = coerce(*s, b, Type::number());
              if (a.kind != b.kind && a.kind == Value::Kind::Text) b = coerce(*s, b, Type::varchar2(32767));
              if (a.kind == b.kind && a.bytes == b.bytes && a.integer == b.integer) return run_body(body);
            }
          }
        } else {
          for (const auto &[condition, body] : st.branches)
            if (truth(*condition)) return run_body(body);
        }
        if (st.has_else) return run_body(st.else_body);
        fail(6592);  // CASE not found while executing CASE statement
      }
      case K::Loop: {
        Control out;
        while (loop_step(st, &out)) {
        }
        return out;
      }
      case K::While: {
        Control out;
        while (truth(*st.value))
          if (!loop_step(st, &out)) break;
        return out;
      }
      case K::ForRange: {
        Value low = coerce(*s, evaluate(*st.low), Type::number());
        Value high = coerce(*s, evaluate(*st.high), Type::number());
        if (low.is_null() || high.is_null()) fail(6502, "");
        int64_t a = 0, b = 0;
        oracle::Number la, lb, ra, rb;
        decode_number(low.bytes, &la);
        decode_number(high.bytes, &lb);
        oracle::round(la, 0, &ra);
        oracle::round(lb, 0, &rb);
        number_to_int64(number_bytes(ra), &a);
        number_to_int64(number_bytes(rb), &b);
        frames.push_back(Frame{});
        frames.back().label = st.name;
        struct Pop {
          std::vector<Frame> &frames;
          ~Pop() { frames.pop_back(); }
        } pop{frames};
        Type integer = Type::number(0, 0);
        int slot = slot_for(&st, 0, st.variable, integer);
        frames.back().names[st.variable] = slot;
        Control out;
        for (int64_t i = st.reverse ? b : a; st.reverse ? i >= a : i <= b; st.reverse ? --i : ++i) {
          slots[static_cast<size_t>(slot)].value = Value::number_bytes(number_from_int64(i));
          slots[static_cast<size_t>(slot)].constant = true;
          if (!loop_step(st, &out)) break;
        }
        return out;
      }
      case K::ForCursor:
        return for_cursor(st);
      case K::Exit: case K::Continue: {
        if (st.value && !truth(*st.value)) return {};
        Control c;
        c.flow = st.kind == K::Exit ? Flow::Exit : Flow::Continue;
        c.label = st.name;
        return c;
      }
      case K::Return: {
        if (unit.kind == Statement::Kind::CreateFunction) {
          if (!st.value) pls_error(source, st.begin, "PLS-00503: RETURN <value> statement required for this return from function");
          return_value = coerce(*s, evaluate(*st.value), function_type());
          returned = true;
        } else if (st.value) {
          pls_error(source, st.begin, "PLS-00372: In a procedure, RETURN statement cannot contain an expression");
        }
        Control c;
        c.flow = Flow::Return;
        return c;
      }
      case K::Raise: {
        if (st.name.empty()) {
          if (handling.empty()) pls_error(source, st.begin, "PLS-00367: a RAISE statement with no exception name must be inside an exception handler");
          throw handling.back();
        }
        sb4 code = predefined_code(st.name);
        if (code != 0) fail(code);
        for (auto f = frames.rbegin(); f != frames.rend(); ++f)
          if (f->exceptions.count(st.name)) fail(6510, "\x02" + st.name);
        pls_error(source, st.begin, "PLS-00201: identifier '" + st.name + "' must be declared");
      }
      case K::Block:
        return run_block(*st.block);
      case K::Sql:
        run_sql(*st.sql);
        return {};
      case K::Call:
        call(*st.target);
        return {};
      case K::Open: case K::Fetch: case K::Close:
        return cursor_statement(st);
      case K::ExecuteImmediate:
        execute_immediate(st);
        return {};
      case K::Goto:
        fail(3001, "GOTO");
    }
    return {};
  }

  Control for_cursor(const PlStatement &st) {
    const Query *q = st.query.get();
    const void *key = &st;
    if (!st.cursor.empty()) {
      const PlDeclaration *d = find_cursor(st.cursor);
      if (d == nullptr) pls_error(source, st.begin, "PLS-00201: identifier '" + st.cursor + "' must be declared");
      q = d->cursor_query.get();
    }
    // A SELECT statement node for the translator, made once.
    auto &holder = select_nodes[key];
    if (!holder) {
      holder = std::make_unique<Statement>(Statement::Kind::Select);
      holder->query.reset(const_cast<Query *>(q));
    }
    Compiled &c = compile_statement(*holder);
    frames.push_back(Frame{});
    frames.back().label = st.name;
    struct Pop {
      std::vector<Frame> &frames;
      ~Pop() { frames.pop_back(); }
    } pop{frames};
    std::vector<int> fields;
    for (size_t i = 0; i < c.plan.columns.size(); ++i) {
      const ResultColumn &col = c.plan.columns[i];
      int slot = slot_for(&st, i, st.variable + "." + col.name, col.type);
      frames.back().names[st.variable + "." + col.name] = slot;
      fields.push_back(slot);
    }
    sqlite3_reset(c.stmt);
    bind_params(*s, c.plan, c.stmt, slot_binds, 0);
    Control out;
    struct Reset {
      sqlite3_stmt *stmt;
      ~Reset() { sqlite3_reset(stmt); }
    } reset{c.stmt};
    for (;;) {
      int rc = sqlite3_step(c.stmt);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) throw map_error(*s, &c.plan);
      for (size_t i = 0; i < fields.size(); ++i)
        slots[static_cast<size_t>(fields[i])].value = read_column(c.stmt, static_cast<int>(i), c.plan.columns[i].type);
      if (!loop_step(st, &out)) break;
    }
    return out;
  }

  std::map<const void *, std::unique_ptr<Statement>> select_nodes;

  Control cursor_statement(const PlStatement &st) {
    const PlDeclaration *d = find_cursor(st.cursor);
    if (d == nullptr) pls_error(source, st.begin, "PLS-00201: identifier '" + st.cursor + "' must be declared");
    OpenCursor &oc = open_cursors[st.cursor];
    auto set_attributes = [&]() {
      Type t;
      int slot;
      Name n;
      n.parts = {st.cursor, "%FOUND"};
      n.quoted = {false, false};
      if (variable(n, &slot, &t)) {
        Value v;
        v.kind = Value::Kind::Boolean;
        v.integer = oc.found;
        slots[static_cast<size_t>(slot)].value = oc.fetched ? v : Value{};
      }
      n.parts[1] = "%NOTFOUND";
      if (variable(n, &slot, &t)) {
        Value v;
        v.kind = Value::Kind::Boolean;
        v.integer = !oc.found;
        slots[static_cast<size_t>(slot)].value = oc.fetched ? v : Value{};
      }
      n.parts[1] = "%ROWCOUNT";
      if (variable(n, &slot, &t)) slots[static_cast<size_t>(slot)].value = Value::number_bytes(number_from_int64(oc.rowcount));
      n.parts[1] = "%ISOPEN";
      if (variable(n, &slot, &t)) {
        Value v;
        v.kind = Value::Kind::Boolean;
        v.integer = oc.open;
        slots[static_cast<size_t>(slot)].value = v;
      }
    };
    if (st.kind == PlStatement::Kind::Open) {
      if (oc.open) fail(6511);  // cursor already open
      auto &holder = select_nodes[d];
      if (!holder) {
        holder = std::make_unique<Statement>(Statement::Kind::Select);
        holder->query.reset(const_cast<Query *>(d->cursor_query.get()));
      }
      oc.compiled = &compile_statement(*holder);
      sqlite3_reset(oc.compiled->stmt);
      bind_params(*s, oc.compiled->plan, oc.compiled->stmt, slot_binds, 0);
      oc.open = true;
      oc.fetched = false;
      oc.rowcount = 0;
    } else if (st.kind == PlStatement::Kind::Fetch) {
      if (!oc.open) fail(1001);  // invalid cursor
      int rc = sqlite3_step(oc.compiled->stmt);
      oc.fetched = true;
      if (rc == SQLITE_ROW) {
        oc.found = true;
        ++oc.rowcount;
        const Plan &plan = oc.compiled->plan;
        if (st.into.size() != plan.columns.size())
          pls_error(source, st.begin, "PLS-00394: wrong number of values in the INTO list of a FETCH statement");
        for (size_t i = 0; i < st.into.size(); ++i)
          assign(target_slot(*st.into[i]), read_column(oc.compiled->stmt, static_cast<int>(i), plan.columns[i].type),
                 st.into[i]->begin);
      } else if (rc == SQLITE_DONE) {
        oc.found = false;
      } else {
        throw map_error(*s, &oc.compiled->plan);
      }
    } else {
      if (!oc.open) fail(1001);
      sqlite3_reset(oc.compiled->stmt);
      oc.open = false;
    }
    set_attributes();
    return {};
  }

  void run_sql(const Statement &st) {
    switch (st.kind) {
      case Statement::Kind::Select: {
        const Query &q = *st.query;
        if (q.bulk_collect) fail(3001, "BULK COLLECT");
        if (q.into.empty()) pls_error(source, st.begin, "PLS-00428: an INTO clause is expected in this SELECT statement");
        Compiled &c = compile_statement(st);
        if (c.plan.columns.size() != q.into.size())
          pls_error(source, st.begin, c.plan.columns.size() > q.into.size() ? "PL/SQL: ORA-00913: too many values"
                                                                            : "PL/SQL: ORA-00947: not enough values");
        sqlite3_reset(c.stmt);
        bind_params(*s, c.plan, c.stmt, slot_binds, 0);
        struct Reset {
          sqlite3_stmt *stmt;
          ~Reset() { sqlite3_reset(stmt); }
        } reset{c.stmt};
        int rc = sqlite3_step(c.stmt);
        if (rc == SQLITE_DONE) {
          set_sql_attributes(0);
          fail(1403);  // no data found
        }
        if (rc != SQLITE_ROW) throw map_error(*s, &c.plan);
        std::vector<Value> row;
        for (size_t i = 0; i < c.plan.columns.size(); ++i)
          row.push_back(read_column(c.stmt, static_cast<int>(i), c.plan.columns[i].type));
        rc = sqlite3_step(c.stmt);
        if (rc == SQLITE_ROW) {
          set_sql_attributes(2);
          fail(1422);  // exact fetch returns more than requested number of rows
        }
        if (rc != SQLITE_DONE) throw map_error(*s, &c.plan);
        for (size_t i = 0; i < row.size(); ++i) assign(target_slot(*q.into[i]), row[i], q.into[i]->begin);
        set_sql_attributes(1);
        return;
      }
      case Statement::Kind::Insert: case Statement::Kind::Update: case Statement::Kind::Delete:
      case Statement::Kind::Merge: {
        Compiled &c = compile_statement(st);
        ensure_savepoint();
        if (fires_triggers(*s, c.plan)) {
          int64_t returned = 0, rowid = 0;
          uint64_t rows = run_triggered(*s, c.plan, slot_binds, 0, [&](sqlite3_stmt *row) {
            if (!c.plan.returning) return;
            if (++returned > 1) fail(1422);
            for (size_t k = 0; k < c.plan.into.size(); ++k)
              assign(c.plan.into[k].index, read_column(row, static_cast<int>(k), c.plan.columns[k].type), 0);
          }, &rowid);
          set_sql_attributes(static_cast<int64_t>(rows));
          return;
        }
        sqlite3_reset(c.stmt);
        bind_params(*s, c.plan, c.stmt, slot_binds, 0);
        struct Reset {
          sqlite3_stmt *stmt;
          ~Reset() { sqlite3_reset(stmt); }
        } reset{c.stmt};
        int64_t returned = 0;
        for (;;) {
          int rc = sqlite3_step(c.stmt);
          if (rc == SQLITE_DONE) break;
          if (rc != SQLITE_ROW) throw map_error(*s, &c.plan);
          ++returned;
          if (c.plan.returning) {
            if (returned > 1) fail(1422);
            for (size_t k = 0; k < c.plan.into.size(); ++k)
              assign(c.plan.into[k].index, read_column(c.stmt, static_cast<int>(k), c.plan.columns[k].type), 0);
          }
        }
        int64_t rows = c.plan.kind == Plan::Kind::Insert ? sqlite3_changes(s->db) : returned;
        if (!c.plan.then.empty()) {
          sqlite3_reset(c.stmt);
          rows += static_cast<int64_t>(run_then(*s, c.plan, c.then, slot_binds, 0));
        }
        set_sql_attributes(rows);
        return;
      }
      case Statement::Kind::Commit:
        commit(*s);
        savepoint_active = false;
        return;
      case Statement::Kind::Rollback:
        if (!st.savepoint.empty()) {
          rollback_to(*s, st.savepoint);
        } else {
          rollback(*s);
          savepoint_active = false;
        }
        return;
      case Statement::Kind::Savepoint:
        savepoint(*s, st.savepoint);
        return;
      case Statement::Kind::SetTransaction:
        return;
      case Statement::Kind::LockTable:
        if (s->schema().table(st.table.last()) == nullptr) fail(942);
        begin_transaction(*s);
        return;
      default:
        fail(900);
    }
  }

  // A stored procedure: IN values given, OUT values assigned back.
  bool call_procedure(const Expr &e, const std::string &name) {
    const Statement *unit = stored_unit(*s, name);
    if (unit == nullptr) return false;
    if (unit->kind != Statement::Kind::CreateProcedure)
      pls_error(source, e.begin, "PLS-00221: '" + e.name.last() + "' is not a procedure or is undefined");
    const size_t n = unit->parameters.size();
    std::vector<const Expr *> exprs(n, nullptr);
    size_t position = 0;
    auto wrong = [&] {
      pls_error(source, e.begin, "PLS-00306: wrong number or types of arguments in call to '" + e.name.last() + "'");
    };
    for (const ExprPtr &a : e.args) {
      if (a->kind == Expr::Kind::Binary && a->op == "=>" && a->args[0]->kind == Expr::Kind::Column) {
        size_t k = 0;
        while (k < n && unit->parameters[k].name != a->args[0]->name.last()) ++k;
        if (k == n || exprs[k]) wrong();
        exprs[k] = a->args[1].get();
        continue;
      }
      if (position >= n) wrong();
      exprs[position++] = a.get();
    }
    std::vector<Value> values(n);
    std::vector<bool> given(n, false);
    std::vector<int> targets(n, -1);
    for (size_t k = 0; k < n; ++k) {
      const PlParameter &p = unit->parameters[k];
      if (exprs[k] == nullptr) {
        if (p.mode != "IN" || !p.default_value) wrong();
        continue;
      }
      given[k] = true;
      if (p.mode != "IN") targets[k] = target_slot(*exprs[k]);
      if (p.mode != "OUT") values[k] = evaluate(*exprs[k]);
    }
    try {
      call_stored(*s, name, values, given);
    } catch (SqlError &error) {
      error.trailer += (error.trailer.empty() ? "" : "\n") + std::string("ORA-06512: at ") + where() + "line " +
                       std::to_string(line(e.begin));
      throw;
    }
    for (size_t k = 0; k < n; ++k)
      if (targets[k] >= 0) assign(targets[k], values[k], exprs[k]->begin);
    return true;
  }

  void call(const Expr &e) {
    std::string name;
    for (size_t i = 0; i < e.name.parts.size(); ++i) name += (i ? "." : "") + e.name.parts[i];
    if (call_procedure(e, name)) return;
    std::vector<Value> args;
    for (const ExprPtr &a : e.args) args.push_back(evaluate(a->kind == Expr::Kind::Binary && a->op == "=>" ? *a->args[1] : *a));
    if (name == "DBMS_OUTPUT.PUT_LINE" || name == "DBMS_OUTPUT.PUT") {
      if (args.size() != 1) pls_error(source, e.begin, "PLS-00306: wrong number or types of arguments in call to '" + e.name.last() + "'");
      std::string text = args[0].is_null() ? "" : coerce(*s, args[0], Type::varchar2(32767)).bytes;
      s->dbms_output += text;
      if (name == "DBMS_OUTPUT.PUT_LINE") s->dbms_output += "\n";
      return;
    }
    if (name == "DBMS_OUTPUT.NEW_LINE") {
      s->dbms_output += "\n";
      return;
    }
    if (name == "DBMS_OUTPUT.ENABLE" || name == "DBMS_OUTPUT.DISABLE") {
      s->dbms_output_enabled = name == "DBMS_OUTPUT.ENABLE";
      return;
    }
    if (name == "DBMS_LOCK.SLEEP" || name == "DBMS_SESSION.SLEEP") return;
    if (name == "RAISE_APPLICATION_ERROR") {
      if (args.size() < 2 || args.size() > 3)
        pls_error(source, e.begin, "PLS-00306: wrong number or types of arguments in call to 'RAISE_APPLICATION_ERROR'");
      Value n = coerce(*s, args[0], Type::number());
      int64_t code = 0;
      if (!n.is_null()) number_to_int64(n.bytes, &code);
      if (code > -20000 || code < -20999) fail(21000, std::to_string(code));
      std::string message = args[1].is_null() ? "" : coerce(*s, args[1], Type::varchar2(32767)).bytes;
      if (message.size() > 2048) message.resize(2048);
      fail(static_cast<sb4>(-code), message);
    }
    pls_error(source, e.begin, "PLS-00201: identifier '" + name + "' must be declared");
  }

  // EXECUTE IMMEDIATE: the text runs as a statement of its own, its
  // placeholders taking the USING values by position.
  class UsingBinds : public Binds {
   public:
    UsingBinds(std::vector<Value> values, bool by_name, const std::vector<Placeholder> &placeholders)
        : values_(std::move(values)) {
      // In a PL/SQL block each distinct name is one value.
      std::vector<std::string> names;
      for (const Placeholder &p : placeholders) {
        size_t index = names.size();
        if (by_name) {
          auto it = std::find(names.begin(), names.end(), p.name);
          if (it != names.end()) index = static_cast<size_t>(it - names.begin());
          else names.push_back(p.name);
        } else {
          names.push_back(p.name);
        }
        position_.push_back(index);
      }
    }
    bool type_of(int i, Type *type) override {
      size_t at = position(i);
      if (at >= values_.size()) return false;
      const Value &v = values_[at];
      switch (v.kind) {
        case Value::Kind::Number: *type = Type::number(); break;
        case Value::Kind::Date: *type = Type::of(Base::Date); break;
        case Value::Kind::Raw: *type = Type::of(Base::Raw); break;
        default: *type = Type::varchar2(32767); break;
      }
      return true;
    }
    Value value(int i, uint32_t) override {
      size_t at = position(i);
      return at < values_.size() ? values_[at] : Value{};
    }
    void assign(int, uint32_t, const Value &, const Type &) override {}

   private:
    size_t position(int i) const { return static_cast<size_t>(i) < position_.size() ? position_[static_cast<size_t>(i)] : SIZE_MAX; }
    std::vector<Value> values_;
    std::vector<size_t> position_;
  };

  void execute_immediate(const PlStatement &st) {
    Value text = evaluate(*st.value);
    if (text.is_null()) fail(6535, "EXECUTE IMMEDIATE");  // statement string in EXECUTE IMMEDIATE is NULL or 0 length
    std::string sql = coerce(*s, text, Type::varchar2(32767)).bytes;
    std::vector<Value> values;
    for (const ExprPtr &a : st.using_args) values.push_back(evaluate(*a));
    Cursor c;
    c.prepare(sql);
    UsingBinds using_binds(std::move(values), c.is_plsql(), c.placeholders());
    uint64_t rows = 0;
    ++s->depth;
    struct Depth {
      Session &s;
      ~Depth() { --s.depth; }
    } depth{*s};
    bool was_writing = s->in_transaction;
    if (!c.is_query() && !c.is_plsql() && c.statement_type() >= 2 && c.statement_type() <= 4) ensure_savepoint();
    c.execute(*s, using_binds, 1, 0, false, &rows);
    if (was_writing && !s->in_transaction) savepoint_active = false;
    if (c.open()) {
      if (st.into.empty()) {
        c.close();
        return;
      }
      if (!c.next()) fail(1403);
      std::vector<Value> row;
      for (size_t i = 0; i < c.columns().size(); ++i) row.push_back(c.column(static_cast<int>(i)));
      if (c.next()) fail(1422);
      if (row.size() != st.into.size()) fail(row.size() > st.into.size() ? 913 : 947);
      for (size_t i = 0; i < row.size(); ++i) assign(target_slot(*st.into[i]), row[i], st.into[i]->begin);
      set_sql_attributes(1);
      return;
    }
    set_sql_attributes(static_cast<int64_t>(rows));
  }

  // ---- Stored units and triggers -----------------------------------------------------
  bool is_unit() const {
    return unit.kind == Statement::Kind::CreateProcedure || unit.kind == Statement::Kind::CreateFunction;
  }
  // "ORA-06512: at "ZORVAN.NAME", line n" for a stored unit or trigger.
  std::string where() const {
    if (!is_unit() && trigger_table == nullptr) return "";
    return "\"" + s->user + "." + unit.object.last() + "\", ";
  }
  size_t line(size_t offset) const {
    size_t n = line_of(source, offset), base = line_base ? line_of(source, line_base) : 1;
    return n >= base ? n - base + 1 : n;
  }
  // A parameter's or return value's type: %TYPE read now (a variable's
  // too); a bare VARCHAR2 or RAW takes any length.
  Type resolved(const Type &t, const Name &type_of) {
    if (type_of.empty()) return parameter_type(*s, t, type_of);
    PlDeclaration d;
    d.type_of = type_of;
    return declared_type(d);
  }
  Type function_type() { return resolved(unit.return_type, unit.return_type_of); }

  // The unit's parameters as the outermost frame's variables.
  void bind_parameters() {
    frames.push_back(Frame{});
    for (size_t i = 0; i < unit.parameters.size(); ++i) {
      const PlParameter &p = unit.parameters[i];
      Type t = resolved(p.type, p.type_of);
      int slot = slot_for(&p, 0, p.name, t);
      Slot &sl = slots[static_cast<size_t>(slot)];
      sl.value = Value{};
      sl.constant = false;
      sl.not_null = false;
      sl.assigned = false;
      frames.back().names[p.name] = slot;
      bool given = i < call_given->size() && (*call_given)[i];
      if (p.mode != "OUT") {
        if (given) assign(slot, (*call_args)[i], 0);
        else if (p.default_value) assign(slot, evaluate(*p.default_value), p.default_value->begin);
        else pls_error(source, 0, "PLS-00306: wrong number or types of arguments in call to '" + unit.object.last() + "'");
      }
      sl.constant = p.mode == "IN";
    }
  }
  void collect_parameters() {
    for (size_t i = 0; i < unit.parameters.size() && i < call_args->size(); ++i)
      if (unit.parameters[i].mode != "IN")
        (*call_args)[i] = slots[static_cast<size_t>(frames.front().names[unit.parameters[i].name])].value;
  }
  void load_rows() {
    for (size_t i = 0; i < trigger_table->columns.size(); ++i) {
      const ColumnInfo &c = trigger_table->columns[i];
      int n = slot_for(&new_row, i, ":" + unit.referencing_new + "." + c.name, c.type);
      int o = slot_for(&old_row, i, ":" + unit.referencing_old + "." + c.name, c.type);
      slots[static_cast<size_t>(n)].value = new_row && i < new_row->size() ? (*new_row)[i] : Value{};
      slots[static_cast<size_t>(n)].constant = new_row == nullptr || unit.timing == "AFTER";
      slots[static_cast<size_t>(o)].value = old_row && i < old_row->size() ? (*old_row)[i] : Value{};
      slots[static_cast<size_t>(o)].constant = true;
    }
  }
  void store_rows() {
    if (new_row == nullptr) return;
    for (size_t i = 0; i < trigger_table->columns.size() && i < new_row->size(); ++i)
      (*new_row)[i] = slots[static_cast<size_t>(slot_for(&new_row, i, "", trigger_table->columns[i].type))].value;
  }

  void run_all(Session &session, Binds &b) {
    s = &session;
    binds = &b;
    savepoint_active = false;
    frames.clear();
    handling.clear();
    if (sql_rowcount < 0) {
      sql_rowcount = new_slot("SQL%ROWCOUNT", Type::number());
      sql_found = new_slot("SQL%FOUND", Type::of(Base::Boolean));
      sql_notfound = new_slot("SQL%NOTFOUND", Type::of(Base::Boolean));
      sql_isopen = new_slot("SQL%ISOPEN", Type::of(Base::Boolean));
      sqlcode = new_slot("SQLCODE", Type::number());
      sqlerrm = new_slot("SQLERRM", Type::varchar2(512));
    }
    for (int slot : {sql_rowcount, sql_found, sql_notfound}) slots[static_cast<size_t>(slot)].value = Value{};
    Value isopen;
    isopen.kind = Value::Kind::Boolean;
    slots[static_cast<size_t>(sql_isopen)].value = isopen;
    // Each distinct placeholder is one variable of the block, in and out.
    for (size_t i = 0; i < placeholders.size(); ++i) {
      const std::string &name = placeholders[i].name;
      Type t;
      bool bound = b.type_of(static_cast<int>(i), &t);
      if (!placeholder_slots.count(name)) placeholder_slots[name] = new_slot(":" + name, t);
      Slot &sl = slots[static_cast<size_t>(placeholder_slots[name])];
      if (!bound) fail(1008);
      sl.type = t;
      sl.value = b.value(static_cast<int>(i), 0);
      sl.assigned = false;
    }
    returned = false;
    return_value = Value{};
    try {
      if (is_unit()) bind_parameters();
      bool runs = true;
      if (trigger_table != nullptr) {
        load_rows();
        runs = !unit.when || truth(*unit.when);  // WHEN (condition) of a row trigger
      }
      if (runs) run_block(*unit.block);  // a RETURN ends it normally
      if (unit.kind == Statement::Kind::CreateFunction && !returned) fail(6503);  // function returned without value
      if (is_unit()) collect_parameters();
      if (trigger_table != nullptr) store_rows();
    } catch (...) {
      if (savepoint_active && s->in_transaction) {
        sqlite3_exec(s->db, "ROLLBACK TO \"$plsql\"; RELEASE \"$plsql\"", nullptr, nullptr, nullptr);
        s->invalidate_schema();
      }
      savepoint_active = false;
      for (auto &[name, oc] : open_cursors)
        if (oc.open && oc.compiled) sqlite3_reset(oc.compiled->stmt);
      throw;
    }
    for (auto &[name, oc] : open_cursors)
      if (oc.open && oc.compiled) {
        sqlite3_reset(oc.compiled->stmt);
        oc.open = false;
      }
    if (savepoint_active && s->in_transaction) exec(s->db, "RELEASE \"$plsql\"");
    savepoint_active = false;
    // Values assigned to placeholders go back to their binds.
    for (size_t i = 0; i < placeholders.size(); ++i) {
      const Slot &sl = slots[static_cast<size_t>(placeholder_slots[placeholders[i].name])];
      if (sl.assigned) b.assign(static_cast<int>(i), 0, sl.value, sl.type);
    }
  }
};

std::string PlsqlProgram::Impl::error_text(const SqlError &e) {
  // The message as SQLERRM shows it: the ORA text without its newline.
  std::string text = ora_message(e.code, e.parameter.c_str());
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

namespace {
// A stored unit or trigger takes no placeholders.
class NoArguments : public Binds {
 public:
  bool type_of(int, Type *) override { return false; }
  Value value(int, uint32_t) override { return Value{}; }
  void assign(int, uint32_t, const Value &, const Type &) override {}
};
}  // namespace

PlsqlProgram::PlsqlProgram(const Statement &block, std::string_view source, const std::vector<Placeholder> &placeholders)
    : impl_(std::make_unique<Impl>(block, source, placeholders)) {
  switch (block.kind) {
    case Statement::Kind::Block: case Statement::Kind::CreateProcedure: case Statement::Kind::CreateFunction:
      break;
    case Statement::Kind::CreateTrigger:
      if (block.block) impl_->line_base = block.block_begin;
      break;
    default:
      fail(3001, "CALL");
  }
}

Value PlsqlProgram::call(Session &s, std::vector<Value> &args, const std::vector<bool> &given) {
  NoArguments none;
  impl_->call_args = &args;
  impl_->call_given = &given;
  run(s, none);
  return impl_->return_value;
}

void PlsqlProgram::fire(Session &s, const TableInfo &table, const std::string &event, std::vector<Value> *new_row,
                        const std::vector<Value> *old_row) {
  NoArguments none;
  impl_->trigger_table = &table;
  impl_->trigger_event = event;
  impl_->new_row = new_row;
  impl_->old_row = old_row;
  run(s, none);
}

PlsqlProgram::~PlsqlProgram() {
  // The SELECT nodes borrowed the block's queries: give them back unowned.
  for (auto &[key, st] : impl_->select_nodes)
    if (st) st->query.release();  // an entry whose node could not be made stays empty
}

void PlsqlProgram::run(Session &s, Binds &binds) {
  ++s.depth;
  struct Depth {
    Session &s;
    ~Depth() { --s.depth; }
  } depth{s};
  impl_->run_all(s, binds);
}

}  // namespace zec::sql
