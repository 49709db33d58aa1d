// Oracle SQL and PL/SQL, read into the statement tree of ast.h. Errors are
// thrown as SqlError with Oracle's codes (ORA-00900 invalid SQL statement,
// ORA-00933 SQL command not properly ended, ORA-00936 missing expression,
// ORA-00907 missing right parenthesis, PLS-00103 as ORA-06550 ...).
#pragma once

#include <string_view>

#include "src/sql/ast.h"

namespace zec::sql {

// One statement; the whole text must be that statement (a PL/SQL unit ends
// with its own semicolon; a SQL statement has none).
StatementPtr parse_statement(std::string_view source);

// Reads a data type declaration such as "NUMBER(10,2)" or
// "VARCHAR2(20 CHAR)"; false when it is not one.
bool parse_type_text(std::string_view text, Type *out);

// OCI_ATTR_STMT_TYPE of a statement, from its first word.
ub2 statement_type(std::string_view source);

}  // namespace zec::sql
