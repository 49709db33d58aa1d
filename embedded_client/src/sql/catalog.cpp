#include "src/sql/catalog.h"

#include <cstdio>

#include "src/sql/parser.h"
#include "src/sql/sqlite_util.h"

namespace zec::sql {
namespace {

constexpr char kSeparator = '\x1f';

std::string join(const std::vector<std::string> &parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out.push_back(kSeparator);
    out += parts[i];
  }
  return out;
}

std::vector<std::string> split(const std::string &text) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(kSeparator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

int64_t meta_integer(sqlite3 *db, const char *key, int64_t fallback) {
  Stmt s(db, "SELECT value FROM _zec_meta WHERE key = ?");
  s.bind(1, key);
  return s.step() ? s.integer(0) : fallback;
}

void set_meta(sqlite3 *db, const char *key, int64_t value) {
  Stmt s(db, "INSERT OR REPLACE INTO _zec_meta (key, value) VALUES (?, ?)");
  s.bind(1, key).bind(2, value);
  s.run();
}

}  // namespace

bool catalog_install(sqlite3 *db) {
  const char *schema =
      "CREATE TABLE IF NOT EXISTS _zec_meta (key TEXT PRIMARY KEY, value);"
      "CREATE TABLE IF NOT EXISTS _zec_objects (name TEXT PRIMARY KEY, kind TEXT, id INTEGER, "
      "  created INTEGER, text TEXT, read_only INTEGER DEFAULT 0, comment TEXT);"
      "CREATE TABLE IF NOT EXISTS _zec_columns (table_name TEXT, position INTEGER, name TEXT, "
      "  type TEXT, nullable INTEGER, default_text TEXT, identity TEXT, identity_sequence TEXT, "
      "  comment TEXT, PRIMARY KEY (table_name, position));"
      "CREATE TABLE IF NOT EXISTS _zec_constraints (name TEXT PRIMARY KEY, table_name TEXT, kind TEXT, "
      "  columns TEXT, ref_table TEXT, ref_columns TEXT, ref_constraint TEXT, delete_rule TEXT, "
      "  condition TEXT, enabled INTEGER, generated INTEGER, index_name TEXT, position INTEGER);"
      "CREATE TABLE IF NOT EXISTS _zec_indexes (name TEXT PRIMARY KEY, table_name TEXT, uniq INTEGER, "
      "  columns TEXT, descending TEXT, generated INTEGER);"
      "CREATE TABLE IF NOT EXISTS _zec_triggers (name TEXT PRIMARY KEY, table_name TEXT, timing TEXT, "
      "  events TEXT, update_columns TEXT, each_row INTEGER, enabled INTEGER, source TEXT, created INTEGER);"
      "CREATE TABLE IF NOT EXISTS _zec_units (name TEXT PRIMARY KEY, kind TEXT, source TEXT, created INTEGER);"
      "CREATE TABLE IF NOT EXISTS _zec_synonyms (name TEXT PRIMARY KEY, target TEXT);"
      "CREATE TABLE IF NOT EXISTS _zec_directories (name TEXT PRIMARY KEY, path TEXT);"
      "CREATE TABLE IF NOT EXISTS _zec_lob_heads (id INTEGER PRIMARY KEY, character INTEGER, "
      "  length INTEGER, bytes INTEGER);"
      "CREATE TABLE IF NOT EXISTS _zec_lobs (id INTEGER, chunk INTEGER, data BLOB, "
      "  PRIMARY KEY (id, chunk)) WITHOUT ROWID;"
      "INSERT OR IGNORE INTO _zec_meta (key, value) VALUES ('version', 1);"
      "INSERT OR IGNORE INTO _zec_meta (key, value) VALUES ('next_id', 1000);"
      "INSERT OR IGNORE INTO _zec_meta (key, value) VALUES ('next_constraint', 7000);"
      "INSERT OR IGNORE INTO _zec_meta (key, value) VALUES ('next_lob', 1);";
  if (sqlite3_exec(db, schema, nullptr, nullptr, nullptr) != SQLITE_OK) return false;
  // Databases made before NOT NULL constraints kept their names.
  sqlite3_stmt *probe = nullptr;
  bool has_name = sqlite3_prepare_v2(db, "SELECT not_null_name FROM _zec_columns LIMIT 0", -1, &probe, nullptr) ==
                  SQLITE_OK;
  sqlite3_finalize(probe);
  return has_name ||
         sqlite3_exec(db, "ALTER TABLE _zec_columns ADD COLUMN not_null_name TEXT", nullptr, nullptr, nullptr) ==
             SQLITE_OK;
}

int64_t catalog_version(sqlite3 *db) { return meta_integer(db, "version", 0); }

void catalog_bump(sqlite3 *db) {
  exec(db, "UPDATE _zec_meta SET value = value + 1 WHERE key = 'version'");
}

int64_t catalog_next_id(sqlite3 *db) {
  int64_t id = meta_integer(db, "next_id", 1000);
  set_meta(db, "next_id", id + 1);
  return id;
}

std::string catalog_constraint_name(sqlite3 *db) {
  int64_t n = meta_integer(db, "next_constraint", 7000);
  set_meta(db, "next_constraint", n + 1);
  char name[32];
  std::snprintf(name, sizeof name, "SYS_C%07lld", static_cast<long long>(n));
  return name;
}

bool catalog_load(sqlite3 *db, Catalog *out) {
  try {
    Catalog c;
    c.version = catalog_version(db);
    {
      Stmt s(db, "SELECT name, kind, id, created, text, read_only, comment FROM _zec_objects");
      while (s.step()) {
        TableInfo t;
        t.name = s.text(0);
        t.kind = s.text(1) == "VIEW" ? 'V' : 'T';
        t.id = s.integer(2);
        t.created = s.integer(3);
        t.view_text = s.text(4);
        t.read_only = s.integer(5) != 0;
        t.comment = s.text(6);
        c.tables[t.name] = std::move(t);
      }
    }
    {
      Stmt s(db,
             "SELECT table_name, position, name, type, nullable, default_text, identity, identity_sequence, "
             "comment, not_null_name FROM _zec_columns ORDER BY table_name, position");
      while (s.step()) {
        auto it = c.tables.find(s.text(0));
        if (it == c.tables.end()) continue;
        ColumnInfo col;
        col.position = static_cast<int>(s.integer(1));
        col.name = s.text(2);
        if (!parse_type_text(s.text(3), &col.type)) col.type = Type::varchar2(4000);
        col.nullable = s.integer(4) != 0;
        col.default_text = s.text(5);
        col.identity = s.text(6);
        col.identity_sequence = s.text(7);
        if (!s.is_null(8)) it->second.column_comments[col.name] = s.text(8);
        if (!s.is_null(9)) col.not_null = s.text(9);
        it->second.columns.push_back(std::move(col));
      }
    }
    {
      Stmt s(db,
             "SELECT name, table_name, kind, columns, ref_table, ref_columns, ref_constraint, delete_rule, "
             "condition, enabled, generated, index_name FROM _zec_constraints ORDER BY table_name, position");
      while (s.step()) {
        auto it = c.tables.find(s.text(1));
        if (it == c.tables.end()) continue;
        ConstraintInfo k;
        k.name = s.text(0);
        k.table = s.text(1);
        k.kind = s.text(2).empty() ? 'C' : s.text(2)[0];
        k.columns = split(s.text(3));
        k.ref_table = s.text(4);
        k.ref_columns = split(s.text(5));
        k.ref_constraint = s.text(6);
        k.delete_rule = s.text(7);
        k.condition = s.text(8);
        k.enabled = s.integer(9) != 0;
        k.generated = s.integer(10) != 0;
        k.index_name = s.text(11);
        it->second.constraints.push_back(std::move(k));
      }
    }
    {
      Stmt s(db, "SELECT name, table_name, uniq, columns, descending, generated FROM _zec_indexes");
      while (s.step()) {
        IndexInfo i;
        i.name = s.text(0);
        i.table = s.text(1);
        i.unique = s.integer(2) != 0;
        i.columns = split(s.text(3));
        for (const std::string &d : split(s.text(4))) i.descending.push_back(d == "1");
        i.generated = s.integer(5) != 0;
        c.indexes[i.name] = std::move(i);
      }
    }
    {
      Stmt s(db,
             "SELECT name, table_name, timing, events, update_columns, each_row, enabled, source, created "
             "FROM _zec_triggers");
      while (s.step()) {
        TriggerInfo t;
        t.name = s.text(0);
        t.table = s.text(1);
        t.timing = s.text(2);
        t.events = split(s.text(3));
        t.update_columns = split(s.text(4));
        t.for_each_row = s.integer(5) != 0;
        t.enabled = s.integer(6) != 0;
        t.source = s.text(7);
        t.created = s.integer(8);
        c.triggers[t.name] = std::move(t);
      }
    }
    {
      Stmt s(db, "SELECT name, kind, source, created FROM _zec_units");
      while (s.step()) {
        UnitInfo u;
        u.name = s.text(0);
        u.kind = s.text(1).empty() ? 'P' : s.text(1)[0];
        u.source = s.text(2);
        u.created = s.integer(3);
        c.units[u.name] = std::move(u);
      }
    }
    {
      Stmt s(db, "SELECT name, target FROM _zec_synonyms");
      while (s.step()) c.synonyms[s.text(0)] = SynonymInfo{s.text(0), s.text(1)};
    }
    {
      Stmt s(db, "SELECT name, path FROM _zec_directories");
      while (s.step()) c.directories[s.text(0)] = s.text(1);
    }
    *out = std::move(c);
    return true;
  } catch (const SqlError &) {
    return false;
  }
}

void catalog_save_table(sqlite3 *db, const TableInfo &t) {
  {
    Stmt s(db,
           "INSERT OR REPLACE INTO _zec_objects (name, kind, id, created, text, read_only, comment) "
           "VALUES (?, ?, ?, ?, ?, ?, ?)");
    s.bind(1, t.name).bind(2, t.kind == 'V' ? "VIEW" : "TABLE").bind(3, t.id).bind(4, t.created);
    s.bind(5, t.view_text).bind(6, t.read_only ? 1 : 0);
    if (t.comment.empty()) s.bind_null(7);
    else s.bind(7, t.comment);
    s.run();
  }
  {
    Stmt d(db, "DELETE FROM _zec_columns WHERE table_name = ?");
    d.bind(1, t.name);
    d.run();
    Stmt s(db,
           "INSERT INTO _zec_columns (table_name, position, name, type, nullable, default_text, identity, "
           "identity_sequence, comment, not_null_name) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    int position = 0;
    for (const ColumnInfo &c : t.columns) {
      s.reset();
      s.bind(1, t.name).bind(2, ++position).bind(3, c.name).bind(4, type_declaration(c.type));
      s.bind(5, c.nullable ? 1 : 0).bind(6, c.default_text).bind(7, c.identity).bind(8, c.identity_sequence);
      auto comment = t.column_comments.find(c.name);
      if (comment == t.column_comments.end()) s.bind_null(9);
      else s.bind(9, comment->second);
      if (c.not_null.empty()) s.bind_null(10);
      else s.bind(10, c.not_null);
      s.run();
    }
  }
  {
    Stmt d(db, "DELETE FROM _zec_constraints WHERE table_name = ?");
    d.bind(1, t.name);
    d.run();
    Stmt s(db,
           "INSERT INTO _zec_constraints (name, table_name, kind, columns, ref_table, ref_columns, "
           "ref_constraint, delete_rule, condition, enabled, generated, index_name, position) "
           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    int position = 0;
    for (const ConstraintInfo &k : t.constraints) {
      s.reset();
      s.bind(1, k.name).bind(2, t.name).bind(3, std::string(1, k.kind)).bind(4, join(k.columns));
      s.bind(5, k.ref_table).bind(6, join(k.ref_columns)).bind(7, k.ref_constraint).bind(8, k.delete_rule);
      s.bind(9, k.condition).bind(10, k.enabled ? 1 : 0).bind(11, k.generated ? 1 : 0).bind(12, k.index_name);
      s.bind(13, ++position);
      s.run();
    }
  }
}

void catalog_drop_table(sqlite3 *db, const std::string &name) {
  for (const char *sql : {"DELETE FROM _zec_objects WHERE name = ?", "DELETE FROM _zec_columns WHERE table_name = ?",
                          "DELETE FROM _zec_constraints WHERE table_name = ?",
                          "DELETE FROM _zec_indexes WHERE table_name = ?",
                          "DELETE FROM _zec_triggers WHERE table_name = ?"}) {
    Stmt s(db, sql);
    s.bind(1, name);
    s.run();
  }
}

void catalog_save_index(sqlite3 *db, const IndexInfo &i) {
  Stmt s(db,
         "INSERT OR REPLACE INTO _zec_indexes (name, table_name, uniq, columns, descending, generated) "
         "VALUES (?, ?, ?, ?, ?, ?)");
  std::vector<std::string> descending;
  for (bool d : i.descending) descending.push_back(d ? "1" : "0");
  s.bind(1, i.name).bind(2, i.table).bind(3, i.unique ? 1 : 0).bind(4, join(i.columns));
  s.bind(5, join(descending)).bind(6, i.generated ? 1 : 0);
  s.run();
}

void catalog_drop_index(sqlite3 *db, const std::string &name) {
  Stmt s(db, "DELETE FROM _zec_indexes WHERE name = ?");
  s.bind(1, name);
  s.run();
}

void catalog_save_trigger(sqlite3 *db, const TriggerInfo &t) {
  Stmt s(db,
         "INSERT OR REPLACE INTO _zec_triggers (name, table_name, timing, events, update_columns, each_row, "
         "enabled, source, created) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
  s.bind(1, t.name).bind(2, t.table).bind(3, t.timing).bind(4, join(t.events)).bind(5, join(t.update_columns));
  s.bind(6, t.for_each_row ? 1 : 0).bind(7, t.enabled ? 1 : 0).bind(8, t.source).bind(9, t.created);
  s.run();
}

void catalog_drop_trigger(sqlite3 *db, const std::string &name) {
  Stmt s(db, "DELETE FROM _zec_triggers WHERE name = ?");
  s.bind(1, name);
  s.run();
}

void catalog_save_unit(sqlite3 *db, const UnitInfo &u) {
  Stmt s(db, "INSERT OR REPLACE INTO _zec_units (name, kind, source, created) VALUES (?, ?, ?, ?)");
  s.bind(1, u.name).bind(2, std::string(1, u.kind)).bind(3, u.source).bind(4, u.created);
  s.run();
}

void catalog_drop_unit(sqlite3 *db, const std::string &name) {
  Stmt s(db, "DELETE FROM _zec_units WHERE name = ?");
  s.bind(1, name);
  s.run();
}

void catalog_save_synonym(sqlite3 *db, const SynonymInfo &syn) {
  Stmt s(db, "INSERT OR REPLACE INTO _zec_synonyms (name, target) VALUES (?, ?)");
  s.bind(1, syn.name).bind(2, syn.target);
  s.run();
}

void catalog_drop_synonym(sqlite3 *db, const std::string &name) {
  Stmt s(db, "DELETE FROM _zec_synonyms WHERE name = ?");
  s.bind(1, name);
  s.run();
}

void catalog_save_directory(sqlite3 *db, const std::string &name, const std::string &path) {
  Stmt s(db, "INSERT OR REPLACE INTO _zec_directories (name, path) VALUES (?, ?)");
  s.bind(1, name).bind(2, path);
  s.run();
}

void catalog_drop_directory(sqlite3 *db, const std::string &name) {
  Stmt s(db, "DELETE FROM _zec_directories WHERE name = ?");
  s.bind(1, name);
  s.run();
}

}  // namespace zec::sql
