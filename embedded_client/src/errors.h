// Oracle's error records: the message texts, by code, and the mapping of
// SQLite's errors onto them.
#pragma once

#include <string>

#include "oci.h"

struct sqlite3;

namespace zec {

// Divides the parameters of a message that names several.
inline constexpr char kParameterSeparator = '\x1f';

// "ORA-NNNNN: text\n" with its %s filled by the parameters in order.
std::string ora_message(sb4 code, const char *parameter = nullptr) noexcept;

// Replaces the error records of an error or environment handle with one
// record for an ORA code. Returns OCI_ERROR, for `return set_error(...)`.
sword set_error(const void *error_handle, sb4 code, const char *parameter = nullptr) noexcept;
void clear_errors(const void *error_handle) noexcept;

// The ORA code for SQLite's latest error on a connection, and the text to
// fill its message with.
sb4 ora_code_for_sqlite(sqlite3 *db, std::string *parameter) noexcept;
// Records the connection's latest SQLite error as its Oracle error.
sword set_sqlite_error(const void *error_handle, sqlite3 *db) noexcept;

}  // namespace zec
