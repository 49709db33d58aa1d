// LOB values of the database. A CLOB or BLOB column holds the id of its
// value; the value lives in chunks of at most kLobChunk bytes (a CLOB's
// chunks end on character boundaries and know their character counts), so
// that reading or writing part of a large LOB touches only the chunks
// concerned. Lengths, offsets and amounts are characters for CLOBs and
// bytes for BLOBs, offsets counting from 1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;

namespace zec::sql {

inline constexpr size_t kLobChunk = 32768;

struct LobHead {
  bool character = false;
  int64_t length = 0;  // characters or bytes
  int64_t bytes = 0;
};

// Each throws SqlError: ORA-22922 for an id with no value.
// A temporary LOB (negative id) lives in the connection's temporary tables
// and takes no lock of the database.
int64_t lob_create(sqlite3 *db, bool character, std::string_view content, bool temporary = false);
int64_t lob_copy(sqlite3 *db, int64_t id, bool temporary = false);
LobHead lob_head(sqlite3 *db, int64_t id);
std::string lob_read(sqlite3 *db, int64_t id, int64_t offset, int64_t amount);
std::string lob_read_all(sqlite3 *db, int64_t id);
// Writes over what is there from offset, extending the value; a gap past
// the end is filled with zero bytes (BLOB) or spaces (CLOB).
void lob_write(sqlite3 *db, int64_t id, int64_t offset, std::string_view data);
void lob_trim(sqlite3 *db, int64_t id, int64_t length);
// Overwrites amount units from offset with zero bytes or spaces; the units
// actually erased.
int64_t lob_erase(sqlite3 *db, int64_t id, int64_t offset, int64_t amount);
void lob_delete(sqlite3 *db, int64_t id);

// z_lob_new, z_lob_copy, z_lob_text, z_lob_raw, z_lob_length, z_lob_substr,
// z_lob_drop.
void register_lob_functions(sqlite3 *db);

}  // namespace zec::sql
