// The engine's SQLite functions: what translated statements call for
// Oracle's semantics. NUMBER values arrive and leave as NUMBER bytes (BLOB),
// DATEs as seconds (INTEGER), text as UTF-8. A failure is reported as
// kFunctionErrorPrefix, the ORA code, the separator and the message's
// parameter, which the engine turns back into the ORA error.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

#include "src/oracle/date.h"
#include "src/oracle/number.h"
#include "src/sql/error.h"
#include "src/sql/lob_store.h"
#include "src/sql/session.h"
#include "src/sql/value.h"

namespace zec::sql {
namespace {

using oracle::Number;

Session *session_of(sqlite3_context *ctx) { return static_cast<Session *>(sqlite3_user_data(ctx)); }

void raise(sqlite3_context *ctx, sb4 code, const std::string &parameter = std::string()) {
  std::string message = kFunctionErrorPrefix + std::to_string(code) + '\x1f' + parameter;
  sqlite3_result_error(ctx, message.data(), static_cast<int>(message.size()));
}

// The number library's codes, as SQL reports them.
sb4 sql_code(int code) {
  switch (code) {
    case oracle::kOverflow: return 1426;
    case oracle::kInvalidNumber: return 1722;
    case oracle::kDivideByZero: return 1476;
    default: return code;
  }
}

bool is_null(sqlite3_value *v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string_view bytes_of(sqlite3_value *v) {
  const void *b = sqlite3_value_blob(v);
  return b ? std::string_view(static_cast<const char *>(b), static_cast<size_t>(sqlite3_value_bytes(v)))
           : std::string_view();
}

std::string text_of(sqlite3_value *v) {
  const unsigned char *t = sqlite3_value_text(v);
  return t ? std::string(reinterpret_cast<const char *>(t), static_cast<size_t>(sqlite3_value_bytes(v)))
           : std::string();
}

// A NUMBER argument, whatever SQLite holds: NUMBER bytes, or (from the
// engine's own constants) an integer, a real or text.
bool number_arg(sqlite3_context *ctx, sqlite3_value *v, Number *out) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_BLOB:
      if (decode_number(bytes_of(v), out)) return true;
      raise(ctx, 1722);
      return false;
    case SQLITE_INTEGER: {
      decode_number(number_from_int64(sqlite3_value_int64(v)), out);
      return true;
    }
    case SQLITE_FLOAT: {
      std::string bytes;
      if (int code = number_from_double(sqlite3_value_double(v), &bytes)) {
        raise(ctx, sql_code(code));
        return false;
      }
      decode_number(bytes, out);
      return true;
    }
    default: {
      std::string bytes;
      if (int code = number_from_text(text_of(v), &bytes)) {
        raise(ctx, code);
        return false;
      }
      decode_number(bytes, out);
      return true;
    }
  }
}

void result_number(sqlite3_context *ctx, const Number &n) {
  std::string bytes = number_bytes(n);
  sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

void result_bytes(sqlite3_context *ctx, const std::string &bytes) {
  sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

void result_text(sqlite3_context *ctx, const std::string &text) {
  if (text.empty()) {  // '' is NULL
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void result_status(sqlite3_context *ctx, int code, const Number &n) {
  if (code == oracle::kUnderflow) {
    result_number(ctx, Number{});
  } else if (code != 0) {
    raise(ctx, sql_code(code));
  } else {
    result_number(ctx, n);
  }
}

int64_t to_int64(const Number &n) {
  long double v = oracle::to_long_double(n);
  if (v > 9.0e18L) return INT64_MAX;
  if (v < -9.0e18L) return INT64_MIN;
  return static_cast<int64_t>(v);
}

// Wraps a function body: no exception may unwind through SQLite.
template <class F>
void guarded(sqlite3_context *ctx, F body) {
  try {
    body();
  } catch (const SqlError &e) {
    raise(ctx, e.code, e.parameter);
  } catch (const std::bad_alloc &) {
    sqlite3_result_error_nomem(ctx);
  } catch (...) {
    raise(ctx, 600, "function");
  }
}

#define ZEC_FUNCTION(name) void name(sqlite3_context *ctx, int argc, sqlite3_value **argv)
#define ZEC_UNUSED_ARGS (void)argc; (void)argv

// ---- Arithmetic ---------------------------------------------------------------------

using Binary = int (*)(const Number &, const Number &, Number *);
template <Binary op>
ZEC_FUNCTION(binary_number) {
  (void)argc;
  if (is_null(argv[0]) || is_null(argv[1])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number a, b, r;
    if (!number_arg(ctx, argv[0], &a) || !number_arg(ctx, argv[1], &b)) return;
    result_status(ctx, op(a, b, &r), r);
  });
}

ZEC_FUNCTION(negate) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number a;
    if (!number_arg(ctx, argv[0], &a)) return;
    if (!a.is_zero()) a.negative = !a.negative;
    result_number(ctx, a);
  });
}

// Oracle's MOD truncates: m - n * TRUNC(m / n); MOD(m, 0) is m.
int mod(const Number &m, const Number &n, Number *out) {
  if (n.is_zero()) {
    *out = m;
    return 0;
  }
  Number q, t, p;
  if (int c = oracle::divide(m, n, &q)) return c;
  oracle::trunc(q, 0, &t);
  if (int c = oracle::multiply(n, t, &p)) return c;
  return oracle::subtract(m, p, out);
}

// REMAINDER(m, n): m - n * ROUND(m / n), halves to even as Oracle's does.
int remainder(const Number &m, const Number &n, Number *out) {
  if (n.is_zero()) return oracle::kDivideByZero;
  Number q, r, p;
  if (int c = oracle::divide(m, n, &q)) return c;
  oracle::round(q, 0, &r);
  if (int c = oracle::multiply(n, r, &p)) return c;
  return oracle::subtract(m, p, out);
}

int power(const Number &a, const Number &b, Number *out) { return oracle::power(a, b, out); }
int log_base(const Number &a, const Number &b, Number *out) { return oracle::log(a, b, out); }
int atan2(const Number &a, const Number &b, Number *out) {
  if (b.is_zero() && a.is_zero()) return oracle::kOutOfRange;
  if (b.is_zero()) {
    // SQL's ATAN2(y, 0) is +-pi/2, unlike OCINumberArcTan2.
    Number one;
    oracle::from_plain("1", &one);
    Number half_pi;
    oracle::arc_sin(one, &half_pi);
    if (a.negative) half_pi.negative = true;
    *out = half_pi;
    return 0;
  }
  return oracle::arc_tan2(a, b, out);
}

using Unary = int (*)(const Number &, Number *);
template <Unary op>
ZEC_FUNCTION(unary_number) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number a, r;
    if (!number_arg(ctx, argv[0], &a)) return;
    result_status(ctx, op(a, &r), r);
  });
}

int absolute(const Number &a, Number *out) {
  *out = a;
  out->negative = false;
  return 0;
}
int sign(const Number &a, Number *out) {
  return oracle::from_plain(a.is_zero() ? "0" : a.negative ? "-1" : "1", out);
}
int ceiling(const Number &a, Number *out) {
  Number t;
  oracle::trunc(a, 0, &t);
  if (oracle::compare(t, a) == 0 || a.negative) {
    *out = t;
    return 0;
  }
  Number one;
  oracle::from_plain("1", &one);
  return oracle::add(t, one, out);
}
int floor_of(const Number &a, Number *out) {
  Number t;
  oracle::trunc(a, 0, &t);
  if (oracle::compare(t, a) == 0 || !a.negative) {
    *out = t;
    return 0;
  }
  Number one;
  oracle::from_plain("1", &one);
  return oracle::subtract(t, one, out);
}
int square_root(const Number &a, Number *out) {
  if (a.negative) return oracle::kOutOfRange;
  return oracle::sqrt(a, out);
}

