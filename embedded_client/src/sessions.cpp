// Servers, sessions, the one-call logon and logoff, password changes, the
// server version, and breaking and resetting a call.
#include <sqlite3.h>

#include <cstring>
#include <string>

#include "src/database.h"
#include "src/errors.h"
#include "src/handles.h"
#include "src/text.h"
#include "src/trace.h"

namespace zec {
namespace {

sword attach(Server &server, const void *error, const OraText *link, size_t length) noexcept {
  if (!server.database.empty()) return set_error(error, 24313);
  std::string path;
  if (!resolve_database(link, length, &path)) return set_error(error, 12154);
  sqlite3 *db = open_database(path);
  if (db == nullptr) return set_error(error, 12154);
  try {
    server.database = path;
  } catch (...) {
    sqlite3_close_v2(db);
    return set_error(error, 4030, "server");
  }
  server.accounts = db;
  server.interrupted = false;
  return OCI_SUCCESS;
}

// Ends the sessions begun on the server and lets the database go.
void detach(Server &server) {
  for (SessionHandle *session : server.sessions) {
    if (live_handle(session, OCI_HTYPE_SESSION) && session->sql) {
      sql::close_session(*session->sql, 3114);
      session->sql.reset();
    }
  }
  server.sessions.clear();
  if (server.accounts != nullptr) sqlite3_close_v2(server.accounts);
  server.accounts = nullptr;
  server.database.clear();
}

// Authenticates the session on the service context's server and gives it
// its own connection.
sword begin_session(ServiceContext &service, SessionHandle &session, const void *error, ub4 credentials) noexcept {
  Server *server = live<Server>(service.server, OCI_HTYPE_SERVER);
  if (server == nullptr || server->database.empty()) return set_error(error, 24327);
  if (session.sql) return set_error(error, 24313);
  if (credentials != OCI_CRED_RDBMS) return set_error(error, 1017);
  try {
    const std::string &user = session.texts[OCI_ATTR_USERNAME];
    sb4 refused = check_account(server->accounts, user, session.texts[OCI_ATTR_PASSWORD]);
    if (refused != 0) return set_error(error, refused);
    std::string name = upper(user);
    session.sql = sql::open_session(server->database, name);
    if (!session.sql) return set_error(error, 12154);
    session.sql->nls.language = "AMERICAN";
    session.user = name;
    server->sessions.insert(&session);
  } catch (...) {
    if (session.sql) sql::close_session(*session.sql, 1012);
    session.sql.reset();
    session.user.clear();
    return set_error(error, 4030, "session");
  }
  session.server = server;
  service.session = &session;
  return OCI_SUCCESS;
}

}  // namespace
}  // namespace zec

using zec::Handle;
using zec::live_handle;
using zec::Server;
using zec::ServiceContext;
using zec::SessionHandle;
using zec::set_error;

