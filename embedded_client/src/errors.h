// Oracle's error records: the message texts, by code, and the records
// OCIErrorGet reads (the SQL engine maps SQLite's errors before they come here).
#pragma once

#include <new>
#include <string>

#include "oci.h"
#include "src/sql/error.h"

namespace zec {

// Divides the parameters of a message that names several.
inline constexpr char kParameterSeparator = '\x1f';

// "ORA-NNNNN: text\n" with its %s filled by the parameters in order.
std::string ora_message(sb4 code, const char *parameter = nullptr) noexcept;

// Replaces the error records of an error or environment handle with one
// record for an ORA code. Returns OCI_ERROR, for `return set_error(...)`.
sword set_error(const void *error_handle, sb4 code, const char *parameter = nullptr) noexcept;
void clear_errors(const void *error_handle) noexcept;

// Records an engine failure, with its trailing lines (PL/SQL's stack).
sword set_error(const void *error_handle, const sql::SqlError &e) noexcept;
// A warning for OCI_SUCCESS_WITH_INFO: the record OCIErrorGet reads.
void add_warning(const void *error_handle, sb4 code) noexcept;

// Runs an OCI call's work: its failures become the error handle's records
// (ORA-01403 the status OCI_NO_DATA), and nothing is thrown past OCI.
// `what` names the work in ORA-04030 and ORA-00600.
template <class F>
sword guarded_call(const void *error_handle, const char *what, F body) noexcept {
  try {
    return body();
  } catch (const sql::SqlError &e) {
    set_error(error_handle, e);
    return e.code == 1403 ? OCI_NO_DATA : OCI_ERROR;
  } catch (const std::bad_alloc &) {
    return set_error(error_handle, 4030, what);
  } catch (...) {
    return set_error(error_handle, 600, what);
  }
}

}  // namespace zec