// ROUND(n[, places]) and TRUNC(n[, places]).
template <bool rounding>
ZEC_FUNCTION(round_number) {
  if (is_null(argv[0]) || (argc > 1 && is_null(argv[1]))) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number a, p, r;
    if (!number_arg(ctx, argv[0], &a)) return;
    int32_t places = 0;
    if (argc > 1) {
      if (!number_arg(ctx, argv[1], &p)) return;
      int64_t v = to_int64(p);
      places = static_cast<int32_t>(v > 1000 ? 1000 : v < -1000 ? -1000 : v);
    }
    result_status(ctx, rounding ? oracle::round(a, places, &r) : oracle::trunc(a, places, &r), r);
  });
}

// z_num2int(n, adjust): n truncated to an integer, plus adjust (LIMIT counts).
ZEC_FUNCTION(number_to_integer) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number n, t;
    if (!number_arg(ctx, argv[0], &n)) return;
    oracle::trunc(n, 0, &t);
    int64_t v = to_int64(t);
    int64_t adjust = sqlite3_value_int64(argv[1]);
    if (v < INT64_MAX - 1 && v > INT64_MIN + 1) v += adjust;
    sqlite3_result_int64(ctx, v);
  });
}

ZEC_FUNCTION(bitand_of) {
  (void)argc;
  if (is_null(argv[0]) || is_null(argv[1])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number a, b;
    if (!number_arg(ctx, argv[0], &a) || !number_arg(ctx, argv[1], &b)) return;
    result_bytes(ctx, number_from_int64(to_int64(a) & to_int64(b)));
  });
}

// ---- Conversions --------------------------------------------------------------------

// Implicit text -> NUMBER (the session's decimal character is accepted).
ZEC_FUNCTION(text_to_number) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) return sqlite3_result_value(ctx, argv[0]);
    std::string text = text_of(argv[0]);
    char decimal = session_of(ctx)->nls.decimal;
    if (decimal != '.') {
      for (char &c : text) {
        if (c == decimal) c = '.';
        else if (c == '.') c = '\x01';  // a point is then not a decimal point
      }
    }
    std::string bytes;
    if (int code = number_from_text(text, &bytes)) return raise(ctx, code);
    result_bytes(ctx, bytes);
  });
}

// Implicit NUMBER -> text: TO_CHAR's TM form.
ZEC_FUNCTION(number_to_text_implicit) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    if (sqlite3_value_type(argv[0]) != SQLITE_BLOB) return sqlite3_result_value(ctx, argv[0]);
    std::string text = number_to_text(bytes_of(argv[0]));
    char decimal = session_of(ctx)->nls.decimal;
    if (decimal != '.')
      for (char &c : text)
        if (c == '.') c = decimal;
    result_text(ctx, text);
  });
}

ZEC_FUNCTION(real_to_number) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string bytes;
    if (int code = number_from_double(sqlite3_value_double(argv[0]), &bytes)) return raise(ctx, sql_code(code));
    result_bytes(ctx, bytes);
  });
}

ZEC_FUNCTION(number_to_real) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number a;
    if (!number_arg(ctx, argv[0], &a)) return;
    sqlite3_result_double(ctx, number_to_double(number_bytes(a)));
  });
}

// TO_NUMBER(text[, format[, nls]]).
ZEC_FUNCTION(to_number_fn) {
  for (int i = 0; i < argc; ++i)
    if (is_null(argv[i])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    if (argc == 1) return text_to_number(ctx, argc, argv);
    Session &s = *session_of(ctx);
    std::string nls = argc > 2 ? text_of(argv[2]) : s.nls.number_parameters();
    Number n;
    std::string parameter;
    if (int code = oracle::from_text(text_of(argv[0]), text_of(argv[1]), nls, &n, &parameter)) {
      return raise(ctx, code == oracle::kInvalidInput ? 1722 : code == oracle::kInvalidFormat ? 1481 : code,
                   parameter);
    }
    result_number(ctx, n);
  });
}

// TO_CHAR(number[, format[, nls]]).
ZEC_FUNCTION(to_char_number) {
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  if (argc > 1 && is_null(argv[1])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    if (argc == 1) return number_to_text_implicit(ctx, argc, argv);
    Session &s = *session_of(ctx);
    Number n;
    if (!number_arg(ctx, argv[0], &n)) return;
    std::string nls = argc > 2 ? text_of(argv[2]) : s.nls.number_parameters();
    std::string out, parameter;
    if (int code = oracle::to_text(n, text_of(argv[1]), nls, &out, &parameter))
      return raise(ctx, code == oracle::kInvalidFormat ? 1481 : code, parameter);
    result_text(ctx, out);
  });
}

// The language of NLS_DATE_LANGUAGE=... in a TO_CHAR / TO_DATE parameter.
std::string date_language(Session &s, int argc, sqlite3_value **argv) {
  if (argc < 3) return s.nls.language;
  std::string nls = text_of(argv[2]);
  size_t eq = nls.find('=');
  std::string value = eq == std::string::npos ? nls : nls.substr(eq + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\'')) value.erase(0, 1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\'')) value.pop_back();
  return value;
}

oracle::Date now_date(Session &s) {
  return date_of(s.now != 0 ? s.now : date_seconds(oracle::system_date()));
}

// TO_DATE / TO_TIMESTAMP(text[, format[, nls]]) and the implicit text ->
// DATE / TIMESTAMP, in the session's NLS_DATE_FORMAT / NLS_TIMESTAMP_FORMAT.
template <bool kTimestamp>
ZEC_FUNCTION(text_to_datetime) {
  for (int i = 0; i < argc; ++i)
    if (is_null(argv[i])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_value(ctx, argv[0]);
    Session &s = *session_of(ctx);
    std::string format = argc > 1 ? text_of(argv[1]) : kTimestamp ? s.nls.timestamp_format : s.nls.date_format;
    // Defaults of unnamed fields: the first day of the current month.
    oracle::Date base = now_date(s);
    base.day = 1;
    base.hour = base.minute = base.second = 0;
    oracle::Date d;
    if (int code = oracle::from_text(text_of(argv[0]), format, date_language(s, argc, argv), base, &d))
      return raise(ctx, code);
    sqlite3_result_int64(ctx, kTimestamp ? timestamp_micros(d) : date_seconds(d));
  });
}

// TO_CHAR(date or timestamp[, format[, nls]]) and the implicit conversion to text.
template <bool kTimestamp>
ZEC_FUNCTION(datetime_to_text) {
  if (is_null(argv[0]) || (argc > 1 && is_null(argv[1]))) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Session &s = *session_of(ctx);
    std::string format = argc > 1 ? text_of(argv[1]) : kTimestamp ? s.nls.timestamp_format : s.nls.date_format;
    int64_t stored = sqlite3_value_int64(argv[0]);
    std::string out;
    if (int code = oracle::to_text(kTimestamp ? timestamp_of(stored) : date_of(stored), format,
                                   date_language(s, argc, argv), &out))
      return raise(ctx, code);
    result_text(ctx, out);
  });
}

// ---- TIMESTAMP --------------------------------------------------------------
// Microseconds from the DATE origin.

ZEC_FUNCTION(systimestamp) {
  ZEC_UNUSED_ARGS;
  // The statement's SYSDATE with the clock's microseconds.
  Session &s = *session_of(ctx);
  auto now = std::chrono::system_clock::now().time_since_epoch();
  int64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count() % kMicrosPerSecond;
  int64_t seconds = s.now != 0 ? s.now : date_seconds(oracle::system_date());
  sqlite3_result_int64(ctx, seconds * kMicrosPerSecond + micros);
}

