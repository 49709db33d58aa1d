#include "src/sql/lob_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <vector>

#include "src/sql/error.h"
#include "src/sql/sqlite_util.h"
#include "src/sql/value.h"

namespace zec::sql {
namespace {

// Temporary LOBs live in the connection's temporary tables, under negative
// ids, so that they take no lock of the database and end with the session.
struct Tables {
  std::string heads, chunks;
};

const Tables &tables_of(int64_t id) {
  static const Tables kept{"_zec_lob_heads", "_zec_lobs"};
  static const Tables temporary{"temp._zec_tlob_heads", "temp._zec_tlobs"};
  return id < 0 ? temporary : kept;
}

int64_t row_of(int64_t id) { return id < 0 ? -id : id; }

// Units a chunk holds: bytes of a BLOB, characters of a CLOB (at most four
// bytes each, so a CLOB chunk stays within kLobChunk bytes).
int64_t units_per_chunk(bool character) { return character ? static_cast<int64_t>(kLobChunk / 4) : kLobChunk; }

size_t unit_offset(bool character, std::string_view s, size_t units) {
  return character ? utf8_offset(s, units) : std::min(units, s.size());
}

size_t unit_count(bool character, std::string_view s) { return character ? utf8_length(s) : s.size(); }

std::string read_chunk(sqlite3 *db, int64_t id, int64_t chunk) {
  Stmt s(db, "SELECT data FROM " + tables_of(id).chunks + " WHERE id = ? AND chunk = ?");
  s.bind(1, row_of(id)).bind(2, chunk);
  return s.step() ? s.blob(0) : std::string();
}

void write_chunk(sqlite3 *db, int64_t id, int64_t chunk, std::string_view data) {
  Stmt s(db, "INSERT OR REPLACE INTO " + tables_of(id).chunks + " (id, chunk, data) VALUES (?, ?, ?)");
  s.bind(1, row_of(id)).bind(2, chunk).bind_blob(3, data);
  s.run();
}

void save_head(sqlite3 *db, int64_t id, const LobHead &h) {
  Stmt s(db, "UPDATE " + tables_of(id).heads + " SET length = ?, bytes = ? WHERE id = ?");
  s.bind(1, h.length).bind(2, h.bytes).bind(3, row_of(id));
  s.run();
}

// Appends content to a LOB whose last chunk is full (or that is empty).
void append_chunks(sqlite3 *db, int64_t id, bool character, int64_t first_chunk, std::string_view content) {
  int64_t per = units_per_chunk(character);
  Stmt insert(db, "INSERT OR REPLACE INTO " + tables_of(id).chunks + " (id, chunk, data) VALUES (?, ?, ?)");
  size_t at = 0;
  int64_t chunk = first_chunk;
  while (at < content.size()) {
    size_t end = at + unit_offset(character, content.substr(at), static_cast<size_t>(per));
    insert.reset();
    insert.bind(1, row_of(id)).bind(2, chunk++).bind_blob(3, content.substr(at, end - at));
    insert.run();
    at = end;
  }
}

}  // namespace

namespace {

// A new head in the kept or the temporary tables: its id.
int64_t new_head(sqlite3 *db, bool temporary, bool character, int64_t length, int64_t bytes) {
  const Tables &t = tables_of(temporary ? -1 : 1);
  Stmt head(db, "INSERT INTO " + t.heads + " (character, length, bytes) VALUES (?, ?, ?)");
  head.bind(1, character ? 1 : 0).bind(2, length).bind(3, bytes);
  head.run();
  int64_t row = sqlite3_last_insert_rowid(db);
  return temporary ? -row : row;
}

}  // namespace

int64_t lob_create(sqlite3 *db, bool character, std::string_view content, bool temporary) {
  int64_t id = new_head(db, temporary, character, static_cast<int64_t>(unit_count(character, content)),
                        static_cast<int64_t>(content.size()));
  append_chunks(db, id, character, 0, content);
  return id;
}

LobHead lob_head(sqlite3 *db, int64_t id) {
  Stmt s(db, "SELECT character, length, bytes FROM " + tables_of(id).heads + " WHERE id = ?");
  s.bind(1, row_of(id));
  if (!s.step()) fail(22922);  // nonexistent LOB value
  LobHead h;
  h.character = s.integer(0) != 0;
  h.length = s.integer(1);
  h.bytes = s.integer(2);
  return h;
}

int64_t lob_copy(sqlite3 *db, int64_t id, bool temporary) {
  LobHead h = lob_head(db, id);
  int64_t copy = new_head(db, temporary, h.character, h.length, h.bytes);
  Stmt chunks(db, "INSERT INTO " + tables_of(copy).chunks + " (id, chunk, data) SELECT ?, chunk, data FROM " +
                      tables_of(id).chunks + " WHERE id = ?");
  chunks.bind(1, row_of(copy)).bind(2, row_of(id));
  chunks.run();
  return copy;
}

std::string lob_read(sqlite3 *db, int64_t id, int64_t offset, int64_t amount) {
  LobHead h = lob_head(db, id);
  std::string out;
  if (offset < 1 || amount <= 0 || offset > h.length) return out;
  int64_t start = offset - 1;
  int64_t stop = std::min(h.length, start + amount);
  int64_t per = units_per_chunk(h.character);
  Stmt s(db, "SELECT chunk, data FROM " + tables_of(id).chunks + " WHERE id = ? AND chunk >= ? AND chunk <= ? ORDER BY chunk");
  s.bind(1, row_of(id)).bind(2, start / per).bind(3, (stop - 1) / per);
  while (s.step()) {
    int64_t chunk = s.integer(0);
    std::string data = s.blob(1);
    int64_t chunk_start = chunk * per;
    size_t from = static_cast<size_t>(std::max<int64_t>(0, start - chunk_start));
    size_t to = static_cast<size_t>(std::min<int64_t>(per, stop - chunk_start));
    size_t b = unit_offset(h.character, data, from);
    size_t e = unit_offset(h.character, data, to);
    out.append(data, b, e - b);
  }
  return out;
}

std::string lob_read_all(sqlite3 *db, int64_t id) {
  LobHead h = lob_head(db, id);
  std::string out;
  out.reserve(static_cast<size_t>(h.bytes));
  Stmt s(db, "SELECT data FROM " + tables_of(id).chunks + " WHERE id = ? ORDER BY chunk");
  s.bind(1, row_of(id));
  while (s.step()) {
    const void *b = sqlite3_column_blob(s.get(), 0);
    int n = sqlite3_column_bytes(s.get(), 0);
    if (b) out.append(static_cast<const char *>(b), static_cast<size_t>(n));
  }
  return out;
}

void lob_write(sqlite3 *db, int64_t id, int64_t offset, std::string_view data) {
  LobHead h = lob_head(db, id);
  if (offset < 1) fail(24801);
  int64_t per = units_per_chunk(h.character);
  int64_t start = offset - 1;
  // A gap past the end is filled first.
  if (start > h.length) {
    std::string fill(static_cast<size_t>(start - h.length), h.character ? ' ' : '\0');
    lob_write(db, id, h.length + 1, fill);
    h = lob_head(db, id);
  }
  int64_t units = static_cast<int64_t>(unit_count(h.character, data));
  if (units == 0) return;
  int64_t stop = start + units;
  size_t consumed = 0;
  int64_t bytes_delta = 0;
  for (int64_t chunk = start / per; chunk * per < stop; ++chunk) {
    int64_t chunk_start = chunk * per;
    std::string old = chunk_start < h.length ? read_chunk(db, id, chunk) : std::string();
    size_t old_units = unit_count(h.character, old);
    size_t from = static_cast<size_t>(std::max<int64_t>(0, start - chunk_start));
    size_t to = static_cast<size_t>(std::min<int64_t>(per, stop - chunk_start));
    // The piece of `data` that lands in this chunk.
    size_t piece_end = consumed + unit_offset(h.character, data.substr(consumed), to - from);
    std::string_view piece = data.substr(consumed, piece_end - consumed);
    consumed = piece_end;
    size_t b = unit_offset(h.character, old, from);
    size_t e = unit_offset(h.character, old, std::min(to, old_units));
    std::string updated = old.substr(0, b);
    updated.append(piece);
    updated.append(old, e, std::string::npos);
    bytes_delta += static_cast<int64_t>(updated.size()) - static_cast<int64_t>(old.size());
    write_chunk(db, id, chunk, updated);
  }
  h.length = std::max(h.length, stop);
  h.bytes += bytes_delta;
  save_head(db, id, h);
}

void lob_trim(sqlite3 *db, int64_t id, int64_t length) {
  LobHead h = lob_head(db, id);
  if (length > h.length) fail(22926);  // specified trim length is greater than current LOB value's length
  if (length < 0) fail(24801);
  if (length == h.length) return;
  int64_t per = units_per_chunk(h.character);
  int64_t keep_chunks = (length + per - 1) / per;
  Stmt drop(db, "DELETE FROM " + tables_of(id).chunks + " WHERE id = ? AND chunk >= ?");
  drop.bind(1, row_of(id)).bind(2, keep_chunks);
  drop.run();
  if (length % per != 0) {
    int64_t last = keep_chunks - 1;
    std::string data = read_chunk(db, id, last);
    data.resize(unit_offset(h.character, data, static_cast<size_t>(length - last * per)));
    write_chunk(db, id, last, data);
  }
  // The byte count again, from what is kept.
  Stmt bytes(db, "SELECT coalesce(sum(length(data)), 0) FROM " + tables_of(id).chunks + " WHERE id = ?");
  bytes.bind(1, row_of(id));
  bytes.step();
  h.bytes = bytes.integer(0);
  h.length = length;
  save_head(db, id, h);
}

int64_t lob_erase(sqlite3 *db, int64_t id, int64_t offset, int64_t amount) {
  LobHead h = lob_head(db, id);
  if (offset < 1 || amount < 0) fail(24801);
  if (offset > h.length) return 0;
  int64_t erased = std::min(amount, h.length - offset + 1);
  lob_write(db, id, offset, std::string(static_cast<size_t>(erased), h.character ? ' ' : '\0'));
  return erased;
}

void lob_delete(sqlite3 *db, int64_t id) {
  Stmt chunks(db, "DELETE FROM " + tables_of(id).chunks + " WHERE id = ?");
  chunks.bind(1, row_of(id));
  chunks.run();
  Stmt head(db, "DELETE FROM " + tables_of(id).heads + " WHERE id = ?");
  head.bind(1, row_of(id));
  head.run();
}

namespace {

void raise(sqlite3_context *ctx, const SqlError &e) {
  std::string message = kFunctionErrorPrefix + std::to_string(e.code) + '\x1f' + e.parameter;
  sqlite3_result_error(ctx, message.data(), static_cast<int>(message.size()));
}

template <class F>
void guarded(sqlite3_context *ctx, F body) {
  try {
    body();
  } catch (const SqlError &e) {
    raise(ctx, e);
  } catch (const std::bad_alloc &) {
    sqlite3_result_error_nomem(ctx);
  } catch (...) {
    raise(ctx, SqlError{600, "LOB"});
  }
}

void lob_new_fn(sqlite3_context *ctx, int, sqlite3_value **argv) {
  int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    sqlite3 *db = sqlite3_context_db_handle(ctx);
    bool character = type != SQLITE_BLOB;
    const void *data = character ? static_cast<const void *>(sqlite3_value_text(argv[0])) : sqlite3_value_blob(argv[0]);
    size_t n = static_cast<size_t>(sqlite3_value_bytes(argv[0]));
    sqlite3_result_int64(ctx, lob_create(db, character, std::string_view(static_cast<const char *>(data ? data : ""), n)));
  });
}

