// Attributes of handles and descriptors, and parameter descriptors: each
// handle answers the attributes an embedded database gives a meaning to,
// and ORA-24315 for the rest.
#include <cstring>
#include <string>

#include "src/describe.h"
#include "src/errors.h"
#include "src/handles.h"
#include "src/trace.h"

namespace zec {
namespace {

using sql::Base;


// NUMBER attributes answer with the address of the stored bytes after the
// length byte, and their count, as OCI does.
sword put_number(void *attributep, ub4 *sizep, const StoredNumber &number) {
  const ub1 *bytes = number.data() + 1;
  std::memcpy(attributep, &bytes, sizeof bytes);
  if (sizep) *sizep = number[0];
  return OCI_SUCCESS;
}
constexpr ub2 kCharsetWe8mswin1252 = 178;
constexpr ub4 kPinDefault = 1;

template <class T>
sword put(void *attributep, ub4 *sizep, T value) {
  std::memcpy(attributep, &value, sizeof value);
  if (sizep) *sizep = sizeof value;
  return OCI_SUCCESS;
}

sword put_text(void *attributep, ub4 *sizep, const std::string &text) {
  const OraText *pointer = reinterpret_cast<const OraText *>(text.c_str());
  std::memcpy(attributep, &pointer, sizeof pointer);
  if (sizep) *sizep = static_cast<ub4>(text.size());
  return OCI_SUCCESS;
}

sword put_handle(void *attributep, ub4 *sizep, const void *handle) {
  std::memcpy(attributep, &handle, sizeof handle);
  if (sizep) *sizep = sizeof handle;
  return OCI_SUCCESS;
}

ub4 number_or(const Handle &h, ub4 attribute, ub4 fallback) {
  auto it = h.numbers.find(attribute);
  return it == h.numbers.end() ? fallback : it->second;
}

const std::string &text_or_empty(const Handle &h, ub4 attribute) {
  static const std::string empty;
  auto it = h.texts.find(attribute);
  return it == h.texts.end() ? empty : it->second;
}

// The list of columns of a described object, made once and kept with it.
Handle *column_list(Parameter &object) {
  if (Handle *list = live_handle(object.list, OCI_DTYPE_PARAM)) return list;
  auto *list = static_cast<Parameter *>(new_handle(OCI_DTYPE_PARAM, true, object.environment, &object));
  if (list == nullptr) return nullptr;
  list->described = object.described;
  list->column = -1;
  object.list = list;
  return list;
}

sword get_parameter(Parameter &p, void *value, ub4 *sizep, ub4 attribute, const void *error) {
  if (!p.described) return set_error(error, 24315);
  const DescribedObject &object = *p.described;
  if (p.column == 0 && object.ptype == OCI_PTYPE_SEQ) {
    const SequenceNumbers &q = object.sequence;
    switch (attribute) {
      case OCI_ATTR_PTYPE: return put<ub1>(value, sizep, object.ptype);
      case OCI_ATTR_OBJID: return put<ub4>(value, sizep, 0);
      case OCI_ATTR_OBJ_NAME: return put_text(value, sizep, object.name);
      case OCI_ATTR_OBJ_SCHEMA: return put_text(value, sizep, object.schema);
      case OCI_ATTR_MIN: return put_number(value, sizep, q.min_value);
      case OCI_ATTR_MAX: return put_number(value, sizep, q.max_value);
      case OCI_ATTR_INCR: return put_number(value, sizep, q.increment);
      case OCI_ATTR_CACHE: return put_number(value, sizep, q.cache);
      case OCI_ATTR_HW_MARK: return put_number(value, sizep, q.high_water);
      case OCI_ATTR_ORDER: return put<ub1>(value, sizep, q.ordered);
    }
    return set_error(error, 24315);
  }
  if (p.column == 0) {
    switch (attribute) {
      case OCI_ATTR_PTYPE: return put<ub1>(value, sizep, object.ptype);
      case OCI_ATTR_NUM_COLS: return put<ub2>(value, sizep, static_cast<ub2>(object.columns.size()));
      case OCI_ATTR_OBJID: return put<ub4>(value, sizep, 0);
      case OCI_ATTR_OBJ_NAME: return put_text(value, sizep, object.name);
      case OCI_ATTR_OBJ_SCHEMA: return put_text(value, sizep, object.schema);
      case OCI_ATTR_LIST_COLUMNS: {
        Handle *list = column_list(p);
        if (list == nullptr) return set_error(error, 600, "out of memory");
        return put_handle(value, sizep, list);
      }
    }
    return set_error(error, 24315);
  }
  if (p.column < 0) {
    switch (attribute) {
      case OCI_ATTR_PTYPE: return put<ub1>(value, sizep, OCI_PTYPE_LIST);
      case OCI_ATTR_NUM_PARAMS: return put<ub2>(value, sizep, static_cast<ub2>(object.columns.size()));
    }
    return set_error(error, 24315);
  }
  const Column &c = object.columns[static_cast<size_t>(p.column - 1)];
  bool characters = c.data_type == SQLT_CHR || c.data_type == SQLT_AFC || c.data_type == SQLT_CLOB ||
                    c.data_type == SQLT_LNG;
  switch (attribute) {
    case OCI_ATTR_PTYPE: return put<ub1>(value, sizep, OCI_PTYPE_COL);
    case OCI_ATTR_NAME: return put_text(value, sizep, c.name);
    case OCI_ATTR_DATA_TYPE: return put<ub2>(value, sizep, c.data_type);
    case OCI_ATTR_DATA_SIZE: return put<ub2>(value, sizep, c.data_size);
    case OCI_ATTR_PRECISION:
      // A select-list parameter's precision is an sb2; a table column's (OCIDescribeAny) a ub1.
      if (object.select_list) return put<sb2>(value, sizep, static_cast<sb2>(c.precision));
      return put<ub1>(value, sizep, static_cast<ub1>(c.precision));
    case OCI_ATTR_CHAR_SIZE: return put<ub2>(value, sizep, c.char_size);
    case OCI_ATTR_CHAR_USED: return put<ub1>(value, sizep, c.char_used);
    case OCI_ATTR_SCALE: return put<sb1>(value, sizep, c.scale);
    case OCI_ATTR_IS_NULL: return put<ub1>(value, sizep, c.nullable);
    case OCI_ATTR_POSITION: return put<ub2>(value, sizep, static_cast<ub2>(p.column));
    case OCI_ATTR_TYPE_NAME: return put_text(value, sizep, std::string());
    case OCI_ATTR_SCHEMA_NAME: return put_text(value, sizep, std::string());
    case OCI_ATTR_CHARSET_FORM: return put<ub1>(value, sizep, characters ? SQLCS_IMPLICIT : 0);
    case OCI_ATTR_CHARSET_ID: return put<ub2>(value, sizep, characters ? kCharsetWe8mswin1252 : 0);
  }
  return set_error(error, 24315);
}

sword get_statement(Statement &st, void *value, ub4 *sizep, ub4 attribute, const void *error) {
  switch (attribute) {
    case OCI_ATTR_STMT_TYPE: return put<ub2>(value, sizep, st.cursor.statement_type());
    case OCI_ATTR_ROW_COUNT: return put<ub4>(value, sizep, st.row_count);
    case OCI_ATTR_ROWS_FETCHED: return put<ub4>(value, sizep, st.rows_fetched);
    case OCI_ATTR_PARAM_COUNT: return put<ub4>(value, sizep, st.param_count);
    case OCI_ATTR_BIND_COUNT: return put<ub4>(value, sizep, static_cast<ub4>(st.cursor.placeholders().size()));
    case OCI_ATTR_PREFETCH_ROWS: return put<ub4>(value, sizep, number_or(st, attribute, 1));
    case OCI_ATTR_PREFETCH_MEMORY: return put<ub4>(value, sizep, number_or(st, attribute, 0));
    case OCI_ATTR_STATEMENT: {
      std::string &text = st.texts[OCI_ATTR_STATEMENT];
      text = to_client(charset_of(&st), st.cursor.text());
      return put_text(value, sizep, text);
    }
    case OCI_ATTR_ROWID: {
      // The caller's ROWID descriptor is filled with the last row processed.
      auto *rowid = live<RowidDescriptor>(value, OCI_DTYPE_ROWID);
      if (rowid == nullptr) return set_error(error, 21560, "3");
      if (st.cursor.last_rowid() == 0) return set_error(error, 1410);
      rowid->object = st.cursor.last_table_id();
      rowid->row = st.cursor.last_rowid();
      rowid->valid = true;
      if (sizep) *sizep = 0;
      return OCI_SUCCESS;
    }
  }
  return set_error(error, 24315);
}

sword get_attribute(Handle &h, void *value, ub4 *sizep, ub4 attribute, const void *error) {
  if (attribute == OCI_ATTR_ENV && h.type != OCI_DTYPE_PARAM)
    return put_handle(value, sizep, h.type == OCI_HTYPE_ENV ? &h : h.environment);
  if (h.descriptor) {
    if (h.type == OCI_DTYPE_PARAM) return get_parameter(static_cast<Parameter &>(h), value, sizep, attribute, error);
    return set_error(error, 24315);
  }
  switch (h.type) {
    case OCI_HTYPE_ENV: {
      auto &env = static_cast<Environment &>(h);
      switch (attribute) {
        case OCI_ATTR_OBJECT: return put<OCIBoolean>(value, sizep, (env.mode & OCI_OBJECT) ? 1 : 0);
        case OCI_ATTR_ENV_CHARSET_ID: return put<ub2>(value, sizep, static_cast<ub2>(env.charset));
        case OCI_ATTR_CACHE_OPT_SIZE: return put<ub4>(value, sizep, number_or(h, attribute, 0));
        case OCI_ATTR_CACHE_MAX_SIZE: return put<ub4>(value, sizep, number_or(h, attribute, 10));
        case OCI_ATTR_PINOPTION: return put<ub4>(value, sizep, number_or(h, attribute, kPinDefault));
        case OCI_ATTR_ALLOC_DURATION: case OCI_ATTR_PIN_DURATION:
          return put<OCIDuration>(value, sizep, static_cast<OCIDuration>(number_or(h, attribute, OCI_DURATION_SESSION)));
      }
      break;
    }
    case OCI_HTYPE_SVCCTX: {
      auto &svc = static_cast<ServiceContext &>(h);
      switch (attribute) {
        case OCI_ATTR_SERVER: return put_handle(value, sizep, live_handle(svc.server, OCI_HTYPE_SERVER));
        case OCI_ATTR_SESSION: return put_handle(value, sizep, live_handle(svc.session, OCI_HTYPE_SESSION));
        case OCI_ATTR_TRANS: return put_handle(value, sizep, live_handle(svc.transaction, OCI_HTYPE_TRANS));
      }
      break;
    }
    case OCI_HTYPE_SERVER: {
      auto &server = static_cast<Server &>(h);
      switch (attribute) {
        case OCI_ATTR_SERVER_STATUS: return put<ub4>(value, sizep, server.database.empty() ? 0 : 1);
        case OCI_ATTR_NONBLOCKING_MODE: return put<ub1>(value, sizep, static_cast<ub1>(number_or(h, attribute, 0)));
        case OCI_ATTR_INTERNAL_NAME: case OCI_ATTR_EXTERNAL_NAME: return put_text(value, sizep, text_or_empty(h, attribute));
        case OCI_ATTR_FOCBK: return put<OCIFocbkStruct>(value, sizep, server.failover);
      }
      break;
    }
    case OCI_HTYPE_SESSION:
      if (attribute == OCI_ATTR_USERNAME) return put_text(value, sizep, text_or_empty(h, attribute));
      break;
    case OCI_HTYPE_TRANS: {
      auto &t = static_cast<Transaction &>(h);
      switch (attribute) {
        case OCI_ATTR_XID: return put_handle(value, sizep, t.has_xid ? &t.xid : nullptr);
        case OCI_ATTR_TRANS_NAME: return put_text(value, sizep, text_or_empty(h, attribute));
        case OCI_ATTR_TRANS_TIMEOUT: return put<ub4>(value, sizep, number_or(h, attribute, 60));
      }
      break;
    }
    case OCI_HTYPE_STMT:
      return get_statement(static_cast<Statement &>(h), value, sizep, attribute, error);
    case OCI_HTYPE_DESCRIBE:
      if (attribute == OCI_ATTR_PARAM)
        return put_handle(value, sizep, live_handle(static_cast<Describe &>(h).parameter, OCI_DTYPE_PARAM));
      break;
  }
  return set_error(error, 24315);
}

sword set_text(Handle &h, ub4 attribute, const void *value, ub4 size) {
  h.texts[attribute] = value ? std::string(static_cast<const char *>(value), size) : std::string();
  return OCI_SUCCESS;
}

template <class T>
T read_value(const void *value) {
  T copy{};
  if (value) std::memcpy(&copy, value, sizeof copy);
  return copy;
}

sword set_attribute(Handle &h, void *value, ub4 size, ub4 attribute, const void *error) {
  switch (h.type) {
    case OCI_HTYPE_ENV:
      switch (attribute) {
        case OCI_ATTR_CACHE_OPT_SIZE: case OCI_ATTR_CACHE_MAX_SIZE:
          h.numbers[attribute] = read_value<ub4>(value);
          return OCI_SUCCESS;
        case OCI_ATTR_PINOPTION: case OCI_ATTR_ALLOC_DURATION: case OCI_ATTR_PIN_DURATION:
          // These are given as the value itself, not its address.
          h.numbers[attribute] = static_cast<ub4>(reinterpret_cast<uintptr_t>(value));
          return OCI_SUCCESS;
      }
      break;
    case OCI_HTYPE_SVCCTX: {
      auto &svc = static_cast<ServiceContext &>(h);
      switch (attribute) {
        case OCI_ATTR_SERVER:
          if (value && !live_handle(value, OCI_HTYPE_SERVER)) return OCI_INVALID_HANDLE;
          svc.server = static_cast<Server *>(value);
          return OCI_SUCCESS;
        case OCI_ATTR_SESSION:
          if (value && !live_handle(value, OCI_HTYPE_SESSION)) return OCI_INVALID_HANDLE;
          svc.session = static_cast<SessionHandle *>(value);
          return OCI_SUCCESS;
        case OCI_ATTR_TRANS:
          if (value && !live_handle(value, OCI_HTYPE_TRANS)) return OCI_INVALID_HANDLE;
          svc.transaction = static_cast<Transaction *>(value);
          return OCI_SUCCESS;
      }
      break;
    }
    case OCI_HTYPE_SERVER:
      switch (attribute) {
        case OCI_ATTR_INTERNAL_NAME: case OCI_ATTR_EXTERNAL_NAME: return set_text(h, attribute, value, size);
        case OCI_ATTR_NONBLOCKING_MODE:
          h.numbers[attribute] = number_or(h, attribute, 0) ? 0 : 1;  // setting it toggles
          return OCI_SUCCESS;
        case OCI_ATTR_FOCBK:
          if (value == nullptr) return set_error(error, 21560, "3");
          static_cast<Server &>(h).failover = read_value<OCIFocbkStruct>(value);
          return OCI_SUCCESS;
      }
      break;
    case OCI_HTYPE_SESSION:
      if (attribute == OCI_ATTR_USERNAME || attribute == OCI_ATTR_PASSWORD)
        return set_text(h, attribute, value, size);
      break;
    case OCI_HTYPE_TRANS:
      switch (attribute) {
        case OCI_ATTR_XID: {
          if (value == nullptr) return set_error(error, 21560, "3");
          Xid xid = read_value<Xid>(value);
          if (xid.gtrid_length < 1 || xid.gtrid_length > 64 || xid.bqual_length < 0 ||
              xid.bqual_length > 64)
            return set_error(error, 21560, "3");
          static_cast<Transaction &>(h).xid = xid;
          static_cast<Transaction &>(h).has_xid = true;
          return OCI_SUCCESS;
        }
        case OCI_ATTR_TRANS_NAME: return set_text(h, attribute, value, size);
        case OCI_ATTR_TRANS_TIMEOUT: h.numbers[attribute] = read_value<ub4>(value); return OCI_SUCCESS;
      }
      break;
    case OCI_HTYPE_STMT:
      if (attribute == OCI_ATTR_PREFETCH_ROWS || attribute == OCI_ATTR_PREFETCH_MEMORY) {
        h.numbers[attribute] = read_value<ub4>(value);
        return OCI_SUCCESS;
      }
      break;
  }
  return set_error(error, 24315);
}

}  // namespace
}  // namespace zec