// A TIMESTAMP as a DATE: the fraction is dropped.
ZEC_FUNCTION(timestamp_to_date) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  int64_t micros = sqlite3_value_int64(argv[0]);
  int64_t seconds = micros / kMicrosPerSecond - (micros % kMicrosPerSecond < 0 ? 1 : 0);
  sqlite3_result_int64(ctx, seconds);
}

ZEC_FUNCTION(date_to_timestamp) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]) * kMicrosPerSecond);
}

// TIMESTAMP(p): rounded to p digits of the second (at most 6 are kept).
ZEC_FUNCTION(fit_timestamp) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  int64_t micros = sqlite3_value_int64(argv[0]);
  int digits = sqlite3_value_int(argv[1]);
  if (digits >= 6 || digits < 0) return sqlite3_result_int64(ctx, micros);
  int64_t unit = 1;
  for (int i = digits; i < 6; ++i) unit *= 10;
  int64_t rest = micros % unit;
  if (rest < 0) rest += unit;
  int64_t down = micros - rest;
  sqlite3_result_int64(ctx, rest * 2 >= unit ? down + unit : down);
}

// EXTRACT(SECOND FROM timestamp): with its fraction.
ZEC_FUNCTION(timestamp_seconds) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    oracle::Date d = timestamp_of(sqlite3_value_int64(argv[0]));
    char text[32];
    std::snprintf(text, sizeof text, "%d.%06ld", d.second, d.fraction / 1000);
    std::string bytes;
    number_from_text(text, &bytes);
    result_bytes(ctx, bytes);
  });
}

ZEC_FUNCTION(raw_to_hex_fn) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] { result_text(ctx, raw_to_hex(bytes_of(argv[0]))); });
}

ZEC_FUNCTION(hex_to_raw_fn) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) return sqlite3_result_value(ctx, argv[0]);
    std::string raw;
    if (int code = raw_from_hex(text_of(argv[0]), &raw)) return raise(ctx, code);
    if (raw.empty()) return sqlite3_result_null(ctx);
    result_bytes(ctx, raw);
  });
}

// ---- Dates --------------------------------------------------------------------------

int64_t days_to_seconds(const Number &days, bool *ok) {
  Number seconds, rounded, factor;
  oracle::from_plain("86400", &factor);
  *ok = oracle::multiply(days, factor, &seconds) == 0 && oracle::round(seconds, 0, &rounded) == 0;
  long double v = oracle::to_long_double(rounded);
  if (!*ok || std::fabs(v) > 1e15L) {
    *ok = false;
    return 0;
  }
  return static_cast<int64_t>(v);
}

bool valid_seconds(int64_t seconds) {
  oracle::Date d = date_of(seconds);
  return seconds >= kSecondsPerDay && seconds < 5373485LL * kSecondsPerDay && oracle::check(d) == 0;
}

// date + days.
ZEC_FUNCTION(date_add) {
  (void)argc;
  if (is_null(argv[0]) || is_null(argv[1])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number days;
    if (!number_arg(ctx, argv[1], &days)) return;
    bool ok;
    int64_t delta = days_to_seconds(days, &ok);
    int64_t result = sqlite3_value_int64(argv[0]) + delta;
    if (!ok || !valid_seconds(result)) return raise(ctx, 1841);
    sqlite3_result_int64(ctx, result);
  });
}

// date - date: days, with the fraction of a day.
ZEC_FUNCTION(date_difference) {
  (void)argc;
  if (is_null(argv[0]) || is_null(argv[1])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    int64_t seconds = sqlite3_value_int64(argv[0]) - sqlite3_value_int64(argv[1]);
    Number a, day, r;
    decode_number(number_from_int64(seconds), &a);
    oracle::from_plain("86400", &day);
    result_status(ctx, oracle::divide(a, day, &r), r);
  });
}

ZEC_FUNCTION(sysdate) {
  ZEC_UNUSED_ARGS;
  Session &s = *session_of(ctx);
  sqlite3_result_int64(ctx, s.now != 0 ? s.now : date_seconds(oracle::system_date()));
}

ZEC_FUNCTION(add_months_fn) {
  (void)argc;
  if (is_null(argv[0]) || is_null(argv[1])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number n;
    if (!number_arg(ctx, argv[1], &n)) return;
    Number whole;
    oracle::trunc(n, 0, &whole);
    long double months = oracle::to_long_double(whole);
    if (std::fabs(months) > 200000) return raise(ctx, 1841);
    oracle::Date d;
    if (int code = oracle::add_months(date_of(sqlite3_value_int64(argv[0])), static_cast<long>(months), &d))
      return raise(ctx, code);
    sqlite3_result_int64(ctx, date_seconds(d));
  });
}

// MONTHS_BETWEEN(d1, d2): whole months when the days match or both are
// month ends, else the day difference over 31, time included.
ZEC_FUNCTION(months_between_fn) {
  (void)argc;
  if (is_null(argv[0]) || is_null(argv[1])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    oracle::Date a = date_of(sqlite3_value_int64(argv[0]));
    oracle::Date b = date_of(sqlite3_value_int64(argv[1]));
    int64_t months = (static_cast<int64_t>(a.year) * 12 + a.month) - (static_cast<int64_t>(b.year) * 12 + b.month);
    bool a_last = a.day == oracle::days_in_month(a.year, a.month);
    bool b_last = b.day == oracle::days_in_month(b.year, b.month);
    Number result;
    decode_number(number_from_int64(months), &result);
    if (!(a.day == b.day || (a_last && b_last))) {
      int64_t seconds_a = a.day * kSecondsPerDay + a.hour * 3600 + a.minute * 60 + a.second;
      int64_t seconds_b = b.day * kSecondsPerDay + b.hour * 3600 + b.minute * 60 + b.second;
      Number diff, month_seconds, fraction, total;
      decode_number(number_from_int64(seconds_a - seconds_b), &diff);
      oracle::from_plain(std::to_string(31 * kSecondsPerDay), &month_seconds);
      oracle::divide(diff, month_seconds, &fraction);
      oracle::add(result, fraction, &total);
      result = total;
    }
    result_number(ctx, result);
  });
}

ZEC_FUNCTION(last_day_fn) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    oracle::Date d;
    if (int code = oracle::last_day(date_of(sqlite3_value_int64(argv[0])), &d)) return raise(ctx, code);
    sqlite3_result_int64(ctx, date_seconds(d));
  });
}

ZEC_FUNCTION(next_day_fn) {
  (void)argc;
  if (is_null(argv[0]) || is_null(argv[1])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    oracle::Date d;
    if (int code = oracle::next_day(date_of(sqlite3_value_int64(argv[0])), text_of(argv[1]), &d))
      return raise(ctx, code);
    sqlite3_result_int64(ctx, date_seconds(d));
  });
}

