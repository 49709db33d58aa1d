#include "src/database.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "src/errors.h"
#include "src/oracle/number.h"

#if defined(_WIN32)
#  include <direct.h>
#endif

namespace zec {
namespace {

std::string database_directory() {
  const char *dir = std::getenv("ZEC_DB_DIR");
  return dir != nullptr && dir[0] != '\0' ? dir : "zorvan-data";
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

bool run(sqlite3 *db, const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

enum class StatementKind { Query, Change, Definition, Commit, Rollback, Other };

// Classifies a statement by its first word.
StatementKind kind_of(const std::string &sql, std::string *first_word) {
  size_t i = 0;
  while (i < sql.size()) {
    if (std::isspace(static_cast<unsigned char>(sql[i]))) {
      ++i;
    } else if (sql.compare(i, 2, "--") == 0) {
      while (i < sql.size() && sql[i] != '\n') ++i;
    } else if (sql.compare(i, 2, "/*") == 0) {
      size_t end = sql.find("*/", i + 2);
      i = end == std::string::npos ? sql.size() : end + 2;
    } else {
      break;
    }
  }
  size_t start = i;
  while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i]))) ++i;
  std::string word = upper(sql.substr(start, i - start));
  if (first_word) *first_word = word;
  if (word == "SELECT" || word == "WITH") return StatementKind::Query;
  if (word == "INSERT" || word == "UPDATE" || word == "DELETE" || word == "MERGE")
    return StatementKind::Change;
  if (word == "CREATE" || word == "DROP" || word == "ALTER" || word == "TRUNCATE" ||
      word == "RENAME" || word == "COMMENT" || word == "GRANT" || word == "REVOKE")
    return StatementKind::Definition;
  if (word == "COMMIT") return StatementKind::Commit;
  if (word == "ROLLBACK") return StatementKind::Rollback;
  return StatementKind::Other;
}

// Oracle's TRUNCATE TABLE t is SQLite's DELETE FROM t.
std::string translate(const std::string &sql, const std::string &first_word) {
  if (first_word != "TRUNCATE") return sql;
  std::string rest = sql.substr(upper(sql).find("TRUNCATE") + 8);
  std::string upper_rest = upper(rest);
  size_t table = upper_rest.find("TABLE");
  if (table != std::string::npos) rest = rest.substr(table + 5);
  return "DELETE FROM " + rest;
}

// Words of a statement, split at blanks.
std::vector<std::string> words_of(const std::string &sql) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < sql.size()) {
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    size_t start = i;
    while (i < sql.size() && !std::isspace(static_cast<unsigned char>(sql[i])) && sql[i] != ';') ++i;
    if (i > start) words.push_back(sql.substr(start, i - start));
    if (i < sql.size() && sql[i] == ';') ++i;
  }
  return words;
}

bool is_number(const std::string &text) {
  oracle::Number n;
  return oracle::from_plain(text, &n) == 0;
}

// Sequences live in a table of their own: SQLite has none. CREATE SEQUENCE
// and DROP SEQUENCE are carried out here, with Oracle's defaults.
sb4 define_sequence(sqlite3 *db, const std::vector<std::string> &w) {
  if (!run(db, "CREATE TABLE IF NOT EXISTS zec_sequences (name TEXT PRIMARY KEY, min_value TEXT, "
               "max_value TEXT, increment TEXT, cache TEXT, ordered INTEGER, last_number TEXT)"))
    return 600;
  if (w.size() < 3) return 900;
  std::string name = upper(w[2]);
  if (upper(w[0]) == "DROP") {
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "DELETE FROM zec_sequences WHERE name = ?", -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    return sqlite3_changes(db) == 1 ? 0 : 2289;
  }
  std::string start = "1", increment = "1", minimum = "1", cache = "20";
  std::string maximum = "9999999999999999999999999999";
  int ordered = 0;
  for (size_t i = 3; i < w.size(); ++i) {
    std::string word = upper(w[i]);
    auto value = [&](size_t at) -> const std::string * {
      return at < w.size() && is_number(w[at]) ? &w[at] : nullptr;
    };
    if (word == "START" && i + 2 < w.size() && upper(w[i + 1]) == "WITH" && value(i + 2)) {
      start = w[i + 2];
      i += 2;
    } else if (word == "INCREMENT" && i + 2 < w.size() && upper(w[i + 1]) == "BY" && value(i + 2)) {
      increment = w[i + 2];
      i += 2;
    } else if ((word == "MINVALUE" || word == "MAXVALUE" || word == "CACHE") && value(i + 1)) {
      (word == "MINVALUE" ? minimum : word == "MAXVALUE" ? maximum : cache) = w[++i];
    } else if (word == "ORDER" || word == "NOORDER") {
      ordered = word == "ORDER";
    } else if (word == "NOCACHE") {
      cache = "0";
    } else if (word != "NOMINVALUE" && word != "NOMAXVALUE" && word != "CYCLE" && word != "NOCYCLE") {
      return 933;
    }
  }
  sqlite3_stmt *stmt = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO zec_sequences VALUES (?, ?, ?, ?, ?, ?, ?)", -1, &stmt, nullptr);
  const std::string *texts[] = {&name, &minimum, &maximum, &increment, &cache};
  for (int i = 0; i < 5; ++i) sqlite3_bind_text(stmt, i + 1, texts[i]->c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(stmt, 6, ordered);
  sqlite3_bind_text(stmt, 7, start.c_str(), -1, SQLITE_TRANSIENT);
  int step = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  return step == SQLITE_DONE ? 0 : 955;
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
  if (slash != std::string::npos) make_directory(path.substr(0, slash));
  sqlite3 *db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  // Readers see what is committed and are not held up by a writer.
  sqlite3_busy_timeout(db, 2000);
  run(db, "PRAGMA journal_mode=WAL");
  // A new database gets its accounts table with the one documented account.
  bool ready = run(db, "BEGIN IMMEDIATE");
  if (ready) {
    sqlite3_stmt *stmt = nullptr;
    bool exists = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = 'zec_accounts'", -1, &stmt,
                           nullptr) == SQLITE_OK)
      exists = sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_finalize(stmt);
    if (!exists) {
      ready = run(db,
                  "CREATE TABLE zec_accounts (username TEXT PRIMARY KEY, password TEXT NOT NULL);"
                  "INSERT INTO zec_accounts VALUES ('ZORVAN', 'zorvan');");
    }
    ready = run(db, ready ? "COMMIT" : "ROLLBACK") && ready;
  }
  if (!ready) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  return db;
}

