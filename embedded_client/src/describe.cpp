#include "src/describe.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "src/database.h"
#include "src/errors.h"
#include "src/handles.h"
#include "src/oracle/number.h"
#include "src/sql/error.h"
#include "src/sql/session.h"
#include "src/sql/value.h"
#include "src/trace.h"

namespace zec {
namespace {

// An object's name as given: schema.name, quoted parts kept, others upper-cased.
bool object_name(const char *text, size_t length, std::string *schema, std::string *name) {
  std::string s(text, length);
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= s.size()) {
    std::string part;
    if (i < s.size() && s[i] == '"') {
      size_t close = s.find('"', i + 1);
      if (close == std::string::npos) return false;
      part = s.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      size_t dot = s.find('.', i);
      part = upper(s.substr(i, dot == std::string::npos ? std::string::npos : dot - i));
      while (!part.empty() && part.back() == ' ') part.pop_back();
      while (!part.empty() && part.front() == ' ') part.erase(0, 1);
      i = dot == std::string::npos ? s.size() : dot;
    }
    parts.push_back(part);
    if (i >= s.size()) break;
    if (s[i] != '.') return false;
    ++i;
  }
  if (parts.empty() || parts.size() > 2 || parts.back().empty()) return false;
  *name = parts.back();
  *schema = parts.size() == 2 ? parts[0] : std::string();
  return true;
}

StoredNumber stored(const std::string &text) {
  StoredNumber bytes{};
  oracle::Number n;
  if (oracle::from_plain(text, &n) != 0) n = oracle::Number{};
  oracle::encode(n, bytes.data());
  return bytes;
}

// Fills `object`; 0, or the ORA code for why not.
sb4 describe_object(sql::Session &s, const std::string &name, ub1 wanted, DescribedObject &object) {
  const sql::Catalog &catalog = s.schema();
  const sql::TableInfo *t = catalog.table(name);
  if (t == nullptr) {
    if (wanted != OCI_PTYPE_UNK && wanted != OCI_PTYPE_SEQ) return 4043;
    sql::SequenceInfo q;
    if (!sql::sequence_find(s, name, &q)) return 4043;
    object.ptype = OCI_PTYPE_SEQ;
    object.name = name;
    object.schema = s.user;
    object.sequence = SequenceNumbers{stored(q.min_value), stored(q.max_value), stored(q.increment), stored(q.cache),
                                      stored(q.last_number), static_cast<ub1>(q.ordered ? 1 : 0)};
    return 0;
  }
  object.ptype = t->kind == 'V' ? OCI_PTYPE_VIEW : OCI_PTYPE_TABLE;
  if (wanted != OCI_PTYPE_UNK && wanted != object.ptype) return 4043;
  object.name = t->name;
  object.schema = s.user;
  for (const sql::ColumnInfo &c : t->columns) object.columns.push_back(column_of(c.name, c.type, c.nullable));
  return 0;
}

}  // namespace

Column column_of(const std::string &name, const sql::Type &type, bool nullable) {
  Column c;
  c.name = name;
  c.data_type = sql::sqlt_code(type);
  c.data_size = sql::data_size(type);
  c.precision = sql::describe_precision(type);
  c.scale = static_cast<sb1>(sql::describe_scale(type));
  c.nullable = nullable ? 1 : 0;
  c.char_size = sql::char_size(type);
  c.char_used = type.char_semantics ? 1 : 0;
  return c;
}

std::shared_ptr<DescribedObject> select_list_of(const Statement &st) {
  auto object = std::make_shared<DescribedObject>();
  object->ptype = OCI_PTYPE_LIST;
  object->select_list = true;
  Charset charset = charset_of(&st);
  for (const sql::ResultColumn &r : st.described) {
    Column c = column_of(to_client(charset, r.name), r.type, r.nullable);
    if (r.type.base == sql::Base::Unknown) c.data_size = 0;
    object->columns.push_back(c);
  }
  return object;
}

}  // namespace zec

using zec::Handle;
using zec::live_handle;
using zec::set_error;

extern "C" {

ZEC_EXPORT sword __cdecl OCIDescribeAny(OCISvcCtx *svchp, OCIError *errhp, void *objptr, ub4 objnm_len,
                                        ub1 objptr_typ, ub1 info_level, ub1 objtyp, OCIDescribe *dschp) {
  ZEC_ENTER("OCIDescribeAny", svchp, errhp, objptr, objnm_len, objptr_typ, info_level, objtyp, dschp);
  Handle *service = live_handle(svchp, OCI_HTYPE_SVCCTX);
  auto *describe = zec::live<zec::Describe>(dschp, OCI_HTYPE_DESCRIBE);
  if (service == nullptr || describe == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIDescribeAny", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  zec::sql::Session *session = zec::session_of(service, errhp);
  if (session == nullptr) ZEC_RETURN("OCIDescribeAny", OCI_ERROR);
  if (info_level != OCI_DEFAULT) ZEC_RETURN("OCIDescribeAny", set_error(errhp, 21560, "6"));
  // Objects are named here; a pointer or REF names an object type, and
  // there are none.
  if (objptr_typ != OCI_OTYPE_NAME || objptr == nullptr || objnm_len == 0)
    ZEC_RETURN("OCIDescribeAny", set_error(errhp, 4043, ""));
  try {
    std::string text = zec::to_database(zec::charset_of(service),
                                        std::string_view(static_cast<const char *>(objptr), objnm_len));
    std::string schema, name;
    if (!zec::object_name(text.data(), text.size(), &schema, &name))
      ZEC_RETURN("OCIDescribeAny", set_error(errhp, 4043, zec::upper(text).c_str()));
    auto object = std::make_shared<zec::DescribedObject>();
    sb4 refused = (!schema.empty() && schema != session->user) ? 4043
                                                               : zec::describe_object(*session, name, objtyp, *object);
    if (refused != 0) ZEC_RETURN("OCIDescribeAny", set_error(errhp, refused, zec::to_client(zec::charset_of(service), name).c_str()));
    for (auto &c : object->columns) c.name = zec::to_client(zec::charset_of(service), c.name);
    // A new describe replaces what the handle held before.
    if (Handle *old = live_handle(describe->parameter, OCI_DTYPE_PARAM)) zec::free_handle(old);
    auto *parameter = static_cast<zec::Parameter *>(zec::new_handle(OCI_DTYPE_PARAM, true, describe->environment, describe));
    if (parameter == nullptr) ZEC_RETURN("OCIDescribeAny", set_error(errhp, 4030, "describe"));
    parameter->described = object;
    parameter->column = 0;
    describe->parameter = parameter;
  } catch (const zec::sql::SqlError &e) {
    ZEC_RETURN("OCIDescribeAny", zec::set_error(errhp, e));
  } catch (...) {
    ZEC_RETURN("OCIDescribeAny", set_error(errhp, 4030, "describe"));
  }
  ZEC_RETURN("OCIDescribeAny", OCI_SUCCESS);
}

}  // extern "C"
