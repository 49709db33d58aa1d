// Local and global transactions, and object durations.
//
// A local transaction is the session's SQLite transaction, begun by its
// first change. A global one is named by the XID on the service context's
// transaction handle; one embedded database can start, detach, resume,
// prepare and commit it on the session that began it, and says so with
// Oracle's errors where it cannot.
#include <cstring>
#include <map>
#include <string>

#include "src/database.h"
#include "src/errors.h"
#include "src/sql/error.h"
#include "src/sql/session.h"
#include "src/handles.h"
#include "src/trace.h"

namespace zec {
namespace {

enum class Branch { Active, Detached, Prepared };

struct GlobalTransaction {
  SessionHandle *session;
  Branch state;
};

// Global transactions by XID (format, transaction and branch qualifiers).
std::map<std::string, GlobalTransaction> &global_transactions() {
  static std::map<std::string, GlobalTransaction> transactions;
  return transactions;
}

std::string key_of(const Xid &xid) {
  int32_t length = xid.gtrid_length + xid.bqual_length;
  if (length < 0 || length > 128) length = 0;
  return std::to_string(xid.format_id) + ":" + std::to_string(xid.gtrid_length) + ":" +
         std::string(xid.data, static_cast<size_t>(length));
}

struct Context {
  ServiceContext *service = nullptr;
  SessionHandle *session = nullptr;
};

// The service context and its open session; false when either is missing.
bool context_of(OCISvcCtx *svchp, OCIError *errhp, Context &c, sword *status) {
  c.service = live<ServiceContext>(svchp, OCI_HTYPE_SVCCTX);
  if (c.service == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr) {
    *status = OCI_INVALID_HANDLE;
    return false;
  }
  clear_errors(errhp);
  c.session = live<SessionHandle>(c.service->session, OCI_HTYPE_SESSION);
  if (c.session == nullptr || !c.session->sql) {
    *status = set_error(errhp, 1012);
    return false;
  }
  return true;
}

// The engine's transaction calls, their failures as error records.
template <class F>
sword transaction_call(OCIError *errhp, F call) {
  try {
    call();
    return OCI_SUCCESS;
  } catch (const sql::SqlError &e) {
    return set_error(errhp, e.code, e.parameter.c_str());
  } catch (...) {
    return set_error(errhp, 4030, "transaction");
  }
}

// The global transaction the service context's transaction handle names.
GlobalTransaction *named_transaction(const Context &c, std::string *key) {
  auto *transaction = live<Transaction>(c.service->transaction, OCI_HTYPE_TRANS);
  if (transaction == nullptr || !transaction->has_xid) return nullptr;
  *key = key_of(transaction->xid);
  auto it = global_transactions().find(*key);
  return it == global_transactions().end() ? nullptr : &it->second;
}

void forget_session_transactions(SessionHandle *session) {
  auto &all = global_transactions();
  for (auto it = all.begin(); it != all.end();) {
    it = it->second.session == session ? all.erase(it) : std::next(it);
  }
}

// User durations, each with its parent.
std::map<OCIDuration, OCIDuration> &durations() {
  static std::map<OCIDuration, OCIDuration> table;
  return table;
}
constexpr OCIDuration kFirstUserDuration = 16;
constexpr OCIDuration kSessionDuration = 10;
constexpr OCIDuration kTransactionDuration = 11;

bool duration_exists(OCIDuration d) {
  return d == kSessionDuration || d == kTransactionDuration || durations().count(d) != 0;
}

void end_duration(OCIDuration d) {
  for (auto it = durations().begin(); it != durations().end();) {
    if (it->second == d) {
      OCIDuration child = it->first;
      it = durations().erase(it);
      end_duration(child);
    } else {
      ++it;
    }
  }
  durations().erase(d);
}

}  // namespace
}  // namespace zec

using zec::Handle;
using zec::live_handle;
using zec::set_error;

