// Statements, binds and defines, as OCI documents them: prepare, execute
// (array DML with iters and rowoff, queries fetching their first rows,
// describe-only, commit-on-success), fetch in batches to OCI_NO_DATA,
// binds by name and position with indicators, lengths and return codes,
// data-at-execute binds and dynamic defines driven piece by piece, and the
// placeholders OCIStmtGetBindInfo lists.
#include <algorithm>
#include <cstring>
#include <map>

#include "src/database.h"
#include "src/errors.h"
#include "src/external.h"
#include "src/handles.h"
#include "src/sql/engine.h"
#include "src/sql/error.h"
#include "src/trace.h"

namespace zec {
namespace {

using sql::SqlError;
using sql::Value;

template <class F>
sword guarded(const void *error, F body) noexcept {
  return guarded_call(error, "statement", body);
}

// The placeholder name a bind call gives: without its colon, upper case
// unless quoted.
std::string placeholder_name(const OraText *text, sb4 length) {
  std::string name(reinterpret_cast<const char *>(text), static_cast<size_t>(length));
  if (!name.empty() && name[0] == ':') name.erase(0, 1);
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') return name.substr(1, name.size() - 2);
  return upper(name);
}

// A bind or define handle to fill: the one given, when it belongs to this
// statement, else a new one the statement owns.
template <class T>
T *handle_for(Statement &st, void *given, ub4 type) {
  T *h = live<T>(given, type);
  if (h != nullptr && h->statement == &st) return h;
  h = static_cast<T *>(new_handle(type, false, st.environment, &st));
  if (h) h->statement = &st;
  return h;
}

// The statement's binds, as the engine reads and writes them.
class StatementBinds : public sql::Binds {
 public:
  StatementBinds(Statement &st, sql::Session &s, Charset charset) : st_(st), s_(s), charset_(charset) {}

  bool type_of(int i, sql::Type *type) override {
    Bind *b = bind(i);
    if (b == nullptr) return false;
    if (!external_type(b->dty, type)) sql::fail(932, "-\x1f" + std::to_string(b->dty));
    return true;
  }

  Value value(int i, uint32_t iteration) override {
    Bind *b = bind(i);
    if (b == nullptr) sql::fail(1008);
    if ((b->mode & OCI_DATA_AT_EXEC) && b->in_callback != nullptr) return dynamic_value(*b, iteration);
    if (b->mode & OCI_DATA_AT_EXEC) sql::fail(1008);  // data at execute without its callback
    size_t stride = external_stride(b->dty, b->value_size);
    const char *element = b->value ? static_cast<const char *>(b->value) + stride * iteration : nullptr;
    const sb2 *indicator = b->indicator ? static_cast<const sb2 *>(b->indicator) + iteration : nullptr;
    const ub2 *length = b->length ? b->length + iteration : nullptr;
    return read_external(charset_, b->dty, element, b->value_size, indicator, length);
  }

  void assign(int i, uint32_t iteration, const Value &v, const sql::Type &type) override {
    (void)type;
    Bind *b = bind(i);
    if (b == nullptr) return;
    OutCell cell;
    cell.dty = b->dty;
    cell.size = b->value_size;
    if (b->out_callback != nullptr) {
      // The callback names where the value goes.
      void *buffer = nullptr;
      ub4 *length = nullptr;
      ub1 piece = OCI_ONE_PIECE;
      void *indicator = nullptr;
      ub2 *rcode = nullptr;
      sb4 rc = b->out_callback(b->out_context, reinterpret_cast<OCIBind *>(b), iteration, 0, &buffer, &length,
                               &piece, &indicator, &rcode);
      if (rc != OCI_CONTINUE) sql::fail(24343);
      cell.buffer = buffer;
      cell.size = length ? static_cast<sb4>(*length) : 0;
      cell.indicator = static_cast<sb2 *>(indicator);
      cell.rcode = rcode;
      ub2 short_length = 0;
      cell.length = &short_length;
      bool cut = false;
      write_external(s_, charset_, v, cell, &cut, st_.session);
      if (length) *length = short_length;
      truncated = truncated || cut;
      return;
    }
    size_t stride = external_stride(b->dty, b->value_size);
    cell.buffer = b->value ? static_cast<char *>(b->value) + stride * iteration : nullptr;
    cell.indicator = b->indicator ? static_cast<sb2 *>(b->indicator) + iteration : nullptr;
    cell.length = b->length ? b->length + iteration : nullptr;
    cell.rcode = b->rcode ? b->rcode + iteration : nullptr;
    bool cut = false;
    write_external(s_, charset_, v, cell, &cut, st_.session);
    truncated = truncated || cut;
  }

