// The parsed form of Oracle SQL and PL/SQL statements. Each node keeps the
// source offsets it was read from, so that messages and Oracle's column
// names can quote the text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "src/sql/types.h"

namespace zec::sql {

struct Query;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;
using QueryPtr = std::unique_ptr<Query>;

// A possibly qualified name: schema.object, table.column ...
struct Name {
  std::vector<std::string> parts;
  std::vector<bool> quoted;
  bool empty() const { return parts.empty(); }
  const std::string &last() const { return parts.back(); }
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
  int nulls = 0;  // 0 default, 1 NULLS FIRST, 2 NULLS LAST
};

struct WindowSpec {
  std::vector<ExprPtr> partition;
  std::vector<OrderItem> order;
  std::string frame;  // ROWS/RANGE clause as written, upper-cased; empty for none
  bool has_order = false;
};

struct Expr {
  enum class Kind : uint8_t {
    Number,       // text: the literal
    String,       // text: the value
    Null,
    DateLiteral,  // text: 'YYYY-MM-DD'
    TimestampLiteral,
    Column,       // name: [schema.][table.]column, or a PL/SQL variable / record field
    Placeholder,  // text: the name; indicator: the indicator placeholder, if any
    Star,         // COUNT(*) and select-list *
    Unary,        // op: "-", "+", "NOT", "PRIOR", "CONNECT_BY_ROOT"
    Binary,       // op: "+", "-", "*", "/", "||", "**"
    Compare,      // op: "=", "<>", "<", ">", "<=", ">="; quantifier for ANY/ALL
    And,
    Or,
    IsNull,       // negated: IS NOT NULL
    Like,         // args: value, pattern[, escape]; negated
    Between,      // args: value, low, high; negated
    InList,       // args: value (or a row of values in args[0]->args), list...; negated
    InQuery,      // args[0]: value or row; query; negated
    Exists,       // query
    Case,         // args: [operand], when1, then1, ..., [else]; has_operand, has_else
    Function,     // name; args; distinct; star; over (analytic); within_order (LISTAGG ... WITHIN GROUP)
    Cast,         // args[0]; cast_type
    Subquery,     // query: a scalar subquery
    Row,          // (a, b): args
    Sequence,     // name: the sequence; text: NEXTVAL or CURRVAL
    RowNum,
    Level,
    Rowid,        // name: the table qualifier, if any
    Outer,        // the (+) marker on a column: args[0]
    Boolean,      // TRUE / FALSE in PL/SQL: text
    Extract,      // text: the field; args[0]
    Trim,         // text: LEADING / TRAILING / BOTH; args: [set,] value
    Default,      // DEFAULT in INSERT / UPDATE
    Interval,     // text: the literal, op: the leading field, op2: trailing
  };
  Kind kind;
  std::string text;
  std::string op;
  std::string op2;
  Name name;
  std::vector<ExprPtr> args;
  QueryPtr query;
  Type cast_type;
  bool negated = false;
  bool distinct = false;
  bool star = false;
  bool has_operand = false;
  bool has_else = false;
  std::string quantifier;  // ANY, SOME or ALL
  std::unique_ptr<WindowSpec> over;
  std::vector<OrderItem> within_order;
  std::string indicator;
  size_t begin = 0;
  size_t end = 0;