void lob_copy_fn(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  guarded(ctx, [&] { sqlite3_result_int64(ctx, lob_copy(sqlite3_context_db_handle(ctx), sqlite3_value_int64(argv[0]))); });
}

// A LOB column holds an id; a LOB made within the statement (TO_CLOB of a
// text, a RAW) arrives as its content.
bool inline_content(sqlite3_value *v) {
  int type = sqlite3_value_type(v);
  return type == SQLITE_TEXT || type == SQLITE_BLOB;
}

std::string_view content_of(sqlite3_value *v) {
  bool text = sqlite3_value_type(v) == SQLITE_TEXT;
  const void *data = text ? static_cast<const void *>(sqlite3_value_text(v)) : sqlite3_value_blob(v);
  return std::string_view(static_cast<const char *>(data ? data : ""), static_cast<size_t>(sqlite3_value_bytes(v)));
}

template <bool text>
void lob_content_fn(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    std::string all = inline_content(argv[0]) ? std::string(content_of(argv[0]))
                                               : lob_read_all(sqlite3_context_db_handle(ctx), sqlite3_value_int64(argv[0]));
    if (all.empty()) return sqlite3_result_null(ctx);
    if (text) sqlite3_result_text(ctx, all.data(), static_cast<int>(all.size()), SQLITE_TRANSIENT);
    else sqlite3_result_blob(ctx, all.data(), static_cast<int>(all.size()), SQLITE_TRANSIENT);
  });
}

