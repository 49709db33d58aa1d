#include "src/sql/session.h"

#include <sqlite3.h>

#include <algorithm>
#include <ctime>

#include "src/sql/dictionary.h"
#include "src/sql/error.h"
#include "src/sql/plsql.h"
#include "src/sql/stored.h"
#include "src/sql/sqlite_util.h"
#include "src/sql/value.h"

namespace zec::sql {
namespace {

// Sessions of this process holding a write transaction, by database file.
std::map<std::string, int> &writers() {
  static std::map<std::string, int> open;
  return open;
}

// SQLite calls this when another connection holds the file's write lock.
// A writer of this process cannot finish while this one waits, so give up
// at once; a writer in another process is waited for up to 2 seconds.
int busy_handler(void *context, int attempts) {
  auto *s = static_cast<Session *>(context);
  if (writers()[s->path] > 0) return 0;
  if (attempts >= 40) return 0;
  sqlite3_sleep(50);
  return 1;
}

void note_writer(Session &s, bool open) {
  if (open == s.in_transaction) return;
  s.in_transaction = open;
  if (open) ++s.transaction_number;
  int &count = writers()[s.path];
  count += open ? 1 : -1;
  if (count < 0) count = 0;
}

oracle::Number number_of_text(const std::string &text) {
  oracle::Number n;
  if (oracle::from_plain(text, &n) != 0) n = oracle::Number{};
  return n;
}

std::string text_of_number(const oracle::Number &n) { return oracle::to_plain(n); }

}  // namespace

std::string Nls::number_parameters() const {
  std::string text = "NLS_NUMERIC_CHARACTERS='";
  text.push_back(decimal);
  text.push_back(group);
  text += "' NLS_CURRENCY='" + currency + "'";
  return text;
}

Session::~Session() {
  if (db) detach_cursors(*this, 1012);
  programs.clear();
  if (version_stmt) sqlite3_finalize(version_stmt);
  if (db) {
    if (in_transaction) note_writer(*this, false);
    sqlite3_close_v2(db);
  }
}

const Catalog &Session::schema() {
  if (version_stmt == nullptr &&
      sqlite3_prepare_v2(db, "SELECT value FROM _zec_meta WHERE key = 'version'", -1, &version_stmt, nullptr) !=
          SQLITE_OK) {
    fail(600, sqlite3_errmsg(db));
  }
  int64_t version = -2;
  int rc = sqlite3_step(version_stmt);
  if (rc == SQLITE_ROW) version = sqlite3_column_int64(version_stmt, 0);
  sqlite3_reset(version_stmt);
  // Not knowing the version is an error, never a reason to guess.
  if (rc != SQLITE_ROW) {
    if (rc == SQLITE_NOMEM) fail(4030, "catalog");
    fail(600, std::string("catalog version: ") + sqlite3_errmsg(db));
  }
  if (version != catalog.version) {
    if (!catalog_load(db, &catalog)) fail(600, std::string("catalog: ") + sqlite3_errmsg(db));
  }
  return catalog;
}

bool prepare_database(sqlite3 *db) {
  if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
  bool ok = sqlite3_exec(db,
                         "CREATE TABLE IF NOT EXISTS _zec_accounts (username TEXT PRIMARY KEY, "
                         "password TEXT NOT NULL);"
                         "INSERT OR IGNORE INTO _zec_accounts VALUES ('ZORVAN', 'zorvan');",
                         nullptr, nullptr, nullptr) == SQLITE_OK &&
            catalog_install(db);
  sqlite3_exec(db, ok ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
  return ok;
}

bool configure_connection(sqlite3 *db, Session *session) {
  // LIKE is case-sensitive in Oracle; constraints between tables are the
  // engine's own triggers, not SQLite's foreign keys.
  const char *settings =
      "PRAGMA journal_mode=WAL;"
      "PRAGMA synchronous=NORMAL;"
      "PRAGMA case_sensitive_like=ON;"
      "PRAGMA foreign_keys=OFF;"
      "PRAGMA recursive_triggers=ON;";
  if (sqlite3_exec(db, settings, nullptr, nullptr, nullptr) != SQLITE_OK) return false;
  if (session != nullptr) {
    sqlite3_busy_handler(db, busy_handler, session);
    register_functions(db, session);
    if (!register_dictionary(db, session)) return false;
    register_stored_functions(db, session);
  } else {
    sqlite3_busy_timeout(db, 2000);
  }
  return true;
}

std::unique_ptr<Session> open_session(const std::string &path, const std::string &user) {
  auto s = std::make_unique<Session>();
  s->path = path;
  s->user = user;
  // A session's connection is used by one thread at a time, as the session's
  // own state is: SQLite need not lock it on every call.
  if (sqlite3_open_v2(path.c_str(), &s->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    return nullptr;
  }
  if (!configure_connection(s->db, s.get())) return nullptr;
  s->sequences = sequence_store(path);
  if (!s->sequences) return nullptr;
  return s;
}

void begin_transaction(Session &s) {
  if (s.in_transaction) return;
  int rc = sqlite3_exec(s.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) fail(54);
  if (rc != SQLITE_OK) fail(600, sqlite3_errmsg(s.db));
  note_writer(s, true);
}

void commit(Session &s) {
  s.savepoints.clear();
  if (!s.in_transaction) return;
  if (sqlite3_exec(s.db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    // A statement still reading keeps the transaction open: finish it first.
    std::string message = sqlite3_errmsg(s.db);
    sqlite3_stmt *pending = nullptr;
    while ((pending = sqlite3_next_stmt(s.db, pending)) != nullptr)
      if (pending != s.version_stmt && sqlite3_stmt_busy(pending)) sqlite3_reset(pending);
    if (sqlite3_exec(s.db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) fail(600, message);
  }
  note_writer(s, false);
}

void rollback(Session &s) {
  s.savepoints.clear();
  if (!s.in_transaction) return;
  if (sqlite3_get_autocommit(s.db) == 0) sqlite3_exec(s.db, "ROLLBACK", nullptr, nullptr, nullptr);
  note_writer(s, false);
  // A rolled-back DDL-free transaction leaves the catalog as it was, but
  // SQLite may have re-read its schema: have ours checked again.
  s.invalidate_schema();
}

void savepoint(Session &s, const std::string &name) {
  begin_transaction(s);
  exec(s.db, ("SAVEPOINT " + quote("sp_" + name)).c_str());
  s.savepoints.push_back(name);
}

void rollback_to(Session &s, const std::string &name) {
  bool found = false;
  for (const std::string &p : s.savepoints) found = found || p == name;
  if (!found) fail(1086, name);  // savepoint never established
  exec(s.db, ("ROLLBACK TO " + quote("sp_" + name)).c_str());
  while (!s.savepoints.empty() && s.savepoints.back() != name) s.savepoints.pop_back();
  s.invalidate_schema();
}

void close_session(Session &s, sb4 reason) {
  if (s.db == nullptr) return;
  detach_cursors(s, reason);
  s.programs.clear();  // their statements go before the connection
  // Logging off keeps the work; losing the server loses what was pending.
  try {
    if (reason == 3114) rollback(s);
    else commit(s);
  } catch (...) {
    if (s.in_transaction) rollback(s);
  }
  if (s.version_stmt) sqlite3_finalize(s.version_stmt);
  s.version_stmt = nullptr;
  // Statements not yet finalized belong to cursors the session's end has
  // closed; finalizing them keeps SQLite from holding a zombie connection.
  sqlite3_stmt *pending;
  while ((pending = sqlite3_next_stmt(s.db, nullptr)) != nullptr) sqlite3_finalize(pending);
  sqlite3_close_v2(s.db);
  s.db = nullptr;
}

// ---- Sequences -----------------------------------------------------------------

class SequenceStore {
 public:
  sqlite3 *db = nullptr;
  struct Cached {
    oracle::Number next;
    oracle::Number increment;
    int64_t left = 0;
  };
  std::map<std::string, Cached> cache;
  ~SequenceStore() {
    if (db) sqlite3_close_v2(db);
  }
};

std::shared_ptr<SequenceStore> sequence_store(const std::string &database_path) {
  static std::map<std::string, std::weak_ptr<SequenceStore>> stores;
  auto &slot = stores[database_path];
  if (auto existing = slot.lock()) return existing;
  auto store = std::make_shared<SequenceStore>();
  std::string file = database_path;
  if (file.size() > 3 && file.compare(file.size() - 3, 3, ".db") == 0) file.resize(file.size() - 3);
  file += ".seq";
  if (sqlite3_open_v2(file.c_str(), &store->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
    return nullptr;
  sqlite3_busy_timeout(store->db, 2000);
  if (sqlite3_exec(store->db,
                   "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                   "CREATE TABLE IF NOT EXISTS _zec_sequences (name TEXT PRIMARY KEY, min_value TEXT, "
                   "max_value TEXT, increment TEXT, cache TEXT, cycle INTEGER, ordered INTEGER, "
                   "last_number TEXT, created INTEGER)",
                   nullptr, nullptr, nullptr) != SQLITE_OK)
    return nullptr;
  slot = store;
  return store;
}

namespace {

SequenceInfo read_sequence(Stmt &s) {
  SequenceInfo info;
  info.name = s.text(0);
  info.min_value = s.text(1);
  info.max_value = s.text(2);
  info.increment = s.text(3);
  info.cache = s.text(4);
  info.cycle = s.integer(5) != 0;
  info.ordered = s.integer(6) != 0;
  info.last_number = s.text(7);
  return info;
}

bool find_in_store(SequenceStore &store, const std::string &name, SequenceInfo *out) {
  Stmt s(store.db,
         "SELECT name, min_value, max_value, increment, cache, cycle, ordered, last_number FROM _zec_sequences "
         "WHERE name = ?");
  s.bind(1, name);
  if (!s.step()) return false;
  *out = read_sequence(s);
  return true;
}

// Applies CREATE or ALTER SEQUENCE options to a definition.
void apply_options(SequenceInfo &q, const std::vector<std::pair<std::string, std::string>> &options, bool creating,
                   std::string *start) {
  bool min_given = false, max_given = false;
  for (const auto &[word, value] : options) {
    if (word == "START") {
      if (!creating) fail(2283);  // cannot alter starting sequence number
      *start = value;
    } else if (word == "INCREMENT") {
      q.increment = value;
    } else if (word == "MINVALUE") {
      q.min_value = value;
      min_given = true;
    } else if (word == "MAXVALUE") {
      q.max_value = value;
      max_given = true;
    } else if (word == "NOMINVALUE") {
      q.min_value.clear();
      min_given = false;
    } else if (word == "NOMAXVALUE") {
      q.max_value.clear();
      max_given = false;
    } else if (word == "CACHE") {
      q.cache = value;
    } else if (word == "NOCACHE") {
      q.cache = "0";
    } else if (word == "CYCLE" || word == "NOCYCLE") {
      q.cycle = word == "CYCLE";
    } else if (word == "ORDER" || word == "NOORDER") {
      q.ordered = word == "ORDER";
    }
  }
  if (q.increment.empty()) q.increment = "1";  // stored: NEXTVAL steps by it
  oracle::Number increment = number_of_text(q.increment);
  if (increment.is_zero()) fail(4002);
  // Integral increments only.
  oracle::Number truncated;
  oracle::trunc(increment, 0, &truncated);
  if (oracle::compare(truncated, increment) != 0) fail(4002);
  bool ascending = !increment.negative;
  if (q.min_value.empty() || (!min_given && creating)) {
    if (!min_given) q.min_value = ascending ? "1" : "-999999999999999999999999999";
  }
  if (q.max_value.empty() || (!max_given && creating)) {
    if (!max_given) q.max_value = ascending ? "9999999999999999999999999999" : "-1";
  }
  if (q.cache.empty()) q.cache = "20";
  if (oracle::compare(number_of_text(q.min_value), number_of_text(q.max_value)) >= 0) fail(4004);
}

}  // namespace

void sequence_create(Session &s, const std::string &name,
                     const std::vector<std::pair<std::string, std::string>> &options, bool replace) {
  SequenceStore &store = *s.sequences;
  SequenceInfo existing;
  if (!replace && find_in_store(store, name, &existing)) fail(955);
  SequenceInfo q;
  q.name = name;
  std::string start;
  apply_options(q, options, true, &start);
  bool ascending = !number_of_text(q.increment).negative;
  if (start.empty()) start = ascending ? q.min_value : q.max_value;
  if (start == "LIMIT") start = q.max_value;
  oracle::Number first = number_of_text(start);
  if (oracle::compare(first, number_of_text(q.min_value)) < 0) fail(4006);
  if (oracle::compare(first, number_of_text(q.max_value)) > 0) fail(4008);
  q.last_number = text_of_number(first);
  Stmt insert(store.db,
              "INSERT OR REPLACE INTO _zec_sequences (name, min_value, max_value, increment, cache, cycle, "
              "ordered, last_number, created) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
  insert.bind(1, name).bind(2, q.min_value).bind(3, q.max_value).bind(4, q.increment).bind(5, q.cache);
  insert.bind(6, q.cycle ? 1 : 0).bind(7, q.ordered ? 1 : 0).bind(8, q.last_number);
  insert.bind(9, static_cast<int64_t>(std::time(nullptr)));
  insert.run();
  store.cache.erase(name);
}

void sequence_alter(Session &s, const std::string &name,
                    const std::vector<std::pair<std::string, std::string>> &options) {
  SequenceStore &store = *s.sequences;
  SequenceInfo q;
  if (!find_in_store(store, name, &q)) fail(2289);
  bool restart = false;
  std::string start;
  std::vector<std::pair<std::string, std::string>> rest;
  for (const auto &o : options) {
    if (o.first == "START") {
      restart = true;
      start = o.second;
    } else {
      rest.push_back(o);
    }
  }
  std::string unused;
  apply_options(q, rest, false, &unused);
  // Values cached but not handed out are given up, as Oracle does.
  auto cached = store.cache.find(name);
  if (cached != store.cache.end() && cached->second.left > 0) q.last_number = text_of_number(cached->second.next);
  if (restart) q.last_number = start == "LIMIT" ? q.last_number : start;
  Stmt update(store.db,
              "UPDATE _zec_sequences SET min_value = ?, max_value = ?, increment = ?, cache = ?, cycle = ?, "
              "ordered = ?, last_number = ? WHERE name = ?");
  update.bind(1, q.min_value).bind(2, q.max_value).bind(3, q.increment).bind(4, q.cache);
  update.bind(5, q.cycle ? 1 : 0).bind(6, q.ordered ? 1 : 0).bind(7, q.last_number).bind(8, name);
  update.run();
  store.cache.erase(name);
}

void sequence_drop(Session &s, const std::string &name) {
  SequenceStore &store = *s.sequences;
  Stmt d(store.db, "DELETE FROM _zec_sequences WHERE name = ?");
  d.bind(1, name);
  d.run();
  if (sqlite3_changes(store.db) == 0) fail(2289);
  store.cache.erase(name);
  s.currval.erase(name);
}

bool sequence_find(Session &s, const std::string &name, SequenceInfo *out) {
  if (!find_in_store(*s.sequences, name, out)) return false;
  // Oracle's LAST_NUMBER is the next value not yet cached.
  return true;
}

std::vector<SequenceInfo> sequence_list(Session &s) {
  std::vector<SequenceInfo> all;
  Stmt q(s.sequences->db,
         "SELECT name, min_value, max_value, increment, cache, cycle, ordered, last_number FROM _zec_sequences "
         "ORDER BY name");
  while (q.step()) all.push_back(read_sequence(q));
  return all;
}

std::string sequence_next(Session &s, const std::string &name) {
  SequenceStore &store = *s.sequences;
  SequenceStore::Cached &c = store.cache[name];
  if (c.left <= 0) {
    // A block of CACHE values is reserved in the store.
    if (sqlite3_exec(store.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) fail(54);
    try {
      SequenceInfo q;
      if (!find_in_store(store, name, &q)) fail(2289);
      oracle::Number next = number_of_text(q.last_number);
      oracle::Number increment = number_of_text(q.increment);
      oracle::Number minimum = number_of_text(q.min_value);
      oracle::Number maximum = number_of_text(q.max_value);
      bool ascending = !increment.negative;
      bool beyond = ascending ? oracle::compare(next, maximum) > 0 : oracle::compare(next, minimum) < 0;
      if (beyond) {
        if (!q.cycle) fail(8004, name);
        next = ascending ? minimum : maximum;
      }
      // How many values fit before the limit, up to CACHE.
      oracle::Number room_number, quotient;
      oracle::subtract(ascending ? maximum : minimum, next, &room_number);
      oracle::divide(room_number, increment, &quotient);
      oracle::Number whole;
      oracle::trunc(quotient, 0, &whole);
      int64_t room = 0;
      long double approx = oracle::to_long_double(whole);
      room = approx > 1e15L ? static_cast<int64_t>(1e15) : static_cast<int64_t>(approx) + 1;
      int64_t size = std::max<int64_t>(1, static_cast<int64_t>(oracle::to_long_double(number_of_text(q.cache))));
      if (size > room) size = room;
      oracle::Number step, after;
      oracle::Number count;
      oracle::from_plain(std::to_string(size), &count);
      oracle::multiply(increment, count, &step);
      oracle::add(next, step, &after);
      Stmt update(store.db, "UPDATE _zec_sequences SET last_number = ? WHERE name = ?");
      update.bind(1, text_of_number(after)).bind(2, name);
      update.run();
      exec(store.db, "COMMIT");
      c.next = next;
      c.increment = increment;
      c.left = size;
    } catch (...) {
      sqlite3_exec(store.db, "ROLLBACK", nullptr, nullptr, nullptr);
      store.cache.erase(name);
      throw;
    }
  }
  SequenceStore::Cached &cached = store.cache[name];
  oracle::Number value = cached.next;
  oracle::add(cached.next, cached.increment, &cached.next);
  --cached.left;
  std::string bytes = number_bytes(value);
  s.currval[name] = bytes;
  return bytes;
}

std::string sequence_current(Session &s, const std::string &name) {
  auto it = s.currval.find(name);
  if (it == s.currval.end()) {
    SequenceInfo q;
    if (!find_in_store(*s.sequences, name, &q)) fail(2289);
    fail(8002, name);
  }
  return it->second;
}

}  // namespace zec::sql
