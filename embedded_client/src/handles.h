// The client's handles and descriptors. Each kind is its own record
// (derived from Handle, which carries what every kind has: its type, the
// environment it was made under, the handle it is freed with, what it owns,
// its attributes and, for error and environment handles, the error records
// of the latest failing call).
//
// Ownership follows Oracle: an environment owns everything allocated from
// it; a statement owns its bind and define handles; the service context
// OCILogon makes owns its server and session. A session's end detaches the
// statements that ran on it, which then answer ORA-01012 (ORA-03114 after
// the server was detached); no SQLite statement outlives its connection.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "oci.h"
#include "src/charset.h"
#include "src/sql/engine.h"

namespace zec {

struct ErrorRecord {
  sb4 code;
  std::string text;  // "ORA-NNNNN: message\n"
};

// What a describe found: a table or view and its columns, or a sequence
// and its numbers (each in the 22-byte NUMBER form).
using StoredNumber = std::array<uint8_t, 22>;
struct SequenceNumbers {
  StoredNumber min_value, max_value, increment, cache, high_water;
  ub1 ordered;
};
struct Column {
  std::string name;
  ub2 data_type;
  ub2 data_size;
  int16_t precision;
  sb1 scale;
  ub1 nullable;
  ub2 char_size = 0;
  ub1 char_used = 0;
};
struct DescribedObject {
  ub1 ptype;  // OCI_PTYPE_TABLE, OCI_PTYPE_VIEW or OCI_PTYPE_SEQ
  std::string schema;
  std::string name;
  std::vector<Column> columns;
  SequenceNumbers sequence;
  bool select_list = false;  // columns of a statement's select list (implicit describe)
};

// An XA transaction identifier, as OCI_ATTR_XID carries it.
struct Xid {
  int32_t format_id;
  int32_t gtrid_length;
  int32_t bqual_length;
  char data[128];
};
static_assert(sizeof(Xid) == 140);

struct Handle {
  uint32_t magic = 0;
  ub4 type = 0;
  bool descriptor = false;
  Handle *environment = nullptr;  // null for an environment itself
  Handle *owner = nullptr;        // the handle this one is freed with, if any
  std::vector<Handle *> owned;    // freed with this one
  std::vector<ErrorRecord> errors;
  std::map<ub4, std::string> texts;  // text attributes set on the handle
  std::map<ub4, ub4> numbers;        // numeric attributes set on the handle
  virtual ~Handle() = default;
};

struct Environment : Handle {
  ub4 mode = 0;
  Charset charset = Charset::WE8MSWIN1252;
};

struct SessionHandle;

struct Server : Handle {
  std::string database;          // the file it is attached to, empty when detached
  sqlite3 *accounts = nullptr;   // a connection of its own, for logons
  bool interrupted = false;
  OCIFocbkStruct failover{};
  std::set<SessionHandle *> sessions;  // sessions begun on it
};

struct Transaction : Handle {
  Xid xid{};
  bool has_xid = false;
};

struct SessionHandle : Handle {
  std::string user;
  std::unique_ptr<sql::Session> sql;  // the session's own connection, while it is open
  Server *server = nullptr;
};

struct LobLocator;

struct ServiceContext : Handle {
  Server *server = nullptr;
  SessionHandle *session = nullptr;
  Transaction *transaction = nullptr;
  std::set<LobLocator *> open_files;  // BFILEs opened on it (checked live before use)
};

struct Statement;

// The program's buffer a bind or define call describes, as OCI takes it.
struct UserBuffer {
  void *value = nullptr;
  sb4 value_size = 0;
  ub2 dty = 0;
  void *indicator = nullptr;
  ub2 *length = nullptr;
  ub2 *rcode = nullptr;
  ub4 mode = 0;
};

// Handle stays the first base: a handle's address is its Handle's.
struct Bind : Handle, UserBuffer {
  Statement *statement = nullptr;
  std::string name;    // by name: upper case unless quoted
  ub4 position = 0;    // by position
  void *in_context = nullptr;
  OCICallbackInBind in_callback = nullptr;
  void *out_context = nullptr;
  OCICallbackOutBind out_callback = nullptr;
};

struct Define : Handle, UserBuffer {
  Statement *statement = nullptr;
  ub4 position = 0;
  void *context = nullptr;
  OCICallbackDefine callback = nullptr;
};

struct Statement : Handle {
  sql::Cursor cursor;
  std::vector<Bind *> occurrences;  // the bind of each placeholder occurrence
  std::map<ub4, Define *> defines;  // by select-list position
  bool executed = false;            // an execution has completed
  bool query_executed = false;      // ... and it was a query
  bool at_end = false;              // the query's rows are all fetched
  ub4 row_count = 0;
  ub4 rows_fetched = 0;
  ub4 param_count = 0;
  std::vector<sql::ResultColumn> described;  // the select list, after execute or describe
  SessionHandle *session = nullptr;          // where it last ran
  std::string bind_names;                    // OCIStmtGetBindInfo's names, back to back
};

struct Describe : Handle {
  Handle *parameter = nullptr;
};

struct Parameter : Handle {
  std::shared_ptr<DescribedObject> described;
  int column = 0;  // 0: the object; -1: its column list; n: column n
  Handle *list = nullptr;
};

struct LobLocator : Handle {
  bool initialized = false;
  bool character = false;
  int64_t lob_id = 0;              // the value in the database; negative for a temporary
  SessionHandle *session = nullptr;
  // The session's transaction the locator was read in: its row stays
  // writable through it until that transaction ends.
  int64_t locked_transaction = 0;
  bool temporary = false;
  bool buffering = false;
  ub1 csform = 0;
  // A read in polling mode: the units still to deliver, from `stream_next`.
  bool streaming = false;
  int64_t stream_next = 0, stream_left = 0;
  // BFILEs.
  std::string directory, file;
  bool file_open = false;
  ServiceContext *opened_on = nullptr;
};

struct RowidDescriptor : Handle {
  int64_t object = 0;
  int64_t row = 0;
  bool valid = false;
};

// A live handle of that type (0: any type), or null for anything else:
// null, freed, foreign or mistyped pointers alike.
Handle *live_handle(const void *pointer, ub4 type = 0) noexcept;
template <class T>
T *live(const void *pointer, ub4 type) noexcept {
  return static_cast<T *>(live_handle(pointer, type));
}
// A new handle of the kind `type` names, owned by `owner` (its environment,
// or another handle).
Handle *new_handle(ub4 type, bool descriptor, Handle *environment, Handle *owner) noexcept;
// Frees the handle with everything it owns, and closes what it holds open.
void free_handle(Handle *handle) noexcept;
// Frees the collections, iterators, REFs and raws made under an environment
// (objects.cpp); the environment's free calls it.
void free_objects_of(const void *environment) noexcept;
// Frees every live handle (tests end with it).
void free_all_handles() noexcept;
int live_count() noexcept;

// The environment's character set.
Charset charset_of(const Handle *h) noexcept;

}  // namespace zec