// ROUND and TRUNC of a date to a format's unit (DD by default).
oracle::Date truncate_date(oracle::Date d, const std::string &unit, bool *known) {
  *known = true;
  oracle::Date r = d;
  r.hour = r.minute = r.second = 0;
  std::string u = unit;
  for (char &c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (u == "DD" || u == "DDD" || u == "J") return r;
  if (u == "HH" || u == "HH12" || u == "HH24") {
    r.hour = d.hour;
    return r;
  }
  if (u == "MI") {
    r.hour = d.hour;
    r.minute = d.minute;
    return r;
  }
  if (u == "MM" || u == "MON" || u == "MONTH" || u == "RM") {
    r.day = 1;
    return r;
  }
  if (u == "YYYY" || u == "YEAR" || u == "YYY" || u == "YY" || u == "Y" || u == "SYYYY" || u == "SYEAR" ||
      u == "RRRR" || u == "RR") {
    r.day = 1;
    r.month = 1;
    return r;
  }
  if (u == "Q") {
    r.day = 1;
    r.month = (d.month - 1) / 3 * 3 + 1;
    return r;
  }
  if (u == "DAY" || u == "DY" || u == "D") {
    // The first day of the week: Sunday in AMERICAN.
    int64_t seconds = date_seconds(r) - static_cast<int64_t>(oracle::day_of_week(r) - 1) * kSecondsPerDay;
    return date_of(seconds);
  }
  if (u == "IW") {
    int dow = oracle::day_of_week(r);  // 1 Sunday
    int back = (dow + 5) % 7;          // days since Monday
    return date_of(date_seconds(r) - static_cast<int64_t>(back) * kSecondsPerDay);
  }
  if (u == "CC" || u == "SCC") {
    r.day = 1;
    r.month = 1;
    r.year = d.year > 0 ? (d.year - 1) / 100 * 100 + 1 : d.year;
    return r;
  }
  *known = false;
  return r;
}

template <bool rounding>
ZEC_FUNCTION(round_date) {
  if (is_null(argv[0]) || (argc > 1 && is_null(argv[1]))) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    oracle::Date d = date_of(sqlite3_value_int64(argv[0]));
    std::string unit = argc > 1 ? text_of(argv[1]) : "DD";
    bool known;
    oracle::Date t = truncate_date(d, unit, &known);
    if (!known) return raise(ctx, 1899);  // bad precision specifier
    if (rounding) {
      // Half of the unit or more rounds up to the next one.
      std::string u = unit;
      for (char &c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      int64_t start = date_seconds(t);
      int64_t next = start;
      if (u == "DD" || u == "DDD" || u == "J") next = start + kSecondsPerDay;
      else if (u == "HH" || u == "HH12" || u == "HH24") next = start + 3600;
      else if (u == "MI") next = start + 60;
      else if (u == "MM" || u == "MON" || u == "MONTH" || u == "RM") {
        oracle::Date n;
        oracle::add_months(t, 1, &n);
        next = date_seconds(n);
        // Oracle rounds up from the 16th day.
        if (d.day >= 16) t = n;
        sqlite3_result_int64(ctx, date_seconds(t));
        return;
      } else if (u == "Q") {
        oracle::Date n;
        oracle::add_months(t, 3, &n);
        oracle::Date half;
        oracle::add_months(t, 1, &half);
        bool up = d.month > half.month || (d.month == half.month && d.day >= 16);
        if (up) t = n;
        sqlite3_result_int64(ctx, date_seconds(t));
        return;
      } else if (u == "YYYY" || u == "YEAR" || u == "YYY" || u == "YY" || u == "Y" || u == "SYYYY" ||
                 u == "RRRR" || u == "RR" || u == "SYEAR") {
        if (d.month >= 7) {
          t.year += t.year == -1 ? 2 : 1;
        }
        sqlite3_result_int64(ctx, date_seconds(t));
        return;
      } else {
        next = start + 7 * kSecondsPerDay;
      }
      int64_t value = date_seconds(d);
      if ((value - start) * 2 >= (next - start)) t = date_of(next);
    }
    sqlite3_result_int64(ctx, date_seconds(t));
  });
}

// EXTRACT(field FROM date).
ZEC_FUNCTION(extract_fn) {
  (void)argc;
  if (is_null(argv[1])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string field = text_of(argv[0]);
    oracle::Date d = date_of(sqlite3_value_int64(argv[1]));
    int64_t v;
    if (field == "YEAR") v = d.year;
    else if (field == "MONTH") v = d.month;
    else if (field == "DAY") v = d.day;
    else if (field == "HOUR") v = d.hour;
    else if (field == "MINUTE") v = d.minute;
    else if (field == "SECOND") v = d.second;
    else return raise(ctx, 30076, field);  // invalid extract field for extract source
    result_bytes(ctx, number_from_int64(v));
  });
}

// ---- Text ---------------------------------------------------------------------------

// Concatenation: NULL counts as empty; the result is NULL only when empty.
ZEC_FUNCTION(concatenate) {
  std::string out;
  for (int i = 0; i < argc; ++i)
    if (!is_null(argv[i])) out += text_of(argv[i]);
  guarded(ctx, [&] { result_text(ctx, out); });
}

// Case mapping for ASCII and Latin-1 letters in UTF-8.
std::string change_case(const std::string &s, bool up) {
  std::string out = s;
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c < 0x80) {
      out[i] = static_cast<char>(up ? std::toupper(c) : std::tolower(c));
    } else if (c == 0xC3 && i + 1 < out.size()) {
      unsigned char d = static_cast<unsigned char>(out[i + 1]);
      // U+00C0..U+00DE (but U+00D7) upper, U+00E0..U+00FE (but U+00F7) lower.
      if (up && d >= 0xA0 && d <= 0xBE && d != 0xB7) out[i + 1] = static_cast<char>(d - 0x20);
      if (!up && d >= 0x80 && d <= 0x9E && d != 0x97) out[i + 1] = static_cast<char>(d + 0x20);
      ++i;
    }
  }
  return out;
}

template <bool up>
ZEC_FUNCTION(case_fn) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] { result_text(ctx, change_case(text_of(argv[0]), up)); });
}

bool alphanumeric(const std::string &s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  return std::isalnum(c) || c >= 0x80;
}

ZEC_FUNCTION(initcap) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string s = change_case(text_of(argv[0]), false);
    bool start = true;
    for (size_t i = 0; i < s.size(); ++i) {
      if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
      if (alphanumeric(s, i)) {
        if (start) {
          size_t n = 1;
          while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
          std::string upper = change_case(s.substr(i, n), true);
          s.replace(i, n, upper);
        }
        start = false;
      } else {
        start = true;
      }
    }
    result_text(ctx, s);
  });
}

template <bool characters>
ZEC_FUNCTION(length_fn) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    size_t n;
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) {
      n = static_cast<size_t>(sqlite3_value_bytes(argv[0]));
    } else {
      std::string s = text_of(argv[0]);
      n = characters ? utf8_length(s) : s.size();
    }
    result_bytes(ctx, number_from_int64(static_cast<int64_t>(n)));
  });
}

bool integer_arg(sqlite3_context *ctx, sqlite3_value *v, int64_t *out) {
  Number n;
  if (!number_arg(ctx, v, &n)) return false;
  Number t;
  oracle::trunc(n, 0, &t);
  *out = to_int64(t);
  return true;
}

// SUBSTR(s, position[, length]), in characters.
ZEC_FUNCTION(substr_fn) {
  for (int i = 0; i < argc; ++i)
    if (is_null(argv[i])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string s = text_of(argv[0]);
    int64_t position, length = INT64_MAX;
    if (!integer_arg(ctx, argv[1], &position)) return;
    if (argc > 2 && !integer_arg(ctx, argv[2], &length)) return;
    if (length < 1) return sqlite3_result_null(ctx);
    int64_t count = static_cast<int64_t>(utf8_length(s));
    int64_t start = position > 0 ? position - 1 : position == 0 ? 0 : count + position;
    if (start < 0 || start >= count) return sqlite3_result_null(ctx);
    int64_t stop = length >= count - start ? count : start + length;
    size_t b = utf8_offset(s, static_cast<size_t>(start));
    size_t e = utf8_offset(s, static_cast<size_t>(stop));
    result_text(ctx, s.substr(b, e - b));
  });
}

