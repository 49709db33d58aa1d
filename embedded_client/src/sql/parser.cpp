#include "src/sql/parser.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "src/sql/error.h"
#include "src/sql/lexer.h"

namespace zec::sql {
namespace {

// Oracle's reserved words: never a column, alias or table name unless quoted.
const std::set<std::string> &reserved() {
  static const std::set<std::string> words = {
      "ACCESS", "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUDIT", "BETWEEN", "BY", "CHAR",
      "CHECK", "CLUSTER", "COLUMN", "COMMENT", "COMPRESS", "CONNECT", "CREATE", "CURRENT", "DATE",
      "DECIMAL", "DEFAULT", "DELETE", "DESC", "DISTINCT", "DROP", "ELSE", "EXCLUSIVE", "EXISTS", "FILE",
      "FLOAT", "FOR", "FROM", "GRANT", "GROUP", "HAVING", "IDENTIFIED", "IMMEDIATE", "IN", "INCREMENT",
      "INDEX", "INITIAL", "INSERT", "INTEGER", "INTERSECT", "INTO", "IS", "LEVEL", "LIKE", "LOCK", "LONG",
      "MAXEXTENTS", "MINUS", "MLSLABEL", "MODE", "MODIFY", "NOAUDIT", "NOCOMPRESS", "NOT", "NOWAIT",
      "NULL", "NUMBER", "OF", "OFFLINE", "ON", "ONLINE", "OPTION", "OR", "ORDER", "PCTFREE", "PRIOR",
      "PUBLIC", "RAW", "RENAME", "RESOURCE", "REVOKE", "ROW", "ROWID", "ROWNUM", "ROWS", "SELECT",
      "SESSION", "SET", "SHARE", "SIZE", "SMALLINT", "START", "SUCCESSFUL", "SYNONYM", "SYSDATE", "TABLE",
      "THEN", "TO", "TRIGGER", "UID", "UNION", "UNIQUE", "UPDATE", "USER", "VALIDATE", "VALUES",
      "VARCHAR", "VARCHAR2", "VIEW", "WHENEVER", "WHERE", "WITH"};
  return words;
}

// Words that end a table reference: never read as its alias.
const std::set<std::string> &not_table_alias() {
  static const std::set<std::string> words = {
      "JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "NATURAL", "OUTER", "USING", "RETURNING",
      "RETURN", "LOG", "SAMPLE", "FETCH", "OFFSET", "PARTITION", "LOOP", "THEN", "WINDOW"};
  return words;
}

// Data types that may stand in an expression: a CAST target, a %TYPE ...
struct TypeWord {
  const char *word;
  Base base;
};

class Parser {
 public:
  explicit Parser(std::string_view source) : src_(source), t_(tokenize(source)) {}

  StatementPtr statement_whole() {
    StatementPtr s = statement();
    if (s->kind == Statement::Kind::Block || s->kind == Statement::Kind::CreateProcedure ||
        s->kind == Statement::Kind::CreateFunction || s->kind == Statement::Kind::CreateTrigger) {
      // A PL/SQL unit ends at its final semicolon; a lone "/" may follow.
      accept_sym("/");
      if (peek().kind != Token::End) plsql_error(peek());
      return s;
    }
    if (peek().sym(";")) fail(911);
    if (peek().kind != Token::End) fail(933);
    return s;
  }

  bool type_only(Type *out) {
    if (peek().kind != Token::Word) return false;
    *out = data_type();
    return peek().kind == Token::End;
  }

 private:
  // ---- Tokens ------------------------------------------------------------------
  const Token &peek(size_t ahead = 0) const {
    size_t i = std::min(pos_ + ahead, t_.size() - 1);
    return t_[i];
  }
  Token take() {
    Token t = peek();
    if (pos_ < t_.size() - 1) ++pos_;
    return t;
  }
  bool accept(const char *word) {
    if (!peek().is(word)) return false;
    take();
    return true;
  }
  void expect(const char *word, sb4 code = 905) {
    if (!accept(word)) error_at(peek(), code);
  }
  bool accept_sym(const char *s) {
    if (!peek().sym(s)) return false;
    take();
    return true;
  }
  void expect_sym(const char *s, sb4 code) {
    if (!accept_sym(s)) error_at(peek(), code);
  }
  bool at_word(const char *w) const { return peek().is(w); }

  [[noreturn]] void error_at(const Token &t, sb4 code) {
    if (plsql_ > 0) plsql_error(t);
    if (code == 0) code = 900;
    fail(code);
  }