  explicit Expr(Kind k) : kind(k) {}
};

// One item of a FROM clause: a table or view, a subquery, or a join of two.
struct FromItem {
  enum class Kind : uint8_t { Table, Subquery, Join, Dual };
  Kind kind = Kind::Table;
  Name table;
  std::string alias;
  QueryPtr query;
  // Join.
  std::unique_ptr<FromItem> left, right;
  std::string join;  // INNER, LEFT, RIGHT, FULL, CROSS
  bool natural = false;
  ExprPtr on;
  std::vector<std::string> using_columns;
  size_t begin = 0;
};

struct SelectItem {
  ExprPtr expr;             // null for * and t.*
  std::string alias;
  bool alias_quoted = false;
  bool star = false;
  Name star_qualifier;      // t.*
  size_t begin = 0, end = 0;
};

struct GroupingElement {
  enum class Kind : uint8_t { Expr, Rollup, Cube, Sets, Empty };
  Kind kind = Kind::Expr;
  std::vector<ExprPtr> exprs;                      // Expr, Rollup, Cube: the items (Row for composites)
  std::vector<std::vector<GroupingElement>> sets;  // Sets
};

struct Cte {
  std::string name;
  std::vector<std::string> columns;
  QueryPtr query;
};

struct Query {
  enum class Kind : uint8_t { Select, Union, UnionAll, Intersect, Minus };
  Kind kind = Kind::Select;
  // Select.
  std::vector<Cte> with;
  bool distinct = false;
  std::vector<SelectItem> items;
  std::vector<std::unique_ptr<FromItem>> from;
  ExprPtr where;
  ExprPtr start_with, connect_by;
  bool nocycle = false;
  std::vector<GroupingElement> group_by;
  ExprPtr having;
  // Set operations: left and right.
  QueryPtr left, right;
  // Both.
  std::vector<OrderItem> order_by;
  bool order_siblings = false;
  ExprPtr offset, fetch;  // OFFSET n ROWS FETCH FIRST m ROWS ONLY
  bool fetch_percent = false;
  bool for_update = false;
  // INTO targets, in PL/SQL SELECT ... INTO.
  std::vector<ExprPtr> into;
  bool bulk_collect = false;
  size_t begin = 0, end = 0;
};

// ---- Statements -------------------------------------------------------------

struct ColumnDefinition {
  std::string name;
  Type type;
  bool has_type = true;
  ExprPtr default_value;
  std::string default_text;
  bool not_null = false;
  bool identity = false;
  std::string identity_kind;  // ALWAYS, BY DEFAULT, BY DEFAULT ON NULL
  std::string identity_start = "1", identity_increment = "1";
};

struct ConstraintDefinition {
  std::string name;  // empty: the database names it
  char kind = 'C';   // P primary key, U unique, R foreign key, C check
  std::vector<std::string> columns;
  Name ref_table;
  std::vector<std::string> ref_columns;
  std::string on_delete;  // CASCADE, SET NULL, or empty
  ExprPtr check;
  std::string check_text;
  bool disabled = false;
};

struct Statement;
using StatementPtr = std::unique_ptr<Statement>;

// PL/SQL declarations and statements.
struct PlDeclaration {
  enum class Kind : uint8_t { Variable, Constant, Exception, Cursor, Type, Procedure, Function, Pragma };
  Kind kind = Kind::Variable;
  std::string name;
  Type type;
  Name type_of;        // x t.col%TYPE
  bool row_type = false;  // x t%ROWTYPE
  bool not_null = false;
  ExprPtr init;
  QueryPtr cursor_query;
};

struct PlStatement;
using PlStatementPtr = std::unique_ptr<PlStatement>;
using PlBody = std::vector<PlStatementPtr>;

struct PlHandler {
  std::vector<std::string> exceptions;  // names; OTHERS
  PlBody body;
};

struct PlBlock {
  std::vector<PlDeclaration> declarations;
  PlBody body;
  std::vector<PlHandler> handlers;
  std::string label;
};

struct PlStatement {
  enum class Kind : uint8_t {
    Null, Assign, Sql, If, Loop, While, ForRange, ForCursor, Exit, Continue, Return, Raise, Block,
    Call, Open, Fetch, Close, Goto, ExecuteImmediate, Case,
  };
  Kind kind = Kind::Null;
  ExprPtr target;                 // Assign: the target; Call: the call expression
  ExprPtr value;                  // Assign: the value; Exit/Continue: WHEN; Return; Raise: unused
  std::vector<std::pair<ExprPtr, PlBody>> branches;  // If / Case: conditions and bodies
  PlBody else_body;
  bool has_else = false;
  PlBody body;                    // loops
  std::string variable;           // FOR i / FOR r
  ExprPtr low, high;              // FOR i IN low..high
  bool reverse = false;
  QueryPtr query;                 // FOR r IN (query)
  std::string cursor;             // FOR r IN cursor / OPEN / FETCH / CLOSE
  std::vector<ExprPtr> into;      // FETCH INTO
  StatementPtr sql;               // Sql
  std::unique_ptr<PlBlock> block; // Block
  std::string name;               // Raise: the exception; Exit: the label; Goto
  std::vector<ExprPtr> using_args;  // EXECUTE IMMEDIATE ... USING
  size_t begin = 0, end = 0;
};

struct PlParameter {
  std::string name;
  std::string mode = "IN";  // IN, OUT, IN OUT
  Type type;
  Name type_of;
  ExprPtr default_value;
};

struct Statement {
  enum class Kind : uint8_t {
    Select, Insert, Update, Delete, Merge,
    CreateTable, CreateView, CreateIndex, CreateSequence, CreateTrigger, CreateProcedure,
    CreateFunction, CreateSynonym, CreateDirectory,
    DropTable, DropView, DropIndex, DropSequence, DropTrigger, DropProcedure, DropFunction,
    DropSynonym, DropDirectory,
    AlterTable, AlterSequence, AlterSession, Truncate, Comment, Rename,
    Commit, Rollback, Savepoint, SetTransaction, LockTable,
    Block, Call,
  };
  Kind kind;
  size_t begin = 0, end = 0;

