// Servers, sessions, transactions, durations and error records.
#include <cstring>

#include "commands/commands.h"
#include "commands/pattern.h"

namespace zorvan {
namespace {

// String parameters reach OCI as text and its length; an empty one as no
// text at all where OCI reads that as "the default".
struct Text {
  host::ZString chars;
  ub4 length() const noexcept { return static_cast<ub4>(std::strlen(chars)); }
  const OraText *text() const noexcept { return reinterpret_cast<const OraText *>(chars); }
};

Text read_text(const CommandCall &call, int16_t i) noexcept {
  Text t;
  param_text(call, i, t.chars);
  return t;
}

bool is_server_or_service(uint32_t handle) noexcept {
  int32_t type = handle != 0 ? registry_type(handle) : 0;
  return type == OCI_HTYPE_SERVER || type == OCI_HTYPE_SVCCTX;
}

}  // namespace

void command_server_attach(const CommandCall &call) noexcept {
  uint32_t server = typed_handle(call, 1, OCI_HTYPE_SERVER);
  if (server == 0) return refuse(call);
  uint32_t error = handle_param(call, 2);
  Text link = read_text(call, 3);
  auto attach = COMMAND_OCI(call, OCIServerAttach);
  if (attach == nullptr) return;
  // An empty connect string is the default database: no text, length 0.
  sword status = attach(as_handle<OCIServer>(server), as_handle<OCIError>(error),
                        link.length() ? link.text() : nullptr,
                        static_cast<sb4>(link.length()), OCI_DEFAULT);
  finish(call, status, error);
}

void command_server_detach(const CommandCall &call) noexcept {
  uint32_t server = typed_handle(call, 1, OCI_HTYPE_SERVER);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  if (server == 0 || error == 0) return refuse(call);
  auto detach = COMMAND_OCI(call, OCIServerDetach);
  if (detach == nullptr) return;
  finish(call, detach(as_handle<OCIServer>(server), as_handle<OCIError>(error), OCI_DEFAULT), error);
}

void command_session_begin(const CommandCall &call) noexcept {
  uint32_t service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  if (service == 0 || error == 0) return refuse(call);
  uint32_t session = handle_param(call, 3);
  auto begin = COMMAND_OCI(call, OCISessionBegin);
  if (begin == nullptr) return;
  sword status = begin(as_handle<OCISvcCtx>(service), as_handle<OCIError>(error),
                       as_handle<OCISession>(session), static_cast<ub4>(param_long(call, 4)),
                       static_cast<ub4>(param_long(call, 5)));
  if (!is_success(status)) return report_failure(call, status, error);
  if (registry_add(session, OCI_HTYPE_SESSION, 0) == RegistryAdd::NoMemory) {
    // A session the registry cannot hold is ended again; P3 stays as it was.
    if (auto end = OCI_FUNCTION(OCISessionEnd))
      end(as_handle<OCISvcCtx>(service), as_handle<OCIError>(error), as_handle<OCISession>(session), OCI_DEFAULT);
    return report_failure(call, OCI_ERROR, 0);
  }
  param_set_long(call, 3, static_cast<int32_t>(session));
  result_set_long(call, status);
}

void command_session_end(const CommandCall &call) noexcept {
  uint32_t service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  uint32_t session = typed_handle(call, 3, OCI_HTYPE_SESSION);
  if (service == 0 || error == 0 || session == 0) return refuse(call);
  auto end = COMMAND_OCI(call, OCISessionEnd);
  if (end == nullptr) return;
  sword status = end(as_handle<OCISvcCtx>(service), as_handle<OCIError>(error),
                     as_handle<OCISession>(session), OCI_DEFAULT);
  if (!is_success(status)) return report_failure(call, status, error);
  // The session leaves the registry; OCI still holds the handle itself.
  param_set_long(call, 3, 0);
  registry_remove(session);
  result_set_long(call, status);
}

void command_logon(const CommandCall &call) noexcept {
  uint32_t environment = typed_handle(call, 1, OCI_HTYPE_ENV);
  if (environment == 0) return refuse(call);
  uint32_t error = handle_param(call, 2);
  Text user = read_text(call, 4);
  Text password = read_text(call, 5);
  Text database = read_text(call, 6);
  auto logon = COMMAND_OCI(call, OCILogon);
  if (logon == nullptr) return;
  OCISvcCtx *service = nullptr;
  sword status = logon(as_handle<OCIEnv>(environment), as_handle<OCIError>(error), &service,
                       user.text(), user.length(), password.text(), password.length(),
                       database.text(), database.length());
  result_set_long(call, status);
  if (!is_success(status)) return report_failure(call, status, error);
  if (registry_add(handle_word(service), OCI_HTYPE_SVCCTX, 0) == RegistryAdd::NoMemory) {
    // A connection the registry cannot hold is closed again.
    if (auto logoff = OCI_FUNCTION(OCILogoff)) logoff(service, as_handle<OCIError>(error));
    return report_failure(call, OCI_ERROR, 0);
  }
  param_set_long(call, 3, static_cast<int32_t>(handle_word(service)));
}

void command_logoff(const CommandCall &call) noexcept {
  uint32_t service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  if (service == 0 || error == 0) return refuse(call);
  auto get = COMMAND_OCI(call, OCIAttrGet);
  if (get == nullptr) return;
  auto logoff = COMMAND_OCI(call, OCILogoff);
  if (logoff == nullptr) return;
  // Both attributes are handles: read each into room for one.
  OCIServer *server = nullptr;
  OCISession *session = nullptr;
  sword server_status = get(as_handle<void>(service), OCI_HTYPE_SVCCTX, &server, nullptr,
                            OCI_ATTR_SERVER, as_handle<OCIError>(error));
  sword session_status = get(as_handle<void>(service), OCI_HTYPE_SVCCTX, &session, nullptr,
                             OCI_ATTR_SESSION, as_handle<OCIError>(error));
  sword status = logoff(as_handle<OCISvcCtx>(service), as_handle<OCIError>(error));
  if (!is_success(status) || server_status != OCI_SUCCESS || session_status != OCI_SUCCESS)
    return report_failure(call, status, error);
  registry_remove(service);
  registry_remove(handle_word(server));
  registry_remove(handle_word(session));
  result_set_long(call, status);
}

void command_password_change(const CommandCall &call) noexcept {
  uint32_t service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  if (service == 0 || error == 0) return refuse(call);
  Text user = read_text(call, 3);
  Text old_password = read_text(call, 4);
  Text new_password = read_text(call, 5);
  auto change = COMMAND_OCI(call, OCIPasswordChange);
  if (change == nullptr) return;
  sword status = change(as_handle<OCISvcCtx>(service), as_handle<OCIError>(error), user.text(),
                        user.length(), old_password.text(), old_password.length(),
                        new_password.text(), new_password.length(),
                        static_cast<ub4>(param_long(call, 6)));
  finish(call, status, error);
}

void command_error_get(const CommandCall &call) noexcept {
  uint32_t handle = handle_param(call, 1);
  int32_t type = handle != 0 ? registry_type(handle) : 0;
  sb4 code = 0;
  char message[host::kStringSize] = {};
  sword status = OCI_INVALID_HANDLE;
  if (type == OCI_HTYPE_ERROR || type == OCI_HTYPE_ENV) {
    // No report on any path: an error handler calls this command itself.
    auto get = oci::typed<decltype(&::OCIErrorGet)>(oci::resolve(oci::Fn::OCIErrorGet));
    if (get == nullptr) {
      status = OCI_ERROR;
    } else {
      status = get(as_handle<void>(handle), static_cast<ub4>(param_long(call, 2)), nullptr, &code,
                   reinterpret_cast<OraText *>(message), sizeof message, static_cast<ub4>(type));
      message[sizeof message - 1] = '\0';
    }
  }
  param_set_long(call, 3, code);
  param_set_text(call, 4, message);
  result_set_long(call, status);
}

void command_trans_start(const CommandCall &call) noexcept {
  uint32_t service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  if (service == 0 || error == 0) return refuse(call);
  auto start = COMMAND_OCI(call, OCITransStart);
  if (start == nullptr) return;
  sword status = start(as_handle<OCISvcCtx>(service), as_handle<OCIError>(error),
                       static_cast<uword>(param_long(call, 3)), static_cast<ub4>(param_long(call, 4)));
  finish(call, status, error);
}

// 11 rollback, 12 prepare, 13 forget, 14 detach, 15 commit: one shape.
void command_trans_end(const CommandCall &call, int32_t selector) noexcept {
  uint32_t service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  if (service == 0 || error == 0) return refuse(call);
  using TransFn = decltype(&::OCITransCommit);
  TransFn end = nullptr;
  switch (selector) {
    case 11: end = COMMAND_OCI(call, OCITransRollback); break;
    case 12: end = COMMAND_OCI(call, OCITransPrepare); break;
    case 13: end = COMMAND_OCI(call, OCITransForget); break;
    case 14: end = COMMAND_OCI(call, OCITransDetach); break;
    case 15: end = COMMAND_OCI(call, OCITransCommit); break;
    default: return;
  }
  if (end == nullptr) return;
  finish(call, end(as_handle<OCISvcCtx>(service), as_handle<OCIError>(error),
                   static_cast<ub4>(param_long(call, 3))),
         error);
}

void command_server_version(const CommandCall &call) noexcept {
  uint32_t handle = handle_param(call, 1);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  if (!is_server_or_service(handle) || error == 0) return refuse(call);
  auto version = COMMAND_OCI(call, OCIServerVersion);
  if (version == nullptr) return;
  char text[host::kStringSize] = {};
  sword status = version(as_handle<void>(handle), as_handle<OCIError>(error),
                         reinterpret_cast<OraText *>(text), sizeof text,
                         static_cast<ub1>(registry_type(handle)));
  text[sizeof text - 1] = '\0';
  result_set_long(call, status);
  if (!is_success(status)) return report_failure(call, status, error);
  param_set_text(call, 3, text);
}

// 62 break and 9 reset: a server handle or a service context.
void command_break_or_reset(const CommandCall &call, int32_t selector) noexcept {
  uint32_t handle = handle_param(call, 1);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  if (!is_server_or_service(handle) || error == 0) return refuse(call);
  auto call_oci = selector == 62 ? COMMAND_OCI(call, OCIBreak) : COMMAND_OCI(call, OCIReset);
  if (call_oci == nullptr) return;
  finish(call, call_oci(as_handle<void>(handle), as_handle<OCIError>(error)), error);
}

void command_duration_begin(const CommandCall &call) noexcept {
  uint32_t error = typed_handle(call, 1, OCI_HTYPE_ERROR);
  uint32_t service = typed_handle(call, 2, OCI_HTYPE_SVCCTX);
  if (error == 0 || service == 0) return refuse(call);
  auto begin = COMMAND_OCI(call, OCIDurationBegin);
  if (begin == nullptr) return;
  // After a failed call the duration is what it started as: 0.
  OCIDuration duration = 0;
  sword status = begin(nullptr, as_handle<OCIError>(error), as_handle<OCISvcCtx>(service),
                       static_cast<OCIDuration>(param_long(call, 3)), &duration);
  param_set_long(call, 4, duration);
  finish(call, status, error);
}

void command_duration_end(const CommandCall &call) noexcept {
  uint32_t error = typed_handle(call, 1, OCI_HTYPE_ERROR);
  uint32_t service = typed_handle(call, 2, OCI_HTYPE_SVCCTX);
  if (error == 0 || service == 0) return refuse(call);
  auto end = COMMAND_OCI(call, OCIDurationEnd);
  if (end == nullptr) return;
  finish(call, end(nullptr, as_handle<OCIError>(error), as_handle<OCISvcCtx>(service),
                   static_cast<OCIDuration>(param_long(call, 3))),
         error);
}

}  // namespace zorvan
