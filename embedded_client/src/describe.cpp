// Describing tables and views: each column's Oracle type, read back from
// the type the table was declared with.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "src/database.h"
#include "src/errors.h"
#include "src/handles.h"
#include "src/oracle/number.h"
#include "src/trace.h"

namespace zec {
namespace {

constexpr ub2 kTypeTimestamp = 180;

// The numbers in "(p,s)" after a type name; absent ones stay as given.
void size_arguments(const std::string &type, long *first, long *second) {
  size_t open = type.find('(');
  if (open == std::string::npos) return;
  const char *at = type.c_str() + open + 1;
  char *end = nullptr;
  long value = std::strtol(at, &end, 10);
  if (end != at) *first = value;
  const char *comma = std::strchr(end, ',');
  if (comma != nullptr) {
    long scale = std::strtol(comma + 1, &end, 10);
    if (end != comma + 1) *second = scale;
  }
}

bool starts_with(const std::string &text, const char *prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

ub2 clamp_size(long size) { return static_cast<ub2>(size < 0 ? 0 : size > 65535 ? 65535 : size); }

// Oracle's describe of a declared column type.
Column column_of(const std::string &name, const std::string &declared, bool not_null) {
  std::string type = upper(declared);
  Column c{upper(name), SQLT_CHR, 4000, 0, 0, static_cast<ub1>(not_null ? 0 : 1)};
  long first = -1;
  long second = -1;
  size_arguments(type, &first, &second);
  if (starts_with(type, "NUMBER") || starts_with(type, "NUMERIC") || starts_with(type, "DECIMAL")) {
    c.data_type = SQLT_NUM;
    c.data_size = 22;
    if (first < 0) {  // unconstrained
      c.precision = 0;
      c.scale = -127;
    } else {
      c.precision = static_cast<ub1>(first);
      c.scale = static_cast<sb1>(second < 0 ? 0 : second);
    }
  } else if (starts_with(type, "INT") || starts_with(type, "SMALLINT")) {
    c.data_type = SQLT_NUM;
    c.data_size = 22;
    c.precision = 38;
  } else if (starts_with(type, "FLOAT") || starts_with(type, "REAL") || starts_with(type, "DOUBLE")) {
    c.data_type = SQLT_NUM;
    c.data_size = 22;
    c.precision = static_cast<ub1>(first < 0 ? 126 : first);
    c.scale = -127;
  } else if (starts_with(type, "BINARY_FLOAT")) {
    c.data_type = SQLT_IBFLOAT;
    c.data_size = 4;
  } else if (starts_with(type, "BINARY_DOUBLE")) {
    c.data_type = SQLT_IBDOUBLE;
    c.data_size = 8;
  } else if (starts_with(type, "VARCHAR") || starts_with(type, "NVARCHAR")) {
    c.data_type = SQLT_CHR;
    c.data_size = clamp_size(first < 0 ? 1 : first);
  } else if (starts_with(type, "CHAR") || starts_with(type, "NCHAR")) {
    c.data_type = SQLT_AFC;
    c.data_size = clamp_size(first < 0 ? 1 : first);
  } else if (type == "DATE") {
    c.data_type = SQLT_DAT;
    c.data_size = 7;
  } else if (starts_with(type, "TIMESTAMP")) {
    c.data_type = kTypeTimestamp;
    c.data_size = 11;
    c.scale = static_cast<sb1>(first < 0 ? 6 : first);
  } else if (starts_with(type, "CLOB") || starts_with(type, "NCLOB")) {
    c.data_type = SQLT_CLOB;
    c.data_size = 4000;
  } else if (starts_with(type, "BLOB")) {
    c.data_type = SQLT_BLOB;
    c.data_size = 4000;
  } else if (starts_with(type, "BFILE")) {
    c.data_type = SQLT_BFILEE;
    c.data_size = 530;
  } else if (starts_with(type, "LONG RAW")) {
    c.data_type = SQLT_LBI;
    c.data_size = 0;
  } else if (starts_with(type, "LONG")) {
    c.data_type = SQLT_LNG;
    c.data_size = 0;
  } else if (starts_with(type, "RAW")) {
    c.data_type = SQLT_BIN;
    c.data_size = clamp_size(first < 0 ? 1 : first);
  } else if (starts_with(type, "ROWID") || starts_with(type, "UROWID")) {
    c.data_type = SQLT_RDD;
    c.data_size = 10;
  }
  return c;
}

// "SCHEMA.NAME" or "NAME", without quotes.
std::string object_name(const char *text, size_t length) {
  std::string name(text, length);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name = name.substr(dot + 1);
  name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
  return name;
}

StoredNumber stored(const char *text) {
  StoredNumber bytes{};
  oracle::Number n;
  if (text == nullptr || oracle::from_plain(text, &n) != 0) n = oracle::Number{};
  oracle::encode(n, bytes.data());
  return bytes;
}

// A sequence of that name; 0, or 4043 when there is none.
sb4 describe_sequence(sqlite3 *db, const std::string &name, DescribedObject &object) {
  sqlite3_stmt *stmt = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT name, min_value, max_value, increment, cache, ordered, last_number "
                         "FROM zec_sequences WHERE name = upper(?)",
                         -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return 4043;  // no sequence has been made in this database
  }
  sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sb4 result = 4043;
  if (sqlite3_step(stmt) == SQLITE_ROW) {
    auto text = [&](int column) { return reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)); };
    object.ptype = OCI_PTYPE_SEQ;
    object.name = text(0);
    object.sequence = SequenceNumbers{stored(text(1)), stored(text(2)), stored(text(3)), stored(text(4)),
                                      stored(text(6)), static_cast<ub1>(sqlite3_column_int(stmt, 5))};
    result = 0;
  }
  sqlite3_finalize(stmt);
  return result;
}