  // Select, and INSERT ... SELECT, CREATE TABLE AS, CREATE VIEW.
  QueryPtr query;

  // DML.
  Name table;
  std::string alias;
  QueryPtr target_query;              // DML on a subquery
  std::vector<std::string> columns;   // INSERT column list
  std::vector<std::vector<ExprPtr>> rows;  // INSERT VALUES
  struct SetItem {
    std::vector<std::string> columns;  // one, or several with a subquery
    ExprPtr value;
    QueryPtr query;
  };
  std::vector<SetItem> set;
  ExprPtr where;
  std::vector<ExprPtr> returning;
  std::vector<ExprPtr> returning_into;
  // MERGE.
  std::unique_ptr<FromItem> using_source;
  ExprPtr merge_on;
  std::vector<SetItem> merge_update;
  ExprPtr merge_update_where, merge_delete_where;
  std::vector<std::string> merge_insert_columns;
  std::vector<ExprPtr> merge_insert_values;
  ExprPtr merge_insert_where;
  bool has_matched = false, has_not_matched = false;

  // DDL.
  Name object;                         // the object created, dropped, altered ...
  bool or_replace = false;
  std::vector<ColumnDefinition> column_defs;
  std::vector<ConstraintDefinition> constraints;
  bool unique = false;                 // CREATE UNIQUE INDEX
  std::vector<OrderItem> index_columns;
  std::string view_text;               // the query's source text
  bool read_only = false;
  bool force = false;
  std::vector<std::string> view_columns;
  bool cascade_constraints = false;
  bool purge = false;
  bool if_exists = false;
  // Sequences.
  std::vector<std::pair<std::string, std::string>> options;  // START WITH 5 ... as words and values
  // ALTER TABLE.
  struct AlterAction {
    enum class Kind : uint8_t {
      AddColumns, AddConstraint, ModifyColumns, DropColumns, DropConstraint, RenameColumn,
      RenameConstraint, RenameTable, EnableConstraint, DisableConstraint, ModifyIdentity, DropPrimaryKey,
    };
    Kind kind;
    std::vector<ColumnDefinition> columns;
    std::vector<ConstraintDefinition> constraints;
    std::vector<std::string> names;  // columns or constraints
    std::string new_name;
    bool cascade = false;
  };
  std::vector<AlterAction> alter;
  // COMMENT ON TABLE t / COLUMN t.c IS 'text'.
  std::string comment_kind;
  std::string comment;
  // ALTER SESSION SET name = value.
  std::vector<std::pair<std::string, std::string>> session_settings;
  // ROLLBACK TO / SAVEPOINT.
  std::string savepoint;
  // PL/SQL: anonymous block, procedure or function body.
  std::unique_ptr<PlBlock> block;
  std::vector<PlParameter> parameters;
  Type return_type;
  Name return_type_of;
  std::string source;                  // the unit's source text
  // Triggers.
  std::string timing;                  // BEFORE, AFTER, INSTEAD OF
  std::vector<std::string> events;     // INSERT, UPDATE, DELETE
  std::vector<std::string> update_columns;
  bool for_each_row = false;
  ExprPtr when;
  std::string referencing_new = "NEW", referencing_old = "OLD";
  size_t block_begin = 0;              // where the trigger's block starts
  // CALL / EXECUTE.
  ExprPtr call;
  // CREATE DIRECTORY name AS 'path'.
  std::string path;

  explicit Statement(Kind k) : kind(k) {}
};

}  // namespace zec::sql