// INSTR(s, sub[, position[, occurrence]]): the character position, or 0.
ZEC_FUNCTION(instr_fn) {
  for (int i = 0; i < argc; ++i)
    if (is_null(argv[i])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string s = text_of(argv[0]);
    std::string sub = text_of(argv[1]);
    int64_t position = 1, occurrence = 1;
    if (argc > 2 && !integer_arg(ctx, argv[2], &position)) return;
    if (argc > 3 && !integer_arg(ctx, argv[3], &occurrence)) return;
    if (occurrence < 1) return raise(ctx, 1428, std::to_string(occurrence));
    int64_t count = static_cast<int64_t>(utf8_length(s));
    int64_t found = 0;
    if (position > 0) {
      size_t from = utf8_offset(s, static_cast<size_t>(position - 1));
      while (from <= s.size()) {
        size_t at = s.find(sub, from);
        if (at == std::string::npos) break;
        if (--occurrence == 0) {
          found = static_cast<int64_t>(utf8_length(s.substr(0, at))) + 1;
          break;
        }
        from = at + 1;
      }
    } else if (position < 0) {
      int64_t start_char = count + position;  // search backwards from here
      if (start_char >= 0) {
        size_t limit = utf8_offset(s, static_cast<size_t>(start_char));
        size_t from = limit;
        for (;;) {
          size_t at = s.rfind(sub, from);
          if (at == std::string::npos) break;
          if (--occurrence == 0) {
            found = static_cast<int64_t>(utf8_length(s.substr(0, at))) + 1;
            break;
          }
          if (at == 0) break;
          from = at - 1;
        }
      }
    }
    result_bytes(ctx, number_from_int64(found));
  });
}

// LPAD / RPAD(s, n[, pad]).
template <bool left>
ZEC_FUNCTION(pad_fn) {
  for (int i = 0; i < argc; ++i)
    if (is_null(argv[i])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string s = text_of(argv[0]);
    int64_t n;
    if (!integer_arg(ctx, argv[1], &n)) return;
    std::string pad = argc > 2 ? text_of(argv[2]) : " ";
    if (n < 1 || pad.empty()) return sqlite3_result_null(ctx);
    if (n > 32767) n = 32767;
    int64_t have = static_cast<int64_t>(utf8_length(s));
    if (have >= n) return result_text(ctx, s.substr(0, utf8_offset(s, static_cast<size_t>(n))));
    int64_t missing = n - have;
    std::string fill;
    int64_t pad_chars = static_cast<int64_t>(utf8_length(pad));
    while (missing >= pad_chars) {
      fill += pad;
      missing -= pad_chars;
    }
    fill += pad.substr(0, utf8_offset(pad, static_cast<size_t>(missing)));
    result_text(ctx, left ? fill + s : s + fill);
  });
}

// Characters of a trim set.
bool in_set(const std::string &set, const std::string &s, size_t at, size_t *length) {
  size_t n = 1;
  while (at + n < s.size() && (static_cast<unsigned char>(s[at + n]) & 0xC0) == 0x80) ++n;
  *length = n;
  std::string c = s.substr(at, n);
  for (size_t i = 0; i < set.size();) {
    size_t m = 1;
    while (i + m < set.size() && (static_cast<unsigned char>(set[i + m]) & 0xC0) == 0x80) ++m;
    if (set.compare(i, m, c) == 0) return true;
    i += m;
  }
  return false;
}

std::string trim_left(const std::string &s, const std::string &set) {
  size_t i = 0;
  size_t n;
  while (i < s.size() && in_set(set, s, i, &n)) i += n;
  return s.substr(i);
}

std::string trim_right(const std::string &s, const std::string &set) {
  size_t end = s.size();
  while (end > 0) {
    size_t start = end - 1;
    while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    size_t n;
    if (!in_set(set, s, start, &n)) break;
    end = start;
  }
  return s.substr(0, end);
}

template <int side>  // 0 left, 1 right
ZEC_FUNCTION(trim_fn) {
  for (int i = 0; i < argc; ++i)
    if (is_null(argv[i])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string s = text_of(argv[0]);
    std::string set = argc > 1 ? text_of(argv[1]) : " ";
    result_text(ctx, side == 0 ? trim_left(s, set) : trim_right(s, set));
  });
}

// TRIM(mode, character, s): character may be NULL for a blank.
ZEC_FUNCTION(trim_both) {
  (void)argc;
  if (is_null(argv[2]) || is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string mode = text_of(argv[0]);
    std::string set = " ";
    if (sqlite3_value_type(argv[1]) != SQLITE_NULL) {
      set = text_of(argv[1]);
      if (set.empty()) return sqlite3_result_null(ctx);
      if (utf8_length(set) != 1) return raise(ctx, 30001);  // trim set should have only one character
    }
    std::string s = text_of(argv[2]);
    if (mode != "TRAILING") s = trim_left(s, set);
    if (mode != "LEADING") s = trim_right(s, set);
    result_text(ctx, s);
  });
}

ZEC_FUNCTION(replace_fn) {
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string s = text_of(argv[0]);
    std::string from = is_null(argv[1]) ? "" : text_of(argv[1]);
    std::string to = argc > 2 && !is_null(argv[2]) ? text_of(argv[2]) : "";
    if (from.empty()) return result_text(ctx, s);
    std::string out;
    size_t i = 0;
    for (;;) {
      size_t at = s.find(from, i);
      if (at == std::string::npos) break;
      out += s.substr(i, at - i) + to;
      i = at + from.size();
    }
    out += s.substr(i);
    result_text(ctx, out);
  });
}

std::vector<std::string> characters_of(const std::string &s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

ZEC_FUNCTION(translate_fn) {
  (void)argc;
  if (is_null(argv[0]) || is_null(argv[1]) || is_null(argv[2])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::vector<std::string> from = characters_of(text_of(argv[1]));
    std::vector<std::string> to = characters_of(text_of(argv[2]));
    std::string out;
    for (const std::string &c : characters_of(text_of(argv[0]))) {
      size_t k = 0;
      while (k < from.size() && from[k] != c) ++k;
      if (k == from.size()) out += c;
      else if (k < to.size()) out += to[k];
    }
    result_text(ctx, out);
  });
}

// CHR(n): the character whose database-character-set (UTF-8) bytes are n.
ZEC_FUNCTION(chr_fn) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    int64_t n;
    if (!integer_arg(ctx, argv[0], &n)) return;
    if (n < 0 || n > 0xFFFFFFFFLL) return raise(ctx, 1428, std::to_string(n));
    std::string out;
    uint32_t v = static_cast<uint32_t>(n);
    bool started = false;
    for (int shift = 24; shift >= 0; shift -= 8) {
      unsigned char b = static_cast<unsigned char>((v >> shift) & 0xFF);
      if (b != 0 || started || shift == 0) {
        out.push_back(static_cast<char>(b));
        started = true;
      }
    }
    if (out == std::string(1, '\0')) {
      sqlite3_result_text(ctx, "\0", 1, SQLITE_TRANSIENT);
      return;
    }
    result_text(ctx, out);
  });
}

ZEC_FUNCTION(ascii_fn) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string s = text_of(argv[0]);
    std::vector<std::string> chars = characters_of(s);
    int64_t v = 0;
    if (!chars.empty())
      for (unsigned char c : chars[0]) v = v * 256 + c;
    result_bytes(ctx, number_from_int64(v));
  });
}

// ---- Column checks ----------------------------------------------------------------

std::string column_text(sqlite3_value *v) { return text_of(v); }

// z_fit_num(value, precision, scale, is_float, column): NUMBER(p,s) rounding
// and ORA-01438.
ZEC_FUNCTION(fit_number) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number n;
    if (!number_arg(ctx, argv[0], &n)) return;
    Type t = Type::number(static_cast<int16_t>(sqlite3_value_int(argv[1])),
                          static_cast<int16_t>(sqlite3_value_int(argv[2])));
    t.is_float = sqlite3_value_int(argv[3]) != 0;
    std::string bytes = number_bytes(n);
    if (int code = number_fit(t, &bytes)) return raise(ctx, code, column_text(argv[4]));
    result_bytes(ctx, bytes);
  });
}

std::string too_large(const std::string &column, size_t actual, int64_t maximum) {
  return column + '\x1f' + std::to_string(actual) + '\x1f' + std::to_string(maximum);
}

