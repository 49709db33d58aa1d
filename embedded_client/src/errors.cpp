#include "src/errors.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "src/handles.h"

namespace zec {
namespace {

struct Message {
  sb4 code;
  const char *text;
};

// Oracle's classic message texts.
constexpr Message kMessages[] = {
    {1, "unique constraint (%s) violated"},
    {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
    {600, "internal error code, arguments: [%s]"},
    {900, "invalid SQL statement"},
    {904, "%s: invalid identifier"},
    {942, "table or view does not exist"},
    {955, "name is already used by an existing object"},
    {1005, "null password given; logon denied"},
    {1012, "not logged on"},
    {1013, "user requested cancel of current operation"},
    {1017, "invalid username/password; logon denied"},
    {1400, "cannot insert NULL into (%s)"},
    {2290, "check constraint (%s) violated"},
    {2291, "integrity constraint (%s) violated - parent key not found"},
    {3001, "unimplemented feature"},
    {3114, "not connected to ORACLE"},
    {4043, "object %s does not exist"},
    {12154, "TNS:could not resolve the connect identifier specified"},
    {21560, "argument %s is null, invalid, or out of range"},
    {24313, "user already authenticated"},
    {24315, "illegal attribute type"},
    {24327, "need explicit attach before authenticating a user"},
    {24756, "transaction does not exist"},
    {24757, "duplicate transaction identifier"},
    {24769, "cannot forget an active transaction"},
    {24770, "cannot forget a prepared transaction"},
    {28003, "password verification for the specified password failed"},
    {28008, "invalid old password"},
};

// SQLite's errors as Oracle's: by extended code, or by primary code and a
// fragment of SQLite's message. The first row that matches wins.
struct SqliteMapping {
  int code;              // extended or primary result code
  const char *fragment;  // part of the message, or null for any
  sb4 ora;
};
constexpr SqliteMapping kSqliteMappings[] = {
    {SQLITE_CONSTRAINT_UNIQUE, nullptr, 1},
    {SQLITE_CONSTRAINT_PRIMARYKEY, nullptr, 1},
    {SQLITE_CONSTRAINT_NOTNULL, nullptr, 1400},
    {SQLITE_CONSTRAINT_CHECK, nullptr, 2290},
    {SQLITE_CONSTRAINT_FOREIGNKEY, nullptr, 2291},
    {SQLITE_BUSY, nullptr, 54},
    {SQLITE_LOCKED, nullptr, 54},
    {SQLITE_INTERRUPT, nullptr, 1013},
    {SQLITE_ERROR, "no such table", 942},
    {SQLITE_ERROR, "no such view", 942},
    {SQLITE_ERROR, "no such column", 904},
    {SQLITE_ERROR, "already exists", 955},
    {SQLITE_ERROR, "syntax error", 900},
    {SQLITE_ERROR, "incomplete input", 900},
};

// The part of SQLite's message an Oracle message names: the constraint's
// column for constraint errors, the identifier for unknown columns.
std::string parameter_of(sb4 ora, const char *message) {
  const char *colon = std::strrchr(message, ':');
  std::string tail = colon ? colon + 1 : message;
  while (!tail.empty() && tail.front() == ' ') tail.erase(tail.begin());
  for (char &c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ora == 600) return message;
  return tail;
}

}  // namespace

std::string ora_message(sb4 code, const char *parameter) noexcept {
  const char *text = "Message not found";
  for (const Message &m : kMessages)
    if (m.code == code) text = m.text;
  char body[OCI_ERROR_MAXMSG_SIZE];
  std::snprintf(body, sizeof body, text, parameter ? parameter : "");
  char formatted[OCI_ERROR_MAXMSG_SIZE + 16];
  std::snprintf(formatted, sizeof formatted, "ORA-%05d: %s\n", static_cast<int>(code), body);
  return formatted;
}

sword set_error(const void *error_handle, sb4 code, const char *parameter) noexcept {
  Handle *handle = live_handle(error_handle);
  if (handle != nullptr && (handle->type == OCI_HTYPE_ERROR || handle->type == OCI_HTYPE_ENV)) {
    try {
      handle->errors.assign(1, ErrorRecord{code, ora_message(code, parameter)});
    } catch (...) {
      handle->errors.clear();
    }
  }
  return OCI_ERROR;
}

void clear_errors(const void *error_handle) noexcept {
  if (Handle *handle = live_handle(error_handle)) handle->errors.clear();
}

sb4 ora_code_for_sqlite(sqlite3 *db, std::string *parameter) noexcept {
  int extended = sqlite3_extended_errcode(db);
  int primary = extended & 0xFF;
  const char *message = sqlite3_errmsg(db);
  sb4 ora = 600;
  for (const SqliteMapping &m : kSqliteMappings) {
    if (m.code != extended && m.code != primary) continue;
    if (m.fragment != nullptr && std::strstr(message, m.fragment) == nullptr) continue;
    ora = m.ora;
    break;
  }
  if (parameter) *parameter = parameter_of(ora, message);
  return ora;
}

sword set_sqlite_error(const void *error_handle, sqlite3 *db) noexcept {
  std::string parameter;
  sb4 ora = ora_code_for_sqlite(db, &parameter);
  return set_error(error_handle, ora, parameter.c_str());
}

}  // namespace zec
