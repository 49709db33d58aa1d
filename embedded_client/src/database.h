// The embedded databases: one SQLite file for each connect identifier, and
// its accounts.
//
// Naming: a connect identifier (OCIServerAttach's connect string, OCILogon's
// database name) names the file <directory>/<name>.db, where the directory
// is the ZEC_DB_DIR environment variable, or "zorvan-data" under the
// current directory. An empty identifier names "default". An EZConnect
// identifier ("host:port/name") names its last part. Names hold letters,
// digits and _ - . $ #; anything else, a TNS descriptor included, cannot be
// resolved (ORA-12154). A database is made on first use, with one account:
// user ZORVAN, password zorvan. User names are not case-sensitive;
// passwords are.
#pragma once

#include <string>

#include "oci.h"
#include "src/handles.h"

namespace zec {

inline constexpr const char *kDefaultUser = "ZORVAN";
inline constexpr const char *kDefaultPassword = "zorvan";

// The file a connect identifier names, or false when it names none.
bool resolve_database(const OraText *link, size_t length, std::string *path) noexcept;
// A connection on the database, made with its tables when new; null when
// the file cannot be opened.
sqlite3 *open_database(const std::string &path) noexcept;

// 0 when the account exists with that password, else the ORA code.
sb4 check_account(sqlite3 *db, const std::string &user, const std::string &password) noexcept;
bool account_exists(sqlite3 *db, const std::string &user) noexcept;
sb4 change_password(sqlite3 *db, const std::string &user, const std::string &old_password,
                    const std::string &new_password) noexcept;

// The open engine session of a service context, or null after setting the
// error: ORA-01012 without a session, ORA-03114 without an attached server.
sql::Session *session_of(Handle *service, const void *error) noexcept;

std::string upper(std::string text);

}  // namespace zec