  // PL/SQL reports where it stopped: ORA-06550 with the line and column
  // and a PLS-00103 text naming the symbol.
  [[noreturn]] void plsql_error(const Token &t) {
    size_t line = 1, column = 1;
    for (size_t i = 0; i < t.begin && i < src_.size(); ++i) {
      if (src_[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    std::string symbol = t.kind == Token::End ? "end-of-file" : std::string(src_.substr(t.begin, t.end - t.begin));
    std::string text = "PLS-00103: Encountered the symbol \"" + symbol +
                       "\" when expecting one of the following:\n";
    fail(6550, std::to_string(line) + '\x1f' + std::to_string(column) + '\x1f' + text);
  }

  // An identifier: an unquoted word that is not reserved, or a quoted one.
  std::string identifier(sb4 code = 904) {
    const Token &t = peek();
    if (t.kind != Token::Word || (!t.quoted && reserved().count(t.text))) error_at(t, code);
    return take().text;
  }
  bool at_identifier() const {
    const Token &t = peek();
    return t.kind == Token::Word && (t.quoted || !reserved().count(t.text));
  }
  Name qualified_name(sb4 code = 903) {
    Name n;
    n.quoted.push_back(peek().quoted);
    n.parts.push_back(identifier(code));
    while (peek().sym(".") && peek(1).kind == Token::Word) {
      take();
      n.quoted.push_back(peek().quoted);
      n.parts.push_back(identifier(code));
    }
    // A database link is read and refused later.
    if (accept_sym("@")) fail(2019);  // connection description for remote database not found
    return n;
  }

  size_t here() const { return peek().begin; }
  size_t last_end() const { return pos_ > 0 ? t_[pos_ - 1].end : 0; }

  // ---- Statements ----------------------------------------------------------------
  StatementPtr statement() {
    const Token &t = peek();
    size_t begin = t.begin;
    StatementPtr s;
    if (t.is("SELECT") || t.is("WITH") || t.sym("(")) {
      s = std::make_unique<Statement>(Statement::Kind::Select);
      s->query = query();
    } else if (t.is("INSERT")) {
      s = insert();
    } else if (t.is("UPDATE")) {
      s = update();
    } else if (t.is("DELETE")) {
      s = remove();
    } else if (t.is("MERGE")) {
      s = merge();
    } else if (t.is("CREATE")) {
      s = create();
    } else if (t.is("DROP")) {
      s = drop();
    } else if (t.is("ALTER")) {
      s = alter();
    } else if (t.is("TRUNCATE")) {
      take();
      if (!accept("TABLE")) error_at(peek(), 905);
      s = std::make_unique<Statement>(Statement::Kind::Truncate);
      s->table = qualified_name();
      skip_options();
    } else if (t.is("COMMENT")) {
      s = comment();
    } else if (t.is("RENAME")) {
      take();
      s = std::make_unique<Statement>(Statement::Kind::Rename);
      s->object = qualified_name();
      expect("TO");
      s->comment = identifier(903);
    } else if (t.is("COMMIT")) {
      take();
      accept("WORK");
      if (accept("COMMENT")) {
        if (peek().kind != Token::String) error_at(peek(), 905);
        take();
      }
      if (accept("WRITE")) skip_options();
      s = std::make_unique<Statement>(Statement::Kind::Commit);
    } else if (t.is("ROLLBACK")) {
      take();
      accept("WORK");
      s = std::make_unique<Statement>(Statement::Kind::Rollback);
      if (accept("TO")) {
        accept("SAVEPOINT");
        s->savepoint = identifier(905);
      }
    } else if (t.is("SAVEPOINT")) {
      take();
      s = std::make_unique<Statement>(Statement::Kind::Savepoint);
      s->savepoint = identifier(905);
    } else if (t.is("SET")) {
      take();
      if (!accept("TRANSACTION")) error_at(peek(), 900);
      s = std::make_unique<Statement>(Statement::Kind::SetTransaction);
      while (peek().kind != Token::End && !peek().sym(";")) take();
    } else if (t.is("LOCK")) {
      take();
      expect("TABLE");
      s = std::make_unique<Statement>(Statement::Kind::LockTable);
      s->table = qualified_name();
      while (peek().kind != Token::End && !peek().sym(";")) take();
    } else if (t.is("BEGIN") || t.is("DECLARE") || t.sym("<<")) {
      s = std::make_unique<Statement>(Statement::Kind::Block);
      ++plsql_;
      s->block = block(true);
      --plsql_;
    } else if (t.is("CALL")) {
      take();
      s = std::make_unique<Statement>(Statement::Kind::Call);
      s->call = primary();
    } else if (t.is("EXPLAIN") || t.is("GRANT") || t.is("REVOKE") || t.is("AUDIT") || t.is("ANALYZE")) {
      fail(3001, t.text);
    } else {
      fail(900);
    }
    s->begin = begin;
    s->end = last_end();
    return s;
  }

  // INSERT INTO t [alias] [(cols)] {VALUES (...) | query} [RETURNING ... INTO ...]
  StatementPtr insert() {
    take();
    if (!accept("INTO")) error_at(peek(), 925);
    auto s = std::make_unique<Statement>(Statement::Kind::Insert);
    dml_target(*s);
    if (peek().sym("(") && !(peek(1).is("SELECT") || peek(1).is("WITH"))) {
      take();
      do {
        // t.col is accepted; only the column counts.
        std::string name = identifier();
        while (accept_sym(".")) name = identifier();
        s->columns.push_back(name);
      } while (accept_sym(","));
      expect_sym(")", 907);
    }
    if (accept("VALUES")) {
      do {
        expect_sym("(", 906);
        std::vector<ExprPtr> row;
        do row.push_back(expression_or_default());
        while (accept_sym(","));
        expect_sym(")", 907);
        s->rows.push_back(std::move(row));
      } while (accept_sym(","));
    } else if (peek().is("SELECT") || peek().is("WITH") || peek().sym("(")) {
      s->query = query();
    } else {
      error_at(peek(), 926);
    }
    returning(*s);
    return s;
  }

  void dml_target(Statement &s) {
    if (peek().sym("(")) {
      take();
      s.target_query = query();
      expect_sym(")", 907);
    } else {
      s.table = qualified_name();
    }
    if (peek().kind == Token::Word && !peek().quoted && !reserved().count(peek().text) &&
        !not_table_alias().count(peek().text) && !peek().is("VALUES")) {
      s.alias = take().text;
    } else if (peek().kind == Token::Word && peek().quoted) {
      s.alias = take().text;
    }
  }

  void returning(Statement &s) {
    if (!accept("RETURNING") && !accept("RETURN")) return;
    do s.returning.push_back(expression());
    while (accept_sym(","));
    if (!accept("INTO")) error_at(peek(), 925);
    do s.returning_into.push_back(expression());
    while (accept_sym(","));
  }

  StatementPtr update() {
    take();
    auto s = std::make_unique<Statement>(Statement::Kind::Update);
    dml_target(*s);
    if (!accept("SET")) error_at(peek(), 971);
    s->set = set_list();
    if (accept("WHERE")) s->where = condition();
    returning(*s);
    return s;
  }

  std::vector<Statement::SetItem> set_list() {
    std::vector<Statement::SetItem> items;
    do {
      Statement::SetItem item;
      if (accept_sym("(")) {
        do item.columns.push_back(column_of_target());
        while (accept_sym(","));
        expect_sym(")", 907);
        expect_sym("=", 927);
        expect_sym("(", 906);
        item.query = query();
        expect_sym(")", 907);
      } else {
        item.columns.push_back(column_of_target());
        expect_sym("=", 927);
        item.value = expression_or_default();
      }
      items.push_back(std::move(item));
    } while (accept_sym(","));
    return items;
  }

  std::string column_of_target() {
    std::string name = identifier();
    while (accept_sym(".")) name = identifier();
    return name;
  }

  StatementPtr remove() {
    take();
    accept("FROM");
    auto s = std::make_unique<Statement>(Statement::Kind::Delete);
    dml_target(*s);
    if (accept("WHERE")) s->where = condition();
    returning(*s);
    return s;
  }

  StatementPtr merge() {
    take();
    expect("INTO", 925);
    auto s = std::make_unique<Statement>(Statement::Kind::Merge);
    dml_target(*s);
    expect("USING", 969);
    s->using_source = table_reference();
    expect("ON", 969);
    expect_sym("(", 906);
    s->merge_on = condition();
    expect_sym(")", 907);
    while (accept("WHEN")) {
      bool matched = !accept("NOT");
      expect("MATCHED", 905);
      expect("THEN", 905);
      if (matched) {
        expect("UPDATE", 905);
        expect("SET", 971);
        s->has_matched = true;
        s->merge_update = set_list();
        if (accept("WHERE")) s->merge_update_where = condition();
        if (accept("DELETE")) {
          expect("WHERE", 905);
          s->merge_delete_where = condition();
        }
      } else {
        expect("INSERT", 905);
        s->has_not_matched = true;
        if (accept_sym("(")) {
          do s->merge_insert_columns.push_back(column_of_target());
          while (accept_sym(","));
          expect_sym(")", 907);
        }
        expect("VALUES", 926);
        expect_sym("(", 906);
        do s->merge_insert_values.push_back(expression_or_default());
        while (accept_sym(","));
        expect_sym(")", 907);
        if (accept("WHERE")) s->merge_insert_where = condition();
      }
    }
    if (!s->has_matched && !s->has_not_matched) error_at(peek(), 905);
    return s;
  }

  StatementPtr comment() {
    take();
    expect("ON");
    auto s = std::make_unique<Statement>(Statement::Kind::Comment);
    if (accept("TABLE")) s->comment_kind = "TABLE";
    else if (accept("COLUMN")) s->comment_kind = "COLUMN";
    else if (accept("VIEW")) s->comment_kind = "TABLE";
    else error_at(peek(), 905);
    s->object = qualified_name();
    expect("IS");
    if (peek().kind != Token::String) error_at(peek(), 1780);  // string literal required
    s->comment = take().text;
    return s;
  }

  // Physical and storage options Oracle accepts after a table or index: read
  // and ignored, with their parenthesised parts.
  void skip_options() {
    static const std::set<std::string> kOptions = {
        "TABLESPACE", "PCTFREE", "PCTUSED", "INITRANS", "MAXTRANS", "STORAGE", "LOGGING", "NOLOGGING",
        "COMPRESS", "NOCOMPRESS", "CACHE", "NOCACHE", "PARALLEL", "NOPARALLEL", "MONITORING",
        "NOMONITORING", "ORGANIZATION", "HEAP", "INDEX", "OVERFLOW", "SEGMENT", "CREATION", "IMMEDIATE",
        "DEFERRED", "ROWDEPENDENCIES", "NOROWDEPENDENCIES", "ENABLE", "DISABLE", "ROW", "MOVEMENT",
        "COMPUTE", "STATISTICS", "ONLINE", "REVERSE", "NOSORT", "VISIBLE", "INVISIBLE", "INCLUDING",
        "PCTTHRESHOLD", "MAPPING", "NOMAPPING", "DROP", "REUSE", "STORAGE", "LOB", "STORE", "AS",
        "BASICFILE", "SECUREFILE", "CHUNK", "RETENTION", "FREEPOOLS", "FLASHBACK", "ARCHIVE", "NO",
        "RESULT_CACHE", "MODE", "DEFAULT", "FORCE", "NORMAL", "PURGE", "PRESERVE", "ROWS", "COMMIT",
        "DELETE", "ON", "UNUSABLE", "LOCAL", "GLOBAL", "PARTITION", "BY", "RANGE", "HASH", "LIST",
        "INTERVAL", "TABLE", "USING", "BUFFER_POOL", "FLASH_CACHE", "CELL_FLASH_CACHE", "KEEP",
        "RECYCLE", "MINEXTENTS", "MAXEXTENTS", "NEXT", "INITIAL", "PCTINCREASE", "FREELISTS",
        "FREELIST", "GROUPS", "UNLIMITED", "CACHE_READS", "INMEMORY", "NO_INMEMORY", "VALIDATE",
        "NOVALIDATE", "RELY", "NORELY", "SORT", "FOR", "ALL", "COLUMNS", "SIZE", "AUTO", "METHOD_OPT"};
    for (;;) {
      const Token &t = peek();
      // AS then a query is CREATE TABLE ... AS SELECT, not LOB ... STORE AS.
      auto query_follows = [&](size_t at) { return peek(at).is("SELECT") || peek(at).is("WITH"); };
      if (t.is("AS") && (query_follows(1) || (peek(1).sym("(") && query_follows(2)))) return;
      if (t.kind == Token::Word && !t.quoted && kOptions.count(t.text)) {
        take();
      } else if (t.kind == Token::Number) {
        take();
      } else if (t.sym("(")) {
        skip_parenthesised();
      } else if (t.kind == Token::Word && pos_ > 0 &&
                 (t_[pos_ - 1].is("TABLESPACE") || t_[pos_ - 1].is("BUFFER_POOL") || t_[pos_ - 1].is("STORE") ||
                  t_[pos_ - 1].is("IN"))) {
        take();  // the tablespace's name
      } else {
        return;
      }
    }
  }

  void skip_parenthesised() {
    int depth = 0;
    do {
      const Token &t = take();
      if (t.sym("(")) ++depth;
      else if (t.sym(")")) --depth;
      else if (t.kind == Token::End) error_at(t, 907);
    } while (depth > 0);
  }

  StatementPtr create() {
    take();
    bool or_replace = false;
    if (accept("OR")) {
      expect("REPLACE");
      or_replace = true;
    }
    bool force = false;
    if (accept("FORCE")) force = true;
    accept("NOFORCE");
    accept("EDITIONABLE");
    accept("NONEDITIONABLE");
    if (accept("GLOBAL")) {
      expect("TEMPORARY");
    }
    accept("PRIVATE");
    bool unique = false;
    if (accept("UNIQUE")) unique = true;
    accept("BITMAP");
    StatementPtr s;
    if (accept("TABLE")) {
      s = create_table();
    } else if (accept("VIEW")) {
      s = create_view();
    } else if (accept("INDEX")) {
      s = create_index();
    } else if (accept("SEQUENCE")) {
      s = std::make_unique<Statement>(Statement::Kind::CreateSequence);
      s->object = qualified_name();
      s->options = sequence_options();
    } else if (at_word("TRIGGER") || at_word("PROCEDURE") || at_word("FUNCTION")) {
      s = create_unit();
    } else if (accept("SYNONYM") || (accept("PUBLIC") && accept("SYNONYM"))) {
      s = std::make_unique<Statement>(Statement::Kind::CreateSynonym);
      s->object = qualified_name();
      expect("FOR");
      s->table = qualified_name();
    } else if (accept("DIRECTORY")) {
      s = std::make_unique<Statement>(Statement::Kind::CreateDirectory);
      s->object = qualified_name();
      expect("AS");
      if (peek().kind != Token::String) error_at(peek(), 1780);
      s->path = take().text;
    } else if (at_word("USER") || at_word("ROLE") || at_word("TABLESPACE") || at_word("TYPE") ||
               at_word("PACKAGE") || at_word("DATABASE") || at_word("CLUSTER") ||
               at_word("MATERIALIZED")) {
      fail(3001, take().text);
    } else {
      error_at(peek(), 901);  // invalid CREATE command
    }
    s->or_replace = or_replace;
    s->force = force;
    s->unique = unique;
    return s;
  }

  StatementPtr create_table() {
    auto s = std::make_unique<Statement>(Statement::Kind::CreateTable);
    s->object = qualified_name();
    if (accept_sym("(")) {
      do {
        if (at_word("CONSTRAINT") || at_word("PRIMARY") || at_word("UNIQUE") || at_word("CHECK") ||
            at_word("FOREIGN")) {
          s->constraints.push_back(out_of_line_constraint());
        } else {
          column_definition(*s, s->column_defs, true);
        }
      } while (accept_sym(","));
      expect_sym(")", 907);
    }
    skip_options();
    if (accept("AS")) s->query = query();
    skip_options();
    return s;
  }

  // One column: name type [DEFAULT expr] [identity] [inline constraints].
  void column_definition(Statement &s, std::vector<ColumnDefinition> &into, bool needs_type) {
    ColumnDefinition c;
    c.name = identifier(904);
    if (peek().kind == Token::Word && !peek().is("DEFAULT") && !peek().is("NOT") && !peek().is("NULL") &&
        !peek().is("CONSTRAINT") && !peek().is("PRIMARY") && !peek().is("UNIQUE") && !peek().is("CHECK") &&
        !peek().is("REFERENCES") && !peek().is("GENERATED") && !peek().is("ENABLE") &&
        !peek().is("DISABLE") && !peek().is("VISIBLE") && !peek().is("INVISIBLE")) {
      c.type = data_type();
    } else {
      c.has_type = false;
      if (needs_type && !peek().sym(",") && !peek().sym(")")) {
        // A column of CREATE TABLE ... AS may omit its type.
      }
    }
    column_attributes(s, c);
    into.push_back(std::move(c));
  }

  void column_attributes(Statement &s, ColumnDefinition &c) {
    for (;;) {
      if (accept("SORT")) continue;
      if (accept("VISIBLE") || accept("INVISIBLE")) continue;
      if (accept("DEFAULT")) {
        if (accept("ON")) expect("NULL");
        size_t begin = here();
        c.default_value = expression();
        c.default_text = std::string(src_.substr(begin, last_end() - begin));
        continue;
      }
      if (accept("GENERATED")) {
        if (accept("ALWAYS")) {
          c.identity_kind = "ALWAYS";
        } else {
          expect("BY");
          expect("DEFAULT");
          c.identity_kind = "BY DEFAULT";
          if (accept("ON")) {
            expect("NULL");
            c.identity_kind = "BY DEFAULT ON NULL";
          }
        }
        expect("AS");
        expect("IDENTITY");
        c.identity = true;
        if (accept_sym("(")) {
          auto options = sequence_options();
          for (auto &o : options) {
            if (o.first == "START") c.identity_start = o.second;
            if (o.first == "INCREMENT") c.identity_increment = o.second;
          }
          expect_sym(")", 907);
        }
        c.not_null = true;
        continue;
      }
      std::string name;
      if (accept("CONSTRAINT")) name = identifier(904);
      if (accept("NOT")) {
        expect("NULL");
        c.not_null = true;
        if (!name.empty()) {
          ConstraintDefinition k;
          k.name = name;
          k.kind = 'N';
          k.columns = {c.name};
          s.constraints.push_back(std::move(k));
        }
        state_clauses();
        continue;
      }
      if (accept("NULL")) continue;
      if (at_word("PRIMARY") || at_word("UNIQUE") || at_word("CHECK") || at_word("REFERENCES")) {
        ConstraintDefinition k = inline_constraint(c.name);
        k.name = name;
        s.constraints.push_back(std::move(k));
        continue;
      }
      if (!name.empty()) error_at(peek(), 2253);  // a constraint name with no constraint after it
      if (accept("ENABLE") || accept("DISABLE")) continue;
      return;
    }
  }

  ConstraintDefinition inline_constraint(const std::string &column) {
    ConstraintDefinition k;
    k.columns = {column};
    if (accept("PRIMARY")) {
      expect("KEY");
      k.kind = 'P';
    } else if (accept("UNIQUE")) {
      k.kind = 'U';
    } else if (accept("CHECK")) {
      k.kind = 'C';
      k.columns.clear();
      check_condition(k);
    } else {
      expect("REFERENCES");
      k.kind = 'R';
      references(k);
    }
    state_clauses(&k);
    return k;
  }

  ConstraintDefinition out_of_line_constraint() {
    ConstraintDefinition k;
    if (accept("CONSTRAINT")) k.name = identifier(904);
    if (accept("PRIMARY")) {
      expect("KEY");
      k.kind = 'P';
      k.columns = column_list();
    } else if (accept("UNIQUE")) {
      k.kind = 'U';
      k.columns = column_list();
    } else if (accept("CHECK")) {
      k.kind = 'C';
      check_condition(k);
    } else if (accept("FOREIGN")) {
      expect("KEY");
      k.kind = 'R';
      k.columns = column_list();
      expect("REFERENCES");
      references(k);
    } else {
      error_at(peek(), 902);
    }
    state_clauses(&k);
    return k;
  }

  void check_condition(ConstraintDefinition &k) {
    expect_sym("(", 906);
    size_t begin = here();
    k.check = condition();
    k.check_text = std::string(src_.substr(begin, last_end() - begin));
    expect_sym(")", 907);
  }

  void references(ConstraintDefinition &k) {
    k.ref_table = qualified_name();
    if (peek().sym("(")) k.ref_columns = column_list();
    if (accept("ON")) {
      expect("DELETE");
      if (accept("CASCADE")) {
        k.on_delete = "CASCADE";
      } else {
        expect("SET");
        expect("NULL");
        k.on_delete = "SET NULL";
      }
    }
  }

  // ENABLE, DISABLE, USING INDEX ..., DEFERRABLE ..., VALIDATE ...
  void state_clauses(ConstraintDefinition *k = nullptr) {
    for (;;) {
      if (accept("ENABLE")) {
        if (k) k->disabled = false;
      } else if (accept("DISABLE")) {
        if (k) k->disabled = true;
      } else if (accept("VALIDATE") || accept("NOVALIDATE") || accept("RELY") || accept("NORELY")) {
      } else if (accept("DEFERRABLE")) {
      } else if (at_word("NOT") && peek(1).is("DEFERRABLE")) {
        take();
        take();
      } else if (accept("INITIALLY")) {
        if (!accept("IMMEDIATE")) expect("DEFERRED");
      } else if (accept("USING")) {
        expect("INDEX");
        if (peek().sym("(")) skip_parenthesised();
        skip_options();
      } else if (at_word("EXCEPTIONS")) {
        take();
        expect("INTO");
        qualified_name();
      } else {
        return;
      }
    }
  }

  std::vector<std::string> column_list() {
    std::vector<std::string> columns;
    expect_sym("(", 906);
    do columns.push_back(identifier(904));
    while (accept_sym(","));
    expect_sym(")", 907);
    return columns;
  }

  StatementPtr create_view() {
    auto s = std::make_unique<Statement>(Statement::Kind::CreateView);
    s->object = qualified_name();
    if (peek().sym("(")) s->view_columns = column_list();
    expect("AS");
    size_t begin = here();
    s->query = query();
    s->view_text = std::string(src_.substr(begin, last_end() - begin));
    if (accept("WITH")) {
      if (accept("READ")) {
        expect("ONLY");
        s->read_only = true;
      } else {
        expect("CHECK");
        expect("OPTION");
      }
      if (accept("CONSTRAINT")) identifier();
    }
    return s;
  }

  StatementPtr create_index() {
    auto s = std::make_unique<Statement>(Statement::Kind::CreateIndex);
    s->object = qualified_name();
    expect("ON");
    s->table = qualified_name();
    expect_sym("(", 906);
    do {
      OrderItem item;
      item.expr = expression();
      if (accept("DESC")) item.descending = true;
      else accept("ASC");
      s->index_columns.push_back(std::move(item));
    } while (accept_sym(","));
    expect_sym(")", 907);
    skip_options();
    return s;
  }

  // START WITH n, INCREMENT BY n, MAXVALUE n, NOMAXVALUE, MINVALUE n,
  // NOMINVALUE, CYCLE, NOCYCLE, CACHE n, NOCACHE, ORDER, NOORDER: each as
  // (word, value); LIMIT VALUE gives ("START", "LIMIT").
  std::vector<std::pair<std::string, std::string>> sequence_options() {
    std::vector<std::pair<std::string, std::string>> options;
    for (;;) {
      if (accept("START")) {
        expect("WITH");
        if (accept("LIMIT")) {
          expect("VALUE");
          options.emplace_back("START", "LIMIT");
        } else {
          options.emplace_back("START", signed_number());
        }
      } else if (accept("INCREMENT")) {
        expect("BY");
        options.emplace_back("INCREMENT", signed_number());
      } else if (accept("MAXVALUE")) {
        options.emplace_back("MAXVALUE", signed_number());
      } else if (accept("MINVALUE")) {
        options.emplace_back("MINVALUE", signed_number());
      } else if (accept("CACHE")) {
        options.emplace_back("CACHE", signed_number());
      } else if (at_word("NOMAXVALUE") || at_word("NOMINVALUE") || at_word("CYCLE") ||
                 at_word("NOCYCLE") || at_word("NOCACHE") || at_word("ORDER") || at_word("NOORDER") ||
                 at_word("KEEP") || at_word("NOKEEP") || at_word("SCALE") || at_word("NOSCALE") ||
                 at_word("SESSION") || at_word("GLOBAL")) {
        options.emplace_back(take().text, "");
      } else if (accept_sym(",")) {
        continue;
      } else {
        return options;
      }
    }
  }

  std::string signed_number() {
    std::string sign;
    if (accept_sym("-")) sign = "-";
    else accept_sym("+");
    if (peek().kind != Token::Number) error_at(peek(), 2017);  // integer value required
    return sign + take().text;
  }

  StatementPtr drop() {
    take();
    StatementPtr s;
    if (accept("TABLE")) {
      s = std::make_unique<Statement>(Statement::Kind::DropTable);
      s->object = qualified_name();
      if (accept("CASCADE")) {
        expect("CONSTRAINTS");
        s->cascade_constraints = true;
      }
      if (accept("PURGE")) s->purge = true;
    } else if (accept("VIEW")) {
      s = std::make_unique<Statement>(Statement::Kind::DropView);
      s->object = qualified_name();
      if (accept("CASCADE")) expect("CONSTRAINTS");
    } else if (accept("INDEX")) {
      s = std::make_unique<Statement>(Statement::Kind::DropIndex);
      s->object = qualified_name();
      accept("FORCE");
    } else if (accept("SEQUENCE")) {
      s = std::make_unique<Statement>(Statement::Kind::DropSequence);
      s->object = qualified_name();
    } else if (accept("TRIGGER")) {
      s = std::make_unique<Statement>(Statement::Kind::DropTrigger);
      s->object = qualified_name();
    } else if (accept("PROCEDURE")) {
      s = std::make_unique<Statement>(Statement::Kind::DropProcedure);
      s->object = qualified_name();
    } else if (accept("FUNCTION")) {
      s = std::make_unique<Statement>(Statement::Kind::DropFunction);
      s->object = qualified_name();
    } else if (accept("SYNONYM") || (accept("PUBLIC") && accept("SYNONYM"))) {
      s = std::make_unique<Statement>(Statement::Kind::DropSynonym);
      s->object = qualified_name();
    } else if (accept("DIRECTORY")) {
      s = std::make_unique<Statement>(Statement::Kind::DropDirectory);
      s->object = qualified_name();
    } else if (at_word("USER") || at_word("ROLE") || at_word("TABLESPACE") || at_word("TYPE") ||
               at_word("PACKAGE")) {
      fail(3001, take().text);
    } else {
      error_at(peek(), 950);  // invalid DROP option
    }
    return s;
  }

  StatementPtr alter() {
    take();
    if (accept("SESSION")) {
      auto s = std::make_unique<Statement>(Statement::Kind::AlterSession);
      expect("SET", 922);
      while (peek().kind == Token::Word) {
        std::string name = take().text;
        expect_sym("=", 922);
        const Token &v = take();
        if (v.kind == Token::End) error_at(v, 922);
        std::string value = v.kind == Token::String ? v.text
                            : v.kind == Token::Word && v.quoted ? v.text
                                                                : std::string(src_.substr(v.begin, v.end - v.begin));
        s->session_settings.emplace_back(name, value);
      }
      if (s->session_settings.empty()) error_at(peek(), 922);
      return s;
    }
    if (accept("SEQUENCE")) {
      auto s = std::make_unique<Statement>(Statement::Kind::AlterSequence);
      s->object = qualified_name();
      s->options = sequence_options();
      return s;
    }
    if (accept("TRIGGER") || accept("INDEX") || accept("VIEW") || accept("PROCEDURE") ||
        accept("FUNCTION")) {
      // ENABLE / DISABLE / COMPILE / REBUILD: accepted, nothing to change.
      auto s = std::make_unique<Statement>(Statement::Kind::AlterSequence);
      s->object = qualified_name();
      s->comment_kind = "NOTHING";
      while (peek().kind != Token::End) take();
      return s;
    }
    if (!accept("TABLE")) fail(940);  // invalid ALTER command
    auto s = std::make_unique<Statement>(Statement::Kind::AlterTable);
    s->table = qualified_name();
    do {
      s->alter.push_back(alter_action(*s));
    } while (at_word("ADD") || at_word("MODIFY") || at_word("DROP") || at_word("RENAME") ||
             at_word("ENABLE") || at_word("DISABLE") || accept_sym(","));
    skip_options();
    return s;
  }

  Statement::AlterAction alter_action(Statement &s) {
    using A = Statement::AlterAction;
    A a{};
    if (accept("ADD")) {
      bool paren = accept_sym("(");
      bool first = true;
      do {
        if (at_word("CONSTRAINT") || at_word("PRIMARY") || at_word("UNIQUE") || at_word("CHECK") ||
            at_word("FOREIGN")) {
          if (first) a.kind = A::Kind::AddConstraint;
          a.constraints.push_back(out_of_line_constraint());
        } else {
          if (first) a.kind = A::Kind::AddColumns;
          std::vector<ConstraintDefinition> saved;
          saved.swap(s.constraints);
          column_definition(s, a.columns, true);
          for (auto &k : s.constraints) a.constraints.push_back(std::move(k));
          s.constraints.swap(saved);
        }
        first = false;
      } while (paren && accept_sym(","));
      if (paren) expect_sym(")", 907);
      return a;
    }
    if (accept("MODIFY")) {
      if (accept("CONSTRAINT")) {
        a.names.push_back(identifier());
        if (accept("DISABLE")) a.kind = A::Kind::DisableConstraint;
        else {
          expect("ENABLE");
          a.kind = A::Kind::EnableConstraint;
        }
        return a;
      }
      a.kind = A::Kind::ModifyColumns;
      bool paren = accept_sym("(");
      do {
        std::vector<ConstraintDefinition> saved;
        saved.swap(s.constraints);
        ColumnDefinition c;
        c.name = identifier(904);
        if (peek().kind == Token::Word && !peek().is("DEFAULT") && !peek().is("NOT") && !peek().is("NULL") &&
            !peek().is("CONSTRAINT") && !peek().is("PRIMARY") && !peek().is("UNIQUE") &&
            !peek().is("CHECK") && !peek().is("REFERENCES") && !peek().is("GENERATED")) {
          c.type = data_type();
        } else {
          c.has_type = false;
        }
        bool explicit_null = at_word("NULL");
        column_attributes(s, c);
        if (explicit_null) c.identity_kind = "NULL";  // MODIFY c NULL: drop NOT NULL
        if (c.identity && !c.has_type) a.kind = A::Kind::ModifyIdentity;
        a.columns.push_back(std::move(c));
        for (auto &k : s.constraints) a.constraints.push_back(std::move(k));
        s.constraints.swap(saved);
      } while (paren && accept_sym(","));
      if (paren) expect_sym(")", 907);
      return a;
    }
    if (accept("DROP")) {
      if (accept("CONSTRAINT")) {
        a.kind = A::Kind::DropConstraint;
        a.names.push_back(identifier());
        if (accept("CASCADE")) a.cascade = true;
        accept("KEEP") || accept("DROP");
        accept("INDEX");
        return a;
      }
      if (accept("PRIMARY")) {
        expect("KEY");
        a.kind = A::Kind::DropPrimaryKey;
        if (accept("CASCADE")) a.cascade = true;
        return a;
      }
      a.kind = A::Kind::DropColumns;
      if (accept("COLUMN")) {
        a.names.push_back(identifier());
      } else {
        a.names = column_list();
      }
      if (accept("CASCADE")) {
        expect("CONSTRAINTS");
        a.cascade = true;
      }
      return a;
    }
    if (accept("RENAME")) {
      if (accept("COLUMN")) {
        a.kind = A::Kind::RenameColumn;
        a.names.push_back(identifier());
        expect("TO");
        a.new_name = identifier();
      } else if (accept("CONSTRAINT")) {
        a.kind = A::Kind::RenameConstraint;
        a.names.push_back(identifier());
        expect("TO");
        a.new_name = identifier();
      } else {
        expect("TO");
        a.kind = A::Kind::RenameTable;
        a.new_name = identifier(903);
      }
      return a;
    }
    if (accept("ENABLE") || accept("DISABLE")) {
      a.kind = t_[pos_ - 1].is("ENABLE") ? A::Kind::EnableConstraint : A::Kind::DisableConstraint;
      accept("VALIDATE") || accept("NOVALIDATE");
      if (accept("CONSTRAINT")) {
        a.names.push_back(identifier());
      } else if (accept("PRIMARY")) {
        expect("KEY");
        a.names.push_back("\x01PRIMARY");
      } else {
        error_at(peek(), 905);
      }
      if (accept("CASCADE")) a.cascade = true;
      return a;
    }
    error_at(peek(), 1735);  // invalid ALTER TABLE option
  }

  // ---- Data types ------------------------------------------------------------------
  int32_t integer_argument(sb4 code = 910) {
    if (peek().kind != Token::Number) error_at(peek(), code);
    std::string text = take().text;
    if (text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) error_at(t_[pos_ - 1], code);
    return static_cast<int32_t>(std::stol(text));
  }

  Type data_type() {
    const Token &t = peek();
    if (t.kind != Token::Word || t.quoted) error_at(t, 902);
    std::string w = take().text;
    Type type;
    auto length = [&](int32_t fallback, int32_t maximum, bool required, sb4 code) {
      if (accept_sym("(")) {
        type.length = integer_argument(910);
        if (accept("CHAR")) type.char_semantics = true;
        else accept("BYTE");
        expect_sym(")", 907);
        if (type.length < 1 || type.length > maximum) fail(code);
      } else {
        if (required && plsql_ == 0) error_at(peek(), 906);
        type.length = fallback;
      }
    };
    if (w == "NUMBER" || w == "NUMERIC" || w == "DECIMAL" || w == "DEC") {
      type.base = Base::Number;
      bool decimal = w != "NUMBER";
      if (decimal) type.scale = 0;
      if (accept_sym("(")) {
        if (accept_sym("*")) {
          type.precision = 0;
        } else {
          type.precision = static_cast<int16_t>(integer_argument(1727));
          if (type.precision < 1 || type.precision > 38) fail(1727);
        }
        type.scale = 0;
        if (accept_sym(",")) {
          bool negative = accept_sym("-");
          int32_t scale = integer_argument(1728);
          if (negative) scale = -scale;
          if (scale < -84 || scale > 127) fail(1728);
          type.scale = static_cast<int16_t>(scale);
        }
        expect_sym(")", 907);
      }
      return type;
    }
    if (w == "INTEGER" || w == "INT" || w == "SMALLINT") {
      type.base = Base::Number;
      type.precision = 0;
      type.scale = 0;
      return type;
    }
    if (w == "PLS_INTEGER" || w == "BINARY_INTEGER" || w == "NATURAL" || w == "NATURALN" ||
        w == "POSITIVE" || w == "POSITIVEN" || w == "SIGNTYPE" || w == "SIMPLE_INTEGER") {
      type.base = Base::Number;
      type.scale = 0;
      return type;
    }
    if (w == "FLOAT") {
      type.base = Base::Number;
      type.is_float = true;
      type.precision = 126;
      if (accept_sym("(")) {
        type.precision = static_cast<int16_t>(integer_argument(1724));
        if (type.precision < 1 || type.precision > 126) fail(1724);
        expect_sym(")", 907);
      }
      return type;
    }
    if (w == "REAL") {
      type.base = Base::Number;
      type.is_float = true;
      type.precision = 63;
      return type;
    }
    if (w == "DOUBLE") {
      expect("PRECISION", 902);
      type.base = Base::Number;
      type.is_float = true;
      type.precision = 126;
      return type;
    }
    if (w == "BINARY_FLOAT") return Type::of(Base::BinaryFloat);
    if (w == "BINARY_DOUBLE") return Type::of(Base::BinaryDouble);
    if (w == "VARCHAR2" || w == "VARCHAR" || w == "STRING") {
      type.base = Base::Varchar2;
      length(32767, plsql_ ? 32767 : kMaxVarchar, true, 910);
      return type;
    }
    if (w == "NVARCHAR2") {
      type.base = Base::NVarchar2;
      type.char_semantics = true;
      length(32767, plsql_ ? 32767 : kMaxVarchar, true, 910);
      return type;
    }
    if (w == "CHAR" || w == "CHARACTER") {
      if (accept("VARYING")) {
        type.base = Base::Varchar2;
        length(32767, kMaxVarchar, true, 910);
        return type;
      }
      type.base = Base::Char;
      length(1, plsql_ ? 32767 : kMaxChar, false, 910);
      return type;
    }
    if (w == "NCHAR") {
      type.base = Base::NChar;
      type.char_semantics = true;
      length(1, kMaxChar, false, 910);
      return type;
    }
    if (w == "LONG") {
      if (accept("RAW")) return Type::of(Base::LongRaw);
      return Type::of(Base::Long);
    }
    if (w == "RAW") {
      type.base = Base::Raw;
      length(32767, plsql_ ? 32767 : kMaxRaw, true, 910);
      return type;
    }
    if (w == "DATE") return Type::of(Base::Date);
    if (w == "TIMESTAMP") {
      type.base = Base::Timestamp;
      if (accept_sym("(")) {
        int32_t f = integer_argument(30088);
        if (f < 0 || f > 9) fail(30088);
        type.fraction = static_cast<int8_t>(f);
        expect_sym(")", 907);
      }
      if (accept("WITH")) {
        accept("LOCAL");
        expect("TIME");
        expect("ZONE");
      }
      return type;
    }
    if (w == "CLOB") return Type::of(Base::Clob);
    if (w == "NCLOB") return Type::of(Base::NClob);
    if (w == "BLOB") return Type::of(Base::Blob);
    if (w == "BFILE") return Type::of(Base::Bfile);
    if (w == "ROWID" || w == "UROWID") {
      if (accept_sym("(")) {
        integer_argument();
        expect_sym(")", 907);
      }
      return Type::of(Base::Rowid);
    }
    if (w == "BOOLEAN") return Type::of(Base::Boolean);
    if (w == "XMLTYPE" || w == "INTERVAL" || w == "SDO_GEOMETRY" || w == "ANYDATA") fail(3001, w);
    --pos_;
    error_at(peek(), 902);  // invalid datatype
  }

  // ---- Queries -----------------------------------------------------------------------
  QueryPtr query() {
    size_t begin = here();
    std::vector<Cte> with;
    if (accept("WITH")) {
      do {
        Cte cte;
        cte.name = identifier(904);
        if (peek().sym("(")) cte.columns = column_list();
        expect("AS");
        expect_sym("(", 906);
        cte.query = query();
        expect_sym(")", 907);
        with.push_back(std::move(cte));
      } while (accept_sym(","));
    }
    QueryPtr q = query_term();
    for (;;) {
      Query::Kind kind;
      if (accept("UNION")) kind = accept("ALL") ? Query::Kind::UnionAll : Query::Kind::Union;
      else if (accept("INTERSECT")) kind = Query::Kind::Intersect;
      else if (accept("MINUS") || accept("EXCEPT")) kind = Query::Kind::Minus;
      else break;
      auto compound = std::make_unique<Query>();
      compound->kind = kind;
      compound->left = std::move(q);
      compound->right = query_term();
      q = std::move(compound);
    }
    if (!with.empty()) {
      if (q->kind == Query::Kind::Select && q->with.empty()) {
        q->with = std::move(with);
      } else {
        auto outer = std::make_unique<Query>();
        outer->with = std::move(with);
        outer->kind = Query::Kind::Select;
        // WITH over a compound query: the compound becomes the only source.
        SelectItem star;
        star.star = true;
        outer->items.push_back(std::move(star));
        auto from = std::make_unique<FromItem>();
        from->kind = FromItem::Kind::Subquery;
        from->query = std::move(q);
        outer->from.push_back(std::move(from));
        q = std::move(outer);
      }
    }
    if (accept("ORDER")) {
      if (accept("SIBLINGS")) q->order_siblings = true;
      expect("BY");
      q->order_by = order_list();
    }
    if (accept("OFFSET")) {
      q->offset = expression();
      if (!accept("ROWS")) expect("ROW");
    }
    if (accept("FETCH")) {
      if (!accept("FIRST")) expect("NEXT");
      if (!at_word("ROW") && !at_word("ROWS")) {
        q->fetch = expression();
        if (accept("PERCENT")) q->fetch_percent = true;
      } else {
        auto one = std::make_unique<Expr>(Expr::Kind::Number);
        one->text = "1";
        q->fetch = std::move(one);
      }
      if (!accept("ROWS")) expect("ROW");
      if (!accept("ONLY")) {
        expect("WITH");
        expect("TIES");
      }
    }
    if (accept("FOR")) {
      expect("UPDATE");
      q->for_update = true;
      if (accept("OF")) {
        do {
          qualified_name();
        } while (accept_sym(","));
      }
      if (accept("NOWAIT")) {
      } else if (accept("WAIT")) {
        integer_argument();
      } else if (accept("SKIP")) {
        expect("LOCKED");
      }
    }
    q->begin = begin;
    q->end = last_end();
    return q;
  }

  QueryPtr query_term() {
    if (accept_sym("(")) {
      QueryPtr inner = query();
      expect_sym(")", 907);
      return inner;
    }
    if (!accept("SELECT")) error_at(peek(), 928);  // missing SELECT keyword
    auto q = std::make_unique<Query>();
    q->begin = t_[pos_ - 1].begin;
    if (accept("DISTINCT") || accept("UNIQUE")) q->distinct = true;
    else accept("ALL");
    do q->items.push_back(select_item());
    while (accept_sym(","));
    if (at_word("BULK")) {
      take();
      expect("COLLECT");
      q->bulk_collect = true;
    }
    if (accept("INTO")) {
      do q->into.push_back(expression());
      while (accept_sym(","));
    }
    if (!accept("FROM")) error_at(peek(), 923);
    do q->from.push_back(table_reference());
    while (accept_sym(","));
    for (;;) {
      if (accept("WHERE")) {
        q->where = condition();
      } else if (at_word("START") && peek(1).is("WITH")) {
        take();
        take();
        q->start_with = condition();
      } else if (at_word("CONNECT") && peek(1).is("BY")) {
        take();
        take();
        if (accept("NOCYCLE")) q->nocycle = true;
        q->connect_by = condition();
      } else if (at_word("GROUP") && peek(1).is("BY")) {
        take();
        take();
        q->group_by = grouping_list();
      } else if (accept("HAVING")) {
        q->having = condition();
      } else {
        break;
      }
    }
    q->end = last_end();
    return q;
  }

  std::vector<GroupingElement> grouping_list() {
    std::vector<GroupingElement> list;
    do list.push_back(grouping_element());
    while (accept_sym(","));
    return list;
  }

  GroupingElement grouping_element() {
    GroupingElement g;
    if (at_word("ROLLUP") || at_word("CUBE")) {
      g.kind = take().text == "ROLLUP" ? GroupingElement::Kind::Rollup : GroupingElement::Kind::Cube;
      expect_sym("(", 906);
      do g.exprs.push_back(expression());
      while (accept_sym(","));
      expect_sym(")", 907);
      return g;
    }
    if (at_word("GROUPING") && peek(1).is("SETS")) {
      take();
      take();
      g.kind = GroupingElement::Kind::Sets;
      expect_sym("(", 906);
      do {
        std::vector<GroupingElement> set;
        if (peek().sym("(") && peek(1).sym(")")) {
          take();
          take();
          GroupingElement empty;
          empty.kind = GroupingElement::Kind::Empty;
          set.push_back(std::move(empty));
        } else {
          set.push_back(grouping_element());
        }
        g.sets.push_back(std::move(set));
      } while (accept_sym(","));
      expect_sym(")", 907);
      return g;
    }
    if (peek().sym("(") && peek(1).sym(")")) {
      take();
      take();
      g.kind = GroupingElement::Kind::Empty;
      return g;
    }
    g.exprs.push_back(expression());
    return g;
  }

  std::vector<OrderItem> order_list() {
    std::vector<OrderItem> items;
    do {
      OrderItem item;
      item.expr = expression();
      if (accept("DESC")) item.descending = true;
      else accept("ASC");
      if (accept("NULLS")) {
        if (accept("FIRST")) item.nulls = 1;
        else {
          expect("LAST");
          item.nulls = 2;
        }
      }
      items.push_back(std::move(item));
    } while (accept_sym(","));
    return items;
  }

  SelectItem select_item() {
    SelectItem item;
    item.begin = here();
    if (accept_sym("*")) {
      item.star = true;
      item.end = last_end();
      return item;
    }
    // t.* and schema.t.*
    size_t save = pos_;
    if (peek().kind == Token::Word) {
      Name n;
      bool star = false;
      while (peek().kind == Token::Word && peek(1).sym(".")) {
        n.quoted.push_back(peek().quoted);
        n.parts.push_back(take().text);
        take();
        if (accept_sym("*")) {
          star = true;
          break;
        }
      }
      if (star) {
        item.star = true;
        item.star_qualifier = std::move(n);
        item.end = last_end();
        return item;
      }
      pos_ = save;
    }
    item.expr = expression();
    item.end = last_end();
    if (accept("AS")) {
      if (peek().kind != Token::Word) error_at(peek(), 923);
      item.alias_quoted = peek().quoted;
      item.alias = take().text;
    } else if (peek().kind == Token::Word && (peek().quoted || !reserved().count(peek().text))) {
      if (!(plsql_ && (at_word("BULK")))) {
        item.alias_quoted = peek().quoted;
        item.alias = take().text;
      }
    }
    return item;
  }

  std::unique_ptr<FromItem> table_reference() {
    std::unique_ptr<FromItem> left = table_primary();
    for (;;) {
      std::string join;
      bool natural = false;
      if (accept("NATURAL")) natural = true;
      if (accept("JOIN")) {
        join = "INNER";
      } else if (at_word("INNER") && peek(1).is("JOIN")) {
        take();
        take();
        join = "INNER";
      } else if (at_word("CROSS") && peek(1).is("JOIN")) {
        take();
        take();
        join = "CROSS";
      } else if (at_word("LEFT") || at_word("RIGHT") || at_word("FULL")) {
        join = take().text;
        accept("OUTER");
        expect("JOIN");
      } else {
        if (natural) error_at(peek(), 905);
        break;
      }
      auto j = std::make_unique<FromItem>();
      j->kind = FromItem::Kind::Join;
      j->begin = left->begin;
      j->join = join;
      j->natural = natural;
      j->left = std::move(left);
      j->right = table_primary();
      if (join != "CROSS" && !natural) {
        if (accept("ON")) {
          j->on = condition();
        } else if (accept("USING")) {
          j->using_columns = column_list();
        } else {
          error_at(peek(), 905);
        }
      }
      left = std::move(j);
    }
    return left;
  }

  std::unique_ptr<FromItem> table_primary() {
    auto item = std::make_unique<FromItem>();
    item->begin = here();
    if (peek().sym("(")) {
      // A subquery, or a parenthesised join.
      if (peek(1).is("SELECT") || peek(1).is("WITH") || peek(1).sym("(")) {
        take();
        item->kind = FromItem::Kind::Subquery;
        item->query = query();
        expect_sym(")", 907);
      } else {
        take();
        item = table_reference();
        expect_sym(")", 907);
        return item;
      }
    } else if (at_word("TABLE") && peek(1).sym("(")) {
      fail(3001, "TABLE()");
    } else if (at_word("LATERAL")) {
      fail(3001, "LATERAL");
    } else {
      item->kind = FromItem::Kind::Table;
      item->table = qualified_name(903);
      if (at_word("PARTITION") || at_word("SAMPLE")) fail(3001, peek().text);
      if (accept("AS")) {
        // Oracle takes no AS before a table alias.
        error_at(t_[pos_ - 1], 933);
      }
    }
    if (peek().kind == Token::Word && (peek().quoted || (!reserved().count(peek().text) &&
                                                          !not_table_alias().count(peek().text)))) {
      if (!(plsql_ && (at_word("LOOP") || at_word("BULK")))) item->alias = take().text;
    }
    return item;
  }

  // ---- Expressions ---------------------------------------------------------------------
  ExprPtr expression_or_default() {
    if (at_word("DEFAULT")) {
      auto e = std::make_unique<Expr>(Expr::Kind::Default);
      e->begin = here();
      take();
      e->end = last_end();
      return e;
    }
    return expression();
  }

  ExprPtr make(Expr::Kind kind, size_t begin) {
    auto e = std::make_unique<Expr>(kind);
    e->begin = begin;
    return e;
  }

  ExprPtr condition() {
    size_t begin = here();
    ExprPtr left = and_condition();
    while (accept("OR")) {
      ExprPtr e = make(Expr::Kind::Or, begin);
      e->args.push_back(std::move(left));
      e->args.push_back(and_condition());
      e->end = last_end();
      left = std::move(e);
    }
    return left;
  }

  ExprPtr and_condition() {
    size_t begin = here();
    ExprPtr left = not_condition();
    while (accept("AND")) {
      ExprPtr e = make(Expr::Kind::And, begin);
      e->args.push_back(std::move(left));
      e->args.push_back(not_condition());
      e->end = last_end();
      left = std::move(e);
    }
    return left;
  }

  ExprPtr not_condition() {
    size_t begin = here();
    if (accept("NOT")) {
      ExprPtr e = make(Expr::Kind::Unary, begin);
      e->op = "NOT";
      e->args.push_back(not_condition());
      e->end = last_end();
      return e;
    }
    return predicate();
  }

  ExprPtr predicate() {
    size_t begin = here();
    if (accept("EXISTS")) {
      ExprPtr e = make(Expr::Kind::Exists, begin);
      expect_sym("(", 906);
      e->query = query();
      expect_sym(")", 907);
      e->end = last_end();
      return e;
    }
    ExprPtr left = expression();
    for (;;) {
      bool negated = false;
      size_t save = pos_;
      if (accept("NOT")) negated = true;
      if (accept("BETWEEN")) {
        ExprPtr e = make(Expr::Kind::Between, begin);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->args.push_back(expression());
        expect("AND");
        e->args.push_back(expression());
        e->end = last_end();
        left = std::move(e);
        continue;
      }
      if (accept("LIKE") || accept("LIKEC") || accept("LIKE2") || accept("LIKE4")) {
        ExprPtr e = make(Expr::Kind::Like, begin);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->args.push_back(expression());
        if (accept("ESCAPE")) e->args.push_back(expression());
        e->end = last_end();
        left = std::move(e);
        continue;
      }
      if (accept("IN")) {
        expect_sym("(", 906);
        if (at_word("SELECT") || at_word("WITH")) {
          ExprPtr e = make(Expr::Kind::InQuery, begin);
          e->negated = negated;
          e->args.push_back(std::move(left));
          e->query = query();
          expect_sym(")", 907);
          e->end = last_end();
          left = std::move(e);
        } else {
          ExprPtr e = make(Expr::Kind::InList, begin);
          e->negated = negated;
          e->args.push_back(std::move(left));
          do e->args.push_back(expression());
          while (accept_sym(","));
          expect_sym(")", 907);
          e->end = last_end();
          left = std::move(e);
        }
        continue;
      }
      if (negated) {
        pos_ = save;
        break;
      }
      if (accept("IS")) {
        ExprPtr e = make(Expr::Kind::IsNull, begin);
        if (accept("NOT")) e->negated = true;
        if (accept("NAN") || accept("INFINITE")) fail(3001, "IS NAN");
        expect("NULL", 908);  // missing NULL keyword
        e->args.push_back(std::move(left));
        e->end = last_end();
        left = std::move(e);
        continue;
      }
      const Token &t = peek();
      if (t.sym("=") || t.sym("<>") || t.sym("!=") || t.sym("^=") || t.sym("~=") || t.sym("<") ||
          t.sym(">") || t.sym("<=") || t.sym(">=")) {
        std::string op = take().text;
        if (op == "!=" || op == "^=" || op == "~=") op = "<>";
        ExprPtr e = make(Expr::Kind::Compare, begin);
        e->op = op;
        e->args.push_back(std::move(left));
        if (at_word("ANY") || at_word("SOME") || at_word("ALL")) {
          e->quantifier = take().text == "ALL" ? "ALL" : "ANY";
          expect_sym("(", 906);
          if (at_word("SELECT") || at_word("WITH")) {
            e->query = query();
          } else {
            // = ANY (a, b): a list.
            auto list = make(Expr::Kind::Row, here());
            do list->args.push_back(expression());
            while (accept_sym(","));
            e->args.push_back(std::move(list));
          }
          expect_sym(")", 907);
        } else {
          e->args.push_back(expression());
        }
        e->end = last_end();
        left = std::move(e);
        continue;
      }
      break;
    }
    return left;
  }

  // Arithmetic and concatenation: + - || at one level, * / below, unary.
  ExprPtr expression() {
    size_t begin = here();
    ExprPtr left = term();
    for (;;) {
      const Token &t = peek();
      if (t.sym("+") || t.sym("-") || t.sym("||")) {
        std::string op = take().text;
        ExprPtr e = make(Expr::Kind::Binary, begin);
        e->op = op;
        e->args.push_back(std::move(left));
        e->args.push_back(term());
        e->end = last_end();
        left = std::move(e);
      } else {
        return left;
      }
    }
  }

  ExprPtr term() {
    size_t begin = here();
    ExprPtr left = factor();
    for (;;) {
      const Token &t = peek();
      if (t.sym("*") || t.sym("/")) {
        std::string op = take().text;
        ExprPtr e = make(Expr::Kind::Binary, begin);
        e->op = op;
        e->args.push_back(std::move(left));
        e->args.push_back(factor());
        e->end = last_end();
        left = std::move(e);
      } else {
        return left;
      }
    }
  }

  ExprPtr factor() {
    size_t begin = here();
    if (peek().sym("-") || peek().sym("+")) {
      std::string op = take().text;
      ExprPtr e = make(Expr::Kind::Unary, begin);
      e->op = op;
      e->args.push_back(factor());
      e->end = last_end();
      return e;
    }
    if (accept("PRIOR")) {
      ExprPtr e = make(Expr::Kind::Unary, begin);
      e->op = "PRIOR";
      e->args.push_back(factor());
      e->end = last_end();
      return e;
    }
    if (accept("CONNECT_BY_ROOT")) {
      ExprPtr e = make(Expr::Kind::Unary, begin);
      e->op = "CONNECT_BY_ROOT";
      e->args.push_back(factor());
      e->end = last_end();
      return e;
    }
    ExprPtr base = primary();
    if (accept_sym("**")) {
      ExprPtr e = make(Expr::Kind::Binary, begin);
      e->op = "**";
      e->args.push_back(std::move(base));
      e->args.push_back(factor());
      e->end = last_end();
      return e;
    }
    return base;
  }

  ExprPtr primary() {
    size_t begin = here();
    const Token &t = peek();
    switch (t.kind) {
      case Token::Number: {
        ExprPtr e = make(Expr::Kind::Number, begin);
        e->text = take().text;
        e->end = last_end();
        return e;
      }
      case Token::String: {
        ExprPtr e = make(Expr::Kind::String, begin);
        e->text = take().text;
        e->end = last_end();
        return e;
      }
      case Token::Placeholder: {
        ExprPtr e = make(Expr::Kind::Placeholder, begin);
        e->text = take().text;
        e->negated = t_[pos_ - 1].quoted;
        // :NEW.column in a trigger.
        if (peek().sym(".") && peek(1).kind == Token::Word) {
          take();
          ExprPtr c = make(Expr::Kind::Column, begin);
          c->name.parts = {":" + e->text, take().text};
          c->name.quoted = {false, t_[pos_ - 1].quoted};
          c->end = last_end();
          return c;
        }
        // :value:indicator and :value INDICATOR :indicator.
        if (peek().kind == Token::Placeholder && peek().begin == last_end()) {
          e->indicator = take().text;
        } else if (at_word("INDICATOR") && peek(1).kind == Token::Placeholder) {
          take();
          e->indicator = take().text;
        }
        e->end = last_end();
        return e;
      }
      case Token::Symbol:
        if (t.sym("(")) {
          take();
          if (at_word("SELECT") || at_word("WITH")) {
            ExprPtr e = make(Expr::Kind::Subquery, begin);
            e->query = query();
            expect_sym(")", 907);
            e->end = last_end();
            return e;
          }
          ExprPtr first = condition();
          if (accept_sym(",")) {
            ExprPtr row = make(Expr::Kind::Row, begin);
            row->args.push_back(std::move(first));
            do row->args.push_back(expression());
            while (accept_sym(","));
            expect_sym(")", 907);
            row->end = last_end();
            return row;
          }
          expect_sym(")", 907);
          // Keep the parentheses in the text for Oracle's column names.
          first->begin = begin;
          first->end = last_end();
          return first;
        }
        error_at(t, 936);
      case Token::Word:
        return word_expression();
      case Token::End:
        error_at(t, 936);
    }
    error_at(t, 936);
  }

  ExprPtr word_expression() {
    size_t begin = here();
    const Token &t = peek();
    if (!t.quoted) {
      if (t.is("NULL")) {
        take();
        ExprPtr e = make(Expr::Kind::Null, begin);
        e->end = last_end();
        return e;
      }
      if ((t.is("TRUE") || t.is("FALSE")) && plsql_) {
        ExprPtr e = make(Expr::Kind::Boolean, begin);
        e->text = take().text;
        e->end = last_end();
        return e;
      }
      if (t.is("CASE")) return case_expression();
      if (t.is("DATE") && peek(1).kind == Token::String) {
        take();
        ExprPtr e = make(Expr::Kind::DateLiteral, begin);
        e->text = take().text;
        e->end = last_end();
        return e;
      }
      if (t.is("TIMESTAMP") && peek(1).kind == Token::String) {
        take();
        ExprPtr e = make(Expr::Kind::TimestampLiteral, begin);
        e->text = take().text;
        e->end = last_end();
        return e;
      }
      if (t.is("INTERVAL") && peek(1).kind == Token::String) {
        take();
        ExprPtr e = make(Expr::Kind::Interval, begin);
        e->text = take().text;
        e->op = take().text;
        if (peek().sym("(")) skip_parenthesised();
        if (accept("TO")) {
          e->op2 = take().text;
          if (peek().sym("(")) skip_parenthesised();
        }
        e->end = last_end();
        return e;
      }
      if (t.is("ROWNUM")) {
        take();
        ExprPtr e = make(Expr::Kind::RowNum, begin);
        e->end = last_end();
        return e;
      }
      if (t.is("LEVEL")) {
        take();
        ExprPtr e = make(Expr::Kind::Level, begin);
        e->end = last_end();
        return e;
      }
      if (t.is("ROWID")) {
        take();
        ExprPtr e = make(Expr::Kind::Rowid, begin);
        e->end = last_end();
        return e;
      }
      if (t.is("CAST") && peek(1).sym("(")) {
        take();
        take();
        ExprPtr e = make(Expr::Kind::Cast, begin);
        e->args.push_back(expression());
        expect("AS");
        e->cast_type = data_type();
        expect_sym(")", 907);
        e->end = last_end();
        return e;
      }
      if (t.is("EXTRACT") && peek(1).sym("(")) {
        take();
        take();
        ExprPtr e = make(Expr::Kind::Extract, begin);
        if (peek().kind != Token::Word) error_at(peek(), 907);
        e->text = take().text;
        expect("FROM");
        e->args.push_back(expression());
        expect_sym(")", 907);
        e->end = last_end();
        return e;
      }
      if (t.is("TRIM") && peek(1).sym("(")) {
        take();
        take();
        ExprPtr e = make(Expr::Kind::Trim, begin);
        e->text = "BOTH";
        if (at_word("LEADING") || at_word("TRAILING") || at_word("BOTH")) e->text = take().text;
        if (accept("FROM")) {
          e->args.push_back(expression());
        } else {
          ExprPtr first = expression();
          if (accept("FROM")) {
            e->args.push_back(std::move(first));
            e->args.push_back(expression());
          } else {
            e->args.push_back(std::move(first));
          }
        }
        expect_sym(")", 907);
        e->end = last_end();
        return e;
      }
      if (reserved().count(t.text) && !t.is("SYSDATE") && !t.is("USER") && !t.is("UID") &&
          !t.is("CHAR") && !t.is("DATE") && !t.is("FLOAT") && !t.is("NUMBER") && !t.is("RAW") &&
          !t.is("LONG") && !t.is("VARCHAR2") && !t.is("CURRENT")) {
        error_at(t, 936);
      }
    }
    // A name, a function call, a sequence reference.
    Name name;
    name.quoted.push_back(t.quoted);
    name.parts.push_back(take().text);
    while (peek().sym(".") && (peek(1).kind == Token::Word)) {
      take();
      name.quoted.push_back(peek().quoted);
      name.parts.push_back(take().text);
    }
    // SQL%ROWCOUNT, c%FOUND ...: cursor attributes in PL/SQL.
    if (plsql_ && peek().sym("%") && peek(1).kind == Token::Word &&
        (peek(1).is("ROWCOUNT") || peek(1).is("FOUND") || peek(1).is("NOTFOUND") || peek(1).is("ISOPEN"))) {
      take();
      name.parts.push_back("%" + take().text);
      name.quoted.push_back(false);
      ExprPtr e = make(Expr::Kind::Column, begin);
      e->name = std::move(name);
      e->end = last_end();
      return e;
    }
    if (name.parts.size() >= 2 && !name.quoted.back() &&
        (name.last() == "NEXTVAL" || name.last() == "CURRVAL")) {
      ExprPtr e = make(Expr::Kind::Sequence, begin);
      e->text = name.last();
      name.parts.pop_back();
      name.quoted.pop_back();
      e->name = std::move(name);
      e->end = last_end();
      return e;
    }
    if (name.parts.size() >= 2 && !name.quoted.back() && name.last() == "ROWID") {
      ExprPtr e = make(Expr::Kind::Rowid, begin);
      name.parts.pop_back();
      name.quoted.pop_back();
      e->name = std::move(name);
      e->end = last_end();
      return e;
    }
    if (peek().sym("(") && !(peek(1).sym("+") && peek(2).sym(")"))) return function_call(std::move(name), begin);
    ExprPtr e = make(Expr::Kind::Column, begin);
    e->name = std::move(name);
    // The outer join marker.
    if (peek().sym("(") && peek(1).sym("+") && peek(2).sym(")")) {
      take();
      take();
      take();
      e->end = last_end();
      ExprPtr outer = make(Expr::Kind::Outer, begin);
      outer->args.push_back(std::move(e));
      outer->end = last_end();
      return outer;
    }
    e->end = last_end();
    return e;
  }

  ExprPtr function_call(Name name, size_t begin) {
    take();  // (
    ExprPtr e = make(Expr::Kind::Function, begin);
    e->name = std::move(name);
    if (accept_sym("*")) {
      e->star = true;
    } else if (!peek().sym(")")) {
      if (accept("DISTINCT") || accept("UNIQUE")) e->distinct = true;
      else accept("ALL");
      do {
        // name => value, in PL/SQL calls.
        if (peek().kind == Token::Word && peek(1).sym("=>")) {
          size_t arg_begin = here();
          ExprPtr named = make(Expr::Kind::Binary, arg_begin);
          named->op = "=>";
          ExprPtr key = make(Expr::Kind::Column, arg_begin);
          key->name.parts.push_back(take().text);
          key->name.quoted.push_back(false);
          take();
          named->args.push_back(std::move(key));
          named->args.push_back(condition());
          named->end = last_end();
          e->args.push_back(std::move(named));
        } else {
          e->args.push_back(condition());
        }
        // USING NCHAR_CS and the like in TRANSLATE / CHR.
        if (accept("USING")) take();
      } while (accept_sym(","));
      // LISTAGG(x, ',' ON OVERFLOW ...) is not read; ORDER BY inside
      // aggregates is not Oracle's syntax.
    }
    expect_sym(")", 907);
    if (accept("WITHIN")) {
      expect("GROUP");
      expect_sym("(", 906);
      expect("ORDER");
      expect("BY");
      e->within_order = order_list();
      expect_sym(")", 907);
    }
    if (accept("KEEP")) fail(3001, "KEEP");
    if (accept("OVER")) {
      e->over = std::make_unique<WindowSpec>();
      expect_sym("(", 906);
      if (accept("PARTITION")) {
        expect("BY");
        do e->over->partition.push_back(expression());
        while (accept_sym(","));
      }
      if (accept("ORDER")) {
        expect("BY");
        e->over->order = order_list();
        e->over->has_order = true;
      }
      if (at_word("ROWS") || at_word("RANGE")) {
        size_t frame_begin = here();
        int depth = 0;
        while (!(peek().sym(")") && depth == 0) && peek().kind != Token::End) {
          if (peek().sym("(")) ++depth;
          if (peek().sym(")")) --depth;
          take();
        }
        std::string frame(src_.substr(frame_begin, last_end() - frame_begin));
        for (char &c : frame)
          if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        e->over->frame = frame;
      }
      expect_sym(")", 907);
    }
    e->end = last_end();
    return e;
  }

  ExprPtr case_expression() {
    size_t begin = here();
    take();
    ExprPtr e = make(Expr::Kind::Case, begin);
    if (!at_word("WHEN")) {
      e->has_operand = true;
      e->args.push_back(expression());
    }
    if (!at_word("WHEN")) error_at(peek(), 905);
    while (accept("WHEN")) {
      e->args.push_back(e->has_operand ? expression() : condition());
      expect("THEN");
      e->args.push_back(plsql_ ? condition() : expression());
    }
    if (accept("ELSE")) {
      e->has_else = true;
      e->args.push_back(plsql_ ? condition() : expression());
    }
    expect("END");
    e->end = last_end();
    return e;
  }

  // ---- PL/SQL --------------------------------------------------------------------------
  std::unique_ptr<PlBlock> block(bool top) {
    auto b = std::make_unique<PlBlock>();
    if (accept_sym("<<")) {
      b->label = identifier();
      expect_sym(">>", 0);
    }
    if (accept("DECLARE")) declarations(*b);
    else if (!top) {
    }
    if (!accept("BEGIN")) plsql_error(peek());
    b->body = pl_body({"EXCEPTION", "END"});
    if (accept("EXCEPTION")) b->handlers = handlers();
    if (!accept("END")) plsql_error(peek());
    if (peek().kind == Token::Word && !peek().sym(";")) take();  // END label
    if (!accept_sym(";")) plsql_error(peek());
    return b;
  }

  void declarations(PlBlock &b) {
    while (!at_word("BEGIN")) {
      if (peek().kind == Token::End) plsql_error(peek());
      PlDeclaration d;
      if (accept("PRAGMA")) {
        d.kind = PlDeclaration::Kind::Pragma;
        while (!peek().sym(";") && peek().kind != Token::End) take();
        if (!accept_sym(";")) plsql_error(peek());
        continue;
      }
      if (accept("CURSOR")) {
        d.kind = PlDeclaration::Kind::Cursor;
        d.name = identifier();
        if (peek().sym("(")) fail(3001, "cursor parameters");
        if (!accept("IS")) plsql_error(peek());
        d.cursor_query = query();
        if (!accept_sym(";")) plsql_error(peek());
        b.declarations.push_back(std::move(d));
        continue;
      }
      if (at_word("TYPE") || at_word("SUBTYPE")) fail(3001, "TYPE declarations");
      if (at_word("PROCEDURE") || at_word("FUNCTION")) fail(3001, "nested subprograms");
      d.name = identifier();
      if (accept("EXCEPTION")) {
        d.kind = PlDeclaration::Kind::Exception;
        if (!accept_sym(";")) plsql_error(peek());
        b.declarations.push_back(std::move(d));
        continue;
      }
      if (accept("CONSTANT")) d.kind = PlDeclaration::Kind::Constant;
      pl_type(d.type, d.type_of, d.row_type);
      if (accept("NOT")) {
        if (!accept("NULL")) plsql_error(peek());
        d.not_null = true;
      }
      if (accept_sym(":=") || accept("DEFAULT")) d.init = condition();
      if (!accept_sym(";")) plsql_error(peek());
      b.declarations.push_back(std::move(d));
    }
  }

  // A PL/SQL type: a data type, t.col%TYPE, t%ROWTYPE.
  void pl_type(Type &type, Name &type_of, bool &row_type) {
    if (peek().kind == Token::Word && peek(1).sym("%") ) {
      type_of.parts.push_back(take().text);
      type_of.quoted.push_back(false);
    } else if (peek().kind == Token::Word && peek(1).sym(".") && peek(2).kind == Token::Word &&
               (peek(3).sym("%") || (peek(3).sym(".") && peek(5).sym("%")))) {
      type_of = qualified_name();
    } else {
      type = data_type();
      return;
    }
    if (!accept_sym("%")) plsql_error(peek());
    if (accept("TYPE")) return;
    if (accept("ROWTYPE")) {
      row_type = true;
      return;
    }
    plsql_error(peek());
  }

  std::vector<PlHandler> handlers() {
    std::vector<PlHandler> list;
    while (accept("WHEN")) {
      PlHandler h;
      do h.exceptions.push_back(identifier());
      while (accept("OR"));
      if (!accept("THEN")) plsql_error(peek());
      h.body = pl_body({"WHEN", "END"});
      list.push_back(std::move(h));
    }
    return list;
  }

  PlBody pl_body(std::initializer_list<const char *> ends) {
    PlBody body;
    for (;;) {
      for (const char *end : ends)
        if (at_word(end)) return body;
      if (peek().kind == Token::End) plsql_error(peek());
      body.push_back(pl_statement());
    }
  }

  PlStatementPtr pl_statement() {
    auto s = std::make_unique<PlStatement>();
    s->begin = here();
    const Token &t = peek();
    using K = PlStatement::Kind;
    if (t.sym("<<")) {
      // A label before a loop or block.
      take();
      std::string label = identifier();
      expect_sym(">>", 0);
      PlStatementPtr inner = pl_statement();
      if (inner->kind == K::Block && inner->block) inner->block->label = label;
      else inner->name = label;
      return inner;
    }
    if (t.is("BEGIN") || t.is("DECLARE")) {
      s->kind = K::Block;
      s->block = block(false);
      s->end = last_end();
      return s;
    }
    if (accept("NULL")) {
      s->kind = K::Null;
    } else if (accept("IF")) {
      s->kind = K::If;
      ExprPtr c = condition();
      if (!accept("THEN")) plsql_error(peek());
      s->branches.emplace_back(std::move(c), pl_body({"ELSIF", "ELSE", "END"}));
      while (accept("ELSIF")) {
        ExprPtr c2 = condition();
        if (!accept("THEN")) plsql_error(peek());
        s->branches.emplace_back(std::move(c2), pl_body({"ELSIF", "ELSE", "END"}));
      }
      if (accept("ELSE")) {
        s->has_else = true;
        s->else_body = pl_body({"END"});
      }
      if (!accept("END") || !accept("IF")) plsql_error(peek());
    } else if (accept("CASE")) {
      s->kind = K::Case;
      ExprPtr selector;
      if (!at_word("WHEN")) s->value = expression();
      while (accept("WHEN")) {
        ExprPtr c = s->value ? expression() : condition();
        if (!accept("THEN")) plsql_error(peek());
        s->branches.emplace_back(std::move(c), pl_body({"WHEN", "ELSE", "END"}));
      }
      if (accept("ELSE")) {
        s->has_else = true;
        s->else_body = pl_body({"END"});
      }
      if (!accept("END") || !accept("CASE")) plsql_error(peek());
    } else if (at_word("LOOP")) {
      take();
      s->kind = K::Loop;
      s->body = loop_body();
    } else if (accept("WHILE")) {
      s->kind = K::While;
      s->value = condition();
      if (!accept("LOOP")) plsql_error(peek());
      s->body = loop_body();
    } else if (accept("FOR")) {
      s->variable = identifier();
      if (!accept("IN")) plsql_error(peek());
      if (accept("REVERSE")) s->reverse = true;
      if (peek().sym("(") && (peek(1).is("SELECT") || peek(1).is("WITH"))) {
        s->kind = K::ForCursor;
        take();
        s->query = query();
        if (!accept_sym(")")) plsql_error(peek());
      } else if (peek().kind == Token::Word && peek(1).is("LOOP")) {
        s->kind = K::ForCursor;
        s->cursor = take().text;
      } else {
        s->kind = K::ForRange;
        s->low = expression();
        if (!accept_sym("..")) plsql_error(peek());
        s->high = expression();
      }
      if (!accept("LOOP")) plsql_error(peek());
      s->body = loop_body();
    } else if (at_word("EXIT") || at_word("CONTINUE")) {
      s->kind = take().text == "EXIT" ? K::Exit : K::Continue;
      if (peek().kind == Token::Word && !at_word("WHEN")) s->name = take().text;
      if (accept("WHEN")) s->value = condition();
    } else if (accept("RETURN")) {
      s->kind = K::Return;
      if (!peek().sym(";")) s->value = condition();
    } else if (accept("RAISE")) {
      s->kind = K::Raise;
      if (peek().kind == Token::Word) s->name = qualified_name(0).last();
    } else if (accept("GOTO")) {
      fail(3001, "GOTO");
    } else if (accept("OPEN")) {
      s->kind = K::Open;
      s->cursor = identifier();
    } else if (accept("FETCH")) {
      s->kind = K::Fetch;
      s->cursor = identifier();
      if (!accept("INTO")) plsql_error(peek());
      do s->into.push_back(expression());
      while (accept_sym(","));
    } else if (accept("CLOSE")) {
      s->kind = K::Close;
      s->cursor = identifier();
    } else if (at_word("EXECUTE") && peek(1).is("IMMEDIATE")) {
      take();
      take();
      s->kind = K::ExecuteImmediate;
      s->value = expression();
      if (accept("INTO")) {
        do s->into.push_back(expression());
        while (accept_sym(","));
      }
      if (accept("USING")) {
        do {
          accept("IN");
          accept("OUT");
          s->using_args.push_back(expression());
        } while (accept_sym(","));
      }
    } else if (t.is("SELECT") || t.is("WITH") || t.is("INSERT") || t.is("UPDATE") || t.is("DELETE") ||
               t.is("MERGE") || t.is("COMMIT") || t.is("ROLLBACK") || t.is("SAVEPOINT") ||
               t.is("LOCK") || (t.is("SET") && peek(1).is("TRANSACTION"))) {
      s->kind = K::Sql;
      s->sql = statement();
    } else {
      // An assignment or a procedure call.
      ExprPtr target = expression();
      if (accept_sym(":=")) {
        s->kind = K::Assign;
        s->target = std::move(target);
        s->value = condition();
      } else {
        if (target->kind != Expr::Kind::Column && target->kind != Expr::Kind::Function) plsql_error(peek());
        s->kind = K::Call;
        s->target = std::move(target);
      }
    }
    if (!accept_sym(";")) plsql_error(peek());
    s->end = last_end();
    return s;
  }

  PlBody loop_body() {
    PlBody body = pl_body({"END"});
    if (!accept("END") || !accept("LOOP")) plsql_error(peek());
    if (peek().kind == Token::Word) take();  // END LOOP label
    return body;
  }

  // CREATE [OR REPLACE] PROCEDURE / FUNCTION / TRIGGER: the unit's text is
  // kept; its body is parsed now, so errors show at CREATE.
  StatementPtr create_unit() {
    std::string what = take().text;
    StatementPtr s;
    ++plsql_;
    if (what == "TRIGGER") {
      s = std::make_unique<Statement>(Statement::Kind::CreateTrigger);
      s->object = qualified_name();
      if (accept("BEFORE")) s->timing = "BEFORE";
      else if (accept("AFTER")) s->timing = "AFTER";
      else {
        if (!accept("INSTEAD")) plsql_error(peek());
        if (!accept("OF")) plsql_error(peek());
        s->timing = "INSTEAD OF";
      }
      do {
        if (!(at_word("INSERT") || at_word("UPDATE") || at_word("DELETE"))) plsql_error(peek());
        std::string event = take().text;
        s->events.push_back(event);
        if (event == "UPDATE" && accept("OF")) {
          do s->update_columns.push_back(identifier());
          while (accept_sym(","));
        }
      } while (accept("OR"));
      if (!accept("ON")) plsql_error(peek());
      s->table = qualified_name();
      if (accept("REFERENCING")) {
        while (at_word("NEW") || at_word("OLD") || at_word("PARENT")) {
          std::string which = take().text;
          accept("AS");
          std::string name = identifier();
          if (which == "NEW") s->referencing_new = name;
          if (which == "OLD") s->referencing_old = name;
        }
      }
      if (accept("FOR")) {
        if (!accept("EACH") || !accept("ROW")) plsql_error(peek());
        s->for_each_row = true;
      }
      accept("FORWARD");
      accept("CROSSEDITION");
      accept("ENABLE");
      accept("DISABLE");
      if (accept("WHEN")) {
        if (!accept_sym("(")) plsql_error(peek());
        s->when = condition();
        if (!accept_sym(")")) plsql_error(peek());
      }
      if (at_word("COMPOUND")) fail(3001, "COMPOUND TRIGGER");
      size_t begin = here();
      s->block_begin = begin;
      s->block = block(true);
      s->source = std::string(src_.substr(begin, last_end() - begin));
    } else {
      s = std::make_unique<Statement>(what == "PROCEDURE" ? Statement::Kind::CreateProcedure
                                                         : Statement::Kind::CreateFunction);
      s->object = qualified_name();
      if (accept_sym("(")) {
        do {
          PlParameter p;
          p.name = identifier();
          if (accept("IN")) {
            p.mode = "IN";
            if (accept("OUT")) p.mode = "IN OUT";
          } else if (accept("OUT")) {
            p.mode = "OUT";
          }
          accept("NOCOPY");
          bool row_type = false;
          pl_type(p.type, p.type_of, row_type);
          if (row_type) fail(3001, "%ROWTYPE parameters");
          if (accept_sym(":=") || accept("DEFAULT")) p.default_value = expression();
          s->parameters.push_back(std::move(p));
        } while (accept_sym(","));
        if (!accept_sym(")")) plsql_error(peek());
      }
      if (what == "FUNCTION") {
        if (!accept("RETURN")) plsql_error(peek());
        bool row_type = false;
        pl_type(s->return_type, s->return_type_of, row_type);
        accept("DETERMINISTIC");
        accept("PIPELINED");
        accept("PARALLEL_ENABLE");
        if (accept("RESULT_CACHE")) {}
      }
      accept("AUTHID") && (accept("DEFINER") || accept("CURRENT_USER"));
      if (!accept("IS") && !accept("AS")) plsql_error(peek());
      if (at_word("LANGUAGE") || at_word("EXTERNAL")) fail(3001, "external procedures");
      size_t begin = here();
      // The declarations come without DECLARE.
      auto b = std::make_unique<PlBlock>();
      declarations(*b);
      if (!accept("BEGIN")) plsql_error(peek());
      b->body = pl_body({"EXCEPTION", "END"});
      if (accept("EXCEPTION")) b->handlers = handlers();
      if (!accept("END")) plsql_error(peek());
      if (peek().kind == Token::Word) take();
      if (!accept_sym(";")) plsql_error(peek());
      s->block = std::move(b);
      s->source = std::string(src_.substr(begin, last_end() - begin));
    }
    --plsql_;
    return s;
  }

  std::string_view src_;
  std::vector<Token> t_;
  size_t pos_ = 0;
  int plsql_ = 0;
};

}  // namespace

StatementPtr parse_statement(std::string_view source) {
  Parser p(source);
  return p.statement_whole();
}

bool parse_type_text(std::string_view text, Type *out) {
  try {
    Parser p(text);
    return p.type_only(out);
  } catch (...) {
    return false;
  }
}

ub2 statement_type(std::string_view source) {
  // The first word after blanks, comments and opening parentheses.
  size_t i = 0;
  while (i < source.size()) {
    char c = source[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '(') {
      ++i;
    } else if (source.compare(i, 2, "--") == 0) {
      while (i < source.size() && source[i] != '\n') ++i;
    } else if (source.compare(i, 2, "/*") == 0) {
      size_t close = source.find("*/", i + 2);
      i = close == std::string_view::npos ? source.size() : close + 2;
    } else {
      break;
    }
  }
  size_t start = i;
  while (i < source.size() && std::isalpha(static_cast<unsigned char>(source[i]))) ++i;
  std::string word(source.substr(start, i - start));
  for (char &c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (word == "SELECT" || word == "WITH") return 1;
  if (word == "UPDATE") return 2;
  if (word == "DELETE") return 3;
  if (word == "INSERT") return 4;
  if (word == "CREATE") return 5;
  if (word == "DROP") return 6;
  if (word == "ALTER") return 7;
  if (word == "BEGIN") return 8;
  if (word == "DECLARE") return 9;
  if (word == "CALL") return 10;
  if (word == "MERGE") return 16;
  return 0;
}

}  // namespace zec::sql
