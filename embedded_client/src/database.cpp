#include "src/database.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "src/charset.h"
#include "src/errors.h"
#include "src/sql/session.h"

#if defined(_WIN32)
#  include <direct.h>
#endif

namespace zec {
namespace {

std::string database_directory() {
  std::string dir = environment_variable("ZEC_DB_DIR");
  return dir.empty() ? "zorvan-data" : dir;
}

void make_directory(const std::string &dir) {
#if defined(_WIN32)
  _mkdir(dir.c_str());
#else
  mkdir(dir.c_str(), 0755);
#endif
}

bool name_character(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_-.$#", c) != nullptr;
}

}  // namespace

std::string upper(std::string text) {
  for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool resolve_database(const OraText *link, size_t length, std::string *path) noexcept {
  try {
    std::string name(reinterpret_cast<const char *>(link ? link : reinterpret_cast<const OraText *>("")),
                     link ? length : 0);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.pop_back();
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front()))) name.erase(0, 1);
    if (name.empty()) name = "default";
    if (name.front() == '(') return false;  // a TNS descriptor names no file here
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (name.empty() || name.size() > 64) return false;
    for (char c : name)
      if (!name_character(c)) return false;
    for (char &c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    *path = database_directory() + "/" + name + ".db";
    return true;
  } catch (...) {
    return false;
  }
}

sqlite3 *open_database(const std::string &path) noexcept {
  size_t slash = path.rfind('/');
  try {
    if (slash != std::string::npos) make_directory(path.substr(0, slash));
  } catch (...) {
    return nullptr;  // out of memory: the database cannot be reached
  }
  sqlite3 *db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  if (!sql::configure_connection(db, nullptr) || !sql::prepare_database(db)) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  return db;
}

sb4 check_account(sqlite3 *db, const std::string &user, const std::string &password) noexcept {
  if (password.empty()) return 1005;
  sqlite3_stmt *stmt = nullptr;
  sb4 result = 1017;
  if (sqlite3_prepare_v2(db, "SELECT password FROM _zec_accounts WHERE username = ?", -1, &stmt, nullptr) ==
      SQLITE_OK) {
    std::string name = upper(user);
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) == SQLITE_ROW) {
      const char *stored = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
      if (stored != nullptr && password == stored) result = 0;
    }
  }
  sqlite3_finalize(stmt);
  return result;
}

bool account_exists(sqlite3 *db, const std::string &user) noexcept {
  sqlite3_stmt *stmt = nullptr;
  bool exists = false;
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM _zec_accounts WHERE username = ?", -1, &stmt, nullptr) == SQLITE_OK) {
    std::string name = upper(user);
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    exists = sqlite3_step(stmt) == SQLITE_ROW;
  }
  sqlite3_finalize(stmt);
  return exists;
}

sb4 change_password(sqlite3 *db, const std::string &user, const std::string &old_password,
                    const std::string &new_password) noexcept {
  if (!account_exists(db, user)) return 1017;
  if (check_account(db, user, old_password) != 0) return 28008;
  if (new_password.empty()) return 28003;
  sqlite3_stmt *stmt = nullptr;
  sb4 result = 600;
  if (sqlite3_prepare_v2(db, "UPDATE _zec_accounts SET password = ? WHERE username = ?", -1, &stmt, nullptr) ==
      SQLITE_OK) {
    std::string name = upper(user);
    sqlite3_bind_text(stmt, 1, new_password.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) == SQLITE_DONE) result = 0;
  }
  sqlite3_finalize(stmt);
  return result;
}

sql::Session *session_of(Handle *service, const void *error) noexcept {
  auto *svc = live<ServiceContext>(service, OCI_HTYPE_SVCCTX);
  if (svc == nullptr) return nullptr;
  Server *server = live<Server>(svc->server, OCI_HTYPE_SERVER);
  if (server == nullptr || server->database.empty()) {
    set_error(error, 3114);
    return nullptr;
  }
  SessionHandle *session = live<SessionHandle>(svc->session, OCI_HTYPE_SESSION);
  if (session == nullptr || !session->sql) {
    set_error(error, 1012);
    return nullptr;
  }
  return session->sql.get();
}

}  // namespace zec
