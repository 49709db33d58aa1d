// A prepared SQLite statement owned for a scope, for the engine's own
// bookkeeping SQL. Failures throw SqlError (ORA-00600 with SQLite's text,
// unless the caller maps the error itself).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "src/sql/error.h"

namespace zec::sql {

// A bind that could not copy its value must not leave the parameter NULL.
inline void bound(int rc) {
  if (rc == SQLITE_NOMEM) fail(4030, "bind");
  if (rc == SQLITE_TOOBIG) fail(1489);
}

class Stmt {
 public:
  Stmt(sqlite3 *db, std::string_view sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &s_, nullptr) != SQLITE_OK) {
      std::string message = sqlite3_errmsg(db);
      sqlite3_finalize(s_);
      s_ = nullptr;
      fail(600, message);
    }
  }
  ~Stmt() { sqlite3_finalize(s_); }
  Stmt(const Stmt &) = delete;
  Stmt &operator=(const Stmt &) = delete;

  Stmt &bind(int i, std::string_view text) {
    bound(sqlite3_bind_text(s_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Stmt &bind(int i, const char *text) { return bind(i, std::string_view(text)); }
  Stmt &bind(int i, const std::string &text) { return bind(i, std::string_view(text)); }
  Stmt &bind(int i, int64_t value) {
    sqlite3_bind_int64(s_, i, value);
    return *this;
  }
  Stmt &bind(int i, int value) { return bind(i, static_cast<int64_t>(value)); }
  Stmt &bind_blob(int i, std::string_view bytes) {
    bound(sqlite3_bind_blob(s_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Stmt &bind_null(int i) {
    sqlite3_bind_null(s_, i);
    return *this;
  }
  // true for a row, false when done; throws on error.
  bool step() {
    int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(600, sqlite3_errmsg(db_));
  }
  void run() {
    while (step()) {
    }
  }
  void reset() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  std::string text(int i) const {
    const unsigned char *t = sqlite3_column_text(s_, i);
    return t ? std::string(reinterpret_cast<const char *>(t), static_cast<size_t>(sqlite3_column_bytes(s_, i)))
             : std::string();
  }
  std::string blob(int i) const {
    const void *b = sqlite3_column_blob(s_, i);
    return b ? std::string(static_cast<const char *>(b), static_cast<size_t>(sqlite3_column_bytes(s_, i)))
             : std::string();
  }
  int64_t integer(int i) const { return sqlite3_column_int64(s_, i); }
  bool is_null(int i) const { return sqlite3_column_type(s_, i) == SQLITE_NULL; }
  sqlite3_stmt *get() const { return s_; }

 private:
  sqlite3 *db_;
  sqlite3_stmt *s_ = nullptr;
};

// Runs SQL that returns no rows; throws ORA-00600 on failure.
inline void exec(sqlite3 *db, const char *sql) {
  char *message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "";
    sqlite3_free(message);
    fail(600, text);
  }
}

// "NAME" with inner quotes doubled: the form every generated identifier takes.
// Parts with a separator between them.
inline std::string join(const std::vector<std::string> &parts, const char *separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += separator;
    out += parts[i];
  }
  return out;
}

inline std::string quote(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

}  // namespace zec::sql