sb4 check_account(sqlite3 *db, const std::string &user, const std::string &password) noexcept {
  if (password.empty()) return 1005;
  sqlite3_stmt *stmt = nullptr;
  sb4 result = 1017;
  if (sqlite3_prepare_v2(db, "SELECT password FROM zec_accounts WHERE username = ?", -1, &stmt,
                         nullptr) == SQLITE_OK) {
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
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM zec_accounts WHERE username = ?", -1, &stmt, nullptr) ==
      SQLITE_OK) {
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
  if (sqlite3_prepare_v2(db, "UPDATE zec_accounts SET password = ? WHERE username = ?", -1, &stmt,
                         nullptr) == SQLITE_OK) {
    std::string name = upper(user);
    sqlite3_bind_text(stmt, 1, new_password.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) == SQLITE_DONE) result = 0;
  }
  sqlite3_finalize(stmt);
  return result;
}

sword session_begin(Handle &session, const void *error) noexcept {
  if (session.connection == nullptr) return set_error(error, 1012);
  if (!session.in_transaction) {
    if (!run(session.connection, "BEGIN")) return set_sqlite_error(error, session.connection);
    session.in_transaction = true;
  }
  return OCI_SUCCESS;
}

sword session_commit(Handle &session, const void *error) noexcept {
  if (session.connection == nullptr) return set_error(error, 1012);
  if (session.in_transaction) {
    if (!run(session.connection, "COMMIT")) return set_sqlite_error(error, session.connection);
    session.in_transaction = false;
  }
  return OCI_SUCCESS;
}

sword session_rollback(Handle &session, const void *error) noexcept {
  if (session.connection == nullptr) return set_error(error, 1012);
  if (session.in_transaction) {
    run(session.connection, "ROLLBACK");
    session.in_transaction = false;
  }
  return OCI_SUCCESS;
}

sword session_execute(Handle &session, const void *error, const std::string &sql) noexcept {
  if (session.connection == nullptr) return set_error(error, 1012);
  try {
    std::string first_word;
    StatementKind kind = kind_of(sql, &first_word);
    switch (kind) {
      case StatementKind::Commit:
        return session_commit(session, error);
      case StatementKind::Rollback:
        return session_rollback(session, error);
      case StatementKind::Definition: {
        // DDL commits what is pending, then runs on its own.
        sword status = session_commit(session, error);
        if (status != OCI_SUCCESS) return status;
        break;
      }
      case StatementKind::Change: {
        sword status = session_begin(session, error);
        if (status != OCI_SUCCESS) return status;
        break;
      }
      case StatementKind::Query:
        break;
      case StatementKind::Other:
        return set_error(error, 900);
    }
    if (kind == StatementKind::Definition) {
      std::vector<std::string> w = words_of(sql);
      if (w.size() >= 2 && upper(w[1]) == "SEQUENCE") {
        sb4 refused = define_sequence(session.connection, w);
        return refused == 0 ? OCI_SUCCESS : set_error(error, refused);
      }
    }
    if (!run(session.connection, translate(sql, first_word).c_str()))
      return set_sqlite_error(error, session.connection);
    return OCI_SUCCESS;
  } catch (...) {
    return set_error(error, 600, "out of memory");
  }
}

void end_session_connection(Handle &session) noexcept {
  if (session.connection == nullptr) return;
  if (session.in_transaction) run(session.connection, "COMMIT");
  session.in_transaction = false;
  sqlite3_close_v2(session.connection);
  session.connection = nullptr;
}

}  // namespace zec
