// Environments, handles, descriptors and error records, as OCI documents them.
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#endif

#include "oci.h"
#include "src/charset.h"
#include "src/errors.h"
#include "src/handles.h"
#include "src/trace.h"

namespace zec {

std::string environment_variable(const char *name) {
#if defined(_WIN32)
  // The operating system's own table, which every runtime of the process shares.
  char buffer[32768];
  DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return std::string();
  return std::string(buffer, length);
#else
  const char *value = std::getenv(name);
  return value ? value : "";
#endif
}

}  // namespace zec

namespace {

bool known_handle_type(ub4 type) noexcept {
  return (type >= OCI_HTYPE_ERROR && type <= OCI_HTYPE_PROC) ||
         (type >= OCI_HTYPE_CPOOL && type <= OCI_HTYPE_EVENT);
}

bool known_descriptor_type(ub4 type) noexcept {
  return type >= OCI_DTYPE_LOB && type <= OCI_DTYPE_SRVDN;
}

}  // namespace

extern "C" {

ZEC_EXPORT sword __cdecl OCIEnvCreate(OCIEnv **envp, ub4 mode, void *ctxp,
                                      void *(__cdecl *malocfp)(void *ctxp, size_t size),
                                      void *(__cdecl *ralocfp)(void *ctxp, void *memptr,
                                                               size_t newsize),
                                      void(__cdecl *mfreefp)(void *ctxp, void *memptr),
                                      size_t xtramem_sz, void **usrmempp) {
  ZEC_ENTER("OCIEnvCreate", envp, mode, ctxp, malocfp, ralocfp, mfreefp, xtramem_sz, usrmempp);
  if (envp == nullptr) ZEC_RETURN("OCIEnvCreate", OCI_INVALID_HANDLE);
  *envp = nullptr;
  auto *environment = static_cast<zec::Environment *>(zec::new_handle(OCI_HTYPE_ENV, false, nullptr, nullptr));
  if (environment == nullptr) ZEC_RETURN("OCIEnvCreate", OCI_ERROR);
  environment->mode = mode;
  // The client character set, as NLS_LANG names it when the environment is made.
  std::string nls_lang = zec::environment_variable("NLS_LANG");
  environment->charset = zec::charset_from_nls_lang(nls_lang.empty() ? nullptr : nls_lang.c_str());
  *envp = reinterpret_cast<OCIEnv *>(environment);
  if (usrmempp != nullptr) *usrmempp = nullptr;
  ZEC_RETURN("OCIEnvCreate", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCITerminate(ub4 mode) {
  ZEC_ENTER("OCITerminate", mode);
  ZEC_RETURN("OCITerminate", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIHandleAlloc(const void *parenth, void **hndlpp, const ub4 type,
                                        const size_t xtramem_sz, void **usrmempp) {
  ZEC_ENTER("OCIHandleAlloc", parenth, hndlpp, type, xtramem_sz, usrmempp);
  zec::Handle *environment = zec::live_handle(parenth, OCI_HTYPE_ENV);
  if (environment == nullptr || hndlpp == nullptr)
    ZEC_RETURN("OCIHandleAlloc", OCI_INVALID_HANDLE);
  if (!known_handle_type(type)) {
    zec::set_error(environment, 21560, "3");
    ZEC_RETURN("OCIHandleAlloc", OCI_ERROR);
  }
  zec::Handle *handle = zec::new_handle(type, false, environment, environment);
  if (handle == nullptr) ZEC_RETURN("OCIHandleAlloc", OCI_ERROR);
  *hndlpp = handle;
  if (usrmempp != nullptr) *usrmempp = nullptr;
  ZEC_RETURN("OCIHandleAlloc", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIHandleFree(void *hndlp, const ub4 type) {
  ZEC_ENTER("OCIHandleFree", hndlp, type);
  zec::Handle *handle = zec::live_handle(hndlp, type);
  if (handle == nullptr || handle->descriptor) ZEC_RETURN("OCIHandleFree", OCI_INVALID_HANDLE);
  zec::free_handle(handle);
  ZEC_RETURN("OCIHandleFree", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIDescriptorAlloc(const void *parenth, void **descpp, const ub4 type,
                                            const size_t xtramem_sz, void **usrmempp) {
  ZEC_ENTER("OCIDescriptorAlloc", parenth, descpp, type, xtramem_sz, usrmempp);
  zec::Handle *environment = zec::live_handle(parenth, OCI_HTYPE_ENV);
  if (environment == nullptr || descpp == nullptr)
    ZEC_RETURN("OCIDescriptorAlloc", OCI_INVALID_HANDLE);
  if (!known_descriptor_type(type)) {
    zec::set_error(environment, 21560, "3");
    ZEC_RETURN("OCIDescriptorAlloc", OCI_ERROR);
  }
  zec::Handle *descriptor = zec::new_handle(type, true, environment, environment);
  if (descriptor == nullptr) ZEC_RETURN("OCIDescriptorAlloc", OCI_ERROR);
  *descpp = descriptor;
  if (usrmempp != nullptr) *usrmempp = nullptr;
  ZEC_RETURN("OCIDescriptorAlloc", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIDescriptorFree(void *descp, const ub4 type) {
  ZEC_ENTER("OCIDescriptorFree", descp, type);
  zec::Handle *descriptor = zec::live_handle(descp, type);
  if (descriptor == nullptr || !descriptor->descriptor)
    ZEC_RETURN("OCIDescriptorFree", OCI_INVALID_HANDLE);
  zec::free_handle(descriptor);
  ZEC_RETURN("OCIDescriptorFree", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIErrorGet(void *hndlp, ub4 recordno, OraText *sqlstate, sb4 *errcodep,
                                     OraText *bufp, ub4 bufsiz, ub4 type) {
  ZEC_ENTER("OCIErrorGet", hndlp, recordno, sqlstate, errcodep, bufp, bufsiz, type);
  if (type != OCI_HTYPE_ERROR && type != OCI_HTYPE_ENV)
    ZEC_RETURN("OCIErrorGet", OCI_INVALID_HANDLE);
  zec::Handle *handle = zec::live_handle(hndlp, type);
  if (handle == nullptr) ZEC_RETURN("OCIErrorGet", OCI_INVALID_HANDLE);
  if (recordno == 0 || recordno > handle->errors.size()) ZEC_RETURN("OCIErrorGet", OCI_NO_DATA);
  const zec::ErrorRecord &record = handle->errors[recordno - 1];
  if (errcodep != nullptr) *errcodep = record.code;
  if (bufp != nullptr && bufsiz > 0) {
    size_t length = std::min<size_t>(record.text.size(), bufsiz - 1);
    std::memcpy(bufp, record.text.data(), length);
    bufp[length] = '\0';
  }
  ZEC_RETURN("OCIErrorGet", OCI_SUCCESS);
}

}  // extern "C"