using zec::Handle;
using zec::live_handle;

extern "C" {

ZEC_EXPORT sword __cdecl OCIAttrGet(const void *trgthndlp, ub4 trghndltyp, void *attributep,
                                    ub4 *sizep, ub4 attrtype, OCIError *errhp) {
  ZEC_ENTER("OCIAttrGet", trgthndlp, trghndltyp, attributep, sizep, attrtype, errhp);
  Handle *handle = live_handle(trgthndlp, trghndltyp);
  if (handle == nullptr || attributep == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIAttrGet", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  try {
    ZEC_RETURN("OCIAttrGet", zec::get_attribute(*handle, attributep, sizep, attrtype, errhp));
  } catch (...) {
    ZEC_RETURN("OCIAttrGet", zec::set_error(errhp, 600, "out of memory"));
  }
}

ZEC_EXPORT sword __cdecl OCIAttrSet(void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size,
                                    ub4 attrtype, OCIError *errhp) {
  ZEC_ENTER("OCIAttrSet", trgthndlp, trghndltyp, attributep, size, attrtype, errhp);
  Handle *handle = live_handle(trgthndlp, trghndltyp);
  if (handle == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIAttrSet", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  try {
    ZEC_RETURN("OCIAttrSet", zec::set_attribute(*handle, attributep, size, attrtype, errhp));
  } catch (...) {
    ZEC_RETURN("OCIAttrSet", zec::set_error(errhp, 600, "out of memory"));
  }
}

ZEC_EXPORT sword __cdecl OCIParamGet(const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp,
                                     ub4 pos) {
  ZEC_ENTER("OCIParamGet", hndlp, htype, errhp, parmdpp, pos);
  Handle *handle = live_handle(hndlp, htype);
  if (handle == nullptr || parmdpp == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIParamGet", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  std::shared_ptr<zec::DescribedObject> described;
  if (htype == OCI_HTYPE_STMT) {
    // A statement's select list, once it has been executed or described.
    auto *st = static_cast<zec::Statement *>(handle);
    if (!st->executed && st->described.empty()) ZEC_RETURN("OCIParamGet", zec::set_error(errhp, 24338));
    if (pos < 1 || pos > st->described.size()) ZEC_RETURN("OCIParamGet", zec::set_error(errhp, 24334));
    try {
      described = zec::select_list_of(*st);
    } catch (...) {
      ZEC_RETURN("OCIParamGet", zec::set_error(errhp, 4030, "describe"));
    }
  } else if (htype == OCI_DTYPE_PARAM) {
    auto *p = static_cast<zec::Parameter *>(handle);
    if (!p->described || p->column >= 0 || pos < 1 || pos > p->described->columns.size())
      ZEC_RETURN("OCIParamGet", zec::set_error(errhp, 21560, "5"));
    described = p->described;
  } else {
    ZEC_RETURN("OCIParamGet", zec::set_error(errhp, 3001));
  }
  auto *column = static_cast<zec::Parameter *>(zec::new_handle(OCI_DTYPE_PARAM, true, handle->environment, handle));
  if (column == nullptr) ZEC_RETURN("OCIParamGet", zec::set_error(errhp, 4030, "parameter"));
  column->described = described;
  column->column = static_cast<int>(pos);
  *parmdpp = column;
  ZEC_RETURN("OCIParamGet", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIParamSet(void *hdlp, ub4 htyp, OCIError *errhp, const void *dscp,
                                     ub4 dtyp, ub4 pos) {
  ZEC_ENTER("OCIParamSet", hdlp, htyp, errhp, dscp, dtyp, pos);
  if (htyp != OCI_HTYPE_COMPLEXOBJECT || dtyp != OCI_DTYPE_COMPLEXOBJECTCOMP ||
      live_handle(hdlp, htyp) == nullptr || live_handle(dscp, dtyp) == nullptr ||
      live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIParamSet", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  // Complex object retrieval only shapes how objects are prefetched; with
  // no object types here, the component is accepted and changes nothing.
  ZEC_RETURN("OCIParamSet", pos == 0 ? zec::set_error(errhp, 21560, "6") : OCI_SUCCESS);
}

}  // extern "C"
