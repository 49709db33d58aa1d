#include "src/errors.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "src/charset.h"
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
    {51, "timeout occurred while waiting for a resource"},
    {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
    {600, "internal error code, arguments: [%s]"},
    {900, "invalid SQL statement"},
    {901, "invalid CREATE command"},
    {902, "invalid datatype"},
    {903, "invalid table name"},
    {904, "%s: invalid identifier"},
    {905, "missing keyword"},
    {906, "missing left parenthesis"},
    {907, "missing right parenthesis"},
    {908, "missing NULL keyword"},
    {909, "invalid number of arguments"},
    {910, "specified length too long for its datatype"},
    {911, "invalid character"},
    {913, "too many values"},
    {917, "missing comma"},
    {918, "column ambiguously defined"},
    {920, "invalid relational operator"},
    {922, "missing or invalid option"},
    {923, "FROM keyword not found where expected"},
    {925, "missing INTO keyword"},
    {926, "missing VALUES keyword"},
    {927, "missing equal sign"},
    {928, "missing SELECT keyword"},
    {932, "inconsistent datatypes: expected %s got %s"},
    {933, "SQL command not properly ended"},
    {934, "group function is not allowed here"},
    {935, "group function is nested too deeply"},
    {936, "missing expression"},
    {937, "not a single-group group function"},
    {938, "not enough arguments for function"},
    {939, "too many arguments for function"},
    {940, "invalid ALTER command"},
    {942, "table or view does not exist"},
    {947, "not enough values"},
    {950, "invalid DROP option"},
    {955, "name is already used by an existing object"},
    {957, "duplicate column name"},
    {969, "missing ON keyword"},
    {971, "missing SET keyword"},
    {972, "identifier is too long"},
    {976, "Specified pseudocolumn or operator not allowed here."},
    {979, "not a GROUP BY expression"},
    {984, "column not allowed here"},
    {1001, "invalid cursor"},
    {1002, "fetch out of sequence"},
    {1005, "null password given; logon denied"},
    {1007, "variable not in select list"},
    {1008, "not all variables bound"},
    {1009, "missing mandatory parameter"},
    {1012, "not logged on"},
    {1013, "user requested cancel of current operation"},
    {1017, "invalid username/password; logon denied"},
    {1027, "bind variables not allowed for data definition operations"},
    {1031, "insufficient privileges"},
    {1036, "illegal variable name/number"},
    {1086, "savepoint '%s' never established in this session or is invalid"},
    {1400, "cannot insert NULL into (%s)"},
    {1401, "inserted value too large for column"},
    {1403, "no data found"},
    {1405, "fetched column value is NULL"},
    {1406, "fetched column value was truncated"},
    {1407, "cannot update (%s) to NULL"},
    {1408, "such column list already indexed"},
    {1410, "invalid ROWID"},
    {1416, "two tables cannot be outer-joined to each other"},
    {1418, "specified index does not exist"},
    {1422, "exact fetch returns more than requested number of rows"},
    {1426, "numeric overflow"},
    {1427, "single-row subquery returns more than one row"},
    {1428, "argument '%s' is out of range"},
    {1430, "column being added already exists in table"},
    {1434, "private synonym to be dropped does not exist"},
    {1435, "user does not exist"},
    {1436, "CONNECT BY loop in user data"},
    {1438, "value larger than specified precision allowed for this column"},
    {1439, "column to be modified must be empty to change datatype"},
    {1440, "column to be modified must be empty to decrease precision or scale"},
    {1441, "cannot decrease column length because some value is too big"},
    {1451, "column to be modified to NULL cannot be modified to NULL"},
    {1452, "cannot CREATE UNIQUE INDEX; duplicate keys found"},
    {1455, "converting column overflows integer datatype"},
    {1460, "unimplemented or unreasonable conversion requested"},
    {1465, "invalid hex number"},
    {1468, "a predicate may reference only one outer-joined table"},
    {1476, "divisor is equal to zero"},
    {1480, "trailing null missing from STR bind value"},
    {1481, "invalid number format model"},
    {1489, "result of string concatenation is too long"},
    {1578, "ORACLE data block corrupted"},
    {1653, "unable to extend table"},
    {1719, "outer join operator (+) not allowed in operand of OR or IN"},
    {1722, "invalid number"},
    {1723, "zero-length columns are not allowed"},
    {1724, "floating point precision is out of range (1 to 126)"},
    {1727, "numeric precision specifier is out of range (1 to 38)"},
    {1728, "numeric scale specifier is out of range (-84 to 127)"},
    {1730, "invalid number of column names specified"},
    {1732, "data manipulation operation not legal on this view"},
    {1735, "invalid ALTER TABLE option"},
    {1740, "missing double quote in identifier"},
    {1741, "illegal zero-length identifier"},
    {1742, "comment not terminated properly"},
    {1744, "inappropriate INTO"},
    {1754, "a table may contain only one column of type LONG"},
    {1756, "quoted string not properly terminated"},
    {1780, "string literal required"},
    {1785, "ORDER BY item must be the number of a SELECT-list expression"},
    {1789, "query block has incorrect number of result columns"},
    {1790, "expression must have same datatype as corresponding expression"},
    {1801, "date format is too long for internal buffer"},
    {1821, "date format not recognized"},
    {1830, "date format picture ends before converting entire input string"},
    {1835, "day of week conflicts with Julian date"},
    {1839, "date not valid for month specified"},
    {1840, "input value not long enough for date format"},
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
    {1899, "bad precision specifier"},
    {2017, "integer value required"},
    {2019, "connection description for remote database not found"},
    {2248, "invalid option for ALTER SESSION"},
    {2251, "subquery not allowed here"},
    {2253, "constraint definition not allowed here"},
    {2256, "number of referencing columns must match referenced columns"},
    {2260, "table can have only one primary key"},
    {2261, "such unique or primary key already exists in the table"},
    {2263, "need to specify the datatype for this column"},
    {2264, "name already used by an existing constraint"},
    {2266, "unique/primary keys in table referenced by enabled foreign keys"},
    {2267, "column type incompatible with referenced column type"},
    {2268, "referenced table does not have a primary key"},
    {2270, "no matching unique or primary key for this column-list"},
    {2273, "this unique/primary key is referenced by some foreign keys"},
    {2283, "cannot alter starting sequence number"},
    {2287, "sequence number not allowed here"},
    {2289, "sequence does not exist"},
    {2290, "check constraint (%s) violated"},
    {2291, "integrity constraint (%s) violated - parent key not found"},
    {2292, "integrity constraint (%s) violated - child record found"},
    {2293, "cannot validate (%s) - check constraint violated"},
    {2296, "cannot enable (%s) - null values found"},
    {2297, "cannot disable constraint (%s) - dependencies exist"},
    {2298, "cannot validate (%s) - parent keys not found"},
    {2299, "cannot validate (%s) - duplicate keys found"},
    {2329, "column of datatype %s cannot be unique or a primary key"},
    {2429, "cannot drop index used for enforcement of unique/primary key"},
    {2431, "cannot disable constraint (%s) - no such constraint"},
    {2436, "date or system variable wrongly specified in CHECK constraint"},
    {2443, "Cannot drop constraint  - nonexistent constraint"},
    {2449, "unique/primary keys in table referenced by foreign keys"},
    {3001, "unimplemented feature"},
    {3114, "not connected to ORACLE"},
    {4002, "INCREMENT must be a non-zero integer"},
    {4004, "MINVALUE must be less than MAXVALUE"},
    {4006, "START WITH cannot be less than MINVALUE"},
    {4008, "START WITH cannot be more than MAXVALUE"},
    {4030, "out of process memory when trying to allocate %s bytes"},
    {4043, "object %s does not exist"},
    {4080, "trigger '%s' does not exist"},
    {4081, "trigger '%s' already exists"},
    {4088, "error during execution of trigger '%s'"},
    {4091, "table %s is mutating, trigger/function may not see it"},
    {6502, "PL/SQL: numeric or value error%s"},
    {6510, "PL/SQL: unhandled user-defined exception"},
    {6511, "PL/SQL: cursor already open"},
    {6503, "PL/SQL: Function returned without value"},
    {6535, "statement string in %s is NULL or 0 length"},
    {6550, "line %s, column %s:\n%s"},
    {6553, "%s"},
    {6572, "Function %s has out arguments"},
    {6576, "not a valid function or procedure name"},
    {6592, "CASE not found while executing CASE statement"},
    {8002, "sequence %s.CURRVAL is not yet defined in this session"},
    {8004, "sequence %s.NEXTVAL exceeds MAXVALUE and cannot be instantiated"},
    {12154, "TNS:could not resolve the connect identifier specified"},
    {12702, "invalid NLS parameter string used in SQL function"},
    {12705, "Cannot access NLS data files or invalid environment specified"},
    {12899, "value too large for column %s (actual: %s, maximum: %s)"},
    {12983, "cannot drop all columns in a table"},
    {12991, "column is referenced in a multi-column constraint"},
    {12992, "cannot drop parent key column"},
    {16000, "database or pluggable database open for read-only access"},
    {21000, "error number argument to raise_application_error of %s is out of range"},
    {21560, "argument %s is null, invalid, or out of range"},
    {22053, "overflow error"},
    {22054, "underflow error"},
    {22059, "buffer size [%s] is too small - [%s] is needed"},
    {22060, "argument [%s] is an invalid or uninitialized number"},
    {22061, "invalid format text [%s]"},
    {22062, "invalid input string [%s]"},
    {22064, "invalid NLS parameter string [%s]"},
    {22152, "destination variable-length array is not large enough"},
    {22160, "element at index [%s] does not exist"},
    {22162, "element at index [%s] has been previously deleted"},
    {22164, "delete element operation is not allowed for variable-length array"},
    {22165, "given index [%s] must be in the range of [%s] to [%s]"},
    {22166, "collection is empty"},
    {22167, "given trim size [%s] must be less than or equal to [%s]"},
    {22275, "invalid LOB locator specified"},
    {22285, "non-existent directory or file for %s operation"},
    {22288, "file or LOB operation %s failed\n%s"},
    {22289, "cannot perform %s operation on an unopened file or LOB"},
    {22290, "operation would exceed the maximum number of opened files or LOBs"},
    {22920, "row containing the LOB value is not locked"},
    {22922, "nonexistent LOB value"},
    {22925, "operation would exceed maximum size allowed for a LOB value"},
    {22926, "specified trim length is greater than current LOB value's length"},
    {23292, "The constraint does not exist"},
    {24313, "user already authenticated"},
    {24315, "illegal attribute type"},
    {24327, "need explicit attach before authenticating a user"},
    {24333, "zero iteration count"},
    {24337, "statement handle not prepared"},
    {24338, "statement handle not executed"},
    {24343, "user defined callback error"},
    {24345, "A Truncation or null fetch error occurred"},
    {24374, "define not done before fetch or execute and fetch"},
    {24756, "transaction does not exist"},
    {24757, "duplicate transaction identifier"},
    {24769, "cannot forget an active transaction"},
    {24770, "cannot forget a prepared transaction"},
    {24801, "illegal parameter value in OCI lob function"},
    {24805, "LOB type mismatch"},
    {25001, "cannot create this trigger type on this type of view"},
    {28003, "password verification for the specified password failed"},
    {28008, "invalid old password"},
    {30001, "trim set should have only one character"},
    {30002, "SYS_CONNECT_BY_PATH function is not allowed here"},
    {30003, "illegal parameter in SYS_CONNECT_BY_PATH function"},
    {30076, "invalid extract field for extract source"},
    {30088, "datetime/interval precision is out of range"},
    {30481, "GROUPING function only supported with GROUP BY CUBE or ROLLUP"},
    {30483, "window  functions are not allowed here"},
    {30485, "missing ORDER BY expression in the window clause"},
    {30496, "Argument should be a constant."},
    {30563, "outer join operator (+) is not allowed here"},
    {30673, "column to be modified is not an identity column"},
    {30675, "identity column must be a numeric type"},
    {30926, "unable to get a stable set of rows in the source tables"},
    {32039, "number of WITH clause column names does not match number of elements in select list"},
    {32795, "cannot insert into a generated always identity column"},
    {32796, "cannot update a generated always identity column"},
    {38104, "Columns referenced in the ON Clause cannot be updated: %s"},
};

}  // namespace