  bool truncated = false;

 private:
  Bind *bind(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= st_.occurrences.size()) return nullptr;
    return live<Bind>(st_.occurrences[static_cast<size_t>(i)], OCI_HTYPE_BIND);
  }

  // A data-at-execute value: OCI asks the callback for pieces, the first as
  // OCI_FIRST_PIECE, then OCI_NEXT_PIECE until it answers OCI_LAST_PIECE or
  // OCI_ONE_PIECE.
  Value dynamic_value(Bind &b, uint32_t iteration) {
    auto key = std::make_pair(&b, iteration);
    auto cached = pieces_.find(key);
    if (cached != pieces_.end()) return cached->second;
    std::string data;
    bool null = false;
    ub1 piece = OCI_FIRST_PIECE;
    for (uint64_t calls = 0;; ++calls) {
      void *buffer = nullptr;
      ub4 length = 0;
      ub1 answer = piece;
      void *indicator = nullptr;
      sb4 rc = b.in_callback(b.in_context, reinterpret_cast<OCIBind *>(&b), iteration, 0, &buffer, &length, &answer,
                             &indicator);
      if (rc != OCI_CONTINUE) sql::fail(24343);  // user defined callback error
      if (indicator != nullptr && *static_cast<sb2 *>(indicator) == -1) null = true;
      if (length > 0) {
        if (buffer == nullptr || data.size() + length > 0x7FFFFFFFu) sql::fail(24343);
        data.append(static_cast<const char *>(buffer), length);
      }
      if (answer == OCI_LAST_PIECE || answer == OCI_ONE_PIECE) break;
      if (calls > (1u << 26)) sql::fail(24343);  // a callback that never says its last piece
      piece = OCI_NEXT_PIECE;
    }
    Value v;
    if (!null) {
      ub2 dty = b.dty == SQLT_LBI || b.dty == SQLT_BIN ? SQLT_LBI : SQLT_LNG;
      v = read_external(charset_, dty, data.data(), static_cast<sb4>(data.size()), nullptr, nullptr);
    }
    pieces_[key] = v;
    return v;
  }

