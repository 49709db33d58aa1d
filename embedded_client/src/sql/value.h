// SQL values as the engine moves them between SQLite and OCI's external
// types: NUMBER exact (Oracle's own bytes), DATE with its time of day, text
// in the database character set (UTF-8), RAW bytes, LOBs by id. The empty
// string is NULL, as in Oracle.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "src/oracle/date.h"
#include "src/oracle/number.h"
#include "src/sql/types.h"

struct sqlite3_value;
struct sqlite3_stmt;
struct sqlite3_context;

namespace zec::sql {

struct Value {
  enum class Kind : uint8_t { Null, Number, Text, Date, Timestamp, Raw, Lob, Real, Boolean };
  Kind kind = Kind::Null;
  int64_t integer = 0;  // Date: seconds; Timestamp: microseconds; Lob: id; Boolean: 0 or 1
  double real = 0;      // BINARY_DOUBLE
  std::string bytes;    // Number: NUMBER bytes; Text: UTF-8; Raw: the bytes

  bool is_null() const { return kind == Kind::Null; }
  static Value null() { return Value{}; }
  static Value text(std::string s) {
    Value v;
    if (!s.empty()) {  // '' is NULL
      v.kind = Kind::Text;
      v.bytes = std::move(s);
    }
    return v;
  }
  static Value raw(std::string s) {
    Value v;
    if (!s.empty()) {
      v.kind = Kind::Raw;
      v.bytes = std::move(s);
    }
    return v;
  }
  static Value date(int64_t seconds) {
    Value v;
    v.kind = Kind::Date;
    v.integer = seconds;
    return v;
  }
  static Value number_bytes(std::string b) {
    Value v;
    v.kind = Kind::Number;
    v.bytes = std::move(b);
    return v;
  }
};

// ---- NUMBER ------------------------------------------------------------------
// The bytes of a NUMBER as stored: Oracle's form after its length byte.
std::string number_bytes(const oracle::Number &n);
// false for bytes that are not a NUMBER.
bool decode_number(std::string_view bytes, oracle::Number *out);
// Fast paths for the common values.
std::string number_from_int64(int64_t value);
// 0, or kOverflow when the value has a fraction dropped or does not fit:
// *fraction says whether digits right of the point were dropped.
int number_to_int64(std::string_view bytes, int64_t *out, bool *fraction = nullptr);
// A real in: the shortest decimal that reads back as the same double.
int number_from_double(double value, std::string *out);
// The nearest double to the exact value.
double number_to_double(std::string_view bytes);
bool number_is_zero(std::string_view bytes);
bool number_is_negative(std::string_view bytes);

// Text forms used by implicit conversion: TO_CHAR's TM model (".5",
// "-12.25", scientific past 64 characters) and TO_NUMBER without a model
// (blanks around, a sign, digits, a point, an exponent). 0 or ORA-01722.
std::string number_to_text(std::string_view bytes);
int number_from_text(std::string_view text, std::string *out);

// NUMBER(p,s) for a column: rounded to s places, then checked against p
// digits (ORA-01438). FLOAT(b): rounded to the decimal digits b bits give.
// 0 or the ORA code.
int number_fit(const Type &column, std::string *bytes);

// ---- DATE --------------------------------------------------------------------
inline constexpr int64_t kSecondsPerDay = 86400;
int64_t date_seconds(const oracle::Date &d);
oracle::Date date_of(int64_t seconds);
// OCIDate and Oracle's 7-byte DATE.
int64_t date_from_ocidate(const OCIDate &d, int *error);
OCIDate ocidate_of(int64_t seconds);
void date_to_bytes7(int64_t seconds, uint8_t out[7]);
int64_t date_from_bytes7(const uint8_t in[7], int *error);
// TIMESTAMP: microseconds from the same origin.
inline constexpr int64_t kMicrosPerSecond = 1000000;
int64_t timestamp_micros(const oracle::Date &d);
oracle::Date timestamp_of(int64_t micros);
inline Value timestamp_value(int64_t micros) {
  Value v;
  v.kind = Value::Kind::Timestamp;
  v.integer = micros;
  return v;
}

// ---- Hex ---------------------------------------------------------------------
std::string raw_to_hex(std::string_view raw);
// 0, or ORA-01465 (invalid hex number).
int raw_from_hex(std::string_view hex, std::string *out);

// ---- UTF-8 -------------------------------------------------------------------
// Characters in a UTF-8 text (bytes that do not start a character count as one).
size_t utf8_length(std::string_view s);
// The byte offset of character `index` (from 0), or s.size() past the end.
size_t utf8_offset(std::string_view s, size_t index);

}  // namespace zec::sql