extern "C" {

ZEC_EXPORT sword __cdecl OCITransStart(OCISvcCtx *svchp, OCIError *errhp, uword timeout, ub4 flags) {
  ZEC_ENTER("OCITransStart", svchp, errhp, timeout, flags);
  zec::Context c;
  sword status;
  if (!zec::context_of(svchp, errhp, c, &status)) ZEC_RETURN("OCITransStart", status);
  std::string key;
  zec::GlobalTransaction *global = zec::named_transaction(c, &key);
  if (key.empty()) ZEC_RETURN("OCITransStart", set_error(errhp, 24756));
  try {
    if (flags & OCI_TRANS_NEW) {
      if (global != nullptr) ZEC_RETURN("OCITransStart", set_error(errhp, 24757));
      // The branch is the session's transaction: what is pending joins it.
      sword begun = zec::transaction_call(errhp, [&] { zec::sql::begin_transaction(*c.session->sql); });
      if (begun != OCI_SUCCESS) ZEC_RETURN("OCITransStart", begun);
      zec::global_transactions()[key] = zec::GlobalTransaction{c.session, zec::Branch::Active};
      ZEC_RETURN("OCITransStart", OCI_SUCCESS);
    }
    // Joining or resuming: only the session that holds the branch can.
    if (global == nullptr || global->state == zec::Branch::Prepared)
      ZEC_RETURN("OCITransStart", set_error(errhp, 24756));
    if (global->session != c.session) ZEC_RETURN("OCITransStart", set_error(errhp, 3001));
    global->state = zec::Branch::Active;
    ZEC_RETURN("OCITransStart", OCI_SUCCESS);
  } catch (...) {
    ZEC_RETURN("OCITransStart", set_error(errhp, 600, "out of memory"));
  }
}

ZEC_EXPORT sword __cdecl OCITransDetach(OCISvcCtx *svchp, OCIError *errhp, ub4 flags) {
  ZEC_ENTER("OCITransDetach", svchp, errhp, flags);
  zec::Context c;
  sword status;
  if (!zec::context_of(svchp, errhp, c, &status)) ZEC_RETURN("OCITransDetach", status);
  std::string key;
  zec::GlobalTransaction *global = zec::named_transaction(c, &key);
  if (global == nullptr || global->state != zec::Branch::Active)
    ZEC_RETURN("OCITransDetach", set_error(errhp, 24756));
  global->state = zec::Branch::Detached;
  ZEC_RETURN("OCITransDetach", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCITransPrepare(OCISvcCtx *svchp, OCIError *errhp, ub4 flags) {
  ZEC_ENTER("OCITransPrepare", svchp, errhp, flags);
  zec::Context c;
  sword status;
  if (!zec::context_of(svchp, errhp, c, &status)) ZEC_RETURN("OCITransPrepare", status);
  std::string key;
  zec::GlobalTransaction *global = zec::named_transaction(c, &key);
  if (global == nullptr) ZEC_RETURN("OCITransPrepare", set_error(errhp, 24756));
  global->state = zec::Branch::Prepared;
  ZEC_RETURN("OCITransPrepare", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCITransForget(OCISvcCtx *svchp, OCIError *errhp, ub4 flags) {
  ZEC_ENTER("OCITransForget", svchp, errhp, flags);
  zec::Context c;
  sword status;
  if (!zec::context_of(svchp, errhp, c, &status)) ZEC_RETURN("OCITransForget", status);
  // Only heuristically completed branches can be forgotten; this database
  // completes none on its own.
  std::string key;
  zec::GlobalTransaction *global = zec::named_transaction(c, &key);
  if (global == nullptr) ZEC_RETURN("OCITransForget", set_error(errhp, 24756));
  ZEC_RETURN("OCITransForget",
             set_error(errhp, global->state == zec::Branch::Prepared ? 24770 : 24769));
}

ZEC_EXPORT sword __cdecl OCITransCommit(OCISvcCtx *svchp, OCIError *errhp, ub4 flags) {
  ZEC_ENTER("OCITransCommit", svchp, errhp, flags);
  zec::Context c;
  sword status;
  if (!zec::context_of(svchp, errhp, c, &status)) ZEC_RETURN("OCITransCommit", status);
  std::string key;
  zec::GlobalTransaction *global = zec::named_transaction(c, &key);
  if ((flags & OCI_TRANS_TWOPHASE) && (global == nullptr || global->state != zec::Branch::Prepared))
    ZEC_RETURN("OCITransCommit", set_error(errhp, 24756));
  status = zec::transaction_call(errhp, [&] { zec::sql::commit(*c.session->sql); });
  if (status == OCI_SUCCESS) zec::forget_session_transactions(c.session);
  ZEC_RETURN("OCITransCommit", status);
}

ZEC_EXPORT sword __cdecl OCITransRollback(OCISvcCtx *svchp, OCIError *errhp, ub4 flags) {
  ZEC_ENTER("OCITransRollback", svchp, errhp, flags);
  zec::Context c;
  sword status;
  if (!zec::context_of(svchp, errhp, c, &status)) ZEC_RETURN("OCITransRollback", status);
  status = zec::transaction_call(errhp, [&] { zec::sql::rollback(*c.session->sql); });
  zec::forget_session_transactions(c.session);
  ZEC_RETURN("OCITransRollback", status);
}

ZEC_EXPORT sword __cdecl OCIDurationBegin(OCIEnv *env, OCIError *err, const OCISvcCtx *svc,
                                          OCIDuration parent, OCIDuration *dur) {
  ZEC_ENTER("OCIDurationBegin", env, err, svc, parent, dur);
  if ((env == nullptr && live_handle(svc, OCI_HTYPE_SVCCTX) == nullptr) ||
      (env != nullptr && live_handle(env, OCI_HTYPE_ENV) == nullptr) ||
      live_handle(err, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIDurationBegin", OCI_INVALID_HANDLE);
  zec::clear_errors(err);
  if (dur == nullptr) ZEC_RETURN("OCIDurationBegin", set_error(err, 21560, "5"));
  if (!zec::duration_exists(parent)) ZEC_RETURN("OCIDurationBegin", set_error(err, 21560, "4"));
  OCIDuration next = zec::kFirstUserDuration;
  while (zec::durations().count(next) != 0) ++next;
  if (next < zec::kFirstUserDuration) ZEC_RETURN("OCIDurationBegin", set_error(err, 21560, "4"));
  try {
    zec::durations()[next] = parent;
  } catch (...) {
    ZEC_RETURN("OCIDurationBegin", set_error(err, 600, "out of memory"));
  }
  *dur = next;
  ZEC_RETURN("OCIDurationBegin", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIDurationEnd(OCIEnv *env, OCIError *err, const OCISvcCtx *svc,
                                        OCIDuration duration) {
  ZEC_ENTER("OCIDurationEnd", env, err, svc, duration);
  if ((env == nullptr && live_handle(svc, OCI_HTYPE_SVCCTX) == nullptr) ||
      (env != nullptr && live_handle(env, OCI_HTYPE_ENV) == nullptr) ||
      live_handle(err, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIDurationEnd", OCI_INVALID_HANDLE);
  zec::clear_errors(err);
  if (zec::durations().count(duration) == 0)
    ZEC_RETURN("OCIDurationEnd", set_error(err, 21560, "4"));
  zec::end_duration(duration);
  ZEC_RETURN("OCIDurationEnd", OCI_SUCCESS);
}

}  // extern "C"
