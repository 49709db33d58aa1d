// What the database knows of its objects, as Oracle declared them: tables
// and their columns with Oracle types, constraints with their names,
// indexes, views, comments, triggers and stored units. It lives in SQLite
// tables of its own (named _zec_*, which no Oracle identifier can reach
// unquoted) and is read into memory by each session, again whenever another
// session's DDL has changed it (a version counter tells).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "src/sql/types.h"

struct sqlite3;

namespace zec::sql {

struct ColumnInfo {
  std::string name;
  Type type;
  bool nullable = true;
  std::string default_text;  // Oracle's expression text, or empty
  std::string identity;      // ALWAYS, BY DEFAULT, BY DEFAULT ON NULL, or empty
  std::string identity_sequence;
  std::string not_null;      // the NOT NULL constraint's name (SYS_C... unnamed), or empty
  int position = 0;          // from 1
};

struct ConstraintInfo {
  std::string name;
  char kind = 'C';  // P, U, R, C (check), N (NOT NULL, named)
  std::string table;
  std::vector<std::string> columns;
  std::string ref_table;
  std::vector<std::string> ref_columns;
  std::string ref_constraint;
  std::string delete_rule;  // CASCADE, SET NULL, NO ACTION
  std::string condition;    // a check's Oracle text
  bool enabled = true;
  bool generated = false;   // named by the database (SYS_C...)
  std::string index_name;   // P, U: the index that enforces it
};

struct IndexInfo {
  std::string name;
  std::string table;
  bool unique = false;
  std::vector<std::string> columns;  // Oracle's expression texts
  std::vector<bool> descending;
  bool generated = false;            // made for a constraint
};

struct TableInfo {
  std::string name;
  char kind = 'T';  // T table, V view
  int64_t id = 0;
  int64_t created = 0;  // seconds, as DATE values are
  std::vector<ColumnInfo> columns;
  std::vector<ConstraintInfo> constraints;
  std::string view_text;
  bool read_only = false;
  std::string comment;
  std::map<std::string, std::string> column_comments;

  const ColumnInfo *column(const std::string &name) const {
    for (const ColumnInfo &c : columns)
      if (c.name == name) return &c;
    return nullptr;
  }
  const ConstraintInfo *primary_key() const {
    for (const ConstraintInfo &c : constraints)
      if (c.kind == 'P') return &c;
    return nullptr;
  }
};

struct TriggerInfo {
  std::string name;
  std::string table;
  std::string timing;               // BEFORE, AFTER
  std::vector<std::string> events;  // INSERT, UPDATE, DELETE
  std::vector<std::string> update_columns;
  bool for_each_row = false;
  bool enabled = true;
  std::string source;               // the whole CREATE text
  int64_t created = 0;
};

struct UnitInfo {  // a stored procedure or function
  std::string name;
  char kind = 'P';  // P procedure, F function
  std::string source;
  int64_t created = 0;
};

struct SynonymInfo {
  std::string name;
  std::string target;
};

struct Catalog {
  int64_t version = -1;
  std::map<std::string, TableInfo> tables;  // tables and views, by name
  std::map<std::string, IndexInfo> indexes;
  std::map<std::string, TriggerInfo> triggers;
  std::map<std::string, UnitInfo> units;
  std::map<std::string, SynonymInfo> synonyms;
  std::map<std::string, std::string> directories;  // name -> path

  const TableInfo *table(const std::string &name) const {
    auto it = tables.find(name);
    if (it != tables.end()) return &it->second;
    auto s = synonyms.find(name);
    if (s != synonyms.end()) {
      auto t = tables.find(s->second.target);
      if (t != tables.end()) return &t->second;
    }
    return nullptr;
  }
  // Any object of that name: tables, views, indexes, sequences are checked
  // by the caller for the kinds it cares about.
  bool name_used(const std::string &name) const {
    return tables.count(name) || units.count(name) || synonyms.count(name);
  }
};

// Makes the catalog's tables in a new database; nothing when they exist.
bool catalog_install(sqlite3 *db);
// The version counter: bumped by every DDL.
int64_t catalog_version(sqlite3 *db);
// Reads the whole catalog.
bool catalog_load(sqlite3 *db, Catalog *out);

// Writes; each runs inside the DDL's own transaction.
void catalog_bump(sqlite3 *db);
void catalog_save_table(sqlite3 *db, const TableInfo &t);  // replaces columns and constraints
void catalog_drop_table(sqlite3 *db, const std::string &name);
void catalog_save_index(sqlite3 *db, const IndexInfo &i);
void catalog_drop_index(sqlite3 *db, const std::string &name);
void catalog_save_trigger(sqlite3 *db, const TriggerInfo &t);
void catalog_drop_trigger(sqlite3 *db, const std::string &name);
void catalog_save_unit(sqlite3 *db, const UnitInfo &u);
void catalog_drop_unit(sqlite3 *db, const std::string &name);
void catalog_save_synonym(sqlite3 *db, const SynonymInfo &s);
void catalog_drop_synonym(sqlite3 *db, const std::string &name);
void catalog_save_directory(sqlite3 *db, const std::string &name, const std::string &path);
void catalog_drop_directory(sqlite3 *db, const std::string &name);
// A fresh object id, and a fresh name for an unnamed constraint (SYS_Cnnnnnn).
int64_t catalog_next_id(sqlite3 *db);
std::string catalog_constraint_name(sqlite3 *db);

}  // namespace zec::sql
