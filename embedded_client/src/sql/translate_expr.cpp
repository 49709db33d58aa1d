// Expressions: typing, Oracle's implicit conversions, operators and
// functions, as SQLite text over the engine's storage.
#include <algorithm>
#include <cstring>

#include "src/sql/stored.h"
#include "src/sql/translate_internal.h"

namespace zec::sql {

std::string text_literal(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  out.push_back('\'');
  return out;
}

std::string blob_literal(std::string_view bytes) { return "X'" + raw_to_hex(bytes) + "'"; }

std::string qualified_column(const Session &s, const std::string &table, const std::string &column) {
  return quote(s.user) + "." + quote(table) + "." + quote(column);
}

std::string fit_sql(const std::string &value_sql, const Type &column, const std::string &column_name) {
  switch (column.base) {
    case Base::Number:
      if (!column.is_float && column.precision == 0 && column.scale == -127) return value_sql;
      return "z_fit_num(" + value_sql + "," + std::to_string(column.precision) + "," +
             std::to_string(column.scale) + "," + (column.is_float ? "1" : "0") + "," + text_literal(column_name) +
             ")";
    case Base::Varchar2: case Base::NVarchar2:
      return "z_fit_text(" + value_sql + "," + std::to_string(column.length) + "," +
             (column.char_semantics ? "1" : "0") + "," + text_literal(column_name) + ")";
    case Base::Char: case Base::NChar:
      return "z_fit_char(" + value_sql + "," + std::to_string(column.length) + "," +
             (column.char_semantics ? "1" : "0") + "," + text_literal(column_name) + ")";
    case Base::Raw:
      return "z_fit_raw(" + value_sql + "," + std::to_string(column.length) + "," + text_literal(column_name) + ")";
    case Base::Date:
      return "z_fit_date(" + value_sql + ")";
    case Base::Timestamp:
      return "z_fit_ts(" + value_sql + "," + std::to_string(column.fraction) + ")";
    default:
      return value_sql;
  }
}

}  // namespace zec::sql

namespace zec::sql::detail {
namespace {

bool is_aggregate_name(const std::string &n) {
  return n == "COUNT" || n == "SUM" || n == "AVG" || n == "MIN" || n == "MAX" || n == "STDDEV" ||
         n == "VARIANCE" || n == "LISTAGG" || n == "MEDIAN" || n == "STDDEV_SAMP" || n == "VAR_SAMP" ||
         n == "STDDEV_POP" || n == "VAR_POP" || n == "COLLECT";
}

Type text_type(int32_t length = kMaxVarchar) {
  Type t = Type::varchar2(length > 32767 ? 32767 : length < 1 ? 1 : length);
  return t;
}

T make(std::string sql, Type type) {
  T t;
  t.sql = std::move(sql);
  t.type = type;
  return t;
}

T null_of(Type type) {
  T t = make("NULL", type);
  t.null = true;
  t.literal = true;
  return t;
}

bool unknown(const T &x) { return x.type.base == Base::Unknown; }

}  // namespace

std::string family_name(const Type &t) {
  switch (t.base) {
    case Base::Number: return "NUMBER";
    case Base::BinaryFloat: return "BINARY_FLOAT";
    case Base::BinaryDouble: return "BINARY_DOUBLE";
    case Base::Date: return "DATE";
    case Base::Timestamp: return "TIMESTAMP";
    case Base::Raw: case Base::LongRaw: return "BINARY";
    case Base::Clob: case Base::NClob: return "CLOB";
    case Base::Blob: return "BLOB";
    case Base::Bfile: return "FILE";
    case Base::Rowid: return "ROWID";
    case Base::Boolean: return "BOOLEAN";
    case Base::Long: return "LONG";
    case Base::Unknown: return "-";
    default: return "CHAR";
  }
}

void inconsistent(const Type &expected, const Type &got) {
  fail(932, family_name(expected) + '\x1f' + family_name(got));
}

// ---- Conversions ----------------------------------------------------------------------

T Translator::to_number(T x) {
  if (x.param >= 0 && !is_numeric(x.type.base)) {
    plan.params[static_cast<size_t>(x.param)].as = Type::number();
    x.type = Type::number();
    return x;
  }
  switch (x.type.base) {
    case Base::Number: return x;
    case Base::Unknown: return null_of(Type::number());
    case Base::BinaryFloat: case Base::BinaryDouble: {
      T r = make("z_real2num(" + x.sql + ")", Type::number());
      r.aggregate = x.aggregate;
      return r;
    }
    case Base::Varchar2: case Base::NVarchar2: case Base::Char: case Base::NChar: case Base::Long:
    case Base::Clob: case Base::NClob: {
      if (x.literal) {
        std::string bytes;
        if (int code = number_from_text(x.text_value, &bytes)) fail(code);
        T r = make(blob_literal(bytes), Type::number());
        r.literal = true;
        return r;
      }
      T r = make("z_num(" + x.sql + ")", Type::number());
      r.aggregate = x.aggregate;
      return r;
    }
    default:
      inconsistent(Type::number(), x.type);
  }
}

T Translator::to_text(T x) {
  if (x.param >= 0 && !is_character(x.type.base)) {
    plan.params[static_cast<size_t>(x.param)].as = text_type();
    x.type = text_type();
    return x;
  }
  T r;
  switch (x.type.base) {
    case Base::Varchar2: case Base::NVarchar2: case Base::Char: case Base::NChar: case Base::Long:
    case Base::Rowid:
      return x;
    case Base::Clob: case Base::NClob:
      r = make("z_lob_text(" + x.sql + ")", text_type(32767));
      break;
    case Base::Unknown: return null_of(text_type());
    case Base::Number:
      r = make("z_numstr(" + x.sql + ")", text_type(40));
      break;
    case Base::BinaryFloat: case Base::BinaryDouble:
      r = make("z_numstr(z_real2num(" + x.sql + "))", text_type(40));
      break;
    case Base::Date:
      r = make("z_to_char_d(" + x.sql + ")", text_type(75));
      break;
    case Base::Timestamp:
      r = make("z_to_char_t(" + x.sql + ")", text_type(75));
      break;
    case Base::Raw: case Base::LongRaw:
      r = make("z_rawtohex(" + x.sql + ")", text_type(x.type.length > 0 ? x.type.length * 2 : kMaxVarchar));
      break;
    case Base::Blob:
      r = make("z_rawtohex(z_lob_raw(" + x.sql + "))", text_type(32767));
      break;
    default:
      inconsistent(text_type(), x.type);
  }
  r.aggregate = x.aggregate;
  return r;
}

T Translator::to_date(T x) {
  if (x.param >= 0 && x.type.base != Base::Date) {
    plan.params[static_cast<size_t>(x.param)].as = Type::of(Base::Date);
    x.type = Type::of(Base::Date);
    return x;
  }
  switch (x.type.base) {
    case Base::Date: return x;
    case Base::Timestamp: {
      T r = make("z_ts2date(" + x.sql + ")", Type::of(Base::Date));
      r.aggregate = x.aggregate;
      return r;
    }
    case Base::Unknown: return null_of(Type::of(Base::Date));
    case Base::Varchar2: case Base::NVarchar2: case Base::Char: case Base::NChar: {
      T r = make("z_to_date(" + x.sql + ")", Type::of(Base::Date));
      r.aggregate = x.aggregate;
      return r;
    }
    default:
      inconsistent(Type::of(Base::Date), x.type);
  }
}

T Translator::to_timestamp(T x) {
  Type ts = Type::of(Base::Timestamp);
  if (x.param >= 0 && x.type.base != Base::Timestamp) {
    plan.params[static_cast<size_t>(x.param)].as = ts;
    x.type = ts;
    return x;
  }
  T r;
  switch (x.type.base) {
    case Base::Timestamp: return x;
    case Base::Unknown: return null_of(ts);
    case Base::Date: r = make("z_date2ts(" + x.sql + ")", ts); break;
    case Base::Varchar2: case Base::NVarchar2: case Base::Char: case Base::NChar:
      r = make("z_to_timestamp(" + x.sql + ")", ts);
      break;
    default:
      inconsistent(ts, x.type);
  }
  r.aggregate = x.aggregate;
  return r;
}

T Translator::to_raw(T x) {
  Type raw = Type::of(Base::Raw);
  raw.length = kMaxRaw;
  if (x.param >= 0 && !is_binary(x.type.base)) {
    plan.params[static_cast<size_t>(x.param)].as = raw;
    x.type = raw;
    return x;
  }
  switch (x.type.base) {
    case Base::Raw: case Base::LongRaw: return x;
    case Base::Blob: return make("z_lob_raw(" + x.sql + ")", raw);
    case Base::Unknown: return null_of(raw);
    case Base::Varchar2: case Base::NVarchar2: case Base::Char: case Base::NChar: case Base::Long:
      if (x.literal) {
        std::string bytes;
        if (int code = raw_from_hex(x.text_value, &bytes)) fail(code);
        T r = make(bytes.empty() ? "NULL" : blob_literal(bytes), raw);
        r.literal = true;
        return r;
      }
      return make("z_hextoraw(" + x.sql + ")", raw);
    default:
      inconsistent(raw, x.type);
  }
}

T Translator::to_real(T x) {
  if (x.type.base == Base::BinaryDouble || x.type.base == Base::BinaryFloat) return x;
  T n = to_number(std::move(x));
  return make("z_num2real(" + n.sql + ")", Type::of(Base::BinaryDouble));
}

T Translator::convert(T x, const Type &target) {
  T r;
  switch (target.base) {
    case Base::Number: r = to_number(std::move(x)); break;
    case Base::BinaryFloat: case Base::BinaryDouble: r = to_real(std::move(x)); break;
    case Base::Varchar2: case Base::NVarchar2: case Base::Char: case Base::NChar: case Base::Long:
      r = to_text(std::move(x));
      break;
    case Base::Date: r = to_date(std::move(x)); break;
    case Base::Timestamp: r = to_timestamp(std::move(x)); break;
    case Base::Raw: case Base::LongRaw: r = to_raw(std::move(x)); break;
    case Base::Clob: case Base::NClob:
      if (is_lob(x.type.base) || unknown(x)) return x;
      r = to_text(std::move(x));
      break;
    case Base::Blob:
      if (is_lob(x.type.base) || unknown(x)) return x;
      r = to_raw(std::move(x));
      break;
    case Base::Rowid:
      if (x.type.base == Base::Rowid) return x;
      r = to_text(std::move(x));
      r.type = Type::of(Base::Rowid);
      break;
    default:
      return x;
  }
  return r;
}

// Oracle's rules for the operands of a comparison: a number against text
// compares as numbers, a date against text as dates, raw against text as raw.
void Translator::unify_compare(T &a, T &b) {
  if (unknown(a) || unknown(b)) return;
  Base x = a.type.base, y = b.type.base;
  if (is_lob(x) || is_lob(y)) inconsistent(Type::of(Base::Unknown), is_lob(x) ? a.type : b.type);
  // A bare placeholder takes the other side's type, as Oracle converts it.
  if (a.param >= 0 && b.param < 0) {
    a = convert(std::move(a), b.type);
    return;
  }
  if (b.param >= 0 && a.param < 0) {
    b = convert(std::move(b), a.type);
    return;
  }
  // A TIMESTAMP against a DATE or text compares as timestamps.
  if ((x == Base::Timestamp && (y == Base::Date || is_character(y) || y == Base::Timestamp)) ||
      (y == Base::Timestamp && (x == Base::Date || is_character(x)))) {
    a = to_timestamp(std::move(a));
    b = to_timestamp(std::move(b));
    return;
  }
  if (is_numeric(x) && is_numeric(y)) {
    bool real = x != Base::Number || y != Base::Number;
    if (real) {
      a = to_real(std::move(a));
      b = to_real(std::move(b));
    }
    return;
  }
  if (is_numeric(x) && is_character(y)) {
    b = to_number(std::move(b));
    return;
  }
  if (is_character(x) && is_numeric(y)) {
    a = to_number(std::move(a));
    return;
  }
  if (x == Base::Date && is_character(y)) {
    b = to_date(std::move(b));
    return;
  }
  if (is_character(x) && y == Base::Date) {
    a = to_date(std::move(a));
    return;
  }
  if (is_binary(x) && is_character(y)) {
    b = to_raw(std::move(b));
    return;
  }
  if (is_character(x) && is_binary(y)) {
    a = to_raw(std::move(a));
    return;
  }
  if (x == Base::Rowid || y == Base::Rowid) {
    if (is_character(x) || is_character(y) || x == y) return;
  }
  if (is_character(x) && is_character(y)) {
    // Blank-padded comparison when both are CHAR (a literal is CHAR).
    bool pad_a = x == Base::Char || x == Base::NChar;
    bool pad_b = y == Base::Char || y == Base::NChar;
    if (pad_a && pad_b) {
      if (a.literal && !b.literal) {
        std::string v = a.text_value;
        while (!v.empty() && v.back() == ' ') v.pop_back();
        if (b.type.length > 0 && static_cast<int32_t>(utf8_length(v)) < b.type.length && !b.type.char_semantics)
          v.append(static_cast<size_t>(b.type.length) - v.size(), ' ');
        else if (b.type.length > 0 && b.type.char_semantics && static_cast<int32_t>(utf8_length(v)) < b.type.length)
          v.append(static_cast<size_t>(b.type.length) - utf8_length(v), ' ');
        a.sql = v.empty() ? "NULL" : text_literal(v);
      } else if (b.literal && !a.literal) {
        std::string v = b.text_value;
        while (!v.empty() && v.back() == ' ') v.pop_back();
        size_t have = a.type.char_semantics ? utf8_length(v) : v.size();
        if (a.type.length > 0 && static_cast<int32_t>(have) < a.type.length)
          v.append(static_cast<size_t>(a.type.length) - have, ' ');
        b.sql = v.empty() ? "NULL" : text_literal(v);
      } else {
        a.sql = "rtrim(" + a.sql + ",' ')";
        b.sql = "rtrim(" + b.sql + ",' ')";
      }
    }
    return;
  }
  if (x == y) return;
  if (is_datetime(x) && is_datetime(y)) return;
  inconsistent(a.type, b.type);
}

// ---- Names -----------------------------------------------------------------------------

// An expression's text as Oracle matches GROUP BY items and names columns:
// upper case and without blanks, quoted parts as written.
std::string Translator::grouping_text(const Expr &e) const {
  std::string t = normalized(e);
  for (;;) {
    if (t.size() < 2 || t.front() != '(' || t.back() != ')') return t;
    // Only when the first parenthesis closes at the end.
    int depth = 0;
    size_t close = 0;
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i] == '(') ++depth;
      if (t[i] == ')' && --depth == 0) {
        close = i;
        break;
      }
    }
    if (close != t.size() - 1) return t;
    t = t.substr(1, t.size() - 2);
  }
}

