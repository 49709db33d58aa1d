// Oracle's data types as the embedded database keeps them: what a column
// was declared with, what an expression yields, and how each is stored in
// SQLite.
//
// Storage in SQLite, one class per family, so that SQLite's own ordering
// is Oracle's ordering:
//   NUMBER and its subtypes   BLOB: Oracle's NUMBER bytes (no length byte);
//                             they sort by memcmp exactly as the values do
//   DATE                      INTEGER: seconds from Oracle's Julian day 0
//   TIMESTAMP                 INTEGER: microseconds from the same origin
//   character types, LONG     TEXT, UTF-8 (the database character set)
//   RAW, LONG RAW             BLOB
//   CLOB, BLOB                INTEGER: the id of the LOB's chunks, or NULL
//   BINARY_DOUBLE/FLOAT       REAL
#pragma once

#include <cstdint>
#include <string>

#include "oci.h"

namespace zec::sql {

enum class Base : uint8_t {
  Unknown,  // a NULL literal: takes any type
  Number,
  BinaryFloat,
  BinaryDouble,
  Varchar2,
  NVarchar2,
  Char,
  NChar,
  Long,
  Date,
  Timestamp,
  Raw,
  LongRaw,
  Clob,
  NClob,
  Blob,
  Bfile,
  Rowid,
  Boolean,  // conditions, and PL/SQL BOOLEAN
};

struct Type {
  Base base = Base::Unknown;
  int32_t length = 0;         // character and RAW types: the maximum size
  bool char_semantics = false;
  int16_t precision = 0;      // NUMBER(p[,s]); FLOAT(b): binary precision; 0 = none
  int16_t scale = -127;       // -127: none given (floating)
  bool is_float = false;      // FLOAT[(b)]
  int8_t fraction = 6;        // TIMESTAMP(f)

  static Type number(int16_t precision = 0, int16_t scale = -127) {
    Type t;
    t.base = Base::Number;
    t.precision = precision;
    t.scale = scale;
    return t;
  }
  static Type varchar2(int32_t length) {
    Type t;
    t.base = Base::Varchar2;
    t.length = length;
    return t;
  }
  static Type of(Base base) {
    Type t;
    t.base = base;
    return t;
  }
};

// Families: what an expression of the type can be converted to without a
// named function, and how it is stored.
inline bool is_numeric(Base b) {
  return b == Base::Number || b == Base::BinaryFloat || b == Base::BinaryDouble;
}
inline bool is_character(Base b) {
  return b == Base::Varchar2 || b == Base::NVarchar2 || b == Base::Char || b == Base::NChar ||
         b == Base::Long || b == Base::Clob || b == Base::NClob;
}
inline bool is_datetime(Base b) { return b == Base::Date || b == Base::Timestamp; }
inline bool is_binary(Base b) { return b == Base::Raw || b == Base::LongRaw || b == Base::Blob; }
inline bool is_lob(Base b) { return b == Base::Clob || b == Base::NClob || b == Base::Blob; }
inline bool is_long(Base b) { return b == Base::Long || b == Base::LongRaw; }

// "NUMBER(10,2)", "VARCHAR2(20 CHAR)", ... as USER_TAB_COLUMNS shows the name.
std::string type_name(const Type &t);
// The full declaration, which parse_type reads back.
std::string type_declaration(const Type &t);

// OCI's describe of a value of the type.
ub2 sqlt_code(const Type &t);        // OCI_ATTR_DATA_TYPE
ub2 data_size(const Type &t);        // OCI_ATTR_DATA_SIZE, in bytes
int16_t describe_precision(const Type &t);
int8_t describe_scale(const Type &t);
ub2 char_size(const Type &t);        // OCI_ATTR_CHAR_SIZE: characters, for character types

// Bytes a character of the database character set can take (UTF-8).
inline constexpr int kMaxCharBytes = 4;
// The largest VARCHAR2 and RAW.
inline constexpr int32_t kMaxVarchar = 4000;
inline constexpr int32_t kMaxRaw = 2000;
inline constexpr int32_t kMaxChar = 2000;

}  // namespace zec::sql