void lob_length_fn(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    int64_t length = 0;
    if (inline_content(argv[0])) {
      bool character = sqlite3_value_type(argv[0]) == SQLITE_TEXT;
      length = static_cast<int64_t>(unit_count(character, content_of(argv[0])));
    } else {
      length = lob_head(sqlite3_context_db_handle(ctx), sqlite3_value_int64(argv[0])).length;
    }
    std::string bytes = number_from_int64(length);
    sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  });
}

int64_t integer_of(sqlite3_value *v) {
  if (sqlite3_value_type(v) == SQLITE_BLOB) {
    int64_t out = 0;
    const void *b = sqlite3_value_blob(v);
    number_to_int64(std::string_view(static_cast<const char *>(b), static_cast<size_t>(sqlite3_value_bytes(v))), &out);
    return out;
  }
  return sqlite3_value_int64(v);
}

// DBMS_LOB.SUBSTR(lob, amount, offset).
void lob_substr_fn(sqlite3_context *ctx, int, sqlite3_value **argv) {
  for (int i = 0; i < 3; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    sqlite3 *db = sqlite3_context_db_handle(ctx);
    int64_t id = sqlite3_value_int64(argv[0]);
    LobHead h = lob_head(db, id);
    int64_t amount = integer_of(argv[1]);
    int64_t offset = integer_of(argv[2]);
    if (amount < 1 || amount > 32767 || offset < 1) return sqlite3_result_null(ctx);
    std::string part = lob_read(db, id, offset, amount);
    if (part.empty()) return sqlite3_result_null(ctx);
    if (h.character) sqlite3_result_text(ctx, part.data(), static_cast<int>(part.size()), SQLITE_TRANSIENT);
    else sqlite3_result_blob(ctx, part.data(), static_cast<int>(part.size()), SQLITE_TRANSIENT);
  });
}