// z_fit_text(value, maximum, char semantics, column): ORA-12899.
ZEC_FUNCTION(fit_text) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string s = text_of(argv[0]);
    int64_t maximum = sqlite3_value_int64(argv[1]);
    bool chars = sqlite3_value_int(argv[2]) != 0;
    size_t size = chars ? utf8_length(s) : s.size();
    if (static_cast<int64_t>(size) > maximum) return raise(ctx, 12899, too_large(column_text(argv[3]), size, maximum));
    result_text(ctx, s);
  });
}

// z_fit_char(value, length, char semantics, column): blank-padded CHAR.
ZEC_FUNCTION(fit_char) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string s = text_of(argv[0]);
    int64_t length = sqlite3_value_int64(argv[1]);
    bool chars = sqlite3_value_int(argv[2]) != 0;
    // Trailing blanks beyond the length are dropped, as Oracle does.
    size_t size = chars ? utf8_length(s) : s.size();
    while (static_cast<int64_t>(size) > length && !s.empty() && s.back() == ' ') {
      s.pop_back();
      --size;
    }
    if (static_cast<int64_t>(size) > length) return raise(ctx, 12899, too_large(column_text(argv[3]), size, length));
    s.append(static_cast<size_t>(length - static_cast<int64_t>(size)), ' ');
    result_text(ctx, s);
  });
}

// z_fit_raw(value, maximum, column).
ZEC_FUNCTION(fit_raw) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    int64_t maximum = sqlite3_value_int64(argv[1]);
    size_t size = static_cast<size_t>(sqlite3_value_bytes(argv[0]));
    if (static_cast<int64_t>(size) > maximum) return raise(ctx, 12899, too_large(column_text(argv[2]), size, maximum));
    sqlite3_result_value(ctx, argv[0]);
  });
}

// z_fit_date(value): a DATE in range.
ZEC_FUNCTION(fit_date) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    if (!valid_seconds(sqlite3_value_int64(argv[0]))) return raise(ctx, 1841);
    sqlite3_result_value(ctx, argv[0]);
  });
}

// ---- Misc ---------------------------------------------------------------------------

ZEC_FUNCTION(raise_fn) {
  (void)argc;
  raise(ctx, static_cast<sb4>(sqlite3_value_int(argv[0])), argc > 1 ? text_of(argv[1]) : std::string());
}

ZEC_FUNCTION(sequence_next_fn) {
  (void)argc;
  guarded(ctx, [&] { result_bytes(ctx, sequence_next(*session_of(ctx), text_of(argv[0]))); });
}

ZEC_FUNCTION(sequence_current_fn) {
  (void)argc;
  guarded(ctx, [&] { result_bytes(ctx, sequence_current(*session_of(ctx), text_of(argv[0]))); });
}

// ROWIDs show as 18 characters of Oracle's base-64 alphabet: the object
// id in 6, then 12 for the row.
constexpr char kRowidAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string rowid_text(int64_t object, int64_t row) {
  std::string out(18, 'A');
  uint64_t o = static_cast<uint64_t>(object);
  for (int i = 5; i >= 0; --i, o >>= 6) out[static_cast<size_t>(i)] = kRowidAlphabet[o & 63];
  uint64_t r = static_cast<uint64_t>(row);
  for (int i = 17; i >= 6; --i, r >>= 6) out[static_cast<size_t>(i)] = kRowidAlphabet[r & 63];
  return out;
}

bool rowid_parse(const std::string &text, int64_t *object, int64_t *row) {
  if (text.size() != 18) return false;
  uint64_t o = 0, r = 0;
  for (size_t i = 0; i < 18; ++i) {
    const char *at = std::strchr(kRowidAlphabet, text[i]);
    if (at == nullptr || text[i] == '\0') return false;
    uint64_t v = static_cast<uint64_t>(at - kRowidAlphabet);
    if (i < 6) o = o * 64 + v;
    else r = r * 64 + v;
  }
  *object = static_cast<int64_t>(o);
  *row = static_cast<int64_t>(r);
  return true;
}

ZEC_FUNCTION(rowid_fn) {
  (void)argc;
  if (is_null(argv[1])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] { result_text(ctx, rowid_text(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]))); });
}

// The row number of a ROWID text for the table (object id); ORA-01410 for
// a text that is no ROWID, NULL for a ROWID of another table.
ZEC_FUNCTION(rowid_row_fn) {
  (void)argc;
  if (is_null(argv[0])) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    int64_t object, row;
    if (!rowid_parse(text_of(argv[0]), &object, &row)) return raise(ctx, 1410);
    if (object != sqlite3_value_int64(argv[1])) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, row);
  });
}

ZEC_FUNCTION(user_fn) {
  ZEC_UNUSED_ARGS;
  result_text(ctx, session_of(ctx)->user);
}

ZEC_FUNCTION(guid_fn) {
  ZEC_UNUSED_ARGS;
  static std::mt19937 generator(static_cast<unsigned>(std::time(nullptr)));
  std::string raw(16, '\0');
  for (char &c : raw) c = static_cast<char>(generator() & 0xFF);
  result_bytes(ctx, raw);
}

// ---- Aggregates --------------------------------------------------------------------

struct SumState {
  uint8_t sum[oracle::kNumberSize];
  int64_t count;
  bool failed;
};

// A row joining (+1) or leaving (-1) the aggregate: rows leave as a window
// frame slides (SUM and AVG OVER ...).
template <int direction>
void sum_move(sqlite3_context *ctx, int, sqlite3_value **argv) {
  auto *state = static_cast<SumState *>(sqlite3_aggregate_context(ctx, sizeof(SumState)));
  if (state == nullptr) return sqlite3_result_error_nomem(ctx);
  if (is_null(argv[0]) || state->failed || (direction < 0 && state->count == 0)) return;
  guarded(ctx, [&] {
    Number value, total, r;
    if (!number_arg(ctx, argv[0], &value)) {
      state->failed = true;
      return;
    }
    if (state->count > 0) {
      oracle::decode(state->sum, &total);
      int code = direction > 0 ? oracle::add(total, value, &r) : oracle::subtract(total, value, &r);
      if (code != 0) {
        state->failed = true;
        return raise(ctx, sql_code(code));
      }
      value = r;
    }
    oracle::encode(value, state->sum);
    state->count += direction;
  });
}

// The result so far; as the final result it also serves a window's value.
template <bool average>
void sum_final(sqlite3_context *ctx) {
  auto *state = static_cast<SumState *>(sqlite3_aggregate_context(ctx, 0));
  if (state == nullptr || state->count == 0 || state->failed) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    Number total;
    oracle::decode(state->sum, &total);
    if (average) {
      Number count, r;
      decode_number(number_from_int64(state->count), &count);
      result_status(ctx, oracle::divide(total, count, &r), r);
    } else {
      result_number(ctx, total);
    }
  });
}

// LISTAGG: the values with their ORDER BY keys, sorted and joined at the end.
// The state holds a pointer to what it collects; the final step frees it.
struct ListaggEntry {
  std::vector<sqlite3_value *> keys;
  std::string value;
};
struct ListaggState {
  std::vector<ListaggEntry> *entries;
  std::string *separator;
  std::string *directions;
};

void listagg_free(ListaggState *state) {
  if (state->entries)
    for (ListaggEntry &e : *state->entries)
      for (sqlite3_value *k : e.keys) sqlite3_value_free(k);
  delete state->entries;
  delete state->separator;
  delete state->directions;
  *state = ListaggState{};
}

