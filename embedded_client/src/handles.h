// The client's handle model: every OCI handle and descriptor is a Handle
// with its type, the environment it was made under, the handles it owns
// (freed with it), and, for error and environment handles, the error
// records of the latest failing call. Each kind of handle uses the few
// fields that describe it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "oci.h"

struct sqlite3;

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
  ub1 precision;
  sb1 scale;
  ub1 nullable;
};
struct DescribedObject {
  ub1 ptype;  // OCI_PTYPE_TABLE, OCI_PTYPE_VIEW or OCI_PTYPE_SEQ
  std::string schema;
  std::string name;
  std::vector<Column> columns;
  SequenceNumbers sequence;
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
  uint32_t magic;
  ub4 type;
  bool descriptor;
  Handle *environment;          // null for an environment itself
  Handle *owner;                // the handle this one is freed with, if any
  std::vector<Handle *> owned;  // freed with this one
  std::vector<ErrorRecord> errors;

  std::map<ub4, std::string> texts;  // text attributes set on the handle
  std::map<ub4, ub4> numbers;        // numeric attributes set on the handle

  // Environment.
  ub4 mode = 0;
  // Server: the database it is attached to, and a connection of its own.
  std::string database;
  sqlite3 *server_connection = nullptr;
  bool interrupted = false;
  OCIFocbkStruct failover{};
  // Service context: what it joins.
  Handle *server = nullptr;
  Handle *session = nullptr;
  Handle *transaction = nullptr;
  // Session: the user and the session's own connection.
  std::string user;
  sqlite3 *connection = nullptr;
  bool in_transaction = false;
  // Transaction.
  Xid xid{};
  bool has_xid = false;
  // Describe handle and parameter descriptors.
  std::shared_ptr<DescribedObject> described;
  int column = 0;  // 0: the object; -1: its column list; n: column n
  Handle *parameter = nullptr;
};

// A live handle of that type (0: any type), or null for anything else:
// null, freed, foreign or mistyped pointers alike.
Handle *live_handle(const void *pointer, ub4 type = 0) noexcept;
// A new handle, owned by `owner` (its environment, or another handle).
Handle *new_handle(ub4 type, bool descriptor, Handle *environment, Handle *owner) noexcept;
// Frees the handle with everything it owns, and closes what it holds open.
void free_handle(Handle *handle) noexcept;
int live_count() noexcept;

}  // namespace zec
