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
    {933, "SQL command not properly ended"},
    {942, "table or view does not exist"},
    {955, "name is already used by an existing object"},
    {1005, "null password given; logon denied"},
    {1012, "not logged on"},
    {1013, "user requested cancel of current operation"},
    {1017, "invalid username/password; logon denied"},
    {1400, "cannot insert NULL into (%s)"},
    {1428, "argument '%s' is out of range"},
    {1476, "divisor is equal to zero"},
    {1801, "date format is too long for internal buffer"},
    {1821, "date format not recognized"},
    {1830, "date format picture ends before converting entire input string"},
    {1835, "day of week conflicts with Julian date"},
    {1839, "date not valid for month specified"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {1843, "not a valid month"},
    {1846, "not a valid day of the week"},
    {1847, "day of month must be between 1 and last day of month"},
    {1848, "day of year must be between 1 and 365 (366 for leap year)"},
    {1849, "hour must be between 1 and 12"},
    {1850, "hour must be between 0 and 23"},
    {1851, "minutes must be between 0 and 59"},
    {1852, "seconds must be between 0 and 59"},
    {1853, "seconds in day must be between 0 and 86399"},
    {1854, "julian date must be between 1 and 5373484"},
    {1855, "AM/A.M. or PM/P.M. required"},
    {1856, "BC/B.C. or AD/A.D. required"},
    {1857, "not a valid time zone"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1861, "literal does not match format string"},
    {2290, "check constraint (%s) violated"},
    {2289, "sequence does not exist"},
    {2291, "integrity constraint (%s) violated - parent key not found"},
    {3001, "unimplemented feature"},
    {3114, "not connected to ORACLE"},
    {4043, "object %s does not exist"},
    {12154, "TNS:could not resolve the connect identifier specified"},
    {12702, "invalid NLS parameter string used in SQL function"},
    {21560, "argument %s is null, invalid, or out of range"},
    {22053, "overflow error"},
    {22054, "underflow error"},
    {22059, "buffer size [%s] is too small - [%s] is needed"},
    {22060, "argument [%s] is an invalid or uninitialized number"},
    {22061, "invalid format text [%s]"},
    {22062, "invalid input string [%s]"},
    {22064, "invalid NLS parameter string [%s]"},
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

std::string ora_message(sb4 code, const char *parameter) noexcept try {
  const char *text = "Message not found";
  for (const Message &m : kMessages)
    if (m.code == code) text = m.text;
  // Each %s takes the next of the parameters, which kParameterSeparator divides.
  std::string body;
  const char *next = parameter ? parameter : "";
  for (const char *c = text; *c != '\0'; ++c) {
    if (c[0] == '%' && c[1] == 's') {
      const char *end = std::strchr(next, kParameterSeparator);
      size_t length = end ? static_cast<size_t>(end - next) : std::strlen(next);
      body.append(next, length);
      next = end ? end + 1 : next + length;
      ++c;
    } else {
      body += *c;
    }
  }
  if (body.size() > OCI_ERROR_MAXMSG_SIZE - 16) body.resize(OCI_ERROR_MAXMSG_SIZE - 16);
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", static_cast<int>(code));
  return prefix + body + "\n";
} catch (...) {
  return std::string();
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