void listagg_step(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  auto *state = static_cast<ListaggState *>(sqlite3_aggregate_context(ctx, sizeof(ListaggState)));
  if (state == nullptr) return sqlite3_result_error_nomem(ctx);
  try {
    if (state->entries == nullptr) {
      state->entries = new std::vector<ListaggEntry>;
      state->separator = new std::string(sqlite3_value_type(argv[1]) == SQLITE_NULL ? "" : text_of(argv[1]));
      state->directions = new std::string(text_of(argv[2]));
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;  // NULLs are left out
    ListaggEntry e;
    e.value = text_of(argv[0]);
    for (int i = 3; i < argc; ++i) {
      sqlite3_value *k = sqlite3_value_dup(argv[i]);
      if (k == nullptr) {
        for (sqlite3_value *made : e.keys) sqlite3_value_free(made);
        return sqlite3_result_error_nomem(ctx);
      }
      e.keys.push_back(k);
    }
    state->entries->push_back(std::move(e));
  } catch (const std::bad_alloc &) {
    sqlite3_result_error_nomem(ctx);
  }
}

// SQLite's own order of stored values is Oracle's for each family.
int compare_values(sqlite3_value *a, sqlite3_value *b) {
  int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
  if (ta != tb) return ta < tb ? -1 : 1;
  switch (ta) {
    case SQLITE_INTEGER: {
      sqlite3_int64 x = sqlite3_value_int64(a), y = sqlite3_value_int64(b);
      return x < y ? -1 : x > y;
    }
    case SQLITE_FLOAT: {
      double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
      return x < y ? -1 : x > y;
    }
    default: {
      std::string_view x = bytes_of(a), y = bytes_of(b);
      int c = x.compare(y);
      return c < 0 ? -1 : c > 0;
    }
  }
}

void listagg_final(sqlite3_context *ctx) {
  auto *state = static_cast<ListaggState *>(sqlite3_aggregate_context(ctx, 0));
  if (state == nullptr || state->entries == nullptr) return sqlite3_result_null(ctx);
  try {
    const std::string &dirs = *state->directions;
    std::stable_sort(state->entries->begin(), state->entries->end(), [&](const ListaggEntry &a, const ListaggEntry &b) {
      for (size_t i = 0; i < a.keys.size() && i < b.keys.size(); ++i) {
        bool descending = 2 * i < dirs.size() && dirs[2 * i] == 'D';
        bool nulls_first = 2 * i + 1 < dirs.size() && dirs[2 * i + 1] == 'F';
        bool an = sqlite3_value_type(a.keys[i]) == SQLITE_NULL, bn = sqlite3_value_type(b.keys[i]) == SQLITE_NULL;
        if (an || bn) {
          if (an && bn) continue;
          return an == nulls_first;
        }
        int c = compare_values(a.keys[i], b.keys[i]);
        if (c != 0) return descending ? c > 0 : c < 0;
      }
      return false;
    });
    std::string out;
    for (size_t i = 0; i < state->entries->size(); ++i) {
      if (i) out += *state->separator;
      out += (*state->entries)[i].value;
      if (out.size() > 4000) {
        listagg_free(state);
        return raise(ctx, 1489);  // result of string concatenation is too long
      }
    }
    listagg_free(state);
    if (out.empty()) return sqlite3_result_null(ctx);
    sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
  } catch (const std::bad_alloc &) {
    listagg_free(state);
    sqlite3_result_error_nomem(ctx);
  }
}

// z_sortkey(direction, value): text that sorts as the value does, for a
// hierarchy's depth-first order. Direction "A"/"D" then "F"/"L" for NULLs.
// Each key ends in a mark that sorts below the digits ascending and above
// them descending, so a shorter key sorts as memcmp sorts its prefix.
void sortkey_fn(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  if (argc != 2) return raise(ctx, 909);
  std::string dir = text_of(argv[0]);
  bool descending = !dir.empty() && dir[0] == 'D';
  bool nulls_first = dir.size() > 1 && dir[1] == 'F';
  sqlite3_value *v = argv[1];
  std::string bytes;
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: {
      const char *mark = nulls_first ? "!" : "~";
      return sqlite3_result_text(ctx, mark, 1, SQLITE_STATIC);
    }
    case SQLITE_INTEGER: {
      uint64_t u = static_cast<uint64_t>(sqlite3_value_int64(v)) ^ (uint64_t{1} << 63);
      for (int i = 7; i >= 0; --i) bytes.push_back(static_cast<char>((u >> (8 * i)) & 0xff));
      break;
    }
    case SQLITE_FLOAT: {
      double d = sqlite3_value_double(v);
      uint64_t u;
      std::memcpy(&u, &d, sizeof u);
      u = (u >> 63) ? ~u : u ^ (uint64_t{1} << 63);
      for (int i = 7; i >= 0; --i) bytes.push_back(static_cast<char>((u >> (8 * i)) & 0xff));
      break;
    }
    default: {
      std::string_view b = bytes_of(v);
      bytes.assign(b.data(), b.size());
    }
  }
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2 + 1);
  for (unsigned char c : bytes) {
    unsigned char x = descending ? static_cast<unsigned char>(255 - c) : c;
    out.push_back(kDigits[x >> 4]);
    out.push_back(kDigits[x & 15]);
  }
  out.push_back(descending ? '}' : '.');
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// Scalar subqueries: a second row is ORA-01427.
struct SingleState {
  sqlite3_value *value;
  int64_t count;
};

void single_step(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  (void)argc;
  auto *state = static_cast<SingleState *>(sqlite3_aggregate_context(ctx, sizeof(SingleState)));
  if (state == nullptr) return sqlite3_result_error_nomem(ctx);
  if (++state->count == 1) {
    state->value = sqlite3_value_dup(argv[0]);
    if (state->value == nullptr) return sqlite3_result_error_nomem(ctx);  // never a NULL that was not
  } else if (state->count == 2) {
    raise(ctx, 1427);
  }
}

void single_final(sqlite3_context *ctx) {
  auto *state = static_cast<SingleState *>(sqlite3_aggregate_context(ctx, 0));
  if (state == nullptr || state->count == 0) return sqlite3_result_null(ctx);
  if (state->count > 1) {
    raise(ctx, 1427);
  } else if (state->value) {
    sqlite3_result_value(ctx, state->value);
  } else {
    sqlite3_result_null(ctx);
  }
  sqlite3_value_free(state->value);
  state->value = nullptr;
}

// VARIANCE and STDDEV: sample statistics, exact to the NUMBER digits.
struct VarianceState {
  uint8_t sum[oracle::kNumberSize];
  uint8_t squares[oracle::kNumberSize];
  int64_t count;
  bool failed;
};

template <int direction>
void variance_move(sqlite3_context *ctx, int, sqlite3_value **argv) {
  auto *state = static_cast<VarianceState *>(sqlite3_aggregate_context(ctx, sizeof(VarianceState)));
  if (state == nullptr) return sqlite3_result_error_nomem(ctx);
  if (is_null(argv[0]) || state->failed || (direction < 0 && state->count == 0)) return;
  guarded(ctx, [&] {
    Number value, square, sum, squares;
    if (!number_arg(ctx, argv[0], &value)) {
      state->failed = true;
      return;
    }
    oracle::multiply(value, value, &square);
    if (state->count > 0) {
      oracle::decode(state->sum, &sum);
      oracle::decode(state->squares, &squares);
      if (direction > 0) {
        oracle::add(sum, value, &value);
        oracle::add(squares, square, &square);
      } else {
        oracle::subtract(sum, value, &value);
        oracle::subtract(squares, square, &square);
      }
    }
    oracle::encode(value, state->sum);
    oracle::encode(square, state->squares);
    state->count += direction;
  });
}