std::string ora_message(sb4 code, const char *parameter) noexcept try {
  const char *text = "Message %s not found";
  bool found = false;
  for (const Message &m : kMessages)
    if (m.code == code) {
      text = m.text;
      found = true;
    }
  // RAISE_APPLICATION_ERROR's codes carry their own text.
  if (code >= 20000 && code <= 20999) {
    text = "%s";
    found = true;
  }
  std::string missing = std::to_string(code);
  if (!found && (parameter == nullptr || parameter[0] == '\0')) parameter = missing.c_str();
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
  // Oracle's text names no construct; ours adds the one it met, so that a
  // script's author knows what to change.
  if (code == 3001 && parameter != nullptr && parameter[0] != '\0') body += std::string(": ") + parameter;
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

sword set_error(const void *error_handle, const sql::SqlError &e) noexcept {
  Handle *handle = live_handle(error_handle);
  if (handle != nullptr && (handle->type == OCI_HTYPE_ERROR || handle->type == OCI_HTYPE_ENV)) {
    try {
      std::string text = ora_message(e.code, e.parameter.c_str());
      if (!e.trailer.empty()) text += e.trailer + "\n";
      // Names in messages are the database's (UTF-8): the client reads its own set.
      text = to_client(charset_of(handle), text);
      handle->errors.assign(1, ErrorRecord{e.code, std::move(text)});
    } catch (...) {
      handle->errors.clear();
    }
  }
  return OCI_ERROR;
}

void add_warning(const void *error_handle, sb4 code) noexcept {
  Handle *handle = live_handle(error_handle);
  if (handle == nullptr || (handle->type != OCI_HTYPE_ERROR && handle->type != OCI_HTYPE_ENV)) return;
  try {
    handle->errors.assign(1, ErrorRecord{code, ora_message(code)});
  } catch (...) {
    handle->errors.clear();
  }
}

}  // namespace zec