// Fills `object` from the database; 0, or the ORA code for why not.
sb4 describe_object(sqlite3 *db, const std::string &name, ub1 wanted, DescribedObject &object,
                    const std::string &user) {
  sqlite3_stmt *stmt = nullptr;
  std::string kind;
  std::string stored_name;
  if (sqlite3_prepare_v2(db,
                         "SELECT type, name FROM sqlite_master WHERE upper(name) = upper(?) "
                         "AND type IN ('table', 'view') AND name NOT LIKE 'zec_%'",
                         -1, &stmt, nullptr) != SQLITE_OK)
    return 600;
  sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(stmt) == SQLITE_ROW) {
    kind = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    stored_name = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1));
  }
  sqlite3_finalize(stmt);
  if (kind.empty()) {
    if (wanted != OCI_PTYPE_UNK && wanted != OCI_PTYPE_SEQ) return 4043;
    object.schema = user;
    return describe_sequence(db, name, object);
  }
  object.ptype = kind == "view" ? OCI_PTYPE_VIEW : OCI_PTYPE_TABLE;
  if (wanted != OCI_PTYPE_UNK && wanted != object.ptype) return 4043;
  object.name = upper(stored_name);
  object.schema = user;

  std::string pragma = "SELECT name, type, \"notnull\" FROM pragma_table_info(?)";
  if (sqlite3_prepare_v2(db, pragma.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return 600;
  sqlite3_bind_text(stmt, 1, stored_name.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const char *column = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    const char *type = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1));
    object.columns.push_back(column_of(column ? column : "", type ? type : "",
                                       sqlite3_column_int(stmt, 2) != 0));
  }
  sqlite3_finalize(stmt);
  return 0;
}

}  // namespace
}  // namespace zec

using zec::Handle;
using zec::live_handle;
using zec::set_error;

extern "C" {

ZEC_EXPORT sword __cdecl OCIDescribeAny(OCISvcCtx *svchp, OCIError *errhp, void *objptr,
                                        ub4 objnm_len, ub1 objptr_typ, ub1 info_level, ub1 objtyp,
                                        OCIDescribe *dschp) {
  ZEC_ENTER("OCIDescribeAny", svchp, errhp, objptr, objnm_len, objptr_typ, info_level, objtyp, dschp);
  Handle *service = live_handle(svchp, OCI_HTYPE_SVCCTX);
  Handle *describe = live_handle(dschp, OCI_HTYPE_DESCRIBE);
  if (service == nullptr || describe == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIDescribeAny", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  Handle *session = live_handle(service->session, OCI_HTYPE_SESSION);
  if (session == nullptr || session->connection == nullptr)
    ZEC_RETURN("OCIDescribeAny", set_error(errhp, 1012));
  if (info_level != OCI_DEFAULT) ZEC_RETURN("OCIDescribeAny", set_error(errhp, 21560, "6"));
  // Objects are named here; a pointer or REF names an object type, and
  // there are none.
  if (objptr_typ != OCI_OTYPE_NAME || objptr == nullptr || objnm_len == 0)
    ZEC_RETURN("OCIDescribeAny", set_error(errhp, 4043, ""));
  try {
    std::string name = zec::object_name(static_cast<const char *>(objptr), objnm_len);
    auto object = std::make_shared<zec::DescribedObject>();
    sb4 refused = zec::describe_object(session->connection, name, objtyp, *object, session->user);
    if (refused != 0) ZEC_RETURN("OCIDescribeAny", set_error(errhp, refused, zec::upper(name).c_str()));
    // A new describe replaces what the handle held before.
    if (Handle *old = live_handle(describe->parameter, OCI_DTYPE_PARAM)) zec::free_handle(old);
    Handle *parameter = zec::new_handle(OCI_DTYPE_PARAM, true, describe->environment, describe);
    if (parameter == nullptr) ZEC_RETURN("OCIDescribeAny", set_error(errhp, 600, "out of memory"));
    parameter->described = object;
    parameter->column = 0;
    describe->parameter = parameter;
  } catch (...) {
    ZEC_RETURN("OCIDescribeAny", set_error(errhp, 600, "out of memory"));
  }
  ZEC_RETURN("OCIDescribeAny", OCI_SUCCESS);
}

}  // extern "C"
