// The embedded databases: one SQLite file for each connect identifier, its
// accounts, the sessions' connections and Oracle's transaction rules on
// top of SQLite's.
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
// A connection on the database, made with its accounts when new; null when
// the file cannot be opened.
sqlite3 *open_database(const std::string &path) noexcept;

// 0 when the account exists with that password, else the ORA code.
sb4 check_account(sqlite3 *db, const std::string &user, const std::string &password) noexcept;
bool account_exists(sqlite3 *db, const std::string &user) noexcept;
sb4 change_password(sqlite3 *db, const std::string &user, const std::string &old_password,
                    const std::string &new_password) noexcept;

// Runs one SQL statement on a session, as Oracle would: a change starts a
// transaction, DDL commits what is pending first.
sword session_execute(Handle &session, const void *error, const std::string &sql) noexcept;
// Begins the session's transaction unless one is open.
sword session_begin(Handle &session, const void *error) noexcept;
sword session_commit(Handle &session, const void *error) noexcept;
sword session_rollback(Handle &session, const void *error) noexcept;
// Ends a session's connection: pending work is committed, as at logoff.
void end_session_connection(Handle &session) noexcept;

std::string upper(std::string text);

}  // namespace zec
