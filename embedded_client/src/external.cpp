#include "src/external.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "src/handles.h"
#include "src/sql/error.h"
#include "src/sql/engine.h"
#include "src/sql/lob_store.h"
#include "src/sql/translate.h"

namespace zec {
namespace {

using sql::Base;
using sql::fail;
using sql::Type;
using sql::Value;

template <class T>
T load(const void *at) {
  T v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

template <class T>
void put(void *at, T v) {
  std::memcpy(at, &v, sizeof v);
}

// The value in a character external form: text in the client's set.
std::string text_for_client(sql::Session &s, Charset charset, const Value &v) {
  if (v.kind == Value::Kind::Text) return to_client(charset, v.bytes);
  Value t = sql::coerce(s, v, Type::varchar2(32767));
  return to_client(charset, t.bytes);
}

// The value as a NUMBER; one that is already is not copied.
const Value &as_number(sql::Session &s, const Value &v, Value *scratch) {
  if (v.kind == Value::Kind::Number) return v;
  *scratch = sql::coerce(s, v, Type::number());
  return *scratch;
}

std::string raw_of(sql::Session &s, const Value &v) {
  Value r = sql::coerce(s, v, Type::of(Base::Raw));
  return r.bytes;
}

// Stores bytes into a cell of `room` bytes; true when all of them fit.
bool store_bytes(const OutCell &cell, const std::string &bytes, size_t room, size_t offset, size_t *stored) {
  size_t n = bytes.size() <= room ? bytes.size() : room;
  if (n) std::memcpy(static_cast<char *>(cell.buffer) + offset, bytes.data(), n);
  *stored = n;
  return n == bytes.size();
}

void set_length(const OutCell &cell, size_t n) {
  if (cell.length) *cell.length = static_cast<ub2>(n > 65535 ? 65535 : n);
}

// A value cut to fit: a warning with an indicator, the call's failure without.
void truncated_value(const OutCell &cell, size_t original, bool *truncated) {
  if (cell.indicator == nullptr) fail(1406);
  *cell.indicator = static_cast<sb2>(original > 32767 ? -2 : static_cast<int>(original));
  if (cell.rcode) *cell.rcode = 1406;
  *truncated = true;
}

void integer_out(sql::Session &s, const Value &v, const OutCell &cell, bool is_unsigned) {
  if (v.kind == Value::Kind::Date || v.kind == Value::Kind::Raw || v.kind == Value::Kind::Lob) fail(932, "NUMBER\x1f" "DATE");
  Value scratch;
  const Value &n = as_number(s, v, &scratch);
  int64_t value = 0;
  if (sql::number_to_int64(n.bytes, &value) != 0) fail(1455);
  switch (cell.size) {
    case 1:
      if (is_unsigned ? (value < 0 || value > 255) : (value < -128 || value > 127)) fail(1455);
      put(cell.buffer, static_cast<int8_t>(value));
      break;
    case 2:
      if (is_unsigned ? (value < 0 || value > 65535) : (value < -32768 || value > 32767)) fail(1455);
      put(cell.buffer, static_cast<int16_t>(value));
      break;
    case 4:
      if (is_unsigned ? (value < 0 || value > 4294967295LL) : (value < INT32_MIN || value > INT32_MAX)) fail(1455);
      put(cell.buffer, static_cast<int32_t>(value));
      break;
    case 8:
      if (is_unsigned && value < 0) fail(1455);
      put(cell.buffer, value);
      break;
    default:
      fail(1460);  // unimplemented or unreasonable conversion requested
  }
  set_length(cell, static_cast<size_t>(cell.size));
}

void real_out(sql::Session &s, const Value &v, const OutCell &cell) {
  double value;
  if (v.kind == Value::Kind::Real) {
    value = v.real;
  } else {
    if (v.kind == Value::Kind::Date || v.kind == Value::Kind::Raw) fail(932, "NUMBER\x1f" "DATE");
    Value scratch;
    value = sql::number_to_double(as_number(s, v, &scratch).bytes);
  }
  if (cell.size == 4) put(cell.buffer, static_cast<float>(value));
  else if (cell.size == 8) put(cell.buffer, value);
  else fail(1460);
  set_length(cell, static_cast<size_t>(cell.size));
}

}  // namespace

bool external_type(ub2 dty, sql::Type *type) {
  switch (dty) {
    case SQLT_INT: case SQLT_UIN: case SQLT_FLT: case SQLT_NUM: case SQLT_VNU: case SQLT_PDN:
    case SQLT_BFLOAT: case SQLT_BDOUBLE: case SQLT_IBFLOAT: case SQLT_IBDOUBLE:
      *type = Type::number();
      return true;
    case SQLT_STR: case SQLT_CHR: case SQLT_AVC: case SQLT_VCS: case SQLT_LVC:
      *type = Type::varchar2(32767);
      return true;
    case SQLT_AFC: {
      Type t = Type::of(Base::Char);
      t.length = 32767;
      *type = t;
      return true;
    }
    case SQLT_LNG:
      *type = Type::of(Base::Long);
      return true;
    case SQLT_ODT: case SQLT_DAT:
      *type = Type::of(Base::Date);
      return true;
    case SQLT_BIN: case SQLT_VBI: case SQLT_LVB:
      *type = Type::of(Base::Raw);
      type->length = 32767;
      return true;
    case SQLT_LBI:
      *type = Type::of(Base::LongRaw);
      return true;
    case SQLT_CLOB:
      *type = Type::of(Base::Clob);
      return true;
    case SQLT_BLOB:
      *type = Type::of(Base::Blob);
      return true;
    case SQLT_RDD:
      *type = Type::of(Base::Rowid);
      return true;
    default:
      return false;
  }
}

size_t external_stride(ub2 dty, sb4 value_size) {
  if (dty == SQLT_CLOB || dty == SQLT_BLOB || dty == SQLT_RDD || dty == SQLT_BFILEE) return sizeof(void *);
  return value_size > 0 ? static_cast<size_t>(value_size) : 0;
}

Value read_external(Charset charset, ub2 dty, const void *buffer, sb4 value_size,
                    const sb2 *indicator, const ub2 *length) {
  if (indicator != nullptr && *indicator < 0) return Value{};
  if (buffer == nullptr) return Value{};
  auto bytes = static_cast<const char *>(buffer);
  size_t size = value_size > 0 ? static_cast<size_t>(value_size) : 0;
  // The element's length: the length array's entry, else the value size.
  size_t given = length != nullptr ? std::min<size_t>(*length, size) : size;
  switch (dty) {
    case SQLT_INT: case SQLT_UIN: {
      int64_t v;
      bool is_unsigned = dty == SQLT_UIN;
      switch (size) {
        case 1: v = is_unsigned ? load<uint8_t>(buffer) : load<int8_t>(buffer); break;
        case 2: v = is_unsigned ? load<uint16_t>(buffer) : load<int16_t>(buffer); break;
        case 4: v = is_unsigned ? static_cast<int64_t>(load<uint32_t>(buffer)) : load<int32_t>(buffer); break;
        case 8: v = load<int64_t>(buffer); break;
        default: fail(1460);
      }
      return Value::number_bytes(sql::number_from_int64(v));
    }
    case SQLT_FLT: case SQLT_BFLOAT: case SQLT_BDOUBLE: case SQLT_IBFLOAT: case SQLT_IBDOUBLE: {
      double v;
      if (size == 4) v = load<float>(buffer);
      else if (size == 8) v = load<double>(buffer);
      else fail(1460);
      std::string number;
      int code = sql::number_from_double(v, &number);
      if (code == oracle::kUnderflow) number = sql::number_from_int64(0);  // below 1E-130: zero, as SQL converts
      else if (code != 0) fail(code == oracle::kOverflow ? 1426 : 1722);
      return Value::number_bytes(number);
    }
    case SQLT_VNU: {
      if (size < 1) fail(1460);
      size_t n = static_cast<uint8_t>(bytes[0]);
      if (n == 0) return Value{};
      if (n > size - 1 || n > 21) fail(1722);
      std::string number(bytes + 1, n);
      oracle::Number probe;
      if (!sql::decode_number(number, &probe)) fail(1722);
      return Value::number_bytes(sql::number_bytes(probe));
    }
    case SQLT_NUM: {
      std::string number(bytes, std::min<size_t>(given, 21));
      oracle::Number probe;
      if (number.empty() || !sql::decode_number(number, &probe)) fail(1722);
      return Value::number_bytes(sql::number_bytes(probe));
    }
    case SQLT_STR: {
      // Up to the first NUL; without a length, the NUL must lie within the value size.
      const void *nul = std::memchr(bytes, 0, given);
      if (nul == nullptr && length == nullptr) fail(1480);
      size_t n = nul ? static_cast<size_t>(static_cast<const char *>(nul) - bytes) : given;
      return Value::text(to_database(charset, std::string_view(bytes, n)));
    }
    case SQLT_CHR: case SQLT_AVC: case SQLT_AFC:
      return Value::text(to_database(charset, std::string_view(bytes, given)));
    case SQLT_LNG:
      return Value::text(to_database(charset, std::string_view(bytes, given)));
    case SQLT_VCS: {
      if (size < 2) fail(1460);
      size_t n = std::min<size_t>(load<uint16_t>(buffer), size - 2);
      return Value::text(to_database(charset, std::string_view(bytes + 2, n)));
    }
    case SQLT_LVC: case SQLT_LVB: {
      if (size < 4) fail(1460);
      uint32_t declared = load<uint32_t>(buffer);
      size_t n = std::min<size_t>(declared, size - 4);
      std::string_view data(bytes + 4, n);
      return dty == SQLT_LVC ? Value::text(to_database(charset, data)) : Value::raw(std::string(data));
    }
    case SQLT_BIN: case SQLT_LBI:
      return Value::raw(std::string(bytes, given));
    case SQLT_VBI: {
      if (size < 2) fail(1460);
      size_t n = std::min<size_t>(load<uint16_t>(buffer), size - 2);
      return Value::raw(std::string(bytes + 2, n));
    }
    case SQLT_ODT: {
      if (size < sizeof(OCIDate)) fail(1460);
      OCIDate d = load<OCIDate>(buffer);
      int error = 0;
      int64_t seconds = sql::date_from_ocidate(d, &error);
      if (error) fail(error);
      return Value::date(seconds);
    }
    case SQLT_DAT: {
      if (size < 7) fail(1460);
      int error = 0;
      int64_t seconds = sql::date_from_bytes7(reinterpret_cast<const uint8_t *>(bytes), &error);
      if (error) fail(error);
      return Value::date(seconds);
    }
    case SQLT_CLOB: case SQLT_BLOB: {
      auto *locator = live<LobLocator>(load<void *>(buffer), OCI_DTYPE_LOB);
      if (locator == nullptr || !locator->initialized) fail(22275);  // invalid LOB locator specified
      if (locator->character != (dty == SQLT_CLOB)) fail(932, dty == SQLT_CLOB ? "CLOB\x1f" "BLOB" : "BLOB\x1f" "CLOB");
      Value v;
      v.kind = Value::Kind::Lob;
      v.integer = locator->lob_id;
      return v;
    }
    case SQLT_RDD: {
      auto *rowid = live<RowidDescriptor>(load<void *>(buffer), OCI_DTYPE_ROWID);
      if (rowid == nullptr || !rowid->valid) fail(1410);
      return Value::text(sql::format_rowid(rowid->object, rowid->row));
    }
    default:
      fail(932, "-\x1f" + std::to_string(dty));
  }
}

std::string piece_bytes(sql::Session &s, Charset charset, const Value &v, ub2 dty) {
  if (dty == SQLT_LBI || dty == SQLT_BIN) return raw_of(s, v);
  return text_for_client(s, charset, v);
}

void write_external(sql::Session &s, Charset charset, const Value &v, const OutCell &cell, bool *truncated,
                    Handle *session_handle) {
  if (v.is_null()) {
    if (cell.indicator == nullptr) fail(1405);  // fetched column value is NULL
    *cell.indicator = -1;
    if (cell.length) *cell.length = 0;
    if (cell.rcode) *cell.rcode = 1405;
    return;
  }
  if (cell.buffer == nullptr) fail(1460);
  if (cell.indicator) *cell.indicator = 0;
  if (cell.rcode) *cell.rcode = 0;
  size_t size = cell.size > 0 ? static_cast<size_t>(cell.size) : 0;
  size_t stored = 0;
  switch (cell.dty) {
    case SQLT_INT: return integer_out(s, v, cell, false);
    case SQLT_UIN: return integer_out(s, v, cell, true);
    case SQLT_FLT: case SQLT_BFLOAT: case SQLT_BDOUBLE: case SQLT_IBFLOAT: case SQLT_IBDOUBLE:
      return real_out(s, v, cell);
    case SQLT_VNU: case SQLT_NUM: {
      if (v.kind == Value::Kind::Date) fail(932, "NUMBER\x1f" "DATE");
      Value n = sql::coerce(s, v, Type::number());
      size_t offset = cell.dty == SQLT_VNU ? 1 : 0;
      if (size < n.bytes.size() + offset) fail(1460);
      std::memcpy(static_cast<char *>(cell.buffer) + offset, n.bytes.data(), n.bytes.size());
      if (offset) static_cast<uint8_t *>(cell.buffer)[0] = static_cast<uint8_t>(n.bytes.size());
      set_length(cell, n.bytes.size() + offset);
      return;
    }
    case SQLT_STR: {
      std::string text = text_for_client(s, charset, v);
      if (size == 0) fail(1460);
      // value_sz counts the NUL.
      bool whole = store_bytes(cell, text, size - 1, 0, &stored);
      static_cast<char *>(cell.buffer)[stored] = '\0';
      set_length(cell, stored);
      if (!whole) truncated_value(cell, text.size(), truncated);
      return;
    }
    case SQLT_CHR: case SQLT_AVC: case SQLT_LNG: {
      std::string text = text_for_client(s, charset, v);
      bool whole = store_bytes(cell, text, size, 0, &stored);
      set_length(cell, stored);
      if (!whole) truncated_value(cell, text.size(), truncated);
      return;
    }
    case SQLT_AFC: {
      std::string text = text_for_client(s, charset, v);
      bool whole = store_bytes(cell, text, size, 0, &stored);
      // CHAR fills the buffer with blanks.
      if (stored < size) std::memset(static_cast<char *>(cell.buffer) + stored, ' ', size - stored);
      set_length(cell, size);
      if (!whole) truncated_value(cell, text.size(), truncated);
      return;
    }
    case SQLT_VCS: case SQLT_LVC: case SQLT_VBI: case SQLT_LVB: {
      bool character = cell.dty == SQLT_VCS || cell.dty == SQLT_LVC;
      std::string data = character ? text_for_client(s, charset, v) : raw_of(s, v);
      size_t prefix = cell.dty == SQLT_VCS || cell.dty == SQLT_VBI ? 2 : 4;
      if (size < prefix) fail(1460);
      bool whole = store_bytes(cell, data, size - prefix, prefix, &stored);
      if (prefix == 2) put(cell.buffer, static_cast<uint16_t>(stored));
      else put(cell.buffer, static_cast<uint32_t>(stored));
      set_length(cell, stored + prefix);
      if (!whole) truncated_value(cell, data.size(), truncated);
      return;
    }
    case SQLT_BIN: case SQLT_LBI: {
      std::string data = raw_of(s, v);
      bool whole = store_bytes(cell, data, size, 0, &stored);
      set_length(cell, stored);
      if (!whole) truncated_value(cell, data.size(), truncated);
      return;
    }
    case SQLT_ODT: {
      if (size < sizeof(OCIDate)) fail(1460);
      Value d = sql::coerce(s, v, Type::of(Base::Date));
      OCIDate out = sql::ocidate_of(d.integer);
      std::memcpy(cell.buffer, &out, sizeof out);
      set_length(cell, sizeof out);
      return;
    }
    case SQLT_DAT: {
      if (size < 7) fail(1460);
      Value d = sql::coerce(s, v, Type::of(Base::Date));
      sql::date_to_bytes7(d.integer, static_cast<uint8_t *>(cell.buffer));
      set_length(cell, 7);
      return;
    }
    case SQLT_CLOB: case SQLT_BLOB: {
      auto *locator = live<LobLocator>(load<void *>(cell.buffer), OCI_DTYPE_LOB);
      if (locator == nullptr) fail(22275);
      if (v.kind != Value::Kind::Lob) fail(932, (cell.dty == SQLT_CLOB ? "CLOB\x1f" : "BLOB\x1f") + std::string("CHAR"));
      sql::LobHead head = sql::lob_head(s.db, v.integer);
      if (head.character != (cell.dty == SQLT_CLOB)) fail(932, cell.dty == SQLT_CLOB ? "CLOB\x1f" "BLOB" : "BLOB\x1f" "CLOB");
      locator->initialized = true;
      locator->character = head.character;
      locator->lob_id = v.integer;
      locator->session = static_cast<SessionHandle *>(session_handle);
      locator->temporary = v.integer < 0;
      locator->locked_transaction = s.in_transaction ? s.transaction_number : 0;
      locator->streaming = false;
      locator->csform = head.character ? SQLCS_IMPLICIT : 0;
      set_length(cell, sizeof(void *));
      return;
    }
    case SQLT_RDD: {
      auto *rowid = live<RowidDescriptor>(load<void *>(cell.buffer), OCI_DTYPE_ROWID);
      if (rowid == nullptr) fail(1410);
      Value t = sql::coerce(s, v, Type::varchar2(18));
      if (!sql::parse_rowid(t.bytes, &rowid->object, &rowid->row)) fail(1410);
      rowid->valid = true;
      set_length(cell, sizeof(void *));
      return;
    }
    default:
      fail(932, "-\x1f" + std::to_string(cell.dty));
  }
}

}  // namespace zec