template <bool root>
void variance_final(sqlite3_context *ctx) {
  auto *state = static_cast<VarianceState *>(sqlite3_aggregate_context(ctx, 0));
  if (state == nullptr || state->count == 0 || state->failed) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    if (state->count == 1) return result_number(ctx, Number{});
    Number sum, squares, n, n1, mean_square, diff, variance;
    oracle::decode(state->sum, &sum);
    oracle::decode(state->squares, &squares);
    decode_number(number_from_int64(state->count), &n);
    decode_number(number_from_int64(state->count - 1), &n1);
    // (sum of squares - sum^2 / n) / (n - 1)
    Number sum_square;
    oracle::multiply(sum, sum, &sum_square);
    oracle::divide(sum_square, n, &mean_square);
    oracle::subtract(squares, mean_square, &diff);
    oracle::divide(diff, n1, &variance);
    if (root) {
      Number r;
      return result_status(ctx, oracle::sqrt(variance, &r), r);
    }
    result_number(ctx, variance);
  });
}

struct Definition {
  const char *name;
  int args;  // -1: any count
  void (*scalar)(sqlite3_context *, int, sqlite3_value **);
  bool deterministic;
};

const Definition kScalars[] = {
    {"z_add", 2, binary_number<oracle::add>, true},
    {"z_sub", 2, binary_number<oracle::subtract>, true},
    {"z_mul", 2, binary_number<oracle::multiply>, true},
    {"z_div", 2, binary_number<oracle::divide>, true},
    {"z_mod", 2, binary_number<mod>, true},
    {"z_remainder", 2, binary_number<remainder>, true},
    {"z_power", 2, binary_number<power>, true},
    {"z_log", 2, binary_number<log_base>, true},
    {"z_atan2", 2, binary_number<atan2>, true},
    {"z_neg", 1, negate, true},
    {"z_abs", 1, unary_number<absolute>, true},
    {"z_sign", 1, unary_number<sign>, true},
    {"z_ceil", 1, unary_number<ceiling>, true},
    {"z_floor", 1, unary_number<floor_of>, true},
    {"z_sqrt", 1, unary_number<square_root>, true},
    {"z_exp", 1, unary_number<oracle::exp>, true},
    {"z_ln", 1, unary_number<oracle::ln>, true},
    {"z_sin", 1, unary_number<oracle::sin>, true},
    {"z_cos", 1, unary_number<oracle::cos>, true},
    {"z_tan", 1, unary_number<oracle::tan>, true},
    {"z_asin", 1, unary_number<oracle::arc_sin>, true},
    {"z_acos", 1, unary_number<oracle::arc_cos>, true},
    {"z_atan", 1, unary_number<oracle::arc_tan>, true},
    {"z_sinh", 1, unary_number<oracle::hyp_sin>, true},
    {"z_cosh", 1, unary_number<oracle::hyp_cos>, true},
    {"z_tanh", 1, unary_number<oracle::hyp_tan>, true},
    {"z_round", -1, round_number<true>, true},
    {"z_trunc", -1, round_number<false>, true},
    {"z_bitand", 2, bitand_of, true},
    {"z_num2int", 2, number_to_integer, true},
    {"z_num", 1, text_to_number, false},
    {"z_numstr", 1, number_to_text_implicit, false},
    {"z_real2num", 1, real_to_number, true},
    {"z_num2real", 1, number_to_real, true},
    {"z_to_number", -1, to_number_fn, false},
    {"z_to_char_n", -1, to_char_number, false},
    {"z_to_date", -1, text_to_datetime<false>, false},
    {"z_to_char_d", -1, datetime_to_text<false>, false},
    {"z_to_timestamp", -1, text_to_datetime<true>, false},
    {"z_to_char_t", -1, datetime_to_text<true>, false},
    {"z_systimestamp", 0, systimestamp, false},
    {"z_ts2date", 1, timestamp_to_date, true},
    {"z_date2ts", 1, date_to_timestamp, true},
    {"z_fit_ts", 2, fit_timestamp, true},
    {"z_ts_second", 1, timestamp_seconds, true},
    {"z_rawtohex", 1, raw_to_hex_fn, true},
    {"z_hextoraw", 1, hex_to_raw_fn, true},
    {"z_dadd", 2, date_add, true},
    {"z_ddiff", 2, date_difference, true},
    {"z_sysdate", 0, sysdate, false},
    {"z_add_months", 2, add_months_fn, true},
    {"z_months_between", 2, months_between_fn, true},
    {"z_last_day", 1, last_day_fn, true},
    {"z_next_day", 2, next_day_fn, true},
    {"z_round_d", -1, round_date<true>, true},
    {"z_trunc_d", -1, round_date<false>, true},
    {"z_extract", 2, extract_fn, true},
    {"z_cat", -1, concatenate, true},
    {"z_upper", 1, case_fn<true>, true},
    {"z_lower", 1, case_fn<false>, true},
    {"z_initcap", 1, initcap, true},
    {"z_length", 1, length_fn<true>, true},
    {"z_lengthb", 1, length_fn<false>, true},
    {"z_substr", -1, substr_fn, true},
    {"z_instr", -1, instr_fn, true},
    {"z_lpad", -1, pad_fn<true>, true},
    {"z_rpad", -1, pad_fn<false>, true},
    {"z_ltrim", -1, trim_fn<0>, true},
    {"z_rtrim", -1, trim_fn<1>, true},
    {"z_trim", 3, trim_both, true},
    {"z_replace", -1, replace_fn, true},
    {"z_translate", 3, translate_fn, true},
    {"z_chr", 1, chr_fn, true},
    {"z_ascii", 1, ascii_fn, true},
    {"z_fit_num", 5, fit_number, true},
    {"z_fit_text", 4, fit_text, true},
    {"z_fit_char", 4, fit_char, true},
    {"z_fit_raw", 3, fit_raw, true},
    {"z_fit_date", 1, fit_date, true},
    {"z_raise", -1, raise_fn, false},
    {"z_seq_next", 1, sequence_next_fn, false},
    {"z_seq_curr", 1, sequence_current_fn, false},
    {"z_rowid", 2, rowid_fn, true},
    {"z_rowid_row", 2, rowid_row_fn, true},
    {"z_user", 0, user_fn, false},
    {"z_guid", 0, guid_fn, false},
    {"z_sortkey", 2, sortkey_fn, true},
};

}  // namespace

// Exposed for the engine's own use (ROWID descriptors, RETURNING).
std::string format_rowid(int64_t object, int64_t row) { return rowid_text(object, row); }
bool parse_rowid(const std::string &text, int64_t *object, int64_t *row) { return rowid_parse(text, object, row); }

void register_functions(sqlite3 *db, Session *session) {
  for (const Definition &d : kScalars) {
    int flags = SQLITE_UTF8 | (d.deterministic ? SQLITE_DETERMINISTIC : 0);
    sqlite3_create_function_v2(db, d.name, d.args, flags, session, d.scalar, nullptr, nullptr, nullptr);
  }
  register_lob_functions(db);
  // The numeric aggregates are window functions too (SUM(x) OVER ...).
  sqlite3_create_window_function(db, "z_sum", 1, SQLITE_UTF8, session, sum_move<1>, sum_final<false>,
                                 sum_final<false>, sum_move<-1>, nullptr);
  sqlite3_create_window_function(db, "z_avg", 1, SQLITE_UTF8, session, sum_move<1>, sum_final<true>, sum_final<true>,
                                 sum_move<-1>, nullptr);
  sqlite3_create_function_v2(db, "z_single", 1, SQLITE_UTF8, session, nullptr, single_step, single_final, nullptr);
  sqlite3_create_function_v2(db, "z_listagg", -1, SQLITE_UTF8, session, nullptr, listagg_step, listagg_final, nullptr);
  sqlite3_create_window_function(db, "z_variance", 1, SQLITE_UTF8, session, variance_move<1>, variance_final<false>,
                                 variance_final<false>, variance_move<-1>, nullptr);
  sqlite3_create_window_function(db, "z_stddev", 1, SQLITE_UTF8, session, variance_move<1>, variance_final<true>,
                                 variance_final<true>, variance_move<-1>, nullptr);
}

}  // namespace zec::sql
