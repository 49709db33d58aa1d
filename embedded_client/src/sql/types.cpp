#include "src/sql/types.h"

namespace zec::sql {

std::string type_name(const Type &t) {
  switch (t.base) {
    case Base::Unknown: return "VARCHAR2";
    case Base::Number: return t.is_float ? "FLOAT" : "NUMBER";
    case Base::BinaryFloat: return "BINARY_FLOAT";
    case Base::BinaryDouble: return "BINARY_DOUBLE";
    case Base::Varchar2: return "VARCHAR2";
    case Base::NVarchar2: return "NVARCHAR2";
    case Base::Char: return "CHAR";
    case Base::NChar: return "NCHAR";
    case Base::Long: return "LONG";
    case Base::Date: return "DATE";
    case Base::Timestamp: return "TIMESTAMP(" + std::to_string(t.fraction) + ")";
    case Base::Raw: return "RAW";
    case Base::LongRaw: return "LONG RAW";
    case Base::Clob: return "CLOB";
    case Base::NClob: return "NCLOB";
    case Base::Blob: return "BLOB";
    case Base::Bfile: return "BFILE";
    case Base::Rowid: return "ROWID";
    case Base::Boolean: return "BOOLEAN";
  }
  return "UNDEFINED";
}

std::string type_declaration(const Type &t) {
  std::string name = type_name(t);
  switch (t.base) {
    case Base::Number:
      if (t.is_float) return "FLOAT(" + std::to_string(t.precision) + ")";
      if (t.precision == 0 && t.scale == -127) return "NUMBER";
      if (t.precision == 0) return "NUMBER(*," + std::to_string(t.scale) + ")";
      if (t.scale == -127) return "NUMBER(" + std::to_string(t.precision) + ")";
      return "NUMBER(" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
    case Base::Varchar2: case Base::Char:
      return name + "(" + std::to_string(t.length) + (t.char_semantics ? " CHAR)" : " BYTE)");
    case Base::NVarchar2: case Base::NChar: case Base::Raw:
      return name + "(" + std::to_string(t.length) + ")";
    default:
      return name;
  }
}

ub2 sqlt_code(const Type &t) {
  switch (t.base) {
    case Base::Number: return SQLT_NUM;
    case Base::BinaryFloat: return SQLT_IBFLOAT;
    case Base::BinaryDouble: return SQLT_IBDOUBLE;
    case Base::Char: case Base::NChar: return SQLT_AFC;
    case Base::Long: return SQLT_LNG;
    case Base::Date: return SQLT_DAT;
    case Base::Timestamp: return SQLT_TIMESTAMP;
    case Base::Raw: return SQLT_BIN;
    case Base::LongRaw: return SQLT_LBI;
    case Base::Clob: case Base::NClob: return SQLT_CLOB;
    case Base::Blob: return SQLT_BLOB;
    case Base::Bfile: return SQLT_BFILEE;
    case Base::Rowid: return SQLT_RDD;
    case Base::Boolean: return 252;
    default: return SQLT_CHR;
  }
}

ub2 data_size(const Type &t) {
  switch (t.base) {
    case Base::Number: return 22;
    case Base::BinaryFloat: return 4;
    case Base::BinaryDouble: return 8;
    case Base::Varchar2: case Base::NVarchar2: case Base::Char: case Base::NChar: {
      long bytes = t.char_semantics ? static_cast<long>(t.length) * kMaxCharBytes : t.length;
      return static_cast<ub2>(bytes > 32767 ? 32767 : bytes);
    }
    case Base::Raw: return static_cast<ub2>(t.length);
    case Base::Date: return 7;
    case Base::Timestamp: return 11;
    case Base::Clob: case Base::NClob: case Base::Blob: case Base::Bfile: return 4000;
    case Base::Rowid: return 10;
    case Base::Boolean: return 4;
    default: return 0;
  }
}

int16_t describe_precision(const Type &t) {
  if (t.base != Base::Number) return 0;
  if (t.precision == 0 && t.scale == 0) return 38;  // INTEGER
  return t.precision;
}

int8_t describe_scale(const Type &t) {
  if (t.base != Base::Number) return 0;
  if (t.is_float) return -127;
  return static_cast<int8_t>(t.scale);
}

ub2 char_size(const Type &t) {
  switch (t.base) {
    case Base::Varchar2: case Base::NVarchar2: case Base::Char: case Base::NChar:
      return static_cast<ub2>(t.length > 65535 ? 65535 : t.length);
    default:
      return 0;
  }
}

}  // namespace zec::sql