std::string Translator::normalized(const Expr &e) const {
  std::string_view text = source_.substr(e.begin, e.end > e.begin ? e.end - e.begin : 0);
  std::string out;
  char quote_char = 0;
  for (char c : text) {
    if (quote_char) {
      out.push_back(quote_char == '\'' ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c);
      if (c == quote_char) quote_char = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote_char = c;
      out.push_back(c);
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return out;
}

std::string Translator::column_name_of(const Expr &e) const {
  if (e.kind == Expr::Kind::Column) return e.name.last();
  std::string n = normalized(e);
  // Oracle's double quotes around identifiers do not show in the name.
  std::string out;
  for (char c : n)
    if (c != '"') out.push_back(c);
  return out.size() > 128 ? out.substr(0, 128) : out;
}

T Translator::placeholder(const Expr &e, const Type *want) {
  int occurrence = 0;
  Type type;
  if (!env_.placeholder(e.begin, e.text, &occurrence, &type)) fail(1008);
  Param p;
  p.source = Param::Source::Placeholder;
  p.index = occurrence;
  p.as = want && want->base != Base::Unknown ? *want : type;
  T r;
  r.sql = add_param(p);
  r.type = p.as;
  r.param = static_cast<int>(plan.params.size() - 1);
  return r;
}

T Translator::column(const Expr &e, Scope &scope) {
  const Name &n = e.name;
  // :NEW.column and :OLD.column in a trigger.
  if (n.parts.size() == 2 && !n.parts[0].empty() && n.parts[0][0] == ':') {
    int slot;
    Type type;
    if (!env_.correlation(n.parts[0].substr(1), n.parts[1], &slot, &type))
      fail(904, quote(n.parts[0].substr(1)) + "." + quote(n.parts[1]));
    Param p;
    p.source = Param::Source::Variable;
    p.index = slot;
    p.as = type;
    return make(add_param(p), type);
  }
  std::string column = n.last();
  std::string qualifier = n.parts.size() >= 2 ? n.parts[n.parts.size() - 2] : "";
  std::string schema = n.parts.size() >= 3 ? n.parts[n.parts.size() - 3] : "";
  if (!schema.empty() && schema != session_.user) {
    fail(904, quote(schema) + "." + quote(qualifier) + "." + quote(column));
  }
  int depth = 0;
  for (Scope *s = &scope; s != nullptr; s = s->outer, ++depth) {
    const Source *found_source = nullptr;
    const SourceColumn *found = nullptr;
    for (const Source &src : s->sources) {
      if (!qualifier.empty() && src.name != qualifier) continue;
      for (const SourceColumn &c : src.columns) {
        if (c.name != column) continue;
        if (found != nullptr && qualifier.empty()) fail(918);  // column ambiguously defined
        found = &c;
        found_source = &src;
      }
    }
    if (found == nullptr) {
      if (!qualifier.empty()) {
        bool source_exists = false;
        for (const Source &src : s->sources) source_exists = source_exists || src.name == qualifier;
        if (source_exists) fail(904, quote(qualifier) + "." + quote(column));
      }
      continue;
    }
    if (depth == 0 && scope.grouped && scope.in_aggregate == 0 && scope.group_ok == 0 && !scope.in_order_by) {
      if (!scope.group_columns.count(found_source->name + '\x1f' + found->name))
        fail(scope.has_group_by ? 979 : 937);
    }
    T r = make(scope.returning && depth == 0 ? quote(found->name) : found->sql, found->type);
    r.nullable = found->nullable;
    // PRIOR column in CONNECT BY refers to the parent row.
    return r;
  }
  if (n.parts.size() == 1 || (n.parts.size() == 2 && qualifier.empty())) {
    // Functions without parentheses.
    Expr call(Expr::Kind::Function);
    call.name = n;
    call.begin = e.begin;
    call.end = e.end;
    static const char *const kNiladic[] = {"SYSDATE", "USER", "UID", "SYSTIMESTAMP", "CURRENT_DATE",
                                          "CURRENT_TIMESTAMP", "LOCALTIMESTAMP", "SESSIONTIMEZONE",
                                          "DBTIMEZONE"};
    for (const char *f : kNiladic)
      if (column == f && n.parts.size() == 1) return function(call, scope);
  }
  if (n.parts.size() == 1 && column == "CONNECT_BY_ISLEAF") {
    for (Scope *s = &scope; s != nullptr; s = s->outer)
      if (!s->isleaf_sql.empty()) return make(s->isleaf_sql, Type::number());
    fail(976);
  }
  int slot;
  Type type;
  if (env_.variable(n, &slot, &type)) {
    Param p;
    p.source = Param::Source::Variable;
    p.index = slot;
    p.as = type;
    return make(add_param(p), type);
  }
  std::string shown;
  for (size_t i = 0; i < n.parts.size(); ++i) shown += (i ? "." : "") + quote(n.parts[i]);
  fail(904, shown);
}

T Translator::rowid(const Expr &e, Scope &scope) {
  std::string qualifier = e.name.empty() ? "" : e.name.last();
  for (Scope *s = &scope; s != nullptr; s = s->outer) {
    const Source *match = nullptr;
    for (const Source &src : s->sources) {
      if (src.rowid_sql.empty()) continue;
      if (!qualifier.empty() && src.name != qualifier) continue;
      if (match != nullptr && qualifier.empty()) fail(918);
      match = &src;
    }
    if (match) {
      if (scope.returning) return make("z_rowid(" + std::to_string(match->table_id) + ",rowid)", Type::of(Base::Rowid));
      return make("z_rowid(" + std::to_string(match->table_id) + "," + match->rowid_sql + ")", Type::of(Base::Rowid));
    }
  }
  fail(904, qualifier.empty() ? "\"ROWID\"" : quote(qualifier) + ".\"ROWID\"");
}

T Translator::sequence(const Expr &e) {
  std::string name = e.name.last();
  if (e.name.parts.size() >= 2 && e.name.parts[0] != session_.user) fail(2289);
  SequenceInfo info;
  if (!sequence_find(session_, name, &info)) fail(2289);
  T r = make((e.text == "NEXTVAL" ? "z_seq_next(" : "z_seq_curr(") + text_literal(name) + ")", Type::number());
  return r;
}

// ---- Operators -------------------------------------------------------------------------

T Translator::binary(const Expr &e, Scope &scope) {
  if (e.op == "||") {
    // a || b || c: one call, operands as text.
    std::vector<const Expr *> operands;
    std::vector<const Expr *> stack{&e};
    while (!stack.empty()) {
      const Expr *x = stack.back();
      stack.pop_back();
      if (x->kind == Expr::Kind::Binary && x->op == "||" && x->begin == e.begin) {
        stack.push_back(x->args[1].get());
        stack.push_back(x->args[0].get());
      } else {
        operands.push_back(x);
      }
    }
    std::vector<std::string> parts;
    int32_t length = 0;
    bool aggregate = false;
    for (const Expr *x : operands) {
      T t = to_text(expr(*x, scope));
      aggregate = aggregate || t.aggregate;
      length += t.type.length > 0 ? t.type.length : 0;
      parts.push_back(t.sql);
    }
    T r = make("z_cat(" + join(parts, ",") + ")", text_type(length > 0 ? length : 1));
    r.aggregate = aggregate;
    return r;
  }
  if (e.op == "=>") fail(936);
  T a = expr(*e.args[0], scope);
  T b = expr(*e.args[1], scope);
  bool aggregate = a.aggregate || b.aggregate;
  T r;
  if (e.op == "+" || e.op == "-") {
    bool plus = e.op == "+";
    // TIMESTAMP arithmetic with days gives a DATE; between two datetimes, an INTERVAL.
    if (a.type.base == Base::Timestamp || b.type.base == Base::Timestamp) {
      if (is_datetime(a.type.base) && is_datetime(b.type.base)) fail(3001, "INTERVAL DAY TO SECOND");
      if (a.type.base == Base::Timestamp) a = to_date(std::move(a));
      if (b.type.base == Base::Timestamp) b = to_date(std::move(b));
    }
    if (a.type.base == Base::Date && !unknown(b) && b.type.base != Base::Date) {
      T n = to_number(std::move(b));
      r = make(plus ? "z_dadd(" + a.sql + "," + n.sql + ")" : "z_dadd(" + a.sql + ",z_neg(" + n.sql + "))",
               Type::of(Base::Date));
    } else if (plus && b.type.base == Base::Date && !unknown(a) && a.type.base != Base::Date) {
      T n = to_number(std::move(a));
      r = make("z_dadd(" + b.sql + "," + n.sql + ")", Type::of(Base::Date));
    } else if (!plus && a.type.base == Base::Date && b.type.base == Base::Date) {
      r = make("z_ddiff(" + a.sql + "," + b.sql + ")", Type::number());
    } else if (!plus && a.type.base == Base::Date && b.param >= 0) {
      // date - :bind: Oracle reads the bind as a number of days.
      T n = to_number(std::move(b));
      r = make("z_dadd(" + a.sql + ",z_neg(" + n.sql + "))", Type::of(Base::Date));
    } else if ((a.type.base == Base::BinaryDouble || b.type.base == Base::BinaryDouble ||
                a.type.base == Base::BinaryFloat || b.type.base == Base::BinaryFloat)) {
      T x = to_real(std::move(a)), y = to_real(std::move(b));
      r = make("(" + x.sql + e.op + y.sql + ")", Type::of(Base::BinaryDouble));
    } else {
      if (a.type.base == Base::Date || b.type.base == Base::Date) inconsistent(Type::number(), Type::of(Base::Date));
      T x = to_number(std::move(a)), y = to_number(std::move(b));
      r = make(std::string(plus ? "z_add(" : "z_sub(") + x.sql + "," + y.sql + ")", Type::number());
    }
  } else if (e.op == "*" || e.op == "/" || e.op == "**") {
    if (e.op != "**" && (a.type.base == Base::BinaryDouble || b.type.base == Base::BinaryDouble ||
                         a.type.base == Base::BinaryFloat || b.type.base == Base::BinaryFloat)) {
      T x = to_real(std::move(a)), y = to_real(std::move(b));
      r = make("(" + x.sql + e.op + y.sql + ")", Type::of(Base::BinaryDouble));
    } else {
      T x = to_number(std::move(a)), y = to_number(std::move(b));
      const char *f = e.op == "*" ? "z_mul(" : e.op == "/" ? "z_div(" : "z_power(";
      r = make(f + x.sql + "," + y.sql + ")", Type::number());
    }
  } else {
    fail(936);
  }
  r.aggregate = aggregate;
  return r;
}

T Translator::compare(const Expr &e, Scope &scope) {
  if (!e.quantifier.empty()) {
    T a = expr(*e.args[0], scope);
    if (e.query) {
      std::vector<ResultColumn> columns;
      std::vector<Type> want{a.type};
      std::string sub = query(*e.query, &scope, &columns, unknown(a) ? nullptr : &want);
      if (columns.size() != 1) fail(columns.size() > 1 ? 913 : 947);
      std::string alias = new_alias();
      T c = make(quote(alias) + "." + quote(columns[0].name), columns[0].type);
      T left = a;
      unify_compare(left, c);
      if (e.quantifier == "ANY")
        return make("EXISTS (SELECT 1 FROM (" + sub + ") AS " + quote(alias) + " WHERE " + left.sql + " " + e.op +
                        " " + c.sql + ")",
                    Type::of(Base::Boolean));
      return make("NOT EXISTS (SELECT 1 FROM (" + sub + ") AS " + quote(alias) + " WHERE NOT (" + left.sql + " " +
                      e.op + " " + c.sql + "))",
                  Type::of(Base::Boolean));
    }
    // = ANY (a, b, c): each comparison, joined.
    std::vector<std::string> parts;
    for (const ExprPtr &item : e.args[1]->args) {
      T left = expr(*e.args[0], scope);
      T right = expr(*item, scope);
      unify_compare(left, right);
      parts.push_back("(" + left.sql + " " + e.op + " " + right.sql + ")");
    }
    return make("(" + join(parts, e.quantifier == "ANY" ? " OR " : " AND ") + ")", Type::of(Base::Boolean));
  }
  if (e.args[0]->kind == Expr::Kind::Row || e.args[1]->kind == Expr::Kind::Row) {
    const Expr &l = *e.args[0];
    const Expr &r = *e.args[1];
    if (l.kind != Expr::Kind::Row || (r.kind != Expr::Kind::Row && r.kind != Expr::Kind::Subquery)) fail(920);
    if (r.kind == Expr::Kind::Subquery) {
      std::vector<std::string> parts;
      for (const ExprPtr &x : l.args) parts.push_back(expr(*x, scope).sql);
      std::vector<ResultColumn> columns;
      std::string sub = query(*r.query, &scope, &columns);
      if (columns.size() != l.args.size()) fail(columns.size() > l.args.size() ? 913 : 947);
      return make("((" + join(parts, ",") + ") " + e.op + " (" + sub + "))", Type::of(Base::Boolean));
    }
    if (l.args.size() != r.args.size()) fail(l.args.size() > r.args.size() ? 913 : 947);
    std::vector<std::string> parts;
    for (size_t i = 0; i < l.args.size(); ++i) {
      T a = expr(*l.args[i], scope), b = expr(*r.args[i], scope);
      unify_compare(a, b);
      parts.push_back("(" + a.sql + " " + e.op + " " + b.sql + ")");
    }
    if (e.op == "=") return make("(" + join(parts, " AND ") + ")", Type::of(Base::Boolean));
    if (e.op == "<>") return make("NOT (" + join(parts, " AND ") + ")", Type::of(Base::Boolean));
    fail(920);
  }
  T a = expr(*e.args[0], scope);
  T b = expr(*e.args[1], scope);
  if (a.type.base == Base::Boolean || b.type.base == Base::Boolean) {
    if (!(a.type.base == Base::Boolean && b.type.base == Base::Boolean)) inconsistent(a.type, b.type);
  }
  unify_compare(a, b);
  T r = make("(" + a.sql + " " + e.op + " " + b.sql + ")", Type::of(Base::Boolean));
  r.aggregate = a.aggregate || b.aggregate;
  return r;
}

T Translator::in_list(const Expr &e, Scope &scope) {
  const Expr &left = *e.args[0];
  if (left.kind == Expr::Kind::Row) {
    // (a, b) IN ((1, 2), (3, 4))
    std::vector<std::string> rows;
    for (size_t i = 1; i < e.args.size(); ++i) {
      const Expr &row = *e.args[i];
      if (row.kind != Expr::Kind::Row || row.args.size() != left.args.size()) fail(920);
      std::vector<std::string> parts;
      for (size_t k = 0; k < row.args.size(); ++k) {
        T a = expr(*left.args[k], scope), b = expr(*row.args[k], scope);
        unify_compare(a, b);
        parts.push_back("(" + a.sql + " = " + b.sql + ")");
      }
      rows.push_back("(" + join(parts, " AND ") + ")");
    }
    std::string sql = "(" + join(rows, " OR ") + ")";
    return make(e.negated ? "NOT " + sql : sql, Type::of(Base::Boolean));
  }
  T value = expr(left, scope);
  std::vector<std::string> items;
  for (size_t i = 1; i < e.args.size(); ++i) {
    T v = value;
    T item = expr(*e.args[i], scope);
    unify_compare(v, item);
    if (i == 1) value = v;
    items.push_back(item.sql);
  }
  T r = make("(" + value.sql + (e.negated ? " NOT IN (" : " IN (") + join(items, ",") + "))", Type::of(Base::Boolean));
  r.aggregate = value.aggregate;
  return r;
}

T Translator::case_expr(const Expr &e, Scope &scope) {
  size_t i = 0;
  T operand;
  if (e.has_operand) operand = expr(*e.args[i++], scope);
  size_t pairs_end = e.args.size() - (e.has_else ? 1 : 0);
  std::vector<std::pair<std::string, T>> branches;
  Type result;
  bool aggregate = operand.aggregate;
  for (; i + 1 < pairs_end + 1 && i < pairs_end; i += 2) {
    std::string when;
    if (e.has_operand) {
      T o = operand;
      T v = expr(*e.args[i], scope);
      unify_compare(o, v);
      when = "(" + o.sql + " = " + v.sql + ")";
    } else {
      T c = condition(*e.args[i], scope);
      aggregate = aggregate || c.aggregate;
      when = c.sql;
    }
    T then = expr(*e.args[i + 1], scope);
    aggregate = aggregate || then.aggregate;
    if (result.base == Base::Unknown && !then.null) result = then.type;
    branches.emplace_back(when, std::move(then));
  }
  T otherwise;
  if (e.has_else) {
    otherwise = expr(*e.args.back(), scope);
    aggregate = aggregate || otherwise.aggregate;
    if (result.base == Base::Unknown && !otherwise.null) result = otherwise.type;
  }
  std::string sql = "CASE";
  for (auto &[when, then] : branches) {
    T converted = result.base == Base::Unknown ? then : convert(std::move(then), result);
    if (!then.null && result.base != Base::Unknown && is_numeric(result.base) != is_numeric(converted.type.base))
      inconsistent(result, converted.type);
    sql += " WHEN " + when + " THEN " + converted.sql;
  }
  if (e.has_else) sql += " ELSE " + (result.base == Base::Unknown ? otherwise : convert(otherwise, result)).sql;
  sql += " END";
  T r = make(sql, result);
  r.aggregate = aggregate;
  return r;
}

T Translator::subquery_value(const Expr &e, Scope &scope) {
  std::vector<ResultColumn> columns;
  std::string sub = query(*e.query, &scope, &columns);
  if (columns.size() != 1) fail(913);  // too many values
  std::string alias = new_alias();
  // A second row is ORA-01427: the rows pass through z_single.
  T r = make("(SELECT z_single(" + quote(alias) + "." + quote(columns[0].name) + ") FROM (" + sub + ") AS " +
                 quote(alias) + ")",
             columns[0].type);
  return r;
}

// Columns named by GROUP BY, and expressions GROUP BY names whole.
bool Translator::group_check(const Expr &e, Scope &scope, T *out) {
  if (!scope.grouped || scope.in_aggregate > 0 || scope.group_ok > 0 || !scope.has_group_by) return false;
  if (e.kind == Expr::Kind::Column || e.kind == Expr::Kind::Number || e.kind == Expr::Kind::String ||
      e.kind == Expr::Kind::Placeholder || e.kind == Expr::Kind::Null)
    return false;
  if (!scope.group_texts.count(normalized(e))) return false;
  ++scope.group_ok;
  try {
    *out = expr(e, scope);
  } catch (...) {
    --scope.group_ok;
    throw;
  }
  --scope.group_ok;
  return true;
}

// ---- Expressions ---------------------------------------------------------------------

T Translator::condition(const Expr &e, Scope &scope) {
  T c = expr(e, scope);
  if (c.type.base != Base::Boolean) fail(920);  // invalid relational operator
  return c;
}

T Translator::expr(const Expr &e, Scope &scope) {
  T grouped;
  // A grouping expression this grouping set leaves out reads as NULL.
  if (!scope.rolled_up.empty() && scope.in_aggregate == 0 && scope.group_ok == 0 &&
      scope.rolled_up.count(grouping_text(e))) {
    ++scope.group_ok;
    T typed;
    try {
      typed = expr(e, scope);
    } catch (...) {
      --scope.group_ok;
      throw;
    }
    --scope.group_ok;
    T r = make("NULL", typed.type);
    r.nullable = true;
    return r;
  }
  if (group_check(e, scope, &grouped)) return grouped;
  switch (e.kind) {
    case Expr::Kind::Number: {
      std::string text = e.text;
      if (!text.empty() && (text.back() == 'F' || text.back() == 'D')) {
        text.pop_back();
        T r = make(text.find_first_of(".E") == std::string::npos ? text + ".0" : text,
                   Type::of(e.text.back() == 'F' ? Base::BinaryFloat : Base::BinaryDouble));
        r.literal = true;
        return r;
      }
      std::string bytes;
      if (int code = number_from_text(text, &bytes)) fail(code);
      T r = make(blob_literal(bytes), Type::number());
      r.literal = true;
      r.text_value = text;
      return r;
    }
    case Expr::Kind::String: {
      if (e.text.empty()) return null_of(Type::of(Base::Unknown));
      Type t = Type::of(Base::Char);
      t.length = static_cast<int32_t>(e.text.size());
      T r = make(text_literal(e.text), t);
      r.literal = true;
      r.text_value = e.text;
      return r;
    }
    case Expr::Kind::Null:
      return null_of(Type::of(Base::Unknown));
    case Expr::Kind::Boolean: {
      T r = make(e.text == "TRUE" ? "1" : "0", Type::of(Base::Boolean));
      r.literal = true;
      return r;
    }
    case Expr::Kind::DateLiteral: {
      oracle::Date d;
      if (int code = oracle::from_text(e.text, "YYYY-MM-DD", "AMERICAN", d, &d)) fail(code == 1830 ? 1861 : code);
      T r = make(std::to_string(date_seconds(d)), Type::of(Base::Date));
      r.literal = true;
      return r;
    }
    case Expr::Kind::TimestampLiteral: {
      oracle::Date d;
      if (int code = oracle::from_text(e.text, "YYYY-MM-DD HH24:MI:SS.FF9", "AMERICAN", d, &d))
        fail(code == 1830 ? 1861 : code);
      T r = make(std::to_string(timestamp_micros(d)), Type::of(Base::Timestamp));
      r.literal = true;
      return r;
    }
    case Expr::Kind::Interval:
      fail(3001, "INTERVAL");
    case Expr::Kind::Column:
      return column(e, scope);
    case Expr::Kind::Placeholder:
      return placeholder(e, nullptr);
    case Expr::Kind::Star:
      fail(936);
    case Expr::Kind::Unary: {
      if (e.op == "NOT") {
        T c = condition(*e.args[0], scope);
        T r = make("(NOT " + c.sql + ")", Type::of(Base::Boolean));
        r.aggregate = c.aggregate;
        return r;
      }
      if (e.op == "PRIOR") {
        if (!scope.connect_by) fail(976);  // PRIOR not allowed here
        const Expr &inner = *e.args[0];
        if (inner.kind != Expr::Kind::Column) fail(3001, "PRIOR of an expression");
        auto it = scope.prior.find(inner.name.last());
        if (it == scope.prior.end()) fail(904, quote(inner.name.last()));
        T r = column(inner, scope);
        r.sql = it->second;
        return r;
      }
      if (e.op == "CONNECT_BY_ROOT") {
        auto it = scope.hierarchy_columns.find(normalized(e));
        if (it == scope.hierarchy_columns.end()) fail(30002);  // SYS_CONNECT_BY_PATH function is not allowed here
        T inner = expr(*e.args[0], scope);
        return make(it->second, inner.type);
      }
      T x = expr(*e.args[0], scope);
      if (e.op == "+") {
        if (x.type.base == Base::Date || is_lob(x.type.base)) inconsistent(Type::number(), x.type);
        return x;
      }
      if (x.type.base == Base::BinaryDouble || x.type.base == Base::BinaryFloat) return make("(-" + x.sql + ")", x.type);
      if (x.literal && x.type.base == Base::Number) {
        std::string bytes;
        number_from_text("-" + x.text_value, &bytes);
        T r = make(blob_literal(bytes), Type::number());
        r.literal = true;
        r.text_value = "-" + x.text_value;
        return r;
      }
      T n = to_number(std::move(x));
      T r = make("z_neg(" + n.sql + ")", Type::number());
      r.aggregate = n.aggregate;
      return r;
    }
    case Expr::Kind::Binary:
      return binary(e, scope);
    case Expr::Kind::Compare:
      return compare(e, scope);
    case Expr::Kind::And: case Expr::Kind::Or: {
      T a = condition(*e.args[0], scope);
      T b = condition(*e.args[1], scope);
      T r = make("(" + a.sql + (e.kind == Expr::Kind::And ? " AND " : " OR ") + b.sql + ")", Type::of(Base::Boolean));
      r.aggregate = a.aggregate || b.aggregate;
      return r;
    }
    case Expr::Kind::IsNull: {
      T x = expr(*e.args[0], scope);
      T r = make("(" + x.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)"), Type::of(Base::Boolean));
      r.aggregate = x.aggregate;
      return r;
    }
    case Expr::Kind::Like: {
      T a = to_text(expr(*e.args[0], scope));
      T p = to_text(expr(*e.args[1], scope));
      std::string sql = "(" + a.sql + (e.negated ? " NOT LIKE " : " LIKE ") + p.sql;
      if (e.args.size() > 2) sql += " ESCAPE " + to_text(expr(*e.args[2], scope)).sql;
      T r = make(sql + ")", Type::of(Base::Boolean));
      r.aggregate = a.aggregate;
      return r;
    }
    case Expr::Kind::Between: {
      T v = expr(*e.args[0], scope);
      T low = expr(*e.args[1], scope);
      T high = expr(*e.args[2], scope);
      T v2 = v;
      unify_compare(v, low);
      unify_compare(v2, high);
      T r = make("(" + v.sql + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + low.sql + " AND " + high.sql + ")",
                 Type::of(Base::Boolean));
      r.aggregate = v.aggregate;
      return r;
    }
    case Expr::Kind::InList:
      return in_list(e, scope);
    case Expr::Kind::InQuery: {
      const Expr &left = *e.args[0];
      std::vector<ResultColumn> columns;
      std::string value_sql;
      std::vector<Type> want;
      if (left.kind == Expr::Kind::Row) {
        std::vector<std::string> parts;
        for (const ExprPtr &x : left.args) {
          T t = expr(*x, scope);
          want.push_back(t.type);
          parts.push_back(t.sql);
        }
        value_sql = "(" + join(parts, ",") + ")";
      } else {
        T v = expr(left, scope);
        want.push_back(v.type);
        value_sql = v.sql;
      }
      bool any_unknown = false;
      for (const Type &w : want) any_unknown = any_unknown || w.base == Base::Unknown;
      std::string sub = query(*e.query, &scope, &columns, any_unknown ? nullptr : &want);
      if (columns.size() != want.size()) fail(columns.size() > want.size() ? 913 : 947);
      return make("(" + value_sql + (e.negated ? " NOT IN (" : " IN (") + sub + "))", Type::of(Base::Boolean));
    }
    case Expr::Kind::Exists: {
      std::vector<ResultColumn> columns;
      std::string sub = query(*e.query, &scope, &columns);
      return make("EXISTS (" + sub + ")", Type::of(Base::Boolean));
    }
    case Expr::Kind::Case:
      return case_expr(e, scope);
    case Expr::Kind::Function:
      return function(e, scope);
    case Expr::Kind::Cast: {
      T x = expr(*e.args[0], scope);
      const Type &t = e.cast_type;
      T r = convert(std::move(x), t);
      if (t.base == Base::Number) r.sql = fit_sql(r.sql, t, "");
      if (t.base == Base::Char || t.base == Base::NChar)
        r.sql = "z_rpad(" + r.sql + "," + std::to_string(t.length) + ")";
      r.type = t;
      return r;
    }
    case Expr::Kind::Subquery:
      return subquery_value(e, scope);
    case Expr::Kind::Row:
      fail(907);
    case Expr::Kind::Sequence:
      return sequence(e);
    case Expr::Kind::RowNum:
      if (scope.rownum_window)
        return make("z_num(row_number() OVER (" +
                        (scope.rownum_order.empty() ? std::string() : "ORDER BY " + scope.rownum_order) + "))",
                    Type::number());
      fail(3001, "ROWNUM here");
    case Expr::Kind::Level:
      if (scope.level_sql.empty()) fail(976);
      return make(scope.level_sql, Type::number());
    case Expr::Kind::Rowid:
      return rowid(e, scope);
    case Expr::Kind::Outer:
      if (scope.outer_marks == 0) fail(30563);  // outer join operator (+) is not allowed here
      return expr(*e.args[0], scope);
    case Expr::Kind::Extract: {
      T source = expr(*e.args[0], scope);
      if (source.type.base == Base::Timestamp && e.text == "SECOND")
        return make("z_ts_second(" + source.sql + ")", Type::number());
      T d = to_date(std::move(source));
      static const char *const kFields[] = {"YEAR", "MONTH", "DAY", "HOUR", "MINUTE", "SECOND"};
      bool known = false;
      for (const char *f : kFields) known = known || e.text == f;
      if (!known) fail(30076, e.text);
      return make("z_extract(" + text_literal(e.text) + "," + d.sql + ")", Type::number());
    }
    case Expr::Kind::Trim: {
      std::string set = "NULL";
      size_t value_index = 0;
      if (e.args.size() == 2) {
        set = to_text(expr(*e.args[0], scope)).sql;
        value_index = 1;
      }
      T v = to_text(expr(*e.args[value_index], scope));
      return make("z_trim(" + text_literal(e.text) + "," + set + "," + v.sql + ")", v.type);
    }
    case Expr::Kind::Default:
      fail(936);
  }
  fail(936);
}

// ---- Functions -------------------------------------------------------------------------

T Translator::aggregate(const Expr &e, Scope &scope, const std::string &name) {
  if (!scope.aggregates_allowed) fail(934);  // group function is not allowed here
  if (scope.in_aggregate > 0) fail(935);     // group function is nested too deeply
  ++scope.in_aggregate;
  T r;
  try {
    std::string distinct = e.distinct ? "DISTINCT " : "";
    if (name == "COUNT") {
      if (e.star) {
        r = make("z_num(count(*))", Type::number());
      } else {
        if (e.args.size() != 1) fail(909);
        T x = expr(*e.args[0], scope);
        r = make("z_num(count(" + distinct + x.sql + "))", Type::number());
      }
    } else if (name == "SUM" || name == "AVG" || name == "STDDEV" || name == "VARIANCE" ||
               name == "STDDEV_SAMP" || name == "VAR_SAMP") {
      if (e.args.size() != 1) fail(909);
      T x = to_number(expr(*e.args[0], scope));
      const char *f = name == "SUM" ? "z_sum(" : name == "AVG" ? "z_avg(" :
                      (name == "VARIANCE" || name == "VAR_SAMP") ? "z_variance(" : "z_stddev(";
      r = make(f + distinct + x.sql + ")", Type::number());
    } else if (name == "MIN" || name == "MAX") {
      if (e.args.size() != 1) fail(909);
      T x = expr(*e.args[0], scope);
      if (is_lob(x.type.base)) inconsistent(Type::of(Base::Unknown), x.type);
      r = make((name == "MIN" ? "min(" : "max(") + distinct + x.sql + ")", x.type);
    } else if (name == "LISTAGG") {
      // LISTAGG(x [, sep]) WITHIN GROUP (ORDER BY ...): the keys go with each
      // value, and their directions as "A"/"D" then "F"/"L" for NULLs.
      if (e.args.empty() || e.args.size() > 2) fail(909);
      if (e.distinct) fail(3001, "LISTAGG (DISTINCT ...)");
      T x = to_text(expr(*e.args[0], scope));
      std::string separator = "NULL";
      if (e.args.size() == 2) {
        T sep = to_text(expr(*e.args[1], scope));
        if (!sep.literal && !sep.null) fail(30496);  // argument should be a constant
        separator = sep.sql;
      }
      std::string directions;
      std::vector<std::string> keys;
      for (const OrderItem &o : e.within_order) {
        T k = expr(*o.expr, scope);
        if (is_lob(k.type.base)) inconsistent(Type::of(Base::Unknown), k.type);
        int nulls = o.nulls ? o.nulls : (o.descending ? 1 : 2);
        directions += o.descending ? "D" : "A";
        directions += nulls == 1 ? "F" : "L";
        keys.push_back(k.sql);
      }
      std::string args = x.sql + "," + separator + "," + text_literal(directions);
      for (const std::string &k : keys) args += "," + k;
      r = make("z_listagg(" + args + ")", text_type(kMaxVarchar));
    } else {
      fail(3001, name);
    }
  } catch (...) {
    --scope.in_aggregate;
    throw;
  }
  --scope.in_aggregate;
  r.aggregate = true;
  return r;
}

T Translator::analytic(const Expr &e, Scope &scope, const std::string &name) {
  if (!scope.windows_allowed) fail(30483);  // window functions are not allowed here
  std::string over = " OVER (";
  std::vector<std::string> parts;
  if (!e.over->partition.empty()) {
    std::vector<std::string> keys;
    for (const ExprPtr &p : e.over->partition) keys.push_back(expr(*p, scope).sql);
    over += "PARTITION BY " + join(keys, ",");
  }
  if (!e.over->order.empty()) {
    std::vector<std::string> keys;
    for (const OrderItem &o : e.over->order) {
      T k = expr(*o.expr, scope);
      std::string key = k.sql + (o.descending ? " DESC" : " ASC");
      int nulls = o.nulls ? o.nulls : (o.descending ? 1 : 2);
      key += nulls == 1 ? " NULLS FIRST" : " NULLS LAST";
      keys.push_back(key);
    }
    over += std::string(e.over->partition.empty() ? "" : " ") + "ORDER BY " + join(keys, ",");
  }
  if (!e.over->frame.empty()) over += " " + e.over->frame;
  over += ")";
  auto arg = [&](size_t i) { return expr(*e.args.at(i), scope); };
  if (name == "ROW_NUMBER" || name == "RANK" || name == "DENSE_RANK") {
    if (!e.over->has_order && name != "ROW_NUMBER") fail(30485);  // missing ORDER BY expression
    std::string f = name == "ROW_NUMBER" ? "row_number()" : name == "RANK" ? "rank()" : "dense_rank()";
    return make("z_num(" + f + over + ")", Type::number());
  }
  if (name == "NTILE") {
    T n = to_number(arg(0));
    return make("z_num(ntile(z_num2real(" + n.sql + "))" + over + ")", Type::number());
  }
  if (name == "CUME_DIST" || name == "PERCENT_RANK") {
    std::string f = name == "CUME_DIST" ? "cume_dist()" : "percent_rank()";
    return make("z_real2num(" + f + over + ")", Type::number());
  }
  if (name == "LAG" || name == "LEAD") {
    T x = arg(0);
    std::string sql = (name == "LAG" ? "lag(" : "lead(") + x.sql;
    if (e.args.size() > 1) sql += ",z_num2real(" + to_number(arg(1)).sql + ")";
    if (e.args.size() > 2) sql += "," + convert(arg(2), x.type).sql;
    return make(sql + ")" + over, x.type);
  }
  if (name == "FIRST_VALUE" || name == "LAST_VALUE") {
    T x = arg(0);
    return make((name == "FIRST_VALUE" ? "first_value(" : "last_value(") + x.sql + ")" + over, x.type);
  }
  if (name == "COUNT") {
    if (e.star) return make("z_num(count(*)" + over + ")", Type::number());
    return make("z_num(count(" + arg(0).sql + ")" + over + ")", Type::number());
  }
  if (name == "MIN" || name == "MAX") {
    T x = arg(0);
    return make((name == "MIN" ? "min(" : "max(") + x.sql + ")" + over, x.type);
  }
  if (name == "SUM" || name == "AVG") {
    T x = to_number(arg(0));
    return make((name == "SUM" ? "z_sum(" : "z_avg(") + x.sql + ")" + over, Type::number());
  }
  fail(3001, name + " OVER");
}

T Translator::stored_function(const Expr &e, Scope &scope, const std::string &name) {
  const Statement *unit = stored_unit(session_, name);
  if (unit == nullptr) return T{};
  if (unit->kind != Statement::Kind::CreateFunction) fail(904, quote(name));
  if (e.over) fail(904, quote(name));
  // Arguments by position, or by name with =>.
  std::vector<const Expr *> given(unit->parameters.size(), nullptr);
  size_t position = 0;
  for (const ExprPtr &a : e.args) {
    if (a->kind == Expr::Kind::Binary && a->op == "=>" && a->args[0]->kind == Expr::Kind::Column) {
      size_t k = 0;
      while (k < unit->parameters.size() && unit->parameters[k].name != a->args[0]->name.last()) ++k;
      if (k == unit->parameters.size()) fail(6553, "PLS-306: wrong number or types of arguments in call to '" + name + "'");
      given[k] = a->args[1].get();
      continue;
    }
    if (position >= given.size()) fail(6553, "PLS-306: wrong number or types of arguments in call to '" + name + "'");
    given[position++] = a.get();
  }
  std::vector<std::string> parts{"'" + name + "'"};
  size_t last = 0;
  for (size_t k = 0; k < given.size(); ++k)
    if (given[k]) last = k + 1;
  for (size_t k = 0; k < last; ++k) {
    const PlParameter &p = unit->parameters[k];
    if (p.mode != "IN") fail(6572, name);  // function has out arguments
    if (given[k] == nullptr) {
      if (!p.default_value) fail(6553, "PLS-306: wrong number or types of arguments in call to '" + name + "'");
      parts.push_back("NULL");
      continue;
    }
    parts.push_back(convert(expr(*given[k], scope), parameter_type(session_, p.type, p.type_of)).sql);
  }
  for (size_t k = last; k < given.size(); ++k)
    if (!unit->parameters[k].default_value)
      fail(6553, "PLS-306: wrong number or types of arguments in call to '" + name + "'");
  return make("z_call(" + join(parts, ",") + ")", parameter_type(session_, unit->return_type, unit->return_type_of));
}

T Translator::function(const Expr &e, Scope &scope) {
  std::string name = e.name.last();
  if (e.name.parts.size() == 2 && e.name.parts[0] == "SYS") name = e.name.parts[1];
  else if (e.name.parts.size() >= 2 && e.name.parts[0] != "STANDARD") {
    if (e.name.parts[0] == "DBMS_RANDOM" || e.name.parts[0] == "DBMS_LOB" || e.name.parts[0] == "UTL_RAW") {
      name = e.name.parts[0] + "." + e.name.last();
    } else {
      if (e.name.parts.size() == 2 && e.name.parts[0] == session_.user) {
        T r = stored_function(e, scope, name);
        if (!r.sql.empty()) return r;
      }
      fail(904, quote(e.name.parts[0]) + "." + quote(e.name.last()));
    }
  }
  if (e.over) return analytic(e, scope, name);
  if (is_aggregate_name(name)) return aggregate(e, scope, name);
  if (name == "SYS_CONNECT_BY_PATH" && e.name.parts.size() == 1) {
    auto it = scope.hierarchy_columns.find(normalized(e));
    if (it == scope.hierarchy_columns.end()) fail(30002);  // SYS_CONNECT_BY_PATH function is not allowed here
    return make(it->second, text_type(kMaxVarchar));
  }
  if (name == "GROUPING" || name == "GROUPING_ID") {
    // 1 where the grouping set leaves the expression out; GROUPING_ID the
    // bits of its arguments, the first the highest.
    if (!scope.grouped || !scope.aggregates_allowed) fail(934);
    if (e.args.empty() || (name == "GROUPING" && e.args.size() != 1)) fail(909);
    int64_t bits = 0;
    for (const ExprPtr &a : e.args) {
      std::string text = grouping_text(*a);
      bool known = std::find(scope.grouping_texts.begin(), scope.grouping_texts.end(), text) != scope.grouping_texts.end();
      if (!known) fail(30481);  // GROUPING function only supported with GROUP BY CUBE or ROLLUP
      bits = bits * 2 + (scope.rolled_up.count(text) ? 1 : 0);
    }
    T r = make(blob_literal(number_from_int64(bits)), Type::number());
    r.aggregate = true;
    r.nullable = false;
    return r;
  }
  size_t n = e.args.size();
  auto need = [&](size_t low, size_t high) {
    if (n < low) fail(938);   // not enough arguments for function
    if (n > high) fail(939);  // too many arguments for function
  };
  auto arg = [&](size_t i) { return expr(*e.args.at(i), scope); };
  bool aggregate_inside = false;
  auto num = [&](size_t i) {
    T t = to_number(arg(i));
    aggregate_inside = aggregate_inside || t.aggregate;
    return t.sql;
  };
  auto txt = [&](size_t i) {
    T t = to_text(arg(i));
    aggregate_inside = aggregate_inside || t.aggregate;
    return t.sql;
  };
  auto done = [&](T r) {
    r.aggregate = r.aggregate || aggregate_inside;
    return r;
  };
  auto number_of = [&](const char *f, size_t low, size_t high) {
    need(low, high);
    std::vector<std::string> parts;
    for (size_t i = 0; i < n; ++i) parts.push_back(num(i));
    return done(make(std::string(f) + "(" + join(parts, ",") + ")", Type::number()));
  };

  // Numbers.
  static const std::pair<const char *, const char *> kUnary[] = {
      {"ABS", "z_abs"},   {"CEIL", "z_ceil"}, {"FLOOR", "z_floor"}, {"SIGN", "z_sign"}, {"SQRT", "z_sqrt"},
      {"EXP", "z_exp"},   {"LN", "z_ln"},     {"SIN", "z_sin"},     {"COS", "z_cos"},   {"TAN", "z_tan"},
      {"ASIN", "z_asin"}, {"ACOS", "z_acos"}, {"ATAN", "z_atan"},   {"SINH", "z_sinh"}, {"COSH", "z_cosh"},
      {"TANH", "z_tanh"}};
  for (const auto &[oracle_name, f] : kUnary)
    if (name == oracle_name) return number_of(f, 1, 1);
  if (name == "MOD") return number_of("z_mod", 2, 2);
  if (name == "REMAINDER") return number_of("z_remainder", 2, 2);
  if (name == "POWER") return number_of("z_power", 2, 2);
  if (name == "LOG") return number_of("z_log", 2, 2);
  if (name == "ATAN2") return number_of("z_atan2", 2, 2);
  if (name == "BITAND") return number_of("z_bitand", 2, 2);
  if (name == "ROUND" || name == "TRUNC") {
    need(1, 2);
    T x = arg(0);
    aggregate_inside = x.aggregate;
    if (is_datetime(x.type.base)) {
      std::string sql = (name == "ROUND" ? "z_round_d(" : "z_trunc_d(") + to_date(std::move(x)).sql;
      if (n > 1) sql += "," + txt(1);
      return done(make(sql + ")", Type::of(Base::Date)));
    }
    std::string sql = (name == "ROUND" ? "z_round(" : "z_trunc(") + to_number(std::move(x)).sql;
    if (n > 1) sql += "," + num(1);
    return done(make(sql + ")", Type::number()));
  }
  // Text.
  if (name == "UPPER" || name == "LOWER" || name == "INITCAP" || name == "NLS_UPPER" || name == "NLS_LOWER" ||
      name == "NLS_INITCAP") {
    need(1, 2);
    T x = to_text(arg(0));
    std::string base = name.rfind("NLS_", 0) == 0 ? name.substr(4) : name;
    const char *f = base == "UPPER" ? "z_upper(" : base == "LOWER" ? "z_lower(" : "z_initcap(";
    Type t = x.type.base == Base::Unknown ? text_type() : x.type;
    if (t.base == Base::Char) t.base = Base::Varchar2;
    return done(make(f + x.sql + ")", t));
  }
  if (name == "LENGTH" || name == "LENGTHB" || name == "LENGTHC") {
    need(1, 1);
    T x = arg(0);
    if (is_lob(x.type.base)) return done(make("z_lob_length(" + x.sql + ")", Type::number()));
    return done(make((name == "LENGTHB" ? "z_lengthb(" : "z_length(") + to_text(std::move(x)).sql + ")",
                     Type::number()));
  }
  if (name == "SUBSTR" || name == "SUBSTRB" || name == "SUBSTRC") {
    need(2, 3);
    T s = arg(0);
    Type t = s.type.base == Base::Unknown || s.type.base == Base::Char ? text_type(s.type.length) : s.type;
    if (is_lob(s.type.base)) t = text_type(32767);
    std::string sql = "z_substr(" + to_text(std::move(s)).sql + "," + num(1);
    if (n > 2) sql += "," + num(2);
    if (!is_character(t.base)) t = text_type();
    return done(make(sql + ")", t));
  }
  if (name == "INSTR" || name == "INSTRB") {
    need(2, 4);
    std::string sql = "z_instr(" + txt(0) + "," + txt(1);
    for (size_t i = 2; i < n; ++i) sql += "," + num(i);
    return done(make(sql + ")", Type::number()));
  }
  if (name == "LPAD" || name == "RPAD") {
    need(2, 3);
    std::string sql = (name == "LPAD" ? "z_lpad(" : "z_rpad(") + txt(0) + "," + num(1);
    if (n > 2) sql += "," + txt(2);
    int32_t length = kMaxVarchar;
    if (e.args[1]->kind == Expr::Kind::Number) length = std::atoi(e.args[1]->text.c_str());
    return done(make(sql + ")", text_type(length)));
  }
  if (name == "LTRIM" || name == "RTRIM") {
    need(1, 2);
    T s = to_text(arg(0));
    std::string sql = (name == "LTRIM" ? "z_ltrim(" : "z_rtrim(") + s.sql;
    if (n > 1) sql += "," + txt(1);
    Type t = s.type.base == Base::Char ? text_type(s.type.length) : s.type;
    return done(make(sql + ")", t));
  }
  if (name == "REPLACE") {
    need(2, 3);
    std::string sql = "z_replace(" + txt(0) + "," + txt(1);
    if (n > 2) sql += "," + txt(2);
    return done(make(sql + ")", text_type()));
  }
  if (name == "TRANSLATE") {
    need(3, 3);
    return done(make("z_translate(" + txt(0) + "," + txt(1) + "," + txt(2) + ")", text_type()));
  }
  if (name == "CONCAT") {
    need(2, 2);
    T a = to_text(arg(0)), b = to_text(arg(1));
    return done(make("z_cat(" + a.sql + "," + b.sql + ")", text_type(a.type.length + b.type.length)));
  }
  if (name == "CHR" || name == "NCHR") {
    need(1, 1);
    return done(make("z_chr(" + num(0) + ")", text_type(4)));
  }
  if (name == "ASCII") {
    need(1, 1);
    return done(make("z_ascii(" + txt(0) + ")", Type::number()));
  }
  // NULL handling.
  if (name == "NVL") {
    need(2, 2);
    T a = arg(0), b = arg(1);
    Type t = a.null ? b.type : a.type;
    T converted = a.null ? b : convert(std::move(b), a.type);
    T r = make("coalesce(" + a.sql + "," + converted.sql + ")", t);
    r.aggregate = a.aggregate || converted.aggregate;
    return r;
  }
  if (name == "NVL2") {
    need(3, 3);
    T a = arg(0), b = arg(1), c = arg(2);
    Type t = b.null ? c.type : b.type;
    T c2 = b.null ? c : convert(std::move(c), b.type);
    T r = make("CASE WHEN " + a.sql + " IS NOT NULL THEN " + b.sql + " ELSE " + c2.sql + " END", t);
    r.aggregate = a.aggregate || b.aggregate || c2.aggregate;
    return r;
  }
  if (name == "COALESCE") {
    if (n < 2) fail(938);
    std::vector<T> values;
    Type t;
    for (size_t i = 0; i < n; ++i) {
      values.push_back(arg(i));
      if (t.base == Base::Unknown && !values.back().null) t = values.back().type;
    }
    std::vector<std::string> parts;
    bool aggregate = false;
    for (T &v : values) {
      if (!v.null && t.base != Base::Unknown && is_numeric(t.base) != is_numeric(v.type.base) &&
          v.param < 0 && !(is_character(t.base) && is_character(v.type.base)))
        inconsistent(t, v.type);
      T c = t.base == Base::Unknown ? v : convert(std::move(v), t);
      aggregate = aggregate || c.aggregate;
      parts.push_back(c.sql);
    }
    T r = make("coalesce(" + join(parts, ",") + ")", t);
    r.aggregate = aggregate;
    return r;
  }
  if (name == "NULLIF") {
    need(2, 2);
    T a = arg(0), b = arg(1);
    if (a.null) fail(932, "-\x1f" "CHAR");
    unify_compare(a, b);
    return make("nullif(" + a.sql + "," + b.sql + ")", a.type);
  }
  if (name == "DECODE") {
    if (n < 3) fail(938);
    T x = arg(0);
    size_t pairs = (n - 1) / 2;
    bool has_default = (n - 1) % 2 == 1;
    Type result;
    for (size_t k = 0; k < pairs; ++k) {
      T r = arg(2 + 2 * k);
      if (!r.null) {
        result = r.type;
        break;
      }
    }
    std::string sql = "CASE";
    for (size_t k = 0; k < pairs; ++k) {
      T o = x;
      T s = arg(1 + 2 * k);
      unify_compare(o, s);
      T r = arg(2 + 2 * k);
      T r2 = result.base == Base::Unknown ? r : convert(std::move(r), result);
      // DECODE matches NULL with NULL.
      sql += " WHEN " + o.sql + " IS " + s.sql + " THEN " + r2.sql;
    }
    if (has_default) {
      T d = arg(n - 1);
      sql += " ELSE " + (result.base == Base::Unknown ? d : convert(std::move(d), result)).sql;
    }
    return make(sql + " END", result);
  }
  if (name == "GREATEST" || name == "LEAST") {
    if (n < 1) fail(938);
    T first = arg(0);
    Type t = first.type.base == Base::Char ? text_type(first.type.length) : first.type;
    std::vector<std::string> parts{first.sql};
    for (size_t i = 1; i < n; ++i) parts.push_back(convert(arg(i), t).sql);
    if (n == 1) return first;
    return make((name == "GREATEST" ? "max(" : "min(") + join(parts, ",") + ")", t);
  }
  // Conversions.
  if (name == "TO_CHAR" || name == "TO_NCHAR") {
    need(1, 3);
    T x = arg(0);
    aggregate_inside = x.aggregate;
    if (x.null) return null_of(text_type());
    if (x.param >= 0 && !is_character(x.type.base) && !is_numeric(x.type.base) && !is_datetime(x.type.base))
      x = to_text(x);
    std::string rest;
    for (size_t i = 1; i < n; ++i) rest += "," + txt(i);
    if (is_numeric(x.type.base)) return done(make("z_to_char_n(" + to_number(std::move(x)).sql + rest + ")", text_type(64)));
    if (x.type.base == Base::Date) return done(make("z_to_char_d(" + x.sql + rest + ")", text_type(75)));
    if (x.type.base == Base::Timestamp) return done(make("z_to_char_t(" + x.sql + rest + ")", text_type(75)));
    if (is_character(x.type.base)) {
      if (n > 1) {
        // TO_CHAR(text, format): the text is read as a number first.
        return done(make("z_to_char_n(" + to_number(std::move(x)).sql + rest + ")", text_type(64)));
      }
      return done(to_text(std::move(x)));
    }
    return done(to_text(std::move(x)));
  }
  if (name == "TO_NUMBER") {
    need(1, 3);
    T x = arg(0);
    if (is_numeric(x.type.base) && n == 1) return to_number(std::move(x));
    std::string sql = "z_to_number(" + to_text(std::move(x)).sql;
    for (size_t i = 1; i < n; ++i) sql += "," + txt(i);
    return done(make(sql + ")", Type::number()));
  }
  if (name == "TO_DATE" || name == "TO_TIMESTAMP") {
    need(1, 3);
    Type to = Type::of(name == "TO_DATE" ? Base::Date : Base::Timestamp);
    T x = arg(0);
    if (x.type.base == to.base && n == 1) return x;
    std::string sql = (name == "TO_DATE" ? "z_to_date(" : "z_to_timestamp(") + to_text(std::move(x)).sql;
    for (size_t i = 1; i < n; ++i) sql += "," + txt(i);
    return done(make(sql + ")", to));
  }
  if (name == "TO_CLOB" || name == "TO_NCLOB") {
    need(1, 1);
    return done(to_text(arg(0)));
  }
  if (name == "RAWTOHEX") {
    need(1, 1);
    return done(make("z_rawtohex(" + to_raw(arg(0)).sql + ")", text_type(kMaxVarchar)));
  }
  if (name == "HEXTORAW") {
    need(1, 1);
    Type raw = Type::of(Base::Raw);
    raw.length = kMaxRaw;
    return done(make("z_hextoraw(" + txt(0) + ")", raw));
  }
  if (name == "UTL_RAW.CAST_TO_RAW") {
    need(1, 1);
    Type raw = Type::of(Base::Raw);
    raw.length = kMaxRaw;
    return done(make("CAST(" + txt(0) + " AS BLOB)", raw));
  }
  if (name == "UTL_RAW.CAST_TO_VARCHAR2") {
    need(1, 1);
    return done(make("CAST(" + to_raw(arg(0)).sql + " AS TEXT)", text_type()));
  }
  // Dates.
  if (name == "SYSDATE" || name == "CURRENT_DATE") {
    need(0, 0);
    return make("z_sysdate()", Type::of(Base::Date));
  }
  if (name == "SYSTIMESTAMP" || name == "CURRENT_TIMESTAMP" || name == "LOCALTIMESTAMP") {
    // Without a time zone: the session's is the database's.
    need(0, 1);
    return make("z_systimestamp()", Type::of(Base::Timestamp));
  }
  if (name == "ADD_MONTHS") {
    need(2, 2);
    return done(make("z_add_months(" + to_date(arg(0)).sql + "," + num(1) + ")", Type::of(Base::Date)));
  }
  if (name == "MONTHS_BETWEEN") {
    need(2, 2);
    return done(make("z_months_between(" + to_date(arg(0)).sql + "," + to_date(arg(1)).sql + ")", Type::number()));
  }
  if (name == "LAST_DAY") {
    need(1, 1);
    return done(make("z_last_day(" + to_date(arg(0)).sql + ")", Type::of(Base::Date)));
  }
  if (name == "NEXT_DAY") {
    need(2, 2);
    return done(make("z_next_day(" + to_date(arg(0)).sql + "," + txt(1) + ")", Type::of(Base::Date)));
  }
  // The session.
  if (name == "USER") {
    need(0, 0);
    return make(text_literal(session_.user), text_type(128));
  }
  if (name == "UID") {
    need(0, 0);
    return make(blob_literal(number_from_int64(100)), Type::number());
  }
  if (name == "SYS_GUID") {
    need(0, 0);
    Type raw = Type::of(Base::Raw);
    raw.length = 16;
    return make("z_guid()", raw);
  }
  if (name == "EMPTY_CLOB" || name == "EMPTY_BLOB") {
    need(0, 0);
    return make("z_lob_new(" + std::string(name == "EMPTY_CLOB" ? "''" : "X''") + ")",
                Type::of(name == "EMPTY_CLOB" ? Base::Clob : Base::Blob));
  }
  if (name == "DBMS_RANDOM.VALUE") {
    need(0, 2);
    if (n == 0) return make("z_real2num((random() / 18446744073709551616.0) + 0.5)", Type::number());
    std::string low = num(0), high = num(1);
    return done(make("z_add(" + low + ",z_mul(z_sub(" + high + "," + low +
                         "),z_real2num((random() / 18446744073709551616.0) + 0.5)))",
                     Type::number()));
  }
  if (name == "DBMS_LOB.GETLENGTH") {
    need(1, 1);
    return done(make("z_lob_length(" + arg(0).sql + ")", Type::number()));
  }
  if (name == "DBMS_LOB.SUBSTR") {
    need(1, 3);
    T lob = arg(0);
    std::string amount = n > 1 ? num(1) : blob_literal(number_from_int64(32767));
    std::string offset = n > 2 ? num(2) : blob_literal(number_from_int64(1));
    if (lob.type.base == Base::Blob)
      return done(make("z_lob_substr(" + lob.sql + "," + amount + "," + offset + ")", Type::of(Base::Raw)));
    return done(make("z_lob_substr(" + lob.sql + "," + amount + "," + offset + ")", text_type(32767)));
  }
  if (name == "LNNVL") {
    need(1, 1);
    T c = condition(*e.args[0], scope);
    return make("(NOT coalesce(" + c.sql + ",0))", Type::of(Base::Boolean));
  }
  T r = stored_function(e, scope, name);
  if (!r.sql.empty()) return r;
  // Oracle's own functions this database does not have are named as such.
  static const char *const kUnsupported[] = {
      "REGEXP_LIKE", "REGEXP_SUBSTR", "REGEXP_INSTR", "REGEXP_REPLACE", "REGEXP_COUNT", "XMLELEMENT",
      "XMLAGG", "XMLFOREST", "XMLTYPE", "JSON_VALUE", "JSON_QUERY", "JSON_OBJECT", "JSON_ARRAY",
      "JSON_TABLE", "SYS_XMLGEN", "PERCENTILE_CONT", "PERCENTILE_DISC", "TO_DSINTERVAL",
      "TO_YMINTERVAL", "NUMTODSINTERVAL", "NUMTOYMINTERVAL", "FROM_TZ", "SYS_EXTRACT_UTC", "TZ_OFFSET"};
  for (const char *f : kUnsupported)
    if (name == f) fail(3001, name);
  fail(904, quote(name));
}

}  // namespace zec::sql::detail