  Statement &st_;
  sql::Session &s_;
  Charset charset_;
  std::map<std::pair<Bind *, uint32_t>, Value> pieces_;
};

// A value handed to a dynamic define's callback in pieces.
void dynamic_define(sql::Session &s, Charset charset, Define &d, uint32_t row, const Value &v) {
  std::string data = v.is_null() ? std::string() : piece_bytes(s, charset, v, d.dty);
  // A small value may come in one piece, as Oracle's client does.
  constexpr size_t kOnePiece = 2000;
  ub1 piece = data.size() <= kOnePiece ? OCI_ONE_PIECE : OCI_FIRST_PIECE;
  size_t delivered = 0;
  bool last_filled = false;
  for (;;) {
    void *buffer = nullptr;
    ub4 *length = nullptr;
    ub1 answer = piece;
    void *indicator = nullptr;
    ub2 *rcode = nullptr;
    sb4 rc = d.callback(d.context, reinterpret_cast<OCIDefine *>(&d), row, &buffer, &length, &answer, &indicator, &rcode);
    if (rc != OCI_CONTINUE) sql::fail(24343);
    if (length == nullptr) sql::fail(24343);
    if (indicator) *static_cast<sb2 *>(indicator) = v.is_null() ? -1 : 0;
    if (rcode) *rcode = v.is_null() ? 1405 : 0;
    size_t room = *length;
    size_t remaining = data.size() - delivered;
    size_t n = std::min(room, remaining);
    if (n > 0) {
      if (buffer == nullptr) sql::fail(24343);
      std::memcpy(buffer, data.data() + delivered, n);
    }
    // A test may make the client claim more than it wrote (and than the room).
    *length = static_cast<ub4>(n) + take_piece_overstatement();
    delivered += n;
    if (delivered == data.size()) {
      // A value that ends exactly where the room ended gets one more call,
      // which stores length 0.
      if (n == room && n > 0 && !last_filled && piece != OCI_ONE_PIECE) {
        last_filled = true;
        piece = OCI_NEXT_PIECE;
        continue;
      }
      return;
    }
    if (n == 0) sql::fail(24343);  // no room offered for what is left
    piece = OCI_NEXT_PIECE;
  }
}

// Fetches up to nrows rows into the defines, from row 0.
sword fetch_rows(Statement &st, sql::Session &s, OCIError *errhp, ub4 nrows) {
  Charset charset = charset_of(&st);
  st.rows_fetched = 0;
  if (nrows == 0) {
    // Fetching no rows cancels the cursor.
    st.cursor.close();
    st.at_end = true;
    return OCI_SUCCESS;
  }
  size_t columns = st.described.size();
  for (const auto &[position, define] : st.defines)
    if (position < 1 || position > columns) sql::fail(1007);  // variable not in select list
  std::vector<Define *> defines(columns);  // checked once a call, not once a row
  for (size_t p = 1; p <= columns; ++p) {
    auto it = st.defines.find(static_cast<ub4>(p));
    if (it == st.defines.end()) sql::fail(24374);  // define not done before fetch
    defines[p - 1] = live<Define>(it->second, OCI_HTYPE_DEFINE);
    if (defines[p - 1] == nullptr) sql::fail(24374);
  }
  bool truncated = false;
  ub4 rows = 0;
  struct Count {
    Statement &st;
    ub4 &rows;
    ~Count() {
      st.rows_fetched = rows;
      st.row_count += rows;
    }
  } count{st, rows};
  while (rows < nrows) {
    if (!st.cursor.next()) {
      st.at_end = true;
      break;
    }
    for (size_t column = 0; column < columns; ++column) {
      Define *d = defines[column];
      Value v = st.cursor.column(static_cast<int>(column));
      if ((d->mode & OCI_DYNAMIC_FETCH) && d->callback != nullptr) {
        dynamic_define(s, charset, *d, rows, v);
        continue;
      }
      OutCell cell;
      size_t stride = external_stride(d->dty, d->value_size);
      cell.buffer = d->value ? static_cast<char *>(d->value) + stride * rows : nullptr;
      cell.size = d->value_size;
      cell.dty = d->dty;
      cell.indicator = d->indicator ? static_cast<sb2 *>(d->indicator) + rows : nullptr;
      cell.length = d->length ? d->length + rows : nullptr;
      cell.rcode = d->rcode ? d->rcode + rows : nullptr;
      write_external(s, charset, v, cell, &truncated, st.session);
    }
    ++rows;
  }
  if (st.at_end) {
    set_error(errhp, 1403);
    return OCI_NO_DATA;
  }
  if (truncated) {
    add_warning(errhp, 24345);
    return OCI_SUCCESS_WITH_INFO;
  }
  return OCI_SUCCESS;
}

// The distinct placeholder names of a PL/SQL block, in order.
std::vector<std::string> distinct_names(const std::vector<sql::Placeholder> &placeholders) {
  std::vector<std::string> names;
  for (const sql::Placeholder &p : placeholders)
    if (std::find(names.begin(), names.end(), p.name) == names.end()) names.push_back(p.name);
  return names;
}

}  // namespace
}  // namespace zec