extern "C" {

ZEC_EXPORT sword __cdecl OCIServerAttach(OCIServer *srvhp, OCIError *errhp, const OraText *dblink,
                                         sb4 dblink_len, ub4 mode) {
  ZEC_ENTER("OCIServerAttach", srvhp, errhp, dblink, dblink_len, mode);
  Server *server = zec::live<Server>(srvhp, OCI_HTYPE_SERVER);
  if (server == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIServerAttach", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  if (dblink_len < 0) ZEC_RETURN("OCIServerAttach", set_error(errhp, 12154));
  ZEC_RETURN("OCIServerAttach",
             zec::attach(*server, errhp, dblink, static_cast<size_t>(dblink_len)));
}

ZEC_EXPORT sword __cdecl OCIServerDetach(OCIServer *srvhp, OCIError *errhp, ub4 mode) {
  ZEC_ENTER("OCIServerDetach", srvhp, errhp, mode);
  Server *server = zec::live<Server>(srvhp, OCI_HTYPE_SERVER);
  if (server == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIServerDetach", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  if (server->database.empty()) ZEC_RETURN("OCIServerDetach", set_error(errhp, 3114));
  zec::detach(*server);
  ZEC_RETURN("OCIServerDetach", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCISessionBegin(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp,
                                         ub4 credt, ub4 mode) {
  ZEC_ENTER("OCISessionBegin", svchp, errhp, usrhp, credt, mode);
  auto *service = zec::live<ServiceContext>(svchp, OCI_HTYPE_SVCCTX);
  auto *session = zec::live<SessionHandle>(usrhp, OCI_HTYPE_SESSION);
  if (service == nullptr || session == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCISessionBegin", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  ZEC_RETURN("OCISessionBegin", zec::begin_session(*service, *session, errhp, credt));
}

ZEC_EXPORT sword __cdecl OCISessionEnd(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp,
                                       ub4 mode) {
  ZEC_ENTER("OCISessionEnd", svchp, errhp, usrhp, mode);
  auto *service = zec::live<ServiceContext>(svchp, OCI_HTYPE_SVCCTX);
  if (service == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCISessionEnd", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  auto *session = usrhp ? zec::live<SessionHandle>(usrhp, OCI_HTYPE_SESSION)
                        : zec::live<SessionHandle>(service->session, OCI_HTYPE_SESSION);
  if (session == nullptr) ZEC_RETURN("OCISessionEnd", OCI_INVALID_HANDLE);
  if (!session->sql) ZEC_RETURN("OCISessionEnd", set_error(errhp, 1012));
  zec::sql::close_session(*session->sql, 1012);
  session->sql.reset();
  if (Server *server = zec::live<Server>(session->server, OCI_HTYPE_SERVER)) server->sessions.erase(session);
  if (service->session == session) service->session = nullptr;
  ZEC_RETURN("OCISessionEnd", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCILogon(OCIEnv *envhp, OCIError *errhp, OCISvcCtx **svchp,
                                  const OraText *username, ub4 uname_len, const OraText *password,
                                  ub4 passwd_len, const OraText *dbname, ub4 dbname_len) {
  ZEC_ENTER("OCILogon", envhp, errhp, svchp, username, uname_len, password, passwd_len, dbname,
            dbname_len);
  Handle *environment = live_handle(envhp, OCI_HTYPE_ENV);
  if (environment == nullptr || svchp == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCILogon", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  // The service context owns the server and session it is made with, so
  // that freeing it (or failing here) releases all three.
  auto *service = static_cast<ServiceContext *>(zec::new_handle(OCI_HTYPE_SVCCTX, false, environment, environment));
  auto *server = service ? static_cast<Server *>(zec::new_handle(OCI_HTYPE_SERVER, false, environment, service)) : nullptr;
  auto *session = server ? static_cast<SessionHandle *>(zec::new_handle(OCI_HTYPE_SESSION, false, environment, service)) : nullptr;
  if (session == nullptr) {
    zec::free_handle(service);
    ZEC_RETURN("OCILogon", set_error(errhp, 600, "out of memory"));
  }
  service->server = server;
  sword status = zec::attach(*server, errhp, dbname, dbname_len);
  if (status == OCI_SUCCESS) {
    try {
      session->texts[OCI_ATTR_USERNAME] = zec::text_of(username, uname_len);
      session->texts[OCI_ATTR_PASSWORD] = zec::text_of(password, passwd_len);
    } catch (...) {
      status = set_error(errhp, 600, "out of memory");
    }
  }
  if (status == OCI_SUCCESS) status = zec::begin_session(*service, *session, errhp, OCI_CRED_RDBMS);
  if (status != OCI_SUCCESS) {
    zec::free_handle(service);
    ZEC_RETURN("OCILogon", status);
  }
  *svchp = reinterpret_cast<OCISvcCtx *>(service);
  ZEC_RETURN("OCILogon", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCILogoff(OCISvcCtx *svchp, OCIError *errhp) {
  ZEC_ENTER("OCILogoff", svchp, errhp);
  auto *service = zec::live<ServiceContext>(svchp, OCI_HTYPE_SVCCTX);
  if (service == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCILogoff", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  // Ends the session (keeping its work), detaches, and frees the three.
  Handle *session = live_handle(service->session, OCI_HTYPE_SESSION);
  Handle *server = live_handle(service->server, OCI_HTYPE_SERVER);
  if (session != nullptr) zec::free_handle(session);
  if (server != nullptr) zec::free_handle(server);
  zec::free_handle(service);
  ZEC_RETURN("OCILogoff", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIPasswordChange(OCISvcCtx *svchp, OCIError *errhp,
                                           const OraText *user_name, ub4 usernm_len,
                                           const OraText *opasswd, ub4 opasswd_len,
                                           const OraText *npasswd, ub4 npasswd_len, ub4 mode) {
  ZEC_ENTER("OCIPasswordChange", svchp, errhp, user_name, usernm_len, opasswd, opasswd_len, npasswd,
            npasswd_len, mode);
  auto *service = zec::live<ServiceContext>(svchp, OCI_HTYPE_SVCCTX);
  if (service == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    ZEC_RETURN("OCIPasswordChange", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  Server *server = zec::live<Server>(service->server, OCI_HTYPE_SERVER);
  if (server == nullptr || server->database.empty())
    ZEC_RETURN("OCIPasswordChange", set_error(errhp, 3114));
  try {
    sb4 refused = zec::change_password(server->accounts,
                                       zec::text_of(user_name, usernm_len),
                                       zec::text_of(opasswd, opasswd_len),
                                       zec::text_of(npasswd, npasswd_len));
    if (refused != 0) ZEC_RETURN("OCIPasswordChange", set_error(errhp, refused));
  } catch (...) {
    ZEC_RETURN("OCIPasswordChange", set_error(errhp, 600, "out of memory"));
  }
  ZEC_RETURN("OCIPasswordChange", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIServerVersion(void *hndlp, OCIError *errhp, OraText *bufp, ub4 bufsz,
                                          ub1 hndltype) {
  ZEC_ENTER("OCIServerVersion", hndlp, errhp, bufp, bufsz, hndltype);
  Handle *handle = live_handle(hndlp, hndltype);
  if (handle == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr ||
      (hndltype != OCI_HTYPE_SVCCTX && hndltype != OCI_HTYPE_SERVER))
    ZEC_RETURN("OCIServerVersion", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  Server *server = hndltype == OCI_HTYPE_SERVER ? static_cast<Server *>(handle)
                   : zec::live<Server>(static_cast<ServiceContext *>(handle)->server, OCI_HTYPE_SERVER);
  if (server == nullptr || server->database.empty())
    ZEC_RETURN("OCIServerVersion", set_error(errhp, 3114));
  if (bufp == nullptr || bufsz == 0) ZEC_RETURN("OCIServerVersion", set_error(errhp, 21560, "3"));
  std::string text = std::string("ZorvanOCI embedded client 1.0.2 on SQLite ") + sqlite3_libversion();
  size_t length = std::min<size_t>(text.size(), bufsz - 1);
  std::memcpy(bufp, text.data(), length);
  bufp[length] = '\0';
  ZEC_RETURN("OCIServerVersion", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIBreak(void *hndlp, OCIError *errhp) {
  ZEC_ENTER("OCIBreak", hndlp, errhp);
  Handle *handle = live_handle(hndlp);
  if (handle == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr ||
      (handle->type != OCI_HTYPE_SVCCTX && handle->type != OCI_HTYPE_SERVER))
    ZEC_RETURN("OCIBreak", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  Server *server = handle->type == OCI_HTYPE_SERVER
                       ? static_cast<Server *>(handle)
                       : zec::live<Server>(static_cast<ServiceContext *>(handle)->server, OCI_HTYPE_SERVER);
  if (server == nullptr || server->database.empty())
    ZEC_RETURN("OCIBreak", set_error(errhp, 3114));
  // A call running on a session of this server stops with ORA-01013.
  server->interrupted = true;
  if (handle->type == OCI_HTYPE_SVCCTX) {
    if (auto *session = zec::live<SessionHandle>(static_cast<ServiceContext *>(handle)->session, OCI_HTYPE_SESSION))
      if (session->sql) sqlite3_interrupt(session->sql->db);
  }
  ZEC_RETURN("OCIBreak", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIReset(void *hndlp, OCIError *errhp) {
  ZEC_ENTER("OCIReset", hndlp, errhp);
  Handle *handle = live_handle(hndlp);
  if (handle == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr ||
      (handle->type != OCI_HTYPE_SVCCTX && handle->type != OCI_HTYPE_SERVER))
    ZEC_RETURN("OCIReset", OCI_INVALID_HANDLE);
  zec::clear_errors(errhp);
  Server *server = handle->type == OCI_HTYPE_SERVER
                       ? static_cast<Server *>(handle)
                       : zec::live<Server>(static_cast<ServiceContext *>(handle)->server, OCI_HTYPE_SERVER);
  if (server == nullptr || server->database.empty())
    ZEC_RETURN("OCIReset", set_error(errhp, 3114));
  server->interrupted = false;
  ZEC_RETURN("OCIReset", OCI_SUCCESS);
}

}  // extern "C"
