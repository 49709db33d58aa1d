// Oracle's error records: the message texts, by code, and the records
// OCIErrorGet reads (the SQL engine maps SQLite's errors before they come here).
#pragma once

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

}  // namespace zec