using zec::Bind;
using zec::Define;
using zec::Statement;
using zec::live;
using zec::live_handle;
using zec::set_error;

extern "C" {

ZEC_EXPORT sword __cdecl OCIStmtPrepare(OCIStmt *stmtp, OCIError *errhp, const OraText *stmt, ub4 stmt_len,
                                        ub4 language, ub4 mode) {
  ZEC_ENTER("OCIStmtPrepare", stmtp, errhp, stmt, stmt_len, language, mode);
  auto *st = live<Statement>(stmtp, OCI_HTYPE_STMT);
  if (st == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr) ZEC_RETURN("OCIStmtPrepare", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  if (stmt == nullptr && stmt_len > 0) ZEC_RETURN("OCIStmtPrepare", set_error(errhp, 21560, "3"));
  ZEC_RETURN("OCIStmtPrepare", zec::guarded(errhp, [&]() -> sword {
    std::string text = zec::to_database(zec::charset_of(st),
                                        std::string_view(reinterpret_cast<const char *>(stmt), stmt ? stmt_len : 0));
    st->cursor.prepare(std::move(text));
    // A new text has new placeholders and a new select list.
    st->occurrences.assign(st->cursor.placeholders().size(), nullptr);
    st->defines.clear();
    st->executed = st->query_executed = st->at_end = false;
    st->row_count = st->rows_fetched = st->param_count = 0;
    st->described.clear();
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCIBindByName(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, const OraText *placeholder,
                                       sb4 placeh_len, void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *alenp,
                                       ub2 *rcodep, ub4 maxarr_len, ub4 *curelep, ub4 mode) {
  ZEC_ENTER("OCIBindByName", stmtp, bindp, errhp, placeholder, placeh_len, valuep, value_sz, dty, indp, alenp, rcodep,
            maxarr_len, curelep, mode);
  auto *st = live<Statement>(stmtp, OCI_HTYPE_STMT);
  if (st == nullptr || bindp == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIBindByName", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  if (!st->cursor.prepared()) ZEC_RETURN("OCIBindByName", set_error(errhp, 24337));
  if (placeholder == nullptr || placeh_len <= 0) ZEC_RETURN("OCIBindByName", set_error(errhp, 1036));
  ZEC_RETURN("OCIBindByName", zec::guarded(errhp, [&]() -> sword {
    std::string name = zec::placeholder_name(placeholder, placeh_len);
    const auto &placeholders = st->cursor.placeholders();
    bool found = false;
    for (const auto &p : placeholders) found = found || p.name == name;
    if (!found) return set_error(errhp, 1036);  // illegal variable name/number
    Bind *b = zec::handle_for<Bind>(*st, *bindp, OCI_HTYPE_BIND);
    if (b == nullptr) return set_error(errhp, 4030, "bind");
    b->name = name;
    b->position = 0;
    static_cast<zec::UserBuffer &>(*b) = {valuep, value_sz, dty, indp, alenp, rcodep, mode};
    b->in_callback = nullptr;
    b->out_callback = nullptr;
    // A name binds every occurrence of it; binding it again replaces the
    // earlier bind. A handle given again leaves the placeholders it had.
    for (size_t i = 0; i < placeholders.size(); ++i) {
      if (placeholders[i].name == name) st->occurrences[i] = b;
      else if (st->occurrences[i] == b) st->occurrences[i] = nullptr;
    }
    *bindp = reinterpret_cast<OCIBind *>(b);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCIBindByPos(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, ub4 position, void *valuep,
                                      sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4 maxarr_len,
                                      ub4 *curelep, ub4 mode) {
  ZEC_ENTER("OCIBindByPos", stmtp, bindp, errhp, position, valuep, value_sz, dty, indp, alenp, rcodep, maxarr_len,
            curelep, mode);
  auto *st = live<Statement>(stmtp, OCI_HTYPE_STMT);
  if (st == nullptr || bindp == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIBindByPos", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  if (!st->cursor.prepared()) ZEC_RETURN("OCIBindByPos", set_error(errhp, 24337));
  ZEC_RETURN("OCIBindByPos", zec::guarded(errhp, [&]() -> sword {
    const auto &placeholders = st->cursor.placeholders();
    // In SQL each occurrence is a position; in PL/SQL each distinct name.
    std::vector<size_t> targets;
    if (st->cursor.is_plsql()) {
      std::vector<std::string> names = zec::distinct_names(placeholders);
      if (position >= 1 && position <= names.size())
        for (size_t i = 0; i < placeholders.size(); ++i)
          if (placeholders[i].name == names[position - 1]) targets.push_back(i);
    } else if (position >= 1 && position <= placeholders.size()) {
      targets.push_back(position - 1);
    }
    if (targets.empty()) return set_error(errhp, 1036);
    Bind *b = zec::handle_for<Bind>(*st, *bindp, OCI_HTYPE_BIND);
    if (b == nullptr) return set_error(errhp, 4030, "bind");
    b->name = placeholders[targets[0]].name;
    b->position = position;
    static_cast<zec::UserBuffer &>(*b) = {valuep, value_sz, dty, indp, alenp, rcodep, mode};
    b->in_callback = nullptr;
    b->out_callback = nullptr;
    for (Bind *&occurrence : st->occurrences)
      if (occurrence == b) occurrence = nullptr;
    for (size_t i : targets) st->occurrences[i] = b;
    *bindp = reinterpret_cast<OCIBind *>(b);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCIBindDynamic(OCIBind *bindp, OCIError *errhp, void *ictxp, OCICallbackInBind icbfp,
                                        void *octxp, OCICallbackOutBind ocbfp) {
  ZEC_ENTER("OCIBindDynamic", bindp, errhp, ictxp, icbfp, octxp, ocbfp);
  auto *b = live<Bind>(bindp, OCI_HTYPE_BIND);
  if (b == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr) ZEC_RETURN("OCIBindDynamic", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  b->in_context = ictxp;
  b->in_callback = icbfp;
  b->out_context = octxp;
  b->out_callback = ocbfp;
  ZEC_RETURN("OCIBindDynamic", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIDefineByPos(OCIStmt *stmtp, OCIDefine **defnp, OCIError *errhp, ub4 position,
                                        void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *rlenp, ub2 *rcodep,
                                        ub4 mode) {
  ZEC_ENTER("OCIDefineByPos", stmtp, defnp, errhp, position, valuep, value_sz, dty, indp, rlenp, rcodep, mode);
  auto *st = live<Statement>(stmtp, OCI_HTYPE_STMT);
  if (st == nullptr || defnp == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIDefineByPos", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  if (!st->cursor.prepared()) ZEC_RETURN("OCIDefineByPos", set_error(errhp, 24337));
  if (position == 0) ZEC_RETURN("OCIDefineByPos", set_error(errhp, 1007));
  zec::sql::Type type;
  if (!zec::external_type(dty, &type)) ZEC_RETURN("OCIDefineByPos", set_error(errhp, 932, ("-\x1f" + std::to_string(dty)).c_str()));
  ZEC_RETURN("OCIDefineByPos", zec::guarded(errhp, [&]() -> sword {
    Define *d = zec::handle_for<Define>(*st, *defnp, OCI_HTYPE_DEFINE);
    if (d == nullptr) return set_error(errhp, 4030, "define");
    d->position = position;
    static_cast<zec::UserBuffer &>(*d) = {valuep, value_sz, dty, indp, rlenp, rcodep, mode};
    d->callback = nullptr;
    // A handle given again redefines: it leaves the position it had.
    for (auto it = st->defines.begin(); it != st->defines.end();)
      it = it->second == d && it->first != position ? st->defines.erase(it) : std::next(it);
    st->defines[position] = d;
    *defnp = reinterpret_cast<OCIDefine *>(d);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCIDefineDynamic(OCIDefine *defnp, OCIError *errhp, void *octxp, OCICallbackDefine ocbfp) {
  ZEC_ENTER("OCIDefineDynamic", defnp, errhp, octxp, ocbfp);
  auto *d = live<Define>(defnp, OCI_HTYPE_DEFINE);
  if (d == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr) ZEC_RETURN("OCIDefineDynamic", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  if (!(d->mode & OCI_DYNAMIC_FETCH)) ZEC_RETURN("OCIDefineDynamic", set_error(errhp, 24343));
  d->context = octxp;
  d->callback = ocbfp;
  ZEC_RETURN("OCIDefineDynamic", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIStmtExecute(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters, ub4 rowoff,
                                        const OCISnapshot *snap_in, OCISnapshot *snap_out, ub4 mode) {
  ZEC_ENTER("OCIStmtExecute", svchp, stmtp, errhp, iters, rowoff, snap_in, snap_out, mode);
  auto *service = live<zec::ServiceContext>(svchp, OCI_HTYPE_SVCCTX);
  auto *st = live<Statement>(stmtp, OCI_HTYPE_STMT);
  if (service == nullptr || st == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIStmtExecute", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  if (!st->cursor.prepared()) ZEC_RETURN("OCIStmtExecute", set_error(errhp, 24337));
  zec::sql::Session *session = zec::session_of(service, errhp);
  if (session == nullptr) ZEC_RETURN("OCIStmtExecute", OCI_ERROR);
  if (auto *server = live<zec::Server>(service->server, OCI_HTYPE_SERVER); server && server->interrupted)
    ZEC_RETURN("OCIStmtExecute", set_error(errhp, 1013));
  st->session = live<zec::SessionHandle>(service->session, OCI_HTYPE_SESSION);
  ZEC_RETURN("OCIStmtExecute", zec::guarded(errhp, [&]() -> sword {
    zec::StatementBinds binds(*st, *session, zec::charset_of(st));
    st->executed = false;
    st->query_executed = false;
    st->at_end = false;
    st->row_count = 0;
    st->rows_fetched = 0;
    uint64_t rows = 0;
    struct Rows {
      Statement &st;
      uint64_t &rows;
      ~Rows() {
        if (!st.cursor.is_query()) st.row_count = static_cast<ub4>(rows);
      }
    } record_rows{*st, rows};
    bool describe_only = (mode & OCI_DESCRIBE_ONLY) != 0;
    st->cursor.execute(*session, binds, iters, rowoff, describe_only, &rows);
    st->executed = true;
    sword status = OCI_SUCCESS;
    if (st->cursor.is_query() && (st->cursor.open() || describe_only)) {
      st->described = st->cursor.columns();
      st->param_count = static_cast<ub4>(st->described.size());
      st->query_executed = !describe_only;
      if (!describe_only && iters > 0) {
        if (st->defines.empty()) zec::sql::fail(24374);
        status = zec::fetch_rows(*st, *session, errhp, iters);
        if ((mode & OCI_EXACT_FETCH) && status == OCI_SUCCESS && st->cursor.next()) zec::sql::fail(1422);
      }
    } else {
      st->param_count = 0;
      st->described.clear();
    }
    if (binds.truncated && status == OCI_SUCCESS) {
      zec::add_warning(errhp, 24345);
      status = OCI_SUCCESS_WITH_INFO;
    }
    if ((mode & OCI_COMMIT_ON_SUCCESS) && status != OCI_ERROR) zec::sql::commit(*session);
    return status;
  }));
}

ZEC_EXPORT sword __cdecl OCIStmtFetch(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, ub4 mode) {
  ZEC_ENTER("OCIStmtFetch", stmtp, errhp, nrows, orientation, mode);
  auto *st = live<Statement>(stmtp, OCI_HTYPE_STMT);
  if (st == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr) ZEC_RETURN("OCIStmtFetch", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  if (st->cursor.detached() != 0) ZEC_RETURN("OCIStmtFetch", set_error(errhp, st->cursor.detached()));
  if (!st->executed) ZEC_RETURN("OCIStmtFetch", set_error(errhp, 24338));  // statement handle not executed
  if (!st->query_executed || st->at_end) ZEC_RETURN("OCIStmtFetch", set_error(errhp, 1002));  // fetch out of sequence
  if (orientation != OCI_FETCH_NEXT && orientation != 0) ZEC_RETURN("OCIStmtFetch", set_error(errhp, 1002));
  zec::sql::Session *session = st->cursor.session();
  if (session == nullptr) ZEC_RETURN("OCIStmtFetch", set_error(errhp, 1012));
  ZEC_RETURN("OCIStmtFetch", zec::guarded(errhp, [&]() -> sword { return zec::fetch_rows(*st, *session, errhp, nrows); }));
}

ZEC_EXPORT sword __cdecl OCIStmtGetBindInfo(OCIStmt *stmtp, OCIError *errhp, ub4 size, ub4 startloc, sb4 *found,
                                            OraText *bvnp[], ub1 bvnl[], OraText *invp[], ub1 inpl[], ub1 dupl[],
                                            OCIBind **hndl) {
  ZEC_ENTER("OCIStmtGetBindInfo", stmtp, errhp, size, startloc, found, bvnp, bvnl, invp, inpl, dupl, hndl);
  auto *st = live<Statement>(stmtp, OCI_HTYPE_STMT);
  if (st == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr) ZEC_RETURN("OCIStmtGetBindInfo", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  if (!st->cursor.prepared()) ZEC_RETURN("OCIStmtGetBindInfo", set_error(errhp, 24337));
  if (found == nullptr) ZEC_RETURN("OCIStmtGetBindInfo", set_error(errhp, 21560, "5"));
  ZEC_RETURN("OCIStmtGetBindInfo", zec::guarded(errhp, [&]() -> sword {
    const auto &placeholders = st->cursor.placeholders();
    // PL/SQL lists each name once; SQL each occurrence, repeats flagged.
    std::vector<std::string> names;
    std::vector<bool> duplicate;
    std::vector<Bind *> binds;
    bool plsql = st->cursor.is_plsql();
    for (size_t i = 0; i < placeholders.size(); ++i) {
      const std::string &name = placeholders[i].name;
      bool seen = std::find(names.begin(), names.end(), name) != names.end();
      if (plsql && seen) continue;
      duplicate.push_back(seen);
      names.push_back(name);
      binds.push_back(live<Bind>(st->occurrences[i], OCI_HTYPE_BIND));
    }
    if (names.empty()) {
      set_error(errhp, 1403);
      return OCI_NO_DATA;  // no placeholders at all
    }
    if (startloc < 1 || startloc > names.size()) return set_error(errhp, 21560, "4");
    // The names lie back to back, without terminators: readers use the lengths.
    st->bind_names.clear();
    std::vector<size_t> offsets;
    for (const std::string &n : names) {
      offsets.push_back(st->bind_names.size());
      st->bind_names += zec::to_client(zec::charset_of(st), n);
    }
    offsets.push_back(st->bind_names.size());
    size_t count = names.size() - (startloc - 1);
    size_t given = std::min<size_t>(count, size);
    for (size_t k = 0; k < given; ++k) {
      size_t i = startloc - 1 + k;
      size_t length = offsets[i + 1] - offsets[i];
      if (bvnp) bvnp[k] = reinterpret_cast<OraText *>(&st->bind_names[offsets[i]]);
      if (bvnl) bvnl[k] = static_cast<ub1>(length > 255 ? 255 : length);
      if (invp) invp[k] = reinterpret_cast<OraText *>(&st->bind_names[offsets[i]]);
      if (inpl) inpl[k] = 0;
      if (dupl) dupl[k] = duplicate[i] ? 1 : 0;
      if (hndl) hndl[k] = reinterpret_cast<OCIBind *>(binds[i]);
    }
    sb4 total = static_cast<sb4>(names.size());
    *found = count > size ? -total : total;
    return OCI_SUCCESS;
  }));
}

}  // extern "C"