void lob_drop_fn(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  guarded(ctx, [&] {
    lob_delete(sqlite3_context_db_handle(ctx), sqlite3_value_int64(argv[0]));
    sqlite3_result_null(ctx);
  });
}

}  // namespace

void register_lob_functions(sqlite3 *db) {
  sqlite3_exec(db,
               "CREATE TEMP TABLE IF NOT EXISTS _zec_tlob_heads (id INTEGER PRIMARY KEY, character INTEGER, "
               "  length INTEGER, bytes INTEGER);"
               "CREATE TEMP TABLE IF NOT EXISTS _zec_tlobs (id INTEGER, chunk INTEGER, data BLOB, "
               "  PRIMARY KEY (id, chunk)) WITHOUT ROWID;",
               nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "z_lob_new", 1, SQLITE_UTF8, nullptr, lob_new_fn, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "z_lob_copy", 1, SQLITE_UTF8, nullptr, lob_copy_fn, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "z_lob_text", 1, SQLITE_UTF8, nullptr, lob_content_fn<true>, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "z_lob_raw", 1, SQLITE_UTF8, nullptr, lob_content_fn<false>, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "z_lob_length", 1, SQLITE_UTF8, nullptr, lob_length_fn, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "z_lob_substr", 3, SQLITE_UTF8, nullptr, lob_substr_fn, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "z_lob_drop", 1, SQLITE_UTF8, nullptr, lob_drop_fn, nullptr, nullptr, nullptr);
}

}  // namespace zec::sql
